// Arcs, rounded outlines, rounded fills and circles of IMAGE. Arcs and
// outlines are compared with point sets worked out by hand from the arc
// formula and the line stepping; rounded fills with a coverage test and the
// gradient formula computed here; circles, whose cell pattern is free, with
// the coverage rules each pixel must obey.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "colour.h"
#include "errors.h"
#include "image.h"
#include "image_test_support.h"
#include "picture_compare.h"

using namespace image_test_support;

namespace {

// R, G, B a_c + (b_c - a_c) x pos / span, alpha 255.
uint32_t expected_opaque_gradient(uint32_t a, uint32_t b, int pos, int span) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    int ac = static_cast<int>(channel(a, shift)), bc = static_cast<int>(channel(b, shift));
    int c = span == 0 ? ac : ac + (bc - ac) * pos / span;
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

uint32_t expected_darken(uint32_t p, int percent) {
  uint32_t out = p & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    int c = static_cast<int>(channel(p, shift)) * (100 - percent) / 100;
    out |= static_cast<uint32_t>(c > 255 ? 255 : c) << shift;
  }
  return out;
}

// The rounded fill's coverage: inside a flagged corner's r x r square the
// truncated distance from the corner circle's centre must be below r.
bool covered(int i, int j, int x1, int y1, int x2, int y2, int r, int corners) {
  if (i < x1 || i > x2 || j < y1 || j > y2) return false;
  struct CORNER {
    int flag;
    bool in_square;
    int cx, cy;
  };
  const CORNER all[4] = {
      {1, i < x1 + r && j < y1 + r, x1 + r, y1 + r},
      {2, i > x2 - r && j < y1 + r, x2 - r, y1 + r},
      {4, i < x1 + r && j > y2 - r, x1 + r, y2 - r},
      {8, i > x2 - r && j > y2 - r, x2 - r, y2 - r},
  };
  for (const CORNER& c : all) {
    if (!(corners & c.flag) || !c.in_square) continue;
    double d = std::sqrt(double((i - c.cx) * (i - c.cx) + (j - c.cy) * (j - c.cy)));
    if (static_cast<int>(d) >= r) return false;
  }
  return true;
}

const COLOUR kRed = 0xFFFF0000u;

}  // namespace

// ---------------------------------------------------------------------------
// Arcs and rounded outlines (radius 3 on a 10 x 10 image)

namespace {
// The arc points are the corner row moved by 3 - trunc(sqrt(9 - i^2)), that
// is 3, 1, 1, 0 from the outer column in; the lines joining them add the
// points the error-sum stepping visits.
const POINTS kTopLeft = {{0, 3}, {1, 2}, {1, 1}, {2, 1}, {3, 0}};
const POINTS kTopRight = {{6, 0}, {7, 1}, {8, 1}, {8, 2}, {9, 3}};
const POINTS kBottomLeft = {{0, 6}, {0, 7}, {1, 8}, {2, 8}, {3, 9}};
const POINTS kBottomRight = {{6, 9}, {7, 8}, {8, 8}, {9, 7}, {9, 6}};

POINTS arc_points(int16_t px, int16_t py, int16_t radius, uint8_t corner) {
  IMAGE image(10, 10);
  image.draw_arc(px, py, radius, corner, &kRed);
  return painted(image);
}
}  // namespace

TEST(ImageArc, EachCornerJoinsItsTwoEdges) {
  EXPECT_EQ(arc_points(0, 0, 3, IMAGE::CORNER_TOP_LEFT), kTopLeft);
  EXPECT_EQ(arc_points(9, 0, 3, IMAGE::CORNER_TOP_RIGHT), kTopRight);
  EXPECT_EQ(arc_points(0, 9, 3, IMAGE::CORNER_BOTTOM_LEFT), kBottomLeft);
  EXPECT_EQ(arc_points(9, 9, 3, IMAGE::CORNER_BOTTOM_RIGHT), kBottomRight);
  // The first flag present in the order 1, 2, 4, 8 chooses.
  EXPECT_EQ(arc_points(9, 0, 3, IMAGE::CORNER_TOP_RIGHT | IMAGE::CORNER_BOTTOM_LEFT), kTopRight);
  // Radius 1: the two edge points, joined.
  EXPECT_EQ(arc_points(0, 0, 1, IMAGE::CORNER_TOP_LEFT), (POINTS{{0, 1}, {1, 0}}));
}

TEST(ImageArc, NoCornerNoRadiusOrNoColourDrawNothing) {
  EXPECT_TRUE(arc_points(0, 0, 3, 0).empty());
  EXPECT_TRUE(arc_points(5, 5, 0, IMAGE::CORNER_TOP_LEFT).empty());
  EXPECT_TRUE(arc_points(5, 5, -4, IMAGE::CORNER_TOP_LEFT).empty());
  IMAGE image(10, 10);
  reset_dirty(image);
  const COLOUR unset = 0x00FF0000u;
  image.draw_arc(0, 0, 3, IMAGE::CORNER_TOP_LEFT, &unset);
  EXPECT_TRUE(painted(image).empty());
  EXPECT_EQ(dirty(image), kNoDirt);
}

TEST(ImageArc, ArcsAreBlended) {
  IMAGE image(10, 10);
  fill_all(image, 0xFF000000u);
  const COLOUR glass = 0x80FFFFFFu;
  image.draw_arc(0, 0, 3, IMAGE::CORNER_TOP_LEFT, &glass);
  const uint32_t once = expected_blend(0xFF000000u, glass);
  EXPECT_EQ(at(image, 0, 3), once);
  EXPECT_EQ(at(image, 1, 2), once);
  // The joints end one line and start the next.
  EXPECT_EQ(at(image, 1, 1), expected_blend(once, glass));
  EXPECT_EQ(at(image, 0, 0), 0xFF000000u);
}

TEST(ImageRoundRect, RoundedCornersAreTheArcsAndSquareOnesAreClosed) {
  POINTS edges;
  for (int k = 3; k <= 6; ++k) {
    edges.insert({k, 0});
    edges.insert({k, 9});
    edges.insert({0, k});
    edges.insert({9, k});
  }
  POINTS expected = edges;
  for (const POINTS* arc : {&kTopLeft, &kTopRight, &kBottomLeft, &kBottomRight})
    expected.insert(arc->begin(), arc->end());

  IMAGE image(10, 10);
  image.draw_round_rect(0, 0, 9, 9, &kRed, 3, IMAGE::ALL_CORNERS);
  EXPECT_EQ(painted(image), expected);

  // The automatic radius of a 10 x 10 rectangle is 3; corners in any order.
  IMAGE automatic(10, 10);
  automatic.draw_round_rect(9, 9, 0, 0, &kRed, IMAGE::AUTO_RADIUS, IMAGE::ALL_CORNERS);
  EXPECT_EQ(painted(automatic), expected);

  // No corner flags: the plain outline.
  IMAGE square(10, 10);
  square.draw_round_rect(0, 0, 9, 9, &kRed, 3, 0);
  POINTS outline;
  for (int k = 0; k <= 9; ++k) {
    outline.insert({k, 0});
    outline.insert({k, 9});
    outline.insert({0, k});
    outline.insert({9, k});
  }
  EXPECT_EQ(painted(square), outline);
  // A radius of 0 closes flagged corners square too.
  square.draw_round_rect(0, 0, 9, 9, &kRed, 0, IMAGE::ALL_CORNERS);
  EXPECT_EQ(painted(square), outline);

  // One rounded corner, three square.
  IMAGE mixed(10, 10);
  mixed.draw_round_rect(0, 0, 9, 9, &kRed, 3, IMAGE::CORNER_BOTTOM_RIGHT);
  POINTS one = outline;
  for (auto p : POINTS{{9, 7}, {9, 8}, {9, 9}, {8, 9}, {7, 9}}) one.erase(p);
  one.insert(kBottomRight.begin(), kBottomRight.end());
  EXPECT_EQ(painted(mixed), one);
}

TEST(ImageRoundRect, AlphaZeroDrawsNothing) {
  IMAGE image(10, 10);
  reset_dirty(image);
  const COLOUR unset = COLOUR_INVISIBLE;
  image.draw_round_rect(0, 0, 9, 9, &unset, 3, IMAGE::ALL_CORNERS);
  EXPECT_TRUE(painted(image).empty());
  EXPECT_EQ(dirty(image), kNoDirt);
}

// ---------------------------------------------------------------------------
// Rounded fills

TEST(ImageRoundFill, NoCornerFlagsFillThePlainRectangle) {
  IMAGE image(6, 5);
  image.fill_round_rect_gradient(1, 1, 4, 3, 2, 0, &kRed, &kRed, 0, IMAGE::ROUND_FILL_BLEND);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 6; ++i) {
      bool inside = i >= 1 && i <= 4 && j >= 1 && j <= 3;
      EXPECT_EQ(at(image, i, j), inside ? kRed : 0u) << i << "," << j;
    }
}

TEST(ImageRoundFill, RadiusOneLeavesOnlyTheCornerPixelsUncovered) {
  IMAGE image(5, 4);
  image.fill_round_rect_gradient(0, 0, 4, 3, 1, IMAGE::ALL_CORNERS, &kRed, &kRed, 0,
                                 IMAGE::ROUND_FILL_BLEND);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) {
      bool corner = (i == 0 || i == 4) && (j == 0 || j == 3);
      EXPECT_EQ(at(image, i, j), corner ? 0u : kRed) << i << "," << j;
    }
}

TEST(ImageRoundFill, CoverageFollowsTheCornerDistanceRule) {
  const int corner_sets[] = {IMAGE::ALL_CORNERS,
                             IMAGE::CORNER_TOP_LEFT | IMAGE::CORNER_BOTTOM_RIGHT,
                             IMAGE::CORNER_TOP_RIGHT};
  for (int r : {2, 4, 5, 9}) {
    for (int corners : corner_sets) {
      IMAGE image(16, 14);
      image.fill_round_rect_gradient(1, 2, 14, 11, static_cast<int16_t>(r),
                                     static_cast<uint8_t>(corners), &kRed, &kRed, 0,
                                     IMAGE::ROUND_FILL_BLEND);
      for (int j = 0; j < 14; ++j)
        for (int i = 0; i < 16; ++i)
          ASSERT_EQ(at(image, i, j) != 0, covered(i, j, 1, 2, 14, 11, r, corners))
              << "r " << r << " corners " << corners << " at " << i << "," << j;
    }
  }
}

TEST(ImageRoundFill, GradientModesAreOpaqueAndFollowTheFormula) {
  const COLOUR a = 0x40102030u, b = 0x10F0E0D0u;
  IMAGE across(12, 8);
  across.fill_round_rect_gradient(1, 1, 10, 6, 3, IMAGE::ALL_CORNERS, &a, &b, 0,
                                  IMAGE::ROUND_FILL_HORIZONTAL);
  IMAGE down(12, 8);
  down.fill_round_rect_gradient(1, 1, 10, 6, 3, IMAGE::ALL_CORNERS, &a, &b, 0,
                                IMAGE::ROUND_FILL_VERTICAL);
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 12; ++i) {
      bool in = covered(i, j, 1, 1, 10, 6, 3, IMAGE::ALL_CORNERS);
      EXPECT_EQ(at(across, i, j), in ? expected_opaque_gradient(a, b, i - 1, 9) : 0u)
          << i << "," << j;
      EXPECT_EQ(at(down, i, j), in ? expected_opaque_gradient(a, b, j - 1, 5) : 0u)
          << i << "," << j;
    }

  // One column across, one row down: colour a, made opaque.
  IMAGE thin(4, 4);
  thin.fill_round_rect_gradient(2, 0, 2, 3, 0, 0, &a, &b, 0, IMAGE::ROUND_FILL_HORIZONTAL);
  thin.fill_round_rect_gradient(0, 1, 3, 1, 0, 0, &a, &b, 0, IMAGE::ROUND_FILL_VERTICAL);
  EXPECT_EQ(at(thin, 2, 3), 0xFF102030u);
  EXPECT_EQ(at(thin, 0, 1), 0xFF102030u);
}

TEST(ImageRoundFill, BlendAndDarkenModes) {
  IMAGE image(6, 6);
  fill_pattern(image, 0x90406080u);
  IMAGE before;
  before.copy(image);
  const COLOUR glass = 0x64FFFFFFu, unused = 0;
  image.fill_round_rect_gradient(0, 0, 5, 2, 0, 0, &glass, &unused, 0, IMAGE::ROUND_FILL_BLEND);
  image.fill_round_rect_gradient(0, 3, 5, 5, 0, 0, &glass, &unused, 50, IMAGE::ROUND_FILL_DARKEN);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(at(image, i, 1), expected_blend(at(before, i, 1), glass)) << i;
    EXPECT_EQ(at(image, i, 4), expected_darken(at(before, i, 4), 50)) << i;
  }
  // Lightening by -100 doubles each channel up to 255.
  IMAGE light(2, 1);
  at(light, 0, 0) = 0x80107FF0u;
  light.fill_round_rect_gradient(0, 0, 1, 0, 0, 0, &glass, &unused, -100, IMAGE::ROUND_FILL_DARKEN);
  EXPECT_EQ(at(light, 0, 0), 0x8020FEFFu);

  // Unknown modes, a blend colour of alpha 0 and a percent that
  // colour_darken refuses paint nothing.
  IMAGE untouched(4, 4);
  fill_pattern(untouched, 0x90406080u);
  IMAGE untouched_before;
  untouched_before.copy(untouched);
  const COLOUR unset = 0x00FFFFFFu;
  untouched.fill_round_rect_gradient(0, 0, 3, 3, 1, 15, &kRed, &kRed, 0, 4);
  untouched.fill_round_rect_gradient(0, 0, 3, 3, 1, 15, &unset, &kRed, 0, IMAGE::ROUND_FILL_BLEND);
  set_last_error(0, nullptr);
  untouched.fill_round_rect_gradient(0, 0, 3, 3, 1, 15, &kRed, &kRed, 101,
                                     IMAGE::ROUND_FILL_DARKEN);
  EXPECT_EQ(get_last_error(), 4096);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(at(untouched, i, j), at(untouched_before, i, j));
}

TEST(ImageRoundFill, AutomaticRadiusAndThinBars) {
  // A 9 x 9 rectangle: automatic radius 3.
  IMAGE automatic(9, 9), explicit_three(9, 9);
  automatic.fill_round_rect_gradient(0, 0, 8, 8, -1, IMAGE::ALL_CORNERS, &kRed, &kRed, 0, 0);
  explicit_three.fill_round_rect_gradient(0, 0, 8, 8, 3, IMAGE::ALL_CORNERS, &kRed, &kRed, 0, 0);
  EXPECT_EQ(painted(automatic), painted(explicit_three));
  EXPECT_EQ(at(automatic, 0, 0), 0u);

  // A bar two pixels high gets radius 0 and is filled with square corners
  // rather than vanishing.
  IMAGE bar(10, 4);
  bar.fill_round_rect_gradient(0, 1, 9, 2, -1, IMAGE::ALL_CORNERS, &kRed, &kRed, 0, 0);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(at(bar, i, 1), kRed);
    EXPECT_EQ(at(bar, i, 2), kRed);
    EXPECT_EQ(at(bar, i, 0), 0u);
  }

  // A negative radius other than the automatic one draws nothing.
  IMAGE none(4, 4);
  none.fill_round_rect_gradient(0, 0, 3, 3, -2, 0, &kRed, &kRed, 0, 0);
  EXPECT_TRUE(painted(none).empty());
}

TEST(ImageRoundFill, ClipCutsThePixelsAndTheWholeRectangleIsMarked) {
  IMAGE image(10, 10);
  image.set_clip_rect(0, 0, 4, 9);
  reset_dirty(image);
  image.fill_round_rect_gradient(2, 3, 7, 8, 0, 0, &kRed, &kRed, 0, 0);
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 10; ++i) {
      bool inside = i >= 2 && i <= 4 && j >= 3 && j <= 8;
      EXPECT_EQ(at(image, i, j), inside ? kRed : 0u);
    }
  EXPECT_EQ(dirty(image), (std::vector<int>{2, 3, 7, 8}));
}

// ---------------------------------------------------------------------------
// Circles (centre 10, 10 on a 21 x 21 image)

namespace {

double distance(int i, int j) { return std::hypot(i - 10.0, j - 10.0); }

// Checks that the image is symmetric about the circle's centre both ways and
// along the diagonal.
void expect_symmetric(IMAGE& image) {
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      ASSERT_EQ(at(image, i, j), at(image, 20 - i, j)) << i << "," << j;
      ASSERT_EQ(at(image, i, j), at(image, i, 20 - j)) << i << "," << j;
      ASSERT_EQ(at(image, i, j), at(image, j, i)) << i << "," << j;
    }
}

}  // namespace

TEST(ImageCircle, OpaqueDiscCoversTheInsideAndNothingBeyond) {
  IMAGE image(21, 21);
  reset_dirty(image);
  image.draw_circle(10, 10, 5, &kRed, 0, IMAGE::CIRCLE_DISC, 0, false);
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      if (distance(i, j) <= 4.0) {
        EXPECT_EQ(at(image, i, j), kRed) << i << "," << j;
      }
      if (distance(i, j) > 6.0) {
        EXPECT_EQ(at(image, i, j), 0u) << i << "," << j;
      }
    }
  // The ends of the axes lie on the circle.
  EXPECT_EQ(at(image, 15, 10), kRed);
  EXPECT_EQ(at(image, 10, 5), kRed);
  expect_symmetric(image);
  EXPECT_EQ(dirty(image), (std::vector<int>{5, 5, 15, 15}));
}

TEST(ImageCircle, WithoutAntialiasPixelsAreBlendedOnceOrTwice) {
  const COLOUR glass = 0x64FF8000u;
  IMAGE image(21, 21);
  fill_all(image, 0xFF203040u);
  image.draw_circle(10, 10, 6, &glass, 0, IMAGE::CIRCLE_DISC, 0, false);
  const uint32_t once = expected_blend(0xFF203040u, glass);
  const uint32_t twice = expected_blend(once, glass);
  int edge = 0;
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      uint32_t p = at(image, i, j);
      EXPECT_TRUE(p == 0xFF203040u || p == once || p == twice) << i << "," << j;
      if (distance(i, j) <= 5.0) {
        EXPECT_EQ(p, twice) << i << "," << j;
      }
      if (distance(i, j) > 7.0) {
        EXPECT_EQ(p, 0xFF203040u) << i << "," << j;
      }
      if (p == once) ++edge;
    }
  EXPECT_GT(edge, 0);  // lightly covered rim pixels

  // The shading kind without antialias blends once where it blends at all.
  IMAGE shade(21, 21);
  fill_all(shade, 0xFF203040u);
  shade.draw_circle(10, 10, 6, &glass, 50, IMAGE::CIRCLE_SHADE, 0, false);
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      uint32_t p = at(shade, i, j);
      EXPECT_TRUE(p == 0xFF203040u || p == once) << i << "," << j;
      if (distance(i, j) <= 5.0) {
        EXPECT_EQ(p, once) << i << "," << j;
      }
    }
}

TEST(ImageCircle, AntialiasGivesEdgePixelsTheirShareOfAlpha) {
  const COLOUR colour = 0xC800FF00u;  // alpha 200
  IMAGE image(21, 21);
  fill_all(image, 0xFF800000u);
  image.draw_circle(10, 10, 6, &colour, 0, IMAGE::CIRCLE_DISC, 0, true);
  int partial = 0;
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      uint32_t p = at(image, i, j);
      if (p == 0xFF800000u) {
        EXPECT_GT(distance(i, j), 5.0) << i << "," << j;
        continue;
      }
      // Some coverage n of 1 .. 9 explains the pixel: alpha n x 200 / 9.
      bool explained = false;
      for (uint32_t n = 1; n <= 9 && !explained; ++n) {
        uint32_t share = n == 9 ? 200u : n * 200u / 9u;
        explained = p == expected_blend(0xFF800000u, (colour & 0x00FFFFFFu) | share << 24);
        if (explained && n < 9) ++partial;
      }
      EXPECT_TRUE(explained) << i << "," << j;
      if (distance(i, j) <= 5.0) {
        EXPECT_EQ(p, expected_blend(0xFF800000u, colour));
      }
    }
  EXPECT_GT(partial, 0);
  expect_symmetric(image);
}

TEST(ImageCircle, AntialiasedShadeDarkensInsideAndMixesTheRimOpaque) {
  IMAGE image(21, 21);
  fill_all(image, 0x40C86432u);  // translucent background: the rim becomes opaque
  const COLOUR unused = COLOUR_INVISIBLE;
  image.draw_circle(10, 10, 6, &unused, 50, IMAGE::CIRCLE_SHADE, 0, true);
  int rim = 0;
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      uint32_t p = at(image, i, j);
      if (p == 0x40C86432u) continue;
      if (distance(i, j) <= 5.0) {
        EXPECT_EQ(p, expected_darken(0x40C86432u, 50)) << i << "," << j;
        continue;
      }
      if (p == expected_darken(0x40C86432u, 50)) continue;
      // Rim: opaque, each channel (c' n + c (9 - n)) / 9 for one n.
      bool explained = false;
      for (uint32_t n = 1; n <= 8 && !explained; ++n) {
        uint32_t expected = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
          uint32_t c = channel(0x40C86432u, shift), dark = c * 50 / 100;
          expected |= ((dark * n + c * (9 - n)) / 9) << shift;
        }
        explained = p == expected;
      }
      EXPECT_TRUE(explained) << i << "," << j;
      ++rim;
    }
  EXPECT_GT(rim, 0);

  // colour_darken's range applies: 101 changes nothing and sets 4096.
  IMAGE refused(21, 21);
  fill_all(refused, 0xFF808080u);
  set_last_error(0, nullptr);
  refused.draw_circle(10, 10, 6, &unused, 101, IMAGE::CIRCLE_SHADE, 0, true);
  EXPECT_EQ(get_last_error(), 4096);
  EXPECT_EQ(at(refused, 10, 10), 0xFF808080u);
}

TEST(ImageCircle, RingsLeaveTheMiddleEmpty) {
  IMAGE image(21, 21);
  reset_dirty(image);
  // Radius 6 with a ring 2 wide: outer radius 7, the ring inside it.
  image.draw_circle(10, 10, 6, &kRed, 0, IMAGE::CIRCLE_RING, 2, false);
  for (int j = 0; j < 21; ++j)
    for (int i = 0; i < 21; ++i) {
      double d = distance(i, j);
      if (d <= 3.5 || d > 8.0) {
        EXPECT_EQ(at(image, i, j), 0u) << i << "," << j;
      }
    }
  EXPECT_EQ(at(image, 16, 10), kRed);
  EXPECT_EQ(at(image, 10, 4), kRed);
  EXPECT_EQ(at(image, 10, 10), 0u);
  expect_symmetric(image);
  EXPECT_EQ(dirty(image), (std::vector<int>{3, 3, 17, 17}));

  // A ring 0 wide runs 0 cells in from the circle: nothing at all.
  IMAGE thin(21, 21);
  thin.draw_circle(10, 10, 6, &kRed, 0, IMAGE::CIRCLE_RING, 0, false);
  thin.draw_circle(10, 10, 6, &kRed, 0, IMAGE::CIRCLE_RING, 0, true);
  EXPECT_TRUE(painted(thin).empty());
}

TEST(ImageCircle, ClipAndDirtyRectangle) {
  IMAGE image(10, 10);
  image.set_clip_rect(0, 0, 3, 9);
  reset_dirty(image);
  image.draw_circle(0, 0, 5, &kRed, 0, IMAGE::CIRCLE_DISC, 0, false);
  EXPECT_EQ(at(image, 0, 0), kRed);
  EXPECT_EQ(at(image, 3, 0), kRed);
  EXPECT_EQ(at(image, 4, 0), 0u);  // outside the clip
  EXPECT_EQ(dirty(image), (std::vector<int>{0, 0, 3, 5}));

  // A box that misses the clip: nothing marked.
  reset_dirty(image);
  image.draw_circle(9, 9, 3, &kRed, 0, IMAGE::CIRCLE_DISC, 0, false);
  EXPECT_EQ(dirty(image), kNoDirt);
  IMAGE big(4, 4);  // a circle so large that its cells are set a band at a time: whole inside
  big.draw_circle(2, 2, 300, &kRed, 0, IMAGE::CIRCLE_DISC, 0, true);
  EXPECT_EQ(std::vector<uint32_t>(big.pixels, big.pixels + 16), std::vector<uint32_t>(16, kRed));
}

TEST(ImageCircle, NothingForSmallRadiiUnknownKindsAndUnsetColours) {
  IMAGE image(21, 21);
  const COLOUR unset = 0x00FF0000u;
  image.draw_circle(10, 10, 0, &kRed, 0, IMAGE::CIRCLE_DISC, 0, false);
  image.draw_circle(10, 10, -3, &kRed, 0, IMAGE::CIRCLE_DISC, 0, false);
  image.draw_circle(10, 10, 5, &kRed, 0, 3, 0, false);
  image.draw_circle(10, 10, 5, &unset, 0, IMAGE::CIRCLE_DISC, 0, true);
  image.draw_circle(10, 10, 5, &unset, 0, IMAGE::CIRCLE_RING, 2, false);
  EXPECT_TRUE(painted(image).empty());
}

// Circles too big for the shared coverage buffer ((6R + 3)^2 cells from
// R = 296 on, the ring width counting half) draw the same shapes, a band
// of cells at a time: every pixel well inside the shape is painted, every
// pixel well outside it is not.
TEST(ImageCircle, AnyRadiusDrawsItsDiscOrRing) {
  const struct {
    int16_t radius;
    uint8_t kind, ring_width;
  } rows[] = {{295, IMAGE::CIRCLE_DISC, 0}, {296, IMAGE::CIRCLE_DISC, 0},
              {294, IMAGE::CIRCLE_DISC, 4}, {340, IMAGE::CIRCLE_RING, 6},
              {400, IMAGE::CIRCLE_SHADE, 0}, {1000, IMAGE::CIRCLE_DISC, 0}};
  for (const auto& r : rows) {
    IMAGE image(700, 700);
    const int cx = 350, cy = r.radius > 340 ? 350 + r.radius - 300 : 350;
    image.draw_circle(static_cast<int16_t>(cx), static_cast<int16_t>(cy), r.radius, &kRed, 0, r.kind,
                      r.ring_width, false);
    const double outer = r.radius + r.ring_width / 2;
    const double inner = r.kind == IMAGE::CIRCLE_RING ? outer - r.ring_width : 0;
    int wrong = 0;
    for (int j = 0; j < image.height; ++j) {
      for (int i = 0; i < image.width; ++i) {
        const double d = std::hypot(i - cx, j - cy);
        const bool in = d < outer - 1.5 && (inner == 0 || d > inner + 1.5);
        const bool out = d > outer + 1.5 || (inner > 0 && d < inner - 1.5);
        if ((in && at(image, i, j) != kRed) || (out && at(image, i, j) != 0)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << r.radius;
  }
}

// Every shape and its variants on one picture, compared whole.
TEST(ImageDrawing, ShapesGalleryMatchesItsReferencePicture) {
  IMAGE image(160, 120);
  const COLOUR ground = 0xFF303840u, white = 0xFFFFFFFFu, half = 0x80FFC020u, red = 0xFFE02020u,
               blue = 0xFF2040E0u, glass = 0x6020E0A0u;
  image.clear(&ground, true);
  image.fill_gradient_v(0, 60, 159, 119, &ground, &blue, false);
  image.fill_gradient_h(80, 0, 159, 20, &glass, &half, true);
  for (uint8_t corner = 1; corner <= 8; corner <<= 1)
    image.draw_arc(10 + (corner & 10 ? 8 : 0), 10 + (corner & 12 ? 8 : 0), 6, corner, &white);
  image.draw_round_rect(24, 2, 60, 26, &white, 8, IMAGE::ALL_CORNERS);
  image.draw_round_rect(28, 6, 56, 22, &half, IMAGE::AUTO_RADIUS,
                        IMAGE::CORNER_TOP_LEFT | IMAGE::CORNER_BOTTOM_RIGHT);
  const uint8_t modes[4] = {IMAGE::ROUND_FILL_BLEND, IMAGE::ROUND_FILL_HORIZONTAL,
                            IMAGE::ROUND_FILL_VERTICAL, IMAGE::ROUND_FILL_DARKEN};
  for (int m = 0; m < 4; ++m)
    image.fill_round_rect_gradient(static_cast<int16_t>(2 + 40 * m), 30, static_cast<int16_t>(36 + 40 * m), 52,
                                   m == 3 ? -1 : static_cast<int16_t>(4 + 2 * m),
                                   m == 1 ? IMAGE::CORNER_TOP_RIGHT | IMAGE::CORNER_BOTTOM_LEFT : IMAGE::ALL_CORNERS,
                                   m == 0 ? &glass : &red, &blue, 40, modes[m]);
  image.draw_circle(14, 70, 8, &white, 0, IMAGE::CIRCLE_RING, 3, false);
  image.draw_circle(36, 70, 8, &white, 0, IMAGE::CIRCLE_RING, 3, true);
  image.draw_circle(58, 70, 8, &half, 0, IMAGE::CIRCLE_DISC, 0, false);
  image.draw_circle(80, 70, 8, &red, 0, IMAGE::CIRCLE_DISC, 0, true);
  image.draw_circle(102, 70, 8, &white, 50, IMAGE::CIRCLE_SHADE, 0, true);
  image.draw_circle(120, 70, 1, &white, 0, IMAGE::CIRCLE_DISC, 0, true);
  image.draw_circle(130, 70, 2, &white, 0, IMAGE::CIRCLE_DISC, 0, false);
  image.draw_circle(146, 70, 5, &red, 0, IMAGE::CIRCLE_RING, 1, true);
  image.draw_line(4, 84, 60, 96, &white, 1, false);
  image.draw_line(10, 116, 20, 84, &red, 3, true);
  image.draw_line(70, 116, 30, 100, &half, 2, true);
  image.draw_rect(74, 84, 100, 110, &white, 3, IMAGE::ALL_SIDES);
  image.draw_rect(106, 84, 126, 110, &red, 1, IMAGE::SIDE_LEFT | IMAGE::SIDE_BOTTOM);
  image.draw_xor_rect(130, 84, 156, 116, &glass);
  image.darken_rect(140, 0, 159, 119, 30);
  EXPECT_TRUE(test_support::picture_matches_reference("platform_shapes", "gallery", image));
}
