// Tables in a real window driven by XTEST clicks: header clicks cycle the
// sort; the page selector steps; the "Filters" menu chooses and clears a
// filter; "Change" opens the column chooser, whose OK changes the columns
// and drops a sort on a column it hides; "Reset" restores the defaults;
// column sets are ticked with the icon under $ICONDATA, or marked active
// without it; set_size lays the table out again. A page with a keypad, a
// range selector and a table with its chooser open is saved as a picture.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <tuple>

#include "data_file.h"
#include "file_services.h"
#include "folder.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_flags_select.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_manager.h"
#include "wm_menu.h"
#include "wm_numpad.h"
#include "wm_range_selector.h"
#include "wm_script.h"
#include "wm_table_test_owner.h"
#include "wm_x11_fixture.h"

namespace {

WM_STYLE_SET look(COLOUR background, uint32_t drawing_flags = SSF_DRAW_BORDER) {
  WM_STYLE_SET s = wm_test::text_style(background, drawing_flags, 0xFF000000);
  s.highlight_colour = 0xFF3060C0;
  s.cell_top_gap = s.cell_bottom_gap = 1;
  s.border_left_gap = s.border_right_gap = 5;
  s.border_top_gap = s.border_bottom_gap = 3;
  return s;
}

class TableX11 : public wm_test::PointerX11 {
protected:
  TableX11() : PointerX11("Table test", 1120, 560) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    WM_SCREEN_OBJECT::focus_object = nullptr;
    root.add_child(new wm_test::BOX(0, 0, 1120, 560, 0xFF506070), false);
    owner.cell_style = look(0xFFFFFFF0, 0);
    frame = [this] {
      clock += 100;
      WM_SCREEN_OBJECT::set_frame_clock(clock);
      root.update(false);
      root.update(true);
      if (const int32_t answer = root.process()) answers.push_back(answer);
      wm_test::paint_table(&root);
    };
  }
  void TearDown() override {
    root.destroy_children(true, 0, true);
    PointerX11::TearDown();
  }
  // The table at (20, 60), 540 x 380; its parts were built from (0, 0).
  void make_table() {
    const auto cols = table_test::columns();
    styles = {.menu_button = &menu_button, .menu_body = &menu_body, .menu_item = &menu_item,
              .filter_label = &label, .body_grid = &body, .header = &header,
              .header_descending = &descending, .header_ascending = &ascending};
    for (int i = 0; i < WM_RANGE_SELECTOR::COLUMNS; ++i) styles.page_selector[i] = &pager;
    table = new WM_TABLE(0, 0, 539, 379, 3, 22, static_cast<int16_t>(cols.size()), cols.data(),
                         table_test::kFilters, 3, table_test::OWNER::fill,
                         reinterpret_cast<uintptr_t>(&owner), 0, styles);
    table->set_position(20, 60);
    root.add_child(table, false);
    frame();
  }
  // A click, then a few frames for requests and effects to settle.
  void click_on(const WM_SCREEN_OBJECT* o) {
    ASSERT_NE(o, nullptr);
    ASSERT_NO_FATAL_FAILURE(click(o));
    for (int i = 0; i < 4; ++i) frame();
  }
  WM_BUTTON* header_of(const char* title) const {
    for (int32_t k = 0; k < table->get_visible_count(); ++k) {
      auto* b = static_cast<WM_BUTTON*>(table->grid->get_cell(k, 0));
      if (std::strcmp(b->get_text(), title) == 0) return b;
    }
    return nullptr;
  }
  static WM_BUTTON* item_of(WM_MENU* menu, const char* text) {
    WM_FLOATING_MENU* popup = menu->get_popup();
    for (int32_t row = 0; row < popup->get_grid()->get_row_count(); ++row) {
      WM_BUTTON* b = popup->get_item(row);
      if (b && std::strcmp(b->get_text(), text) == 0) return b;
    }
    return nullptr;
  }
  // Opens the menu and clicks the item.
  void choose(WM_MENU* menu, const char* text) {
    ASSERT_NO_FATAL_FAILURE(click_on(menu));
    ASSERT_TRUE(frames_until([&] { return menu->is_open(); }));
    ASSERT_NO_FATAL_FAILURE(click_on(item_of(menu, text)));
  }
  WM_FLAGS_SELECT* open_chooser() {
    choose(table->columns_menu, "Change");
    WM_FLAGS_SELECT* chooser = table->get_chooser();
    if (!chooser) return nullptr;
    EXPECT_TRUE(frames_until([&] { return chooser->visible && !chooser->is_moving(); }));
    return chooser;
  }
  std::string label_text() const { return table->filter_label->text.get_text(PARAMETER::VALUE); }

  uint32_t clock = 10000;
  std::vector<int32_t> answers;  // what the frames' processing answered, when not 0
  WM_MANAGER root;
  table_test::OWNER owner;
  WM_STYLE_SET pager = look(0xFFD8D8E8), menu_button = look(0xFFD8D8D8);
  WM_STYLE_SET menu_body = look(0xFFF0F0E0, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER);
  WM_STYLE_SET menu_item = look(0xFFF0F0E0, SSF_LEFT_JUSTIFY_TEXT);
  WM_STYLE_SET label = look(0xFFE8E8E8, 0), body = look(0xFFFFFFF0, SSF_DRAW_BORDER);
  WM_STYLE_SET header = look(0xFFC8C8C8), ascending = look(0xFF80C080);
  WM_STYLE_SET descending = look(0xFFD08080);
  WM_TABLE_STYLES styles;
  WM_TABLE* table = nullptr;  // owned by the root
};

}  // namespace

TEST_F(TableX11, HeaderClicksCycleTheSortAndThePagerAndFiltersStep) {
  if (!ready()) GTEST_SKIP();
  make_table();
  for (int expected : {2, -2, 0}) {
    ASSERT_NO_FATAL_FAILURE(click_on(header_of("Moons")));
    EXPECT_EQ(owner.seen.sort, expected);
  }
  EXPECT_EQ(owner.seen.first_column.front(), "Mercury");

  const struct {
    WM_RANGE_SELECTOR::COLUMN button;
    int page;
  } steps[] = {{WM_RANGE_SELECTOR::NEXT, 2}, {WM_RANGE_SELECTOR::LAST, 3},
               {WM_RANGE_SELECTOR::PREVIOUS, 2}, {WM_RANGE_SELECTOR::FIRST, 1}};
  for (const auto& s : steps) {
    ASSERT_NO_FATAL_FAILURE(click_on(table->page_selector->get_button(s.button)));
    EXPECT_EQ(owner.seen.page, s.page);
  }
  EXPECT_STREQ(table->page_selector->get_label()->text.get_text(PARAMETER::VALUE), "Page 1 of 3");

  ASSERT_NO_FATAL_FAILURE(choose(table->filters_menu, "Gas giants"));
  EXPECT_EQ(owner.seen.filter, 1);
  EXPECT_EQ(owner.seen.first_column, (std::vector<std::string>{"Jupiter", "Saturn"}));
  EXPECT_EQ(label_text(), "Current Filter: Gas giants");
  ASSERT_NO_FATAL_FAILURE(choose(table->filters_menu, "Has moons"));  // the first filter takes over
  EXPECT_EQ(std::pair(owner.seen.filter, label_text()), std::pair(0, std::string("Current Filter: Has moons")));
  ASSERT_NO_FATAL_FAILURE(choose(table->filters_menu, "Has moons"));
  EXPECT_EQ(std::pair(owner.seen.filter, label_text()), std::pair(-1, std::string("Current Filter: None")));
}

TEST_F(TableX11, ChooserChangesTheColumnsAndResetRestoresThem) {
  if (!ready()) GTEST_SKIP();
  make_table();
  ASSERT_NO_FATAL_FAILURE(click_on(header_of("Moons")));
  ASSERT_EQ(owner.seen.sort, 2);
  EXPECT_FALSE(item_of(table->columns_menu, "Reset")->enabled);

  WM_FLAGS_SELECT* chooser = open_chooser();
  ASSERT_NE(chooser, nullptr);
  EXPECT_STREQ(chooser->get_text(), "Select Viewable Columns");
  ASSERT_NO_FATAL_FAILURE(click_on(chooser->get_check_box(1)));  // "Number of moons" off
  ASSERT_NO_FATAL_FAILURE(click_on(chooser->get_check_box(3)));  // "Length of day" on
  EXPECT_EQ(chooser->get_flags(), 0b11101u);
  ASSERT_NO_FATAL_FAILURE(click_on(chooser->ok_button));
  ASSERT_TRUE(frames_until([&] { return table->get_chooser() == nullptr; }));
  EXPECT_EQ(owner.seen.mask, 0b11101u);
  EXPECT_EQ(owner.seen.sort, 0);  // the sorted column went
  EXPECT_EQ(header_of("Moons"), nullptr);
  EXPECT_NE(header_of("Day"), nullptr);

  // Cancel changes nothing.
  chooser = open_chooser();
  ASSERT_NE(chooser, nullptr);
  ASSERT_NO_FATAL_FAILURE(click_on(chooser->get_check_box(0)));
  ASSERT_NO_FATAL_FAILURE(click_on(chooser->cancel_button));
  ASSERT_TRUE(frames_until([&] { return table->get_chooser() == nullptr; }));
  EXPECT_EQ(owner.seen.mask, 0b11101u);

  ASSERT_NO_FATAL_FAILURE(choose(table->columns_menu, "Reset"));
  EXPECT_EQ(owner.seen.mask, 0b10111u);
  EXPECT_FALSE(item_of(table->columns_menu, "Reset")->enabled);
}

TEST_F(TableX11, ColumnSetsAreTickedWithTheIconOrMarkedActiveWithoutIt) {
  if (!ready()) GTEST_SKIP();
  for (bool with_icon : {false, true}) {
    SCOPED_TRACE(with_icon ? "with icon" : "without icon");
    test_support::ScratchDir scratch;
    set_home_folder_override(scratch.file("home").c_str());
    set_system_root_override(scratch.file("root").c_str());
    for (const char* dir : {"home", "root", "app", "home/.tabletest", "home/.tabletest/data",
                            "home/.tabletest/data/icons"})
      ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
    FOLDER app;
    ASSERT_TRUE(app.set_absolute(scratch.file("app").c_str()));
    set_base_path(app, "tabletest");
    if (with_icon) {
      FOLDER icons;
      ASSERT_TRUE(icons.set("$ICONDATA"));
      ASSERT_EQ(std::string(icons.path), scratch.file("home/.tabletest/data/icons"));
      IMAGE tick(10, 10);
      const COLOUR green = 0xFF20A020;
      tick.fill_rect_solid(0, 0, 9, 9, &green);
      DATA_FILE* file = icons.open_data_file("menu_item_active.png", 1, 0, false);
      ASSERT_NE(file, nullptr);
      ASSERT_TRUE(tick.save_png(file));
      ASSERT_TRUE(FOLDER::close_data_file(file));
    }
    make_table();
    clear_base_path();
    set_home_folder_override(nullptr);
    set_system_root_override(nullptr);
    EXPECT_EQ(table->has_tick_image(), with_icon);
    const WM_TABLE_COLUMN_SET sets[] = {{"Compact", 0b10001}, {nullptr, 0b11111}};
    table->set_column_sets(sets, 2);

    ASSERT_NO_FATAL_FAILURE(choose(table->columns_menu, "Compact"));
    EXPECT_EQ(owner.seen.mask, 0b10001u);
    ASSERT_NO_FATAL_FAILURE(choose(table->filters_menu, "Gas giants"));
    // The chosen column set and the chosen filter, and no other item.
    for (auto [menu, text, marked] :
         {std::tuple{table->columns_menu, "Compact", true}, {table->columns_menu, "Unknown", false},
          {table->filters_menu, "Has moons", false}, {table->filters_menu, "Gas giants", true},
          {table->filters_menu, "100% rock", false}}) {
      const WM_BUTTON* item = item_of(menu, text);
      ASSERT_NE(item, nullptr) << text;
      EXPECT_EQ(item->icon.width > 0, with_icon && marked) << text;
      EXPECT_EQ(item->active != 0, !with_icon && marked) << text;
    }
    root.remove_child(table, true, false);
    table = nullptr;
  }
}

TEST_F(TableX11, SetSizeLaysTheTableOutAgain) {
  if (!ready()) GTEST_SKIP();
  make_table();
  table->set_size(440, 300, true);
  frame();
  EXPECT_EQ(table->grid->width, 440);
  EXPECT_EQ(table->grid->height, 300 - table->get_header_height());
  WM_RANGE_SELECTOR* pager_object = table->page_selector;
  EXPECT_EQ(pager_object->x + pager_object->width, 20 + 440);
  EXPECT_EQ(table->get_visible_widths().size(), 4u);
  ASSERT_NO_FATAL_FAILURE(click_on(pager_object->get_button(WM_RANGE_SELECTOR::NEXT)));
  EXPECT_EQ(owner.seen.page, 2);
  const WM_SCREEN_OBJECT* last = table->grid->get_cell(3, 0);
  EXPECT_EQ(last->x + last->width, table->grid->x + table->grid->width - table->grid->style.border_right_gap);
  table->set_size(400, 300, true);  // the width alone changes
  EXPECT_EQ(table->grid->width, 400);
  table->set_size(400, 280, true);  // the height alone
  EXPECT_EQ(table->grid->height, 280 - table->get_header_height());
}

TEST_F(TableX11, PageWithKeypadRangeSelectorAndChooser) {
  if (!ready()) GTEST_SKIP();
  PARAMETER level, volume;
  for (const auto& [p, maximum, value] : {std::tuple{&level, 99, 42}, {&volume, 10, 4}}) {
    p->set_type(PARAMETER::I32);
    p->set_int(PARAMETER::MAXIMUM, maximum);
    p->set_int(PARAMETER::VALUE, value);
  }
  const COLOUR face = 0xFF4060A0, ink = 0xFFFFFFFF;
  root.add_child(new WM_RANGE_SELECTOR(20, 10, 319, 39, &volume, &face, &ink, nullptr, 0, 0, nullptr),
                 false);
  make_table();
  ASSERT_NO_FATAL_FAILURE(click_on(header_of("Name")));
  ASSERT_NE(open_chooser(), nullptr);
  // Last, as an open dialog takes the pointer from what lies below it.
  auto* pad = new WM_NUMPAD(715, 20, &level, "Level", nullptr, 0, {}, true);
  root.add_overlay(pad, false);
  ASSERT_TRUE(frames_until([&] { return pad->is_enabled() && !pad->is_moving(); }));
  for (int i = 0; i < 3; ++i) frame();
  ASSERT_NO_FATAL_FAILURE(save_screen("table_page.png"));
}

TEST_F(TableX11, TableGoesFromItsOwnersCallbackAndWithItsChooserOpen) {
  if (!ready()) GTEST_SKIP();
  for (bool chooser_open : {false, true}) {
    SCOPED_TRACE(chooser_open ? "chooser open" : "after a header click");
    make_table();
    WM_TABLE* held = table;
    owner.holder = &held;
    if (chooser_open) {
      // The open dialog holds the pointer, so the owner deletes the table
      // from elsewhere.
      ASSERT_NE(open_chooser(), nullptr);
      root.remove_child(held, true, false);
      held = nullptr;
    } else {
      owner.delete_on_next = true;
      answers.clear();
      ASSERT_NO_FATAL_FAILURE(click_on(header_of("Rings")));
      // The header button takes the click; the table, gone in the middle
      // of a later frame, takes nothing on itself.
      EXPECT_EQ(answers, (std::vector<int32_t>{page_action::HANDLED}));
    }
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(root.child_count(), 1);  // the background alone
    for (WM_SCREEN_OBJECT* o : WM_SCREEN_OBJECT::overlays())
      EXPECT_FALSE(o->kind & wm_kind::FLAGS_SELECT);
    for (int i = 0; i < 5; ++i) frame();
    owner.delete_on_next = false;
    table = nullptr;
  }
}
