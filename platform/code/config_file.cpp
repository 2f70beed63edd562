#include "config_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "failure_report.h"
#include "file_services.h"
#include "text_convert.h"
#include "text_file.h"

namespace {

constexpr size_t kKeyMax = sizeof(CONFIG_ENTRY::key) - 1;      // 79
constexpr size_t kValueMax = sizeof(CONFIG_ENTRY::value) - 1;  // 255
constexpr int16_t kReadChunk = 1024;

constexpr uint16_t kNotFound = 256;
constexpr uint16_t kEndTooEarly = 257;
constexpr uint16_t kBadKey = 4097;
constexpr uint16_t kCannotOpen = 4098;
constexpr uint16_t kNoCallback = 4099;
constexpr uint16_t kNoMemory = 4100;

void fail(uint16_t code, const char* argument, int line) {
  report_failure("code/config_file", line, code, argument);
}

void succeed() { report_success(); }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

size_t skip_blanks(const std::string& line) {
  size_t i = 0;
  while (i < line.size() && is_blank(line[i])) ++i;
  return i;
}

// Whether a key or value that is set reads back as it was set. Written
// character by character, it must hold no line end (a run may spell one
// too) and no NUL, begin with no blank (the reader skips them; a key
// beginning with '#' would make its line a comment), and be in the system
// form the reader makes, runs only where they are needed.
bool reads_back(const char* text, bool key) {
  SYSTEM_TEXT_READER reader(text);
  std::string again;
  bool run_open = false;
  char bytes[SYSTEM_CHAR_MAX_BYTES];
  for (uint32_t c; reader.next_code_point(c);) {
    if (c == 0 || c == '\n' || c == '\r') return false;
    if (again.empty() && (c == ' ' || c == '\t' || (key && c == '#'))) return false;
    again.append(bytes, system_char_encode(c, run_open, bytes));
  }
  if (run_open) again += '\x01';
  return again == text;
}

bool key_can_be_stored(const char* key) {
  return key && *key && strlen(key) <= kKeyMax && reads_back(key, true);
}

// One whole line, however long; false at the end of the file with nothing
// read. ended tells whether a line end (not the end of the file) closed it.
bool read_whole_line(TEXT_FILE& in, std::string& line, bool& ended) {
  char chunk[kReadChunk];
  line.clear();
  bool any = false;
  while (in.read_line(chunk)) {
    any = true;
    line += chunk;
    if (in.line_state != TEXT_FILE::LINE_CUT) break;
  }
  ended = any && in.line_state == TEXT_FILE::LINE_ENDED;
  return any;
}

enum class READ { ENTRY, END, TRUNCATED };

struct ENTRY_TEXT {
  std::string key;
  std::string value;
};

// Reads the next entry. Comment lines, empty lines and lines of nothing but
// blanks in front of it are copied to copy_to when one is given.
READ read_entry(TEXT_FILE& in, ENTRY_TEXT& entry, TEXT_FILE* copy_to, bool& copy_ok) {
  std::string line;
  bool ended = false;
  for (;;) {
    if (!read_whole_line(in, line, ended)) return READ::END;
    size_t start = skip_blanks(line);
    if (start < line.size() && line[0] != '#') {
      entry.key.assign(line, start, std::string::npos);
      break;
    }
    if (copy_to)
      copy_ok = copy_ok && copy_to->write_string(line.c_str()) && copy_to->write_string("\n");
  }
  entry.value.clear();
  if (!read_whole_line(in, line, ended)) return READ::TRUNCATED;
  size_t start = skip_blanks(line);
  if (start == line.size() && !ended) return READ::TRUNCATED;
  entry.value.assign(line, start, std::string::npos);
  return READ::ENTRY;
}

// The key as both modes see it: a key line holds at most kKeyMax
// characters, the rest of the line is not part of it.
std::string key_of(const ENTRY_TEXT& entry) {
  std::string key = entry.key;
  system_text_cut(key, kKeyMax);
  return key;
}

// A key read from an indented line may begin with '#': it keeps an indent,
// without which its line would be read as a comment.
bool write_entry(TEXT_FILE& out, const char* key, const char* value) {
  return (key[0] != '#' || out.write_string("\t")) && out.write_string(key) && out.write_string("\n\t") &&
         out.write_string(value) && out.write_string("\n");
}

void copy_cut(char* field, size_t field_size, std::string text) {
  system_text_cut(text, field_size - 1);
  memcpy(field, text.c_str(), text.size() + 1);
}

int compare_keys(const void* a, const void* b, intptr_t) {
  const CONFIG_ENTRY* x = static_cast<const CONFIG_ENTRY*>(a);
  const CONFIG_ENTRY* y = static_cast<const CONFIG_ENTRY*>(b);
  int result = strcmp(x->key, y->key);
  return result ? result : static_cast<int>(x->order) - static_cast<int>(y->order);
}

int compare_orders(const void* a, const void* b, intptr_t) {
  return static_cast<int>(static_cast<const CONFIG_ENTRY*>(a)->order) -
         static_cast<int>(static_cast<const CONFIG_ENTRY*>(b)->order);
}

int compare_key_text(const void* key, const void* element, intptr_t) {
  return strcmp(static_cast<const char*>(key), static_cast<const CONFIG_ENTRY*>(element)->key);
}

void delete_entry(void* element, intptr_t) { delete static_cast<CONFIG_ENTRY*>(element); }

// Whether something is at the file's name (a file that cannot be read is
// never taken for a missing one).
bool is_there(FILE_KIND kind) {
  return kind == FILE_KIND::REGULAR || kind == FILE_KIND::DIRECTORY || kind == FILE_KIND::OTHER;
}

// Writes the new content through write_to; a file written anew replaces
// the old one only when it is complete, and keeps its permission bits.
template <typename WRITE>
bool replace_whole(const FOLDER& folder, const char* file_name, bool utf16, WRITE write_to) {
  TEXT_FILE out;
  if (!out.open(folder, file_name, 1, utf16)) return false;
  if (!write_to(out)) {
    out.discard();
    return false;
  }
  return out.close();
}

}  // namespace

CONFIG_FILE::CONFIG_FILE() { init(nullptr, false); }

CONFIG_FILE::~CONFIG_FILE() { entries.remove_all(); }

void CONFIG_FILE::init(const char* name, bool cache) {
  if (!name) name = "settings";
  // A name that does not fit is refused (every operation then fails to
  // open the file) rather than cut to a name that means another file.
  if (strlen(name) < sizeof file_name)
    memcpy(file_name, name, strlen(name) + 1);
  else
    file_name[0] = 0;
  cached = cache ? 1 : 0;
  entries.delete_callback = delete_entry;
  entries.clear();
}

bool CONFIG_FILE::exists(const FOLDER& folder) {
  if (!file_name[0]) return false;
  FILE* file = open_file(folder, file_name, "r");
  if (!file) return false;
  fclose(file);
  return true;
}

bool CONFIG_FILE::load(const FOLDER& folder, bool report) {
  entries.clear();
  utf16 = 0;
  TEXT_FILE in;
  in.line_size = kReadChunk;
  if (!in.open(folder, file_name, 0, false)) {
    // Only a file that is not there counts as empty; one that is there but
    // cannot be read must not be replaced by a rewrite from an empty cache.
    bool present = is_there(get_file_kind(folder, file_name));
    if (!report && !present) return true;
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  ENTRY_TEXT text;
  bool unused = true;
  READ result;
  uint16_t order = 0;
  // A key cut off by the end of the file is kept (marked) so that a rewrite
  // does not drop it; it is never found as an entry.
  while ((result = read_entry(in, text, nullptr, unused)) != READ::END) {
    CONFIG_ENTRY* entry = new (std::nothrow) CONFIG_ENTRY;
    if (!entry || !entries.add(entry)) {
      delete entry;
      entries.clear();
      fail(kNoMemory, nullptr, __LINE__);
      return false;
    }
    entry->order = order++;
    entry->cut = result == READ::TRUNCATED ? 1 : 0;
    copy_cut(entry->key, sizeof entry->key, text.key);
    copy_cut(entry->value, sizeof entry->value, text.value);
    entry->whole_key = text.key;
    entry->whole_value = text.value;
    if (entry->cut) break;
  }
  utf16 = in.utf16 ? 1 : 0;
  // A cache cut short by a read error would drop the rest of the file at
  // the next rewrite.
  if (in.read_failed()) {
    in.close();
    entries.clear();
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  in.close();
  entries.sort(compare_keys, 0);
  if (result == READ::TRUNCATED) fail(kEndTooEarly, nullptr, __LINE__);
  return true;
}

// The first entry (in file order) with the key, or -1.
static int32_t find_entry(const PTRARRAY& entries, const char* key) {
  int32_t index = entries.search(key, compare_key_text, 0);
  while (index > 0 && compare_key_text(key, entries.data[index - 1], 0) == 0) --index;
  return index;
}

bool CONFIG_FILE::get_string(const FOLDER& folder, const char* key, char* value) {
  if (!key || !*key || !value) {
    fail(kBadKey, nullptr, __LINE__);
    return false;
  }
  succeed();
  if (cached) {
    if (entries.count == 0 && !load(folder, true)) return false;
    int32_t index = find_entry(entries, key);
    if (index < 0) {
      fail(kNotFound, key, __LINE__);
      return false;
    }
    if (static_cast<CONFIG_ENTRY*>(entries.data[index])->cut) {
      fail(kEndTooEarly, nullptr, __LINE__);
      return false;
    }
    strcpy(value, static_cast<CONFIG_ENTRY*>(entries.data[index])->value);
    succeed();
    return true;
  }

  TEXT_FILE in;
  in.line_size = kReadChunk;
  if (!in.open(folder, file_name, 0, false)) {
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  ENTRY_TEXT text;
  bool unused = true;
  READ result;
  while ((result = read_entry(in, text, nullptr, unused)) == READ::ENTRY) {
    if (key_of(text) == key) {
      copy_cut(value, kValueMax + 1, text.value);
      return true;
    }
  }
  if (result == READ::TRUNCATED)
    fail(kEndTooEarly, nullptr, __LINE__);
  else
    fail(kNotFound, key, __LINE__);
  return false;
}

bool CONFIG_FILE::get_int(const FOLDER& folder, const char* key, int32_t& value, bool hexadecimal) {
  char text[kValueMax + 1];
  if (!get_string(folder, key, text)) return false;
  // Read as a scanf conversion reads it: blanks, a sign and the digits that
  // begin the value ("12abc" is 12); hexadecimal may carry "0x".
  char* end = nullptr;
  long long number = strtoll(text, &end, hexadecimal ? 16 : 10);
  if (end == text) {
    fail(kNotFound, key, __LINE__);
    return false;
  }
  if (hexadecimal) {
    // Hexadecimal values are 32-bit patterns ("FF000000" is a colour).
    if (number < INT32_MIN) number = INT32_MIN;
    if (number > 0xFFFFFFFFLL) number = 0xFFFFFFFFLL;
    value = number < 0 ? static_cast<int32_t>(number)
                       : static_cast<int32_t>(static_cast<uint32_t>(number));
  } else {
    if (number < INT32_MIN) number = INT32_MIN;
    if (number > INT32_MAX) number = INT32_MAX;
    value = static_cast<int32_t>(number);
  }
  return true;
}

bool CONFIG_FILE::set_int(const FOLDER& folder, const char* key, int32_t value, bool hexadecimal) {
  char text[16];
  if (hexadecimal)
    snprintf(text, sizeof text, "%X", static_cast<uint32_t>(value));
  else
    snprintf(text, sizeof text, "%d", value);
  return set_string(folder, key, text);
}

bool CONFIG_FILE::set_string(const FOLDER& folder, const char* key, const char* value) {
  if (!value) value = "";
  if (!key_can_be_stored(key) || !reads_back(value, false)) {
    fail(kBadKey, nullptr, __LINE__);
    return false;
  }
  succeed();

  if (cached) {
    if (entries.count == 0 && !load(folder, false)) return false;
    // Every entry of the key gets the value, as in the uncached mode.
    struct KEPT {
      CONFIG_ENTRY* entry;
      CONFIG_ENTRY before;
    };
    std::vector<KEPT> changed;
    for (int32_t i = find_entry(entries, key); i >= 0 && i < entries.count; ++i) {
      CONFIG_ENTRY* entry = static_cast<CONFIG_ENTRY*>(entries.data[i]);
      if (strcmp(entry->key, key) != 0) break;
      changed.push_back({entry, *entry});
      copy_cut(entry->value, sizeof entry->value, value);
      entry->whole_value = value;
      entry->cut = 0;
    }
    CONFIG_ENTRY* added = nullptr;
    if (changed.empty()) {
      added = new (std::nothrow) CONFIG_ENTRY;
      if (!added || !entries.add(added)) {
        delete added;
        fail(kNoMemory, nullptr, __LINE__);
        return false;
      }
      added->order = static_cast<uint16_t>(entries.count - 1);
      added->cut = 0;
      copy_cut(added->key, sizeof added->key, key);
      copy_cut(added->value, sizeof added->value, value);
      added->whole_key = key;
      added->whole_value = value;
      entries.sort(compare_keys, 0);
    }
    if (rewrite(folder)) return true;
    // The file kept its old entries; so does the cache.
    for (KEPT& k : changed) *k.entry = k.before;
    for (int32_t i = 0; added && i < entries.count; ++i)
      if (entries.data[i] == added) entries.remove_at(i);
    return false;
  }

  // Uncached: the file is copied to its replacement with the entry
  // changed; whatever fails, the old file stays as it was.
  FILE_KIND kind = get_file_kind(folder, file_name);
  if (!file_name[0] || (is_there(kind) && kind != FILE_KIND::REGULAR)) {
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  TEXT_FILE in;
  in.line_size = kReadChunk;
  bool have_old = in.open(folder, file_name, 0, false);
  // A file that is there but cannot be read is never replaced.
  if (!have_old && kind != FILE_KIND::MISSING) {
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  bool ok = replace_whole(folder, file_name, have_old && in.utf16, [&](TEXT_FILE& out) {
    bool written = true;
    bool matched = false;
    if (have_old) {
      ENTRY_TEXT text;
      READ result;
      // A key that the end of the file cut off is written back with an
      // empty value: the entry behind it would otherwise become its value.
      while ((result = read_entry(in, text, &out, written)) != READ::END) {
        if (key_of(text) == key) {
          text.value = value;
          matched = true;
        }
        written = written && write_entry(out, text.key.c_str(), text.value.c_str());
        if (result == READ::TRUNCATED) break;
      }
    }
    if (!matched) written = written && write_entry(out, key, value);
    // A read error looks like the end of the file: what follows it would
    // be lost, so nothing is replaced.
    return written && !(have_old && in.read_failed());
  });
  if (have_old) in.close();
  if (!ok) {
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  succeed();
  return true;
}

bool CONFIG_FILE::for_each_entry(const FOLDER& folder, CONFIG_CALLBACK callback, intptr_t user) {
  if (!callback) {
    fail(kNoCallback, nullptr, __LINE__);
    return false;
  }
  succeed();
  if (cached) {
    if (entries.count == 0 && !load(folder, true)) return false;
    bool cut = false;
    for (int32_t i = 0; i < entries.count; ++i) {
      const CONFIG_ENTRY* entry = static_cast<const CONFIG_ENTRY*>(entries.data[i]);
      if (entry->cut) cut = true;
      else callback(entry->key, entry->value, user);
    }
    // A key that the end of the file cut off fails the walk as it does in
    // the uncached mode.
    if (cut) {
      fail(kEndTooEarly, nullptr, __LINE__);
      return false;
    }
    succeed();
    return true;
  }

  TEXT_FILE in;
  in.line_size = kReadChunk;
  if (!in.open(folder, file_name, 0, false)) {
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  ENTRY_TEXT text;
  bool unused = true;
  READ result;
  char value[kValueMax + 1];
  while ((result = read_entry(in, text, nullptr, unused)) == READ::ENTRY) {
    copy_cut(value, sizeof value, text.value);
    callback(key_of(text).c_str(), value, user);
  }
  if (result == READ::TRUNCATED) {
    fail(kEndTooEarly, nullptr, __LINE__);
    return false;
  }
  return true;
}

// The entries are written in file order; only a complete, closed copy
// replaces the file.
bool CONFIG_FILE::rewrite(const FOLDER& folder) {
  entries.sort(compare_orders, 0);
  auto write_entries = [this](TEXT_FILE& out) {
    bool written = true;
    for (int32_t i = 0; written && i < entries.count; ++i) {
      const CONFIG_ENTRY* entry = static_cast<const CONFIG_ENTRY*>(entries.data[i]);
      written = write_entry(out, entry->whole_key.c_str(), entry->whole_value.c_str());
    }
    return written;
  };
  bool ok = file_name[0] && replace_whole(folder, file_name, utf16 != 0, write_entries);
  entries.sort(compare_keys, 0);
  if (!ok) {
    fail(kCannotOpen, file_name, __LINE__);
    return false;
  }
  // A cut key now stands in the file with its empty value.
  for (int32_t i = 0; i < entries.count; ++i) static_cast<CONFIG_ENTRY*>(entries.data[i])->cut = 0;
  succeed();
  return true;
}
