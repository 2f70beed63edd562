// The range selector on the headless screen: its label formats, which
// buttons it enables and where they lead, changes made elsewhere showing on
// the next frame, and pointer clicks that step the value and call back once.
#include "wm_range_selector.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "input_driver.h"
#include "picture_compare.h"
#include "wm_button.h"
#include "wm_grid.h"
#include "wm_kinds.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

class RangeSelector : public wm_test::TextSkinTest {
protected:
  RangeSelector() : TextSkinTest("range_selector_test", 400, 200) {
    value.set_type(PARAMETER::I32);
  }
  void set_range(int32_t lower, int32_t current, int32_t upper) {
    value.set_int(PARAMETER::MINIMUM, INT_MIN);
    value.set_int(PARAMETER::MAXIMUM, upper);
    value.set_int(PARAMETER::MINIMUM, lower);
    value.set_int(PARAMETER::VALUE, current);
  }
  void frame() {
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
    s->process();
  }
  std::string label() const { return s->get_label()->text.get_text(PARAMETER::VALUE); }
  // Each button's target value, in brackets when it is disabled.
  std::string buttons() const {
    std::string out;
    for (auto c : {WM_RANGE_SELECTOR::FIRST, WM_RANGE_SELECTOR::PREVIOUS, WM_RANGE_SELECTOR::NEXT,
                   WM_RANGE_SELECTOR::LAST}) {
      const WM_BUTTON* b = s->get_button(c);
      EXPECT_EQ(b->action_word_1, reinterpret_cast<uintptr_t>(s.get()));
      const std::string target = std::to_string(static_cast<intptr_t>(b->action_word_2));
      out += (out.empty() ? "" : " ") + (b->enabled ? target : "[" + target + "]");
    }
    return out;
  }
  static int32_t count_call(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2) {
    calls += object && word_1 == 11 && word_2 == 22 ? 1 : 100;
    return 0;
  }
  static inline int calls = 0;

  test_support::INPUT_DRIVER input;
  PARAMETER value;
  const COLOUR face = 0xFF4060A0, ink = 0xFFFFFFFF;
  std::unique_ptr<WM_RANGE_SELECTOR> s{
      new WM_RANGE_SELECTOR(10, 10, 309, 39, &value, &face, &ink, count_call, 11, 22, nullptr)};
};

}  // namespace

TEST_F(RangeSelector, ShowsItsFormatAndAimsItsButtonsAtTheLimits) {
  EXPECT_TRUE(s->kind & wm_kind::RANGE_SELECTOR);
  // Both corners are inside; a selector given backwards still takes a pixel.
  WM_RANGE_SELECTOR dot(5, 5, 5, 4, &value, &face, &ink, count_call, 11, 22, nullptr);
  EXPECT_EQ((std::vector<int>{s->width, s->height, dot.width, dot.height}), (std::vector<int>{300, 30, 1, 1}));
  const struct {
    const char* format;
    int32_t lower, current, upper;
    const char* shown;
    const char* buttons;
  } rows[] = {
      {nullptr, 1, 3, 10, "1<3<10", "1 2 4 10"},
      {nullptr, 1, 1, 1, "1<1<1", "[1] [1] [1] [1]"},
      {"%x%s %d", 1, 10, 10, "xs d", "1 9 [10] [10]"},
      {"Page %c of %u", 1, 2, 7, "Page 2 of 7", "1 1 3 7"},
      {"100%% of %u", -5, -5, 5, "100% of 5", "[-5] [-5] -4 5"},
      // A final "%" stands for itself.
      {"%c%", 0, 4, 5, "4%", "0 3 5 5"},
      {"%", 0, 0, 0, "%", "[0] [0] [0] [0]"},
      {"%l..%c..%u", INT_MIN, INT_MIN, INT_MAX, "-2147483648..-2147483648..2147483647",
       "[-2147483648] [-2147483648] -2147483647 2147483647"},
  };
  for (const auto& r : rows) {
    set_range(r.lower, r.current, r.upper);
    s->set_format(r.format ? r.format : WM_RANGE_SELECTOR::DEFAULT_FORMAT);
    s->update_buttons();
    EXPECT_EQ(label(), r.shown);
    EXPECT_EQ(buttons(), r.buttons) << r.shown;
  }
}

TEST_F(RangeSelector, FollowsOutsideChangesInTheNextFrame) {
  set_range(1, 4, 9);
  EXPECT_EQ(label(), "0<0<0");  // nothing yet
  frame();
  EXPECT_EQ(label(), "1<4<9");
  value.set_int(PARAMETER::MAXIMUM, 4);  // only a limit moves
  frame();
  EXPECT_EQ(label(), "1<4<4");
  EXPECT_EQ(buttons(), "1 3 [4] [4]");
}

// The colour form fires on the press, the style form on the release; each
// click steps once and calls the owner once with its own words.
TEST_F(RangeSelector, ClicksStepTheValueAndCallBackOnce) {
  const WM_STYLE_SET* styles[WM_RANGE_SELECTOR::COLUMNS] = {};  // the defaults
  for (bool colour_form : {true, false}) {
    calls = 0;
    set_range(1, 3, 10);
    if (!colour_form)
      s.reset(new WM_RANGE_SELECTOR(10, 10, 309, 39, &value, styles, count_call, 11, 22, nullptr));
    frame();
    EXPECT_EQ(s->get_button(WM_RANGE_SELECTOR::LAST)->event_mask, colour_form ? 5 : 6);
    s->grid->draw();  // lays the row out over the whole selector
    int clicks = 0;
    for (auto [column, after] :
         {std::pair{WM_RANGE_SELECTOR::LAST, 10}, {WM_RANGE_SELECTOR::PREVIOUS, 9}}) {
      const WM_BUTTON* b = s->get_button(column);
      EXPECT_GT(b->height, 20);
      input.move_to(b->x + b->width / 2, b->y + b->height / 2);
      frame();
      input.press(1);
      frame();
      EXPECT_EQ(calls, colour_form ? clicks + 1 : clicks) << colour_form;
      input.advance_ms(50);
      input.release(1);
      frame();
      EXPECT_EQ(calls, ++clicks) << colour_form;
      EXPECT_EQ(value.get_int(PARAMETER::VALUE), after);
    }
    EXPECT_EQ(label(), "1<9<10");
    input.move_to(-1, -1);
    value.set_int(PARAMETER::VALUE, 10);
    frame();
    // The whole row as the user sees it: the label's wide column, the
    // buttons' texts, the two that lead upwards disabled at the top.
    const COLOUR back = 0xFF000000;
    get_screen_image()->clear(&back, true);
    s->invalidate();
    wm_test::paint_table(s.get());
    EXPECT_TRUE(test_support::picture_matches_reference(
        "extra2", colour_form ? "range_selector_colour" : "range_selector_style", *get_screen_image()));
  }
}
