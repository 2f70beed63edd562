// Menus and list boxes in a real window driven by XTEST events: a menu bar
// opens its pop-ups and a sub-menu by pointer and by keys and calls back
// with the chosen item; a long list box drops down, scrolls by its arrow and
// reports the chosen value.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <functional>
#include <string>
#include <vector>

#include "dirty_rectangles.h"
#include "font.h"
#include "input.h"
#include "platform.h"
#include "private_x_server.h"
#include "screen.h"
#include "timing.h"
#include "window.h"
#include "wm_grid.h"
#include "wm_list_box.h"
#include "wm_manager.h"
#include "wm_menu.h"
#include "wm_test_fonts.h"

namespace {

::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

uint64_t fake_now = 5000;
uint64_t fake_clock() { return fake_now; }
std::vector<std::string> heard;

int32_t note(WM_SCREEN_OBJECT* item, uintptr_t, uintptr_t) {
  heard.emplace_back(static_cast<WM_BUTTON*>(item)->get_text());
  return 0;
}

int32_t note_change(WM_LIST_BOX* box, uintptr_t, uintptr_t) {
  heard.push_back("value " + std::to_string(box->get_value()));
  return 0;
}

WM_STYLE_SET style_of(COLOUR background, uint32_t drawing_flags) {
  WM_STYLE_SET s;
  s.drawing_flags = drawing_flags;
  s.shading_type = 6;
  s.shading_flags = border_flag::ALL_SIDES;
  s.fg_colour = 0xFF000000;
  s.bg_colour = background;
  s.highlight_colour = 0xFF3060C0;
  s.font_x_sz = s.font_y_sz = 12;
  s.border_left_gap = s.border_right_gap = 6;
  s.border_top_gap = s.border_bottom_gap = 2;
  s.cell_top_gap = s.cell_bottom_gap = 2;
  s.x_spacing = s.y_spacing = 0;
  return s;
}

class MenuX11 : public ::testing::Test {
protected:
  void SetUp() override {
    probe = XOpenDisplay(nullptr);
    if (!probe) GTEST_SKIP() << "no X display";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(probe, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST";
    ASSERT_TRUE(wm_test::load_test_font());
    ASSERT_TRUE(private_x::open_focused_window(probe, "Menu test", 400, 300));
    Window child = 0;
    XTranslateCoordinates(probe, x11.window, DefaultRootWindow(probe), 0, 0, &window_x, &window_y,
                          &child);
    set_clock(fake_clock);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    WM_SCREEN_OBJECT::set_key_down_function(nullptr);  // the real key map
    WM_SCREEN_OBJECT::focus_object = nullptr;
    dirty_rectangles().clear();
    heard.clear();
    private_x::pump_frames(probe, [] { return false; }, 5);
    key_queue.get_last_key();
  }
  void TearDown() override {
    root.destroy_children(true, 0, true);
    set_clock(nullptr);
    if (!probe) return;
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    XSync(probe, False);
    close_window(ALL_SCREENS);
    set_idle_wait(50);
    XCloseDisplay(probe);
    FONT::shutdown();
  }
  // One toolkit frame 20 ms after the last.
  void frame() {
    fake_now += 20;
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(fake_now));
    for (int tick = 0; tick < 2; ++tick) {
      root.update(false);
      root.update(true);
    }
    root.process();
    wm_test::paint_table(&root);
  }
  // Platform frames, each followed by a toolkit frame, until done.
  bool frames_until(const std::function<bool()>& done) {
    return private_x::pump_frames(probe, [&] {
      frame();
      return done();
    });
  }
  void move_to(WM_SCREEN_OBJECT* o) {
    const int px = o->x + o->width / 2, py = o->y + o->height / 2;
    XTestFakeMotionEvent(probe, DefaultScreen(probe), window_x + px, window_y + py, CurrentTime);
    ASSERT_TRUE(frames_until([&] { return mouse.x == px && mouse.y == py; }));
  }
  void click() {
    XTestFakeButtonEvent(probe, 1, True, CurrentTime);
    ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::LEFT) != 0; }));
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::LEFT) == 0; }));
    for (int i = 0; i < 3; ++i) frame();
  }
  void tap(KeySym symbol) {
    const KeyCode code = XKeysymToKeycode(probe, symbol);
    XTestFakeKeyEvent(probe, code, True, CurrentTime);
    ASSERT_TRUE(frames_until([&] { return is_key_down(static_cast<uint32_t>(symbol)); }));
    XTestFakeKeyEvent(probe, code, False, CurrentTime);
    ASSERT_TRUE(frames_until([&] { return !is_key_down(static_cast<uint32_t>(symbol)); }));
    for (int i = 0; i < 3; ++i) frame();
  }
  WM_MENU* add_menu(int16_t mx, const char* text) {
    auto* menu = new WM_MENU(mx, 10, static_cast<int16_t>(mx + 59), 29, text,
                             MENU_DIRECTION::BELOW, &button, &body, &item, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
    root.add_child(menu, false);
    return menu;
  }

  Display* probe = nullptr;
  int window_x = 0, window_y = 0;
  WM_MANAGER root;
  WM_STYLE_SET button = style_of(0xFFD8D8D8, SSF_DRAW_BORDER);
  WM_STYLE_SET body = style_of(0xFFF0F0E0, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER);
  WM_STYLE_SET item = style_of(0xFFF0F0E0, SSF_LEFT_JUSTIFY_TEXT);
};

}  // namespace

TEST_F(MenuX11, MenuBarOpensPopupsAndSubMenusByPointerAndKeys) {
  WM_MENU* file = add_menu(10, "File");
  WM_MENU* edit = add_menu(70, "Edit");
  edit->link(file);
  WM_FLOATING_MENU* file_popup = file->get_popup();
  file_popup->add_item("Open", note, 0, 0, false);
  file_popup->add_item("Save", note, 0, 0, false);
  WM_MENU* recent = file_popup->add_submenu("Recent", true, true, nullptr, nullptr);
  recent->get_popup()->add_item("a.txt", note, 0, 0, false);
  WM_BUTTON* b_txt = recent->get_popup()->add_item("b.txt", note, 0, 0, false);
  file_popup->add_item("Quit", note, 0, 0, true);
  edit->get_popup()->add_item("Cut", note, 0, 0, false);

  // A press opens the pop-up; the pointer moving along the bar takes the
  // open pop-up with it.
  move_to(file);
  click();
  ASSERT_TRUE(file->is_open());
  move_to(edit);
  ASSERT_TRUE(frames_until([&] { return edit->is_open() && !file_popup->visible; }));
  move_to(file);
  ASSERT_TRUE(frames_until([&] { return file->is_open() && !edit->get_popup()->visible; }));
  // Resting on the sub-menu item opens its pop-up beside it; a click there
  // chooses and closes both.
  move_to(recent);
  ASSERT_TRUE(frames_until([&] { return recent->is_open(); }));
  EXPECT_EQ(recent->get_popup()->x, recent->x + recent->width);
  move_to(b_txt);
  click();
  EXPECT_EQ(heard, std::vector<std::string>{"b.txt"});
  EXPECT_FALSE(file_popup->visible);
  EXPECT_FALSE(recent->get_popup()->visible);

  // By keys: Down enters keyboard mode on the first item, Return on the
  // sub-menu item opens it, Down and Return choose in there.
  move_to(file);
  click();
  ASSERT_TRUE(file->is_open());
  for (KeySym k : {XK_Down, XK_Down, XK_Down}) tap(k);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, recent);
  tap(XK_Return);
  ASSERT_TRUE(frames_until([&] { return recent->is_open(); }));
  for (KeySym k : {XK_Down, XK_Down}) tap(k);
  tap(XK_Return);
  EXPECT_EQ(heard, (std::vector<std::string>{"b.txt", "b.txt"}));
  EXPECT_FALSE(file_popup->visible);
  // Escape closes an open pop-up without a choice.
  click();
  ASSERT_TRUE(file->is_open());
  tap(XK_Escape);
  ASSERT_TRUE(frames_until([&] { return !file_popup->visible; }));
  EXPECT_EQ(heard.size(), 2u);
}

TEST_F(MenuX11, LongListBoxDropsDownScrollsAndReportsTheChosenValue) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("Choice " + std::to_string(i));
  std::vector<const char*> texts;
  for (const std::string& n : names) texts.push_back(n.c_str());
  auto* box = new WM_LIST_BOX(150, 40, 279, 59, static_cast<int32_t>(texts.size()), texts.data(), 0,
                              &button, &body, &item, nullptr, nullptr, nullptr, nullptr, nullptr,
                              note_change, 0, 0, nullptr);
  root.add_child(box, false);
  WM_FLOATING_MENU* popup = box->get_popup();
  move_to(box);
  click();
  ASSERT_TRUE(box->is_open());
  ASSERT_NE(popup->get_down_arrow(), nullptr);
  EXPECT_EQ(popup->get_first_visible(), 0);
  // Resting on the down arrow scrolls, and keeps scrolling while it rests.
  move_to(popup->get_down_arrow());
  ASSERT_TRUE(frames_until([&] { return popup->get_first_visible() >= 3; }));
  ASSERT_NE(popup->get_up_arrow(), nullptr);
  EXPECT_EQ(popup->get_up_arrow()->visible, 1);

  // Off the arrow the list stays; the item under the pointer is chosen.
  move_to(popup);
  const int32_t first = popup->get_first_visible();
  int32_t row = -1;
  for (int32_t i = first; i <= popup->get_last_visible() && row < 0; ++i) {
    WM_BUTTON* b = popup->get_item(i);
    if (b && b->hit_test(static_cast<int16_t>(mouse.x), static_cast<int16_t>(mouse.y))) row = i;
  }
  ASSERT_GT(row, first);
  click();
  ASSERT_TRUE(frames_until([] { return !heard.empty(); }));
  EXPECT_EQ(heard, std::vector<std::string>{"value " + std::to_string(row)});
  EXPECT_EQ(box->get_selected(), row);
  EXPECT_EQ(std::string(box->get_text()), names[static_cast<size_t>(row)]);
  EXPECT_FALSE(popup->visible);
}
