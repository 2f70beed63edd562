// Drop-down lists: items in the menu's pop-up, the shown selection cut to
// the box, wheel steps over the items and one report per user change.
#include "wm_list_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "image.h"
#include "input.h"

namespace {

// The characters of a system text: a plain byte each, or one ",XXXX" code
// of a byte-1 run.
std::vector<std::string> split_characters(const char* text) {
  std::vector<std::string> out;
  bool in_run = false;
  for (const char* p = text; *p;) {
    if (*p == 1) {
      in_run = !in_run;
      ++p;
    } else if (!in_run) {
      out.emplace_back(1, *p++);
    } else if (*p == ',') {
      ++p;
    } else {
      std::string code = ",";
      while (*p && *p != 1 && *p != ',' && code.size() < 5) code += *p++;
      out.push_back(code);
    }
  }
  return out;
}

// The first n characters as a text whose runs are all closed.
std::string join_characters(const std::vector<std::string>& characters, size_t n) {
  std::string out;
  bool in_run = false;
  for (size_t i = 0; i < n; ++i) {
    const bool coded = characters[i].size() > 1;
    if (coded != in_run) out += '\x01';
    in_run = coded;
    out += characters[i];
  }
  if (in_run) out += '\x01';
  return out;
}

}  // namespace

POPUP_EFFECTS& default_list_box_effects() {
  static POPUP_EFFECTS record = popup_effects(0x60, 100, 200, 224, 1, 12);
  return record;
}

WM_LIST_BOX::WM_LIST_BOX(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int32_t n,
                         const char* const* texts, int32_t initial,
                         const WM_STYLE_SET* button_s, const WM_STYLE_SET* body_s,
                         const WM_STYLE_SET* title_s, const WM_STYLE_SET* item_s,
                         const WM_STYLE_SET* separator_s, const WM_STYLE_SET* up_s,
                         const WM_STYLE_SET* down_s, const WM_STYLE_SET* submenu_s,
                         LIST_BOX_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                         const DIALOG_EFFECTS* record)
    : WM_MENU(x1, y1, x2, y2, "", MENU_DIRECTION::BELOW, button_s, body_s, title_s, item_s,
              separator_s, up_s, down_s, record ? record : &default_list_box_effects(),
              submenu_s),
      change_callback(callback),
      change_word_1(word_1),
      change_word_2(word_2) {
  kind |= wm_kind::LIST_BOX;
  init(n, texts, initial);
  notify_created();
}

WM_LIST_BOX::WM_LIST_BOX(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int32_t n,
                         const char* const* texts, int32_t initial, COLOUR background,
                         COLOUR new_text_colour, COLOUR highlight, COLOUR highlight_text,
                         bool is_visible, LIST_BOX_CALLBACK callback, uintptr_t word_1,
                         uintptr_t word_2, const DIALOG_EFFECTS* record)
    : WM_MENU(x1, y1, x2, y2, background, new_text_colour, highlight, highlight_text, "",
              is_visible, MENU_DIRECTION::BELOW, record ? record : &default_list_box_effects()),
      change_callback(callback),
      change_word_1(word_1),
      change_word_2(word_2) {
  kind |= wm_kind::LIST_BOX;
  init(n, texts, initial);
  notify_created();
}

void WM_LIST_BOX::init(int32_t n, const char* const* texts, int32_t initial) {
  show_icon = 1;
  refresh = wheel_armed = 0;
  count = 0;
  selected = NONE;
  reported = -1;
  if (popup) popup->clear_items();
  for (int32_t i = 0; i < n && texts; ++i) add_list_item(texts[i], 0, false, false, false);
  set_selected(std::max(initial, 0), true);
  user_changed = 0;
}

WM_BUTTON* WM_LIST_BOX::add_list_item(const char* text, uint32_t item_value, bool as_submenu,
                                      bool use_value, bool separator_before) {
  if (!text || !popup) return nullptr;
  WM_BUTTON* item = nullptr;
  if (as_submenu) {
    item = popup->add_submenu(text, separator_before, false, nullptr, nullptr);
  } else {
    item = popup->add_item(text, item_clicked, reinterpret_cast<uintptr_t>(this), item_value,
                           separator_before);
  }
  // Rows are counted from the pop-up, separators included on both paths.
  count = popup->get_item_count();
  if (!item) return nullptr;
  const int32_t row = popup->find_row(item);
  if (!as_submenu && !use_value) item->action_word_2 = static_cast<uintptr_t>(row);
  position_popup();
  if (row == selected) show_selection();
  return item;
}

bool WM_LIST_BOX::is_item_row(int32_t row) const {
  const WM_BUTTON* item = popup ? popup->get_item(row) : nullptr;
  return item && !(item->kind & wm_kind::MENU);
}

void WM_LIST_BOX::set_selected(int32_t row, bool silent) {
  if (count <= 0) return;
  row = std::clamp(row, 0, count - 1);
  if (row == selected || !is_item_row(row)) return;
  selected = row;
  show_selection();
  if (visible) show();
  user_changed = silent ? 0 : 1;
}

void WM_LIST_BOX::select_by_value(uint32_t wanted, bool silent) {
  for (int32_t row = 0; row < count; ++row) {
    if (is_item_row(row) && popup->get_item(row)->action_word_2 == wanted) {
      set_selected(row, silent);
      return;
    }
  }
}

int32_t WM_LIST_BOX::item_clicked(WM_SCREEN_OBJECT* item, uintptr_t list_box, uintptr_t) {
  auto* box = reinterpret_cast<WM_LIST_BOX*>(list_box);
  const int32_t row = box && box->popup ? box->popup->find_row(item) : -1;
  if (row < 0) return 0;
  box->selected = row;
  box->show_selection();
  if (box->visible) box->show();
  box->user_changed = 1;
  return 0;
}

void WM_LIST_BOX::show_selection() {
  const WM_BUTTON* item =
      selected != NONE && is_item_row(selected) ? popup->get_item(selected) : nullptr;
  if (!item) {
    set_display_text("");
    return;
  }
  value = static_cast<uint32_t>(item->action_word_2);
  if (show_icon && item->icon.width > 0) set_icon_image(item->icon);
  set_display_text(item->get_text());
}

void WM_LIST_BOX::set_display_text(const char* text) {
  if (!text) text = "";
  IMAGE* s = drawing_surface();
  const int32_t room = int32_t{width} - left_gap - right_gap;
  const std::vector<std::string> characters = split_characters(text);
  size_t keep = characters.size();
  std::string shown = join_characters(characters, keep);
  while (keep > 0 && s->get_text_width(font, font_width, static_cast<int16_t>(font_height),
                                       shown.c_str()) > room) {
    shown = join_characters(characters, --keep);
  }
  set_text(shown.c_str(), false);
}

int32_t WM_LIST_BOX::process() {
  const LIFE_WATCH watch(this);
  int32_t result = WM_MENU::process();
  if (!watch.alive()) return result;
  const auto px = static_cast<int16_t>(mouse.x), py = static_cast<int16_t>(mouse.y);
  if (mouse.x == MOUSE::OUTSIDE || !visible || !hit_test(px, py)) {
    wheel_armed = 0;
  } else if (!wheel_armed) {
    mouse.wheel = 0;
    wheel_armed = 1;
  } else if (mouse.wheel != 0) {
    const int32_t steps = mouse.wheel;
    mouse.wheel = 0;
    // Each notch moves to the next item row, passing over separators and
    // sub-menus, and stops at either end.
    const int32_t dir = steps > 0 ? -1 : 1;
    int32_t row = selected == NONE ? (dir > 0 ? -1 : count) : selected;
    for (int32_t k = 0; k < std::abs(steps); ++k) {
      int32_t next = row + dir;
      while (next >= 0 && next < count && !is_item_row(next)) next += dir;
      if (next < 0 || next >= count) break;
      row = next;
    }
    if (row >= 0 && row < count && row != selected) {
      selected = row;
      show_selection();
      show();
      user_changed = 1;
    }
  }

  if (selected == reported && !refresh) return result;
  refresh = 0;
  show_selection();
  if (selected != reported) {
    reported = selected;
    if (user_changed && change_callback) {
      const uint8_t saved = prev_left;
      prev_left = 1;
      const int32_t answer = change_callback(this, change_word_1, change_word_2);
      if (!watch.alive()) return answer;
      prev_left = saved;
      if (answer != 0) result = answer;
    }
  }
  return result;
}

void WM_LIST_BOX::set_size(uint16_t w, uint16_t h, bool resize_children) {
  WM_MENU::set_size(w, h, resize_children);
  refresh = 1;
}
