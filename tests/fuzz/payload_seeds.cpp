// Writes a few small payloads of the checked form, made by the payload
// writer itself from a small package, into the folder given on the command
// line: deflated and stored pieces, a zero-length piece, a splash record.
#include <string>

#include "file_services.h"
#include "folder.h"
#include "memory_device.h"
#include "package.h"
#include "payload.h"
#include "seed_maker.h"

namespace {

bool write_seeds(FOLDER& seeds, const std::string& folder) {
  std::string varied(300, '\0'), text;
  for (size_t i = 0; i < varied.size(); i++) varied[i] = static_cast<char>(i * 131 ^ i >> 2);
  while (text.size() < 400) text += "a line of text\n";
  bool ok = write_bytes(folder + "/varied", varied) && write_bytes(folder + "/text", text);
  {
    PACKAGE package(seeds, "installer.pkg", true, 64, false, false);
    ok = ok && package.add_file(seeds, "varied") && package.add_file(seeds, "text");
  }
  struct SEED {
    const char* name;
    bool compressed;
    int32_t empty_chunk_at;
    bool splash;
  } rows[] = {{"checked_mixed", true, -1, false},
              {"checked_stored", false, 2, false},
              {"checked_splash", true, 1, true}};
  for (const SEED& row : rows) {
    PAYLOAD_SPLASH splash;
    splash.image.create(2, 2);
    splash.title.set("Set-up");
    PAYLOAD_OPTIONS options;
    options.chunk_size = 128;
    options.compressed = row.compressed;
    options.empty_chunk_at = row.empty_chunk_at;
    options.splash = row.splash ? &splash : nullptr;
    test_support::MEMORY_DEVICE payload;
    payload.swap = 1;
    ok = ok && write_payload(payload, seeds, "installer.pkg", options) &&
         write_bytes(folder + "/" + row.name, payload.text());
  }
  for (const char* name : {"varied", "text", "installer.pkg"}) remove_file(seeds, name);
  return ok;
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
