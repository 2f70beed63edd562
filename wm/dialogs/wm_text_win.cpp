// The text window: a ring of owned lines, a ring of display rows that point
// into them, wrapping at spaces, the automatic scroll bar, drawing, mouse
// selection and clicks on tagged lines.
#include "wm_text_win.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "clip_scope.h"
#include "errors.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "input.h"
#include "text_convert.h"
#include "text_file.h"
#include "text_fit.h"
#include "wm_keys.h"
#include "wm_kinds.h"
#include "wm_scrollbar.h"

namespace {

constexpr uint16_t ERROR_ROW_MEMORY = 0x90;
constexpr uint16_t ERROR_LINE_MEMORY = 0x91;
constexpr COLOUR kBlack = 0xFF000000;
// Rows one notch of the wheel moves, as text views do.
constexpr int16_t WHEEL_ROWS = 3;

bool is_set(COLOUR c) { return (c >> 24) != 0; }
int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

uint16_t text_options(uint16_t f) {
  uint16_t out = 0;
  if (f & text_win_flag::SHADOW) out |= TEXT_SHADOW;
  if (f & text_win_flag::INSET) out |= TEXT_INSET;
  if (f & text_win_flag::CHISELED) out |= TEXT_CHISELED;
  return out;
}

}  // namespace

// ---- Construction -------------------------------------------------------------

WM_TEXT_WIN::WM_TEXT_WIN(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t gap,
                         uint16_t new_capacity, uint16_t new_bar_width, const COLOUR* a,
                         const COLOUR* b, const COLOUR* c, bool selectable_text, bool is_visible,
                         WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2)
    : WM_SCREEN_OBJECT(is_visible, callback, word_1, word_2), frame(&wm_image_cache()) {
  scrollbar_style.drawing_flags = SSF_INSET_TEXT;
  scrollbar_style.scrollbar_button_width = new_bar_width;
  scrollbar_style.scrollbar_slider_width = new_bar_width;
  scrollbar_style.active_colour = a ? *a : COLOUR_INVISIBLE;
  scrollbar_style.bg_colour = b ? *b : COLOUR_INVISIBLE;
  scrollbar_style.fg_colour = c ? *c : COLOUR_INVISIBLE;
  selection_allowed = selectable_text ? 1 : 0;
  const auto g = static_cast<uint16_t>(
      std::clamp<int32_t>(WM_SCREEN_OBJECT::get_border_width(border_style) + gap, 0, 65534));
  left_gap = right_gap = top_gap = bottom_gap = g;
  init(x1, y1, x2, y2, new_capacity);
}

WM_TEXT_WIN::WM_TEXT_WIN(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
                         const WM_STYLE_SET* bar_style, uint16_t new_capacity,
                         bool selectable_text, WM_CALLBACK callback, uintptr_t word_1,
                         uintptr_t word_2)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, callback, word_1, word_2),
      frame(&wm_image_cache()) {
  WM_STYLE_SET defaults;
  const WM_STYLE_SET& s = style ? *style : defaults;
  if (bar_style) scrollbar_style.copy(*bar_style);
  selection_allowed = selectable_text ? 1 : 0;
  border_style = s.shading_type;
  background_colour = s.bg_colour;
  fading_colour = s.fading_colour;
  font_id = s.font_id;
  font_w = s.font_x_sz;
  font_h = s.font_y_sz;
  left_gap = s.border_left_gap;
  right_gap = s.border_right_gap;
  top_gap = s.border_top_gap;
  bottom_gap = s.border_bottom_gap;
  const uint32_t d = s.drawing_flags;
  border_flags = static_cast<uint16_t>(s.shading_flags & 0x7FFF);
  if ((d & SSF_DRAW_BORDER) && (d & SSF_INDENT_BORDER)) border_flags |= border_flag::PRESSED;
  uint16_t f = 0;
  if (d & SSF_DRAW_BORDER) {
    if (d & SSF_INDENT_BORDER) f |= text_win_flag::INDENTED_BORDER;
    if (d & SSF_OUTSTANDING_BORDER) f |= text_win_flag::RAISED_BORDER;
  }
  static constexpr struct {
    uint32_t style;
    uint16_t own;
  } kMap[] = {
      {SSF_HFADING, text_win_flag::HORIZONTAL_FADING},
      {SSF_VFADING, text_win_flag::VERTICAL_FADING},
      {SSF_LEFT_JUSTIFY_TEXT, text_win_flag::LEFT_JUSTIFY},
      {SSF_RIGHT_JUSTIFY_TEXT, text_win_flag::RIGHT_JUSTIFY},
      {SSF_DARKENED_BACKGROUND, text_win_flag::DARKENED_BACKGROUND},
      {SSF_SHADOW_TEXT, text_win_flag::SHADOW},
      {SSF_INSET_TEXT, text_win_flag::INSET},
      {SSF_CHISELED_TEXT, text_win_flag::CHISELED},
      {SSF_TOP_ALIGN_TEXT, text_win_flag::TOP_ALIGN},
      {SSF_BOTTOM_ALIGN_TEXT, text_win_flag::BOTTOM_ALIGN},
  };
  for (const auto& m : kMap)
    if (d & m.style) f |= m.own;
  text_flags = f;
  if (s.image_filename) set_frame(s.image_path, s.image_filename, &s);
  init(x1, y1, x2, y2, new_capacity);
}

void WM_TEXT_WIN::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t new_capacity) {
  IMAGE* s = drawing_surface();
  if (font_id == 255 && s) font_id = static_cast<uint8_t>(s->font);
  if ((font_w == 65535 || font_w < 1) && s) font_w = static_cast<uint16_t>(std::max<int16_t>(s->font_width, 1));
  // The row height divides the pointer's y: never below one pixel.
  if ((font_h == 65535 || font_h < 1) && s) font_h = s->font_height;
  if (font_h < 1) font_h = 1;
  if (font_w < 1) font_w = 1;
  const uint16_t unset_gap = static_cast<uint16_t>(WM_SCREEN_OBJECT::get_border_width(border_style) + 5);
  for (uint16_t* g : {&left_gap, &right_gap, &top_gap, &bottom_gap})
    if (*g == 65535) *g = unset_gap;
  bar_width = scrollbar_style.scrollbar_button_width;
  scroll.set_type(PARAMETER::I32);
  scroll.set_int(PARAMETER::MINIMUM, 0);
  scroll.set_int(PARAMETER::MAXIMUM, 1);
  scroll.set_int(PARAMETER::VALUE, 0);
  capacity = std::clamp<int32_t>(new_capacity, 1, INT16_MAX);
  row_capacity = capacity;
  rows.reset(new (std::nothrow) ROW[static_cast<size_t>(row_capacity)]);
  if (!rows) report_error(ERROR_ROW_MEMORY);
  lines.reset(new (std::nothrow) LINE[static_cast<size_t>(capacity)]);
  if (!lines) report_error(ERROR_LINE_MEMORY);
  redraw();
  x = x1;
  y = y1;
  const int32_t w = std::max(int32_t{x2} - x1 + 1, 1), h = std::max(int32_t{y2} - y1 + 1, 1);
  // set_size acts only on a change: start from nothing.
  width = height = 0;
  set_size(static_cast<uint16_t>(w), static_cast<uint16_t>(h), true);
  kind |= wm_kind::TEXT_WIN;
  notify_created();
}

WM_TEXT_WIN::~WM_TEXT_WIN() { clear(); }

// ---- Lines and rows ------------------------------------------------------------

bool WM_TEXT_WIN::add_text(const char* text, const char* tag, const COLOUR* colour, bool redraw_it,
                           bool allow_scrollbar) {
  if (!text || !lines) return false;
  const char* t = tag ? tag : "";
  const COLOUR c = colour ? *colour : kBlack;
  // Every LF and every CR ends a line, so CR LF leaves an empty line between.
  const char* p = text;
  for (;;) {
    const size_t n = strcspn(p, "\r\n");
    add_line(p, n, t, c, allow_scrollbar);
    if (!p[n]) break;
    p += n + 1;
  }
  if (redraw_it) redraw();
  return true;
}

void WM_TEXT_WIN::add_line(const char* text, size_t length, const char* tag, COLOUR colour,
                           bool allow_scrollbar) {
  if (line_count == capacity && growing_lines) grow_lines();
  LINE& l = lines[static_cast<size_t>(next_line)];
  l.text.assign(text, length);
  l.tag = tag;
  l.colour = colour;
  l.serial = ++line_serial;
  const int32_t index = next_line;
  next_line = (next_line + 1) % capacity;
  line_count = std::min(line_count + 1, capacity);
  drop_stale_rows();
  wrap_line(index, allow_scrollbar);
}

// The line ring doubles, oldest line first; rows follow their lines.
void WM_TEXT_WIN::grow_lines() {
  const int32_t larger = std::min(capacity * 2, kMostLines);
  if (larger <= capacity) return;
  std::unique_ptr<LINE[]> more(new (std::nothrow) LINE[static_cast<size_t>(larger)]);
  if (!more) return;
  const int32_t oldest = line_count < capacity ? 0 : next_line;
  for (int32_t i = 0; i < line_count; ++i)
    more[static_cast<size_t>(i)] = std::move(lines[static_cast<size_t>((oldest + i) % capacity)]);
  for (int32_t i = 0; i < row_capacity; ++i) {
    ROW& r = rows[static_cast<size_t>(i)];
    if (r.line != NONE) r.line = (r.line - oldest + capacity) % capacity;
  }
  lines = std::move(more);
  capacity = larger;
  next_line = line_count;
}

// Rows of lines the ring has given up go with them, so that every row
// counted belongs to a line still held.
void WM_TEXT_WIN::drop_stale_rows() {
  while (row_count > 0 && !used_row(first_row)) {
    if (sel_start_row == first_row || sel_end_row == first_row) clear_selection();
    rows[static_cast<size_t>(first_row)] = ROW{};
    first_row = (first_row + 1) % row_capacity;
    --row_count;
  }
}

// The row ring doubles when a held line needs another row, oldest row
// first, so that wrapping never pushes out the rows of kept lines.
bool WM_TEXT_WIN::grow_rows() {
  const int64_t wanted = int64_t{row_capacity} * 2;
  if (wanted > kMostRows) return false;
  const auto larger = static_cast<int32_t>(wanted);
  std::unique_ptr<ROW[]> more(new (std::nothrow) ROW[static_cast<size_t>(larger)]);
  if (!more) return false;
  auto moved = [&](int32_t row) { return row == NONE ? NONE : age(row); };
  sel_start_row = moved(sel_start_row);
  sel_end_row = moved(sel_end_row);
  anchor_row = moved(anchor_row);
  press_row = moved(press_row);
  for (int32_t i = 0; i < row_count; ++i)
    more[static_cast<size_t>(i)] = rows[static_cast<size_t>((first_row + i) % row_capacity)];
  rows = std::move(more);
  row_capacity = larger;
  first_row = 0;
  next_row = row_count;
  return true;
}

int32_t WM_TEXT_WIN::char_width(uint32_t code) {
  IMAGE* s = drawing_surface();
  if (!s) return 1;
  const uint64_t font = uint64_t{font_id} << 32 | uint64_t{font_w} << 16 | font_h;
  if (font != widths_font) {
    std::fill(std::begin(widths_known), std::end(widths_known), false);
    widths_font = font;
  }
  if (code < 256 && widths_known[code]) return code_widths[code];
  const int32_t w = character_width(s, {font_id, font_w, static_cast<int16_t>(font_h)}, code);
  if (code < 256) {
    code_widths[code] = w;
    widths_known[code] = true;
  }
  return w;
}

int32_t WM_TEXT_WIN::available_width() const {
  return int32_t{width} - left_gap - right_gap - 2 - (scrollbar ? bar_width : 0);
}

bool WM_TEXT_WIN::wrap_line(int32_t line, bool allow_scrollbar) {
  if (!rows) return false;
  const LINE& l = lines[static_cast<size_t>(line)];
  const char* text = l.text.c_str();
  const int32_t avail = available_width();
  int32_t start = 0;
  bool run = false;
  for (;;) {
    if (row_count == row_capacity && !grow_rows()) {
      // Past the largest ring the oldest row gives way.
      if (sel_start_row == first_row) clear_selection();
      first_row = (first_row + 1) % row_capacity;
      --row_count;
    }
    const int32_t index = next_row;
    ROW& r = rows[static_cast<size_t>(index)];
    r = ROW{line, l.serial, start, 0, run};
    if (sel_start_row == index) clear_selection();
    next_row = (next_row + 1) % row_capacity;
    ++row_count;

    // k characters fit; `code` ends as the first that does not.
    SYSTEM_TEXT_WALKER cursor(text, start, run);
    int32_t k = 0, used = 0;
    uint32_t code;
    bool overflow = false;
    int32_t last_space = -1;  // the last space among characters 1 .. k - 1
    int32_t after_space = 0;
    bool after_space_run = false;
    int32_t last_mark = -1;  // the last "/" or "." among characters 1 .. k - 1
    int32_t after_mark = 0;
    bool after_mark_run = false;
    while (cursor.next(code)) {
      const int32_t w = char_width(code);
      if (used + w > avail && k > 0) {
        overflow = true;
        break;
      }
      if (used + w > avail) {
        // Not even one character fits: it takes the row alone.
        ++k;
        overflow = cursor.offset() < static_cast<int32_t>(l.text.size());
        if (overflow) cursor.next(code);
        break;
      }
      used += w;
      if (code == ' ' && k >= 1) {
        last_space = k;
        after_space = cursor.offset();
        after_space_run = cursor.in_run();
      } else if ((code == '/' || code == '.') && k >= 1) {
        last_mark = k;
        after_mark = cursor.offset();
        after_mark_run = cursor.in_run();
      }
      ++k;
    }
    if (!overflow) {
      r.length = k;
      break;
    }
    // `code` is the character at k, the first that did not fit.
    int32_t rest;
    bool rest_run;
    if (code == ' ') {
      r.length = k;
      rest = cursor.offset();
      rest_run = cursor.in_run();
    } else if (last_space >= 1) {
      r.length = last_space;
      rest = after_space;
      rest_run = after_space_run;
    } else if (last_mark >= 1 && last_mark >= k - std::max(k / 3, 1)) {
      // A word longer than the row (an address) breaks after a "/" or "."
      // near the end of the row, which stays on this row.
      r.length = last_mark + 1;
      rest = after_mark;
      rest_run = after_mark_run;
    } else {
      // A hard break inside the word: the rest begins at character k.
      r.length = k;
      SYSTEM_TEXT_WALKER again(text, start, run);
      for (int32_t i = 0; i < k; ++i) again.next(code);
      rest = again.offset();
      rest_run = again.in_run();
    }
    // Spaces at the break belong to neither row.
    SYSTEM_TEXT_WALKER skip(text, rest, rest_run);
    int32_t at = rest;
    bool at_run = rest_run;
    while (skip.next(code) && code == ' ') {
      at = skip.offset();
      at_run = skip.in_run();
    }
    if (at >= static_cast<int32_t>(l.text.size())) break;
    start = at;
    run = at_run;
  }

  if (!scrollbar && row_count <= last_visible_row + 1) return false;
  if (!scrollbar) {
    row_step = 0.0;
    if (!allow_scrollbar) return false;
    make_scrollbar();
    return true;
  }
  update_scrollbar();
  return false;
}

bool WM_TEXT_WIN::make_scrollbar() {
  const int32_t right = x + width - 1, bottom = y + height - 1;
  scroll.set_int(PARAMETER::MINIMUM, 0);
  if (scroll.get_int(PARAMETER::MAXIMUM) < 1) scroll.set_int(PARAMETER::MAXIMUM, 1);
  scrollbar = new WM_SCROLLBAR(i16(right - bar_width), i16(y + 3), i16(right - 3), i16(bottom - 3),
                               &scroll, &scrollbar_style, on_scroll,
                               reinterpret_cast<uintptr_t>(this), 0);
  scrollbar->visible = visible;
  // The wheel moves three rows; a page keeps one row of the last view.
  scrollbar->wheel_step = WHEEL_ROWS;
  scrollbar->page_step = std::max(last_visible_row, 1);
  scrollbar->invalidate();
  // The text area has become narrower: everything wraps again.
  empty_rows();
  wrap_all();
  scroll.set_int(PARAMETER::VALUE, keep_at_top ? scroll.get_int(PARAMETER::MAXIMUM) : 0);
  const int32_t visible_count = last_visible_row + 1;
  row_step = capacity > visible_count
                 ? double(scrollbar->get_track_length() - bar_width) / (capacity - visible_count)
                 : 0.0;
  add_child(scrollbar, false);
  update_scrollbar();
  return true;
}

void WM_TEXT_WIN::update_scrollbar() {
  if (!scrollbar) return;
  const int32_t hidden = std::max(row_count - (last_visible_row + 1), 0);
  const int32_t track = scrollbar->get_track_length();
  double length = track;
  if (row_step != 0.0) {
    // Wrapped lines can hide more rows than the ring has lines: the slider
    // stops at its smallest size.
    length = track - hidden * row_step;
  } else if (hidden > 0) {
    // Fewer lines than the view has rows give no step; their wrapped rows
    // may still hide some, and the slider shows the view's share of them.
    length = double(track) * (last_visible_row + 1) / row_count;
  }
  // Set even when nothing is hidden: a ring that dropped a long wrapped line
  // leaves no hidden row, and the slider then fills its track.
  scrollbar->set_slider_length(i16(static_cast<int32_t>(std::lround(std::max<double>(length, bar_width)))));
  scrollbar->layout();
  scroll.set_int(PARAMETER::MAXIMUM, hidden);
  if (keep_at_top) scroll.set_int(PARAMETER::VALUE, scroll.get_int(PARAMETER::MAXIMUM));
}

void WM_TEXT_WIN::remove_scrollbar() {
  if (!scrollbar) return;
  WM_SCROLLBAR* bar = scrollbar;
  scrollbar = nullptr;
  remove_child(bar, true, false);
  row_step = 0.0;
}

void WM_TEXT_WIN::empty_rows() {
  for (int32_t i = 0; i < row_capacity; ++i) rows[static_cast<size_t>(i)] = ROW{};
  first_row = next_row = 0;
  row_count = 0;
  clear_selection();
}

void WM_TEXT_WIN::wrap_all() {
  const int32_t oldest = line_count < capacity ? 0 : next_line;
  for (int32_t i = 0; i < line_count; ++i) {
    // A wrap that makes the scroll bar has wrapped everything itself.
    if (wrap_line((oldest + i) % capacity, true)) return;
  }
}

void WM_TEXT_WIN::rewrap() {
  redraw();
  empty_rows();
  wrap_all();
}

void WM_TEXT_WIN::set_size(uint16_t w, uint16_t h, bool resize_children) {
  if (w == width && h == height) return;
  WM_SCREEN_OBJECT::set_size(w, h, resize_children);
  remove_scrollbar();
  scroll.set_int(PARAMETER::MAXIMUM, 1);
  scroll.set_int(PARAMETER::VALUE, 0);
  last_visible_row = (int32_t{h} - top_gap - bottom_gap - 2) / font_h - 1;
  if (last_visible_row < -1) last_visible_row = -1;
  redraw();
  if (!rows) return;
  empty_rows();
  wrap_all();
}

void WM_TEXT_WIN::clear() {
  clear_selection();
  redraw();
  if (lines)
    for (int32_t i = 0; i < capacity; ++i) lines[static_cast<size_t>(i)] = LINE{};
  if (rows) empty_rows();
  next_line = line_count = 0;
  remove_scrollbar();
  scroll.set_int(PARAMETER::MAXIMUM, 1);
  scroll.set_int(PARAMETER::VALUE, 0);
  left_pressed = second_pressed = 0;
  dragging = false;
  press_row = NONE;
}

bool WM_TEXT_WIN::load_text_file(const FOLDER& folder, const char* name, const COLOUR* colour,
                                 bool whole) {
  TEXT_FILE* file = folder.open_text_file(name, 0);
  if (!file) return false;
  file->line_size = LINE_LIMIT;
  char buffer[LINE_LIMIT];
  bool added = false;
  growing_lines = whole;
  while (file->read_line(buffer)) {
    add_text(buffer, "", colour, visible != 0, true);
    added = true;
  }
  growing_lines = false;
  FOLDER::close_text_file(file);
  return added;
}

bool WM_TEXT_WIN::set_frame(const char* path, const char* name, const WM_STYLE_SET* style) {
  if (style && style->is_loaded()) {
    if (style->state_images[STYLE_IMAGE_BASE]) frame.copy(*style->state_images[STYLE_IMAGE_BASE]);
  } else if (!name) {
    frame.clear();
    return false;
  } else {
    frame.load(path, name, skin_load_flags);
  }
  redraw();
  return frame.is_loaded();
}

bool WM_TEXT_WIN::set_frame(const FOLDER& folder, const char* name, const WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE];
  if (!folder.get_path_text(path, sizeof path, nullptr)) path[0] = 0;
  return set_frame(path, name, style);
}

void WM_TEXT_WIN::redraw() {
  if (visible) invalidate();
}

// ---- Row geometry ----------------------------------------------------------------

const WM_TEXT_WIN::LINE* WM_TEXT_WIN::line_of(const ROW& r) const {
  if (r.line < 0 || r.line >= capacity) return nullptr;
  const LINE& l = lines[static_cast<size_t>(r.line)];
  return l.serial == r.serial ? &l : nullptr;
}

const WM_TEXT_WIN::ROW* WM_TEXT_WIN::used_row(int32_t row) const {
  if (!rows || row < 0 || row >= row_capacity) return nullptr;
  const ROW& r = rows[static_cast<size_t>(row)];
  return line_of(r) ? &r : nullptr;
}

WM_TEXT_WIN::ROW_VIEW WM_TEXT_WIN::get_row(int32_t row) const {
  const ROW* r = used_row(row);
  if (!r) return {};
  return {line_of(*r)->text.c_str() + r->start, r->length, r->run_open};
}

int32_t WM_TEXT_WIN::row_width(int32_t row, int32_t count) {
  const ROW* r = used_row(row);
  if (!r) return 0;
  SYSTEM_TEXT_WALKER c(line_of(*r)->text.c_str(), r->start, r->run_open);
  int32_t w = 0;
  uint32_t code;
  for (int32_t i = 0; i < std::min(count, r->length) && c.next(code); ++i) w += char_width(code);
  return w;
}

int32_t WM_TEXT_WIN::age(int32_t row) const {
  return ((row - first_row) % row_capacity + row_capacity) % row_capacity;
}

int32_t WM_TEXT_WIN::row_at_age(int32_t n) const {
  if (n < 0 || n >= row_count) return NONE;
  return (first_row + n) % row_capacity;
}

int32_t WM_TEXT_WIN::first_shown_row() const {
  const int32_t visible_count = last_visible_row + 1;
  if (row_count <= visible_count) return first_row;  // all fit: the oldest row on top
  const int64_t first = int64_t{next_row} - 1 - last_visible_row - scroll.get_int(PARAMETER::VALUE);
  return static_cast<int32_t>(((first % row_capacity) + row_capacity) % row_capacity);
}

int32_t WM_TEXT_WIN::shown_count() const {
  return std::clamp(last_visible_row + 1, 0, row_capacity);
}

int32_t WM_TEXT_WIN::used_shown_count() const {
  int32_t n = 0;
  for (int32_t i = 0; i < shown_count(); ++i)
    if (shown_row(i) != NONE) ++n;
  return n;
}

int32_t WM_TEXT_WIN::shown_row(int32_t n) const {
  if (n < 0 || n >= shown_count()) return NONE;
  const int32_t row = (first_shown_row() + n) % row_capacity;
  return used_row(row) ? row : NONE;
}

RECT WM_TEXT_WIN::text_area() const {
  return RECT{x + left_gap, y + top_gap,
              x + width - 1 - right_gap - (scrollbar ? bar_width : 0), y + height - 1 - bottom_gap};
}

int32_t WM_TEXT_WIN::rows_offset() const {
  if (text_flags & text_win_flag::TOP_ALIGN) return 0;
  const int32_t spare = int32_t{height} - top_gap - bottom_gap - font_h * used_shown_count();
  return (text_flags & text_win_flag::BOTTOM_ALIGN) ? spare : spare / 2;
}

int32_t WM_TEXT_WIN::row_x(int32_t w) const {
  const RECT a = text_area();
  if (text_flags & text_win_flag::LEFT_JUSTIFY) return a.x1;
  if (text_flags & text_win_flag::RIGHT_JUSTIFY) return a.x2 - w;
  return a.x1 + (a.width() - w) / 2;
}

int32_t WM_TEXT_WIN::row_under(int32_t py) const {
  const int32_t dy = py - (y + top_gap + rows_offset());
  if (dy < 0) return NONE;
  return shown_row(dy / font_h);
}

int32_t WM_TEXT_WIN::char_at(int32_t row, int32_t screen_x) {
  const ROW* r = used_row(row);
  if (!r || r->length == 0) return 0;
  const int32_t dx = screen_x - row_x(row_width(row, r->length));
  SYSTEM_TEXT_WALKER c(line_of(*r)->text.c_str(), r->start, r->run_open);
  int32_t w = 0;
  uint32_t code;
  for (int32_t k = 0; k < r->length && c.next(code); ++k) {
    w += char_width(code);
    if (w > dx) return k;
  }
  return r->length - 1;
}

// ---- Selection -------------------------------------------------------------------

void WM_TEXT_WIN::clear_selection() {
  if (sel_start_row != NONE) redraw();
  sel_start_row = sel_end_row = NONE;
  sel_start_char = sel_end_char = -1;
  anchor_row = NONE;
  anchor_char = -1;
}

void WM_TEXT_WIN::select_to(int32_t row, int32_t character) {
  const bool pointer_first = age(row) < age(anchor_row) ||
                             (row == anchor_row && character < anchor_char);
  if (pointer_first) {
    sel_start_row = row;
    sel_start_char = character;
    sel_end_row = anchor_row;
    sel_end_char = anchor_char;
  } else {
    sel_start_row = anchor_row;
    sel_start_char = anchor_char;
    sel_end_row = row;
    sel_end_char = character;
  }
}

size_t WM_TEXT_WIN::get_selected_text(char* buffer, size_t size) const {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  if (sel_start_row == NONE || sel_end_row == NONE) return 0;
  size_t at = 0;
  const int32_t count = age(sel_end_row) - age(sel_start_row) + 1;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t row = (sel_start_row + i) % row_capacity;
    const ROW* r = used_row(row);
    if (!r) continue;
    const int32_t first = row == sel_start_row ? std::max(sel_start_char, 0) : 0;
    const int32_t last = row == sel_end_row ? std::min(sel_end_char, r->length - 1) : r->length - 1;
    SYSTEM_TEXT_WALKER c(line_of(*r)->text.c_str(), r->start, r->run_open);
    bool run = false;
    uint32_t code;
    for (int32_t k = 0; k <= last && c.next(code); ++k) {
      if (k < first) continue;
      char one[SYSTEM_CHAR_MAX_BYTES];
      bool after = run;
      const size_t n = system_char_encode(code, after, one);
      // Room for the character, the byte closing its run and the terminator.
      if (at + n + (after ? 1 : 0) + 1 > size) break;
      memcpy(buffer + at, one, n);
      at += n;
      run = after;
    }
    if (run) buffer[at++] = 1;
    if (at + 2 > size) break;
    buffer[at++] = ' ';
  }
  buffer[at] = 0;
  return at;
}

// ---- Drawing ---------------------------------------------------------------------

void WM_TEXT_WIN::draw_background(IMAGE* s) {
  const auto x2 = i16(x + width - 1), y2 = i16(y + height - 1);
  const auto corners = static_cast<uint8_t>((border_flags >> 4) & 15);
  if (text_flags & text_win_flag::DARKENED_BACKGROUND) {
    if (corners)
      s->fill_round_rect_gradient(x, y, x2, y2, -1, corners, &kBlack, &kBlack, 50,
                                  IMAGE::ROUND_FILL_DARKEN);
    else
      s->darken_rect(x, y, x2, y2, 50);
    return;
  }
  if (!is_set(background_colour)) return;
  const bool hfade = text_flags & text_win_flag::HORIZONTAL_FADING;
  const bool vfade = text_flags & text_win_flag::VERTICAL_FADING;
  if (corners) {
    const uint8_t mode = hfade   ? IMAGE::ROUND_FILL_HORIZONTAL
                         : vfade ? IMAGE::ROUND_FILL_VERTICAL
                                 : IMAGE::ROUND_FILL_BLEND;
    s->fill_round_rect_gradient(x, y, x2, y2, -1, corners, &background_colour,
                                (hfade || vfade) ? &fading_colour : &kBlack, 0, mode);
  } else if (hfade) {
    s->fill_gradient_h(x, y, x2, y2, &background_colour, &fading_colour, true);
  } else if (vfade) {
    s->fill_gradient_v(x, y, x2, y2, &background_colour, &fading_colour, true);
  } else {
    s->fill_rect(x, y, x2, y2, &background_colour, true);
  }
}

void WM_TEXT_WIN::draw_row(IMAGE* s, int32_t row, int32_t top) {
  const ROW* r = used_row(row);
  if (!r || r->length == 0) return;
  const LINE* l = line_of(*r);
  const char* text = l->text.c_str();
  const int32_t total = row_width(row, r->length);
  int32_t pen = row_x(total);

  // The selected characters of this row: [a, b).
  int32_t a = 0, b = 0;
  if (sel_start_row != NONE && sel_end_row != NONE) {
    const int32_t g = age(row), gs = age(sel_start_row), ge = age(sel_end_row);
    if (g >= gs && g <= ge) {
      a = g == gs ? std::max(sel_start_char, 0) : 0;
      b = g == ge ? std::min(sel_end_char + 1, r->length) : r->length;
    }
  }
  COLOUR inverted;
  colour_text_for(&inverted, &l->colour);
  const uint16_t options = text_options(text_flags);
  SYSTEM_TEXT_WALKER c(text, r->start, r->run_open);
  // Three runs of characters: before, inside and after the selection.
  const int32_t ends[3] = {std::max(a, 0), std::max(b, a), r->length};
  int32_t k = 0;
  for (int part = 0; part < 3; ++part) {
    const int32_t from = c.offset();
    const bool run = c.in_run();
    int32_t w = 0, n = 0;
    uint32_t code;
    while (k < ends[part] && c.next(code)) {
      w += char_width(code);
      ++k;
      ++n;
    }
    if (n == 0) continue;
    const COLOUR* ink = &l->colour;
    if (part == 1) {
      s->fill_rect(i16(pen), i16(top), i16(pen + w - 1), i16(top + font_h - 1), &l->colour, true);
      ink = &inverted;
    }
    s->draw_text(i16(pen), i16(top), ink, nullptr, nullptr, static_cast<int8_t>(font_id),
                 static_cast<int16_t>(font_w), static_cast<int16_t>(font_h), text + from, options,
                 n, run ? 1 : 0);
    pen += w;
  }
}

void WM_TEXT_WIN::draw() {
  IMAGE* s = drawing_surface();
  if (!s) return;
  CLIP_SCOPE keep(s);
  s->clip_to(x, y, i16(x + width - 1), i16(y + height - 1));
  if (s->clip_is_empty()) return;
  if (frame.is_loaded()) {
    frame.draw(static_cast<uint16_t>(x), static_cast<uint16_t>(y),
               static_cast<uint16_t>(x + width - 1), static_cast<uint16_t>(y + height - 1), 1, s,
               BLIT_BLEND);
  } else {
    draw_background(s);
    if (text_flags & text_win_flag::INDENTED_BORDER)
      draw_border(x, y, i16(x + width - 1), i16(y + height - 1),
                  static_cast<uint16_t>(border_flags | border_flag::PRESSED), &background_colour,
                  border_style, AUTO_BORDER_RADIUS);
    else if (text_flags & text_win_flag::RAISED_BORDER)
      draw_border(x, y, i16(x + width - 1), i16(y + height - 1),
                  static_cast<uint16_t>(border_flags & ~border_flag::PRESSED), &background_colour,
                  border_style, AUTO_BORDER_RADIUS);
  }
  {
    // No glyph, shadow or selection leaves the text area.
    CLIP_SCOPE rows_clip(s);
    const TEXT_LINE_PLACE place =
        place_text_line(s, {font_id, font_w, static_cast<int16_t>(font_h)}, text_area(),
                        y + top_gap + rows_offset(), {x, y, x + width - 1, y + height - 1});
    const int32_t top = place.top;
    s->clip_to(place.clip);
    if (!s->clip_is_empty()) {
      for (int32_t i = 0; i < shown_count(); ++i) {
        const int32_t row = shown_row(i);
        if (row != NONE) draw_row(s, row, top + i * font_h);
      }
    }
  }
  if (focus_object == this) {
    // Inside the border, beside the bar, in the colour of the text in view.
    const int32_t inset = get_border_width(border_style) + 1;
    const ROW* r = used_row(shown_row(0));
    const LINE* l = r ? line_of(*r) : nullptr;
    draw_focus_ring(s, x + inset, y + inset,
                    x + width - 1 - inset - (scrollbar ? bar_width : 0), y + height - 1 - inset,
                    l ? l->colour : border_theme.inner_outline);
  }
}

// ---- Mouse -----------------------------------------------------------------------

int32_t WM_TEXT_WIN::on_scroll(WM_SCREEN_OBJECT*, uintptr_t window, uintptr_t) {
  reinterpret_cast<WM_TEXT_WIN*>(window)->redraw();
  return 0;
}

void WM_TEXT_WIN::handle_keys() {
  const uint32_t key = key_queue.peek_last_key();
  if (!scrollbar || !key) return;
  if (focus_object != this &&
      !((key == wm_key::PAGE_UP || key == wm_key::PAGE_DOWN) && pages_for_focused_button()))
    return;
  // Home and End reach the ends of the text with or without Control.
  const bool control = key == wm_key::HOME || key == wm_key::END ||
                       key_down(wm_key::CONTROL_L) || key_down(wm_key::CONTROL_R);
  // The bar sees the new value and calls on_scroll, which redraws.
  if (scrollbar->scroll_by_key(key, control)) key_queue.get_last_key();
}

bool WM_TEXT_WIN::pages_for_focused_button() const {
  const WM_SCREEN_OBJECT* focus = focus_object;
  if (!focus || !(focus->kind & wm_kind::BUTTON)) return false;
  auto page_of = [](const WM_SCREEN_OBJECT* o) {
    while (o->parent) o = o->parent;
    return o;
  };
  const WM_SCREEN_OBJECT* page = page_of(this);
  if (page_of(focus) != page) return false;
  // Nothing else on the page scrolls: the only scroll bar shown is ours.
  int32_t bars = 0;
  const auto count = [&bars](const auto& self, const WM_SCREEN_OBJECT* o) -> void {
    if (!o->visible) return;
    if (o->kind & wm_kind::SCROLLBAR) ++bars;
    for (const WM_SCREEN_OBJECT* child : o->children) self(self, child);
  };
  count(count, page);
  return bars == 1;
}

int32_t WM_TEXT_WIN::process() {
  if (const int32_t result = WM_SCREEN_OBJECT::process()) return result;
  if (!visible) return 0;
  handle_keys();
  if (!selection_allowed && sel_start_row != NONE) clear_selection();

  const int32_t px = mouse.x == MOUSE::OUTSIDE ? -1 : mouse.x;
  const int32_t py = mouse.y == MOUSE::OUTSIDE ? -1 : mouse.y;
  const int32_t right = x + width - 1 - (scrollbar ? bar_width : 0);
  const int32_t bottom = y + height - 1;
  const bool inside = mouse.x != MOUSE::OUTSIDE && px > x && px < right && py > y && py < bottom;
  const bool left_down = (mouse.buttons & MOUSE::LEFT) != 0;
  const bool second_down = (mouse.buttons & MOUSE::RIGHT) != 0;
  const int32_t pointer_row = inside ? row_under(py) : NONE;
  // The wheel turned over the text scrolls it, as over its bar.
  if (inside && scrollbar && WM_SCROLLBAR::scroll_target() != scrollbar) scrollbar->make_scroll_target();

  if (left_down && inside && !left_pressed) {
    left_pressed = 1;
    dragging = false;
    press_x = static_cast<int16_t>(px);
    press_y = static_cast<int16_t>(py);
    press_row = selection_allowed ? pointer_row : NONE;
  } else if (left_down && left_pressed && selection_allowed && inside &&
             (px != press_x || py != press_y)) {
    if (!dragging) {
      dragging = true;
      clear_selection();
      if (press_row != NONE) {
        anchor_row = press_row;
        anchor_char = char_at(press_row, press_x);
        sel_start_row = sel_end_row = anchor_row;
        sel_start_char = sel_end_char = anchor_char;
      }
      press_row = NONE;
    }
    if (anchor_row != NONE && pointer_row != NONE) select_to(pointer_row, char_at(pointer_row, px));
    if (py < y + top_gap + font_h)
      scroll.set_int(PARAMETER::VALUE, scroll.get_int(PARAMETER::VALUE) + 1);
    else if (py > bottom - bottom_gap - font_h)
      scroll.set_int(PARAMETER::VALUE, scroll.get_int(PARAMETER::VALUE) - 1);
    redraw();
  }
  if (second_down && inside && row_count > 0) second_pressed = 1;

  const bool left_released = left_pressed && !left_down;
  const bool second_released = second_pressed && !second_down;
  if (!left_released && !second_released) return 0;
  const bool drag_end = left_released && selection_allowed && dragging &&
                        (px != press_x || py != press_y);
  left_pressed = left_down ? 1 : 0;
  second_pressed = second_down ? 1 : 0;
  dragging = false;
  press_row = NONE;
  // A release away from the text drops the press: it is no click.
  if (!inside || drag_end) return 0;
  clear_selection();
  const ROW* r = used_row(pointer_row);
  const LINE* l = r ? line_of(*r) : nullptr;
  if (!l || l->tag.empty()) return 0;
  clicked_tag = l->tag.c_str();
  const LIFE_WATCH watch(this);
  const int32_t result = fire_callback(action_callback != nullptr);
  if (watch.alive()) clicked_tag = nullptr;
  return result;
}
