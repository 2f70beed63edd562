// libFuzzer target: bytes as a configuration file that a set rewrites, in
// the uncached mode (which copies the file, comments and all) and in the
// cached mode (which writes its entries out again). The input up to its
// first NUL byte is the key to set and up to the second the value ("fuzz"
// and "set" where the input has no NUL for them); the rest is the file.
// Whenever set_string takes the pair, the file must read back as the same
// entries in the same order, with the value in every entry of the key (or
// in a new entry at the end), get_string must give the value in both
// modes, and the same set once more must leave the file byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config_file.h"
#include "private_root.h"
#include "text_convert.h"

namespace {

constexpr const char* kName = "fuzz.cfg";
FOLDER work;

bool set_up() {
  return fuzz_support::make_private_root("config_file", {"/work"}) &&
         work.set_absolute((fuzz_support::private_root() + "/work").c_str());
}

std::string path() { return fuzz_support::private_root() + "/work/" + kName; }

bool write_bytes(const void* data, size_t size) {
  FILE* file = fopen(path().c_str(), "wb");
  if (!file) return false;
  const bool ok = size == 0 || fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

std::string file_bytes() {
  std::string bytes;
  FILE* file = fopen(path().c_str(), "rb");
  if (!file) return bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

struct ENTRY {
  std::string key;    // as look-ups compare it: the first 79 bytes of the system text
  std::string whole;  // key and value whole, as characters
  bool operator==(const ENTRY&) const = default;
};

ENTRY entry(const std::string& key, const std::string& value) {
  std::string cut = key;
  system_text_cut(cut, 79);
  return {cut, system_text_to_utf8(key.c_str()) + '\n' + system_text_to_utf8(value.c_str())};
}

// The file's entries in file order. A key that the end of the file cut off
// counts with an empty value, which is how every rewrite writes it.
bool entries_of(std::vector<ENTRY>& out) {
  CONFIG_FILE reader;
  reader.init(kName, true);
  reader.set_absolute(work.path);
  if (!reader.load(false)) return false;
  out.assign(static_cast<size_t>(reader.entries.count), ENTRY{});
  for (int32_t i = 0; i < reader.entries.count; ++i) {
    const CONFIG_ENTRY* each = static_cast<const CONFIG_ENTRY*>(reader.entries.data[i]);
    out[each->order] = entry(each->whole_key, each->cut ? "" : each->whole_value);
  }
  return true;
}

void exercise(const std::string& key, const std::string& value, const uint8_t* file, size_t size,
              bool cached) {
  if (!write_bytes(file, size)) return;
  std::vector<ENTRY> expected;
  if (!entries_of(expected)) return;
  CONFIG_FILE config;
  config.init(kName, cached);
  config.set_absolute(work.path);
  if (!config.set_string(key.c_str(), value.c_str())) return;

  bool matched = false;
  const ENTRY set = entry(key, value);
  for (ENTRY& each : expected) {
    if (each.key != set.key) continue;
    each = set;
    matched = true;
  }
  if (!matched) expected.push_back(set);
  std::vector<ENTRY> after;
  if (!entries_of(after) || after != expected) abort();

  std::string shown = value;
  system_text_cut(shown, 255);
  for (bool cached_reader : {false, true}) {
    CONFIG_FILE reader;
    reader.init(kName, cached_reader);
    reader.set_absolute(work.path);
    char got[256];
    if (!reader.get_string(key.c_str(), got) || shown != got) abort();
  }

  const std::string written = file_bytes();
  CONFIG_FILE again;
  again.init(kName, cached);
  again.set_absolute(work.path);
  if (!again.set_string(key.c_str(), value.c_str()) || file_bytes() != written) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = set_up();
  if (!ready) abort();
  std::string texts[2] = {"fuzz", "set"};
  size_t at = 0;
  for (std::string& text : texts) {
    const void* nul = memchr(data + at, 0, size - at);
    if (!nul) break;
    const size_t end = static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
    text.assign(reinterpret_cast<const char*>(data + at), end - at);
    at = end + 1;
  }
  for (bool cached : {false, true}) exercise(texts[0], texts[1], data + at, size - at, cached);
  return 0;
}
