// libFuzzer target: any bytes as a stored PARAMETER. The first byte picks
// the byte order and whether the device can tell its length; the rest is
// read as the parameter, which is then shown as text, converted and stored
// again. Storing what was read, reading that and storing it once more must
// give the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "parameter.h"

namespace {

class BYTES_DEVICE : public DATA_DEVICE {
public:
  BYTES_DEVICE(const uint8_t* data, size_t size) : bytes(data, data + size) {}
  BYTES_DEVICE() = default;

  std::vector<uint8_t> bytes;
  size_t position = 0;
  bool can_seek_end = true;

  uint32_t tell() override { return static_cast<uint32_t>(position); }
  bool seek(int32_t offset, bool from_end) override {
    if (from_end && !can_seek_end) return false;
    int64_t target = from_end ? static_cast<int64_t>(bytes.size()) + offset : offset;
    if (target < 0 || target > static_cast<int64_t>(bytes.size())) return false;
    position = static_cast<size_t>(target);
    return true;
  }
  int32_t read(void* buffer, int32_t count) override {
    if (count < 1 || position >= bytes.size()) return 0;
    size_t n = std::min(static_cast<size_t>(count), bytes.size() - position);
    memcpy(buffer, bytes.data() + position, n);
    position += n;
    return static_cast<int32_t>(n);
  }
  int32_t write(const void* buffer, int32_t count) override {
    if (count < 1) return 0;
    if (bytes.size() < position + count) bytes.resize(position + count);
    memcpy(bytes.data() + position, buffer, count);
    position += count;
    return count;
  }
};

void show(const PARAMETER& parameter) {
  char small[4];
  char wide[400];
  for (auto slot : {PARAMETER::VALUE, PARAMETER::MINIMUM, PARAMETER::MAXIMUM}) {
    parameter.to_string(slot, small, sizeof small);
    parameter.to_string(slot, wide, sizeof wide);
    parameter.get_int(slot);
    parameter.get_unsigned(slot);
    parameter.get_double(slot);
    parameter.get_pointer(slot);
    parameter.get_length(slot);
  }
}

std::vector<uint8_t> stored(PARAMETER& parameter, uint8_t swap) {
  BYTES_DEVICE device;
  device.swap = swap;
  if (!parameter.put_to_data_device(&device)) abort();  // a memory device never runs short
  return device.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t swap = data[0] & 1;
  BYTES_DEVICE input(data + 1, size - 1);
  input.swap = swap;
  input.can_seek_end = (data[0] & 2) == 0;

  PARAMETER parameter("seed");
  bool read = parameter.get_from_data_device(&input);
  show(parameter);
  if (!read) return 0;

  std::vector<uint8_t> first = stored(parameter, swap);
  BYTES_DEVICE again(first.data(), first.size());
  again.swap = swap;
  PARAMETER copy(parameter);
  if (!copy.get_from_data_device(&again)) abort();
  if (stored(copy, swap) != first) abort();
  show(copy);
  copy.set_from_string(PARAMETER::VALUE, "12.5");
  copy.set_double(PARAMETER::MAXIMUM, -1e300);
  show(copy);
  return 0;
}
