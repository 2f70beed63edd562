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
constexpr int32_t kComfortableRows = 3;  // a fitted message widens while it has more rows
constexpr int32_t kWiderStep = 20;

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
  escape_button = close_only ? first_button : second_button;
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
  escape_button = close_only ? first_button : second_button;
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
  first_button = second_button = third_button = nullptr;
  const int32_t count = row.count == 2 || row.count == 3 ? row.count : 1;
  int32_t w = button_text_width("Close");
  for (int32_t i = 0; i < count; ++i) w = std::max(w, button_text_width(row.texts[i]));
  const int32_t top = row.top, bottom = row.top + button_height();
  auto make = [&](int32_t index) {
    const BUTTON_ACTION& a = row.actions[index];
    const char* text = row.texts[index] ? row.texts[index] : "";
    const int32_t x1 = button_x(index, count, w);
    auto* b = new WM_BUTTON(i16(x1), i16(top), i16(x1 + w), i16(bottom), &button_style, text,
                            nullptr, a.callback, a.word, a.id, button_event::RELEASE);
    b->selectable = 1;
    add_child(b, true);
    return b;
  };
  // Left to right: the third button stands at the left of a row of three.
  if (count == 3) third_button = make(2);
  first_button = make(0);
  if (count >= 2) second_button = make(1);
  default_focus = first_button;
}

// Every button as wide as the widest text (at least "Close"): two share the
// spare width in three equal gaps, three stand as a lone left one (the
// third) and a right pair, one is centred. Relative to the client area.
int32_t WM_CONFIRM::button_x(int32_t index, int32_t count, int32_t w) const {
  const int32_t cw = client_width();
  if (count == 3) {
    const int32_t gaps = button_text_width(nullptr);
    if (index == 2) return kMargin;
    return index == 0 ? std::max(cw - 11 - gaps - 2 * w, 0) : std::max(cw - 11 - w, 0);
  }
  if (count == 2) {
    const int32_t spare = std::max(cw - 2 * w, 0);
    return index == 0 ? spare / 3 : 2 * spare / 3 + w;
  }
  return std::max(cw - w, 0) / 2;
}

int32_t WM_CONFIRM::button_width() const {
  int32_t w = button_text_width("Close");
  for (const WM_BUTTON* b : {first_button, second_button, third_button})
    if (b) w = std::max(w, button_text_width(b->get_text()));
  return w;
}

void WM_CONFIRM::place_buttons(int32_t top) {
  const int32_t w = button_width();
  const int32_t count = third_button ? 3 : second_button ? 2 : 1;
  WM_BUTTON* const row[3] = {first_button, second_button, third_button};
  for (int32_t i = 0; i < 3; ++i) {
    if (!row[i]) continue;
    row[i]->set_position(i16(get_client()->x + button_x(i, count, w)), i16(get_client()->y + top));
    row[i]->set_size(static_cast<uint16_t>(w + 1), static_cast<uint16_t>(button_height() + 1), false);
  }
}

void WM_CONFIRM::fit_to_texts() {
  const WM_STYLE_SET& b = body_style;
  const int32_t frame_w = int32_t{width} - client_width();
  const int32_t below_buttons = b.border_bottom_gap + b.cell_bottom_gap;
  // Widths the client area needs: the title, and the buttons with room
  // between and around them.
  int32_t need = 0;
  if (WM_SCRIPT* t = get_title()) {
    IMAGE* s = drawing_surface();
    const char* text = get_text();
    const int32_t text_w = s && text ? s->get_text_width(t->font, t->font_width, static_cast<int16_t>(t->font_height), text) : 0;
    need = text_w + 1 + t->left_gap + t->right_gap + b.border_left_gap + b.border_right_gap - frame_w;
  }
  const int32_t w = button_width();
  const int32_t count = third_button ? 3 : second_button ? 2 : 1;
  need = std::max(need, count == 3   ? 3 * w + button_text_width(nullptr) + 22 + kMargin
                        : count == 2 ? 2 * w + 3 * kMargin
                                     : w + 2 * kMargin);
  const RECT v = view();
  int32_t new_w = std::clamp<int32_t>(need + frame_w, width, std::max<int32_t>(v.width(), width));
  // The message's rows at a dialog width, unscrolled, and the height they
  // need.
  auto rows_at = [&](int32_t dialog_w) {
    if (!message_window) return 0;
    const int32_t message_w = dialog_w - frame_w - 2 * kMargin + 1;
    message_window->set_size(static_cast<uint16_t>(std::max(message_w, 1)), 32000, true);
    return message_window->get_row_count();
  };
  auto height_for = [&](int32_t dialog_w) {
    if (!message_window) return int32_t{height};
    const int32_t message_h = rows_at(dialog_w) * message_window->get_row_height() +
                              message_window->top_gap + message_window->bottom_gap + 2;
    return get_client_top() + message_h + 2 * kMargin - 1 + button_height() + below_buttons;
  };
  // A question reads best in a few lines: wider, up to two thirds of the
  // view, while it takes more than three.
  const int32_t comfortable = std::max<int32_t>(new_w, v.width() * 2 / 3);
  while (new_w + kWiderStep <= comfortable && rows_at(new_w) > kComfortableRows) new_w += kWiderStep;
  int32_t new_h = std::max<int32_t>(height, height_for(new_w));
  // Too tall for the view: wider first, scrolling only when that is not enough.
  if (new_h > v.height() && new_w < v.width()) {
    new_w = v.width();
    new_h = std::max<int32_t>(height, height_for(new_w));
  }
  grow_to(new_w, new_h);
  const int32_t top = int32_t{height} - get_client_top() - below_buttons - button_height();
  if (message_window) {
    message_window->set_size(static_cast<uint16_t>(std::max(client_width() - 2 * kMargin + 1, 1)),
                             static_cast<uint16_t>(std::max(top - 2 * kMargin + 1, 1)), true);
  }
  place_buttons(std::max(top, 0));
  if (visible) show();
}

int32_t WM_CONFIRM::close_on_click(WM_SCREEN_OBJECT* button, uintptr_t, uintptr_t) {
  auto* b = static_cast<WM_BUTTON*>(button);
  return b->firing_event == button_event::RELEASE ? 2 : 0;
}

bool WM_CONFIRM::load_text_file(const FOLDER& folder, const char* name) {
  if (!message_window) return false;
  return message_window->load_text_file(folder, name, &body_style.fg_colour);
}
