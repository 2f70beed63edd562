// The table on the headless screen: the header's plain, ascending and
// descending looks in pixels, what the owner's data callback is handed, the
// setters' limits, deep copies of what the owner passed, which parts the
// options leave out and where the filter label goes, and the lifetimes of
// the table, its menus and its column chooser when either side is deleted
// first. Clicks, the chooser's answers and "Reset": the X test.
#include "wm_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "input.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_flags_select.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_menu.h"
#include "wm_range_selector.h"
#include "wm_script.h"
#include "wm_table_test_owner.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kPlain = 0xFFC0C0C0, kAscending = 0xFF40A040, kDescending = 0xFFC04040;

class Table : public wm_test::TextSkinTest {
protected:
  Table() : TextSkinTest("table_test", 640, 400) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    owner.cell_style = wm_test::text_style(0xFFFFFFFF, 0, 0xFF000000);
  }
  void TearDown() override {
    table.reset();
    while (!WM_SCREEN_OBJECT::overlays().empty())
      root.remove_overlay(WM_SCREEN_OBJECT::overlays().back(), true, false);
    TextSkinTest::TearDown();
  }
  WM_TABLE* make(uint8_t options = 0, uint16_t pages = 3, int16_t filters = 3) {
    const auto cols = table_test::columns();
    const WM_TABLE_STYLES styles{.filter_label = &label, .header = &plain,
                                 .header_descending = &descending, .header_ascending = &ascending};
    table = std::make_unique<WM_TABLE>(0, 0, 599, 299, pages, 20, static_cast<int16_t>(cols.size()),
                                       cols.data(), table_test::kFilters, filters,
                                       table_test::OWNER::fill,
                                       reinterpret_cast<uintptr_t>(&owner), options, styles);
    return t = table.get();
  }
  WM_BUTTON* header(int32_t k) const { return static_cast<WM_BUTTON*>(t->grid->get_cell(k, 0)); }
  std::string label_text() const { return t->filter_label->text.get_text(PARAMETER::VALUE); }
  WM_BUTTON* columns_item(const char* text) const {
    WM_FLOATING_MENU* popup = t->columns_menu->get_popup();
    for (int32_t row = 0; row < popup->get_grid()->get_row_count(); ++row) {
      WM_BUTTON* b = popup->get_item(row);
      if (b && std::strcmp(b->get_text(), text) == 0) return b;
    }
    return nullptr;
  }

  table_test::OWNER owner;
  WM_STYLE_SET plain = wm_test::text_style(kPlain, 0, 0xFF000000);
  WM_STYLE_SET ascending = wm_test::text_style(kAscending, 0, 0xFF000000);
  WM_STYLE_SET descending = wm_test::text_style(kDescending, 0, 0xFF000000);
  WM_STYLE_SET label = wm_test::text_style(0xFFFFFFFF, 0, 0xFF000000);
  WM_SCREEN_OBJECT root{true, nullptr, 0, 0};
  std::unique_ptr<WM_TABLE> table;
  WM_TABLE* t = nullptr;  // the last one made, also once released
};

}  // namespace

TEST_F(Table, HeaderButtonsShowTheSortInTheirStyles) {
  make();
  const struct {
    int16_t sort;
    COLOUR name, moons;
  } cases[] = {{2, kPlain, kAscending}, {-2, kPlain, kDescending}, {-1, kDescending, kPlain},
               {0, kPlain, kPlain}};
  for (const auto& c : cases) {
    table->set_sort(c.sort);
    EXPECT_EQ(owner.seen.sort, c.sort);
    table->invalidate();
    wm_test::paint_table(table.get());
    for (auto [k, colour] : {std::pair{0, c.name}, std::pair{1, c.moons}}) {
      const WM_BUTTON* b = header(k);
      EXPECT_EQ(wm_test::pixel(static_cast<int16_t>(b->x + 2), static_cast<int16_t>(b->y + 2)), colour)
          << "sort " << c.sort << " column " << k;
    }
    // The whole table: header, rows, pager and filter label.
    const std::string name = "table_sort_" + std::to_string(c.sort);
    EXPECT_TRUE(test_support::picture_matches_reference("extra", name, *get_screen_image()));
  }
}

TEST_F(Table, OwnerIsHandedTheViewAndFillsThePage) {
  make();
  EXPECT_EQ(owner.seen.calls, 1);
  EXPECT_EQ(owner.seen.mask, 0b10111u);
  EXPECT_EQ(table->get_visible_widths(), (std::vector<int16_t>{3, 1, 1, 2}));
  EXPECT_EQ(owner.seen.first_column,
            (std::vector<std::string>{"Mercury", "Venus", "Earth", "Mars", "Jupiter"}));
  EXPECT_EQ(table->grid->get_row_count(), 1 + table_test::kRowsPerPage);
  // Every refresh keeps the table's row height.
  table->set_sort(1);
  for (int32_t row = 0; row < table->grid->get_row_count(); ++row)
    EXPECT_GE(table->grid->get_row(row)->height, 20) << row;
  table->set_sort(0);
  EXPECT_STREQ(header(3)->get_text(), "Kind");

  table->set_sort(-2);
  EXPECT_EQ(owner.seen.first_column.front(), "Saturn");
  // A hidden column, or one outside the table, is no sort.
  for (int16_t refused : {4, -6, 6}) table->set_sort(refused);
  EXPECT_EQ(table->get_sort(), -2);
  // Hiding the sorted column drops the sort.
  table->set_visible_columns(0b11101);
  EXPECT_EQ(owner.seen.sort, 0);
  EXPECT_EQ(owner.seen.mask, 0b11101u);
  EXPECT_STREQ(header(2)->get_text(), "Day");
  // With every column hidden the grid keeps one narrow column.
  table->set_visible_columns(0);
  EXPECT_EQ(table->get_visible_widths(), (std::vector<int16_t>{1}));
  EXPECT_EQ(header(0), nullptr);
}

TEST_F(Table, FilterIsShownAndChoosingItAgainClearsIt) {
  make();
  EXPECT_EQ(label_text(), "Current Filter: None");
  table->set_filter(2);
  EXPECT_EQ(owner.seen.filter, 2);
  // An owner's "%" is text, never a format.
  EXPECT_EQ(label_text(), "Current Filter: 100% rock");
  const auto marks = [&] {  // which filter items are marked
    std::string m;
    for (int32_t row = 0; row < 3; ++row) m += char('0' + table->filters_menu->get_popup()->get_item(row)->active);
    return m;
  };
  EXPECT_EQ(marks(), "001");
  table->set_filter(2);
  EXPECT_EQ(owner.seen.filter, -1);
  EXPECT_EQ(std::pair(label_text(), marks()), std::pair(std::string("Current Filter: None"), std::string("000")));
  const int calls = owner.seen.calls;
  for (int16_t refused : {-2, 3}) table->set_filter(refused);
  EXPECT_EQ(owner.seen.calls, calls);
}

TEST_F(Table, PageCountIsClampedToWhatThePageHolds) {
  make(0, 40000);
  EXPECT_EQ(table->get_page_count(), 32767);
  EXPECT_EQ(owner.seen.page_count, 32767);
  table->set_page(32767);
  EXPECT_EQ(owner.seen.page, 32767);
  const int calls = owner.seen.calls;
  table->set_page_count(0);
  table->set_page_count(32767);
  EXPECT_EQ(owner.seen.calls, calls);
  // A smaller count pulls the page in and shows it.
  table->set_page_count(3);
  EXPECT_EQ(table->get_page(), 3);
  EXPECT_EQ(owner.seen.page, 3);
  EXPECT_EQ(owner.seen.first_column, (std::vector<std::string>{"Eris"}));
  table->set_filter(1);  // two gas giants: page 3 is empty below the header
  EXPECT_EQ(table->grid->get_row_count(), 1);

  // A click on the page selector reaches the owner in the frame the page
  // changes, not one frame later, also with a column change ("Reset")
  // waiting in each frame.
  const WM_BUTTON* next = table->page_selector->get_button(WM_RANGE_SELECTOR::NEXT);
  mouse.x = static_cast<uint16_t>(next->x + next->width / 2);
  mouse.y = static_cast<uint16_t>(next->y + next->height / 2);
  for (const bool column_change : {false, true}) {
    table->set_page(1);
    for (const uint32_t buttons : {0u, MOUSE::LEFT, 0u, 0u}) {
      mouse.buttons = buttons;
      if (column_change) columns_item("Reset")->fire_callback(false);
      table->process();
      EXPECT_EQ(owner.seen.page, table->get_page()) << buttons;
    }
    EXPECT_EQ(table->get_page(), 2) << column_change;
  }
  mouse.x = mouse.y = MOUSE::OUTSIDE;
}

TEST_F(Table, KeepsItsOwnCopiesOfWhatTheOwnerPassed) {
  {
    auto cols = table_test::columns();
    std::string filter = "Temporary";
    const char* filters[] = {filter.c_str()};
    const WM_STYLE_SET box_style = wm_test::text_style(0xFFFFFF00, 0, 0xFF0000FF);
    WM_TABLE_STYLES styles;
    styles.chooser_check_box = &box_style;  // gone before the chooser opens
    table = std::make_unique<WM_TABLE>(0, 0, 599, 299, 3, 20, static_cast<int16_t>(cols.size()),
                                       cols.data(), filters, 1, table_test::OWNER::fill,
                                       reinterpret_cast<uintptr_t>(&owner), 0, styles);
    t = table.get();
    std::string name = "Mine";
    const WM_TABLE_COLUMN_SET sets[] = {{name.c_str(), 0b1}, {nullptr, 0b11}};
    table->set_column_sets(sets, 2);
    cols[0].title.set("changed");
    filter.assign("gone!!!!!");
    name.assign("gone too");
  }
  EXPECT_STREQ(table->get_column(0).title.get_text(), "Name");
  EXPECT_STREQ(header(0)->get_text(), "Name");
  EXPECT_NE(columns_item("Mine"), nullptr);
  // A line parts the sets from Change and Reset, none lies between them.
  EXPECT_EQ(columns_item("Mine"), t->columns_menu->get_popup()->get_item(3));
  EXPECT_EQ(columns_item("Unknown"), t->columns_menu->get_popup()->get_item(4));
  table->set_filter(0);
  EXPECT_EQ(label_text(), "Current Filter: Temporary");
  columns_item("Change")->fire_callback(false);
  ASSERT_NE(t->get_chooser(), nullptr);
  EXPECT_EQ(t->get_chooser()->get_check_box(0)->box->up_colour, 0xFFFFFF00u);
  table->set_column_sets(nullptr, 0);  // replaces the sets: none left
  EXPECT_EQ(columns_item("Mine"), nullptr);
}

TEST_F(Table, OptionsLeaveOutPartsAndTheLabelFollowsTheMenus) {
  const struct {
    uint8_t options;
    int16_t filters;
    bool selector, columns_menu, filters_menu, label;
  } cases[] = {
      {0, 3, true, true, true, true},
      {WM_TABLE::OPTION::NO_PAGE_SELECTOR, 3, false, true, false, true},
      {WM_TABLE::OPTION::NO_COLUMNS_MENU, 3, true, false, false, true},
      {WM_TABLE::OPTION::NO_FILTER_LABEL, 3, true, true, true, false},
      {0, 0, true, true, false, true},
      // Neither pager nor menus: no header bar, the body from the top.
      {WM_TABLE::OPTION::NO_PAGE_SELECTOR | WM_TABLE::OPTION::NO_COLUMNS_MENU | WM_TABLE::OPTION::NO_FILTER_LABEL, 3,
       false, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.options) * 10 + c.filters);
    make(c.options, 3, c.filters);
    EXPECT_EQ(table->page_selector != nullptr, c.selector);
    EXPECT_EQ(table->columns_menu != nullptr, c.columns_menu);
    EXPECT_EQ(table->filters_menu != nullptr, c.filters_menu);
    ASSERT_EQ(table->filter_label != nullptr, c.label);
    if (table->page_selector) {
      EXPECT_EQ(table->page_selector->x + table->page_selector->width, 600);
      // Each pager button says where it leads.
      for (auto [column, tip] : {std::pair{WM_RANGE_SELECTOR::FIRST, "Show first page."},
                                 {WM_RANGE_SELECTOR::PREVIOUS, "Show previous page."},
                                 {WM_RANGE_SELECTOR::NEXT, "Show next page."},
                                 {WM_RANGE_SELECTOR::LAST, "Show last page."}}) {
        const WM_SCRIPT* shown = table->page_selector->get_button(column)->tooltip;
        ASSERT_NE(shown, nullptr) << tip;
        EXPECT_STREQ(shown->text.get_text(PARAMETER::VALUE), tip);
      }
    }
    EXPECT_EQ(table->grid->y, table->get_header_height());
    EXPECT_EQ(table->get_header_height() == 0, !c.selector && !c.columns_menu);
    if (!c.label) continue;
    // After the "Filters" menu when there is one.
    int32_t after = table->columns_menu ? table->columns_menu->width + 5 : 0;
    if (table->filters_menu) after = table->filters_menu->x + table->filters_menu->width;
    EXPECT_EQ(table->filter_label->x, after + 5);
    // Wide enough for the longest filter name.
    if (c.filters > 0) {
      EXPECT_GE(table->filter_label->width,
                label.get_padded_text_width(get_screen_image(), "Current Filter: Gas giants"));
    }
  }
}

TEST_F(Table, BodyHeightLeavesRoomForTheTallerStyle) {
  WM_STYLE_SET small = wm_test::text_style(0, 0, 0, 12, 4);  // 12 + 8 + 5
  WM_STYLE_SET tall = wm_test::text_style(0, 0, 0, 20, 6);   // 20 + 12 + 5
  const struct {
    uint16_t h;
    const WM_STYLE_SET *a, *b;
    uint16_t expected;
  } cases[] = {{100, &small, nullptr, 75}, {100, &small, &tall, 63}, {100, nullptr, &tall, 63},
               {20, &tall, nullptr, 0},    {100, nullptr, nullptr, 100}};
  for (const auto& c : cases) EXPECT_EQ(WM_TABLE::get_body_height(c.h, c.a, c.b), c.expected);
}

TEST_F(Table, ChooserNeverOutlivesItsTableNorIsTouchedAfterItsEnd) {
  root.add_child(make(), false);
  table.release();  // owned by the root now
  columns_item("Change")->fire_callback(false);
  WM_FLAGS_SELECT* chooser = t->get_chooser();
  ASSERT_NE(chooser, nullptr);
  EXPECT_TRUE(WM_SCREEN_OBJECT::is_overlay(chooser));
  EXPECT_STREQ(chooser->get_text(), "Select Viewable Columns");
  EXPECT_EQ(chooser->get_flags(), 0b10111u);
  EXPECT_EQ(chooser->get_labelled_count(), 5);
  // A second "Change" while it is open opens no second chooser.
  columns_item("Change")->fire_callback(false);
  EXPECT_EQ(WM_SCREEN_OBJECT::overlays().size(), 1u);

  // The overlay list deletes it first: the table forgets it.
  root.remove_overlay(chooser, true, false);
  EXPECT_EQ(t->get_chooser(), nullptr);

  // The table deleted first takes its open chooser with it, and its open
  // menu.
  columns_item("Change")->fire_callback(false);
  ASSERT_NE(t->get_chooser(), nullptr);
  WM_MENU::menu_clicked(t->columns_menu, reinterpret_cast<uintptr_t>(t->columns_menu), 0);
  root.remove_child(t, true, false);
  for (WM_SCREEN_OBJECT* o : WM_SCREEN_OBJECT::overlays())
    EXPECT_FALSE(o->kind & wm_kind::FLAGS_SELECT);
}
