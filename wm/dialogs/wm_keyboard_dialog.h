#pragma once
// WM_KEYBOARD_DIALOG is the on-screen keyboard's window: its own entry
// field with a copy of the text, a WM_KEYBOARD below it and a Close button.
// Enter in its field closes it and hands the text to the field's callback;
// it also serves entry fields as their keyboard through keyboard_hooks.
#include <cstdint>

#include "wm_dialog.h"
#include "wm_keyboard.h"
#include "wm_text_edit.h"

class WM_BUTTON;

class WM_KEYBOARD_DIALOG : public WM_DIALOG {
public:
  // The callback and words are the entry field's; null styles take the
  // defaults; with close_flag set, Close deletes the dialog at once,
  // otherwise it fades out first.
  WM_KEYBOARD_DIALOG(int16_t x, int16_t y, int16_t w, int16_t h, const char* title,
                     const char* text, int16_t max_length, WM_CALLBACK callback,
                     uintptr_t word_1, uintptr_t word_2, const WM_STYLE_SET* key_style,
                     const WM_STYLE_SET* entry_style, const WM_STYLE_SET* body_style,
                     const WM_STYLE_SET* title_style, const WM_STYLE_SET* button_style,
                     const KEYBOARD_LAYOUT* layout, uint8_t key_kind, uint8_t close_flag,
                     uint8_t latch, uint8_t tooltips);
  // Forgets itself as the open keyboard, whoever deletes it.
  ~WM_KEYBOARD_DIALOG() override;

  // Close's callback: its word 1 (2 closes the dialog, 4 removes it).
  static int32_t on_close(WM_SCREEN_OBJECT* button, uintptr_t result, uintptr_t unused);

  // What entry fields call through keyboard_hooks: the dialog opened over
  // the current page with the focus in its field (null without a page);
  // closing it; whether it is still shown.
  static WM_KEYBOARD_DIALOG* open_for_field(const KEYBOARD_REQUEST& request);
  static void close_for_field(WM_KEYBOARD_DIALOG* dialog);
  static bool is_shown(WM_KEYBOARD_DIALOG* dialog);

  WM_TEXT_EDIT* entry = nullptr;      // children, owned through the client
  WM_KEYBOARD* keyboard = nullptr;
  WM_BUTTON* close_button = nullptr;
};
