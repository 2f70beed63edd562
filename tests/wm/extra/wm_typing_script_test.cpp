// Typing labels in the headless screen on the fake millisecond clock: one
// character per interval from the first draw, characters above 255 as one,
// the callback once at the end or at a click, restarts by set_text, and the
// pixels of each step those of a plain label with the typed text.
#include "wm_typing_script.h"

#include <gtest/gtest.h>

#include <string>

#include "input_driver.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kScreen = 0xFF808080;

int calls = 0;
int32_t count_call(WM_SCREEN_OBJECT*, uintptr_t word_1, uintptr_t word_2) {
  EXPECT_EQ(word_1, 7u);
  EXPECT_EQ(word_2, 9u);
  ++calls;
  return page_action::RELOAD_PAGE;
}
int32_t delete_label(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  ++calls;
  delete object;
  return 0;
}

class TypingScript : public wm_test::TextSkinTest {
 protected:
  TypingScript() : TextSkinTest("typing_script_test", 300, 80) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    calls = 0;
    clear_screen();
  }
  void clear_screen() {
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 299, 79, &c);
  }
  static WM_STYLE_SET plain() {
    WM_STYLE_SET s;
    s.fg_colour = 0xFFFFFFFF;
    s.bg_colour = 0xFF000080;
    s.font_x_sz = s.font_y_sz = 14;
    s.drawing_flags = SSF_LEFT_JUSTIFY_TEXT;
    return s;
  }
  static void watch(WM_SCRIPT& label) {
    label.action_callback = count_call;
    label.action_word_1 = 7;
    label.action_word_2 = 9;
  }
  static std::string shown(const WM_SCRIPT& label) {
    const char* t = label.text.get_text(PARAMETER::VALUE);
    return t ? t : "(none)";
  }
  // What the label shows once ms more have passed.
  std::string after(WM_TYPING_SCRIPT& label, uint64_t ms) {
    input.advance_ms(ms);
    label.update(false);
    return shown(label);
  }
  // The label's pixels after drawing it, beside those of a plain label of
  // the same place and style that shows `expected`.
  void expect_pixels_show(WM_TYPING_SCRIPT& label, const char* expected) {
    const WM_STYLE_SET style = plain();
    clear_screen();
    const std::vector<COLOUR> typed = drawn(label);
    clear_screen();
    WM_SCRIPT reference(label.x, label.y, static_cast<int16_t>(label.x + label.width - 1),
                        static_cast<int16_t>(label.y + label.height - 1), &style, expected);
    EXPECT_TRUE(typed == drawn(reference)) << "not the pixels of \"" << expected << "\"";
  }
  test_support::INPUT_DRIVER input{1000000};
  const WM_STYLE_SET style = plain();
};

TEST_F(TypingScript, TypesOneCharacterPerIntervalFromTheFirstDraw) {
  const std::string text(50, 'x');
  WM_TYPING_SCRIPT label(10, 10, 289, 39, &style, text.c_str());
  watch(label);
  EXPECT_EQ(label.kind, wm_kind::SCRIPT);  // a label by its kind
  EXPECT_TRUE(label.is_typing());
  EXPECT_EQ(shown(label), "");
  // Never drawn: never starts.
  input.advance_ms(5000);
  EXPECT_EQ(label.update(false), 0);
  EXPECT_EQ(shown(label), "");

  label.draw();
  const struct {
    uint32_t at_ms;
    size_t characters;
  } steps[] = {{0, 0}, {19, 0}, {20, 1}, {41, 2}, {500, 25}, {999, 49}, {1000, 50}, {3000, 50}};
  const uint64_t drawn_at = input.now_ms();
  for (const auto& step : steps) {
    input.advance_ms(drawn_at + step.at_ms - input.now_ms());
    // The callback's answer is not passed up.
    EXPECT_EQ(label.update(false), 0) << step.at_ms;
    EXPECT_EQ(shown(label), text.substr(0, step.characters)) << step.at_ms;
    EXPECT_EQ(calls, step.characters == 50 ? 1 : 0) << step.at_ms;
  }
  EXPECT_FALSE(label.is_typing());
  // Drawing again starts nothing.
  label.draw();
  after(label, 2000);
  EXPECT_EQ(calls, 1);
}

TEST_F(TypingScript, PixelsShowTheTypedPrefixWithCharactersAbove255AsOne) {
  // "A", two characters of one run, "Z": four characters.
  const char* text = "A\x01,263A,263B\x01Z";
  WM_TYPING_SCRIPT label(10, 10, 289, 39, &style, text);
  label.start_delay = 100;
  watch(label);
  expect_pixels_show(label, "");
  const struct {
    uint32_t at_ms;
    const char* expected;
  } steps[] = {{119, ""},
               {120, "A"},
               {140, "A\x01,263A\x01"},
               {160, "A\x01,263A,263B\x01"},
               {179, "A\x01,263A,263B\x01"},
               {180, "A\x01,263A,263B\x01Z"}};
  const uint64_t drawn_at = input.now_ms();
  for (const auto& step : steps) {
    input.advance_ms(drawn_at + step.at_ms - input.now_ms());
    label.update(false);
    EXPECT_EQ(shown(label), step.expected) << step.at_ms;
    expect_pixels_show(label, step.expected);
  }
  EXPECT_EQ(calls, 1);
}

TEST_F(TypingScript, AClickFinishesTheTextAtOnce) {
  WM_TYPING_SCRIPT label(10, 10, 49, 39, &style, "Hello there");  // narrower than its text
  watch(label);
  label.draw();
  EXPECT_EQ(after(label, 40), "He");
  // Held outside the label: nothing.
  input.move_to(5, 5);
  input.press(1);
  label.process();
  EXPECT_EQ(shown(label), "He");
  input.release(1);
  // Held inside: the whole text and one call, whose answer is not passed up.
  input.move_to(20, 20);
  input.press(1);
  EXPECT_EQ(label.process(), 0);
  EXPECT_EQ(std::pair(shown(label), label.width), (std::pair<std::string, uint16_t>("Hello there", 40)));  // not grown
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(label.is_typing());
  label.process();
  input.release(1);
  EXPECT_EQ(after(label, 5000), "Hello there");
  EXPECT_EQ(calls, 1);
}

TEST_F(TypingScript, NothingToTypeNeverCallsBack) {
  struct ROW {
    const char* text;
    uint32_t interval;
    const char* shown_at_once;
  } rows[] = {{"", 20, ""}, {"Static", 0, "Static"}};
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.text);
    WM_TYPING_SCRIPT label(10, 10, 289, 39, "", 255, 14, 14, 0xFFFFFFFF, 0xFF000080);
    label.interval = row.interval;
    label.set_text(row.text, false);
    watch(label);
    EXPECT_FALSE(label.is_typing());
    EXPECT_EQ(shown(label), row.shown_at_once);
    label.draw();
    EXPECT_EQ(after(label, 1000), row.shown_at_once);
    EXPECT_EQ(calls, 0);
  }
}

TEST_F(TypingScript, SetTextRestartsFromAnEmptyLabel) {
  WM_TYPING_SCRIPT label(10, 10, 20, 39, &style, "First");
  watch(label);
  label.draw();
  EXPECT_EQ(after(label, 60), "Fir");
  // Grown to the new text, typed from nothing once drawn again.
  label.set_text("A longer second text", true);
  EXPECT_GT(label.width, 11);
  EXPECT_EQ(shown(label), "");
  EXPECT_EQ(after(label, 100), "");
  label.draw();
  EXPECT_EQ(after(label, 20), "A");
  EXPECT_EQ(after(label, 1000), "A longer second text");
  EXPECT_EQ(calls, 1);
}

TEST_F(TypingScript, TheCallbackMayDeleteTheLabel) {
  auto* typed_out = new WM_TYPING_SCRIPT(10, 10, 289, 39, &style, "ab");
  typed_out->action_callback = delete_label;
  typed_out->draw();
  input.advance_ms(40);
  EXPECT_EQ(typed_out->update(false), 0);

  auto* clicked = new WM_TYPING_SCRIPT(10, 10, 289, 39, &style, "ab");
  clicked->action_callback = delete_label;
  input.move_to(20, 20);
  input.press(1);
  EXPECT_EQ(clicked->process(), 0);
  input.release(1);
  EXPECT_EQ(calls, 2);
}

}  // namespace
