// Sprites and animations in memory on the fake frame clock: frames cut from
// a strip of four solid colours, the frame time, the wrap and the one-shot
// play, frames centred in a larger widget on the surface of the moment,
// backgrounds kept and put back, overlaps, and the fatal errors.
#include "wm_animation.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "errors.h"
#include "input.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kFrames[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
constexpr COLOUR kScreen = 0xFF303030;

class Animation : public wm_test::TextSkinTest {
protected:
  Animation() : TextSkinTest("animation_test", 200, 100) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    strip.create(120, 20);  // four 30 x 20 frames
    for (int16_t i = 0; i < 4; ++i)
      strip.fill_rect_solid(static_cast<int16_t>(i * 30), 0, static_cast<int16_t>(i * 30 + 29), 19,
                            &kFrames[i]);
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 199, 99, &c);
    at(0);
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

TEST_F(Animation, StepsOnceAFrameTimeWrapsAndDrawsEachFrameFromTheStrip) {
  WM_ANIMATION a(10, 20, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  EXPECT_EQ(a.kind, wm_kind::ANIMATION);
  EXPECT_EQ(a.width, 30);
  EXPECT_EQ(a.height, 20);
  a.update(false);  // the first tick always steps
  const std::pair<uint64_t, int16_t> steps[] = {{50, 2},  {100, 2}, {101, 3}, {201, 3},
                                                {202, 4}, {400, 1}, {450, 1}, {501, 2}};
  for (const auto& [ms, frame] : steps) {
    at(ms);
    const bool changes = a.get_sprite().get_frame() != frame;
    EXPECT_EQ(a.tick(), changes) << ms;
    a.draw();
    for (int16_t px : {10, 39})
      for (int16_t py : {20, 39}) EXPECT_EQ(wm_test::pixel(px, py), kFrames[frame - 1]) << ms;
    EXPECT_EQ(wm_test::pixel(40, 20), kScreen);
  }
  // On a clock that starts at 0 the first step waits a whole frame time too.
  WM_ANIMATION fresh(0, 0, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  std::string ticks;
  for (uint32_t clock : {0u, 100u, 101u}) ticks += (WM_SCREEN_OBJECT::set_frame_clock(clock), fresh.tick()) ? '+' : '-';
  EXPECT_EQ(ticks, "--+");
}

TEST_F(Animation, PlayingOnceRunsThroughTheFramesAndStopsOnTheFirst) {
  WM_ANIMATION a(0, 0, &strip, 4, 10, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  a.play_once = 1;
  std::vector<int> shown;
  for (uint64_t ms = 0; ms <= 88; ms += 11) {
    at(ms);
    if (a.tick()) shown.push_back(a.get_sprite().get_frame());
  }
  EXPECT_EQ(shown, (std::vector<int>{2, 3, 4, 1}));
  EXPECT_EQ(a.playing, 0);
}

TEST_F(Animation, ALargerWidgetCentresTheFrameOnTheSurfaceOfTheMoment) {
  WM_ANIMATION a(100, 40, &strip, 4, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
  a.set_size(41, 31, false);  // 11 to spare each way: 5 before
  a.draw();
  EXPECT_EQ(wm_test::pixel(105, 45), kFrames[0]);
  EXPECT_EQ(wm_test::pixel(134, 64), kFrames[0]);
  for (auto [px, py] : {std::pair<int16_t, int16_t>{104, 45}, {135, 64}, {105, 65}})
    EXPECT_EQ(wm_test::pixel(px, py), kScreen);
  COLOUR under = kScreen;
  EXPECT_TRUE(a.get_sprite().background_has_colour(&under));  // kept from the screen
  // Drawn into a back buffer while the page manager points drawing there.
  IMAGE buffer(200, 100);
  WM_SCREEN_OBJECT::set_drawing_surface(&buffer);
  a.draw();
  WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
  COLOUR c = 0;
  buffer.get_pixel(105, 45, &c);
  EXPECT_EQ(c, kFrames[0]);
  // A border goes round the whole widget, not the frame.
  a.border_flags = border_flag::ALL_SIDES;
  a.draw();
  EXPECT_TRUE(test_support::picture_matches_reference("extra2", "animation_border", *get_screen_image()));
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
  // The area is x 35..64, y 5..24: its corners count, a pixel beyond does not.
  const COLOUR dot = 0xFF123456;
  for (auto [px, py, found] : {std::tuple{35, 5, true}, {64, 24, true}, {65, 24, false},
                               {64, 25, false}, {34, 5, false}, {35, 4, false}}) {
    const auto x = static_cast<int16_t>(px), y = static_cast<int16_t>(py);
    target.fill_rect_solid(x, y, x, y, &dot);
    EXPECT_EQ(sprite.background_has_colour(&dot), found) << px << "," << py;
    target.fill_rect_solid(x, y, x, y, &grey);
  }
  // With no target every place counts as unset, down to a one-row strip.
  IMAGE one_row(8, 1);
  SPRITE loose;
  loose.init(nullptr, &one_row, 2);
  const COLOUR unset = 0;
  EXPECT_TRUE(loose.background_has_colour(&unset));
  EXPECT_FALSE(loose.background_has_colour(&white));
  loose.draw(true);  // and drawing with no target does nothing
  const auto at_ = [&](int16_t px, int16_t py) {
    COLOUR c = 0;
    target.get_pixel(px, py, &c);
    return c;
  };
  sprite.draw(true);
  EXPECT_EQ(at_(45, 15), blue);  // frame 3 comes from x = 60 of the strip
  sprite.restore_background();
  EXPECT_FALSE(sprite.holds_background());
  EXPECT_EQ(at_(45, 15), white);
  EXPECT_EQ(at_(36, 6), grey);
  // Part of a frame: its own block of the strip, the whole background.
  sprite.set_frame(0, 30, 2);
  sprite.draw_part(10, 5, 8, 4, true);
  EXPECT_EQ(at_(0, 30), kFrames[1]);
  EXPECT_EQ(at_(8, 30), grey);
  sprite.restore_background();
  EXPECT_EQ(at_(0, 30), grey);
  sprite.set_frame(0, 0, 5);  // beyond the strip: ignored
  EXPECT_EQ(sprite.get_frame(), 2);
  // A frame is copied as it is, see-through pixels included, not blended.
  const COLOUR glass = 0x80FF0000, clear = 0;
  strip.fill_rect_solid(90, 0, 94, 19, &glass);
  strip.fill_rect_solid(95, 0, 99, 19, &clear);
  sprite.set_frame(50, 30, 4);
  sprite.draw(false);
  EXPECT_EQ(at_(50, 30), glass);
  EXPECT_EQ(at_(55, 30), clear);
  EXPECT_EQ(at_(60, 30), kFrames[3]);
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

// A press fires once, not every frame while the button is held.
TEST_F(Animation, AnAnimationDeletedByItsOwnClickCallbackIsLeftAlone) {
  auto* a = new WM_ANIMATION(0, 0, &strip, 4, 100, true, [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
    return mouse.buttons ? 3 : (delete o, 7);
  }, 0, 0, CLICK_MODE::ON_BOTH);
  input.move_to(10, 10);
  input.press(1);
  EXPECT_EQ(a->process(), 3);
  EXPECT_EQ(a->process(), 0);
  input.release(1);
  EXPECT_EQ(a->process(), 7);
}

TEST(AnimationDeath, ABadFrameCountOrNoStripEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  IMAGE strip(40, 10);
  const struct {
    const IMAGE* strip;
    int16_t frames;
    const char* message;
  } cases[] = {{&strip, 0, "0028.*Invalid number of sprite images specified"},
               {&strip, -2, "0028.*Invalid number of sprite images specified"},
               {nullptr, 4, "0029.*Unable to allocate memory for sprite image"}};
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          set_message_box_handler(message_box_to_stderr);
          WM_ANIMATION(0, 0, c.strip, c.frames, 100, true, nullptr, 0, 0, CLICK_MODE::ON_PRESS);
        },
        ::testing::ExitedWithCode(255), c.message);
  }
}

}  // namespace
