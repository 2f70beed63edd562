#pragma once
// Key/value text files: a key line, then its value on the next line,
// indented; lines beginning with "#" and empty lines are comments. Used
// uncached (every get scans the file, every set rewrites it keeping
// comments) or cached (entries read once, sorted by key). A rewrite never
// loses the old file: it is replaced only once the new one is complete.
#include <cstdint>
#include <string>

#include "folder.h"
#include "ptrarray.h"

struct CONFIG_ENTRY {
  uint16_t order;  // position in the file, 0 for the first entry
  char key[80];    // what look-ups compare: the first 79 characters
  char value[256];  // what get_string gives: the first 255 characters
  uint8_t cut;  // the key ended the file without a value line; never found
  // The whole key and value as the file holds them (or as set), which a
  // rewrite writes back: a rewrite never shortens an entry.
  std::string whole_key;
  std::string whole_value;
};

using CONFIG_CALLBACK = void (*)(const char* key, const char* value, intptr_t user);

class CONFIG_FILE : public FOLDER {
public:
  CONFIG_FILE();
  ~CONFIG_FILE() override;

  void init(const char* file_name, bool cached);
  bool exists(const FOLDER& folder);
  bool load(const FOLDER& folder, bool report);
  // value must hold at least 256 bytes.
  bool get_string(const FOLDER& folder, const char* key, char* value);
  // The number that begins the value, decimal or (with the flag)
  // hexadecimal; false, the last error set and the output unchanged when
  // the key is absent or no number begins its value.
  bool get_int(const FOLDER& folder, const char* key, int32_t& value, bool hexadecimal = false);
  bool set_string(const FOLDER& folder, const char* key, const char* value);
  bool set_int(const FOLDER& folder, const char* key, int32_t value, bool hexadecimal = false);
  bool for_each_entry(const FOLDER& folder, CONFIG_CALLBACK callback, intptr_t user);
  bool rewrite(const FOLDER& folder);

  // The same with this object as the folder.
  bool exists() { return exists(*this); }
  bool load(bool report) { return load(*this, report); }
  bool get_string(const char* key, char* value) { return get_string(*this, key, value); }
  bool get_int(const char* key, int32_t& value, bool hexadecimal = false) {
    return get_int(*this, key, value, hexadecimal);
  }
  bool set_string(const char* key, const char* value) { return set_string(*this, key, value); }
  bool set_int(const char* key, int32_t value, bool hexadecimal = false) {
    return set_int(*this, key, value, hexadecimal);
  }

  char file_name[256];
  PTRARRAY entries;
  uint8_t cached = 0;
  uint8_t utf16 = 0;  // the loaded file was UTF-16: a rewrite keeps it so
};
