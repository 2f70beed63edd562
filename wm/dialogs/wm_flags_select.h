#pragma once
// WM_FLAGS_SELECT lets the user switch the named flags of a 32-bit mask on
// and off: one check box per labelled flag in a grid that scrolls beyond ten
// rows, then "OK" or "Cancel". It reports through its callback with user
// word 2 = 1 (OK) or 0 (Cancel) and leaves closing to the callback.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wm_dialog.h"

class WM_BUTTON;
class WM_CHECK_BOX;
class WM_GRID;

class WM_FLAGS_SELECT : public WM_DIALOG {
public:
  static constexpr int16_t MAX_FLAGS = 32;
  static constexpr int32_t MAX_VISIBLE_ROWS = 10;
  static constexpr const char* DEFAULT_TITLE = "Select Flags";
  static constexpr const char* OK_TEXT = "OK";
  static constexpr const char* CANCEL_TEXT = "Cancel";
  // User word 1 of the items; their user word 2 is the dialog.
  enum ITEM : uintptr_t { ITEM_OK = 1, ITEM_CANCEL = 2, ITEM_CHECK_BOX = 3 };

  // Centred, in the default dialog styles. Null check-box style: the boxes
  // take the body's text colour. A grid style, when given, draws the grid's
  // scroll bar.
  WM_FLAGS_SELECT(WM_CALLBACK callback, uintptr_t word, const WM_STYLE_SET* check_box_style,
                  const WM_STYLE_SET* grid_style);
  ~WM_FLAGS_SELECT() override;

  // Labels[i] names flag i; a null label gives flag i no check box, and its
  // bit is kept as given. The count is clamped to 0..32.
  void set_flags(uint32_t new_mask, const char* const* labels, int16_t count);
  uint32_t get_flags() const { return mask; }
  void get_flags(uint32_t* out) const;
  // Sets the flag's check box to its bit; nothing for a flag without one.
  void sync_check_box(int16_t flag);
  // Null for a flag without a check box.
  WM_CHECK_BOX* get_check_box(int16_t flag) const;
  int16_t get_flag_count() const { return flag_count; }
  int16_t get_labelled_count() const { return labelled_count; }

  WM_BUTTON* ok_button = nullptr;      // children of the client area, owned there
  WM_BUTTON* cancel_button = nullptr;
  WM_GRID* grid = nullptr;

private:
  // The constructor's body: buttons, grid, layout, kind bit.
  void build(WM_CALLBACK callback, uintptr_t word, const WM_STYLE_SET* check_box_style,
             const WM_STYLE_SET* grid_style);
  static int32_t on_item(WM_SCREEN_OBJECT* item, uintptr_t id, uintptr_t dialog);
  void free_lists();
  void layout();
  bool has_check_box(int32_t flag) const;
  int32_t title_height() const;
  int32_t button_width() const;
  int32_t button_height() const;

  uint32_t mask = 0;
  std::vector<std::optional<std::string>> labels;
  int16_t flag_count = 0;
  int16_t labelled_count = 0;
  WM_STYLE_SET check_box_style;
  uint8_t has_check_box_style = 0;
};
