// libFuzzer target: bytes as a "database.bin" (a byte-order marker, then
// the installer's data stream). A stream that reads must write back in a
// form that reads and writes again to the same bytes; one that does not
// read must leave a cleared model. Pictures are looked up in the image
// cache only, and every folder resolves inside a private folder removed at
// exit.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "database.h"
#include "errors.h"
#include "file_services.h"
#include "image_cache.h"
#include "memory_device.h"
#include "skin_frame.h"

namespace {

std::string private_root;

void remove_private_root() {
  remove_temporary_folder();
  if (!private_root.empty()) {
    remove_folder_contents(private_root.c_str());
    rmdir(private_root.c_str());
  }
}

int silent_box(const char*, const char*) { return 2; }

bool set_up() {
  char made[] = "/tmp/vorn_database_fuzz_XXXXXX";
  if (!mkdtemp(made)) return false;
  private_root = made;
  atexit(remove_private_root);
  if (mkdir((private_root + "/home").c_str(), 0700) != 0) return false;
  set_home_folder_override((private_root + "/home").c_str());
  set_system_root_override((private_root + "/home").c_str());
  set_message_box_handler(silent_box);
  skin_load_flags = IMAGE_CACHE_FIND_ONLY;
  return true;
}

std::string write(DATABASE& data, uint8_t swap) {
  test_support::MEMORY_DEVICE device;
  device.swap = swap;
  if (!data.put_to_data_device(&device)) abort();
  return device.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = set_up();
  if (!ready) abort();
  if (size < 1) return 0;
  const uint8_t swap = data[0] != 0;
  const char* stream = reinterpret_cast<const char*>(data) + 1;
  test_support::MEMORY_DEVICE device(std::string(stream, size - 1));
  device.swap = swap;
  DATABASE model;
  if (!model.get_from_data_device(&device)) {
    if (!model.installations.empty() || !model.languages.empty() ||
        !model.installer_clients.empty() || model.default_language_name[0] != '\0')
      abort();
    return 0;
  }
  const std::string first = write(model, swap);
  DATABASE again;
  test_support::MEMORY_DEVICE stored(first);
  stored.swap = swap;
  if (!again.get_from_data_device(&stored) || write(again, swap) != first) abort();
  return 0;
}
