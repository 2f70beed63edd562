// The frame-rate counter: frames counted per calendar second, with the
// running minimum, maximum and average and the text that reports them.
#include <cstdio>

#include "timing.h"

namespace {

uint32_t calendar_seconds() { return static_cast<uint32_t>(get_calendar_seconds()); }

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
