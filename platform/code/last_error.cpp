// The last-error store: the code and argument text a recoverable failure
// leaves behind, and the texts that turn a code into a message.
#include <algorithm>
#include <cstring>
#include <string>

#include "errors.h"

namespace {

constexpr size_t kArgumentMax = 1023;

struct LAST_ERROR {
  uint16_t code = 0;
  char argument[kArgumentMax + 1] = {};
};
LAST_ERROR last_error;

struct ERROR_TEXT {
  uint16_t code;
  const char* text;
};

// Texts of the configuration-file, colour and archive layers. They hold "%"
// as plain text ("100%"), so "%s" is replaced by hand, never printf-formatted.
constexpr ERROR_TEXT kErrorTexts[] = {
    {0, "No Error"},
    {256, "Warning: The requested entry was not found in the config file (%s)."},
    {257, "Warning: Found end of config file before it was expected, this may indicate a corrupt file."},
    {4096, "Error: Colour darkening percentage was over 100% or less than -100% which makes no sense."},
    {4097, "Error: A blank or invalid ID arg was requested from the config file."},
    {4098, "Error: Error trying to open the config file %s."},
    {4099, "Error: Trying to read entire config file without supplying a callback function."},
    {4100, "Error: Unable to allocate dynamic memory for config file reader. Make sure that you have enough free memory by closing other running applications."},
    {4101, "Error: Unable to open the package file %s in append mode."},
    {4102, "Error: Unable to open the package file %s in write mode"},
    {4103, "Error: Unable to read from file %s."},
    {4104, "Error: Unable to write to file %s."},
    {4105, "Error: %s does not appear to be a package file."},
    {4106, "Error: %s has unsupported package version."},
    {4107, "Error: Unable to allocate dynamic memory for package system. Make sure that you have enough free memory by closing other running applications."},
    {4108, "Error: Can not open file %s as it was not found."},
    {4109, "Error: Package file did not open correctly."},
    {4110, "Error: Unable to open file %s for packing."},
    {4111, "Error: Unable to create file %s."},
    {4112, "Error: File %s not found in package."},
};
constexpr const char* kUnknownErrorText = "Unknown Error Code";

constexpr size_t longest_error_text() {
  size_t longest = std::char_traits<char>::length(kUnknownErrorText);
  for (const ERROR_TEXT& row : kErrorTexts)
    longest = std::max(longest, std::char_traits<char>::length(row.text));
  return longest;
}
char error_text_buffer[longest_error_text() + kArgumentMax + 1];

}  // namespace

void set_last_error(uint16_t code, const char* argument) {
  last_error.code = code;
  const char* text = argument ? argument : "";
  size_t length = strnlen(text, kArgumentMax);
  memcpy(last_error.argument, text, length);
  last_error.argument[length] = '\0';
}

uint16_t get_last_error() {
  return last_error.code;
}

const char* get_error_text(uint16_t code, const char* argument) {
  const char* text = kUnknownErrorText;
  for (const ERROR_TEXT& row : kErrorTexts) {
    if (row.code == code) {
      text = row.text;
      break;
    }
  }

  const char* slot = strstr(text, "%s");
  if (!slot) slot = text + strlen(text);
  size_t before = static_cast<size_t>(slot - text);
  memcpy(error_text_buffer, text, before);
  size_t used = before;
  if (*slot) {
    const char* value = argument ? argument : "";
    size_t length = strnlen(value, kArgumentMax);
    memcpy(error_text_buffer + used, value, length);
    used += length;
    size_t after = strlen(slot + 2);
    memcpy(error_text_buffer + used, slot + 2, after);
    used += after;
  }
  error_text_buffer[used] = '\0';
  return error_text_buffer;
}

const char* get_last_error_text() {
  return get_error_text(last_error.code, last_error.argument);
}
