// Message dialogs: the message window or the centred lines, and the button
// row laid out from the button style.
#include "wm_confirm.h"

#include <algorithm>

#include "image.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_script.h"
#include "wm_text_win.h"

namespace {

constexpr int32_t kMargin = 10;        // message window and three-button row inset
constexpr int16_t kLineFormWidth = 150;

int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

uint16_t gap_or_border(uint16_t gap, uint32_t shading_type) {
  return gap == WM_STYLE_SET::UNSET ? static_cast<uint16_t>(get_border_width(shading_type)) : gap;
}

}  // namespace

WM_CONFIRM::WM_CONFIRM(int16_t w, int16_t h, const char* title, const char* text1,
                       const char* text2, const char* text3, bool is_visible,
                       const BUTTON_ACTION& action1, const BUTTON_ACTION& action2,
                       const BUTTON_ACTION& action3, int16_t nx, int16_t ny, int16_t count,
                       int16_t capacity, const DIALOG_EFFECTS* record)
    : WM_DIALOG(nx, ny, w, h, title, nullptr, nullptr, nullptr, record) {
  open(is_visible);
  const int32_t top = make_message_window(capacity);
  make_buttons({top, count, {text1, text2, text3}, {action1, action2, action3}});
  finish();
}

WM_CONFIRM::WM_CONFIRM(int16_t w, int16_t h, const char* title, const char* text1,
                       const char* text2, bool is_visible, const BUTTON_ACTION& action1,
                       const BUTTON_ACTION& action2, int16_t nx, int16_t ny, bool single,
                       int16_t capacity, const DIALOG_EFFECTS* record)
    : WM_DIALOG(nx, ny, w, h, title, nullptr, nullptr, nullptr, record) {
  open(is_visible);
  const int32_t top = make_message_window(capacity);
  make_buttons({top, single ? 1 : 2, {text1, text2, nullptr}, {action1, action2, {}}});
  finish();
}

WM_CONFIRM::WM_CONFIRM(int16_t w, int16_t h, const char* title, bool is_visible,
                       WM_CALLBACK callback, uintptr_t word, int16_t nx, int16_t ny,
                       bool close_only, int16_t capacity, const DIALOG_EFFECTS* record)
    : WM_DIALOG(nx, ny, w, h, title, nullptr, nullptr, nullptr, record) {
  open(is_visible);
  const int32_t top = make_message_window(capacity);
  make_buttons({top, close_only ? 1 : 2, {close_only ? "Close" : "Yes", "No", nullptr},
                {{callback, word, 1}, {callback, word, 0}, {}}});
  finish();
}

WM_CONFIRM::WM_CONFIRM(int16_t nx, int16_t ny, const char* title, const char* const* lines,
                       uint16_t line_count, bool is_visible, WM_CALLBACK callback,
                       uintptr_t word, bool close_only, const DIALOG_EFFECTS* record)
    : WM_DIALOG(nx, ny, kLineFormWidth,
                static_cast<int16_t>(drawing_surface() ? drawing_surface()->font_height : 22),
                title, nullptr, nullptr, nullptr, record) {
  open(is_visible);
  IMAGE* s = drawing_surface();
  const int32_t line_h = s ? s->font_height : 22;
  auto line = [&](uint16_t i) { return lines && lines[i] ? lines[i] : ""; };
  auto width_of = [&](const char* text) {
    return s ? s->get_text_width(255, 65535, -1, text) : 0;
  };
  int32_t widest = 0;
  for (uint16_t i = 0; i < line_count; ++i) widest = std::max(widest, width_of(line(i)));
  int32_t dialog_w = widest + 40;
  const int32_t three_closes = 3 * button_text_width("Close");
  dialog_w = std::max(dialog_w, std::max<int32_t>(three_closes, kLineFormWidth));
  const int32_t top = (int32_t{line_count} + 2) * line_h;
  const int32_t dialog_h = top + get_client_top() + body_style.border_bottom_gap +
                           body_style.cell_bottom_gap + button_height();
  set_size(static_cast<uint16_t>(std::clamp<int32_t>(dialog_w, 1, INT16_MAX)),
           static_cast<uint16_t>(std::clamp<int32_t>(dialog_h, 1, INT16_MAX)), true);
  // Centred again at the final size.
  if (nx == -1 || ny == -1) {
    const int32_t sx = screen_origin_x(0), sy = screen_origin_y(0);
    set_position(nx == -1 ? i16(sx + (get_screen_width(0) - width) / 2) : get_x(),
                 ny == -1 ? i16(sy + (get_screen_height(0) - height) / 2) : get_y());
    if (visible) show();
  }
  const COLOUR ink = body_style.fg_colour;
  const int32_t cw = client_width();
  for (uint16_t i = 0; i < line_count; ++i) {
    const int32_t lx = (cw - width_of(line(i))) / 2, ly = (i + 1) * line_h;
    auto* label = new WM_SCRIPT(i16(lx), i16(ly), -1, -1, line(i), 255, 65535, 65535, ink,
                                COLOUR_INVISIBLE);
    add_child(label, true);
  }
  make_buttons({top, close_only ? 1 : 2, {close_only ? "Close" : "Yes", "No", nullptr},
                {{callback, word, 1}, {callback, word, 0}, {}}});
  finish();
}

void WM_CONFIRM::open(bool is_visible) {
  invalidate();
  visible = is_visible ? 1 : 0;
  needs_redraw = visible;
}

void WM_CONFIRM::finish() {
  leaves_once_closed = 1;
  kind |= wm_kind::CONFIRM;
  notify_created();
}

int32_t WM_CONFIRM::button_height() const {
  const WM_STYLE_SET& b = button_style;
  const IMAGE* s = drawing_surface();
  const int32_t font_h = b.font_y_sz != WM_STYLE_SET::UNSET ? b.font_y_sz
                         : s                                ? s->font_height
                                                            : 0;
  return gap_or_border(b.border_top_gap, b.shading_type) +
         gap_or_border(b.border_bottom_gap, b.shading_type) + font_h;
}

int32_t WM_CONFIRM::button_text_width(const char* text) const {
  const WM_STYLE_SET& b = button_style;
  const int32_t gaps = gap_or_border(b.border_left_gap, b.shading_type) +
                       gap_or_border(b.border_right_gap, b.shading_type);
  IMAGE* s = drawing_surface();
  if (!s || !text) return gaps;
  return gaps + s->get_text_width(b.font_id, b.font_x_sz,
                                  static_cast<int16_t>(b.font_y_sz), text);
}

int32_t WM_CONFIRM::client_width() const {
  const WM_STYLE_SET& b = body_style;
  return int32_t{width} - b.border_left_gap - b.border_right_gap - b.cell_left_gap -
         b.cell_right_gap;
}

int32_t WM_CONFIRM::make_message_window(int16_t capacity) {
  const int32_t top = int32_t{height} - get_client_top() - body_style.border_bottom_gap -
                      body_style.cell_bottom_gap - button_height();
  const int32_t x2 = std::max(client_width() - kMargin, kMargin);
  const int32_t y2 = std::max(top - kMargin, kMargin);
  message_window = new WM_TEXT_WIN(kMargin, kMargin, i16(x2), i16(y2), 2,
                                   static_cast<uint16_t>(std::max<int16_t>(capacity, 1)), 15,
                                   &body_style.bg_colour, &button_style.fg_colour,
                                   &button_style.fg_colour, false, true, nullptr, 0, 0);
  message_window->keep_at_top = 1;
  message_window->text_flags = text_win_flag::LEFT_JUSTIFY | text_win_flag::TOP_ALIGN;
  add_child(message_window, true);
  return std::max(top, 0);
}

void WM_CONFIRM::make_buttons(const BUTTON_ROW& row) {
  int32_t w = button_text_width("Close");
  for (int32_t i = 0; i < std::clamp(row.count, 1, 3); ++i)
    w = std::max(w, button_text_width(row.texts[i]));
  first_button = second_button = third_button = nullptr;
  const int32_t cw = client_width(), top = row.top, bottom = row.top + button_height();
  auto make = [&](int32_t x1, int32_t index) {
    const BUTTON_ACTION& a = row.actions[index];
    const char* text = row.texts[index] ? row.texts[index] : "";
    auto* b = new WM_BUTTON(i16(x1), i16(top), i16(x1 + w), i16(bottom), &button_style, text,
                            nullptr, a.callback, a.word, a.id, button_event::RELEASE);
    b->selectable = 1;
    add_child(b, true);
    return b;
  };
  if (row.count == 2) {
    const int32_t spare = std::max(cw - 2 * w, 0);
    first_button = make(spare / 3, 0);
    second_button = make(2 * spare / 3 + w, 1);
  } else if (row.count == 3) {
    const int32_t gaps = button_text_width(nullptr);
    third_button = make(kMargin, 2);
    first_button = make(std::max(cw - 11 - gaps - 2 * w, 0), 0);
    second_button = make(std::max(cw - 11 - w, 0), 1);
  } else {
    first_button = make(std::max(cw - w, 0) / 2, 0);
  }
  default_focus = first_button;
}

int32_t WM_CONFIRM::close_on_click(WM_SCREEN_OBJECT* button, uintptr_t, uintptr_t) {
  auto* b = static_cast<WM_BUTTON*>(button);
  return b->firing_event == button_event::RELEASE ? 2 : 0;
}

bool WM_CONFIRM::load_text_file(const FOLDER& folder, const char* name) {
  if (!message_window) return false;
  return message_window->load_text_file(folder, name, &body_style.fg_colour);
}
