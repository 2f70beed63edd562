#include "data_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_device.h"

using test_support::MEMORY_DEVICE;

namespace {

// A client that writes one u32 and reads it back, reporting what it was told.
class NUMBER_CLIENT : public DATA_DEVICE_CLIENT {
public:
  bool get_from_data_device(DATA_DEVICE* device) override { return device->read_u32(value); }
  bool put_to_data_device(DATA_DEVICE* device) override { return device->write_u32(value); }
  uint32_t value = 0;
};

// A client whose result is fixed, whatever the device did.
class VERDICT_CLIENT : public DATA_DEVICE_CLIENT {
public:
  explicit VERDICT_CLIENT(bool verdict) : verdict(verdict) {}
  bool get_from_data_device(DATA_DEVICE*) override { return verdict; }
  bool put_to_data_device(DATA_DEVICE*) override { return verdict; }
  bool verdict;
};

std::vector<uint8_t> bytes_of(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

// A u32 length followed by the text's bytes, little-endian.
std::vector<uint8_t> stored_string(const std::string& text, uint32_t length) {
  std::vector<uint8_t> out = bytes_of({static_cast<int>(length & 0xFF), static_cast<int>((length >> 8) & 0xFF),
                                       static_cast<int>((length >> 16) & 0xFF), static_cast<int>(length >> 24)});
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

TEST(DataDeviceIntegers, AreLittleEndianOnTheStream) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(device.write_u8(0xAB));
  EXPECT_TRUE(device.write_u16(0x1234));
  EXPECT_TRUE(device.write_u32(0xDEADBEEF));
  EXPECT_TRUE(device.write_i32(-2));
  EXPECT_EQ(device.bytes, bytes_of({0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(device.error, 0);
  MEMORY_DEVICE wide;
  EXPECT_TRUE(wide.write_u64(0x0102030405060708ull));
  EXPECT_EQ(wide.bytes, bytes_of({8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(DataDeviceIntegers, AreBigEndianWhenSwapIsSet) {
  MEMORY_DEVICE device;
  device.swap = 1;
  device.write_u16(0x1234);
  device.write_u32(0xDEADBEEF);
  device.write_i32(-2);
  device.write_u64(0x0102030405060708ull);
  EXPECT_EQ(device.bytes, bytes_of({0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8}));
  // A u16 stored as 0x1234 without the flag reads as 0x3412 with it.
  MEMORY_DEVICE plain;
  plain.write_u16(0x1234);
  plain.position = 0;
  plain.swap = 1;
  uint16_t value = 0;
  EXPECT_TRUE(plain.read_u16(value));
  EXPECT_EQ(value, 0x3412);
}

TEST(DataDeviceIntegers, RoundTripWithAndWithoutSwap) {
  for (uint8_t swap : {0, 1}) {
    MEMORY_DEVICE device;
    device.swap = swap;
    device.write_u8(7);
    device.write_u16(0xBEEF);
    device.write_u32(0x01020304);
    device.write_i32(-123456789);
    device.write_u64(0xFEDCBA9876543210ull);
    device.position = 0;
    uint8_t a = 0; uint16_t b = 0; uint32_t c = 0; int32_t d = 0; uint64_t e = 0;  // each its own width
    EXPECT_TRUE(device.read_u8(a) && device.read_u16(b) && device.read_u32(c) && device.read_i32(d) &&
                device.read_u64(e));
    EXPECT_EQ(std::tuple(a, b, c, d, e),
              std::tuple(uint8_t{7}, uint16_t{0xBEEF}, 0x01020304u, -123456789, 0xFEDCBA9876543210ull));
  }
}

TEST(DataDeviceIntegers, ShortReadFailsAndLeavesTheValue) {
  MEMORY_DEVICE device(bytes_of({1, 2}));
  uint32_t value = 99;
  EXPECT_FALSE(device.read_u32(value));
  EXPECT_EQ(device.error, 1);
  EXPECT_EQ(value, 99u);

  MEMORY_DEVICE seven(bytes_of({1, 2, 3, 4, 5, 6, 7}));
  uint64_t wide = 99;
  EXPECT_FALSE(seven.read_u64(wide));
  EXPECT_EQ(wide, 99u);

  MEMORY_DEVICE one(bytes_of({5}));
  uint16_t half = 42;
  EXPECT_FALSE(one.read_u16(half));
  EXPECT_EQ(half, 42);
  uint8_t byte = 0;
  EXPECT_FALSE(one.read_u8(byte));  // the short u16 used the byte
}

TEST(DataDeviceIntegers, ErrorFollowsTheLastOperation) {
  MEMORY_DEVICE device(bytes_of({9}));
  uint8_t byte = 0;
  EXPECT_TRUE(device.read_u8(byte));
  EXPECT_EQ(device.error, 0);
  EXPECT_FALSE(device.read_u8(byte));
  EXPECT_EQ(device.error, 1);
  device.position = 0;
  EXPECT_TRUE(device.read_u8(byte));
  EXPECT_EQ(device.error, 0);
}

TEST(DataDeviceIntegers, ShortWriteFails) {
  MEMORY_DEVICE device;
  device.capacity = 3;
  EXPECT_FALSE(device.write_u32(1));
  EXPECT_EQ(device.error, 1);
  MEMORY_DEVICE full;
  full.capacity = 0;
  EXPECT_FALSE(full.write_u8(1));
  EXPECT_FALSE(full.write_u16(1));
  EXPECT_FALSE(full.write_i32(1));
  MEMORY_DEVICE seven;
  seven.capacity = 7;
  EXPECT_FALSE(seven.write_u64(1));
  EXPECT_EQ(seven.error, 1);
}

TEST(DataDeviceStrings, WriteLengthThenBytesWithoutTerminator) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(device.write_string("abc"));
  EXPECT_EQ(device.bytes, stored_string("abc", 3));
  MEMORY_DEVICE empty;
  EXPECT_TRUE(empty.write_string(nullptr));
  EXPECT_TRUE(empty.write_string(""));
  EXPECT_EQ(empty.bytes, bytes_of({0, 0, 0, 0, 0, 0, 0, 0}));
  MEMORY_DEVICE swapped;
  swapped.swap = 1;
  swapped.write_string("xy");
  EXPECT_EQ(swapped.bytes, bytes_of({0, 0, 0, 2, 'x', 'y'}));
  MEMORY_DEVICE short_device;  // a short write fails
  short_device.capacity = 6;
  EXPECT_FALSE(short_device.write_string("abcdef"));
  EXPECT_EQ(short_device.error, 1);
}

TEST(DataDeviceStrings, RoundTrip) {
  MEMORY_DEVICE device;
  device.write_string("hello world");
  device.write_string(nullptr);
  device.write_u8(0x5A);
  device.position = 0;
  char buffer[64];
  EXPECT_TRUE(device.read_string(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "hello world");
  EXPECT_TRUE(device.read_string(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
  uint8_t marker = 0;
  EXPECT_TRUE(device.read_u8(marker));
  EXPECT_EQ(marker, 0x5A);
}

TEST(DataDeviceStrings, ReadTextHoldsExactlyTheStoredBytes) {
  MEMORY_DEVICE device(bytes_of({'a', 0, 'b', 'c', 'd'}));
  char* text = device.read_text(3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, 4), std::string("a\0b\0", 4));
  delete[] text;
  EXPECT_EQ(device.tell(), 3u);
  EXPECT_EQ(device.read_text(3), nullptr);  // two bytes remain
  EXPECT_EQ(device.read_text(0x80000000u), nullptr);
}

TEST(DataDeviceStrings, LongStringIsCutAndTheRestSkipped) {
  // Lengths on both sides of what a four-byte buffer holds; the next field follows.
  for (const std::string text : {"01", "012", "0123", "0123456789"}) {
    std::vector<uint8_t> bytes = stored_string(text, static_cast<uint32_t>(text.size()));
    bytes.push_back(0x77);
    MEMORY_DEVICE device(bytes);
    char buffer[4];
    uint8_t next = 0;
    EXPECT_TRUE(device.read_string(buffer, sizeof buffer) && device.read_u8(next)) << text;
    EXPECT_EQ(std::pair(std::string(buffer), next), std::pair(text.substr(0, 3), uint8_t{0x77})) << text;
  }
}

TEST(DataDeviceStrings, BufferOfOneByteHoldsTheEmptyText) {
  MEMORY_DEVICE device(stored_string("abc", 3));
  char buffer[1] = {'x'};
  EXPECT_TRUE(device.read_string(buffer, 1));
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(device.tell(), 7u);
}

TEST(DataDeviceStrings, BadArgumentsAndLengthsFail) {
  MEMORY_DEVICE device(stored_string("abc", 3));
  char buffer[8] = "zz";
  EXPECT_FALSE(device.read_string(buffer, 0));
  EXPECT_EQ(device.error, 1);
  EXPECT_EQ(device.position, 0u);  // nothing was read
  EXPECT_FALSE(device.read_string(buffer, -5));
  EXPECT_FALSE(device.read_string(nullptr, 8));

  MEMORY_DEVICE huge(stored_string("abc", 0x80000000u));
  EXPECT_FALSE(huge.read_string(buffer, sizeof buffer));
  EXPECT_EQ(huge.error, 1);
  EXPECT_STREQ(buffer, "");
}

TEST(DataDeviceStrings, TruncatedStringFailsAtTheFirstShortRead) {
  // The length claims nearly 2 GiB but five bytes follow: the skip must stop
  // where the data ends, not keep reading.
  MEMORY_DEVICE device(stored_string("abcde", 0x7FFFFFFFu));
  char buffer[4];
  EXPECT_FALSE(device.read_string(buffer, sizeof buffer));
  EXPECT_EQ(device.error, 1);
  EXPECT_LT(device.reads, 10);

  MEMORY_DEVICE short_copy(stored_string("ab", 5));
  char wide[16];
  EXPECT_FALSE(short_copy.read_string(wide, sizeof wide));
  EXPECT_STREQ(wide, "");

  MEMORY_DEVICE no_length(bytes_of({3, 0}));
  EXPECT_FALSE(no_length.read_string(wide, sizeof wide));
  EXPECT_EQ(no_length.error, 1);
}

// A stream that runs to its end looking for it and then cannot say where
// that is: bytes_left says so and puts the position back.
TEST(DataDeviceObjects, BytesLeftKeepsThePosition) {
  struct RUNNING_DEVICE : MEMORY_DEVICE {
    using MEMORY_DEVICE::MEMORY_DEVICE;
    bool seek(int32_t offset, bool from_end) override {
      position = from_end ? bytes.size() : position;
      return !from_end && MEMORY_DEVICE::seek(offset, false);
    }
  } device(bytes_of({1, 2, 3, 4}));
  device.position = 1;
  EXPECT_EQ(device.bytes_left(), -1);
  EXPECT_EQ(device.tell(), 1u);
  MEMORY_DEVICE plain(bytes_of({1, 2, 3, 4}));
  plain.position = 1;
  EXPECT_EQ(plain.bytes_left(), 3);
  EXPECT_EQ(plain.tell(), 1u);
}

TEST(DataDeviceObjects, ErrorIsTheClientsVerdictInverted) {
  MEMORY_DEVICE device;
  NUMBER_CLIENT out;
  out.value = 0xCAFEF00D;
  EXPECT_TRUE(device.write_object(out));
  EXPECT_EQ(device.error, 0);
  device.position = 0;
  NUMBER_CLIENT in;
  EXPECT_TRUE(device.read_object(in));
  EXPECT_EQ(in.value, 0xCAFEF00Du);
  EXPECT_FALSE(device.read_object(in));  // nothing left
  EXPECT_EQ(device.error, 1);

  VERDICT_CLIENT yes(true), no(false);
  EXPECT_TRUE(device.write_object(yes));
  EXPECT_EQ(device.error, 0);
  EXPECT_FALSE(device.write_object(no));
  EXPECT_EQ(device.error, 1);
  EXPECT_TRUE(device.read_object(yes));
  EXPECT_EQ(device.error, 0);
}

}  // namespace
