#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"

static_assert(std::is_same_v<FT_Face, FT_FaceRec_*>, "font.h names FreeType's face record");
// The table grows with realloc.
static_assert(std::is_trivially_copyable_v<FONT>);

uint8_t load_builtin_fonts = 1;

namespace {

constexpr uint16_t ERROR_FONT_STARTUP = 0x21;
constexpr uint16_t ERROR_FONT_MEMORY = 0x23;

// Glyphs beyond these are refused and skipped: FreeType would allocate a
// bitmap of hundreds of megabytes for a text size near the i16 limit.
constexpr int32_t kMaxGlyphPixels = 4096;
constexpr size_t kMaxGlyphBytes = size_t{64} << 20;

struct BUILTIN_ROW {
  const char* file;
  const char* name;
};

// Skins store these positions as font numbers: the grouping must stay. The
// project ships no faces of its own; DejaVu stands in for every family.
constexpr BUILTIN_ROW kBuiltinRows[FONT_BUILTIN_COUNT] = {
    {"DejaVuSansCondensed-Bold.ttf", "DejaVu Sans Condensed Bold"},               // 0 expanded
    {"DejaVuSansCondensed-Oblique.ttf", "DejaVu Sans Condensed Oblique"},         // 1 italic
    {"DejaVuSansCondensed-BoldOblique.ttf", "DejaVu Sans Condensed Bold Oblique"},// 2 left leaning
    {"DejaVuSansCondensed.ttf", "DejaVu Sans Condensed"},                         // 3 regular
    {"DejaVuSans-ExtraLight.ttf", "DejaVu Sans ExtraLight"},                      // 4 outline
    {"DejaVuSansMono-Bold.ttf", "DejaVu Sans Mono Bold"},                         // 5 super extended
    {"DejaVuSerifCondensed-Italic.ttf", "DejaVu Serif Condensed Italic"},         // 6 script
    {"DejaVuSans-BoldOblique.ttf", "DejaVu Sans Bold Oblique"},                   // 7
    {"DejaVuSans-Bold.ttf", "DejaVu Sans Bold"},                                  // 8
    {"DejaVuSans-Oblique.ttf", "DejaVu Sans Oblique"},                            // 9
    {"DejaVuSans.ttf", "DejaVu Sans"},                                            // 10 default
    {"DejaVuSansMono-BoldOblique.ttf", "DejaVu Sans Mono Bold Oblique"},          // 11 embossed metal
    {"DejaVuSerifCondensed-BoldItalic.ttf", "DejaVu Serif Condensed Bold Italic"},// 12 slanted roman
    {"DejaVuSansMono-Oblique.ttf", "DejaVu Sans Mono Oblique"},                   // 13 display
    {"DejaVuSerifCondensed-Bold.ttf", "DejaVu Serif Condensed Bold"},             // 14 embossed
    {"DejaVuSerifCondensed.ttf", "DejaVu Serif Condensed"},                       // 15 regular
    {"DejaVuSansCondensed-Oblique.ttf", "DejaVu Sans Condensed Oblique"},         // 16 freestyle condensed
    {"DejaVuSans-Oblique.ttf", "DejaVu Sans Oblique"},                            // 17 freestyle regular
    {"DejaVuSansMono.ttf", "DejaVu Sans Mono"},                                   // 18 8-bit pixel
    {"DejaVuSerif-Bold.ttf", "DejaVu Serif Bold"},                                // 19
    {"DejaVuSerif-BoldItalic.ttf", "DejaVu Serif Bold Italic"},                   // 20
    {"DejaVuSerif-Italic.ttf", "DejaVu Serif Italic"},                            // 21
    {"DejaVuSerif.ttf", "DejaVu Serif"},                                          // 22
};

FONT* table = nullptr;
int16_t count = 0;
FT_Library library = nullptr;
bool initialised = false;

int16_t narrow16(long value) {
  return static_cast<int16_t>(std::clamp<long>(value, INT16_MIN, INT16_MAX));
}

// A font that exists but cannot be read must not end the program: the slot
// stays free and the text falls back to measuring by bytes.
void warn_unreadable_font(const char* path) {
  char text[2200];
  snprintf(text, sizeof text, "Warning: unable to load font from disk: %s", path);
  fprintf(stderr, "%s\n", text);
  DEBUG_STREAM& stream = platform_debug_stream();
  if (stream.has_output()) stream.write(nullptr, 0, text, true);
}

void free_glyphs(FONT& font) {
  for (GLYPH*& glyph : font.glyphs) {
    if (!glyph) continue;
    free_glyph_bitmap(*glyph);
    free(glyph);
    glyph = nullptr;
  }
}

// Copies FreeType's rendered bitmap as 8-bit coverage rows; 1-bit bitmaps
// (bitmap-only faces) are widened to 0 and 255.
bool copy_bitmap(GLYPH& glyph, const FT_Bitmap& source) {
  const size_t rows = source.rows;
  const size_t source_pitch = static_cast<size_t>(std::abs(source.pitch));
  size_t pitch;
  if (source.pixel_mode == FT_PIXEL_MODE_GRAY) pitch = source_pitch;
  else if (source.pixel_mode == FT_PIXEL_MODE_MONO) pitch = source.width;
  else return false;
  if (pitch > UINT16_MAX || rows > UINT16_MAX) return false;
  const size_t bytes = pitch * rows;
  if (bytes > kMaxGlyphBytes) return false;

  glyph.bitmap = static_cast<uint8_t*>(calloc(std::max<size_t>(bytes, 1), 1));
  if (!glyph.bitmap) report_error(ERROR_FONT_MEMORY);
  glyph.pitch = static_cast<uint16_t>(pitch);
  glyph.rows = static_cast<uint16_t>(rows);
  glyph.width = static_cast<uint16_t>(source.width);
  if (bytes == 0 || !source.buffer) return true;

  for (size_t r = 0; r < rows; ++r) {
    // An upward-flowing bitmap (negative pitch) keeps its top row last.
    const size_t source_row = source.pitch < 0 ? rows - 1 - r : r;
    const uint8_t* from = source.buffer + source_row * source_pitch;
    uint8_t* to = glyph.bitmap + r * pitch;
    if (source.pixel_mode == FT_PIXEL_MODE_GRAY) {
      memcpy(to, from, pitch);
    } else {
      for (size_t c = 0; c < pitch; ++c) to[c] = (from[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
    }
  }
  return true;
}

}  // namespace

void free_glyph_bitmap(GLYPH& glyph) {
  free(glyph.bitmap);
  glyph.bitmap = nullptr;
}

void clear_load_builtin_fonts() { load_builtin_fonts = 0; }

const char* get_builtin_font_file(uint8_t index) {
  return index < FONT_BUILTIN_COUNT ? kBuiltinRows[index].file : nullptr;
}

const char* get_builtin_font_name(uint8_t index) {
  return index < FONT_BUILTIN_COUNT ? kBuiltinRows[index].name : nullptr;
}

const char* get_system_font_folder() { return system_path("/usr/share/fonts/truetype/dejavu"); }

int32_t FONT::overhang(int32_t index, int32_t size_h) {
  const FONT* font = get(index);
  if (!font || size_h < 1 || font->face->units_per_EM == 0) return 0;
  const FT_Face face = font->face;
  // Glyphs render at one pixel less than the text size; the ascent is
  // rounded up, as FreeType rounds a scaled face's line metrics.
  const int64_t em = size_h - 1, units = face->units_per_EM;
  const int64_t ascent = (std::max<int64_t>(face->ascender, 0) * em + units - 1) / units;
  const int64_t above = ascent - text_baseline_offset(size_h, face->height, face->descender);
  return static_cast<int32_t>(std::clamp<int64_t>(above, 0, size_h));
}

bool FONT::has_character(int32_t index, uint32_t code) {
  const FONT* font = get(index);
  return font && FT_Get_Char_Index(font->face, code) != 0;
}

FONT* FONT::get(int32_t index) {
  if (!table || index < 0 || index >= count || !table[index].face) return nullptr;
  return &table[index];
}

int16_t FONT::get_count() { return count; }

bool FONT::is_initialised() { return initialised; }

GLYPH* FONT::cached_glyph(uint8_t code) {
  if (!glyphs[code]) {
    glyphs[code] = static_cast<GLYPH*>(calloc(1, sizeof(GLYPH)));
    if (!glyphs[code]) report_error(ERROR_FONT_MEMORY);
  }
  return glyphs[code];
}

void FONT::init() {
  if (initialised) return;
  if (FT_Init_FreeType(&library) != 0) {
    library = nullptr;
    report_error(ERROR_FONT_STARTUP);
  }
  initialised = true;
  if (!load_builtin_fonts) return;

  const char* system_folder = get_system_font_folder();
  FOLDER fallback;
  const bool have_fallback = system_folder && fallback.set_absolute(system_folder);
  for (uint8_t row = 0; row < FONT_BUILTIN_COUNT; ++row) {
    const BUILTIN_ROW& r = kBuiltinRows[row];
    if (load(r.file, r.name, row, nullptr) >= 0) continue;
    if (have_fallback) load(r.file, r.name, row, &fallback);
  }
}

int16_t FONT::load(const char* file_name, const char* display_name, uint8_t index,
                   const FOLDER* folder) {
  if (!initialised || !library || !file_name || !*file_name) return -1;

  FOLDER font_folder;
  if (folder) font_folder = *folder;
  else font_folder.set("$FONTDATA");

  int32_t candidate;
  if (index == FONT_ANY_SLOT) {
    candidate = std::max<int32_t>(count, FONT_BUILTIN_COUNT);
  } else {
    candidate = index;
    if (index < FONT_BUILTIN_COUNT && strcmp(file_name, kBuiltinRows[index].file) != 0) return -1;
  }

  if (!file_exists(font_folder, file_name)) return -1;

  // Choose the slot before opening anything, so that a refusal changes nothing.
  int32_t slot = -1;
  if (candidate < count) {
    if (table[candidate].face) return -1;
    slot = candidate;
  } else if (index == FONT_ANY_SLOT) {
    for (int32_t i = FONT_BUILTIN_COUNT; i < count; ++i) {
      if (!table[i].face) {
        slot = i;
        break;
      }
    }
  }
  if (slot < 0) slot = candidate;
  if (slot >= FONT_SLOT_LIMIT) return -1;

  const char* path = make_path(font_folder, file_name);
  if (!path) return -1;
  FT_Face face = nullptr;
  if (FT_New_Face(library, path, 0, &face) != 0) {
    warn_unreadable_font(path);
    return -1;
  }

  if (slot >= count) {
    FONT* grown = static_cast<FONT*>(realloc(table, sizeof(FONT) * static_cast<size_t>(slot + 1)));
    if (!grown) report_error(ERROR_FONT_MEMORY);
    table = grown;
    memset(table + count, 0, sizeof(FONT) * static_cast<size_t>(slot + 1 - count));
    count = static_cast<int16_t>(slot + 1);
  }

  FONT& font = table[slot];
  font.face = face;
  font.grey_levels = 255;
  snprintf(font.name, sizeof font.name, "%s", display_name ? display_name : file_name);
  return static_cast<int16_t>(slot);
}

void FONT::unload(uint8_t index) {
  if (!table) return;
  if (index == FONT_ANY_SLOT) {
    for (int32_t i = 0; i < count; ++i) unload(static_cast<uint8_t>(i));
    return;
  }
  if (static_cast<int8_t>(index) < 0 || index >= count) return;
  FONT& font = table[index];
  if (font.face) FT_Done_Face(font.face);
  font.face = nullptr;
  free_glyphs(font);
}

void FONT::shutdown() {
  if (!initialised) return;
  unload(FONT_ANY_SLOT);
  free(table);
  table = nullptr;
  count = 0;
  if (library) FT_Done_FreeType(library);
  library = nullptr;
  initialised = false;
}

bool FONT::render_glyph(GLYPH* glyph, uint32_t code, int16_t font_index, int16_t w, int16_t h) {
  if (!glyph) return false;
  if (glyph->size_w == w && glyph->size_h == h && glyph->bitmap) return true;
  free_glyph_bitmap(*glyph);

  FONT* font = get(font_index);
  if (!font || w < 0 || h < 0 || w > kMaxGlyphPixels || h > kMaxGlyphPixels) return false;
  FT_Face face = font->face;
  // A size the face does not offer (bitmap-only faces) or a character it
  // cannot render is skipped rather than ending the program over one font.
  if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(w), static_cast<FT_UInt>(h)) != 0) return false;
  if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) return false;

  const FT_GlyphSlot slot = face->glyph;
  GLYPH rendered = {};
  rendered.size_w = w;
  rendered.size_h = h;
  rendered.advance = narrow16(slot->advance.x >> 6);
  rendered.left = narrow16(slot->bitmap_left);
  rendered.top = narrow16(slot->bitmap_top);
  rendered.face_height = narrow16(face->height);
  rendered.face_descender = narrow16(face->descender);
  if (!copy_bitmap(rendered, slot->bitmap)) {
    free_glyph_bitmap(rendered);
    return false;
  }
  *glyph = rendered;
  return true;
}
