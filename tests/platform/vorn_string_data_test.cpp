#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "data_device.h"
#include "vorn_string.h"

namespace {

// A device over a byte vector; writes stop at an optional capacity.
class MEMORY_DEVICE : public DATA_DEVICE {
public:
  explicit MEMORY_DEVICE(std::string bytes = {}, size_t capacity = SIZE_MAX)
      : data(std::move(bytes)), capacity(capacity) {}

  uint32_t tell() override { return static_cast<uint32_t>(position); }
  bool seek(int32_t offset, bool from_end) override {
    int64_t target = offset + (from_end ? static_cast<int64_t>(data.size()) : 0);
    if (target < 0) return false;
    position = static_cast<size_t>(target);
    return true;
  }
  int32_t read(void* buffer, int32_t count) override {
    largest_request = std::max(largest_request, count);
    if (count < 1 || position >= data.size()) return 0;
    size_t n = std::min(static_cast<size_t>(count), data.size() - position);
    memcpy(buffer, data.data() + position, n);
    position += n;
    return static_cast<int32_t>(n);
  }
  int32_t write(const void* buffer, int32_t count) override {
    if (count < 1 || position >= capacity) return 0;
    size_t n = std::min(static_cast<size_t>(count), capacity - position);
    if (data.size() < position + n) data.resize(position + n);
    memcpy(data.data() + position, buffer, n);
    position += n;
    return static_cast<int32_t>(n);
  }

  std::string data;
  size_t capacity;
  size_t position = 0;
  int32_t largest_request = 0;
};

std::string length_word(uint32_t length) {
  std::string out;
  for (int i = 0; i < 4; i++) out.push_back(static_cast<char>(length >> (8 * i)));
  return out;
}

TEST(VornStringStoredForm, LengthThenBytesWithoutTerminator) {
  MEMORY_DEVICE device;
  VORN_STRING text("hello");
  EXPECT_TRUE(text.put_to_data_device(&device));
  EXPECT_EQ(device.data, length_word(5) + "hello");

  MEMORY_DEVICE swapped;
  swapped.swap = 1;
  EXPECT_TRUE(swapped.write_object(text));
  EXPECT_EQ(swapped.data, std::string("\0\0\0\5hello", 9));

  MEMORY_DEVICE empty;
  VORN_STRING none;
  VORN_STRING blank("");
  EXPECT_TRUE(none.put_to_data_device(&empty));
  EXPECT_TRUE(blank.put_to_data_device(&empty));
  EXPECT_EQ(empty.data, std::string(8, '\0'));
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
    EXPECT_TRUE(device.read_object(in));
    EXPECT_EQ(device.error, 0);
    ASSERT_NE(in.get_text(), nullptr);
    EXPECT_EQ(std::string(in.get_text()), original);
    EXPECT_EQ(device.position, device.data.size());
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

  // 2^31 and above are refused outright.
  MEMORY_DEVICE huge(length_word(0x80000000u) + "abc");
  EXPECT_FALSE(huge.read_object(text));
  EXPECT_EQ(huge.error, 1);
  EXPECT_EQ(huge.position, 4u);
}

TEST(VornStringStoredForm, ShortWritesFail) {
  VORN_STRING text("abcdef");
  MEMORY_DEVICE no_room({}, 2);
  EXPECT_FALSE(text.put_to_data_device(&no_room));
  EXPECT_EQ(no_room.error, 1);
  MEMORY_DEVICE cut_text({}, 7);
  EXPECT_FALSE(cut_text.write_object(text));
  EXPECT_EQ(cut_text.error, 1);
}

}  // namespace
