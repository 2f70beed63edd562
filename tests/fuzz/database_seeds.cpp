// Writes seed inputs for the installer-data fuzz target into the folder
// given on the command line: "database.bin" files made by the DATABASE
// itself, one little-endian and one big-endian, holding an installation
// with a file and a shortcut, a language and an installer client.
#include <cstdio>
#include <string>

#include "database.h"
#include "memory_device.h"
#include "seed_maker.h"

namespace {

void fill(DATABASE& data) {
  snprintf(data.default_language_name, DATABASE_TEXT_SIZE, "English");
  snprintf(data.application.app_string, DATABASE_TEXT_SIZE, "App");
  data.icons[ICON_FORW].create(2, 2);
  data.installations.resize(1);
  data.installations[0].files.resize(1);
  data.installations[0].files[0].platform.set("linux:64bit");
  data.installations[0].shortcuts.resize(1);
  data.languages.resize(1);
  snprintf(data.languages[0].name, DATABASE_TEXT_SIZE, "English");
  data.languages[0].installation_strings.resize(1);
  data.installer_clients.resize(1);
  data.installer_clients[0].filename.set("setup");
}

bool write_seeds(FOLDER&, const std::string& folder) {
  DATABASE data;
  fill(data);
  bool ok = true;
  for (uint8_t swap : {0, 1}) {
    test_support::MEMORY_DEVICE device;
    device.swap = swap;
    ok = ok && data.put_to_data_device(&device) &&
         write_bytes(folder + (swap ? "/big_endian.bin" : "/database.bin"),
                     std::string(1, static_cast<char>(swap)) + device.text());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
