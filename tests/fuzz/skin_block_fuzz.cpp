// libFuzzer target: bytes as a packed skin block from an untrusted payload
// (a first byte choosing the byte order, then the block). No crash, hang or
// allocation beyond the input; a block that reads must write back in a form
// that reads and writes again to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "database.h"
#include "skin_loader.h"
#include "stored_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = fuzz_support::set_up_stored_form_target("skin_block");
  if (!ready) abort();
  DATABASE model;
  fuzz_support::check_round_trip(data, size, model, read_skin, write_skin);
  return 0;
}
