#pragma once
// IMAGE is the one raster type of the system: a 32-bit 0xAARRGGBB pixel
// surface with an origin, an inclusive clip rectangle and an inclusive dirty
// rectangle. The screen frame buffer, skin pictures, cached pictures and
// back buffers are all IMAGEs; they are stored in the raw "vornrawimg" form.
#include <cstddef>
#include <cstdint>

#include "colour.h"
#include "data_device.h"
#include "rect.h"

class FOLDER;

// Combining modes of IMAGE::blit.
constexpr uint8_t BLIT_BLEND = 0;           // s over d by the blending rule
constexpr uint8_t BLIT_COPY = 1;            // d = s, alpha included
constexpr uint8_t BLIT_ALPHA_MASK = 2;      // d's alpha = 255 where s is visible, else 0
constexpr uint8_t BLIT_ALPHA_MULTIPLY = 3;  // d's alpha = alpha(d) x alpha(s) / 255

// Set by default: loads and caches scale by nearest neighbour; callers
// derive smooth = !fast_image_scaling.
extern bool fast_image_scaling;

// The largest width or height an image may have: stride, width and height
// are i16 and the stride rounds the width up.
constexpr int32_t IMAGE_MAX_SIZE = 32766;

// Names handed to IMAGE::load may be this long, so that a name with an
// appended extension fits a 256-byte buffer.
constexpr size_t IMAGE_MAX_NAME = 251;

class IMAGE;

// Receives each piece of a slice export; the piece is a temporary image
// that is reused after the call. False reports that the piece was not saved.
using IMAGE_SAVE_FUNCTION = bool (*)(IMAGE& piece, intptr_t user, const char* file_name);

class IMAGE : public DATA_DEVICE_CLIENT {
public:
  // An empty image with no buffer, as (-1, -1).
  IMAGE();
  IMAGE(int16_t w, int16_t h);
  ~IMAGE() override;
  // The pixel buffer is owned: deep copies go through copy() only.
  IMAGE(const IMAGE&) = delete;
  IMAGE& operator=(const IMAGE&) = delete;

  // Frees any buffer, resets every field to its default, then create(w, h).
  void init(int16_t w, int16_t h);
  // (Re)sizes to w x h with zero pixels; the same size keeps the pixels and
  // marks the area dirty. w or h < 1 gives an empty image. Sizes above
  // IMAGE_MAX_SIZE (or whose stride would not fit i16) also give an empty
  // image and false. Nothing happens (true) while `fixed` is set.
  bool create(int16_t w, int16_t h);
  // create for sizes that come from a file: when the memory cannot be had
  // the image is left empty and the result is false, instead of the fatal
  // error, so a damaged picture cannot end the program.
  bool try_create(int16_t w, int16_t h);
  // create at the source's size, then the source's pixels copied in.
  void copy(const IMAGE& source);

  // The image's own area: x .. x + width - 1, y .. y + height - 1 (each
  // end held to the 16-bit range); empty without a size.
  RECT extent() const;
  // The clip and dirty rectangles as the fields hold them; empty when the
  // fields say so.
  RECT clip_rect() const;
  RECT dirty_rect() const;

  // Inclusive corners in any order, each clamped into the image. An image
  // without pixels keeps an empty clip.
  void set_clip_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
  // Intersects the clip with the rectangle (cut to the image first); an
  // empty result empties the clip.
  void clip_to(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
  void clip_to(const RECT& r);
  // True when nothing may be drawn (all four clip fields -1).
  bool clip_is_empty() const;
  // The pixel at (px, py) when the image has pixels and the point lies in
  // the clip rectangle, else COLOUR_INVISIBLE.
  void get_pixel(int16_t px, int16_t py, COLOUR* out) const;
  // Grows the dirty rectangle by the rectangle (corners in any order) with
  // each corner clamped into the image.
  void add_dirty_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
  // The same for a rectangle that may be empty (which adds nothing).
  void add_dirty_rect(const RECT& r);
  bool dirty_is_empty() const;

  // The raw "vornrawimg" form. A failed read leaves an empty image.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  // Loads a picture file by name (by its extension, then with ".png",
  // ".jpg", ".pcx", ".raw" appended, then by trying every decoder on the
  // name itself) and scales it to w x h (-1 keeps a dimension). A failed
  // load leaves an empty image.
  bool load(const FOLDER& folder, const char* name, int16_t w = -1, int16_t h = -1);
  // One decoder on one file. Unless skip_exists_test, a missing file fails
  // at once.
  bool load_png_file(const FOLDER& folder, const char* name, bool skip_exists_test = false);
  bool load_jpeg_file(const FOLDER& folder, const char* name, int16_t w, int16_t h,
                      bool skip_exists_test = false);
  bool load_pcx_file(const FOLDER& folder, const char* name, bool skip_exists_test = false);
  bool load_raw_file(const FOLDER& folder, const char* name, bool skip_exists_test = false);

  // ---- File formats: PNG, JPEG, PCX and C source text -------------------
  // PNG and JPEG readers start at the device's position and leave it just
  // behind the picture; the PCX reader takes the whole device. Every reader
  // leaves an empty image on any failure (bad signature or header, library
  // error, data that ends early, a width or height above IMAGE_MAX_SIZE).
  // Except: JPEG data cut short still decodes, the missing part as libjpeg
  // fills it, unless its frame claims more than the rest could code.
  // Writers return false when any byte could not be written; writing to a
  // DATA_FILE also flushes it, so that a full disk shows here.
  // PNG of any colour type and depth, as 8-bit BGRA with gamma correction.
  bool load_png(DATA_DEVICE* device);
  // 8-bit RGBA PNG with two text chunks.
  bool save_png(DATA_DEVICE* device) const;
  // w, h < 1 take the file's own size; other sizes stretch by nearest
  // neighbour while decoding.
  bool load_jpeg(DATA_DEVICE* device, int16_t w = -1, int16_t h = -1);
  bool load_jpeg_memory(const uint8_t* data, int32_t length, int16_t w = -1, int16_t h = -1);
  // quality 0..100 (above fails before anything is written); alpha dropped.
  bool save_jpeg(DATA_DEVICE* device, uint8_t quality, bool progressive) const;
  // 8-bit run-length PCX with a 256-colour palette; the palette colour
  // (139, 154, 37) reads as transparent.
  bool load_pcx(DATA_DEVICE* device);
  // The first 255 distinct colours get indices 0..254, later ones index 0.
  bool save_pcx(DATA_DEVICE* device) const;
  // The array form as C source: "static INT_U8 <name>[<size>] = {...};".
  bool write_c_array(class TEXT_FILE* file, const char* array_name) const;
  // ---- end of file formats ----------------------------------------------

  // The array form: format byte 1, width and height big-endian u16, then
  // B, G, R, A per pixel, rows from the top. False for a null or malformed
  // array.
  bool create_from_array(const uint8_t* array);

  // Copies the whole image into dest. dest_stride is in destination
  // elements; 65535 takes the destination row length (width, or height
  // when rotated). row_step -1 fills dest bottom-up. Formats: 0 as stored,
  // 1 red and blue exchanged, 2 RGB 5-6-5 into u16 elements. rotate turns
  // each source column, read from the bottom up, into a destination row.
  void export_pixels(void* dest, uint16_t dest_stride, int8_t row_step, uint8_t format,
                     uint8_t rotate) const;

  // Pictures named by name_format (one integer conversion) and the numbers
  // first.. side by side. last 65535 stops at the first missing number;
  // otherwise missing numbers are skipped. False when none loaded.
  bool load_strip(const FOLDER& folder, const char* name_format, uint16_t first, uint16_t last);

  // Rotates the whole image about its centre, growing it to hold every
  // corner; uncovered pixels are COLOUR_INVISIBLE.
  void rotate(float radians);
  void rotate_degrees(float degrees);
  // Plain mirrors in place.
  void flip_vertical();
  void flip_horizontal();

  // Cut into skin-frame pieces named "<base>_top_left.png" and so on, each
  // handed to save. False when any piece was not saved or a name did not
  // fit.
  bool save_nine_slices(intptr_t user, const char* base_name, IMAGE_SAVE_FUNCTION save);
  bool save_three_slices_h(intptr_t user, const char* base_name, IMAGE_SAVE_FUNCTION save);
  bool save_three_slices_v(intptr_t user, const char* base_name, IMAGE_SAVE_FUNCTION save);

  // Resizes in place; 65535 keeps a dimension. Honours keep_aspect,
  // max_width and max_height. smooth: two-pass bilinear, else nearest.
  void scale(uint16_t w, uint16_t h, bool smooth);
  // scale with smooth = !fast_image_scaling; -1 keeps a dimension.
  void scale_default(int16_t w, int16_t h);

  // ---- Drawing operations -----------------------------------------------
  // Every operation works in the image's coordinate space, touches only
  // pixels inside the clip rectangle and grows the dirty rectangle by what
  // it may have changed. Rectangles are inclusive corners in any order.
  // An image whose valid flag is 0 or whose clip is empty is left alone; a
  // drawing operation on an image without pixels whose clip is not empty
  // is fatal error 2. Blending: alpha 0 leaves a pixel, alpha 250 and above
  // replaces it (alpha included), otherwise each of R, G, B becomes
  // (d x (255 - a) + s x a) >> 8 and the pixel keeps its alpha.

  // Side mask of draw_rect.
  static constexpr uint8_t SIDE_LEFT = 1;
  static constexpr uint8_t SIDE_RIGHT = 2;
  static constexpr uint8_t SIDE_TOP = 4;
  static constexpr uint8_t SIDE_BOTTOM = 8;
  static constexpr uint8_t ALL_SIDES = 15;
  // Corner flags of draw_arc, draw_round_rect and fill_round_rect_gradient.
  static constexpr uint8_t CORNER_TOP_LEFT = 1;
  static constexpr uint8_t CORNER_TOP_RIGHT = 2;
  static constexpr uint8_t CORNER_BOTTOM_LEFT = 4;
  static constexpr uint8_t CORNER_BOTTOM_RIGHT = 8;
  static constexpr uint8_t ALL_CORNERS = 15;
  // Painting modes of fill_round_rect_gradient; other values paint nothing.
  static constexpr uint8_t ROUND_FILL_BLEND = 0;       // colour a blended
  static constexpr uint8_t ROUND_FILL_HORIZONTAL = 1;  // opaque a to b, left to right
  static constexpr uint8_t ROUND_FILL_VERTICAL = 2;    // opaque a to b, top to bottom
  static constexpr uint8_t ROUND_FILL_DARKEN = 3;      // colour_darken by percent
  // Kinds of draw_circle.
  static constexpr uint8_t CIRCLE_RING = 0;
  static constexpr uint8_t CIRCLE_DISC = 1;
  static constexpr uint8_t CIRCLE_SHADE = 2;  // a disc that darkens by percent
  // The automatic radius of draw_round_rect (65535) and
  // fill_round_rect_gradient (-1).
  static constexpr uint16_t AUTO_RADIUS = 65535;

  // Copies a w x h block of source from (src_x, src_y) (counted from the
  // source's top-left pixel) to (dst_x, dst_y) in this image's coordinate
  // space, cut to both images and to this image's clip rectangle. Modes:
  // BLIT_COPY, BLIT_ALPHA_MASK, BLIT_ALPHA_MULTIPLY; any other blends. The
  // source may be this image (overlapping blocks are handled).
  void blit(const IMAGE* source, int16_t src_x, int16_t src_y, int16_t dst_x, int16_t dst_y,
            int16_t w, int16_t h, uint8_t mode);
  // blit of a block of this image into target (null = the screen image);
  // nothing when target is this image.
  void blit_region(int16_t dst_x, int16_t dst_y, int16_t src_x, int16_t src_y, int16_t w,
                   int16_t h, IMAGE* target, uint8_t mode) const;
  // The whole image to (dst_x, dst_y) of target (null = the screen image);
  // nothing when target is this image.
  void draw(int16_t dst_x, int16_t dst_y, IMAGE* target, uint8_t mode) const;
  // The block at (src_x, src_y) of source (null = the screen image), of
  // this image's size, into this image at its origin.
  void grab(int16_t src_x, int16_t src_y, const IMAGE* source, uint8_t mode);

  // Blends the colour into the pixel at (px, py) when it lies in the clip.
  void blend_pixel(int16_t px, int16_t py, const COLOUR* colour);
  // Without blend the colour is stored as it is (alpha 0 clears).
  void fill_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                 bool blend);
  // fill_rect without blending.
  void fill_rect_solid(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour);
  // Stores the colour over the clip rectangle; with whole_image over the
  // whole image (the clip is restored afterwards).
  void clear(const COLOUR* colour, bool whole_image);
  // Each channel (alpha too) a_c + (b_c - a_c) x (pos - start) / span by
  // row (v) or column (h) of the uncut rectangle; a span of 0 gives a. With
  // blend each row or column colour is blended by its own alpha.
  void fill_gradient_v(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* a,
                       const COLOUR* b, bool blend);
  void fill_gradient_h(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* a,
                       const COLOUR* b, bool blend);
  // One-pixel outline: each pixel of a side left by the clip becomes
  // (pixel XOR colour) with alpha 255; drawn twice it restores the colours.
  // Alpha 0 draws nothing.
  void draw_xor_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour);
  // Blended outline of the sides in the mask (SIDE_*), the corners
  // belonging to the columns; a width of 2 or more draws that many outlines
  // centred on the rectangle. Alpha 0 draws nothing.
  void draw_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                 uint16_t line_width, uint8_t sides);
  // A line stepped by an integer error sum; a width of 2 or more draws that
  // many parallel lines centred on it. Without blend the colour is stored.
  // Alpha 0 draws nothing.
  void draw_line(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                 uint16_t line_width, bool blend);
  // Blended quarter circle joining the two edges at the corner point
  // (px, py) at distance radius; the first CORNER_* flag present chooses
  // the corner. A radius below 1 draws nothing.
  void draw_arc(int16_t px, int16_t py, int16_t radius, uint8_t corner, const COLOUR* colour);
  // Blended outline with the flagged corners rounded; AUTO_RADIUS takes
  // default_corner_radius.
  void draw_round_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                       uint16_t radius, uint8_t corners);
  // Fills the rectangle less the parts of the flagged corners' r x r
  // squares at distance r or more from the corner circle's centre, painted
  // by ROUND_FILL_* mode. Radius -1 takes default_corner_radius; 0 fills
  // square corners; a negative radius draws nothing.
  void fill_round_rect_gradient(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t radius,
                                uint8_t corners, const COLOUR* a, const COLOUR* b,
                                int8_t percent, uint8_t mode);
  // Circle (CIRCLE_RING of ring_width pixels), disc or shaded disc centred
  // on (cx, cy), sampled 3 x 3 per pixel; with antialias partly covered
  // pixels take a share. Nothing for a radius below 1, for a ring 0 wide,
  // or when the outer radius (radius + ring_width / 2) is 296 or more.
  void draw_circle(int16_t cx, int16_t cy, int16_t radius, const COLOUR* colour, int8_t percent,
                   uint8_t kind, uint8_t ring_width, bool antialias);

  // R, G, B of the rectangle (cut to the clip) times (100 - percent) / 100;
  // percent below 1 does nothing, above 100 counts as 100.
  void darken_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t percent);
  // Whole-area operations over the clip rectangle; an image without pixels
  // or with an empty clip is left alone.
  // Each pixel becomes colour_mix3 of itself; multiply_alpha then scales
  // the new alpha by the old one.
  void recolour3(const COLOUR* c1, const COLOUR* c2, const COLOUR* c3, bool multiply_alpha);
  // Pixels equal to from become to; with rgb_only pixels whose RGB equals
  // from's take to's RGB and keep their alpha.
  void replace_colour(const COLOUR* from, const COLOUR* to, bool rgb_only);
  // scaled: alpha x a / 255; else alpha = a, with only_visible only where
  // alpha is not 0.
  void set_alpha(uint8_t a, bool scaled, bool only_visible);
  // R = G = B = (30 R + 59 G + 11 B) / 100.
  void make_grey();
  // Each pixel becomes colour_tint of itself with the colour.
  void tint(const COLOUR* colour);

  // The smaller of the ordered rectangle's width / 3 and height / 3.
  static int16_t default_corner_radius(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
  // ---- end of drawing operations ------------------------------------------

  // ---- Text drawing (font.h has the font table and the TEXT_* flags) -----
  // Text is the system's 8-bit form: Latin-1 bytes, and byte-1 runs of
  // four-digit codes for characters above 255; run_open says whether the
  // text starts inside such a run. max_chars counts characters, -1 = all.
  // Font 255 (-1 as i8) and the sizes 65535 / -1 stand for the image's own
  // font, font_width and font_height. A null colour is COLOUR_INVISIBLE:
  // a null or invisible background or underline is not drawn, a null text
  // colour draws no glyphs.
  // Sum of the advances in pixels; the byte length of the text when the
  // font cannot be used (no fonts loaded, free slot, size below 1).
  int32_t get_text_width(uint8_t font, uint16_t size_w, int16_t size_h, const char* text,
                         uint32_t max_chars = 0xFFFFFFFFu, uint8_t run_open = 0);
  // Rows above a line's top that its tallest letters may ink: the accents
  // over capitals, which the line's size_h rows do not hold (FONT::overhang).
  // Font 255 and size -1 are the image's own; 0 when the font is unusable.
  int32_t get_text_overhang(uint8_t font, int16_t size_h);
  // One line of glyphs at (x, y), the top of the character cells, with no
  // effects. A non-zero lightness_delta ignores the text colour and moves
  // the lightness of the covered pixels instead.
  void draw_text_line(int16_t x, int16_t y, const COLOUR* text_colour, const COLOUR* background,
                      const COLOUR* underline, double lightness_delta, int8_t font,
                      int16_t size_w, int16_t size_h, const char* text, int32_t max_chars,
                      uint8_t run_open);
  // One line with the effect flags TEXT_SHADOW, TEXT_INSET, TEXT_CHISELED.
  void draw_text(int16_t x, int16_t y, const COLOUR* text_colour, const COLOUR* background,
                 const COLOUR* underline, int8_t font, int16_t size_w, int16_t size_h,
                 const char* text, uint16_t flags = 0, int32_t max_chars = -1,
                 uint8_t run_open = 0);
  // The lines draw_text_block breaks the text into in a box of that width
  // and any height; 0 for no text or no usable font.
  int32_t count_text_block_lines(int16_t width, int8_t font, int16_t size_w, int16_t size_h,
                                 const char* text);
  // Wrapped, hyphenated, "..."-truncated and aligned text in the inclusive
  // rectangle; flags as draw_text plus TEXT_TOP/BOTTOM/LEFT/RIGHT.
  void draw_text_block(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                       const COLOUR* text_colour, const COLOUR* background,
                       const COLOUR* underline, int8_t font, int16_t size_w, int16_t size_h,
                       const char* text, uint16_t flags);
  void draw_char(int16_t x, int16_t y, const COLOUR* text_colour, const COLOUR* background,
                 const COLOUR* underline, int8_t font, int16_t size_w, int16_t size_h,
                 uint8_t character, uint16_t flags);
  // printf-style text through draw_text (no flags); formatted text longer
  // than 5119 bytes is cut.
  void draw_underlined_textf(int16_t x, int16_t y, const COLOUR* text_colour,
                             const COLOUR* background, const COLOUR* underline, int8_t font,
                             int16_t size_w, int16_t size_h, const char* format, ...)
      __attribute__((format(printf, 10, 11)));
  void draw_textf(int16_t x, int16_t y, const COLOUR* text_colour, const COLOUR* background,
                  int8_t font, int16_t size_w, int16_t size_h, const char* format, ...)
      __attribute__((format(printf, 9, 10)));
  void draw_default_textf(int16_t x, int16_t y, const COLOUR* text_colour,
                          const COLOUR* background, const char* format, ...)
      __attribute__((format(printf, 6, 7)));
  // ---- end of text drawing ------------------------------------------------

  int16_t x = 0;  // origin: the surface covers x .. x + width - 1
  int16_t y = 0;
  int16_t height = 0;
  int16_t width = 0;
  int16_t stride = 0;  // pixels from one row to the next, >= width
  // 1: stride = width; 2..127: width rounded up to a multiple of this;
  // 0 and 128..255: width rounded up to an even number.
  uint8_t row_alignment = 0;
  uint32_t* pixels = nullptr;  // height x stride, top row first; null when empty
  size_t pixel_count = 0;      // elements in pixels
  // create and scale leave the image alone. The destructor still frees
  // pixels: a buffer owned elsewhere is detached (pixels = null) first.
  uint8_t fixed = 0;
  // Inclusive, in the image's coordinate space; all four -1 = empty.
  int16_t clip_x1 = -1;
  int16_t clip_x2 = -1;
  int16_t clip_y1 = -1;
  int16_t clip_y2 = -1;
  uint8_t valid = 0;  // copies into an image with valid 0 do nothing
  uint8_t keep_aspect = 0;
  int8_t font = 10;  // default font index for text drawn into the image
  int16_t font_width = 22;
  uint16_t font_height = 22;
  // Inclusive; 65535 in a field = empty.
  uint16_t dirty_x1 = 65535;
  uint16_t dirty_x2 = 65535;
  uint16_t dirty_y1 = 65535;
  uint16_t dirty_y2 = 65535;
  uint16_t max_width = 0;  // scale limits when >= 1; every create resets them
  uint16_t max_height = 0;
  IMAGE* next = nullptr;  // chains images into a temporary list; not owned

private:
  bool resize_buffer(int16_t w, int16_t h, bool may_fail);
  void free_pixels();
  void set_whole_clip();
  // Writes the fields; an empty rectangle as the empty marks (-1, 65535).
  void store_clip(const RECT& r);
  void store_dirty(const RECT& r);
  bool read_pixels(DATA_DEVICE* device, int32_t w, int32_t h);
  bool slice_piece(IMAGE& piece, int32_t sx, int32_t sy, int32_t w, int32_t h, intptr_t user,
                   const char* base_name, const char* suffix, IMAGE_SAVE_FUNCTION save);
};

// The two pictures the program carries: A is 195 x 80 (the application's
// default logo), B is 80 x 75 (the about box's logo).
bool load_builtin_image_a(IMAGE& image);
bool load_builtin_image_b(IMAGE& image);
const uint8_t* get_builtin_image_array_a();
const uint8_t* get_builtin_image_array_b();
