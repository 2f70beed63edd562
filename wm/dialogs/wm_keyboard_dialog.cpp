#include "wm_keyboard_dialog.h"

#include <algorithm>

#include "default_dialog_styles.h"
#include "image.h"
#include "wm_button.h"
#include "wm_page_manager.h"

namespace {

int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

int32_t gap_or_border(uint16_t gap, const WM_STYLE_SET& style) {
  return gap == WM_STYLE_SET::UNSET ? get_border_width(style.shading_type) : int32_t{gap};
}

}  // namespace

WM_KEYBOARD_DIALOG::WM_KEYBOARD_DIALOG(
    int16_t nx, int16_t ny, int16_t w, int16_t h, const char* title, const char* text,
    int16_t max_length, WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
    const WM_STYLE_SET* key_style, const WM_STYLE_SET* entry_style,
    const WM_STYLE_SET* new_body_style, const WM_STYLE_SET* new_title_style,
    const WM_STYLE_SET* new_button_style, const KEYBOARD_LAYOUT* layout, uint8_t key_kind,
    uint8_t close_flag, uint8_t latch, uint8_t tooltips)
    : WM_DIALOG(nx, ny, w, h, title, new_body_style, new_title_style, new_button_style, nullptr) {
  const WM_STYLE_SET& b = body_style;
  const WM_STYLE_SET& bs = button_style;
  IMAGE* s = drawing_surface();
  const int32_t inner_w = std::max<int32_t>(
      2, int32_t{width} - b.border_left_gap - b.border_right_gap - b.cell_left_gap - b.cell_right_gap);
  const int32_t client_h = int32_t{height} - get_client_top();
  const int32_t spacing = b.y_spacing == WM_STYLE_SET::UNSET ? 0 : b.y_spacing;
  const int32_t button_h = gap_or_border(bs.border_top_gap, bs) +
                           gap_or_border(bs.border_bottom_gap, bs) +
                           (bs.font_y_sz == WM_STYLE_SET::UNSET ? s->font_height : bs.font_y_sz);
  const int32_t bottom = client_h - b.border_bottom_gap - b.cell_bottom_gap - 1;

  entry = new WM_TEXT_EDIT(0, 0, static_cast<uint16_t>(inner_w - 1),
                           static_cast<uint16_t>(std::max<int16_t>(max_length, 1)), text,
                           entry_style, callback, word_1, word_2);
  const int32_t keys_top = entry->height + spacing;
  keyboard = new WM_KEYBOARD(0, i16(keys_top), i16(inner_w - 1),
                             i16(std::max(keys_top, bottom - 2 * spacing - button_h)), key_style,
                             layout, key_kind, latch, tooltips);
  add_child(keyboard, true);
  add_child(entry, true);

  const char* close_text = "Close";
  const int32_t close_w = bs.get_padded_text_width(s, close_text);
  close_button = new WM_BUTTON(i16(inner_w - close_w), i16(bottom - spacing - button_h + 1),
                               i16(inner_w - 1), i16(bottom - spacing), &bs, close_text, nullptr,
                               on_close, close_flag ? page_action::REMOVE_OVERLAY : 2, 0, 2);
  add_child(close_button, true);
  leaves_once_closed = 1;
  kind |= wm_kind::KEYBOARD_DIALOG;
  notify_created();
}

WM_KEYBOARD_DIALOG::~WM_KEYBOARD_DIALOG() {
  if (keyboard_dialog == this) keyboard_dialog = nullptr;
}

int32_t WM_KEYBOARD_DIALOG::on_close(WM_SCREEN_OBJECT*, uintptr_t result, uintptr_t) {
  return static_cast<int32_t>(result);
}

WM_KEYBOARD_DIALOG* WM_KEYBOARD_DIALOG::open_for_field(const KEYBOARD_REQUEST& request) {
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  WM_SCREEN_OBJECT* root = manager ? manager->current_root() : nullptr;
  if (!root) return nullptr;
  init_default_dialog_styles();
  auto* dialog = new WM_KEYBOARD_DIALOG(
      -1, -1, request.width, request.height, request.title, request.text, request.max_length,
      request.done, request.word, 0, request.style, request.style, nullptr, nullptr, nullptr,
      &keyboard_layout, WM_KEYBOARD::REPEATING_KEYS, 0, 0, 0);
  // A password stays hidden on the keyboard's own field too.
  if (request.password) dialog->entry->edit_flags |= edit_flag::PASSWORD;
  root->add_overlay(dialog, false);
  dialog->entry->set_focus();
  return dialog;
}

void WM_KEYBOARD_DIALOG::close_for_field(WM_KEYBOARD_DIALOG* dialog) {
  if (!dialog) return;
  // Asked from inside the dialog's own processing, the request comes from
  // its field answering Enter, which calls back right after. From anywhere
  // else the field that opened it may be going away: it is forgotten.
  if (current_dialog != dialog) {
    dialog->entry->action_callback = nullptr;
    dialog->entry->action_word_1 = 0;
  }
  if (!dialog->visible) {
    // Closed by its Close button and faded out: no effect is left to
    // remove it.
    if (!dialog->externally_owned) delete dialog;
    return;
  }
  dialog->close(true);
}

bool WM_KEYBOARD_DIALOG::is_shown(WM_KEYBOARD_DIALOG* dialog) { return dialog && dialog->visible; }
