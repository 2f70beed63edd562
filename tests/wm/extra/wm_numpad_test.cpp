// The numeric keypad on the headless screen: keys editing i32 and f64
// variables in the 14-column field, limits and "Out Of Range", changes
// made elsewhere, the OK/Cancel protocol, the typed-character queue, a
// keypad deleted through its own callback's result, and the pixels of the
// sunken value frame and the entry row. Real clicks and typing: the X test.
#include "wm_numpad.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "input.h"
#include "wm_button.h"
#include "wm_kinds.h"
#include "wm_numpad_label.h"
#include "wm_test_fonts.h"

namespace {

std::vector<uintptr_t> answers;
int32_t answer_result = 0;
int32_t record(WM_SCREEN_OBJECT*, uintptr_t word, uintptr_t result) {
  EXPECT_EQ(word, 55u);
  answers.push_back(result);
  return answer_result;
}

class Numpad : public wm_test::TextSkinTest {
protected:
  Numpad() : TextSkinTest("numpad_test", 800, 600) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    answers.clear();
    answer_result = 0;
    key_queue.set_size(0);
    mouse.buttons = 0;
  }
  static PARAMETER make(uint32_t type, double low, double high, double start) {
    PARAMETER p;
    p.set_type(type);
    p.set_double(PARAMETER::MINIMUM, low);
    p.set_double(PARAMETER::MAXIMUM, high);
    p.set_double(PARAMETER::VALUE, start);
    return p;
  }
  // Keys by their codes; the result of the last one.
  static int32_t keys(WM_NUMPAD& pad, const std::string& codes) {
    int32_t r = 0;
    for (char c : codes) r = pad.key_pressed(static_cast<uint8_t>(c));
    return r;
  }
  static std::string shown(const WM_NUMPAD& pad) {
    return pad.get_entry()->text.get_text(PARAMETER::VALUE);
  }
  static std::string col14(const std::string& s) { return std::string(14 - s.size(), ' ') + s; }
};

constexpr char OK = WM_NUMPAD::KEY_OK, SIGN = WM_NUMPAD::KEY_SIGN, BACK = WM_NUMPAD::KEY_BACK,
               CLEAR = WM_NUMPAD::KEY_CLEAR;

}  // namespace

TEST_F(Numpad, IntegerKeysEditTheFourteenColumnFieldWithinTheLimits) {
  PARAMETER v = make(PARAMETER::I32, 0, 100, 42);
  WM_NUMPAD pad(-1, -1, &v, "Volume", nullptr, 0, {}, false);  // hidden: the value is attached too
  EXPECT_NE(pad.kind & 0x100u, 0u);
  EXPECT_EQ(pad.width, 4 * pad.get_unit() + 20);
  EXPECT_EQ(pad.height, 10 * 22 + 110);  // ten rows of the 22-pixel test font
  EXPECT_EQ(pad.key_pressed('5'), 0);  // not drawn yet: nothing happens
  pad.process();  // nor does a frame put the value into its field
  EXPECT_EQ(pad.get_field(), col14(""));
  pad.draw();
  EXPECT_EQ(pad.get_field(), col14("42"));
  EXPECT_EQ(shown(pad), col14("42"));
  EXPECT_STREQ(pad.get_upper_label()->text.get_text(PARAMETER::VALUE), "100");
  EXPECT_STREQ(pad.get_lower_label()->text.get_text(PARAMETER::VALUE), "0");
  const int32_t right = pad.get_client()->x + 4 * pad.get_unit();
  EXPECT_EQ(pad.get_upper_label()->x + pad.get_upper_label()->width, right);
  EXPECT_EQ(pad.get_entry()->x + pad.get_entry()->width, right);
  const WM_NUMPAD_LABEL hidden(0, 0, "7", 0xFFFFFFFF, 0xFF000000, false);  // made hidden: not drawn
  EXPECT_EQ(hidden.visible + hidden.needs_redraw, 0);

  const struct {
    std::string codes;
    std::string field;
    int32_t result;
    int32_t stored;
  } rows[] = {
      {"1", "1", 0, 42},                        // fresh: replaced
      {"01" + std::string(1, OK), "Out Of Range", 0, 42},
      {"7", "7", 0, 42},                        // the message goes at once
      {std::string(1, OK), "7", 2, 7},          // no callback: 2
      {std::string(1, CLEAR) + "100" + OK, "100", 2, 100},  // the limit itself
      {std::string(1, CLEAR) + ".", "", 0, 100},           // no point in integers
      {std::string(1, OK), "Out Of Range", 0, 100},        // empty
      {std::string(1, SIGN), "Out Of Range", 0, 100},      // fresh: no sign
      {std::string(1, BACK) + SIGN, "", 0, 100},          // Back on a fresh field clears
      {std::string("5") + SIGN + BACK, "-", 0, 100},
      {std::string(1, OK), "Out Of Range", 0, 100},        // a lone sign
      {"123456789012345", "23456789012345", 0, 100},       // the oldest falls off
      {std::string(1, SIGN), "23456789012345", 0, 100},    // full: no room for a sign
      {std::string(1, BACK) + BACK + SIGN, "-234567890123", 0, 100},
      {std::string(1, SIGN) + BACK, "23456789012", 0, 100},
      {std::string(1, OK), "Out Of Range", 0, 100},        // beyond 32 bits
      {std::string(1, CLEAR) + "0" + OK, "0", 2, 0},       // the lower limit itself
  };
  for (const auto& row : rows) {
    EXPECT_EQ(keys(pad, row.codes), row.result) << row.codes;
    EXPECT_EQ(pad.get_field(), col14(row.field)) << row.codes;
    EXPECT_EQ(shown(pad), col14(row.field)) << row.codes;
    EXPECT_EQ(v.get_int(PARAMETER::VALUE), row.stored) << row.codes;
  }
  // A held left button (a click's press) acts on nothing.
  mouse.buttons = MOUSE::LEFT;
  EXPECT_EQ(keys(pad, "9"), 0);
  mouse.buttons = 0;
  EXPECT_EQ(pad.get_field(), col14("0"));
}

TEST_F(Numpad, FloatingKeysAndTheCallbackProtocol) {
  PARAMETER v = make(PARAMETER::DOUBLE, -10, 10, 2.5);
  // Visible: the value is attached. A title colour barely opaque still wins.
  WM_NUMPAD pad(20, 30, &v, "Gain", record, 55, {.title_text = 0xFF000000, .title_text_override = 0x01FFFFFF}, true);
  EXPECT_EQ(pad.title_style.fg_colour, 0x01FFFFFFu);
  pad.draw();
  EXPECT_EQ(pad.get_field(), col14("2.50"));
  keys(pad, "3..5");
  EXPECT_EQ(pad.get_field(), col14("3.5"));
  keys(pad, std::string(1, SIGN));
  EXPECT_EQ(pad.get_field(), col14("-3.5"));
  answer_result = 9;
  EXPECT_EQ(keys(pad, std::string(1, OK)), 9);
  EXPECT_DOUBLE_EQ(v.get_double(PARAMETER::VALUE), -3.5);
  EXPECT_EQ(keys(pad, std::string(1, CLEAR) + "11" + OK), 0);  // out of range: no answer
  wm_test::held_keys = {0x20};  // Space held: Cancel; the callback's answer keeps the keypad up
  EXPECT_EQ(pad.process(), 9);
  wm_test::held_keys.clear();
  EXPECT_TRUE(pad.visible);
  EXPECT_EQ(answers, (std::vector<uintptr_t>{1, 0}));
  EXPECT_EQ(pad.action_word_2, 0u);
  EXPECT_DOUBLE_EQ(v.get_double(PARAMETER::VALUE), -3.5);
  // ".": a fresh field starts again.
  pad.hide(false, false);
  pad.process();
  EXPECT_FALSE(pad.is_enabled());
  pad.show();
  pad.draw();
  keys(pad, ".");
  EXPECT_EQ(pad.get_field(), col14("."));
}

TEST_F(Numpad, ChangesMadeElsewhereShowAndUnacceptedTypesEditNothing) {
  PARAMETER v = make(PARAMETER::I16, -5, 500, 3);
  WM_NUMPAD pad(-1, -1, &v, "Count", nullptr, 0, {}, true);
  pad.draw();
  keys(pad, "4");
  EXPECT_FALSE(pad.is_fresh());
  v.set_int(PARAMETER::VALUE, 321);
  pad.process();
  EXPECT_EQ(pad.get_field(), col14("321"));
  EXPECT_TRUE(pad.is_fresh());

  PARAMETER u;
  u.set_type(PARAMETER::U32);
  WM_NUMPAD none(-1, -1, &u, "Unsigned", nullptr, 0, {}, true);
  none.draw();
  EXPECT_EQ(none.get_value(), nullptr);
  EXPECT_EQ(none.key_pressed(OK), 0);
  EXPECT_EQ(none.get_field(), col14(""));
}

TEST_F(Numpad, TypedCharactersDriveTheKeysAndTheQueueIsOnlyFreedByItsMaker) {
  PARAMETER v = make(PARAMETER::I32, INT_MIN, INT_MAX, 0);
  {
    auto* pad = new WM_NUMPAD(-1, -1, &v, "Typed", nullptr, 0, {}, true);
    WM_NUMPAD second(-1, -1, &v, "Second", nullptr, 0, {}, true);
    for (WM_NUMPAD* shown : {pad, &second}) shown->draw();
    pad->process();
    EXPECT_EQ(key_queue.get_capacity(), 10);
    second.process();
    for (char c : std::string("-12-")) key_queue.on_key(static_cast<uint8_t>(c));
    for (int i = 0; i < 4; ++i) pad->process();
    EXPECT_EQ(pad->get_field(), col14("-12"));
    key_queue.on_key(8);
    pad->process();
    EXPECT_EQ(pad->get_field(), col14("-1"));
    // A character above 255 comes in its code run: taken whole, no digit
    // of its code is typed.
    key_queue.on_key_press(0x2012, 0);
    for (int i = 0; i < 3; ++i) pad->process();
    EXPECT_EQ(pad->get_field(), col14("-1"));
    EXPECT_EQ(key_queue.get_count(), 0);
    wm_test::held_keys = {0xFFFF};  // Delete held
    pad->process();
    EXPECT_EQ(pad->get_field(), col14(""));
    wm_test::held_keys = {0x20};  // Space held: without a callback, Cancel hides the keypad
    EXPECT_EQ(second.process(), 2);
    EXPECT_FALSE(second.visible);
    wm_test::held_keys.clear();
    key_queue.on_key('\n');  // an empty field is out of range: the keypad stays
    EXPECT_EQ(pad->process(), 0);
    EXPECT_TRUE(pad->visible);
    key_queue.on_key('7');
    key_queue.on_key('\n');
    pad->process();
    EXPECT_EQ(pad->process(), 2);  // Return without a callback hides the keypad
    EXPECT_EQ(v.get_int(PARAMETER::VALUE), 7);
    EXPECT_FALSE(pad->visible);
    delete pad;
    EXPECT_EQ(key_queue.get_capacity(), 10);  // the second keypad still uses it
  }
  EXPECT_EQ(key_queue.get_capacity(), 0);
  EXPECT_FALSE(WM_NUMPAD::made_key_queue());
  // A queue that was there before stays, however small.
  key_queue.set_size(1);
  {
    WM_NUMPAD pad(-1, -1, &v, "Text", nullptr, 0, {}, true);
    pad.process();
  }
  EXPECT_EQ(key_queue.get_capacity(), 1);
  key_queue.set_size(0);
}

// OK or Cancel from a held key, a typed Return or a clicked key; the
// callback deletes the keypad through its result 4 or at once itself. The
// keypad and the clicked key touch nothing of themselves afterwards (the
// sanitizer tree tells).
WM_SCREEN_OBJECT* pad_host = nullptr;
int32_t record_and_delete(WM_SCREEN_OBJECT* pad, uintptr_t word, uintptr_t result) {
  record(pad, word, result);
  pad_host->remove_overlay(pad, true, false);
  return 0;
}

TEST_F(Numpad, HeldSpaceReturnOrAClickedKeyAnswerAndTheCallbackMayDeleteTheKeypad) {
  enum HOW { HELD_SPACE, TYPED_RETURN, CLICKED_OK };
  const struct {
    HOW how;
    bool deletes_itself;
    uintptr_t answer;
  } rows[] = {{HELD_SPACE, false, 0}, {HELD_SPACE, true, 0}, {TYPED_RETURN, true, 1},
              {CLICKED_OK, true, 1},  {CLICKED_OK, false, 1}};
  for (const auto& r : rows) {
    answers.clear();
    PARAMETER v = make(PARAMETER::FLOAT, 0, 1, 0.25);
    WM_SCREEN_OBJECT root(true, nullptr, 0, 0);
    pad_host = &root;
    auto* pad = new WM_NUMPAD(-1, -1, &v, "Mix", r.deletes_itself ? record_and_delete : record, 55, {}, true);
    root.add_overlay(pad, false);
    pad->draw();
    answer_result = r.deletes_itself ? 0 : 4;  // 4: remove and delete the overlay
    EXPECT_EQ(root.process(), 0);  // the keypad switches the typed-character queue on
    if (r.how == HELD_SPACE) wm_test::held_keys = {0x20};
    if (r.how == TYPED_RETURN) key_queue.on_key('\n');
    if (r.how == CLICKED_OK) {
      WM_SCREEN_OBJECT* ok = nullptr;
      for (WM_SCREEN_OBJECT* c : pad->get_client()->children)
        if ((c->kind & wm_kind::BUTTON) && std::string(static_cast<WM_BUTTON*>(c)->get_text()) == "OK") ok = c;
      ASSERT_NE(ok, nullptr);
      mouse.x = static_cast<uint16_t>(ok->x + 2);
      mouse.y = static_cast<uint16_t>(ok->y + 2);
      mouse.buttons = MOUSE::LEFT;
      EXPECT_EQ(root.process(), page_action::HANDLED);
      mouse.buttons = 0;
    }
    const int32_t last = root.process();
    if (r.how != CLICKED_OK) { EXPECT_EQ(last, 0); }
    wm_test::held_keys.clear();
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty()) << r.how;
    EXPECT_EQ(answers, (std::vector<uintptr_t>{r.answer})) << r.how;
    EXPECT_FLOAT_EQ(static_cast<float>(v.get_double(PARAMETER::VALUE)), 0.25f);
    EXPECT_EQ(key_queue.get_capacity(), 0) << r.how;
    key_queue.set_size(0);
    root.destroy_children(true, 0, true);
  }
}

TEST_F(Numpad, TheValueFrameIsSunkenAndTheEntryRowIsClearedOnEachChange) {
  PARAMETER v = make(PARAMETER::I32, 0, 100000, 88888);
  NUMPAD_COLOURS colours;
  colours.background = 0xFF203040;
  colours.body_text = 0xFFFFFF00;
  WM_SCREEN_OBJECT root(true, nullptr, 0, 0);
  auto* p = new WM_NUMPAD(-1, -1, &v, "Pixels", nullptr, 0, colours, true);
  WM_NUMPAD& pad = *p;
  root.add_overlay(p, false);
  EXPECT_EQ(pad.body_style.bg_colour, 0xFF203040u);
  EXPECT_EQ(pad.button_style.bg_colour, 0xFF203040u);
  // Frames until the opening effect has ended.
  for (uint32_t t = 1000; (pad.is_moving() || !pad.is_enabled()) && t < 20000; t += 400) {
    WM_SCREEN_OBJECT::set_frame_clock(t);
    root.process();
    root.update(true);
    DIRTY_RECTANGLES::SCOPED_ENTRY whole(dirty_rectangles(), RECT{0, 0, 799, 599});
    root.paint_overlays();
  }
  ASSERT_TRUE(pad.is_enabled());
  IMAGE* s = get_screen_image();
  // The whole keypad as a user sees it once open.
  EXPECT_TRUE(test_support::picture_matches_reference("extra", "numpad_open", *s));
  const int16_t fh = static_cast<int16_t>(s->font_height);
  const int16_t fx1 = pad.x + 10, fy1 = pad.y + 10 + fh * 3 / 2;
  const int16_t fx2 = pad.x + 4 * pad.get_unit() + 10, fy2 = pad.y + 10 + fh * 11 / 2;
  // Pressed: dark top and left, light bottom and right.
  // The top is looked at clear of the name.
  EXPECT_EQ((std::vector<COLOUR>{wm_test::pixel(fx1 + 1, fy1 + 5), wm_test::pixel(fx1 + 2, fy1 + 5),
                                 wm_test::pixel(fx2 - 20, fy1 + 1), wm_test::pixel(fx2, fy2 - 5), wm_test::pixel(fx2 - 5, fy2)}),
            (std::vector<COLOUR>{border_theme.shadow, 0xFF203040u, border_theme.shadow, border_theme.highlight,
                                 border_theme.highlight}));
  // A wide value in the entry row, then a short one: the row is cleared.
  const int16_t row_y = pad.get_entry()->y + 1;
  const int16_t wide_x = pad.get_entry()->x + 2;
  const COLOUR dot = 0xFFFF00FF;
  s->fill_rect_solid(wide_x, row_y, wide_x, row_y, &dot);
  keys(pad, "1");
  EXPECT_EQ(wm_test::pixel(wide_x, row_y), 0xFF203040u);
  EXPECT_EQ(wm_test::pixel(fx2, row_y), border_theme.highlight);  // the frame's edge stays
  EXPECT_LT(wide_x, pad.get_entry()->x);
  // A band painted over the row and a little beyond: a change clears and
  // repaints exactly the row, whole.
  s->fill_rect_solid(static_cast<int16_t>(fx1 + 2), static_cast<int16_t>(row_y - 4), static_cast<int16_t>(fx2 - 2),
                     static_cast<int16_t>(row_y + fh + 4), &dot);
  dirty_rectangles().clear();
  keys(pad, "2");
  for (int32_t i = 0; i < dirty_rectangles().count(); ++i) {  // the next frame's painting
    dirty_rectangles().set_current_index(i);
    root.paint_overlays();
  }
  dirty_rectangles().clear();
  EXPECT_TRUE(test_support::picture_matches_reference("extra", "numpad_changed", *s));
  keys(pad, ".");  // no point in integers: nothing changes, nothing is marked for repainting
  EXPECT_EQ(dirty_rectangles().count(), 0);
  pad.body_style.bg_colour = 0x01203040;  // barely opaque, and still cleared with
  keys(pad, "3");
  EXPECT_EQ(wm_test::pixel(wide_x, row_y), 0x01203040u);
  root.remove_overlay(p, true, false);
}
