// Unique time stamps and the time of the last key.
#include "input.h"
#include "timing.h"

uint32_t get_unique_time() {
  static uint32_t last = 0;
  uint32_t now = static_cast<uint32_t>(get_calendar_seconds());
  last = now > last ? now : last + 1;
  return last;
}

int64_t get_last_key_time() { return key_queue.get_last_key_time(); }
