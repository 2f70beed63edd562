#pragma once
// SKIN_FRAME paints a widget background of any size from a skin's small
// pictures: a nine-slice set, a horizontal or vertical three-slice set or one
// plain picture, with up to three overlays. The pictures are shared through
// an IMAGE_CACHE; the frame composes them once per size into its own picture.
#include <cstdint>

#include "colour.h"
#include "folder.h"
#include "image.h"

class IMAGE_CACHE;

// The IMAGE_CACHE lookup flags with which style sets load their frames; 1 at
// start (a picture that fails to load leaves no cache entry). A program whose
// skin pictures all come from a cache it read from its own data sets 8.
extern uint8_t skin_load_flags;

class SKIN_FRAME {
public:
  // Only frames with a cache load or release pictures.
  explicit SKIN_FRAME(IMAGE_CACHE* cache = nullptr);
  // Returns every reference (clear); the cache must outlive the frame.
  ~SKIN_FRAME();
  // Handles carry references: frames share pictures through copy() only.
  SKIN_FRAME(const SKIN_FRAME&) = delete;
  SKIN_FRAME& operator=(const SKIN_FRAME&) = delete;

  // Releases everything, then fetches "<base>_top_left" ... (nine-slice),
  // "<base>_left"/"_mid"/"_right", "<base>_top"/"_mid"/"_bottom", or the bare
  // name, plus "_colay", "_solay" and "_tolay", each at its natural size with
  // the IMAGE_CACHE lookup flags. True when a complete set was found; the
  // pictures of an incomplete set stay and draw what they can.
  bool load(const char* folder, const char* base_name, uint8_t flags);
  // The same, keyed by the folder's path text.
  bool load_in_folder(const FOLDER& folder, const char* base_name, uint8_t flags);
  // A centre or plain picture is present.
  bool is_loaded() const;
  // Returns every reference to the cache and deletes the composite.
  void clear();
  // clear, then shares the other frame's pictures (one new reference each);
  // composite, offsets and regenerate are not copied.
  void copy(const SKIN_FRAME& other);

  // Paints the frame over the inclusive rectangle of target (null = the
  // screen image) with an IMAGE blit mode. The corners are 16-bit words: the
  // size is x2 - x1 + 1 by y2 - y1 + 1 in 16-bit arithmetic and the frame
  // goes to (x1, y1) read as signed, so a rectangle that starts left of or
  // above the target still draws in place. stretch_plain scales a plain
  // picture to the rectangle; otherwise it is centred at its natural size.
  void draw(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2, uint8_t stretch_plain,
            IMAGE* target, int32_t mode);
  // Whether the frame drawn at w x h shows a pixel of non-zero alpha at
  // (px, py) from its top-left corner. Edges are read on their first row or
  // column and the centre at its tile's (0, 0); overlays do not count.
  bool is_opaque_at(int16_t px, int16_t py, int16_t w, int16_t h) const;

  // Recolouring: each present picture is first made private to this frame
  // (copy-on-write), then changed by the IMAGE operation; the composite is
  // redrawn on the next draw.
  void replace_colour(const COLOUR* a, const COLOUR* b);             // IMAGE::replace_colour
  void apply_all3(const COLOUR* a, const COLOUR* b, const COLOUR* c);  // IMAGE::recolour3
  void apply_all2(const COLOUR* colour);                             // IMAGE::tint
  void make_grey();

  IMAGE_CACHE* cache = nullptr;  // not owned
  // Handles into the cache at their natural sizes (null = no picture); each
  // holds one reference.
  IMAGE* mid_left = nullptr;    // left edge, or left end of a horizontal set
  IMAGE* mid_mid = nullptr;     // centre tile, or the one plain picture
  IMAGE* mid_right = nullptr;   // right edge or right end
  IMAGE* top_mid = nullptr;     // top edge, or top end of a vertical set
  IMAGE* bottom_mid = nullptr;  // bottom edge or bottom end
  IMAGE* top_left = nullptr;
  IMAGE* top_right = nullptr;
  IMAGE* bottom_left = nullptr;
  IMAGE* bottom_right = nullptr;
  IMAGE* colay = nullptr;  // centred overlay
  IMAGE* solay = nullptr;  // overlay stretched over the frame, masked by it
  IMAGE* tolay = nullptr;  // overlay tiled over the frame, masked by it
  IMAGE* composite = nullptr;  // owned; the frame at the size of the last draw
  // Where the overlays sit; animations move them and then set regenerate.
  int16_t overlay_x = 0;
  int16_t overlay_y = 0;
  uint8_t regenerate = 0;  // set: the next draw composes again

private:
  static constexpr int kSlices = 9;    // mid_left .. bottom_right
  static constexpr int kPictures = 12;  // the slices, then the three overlays

  enum class LAYOUT : uint8_t { NONE, NINE, THREE_H, THREE_V, PLAIN };
  // Where the slices go in a w x h frame; the same sums serve drawing and
  // hit-testing.
  struct GEOMETRY {
    LAYOUT layout = LAYOUT::NONE;
    int32_t w = 0, h = 0;
    int32_t left = 0, right = 0, centre = 0;   // column widths
    int32_t top = 0, bottom = 0, middle = 0;   // row heights
  };
  struct SIZE {
    int32_t w = 0, h = 0;
  };

  IMAGE*& picture(int index);
  const IMAGE* picture(int index) const;
  LAYOUT layout() const;
  GEOMETRY geometry(int32_t w, int32_t h) const;
  SIZE slice_size(int index, const GEOMETRY& g) const;
  IMAGE* sized_slice(int index, const GEOMETRY& g);
  void release_sized();
  void after_recolour();
  void compose(const GEOMETRY& g);
  void tile_row(const IMAGE* piece, int32_t x, int32_t y, int32_t length, int32_t height);
  void tile_column(const IMAGE* piece, int32_t x, int32_t y, int32_t length, int32_t width);
  void draw_overlays(int32_t w, int32_t h);
  bool alpha_at(int index, const GEOMETRY& g, int32_t sx, int32_t sy) const;

  // The slices at the sizes of the last composition, each holding its own
  // reference, so that every size is scaled from the natural picture.
  IMAGE* sized_[kSlices] = {};
  uint8_t plain_stretched_ = 0;  // how the plain picture was last drawn
};
