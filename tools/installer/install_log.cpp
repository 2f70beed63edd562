#include "install_log.h"

#include <cstring>

#include "file_services.h"
#include "replace_file.h"
#include "text_convert.h"

// A new log takes the place of whatever stood at its name, a link
// included, without ever writing through it.
bool INSTALL_LOG::create() const {
  FILE_REPLACEMENT log;
  return log.begin(folder, FILE_NAME) && log.commit();
}

bool INSTALL_LOG::append(const std::string& text) const {
  return append_to_file(folder, FILE_NAME, text.data(), text.size());
}

std::string INSTALL_LOG::path() const {
  std::string text = folder.path;
  if (text.empty() || text.back() != '/') text += '/';
  return text + FILE_NAME;
}

std::string message_with_path(const char* message, const char* path) {
  std::string text = message ? message : "";
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, path ? path : "");
  return text;
}

std::string shown_path(const char* path) { return path ? utf8_to_system_text(path, strlen(path)) : std::string(); }
