#include "text_file.h"

#include <cstdarg>
#include <cstring>

#include "file_services.h"

TEXT_FILE::TEXT_FILE() = default;

// The owner normally closes through FOLDER::close_text_file; a stream left
// open is closed here so that it is not leaked.
TEXT_FILE::~TEXT_FILE() {
  if (file) close();
}

void TEXT_FILE::reset_state() {
  line_end = 0;
  pending_count = 0;
  utf16 = 0;
  swap = 0;
  utf8 = 1;
  write_error = 0;
  line_state = LINE_ENDED;
  at_start = 0;
  line_carry = -1;
  unit_ahead = -1;
  joiner = SURROGATE_JOINER();
}

bool TEXT_FILE::open(const FOLDER& where, const char* file_name, uint32_t open_mode, bool want_utf16) {
  if (file) close();
  if (!file_name || !*file_name || open_mode > 2) return false;
  folder = where;
  name.set(file_name);
  reset_state();
  mode = open_mode;
  uint8_t mark[2] = {0, 0};

  if (mode == 1) {
    file = open_file(folder, file_name, want_utf16 ? "wb" : "w");
    if (!file) return false;
    at_start = 1;  // a UTF-8 text that begins with U+FEFF needs a mark
    if (want_utf16) {
      utf16 = 1;
      static const uint8_t little_endian[2] = {0xFF, 0xFE};
      if (!put_bytes(little_endian, 2)) {
        close();
        return false;
      }
    }
    return true;
  }

  if (mode == 2) {
    file = open_file(folder, file_name, "r+b");
    if (!file) return false;
    size_t got = fread(mark, 1, 2, file);
    clearerr(file);  // a file just created may be open for writing only
    if (got == 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
      utf16 = 1;
      if (fseek(file, 0, SEEK_END) != 0) {
        close();
        return false;
      }
      return true;
    }
    if (got == 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
      // Appending little-endian units to a big-endian file would mix orders.
      close_file(file);
      file = nullptr;
      return false;
    }
    if (got == 0 && want_utf16) {
      utf16 = 1;
      static const uint8_t little_endian[2] = {0xFF, 0xFE};
      if (fseek(file, 0, SEEK_SET) != 0 || !put_bytes(little_endian, 2)) {
        close();
        return false;
      }
      return true;
    }
    close_file(file);
    file = open_file(folder, file_name, "a+");
    return file != nullptr;
  }

  file = open_file(folder, file_name, "rb");
  if (!file) return false;
  size_t got = fread(mark, 1, 2, file);
  if (got == 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
    utf16 = 1;
  } else if (got == 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
    utf16 = 1;
    swap = 1;
  } else {
    if (fseek(file, 0, SEEK_SET) != 0) {
      close_file(file);
      file = open_file(folder, file_name, "r");
      if (!file) return false;
    }
    at_start = 1;
  }
  return true;
}

bool TEXT_FILE::read_failed() const { return file && ferror(file); }

bool TEXT_FILE::close() {
  if (!file) return true;
  bool ok = true;
  if (mode != 0) {
    uint32_t waiting[1];
    if (!utf16 && utf8 && joiner.flush(waiting)) {
      char bytes[4];
      put_bytes(bytes, utf8_encode(waiting[0], bytes));
    }
    if (fflush(file) != 0 || ferror(file) || write_error) ok = false;
  }
  if (!ok) discard_file(file);
  else if (!close_file(file) && mode != 0) ok = false;
  file = nullptr;
  if (write_error) ok = false;
  pending_count = 0;
  line_carry = -1;
  unit_ahead = -1;
  return ok;
}

void TEXT_FILE::discard() {
  if (!file) return;
  discard_file(file);
  file = nullptr;
  pending_count = 0;
  line_carry = -1;
  unit_ahead = -1;
}

// ---- Reading

bool TEXT_FILE::read_unit(uint32_t& unit) {
  if (unit_ahead >= 0) {
    unit = static_cast<uint32_t>(unit_ahead);
    unit_ahead = -1;
    return true;
  }
  uint8_t bytes[2];
  if (fread(bytes, 1, 2, file) != 2) return false;
  unit = swap ? static_cast<uint32_t>(bytes[0] << 8 | bytes[1])
              : static_cast<uint32_t>(bytes[1] << 8 | bytes[0]);
  return true;
}

bool TEXT_FILE::read_code_point(uint32_t& code_point) {
  if (pending_count) {
    code_point = pending[0];
    --pending_count;
    memmove(pending, pending + 1, pending_count * sizeof(pending[0]));
    return true;
  }
  int c = getc(file);
  if (c == EOF) return false;
  bool first = at_start;
  at_start = 0;
  if (!utf8 || c < 0x80) {
    code_point = static_cast<uint32_t>(c);
    return true;
  }

  uint8_t sequence[4] = {static_cast<uint8_t>(c), 0, 0, 0};
  int have = 1;
  if (first && c == 0xEF) {
    int b1 = getc(file);
    if (b1 != EOF) {
      sequence[have++] = static_cast<uint8_t>(b1);
      if (b1 == 0xBB) {
        int b2 = getc(file);
        if (b2 != EOF) {
          sequence[have++] = static_cast<uint8_t>(b2);
          if (b2 == 0xBF) return read_code_point(code_point);  // byte-order mark
        }
      }
    }
  }

  int length = utf8_sequence_length(sequence[0]);
  bool valid = length > 0;
  for (int i = 1; valid && i < length; ++i) {
    if (i >= have) {
      int b = getc(file);
      if (b == EOF) {
        valid = false;
        break;
      }
      sequence[have++] = static_cast<uint8_t>(b);
    }
    valid = utf8_continuation_ok(sequence[0], i, sequence[i]);
  }
  if (valid && utf8_decode(sequence, static_cast<size_t>(length), code_point)) return true;

  // Not UTF-8: the lead byte is a character of its own, the bytes read
  // behind it come next, and the rest of the file is plain 8-bit.
  utf8 = 0;
  for (int i = 1; i < have; ++i) pending[pending_count++] = sequence[i];
  code_point = sequence[0];
  return true;
}

bool TEXT_FILE::next_raw(uint32_t& code_point) {
  if (!utf16) return read_code_point(code_point);
  uint32_t unit;
  if (!read_unit(unit)) return false;
  code_point = unit;
  if (is_high_surrogate(unit)) {
    uint32_t next;
    if (read_unit(next)) {
      if (is_low_surrogate(next))
        code_point = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
      else
        unit_ahead = static_cast<int32_t>(next);
    }
  }
  return true;
}

// Each of CR LF, a lone CR and a lone LF ends one line and comes out as 10.
bool TEXT_FILE::next_char(uint32_t& code_point) {
  if (line_carry >= 0) {
    code_point = static_cast<uint32_t>(line_carry);
    line_carry = -1;
    return true;
  }
  if (!next_raw(code_point)) return false;
  if (code_point == 13) {
    if (!line_end) line_end = 13;
    if (utf16) {
      uint32_t next;
      if (read_unit(next) && next != 10) unit_ahead = static_cast<int32_t>(next);
    } else if (pending_count) {
      if (pending[0] == 10) {
        --pending_count;
        memmove(pending, pending + 1, pending_count * sizeof(pending[0]));
      }
    } else {
      int c = getc(file);
      if (c != 10 && c != EOF) ungetc(c, file);
    }
    code_point = 10;
  } else if (code_point == 10 && !line_end) {
    line_end = 10;
  }
  return true;
}

bool TEXT_FILE::read_char(uint8_t& byte) {
  if (!file || mode != 0) return false;
  uint32_t code_point;
  if (!next_char(code_point)) return false;
  byte = static_cast<uint8_t>(code_point);
  return true;
}

bool TEXT_FILE::read_line(char* buffer) {
  if (!file || mode != 0 || !buffer) return false;
  bool got = false;
  uint32_t code_point;

  if (line_size < 2) {
    // No room for a character: the line is passed over, so that reading
    // loops still come to the end of the file.
    if (line_size == 1) buffer[0] = 0;
    line_state = LINE_AT_EOF;
    while (next_char(code_point)) {
      got = true;
      if (code_point == 10) {
        line_state = LINE_ENDED;
        break;
      }
    }
    return got;
  }

  const size_t limit = static_cast<size_t>(line_size) - 1;  // room before the NUL
  size_t stored = 0;
  bool run_open = false;
  line_state = LINE_AT_EOF;
  for (;;) {
    if (stored + (run_open ? 1 : 0) >= limit) {
      // Full: a line end right here still belongs to this line, so a line
      // that fits exactly gives no empty line after it.
      uint32_t next;
      if (!next_char(next)) {
        line_state = LINE_AT_EOF;
      } else if (next == 10) {
        line_state = LINE_ENDED;
      } else {
        line_carry = static_cast<int32_t>(next);
        line_state = LINE_CUT;
      }
      break;
    }
    if (!next_char(code_point)) break;
    got = true;
    if (code_point == 10) {
      line_state = LINE_ENDED;
      break;
    }
    char bytes[SYSTEM_CHAR_MAX_BYTES];
    bool run_after = run_open;
    size_t length = system_char_encode(code_point, run_after, bytes);
    if (stored + length + (run_after ? 1 : 0) > limit) {
      if (stored > 0) {
        // Kept for the next call rather than lost.
        line_carry = static_cast<int32_t>(code_point);
        line_state = LINE_CUT;
        break;
      }
      // Even an empty line of this size cannot hold the character.
      bytes[0] = '?';
      length = 1;
      run_after = false;
    }
    memcpy(buffer + stored, bytes, length);
    stored += length;
    run_open = run_after;
  }
  if (run_open) buffer[stored++] = 1;
  buffer[stored] = 0;
  return got;
}

// ---- Writing

bool TEXT_FILE::put_bytes(const void* bytes, size_t count) {
  if (write_error) return false;  // a stream that lost data stays failed
  if (count == 0) return true;
  if (fwrite(bytes, 1, count, file) != count) {
    write_error = 1;
    return false;
  }
  return true;
}

// UTF-16 units are stored little-endian whatever the host.
bool TEXT_FILE::put_unit(uint32_t unit) {
  uint8_t bytes[2] = {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8 & 0xFF)};
  return put_bytes(bytes, 2);
}

bool TEXT_FILE::write_code_point(uint32_t code_point) {
  if (!file || mode == 0) return false;
  if (utf16) {
    if (code_point > 0x10FFFF) return put_unit(0xFFFD);
    if (code_point >= 0x10000) {
      uint32_t offset = code_point - 0x10000;
      return put_unit(0xD800 + (offset >> 10)) && put_unit(0xDC00 + (offset & 0x3FF));
    }
    return put_unit(code_point);
  }
  if (!utf8) {
    uint8_t byte = static_cast<uint8_t>(code_point);
    return put_bytes(&byte, 1);
  }
  // The reader takes a mark at the file's start for no character: a text
  // that begins with U+FEFF keeps it behind a mark of its own (a failed
  // write fails every later one).
  if (at_start) {
    at_start = 0;
    if (code_point == 0xFEFF) put_bytes("\xEF\xBB\xBF", 3);
  }
  uint32_t ready[2];
  int count = joiner.feed(code_point, ready);
  for (int i = 0; i < count; ++i) {
    char bytes[4];
    size_t length = utf8_encode(ready[i], bytes);
    if (length == 0) {
      bytes[0] = static_cast<char>(ready[i] & 0x7F);
      length = 1;
    }
    if (!put_bytes(bytes, length)) return false;
  }
  return true;
}

bool TEXT_FILE::write_string(const char* text) {
  if (!file || mode == 0) return false;
  if (!text) return true;
  SYSTEM_TEXT_READER reader(text);
  uint32_t unit;
  while (reader.next_unit(unit)) {
    if (!(utf16 ? put_unit(unit) : write_code_point(unit))) return false;
  }
  return true;
}

bool TEXT_FILE::write_char(uint8_t byte) {
  if (!file || mode == 0) return false;
  return utf16 ? put_unit(byte) : write_code_point(byte);
}

bool TEXT_FILE::printf(const char* format, ...) {
  if (!file || mode == 0 || !format) return false;
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return write_string(text);
}

// ---- Opening through a folder

TEXT_FILE* FOLDER::open_text_file(const char* file_name, uint32_t mode, bool utf16) const {
  TEXT_FILE* text_file = new TEXT_FILE;
  if (!text_file->open(*this, file_name, mode, utf16)) {
    delete text_file;
    return nullptr;
  }
  return text_file;
}

bool FOLDER::close_text_file(TEXT_FILE*& text_file) {
  if (!text_file) return false;
  bool ok = text_file->close();
  delete text_file;
  text_file = nullptr;
  return ok;
}
