#pragma once
// A DATA_DEVICE over bytes in memory, for tests that look at an object's
// stored form byte for byte or hand it made-up (or hostile) bytes. It can
// stand in for a full disk (a capacity) and for a stream that cannot tell
// its length (no seeking from the end), and it counts what it was asked for.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "data_device.h"

namespace test_support {

class MEMORY_DEVICE : public DATA_DEVICE {
public:
  MEMORY_DEVICE() = default;
  explicit MEMORY_DEVICE(const std::string& initial) : bytes(initial.begin(), initial.end()) {}
  explicit MEMORY_DEVICE(std::vector<uint8_t> initial) : bytes(std::move(initial)) {}

  std::vector<uint8_t> bytes;
  size_t position = 0;
  size_t capacity = SIZE_MAX;  // writes stop at this offset: a short write
  bool can_seek_end = true;    // false: the length cannot be told, as on a gzip stream

  // What the reader asked for: read calls, bytes handed out, the largest
  // single request.
  int reads = 0;
  size_t bytes_read = 0;
  int32_t largest_request = 0;

  std::string text() const { return std::string(bytes.begin(), bytes.end()); }
  // New contents, to be read from the start.
  void set(const std::string& data) {
    bytes.assign(data.begin(), data.end());
    position = 0;
  }

  uint32_t tell() override { return static_cast<uint32_t>(position); }
  bool seek(int32_t offset, bool from_end) override {
    if (from_end && !can_seek_end) return false;
    int64_t target = from_end ? static_cast<int64_t>(bytes.size()) + offset : offset;
    if (target < 0 || target > static_cast<int64_t>(bytes.size())) return false;
    position = static_cast<size_t>(target);
    return true;
  }
  int32_t read(void* buffer, int32_t count) override {
    reads++;
    largest_request = std::max(largest_request, count);
    if (count < 1 || position >= bytes.size()) return 0;
    size_t n = std::min(static_cast<size_t>(count), bytes.size() - position);
    memcpy(buffer, bytes.data() + position, n);
    position += n;
    bytes_read += n;
    return static_cast<int32_t>(n);
  }
  int32_t write(const void* buffer, int32_t count) override {
    if (count < 1 || position >= capacity) return 0;
    size_t n = std::min(static_cast<size_t>(count), capacity - position);
    if (bytes.size() < position + n) bytes.resize(position + n);
    memcpy(bytes.data() + position, buffer, n);
    position += n;
    return static_cast<int32_t>(n);
  }
};

}  // namespace test_support
