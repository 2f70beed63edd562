#pragma once
// The program's clocks: a millisecond counter for animation, effects,
// repeats and transitions (with a seam so tests need not wait), sleeping,
// unique time stamps, the time of the last key and the frame-rate counter;
// also the "Please Wait" window shown while the program is busy.
#include <cstdint>

class IMAGE;

// Milliseconds since an arbitrary origin, from the process clock (times),
// wrapping at 2^32: compare two readings by subtracting them as uint32_t.
uint32_t get_time_ms();

// Test seam: while a clock is set, get_time_ms returns its milliseconds
// (cut to 32 bits), and the calendar seconds of get_unique_time and
// FRAME_RATE are its milliseconds / 1000 (so it can stand for a calendar
// time too). Null restores the real clocks.
using CLOCK_FUNCTION = uint64_t (*)();
void set_clock(CLOCK_FUNCTION clock);

// The calendar time in seconds (time()), or the seam's milliseconds / 1000.
int64_t get_calendar_seconds();

// sleep for the whole seconds, then usleep for the rest.
void sleep_ms(uint32_t ms);
void sleep_seconds(uint32_t seconds);

// The calendar time in seconds, but always greater than the value returned
// before (that value + 1 while the clock has not moved on).
uint32_t get_unique_time();

// The calendar time (seconds) of the latest key press; 0 when none came.
int64_t get_last_key_time();

// Opens a borderless window titled "Please Wait" of the image's size, draws
// the image at its top left and presents it. False when there is no image
// or the window cannot open.
bool show_please_wait(const IMAGE* image);

// Frames per second, counted once per call. One counter is shared by all
// three calls; each rate is the frame count of one whole calendar second.
// A second whose rate falls below half the running average starts the
// minimum, maximum and average again.
class FRAME_RATE {
public:
  // Counts a frame and puts the text "<label>: <rate>hz (Min ..hz, Max ..hz,
  // Avg ..hz)" (label null = "Frame Rate") in text; true when the text
  // changed. The text is only made anew when the rate changed.
  static bool count(const char* label, const char** text);
  // Counts a frame and returns the text (a static buffer).
  static const char* report(const char* label);
  // Counts a frame and returns the last second's rate; the outputs may be
  // null. The minimum is 0 while none was measured.
  static uint32_t get(uint32_t* minimum, uint32_t* maximum, uint32_t* average);
  // Forgets everything counted (for tests and new measurements).
  static void reset();
};
