// Buttons without a display: the click events each event mask lets
// through (press, release inside and outside, cancel, repeats on the frame
// clock), Return and the hot key, the state frame and colour look drawn,
// the pressed offset, and tooltips on the calendar-second clock.
#include "wm_button.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dirty_rectangles.h"
#include "font.h"
#include "input.h"
#include "input_driver.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "screen.h"
#include "skin_test_support.h"
#include "wm_manager.h"
#include "wm_script.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

constexpr COLOUR kScreen = 0xFF808080;
constexpr COLOUR kFace = 0xFF2040A0;
constexpr COLOUR kInk = 0xFFFFFFFF;

// What the callback heard, one letter per call: P press, U release, R
// repeat, C cancel.
std::string heard;
int32_t answer = 0;
int32_t record(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  auto* b = static_cast<WM_BUTTON*>(object);
  const char letters[] = {0, 'P', 'U', 0, 'R', 0, 0, 0, 'C'};
  heard += letters[b->firing_event];
  // release_event tells release and cancel from press and repeat.
  EXPECT_EQ(b->release_event != 0, b->firing_event == 2 || b->firing_event == 8);
  return answer;
}

class Button : public test_support::ScratchSkinTest {
protected:
  Button() : ScratchSkinTest("button_test") {}
  void SetUp() override {
    clear_load_builtin_fonts();
    FONT::init();
    FOLDER fonts;
    ASSERT_TRUE(fonts.set_absolute(get_system_font_folder()));
    ASSERT_EQ(FONT::load("DejaVuSans.ttf", "Sans", FONT_DEFAULT, &fonts), FONT_DEFAULT);
    ScratchSkinTest::SetUp();
    set_screen_size(0, 0);
    set_screen_size(200, 150);
    dirty_rectangles().clear();
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    WM_SCREEN_OBJECT::set_key_down_function(wm_test::fake_key_down);
    WM_SCREEN_OBJECT::focus_object = nullptr;
    wm_test::held_keys.clear();
    border_theme = WM_BORDER_THEME{};
    heard.clear();
    answer = 0;
    clear_screen();
  }
  void TearDown() override {
    WM_SCREEN_OBJECT::set_key_down_function(nullptr);
    FONT::shutdown();
    ScratchSkinTest::TearDown();
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
  }
  void clear_screen() {
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &c);
  }
  // One frame: the fake clock becomes the frame clock, then the button (or
  // its root) is processed.
  int32_t frame(WM_SCREEN_OBJECT& o) {
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
    return o.process();
  }
  // A plain style: 12-pixel text, gaps of 4, a border of style 6 that sinks
  // when pressed (an indented or outstanding border would keep its look).
  static WM_STYLE_SET plain(uint32_t drawing_flags = SSF_DRAW_BORDER) {
    WM_STYLE_SET s;
    s.drawing_flags = drawing_flags;
    s.shading_type = 6;
    s.shading_flags = border_flag::ALL_SIDES;
    s.fg_colour = kInk;
    s.bg_colour = kFace;
    s.font_x_sz = s.font_y_sz = 12;
    s.border_left_gap = s.border_right_gap = s.border_top_gap = s.border_bottom_gap = 4;
    return s;
  }
  void save_solid_png(const std::string& name, COLOUR colour) {
    IMAGE picture(4, 4);
    picture.fill_rect_solid(0, 0, 3, 3, &colour);
    DATA_FILE* file = skin.open_data_file((name + ".png").c_str(), 1, 0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(picture.save_png(file));
    ASSERT_TRUE(FOLDER::close_data_file(file));
  }

  test_support::INPUT_DRIVER input{0xFFFFFF37u};  // the frame clock wraps during the repeats
};

// Each row is a run of steps, one frame after each: i / o move the pointer
// in or out, p / r press or release the left button, a number lets that
// many milliseconds pass. After each step the letters heard so far.
TEST_F(Button, EventsEachMaskLetThrough) {
  struct STEP {
    const char* op;
    const char* heard;
  };
  struct ROW {
    uint8_t mask;
    bool menu_item;
    std::vector<STEP> steps;
  };
  const ROW rows[] = {
      {3, false, {{"i", ""}, {"p", "P"}, {"r", "PU"}}},
      // Pressed outside and released over it: nothing, unless it is a menu item.
      {3, false, {{"o", ""}, {"p", ""}, {"i", ""}, {"r", ""}}},
      {2, true, {{"o", ""}, {"p", ""}, {"i", ""}, {"r", "U"}}},
      // Released outside: a cancel only when the mask asks for one.
      {3, false, {{"i", ""}, {"p", "P"}, {"o", "P"}, {"r", "P"}}},
      {10, false, {{"i", ""}, {"p", ""}, {"o", ""}, {"r", "C"}}},
      // Press and repeat: 300 ms to the first repeat, then every 30 ms;
      // the release says nothing.
      {5,
       false,
       {{"i", ""},
        {"p", "P"},
        {"299", "P"},
        {"2", "PR"},
        {"30", "PR"},
        {"1", "PRR"},
        {"31", "PRRR"},
        {"r", "PRRR"}}},
      // Release and repeat: after repeats the release is silent, before
      // them it is heard.
      {6, false, {{"i", ""}, {"p", ""}, {"301", "R"}, {"r", "R"}}},
      {6, false, {{"i", ""}, {"p", ""}, {"100", ""}, {"r", "U"}}},
      {4, false, {{"i", ""}, {"p", ""}, {"250", ""}, {"r", ""}}},
  };
  for (const ROW& row : rows) {
    WM_STYLE_SET style = plain();
    WM_BUTTON b(20, 20, 79, 49, &style, "Go", nullptr, record, 0, 0, row.mask);
    b.menu_item = row.menu_item;
    heard.clear();
    std::string trace;
    for (const STEP& s : row.steps) {
      trace += std::string(s.op) + " ";
      if (s.op[0] == 'i') input.move_to(30, 30);
      else if (s.op[0] == 'o') input.move_to(150, 120);
      else if (s.op[0] == 'p') input.press(1);
      else if (s.op[0] == 'r') input.release(1);
      else input.advance_ms(std::stoul(s.op));
      frame(b);
      EXPECT_EQ(heard, s.heard) << "mask " << int(row.mask) << " after " << trace;
    }
    input.move_to(150, 120);
    input.release(1);
    frame(b);
  }
}

TEST_F(Button, ResultsDisabledButtonsAndKeys) {
  WM_STYLE_SET style = plain();
  WM_BUTTON b(20, 20, 79, 49, &style, "Go", nullptr, record, 0, 0, 3);
  input.move_to(30, 30);
  const struct {
    int32_t answer;
    uint8_t menu_item;
    int32_t result;
  } results[] = {{0, 0, page_action::HANDLED}, {7, 0, 7}, {0, 1, 0}, {-1, 1, -1}};
  for (const auto& r : results) {
    answer = r.answer;
    b.menu_item = r.menu_item;
    input.press(1);
    EXPECT_EQ(frame(b), r.result) << r.answer;
    input.release(1);
    frame(b);
  }
  answer = 0;
  b.menu_item = 0;
  heard.clear();
  b.set_enabled(false);
  input.press(1);
  EXPECT_EQ(frame(b), 0);
  input.release(1);
  frame(b);
  EXPECT_EQ(heard, "");
  b.set_enabled(true);

  // Return clicks the focus object or a takes_return button; the hot key
  // clicks it anywhere. Down on one frame, up on the next.
  input.move_to(150, 120);
  b.selectable = 1;
  struct KEY_ROW {
    uint32_t key;
    bool focus;
    uint8_t takes_return;
    const char* heard;
  };
  const KEY_ROW keys[] = {{WM_BUTTON::KEY_RETURN, true, 0, "PU"},
                          {WM_BUTTON::KEY_RETURN, false, 0, ""},
                          {WM_BUTTON::KEY_RETURN, false, 1, "PU"},
                          {'h', false, 0, "PU"},
                          {'q', false, 0, ""}};
  b.set_hotkey('h');
  for (const KEY_ROW& k : keys) {
    heard.clear();
    WM_SCREEN_OBJECT::focus_object = k.focus ? &b : nullptr;
    b.takes_return = k.takes_return;
    wm_test::held_keys = {k.key};
    frame(b);
    wm_test::held_keys.clear();
    frame(b);
    EXPECT_EQ(heard, k.heard) << k.key;
    EXPECT_EQ(b.pressed, 0);
  }
  WM_SCREEN_OBJECT::focus_object = nullptr;
}

TEST_F(Button, FitsItsTextAndKeepsSettings) {
  WM_STYLE_SET style = plain();
  style.border_left_gap = 3;
  style.border_right_gap = 5;
  style.border_top_gap = 2;
  style.border_bottom_gap = 6;
  const int32_t text_w = get_screen_image()->get_text_width(255, 12, 12, "OK");
  WM_BUTTON fitted(-10, -4, -11, -5, &style, "OK", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ(fitted.x, -10);  // relative corners are signed
  EXPECT_EQ(fitted.width, 8 + text_w);
  EXPECT_EQ(fitted.height, 12 + 8);
  EXPECT_EQ(fitted.kind & wm_kind::BUTTON, wm_kind::BUTTON);
  EXPECT_EQ(style.get_padded_text_width(get_screen_image(), "OK"), fitted.width);
  // The colour form: default gaps from the default border style.
  WM_BUTTON coloured(0, 0, -1, -1, kFace, kInk, "OK", 255, 12, 12,
                     BUTTON_BEHAVIOUR::NORMAL, 0, 15, nullptr, 0, 0, true, 2);
  EXPECT_EQ(coloured.width, 2 * get_border_width(1) + text_w);
  EXPECT_EQ(coloured.up_colour, kFace);
  EXPECT_EQ(coloured.highlight_colour, kFace);
  // Style values: the bevel bit needs ssf_draw_border; the behaviour.
  style.drawing_flags = SSF_INDENT_BORDER | SSF_HFADING | SSF_VFADING | SSF_DARKENED_BACKGROUND;
  style.extended_flags = SSEF_AUTO_ACTIVATE | SSEF_UP_ARROW;
  WM_BUTTON flags(0, 0, 9, 9, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ(flags.draw_flags, 0xD00u | button_flag::ARROW_UP);
  EXPECT_EQ(flags.edge_flags, 0);
  EXPECT_EQ(flags.behaviour, BUTTON_BEHAVIOUR::AUTO_ACTIVATE);
  style.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_DISABLED;
  WM_BUTTON sunk(0, 0, 9, 9, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ(sunk.draw_flags, button_flag::BEVEL | button_flag::ARROW_UP);
  EXPECT_EQ(sunk.edge_flags, 0x800F);
  EXPECT_FALSE(sunk.enabled);
  // set_text: null is refused, grow only widens.
  EXPECT_FALSE(fitted.set_text(nullptr, false));
  EXPECT_TRUE(fitted.set_text("A much longer caption", true));
  EXPECT_STREQ(fitted.get_text(), "A much longer caption");
  EXPECT_GT(fitted.width, 8 + text_w);
}

// Eleven one-colour frames; each row sets a state and names the frame
// whose colour must fill the button.
TEST_F(Button, DrawsTheFrameOfItsState) {
  const char* suffix[] = {"_up",          "_down",         "_disabled",
                          "_over",        "_active_up",    "_active_down",
                          "_active_disabled", "_active_over", "_highlighted",
                          "_flashing",    "_dragging"};
  for (int i = 0; i < BUTTON_FRAME_COUNT; ++i)
    ASSERT_NO_FATAL_FAILURE(save_solid_png(std::string("b") + suffix[i], 0xFF000000u + 20 * i + 1));
  struct ROW {
    const char* name;
    void (*set)(WM_BUTTON&);
    BUTTON_FRAME frame;
  };
  const ROW rows[] = {
      {"up", [](WM_BUTTON&) {}, FRAME_UP},
      {"hover", [](WM_BUTTON& b) { b.mouse_over = 1; }, FRAME_OVER},
      {"highlighted byte", [](WM_BUTTON& b) { b.highlighted = 1; }, FRAME_OVER},
      {"pressed", [](WM_BUTTON& b) { b.pressed = 1; }, FRAME_HIGHLIGHTED},
      {"latched", [](WM_BUTTON& b) { b.latched = 1; }, FRAME_HIGHLIGHTED},
      {"disabled", [](WM_BUTTON& b) { b.enabled = 0; }, FRAME_DISABLED},
      {"active", [](WM_BUTTON& b) { b.active = 1; }, FRAME_ACTIVE_UP},
      {"active hover", [](WM_BUTTON& b) { b.active = b.mouse_over = 1; }, FRAME_ACTIVE_OVER},
      {"active sunk",
       [](WM_BUTTON& b) { b.active = b.indent_when_active = 1; },
       FRAME_ACTIVE_DOWN},
      {"active disabled",
       [](WM_BUTTON& b) {
         b.active = 1;
         b.enabled = 0;
       },
       FRAME_ACTIVE_DISABLED},
      {"flashing", [](WM_BUTTON& b) { b.flash_phase = 1; }, FRAME_FLASHING},
  };
  for (const ROW& row : rows) {
    WM_STYLE_SET style = plain();
    WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
    ASSERT_TRUE(b.load_images(skin, "b", nullptr));
    row.set(b);
    b.draw();
    EXPECT_EQ(pixel(50, 35), 0xFF000000u + 20 * row.frame + 1) << row.name;
    EXPECT_EQ(pixel(19, 19), kScreen) << row.name;
  }
  // Without "_down" the bare name stands in; without "_up" and "_down" the
  // colour look is drawn.
  WM_STYLE_SET style = plain(0);
  WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_FALSE(b.load_images(skin, "missing", nullptr));
  EXPECT_FALSE(b.has_images());
  b.draw();
  EXPECT_EQ(pixel(50, 35), kFace);
  ASSERT_TRUE(b.load_images(skin, "b", nullptr));
  b.clear_images();
  EXPECT_FALSE(b.has_images());
}

TEST_F(Button, ColourLook) {
  struct ROW {
    const char* name;
    void (*set)(WM_BUTTON&);
    COLOUR centre;
  };
  const ROW rows[] = {
      {"up", [](WM_BUTTON&) {}, kFace},
      {"hover", [](WM_BUTTON& b) { b.mouse_over = 1; }, 0xFF00A000},
      {"focus", [](WM_BUTTON& b) { WM_SCREEN_OBJECT::focus_object = &b; }, 0xFF00A000},
      {"pressed", [](WM_BUTTON& b) { b.pressed = 1; }, 0xFFA00000},
      {"active", [](WM_BUTTON& b) { b.active = 1; }, 0xFF0000A0},
      {"active with a mark",
       [](WM_BUTTON& b) {
         b.active = 1;
         b.mark[0] = '*';
       },
       kFace},
      {"disabled", [](WM_BUTTON& b) { b.enabled = 0; }, 0xFF404040},
      {"unset disabled colour",
       [](WM_BUTTON& b) {
         b.enabled = 0;
         b.disabled_colour = COLOUR_INVISIBLE;
       },
       kFace},
  };
  for (const ROW& row : rows) {
    clear_screen();
    WM_STYLE_SET style = plain();
    style.mouse_over_colour = 0xFF00A000;
    style.highlight_colour = 0xFFA00000;
    style.active_colour = 0xFF0000A0;
    style.disabled_colour = 0xFF404040;
    WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
    row.set(b);
    b.draw();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    EXPECT_EQ(pixel(50, 35), row.centre) << row.name;
  }
  // A raised border turns sunk while pressed.
  WM_STYLE_SET style = plain();
  WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
  b.draw();
  EXPECT_EQ(pixel(20, 20), 0xFFFFFFFF);
  b.pressed = 1;
  b.draw();
  EXPECT_EQ(pixel(20, 20), 0xFF808080);
  EXPECT_EQ(b.edge_flags & border_flag::PRESSED, border_flag::PRESSED);
}

// The bounding box of the pixels of one colour in the button.
struct BOX {
  int x1 = 9999, y1 = 9999;
};
BOX ink_of(COLOUR colour) {
  BOX box;
  for (int py = 20; py < 50; ++py)
    for (int px = 20; px < 120; ++px)
      if (pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == colour) {
        box.x1 = std::min(box.x1, px);
        box.y1 = std::min(box.y1, py);
      }
  return box;
}

// Text, icon and arrows move by one pixel when pressed, whatever the
// alignment: once, never twice.
TEST_F(Button, PressedOffsetMovesTheContentOnce) {
  const COLOUR red = 0xFFFF0000, yellow = 0xFFFFFF00;
  for (uint32_t align : {0u, uint32_t{SSF_LEFT_JUSTIFY_TEXT}, uint32_t{SSF_RIGHT_JUSTIFY_TEXT}}) {
    BOX up, down;
    for (uint8_t pressed : {0, 1}) {
      clear_screen();
      WM_STYLE_SET style = plain(SSF_DRAW_BORDER | align | SSF_ICON_LEFT);
      style.border_left_gap = 12;
      style.extended_flags = SSEF_RIGHT_ARROW;
      style.underline_colour = COLOUR_INVISIBLE;
      WM_BUTTON b(20, 20, 119, 49, &style, "Mm", nullptr, nullptr, 0, 0, 2);
      b.icon.create(4, 4);
      b.icon.fill_rect_solid(0, 0, 3, 3, &red);
      b.text_colour = yellow;
      b.pressed = pressed;
      b.draw();
      (pressed ? down : up) = ink_of(yellow);
      const BOX icon = ink_of(red);
      EXPECT_EQ(icon.x1, 24 + pressed) << align;
      EXPECT_EQ(icon.y1, 33 + pressed) << align;
    }
    EXPECT_EQ(down.x1 - up.x1, 1) << align;
    EXPECT_EQ(down.y1 - up.y1, 1) << align;
  }
}

TEST_F(Button, FlashesWithItsBlinkBit) {
  WM_STYLE_SET style = plain();
  style.flashing_colour = 0xFFC0C000;
  WM_BUTTON b(20, 20, 79, 49, &style, "Go", nullptr, nullptr, 0, 0, 2);
  const std::pair<uint32_t, uint8_t> frames[] = {{0, 0}, {2000, 1}, {4000, 0}};
  for (const auto& [ms, phase] : frames) {
    WM_SCREEN_OBJECT::set_frame_clock(ms);
    b.update(false);
    EXPECT_EQ(b.flash_phase, 0);  // no flash text: no flashing
  }
  b.flash_text.set_from_string(PARAMETER::VALUE, "!!");
  for (const auto& [ms, phase] : frames) {
    WM_SCREEN_OBJECT::set_frame_clock(ms);
    b.update(false);
    EXPECT_EQ(b.flash_phase, phase) << ms;
    b.draw();
    EXPECT_EQ(pixel(24, 24), phase ? 0xFFC0C000 : kFace) << ms;
  }
}

// Rest mode: the tooltip shows once the calendar second is two past the
// one the pointer came in, next to the pointer, inside the surface; a
// press or leaving hides it.
TEST_F(Button, TooltipAfterARest) {
  WM_MANAGER root;
  root.set_size(200, 150, false);
  WM_STYLE_SET style = plain();
  auto* b = new WM_BUTTON(20, 60, 79, 89, &style, "Go", "Help text", record, 0, 0, 2);
  root.add_child(b, false);
  WM_SCRIPT* tip = b->tooltip;
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->visible, 0);
  input.advance_ms(1000 - input.now_ms() % 1000 + 900);  // 900 ms into a second
  input.move_to(30, 70);
  const struct {
    uint32_t ms;
    bool shown;
  } waits[] = {{0, false}, {100, false}, {999, false}, {1, true}};
  for (const auto& w : waits) {
    input.advance_ms(w.ms);
    frame(root);
    EXPECT_EQ(WM_SCREEN_OBJECT::is_overlay(tip) && tip->visible, w.shown) << w.ms;
  }
  EXPECT_EQ(tip->x, 30);
  EXPECT_EQ(tip->y, 70 - tip->height);
  // It follows the pointer without a new wait; a press hides it and the
  // wait starts again.
  input.move_to(40, 75);
  frame(root);
  EXPECT_EQ(tip->x, 40);
  input.press(1);
  frame(root);
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(tip));
  input.release(1);
  frame(root);
  input.advance_ms(500);
  frame(root);
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(tip));
  input.advance_ms(1500);
  frame(root);
  EXPECT_TRUE(WM_SCREEN_OBJECT::is_overlay(tip));
  // Leaving the button hides it.
  input.move_to(150, 20);
  frame(root);
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(tip));
  EXPECT_EQ(b->tooltip_x, WM_BUTTON::NO_POSITION);

  // Near the bottom-right it is moved inside; near the top-left its
  // position is never negative.
  b->set_position(150, 120);
  b->set_size(50, 30, false);
  input.move_to(195, 145);
  frame(root);
  input.advance_ms(2000);
  frame(root);
  ASSERT_TRUE(WM_SCREEN_OBJECT::is_overlay(tip));
  EXPECT_EQ(tip->x + tip->width, 200);
  EXPECT_EQ(tip->y, 145 - tip->height);
  input.move_to(150, 120);
  frame(root);
  input.move_to(0, 0);
  frame(root);
  b->set_position(0, 0);
  input.move_to(2, 2);
  frame(root);
  input.advance_ms(2000);
  frame(root);
  ASSERT_TRUE(WM_SCREEN_OBJECT::is_overlay(tip));
  EXPECT_EQ(tip->x, 2);
  EXPECT_EQ(tip->y, 0);
  b->set_tooltip(nullptr);  // takes the shown tooltip off the list
  EXPECT_EQ(b->tooltip, nullptr);
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
}

// Press mode: shown centred above while pressed. While it shows, the page
// manager takes the focus away (the tooltip holds the input and has nothing
// to focus); the focus goes back afterwards, unless its object has gone.
TEST_F(Button, TooltipWhilePressed) {
  WM_MANAGER root;
  root.set_size(200, 150, false);
  WM_STYLE_SET style = plain();
  auto* b = new WM_BUTTON(60, 60, 119, 89, &style, "Go", "Tip", record, 0, 0, 2);
  b->tooltip_on_press = 1;
  auto* other = new wm_test::BOX(0, 0, 10, 10, 0xFF00FF00);
  other->selectable = 1;
  root.add_child(b, false);
  root.add_child(other, false);
  for (bool delete_other : {false, true}) {
    other->set_focus();
    input.move_to(70, 70);
    input.press(1);
    frame(root);
    frame(root);
    WM_SCRIPT* tip = b->tooltip;
    ASSERT_TRUE(WM_SCREEN_OBJECT::is_overlay(tip));
    EXPECT_EQ(tip->x, 60 + (60 - tip->width) / 2);
    EXPECT_EQ(tip->y, 60 - tip->height);
    WM_SCREEN_OBJECT::focus_object = nullptr;
    if (delete_other) root.remove_child(other, true, false);
    input.release(1);
    frame(root);
    frame(root);
    EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(tip));
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, delete_other ? nullptr : other);
  }
  EXPECT_EQ(heard, "UU");
}

// A drag callback hears the start and where the button was dropped.
std::vector<uint32_t> drags;
int32_t record_drag(WM_BUTTON*, WM_SCREEN_OBJECT*, int16_t, int16_t, uint32_t event, uintptr_t,
                    uintptr_t) {
  drags.push_back(event);
  return 0;
}

TEST_F(Button, DragAndDrop) {
  WM_MANAGER root;
  root.set_size(200, 150, false);
  WM_STYLE_SET style = plain();
  auto* b = new WM_BUTTON(20, 20, 79, 49, &style, "Drag", nullptr, nullptr, 0, 0, 2);
  root.add_child(b, false);
  b->drag_callback = record_drag;
  b->drag_mask = 15;
  drags.clear();
  input.move_to(30, 30);
  input.press(1);
  frame(root);
  input.move_to(120, 100);
  frame(root);
  EXPECT_TRUE(WM_SCREEN_OBJECT::is_overlay(b));
  EXPECT_EQ(b->drag_started, 1);
  EXPECT_EQ(b->depth, -1);  // still at its place in the tree
  clear_screen();
  b->draw();  // the translucent copy under the pointer
  EXPECT_NE(pixel(115, 95), kScreen);
  input.release(1);
  frame(root);
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(b));
  // Dragged away and back: released in place.
  input.move_to(30, 30);
  input.press(1);
  frame(root);
  input.move_to(31, 30);
  frame(root);
  input.move_to(30, 30);
  frame(root);
  input.release(1);
  frame(root);
  EXPECT_EQ(drags, (std::vector<uint32_t>{drag_event::START, drag_event::DROP, drag_event::START,
                                          drag_event::RELEASE_IN_PLACE}));
}

// A page of buttons in different states in a skin the test makes.
TEST_F(Button, ScreenshotOfButtons) {
  // Rounded skin frame: a light face with a darker rim.
  IMAGE face(16, 16);
  const COLOUR rim = 0xFF204060, fill = 0xFF80C0F0, down_fill = 0xFF4080C0;
  face.fill_rect_solid(0, 0, 15, 15, &rim);
  face.fill_rect_solid(2, 2, 13, 13, &fill);
  save("skin_up", face);
  face.fill_rect_solid(2, 2, 13, 13, &down_fill);
  save("skin_down", face);
  face.fill_rect_solid(2, 2, 13, 13, &kInk);
  save("skin_over", face);

  WM_MANAGER root;
  root.set_size(200, 150, false);
  struct ROW {
    const char* text;
    bool skinned;
    void (*set)(WM_BUTTON&);
  };
  const ROW rows[] = {
      {"Up", true, [](WM_BUTTON&) {}},
      {"Over", true, [](WM_BUTTON& b) { b.mouse_over = 1; }},
      {"Down", true, [](WM_BUTTON& b) { b.pressed = 1; }},
      {"Plain", false, [](WM_BUTTON&) {}},
      {"Pressed", false, [](WM_BUTTON& b) { b.pressed = 1; }},
      {"Off", false, [](WM_BUTTON& b) { b.enabled = 0; }},
      {"Active", false,
       [](WM_BUTTON& b) {
         b.active = 1;
         b.mark[0] = 'x';
       }},
      {"Arrow", false, [](WM_BUTTON& b) { b.draw_flags |= button_flag::ARROW_DOWN; }},
  };
  for (int i = 0; i < 8; ++i) {
    WM_STYLE_SET style = plain(SSF_DRAW_BORDER | SSF_VFADING);
    style.shading_flags = i % 2 ? 255 : 15;
    style.fading_colour = 0xFF102040;
    style.fg_colour = rows[i].skinned ? 0xFF000000 : kInk;
    style.border_left_gap = 14;
    style.disabled_text_colour = 0xFFA0A0A0;
    if (rows[i].skinned) {
      style.set_image_filename("skin");
      strcpy(style.image_path, "$APP/skin");
    }
    const auto bx = static_cast<int16_t>(8 + (i % 2) * 96), by = static_cast<int16_t>(6 + (i / 2) * 36);
    auto* b = new WM_BUTTON(bx, by, static_cast<int16_t>(bx + 87), static_cast<int16_t>(by + 29),
                            &style, rows[i].text, nullptr, nullptr, 0, 0, 2);
    EXPECT_EQ(b->has_images(), rows[i].skinned);
    rows[i].set(*b);
    root.add_child(b, false);
  }
  clear_screen();
  root.invalidate();
  wm_test::paint_table(&root);
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(get_screen_image()->save_png(&png));
  EXPECT_TRUE(test_support::write_file(test_support::picture_output_folder() + "/buttons.png",
                                       png.text()));
  EXPECT_EQ(pixel(22, 14), fill);
  EXPECT_EQ(pixel(118, 14), kInk);
  EXPECT_EQ(pixel(22, 50), down_fill);
}

}  // namespace
