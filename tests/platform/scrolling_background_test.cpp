// SCROLLING_BACKGROUND on a fake millisecond clock: where the window stands
// in the picture at each time of the period (seen in the screen's pixels),
// periods that cross the clock's wrap, odd speeds and sizes, and a
// background whose picture could not be had.
#include "scrolling_background.h"

#include <gtest/gtest.h>

#include <vector>

#include "image_cache.h"
#include "image_test_support.h"
#include "screen.h"
#include "skin_test_support.h"
#include "timing.h"

namespace {

using image_test_support::pixels_of;

uint64_t fake_now = 0;
uint64_t fake_clock() { return fake_now; }

constexpr COLOUR kGround = 0xFF404040;
constexpr int16_t kX = 7;  // where the 10 x 6 window is drawn
constexpr int16_t kY = 5;

class ScrollingBackground : public test_support::ScratchSkinTest {
protected:
  ScrollingBackground() : ScratchSkinTest("scrolltest") {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ScratchSkinTest::SetUp());
    set_clock(fake_clock);
    set_screen_size(40, 30);
    // 20 x 12 distinct opaque pixels: twice the window in each direction.
    pic.create(20, 12);
    for (int j = 0; j < 12; ++j)
      for (int i = 0; i < 20; ++i) pic.pixels[j * pic.stride + i] = 0xFF000000u | (j << 8 | i);
    save("pic", pic);
  }
  void TearDown() override {
    set_clock(nullptr);
    set_screen_size(0, 0);
    ScratchSkinTest::TearDown();
  }
  std::vector<uint32_t> drawn(const SCROLLING_BACKGROUND& bg) {
    get_screen_image()->clear(&kGround, true);
    bg.draw();
    return pixels_of(get_screen_image());
  }
  // The grey screen with the window showing the picture from (px, py).
  static std::vector<uint32_t> expected(const IMAGE& picture, int px, int py) {
    IMAGE screen(40, 30);
    screen.clear(&kGround, true);
    for (int j = 0; j < 6; ++j)
      for (int i = 0; i < 10; ++i)
        if (px + i < picture.width && py + j < picture.height)
          screen.pixels[(kY + j) * screen.stride + kX + i] =
              picture.pixels[(py + j) * picture.stride + px + i];
    return pixels_of(screen);
  }

  IMAGE pic;
  IMAGE_CACHE cache{0};
};

TEST_F(ScrollingBackground, PansBackAndForthOverOnePeriod) {
  struct STEP {
    uint64_t ms;  // after the reset
    int16_t pan_x, pan_y;
    bool moved;
  };
  struct CASE {
    const char* what;
    bool cached;
    uint32_t speed;
    int16_t image_w, image_h;  // 0: twice the window
    uint64_t reset_at;
    std::vector<STEP> steps;
  };
  // Ranges 10 and 6 unless the picture is smaller; y starts half-way down
  // and runs a quarter period ahead of x.
  const CASE cases[] = {
      {"period across the clock's wrap", true, 1000, 0, 0, (1ull << 32) - 300,
       {{0, 0, 3, false}, {100, 2, 4, true}, {250, 5, 6, true},
        {400, 8, 5, true},  // y reflected at the bottom
        {500, 10, 3, true}, {750, 5, 0, true},
        {900, 2, 2, true},  // y reflected at the top
        {1000, 0, 3, true},
        {1100, 0, 3, false},  // past the period: a new one starts
        {1350, 5, 6, true},
        {1050, 0, 3, true},  // the clock went back: a new period
        {1150, 2, 4, true}}},
      {"speed 1 moves as 2", false, 1, 0, 0, 5000,
       {{0, 0, 3, false}, {1, 10, 3, true}, {2, 0, 3, true}}},
      {"speed 0 stands still", false, 0, 0, 0, 5000, {{0, 0, 3, false}, {1, 0, 3, false}, {700, 0, 3, false}}},
      {"a period of 46 days", false, 4000000000u, 0, 0, 1000,
       {{0, 0, 3, false}, {1000000000, 5, 6, true}, {3000000000u, 5, 0, true}}},
      {"picture smaller than the window", false, 1000, 8, 4, 1000,
       {{0, 0, 0, false}, {250, 0, 0, false}}},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    IMAGE* handle = nullptr;
    {
      SCROLLING_BACKGROUND bg;
      if (c.cached)
        handle = bg.init_from_cache(kX, kY, cache, "$APP/skin", "pic", 10, 6, c.speed);
      else if (c.image_w == 0)  // the size left out: twice the window
        bg.init_from_file(kX, kY, skin, "pic", 10, 6, c.speed);
      else
        bg.init_from_file(kX, kY, skin, "pic", 10, 6, c.speed, c.image_w, c.image_h);
      ASSERT_NE(bg.image, nullptr);
      if (c.image_w == 0) {
        EXPECT_EQ(pixels_of(bg.image), pixels_of(pic));
      }
      fake_now = c.reset_at;
      bg.reset();
      for (const STEP& s : c.steps) {
        SCOPED_TRACE(s.ms);
        fake_now = c.reset_at + s.ms;
        EXPECT_EQ(bg.update(), s.moved);
        EXPECT_EQ(bg.pan_x, s.pan_x);
        EXPECT_EQ(bg.pan_y, s.pan_y);
        EXPECT_EQ(drawn(bg), expected(*bg.image, s.pan_x, s.pan_y));
      }
    }
    if (handle) {
      EXPECT_EQ(cache.get_entry(handle)->refs, 0);  // released with the background
    }
  }
}

TEST_F(ScrollingBackground, WithoutAPictureNeitherMovesNorDraws) {
  SCROLLING_BACKGROUND from_cache;
  SCROLLING_BACKGROUND from_file;
  EXPECT_EQ(from_cache.init_from_cache(kX, kY, cache, "$APP/skin", "none", 10, 6, 1000), nullptr);
  EXPECT_FALSE(from_file.init_from_file(kX, kY, skin, "none", 10, 6, 1000));
  for (SCROLLING_BACKGROUND* bg : {&from_cache, &from_file}) {
    fake_now = 1000;
    bg->reset();
    fake_now = 1250;
    EXPECT_FALSE(bg->update());
    EXPECT_EQ(drawn(*bg), expected(IMAGE(), 0, 0));
  }
}

}  // namespace
