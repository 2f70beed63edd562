// Buttons without a display: the click events each event mask lets
// through (press, release inside and outside, cancel, repeats on the frame
// clock), Return and the hot key, the state frame and colour look drawn,
// the pressed offset, and tooltips on the calendar-second clock.
#include "wm_button.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dirty_rectangles.h"
#include "font.h"
#include "input.h"
#include "input_driver.h"
#include "screen.h"
#include "skin_test_support.h"
#include "wm_manager.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
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

class Button : public wm_test::TextSkinTest {
protected:
  Button() : TextSkinTest("button_test", 200, 150) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    heard.clear();
    answer = 0;
    clear_screen();
  }
  void TearDown() override {
    TextSkinTest::TearDown();
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
    return wm_test::text_style(kFace, drawing_flags, kInk);
  }

  test_support::INPUT_DRIVER input{0xFFFFFF37u};  // the frame clock wraps during the repeats
};

// Each row runs a script of steps, one frame after each, and names what the
// callback has heard after the step ("op=heard"): i / o move the pointer in
// or out, p / r press or release the left button, E / e Return down or up,
// S / s Space down or up, H / h the hot key down or up, d disables, a number
// lets that many milliseconds pass. The whole run, with what the button
// shows after each step (pressed, armed, hovered, areas marked for
// repainting) and the frame's answer, is compared with a reference text.
TEST_F(Button, EventsEachMaskLetThrough) {
  enum : uint8_t { MENU_ITEM = 1, FOCUS = 2, TAKES_RETURN = 4, DISABLED = 8, AUTO_ACTIVATE = 16, OVER_LOOK = 32, AUTO_DEPRESS = 64 };
  const struct {
    uint8_t mask, setup;
    const char* script;
  } rows[] = {
      {3, 0, "i= p=P r=PU"},
      // Pressed outside and released over it: only a menu item hears that.
      {3, 0, "o= p= i= r="},
      {2, MENU_ITEM, "o= p= i= r=U"},
      // Released outside: a cancel only when the mask asks for one.
      {3, 0, "i= p=P o=P r=P"},
      {10, 0, "i= p= o= r=C"},
      // 300 ms to the first repeat, then every 30 ms, also where the clock
      // wraps in between; after repeats the release is silent, before them
      // it is heard.
      {5, 0, "i= p=P 50=P 249=P 2=PR 30=PR 1=PRR 31=PRRR r=PRRR"},
      {6, 0, "i= p= 301=R r=R"},
      {6, 0, "i= p= 100= r=U"},
      {4, 0, "i= p= 250= r="},
      {15, DISABLED, "i= p= r= E= e= S= s= H= h="},
      {3, 0, "i= p=P d=P r=P"},  // disabled while held: let go without a word
      // Return clicks the focus object or a takes_return button, the hot
      // key any button: down on one frame, up on the next.
      {3, FOCUS, "E=P e=PU"},
      {3, 0, "E= e="},
      {3, TAKES_RETURN, "E=P e=PU"},
      {3, 0, "H=P h=PU"},
      // Space clicks only the focus object: anywhere else it is text.
      {3, FOCUS, "S=P s=PU"},
      {3, 0, "S= s="},
      {3, TAKES_RETURN, "S= s="},
      // Resting on an auto-activate button presses it; a held left button
      // over it does nothing.
      {3, AUTO_ACTIVATE, "i=P o=PU p=PU i=PU r=PUP o=PUPU"},
      {5, AUTO_ACTIVATE, "i=P 301=PR o=PR"},
      {3, 0, "i= o= i= p=P r=PU o=PU"},  // no hover look: moving in and out repaints nothing
      {3, OVER_LOOK, "i= o= i= p=P r=PU o=PU"},
      {3, AUTO_DEPRESS, "i= o= i= o="},  // looks pressed while the pointer is over it
  };
  std::string transcript;
  for (const auto& row : rows) {
    WM_STYLE_SET style = plain();
    WM_BUTTON b(20, 20, 79, 49, &style, "Go", nullptr, record, 0, 0, row.mask);
    b.menu_item = row.setup & MENU_ITEM;
    b.takes_return = (row.setup & TAKES_RETURN) ? 1 : 0;
    b.set_enabled(!(row.setup & DISABLED));
    b.set_hotkey('h');
    if (row.setup & AUTO_ACTIVATE) b.behaviour = BUTTON_BEHAVIOUR::AUTO_ACTIVATE;
    if (row.setup & OVER_LOOK) b.mouse_over_colour = 0xFF00A000;
    if (row.setup & AUTO_DEPRESS) b.behaviour = BUTTON_BEHAVIOUR::AUTO_DEPRESS;
    WM_SCREEN_OBJECT::focus_object = (row.setup & FOCUS) ? &b : nullptr;
    heard.clear();
    input.move_to(150, 120);
    std::istringstream steps(row.script);
    std::string step, trace;
    dirty_rectangles().clear();
    while (steps >> step) {
      trace += step + " ";
      const std::string op = step.substr(0, step.find('='));
      switch (op[0]) {
        case 'i': input.move_to(30, 30); break;
        case 'o': input.move_to(150, 120); break;
        case 'p': input.press(1); break;
        case 'r': input.release(1); break;
        case 'd': b.set_enabled(false); break;
        case 'E': wm_test::held_keys = {WM_BUTTON::KEY_RETURN}; break;
        case 'S': wm_test::held_keys = {WM_BUTTON::KEY_SPACE}; break;
        case 'H': wm_test::held_keys = {'h'}; break;
        case 'e': case 'h': case 's': wm_test::held_keys.clear(); break;
        default: input.advance_ms(std::stoul(op)); break;
      }
      const size_t heard_before = heard.size();
      const int32_t action = frame(b);
      if (heard.size() == heard_before) {
        EXPECT_EQ(action, 0) << trace;  // nothing heard, no action
      }
      EXPECT_EQ(heard, step.substr(step.find('=') + 1)) << int(row.mask) << ": " << trace;
      transcript += std::to_string(row.mask) + "/" + std::to_string(row.setup) + " " + step + " answer " + std::to_string(action) +
                    " pressed " + std::to_string(b.pressed) + " armed " + std::to_string(b.armed) + " over " +
                    std::to_string(b.mouse_over) + " repaint " + std::to_string(dirty_rectangles().count()) + "\n";
      dirty_rectangles().clear();
    }
    EXPECT_EQ(b.pressed, 0) << trace;
    input.move_to(150, 120);
    input.release(1);
    frame(b);
  }
  EXPECT_TRUE(test_support::text_matches_reference("core4", "button_events", transcript));
  WM_SCREEN_OBJECT::focus_object = nullptr;
  // The callback's result is the page action; 0 stands for "handled",
  // except for menu items.
  WM_STYLE_SET style = plain();
  WM_BUTTON b(20, 20, 79, 49, &style, "Go", nullptr, record, 0, 0, 3);
  input.move_to(30, 30);
  const int32_t results[][3] = {{0, 0, page_action::HANDLED}, {7, 0, 7}, {0, 1, 0}, {-1, 1, -1}};
  for (const auto& r : results) {
    answer = r[0];
    b.menu_item = static_cast<uint8_t>(r[1]);
    input.press(1);
    EXPECT_EQ(frame(b), r[2]) << r[0];
    input.release(1);
    frame(b);
    EXPECT_EQ(b.firing_event + b.release_event, 0);  // set only while the callback runs
  }
  // click() is a release over the button, also for a callback that deletes
  // the button.
  static int32_t deleting_answer;
  WM_CALLBACK deleting = [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
    EXPECT_EQ(static_cast<WM_BUTTON*>(o)->firing_event, button_event::RELEASE);
    delete o;
    return deleting_answer;
  };
  for (const int32_t a : {0, 7}) {
    deleting_answer = a;
    EXPECT_EQ((new WM_BUTTON(20, 20, 79, 49, &style, "Go", nullptr, deleting, 0, 0, 2))->click(),
              a ? a : page_action::HANDLED);
  }
  // A state callback that deletes its button ends the frame with no action.
  auto* doomed = new WM_BUTTON(20, 20, 79, 49, &style, "Go", nullptr, record, 0, 0, 3);
  doomed->state_callback = [](WM_BUTTON* b, uintptr_t) -> uint8_t {
    delete b;
    return 1;
  };
  EXPECT_EQ(frame(*doomed), 0);
}

TEST_F(Button, FitsItsTextAndTakesTheStyle) {
  WM_STYLE_SET style = plain();
  style.border_left_gap = 3;
  style.border_bottom_gap = 6;
  const int32_t text_w = get_screen_image()->get_text_width(255, 12, 12, "OK");
  WM_BUTTON fitted(-10, -4, -11, -5, &style, "OK", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ((std::vector<int>{fitted.x, fitted.width, fitted.height}), (std::vector<int>{-10, 7 + text_w, 12 + 10}));
  // Corners as far apart as coordinates go: the largest size there is.
  const WM_BUTTON whole(-32768, -32768, 32767, 32767, &style, "OK", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ(std::pair(whole.width, whole.height), (std::pair<uint16_t, uint16_t>(65535, 65535)));
  WM_BUTTON coloured(0, 0, -1, -1, kFace, kInk, "OK", 255, 12, 12, BUTTON_BEHAVIOUR::NORMAL, 0,
                     15, nullptr, 0, 0, true, 2);
  EXPECT_EQ(coloured.width, 2 * get_border_width(1) + text_w);  // default gaps
  EXPECT_EQ(coloured.highlight_colour, kFace);
  // The bevel bit needs ssf_draw_border; the three fills map together.
  style.drawing_flags = SSF_INDENT_BORDER | SSF_HFADING | SSF_VFADING | SSF_DARKENED_BACKGROUND;
  style.extended_flags = SSEF_AUTO_ACTIVATE | SSEF_UP_ARROW;
  style.disabled_colour = 0x01000000;  // the least alpha still counts as set
  WM_BUTTON flat(0, 0, 9, 9, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ(flat.disabled_colour, 0x01000000u);
  EXPECT_EQ((std::vector<uint32_t>{flat.draw_flags, flat.edge_flags}), (std::vector<uint32_t>{0xD00u | button_flag::ARROW_UP, 0}));
  EXPECT_EQ(flat.behaviour, BUTTON_BEHAVIOUR::AUTO_ACTIVATE);
  style.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_DISABLED;
  WM_BUTTON sunk(0, 0, 9, 9, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_EQ((std::vector<uint32_t>{sunk.draw_flags, sunk.edge_flags}), (std::vector<uint32_t>{button_flag::BEVEL | button_flag::ARROW_UP, 0x800F}));
  EXPECT_FALSE(sunk.enabled);
  sunk.set_enabled(true);
  dirty_rectangles().clear();
  sunk.set_enabled(true);  // enabled again: nothing to repaint
  EXPECT_EQ(dirty_rectangles().count(), 0u);
  EXPECT_FALSE(fitted.set_text(nullptr, false));
  EXPECT_TRUE(fitted.set_text("A much longer caption", true));
  EXPECT_GT(fitted.width, 7 + text_w);
}

// Eleven one-colour frames; each row sets a state and names the frame that
// must fill the button.
TEST_F(Button, DrawsTheFrameOfItsState) {
  const char* suffix[] = {"_up",        "_down",           "_disabled",    "_over",
                          "_active_up", "_active_down",    "_active_disabled",
                          "_active_over", "_highlighted",  "_flashing",    "_dragging"};
  for (int i = 0; i < BUTTON_FRAME_COUNT; ++i)
    ASSERT_NO_FATAL_FAILURE(save_solid_png(std::string("b") + suffix[i] + ".png",
                                                   0xFF000001u + 20 * i));
  const struct {
    const char* name;
    void (*set)(WM_BUTTON&);
    BUTTON_FRAME frame;
  } rows[] = {
      {"up", [](WM_BUTTON&) {}, FRAME_UP},
      {"hover", [](WM_BUTTON& b) { b.mouse_over = 1; }, FRAME_OVER},
      {"highlighted byte", [](WM_BUTTON& b) { b.highlighted = 1; }, FRAME_OVER},
      {"pressed", [](WM_BUTTON& b) { b.pressed = 1; }, FRAME_HIGHLIGHTED},
      {"latched", [](WM_BUTTON& b) { b.latched = 1; }, FRAME_HIGHLIGHTED},
      {"disabled", [](WM_BUTTON& b) { b.enabled = 0; }, FRAME_DISABLED},
      {"active", [](WM_BUTTON& b) { b.active = 1; }, FRAME_ACTIVE_UP},
      {"active hover", [](WM_BUTTON& b) { b.active = b.mouse_over = 1; }, FRAME_ACTIVE_OVER},
      {"active sunk", [](WM_BUTTON& b) { b.active = b.indent_when_active = 1; }, FRAME_ACTIVE_DOWN},
      {"active disabled", [](WM_BUTTON& b) { b.active = 1, b.enabled = 0; }, FRAME_ACTIVE_DISABLED},
      {"flashing", [](WM_BUTTON& b) { b.flash_phase = 1; }, FRAME_FLASHING},
  };
  for (const auto& row : rows) {
    WM_STYLE_SET style = plain();
    WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
    ASSERT_TRUE(b.load_images(skin, "b", nullptr));
    row.set(b);
    b.draw();
    EXPECT_EQ(pixel(50, 35), 0xFF000001u + 20 * row.frame) << row.name;
    EXPECT_EQ(pixel(19, 19), kScreen) << row.name;
  }
  // Without "_up" and "_down" the colour look is drawn; clear parts of the
  // "_up" image do not take clicks unless the style says so.
  WM_STYLE_SET style = plain(0);
  WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_FALSE(b.load_images(skin, "missing", nullptr));
  b.draw();
  EXPECT_EQ(pixel(50, 35), kFace);
  ASSERT_NO_FATAL_FAILURE(save_solid_png("clear.png", 0));
  ASSERT_TRUE(b.load_images(skin, "clear", nullptr));  // the bare name for both
  EXPECT_FALSE(b.hit_test(50, 35));
  b.draw_flags |= button_flag::DONT_MASK_CLICK;
  EXPECT_TRUE(b.hit_test(50, 35));
  b.clear_images();
  EXPECT_FALSE(b.has_images());
  ASSERT_TRUE(b.load_images(skin, "clear", nullptr));
  EXPECT_FALSE(b.load_images(skin, nullptr, nullptr));  // no name: back to the colour look
  EXPECT_FALSE(b.has_images());
  // A style whose images are loaded lends its frames; new colours tint them.
  style.set_image_filename("b");
  strcpy(style.image_path, "$APP/skin");
  style.load_images();
  WM_BUTTON lent(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
  EXPECT_TRUE(lent.has_images());
  lent.set_colours(0xFF00FF00, kInk, 0, false);
  lent.draw();
  EXPECT_NE(pixel(50, 35), 0xFF000001u);
}

// The focus shows on every look, the bare default style's too: a dotted
// ring (a dot on every other pixel of about 56 by 26) inside the border.
TEST_F(Button, TheFocusIsMarkedInEveryLook) {
  ASSERT_NO_FATAL_FAILURE(save_solid_png("f_up.png", 0xFF306090));
  ASSERT_NO_FATAL_FAILURE(save_solid_png("f_down.png", 0xFF204060));
  const WM_STYLE_SET looks[] = {WM_STYLE_SET(), plain(), plain(), plain(SSF_DRAW_BORDER | SSF_VFADING)};
  for (size_t row = 0; row < std::size(looks); ++row) {
    WM_BUTTON b(20, 20, 79, 49, &looks[row], "Go", nullptr, nullptr, 0, 0, 2);
    EXPECT_TRUE(row != 2 || b.load_images(skin, "f", nullptr));  // the state images
    std::vector<COLOUR> seen[2];
    for (auto& picture : seen) {
      picture = drawn(b);
      b.selectable = 1;
      b.set_focus();
    }
    size_t marked = 0;
    for (size_t i = 0; i < seen[0].size(); ++i) marked += seen[0][i] != seen[1][i];
    EXPECT_GE(marked, 60u) << row;
    EXPECT_TRUE(test_support::picture_matches_reference("core2", "button_focus_" + std::to_string(row),
                                                        *get_screen_image()));
    WM_SCREEN_OBJECT::focus_object = nullptr;
  }
  // A button too narrow for the mark inside its border draws it halfway to its middle.
  clear_screen();
  WM_BUTTON narrow(20, 20, 27, 49, &looks[1], "", nullptr, nullptr, 0, 0, 2);
  WM_SCREEN_OBJECT::focus_object = &narrow;
  narrow.draw();
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "button_focus_narrow", *get_screen_image()));
  WM_SCREEN_OBJECT::focus_object = nullptr;
}

void fade(WM_BUTTON& b, bool pressed) {
  b.draw_flags |= button_flag::VERTICAL_FADING | button_flag::INVERT_FADING_WHEN_PRESSED;
  b.fading_colour = 0xFF3D5DBD;
  b.highlight_colour = 0;
  b.pressed = pressed ? 1 : 0;
}

TEST_F(Button, ColourLookAndFlashing) {
  const struct {
    const char* name;
    void (*set)(WM_BUTTON&);
    COLOUR centre, corner;  // pixels (50, 35) and (20, 20)
  } rows[] = {
      {"up", [](WM_BUTTON&) {}, kFace, 0xFFFFFFFF},
      {"hover", [](WM_BUTTON& b) { b.mouse_over = 1; }, 0xFF00A000, 0xFFFFFFFF},
      {"focus", [](WM_BUTTON& b) { WM_SCREEN_OBJECT::focus_object = &b; }, 0xFF00A000, 0xFFFFFFFF},
      {"pressed: sunk border", [](WM_BUTTON& b) { b.pressed = 1; }, 0xFFA00000, 0xFF808080},
      // Rows 20 to 49 fade by one step a row: row 35 is 15 steps from the top.
      {"vertical fade", [](WM_BUTTON& b) { fade(b, false); }, 0xFF2F4FAF, 0xFFFFFFFF},
      {"vertical fade turned over when pressed", [](WM_BUTTON& b) { fade(b, true); }, 0xFF2E4EAE,
       0xFF808080},
      {"active", [](WM_BUTTON& b) { b.active = 1; }, 0xFF0000A0, 0xFFFFFFFF},
      {"active with a mark", [](WM_BUTTON& b) { b.active = 1, b.mark[0] = '*'; }, kFace, 0xFFFFFFFF},
      {"disabled", [](WM_BUTTON& b) { b.enabled = 0; }, 0xFF404040, 0xFFFFFFFF},
      {"unset disabled colour", [](WM_BUTTON& b) { b.enabled = 0, b.disabled_colour = 0; }, kFace,
       0xFFFFFFFF},
  };
  for (const auto& row : rows) {
    clear_screen();
    WM_STYLE_SET style = plain();
    style.mouse_over_colour = 0xFF00A000;
    style.highlight_colour = 0xFFA00000;
    style.active_colour = 0xFF0000A0;
    style.disabled_colour = 0xFF404040;
    WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
    // An icon in the top gap; the hover look swaps in its own.
    b.draw_flags |= button_flag::ICON_TOP;
    b.icon.create(2, 2), b.over_icon.create(2, 2);
    b.icon.clear(&style.active_colour, true), b.over_icon.clear(&style.highlight_colour, true);
    row.set(b);
    b.draw();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    EXPECT_EQ(pixel(50, 35), row.centre) << row.name;
    EXPECT_EQ(pixel(20, 20), row.corner) << row.name;
    EXPECT_TRUE(test_support::picture_matches_reference(
        "core2", "button_look_" + std::to_string(&row - rows), *get_screen_image())) << row.name;
  }
  // The state callback's answer shows by the next paint of the dirty areas.
  {
    clear_screen();
    WM_STYLE_SET style = plain();
    style.active_colour = 0xFF0000A0;
    WM_BUTTON b(20, 20, 79, 49, &style, "", nullptr, nullptr, 0, 0, 2);
    b.state_callback = [](WM_BUTTON*, uintptr_t word) { return static_cast<uint8_t>(word); };
    b.state_word = 1;
    dirty_rectangles().clear();
    frame(b);
    wm_test::paint_table(&b);
    EXPECT_EQ(pixel(50, 35), 0xFF0000A0u);
  }
  // Only a button with a flash text flashes, with blink bit 5.
  WM_STYLE_SET style = plain();
  style.flashing_colour = 0xFFC0C000;
  WM_BUTTON b(20, 20, 79, 49, &style, "Go", nullptr, nullptr, 0, 0, 2);
  for (const char* flash : {"", "!!"}) {
    b.flash_text.set_from_string(PARAMETER::VALUE, flash);
    for (uint32_t ms : {0u, 2000u, 4000u}) {
      WM_SCREEN_OBJECT::set_frame_clock(ms);
      b.update(false);
      b.draw();
      EXPECT_EQ(pixel(24, 24), flash[0] && ms == 2000 ? 0xFFC0C000 : kFace) << ms;
    }
  }
}

// A disabled button engraves its text: inset in its disabled text colour
// when that is set, chiselled when it is not, whatever effects the style
// asks for; each compared with the text drawn so over the same face.
TEST_F(Button, ADisabledButtonEngravesItsText) {
  const struct {
    COLOUR disabled_ink;
    uint32_t style_effects;
    uint16_t drawn_as;
  } rows[] = {{0xFF303030, 0, TEXT_INSET},
              {0xFFE0E0E0, SSF_CHISELED_TEXT, TEXT_INSET},
              {0, 0, TEXT_CHISELED},
              {0, SSF_INSET_TEXT | SSF_SHADOW_TEXT, TEXT_CHISELED}};
  for (const auto& row : rows) {
    WM_STYLE_SET style = plain(SSF_DRAW_BORDER | row.style_effects);
    style.disabled_text_colour = row.disabled_ink;
    WM_BUTTON b(20, 20, 119, 49, &style, "Mm", nullptr, nullptr, 0, 0, 2);
    b.enabled = 0;
    b.disabled_text_colour = row.disabled_ink;
    // The face alone, then the text drawn over it as the button should.
    clear_screen();
    b.set_text("", false);
    b.draw();
    IMAGE* s = get_screen_image();
    const int32_t tw = s->get_text_width(b.font, b.font_width, static_cast<int16_t>(b.font_height), "Mm");
    const int32_t tx = b.x + b.left_gap + (b.width - b.left_gap - b.right_gap - tw) / 2;
    const int32_t ty = b.y + b.top_gap + (b.height - b.top_gap - b.bottom_gap - b.font_height) / 2;
    s->clip_to(static_cast<int16_t>(b.x + b.left_gap), static_cast<int16_t>(b.y + b.top_gap),
               static_cast<int16_t>(b.x + b.width - 1 - b.right_gap),
               static_cast<int16_t>(b.y + b.height - 1 - b.bottom_gap));
    s->draw_text(static_cast<int16_t>(tx), static_cast<int16_t>(ty), &row.disabled_ink, nullptr,
                 &b.outline_colour, static_cast<int8_t>(b.font), static_cast<int16_t>(b.font_width),
                 static_cast<int16_t>(b.font_height), "Mm", row.drawn_as);
    s->set_clip_rect(0, 0, 199, 149);
    const std::vector<COLOUR> wanted = pixels_of(b);
    clear_screen();
    b.set_text("Mm", false);
    EXPECT_TRUE(drawn(b) == wanted) << row.disabled_ink << " " << row.style_effects;
  }
}

// The pressed offset moves text, icon and arrows by one pixel, whatever
// the alignment: once, never twice.
TEST_F(Button, PressedOffsetMovesTheContentOnce) {
  const COLOUR red = 0xFFFF0000, yellow = 0xFFFFFF00;
  auto top_left_of = [](COLOUR colour) {
    std::pair<int, int> at{9999, 9999};
    for (int py = 20; py < 50; ++py)
      for (int px = 20; px < 120; ++px)
        if (pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == colour)
          at = {std::min(at.first, px), std::min(at.second, py)};
    return at;
  };
  for (uint32_t align : {0u, uint32_t{SSF_LEFT_JUSTIFY_TEXT}, uint32_t{SSF_RIGHT_JUSTIFY_TEXT}}) {
    std::pair<int, int> text[2];
    for (uint8_t pressed : {0, 1}) {
      clear_screen();
      WM_STYLE_SET style = plain(SSF_DRAW_BORDER | align | SSF_ICON_LEFT);
      style.border_left_gap = 12;
      style.extended_flags = SSEF_RIGHT_ARROW;
      WM_BUTTON b(20, 20, 119, 49, &style, "Mm", nullptr, nullptr, 0, 0, 2);
      b.icon.create(4, 4);
      b.icon.fill_rect_solid(0, 0, 3, 3, &red);
      b.text_colour = yellow;
      b.pressed = pressed;
      b.draw();
      text[pressed] = top_left_of(yellow);
      // Centred in the left gap strip (x 20..32, y 24..45).
      EXPECT_EQ(top_left_of(red), std::make_pair(24 + pressed, 33 + pressed)) << align;
    }
    EXPECT_EQ(text[1].first - text[0].first, 1) << align;
    EXPECT_EQ(text[1].second - text[0].second, 1) << align;
  }
}

// Rest mode: the tooltip shows once the calendar second is two past the
// one the pointer came in, from the pointer's x, above the button (below it
// where there is no room above) so that it never covers it, and inside the
// surface; a press or leaving hides it.
TEST_F(Button, TooltipAfterARest) {
  WM_MANAGER root;
  root.set_size(200, 150, false);
  WM_STYLE_SET style = plain();
  auto* b = new WM_BUTTON(20, 60, 79, 89, &style, "Go", "Help text", record, 0, 0, 2);
  root.add_child(b, false);
  WM_SCRIPT* tip = b->tooltip;
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->visible, 0);
  auto shown = [&] { return WM_SCREEN_OBJECT::is_overlay(tip) && tip->visible; };
  input.advance_ms(1000 - input.now_ms() % 1000 + 900);  // 900 ms into a second
  input.move_to(30, 70);
  for (uint32_t ms : {0, 100, 999, 1}) {
    input.advance_ms(ms);
    frame(root);
    EXPECT_EQ(shown(), ms == 1) << ms;
  }
  EXPECT_EQ((std::vector<int>{tip->x, tip->y}), (std::vector<int>{30, 60 - tip->height}));
  input.move_to(40, 70);  // followed without a new wait, also along one axis
  frame(root);
  EXPECT_EQ(tip->x, 40);
  input.press(1);  // hidden, and the wait starts again
  for (const auto& [ms, shown_now] : {std::pair{0u, false}, {500u, false}, {1500u, true}}) {
    input.advance_ms(ms);
    frame(root);
    EXPECT_EQ(shown(), shown_now) << ms;
    input.release(1);
  }
  input.move_to(150, 20);
  frame(root);
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(tip));
  // Near the bottom-right it moves inside; at the top it goes below the
  // button; it never covers the button and keeps a few pixels inside the
  // surface's edges.
  const int16_t m = WM_BUTTON::TOOLTIP_MARGIN;
  ASSERT_GE(m, 2);
  const struct {
    int16_t bx, by, px, py, tx, ty;
  } corners[] = {{150, 120, 195, 145, -1, 120}, {0, 0, 2, 2, m, 30}};
  for (const auto& c : corners) {
    input.move_to(190, 10);
    frame(root);
    b->set_position(c.bx, c.by);
    input.move_to(c.px, c.py);
    frame(root);
    input.advance_ms(2000);
    frame(root);
    ASSERT_TRUE(shown());
    EXPECT_EQ(tip->x, c.tx < 0 ? 200 - m - tip->width : c.tx);
    EXPECT_EQ(c.by ? tip->y + tip->height : tip->y, c.ty);
    EXPECT_TRUE(RECT::sized(b->x, b->y, b->width, b->height)
                    .intersect(RECT::sized(tip->x, tip->y, tip->width, tip->height))
                    .empty());
    EXPECT_TRUE(RECT::sized(m, m, 200 - 2 * m, 150 - 2 * m)
                    .contains(RECT::sized(tip->x, tip->y, tip->width, tip->height)));
  }
  // Exactly the margin above the surface's top: still above the button.
  b->set_position(40, static_cast<int16_t>(tip->height + m));
  input.move_to(45, tip->height + m + 5);
  frame(root);
  EXPECT_EQ(tip->y, m);
  b->set_tooltip(nullptr);  // takes the shown tooltip off the list
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
  // In a page, moving from a shown tooltip on to a neighbour shows the
  // neighbour's without a new wait; leaving the window shows none.
  WM_PAGE_MANAGER manager(1, -1);
  WM_MANAGER& page = manager.area(0).root;
  auto* one = new WM_BUTTON(20, 60, 79, 89, &style, "A", "First", record, 0, 0, 2);
  auto* two = new WM_BUTTON(80, 60, 139, 89, &style, "B", "Second", record, 0, 0, 2);
  page.add_child(one, false);
  page.add_child(two, false);
  const struct {
    int from, to;
    WM_SCRIPT* tip;
  } moves[] = {{30, 90, two->tooltip}, {90, 300, nullptr}, {90, 30, one->tooltip}};  // 300: outside
  for (const auto& mv : moves) {
    input.move_to(mv.from, 70);
    frame(page);
    input.advance_ms(2000);
    frame(page);
    input.move_to(mv.to, 70);
    for (int f = 0; f < 2; ++f) frame(page);  // a button processed first gets it a frame later
    EXPECT_EQ(WM_SCREEN_OBJECT::overlays(), mv.tip ? std::vector<WM_SCREEN_OBJECT*>{mv.tip}
                                                   : std::vector<WM_SCREEN_OBJECT*>{}) << mv.to;
  }
}

// Press mode: shown centred above while pressed. While it shows the page
// manager takes the focus away (the tooltip holds the input and has
// nothing to focus); it goes back afterwards, unless its object has gone.
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
  auto manager = std::make_unique<WM_PAGE_MANAGER>(2, -1);
  for (const int where : {0, 1, 2}) {  // in the button's tree, in the first page area, deleted
    if (where == 1) {
      root.remove_child(other, false, false);
      manager->area(0).root.add_child(other, false);
      other->show();
    }
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
    if (where == 2) manager->area(0).root.remove_child(other, true, false);
    input.release(1);
    frame(root);
    frame(root);
    EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(tip));
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, where == 2 ? nullptr : other) << where;
  }
  EXPECT_EQ(heard, "UUU");
}

std::vector<uint32_t> drags;
int32_t record_drag(WM_BUTTON*, WM_SCREEN_OBJECT*, int16_t, int16_t, uint32_t event, uintptr_t, uintptr_t) {
  drags.push_back(event);
  return 0;
}

TEST_F(Button, DragAndDrop) {
  WM_MANAGER root;
  root.set_size(200, 150, false);
  root.set_position(5, 3);  // away from the origin: the dragged button stays where it is
  WM_STYLE_SET style = plain();
  auto* b = new WM_BUTTON(20, 20, 79, 49, &style, "Drag", nullptr, nullptr, 0, 0, 2);
  root.add_child(b, false);
  b->drag_callback = record_drag;
  b->drag_mask = 15;
  drags.clear();
  // Pressed at (30, 30), then moved along the path with the button held.
  WM_SCREEN_OBJECT* tree = &root;
  auto drag = [&](int button, std::initializer_list<std::pair<int, int>> path) {
    input.move_to(30, 30);
    input.press(button);
    frame(*tree);
    for (const auto& [px, py] : path) {
      input.move_to(px, py);
      frame(*tree);
    }
  };
  // Dropped elsewhere, then dragged away and back with the right button,
  // straight after a hotkey was tapped: released in place.
  const std::pair<int, int> paths[][2] = {{{120, 100}, {120, 100}}, {{31, 30}, {30, 30}}};
  b->set_hotkey('h');
  for (const int button : {1, 2}) {
    const auto& path = paths[button - 1];
    for (const auto& keys : {std::set<uint32_t>{'h'}, {}}) { wm_test::held_keys = keys; frame(root); }
    drag(button, {path[0], path[1]});
    EXPECT_TRUE(WM_SCREEN_OBJECT::is_overlay(b));
    EXPECT_EQ(b->depth, -1);  // still at its place in the tree
    clear_screen();
    b->draw();  // a translucent copy under the pointer
    EXPECT_NE(pixel(static_cast<int16_t>(path[1].first - 5), static_cast<int16_t>(path[1].second - 5)),
              kScreen);
    EXPECT_TRUE(test_support::picture_matches_reference(
        "core4", "button_dragged_" + std::to_string(path[1].first), *get_screen_image()));
    input.release(button);
    frame(root);
    EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(b));
    EXPECT_EQ(std::pair(b->x, b->y), (std::pair<int16_t, int16_t>(20, 20)));
  }
  // The right button drags only a button that asks for it.
  b->right_drags = 0;
  drag(2, {{120, 100}});
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(b));
  input.release(2);
  frame(root);
  EXPECT_EQ(drags, (std::vector<uint32_t>{drag_event::START, drag_event::DROP, drag_event::START,
                                          drag_event::RELEASE_IN_PLACE}));
  // A dragging frame stands in for the button at its size; a drag icon,
  // however narrow, for either, at the pointer's offset. Each is checked at
  // its far corner. With a new button's drag mask the callback hears nothing.
  b->drag_mask = WM_BUTTON(0, 0, 9, 9, &style, "", nullptr, nullptr, 0, 0, 2).drag_mask;
  const COLOUR mark = 0xFFFF00FF;
  ASSERT_NO_FATAL_FAILURE(save_solid_png("d_dragging.png", mark));
  b->load_images(skin, "d", nullptr);
  for (const auto& [far_x, far_y] : {std::pair<int16_t, int16_t>{169, 119}, {110, 92}}) {
    drag(1, {{120, 100}});
    clear_screen();
    b->draw();
    EXPECT_EQ((std::vector<COLOUR>{pixel(far_x, far_y), pixel(far_x + 1, far_y), pixel(far_x, far_y + 1)}),
              (std::vector<COLOUR>{mark, kScreen, kScreen})) << far_x;
    input.release(1);
    frame(root);
    b->drag_icon.create(1, 3);
    b->drag_icon.clear(&mark, true);
  }
  EXPECT_EQ(drags.size(), 4u);
  // A button in no tree is listed over the page manager's page while dragged.
  WM_PAGE_MANAGER manager(1, -1);
  root.remove_child(b, false, false);
  std::unique_ptr<WM_BUTTON> alone(b);
  tree = b;
  b->show();
  drag(1, {{120, 100}});
  EXPECT_TRUE(WM_SCREEN_OBJECT::is_overlay(b));
  // Deleted while dragged, its copy under the pointer is marked for repainting.
  dirty_rectangles().clear();
  alone.reset();
  EXPECT_TRUE(dirty_rectangles().entry(0).contains(RECT::sized(110, 90, 60, 30)));
}

// A page of buttons in different states, in a skin the test makes,
// compared with its reference picture.
TEST_F(Button, ScreenshotOfButtons) {
  IMAGE face(16, 16);
  const COLOUR rim = 0xFF204060, fill = 0xFF80C0F0, down_fill = 0xFF4080C0;
  face.fill_rect_solid(0, 0, 15, 15, &rim);
  for (const auto& [name, colour] : {std::pair{"skin_up", fill}, {"skin_down", down_fill},
                                     {"skin_over", kInk}}) {
    face.fill_rect_solid(2, 2, 13, 13, &colour);
    save(name, face);
  }
  WM_MANAGER root;
  root.set_size(200, 150, false);
  const struct {
    const char* text;
    void (*set)(WM_BUTTON&);
  } rows[] = {
      {"Up", [](WM_BUTTON&) {}},
      {"Over", [](WM_BUTTON& b) { b.mouse_over = 1; }},
      {"Down", [](WM_BUTTON& b) { b.pressed = 1; }},
      {"Plain", [](WM_BUTTON&) {}},
      {"Pressed", [](WM_BUTTON& b) { b.pressed = 1; }},
      {"Off", [](WM_BUTTON& b) { b.enabled = 0; }},
      {"Active", [](WM_BUTTON& b) { b.active = 1, b.mark[0] = 'x'; }},
      {"Arrow", [](WM_BUTTON& b) { b.draw_flags |= button_flag::ARROW_DOWN; }},
  };
  for (int i = 0; i < 8; ++i) {
    const bool skinned = i < 3;
    WM_STYLE_SET style = plain(SSF_DRAW_BORDER | SSF_VFADING);
    style.shading_flags = i % 2 ? 255 : 15;
    style.fading_colour = 0xFF102040;
    style.fg_colour = skinned ? 0xFF000000 : kInk;
    style.border_left_gap = 14;
    style.disabled_text_colour = 0xFFA0A0A0;
    if (skinned) {
      style.set_image_filename("skin");
      strcpy(style.image_path, "$APP/skin");
    }
    const auto bx = static_cast<int16_t>(8 + (i % 2) * 96), by = static_cast<int16_t>(6 + i / 2 * 36);
    auto* b = new WM_BUTTON(bx, by, static_cast<int16_t>(bx + 87), static_cast<int16_t>(by + 29),
                            &style, rows[i].text, nullptr, nullptr, 0, 0, 2);
    EXPECT_EQ(b->has_images(), skinned);
    rows[i].set(*b);
    root.add_child(b, false);
  }
  clear_screen();
  root.invalidate();
  wm_test::paint_table(&root);
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "buttons", *get_screen_image()));
  // A new text shows at the next repaint.
  auto* first = static_cast<WM_BUTTON*>(root.get_child(0));
  const std::vector<COLOUR> before = pixels_of(*first);
  first->set_text("Pressed", false);
  wm_test::paint_table(&root);
  EXPECT_NE(pixels_of(*first), before);
  EXPECT_EQ((std::vector<COLOUR>{pixel(22, 14), pixel(118, 14), pixel(22, 50)}), (std::vector<COLOUR>{fill, kInk, down_fill}));
}

}  // namespace
