// Everything goes to standard output as UTF-8: the data's texts converted
// from the system's 8-bit text once, names from the file system as they
// are.
#include "console_install_page.h"

#include <cstring>
#include <string>

#include "errors.h"
#include "install_dialog.h"
#include "install_log.h"
#include "text_convert.h"

namespace {

// The language's message about the path; the path alone when the data has
// no message, so that the console never says nothing.
void print_message(LANGUAGE_KEY key, const char* path) {
  std::string text = message_with_path(system_text_to_utf8(wizard_text(key)).c_str(), path);
  if (text.empty() && path) text = path;
  console_write_utf8((text + "\n").c_str());
}

}  // namespace

// The log lines already name every file; a percentage on the console would
// only repeat them.
void CONSOLE_INSTALL_PAGE::set_progress(int32_t percent, const char* text) {
  (void)percent;
  (void)text;
}

void CONSOLE_INSTALL_PAGE::ask_on_copy_error(const char* path) { print_message(COPY_ERROR_MSG, path); }

void CONSOLE_INSTALL_PAGE::report_path_error(const char* folder, const char* reason) {
  stopped = true;
  console_write_utf8(
      (path_error_text(system_text_to_utf8(wizard_text(PATH_ERROR_MSG)).c_str(), folder, reason) + "\n").c_str());
}

// A line per file: standard output may gather them; every other console
// write, and the end of the program, sends them on first, in order.
void CONSOLE_INSTALL_PAGE::logged(const char* line) {
  if (!line) return;
  console_write_utf8_held(line);
  // A line is printed whole even when the writer left its line end off.
  const size_t length = strlen(line);
  if (length == 0 || line[length - 1] != '\n') console_write_utf8_held("\n");
}
