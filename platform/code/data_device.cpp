#include "data_device.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kLongestString = 0x7FFFFFFF;  // lengths of 2^31 and up are refused

// Integers are least significant byte first on the stream, most significant
// first when the device's swap flag says the data is big-endian.
uint64_t decode(const uint8_t* bytes, int count, bool swap) {
  uint64_t value = 0;
  for (int i = 0; i < count; i++) {
    int from = swap ? i : count - 1 - i;
    value = (value << 8) | bytes[from];
  }
  return value;
}

void encode(uint8_t* bytes, uint64_t value, int count, bool swap) {
  for (int i = 0; i < count; i++) {
    int to = swap ? count - 1 - i : i;
    bytes[to] = static_cast<uint8_t>(value >> (8 * i));
  }
}

}  // namespace

bool DATA_DEVICE::read_u8(uint8_t& value) {
  uint8_t byte = 0;
  error = read(&byte, 1) != 1;
  if (!error) value = byte;
  return !error;
}

bool DATA_DEVICE::read_u16(uint16_t& value) {
  uint8_t bytes[2];
  error = read(bytes, 2) != 2;
  if (!error) value = static_cast<uint16_t>(decode(bytes, 2, swap != 0));
  return !error;
}

bool DATA_DEVICE::read_u32(uint32_t& value) {
  uint8_t bytes[4];
  error = read(bytes, 4) != 4;
  if (!error) value = static_cast<uint32_t>(decode(bytes, 4, swap != 0));
  return !error;
}

bool DATA_DEVICE::read_u64(uint64_t& value) {
  uint8_t bytes[8];
  error = read(bytes, 8) != 8;
  if (!error) value = decode(bytes, 8, swap != 0);
  return !error;
}

bool DATA_DEVICE::read_i32(int32_t& value) {
  uint32_t bits = 0;
  if (!read_u32(bits)) return false;
  value = static_cast<int32_t>(bits);
  return true;
}

bool DATA_DEVICE::write_u8(uint8_t value) {
  error = write(&value, 1) != 1;
  return !error;
}

bool DATA_DEVICE::write_u16(uint16_t value) {
  uint8_t bytes[2];
  encode(bytes, value, 2, swap != 0);
  error = write(bytes, 2) != 2;
  return !error;
}

bool DATA_DEVICE::write_u32(uint32_t value) {
  uint8_t bytes[4];
  encode(bytes, value, 4, swap != 0);
  error = write(bytes, 4) != 4;
  return !error;
}

bool DATA_DEVICE::write_u64(uint64_t value) {
  uint8_t bytes[8];
  encode(bytes, value, 8, swap != 0);
  error = write(bytes, 8) != 8;
  return !error;
}

bool DATA_DEVICE::write_i32(int32_t value) { return write_u32(static_cast<uint32_t>(value)); }

bool DATA_DEVICE::write_string(const char* text) {
  size_t length = text ? strlen(text) : 0;
  // A length the reader would refuse is never written.
  if (length > kLongestString) {
    error = 1;
    return false;
  }
  if (!write_u32(static_cast<uint32_t>(length))) return false;
  if (length == 0) return true;
  error = write(text, static_cast<int32_t>(length)) != static_cast<int32_t>(length);
  return !error;
}

char* DATA_DEVICE::read_text(uint32_t length) {
  int64_t left = bytes_left();
  if (length > kLongestString || (left >= 0 && length > left)) return nullptr;
  char* text = nullptr;
  uint32_t have = 0;
  while (have < length) {
    uint32_t target = left >= 0 ? length : std::min(length, std::max(have * 2, uint32_t{65536}));
    char* grown = new (std::nothrow) char[target + 1];
    if (grown && have) memcpy(grown, text, have);
    delete[] text;
    text = grown;
    int32_t wanted = static_cast<int32_t>(target - have);
    if (!text || read(text + have, wanted) != wanted) {
      delete[] text;
      return nullptr;
    }
    have = target;
  }
  if (!text) text = new (std::nothrow) char[1];
  if (text) text[length] = '\0';
  return text;
}

bool DATA_DEVICE::read_string(char* buffer, int32_t size) {
  if (!buffer || size < 1) {
    error = 1;
    return false;
  }
  buffer[0] = '\0';
  uint32_t length = 0;
  if (!read_u32(length)) return false;
  if (length > kLongestString) {
    error = 1;
    return false;
  }
  int32_t total = static_cast<int32_t>(length);
  int32_t kept = total < size - 1 ? total : size - 1;
  if (kept > 0) {
    error = read(buffer, kept) != kept;
    if (error) {
      buffer[0] = '\0';
      return false;
    }
  }
  buffer[kept] = '\0';

  // The part that does not fit is read and dropped; a stream that ends
  // inside it fails at once.
  char scratch[256];
  for (int32_t left = total - kept; left > 0;) {
    int32_t n = left < static_cast<int32_t>(sizeof scratch) ? left : static_cast<int32_t>(sizeof scratch);
    if (read(scratch, n) != n) {
      error = 1;
      return false;
    }
    left -= n;
  }
  error = 0;
  return true;
}

bool DATA_DEVICE::read_object(DATA_DEVICE_CLIENT& client) {
  bool ok = client.get_from_data_device(this);
  error = !ok;
  return ok;
}

bool DATA_DEVICE::write_object(DATA_DEVICE_CLIENT& client) {
  bool ok = client.put_to_data_device(this);
  error = !ok;
  return ok;
}

int64_t DATA_DEVICE::bytes_left() {
  uint32_t here = tell();
  if (here > static_cast<uint32_t>(INT32_MAX)) return -1;
  if (!seek(0, true)) {
    seek(static_cast<int32_t>(here), false);
    return -1;
  }
  uint32_t end = tell();
  if (!seek(static_cast<int32_t>(here), false)) return -1;
  return end >= here ? static_cast<int64_t>(end - here) : 0;
}
