// Numbered warnings and errors: their message tables and the boxes that
// show them; an error then ends the program.
#include <cstdio>
#include <iterator>
#include <string>

#include "errors.h"

namespace {

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

}  // namespace

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
