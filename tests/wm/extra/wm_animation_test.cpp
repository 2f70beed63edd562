// Sprites and animations in memory on the fake frame clock: frames cut from
// a strip of four solid colours, the frame time, the wrap and the one-shot
// play, frames centred in a larger widget, backgrounds kept and put back,
// the drawing surface of the moment, overlaps, and the fatal errors for a
// bad frame count or a missing strip.
#include "wm_animation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors.h"
#include "input_driver.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kFrames[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
constexpr COLOUR kScreen = 0xFF303030;

// 120 x 20: four 30-pixel frames, each one colour.
void make_strip(IMAGE& strip) {
  strip.create(120, 20);
  for (int i = 0; i < 4; ++i)
    strip.fill_rect_solid(static_cast<int16_t>(i * 30), 0, static_cast<int16_t>(i * 30 + 29), 19,
                          &kFrames[i]);
}

class Animation : public wm_test::TextSkinTest {
protected:
  Animation() : TextSkinTest("animation_test", 200, 100) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    make_strip(strip);
    clear_screen();
    at(0);
  }
  void clear_screen() {
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 199, 99, &c);
  }
  void at(uint64_t ms) {
    input.advance_ms(ms - elapsed);
    elapsed = ms;
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  test_support::INPUT_DRIVER input{1000000};
  uint64_t elapsed = 0;
  IMAGE strip;
};

TEST_F(Animation, TakesOneFramesSizeAndDrawsTheCurrentFrame) {
  WM_ANIMATION a(10, 20, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  EXPECT_EQ(a.kind, wm_kind::ANIMATION);
  EXPECT_EQ(a.width, 30);
  EXPECT_EQ(a.height, 20);
  EXPECT_FALSE(a.is_selectable());
  for (int frame = 1; frame <= 4; ++frame) {
    EXPECT_EQ(a.get_sprite().get_frame(), frame);
    a.draw();
    for (int16_t px : {10, 39})
      for (int16_t py : {20, 39}) EXPECT_EQ(wm_test::pixel(px, py), kFrames[frame - 1]) << frame;
    EXPECT_EQ(wm_test::pixel(40, 20), kScreen);
    EXPECT_EQ(wm_test::pixel(10, 40), kScreen);
    at(elapsed + 101);
    a.update(false);
  }
}

TEST_F(Animation, StepsOnceAFrameTimeAndWraps) {
  WM_ANIMATION a(0, 0, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  a.update(false);  // the first tick always steps
  EXPECT_EQ(a.get_sprite().get_frame(), 2);
  const struct {
    uint64_t ms;
    int frame;
  } steps[] = {{50, 2}, {100, 2}, {101, 3}, {150, 3}, {201, 3}, {202, 4}, {400, 1}, {450, 1},
               {501, 2}};
  for (const auto& s : steps) {
    at(s.ms);
    const bool changes = a.get_sprite().get_frame() != s.frame;
    EXPECT_EQ(a.tick(), changes) << s.ms;
    EXPECT_EQ(a.get_sprite().get_frame(), s.frame) << s.ms;
  }
}

TEST_F(Animation, PlayingOnceRunsThroughTheFramesAndStopsOnTheFirst) {
  WM_ANIMATION a(0, 0, &strip, 4, 10, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  a.play_once = 1;
  std::vector<int> shown;
  for (int i = 1; i <= 8; ++i) {
    at(static_cast<uint64_t>(i) * 11);
    if (a.tick()) shown.push_back(a.get_sprite().get_frame());
  }
  EXPECT_EQ(shown, (std::vector<int>{2, 3, 4, 1}));
  EXPECT_EQ(a.playing, 0);
  a.draw();
  EXPECT_EQ(wm_test::pixel(5, 5), kFrames[0]);
}

TEST_F(Animation, ALargerWidgetDrawsTheFrameCentredAndKeepsItsBackground) {
  WM_ANIMATION a(100, 40, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  a.set_size(41, 31, false);  // 11 and 11 to spare: 5 on the top and left
  a.draw();
  EXPECT_EQ(wm_test::pixel(105, 45), kFrames[0]);
  EXPECT_EQ(wm_test::pixel(134, 64), kFrames[0]);
  EXPECT_EQ(wm_test::pixel(104, 45), kScreen);
  EXPECT_EQ(wm_test::pixel(135, 64), kScreen);
  EXPECT_EQ(wm_test::pixel(105, 65), kScreen);
  // What lay under the frame was kept.
  SPRITE& s = a.get_sprite();
  EXPECT_TRUE(s.holds_background());
  COLOUR screen = kScreen;
  EXPECT_TRUE(s.background_has_colour(&screen));
}

TEST_F(Animation, DrawsOnTheSurfaceOfTheMoment) {
  WM_ANIMATION a(0, 0, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  IMAGE buffer(60, 40);
  WM_SCREEN_OBJECT::set_drawing_surface(&buffer);
  a.draw();
  WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
  COLOUR c = 0;
  buffer.get_pixel(0, 0, &c);
  EXPECT_EQ(c, kFrames[0]);
  EXPECT_EQ(wm_test::pixel(0, 0), kScreen);
}

TEST_F(Animation, SpritesKeepAndPutBackWhatTheyCover) {
  IMAGE target(100, 60);
  const COLOUR grey = 0xFF808080, white = 0xFFFFFFFF;
  target.fill_rect_solid(0, 0, 99, 59, &grey);
  target.fill_rect_solid(40, 10, 49, 19, &white);
  SPRITE sprite;
  sprite.init(&target, &strip, 4);
  sprite.set_frame(35, 5, 3);
  COLOUR blue = kFrames[2];
  EXPECT_FALSE(sprite.background_has_colour(&blue));
  EXPECT_TRUE(sprite.background_has_colour(&white));
  EXPECT_FALSE(sprite.holds_background());  // the test kept nothing
  sprite.draw(true);
  COLOUR c = 0;
  target.get_pixel(45, 15, &c);
  EXPECT_EQ(c, blue);  // frame 3 comes from x = 60 of the strip
  sprite.restore_background();
  target.get_pixel(45, 15, &c);
  EXPECT_EQ(c, white);
  target.get_pixel(36, 6, &c);
  EXPECT_EQ(c, grey);
  // Part of a frame: its own block of the strip, the whole background.
  sprite.set_frame(0, 30, 2);
  sprite.draw_part(10, 5, 8, 4, true);
  target.get_pixel(0, 30, &c);
  EXPECT_EQ(c, kFrames[1]);
  target.get_pixel(8, 30, &c);
  EXPECT_EQ(c, grey);
  sprite.restore_background();
  target.get_pixel(0, 30, &c);
  EXPECT_EQ(c, grey);
  // Frames outside the strip are ignored.
  sprite.set_frame(0, 0, 5);
  EXPECT_EQ(sprite.get_frame(), 2);
}

TEST_F(Animation, SpritesThatOnlyTouchDoNotOverlap) {
  SPRITE a, b;
  a.init(get_screen_image(), &strip, 4);
  b.init(get_screen_image(), &strip, 4);
  a.set_frame(50, 50, 1);
  const struct {
    int16_t x, y;
    bool overlap;
  } cases[] = {{80, 50, false}, {79, 50, true}, {20, 50, false}, {21, 50, true},
               {50, 70, false}, {50, 69, true}, {50, 30, false}, {50, 31, true}};
  for (const auto& c : cases) {
    b.set_frame(c.x, c.y, 1);
    EXPECT_EQ(a.overlaps(b), c.overlap) << c.x << "," << c.y;
    EXPECT_EQ(b.overlaps(a), c.overlap) << c.x << "," << c.y;
  }
}

TEST_F(Animation, AnAnimationDeletedByItsOwnClickCallbackIsLeftAlone) {
  static int calls = 0;
  calls = 0;
  auto* a = new WM_ANIMATION(0, 0, &strip, 4, 100, true,
                             [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
                               ++calls;
                               delete o;
                               return 7;
                             },
                             0, 0, CLICK_MODE::ON_RELEASE);
  input.move_to(10, 10);
  input.press(1);
  EXPECT_EQ(a->process(), 0);
  input.release(1);
  EXPECT_EQ(a->process(), 7);
  EXPECT_EQ(calls, 1);
}

TEST(AnimationDeath, ABadFrameCountOrNoStripEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  IMAGE strip(40, 10);
  const struct {
    const IMAGE* strip;
    int16_t frames;
    const char* message;
  } cases[] = {{&strip, 0, "Invalid number of sprite images specified"},
               {&strip, -2, "Invalid number of sprite images specified"},
               {nullptr, 4, "Unable to allocate memory for sprite image"}};
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          set_message_box_handler(message_box_to_stderr);
          SPRITE s;
          s.init(nullptr, c.strip, c.frames);
        },
        ::testing::ExitedWithCode(255), c.message);
  }
}

}  // namespace
