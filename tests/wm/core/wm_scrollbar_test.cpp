// Scroll bars on the headless screen: slider drags, button and track presses
// with repeats on the fake clock, keys while focused and the wheel while the
// bar is the scroll target, always within the range; short bars clamped; the
// colour look and a skin-frame look from pictures the test writes.
#include "wm_scrollbar.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "errors.h"
#include "input.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "skin_test_support.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

// Both test bars lie 16 pixels across at 10..25 and 100 along at 10..109,
// with 15-pixel buttons (10..24 and 95..109), a 20-pixel slider and a track
// of 25..94, so the slider travels 50 pixels; at value 50 of 0..100 it
// covers 50..69 either way round.
constexpr int16_t kAcross = 17;
constexpr int16_t kOff = 150;

std::unique_ptr<WM_SCROLLBAR> make_bar(PARAMETER& variable, bool vertical, int32_t value,
                                       const COLOUR* colours = nullptr, uint8_t look = 0) {
  variable.set_type(PARAMETER::I32);
  variable.set_int(PARAMETER::MAXIMUM, 100);
  variable.set_int(PARAMETER::VALUE, value);
  const COLOUR* c = colours;
  auto bar = std::make_unique<WM_SCROLLBAR>(
      10, 10, vertical ? 25 : 109, vertical ? 109 : 25, 20, 15, &variable,
      vertical ? SCROLLBAR_TYPE::VERTICAL_WITH_BUTTONS : SCROLLBAR_TYPE::HORIZONTAL_WITH_BUTTONS,
      look, c, c ? c + 1 : nullptr, c ? c + 2 : nullptr, c ? c + 3 : nullptr, true, nullptr, 0, 0);
  bar->line_step = 1;
  bar->page_step = 10;
  bar->selectable = 1;
  return bar;
}

enum OP { MOVE, MOVE_OFF, PRESS, RELEASE, WAIT, KEY, CONTROL, WHEEL, FOCUS };
struct STEP {
  OP op;
  int64_t arg;
  int64_t expect;  // the value after the step's frame
};
struct SCENARIO {
  const char* name;
  bool vertical;
  int64_t minimum, maximum, start;
  std::vector<STEP> steps;
};

class ScrollbarInput : public wm_test::ToolkitTest {
protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    set_message_box_handler(message_box_to_stderr);
  }
};

TEST_F(ScrollbarInput, PointerKeysAndWheelMoveTheValueWithinItsRange) {
  const SCENARIO scenarios[] = {
      // The more button is at the top of a vertical bar: one step at the
      // press, the next after 500 ms, then one every 60 ms.
      {"vertical more button repeats", true, 0, 100, 50,
       {{MOVE, 15, 50}, {PRESS, 0, 51}, {WAIT, 499, 51}, {WAIT, 1, 52}, {WAIT, 59, 52},
        {WAIT, 1, 53}, {WAIT, 60, 54}, {RELEASE, 0, 54}, {WAIT, 600, 54}}},
      {"horizontal less button repeats", false, 0, 100, 50,
       {{MOVE, 15, 50}, {PRESS, 0, 49}, {WAIT, 500, 48}, {WAIT, 60, 47}, {RELEASE, 0, 47}}},
      // Sliding off stops the repeat, and coming back without a new press
      // does not start it again.
      {"held button slid off and back", true, 0, 100, 50,
       {{MOVE, 100, 50}, {PRESS, 0, 49}, {MOVE_OFF, 0, 49}, {WAIT, 600, 49}, {MOVE, 100, 49},
        {WAIT, 600, 49}, {RELEASE, 0, 49}}},
      {"vertical track pages", true, 0, 100, 50,
       {{MOVE, 30, 50}, {PRESS, 0, 60}, {RELEASE, 0, 60}, {MOVE, 90, 60}, {PRESS, 0, 50},
        {WAIT, 500, 40}, {RELEASE, 0, 40}}},
      // The track's first and last pixels page; the buttons' pixels next
      // to them step a line.
      {"vertical track ends", true, 0, 100, 50,
       {{MOVE, 94, 50}, {PRESS, 0, 40}, {RELEASE, 0, 40}, {MOVE, 95, 40}, {PRESS, 0, 39}, {RELEASE, 0, 39},
        {MOVE, 25, 39}, {PRESS, 0, 49}, {RELEASE, 0, 49}, {MOVE, 24, 49}, {PRESS, 0, 50}, {RELEASE, 0, 50}}},
      {"horizontal track pages", false, 0, 100, 50,
       {{MOVE, 30, 50}, {PRESS, 0, 40}, {RELEASE, 0, 40}, {MOVE, 90, 40}, {PRESS, 0, 50},
        {RELEASE, 0, 50}}},
      // A press on the slider's first pixel writes nothing; the drag follows
      // the pointer and ends exactly at the ends past the track, and within
      // one pixel of either end of the travel.
      {"vertical drag", true, 0, 100, 50,
       {{MOVE, 50, 50}, {PRESS, 0, 50}, {MOVE, 60, 30}, {MOVE, 27, 96}, {MOVE, 26, 100},
        {MOVE, 73, 4}, {MOVE, 74, 0}, {MOVE, 0, 100}, {MOVE, 149, 0}, {RELEASE, 0, 0},
        {MOVE, 60, 0}}},
      {"horizontal drag", false, 0, 100, 50,
       {{MOVE, 69, 50}, {PRESS, 0, 50}, {MOVE, 79, 70}, {MOVE, 199, 100}, {MOVE, 0, 0},
        {RELEASE, 0, 0}}},
      // Ranges too wide for 32-bit products still place the value.
      {"vertical drag over the whole i32 range", true, INT32_MIN, INT32_MAX, INT32_MAX,
       {{MOVE, 30, INT32_MAX}, {PRESS, 0, INT32_MAX}, {MOVE, 55, 0}, {MOVE, 149, INT32_MIN}}},
      {"horizontal drag over the whole i32 range", false, INT32_MIN, INT32_MAX, INT32_MIN,
       {{MOVE, 30, INT32_MIN}, {PRESS, 0, INT32_MIN}, {MOVE, 55, -1}, {MOVE, 149, INT32_MAX}}},
      {"vertical keys while focused", true, 0, 100, 50,
       // Unfocused, the bar leaves Up in the queue; it takes it once focused.
       {{KEY, 0xFF52, 50}, {FOCUS, 0, 51}, {KEY, 0xFF52, 52}, {KEY, 0xFF54, 51},
        {KEY, 0xFF55, 61}, {KEY, 0xFF56, 51}, {CONTROL, 1, 51}, {KEY, 0xFF52, 51},
        {KEY, 0xFF50, 100}, {KEY, 0xFF57, 0}, {KEY, 0xFF54, 0}, {CONTROL, 0, 0},
        {KEY, 0xFF54, 0}, {KEY, 0xFF55, 10}, {KEY, 0xFF50, 10}}},
      {"horizontal keys while focused", false, 0, 100, 50,
       {{FOCUS, 0, 50}, {KEY, 0xFF53, 51}, {KEY, 0xFF51, 50}, {KEY, 0xFF57, 100},
        {KEY, 0xFF50, 0}, {CONTROL, 1, 0}, {KEY, 0xFF53, 0}}},
      {"wheel while scroll target", true, -20, 20, 0,
       {{WHEEL, 3, 3}, {WHEEL, -1, 2}, {WHEEL, 100, 20}, {WHEEL, -100, -20}}},
  };
  for (const SCENARIO& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    test_support::INPUT_DRIVER input(0x100000000ull - 300);  // repeats cross the clock's wrap
    PARAMETER variable;
    auto bar = make_bar(variable, sc.vertical, 0);
    variable.set_int(PARAMETER::MINIMUM, static_cast<int32_t>(sc.minimum));
    variable.set_int(PARAMETER::MAXIMUM, static_cast<int32_t>(sc.maximum));
    variable.set_int(PARAMETER::VALUE, static_cast<int32_t>(sc.start));
    bar->process();
    auto to = [&](int32_t a) {
      if (sc.vertical) input.move_to(kAcross, a);
      else input.move_to(a, kAcross);
    };
    for (size_t i = 0; i < sc.steps.size(); ++i) {
      const STEP& s = sc.steps[i];
      switch (s.op) {
        case MOVE: to(static_cast<int32_t>(s.arg)); break;
        case MOVE_OFF: input.move_to(kOff, kOff - 10); break;
        case PRESS: input.press(1); break;
        case RELEASE: input.release(1); break;
        case WAIT: input.advance_ms(static_cast<uint64_t>(s.arg)); break;
        case KEY: input.key(static_cast<uint32_t>(s.arg)); break;
        case CONTROL:
          if (s.arg) wm_test::held_keys.insert(0xFFE3);
          else wm_test::held_keys.erase(0xFFE3);
          break;
        case WHEEL: input.turn_wheel(static_cast<int32_t>(s.arg)); break;
        case FOCUS: bar->set_focus(); break;
      }
      bar->process();
      // A key is taken by the focused bar; Home and End on a vertical bar
      // only with Control.
      if (s.op == KEY) {
        const bool home_or_end = s.arg == 0xFF50 || s.arg == 0xFF57;
        const bool taken = bar->focus_object == bar.get() &&
                           (!sc.vertical || !home_or_end || wm_test::held_keys.count(0xFFE3));
        EXPECT_EQ(key_queue.peek_last_key(), taken ? 0u : static_cast<uint32_t>(s.arg)) << "step " << i;
      }
      const int32_t v = variable.get_int(PARAMETER::VALUE);
      EXPECT_EQ(v, s.expect) << "step " << i;
      EXPECT_GE(v, sc.minimum);
      EXPECT_LE(v, sc.maximum);
    }
    key_queue.get_last_key();
    wm_test::held_keys.clear();
  }
}

TEST_F(ScrollbarInput, TheScrollTargetFollowsThePointerAndDiesWithItsBar) {
  test_support::INPUT_DRIVER input;
  PARAMETER a_value, b_value;
  auto a = make_bar(a_value, true, 50);
  EXPECT_EQ(WM_SCROLLBAR::scroll_target(), a.get());
  b_value.set_type(PARAMETER::I32);
  b_value.set_int(PARAMETER::MAXIMUM, 1);
  auto b = std::make_unique<WM_SCROLLBAR>(40, 10, 55, 109, 20, 15, &b_value,
                                          SCROLLBAR_TYPE::VERTICAL, 0, nullptr, nullptr, nullptr,
                                          nullptr, true, nullptr, 0, 0);
  EXPECT_EQ(WM_SCROLLBAR::scroll_target(), b.get());
  input.turn_wheel(2);  // given before the pointer reaches a: discarded
  input.move_to(kAcross, 60);
  a->process();
  EXPECT_EQ(WM_SCROLLBAR::scroll_target(), a.get());
  EXPECT_EQ(a_value.get_int(PARAMETER::VALUE), 50);
  input.turn_wheel(2);
  a->process();
  EXPECT_EQ(a_value.get_int(PARAMETER::VALUE), 52);
  a.reset();
  EXPECT_EQ(WM_SCROLLBAR::scroll_target(), nullptr);
}

TEST_F(ScrollbarInput, ABarTooShortForItsPartsIsClampedNotFatal) {
  const struct {
    int16_t length, slider, buttons;
    bool with_buttons;
    int32_t button_extent, slider_extent, travel;
  } rows[] = {
      {100, 20, 15, true, 15, 20, 50},  // fits
      {30, 20, 15, true, 5, 20, 0},     // buttons give way to the slider
      {12, 20, 15, true, 0, 12, 0},     // then the slider to the track
      {12, 20, 15, false, 0, 12, 0},    // a slider longer than the track
      {100, 2, 15, false, 0, 4, 96},    // a slider below the minimum grows
      {1, 20, 15, true, 0, 3, 0},       // a bar thinner than 3 grows to 3
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.length);
    PARAMETER v;
    v.set_type(PARAMETER::I32);
    v.set_int(PARAMETER::MAXIMUM, 100);
    WM_SCROLLBAR bar(10, 10, 25, static_cast<int16_t>(10 + r.length - 1), r.slider, r.buttons, &v,
                     r.with_buttons ? SCROLLBAR_TYPE::VERTICAL_WITH_BUTTONS
                                    : SCROLLBAR_TYPE::VERTICAL,
                     0, nullptr, nullptr, nullptr, nullptr, true, nullptr, 0, 0);
    EXPECT_EQ(std::tuple(bar.get_button_extent(), bar.get_slider_extent(), bar.get_travel()),
              std::tuple(r.button_extent, r.slider_extent, r.travel));
    // Value 0 puts a vertical bar's slider at the bottom of its track.
    EXPECT_EQ(bar.get_slider_start(), 10 + r.button_extent + r.travel);
    // Presses and drawing on it stay inside the range and the bar.
    test_support::INPUT_DRIVER input;
    input.move_to(17, 11);
    input.press(1);
    bar.process();
    bar.draw();
    EXPECT_TRUE(v.get_int(PARAMETER::VALUE) >= 0 && v.get_int(PARAMETER::VALUE) <= 100);
  }
  // A style's slider wider than any coordinate fills the whole track.
  WM_STYLE_SET huge;
  huge.scrollbar_slider_width = 40000;
  PARAMETER h;
  h.set_type(PARAMETER::I32);
  h.set_int(PARAMETER::MAXIMUM, 100);
  EXPECT_EQ(WM_SCROLLBAR(10, 10, 25, 109, &h, &huge, nullptr, 0, 0).get_slider_extent(), 100);
  // Made narrower only, a horizontal bar lays its parts out again.
  const auto narrowed = make_bar(h, false, 0);
  narrowed->set_size(60, 16, false);
  EXPECT_EQ(narrowed->get_travel(), 10);
  dirty_rectangles().clear();
  narrowed->set_slider_length(30);  // shown at the next paint
  ASSERT_EQ(dirty_rectangles().count(), 1);
  EXPECT_EQ(dirty_rectangles().entry(0), (RECT{10, 10, 69, 25}));
  // A range of one still takes the slider from one end of the track to the other.
  PARAMETER one;
  const auto bar = make_bar(one, true, 0);
  one.set_int(PARAMETER::MAXIMUM, 1);
  for (const auto& [value, start] : {std::pair{0, 75}, {1, 25}}) {
    one.set_int(PARAMETER::VALUE, value);
    EXPECT_EQ(bar->get_slider_start(), start) << value;
  }
}

TEST_F(ScrollbarInput, AVariableItCannotEditEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    uint32_t type;
    int32_t maximum;
    bool null_variable;
    const char* code;
    uint32_t bar_type = 2;  // vertical; 4 is none
  } rows[] = {{PARAMETER::I32, 0, false, "0070"}, {PARAMETER::I32, 10, true, "0072"},
              {PARAMETER::POINTER, 10, false, "0073"}, {PARAMETER::I32, 10, false, "0074", 4}};
  for (const auto& r : rows) {
    PARAMETER v;
    v.set_type(r.type);
    v.set_int(PARAMETER::MAXIMUM, r.maximum);
    EXPECT_EXIT(WM_SCROLLBAR(0, 0, 15, 99, 10, 15, r.null_variable ? nullptr : &v,
                             SCROLLBAR_TYPE(r.bar_type), 0, nullptr, nullptr, nullptr, nullptr, true,
                             nullptr, 0, 0),
                ::testing::ExitedWithCode(255), r.code);
  }
}

// ---- Looks -----------------------------------------------------------------

constexpr COLOUR kScreen = 0xFF202020;

void clear_screen() {
  const COLOUR c = kScreen;
  get_screen_image()->fill_rect_solid(0, 0, 199, 149, &c);
}

// The colour look, whole: a bar along above one across, each at its
// maximum (the slider at the top, at the right): bar, slider with a line
// of the theme's inner outline at its ends and two pixels of bar beside
// it, buttons with their arrows, nothing outside; then with the arrow,
// slider and outline colours unset, which draw nothing.
TEST_F(ScrollbarInput, TheColourLookShowsBarSliderButtonsAndArrows) {
  const COLOUR colours[4] = {0xFF0000C0, 0xFF00C000, 0xFF909090, 0xFFE00000};
  for (const bool unset : {false, true}) {
    clear_screen();
    for (const bool vertical : {true, false}) {
      PARAMETER v;
      auto bar = make_bar(v, vertical, 100, colours);
      if (!vertical) bar->set_position(30, 120);
      if (unset) bar->arrow_colour = bar->slider_colour = border_theme.inner_outline = COLOUR_INVISIBLE;
      bar->draw();
    }
    EXPECT_TRUE(test_support::picture_matches_reference("core4", unset ? "scroll_bar_colours_unset" : "scroll_bar_colours",
                                                        *get_screen_image()));
    border_theme = WM_BORDER_THEME{};
  }
}

class ScrollbarSkin : public test_support::ScratchSkinTest {
protected:
  ScrollbarSkin() : ScratchSkinTest("scrollbar_test") {}
  void SetUp() override {
    ScratchSkinTest::SetUp();
    set_screen_size(0, 0);
    set_screen_size(200, 150);
    dirty_rectangles().clear();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    WM_SCREEN_OBJECT::set_key_down_function(wm_test::fake_key_down);
  }
  void TearDown() override {
    WM_SCREEN_OBJECT::set_key_down_function(nullptr);
    ScratchSkinTest::TearDown();
  }
};

// Frame i is a plain picture of colour 0xFF000000 + (i + 1) * 0x0F0F01.
COLOUR frame_colour(int i) { return 0xFF000000u + static_cast<COLOUR>(i + 1) * 0x0F0F01u; }

TEST_F(ScrollbarSkin, TheSkinLookPicksEachPartsFrameByState) {
  const char* names[] = {"bar",           "bar_disabled",   "bar_over",    "slider_up",
                         "slider_down",   "slider_disabled", "slider_over", "less_up",
                         "less_down",     "less_disabled",   "less_over",   "more_up",
                         "more_down",     "more_disabled",   "more_over"};
  for (int i = 0; i < WM_SCROLLBAR::FRAME_COUNT; ++i) {
    IMAGE picture(4, 4);
    const COLOUR c = frame_colour(i);
    picture.fill_rect_solid(0, 0, 3, 3, &c);
    ASSERT_NO_FATAL_FAILURE(save(std::string("sb_") + names[i], picture));
  }
  test_support::INPUT_DRIVER input;
  PARAMETER v;
  auto bar = make_bar(v, true, 50);
  EXPECT_FALSE(bar->images_complete());
  ASSERT_TRUE(bar->load_images(skin, "sb", nullptr));

  using F = WM_SCROLLBAR::FRAME;
  // (more button, track, slider, less button) probed at along 17, 30, 60, 100.
  const struct {
    const char* state;
    int16_t pointer_along;  // 150 = away
    bool press, disabled;
    F more, track, slider, less;
  } rows[] = {
      {"over the more button", 17, false, false, F::MORE_OVER, F::BAR_OVER, F::SLIDER_UP,
       F::LESS_UP},
      {"idle", 150, false, false, F::MORE_UP, F::BAR, F::SLIDER_UP, F::LESS_UP},
      {"over the bar's last pixel", 109, false, false, F::MORE_UP, F::BAR_OVER, F::SLIDER_UP,
       F::LESS_OVER},
      {"over the slider", 60, false, false, F::MORE_UP, F::BAR_OVER, F::SLIDER_OVER, F::LESS_UP},
      {"less button held", 100, true, false, F::MORE_OVER, F::BAR_OVER, F::SLIDER_OVER,
       F::LESS_DOWN},
      {"slider dragged", 60, true, false, F::MORE_OVER, F::BAR_OVER, F::SLIDER_DOWN, F::LESS_OVER},
      {"disabled", 150, false, true, F::MORE_DISABLED, F::BAR_DISABLED, F::SLIDER_DISABLED,
       F::LESS_DISABLED},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.state);
    v.set_int(PARAMETER::VALUE, 50);
    bar->enabled = r.disabled ? 0 : 1;
    bar->invalidate();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    input.release(1);
    // Painted whole over the track, then moved to the row's place: the bar
    // repaints the one part whose look that changes.
    input.move_to(17, 30);
    bar->process();
    wm_test::paint_table(bar.get());
    input.move_to(17, r.pointer_along);
    if (r.press) input.press(1);
    bar->process();
    v.set_int(PARAMETER::VALUE, 50);  // the slider stays at 50..69 for the probes
    bar->process();
    wm_test::paint_table(bar.get());
    EXPECT_EQ((std::vector<COLOUR>{pixel(17, 17), pixel(17, 30), pixel(17, 60), pixel(17, 100)}),
              (std::vector<COLOUR>{frame_colour(r.more), frame_colour(r.track), frame_colour(r.slider),
                                   frame_colour(r.less)}));
  }
  input.release(1);
  bar->process();
  // The same frames taken from a style that has loaded them.
  WM_STYLE_SET style;
  style.set_image_filename("sb");
  strcpy(style.image_path, "$APP/skin");
  style.load_images();
  auto styled = make_bar(v, true, 50);
  ASSERT_TRUE(styled->load_images(skin, "none", &style));
  styled->draw();
  EXPECT_EQ(std::pair(pixel(17, 30), pixel(17, 60)), std::pair(frame_colour(F::BAR), frame_colour(F::SLIDER_UP)));
  // Loading under a name that has no pictures leaves none of the old ones.
  style.set_image_filename("none");
  style.load_images();
  EXPECT_EQ(style.state_images[STYLE_IMAGE_BAR], nullptr);
}

}  // namespace
