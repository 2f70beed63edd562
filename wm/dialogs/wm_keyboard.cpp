#include "wm_keyboard.h"

#include <algorithm>

#include "input.h"
#include "wm_button.h"
#include "wm_grid.h"
#include "wm_keys.h"

namespace {

using K = KEYBOARD_LAYOUT;

constexpr uint32_t KEY_BACKSPACE = 0xFF08;
constexpr uint32_t KEY_TAB = 0xFF09;
constexpr uint32_t KEY_RETURN = 0xFF0D;
constexpr uint32_t KEY_SHIFT = 0xFFE1;
constexpr uint32_t KEY_CAPS = 0xFFE5;
constexpr uint8_t LINE_FEED = 10;

int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

KEY_FUNCTION function_of(const WM_BUTTON* b) { return static_cast<KEY_FUNCTION>(b->action_word_1); }

}  // namespace

// The same code sits in the last place of row 4 in both Ext grids.
const KEYBOARD_LAYOUT keyboard_layout = {
    5,
    {{14, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 4}},
     {15, {3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}},
     {13, {4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 4}},
     {14, {5, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}},
     {7, {4, 4, 12, 4, 2, 2, 2}}},
    {"<-", "TAB", "SHIFT", "CAPS", "Ext", "Space", "Enter", "<-", "dn", "up", "->"},
    {{{'`', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=', K::BACKSPACE},
      {K::TAB, 'q', 'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p', '[', ']', '#', K::SPACER},
      {K::CAPS, 'a', 's', 'd', 'f', 'g', 'h', 'j', 'k', 'l', ';', '\'', K::ENTER},
      {K::SHIFT, 'z', 'x', 'c', 'v', 'b', 'n', 'm', ',', '.', '/', '\\', K::UP, K::SPACER},
      {K::EXT, K::SPACER, K::SPACE, K::SPACER, K::LEFT, K::DOWN, K::RIGHT}},
     {{'`', '!', '"', 0xA3, '$', '%', '^', '&', '*', '(', ')', '_', '+', K::BACKSPACE},
      {K::TAB, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', '{', '}', '~', K::SPACER},
      {K::CAPS, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', ':', '@', K::ENTER},
      {K::SHIFT, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', '<', '>', '?', '|', K::UP, K::SPACER},
      {K::EXT, K::SPACER, K::SPACE, K::SPACER, K::LEFT, K::DOWN, K::RIGHT}},
     {{'`', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=', K::BACKSPACE},
      {K::TAB, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, '[', ']', '#',
       K::SPACER},
      {K::CAPS, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, '\'', K::ENTER},
      {K::SHIFT, 0xF4, 0xF5, 0xF6, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, '\\', K::UP,
       K::SPACER},
      {K::EXT, K::SPACER, K::SPACE, K::SPACER, K::LEFT, K::DOWN, K::RIGHT}},
     {{'`', '!', '"', 0xA3, '$', '%', '^', '&', '*', '(', ')', '_', '+', K::BACKSPACE},
      {K::TAB, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, '{', '}', '~',
       K::SPACER},
      {K::CAPS, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, '@', K::ENTER},
      {K::SHIFT, 0xD4, 0xD5, 0xD6, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xFE, '|', K::UP,
       K::SPACER},
      {K::EXT, K::SPACER, K::SPACE, K::SPACER, K::LEFT, K::DOWN, K::RIGHT}}}};

WM_KEYBOARD::WM_KEYBOARD(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                         const WM_STYLE_SET* key_style, const KEYBOARD_LAYOUT* new_layout,
                         uint8_t new_key_kind, uint8_t new_latch, uint8_t new_tooltips)
    : WM_SCREEN_OBJECT(true, nullptr, 0, 0),
      layout(new_layout ? new_layout : &keyboard_layout),
      latch(new_latch),
      key_kind(new_key_kind),
      tooltips(new_tooltips) {
  x = x1;
  y = y1;
  width = static_cast<uint16_t>(std::max(1, x2 - x1 + 1));
  height = static_cast<uint16_t>(std::max(1, y2 - y1 + 1));
  const int32_t row_count = std::clamp<int32_t>(layout->row_count, 1, KEYBOARD_LAYOUT::MAX_ROWS);

  // The rows share the height; the keys' own borders part the rows, and a
  // pixel parts the keys of a row.
  WM_GRID::SETUP setup;
  const COLOUR none = COLOUR_INVISIBLE;
  setup.colour = &none;
  setup.columns = std::clamp<int16_t>(layout->rows[0].key_count, 1, KEYBOARD_LAYOUT::MAX_KEYS);
  setup.widths = layout->rows[0].widths;
  setup.border_left = setup.border_right = setup.border_top = setup.border_bottom = 0;
  setup.cell_left = setup.cell_right = 1;
  setup.cell_top = setup.cell_bottom = 0;
  setup.y_spacing = 0;
  setup.row_height = std::max(1, height / row_count);
  grid = new WM_GRID(0, 0, i16(width - 1), i16(height - 1), setup.columns, setup.widths, nullptr,
                     nullptr);
  grid->configure(0, 0, i16(width - 1), i16(height - 1), setup);
  grid->style.extended_flags |= SSEF_GRID_NO_SCROLLBAR;
  add_child(grid, true);

  for (int32_t r = 0; r < row_count; ++r) {
    const KEYBOARD_LAYOUT::ROW& row = layout->rows[r];
    const int16_t keys = std::clamp<int16_t>(row.key_count, 0, KEYBOARD_LAYOUT::MAX_KEYS);
    if (keys == 0) continue;
    grid->set_column_widths(keys, row.widths);
    for (int32_t c = 0; c < keys; ++c) {
      WM_BUTTON* key = grid->add_button_cell(c, r, "", key_style, on_key,
                                             static_cast<uintptr_t>(KEY_FUNCTION::CHARACTER),
                                             reinterpret_cast<uintptr_t>(this), key_kind);
      if (!key) continue;
      // A click on a key must leave the focus on the field it types into.
      key->selectable = 0;
      key->value_word = ' ';
      key->state_callback = is_toggle_active;
      key->state_word = reinterpret_cast<uintptr_t>(this);
      key->active = is_toggle_active(key, key->state_word);
      key->latched = latch;
    }
  }
  apply_layout();
  kind |= wm_kind::KEYBOARD;
  notify_created();
}

template <typename F>
void WM_KEYBOARD::for_each_key(F each) const {
  const int32_t rows = std::min<int32_t>(grid->get_row_count(), KEYBOARD_LAYOUT::MAX_ROWS);
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t keys = std::min<int32_t>(layout->rows[r].key_count, KEYBOARD_LAYOUT::MAX_KEYS);
    for (int32_t c = 0; c < keys; ++c) {
      if (WM_BUTTON* key = get_key_button(c, r)) each(key, r, c);
    }
  }
}

WM_BUTTON* WM_KEYBOARD::apply_layout() {
  const int grid_index = (ext ? 2 : 0) + ((shift != 0) != (caps != 0) ? 1 : 0);
  const auto& chars = layout->grids[grid_index];
  bool found_enter = false;
  for_each_key([&](WM_BUTTON* key, int32_t r, int32_t c) {
    const uint8_t byte = chars[r][c];
    KEY_FUNCTION function = KEY_FUNCTION::CHARACTER;
    uint8_t character = 0;
    const char* label = "";
    char one[2] = {static_cast<char>(byte), 0};
    switch (byte) {
      case K::SPACER: break;
      case K::SHIFT: function = KEY_FUNCTION::SHIFT; label = layout->labels[K::LABEL_SHIFT]; break;
      case K::CAPS: function = KEY_FUNCTION::CAPS; label = layout->labels[K::LABEL_CAPS]; break;
      case K::EXT: function = KEY_FUNCTION::EXT; label = layout->labels[K::LABEL_EXT]; break;
      case K::ENTER:
        function = KEY_FUNCTION::ENTER;
        character = LINE_FEED;
        label = layout->labels[K::LABEL_ENTER];
        break;
      case K::BACKSPACE:
        function = KEY_FUNCTION::BACKSPACE;
        character = 8;
        label = layout->labels[K::LABEL_BACKSPACE];
        break;
      case K::TAB:
        function = KEY_FUNCTION::TAB;
        character = 9;
        label = layout->labels[K::LABEL_TAB];
        break;
      case K::LEFT: function = KEY_FUNCTION::LEFT; label = layout->labels[K::LABEL_LEFT]; break;
      case K::DOWN: function = KEY_FUNCTION::DOWN; label = layout->labels[K::LABEL_DOWN]; break;
      case K::UP: function = KEY_FUNCTION::UP; label = layout->labels[K::LABEL_UP]; break;
      case K::RIGHT: function = KEY_FUNCTION::RIGHT; label = layout->labels[K::LABEL_RIGHT]; break;
      case K::SPACE:
        character = ' ';
        label = layout->labels[K::LABEL_SPACE];
        break;
      default:
        character = byte;
        label = one;
        break;
    }
    if (!label) label = "";
    key->action_word_1 = static_cast<uintptr_t>(function);
    key->value_word = character;
    // Enter answers once, on the release, and keeps the latched look that
    // set_enter_latched gives it.
    if (function == KEY_FUNCTION::ENTER) {
      key->event_mask = PLAIN_KEYS;
      if (!found_enter && highlight_row == NO_KEY) {
        highlight_row = static_cast<uint16_t>(r);
        highlight_column = static_cast<uint16_t>(c);
      }
      found_enter = true;
    } else {
      key->event_mask = key_kind;
      key->latched = latch;
    }
    key->set_text(label, false);
    key->set_tooltip(tooltips ? label : nullptr);
    if (byte == K::SPACER) {
      if (key->visible) key->hide(false, false);
    } else if (!key->visible && visible) {
      key->show();
    }
  });
  if (highlight_row == NO_KEY) highlight_row = highlight_column = 0;
  WM_BUTTON* highlighted = get_key_button(highlight_column, highlight_row);
  if (highlighted && !highlighted->highlighted) {
    highlighted->highlighted = 1;
    if (highlighted->visible) highlighted->show();
  }
  return highlighted;
}

int32_t WM_KEYBOARD::on_key(WM_SCREEN_OBJECT* object, uintptr_t function, uintptr_t word) {
  auto* k = reinterpret_cast<WM_KEYBOARD*>(word);
  if (!k || !object) return 0;
  bool toggled = false;
  const auto f = static_cast<KEY_FUNCTION>(function);
  switch (f) {
    case KEY_FUNCTION::CHARACTER: k->pending_character = static_cast<uint8_t>(object->value_word); break;
    case KEY_FUNCTION::BACKSPACE: k->pending_key = KEY_BACKSPACE; k->pending_character = 8; break;
    case KEY_FUNCTION::TAB: k->pending_key = KEY_TAB; k->pending_character = 9; break;
    case KEY_FUNCTION::ENTER: k->pending_key = KEY_RETURN; k->pending_character = LINE_FEED; break;
    case KEY_FUNCTION::LEFT: k->pending_key = wm_key::LEFT; break;
    case KEY_FUNCTION::DOWN: k->pending_key = wm_key::DOWN; break;
    case KEY_FUNCTION::UP: k->pending_key = wm_key::UP; break;
    case KEY_FUNCTION::RIGHT: k->pending_key = wm_key::RIGHT; break;
    case KEY_FUNCTION::CAPS:
      k->pending_key = KEY_CAPS;
      k->caps ^= 1;
      toggled = true;
      break;
    case KEY_FUNCTION::SHIFT:
      k->pending_key = KEY_SHIFT;
      k->shift ^= 1;
      toggled = true;
      break;
    case KEY_FUNCTION::EXT:
      k->ext ^= 1;
      toggled = true;
      break;
  }
  // Shift holds for one typed key only.
  if (k->shift && (f == KEY_FUNCTION::CHARACTER || f == KEY_FUNCTION::BACKSPACE ||
                   f == KEY_FUNCTION::TAB)) {
    k->shift = 0;
    toggled = true;
  }
  if (toggled) k->apply_layout();
  return 0;
}

uint8_t WM_KEYBOARD::is_toggle_active(WM_BUTTON* button, uintptr_t word) {
  const auto* k = reinterpret_cast<const WM_KEYBOARD*>(word);
  if (!k || !button) return 0;
  switch (function_of(button)) {
    case KEY_FUNCTION::CAPS: return k->caps;
    case KEY_FUNCTION::SHIFT: return k->shift;
    case KEY_FUNCTION::EXT: return k->ext;
    default: return 0;
  }
}

WM_BUTTON* WM_KEYBOARD::get_key_button(int32_t column, int32_t row) const {
  WM_SCREEN_OBJECT* cell = grid ? grid->get_cell(column, row) : nullptr;
  return cell && (cell->kind & wm_kind::BUTTON) ? static_cast<WM_BUTTON*>(cell) : nullptr;
}

void WM_KEYBOARD::set_enter_latched(bool on) {
  for_each_key([on](WM_BUTTON* key, int32_t, int32_t) {
    if (function_of(key) != KEY_FUNCTION::ENTER) return;
    if (on && key->latched) return;
    key->latched = on ? 1 : 0;
    if (!on) key->pressed = 0;
    if (key->visible) key->show();
  });
}

bool WM_KEYBOARD::any_enter_latched() const {
  bool any = false;
  for_each_key([&any](WM_BUTTON* key, int32_t, int32_t) {
    if (function_of(key) == KEY_FUNCTION::ENTER && key->latched) any = true;
  });
  return any;
}

int32_t WM_KEYBOARD::process() {
  // What the last click produced reaches the field now, on the same paths
  // as a real key press.
  if (pending_key || pending_character) {
    if (pending_key) key_queue.set_last_key(pending_key);
    if (pending_character) key_queue.on_key(pending_character);
    pending_key = 0;
    pending_character = 0;
    return 0;
  }
  const int32_t result = WM_SCREEN_OBJECT::process();
  const uint32_t key = key_queue.peek_last_key();
  if (key >= wm_key::LEFT && key <= wm_key::DOWN) {
    key_queue.get_last_key();
    move_highlight(key);
  }
  return result;
}

void WM_KEYBOARD::move_highlight(uint32_t key) {
  if (highlight_row == NO_KEY) return;
  static constexpr WM_GRID::DIRECTION directions[] = {
      WM_GRID::DIRECTION::LEFT, WM_GRID::DIRECTION::UP, WM_GRID::DIRECTION::RIGHT,
      WM_GRID::DIRECTION::DOWN};
  int32_t column = highlight_column, row = highlight_row;
  WM_SCREEN_OBJECT* next =
      grid->next_cell(directions[key - wm_key::LEFT], highlight_column, highlight_row, &column,
                      &row, false);
  if (!next || !(next->kind & wm_kind::BUTTON)) return;
  auto* to = static_cast<WM_BUTTON*>(next);
  if (to->highlighted) return;
  to->highlighted = 1;
  if (to->visible) to->show();
  if (WM_BUTTON* from = get_key_button(highlight_column, highlight_row)) {
    from->highlighted = 0;
    if (from->visible) from->show();
  }
  highlight_column = static_cast<uint16_t>(column);
  highlight_row = static_cast<uint16_t>(row);
}
