#include "text_convert.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

using test_support::RunResult;
using test_support::ScratchDir;
using test_support::run_program;
using test_support::write_file;

namespace {

const char* kPython = "/usr/bin/python3";

std::string bytes_of(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

size_t decode(const std::string& bytes, uint32_t& code_point) {
  return utf8_decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), code_point);
}

std::string encode(uint32_t code_point) {
  char out[4];
  return std::string(out, utf8_encode(code_point, out));
}

std::string system_form(uint32_t code_point, bool& run_open) {
  char out[SYSTEM_CHAR_MAX_BYTES];
  return std::string(out, system_char_encode(code_point, run_open, out));
}

std::vector<uint32_t> units_of(const std::string& text) {
  SYSTEM_TEXT_READER reader(text.c_str());
  std::vector<uint32_t> units;
  uint32_t unit;
  while (reader.next_unit(unit)) units.push_back(unit);
  return units;
}

// ---- UTF-8 decoding

TEST(Utf8Decode, BoundariesOfEachLength) {
  struct CASE {
    std::string bytes;
    uint32_t code_point;
  } cases[] = {
      {bytes_of({0x00}), 0x0},           {bytes_of({0x7F}), 0x7F},
      {bytes_of({0xC2, 0x80}), 0x80},    {bytes_of({0xDF, 0xBF}), 0x7FF},
      {bytes_of({0xE0, 0xA0, 0x80}), 0x800},
      {bytes_of({0xED, 0x9F, 0xBF}), 0xD7FF},
      {bytes_of({0xEE, 0x80, 0x80}), 0xE000},
      {bytes_of({0xEF, 0xBF, 0xBF}), 0xFFFF},
      {bytes_of({0xF0, 0x90, 0x80, 0x80}), 0x10000},
      {bytes_of({0xF4, 0x8F, 0xBF, 0xBF}), 0x10FFFF},
  };
  for (const CASE& c : cases) {
    uint32_t code_point = 0xDEADBEEF;
    EXPECT_EQ(decode(c.bytes, code_point), c.bytes.size()) << std::hex << c.code_point;
    EXPECT_EQ(code_point, c.code_point);
  }
}

TEST(Utf8Decode, RejectsOverlongSurrogatesAndValuesAboveTheLastPlane) {
  const std::string rejected[] = {
      bytes_of({0xC0, 0x80}),             bytes_of({0xC1, 0xBF}),  // overlong 2-byte
      bytes_of({0xE0, 0x80, 0x80}),       bytes_of({0xE0, 0x9F, 0xBF}),  // overlong 3-byte
      bytes_of({0xF0, 0x80, 0x80, 0x80}), bytes_of({0xF0, 0x8F, 0xBF, 0xBF}),  // overlong 4-byte
      bytes_of({0xED, 0xA0, 0x80}),       bytes_of({0xED, 0xBF, 0xBF}),  // surrogates
      bytes_of({0xF4, 0x90, 0x80, 0x80}), bytes_of({0xF5, 0x80, 0x80, 0x80}),  // > U+10FFFF
      bytes_of({0xFF}),                   bytes_of({0x80}),  // never a lead byte
      bytes_of({0xE4, 0xB8}),             bytes_of({0xC3, 0x41}),  // cut off, bad continuation
  };
  for (const std::string& bytes : rejected) {
    uint32_t code_point = 7;
    EXPECT_EQ(decode(bytes, code_point), 0u) << testing::PrintToString(bytes);
    EXPECT_EQ(code_point, 7u);
  }
}

// Every lead byte with every second byte, judged by Python's strict codec.
TEST(Utf8Decode, AgreesWithAnIndependentDecoder) {
  ScratchDir dir;
  std::string all;
  for (int lead = 0x80; lead <= 0xFF; ++lead)
    for (int second = 0; second <= 0xFF; ++second) all += bytes_of({lead, second, 0x80, 0x80});
  ASSERT_TRUE(write_file(dir.file("sequences"), all));
  const char* script =
      "import sys\n"
      "data = open(sys.argv[1], 'rb').read()\n"
      "out = []\n"
      "for i in range(0, len(data), 4):\n"
      "    s = data[i:i+4]\n"
      "    result = '0 0'\n"
      "    for n in range(1, 5):\n"
      "        try:\n"
      "            t = s[:n].decode('utf-8')\n"
      "            result = '%d %d' % (n, ord(t[0]))\n"
      "            break\n"
      "        except UnicodeDecodeError:\n"
      "            pass\n"
      "    out.append(result)\n"
      "print('\\n'.join(out))\n";
  RunResult python = run_program({kPython, "-c", script, dir.file("sequences")});
  ASSERT_EQ(python.exit_code, 0) << python.err;
  std::istringstream expected(python.out);
  int mismatches = 0;
  for (size_t i = 0; i < all.size(); i += 4) {
    size_t want_length = 0;
    uint32_t want_code_point = 0;
    expected >> want_length >> want_code_point;
    uint32_t code_point = 0;
    size_t length = utf8_decode(reinterpret_cast<const uint8_t*>(all.data() + i), 4, code_point);
    // Python takes a lone lead byte below 0x80 as one character; here every
    // sequence starts with 0x80 or above, so a length of 1 means invalid.
    if (want_length == 1) want_length = 0;
    if (length != want_length || (length && code_point != want_code_point)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

// ---- UTF-8 encoding

TEST(Utf8Encode, EveryScalarValueRoundTrips) {
  for (uint32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
    if (is_high_surrogate(code_point) || is_low_surrogate(code_point)) continue;
    std::string bytes = encode(code_point);
    uint32_t back = 0;
    ASSERT_EQ(decode(bytes, back), bytes.size()) << code_point;
    ASSERT_EQ(back, code_point);
  }
}

TEST(Utf8Encode, SurrogatesBecomeTheReplacementCharacterAndLargeValuesNothing) {
  EXPECT_EQ(encode(0xD800), bytes_of({0xEF, 0xBF, 0xBD}));
  EXPECT_EQ(encode(0xDFFF), bytes_of({0xEF, 0xBF, 0xBD}));
  EXPECT_EQ(encode(0x110000), "");
  EXPECT_EQ(encode(0x1F600), bytes_of({0xF0, 0x9F, 0x98, 0x80}));
}

// ---- Surrogate pairs

TEST(SurrogateJoiner, JoinsPairsAndReplacesLoneHalves) {
  SURROGATE_JOINER joiner;
  uint32_t out[2];
  EXPECT_EQ(joiner.feed(0xD83D, out), 0);
  EXPECT_TRUE(joiner.waiting());
  ASSERT_EQ(joiner.feed(0xDE00, out), 1);
  EXPECT_EQ(out[0], 0x1F600u);

  // A high half followed by something else: U+FFFD, then that character.
  EXPECT_EQ(joiner.feed(0xDBFF, out), 0);
  ASSERT_EQ(joiner.feed('a', out), 2);
  EXPECT_EQ(out[0], 0xFFFDu);
  EXPECT_EQ(out[1], static_cast<uint32_t>('a'));

  ASSERT_EQ(joiner.feed(0xDC00, out), 1);  // a low half alone
  EXPECT_EQ(out[0], 0xFFFDu);

  EXPECT_EQ(joiner.feed(0xD800, out), 0);
  ASSERT_EQ(joiner.flush(out), 1);
  EXPECT_EQ(out[0], 0xFFFDu);
  EXPECT_EQ(joiner.flush(out), 0);
}

// ---- System text form

TEST(SystemCharEncode, BytesStandAloneAndEverythingElseGoesIntoRuns) {
  bool run = false;
  EXPECT_EQ(system_form('a', run), "a");
  EXPECT_EQ(system_form(0xE9, run), "\xE9");
  EXPECT_FALSE(run);
  EXPECT_EQ(system_form(0x4E2D, run), "\x01,4E2D");
  EXPECT_TRUE(run);
  EXPECT_EQ(system_form(0x6587, run), ",6587");  // the run goes on
  EXPECT_EQ(system_form('b', run), "\x01" "b");  // closed before a byte
  EXPECT_FALSE(run);
  EXPECT_EQ(system_form(0x1F600, run), "\x01,D83D,DE00");
  EXPECT_EQ(system_form(0x10FFFF, run), ",DBFF,DFFF");
  run = false;
  // Character 1 itself would open a run, so it is carried as a group.
  EXPECT_EQ(system_form(1, run), "\x01,0001");
  run = false;
  EXPECT_EQ(system_form(0x100, run), "\x01,0100");
}

TEST(SystemTextReader, ReadsBytesAndGroups) {
  EXPECT_EQ(units_of("a\x01,4E2D,6587\x01" "b"),
            (std::vector<uint32_t>{'a', 0x4E2D, 0x6587, 'b'}));
  // Commas are optional and digits may be lower case.
  EXPECT_EQ(units_of("\x01" "4e2d6587\x01"), (std::vector<uint32_t>{0x4E2D, 0x6587}));
  // A comma right behind the closing byte 1 belongs to the text.
  EXPECT_EQ(units_of("\x01,00E9\x01,x"), (std::vector<uint32_t>{0xE9, ',', 'x'}));
  EXPECT_EQ(units_of("\x01" "4E2D\x01,,\x01,6587\x01"),
            (std::vector<uint32_t>{0x4E2D, ',', ',', 0x6587}));
  // An unclosed run ends with the text.
  EXPECT_EQ(units_of("\x01,4E2D"), (std::vector<uint32_t>{0x4E2D}));
}

TEST(SystemTextReader, SkipsMalformedGroups) {
  // "12" is too short: skipped up to the comma; "zz" are not digits.
  EXPECT_EQ(units_of("\x01,12,4E2D,zz,6587\x01"), (std::vector<uint32_t>{0x4E2D, 0x6587}));
  // Five digits: a group, then one stray digit.
  EXPECT_EQ(units_of("\x01,4E2D5\x01" "a"), (std::vector<uint32_t>{0x4E2D, 'a'}));
  // An explicit length stops before the NUL.
  SYSTEM_TEXT_READER reader("abc", 2);
  uint32_t unit;
  int count = 0;
  while (reader.next_unit(unit)) ++count;
  EXPECT_EQ(count, 2);
}

TEST(SystemTextReader, JoinsSurrogatePairsIntoCodePoints) {
  SYSTEM_TEXT_READER reader("\x01,D83D,DE00,DC00\x01" "a");
  std::vector<uint32_t> code_points;
  uint32_t code_point;
  while (reader.next_code_point(code_point)) code_points.push_back(code_point);
  EXPECT_EQ(code_points, (std::vector<uint32_t>{0x1F600, 0xFFFD, 'a'}));

  // Character by character the position stays just after the character
  // read (a group takes its trailing comma with it).
  const char* text = "\x01,D83D,DE00,DC00\x01" "a";
  SYSTEM_TEXT_READER stepper(text);
  std::vector<std::pair<uint32_t, ptrdiff_t>> steps;
  while (stepper.next_char(code_point)) steps.emplace_back(code_point, stepper.position() - text);
  EXPECT_EQ(steps, (std::vector<std::pair<uint32_t, ptrdiff_t>>{{0x1F600, 12}, {0xFFFD, 16}, {'a', 18}}));
}

// ---- Whole texts

TEST(SystemTextToUtf8, ConvertsBytesRunsAndPairs) {
  EXPECT_EQ(system_text_to_utf8("a\x01,4E2D,6587\x01" "b"),
            "a" + bytes_of({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}) + "b");
  EXPECT_EQ(system_text_to_utf8("caf\xE9"), "caf" + bytes_of({0xC3, 0xA9}));
  EXPECT_EQ(system_text_to_utf8("\x01,D83D,DE00\x01"), bytes_of({0xF0, 0x9F, 0x98, 0x80}));
  // A lone surrogate cannot be UTF-8; a NUL group is left out.
  EXPECT_EQ(system_text_to_utf8("\x01,D83D,0000\x01" "x"), bytes_of({0xEF, 0xBF, 0xBD}) + "x");
  EXPECT_EQ(system_text_to_utf8(nullptr), "");
}

TEST(Utf8ToSystemText, ConvertsToBytesAndRuns) {
  std::string utf8 = "a" + bytes_of({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}) + "b" +
                     bytes_of({0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80});
  EXPECT_EQ(utf8_to_system_text(utf8.data(), utf8.size()),
            "a\x01,4E2D,6587\x01" "b\xE9\x01,D83D,DE00\x01");
  std::string one = bytes_of({0x01});
  EXPECT_EQ(utf8_to_system_text(one.data(), one.size()), "\x01,0001\x01");
}

TEST(Utf8ToSystemText, InvalidTextIsTakenAsLatin1FromThereOn) {
  std::string latin1 = "a\xE9" "b";
  EXPECT_EQ(utf8_to_system_text(latin1.data(), latin1.size()), "a\xE9" "b");
  // Valid é, then an invalid byte: from there on every byte is one character.
  std::string mixed = bytes_of({0xC3, 0xA9, 0xE9, 0xC3, 0xA9});
  EXPECT_EQ(utf8_to_system_text(mixed.data(), mixed.size()), "\xE9\xE9\xC3\xA9");
  std::string overlong = bytes_of({'x', 0xC0, 0xAF});
  EXPECT_EQ(utf8_to_system_text(overlong.data(), overlong.size()), "x\xC0\xAF");
  std::string surrogate = bytes_of({0xED, 0xA0, 0x80});
  EXPECT_EQ(utf8_to_system_text(surrogate.data(), surrogate.size()), "\xED\xA0\x80");
}

TEST(Utf8ToSystemText, RoundTripsByteForByte) {
  std::string utf8;
  for (uint32_t code_point : {0x1u, 0x41u, 0x7Fu, 0x80u, 0xFFu, 0x100u, 0x7FFu, 0x800u, 0xD7FFu,
                              0xE000u, 0xFFFDu, 0xFFFFu, 0x10000u, 0x1F600u, 0x10FFFFu, 0x0Au})
    utf8 += encode(code_point);
  std::string system = utf8_to_system_text(utf8.data(), utf8.size());
  EXPECT_EQ(system_text_to_utf8(system.c_str()), utf8);

  // Commas next to characters in runs are kept, whichever side they stand.
  const std::string zhong = encode(0x4E2D), wen = encode(0x6587);
  for (const std::string& text : {zhong + "," + wen, "a," + zhong + ",b", "," + zhong + ",,",
                                  zhong + wen + ", " + zhong}) {
    system = utf8_to_system_text(text.data(), text.size());
    EXPECT_EQ(system_text_to_utf8(system.c_str()), text) << testing::PrintToString(system);
  }
}

TEST(Utf8ToSystemText, AgreesWithPythonOnTheUtf8Side) {
  const char* system = "Gr\xFC\xDF" "e \x01,4E2D,6587,D83D,DE00\x01!";
  std::string utf8 = system_text_to_utf8(system);
  std::string expected = "Gr" + encode(0xFC) + encode(0xDF) + "e " + encode(0x4E2D) +
                         encode(0x6587) + encode(0x1F600) + "!";
  EXPECT_EQ(utf8, expected);
  RunResult python = run_program(
      {kPython, "-c",
       "import sys; t = sys.stdin.buffer.read().decode('utf-8');"
       "print(' '.join('%X' % ord(c) for c in t))"},
      {}, &utf8);
  ASSERT_EQ(python.exit_code, 0) << python.err;
  EXPECT_EQ(python.out, "47 72 FC DF 65 20 4E2D 6587 1F600 21\n");
}

// ---- Cutting system text

TEST(SystemTextCut, CutsOnlyAtCharacterBoundariesAndClosesRuns) {
  // "ab" + run of two characters: 2 + 1 + 5 + 5 + 1 = 14 bytes.
  const std::string text = "ab\x01,4E2D,6587\x01", pair = "\x01,D83D,DE00\x01";
  const struct {
    std::string text;
    size_t max_bytes;
    std::string cut;
  } rows[] = {
      {std::string(300, 'x'), 255, std::string(255, 'x')},
      {text, 14, text},
      {text, 13, "ab\x01,4E2D\x01"},  // the second group no longer fits with its close
      {text, 9, "ab\x01,4E2D\x01"},   // the first group just fits with its close
      {text, 8, "ab"},                 // not even the first group with its close
      {pair, 11, ""},                  // the halves of a pair stay together
      {"\x01" "D83DDE00\x01", 9, ""},   // also without the separating comma
  };
  for (const auto& row : rows) {
    std::string cut = row.text;
    system_text_cut(cut, row.max_bytes);
    EXPECT_EQ(cut, row.cut) << row.max_bytes;
  }
}

// ---- Control characters shown

TEST(TextUtilities, ControlCharactersAreShownEscapedAsTheFlagsAsk) {
  struct ROW {
    std::string text;
    unsigned flags;
    const char* shown;
    bool holds;
  } rows[] = {
      {"plain \xc3\xa9 \\ text", ESCAPE_ALL_CONTROLS, "plain \xc3\xa9 \\ text", false},
      {"a\nb\tc\rd\x1b\x7f", ESCAPE_ALL_CONTROLS, "a\\nb\\tc\\rd\\x1b\\x7f", true},
      {"a\nb\tc\rd", KEEP_LINE_LAYOUT, "a\nb\tc\\rd", true},
      {"\xc2\x85 \x85 \xc2\xa0 \x9f \xc2\x9f", ESCAPE_ALL_CONTROLS, "\\u0085 \\x85 \xc2\xa0 \\x9f \\u009f", true},
      {"a\\b\n", ESCAPE_BACKSLASH | KEEP_LINE_LAYOUT, "a\\\\b\n", true},
      {std::string("nul\0", 4), ESCAPE_ALL_CONTROLS, "nul\\x00", false},
  };
  for (const ROW& row : rows) {
    EXPECT_EQ(escape_control_characters(row.text, row.flags), row.shown) << row.text;
    EXPECT_EQ(holds_control_character(row.text.c_str()), row.holds) << row.text;
  }
  EXPECT_FALSE(holds_control_character(nullptr));
}

}  // namespace
