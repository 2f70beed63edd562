#include "vorn_string.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "picture_compare.h"
#include "random.h"
#include "string_utils.h"

TEST(VornString, NoTextAndEmptyTextAreDifferentStates) {
  VORN_STRING none;
  EXPECT_EQ(none.get_text(), nullptr);
  EXPECT_EQ(none.get_capacity(), 0);
  EXPECT_EQ(none.get_grow(), 50);
  ASSERT_NE(none.get_text_at(0), nullptr);
  EXPECT_STREQ(none.get_text_at(0), "");
  EXPECT_EQ(none.compare(nullptr, false), 0);
  EXPECT_EQ(none.compare("", false), -1);
  EXPECT_EQ(none.compare("", true), -1);

  // Grow 0: emptying frees the buffer.
  VORN_STRING freed("abc", 0);
  EXPECT_EQ(freed.get_capacity(), 4);
  EXPECT_TRUE(freed.set(nullptr));
  EXPECT_EQ(freed.get_text(), nullptr);
  EXPECT_EQ(freed.get_capacity(), 0);
  EXPECT_STREQ(freed.get_text_at(0), "");
  EXPECT_EQ(freed.compare("", false), -1);

  // Grow above 0: emptying keeps the buffer with an empty text.
  VORN_STRING kept("abc");
  EXPECT_TRUE(kept.set(nullptr));
  ASSERT_NE(kept.get_text(), nullptr);
  EXPECT_STREQ(kept.get_text(), "");
  EXPECT_EQ(kept.get_capacity(), 50);
  EXPECT_EQ(kept.compare("", false), 0);
  EXPECT_EQ(kept.compare(nullptr, false), 1);
}

TEST(VornString, AllocationsFollowTheGrowStepAndNeverShrink) {
  EXPECT_EQ(VORN_STRING("hello").get_capacity(), 50);
  EXPECT_EQ(VORN_STRING("hello", -7).get_grow(), 50);
  EXPECT_EQ(VORN_STRING("hello", 0).get_capacity(), 6);
  std::string sixty(60, 'x');
  EXPECT_EQ(VORN_STRING(sixty.c_str()).get_capacity(), 61);

  VORN_STRING s(sixty.c_str(), 10);
  EXPECT_EQ(s.get_capacity(), 61);
  s.set("short");
  EXPECT_EQ(s.get_capacity(), 61);
  EXPECT_STREQ(s.get_text(), "short");
  s.clear();
  EXPECT_EQ(s.get_text(), nullptr);
  EXPECT_EQ(s.get_capacity(), 0);

  VORN_STRING r;
  EXPECT_TRUE(r.reserve(10));
  EXPECT_EQ(r.get_capacity(), 50);
  EXPECT_STREQ(r.get_text(), "");
  r.set("keep");
  EXPECT_TRUE(r.reserve(200));
  EXPECT_EQ(r.get_capacity(), 200);
  EXPECT_STREQ(r.get_text(), "keep");
}

TEST(VornString, NumbersSetAndAppend) {
  VORN_STRING s(nullptr, 0);
  EXPECT_TRUE(s.set_int(INT32_MIN));
  EXPECT_STREQ(s.get_text(), "-2147483648");
  EXPECT_EQ(s.get_capacity(), 15);
  EXPECT_TRUE(s.set_short(-32768));
  EXPECT_STREQ(s.get_text(), "-32768");

  VORN_STRING name;
  name.append_int(7);  // no text yet: becomes the number
  EXPECT_STREQ(name.get_text(), "7");
  name.set("Object ");
  name.append_int(12);
  name.append_short(-3);
  EXPECT_STREQ(name.get_text(), "Object 12-3");
}

TEST(VornString, AppendHandlesNullNoTextAndItsOwnText) {
  VORN_STRING s;
  EXPECT_TRUE(s.append(nullptr));
  EXPECT_EQ(s.get_text(), nullptr);
  s.append("ab");
  s.append("cd");
  EXPECT_STREQ(s.get_text(), "abcd");

  // Appending part of itself to a string whose buffer must move.
  VORN_STRING self("abcdef", 0);
  EXPECT_TRUE(self.append(self.get_text_at(2)));
  EXPECT_STREQ(self.get_text(), "abcdefcdef");
  EXPECT_TRUE(self.set(self.get_text_at(6)));
  EXPECT_STREQ(self.get_text(), "cdef");
  std::string doubled = "cdef";
  for (int i = 0; i < 8; ++i, doubled += doubled) ASSERT_TRUE(self.append(self.get_text()));  // all of itself
  EXPECT_EQ(self.get_text(), doubled);
}

TEST(VornString, CopiesOwnTheirBuffers) {
  VORN_STRING a("first", 0);
  VORN_STRING b(a);
  EXPECT_EQ(b.get_grow(), 0);
  b.append("!");
  EXPECT_STREQ(a.get_text(), "first");
  EXPECT_STREQ(b.get_text(), "first!");
  VORN_STRING c("other");
  c = a;
  EXPECT_STREQ(c.get_text(), "first");
  EXPECT_NE(c.get_text(), a.get_text());
  c = c;
  EXPECT_STREQ(c.get_text(), "first");
}

// Bytes outside printable ASCII are written \xNN, so that the transcript
// shows every byte.
std::string quoted(const char* text) {
  if (!text) return "none";
  std::string out = "\"";
  for (const char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c >= 32 && c < 127 ? std::string(1, static_cast<char>(c)) : hex;
  }
  return out + "\"";
}

std::string shown(const VORN_STRING& s) {
  return quoted(s.get_text()) + " cap " + std::to_string(s.get_capacity());
}

// Every edit and search at and either side of its boundaries (-1, 0, the
// length, one past it), one line per call: the answer, then the text and
// its capacity. Strings of grow 0 show the exact room each edit asked for.
TEST(VornString, EditsAndSearchesAtTheirBoundariesMatchTheTranscript) {
  std::string out;
  auto row = [&](const std::string& call, const std::string& answer, const VORN_STRING& s) {
    out += call + " = " + answer + " | " + shown(s) + "\n";
  };
  auto yes = [](bool b) { return std::string(b ? "true" : "false"); };

  for (int32_t at = -1; at <= 5; ++at) {
    VORN_STRING s("abcd", 0);
    row("\"abcd\".insert(\"XY\", " + std::to_string(at) + ")", yes(s.insert(VORN_STRING("XY"), at)), s);
  }
  for (const char* added : {static_cast<const char*>(nullptr), ""}) {
    VORN_STRING s("abcd", 0);
    row("\"abcd\".insert(" + quoted(added) + ", 0)", yes(s.insert(VORN_STRING(added), 0)), s);
  }
  for (const char* base : {static_cast<const char*>(nullptr), ""}) {
    VORN_STRING s(base, 0);
    row(quoted(base) + ".insert(\"whole\", 99)", yes(s.insert(VORN_STRING("whole"), 99)), s);
  }
  VORN_STRING self("ab", 0);
  row("\"ab\".insert(itself, 1)", yes(self.insert(self, 1)), self);

  for (auto [start, end] : {std::pair{-1, 2}, {0, -1}, {0, 0}, {0, 3}, {0, 4}, {1, 2}, {2, 1}, {3, 3},
                            {3, 4}, {4, 4}}) {
    VORN_STRING s("abcd", 0);
    row("\"abcd\".erase(" + std::to_string(start) + ", " + std::to_string(end) + ")", yes(s.erase(start, end)),
        s);
  }
  VORN_STRING none;
  row("none.erase(0, 0)", yes(none.erase(0, 0)), none);

  for (int32_t start = -1; start <= 7; ++start) {
    VORN_STRING s("abcabc", 0);
    row("\"abcabc\".replace(\"bc\", \"XYZ\", " + std::to_string(start) + ")",
        yes(s.replace(VORN_STRING("bc"), VORN_STRING("XYZ"), start)), s);
  }
  for (const char* replacement : {"", "Z"})
    for (const char* find : {"a", "c", "abcabc", "abcabcd", "", "x"}) {
      VORN_STRING s("abcabc", 0);
      row("\"abcabc\".replace(" + quoted(find) + ", " + quoted(replacement) + ", 0)",
          yes(s.replace(VORN_STRING(find), VORN_STRING(replacement), 0)), s);
    }

  // Searches: the answer for each start from -1 to one past the length.
  const struct { const char* hay; const char* needle; bool case_sensitive; } searches[] = {
      {"banana", "an", true},      {"banana", "AN", true},      {"banana", "AN", false},
      {"banana", "a", true},       {"banana", "banana", true},  {"banana", "bananas", true},
      {"banana", "", true},        {"banana", nullptr, false},  {"Hello World", "o", true},
      {"Hello World", "WORLD", false}, {"Hello World", "WORLD", true}, {nullptr, "a", true},
  };
  for (const auto& q : searches) {
    VORN_STRING hay(q.hay);
    VORN_STRING needle(q.needle);
    std::string line = quoted(q.hay) + (q.case_sensitive ? " find " : " find no case ") + quoted(q.needle) + ":";
    std::string last = "  last:";
    for (int32_t start = -1; start <= hay.get_length() + 1; ++start) {
      line += " " + std::to_string(hay.find(needle, start, q.case_sensitive));
      last += " " + std::to_string(hay.find_last(needle, start, q.case_sensitive));
    }
    out += line + last + " | " + shown(hay) + "\n";
  }

  for (const char* text : {static_cast<const char*>(nullptr), "", "   ", "a", "ab", " a b ", "  \t hi there \n\r ",
                           " \xA0 x \xA0 ", "\x0B\x0C" "a\x0B\x0C"}) {
    VORN_STRING left(text, 0), right(text, 0), both(text, 0);
    left.trim_left();
    right.trim_right();
    both.trim_left();
    both.trim_right();
    out += "trim " + quoted(text) + ": left " + shown(left) + ", right " + shown(right) + ", both " +
           shown(both) + "\n";
  }
  for (const char* text : {static_cast<const char*>(nullptr), "", "a", " a", "a ", "HeLLo W\xC9RLD \xFF",
                           "hello big\tworld  x\xA0y \xE9t\xC9 "}) {
    VORN_STRING lower(text, 0), words(text, 0);
    lower.to_lower();
    words.capitalise_words();
    out += "case " + quoted(text) + ": lower " + shown(lower) + ", words " + shown(words) + "\n";
  }

  // Parts of "abcdefg": a line per start, a part per end from -2 to 7.
  VORN_STRING source("abcdefg");
  for (int32_t start = -1; start <= 7; ++start) {
    out += "part from " + std::to_string(start) + ":";
    for (int32_t end = -2; end <= 7; ++end) out += " " + shown(VORN_STRING(source, start, end));
    out += "\n";
  }
  out += "part of none: " + shown(VORN_STRING(VORN_STRING(), 0, -1)) + "\n";
  const std::string sixty = "0123456789012345678901234567890123456789012345678901234567890";
  out += "part 5..58 of sixty: " + shown(VORN_STRING(VORN_STRING(sixty.c_str()), 5, 58)) + "\n";

  VORN_STRING abc("abc");
  out += "\"abc\" text at:";
  for (int32_t index = -1; index <= 4; ++index) {
    const char* at = abc.get_text_at(index);
    out += " " + (at >= abc.get_text() && at < abc.get_text() + 4 ? "+" + std::to_string(at - abc.get_text())
                                                                    : "other " + quoted(at));
  }
  out += "\nnone text at 0: " + quoted(VORN_STRING().get_text_at(0)) + "\n";
  EXPECT_TRUE(test_support::text_matches_reference("platform", "vorn_string_edits", out));
}

TEST(VornString, ReplaceFirstOccurrenceOnly) {
  VORN_STRING s("banana");
  EXPECT_TRUE(s.replace(VORN_STRING("a"), VORN_STRING("xy"), 0));
  EXPECT_STREQ(s.get_text(), "bxynana");  // the rest of the text is kept whole

  VORN_STRING from("banana");
  EXPECT_TRUE(from.replace(VORN_STRING("a"), VORN_STRING("xy"), 2));
  EXPECT_STREQ(from.get_text(), "banxyna");

  VORN_STRING del("banana");
  EXPECT_TRUE(del.replace(VORN_STRING("an"), VORN_STRING(""), 0));
  EXPECT_STREQ(del.get_text(), "bana");
  EXPECT_TRUE(del.replace(VORN_STRING("na"), VORN_STRING(), 0));
  EXPECT_STREQ(del.get_text(), "ba");

  VORN_STRING grow("a", 0);  // the buffer has to grow for the replacement
  EXPECT_TRUE(grow.replace(VORN_STRING("a"), VORN_STRING("longer text"), 0));
  EXPECT_STREQ(grow.get_text(), "longer text");
  VORN_STRING self("ab", 0);  // growing by its own text
  EXPECT_TRUE(self.replace(VORN_STRING("b"), self, 0));
  EXPECT_STREQ(self.get_text(), "aab");

  VORN_STRING no("banana");
  for (const auto& [what, from] : std::vector<std::pair<const char*, int>>{{"", 0}, {"A", 0}, {"a", -1}, {"a", 6}, {"b", 1}})
    EXPECT_FALSE(no.replace(VORN_STRING(what), VORN_STRING("x"), from)) << what << from;
  EXPECT_STREQ(no.get_text(), "banana");
  EXPECT_FALSE(VORN_STRING("").replace(VORN_STRING("a"), VORN_STRING("x"), 0));
}

TEST(VornString, Compare) {
  VORN_STRING s("hello");
  EXPECT_EQ(s.compare("hello", false), 0);
  EXPECT_LT(s.compare("help", false), 0);
  EXPECT_GT(s.compare("Hello", false), 0);
  EXPECT_EQ(s.compare("HELLO", true), 0);
  EXPECT_EQ(s.compare("HELP", true), -1);
  EXPECT_EQ(s.compare("HELL", true), 1);
  EXPECT_EQ(s.compare(nullptr, true), 1);
}

TEST(VornString, Base64Wrappers) {
  VORN_STRING s("old");
  EXPECT_TRUE(s.set_base64("abc", 3));
  EXPECT_STREQ(s.get_text(), "YWJj");
  EXPECT_FALSE(s.set_base64(nullptr, 3));
  EXPECT_FALSE(s.set_base64("abc", 0));
  EXPECT_FALSE(s.set_base64("abc", INT32_MAX));  // its text would not fit a length
  EXPECT_STREQ(s.get_text(), "YWJj");

  char buffer[8] = {};
  EXPECT_EQ(s.decode_base64(buffer, sizeof(buffer)), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(s.decode_base64(nullptr, 0), 3);
  EXPECT_EQ(VORN_STRING().decode_base64(buffer, sizeof(buffer)), 0);
  EXPECT_EQ(VORN_STRING("YW!j").decode_base64(buffer, sizeof(buffer)), -1);

  VORN_STRING own("xyz", 0);  // encoding its own text
  EXPECT_TRUE(own.set_base64(own.get_text(), 3));
  EXPECT_STREQ(own.get_text(), "eHl6");
}

TEST(VornString, ScrambleRoundTrips) {
  random_seed(5150);
  for (const char* plain : {"Secret text", "", "p", "\xE9t\xE9 \x01\x7F"}) {
    VORN_STRING s(plain);
    ASSERT_TRUE(s.scramble_to_base64());
    size_t count = strlen(plain) + 2;
    EXPECT_EQ(static_cast<size_t>(s.get_length()), (count + 2) / 3 * 4);
    unsigned char raw[64];
    ASSERT_EQ(s.decode_base64(raw, sizeof(raw)), static_cast<int32_t>(count));
    EXPECT_GE(raw[0], 1);
    EXPECT_GE(raw[count - 1], 1);
    ASSERT_TRUE(s.unscramble_from_base64());
    EXPECT_STREQ(s.get_text(), plain);
  }
  EXPECT_FALSE(VORN_STRING().scramble_to_base64());
}

TEST(VornString, UnscrambleOfTooShortOrBadTextLeavesItEmpty) {
  VORN_STRING one("YQ==");  // a single byte: no room for the two keys
  EXPECT_FALSE(one.unscramble_from_base64());
  EXPECT_STREQ(one.get_text(), "");
  VORN_STRING bad("not base64!");
  EXPECT_FALSE(bad.unscramble_from_base64());
  EXPECT_STREQ(bad.get_text(), "");
  VORN_STRING freed("YQ==", 0);
  EXPECT_FALSE(freed.unscramble_from_base64());
  EXPECT_EQ(freed.get_text(), nullptr);
}
