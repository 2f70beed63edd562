#include "text_convert.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

int hex_value(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Four hexadecimal digits at s (which is NUL-terminated or bounded by end)
// give one unit.
bool read_group(const uint8_t* s, const uint8_t* end, uint32_t& unit) {
  if (end - s < 4) return false;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    int digit = hex_value(s[i]);
    if (digit < 0) return false;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  unit = value;
  return true;
}

void put_group(uint32_t unit, char*& out) {
  static const char digits[] = "0123456789ABCDEF";
  *out++ = ',';
  for (int shift = 12; shift >= 0; shift -= 4) *out++ = digits[(unit >> shift) & 0xF];
}

}  // namespace

int utf8_sequence_length(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool utf8_continuation_ok(uint8_t lead, int index, uint8_t byte) {
  uint8_t low = 0x80, high = 0xBF;
  if (index == 1) {
    // These narrowed ranges are what shuts out overlong forms, surrogates
    // and values above U+10FFFF.
    switch (lead) {
      case 0xE0: low = 0xA0; break;
      case 0xED: high = 0x9F; break;
      case 0xF0: low = 0x90; break;
      case 0xF4: high = 0x8F; break;
      default: break;
    }
  }
  return byte >= low && byte <= high;
}

size_t utf8_decode(const uint8_t* bytes, size_t available, uint32_t& code_point) {
  if (available == 0) return 0;
  uint8_t lead = bytes[0];
  int length = utf8_sequence_length(lead);
  if (length == 0 || static_cast<size_t>(length) > available) return 0;
  if (length == 1) {
    code_point = lead;
    return 1;
  }
  uint32_t value = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if (!utf8_continuation_ok(lead, i, bytes[i])) return 0;
    value = value << 6 | (bytes[i] & 0x3F);
  }
  code_point = value;
  return static_cast<size_t>(length);
}

size_t utf8_encode(uint32_t code_point, char* out) {
  if (is_high_surrogate(code_point) || is_low_surrogate(code_point)) code_point = kReplacement;
  if (code_point < 0x80) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | code_point >> 6);
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | code_point >> 12);
    out[1] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
  }
  if (code_point <= 0x10FFFF) {
    out[0] = static_cast<char>(0xF0 | code_point >> 18);
    out[1] = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 4;
  }
  return 0;
}

int SURROGATE_JOINER::feed(uint32_t unit, uint32_t out[2]) {
  int count = 0;
  if (high) {
    if (is_low_surrogate(unit)) {
      out[0] = 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00);
      high = 0;
      return 1;
    }
    out[count++] = kReplacement;
    high = 0;
  }
  if (is_high_surrogate(unit)) {
    high = unit;
    return count;
  }
  out[count++] = is_low_surrogate(unit) ? kReplacement : unit;
  return count;
}

int SURROGATE_JOINER::flush(uint32_t out[1]) {
  if (!high) return 0;
  high = 0;
  out[0] = kReplacement;
  return 1;
}

size_t system_char_encode(uint32_t code_point, bool& run_open, char* out) {
  char* start = out;
  if (code_point < 256 && code_point != 1) {
    if (run_open) *out++ = 1;
    run_open = false;
    *out++ = static_cast<char>(code_point);
    return static_cast<size_t>(out - start);
  }
  if (!run_open) *out++ = 1;
  run_open = true;
  if (code_point > 0x10FFFF) code_point = kReplacement;
  if (code_point >= 0x10000) {
    uint32_t offset = code_point - 0x10000;
    put_group(0xD800 + (offset >> 10), out);
    put_group(0xDC00 + (offset & 0x3FF), out);
  } else {
    put_group(code_point, out);
  }
  return static_cast<size_t>(out - start);
}

SYSTEM_TEXT_READER::SYSTEM_TEXT_READER(const char* text, ptrdiff_t length) {
  at = reinterpret_cast<const uint8_t*>(text ? text : "");
  end = at + (length < 0 || !text ? strlen(reinterpret_cast<const char*>(at))
                                  : static_cast<size_t>(length));
}

bool SYSTEM_TEXT_READER::next_unit(uint32_t& unit) {
  while (at < end && *at) {
    uint8_t c = *at;
    if (c == 1) {
      run_open = !run_open;
      ++at;
      // Only the byte 1 that opens a run may carry a separator comma; one
      // after the closing byte 1 is the text's own comma.
      if (run_open && at < end && *at == ',') ++at;
      continue;
    }
    if (!run_open) {
      ++at;
      unit = c;
      return true;
    }
    if (read_group(at, end, unit)) {
      at += 4;
      if (at < end && *at == ',') ++at;
      return true;
    }
    const uint8_t* skip = at;
    while (skip < end && hex_value(*skip) >= 0) ++skip;
    at = skip == at ? at + 1 : skip;
  }
  return false;
}

bool SYSTEM_TEXT_READER::next_code_point(uint32_t& code_point) {
  for (;;) {
    if (ready_next < ready_count) {
      code_point = ready[ready_next++];
      return true;
    }
    ready_next = 0;
    uint32_t unit;
    if (next_unit(unit)) {
      ready_count = joiner.feed(unit, ready);
    } else {
      ready_count = joiner.flush(ready);
      if (ready_count == 0) return false;
    }
  }
}

bool SYSTEM_TEXT_READER::next_char(uint32_t& code_point) {
  uint32_t unit;
  if (!next_unit(unit)) return false;
  if (is_high_surrogate(unit)) {
    SYSTEM_TEXT_READER ahead = *this;
    uint32_t low;
    if (ahead.next_unit(low) && is_low_surrogate(low)) {
      *this = ahead;
      code_point = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    } else {
      code_point = 0xFFFD;
    }
    return true;
  }
  code_point = is_low_surrogate(unit) ? 0xFFFD : unit;
  return true;
}

std::string system_text_to_utf8(const char* text) {
  std::string result;
  SYSTEM_TEXT_READER reader(text);
  uint32_t code_point;
  char bytes[4];
  while (reader.next_code_point(code_point)) {
    if (code_point == 0) continue;
    result.append(bytes, utf8_encode(code_point, bytes));
  }
  return result;
}

std::string utf8_to_system_text(const char* bytes, size_t length) {
  std::string result;
  if (!bytes) return result;
  const uint8_t* at = reinterpret_cast<const uint8_t*>(bytes);
  const uint8_t* end = at + length;
  bool utf8 = true;
  bool run_open = false;
  char out[SYSTEM_CHAR_MAX_BYTES];
  while (at < end && *at) {
    uint32_t code_point = *at;
    size_t used = 1;
    if (utf8 && code_point >= 0x80) {
      used = utf8_decode(at, static_cast<size_t>(end - at), code_point);
      if (used == 0) {
        // Not UTF-8 after all: the rest is plain 8-bit text.
        utf8 = false;
        code_point = *at;
        used = 1;
      }
    }
    at += used;
    result.append(out, system_char_encode(code_point, run_open, out));
  }
  if (run_open) result += '\x01';
  return result;
}

size_t system_text_fit(const char* text, size_t max_bytes, bool& close_run) {
  close_run = false;
  if (!text) return 0;
  size_t length = strlen(text);
  if (length <= max_bytes) return length;
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
  const uint8_t* end = s + length;
  size_t p = 0, best = 0;
  bool run = false;
  // A boundary counts only when the byte 1 that would close its run fits too.
  auto boundary = [&]() {
    if (p + (run ? 1 : 0) > max_bytes) return false;
    best = p;
    close_run = run;
    return true;
  };
  while (p < length) {
    if (s[p] == 1) {
      run = !run;
      ++p;
      if (run && p < length && s[p] == ',') ++p;
      if (!run && !boundary()) break;
      continue;
    }
    if (!run) {
      ++p;
      if (!boundary()) break;
      continue;
    }
    uint32_t unit;
    if (read_group(s + p, end, unit)) {
      p += 4;
      // The two halves of a surrogate pair stay together.
      size_t after_comma = p < length && s[p] == ',' ? p + 1 : p;
      uint32_t low;
      if (is_high_surrogate(unit) && read_group(s + after_comma, end, low) &&
          is_low_surrogate(low))
        p = after_comma + 4;
      if (!boundary()) break;
      if (p < length && s[p] == ',') ++p;
      continue;
    }
    size_t skip = p;
    while (skip < length && hex_value(s[skip]) >= 0) ++skip;
    p = skip == p ? p + 1 : skip;
  }
  return best;
}

void system_text_cut(std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return;
  bool close_run = false;
  size_t keep = system_text_fit(text.c_str(), max_bytes, close_run);
  text.resize(keep);
  if (close_run) text += '\x01';
}

namespace {

// Walks text as escape_control_characters reads it: a valid UTF-8 sequence
// is one character, any other byte one of its own. Calls take(bytes,
// length, character, whole sequence) for each.
template <typename TAKE>
void walk_characters(const std::string_view text, TAKE take) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  for (size_t at = 0; at < text.size();) {
    uint32_t character = 0;
    size_t used = utf8_decode(bytes + at, text.size() - at, character);
    const bool sequence = used > 0;
    if (!sequence) {
      used = 1;
      character = bytes[at];
    }
    if (!take(text.substr(at, used), character, sequence)) return;
    at += used;
  }
}

}  // namespace

std::string escape_control_characters(const std::string& text, unsigned flags) {
  std::string out;
  out.reserve(text.size());
  walk_characters(text, [&](std::string_view bytes, uint32_t character, bool sequence) {
    const bool kept = (flags & KEEP_LINE_LAYOUT) && (character == '\n' || character == '\t');
    if (character == '\\' && (flags & ESCAPE_BACKSLASH)) {
      out += "\\\\";
    } else if (!is_control_character(character) || kept) {
      out += bytes;
    } else {
      char code[8];
      const char named = character == '\n' ? 'n' : character == '\t' ? 't' : character == '\r' ? 'r' : 0;
      if (named) snprintf(code, sizeof code, "\\%c", named);
      else if (sequence && bytes.size() > 1) snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(character));
      else snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(character));
      out += code;
    }
    return true;
  });
  return out;
}

bool holds_control_character(const char* text) {
  bool found = false;
  walk_characters(text ? text : "", [&](std::string_view, uint32_t character, bool) {
    found = is_control_character(character);
    return !found;
  });
  return found;
}
