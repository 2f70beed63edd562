#pragma once
// WM_TEXT_EDIT is the toolkit's single-line entry field: system text (its
// 8-bit set and, in code runs, the characters above 255) with a caret, a
// mouse and Shift selection, word moves, the X clipboard, undo to the text
// it had when focused, a character filter, a maximum length and a password
// look. Where no keyboard exists it asks the on-screen keyboard.
#include <cstdint>
#include <string>

#include "image.h"
#include "skin_frame.h"
#include "vorn_string.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class FOLDER;
class WM_TEXT_EDIT;
// The on-screen keyboard's dialog; the keyboard defines it.
class WM_KEYBOARD_DIALOG;

// Accepts or rejects one character (a code point).
using TEXT_FILTER = bool (*)(uint32_t character);

// Bits of WM_TEXT_EDIT::edit_flags.
namespace edit_flag {
constexpr uint16_t INDENTED_BORDER = 0x1;
constexpr uint16_t RAISED_BORDER = 0x2;
constexpr uint16_t PASSWORD = 0x4;
constexpr uint16_t ICON_LEFT = 0x8;
constexpr uint16_t ICON_RIGHT = 0x10;
constexpr uint16_t ICON_TOP = 0x20;
constexpr uint16_t ICON_BOTTOM = 0x40;
constexpr uint16_t DONT_RESIZE_FRAME = 0x80;
constexpr uint16_t DARKENED_BACKGROUND = 0x100;
}  // namespace edit_flag

// What a field asks of the on-screen keyboard when it opens one.
struct KEYBOARD_REQUEST {
  int16_t width = 0;
  int16_t height = 0;
  const char* title = nullptr;
  const char* text = nullptr;
  int16_t max_length = 0;
  WM_CALLBACK done = nullptr;  // called with the keyboard's own field and word
  uintptr_t word = 0;
  const WM_STYLE_SET* style = nullptr;
  bool password = false;  // the keyboard's own field shows stars as well
};

// The on-screen keyboard fills these in; while `open` is null no keyboard
// can be shown. `close` starts the dialog's closing and forgets the field
// it was opened for, so that field is never called back.
struct KEYBOARD_HOOKS {
  WM_KEYBOARD_DIALOG* (*open)(const KEYBOARD_REQUEST& request) = nullptr;
  void (*close)(WM_KEYBOARD_DIALOG* dialog) = nullptr;
  bool (*is_shown)(WM_KEYBOARD_DIALOG* dialog) = nullptr;
};
extern KEYBOARD_HOOKS keyboard_hooks;

// 255 until the first field decides it: 1 when the machine has no keyboard.
extern uint8_t use_onscreen_keyboard;
// The open keyboard dialog, or null; its destructor clears it.
extern WM_KEYBOARD_DIALOG* keyboard_dialog;

class WM_TEXT_EDIT : public WM_SCREEN_OBJECT {
public:
  static constexpr int16_t NONE = -1;  // no selection end, no press
  static constexpr int16_t MAX_LENGTH = 32767;

  // The height is fixed: top gap + bottom gap + font height.
  WM_TEXT_EDIT(int16_t x, int16_t y, uint16_t width, uint16_t max_length, const char* text,
               const WM_STYLE_SET* style, WM_CALLBACK callback, uintptr_t word_1,
               uintptr_t word_2);
  // Closes a keyboard opened for this field without calling it back.
  ~WM_TEXT_EDIT() override;

  int32_t process() override;
  bool is_selectable() override { return enabled && selectable; }
  void set_focus() override;
  void draw() override;

  // Null empties; a longer text is cut to the maximum (counted in
  // characters); the caret goes to the end.
  void set_text(const char* new_text);
  // The text in system form.
  const char* get_text() const;
  // Characters held; the caret and the selection count in them.
  int32_t length() const { return static_cast<int32_t>(chars.size()); }
  // Clamped to 1..32767; a longer text is cut.
  void set_max_length(int32_t n);
  void select_all();
  void clear_selection();
  bool has_selection() const { return selection_anchor != NONE && selection_end != NONE; }
  // The caret index nearest to the screen x.
  int16_t char_at(int16_t screen_x);

  bool set_frame(const char* folder, const char* name);
  bool has_frame() const { return frame.is_loaded(); }
  void clear_frame() { frame.clear(); }
  void set_icon(const IMAGE& source) { icon.copy(source); }
  void set_hint(const char* new_hint) { hint.set(new_hint); }

  void open_keyboard();
  void close_keyboard();
  static int32_t on_keyboard_done(WM_SCREEN_OBJECT* keyboard_field, uintptr_t field_word,
                                  uintptr_t unused);

  // Letters are those of the system's 8-bit set (Latin-1) and every
  // character above 255.
  static bool filter_number(uint32_t c);
  static bool filter_name(uint32_t c);
  static bool filter_word(uint32_t c);
  static bool filter_words(uint32_t c);
  static bool filter_file_name(uint32_t c);

  VORN_STRING text;  // the characters in system form, kept in step with chars
  VORN_STRING hint;
  VORN_STRING undo_text;
  int16_t max_length = MAX_LENGTH;
  int16_t caret = 0;
  uint8_t return_pressed = 0;
  TEXT_FILTER filter = nullptr;  // null: above 31 and not 127
  uint8_t enabled = 1;
  COLOUR text_colour = 0xFF000000;
  COLOUR background_colour = 0xFFFFFFFF;
  COLOUR caret_colour = 0xFF000000;
  COLOUR selection_colour = 0xFF000080;
  uint8_t left_was_down = 0;
  uint8_t notify_on_change = 0;
  uint8_t font = 255;
  uint16_t font_width = WM_STYLE_SET::UNSET;
  uint16_t font_height = WM_STYLE_SET::UNSET;
  uint16_t left_gap = 0, right_gap = 0, top_gap = 0, bottom_gap = 0;
  int16_t selection_anchor = NONE;
  int16_t selection_end = NONE;
  int16_t press_x = NONE;
  uint16_t edit_flags = 0;
  IMAGE icon;
  SKIN_FRAME frame;

protected:
  void redraw() {
    if (visible) show();
  }
  bool is_password() const { return (edit_flags & edit_flag::PASSWORD) != 0; }
  bool keyboard_pending() const;  // the on-screen keyboard is wanted but not open
  // Whether the character may enter: the filter, or the rule without one.
  bool accepts(uint32_t c) const;
  // Inserts at the caret and moves it behind; false when the field is full.
  bool insert_at_caret(uint32_t c);
  // Removes the characters [from, to).
  void erase(int32_t from, int32_t to);
  // Characters [from, from + count) in system form.
  std::string system_text(int32_t from, int32_t count) const;
  // After chars changed: text follows.
  void sync_text();
  // Removes the selected characters; false without a selection.
  bool remove_selection();
  // The callback after a change, when asked for; its result, else 0.
  int32_t change_notice();
  uint16_t resolved_font_height() const;
  // Frame or background, border and icon; the box shares them.
  void draw_box(IMAGE* s, bool with_darkening);
  IMAGE* surface() const;

  // Pixel widths in the field's font. Advances add up (the font table sums
  // them), so each character of the 8-bit set is measured once per frame
  // however long the text is.
  struct METRICS {
    IMAGE* s = nullptr;
    int8_t font = 0;
    uint16_t fw = 0;
    int16_t fh = 0;
    bool stars = false;  // every character measures as "*"
    int32_t advances[256];

    int32_t advance(uint32_t c);
    int32_t width(const char32_t* t, int32_t n) {
      int32_t w = 0;
      for (int32_t i = 0; i < n && t[i]; ++i) w += advance(t[i]);
      return w;
    }
  };
  METRICS metrics();

private:
  int32_t first_shown(METRICS& m);
  int16_t char_at(METRICS& m, int16_t screen_x);
  void move_caret(uint32_t key, bool shift, bool ctrl);
  int32_t handle_key(uint32_t key, bool shift, bool ctrl, bool& called);
  int32_t handle_character(uint32_t c, bool ctrl, bool& called);
  void copy_selection();
  bool paste();
  void draw_icon(IMAGE* s);

protected:
  std::u32string chars;  // the characters; text holds them in system form
};
