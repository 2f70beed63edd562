// Entropy from the kernel, for generators that must not be guessable from
// the clock.
#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "random.h"

bool read_system_entropy(void* out, int32_t count) {
  if (!out || count < 0) return false;
  unsigned char buffer[256];
  if (static_cast<size_t>(count) > sizeof buffer) return false;
  size_t have = 0;
  while (have < static_cast<size_t>(count)) {
    ssize_t got = getrandom(buffer + have, static_cast<size_t>(count) - have, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    have += static_cast<size_t>(got);
  }
  memcpy(out, buffer, have);
  return true;
}
