// The names of the data (files, folders, links, the application, the
// languages) reach file systems, the install log and terminals as they
// are. A control character in one (C0, DEL or C1: 0x80-0x9F, which 8-bit
// terminals and Latin-1 take as commands) would split a log line or forge
// one, or reach a terminal as an escape sequence, so data holding one is
// refused: by the builder before it packs, and by the reader as damaged.
#include <cstdio>
#include <string>

#include "database.h"
#include "text_convert.h"

namespace {

// The name as a terminal may show it: control characters and the
// backslash escaped.
std::string escaped(const char* text) { return escape_control_characters(text, ESCAPE_BACKSLASH); }

template <typename RECORD>
using NAME_FIELD = char (RECORD::*)[DATABASE_TEXT_SIZE];

constexpr NAME_FIELD<DATABASE_FILE> kFileNames[] = {
    &DATABASE_FILE::src_name,  &DATABASE_FILE::src_path_from_xml,
    &DATABASE_FILE::dest_path_from_inst_loc, &DATABASE_FILE::system_dest_path_from_inst_loc,
    &DATABASE_FILE::dest_name, &DATABASE_FILE::packed_name};
constexpr NAME_FIELD<DATABASE_SHORTCUT> kLinkNames[] = {
    &DATABASE_SHORTCUT::target, &DATABASE_SHORTCUT::arguments,
    &DATABASE_SHORTCUT::icon_path_from_inst_loc, &DATABASE_SHORTCUT::system_icon_path_from_inst_loc,
    &DATABASE_SHORTCUT::icon_filename, &DATABASE_SHORTCUT::target_path_from_inst_loc,
    &DATABASE_SHORTCUT::system_target_path_from_inst_loc};
constexpr NAME_FIELD<DATABASE_INSTALLATION> kInstallationNames[] = {
    &DATABASE_INSTALLATION::name, &DATABASE_INSTALLATION::default_path,
    &DATABASE_INSTALLATION::uninstaller_name, &DATABASE_INSTALLATION::uninstaller_filename,
    &DATABASE_INSTALLATION::uninstaller_path, &DATABASE_INSTALLATION::uninstaller_syspath};
constexpr NAME_FIELD<DATABASE_TEXT_PAGE> kPageNames[] = {&DATABASE_TEXT_PAGE::path,
                                                         &DATABASE_TEXT_PAGE::filename};

// Walks the names and keeps the first that holds a control character. Its
// two tests stay out of line: the installer is carried in every installer
// file, and copies of them at each field would only make it longer.
struct NAME_SCAN {
  // A name of a file or folder as a UTF-8 terminal shows it: C1 controls
  // count whether coded in UTF-8 (U+009B) or standing as lone bytes (0x9B,
  // a command to 8-bit terminals); the bytes 0x80-0x9F inside other
  // characters (the 0x9F of "\xC3\x9F", a sharp s) do not.
  [[gnu::noinline]] void name(const char* text) {
    if (found.empty() && text && holds_control_character(text)) found = escaped(text);
  }
  // A shown name in the system's 8-bit text: the characters of its runs
  // count too, as they become characters of their own on the way out.
  [[gnu::noinline]] void shown(const char* text) {
    SYSTEM_TEXT_READER reader(text);
    for (uint32_t unit; found.empty() && reader.next_unit(unit);)
      if (is_control_character(unit)) found = escaped(text);
  }
  template <typename RECORD, size_t N>
  void names(const RECORD& record, const NAME_FIELD<RECORD> (&fields)[N]) {
    for (const NAME_FIELD<RECORD> field : fields) name(record.*field);
  }

  std::string found;
};

}  // namespace

std::string DATABASE::control_character_name() const {
  NAME_SCAN scan;
  for (const char* name : {application.app_string, default_language_name, log.dest_path_from_inst_loc,
                           log.system_dest_path_from_inst_loc, patch.dest_path_from_inst_loc,
                           patch.system_dest_path_from_inst_loc, background.path, background.filename,
                           skin_path})
    scan.name(name);
  for (const DATABASE_INSTALLATION& installation : installations) {
    scan.names(installation, kInstallationNames);
    for (const DATABASE_FILE& file : installation.files) {
      scan.names(file, kFileNames);
      scan.name(file.platform.get_text());
    }
    for (const DATABASE_SHORTCUT& link : installation.shortcuts) {
      scan.names(link, kLinkNames);
      scan.name(link.platform.get_text());
      scan.shown(link.name);
      scan.shown(link.menu_section);
    }
  }
  for (const DATABASE_LANGUAGE& language : languages) {
    scan.shown(language.name);
    for (const DATABASE_TEXT_PAGE* page : {&language.licence, &language.readme, &language.release_notes})
      scan.names(*page, kPageNames);
  }
  for (const DATABASE_INSTALLER_CLIENT& client : installer_clients)
    for (const VORN_STRING* text : {&client.platform, &client.filename, &client.destname})
      scan.name(text->get_text());
  return scan.found;
}
