#include "file_modes.h"

#include <map>
#include <string>

#include "data_file.h"
#include "database.h"
#include "package.h"
#include "package_data_file.h"

bool write_file_modes(PACKAGE& package, const DATABASE& data) {
  std::map<std::string, uint16_t> modes;
  for (const DATABASE_INSTALLATION& installation : data.installations)
    for (const DATABASE_FILE& file : installation.files)
      if (file.permissions >= 0)
        modes.emplace(file.packed_name, static_cast<uint16_t>(file.permissions & 0777));
  for (const auto& [folder, mode] : data.folder_modes)
    modes.emplace(folder + "/", static_cast<uint16_t>(mode & 0777));
  DATA_FILE* stored = package.open_file(FILE_MODES_NAME, 1, 255);
  if (!stored) return false;
  bool written = stored->write_u32(static_cast<uint32_t>(modes.size()));
  for (auto each = modes.begin(); written && each != modes.end(); ++each)
    written = stored->write_string(each->first.c_str()) && stored->write_u16(each->second);
  return FOLDER::close_data_file(stored) && written;
}

bool read_file_modes(PACKAGE& package, DATABASE& data) {
  data.folder_modes.clear();
  if (!package.has_file(FILE_MODES_NAME)) return true;
  DATA_FILE* stored = package.open_file(FILE_MODES_NAME, 0, 255);
  if (!stored) return false;
  std::map<std::string, uint16_t> modes;
  uint32_t count = 0;
  // Entries are read one by one, so a count that lies costs nothing.
  bool read = stored->read_u32(count);
  for (uint32_t i = 0; read && i < count; ++i) {
    // Whole, so that a name too long for a record matches none.
    uint32_t length = 0;
    uint16_t mode = 0;
    char* name = stored->read_u32(length) ? stored->read_text(length) : nullptr;
    read = name && stored->read_u16(mode);
    if (read) modes[std::string(name, length)] = mode & 0777;
    delete[] name;
  }
  FOLDER::close_data_file(stored);
  if (!read) return false;
  for (DATABASE_INSTALLATION& installation : data.installations)
    for (DATABASE_FILE& file : installation.files) {
      const auto found = modes.find(file.packed_name);
      if (found != modes.end()) file.permissions = found->second;
    }
  for (const auto& [name, mode] : modes)
    if (name.size() > 1 && name.back() == '/') data.folder_modes[name.substr(0, name.size() - 1)] = mode;
  return true;
}
