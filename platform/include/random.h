#pragma once
// Random numbers: Mersenne-twister generators whose words are handed out from
// the last to the first, and which re-seed themselves from one of their own
// words once exhausted. One process-wide generator serves the free functions;
// callers may also own RANDOM records. Two diagnostic tools write a shuffled
// lookup table as source text and a distribution report.
#include <cstdint>

class RANDOM {
public:
  static constexpr int32_t STATE_WORDS = 624;

  // All fields 0: not seeded. The first draw then yields 0, after which the
  // generator continues as one seeded with 0.
  constexpr RANDOM() = default;

  // The seed keeps the value's upper 22 bits; its low 10 bits choose the
  // first word handed out (at most 623).
  void seed(uint32_t value);
  // Seeds with the calendar time shifted left by 10 bits (first word 0).
  void seed_from_time();
  // lo .. hi-1; 0 without drawing when hi <= lo.
  int32_t get_range(int32_t lo, int32_t hi);
  // 0 .. max, max itself never reached.
  double get_double(double max);
  // True once seeded, or once the first word has been drawn.
  bool is_seeded() const { return (static_cast<uint32_t>(index_) | seed_) != 0; }

  // Read-only view of the record, for diagnostics.
  int32_t get_index() const { return index_; }  // next word; -1 = exhausted
  uint32_t get_seed() const { return seed_; }
  const uint32_t* get_state() const { return state_; }

private:
  uint32_t next_word();  // one tempered 31-bit value
  double next_fraction();

  int32_t index_ = 0;
  uint32_t seed_ = 0;
  uint32_t state_[STATE_WORDS] = {};
};

// Twins of the RANDOM operations on the process-wide generator, which no one
// seeds at start-up.
void random_seed(uint32_t value);
void random_seed_from_time();
int32_t random_range(int32_t lo, int32_t hi);       // lo .. hi-1; 0 when hi <= lo
int32_t random_number(int32_t n);                   // 0 .. n-1; 0 when n < 1
double random_double(double max);                   // 0 .. max (exclusive)
double random_double_range(double lo, double hi);   // lo .. hi (exclusive)
bool random_is_seeded();

// Writes random_table.h-style source text: the numbers 0 .. max_num-1,
// repeats times, then `shuffles` swaps drawn with the C library's rand().
// False (nothing written) when the sizes are not positive, the table cannot
// be allocated or the file cannot be created.
bool create_random_table(int32_t max_num, int32_t repeats, int32_t shuffles, const char* path);

// Draws 1966050 numbers with random_number(n) and appends a tally of the
// least and most drawn values to the file at path. False when n < 1, the
// tally cannot be allocated or the file cannot be opened.
bool random_report(int32_t n, const char* path);

// Fills out with bytes from the operating system's entropy source; false
// (out untouched) when it cannot be read whole.
bool read_system_entropy(void* out, int32_t count);
