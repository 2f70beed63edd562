#include "dirty_rectangles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SEQUENCE_CASE {
  const char* name;
  std::vector<RECT> added;
  std::vector<RECT> expected;  // the table afterwards, in table order
};

std::vector<RECT> table_of(const DIRTY_RECTANGLES& t) {
  std::vector<RECT> out;
  for (int32_t i = 0; i < t.count(); ++i) out.push_back(t.entry(i));
  return out;
}

TEST(DirtyRectangles, SequencesOfRectangles) {
  const SEQUENCE_CASE cases[] = {
      {"one", {{10, 10, 20, 20}}, {{10, 10, 20, 20}}},
      {"empty rectangle adds nothing", {{10, 10, 9, 20}}, {}},
      {"contained leaves the table alone",
       {{10, 10, 100, 100}, {20, 20, 30, 30}},
       {{10, 10, 100, 100}}},
      // Same rows: a left edge 31 past the right edge merges, 32 past does not.
      {"31 px apart merges", {{0, 0, 9, 9}, {40, 0, 49, 9}}, {{0, 0, 49, 9}}},
      {"32 px apart stays separate",
       {{0, 0, 9, 9}, {41, 0, 50, 9}},
       {{0, 0, 9, 9}, {41, 0, 50, 9}}},
      {"vertical margin too", {{0, 0, 9, 9}, {0, 41, 9, 50}}, {{0, 0, 9, 9}, {0, 41, 9, 50}}},
      {"32 px above stays separate", {{0, 41, 9, 50}, {0, 0, 9, 9}}, {{0, 41, 9, 50}, {0, 0, 9, 9}}},
      // The union of the third with the first reaches the second: all merge.
      {"merges cascade",
       {{0, 0, 9, 9}, {100, 0, 109, 9}, {30, 0, 80, 9}},
       {{0, 0, 109, 9}}},
      // Removing a merged entry moves the last one into its place; of two
      // near entries the first merges first.
      {"last entry fills the gap",
       {{0, 0, 9, 9}, {60, 0, 69, 9}, {200, 200, 209, 209}, {400, 400, 409, 409}, {30, 0, 39, 9}},
       {{400, 400, 409, 409}, {200, 200, 209, 209}, {0, 0, 69, 9}}},
  };
  for (const SEQUENCE_CASE& c : cases) {
    DIRTY_RECTANGLES t;
    for (const RECT& r : c.added) t.add(r);
    EXPECT_EQ(table_of(t), c.expected) << c.name;
  }
}

TEST(DirtyRectangles, FullTableGrowsTheFirstEntry) {
  DIRTY_RECTANGLES t;
  // 128 rectangles 50 px apart on a grid never merge.
  for (int32_t i = 0; i < DIRTY_RECTANGLES::CAPACITY; ++i) {
    t.add(RECT::sized((i % 16) * 50, (i / 16) * 50, 5, 5));
  }
  ASSERT_EQ(t.count(), 128);
  t.add(RECT::sized(2000, 2000, 5, 5));
  EXPECT_EQ(t.count(), 128);
  EXPECT_EQ(t.entry(0), (RECT{0, 0, 2004, 2004}));
  EXPECT_EQ(t.entry(127), RECT::sized(15 * 50, 7 * 50, 5, 5));
}

TEST(DirtyRectangles, PaintingDropsAdditionsAndScopedEntryRestores) {
  DIRTY_RECTANGLES t;
  EXPECT_FALSE(t.is_painting());
  t.add({0, 0, 9, 9});
  t.add({100, 100, 109, 109});
  t.set_current_index(1);
  ASSERT_TRUE(t.is_painting());
  EXPECT_EQ(*t.current_rect(), (RECT{100, 100, 109, 109}));
  t.add({300, 300, 310, 310});
  EXPECT_EQ(t.count(), 2);
  {
    DIRTY_RECTANGLES::SCOPED_ENTRY scope(t, {5, 6, 7, 8});
    EXPECT_EQ(*t.current_rect(), (RECT{5, 6, 7, 8}));
  }
  EXPECT_EQ(t.current_index(), 1);
  EXPECT_EQ(t.entry(0), (RECT{0, 0, 9, 9}));
  t.clear();
  EXPECT_EQ(std::tuple(t.count(), t.entry(0), t.is_painting()), std::tuple(0, RECT{}, false));  // nothing left
  {
    // An empty table lends entry 0 and is empty again afterwards.
    DIRTY_RECTANGLES::SCOPED_ENTRY scope(t, {1, 1, 2, 2});
    EXPECT_TRUE(t.is_painting());
  }
  EXPECT_EQ(t.count(), 0);
  EXPECT_FALSE(t.is_painting());
}

}  // namespace
