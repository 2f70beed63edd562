// Fills, gradients, outlines, lines, darkening and the whole-area colour
// operations of IMAGE, checked pixel by pixel against the formulas computed
// here one channel at a time: clip edges, alpha 0, 249, 250 and 255,
// inverted and negative rectangles, one-pixel shapes, dirty rectangles.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "colour.h"
#include "errors.h"
#include "image.h"
#include "image_test_support.h"

using namespace image_test_support;

namespace {

// a_c + (b_c - a_c) x pos / span for every channel, truncating towards 0.
uint32_t expected_gradient(uint32_t a, uint32_t b, int pos, int span) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int ac = channel(a, shift), bc = channel(b, shift);
    int c = span == 0 ? ac : ac + (bc - ac) * pos / span;
    out |= static_cast<uint32_t>(c & 255) << shift;
  }
  return out;
}

// Which pixels differ from a reference copy.
POINTS changed(IMAGE& image, IMAGE& before) {
  POINTS out;
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i)
      if (at(image, i + image.x, j + image.y) != at(before, i + image.x, j + image.y))
        out.insert({i + image.x, j + image.y});
  return out;
}

// An image without pixels whose clip fields claim an area: drawing on it
// means the program never made its surface.
void draw_without_pixels(void (*draw)(IMAGE&)) {
  set_message_box_handler(message_box_to_stderr);
  IMAGE image;
  image.clip_x1 = image.clip_y1 = 0;
  image.clip_x2 = image.clip_y2 = 3;
  draw(image);
}

const COLOUR kRed = 0xFFFF0000u;

}  // namespace

// ---------------------------------------------------------------------------
// fill_rect, fill_rect_solid, clear, blend_pixel

TEST(ImageFill, WithoutBlendStoresTheColourAsItIsEvenInvisible) {
  IMAGE image(4, 4);
  fill_pattern(image, 0xFF102030u);
  const COLOUR invisible = COLOUR_INVISIBLE;
  image.fill_rect(1, 1, 2, 2, &invisible, false);
  IMAGE reference(4, 4);
  fill_pattern(reference, 0xFF102030u);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      bool inside = i >= 1 && i <= 2 && j >= 1 && j <= 2;
      EXPECT_EQ(at(image, i, j), inside ? 0u : at(reference, i, j)) << i << "," << j;
    }

  // A translucent colour is stored too, alpha included, by both names.
  const COLOUR glass = 0x40123456u;
  image.fill_rect(0, 0, 0, 0, &glass, false);
  image.fill_rect_solid(3, 3, 3, 3, &glass);
  EXPECT_EQ(at(image, 0, 0), glass);
  EXPECT_EQ(at(image, 3, 3), glass);
}

TEST(ImageFill, BlendWithAlphaZeroChangesNothingAndMarksNothing) {
  IMAGE image(4, 4);
  fill_pattern(image, 0xFF102030u);
  IMAGE before;
  before.copy(image);
  reset_dirty(image);
  const COLOUR invisible = 0x00FFFFFFu;
  image.fill_rect(0, 0, 3, 3, &invisible, true);
  EXPECT_TRUE(changed(image, before).empty());
  EXPECT_EQ(dirty(image), kNoDirt);
}

TEST(ImageFill, BlendMixesBelow250AndReplacesFrom250) {
  for (uint32_t alpha : {1u, 100u, 249u, 250u, 255u}) {
    IMAGE image(3, 1);
    fill_pattern(image, 0x80103050u);
    IMAGE before;
    before.copy(image);
    const COLOUR colour = alpha << 24 | 0x00E0A060u;
    image.fill_rect(0, 0, 2, 0, &colour, true);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(at(image, i, 0), expected_blend(at(before, i, 0), colour)) << alpha;
    }
    if (alpha < 250) {
      EXPECT_EQ(at(image, 1, 0) >> 24, at(before, 1, 0) >> 24);  // keeps its alpha
    } else {
      EXPECT_EQ(at(image, 1, 0), colour);  // alpha included
    }
  }
  // 249 worked out by hand on one pixel: (16 x 6 + 255 x 249) >> 8 = 248.
  IMAGE one(1, 1);
  at(one, 0, 0) = 0x33101010u;
  const COLOUR white = 0xF9FFFFFFu;
  one.fill_rect(0, 0, 0, 0, &white, true);
  EXPECT_EQ(at(one, 0, 0), 0x33F8F8F8u);
}

TEST(ImageFill, WideBlendedRowsFollowTheRuleInEveryPixel) {
  IMAGE image(37, 3);
  uint32_t state = 99;
  for (size_t k = 0; k < image.pixel_count; ++k) {
    state = state * 1103515245u + 12345u;
    image.pixels[k] = state ^ (state >> 11);
  }
  IMAGE before;
  before.copy(image);
  const COLOUR colour = 0xA7F01080u;
  image.fill_rect(1, 0, 35, 2, &colour, true);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 37; ++i) {
      uint32_t expected =
          i >= 1 && i <= 35 ? expected_blend(at(before, i, j), colour) : at(before, i, j);
      ASSERT_EQ(at(image, i, j), expected) << i << "," << j;
    }
}

TEST(ImageFill, RectanglesAreOrderedAndCutToTheClip) {
  IMAGE image(8, 6);
  image.set_clip_rect(2, 1, 5, 4);
  reset_dirty(image);
  // Inverted corners, reaching past every clip edge and into negatives.
  image.fill_rect(7, 5, -3, -2, &kRed, false);
  for (int j = 0; j < 6; ++j)
    for (int i = 0; i < 8; ++i) {
      bool inside = i >= 2 && i <= 5 && j >= 1 && j <= 4;
      EXPECT_EQ(at(image, i, j), inside ? kRed : 0u) << i << "," << j;
    }
  EXPECT_EQ(dirty(image), (std::vector<int>{2, 1, 5, 4}));

  // Wholly outside the clip: nothing, and nothing marked.
  reset_dirty(image);
  const COLOUR blue = 0xFF0000FFu;
  image.fill_rect(6, 0, 7, 5, &blue, false);
  image.fill_rect(0, 5, 7, 5, &blue, false);
  EXPECT_EQ(at(image, 6, 0), 0u);
  EXPECT_EQ(dirty(image), kNoDirt);

  // One pixel exactly on the clip corner.
  image.fill_rect(5, 4, 5, 4, &blue, false);
  EXPECT_EQ(at(image, 5, 4), blue);
  EXPECT_EQ(dirty(image), (std::vector<int>{5, 4, 5, 4}));
}

TEST(ImageFill, ImagesWithAnOriginAreAddressedThroughIt) {
  IMAGE image(4, 4);
  image.x = 100;
  image.y = 200;
  image.set_clip_rect(100, 200, 103, 203);
  reset_dirty(image);
  image.fill_rect(102, 201, 110, 201, &kRed, false);
  EXPECT_EQ(at(image, 102, 201), kRed);
  EXPECT_EQ(at(image, 103, 201), kRed);
  EXPECT_EQ(at(image, 101, 201), 0u);
  EXPECT_EQ(dirty(image), (std::vector<int>{102, 201, 103, 201}));
}

TEST(ImageFill, ClearFillsTheClipOrTheWholeImageAndRestoresTheClip) {
  IMAGE image(5, 5);
  image.set_clip_rect(1, 1, 2, 3);
  const COLOUR grey = 0x80808080u;
  image.clear(&grey, false);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) {
      bool inside = i >= 1 && i <= 2 && j >= 1 && j <= 3;
      EXPECT_EQ(at(image, i, j), inside ? grey : 0u);
    }

  image.clear(&kRed, true);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) EXPECT_EQ(at(image, i, j), kRed);
  EXPECT_EQ(image.clip_x1, 1);
  EXPECT_EQ(image.clip_y1, 1);
  EXPECT_EQ(image.clip_x2, 2);
  EXPECT_EQ(image.clip_y2, 3);

  // An empty clip: only the whole-image form draws, and the clip stays empty.
  image.clip_x1 = image.clip_x2 = image.clip_y1 = image.clip_y2 = -1;
  const COLOUR invisible = COLOUR_INVISIBLE;
  image.clear(&invisible, false);
  EXPECT_EQ(at(image, 0, 0), kRed);
  image.clear(&invisible, true);
  EXPECT_EQ(at(image, 4, 4), 0u);
  EXPECT_TRUE(image.clip_is_empty());

  // An image without pixels is left alone by both.
  IMAGE blank;
  blank.clear(&kRed, false);
  blank.clear(&kRed, true);
  EXPECT_EQ(blank.pixels, nullptr);
}

TEST(ImageFill, BlendPixelOnlyInsideTheClip) {
  IMAGE image(3, 3);
  fill_all(image, 0xFF000000u);
  image.set_clip_rect(1, 1, 1, 1);
  reset_dirty(image);
  const COLOUR half = 0x80FF0000u;
  image.blend_pixel(1, 1, &half);
  image.blend_pixel(0, 1, &half);
  image.blend_pixel(2, 2, &half);
  EXPECT_EQ(at(image, 1, 1), expected_blend(0xFF000000u, half));
  EXPECT_EQ(at(image, 0, 1), 0xFF000000u);
  EXPECT_EQ(at(image, 2, 2), 0xFF000000u);
  EXPECT_EQ(dirty(image), (std::vector<int>{1, 1, 1, 1}));
}

TEST(ImageFill, InvalidImagesAndEmptyClipsAreLeftAlone) {
  IMAGE image(3, 3);
  image.valid = 0;
  image.fill_rect(0, 0, 2, 2, &kRed, false);
  image.draw_line(0, 0, 2, 2, &kRed, 1, false);
  image.draw_rect(0, 0, 2, 2, &kRed, 1, IMAGE::ALL_SIDES);
  EXPECT_EQ(at(image, 1, 1), 0u);
  EXPECT_EQ(at(image, 0, 0), 0u);

  IMAGE empty(0, 5);  // create with a zero side: empty clip, no pixels
  empty.fill_rect(0, 0, 2, 2, &kRed, false);
  empty.draw_xor_rect(0, 0, 2, 2, &kRed);
  empty.fill_gradient_v(0, 0, 2, 2, &kRed, &kRed, false);
  empty.darken_rect(0, 0, 2, 2, 50);
  EXPECT_EQ(empty.pixels, nullptr);
}

TEST(ImageFillDeathTest, DrawingOnAnImageWithoutPixelsButWithAClipIsFatal) {
  EXPECT_EXIT(draw_without_pixels([](IMAGE& i) { i.fill_rect(0, 0, 1, 1, &kRed, false); }),
              ::testing::ExitedWithCode(255), "OpenGraphics\\(\\) not called");
  EXPECT_EXIT(draw_without_pixels([](IMAGE& i) { i.darken_rect(0, 0, 1, 1, 50); }),
              ::testing::ExitedWithCode(255), "OpenGraphics\\(\\) not called");
  // Even an unset colour: the missing surface is the fault.
  EXPECT_EXIT(draw_without_pixels([](IMAGE& i) {
                const COLOUR none = COLOUR_INVISIBLE;
                i.draw_line(0, 0, 1, 1, &none, 1, true);
              }),
              ::testing::ExitedWithCode(255), "OpenGraphics\\(\\) not called");
}

// ---------------------------------------------------------------------------
// Gradients

TEST(ImageGradient, VerticalFollowsTheFormulaInEveryChannel) {
  IMAGE image(2, 6);
  const COLOUR a = 0x10FF0020u, b = 0xF0008090u;
  image.fill_gradient_v(0, 0, 1, 5, &a, &b, false);
  for (int j = 0; j < 6; ++j) {
    EXPECT_EQ(at(image, 0, j), expected_gradient(a, b, j, 5)) << j;
    EXPECT_EQ(at(image, 1, j), at(image, 0, j));
  }
  EXPECT_EQ(at(image, 0, 0), a);
  EXPECT_EQ(at(image, 0, 5), b);
  // Row 2 by hand: alpha 16 + 224 x 2 / 5 = 105, red 255 - 510 / 5 = 153,
  // green 256 / 5 = 51, blue 32 + 224 / 5 = 76.
  EXPECT_EQ(at(image, 0, 2), 0x6999334Cu);
}

TEST(ImageGradient, CutRowsKeepTheColoursOfTheUncutGradient) {
  IMAGE image(3, 10);
  image.set_clip_rect(0, 4, 2, 7);
  reset_dirty(image);
  const COLOUR a = 0xFF000000u, b = 0xFFFFFFFFu;
  // Inverted corners: a still belongs to the top.
  image.fill_gradient_v(2, 9, 0, 0, &a, &b, false);
  for (int j = 0; j < 10; ++j) {
    uint32_t expected = j >= 4 && j <= 7 ? expected_gradient(a, b, j, 9) : 0u;
    EXPECT_EQ(at(image, 1, j), expected) << j;
  }
  EXPECT_EQ(dirty(image), (std::vector<int>{0, 4, 2, 7}));
}

TEST(ImageGradient, HorizontalByColumnsAndCutAtTheLeft) {
  IMAGE image(7, 2);
  image.set_clip_rect(2, 0, 6, 1);
  const COLOUR a = 0xFF204060u, b = 0x00E0C0A0u;
  image.fill_gradient_h(-1, 0, 6, 1, &a, &b, false);
  for (int i = 0; i < 7; ++i) {
    uint32_t expected = i >= 2 ? expected_gradient(a, b, i + 1, 7) : 0u;
    EXPECT_EQ(at(image, i, 0), expected) << i;
    EXPECT_EQ(at(image, i, 1), expected) << i;
  }
}

TEST(ImageGradient, ASingleRowOrColumnTakesColourA) {
  const COLOUR a = 0xFF112233u, b = 0xFF445566u;
  IMAGE image(4, 4);
  image.fill_gradient_v(0, 2, 3, 2, &a, &b, false);
  image.fill_gradient_h(1, 0, 1, 3, &a, &b, false);
  EXPECT_EQ((std::vector<uint32_t>{at(image, 0, 2), at(image, 3, 2), at(image, 1, 0), at(image, 1, 3), at(image, 0, 0)}),
            (std::vector<uint32_t>{a, a, a, a, 0u}));
}

TEST(ImageGradient, BlendedRowsSkipAlphaZeroStoreFrom250AndBlendBetween) {
  // Alpha runs 0, 50, 100 .. 250 over six rows.
  IMAGE image(2, 6);
  fill_pattern(image, 0x77102030u);
  IMAGE before;
  before.copy(image);
  const COLOUR a = 0x00FF8000u, b = 0xFA00FF80u;
  image.fill_gradient_v(0, 0, 1, 5, &a, &b, true);
  for (int j = 0; j < 6; ++j) {
    uint32_t row_colour = expected_gradient(a, b, j, 5);
    for (int i = 0; i < 2; ++i)
      EXPECT_EQ(at(image, i, j), expected_blend(at(before, i, j), row_colour)) << i << "," << j;
  }
  EXPECT_EQ(at(image, 0, 0), at(before, 0, 0));
  EXPECT_EQ(at(image, 0, 5), b);

  IMAGE across(6, 1);
  fill_pattern(across, 0x77102030u);
  IMAGE across_before;
  across_before.copy(across);
  across.fill_gradient_h(0, 0, 5, 0, &a, &b, true);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(at(across, i, 0),
              expected_blend(at(across_before, i, 0), expected_gradient(a, b, i, 5)));
}

// ---------------------------------------------------------------------------
// Outlines

TEST(ImageXorRect, DrawnTwiceRestoresColoursAndLeavesTouchedPixelsOpaque) {
  IMAGE image(6, 5);
  fill_pattern(image, 0x40102030u);
  IMAGE before;
  before.copy(image);
  const COLOUR colour = 0x80FF00FFu;
  image.draw_xor_rect(1, 1, 4, 3, &colour);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 6; ++i) {
      bool corner = (i == 1 || i == 4) && (j == 1 || j == 3);
      bool edge =
          (i >= 1 && i <= 4 && (j == 1 || j == 3)) || (j >= 1 && j <= 3 && (i == 1 || i == 4));
      uint32_t b = at(before, i, j);
      uint32_t expected = corner ? b | 0xFF000000u : edge ? (b ^ colour) | 0xFF000000u : b;
      EXPECT_EQ(at(image, i, j), expected) << i << "," << j;
    }
  image.draw_xor_rect(4, 3, 1, 1, &colour);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 6; ++i) {
      bool edge =
          (i >= 1 && i <= 4 && (j == 1 || j == 3)) || (j >= 1 && j <= 3 && (i == 1 || i == 4));
      uint32_t b = at(before, i, j);
      EXPECT_EQ(at(image, i, j), edge ? b | 0xFF000000u : b) << i << "," << j;
    }
}

TEST(ImageXorRect, SidesCutAwayAreNotDrawnAndAlphaZeroDrawsNothing) {
  IMAGE image(6, 6);
  image.set_clip_rect(2, 0, 5, 5);
  reset_dirty(image);
  const COLOUR colour = 0xFF0000FFu;
  image.draw_xor_rect(0, 1, 4, 3, &colour);
  const POINTS drawn = painted(image);
  // Top and bottom rows over the cut width; the left column was cut away;
  // the right column's ends are flipped twice (back to black, opaque).
  POINTS expected = {{2, 1}, {3, 1}, {2, 3}, {3, 3}, {4, 2}, {4, 1}, {4, 3}};
  EXPECT_EQ(drawn, expected);
  EXPECT_EQ(at(image, 4, 1), 0xFF000000u);
  EXPECT_EQ(at(image, 3, 1), 0xFF0000FFu);
  EXPECT_EQ(dirty(image), (std::vector<int>{2, 1, 4, 3}));

  IMAGE other(3, 3);
  reset_dirty(other);
  const COLOUR unset = 0x00FFFFFFu;
  other.draw_xor_rect(0, 0, 2, 2, &unset);
  EXPECT_EQ(at(other, 0, 0), 0u);
  EXPECT_EQ(dirty(other), kNoDirt);
}

TEST(ImageRect, TopAndBottomOnlyLeaveTheCorners) {
  IMAGE image(6, 5);
  image.draw_rect(0, 0, 5, 4, &kRed, 1, IMAGE::SIDE_TOP | IMAGE::SIDE_BOTTOM);
  const POINTS drawn = painted(image);
  POINTS expected;
  for (int i = 1; i <= 4; ++i) {
    expected.insert({i, 0});
    expected.insert({i, 4});
  }
  EXPECT_EQ(drawn, expected);
}

TEST(ImageRect, FullOutlineBlendsEachPixelOnceAndOnePixelRectanglesTwice) {
  IMAGE image(5, 5);
  fill_all(image, 0xFF204060u);
  const COLOUR glass = 0x80FFFFFFu;
  image.draw_rect(3, 3, 1, 1, &glass, 0, IMAGE::ALL_SIDES);
  const uint32_t once = expected_blend(0xFF204060u, glass);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) {
      bool edge = i >= 1 && i <= 3 && j >= 1 && j <= 3 && !(i == 2 && j == 2);
      EXPECT_EQ(at(image, i, j), edge ? once : 0xFF204060u) << i << "," << j;
    }

  // A one-pixel rectangle: the left and right columns are the same pixel.
  IMAGE dot(3, 3);
  fill_all(dot, 0xFF204060u);
  dot.draw_rect(1, 1, 1, 1, &glass, 1, IMAGE::ALL_SIDES);
  EXPECT_EQ(at(dot, 1, 1), expected_blend(once, glass));
  EXPECT_EQ(at(dot, 0, 1), 0xFF204060u);
  EXPECT_EQ(at(dot, 2, 1), 0xFF204060u);
}

TEST(ImageRect, WidthThreeDrawsOutlinesAtMinusOneZeroAndPlusOne) {
  IMAGE image(10, 10);
  reset_dirty(image);
  image.draw_rect(3, 3, 6, 6, &kRed, 3, IMAGE::ALL_SIDES);
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 10; ++i) {
      // Outlines on 2..7, 3..6 and 4..5 together cover every pixel of 2..7.
      bool ring = i >= 2 && i <= 7 && j >= 2 && j <= 7;
      EXPECT_EQ(at(image, i, j), ring ? kRed : 0u) << i << "," << j;
    }
  EXPECT_EQ(dirty(image), (std::vector<int>{2, 2, 7, 7}));

  // On a larger rectangle the band is three pixels wide around the edge.
  IMAGE big(12, 12);
  big.draw_rect(3, 3, 8, 8, &kRed, 3, IMAGE::ALL_SIDES);
  for (int j = 0; j < 12; ++j)
    for (int i = 0; i < 12; ++i) {
      bool outer = i >= 2 && i <= 9 && j >= 2 && j <= 9;
      bool hole = i >= 5 && i <= 6 && j >= 5 && j <= 6;
      EXPECT_EQ(at(big, i, j), outer && !hole ? kRed : 0u) << i << "," << j;
    }
}

TEST(ImageRect, ClippedSidesAreDroppedAndRowsRunToTheClipEdge) {
  IMAGE image(8, 6);
  image.set_clip_rect(2, 0, 7, 5);
  reset_dirty(image);
  image.draw_rect(0, 1, 5, 4, &kRed, 1, IMAGE::ALL_SIDES);
  const POINTS drawn = painted(image);
  POINTS expected;
  for (int i = 2; i <= 4; ++i) {
    expected.insert({i, 1});
    expected.insert({i, 4});
  }
  for (int j = 1; j <= 4; ++j) expected.insert({5, j});
  EXPECT_EQ(drawn, expected);
  EXPECT_EQ(dirty(image), (std::vector<int>{2, 1, 5, 4}));

  // Wholly outside: nothing marked.
  reset_dirty(image);
  image.draw_rect(0, 0, 1, 5, &kRed, 1, IMAGE::ALL_SIDES);
  EXPECT_EQ(dirty(image), kNoDirt);
}

TEST(ImageRect, AlphaZeroDrawsNothing) {
  IMAGE image(4, 4);
  reset_dirty(image);
  const COLOUR unset = 0x00FF0000u;
  image.draw_rect(0, 0, 3, 3, &unset, 1, IMAGE::ALL_SIDES);
  image.draw_rect(0, 0, 3, 3, &unset, 4, IMAGE::ALL_SIDES);
  for (size_t k = 0; k < image.pixel_count; ++k) EXPECT_EQ(image.pixels[k], 0u);
  EXPECT_EQ(dirty(image), kNoDirt);
}

// ---------------------------------------------------------------------------
// Lines

namespace {
POINTS line_points(int x1, int y1, int x2, int y2, uint16_t width = 1) {
  IMAGE image(12, 12);
  image.draw_line(static_cast<int16_t>(x1), static_cast<int16_t>(y1), static_cast<int16_t>(x2),
                  static_cast<int16_t>(y2), &kRed, width, false);
  return painted(image);
}
}  // namespace

TEST(ImageLine, ErrorSumSteppingInBothDirections) {
  const POINTS shallow = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}};
  EXPECT_EQ(line_points(0, 0, 4, 2), shallow);
  EXPECT_EQ(line_points(4, 2, 0, 0), shallow);  // ends ordered first
  const POINTS steep = {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}};
  EXPECT_EQ(line_points(2, 4, 0, 0), steep);
  // Upwards to the right: y steps by -1.
  EXPECT_EQ(line_points(0, 4, 4, 2), (POINTS{{0, 4}, {1, 4}, {2, 3}, {3, 3}, {4, 2}}));
  // A diagonal steps every point; straight lines cover their run.
  EXPECT_EQ(line_points(1, 1, 3, 3), (POINTS{{1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(line_points(5, 2, 2, 2), (POINTS{{2, 2}, {3, 2}, {4, 2}, {5, 2}}));
  EXPECT_EQ(line_points(7, 3, 7, 1), (POINTS{{7, 1}, {7, 2}, {7, 3}}));
  EXPECT_EQ(line_points(6, 6, 6, 6), (POINTS{{6, 6}}));
}

TEST(ImageLine, WideLinesAreParallelLinesCentredOnTheLine) {
  // Width 3, x-major: rows shifted by -1, 0, +1.
  EXPECT_EQ(line_points(2, 5, 4, 5, 3),
            (POINTS{{2, 4}, {3, 4}, {4, 4}, {2, 5}, {3, 5}, {4, 5}, {2, 6}, {3, 6}, {4, 6}}));
  // Width 2: shifts -1 and 0.
  EXPECT_EQ(line_points(2, 5, 3, 5, 2), (POINTS{{2, 4}, {3, 4}, {2, 5}, {3, 5}}));
  // y-major: columns shifted.
  EXPECT_EQ(line_points(5, 1, 5, 2, 3), (POINTS{{4, 1}, {4, 2}, {5, 1}, {5, 2}, {6, 1}, {6, 2}}));
}

TEST(ImageLine, PointsOutsideTheClipAreSkippedAndTheBoxIsMarked) {
  IMAGE image(10, 10);
  image.set_clip_rect(0, 0, 2, 9);
  reset_dirty(image);
  image.draw_line(0, 0, 4, 2, &kRed, 1, false);
  const POINTS drawn = painted(image);
  EXPECT_EQ(drawn, (POINTS{{0, 0}, {1, 0}, {2, 1}}));
  EXPECT_EQ(dirty(image), (std::vector<int>{0, 0, 4, 2}));

  // A line from far outside comes in along its own path.
  IMAGE wide(10, 10);
  wide.draw_line(-10, -5, 10, 5, &kRed, 1, false);
  EXPECT_EQ(at(wide, 0, 0), kRed);
  EXPECT_EQ(at(wide, 2, 1), kRed);
  EXPECT_EQ(at(wide, 1, 1), 0u);
}

TEST(ImageLine, BlendOrStoreAndAlphaZeroDrawsNothing) {
  IMAGE image(4, 2);
  fill_all(image, 0xFF336699u);
  const COLOUR glass = 0x7F00FF00u;
  image.draw_line(0, 0, 3, 0, &glass, 1, true);
  image.draw_line(0, 1, 3, 1, &glass, 1, false);
  EXPECT_EQ(at(image, 2, 0), expected_blend(0xFF336699u, glass));
  EXPECT_EQ(at(image, 2, 1), glass);

  reset_dirty(image);
  const COLOUR unset = 0x0000FF00u;
  image.draw_line(0, 0, 3, 1, &unset, 1, false);
  image.draw_line(0, 0, 3, 1, &unset, 5, true);
  EXPECT_EQ(at(image, 0, 0), expected_blend(0xFF336699u, glass));
  EXPECT_EQ(dirty(image), kNoDirt);
}

// ---------------------------------------------------------------------------
// Darkening and whole-area operations

TEST(ImageDarken, ChannelsScaleByPercentAndAlphaStays) {
  IMAGE image(3, 1);
  at(image, 0, 0) = 0x80FF7F01u;
  at(image, 1, 0) = 0x11C8640Au;
  at(image, 2, 0) = 0xFFFFFFFFu;
  image.set_clip_rect(0, 0, 1, 0);
  reset_dirty(image);
  image.darken_rect(0, 0, 2, 0, 50);
  EXPECT_EQ(at(image, 0, 0), 0x807F3F00u);  // 255/2 = 127, 127/2 = 63, 1/2 = 0
  EXPECT_EQ(at(image, 1, 0), 0x11643205u);
  EXPECT_EQ(at(image, 2, 0), 0xFFFFFFFFu);  // outside the clip
  EXPECT_EQ(dirty(image), (std::vector<int>{0, 0, 1, 0}));

  image.darken_rect(0, 0, 0, 0, 0);
  image.darken_rect(0, 0, 0, 0, -30);
  EXPECT_EQ(at(image, 0, 0), 0x807F3F00u);
  image.darken_rect(0, 0, 0, 0, 170);  // taken as 100
  EXPECT_EQ(at(image, 0, 0), 0x80000000u);
  image.darken_rect(1, 0, 1, 0, 33);  // 100 x 67 / 100 = 67, 50 -> 33, 5 -> 3
  EXPECT_EQ(at(image, 1, 0), 0x11432103u);
}

TEST(ImageWholeArea, OnlyTheClipRectangleChangesAndIsMarked) {
  IMAGE image(4, 3);
  fill_pattern(image, 0x80402010u);
  IMAGE before;
  before.copy(image);
  image.set_clip_rect(1, 1, 2, 2);
  reset_dirty(image);
  image.make_grey();
  POINTS expected = {{1, 1}, {2, 1}, {1, 2}, {2, 2}};
  EXPECT_EQ(changed(image, before), expected);
  EXPECT_EQ(dirty(image), (std::vector<int>{1, 1, 2, 2}));
}

TEST(ImageWholeArea, AnEmptyClipLeavesTheImageAlone) {
  IMAGE image(3, 3);
  fill_pattern(image, 0x80402010u);
  IMAGE before;
  before.copy(image);
  image.clip_x1 = image.clip_x2 = image.clip_y1 = image.clip_y2 = -1;
  reset_dirty(image);
  const COLOUR c = 0xFF112233u, invisible = COLOUR_INVISIBLE;
  const COLOUR from = at(image, 0, 0);
  image.recolour3(&c, &c, &c, true);
  image.replace_colour(&from, &c, false);
  image.set_alpha(10, false, false);
  image.make_grey();
  image.tint(&c);
  image.recolour3(&c, &invisible, &invisible, false);
  EXPECT_TRUE(changed(image, before).empty());
  EXPECT_EQ(dirty(image), kNoDirt);

  IMAGE blank;
  blank.make_grey();
  blank.set_alpha(0, false, false);
  EXPECT_EQ(blank.pixels, nullptr);
}

TEST(ImageWholeArea, Recolour3MixesAndMultipliesAlpha) {
  IMAGE image(3, 1);
  at(image, 0, 0) = 0xFFFF0000u;  // pure red mask pixel
  at(image, 1, 0) = 0x80FF0000u;
  at(image, 2, 0) = 0xFF000000u;  // no channel: becomes 0
  const COLOUR c1 = 0x80112233u, none = COLOUR_INVISIBLE;
  image.recolour3(&c1, &none, &none, false);
  EXPECT_EQ(at(image, 0, 0), 0x80112233u);
  EXPECT_EQ(at(image, 1, 0), 0x80112233u);
  EXPECT_EQ(at(image, 2, 0), 0u);

  at(image, 1, 0) = 0x80FF0000u;
  image.set_clip_rect(1, 0, 1, 0);
  image.recolour3(&c1, &none, &none, true);
  EXPECT_EQ(at(image, 1, 0), 0x40112233u);  // 128 x 128 / 255 = 64
}

TEST(ImageWholeArea, ReplaceColourWholeOrRgbOnly) {
  IMAGE image(3, 1);
  at(image, 0, 0) = 0xFF102030u;
  at(image, 1, 0) = 0x40102030u;
  at(image, 2, 0) = 0xFF102031u;
  const COLOUR from = 0xFF102030u, to = 0x80A0B0C0u;
  image.replace_colour(&from, &to, false);
  EXPECT_EQ(at(image, 0, 0), to);
  EXPECT_EQ(at(image, 1, 0), 0x40102030u);
  EXPECT_EQ(at(image, 2, 0), 0xFF102031u);

  at(image, 0, 0) = 0xFF102030u;
  image.replace_colour(&from, &to, true);
  EXPECT_EQ(at(image, 0, 0), 0xFFA0B0C0u);
  EXPECT_EQ(at(image, 1, 0), 0x40A0B0C0u);
  EXPECT_EQ(at(image, 2, 0), 0xFF102031u);
}

TEST(ImageWholeArea, SetAlphaScalesSetsOrSetsOnlyVisiblePixels) {
  IMAGE image(3, 1);
  auto reset = [&] {
    at(image, 0, 0) = 0xFF102030u;
    at(image, 1, 0) = 0x80102030u;
    at(image, 2, 0) = 0x00102030u;
  };
  reset();
  image.set_alpha(128, true, false);
  EXPECT_EQ(at(image, 0, 0), 0x80102030u);
  EXPECT_EQ(at(image, 1, 0), 0x40102030u);  // 128 x 128 / 255 = 64
  EXPECT_EQ(at(image, 2, 0), 0x00102030u);
  reset();
  image.set_alpha(7, false, false);
  EXPECT_EQ(at(image, 1, 0), 0x07102030u);
  EXPECT_EQ(at(image, 2, 0), 0x07102030u);
  reset();
  image.set_alpha(7, false, true);
  EXPECT_EQ(at(image, 0, 0), 0x07102030u);
  EXPECT_EQ(at(image, 2, 0), 0x00102030u);
}

TEST(ImageWholeArea, MakeGreyAndTint) {
  IMAGE image(2, 1);
  at(image, 0, 0) = 0x7FFF8040u;
  at(image, 1, 0) = 0xFF010203u;
  image.make_grey();
  // (30 x 255 + 59 x 128 + 11 x 64) / 100 = 159; (30 + 118 + 33) / 100 = 1.
  EXPECT_EQ(at(image, 0, 0), 0x7F9F9F9Fu);
  EXPECT_EQ(at(image, 1, 0), 0xFF010101u);

  // Equal brightness (mean 80) gives the tint with the pixel's alpha; a
  // darker pixel scales the tint down, a lighter one moves it towards white.
  IMAGE tinted(3, 1);
  at(tinted, 0, 0) = 0x40505050u;
  at(tinted, 1, 0) = 0x40282828u;
  at(tinted, 2, 0) = 0x40A0A0A0u;
  const COLOUR tint = 0xFF705030u;
  tinted.tint(&tint);
  EXPECT_EQ(at(tinted, 0, 0), 0x40705030u);
  EXPECT_EQ(at(tinted, 1, 0), 0x40382818u);  // c x 40 / 80
  EXPECT_EQ(at(tinted, 2, 0), 0x40B1A08Eu);  // c + (255 - c) x 80 / 175
}

TEST(ImageDrawing, DefaultCornerRadiusIsAThirdOfTheSmallerSide) {
  EXPECT_EQ((std::vector<int>{IMAGE::default_corner_radius(0, 0, 9, 20), IMAGE::default_corner_radius(20, 9, 0, 0),
                              IMAGE::default_corner_radius(0, 0, 1, 30), IMAGE::default_corner_radius(5, 5, 5, 5)}),
            (std::vector<int>{3, 3, 0, 0}));
}
