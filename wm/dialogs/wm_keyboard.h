#pragma once
// WM_KEYBOARD types without a keyboard: a grid of key buttons laid out from
// a KEYBOARD_LAYOUT. A click on a key feeds the platform's key paths in the
// next frame, as a real key press would, so the focused field cannot tell
// the two apart. Shift (for one key), Caps and Ext choose among four
// character grids; the physical arrow keys move a highlight between keys.
#include <cstdint>

#include "wm_screen_object.h"
#include "wm_style_set.h"

class WM_BUTTON;
class WM_GRID;

// Rows of keys with their widths in units (every row adds up to the same
// total), the labels of the special keys and four character grids: plain,
// shifted, Ext and Ext shifted, ISO 8859-1.
struct KEYBOARD_LAYOUT {
  static constexpr int MAX_ROWS = 5;
  static constexpr int MAX_KEYS = 15;
  // Bytes of the character grids that are not characters.
  enum KEY_BYTE : uint8_t {
    SPACER = 0,  // a hidden key
    SHIFT = 2,
    CAPS = 3,
    EXT = 4,
    ENTER = 5,
    BACKSPACE = 8,
    TAB = 9,
    LEFT = 12,
    DOWN = 13,
    UP = 14,
    RIGHT = 15,
    SPACE = 32,
  };
  enum LABEL : uint8_t {
    LABEL_BACKSPACE, LABEL_TAB, LABEL_SHIFT, LABEL_CAPS, LABEL_EXT, LABEL_SPACE,
    LABEL_ENTER, LABEL_LEFT, LABEL_DOWN, LABEL_UP, LABEL_RIGHT, LABEL_COUNT
  };
  struct ROW {
    int16_t key_count;
    int16_t widths[MAX_KEYS];
  };

  int16_t row_count;
  ROW rows[MAX_ROWS];
  const char* labels[LABEL_COUNT];
  uint8_t grids[4][MAX_ROWS][MAX_KEYS];
};

// The built-in layout: five rows of 30 units.
extern const KEYBOARD_LAYOUT keyboard_layout;

// What a key does: its button's word 1.
enum class KEY_FUNCTION : uintptr_t {
  CHARACTER = 1, BACKSPACE, TAB, ENTER, LEFT, DOWN, UP, RIGHT, CAPS, SHIFT, EXT
};

class WM_KEYBOARD : public WM_SCREEN_OBJECT {
public:
  static constexpr uint16_t NO_KEY = 65535;
  // Event masks of the key buttons.
  static constexpr uint8_t REPEATING_KEYS = 5;  // on the press, then while held
  static constexpr uint8_t PLAIN_KEYS = 2;      // on the release

  // The layout is not copied and must outlive the keyboard. A set latch
  // byte draws every key but Enter held.
  WM_KEYBOARD(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* key_style,
              const KEYBOARD_LAYOUT* layout, uint8_t key_kind, uint8_t latch, uint8_t tooltips);
  ~WM_KEYBOARD() override = default;

  int32_t process() override;

  // Sets every key up from the grid the toggles choose; the highlighted
  // key's button.
  WM_BUTTON* apply_layout();
  static int32_t on_key(WM_SCREEN_OBJECT* button, uintptr_t function, uintptr_t keyboard);
  static uint8_t is_toggle_active(WM_BUTTON* button, uintptr_t keyboard);
  WM_BUTTON* get_key_button(int32_t column, int32_t row) const;
  void set_enter_latched(bool on);
  bool any_enter_latched() const;

  const KEYBOARD_LAYOUT* layout = nullptr;
  WM_GRID* grid = nullptr;  // a child
  uint32_t pending_key = 0;
  uint8_t pending_character = 0;
  uint8_t shift = 0;
  uint8_t caps = 0;
  uint8_t ext = 0;
  uint8_t latch = 0;
  uint16_t highlight_row = NO_KEY;
  uint16_t highlight_column = NO_KEY;
  uint8_t key_kind = REPEATING_KEYS;
  uint8_t tooltips = 0;

private:
  // Calls `each` for every key button with its row and column.
  template <typename F>
  void for_each_key(F each) const;
  void move_highlight(uint32_t key);
};
