#include "colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "test_support.h"

using test_support::ScratchDir;

namespace {

uint32_t channel(COLOUR c, int shift) {
  return (c >> shift) & 0xFF;
}

// Every channel of b within `tolerance` of a's, alpha exactly equal.
::testing::AssertionResult near_colour(COLOUR a, COLOUR b, int tolerance) {
  if (channel(a, 24) != channel(b, 24) ||
      std::abs(static_cast<int>(channel(a, 16)) - static_cast<int>(channel(b, 16))) > tolerance ||
      std::abs(static_cast<int>(channel(a, 8)) - static_cast<int>(channel(b, 8))) > tolerance ||
      std::abs(static_cast<int>(channel(a, 0)) - static_cast<int>(channel(b, 0))) > tolerance) {
    char text[64];
    snprintf(text, sizeof(text), "%08X vs %08X", a, b);
    return ::testing::AssertionFailure() << text;
  }
  return ::testing::AssertionSuccess();
}

// A grid of colours that covers the ends, the middle and odd values.
std::vector<COLOUR> colour_grid() {
  const uint32_t levels[] = {0, 1, 17, 64, 127, 128, 200, 254, 255};
  const uint32_t alphas[] = {0, 128, 255};
  std::vector<COLOUR> grid;
  for (uint32_t a : alphas)
    for (uint32_t r : levels)
      for (uint32_t g : levels)
        for (uint32_t b : levels) grid.push_back((a << 24) | (r << 16) | (g << 8) | b);
  return grid;
}

COLOUR parse(const char* text, COLOUR start = 0x12345678u) {
  COLOUR out = start;
  colour_from_string(&out, text);
  return out;
}

COLOUR ahsl(double a, double h, double s, double l) {
  COLOUR out = 0;
  ahsl_to_colour(&out, a, h, s, l);
  return out;
}

COLOUR acmyk(double a, double c, double m, double y, double k) {
  COLOUR out = 0;
  acmyk_to_colour(&out, a, c, m, y, k);
  return out;
}

}  // namespace

TEST(Colour, BlendColourEdgesOfAlpha) {
  const COLOUR src = 0x40A0B0C0u;
  COLOUR dest = 0x80102030u;
  blend_colour(&dest, &src, 0);
  EXPECT_EQ(dest, 0x80102030u);

  blend_colour(&dest, &src, 250);
  EXPECT_EQ(dest, src);  // alpha included

  dest = 0x80102030u;
  blend_colour(&dest, &src, 255);
  EXPECT_EQ(dest, src);
}

TEST(Colour, BlendColourMixesEachChannelBelowTheThreshold) {
  const COLOUR dests[] = {0x00000000u, 0xFFFFFFFFu, 0x80102030u, 0x7FFF00FFu};
  const COLOUR srcs[] = {0xFFFFFFFFu, 0x00000000u, 0x40A0B0C0u, 0xFF00FF00u};
  for (COLOUR d : dests) {
    for (COLOUR s : srcs) {
      for (uint32_t a : {1u, 2u, 127u, 128u, 200u, 249u}) {
        COLOUR out = d;
        blend_colour(&out, &s, static_cast<uint8_t>(a));
        EXPECT_EQ(channel(out, 24), channel(d, 24));
        for (int shift : {16, 8, 0}) {
          EXPECT_EQ(channel(out, shift), (channel(d, shift) * (255 - a) + channel(s, shift) * a) >> 8)
              << std::hex << d << " " << s << " a=" << std::dec << a;
        }
      }
    }
  }
  // A worked value: (0x10 x 6 + 0xA0 x 249) >> 8 = 0x9C, and so on.
  COLOUR d = 0x80102030u;
  const COLOUR s = 0x40A0B0C0u;
  blend_colour(&d, &s, 249);
  EXPECT_EQ(d, 0x809CABBBu);
}

TEST(Colour, TintFollowsThePixelsBrightness) {
  const struct {
    COLOUR pixel, tint, tinted;
  } cases[] = {
      {0x40606060u, 0xFFA06020u, 0x40A06020u},  // equal averages (96): the tint, the pixel's alpha
      {0x80C8C8C8u, 0xFF604020u, 0x80D1C8BEu},  // brighter (200 over 64): c + (255 - c) x 136 / 191
      {0xFF202020u, 0xFF604020u, 0xFF302010u},  // darker (32 under 64): c x 32 / 64
      {0x7F000100u, 0x00020000u, 0x7F020000u},  // black on black (average 0): no division by zero
      {0xFFFFFFFFu, 0x00020000u, 0xFFFFFFFFu},  // a brighter pixel over black goes all the way
      {0x80FFFFFFu, 0xFFFFFFFFu, 0x80FFFFFFu},  // white on white: no division by zero either
  };
  for (const auto& c : cases) {
    COLOUR pixel = c.pixel;
    colour_tint(&pixel, &c.tint);
    EXPECT_EQ(pixel, c.tinted) << std::hex << c.pixel << " tinted " << c.tint;
  }
}

TEST(Colour, Mix3TakesTheFirstColourThatApplies) {
  const COLOUR none = COLOUR_INVISIBLE, black = 0xFF000000u, white = 0xFFFFFFFFu;
  const COLOUR green = 0xFF00FF00u, blue = 0xFF0000FFu;
  const struct {
    COLOUR pixel, c1, c2, c3, mixed;
  } cases[] = {
      // Pure red mask, only c1 set: c1 with its alpha scaled by 255.
      {0xFFFF0000u, 0x80112233u, none, none, 0x80112233u},
      // Partial red: alpha 64 x 128 / 255 = 32.
      {0x00400000u, 0x80FF0000u, none, none, 0x20FF0000u},
      // Red then green: black blended with white at 128 gives 0x7F; the raw
      // green byte adds to the alpha, which stops at 255.
      {0xFFFF8040u, black, white, none, 0xFF7F7F7Fu},
      // Red byte 10 over black at alpha 255 gives 10; blue 20 adds 20 raw, and
      // blends blue in at 20: (255 x 20) >> 8 = 19.
      {0x000A0014u, black, none, blue, 0x1E000013u},
      // No red: c2 first, then c3 blended with 16: G (255 x 239) >> 8 = 238,
      // B (255 x 16) >> 8 = 15.
      {0x0000FF10u, none, green, blue, 0xFF00EE0Fu},
      // Red present but c1 not set: also the green rule.
      {0x00FF8000u, none, 0xFF123456u, none, 0x80123456u},
      // Only blue applies: alpha 192 x 128 / 255 = 96.
      {0x000000C0u, none, none, 0x80ABCDEFu, 0x60ABCDEFu},
      // Nothing applies: the pixel becomes 0.
      {0xFFFF0000u, none, green, blue, 0u},
      {0xFF000000u, green, green, blue, 0u},
  };
  for (const auto& c : cases) {
    COLOUR pixel = c.pixel;
    colour_mix3(&pixel, &c.c1, &c.c2, &c.c3);
    EXPECT_EQ(pixel, c.mixed) << std::hex << c.pixel;
  }
}

TEST(Colour, DarkenByPercent) {
  // 100 x 150 / 100 for -50.
  for (const auto& [pixel, percent, darkened] :
       {std::tuple{0x80FF7F02u, 50, 0x807F3F01u}, std::tuple{0x80FF7F02u, -100, 0x80FFFE04u},
        std::tuple{0x80FF7F02u, 0, 0x80FF7F02u}, std::tuple{0x80FF7F02u, 100, 0x80000000u},
        std::tuple{0xFF646464u, -50, 0xFF969696u}}) {
    COLOUR out = pixel;
    colour_darken(&out, percent);
    EXPECT_EQ(out, darkened) << percent;
  }
}

TEST(Colour, TextColourForABackground) {
  // Sums 384 and 382 either side of the middle; alpha plays no part.
  for (const auto& [background, text] : {std::pair{0xFF808080u, 0xFF000000u}, std::pair{0xFF7F7F80u, 0xFFFFFFFFu},
                                         std::pair{0x00FFFFFFu, 0xFF000000u}}) {
    COLOUR out = 0;
    colour_text_for(&out, &background);
    EXPECT_EQ(out, text) << std::hex << background;
  }
}

TEST(Colour, ToAhslKnownColours) {
  struct CASE {
    COLOUR colour;
    double a, h, s, l;
  };
  const CASE cases[] = {
      {0xFFFF0000u, 1, 0, 1, 0.5},
      {0xFF00FF00u, 1, 1.0 / 3, 1, 0.5},
      {0xFF0000FFu, 1, 2.0 / 3, 1, 0.5},
      {0xFFFFFF00u, 1, 1.0 / 6, 1, 0.5},
      {0xFFFF00FFu, 1, 5.0 / 6, 1, 0.5},
      {0xFF00FFFFu, 1, 0.5, 1, 0.5},
      // max red 192, min blue 32: hue (64 - 32) / 160 / 6, lightness 112/255,
      // saturation 160 / 224.
      {0x80C04020u, 128.0 / 255, 1.0 / 30, 160.0 / 224, 112.0 / 255},
      // Red the largest, blue above green: negative hue wraps round.
      {0xFFFF0080u, 1, 1 - 128.0 / 255 / 6, 1, 0.5},
  };
  for (const CASE& c : cases) {
    double a, h, s, l;
    colour_to_ahsl(&c.colour, &a, &h, &s, &l);
    EXPECT_NEAR(a, c.a, 1e-12) << std::hex << c.colour;
    EXPECT_NEAR(h, c.h, 1e-12) << std::hex << c.colour;
    EXPECT_NEAR(s, c.s, 1e-12) << std::hex << c.colour;
    EXPECT_NEAR(l, c.l, 1e-12) << std::hex << c.colour;
  }
}

TEST(Colour, GreysConvertWithoutDividingByZero) {
  for (uint32_t v : {0u, 1u, 127u, 128u, 254u, 255u}) {
    const COLOUR grey = 0xFF000000u | (v << 16) | (v << 8) | v;
    double a, h, s, l;
    colour_to_ahsl(&grey, &a, &h, &s, &l);
    EXPECT_EQ(h, 0.0);
    EXPECT_EQ(s, 0.0);
    EXPECT_NEAR(l, v / 255.0, 1e-12);
    EXPECT_EQ(ahsl(a, h, s, l), grey);

    double c, m, y, k;
    colour_to_acmyk(&grey, &a, &c, &m, &y, &k);
    EXPECT_TRUE(std::isfinite(c) && std::isfinite(m) && std::isfinite(y)) << v;
    EXPECT_EQ(c, 0.0);
    EXPECT_EQ(m, 0.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_NEAR(k, 1.0 - v / 255.0, 1e-12);
    EXPECT_TRUE(near_colour(acmyk(a, c, m, y, k), grey, 1));
  }
  // Black is all K.
  const COLOUR black = 0x80000000u;
  double a, c, m, y, k;
  colour_to_acmyk(&black, &a, &c, &m, &y, &k);
  EXPECT_EQ(k, 1.0);
  EXPECT_EQ(acmyk(a, c, m, y, k), black);
}

TEST(Colour, FromAhslKnownValues) {
  // Lightness 1 is white; 255 x 0.5 is truncated; hue 1 is red again; a grey.
  EXPECT_EQ((std::vector<COLOUR>{ahsl(1, 0, 1, 1), ahsl(1, 0, 1, 0.25), ahsl(1, 1.0 / 3, 1, 0.5), ahsl(1, 1, 1, 0.5),
                                 ahsl(0.5, 0, 0, 0.5), ahsl(1, 0.5, 1, 0)}),
            (std::vector<COLOUR>{0xFFFFFFFFu, 0xFF7F0000u, 0xFF00FF00u, 0xFFFF0000u, 0x7F7F7F7Fu, 0xFF000000u}));

  // Out-of-range inputs are pinned: hue, saturation, lightness above 1 as
  // 1, negative hue as 0, negative lightness as 0, negative saturation as
  // a grey.
  EXPECT_EQ((std::vector<uint32_t>{ahsl(1, 7, 5, 0.5), ahsl(1, -3, 1, 0.25), ahsl(1, 0.3, 1, -2), ahsl(1, 0.3, 1, 9), ahsl(1, 0.3, -1, 0.25)}),
            (std::vector<uint32_t>{ahsl(1, 1, 1, 0.5), ahsl(1, 0, 1, 0.25), 0xFF000000u, 0xFFFFFFFFu, ahsl(1, 0.3, 0, 0.25)}));

  // Not-a-number and huge values give defined bytes rather than undefined
  // conversions.
  const double nan = std::nan("");
  EXPECT_EQ(ahsl(nan, 0, 0, 1) >> 24, 0u);
  EXPECT_EQ(ahsl(1e300, 0, 0, 1) >> 24, 0xFFu);
  EXPECT_EQ(ahsl(-1e300, 0, 0, 1) >> 24, 0u);
  ahsl(1, nan, nan, nan);
  EXPECT_EQ(ahsl(-1.0 / 255, 0, 0, 0) >> 24, 0xFFu);  // -1 keeps its low byte
}

TEST(Colour, AcmykKnownValues) {
  const COLOUR red = 0xFFFF0000u;
  double a, c, m, y, k;
  colour_to_acmyk(&red, &a, &c, &m, &y, &k);
  EXPECT_EQ((std::vector<double>{a, c, m, y, k}), (std::vector<double>{1, 0, 1, 1, 0}));

  // 0xFF996633: c' 0.4, m' 0.6, y' 0.8; K 0.4; C 0, M 1/3, Y 2/3.
  const COLOUR brown = 0xFF996633u;
  colour_to_acmyk(&brown, &a, &c, &m, &y, &k);
  EXPECT_NEAR(c, 0, 1e-12);
  EXPECT_NEAR(m, 1.0 / 3, 1e-12);
  EXPECT_NEAR(y, 2.0 / 3, 1e-12);
  EXPECT_NEAR(k, 0.4, 1e-12);

  EXPECT_EQ((std::vector<COLOUR>{acmyk(1, 0, 0, 0, 0.5), acmyk(0.5, 1, 0, 0, 0), acmyk(1, 0, 1, 1, 0), acmyk(1, 0, 0, 0, 1)}),
            (std::vector<COLOUR>{0xFF7F7F7Fu, 0x7F00FFFFu, 0xFFFF0000u, 0xFF000000u}));
}

TEST(Colour, ConversionsRoundTripOverAGrid) {
  for (COLOUR colour : colour_grid()) {
    double a, h, s, l;
    colour_to_ahsl(&colour, &a, &h, &s, &l);
    EXPECT_TRUE(near_colour(ahsl(a, h, s, l), colour, 1)) << "AHSL";

    double c, m, y, k;
    colour_to_acmyk(&colour, &a, &c, &m, &y, &k);
    EXPECT_TRUE(near_colour(acmyk(a, c, m, y, k), colour, 1)) << "ACMYK";
  }
}

TEST(Colour, AdjustLightnessReflectsAtTheEnds) {
  const COLOUR black = 0xFF000000u;
  const COLOUR white = 0xFFFFFFFFu;
  const COLOUR red = 0xFFFF0000u;

  // The result keeps out's own alpha.
  COLOUR out = 0x40FFFFFFu;
  colour_adjust_lightness(&out, &black, 0.25);
  EXPECT_EQ(out, 0x403F3F3Fu);  // 255 x 0.25, truncated

  out = 0x40000000u;
  colour_adjust_lightness(&out, &black, -0.25);  // below 0: reflected up
  EXPECT_EQ(out, 0x403F3F3Fu);

  out = 0xFF000000u;
  colour_adjust_lightness(&out, &white, 0.25);  // above 1: reflected down
  EXPECT_EQ(out, 0xFFBFBFBFu);

  out = 0xFF000000u;
  colour_adjust_lightness(&out, &red, 0.25);  // lightness 0.75
  EXPECT_EQ(out, 0xFFFF7F7Fu);
  out = 0xFF000000u;
  colour_adjust_lightness(&out, &red, -0.25);  // lightness 0.25
  EXPECT_EQ(out, 0xFF7F0000u);
}

TEST(Colour, ContrastOfAlikeAndDifferentColours) {
  const COLOUR white = 0xFFFFFFFFu;
  const COLOUR black = 0xFF000000u;

  // Too alike: true; test_only changes nothing.
  COLOUR colour = 0x80F0F0F0u;
  EXPECT_TRUE(colour_contrast(&colour, &white, true));
  EXPECT_EQ(colour, 0x80F0F0F0u);

  // Otherwise the colour takes the reference's lightness minus 0.2 (the
  // reference is light), keeping its own alpha, hue and saturation.
  EXPECT_TRUE(colour_contrast(&colour, &white, false));
  EXPECT_EQ(colour, 0x80CCCCCCu);  // 255 x 0.8

  // A dark reference: its lightness plus 0.2.
  colour = 0xFF0A0A0Au;
  EXPECT_TRUE(colour_contrast(&colour, &black, false));
  EXPECT_EQ(colour, 0xFF333333u);  // 255 x 0.2

  // A coloured case: the result is the colour's own hue and saturation at
  // the new lightness.
  const COLOUR reference = 0xFFC03030u;
  colour = 0xFFB02828u;
  double a, h, s, l, ra, rh, rs, rl;
  colour_to_ahsl(&colour, &a, &h, &s, &l);
  colour_to_ahsl(&reference, &ra, &rh, &rs, &rl);
  ASSERT_LE(rl, 0.5);
  EXPECT_TRUE(colour_contrast(&colour, &reference, false));
  EXPECT_EQ(colour, ahsl(a, h, s, rl + 0.2));

  // Different enough in lightness, hue or saturation, exactly 0.2 apart
  // too: false, unchanged. 0xBF4040 has the grey's lightness, saturation 0.5.
  for (const auto& [own, other] : {std::pair{black, white}, {0xFFFF0000u, 0xFF00FF00u}, {0xFFBF4040u, 0xFF808080u},
                                   {0xFF333333u, black}, {0xFFFF0600u, 0xFFC6FF00u}, {0xFFA13131u, 0xFFA05050u}}) {
    colour = own;
    EXPECT_FALSE(colour_contrast(&colour, &other, false)) << std::hex << own;
    EXPECT_EQ(colour, own);
  }
}

TEST(ColourText, HexadecimalForms) {
  EXPECT_EQ(parse("#ff0000"), 0xFFFF0000u);
  EXPECT_EQ(parse("#80ff0000"), 0x80FF0000u);
  EXPECT_EQ(parse("# 00ff00"), 0xFF00FF00u);
  EXPECT_EQ(parse("#00000000"), 0u);          // eight digits as written
  EXPECT_EQ(parse("#FFF"), 0xFF000FFFu);      // six or fewer: opaque
  EXPECT_EQ(parse("#ACE"), 0xFF000ACEu);      // not a keyword
  EXPECT_EQ(parse("#ff0000 "), 0xFFFF0000u);  // trailing text is not counted
  EXPECT_EQ(parse("#ff0000  \n"), 0xFFFF0000u);
  EXPECT_EQ(parse("#ff0000;x"), 0xFFFF0000u);
  // A "0x" prefix does not count its 0; seven digits keep their alpha byte.
  for (const char* six : {"#0x123456", "#0X123456"}) EXPECT_EQ(parse(six), 0xFF123456u) << six;
  EXPECT_EQ(parse("#0123456"), 0x00123456u);
  // More than eight digits saturate rather than wrap.
  EXPECT_EQ(parse("#1FF0000FF"), 0xFFFFFFFFu);
  EXPECT_EQ(parse("#123456789ABCDEF0123456"), 0xFFFFFFFFu);
}

TEST(ColourText, WrittenColoursReadBackUnchanged) {
  for (COLOUR colour : {0x00000000u, 0x00FFFFFFu, 0x0000FF00u, 0x80FF0000u, 0xFFFFFFFFu, 0x01020304u}) {
    char text[16];
    snprintf(text, sizeof(text), "#%08X", colour);
    EXPECT_EQ(parse(text), colour) << text;
  }
}

TEST(ColourText, DecimalPercentAndFractionForms) {
  const std::pair<const char*, COLOUR> forms[] = {
      {"&255,0,0,255", 0xFF0000FFu}, {"& 128,1,2,3", 0x80010203u},
      {"&256,-1,70000,3", 0x00FF7003u},  // low bytes as they are
      {"%100,100,0,0", 0xFFFF0000u}, {"%50,50,50,50", 0x7F7F7F7Fu},  // 50 x 255 / 100 = 127
      {"% 100,0,100,0", 0xFF00FF00u}, {"@1,0,0.5,0", 0xFF007F00u}, {"@ 0.5,1,1,1", 0x7FFFFFFFu},
      {"@AHSL1,0,1,0.25", 0xFF7F0000u}, {"@ahsl 1,0,1,0.25", 0xFF7F0000u}, {"@ACMYK1,0,1,1,0", 0xFFFF0000u},
      {"@acmyk1,0,0,0,0.5", 0xFF7F7F7Fu}};
  for (const auto& [text, colour] : forms) EXPECT_EQ(parse(text), colour) << text;
}

TEST(ColourText, KeywordFormsWithIntegerFields) {
  // Hexadecimal pairs, each / 255.
  EXPECT_EQ(parse("#ahsl FF00FFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(parse("#AHSL802AFF40"), ahsl(128 / 255.0, 42 / 255.0, 1, 64 / 255.0));
  EXPECT_EQ(parse("#AhSl 80 2A FF 40"), ahsl(128 / 255.0, 42 / 255.0, 1, 64 / 255.0));
  EXPECT_EQ(parse("#ACMYK FF00FFFF00"), 0xFFFF0000u);
  EXPECT_EQ(parse("#acmykFF00000080"), acmyk(1, 0, 0, 0, 128 / 255.0));

  // Decimal, each / 255.
  EXPECT_EQ(parse("&AHSL255,85,255,128"), ahsl(1, 85 / 255.0, 1, 128 / 255.0));
  EXPECT_EQ(parse("&ACMYK255,0,255,255,0"), 0xFFFF0000u);
  EXPECT_EQ(parse("&acmyk 255,10,20,30,40"), acmyk(1, 10 / 255.0, 20 / 255.0, 30 / 255.0, 40 / 255.0));

  // Percent, each / 100.
  EXPECT_EQ(parse("%AHSL100,0,100,25"), 0xFF7F0000u);
  EXPECT_EQ(parse("%ACMYK100,0,0,0,50"), 0xFF7F7F7Fu);
  EXPECT_EQ(parse("%ahsl 50,30,40,60"), ahsl(0.5, 0.3, 0.4, 0.6));
}

TEST(ColourText, NoTextOrAnotherFirstCharacterLeavesOutUnchanged) {
  EXPECT_EQ(parse(nullptr), 0x12345678u);
  for (const char* text : {"", "ff0000", " #ff0000", "$ff0000", "AHSL1,0,1,0.25"})
    EXPECT_EQ(parse(text), 0x12345678u) << text;
  colour_from_string(nullptr, "#ff0000");  // no out: nothing to write
}

TEST(ColourText, FieldsThatFailToScanCountAsZero) {
  const std::pair<const char*, COLOUR> forms[] = {
      {"#", 0xFF000000u}, {"#zz", 0xFF000000u}, {"&", 0u},
      {"&12,zz,5,6", 0x0C000000u},   // scanning stops at the bad field
      {"&255 ,9,9,9", 0xFF000000u},  // the comma must follow at once
      {"&1,2", 0x01020000u}, {"%100", 0xFF000000u}, {"@x", 0u}, {"@1,0.5", 0xFF7F0000u},
      {"@AHSL", ahsl(0, 0, 0, 0)}, {"#AHSLFF", ahsl(1, 0, 0, 0)}, {"#ACMYKFFG0", acmyk(1, 0, 0, 0, 0)},
      {"&ACMYK255,0,0,0", acmyk(1, 0, 0, 0, 0)}};
  for (const auto& [text, colour] : forms) EXPECT_EQ(parse(text), colour) << text;
}

// colour_darken's refusals and report_last_error_at go through the platform
// debug stream, which reads its settings from a private home folder here.
class ColourReport : public ::testing::Test {
protected:
  void SetUp() override {
    set_home_folder_override(home_.path().c_str());
    DEBUG_STREAM& stream = platform_debug_stream();
    stream.apply_pending_settings();
    saved_flags_ = stream.flags;
  }
  void TearDown() override {
    platform_debug_stream().flags = saved_flags_;
    set_home_folder_override(nullptr);
  }

  ScratchDir home_;
  uint16_t saved_flags_ = 0;
};

TEST_F(ColourReport, DarkenOutsideTheRangeChangesNothingAndSetsTheError) {
  for (int8_t percent : {int8_t{101}, int8_t{-101}, int8_t{127}, int8_t{-128}}) {
    set_last_error(0, nullptr);
    COLOUR pixel = 0x80FF7F02u;
    colour_darken(&pixel, percent);
    EXPECT_EQ(pixel, 0x80FF7F02u);
    EXPECT_EQ(get_last_error(), 4096);
  }
}

TEST_F(ColourReport, WritesCodeFileAndLineWhenTheStreamHasOutput) {
  platform_debug_stream().flags = DEBUG_TO_CONSOLE;
  set_last_error(0x0123, nullptr);
  ::testing::internal::CaptureStdout();
  report_last_error_at("some/file", 77);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("some/file"), std::string::npos) << out;
  EXPECT_NE(out.find("77"), std::string::npos) << out;
  EXPECT_NE(out.find("0123"), std::string::npos) << out;
}

TEST_F(ColourReport, DarkenOutOfRangeReportsItsLocation) {
  platform_debug_stream().flags = DEBUG_TO_CONSOLE;
  ::testing::internal::CaptureStdout();
  COLOUR pixel = 0xFF808080u;
  colour_darken(&pixel, 101);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("(include/colour,214)"), std::string::npos) << out;
  EXPECT_NE(out.find("1000"), std::string::npos) << out;
  EXPECT_EQ(pixel, 0xFF808080u);
}

TEST_F(ColourReport, SilentStreamWritesNothing) {
  platform_debug_stream().flags = 0;
  set_last_error(4096, nullptr);
  ::testing::internal::CaptureStdout();
  report_last_error_at("include/colour", 214);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}
