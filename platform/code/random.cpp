#include "random.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int32_t N = RANDOM::STATE_WORDS;
constexpr int32_t M = 397;
constexpr uint32_t MATRIX_A = 0x9908B0DFu;
constexpr uint32_t UPPER_MASK = 0x80000000u;
constexpr uint32_t LOWER_MASK = 0x7FFFFFFFu;

// Constant-initialised, so it is all zeros before any static constructor runs.
RANDOM g_random;

constexpr int32_t REPORT_DRAWS = 1966050;

// The generated file's comment block; its length is part of the file's form.
constexpr char TABLE_HEADER[] =
    "/*****************************************************************************\n"
    " *\n"
    " *  random_table.h\n"
    " *\n"
    " *  Random lookup table\n"
    " *\n"
    " *  This file was generated automatically by create_random_table(); do not\n"
    " *  edit it by hand, generate it again instead.\n"
    " *\n"
    " *  The table holds the numbers 0 .. random_max_value - 1, each of them the\n"
    " *  same number of times, in shuffled order. Code that wants cheap and\n"
    " *  repeatable values reads the entries in turn, wrapping round at\n"
    " *  random_table_sz, instead of calling a generator.\n"
    " *\n"
    " *  Only the source file that defines RANDOM_CPP before including this file\n"
    " *  gets the table; everywhere else the file compiles to nothing, so the\n"
    " *  table exists once in the program.\n"
    " *\n"
    " *  Entries are INT_S32 values; the table's size is random_table_sz and it\n"
    " *  is random_max_value times the number of repeats asked for.\n"
    " *\n"
    " *  The order comes from swaps chosen with the C library's rand(); the\n"
    " *  comment line below the header records the arguments the table was made\n"
    " *  with, so that the same table can be made again on the same C library.\n"
    " *\n"
    " *  Values: 0 .. random_max_value - 1, all in use.\n"
    " *\n"
    " *****************************************************************************/\n"
    "\n"
    "#ifdef RANDOM_CPP\n"
    "\n";
static_assert(sizeof(TABLE_HEADER) - 1 == 1235, "the table header is 1235 bytes");

int32_t decimal_digits(int32_t value) {
  int32_t digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

}  // namespace

void RANDOM::seed(uint32_t value) {
  seed_ = value & ~1023u;
  index_ = static_cast<int32_t>(value & 1023u);
  if (index_ > N - 1) index_ = N - 1;

  state_[0] = seed_;
  for (int32_t i = 1; i < N; ++i)
    state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + static_cast<uint32_t>(i);

  for (int32_t i = 0; i < N; ++i) {
    uint32_t y = (state_[i] & UPPER_MASK) | (state_[(i + 1) % N] & LOWER_MASK);
    state_[i] = state_[(i + M) % N] ^ (y >> 1) ^ ((y & 1u) ? MATRIX_A : 0u);
  }
}

void RANDOM::seed_from_time() {
  seed(static_cast<uint32_t>(time(nullptr)) << 10);
}

uint32_t RANDOM::next_word() {
  // An exhausted state is not regenerated in place: it seeds a fresh one from
  // one of its own words, starting at the top again.
  if (index_ < 0) seed(state_[M] | 1023u);
  uint32_t y = state_[index_--];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y & 0x7FFFFFFFu;
}

double RANDOM::next_fraction() {
  uint64_t y = next_word();
  return static_cast<double>((4294967294ull * y) >> 32) / 2147483647.0;
}

int32_t RANDOM::get_range(int32_t lo, int32_t hi) {
  if (hi <= lo) return 0;
  uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo);
  uint64_t offset = (span * 2u * next_word()) >> 32;
  return static_cast<int32_t>(lo + static_cast<int64_t>(offset));
}

double RANDOM::get_double(double max) {
  return max * next_fraction();
}

void random_seed(uint32_t value) { g_random.seed(value); }

void random_seed_from_time() { g_random.seed_from_time(); }

int32_t random_range(int32_t lo, int32_t hi) { return g_random.get_range(lo, hi); }

int32_t random_number(int32_t n) {
  if (n < 1) return 0;
  return g_random.get_range(0, n);
}

double random_double(double max) { return g_random.get_double(max); }

double random_double_range(double lo, double hi) {
  return lo + g_random.get_double(hi - lo);
}

bool random_is_seeded() { return g_random.is_seeded(); }

bool create_random_table(int32_t max_num, int32_t repeats, int32_t shuffles, const char* path) {
  if (!path || max_num < 1 || repeats < 1) return false;
  int64_t size64 = static_cast<int64_t>(max_num) * repeats;
  if (size64 > INT32_MAX) return false;
  uint64_t size = static_cast<uint64_t>(size64);

  int32_t* table = static_cast<int32_t*>(malloc(size * sizeof(int32_t)));
  if (!table) return false;
  for (uint64_t i = 0; i < size; ++i) table[i] = static_cast<int32_t>(i % static_cast<uint64_t>(max_num));

  // rand() * rand() can exceed any 32-bit type, so the product is unsigned
  // 64-bit and always reduced to an index.
  for (int32_t s = 0; s < shuffles; ++s) {
    uint64_t a = static_cast<uint64_t>(rand()) * static_cast<uint64_t>(rand()) % size;
    uint64_t b = static_cast<uint64_t>(rand()) * static_cast<uint64_t>(rand()) % size;
    int32_t t = table[a];
    table[a] = table[b];
    table[b] = t;
  }

  FILE* file = fopen(path, "w");
  if (!file) {
    free(table);
    return false;
  }
  fputs(TABLE_HEADER, file);
  fprintf(file,
          "// table generated by create_random_table( %d /*max_num*/, %d /*repeats*/, %d /*shuffles*/, "
          "%s /*file*/ );\n",
          max_num, repeats, shuffles, path);
  fprintf(file, "static INT_S32 random_max_value\t= %d;\n", max_num);
  fprintf(file, "static INT_S32 random_table_sz\t= %d;\n", static_cast<int32_t>(size));
  fputs("static INT_S32 random_table[]\t\t=\n{\n\t", file);
  int width = decimal_digits(max_num) + 1;
  for (uint64_t i = 0; i < size; ++i) {
    char separator = (i + 1 == size) ? ' ' : ',';
    const char* after = ((i + 1) % 10 == 0) ? "\n\t" : " ";
    fprintf(file, "%*d%c%s", width, table[i], separator, after);
  }
  fputs("\n};\n\n#endif", file);
  bool ok = !ferror(file);
  if (fclose(file) != 0) ok = false;
  free(table);
  return ok;
}

bool random_report(int32_t n, const char* path) {
  if (n < 1 || !path) return false;
  // calloc: a huge n costs address space, not zero-filled pages.
  int32_t* counts = static_cast<int32_t*>(calloc(static_cast<size_t>(n), sizeof(int32_t)));
  if (!counts) return false;
  for (int32_t i = 0; i < REPORT_DRAWS; ++i) ++counts[random_number(n)];

  int32_t min_value = -1, min_count = 0, max_value = -1, max_count = 0, unreturned = 0;
  int64_t total = 0;
  for (int32_t v = 0; v < n; ++v) {
    int32_t c = counts[v];
    total += c;
    if (c == 0) {
      ++unreturned;
      continue;
    }
    if (min_value < 0 || c < min_count) {  // ties keep the smallest value
      min_value = v;
      min_count = c;
    }
    if (max_value < 0 || c >= max_count) {  // ties keep the largest value
      max_value = v;
      max_count = c;
    }
  }
  free(counts);

  FILE* file = fopen(path, "a+");
  if (!file) return false;
  fprintf(file,
          "\nRandom report for %d (%d numbers)\nMIN - %d was retured %d times\nMAX - %d was retured %d "
          "times\nAverage times each number retuned %d\nUnreturned values %d\n",
          n, REPORT_DRAWS, min_value, min_count, max_value, max_count, static_cast<int32_t>(total / n),
          unreturned);
  bool ok = !ferror(file);
  if (fclose(file) != 0) ok = false;
  return ok;
}
