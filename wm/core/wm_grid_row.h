#pragma once
// WM_GRID_ROW is one row of a WM_GRID: its cells (owned screen objects, one
// per column, null = empty), its height and where it ends in the grid's
// content, and the horizontal extents of its columns laid out from the
// column widths it was made with.
#include <cstdint>
#include <vector>

#include "rect.h"

class WM_SCREEN_OBJECT;
class WM_STYLE_SET;

class WM_GRID_ROW {
public:
  WM_GRID_ROW() = default;
  // Deletes the cells.
  ~WM_GRID_ROW();
  WM_GRID_ROW(const WM_GRID_ROW&) = delete;
  WM_GRID_ROW& operator=(const WM_GRID_ROW&) = delete;

  // Column widths: w >= 0 a proportional weight, w < 0 a fixed
  // width of -w pixels. Keeps the cells while the count stays the same.
  void set_columns(int32_t grid_width, const std::vector<int16_t>& widths_wanted,
                   const WM_STYLE_SET& style);
  void layout_columns(int32_t grid_width, const WM_STYLE_SET& style);
  // Offsets from the grid's left edge and the row's top; all 0 for a bad
  // column. Never narrower than 0.
  void get_cell_extent(int32_t column, bool with_bar, int32_t* left, int32_t* top,
                       int32_t* right, int32_t* bottom) const;
  bool contains_point(int32_t px, int32_t py) const { return screen.contains(px, py); }
  // Hides the old cell and deletes it when asked (unless it is owned
  // elsewhere); false for a bad column.
  bool replace_cell(int32_t column, WM_SCREEN_OBJECT* object, bool delete_old);
  // The cell height the row gets for a height asked for; bottom is left to
  // the grid, which chains every row after it.
  void set_height(int32_t new_height, const WM_STYLE_SET& style);
  void delete_cells();
  int32_t cell_count() const { return static_cast<int32_t>(cells.size()); }
  int32_t top() const { return bottom - height - spacing; }

  uint8_t selected = 0;                   // drawn highlighted; owners set and clear it
  std::vector<WM_SCREEN_OBJECT*> cells;   // owned, except externally owned ones
  int32_t height = 0;
  int32_t top_offset = 0;
  int32_t bottom_offset = 0;
  int32_t bottom = 0;   // content coordinate of the row's end, its spacing included
  int32_t spacing = 0;  // the grid's y_spacing when the row was chained
  std::vector<int32_t> left, left_with_bar, right, right_with_bar;
  std::vector<int16_t> widths;
  int32_t last_extra = 0;  // added to the right edge of the last column
  // Spare pixels of a view the rows do not fill: this row is drawn `extra`
  // taller and `shift` lower.
  int32_t extra = 0;
  int32_t shift = 0;
  RECT screen;             // where the row was drawn last
};
