#pragma once
// Free text utilities for 8-bit (Latin-1) C strings: standard base64, folding
// of accented letters to plain ASCII and a comparison built on it, the GMT
// date text of time stamps, a reversible byte scramble, a password generator
// and small text-to-number conversions.
#include <cstdint>
#include <string>
#include <ctime>

// Base64 with the standard alphabet, "=" padding and no line breaks. Returns
// the encoded length (count + 2) / 3 * 4; the text and its NUL are written
// only when output is given and output_size is above that length. -1 when
// the length would not fit an int32.
int32_t base64_encode(const void* bytes, int32_t count, char* output, int32_t output_size);

// Returns -1 for a null text, a length that is not a multiple of 4, a byte
// outside the alphabet, or "=" anywhere but in the last group's final two
// places; 0 for "". When output is null or smaller than the predicted length
// (length / 4 * 3 less one per trailing "="), returns that length and writes
// nothing. Otherwise decodes, stopping early at a group that starts with a
// carriage return, and returns the bytes actually written (no terminator).
int32_t base64_decode(const char* text, void* output, int32_t output_size);

// The ASCII text of one Latin-1 byte: accented letters lose their accent,
// other bytes from 128 up give "?", ASCII bytes give themselves. Single
// bytes are placed in buffer (2 bytes), or in a static buffer when it is null.
const char* fold_accent_char(unsigned char byte, char* buffer = nullptr);

// Writes the folded text of text into output (output_size bytes, always
// terminated when output_size > 0), stopping before the length reaches
// output_size - 3. Returns the output length.
int32_t fold_accents(const char* text, char* output, uint16_t output_size);

// Compares texts character by character after folding both; with no_case the
// folded texts compare case-insensitively (-1, 0, 1). A null text equals "".
int32_t compare_folded(const char* a, const char* b, bool no_case);

// "Sun, 06 Nov 1994 08:49:37 GMT" for the calendar time, in a static buffer;
// "" when the time cannot be broken down.
const char* gmt_date_text(time_t when);

// Scrambles count bytes into output: two random keys from the process-wide
// generator around the scrambled bytes. Returns count + 2; with a null source
// just the size needed; 0 (nothing written) when output_size <= count + 1.
int32_t scramble_bytes(const void* source, int32_t count, void* output, int32_t output_size);

// Restores the plain bytes of a scrambled block of `length` bytes. Returns
// length - 2 (no terminator written); with a null source just that size; 0
// when length < 2 or the output is smaller than length - 2.
int32_t unscramble_bytes(const void* source, int32_t length, void* output, int32_t output_size);

// Password flags.
constexpr uint8_t PASSWORD_CAPITALS = 1;
constexpr uint8_t PASSWORD_NEED_CAPITAL = 2;  // only with PASSWORD_CAPITALS
constexpr uint8_t PASSWORD_DIGITS = 4;
constexpr uint8_t PASSWORD_NEED_DIGIT = 8;    // only with PASSWORD_DIGITS
constexpr uint8_t PASSWORD_TO_CLIPBOARD = 16;  // the password also goes to the clipboard
constexpr int32_t PASSWORD_BUFFER_SIZE = 257;

// A password of lower-case letters (plus capitals and digits as the flags
// allow) with a length drawn from minimum .. min(maximum, 256). Null when
// minimum < 4, minimum > 256, minimum > maximum, or a "need" flag lacks its
// class. output must hold PASSWORD_BUFFER_SIZE bytes; with a null output a
// static buffer is used. Draws come from a private generator, so the
// process-wide sequence is not disturbed.
const char* generate_password(int16_t minimum, int16_t maximum, uint8_t flags, char* output = nullptr);

// toupper on every byte up to the NUL; nothing for null.
void upper_case_in_place(char* text);

// strtod / strtoul / strtol (base 10), or the default for a null text. The
// integer forms give the 32-bit results: out-of-range values saturate.
double text_to_double(const char* text, double default_value);
uint32_t text_to_unsigned(const char* text, uint32_t default_value);
int32_t text_to_int(const char* text, int32_t default_value);

// Case-insensitive comparisons through tolower (C locale): -1, 0 or 1; null
// counts as "". strnicmp compares at least the first character, also for
// n <= 0.
int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, int n);

// printf into a std::string, for texts built from the program's own formats
// (every text from outside goes in through "%s").
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
