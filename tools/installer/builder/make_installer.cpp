// make_installer: test and demo support that turns a folder of files and a
// short description into a real installer file. It fills a DATABASE,
// packs installer.pkg with the package writer (files, texts, the fonts
// its look draws with, database.bin), writes the payload behind a copy of
// the bare installer.
//
//   make_installer <description> <bare installer> <output>
//
// The description is UTF-8 text with one "key = value" per line ('#' starts
// a comment); paths are relative to the description's folder. Texts that
// are shown (language names and texts, installation and link names, the
// splash title) are stored in the system's 8-bit form; names of files, folders
// and the application stay as they are on disk.
//   app = <name>                 version = <text>
//   window = <width> <height>    dialog = <width> <height> [<x> <y>]
//   min_screen = <width> <height>   smaller screens are warned on the options page
//   installation = <name> | <default path>
//   files = <folder>             every file and empty folder below it, hidden
//                                ones too, installed alike
//   links = refuse | copy        a symbolic link below a files folder stops
//                                the build (refuse, the default), or one that
//                                stays inside the folder is packed as a copy
//                                of what it points to (copy)
//   file = <name below a files folder> | <option> ...   what differs for it:
//                                "switch_user", "overwrite <0|1|2>",
//                                "platform <list>"
//   time_stamp = <seconds>       what overwrite 1 compares with
//   link = <name> | <target file> | <kind 1 app, 3 text> [| <menu section>]
//                                a desktop link, or a menu entry with a
//                                section; the target lies in the install folder
//   skin = <folder>              optional skin folder: its style sets, the
//                                pictures they name, its icons and its
//                                "background" picture (the window's)
//   splash = <picture> | <title> | <bar x> <bar y> <bar w> <bar h>
//                                '*' as the picture: the built-in start picture
//   chunk_size = <bytes>         compressed = 0 or 1
//                                (without chunk_size it is chosen, as is
//                                the package's block size)
//   language = <name>            starts a language; then for it:
//   <LANGUAGE KEY> = <text>      licence|readme|release_notes = <file>
//   installation_name = <installation> | <text>   the installation's name as
//                                the type page shows it (else its name)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "builder_look.h"
#include "data_file.h"
#include "database.h"
#include "database_look.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "font.h"
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

struct FILE_OPTIONS {
  std::string name;  // below a files folder
  std::vector<std::string> options;
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
  std::string splash_picture, splash_title;
  uint16_t bar[4] = {};
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
// somewhere else) is refused.
template <size_t N>
void set_name_field(char (&field)[N], const std::string& text) {
  if (text.size() >= N)
    fail(text + ": longer than the " + std::to_string(N - 1) + " bytes the installer stores for it");
  set_field_text(field, text);
}

// Rows enough for the text window to keep a whole text page once its lines
// are wrapped to the dialog: a row for every line and one more for every
// 32 bytes in it. More rows than the page needs only cost memory; fewer
// lose its beginning.
int16_t text_page_rows(const FOLDER& base, const std::string& name, int number) {
  FILE* file = open_file(base, name.c_str(), "rb");
  if (!file) fail_at(number, "cannot read " + name);
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
void add_source_files(DATABASE& data, const std::string& root, LINK_RULE links) {
  std::vector<std::string> problems;
  const std::vector<SOURCE_ITEM> items = walk_source_tree(root, links, problems);
  if (!problems.empty()) {
    for (const std::string& problem : problems)
      fprintf(stderr, "make_installer: %s\n", problem.c_str());
    fail(std::to_string(problems.size()) + (problems.size() == 1 ? " entry" : " entries") +
         " below " + root + " cannot be packed");
  }
  for (const SOURCE_ITEM& item : items) {
    DATABASE_FILE file;
    const size_t slash = item.relative.rfind('/');
    const std::string holder = slash == std::string::npos ? "" : item.relative.substr(0, slash);
    const std::string own_name = item.relative.substr(slash + 1);
    if (item.name.empty()) {
      // A folder with nothing in it: a record without a file name makes it.
      set_name_field(file.dest_path_from_inst_loc, "$app/" + item.relative);
      set_name_field(file.packed_name, item.relative + "/");
    } else {
      set_name_field(file.src_name, item.name);
      set_name_field(file.src_path_from_xml, item.folder);
      // A link stored as a copy keeps its own name.
      if (item.name != own_name) set_name_field(file.dest_name, own_name);
      // Empty: the install folder itself.
      set_name_field(file.dest_path_from_inst_loc, holder.empty() ? "" : "$app/" + holder);
      set_name_field(file.packed_name, item.relative);
    }
    for (DATABASE_INSTALLATION& installation : data.installations) installation.files.push_back(file);
  }
}

// The "file" lines, on the records of that name (packed under it).
void apply_file_options(DATABASE& data, const std::vector<FILE_OPTIONS>& all) {
  for (const FILE_OPTIONS& each : all) {
    bool found = false;
    for (DATABASE_INSTALLATION& installation : data.installations)
      for (DATABASE_FILE& file : installation.files) {
        if (each.name != file.packed_name) continue;
        found = true;
        for (const std::string& option : each.options) {
          const size_t blank = option.find(' ');
          const std::string word = option.substr(0, blank);
          const std::string argument = blank == std::string::npos ? "" : trim(option.substr(blank));
          if (word == "switch_user") file.switch_user = 1;
          else if (word == "overwrite")
            file.overwrite = static_cast<uint8_t>(atoi(argument.c_str()));
          else if (word == "platform") file.platform.set(argument.c_str());
          else fail("file " + each.name + ": not understood: " + option);
        }
      }
    if (!found) fail("file " + each.name + ": no such file");
  }
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
    if (i == data.installations.size()) fail_at(name.number, "no installation " + name.installation);
    snprintf(data.languages[name.language].installation_strings[i].data(), DATABASE_TEXT_SIZE, "%s",
             name.text.c_str());
  }
}

DESCRIPTION read_description(const char* path, DATABASE& data) {
  DESCRIPTION d;
  const std::string folder_text = folder_of(absolute(path));
  if (!d.base.set_absolute(folder_text.c_str())) fail("no folder " + folder_text);
  std::ifstream file(path, std::ios::binary);
  if (!file) fail(std::string("cannot read ") + path);
  DATABASE_LANGUAGE* language = nullptr;
  int number = 0;
  for (std::string raw; std::getline(file, raw);) {
    ++number;
    if (number == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);  // a byte-order mark
    if (!is_utf8(raw)) fail_at(number, "not UTF-8 text");
    const std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) fail_at(number, "no '='");
    const std::string key = trim(line.substr(0, equals));
    const std::string value = trim(line.substr(equals + 1));
    const std::vector<std::string> parts = fields(value);
    int width = 0, height = 0, x = 0, y = 0;
    if (key == "app") {
      set_name_field(data.application.app_string, value);
    } else if (key == "version") {
      set_field_text(data.application.version, shown_text(value, number));
    } else if (key == "window" && sscanf(value.c_str(), "%d %d", &width, &height) == 2) {
      data.window.width = static_cast<int16_t>(width);
      data.window.height = static_cast<int16_t>(height);
    } else if (key == "dialog" && sscanf(value.c_str(), "%d %d %d %d", &width, &height, &x, &y) >= 2) {
      data.dialog.width = static_cast<int16_t>(width);
      data.dialog.height = static_cast<int16_t>(height);
      data.dialog.x = static_cast<int16_t>(x);
      data.dialog.y = static_cast<int16_t>(y);
    } else if (key == "min_screen" && sscanf(value.c_str(), "%d %d", &width, &height) == 2) {
      data.check_desktop_size.width = static_cast<int16_t>(width);
      data.check_desktop_size.height = static_cast<int16_t>(height);
    } else if (key == "installation" && parts.size() == 2) {
      DATABASE_INSTALLATION& installation = data.installations.emplace_back();
      set_name_field(installation.name, parts[0]);
      set_name_field(installation.default_path, parts[1]);
      d.installation_texts.push_back(shown_text(parts[0], number));
    } else if (key == "files") {
      d.file_folders.push_back(value);
    } else if (key == "links" && (value == "refuse" || value == "copy")) {
      d.links = value == "copy" ? LINK_RULE::COPY_INSIDE : LINK_RULE::REFUSE;
    } else if (key == "file" && parts.size() >= 2) {
      d.file_options.push_back({parts[0], {parts.begin() + 1, parts.end()}});
    } else if (key == "time_stamp") {
      data.time_stamp = static_cast<int32_t>(strtol(value.c_str(), nullptr, 10));
    } else if (key == "link" && (parts.size() == 3 || parts.size() == 4) &&
               !data.installations.empty()) {
      DATABASE_SHORTCUT& link = data.installations.back().shortcuts.emplace_back();
      set_field_text(link.name, shown_text(parts[0], number));
      set_name_field(link.target, parts[1]);
      set_field_text(link.target_path_from_inst_loc, "$app");
      link.kind = static_cast<uint8_t>(atoi(parts[2].c_str()));
      if (parts.size() == 4) set_field_text(link.menu_section, shown_text(parts[3], number));
    } else if (key == "skin") {
      d.skin = value;
    } else if (key == "splash" && parts.size() == 3 &&
               sscanf(parts[2].c_str(), "%hu %hu %hu %hu", &d.bar[0], &d.bar[1], &d.bar[2],
                      &d.bar[3]) == 4) {
      d.splash_picture = parts[0];
      d.splash_title = utf8_to_system_text(parts[1].data(), parts[1].size());
    } else if (key == "chunk_size") {
      d.payload.chunk_size = static_cast<uint32_t>(strtoul(value.c_str(), nullptr, 10));
    } else if (key == "compressed") {
      d.payload.compressed = value != "0";
    } else if (key == "language") {
      language = &data.languages.emplace_back();
      set_field_text(language->name, shown_text(value, number));
    } else if (language && (key == "licence" || key == "readme" || key == "release_notes")) {
      const auto index = static_cast<int32_t>(data.languages.size()) - 1;
      d.texts.push_back({value, text_page_name(key.c_str(), index)});
      DATABASE_TEXT_PAGE& page = key == "licence" ? language->licence
                                 : key == "readme" ? language->readme
                                                   : language->release_notes;
      set_field_text(page.filename, d.texts.back().stored);
      if (key != "licence") page.lines = text_page_rows(d.base, value, number);
    } else if (language && key == "installation_name" && parts.size() == 2) {
      d.installation_names.push_back(
          {number, data.languages.size() - 1, parts[0], shown_text(parts[1], number)});
    } else if (language && language_key(key) >= 0) {
      set_field_text(language->texts[language_key(key)], shown_text(value, number));
    } else {
      fail_at(number, "not understood: " + key);
    }
  }
  if (data.installations.empty() || data.languages.empty())
    fail("an installation and a language are needed");
  fill_installation_names(data, d);
  return d;
}

void pack(DATABASE& data, const DESCRIPTION& d, const FOLDER& work, uint32_t block_size) {
  PACKAGE package(work, "installer.pkg", true, static_cast<int32_t>(block_size), true, false);
  if (!package.is_open()) fail("cannot make installer.pkg");
  for (const DATABASE_INSTALLATION& installation : data.installations)
    for (const DATABASE_FILE& file : installation.files) {
      if (!file.src_name[0]) continue;  // an empty folder: nothing to store
      FOLDER source;
      if (!source.set_absolute(file.src_path_from_xml) ||
          (!package.has_file(file.packed_name) &&
           !package.add_file(source, file.src_name, file.packed_name)))
        fail(std::string("cannot pack ") + file.packed_name);
    }
  for (const PACKED_TEXT& text : d.texts)
    if (!package.add_file(d.base, text.file.c_str(), text.stored.c_str()))
      fail("cannot pack " + text.file);
  // Only the fonts that the look draws with: the installer loads each slot
  // from the package where the machine lacks its font, and leaves the
  // others free.
  FOLDER fonts;
  if (!fonts.set_absolute(get_system_font_folder())) fail("no font folder");
  for (uint8_t slot : fonts_of_look(data)) {
    const char* name = get_builtin_font_file(slot);
    if (!package.has_file(name) && !package.add_file(fonts, name))
      fail(std::string("cannot pack the font ") + name);
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
  if (argc != 4) {
    fprintf(stderr, "usage: make_installer <description> <bare installer> <output>\n");
    return 2;
  }
  set_message_box_handler(message_box_to_stderr);
  static DATABASE data;
  set_field_text(data.log.dest_path_from_inst_loc, "$app");
  DESCRIPTION d = read_description(argv[1], data);
  for (const std::string& sub : d.file_folders)
    add_source_files(data, sub[0] == '/' ? sub : std::string(d.base.path) + "/" + sub, d.links);
  apply_file_options(data, d.file_options);
  const std::string control = data.control_character_name();
  if (!control.empty()) fail("the name \"" + control + "\" holds a control character, which no name may hold");
  set_builder_look(data);
  if (!d.skin.empty() &&
      !load_builder_skin(data, d.skin[0] == '/' ? d.skin : std::string(d.base.path) + "/" + d.skin))
    fail("cannot load the skin " + d.skin);
  WM_DIALOG::init_default_styles();

  FOLDER work;
  if (!work.set("$TEMP", true)) fail("no temporary folder");
  const PACKING_CHOICE packing = choose_packing(data);
  if (d.payload.chunk_size == 0) d.payload.chunk_size = packing.chunk_size;
  pack(data, d, work, packing.block_size);

  PAYLOAD_SPLASH splash;
  if (!d.splash_picture.empty()) {
    if (d.splash_picture == "*")
      draw_start_picture(splash.image);
    else if (!splash.image.load(d.base, d.splash_picture.c_str()))
      fail("cannot load " + d.splash_picture);
    splash.title.set(d.splash_title.c_str());
    splash.bar_style.copy(data.progress_bar_style);
    splash.bar_x = d.bar[0], splash.bar_y = d.bar[1], splash.bar_width = d.bar[2],
    splash.bar_height = d.bar[3];
    d.payload.splash = &splash;
  }
  if (!make_payload(work, d.payload)) fail("cannot write the payload");

  FOLDER bare, output;
  const std::string bare_path = absolute(argv[2]);
  const std::string out_path = absolute(argv[3]);
  if (!bare.set_absolute(folder_of(bare_path).c_str())) fail("no installer " + bare_path);
  if (!copy_file(bare, name_of(bare_path).c_str(), work, "setup") ||
      !append(work, "payload.bin", "setup") || !chmod_file(work, "setup", 0755) ||
      !output.set_absolute(folder_of(out_path).c_str()) ||
      !copy_file(work, "setup", output, name_of(out_path).c_str()))
    fail("cannot write " + out_path);
  printf("%s\n", out_path.c_str());
  remove_temporary_folder();
  return 0;
}
