#pragma once
// WM_NUMPAD is a movable "Numeric Keypad" dialog that edits one signed
// numeric PARAMETER within its limits through a 4 x 4 grid of keys or the
// keyboard, refuses numbers outside them ("Out Of Range") and reports OK or
// Cancel through its callback, which decides whether the keypad closes.
#include <cstdint>
#include <string>

#include "parameter.h"
#include "wm_dialog.h"

class WM_NUMPAD_LABEL;

// Each colour left unset (alpha 0) keeps the default dialog styles' own.
struct NUMPAD_COLOURS {
  COLOUR background = COLOUR_INVISIBLE;  // body and keys
  COLOUR title_text = COLOUR_INVISIBLE;
  COLOUR title_text_override = COLOUR_INVISIBLE;  // wins over title_text when set
  COLOUR body_text = COLOUR_INVISIBLE;
  COLOUR key_highlight = COLOUR_INVISIBLE;
};

class WM_NUMPAD : public WM_DIALOG {
public:
  // Key codes: the key buttons' word 1 and the argument of key_pressed.
  enum KEY : uint8_t {
    KEY_CANCEL = 0,
    KEY_CLEAR = 1,
    KEY_BACK = 8,
    KEY_OK = 10,
    KEY_SIGN = 45,
    KEY_POINT = 46,
  };
  static constexpr int FIELD_COLUMNS = 14;
  static constexpr const char* OUT_OF_RANGE = "Out Of Range";

  // A value of another type than i8, i16, i32, f32 or f64 (or none) gives a
  // keypad that shows and edits nothing. The callback hears (keypad, word,
  // 1 after OK / 0 after Cancel).
  WM_NUMPAD(int16_t x, int16_t y, PARAMETER* value, const char* name, WM_CALLBACK callback,
            uintptr_t word, const NUMPAD_COLOURS& colours, bool visible);
  ~WM_NUMPAD() override;

  int32_t process() override;
  void draw() override;

  // One key, from a click or the keyboard; a page action (2 without a
  // callback after OK or Cancel).
  int32_t key_pressed(uint8_t code);
  // The callback of every key button: word 1 the code, word 2 the keypad.
  static int32_t on_key(WM_SCREEN_OBJECT* button, uintptr_t code, uintptr_t keypad);

  PARAMETER* get_value() const { return value; }
  const std::string& get_field() const { return field; }
  WM_NUMPAD_LABEL* get_entry() const { return entry; }
  WM_NUMPAD_LABEL* get_upper_label() const { return upper; }
  WM_NUMPAD_LABEL* get_lower_label() const { return lower; }
  bool is_enabled() const { return enabled != 0; }
  bool is_fresh() const { return fresh != 0; }
  // C + the font's x size: the pitch of the key columns.
  int32_t get_unit() const { return unit; }
  // Whether a keypad switched the typed-character queue on.
  static bool made_key_queue() { return queue_made; }

private:
  bool is_floating() const;
  void load_value();
  void set_field(const std::string& text);
  void show_number();
  void type_character(char c);
  // Parses the field; false for no number at all or one beyond the type.
  bool read_field(double& floating, int64_t& integer) const;
  int32_t confirm();
  int32_t answer(uintptr_t result);
  void refresh(const std::string& before);
  void use_key_queue(bool on);

  PARAMETER* value = nullptr;  // not owned
  WM_NUMPAD_LABEL* upper = nullptr;  // children
  WM_NUMPAD_LABEL* lower = nullptr;
  WM_NUMPAD_LABEL* entry = nullptr;
  std::string field;  // always FIELD_COLUMNS wide, right-aligned
  int32_t unit = 0;
  int32_t font_h = 0;
  int32_t entry_left = 0;  // client-relative start of the entry row
  uint8_t enabled = 0;
  uint8_t fresh = 0;
  uint8_t queue_user = 0;
  int32_t last_int = 0;
  double last_double = 0.0;

  static int32_t queue_users;
  static bool queue_made;
};
