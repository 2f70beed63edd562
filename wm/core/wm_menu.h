#pragma once
// WM_MENU is a button that opens its own floating menu below, above, left
// or right of itself, turning to the other side when there is no room. It is
// also the sub-menu item inside floating menus, and several menus linked
// into a ring make a menu bar across which the open pop-up follows the
// pointer.
#include <cstdint>

#include "wm_button.h"
#include "wm_floating_menu.h"

enum class MENU_DIRECTION : uint32_t { BELOW = 0, ABOVE = 1, LEFT = 2, RIGHT = 3 };

// The record menus made without one hand to their pop-ups.
POPUP_EFFECTS& default_menu_effects();

using MENU_OPEN_CALLBACK = void (*)(class WM_MENU* menu, uintptr_t word_1, uintptr_t word_2);

class WM_MENU : public WM_BUTTON {
public:
  // Style form. A null title style makes the pop-up's item look from the
  // body style's colours and font.
  WM_MENU(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text,
          MENU_DIRECTION direction, const WM_STYLE_SET* button_style,
          const WM_STYLE_SET* body_style, const WM_STYLE_SET* title_style,
          const WM_STYLE_SET* item_style, const WM_STYLE_SET* separator_style,
          const WM_STYLE_SET* up_arrow_style, const WM_STYLE_SET* down_arrow_style,
          const DIALOG_EFFECTS* effects, const WM_STYLE_SET* submenu_style);
  // Plain form: the four colours paint both the button and the pop-up.
  WM_MENU(int16_t x1, int16_t y1, int16_t x2, int16_t y2, COLOUR background, COLOUR text_colour,
          COLOUR highlight, COLOUR highlight_text, const char* text, bool visible,
          MENU_DIRECTION direction, const DIALOG_EFFECTS* effects);
  ~WM_MENU() override;

  // Applied to the behaviour of menus made after it is set: 1 click to
  // open, 2 rest on the button to open; other values keep the style's.
  static uint32_t menu_mode;

  void position_popup();
  // Takes this menu out of any ring and into the other's, after it.
  void link(WM_MENU* other);
  void unlink();
  WM_MENU* ring_member_at(int16_t px, int16_t py);
  // The button callback: opens the pop-up, or closes an open one.
  static int32_t menu_clicked(WM_SCREEN_OBJECT* button, uintptr_t menu, uintptr_t unused);
  // Whether the pop-up is open (on the overlay list and visible).
  bool is_open() const;

  void hide(bool overlays, bool children) override;
  int32_t process() override;
  int32_t update(bool overlays) override;
  void set_position(int16_t new_x, int16_t new_y) override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  void set_depth(int16_t new_depth) override;
  void draw() override;
  void set_hotkey(uint32_t key_symbol) override;

  WM_FLOATING_MENU* get_popup() const { return popup; }
  WM_MENU* get_ring_next() const { return ring_next; }

  MENU_DIRECTION direction = MENU_DIRECTION::BELOW;
  WM_SCREEN_OBJECT* container = nullptr;  // the menu this one is an item of
  MENU_OPEN_CALLBACK open_callback = nullptr;
  uintptr_t open_word_1 = 0;
  uintptr_t open_word_2 = 0;
  int16_t popup_dx = 0;
  int16_t popup_dy = 0;

protected:
  void build_popup(const WM_STYLE_SET& body_style, const WM_STYLE_SET* title_style,
                   const WM_STYLE_SET* item_style, const WM_STYLE_SET* separator_style,
                   const WM_STYLE_SET* up_arrow_style, const WM_STYLE_SET* down_arrow_style,
                   const DIALOG_EFFECTS* effects, const WM_STYLE_SET* submenu_style);
  void open_popup();
  // Runs open_callback; false when it deleted the menu (or its pop-up).
  bool call_open_callback();
  void reset_button_state();
  bool pointer_in_holder(int16_t px, int16_t py) const;

  WM_FLOATING_MENU* popup = nullptr;  // owned
  uint8_t open = 0;

private:
  friend class WM_FLOATING_MENU;
  WM_MENU* ring_next = nullptr;
  WM_MENU* ring_prev = nullptr;
};
