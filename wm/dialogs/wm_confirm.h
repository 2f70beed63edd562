#pragma once
// WM_CONFIRM is the toolkit's message dialog: a message (a text window the
// caller fills, or centred lines it sizes itself to) above a row of one to
// three push buttons, each calling its own callback. The dialog decides
// nothing; once a callback has closed it, it removes itself from the overlays.
#include <cstdint>

#include "wm_dialog.h"

class FOLDER;
class WM_BUTTON;
class WM_TEXT_WIN;

class WM_CONFIRM : public WM_DIALOG {
public:
  // What one button calls: callback(button, word, id).
  struct BUTTON_ACTION {
    WM_CALLBACK callback = nullptr;
    uintptr_t word = 0;
    uintptr_t id = 0;
  };
  // Message window forms; x or y of -1 centres; capacity is the number of
  // lines the message window keeps.
  WM_CONFIRM(int16_t w, int16_t h, const char* title, const char* text1, const char* text2,
             const char* text3, bool visible, const BUTTON_ACTION& action1,
             const BUTTON_ACTION& action2, const BUTTON_ACTION& action3, int16_t x, int16_t y,
             int16_t count, int16_t capacity, const DIALOG_EFFECTS* effects);
  // One button (text1) when single, else two.
  WM_CONFIRM(int16_t w, int16_t h, const char* title, const char* text1, const char* text2,
             bool visible, const BUTTON_ACTION& action1, const BUTTON_ACTION& action2, int16_t x,
             int16_t y, bool single, int16_t capacity, const DIALOG_EFFECTS* effects);
  // "Close" (id 1) when close_only, else "Yes" (id 1) and "No" (id 0), one
  // callback for both; Escape clicks "Close" or "No".
  WM_CONFIRM(int16_t w, int16_t h, const char* title, bool visible, WM_CALLBACK callback,
             uintptr_t word, int16_t x, int16_t y, bool close_only, int16_t capacity,
             const DIALOG_EFFECTS* effects);
  // Line form: each line a centred label (a null line is ""), the dialog
  // sized to them; buttons (and Escape) as the form above.
  WM_CONFIRM(int16_t x, int16_t y, const char* title, const char* const* lines,
             uint16_t line_count, bool visible, WM_CALLBACK callback, uintptr_t word,
             bool close_only, const DIALOG_EFFECTS* effects);

  // A button callback that closes the dialog on the button's activation.
  static int32_t close_on_click(WM_SCREEN_OBJECT* button, uintptr_t word, uintptr_t id);
  // The file's lines into the message window in the body's text colour;
  // false without a message window.
  bool load_text_file(const FOLDER& folder, const char* name);
  // Once the texts are in (title, message, relabelled buttons): the dialog
  // grows, within the view, until its title, its buttons' texts and its
  // whole message show, and the buttons take the width of the widest text.
  // A message taller than the view scrolls.
  void fit_to_texts();

  WM_BUTTON* first_button = nullptr;   // children of the client area, owned there
  WM_BUTTON* second_button = nullptr;
  WM_BUTTON* third_button = nullptr;
  WM_TEXT_WIN* message_window = nullptr;

private:
  struct BUTTON_ROW {
    int32_t top;
    int32_t count;
    const char* texts[3];
    BUTTON_ACTION actions[3];
  };
  void open(bool is_visible);
  void finish();
  int32_t button_height() const;
  int32_t button_text_width(const char* text) const;
  int32_t client_width() const;
  int32_t make_message_window(int16_t capacity);
  void make_buttons(const BUTTON_ROW& row);
  int32_t button_x(int32_t index, int32_t count, int32_t w) const;
  int32_t button_width() const;
  void place_buttons(int32_t top);
};
