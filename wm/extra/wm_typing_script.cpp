#include "wm_typing_script.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "input.h"
#include "text_convert.h"
#include "timing.h"

namespace {

// Characters of system text, a byte-1 run's character being one.
uint32_t character_count(const char* text) {
  SYSTEM_TEXT_READER reader(text);
  uint32_t count = 0, code_point;
  while (reader.next_char(code_point)) ++count;
  return count;
}

// The first n characters of system text, a run still open there closed.
std::string first_characters(const char* text, uint32_t n) {
  SYSTEM_TEXT_READER reader(text);
  uint32_t code_point;
  for (uint32_t i = 0; i < n && reader.next_char(code_point); ++i) {
  }
  std::string prefix(text, static_cast<size_t>(reader.position() - text));
  if (reader.in_run()) {
    // The reader stands behind the group's separating comma.
    if (!prefix.empty() && prefix.back() == ',') prefix.pop_back();
    prefix += '\x01';
  }
  return prefix;
}

}  // namespace

WM_TYPING_SCRIPT::WM_TYPING_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                   const WM_STYLE_SET* style, const char* new_text)
    : WM_SCRIPT(x1, y1, x2, y2, style, new_text) {
  start_typing();
}

WM_TYPING_SCRIPT::WM_TYPING_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                   const char* new_text, uint8_t new_font, uint16_t font_w,
                                   uint16_t font_h, COLOUR new_text_colour, COLOUR background)
    : WM_SCRIPT(x1, y1, x2, y2, new_text, new_font, font_w, font_h, new_text_colour, background) {
  start_typing();
}

WM_TYPING_SCRIPT::~WM_TYPING_SCRIPT() { full_text.clear(); }

void WM_TYPING_SCRIPT::start_typing() {
  const char* current = text.get_type() == PARAMETER::TEXT ? text.get_text(PARAMETER::VALUE)
                                                           : nullptr;
  full_text.set(current);
  started = false;
  typing_start = 0;
  characters_shown = 0;
  if (interval == 0) {
    characters_to_type = 0;
    return;
  }
  characters_to_type =
      static_cast<uint16_t>(std::min<uint32_t>(character_count(full_text.get_text()), 65535));
  WM_SCRIPT::set_text("", false);
}

void WM_TYPING_SCRIPT::set_text(const char* new_text, bool grow) {
  WM_SCRIPT::set_text(new_text, grow);
  start_typing();
}

void WM_TYPING_SCRIPT::draw() {
  if (is_typing() && !started) {
    typing_start = get_time_ms() + start_delay;
    started = true;
  }
  WM_SCRIPT::draw();
}

void WM_TYPING_SCRIPT::finish_typing() {
  characters_to_type = 0;
  WM_SCRIPT::set_text(full_text.get_text() ? full_text.get_text() : "", false);
}

bool WM_TYPING_SCRIPT::call_back() {
  const LIFE_WATCH watch(this);
  fire_callback(true);
  return watch.alive();
}

// Ticks its children only, whatever the caller asks.
int32_t WM_TYPING_SCRIPT::update(bool) {
  const uint32_t now = get_time_ms();
  if (is_typing() && started && static_cast<int32_t>(now - typing_start) >= 0) {
    // An interval switched off while typing finishes the text.
    const uint32_t n = interval ? (now - typing_start) / interval : UINT32_MAX;
    if (n < characters_to_type) {
      // Only a new character needs the redraw.
      if (n != characters_shown) {
        characters_shown = static_cast<uint16_t>(n);
        WM_SCRIPT::set_text(first_characters(full_text.get_text(), n).c_str(), false);
      }
    } else {
      finish_typing();
      if (!call_back()) return 0;
    }
  }
  return WM_SCRIPT::update(false);
}

int32_t WM_TYPING_SCRIPT::process() {
  if (is_typing() && (mouse.buttons & MOUSE::LEFT) && mouse.x != MOUSE::OUTSIDE &&
      is_inside(static_cast<int16_t>(mouse.x), static_cast<int16_t>(mouse.y))) {
    finish_typing();
    if (!call_back()) return 0;
  }
  return WM_SCRIPT::process();
}
