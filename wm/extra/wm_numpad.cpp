#include "wm_numpad.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "image.h"
#include "input.h"
#include "screen.h"
#include "wm_kinds.h"
#include "wm_numpad_key.h"
#include "wm_numpad_label.h"

int32_t WM_NUMPAD::queue_users = 0;
bool WM_NUMPAD::queue_made = false;

namespace {

constexpr uint32_t KEYSYM_SPACE = 0x20;
constexpr uint32_t KEYSYM_DELETE = 0xFFFF;

int16_t i16(int32_t v) { return static_cast<int16_t>(v); }

IMAGE* pad_surface() {
  return WM_SCREEN_OBJECT::drawing_surface() ? WM_SCREEN_OBJECT::drawing_surface()
                                             : get_screen_image();
}

int32_t text_width(const char* t) { return pad_surface()->get_text_width(255, 65535, -1, t); }

std::string right_aligned(const std::string& text) {
  if (text.size() >= WM_NUMPAD::FIELD_COLUMNS) return text;
  return std::string(WM_NUMPAD::FIELD_COLUMNS - text.size(), ' ') + text;
}

bool accepted_type(const PARAMETER* p) {
  if (!p) return false;
  switch (p->get_type()) {
    case PARAMETER::I8:
    case PARAMETER::I16:
    case PARAMETER::I32:
    case PARAMETER::FLOAT:
    case PARAMETER::DOUBLE:
      return true;
    default:
      return false;
  }
}

DIALOG_COLOURS dialog_colours(const NUMPAD_COLOURS& c) {
  DIALOG_COLOURS d;
  d.body_background = c.background;
  d.button_background = c.background;
  d.body_foreground = c.body_text;
  // The second title colour, when set, replaces the first.
  d.title_foreground = (c.title_text_override >> 24) ? c.title_text_override : c.title_text;
  d.button_highlight = c.key_highlight;
  return d;
}

int32_t unit_of_font() { return text_width("Cancel") + pad_surface()->font_width; }

}  // namespace

WM_NUMPAD::WM_NUMPAD(int16_t nx, int16_t ny, PARAMETER* variable, const char* name,
                     WM_CALLBACK callback, uintptr_t word, const NUMPAD_COLOURS& colours,
                     bool is_visible)
    : WM_DIALOG(nx, ny, i16(4 * unit_of_font() + 20), i16(10 * pad_surface()->font_height + 110),
                "Numeric Keypad", dialog_colours(colours), is_visible, nullptr) {
  unit = unit_of_font();
  font_h = pad_surface()->font_height;
  const int32_t u = unit, fh = font_h;
  action_callback = callback;
  action_word_1 = word;
  if (accepted_type(variable)) value = variable;

  const COLOUR text = body_style.fg_colour;
  add_child(new WM_NUMPAD_LABEL(10, 10, name ? name : "", text, COLOUR_INVISIBLE, true), true);
  const char* captions[] = {"Upper Limit", "Lower Limit", "Current Value"};
  for (int i = 0; i < 3; ++i) {
    add_child(new WM_NUMPAD_LABEL(20, i16((i + 1) * fh + 10), captions[i], text,
                                  COLOUR_INVISIBLE, true),
              true);
  }
  entry_left = 20 + text_width("Current Value");
  upper = new WM_NUMPAD_LABEL(i16(4 * u), i16(fh + 10), "", text, COLOUR_INVISIBLE, true);
  lower = new WM_NUMPAD_LABEL(i16(4 * u), i16(2 * fh + 10), "", text, COLOUR_INVISIBLE, true);
  entry = new WM_NUMPAD_LABEL(i16(4 * u), i16(3 * fh + 10), "", text, body_style.bg_colour, true);
  add_child(upper, true);
  add_child(lower, true);
  add_child(entry, true);
  field = right_aligned("");

  static const char* const labels[4][4] = {{"7", "8", "9", "Back"},
                                           {"4", "5", "6", "Clear"},
                                           {"1", "2", "3", "Cancel"},
                                           {"+/-", "0", ".", "OK"}};
  static const uint8_t codes[4][4] = {{'7', '8', '9', KEY_BACK},
                                      {'4', '5', '6', KEY_CLEAR},
                                      {'1', '2', '3', KEY_CANCEL},
                                      {KEY_SIGN, '0', KEY_POINT, KEY_OK}};
  const auto self = reinterpret_cast<uintptr_t>(this);
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 4; ++k) {
      // Press and release both reach on_key; only the release acts.
      add_child(new WM_NUMPAD_KEY(i16(10 + k * u), i16(5 * fh + 25 + r * (fh + 15)),
                                  i16(9 + (k + 1) * u), i16(6 * fh + 39 + r * (fh + 15)),
                                  button_style.bg_colour, button_style.fg_colour, labels[r][k],
                                  nullptr, 0, border_flag::ALL_SIDES, on_key, codes[r][k], self,
                                  true, button_event::PRESS | button_event::RELEASE),
                true);
    }
  }
  kind |= wm_kind::NUMPAD;
  notify_created();
}

WM_NUMPAD::~WM_NUMPAD() { use_key_queue(false); }

bool WM_NUMPAD::is_floating() const {
  return value && (value->get_type() == PARAMETER::FLOAT || value->get_type() == PARAMETER::DOUBLE);
}

void WM_NUMPAD::use_key_queue(bool on) {
  if (on == (queue_user != 0)) return;
  queue_user = on ? 1 : 0;
  if (on) {
    ++queue_users;
    if (key_queue.get_capacity() <= 0) {
      key_queue.set_size(10);
      queue_made = true;
    }
    return;
  }
  // A queue that was there before belongs to whoever made it (text fields).
  if (--queue_users == 0 && queue_made) {
    key_queue.set_size(0);
    queue_made = false;
  }
}

void WM_NUMPAD::set_field(const std::string& text) {
  field = right_aligned(text);
  entry->set_text(field.c_str(), false);
  entry->align_right(get_client()->x + 4 * unit);
}

void WM_NUMPAD::show_number() {
  char buffer[16] = {};
  value->to_string(PARAMETER::VALUE, buffer, sizeof buffer);
  set_field(buffer);
  fresh = 1;
  last_int = value->get_int(PARAMETER::VALUE);
  last_double = value->get_double(PARAMETER::VALUE);
}

void WM_NUMPAD::load_value() {
  char buffer[16] = {};
  value->to_string(PARAMETER::MINIMUM, buffer, sizeof buffer);
  lower->set_text(buffer, false);
  value->to_string(PARAMETER::MAXIMUM, buffer, sizeof buffer);
  upper->set_text(buffer, false);
  const int32_t right = get_client()->x + 4 * unit;
  lower->align_right(right);
  upper->align_right(right);
  show_number();
}

void WM_NUMPAD::draw() {
  if (!value) return WM_DIALOG::draw();
  if (!enabled) {
    enabled = 1;
    load_value();
  } else {
    entry->align_right(get_client()->x + 4 * unit);
  }
  WM_DIALOG::draw();
  draw_border(x + 10, i16(y + 10 + font_h * 3 / 2), i16(x + 4 * unit + 10),
              i16(y + 10 + font_h * 11 / 2), border_flag::ALL_SIDES | border_flag::PRESSED,
              nullptr, 1, 0);
}

void WM_NUMPAD::type_character(char c) {
  if (fresh) {
    fresh = 0;
    set_field(std::string(1, c));
    return;
  }
  set_field(field.substr(1) + c);
}

bool WM_NUMPAD::read_field(double& floating, int64_t& integer) const {
  const char* start = field.c_str();
  while (*start == ' ') ++start;
  if (!*start) return false;
  char* end = nullptr;
  errno = 0;
  if (is_floating()) {
    floating = std::strtod(start, &end);
    if (errno == ERANGE || !std::isfinite(floating)) return false;
    if (value->get_type() == PARAMETER::FLOAT && std::fabs(floating) > 3.4028234663852886e38)
      return false;
  } else {
    const long long n = std::strtoll(start, &end, 10);
    if (errno == ERANGE) return false;
    integer = n;
  }
  return end != start && *end == 0;
}

int32_t WM_NUMPAD::answer(uintptr_t result) {
  if (!action_callback) return 2;
  action_word_2 = result;
  return fire_callback(true);
}

int32_t WM_NUMPAD::confirm() {
  double floating = 0.0;
  int64_t integer = 0;
  bool ok = read_field(floating, integer);
  if (ok && is_floating()) {
    ok = floating <= value->get_double(PARAMETER::MAXIMUM) &&
         floating >= value->get_double(PARAMETER::MINIMUM);
  } else if (ok) {
    ok = integer <= value->get_int(PARAMETER::MAXIMUM) &&
         integer >= value->get_int(PARAMETER::MINIMUM);
  }
  if (!ok) {
    set_field(OUT_OF_RANGE);
    fresh = 1;
    return 0;
  }
  if (is_floating()) value->set_double(PARAMETER::VALUE, floating);
  else value->set_int(PARAMETER::VALUE, static_cast<int32_t>(integer));
  return answer(1);
}

int32_t WM_NUMPAD::key_pressed(uint8_t code) {
  const std::string before = field;
  // OK and Cancel call out: the callback may delete the keypad.
  const LIFE_WATCH watch(this);
  int32_t result = 0;
  if (value && enabled && !(mouse.buttons & MOUSE::LEFT)) {
    switch (code) {
      case KEY_POINT:
        if (!is_floating()) break;
        if (fresh) {
          fresh = 0;
          set_field("");
        }
        if (field.find('.') == std::string::npos) type_character('.');
        break;
      case KEY_SIGN: {
        if (fresh) break;
        const size_t at = field.find_last_of(" -");
        if (at == std::string::npos) break;
        std::string changed = field;
        changed[at] = changed[at] == '-' ? ' ' : '-';
        set_field(changed);
        break;
      }
      case KEY_CLEAR:
        set_field("");
        break;
      case KEY_BACK:
        set_field(fresh ? std::string() : field.substr(0, field.size() - 1));
        break;
      case KEY_OK:
        result = confirm();
        break;
      case KEY_CANCEL:
        result = answer(0);
        break;
      default:  // digits and any other character
        type_character(static_cast<char>(code));
        break;
    }
  }
  if (watch.alive()) refresh(before);
  return result;
}

int32_t WM_NUMPAD::on_key(WM_SCREEN_OBJECT*, uintptr_t code, uintptr_t keypad) {
  auto* pad = reinterpret_cast<WM_NUMPAD*>(keypad);
  return pad ? pad->key_pressed(static_cast<uint8_t>(code)) : 0;
}

// The entry label shrinks with its text: the whole row is cleared so that
// no old digits stay beside it, and the label is drawn again at once.
void WM_NUMPAD::refresh(const std::string& before) {
  entry->align_right(get_client()->x + 4 * unit);
  if (field == before || is_dragging()) return;
  const int32_t cx = get_client()->x, cy = get_client()->y;
  const int32_t x1 = cx + entry_left, x2 = cx + 4 * unit;
  const int32_t y1 = cy + 3 * font_h + 10, y2 = cy + 4 * font_h + 10;
  if (body_style.bg_colour >> 24) {
    pad_surface()->fill_rect(i16(x1), i16(y1), i16(x2), i16(y2), &body_style.bg_colour, false);
  }
  invalidate_rect(x1, y1, x2, y2);
  if (entry->visible) entry->show();
  entry->redraw_now();
}

int32_t WM_NUMPAD::process() {
  use_key_queue(true);
  if (visible) {
    int32_t code = -1;
    // Characters above 255 (a whole code run) mean nothing to the pad.
    const uint32_t c = key_queue.pop_char();
    if (c >= '0' && c <= '9') code = static_cast<int32_t>(c);
    else if (c == '\n') code = KEY_OK;
    else if (c == '.') code = KEY_POINT;
    else if (c == '-') code = KEY_SIGN;
    else if (key_down(KEYSYM_SPACE)) code = KEY_CANCEL;
    else if (key_down(KEYSYM_DELETE)) code = KEY_CLEAR;
    else if (c == 8) code = KEY_BACK;
    if (code >= 0) {
      const LIFE_WATCH watch(this);
      const int32_t result = key_pressed(static_cast<uint8_t>(code));
      if (watch.alive() && (code == KEY_OK || code == KEY_CANCEL) && result == 2)
        hide(false, false);
      return result;
    }
  } else {
    enabled = 0;
    use_key_queue(false);
  }
  if (value && enabled) {
    const bool changed = is_floating() ? value->get_double(PARAMETER::VALUE) != last_double
                                       : value->get_int(PARAMETER::VALUE) != last_int;
    if (changed) {
      const std::string before = field;
      show_number();
      refresh(before);
    }
  }
  return WM_DIALOG::process();
}
