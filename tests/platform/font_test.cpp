// The font table: built-in rows, loading into slots, the slot limits, soft
// failures on bad files, and glyphs checked against FreeType itself.
#include "font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "file_services.h"
#include "folder.h"
#include "image.h"
#include "test_support.h"

namespace {

FOLDER system_fonts() {
  FOLDER folder;
  EXPECT_TRUE(folder.set_absolute(get_system_font_folder()));
  return folder;
}

class FontTest : public ::testing::Test {
protected:
  void SetUp() override {
    clear_load_builtin_fonts();
    FONT::init();
  }
  void TearDown() override { FONT::shutdown(); }
};

TEST(FontBuiltinRows, NameDejaVuFilesInTheirFamilyRows) {
  for (uint8_t i = 0; i < FONT_BUILTIN_COUNT; ++i) {
    const std::string file = get_builtin_font_file(i);
    ASSERT_NE(get_builtin_font_name(i), nullptr);
    EXPECT_EQ(file.substr(file.size() - 4), ".ttf") << int(i);
    EXPECT_TRUE(test_support::file_exists(std::string(get_system_font_folder()) + "/" + file))
        << file;
  }
  EXPECT_EQ(get_builtin_font_file(23), nullptr);
  EXPECT_EQ(get_builtin_font_name(255), nullptr);
  for (const auto& [first, family] : {std::pair<uint8_t, const char*>{7, "DejaVuSans"}, {19, "DejaVuSerif"}})
    for (uint8_t i = first; i <= first + 3; ++i)
      EXPECT_EQ(std::string(get_builtin_font_file(i)).rfind(family, 0), 0u) << int(i);
  EXPECT_STREQ(get_builtin_font_file(10), "DejaVuSans.ttf");
}

TEST_F(FontTest, LoadsIntoTheFirstRunTimeSlotAndKeepsItsName) {
  const FOLDER fonts = system_fonts();
  EXPECT_EQ(FONT::get_count(), 0);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", "Sans", FONT_ANY_SLOT, &fonts), 23);
  EXPECT_EQ(FONT::get_count(), 24);
  ASSERT_NE(FONT::get(23), nullptr);
  EXPECT_STREQ(FONT::get(23)->name, "Sans");
  EXPECT_EQ(FONT::get(23)->grey_levels, 255);
  // Without a display name the file name stands in; long names are cut.
  EXPECT_EQ(FONT::load("DejaVuSerif.ttf", nullptr, FONT_ANY_SLOT, &fonts), 24);
  EXPECT_STREQ(FONT::get(24)->name, "DejaVuSerif.ttf");
  const std::string long_name(300, 'n');
  EXPECT_EQ(FONT::load("DejaVuSerif.ttf", long_name.c_str(), FONT_ANY_SLOT, &fonts), 25);
  EXPECT_EQ(std::string(FONT::get(25)->name), long_name.substr(0, 127));
  // The built-in slots below stay free.
  EXPECT_EQ(FONT::get(10), nullptr);
}

TEST_F(FontTest, BuiltinSlotTakesOnlyItsOwnFileAndIsNeverReplaced) {
  const FOLDER fonts = system_fonts();
  EXPECT_EQ(FONT::load("DejaVuSerif.ttf", nullptr, 10, &fonts), -1);
  EXPECT_EQ(FONT::get_count(), 0);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", "first", 10, &fonts), 10);
  EXPECT_EQ(FONT::get_count(), 11);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", "second", 10, &fonts), -1);
  EXPECT_STREQ(FONT::get(10)->name, "first");
  // A free built-in slot is refilled only with its own file.
  FONT::unload(10);
  EXPECT_EQ(FONT::get(10), nullptr);
  EXPECT_EQ(FONT::get_count(), 11);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", "again", 10, &fonts), 10);
}

TEST_F(FontTest, OverhangAndOwnGlyphsOfALoadedFace) {
  const FOLDER fonts = system_fonts();
  ASSERT_EQ(FONT::load("DejaVuSans.ttf", nullptr, 10, &fonts), 10);
  // Rows the accents over capitals stand above the line's cell; slot 11 is free.
  EXPECT_EQ((std::vector<int32_t>{FONT::overhang(10, 22), FONT::overhang(10, 13), FONT::overhang(10, -1),
                                  FONT::overhang(11, 22)}),
            (std::vector<int32_t>{3, 2, 0, 0}));
  EXPECT_TRUE(FONT::has_character(10, 0x2026));
  EXPECT_FALSE(FONT::has_character(10, 0xE000));
  EXPECT_FALSE(FONT::has_character(11, 'A'));
}

TEST_F(FontTest, AnySlotReusesTheFirstFreeRunTimeSlot) {
  const FOLDER fonts = system_fonts();
  ASSERT_EQ(FONT::load("DejaVuSans.ttf", nullptr, 29, &fonts), 29);
  EXPECT_EQ(FONT::get_count(), 30);
  for (int expected = 23; expected < 29; ++expected)
    EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), expected);
  FONT::unload(25);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), 25);
  // With every slot taken the table grows.
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), 30);
}

TEST_F(FontTest, RefusesSlotsThatTextDrawingCouldNotAddress) {
  const FOLDER fonts = system_fonts();
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, 128, &fonts), -1);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, 254, &fonts), -1);
  EXPECT_EQ(FONT::get_count(), 0);
  ASSERT_EQ(FONT::load("DejaVuSans.ttf", nullptr, 127, &fonts), 127);
  for (int slot = 23; slot < 127; ++slot)
    ASSERT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), slot);
  // Slots 23..127 are all taken: the next free one would be 128.
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), -1);
  EXPECT_EQ(FONT::get_count(), 128);
  FONT::unload(60);
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), 60);
}

TEST_F(FontTest, MissingAndCorruptFilesFailSoftly) {
  test_support::ScratchDir scratch;
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(scratch.path().c_str()));
  EXPECT_EQ(FONT::load("absent.ttf", nullptr, FONT_ANY_SLOT, &folder), -1);
  EXPECT_EQ(FONT::load(nullptr, nullptr, FONT_ANY_SLOT, &folder), -1);

  ASSERT_TRUE(test_support::write_file(scratch.file("broken.ttf"), std::string(600, 'x')));
  testing::internal::CaptureStderr();
  EXPECT_EQ(FONT::load("broken.ttf", "Broken", 40, &folder), -1);
  const std::string warning = testing::internal::GetCapturedStderr();
  EXPECT_NE(warning.find("unable to load font from disk"), std::string::npos) << warning;
  EXPECT_NE(warning.find("broken.ttf"), std::string::npos);
  // Nothing changed: the table did not grow for the refused slot.
  EXPECT_EQ(FONT::get_count(), 0);

  // The program carries on and a good file still loads.
  const FOLDER fonts = system_fonts();
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), 23);
}

// A copy of DejaVu Sans with one table changed: "glyf" overwritten (the face
// opens, but no glyph with an outline renders), or "head" with half the
// units to the em (every glyph twice as large).
std::string changed_dejavu(const std::string& table) {
  std::string bytes =
      test_support::read_file(std::string(get_system_font_folder()) + "/DejaVuSans.ttf");
  auto u16 = [&](size_t at) {
    return static_cast<size_t>((static_cast<uint8_t>(bytes[at]) << 8) | static_cast<uint8_t>(bytes[at + 1]));
  };
  auto u32 = [&](size_t at) { return (u16(at) << 16) | u16(at + 2); };
  const size_t tables = u16(4);
  for (size_t i = 0; i < tables; ++i) {
    const size_t entry = 12 + 16 * i, at = u32(entry + 8);
    if (bytes.compare(entry, 4, table) != 0) continue;
    if (table == "glyf") std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), u32(entry + 12), '\xFF');
    else bytes[at + 18] = '\x04';  // its 2048 units to the em become 1024
  }
  return bytes;
}

TEST_F(FontTest, GlyphsThatFailToRenderAreSkipped) {
  test_support::ScratchDir scratch;
  ASSERT_TRUE(test_support::write_file(scratch.file("damaged.ttf"), changed_dejavu("glyf")));
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(scratch.path().c_str()));
  const int16_t slot = FONT::load("damaged.ttf", nullptr, FONT_ANY_SLOT, &folder);
  ASSERT_EQ(slot, 23);
  GLYPH glyph = {};
  EXPECT_FALSE(FONT::render_glyph(&glyph, 'A', slot, 20, 20));
  EXPECT_EQ(glyph.bitmap, nullptr);
  // A bitmap of more than 64 MiB is not kept: U+01C4 at 4096 pixels, twice as large.
  ASSERT_TRUE(test_support::write_file(scratch.file("large.ttf"), changed_dejavu("head")));
  EXPECT_FALSE(FONT::render_glyph(&glyph, 0x1C4, FONT::load("large.ttf", nullptr, FONT_ANY_SLOT, &folder), 4096, 4096));
  EXPECT_EQ(glyph.bitmap, nullptr);

  // The blank still measures; the damaged letters add nothing and draw nothing.
  const FOLDER fonts = system_fonts();
  const int16_t good = FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts);
  IMAGE image(60, 30);
  const int32_t blank = image.get_text_width(static_cast<uint8_t>(good), 21, 21, " ", 0xFFFFFFFFu, 0);
  EXPECT_GT(blank, 0);
  EXPECT_EQ(image.get_text_width(static_cast<uint8_t>(slot), 21, 21, "A A", 0xFFFFFFFFu, 0), blank);
  const COLOUR ink = 0xFF000000;
  image.draw_text(0, 0, &ink, nullptr, &ink, static_cast<int8_t>(slot), 21, 21, "AgA", TEXT_SHADOW);
  for (size_t i = 0; i < image.pixel_count; ++i) ASSERT_EQ(image.pixels[i], 0u);
}

TEST_F(FontTest, LoadingLooksInTheFontDataFolderByDefault) {
  // "$FONTDATA" falls back to the program's folder when nothing is found,
  // so a file that is only in the system folder is not found by default.
  FOLDER data;
  data.set("$FONTDATA");
  const bool there = file_exists(data, "DejaVuSans.ttf");
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, nullptr) == 23, there);
}

TEST(FontLifecycle, NothingLoadsBeforeInitAndShutdownEmptiesTheTable) {
  const FOLDER fonts = system_fonts();
  EXPECT_FALSE(FONT::is_initialised());
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), -1);
  clear_load_builtin_fonts();
  FONT::init();
  FONT::init();  // a second start changes nothing
  EXPECT_TRUE(FONT::is_initialised());
  EXPECT_EQ(FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts), 23);
  FONT::unload(200);  // negative as i8: nothing
  FONT::unload(99);   // beyond the table: nothing
  EXPECT_NE(FONT::get(23), nullptr);
  FONT::unload(FONT_ANY_SLOT);
  EXPECT_EQ(FONT::get(23), nullptr);
  EXPECT_EQ(FONT::get_count(), 24);
  FONT::shutdown();
  EXPECT_FALSE(FONT::is_initialised());
  EXPECT_EQ(FONT::get_count(), 0);
  EXPECT_EQ(FONT::get(23), nullptr);
  FONT::shutdown();  // a second stop changes nothing
}

TEST(FontLifecycle, StartUpLoadsTheBuiltinRowsFromTheSystemFolder) {
  load_builtin_fonts = 1;
  FONT::init();
  EXPECT_EQ(FONT::get_count(), FONT_BUILTIN_COUNT);
  for (uint8_t i = 0; i < FONT_BUILTIN_COUNT; ++i) {
    ASSERT_NE(FONT::get(i), nullptr) << int(i);
    EXPECT_STREQ(FONT::get(i)->name, get_builtin_font_name(i));
  }
  FONT::shutdown();
  clear_load_builtin_fonts();
}

TEST(FontLifecycle, WithoutFontFilesTheProgramStillMeasuresAndDraws) {
  test_support::ScratchDir empty_root;
  set_system_root_override(empty_root.path().c_str());
  load_builtin_fonts = 1;
  FONT::init();
  set_system_root_override(nullptr);
  clear_load_builtin_fonts();
  EXPECT_EQ(FONT::get(FONT_DEFAULT), nullptr);

  IMAGE image(40, 30);
  EXPECT_EQ(image.get_text_width(255, 65535, -1, "Hello", 0xFFFFFFFFu, 0), 5);
  const COLOUR ink = 0xFF000000;
  image.draw_text(0, 0, &ink, &ink, &ink, -1, -1, -1, "Hello");
  image.draw_text_block(0, 0, 39, 29, &ink, &ink, &ink, -1, -1, -1, "Hello world", 0);
  for (size_t i = 0; i < image.pixel_count; ++i) ASSERT_EQ(image.pixels[i], 0u);
  FONT::shutdown();
}

// FreeType opened directly, as the reference for the glyph metrics.
class FreeTypeReference {
public:
  FreeTypeReference() {
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    const std::string path = std::string(get_system_font_folder()) + "/DejaVuSans.ttf";
    EXPECT_EQ(FT_New_Face(library, path.c_str(), 0, &face), 0);
  }
  ~FreeTypeReference() {
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
  FT_GlyphSlot render(uint32_t code, int w, int h) {
    EXPECT_EQ(FT_Set_Pixel_Sizes(face, w, h), 0);
    EXPECT_EQ(FT_Load_Char(face, code, FT_LOAD_RENDER), 0);
    return face->glyph;
  }
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

TEST_F(FontTest, RenderedGlyphsCarryFreeTypesMetricsAndBitmap) {
  const FOLDER fonts = system_fonts();
  const int16_t slot = FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts);
  ASSERT_EQ(slot, 23);
  FreeTypeReference reference;
  for (int size : {1, 9, 21, 47}) {  // at 1 pixel, g and W are single-byte bitmaps
    for (uint32_t code : {uint32_t{'g'}, uint32_t{'W'}, uint32_t{0xE9}, uint32_t{0x416}}) {
      GLYPH glyph = {};
      ASSERT_TRUE(FONT::render_glyph(&glyph, code, slot, static_cast<int16_t>(size),
                                     static_cast<int16_t>(size)));
      FT_GlyphSlot expected = reference.render(code, size, size);
      EXPECT_EQ(std::tuple(glyph.size_w, glyph.advance, glyph.left, glyph.top, glyph.width, glyph.rows, glyph.face_height, glyph.face_descender),
                std::tuple(size, expected->advance.x >> 6, expected->bitmap_left, expected->bitmap_top, expected->bitmap.width,
                           expected->bitmap.rows, reference.face->height, reference.face->descender));
      ASSERT_EQ(glyph.pitch, std::abs(expected->bitmap.pitch));
      EXPECT_EQ(0, memcmp(glyph.bitmap, expected->bitmap.buffer,
                          static_cast<size_t>(glyph.pitch) * glyph.rows));
      free_glyph_bitmap(glyph);
    }
  }
}

TEST_F(FontTest, AbsurdGlyphSizesAreSkippedNotRendered) {
  const FOLDER fonts = system_fonts();
  const int16_t slot = FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts);
  GLYPH glyph = {};
  EXPECT_FALSE(FONT::render_glyph(&glyph, 'W', slot, 30000, 30000));
  EXPECT_EQ(glyph.bitmap, nullptr);
  EXPECT_FALSE(FONT::render_glyph(&glyph, 'W', 99, 10, 10));  // no such slot
  EXPECT_TRUE(FONT::render_glyph(&glyph, 'W', slot, 10, 0));  // a zero height takes the width
  free_glyph_bitmap(glyph);
  // A text that large measures as nothing but still returns.
  IMAGE image(10, 10);
  EXPECT_EQ(image.get_text_width(static_cast<uint8_t>(slot), 30000, 30000, "WW", 0xFFFFFFFFu, 0),
            0);
  // An empty bitmap (a blank) still holds one byte.
  ASSERT_TRUE(FONT::render_glyph(&glyph, ' ', slot, 20, 20));
  EXPECT_NE(glyph.bitmap, nullptr);
  EXPECT_EQ(glyph.rows * glyph.pitch, 0);
  free_glyph_bitmap(glyph);
}

TEST_F(FontTest, CachedGlyphKeepsOnlyTheLastSize) {
  const FOLDER fonts = system_fonts();
  const int16_t slot = FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &fonts);
  FONT* font = FONT::get(slot);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->glyphs['A'], nullptr);
  IMAGE image(10, 10);
  const int32_t at_20 = image.get_text_width(static_cast<uint8_t>(slot), 20, 20, "A", 0xFFFFFFFFu, 0);
  ASSERT_NE(font->glyphs['A'], nullptr);
  EXPECT_EQ(font->glyphs['A']->size_h, 19);
  const int32_t at_40 = image.get_text_width(static_cast<uint8_t>(slot), 40, 40, "A", 0xFFFFFFFFu, 0);
  EXPECT_EQ(font->glyphs['A']->size_h, 39);
  EXPECT_GT(at_40, at_20);
  EXPECT_EQ(image.get_text_width(static_cast<uint8_t>(slot), 20, 20, "A", 0xFFFFFFFFu, 0), at_20);
  // Characters above 255 never enter the cache.
  image.get_text_width(static_cast<uint8_t>(slot), 20, 20, "\x01" "0416\x01", 0xFFFFFFFFu, 0);
  for (GLYPH* glyph : font->glyphs) {
    if (glyph) {
      EXPECT_TRUE(glyph == font->glyphs['A']);
    }
  }
}

}  // namespace
