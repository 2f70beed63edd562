// Grid rows: cells, heights and the column layout of one row.
#include "wm_grid_row.h"

#include <algorithm>

#include "wm_screen_object.h"
#include "wm_style_set.h"

namespace {

int32_t gap(uint16_t g) { return g == WM_STYLE_SET::UNSET ? 0 : g; }

}  // namespace

WM_GRID_ROW::~WM_GRID_ROW() { delete_cells(); }

void WM_GRID_ROW::delete_cells() {
  for (WM_SCREEN_OBJECT*& cell : cells) {
    // A cell that another object owns (a menu's scroll arrow) is only
    // hidden, as every clean-up of the toolkit treats it.
    if (cell) WM_SCREEN_OBJECT::dispose(cell);
    cell = nullptr;
  }
}

void WM_GRID_ROW::set_columns(int32_t grid_width, const std::vector<int16_t>& widths_wanted,
                              const WM_STYLE_SET& style) {
  if (widths_wanted.size() != cells.size()) {
    delete_cells();
    cells.assign(widths_wanted.size(), nullptr);
  }
  widths = widths_wanted;
  layout_columns(grid_width, style);
}

void WM_GRID_ROW::layout_columns(int32_t w, const WM_STYLE_SET& style) {
  const size_t n = widths.size();
  left.assign(n, 0);
  left_with_bar.assign(n, 0);
  right.assign(n, 0);
  right_with_bar.assign(n, 0);
  if (n == 0) return;
  const int64_t cell_gaps = int64_t{gap(style.cell_left_gap)} + gap(style.cell_right_gap);
  const int64_t xs = style.x_spacing;
  int64_t fixed = 0, weights = 0;
  for (int16_t wd : widths) {
    if (wd < 0) fixed += -int64_t{wd} + cell_gaps + xs;
    else weights += wd;
  }
  const int64_t border_left = gap(style.border_left_gap);
  const int64_t border_right = gap(style.border_right_gap);
  const int64_t bar = style.grid_scrollbar_width;
  const int64_t avail = w - border_left - border_right - fixed;
  int64_t f = 0, s = 0;
  for (size_t i = 0; i < n; ++i) {
    const int64_t base = border_left + f + gap(style.cell_left_gap) + xs / 2;
    const int64_t l = base + (weights > 0 ? s * avail / weights : 0);
    const int64_t lb = base + (weights > 0 ? s * (avail - bar) / weights : 0);
    left[i] = static_cast<int32_t>(l);
    left_with_bar[i] = static_cast<int32_t>(lb);
    if (i > 0) {
      right[i - 1] = static_cast<int32_t>(l - xs - cell_gaps - 1);
      right_with_bar[i - 1] = static_cast<int32_t>(lb - xs - cell_gaps - 1);
    }
    if (widths[i] < 0) f += -int64_t{widths[i]} + cell_gaps + xs;
    else s += widths[i];
  }
  right[n - 1] = static_cast<int32_t>(w - gap(style.cell_right_gap) - border_right - 1);
  right_with_bar[n - 1] =
      static_cast<int32_t>(w - bar - gap(style.cell_right_gap) - border_right - 2);
}

void WM_GRID_ROW::get_cell_extent(int32_t column, bool with_bar, int32_t* l, int32_t* t,
                                  int32_t* r, int32_t* b) const {
  int32_t cl = 0, ct = 0, cr = 0, cb = 0;
  if (column >= 0 && static_cast<size_t>(column) < left.size()) {
    const size_t c = static_cast<size_t>(column);
    cl = with_bar ? left_with_bar[c] : left[c];
    cr = with_bar ? right_with_bar[c] : right[c];
    if (c + 1 == left.size()) cr += last_extra;
    cr = std::max(cr, cl - 1);  // a cell is never narrower than nothing
    ct = top_offset;
    cb = bottom_offset;
  }
  if (l) *l = cl;
  if (t) *t = ct;
  if (r) *r = cr;
  if (b) *b = cb;
}

bool WM_GRID_ROW::replace_cell(int32_t column, WM_SCREEN_OBJECT* object, bool delete_old) {
  if (column < 0 || static_cast<size_t>(column) >= cells.size()) return false;
  WM_SCREEN_OBJECT*& slot = cells[static_cast<size_t>(column)];
  if (slot == object) return true;
  if (slot) {
    slot->hide(false, false);
    if (delete_old && !slot->externally_owned) delete slot;
  }
  slot = object;
  return true;
}

void WM_GRID_ROW::set_height(int32_t new_height, const WM_STYLE_SET& style) {
  const int32_t gaps = gap(style.cell_top_gap) + gap(style.cell_bottom_gap);
  height = std::clamp(new_height, gaps + 2, 32767 + gaps + 2);
  top_offset = gap(style.cell_top_gap);
  bottom_offset = height - 1 - gap(style.cell_bottom_gap);
}
