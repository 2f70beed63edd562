// make_installer: test and demo support that turns a folder of files and a
// short description into a real installer file. It fills a DATABASE,
// packs installer.pkg with the package writer (files, texts, fonts,
// database.bin), writes the payload behind a copy of the bare installer.
//
//   make_installer <description> <bare installer> <output>
//
// The description has one "key = value" per line ('#' starts a comment);
// paths are relative to the description's folder:
//   app = <name>                 version = <text>
//   window = <width> <height>    dialog = <width> <height>
//   min_screen = <width> <height>   smaller screens are warned on the options page
//   installation = <name> | <default path>
//   files = <folder>             every file below it, installed alike
//   file = <name below a files folder> | <option> ...   what differs for it:
//                                "switch_user", "overwrite <0|1|2>",
//                                "platform <list>"
//   time_stamp = <seconds>       what overwrite 1 compares with
//   link = <name> | <target file> | <kind 1 app, 3 text> [| <menu section>]
//                                a desktop link, or a menu entry with a
//                                section; the target lies in the install folder
//   skin = <folder>              optional skin folder
//   splash = <picture> | <title> | <bar x> <bar y> <bar w> <bar h>
//                                '*' as the picture: the built-in start picture
//   chunk_size = <bytes>         compressed = 0 or 1
//                                (without chunk_size it is chosen, as is
//                                the package's block size)
//   language = <name>            starts a language; then for it:
//   <LANGUAGE KEY> = <text>      licence|readme|release_notes = <file>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "font.h"
#include "installer_pictures.h"
#include "package.h"
#include "package_data_file.h"
#include "packing_choice.h"
#include "payload.h"
#include "skin_loader.h"
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

struct DESCRIPTION {
  FOLDER base;
  std::vector<std::string> file_folders;
  std::vector<FILE_OPTIONS> file_options;
  std::vector<PACKED_TEXT> texts;
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

int language_key(const std::string& name) {
  for (int k = 0; k < LANGUAGE_KEY_COUNT; ++k)
    if (name == LANGUAGE_KEY_NAMES[k]) return k;
  return -1;
}

// Every file below folder (relative name prefix) as a file record.
void add_folder_files(DATABASE_INSTALLATION& installation, const FOLDER& folder,
                      const std::string& relative, const std::string& packed_prefix) {
  FOLDER_LIST* list = list_folder(folder, "", false, 0, false);
  if (!list) fail("cannot list " + std::string(folder.path));
  FOLDER_LIST_ENTRY entry;
  while (list_folder_filtered(list, &entry)) {
    if (entry.info.is_directory) {
      FOLDER sub = folder;
      if (!make_folder(&sub, entry.name, false)) fail("cannot enter " + std::string(entry.name));
      add_folder_files(installation, sub, relative + entry.name + "/", packed_prefix);
      continue;
    }
    DATABASE_FILE file;
    set_field_text(file.src_name, entry.name);
    set_field_text(file.src_path_from_xml, folder.path);
    // Empty: the install folder itself.
    std::string dest = relative.empty() ? "" : "$app/" + relative.substr(0, relative.size() - 1);
    set_field_text(file.dest_path_from_inst_loc, dest);
    set_field_text(file.packed_name, packed_prefix + relative + entry.name);
    installation.files.push_back(file);
  }
  free_folder_list(list);
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

DESCRIPTION read_description(const char* path, DATABASE& data) {
  DESCRIPTION d;
  const std::string folder_text = folder_of(absolute(path));
  if (!d.base.set_absolute(folder_text.c_str())) fail("no folder " + folder_text);
  FILE* file = fopen(path, "r");
  if (!file) fail(std::string("cannot read ") + path);
  char line_buffer[4096];
  DATABASE_LANGUAGE* language = nullptr;
  int number = 0;
  while (fgets(line_buffer, sizeof line_buffer, file)) {
    ++number;
    std::string line = trim(std::string(line_buffer).substr(0, strcspn(line_buffer, "\n")));
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) fail("line " + std::to_string(number) + ": no '='");
    const std::string key = trim(line.substr(0, equals));
    const std::string value = trim(line.substr(equals + 1));
    const std::vector<std::string> parts = fields(value);
    int width = 0, height = 0;
    if (key == "app") {
      set_field_text(data.application.app_string, value);
    } else if (key == "version") {
      set_field_text(data.application.version, value);
    } else if (key == "window" && sscanf(value.c_str(), "%d %d", &width, &height) == 2) {
      data.window.width = static_cast<int16_t>(width);
      data.window.height = static_cast<int16_t>(height);
    } else if (key == "dialog" && sscanf(value.c_str(), "%d %d", &width, &height) == 2) {
      data.dialog.width = static_cast<int16_t>(width);
      data.dialog.height = static_cast<int16_t>(height);
    } else if (key == "min_screen" && sscanf(value.c_str(), "%d %d", &width, &height) == 2) {
      data.check_desktop_size.width = static_cast<int16_t>(width);
      data.check_desktop_size.height = static_cast<int16_t>(height);
    } else if (key == "installation" && parts.size() == 2) {
      DATABASE_INSTALLATION& installation = data.installations.emplace_back();
      set_field_text(installation.name, parts[0]);
      set_field_text(installation.default_path, parts[1]);
    } else if (key == "files") {
      d.file_folders.push_back(value);
    } else if (key == "file" && parts.size() >= 2) {
      d.file_options.push_back({parts[0], {parts.begin() + 1, parts.end()}});
    } else if (key == "time_stamp") {
      data.time_stamp = static_cast<int32_t>(strtol(value.c_str(), nullptr, 10));
    } else if (key == "link" && (parts.size() == 3 || parts.size() == 4) &&
               !data.installations.empty()) {
      DATABASE_SHORTCUT& link = data.installations.back().shortcuts.emplace_back();
      set_field_text(link.name, parts[0]);
      set_field_text(link.target, parts[1]);
      set_field_text(link.target_path_from_inst_loc, "$app");
      link.kind = static_cast<uint8_t>(atoi(parts[2].c_str()));
      if (parts.size() == 4) set_field_text(link.menu_section, parts[3]);
    } else if (key == "skin") {
      d.skin = value;
    } else if (key == "splash" && parts.size() == 3 &&
               sscanf(parts[2].c_str(), "%hu %hu %hu %hu", &d.bar[0], &d.bar[1], &d.bar[2],
                      &d.bar[3]) == 4) {
      d.splash_picture = parts[0];
      d.splash_title = parts[1];
    } else if (key == "chunk_size") {
      d.payload.chunk_size = static_cast<uint32_t>(strtoul(value.c_str(), nullptr, 10));
    } else if (key == "compressed") {
      d.payload.compressed = value != "0";
    } else if (key == "language") {
      language = &data.languages.emplace_back();
      set_field_text(language->name, value);
    } else if (language && (key == "licence" || key == "readme" || key == "release_notes")) {
      const auto index = static_cast<int32_t>(data.languages.size()) - 1;
      d.texts.push_back({value, text_page_name(key.c_str(), index)});
      DATABASE_TEXT_PAGE& page = key == "licence" ? language->licence
                                 : key == "readme" ? language->readme
                                                   : language->release_notes;
      set_field_text(page.filename, d.texts.back().stored);
    } else if (language && language_key(key) >= 0) {
      set_field_text(language->texts[language_key(key)], value);
    } else {
      fail("line " + std::to_string(number) + ": not understood: " + key);
    }
  }
  fclose(file);
  if (data.installations.empty() || data.languages.empty())
    fail("an installation and a language are needed");
  for (DATABASE_LANGUAGE& each : data.languages)
    each.installation_strings.resize(data.installations.size());
  return d;
}

void pack(DATABASE& data, const DESCRIPTION& d, const FOLDER& work, uint32_t block_size) {
  PACKAGE package(work, "installer.pkg", true, static_cast<int32_t>(block_size), true, false);
  if (!package.is_open()) fail("cannot make installer.pkg");
  for (const DATABASE_INSTALLATION& installation : data.installations)
    for (const DATABASE_FILE& file : installation.files) {
      FOLDER source;
      if (!source.set_absolute(file.src_path_from_xml) ||
          (!package.has_file(file.packed_name) &&
           !package.add_file(source, file.src_name, file.packed_name)))
        fail(std::string("cannot pack ") + file.src_name);
    }
  for (const PACKED_TEXT& text : d.texts)
    if (!package.add_file(d.base, text.file.c_str(), text.stored.c_str()))
      fail("cannot pack " + text.file);
  FOLDER fonts;
  if (!fonts.set_absolute(get_system_font_folder())) fail("no font folder");
  for (uint8_t slot = 0; slot < FONT_BUILTIN_COUNT; ++slot) {
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
  for (const std::string& sub : d.file_folders) {
    FOLDER files;
    std::string path = sub[0] == '/' ? sub : std::string(d.base.path) + "/" + sub;
    if (!files.set_absolute(path.c_str())) fail("no folder " + sub);
    for (DATABASE_INSTALLATION& installation : data.installations)
      add_folder_files(installation, files, "", "");
  }
  apply_file_options(data, d.file_options);
  if (!d.skin.empty()) {
    std::string path = d.skin[0] == '/' ? d.skin : std::string(d.base.path) + "/" + d.skin;
    // The skin loader takes a folder in its "$" form, never a bare path.
    FOLDER skin;
    char stored[FOLDER_PATH_SIZE];
    if (!skin.set_absolute(path.c_str()) || !skin.get_path_text(stored, sizeof stored, nullptr) ||
        !load_skin(data, stored))
      fail("cannot load the skin " + d.skin);
  }
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
    splash.bar_x = d.bar[0], splash.bar_y = d.bar[1], splash.bar_width = d.bar[2],
    splash.bar_height = d.bar[3];
    d.payload.splash = &splash;
  }
  if (!make_payload(work, d.payload)) {
    // A stored chunk may not be longer than the chunk size, so a package
    // with pieces that do not shrink (pictures, archives) goes uncompressed.
    if (!d.payload.compressed) fail("cannot write the payload");
    d.payload.compressed = false;
    if (!make_payload(work, d.payload)) fail("cannot write the payload");
    fprintf(stderr, "make_installer: the package does not compress; stored uncompressed\n");
  }

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
