#include "install_folder_rule.h"

#include <cstring>

#include "folder.h"

bool acceptable_data_path(const char* text) {
  if (text[0] == '$' && !is_known_path_variable(text)) return false;
  for (const char* part = text; *part;) {
    const char* slash = strchr(part, '/');
    const size_t length = slash ? static_cast<size_t>(slash - part) : strlen(part);
    if (length == 2 && part[0] == '.' && part[1] == '.') return false;
    part += length + (slash ? 1 : 0);
  }
  return true;
}

const char* install_folder_problem(const char* text) {
  if (!text[0]) return "no folder is given";
  if (text[0] != '$') return "not a folder path the installer can use";
  if (!is_known_path_variable(text)) return "unknown path variable";
  if (!acceptable_data_path(text)) return "the path climbs out of its folder with \"..\"";
  return nullptr;
}
