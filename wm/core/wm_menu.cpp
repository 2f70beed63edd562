// Menu buttons: the pop-up they own, its placement beside the button, the
// open and close toggle, and menu-bar rings across which an open pop-up
// follows the pointer.
#include "wm_menu.h"

#include "default_dialog_styles.h"
#include "input.h"

namespace {

int16_t spacing(uint16_t v) { return v == WM_STYLE_SET::UNSET ? 0 : static_cast<int16_t>(v); }

}  // namespace

uint32_t WM_MENU::menu_mode = 0;

POPUP_EFFECTS& default_menu_effects() {
  static POPUP_EFFECTS record = popup_effects(0x60, 100, 200, 224, 15, 0);
  return record;
}

WM_MENU::WM_MENU(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text,
                 MENU_DIRECTION dir, const WM_STYLE_SET* button_s, const WM_STYLE_SET* body_s,
                 const WM_STYLE_SET* title_s, const WM_STYLE_SET* item_s,
                 const WM_STYLE_SET* separator_s, const WM_STYLE_SET* up_s,
                 const WM_STYLE_SET* down_s, const DIALOG_EFFECTS* record,
                 const WM_STYLE_SET* submenu_s)
    : WM_BUTTON(x1, y1, x2, y2, button_s, text, nullptr, menu_clicked, 0, 0,
                button_event::PRESS) {
  action_word_1 = reinterpret_cast<uintptr_t>(this);
  direction = dir;
  init_default_dialog_styles();
  build_popup(body_s ? *body_s : default_dialog_style(), title_s, item_s, separator_s, up_s,
              down_s, record, submenu_s);
  if (button_s) {
    popup_dx = spacing(button_s->x_spacing);
    popup_dy = spacing(button_s->y_spacing);
  }
  position_popup();
  notify_created();
}

WM_MENU::WM_MENU(int16_t x1, int16_t y1, int16_t x2, int16_t y2, COLOUR background,
                 COLOUR new_text_colour, COLOUR highlight, COLOUR highlight_text, const char* text,
                 bool is_visible, MENU_DIRECTION dir, const DIALOG_EFFECTS* record)
    : WM_BUTTON(x1, y1, x2, y2, background, new_text_colour, text, 255, WM_STYLE_SET::UNSET,
                WM_STYLE_SET::UNSET, BUTTON_BEHAVIOUR::NORMAL, 0, border_flag::ALL_SIDES,
                menu_clicked, 0, 0, is_visible, button_event::PRESS) {
  action_word_1 = reinterpret_cast<uintptr_t>(this);
  highlight_colour = highlight;
  highlight_text_colour = highlight_text;
  direction = dir;
  WM_STYLE_SET body;
  body.shading_flags = 15;
  body.drawing_flags = 5;
  body.bg_colour = background;
  body.fg_colour = new_text_colour;
  body.highlight_colour = highlight;
  body.highlight_text_colour = highlight_text;
  build_popup(body, nullptr, nullptr, nullptr, nullptr, nullptr, record, nullptr);
  notify_created();
}

WM_MENU::~WM_MENU() {
  unlink();
  delete popup;  // leaves the overlay list by itself
  popup = nullptr;
}

void WM_MENU::build_popup(const WM_STYLE_SET& body, const WM_STYLE_SET* title_s,
                          const WM_STYLE_SET* item_s, const WM_STYLE_SET* separator_s,
                          const WM_STYLE_SET* up_s, const WM_STYLE_SET* down_s,
                          const DIALOG_EFFECTS* record, const WM_STYLE_SET* submenu_s) {
  open = 0;
  ring_next = ring_prev = nullptr;
  container = nullptr;
  open_callback = nullptr;
  popup_dx = popup_dy = 0;
  WM_STYLE_SET made;
  if (!title_s) {
    made.fg_colour = body.fg_colour;
    made.bg_colour = body.bg_colour;
    made.highlight_colour = body.highlight_colour;
    made.highlight_text_colour = body.highlight_text_colour;
    made.font_id = body.font_id;
    made.font_x_sz = body.font_x_sz;
    made.font_y_sz = body.font_y_sz;
    made.drawing_flags = SSF_LEFT_JUSTIFY_TEXT;
    made.extended_flags = SSEF_AUTO_DEPRESS;
    title_s = &made;
  }
  popup = new WM_FLOATING_MENU(x, y, nullptr, &body, &body, title_s, item_s, false, true,
                               separator_s, up_s, down_s,
                               record ? record : &default_menu_effects(), submenu_s);
  popup->hide(false, false);
  popup->min_width = static_cast<int16_t>(width);
  popup->owner = this;
  if (menu_mode == 1) behaviour = BUTTON_BEHAVIOUR::NORMAL;
  if (menu_mode == 2) behaviour = BUTTON_BEHAVIOUR::AUTO_ACTIVATE;
  kind |= wm_kind::MENU;
  position_popup();
}

// ---- Placement ---------------------------------------------------------------------

void WM_MENU::position_popup() {
  if (!popup) return;
  const int32_t bx = get_x(), by = get_y(), bw = get_width(), bh = get_height();
  const int32_t pw = popup->get_width(), ph = popup->get_height();
  int32_t px = bx, py = by;
  switch (direction) {
    case MENU_DIRECTION::BELOW: py = by + bh + popup_dy; break;
    case MENU_DIRECTION::ABOVE: py = by - ph - popup_dy; break;
    case MENU_DIRECTION::LEFT: px = bx - pw - popup_dx; break;
    case MENU_DIRECTION::RIGHT: px = bx + bw + popup_dx; break;
  }
  popup->set_position(static_cast<int16_t>(px), static_cast<int16_t>(py));
  popup->layout();

  const RECT view = WM_FLOATING_MENU::viewport();
  const int32_t below_end = by + bh + popup_dy + ph;
  const int32_t above_top = by - popup_dy - ph;
  const int32_t left_start = bx - pw - popup_dx;
  const int32_t right_end = bx + popup_dx + bw + pw;
  MENU_DIRECTION turned = direction;
  switch (direction) {
    case MENU_DIRECTION::BELOW:
      if (below_end > view.y2 && above_top > view.y1) turned = MENU_DIRECTION::ABOVE;
      break;
    case MENU_DIRECTION::ABOVE:
      if (below_end < view.y2 && above_top < view.y1) turned = MENU_DIRECTION::BELOW;
      break;
    case MENU_DIRECTION::LEFT:
      if (left_start < view.x1 && right_end < view.x2) turned = MENU_DIRECTION::RIGHT;
      break;
    case MENU_DIRECTION::RIGHT:
      if (left_start > view.x1 && right_end > view.x2) turned = MENU_DIRECTION::LEFT;
      break;
  }
  // Each turn needs room on the new side, so a second call never turns back.
  if (turned != direction) {
    direction = turned;
    position_popup();
  }
}

// ---- Rings ---------------------------------------------------------------------------

void WM_MENU::link(WM_MENU* other) {
  unlink();
  if (!other || other == this) return;
  if (!other->ring_next) other->ring_next = other->ring_prev = other;
  ring_prev = other;
  ring_next = other->ring_next;
  other->ring_next->ring_prev = this;
  other->ring_next = this;
}

void WM_MENU::unlink() {
  if (!ring_next) return;
  ring_prev->ring_next = ring_next;
  ring_next->ring_prev = ring_prev;
  // A member left alone is no ring any more.
  if (ring_next == ring_prev) ring_next->ring_next = ring_next->ring_prev = nullptr;
  ring_next = ring_prev = nullptr;
}

WM_MENU* WM_MENU::ring_member_at(int16_t px, int16_t py) {
  if (!ring_next) return nullptr;
  WM_MENU* m = this;
  do {
    if (m->hit_test(px, py)) return m;
    m = m->ring_next;
  } while (m && m != this);
  return nullptr;
}

// ---- Opening and closing ---------------------------------------------------------------

// A sub-menu item's pop-up closes when the pointer rests on another part of
// the menu that holds the item; one opened by the keyboard stays open
// wherever the pointer is. A free menu has no holder.
bool WM_MENU::pointer_in_holder(int16_t px, int16_t py) const {
  if (!container) return true;
  WM_SCREEN_OBJECT* holder = (container->kind & wm_kind::FLOATING_MENU)
                                 ? container
                                 : static_cast<WM_MENU*>(container)->popup;
  return holder && holder->hit_test(px, py);
}

bool WM_MENU::is_open() const { return popup && popup->visible && is_overlay(popup); }

void WM_MENU::reset_button_state() {
  pressed = prev_left = armed = mouse_over = repeating = 0;
  if (visible) show();
}

bool WM_MENU::call_open_callback() {
  if (!open_callback) return true;
  // The callback may delete this menu, and its pop-up with it.
  const LIFE_WATCH watch(this);
  open_callback(this, open_word_1, open_word_2);
  return watch.alive() && popup;
}

void WM_MENU::open_popup() {
  if (!call_open_callback()) return;
  // Listed once, and on top of the other pop-ups.
  add_overlay(popup, false);
  popup->reset_items();
  popup->show();
  position_popup();
  open = 1;
}

int32_t WM_MENU::menu_clicked(WM_SCREEN_OBJECT*, uintptr_t menu_word, uintptr_t) {
  auto* menu = reinterpret_cast<WM_MENU*>(menu_word);
  if (!menu || !menu->popup) return 0;
  WM_FLOATING_MENU* popup = menu->popup;
  if (is_overlay(popup) && popup->visible && popup->drawn) {
    popup->close(!popup->externally_owned);
    return 0;
  }
  menu->open_popup();
  return 0;
}

// ---- Virtual slots -------------------------------------------------------------------

void WM_MENU::hide(bool overlays, bool children) {
  WM_BUTTON::hide(overlays, children);
  if (popup && popup->visible) popup->hide_tree();
}

int32_t WM_MENU::process() {
  if (open && popup && !popup->visible) {
    if (is_overlay(popup)) remove_overlay(popup, false, false);
    open = 0;
  }
  return WM_BUTTON::process();
}

int32_t WM_MENU::update(bool overlays) {
  if (const int32_t result = WM_BUTTON::update(overlays)) return result;
  if (!open || !popup || !popup->visible || popup->is_moving()) return 0;
  if (mouse.x == MOUSE::OUTSIDE) return 0;
  const auto px = static_cast<int16_t>(mouse.x), py = static_cast<int16_t>(mouse.y);
  if (hit_test(px, py) || popup->hit_test(px, py)) return 0;
  WM_MENU* other = ring_member_at(px, py);
  if (other && other != this && other->enabled && other->popup) {
    popup->close(!popup->externally_owned);
    reset_button_state();
    other->position_popup();
    // Nothing of this menu is touched after the other's callback.
    if (!other->call_open_callback()) return 0;
    other->popup->hide(false, false);
    other->add_overlay(other->popup, false);
    other->popup->reset_items();
    other->popup->show();
    other->open = 1;
    other->pressed = 1;
    other->show();
  } else if (behaviour == BUTTON_BEHAVIOUR::AUTO_ACTIVATE && pointer_in_holder(px, py)) {
    popup->close(!popup->externally_owned);
    reset_button_state();
  }
  return 0;
}

void WM_MENU::set_position(int16_t new_x, int16_t new_y) {
  if (new_x == x && new_y == y) return;
  WM_BUTTON::set_position(new_x, new_y);
  position_popup();
}

void WM_MENU::set_size(uint16_t w, uint16_t h, bool resize_children) {
  if (w == width && h == height) return;
  WM_BUTTON::set_size(w, h, resize_children);
  if (popup) {
    popup->min_width = static_cast<int16_t>(w);
    popup->layout();
    if (popup->visible) popup->show();
  }
  position_popup();
}

void WM_MENU::set_depth(int16_t new_depth) {
  WM_BUTTON::set_depth(new_depth);
  if (popup) popup->set_depth(new_depth);
}

void WM_MENU::draw() { WM_BUTTON::draw(); }

void WM_MENU::set_hotkey(uint32_t key_symbol) {
  WM_BUTTON::set_hotkey(key_symbol);
  if (popup) popup->close_key = key_symbol;
}
