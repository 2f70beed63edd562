// The clocks: the millisecond counter against the system's monotonic clock,
// sleeping, and unique time stamps and the frame-rate counter driven by a
// fake clock.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "input.h"
#include "timing.h"

namespace {

uint64_t fake_ms = 0;
uint64_t fake_clock() { return fake_ms; }

uint64_t fake_calendar() { return 1700000123ull * 1000 + 456; }

uint64_t monotonic_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

class FakeClock : public testing::Test {
protected:
  void SetUp() override {
    set_clock(fake_clock);
    FRAME_RATE::reset();
  }
  void TearDown() override {
    set_clock(nullptr);
    FRAME_RATE::reset();
  }
  // Calls report n times within the calendar second `second`.
  static void frames(uint64_t second, int n) {
    fake_ms = second * 1000 + 10;
    for (int i = 0; i < n; ++i) FRAME_RATE::report(nullptr);
  }
};

}  // namespace

TEST(Timing, MillisecondsFollowTheMonotonicClock) {
  uint64_t start = monotonic_ms();
  uint32_t first = get_time_ms();
  sleep_ms(250);
  uint32_t elapsed = get_time_ms() - first;
  uint64_t real = monotonic_ms() - start;
  // The process clock counts in clock ticks (10 ms on Linux).
  EXPECT_GE(elapsed + 20, real);
  EXPECT_LE(elapsed, real + 20);
  EXPECT_GE(real, 250u);
}

TEST(Timing, SleepTakesWholeSecondsAndTheRest) {
  uint64_t start = monotonic_ms();
  sleep_ms(1040);
  uint64_t real = monotonic_ms() - start;
  EXPECT_GE(real, 1040u);
  EXPECT_LT(real, 1500u);

  start = monotonic_ms();
  sleep_ms(0);
  EXPECT_LT(monotonic_ms() - start, 50u);
}

TEST(Timing, LastKeyTimeIsTheTimeOfTheLatestKey) {
  set_clock(fake_calendar);
  key_queue.set_last_key(0xFF0Du);
  EXPECT_EQ(get_last_key_time(), 1700000123);
  key_queue.get_last_key();
  set_clock(nullptr);
}

TEST_F(FakeClock, TimeComesFromTheSeamAndWraps) {
  fake_ms = 123456;
  EXPECT_EQ(get_time_ms(), 123456u);
  fake_ms = 0x100000005ull;  // past 2^32 milliseconds
  EXPECT_EQ(get_time_ms(), 5u);
  uint32_t before = 0xFFFFFFF0u;
  EXPECT_EQ(get_time_ms() - before, 21u) << "differences survive the wrap";
}

TEST_F(FakeClock, UniqueTimeOnlyEverGrows) {
  fake_ms = 3000000000000ull;  // calendar second 3000000000
  EXPECT_EQ(get_unique_time(), 3000000000u);
  EXPECT_EQ(get_unique_time(), 3000000001u) << "same second: the next value";
  EXPECT_EQ(get_unique_time(), 3000000002u);
  fake_ms += 999;
  EXPECT_EQ(get_unique_time(), 3000000003u);
  fake_ms = 3000000010000ull;
  EXPECT_EQ(get_unique_time(), 3000000010u) << "the clock moved on past the last value";
  fake_ms = 3000000005000ull;  // the clock going back changes nothing
  EXPECT_EQ(get_unique_time(), 3000000011u);
}

TEST_F(FakeClock, FrameRateCountsWholeSeconds) {
  frames(100, 5);
  uint32_t minimum = 1, maximum = 1, average = 1;
  // Still in the first second: nothing measured yet.
  EXPECT_EQ(FRAME_RATE::get(&minimum, &maximum, &average), 0u);
  EXPECT_EQ(minimum, 0u);
  EXPECT_EQ(maximum, 0u);
  EXPECT_EQ(average, 0u);

  frames(101, 7);  // the first of them closes second 100: 5 + the get = 6
  EXPECT_STREQ(FRAME_RATE::report("Rate"), "Frame Rate: 6hz (Min 6hz, Max 6hz, Avg 6hz)")
      << "the text is only made again when the rate changes";
  fake_ms = 102000;  // second 101: 7 + 1
  EXPECT_STREQ(FRAME_RATE::report("Rate"), "Rate: 8hz (Min 6hz, Max 8hz, Avg 7hz)");
  frames(102, 6);
  fake_ms = 103000;  // second 102: 1 + 6
  EXPECT_EQ(FRAME_RATE::get(&minimum, &maximum, &average), 7u);
  EXPECT_EQ(minimum, 6u);
  EXPECT_EQ(maximum, 8u);
  EXPECT_EQ(average, 7u);  // 21 frames in 3 seconds
  EXPECT_EQ(FRAME_RATE::get(nullptr, nullptr, nullptr), 7u);
}

TEST_F(FakeClock, CountReportsWhetherTheTextChanged) {
  const char* text = nullptr;
  fake_ms = 50000;
  EXPECT_TRUE(FRAME_RATE::count(nullptr, &text)) << "the first text is made at once";
  EXPECT_STREQ(text, "Frame Rate: 0hz (Min 0hz, Max 0hz, Avg 0hz)");
  EXPECT_FALSE(FRAME_RATE::count(nullptr, &text));
  fake_ms = 51000;  // second 50 had 2 frames
  EXPECT_TRUE(FRAME_RATE::count("FPS", &text));
  EXPECT_STREQ(text, "FPS: 2hz (Min 2hz, Max 2hz, Avg 2hz)");
  fake_ms = 52000;  // second 51 had 1 frame: a new rate
  EXPECT_TRUE(FRAME_RATE::count("FPS", &text));
  fake_ms = 53000;  // second 52 had 1 frame again: same rate, same text
  EXPECT_FALSE(FRAME_RATE::count("FPS", &text));
}

TEST_F(FakeClock, ARateBelowHalfTheAverageRestartsTheStatistics) {
  // Frames in seconds 10, 11, ...: each line is the text as the next
  // second begins. A rate of exactly half the average keeps the statistics.
  std::string transcript;
  fake_ms = 10000;
  FRAME_RATE::report(nullptr);
  uint64_t second = 10;
  for (int n : {60, 60, 60, 60, 26, 20, 40, 9}) {
    frames(second++, n - 1);  // and the first call of the next second
    fake_ms = second * 1000;
    transcript += FRAME_RATE::report(nullptr) + std::string("\n");
  }
  EXPECT_EQ(transcript,
            "Frame Rate: 60hz (Min 60hz, Max 60hz, Avg 60hz)\n"
            "Frame Rate: 60hz (Min 60hz, Max 60hz, Avg 60hz)\n"
            "Frame Rate: 60hz (Min 60hz, Max 60hz, Avg 60hz)\n"
            "Frame Rate: 60hz (Min 60hz, Max 60hz, Avg 60hz)\n"
            "Frame Rate: 26hz (Min 26hz, Max 60hz, Avg 53hz)\n"  // 266 / 5 = 53, half is 26
            "Frame Rate: 20hz (Min 0hz, Max 0hz, Avg 0hz)\n"     // 286 / 6 = 47, half is 23: not known again
            "Frame Rate: 40hz (Min 40hz, Max 40hz, Avg 40hz)\n"  // measuring starts again
            "Frame Rate: 9hz (Min 0hz, Max 0hz, Avg 0hz)\n");    // 49 / 2 = 24, half is 12
}
