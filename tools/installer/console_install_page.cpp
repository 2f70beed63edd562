// Everything goes to standard output through console_print, which turns the
// system's 8-bit text into the terminal's UTF-8.
#include "console_install_page.h"

#include <cstring>
#include <string>

#include "errors.h"
#include "install_dialog.h"
#include "install_log.h"

namespace {

// The language's message about the path; the path alone when the data has
// no message, so that the console never says nothing.
void print_message(LANGUAGE_KEY key, const char* path) {
  std::string text = message_with_path(wizard_text(key), path);
  if (text.empty() && path) text = path;
  console_print((text + "\n").c_str());
}

}  // namespace

// The log lines already name every file; a percentage on the console would
// only repeat them.
void CONSOLE_INSTALL_PAGE::set_progress(int32_t percent, const char* text) {
  (void)percent;
  (void)text;
}

void CONSOLE_INSTALL_PAGE::ask_on_copy_error(const char* path) {
  ++copy_error_count;
  print_message(COPY_ERROR_MSG, path);
}

void CONSOLE_INSTALL_PAGE::report_path_error(const char* path) {
  stopped = true;
  print_message(PATH_ERROR_MSG, path);
}

void CONSOLE_INSTALL_PAGE::logged(const char* line) {
  if (!line) return;
  console_print(line);
  // A line is printed whole even when the writer left its line end off.
  const size_t length = strlen(line);
  if (length == 0 || line[length - 1] != '\n') console_print("\n");
}
