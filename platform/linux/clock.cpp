// The program's clocks: the millisecond counter and the calendar seconds,
// with the one seam through which tests stand in for both, and sleeping.
#include <sys/times.h>
#include <unistd.h>

#include <ctime>

#include "timing.h"

namespace {

constinit CLOCK_FUNCTION fake_clock = nullptr;

}  // namespace

uint32_t get_time_ms() {
  if (fake_clock) return static_cast<uint32_t>(fake_clock());
  static const uint64_t ticks_per_second = [] {
    long ticks = sysconf(_SC_CLK_TCK);
    return static_cast<uint64_t>(ticks > 0 ? ticks : 100);
  }();
  struct tms unused;
  uint64_t ticks = static_cast<uint64_t>(times(&unused));
  return static_cast<uint32_t>(ticks * 1000 / ticks_per_second);
}

void set_clock(CLOCK_FUNCTION clock) { fake_clock = clock; }

int64_t get_calendar_seconds() {
  if (fake_clock) return static_cast<int64_t>(fake_clock() / 1000);
  return static_cast<int64_t>(time(nullptr));
}

void sleep_ms(uint32_t ms) {
  if (ms > 999) sleep(ms / 1000);
  usleep((ms % 1000) * 1000);
}

void sleep_seconds(uint32_t seconds) { sleep(seconds); }
