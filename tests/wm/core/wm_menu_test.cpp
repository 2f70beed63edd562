// Menus, pop-ups and list boxes on the headless screen: keyboard mode and
// type-ahead, list-box selections and reports, menus emptied, refilled and
// deleted while open or from their own callbacks, and a picture of open
// pop-ups.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "input.h"
#include "input_driver.h"
#include "test_support.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_keys.h"
#include "wm_list_box.h"
#include "wm_manager.h"
#include "wm_menu.h"
#include "wm_test_fonts.h"

namespace {

using wm_test::held_keys;
using wm_test::pixel;

constexpr COLOUR kScreen = 0xFF406080;
constexpr COLOUR kBody = 0xFFF0F0E0;
constexpr COLOUR kItem = 0xFFD8D8D8;
constexpr COLOUR kInk = 0xFF000000;
constexpr uint32_t kEscape = 0xFF1B;
constexpr uint32_t kReturn = 0xFF0D;

std::vector<std::string> heard;
WM_MENU* doomed_menu = nullptr;

// Answers with its first word as the page action.
int32_t note(WM_SCREEN_OBJECT* item, uintptr_t answer, uintptr_t) {
  heard.emplace_back(static_cast<WM_BUTTON*>(item)->get_text());
  return static_cast<int32_t>(answer);
}

int32_t change_answer = 0;  // what the list boxes' change callback answers
int32_t note_change(WM_LIST_BOX* box, uintptr_t, uintptr_t) {
  heard.push_back(std::to_string(box->get_value()));
  return change_answer;
}

WM_STYLE_SET style_of(COLOUR background, uint32_t drawing_flags) {
  WM_STYLE_SET s = wm_test::text_style(background, drawing_flags, 0xFF000000);
  s.highlight_colour = 0xFF3060C0;
  s.highlight_text_colour = 0xFFFFFFFF;
  s.border_left_gap = s.border_right_gap = 6;
  s.border_top_gap = s.border_bottom_gap = 2;
  s.x_spacing = s.y_spacing = 0;
  return s;
}

class Menu : public wm_test::TextSkinTest {
protected:
  Menu() : TextSkinTest("menu_test", 360, 240) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    heard.clear();
    key_queue.set_size(10);
    key_queue.get_last_key();
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 359, 239, &c);
    frame(0);
  }
  void TearDown() override {
    root.destroy_children(true, 0, true);
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
    TextSkinTest::TearDown();
  }
  // One frame after ms: ticks (twice, as effects advance every second
  // one), input, paint; returns the page action of the input.
  int32_t frame(uint64_t ms = 20) {
    input.advance_ms(ms);
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
    for (int tick = 0; tick < 2; ++tick) {
      root.update(false);
      root.update(true);
    }
    const int32_t action = root.process();
    wm_test::paint_table(&root);
    return action;
  }
  // Returns the page action of the release's frame; held, the pointer moves by drag_x.
  int32_t click_at(int32_t px, int32_t py, int32_t drag_x = 0) {
    input.move_to(px, py);
    frame();
    input.press(1);
    frame();
    input.move_to(px + drag_x, py);
    frame();
    input.release(1);
    return frame();
  }
  int32_t click_on(WM_SCREEN_OBJECT* o) { return click_at(o->x + o->width / 2, o->y + o->height / 2); }
  // n frames; with an object, the pointer first comes to rest 5 pixels into it.
  void frames(int n, const WM_SCREEN_OBJECT* over = nullptr) {
    if (over) input.move_to(over->x + 5, over->y + 5);
    for (int i = 0; i < n; ++i) frame();
  }
  void hold(uint32_t key) {
    held_keys.insert(key);
    frame();
    held_keys.erase(key);
    frame();
  }
  // A free menu button at (x, y) with the test look; owned by the root.
  WM_MENU* add_menu(int16_t mx, int16_t my, const char* text) {
    auto* menu = new WM_MENU(mx, my, static_cast<int16_t>(mx + 59), static_cast<int16_t>(my + 19),
                             text, MENU_DIRECTION::BELOW, &button, &body, &item, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
    root.add_child(menu, false);
    return menu;
  }
  WM_LIST_BOX* add_list(int16_t lx, int16_t ly, int16_t w, std::vector<const char*> texts, int32_t initial) {
    auto* box = new WM_LIST_BOX(lx, ly, static_cast<int16_t>(lx + w - 1),
                                static_cast<int16_t>(ly + 19), static_cast<int32_t>(texts.size()),
                                texts.data(), initial, &button, &body, &item, nullptr, nullptr,
                                nullptr, nullptr, nullptr, note_change, 0, 0, nullptr);
    root.add_child(box, false);
    return box;
  }
  int32_t focused_row(WM_FLOATING_MENU* popup) const {
    for (int32_t i = 0; i < popup->get_item_count(); ++i) {
      if (popup->get_item(i) && popup->get_item(i) == WM_SCREEN_OBJECT::focus_object) return i;
    }
    return -1;
  }

  test_support::INPUT_DRIVER input;
  WM_MANAGER root;
  WM_STYLE_SET button = style_of(kItem, SSF_DRAW_BORDER);
  WM_STYLE_SET body = style_of(kBody, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER);
  WM_STYLE_SET item = style_of(kBody, SSF_LEFT_JUSTIFY_TEXT);
};

// Each step presses one key or types characters after a pause, and names
// the row that has the focus after it.
TEST_F(Menu, KeysMoveTheFocusTypeAheadReturnChoosesAndEscapeCloses) {
  WM_MENU* menu = add_menu(10, 10, "Fruit");
  WM_FLOATING_MENU* popup = menu->get_popup();
  for (const std::string text : {"Apple", "Apricot", "Banana", "Blueberry", "Cherry", "Cranberry"})
    ASSERT_NE(popup->add_item(text.c_str(), note, 0, 0, text == "Cherry"), nullptr) << text;
  ASSERT_EQ(popup->get_item_count(), 7);  // the separator is row 4
  // Separators at the end are no part of what shows: the pop-up keeps its height.
  const uint16_t height = popup->height;
  popup->add_separator();
  popup->add_separator();
  EXPECT_EQ((std::pair<int32_t, int32_t>(popup->get_last_visible(), popup->height)), (std::pair<int32_t, int32_t>(6, height)));
  click_on(menu);
  ASSERT_TRUE(menu->is_open());
  input.move_to(-1, -1);  // the pointer leaving the window neither acts nor closes
  EXPECT_EQ(menu->update(false), 0);
  EXPECT_TRUE(menu->is_open());

  const struct {
    uint32_t key;
    const char* typed;
    uint64_t pause;
    int32_t focus;
    const char* prefix;
  } steps[] = {
      {wm_key::DOWN, nullptr, 0, 0, ""},  // keyboard mode starts on the first item
      {wm_key::DOWN, nullptr, 0, 1, ""}, {wm_key::END, nullptr, 0, 6, ""}, {wm_key::UP, nullptr, 0, 5, ""},
      {wm_key::UP, nullptr, 0, 3, ""},  // over the separator
      {wm_key::HOME, nullptr, 0, 0, ""}, {wm_key::PAGE_DOWN, nullptr, 0, 6, ""},
      {wm_key::PAGE_UP, nullptr, 0, 0, ""},  // less than a page from the top
      {0, "b", 500, 2, "b"},
      {0, "L", 100, 3, "bL"},  // case does not matter
      {0, "c", 401, 5, "c"},   // a pause starts a new prefix
      {0, "ranb", 0, 6, "cranb"},
      {0, "x", 0, 6, "cranb"},  // a sixth character is ignored
  };
  for (const auto& s : steps) {
    input.advance_ms(s.pause);
    if (s.key) input.key(s.key);
    if (s.typed) input.type(s.typed);
    frame(0);
    EXPECT_EQ(focused_row(popup), s.focus) << s.key << (s.typed ? s.typed : "");
    EXPECT_STREQ(popup->get_type_prefix(), s.prefix);
    if (s.key) { EXPECT_EQ(key_queue.peek_last_key(), 0u) << "the menu used the key"; }
  }
  hold(kReturn);
  EXPECT_EQ(heard, std::vector<std::string>{"Cranberry"});
  EXPECT_FALSE(popup->visible);

  // Escape, the menu's hot key once the press that opened it has ended, and
  // a click away from the pop-up (key 0) close without a choice.
  constexpr uint32_t kHotKey = 0xFFC7;
  menu->set_hotkey(kHotKey);
  for (const uint32_t key : {kEscape, kHotKey, 0u}) {
    if (key != kHotKey) click_on(menu);
    else hold(kHotKey);
    ASSERT_TRUE(menu->is_open()) << key;
    if (key) hold(key);
    else click_at(300, 200);
    frames(10);
    EXPECT_FALSE(popup->visible) << key;
    EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(popup)) << key;
  }
  EXPECT_EQ(heard.size(), 1u);

  // A free pop-up goes once an item is chosen.
  auto* free_menu = new WM_FLOATING_MENU(200, 60, nullptr, &body, &body, &button, nullptr, true,
                                         false, nullptr, nullptr, nullptr, nullptr, nullptr);
  free_menu->add_item("Other", note, 0, 0, false);
  EXPECT_EQ(free_menu->add_item("None", nullptr, 0, 0, false)->click(), 0);  // no callback, no answer
  WM_BUTTON* pick = free_menu->add_item("Pick", note, page_action::HANDLED, 0, false);
  // Placed one row too low, it moves up just so far that its last row is the screen's.
  free_menu->set_position(200, static_cast<int16_t>(241 - free_menu->height));
  free_menu->layout();
  EXPECT_EQ(free_menu->y + free_menu->height, 240);
  root.add_overlay(free_menu, false);
  frame();
  input.type("p");  // with nothing focused the search reaches the last row too
  frame();
  EXPECT_EQ(focused_row(free_menu), 2);
  // Hidden (and walked so, as a child is), then shown again while the left
  // button is held over an item: the release of that press chooses nothing.
  free_menu->hide(false, false);
  free_menu->process();
  input.move_to(pick->x + pick->width / 2, pick->y + pick->height / 2);
  input.press(1);
  free_menu->show();
  frames(20);
  input.release(1);
  frames(2);
  EXPECT_EQ(heard.size(), 1u);
  EXPECT_TRUE(free_menu->visible);
  click_at(201, free_menu->y + 1, 10);  // movable: a press on its edge drags it
  EXPECT_EQ(free_menu->x, 210);
  EXPECT_EQ(click_on(pick), page_action::HANDLED);  // the item's answer is the frame's
  frame();
  EXPECT_EQ(heard.back(), "Pick");
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
}

// In a menu longer than the screen the focused item is never the one an
// arrow covers: the arrow keys, page keys and the ends scroll past them.
TEST_F(Menu, KeysScrollALongMenuPastItsArrows) {
  WM_MENU* menu = add_menu(10, 10, "Long");
  WM_FLOATING_MENU* popup = menu->get_popup();
  for (int i = 0; i < 40; ++i) popup->add_item(("Item " + std::to_string(i)).c_str(), note, 0, 0, false);
  click_on(menu);
  ASSERT_TRUE(menu->is_open());
  input.move_to(300, 200);  // off the arrows, which scroll while the pointer rests on them
  auto expect_shown = [&](int32_t row, const std::string& what) {
    EXPECT_EQ(focused_row(popup), row) << what;
    const WM_SCREEN_OBJECT* f = WM_SCREEN_OBJECT::focus_object;
    ASSERT_NE(f, nullptr) << what;
    EXPECT_TRUE(f->visible) << what;
    EXPECT_GE(f->y, popup->y) << what;
    EXPECT_LE(f->y + f->height, popup->y + popup->height) << what;
  };
  for (int32_t row = 0; row < 40; ++row) {  // the first key starts keyboard mode
    input.key(wm_key::DOWN);
    frames(row == 0 ? 1 : 2);
    expect_shown(row, "down to " + std::to_string(row));
  }
  EXPECT_EQ(popup->get_down_arrow() ? popup->get_down_arrow()->visible : 0, 0);
  const struct {
    uint32_t key;
    int32_t row;
  } keys[] = {{wm_key::HOME, 0}, {wm_key::PAGE_DOWN, -1}, {wm_key::PAGE_DOWN, -1},
              {wm_key::UP, -1},  {wm_key::END, 39},       {wm_key::PAGE_UP, 20},
              {wm_key::UP, 19}};  // from the first row shown onto the one under the arrow
  for (const auto& k : keys) {
    const int32_t before = focused_row(popup);
    input.key(k.key);
    frames(2);
    expect_shown(k.row >= 0 ? k.row : focused_row(popup), std::to_string(k.key));
    EXPECT_NE(focused_row(popup), before) << k.key;
    // Scrolled into the middle: both arrows, the focused row marked.
    if (k.key == wm_key::PAGE_UP) { EXPECT_TRUE(test_support::picture_matches_reference("core2", "menu_scrolled", *get_screen_image())); }
  }
  // The pointer resting on an arrow scrolls to that end, where the arrow
  // gives way to the last (or first) item; twice each way.
  for (const bool up : {false, true, false, true}) {
    WM_BUTTON* arrow = up ? popup->get_up_arrow() : popup->get_down_arrow();
    ASSERT_TRUE(arrow && arrow->visible) << up;
    input.move_to(arrow->x + arrow->width / 2, arrow->y + arrow->height / 2);
    frames(60);
    EXPECT_EQ(up ? popup->get_first_visible() : popup->get_last_visible(), up ? 0 : 39) << up;
    EXPECT_EQ(arrow->visible, 0) << up;
    input.move_to(300, 200);
    frame();
  }
  // A step down that would leave a separator on top goes on past it.
  popup->clear_items();
  for (int i = 0; i < 40; ++i) popup->add_item(("Item " + std::to_string(i)).c_str(), note, 0, 0, i == 1);
  ASSERT_NE(popup->get_down_arrow(), nullptr);
  popup->get_down_arrow()->click();
  EXPECT_EQ(popup->get_first_visible(), 2);
  // Up from the first item shown focuses the one under the arrow; the view goes past the separator to the top.
  popup->get_item(3)->set_focus();
  input.key(wm_key::UP);
  frames(2);
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "menu_up_past_separator", *get_screen_image()));
  // An item focused past the view still leads: typing goes on from it.
  const int32_t past = popup->get_last_visible() + 1;
  popup->get_item(past)->set_focus();
  input.type("I");
  frame();
  EXPECT_EQ(focused_row(popup), past + 1);
  // Out of keyboard mode with the first row focused out of view, the key
  // that starts it again leaves the focus where it was.
  popup->get_item(0)->set_focus();
  popup->set_items_selectable(false);
  input.key(wm_key::DOWN);
  frame();
  EXPECT_EQ(focused_row(popup), 0);
  // With only the first item enabled, End finds it above and shows it.
  for (int32_t i = 2; i < popup->get_item_count(); ++i) popup->get_item(i)->set_enabled(false);
  input.key(wm_key::END);
  frames(2);
  EXPECT_EQ(std::pair(focused_row(popup), popup->get_first_visible()), std::pair(0, 0));
}

// Menus linked into a ring close it again around a member that leaves; the
// last one left is no ring.
TEST_F(Menu, RingsCloseAroundAMemberThatLeaves) {
  WM_MENU* a = add_menu(10, 10, "A");
  WM_MENU* b = add_menu(80, 10, "B");
  WM_MENU* c = add_menu(150, 10, "C");
  b->link(a);
  c->link(b);
  using NEXT = std::vector<WM_MENU*>;
  auto next = [&] { return NEXT{a->get_ring_next(), b->get_ring_next(), c->get_ring_next()}; };
  EXPECT_EQ(next(), (NEXT{b, c, a}));
  c->unlink();
  EXPECT_EQ(next(), (NEXT{b, a, nullptr}));
  b->unlink();
  EXPECT_EQ(next(), (NEXT{nullptr, nullptr, nullptr}));
}

// Pop-ups turn to the side with room and are kept on the screen, the
// top-left corner first; opening twice before a paint lists one pop-up once.
TEST_F(Menu, PopupsTurnToTheSideWithRoomAndStayOnTheScreen) {
  const struct {
    const char* what;
    int16_t x, y;
    MENU_DIRECTION direction;
    int items;
    const char* text;
    MENU_DIRECTION turned;
  } rows[] = {
      {"room above", 10, 200, MENU_DIRECTION::BELOW, 3, "Item", MENU_DIRECTION::ABOVE},
      {"room below", 10, 10, MENU_DIRECTION::ABOVE, 3, "Item", MENU_DIRECTION::BELOW},
      {"no room either way", 10, 100, MENU_DIRECTION::BELOW, 30, "Item", MENU_DIRECTION::BELOW},
      {"room on the left", 290, 10, MENU_DIRECTION::RIGHT, 3, "Item", MENU_DIRECTION::LEFT},
      {"room on the right", 10, 10, MENU_DIRECTION::LEFT, 3, "Item", MENU_DIRECTION::RIGHT},
      {"wider than the screen", 200, 10, MENU_DIRECTION::BELOW, 1,
       "A very long item text that is much wider than the whole of the screen", MENU_DIRECTION::BELOW},
  };
  for (const auto& r : rows) {
    auto* menu = new WM_MENU(r.x, r.y, static_cast<int16_t>(r.x + 59), static_cast<int16_t>(r.y + 19),
                             "M", r.direction, &button, &body, &item, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
    root.add_child(menu, false);
    WM_FLOATING_MENU* popup = menu->get_popup();
    for (int i = 0; i < r.items; ++i) popup->add_item(r.text, note, 0, 0, false);
    WM_MENU::menu_clicked(menu, reinterpret_cast<uintptr_t>(menu), 0);
    // Placed by the first opening already.
    const int32_t px = popup->x, py = popup->y, pw = popup->width, ph = popup->height;
    WM_MENU::menu_clicked(menu, reinterpret_cast<uintptr_t>(menu), 0);
    EXPECT_EQ(std::count(WM_SCREEN_OBJECT::overlays().begin(), WM_SCREEN_OBJECT::overlays().end(),
                         popup),
              1)
        << r.what;
    EXPECT_EQ(menu->direction, r.turned) << r.what;
    EXPECT_GE(px, 0) << r.what;
    EXPECT_GE(py, 0) << r.what;
    if (r.items == 1) {
      EXPECT_GT(pw, 360);
      EXPECT_EQ(px, 0);
    } else {
      EXPECT_LE(px + pw, 360) << r.what;
    }
    EXPECT_LE(py + ph, 240) << r.what;
    switch (r.turned) {
      case MENU_DIRECTION::ABOVE: EXPECT_EQ(py + ph, r.y) << r.what; break;
      case MENU_DIRECTION::BELOW:
        if (r.items < 10) {
          EXPECT_EQ(py, r.y + 20) << r.what;
        }
        break;
      case MENU_DIRECTION::LEFT: EXPECT_EQ(px + pw, r.x) << r.what; break;
      case MENU_DIRECTION::RIGHT: EXPECT_EQ(px, r.x + 60) << r.what; break;
    }
    delete menu;
  }
}

TEST_F(Menu, ListBoxSelectsReportsAndSkipsSeparators) {
  WM_LIST_BOX* three = add_list(10, 10, 120, {"zero", "one", "two"}, 5);
  frame();
  EXPECT_EQ(three->get_selected(), 2);
  EXPECT_STREQ(three->get_text(), "two");
  EXPECT_TRUE(heard.empty());  // the initial selection is not reported
  three->set_selected(0, true);
  frame();
  EXPECT_STREQ(three->get_text(), "zero");
  IMAGE narrow(1, 4);  // the selected item's icon, however narrow, is the box's
  three->get_popup()->get_item(1)->set_icon_image(narrow);
  three->set_selected(1, false);
  change_answer = 1;  // the change callback's answer is the frame's action
  EXPECT_EQ(frame() + frame(), 1);
  change_answer = 0;
  EXPECT_EQ(heard, std::vector<std::string>{"1"});
  EXPECT_EQ(three->icon.height, 4);

  WM_LIST_BOX* five = add_list(10, 40, 120, {"a", "b", "c", "d", "e"}, 1);
  five->add_list_item("f", 70, false, true, true);  // row 6, after a separator
  ASSERT_EQ(five->get_count(), 7);
  WM_BUTTON* more = five->add_list_item("more", 0, true, false, true);  // rows 7 and 8
  ASSERT_EQ(five->get_count(), 9);
  EXPECT_EQ(five->get_popup()->find_row(more), 8);
  EXPECT_EQ(more->draw_flags & button_flag::ARROW_RIGHT, 0u);  // a list's submenu row has no arrow
  five->set_selected(5, false);  // the separator: nothing changes
  EXPECT_EQ(five->get_selected(), 1);
  input.move_to(50, 50);
  frame();
  const struct {
    int32_t wheel;
    int32_t row;
    uint32_t value;
  } turns[] = {{-3, 4, 4}, {3, 1, 1}, {5, 0, 0}, {-5, 6, 70}, {1, 4, 4}};
  for (const auto& t : turns) {
    heard.clear();
    input.turn_wheel(t.wheel);
    frames(2);
    EXPECT_EQ(five->get_selected(), t.row) << t.wheel;
    EXPECT_EQ(heard, std::vector<std::string>{std::to_string(t.value)}) << t.wheel;
  }
  five->select_by_value(70, true);
  EXPECT_EQ(five->get_selected(), 6);
  EXPECT_STREQ(five->get_text(), "f");
  five->select_by_value(0, true);  // the first row's value
  EXPECT_EQ(five->get_selected(), 0);

  // A list over its own box: the press that opened it chooses nothing.
  std::vector<std::string> names;
  std::vector<const char*> texts;
  for (int i = 0; i < 40; ++i) names.push_back("Row " + std::to_string(i));
  for (const std::string& n : names) texts.push_back(n.c_str());
  auto* plain = new WM_LIST_BOX(200, 100, 299, 119, 40, texts.data(), 0, 0xFFFFFFFF, kInk,
                                0xFF3060C0, 0xFFFFFFFF, true, note_change, 0, 0, nullptr);
  root.add_child(plain, false);
  heard.clear();
  click_at(250, 110);
  ASSERT_TRUE(plain->is_open());
  EXPECT_TRUE(plain->get_popup()->hit_test(250, 110));
  EXPECT_TRUE(heard.empty());
  click_at(250, 110);
  frame();
  EXPECT_FALSE(plain->is_open());
  EXPECT_NE(plain->get_selected(), 0);
  EXPECT_EQ(heard, std::vector<std::string>{std::to_string(plain->get_selected())});

  // Emptied, the box shows no text of its old item.
  WM_LIST_BOX* none = add_list(10, 70, 120, {"old"}, 0);
  none->init(0, nullptr, 0);
  frame();
  EXPECT_EQ(none->get_selected(), 65535);  // none
  EXPECT_STREQ(none->get_text(), "");
  // Filled later, still with nothing selected: a notch down takes the first
  // item, past the separator above it, where a notch up then stays.
  for (const char* t : {"x", "y"}) none->add_list_item(t, 0, false, false, *t == 'x');
  input.move_to(50, 80);
  frame();
  for (const int wheel : {-1, 1}) {
    input.turn_wheel(wheel);
    frame();
    EXPECT_EQ(none->get_selected(), 1) << wheel;
  }
}

TEST_F(Menu, ListBoxCutsItsTextWholeCharactersFromTheEnd) {
  WM_LIST_BOX* box = add_list(10, 10, 60, {"x"}, 0);
  IMAGE* s = get_screen_image();
  const int32_t room = box->width - box->left_gap - box->right_gap;
  const struct {
    const char* text;
    const char* shown;
  } rows[] = {
      {"Short", "Short"},
      {"A much longer text", nullptr},
      {"ab\x01,4E2D,6587,4E2D,6587,4E2D,6587\x01", nullptr},
      {"\xE9\x01,4E2D,6", "\xE9\x01,4E2D,6\x01"},  // cut inside a code: the part stays in the run
  };
  for (const auto& r : rows) {
    box->set_display_text(r.text);
    const std::string shown = box->get_text();
    EXPECT_LE(s->get_text_width(box->font, box->font_width, static_cast<int16_t>(box->font_height),
                                shown.c_str()),
              room);
    if (r.shown) {
      EXPECT_EQ(shown, r.shown);
    }
    EXPECT_FALSE(shown.empty());
    // Runs stay closed: an even number of byte 1s, each code whole.
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\x01') % 2, 0) << shown;
    EXPECT_EQ(shown.find("\x01\x01"), std::string::npos) << "an empty run";
  }
}

int32_t clear_and_refill(WM_SCREEN_OBJECT* item, uintptr_t popup_word, uintptr_t) {
  heard.emplace_back(static_cast<WM_BUTTON*>(item)->get_text());
  auto* popup = reinterpret_cast<WM_FLOATING_MENU*>(popup_word);
  popup->clear_items();
  popup->add_item("Fresh", note, 0, 0, false);
  return 0;
}

int32_t delete_menu(WM_SCREEN_OBJECT* item, uintptr_t, uintptr_t) {
  heard.emplace_back(static_cast<WM_BUTTON*>(item)->get_text());
  delete doomed_menu;
  doomed_menu = nullptr;
  return 0;
}

void delete_on_opening(WM_MENU*, uintptr_t, uintptr_t) {
  heard.emplace_back("opening");
  delete doomed_menu;
  doomed_menu = nullptr;
}

int32_t delete_list_box(WM_LIST_BOX* box, uintptr_t, uintptr_t) {
  heard.push_back("gone " + std::to_string(box->get_value()));
  delete box;
  return 0;
}

// Under the sanitizer tree these run with no leak and no use after free.
TEST_F(Menu, EmptiedRefilledAndDeletedWhileOpenOrFromTheirCallbacks) {
  WM_MENU* menu = add_menu(10, 10, "Edit");
  WM_FLOATING_MENU* popup = menu->get_popup();
  // Longer than the screen: the arrows take the end rows.
  for (int i = 0; i < 30; ++i) popup->add_item(("Line " + std::to_string(i)).c_str(), note, 0, 0, i == 3);
  click_on(menu);
  menu->process();  // a pass of its own, the pop-up showing, leaves it open
  ASSERT_TRUE(menu->is_open());
  ASSERT_EQ(popup->get_down_arrow() ? popup->get_down_arrow()->visible : 0, 1);
  // 19 lines and the separator fit the screen; a 20th line alone needs the arrow.
  for (const int lines : {19, 20}) {
    popup->clear_items();
    for (int i = 0; i < lines; ++i) popup->add_item("Line", note, 0, 0, i == 3);
    frame();
    EXPECT_EQ(popup->get_down_arrow() ? popup->get_down_arrow()->visible : 0, lines == 20) << lines;
  }

  // Emptied and refilled while open, between frames.
  popup->clear_items();
  EXPECT_EQ(popup->get_item_count(), 0);
  WM_BUTTON* again = popup->add_item("Again", clear_and_refill, reinterpret_cast<uintptr_t>(popup), 0, false);
  popup->add_item("Other", note, 0, 0, true);
  frame();
  EXPECT_EQ(std::pair(popup->get_item_count(), popup->get_down_arrow() ? popup->get_down_arrow()->visible : 0), std::pair(3, 0));
  // From the chosen item's own callback.
  click_on(again);
  EXPECT_EQ(heard, std::vector<std::string>{"Again"});
  EXPECT_EQ(popup->get_item_count(), 1);
  click_on(menu);
  ASSERT_TRUE(menu->is_open());
  click_on(popup->get_item(0));
  EXPECT_EQ(heard.back(), "Fresh");

  // A menu deleted by its own item's callback, and a sub-menu item's
  // callback deleting the whole bar menu.
  for (const bool from_submenu : {false, true}) {
    doomed_menu = add_menu(100, 10, "Doomed");
    WM_FLOATING_MENU* p = doomed_menu->get_popup();
    WM_BUTTON* chosen = p->add_item("Delete", delete_menu, 0, 0, false);
    if (from_submenu) {
      WM_MENU* sub = p->add_submenu("More", true, true, nullptr, nullptr);
      chosen = sub->get_popup()->add_item("Delete too", delete_menu, 0, 0, false);
      click_on(doomed_menu);
      frames(2, sub);
      ASSERT_TRUE(sub->is_open());
    } else {
      click_on(doomed_menu);
    }
    click_on(chosen);
    EXPECT_EQ(doomed_menu, nullptr) << from_submenu;
    frame();
  }

  // A menu whose open callback deletes it: opened by a click, by the
  // pointer moving along a menu bar, and as a sub-menu while the press that
  // opened its holder is still held (the left button stays held for the
  // rest of the page).
  enum OPENING { BY_CLICK, ALONG_THE_BAR, AS_SUBMENU_WHILE_HELD };
  for (const OPENING how : {BY_CLICK, ALONG_THE_BAR, AS_SUBMENU_WHILE_HELD}) {
    heard.clear();
    doomed_menu = add_menu(100, 10, "Doomed");
    doomed_menu->get_popup()->add_item("Item", note, 0, 0, false);
    if (how == BY_CLICK) {
      doomed_menu->open_callback = delete_on_opening;
      click_on(doomed_menu);
    } else if (how == ALONG_THE_BAR) {
      WM_MENU* first = add_menu(170, 10, "First");
      first->get_popup()->add_item("One", note, 0, 0, false);
      doomed_menu->link(first);
      doomed_menu->open_callback = delete_on_opening;
      click_on(first);
      ASSERT_TRUE(first->is_open());
      for (int i = 0; i < 20 && first->get_popup()->is_moving(); ++i) frame();
      frames(2, doomed_menu);
      root.remove_child(first, true, false);
    } else {
      WM_MENU* sub = doomed_menu->get_popup()->add_submenu("More", false, true, nullptr, nullptr);
      sub->open_callback = delete_on_opening;
      frames(1, doomed_menu);
      input.press(1);
      frame();
      ASSERT_TRUE(doomed_menu->is_open());
      frames(1, sub);
      EXPECT_NE(mouse.buttons & MOUSE::LEFT, 0u);
      input.release(1);
      frame();
    }
    EXPECT_EQ(doomed_menu, nullptr) << how;
    EXPECT_EQ(heard, std::vector<std::string>{"opening"}) << how;
    frame();
  }

  // The item grid emptied from outside while the scroll arrows show: the
  // arrows go with the grid once, and the menu is deleted cleanly.
  WM_MENU* long_menu = add_menu(250, 10, "Long");
  for (int i = 0; i < 30; ++i) long_menu->get_popup()->add_item("Row", note, 0, 0, false);
  click_on(long_menu);
  ASSERT_EQ(long_menu->get_popup()->get_down_arrow() ? long_menu->get_popup()->get_down_arrow()->visible : 0, 1);
  long_menu->get_popup()->get_grid()->clear(false);
  frame();
  root.remove_child(long_menu, true, false);
  frame();

  // A list box deleted by its own change callback.
  WM_LIST_BOX* box = add_list(200, 10, 80, {"p", "q"}, 0);
  box->change_callback = delete_list_box;
  box->set_selected(1, false);
  frames(2);
  EXPECT_EQ(heard.back(), "gone 1");
}

TEST_F(Menu, GridMakesListBoxCellsAndDeletesRefusedOnes) {
  auto* grid = new WM_GRID(10, 10, 209, 109, 2, nullptr, nullptr, nullptr);
  root.add_child(grid, false);
  grid->default_row_height = 20;
  grid->row_limit = 2;
  const char* texts[] = {"red", "green", "blue"};
  WM_LIST_BOX* box = grid->add_list_box_cell(1, 1, 3, texts, 1, &button, &body, &item, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, note_change, 0, 0);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(grid->get_cell(1, 1), box);
  EXPECT_EQ(box->x, grid->get_cell(1, 1)->x);
  EXPECT_GE(box->x, 110);
  EXPECT_STREQ(box->get_text(), "green");
  // Past the row limit: refused, and the new list box is not left over.
  EXPECT_EQ(grid->add_list_box_cell(0, 2, 3, texts, 0, &button, &body, &item, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, 0, 0),
            nullptr);
}

// A menu bar menu with its sub-menu open and a dropped list box, compared
// with its reference picture.
TEST_F(Menu, PictureOfOpenPopups) {
  WM_MENU* file = add_menu(10, 10, "File");
  WM_FLOATING_MENU* popup = file->get_popup();
  popup->add_item("Open", note, 0, 0, false);
  popup->add_item("Save", note, 0, 0, false);
  WM_MENU* recent = popup->add_submenu("Recent", false, true, &item, &button);  // its rows take turns
  recent->get_popup()->add_item("a.txt", note, 0, 0, false);
  recent->get_popup()->add_item("b.txt", note, 0, 0, false);
  popup->add_item("Quit", note, 0, 0, true);
  std::vector<std::string> names;
  std::vector<const char*> texts;
  for (int i = 0; i < 40; ++i) names.push_back("Choice " + std::to_string(i));
  for (const std::string& n : names) texts.push_back(n.c_str());
  WM_LIST_BOX* list = add_list(200, 10, 100, texts, 3);
  frame();
  for (WM_MENU* m : std::initializer_list<WM_MENU*>{list, file, recent})
    WM_MENU::menu_clicked(m, reinterpret_cast<uintptr_t>(m), 0);
  for (int i = 0; i < 3; ++i) {
    root.update(true);
    wm_test::paint_table(&root);
  }
  add_menu(400, 0, "Late");  // made while pop-ups are open, it leaves them open
  ASSERT_TRUE(popup->visible && recent->get_popup()->visible && list->get_popup()->visible);
  // Each kind's default effects: menus and lists slide out upward.
  EXPECT_EQ(popup->effects.flags, default_menu_effects().flags);
  EXPECT_EQ(list->get_popup()->effects.flags, 0x60u);
  auto words = [](const POPUP_EFFECTS& e) {
    return std::vector<uint32_t>{e.flags, e.open_delay, e.display_delay, e.dragging_alpha, e.extra_1, e.extra_2};
  };
  EXPECT_EQ((std::vector{words(default_menu_effects()), words(default_list_box_effects()), words(default_floating_menu_effects())}),
            (std::vector<std::vector<uint32_t>>{{0x60, 100, 200, 224, 15, 0}, {0x60, 100, 200, 224, 1, 12}, {15, 200, 200, 224, 9, 0}}));
  EXPECT_EQ(popup->y, file->y + file->height);
  EXPECT_EQ(recent->get_popup()->x, recent->x + recent->width);
  EXPECT_EQ(list->get_popup()->y + list->get_popup()->height, 240);  // kept on the screen
  ASSERT_NE(list->get_popup()->get_down_arrow(), nullptr);
  EXPECT_EQ(pixel(popup->x + 3, popup->y + popup->height - 3), kBody);
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "menus", *get_screen_image()));
  // The sub-menu closes once the pointer rests on another item; a choice
  // in it hides the menu it was opened from too.
  frames(20, popup->get_item(0));
  EXPECT_EQ(std::pair(recent->get_popup()->visible, popup->visible), (std::pair<uint8_t, uint8_t>(0, 1)));
  frames(20, recent);  // resting on it opens it again
  click_on(recent->get_popup()->get_item(1));
  frame();
  EXPECT_EQ(heard, std::vector<std::string>{"b.txt"});
  EXPECT_FALSE(recent->get_popup()->visible || popup->visible);
  // Escape in the sub-menu closes the menu it was opened from too.
  input.move_to(350, 230);
  for (WM_MENU* m : {file, recent}) WM_MENU::menu_clicked(m, reinterpret_cast<uintptr_t>(m), 0);
  frames(20);
  ASSERT_TRUE(recent->get_popup()->visible && popup->visible);
  hold(kEscape);
  frames(10);
  EXPECT_FALSE(recent->get_popup()->visible || popup->visible);
  // Pressed before any key, a sub-menu item opens without taking the focus.
  WM_MENU::menu_clicked(file, reinterpret_cast<uintptr_t>(file), 0);
  frames(20);
  click_on(recent);
  EXPECT_TRUE(recent->get_popup()->visible && WM_SCREEN_OBJECT::focus_object != recent);
}

}  // namespace
