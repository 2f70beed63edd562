// libFuzzer target: any bytes as the payload behind the installer's program
// file, unpacked from memory into memory. A successful unpack must have
// produced bytes and reported percentages below 100 in rising order.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "image_cache.h"
#include "memory_device.h"
#include "payload.h"
#include "wm_style_set.h"

namespace {

struct CHECKING_OBSERVER : PAYLOAD_OBSERVER {
  void progress(int32_t percent) override {
    if (percent < last || percent >= 100) abort();
    last = percent;
  }
  int32_t last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  test_support::MEMORY_DEVICE source(std::string(reinterpret_cast<const char*>(data), size));
  source.swap = 1;
  test_support::MEMORY_DEVICE destination;
  CHECKING_OBSERVER observer;
  const bool ok = unpack_payload(source, 1, destination, &observer);
  if (ok && destination.bytes.empty()) abort();
  wm_image_cache().clear_all();
  return 0;
}
