#include "vorn_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

TEST(VornString, SubstringConstructor) {
  VORN_STRING source("abcdefg");
  EXPECT_STREQ(VORN_STRING(source, 2, 4).get_text(), "cde");
  EXPECT_STREQ(VORN_STRING(source, 2, -1).get_text(), "cdefg");
  EXPECT_EQ(VORN_STRING(source, 2, 4).get_capacity(), 50);
  for (auto [start, end] : {std::pair{-1, 3}, {7, 7}, {4, 3}, {2, 7}, {0, -2}}) {
    VORN_STRING part(source, start, end);
    ASSERT_NE(part.get_text(), nullptr);
    EXPECT_STREQ(part.get_text(), "") << start << ".." << end;
  }
  EXPECT_STREQ(VORN_STRING(VORN_STRING(), 0, -1).get_text(), "");

  // Longer than the default allocation: the buffer grows to fit.
  std::string long_text(120, 'q');
  long_text[100] = 'Z';
  VORN_STRING long_source(long_text.c_str());
  VORN_STRING long_part(long_source, 10, 100);
  EXPECT_EQ(std::string(long_part.get_text()), long_text.substr(10, 91));
  EXPECT_GE(long_part.get_capacity(), 92);
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

TEST(VornString, Insert) {
  VORN_STRING s("abfg");
  EXPECT_TRUE(s.insert(VORN_STRING("cde"), 2));
  EXPECT_STREQ(s.get_text(), "abcdefg");
  EXPECT_TRUE(s.insert(VORN_STRING("!"), 7));
  EXPECT_STREQ(s.get_text(), "abcdefg!");
  EXPECT_FALSE(s.insert(VORN_STRING("x"), -1));
  EXPECT_FALSE(s.insert(VORN_STRING("x"), 9));
  EXPECT_FALSE(s.insert(VORN_STRING(), 0));
  EXPECT_FALSE(s.insert(VORN_STRING(""), 0));
  EXPECT_STREQ(s.get_text(), "abcdefg!");

  VORN_STRING none;
  EXPECT_TRUE(none.insert(VORN_STRING("whole"), 99));
  EXPECT_STREQ(none.get_text(), "whole");
  VORN_STRING empty("");
  EXPECT_TRUE(empty.insert(VORN_STRING("whole"), -5));
  EXPECT_STREQ(empty.get_text(), "whole");

  VORN_STRING self("ab", 0);
  EXPECT_TRUE(self.insert(self, 1));
  EXPECT_STREQ(self.get_text(), "aabb");
}

TEST(VornString, Erase) {
  VORN_STRING s("abcdefg");
  EXPECT_TRUE(s.erase(2, 4));
  EXPECT_STREQ(s.get_text(), "abfg");

  VORN_STRING t("abcdefg");
  EXPECT_FALSE(t.erase(0, 7));
  EXPECT_FALSE(t.erase(3, 2));
  EXPECT_FALSE(t.erase(-1, 2));
  EXPECT_STREQ(t.get_text(), "abcdefg");
  EXPECT_TRUE(t.erase(0, 6));
  EXPECT_STREQ(t.get_text(), "");
  EXPECT_FALSE(VORN_STRING().erase(0, 0));
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
  EXPECT_FALSE(no.replace(VORN_STRING(""), VORN_STRING("x"), 0));
  EXPECT_FALSE(no.replace(VORN_STRING("A"), VORN_STRING("x"), 0));
  EXPECT_FALSE(no.replace(VORN_STRING("a"), VORN_STRING("x"), -1));
  EXPECT_FALSE(no.replace(VORN_STRING("a"), VORN_STRING("x"), 6));
  EXPECT_FALSE(no.replace(VORN_STRING("b"), VORN_STRING("x"), 1));
  EXPECT_STREQ(no.get_text(), "banana");
  EXPECT_FALSE(VORN_STRING("").replace(VORN_STRING("a"), VORN_STRING("x"), 0));
}

TEST(VornString, TrimStopsAtHighBytes) {
  VORN_STRING s("  \t hi there \n\r ");
  s.trim_left();
  EXPECT_STREQ(s.get_text(), "hi there \n\r ");
  s.trim_right();
  EXPECT_STREQ(s.get_text(), "hi there");

  VORN_STRING high(" \xA0 x \xA0 ");
  high.trim_left();
  EXPECT_STREQ(high.get_text(), "\xA0 x \xA0 ");
  high.trim_right();
  EXPECT_STREQ(high.get_text(), "\xA0 x \xA0");

  VORN_STRING blank("   ");
  blank.trim_right();
  EXPECT_STREQ(blank.get_text(), "");
  VORN_STRING none;
  none.trim_left();
  none.trim_right();
  EXPECT_EQ(none.get_text(), nullptr);
}

TEST(VornString, CaseChanges) {
  VORN_STRING s("HeLLo W\xC9RLD \xFF");
  s.to_lower();
  EXPECT_STREQ(s.get_text(), "hello w\xC9rld \xFF");

  VORN_STRING words("hello big\tworld  x\xA0y \xE9t\xC9 ");
  words.capitalise_words();
  EXPECT_STREQ(words.get_text(), "hello Big\tWorld  X\xA0y \xE9t\xC9 ");
}

TEST(VornString, GetTextAt) {
  VORN_STRING s("abc");
  EXPECT_EQ(s.get_text_at(1), s.get_text() + 1);
  EXPECT_STREQ(s.get_text_at(3), "");
  EXPECT_STREQ(s.get_text_at(-1), "");
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

TEST(VornString, Find) {
  VORN_STRING s("Hello World");
  EXPECT_EQ(s.find(VORN_STRING("o"), 0, true), 4);
  EXPECT_EQ(s.find(VORN_STRING("o"), 5, true), 7);
  EXPECT_EQ(s.find(VORN_STRING("WORLD"), 0, false), 6);
  EXPECT_EQ(s.find(VORN_STRING("world"), 3, false), 6);
  EXPECT_EQ(s.find(VORN_STRING("WORLD"), 0, true), -1);
  EXPECT_EQ(s.find(VORN_STRING("o"), -1, true), -1);
  EXPECT_EQ(s.find(VORN_STRING("o"), 11, true), -1);
  EXPECT_EQ(s.find(VORN_STRING(""), 0, true), -1);
  EXPECT_EQ(s.find(VORN_STRING(), 0, false), -1);
  EXPECT_EQ(VORN_STRING().find(VORN_STRING("a"), 0, true), -1);
  EXPECT_STREQ(s.get_text(), "Hello World");  // searching changes nothing
}

TEST(VornString, FindLast) {
  VORN_STRING s("banana");
  EXPECT_EQ(s.find_last(VORN_STRING("an"), -1, true), 3);
  EXPECT_EQ(s.find_last(VORN_STRING("an"), 2, true), 1);
  EXPECT_EQ(s.find_last(VORN_STRING("an"), 0, true), -1);
  EXPECT_EQ(s.find_last(VORN_STRING("AN"), -1, false), 3);
  EXPECT_EQ(s.find_last(VORN_STRING("AN"), -1, true), -1);
  EXPECT_EQ(s.find_last(VORN_STRING("a"), 100, true), 5);
  EXPECT_EQ(s.find_last(VORN_STRING("bananas"), -1, true), -1);
  EXPECT_EQ(s.find_last(VORN_STRING(""), -1, true), -1);
  EXPECT_EQ(VORN_STRING().find_last(VORN_STRING("a"), -1, true), -1);
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
