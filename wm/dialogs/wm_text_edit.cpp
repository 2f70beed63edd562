#include "wm_text_edit.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "clip_scope.h"
#include "default_dialog_styles.h"
#include "font.h"
#include "image_cache.h"
#include "input.h"
#include "screen.h"
#include "system_info.h"
#include "text_fit.h"
#include "wm_keyboard_dialog.h"
#include "wm_page_manager.h"

KEYBOARD_HOOKS keyboard_hooks = {WM_KEYBOARD_DIALOG::open_for_field,
                                   WM_KEYBOARD_DIALOG::close_for_field,
                                   WM_KEYBOARD_DIALOG::is_shown};
uint8_t use_onscreen_keyboard = 255;
WM_KEYBOARD_DIALOG* keyboard_dialog = nullptr;

namespace {

constexpr uint32_t KEY_RETURN = 0xFF0D;
constexpr uint32_t KEY_HOME = 0xFF50;
constexpr uint32_t KEY_LEFT = 0xFF51;
constexpr uint32_t KEY_RIGHT = 0xFF53;
constexpr uint32_t KEY_END = 0xFF57;
constexpr uint32_t KEY_DELETE = 0xFFFF;
constexpr uint32_t KEY_SHIFT_L = 0xFFE1;
constexpr uint32_t KEY_SHIFT_R = 0xFFE2;
constexpr uint32_t KEY_CONTROL_L = 0xFFE3;
constexpr uint32_t KEY_CONTROL_R = 0xFFE4;
constexpr uint8_t BACKSPACE = 8;

// The field the open keyboard types for; compared only.
const WM_TEXT_EDIT* keyboard_field = nullptr;

bool is_set(COLOUR c) { return (c >> 24) != 0; }

// Letters of the system's 8-bit set, Latin-1, whatever the C library's
// locale says; characters above 255 count as letters of other scripts.
bool is_letter(uint32_t c) {
  if (c > 255) return true;
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == 0xAA || c == 0xB5 || c == 0xBA ||
         (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}
bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t WM_TEXT_EDIT::METRICS::advance(uint32_t c) {
  if (stars) c = '*';
  if (c < 256 && advances[c] >= 0) return advances[c];
  const int32_t w = character_width(s, {static_cast<uint8_t>(font), fw, fh}, c);
  if (c < 256) advances[c] = w;
  return w;
}

WM_TEXT_EDIT::METRICS WM_TEXT_EDIT::metrics() {
  METRICS m;
  m.s = surface();
  m.font = static_cast<int8_t>(font);
  m.fw = font_width;
  m.fh = static_cast<int16_t>(font_height);
  m.stars = is_password();
  std::fill(std::begin(m.advances), std::end(m.advances), -1);
  return m;
}

// ---- Construction ---------------------------------------------------------

WM_TEXT_EDIT::WM_TEXT_EDIT(int16_t nx, int16_t ny, uint16_t w, uint16_t max, const char* initial,
                           const WM_STYLE_SET* style, WM_CALLBACK callback, uintptr_t word_1,
                           uintptr_t word_2)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, callback, word_1, word_2),
      frame(&wm_image_cache()) {
  if (use_onscreen_keyboard == 255) {
    SYSTEM_INFO info;
    get_system_info(&info);
    use_onscreen_keyboard = info.keyboard ? 0 : 1;
  }
  WM_STYLE_SET defaults;
  const WM_STYLE_SET& st = style ? *style : defaults;
  border_style = st.shading_type;
  IMAGE* s = surface();
  font = st.font_id == 255 ? static_cast<uint8_t>(s->font) : st.font_id;
  font_width = st.font_x_sz == WM_STYLE_SET::UNSET ? static_cast<uint16_t>(s->font_width)
                                                   : st.font_x_sz;
  font_height = st.font_y_sz == WM_STYLE_SET::UNSET ? s->font_height : st.font_y_sz;
  const auto own = static_cast<uint16_t>(get_border_width(border_style));
  const auto gap = [own](uint16_t g) { return g == WM_STYLE_SET::UNSET ? own : g; };
  left_gap = gap(st.border_left_gap);
  right_gap = gap(st.border_right_gap);
  top_gap = gap(st.border_top_gap);
  bottom_gap = gap(st.border_bottom_gap);
  x = nx;
  y = ny;
  width = w;
  height = static_cast<uint16_t>(std::min<int32_t>(
      65535, top_gap + bottom_gap + font_height +
                 accent_room(s, {font, font_width, static_cast<int16_t>(font_height)}, top_gap)));
  selectable = 1;
  max_length = static_cast<int16_t>(std::clamp<int32_t>(max, 1, MAX_LENGTH));
  set_text(initial);
  hint.set("");

  if (st.drawing_flags & SSF_DRAW_BORDER) {
    if (st.drawing_flags & SSF_INDENT_BORDER) edit_flags |= edit_flag::INDENTED_BORDER;
    if (st.drawing_flags & SSF_OUTSTANDING_BORDER) edit_flags |= edit_flag::RAISED_BORDER;
  }
  const struct {
    uint32_t style_bit;
    uint16_t edit_bit;
  } bits[] = {{SSF_ICON_LEFT, edit_flag::ICON_LEFT},
              {SSF_ICON_RIGHT, edit_flag::ICON_RIGHT},
              {SSF_ICON_TOP, edit_flag::ICON_TOP},
              {SSF_ICON_BOTTOM, edit_flag::ICON_BOTTOM},
              {SSF_DONT_RESIZE_IMAGE, edit_flag::DONT_RESIZE_FRAME},
              {SSF_DARKENED_BACKGROUND, edit_flag::DARKENED_BACKGROUND}};
  for (const auto& b : bits) {
    if (st.drawing_flags & b.style_bit) edit_flags |= b.edit_bit;
  }
  if (st.extended_flags & SSEF_TE_PASSWORD) edit_flags |= edit_flag::PASSWORD;

  text_colour = st.fg_colour;
  background_colour = st.bg_colour;
  caret_colour = is_set(st.active_text_colour) ? st.active_text_colour : text_colour;
  colour_text_for(&selection_colour, &text_colour);
  if (is_set(background_colour)) colour_contrast(&selection_colour, &background_colour, false);
  if (is_set(st.highlight_colour)) selection_colour = st.highlight_colour;
  if (is_set(st.border_colour)) border_colour = st.border_colour;
  if (st.image_filename) {
    if (st.is_loaded() && st.state_images[STYLE_IMAGE_BASE]) {
      frame.copy(*st.state_images[STYLE_IMAGE_BASE]);
    } else {
      set_frame(st.image_path, st.image_filename);
    }
  }

  kind |= wm_kind::TEXT_EDIT;
  notify_created();
  // A key pressed before the field existed (the Return that opened its
  // dialog) must not act on it.
  for (;;) {
    const uint32_t k = key_queue.peek_last_key();
    if (k != KEY_RETURN && k != KEY_HOME && k != KEY_LEFT && k != KEY_RIGHT && k != KEY_END &&
        k != KEY_DELETE)
      break;
    key_queue.get_last_key();
  }
}

WM_TEXT_EDIT::~WM_TEXT_EDIT() {
  if (keyboard_dialog && keyboard_field == this) close_keyboard();
  text.clear();
  frame.clear();
}

IMAGE* WM_TEXT_EDIT::surface() const {
  IMAGE* s = drawing_surface();
  return s ? s : get_screen_image();
}

uint16_t WM_TEXT_EDIT::resolved_font_height() const {
  return font_height == WM_STYLE_SET::UNSET ? surface()->font_height : font_height;
}

// ---- Text -----------------------------------------------------------------


const char* WM_TEXT_EDIT::get_text() const { return text.get_text() ? text.get_text() : ""; }

std::string WM_TEXT_EDIT::system_text(int32_t from, int32_t count) const {
  from = std::clamp(from, 0, length());
  count = std::clamp(count, 0, length() - from);
  return system_text_of(chars.data() + from, static_cast<size_t>(count));
}

void WM_TEXT_EDIT::sync_text() { text.set(system_text(0, length()).c_str()); }

void WM_TEXT_EDIT::set_text(const char* new_text) {
  clear_selection();
  chars = system_characters(new_text);
  if (length() > max_length) chars.resize(static_cast<size_t>(max_length));
  caret = static_cast<int16_t>(length());
  sync_text();
  redraw();
}

void WM_TEXT_EDIT::set_max_length(int32_t n) {
  if (n <= 0) return;
  max_length = static_cast<int16_t>(std::min<int32_t>(n, MAX_LENGTH));
  if (length() > max_length) {
    clear_selection();
    chars.resize(static_cast<size_t>(max_length));
    sync_text();
    caret = max_length;
  }
  caret = static_cast<int16_t>(std::min<int32_t>(caret, length()));
  redraw();
}

void WM_TEXT_EDIT::select_all() {
  const int32_t n = length();
  if (n == 0) return;
  if (has_selection() && std::min(selection_anchor, selection_end) == 0 &&
      std::max(selection_anchor, selection_end) == n)
    return;
  selection_anchor = 0;
  selection_end = static_cast<int16_t>(n);
  redraw();
}

void WM_TEXT_EDIT::clear_selection() {
  if (selection_anchor == NONE && selection_end == NONE) return;
  redraw();
  selection_anchor = selection_end = NONE;
}

bool WM_TEXT_EDIT::accepts(uint32_t c) const {
  if (filter) return filter(c);
  return c > 31 && c != 127;
}

bool WM_TEXT_EDIT::insert_at_caret(uint32_t c) {
  if (length() >= max_length) return false;
  chars.insert(static_cast<size_t>(caret), 1, static_cast<char32_t>(c));
  sync_text();
  ++caret;
  return true;
}

void WM_TEXT_EDIT::erase(int32_t from, int32_t to) {
  from = std::clamp(from, 0, length());
  to = std::clamp(to, from, length());
  chars.erase(static_cast<size_t>(from), static_cast<size_t>(to - from));
  sync_text();
}

bool WM_TEXT_EDIT::remove_selection() {
  if (!has_selection()) return false;
  const int32_t n = length();
  const int32_t a = std::clamp<int32_t>(std::min(selection_anchor, selection_end), 0, n);
  const int32_t b = std::clamp<int32_t>(std::max(selection_anchor, selection_end), 0, n);
  clear_selection();
  if (a >= b) return false;
  erase(a, b);
  // The caret keeps its place among the characters that stay.
  if (caret > a) caret = static_cast<int16_t>(caret - (std::min<int32_t>(caret, b) - a));
  redraw();
  return true;
}

int32_t WM_TEXT_EDIT::change_notice() {
  redraw();
  return notify_on_change ? fire_callback(true) : 0;
}

bool WM_TEXT_EDIT::keyboard_pending() const {
  return use_onscreen_keyboard == 1 && !keyboard_dialog;
}

// ---- Measuring ------------------------------------------------------------

// The first shown index: 0 while the caret lies within the characters that
// surely fit, else the first index from which the rest of the text fits,
// searching no further than needed to keep the caret in view.
int32_t WM_TEXT_EDIT::first_shown(METRICS& m) {
  if (m.stars) return 0;
  const int32_t area = int32_t{width} - left_gap - right_gap;
  const int32_t w_width = std::max<int32_t>(1, m.advance('W'));
  const int32_t n = std::max<int32_t>(0, (area - 1) / w_width);
  if (caret <= n) return 0;
  const char32_t* t = chars.c_str();
  int32_t rest = m.width(t, length());
  int32_t i = 0;
  do {
    rest -= m.advance(t[i]);
    ++i;
  } while (rest >= area && i + n < caret && t[i]);
  return i;
}

int16_t WM_TEXT_EDIT::char_at(int16_t screen_x) {
  METRICS m = metrics();
  return char_at(m, screen_x);
}

int16_t WM_TEXT_EDIT::char_at(METRICS& m, int16_t screen_x) {
  const int32_t n = length();
  if (screen_x < x + left_gap) return 0;
  if (screen_x >= x + int32_t{width} - right_gap) return static_cast<int16_t>(n);
  const int32_t f = first_shown(m);
  const int32_t dx = screen_x - x - left_gap;
  const char32_t* t = chars.c_str();
  int32_t k = 0, before = 0, w = 0;
  while (f + k < n) {
    before = w;
    w += m.advance(t[f + k]);
    ++k;
    if (w >= dx) break;
  }
  if (k == 0) return static_cast<int16_t>(f);
  return static_cast<int16_t>(dx - before < w - dx ? f + k - 1 : f + k);
}

// ---- Input ----------------------------------------------------------------

void WM_TEXT_EDIT::set_focus() {
  const bool had_focus = focus_object == this;
  WM_SCREEN_OBJECT::set_focus();
  if (had_focus || focus_object != this) return;
  if (!keyboard_pending()) select_all();
  undo_text.set(get_text());
}

int32_t WM_TEXT_EDIT::process() {
  if (keyboard_dialog && keyboard_hooks.is_shown && !keyboard_hooks.is_shown(keyboard_dialog)) {
    close_keyboard();
  }
  if (has_selection() && (is_password() || focus_object != this)) clear_selection();
  if (!enabled || !visible) {
    press_x = NONE;
    return 0;
  }
  // A right-click or focus callback may delete the field: nothing more of
  // it this frame then.
  const LIFE_WATCH watch(this);
  if (const int32_t result = WM_SCREEN_OBJECT::process()) return result;
  if (!watch.alive()) return 0;

  const bool left = (mouse.buttons & MOUSE::LEFT) != 0;
  const auto px = static_cast<int16_t>(mouse.x), py = static_cast<int16_t>(mouse.y);
  const bool over = mouse.x != MOUSE::OUTSIDE && hit_test(px, py);
  if (left != (left_was_down != 0)) {
    left_was_down = left ? 1 : 0;
    if (left && over) {
      const bool had_focus = focus_object == this;
      set_focus();
      if (!watch.alive()) return 0;
      if (had_focus) {
        clear_selection();
        caret = char_at(px);
        redraw();
      }
      key_queue.set_size(key_queue.get_capacity());
      if (keyboard_pending()) open_keyboard();
    } else if (!left) {
      press_x = NONE;
    }
  }

  int32_t result = 0;
  bool called = false;
  if (focus_object == this) {
    // A drag that began on the field selects while the button is held.
    if (left && (over || press_x != NONE)) {
      if (press_x == NONE) {
        press_x = px;
      } else if (px != press_x) {
        METRICS m = metrics();
        if (!has_selection()) selection_anchor = char_at(m, press_x);
        caret = selection_end = char_at(m, px);
        if (selection_anchor == selection_end) clear_selection();
        redraw();
      }
    }
    const bool shift = key_down(KEY_SHIFT_L) || key_down(KEY_SHIFT_R);
    const bool ctrl = key_down(KEY_CONTROL_L) || key_down(KEY_CONTROL_R);
    result = handle_key(key_queue.peek_last_key(), shift, ctrl, called);
    // A callback may have ended the field's page, or the field itself:
    // nothing more this frame.
    if (!watch.alive() || (called && result != 0)) return result;
    if (keyboard_pending()) {
      key_queue.pop_char();
    } else if (const uint32_t c = key_queue.pop_char()) {
      const int32_t typed = handle_character(c, ctrl, called);
      if (called) result = typed;
    }
  }
  if (over && WM_PAGE_MANAGER::cursor_shapes_on) {
    if (WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get()) manager->request_cursor_shape(5);
  }
  return called ? result : 0;
}

void WM_TEXT_EDIT::move_caret(uint32_t key, bool shift, bool ctrl) {
  const int32_t n = length();
  const char32_t* t = chars.c_str();
  if (shift && selection_anchor == NONE) selection_anchor = caret;
  int32_t c = caret;
  switch (key) {
    case KEY_LEFT:
      c = std::max(0, c - 1);
      while (ctrl && c > 0 && t[c] != ' ') --c;
      break;
    case KEY_RIGHT:
      c = std::min(n, c + 1);
      while (ctrl && c < n && t[c] != ' ') ++c;
      break;
    case KEY_HOME: c = 0; break;
    default: c = n; break;
  }
  caret = static_cast<int16_t>(c);
  if (shift) {
    selection_end = caret;
    if (selection_anchor == selection_end) clear_selection();
  } else {
    clear_selection();
  }
}

int32_t WM_TEXT_EDIT::handle_key(uint32_t key, bool shift, bool ctrl, bool& called) {
  switch (key) {
    case KEY_LEFT:
    case KEY_RIGHT:
    case KEY_HOME:
    case KEY_END:
      key_queue.get_last_key();
      if (!is_password()) move_caret(key, shift, ctrl);
      redraw();
      return 0;
    case KEY_DELETE: {
      key_queue.get_last_key();
      redraw();
      if (keyboard_pending()) return 0;
      if (!remove_selection()) {
        if (caret >= length()) return 0;
        erase(caret, caret + 1);
      }
      called = notify_on_change != 0;
      return change_notice();
    }
    case KEY_RETURN: {
      // Acts once Return is let go, so one press never answers twice.
      if (key_down(KEY_RETURN)) return 0;
      key_queue.get_last_key();
      if (use_onscreen_keyboard == 1) {
        if (!keyboard_dialog) {
          open_keyboard();
          return 0;
        }
        close_keyboard();
      }
      return_pressed = 1;
      called = action_callback != nullptr;
      const LIFE_WATCH watch(this);
      const int32_t result = fire_callback(true);
      if (!watch.alive()) return result;
      return_pressed = 0;
      redraw();
      return result;
    }
    default: return 0;
  }
}

int32_t WM_TEXT_EDIT::handle_character(uint32_t c, bool ctrl, bool& called) {
  bool changed = false;
  const uint32_t lower = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
  if (c == BACKSPACE) {
    changed = remove_selection();
    if (!changed && caret > 0) {
      erase(caret - 1, caret);
      --caret;
      changed = true;
    }
  } else if (ctrl && lower == 'c') {
    copy_selection();
  } else if (ctrl && lower == 'x') {
    if (is_password()) return 0;
    copy_selection();
    changed = remove_selection();
  } else if (ctrl && lower == 'v') {
    changed = paste();
  } else if (ctrl && lower == 'a') {
    select_all();
  } else if (ctrl && lower == 'z') {
    set_text(undo_text.get_text());
    select_all();
    changed = true;
  } else if (c < 32 || c == 127 || !accepts(c)) {
    return 0;
  } else {
    changed = remove_selection();
    changed = insert_at_caret(c) || changed;
  }
  if (!changed) return 0;
  called = notify_on_change != 0;
  return change_notice();
}

// A password never reaches the clipboard, whatever slipped into a selection.
void WM_TEXT_EDIT::copy_selection() {
  if (is_password() || !has_selection()) return;
  const int32_t a = std::min(selection_anchor, selection_end);
  const int32_t b = std::max(selection_anchor, selection_end);
  if (a >= b) return;
  VORN_STRING(system_text(a, b - a).c_str()).copy_to_clipboard();
}

bool WM_TEXT_EDIT::paste() {
  VORN_STRING pasted;
  if (!pasted.paste_from_clipboard()) return false;
  const bool removed = remove_selection();
  // The same rule as typing: no line feeds or tabs enter.
  std::u32string kept;
  const int32_t room = max_length - length();
  for (const char32_t c : system_characters(pasted.get_text())) {
    if (static_cast<int32_t>(kept.size()) >= room) break;
    if (c > 31 && c != 127 && accepts(c)) kept += c;
  }
  if (kept.empty()) return removed;
  chars.insert(static_cast<size_t>(caret), kept);
  sync_text();
  caret = static_cast<int16_t>(caret + static_cast<int32_t>(kept.size()));
  return true;
}

// ---- Drawing --------------------------------------------------------------

bool WM_TEXT_EDIT::set_frame(const char* folder, const char* name) {
  if (!folder || !name) {
    frame.clear();
    return false;
  }
  return frame.load(folder, name, skin_load_flags);
}

void WM_TEXT_EDIT::draw_box(IMAGE* s, bool with_darkening) {
  const auto x2 = to_i16(x + int32_t{width} - 1), y2 = to_i16(y + int32_t{height} - 1);
  if (frame.is_loaded()) {
    frame.draw(static_cast<uint16_t>(x), static_cast<uint16_t>(y), static_cast<uint16_t>(x2),
               static_cast<uint16_t>(y2), (edit_flags & edit_flag::DONT_RESIZE_FRAME) ? 0 : 1, s,
               BLIT_BLEND);
  } else {
    if (with_darkening && (edit_flags & edit_flag::DARKENED_BACKGROUND)) {
      s->darken_rect(x, y, x2, y2, 50);
    } else if (is_set(background_colour)) {
      s->fill_rect(x, y, x2, y2, &background_colour, true);
    }
    if (edit_flags & edit_flag::INDENTED_BORDER) {
      draw_border(x, y, x2, y2, border_flag::ALL_SIDES | border_flag::PRESSED, &background_colour,
                  border_style, AUTO_BORDER_RADIUS);
    } else if (edit_flags & edit_flag::RAISED_BORDER) {
      draw_border(x, y, x2, y2, border_flag::ALL_SIDES, &background_colour, border_style,
                  AUTO_BORDER_RADIUS);
    }
  }
  draw_icon(s);
}

// Centred in the gap its flags name, or in the whole box, and kept to it.
void WM_TEXT_EDIT::draw_icon(IMAGE* s) {
  if (icon.width < 1 || icon.height < 1) return;
  int32_t bx = x, bw = width, by = y, bh = height;
  if (edit_flags & edit_flag::ICON_LEFT) {
    bw = left_gap;
  } else if (edit_flags & edit_flag::ICON_RIGHT) {
    bx = x + int32_t{width} - right_gap;
    bw = right_gap;
  }
  if (edit_flags & edit_flag::ICON_TOP) {
    bh = top_gap;
  } else if (edit_flags & edit_flag::ICON_BOTTOM) {
    by = y + int32_t{height} - bottom_gap;
    bh = bottom_gap;
  }
  if (bw < 1 || bh < 1) return;
  CLIP_SCOPE keep(s);
  s->clip_to(to_i16(bx), to_i16(by), to_i16(bx + bw - 1), to_i16(by + bh - 1));
  if (s->clip_is_empty()) return;
  icon.draw(to_i16(bx + (bw - icon.width) / 2), to_i16(by + (bh - icon.height) / 2), s, BLIT_BLEND);
}

void WM_TEXT_EDIT::draw() {
  IMAGE* s = surface();
  CLIP_SCOPE keep(s);
  s->clip_to(x, y, to_i16(x + int32_t{width} - 1), to_i16(y + int32_t{height} - 1));
  if (s->clip_is_empty()) return;
  draw_box(s, true);

  const int32_t tx = x + left_gap;
  const int32_t area = int32_t{width} - left_gap - right_gap;
  const int32_t fh = resolved_font_height();
  const int32_t x2 = x + int32_t{width} - 1, y2 = y + int32_t{height} - 1;
  const TEXT_LINE_PLACE place =
      place_text_line(s, {font, font_width, static_cast<int16_t>(font_height)},
                      {tx, y + top_gap, x2 - right_gap, y2 - bottom_gap}, y + top_gap,
                      {x, y, x2, y2});
  const int32_t ty = place.top;
  s->clip_to(place.clip);
  if (s->clip_is_empty()) return;
  const uint16_t effects = enabled ? 0 : TEXT_CHISELED;
  const auto f = static_cast<int8_t>(font);
  const auto fw = static_cast<int16_t>(font_width), fhs = static_cast<int16_t>(font_height);
  METRICS m = metrics();
  const int32_t n = length();
  const char32_t* t = chars.c_str();
  int32_t caret_x = tx;

  if (is_password()) {
    const int32_t star = m.advance('*');
    int32_t shown = n;
    while (shown > 0 && shown * star >= area) --shown;
    const std::string stars(static_cast<size_t>(shown), '*');
    s->draw_text(to_i16(tx), to_i16(ty), &text_colour, &background_colour, nullptr, f, fw, fhs,
                 stars.c_str(), effects);
    caret_x = tx + star * std::min<int32_t>(caret, shown) + 1;
  } else if (n == 0) {
    s->draw_text(to_i16(tx), to_i16(ty), &text_colour, nullptr, nullptr, f, fw, fhs,
                 hint.get_text() ? hint.get_text() : "", TEXT_CHISELED);
  } else {
    const int32_t first = first_shown(m);
    if (has_selection()) {
      const int32_t a = std::max<int32_t>(first, std::min(selection_anchor, selection_end));
      const int32_t b = std::max<int32_t>(first, std::max(selection_anchor, selection_end));
      const int32_t x1 = tx - 1 + m.width(t + first, a - first);
      const int32_t x2 = tx - 1 + m.width(t + first, b - first);
      if (x2 > x1) {
        s->fill_rect(to_i16(x1), to_i16(ty), to_i16(x2), to_i16(ty + fh - 1), &selection_colour,
                     true);
      }
    }
    // Only the characters that reach into the area are drawn.
    int32_t count = 0;
    for (int32_t w = 0; first + count < n && w <= area; ++count) {
      w += m.advance(t[first + count]);
    }
    s->draw_text(to_i16(tx), to_i16(ty), &text_colour, nullptr, nullptr, f, fw, fhs,
                 system_text(first, count).c_str(), effects);
    caret_x = tx + m.width(t + first, caret - first);
  }
  if (focus_object == this && !keyboard_pending()) {
    s->fill_rect(to_i16(caret_x), to_i16(ty), to_i16(caret_x), to_i16(ty + fh - 1), &caret_colour,
                 true);
  }
}

// ---- The on-screen keyboard ------------------------------------------------

void WM_TEXT_EDIT::open_keyboard() {
  if (keyboard_dialog || use_onscreen_keyboard != 1 || !keyboard_hooks.open) return;
  init_default_dialog_styles();
  WM_STYLE_SET style(default_dialog_button_style());
  IMAGE* s = surface();
  const auto own = static_cast<int32_t>(::get_border_width(style.shading_type));
  const auto gap = [own](uint16_t g) { return g == WM_STYLE_SET::UNSET ? own : int32_t{g}; };
  const uint8_t kf = style.font_id == 255 ? static_cast<uint8_t>(s->font) : style.font_id;
  const int32_t key_w = s->get_text_width(kf, style.font_x_sz, static_cast<int16_t>(style.font_y_sz), "W") +
                        gap(style.border_left_gap) + gap(style.border_right_gap);
  const int32_t key_h = gap(style.border_top_gap) + gap(style.border_bottom_gap) +
                        (style.font_y_sz == WM_STYLE_SET::UNSET ? s->font_height : style.font_y_sz);
  int32_t w = width <= 22 * key_w ? 22 * style.get_padded_text_width(s, "W") : int32_t{width};
  WM_SCREEN_OBJECT* root = WM_PAGE_MANAGER::get() ? WM_PAGE_MANAGER::get()->current_root() : nullptr;
  const int32_t root_w = root ? root->get_width() : get_screen_width(0);
  w = std::min(w, root_w);
  KEYBOARD_REQUEST request;
  request.width = to_i16(w);
  request.height = to_i16(7 * key_h);
  request.title = "Keyboard";
  request.text = get_text();
  request.max_length = max_length;
  request.done = on_keyboard_done;
  request.word = reinterpret_cast<uintptr_t>(this);
  request.style = &style;
  request.password = is_password();
  keyboard_dialog = keyboard_hooks.open(request);
  if (keyboard_dialog) keyboard_field = this;
}

void WM_TEXT_EDIT::close_keyboard() {
  if (!keyboard_dialog) return;
  WM_KEYBOARD_DIALOG* dialog = keyboard_dialog;
  keyboard_dialog = nullptr;
  keyboard_field = nullptr;
  if (keyboard_hooks.close) keyboard_hooks.close(dialog);
}

int32_t WM_TEXT_EDIT::on_keyboard_done(WM_SCREEN_OBJECT* keyboard_field_object, uintptr_t word,
                                       uintptr_t) {
  auto* field = reinterpret_cast<WM_TEXT_EDIT*>(word);
  if (!field || !keyboard_field_object || !(keyboard_field_object->kind & wm_kind::TEXT_EDIT)) return 0;
  field->set_text(static_cast<WM_TEXT_EDIT*>(keyboard_field_object)->get_text());
  return field->notify_on_change ? field->fire_callback(true) : 0;
}

// ---- Filters --------------------------------------------------------------

bool WM_TEXT_EDIT::filter_number(uint32_t c) {
  return is_digit(c) || c == '.' || c == '-' || c == '+';
}

bool WM_TEXT_EDIT::filter_name(uint32_t c) {
  return is_letter(c) || is_digit(c) || c == '\'' || c == '-' || c == ' ' || c == 127;
}

bool WM_TEXT_EDIT::filter_word(uint32_t c) {
  return is_letter(c) || c == '\'' || c == '-' || c == 127;
}

bool WM_TEXT_EDIT::filter_words(uint32_t c) {
  return is_letter(c) || c == '\'' || c == '-' || c == ' ' || c == 127;
}

bool WM_TEXT_EDIT::filter_file_name(uint32_t c) {
  return is_letter(c) || is_digit(c) || (c < 128 && c != 0 && std::strchr(".-+!$%()_=[]{};:@# ~", static_cast<int>(c)));
}
