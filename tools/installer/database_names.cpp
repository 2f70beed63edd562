// The names of the data (files, folders, links, the application, the
// languages) reach file systems, the install log and terminals as they
// are. A control character in one would split a log line or forge one, or
// reach a terminal as an escape sequence, so data holding one is refused:
// by the builder before it packs, and by the reader as damaged.
#include <cstdio>
#include <initializer_list>
#include <string>

#include "database.h"
#include "text_convert.h"

namespace {

bool is_control(uint32_t character) { return character < 0x20 || character == 0x7F; }

// The text as a terminal may show it: control characters and the
// backslash escaped.
std::string escaped(const char* text) {
  std::string out;
  for (const char* at = text; *at; ++at) {
    const auto byte = static_cast<uint8_t>(*at);
    if (byte == '\n') out += "\\n";
    else if (byte == '\t') out += "\\t";
    else if (byte == '\r') out += "\\r";
    else if (byte == '\\') out += "\\\\";
    else if (is_control(byte)) {
      char hex[5];
      snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    } else {
      out += *at;
    }
  }
  return out;
}

// Walks the names and keeps the first that holds a control character.
struct NAME_SCAN {
  // Names of files and folders, taken byte by byte as the file system
  // takes them.
  void names(std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
      if (!found.empty()) return;
      for (const char* at = text; at && *at && found.empty(); ++at)
        if (is_control(static_cast<uint8_t>(*at))) found = escaped(text);
    }
  }
  // Shown names in the system's 8-bit text: the characters of its runs
  // count too, as they become characters of their own on the way out.
  void shown(std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
      if (!found.empty()) return;
      SYSTEM_TEXT_READER reader(text);
      for (uint32_t unit; found.empty() && reader.next_unit(unit);)
        if (is_control(unit)) found = escaped(text);
    }
  }

  std::string found;
};

}  // namespace

std::string DATABASE::control_character_name() const {
  NAME_SCAN scan;
  scan.names({application.app_string, default_language_name, log.dest_path_from_inst_loc,
              log.system_dest_path_from_inst_loc, patch.dest_path_from_inst_loc,
              patch.system_dest_path_from_inst_loc, background.path, background.filename, skin_path});
  for (const DATABASE_INSTALLATION& installation : installations) {
    scan.names({installation.name, installation.default_path, installation.uninstaller_name,
                installation.uninstaller_filename, installation.uninstaller_path,
                installation.uninstaller_syspath});
    for (const DATABASE_FILE& file : installation.files)
      scan.names({file.src_name, file.src_path_from_xml, file.dest_path_from_inst_loc,
                  file.system_dest_path_from_inst_loc, file.dest_name, file.packed_name,
                  file.platform.get_text()});
    for (const DATABASE_SHORTCUT& link : installation.shortcuts) {
      scan.names({link.target, link.arguments, link.icon_path_from_inst_loc,
                  link.system_icon_path_from_inst_loc, link.icon_filename,
                  link.target_path_from_inst_loc, link.system_target_path_from_inst_loc,
                  link.platform.get_text()});
      scan.shown({link.name, link.menu_section});
    }
  }
  for (const DATABASE_LANGUAGE& language : languages)
    scan.names({language.name, language.licence.path, language.licence.filename,
                language.readme.path, language.readme.filename, language.release_notes.path,
                language.release_notes.filename});
  for (const DATABASE_INSTALLER_CLIENT& client : installer_clients)
    scan.names({client.platform.get_text(), client.filename.get_text(), client.destname.get_text()});
  return scan.found;
}
