#pragma once
// The system's 8-bit text and its conversion to and from UTF-8. Bytes 0-255
// are Latin-1; any other character rides inside a run opened and closed by
// byte 1, each character written ",XXXX" (characters above U+FFFF as their
// two UTF-16 surrogates). Text files, desktop entries and the clipboard all
// convert through this one code.
#include <cstddef>
#include <cstdint>
#include <string>

// ---- UTF-8, strict: no overlong forms, no surrogates, nothing above U+10FFFF.

// Bytes of the sequence a lead byte opens (1-4); 0 when the byte can lead
// no valid sequence (a continuation byte, C0, C1, F5-FF).
int utf8_sequence_length(uint8_t lead);
// Whether byte may stand at position index (1-3) of a sequence opened by
// lead; the second byte's range is narrowed for E0, ED, F0 and F4.
bool utf8_continuation_ok(uint8_t lead, int index, uint8_t byte);
// Decodes one sequence from bytes[0 .. available). Returns the bytes used,
// 0 when the sequence is invalid or cut off.
size_t utf8_decode(const uint8_t* bytes, size_t available, uint32_t& code_point);
// Writes the UTF-8 form of a code point up to U+10FFFF (surrogates give
// U+FFFD) into out[4]; returns its length, 0 above U+10FFFF.
size_t utf8_encode(uint32_t code_point, char* out);

// ---- UTF-16 surrogates.

constexpr bool is_high_surrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_low_surrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Joins units that arrive one at a time: a high surrogate waits for its low
// one; a surrogate without its partner becomes U+FFFD. Anything else
// passes through.
class SURROGATE_JOINER {
public:
  // Code points ready to write are put into out; returns how many (0-2).
  int feed(uint32_t unit, uint32_t out[2]);
  // A high surrogate still waiting becomes U+FFFD; returns 0 or 1.
  int flush(uint32_t out[1]);
  bool waiting() const { return high != 0; }

private:
  uint32_t high = 0;
};

// ---- System text.

// Longest form of one character: closing or opening byte 1 plus ",XXXX,XXXX".
constexpr size_t SYSTEM_CHAR_MAX_BYTES = 12;

// Writes one character in system form into out (SYSTEM_CHAR_MAX_BYTES),
// closing or opening a run as needed; run_open follows the run. Bytes 0 and
// 2-255 stand as themselves; character 1 (which would open a run) and
// everything above 255 go into a run; above U+FFFF as a surrogate pair.
// Returns the bytes written. A caller ends the text with a byte 1 when
// run_open is still set.
size_t system_char_encode(uint32_t code_point, bool& run_open, char* out);

// Walks system text unit by unit: bytes outside runs, four-digit groups
// inside them. Inside a run a byte 1 closes it, a comma right behind the
// opening byte 1 or a group is skipped (a comma after the closing byte 1 is
// text), and a group that is not four hexadecimal digits (either case) is
// skipped up to its first non-digit.
class SYSTEM_TEXT_READER {
public:
  // A NUL ends the text as well as length; length -1 reads up to the NUL.
  explicit SYSTEM_TEXT_READER(const char* text, ptrdiff_t length = -1);
  // The next unit (0-255 outside a run, 0-65535 inside); false at the end.
  bool next_unit(uint32_t& unit);
  // The next character, surrogate pairs joined (a lone surrogate gives
  // U+FFFD); false at the end.
  bool next_code_point(uint32_t& code_point);
  // The same character by character without reading ahead, so position()
  // stays meaningful between calls; not to be mixed with next_code_point.
  bool next_char(uint32_t& code_point);

  // For callers that walk units and come back to a place later (text
  // layout): the byte reached and whether a run is open there. A reader
  // started part-way through a text takes the run state it had there.
  // Only meaningful between next_unit calls (next_code_point reads ahead).
  const char* position() const { return reinterpret_cast<const char*>(at); }
  bool in_run() const { return run_open; }
  void set_in_run(bool open) { run_open = open; }

private:
  const uint8_t* at;
  const uint8_t* end;
  bool run_open = false;
  SURROGATE_JOINER joiner;
  uint32_t ready[2] = {};
  int ready_count = 0;
  int ready_next = 0;
};

// Walks a text character by character (next_char) and keeps the byte
// offset and run state reached, so that a layout can note a character's
// place and start again from it.
class SYSTEM_TEXT_WALKER {
public:
  SYSTEM_TEXT_WALKER(const char* text, int32_t offset, bool run_open)
      : base(text), reader(text + offset) {
    reader.set_in_run(run_open);
  }
  // Starts again at an offset reached before, with the run state it had.
  void restart(int32_t offset, bool run_open) {
    reader = SYSTEM_TEXT_READER(base + offset);
    reader.set_in_run(run_open);
  }
  bool next(uint32_t& code) { return reader.next_char(code); }
  int32_t offset() const { return static_cast<int32_t>(reader.position() - base); }
  bool in_run() const { return reader.in_run(); }

private:
  const char* base;
  SYSTEM_TEXT_READER reader;
};

// System text as UTF-8 (NUL characters are left out).
std::string system_text_to_utf8(const char* text);
// UTF-8 as system text. Text that is not valid UTF-8 is taken as 8-bit
// Latin-1 from the first invalid sequence on, as text files do. A NUL
// ends the text.
std::string utf8_to_system_text(const char* bytes, size_t length);

// Byte length of the longest start of text (up to max_bytes) that ends on
// a character boundary, leaving room for the byte 1 that closes a run
// still open there; close_run is set when that byte must be added.
size_t system_text_fit(const char* text, size_t max_bytes, bool& close_run);
// Cuts text to at most max_bytes in that way, closing an open run.
void system_text_cut(std::string& text, size_t max_bytes);

// ---- Control characters.

// C0 (below U+0020), DEL and the C1 controls U+0080-U+009F: the characters
// that a terminal may take as commands (an escape sequence, a title change)
// and that would split or forge a line of a log.
constexpr bool is_control_character(uint32_t character) {
  return character < 0x20 || (character >= 0x7F && character <= 0x9F);
}

// What escape_control_characters leaves alone besides the ordinary text.
enum CONTROL_ESCAPES : unsigned {
  ESCAPE_ALL_CONTROLS = 0,
  KEEP_LINE_LAYOUT = 1,   // line feeds and tabs stay, for whole lines of output
  ESCAPE_BACKSLASH = 2,   // a backslash becomes "\\", so that the result reads back unambiguously
};

// UTF-8 text (or bytes that are not quite) as it may be shown: "\n", "\t"
// and "\r" named, other controls from single bytes as "\x1b" (a lone 0x9B
// byte too, which 8-bit terminals take as a command), C1 characters coded
// in UTF-8 as "\u009b"; everything else, invalid bytes above 0x9F
// included, as it is.
std::string escape_control_characters(const std::string& text, unsigned flags = ESCAPE_ALL_CONTROLS);
// Whether escape_control_characters would escape a control character in
// the text (the backslash aside).
bool holds_control_character(const char* text);
