// Grids: rows of owned cells, column layout, scrolling through a scroll bar
// made on demand, arrow-key focus moves, the row under the pointer, and the
// row, cell and whole-grid backgrounds.
#include "wm_grid.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "clip_scope.h"
#include "dirty_rectangles.h"
#include "image.h"
#include "image_cache.h"
#include "input.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_image.h"
#include "wm_keys.h"
#include "wm_list_box.h"
#include "wm_script.h"

namespace {

constexpr size_t MAX_PARSED_WIDTHS = 100;

bool is_set(COLOUR c) { return (c >> 24) != 0; }
int16_t i16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }
uint16_t u16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 65535)); }
int32_t unset_as(uint16_t v, int32_t instead) {
  return v == WM_STYLE_SET::UNSET ? instead : v;
}

IMAGE* grid_surface() {
  IMAGE* s = WM_SCREEN_OBJECT::drawing_surface();
  return s ? s : get_screen_image();
}

// The gap an unset border gap stands for in a grid.
uint16_t grid_border_gap(const WM_STYLE_SET& s) {
  return static_cast<uint16_t>(
      (s.drawing_flags & SSF_DRAW_BORDER) ? get_border_width(s.shading_type) + 1 : 1);
}

void fill_rect_with(IMAGE* s, const RECT& r, COLOUR c, uint8_t corners) {
  if (!is_set(c) || r.empty()) return;
  s->fill_round_rect_gradient(i16(r.x1), i16(r.y1), i16(r.x2), i16(r.y2), corners ? 2 : 0,
                              corners, &c, &c, 0, IMAGE::ROUND_FILL_BLEND);
}

void darken(IMAGE* s, const RECT& r, int32_t percent, uint8_t corners, int16_t radius) {
  if (r.empty() || percent <= 0) return;
  if (!corners) {
    s->darken_rect(i16(r.x1), i16(r.y1), i16(r.x2), i16(r.y2), static_cast<int16_t>(percent));
    return;
  }
  const COLOUR black = 0xFF000000;
  s->fill_round_rect_gradient(i16(r.x1), i16(r.y1), i16(r.x2), i16(r.y2), radius, corners, &black,
                              &black, static_cast<int8_t>(percent), IMAGE::ROUND_FILL_DARKEN);
}

void draw_frame(SKIN_FRAME& f, IMAGE* s, const RECT& r) {
  if (r.empty()) return;
  f.draw(static_cast<uint16_t>(i16(r.x1)), static_cast<uint16_t>(i16(r.y1)),
         static_cast<uint16_t>(i16(r.x2)), static_cast<uint16_t>(i16(r.y2)), 1, s, BLIT_BLEND);
}

}  // namespace

// ---- Construction ------------------------------------------------------------

WM_GRID::WM_GRID(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t column_count,
                 const int16_t* widths, const WM_STYLE_SET* grid_style,
                 const WM_STYLE_SET* bar_style)
    : WM_SCREEN_OBJECT(grid_style ? grid_style->visible != 0 : true, nullptr, 0, 0),
      cell_frame(&wm_image_cache()),
      over_frame(&wm_image_cache()),
      highlighted_frame(&wm_image_cache()),
      alternate_frame(&wm_image_cache()) {
  scroll.set_type(PARAMETER::I32);
  init(x1, y1, x2, y2, column_count, widths, grid_style, bar_style);
  notify_created();
}

WM_GRID::~WM_GRID() {
  rows.clear();
  scrollbar.reset();
  cell_frame.clear();
  over_frame.clear();
  highlighted_frame.clear();
  alternate_frame.clear();
}

void WM_GRID::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t column_count,
                   const int16_t* widths, const WM_STYLE_SET* grid_style,
                   const WM_STYLE_SET* bar_style) {
  row_limit = 1024;
  clear(false);
  const WM_STYLE_SET defaults;
  style.copy(grid_style ? *grid_style : defaults);
  IMAGE* s = grid_surface();
  if (style.font_id == 255) style.font_id = static_cast<uint8_t>(s->font);
  if (style.font_x_sz == WM_STYLE_SET::UNSET) style.font_x_sz = static_cast<uint16_t>(s->font_width);
  if (style.font_y_sz == WM_STYLE_SET::UNSET) style.font_y_sz = s->font_height;
  const uint16_t border = grid_border_gap(style);
  for (uint16_t* g : {&style.border_left_gap, &style.border_right_gap, &style.border_top_gap,
                      &style.border_bottom_gap}) {
    if (*g == WM_STYLE_SET::UNSET) *g = border;
  }
  for (uint16_t* g : {&style.cell_left_gap, &style.cell_right_gap, &style.cell_top_gap,
                      &style.cell_bottom_gap}) {
    if (*g == WM_STYLE_SET::UNSET) *g = 0;
  }
  if (style.x_spacing == WM_STYLE_SET::UNSET) style.x_spacing = 0;
  if (style.y_spacing == WM_STYLE_SET::UNSET) style.y_spacing = 0;
  x = x1;
  y = y1;
  const int32_t w = int32_t{x2} - x1 + 1, h = int32_t{y2} - y1 + 1;
  width = u16(w <= 1 || h <= 1 ? 6 : w);
  height = u16(w <= 1 || h <= 1 ? 6 : h);
  scrollbar_style.copy(bar_style ? *bar_style : defaults);
  line_step = page_step = 0;
  keyboard_navigation = 0;
  hover_row = -1;
  two_tone_value = style.grid_two_tone_value;
  set_column_widths(column_count, widths);
  load_cell_frames(style.image_path, style.image_filename, &style);
  kind |= wm_kind::GRID;
  border_style = style.shading_type;
}

// ---- Geometry ------------------------------------------------------------------

int32_t WM_GRID::inner_top() const { return y + style.border_top_gap; }
int32_t WM_GRID::inner_bottom() const { return y + height - 1 - style.border_bottom_gap; }

int32_t WM_GRID::get_view_height() const {
  return std::max<int32_t>(height - style.border_top_gap - style.border_bottom_gap, 0);
}

int32_t WM_GRID::get_content_height() const {
  return rows.empty() ? 0 : std::max(rows.back()->bottom - style.y_spacing, 0);
}

int32_t WM_GRID::get_scroll_offset() const {
  const int64_t offset = int64_t{scroll.get_int(PARAMETER::MAXIMUM)} - scroll.get_int(PARAMETER::VALUE);
  return static_cast<int32_t>(std::max<int64_t>(offset, 0));
}

int64_t WM_GRID::content_origin() const {
  int64_t shift = get_scroll_offset();
  if ((style.extended_flags & SSEF_GRID_SCROLL_BY_LINE) && !rows.empty()) {
    shift = rows[static_cast<size_t>(std::min<int32_t>(first_visible_row, get_row_count() - 1))]->top();
  }
  return int64_t{inner_top()} - shift;
}

int64_t WM_GRID::row_screen_top(int32_t row) const {
  if (fixes_top_row() && row == 0 && first_visible_row > 0) return inner_top();
  const WM_GRID_ROW& r = *rows[static_cast<size_t>(row)];
  return content_origin() + r.top() + r.shift;
}

int32_t WM_GRID::fixed_top_margin() const {
  if (!fixes_top_row() || rows.empty() || first_visible_row == 0) return 0;
  return rows[0]->height + style.y_spacing;
}

WM_GRID_ROW* WM_GRID::get_row(int32_t row) const {
  if (row < 0 || row >= get_row_count()) return nullptr;
  return rows[static_cast<size_t>(row)].get();
}

void WM_GRID::rechain_rows(int32_t from) {
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < rows.size(); ++i) {
    const int64_t before = i ? rows[i - 1]->bottom : 0;
    rows[i]->spacing = style.y_spacing;
    rows[i]->bottom = static_cast<int32_t>(
        std::min<int64_t>(before + rows[i]->height + style.y_spacing, INT32_MAX));
  }
}

void WM_GRID::update_maximum(bool keep_offset) {
  const int64_t offset = get_scroll_offset();
  const int32_t maximum = std::max(get_content_height() - get_view_height(), 0);
  if (maximum > 0 && scroll.get_int(PARAMETER::MAXIMUM) == 0) {
    // Rows that no longer fill the view get no spare pixels.
    for (const auto& r : rows) r->extra = r->shift = 0;
  }
  scroll.set_int(PARAMETER::MAXIMUM, maximum);
  const int64_t value = keep_offset ? maximum - std::min<int64_t>(offset, maximum) : 0;
  scroll.set_int(PARAMETER::VALUE, static_cast<int32_t>(value));
}

void WM_GRID::compute_last_visible_row() {
  last_visible_row = -1;
  const int32_t n = get_row_count();
  if (n == 0) return;
  first_visible_row = std::clamp(first_visible_row, 0, n - 1);
  const int64_t bottom = inner_bottom();
  const int64_t origin = content_origin();
  for (int32_t i = first_visible_row; i < n; ++i) {
    if (origin + rows[static_cast<size_t>(i)]->top() > bottom) break;
    last_visible_row = i;
  }
}

WM_GRID_ROW* WM_GRID::new_row(int32_t row_height) const {
  auto* row = new WM_GRID_ROW;
  row->set_height(row_height, style);
  row->set_columns(width, column_widths, style);
  return row;
}

void WM_GRID::place_cell(WM_SCREEN_OBJECT* cell, const WM_GRID_ROW& row, int32_t column,
                         int64_t top, int32_t extra) const {
  int32_t l = 0, t = 0, r = 0, b = 0;
  row.get_cell_extent(column, scrollbar != nullptr, &l, &t, &r, &b);
  const int64_t y1 = top + t, y2 = top + b + extra;
  cell->set_size(u16(r - l + 1), u16(y2 - y1 + 1), true);
  cell->set_position(i16(int64_t{x} + l), i16(y1));
}

void WM_GRID::place_row_cells(const WM_GRID_ROW& row, int64_t top, int32_t extra) const {
  for (int32_t c = 0; c < row.cell_count(); ++c) {
    if (WM_SCREEN_OBJECT* cell = row.cells[static_cast<size_t>(c)]) place_cell(cell, row, c, top, extra);
  }
}

void WM_GRID::get_cell_size(int32_t column, int32_t row, int32_t* w, int32_t* h) const {
  std::unique_ptr<WM_GRID_ROW> temporary;
  const WM_GRID_ROW* r = get_row(row);
  if (!r) {
    temporary.reset(new_row(default_row_height));
    r = temporary.get();
  }
  int32_t l = 0, t = 0, rr = 0, b = 0;
  r->get_cell_extent(column, scrollbar != nullptr, &l, &t, &rr, &b);
  *w = rr - l + 1;
  *h = b - t + 1;
}

int32_t WM_GRID::rows_fitting(int32_t row_height) const {
  if (row_height <= 0) return 0;
  return (get_view_height() + style.y_spacing) / row_height;
}

// ---- Contents ------------------------------------------------------------------

WM_SCREEN_OBJECT* WM_GRID::get_cell(int32_t column, int32_t row) const {
  const WM_GRID_ROW* r = get_row(row);
  if (!r || column < 0 || column >= r->cell_count()) return nullptr;
  return r->cells[static_cast<size_t>(column)];
}

WM_SCREEN_OBJECT* WM_GRID::set_cell(int32_t column, int32_t row, WM_SCREEN_OBJECT* object) {
  if (row < 0 || (row_limit != NO_ROW_LIMIT && static_cast<uint32_t>(row) >= row_limit)) {
    return nullptr;
  }
  if (WM_GRID_ROW* existing = get_row(row)) {
    if (column >= 0 && column < existing->cell_count() &&
        existing->cells[static_cast<size_t>(column)] == object) {
      return object;
    }
  }
  const int32_t n = get_row_count();
  if (row >= n) {
    // Rows past what the content coordinates can reach are refused, and so
    // is growth the memory cannot hold.
    const int64_t each = std::max<int64_t>(default_row_height, 2) + style.cell_top_gap +
                         style.cell_bottom_gap + style.y_spacing;
    const int64_t end = (n ? rows.back()->bottom : 0) + (int64_t{row} - n + 1) * each;
    if (end > INT32_MAX) return nullptr;
    try {
      for (int32_t i = n; i <= row; ++i) rows.emplace_back(new_row(default_row_height));
    } catch (const std::bad_alloc&) {
      rows.resize(static_cast<size_t>(n));
      return nullptr;
    }
    rechain_rows(n);
    update_maximum(true);
    seen_value = seen_maximum = -1;
    compute_last_visible_row();
    size_slider();
  }
  WM_GRID_ROW& r = *rows[static_cast<size_t>(row)];
  if (!object || column < 0 || column >= r.cell_count()) return nullptr;
  object->set_depth(depth);
  r.replace_cell(column, object, true);
  ++contents_generation;
  place_cell(object, r, column, row_screen_top(row), 0);
  if (visible) invalidate();
  return object;
}

WM_SCRIPT* WM_GRID::add_text_cell(int32_t column, int32_t row, const char* text,
                                  const WM_STYLE_SET* cell_style) {
  int32_t w = 0, h = 0;
  get_cell_size(column, row, &w, &h);
  return adopt(column, row, new WM_SCRIPT(0, 0, i16(w - 1), i16(h - 1), cell_style, text));
}

WM_BUTTON* WM_GRID::add_button_cell(int32_t column, int32_t row, const char* text,
                                    const WM_STYLE_SET* cell_style, WM_CALLBACK callback,
                                    uintptr_t word_1, uintptr_t word_2, uint8_t kind) {
  int32_t w = 0, h = 0;
  get_cell_size(column, row, &w, &h);
  return adopt(column, row,
               new WM_BUTTON(0, 0, i16(w - 1), i16(h - 1), cell_style, text, nullptr, callback,
                             word_1, word_2, kind));
}

WM_BUTTON* WM_GRID::add_check_box_cell(int32_t column, int32_t row, const char* text,
                                       const COLOUR* text_colour, const COLOUR* background,
                                       uint32_t draw_flags, WM_CALLBACK callback,
                                       uintptr_t word_1, uintptr_t word_2, uint8_t kind) {
  int32_t w = 0, h = 0;
  get_cell_size(column, row, &w, &h);
  return adopt(column, row,
               new WM_BUTTON(0, 0, i16(w - 1), i16(h - 1),
                             background ? *background : COLOUR_INVISIBLE,
                             text_colour ? *text_colour : COLOUR_INVISIBLE, text, style.font_id,
                             style.font_x_sz, style.font_y_sz, BUTTON_BEHAVIOUR::NORMAL,
                             draw_flags, 0, callback, word_1, word_2, true, kind));
}

WM_IMAGE* WM_GRID::add_image_cell(int32_t column, int32_t row, const char* file_name,
                                  const FOLDER& folder, WM_CALLBACK callback, uintptr_t word_1,
                                  uintptr_t word_2, uint8_t click_mask) {
  int32_t w = 0, h = 0;
  get_cell_size(column, row, &w, &h);
  auto* picture = new WM_IMAGE(0, 0, u16(w), u16(h), true, callback, word_1, word_2, click_mask);
  picture->load(folder, file_name);
  return adopt(column, row, picture);
}

WM_LIST_BOX* WM_GRID::add_list_box_cell(int32_t column, int32_t row, int32_t count,
                                        const char* const* texts, int32_t initial,
                                        const WM_STYLE_SET* button_style,
                                        const WM_STYLE_SET* body_style,
                                        const WM_STYLE_SET* title_style,
                                        const WM_STYLE_SET* item_style,
                                        const WM_STYLE_SET* separator_style,
                                        const WM_STYLE_SET* up_arrow_style,
                                        const WM_STYLE_SET* down_arrow_style,
                                        const WM_STYLE_SET* submenu_style,
                                        LIST_BOX_CALLBACK callback, uintptr_t word_1,
                                        uintptr_t word_2) {
  int32_t w = 0, h = 0;
  get_cell_size(column, row, &w, &h);
  return adopt(column, row,
               new WM_LIST_BOX(0, 0, i16(w - 1), i16(h - 1), count, texts, initial, button_style,
                               body_style, title_style, item_style, separator_style,
                               up_arrow_style, down_arrow_style, submenu_style, callback, word_1,
                               word_2, nullptr));
}

WM_SCRIPT* WM_GRID::add_script_cell(int32_t column, int32_t row, const char* text,
                                    const COLOUR* text_colour, const COLOUR* background,
                                    uint32_t flags) {
  int32_t w = 0, h = 0;
  get_cell_size(column, row, &w, &h);
  auto* label = new WM_SCRIPT(0, 0, i16(w - 1), i16(h - 1), text, style.font_id, style.font_x_sz,
                              style.font_y_sz, text_colour ? *text_colour : COLOUR_INVISIBLE,
                              background ? *background : COLOUR_INVISIBLE);
  label->text_flags = flags;
  return adopt(column, row, label);
}

void WM_GRID::clear(bool keep_columns) {
  rows.clear();
  scrollbar.reset();
  if (!keep_columns) {
    column_widths.clear();
    default_row_height = 0;
    rows_per_page = 0;
  }
  first_visible_row = 0;
  last_visible_row = -1;
  hover_row = -1;
  scroll.set_int(PARAMETER::VALUE, 0);
  scroll.set_int(PARAMETER::MAXIMUM, 0);
  seen_value = seen_maximum = 0;
  ++contents_generation;
  if (visible) invalidate();
}

void WM_GRID::delete_rows(int32_t first, int32_t last) {
  if (first < 0 || first > last || last >= get_row_count()) return;
  rows.erase(rows.begin() + first, rows.begin() + last + 1);
  ++contents_generation;
  rechain_rows(first);
  update_maximum(true);
  seen_value = seen_maximum = -1;
  hover_row = -1;
  apply_scroll();
  if (visible) invalidate();
}

void WM_GRID::relayout_rows(int32_t first, int32_t last) {
  for (int32_t i = std::max(first, 0); i <= last && i < get_row_count(); ++i) {
    rows[static_cast<size_t>(i)]->delete_cells();
    rows[static_cast<size_t>(i)]->set_columns(width, column_widths, style);
  }
  ++contents_generation;
  if (visible) invalidate();
}

void WM_GRID::set_column_widths(int16_t count, const int16_t* widths) {
  if (count <= 0) return;
  if (widths) column_widths.assign(widths, widths + count);
  else column_widths.assign(static_cast<size_t>(count), 1);
}

bool WM_GRID::parse_column_widths(const char* text, std::vector<int16_t>* widths) {
  widths->clear();
  if (!text || !*text) return false;
  std::vector<int16_t> parsed;
  const std::string all(text);
  size_t start = 0;
  while (start <= all.size()) {
    const size_t comma = std::min(all.find(',', start), all.size());
    short w = 0;
    if (parsed.size() == MAX_PARSED_WIDTHS ||
        sscanf(all.substr(start, comma - start).c_str(), "%hd", &w) != 1 || w == 0) {
      return false;
    }
    parsed.push_back(w);
    start = comma + 1;
  }
  *widths = parsed;
  return true;
}

uint16_t WM_GRID::get_row_height(const WM_STYLE_SET& s, const WM_STYLE_SET* font_style) {
  const WM_STYLE_SET& f = font_style ? *font_style : s;
  const int32_t border = ::get_border_width(f.shading_type);
  const int32_t total = unset_as(f.border_top_gap, border) + unset_as(f.border_bottom_gap, border) +
                        unset_as(f.font_y_sz, grid_surface()->font_height) +
                        unset_as(s.cell_top_gap, 0) + unset_as(s.cell_bottom_gap, 0) +
                        unset_as(s.y_spacing, 0);
  return u16(total);
}

void WM_GRID::set_row_height(int32_t row, int32_t row_height) {
  WM_GRID_ROW* r = get_row(row);
  if (!r) return;
  r->set_height(row_height, style);
  rechain_rows(row);
  update_maximum(true);
  seen_value = seen_maximum = -1;
  apply_scroll();
}

bool WM_GRID::load_cell_frames(const char* folder, const char* base_name,
                               const WM_STYLE_SET* frame_style) {
  struct SLOT {
    SKIN_FRAME* frame;
    STYLE_IMAGE image;
    const char* suffix;
  };
  const SLOT slots[] = {{&cell_frame, STYLE_IMAGE_BASE, ""},
                        {&over_frame, STYLE_IMAGE_OVER, "_over"},
                        {&highlighted_frame, STYLE_IMAGE_HIGHLIGHTED, "_highlighted"},
                        {&alternate_frame, STYLE_IMAGE_ALTERNATE, "_alternate"}};
  for (const SLOT& slot : slots) {
    slot.frame->clear();
    if (frame_style && frame_style->is_loaded()) {
      if (const SKIN_FRAME* source = frame_style->state_images[slot.image]) slot.frame->copy(*source);
    } else if (folder && base_name) {
      slot.frame->load(folder, (std::string(base_name) + slot.suffix).c_str(), skin_load_flags);
    }
  }
  return cell_frame.is_loaded();
}

std::vector<int32_t> WM_GRID::get_selected_rows() const {
  std::vector<int32_t> selected;
  for (int32_t i = 0; i < get_row_count(); ++i) {
    if (rows[static_cast<size_t>(i)]->selected) selected.push_back(i);
  }
  return selected;
}

int32_t WM_GRID::column_of(int32_t row, const WM_SCREEN_OBJECT* object) const {
  const std::vector<WM_SCREEN_OBJECT*>& cells = rows[static_cast<size_t>(row)]->cells;
  const auto it = std::find(cells.begin(), cells.end(), object);
  return it == cells.end() ? -1 : static_cast<int32_t>(it - cells.begin());
}

bool WM_GRID::find_cell(const WM_SCREEN_OBJECT* object, int32_t* row, int32_t* column,
                        bool forward) const {
  const int32_t n = get_row_count();
  for (int32_t k = 0; k < n && object; ++k) {
    const int32_t i = forward ? k : n - 1 - k;
    const int32_t c = column_of(i, object);
    if (c < 0) continue;
    if (row) *row = i;
    if (column) *column = c;
    return true;
  }
  return false;
}

// ---- Scrolling and focus -----------------------------------------------------------

bool WM_GRID::is_row_fully_visible(int32_t row) const {
  int32_t y1 = 0, y2 = 0;
  if (!visible || !get_row_span(row, &y1, &y2)) return false;
  const int32_t top = inner_top() + (row == 0 ? 0 : fixed_top_margin());
  return y1 >= top && y2 <= inner_bottom();
}

bool WM_GRID::get_row_span(int32_t row, int32_t* y1, int32_t* y2) const {
  if (!get_row(row)) return false;
  const int64_t top = row_screen_top(row);
  *y1 = static_cast<int32_t>(std::clamp<int64_t>(top, INT32_MIN, INT32_MAX));
  const WM_GRID_ROW& r = *rows[static_cast<size_t>(row)];
  *y2 = static_cast<int32_t>(std::clamp<int64_t>(top + r.height + r.extra - 1, INT32_MIN, INT32_MAX));
  return true;
}

bool WM_GRID::find_focused_cell(int32_t* column, int32_t* row, bool all_rows) const {
  if (rows.empty()) return false;
  // The focus may lie on a part of a cell (a check box's box).
  for (const WM_SCREEN_OBJECT* focus = focus_object; focus; focus = focus->parent) {
    if (all_rows) {
      if (find_cell(focus, row, column, true)) return true;
      continue;
    }
    auto search = [&](int32_t i) {
      const int32_t c = is_row_fully_visible(i) ? column_of(i, focus) : -1;
      if (c < 0) return false;
      if (column) *column = c;
      if (row) *row = i;
      return true;
    };
    if (fixes_top_row() && search(0)) return true;
    for (int32_t i = first_visible_row; i <= last_visible_row; ++i) {
      if (search(i)) return true;
    }
  }
  return false;
}

WM_SCREEN_OBJECT* WM_GRID::next_cell(DIRECTION direction, int32_t column, int32_t row,
                                     int32_t* out_column, int32_t* out_row,
                                     bool selectable_only) const {
  const bool across = direction == DIRECTION::LEFT || direction == DIRECTION::RIGHT;
  if ((across && row < 0) || (!across && column < 0)) return nullptr;
  const int32_t step = direction == DIRECTION::LEFT || direction == DIRECTION::UP ? -1 : 1;
  int32_t c = column, r = row;
  for (;;) {
    if (across) c += step;
    else r += step;
    const WM_GRID_ROW* at = get_row(r);
    if (!at || c < 0 || (across && c >= at->cell_count())) return nullptr;
    if (out_column) *out_column = c;
    if (out_row) *out_row = r;
    WM_SCREEN_OBJECT* cell = get_cell(c, r);
    if (cell && cell->visible && (!selectable_only || cell->is_selectable())) return cell;
  }
}

void WM_GRID::focus_cell(int32_t column, int32_t row) {
  WM_SCREEN_OBJECT* cell = get_cell(column, row);
  if (!cell || !cell->is_selectable()) return;
  cell->set_focus();
  if (!is_row_fully_visible(row)) scroll_to_row(row);
}

int32_t WM_GRID::row_after_key(uint32_t key, int32_t row) const {
  // A page is as many rows as the view shows whole.
  int32_t page = 0;
  for (int32_t i = first_visible_row; i <= last_visible_row; ++i) page += is_row_fully_visible(i) ? 1 : 0;
  page = std::max(page, 1);
  const int32_t last = get_row_count() - 1;
  switch (key) {
    case wm_key::HOME: return 0;
    case wm_key::END: return last;
    case wm_key::PAGE_UP: return std::max(row - page, 0);
    case wm_key::PAGE_DOWN: return std::min(row + page, last);
    default: return -1;
  }
}

WM_SCREEN_OBJECT* WM_GRID::focusable_near(int32_t column, int32_t row, int32_t from_row,
                                          int32_t* found_row) const {
  if (row < 0) return nullptr;
  WM_SCREEN_OBJECT* cell = get_cell(column, row);
  if (cell && cell->visible && cell->is_selectable()) {
    *found_row = row;
    return cell;
  }
  // The nearest one on the way back to the row the focus comes from.
  return next_cell(row > from_row ? DIRECTION::UP : DIRECTION::DOWN, column, row, nullptr, found_row, true);
}

void WM_GRID::scroll_to_row(int32_t row) {
  const WM_GRID_ROW* r = get_row(row);
  if (!r) return;
  if (visible && is_row_fully_visible(row)) {
    apply_scroll();
    return;
  }
  // The row takes the place of the first visible row, or of the last one
  // that shows whole (the view's bottom may cut the one after it).
  int32_t reference = std::clamp(first_visible_row, 0, get_row_count() - 1);
  if (row > reference) {
    for (int32_t i = reference + 1; i <= last_visible_row; ++i) {
      int32_t y1 = 0, y2 = 0;
      if (!get_row_span(i, &y1, &y2) || y2 > inner_bottom()) break;
      reference = i;
    }
  }
  auto add = [this](int64_t change) {
    const int64_t value = int64_t{scroll.get_int(PARAMETER::VALUE)} + change;
    scroll.set_int(PARAMETER::VALUE, static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)));
  };
  add(int64_t{rows[static_cast<size_t>(reference)]->bottom} - r->bottom);
  if (!visible || !is_row_fully_visible(row)) {
    // Still cut (taller than the row it replaced, or the view stood part of
    // a row down): its top comes to the top of the view, below a fixed top
    // row. Taking its height off once more would push it further out.
    const int64_t margin = fixes_top_row() && row > 0 ? rows[0]->height + style.y_spacing : 0;
    const int64_t maximum = scroll.get_int(PARAMETER::MAXIMUM);
    const int64_t offset = std::clamp<int64_t>(int64_t{r->top()} - margin, 0, maximum);
    scroll.set_int(PARAMETER::VALUE, static_cast<int32_t>(maximum - offset));
  }
  if (visible) apply_scroll();
}

void WM_GRID::apply_scroll() {
  if (rows.empty()) return;
  const int32_t value = scroll.get_int(PARAMETER::VALUE);
  const int32_t maximum = scroll.get_int(PARAMETER::MAXIMUM);
  if (value == seen_value && maximum == seen_maximum) return;
  seen_value = value;
  seen_maximum = maximum;
  const int32_t offset = get_scroll_offset();
  // The first row whose end lies beyond the offset.
  const auto it = std::partition_point(rows.begin(), rows.end(),
                                       [offset](const auto& r) { return r->bottom <= offset; });
  first_visible_row = static_cast<int32_t>(std::min<ptrdiff_t>(it - rows.begin(), get_row_count() - 1));
  compute_last_visible_row();
  // Cells move before the paint, so that moving them marks no new dirty
  // rectangles while the frame is being painted.
  for (int32_t i = first_visible_row; i <= last_visible_row; ++i) {
    const WM_GRID_ROW& r = *rows[static_cast<size_t>(i)];
    place_row_cells(r, row_screen_top(i), r.extra);
  }

  int32_t column = 0, row = 0;
  if (find_focused_cell(&column, &row, true) && !is_row_fully_visible(row)) {
    const bool below_middle = row > (first_visible_row + last_visible_row) / 2;
    const int32_t step = below_middle ? -1 : 1;
    for (int32_t i = row + step; i >= 0 && i < get_row_count(); i += step) {
      if (!is_row_fully_visible(i)) continue;
      if (WM_SCREEN_OBJECT* cell = get_cell(column, i)) cell->set_focus();
      break;
    }
  }
  if (visible) invalidate();
}

int32_t WM_GRID::scroll_step(WM_SCROLLBAR* bar, SCROLL_STEP kind) {
  auto* grid = reinterpret_cast<WM_GRID*>(bar->action_word_1);
  if (!grid || grid->rows.empty()) return 0;
  const bool line = kind == SCROLL_STEP::LINE_TO_MAXIMUM || kind == SCROLL_STEP::LINE_TO_MINIMUM;
  if (line && grid->line_step) return grid->line_step;
  if (!line && grid->page_step) return grid->page_step;
  const auto& rows = grid->rows;
  const int64_t offset = grid->get_scroll_offset();
  const int64_t ys = grid->style.y_spacing;
  const int64_t view = grid->get_view_height();
  const auto top_it = std::partition_point(rows.begin(), rows.end(),
                                           [offset](const auto& r) { return r->bottom <= offset; });
  const size_t r = std::min<size_t>(static_cast<size_t>(top_it - rows.begin()), rows.size() - 1);
  const int64_t p = offset - rows[r]->top();  // the part of the top row scrolled away
  const int64_t line_down = rows[r]->height + ys - p;
  const int64_t line_up = p > 0 ? p : r == 0 ? 0 : rows[r - 1]->height + ys;
  int64_t step = 0;
  switch (kind) {
    case SCROLL_STEP::LINE_TO_MAXIMUM: step = line_up; break;
    case SCROLL_STEP::LINE_TO_MINIMUM: step = line_down; break;
    case SCROLL_STEP::PAGE_TO_MAXIMUM: {
      // Back to the highest row k that ends a view height or more above
      // the end of the top row (row 0 when none does).
      const int64_t reach = int64_t{rows[r]->bottom} - view;
      if (r == 0 || rows[r - 1]->bottom <= reach) {
        step = p;
        break;
      }
      const auto past = std::partition_point(
          rows.begin(), rows.begin() + static_cast<ptrdiff_t>(r - 1),
          [reach](const auto& row) { return row->bottom <= reach; });
      const size_t k = past == rows.begin() ? 0 : static_cast<size_t>(past - rows.begin()) - 1;
      step = int64_t{rows[r]->bottom} - rows[k]->bottom + p;
      break;
    }
    case SCROLL_STEP::PAGE_TO_MINIMUM: {
      // On to the row before the first one that reaches the view's last
      // line, counted from the end of the top row.
      const int64_t limit = int64_t{rows[r]->bottom} + view - 1;
      const size_t k =
          view <= 1 ? r
                    : static_cast<size_t>(std::partition_point(
                                              rows.begin() + static_cast<ptrdiff_t>(r) + 1, rows.end(),
                                              [limit](const auto& row) { return row->bottom < limit; }) -
                                          rows.begin());
      const size_t before = k == rows.size() ? rows.size() - 1 : k;  // k - 1 is the row before
      step = before == 0 ? 0 : int64_t{rows[before - 1]->bottom} - rows[r]->bottom - p;
      break;
    }
    default: return 0;
  }
  // Within or at the top of a row at least as tall as the view, the page
  // rules give nothing; a page key then moves a line, so that it never stalls.
  if (!line && step <= 0) step = kind == SCROLL_STEP::PAGE_TO_MAXIMUM ? line_up : line_down;
  return static_cast<int32_t>(std::clamp<int64_t>(step, 0, INT32_MAX));
}

void WM_GRID::collect_tab_cells(std::vector<WM_SCREEN_OBJECT*>& out) const {
  auto add = [&](int32_t i) {
    if (!is_row_fully_visible(i)) return;
    for (WM_SCREEN_OBJECT* cell : rows[static_cast<size_t>(i)]->cells) {
      if (cell) out.push_back(cell);
    }
  };
  if (fixes_top_row() && first_visible_row > 0) add(0);
  for (int32_t i = first_visible_row; i <= last_visible_row; ++i) add(i);
}

// ---- Scroll bar ------------------------------------------------------------------

void WM_GRID::size_slider() {
  if (!scrollbar) return;
  const int64_t content = std::max(get_content_height(), 1);
  const int64_t length = int64_t{scrollbar->get_track_length()} * get_view_height() / content;
  scrollbar->set_slider_length(
      i16(std::max<int64_t>(length, scrollbar_style.scrollbar_slider_width)));
}

void WM_GRID::sync_scrollbar() {
  const uint32_t flags = style.extended_flags;
  const int32_t bar_width = style.grid_scrollbar_width;
  if (rows.empty() || get_content_height() <= get_view_height()) {
    scrollbar.reset();
    if (!rows.empty() && fixes_top_row()) rows[0]->last_extra = 0;
    return;
  }
  const bool no_bar = flags & SSEF_GRID_NO_SCROLLBAR;
  const bool beside_top_row = fixes_top_row() && !(flags & SSEF_GRID_DONT_SHORTEN_SCROLLBAR) && !no_bar;
  rows[0]->last_extra = beside_top_row ? bar_width + 1 : 0;
  const int32_t start_y =
      inner_top() + (beside_top_row ? rows[0]->height + style.y_spacing : 0);
  const int32_t bar_x = x + width - style.border_right_gap - bar_width - 1;
  if (scrollbar) {
    scrollbar->set_position(i16(bar_x), i16(start_y));
    return;
  }
  if (no_bar) return;
  scrollbar = std::make_unique<WM_SCROLLBAR>(
      i16(bar_x), i16(start_y), i16(x + width - style.border_right_gap - 1), i16(inner_bottom()),
      &scroll, &scrollbar_style, nullptr, reinterpret_cast<uintptr_t>(this), 0);
  // One notch of the wheel moves the list by a whole row.
  if (default_row_height > 0) scrollbar->wheel_step = i16(default_row_height + style.y_spacing);
  scrollbar->set_depth(depth);
  scrollbar->step_provider = scroll_step;
  size_slider();
}

// ---- Input -------------------------------------------------------------------------

int32_t WM_GRID::process_row_cells(int32_t row, int32_t result, const LIFE_WATCH& watch) {
  const uint32_t generation = contents_generation;
  const int32_t view_last = inner_bottom();
  for (int32_t c = 0; result == 0; ++c) {
    // A callback may have deleted the grid, or emptied or refilled it.
    if (!watch.alive() || generation != contents_generation) break;
    const WM_GRID_ROW* r = get_row(row);
    if (!r || c >= r->cell_count()) break;
    WM_SCREEN_OBJECT* cell = r->cells[static_cast<size_t>(c)];
    if (!cell || !cell->visible) continue;
    const int32_t middle = cell->get_y() + cell->get_height() / 2;
    if (middle >= view_last && cell->get_height() <= get_view_height()) continue;
    result = cell->process();
  }
  return result;
}

int32_t WM_GRID::process() {
  if (!visible) {
    hover_row = -1;
    return 0;
  }
  const LIFE_WATCH watch(this);
  int32_t result = WM_SCREEN_OBJECT::process();
  if (!watch.alive()) return result;
  const auto px = static_cast<int16_t>(mouse.x), py = static_cast<int16_t>(mouse.y);
  if (scrollbar && hit_test(px, py) && WM_SCROLLBAR::scroll_target() != scrollbar.get()) {
    scrollbar->make_scroll_target();
  }
  if (!key_queue.get_capacity()) key_queue.set_size(10);
  const uint32_t key = key_queue.peek_last_key();
  int32_t column = 0, row = 0;
  if (keyboard_navigation && key >= wm_key::LEFT && key <= wm_key::DOWN &&
      find_focused_cell(&column, &row, false)) {
    key_queue.get_last_key();
    static constexpr DIRECTION directions[] = {DIRECTION::LEFT, DIRECTION::UP, DIRECTION::RIGHT,
                                               DIRECTION::DOWN};
    int32_t to_column = column, to_row = row;
    if (WM_SCREEN_OBJECT* cell =
            next_cell(directions[key - wm_key::LEFT], column, row, &to_column, &to_row, true)) {
      cell->set_focus();
      if (!is_row_fully_visible(to_row)) scroll_to_row(to_row);
    }
  } else if (scrollbar && WM_SCROLLBAR::scroll_target() == scrollbar.get()) {
    const bool control = key_down(wm_key::CONTROL_L) || key_down(wm_key::CONTROL_R);
    const int64_t value = scroll.get_int(PARAMETER::VALUE);
    auto step = [&](SCROLL_STEP kind) { return int64_t{scroll_step(scrollbar.get(), kind)}; };
    int64_t wanted = value;
    bool taken = true;
    switch (key) {
      case wm_key::HOME: wanted = scroll.get_int(PARAMETER::MAXIMUM); break;
      case wm_key::END: wanted = scroll.get_int(PARAMETER::MINIMUM); break;
      case wm_key::UP:
        wanted = value + step(control ? SCROLL_STEP::PAGE_TO_MAXIMUM : SCROLL_STEP::LINE_TO_MAXIMUM);
        break;
      case wm_key::DOWN:
        wanted = value - step(control ? SCROLL_STEP::PAGE_TO_MINIMUM : SCROLL_STEP::LINE_TO_MINIMUM);
        break;
      case wm_key::PAGE_UP: wanted = value + step(SCROLL_STEP::PAGE_TO_MAXIMUM); break;
      case wm_key::PAGE_DOWN: wanted = value - step(SCROLL_STEP::PAGE_TO_MINIMUM); break;
      default: taken = false; break;
    }
    if (taken) {
      key_queue.get_last_key();
      // Home, End and the page keys take the focused row along: a Return
      // that follows acts on a row the user sees.
      int32_t to_column = column, to_row = -1;
      WM_SCREEN_OBJECT* cell = nullptr;
      if (find_focused_cell(&column, &row, true)) {
        to_column = column;
        cell = focusable_near(column, row_after_key(key, row), row, &to_row);
      }
      // The focus goes first, so that the view's move does not chase it to
      // the view's edge.
      if (cell) {
        cell->set_focus();
        if (!watch.alive()) return result;
      }
      scroll.set_int(PARAMETER::VALUE,
                     static_cast<int32_t>(std::clamp<int64_t>(wanted, INT32_MIN, INT32_MAX)));
      if (cell) {
        // A row taller than the page's move is still cut: it comes into
        // view whole, with the focus.
        apply_scroll();
        if (WM_SCREEN_OBJECT* again = get_cell(to_column, to_row)) {
          again->set_focus();
          if (!watch.alive()) return result;
        }
        scroll_to_row(to_row);
      }
      if (visible) invalidate();
    }
  }
  if (result == 0 && scrollbar) result = scrollbar->process();
  if (!watch.alive()) return result;

  int32_t new_hover = -1;
  auto pointer_in = [&](int32_t i) {
    int32_t y1 = 0, y2 = 0;
    return get_row_span(i, &y1, &y2) && px >= x && px < x + width && py >= y1 && py <= y2 &&
           py >= inner_top() && py <= inner_bottom();
  };
  const bool fixed = fixes_top_row() && first_visible_row > 0;
  if (fixed) {
    result = process_row_cells(0, result, watch);
    if (!watch.alive()) return result;
    if (pointer_in(0)) new_hover = 0;
  }
  for (int32_t i = first_visible_row; i <= last_visible_row && i < get_row_count(); ++i) {
    if (fixed && i == 0) continue;
    result = process_row_cells(i, result, watch);
    if (!watch.alive()) return result;
    if (new_hover < 0 && pointer_in(i) && !(fixed && pointer_in(0))) new_hover = i;
  }
  if (new_hover != hover_row && (over_frame.is_loaded() || is_set(style.mouse_over_colour))) {
    hover_row = new_hover;
    if (visible) invalidate();
  }
  apply_scroll();
  return result;
}

int32_t WM_GRID::update(bool overlays) {
  if (!visible) return 0;
  const LIFE_WATCH watch(this);
  int32_t result = WM_SCREEN_OBJECT::update(overlays);
  if (watch.alive() && result == 0 && scrollbar) result = scrollbar->update(false);
  if (!watch.alive()) return result;
  const uint32_t generation = contents_generation;
  auto update_row = [&](int32_t i) {
    for (int32_t c = 0; result == 0 && watch.alive() && generation == contents_generation; ++c) {
      const WM_GRID_ROW* r = get_row(i);
      if (!r || c >= r->cell_count()) break;
      if (WM_SCREEN_OBJECT* cell = r->cells[static_cast<size_t>(c)]) result = cell->update(false);
    }
  };
  if (fixes_top_row() && first_visible_row > 0) update_row(0);
  for (int32_t i = first_visible_row; watch.alive() && i <= last_visible_row; ++i) update_row(i);
  if (watch.alive()) apply_scroll();
  return result;
}

WM_SCREEN_OBJECT* WM_GRID::find_object_at(int16_t px, int16_t py) {
  if (!visible || !hit_test(px, py)) return nullptr;
  WM_SCREEN_OBJECT* found = this;
  if (scrollbar) {
    if (WM_SCREEN_OBJECT* o = scrollbar->find_object_at(px, py)) found = o;
  }
  auto search_row = [&](int32_t i) {
    const WM_GRID_ROW* r = get_row(i);
    if (!r) return;
    for (WM_SCREEN_OBJECT* cell : r->cells) {
      if (!cell) continue;
      if (WM_SCREEN_OBJECT* o = cell->find_object_at(px, py)) found = o;
    }
  };
  for (int32_t i = first_visible_row; i <= last_visible_row; ++i) search_row(i);
  if (fixes_top_row() && first_visible_row > 0) search_row(0);
  return found;
}

void WM_GRID::set_position(int16_t new_x, int16_t new_y) {
  if (new_x == x && new_y == y) return;
  const int32_t dx = new_x - x, dy = new_y - y;
  for (const auto& r : rows) {
    for (WM_SCREEN_OBJECT* cell : r->cells) {
      if (cell) cell->set_position(i16(cell->get_x() + dx), i16(cell->get_y() + dy));
    }
  }
  if (scrollbar) {
    scrollbar->set_position(i16(scrollbar->get_x() + dx), i16(scrollbar->get_y() + dy));
  }
  WM_SCREEN_OBJECT::set_position(new_x, new_y);
}

void WM_GRID::set_size(uint16_t w, uint16_t h, bool resize_children) {
  if (w == width && h == height) return;
  WM_SCREEN_OBJECT::set_size(w, h, resize_children);
  scrollbar.reset();
  if (rows_per_page > 0) {
    default_row_height =
        std::max((get_view_height() + style.y_spacing) / rows_per_page - style.y_spacing, 1);
    for (const auto& r : rows) r->set_height(default_row_height, style);
    rechain_rows(0);
  }
  for (const auto& r : rows) r->layout_columns(width, style);
  update_maximum(true);
  seen_value = seen_maximum = -1;
  apply_scroll();
  compute_last_visible_row();
  if (visible) invalidate();
}

void WM_GRID::set_depth(int16_t new_depth) {
  WM_SCREEN_OBJECT::set_depth(new_depth);
  if (scrollbar) scrollbar->set_depth(new_depth);
  for (const auto& r : rows) {
    for (WM_SCREEN_OBJECT* cell : r->cells) {
      if (cell) cell->set_depth(new_depth);
    }
  }
}

void WM_GRID::remove_child(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative) {
  if (!object) return;
  for (const auto& r : rows) {
    for (WM_SCREEN_OBJECT*& cell : r->cells) {
      if (cell != object) continue;
      cell = nullptr;
      ++contents_generation;
      object->hide(false, false);
      if (delete_it && !object->externally_owned) delete object;
      return;
    }
  }
  WM_SCREEN_OBJECT::remove_child(object, delete_it, make_relative);
}

// ---- Painting ------------------------------------------------------------------------

void WM_GRID::paint() {
  const RECT* current = dirty_rectangles().current_rect();
  if (!current || !visible) return;
  IMAGE* s = drawing_surface();
  CLIP_SCOPE keep(s);
  s->clip_to(*current);
  if (meets_dirty_rectangle()) draw();
  drawn = 1;
  needs_redraw = 0;
  const bool fixed = fixes_top_row() && first_visible_row > 0 && !rows.empty();
  auto paint_row = [&](int32_t i) {
    const WM_GRID_ROW* r = get_row(i);
    if (!r) return;
    for (size_t c = 0; c < r->cells.size(); ++c) {
      if (r->cells[c]) r->cells[c]->paint();
    }
  };
  if (fixed) paint_row(0);
  {
    CLIP_SCOPE inner(s);
    s->clip_to(i16(x + style.border_left_gap), i16(inner_top() + fixed_top_margin()),
               i16(x + width - 1 - style.border_right_gap), i16(inner_bottom()));
    for (int32_t i = first_visible_row; i <= last_visible_row; ++i) {
      if (!(fixed && i == 0)) paint_row(i);
    }
  }
  if (scrollbar) scrollbar->paint();
  for (size_t i = 0; i < children.size(); ++i) {
    if (!is_overlay(children[i])) children[i]->paint();
  }
}

std::vector<WM_GRID::DRAWN_ROW> WM_GRID::drawn_rows() {
  std::vector<DRAWN_ROW> out;
  const int32_t view = get_view_height();
  const int32_t ys = style.y_spacing;
  const int32_t visible_count =
      last_visible_row >= first_visible_row ? last_visible_row - first_visible_row + 1 : 0;
  int64_t used = 0;
  for (int32_t i = first_visible_row; i <= last_visible_row; ++i) {
    used += rows[static_cast<size_t>(i)]->height + (i > first_visible_row ? ys : 0);
  }
  const int32_t unit = default_row_height + ys;
  int64_t empty = rows_per_page > 0 ? rows_per_page - visible_count
                  : unit > 0        ? (view - used - (visible_count ? ys : 0)) / unit
                                    : 0;
  empty = std::max<int64_t>(empty, 0);
  int64_t spare = 0;
  const int64_t drawn_count = visible_count + empty;
  if (scroll.get_int(PARAMETER::MAXIMUM) == 0 && drawn_count > 0) {
    spare = view - used - empty * default_row_height - (empty > 0 ? empty * ys : 0);
    if (visible_count == 0 && empty > 0) spare += ys;
    spare = std::max<int64_t>(spare, 0);
  }
  auto extra_of = [&](int64_t j) -> int32_t {
    if (drawn_count <= 0) return 0;
    return static_cast<int32_t>(spare / drawn_count + (j < spare % drawn_count ? 1 : 0));
  };
  const int32_t left = x + style.border_left_gap;
  const int32_t right = x + width - 1 - style.border_right_gap;
  int64_t shift = 0, next_top = inner_top();
  for (int32_t i = first_visible_row; i <= last_visible_row; ++i) {
    const int64_t j = i - first_visible_row;
    WM_GRID_ROW& r = *rows[static_cast<size_t>(i)];
    r.extra = extra_of(j);
    r.shift = static_cast<int32_t>(shift);
    const int64_t top = row_screen_top(i);
    r.screen = {left, static_cast<int32_t>(top), right,
                static_cast<int32_t>(top + r.height + r.extra - 1)};
    out.push_back({i, r.screen, r.extra, (j & 1) != 0});
    shift += r.extra;
    next_top = top + r.height + r.extra + ys;
  }
  if (!(style.extended_flags & SSEF_GRID_ONLY_DRAW_USED_LINES)) {
    for (int64_t k = 0; k < empty; ++k) {
      const int64_t j = visible_count + k;
      const int32_t extra = extra_of(j);
      const RECT r{left, static_cast<int32_t>(next_top), right,
                   static_cast<int32_t>(next_top + default_row_height + extra - 1)};
      out.push_back({-1, r, extra, (j & 1) != 0});
      next_top += default_row_height + extra + ys;
    }
  }
  if (fixes_top_row() && first_visible_row > 0) {
    WM_GRID_ROW& r = *rows[0];
    r.screen = {left, inner_top(), right, inner_top() + r.height - 1};
    out.push_back({0, r.screen, 0, false});
  }
  return out;
}

void WM_GRID::fill_part(IMAGE* s, const RECT& r, int32_t row, bool odd, bool every_row,
                        uint8_t corners) {
  const WM_GRID_ROW* record = get_row(row);
  const bool hovered = row >= 0 && row == hover_row;
  const bool selected = record && record->selected;
  if (!every_row && !selected) return;  // the whole-grid look marks selected rows only
  if (cell_frame.is_loaded()) {
    SKIN_FRAME* f = nullptr;
    if (hovered && over_frame.is_loaded()) f = &over_frame;
    else if (selected && highlighted_frame.is_loaded()) f = &highlighted_frame;
    else if (every_row && odd && alternate_frame.is_loaded()) f = &alternate_frame;
    else if (every_row) f = &cell_frame;
    if (f) draw_frame(*f, s, r);
    return;
  }
  if (hovered && is_set(style.mouse_over_colour)) {
    fill_rect_with(s, r, style.mouse_over_colour, corners);
  } else if (selected && is_set(style.highlight_colour)) {
    fill_rect_with(s, r, style.highlight_colour, corners);
  } else if (every_row && (style.drawing_flags & SSF_DARKENED_BACKGROUND)) {
    darken(s, r, 50, corners, 2);
  } else if (every_row) {
    fill_rect_with(s, r, style.bg_colour, corners);
  }
}

void WM_GRID::draw() {
  IMAGE* s = drawing_surface();
  if (!s) return;
  CLIP_SCOPE keep(s);
  const auto x2 = i16(x + width - 1), y2 = i16(y + height - 1);
  s->clip_to(x, y, x2, y2);
  sync_scrollbar();
  const std::vector<DRAWN_ROW> drawn = drawn_rows();
  for (const DRAWN_ROW& d : drawn) {
    if (d.row >= 0) place_row_cells(*rows[static_cast<size_t>(d.row)], d.r.y1, d.extra);
  }
  if (s->clip_is_empty()) return;
  const uint8_t corners = static_cast<uint8_t>((style.shading_flags >> 4) & 15);
  const int16_t whole_radius = static_cast<int16_t>(
      std::max<int32_t>(2, std::min<int32_t>(20, IMAGE::default_corner_radius(x, y, x2, y2))));
  const uint32_t flags = style.extended_flags;
  const RECT whole{x, y, x2, y2};
  const bool lines = flags & SSEF_GRID_TYPE_LINES;
  const bool cells = !lines && (flags & SSEF_GRID_TYPE_CELLS);
  if (!lines && !cells) {
    if (cell_frame.is_loaded()) {
      draw_frame(cell_frame, s, whole);
    } else if (style.drawing_flags & SSF_DARKENED_BACKGROUND) {
      darken(s, whole, 50, corners, whole_radius);
    } else if (is_set(style.bg_colour)) {
      const bool h = style.drawing_flags & SSF_HFADING, v = style.drawing_flags & SSF_VFADING;
      const COLOUR& second = is_set(style.fading_colour) ? style.fading_colour : style.bg_colour;
      const uint8_t mode = h ? IMAGE::ROUND_FILL_HORIZONTAL
                           : v ? IMAGE::ROUND_FILL_VERTICAL
                               : IMAGE::ROUND_FILL_BLEND;
      s->fill_round_rect_gradient(x, y, x2, y2, corners ? whole_radius : 0, corners,
                                  &style.bg_colour, &second, 0, mode);
    }
  }
  for (const DRAWN_ROW& d : drawn) {
    if (cells && d.row >= 0) {
      const WM_GRID_ROW& r = *rows[static_cast<size_t>(d.row)];
      for (int32_t c = 0; c < r.cell_count(); ++c) {
        int32_t l = 0, t = 0, rr = 0, b = 0;
        r.get_cell_extent(c, scrollbar != nullptr, &l, &t, &rr, &b);
        fill_part(s, RECT{x + l, d.r.y1 + t, x + rr, d.r.y1 + b + d.extra}, d.row, d.odd, true,
                  corners);
      }
    } else {
      fill_part(s, d.r, d.row, d.odd, lines || cells, corners);
    }
    const bool selected = d.row >= 0 && rows[static_cast<size_t>(d.row)]->selected;
    if ((flags & SSEF_GRID_TWO_TONE) && d.odd && !selected) {
      darken(s, d.r, std::clamp<int32_t>(two_tone_value, 0, 100), corners,
             IMAGE::default_corner_radius(i16(d.r.x1), i16(d.r.y1), i16(d.r.x2), i16(d.r.y2)));
    }
  }
  if (!cell_frame.is_loaded() && (style.drawing_flags & SSF_DRAW_BORDER)) {
    uint16_t edge = static_cast<uint16_t>(style.shading_flags & 0x7FFF);
    if (style.drawing_flags & SSF_INDENT_BORDER) edge |= border_flag::PRESSED;
    const COLOUR outline = border_theme.outline;
    if (style.drawing_flags & SSF_USE_TEXT_COLOUR_FOR_OUTLINE) border_theme.outline = style.fg_colour;
    draw_border(x, y, x2, y2, edge, &style.bg_colour, border_style,
                static_cast<uint16_t>(whole_radius));
    border_theme.outline = outline;
  }
}

// ---- Set-up from overrides -------------------------------------------------------

void WM_GRID::configure(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const SETUP& setup) {
  WM_STYLE_SET s;
  if (setup.lines == LINES::BETWEEN_ROWS) s.extended_flags |= SSEF_GRID_TYPE_LINES;
  if (setup.lines == LINES::AROUND_CELLS) s.extended_flags |= SSEF_GRID_TYPE_CELLS;
  const uint8_t o = setup.options;
  s.drawing_flags = 0;
  if (o & SETUP_OPTION::DARKENED_BACKGROUND) s.drawing_flags |= SSF_DARKENED_BACKGROUND;
  if (o & SETUP_OPTION::OUTSTANDING_BORDER) s.drawing_flags |= SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER;
  if (o & SETUP_OPTION::INDENT_BORDER) s.drawing_flags |= SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  if (o & SETUP_OPTION::DONT_RESIZE_IMAGE) s.drawing_flags |= SSF_DONT_RESIZE_IMAGE;
  if (o & SETUP_OPTION::FIX_TOP_ROW) s.extended_flags |= SSEF_GRID_FIX_TOP_ROW;
  if (o & SETUP_OPTION::TWO_TONE) s.extended_flags |= SSEF_GRID_TWO_TONE;
  if (setup.colour) s.bg_colour = *setup.colour;
  s.shading_flags = border_flag::ALL_SIDES;
  if (setup.font_id != 255) s.font_id = setup.font_id;
  const struct {
    int16_t from;
    uint16_t* to;
  } sizes[] = {{setup.font_x_size, &s.font_x_sz},     {setup.font_y_size, &s.font_y_sz},
               {setup.border_left, &s.border_left_gap}, {setup.border_right, &s.border_right_gap},
               {setup.border_top, &s.border_top_gap},   {setup.border_bottom, &s.border_bottom_gap},
               {setup.cell_left, &s.cell_left_gap},     {setup.cell_right, &s.cell_right_gap},
               {setup.cell_top, &s.cell_top_gap},       {setup.cell_bottom, &s.cell_bottom_gap}};
  for (const auto& size : sizes)
    if (size.from >= 0) *size.to = static_cast<uint16_t>(size.from);
  for (const auto& [from, to] : {std::pair{setup.x_spacing, &s.x_spacing},
                                 std::pair{setup.y_spacing, &s.y_spacing},
                                 std::pair{setup.slider_width, &s.scrollbar_slider_width}})
    if (from != WM_STYLE_SET::UNSET) *to = from;
  init(x1, y1, x2, y2, setup.columns, setup.widths, &s, &s);
  // init has emptied the grid, so there are no rows or bar to lay out again.
  default_row_height = std::max(setup.row_height, 0);
}
