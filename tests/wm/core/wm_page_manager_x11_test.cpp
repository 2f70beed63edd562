// Tab, Shift+Tab and Return as real key presses: XTEST events reach the key
// queue and the key map through the platform frame, and the page manager's
// frame moves the focus through the page's selectable objects; the dialog
// effects keep the frames coming, and only what was repainted is sent.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <memory>
#include <string>

#include "dialog_effects.h"
#include "platform.h"
#include "wm_button.h"
#include "wm_dialog.h"
#include "wm_page_manager.h"
#include "wm_test_objects.h"
#include "wm_x11_fixture.h"

namespace {

class PageManagerX11 : public wm_test::PointerX11 {
protected:
  PageManagerX11() : PointerX11("Page manager test", 400, 300) {}
  void TearDown() override {
    manager.reset();
    PointerX11::TearDown();
  }

  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

std::string clicked;
WM_BUTTON* row_buttons[3] = {};

int32_t on_row_button(WM_SCREEN_OBJECT*, uintptr_t letter, uintptr_t) {
  clicked += static_cast<char>(letter);
  return 0;
}

// Buttons A, B and C side by side, clicked on release; A has the focus.
void create_button_row(WM_PAGE_MANAGER* manager) {
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER;
  for (int i = 0; i < 3; ++i) {
    row_buttons[i] = new WM_BUTTON(static_cast<int16_t>(10 + 100 * i), 10, static_cast<int16_t>(90 + 100 * i), 40,
                                   &style, "", nullptr, on_row_button, static_cast<uintptr_t>('A' + i), 0,
                                   button_event::RELEASE);
    row_buttons[i]->selectable = 1;
    manager->current_root()->add_child(row_buttons[i], false);
  }
}

}  // namespace

// Keys typed faster than the frames come: every press and release of a
// script goes to the server back to back, and one platform frame takes them
// all. Each key still reaches the page in its own frame, in order, Shift
// with the Tab it was held for: the clicked button and where the focus
// ends say so.
TEST_F(PageManagerX11, KeysBetweenTwoFramesAllArriveInOrder) {
  const struct {
    const char* keys;  // > Tab, < Shift+Tab, r Return
    const char* clicked;
    int focus;  // index of the button
  } rows[] = {
      {">r", "B", 1}, {">>r", "C", 2}, {">>>r", "A", 0}, {"<r", "C", 2},
      {"><r", "A", 0}, {"r>", "A", 1},  {"r>r", "AB", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    manager.reset();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, create_button_row, nullptr, 0, nullptr, 0, 0, nullptr);
    ASSERT_EQ(manager->frame(true), page_action::SWITCH_PAGE);
    ASSERT_EQ(WM_SCREEN_OBJECT::focus_object, row_buttons[0]);
    clicked.clear();
    for (const char* k = row.keys; *k; ++k) {
      if (*k == '<') key(XK_Shift_L, true);
      key(*k == 'r' ? XK_Return : XK_Tab, true);
      key(*k == 'r' ? XK_Return : XK_Tab, false);
      if (*k == '<') key(XK_Shift_L, false);
    }
    XSync(probe, False);
    XSync(x11.display, False);
    for (int frame = 0; frame < 12; ++frame) {
      platform_update();
      manager->frame(true);
    }
    EXPECT_EQ(clicked, row.clicked);
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, row_buttons[row.focus]);
    EXPECT_NE(key_queue.peek_last_key(), static_cast<uint32_t>(XK_Tab));  // the page manager took Tab
  }
}

// While a dialog's opening slide runs, the loop gets its next frame at once,
// also after the updates in which the slide does not step (an effect
// advances on every second one); resting, the dialog lets the loop wait
// for input again.
TEST_F(PageManagerX11, ARunningDialogEffectKeepsTheFramesComing) {
  set_idle_wait(0);  // the platform frame below only clears the flag
  WM_MANAGER root;
  auto* dialog = new WM_DIALOG(50, 40, 100, 60, nullptr, nullptr, nullptr, nullptr,
                               &default_dialog_effects());  // slides in from above
  root.add_overlay(dialog, false);
  wm_test::paint_table(&root);  // the first paint starts the slide
  uint32_t clock = 1000;
  const struct {
    uint32_t later;  // ms on the frame clock
    bool at_once;    // the next frame comes without the idle wait
  } frames[] = {{0, true}, {0, true}, {150, true}, {0, true}, {150, true}, {0, false}, {0, false}};
  for (const auto& f : frames) {
    platform_update();
    clock += f.later;
    WM_SCREEN_OBJECT::set_frame_clock(clock);
    root.update(true);
    wm_test::paint_table(&root);
    EXPECT_EQ(get_presented(), f.at_once) << "at " << clock << " ms, y " << dialog->y;
  }
  EXPECT_EQ(dialog->y, 40);
  root.destroy_children(true, 0, true);
}

namespace {

WM_SCREEN_OBJECT* near_box = nullptr;
WM_SCREEN_OBJECT* far_box = nullptr;

void create_two_far_boxes(WM_PAGE_MANAGER* manager) {
  near_box = new wm_test::BOX(10, 10, 30, 20, 0xFF0000FF);
  far_box = new wm_test::BOX(340, 250, 40, 30, 0xFF0000FF);
  manager->current_root()->add_child(near_box, false);
  manager->current_root()->add_child(far_box, false);
}

}  // namespace

// Two objects far apart change in one frame: the window gets their two
// rectangles and nothing between them, where the screen holds a change that
// nobody reported (a box covering both would have carried it along).
TEST_F(PageManagerX11, OnlyTheRepaintedRectanglesReachTheWindow) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  manager->set_page(0, create_two_far_boxes, nullptr, 0, nullptr, 0, 0, nullptr);
  ASSERT_EQ(manager->frame(true), page_action::SWITCH_PAGE);
  auto shown = [&](int x, int y) {
    const std::vector<uint32_t> pixel = window_pixels(x, y, 1, 1);
    EXPECT_FALSE(pixel.empty());
    return pixel.empty() ? 0ul : static_cast<unsigned long>(pixel[0]);
  };
  ASSERT_EQ(shown(20, 20), 0x0000FFul);
  const unsigned long between = shown(200, 150);

  get_screen_image()->pixels[150 * get_screen_image()->stride + 200] = 0xFFFF00FF;
  static_cast<wm_test::BOX*>(near_box)->fill = 0xFF00FF00;
  static_cast<wm_test::BOX*>(far_box)->fill = 0xFFFF0000;
  near_box->invalidate();
  far_box->invalidate();
  EXPECT_EQ(manager->frame(true), 0);
  EXPECT_EQ(shown(20, 20), 0x00FF00ul);
  EXPECT_EQ(shown(360, 265), 0xFF0000ul);
  EXPECT_EQ(shown(200, 150), between);
}

// The pointer shape a page asks for lasts the frame it asks in; shapes past
// the last (6) are not taken.
TEST_F(PageManagerX11, TheShapeAPageAsksForEndsItsFrame) {
  static uint8_t asked = 0;
  for (const uint8_t shape : {6, 7}) {
    asked = shape;
    manager.reset();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, create_two_far_boxes, nullptr, 0, [] {
      WM_PAGE_MANAGER::get()->request_cursor_shape(asked);
      return 0;
    }, 0, 0, nullptr);
    manager->frame(true);
    manager->frame(true);
    EXPECT_EQ(manager->get_cursor_shape(), shape == 6 ? 6 : 0) << int(shape);
  }
}
