#include "parameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "memory_device.h"

using test_support::MEMORY_DEVICE;

namespace {

constexpr auto V = PARAMETER::VALUE;
constexpr auto MIN = PARAMETER::MINIMUM;
constexpr auto MAX = PARAMETER::MAXIMUM;
constexpr uint32_t kNoType = 12;

// A parameter of type, its bounds given as text (none for text, pointers
// and unknown codes).
PARAMETER ranged(uint32_t type, const char* low = nullptr, const char* high = nullptr) {
  PARAMETER p;
  p.set_type(type);
  if (low) p.set_from_string(MIN, low);
  if (high) p.set_from_string(MAX, high);
  return p;
}

std::string text_of(const PARAMETER& p, PARAMETER::SLOT slot = V, size_t size = 512) {
  std::vector<char> buffer(size + 1, '#');  // '#' shows what to_string left alone
  buffer[size] = '\0';
  p.to_string(slot, buffer.data(), size);
  return buffer.data();
}

std::vector<uint8_t> bytes_of(std::initializer_list<int> values) {
  return std::vector<uint8_t>(values.begin(), values.end());
}

struct CONVERSION {
  uint32_t type;
  const char *low, *high;
  void (*set)(PARAMETER&);
  int32_t as_int;
  uint32_t as_unsigned;
  double as_double;
  const char* text;
};

TEST(Parameter, ConvertsAtTheTypeLimits) {
  const CONVERSION rows[] = {
      {PARAMETER::I8, "-128", "127", [](PARAMETER& p) { p.set_int(V, -128); }, -128, 0xFFFFFF80u, -128, "-128"},
      {PARAMETER::I8, "-128", "127", [](PARAMETER& p) { p.set_int(V, 127); }, 127, 127, 127, "127"},
      {PARAMETER::I8, "-128", "127", [](PARAMETER& p) { p.set_int(V, 200); }, -56, 0xFFFFFFC8u, -56, "-56"},
      {PARAMETER::I8, "-128", "127", [](PARAMETER& p) { p.set_from_string(V, "200"); }, -56, 0xFFFFFFC8u, -56, "-56"},
      {PARAMETER::I8, "-128", "127", [](PARAMETER& p) { p.set_double(V, 1e10); }, -1, 0xFFFFFFFFu, -1, "-1"},
      {PARAMETER::U8, "0", "255", [](PARAMETER& p) { p.set_int(V, -1); }, 255, 255, 255, "255"},
      {PARAMETER::U8, "0", "255", [](PARAMETER& p) { p.set_from_string(V, "300"); }, 44, 44, 44, "44"},
      {PARAMETER::I16, "-32768", "32767", [](PARAMETER& p) { p.set_int(V, -32768); }, -32768, 0xFFFF8000u, -32768, "-32768"},
      {PARAMETER::I16, "-32768", "32767", [](PARAMETER& p) { p.set_int(V, 40000); }, -25536, 0xFFFF9C40u, -25536, "-25536"},
      {PARAMETER::U16, "0", "65535", [](PARAMETER& p) { p.set_unsigned(V, 65535); }, 65535, 65535, 65535, "65535"},
      {PARAMETER::I32, "-2147483648", "2147483647", [](PARAMETER& p) { p.set_int(V, INT32_MIN); }, INT32_MIN, 0x80000000u, -2147483648.0, "-2147483648"},
      {PARAMETER::I32, "-2147483648", "2147483647", [](PARAMETER& p) { p.set_double(V, 3e9); }, INT32_MAX, 0x7FFFFFFFu, 2147483647.0, "2147483647"},
      {PARAMETER::I32, "-2147483648", "2147483647", [](PARAMETER& p) { p.set_double(V, NAN); }, 0, 0, 0, "0"},
      {PARAMETER::I32, "-9", "9", [](PARAMETER& p) { p.set_from_string(V, "not a number"); }, 0, 0, 0, "0"},
      {PARAMETER::I32, "-9", "9", [](PARAMETER& p) { p.set_from_string(V, nullptr); }, 0, 0, 0, "0"},
      {PARAMETER::U32, "0", "4294967295", [](PARAMETER& p) { p.set_unsigned(V, 4294967295u); }, -1, 4294967295u, 4294967295.0, "4294967295"},
      {PARAMETER::U32, "0", "4294967295", [](PARAMETER& p) { p.set_double(V, -1.0); }, -1, 4294967295u, 4294967295.0, "4294967295"},
      {PARAMETER::U32, "0", "4294967295", [](PARAMETER& p) { p.set_double(V, 1e20); }, -1, 4294967295u, 4294967295.0, "4294967295"},
      {PARAMETER::FLOAT, "-1e30", "1e30", [](PARAMETER& p) { p.set_double(V, -2.7); }, -2, 4294967294u, -2.7f, "-2.70"},
      {PARAMETER::FLOAT, "-1e30", "1e30", [](PARAMETER& p) { p.set_from_string(V, "1e20"); }, INT32_MAX, 0xFFFFFFFFu, 1e20f, "100000002004087734272.00"},
      {PARAMETER::FLOAT, "-1e30", "1e30", [](PARAMETER& p) { p.set_unsigned(V, 4294967295u); }, INT32_MAX, 0, 4294967296.0, "4294967296.00"},
      {PARAMETER::DOUBLE, "-1e308", "1e308", [](PARAMETER& p) { p.set_from_string(V, "-3.999"); }, -3, 4294967293u, -3.999, "-4.00"},
      {PARAMETER::DOUBLE, "-1e308", "1e308", [](PARAMETER& p) { p.set_double(V, -1e300); }, INT32_MIN, 0, -1e300, nullptr},
      {PARAMETER::TEXT, nullptr, nullptr, [](PARAMETER& p) { p.set_int(V, 42); }, 42, 42, 42, "42"},
      {PARAMETER::TEXT, nullptr, nullptr, [](PARAMETER& p) { p.set_from_string(V, "3.5"); }, 3, 3, 3.5, "3.5"},
      {PARAMETER::TEXT, nullptr, nullptr, [](PARAMETER& p) { p.set_unsigned(V, 4294967295u); }, -1, 4294967295u, 4294967295.0, "4294967295"},
      {PARAMETER::TEXT, nullptr, nullptr, [](PARAMETER& p) { p.set_double(V, -2.5); }, -2, 4294967294u, -2.5, "-2.50"},
      {PARAMETER::TEXT, nullptr, nullptr, [](PARAMETER& p) { p.set_from_string(V, nullptr); }, 0, 0, 0, ""},
      // Setting a small number replaces the whole address, high half too.
      {PARAMETER::POINTER, nullptr, nullptr, [](PARAMETER& p) { p.set_pointer(V, reinterpret_cast<void*>(0x123456789ABCull)); p.set_int(V, 5); }, 5, 5, 5, "0x5"},
      {PARAMETER::POINTER, nullptr, nullptr, [](PARAMETER& p) { p.set_pointer(V, reinterpret_cast<void*>(0x123456789ABCull)); }, 0x56789ABC, 0x56789ABCu, 0x123456789ABC, "0x123456789abc"},
      {kNoType, nullptr, nullptr, [](PARAMETER& p) { p.set_int(V, 5); p.set_from_string(V, "7"); }, 0, 0, 0, nullptr},
  };
  for (const CONVERSION& row : rows) {
    PARAMETER p = ranged(row.type, row.low, row.high);
    row.set(p);
    SCOPED_TRACE(::testing::Message() << "type " << row.type << " text " << (row.text ? row.text : "-"));
    EXPECT_EQ(p.get_int(V), row.as_int);
    EXPECT_EQ(p.get_unsigned(V), row.as_unsigned);
    EXPECT_DOUBLE_EQ(p.get_double(V), row.as_double);
    if (row.text) {
      EXPECT_EQ(text_of(p), row.text);
    }
  }
}

TEST(Parameter, TextFormsAreBounded) {
  PARAMETER text;
  text.set_double(V, 1e300);  // 301 digits, a point and two decimals
  std::string stored = text.get_text(V);
  EXPECT_EQ(stored.size(), 304u);
  EXPECT_EQ(stored.substr(0, 4), "1000");
  EXPECT_EQ(stored.substr(301), ".00");
  text.set_double(V, -1.7976931348623157e308);
  EXPECT_EQ(text.get_length(V), 313u);

  PARAMETER hello("hello");
  EXPECT_EQ(text_of(hello, V, 3), "he");
  EXPECT_EQ(text_of(hello, V, 1), "");
  char untouched[2] = {'x', '\0'};
  hello.to_string(V, untouched, 0);
  EXPECT_EQ(untouched[0], 'x');
  EXPECT_EQ(text_of(ranged(PARAMETER::I32, "0", "99999"), V, 1), "");
  PARAMETER number = ranged(PARAMETER::I32, "0", "99999");
  number.set_int(V, 12345);
  EXPECT_EQ(text_of(number, V, 3), "12");

  EXPECT_EQ(hello.get_length(MIN), 0u);  // the constructor leaves the bounds null
  EXPECT_EQ(hello.get_text(MIN), nullptr);
  EXPECT_EQ(hello.get_int(MIN), 0);
  EXPECT_EQ(text_of(hello, MIN), "");
  EXPECT_EQ(number.get_length(V), 0u);
  EXPECT_EQ(PARAMETER(nullptr).get_length(V), 0u);
  EXPECT_STREQ(PARAMETER(nullptr).get_text(V), "");
}

struct CLAMP {
  uint32_t type;
  const char *low, *high;
  void (*set)(PARAMETER&);
  const char* text;
};

TEST(Parameter, ClampsInTheTypesOwnSignedness) {
  const CLAMP rows[] = {
      {PARAMETER::I8, "-10", "10", [](PARAMETER& p) { p.set_int(V, 200); }, "-10"},
      {PARAMETER::I32, "5", "3", [](PARAMETER& p) { p.set_int(V, 4); }, "3"},
      {PARAMETER::I32, "5", "3", [](PARAMETER& p) { p.set_int(V, -100); }, "3"},
      {PARAMETER::U8, "10", "20", [](PARAMETER& p) { p.set_int(V, -1); }, "20"},
      {PARAMETER::U16, "10", "20", [](PARAMETER& p) { p.set_int(V, 5); }, "10"},
      {PARAMETER::I16, "-5", "5", [](PARAMETER& p) { p.set_int(V, -6); }, "-5"},
      {PARAMETER::U32, "0", "100", [](PARAMETER& p) { p.set_int(V, -5); }, "100"},
      {PARAMETER::I32, "-100", "100", [](PARAMETER& p) { p.set_unsigned(V, 4294967295u); }, "-1"},
      {PARAMETER::FLOAT, "-1", "1", [](PARAMETER& p) { p.set_double(V, 2); }, "1.00"},
      {PARAMETER::DOUBLE, "nan", "nan", [](PARAMETER& p) { p.set_double(V, 7); }, "7.00"},
      {PARAMETER::DOUBLE, "0", "nan", [](PARAMETER& p) { p.set_double(V, -7); }, "0.00"},
      // A bound that moves pulls the value along.
      {PARAMETER::I32, "0", "100", [](PARAMETER& p) { p.set_int(V, 50); p.set_int(MAX, 20); }, "20"},
      {PARAMETER::I32, "0", "100", [](PARAMETER& p) { p.set_int(V, 50); p.set_double(MIN, 60.9); }, "60"},
      {PARAMETER::TEXT, nullptr, nullptr, [](PARAMETER& p) { p.set_from_string(MAX, "1"); p.set_int(V, 5); }, "5"},
  };
  for (const CLAMP& row : rows) {
    PARAMETER p = ranged(row.type, row.low, row.high);
    row.set(p);
    EXPECT_EQ(text_of(p), row.text) << "type " << row.type << " bounds " << (row.low ? row.low : "-");
  }
}

struct STORED {
  uint8_t swap;
  void (*make)(PARAMETER&);
  std::vector<uint8_t> bytes;
};

TEST(Parameter, StoredFormsAreByteExactAndReadBack) {
  const STORED rows[] = {
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::I8, "-128", "127"); p.set_int(V, -1); }, bytes_of({0, 0xFF, 0x80, 0x7F})},
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::U8, "0", "255"); p.set_int(V, 200); }, bytes_of({1, 200, 0, 255})},
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::I16, "-32768", "32767"); p.set_int(V, -2); },
       bytes_of({2, 0xFE, 0xFF, 0x00, 0x80, 0xFF, 0x7F})},
      {1, [](PARAMETER& p) { p = ranged(PARAMETER::I16, "-32768", "32767"); p.set_int(V, -2); },
       bytes_of({2, 0xFF, 0xFE, 0x80, 0x00, 0x7F, 0xFF})},
      {1, [](PARAMETER& p) { p = ranged(PARAMETER::U16, "1", "65535"); p.set_int(V, 0x1234); },
       bytes_of({3, 0x12, 0x34, 0, 1, 0xFF, 0xFF})},
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::I32, "-2147483648", "2147483647"); p.set_int(V, 0x01020304); },
       bytes_of({4, 4, 3, 2, 1, 0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F})},
      {1, [](PARAMETER& p) { p = ranged(PARAMETER::I32, "-2147483648", "2147483647"); p.set_int(V, 0x01020304); },
       bytes_of({4, 1, 2, 3, 4, 0x80, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF})},
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::U32, "0", "4294967295"); p.set_unsigned(V, 4294967295u); },
       bytes_of({5, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})},
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::FLOAT, "-1", "1"); p.set_double(V, 0.5); },
       bytes_of({6, 0, 0, 0, 0x3F, 0, 0, 0x80, 0xBF, 0, 0, 0x80, 0x3F})},
      {1, [](PARAMETER& p) { p = ranged(PARAMETER::FLOAT, "-1", "1"); p.set_double(V, 0.5); },
       bytes_of({6, 0x3F, 0, 0, 0, 0xBF, 0x80, 0, 0, 0x3F, 0x80, 0, 0})},
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::DOUBLE, "0", "2"); p.set_double(V, 1); },
       bytes_of({7, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40})},
      {1, [](PARAMETER& p) { p = ranged(PARAMETER::DOUBLE, "0", "2"); p.set_double(V, 1); },
       bytes_of({7, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0})},
      {0, [](PARAMETER& p) { p = PARAMETER("ab"); },
       bytes_of({8, 2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0})},
      {1, [](PARAMETER& p) { p = PARAMETER("ab"); p.set_from_string(MAX, "z"); },
       bytes_of({8, 0, 0, 0, 2, 'a', 'b', 0, 0, 0, 0, 0, 0, 0, 1, 'z'})},
      // The full address, 8 bytes; it means nothing to another run.
      {0, [](PARAMETER& p) { p = ranged(PARAMETER::POINTER); p.set_pointer(V, reinterpret_cast<void*>(0x123456789ABCull)); },
       bytes_of({9, 0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {1, [](PARAMETER& p) { p = ranged(PARAMETER::POINTER); p.set_int(V, -2); },
       bytes_of({9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {0, [](PARAMETER& p) { p.set_type(kNoType); }, bytes_of({kNoType})},
      {0, [](PARAMETER& p) { p.set_type(0x10C); }, bytes_of({0xFF})},
  };
  for (const STORED& row : rows) {
    PARAMETER original;
    row.make(original);
    MEMORY_DEVICE device;
    device.swap = row.swap;
    ASSERT_TRUE(original.put_to_data_device(&device));
    EXPECT_EQ(device.bytes, row.bytes) << "type " << original.get_type() << " swap " << int(row.swap);

    // Read over a parameter that holds texts, then store again.
    PARAMETER copy("old");
    copy.set_from_string(MIN, "old minimum");
    device.position = 0;
    ASSERT_TRUE(copy.get_from_data_device(&device));
    EXPECT_EQ(device.position, row.bytes.size());
    for (auto slot : {V, MIN, MAX}) EXPECT_EQ(text_of(copy, slot), text_of(original, slot));
    EXPECT_EQ(copy.get_pointer(V), original.get_pointer(V));
    MEMORY_DEVICE again;
    again.swap = row.swap;
    ASSERT_TRUE(copy.put_to_data_device(&again));
    EXPECT_EQ(again.bytes, row.bytes);
  }
}

TEST(Parameter, ReadingClampsAndKeepsNullTexts) {
  MEMORY_DEVICE device(bytes_of({4, 50, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0}));
  PARAMETER p;
  ASSERT_TRUE(p.get_from_data_device(&device));
  EXPECT_EQ(p.get_int(V), 10);

  device.set(std::string("\x08\0\0\0\0\x01\0\0\0x\0\0\0\0", 14));
  ASSERT_TRUE(p.get_from_data_device(&device));
  EXPECT_EQ(p.get_text(V), nullptr);  // length 0 reads as null
  EXPECT_STREQ(p.get_text(MIN), "x");
  EXPECT_EQ(p.get_length(V), 0u);
  EXPECT_EQ(p.get_double(V), 0.0);
}

TEST(Parameter, ShortAndLyingStreamsFail) {
  // Every proper prefix of a good stored form fails and leaves a parameter
  // that can still be used and destroyed.
  const std::vector<uint8_t> forms[] = {
      bytes_of({2, 1, 0, 2, 0, 3, 0}),
      bytes_of({7, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40}),
      bytes_of({8, 2, 0, 0, 0, 'a', 'b', 1, 0, 0, 0, 'c', 0, 0, 0, 0}),
      bytes_of({9, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
  };
  for (const auto& form : forms) {
    for (size_t cut = 0; cut < form.size(); cut++) {
      MEMORY_DEVICE device(std::vector<uint8_t>(form.begin(), form.begin() + cut));
      PARAMETER p("before");
      EXPECT_FALSE(p.get_from_data_device(&device)) << "type " << int(form[0]) << " cut " << cut;
      EXPECT_EQ(device.error, 1);
      text_of(p);
      p.set_from_string(V, "after");
    }
  }

  // The text that was read before the failure stays; the one that failed is null.
  MEMORY_DEVICE partial(bytes_of({8, 2, 0, 0, 0, 'a', 'b', 5, 0, 0, 0, 'x', 'y'}));
  PARAMETER p;
  EXPECT_FALSE(p.get_from_data_device(&partial));
  EXPECT_STREQ(p.get_text(V), "ab");
  EXPECT_EQ(p.get_text(MIN), nullptr);
  EXPECT_EQ(p.get_text(MAX), nullptr);

  // Lengths beyond what is left, or of 2^31 and more, fail before any
  // allocation, also on a device that cannot tell its length.
  for (uint32_t length : {0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFFu, 12u}) {
    for (bool can_seek_end : {true, false}) {
      std::vector<uint8_t> bytes = bytes_of({8, int(length & 0xFF), int((length >> 8) & 0xFF),
                                             int((length >> 16) & 0xFF), int(length >> 24), 'a', 'b', 'c'});
      MEMORY_DEVICE device(bytes);
      device.can_seek_end = can_seek_end;
      PARAMETER q;
      EXPECT_FALSE(q.get_from_data_device(&device));
      EXPECT_EQ(device.error, 1);
      EXPECT_EQ(q.get_text(V), nullptr);
      EXPECT_LE(device.largest_request, 65536);
    }
  }

  // A long text arrives whole through a device that cannot tell its length.
  PARAMETER big(std::string(200000, 'q').c_str());
  MEMORY_DEVICE stored;
  ASSERT_TRUE(big.put_to_data_device(&stored));
  stored.position = 0;
  stored.can_seek_end = false;
  PARAMETER read;
  ASSERT_TRUE(read.get_from_data_device(&stored));
  EXPECT_EQ(read.get_length(V), 200000u);

  MEMORY_DEVICE full;
  full.capacity = 5;
  EXPECT_FALSE(PARAMETER("abc").put_to_data_device(&full));
  EXPECT_EQ(full.error, 1);
}

TEST(Parameter, TypeChangesFreeOnlyWhatTheOldTypeOwned) {
  // Numbers and a caller's pointer are never freed as texts.
  PARAMETER number = ranged(PARAMETER::I32, "-2147483648", "2147483647");
  number.set_int(V, 0x12345678);
  number.set_type(PARAMETER::TEXT);
  for (auto slot : {V, MIN, MAX}) EXPECT_STREQ(number.get_text(slot), "");

  char caller[] = "caller's text";
  PARAMETER alias = ranged(PARAMETER::POINTER);
  alias.set_from_string(V, caller);
  EXPECT_EQ(alias.get_pointer(V), caller);
  alias.set_type(PARAMETER::TEXT);
  EXPECT_STREQ(alias.get_text(V), "");
  EXPECT_STREQ(caller, "caller's text");

  PARAMETER text("owned");
  text.set_from_string(MAX, "bound");
  text.set_type(PARAMETER::I32);
  EXPECT_EQ(text.get_int(V), 0);
  EXPECT_EQ(text.get_text(V), nullptr);
  text.set_type(PARAMETER::TEXT);
  text.set_type(PARAMETER::TEXT);
  text.set_type(kNoType);
  EXPECT_EQ(text.get_int(V), 0);
  EXPECT_EQ(text.get_length(V), 0u);
  EXPECT_EQ(text_of(text, V, 4), "####");  // nothing to show
}

TEST(Parameter, CopiesOwnTheirTexts) {
  PARAMETER a("hello");
  a.set_from_string(MIN, "low");
  PARAMETER b(a);
  b.set_from_string(V, "world");
  EXPECT_STREQ(a.get_text(V), "hello");
  EXPECT_STREQ(b.get_text(MIN), "low");
  EXPECT_NE(b.get_text(MIN), a.get_text(MIN));

  PARAMETER c = ranged(PARAMETER::I32, "0", "9");
  c = a;
  a.set_from_string(V, "changed");
  EXPECT_STREQ(c.get_text(V), "hello");
  c = c;
  EXPECT_STREQ(c.get_text(V), "hello");
  c = ranged(PARAMETER::U8, "1", "2");
  EXPECT_EQ(c.get_int(V), 1);
}

}  // namespace
