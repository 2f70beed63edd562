#include "string_utils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "random.h"

TEST(Base64, EncodesTheStandardVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFF\xFE\xFD", "//79"},
  };
  for (auto [plain, encoded] : vectors) {
    char out[32];
    int32_t count = static_cast<int32_t>(strlen(plain));
    EXPECT_EQ(base64_encode(plain, count, out, sizeof(out)), static_cast<int32_t>(strlen(encoded)));
    EXPECT_STREQ(out, encoded);
  }
}

TEST(Base64, EncodeNeedsRoomForTheTerminator) {
  char out[8];
  memset(out, '#', sizeof(out));
  EXPECT_EQ(base64_encode("abc", 3, out, 4), 4);
  EXPECT_EQ(out[0], '#');  // nothing written
  EXPECT_EQ(base64_encode("abc", 3, nullptr, 100), 4);
  EXPECT_EQ(base64_encode("abc", 3, out, 5), 4);
  EXPECT_STREQ(out, "YWJj");
}

TEST(Base64, DecodedLengthFollowsThePadding) {
  unsigned char out[16] = "xxxxxxxxxxxxxxx";  // bytes past the decoded ones stay as they were
  for (auto [text, length, seen] : {std::tuple{"YQ==", 1, "ax"}, {"YWI=", 2, "abx"}, {"YWJj", 3, "abc"},
                                    {"YWJ", -1, "abc"}, {"", 0, "abc"}}) {  // a refused text writes nothing
    EXPECT_EQ(base64_decode(text, out, sizeof(out)), length) << text;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), strlen(seen)), seen) << text;
  }
  EXPECT_EQ(base64_decode(nullptr, out, sizeof(out)), -1);
}

TEST(Base64, RefusesBytesOutsideTheAlphabetAndMisplacedPadding) {
  unsigned char out[16];
  for (const char* bad : {"YW!j", "YW j", "\xC0WJj", "YQ==YWJj", "Y===", "====", "YW=j", "=WJj"}) {
    EXPECT_EQ(base64_decode(bad, out, sizeof(out)), -1) << bad;
    EXPECT_EQ(base64_decode(bad, nullptr, 0), -1) << bad;
  }
}

TEST(Base64, SmallOutputGetsOnlyTheLength) {
  unsigned char out[4];
  memset(out, 0xEE, sizeof(out));
  EXPECT_EQ(base64_decode("Zm9vYmFy", out, 4), 6);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(base64_decode("Zm9vYg==", nullptr, 0), 4);
}

TEST(Base64, CarriageReturnEndsDecodingAndTheCountIsWhatWasDecoded) {
  unsigned char out[16];
  EXPECT_EQ(base64_decode("YWJj\rxyz", nullptr, 0), 6);  // room the caller must offer
  EXPECT_EQ(base64_decode("YWJj\rxyz", out, sizeof(out)), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
}

TEST(Base64, EveryByteValueRoundTrips) {
  std::vector<unsigned char> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<unsigned char>(255 - i);
  for (int32_t count : {1, 2, 3, 4, 5, 254, 255, 256}) {
    char text[400];
    int32_t length = base64_encode(bytes.data(), count, text, sizeof(text));
    ASSERT_EQ(static_cast<size_t>(length), strlen(text));
    unsigned char back[300];
    ASSERT_EQ(base64_decode(text, back, sizeof(back)), count);
    EXPECT_EQ(memcmp(back, bytes.data(), static_cast<size_t>(count)), 0);
  }
}

TEST(FoldAccents, TableOfLatin1Letters) {
  std::vector<std::string> expected(256, "?");
  auto fill = [&](int from, int to, const char* text) {
    for (int b = from; b <= to; ++b) expected[static_cast<size_t>(b)] = text;
  };
  fill(192, 197, "A"); fill(198, 198, "AE"); fill(199, 199, "C"); fill(200, 203, "E");
  fill(204, 207, "I"); fill(208, 208, "D"); fill(209, 209, "N"); fill(210, 214, "O");
  fill(216, 216, "O"); fill(217, 220, "U"); fill(221, 221, "Y"); fill(223, 223, "SS");
  fill(224, 229, "a"); fill(230, 230, "ae"); fill(231, 231, "c"); fill(232, 235, "e");
  fill(236, 239, "i"); fill(240, 240, "d"); fill(241, 241, "n"); fill(242, 246, "o");
  fill(248, 248, "o"); fill(249, 252, "u"); fill(253, 253, "y"); fill(254, 254, "p");
  for (int b = 128; b < 256; ++b)
    EXPECT_STREQ(fold_accent_char(static_cast<unsigned char>(b)), expected[static_cast<size_t>(b)].c_str()) << b;
}

TEST(FoldAccents, AsciiBytesFoldToThemselves) {
  char buffer[2];
  const char* folded = fold_accent_char('q', buffer);
  EXPECT_EQ(folded, buffer);
  EXPECT_STREQ(folded, "q");
  EXPECT_STREQ(fold_accent_char('Z'), "Z");
  EXPECT_STREQ(fold_accent_char(0, buffer), "");
}

TEST(FoldAccents, WholeTextsStayInsideTheOutput) {
  char out[32];
  EXPECT_EQ(fold_accents("\xC6sop \xE0 la cr\xE8me", out, sizeof(out)), 16);
  EXPECT_STREQ(out, "AEsop a la creme");

  memset(out, '#', sizeof(out));
  EXPECT_EQ(fold_accents("abcdefgh", out, 8), 5);  // stops once length reaches 8 - 3
  EXPECT_STREQ(out, "abcde");
  EXPECT_EQ(fold_accents("\xC6\xC6\xC6\xC6", out, 8), 6);
  EXPECT_STREQ(out, "AEAEAE");
  EXPECT_EQ(fold_accents("abc", out, 3), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(fold_accents(nullptr, out, 8), 0);
  EXPECT_STREQ(out, "");
  out[0] = '#';
  EXPECT_EQ(fold_accents("abc", out, 0), 0);
  EXPECT_EQ(out[0], '#');
}

TEST(CompareFolded, ComparesAfterFolding) {
  EXPECT_EQ(compare_folded("\xC9lan", "elan", true), 0);
  EXPECT_LT(compare_folded("\xC9lan", "elan", false), 0);
  EXPECT_EQ(compare_folded("cr\xE8me", "creme", false), 0);
  EXPECT_EQ(compare_folded("ab", "abc", false), -1);
  EXPECT_GT(compare_folded("abc", "ab", false), 0);
  EXPECT_GT(compare_folded("abc", "ab", true), 0);
  EXPECT_EQ((std::vector<int>{compare_folded("ABD", "abc", true), compare_folded(nullptr, "", false),
                              compare_folded("", nullptr, true), compare_folded(nullptr, "a", false),
                              compare_folded("a", nullptr, false), compare_folded("a", "", false)}),
            (std::vector<int>{1, 0, 0, -1, 1, 1}));
}

TEST(GmtDateText, Rfc1123Form) {
  EXPECT_STREQ(gmt_date_text(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_STREQ(gmt_date_text(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_STREQ(gmt_date_text(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_STREQ(gmt_date_text(static_cast<time_t>(4102444800LL)), "Fri, 01 Jan 2100 00:00:00 GMT");
}

TEST(Scramble, KeysComeFromTheProcessWideGeneratorAndFrameTheBytes) {
  random_seed(8080);
  RANDOM reference;
  reference.seed(8080);
  uint32_t k1 = static_cast<uint32_t>(reference.get_range(1, 256));
  uint32_t k2 = static_cast<uint32_t>(reference.get_range(1, 256));

  unsigned char out[8];
  ASSERT_EQ(scramble_bytes("AB", 2, out, sizeof(out)), 4);
  EXPECT_EQ(out[0], k1);
  EXPECT_EQ(out[3], k2);
  // Byte i mixes the second key, the plain byte, (i-1) x first key and the
  // complement of the sum of the plain bytes before it.
  EXPECT_EQ(out[1], static_cast<unsigned char>(k2 ^ 'A' ^ 0u ^ 0xFFu));
  EXPECT_EQ(out[2], static_cast<unsigned char>(k2 ^ 'B' ^ k1 ^ static_cast<unsigned char>(~'A')));
}

TEST(Scramble, RoundTripsForEveryKeyDrawn) {
  random_seed(1);
  std::set<int> first_keys, second_keys;
  RANDOM data;
  data.seed(99);
  for (int round = 0; round < 5000; ++round) {
    int32_t count = data.get_range(0, 40);
    unsigned char plain[40], scrambled[42], back[40];
    for (int32_t i = 0; i < count; ++i) plain[i] = static_cast<unsigned char>(data.get_range(0, 256));
    ASSERT_EQ(scramble_bytes(plain, count, scrambled, sizeof(scrambled)), count + 2);
    first_keys.insert(scrambled[0]);
    second_keys.insert(scrambled[count + 1]);
    ASSERT_EQ(unscramble_bytes(scrambled, count + 2, back, sizeof(back)), count);
    ASSERT_EQ(memcmp(plain, back, static_cast<size_t>(count)), 0) << "round " << round;
  }
  // Every key value 1..255 came up, and 0 never.
  EXPECT_EQ(first_keys.size(), 255u);
  EXPECT_EQ(second_keys.size(), 255u);
  EXPECT_EQ(first_keys.count(0), 0u);
  EXPECT_EQ(second_keys.count(0), 0u);
}

TEST(Scramble, SizesAndRefusals) {
  unsigned char out[8];
  memset(out, 0xAA, sizeof(out));
  EXPECT_EQ(scramble_bytes(nullptr, 5, nullptr, 0), 7);
  EXPECT_EQ(scramble_bytes("abcde", 5, out, 6), 0);
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(scramble_bytes("abcde", 5, out, 7), 7);

  unsigned char back[8];
  memset(back, 0xAA, sizeof(back));
  EXPECT_EQ(unscramble_bytes(nullptr, 7, nullptr, 0), 5);
  EXPECT_EQ(unscramble_bytes(out, 7, back, 4), 0);
  EXPECT_EQ(back[0], 0xAA);
  EXPECT_EQ((std::vector<int32_t>{unscramble_bytes(out, 1, back, sizeof(back)), unscramble_bytes(out, 0, back, sizeof(back)),
                                  unscramble_bytes(nullptr, 1, nullptr, 0), unscramble_bytes(out, 2, back, 0)}),  // last: no plain bytes
            std::vector<int32_t>(4, 0));
  EXPECT_EQ(back[0], 0xAA);
}

namespace {
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

TEST(GeneratePassword, RefusesImpossibleRequests) {
  char out[PASSWORD_BUFFER_SIZE];
  for (const auto& [least, most, flags] : std::vector<std::tuple<int16_t, int16_t, int>>{
           {3, 8, 0}, {6, 5, 0}, {4, 8, PASSWORD_NEED_CAPITAL}, {4, 8, PASSWORD_NEED_DIGIT | PASSWORD_CAPITALS}, {300, 400, 0}})
    EXPECT_EQ(generate_password(least, most, flags, out), nullptr) << least << " " << most;
}

TEST(GeneratePassword, RequiredClassesAreAlwaysPresent) {
  char out[PASSWORD_BUFFER_SIZE];
  const uint8_t all = PASSWORD_CAPITALS | PASSWORD_NEED_CAPITAL | PASSWORD_DIGITS | PASSWORD_NEED_DIGIT;
  for (int i = 0; i < 200; ++i) {
    const char* password = generate_password(4, 4, all, out);
    ASSERT_EQ(password, out);
    ASSERT_EQ(strlen(password), 4u);
    bool capital = false, digit = false;
    for (const char* p = password; *p; ++p) {
      ASSERT_TRUE(is_lower(*p) || is_upper(*p) || is_digit(*p)) << password;
      capital |= is_upper(*p);
      digit |= is_digit(*p);
    }
    EXPECT_TRUE(capital) << password;
    EXPECT_TRUE(digit) << password;
  }
}

// Over many passwords every character a flag allows comes up, and no other.
TEST(GeneratePassword, CharactersAndLengthsFollowTheFlags) {
  const std::string lower = "abcdefghijklmnopqrstuvwxyz", upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::string digits = "0123456789";
  std::set<size_t> lengths;
  std::set<char> seen;
  for (int i = 0; i < 300; ++i) {
    const char* password = generate_password(5, 9, 0);
    ASSERT_NE(password, nullptr);
    lengths.insert(strlen(password));
    seen.insert(password, password + strlen(password));
  }
  EXPECT_EQ(*lengths.begin(), 5u);
  EXPECT_EQ(*lengths.rbegin(), 9u);
  EXPECT_EQ(std::string(seen.begin(), seen.end()), lower);

  char out[PASSWORD_BUFFER_SIZE];
  for (const auto& [flags, allowed] : {std::pair<int, std::string>{PASSWORD_CAPITALS, upper + lower},
                                       {PASSWORD_DIGITS, digits + lower},
                                       {PASSWORD_CAPITALS | PASSWORD_DIGITS, digits + upper + lower}}) {
    seen.clear();
    for (int i = 0; i < 200; ++i) {
      const char* password = generate_password(20, 20, static_cast<uint8_t>(flags), out);
      seen.insert(password, password + strlen(password));
    }
    EXPECT_EQ(std::string(seen.begin(), seen.end()), allowed) << flags;
  }

  // The maximum is capped at 256 characters.
  for (int i = 0; i < 50; ++i) {
    size_t length = strlen(generate_password(250, 1000, PASSWORD_DIGITS, out));
    ASSERT_GE(length, 250u);
    ASSERT_LE(length, 256u);
  }
}

TEST(GeneratePassword, LeavesTheProcessWideSequenceAlone) {
  random_seed(4242);
  RANDOM reference;
  reference.seed(4242);
  char out[PASSWORD_BUFFER_SIZE];
  ASSERT_NE(generate_password(8, 16, PASSWORD_CAPITALS | PASSWORD_DIGITS, out), nullptr);
  EXPECT_EQ(random_range(0, 1 << 30), reference.get_range(0, 1 << 30));
}

TEST(TextUtilities, UpperCaseInPlace) {
  char text[] = "abc \xE9z1";
  upper_case_in_place(text);
  EXPECT_STREQ(text, "ABC \xE9Z1");
  upper_case_in_place(nullptr);
}

TEST(TextUtilities, NumbersSaturateLikeTheir32BitFormsAndFormattedTextsAreWhole) {
  for (const auto& [text, fallback, value] : std::vector<std::tuple<const char*, int32_t, int32_t>>{
           {nullptr, -9, -9}, {"42", 0, 42}, {"  -17xyz", 0, -17}, {"abc", 5, 0}, {"3000000000", 0, INT32_MAX},
           {"-3000000000", 0, INT32_MIN}, {"99999999999999999999999", 0, INT32_MAX}})
    EXPECT_EQ(text_to_int(text, fallback), value) << (text ? text : "null");
  // "-5" wraps within 32 bits; texts beyond the 32-bit range saturate.
  for (const auto& [text, fallback, value] : std::vector<std::tuple<const char*, uint32_t, uint32_t>>{
           {nullptr, 77, 77}, {"4294967295", 0, UINT32_MAX}, {"4294967296", 0, UINT32_MAX},
           {"99999999999999999999999", 0, UINT32_MAX}, {" +7", 0, 7}, {"-5", 0, 4294967291u},
           {"-4294967296", 0, UINT32_MAX}, {"-18446744073709551615", 0, UINT32_MAX}, {"x1", 3, 0}})
    EXPECT_EQ(text_to_unsigned(text, fallback), value) << (text ? text : "null");

  EXPECT_DOUBLE_EQ(text_to_double(nullptr, 1.5), 1.5);
  EXPECT_DOUBLE_EQ(text_to_double("2.25e2", 0), 225.0);
  EXPECT_DOUBLE_EQ(text_to_double("junk", 1.0), 0.0);

  EXPECT_EQ(format_text("%d-%s|%c", 42, "x", 'y'), "42-x|y");
  EXPECT_EQ(format_text("%s", ""), "");
  EXPECT_EQ(format_text("%s%s", std::string(600, 'z').c_str(), "!"), std::string(600, 'z') + "!");
}
