#include "install_log.h"

#include <cstdio>

#include "file_services.h"

namespace {

bool write_whole(const FOLDER& folder, const char* mode, const std::string& text) {
  FILE* file = open_file(folder, INSTALL_LOG::FILE_NAME, mode);
  if (!file) return false;
  const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
  return close_file(file) && written;
}

}  // namespace

bool INSTALL_LOG::create() const { return write_whole(folder, "wb", std::string()); }

bool INSTALL_LOG::append(const std::string& text) const {
  if (get_file_kind(folder, FILE_NAME) != FILE_KIND::REGULAR) return false;
  return write_whole(folder, "ab", text);
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
