#include "wm_screen_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "input_driver.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "test_support.h"
#include "wm_check_box.h"
#include "wm_dialog.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_image.h"
#include "wm_list_box.h"
#include "wm_manager.h"
#include "wm_menu.h"
#include "wm_script.h"
#include "wm_scrollbar.h"
#include "wm_test_objects.h"

using namespace wm_test;

namespace {

constexpr COLOUR RED = 0xFFFF0000;
constexpr COLOUR GREEN = 0xFF00FF00;
constexpr COLOUR BLUE = 0xFF0000FF;

class ScreenObject : public ToolkitTest {};

// Moves the pointer to the point and presses the secondary button; gives
// what the root's process makes of it.
int32_t press_at(test_support::INPUT_DRIVER& input, WM_SCREEN_OBJECT& root, int32_t px, int32_t py) {
  input.move_to(px, py);
  input.press(2);
  return root.process();
}

void release_secondary(test_support::INPUT_DRIVER& input, WM_SCREEN_OBJECT& root) {
  input.release(2);
  root.process();
}

std::vector<RECT> dirty_table() {
  std::vector<RECT> out;
  for (int32_t i = 0; i < dirty_rectangles().count(); ++i) out.push_back(dirty_rectangles().entry(i));
  return out;
}

TEST_F(ScreenObject, TreeGeometryFollowsParent) {
  BOX root(10, 10, 100, 80, RED);
  root.set_depth(0);
  auto* child = new BOX(5, 5, 30, 20, GREEN);
  auto* grandchild = new BOX(2, 2, 10, 10, BLUE);
  root.add_child(child, true);
  child->add_child(grandchild, true);
  EXPECT_EQ((std::vector<int>{child->x, grandchild->x, grandchild->depth}), (std::vector<int>{15, 17, 0}));
  EXPECT_EQ(grandchild->parent, child);

  root.set_position(20, 30);
  EXPECT_EQ((std::vector<int>{child->x, child->y, grandchild->y}), (std::vector<int>{25, 35, 37}));

  // Growing keeps each child's margin to the right and bottom edges.
  root.set_size(110, 90, true);
  EXPECT_EQ(std::pair(child->width, grandchild->height), (std::pair<uint16_t, uint16_t>(40, 20)));
  // Shrinking by more than a child's size leaves it empty, not 65000 wide.
  root.set_size(10, 10, true);
  EXPECT_EQ((std::vector<int>{child->width, child->height, grandchild->width}), (std::vector<int>{0, 0, 0}));

  EXPECT_EQ(root.find_object_at(25, 35), &root);  // the children are empty now
  root.set_size(110, 90, false);
  child->set_size(30, 20, false);
  auto* top = new BOX(5, 5, 30, 20, GREEN);
  root.add_child(top, true);
  EXPECT_EQ(root.find_object_at(26, 36), top);  // the last child painted wins
  EXPECT_EQ(root.find_object_at(200, 200), nullptr);

  // Taken out relative, a child gets its relative position and depth back.
  root.remove_child(top, false, true);
  EXPECT_EQ((std::vector<int>{top->x, top->y, top->depth, top->visible}), (std::vector<int>{5, 5, -2, 0}));
  EXPECT_EQ(top->parent, nullptr);
  delete top;
  root.set_depth(-1);  // taken out of a root at depth -1: depth 0
  auto* lifted = new BOX(0, 0, 5, 5, RED);
  root.add_child(lifted, false);
  root.remove_child(lifted, false, false);
  EXPECT_EQ(lifted->depth, 0);
  delete lifted;
  root.set_depth(0);
  // Re-parented, an object leaves its old parent and takes the new depth.
  root.add_child(grandchild, false);
  child->remove_child(grandchild, false, false);  // no longer its child: left as it is
  EXPECT_EQ((std::vector<int>{child->child_count(), grandchild->visible}), (std::vector<int>{0, 1}));
  EXPECT_EQ(grandchild->parent, &root);
  // A child deleted by its owner leaves the parent's list.
  delete child;
  EXPECT_EQ(root.child_count(), 1);
  // So does an overlay deleted by its owner.
  auto* popup = new BOX(0, 0, 5, 5, RED);
  root.add_overlay(popup, false);
  delete popup;
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
  // One its owner keeps is only hidden when its parent's children go; its own children stay shown.
  auto* kept = new BOX(0, 0, 5, 5, RED);
  kept->externally_owned = 1;
  kept->add_child(new BOX(1, 1, 2, 2, BLUE), false);
  root.add_child(kept, false);
  root.destroy_children(false, 0, true);
  EXPECT_EQ(std::pair(kept->visible, kept->get_child(0)->visible), std::pair(uint8_t{0}, uint8_t{1}));
  delete kept;
}

TEST_F(ScreenObject, FocusMovesAndCallsBack) {
  static std::vector<std::pair<WM_SCREEN_OBJECT*, bool>> calls;
  calls.clear();
  auto note = [](WM_SCREEN_OBJECT* o, uintptr_t) {
    calls.emplace_back(o, WM_SCREEN_OBJECT::focus_object == o);
    return 0;
  };
  BOX root(0, 0, 100, 100, RED);
  auto* a = new BOX(0, 0, 10, 10, GREEN);
  auto* b = new BOX(20, 0, 10, 10, GREEN);
  auto* plain = new BOX(40, 0, 10, 10, GREEN);
  auto* hidden = new BOX(60, 0, 10, 10, GREEN, false);
  for (BOX* o : {a, b, hidden}) {
    o->selectable = 1;
    o->focus_callback = note;
  }
  for (BOX* o : {a, b, plain, hidden}) root.add_child(o, false);

  // Refused: not selectable, invisible, already focused.
  plain->set_focus();
  hidden->set_focus();
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
  a->set_focus();
  a->set_focus();
  EXPECT_EQ(calls.size(), 1u);
  b->set_focus();
  ASSERT_EQ(calls.size(), 3u);  // once for the loser, once for the winner
  EXPECT_EQ(calls[1], std::make_pair(static_cast<WM_SCREEN_OBJECT*>(a), false));
  EXPECT_EQ(calls[2], std::make_pair(static_cast<WM_SCREEN_OBJECT*>(b), true));
  EXPECT_TRUE(WM_SCREEN_OBJECT::focus_changed);

  // A hidden focus object gives the focus up at once and is told so.
  b->hide(false, false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
  EXPECT_EQ(calls.back(), std::make_pair(static_cast<WM_SCREEN_OBJECT*>(b), false));

  // A focus object under a hidden parent is not reached by processing.
  auto* group = new BOX(0, 50, 50, 50, RED);
  auto* inner = new BOX(0, 50, 10, 10, GREEN);
  inner->selectable = 1;
  group->add_child(inner, false);
  root.add_child(group, false);
  inner->set_focus();
  group->hide(false, false);
  WM_SCREEN_OBJECT::focus_changed = false;
  root.process();
  EXPECT_FALSE(WM_SCREEN_OBJECT::focus_changed);
  group->show();
  root.process();
  EXPECT_TRUE(WM_SCREEN_OBJECT::focus_changed);
  // Deleting the focus object leaves no dangling focus.
  root.remove_child(group, true, false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
}

struct CLICK_CASE {
  CLICK_MODE mode;
  int32_t release_x;  // inside the box is 5
  int press_result;
  int release_result;
};

TEST_F(ScreenObject, SecondaryClickModes) {
  const CLICK_CASE cases[] = {
      {CLICK_MODE::ON_PRESS, 5, 7, 0},
      {CLICK_MODE::ON_RELEASE, 5, 0, 7},
      {CLICK_MODE::ON_BOTH, 5, 7, 7},
      {CLICK_MODE::ON_RELEASE, 50, 0, 0},  // released outside
  };
  for (const CLICK_CASE& c : cases) {
    test_support::INPUT_DRIVER input;
    BOX root(0, 0, 100, 100, RED);
    auto* box = new BOX(0, 0, 10, 10, GREEN);
    box->selectable = 1;
    box->secondary_click_mode = c.mode;
    box->secondary_click_callback = [](WM_SCREEN_OBJECT*, uintptr_t w, uintptr_t) {
      return static_cast<int32_t>(w);
    };
    box->secondary_click_word_1 = 7;
    root.add_child(box, false);
    input.move_to(5, 5);
    input.press(1);  // the left button is not this callback's business
    EXPECT_EQ(root.process(), 0);
    input.release(1);
    input.press(2);
    EXPECT_EQ(root.process(), c.press_result) << static_cast<int>(c.mode);
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, box);
    input.move_to(c.release_x, 5);
    input.release(2);
    EXPECT_EQ(root.process(), c.release_result) << static_cast<int>(c.mode);
    EXPECT_EQ(WM_SCREEN_OBJECT::pressed_object, nullptr);
  }
}

TEST_F(ScreenObject, ControlReturnClicksTheFocusObject) {
  test_support::INPUT_DRIVER input;
  BOX box(0, 0, 10, 10, GREEN);
  box.selectable = 1;
  box.secondary_click_mode = CLICK_MODE::ON_RELEASE;
  box.secondary_click_callback = [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return 9; };
  box.set_focus();
  held_keys = {0xFF0D};
  EXPECT_EQ(box.process(), 0);  // Return without Control is no click
  held_keys = {0xFF0D, 0xFFE3};
  EXPECT_EQ(box.process(), 0);
  EXPECT_EQ(WM_SCREEN_OBJECT::pressed_object, &box);
  held_keys = {0xFFE3};
  EXPECT_EQ(box.process(), 9);
  // Afterwards Control is a modifier again: a secondary click with it held
  // clicks where the pointer is.
  input.move_to(5, 5);
  input.press(2);
  EXPECT_EQ(box.process(), 0);
  input.release(2);
  EXPECT_EQ(box.process(), 9);
}

TEST_F(ScreenObject, HiddenPressedObjectDoesNotSwallowTheNextPress) {
  test_support::INPUT_DRIVER input;
  BOX root(0, 0, 100, 100, RED);
  auto* first = new BOX(0, 0, 10, 10, GREEN);
  auto* second = new BOX(20, 0, 10, 10, GREEN);
  for (BOX* b : {first, second}) {
    b->secondary_click_mode = CLICK_MODE::ON_PRESS;
    b->secondary_click_callback = [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
      return static_cast<int32_t>(o->x + 1);
    };
    root.add_child(b, false);
  }
  EXPECT_EQ(press_at(input, root, 5, 5), 1);
  first->hide(false, false);  // its release will never be seen
  release_secondary(input, root);
  EXPECT_EQ(press_at(input, root, 25, 5), 21);
}

TEST_F(ScreenObject, OverlaysAreModalAndCloseThemselves) {
  test_support::INPUT_DRIVER input;
  BOX root(0, 0, 200, 150, RED);
  root.set_depth(0);
  auto* below = new BOX(0, 0, 50, 50, GREEN);
  below->secondary_click_callback = [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return 5; };
  root.add_child(below, false);
  auto* dialog = new BOX(100, 100, 50, 40, BLUE);
  dialog->kind = wm_kind::DIALOG;
  dialog->secondary_click_callback = [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) {
    return static_cast<int32_t>(page_action::REMOVE_OVERLAY);
  };
  root.add_overlay(dialog, false);
  EXPECT_EQ(dialog->depth, -2);
  EXPECT_EQ(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::DIALOG), dialog);
  EXPECT_EQ(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::BUTTON), nullptr);
  EXPECT_EQ(WM_SCREEN_OBJECT::get_top_overlay_depth(), -2);
  root.add_child(new BOX(60, 0, 10, 10, GREEN), false);
  root.remove_child(root.get_child(1), true, false);  // a child taken off leaves the overlays shown
  EXPECT_EQ(WM_SCREEN_OBJECT::count_visible_overlays(), 1);

  // A press outside the dialog reaches nothing.
  EXPECT_EQ(press_at(input, root, 10, 10), 0);
  release_secondary(input, root);
  // Result 4 takes the dialog off and deletes it; the caller sees 0.
  EXPECT_EQ(press_at(input, root, 110, 110), 0);
  EXPECT_EQ(WM_SCREEN_OBJECT::count_visible_overlays(), 0);
  release_secondary(input, root);
  EXPECT_EQ(press_at(input, root, 10, 10), 5);
}

// An overlay whose tick closes the overlay above it, as a menu closes its
// sub-menu: the walk must not touch the deleted one.
TEST_F(ScreenObject, OverlayWalksSurviveOverlaysDeletedOnTheWay) {
  struct CLOSER : BOX {
    using BOX::BOX;
    int32_t update(bool overlays) override {
      ++updates;
      if (victim) {
        owner->remove_overlay(victim, true, false);
        victim = nullptr;
      }
      return BOX::update(overlays);
    }
    WM_SCREEN_OBJECT* owner = nullptr;
    WM_SCREEN_OBJECT* victim = nullptr;
    int updates = 0;
  };
  BOX root(0, 0, 200, 150, RED);
  root.set_depth(0);
  auto* menu = new CLOSER(0, 0, 20, 20, GREEN);
  auto* sub_menu = new CLOSER(20, 0, 20, 20, GREEN);
  auto* tooltip = new CLOSER(40, 0, 20, 20, GREEN);
  root.add_overlay(nullptr, false), root.add_overlay(&root, false);  // refused: no object, itself
  root.add_overlay(menu, false);
  root.add_overlay(sub_menu, false);
  root.add_overlay(tooltip, false);
  menu->owner = &root;
  menu->victim = sub_menu;
  EXPECT_EQ(root.update(true), 0);
  EXPECT_EQ(std::pair(menu->updates, tooltip->updates), std::pair(1, 1));
  EXPECT_EQ(WM_SCREEN_OBJECT::overlays().size(), 2u);
  root.destroy_children(true, 0, false);
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
}

TEST_F(ScreenObject, ChildDeletingItselfFromItsCallback) {
  test_support::INPUT_DRIVER input;
  BOX root(0, 0, 200, 150, RED);
  auto* doomed = new BOX(0, 0, 20, 20, GREEN);
  auto* next = new BOX(0, 0, 20, 20, BLUE);
  doomed->secondary_click_mode = CLICK_MODE::ON_PRESS;
  doomed->secondary_click_callback = [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
    o->parent->remove_child(o, true, false);
    return 0;
  };
  struct COUNTING : BOX {
    using BOX::BOX;
    int32_t process() override {
      ++processed;
      return BOX::process();
    }
    int processed = 0;
  };
  auto* after = new COUNTING(100, 100, 5, 5, BLUE);
  root.add_child(doomed, false);
  root.add_child(next, false);
  root.add_child(after, false);
  EXPECT_EQ(press_at(input, root, 5, 5), 0);
  EXPECT_EQ(std::pair(root.child_count(), after->processed), std::pair(2, 1));
  EXPECT_EQ(WM_SCREEN_OBJECT::pressed_object, nullptr);
}

TEST_F(ScreenObject, ObjectHooksSeeCreationAndDestruction) {
  static int created = 0, destroyed = 0;
  WM_SCREEN_OBJECT::object_created_hook = [](WM_SCREEN_OBJECT*, uintptr_t w) { created += static_cast<int>(w); };
  WM_SCREEN_OBJECT::object_created_word = 2;
  // The destroyed hook's word was never set: it is 0.
  WM_SCREEN_OBJECT::object_destroyed_hook = [](WM_SCREEN_OBJECT*, uintptr_t w) {
    destroyed += 1 + static_cast<int>(w);
  };
  {
    BOX box(0, 0, 1, 1, RED);
    box.notify_created();
    box.add_child(new BOX(0, 0, 1, 1, RED), false);
  }
  WM_SCREEN_OBJECT::object_created_hook = nullptr;
  WM_SCREEN_OBJECT::object_destroyed_hook = nullptr;
  EXPECT_EQ(created, 2);
  EXPECT_EQ(destroyed, 2);
}

// Every widget constructor ends by announcing its object to the creation
// hook: once for each constructor that runs, so a list box (a menu, which is
// a button) is heard three times.
TEST_F(ScreenObject, EveryWidgetConstructorAnnouncesItsObject) {
  static std::vector<WM_SCREEN_OBJECT*> heard;
  WM_SCREEN_OBJECT::object_created_hook = [](WM_SCREEN_OBJECT* o, uintptr_t) { heard.push_back(o); };
  WM_STYLE_SET s;
  PARAMETER range;
  range.set_type(PARAMETER::I32);
  range.set_int(PARAMETER::MAXIMUM, 10);
  const char* texts[] = {"a", "b"};
  DIALOG_EFFECTS fx{.flags = 0};
  const COLOUR k = 0xFF000000, w = 0xFFFFFFFF;
  const std::pair<std::function<WM_SCREEN_OBJECT*()>, long> rows[] = {
      {[] { return new WM_MANAGER; }, 1},
      {[&] { return new WM_SCRIPT(0, 0, 20, 10, &s, "x"); }, 1},
      {[&] { return new WM_SCRIPT(0, 0, 20, 10, "x", 255, 12, 12, w, k); }, 1},
      {[&] { return new WM_BUTTON(0, 0, 20, 10, &s, "x", nullptr, nullptr, 0, 0, 2); }, 1},
      {[&] {
         return new WM_BUTTON(0, 0, 20, 10, k, w, "x", 255, 12, 12, BUTTON_BEHAVIOUR::NORMAL, 0, 15, nullptr, 0, 0,
                              true, 2);
       }, 1},
      {[&] { return new WM_CHECK_BOX(0, 0, &s, "x", nullptr, 0, 0); }, 1},
      {[&] { return new WM_CHECK_BOX(0, 0, k, w, "x", 255, 12, 12, nullptr, 0, 0, true); }, 1},
      {[] { return new WM_IMAGE(0, 0, 10, 10, true, nullptr, 0, 0, 0); }, 1},
      {[&] { return new WM_SCROLLBAR(0, 0, 15, 99, &range, &s, nullptr, 0, 0); }, 1},
      {[&] {
         return new WM_SCROLLBAR(0, 0, 15, 99, 10, 15, &range, SCROLLBAR_TYPE::VERTICAL, 0, nullptr, nullptr, nullptr,
                                 nullptr, true, nullptr, 0, 0);
       }, 1},
      {[&] { return new WM_GRID(0, 0, 99, 99, 1, nullptr, &s, nullptr); }, 1},
      {[&] { return new WM_DIALOG(0, 0, 80, 60, "t", &s, &s, &s, &fx); }, 1},
      {[&] { return new WM_DIALOG(0, 0, 80, 60, "t", DIALOG_COLOURS{}, true, &fx); }, 1},
      {[&] {
         return new WM_FLOATING_MENU(0, 0, "t", &s, &s, &s, &s, false, false, nullptr, nullptr, nullptr, &fx, nullptr);
       }, 2},
      {[&] {
         return new WM_MENU(0, 0, 40, 15, "m", MENU_DIRECTION::BELOW, &s, &s, &s, &s, nullptr, nullptr, nullptr, &fx,
                            nullptr);
       }, 2},
      {[&] { return new WM_MENU(0, 0, 40, 15, k, w, k, w, "m", true, MENU_DIRECTION::BELOW, &fx); }, 2},
      {[&] {
         return new WM_LIST_BOX(0, 0, 40, 15, 2, texts, 0, &s, &s, &s, &s, nullptr, nullptr, nullptr, nullptr, nullptr,
                                0, 0, &fx);
       }, 3},
      {[&] { return new WM_LIST_BOX(0, 0, 40, 15, 2, texts, 0, k, w, k, w, true, nullptr, 0, 0, &fx); }, 3},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    heard.clear();
    const std::unique_ptr<WM_SCREEN_OBJECT> object(rows[i].first());
    EXPECT_EQ(std::count(heard.begin(), heard.end(), object.get()), rows[i].second) << i;
  }
  WM_SCREEN_OBJECT::object_created_hook = nullptr;
}

// ---- Invalidation and painting ---------------------------------------------

TEST_F(ScreenObject, InvalidateClipsToTheScreen) {
  struct CASE {
    int16_t x, y;
    uint16_t w, h;
    std::vector<RECT> expected;
  };
  const CASE cases[] = {
      {10, 20, 30, 40, {{10, 20, 39, 59}}},
      {-10, -5, 30, 40, {{0, 0, 19, 34}}},    // partly off-screen: only the visible part
      {190, 140, 30, 40, {{190, 140, 199, 149}}},
      {300, 10, 30, 40, {}},                  // wholly off-screen: nothing
      {10, 10, 0, 40, {}},
  };
  for (const CASE& c : cases) {
    dirty_rectangles().clear();
    BOX box(c.x, c.y, c.w, c.h, RED);
    box.invalidate();
    EXPECT_EQ(dirty_table(), c.expected) << c.x << "," << c.y;
  }
}

TEST_F(ScreenObject, RemovingAnOverlayRepaintsItsOwnPixels) {
  BOX owner(0, 0, 10, 10, RED);
  owner.set_depth(0);
  auto* popup = new BOX(100, 100, 40, 30, GREEN);
  owner.add_overlay(popup, false);
  dirty_rectangles().clear();
  owner.remove_overlay(popup, true, false);
  EXPECT_EQ(dirty_table(), (std::vector<RECT>{{0, 0, 9, 9}, {100, 100, 139, 129}}));
}

TEST_F(ScreenObject, PaintingVisitsOnlyWhatIsVisibleAndDirty) {
  BOX root(0, 0, 200, 150, RED);
  auto* hidden = new BOX(0, 0, 50, 50, GREEN, false);
  auto* under_hidden = new BOX(0, 0, 10, 10, BLUE);
  hidden->add_child(under_hidden, false);
  auto* far = new BOX(150, 100, 10, 10, BLUE);
  root.add_child(hidden, false);
  root.add_child(far, false);
  dirty_rectangles().add({0, 0, 60, 60});
  paint_table(&root);
  // Drawn: the root only; the children of the hidden are not visited; far
  // is marked drawn without drawing.
  EXPECT_EQ((std::vector<int>{root.draw_count, hidden->draw_count, under_hidden->draw_count, far->draw_count,
                              far->drawn, far->needs_redraw}),
            (std::vector<int>{1, 0, 0, 0, 1, 0}));
  EXPECT_EQ(pixel(10, 10), RED);
  EXPECT_EQ(pixel(100, 100), 0xFF000000);  // outside the rectangle: untouched
}

// A page of nested boxes with a border of every style and two overlapping
// overlays; then one box changes and only its rectangle is repainted.
TEST_F(ScreenObject, PaintsExactlyAndMinimally) {
  BOX root(0, 0, 200, 150, 0xFF202020);
  root.set_depth(0);
  std::vector<BOX*> framed;
  for (uint32_t style = 2; style <= 9; ++style) {
    auto* b = new BOX(static_cast<int16_t>(4 + (style - 2) % 4 * 48),
                      static_cast<int16_t>(4 + (style - 2) / 4 * 48), 40, 40, 0xFF404040);
    b->border_style = style;
    auto* inner = new BOX(10, 10, 12, 12, BLUE);
    b->add_child(inner, true);
    root.add_child(b, false);
    framed.push_back(b);
  }
  auto* low = new BOX(60, 100, 60, 40, GREEN);
  auto* high = new BOX(90, 110, 60, 30, RED);
  root.add_overlay(low, false);
  root.add_overlay(high, false);
  root.invalidate();
  paint_table(&root);

  IMAGE expected(200, 150);
  {
    COLOUR c = 0xFF202020;
    expected.fill_rect(0, 0, 199, 149, &c, false);
    WM_SCREEN_OBJECT::set_drawing_surface(&expected);
    for (BOX* b : framed) {
      b->draw();
      b->children[0]->draw();
    }
    low->draw();
    high->draw();
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
  }
  EXPECT_TRUE(test_support::pictures_match("screen_object_page", *get_screen_image(), expected));
  // Kept for a person to look at: every border style with overlapping overlays.
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(get_screen_image()->save_png(&png));
  EXPECT_TRUE(test_support::write_file(test_support::picture_output_folder() + "/screen_object_page.png", png.text()));
  // Telling pixels: raised style 6 (white top-left, grey bottom-right, two
  // rings), style 3's yellow outline, style 2's black middle ring.
  const int16_t s6x = 4 + 0 * 48, s6y = 4 + 48;  // style 6 is the fifth box
  // Style 3 at (57, 4), style 2's ring 1 at (9, 5), then the top overlay over the lower one.
  const std::tuple<int, int, COLOUR> probes[] = {
      {s6x + 5, s6y, 0xFFFFFFFF}, {s6x + 5, s6y + 1, 0xFFFFFFFF}, {s6x + 5, s6y + 2, 0xFF404040},
      {s6x + 5, s6y + 39, 0xFF808080}, {57, 4, 0xFFFFFF00}, {9, 5, 0xFF000000}, {100, 120, RED}, {70, 120, GREEN}};
  for (const auto& [px, py, c] : probes) EXPECT_EQ(pixel(px, py), c) << px << "," << py;

  // One change: only the dirty rectangle is repainted.
  const int before = BOX::total_draws;
  COLOUR marker = 0xFF123456;
  get_screen_image()->fill_rect(199, 0, 199, 0, &marker, false);
  get_screen_image()->fill_rect(150, 60, 150, 60, &marker, false);
  framed[1]->children[0]->show();  // the inner box of style 3 at (62, 14)
  ASSERT_EQ(dirty_table(), (std::vector<RECT>{{62, 14, 73, 25}}));
  paint_table(&root);
  // root, the framed box and its inner box meet the rectangle; nothing else.
  EXPECT_EQ(BOX::total_draws - before, 3);
  EXPECT_EQ(std::pair(pixel(199, 0), pixel(150, 60)), std::pair(marker, marker));
  EXPECT_EQ(pixel(65, 20), BLUE);
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().size() == 2);
  root.destroy_children(true, 0, true);
}

// ---- Borders ---------------------------------------------------------------

TEST_F(ScreenObject, BorderWidths) {
  const std::pair<uint32_t, int32_t> widths[] = {{0, 0}, {2, 3}, {3, 1}, {4, 1}, {5, 2}, {6, 2},
                                                 {7, 3}, {8, 3}, {9, 4}, {10, 0}, {1, 2}};
  for (const auto& [style, width] : widths) EXPECT_EQ(get_border_width(style), width) << style;
  BOX box(0, 0, 1, 1, RED);
  box.border_style = 9;
  EXPECT_EQ(box.get_border_width(1), 4);  // the object's own style first
  box.border_style = 1;
  EXPECT_EQ(box.get_border_width(1), 2);  // then the default, 6
  border_theme.default_style = 1;
  EXPECT_EQ(box.get_border_width(1), 0);
}

TEST_F(ScreenObject, BorderColours) {
  BOX box(0, 0, 1, 1, RED);
  COLOUR dark = 0, light = 0;
  const COLOUR face = 0xFF646464;
  box.get_border_colours(&face, &dark, &light);
  EXPECT_EQ(std::pair(dark, light), std::pair(0xFF808080u, 0xFFFFFFFFu));  // the theme wins over the face
  border_theme.shadow = border_theme.highlight = 0;
  border_theme.face = face;  // with no face given, the theme's face
  for (const COLOUR* given : {&face, static_cast<const COLOUR*>(nullptr)}) {
    box.get_border_colours(given, &dark, &light);
    EXPECT_EQ(std::pair(dark, light), std::pair(0xFF464646u, 0xFF828282u));
  }
  box.border_colour = 0x80C8C8C8;
  box.get_border_colours(&face, &dark, &light);
  EXPECT_EQ(std::pair(dark, light), std::pair(0x808C8C8Cu, 0x80FFFFFFu));
}

TEST_F(ScreenObject, BorderRingsPressedAndUnsetColours) {
  struct CASE {
    uint32_t style;
    uint16_t flags;
    COLOUR outline;
    COLOUR top[4];  // pixel (10, 0 + k) for ring k
    COLOUR bottom;  // pixel (10, 19), the outermost bottom ring
  };
  const COLOUR W = 0xFFFFFFFF, G = 0xFF808080, Y = 0xFFFFFF00, K = 0xFF000000, F = 0xFF0000FF;
  const CASE cases[] = {
      {2, border_flag::ALL_SIDES, Y, {G, K, W, F}, W},
      {2, border_flag::ALL_SIDES | border_flag::PRESSED, Y, {G, K, G, F}, W},
      {7, border_flag::ALL_SIDES | border_flag::PRESSED, Y, {Y, G, G, F}, Y},
      {9, border_flag::ALL_SIDES, Y, {Y, W, W, W}, Y},
      {5, border_flag::ALL_SIDES, 0, {F, W, F, F}, F},  // an unset outline is skipped
      {4, border_flag::BOTTOM, Y, {F, F, F, F}, G},     // only the flagged side
      {1, border_flag::ALL_SIDES, Y, {W, W, F, F}, G},  // 1 = the default, 6
      {2, 0, Y, {F, F, F, F}, F},                       // no side, no corner: nothing
      {5, border_flag::PRESSED, Y, {F, F, F, F}, F},
      {9, 0, Y, {F, F, F, F}, F},
  };
  for (const CASE& c : cases) {
    border_theme.outline = c.outline;
    BOX box(0, 0, 30, 20, F);
    box.border_style = 1;
    box.border_flags = c.flags;
    box.draw();
    box.draw_border(0, 0, 29, 19, c.flags, nullptr, c.style, 0);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(pixel(10, static_cast<int16_t>(k)), c.top[k]) << c.style << " ring " << k;
    EXPECT_EQ(pixel(10, 19), c.bottom) << c.style;
    if ((c.flags & 0xFF) != 0) continue;
    // Without sides or corners the whole box keeps its fill.
    for (int16_t y = 0; y < 20; ++y)
      for (int16_t x = 0; x < 30; ++x) ASSERT_EQ(pixel(x, y), F) << c.style << " at " << x << "," << y;
  }
}

TEST_F(ScreenObject, RoundedCornersShortenTheSides) {
  BOX box(0, 0, 30, 30, 0xFF0000FF);
  box.draw();
  box.draw_border(0, 0, 29, 29, border_flag::ALL_SIDES | border_flag::ROUND_TOP_LEFT, nullptr, 4, 5);
  EXPECT_EQ(pixel(1, 0), 0xFF0000FFu);  // inside the rounded corner's reach
  EXPECT_EQ(pixel(6, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(29, 2), 0xFF808080u);  // the square corner is not shortened
}

TEST_F(ScreenObject, ArrowsFillTheirTriangle) {
  struct CASE {
    ARROW direction;
    int16_t px, py;  // inside the triangle
    int16_t qx, qy;  // inside the box, outside the triangle
  };
  const CASE cases[] = {{ARROW::UP, 15, 18, 11, 11},
                        {ARROW::DOWN, 15, 11, 11, 18},
                        {ARROW::LEFT, 11, 15, 11, 11},
                        {ARROW::RIGHT, 18, 15, 18, 11}};
  const COLOUR arrow = GREEN;
  for (const CASE& c : cases) {
    COLOUR black = 0xFF000000;
    get_screen_image()->fill_rect(0, 0, 199, 149, &black, false);
    BOX box(0, 0, 30, 30, 0);
    box.draw_arrow(0, 0, 29, 29, &arrow, c.direction, AUTO_ARROW_INSET, AUTO_ARROW_INSET);
    EXPECT_EQ(pixel(c.px, c.py), arrow) << static_cast<int>(c.direction);
    EXPECT_EQ(pixel(c.qx, c.qy), black) << static_cast<int>(c.direction);
    EXPECT_EQ(pixel(5, 5), black);
  }
  // Unset colours and empty boxes, across the arrow's point too, draw nothing.
  const COLOUR unset = 0x00FFFFFF, black = 0xFF000000;
  get_screen_image()->fill_rect(0, 0, 199, 149, &black, false);
  BOX box(0, 0, 30, 30, 0);
  box.draw_arrow(0, 0, 29, 29, &unset, ARROW::UP, 0, 0);
  box.draw_arrow(0, 0, 29, 29, &arrow, ARROW::LEFT, 15, 0);
  box.draw_arrow(0, 0, 29, 29, &arrow, ARROW::UP, 0, 15);
  for (int16_t y = 0; y < 30; ++y)
    for (int16_t x = 0; x < 30; ++x) ASSERT_EQ(pixel(x, y), black) << x << "," << y;
  // Insets that leave one row or one column still draw it.
  box.draw_arrow(0, 0, 28, 29, &arrow, ARROW::UP, 14, 0);
  box.draw_arrow(40, 0, 69, 28, &arrow, ARROW::LEFT, 0, 14);
  for (int16_t y = 0; y < 30; ++y) EXPECT_EQ(pixel(14, y), arrow) << y;
  for (int16_t x = 40; x < 70; ++x) EXPECT_EQ(pixel(x, 14), arrow) << x;
  EXPECT_EQ(std::pair(pixel(15, 29), pixel(69, 15)), std::pair(black, black));
}

TEST_F(ScreenObject, FrameClockBlinkBits) {
  const std::pair<uint32_t, uint8_t> cases[] = {
      {0, 0x00}, {50, 0x01}, {125, 0x02}, {4000, 0x40}, {8000, 0x80}, {12000, 0xC0}, {1050, 0x11}};
  for (const auto& [t, bits] : cases) {
    WM_SCREEN_OBJECT::set_frame_clock(t);
    EXPECT_EQ(WM_SCREEN_OBJECT::blink_phase, bits) << t;
    EXPECT_EQ(WM_SCREEN_OBJECT::frame_clock, t);
  }
}

}  // namespace
