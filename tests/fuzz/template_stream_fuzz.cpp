// libFuzzer target: bytes as a template stream after its byte-order byte: a
// u16 version, then the store body, read from memory (once as little-, once
// as big-endian data). A body that reads must write in a form that reads
// and writes again to the same bytes. Pictures and fonts are never fetched.
#include <cstdint>
#include <vector>

#include "memory_device.h"
#include "template_stream.h"
#include "wm_ptm_app_info.h"

namespace {

std::vector<uint8_t> written(WM_PTM_APP_INFO& store) {
  test_support::MEMORY_DEVICE device;
  if (!device.write_object(store)) __builtin_trap();
  return device.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WM_PTM_APP_INFO* store = [] {
    template_fetch_resources = 0;
    return new WM_PTM_APP_INFO();
  }();
  for (uint8_t swap : {0, 1}) {
    test_support::MEMORY_DEVICE device(std::vector<uint8_t>(data, data + size));
    device.swap = swap;
    uint16_t version = 0;
    if (!device.read_u16(version) || version > TEMPLATE_STREAM_VERSION) continue;
    template_read_version = version;
    bool ok = device.read_object(*store);
    template_read_version = TEMPLATE_STREAM_VERSION;
    if (!ok) continue;
    std::vector<uint8_t> first = written(*store);
    test_support::MEMORY_DEVICE again(first);
    if (!again.read_object(*store) || written(*store) != first) __builtin_trap();
  }
  store->clear();
  return 0;
}
