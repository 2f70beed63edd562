#include "wm_text_edit_dialog.h"

#include <algorithm>

#include "default_dialog_styles.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_script.h"
#include "wm_text_edit.h"

namespace {

int16_t size_or(int16_t v, int16_t fallback) { return v == -1 ? fallback : v; }

// The entry's look when the caller gives none: the button style, indented.
WM_STYLE_SET entry_style_of(const WM_STYLE_SET& button) {
  WM_STYLE_SET style(button);
  style.drawing_flags |= SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  style.set_image_filename(nullptr);
  style.shading_type = 4;
  return style;
}

}  // namespace

WM_TEXT_EDIT_DIALOG::WM_TEXT_EDIT_DIALOG(int16_t nx, int16_t ny, int16_t w, int16_t h,
                                         uint16_t lines, const WM_STYLE_SET* entry_style,
                                         bool is_visible, WM_CALLBACK callback, uintptr_t word_1,
                                         const char* ok_text, const char* cancel_text,
                                         const char* title, int32_t max_length)
    : WM_DIALOG(nx, ny, size_or(w, DEFAULT_WIDTH), size_or(h, DEFAULT_HEIGHT), title ? title : "",
                nullptr, nullptr, nullptr, nullptr),
      prompt_lines(lines) {
  build(is_visible, callback, word_1, entry_style, ok_text, cancel_text, max_length);
}

WM_TEXT_EDIT_DIALOG::WM_TEXT_EDIT_DIALOG(int16_t nx, int16_t ny, int16_t w, int16_t h,
                                         const WM_STYLE_SET* entry_style, bool is_visible,
                                         WM_CALLBACK callback, uintptr_t word_1,
                                         const char* ok_text, const char* cancel_text,
                                         const char* title, int32_t max_length)
    : WM_TEXT_EDIT_DIALOG(nx, ny, w, h, 1, entry_style, is_visible, callback, word_1, ok_text,
                          cancel_text, title, max_length) {}

WM_TEXT_EDIT_DIALOG::WM_TEXT_EDIT_DIALOG(int16_t nx, int16_t ny, bool is_visible,
                                         WM_CALLBACK callback, uintptr_t word_1,
                                         const char* ok_text, const char* cancel_text,
                                         const char* title, int32_t max_length)
    : WM_DIALOG(nx, ny, DEFAULT_WIDTH, DEFAULT_HEIGHT, title ? title : "", nullptr, nullptr,
                nullptr, nullptr) {
  const WM_STYLE_SET entry_style = entry_style_of(button_style);
  build(is_visible, callback, word_1, &entry_style, ok_text, cancel_text, max_length);
}

void WM_TEXT_EDIT_DIALOG::build(bool is_visible, WM_CALLBACK callback, uintptr_t word_1,
                                const WM_STYLE_SET* entry_style, const char* ok_text,
                                const char* cancel_text, int32_t max_length) {
  invalidate();
  if (!is_visible) hide(false, false);
  // Never larger than the screen it stands on (where an opening slide
  // brings it).
  int32_t w = width, h = height, nx = get_x(), ny = get_y();
  const uint16_t screen = screen_of_point(nx, ny);
  const int32_t sw = get_screen_width(screen), sh = get_screen_height(screen);
  if (w > sw) {
    w = sw;
    nx = 0;
  }
  if (h > sh) {
    h = sh;
    ny = 0;
  }
  if (w != width || h != height) {
    set_size(static_cast<uint16_t>(w), static_cast<uint16_t>(h), true);
    set_position(to_i16(nx), to_i16(ny));
  }
  action_callback = callback;
  action_word_1 = word_1;

  const WM_STYLE_SET& b = body_style;
  const int32_t inner_w = int32_t{width} - b.border_left_gap - b.border_right_gap -
                          b.cell_left_gap - b.cell_right_gap;
  auto inner_height = [&] { return int32_t{height} - get_client_top() - b.border_bottom_gap - b.cell_bottom_gap; };
  const auto self = reinterpret_cast<uintptr_t>(this);
  ok = new WM_BUTTON(0, 0, -1, -1, &button_style, ok_text ? ok_text : "OK", nullptr, on_button, 1,
                     self, 2);
  cancel = new WM_BUTTON(0, 0, -1, -1, &button_style, cancel_text ? cancel_text : "Cancel",
                         nullptr, on_button, 2, self, 2);
  const int32_t g = ok->height / 2;
  IMAGE* s = drawing_surface() ? drawing_surface() : get_screen_image();
  const int32_t prompt_h = g + int32_t{s->font_height} * prompt_lines;
  // Return in the entry answers as OK does.
  entry = new WM_TEXT_EDIT(to_i16(g), 0, static_cast<uint16_t>(std::max(1, inner_w - 2 * g)),
                           static_cast<uint16_t>(std::clamp<int32_t>(max_length, 0, 65535)), "",
                           entry_style, on_button, 1, self);
  // The prompt, the entry and the buttons stand one above the other: a
  // dialog too low for them (tall buttons, a tall title bar) grows within
  // the screen rather than let the entry cover the prompt.
  const int32_t needed = 6 * g + prompt_h + entry->height;
  if (inner_height() < needed) grow_to(width, int32_t{height} + needed - inner_height());
  const int32_t inner_bottom = inner_height();

  const int32_t button_y = inner_bottom - 2 * g;
  const int32_t ok_x = inner_w - g - ok->width;
  ok->set_position(to_i16(ok_x), to_i16(button_y));
  cancel->set_position(to_i16(ok_x - g - cancel->width), to_i16(button_y));
  ok->selectable = cancel->selectable = 1;

  prompt = new WM_SCRIPT(to_i16(g), to_i16(g), to_i16(inner_w - 1), to_i16(g + prompt_h - 1),
                         "Enter Text", 255, WM_STYLE_SET::UNSET, WM_STYLE_SET::UNSET, b.fg_colour,
                         COLOUR_INVISIBLE);
  prompt->left_gap = prompt->right_gap = prompt->top_gap = prompt->bottom_gap = 0;
  entry->set_position(to_i16(g), to_i16(button_y - g - entry->height));
  // Room to spare centres the prompt and the entry together above the buttons.
  const int32_t spare = inner_bottom - 5 * g - (prompt_h + entry->height + g);
  if (spare > 0) {
    const int32_t d = spare / 2;
    prompt->set_position(to_i16(g), to_i16(d + g));
    entry->set_position(to_i16(g), to_i16(d + 2 * g + prompt_h));
  }
  add_child(prompt, true);
  add_child(entry, true);
  add_child(ok, true);
  add_child(cancel, true);
  leaves_once_closed = 1;
  escape_button = cancel;
  kind |= wm_kind::TEXT_EDIT_DIALOG;
  notify_created();
}

int32_t WM_TEXT_EDIT_DIALOG::on_button(WM_SCREEN_OBJECT*, uintptr_t which, uintptr_t word) {
  auto* dialog = reinterpret_cast<WM_TEXT_EDIT_DIALOG*>(word);
  if (!dialog || (which != 1 && which != 2)) return 0;
  dialog->action_word_2 = which == 1 ? 1 : 0;
  return dialog->fire_callback(true);
}
