#include "vorn_string.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clipboard.h"
#include "string_utils.h"

namespace {

bool equal_no_case(const char* a, const char* b, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool is_plain_space(unsigned char c) { return c < 128 && isspace(c); }

bool points_into(const void* p, const char* buffer, int32_t size) {
  uintptr_t address = reinterpret_cast<uintptr_t>(p);
  uintptr_t base = reinterpret_cast<uintptr_t>(buffer);
  return buffer && address >= base && address < base + static_cast<uintptr_t>(size);
}

}  // namespace

VORN_STRING::VORN_STRING(const char* value, int32_t grow_step) : grow(grow_step < 0 ? DEFAULT_GROW : grow_step) {
  if (value) set(value);
}

VORN_STRING::VORN_STRING(const VORN_STRING& source, int32_t start, int32_t end) {
  if (!enlarge(1)) return;
  int32_t length = source.get_length();
  if (end == -1) end = length - 1;
  if (start < 0 || start >= length || end < start || end >= length) return;
  int32_t count = end - start + 1;
  if (!enlarge(static_cast<int64_t>(count) + 1)) return;
  memcpy(text, source.text + start, static_cast<size_t>(count));
  text[count] = '\0';
}

VORN_STRING::VORN_STRING(const VORN_STRING& other) : DATA_DEVICE_CLIENT(other), grow(other.grow) {
  if (other.text) set(other.text);
}

VORN_STRING& VORN_STRING::operator=(const VORN_STRING& other) {
  if (this != &other) set(other.text);
  return *this;
}

VORN_STRING::~VORN_STRING() { clear(); }

int32_t VORN_STRING::get_length() const {
  return text ? static_cast<int32_t>(strlen(text)) : 0;
}

bool VORN_STRING::enlarge(int64_t needed) {
  if (needed < grow) needed = grow;
  if (capacity >= needed) return true;
  if (needed > INT32_MAX) return false;
  char* fresh = static_cast<char*>(realloc(text, static_cast<size_t>(needed)));
  if (!fresh) return false;
  if (!text) fresh[0] = '\0';
  text = fresh;
  capacity = static_cast<int32_t>(needed);
  return true;
}

void VORN_STRING::empty_out() {
  if (grow == 0)
    clear();
  else if (text)
    text[0] = '\0';
}

bool VORN_STRING::reserve(int32_t n) { return enlarge(n); }

bool VORN_STRING::set(const char* value) {
  if (!value) {
    empty_out();
    return true;
  }
  // A value inside our own buffer fits it, so enlarge() does not move it.
  size_t length = strlen(value);
  if (!enlarge(static_cast<int64_t>(length) + 1)) {
    empty_out();
    return false;
  }
  memmove(text, value, length + 1);
  return true;
}

bool VORN_STRING::set_int(int32_t value) {
  if (!enlarge(15)) return false;
  snprintf(text, static_cast<size_t>(capacity), "%d", value);
  return true;
}

bool VORN_STRING::set_short(int16_t value) {
  if (!enlarge(15)) return false;
  snprintf(text, static_cast<size_t>(capacity), "%hd", value);
  return true;
}

void VORN_STRING::clear() {
  free(text);
  text = nullptr;
  capacity = 0;
}

bool VORN_STRING::append(const char* value) {
  if (!value) return true;
  if (!text) return set(value);
  size_t own = strlen(text);
  size_t added = strlen(value);
  // The value may lie in our own buffer, which enlarge() can move.
  int64_t offset = points_into(value, text, capacity) ? value - text : -1;
  if (!enlarge(static_cast<int64_t>(own + added) + 1)) return false;
  if (offset >= 0) value = text + offset;
  memmove(text + own, value, added);
  text[own + added] = '\0';
  return true;
}

bool VORN_STRING::append_int(int32_t value) {
  char digits[16];
  snprintf(digits, sizeof(digits), "%d", value);
  return append(digits);
}

bool VORN_STRING::append_short(int16_t value) {
  char digits[16];
  snprintf(digits, sizeof(digits), "%hd", value);
  return append(digits);
}

bool VORN_STRING::insert(const VORN_STRING& other, int32_t position) {
  int32_t added = other.get_length();
  if (added == 0) return false;
  if (!text || !*text) return set(other.text);
  int32_t length = get_length();
  if (position < 0 || position > length) return false;
  if (&other == this) {
    VORN_STRING copy(other);
    return copy.text && insert(copy, position);
  }
  if (!enlarge(static_cast<int64_t>(length) + added + 1)) return false;
  memmove(text + position + added, text + position, static_cast<size_t>(length - position) + 1);
  memcpy(text + position, other.text, static_cast<size_t>(added));
  return true;
}

bool VORN_STRING::erase(int32_t start, int32_t end) {
  if (!text || start < 0 || start > end) return false;
  int32_t length = get_length();
  if (end >= length) return false;
  memmove(text + start, text + end + 1, static_cast<size_t>(length - end));
  return true;
}

bool VORN_STRING::replace(const VORN_STRING& find, const VORN_STRING& replacement, int32_t start) {
  int32_t find_length = find.get_length();
  int32_t length = get_length();
  if (find_length == 0 || length == 0 || start < 0 || start >= length) return false;
  if (&find == this || &replacement == this) {
    VORN_STRING find_copy(find), replacement_copy(replacement);
    if (!find_copy.text || (replacement.text && !replacement_copy.text)) return false;
    return replace(find_copy, replacement_copy, start);
  }
  const char* hit = strstr(text + start, find.text);
  if (!hit) return false;
  int32_t position = static_cast<int32_t>(hit - text);
  int32_t replacement_length = replacement.get_length();
  if (replacement_length > find_length &&
      !enlarge(static_cast<int64_t>(length) - find_length + replacement_length + 1))
    return false;
  memmove(text + position + replacement_length, text + position + find_length,
          static_cast<size_t>(length - position - find_length) + 1);
  if (replacement_length > 0) memcpy(text + position, replacement.text, static_cast<size_t>(replacement_length));
  return true;
}

void VORN_STRING::trim_left() {
  if (!text) return;
  size_t skip = 0;
  while (text[skip] && is_plain_space(static_cast<unsigned char>(text[skip]))) ++skip;
  if (skip > 0) memmove(text, text + skip, strlen(text + skip) + 1);
}

void VORN_STRING::trim_right() {
  if (!text) return;
  size_t length = strlen(text);
  while (length > 0 && is_plain_space(static_cast<unsigned char>(text[length - 1]))) --length;
  text[length] = '\0';
}

void VORN_STRING::to_lower() {
  if (!text) return;
  for (char* p = text; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
}

void VORN_STRING::capitalise_words() {
  int32_t length = get_length();
  for (int32_t i = 0; i + 1 < length; ++i)
    if (is_plain_space(static_cast<unsigned char>(text[i])))
      text[i + 1] = static_cast<char>(toupper(static_cast<unsigned char>(text[i + 1])));
}

const char* VORN_STRING::get_text_at(int32_t index) const {
  if (!text || index < 0 || index >= get_length()) return "";
  return text + index;
}

int32_t VORN_STRING::compare(const char* value, bool no_case) const {
  if (!text) return value ? -1 : 0;
  if (!value) return 1;
  return no_case ? stricmp(text, value) : strcmp(text, value);
}

int32_t VORN_STRING::find(const VORN_STRING& needle, int32_t start, bool case_sensitive) const {
  int32_t length = get_length();
  if (!text || needle.get_length() == 0 || start < 0 || start >= length) return -1;
  if (case_sensitive) {
    const char* hit = strstr(text + start, needle.text);
    return hit ? static_cast<int32_t>(hit - text) : -1;
  }
  VORN_STRING haystack(*this), lowered(needle);
  if (!haystack.text || !lowered.text) return -1;
  haystack.to_lower();
  lowered.to_lower();
  const char* hit = strstr(haystack.text + start, lowered.text);
  return hit ? static_cast<int32_t>(hit - haystack.text) : -1;
}

int32_t VORN_STRING::find_last(const VORN_STRING& needle, int32_t start, bool case_sensitive) const {
  int32_t length = get_length();
  int32_t needle_length = needle.get_length();
  if (!text || needle_length == 0 || needle_length > length) return -1;
  int32_t position = length - needle_length;
  if (start >= 0 && start < position) position = start;
  for (; position >= 0; --position) {
    const char* here = text + position;
    if (case_sensitive ? memcmp(here, needle.text, static_cast<size_t>(needle_length)) == 0
                       : equal_no_case(here, needle.text, needle_length))
      return position;
  }
  return -1;
}

bool VORN_STRING::set_base64(const void* bytes, int32_t count) {
  if (!bytes || count < 1) return false;
  int32_t length = base64_encode(bytes, count, nullptr, 0);
  if (length < 0 || length == INT32_MAX) return false;
  // Encode aside: the bytes may be this string's own text.
  char* encoded = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
  if (!encoded) return false;
  base64_encode(bytes, count, encoded, length + 1);
  bool ok = set(encoded);
  free(encoded);
  return ok;
}

int32_t VORN_STRING::decode_base64(void* buffer, int32_t size) const {
  if (!text) return 0;
  if (!buffer || size < 1) return base64_decode(text, nullptr, 0);
  return base64_decode(text, buffer, size);
}

bool VORN_STRING::scramble_to_base64() {
  if (!text) return false;
  int32_t length = get_length();
  if (length > INT32_MAX - 2) return false;
  unsigned char* scrambled = static_cast<unsigned char*>(malloc(static_cast<size_t>(length) + 2));
  if (!scrambled) return false;
  int32_t count = scramble_bytes(text, length, scrambled, length + 2);
  bool ok = set_base64(scrambled, count);
  free(scrambled);
  return ok;
}

bool VORN_STRING::unscramble_from_base64() {
  if (!text) return false;
  int32_t predicted = base64_decode(text, nullptr, 0);
  if (predicted < 2) {
    empty_out();
    return false;
  }
  unsigned char* raw = static_cast<unsigned char*>(malloc(static_cast<size_t>(predicted)));
  if (!raw) return false;
  int32_t decoded = base64_decode(text, raw, predicted);
  if (decoded < 2) {
    free(raw);
    empty_out();
    return false;
  }
  char* plain = static_cast<char*>(malloc(static_cast<size_t>(decoded) - 1));
  if (!plain) {
    free(raw);
    return false;
  }
  int32_t plain_length = unscramble_bytes(raw, decoded, plain, decoded - 2);
  plain[plain_length] = '\0';
  bool ok = set(plain);
  free(plain);
  free(raw);
  return ok;
}

bool VORN_STRING::put_to_data_device(DATA_DEVICE* device) {
  int32_t length = get_length();
  if (!device->write_u32(static_cast<uint32_t>(length))) return false;
  if (length == 0) return true;
  device->error = device->write(text, length) != length;
  return !device->error;
}

bool VORN_STRING::get_from_data_device(DATA_DEVICE* device) {
  empty_out();
  uint32_t length = 0;
  if (!device->read_u32(length)) return false;
  if (length > INT32_MAX) {
    device->error = 1;
    return false;
  }
  if (length == 0) return grow == 0 || set("");
  // The length comes from the data: the buffer grows only as far as bytes
  // really arrive, so a lying length cannot make a huge allocation.
  constexpr int64_t kFirstChunk = 65536;
  int64_t done = 0;
  while (done < length) {
    int64_t target = done < kFirstChunk ? kFirstChunk : done * 2;
    if (target > length) target = length;
    int32_t wanted = static_cast<int32_t>(target - done);
    if (!enlarge(target + 1) || device->read(text + done, wanted) != wanted) {
      empty_out();
      device->error = 1;
      return false;
    }
    done = target;
  }
  text[length] = '\0';
  device->error = 0;
  return true;
}

void VORN_STRING::copy_to_clipboard() const { set_clipboard_text(text); }

bool VORN_STRING::paste_from_clipboard() {
  char pasted[1024];
  if (!has_clipboard_text() || !get_clipboard_text(pasted, sizeof pasted)) return false;
  return set(pasted);
}
