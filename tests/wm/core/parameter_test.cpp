#include "parameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "memory_device.h"

using test_support::MEMORY_DEVICE;

namespace {

using P = PARAMETER;
constexpr auto V = P::VALUE;
constexpr auto MIN = P::MINIMUM;
constexpr auto MAX = P::MAXIMUM;
constexpr uint32_t kNoType = 12;

// A parameter of type with the given bounds, by default the type's own limits.
P ranged(uint32_t type, const char* low = nullptr, const char* high = nullptr) {
  static const char* const limits[][2] = {{"-128", "127"}, {"0", "255"}, {"-32768", "32767"}, {"0", "65535"},
                                          {"-2147483648", "2147483647"}, {"0", "4294967295"}, {"-1e30", "1e30"},
                                          {"-1e308", "1e308"}};
  P p;
  p.set_type(type);
  if (type <= P::DOUBLE) {
    p.set_from_string(MIN, low ? low : limits[type][0]);
    p.set_from_string(MAX, high ? high : limits[type][1]);
  }
  return p;
}

std::string text_of(const P& p, P::SLOT slot = V, size_t size = 512) {
  std::vector<char> buffer(size + 1, '#');  // '#' shows what to_string left alone
  buffer[size] = '\0';
  p.to_string(slot, buffer.data(), size);
  return buffer.data();
}

// "02 fffe" -> {2, 0xff, 0xfe}; quoted characters stand for themselves.
std::vector<uint8_t> hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == ' ') continue;
    if (text[i] == '\'')
      bytes.push_back(static_cast<uint8_t>(text[++i]));
    else
      bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i++, 2), nullptr, 16)));
  }
  return bytes;
}

struct CONVERSION {
  uint32_t type;
  void (*set)(P&);
  int32_t as_int;
  uint32_t as_unsigned;
  double as_double;
  const char* text;  // null: to_string leaves the buffer alone
};

TEST(Parameter, ConvertsAtTheTypeLimits) {
  const CONVERSION rows[] = {
      {P::I8, [](P& p) { p.set_int(V, -128); }, -128, 0xFFFFFF80u, -128, "-128"},
      {P::I8, [](P& p) { p.set_int(V, 200); }, -56, 0xFFFFFFC8u, -56, "-56"},
      {P::I8, [](P& p) { p.set_from_string(V, "200"); }, -56, 0xFFFFFFC8u, -56, "-56"},
      {P::U8, [](P& p) { p.set_int(V, -1); }, 255, 255, 255, "255"},
      {P::I16, [](P& p) { p.set_int(V, 40000); }, -25536, 0xFFFF9C40u, -25536, "-25536"},
      {P::U16, [](P& p) { p.set_unsigned(V, 65535); }, 65535, 65535, 65535, "65535"},
      {P::I32, [](P& p) { p.set_double(V, 3e9); }, INT32_MAX, 0x7FFFFFFFu, INT32_MAX, "2147483647"},
      {P::I32, [](P& p) { p.set_double(V, NAN); }, 0, 0, 0, "0"},
      {P::I32, [](P& p) { p.set_from_string(V, "not a number"); }, 0, 0, 0, "0"},
      {P::U32, [](P& p) { p.set_unsigned(V, 4294967295u); }, -1, 4294967295u, 4294967295.0, "4294967295"},
      {P::U32, [](P& p) { p.set_double(V, -1.0); }, -1, 4294967295u, 4294967295.0, "4294967295"},
      {P::FLOAT, [](P& p) { p.set_double(V, -2.7); }, -2, 4294967294u, -2.7f, "-2.70"},
      {P::DOUBLE, [](P& p) { p.set_from_string(V, "-3.999"); }, -3, 4294967293u, -3.999, "-4.00"},
      {P::TEXT, [](P& p) { p.set_int(V, 42); }, 42, 42, 42, "42"},
      {P::TEXT, [](P& p) { p.set_from_string(V, "3.5"); }, 3, 3, 3.5, "3.5"},
      {P::TEXT, [](P& p) { p.set_double(V, -2.5); }, -2, 4294967294u, -2.5, "-2.50"},
      // A small number replaces the whole address, high half too.
      {P::POINTER, [](P& p) { p.set_pointer(V, reinterpret_cast<void*>(0x123456789ABCull)); p.set_int(V, 5); }, 5, 5, 5, "0x5"},
      {kNoType, [](P& p) { p.set_int(V, 5); p.set_from_string(V, "7"); }, 0, 0, 0, nullptr},
  };
  for (const CONVERSION& row : rows) {
    P p = ranged(row.type);
    row.set(p);
    SCOPED_TRACE(::testing::Message() << "type " << row.type << " text " << (row.text ? row.text : "-"));
    EXPECT_EQ(p.get_int(V), row.as_int);
    EXPECT_EQ(p.get_unsigned(V), row.as_unsigned);
    EXPECT_DOUBLE_EQ(p.get_double(V), row.as_double);
    EXPECT_EQ(text_of(p, V, 20), row.text ? row.text : "####################");
  }

  P text;
  text.set_double(V, -1.7976931348623157e308);  // 309 digits, sign, point, decimals
  EXPECT_EQ(text.get_length(V), 313u);
  P hello("hello"), number = ranged(P::I32);
  number.set_int(V, 12345);
  EXPECT_EQ(text_of(hello, V, 3), "he");
  EXPECT_EQ(text_of(number, V, 3), "12");
  EXPECT_EQ(text_of(hello, V, 0), "");  // size 0 writes nothing, not even a terminator
  EXPECT_EQ(hello.get_text(MIN), nullptr);  // the constructor leaves the bounds null
  EXPECT_EQ(hello.get_length(MIN) + hello.get_int(MIN) + number.get_length(V), 0u);
  EXPECT_EQ(text_of(hello, MIN), "");
}

struct CLAMP {
  uint32_t type;
  const char *low, *high;
  void (*set)(P&);
  const char* text;
};

TEST(Parameter, ClampsInTheTypesOwnSignedness) {
  const CLAMP rows[] = {
      {P::I8, "-10", "10", [](P& p) { p.set_int(V, 200); }, "-10"},
      {P::I32, "5", "3", [](P& p) { p.set_int(V, 4); }, "3"},  // crossed bounds end at the maximum
      {P::U8, "10", "20", [](P& p) { p.set_int(V, -1); }, "20"},
      {P::I16, "-5", "5", [](P& p) { p.set_int(V, -6); }, "-5"},
      {P::U32, "0", "100", [](P& p) { p.set_int(V, -5); }, "100"},
      {P::FLOAT, "-1", "1", [](P& p) { p.set_double(V, 2); }, "1.00"},
      {P::DOUBLE, "0", "nan", [](P& p) { p.set_double(V, -7); }, "0.00"},
      {P::DOUBLE, "nan", "nan", [](P& p) { p.set_double(V, 7); }, "7.00"},
      {P::I32, "0", "100", [](P& p) { p.set_int(V, 50); p.set_double(MIN, 60.9); }, "60"},  // bounds pull too
      {P::TEXT, nullptr, nullptr, [](P& p) { p.set_from_string(MAX, "1"); p.set_int(V, 5); }, "5"},
  };
  for (const CLAMP& row : rows) {
    P p = ranged(row.type, row.low, row.high);
    row.set(p);
    EXPECT_EQ(text_of(p), row.text) << "type " << row.type << " bounds " << (row.low ? row.low : "-");
  }
}

struct STORED {
  uint8_t swap;
  void (*make)(P&);
  const char* bytes;
};

TEST(Parameter, StoredFormsAreByteExactAndReadBack) {
  const STORED rows[] = {
      {0, [](P& p) { p = ranged(P::I8); p.set_int(V, -1); }, "00 ff 80 7f"},
      {0, [](P& p) { p = ranged(P::I16); p.set_int(V, -2); }, "02 feff 0080 ff7f"},
      {1, [](P& p) { p = ranged(P::U16); p.set_int(V, 0x1234); }, "03 1234 0000 ffff"},
      {1, [](P& p) { p = ranged(P::I32); p.set_int(V, 0x01020304); }, "04 01020304 80000000 7fffffff"},
      {0, [](P& p) { p = ranged(P::U32); p.set_unsigned(V, 4294967295u); }, "05 ffffffff 00000000 ffffffff"},
      {1, [](P& p) { p = ranged(P::FLOAT, "-1", "1"); p.set_double(V, 0.5); }, "06 3f000000 bf800000 3f800000"},
      {0, [](P& p) { p = ranged(P::DOUBLE, "0", "2"); p.set_double(V, 1); },
       "07 000000000000f03f 0000000000000000 0000000000000040"},
      {0, [](P& p) { p = P("ab"); }, "08 02000000'a'b 00000000 00000000"},
      {1, [](P& p) { p = P("ab"); p.set_from_string(MAX, "z"); }, "08 00000002'a'b 00000000 00000001'z"},
      // The full address in 8 bytes; it means nothing to another run.
      {0, [](P& p) { p = ranged(P::POINTER); p.set_pointer(V, reinterpret_cast<void*>(0x123456789ABCull)); },
       "09 bc9a785634120000 0000000000000000 0000000000000000"},
      {1, [](P& p) { p = ranged(P::POINTER); p.set_int(V, -2); }, "09 fffffffffffffffe 0000000000000000 0000000000000000"},
      {0, [](P& p) { p.set_type(kNoType); }, "0c"},
      {0, [](P& p) { p.set_type(0x10C); }, "ff"},  // never read back as a real type
  };
  for (const STORED& row : rows) {
    P original;
    row.make(original);
    MEMORY_DEVICE device;
    device.swap = row.swap;
    ASSERT_TRUE(original.put_to_data_device(&device));
    EXPECT_EQ(device.bytes, hex(row.bytes)) << row.bytes;

    P copy("old");  // texts that reading must free
    copy.set_from_string(MIN, "old minimum");
    device.position = 0;
    ASSERT_TRUE(copy.get_from_data_device(&device));
    EXPECT_EQ(device.position, device.bytes.size());
    for (auto slot : {V, MIN, MAX}) EXPECT_EQ(text_of(copy, slot), text_of(original, slot)) << row.bytes;
    EXPECT_EQ(copy.get_pointer(V), original.get_pointer(V));
  }

  MEMORY_DEVICE device(hex("04 32000000 00000000 0a000000"));
  P p;
  ASSERT_TRUE(p.get_from_data_device(&device));
  EXPECT_EQ(p.get_int(V), 10);  // reading clamps
}

TEST(Parameter, ShortAndLyingStreamsFail) {
  // Every proper prefix of a good form fails and leaves a usable parameter.
  for (const char* form : {"02 0100 0200 0300", "08 02000000'a'b 01000000'c 00000000",
                           "09 0102030405060708 0000000000000000 0000000000000000"}) {
    std::vector<uint8_t> bytes = hex(form);
    for (size_t cut = 0; cut < bytes.size(); cut++) {
      MEMORY_DEVICE device(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
      P p("before");
      EXPECT_FALSE(p.get_from_data_device(&device)) << form << " cut " << cut;
      EXPECT_EQ(device.error, 1);
      p.set_from_string(V, "after");
    }
  }
  // A text read before the failure stays; the one that failed is null, and
  // so is one never reached, whatever number it held before.
  MEMORY_DEVICE partial(hex("08 02000000'a'b 05000000'x'y"));
  P p;
  p.set_type(P::I32);
  p.set_int(MAX, 12345);
  EXPECT_FALSE(p.get_from_data_device(&partial));
  EXPECT_STREQ(p.get_text(V), "ab");
  EXPECT_EQ(p.get_text(MIN), nullptr);
  EXPECT_EQ(p.get_text(MAX), nullptr);

  // Lengths beyond what is left, or of 2^31 and more, fail before a large
  // allocation, also on a device that cannot tell its length.
  for (const char* form : {"08 f0ffff7f'a'b'c", "08 00000080'a'b'c", "08 0c000000'a'b'c"}) {
    for (bool can_seek_end : {true, false}) {
      MEMORY_DEVICE device(hex(form));
      device.can_seek_end = can_seek_end;
      EXPECT_FALSE(p.get_from_data_device(&device)) << form;
      EXPECT_EQ(device.error, 1);
      EXPECT_EQ(p.get_text(V), nullptr);
      EXPECT_LE(device.largest_request, 65536);
    }
  }
  // A long text still arrives whole through such a device.
  MEMORY_DEVICE stored;
  ASSERT_TRUE(P(std::string(200000, 'q').c_str()).put_to_data_device(&stored));
  stored.position = 0;
  stored.can_seek_end = false;
  ASSERT_TRUE(p.get_from_data_device(&stored));
  EXPECT_EQ(p.get_length(V), 200000u);

  MEMORY_DEVICE full;
  full.capacity = 5;
  EXPECT_FALSE(P("abc").put_to_data_device(&full));
  EXPECT_EQ(full.error, 1);
}

TEST(Parameter, OwnsItsTextsAndNothingElse) {
  P number = ranged(P::I32);  // a number is never freed as a text
  number.set_int(V, 0x12345678);
  number.set_type(P::TEXT);
  for (auto slot : {V, MIN, MAX}) EXPECT_STREQ(number.get_text(slot), "");

  char caller[] = "caller's text";  // nor is a caller's pointer
  P alias = ranged(P::POINTER);
  alias.set_from_string(V, caller);
  EXPECT_EQ(alias.get_pointer(V), caller);
  alias.set_type(P::TEXT);
  EXPECT_STREQ(caller, "caller's text");

  P text("owned");
  text.set_from_string(MAX, "bound");
  P copy(text), assigned = ranged(P::I32);
  assigned = text;
  text.set_from_string(V, "changed");
  EXPECT_STREQ(copy.get_text(V), "owned");
  EXPECT_STREQ(assigned.get_text(MAX), "bound");
  EXPECT_NE(assigned.get_text(MAX), text.get_text(MAX));

  text.set_type(P::I32);
  EXPECT_EQ(text.get_int(V), 0);
  EXPECT_EQ(text.get_text(V), nullptr);
  text.set_type(P::TEXT);
  text.set_type(kNoType);
  EXPECT_EQ(text.get_length(V), 0u);
}

}  // namespace
