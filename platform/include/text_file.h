#pragma once
// Line-oriented text files. Inside the system text is 8-bit Latin-1, with
// characters above 255 carried as runs: a byte 1, ",XXXX" per character
// (four upper-case hex digits), a closing byte 1. On disk files are UTF-8
// (with or without a mark), plain 8-bit when not valid UTF-8, or UTF-16
// with a byte-order mark. Opened through FOLDER::open_text_file.
#include <cstdint>
#include <cstdio>

#include "folder.h"
#include "text_convert.h"
#include "vorn_string.h"

class TEXT_FILE {
public:
  TEXT_FILE();
  ~TEXT_FILE();
  TEXT_FILE(const TEXT_FILE&) = delete;
  TEXT_FILE& operator=(const TEXT_FILE&) = delete;

  // mode 0 read, 1 write, 2 append (creating a missing file).
  bool open(const FOLDER& folder, const char* name, uint32_t mode, bool utf16);
  // False when anything written could not be stored; a file written anew
  // (mode 1) then leaves the earlier file at its name as it was.
  bool close();
  // Closes without keeping what mode 1 wrote: the earlier file stays.
  void discard();

  // True once a read failed for a reason other than the end of the file;
  // the reads themselves then look like the end of the file.
  bool read_failed() const;
  bool read_char(uint8_t& byte);
  // Reads one line into a buffer of line_size bytes. A line that does not
  // fit comes in parts (line_state tells whether the line ended); a
  // character that no longer fits is delivered by the next call.
  bool read_line(char* buffer);
  bool write_string(const char* text);
  bool write_char(uint8_t byte);
  bool printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A high surrogate waits for its low half, so a pair becomes one UTF-8
  // sequence.
  bool write_code_point(uint32_t code_point);

  enum : uint8_t { LINE_ENDED = 0, LINE_CUT = 1, LINE_AT_EOF = 2 };

  int16_t line_size = 256;
  uint32_t mode = 0;
  FILE* file = nullptr;
  uint32_t line_end = 0;
  uint32_t pending[3] = {};
  uint8_t pending_count = 0;
  uint8_t utf16 = 0;
  uint8_t swap = 0;
  uint8_t utf8 = 1;
  FOLDER folder;
  VORN_STRING name;
  uint8_t write_error = 0;  // sticky: a write failed
  uint8_t line_state = LINE_ENDED;  // how the last read_line stopped
  uint8_t at_start = 0;             // next byte is the file's first (UTF-8 mark check)
  int32_t line_carry = -1;          // character read_line could not fit, or -1
  int32_t unit_ahead = -1;          // UTF-16 unit read ahead, or -1
  SURROGATE_JOINER joiner;          // writing: a high surrogate waiting

private:
  bool next_raw(uint32_t& code_point);
  bool next_char(uint32_t& code_point);
  bool read_unit(uint32_t& unit);
  bool read_code_point(uint32_t& code_point);
  bool put_bytes(const void* bytes, size_t count);
  bool put_unit(uint32_t unit);
  void reset_state();
};
