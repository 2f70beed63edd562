#include "wm_vidiprinter.h"

#include <algorithm>
#include <cstring>

#include "text_convert.h"

namespace {

// Characters of system text, a code of a byte-1 run counting as one.
int32_t character_count(const char* text) {
  SYSTEM_TEXT_READER reader(text);
  int32_t count = 0;
  uint32_t code_point;
  while (count < INT16_MAX && reader.next_char(code_point)) ++count;
  return count;
}

// The byte at which the text is cut to show its first n characters: never
// inside a run's code, so the part shown is whole characters.
size_t cut_byte(const char* text, int32_t n) {
  SYSTEM_TEXT_READER reader(text);
  uint32_t code_point;
  for (int32_t i = 0; i < n && reader.next_char(code_point);) ++i;
  size_t at = static_cast<size_t>(reader.position() - text);
  // Inside a run the reader stands behind the next code's comma.
  if (reader.in_run() && at > 0 && text[at - 1] == ',') --at;
  return at;
}

}  // namespace

WM_VIDIPRINTER::WM_VIDIPRINTER(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                               int16_t time_per_character, uint16_t hold, int16_t maximum,
                               const WM_TICKER_TEXT& text, CLICK_MODE click_mode, bool centred,
                               WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2)
    : WM_TICKER(NO_HOOK{}, x1, y1, x2, y2, time_per_character, maximum, text, click_mode,
                callback, word_1, word_2),
      hold_time(hold),
      centre(centred) {
  kind |= wm_kind::VIDIPRINTER;
  notify_created();
}

WM_VIDIPRINTER::~WM_VIDIPRINTER() {
  // The items go with the ticker; what was cut from them goes too.
  abandon_cut();
}

void WM_VIDIPRINTER::abandon_cut() {
  hidden_character = 0;
  reveal_position = -1;
  revealed = -1;
}

void WM_VIDIPRINTER::restore_cut() {
  if (reveal_position >= 0 && current_is_valid()) {
    std::string& t = items[static_cast<size_t>(current_item)]->text;
    const size_t at = static_cast<size_t>(reveal_position);
    if (at < t.size()) t[at] = static_cast<char>(hidden_character);
  }
  abandon_cut();
}

void WM_VIDIPRINTER::cut_at(int32_t n) {
  std::string& t = items[static_cast<size_t>(current_item)]->text;
  const size_t at = cut_byte(t.c_str(), n);
  if (at < t.size()) {
    hidden_character = static_cast<uint8_t>(t[at]);
    t[at] = '\0';
  } else {
    hidden_character = 0;
  }
  reveal_position = static_cast<int32_t>(at);
  revealed = n;
}

bool WM_VIDIPRINTER::tick() {
  if (!visible || paused) return false;
  if (pass_start == 0) restore_cut();
  if (!current_is_valid()) {
    if (items.empty()) return false;
    pass_start = pass_duration = 0;
  }
  const uint32_t now = frame_clock;
  if (static_cast<uint32_t>(pass_start + pass_duration + hold_time) < now) {
    restore_cut();
    ++current_item;
    if (current_item >= item_count()) {
      end_cycle();
      if (items.empty()) {
        current_item = -1;
        return false;
      }
      current_item = 0;
    }
    const char* item = items[static_cast<size_t>(current_item)]->text.c_str();
    text_x = x;
    text_extent = character_count(item);
    pass_start = now;
    // No time per character (or no characters): shown whole at once.
    const int64_t d = speed > 0 ? static_cast<int64_t>(text_extent) * speed : 0;
    pass_duration = static_cast<uint32_t>(std::min<int64_t>(d, UINT32_MAX));
    if (centre) {
      const int32_t w = measure(item);
      if (w < width) text_x += (width - w) / 2;
    }
    cut_at(0);
    return false;
  }
  const uint32_t elapsed = now - pass_start;
  const int32_t n =
      pass_duration == 0 || elapsed >= pass_duration
          ? text_extent
          : static_cast<int32_t>(static_cast<int64_t>(text_extent) * elapsed / pass_duration);
  if (n == revealed) return false;
  restore_cut();
  const char* item = items[static_cast<size_t>(current_item)]->text.c_str();
  const int32_t whole = centre ? measure(item) : 0;
  cut_at(n);
  const int32_t shown = measure(item);
  // The newest characters stay at the right edge once the text is wider.
  text_x = x - (shown > width ? shown - width : 0);
  if (centre && whole < width) text_x += (width - whole) / 2;
  show();
  return true;
}
