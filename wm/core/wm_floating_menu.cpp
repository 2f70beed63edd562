// Pop-up menus: the item grid and its rows, sizing to the items and the
// viewport, the scroll arrows, keyboard mode with type-ahead, and closing
// or hiding together with the menus the pop-up was opened from.
#include "wm_floating_menu.h"

#include <algorithm>
#include <cstring>

#include "default_dialog_styles.h"
#include "image.h"
#include "input.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_grid.h"
#include "wm_keys.h"
#include "wm_manager.h"
#include "wm_menu.h"
#include "wm_page_manager.h"
#include "wm_script.h"

namespace {

constexpr uint32_t KEY_RETURN = 0xFF0D;
constexpr int32_t SEPARATOR_HEIGHT = 4;

int32_t gap0(uint16_t v) { return v == WM_STYLE_SET::UNSET ? 0 : v; }
int16_t i16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }
uint16_t u16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 65535)); }

std::unique_ptr<WM_STYLE_SET> copy_of(const WM_STYLE_SET* style) {
  return style ? std::make_unique<WM_STYLE_SET>(*style) : nullptr;
}

// ASCII case folding, as item texts are compared with typed characters.
bool starts_with_folded(const char* text, const char* prefix) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (; *prefix; ++prefix, ++text) {
    if (!*text || fold(*text) != fold(*prefix)) return false;
  }
  return true;
}

void reset_button(WM_BUTTON* b) {
  b->pressed = b->prev_left = b->armed = b->mouse_over = b->repeating = 0;
  if (b->visible) b->show();
}

bool is_navigation_key(uint32_t key) {
  return key >= wm_key::HOME && key <= wm_key::END && key != 0xFF58;
}

// Runs action on the floating menu one level above a sub-menu's menu (the
// one it is an item of, or the popup of a menu it sits in), and resets the
// button of such a menu, which stays on screen.
template <class ACTION>
void for_parent_menu(WM_SCREEN_OBJECT* owner, ACTION action) {
  if (!owner || !(owner->kind & wm_kind::MENU) || (owner->kind & wm_kind::FLOATING_MENU)) return;
  WM_SCREEN_OBJECT* c = static_cast<WM_MENU*>(owner)->container;
  if (!c) return;
  if (c->kind & wm_kind::FLOATING_MENU) {
    action(static_cast<WM_FLOATING_MENU*>(c));
  } else if (c->kind & wm_kind::MENU) {
    auto* menu = static_cast<WM_MENU*>(c);
    if (WM_FLOATING_MENU* popup = menu->get_popup()) action(popup);
    reset_button(menu);
  }
}

}  // namespace

POPUP_EFFECTS popup_effects(uint32_t flags, uint32_t open_delay, uint32_t display_delay,
                            uint32_t dragging_alpha, uint32_t extra_1, uint32_t extra_2) {
  POPUP_EFFECTS r;
  r.flags = flags;
  r.open_delay = open_delay;
  r.display_delay = display_delay;
  r.dragging_alpha = dragging_alpha;
  r.extra_1 = extra_1;
  r.extra_2 = extra_2;
  return r;
}

POPUP_EFFECTS& default_floating_menu_effects() {
  static POPUP_EFFECTS record = popup_effects(15, 200, 200, 224, 9, 0);
  return record;
}

RECT WM_FLOATING_MENU::viewport() {
  if (WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get()) {
    int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    manager->get_viewport(&x1, &y1, &x2, &y2);
    return {x1, y1, x2, y2};
  }
  return RECT::sized(0, 0, get_screen_width(0), get_screen_height(0));
}

// ---- Construction ------------------------------------------------------------

WM_FLOATING_MENU::WM_FLOATING_MENU(int16_t nx, int16_t ny, const char* text,
                                   const WM_STYLE_SET* body, const WM_STYLE_SET* title_s,
                                   const WM_STYLE_SET* button_s, const WM_STYLE_SET* item_s,
                                   bool is_movable, bool owned, const WM_STYLE_SET* separator_s,
                                   const WM_STYLE_SET* up_s, const WM_STYLE_SET* down_s,
                                   const DIALOG_EFFECTS* record, const WM_STYLE_SET* submenu_s)
    : WM_DIALOG(nx, ny, 50, 50, text, body, title_s, button_s,
                record ? record : &default_floating_menu_effects()),
      item_style(copy_of(item_s)),
      separator_style(copy_of(separator_s)),
      up_arrow_style(copy_of(up_s)),
      down_arrow_style(copy_of(down_s)),
      submenu_style(copy_of(submenu_s)) {
  kind |= wm_kind::FLOATING_MENU;
  externally_owned = owned ? 1 : 0;
  movable = is_movable ? 1 : 0;
  draggable = movable;
  init_default_dialog_styles();
  const WM_STYLE_SET& b = body ? *body : default_dialog_style();
  const int32_t font_h = b.font_y_sz == WM_STYLE_SET::UNSET ? drawing_surface()->font_height
                                                             : b.font_y_sz;
  row_height = font_h + gap0(b.cell_top_gap) + gap0(b.cell_bottom_gap) + gap0(b.y_spacing);

  // The grid draws nothing of its own: the body shows between the items,
  // and the arrows take the place of a scroll bar.
  grid_style.drawing_flags = 0;
  grid_style.bg_colour = COLOUR_INVISIBLE;
  grid_style.extended_flags = SSEF_GRID_NO_SCROLLBAR;
  grid_style.border_left_gap = grid_style.border_right_gap = 0;
  grid_style.border_top_gap = grid_style.border_bottom_gap = 0;
  grid_style.cell_left_gap = grid_style.cell_right_gap = 0;
  grid_style.cell_top_gap = grid_style.cell_bottom_gap = 0;
  grid_style.x_spacing = grid_style.y_spacing = 0;
  grid = new WM_GRID(0, 0, 49, 49, 1, nullptr, &grid_style, nullptr);
  grid->default_row_height = row_height;
  grid->keyboard_navigation = 0;
  WM_DIALOG::add_child(grid, true);
  layout();
  notify_created();
}

WM_FLOATING_MENU::~WM_FLOATING_MENU() {
  remove_scroll_arrows();
  up_arrow.reset();
  down_arrow.reset();
  // Sub-menu items go while this is still a floating menu; the grid itself
  // is a child and goes with the dialog.
  if (grid) grid->clear(false);
}

const WM_STYLE_SET& WM_FLOATING_MENU::row_style(bool swap) const {
  const bool odd = (items_added & 1) != 0;
  const bool item_look = odd != swap;
  return item_look && item_style ? *item_style : button_style;
}

// ---- Rows ----------------------------------------------------------------------

bool WM_FLOATING_MENU::place_row(WM_SCREEN_OBJECT* object, int32_t object_height) {
  grid->default_row_height = object_height;
  const bool placed = grid->set_cell(0, item_count, object) != nullptr;
  grid->default_row_height = row_height;
  if (!placed) {
    delete object;
    return false;
  }
  ++item_count;
  return true;
}

WM_BUTTON* WM_FLOATING_MENU::add_item(const char* text, WM_CALLBACK callback, uintptr_t word_1,
                                      uintptr_t word_2, bool separator_before) {
  if (!text || !grid) return nullptr;
  if (separator_before) add_separator();
  auto* button = new WM_BUTTON(0, 0, 0, 0, &row_style(false), text, nullptr, item_released,
                               word_1, word_2, button_event::RELEASE);
  // The menu calls the item's own callback once it has closed.
  button->value_word = reinterpret_cast<uintptr_t>(callback);
  button->menu_item = 1;
  button->selectable = grid->keyboard_navigation;
  if (!place_row(button, row_height)) return nullptr;
  ++items_added;
  layout();
  return button;
}

void WM_FLOATING_MENU::add_separator() {
  if (!grid) return;
  WM_SCRIPT* line = nullptr;
  if (separator_style) {
    line = new WM_SCRIPT(0, 0, -1, -1, separator_style.get(), "");
  } else {
    line = new WM_SCRIPT(0, 0, 0, SEPARATOR_HEIGHT - 1, "", 255, WM_STYLE_SET::UNSET,
                         WM_STYLE_SET::UNSET, 0xFF000000, separator_colour);
    line->border_style = 4;
    line->text_flags = script_flag::INDENTED_BORDER;
  }
  const int32_t h = separator_style ? line->get_height() : SEPARATOR_HEIGHT;
  if (place_row(line, h)) layout();
}

WM_MENU* WM_FLOATING_MENU::add_submenu(const char* text, bool separator_before, bool arrow,
                                       const WM_STYLE_SET* style_a, const WM_STYLE_SET* style_b) {
  if (!text || !grid) return nullptr;
  if (separator_before) add_separator();
  const WM_STYLE_SET& a = style_a ? *style_a : row_style(false);
  const WM_STYLE_SET& b = style_b ? *style_b : row_style(true);
  const bool odd = (items_added & 1) != 0;
  const WM_STYLE_SET& own = odd && style_a && style_b ? b : a;
  const WM_STYLE_SET& other = &own == &a ? b : a;
  auto* menu = new WM_MENU(0, 0, 0, 0, text, MENU_DIRECTION::RIGHT, &own,
                           submenu_style ? submenu_style.get() : &body_style, &own, &other,
                           separator_style.get(), up_arrow_style.get(), down_arrow_style.get(),
                           nullptr, submenu_style.get());
  menu->selectable = 0;
  menu->behaviour = BUTTON_BEHAVIOUR::AUTO_ACTIVATE;
  if (arrow) menu->draw_flags |= button_flag::ARROW_RIGHT;
  menu->container =
      owner && (owner->kind & wm_kind::MENU) && !(owner->kind & wm_kind::FLOATING_MENU)
          ? owner
          : this;
  if (!place_row(menu, row_height)) return nullptr;
  ++items_added;
  layout();
  if (WM_FLOATING_MENU* sub = menu->get_popup()) sub->min_width = i16(grid->width);
  menu->position_popup();
  return menu;
}

WM_SCREEN_OBJECT* WM_FLOATING_MENU::row_object(int32_t row) const {
  if (row < 0 || row >= item_count || !grid) return nullptr;
  if (up_item && row == up_row) return up_item;
  if (down_item && row == down_row) return down_item;
  return grid->get_cell(0, row);
}

WM_BUTTON* WM_FLOATING_MENU::get_item(int32_t row) const {
  WM_SCREEN_OBJECT* object = row_object(row);
  return object && (object->kind & wm_kind::BUTTON) ? static_cast<WM_BUTTON*>(object) : nullptr;
}

WM_MENU* WM_FLOATING_MENU::get_submenu_item(int32_t row) const {
  WM_SCREEN_OBJECT* object = row_object(row);
  return object && (object->kind & wm_kind::MENU) ? static_cast<WM_MENU*>(object) : nullptr;
}

int32_t WM_FLOATING_MENU::find_row(const WM_SCREEN_OBJECT* item) const {
  if (!item) return -1;
  if (item == up_arrow.get() && up_item) return up_row;
  if (item == down_arrow.get() && down_item) return down_row;
  for (int32_t i = 0; i < item_count; ++i) {
    if (row_object(i) == item) return i;
  }
  return -1;
}

bool WM_FLOATING_MENU::is_separator(int32_t row) const {
  const WM_SCREEN_OBJECT* object = row_object(row);
  return object && (object->kind & wm_kind::SCRIPT);
}

// A row that a click or Return chooses: a button that opens no sub-menu.
bool WM_FLOATING_MENU::is_choice(int32_t row) const {
  const WM_BUTTON* b = get_item(row);
  return b && !(b->kind & wm_kind::MENU);
}

int32_t WM_FLOATING_MENU::row_span(int32_t row) const {
  const WM_GRID_ROW* r = grid ? grid->get_row(row) : nullptr;
  return r ? r->bottom - r->top() : 0;
}

void WM_FLOATING_MENU::clear_items() {
  if (!grid) return;
  remove_scroll_arrows();
  released_item = nullptr;
  grid->clear(true);
  item_count = 0;
  items_added = 0;
  layout();
}

// ---- Layout --------------------------------------------------------------------

void WM_FLOATING_MENU::scroll_by(int32_t pixels) {
  PARAMETER& s = grid->scroll;
  const int64_t maximum = s.get_int(PARAMETER::MAXIMUM);
  const int64_t value = std::clamp<int64_t>(int64_t{s.get_int(PARAMETER::VALUE)} - pixels, 0, maximum);
  s.set_int(PARAMETER::VALUE, static_cast<int32_t>(value));
  grid->apply_scroll();
}

bool WM_FLOATING_MENU::layout_content() {
  layout();
  return false;
}

void WM_FLOATING_MENU::layout() {
  if (!grid) return;
  WM_MANAGER* area = get_client();
  IMAGE* s = drawing_surface();
  const RECT view = viewport();
  const int32_t frame_w = int32_t{width} - area->width;
  const int32_t frame_h = int32_t{height} - area->height;
  int32_t w = frame_w;
  if (WM_SCRIPT* t = get_title()) {
    const char* text = get_text();
    w = std::max(w, s->get_text_width(t->font, t->font_width, static_cast<int16_t>(t->font_height),
                                      text ? text : "") +
                        body_style.border_left_gap + body_style.border_right_gap);
  }
  const int32_t grid_frames = grid->style.border_left_gap + grid->style.border_right_gap;
  int32_t used = frame_h;
  for (int pass = 0; pass < 2; ++pass) {
    first_visible = item_count ? std::clamp(grid->first_visible_row, 0, item_count - 1) : 0;
    used = frame_h;
    last_visible = first_visible - 1;
    for (int32_t i = first_visible; i < item_count; ++i) {
      const int32_t span = row_span(i);
      // The first row always shows, however small the viewport.
      if (i > first_visible && used + span > view.height()) break;
      used += span;
      last_visible = i;
      if (const WM_BUTTON* b = get_item(i)) {
        w = std::max(w, button_style.get_padded_text_width(s, b->get_text()) + grid_frames +
                            frame_w);
      }
    }
    while (last_visible > first_visible && is_separator(last_visible)) {
      used -= row_span(last_visible--);
    }
    last_visible = std::clamp(last_visible, 0, std::max(item_count - 1, 0));
    const bool hidden = first_visible > 0 || last_visible < item_count - 1;
    if (pass == 0 && hidden && is_separator(first_visible) && first_visible < item_count - 1) {
      remove_scroll_arrows();
      scroll_by(row_span(first_visible));
      continue;
    }
    break;
  }
  w = std::max(w, int32_t{min_width} + frame_w);
  WM_DIALOG::set_size(u16(w), u16(std::max(used, frame_h + 1)), false);
  grid->set_position(area->x, area->y);
  grid->set_size(area->width, area->height, false);

  // Right and bottom edges first, so that a menu larger than the viewport
  // keeps its top-left corner in view.
  int32_t nx = WM_DIALOG::get_x(), ny = WM_DIALOG::get_y();
  if (nx + int32_t{width} - 1 > view.x2) nx = view.x2 - width + 1;
  if (ny + int32_t{height} - 1 > view.y2) ny = view.y2 - height + 1;
  nx = std::max<int32_t>(nx, view.x1);
  ny = std::max<int32_t>(ny, view.y1);
  if (nx != WM_DIALOG::get_x() || ny != WM_DIALOG::get_y()) set_position(i16(nx), i16(ny));
  update_scroll_arrows();
}

void WM_FLOATING_MENU::set_size(uint16_t w, uint16_t h, bool) {
  if (w != width || h != height) layout();
}

void WM_FLOATING_MENU::set_text(const char* text) {
  WM_DIALOG::set_text(text);
  layout();
}

// ---- Scroll arrows ---------------------------------------------------------------

void WM_FLOATING_MENU::swap_in_arrow(bool up, int32_t row) {
  std::unique_ptr<WM_BUTTON>& arrow = up ? up_arrow : down_arrow;
  WM_GRID_ROW* r = grid->get_row(row);
  if (!r || r->cells.empty()) return;
  if (!arrow) {
    const WM_STYLE_SET* own = up ? up_arrow_style.get() : down_arrow_style.get();
    const WM_STYLE_SET& st = own ? *own : button_style;
    const char* text = (st.extended_flags & SSEF_FM_HIDE_SCROLLING_ARROWS) ? "" : up ? "^" : "v";
    arrow.reset(new WM_BUTTON(0, 0, 0, 0, &st, text, nullptr, scroll_arrow,
                              reinterpret_cast<uintptr_t>(this), up ? 1 : 0,
                              button_event::PRESS | button_event::REPEAT));
    arrow->behaviour = BUTTON_BEHAVIOUR::AUTO_ACTIVATE;
    // The menu owns its arrows; a grid emptied from outside only hides them.
    arrow->externally_owned = 1;
  }
  arrow->selectable = grid->keyboard_navigation;
  WM_SCREEN_OBJECT* item = r->cells[0];
  r->replace_cell(0, nullptr, false);
  (up ? up_item : down_item) = item;
  (up ? up_row : down_row) = row;
  grid->set_cell(0, row, arrow.get());
  arrow->show();
}

void WM_FLOATING_MENU::remove_scroll_arrows() {
  if (!grid) return;
  for (const bool up : {true, false}) {
    WM_SCREEN_OBJECT*& item = up ? up_item : down_item;
    int32_t& row = up ? up_row : down_row;
    WM_BUTTON* arrow = (up ? up_arrow : down_arrow).get();
    if (!item) continue;
    WM_GRID_ROW* r = grid->get_row(row);
    if (r && !r->cells.empty() && r->cells[0] == arrow) {
      r->replace_cell(0, nullptr, false);
      grid->set_cell(0, row, item);
      item->show();
    } else {
      delete item;  // its row went; nothing else holds it
    }
    item = nullptr;
    row = -1;
  }
}

void WM_FLOATING_MENU::update_scroll_arrows() {
  if (!grid) return;
  const bool fits = first_visible == 0 && last_visible >= item_count - 1;
  const int32_t offset = grid->get_scroll_offset();
  const bool want_down = !fits && offset < grid->scroll.get_int(PARAMETER::MAXIMUM);
  const bool want_up = !fits && offset > 0 && !(want_down && first_visible == last_visible);
  if ((up_item && (!want_up || up_row != first_visible)) ||
      (down_item && (!want_down || down_row != last_visible))) {
    remove_scroll_arrows();
  }
  if (want_up && !up_item) swap_in_arrow(true, first_visible);
  if (want_down && !down_item) swap_in_arrow(false, last_visible);
}

int32_t WM_FLOATING_MENU::scroll_arrow(WM_SCREEN_OBJECT* button, uintptr_t menu_word,
                                       uintptr_t up) {
  auto* menu = reinterpret_cast<WM_FLOATING_MENU*>(menu_word);
  if (!menu || !menu->grid) return 0;
  menu->remove_scroll_arrows();
  if (up) {
    int32_t pixels = 0;
    for (int32_t r = menu->first_visible - 1; r >= 0; --r) {
      pixels += menu->row_span(r);
      if (!menu->is_separator(r)) break;
    }
    menu->scroll_by(-pixels);
  } else {
    menu->scroll_by(menu->row_span(menu->first_visible));
  }
  menu->layout();
  const int32_t offset = menu->grid->get_scroll_offset();
  if (up ? offset == 0 : offset >= menu->grid->scroll.get_int(PARAMETER::MAXIMUM)) {
    reset_button(static_cast<WM_BUTTON*>(button));
  }
  return 0;
}

// ---- Item state ------------------------------------------------------------------

void WM_FLOATING_MENU::set_items_selectable(bool on) {
  if (!grid) return;
  grid->keyboard_navigation = on ? 1 : 0;
  for (int32_t i = 0; i < item_count; ++i) {
    if (WM_BUTTON* b = get_item(i)) b->selectable = on ? 1 : 0;
  }
  for (WM_BUTTON* arrow : {up_arrow.get(), down_arrow.get()}) {
    if (arrow) arrow->selectable = on ? 1 : 0;
  }
}

void WM_FLOATING_MENU::reset_items() {
  for (int32_t i = 0; i < item_count; ++i) {
    if (WM_BUTTON* b = get_item(i)) reset_button(b);
  }
  just_opened = close_key_held = 1;
  prev_buttons = prev_escape = prev_return = seen_visible = 0;
  type_time = 0;
  type_prefix[0] = 0;
}

void WM_FLOATING_MENU::hide_tree() {
  for (int32_t i = 0; i < item_count; ++i) {
    WM_MENU* sub = get_submenu_item(i);
    if (sub && sub->get_popup() && sub->get_popup()->visible) sub->get_popup()->hide_tree();
  }
  hide(false, false);
}

void WM_FLOATING_MENU::hide(bool overlays, bool children) {
  WM_DIALOG::hide(overlays, children);
  set_items_selectable(false);
}

void WM_FLOATING_MENU::close_parents(bool up) {
  for_parent_menu(owner, [up](WM_FLOATING_MENU* menu) {
    menu->close(!menu->externally_owned);
    if (up) menu->close_parents(true);
  });
}

void WM_FLOATING_MENU::hide_parents(bool up) {
  for_parent_menu(owner, [up](WM_FLOATING_MENU* menu) {
    menu->hide(false, false);
    if (up) menu->hide_parents(true);
  });
}

// ---- Input -------------------------------------------------------------------------

int32_t WM_FLOATING_MENU::item_released(WM_SCREEN_OBJECT* object, uintptr_t word_1,
                                        uintptr_t word_2) {
  auto* item = static_cast<WM_BUTTON*>(object);
  WM_DIALOG* d = current_dialog;
  if (d && (d->kind & wm_kind::FLOATING_MENU)) {
    auto* menu = static_cast<WM_FLOATING_MENU*>(d);
    if (menu->find_row(item) >= 0) {
      menu->released_item = item;
      return 0;
    }
  }
  const auto callback = reinterpret_cast<WM_CALLBACK>(item->value_word);
  return callback ? callback(item, word_1, word_2) : 0;
}

int32_t WM_FLOATING_MENU::focused_row() const {
  int32_t column = 0, row = -1;
  if (!grid || !grid->find_focused_cell(&column, &row, true)) return -1;
  return row;
}

void WM_FLOATING_MENU::focus_row(int32_t row) {
  if (row < 0 || row >= item_count) return;
  // A row that cannot take the focus gives it to the nearest one below,
  // else above.
  int32_t target = -1;
  for (int32_t i = row; i < item_count && target < 0; ++i) {
    if (get_item(i) && get_item(i)->is_selectable()) target = i;
  }
  for (int32_t i = row - 1; i >= 0 && target < 0; --i) {
    if (get_item(i) && get_item(i)->is_selectable()) target = i;
  }
  if (target < 0) return;
  remove_scroll_arrows();
  grid->scroll_to_row(target);
  layout();
  // An arrow must not take the focused row's place: one row further.
  if (down_item && down_row == target) {
    remove_scroll_arrows();
    scroll_by(row_span(first_visible));
    layout();
  } else if (up_item && up_row == target) {
    remove_scroll_arrows();
    // A separator never stands first in a scrolled view: up past it to
    // the item above, as the up arrow goes.
    int32_t pixels = 0;
    for (int32_t r = target - 1; r >= 0; --r) {
      pixels += row_span(r);
      if (!is_separator(r)) break;
    }
    scroll_by(-pixels);
    layout();
  }
  if (WM_SCREEN_OBJECT* cell = grid->get_cell(0, target)) cell->set_focus();
}

void WM_FLOATING_MENU::type_ahead(uint8_t c) {
  const size_t length = strlen(type_prefix);
  if (length == 0 || static_cast<int32_t>(frame_clock - type_time) > static_cast<int32_t>(TYPE_AHEAD_MS)) {
    type_prefix[0] = static_cast<char>(c);
    type_prefix[1] = 0;
  } else if (length < TYPE_AHEAD_LENGTH) {
    type_prefix[length] = static_cast<char>(c);
    type_prefix[length + 1] = 0;
  } else {
    return;
  }
  type_time = frame_clock;
  if (item_count == 0) return;
  const int32_t start = focused_row() + 1;
  for (int32_t k = 0; k < item_count; ++k) {
    const int32_t i = (start + k) % item_count;
    const WM_BUTTON* b = get_item(i);
    if (!b || !starts_with_folded(b->get_text(), type_prefix)) continue;
    set_items_selectable(true);
    focus_row(i);
    return;
  }
}

void WM_FLOATING_MENU::keys() {
  if (!key_queue.get_capacity()) key_queue.set_size(10);
  uint32_t key = key_queue.peek_last_key();
  if (!grid->keyboard_navigation && is_navigation_key(key)) {
    key_queue.get_last_key();
    set_items_selectable(true);
    if (focused_row() < 0) focus_row(first_visible);
    key = 0;
  }
  const int32_t focus = focused_row();
  if (grid->keyboard_navigation && focus >= 0 &&
      (key == wm_key::PAGE_UP || key == wm_key::PAGE_DOWN || key == wm_key::HOME ||
       key == wm_key::END)) {
    key_queue.get_last_key();
    const int32_t page = std::max(last_visible - first_visible + 1, 1);
    int32_t target = 0;
    switch (key) {
      case wm_key::PAGE_UP: target = std::max(focus - page, 0); break;
      case wm_key::PAGE_DOWN: target = std::min(focus + page, item_count - 1); break;
      case wm_key::HOME: target = 0; break;
      default: target = item_count - 1; break;
    }
    focus_row(target);
  }
  // The focus moved onto an arrow: the row behind it comes into view and
  // takes the focus.
  const WM_SCREEN_OBJECT* f = focus_object;
  if (f && ((up_item && f == up_arrow.get()) || (down_item && f == down_arrow.get()))) {
    focus_row(f == up_arrow.get() ? up_row : down_row);
  }
  // Items are found by their 8-bit letters; a code run is taken whole.
  while (const uint32_t c = key_queue.pop_char()) {
    if (c >= 32 && c <= 255) type_ahead(static_cast<uint8_t>(c));
  }
}

void WM_FLOATING_MENU::close_menu() {
  close(!externally_owned);
  if (externally_owned) reset_items();
  close_parents(true);
}

void WM_FLOATING_MENU::select() {
  hide(false, false);
  hide_parents(true);
  if (!externally_owned) remove_request = 1;
  if (owner && (owner->kind & wm_kind::BUTTON)) reset_button(static_cast<WM_BUTTON*>(owner));
}

int32_t WM_FLOATING_MENU::process() {
  if (remove_request) return page_action::REMOVE_OVERLAY;
  if ((visible != 0) != (seen_visible != 0)) {
    seen_visible = visible;
    if (visible) close_key_held = just_opened = 1;
  }
  if (!visible) return 0;
  if (grid) keys();

  const bool hot_down = close_key != 0 && key_down(close_key);
  const bool escape = key_down(KEY_ESCAPE) || (!close_key_held && hot_down);
  const bool return_down = key_down(KEY_RETURN);
  const uint32_t buttons = mouse.buttons & (MOUSE::LEFT | MOUSE::RIGHT);
  const auto px = static_cast<int16_t>(mouse.x), py = static_cast<int16_t>(mouse.y);

  // Until the press that opened the menu has ended, its items see the left
  // button up; only the held mask is touched, never the click times.
  const uint32_t real_left = mouse.buttons & MOUSE::LEFT;
  if (just_opened) mouse.buttons &= ~MOUSE::LEFT;
  draggable = movable && !just_opened;
  released_item = nullptr;
  const LIFE_WATCH watch(this);
  int32_t result = WM_DIALOG::process();
  // The button state is the whole toolkit's: it comes back even when an
  // item's callback deleted the menu.
  mouse.buttons = (mouse.buttons & ~MOUSE::LEFT) | real_left;
  if (!watch.alive()) return result;

  if (prev_escape && !escape) {
    close_menu();
  } else if (prev_return && !return_down) {
    // Return on a sub-menu item opened its pop-up on the press.
    const int32_t row = focused_row();
    if (row < 0) close_menu();
    else if (is_choice(row)) select();
  } else if (!just_opened && !buttons && prev_buttons && !title_hit_test(px, py)) {
    bool chosen = false;
    for (int32_t i = first_visible; i <= last_visible && grid; ++i) {
      WM_SCREEN_OBJECT* cell = grid->get_cell(0, i);
      if (!is_choice(i) || cell != row_object(i) || !cell->hit_test(px, py)) continue;
      select();
      chosen = true;
      break;
    }
    if (!chosen && !hit_test(px, py)) close_menu();
  }
  if (!buttons) just_opened = 0;
  if (!hot_down) close_key_held = 0;
  prev_buttons = buttons ? 1 : 0;
  prev_escape = escape ? 1 : 0;
  prev_return = return_down ? 1 : 0;

  // The chosen item's callback runs last: it may delete or refill the menu.
  if (WM_BUTTON* item = released_item) {
    released_item = nullptr;
    const auto callback = reinterpret_cast<WM_CALLBACK>(item->value_word);
    if (callback) {
      const int32_t answer = callback(item, item->action_word_1, item->action_word_2);
      if (answer != 0) return answer;
    }
  }
  return result;
}

int32_t WM_FLOATING_MENU::update(bool overlays) {
  if (remove_request && !overlays) return page_action::REMOVE_OVERLAY;
  return WM_DIALOG::update(overlays);
}

bool WM_FLOATING_MENU::hit_test(int16_t px, int16_t py) {
  if (WM_DIALOG::hit_test(px, py)) return true;
  for (int32_t i = 0; i < item_count; ++i) {
    WM_MENU* sub = get_submenu_item(i);
    WM_FLOATING_MENU* popup = sub ? sub->get_popup() : nullptr;
    if (popup && popup->visible && popup->hit_test(px, py)) return true;
  }
  return false;
}
