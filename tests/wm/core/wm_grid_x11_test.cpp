// A grid of a few thousand rows of mixed heights in a real window driven
// by XTEST events: its bar's slider and the wheel scroll it to far rows,
// the arrow keys keep the focus cell in view, and the hovered row follows
// the real pointer.
#include "wm_grid.h"

#include <gtest/gtest.h>
#include <X11/keysym.h>

#include <memory>

#include "wm_test_objects.h"
#include "wm_x11_fixture.h"

namespace {

constexpr COLOUR kCell = 0xFF00FF00;

// 3000 rows of 12 to 30 pixels at (20, 20)-(219, 169), two selectable
// cells each.
class GridX11 : public wm_test::PointerX11 {
protected:
  static constexpr int32_t kRows = 3000;
  GridX11() : PointerX11("Grid test", 400, 300) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    WM_SCREEN_OBJECT::focus_object = nullptr;
    WM_STYLE_SET s = wm_test::gapless_style();
    s.y_spacing = 1;
    s.mouse_over_colour = 0xFF808000;
    const int16_t widths[2] = {1, 1};
    grid = std::make_unique<WM_GRID>(20, 20, 219, 169, 2, widths, &s, nullptr);
    grid->row_limit = WM_GRID::NO_ROW_LIMIT;
    grid->keyboard_navigation = 1;
    for (int32_t r = 0; r < kRows; ++r) {
      grid->default_row_height = static_cast<int16_t>(12 + (r * 7) % 19);
      for (int16_t column = 0; column < 2; ++column) {
        auto* cell = new wm_test::BOX(0, 0, 1, 1, kCell);
        cell->selectable = 1;
        grid->set_cell(column, r, cell);
      }
    }
    frame = [this] {
      grid->process();
      grid->invalidate();
      wm_test::paint_table(grid.get());
    };
    frame();
  }
  void TearDown() override {
    frame = nullptr;
    grid.reset();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    PointerX11::TearDown();
  }
  bool focus_is(int32_t column, int32_t row) {
    return WM_SCREEN_OBJECT::focus_object == grid->get_cell(column, row);
  }
  // The row's first pixel shows its cell where the row says it is.
  void expect_row_drawn(int32_t row) {
    int32_t y1 = 0, y2 = 0;
    ASSERT_TRUE(grid->get_row_span(row, &y1, &y2)) << row;
    EXPECT_EQ(grid->get_cell(0, row)->get_y(), y1) << row;
    EXPECT_EQ(wm_test::pixel(30, static_cast<int16_t>(y1)), kCell) << row;
  }

  std::unique_ptr<WM_GRID> grid;
};

TEST_F(GridX11, ScrollsToFarRowsByItsBarAndTheWheel) {
  ASSERT_NE(grid->scrollbar, nullptr);
  WM_SCROLLBAR& bar = *grid->scrollbar;
  EXPECT_EQ(grid->first_visible_row, 0);
  // The slider dragged down past the bar's end shows the last row.
  const int bar_x = bar.x + bar.width / 2;
  move_to(bar_x, bar.get_slider_start() + bar.get_slider_extent() / 2);
  press();
  move(bar_x, bar.y + bar.height + 40);
  ASSERT_TRUE(frames_until([&] { return grid->is_row_fully_visible(kRows - 1); }))
      << grid->first_visible_row;
  release();
  EXPECT_EQ(grid->scroll.get_int(PARAMETER::VALUE), 0);
  expect_row_drawn(grid->last_visible_row);

  // Halfway up the track lands among the middle rows.
  move_to(bar_x, bar.get_slider_start() + bar.get_slider_extent() / 2);
  press();
  move(bar_x, bar.get_slider_start() + bar.get_slider_extent() / 2 -
                  (bar.height - bar.get_slider_extent()) / 2);
  ASSERT_TRUE(frames_until([&] {
    return grid->first_visible_row > kRows / 3 && grid->last_visible_row < kRows * 2 / 3;
  })) << grid->first_visible_row;
  release();
  expect_row_drawn(grid->first_visible_row + 1);

  // Wheel notches over the grid scroll up, then down, a step at a time.
  move_to(100, 90);
  const int32_t middle = grid->first_visible_row;
  for (int notch = 0; notch < 5; ++notch) {
    button(true, 4);
    button(false, 4);
  }
  ASSERT_TRUE(frames_until([&] { return grid->first_visible_row < middle; }));
  ASSERT_TRUE(frames_until([&] { return mouse.wheel == 0; }));
  const int32_t up = grid->first_visible_row;
  EXPECT_GT(up, middle - 30);
  for (int notch = 0; notch < 10; ++notch) {
    button(true, 5);
    button(false, 5);
  }
  ASSERT_TRUE(frames_until([&] { return grid->first_visible_row > middle; }));
  expect_row_drawn(grid->first_visible_row + 1);
}

TEST_F(GridX11, ArrowKeysKeepTheFocusCellInView) {
  grid->get_cell(0, 0)->set_focus();
  for (int32_t row = 1; row < 40; ++row) {
    tap(XK_Down);
    ASSERT_TRUE(frames_until([&] { return focus_is(0, row); })) << row;
    EXPECT_TRUE(grid->is_row_fully_visible(row)) << row;
  }
  EXPECT_GT(grid->first_visible_row, 0);
  tap(XK_Right);
  ASSERT_TRUE(frames_until([&] { return focus_is(1, 39); }));
  for (int32_t row = 38; row >= 0; --row) {
    tap(XK_Up);
    ASSERT_TRUE(frames_until([&] { return focus_is(1, row); })) << row;
    EXPECT_TRUE(grid->is_row_fully_visible(row)) << row;
  }
  // End scrolls the view to the last row and takes the focus along.
  tap(XK_End);
  ASSERT_TRUE(frames_until([&] { return grid->is_row_fully_visible(kRows - 1); }));
  int32_t column = -1, row = -1;
  ASSERT_TRUE(grid->find_focused_cell(&column, &row, true));
  EXPECT_EQ(column, 1);
  EXPECT_TRUE(grid->is_row_fully_visible(row)) << row;
}

TEST_F(GridX11, TheHoverRowFollowsThePointer) {
  grid->scroll_to_row(1700);
  frame();
  for (int32_t row = grid->first_visible_row + 1; row < grid->last_visible_row; ++row) {
    int32_t y1 = 0, y2 = 0;
    ASSERT_TRUE(grid->get_row_span(row, &y1, &y2));
    for (int32_t py : {y1, y2}) {
      move_to(70, py);
      EXPECT_EQ(grid->hover_row, row) << py;
    }
  }
  move_to(300, 250);  // beside the grid
  EXPECT_EQ(grid->hover_row, -1);
  save_screen("grid_x11.png");
}

}  // namespace
