#pragma once
// WM_FLOATING_MENU is the toolkit's pop-up menu: a dialog whose client holds
// a one-column grid of menu-item buttons, separators and sub-menu items. It
// sizes itself to its items and the viewport, swaps scroll arrows into the
// first and last visible rows when the items do not fit, moves by arrow,
// page and type-ahead keys, and closes on Escape, its owner's hot key, a
// click outside or a selection, together with the menus it was opened from.
#include <cstdint>
#include <memory>

#include "dialog_effects.h"
#include "wm_dialog.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class WM_BUTTON;
class WM_GRID;
class WM_MENU;

// The effects record menus hand to their pop-ups: the dialog's four words
// and two more that only pop-ups carry.
struct POPUP_EFFECTS : DIALOG_EFFECTS {
  uint32_t extra_1 = 0;
  uint32_t extra_2 = 0;
};

// A record from its six words.
POPUP_EFFECTS popup_effects(uint32_t flags, uint32_t open_delay, uint32_t display_delay,
                            uint32_t dragging_alpha, uint32_t extra_1, uint32_t extra_2);
// Process-wide default record of pop-ups made without one.
POPUP_EFFECTS& default_floating_menu_effects();

class WM_FLOATING_MENU : public WM_DIALOG {
public:
  static constexpr uint32_t KEY_ESCAPE = 0xFF1B;
  static constexpr uint32_t TYPE_AHEAD_MS = 400;
  static constexpr size_t TYPE_AHEAD_LENGTH = 5;

  // Null optional styles are left out; a null item style is the button
  // style, a null effects record the floating-menu default. An owned menu
  // is never deleted by the overlay list; its owner deletes it.
  WM_FLOATING_MENU(int16_t x, int16_t y, const char* title, const WM_STYLE_SET* body_style,
                   const WM_STYLE_SET* title_style, const WM_STYLE_SET* button_style,
                   const WM_STYLE_SET* item_style, bool movable, bool owned,
                   const WM_STYLE_SET* separator_style, const WM_STYLE_SET* up_arrow_style,
                   const WM_STYLE_SET* down_arrow_style, const DIALOG_EFFECTS* effects,
                   const WM_STYLE_SET* submenu_style);
  ~WM_FLOATING_MENU() override;

  // Null without a text. The item's callback hears its release after the
  // menu has hidden, so it may delete or refill the menu.
  WM_BUTTON* add_item(const char* text, WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                      bool separator_before);
  void add_separator();
  WM_MENU* add_submenu(const char* text, bool separator_before, bool arrow,
                       const WM_STYLE_SET* style_a, const WM_STYLE_SET* style_b);
  // The button (or sub-menu) of a row, also while an arrow holds its place.
  WM_BUTTON* get_item(int32_t row) const;
  WM_MENU* get_submenu_item(int32_t row) const;
  // Deletes every row; the menu may be open.
  void clear_items();
  // Puts the rows the arrows took back in place.
  void remove_scroll_arrows();
  void update_scroll_arrows();
  void set_items_selectable(bool on);
  void reset_items();
  void hide_tree();
  void close_parents(bool up);
  void hide_parents(bool up);
  void layout();
  // Row of the object among the items (arrows stand for their rows); -1.
  int32_t find_row(const WM_SCREEN_OBJECT* item) const;

  void hide(bool overlays, bool children) override;
  int32_t process() override;
  // A hidden menu is never processed: a removal it asked for comes here.
  int32_t update(bool overlays) override;
  bool hit_test(int16_t px, int16_t py) override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  void set_text(const char* text) override;

  // Where pop-ups are kept: the page manager's viewport, else the screen.
  static RECT viewport();

  WM_GRID* get_grid() const { return grid; }
  int32_t get_item_count() const { return item_count; }
  int32_t get_first_visible() const { return first_visible; }
  int32_t get_last_visible() const { return last_visible; }
  WM_BUTTON* get_up_arrow() const { return up_arrow.get(); }
  WM_BUTTON* get_down_arrow() const { return down_arrow.get(); }
  const char* get_type_prefix() const { return type_prefix; }

  int16_t min_width = 0;
  COLOUR separator_colour = COLOUR_INVISIBLE;
  WM_SCREEN_OBJECT* owner = nullptr;  // the menu or list box that opens it
  uint32_t close_key = 0;             // the owner's hot key; 0 = none
  uint8_t movable = 0;

protected:
  bool layout_content() override;

private:
  static int32_t item_released(WM_SCREEN_OBJECT* button, uintptr_t word_1, uintptr_t word_2);
  static int32_t scroll_arrow(WM_SCREEN_OBJECT* button, uintptr_t menu, uintptr_t up);

  const WM_STYLE_SET& row_style(bool swap) const;
  bool place_row(WM_SCREEN_OBJECT* object, int32_t object_height);
  WM_SCREEN_OBJECT* row_object(int32_t row) const;
  void scroll_by(int32_t pixels);
  void swap_in_arrow(bool up, int32_t row);
  void close_menu();
  void select();
  void keys();
  void type_ahead(uint8_t c);
  void focus_row(int32_t row);
  int32_t focused_row() const;
  int32_t row_span(int32_t row) const;
  bool is_separator(int32_t row) const;
  bool is_choice(int32_t row) const;

  WM_GRID* grid = nullptr;  // a child of the client area
  int32_t item_count = 0;
  uint32_t items_added = 0;
  int32_t first_visible = 0;
  int32_t last_visible = 0;
  int32_t row_height = 0;
  WM_STYLE_SET grid_style;
  std::unique_ptr<WM_STYLE_SET> item_style, separator_style, up_arrow_style, down_arrow_style,
      submenu_style;
  uint8_t prev_buttons = 0;
  uint8_t prev_escape = 0;
  uint8_t prev_return = 0;
  uint8_t just_opened = 1;
  uint8_t seen_visible = 0;
  uint8_t remove_request = 0;
  WM_SCREEN_OBJECT* up_item = nullptr;
  WM_SCREEN_OBJECT* down_item = nullptr;
  std::unique_ptr<WM_BUTTON> up_arrow, down_arrow;
  int32_t up_row = -1, down_row = -1;
  uint8_t close_key_held = 1;
  uint32_t type_time = 0;
  char type_prefix[TYPE_AHEAD_LENGTH + 1] = {};
  WM_BUTTON* released_item = nullptr;  // heard this frame; called back at its end
};
