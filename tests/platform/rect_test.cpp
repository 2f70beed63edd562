// RECT: intersection, union, containment and sizes over pairs of inclusive
// rectangles that overlap, nest, touch, lie apart, are empty or lie at
// negative coordinates.
#include "rect.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// How a failed comparison shows a rectangle.
static void PrintTo(const RECT& r, std::ostream* out) {
  *out << "(" << r.x1 << ", " << r.y1 << ") .. (" << r.x2 << ", " << r.y2 << ")";
}

TEST(Rect, PairsIntersectUniteAndContain) {
  struct CASE {
    const char* what;
    RECT a, b;
    RECT both;    // a.intersect(b)
    int32_t w, h;  // its size
    RECT either;  // a.unite(b)
    bool a_holds_b;
  };
  const RECT square = {0, 0, 9, 9};
  const CASE cases[] = {
      {"overlapping", square, {5, 5, 14, 14}, {5, 5, 9, 9}, 5, 5, {0, 0, 14, 14}, false},
      {"nested", square, {2, 3, 4, 5}, {2, 3, 4, 5}, 3, 3, square, true},
      {"same", square, square, square, 10, 10, square, true},
      {"sharing one column", square, {9, 0, 12, 9}, {9, 0, 9, 9}, 1, 10, {0, 0, 12, 9}, false},
      {"side by side", square, {10, 0, 12, 9}, {}, 0, 0, {0, 0, 12, 9}, false},
      {"one pixel apart", square, {11, 11, 11, 11}, {}, 0, 0, {0, 0, 11, 11}, false},
      {"empty second", square, {}, {}, 0, 0, square, false},
      {"inverted second", square, {5, 5, 4, 4}, {}, 0, 0, square, false},
      {"empty first", {}, square, {}, 0, 0, square, false},
      {"negative", {-5, -5, -1, -1}, {-3, -10, 3, -4}, {-3, -5, -1, -4}, 3, 2, {-5, -10, 3, -1}, false},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.a.intersect(c.b), c.both);
    EXPECT_EQ(c.b.intersect(c.a), c.both);
    EXPECT_EQ(std::tuple(c.a.intersect(c.b).width(), c.a.intersect(c.b).height(), c.a.unite(c.b), c.a.contains(c.b), c.either.contains(c.a)),
              std::tuple(c.w, c.h, c.either, c.a_holds_b, !c.a.empty()));
    // Points: the inclusive corners are inside, one step beyond is not.
    if (c.b.empty()) continue;
    EXPECT_TRUE(c.b.contains(c.b.x1, c.b.y1));
    EXPECT_TRUE(c.b.contains(c.b.x2, c.b.y2));
    EXPECT_FALSE(c.b.contains(c.b.x2 + 1, c.b.y2));
    EXPECT_FALSE(c.b.contains(c.b.x1, c.b.y1 - 1));
    EXPECT_EQ(c.a.contains(c.b.x1, c.b.y1) && c.a.contains(c.b.x2, c.b.y2), c.a_holds_b);
  }

  EXPECT_EQ(RECT::ordered(9, 2, 0, 7), (RECT{0, 2, 9, 7}));
  EXPECT_EQ(RECT::sized(2, 3, 4, 5), (RECT{2, 3, 5, 7}));
  EXPECT_TRUE(RECT::sized(2, 3, 0, 5).empty());
  EXPECT_EQ(RECT::sized(2, 3, 0, 5).width(), 0);
  EXPECT_EQ((RECT{1, 2, 3, 4}).translated(-1, 10), (RECT{0, 12, 2, 14}));
  EXPECT_EQ((RECT{1, 2, 3, 4}).grown(2), (RECT{-1, 0, 5, 6}));
  EXPECT_FALSE(RECT{}.contains(0, 0));

  // Sums of image coordinates are held to the 16-bit range, not wrapped.
  EXPECT_EQ((std::vector<int16_t>{to_i16(-5), to_i16(INT16_MAX + 1), to_i16(70000), to_i16(-70000)}),
            (std::vector<int16_t>{-5, INT16_MAX, INT16_MAX, INT16_MIN}));
}
