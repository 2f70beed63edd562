#include <gtest/gtest.h>

#include <string>

#include "memory_device.h"
#include "vorn_string.h"

using test_support::MEMORY_DEVICE;

namespace {

std::string length_word(uint32_t length) {
  std::string out;
  for (int i = 0; i < 4; i++) out.push_back(static_cast<char>(length >> (8 * i)));
  return out;
}

TEST(VornStringStoredForm, LengthThenBytesWithoutTerminator) {
  MEMORY_DEVICE device;
  VORN_STRING text("hello");
  EXPECT_TRUE(text.put_to_data_device(&device));
  EXPECT_EQ(device.text(), length_word(5) + "hello");

  MEMORY_DEVICE swapped;
  swapped.swap = 1;
  EXPECT_TRUE(swapped.write_object(text));
  EXPECT_EQ(swapped.text(), std::string("\0\0\0\5hello", 9));

  MEMORY_DEVICE empty;
  VORN_STRING none;
  VORN_STRING blank("");
  EXPECT_TRUE(none.put_to_data_device(&empty));
  EXPECT_TRUE(blank.put_to_data_device(&empty));
  EXPECT_EQ(empty.text(), std::string(8, '\0'));
}

TEST(VornStringStoredForm, RoundTripsSmallAndLargeTexts) {
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); i++) big[i] = static_cast<char>('a' + i % 26);
  for (const std::string& original : {std::string("x"), std::string("Latin-1 \xe9t\xe9"), big}) {
    MEMORY_DEVICE device;
    VORN_STRING out(original.c_str());
    ASSERT_TRUE(device.write_object(out));
    device.position = 0;
    VORN_STRING in("previous text");
    device.error = 1;  // left from an earlier failure: a good read clears it
    EXPECT_TRUE(in.get_from_data_device(&device));
    EXPECT_EQ(device.error, 0);
    ASSERT_NE(in.get_text(), nullptr);
    EXPECT_EQ(std::string(in.get_text()), original);
    EXPECT_EQ(device.position, device.bytes.size());
  }
}

TEST(VornStringStoredForm, LengthZeroGivesAnEmptyText) {
  MEMORY_DEVICE device(length_word(0));
  VORN_STRING text("old");
  EXPECT_TRUE(text.get_from_data_device(&device));
  ASSERT_NE(text.get_text(), nullptr);
  EXPECT_STREQ(text.get_text(), "");

  // With grow 0 an emptied string holds no buffer at all.
  MEMORY_DEVICE again(length_word(0));
  VORN_STRING freed("old", 0);
  EXPECT_TRUE(freed.get_from_data_device(&again));
  EXPECT_EQ(freed.get_length(), 0);
  EXPECT_EQ(freed.get_capacity(), 0);
}

TEST(VornStringStoredForm, ShortOrLyingDataFailsAndLeavesItEmpty) {
  // Length 10 with three bytes behind it.
  MEMORY_DEVICE cut(length_word(10) + "abc");
  VORN_STRING text("old");
  EXPECT_FALSE(text.get_from_data_device(&cut));
  EXPECT_EQ(cut.error, 1);
  EXPECT_EQ(text.get_length(), 0);

  // A length word cut short.
  MEMORY_DEVICE no_length(std::string("\3\0", 2));
  EXPECT_FALSE(text.get_from_data_device(&no_length));
  EXPECT_EQ(no_length.error, 1);

  // 2^31 - 1 claimed, a few bytes present: no allocation of that size.
  MEMORY_DEVICE lying(length_word(0x7FFFFFFF) + "just a few bytes");
  EXPECT_FALSE(text.get_from_data_device(&lying));
  EXPECT_EQ(lying.error, 1);
  EXPECT_EQ(text.get_length(), 0);
  EXPECT_LE(text.get_capacity(), 1 << 20);
  EXPECT_LE(lying.largest_request, 1 << 20);
  EXPECT_EQ(lying.position, lying.bytes.size());  // a length it may hold: the bytes there were read

  // 2^31 and above are refused outright.
  MEMORY_DEVICE huge(length_word(0x80000000u) + "abc");
  EXPECT_FALSE(huge.read_object(text));
  EXPECT_EQ(huge.error, 1);
  EXPECT_EQ(huge.position, 4u);
}

TEST(VornStringStoredForm, ShortWritesFail) {
  VORN_STRING text("abcdef");
  MEMORY_DEVICE no_room;
  no_room.capacity = 2;
  EXPECT_FALSE(text.put_to_data_device(&no_room));
  EXPECT_EQ(no_room.error, 1);
  MEMORY_DEVICE cut_text;
  cut_text.capacity = 7;
  EXPECT_FALSE(cut_text.write_object(text));
  EXPECT_EQ(cut_text.error, 1);
}

}  // namespace
