#include "page_transitions.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "image.h"
#include "picture_compare.h"
#include "random.h"
#include "screen.h"
#include "timing.h"

namespace {

constexpr int W = 64, H = 48;
uint64_t fake_now = 5000;
uint64_t fake_clock() { return fake_now; }

// The old page's left column is clear: what slides away is opaque.
uint32_t old_px(int x, int y) {
  return (x == 0 ? 0x00000040u : 0xFF000040u) | uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8;
}
// The new page's right column is half transparent: the end shows it as it is.
uint32_t new_px(int x, int y) {
  return (x == W - 1 ? 0x80200000u : 0xFF200000u) | uint32_t(x * 3) << 8 | uint32_t(y * 5);
}
uint32_t ch(uint32_t c, int shift) { return (c >> shift) & 0xFF; }
uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }
// b over a with alpha, per channel, as the blending rule says.
uint32_t blend(uint32_t a, uint32_t b, uint32_t alpha) {
  auto m = [&](int s) { return (ch(a, s) * (255 - alpha) + ch(b, s) * alpha) >> 8; };
  return rgb(m(16), m(8), m(0));
}
uint32_t grey(uint32_t c) {
  uint32_t g = (30 * ch(c, 16) + 59 * ch(c, 8) + 11 * ch(c, 0)) / 100;
  return rgb(g, g, g);
}
// Each channel of from moved towards to by e / d, truncated.
uint32_t toward(uint32_t from, uint32_t to, int e, int d) {
  auto m = [&](int s) {
    return uint32_t(int(ch(from, s)) + (int(ch(to, s)) - int(ch(from, s))) * e / d);
  };
  return rgb(m(16), m(8), m(0));
}

void paint(IMAGE& image, uint32_t (*pixel)(int, int)) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) image.pixels[y * image.stride + x] = pixel(x, y);
}

// The page manager's side: the switch paints the new page, each present
// records the screen and moves the fake clock on.
struct PAGES {
  uint64_t step = 16;
  int64_t back_once = 0;  // moves the clock back this far at the first present
  uint32_t (*old_page)(int, int) = old_px;
  uint32_t (*new_page)(int, int) = new_px;
  int switches = 0;
  std::vector<std::vector<uint32_t>> frames;

  static void on_switch(intptr_t self) {
    PAGES& p = *reinterpret_cast<PAGES*>(self);
    p.switches++;
    paint(*get_screen_image(), p.new_page);
  }
  static void on_present(intptr_t self) {
    PAGES& p = *reinterpret_cast<PAGES*>(self);
    const IMAGE& s = *get_screen_image();
    p.frames.emplace_back(s.pixels, s.pixels + s.pixel_count);
    fake_now = fake_now + p.step - uint64_t(p.frames.size() == 1 ? p.back_once : 0);
  }
  uint32_t at(size_t frame, int x, int y) const {
    return frames.at(frame).at(size_t(y * get_screen_image()->stride + x));
  }

  bool run(int32_t action, uint32_t duration) {
    set_clock(fake_clock);
    set_screen_size(W, H);
    paint(*get_screen_image(), old_page);
    get_screen_image()->set_clip_rect(3, 4, 40, 30);
    PAGE_TRANSITION_HOOKS hooks{on_switch, on_present, reinterpret_cast<intptr_t>(this)};
    return run_page_transition(action, duration, hooks);
  }
};

struct PAGE : IMAGE {
  explicit PAGE(uint32_t (*pixel)(int, int)) : IMAGE(W, H) { paint(*this, pixel); }
};

// Presents expected for 160 ms at 16 ms a step, when the clock jumps far at
// each present, and for a duration of 1.
struct ACTION_ROW {
  int32_t first, last;
  size_t presents, jumping, one_ms;
};
const ACTION_ROW kActions[] = {{10, 10, 1, 1, 1}, {11, 13, 11, 2, 2}, {14, 15, 12, 4, 1},
                               {16, 17, 12, 3, 3}, {18, 32, 11, 2, 2}};

TEST(PageTransitions, EveryActionEndsOnTheNewPageAfterItsTime) {
  const PAGE expected(new_px);
  const std::vector<uint32_t> expected_pixels(expected.pixels,
                                              expected.pixels + expected.pixel_count);
  for (const ACTION_ROW& row : kActions) {
    for (int32_t action = row.first; action <= row.last; ++action) {
      SCOPED_TRACE(action);
      for (auto [duration, step, presents] :
           {std::tuple{160u, 16u, row.presents}, {160u, 1000000u, row.jumping},
            {1u, 16u, row.one_ms}, {0u, 16u, size_t{1}}}) {
        PAGES pages;
        pages.step = step;
        ASSERT_TRUE(pages.run(action, duration));
        EXPECT_EQ(pages.switches, 1);
        EXPECT_EQ(pages.frames.size(), presents) << duration << " ms, steps of " << step;
        ASSERT_FALSE(pages.frames.empty());
        EXPECT_EQ(pages.frames.back(), expected_pixels);  // the new page was shown
        EXPECT_TRUE(test_support::pictures_match("transition", *get_screen_image(), expected));
        EXPECT_EQ(get_screen_image()->clip_rect(), RECT::ordered(3, 4, 40, 30));
      }
    }
  }
}

// A pixel of frame k (at 16 k ms of 160, or of the duration given).
struct FRAME_ROW {
  int32_t action;
  size_t frame;
  int x, y;
  uint32_t (*expected)();
  uint32_t duration = 160;
};
const FRAME_ROW kFrames[] = {
    {11, 5, 10, 7, [] { return blend(old_px(10, 7), new_px(10, 7), 127); }},  // a = 80 x 255 / 160
    {11, 13, 10, 7, [] { return new_px(10, 7); }, 212},  // a = 208 x 255 / 212 = 250: the new page
    {11, 13, 10, 7, [] { return blend(old_px(10, 7), new_px(10, 7), 249); }, 213},
    {12, 0, 10, 7, [] { return 0xFF000000u; }},
    {12, 5, 10, 7, [] { return blend(0xFF000000u, new_px(10, 7), 127); }},
    {13, 0, 50, 40, [] { return grey(new_px(50, 40)); }},
    {14, 2, 10, 7, [] { return blend(0xFF000000u, old_px(10, 7), 255 - 102); }},  // 32 of 80 ms
    {14, 6, 10, 7, [] { return 0xFF000000u; }},  // the second half starts black
    {15, 6, 50, 40, [] { return grey(new_px(50, 40)); }},
    {16, 5, 10, 7, [] { return blend(0xFF000000u, old_px(10, 7), 128); }},
    {17, 5, 50, 40, [] { return toward(old_px(50, 40), grey(old_px(50, 40)), 80, 160); }},
    {19, 5, 32, 9, [] { return new_px(0, 9); }},  // the new page's left edge half way in
    {19, 5, 31, 9, [] { return old_px(31, 9); }},
    {24, 5, 0, 9, [] { return old_px(32, 9); }},
    {19, 5, 0, 9, [] { return old_px(0, 9) | 0xFF000000u; }},
    {30, 5, 31, 9, [] { return new_px(63, 9); }},
    {21, 5, 5, 24, [] { return new_px(5, 0); }},
    {27, 5, 5, 24, [] { return old_px(5, 0); }},
    {32, 5, 5, 23, [] { return new_px(5, 47); }},
};

TEST(PageTransitions, FramesOnTheWayShowTheMix) {
  for (const FRAME_ROW& row : kFrames) {
    PAGES pages;
    ASSERT_TRUE(pages.run(row.action, row.duration));
    EXPECT_EQ(pages.at(row.frame, row.x, row.y), row.expected())
        << "action " << row.action << " frame " << row.frame << " at " << row.x << "," << row.y;
  }
}

// A fade through black or grey over a page that already is black (or grey)
// shows that picture once and takes no time: a first page that is still
// black appears at once. A single pixel of colour makes the fade run.
uint32_t black(int, int) { return 0xFF000000u; }
uint32_t clear_black(int, int) { return 0x00000000u; }
uint32_t greys(int x, int y) {
  const uint32_t v = uint32_t(x * 3 + y);
  return rgb(v, v, v);
}
uint32_t black_but_one(int x, int y) { return x == 9 && y == 9 ? 0xFF010000u : 0xFF000000u; }

TEST(PageTransitions, FadesThatWouldShowOnePictureShowItAtOnce) {
  const struct {
    int32_t action;
    uint32_t (*old_page)(int, int);
    uint32_t (*new_page)(int, int);
    size_t presents;
  } rows[] = {
      {12, old_px, black, 1},      {12, old_px, clear_black, 1}, {13, old_px, greys, 1},
      {12, old_px, greys, 11},     {12, old_px, black_but_one, 11},
      {16, black, new_px, 2},      {17, greys, new_px, 2},       {16, old_px, new_px, 12},
      {14, black, black, 2},       {14, black, new_px, 7},       {15, greys, greys, 2},
  };
  for (const auto& row : rows) {
    PAGES pages;
    pages.old_page = row.old_page;
    pages.new_page = row.new_page;
    const uint64_t started = fake_now;
    ASSERT_TRUE(pages.run(row.action, 160));
    EXPECT_EQ(pages.frames.size(), row.presents) << "action " << row.action;
    EXPECT_EQ(fake_now - started, 16 * row.presents) << "action " << row.action;
    EXPECT_TRUE(test_support::pictures_match("at once", *get_screen_image(), PAGE(row.new_page)));
  }
}

TEST(PageTransitions, RandomSlidesTakeTheDrawnDirection) {
  for (uint32_t seed : {1u, 77u, 4096u}) {
    random_seed(seed);
    const int32_t direction = random_range(1, 5);
    PAGES drawn, chosen;
    random_seed(seed);
    drawn.run(23, 160);
    chosen.run(23 + direction, 160);
    EXPECT_EQ(drawn.frames, chosen.frames) << "seed " << seed;
  }
}

TEST(PageTransitions, AClockGoneBackStartsTheTimeAgainAWrappingOneDoesNot) {
  // A clock gone back: the first frame, then the whole 160 ms again.
  for (auto [start, back, presents] : {std::tuple{5000ull, 1000, 12u}, {0xFFFFFFC0ull, 0, 11u}}) {
    PAGES pages;
    fake_now = start;
    pages.back_once = back;
    ASSERT_TRUE(pages.run(11, 160));
    EXPECT_EQ(pages.frames.size(), presents) << start;
    // The frame after the clock went back starts again from the old page.
    if (back) {
      EXPECT_EQ(pages.frames.at(1), pages.frames.at(0));
    }
    EXPECT_TRUE(test_support::pictures_match("clock", *get_screen_image(), PAGE(new_px)));
  }
}

TEST(PageTransitions, OtherActionsAndMissingHooks) {
  for (int32_t action : {-1, 0, 1, 7, 9, 33, 1000}) {
    PAGES pages;
    EXPECT_FALSE(pages.run(action, 160)) << action;
    EXPECT_EQ(pages.switches, 0);
    EXPECT_TRUE(pages.frames.empty());
    EXPECT_TRUE(test_support::pictures_match("untouched", *get_screen_image(), PAGE(old_px)));
  }
  // Without hooks a clock that runs on its own still ends every animation.
  set_clock([] { return fake_now += 16; });
  for (int32_t action = 10; action <= 32; ++action) {
    EXPECT_TRUE(run_page_transition(action, 160, PAGE_TRANSITION_HOOKS{}));
  }
  set_clock(nullptr);
}

}  // namespace
