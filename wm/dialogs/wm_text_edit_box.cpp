#include "wm_text_edit_box.h"

#include <algorithm>

#include "clip_scope.h"
#include "font.h"
#include "input.h"
#include "text_fit.h"

namespace {

constexpr uint32_t KEY_HOME = 0xFF50;
constexpr uint32_t KEY_UP = 0xFF52;
constexpr uint32_t KEY_DOWN = 0xFF54;
constexpr uint32_t KEY_END = 0xFF57;
constexpr uint32_t KEY_CONTROL_L = 0xFFE3;
constexpr uint32_t KEY_CONTROL_R = 0xFFE4;

}  // namespace

WM_TEXT_EDIT_BOX::WM_TEXT_EDIT_BOX(int16_t nx, int16_t ny, uint16_t w, uint16_t h,
                                   uint16_t max, const char* initial, const WM_STYLE_SET* style,
                                   WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2)
    : WM_TEXT_EDIT(nx, ny, w, max, initial, style, callback, word_1, word_2) {
  height = std::max(height, h);
}

int32_t WM_TEXT_EDIT_BOX::shown_start(const LINE& line) const {
  return line.length > 0 && chars[static_cast<size_t>(line.start)] == '\n' ? line.start + 1 : line.start;
}

// Breaks before a character that would reach the box's right edge, back at
// the last space of the line when there is one, and at every line feed (a
// line that begins with its own line feed does not break there again);
// each line keeps at least one character. Spaces at a wrapped line's start
// stay with the line before.
void WM_TEXT_EDIT_BOX::lay_out(METRICS& m) {
  const char32_t* t = chars.c_str();
  const int32_t n = length();
  const int32_t area = int32_t{width} - 1 - left_gap - right_gap;
  line_list.assign(1, LINE{0, n});
  int32_t start = 0, used = 0;
  for (int32_t i = 0; i < n; ++i) {
    used += m.advance(t[i]);
    const bool feed = t[i] == '\n';
    if (!feed && used < area) continue;
    int32_t next = i;
    if (feed) {
      if (i == start && line_list.size() > 1) continue;
    } else {
      int32_t space = i;
      while (space > start && t[space] != ' ') --space;
      if (t[space] == ' ') next = space;
      while (next < n && t[next] == ' ') ++next;
      if (next <= start) continue;
    }
    line_list.back().length = next - start;
    line_list.push_back(LINE{next, n - next});
    start = next;
    if (next > i + 1) i = next - 1;
    used = m.width(t + start, i - start + 1);
  }
  caret = static_cast<int16_t>(std::clamp<int32_t>(caret, 0, n));
  caret_line = 0;
  for (size_t k = 1; k < line_list.size(); ++k) {
    if (shown_start(line_list[k]) <= caret) caret_line = static_cast<uint16_t>(k);
  }
  caret_column = static_cast<uint16_t>(caret - shown_start(line_list[caret_line]));
}

void WM_TEXT_EDIT_BOX::draw() {
  IMAGE* s = surface();
  CLIP_SCOPE keep(s);
  s->clip_to(x, y, to_i16(x + int32_t{width} - 1), to_i16(y + int32_t{height} - 1));
  if (s->clip_is_empty()) return;
  draw_box(s, false);
  METRICS m = metrics();
  m.stars = false;
  lay_out(m);

  const int32_t tx = x + left_gap;
  const int32_t bottom = y + int32_t{height} - 1 - bottom_gap;
  const int32_t fh = resolved_font_height();
  const TEXT_LINE_PLACE place = place_text_line(
      s, {font, font_width, static_cast<int16_t>(font_height)},
      {tx, y + top_gap, x + int32_t{width} - 1 - right_gap, bottom}, y + top_gap,
      {x, y, x + int32_t{width} - 1, y + int32_t{height} - 1});
  const int32_t ty = place.top;
  s->clip_to(place.clip);
  if (s->clip_is_empty()) return;
  const uint16_t effects = enabled ? 0 : TEXT_CHISELED;
  for (size_t k = 0; k < line_list.size(); ++k) {
    const int32_t line_y = ty + static_cast<int32_t>(k) * fh;
    if (line_y > bottom) break;
    const int32_t first = shown_start(line_list[k]);
    const int32_t count = line_list[k].start + line_list[k].length - first;
    if (count <= 0) continue;
    s->draw_text(to_i16(tx), to_i16(line_y), &text_colour, nullptr, nullptr,
                 static_cast<int8_t>(font), static_cast<int16_t>(font_width),
                 static_cast<int16_t>(font_height), system_text(first, count).c_str(), effects);
  }
  if (focus_object == this && !keyboard_pending()) {
    const int32_t cx = tx + m.width(chars.c_str() + shown_start(line_list[caret_line]), caret_column);
    const int32_t cy = ty + caret_line * fh;
    s->fill_rect(to_i16(cx), to_i16(cy), to_i16(cx), to_i16(cy + fh - 1), &caret_colour, true);
  }
}

void WM_TEXT_EDIT_BOX::move_by_line(uint32_t key, bool ctrl) {
  const int32_t n = length();
  const size_t line = std::min<size_t>(caret_line, line_list.size() - 1);
  // The start of a wrapped next line shows on that line, so this one ends
  // a character before it.
  const auto line_end = [&](size_t k) {
    const int32_t first = shown_start(line_list[k]);
    const int32_t end = std::min(n, line_list[k].start + line_list[k].length);
    if (k + 1 < line_list.size() && end < n && chars[static_cast<size_t>(end)] != '\n')
      return std::max(first, end - 1);
    return end;
  };
  const auto column_of = [&](size_t k) {
    return std::min(shown_start(line_list[k]) + int32_t{caret_column}, line_end(k));
  };
  int32_t c = caret;
  if (key == KEY_UP) {
    if (line > 0) c = column_of(line - 1);
  } else if (key == KEY_DOWN) {
    if (line + 1 < line_list.size()) c = column_of(line + 1);
  } else if (key == KEY_HOME) {
    c = ctrl ? 0 : shown_start(line_list[line]);
  } else {
    c = ctrl ? n : line_end(line);
  }
  caret = static_cast<int16_t>(std::clamp<int32_t>(c, 0, n));
  redraw();
}

int32_t WM_TEXT_EDIT_BOX::process() {
  // The change notice and the field's own callbacks may delete the box.
  const LIFE_WATCH watch(this);
  int32_t result = 0;
  if (focus_object == this && !line_list.empty() && enabled && visible) {
    if (key_queue.peek() == '\n') {
      key_queue.pop();
      if (!filter || filter('\n')) insert_at_caret('\n');
      result = change_notice();
      if (!watch.alive()) return result;
    }
    const uint32_t key = key_queue.peek_last_key();
    if (key == KEY_UP || key == KEY_DOWN || key == KEY_HOME || key == KEY_END) {
      key_queue.get_last_key();
      move_by_line(key, key_down(KEY_CONTROL_L) || key_down(KEY_CONTROL_R));
    }
  }
  if (result != 0) return result;
  result = WM_TEXT_EDIT::process();
  if (watch.alive()) clear_selection();
  return result;
}
