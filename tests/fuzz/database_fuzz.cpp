// libFuzzer target: bytes as a "database.bin" (a byte-order marker, then
// the installer's data stream). A stream that reads must write back in a
// form that reads and writes again to the same bytes; one that does not
// read must leave a cleared model.
#include <cstdint>
#include <cstdlib>

#include "database.h"
#include "stored_round_trip.h"

namespace {

bool read_database(DATABASE& model, DATA_DEVICE* device) {
  return model.get_from_data_device(device);
}
bool write_database(DATABASE& model, DATA_DEVICE* device) {
  return model.put_to_data_device(device);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = fuzz_support::set_up_stored_form_target("database");
  if (!ready) abort();
  DATABASE model;
  if (!fuzz_support::check_round_trip(data, size, model, read_database, write_database) &&
      (!model.installations.empty() || !model.languages.empty() ||
       !model.installer_clients.empty() || model.default_language_name[0] != '\0'))
    abort();
  return 0;
}
