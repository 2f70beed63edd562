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

#include "memory_device.h"
#include "parameter.h"

namespace {

using test_support::MEMORY_DEVICE;

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
  MEMORY_DEVICE device;
  device.swap = swap;
  if (!parameter.put_to_data_device(&device)) abort();  // a memory device never runs short
  return device.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t swap = data[0] & 1;
  MEMORY_DEVICE input(std::vector<uint8_t>(data + 1, data + size));
  input.swap = swap;
  input.can_seek_end = (data[0] & 2) == 0;

  PARAMETER parameter("seed");
  bool read = parameter.get_from_data_device(&input);
  show(parameter);
  if (!read) return 0;

  std::vector<uint8_t> first = stored(parameter, swap);
  MEMORY_DEVICE again(first);
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
