// make_installer: turns a folder of files and a short description into a
// real installer file for preparers, the demo and the tests. It fills a
// DATABASE, packs installer.pkg with the package writer (files, their
// permission bits, texts, the fonts its look draws with, database.bin) and
// writes the payload behind a copy of the bare installer.
//
//   make_installer <description> <bare installer> <output>
//
// The description's keys are in description_keys.cpp, which --help prints.
// Texts that are shown (language names and texts, installation and link names, the
// splash title) are stored in the system's 8-bit form; names of files,
// folders and the application stay as they are on disk. Every number is
// checked against what its stored field and the installer can use.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "builder_look.h"
#include "data_file.h"
#include "database.h"
#include "database_look.h"
#include "description_keys.h"
#include "errors.h"
#include "file_modes.h"
#include "file_services.h"
#include "folder.h"
#include "folder_entries.h"
#include "font.h"
#include "install_folder_rule.h"
#include "installer_pictures.h"
#include "package.h"
#include "package_data_file.h"
#include "packing_choice.h"
#include "payload.h"
#include "source_tree.h"
#include "text_convert.h"
#include "wm_dialog.h"

namespace {

struct PACKED_TEXT {
  std::string file;    // in the description's folder
  std::string stored;  // "licence-%d" and friends
};

// What a "file" line changes on the records of that name.
struct FILE_OPTIONS {
  int number = 0;    // the description's line
  std::string name;  // below a files folder
  bool switch_user = false;
  int32_t overwrite = -1;  // -1: not given
  std::string platform;
  bool platform_given = false;
};

// A language's name for an installation, matched by the installation's
// name once the whole description has been read.
struct INSTALLATION_NAME {
  int number;  // the description's line
  size_t language;
  std::string installation;
  std::string text;  // as shown
};

struct DESCRIPTION {
  FOLDER base;
  std::vector<std::string> file_folders;
  std::vector<FILE_OPTIONS> file_options;
  std::vector<PACKED_TEXT> texts;
  std::vector<std::string> installation_texts;  // each installation's name as shown
  std::vector<INSTALLATION_NAME> installation_names;
  LINK_RULE links = LINK_RULE::REFUSE;
  std::string skin;
  int skin_line = 0;
  std::vector<int> file_folder_lines;  // of file_folders
  std::string splash_picture, splash_title;
  uint16_t bar[4] = {};
  int splash_line = 0, window_line = 0, dialog_line = 0;
  std::vector<int> language_lines;  // of data.languages
  bool screen_check = false;        // min_screen given
  std::map<std::pair<size_t, int>, int> text_lines;  // (language, key): the line giving the text
  PAYLOAD_OPTIONS payload;
};

std::string trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> fields(const std::string& value) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t bar; (bar = value.find('|', start)) != std::string::npos; start = bar + 1)
    out.push_back(trim(value.substr(start, bar - start)));
  out.push_back(trim(value.substr(start)));
  return out;
}

// Relative paths count from the working folder.
std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  const char* here = getenv("PWD");
  return std::string(here ? here : ".") + "/" + path;
}

// The folder part of a path and the name after the last '/'.
std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/')); }
std::string name_of(const std::string& path) { return path.substr(path.rfind('/') + 1); }

[[noreturn]] void fail(const std::string& message) {
  fprintf(stderr, "make_installer: %s\n", message.c_str());
  exit(1);
}

[[noreturn]] void fail_at(int number, const std::string& message) {
  fail("line " + std::to_string(number) + ": " + message);
}

// The system's reason for the call that failed last.
std::string reason() { return strerror(errno); }

// A value of the description as a message quotes it: its first 60
// characters, control characters escaped, and "…" where it goes on. A
// stray 10 MB line comes back as a line, not as itself.
std::string echo(const std::string& value) {
  constexpr size_t kShownCharacters = 60;
  const auto* bytes = reinterpret_cast<const uint8_t*>(value.data());
  size_t at = 0;
  for (size_t characters = 0; at < value.size() && characters < kShownCharacters; ++characters) {
    uint32_t unused = 0;
    const size_t used = utf8_decode(bytes + at, value.size() - at, unused);
    at += used ? used : 1;
  }
  const std::string shown = escape_control_characters(value.substr(0, at));
  return at < value.size() ? shown + "\xE2\x80\xA6" : shown;  // "…"
}

// Why path is not a folder the build can read from; "" when it is one.
std::string folder_problem(const std::string& path) {
  std::string real;
  if (resolve_path(path, real)) return is_real_directory(real.c_str()) ? "" : "not a folder";
  return errno == ENAMETOOLONG ? "its path is too long" : reason();
}

// A file the build reads: one that is a folder, missing or unreadable ends
// the build with the reason.
void check_input_file(const FOLDER& folder, const std::string& name, const std::string& what) {
  if (get_file_kind(folder, name.c_str()) == FILE_KIND::DIRECTORY) fail(what + " is a folder");
  FILE* probe = open_file(folder, name.c_str(), "rb");
  if (!probe) fail("cannot read " + what + ": " + reason());
  close_file(probe);
}

std::string count_of(uint32_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

[[noreturn]] void fail_form(int number, const std::string& key) {
  fail_at(number, "expected " + description_form(key) + " (make_installer --help lists the keys)");
}

std::vector<std::string> words(const std::string& value) {
  std::vector<std::string> out;
  for (size_t at = 0; (at = value.find_first_not_of(" \t", at)) != std::string::npos;) {
    const size_t end = value.find_first_of(" \t", at);
    out.push_back(value.substr(at, end - at));
    at = end;
  }
  return out;
}

// What one number of a value may be.
struct RANGE {
  const char* what;
  int64_t low, high;
};

// Windows, dialogs and screens are stored and drawn with 16-bit signed
// sides and places.
constexpr int64_t kLargestSide = INT16_MAX;
// The window the installer draws: its frame buffer, 4 bytes a pixel, is
// held whole, and 8192 x 8192 (256 MB) is already more than any screen
// shows. The dialog lies inside it.
constexpr int64_t kLargestWindowSide = 8192;

// The value's words as whole numbers, each within its range; a value may
// stop after the required ones. Anything else ends the build at its line.
std::vector<int64_t> numbers(const std::string& value, std::initializer_list<RANGE> ranges, size_t required,
                             const std::string& key, int number) {
  const std::vector<std::string> given = words(value);
  if (given.size() != ranges.size() && given.size() != required) fail_form(number, key);
  std::vector<int64_t> out;
  for (size_t i = 0; i < given.size(); ++i) {
    const RANGE& range = ranges.begin()[i];
    // An overflow saturates, far outside every range.
    char* end = nullptr;
    const long long parsed = strtoll(given[i].c_str(), &end, 10);
    if (*end != '\0' || parsed < range.low || parsed > range.high)
      fail_at(number, key + ": the " + range.what + " must be a whole number from " + std::to_string(range.low) +
                          " to " + std::to_string(range.high) + ", not \"" + echo(given[i]) + "\"");
    out.push_back(parsed);
  }
  return out;
}

int16_t side(int64_t value) { return static_cast<int16_t>(value); }

int language_key(const std::string& name) {
  for (int k = 0; k < LANGUAGE_KEY_COUNT; ++k)
    if (name == LANGUAGE_KEY_NAMES[k]) return k;
  return -1;
}

bool is_utf8(const std::string& text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  uint32_t unused = 0;
  for (size_t at = 0, used = 0; at < text.size(); at += used)
    if ((used = utf8_decode(bytes + at, text.size() - at, unused)) == 0) return false;
  return true;
}

// A shown text in the system's 8-bit form; one that its field would have to
// cut is refused.
std::string shown_text(const std::string& utf8, int number) {
  std::string text = utf8_to_system_text(utf8.data(), utf8.size());
  if (text.size() >= DATABASE_TEXT_SIZE)
    fail_at(number, "the text takes more than the " + std::to_string(DATABASE_TEXT_SIZE - 1) +
                        " bytes a stored text may have");
  return text;
}

// A name or path of the data; one that its field would cut (and so point
// somewhere else) is refused, where says which line and key gave it.
template <size_t N>
void set_name_field(char (&field)[N], const std::string& text, const std::string& where) {
  if (text.size() >= N)
    fail(where + ": \"" + echo(text) + "\" is longer than the " + std::to_string(N - 1) +
         " bytes the installer stores for it");
  set_field_text(field, text);
}

std::string line_and_key(int number, const std::string& key) {
  return "line " + std::to_string(number) + ": " + key;
}

// The installer holds at most this many records of a kind: files (and
// empty folders) of an installation, installations, languages, links.
constexpr size_t kMostRecords = static_cast<size_t>(DATABASE::MAX_COUNT);

// Refuses the record that would be one too many, at its line.
void check_room(size_t had, const char* what, int number) {
  if (had < kMostRecords) return;
  fail_at(number, "one " + std::string(what) + " more than the " + std::to_string(kMostRecords) + " " + what +
                      "s the installer can hold");
}

// The tree's files are stored under this folder of the package, so that
// none of them takes the name of an entry the installer keeps for itself
// (database.bin, the text pages, the fonts).
const std::string kTreeEntries = "files/";

// Rows enough for the text window to keep a whole text page once its lines
// are wrapped to the dialog: a row for every line and one more for every
// 32 bytes in it. More rows than the page needs only cost memory; fewer
// lose its beginning.
int16_t text_page_rows(const FOLDER& base, const std::string& name, int number) {
  FILE* file = open_file(base, name.c_str(), "rb");
  if (!file) fail_at(number, "cannot read " + echo(name) + ": " + reason());
  int32_t rows = 0, line = 0;
  for (int c; (c = fgetc(file)) != EOF;) {
    if (c == '\n' || c == '\r') {
      rows += 1 + line / 32;
      line = 0;
    } else {
      ++line;
    }
  }
  close_file(file);
  rows += 1 + line / 32;
  return static_cast<int16_t>(std::min<int32_t>(rows, DATABASE::MAX_COUNT - 1));
}

// Every file and every empty folder below root as a record of each
// installation; links and other entries that cannot be packed are all
// named before the build stops.
void add_source_files(DATABASE& data, const std::string& root, LINK_RULE links, LINK_COPIES& copies, int number) {
  const std::string where = line_and_key(number, "files");
  // A missing folder is said alone, with its reason.
  if (const std::string why = folder_problem(root); !why.empty()) fail(where + ": " + echo(root) + ": " + why);
  std::vector<std::string> problems;
  LINK_COPIES found;
  std::vector<SOURCE_ITEM> folders;
  // The walk stops one past the room left, so that a huge tree is refused
  // at once, before a record is made.
  const size_t had = data.installations.empty() ? 0 : data.installations[0].files.size();
  const size_t room = kMostRecords - std::min(had, kMostRecords);
  const std::vector<SOURCE_ITEM> items = walk_source_tree(root, links, problems, &found, &folders, room + 1);
  if (items.size() > room)
    fail(where + ": " + echo(root) + " holds more than " + std::to_string(room) +
         " files and empty folders: an installation holds at most " + std::to_string(kMostRecords) +
         (had ? " (" + std::to_string(had) + " come from the files lines above)" : std::string()));
  copies.links += found.links;
  copies.files += found.files;
  copies.bytes += found.bytes;
  if (!problems.empty()) {
    for (const std::string& problem : problems)
      fprintf(stderr, "make_installer: %s\n", problem.c_str());
    fail(std::to_string(problems.size()) + (problems.size() == 1 ? " entry" : " entries") +
         " below " + root + " cannot be packed");
  }
  for (const std::string& writable : writable_by_others(items, folders))
    fprintf(stderr, "make_installer: warning: %s may be written by others than its owner, and keeps those bits "
                    "when installed as root\n", writable.c_str());
  // Each folder's bits travel beside the records, by its path below the
  // install folder.
  for (const SOURCE_ITEM& folder : folders) data.folder_modes.emplace(folder.relative, folder.mode & 0777);
  for (const SOURCE_ITEM& item : items) {
    DATABASE_FILE file;
    const size_t slash = item.relative.rfind('/');
    const std::string holder = slash == std::string::npos ? "" : item.relative.substr(0, slash);
    const std::string own_name = item.relative.substr(slash + 1);
    if (item.name.empty()) {
      // A folder with nothing in it: a record without a file name makes it.
      set_name_field(file.dest_path_from_inst_loc, "$app/" + item.relative, where);
      set_name_field(file.packed_name, item.relative + "/", where);
    } else {
      set_name_field(file.src_name, item.name, where);
      set_name_field(file.src_path_from_xml, item.folder, where);
      // A link stored as a copy keeps its own name.
      if (item.name != own_name) set_name_field(file.dest_name, own_name, where);
      // Empty: the install folder itself.
      set_name_field(file.dest_path_from_inst_loc, holder.empty() ? "" : "$app/" + holder, where);
      set_name_field(file.packed_name, kTreeEntries + item.relative, where);
      file.permissions = item.mode;
    }
    for (DATABASE_INSTALLATION& installation : data.installations) installation.files.push_back(file);
  }
}

// The "file" lines, on the records of that name below a files folder.
void apply_file_options(DATABASE& data, const std::vector<FILE_OPTIONS>& all) {
  for (const FILE_OPTIONS& each : all) {
    bool found = false;
    for (DATABASE_INSTALLATION& installation : data.installations)
      for (DATABASE_FILE& file : installation.files) {
        if (kTreeEntries + each.name != file.packed_name) continue;
        found = true;
        // Whoever may write a set-id file may run anything as its owner.
        if (each.switch_user && file.permissions >= 0 && (file.permissions & (S_IWGRP | S_IWOTH))) {
          char bits[8];
          snprintf(bits, sizeof bits, "%04o", static_cast<unsigned>(file.permissions & 07777));
          fail_at(each.number, "file " + each.name + ": switch_user on a file that others than its owner may write "
                                                     "to (" + bits + ")");
        }
        if (each.switch_user) file.switch_user = 1;
        if (each.overwrite >= 0) file.overwrite = static_cast<uint8_t>(each.overwrite);
        if (each.platform_given) file.platform.set(each.platform.c_str());
      }
    if (!found) fail_at(each.number, "file " + echo(each.name) + ": no such file below a files folder");
  }
}

// The options of a "file" line.
FILE_OPTIONS file_options(const std::vector<std::string>& parts, int number) {
  FILE_OPTIONS each;
  each.number = number;
  each.name = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& option = parts[i];
    const size_t blank = option.find_first_of(" \t");
    const std::string word = option.substr(0, blank);
    const std::string argument = blank == std::string::npos ? "" : trim(option.substr(blank));
    if (word == "switch_user" && argument.empty()) {
      each.switch_user = true;
    } else if (word == "overwrite") {
      each.overwrite = static_cast<int32_t>(numbers(argument, {{"overwrite rule", 0, 2}}, 1, "file", number)[0]);
    } else if (word == "platform") {
      each.platform = argument;
      each.platform_given = true;
    } else {
      fail_at(number, "file " + echo(each.name) + ": not understood: " + echo(option) +
                          " (switch_user, overwrite 0|1|2 or platform <list>)");
    }
  }
  return each;
}

// The dialog within the window, where the wizard can show it whole (a
// place of -1 centres it).
void check_dialog_fits(const DATABASE& data, const DESCRIPTION& d) {
  const DATABASE_BOX& dialog = data.dialog;
  const int32_t right = dialog.x == -1 ? dialog.width : dialog.x + dialog.width;
  const int32_t bottom = dialog.y == -1 ? dialog.height : dialog.y + dialog.height;
  if (right <= data.window.width && bottom <= data.window.height) return;
  fail_at(d.dialog_line ? d.dialog_line : d.window_line,
          "the dialog (" + std::to_string(dialog.width) + " x " + std::to_string(dialog.height) + " at " +
              std::to_string(dialog.x) + " " + std::to_string(dialog.y) + ") does not fit in the window (" +
              std::to_string(data.window.width) + " x " + std::to_string(data.window.height) + ")");
}

// Each language's names for the installations: the installation's own name
// unless the language gives one.
void fill_installation_names(DATABASE& data, const DESCRIPTION& d) {
  for (DATABASE_LANGUAGE& each : data.languages) {
    each.installation_strings.resize(data.installations.size());
    for (size_t i = 0; i < data.installations.size(); ++i)
      snprintf(each.installation_strings[i].data(), DATABASE_TEXT_SIZE, "%s", d.installation_texts[i].c_str());
  }
  for (const INSTALLATION_NAME& name : d.installation_names) {
    size_t i = 0;
    while (i < data.installations.size() && name.installation != data.installations[i].name) ++i;
    if (i == data.installations.size()) fail_at(name.number, "no installation " + echo(name.installation));
    snprintf(data.languages[name.language].installation_strings[i].data(), DATABASE_TEXT_SIZE, "%s",
             name.text.c_str());
  }
}

// Names every text that the wizard will show blank because the language
// leaves it empty (a warning: the build goes on).
void warn_of_empty_texts(const DATABASE& data, const DESCRIPTION& d) {
  WIZARD_USE use;
  use.languages = data.languages.size() > 1;
  use.types = data.installations.size() > 1;
  for (const DATABASE_INSTALLATION& installation : data.installations)
    for (const DATABASE_SHORTCUT& link : installation.shortcuts)
      (link.menu_section[0] ? use.menu_entry : use.desktop_link) = true;
  use.screen_check = d.screen_check;
  for (size_t i = 0; i < data.languages.size(); ++i) {
    const DATABASE_LANGUAGE& language = data.languages[i];
    use.licence = language.licence.filename[0] != '\0';
    use.release_notes = language.release_notes.filename[0] != '\0';
    use.readme = language.readme.filename[0] != '\0';
    for (int k = 0; k < LANGUAGE_KEY_COUNT; ++k)
      if (!language.texts[k][0] && text_is_shown(k, use))
        fprintf(stderr,
                "make_installer: warning: line %d: language %s leaves %s empty (%s): the wizard shows it blank\n",
                d.language_lines[i], echo(system_text_to_utf8(language.name)).c_str(), LANGUAGE_KEY_NAMES[k],
                text_place(k));
  }
}

// The description's bytes; a folder, or a file that cannot be read, ends
// the build with the reason.
std::string description_text(const FOLDER& folder, const std::string& name, const std::string& path) {
  check_input_file(folder, name, "the description " + path);
  FILE* file = open_file(folder, name.c_str(), "rb");
  if (!file) fail("cannot read the description " + path + ": " + reason());
  std::string text;
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  const std::string why = ferror(file) ? reason() : "";
  close_file(file);
  if (!why.empty()) fail("cannot read the description " + path + ": " + why);
  return text;
}

bool is_language_key(const std::string& key) {
  return key == "licence" || key == "readme" || key == "release_notes" || key == "installation_name" ||
         language_key(key) >= 0;
}

DESCRIPTION read_description(const char* path, DATABASE& data) {
  DESCRIPTION d;
  const std::string whole_path = absolute(path);
  const std::string folder_text = folder_of(whole_path);
  if (!d.base.set_absolute(folder_text.c_str())) fail("no folder " + folder_text);
  std::istringstream file(description_text(d.base, name_of(whole_path), path));
  DATABASE_LANGUAGE* language = nullptr;
  int number = 0;
  for (std::string raw; std::getline(file, raw);) {
    ++number;
    if (number == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);  // a byte-order mark
    // A stored text ends at its first NUL: what follows would be lost.
    if (const size_t nul = raw.find('\0'); nul != std::string::npos)
      fail_at(number, "a NUL byte at byte " + std::to_string(nul + 1) + " of the line; a description is text");
    if (!is_utf8(raw)) fail_at(number, "not UTF-8 text");
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) fail_at(number, "no '='");
    const std::string key = trim(line.substr(0, equals));
    const std::string value = trim(line.substr(equals + 1));
    const std::vector<std::string> parts = fields(value);
    if (!language && is_language_key(key))
      fail_at(number, key + " belongs to a language: it comes after a \"language = <name>\" line");
    if (key == "app") {
      set_name_field(data.application.app_string, value, line_and_key(number, key));
    } else if (key == "version") {
      set_field_text(data.application.version, shown_text(value, number));
    } else if (key == "window") {
      const auto n =
          numbers(value, {{"width", 1, kLargestWindowSide}, {"height", 1, kLargestWindowSide}}, 2, key, number);
      data.window.width = side(n[0]);
      data.window.height = side(n[1]);
      d.window_line = number;
    } else if (key == "dialog") {
      const auto n = numbers(value,
                             {{"width", 1, kLargestWindowSide},
                              {"height", 1, kLargestWindowSide},
                              {"x", -1, kLargestWindowSide},
                              {"y", -1, kLargestWindowSide}},
                             2, key, number);
      data.dialog.width = side(n[0]);
      data.dialog.height = side(n[1]);
      const bool placed = n.size() == 4;
      data.dialog.x = placed ? side(n[2]) : 0;
      data.dialog.y = placed ? side(n[3]) : 0;
      d.dialog_line = number;
    } else if (key == "min_screen") {
      const auto n = numbers(value, {{"width", 1, kLargestSide}, {"height", 1, kLargestSide}}, 2, key, number);
      data.check_desktop_size.width = side(n[0]);
      data.check_desktop_size.height = side(n[1]);
      d.screen_check = true;
    } else if (key == "installation") {
      if (parts.size() != 2) fail_form(number, key);
      check_room(data.installations.size(), "installation", number);
      // The installer's own rule for an install folder, so that a folder
      // it would refuse on every machine stops the build instead.
      if (const char* why = install_folder_problem(parts[1].c_str()))
        fail_at(number, "installation " + echo(parts[0]) + ": the folder \"" + echo(parts[1]) + "\": " + why +
                            " (it begins with a folder variable such as $ROOT0 or $ROOT1; make_installer --help "
                            "lists them)");
      DATABASE_INSTALLATION& installation = data.installations.emplace_back();
      set_name_field(installation.name, parts[0], line_and_key(number, key));
      set_name_field(installation.default_path, parts[1], line_and_key(number, key));
      d.installation_texts.push_back(shown_text(parts[0], number));
    } else if (key == "files") {
      d.file_folders.push_back(value);
      d.file_folder_lines.push_back(number);
    } else if (key == "links") {
      if (value != "refuse" && value != "copy") fail_form(number, key);
      d.links = value == "copy" ? LINK_RULE::COPY_INSIDE : LINK_RULE::REFUSE;
    } else if (key == "file") {
      if (parts.size() < 2) fail_form(number, key);
      d.file_options.push_back(file_options(parts, number));
    } else if (key == "time_stamp") {
      data.time_stamp = static_cast<int32_t>(numbers(value, {{"time", 0, INT32_MAX}}, 1, key, number)[0]);
    } else if (key == "link") {
      if (parts.size() != 3 && parts.size() != 4) fail_form(number, key);
      if (data.installations.empty())
        fail_at(number, "a link belongs to the installation above it, and there is none yet");
      check_room(data.installations.back().shortcuts.size(), "link", number);
      DATABASE_SHORTCUT& link = data.installations.back().shortcuts.emplace_back();
      set_field_text(link.name, shown_text(parts[0], number));
      set_name_field(link.target, parts[1], line_and_key(number, key));
      set_field_text(link.target_path_from_inst_loc, "$app");
      link.kind = static_cast<uint8_t>(numbers(parts[2], {{"kind", 1, 3}}, 1, key, number)[0]);
      if (parts.size() == 4) set_field_text(link.menu_section, shown_text(parts[3], number));
    } else if (key == "skin") {
      d.skin = value;
      d.skin_line = number;
    } else if (key == "splash") {
      if (parts.size() != 3) fail_form(number, key);
      const auto n = numbers(parts[2],
                             {{"bar x", 0, kLargestSide},
                              {"bar y", 0, kLargestSide},
                              {"bar width", 1, kLargestSide},
                              {"bar height", 1, kLargestSide}},
                             4, key, number);
      std::copy(n.begin(), n.end(), d.bar);
      d.splash_picture = parts[0];
      d.splash_title = utf8_to_system_text(parts[1].data(), parts[1].size());
      d.splash_line = number;
    } else if (key == "chunk_size") {
      d.payload.chunk_size =
          static_cast<uint32_t>(numbers(value, {{"size", 1, PAYLOAD_MAX_CHUNK_SIZE}}, 1, key, number)[0]);
    } else if (key == "compressed") {
      if (value != "0" && value != "1") fail_form(number, key);
      d.payload.compressed = value == "1";
    } else if (key == "language") {
      check_room(data.languages.size(), "language", number);
      language = &data.languages.emplace_back();
      d.language_lines.push_back(number);
      set_field_text(language->name, shown_text(value, number));
    } else if (key == "licence" || key == "readme" || key == "release_notes") {
      const auto index = static_cast<int32_t>(data.languages.size()) - 1;
      d.texts.push_back({value, text_page_name(key.c_str(), index)});
      DATABASE_TEXT_PAGE& page = key == "licence" ? language->licence
                                 : key == "readme" ? language->readme
                                                   : language->release_notes;
      set_field_text(page.filename, d.texts.back().stored);
      if (key != "licence") page.lines = text_page_rows(d.base, value, number);
    } else if (key == "installation_name") {
      if (parts.size() != 2) fail_form(number, key);
      d.installation_names.push_back(
          {number, data.languages.size() - 1, parts[0], shown_text(parts[1], number)});
    } else if (language_key(key) >= 0) {
      set_field_text(language->texts[language_key(key)], shown_text(value, number));
      d.text_lines[{data.languages.size() - 1, language_key(key)}] = number;
    } else {
      fail_at(number, "not understood: " + echo(key) + " (make_installer --help lists the keys)");
    }
  }
  if (data.installations.empty() || data.languages.empty())
    fail(std::string(path) + ": an installation and a language are needed (\"installation =\" and "
                             "\"language =\" lines)");
  check_dialog_fits(data, d);
  fill_installation_names(data, d);
  warn_of_empty_texts(data, d);
  return d;
}

// Why a file could not be stored: the system's reason when it cannot be
// read, else the package's.
std::string pack_failure(const FOLDER& folder, const char* name, const char* stored) {
  FILE* probe = open_file(folder, name, "rb");
  const std::string path = std::string(folder.path) + "/" + name;
  if (!probe) return "cannot read " + path + ": " + reason();
  close_file(probe);
  return "cannot store " + path + " as " + stored + ": " + get_last_error_text();
}

void pack(DATABASE& data, const DESCRIPTION& d, const FOLDER& work, uint32_t block_size) {
  PACKAGE package(work, "installer.pkg", true, static_cast<int32_t>(block_size), true, false);
  if (!package.is_open()) fail(std::string("cannot make installer.pkg: ") + get_last_error_text());
  for (const DATABASE_INSTALLATION& installation : data.installations)
    for (const DATABASE_FILE& file : installation.files) {
      if (!file.src_name[0]) continue;  // an empty folder: nothing to store
      FOLDER source;
      if (!source.set_absolute(file.src_path_from_xml) ||
          (!package.has_file(file.packed_name) &&
           !package.add_file(source, file.src_name, file.packed_name)))
        fail("cannot pack " + std::string(file.packed_name).substr(kTreeEntries.size()) + ": " +
             pack_failure(source, file.src_name, file.packed_name));
    }
  if (!write_file_modes(package, data))
    fail(std::string("cannot store the files' permissions: ") + get_last_error_text());
  for (const PACKED_TEXT& text : d.texts)
    if (!package.add_file(d.base, text.file.c_str(), text.stored.c_str()))
      fail("cannot pack " + text.file + ": " + pack_failure(d.base, text.file.c_str(), text.stored.c_str()));
  // Only the fonts that the look draws with: the installer loads each slot
  // from the package where the machine lacks its font, and leaves the
  // others free.
  FOLDER fonts;
  if (!fonts.set_absolute(get_system_font_folder())) fail("no font folder");
  for (uint8_t slot : fonts_of_look(data)) {
    const char* name = get_builtin_font_file(slot);
    if (!package.has_file(name) && !package.add_file(fonts, name))
      fail(std::string("cannot pack the font ") + name + ": " + pack_failure(fonts, name, name));
  }
  DATA_FILE* stored = package.open_file("database.bin", 1, 255);
  if (!stored) fail("cannot store database.bin");
  const bool written = data.put_to_data_device(stored);
  if (!FOLDER::close_data_file(stored) || !written)
    fail("cannot write database.bin");
  if (!package.flush()) fail("cannot finish installer.pkg");
}

bool append(const FOLDER& folder, const char* from, const char* to) {
  FILE* in = open_file(folder, from, "rb");
  FILE* out = open_file(folder, to, "ab");
  bool ok = in && out;
  char buffer[65536];
  for (size_t n; ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0;)
    ok = fwrite(buffer, 1, n, out) == n;
  if (in) close_file(in);
  if (out && !close_file(out)) ok = false;
  return ok;
}

// payload.bin in folder, for the installer.pkg there.
bool make_payload(const FOLDER& folder, const PAYLOAD_OPTIONS& options) {
  // No order byte and swap on: every integer of the payload is big-endian.
  DATA_FILE* payload = folder.open_data_file("payload.bin", 1, 1);
  if (!payload) return false;
  const bool written = write_payload(*payload, folder, "installer.pkg", options);
  return FOLDER::close_data_file(payload) && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    print_description_help(stdout);
    return 0;
  }
  if (argc != 4) {
    fprintf(stderr,
            "usage: make_installer <description> <bare installer> <output>\n"
            "make_installer --help lists the description's keys.\n");
    return 2;
  }
  set_message_box_handler(message_box_to_stderr);
  FOLDER bare;
  const std::string bare_path = absolute(argv[2]);
  const std::string out_path = absolute(argv[3]);
  if (!bare.set_absolute(folder_of(bare_path).c_str())) fail("no folder " + folder_of(bare_path));
  check_input_file(bare, name_of(bare_path), "the bare installer " + bare_path);
  static DATABASE data;
  set_field_text(data.log.dest_path_from_inst_loc, "$app");
  DESCRIPTION d = read_description(argv[1], data);
  LINK_COPIES copies;
  for (size_t i = 0; i < d.file_folders.size(); ++i) {
    const std::string& sub = d.file_folders[i];
    add_source_files(data, sub[0] == '/' ? sub : std::string(d.base.path) + "/" + sub, d.links, copies,
                     d.file_folder_lines[i]);
  }
  if (copies.links > 0)
    fprintf(stderr, "make_installer: links = copy: %s stored as copies of what they point to: %s, %llu bytes\n",
            count_of(copies.links, "symbolic link", "symbolic links").c_str(),
            count_of(copies.files, "file", "files").c_str(), static_cast<unsigned long long>(copies.bytes));
  apply_file_options(data, d.file_options);
  const std::string control = data.control_character_name();
  if (!control.empty()) fail("the name \"" + control + "\" holds a control character, which no name may hold");
  set_builder_look(data);
  if (!d.skin.empty()) {
    const std::string skin = d.skin[0] == '/' ? d.skin : std::string(d.base.path) + "/" + d.skin;
    const std::string why = folder_problem(skin);
    if (!why.empty() || !load_builder_skin(data, skin))
      fail_at(d.skin_line, "skin: cannot load the skin in " + echo(skin) + ": " +
                               (why.empty() ? "its path is longer than the installer stores" : why));
  }
  WM_DIALOG::init_default_styles();
  warn_about_cut_button_texts(
      data,
      [&d](size_t language, int key) {
        const auto at = d.text_lines.find({language, key});
        return at == d.text_lines.end() ? 0 : at->second;
      },
      stderr);

  // The program's own folder is no place for this run's files: without a
  // temporary folder of its own the build stops.
  FOLDER work;
  if (!work.set("$TEMP", true, nullptr, true)) {
    std::string why = get_temporary_folder_failures();
    std::replace(why.begin(), why.end(), '\n', ';');
    fail("cannot make a temporary folder" + (why.empty() ? std::string() : " in " + why));
  }
  // A folder passed over (an unusable TMPDIR) is named, not ignored.
  if (*get_temporary_folder_failures())
    fprintf(stderr, "make_installer: the temporary folder could not be made in:\n%s\nIt is %s instead.\n",
            get_temporary_folder_failures(), work.path);
  const PACKING_CHOICE packing = choose_packing(data);
  if (d.payload.chunk_size == 0) d.payload.chunk_size = packing.chunk_size;
  pack(data, d, work, packing.block_size);

  PAYLOAD_SPLASH splash;
  if (!d.splash_picture.empty()) {
    if (d.splash_picture == "*")
      draw_start_picture(splash.image);
    else if (!splash.image.load(d.base, d.splash_picture.c_str()))
      fail_at(d.splash_line, "splash: cannot load the picture " + echo(d.splash_picture));
    if (d.bar[0] + d.bar[2] > splash.image.width || d.bar[1] + d.bar[3] > splash.image.height)
      fail_at(d.splash_line, "splash: the bar (" + std::to_string(d.bar[2]) + " x " + std::to_string(d.bar[3]) +
                                 " at " + std::to_string(d.bar[0]) + " " + std::to_string(d.bar[1]) +
                                 ") does not fit in the picture (" + std::to_string(splash.image.width) + " x " +
                                 std::to_string(splash.image.height) + ")");
    splash.title.set(d.splash_title.c_str());
    splash.bar_style.copy(data.progress_bar_style);
    splash.bar_x = d.bar[0], splash.bar_y = d.bar[1], splash.bar_width = d.bar[2],
    splash.bar_height = d.bar[3];
    d.payload.splash = &splash;
  }
  if (!make_payload(work, d.payload)) fail("cannot write the payload");

  if (!copy_file(bare, name_of(bare_path).c_str(), work, "setup"))
    fail("cannot copy the bare installer " + bare_path + " to " + work.path + ": " + reason());
  if (!append(work, "payload.bin", "setup") || !chmod_file(work, "setup", 0755))
    fail("cannot write " + std::string(work.path) + "/setup: " + reason());
  FOLDER output;
  if (!output.set_absolute(folder_of(out_path).c_str()) ||
      !copy_file(work, "setup", output, name_of(out_path).c_str()))
    fail("cannot write " + out_path + ": " + reason());
  printf("%s\n", out_path.c_str());
  remove_temporary_folder();
  return 0;
}
