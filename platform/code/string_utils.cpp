#include "string_utils.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "clipboard.h"
#include "random.h"

namespace {

constexpr char BASE64_ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int32_t base64_value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Latin-1 192..255.
constexpr const char* FOLD_TABLE[64] = {
    "A", "A", "A", "A", "A", "A", "AE", "C",  // 192-199
    "E", "E", "E", "E", "I", "I", "I", "I",   // 200-207
    "D", "N", "O", "O", "O", "O", "O", "?",   // 208-215
    "O", "U", "U", "U", "U", "Y", "?", "SS",  // 216-223
    "a", "a", "a", "a", "a", "a", "ae", "c",  // 224-231
    "e", "e", "e", "e", "i", "i", "i", "i",   // 232-239
    "d", "n", "o", "o", "o", "o", "o", "?",   // 240-247
    "o", "u", "u", "u", "u", "y", "p", "?",   // 248-255
};

// Passwords use their own generator so that asking for one does not shift
// the process-wide sequence that other code may be replaying.
RANDOM make_password_random() {
  RANDOM generator;
  uint32_t value = 0;
  if (!read_system_entropy(&value, sizeof value)) value = static_cast<uint32_t>(time(nullptr));
  generator.seed(value);
  return generator;
}

}  // namespace

int32_t base64_encode(const void* bytes, int32_t count, char* output, int32_t output_size) {
  if (count < 0) count = 0;
  int64_t length = (static_cast<int64_t>(count) + 2) / 3 * 4;
  if (length > INT32_MAX) return -1;
  if (!output || !bytes || length >= output_size) return static_cast<int32_t>(length);

  const unsigned char* in = static_cast<const unsigned char*>(bytes);
  char* out = output;
  for (int32_t i = 0; i < count; i += 3) {
    int32_t left = count - i;
    uint32_t bits = static_cast<uint32_t>(in[i]) << 16;
    if (left > 1) bits |= static_cast<uint32_t>(in[i + 1]) << 8;
    if (left > 2) bits |= in[i + 2];
    *out++ = BASE64_ALPHABET[(bits >> 18) & 63];
    *out++ = BASE64_ALPHABET[(bits >> 12) & 63];
    *out++ = left > 1 ? BASE64_ALPHABET[(bits >> 6) & 63] : '=';
    *out++ = left > 2 ? BASE64_ALPHABET[bits & 63] : '=';
  }
  *out = '\0';
  return static_cast<int32_t>(length);
}

int32_t base64_decode(const char* text, void* output, int32_t output_size) {
  if (!text) return -1;
  size_t length = strlen(text);
  if (length == 0) return 0;
  if (length % 4 != 0 || length > INT32_MAX) return -1;
  int32_t predicted = static_cast<int32_t>(length / 4 * 3);
  if (text[length - 1] == '=') --predicted;
  if (text[length - 2] == '=') --predicted;

  // The same walk validates and decodes, so a text is refused alike whether
  // the caller asks for its length or for its bytes.
  bool write = output && output_size >= predicted;
  unsigned char* out = static_cast<unsigned char*>(output);
  int32_t decoded = 0;
  for (size_t g = 0; g < length; g += 4) {
    if (text[g] == '\r') break;
    bool last = g + 4 == length;
    uint32_t bits = 0;
    int32_t pads = 0;
    for (size_t k = 0; k < 4; ++k) {
      unsigned char c = static_cast<unsigned char>(text[g + k]);
      if (c == '=') {
        if (!last || k < 2) return -1;
        ++pads;
        bits <<= 6;
        continue;
      }
      int32_t value = base64_value(c);
      if (value < 0 || pads > 0) return -1;
      bits = (bits << 6) | static_cast<uint32_t>(value);
    }
    int32_t bytes = 3 - pads;
    if (write) {
      out[decoded] = static_cast<unsigned char>(bits >> 16);
      if (bytes > 1) out[decoded + 1] = static_cast<unsigned char>(bits >> 8);
      if (bytes > 2) out[decoded + 2] = static_cast<unsigned char>(bits);
    }
    decoded += bytes;
    if (pads > 0) break;
  }
  return write ? decoded : predicted;
}

const char* fold_accent_char(unsigned char byte, char* buffer) {
  static char own[2];
  if (byte >= 192) return FOLD_TABLE[byte - 192];
  if (byte >= 128) return "?";
  char* out = buffer ? buffer : own;
  out[0] = static_cast<char>(byte);
  out[1] = '\0';
  return out;
}

int32_t fold_accents(const char* text, char* output, uint16_t output_size) {
  if (!output || output_size == 0) return 0;
  output[0] = '\0';
  if (!text) return 0;
  // A folded byte is at most two characters, so stopping once the length
  // reaches output_size - 3 always leaves room for the terminator.
  int32_t limit = static_cast<int32_t>(output_size) - 3;
  int32_t length = 0;
  char buffer[2];
  for (const char* p = text; *p && length < limit; ++p) {
    const char* folded = fold_accent_char(static_cast<unsigned char>(*p), buffer);
    size_t n = strlen(folded);
    memcpy(output + length, folded, n);
    length += static_cast<int32_t>(n);
    output[length] = '\0';
  }
  return length;
}

int32_t compare_folded(const char* a, const char* b, bool no_case) {
  bool a_empty = !a || !*a;
  bool b_empty = !b || !*b;
  if (a_empty) return b_empty ? 0 : -1;
  if (b_empty) return 1;

  size_t i = 0;
  for (; a[i]; ++i) {
    // Every byte but NUL folds to a non-empty text, so once b ends the texts
    // differ here and b is never read past its terminator.
    char buffer_a[2], buffer_b[2];
    const char* fa = fold_accent_char(static_cast<unsigned char>(a[i]), buffer_a);
    const char* fb = fold_accent_char(static_cast<unsigned char>(b[i]), buffer_b);
    int32_t result = no_case ? stricmp(fa, fb) : strcmp(fa, fb);
    if (result != 0) return result;
  }
  return b[i] == '\0' ? 0 : -1;
}

const char* gmt_date_text(time_t when) {
  static const char* const DAYS[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const MONTHS[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static char text[64];
  struct tm parts;
  if (!gmtime_r(&when, &parts)) {
    text[0] = '\0';
    return text;
  }
  snprintf(text, sizeof(text), "%s, %02d %s %04lld %02d:%02d:%02d GMT", DAYS[parts.tm_wday], parts.tm_mday,
           MONTHS[parts.tm_mon], static_cast<long long>(parts.tm_year) + 1900, parts.tm_hour, parts.tm_min,
           parts.tm_sec);
  return text;
}

int32_t scramble_bytes(const void* source, int32_t count, void* output, int32_t output_size) {
  if (count < 0 || count > INT32_MAX - 2) return 0;
  if (!source) return count + 2;
  if (!output || static_cast<int64_t>(count) + 1 >= output_size) return 0;

  const unsigned char* in = static_cast<const unsigned char*>(source);
  unsigned char* out = static_cast<unsigned char*>(output);
  uint32_t k1 = static_cast<uint32_t>(random_range(1, 256));
  uint32_t k2 = static_cast<uint32_t>(random_range(1, 256));
  out[0] = static_cast<unsigned char>(k1);
  out[count + 1] = static_cast<unsigned char>(k2);
  uint32_t sum = 0;
  for (int32_t i = 1; i <= count; ++i) {
    uint32_t plain = in[i - 1];
    out[i] = static_cast<unsigned char>(k2 ^ plain ^ (static_cast<uint32_t>(i - 1) * k1) ^ ~sum);
    sum += plain;
  }
  return count + 2;
}

int32_t unscramble_bytes(const void* source, int32_t length, void* output, int32_t output_size) {
  if (length < 2) return 0;
  if (!source) return length - 2;
  if (length - 2 > output_size) return 0;
  if (length > 2 && !output) return 0;

  const unsigned char* in = static_cast<const unsigned char*>(source);
  unsigned char* out = static_cast<unsigned char*>(output);
  uint32_t k1 = in[0];
  uint32_t k2 = in[length - 1];
  uint32_t sum = 0;
  for (int32_t i = 1; i <= length - 2; ++i) {
    uint32_t plain = (k2 ^ in[i] ^ (static_cast<uint32_t>(i - 1) * k1) ^ ~sum) & 0xFFu;
    out[i - 1] = static_cast<unsigned char>(plain);
    sum += plain;
  }
  return length - 2;
}

const char* generate_password(int16_t minimum, int16_t maximum, uint8_t flags, char* output) {
  if (minimum < 4 || minimum > PASSWORD_BUFFER_SIZE - 1 || minimum > maximum) return nullptr;
  if ((flags & PASSWORD_NEED_CAPITAL) && !(flags & PASSWORD_CAPITALS)) return nullptr;
  if ((flags & PASSWORD_NEED_DIGIT) && !(flags & PASSWORD_DIGITS)) return nullptr;

  static RANDOM generator = make_password_random();
  static char own[PASSWORD_BUFFER_SIZE];
  char* out = output ? output : own;

  int32_t cap = maximum < PASSWORD_BUFFER_SIZE - 1 ? maximum : PASSWORD_BUFFER_SIZE - 1;
  int32_t length = generator.get_range(minimum, cap + 1);
  for (;;) {
    bool has_capital = false;
    bool has_digit = false;
    for (int32_t i = 0; i < length;) {
      int32_t c = generator.get_range(32, 127);
      if (c >= 'A' && c <= 'Z') {
        if (!(flags & PASSWORD_CAPITALS)) continue;
        has_capital = true;
      } else if (c >= '0' && c <= '9') {
        if (!(flags & PASSWORD_DIGITS)) continue;
        has_digit = true;
      } else if (c < 'a' || c > 'z') {
        continue;
      }
      out[i++] = static_cast<char>(c);
    }
    out[length] = '\0';
    if ((flags & PASSWORD_NEED_CAPITAL) && !has_capital) continue;
    if ((flags & PASSWORD_NEED_DIGIT) && !has_digit) continue;
    if (flags & PASSWORD_TO_CLIPBOARD) set_clipboard_text(out);
    return out;
  }
}

void upper_case_in_place(char* text) {
  if (!text) return;
  for (; *text; ++text) *text = static_cast<char>(toupper(static_cast<unsigned char>(*text)));
}

double text_to_double(const char* text, double default_value) {
  return text ? strtod(text, nullptr) : default_value;
}

uint32_t text_to_unsigned(const char* text, uint32_t default_value) {
  if (!text) return default_value;
  // Parse sign and magnitude apart, so that the result is what a 32-bit
  // strtoul gives: a negative number wraps within 32 bits, and a magnitude
  // beyond 32 bits saturates.
  const char* p = text;
  while (isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (!isdigit(static_cast<unsigned char>(*p))) return 0;
  errno = 0;
  unsigned long long magnitude = strtoull(p, nullptr, 10);
  if (errno == ERANGE || magnitude > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  uint32_t value = static_cast<uint32_t>(magnitude);
  return negative ? 0u - value : value;
}

int32_t text_to_int(const char* text, int32_t default_value) {
  if (!text) return default_value;
  long long value = strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

int stricmp(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  for (;; ++a, ++b) {
    int ca = tolower(static_cast<unsigned char>(*a));
    int cb = tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

int strnicmp(const char* a, const char* b, int n) {
  if (!a) a = "";
  if (!b) b = "";
  if (n <= 0) n = 1;
  for (int i = 0; i < n; ++i, ++a, ++b) {
    int ca = tolower(static_cast<unsigned char>(*a));
    int cb = tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}
