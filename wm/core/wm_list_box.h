#pragma once
// WM_LIST_BOX is a drop-down list: a menu whose pop-up lists text items,
// that shows the selected item's text (cut to fit) and icon, steps through
// the items by the wheel, and reports each selection the user changed
// through its own callback. Dialogs and grid cells use it for choices.
#include <cstdint>

#include "wm_menu.h"

POPUP_EFFECTS& default_list_box_effects();

class WM_LIST_BOX;
// Its result travels up through process as a page action.
using LIST_BOX_CALLBACK = int32_t (*)(WM_LIST_BOX* list_box, uintptr_t word_1, uintptr_t word_2);

class WM_LIST_BOX : public WM_MENU {
public:
  static constexpr int32_t NONE = 65535;

  // Style form: the button look from button_style, the pop-up from the
  // others (null: left out, as for menus).
  WM_LIST_BOX(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int32_t count, const char* const* texts,
              int32_t initial, const WM_STYLE_SET* button_style, const WM_STYLE_SET* body_style,
              const WM_STYLE_SET* title_style, const WM_STYLE_SET* item_style,
              const WM_STYLE_SET* separator_style, const WM_STYLE_SET* up_arrow_style,
              const WM_STYLE_SET* down_arrow_style, const WM_STYLE_SET* submenu_style,
              LIST_BOX_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
              const DIALOG_EFFECTS* effects);
  // Plain form.
  WM_LIST_BOX(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int32_t count, const char* const* texts,
              int32_t initial, COLOUR background, COLOUR text_colour, COLOUR highlight,
              COLOUR highlight_text, bool visible, LIST_BOX_CALLBACK callback, uintptr_t word_1,
              uintptr_t word_2, const DIALOG_EFFECTS* effects);

  // Empties the list and fills it with the texts; a negative initial row
  // is 0. The initial selection is not reported.
  void init(int32_t count, const char* const* texts, int32_t initial);
  // The item's value is `value` with use_value, else its row. Null without
  // a text.
  WM_BUTTON* add_list_item(const char* text, uint32_t value, bool as_submenu, bool use_value,
                           bool separator_before);
  // Clamped to the rows; a row that is no item, or no rows, changes nothing.
  void set_selected(int32_t row, bool silent);
  void select_by_value(uint32_t value, bool silent);
  void show_selection();
  // Cut from the end, whole characters at a time, to fit inside the gaps.
  void set_display_text(const char* text);
  static int32_t item_clicked(WM_SCREEN_OBJECT* item, uintptr_t list_box, uintptr_t unused);

  int32_t process() override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;

  int32_t get_selected() const { return selected; }
  uint32_t get_value() const { return value; }
  int32_t get_count() const { return count; }

  uint8_t show_icon = 1;
  LIST_BOX_CALLBACK change_callback = nullptr;
  uintptr_t change_word_1 = 0;
  uintptr_t change_word_2 = 0;

private:
  bool is_item_row(int32_t row) const;

  int32_t selected = NONE;
  int32_t reported = -1;
  uint8_t user_changed = 0;
  uint8_t refresh = 0;
  uint32_t value = 0;
  uint8_t wheel_armed = 0;
  int32_t count = 0;
};
