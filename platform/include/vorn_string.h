#pragma once
// VORN_STRING: the growable heap string that every layer uses for names,
// titles and texts. A string may hold no text at all (null) or an empty
// text; its buffer only grows, in steps of at least the grow size, until
// clear() frees it. Allocation failures are reported, never fatal.
#include <cstdint>

#include "data_device.h"

class VORN_STRING : public DATA_DEVICE_CLIENT {
public:
  static constexpr int32_t DEFAULT_GROW = 50;

  // A negative grow takes DEFAULT_GROW. Grow 0 means that emptying the string
  // frees its buffer. A null text leaves the string without text.
  explicit VORN_STRING(const char* text = nullptr, int32_t grow = -1);
  // The characters start..end (inclusive; end -1 = the last one) of source,
  // with the default grow; an empty text when the range lies outside source.
  VORN_STRING(const VORN_STRING& source, int32_t start, int32_t end);
  VORN_STRING(const VORN_STRING& other);             // same text and grow
  VORN_STRING& operator=(const VORN_STRING& other);  // set(other's text); keeps grow
  virtual ~VORN_STRING();

  // Null when the string holds no text.
  const char* get_text() const { return text; }
  int32_t get_length() const;
  int32_t get_capacity() const { return capacity; }
  int32_t get_grow() const { return grow; }

  bool reserve(int32_t n);       // capacity >= max(n, grow)
  bool set(const char* value);   // null empties; on failure the string is emptied
  bool set_int(int32_t value);   // "%d"
  bool set_short(int16_t value); // "%hd"
  void clear();                  // frees the buffer: no text, capacity 0

  // Appending to a string without text sets it; null appends nothing. On
  // failure the text is unchanged.
  bool append(const char* value);
  bool append_int(int32_t value);
  bool append_short(int16_t value);

  // Inserts other before position (0..length). A string without text, or an
  // empty one, becomes a copy of other whatever the position. False when
  // nothing changed.
  bool insert(const VORN_STRING& other, int32_t position);
  // Removes start..end inclusive; false (no change) when the range is not
  // inside the text.
  bool erase(int32_t start, int32_t end);
  // Replaces the first occurrence of find at or after start (case-sensitive);
  // a replacement without text or with an empty text deletes it.
  bool replace(const VORN_STRING& find, const VORN_STRING& replacement, int32_t start);

  void trim_left();   // bytes of 128 and above are never white space
  void trim_right();
  void to_lower();
  void capitalise_words();  // upper-cases each byte that follows ASCII white space

  // Pointer into the text at index; an empty text (never null) when there
  // is no text or the index lies outside it.
  const char* get_text_at(int32_t index) const;
  // A string without text is below every text ("" included) and equal to
  // null; a string with text is above null. Otherwise strcmp, or with no_case
  // -1, 0 or 1 comparing lower-cased bytes.
  int32_t compare(const char* value, bool no_case) const;
  // Index of the first occurrence of needle at or after start, or -1.
  int32_t find(const VORN_STRING& needle, int32_t start, bool case_sensitive) const;
  // Index of the last occurrence of needle beginning at or before start
  // (start < 0: anywhere), or -1.
  int32_t find_last(const VORN_STRING& needle, int32_t start, bool case_sensitive) const;

  // The text becomes the base64 form of count bytes; nothing when bytes is
  // null or count < 1.
  bool set_base64(const void* bytes, int32_t count);
  // Decodes the text into buffer and returns the decoded length (-1 for a
  // malformed text); with a null buffer or size < 1 only the length; 0
  // without text.
  int32_t decode_base64(void* buffer, int32_t size) const;
  // Scrambles the text (scramble_bytes) and stores the result as base64.
  bool scramble_to_base64();
  // Reverses scramble_to_base64. A text that does not decode to a scrambled
  // block leaves the string empty and gives false.
  bool unscramble_from_base64();

  // Hands the text to the platform clipboard (no text gives it up).
  void copy_to_clipboard() const;
  // Replaces the text with the clipboard's (at most 1023 bytes); false and
  // no change when the clipboard has none.
  bool paste_from_clipboard();

  // Stored form: a u32 length and the bytes without a terminator. Reading
  // fails (the string left empty) on short data or a length of 2^31 or more.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

private:
  bool enlarge(int64_t needed);  // capacity >= max(needed, grow); keeps the text
  void empty_out();              // grow 0: free; else keep the buffer, text ""

  char* text = nullptr;  // malloc'd, owned; null = no text
  int32_t capacity = 0;
  int32_t grow = DEFAULT_GROW;
};
