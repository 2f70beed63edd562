#pragma once
// The process-wide font table: FreeType faces in numbered slots (0..22 built
// in, 10 the default, 23 and up added at run time), each with a cache of the
// rendered glyphs of the 256 8-bit character codes. Widgets and skins keep a
// slot number and a pixel size; drawing and measuring are IMAGE's (image.h).
#include <cstdint>

class FOLDER;
struct FT_FaceRec_;  // FreeType's face record, kept out of this header

constexpr int16_t FONT_BUILTIN_COUNT = 23;
constexpr int16_t FONT_DEFAULT = 10;
// Text drawing takes the font as i8, so slots from here on could never be
// drawn: loading refuses them.
constexpr int16_t FONT_SLOT_LIMIT = 128;
// FONT::load: the first free run-time slot; FONT::unload: every slot.
constexpr uint8_t FONT_ANY_SLOT = 255;

// One rendered character. The bitmap is owned (malloc); 0 = no ink,
// the font's grey_levels = full ink.
struct GLYPH {
  int16_t size_w;  // the sizes handed to FreeType (the text size - 1)
  int16_t size_h;
  int16_t advance;  // pixels
  int16_t left;     // bitmap left bearing
  int16_t top;      // bitmap top bearing, upwards from the baseline
  uint16_t width;
  uint16_t rows;
  uint16_t pitch;    // bytes per bitmap row
  uint8_t* bitmap;   // pitch x rows bytes (at least 1 allocated); null until rendered
  int16_t face_height;     // font units
  int16_t face_descender;  // font units, negative
};

// Rows from the top of a line of text size_h high down to its baseline, in
// a face of that height and descender (font units): the line's cell holds
// the descender below the baseline.
constexpr int32_t text_baseline_offset(int32_t size_h, int32_t face_height, int32_t face_descender) {
  // Faces without a height (some broken or bitmap-only fonts) get no
  // descent rather than a division by zero.
  return size_h - 1 + (face_height != 0 ? size_h * face_descender / face_height : 0);
}

// Frees a glyph's bitmap (the record itself stays).
void free_glyph_bitmap(GLYPH& glyph);

// The slots are plain records in a realloc-grown table: no constructors.
struct FONT {
  char name[128];      // display name, always terminated
  FT_FaceRec_* face;   // null marks a free slot
  uint8_t grey_levels; // coverage byte meaning full ink (255)
  GLYPH* glyphs[256];  // per 8-bit code, made on first use; owned

  // Starts FreeType and, unless load_builtin_fonts was cleared, loads the
  // built-in rows (a missing file leaves its slot free). Nothing when
  // already running. A FreeType start-up failure is fatal error 0x21.
  static void init();
  // Loads file from folder (null: "$FONTDATA") into slot index. 255 takes
  // the first free slot from 23 on; an index below 23 accepts only its own
  // built-in file. -1 when the file is missing, the slot is taken, the slot
  // would be 128 or above, or FreeType cannot open the file (a warning).
  static int16_t load(const char* file_name, const char* display_name, uint8_t index,
                      const FOLDER* folder);
  // Closes the slot's face and frees its glyphs; the slot stays, free.
  // 255 unloads every slot.
  static void unload(uint8_t index);
  // Unloads everything, frees the table and stops FreeType.
  static void shutdown();
  // Makes the glyph hold code rendered at (w, h) pixels; callers pass the
  // text size - 1. False (the glyph holds no bitmap) when the slot is not
  // usable, the size is absurd or FreeType cannot render the character:
  // such a glyph is skipped.
  static bool render_glyph(GLYPH* glyph, uint32_t code, int16_t font, int16_t w, int16_t h);

  // Rows that the face's ascent reaches above the top of a line of text
  // size_h high (the y that text drawing takes): the accents over capitals,
  // which stand higher than the line's cell holds. 0 when the ascent fits
  // or the slot is not usable.
  static int32_t overhang(int32_t index, int32_t size_h);

  // Whether the slot's face draws the character with a glyph of its own,
  // not the box it shows for characters it lacks. False for a free slot.
  static bool has_character(int32_t index, uint32_t code);

  // The slot when it holds a face, else null (no table, out of range, free).
  static FONT* get(int32_t index);
  static int16_t get_count();
  static bool is_initialised();

  // The cached glyph record of an 8-bit code, made zero-filled on first use
  // (fatal error 0x23 when memory fails).
  GLYPH* cached_glyph(uint8_t code);
};

// When set (the default), FONT::init loads the built-in fonts. Clear it
// before FONT::init, as tests do, to start with an empty table.
extern uint8_t load_builtin_fonts;
void clear_load_builtin_fonts();

// The built-in rows: file name and display name; null above 22. Files are
// looked for in "$FONTDATA", then in the system's DejaVu folder.
const char* get_builtin_font_file(uint8_t index);
const char* get_builtin_font_name(uint8_t index);
// The system folder the built-in files fall back to (under the system root
// override, see file_services.h).
const char* get_system_font_folder();

// Text flags, one word for IMAGE::draw_text and IMAGE::draw_text_block.
// Effects: shadow over inset over chiselled. Without TEXT_TOP/TEXT_BOTTOM a
// block is centred vertically, without TEXT_LEFT/TEXT_RIGHT each line is
// centred; TEXT_TOP wins over TEXT_BOTTOM, TEXT_LEFT over TEXT_RIGHT.
constexpr uint16_t TEXT_SHADOW = 0x01;    // shadow copy under the text
constexpr uint16_t TEXT_INSET = 0x02;     // light or dark copy one pixel off
constexpr uint16_t TEXT_CHISELED = 0x04;  // lightened copy down-right, then a darkening pass
constexpr uint16_t TEXT_TOP = 0x08;
constexpr uint16_t TEXT_BOTTOM = 0x10;
constexpr uint16_t TEXT_LEFT = 0x20;
constexpr uint16_t TEXT_RIGHT = 0x40;

// The process-wide look of the text effects.
struct TEXT_EFFECTS {
  int16_t shadow_x = 2;
  int16_t shadow_y = 2;
  uint32_t shadow_colour = 0x32000000;  // black, alpha 50
  // The light copy goes (+x, +y) for text of lightness 0.5 or less, the
  // dark copy (-x, -y) for lighter text.
  int16_t inset_x = 1;
  int16_t inset_y = 1;
  uint8_t inset_alpha = 100;
  int16_t chiseled_x = 1;
  int16_t chiseled_y = 1;
  double chiseled_light = 0.3;   // lightness change of the offset pass
  double chiseled_dark = -0.1;   // lightness change of the text pass
};
extern TEXT_EFFECTS text_effects;
