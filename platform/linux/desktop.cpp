#include "desktop.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "command.h"
#include "file_services.h"
#include "folder_hold.h"
#include "replace_file.h"
#include "text_convert.h"

namespace {

constexpr const char* XDG_DESKTOP_MENU = "/usr/bin/xdg-desktop-menu";
constexpr const char* UPDATE_MENUS = "/usr/bin/update-menus";
constexpr const char* DEBIAN_MENU_FOLDER = "/usr/lib/menu";

std::string text_of(const char* text) {
  return text ? text : "";
}

bool is_letter_or_digit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Every character of the system text that is not an ASCII letter or digit
// becomes one "_" (a character above 255 too, not the bytes of its run).
std::string cleaned(const char* text) {
  std::string result;
  SYSTEM_TEXT_READER reader(text ? text : "");
  uint32_t c;
  while (reader.next_code_point(c)) {
    if (c > 0x7F || !is_letter_or_digit(static_cast<char>(c))) result += '_';
    else result += static_cast<char>(c);
  }
  return result;
}

std::string joined(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string target_path(const FOLDER* folder, const char* target) {
  if (!folder) return text_of(target);
  return joined(folder->path, text_of(target));
}

std::string icon_path(const FOLDER* folder, const char* icon_name) {
  if (!folder || !icon_name || !*icon_name) return "";
  return joined(folder->path, icon_name);
}

// Names and titles leave the program as UTF-8 (the files say so).
std::string utf8_text(const char* text) {
  return system_text_to_utf8(text ? text : "");
}

// A string value of a desktop entry: the file's own escapes for the
// backslash and for line breaks, so a value never spills onto another line.
std::string entry_value(const std::string& text) {
  std::string value;
  for (char c : text) {
    switch (c) {
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\r': value += "\\r"; break;
      case '\t': value += "\\t"; break;
      default: value += c;
    }
  }
  return value;
}

// An Exec value: "%" would start a field code, so it is doubled; then the
// string escapes of entry_value.
std::string exec_value(const std::string& command) {
  std::string value;
  for (char c : command) {
    value += c;
    if (c == '%') value += '%';
  }
  return entry_value(value);
}

// The target path as one double-quoted Exec argument: inside the quotes
// '"', '`', '$' and '\' take a backslash (entry_value then doubles every
// backslash, as the file's string escape requires).
std::string exec_quoted(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The command text of a link: the quoted target, a blank, the arguments.
std::string link_command(const std::string& path, const char* arguments) {
  return exec_quoted(path) + " " + text_of(arguments);
}

// A double-quoted value of a Debian menu line.
std::string menu_value(const std::string& text) {
  std::string value;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      value += ' ';
      continue;
    }
    if (c == '"' || c == '\\') value += '\\';
    value += c;
  }
  return value;
}

// The desktop's opener for a file or address, as a shell command line.
std::string opener_command(const std::string& path) {
  switch (get_desktop_kind()) {
    case DESKTOP_KDE: return "kfmclient exec " + shell_quote(path.c_str());
    case DESKTOP_GNOME: return "gnome-open " + shell_quote(path.c_str());
    default: return "konqueror " + shell_quote(path.c_str());
  }
}

std::string menu_id(const char* menu_section, const char* name) {
  // "local." stays; "_" is cleaned to itself.
  return "local." + cleaned(menu_section) + "_" + cleaned(name);
}

// The cleaned names of the section's levels: "Games", "Games-Puzzle", ...
// Empty components (a leading, trailing or doubled "/") name no level.
struct MENU_LEVEL {
  std::string component;  // as given
  std::string directory;  // the cleaned, joined name
};

std::vector<MENU_LEVEL> menu_levels(const char* menu_section) {
  std::vector<MENU_LEVEL> levels;
  std::string section = text_of(menu_section);
  std::string directory;
  size_t start = 0;
  while (start <= section.size()) {
    size_t end = section.find('/', start);
    if (end == std::string::npos) end = section.size();
    std::string component = section.substr(start, end - start);
    if (!component.empty()) {
      if (!directory.empty()) directory += "-";
      directory += cleaned(component.c_str());
      levels.push_back({component, directory});
    }
    start = end + 1;
  }
  return levels;
}

// A whole file in the folder, replacing whatever stood at its name (a link
// included) only once all of it is written. The folder is reached without
// following another user's links and written through its descriptor; with
// make, it is made when missing (its parent must exist).
bool write_file(const std::string& folder, const std::string& name, const std::string& bytes,
                bool make = false) {
  FOLDER where;
  FOLDER_HOLD held;
  FILE_REPLACEMENT file;
  return where.set_absolute(folder.c_str()) &&
         held.reach(where, make ? FOLDER_HOLD::MAKE::LAST : FOLDER_HOLD::MAKE::NOTHING) &&
         file.begin(where, name.c_str(), FILE_REPLACEMENT::PERMISSIONS_DEFAULT, &held) &&
         file.write(bytes.data(), bytes.size()) && file.commit();
}

// "rm -f" done in place: a missing file counts as removed.
bool remove_path(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

int run(const std::vector<std::string>& arguments, uint32_t flags) {
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  return run_command(argv.data(), flags);
}

// A fixed system path under the test root, when one is set. The root's
// length is bounded so that the short paths used here always fit.
std::string fixed_path(const char* path) {
  const char* redirected = system_path(path);
  return redirected ? redirected : path;
}

bool xdg_desktop_menu_exists() {
  return access(fixed_path(XDG_DESKTOP_MENU).c_str(), F_OK) == 0;
}

int run_update_menus() {
  return run({fixed_path(UPDATE_MENUS)}, 0);
}

// The files handed to xdg-desktop-menu live in this run's private
// temporary folder; the tool only uses their base names.
bool private_temporary_folder(std::string* path) {
  FOLDER folder;
  if (!get_standard_folder(&folder, 7, nullptr, true)) return false;
  *path = folder.path;
  return !path->empty();
}


// A value of user-dirs.dirs: "$HOME/..." or an absolute path, in double
// quotes with backslash escapes; "" when it is neither.
std::string user_dirs_value(const std::string& quoted, const std::string& home) {
  if (quoted.size() < 2 || quoted.front() != '"') return "";
  std::string value;
  for (size_t i = 1; i < quoted.size() && quoted[i] != '"'; ++i) {
    if (quoted[i] == '\\' && i + 1 < quoted.size()) ++i;
    value += quoted[i];
  }
  if (value == "$HOME") return home;
  if (value.rfind("$HOME/", 0) == 0) return joined(home, value.substr(6));
  return value.empty() || value[0] != '/' ? "" : value;
}

// The desktop folder the user's user-dirs.dirs names, "" when it names
// none; ~/Desktop when the file or the entry is missing.
std::string desktop_folder_path() {
  const std::string home = text_of(get_home_folder());
  const char* config_home = getenv("XDG_CONFIG_HOME");
  const std::string config = config_home && config_home[0] == '/' ? config_home : joined(home, ".config");
  std::string path = joined(home, "Desktop");
  FOLDER folder;
  FILE* file = folder.set_absolute(config.c_str()) ? open_file(folder, "user-dirs.dirs", "r") : nullptr;
  if (!file) return path;
  constexpr char kKey[] = "XDG_DESKTOP_DIR=";
  char line[4096];
  while (fgets(line, sizeof line, file)) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text.compare(start, sizeof kKey - 1, kKey) != 0) continue;
    path = user_dirs_value(text.substr(start + sizeof kKey - 1), home);
  }
  close_file(file);
  // The home folder itself stands for a desktop folder switched off.
  if (path.empty() || joined(path, "") == joined(home, "")) return "";
  return path;
}

}  // namespace

int create_desktop_shortcut(uint8_t kind, const char* target, const char* arguments,
                            const char* name, const FOLDER* icon_folder, const char* icon_name,
                            const FOLDER* target_folder) {
  FOLDER desktop;
  if (!get_desktop_folder(&desktop)) return 0;

  std::string path = target_path(target_folder, target);
  std::string icon = icon_path(icon_folder, icon_name);
  std::string title = entry_value(utf8_text(name));
  std::string text;
  switch (kind) {
    case SHORTCUT_APPLICATION:
      text = "[Desktop Entry]\nEncoding=UTF-8\nVersion=1.0\nType=Application\nName=" + title +
             "\nComment=" + title + "\nExec=" + exec_value(link_command(path, arguments)) +
             "\nIcon=" + entry_value(icon) + "\n";
      break;
    case SHORTCUT_WEB_LINK:
      text = "[Desktop Entry]\nEncoding=UTF-8\nVersion=1.0\nType=Link\nName=" + title +
             "\nIcon=" + entry_value(icon.empty() ? "www" : icon) +
             "\nURL=" + entry_value(text_of(target)) + "\n";
      break;
    case SHORTCUT_TEXT_FILE:
      // The plain path: a viewer opens the URL as it stands.
      text = "[Desktop Entry]\nEncoding=UTF-8\nVersion=1.0\nType=Link\nName=" + title +
             "\nIcon=" + entry_value(icon.empty() ? "ascii" : icon) +
             "\nURL=" + entry_value(path) + "\n";
      break;
    default:
      break;  // an unknown kind leaves the file empty
  }
  return write_file(desktop.path, cleaned(name) + ".desktop", text) ? 1 : 0;
}

int create_os_menu_shortcut(uint8_t kind, const char* target, const char* arguments,
                            const char* name, const char* menu_section,
                            const FOLDER* icon_folder, const char* icon_name,
                            const FOLDER* target_folder) {
  std::string id = menu_id(menu_section, name);
  std::string xdg_name = id.substr(6);

  // Icon and command by kind.
  std::string path = target_path(target_folder, target);
  std::string icon = icon_path(icon_folder, icon_name);
  if (icon.empty())
    icon = kind == SHORTCUT_APPLICATION ? "exec" : kind == SHORTCUT_WEB_LINK ? "www" : "ascii";
  std::string command;
  std::string exec;
  if (kind == SHORTCUT_APPLICATION) {
    command = shell_quote(path.c_str()) + " " + text_of(arguments);
    exec = link_command(path, arguments);
  } else {
    if (kind == SHORTCUT_WEB_LINK) command = get_browser_command(path.c_str(), false);
    else command = opener_command(path) + " &";
    // A desktop starts an entry's Exec without a shell: "$BROWSER" would
    // stay unexpanded and "&" and the single quotes would reach the opener
    // as arguments. The command line is therefore handed to sh as one
    // quoted argument.
    exec = "sh -c " + exec_quoted(command);
  }
  std::string title = utf8_text(name);

  // The Debian menu file, in the system's menu folder or else the user's.
  const std::string menu_name = id + ".desktop";
  const std::string line = "?package(" + menu_value(id) + "): command=\"" + menu_value(command) +
                           "\" icon=\"" + menu_value(icon) + "\" section=\"" +
                           menu_value(utf8_text(menu_section)) + "\" title=\"" + menu_value(title) +
                           "\" needs=\"x11\" startup_notify=\"true\"\n";
  bool menu_made = write_file(fixed_path(DEBIAN_MENU_FOLDER), menu_name, line);
  if (!menu_made) {
    if (const char* home = get_home_folder()) {
      menu_made = write_file(joined(home, ".menu"), menu_name, line, true);
    }
  }

  // The entry for xdg-desktop-menu, when that tool is installed.
  std::string xdg_tool = fixed_path(XDG_DESKTOP_MENU);
  std::string temporary;
  const std::string xdg_name_file = "vorn-" + xdg_name + ".desktop";
  std::string xdg_file;
  bool xdg_ready = false;
  if (xdg_desktop_menu_exists() && private_temporary_folder(&temporary)) {
    xdg_file = joined(temporary, xdg_name_file);
    const std::string entry = "[Desktop Entry]\nVersion=1.0\nType=Application\nName=" +
                              entry_value(title) + "\nExec=" + exec_value(exec) +
                              "\nIcon=" + entry_value(icon) + "\n";
    xdg_ready = write_file(temporary, xdg_name_file, entry);
  }

  // Without xdg only the Debian menu remains.
  if (!xdg_ready) {
    run_update_menus();
    return menu_made ? 1 : 0;
  }

  // One directory file per level of the section; those written are
  // handed over.
  std::vector<std::string> directory_files;
  bool xdg_installed = false;
  for (const MENU_LEVEL& level : menu_levels(menu_section)) {
    std::string file = "vorn-" + level.directory + ".directory";
    std::string entry = "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=" +
                        entry_value(utf8_text(level.component.c_str())) + "\nIcon=folder\n";
    if (write_file(temporary, file, entry)) directory_files.push_back(joined(temporary, file));
  }

  // Install, then drop the handed-over files.
  if (!directory_files.empty()) {
    std::vector<std::string> install = {xdg_tool, "install"};
    install.insert(install.end(), directory_files.begin(), directory_files.end());
    install.push_back(xdg_file);
    xdg_installed = run(install, 0) == 0;
    for (const std::string& file : directory_files) remove_path(file);
  }

  remove_path(xdg_file);
  if (menu_made) run_update_menus();
  // Where xdg-desktop-menu is installed, it is what puts the entry into
  // the desktop's menu.
  return xdg_installed ? 1 : 0;
}

int remove_desktop_shortcut(const char* name) {
  FOLDER desktop;
  if (!get_desktop_folder(&desktop)) return 0;
  return remove_path(joined(desktop.path, cleaned(name) + ".desktop")) ? 0 : 1;
}

bool get_desktop_folder(FOLDER* folder) {
  const std::string path = desktop_folder_path();
  return folder && !path.empty() && is_directory(path.c_str()) && folder->set_absolute(path.c_str());
}

int remove_os_menu_shortcut(const char* name, const char* menu_section) {
  std::string id = menu_id(menu_section, name);
  remove_path(joined(fixed_path(DEBIAN_MENU_FOLDER), id + ".desktop"));
  if (const char* home = get_home_folder())
    remove_path(joined(joined(home, ".menu"), id + ".desktop"));

  if (xdg_desktop_menu_exists()) {
    // xdg-desktop-menu knows its entries by base name only, so the files
    // need not exist for the uninstall.
    std::string temporary;
    if (!private_temporary_folder(&temporary)) temporary = fixed_path("/tmp");
    std::vector<std::string> uninstall = {fixed_path(XDG_DESKTOP_MENU), "uninstall"};
    for (const MENU_LEVEL& level : menu_levels(menu_section))
      uninstall.push_back(joined(temporary, "vorn-" + level.directory + ".directory"));
    if (uninstall.size() > 2) {
      uninstall.push_back(joined(temporary, "vorn-" + id.substr(6) + ".desktop"));
      run(uninstall, 0);
    }
  }
  return run_update_menus();
}

int get_desktop_kind() {
  const char* desktop = getenv("DESKTOP");
  if (!desktop || !*desktop) desktop = getenv("DESKTOP_SESSION");
  if (desktop) {
    std::string lower = desktop;
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.find("kde") != std::string::npos) return DESKTOP_KDE;
    if (lower.find("gnome") != std::string::npos) return DESKTOP_GNOME;
  }
  if (access(fixed_path("/usr/bin/kfmclient").c_str(), R_OK) == 0) return DESKTOP_KDE;
  if (access(fixed_path("/usr/bin/gnome-open").c_str(), R_OK) == 0) return DESKTOP_GNOME;
  return DESKTOP_OTHER;
}

const char* get_browser_command(const char* address, bool background) {
  static std::string command;
  const char* browser = getenv("BROWSER");
  if (browser && *browser) {
    // The shell expands $BROWSER; the address is one quoted argument.
    std::string spaced;
    for (char c : text_of(address)) {
      if (c == ' ') spaced += "%20";
      else spaced += c;
    }
    command = "$BROWSER " + shell_quote(spaced.c_str());
  } else {
    command = opener_command(text_of(address));
  }
  if (background) command += " &";
  return command.c_str();
}

int open_in_browser(const char* address) {
  std::string command = get_browser_command(address, true);
  return run({"/bin/sh", "-c", command}, 0);
}

int open_with_desktop(const FOLDER* folder, const char* name) {
  std::string path;
  if (folder) {
    const char* made = make_path(*folder, name);
    if (!made) return -1;
    path = made;
  } else {
    path = text_of(name);
  }
  switch (get_desktop_kind()) {
    case DESKTOP_KDE: return run({"kfmclient", "exec", path}, COMMAND_NO_WAIT);
    case DESKTOP_GNOME: return run({"gnome-open", path}, COMMAND_NO_WAIT);
    default: return run({"konqueror", path}, COMMAND_NO_WAIT);
  }
}
