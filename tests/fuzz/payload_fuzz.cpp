// libFuzzer target: any bytes as the payload behind the installer's program
// file, unpacked from memory into memory. A successful unpack must have
// produced bytes and reported percentages below 100 in rising order. Input
// of a checked form without splash record is tried a second time with
// every check made right (in the bound form each carried on from the one
// before it), so that the fuzzer also reaches what lies behind the checks;
// unpacked, it must give exactly the header's package length.
#include <algorithm>
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

// Unpacks; the unpacked bytes, or false.
bool unpack(const std::string& bytes, std::string& unpacked) {
  test_support::MEMORY_DEVICE source(bytes);
  source.swap = 1;
  test_support::MEMORY_DEVICE destination;
  CHECKING_OBSERVER observer;
  const bool ok = unpack_payload(source, 1, destination, &observer);
  if (ok && destination.bytes.empty()) abort();
  wm_image_cache().clear_all();
  unpacked = destination.text();
  return ok;
}

// The checks of a checked-form payload without splash record made right,
// walking the pieces by their stored lengths; false for any other input.
bool make_checks_right(std::string& bytes) {
  constexpr size_t kPieces = 1 + PAYLOAD_HEADER_FIELDS;
  if (bytes.size() < kPieces || bytes[0] != 0) return false;
  const auto form = static_cast<uint8_t>(bytes[5]);
  if (form != PAYLOAD_FORM_CHECKED && form != PAYLOAD_FORM_BOUND) return false;
  const bool bound = form == PAYLOAD_FORM_BOUND;
  auto* b = reinterpret_cast<uint8_t*>(bytes.data());
  // The bound form's header check starts at the splash flag.
  uint32_t chain = bound ? payload_check(b, 10, nullptr, 0) : payload_check(b + 1, 9, nullptr, 0);
  put_payload_u32(b + 10, chain);
  for (size_t at = kPieces; at + PAYLOAD_PIECE_FIELDS <= bytes.size();) {
    const size_t stored =
        std::min<size_t>(payload_u32(b + at + 1), bytes.size() - at - PAYLOAD_PIECE_FIELDS);
    const uint32_t check = payload_check(b + at, 5, b + at + PAYLOAD_PIECE_FIELDS,
                                         static_cast<uint32_t>(stored), bound ? chain : 0);
    put_payload_u32(b + at + 5, check);
    chain = check;
    at += PAYLOAD_PIECE_FIELDS + stored;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string unpacked;
  unpack(bytes, unpacked);
  if (make_checks_right(bytes) && unpack(bytes, unpacked) &&
      unpacked.size() != payload_u32(reinterpret_cast<const uint8_t*>(bytes.data()) + 6))
    abort();
  return 0;
}
