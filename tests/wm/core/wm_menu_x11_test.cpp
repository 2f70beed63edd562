// Menus and list boxes in a real window driven by XTEST events: a menu bar
// opens its pop-ups and a sub-menu by pointer and by keys and calls back
// with the chosen item; a long list box drops down, scrolls by its arrow and
// reports the chosen value.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <string>
#include <vector>

#include "timing.h"
#include "wm_grid.h"
#include "wm_list_box.h"
#include "wm_manager.h"
#include "wm_menu.h"
#include "wm_test_fonts.h"
#include "wm_x11_fixture.h"

namespace {

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
  WM_STYLE_SET s = wm_test::text_style(background, drawing_flags, 0xFF000000);
  s.highlight_colour = 0xFF3060C0;
  s.cell_top_gap = s.cell_bottom_gap = 2;
  s.border_left_gap = s.border_right_gap = 6;
  s.border_top_gap = s.border_bottom_gap = 2;
  s.x_spacing = s.y_spacing = 0;
  return s;
}

class MenuX11 : public wm_test::PointerX11 {
protected:
  MenuX11() : PointerX11("Menu test", 400, 300) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    set_clock(fake_clock);
    WM_SCREEN_OBJECT::focus_object = nullptr;
    heard.clear();
    // One toolkit frame 20 ms after the last.
    frame = [this] {
      fake_now += 20;
      WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(fake_now));
      for (int tick = 0; tick < 2; ++tick) {
        root.update(false);
        root.update(true);
      }
      root.process();
      wm_test::paint_table(&root);
    };
  }
  void TearDown() override {
    root.destroy_children(true, 0, true);
    set_clock(nullptr);
    PointerX11::TearDown();
  }
  // A click or a key, then three toolkit frames.
  void click() {
    ASSERT_NO_FATAL_FAILURE(press());
    ASSERT_NO_FATAL_FAILURE(release());
    for (int i = 0; i < 3; ++i) frame();
  }
  void tap(KeySym symbol) {
    ASSERT_NO_FATAL_FAILURE(PointerX11::tap(symbol));
    for (int i = 0; i < 3; ++i) frame();
  }
  WM_MENU* add_menu(int16_t mx, const char* text) {
    auto* menu = new WM_MENU(mx, 10, static_cast<int16_t>(mx + 59), 29, text,
                             MENU_DIRECTION::BELOW, &button, &body, &item, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
    root.add_child(menu, false);
    return menu;
  }

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
  EXPECT_EQ(file->pressed, 0);  // the menu left behind is drawn up again
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
