// The DATABASE and the world around it: the installer package with its data
// and fonts, the index file, the platform names and lists that say which
// files and shortcuts belong to this machine, and the log of an earlier
// installation.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "data_file.h"
#include "database.h"
#include "file_modes.h"
#include "file_services.h"
#include "font.h"
#include "package_data_file.h"
#include "skin_loader.h"
#include "string_utils.h"
#include "text_file.h"

namespace {

struct PLATFORM_ROW {
  uint8_t code;
  const char* name;   // what get_platform_name gives
  const char* alias;  // another name the filter accepts, or null
};

constexpr PLATFORM_ROW kPlatforms[] = {
    {1, "linux", "linux_i86"}, {17, "macosx", nullptr}, {33, "windows", "win32"},
    {129, "gp2x", nullptr},    {130, "winmob_arm", nullptr}, {131, "psp", nullptr},
    {132, "nds", nullptr},
};

// Little-endian machines, by code; 133 is accepted here although no name
// belongs to it.
bool is_lsb_code(uint8_t code) {
  return code == 1 || code == 17 || code == 33 || (code >= 129 && code <= 133);
}

void replace_first(std::string& text, const char* find, const char* by) {
  const size_t at = text.find(find);
  if (at != std::string::npos) text.replace(at, strlen(find), by);
}

// A bitness item names a keyword when it is a non-empty beginning of it, in
// any letter case.
bool item_names(const std::string& item, const char* keyword) {
  return strnicmp(item.c_str(), keyword, std::max<int>(static_cast<int>(item.size()), 1)) == 0;
}

// Stored path texts may name variables but never climb with "..".
bool climbs(const char* text) {
  const std::string path = std::string("/") + text + "/";
  return path.find("/../") != std::string::npos;
}

// Resolves a path text from stored data or a log without making any
// folder; an unknown variable is a plain failure, never the fatal error.
bool resolve_existing(FOLDER& folder, const char* text) {
  if (!text || !*text || climbs(text)) return false;
  return folder.set_stored_path(text);
}

constexpr char kLogName[] = "install_log.txt";
constexpr char kSettingsTag[] = "Settings: ";
constexpr size_t kRecordedFolderMax = 1024;

}  // namespace

bool DATABASE::load_package(const char* name) {
  if (!name || !*name) return false;
  DATA_FILE* probe = pack_folder.open_data_file(name, 0, 255);
  if (!probe) return false;
  FOLDER::close_data_file(probe);

  auto open = [this, name] {
    package = std::make_unique<PACKAGE>(pack_folder, name, true, 1024, true, true);
    if (!package->is_open()) package.reset();
    return package != nullptr;
  };
  const int32_t opened_with = DATA_FILE::get_default_buffer_size();
  if (!open()) return false;

  bool read = false;
  DATA_FILE* data = package->open_file("database.bin", 0, 255);
  if (data) {
    read = get_from_data_device(data);
    FOLDER::close_data_file(data);
  }
  // The files' permission bits travel beside their records.
  if (read) read = read_file_modes(*package, *this);
  if (read) {
    FOLDER temporary;
    temporary.set("$TEMP");
    for (uint8_t slot = 0; slot < FONT_BUILTIN_COUNT; ++slot) {
      // A slot that holds a face already keeps it (the font table refuses
      // to load another into it), so its file is not unpacked for nothing.
      if (FONT::get(slot)) continue;
      const char* file = get_builtin_font_file(slot);
      // A font the package lacks leaves its slot to the font table's own
      // handling of a missing file.
      package->extract(temporary, file, file);
      FONT::load(file, get_builtin_font_name(slot), slot, &temporary);
      remove_file(temporary, file);
    }
  }
  // The files opened from now on take the buffer size the data asks for
  // (the default one after a failed read). The package is opened afresh
  // with it, so that nothing of the data read stays pending in it, only
  // where the size changed or the read failed: an unpacked payload has set
  // the size its data asks for already, and walking the records of
  // thousands of files a second time costs the install's start.
  DATA_FILE::set_default_buffer_size(
      static_cast<int32_t>(std::min<uint32_t>(file_cache_sz, INT32_MAX)));
  if (!read || DATA_FILE::get_default_buffer_size() != opened_with) {
    package.reset();
    if (!open() || !read) return false;
  }

  uint32_t files = 0;
  for (DATABASE_INSTALLATION& installation : installations) {
    files += static_cast<uint32_t>(installation.files.size());
    installation.has_desktop_shortcut = installation.has_menu_shortcut = 0;
    for (const DATABASE_SHORTCUT& shortcut : installation.shortcuts) {
      if (!match_platform(shortcut.platform)) continue;
      if (shortcut.menu_section[0]) installation.has_menu_shortcut = 1;
      else installation.has_desktop_shortcut = 1;
    }
  }
  // The stored count is 16 bits wide; it saturates rather than wraps.
  total_file_count = static_cast<uint16_t>(std::min<uint32_t>(files, UINT16_MAX));
  if (!installations.empty())
    set_field_text(install_folder, installations[0].default_path);
  copy_browser_icons(*this);
  return true;
}

bool DATABASE::save_index() {
  DATA_FILE* file = pack_folder.open_data_file("installer.idx", 1, 255);
  if (!file) return false;
  bool ok = put_to_data_device(file);
  if (!ok) file->error = 1;
  return FOLDER::close_data_file(file) && ok;
}

bool DATABASE::load_index() {
  DATA_FILE* file = pack_folder.open_data_file("installer.idx", 0, 255);
  if (!file) return false;
  bool ok = get_from_data_device(file);
  if (!ok) file->error = 1;
  FOLDER::close_data_file(file);
  return ok;
}

const char* DATABASE::get_platform_name(uint8_t code) {
  for (const PLATFORM_ROW& row : kPlatforms)
    if (row.code == code) return row.name;
  return "";
}

void DATABASE::set_platform_filter(const char* name) {
  if (!name) return;
  for (const PLATFORM_ROW& row : kPlatforms) {
    if (stricmp(name, row.name) == 0 || (row.alias && stricmp(name, row.alias) == 0)) {
      platform_filter = row.code;
      return;
    }
  }
}

uint8_t DATABASE::get_shortcut_kind(const char* name) {
  if (!name) return 0;
  if (stricmp(name, "application") == 0) return 1;
  if (stricmp(name, "weblink") == 0) return 2;
  if (stricmp(name, "textfile") == 0) return 3;
  return 0;
}

bool DATABASE::match_platform(const VORN_STRING& list, const uint8_t* code) {
  const char* text = list.get_text();
  if (!text || !*text) return true;
  // -p names the machine to install for; this machine's own platform keeps
  // its bitness rules.
  if (!code && platform_filter != 0 && platform_filter != kPlatforms[0].code) code = &platform_filter;
  const std::string whole(text);
  const size_t colon = whole.find(':');
  const bool has_items = colon != std::string::npos && colon > 0;
  std::string platform = has_items ? whole.substr(0, colon) : whole;
  replace_first(platform, "linux_i86", "linux");
  replace_first(platform, "win32", "windows");
  const bool lsb = stricmp(platform.c_str(), "lsb") == 0;
  const bool msb = stricmp(platform.c_str(), "msb") == 0;

  if (code) {
    if (lsb) return is_lsb_code(*code);
    if (msb) return *code == 17;
    return platform == get_platform_name(*code);
  }
  if (lsb) return true;
  if (msb || platform != "linux") return false;
  if (!has_items) return true;

  const uint32_t bitness = system_information().os_version;
  std::string items = whole.substr(colon + 1);
  size_t start = 0;
  while (start < items.size()) {
    size_t end = items.find(',', start);
    if (end == std::string::npos) end = items.size();
    const std::string item = items.substr(start, end - start);
    if ((item_names(item, "32bit") && bitness == 256) ||
        (item_names(item, "64bit") && bitness == 257) ||
        (item_names(item, "unknown") && (bitness == 0 || bitness == 4358 || bitness == 10649)))
      return true;
    start = end + 1;
  }
  return false;
}

bool DATABASE::find_previous_installation() {
  // Where the install worker would install, found without making it: with
  // system paths only where the installation allows them, as the worker
  // decides.
  const DATABASE_INSTALLATION* installation = chosen_installation_data();
  const bool system_paths = use_system_paths && system_information().system_folders && installation &&
                            installation->allow_system_paths;
  FOLDER app;
  app.set("$APP");
  set_base_path(app, application.app_string);
  FOLDER location;
  const bool located = system_paths ? location.set_path("$SYSAPP", false, nullptr, false, true)
                                    : resolve_existing(location, install_folder);
  if (!located) {
    clear_base_path();
    return false;
  }
  const bool system_lookup = system_paths && patch.system_dest_path_from_inst_loc[0];
  const char* log_text =
      system_lookup ? patch.system_dest_path_from_inst_loc : patch.dest_path_from_inst_loc;
  if (climbs(log_text)) {
    clear_base_path();
    return false;
  }
  set_base_path(location, application.app_string);
  FOLDER log_folder;
  if (!resolve_existing(log_folder, log_text)) log_folder = location;
  clear_base_path();

  if (!file_exists(log_folder, kLogName)) return false;
  TEXT_FILE* log_file = log_folder.open_text_file(kLogName, 0);
  if (!log_file) return false;
  char line[2 * kRecordedFolderMax + 64];
  log_file->line_size = static_cast<int16_t>(sizeof line);
  bool found = false, line_start = true;
  while (!found && log_file->read_line(line)) {
    found = line_start && strncmp(line, kSettingsTag, strlen(kSettingsTag)) == 0;
    line_start = log_file->line_state != TEXT_FILE::LINE_CUT;
  }
  int ignored = 0;
  int16_t recorded_system = 0;
  char recorded[kRecordedFolderMax + 2] = {};
  const int numbers =
      found ? sscanf(line + strlen(kSettingsTag), "%d %hd %1024c", &ignored, &recorded_system,
                     recorded)
            : 0;
  FOLDER::close_text_file(log_file);
  if (numbers < 2) return false;

  if (recorded_system != 0) return system_lookup;
  if (system_lookup) return false;
  set_base_path(location, application.app_string);
  FOLDER recorded_folder, current_folder;
  const bool same = resolve_existing(recorded_folder, recorded) &&
                    resolve_existing(current_folder, install_folder) &&
                    strcmp(recorded_folder.path, current_folder.path) == 0;
  clear_base_path();
  return same;
}
