#pragma once
// WM_TEXT_EDIT_DIALOG asks for one line of text: a prompt, an entry field
// and OK and Cancel. The buttons put the outcome into the dialog's word 2
// (1 OK, 0 Cancel) and call its callback, which reads the field and decides
// what becomes of the dialog. Return in the field answers as OK, Escape as
// Cancel.
#include <cstdint>

#include "wm_dialog.h"

class WM_BUTTON;
class WM_SCRIPT;
class WM_TEXT_EDIT;

class WM_TEXT_EDIT_DIALOG : public WM_DIALOG {
public:
  static constexpr int16_t DEFAULT_WIDTH = 450;
  static constexpr int16_t DEFAULT_HEIGHT = 180;

  // A width or height of -1 takes the default size; null texts take "",
  // "OK" and "Cancel". The prompt is made for prompt_lines lines of text.
  WM_TEXT_EDIT_DIALOG(int16_t x, int16_t y, int16_t w, int16_t h, uint16_t prompt_lines,
                      const WM_STYLE_SET* entry_style, bool visible, WM_CALLBACK callback,
                      uintptr_t word_1, const char* ok_text, const char* cancel_text,
                      const char* title, int32_t max_length);
  WM_TEXT_EDIT_DIALOG(int16_t x, int16_t y, int16_t w, int16_t h,
                      const WM_STYLE_SET* entry_style, bool visible, WM_CALLBACK callback,
                      uintptr_t word_1, const char* ok_text, const char* cancel_text,
                      const char* title, int32_t max_length);
  // The default size; the entry is drawn in the dialog's button style with
  // an indented border.
  WM_TEXT_EDIT_DIALOG(int16_t x, int16_t y, bool visible, WM_CALLBACK callback, uintptr_t word_1,
                      const char* ok_text, const char* cancel_text, const char* title,
                      int32_t max_length);

  // OK (word 1 = 1) and Cancel (2) buttons' callback; the dialog is word 2.
  static int32_t on_button(WM_SCREEN_OBJECT* button, uintptr_t which, uintptr_t dialog);

  WM_BUTTON* ok = nullptr;       // children, owned through the client
  WM_BUTTON* cancel = nullptr;
  WM_SCRIPT* prompt = nullptr;
  WM_TEXT_EDIT* entry = nullptr;
  uint16_t prompt_lines = 1;

private:
  void build(bool is_visible, WM_CALLBACK callback, uintptr_t word_1,
             const WM_STYLE_SET* entry_style, const char* ok_text, const char* cancel_text,
             int32_t max_length);
};
