// Grids on the headless screen: column layout, cells placed and refused,
// a few thousand rows of mixed heights scrolled to any row, the focus kept
// in view by the arrow keys, the row under the pointer, row backgrounds,
// the Tab order through cells, and contents emptied and refilled while shown.
#include "wm_grid.h"

#include <gtest/gtest.h>
#include <X11/keysym.h>

#include <climits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "folder.h"
#include "input.h"
#include "input_driver.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "test_support.h"
#include "wm_button.h"
#include "wm_image.h"
#include "wm_manager.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_test_objects.h"

namespace {

using wm_test::BOX;
using wm_test::pixel;

// A selectable box that counts the cells alive and the updates it gets.
class CELL : public BOX {
public:
  explicit CELL(COLOUR c = 0xFF00FF00) : BOX(0, 0, 1, 1, c) {
    selectable = 1;
    ++alive;
  }
  ~CELL() override { --alive; }
  int32_t update(bool) override { return ++updates, 0; }
  int32_t process() override { return ++updates, BOX::process(); }
  static inline int alive = 0;
  int updates = 0;
};

class Grid : public wm_test::ToolkitTest {
protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    CELL::alive = 0;
  }
  void TearDown() override {
    grid.reset();
    EXPECT_EQ(CELL::alive, 0);
    ToolkitTest::TearDown();
  }
  // A grid over the whole 200 x 150 screen.
  void make(const WM_STYLE_SET& s, std::vector<int16_t> widths) {
    grid = std::make_unique<WM_GRID>(0, 0, 199, 149, static_cast<int16_t>(widths.size()), widths.data(), &s, nullptr);
  }
  void frame() {
    grid->process();
    grid->invalidate();
    wm_test::paint_table(grid.get());
  }
  // Ten rows of 20 pixels, one column, in a view of 50 without gaps.
  void make_ten_rows_in_a_short_view() {
    gapless = std::make_unique<WM_STYLE_SET>(wm_test::gapless_style());
    grid = std::make_unique<WM_GRID>(0, 0, 199, 49, 1, nullptr, gapless.get(), nullptr);
    grid->default_row_height = 20;
    for (int32_t r = 0; r < 10; ++r) grid->set_cell(0, r, new CELL);
    frame();
  }
  int first_cell_updates() {  // what row 0's first cell gets from one update and one process of the grid
    auto* cell = static_cast<CELL*>(grid->get_cell(0, 0));
    cell->updates = 0, grid->update(false), grid->process();
    return cell->updates;
  }
  bool focus_is(int32_t column, int32_t row) {
    return WM_SCREEN_OBJECT::focus_object == grid->get_cell(column, row);
  }
  // One line of all the grid shows of its scrolling: the scroll value and
  // maximum, the hover row, the focused cell, the bar and its slider, then
  // each row in view (~: only partly) with its span and its first cell.
  std::string view() const {
    auto n = [](int64_t v) { return std::to_string(v); };
    auto place = [&](const WM_SCREEN_OBJECT& o) { return " " + n(o.x) + "," + n(o.y) + " " + n(o.width) + "x" + n(o.height); };
    std::string o = "value " + n(grid->scroll.get_int(PARAMETER::VALUE)) + "/" + n(grid->scroll.get_int(PARAMETER::MAXIMUM)) +
                    " hover " + n(grid->hover_row);
    int32_t column = -1, row = -1, y1 = 0, y2 = 0;
    if (grid->find_focused_cell(&column, &row, true)) o += " focus " + n(column) + "," + n(row);
    if (const WM_SCROLLBAR* bar = grid->scrollbar.get())
      o += " bar" + place(*bar) + " slider " + n(bar->get_slider_start()) + "+" + n(bar->get_slider_extent());
    for (int32_t i = grid->first_visible_row; i <= grid->last_visible_row && grid->get_row_span(i, &y1, &y2); ++i) {
      o += " | " + n(i) + (grid->is_row_fully_visible(i) ? " " : "~ ") + n(y1) + ".." + n(y2);
      if (const WM_SCREEN_OBJECT* cell = grid->get_cell(0, i)) o += place(*cell);
    }
    return o + "\n";
  }
  std::string transcript;

  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_STYLE_SET> gapless;  // outlives the grid that points at it
  std::unique_ptr<WM_GRID> grid;
};

TEST_F(Grid, ColumnsShareTheWidthAndNeverGoNegative) {
  // The extents without and with the 15-pixel scroll bar, which keeps a
  // pixel clear beside it.
  const struct {
    std::vector<int16_t> widths;
    uint16_t spacing, grid_width;
    std::vector<int32_t> left, right, left_bar, right_bar;
  } rows[] = {
      {{-40, 1, 2}, 0, 200, {0, 40, 93}, {39, 92, 199}, {0, 40, 88}, {39, 87, 183}},
      {{1, 1}, 4, 200, {2, 102}, {97, 199}, {2, 94}, {89, 183}},
      {{1, -40}, 0, 200, {0, 160}, {159, 199}, {0, 145}, {144, 183}},
      {{1, 0, 1}, 4, 200, {2, 102, 102}, {97, 101, 199}, {2, 94, 94}, {89, 93, 183}},  // weight 0: no room
      {{0, 0}, 0, 200, {0, 0}, {-1, 199}, {0, 0}, {-1, 183}},  // no weights: no division
      // fixed columns wider than the grid
      {{-150, -150}, 0, 200, {0, 150}, {149, 199}, {0, 150}, {149, 183}},
      // the rest never narrower than nothing
      {{-150, 1}, 0, 100, {0, 150}, {149, 149}, {0, 150}, {149, 149}},
  };
  for (const auto& r : rows) {
    WM_STYLE_SET s = wm_test::gapless_style();
    s.x_spacing = r.spacing;
    grid = std::make_unique<WM_GRID>(0, 0, static_cast<int16_t>(r.grid_width - 1), 99,
                                     static_cast<int16_t>(r.widths.size()), r.widths.data(), &s,
                                     nullptr);
    grid->default_row_height = 10;
    for (size_t c = 0; c < r.widths.size(); ++c) {
      ASSERT_NE(grid->set_cell(static_cast<int32_t>(c), 0, new CELL), nullptr);
      int32_t left = 0, right = 0;
      grid->get_row(0)->get_cell_extent(static_cast<int32_t>(c), false, &left, nullptr, &right, nullptr);
      EXPECT_EQ(left, r.left[c]) << c;
      EXPECT_EQ(right, std::max(r.right[c], left - 1)) << c;
      EXPECT_EQ(grid->get_cell(static_cast<int32_t>(c), 0)->get_width(),
                static_cast<uint16_t>(std::max(right - left + 1, 0)));
      grid->get_row(0)->get_cell_extent(static_cast<int32_t>(c), true, &left, nullptr, &right, nullptr);
      EXPECT_EQ(std::pair(left, right), std::pair(r.left_bar[c], r.right_bar[c])) << c;
    }
  }
  std::vector<int16_t> parsed;
  EXPECT_TRUE(WM_GRID::parse_column_widths("10,20,-30", &parsed));
  EXPECT_EQ(parsed, (std::vector<int16_t>{10, 20, -30}));
  for (const char* bad : {"10,0,30", "", "a,b"}) {
    EXPECT_FALSE(WM_GRID::parse_column_widths(bad, &parsed)) << bad;
    EXPECT_TRUE(parsed.empty());
  }
}

TEST_F(Grid, CellsArePlacedReplacedAndRefused) {
  make(wm_test::gapless_style(), {1, 1});
  grid->default_row_height = 10;
  CELL* first = new CELL;
  EXPECT_EQ(grid->set_cell(1, 1023, first), first);
  EXPECT_EQ(grid->get_row_count(), 1024);
  EXPECT_EQ(grid->set_cell(1, 1023, first), first);  // already there: nothing happens
  EXPECT_EQ(CELL::alive, 1);
  CELL* second = new CELL;
  EXPECT_EQ(grid->set_cell(1, 1023, second), second);  // the old one is deleted
  EXPECT_EQ(CELL::alive, 1);
  CELL refused;
  for (const auto& [c, r] : {std::pair{0, 1024}, {0, -1}, {2, 0}}) EXPECT_EQ(grid->set_cell(c, r, &refused), nullptr);
  grid->row_limit = WM_GRID::NO_ROW_LIMIT;  // still no row beyond what positions reach
  EXPECT_EQ(grid->set_cell(0, INT32_MAX, &refused), nullptr);
  grid->row_limit = 1024;
  EXPECT_EQ(grid->get_row_count(), 1024);
  // A factory deletes the cell it made when the grid refuses it.
  static int destroyed = 0;
  WM_SCREEN_OBJECT::object_destroyed_hook = [](WM_SCREEN_OBJECT*, uintptr_t) { ++destroyed; };
  EXPECT_EQ(grid->add_text_cell(5, 0, "x", nullptr), nullptr);
  EXPECT_EQ(grid->add_text_cell(0, 5000, "x", nullptr), nullptr);
  EXPECT_EQ(grid->add_button_cell(2, 0, "x", nullptr, nullptr, 0, 0, 3), nullptr);
  EXPECT_EQ(grid->add_check_box_cell(0, -1, "x", nullptr, nullptr, 0, nullptr, 0, 0, 3), nullptr);
  EXPECT_EQ(grid->add_image_cell(0, 1024, "x", FOLDER(), nullptr, 0, 0, 0), nullptr);
  WM_SCREEN_OBJECT::object_destroyed_hook = nullptr;
  EXPECT_EQ(destroyed, 5);
  WM_SCRIPT* label = grid->add_text_cell(0, 3, "label", nullptr);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ((std::vector<int>{label->get_width(), label->get_height(), label->get_y()}), (std::vector<int>{100, 10, 30}));
  EXPECT_EQ(grid->find_object_at(99, 39), label);  // its last pixel; beside it no cell
  EXPECT_EQ(grid->find_object_at(100, 39), grid.get());
  EXPECT_EQ(grid->find_object_at(200, 39), nullptr);  // beside the grid
  // Taken out without being deleted, a cell is hidden and gives up the focus.
  WM_SCREEN_OBJECT::focus_object = label;
  grid->remove_child(label, false, false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
  EXPECT_TRUE(!label->visible && !grid->get_cell(0, 3));
  delete label;
  for (const auto& [first, last] : {std::pair{-1, 0}, {3, 1}, {5, 1024}}) grid->delete_rows(first, last);  // refused
  EXPECT_EQ(grid->get_row_count(), 1024);
  grid->delete_rows(0, 1022);
  EXPECT_EQ(grid->get_row_count(), 1);
  EXPECT_EQ(grid->get_cell(1, 0), second);
  // A corner not beyond the other makes the smallest grid.
  for (const auto& [x2, y2] : {std::pair{10, 60}, {60, 10}}) {
    const WM_GRID small(10, 10, x2, y2, 1, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::pair(small.width, small.height), (std::pair<uint16_t, uint16_t>(6, 6)));
  }
  // Rows reach as far as the content's coordinates: 65538 rows of 32767
  // pixels end at 2^31 - 2, and not one row more.
  make(wm_test::gapless_style(), {1});
  grid->row_limit = WM_GRID::NO_ROW_LIMIT;
  grid->default_row_height = 32767;
  EXPECT_EQ(grid->set_cell(0, 65538, &refused), nullptr);
  EXPECT_NE(grid->set_cell(0, 65537, new CELL), nullptr);
}

// A button, a check-box button (heard on the press: its last byte is the
// event mask) and a picture scaled to its cell, each clicked once.
TEST_F(Grid, FactoryCellsLandInTheirCellsAndClickBack) {
  test_support::ScratchDir dir;
  IMAGE picture(6, 3);
  const COLOUR teal = 0xFF008080;
  picture.clear(&teal, true);
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(picture.save_png(&png));
  ASSERT_TRUE(test_support::write_file(dir.file("icon.png"), png.text()));
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(dir.path().c_str()));
  make(wm_test::gapless_style(), {-40, 1});
  grid->default_row_height = 20;
  static uintptr_t heard = 0;
  WM_CALLBACK hear = [](WM_SCREEN_OBJECT*, uintptr_t w1, uintptr_t w2) {
    heard = heard * 100 + w1 * 10 + w2;
    return int32_t{0};
  };
  const COLOUR ink = 0xFF000000;
  const struct {
    WM_SCREEN_OBJECT* cell;
    int16_t x, y;
    uint16_t w, h;
    uintptr_t on_press, on_release;
  } rows[] = {
      {grid->add_button_cell(1, 0, "go", nullptr, hear, 1, 2, button_event::RELEASE), 40, 0, 160, 20, 0, 12},
      {grid->add_check_box_cell(1, 1, "box", &ink, nullptr, 0, hear, 3, 4, button_event::PRESS), 40, 20, 160, 20, 34, 34},
      {grid->add_image_cell(0, 2, "icon.png", folder, hear, 5, 6, image_click::ON_RELEASE), 0, 40, 40, 20, 0, 56},
  };
  const IMAGE& shown = static_cast<WM_IMAGE*>(rows[2].cell)->image;
  COLOUR centre = 0;
  shown.get_pixel(20, 10, &centre);
  EXPECT_EQ(std::pair(int{shown.width}, centre), std::pair(40, teal));
  for (const auto& r : rows) {
    ASSERT_NE(r.cell, nullptr) << r.on_release;
    EXPECT_EQ(RECT::sized(r.cell->x, r.cell->y, r.cell->width, r.cell->height), RECT::sized(r.x, r.y, r.w, r.h));
  }
  frame();  // the rows share the view's spare pixels from here on
  for (const auto& r : rows) {
    heard = 0;
    input.move_to(r.cell->x + r.cell->width / 2, r.cell->y + r.cell->height / 2);
    frame();
    input.press(1);
    frame();
    EXPECT_EQ(heard, r.on_press);
    input.release(1);
    frame();
    EXPECT_EQ(heard, r.on_release);
  }
}

// A cell's callback empties its grid or deletes it: the clicked cell (and
// its owner) go inside their own processing and nothing of them is touched
// afterwards (the sanitizer tree tells), the grid stays usable when kept.
TEST_F(Grid, ACellsCallbackMayEmptyOrDeleteItsGrid) {
  static WM_MANAGER* holder = nullptr;
  static WM_GRID* target = nullptr;
  static bool delete_grid = false;
  static int calls = 0;
  WM_CALLBACK away = [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) {
    ++calls;
    if (delete_grid) holder->remove_child(target, true, false);
    else target->clear(false);
    return int32_t{0};
  };
  const COLOUR ink = 0xFF000000;
  enum KIND { BUTTON, PRESSED_BUTTON, CHECK_BOX, IMAGE_CELL };
  for (const KIND kind : {BUTTON, PRESSED_BUTTON, CHECK_BOX, IMAGE_CELL}) {
    for (const bool deleting : {false, true}) {
      WM_MANAGER root;
      WM_STYLE_SET s = wm_test::gapless_style();
      auto* g = new WM_GRID(0, 0, 199, 149, 2, nullptr, &s, nullptr);
      g->default_row_height = 20;
      root.add_child(g, false);
      holder = &root;
      target = g;
      delete_grid = deleting;
      calls = 0;
      WM_SCREEN_OBJECT* cell = nullptr;
      switch (kind) {
        case BUTTON: cell = g->add_button_cell(0, 0, "go", nullptr, away, 0, 0, button_event::RELEASE); break;
        case PRESSED_BUTTON: cell = g->add_button_cell(0, 0, "go", nullptr, away, 0, 0, button_event::PRESS); break;
        case CHECK_BOX: cell = g->add_check_box_cell(0, 0, "box", &ink, nullptr, 0, away, 0, 0, button_event::RELEASE); break;
        case IMAGE_CELL:
          cell = g->set_cell(0, 0, new WM_IMAGE(0, 0, 10, 10, true, away, 0, 0, image_click::ON_RELEASE));
          break;
      }
      ASSERT_NE(cell, nullptr);
      g->set_cell(1, 0, new CELL);
      input.move_to(cell->x + cell->width / 2, cell->y + cell->height / 2);
      for (int step = 0; step < 4; ++step) {
        if (step == 1) input.press(1);
        if (step == 2) input.release(1);
        root.process();
        root.update(false);
      }
      EXPECT_EQ(calls, 1) << kind << deleting;
      EXPECT_EQ(root.child_count(), deleting ? 0 : 1) << kind;
      if (!deleting) {
        EXPECT_EQ(g->get_row_count(), 0) << kind;
      }
      EXPECT_EQ(CELL::alive, 0) << kind << deleting;
    }
  }
}

// Ten rows of 20 pixels in a 50-pixel view: the scroll keys step by the
// line and page rules from where the view stands, scroll_to_row puts a row
// in the place of the last (or first) visible one, and a cell whose middle
// reaches the view's last line gets no input.
TEST_F(Grid, ScrollKeysStepByTheLineAndPageRules) {
  make_ten_rows_in_a_short_view();
  ASSERT_NE(grid->scrollbar, nullptr);
  // The search for a cell stops at the edges; from left of the first
  // column it enters the row (found: the row of the cell, -1 none).
  using D = WM_GRID::DIRECTION;
  for (const auto& [d, column, row, found] : {std::tuple{D::DOWN, 0, 9, -1}, {D::LEFT, 0, 0, -1}, {D::DOWN, 0, 0, 1}, {D::RIGHT, -1, 0, 0}})
    EXPECT_EQ(grid->next_cell(d, column, row, nullptr, nullptr, false), found < 0 ? nullptr : grid->get_cell(0, found)) << row;
  const int32_t maximum = grid->scroll.get_int(PARAMETER::MAXIMUM);
  ASSERT_EQ(maximum, 150);
  auto stand_at = [&](int32_t offset) {
    grid->scroll.set_int(PARAMETER::VALUE, grid->scroll.get_int(PARAMETER::MAXIMUM) - offset);
    grid->apply_scroll();
  };
  auto step = [&](int32_t from, uint32_t key, int32_t to) {
    stand_at(from);
    input.key(key);
    frame();
    EXPECT_EQ(grid->get_scroll_offset(), to) << key << " from " << from;
    transcript += std::to_string(key) + " from " + std::to_string(from) + ": " + view();
  };
  input.move_to(50, 25);  // the grid's bar becomes the scroll target
  const struct {
    uint32_t key;
    bool control;
    int32_t from, to;
  } steps[] = {
      {XK_Up, false, 100, 80},         {XK_Up, false, 105, 100},       {XK_Up, false, 0, 0},
      {XK_Down, false, 10, 20},        {XK_Down, false, 100, 120},     {XK_Page_Up, false, 100, 40},
      {XK_Page_Up, false, 30, 0},      {XK_Page_Up, false, 10, 0},     {XK_Page_Down, false, 10, 40},
      {XK_Page_Down, false, 0, 40},    {XK_Page_Down, false, 145, 150}, {XK_Up, true, 100, 40},
      {XK_Down, true, 10, 40},
  };
  for (const auto& st : steps) {
    wm_test::held_keys = st.control ? std::set<uint32_t>{0xFFE3} : std::set<uint32_t>{};
    step(st.from, st.key, st.to);
  }
  wm_test::held_keys.clear();
  stand_at(11);  // row 3 starts on the view's last line: it is in view
  EXPECT_EQ(std::pair(grid->first_visible_row, grid->last_visible_row), std::pair(0, 3));
  // Steps set on the grid replace the rules: a line of 7, a page of 33.
  grid->line_step = 7;
  grid->page_step = 33;
  for (const auto& [key, to] : {std::pair{XK_Up, 93}, {XK_Page_Down, 133}}) step(100, key, to);
  grid->line_step = grid->page_step = 0;

  // The row where the last whole (or first) visible row was; a view standing
  // part of a row down shows the row from its top.
  const struct {
    int32_t from, row, to;
  } rows[] = {{0, 5, 80}, {10, 5, 70}, {80, 1, 20}, {45, 0, 0}, {0, 9, 150}, {0, 1, 0}};
  for (const auto& r : rows) {
    stand_at(r.from);
    grid->scroll_to_row(r.row);
    EXPECT_EQ(grid->get_scroll_offset(), r.to) << r.row << " from " << r.from;
    EXPECT_TRUE(grid->is_row_fully_visible(r.row)) << r.row;
    EXPECT_EQ(grid->find_object_at(10, 49), grid->get_cell(0, (r.to + 49) / 20)) << "the view's last line";
    transcript += "row " + std::to_string(r.row) + " from " + std::to_string(r.from) + ": " + view();
  }

  // Processing stops at cells whose middle reaches the last line, 49.
  struct COUNTING : CELL {
    int32_t process() override {
      ++processed;
      return CELL::process();
    }
    int processed = 0;
  };
  auto* low = new COUNTING;
  grid->set_cell(0, 2, low);
  for (const auto& [offset, reached] : {std::pair{0, false}, {1, false}, {2, true}}) {
    stand_at(offset);
    low->processed = 0;
    frame();
    EXPECT_EQ(low->processed > 0, reached) << "middle at " << 50 - offset;
  }
  // So do cells as tall as the view; a taller one, standing as low, is reached.
  auto* tall = new COUNTING;
  auto* taller = new COUNTING;
  for (auto [row, cell] : {std::pair{10, tall}, {11, taller}}) {
    grid->default_row_height = 40 + row;
    grid->set_cell(0, row, cell);
  }
  for (const auto& [cell, offset] : {std::pair{tall, 175}, {taller, 225}}) {
    stand_at(offset);
    ASSERT_EQ(cell->get_y(), 25);
    cell->processed = 0;
    frame();
    EXPECT_EQ(cell->processed > 0, cell == taller) << cell->get_height();
  }
  // Within a row as tall as the view, the next one taller, a page key
  // moves a line: down to the next row's top, up to the row's top, and from
  // there to the row before's.
  for (const auto& [from, key, to] :
       {std::tuple{210, XK_Page_Down, 250}, {210, XK_Page_Up, 200}, {200, XK_Page_Up, 180}})
    step(from, key, to);
  // In a view of 60, a page up from row 5 shows rows 2 to 4: row 2 ends
  // exactly a view height above row 5's end.
  grid->set_size(200, 60, false);
  frame();  // the bar made again
  step(100, XK_Page_Up, 40);
  EXPECT_TRUE(test_support::text_matches_reference("core4", "grid_scroll_steps", transcript));
  // Left with one row, taller than the view, the view scrolls to its top.
  grid->delete_rows(0, 10);
  grid->set_size(200, 50, false);
  frame();
  stand_at(0);
  grid->scroll_to_row(0);
  EXPECT_EQ(grid->get_scroll_offset(), 0);
}

// Home, End and the page keys take the focused row along: to the first
// row, the last, or as many rows on as the view shows whole (two of 20
// pixels in a view of 50), and the view shows the focused row whole. A row
// that takes no focus passes it on to the nearest one back.
TEST_F(Grid, HomeEndAndPageKeysTakeTheFocusAlong) {
  make_ten_rows_in_a_short_view();
  input.move_to(50, 25);  // the grid's bar becomes the scroll target
  const struct {
    int32_t focus;  // the view shows it whole first
    uint32_t key;
    int32_t no_focus;  // a row whose cell takes no focus; -1 none
    int32_t focused;   // the rows then wholly in view are in the transcript
    int32_t offset = -1;  // where the view then stands; -1: where the focus put it
  } steps[] = {
      {0, XK_End, -1, 9},       {9, XK_Home, -1, 0},  {0, XK_Page_Down, -1, 2}, {1, XK_Page_Down, -1, 3},
      {3, XK_Page_Up, -1, 1},   {8, XK_Page_Down, -1, 9}, {1, XK_Page_Up, -1, 0}, {9, XK_Home, 0, 1},
      {0, XK_End, 9, 8},        {2, XK_Page_Down, 4, 3},
      {1, XK_Page_Down, -1, 3, 10},  // the view's last row ends with it
      {0, XK_Home, 0, 1},  // the focused row itself stopped taking the focus
  };
  for (const auto& st : steps) {
    SCOPED_TRACE(testing::Message() << "key " << st.key << " from row " << st.focus);
    for (int32_t r = 0; r < 10; ++r) grid->get_cell(0, r)->selectable = r != st.no_focus || r == st.focus;
    grid->focus_cell(0, st.focus);
    grid->get_cell(0, st.focus)->selectable = st.focus != st.no_focus;
    if (st.offset >= 0) {
      grid->scroll.set_int(PARAMETER::VALUE, grid->scroll.get_int(PARAMETER::MAXIMUM) - st.offset);
      grid->apply_scroll();
    }
    frame();
    input.key(st.key);
    frame();
    EXPECT_TRUE(focus_is(0, st.focused));
    transcript += std::to_string(st.key) + " from row " + std::to_string(st.focus) + ": " + view();
  }
  EXPECT_TRUE(test_support::text_matches_reference("core4", "grid_focus_keys", transcript));
}

// 3000 rows of 12 to 30 pixels, two selectable cells each.
class BigGrid : public Grid {
protected:
  static constexpr int32_t kRows = 3000;
  void SetUp() override {
    Grid::SetUp();
    WM_STYLE_SET s = wm_test::gapless_style();
    s.y_spacing = 1;
    s.mouse_over_colour = 0xFF808000;
    make(s, {1, 1});
    grid->row_limit = WM_GRID::NO_ROW_LIMIT;
    grid->keyboard_navigation = 1;
    for (int32_t r = 0; r < kRows; ++r) {
      grid->default_row_height = 12 + (r * 7) % 19;
      grid->set_cell(0, r, new CELL);
      grid->set_cell(1, r, new CELL);
    }
    frame();
  }
};

TEST_F(BigGrid, ScrollsToAnyRow) {
  transcript = "first: " + view();  // the bar shown, the view at the top
  for (int32_t row : {2999, 0, 1500, 1501, 1499, 2, 2998, 1234, 7}) {
    grid->scroll_to_row(row);
    frame();
    transcript += "row " + std::to_string(row) + ": " + view();  // shown whole, its cell where it starts
    int32_t y1 = 0, y2 = 0;
    ASSERT_TRUE(grid->get_row_span(row, &y1, &y2));
    EXPECT_EQ(pixel(10, static_cast<int16_t>(y1)), 0xFF00FF00u) << row;
  }
  EXPECT_TRUE(test_support::text_matches_reference("core4", "grid_any_row", transcript));
}

TEST_F(BigGrid, ArrowKeysKeepTheFocusCellInView) {
  grid->get_cell(0, 0)->set_focus();
  // Down column 0 to row 59, right twice (the second at the last cell of the
  // row: the key is taken, the focus stays), then up column 1 to row 0.
  for (const auto& [key, column, first, step] : {std::tuple{XK_Down, 0, 1, 1}, {XK_Right, 1, 59, 0}, {XK_Up, 1, 58, -1}}) {
    for (int32_t row = first, press = 0; press < (step ? 59 : 2); row += step, ++press) {
      input.key(key);
      frame();
      ASSERT_TRUE(focus_is(column, row) && key_queue.peek_last_key() == 0u) << row;
      EXPECT_TRUE(grid->is_row_fully_visible(row)) << row;
    }
  }
  // Scrolling the view away takes the focus along into the view.
  input.key(XK_End);  // the grid's bar is the scroll target
  frame();
  EXPECT_TRUE(grid->is_row_fully_visible(kRows - 1));
  int32_t column = -1, row = -1;
  ASSERT_TRUE(grid->find_focused_cell(&column, &row, true));
  EXPECT_EQ(column, 1);
  EXPECT_TRUE(grid->is_row_fully_visible(row)) << row;
  // Page keys and the wheel move the view and never stall.
  input.key(XK_Home);
  frame();
  int32_t last_first = grid->first_visible_row;
  for (int i = 0; i < 20; ++i) {
    input.key(XK_Page_Down);
    frame();
    EXPECT_GT(grid->first_visible_row, last_first);
    last_first = grid->first_visible_row;
  }
  input.turn_wheel(-10);
  frame();
  EXPECT_GT(grid->first_visible_row, last_first);
  // A notch of the wheel that moves the focused edge row out of view gives
  // the focus to the row now wholly in view at that edge.
  auto whole_edge = [&](bool bottom) {
    int32_t edge = -1;
    for (int32_t r = grid->first_visible_row; r <= grid->last_visible_row; ++r)
      if (grid->is_row_fully_visible(r) && (bottom || edge < 0)) edge = r;
    return edge;
  };
  // A focused cell out of view takes no arrow key.
  grid->get_cell(0, 2500)->set_focus();
  input.key(XK_Right);
  frame();
  EXPECT_TRUE(focus_is(0, 2500));
  input.move_to(50, 50);
  for (const int32_t start : {1500, 1501, 1502, 1503}) {
    for (const int notch : {1, -1}) {
      grid->scroll_to_row(start);
      frame();
      grid->get_cell(1, whole_edge(notch > 0))->set_focus();
      input.turn_wheel(notch);
      frame();
      EXPECT_TRUE(focus_is(1, whole_edge(notch > 0))) << start << " " << notch;
    }
  }
}

TEST_F(BigGrid, TheHoverRowFollowsThePointer) {
  grid->scroll_to_row(1700);
  frame();
  for (int32_t row = grid->first_visible_row + 1; row < grid->last_visible_row; ++row) {
    int32_t y1 = 0, y2 = 0;
    grid->get_row_span(row, &y1, &y2);
    for (int32_t py : {y1, y2}) {
      input.move_to(50, py);
      frame();
      EXPECT_EQ(grid->hover_row, row) << py;
      EXPECT_EQ(pixel(150, static_cast<int16_t>(py)), 0xFF00FF00u);
    }
  }
  input.move_to(50, 149);  // the last pixel row: the partly shown row under it
  frame();
  EXPECT_EQ(std::pair(grid->hover_row, grid->is_row_fully_visible(grid->hover_row)), std::pair(grid->last_visible_row, false));
  input.move_to(250, 50);  // off the screen
  frame();
  EXPECT_EQ(grid->hover_row, -1);
}

TEST_F(Grid, RowBackgroundsShowSelectionHoverAndTwoTone) {
  // Row lines fill every row, the cells look every cell; the whole-grid look
  // fills the grid once and then marks only selected rows.
  const COLOUR grey = 0xFF808080;
  for (const uint32_t look : {uint32_t{SSEF_GRID_TYPE_LINES}, uint32_t{SSEF_GRID_TYPE_CELLS}, 0u}) {
    SCOPED_TRACE(look);
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &grey);
    WM_STYLE_SET s = wm_test::gapless_style();
    s.cell_left_gap = 2, s.shading_flags = border_flag::ALL_SIDES;  // square; the cells look leaves the gap unfilled
    s.extended_flags = look | SSEF_GRID_TWO_TONE;
    s.bg_colour = 0xFF6464C8;
    s.highlight_colour = 0xFFC80000;
    s.mouse_over_colour = 0xFF00C800;
    s.grid_two_tone_value = 250;  // more than 100 darkens fully, never brightens
    make(s, {1});
    grid->default_row_height = 20;
    for (int32_t r = 0; r < 5; ++r) grid->add_script_cell(0, r, nullptr, nullptr, nullptr, 0);
    grid->get_row(2)->selected = 1;
    input.move_to(5, 95);  // row 4
    frame();
    // 5 rows of 20 and 2 empty rows share the 150 pixels: 10 spare pixels
    // make the first three rows 22 high and the others 21. Odd rows are
    // black, row 2 is marked, row 4 takes the hover look (with lines only).
    EXPECT_TRUE(test_support::picture_matches_reference("core4", look == SSEF_GRID_TYPE_LINES ? "grid_row_lines" : look ? "grid_cells_look" : "grid_marked_rows", *get_screen_image()));
    EXPECT_EQ(grid->hover_row, 4);
    input.move_to(5, 5);  // the first row takes the hover look too
    frame();
    EXPECT_EQ(pixel(100, 5), look ? s.mouse_over_colour : s.bg_colour);
    grid->get_row(0)->selected = 1;
    EXPECT_EQ(grid->get_selected_rows(), (std::vector<int32_t>{0, 2}));
    grid->hide(false, true);  // hidden: no row is under the pointer, no action
    EXPECT_EQ(grid->update(false), 0);
    const int32_t answer = grid->process();
    EXPECT_EQ(std::pair(answer, grid->hover_row), std::pair(0, -1));
    EXPECT_EQ((std::vector<int>{grid->get_cell(0, 1)->get_y(), grid->get_cell(0, 1)->get_height()}), (std::vector<int>{22, 22}));
  }
  // Emptied, with no row height and no spacing, lines draw nothing at all.
  grid->style.extended_flags = SSEF_GRID_TYPE_LINES;
  grid->clear(false);
  get_screen_image()->fill_rect_solid(0, 0, 199, 149, &grey);
  frame();
  EXPECT_EQ(pixel(100, 70), grey);
  EXPECT_EQ(grid->scrollbar, nullptr);
  // With 2 between rows, one empty row fits below five: the 5 gaps leave
  // 20 spare pixels, 3 for each of the 6 and 1 more for rows 0 and 1.
  WM_STYLE_SET spaced = wm_test::gapless_style();
  spaced.y_spacing = 2;
  make(spaced, {1});
  grid->default_row_height = 20;
  for (int32_t r = 0; r < 5; ++r) grid->add_script_cell(0, r, nullptr, nullptr, nullptr, 0);
  frame();
  EXPECT_EQ((std::vector<int>{grid->get_cell(0, 3)->get_y(), grid->get_cell(0, 2)->get_height()}), (std::vector<int>{77, 23}));
}

TEST_F(Grid, AFixedTopRowStaysAboveTheScrolledRowsAndBesideTheBar) {
  WM_STYLE_SET s = wm_test::gapless_style();
  s.extended_flags = SSEF_GRID_FIX_TOP_ROW;
  s.mouse_over_colour = 0xFF808000;
  make(s, {1});
  grid->default_row_height = 30;
  for (int32_t r = 0; r < 20; ++r) grid->set_cell(0, r, new CELL(r == 0 ? 0xFFFF0000 : 0xFF00FF00));
  input.move_to(10, 10);  // over row 0, which takes the pointer wherever the view stands
  frame();
  ASSERT_NE(grid->scrollbar, nullptr);
  EXPECT_EQ(grid->scrollbar->get_y(), 30);                // the bar starts below row 0,
  EXPECT_EQ(grid->get_cell(0, 0)->get_width(), 200);      // which spans its column
  EXPECT_LT(grid->get_cell(0, 1)->get_width(), 200);
  EXPECT_EQ(first_cell_updates(), 2);  // once each, also while it is the first row in view
  for (int32_t row : {5, 10, 1, 19}) {  // 5: scrolled by exactly one row
    grid->scroll_to_row(row);
    frame();
    EXPECT_EQ(first_cell_updates(), 2) << row;
    EXPECT_EQ(std::pair(grid->is_row_fully_visible(row), grid->is_row_fully_visible(20)), std::pair(true, false)) << row;
    EXPECT_EQ(grid->get_cell(0, 0)->get_y(), 0) << row;
    EXPECT_EQ(grid->hover_row, 0) << row;
    EXPECT_GE(grid->get_cell(0, row)->get_y(), 30) << row;
    EXPECT_EQ(pixel(10, 29), 0xFFFF0000u) << row;  // row 0 painted where it stays
    EXPECT_EQ(pixel(10, 30), 0xFF00FF00u) << row;
  }
  EXPECT_EQ(grid->get_cell(0, 19)->get_y(), 120);  // reached the bottom: 20 x 30 - 150 + 0
  // With a fixed number of rows per page the view sets the row height.
  grid->rows_per_page = 4;
  grid->set_size(200, 103, false);
  EXPECT_EQ((std::vector<int>{grid->default_row_height, grid->get_row(7)->height}), (std::vector<int>{25, 25}));
}

TEST_F(Grid, TabWalksTheCellsInViewRowByRow) {
  for (const uint32_t flags : {0u, uint32_t{SSEF_GRID_FIX_TOP_ROW}}) {
    WM_STYLE_SET s = wm_test::gapless_style();
    s.extended_flags = flags;
    auto manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    static WM_STYLE_SET* page_style = nullptr;
    page_style = &s;
    manager->set_page(
        0,
        [](WM_PAGE_MANAGER* m) {
          const int16_t widths[] = {1, 1};
          auto* g = new WM_GRID(0, 0, 199, 99, 2, widths, page_style, nullptr);
          g->default_row_height = 40;
          for (int32_t r = 0; r < 6; ++r) {
            g->set_cell(0, r, new CELL);
            if (r != 1) g->set_cell(1, r, new CELL);
          }
          m->current_root()->add_child(g, false);
        },
        nullptr, 0, nullptr, 0, 0, nullptr);
    manager->frame(false);
    auto* g = static_cast<WM_GRID*>(manager->area(0).root.get_child(0));
    // Rows 0 and 1 lie wholly in the 100-pixel view; row 2 only partly.
    const std::pair<int32_t, int32_t> order[] = {{0, 0}, {1, 0}, {0, 1}, {0, 0}};
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, g->get_cell(0, 0));
    for (size_t i = 1; i < std::size(order); ++i) {
      input.key(XK_Tab);
      manager->frame(false);
      EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, g->get_cell(order[i].first, order[i].second)) << i;
    }
    // Back from the first cell to the last in view, a fixed top row or not.
    wm_test::held_keys = {0xFFE1};
    input.key(XK_Tab);
    manager->frame(false);
    wm_test::held_keys.clear();
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, g->get_cell(0, 1)) << flags;
    manager.reset();
    EXPECT_EQ(CELL::alive, 0);
  }
}

// A cell whose input empties and refills the grid it sits in, with another
// such cell beside the first row's.
class REFILLING_CELL : public CELL {
public:
  explicit REFILLING_CELL(WM_GRID* g) : owner(g) {}
  int32_t process() override {
    WM_GRID* g = owner;
    ++refills;
    g->clear(true);
    g->default_row_height = 10;
    for (int32_t r = 0; r < 3; ++r) g->set_cell(0, r, new CELL);
    g->set_cell(1, 0, new REFILLING_CELL(g));
    return 0;  // this cell is gone: nothing of it is touched
  }
  WM_GRID* owner;
  static inline int refills = 0;
};

// One notch of the wheel over a scrolling list moves it by a whole row.
TEST_F(Grid, OneWheelNotchMovesTheListByARow) {
  WM_STYLE_SET s = wm_test::gapless_style();
  s.y_spacing = 1;
  make(s, {1});
  grid->default_row_height = 20;
  for (int32_t r = 0; r < 40; ++r) grid->set_cell(0, r, new CELL);
  frame();
  input.move_to(50, 50);
  for (const auto& [notch, first_row] : {std::pair{-1, 1}, {-1, 2}, {1, 1}}) {
    input.turn_wheel(notch);
    frame();
    EXPECT_EQ(std::pair(grid->first_visible_row, grid->get_scroll_offset()), std::pair(first_row, first_row * 21));
    EXPECT_EQ(first_cell_updates(), 0);  // scrolled out of view
  }
  // A row made 30 pixels taller makes the scroll range 30 longer.
  const int32_t range = grid->scroll.get_int(PARAMETER::MAXIMUM);
  grid->set_row_height(39, 50);
  EXPECT_EQ(grid->scroll.get_int(PARAMETER::MAXIMUM), range + 30);
  // Down to rows that fit, the bar goes and the cells take the whole width.
  grid->delete_rows(5, 39);
  frame();
  EXPECT_EQ(grid->scrollbar, nullptr);
  EXPECT_EQ(grid->get_cell(0, 0)->get_width(), 200);
  // Rows that fill the view to its last line need no bar; one pixel more does.
  for (const auto& [last_height, bar] : {std::pair{66, false}, {67, true}}) {
    grid->set_row_height(4, last_height);
    frame();
    EXPECT_EQ(grid->scrollbar != nullptr, bar) << last_height;
  }
  // Without a default row height a notch moves the list by a pixel.
  make(wm_test::gapless_style(), {1});
  grid->default_row_height = 0;
  grid->set_cell(0, 0, new CELL);
  EXPECT_EQ(grid->get_row(0)->height, 2);  // a row is never less than 2 high
  for (int32_t r = 0; r < 40; ++r) {
    grid->set_cell(0, r, new CELL);
    grid->set_row_height(r, 10);
  }
  frame();
  input.turn_wheel(-1);
  frame();
  EXPECT_EQ(grid->get_scroll_offset(), 1);
}

TEST_F(Grid, ContentsEmptiedAndRefilledWhileShown) {
  make(wm_test::gapless_style(), {1, 1});
  grid->row_limit = WM_GRID::NO_ROW_LIMIT;
  for (int round = 0; round < 3; ++round) {
    grid->default_row_height = 7 + round;
    grid->set_column_widths(2, nullptr);  // emptied without its columns below
    for (int32_t r = 0; r < 200; ++r) ASSERT_NE(grid->set_cell(r % 2, r, new CELL), nullptr);
    frame();
    grid->scroll_to_row(150);
    frame();
    grid->delete_rows(10, 160);
    frame();
    grid->relayout_rows(0, 5);  // rows 0 to 5 emptied, to the last
    EXPECT_EQ(grid->get_cell(1, 5), nullptr);
    EXPECT_NE(grid->get_cell(0, 6), nullptr);
    frame();
    grid->set_size(150, 100, false);
    frame();
    grid->clear(round == 1);
    EXPECT_EQ(grid->scroll.get_int(PARAMETER::VALUE), 0);
    EXPECT_EQ(grid->scroll.get_int(PARAMETER::MAXIMUM), 0);
    frame();
    EXPECT_EQ(CELL::alive, 0);
  }
  grid->default_row_height = 10;
  grid->set_column_widths(2, nullptr);
  grid->set_cell(0, 0, new REFILLING_CELL(grid.get()));
  grid->set_cell(1, 0, new CELL);
  frame();
  EXPECT_EQ(grid->get_row_count(), 3);
  EXPECT_EQ(CELL::alive, 4);
  EXPECT_EQ(REFILLING_CELL::refills, 1);  // the new contents wait for the next frame
}

}  // namespace

TEST_F(Grid, ConfigureBuildsAFreshStyleFromItsOverrides) {
  using OPTION = WM_GRID::SETUP_OPTION;
  const COLOUR blue = 0xFF0000FF;
  const int16_t widths[] = {-30, 1};
  const uint32_t bordered = static_cast<uint32_t>(get_border_width(1) + 1);  // unset gap, border on
  const struct {
    WM_GRID::SETUP setup;
    // drawing and extended flags, background, border left and top, cell top
    // gaps, y spacing, the bar's slider length
    std::vector<uint32_t> style;
  } rows[] = {
      {{}, {0, 0, 0xFF000000, 1, 1, 0, 1, 10}},
      {{2, widths, 12, &blue, WM_GRID::LINES::BETWEEN_ROWS,
        OPTION::OUTSTANDING_BORDER | OPTION::FIX_TOP_ROW, 25, 255,
        -1, -1, 4, -1, -1, -1, -1, -1, 2, -1, WM_STYLE_SET::UNSET, 0},
       {SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER,
        SSEF_GRID_TYPE_LINES | SSEF_GRID_FIX_TOP_ROW, blue, 4, bordered, 2, 0, 25}},
      {{1, nullptr, 0, nullptr, WM_GRID::LINES::AROUND_CELLS,
        OPTION::DARKENED_BACKGROUND | OPTION::INDENT_BORDER | OPTION::TWO_TONE | OPTION::DONT_RESIZE_IMAGE},
       {SSF_DARKENED_BACKGROUND | SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_DONT_RESIZE_IMAGE,
        SSEF_GRID_TYPE_CELLS | SSEF_GRID_TWO_TONE, 0xFF000000, bordered, bordered, 0, 1, 10}},
  };
  make(wm_test::gapless_style(), {1});
  for (const auto& r : rows) {
    grid->default_row_height = 10;
    ASSERT_NE(grid->set_cell(0, 3, new CELL), nullptr);
    grid->configure(10, 20, 109, 69, r.setup);
    EXPECT_EQ(CELL::alive, 0);  // emptied first
    EXPECT_EQ(grid->get_row_count(), 0);
    const WM_STYLE_SET& s = grid->style;
    EXPECT_EQ((std::vector<uint32_t>{s.drawing_flags, s.extended_flags, s.bg_colour,
                                     s.border_left_gap, s.border_top_gap, s.cell_top_gap,
                                     s.y_spacing, grid->scrollbar_style.scrollbar_slider_width}),
              r.style);
    EXPECT_EQ(s.shading_flags, border_flag::ALL_SIDES);
    EXPECT_EQ((std::vector<int32_t>{grid->x, grid->y, grid->width, grid->height,
                                    grid->default_row_height,
                                    static_cast<int32_t>(grid->column_widths.size())}),
              (std::vector<int32_t>{10, 20, 100, 50, r.setup.row_height, r.setup.columns}));
  }
}
