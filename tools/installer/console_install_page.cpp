// Everything goes to standard output through console_print, which turns the
// system's 8-bit text into the terminal's UTF-8.
#include "console_install_page.h"

#include <cstring>

#include "database.h"
#include "errors.h"

namespace {

const char* language_text(const DATABASE& data, LANGUAGE_KEY key) {
  if (data.current_language < 0 ||
      static_cast<size_t>(data.current_language) >= data.languages.size())
    return "";
  return data.languages[static_cast<size_t>(data.current_language)].texts[key];
}

void print_line(const std::string& text) { console_print((text + "\n").c_str()); }

}  // namespace

std::string CONSOLE_INSTALL_PAGE::fill_message(const char* message, const char* path) {
  const std::string text = message ? message : "";
  const std::string where = path ? path : "";
  if (text.empty()) return where;
  const size_t mark = text.find("%s");
  if (mark == std::string::npos) return where.empty() ? text : text + "\n" + where;
  return text.substr(0, mark) + where + text.substr(mark + 2);
}

// The log lines already name every file; a percentage on the console would
// only repeat them.
void CONSOLE_INSTALL_PAGE::set_progress(int32_t percent, const char* text) {
  (void)percent;
  (void)text;
}

void CONSOLE_INSTALL_PAGE::ask_on_copy_error(const char* path) {
  ++copy_error_count;
  print_line(fill_message(language_text(data, COPY_ERROR_MSG), path));
}

void CONSOLE_INSTALL_PAGE::report_path_error(const char* path) {
  stopped = true;
  print_line(fill_message(language_text(data, PATH_ERROR_MSG), path));
}

void CONSOLE_INSTALL_PAGE::logged(const char* line) {
  if (!line) return;
  console_print(line);
  // A line is printed whole even when the writer left its line end off.
  const size_t length = strlen(line);
  if (length == 0 || line[length - 1] != '\n') console_print("\n");
}
