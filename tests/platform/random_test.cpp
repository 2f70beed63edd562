#include "random.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

using test_support::ScratchDir;

namespace {

constexpr uint32_t MASK31 = 0x7FFFFFFFu;

// The first 624 outputs of the standard MT19937 for a seed: our generator
// hands out the same words, tempered, but from the last to the first.
std::vector<uint32_t> reference_block(uint32_t seed) {
  std::mt19937 reference(seed);
  std::vector<uint32_t> out(624);
  for (uint32_t& word : out) word = reference();
  return out;
}

// Inverts MT19937 tempering, giving the state word behind an output.
uint32_t untemper(uint32_t y) {
  y ^= y >> 18;
  uint32_t r = y;
  for (int i = 0; i < 3; ++i) r = y ^ ((r << 15) & 0xEFC60000u);
  y = r;
  r = y;
  for (int i = 0; i < 5; ++i) r = y ^ ((r << 7) & 0x9D2C5680u);
  y = r;
  r = y;
  for (int i = 0; i < 3; ++i) r = y ^ (r >> 11);
  return r;
}

// With a span of exactly 2^31 the range result is lo plus the raw 31-bit word.
uint32_t draw_word(RANDOM& generator) {
  return static_cast<uint32_t>(static_cast<int64_t>(generator.get_range(INT32_MIN, 0)) - INT32_MIN);
}

uint32_t global_draw_word() {
  return static_cast<uint32_t>(static_cast<int64_t>(random_range(INT32_MIN, 0)) - INT32_MIN);
}

}  // namespace

// The kernel's bytes fill exactly what is asked, up to 256 of them.
TEST(Random, SystemEntropyFillsExactlyTheBytesAsked) {
  unsigned char bytes[300] = {};
  ASSERT_TRUE(read_system_entropy(bytes, 256));
  EXPECT_LT(std::count(bytes, bytes + 256, 0), 16);
  EXPECT_EQ(std::count(bytes + 256, bytes + 300, 0), 44);
  EXPECT_EQ((std::vector<bool>{read_system_entropy(bytes, 0), read_system_entropy(bytes, 1), read_system_entropy(bytes, 257),
                               read_system_entropy(bytes, -1), read_system_entropy(nullptr, 1)}),
            (std::vector<bool>{true, true, false, false, false}));
}

TEST(Random, SeedingBuildsTheRegeneratedMersenneState) {
  for (uint32_t value : {0u, 1000u, 5489u << 10, 0xFFFFFFFFu, 0x12345678u}) {
    SCOPED_TRACE(value);
    RANDOM generator;
    generator.seed(value);
    uint32_t seed = value & ~1023u;
    EXPECT_EQ(generator.get_seed(), seed);
    EXPECT_EQ(generator.get_index(), std::min<int32_t>(static_cast<int32_t>(value & 1023u), 623));
    std::vector<uint32_t> block = reference_block(seed);
    for (int k = 0; k < 624; ++k) ASSERT_EQ(generator.get_state()[k], untemper(block[k])) << "word " << k;
  }
}

TEST(Random, HandsOutAllWordsFromLastToFirstThenReseedsFromWord397) {
  RANDOM generator;
  generator.seed(1000);
  EXPECT_EQ(generator.get_index(), 623);
  std::vector<uint32_t> block = reference_block(0);
  for (int i = 0; i < 624; ++i) ASSERT_EQ(draw_word(generator), block[623 - i] & MASK31) << "draw " << i;
  EXPECT_EQ(generator.get_index(), -1);
  EXPECT_TRUE(generator.is_seeded());

  uint32_t next_seed = untemper(block[397]) & ~1023u;
  std::vector<uint32_t> next_block = reference_block(next_seed);
  EXPECT_EQ(draw_word(generator), next_block[623] & MASK31);
  EXPECT_EQ(generator.get_seed(), next_seed);
  EXPECT_EQ(generator.get_index(), 622);
  EXPECT_EQ(draw_word(generator), next_block[622] & MASK31);
}

TEST(Random, TimeShapedSeedHandsOutOneWordThenReseeds) {
  uint32_t value = 1234567890u << 10;  // a calendar time shifted by 10 bits
  RANDOM generator;
  generator.seed(value);
  EXPECT_EQ(generator.get_index(), 0);
  std::vector<uint32_t> block = reference_block(value);
  EXPECT_EQ(draw_word(generator), block[0] & MASK31);
  EXPECT_EQ(generator.get_index(), -1);
  uint32_t next_seed = untemper(block[397]) & ~1023u;
  EXPECT_EQ(draw_word(generator), reference_block(next_seed)[623] & MASK31);
  EXPECT_EQ(generator.get_index(), 622);
}

TEST(Random, SeedFromTimeUsesTheCalendarTimeShiftedBy10) {
  uint32_t before = static_cast<uint32_t>(time(nullptr)) << 10;
  RANDOM generator;
  generator.seed_from_time();
  uint32_t after = static_cast<uint32_t>(time(nullptr)) << 10;
  EXPECT_EQ(generator.get_index(), 0);
  EXPECT_TRUE(generator.get_seed() == before || generator.get_seed() == after);
}

TEST(Random, LowTenBitsChooseOnlyTheStartingWord) {
  RANDOM a, b;
  a.seed(0xABCDE000u | 5u);
  b.seed(0xABCDE000u | 700u);
  EXPECT_EQ(a.get_seed(), b.get_seed());
  EXPECT_TRUE(std::equal(a.get_state(), a.get_state() + 624, b.get_state()));
  EXPECT_EQ(a.get_index(), 5);
  EXPECT_EQ(b.get_index(), 623);
}

TEST(Random, EmptyRangesGiveZeroWithoutDrawing) {
  random_seed(777);
  EXPECT_EQ(random_range(5, 5), 0);
  EXPECT_EQ(random_range(9, 3), 0);
  EXPECT_EQ(random_number(0), 0);
  EXPECT_EQ(random_number(-4), 0);
  RANDOM reference;
  reference.seed(777);
  EXPECT_EQ(global_draw_word(), draw_word(reference));  // nothing was consumed

  RANDOM record;
  record.seed(1000);
  EXPECT_EQ(record.get_range(5, 5), 0);
  EXPECT_EQ(record.get_range(-1, -2), 0);
  EXPECT_EQ(record.get_index(), 623);
}

TEST(Random, RangesScaleTheWordIntoTheirBounds) {
  RANDOM generator;
  generator.seed(42u << 10 | 623u);
  std::vector<uint32_t> block = reference_block(42u << 10);
  for (int i = 0; i < 50; ++i) {
    uint64_t y = block[623 - i] & MASK31;
    ASSERT_EQ(generator.get_range(10, 20), 10 + static_cast<int32_t>((10ull * 2 * y) >> 32));
  }
  // The widest span must neither overflow nor leave its bounds.
  int32_t lowest = INT32_MAX, highest = INT32_MIN;
  for (int i = 0; i < 2000; ++i) {
    int32_t v = generator.get_range(INT32_MIN, INT32_MAX);
    ASSERT_LT(v, INT32_MAX);
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_LT(lowest, -1000000000);
  EXPECT_GT(highest, 1000000000);
}

TEST(Random, DoublesAreFractionsOfTheirMaximum) {
  RANDOM generator;
  generator.seed(99u << 10 | 623u);
  std::vector<uint32_t> block = reference_block(99u << 10);
  for (int i = 0; i < 50; ++i) {
    uint64_t y = block[623 - i] & MASK31;
    double fraction = static_cast<double>((4294967294ull * y) >> 32) / 2147483647.0;
    ASSERT_DOUBLE_EQ(generator.get_double(8.0), 8.0 * fraction);
  }
  for (int i = 0; i < 5000; ++i) {
    double v = generator.get_double(3.0);
    ASSERT_GE(v, 0.0);
    ASSERT_LT(v, 3.0);
  }
}

TEST(Random, ProcessWideFunctionsFollowARecordSeededAlike) {
  random_seed(31337);
  RANDOM record;
  record.seed(31337);
  EXPECT_TRUE(random_is_seeded());
  for (int i = 0; i < 700; ++i) {  // past the re-seed
    switch (i % 4) {
      case 0: ASSERT_EQ(random_range(-50, 50), record.get_range(-50, 50)); break;
      case 1: ASSERT_EQ(random_number(1000), record.get_range(0, 1000)); break;
      case 2: ASSERT_DOUBLE_EQ(random_double(2.5), record.get_double(2.5)); break;
      case 3: ASSERT_DOUBLE_EQ(random_double_range(-1.0, 3.0), -1.0 + record.get_double(4.0)); break;
    }
  }
}

// Each EXPECT_EXIT runs in a freshly started copy of this program, where the
// process-wide generator has never been touched.
TEST(RandomDeathTest, FreshProcessStartsUnseededAndDrawsTheSameNumbers) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<uint32_t> block = reference_block(0);
  std::ostringstream expected;
  expected << "fresh 0 5";
  for (int i = 0; i < 5; ++i) expected << ' ' << (block[623 - i] & MASK31);
  expected << " seeded 1";

  auto run = []() {
    int seeded = random_is_seeded() ? 1 : 0;
    fprintf(stderr, "fresh %d %d", seeded, random_range(5, 100));
    for (int i = 0; i < 5; ++i) fprintf(stderr, " %u", global_draw_word());
    fprintf(stderr, " seeded %d\n", random_is_seeded() ? 1 : 0);
    fflush(stderr);
    _exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), testing::HasSubstr(expected.str()));
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), testing::HasSubstr(expected.str()));
}

TEST(RandomTable, UnshuffledTableListsTheNumbersTenToALine) {
  ScratchDir dir;
  std::string path = dir.file("random_table.h");
  ASSERT_TRUE(create_random_table(10, 2, 0, path.c_str()));
  std::string text = test_support::read_file(path);

  std::string body =
      "// table generated by create_random_table( 10 /*max_num*/, 2 /*repeats*/, 0 /*shuffles*/, " + path +
      " /*file*/ );\n"
      "static INT_S32 random_max_value\t= 10;\n"
      "static INT_S32 random_table_sz\t= 20;\n"
      "static INT_S32 random_table[]\t\t=\n{\n\t"
      "  0,   1,   2,   3,   4,   5,   6,   7,   8,   9,\n\t"
      "  0,   1,   2,   3,   4,   5,   6,   7,   8,   9 \n\t"
      "\n};\n\n#endif";
  ASSERT_EQ(text.size(), 1235u + body.size());
  EXPECT_EQ(text.substr(1235), body);

  std::string header = text.substr(0, 1235);
  EXPECT_EQ(header.compare(0, 2, "/*"), 0);
  EXPECT_NE(header.find("random_table.h"), std::string::npos);
  EXPECT_NE(header.find("Random lookup table"), std::string::npos);
  EXPECT_NE(header.find("generated automatically"), std::string::npos);
  EXPECT_EQ(header.substr(header.size() - 20), "\n#ifdef RANDOM_CPP\n\n");

  // Every entry is as wide as the maximum's digits plus one, on both sides of each power of ten.
  const std::pair<std::string, std::vector<int32_t>> widths[] = {
      {" 0,  1,", {9}}, {"  0,   1,", {10, 99}}, {"   0,    1,", {100, 109, 110, 999}},
      {"    0,     1,", {1000, 1099, 1100, 9999}}, {"     0,      1,", {10000}}};
  for (const auto& [first, maxima] : widths)
    for (int32_t max_num : maxima) {
      ASSERT_TRUE(create_random_table(max_num, 1, 0, path.c_str()));
      EXPECT_THAT(test_support::read_file(path), testing::HasSubstr("{\n\t" + first)) << max_num;
    }
}

TEST(RandomTable, ShufflesKeepEveryNumberAndWidthFollowsTheDigits) {
  ScratchDir dir;
  std::string path = dir.file("table.h");
  srand(12345);
  ASSERT_TRUE(create_random_table(150, 3, 5000, path.c_str()));
  std::string text = test_support::read_file(path);
  size_t open = text.find("{\n\t");
  size_t close = text.find("\n};");
  ASSERT_NE(open, std::string::npos);
  ASSERT_NE(close, std::string::npos);
  std::string entries = text.substr(open + 3, close - open - 3);

  std::vector<int> counts(150, 0);
  std::istringstream in(entries);
  std::string token;
  int total = 0;
  bool in_order = true;
  while (in >> token) {
    if (token.back() == ',') token.pop_back();
    int value = std::stoi(token);
    ASSERT_GE(value, 0);
    ASSERT_LT(value, 150);
    if (value != total % 150) in_order = false;
    ++counts[static_cast<size_t>(value)];
    ++total;
  }
  EXPECT_EQ(total, 450);
  for (int c : counts) EXPECT_EQ(c, 3);
  EXPECT_FALSE(in_order);
  // Every entry takes the width of the largest number plus one.
  EXPECT_NE(entries.find("   7,"), std::string::npos);
}

TEST(RandomTable, RefusesEmptyTablesAndUnwritablePaths) {
  ScratchDir dir;
  const auto table = [&](int32_t n, int32_t r, int32_t s, const char* f) { return create_random_table(n, r, s, dir.file(f).c_str()); };
  EXPECT_EQ((std::vector<bool>{table(0, 5, 10, "a"), table(5, 0, 10, "b"), table(-3, -3, 10, "c"), table(5, 2, 0, "missing/d")}),
            std::vector<bool>(4, false));
  for (const char* name : {"a", "b", "c"}) EXPECT_FALSE(test_support::file_exists(dir.file(name)));
  // The smallest table there is: one number once.
  ASSERT_TRUE(create_random_table(1, 1, 0, dir.file("e").c_str()));
  EXPECT_THAT(test_support::read_file(dir.file("e")), testing::HasSubstr("_sz\t= 1;\n"));
}

TEST(RandomReport, SingleValueReportIsExact) {
  ScratchDir dir;
  std::string path = dir.file("report.txt");
  ASSERT_TRUE(random_report(1, path.c_str()));
  std::string one =
      "\nRandom report for 1 (1966050 numbers)\nMIN - 0 was retured 1966050 times\n"
      "MAX - 0 was retured 1966050 times\nAverage times each number retuned 1966050\nUnreturned values 0\n";
  EXPECT_EQ(test_support::read_file(path), one);
  ASSERT_TRUE(random_report(1, path.c_str()));  // appends
  EXPECT_EQ(test_support::read_file(path), one + one);
}

TEST(RandomReport, TalliesMatchTheSequenceAndSkipUndrawnValues) {
  const int32_t n = 3000000;  // more values than draws: many never come up
  ScratchDir dir;
  std::string path = dir.file("report.txt");
  random_seed(2024);
  RANDOM record;
  record.seed(2024);
  ASSERT_TRUE(random_report(n, path.c_str()));

  std::vector<int32_t> counts(n, 0);
  for (int i = 0; i < 1966050; ++i) ++counts[static_cast<size_t>(record.get_range(0, n))];
  int32_t min_value = -1, max_value = -1, unreturned = 0;
  for (int32_t v = 0; v < n; ++v) {
    int32_t c = counts[static_cast<size_t>(v)];
    if (c == 0) {
      ++unreturned;
      continue;
    }
    if (min_value < 0 || c < counts[static_cast<size_t>(min_value)]) min_value = v;
    if (max_value < 0 || c >= counts[static_cast<size_t>(max_value)]) max_value = v;
  }
  char expected[512];
  snprintf(expected, sizeof(expected),
           "\nRandom report for %d (1966050 numbers)\nMIN - %d was retured %d times\nMAX - %d was retured %d "
           "times\nAverage times each number retuned 0\nUnreturned values %d\n",
           n, min_value, counts[static_cast<size_t>(min_value)], max_value, counts[static_cast<size_t>(max_value)],
           unreturned);
  EXPECT_EQ(test_support::read_file(path), expected);
  EXPECT_GT(unreturned, n - 1966050 - 1);
  EXPECT_GE(counts[static_cast<size_t>(min_value)], 1);
}

TEST(RandomReport, RefusesNonPositiveCounts) {
  ScratchDir dir;
  EXPECT_FALSE(random_report(0, dir.file("r").c_str()));
  EXPECT_FALSE(random_report(-7, dir.file("r").c_str()));
  EXPECT_FALSE(test_support::file_exists(dir.file("r")));
  EXPECT_FALSE(random_report(2, dir.file("missing/r").c_str()));
}

// Counts no memory can hold are refused. The address-space limit would also
// stop the sanitizer's own reservations, so this runs in the plain tree only.
#if !defined(__SANITIZE_ADDRESS__)
TEST(RandomDeathTest, CountsNoMemoryCanHoldAreRefused) {
  ScratchDir dir;
  auto run = [&] {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = size_t{512} << 20;
    setrlimit(RLIMIT_AS, &limit);
    _exit(random_report(INT32_MAX, dir.file("r").c_str()) ||
          create_random_table(INT32_MAX, 1, 0, dir.file("t").c_str()));
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(test_support::file_exists(dir.file("r")) || test_support::file_exists(dir.file("t")));
}
#endif
