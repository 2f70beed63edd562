#include "install_log.h"

#include <cstring>

#include "replace_file.h"
#include "text_convert.h"

bool INSTALL_LOG::start(const FOLDER& where, const FOLDER_HOLD& held) {
  file.close();
  folder = where;
  // The lines go to the file made here, through its own descriptor: never
  // to whatever else may take its name afterwards.
  FILE_REPLACEMENT log;
  return log.begin(folder, FILE_NAME, FILE_REPLACEMENT::PERMISSIONS_DEFAULT, &held) &&
         file.adopt(log.commit_and_keep());
}

bool INSTALL_LOG::append(const std::string& text) { return file.append(text.data(), text.size()); }

void INSTALL_LOG::close() { file.close(); }

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

std::string path_error_text(const char* message, const char* folder, const char* reason) {
  std::string text = message_with_path(message, folder);
  if (!text.empty()) text += '\n';
  if (folder && *folder) text = text + folder + ": ";
  return text + (reason ? reason : "");
}

std::string shown_path(const char* path) { return path ? utf8_to_system_text(path, strlen(path)) : std::string(); }
