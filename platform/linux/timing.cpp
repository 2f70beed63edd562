// The millisecond clock, sleeping, unique time stamps, the frame rate and
// the "Please Wait" window.
#include "timing.h"

#include <sys/times.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "image.h"
#include "input.h"
#include "window.h"

namespace {

constinit CLOCK_FUNCTION fake_clock = nullptr;

uint32_t calendar_seconds() {
  if (fake_clock) return static_cast<uint32_t>(fake_clock() / 1000);
  return static_cast<uint32_t>(time(nullptr));
}

struct FRAME_RATE_STATE {
  uint32_t frames = 0;          // counted in the current second
  uint32_t second = 0;          // the calendar second they belong to
  bool started = false;         // a second is being counted
  uint32_t last_rate = 0;       // frames of the last complete second
  uint32_t seconds = 0;         // seconds summed
  uint64_t sum = 0;             // frames summed
  uint32_t maximum = 0;
  uint32_t average = 0;
  uint32_t minimum = 0xFFFFFFFF;  // not yet known
  uint32_t text_rate = 0xFFFFFFFF;  // the rate the text was made for; none yet
  char text[320] = {};
};

FRAME_RATE_STATE rate;

void restart_statistics() {
  rate.minimum = 0xFFFFFFFF;
  rate.average = 0;
  rate.seconds = 0;
  rate.sum = 0;
  rate.maximum = 0;
}

// Counts one frame; a new calendar second closes the one before it.
void count_frame() {
  uint32_t now = calendar_seconds();
  if (!rate.started || now != rate.second) {
    if (rate.started) {
      rate.last_rate = rate.frames;
      rate.sum += rate.last_rate;
      ++rate.seconds;
      if (rate.last_rate < rate.minimum) rate.minimum = rate.last_rate;
      if (rate.last_rate > rate.maximum) rate.maximum = rate.last_rate;
      rate.average = static_cast<uint32_t>(rate.sum / rate.seconds);
      if (rate.average / 2 > rate.minimum) restart_statistics();
    }
    rate.frames = 0;
    rate.second = now;
    rate.started = true;
  }
  ++rate.frames;
}

uint32_t shown_minimum() { return rate.minimum == 0xFFFFFFFF ? 0 : rate.minimum; }

bool make_text(const char* label) {
  if (rate.last_rate == rate.text_rate) return false;
  rate.text_rate = rate.last_rate;
  snprintf(rate.text, sizeof rate.text, "%s: %uhz (Min %uhz, Max %uhz, Avg %uhz)",
           label ? label : "Frame Rate", rate.last_rate, shown_minimum(), rate.maximum,
           rate.average);
  return true;
}

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

void sleep_ms(uint32_t ms) {
  if (ms > 999) sleep(ms / 1000);
  usleep((ms % 1000) * 1000);
}

void sleep_seconds(uint32_t seconds) { sleep(seconds); }

uint32_t get_unique_time() {
  static uint32_t last = 0;
  uint32_t now = calendar_seconds();
  last = now > last ? now : last + 1;
  return last;
}

int64_t get_last_key_time() { return key_queue.get_last_key_time(); }

bool show_please_wait(const IMAGE* image) {
  if (!image || image->width < 1 || image->height < 1 || !image->pixels) return false;
  WINDOW_PARAMS params;
  params.title = "Please Wait";
  params.width = image->width;
  params.height = image->height;
  params.borderless = 1;
  if (!open_window(&params, 0)) return false;
  IMAGE* screen = get_screen_image(0);
  if (!screen || screen->width < 1) return false;
  screen->set_clip_rect(0, 0, static_cast<int16_t>(screen->width - 1),
                        static_cast<int16_t>(screen->height - 1));
  screen->blit(image, 0, 0, 0, 0, image->width, image->height, BLIT_BLEND);
  swap_screens(ALL_SCREENS);
  return true;
}

bool FRAME_RATE::count(const char* label, const char** text) {
  count_frame();
  bool changed = make_text(label);
  if (text) *text = rate.text;
  return changed;
}

const char* FRAME_RATE::report(const char* label) {
  count_frame();
  make_text(label);
  return rate.text;
}

uint32_t FRAME_RATE::get(uint32_t* minimum, uint32_t* maximum, uint32_t* average) {
  count_frame();
  if (minimum) *minimum = shown_minimum();
  if (maximum) *maximum = rate.maximum;
  if (average) *average = rate.average;
  return rate.last_rate;
}

void FRAME_RATE::reset() { rate = FRAME_RATE_STATE(); }
