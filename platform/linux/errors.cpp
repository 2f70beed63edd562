#include "errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <unistd.h>

#include "command.h"
#include "file_services.h"
#include "input.h"
#include "platform.h"
#include "text_convert.h"
#include "window.h"
#include "x11_state.h"

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

struct REPORT_ROW {
  uint32_t code;
  uint32_t append_argument;
  const char* text;
  const char* more_information;  // never shown; non-null adds the question
};

// Rows that ask the question but whose details were never written down.
constexpr const char* kNoDetails = "";

constexpr REPORT_ROW kWarnings[] = {
    {0x0000, 1, "DEBUG MESSAGE:", nullptr},
    {0x0001, 1, "Unable to create debug file", nullptr},
    {0x0002, 1, "Unable to open debug file", nullptr},
    {0x0003, 1, "Sound layer was unable to start", nullptr},
    {0x0010, 0, "Too many colour for a 256 Palette", kNoDetails},
    {0x0020, 0, "Scrollbar dimentions are invalid", nullptr},
    {0x0021, 0, "Slider bar width is invalid", nullptr},
};

constexpr REPORT_ROW kErrors[] = {
    {0x0000, 0, "Main window pointer invalid", kNoDetails},
    {0x0001, 0, "Unable to open screen mode", nullptr},
    {0x0002, 0, "OpenGraphics() not called", kNoDetails},
    {0x0003, 0, "COLOUR_INVISIBLE was passed as an invalid argument", kNoDetails},
    {0x0004, 0, "No mouse driver installed", "Check that the mouse is configured properly"},
    {0x0005, 0, "Two mouse handlers declared", "The platform supports one mouse only"},
    {0x0006, 0, "Three joystick handlers declared", "The platform supports two joysticks only"},
    {0x0007, 0, "Two keyboard handlers declared", "The platform supports one keyboard only"},
    {0x0008, 0, "Unable to allocate keyboard buffer", nullptr},
    {0x0009, 1, "Unable to open keyboard configuration file", kNoDetails},
    {0x000A, 0, "Receive buffer ssize supplied to TCPIP::TCPIP() was invalid", nullptr},
    {0x000B, 0, "Unable to allocate dynamic memory for TCP/IP layer", kNoDetails},
    {0x000C, 0, "Path type constant passed to function FOLDER::set() was invalid", nullptr},
    {0x000D, 0, "Platform OS ID read from disk in function FOLDER::get_from_data_device() was invalid", nullptr},
    {0x000E, 0, "Attempted to read data from a file that was opened for writing", nullptr},
    {0x000F, 0, "Attempted to write to a file that was opened for reading", nullptr},
    {0x0010, 0, "Unable to create swap image", kNoDetails},
    {0x0011, 0, "Unable to allocate dynamic memory for colour mapping array", kNoDetails},
    {0x0012, 0, "The desktop colour depth is not supported", kNoDetails},
    {0x0013, 1, "Unable to open the window", kNoDetails},
    {0x0014, 0, "Two sound handlers declared", kNoDetails},
    {0x0015, 0, "Unable to allocate dynamic memory for data file cache", kNoDetails},
    {0x0020, 0, "Unable to allocate dynamic memory for image", kNoDetails},
    {0x0021, 0, "Unable to startup the font system", nullptr},
    {0x0022, 0, "Unable to load font from disk", kNoDetails},
    {0x0023, 0, "Unable to allocate dynamic memory for font", kNoDetails},
    {0x0024, 0, "Unable to set the font pixel size", nullptr},
    {0x0025, 0, "Unable to render font glyph", nullptr},
    {0x0026, 1, "Unable to open PCX image file", kNoDetails},
    {0x0027, 1, "Unable to read PCX header from file", kNoDetails},
    {0x0028, 0, "Invalid number of sprite images specified", nullptr},
    {0x0029, 0, "Unable to allocate memory for sprite image", nullptr},
    {0x002A, 1, "No PCX palatte found in file", nullptr},
    {0x0030, 0, "Invalid number of stars specified for starfeild", nullptr},
    {0x0031, 0, "Invalid starfield dimentions specifed", nullptr},
    {0x0032, 0, "Unable to allocate memory for starfield", nullptr},
    {0x0040, 1, "Invalid argument format for command line option:", kNoDetails},
    {0x0041, 1, "No argument for command line option:", kNoDetails},
    {0x0042, 1, "Unrecognised command line option:", kNoDetails},
    {0x0050, 0, "Unable to allocate dynamic memory for http", kNoDetails},
    {0x0051, 0, "Unable to open sockets", kNoDetails},
    {0x0060, 0, "Screen object has invalid size", kNoDetails},
    {0x0061, 0, "Unable to allocate memory for button title", nullptr},
    {0x0062, 0, "Invalid button size or title", nullptr},
    {0x0063, 0, "Unable to allocate memory for dialog title", nullptr},
    {0x0064, 0, "Invalid dialog size or title", nullptr},
    {0x0065, 0, "Unable to allocate memory for script title", nullptr},
    {0x0066, 0, "Unable to allocate memory for about box close button", nullptr},
    {0x0067, 0, "Unable to allocate memory for about box scripts", nullptr},
    {0x0068, 0, "Unable to allocate memory for keypad data members", nullptr},
    {0x0069, 0, "Invalid area count supplied to page manager", kNoDetails},
    {0x006A, 0, "Two page managers declared", kNoDetails},
    {0x006B, 0, "Unable to allocate memory for page manager areas", nullptr},
    {0x006C, 0, "Two page tool managers declared", kNoDetails},
    {0x0070, 0, "Srollbar slew values are invalid", nullptr},
    {0x0071, 0, "Scrollbar is not on the drawable screen", nullptr},
    {0x0072, 0, "The scrollbar slew variable pointer is invalid", nullptr},
    {0x0073, 0, "Scrollbar slew variable is of the wrong type", kNoDetails},
    {0x0074, 0, "Invalid scrollbar type", nullptr},
    {0x0080, 0, "Invalid dimensions passed to edit box constructor", nullptr},
    {0x0081, 0, "Unable to allocate memory for edit box buffer", nullptr},
    {0x0090, 0, "Unable to allocate memory for text window screen buffer", nullptr},
    {0x0091, 0, "Unable to allocate memory for text window data buffer", kNoDetails},
    {0x0100, 0, "Invalid number of rows passed to list box", nullptr},
    {0x0101, 0, "List box start selection not found in list", nullptr},
    {0x0110, 0, "Invalid dimensions passed to progress bar constructor", nullptr},
    {0x0111, 0, "Unable to allocate memory for progress bar title", nullptr},
    {0x1001, 0, "Invalid player attributes passed to constructor", kNoDetails},
    {0x1010, 0, "Unable to open dungeon amp config file", kNoDetails},
    {0x1011, 0, "Unknown token read from dungeon map config file", nullptr},
    {0x1020, 1, "Unable to allocate dynamic memory for table ", kNoDetails},
    {0x1021, 0, "Unable to allocate dynamic memory for fixture", kNoDetails},
    {0x1022, 0, "Unable to allocate dynamic memory for competition", kNoDetails},
    {0x1023, 1, "Invalid race entry found in ", nullptr},
    {0x1024, 1, "Invalid injury area found in ", nullptr},
    {0x1025, 0, "Unable to open competition file", kNoDetails},
};
static_assert(std::size(kWarnings) == 7 && std::size(kErrors) == 76);

MESSAGE_BOX_HANDLER message_box_handler = nullptr;
bool debug_file_first_write = true;

template <size_t N>
const REPORT_ROW* find_row(const REPORT_ROW (&table)[N], uint16_t code) {
  for (const REPORT_ROW& row : table)
    if (row.code == code) return &row;
  return nullptr;
}

// Finds the row, forms the message and shows it under the given title.
void report(const REPORT_ROW* row, const char* label, uint16_t code, const char* argument,
            const char* undefined, const char* title) {
  if (!row) {
    show_message_box(title, undefined, false);
    return;
  }
  char head[32];
  snprintf(head, sizeof head, "%s: %04X:\n", label, static_cast<unsigned>(code));
  std::string message = std::string(head) + row->text + " ";
  if (row->append_argument && argument) message += argument;
  show_message_box(title, message.c_str(), row->more_information != nullptr);
}

bool file_readable(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) return false;
  fclose(file);
  return true;
}

// What a person sees when no message program can run.
void console_message_box(const char* title, const char* text) {
  fprintf(stdout, "\n*\n*\t%s\n*\n*\t%s\n*\n*  Press Return\n*\n",
          system_text_to_utf8(title).c_str(), system_text_to_utf8(text).c_str());
  fflush(nullptr);
  getchar();
}

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

void report_warning(uint16_t code, const char* argument) {
  report(find_row(kWarnings, code), "WARNING", code, argument,
         "WARNING: Undefined warning encountered", "Warning");
}

void report_error(uint16_t code, const char* argument) {
  report(find_row(kErrors, code), "ERROR", code, argument,
         "ERROR: Undefined error encountered", "Error");
  fatal_exit("Application was unable to continue");
}

void show_message_box(const char* title, const char* text, bool more_information) {
  if (more_information && text) {
    std::string longer = std::string(text) + "\n\nDo you require more information?";
    message_box(title, longer.c_str());
    return;
  }
  message_box(title, text);
}

int message_box(const char* title, const char* text) {
  if (!title || !text) return 0;
  if (message_box_handler) return message_box_handler(title, text);

  // Full screen: the pointer and keyboard grabs must be released first so
  // that the box can take input.
  if (is_full_screen()) {
    release_input_grabs();
    platform_update();
  }
  constexpr const char* kGmessage = "/usr/X11R6/bin/gmessage";
  std::string body = std::string(title) + ":\n\n" + text;
  const char* with_gmessage[] = {kGmessage, "-center", "-buttons", "OK:2", body.c_str(), nullptr};
  const char* with_xmessage[] = {"xmessage", "-buttons", "OK:2", body.c_str(), nullptr};
  const char* const* argv = file_readable(kGmessage) ? with_gmessage : with_xmessage;

  int status = run_command(argv, COMMAND_QUIET);
  if (status == 1 || status == 127 || status == -1) console_message_box(title, text);
  return status;
}

void set_message_box_handler(MESSAGE_BOX_HANDLER handler) {
  message_box_handler = handler;
}

int message_box_to_stderr(const char* title, const char* text) {
  fprintf(stderr, "MESSAGE BOX %s:\n%s\n", title, text);
  fflush(stderr);
  return 2;
}

// The system's text is Latin-1 with code runs; terminals read UTF-8.
void console_print(const char* text) {
  if (text) fputs(system_text_to_utf8(text).c_str(), stdout);
  fflush(nullptr);
}

void fatal_exit(const char* message) {
  if (message)
    fprintf(stdout, "\nError, unable to continue...\n\n%s\n\n", system_text_to_utf8(message).c_str());
  close_window(ALL_SCREENS);
  x11_close_display();
  remove_temporary_folder();
  fflush(nullptr);
  _exit(255);
}

void debug_print(const char* file, int line, const char* text) {
  if (file) {
    std::string head = std::string("Debug - File: ") + file + " Line " + std::to_string(line) + ": = ";
    console_print(head.c_str());
  }
  console_print(text);
  console_print("\n");
}

void debug_to_file(const char* file, int line, const char* text, const char* path) {
  const char* target = path ? path : "debug.txt";
  FILE* out = nullptr;
  if (debug_file_first_write && strcmp(target, "debug.txt") == 0) {
    out = fopen(target, "w");
    if (!out) {
      report_warning(0x0001, "debug.txt");
      return;
    }
    debug_file_first_write = false;
  } else {
    out = fopen(target, "a");
    if (!out) {
      report_warning(0x0002, target);
      return;
    }
  }
  if (file) fprintf(out, "Debug - File: %s Line %d: = %s\n", file, line, text ? text : "");
  else fprintf(out, "%s\n", text ? text : "");
  fclose(out);
}
