// Line input from the typed-character queue.
#include <algorithm>

#include "input.h"
#include "platform.h"

int32_t read_line(bool wait, int32_t* length, char* buffer, int32_t size,
                  READ_LINE_CALLBACK callback, intptr_t user) {
  if (!length || !buffer || size < 1) return 1;
  // The length comes from the caller: keep it inside the buffer.
  *length = std::clamp<int32_t>(*length, 0, size - 1);
  buffer[*length] = '\0';
  for (;;) {
    // A character above 255 comes whole in its code run; the line takes
    // 8-bit characters only.
    const uint32_t code = key_queue.pop_char();
    if (code > 255) continue;
    const auto c = static_cast<uint8_t>(code);
    if (c == 0) {
      if (!wait) return 3;
      if (callback && !callback(READ_LINE_IDLE, user)) return 1;
      platform_update();
      continue;
    }
    if (c == 10) {
      if (callback && !callback(READ_LINE_CHANGED, user)) return 1;
      return 2;
    }
    bool changed = false;
    if (c == 8) {
      if (*length > 0) {
        buffer[--*length] = '\0';
        changed = true;
      }
    } else if (c > 31 && *length < size - 1) {
      buffer[(*length)++] = static_cast<char>(c);
      buffer[*length] = '\0';
      changed = true;
    }
    if (changed && callback && !callback(READ_LINE_CHANGED, user)) return 1;
    if (!wait) return 4;
  }
}
