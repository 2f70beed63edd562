// Text measured and drawn into in-memory images with DejaVu Sans: the
// measurer and the glyph pixels against FreeType opened directly, the
// effect passes, the printf-style helpers and the block layout.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "colour.h"
#include "data_file.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "picture_compare.h"
#include "image_test_support.h"
#include "test_support.h"

namespace {

constexpr COLOUR kWhite = 0xFFFFFFFF;
constexpr COLOUR kBlack = 0xFF000000;
constexpr COLOUR kGrey = 0xFF808080;
constexpr uint32_t kAll = 0xFFFFFFFFu;

COLOUR& pixel(IMAGE& image, int x, int y) {
  return image.pixels[static_cast<size_t>(y - image.y) * image.stride + (x - image.x)];
}

void paint(IMAGE& image, COLOUR colour) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) image.pixels[static_cast<size_t>(y) * image.stride + x] = colour;
  image.dirty_x1 = image.dirty_x2 = image.dirty_y1 = image.dirty_y2 = 65535;
}

// Reports the first differing pixel, so that a mismatch is readable.
::testing::AssertionResult same_pixels(const IMAGE& a, const IMAGE& b) {
  if (a.width != b.width || a.height != b.height)
    return ::testing::AssertionFailure() << "sizes differ";
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      COLOUR pa = a.pixels[static_cast<size_t>(y) * a.stride + x];
      COLOUR pb = b.pixels[static_cast<size_t>(y) * b.stride + x];
      if (pa != pb)
        return ::testing::AssertionFailure()
               << "first difference at (" << x << ", " << y << "): " << std::hex << pa << " vs "
               << pb;
    }
  return ::testing::AssertionSuccess();
}

bool untouched(const IMAGE& image, COLOUR colour) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (image.pixels[static_cast<size_t>(y) * image.stride + x] != colour) return false;
  return true;
}

// FreeType opened directly: the reference for advances, bearings and
// coverage. Glyphs render one pixel below the text size.
class Reference {
public:
  Reference() {
    FT_Init_FreeType(&library);
    const std::string path = std::string(get_system_font_folder()) + "/DejaVuSans.ttf";
    FT_New_Face(library, path.c_str(), 0, &face);
  }
  ~Reference() {
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
  FT_GlyphSlot render(uint32_t code, int size) {
    FT_Set_Pixel_Sizes(face, size - 1, size - 1);
    FT_Load_Char(face, code, FT_LOAD_RENDER);
    return face->glyph;
  }
  int advance(uint32_t code, int size) { return static_cast<int>(render(code, size)->advance.x >> 6); }
  int width(const std::vector<uint32_t>& codes, int size) {
    int total = 0;
    for (uint32_t code : codes) total += advance(code, size);
    return total;
  }
  int baseline(int y, int size) { return y + size - 1 + size * face->descender / face->height; }
  // The line as it must appear: each glyph's coverage at (pen + left,
  // baseline - top), the ink blended by coverage x alpha / 255.
  void draw(IMAGE& image, int x, int y, int size, const std::vector<uint32_t>& codes,
            COLOUR ink) {
    const int base = baseline(y, size);
    int pen = x;
    for (uint32_t code : codes) {
      FT_GlyphSlot slot = render(code, size);
      for (unsigned r = 0; r < slot->bitmap.rows; ++r)
        for (unsigned c = 0; c < slot->bitmap.width; ++c) {
          int px = pen + slot->bitmap_left + static_cast<int>(c);
          int py = base - slot->bitmap_top + static_cast<int>(r);
          if (px < 0 || py < 0 || px >= image.width || py >= image.height) continue;
          uint32_t byte = slot->bitmap.buffer[r * static_cast<unsigned>(slot->bitmap.pitch) + c];
          blend_colour(&pixel(image, px, py), &ink, static_cast<uint8_t>(byte * (ink >> 24) / 255));
        }
      pen += static_cast<int>(slot->advance.x >> 6);
    }
  }
  // Coverage of one line at the pixel (0 where no glyph covers it).
  uint8_t coverage(int x, int y, int size, const std::vector<uint32_t>& codes, int px, int py) {
    const int base = baseline(y, size);
    int pen = x;
    uint8_t most = 0;
    for (uint32_t code : codes) {
      FT_GlyphSlot slot = render(code, size);
      int c = px - (pen + slot->bitmap_left), r = py - (base - slot->bitmap_top);
      if (c >= 0 && r >= 0 && c < static_cast<int>(slot->bitmap.width) &&
          r < static_cast<int>(slot->bitmap.rows))
        most = std::max(most, slot->bitmap.buffer[r * slot->bitmap.pitch + c]);
      pen += static_cast<int>(slot->advance.x >> 6);
    }
    return most;
  }

  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

std::vector<uint32_t> codes_of(const std::string& text) {
  std::vector<uint32_t> codes;
  for (unsigned char c : text) codes.push_back(c);
  return codes;
}

class TextTest : public ::testing::Test {
protected:
  void SetUp() override {
    clear_load_builtin_fonts();
    FONT::init();
    FOLDER fonts;
    ASSERT_TRUE(fonts.set_absolute(get_system_font_folder()));
    slot = FONT::load("DejaVuSans.ttf", "Sans", FONT_ANY_SLOT, &fonts);
    ASSERT_EQ(slot, 23);
  }
  void TearDown() override { FONT::shutdown(); }

  int32_t measure(IMAGE& image, const char* text, int size, uint32_t limit = kAll, uint8_t run = 0) {
    return image.get_text_width(static_cast<uint8_t>(slot), static_cast<uint16_t>(size),
                                static_cast<int16_t>(size), text, limit, run);
  }

  int16_t slot = -1;
  int8_t font() const { return static_cast<int8_t>(slot); }
  Reference reference;
};

// ---- Measuring ----------------------------------------------------------

TEST_F(TextTest, WidthIsTheSumOfFreeTypeAdvancesAtSeveralSizes) {
  IMAGE image(10, 10);
  for (int size : {12, 22, 40}) {
    EXPECT_EQ(measure(image, "Hello, World", size), reference.width(codes_of("Hello, World"), size))
        << size;
    EXPECT_EQ(measure(image, "Hello, World", size, 3), reference.width(codes_of("Hel"), size));
  }
  EXPECT_EQ(measure(image, "", 20), 0);
  EXPECT_EQ(measure(image, "abc", 20, 0), 0);
  EXPECT_EQ(image.get_text_width(static_cast<uint8_t>(slot), 20, 20, nullptr, kAll, 0), 0);
}

TEST_F(TextTest, DefaultsAreTheImagesFontAndSizes) {
  IMAGE image(10, 10);
  image.font = font();
  image.font_width = 30;
  image.font_height = 30;
  EXPECT_EQ(image.get_text_width(255, 65535, -1, "Default", kAll, 0), measure(image, "Default", 30));
  image.font_width = 14;
  EXPECT_EQ(image.get_text_width(255, 65535, 30, "Default", kAll, 0),
            image.get_text_width(static_cast<uint8_t>(slot), 14, 30, "Default", kAll, 0));
}

TEST_F(TextTest, UnusableFontsMeasureTheByteLength) {
  IMAGE image(10, 10);
  // A free slot, one negative as a signed byte, one beyond the table; a
  // loaded font at a zero width or height.
  const int fonts[][3] = {{5, 20, 20}, {200, 20, 20}, {90, 20, 20}, {slot, 0, 20}, {slot, 20, 0}};
  for (const auto& [f, w, h] : fonts) EXPECT_EQ(image.get_text_width(f, w, h, "abcdef", kAll, 0), 6) << f;
  image.font = 12;  // the default points at a free built-in slot
  EXPECT_EQ(image.get_text_width(255, 65535, -1, "abc", kAll, 0), 3);
}

TEST_F(TextTest, CodeRunsMeasureOneCharacterPerCode) {
  IMAGE image(10, 10);
  const int size = 24;
  const std::vector<uint32_t> four = {'A', 0xE9, 0x416, 'B'};
  const int32_t expected = reference.width(four, size);
  EXPECT_EQ(measure(image, "A\x01,00E9,0416\x01" "B", size), expected);
  EXPECT_EQ(measure(image, "A\x01" "00e90416\x01" "B", size), expected);  // lower case, no commas
  EXPECT_EQ(measure(image, "A\x01,00E9,0416\x01" "B", size, 3), reference.width({'A', 0xE9, 0x416}, size));
  // A text that starts inside a run, and one whose run is never closed.
  EXPECT_EQ(measure(image, "0416,00E9", size, kAll, 1), reference.width({0x416, 0xE9}, size));
  EXPECT_EQ(measure(image, "\x01" "0416", size), reference.advance(0x416, size));
  // Nothing to draw: a lone run byte, a run without digits.
  EXPECT_EQ(measure(image, "\x01", size), 0);
  EXPECT_EQ(measure(image, "\x01zz,\x01", size), 0);
  // Invalid positions are skipped up to the first non-digit.
  EXPECT_EQ(measure(image, "\x01" "12x0416\x01", size), reference.advance(0x416, size));
  // A surrogate pair is one character above U+FFFF.
  EXPECT_EQ(measure(image, "\x01" "D835,DC00\x01" "X", size, 1), reference.advance(0x1D400, size));
  EXPECT_EQ(measure(image, "\x01" "D835,DC00\x01" "X", size),
            reference.width({0x1D400, 'X'}, size));
}

// ---- One line ----------------------------------------------------------

TEST_F(TextTest, GlyphsLandWhereFreeTypesMetricsPutThem) {
  for (int size : {13, 24, 41}) {
    IMAGE drawn(220, 70), expected(220, 70);
    paint(drawn, kWhite);
    paint(expected, kWhite);
    drawn.draw_text_line(5, 4, &kBlack, nullptr, nullptr, 0.0, font(), static_cast<int16_t>(size),
                         static_cast<int16_t>(size), "Hg\x01" "0416\x01" "y", -1, 0);
    reference.draw(expected, 5, 4, size, {'H', 'g', 0x416, 'y'}, kBlack);
    EXPECT_TRUE(same_pixels(drawn, expected)) << "size " << size;
    EXPECT_FALSE(untouched(drawn, kWhite));
  }
}

TEST_F(TextTest, TranslucentInkBlendsByCoverageTimesAlpha) {
  const COLOUR ink = 0x80204060;
  IMAGE drawn(120, 40), expected(120, 40);
  paint(drawn, kGrey);
  paint(expected, kGrey);
  drawn.draw_text_line(2, 2, &ink, nullptr, nullptr, 0.0, font(), 28, 28, "Wo", -1, 0);
  reference.draw(expected, 2, 2, 28, codes_of("Wo"), ink);
  EXPECT_TRUE(same_pixels(drawn, expected));
}

TEST_F(TextTest, MaxCharsDrawsOnlyTheFirstCharacters) {
  for (const auto& [max, shown] : {std::pair{1, "W"}, std::pair{2, "Wo"}, std::pair{0, ""}}) {
    IMAGE drawn(120, 40), expected(120, 40);
    paint(drawn, kWhite);
    paint(expected, kWhite);
    drawn.draw_text_line(2, 2, &kBlack, nullptr, nullptr, 0.0, font(), 28, 28, "Wor", max, 0);
    reference.draw(expected, 2, 2, 28, codes_of(shown), kBlack);
    EXPECT_TRUE(same_pixels(drawn, expected)) << max;
  }
}

TEST_F(TextTest, ImageOriginIsHonoured) {
  IMAGE drawn(100, 40), expected(100, 40);
  drawn.x = 1000;
  drawn.y = -50;
  drawn.set_clip_rect(1000, -50, 1099, -11);
  paint(drawn, kWhite);
  paint(expected, kWhite);
  drawn.draw_text_line(1003, -48, &kBlack, nullptr, nullptr, 0.0, font(), 24, 24, "Ok", -1, 0);
  reference.draw(expected, 3, 2, 24, codes_of("Ok"), kBlack);
  EXPECT_TRUE(same_pixels(drawn, expected));
}

TEST_F(TextTest, ClipRectangleKeepsEveryPixelInside) {
  IMAGE drawn(160, 50), expected(160, 50);
  paint(drawn, kWhite);
  paint(expected, kWhite);
  drawn.set_clip_rect(20, 10, 70, 30);
  drawn.draw_text_line(4, 4, &kBlack, nullptr, nullptr, 0.0, font(), 32, 32, "MMMMMM", -1, 0);
  reference.draw(expected, 4, 4, 32, codes_of("MMMMMM"), kBlack);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x) {
      const bool inside = x >= 20 && x <= 70 && y >= 10 && y <= 30;
      ASSERT_EQ(pixel(drawn, x, y), inside ? pixel(expected, x, y) : kWhite) << x << "," << y;
    }

  // A glyph wholly outside the clip draws nothing and dirties nothing.
  IMAGE far(160, 50);
  paint(far, kWhite);
  far.set_clip_rect(120, 0, 159, 49);
  far.draw_text_line(2, 2, &kBlack, nullptr, nullptr, 0.0, font(), 20, 20, "ii", -1, 0);
  EXPECT_TRUE(untouched(far, kWhite));
  EXPECT_TRUE(far.dirty_is_empty());
}

TEST_F(TextTest, DirtyRectangleCoversTheDrawnCells) {
  IMAGE image(200, 60);
  paint(image, kWhite);
  image.draw_text_line(10, 5, &kBlack, nullptr, nullptr, 0.0, font(), 30, 30, "Tq", -1, 0);
  const int width = reference.width(codes_of("Tq"), 30);
  EXPECT_EQ(image_test_support::dirty(image), (std::vector<int>{10, 5, 10 + width, 35}));
}

TEST_F(TextTest, BackgroundFillsInclusiveCellsAndUnderlineSitsBelowTheBaseline) {
  const COLOUR red = 0xFFFF0000, blue = 0xFF0000FF;
  const int size = 24, x = 6, y = 5;
  IMAGE image(120, 50);
  paint(image, kWhite);
  image.draw_text_line(x, y, &kBlack, &red, &blue, 0.0, font(), size, size, "II", -1, 0);
  const int width = reference.width(codes_of("II"), size);
  const int under = reference.baseline(y, size) + 1;
  // The background's corners, and one pixel beyond its edges.
  EXPECT_EQ((std::vector<COLOUR>{pixel(image, x, y), pixel(image, x, y + size), pixel(image, x + width, y),
                                 pixel(image, x, y + size + 1), pixel(image, x + width + 1, y), pixel(image, x - 1, y)}),
            (std::vector<COLOUR>{red, red, red, kWhite, kWhite, kWhite}));
  for (int px = x; px < x + width; ++px) EXPECT_EQ(pixel(image, px, under), blue) << px;
  EXPECT_EQ(pixel(image, x + width, under), red);
}

TEST_F(TextTest, LightnessModeMovesOnlyCoveredPixels) {
  const int size = 30, x = 3, y = 3;
  IMAGE image(80, 40);
  paint(image, kGrey);
  image.draw_text_line(x, y, nullptr, nullptr, nullptr, 0.3, font(), size, size, "H", -1, 0);
  double a, h, s, l;
  COLOUR grey = kGrey;
  colour_to_ahsl(&grey, &a, &h, &s, &l);
  COLOUR full;
  ahsl_to_colour(&full, a, h, s, l + 0.3);
  int full_pixels = 0;
  for (int py = 0; py < 40; ++py)
    for (int px = 0; px < 80; ++px) {
      const uint8_t c = reference.coverage(x, y, size, {'H'}, px, py);
      if (c == 0) {
        ASSERT_EQ(pixel(image, px, py), kGrey);
      }
      if (c == 255) {
        ASSERT_EQ(pixel(image, px, py), full);
        ++full_pixels;
      }
    }
  EXPECT_GT(full_pixels, 20);
}

TEST_F(TextTest, LineEndsAtTheImagesRightEdge) {
  IMAGE image(30, 30);
  paint(image, kWhite);
  // Many characters past the edge: the walk stops, nothing is written out of bounds.
  const std::string text(2000, 'W');
  image.draw_text_line(0, 0, &kBlack, &kBlack, &kBlack, 0.0, font(), 20, 20, text.c_str(), -1, 0);
  EXPECT_EQ(pixel(image, 29, 5), kBlack);
}

// ---- Effects -----------------------------------------------------------

TEST_F(TextTest, ShadowGoesTwoPixelsDownRightUnderTheText) {
  const int size = 26, x = 4, y = 4;
  const COLOUR red = 0xFFFF0000, yellow = 0xFFFFFF00;
  IMAGE drawn(120, 45), expected(120, 45);
  paint(drawn, kWhite);
  paint(expected, kWhite);
  drawn.draw_text(x, y, &red, &yellow, nullptr, font(), size, size, "Ab", TEXT_SHADOW);
  // The background belongs to the shadow pass, cell by cell; the text pass
  // has none.
  int pen = x + 2;
  for (uint32_t code : {uint32_t{'A'}, uint32_t{'b'}}) {
    const int advance = reference.advance(code, size);
    expected.fill_rect(pen, y + 2, pen + advance, y + 2 + size, &yellow, true);
    reference.draw(expected, pen, y + 2, size, {code}, text_effects.shadow_colour);
    pen += advance;
  }
  reference.draw(expected, x, y, size, codes_of("Ab"), red);
  EXPECT_TRUE(same_pixels(drawn, expected));
  EXPECT_EQ(pixel(drawn, x + 1, y + 1), kWhite);
}

TEST_F(TextTest, InsetIsLightBelowRightForDarkTextAndDarkAboveLeftForLightText) {
  const int size = 26, x = 5, y = 5;
  const COLOUR light_copy = 0x64FFFFFF, dark_copy = 0x64000000;
  IMAGE drawn(120, 45), expected(120, 45);
  paint(drawn, kGrey);
  paint(expected, kGrey);
  drawn.draw_text(x, y, &kBlack, nullptr, nullptr, font(), size, size, "Ab", TEXT_INSET);
  reference.draw(expected, x + 1, y + 1, size, codes_of("Ab"), light_copy);
  reference.draw(expected, x, y, size, codes_of("Ab"), kBlack);
  EXPECT_TRUE(same_pixels(drawn, expected));

  paint(drawn, kGrey);
  paint(expected, kGrey);
  drawn.draw_text(x, y, &kWhite, nullptr, nullptr, font(), size, size, "Ab", TEXT_INSET);
  reference.draw(expected, x - 1, y - 1, size, codes_of("Ab"), dark_copy);
  reference.draw(expected, x, y, size, codes_of("Ab"), kWhite);
  EXPECT_TRUE(same_pixels(drawn, expected));
}

TEST_F(TextTest, ChiselledLightensTheOffsetCopyAndDarkensTheText) {
  const int size = 30, x = 4, y = 4;
  IMAGE image(80, 45);
  paint(image, kGrey);
  image.draw_text(x, y, &kBlack, nullptr, nullptr, font(), size, size, "H", TEXT_CHISELED);
  double a, h, s, l;
  COLOUR grey = kGrey;
  colour_to_ahsl(&grey, &a, &h, &s, &l);
  COLOUR lighter, darker, both;
  ahsl_to_colour(&lighter, a, h, s, l + 0.3);
  ahsl_to_colour(&darker, a, h, s, l - 0.1);
  ahsl_to_colour(&both, a, h, s, l + 0.3 - 0.1);
  int seen_light = 0, seen_dark = 0;
  for (int py = 0; py < 45; ++py)
    for (int px = 0; px < 80; ++px) {
      const uint8_t text = reference.coverage(x, y, size, {'H'}, px, py);
      const uint8_t offset = reference.coverage(x + 1, y + 1, size, {'H'}, px, py);
      if (text == 0 && offset == 0) {
        ASSERT_EQ(pixel(image, px, py), kGrey);
      }
      if (text == 0 && offset == 255) {
        ASSERT_EQ(pixel(image, px, py), lighter);
        ++seen_light;
      }
      if (text == 255 && offset == 0) {
        ASSERT_EQ(pixel(image, px, py), darker);
        ++seen_dark;
      }
    }
  EXPECT_GT(seen_light, 10);
  EXPECT_GT(seen_dark, 10);
}

TEST_F(TextTest, EffectFlagsTakePrecedenceInOrder) {
  auto render = [&](uint16_t flags) {
    auto image = std::make_unique<IMAGE>(90, 40);
    paint(*image, kGrey);
    image->draw_text(4, 4, &kBlack, nullptr, nullptr, font(), 24, 24, "Ab", flags);
    return image;
  };
  EXPECT_TRUE(same_pixels(*render(TEXT_SHADOW | TEXT_INSET | TEXT_CHISELED), *render(TEXT_SHADOW)));
  EXPECT_TRUE(same_pixels(*render(TEXT_INSET | TEXT_CHISELED), *render(TEXT_INSET)));
  EXPECT_FALSE(same_pixels(*render(TEXT_CHISELED), *render(0)));
  // Layout flags do not change a single line.
  EXPECT_TRUE(same_pixels(*render(TEXT_RIGHT | TEXT_BOTTOM), *render(0)));
}

// ---- Defaults, null colours and the helpers ------------------------------

TEST_F(TextTest, DrawingResolvesTheImagesDefaults) {
  IMAGE a(100, 40), b(100, 40);
  for (IMAGE* image : {&a, &b}) {
    paint(*image, kWhite);
    image->font = font();
    image->font_width = 22;
    image->font_height = 26;
  }
  a.draw_text(2, 2, &kBlack, nullptr, nullptr, -1, -1, -1, "Def");
  b.draw_text(2, 2, &kBlack, nullptr, nullptr, font(), 22, 26, "Def");
  EXPECT_TRUE(same_pixels(a, b));
  EXPECT_FALSE(untouched(a, kWhite));

  paint(a, kWhite);
  paint(b, kWhite);
  a.draw_char(2, 2, &kBlack, nullptr, nullptr, -1, -1, -1, 'W', TEXT_SHADOW);
  b.draw_text(2, 2, &kBlack, nullptr, nullptr, font(), 22, 26, "W", TEXT_SHADOW);
  EXPECT_TRUE(same_pixels(a, b));

  paint(a, kWhite);
  paint(b, kWhite);
  a.draw_text_block(0, 0, 99, 39, &kBlack, nullptr, nullptr, -1, -1, -1, "Blk", 0);
  b.draw_text_block(0, 0, 99, 39, &kBlack, nullptr, nullptr, font(), 22, 26, "Blk", 0);
  EXPECT_TRUE(same_pixels(a, b));
  EXPECT_FALSE(untouched(a, kWhite));
}

TEST_F(TextTest, UnusableFontsSizesAndNullTextColoursDrawNothing) {
  IMAGE image(60, 40);
  paint(image, kWhite);
  const COLOUR red = 0xFFFF0000;
  image.draw_text(2, 2, &kBlack, &red, &red, -3, 20, 20, "Hi");
  image.draw_text(2, 2, &kBlack, &red, &red, 7, 20, 20, "Hi");  // free slot
  image.draw_text(2, 2, &kBlack, &red, &red, font(), 0, 20, "Hi");
  image.draw_text(2, 2, &kBlack, &red, &red, font(), 20, -4, "Hi");
  image.draw_text(2, 2, nullptr, &red, &red, font(), 20, 20, "Hi", TEXT_SHADOW);
  image.draw_text_block(0, 0, 59, 39, nullptr, &red, &red, font(), 20, 20, "Hi", 0);
  image.draw_char(2, 2, nullptr, &red, &red, font(), 20, 20, 'H', 0);
  image.draw_textf(2, 2, nullptr, &red, font(), 20, 20, "%s", "Hi");
  image.draw_text(2, 2, &kBlack, &red, &red, font(), 20, 20, nullptr);
  image.draw_text(2, 2, &kBlack, &red, &red, font(), 20, 20, "Hi", 0, 0);
  EXPECT_TRUE(untouched(image, kWhite));

  // Null background and underline are simply not drawn.
  IMAGE a(60, 40), b(60, 40);
  paint(a, kWhite);
  paint(b, kWhite);
  const COLOUR invisible = COLOUR_INVISIBLE;
  a.draw_text(2, 2, &kBlack, nullptr, nullptr, font(), 20, 20, "Hi");
  b.draw_text(2, 2, &kBlack, &invisible, &invisible, font(), 20, 20, "Hi");
  EXPECT_TRUE(same_pixels(a, b));

  // An image without pixels, or with an empty clip, is left alone.
  IMAGE empty;
  empty.draw_text(0, 0, &kBlack, &red, &red, font(), 20, 20, "Hi");
  IMAGE unclipped(60, 40);
  paint(unclipped, kWhite);
  unclipped.clip_x1 = unclipped.clip_x2 = unclipped.clip_y1 = unclipped.clip_y2 = -1;
  unclipped.draw_text(2, 2, &kBlack, &red, &red, font(), 20, 20, "Hi");
  EXPECT_TRUE(untouched(unclipped, kWhite));
}

TEST_F(TextTest, PrintfHelpersFormatBoundedAndDrawLikeDrawText) {
  const COLOUR blue = 0xFF0000FF;
  IMAGE a(160, 40), b(160, 40);
  paint(a, kWhite);
  paint(b, kWhite);
  a.draw_textf(2, 2, &kBlack, nullptr, font(), 20, 20, "%d-%s", 42, "x");
  b.draw_text(2, 2, &kBlack, nullptr, nullptr, font(), 20, 20, "42-x");
  EXPECT_TRUE(same_pixels(a, b));

  paint(a, kWhite);
  paint(b, kWhite);
  a.draw_underlined_textf(2, 2, &kBlack, nullptr, &blue, font(), 20, 20, "%05.1f", 3.25);
  b.draw_text(2, 2, &kBlack, nullptr, &blue, font(), 20, 20, "003.2");
  EXPECT_TRUE(same_pixels(a, b));

  paint(a, kWhite);
  paint(b, kWhite);
  a.font = font();
  a.font_width = a.font_height = 18;
  a.draw_default_textf(2, 2, &kBlack, nullptr, "%c%c", 'o', 'k');
  b.draw_text(2, 2, &kBlack, nullptr, nullptr, font(), 18, 18, "ok");
  EXPECT_TRUE(same_pixels(a, b));

  // Text from data passes through "%s"; far more than the buffer is cut,
  // not written past it.
  const std::string huge(20000, 'M');
  paint(a, kWhite);
  paint(b, kWhite);
  a.draw_textf(2, 2, &kBlack, nullptr, font(), 20, 20, "%s", huge.c_str());
  b.draw_text(2, 2, &kBlack, nullptr, nullptr, font(), 20, 20, huge.substr(0, 5119).c_str());
  EXPECT_TRUE(same_pixels(a, b));
}

// ---- Block layout -------------------------------------------------------

// One expected line of a block, drawn by hand with draw_text.
struct ExpectedLine {
  int x, y;
  std::string text;
  const char* tail;  // "-", "..." or null
  uint8_t run;
};

class BlockTest : public TextTest {
protected:
  static constexpr int kSize = 20;
  void check(int x1, int y1, int x2, int y2, const char* text, uint16_t flags,
             const std::vector<ExpectedLine>& lines) {
    IMAGE drawn(300, 160), expected(300, 160);
    paint(drawn, kWhite);
    paint(expected, kWhite);
    drawn.draw_text_block(x1, y1, x2, y2, &kBlack, nullptr, nullptr, font(), kSize, kSize, text,
                          flags);
    for (const ExpectedLine& line : lines) {
      expected.draw_text(line.x, line.y, &kBlack, nullptr, nullptr, font(), kSize, kSize,
                         line.text.c_str(), flags, -1, line.run);
      if (line.tail)
        expected.draw_text(line.x + measure(expected, line.text.c_str(), kSize, kAll, line.run),
                           line.y, &kBlack, nullptr, nullptr, font(), kSize, kSize, line.tail,
                           flags);
    }
    EXPECT_TRUE(same_pixels(drawn, expected)) << text;
    EXPECT_FALSE(untouched(drawn, kWhite));
  }
  int w(const char* text) {
    IMAGE image(1, 1);
    return measure(image, text, kSize);
  }
};

TEST_F(BlockTest, WrapsAtTheLastBlankThatFits) {
  const int box = w("aaa bbb c") + 1;
  ASSERT_LT(w("ccc"), box);
  check(10, 10, static_cast<int16_t>(10 + box - 1), 10 + 3 * kSize - 1, "aaa bbb ccc",
        TEXT_LEFT | TEXT_TOP, {{10, 10, "aaa bbb", nullptr, 0}, {10, 10 + kSize, "ccc", nullptr, 0}});
  // A line stays narrower than its box: one just as wide as "ab" holds "a".
  IMAGE image(1, 1);
  EXPECT_EQ(image.count_text_block_lines(static_cast<int16_t>(w("ab")), font(), kSize, kSize, "ab"), 2);
}

TEST_F(BlockTest, BreaksAfterADash) {
  // {what the box holds, first line, second line}, also with the dash second.
  for (const auto& [fits, first, rest] : {std::tuple{"abc-defg", "abc-", "defghij"}, {"a-bcdefg", "a-", "bcdefgh"}}) {
    const int box = w(fits) + 1;
    ASSERT_LT(w(rest), box);
    check(0, 0, box - 1, 2 * kSize - 1, (std::string(first) + rest).c_str(), TEXT_LEFT | TEXT_TOP,
          {{0, 0, first, nullptr, 0}, {0, kSize, rest, nullptr, 0}});
  }
}

TEST_F(BlockTest, HyphenatesALongWordWhereTheLineAndADashFit) {
  const char* word = "abcdefghijkl";
  const int box = w("abcdefgh") + 1;
  // The rightmost break whose shortened line plus "-" still fits.
  int keep = 7;
  while (keep > 0 && w(std::string(word, keep).c_str()) + w("-") >= box) --keep;
  ASSERT_GT(keep, 0);
  ASSERT_LT(w(word + keep), box);
  check(0, 0, box - 1, 2 * kSize - 1, word, TEXT_LEFT | TEXT_TOP,
        {{0, 0, std::string(word, keep), "-", 0}, {0, kSize, word + keep, nullptr, 0}});
}

TEST_F(BlockTest, TailsOfAlignedLinesStayInsideTheBox) {
  // "..." and "-" count into an aligned line's width. A one-line box keeps the characters that
  // still fit with "...": centred, right-aligned, or at the left edge with the tail after them.
  const char* text = "The quick brown fox";
  const int box = w("The quick") + 1, ellipsis = w("...");
  int count = 0;
  while (ellipsis + w(std::string(text, count + 1).c_str()) <= box) ++count;
  const std::string prefix(text, count);
  const int x2 = 20 + box - 1;
  for (const auto& [flags, x] : {std::pair{0, 20 + (box - w(prefix.c_str())) / 2 - ellipsis / 2},
                                 {TEXT_RIGHT | TEXT_TOP, x2 - w(prefix.c_str()) - ellipsis},
                                 {TEXT_LEFT | TEXT_TOP, 20}})
    check(20, 30, static_cast<int16_t>(x2), 30 + kSize - 1, text, static_cast<uint16_t>(flags), {{x, 30, prefix, "...", 0}});

  const char* word = "abcdefghijkl";
  const int word_box = w("abcdefgh") + 1;
  int keep = 7;
  while (keep > 0 && w(std::string(word, keep).c_str()) + w("-") >= word_box) --keep;
  ASSERT_GT(keep, 0);
  const int right = word_box - 1;
  check(0, 0, static_cast<int16_t>(right), 2 * kSize - 1, word, TEXT_RIGHT | TEXT_TOP,
        {{right - w(std::string(word, keep).c_str()) - w("-"), 0, std::string(word, keep), "-", 0},
         {right - w(word + keep), kSize, word + keep, nullptr, 0}});
}

TEST_F(BlockTest, LastLineTakesTheWholeRestWhenItFits) {
  for (const int box : {w("bbb ccc"), w("bbb ccc") + 1}) {  // a rest just as wide as the box fits it
    ASSERT_LT(w("www b"), box);
    ASSERT_GT(w("www bbb"), box);
    check(0, 0, box - 1, 2 * kSize - 1, "www bbb ccc", TEXT_LEFT | TEXT_TOP,
          {{0, 0, "www", nullptr, 0}, {0, kSize, "bbb ccc", nullptr, 0}});
  }
}

TEST_F(BlockTest, TrailingNewlineAndLeadingBlanksChangeNothing) {
  IMAGE a(200, 100), b(200, 100);
  for (const auto& [with, without, flags] : {std::tuple{"Hello\n", "Hello", 0}, {" \t  Hi", "Hi", TEXT_LEFT}}) {
    paint(a, kWhite);
    paint(b, kWhite);
    a.draw_text_block(0, 0, 199, 99, &kBlack, nullptr, nullptr, font(), kSize, kSize, with, static_cast<uint16_t>(flags));
    b.draw_text_block(0, 0, 199, 99, &kBlack, nullptr, nullptr, font(), kSize, kSize, without, static_cast<uint16_t>(flags));
    EXPECT_TRUE(same_pixels(a, b)) << with;
  }
  // A text of blanks only draws nothing.
  paint(a, kWhite);
  a.draw_text_block(0, 0, 199, 99, &kBlack, nullptr, nullptr, font(), kSize, kSize, "   \n", 0);
  EXPECT_TRUE(untouched(a, kWhite));
}

TEST_F(BlockTest, NewlinesOpenLinesUpToTheBoxHeight) {
  // Two lines allowed: the second newline would open a third, and the
  // empty second line is the last one, so it does not count.
  check(5, 5, 200, 5 + 2 * kSize - 1 + 7, "one\n\nthree", TEXT_LEFT | TEXT_TOP,
        {{5, 5, "one", nullptr, 0}});
  check(5, 5, 200, 5 + 3 * kSize - 1, "one\n\nthree", TEXT_LEFT | TEXT_TOP,
        {{5, 5, "one", nullptr, 0}, {5, 5 + 2 * kSize, "three", nullptr, 0}});
}

TEST_F(BlockTest, AlignmentFlagsPlaceEachLine) {
  const int x1 = 10, y1 = 10, x2 = 209, y2 = 109;
  const int box_w = x2 - x1 + 1, box_h = y2 - y1 + 1;
  const char* text = "ab\nlonger line";
  const int wa = w("ab"), wl = w("longer line");
  check(x1, y1, x2, y2, text, TEXT_RIGHT | TEXT_BOTTOM,
        {{x2 - wa, y2 - 2 * kSize, "ab", nullptr, 0}, {x2 - wl, y2 - kSize, "longer line", nullptr, 0}});
  const int top = y1 + (box_h - 2 * kSize) / 2;
  check(x1, y1, x2, y2, text, 0,
        {{x1 + (box_w - wa) / 2, top, "ab", nullptr, 0},
         {x1 + (box_w - wl) / 2, top + kSize, "longer line", nullptr, 0}});
  // Left wins over right, top over bottom; effects pass through to each line.
  check(x1, y1, x2, y2, text, TEXT_LEFT | TEXT_RIGHT | TEXT_TOP | TEXT_BOTTOM | TEXT_SHADOW,
        {{x1, y1, "ab", nullptr, 0}, {x1, y1 + kSize, "longer line", nullptr, 0}});
}

TEST_F(BlockTest, LinesMayStartInsideACodeRun) {
  const char* text = "\x01" "0416,0416,0020,0416,0416\x01";
  const int box = w("\x01" "0416,0416,0020,0416\x01") + 1;
  check(0, 0, box - 1, 2 * kSize - 1, text, TEXT_LEFT | TEXT_TOP,
        {{0, 0, "\x01" "0416,0416\x01", nullptr, 0}, {0, kSize, "0416,0416\x01", nullptr, 1}});
}

TEST_F(BlockTest, MarksItsRectangleDirtyAndIgnoresEmptyText) {
  IMAGE image(100, 50);
  paint(image, kWhite);
  image.draw_text_block(90, 40, 150, 80, &kBlack, nullptr, nullptr, font(), kSize, kSize, "x", 0);
  EXPECT_EQ(image_test_support::dirty(image), (std::vector<int>{90, 40, 99, 49}));

  paint(image, kWhite);
  image.draw_text_block(0, 0, 99, 49, &kBlack, nullptr, nullptr, font(), kSize, kSize, "", 0);
  image.draw_text_block(0, 0, 99, 49, &kBlack, nullptr, nullptr, font(), kSize, kSize, nullptr, 0);
  EXPECT_TRUE(image.dirty_is_empty());
  EXPECT_TRUE(untouched(image, kWhite));
}

TEST_F(BlockTest, LongParagraphStaysInsideItsLineLimit) {
  // More lines than fit: the scan ends on the last allowed line with "...".
  std::string paragraph;
  for (int i = 0; i < 400; ++i) paragraph += "word" + std::to_string(i) + (i % 7 ? " " : "- ");
  IMAGE image(300, 160);
  paint(image, kWhite);
  image.draw_text_block(0, 0, 299, 159, &kBlack, nullptr, nullptr, font(), kSize, kSize,
                        paragraph.c_str(), TEXT_TOP | TEXT_LEFT);
  EXPECT_FALSE(untouched(image, kWhite));
  // A box less than one line high still lays out one line.
  IMAGE small(300, 160);
  paint(small, kWhite);
  small.draw_text_block(0, 0, 299, 5, &kBlack, nullptr, nullptr, font(), kSize, kSize, "Hi", TEXT_TOP);
  EXPECT_FALSE(untouched(small, kWhite));
}

// ---- A picture to look at ------------------------------------------------

// Each effect, a background and underline, a code run and the block
// alignments on one picture, compared whole.
TEST_F(TextTest, EffectsAndBlocksMatchTheirReferencePicture) {
  IMAGE image(240, 200);
  const COLOUR ground = 0xFF708090u, red = 0xFFE02020u, blue = 0xFF2040E0u, light = 0xFFF0E0A0u;
  image.clear(&ground, true);
  const uint16_t effects[] = {0, TEXT_SHADOW, TEXT_INSET, TEXT_CHISELED};
  for (int k = 0; k < 4; ++k) {
    image.draw_text(4, static_cast<int16_t>(2 + 20 * k), &kBlack, nullptr, nullptr, font(), 16, 16, "Ag\xC9j", effects[k]);
    image.draw_text(64, static_cast<int16_t>(2 + 20 * k), &light, nullptr, nullptr, font(), 16, 16, "Ag\xC9j", effects[k]);
  }
  image.draw_text_line(124, 2, &kBlack, &light, &red, 0.0, font(), 18, 14, "Under \x01,4E2D,D83D,DE00\x01.", -1, 0);
  image.draw_text_line(124, 24, nullptr, nullptr, nullptr, 0.4, font(), 20, 20, "Lit", -1, 0);
  image.draw_text_line(170, 24, nullptr, nullptr, nullptr, -0.4, font(), 20, 20, "Dim", -1, 0);
  const COLOUR glass = 0x80F0E0A0u;  // a see-through underline lets the ground show
  image.draw_text_line(124, 52, &kBlack, nullptr, &glass, 0.0, font(), 18, 14, "Glass", -1, 0);
  const uint16_t places[] = {TEXT_TOP | TEXT_LEFT, 0, TEXT_BOTTOM | TEXT_RIGHT};
  for (int k = 0; k < 3; ++k) {
    const int16_t x1 = static_cast<int16_t>(4 + 78 * k);
    image.draw_rect(x1, 84, x1 + 72, 196, &blue, 1, IMAGE::ALL_SIDES);
    image.draw_text_block(x1 + 1, 85, x1 + 71, 195, &kBlack, nullptr, nullptr, font(), 12, 12,
                          "A block of words wraps, hyphen-ates extraordinarily long words\nand ends.", places[k]);
  }
  EXPECT_TRUE(test_support::picture_matches_reference("platform_text", "effects_and_blocks", image));
}

TEST_F(TextTest, RenderedSampleSurvivesThePngRoundTrip) {
  IMAGE sample(420, 200);
  paint(sample, 0xFFE8ECF0);
  const COLOUR ink = 0xFF1A2A4A, back = 0xFFFFE080, line = 0xFFC03030;
  sample.draw_text(10, 6, &ink, nullptr, nullptr, font(), 26, 26, "Shadow", TEXT_SHADOW);
  sample.draw_text(150, 6, &ink, nullptr, nullptr, font(), 26, 26, "Inset", TEXT_INSET);
  const COLOUR mid = 0xFF7080A0;
  sample.fill_rect(262, 2, 415, 36, &mid, false);
  sample.draw_text(270, 6, &ink, nullptr, nullptr, font(), 26, 26, "Chisel", TEXT_CHISELED);
  sample.draw_text(10, 40, &ink, &back, &line, font(), 22, 22,
                   "Caf\xE9 \x01" "0416,0434\x01 \x01" "D835,DC00\x01", 0);
  sample.draw_rect(9, 69, 231, 190, &line, 1, 15);
  sample.draw_text_block(10, 70, 230, 189, &ink, nullptr, nullptr, font(), 16, 16,
                         "A block of text wraps at blanks, breaks after hyphen-joined words "
                         "and hyphenates Extraordinarilylongwordswithoutanybreaks; when the box "
                         "is full the last line ends in an ellipsis, however much text is left "
                         "over after it.",
                         TEXT_LEFT | TEXT_TOP);
  test_support::ScratchDir scratch;
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(scratch.path().c_str()));
  DATA_FILE* out = folder.open_data_file("sample.png", 1);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(sample.save_png(out));
  ASSERT_TRUE(FOLDER::close_data_file(out));
  DATA_FILE* in = folder.open_data_file("sample.png", 0);
  ASSERT_NE(in, nullptr);
  IMAGE loaded;
  EXPECT_TRUE(loaded.load_png(in));
  FOLDER::close_data_file(in);
  EXPECT_TRUE(same_pixels(sample, loaded));
  // Set FONT_SAMPLE_PNG to keep a copy for a person to look at.
  if (const char* keep = getenv("FONT_SAMPLE_PNG"))
    test_support::write_file(keep, test_support::read_file(scratch.file("sample.png")));
}

}  // namespace
