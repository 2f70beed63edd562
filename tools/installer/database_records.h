#pragma once
// The records the installer's DATABASE holds: installation types with the
// files and shortcuts they install, the languages with their texts, and the
// extra installer builds it carries. Every field starts empty or zero, so a
// field that older installer data does not carry is never left undefined.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "folder.h"
#include "vorn_string.h"

constexpr int DATABASE_TEXT_SIZE = 256;  // bytes of every fixed text field, terminator included
using DATABASE_TEXT = std::array<char, DATABASE_TEXT_SIZE>;

// Sets a fixed text field: cut to fit, always terminated.
template <size_t N>
void set_field_text(char (&field)[N], std::string_view text) {
  snprintf(field, N, "%.*s", static_cast<int>(text.size()), text.data());
}

struct DATABASE_FILE {
  char src_name[DATABASE_TEXT_SIZE] = {};  // also the installed name when dest_name is empty
  char src_path_from_xml[DATABASE_TEXT_SIZE] = {};
  char dest_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
  VORN_STRING platform;  // platform list; empty = every platform
  char dest_name[DATABASE_TEXT_SIZE] = {};
  char system_dest_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
  uint8_t stamp = 0;
  uint8_t switch_user = 0;  // the installed file gets the set-user-id bit
  // 0 always replace, 1 replace an existing file older than the data's
  // time_stamp, 2 install only where no file exists.
  uint8_t overwrite = 0;
  char packed_name[DATABASE_TEXT_SIZE] = {};  // the file's entry in the package
  // Not stored in the record: the installed file's permission bits, from
  // the package's table of them (file_modes.h); -1 where it gives none.
  int32_t permissions = -1;
};

struct DATABASE_SHORTCUT {
  uint8_t kind = 0;  // 1 application, 2 weblink, 3 text file
  char target[DATABASE_TEXT_SIZE] = {};
  char name[DATABASE_TEXT_SIZE] = {};
  char menu_section[DATABASE_TEXT_SIZE] = {};  // empty: a desktop link
  VORN_STRING platform;
  char arguments[DATABASE_TEXT_SIZE] = {};
  char icon_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
  char system_icon_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
  char icon_filename[DATABASE_TEXT_SIZE] = {};
  char target_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
  char system_target_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
};

struct DATABASE_INSTALLATION {
  char name[DATABASE_TEXT_SIZE] = {};
  char default_path[DATABASE_TEXT_SIZE] = {};
  uint8_t allow_system_paths = 0;
  std::vector<DATABASE_FILE> files;  // at most 32767
  std::vector<DATABASE_SHORTCUT> shortcuts;  // at most 32767
  char uninstaller_name[DATABASE_TEXT_SIZE] = {};
  char uninstaller_filename[DATABASE_TEXT_SIZE] = {};
  char uninstaller_path[DATABASE_TEXT_SIZE] = {};
  char uninstaller_syspath[DATABASE_TEXT_SIZE] = {};
  // Derived when a package is loaded, never stored: a shortcut for this
  // machine without (desktop) or with (menu) a menu section exists.
  uint8_t has_desktop_shortcut = 0;
  uint8_t has_menu_shortcut = 0;
};

// Positions of a language's texts; the stored form and the patch
// description keep them in this order.
enum LANGUAGE_KEY : uint8_t {
  LANGUAGE_TITLE, INSTALLER_TITLE, QUIT_TITLE, QUIT_MSG, QUIT_YES, QUIT_NO,
  PATH_ERROR_TITLE, PATH_ERROR_MSG, PATH_ERROR_BUTTON,
  COPY_ERROR_TITLE, COPY_ERROR_MSG, COPY_ERROR_YES, COPY_ERROR_NO,
  FORWARD, FORWARD_HINT, PREVIOUS, PREVIOUS_HINT, AGREE, AGREE_HINT, DISAGREE, DISAGREE_HINT,
  QUIT, QUIT_HINT, ABOUT, ABOUT_HINT, INSTALL, INSTALL_HINT, FINISH, FINISH_HINT,
  SELECT_LANGUAGE, LICENCE_TITLE, README_TITLE, RELEASE_NOTES_TITLE, INSTALL_TYPE_TITLE,
  SELECT_OPTIONS_TITLE, SELECT_OPTIONS_LOCATION_QUESTION, SELECT_OPTIONS_USE_SYSTEM_PATHS,
  SELECT_OPTIONS_SHORTCUT_QUESTION, SELECT_OPTIONS_DESKTOP_SHORTCUT, SELECT_OPTIONS_MENU_SHORTCUT,
  SELECT_OPTIONS_SYSPATHS_SELECTED, INSTALLING_TITLE, INSTALLING_STRING, INITIALIZING_STRING,
  INSTALLING_DESKTOP_SHORTCUT, INSTALLING_MENU_SHORTCUT, PACK_DATA_TITLE, PACK_LOG_TITLE, COMPLETE,
  OK_BUTTON, CANCEL_BUTTON, NEW_FOLDER_BUTTON, SELECT_FOLDER_TITLE, SELECT_FOLDER_MSG,
  SELECT_FOLDER_MENU_TITLE, MY_COMPUTER, NEW_FOLDER_TITLE, NEW_FOLDER_MSG,
  CHECK_DESKTOP_FAILED_TITLE, CHECK_DESKTOP_FAILED, PATCH_MSG,
  LANGUAGE_KEY_COUNT
};

// The keys' names, as the patch description spells its elements.
extern const char* const LANGUAGE_KEY_NAMES[LANGUAGE_KEY_COUNT];

// A text shown on its own wizard page, from a file in the package.
struct DATABASE_TEXT_PAGE {
  char path[DATABASE_TEXT_SIZE] = {};
  char filename[DATABASE_TEXT_SIZE] = {};
  int16_t lines = 0;  // not stored for the licence
};

struct DATABASE_LANGUAGE {
  char name[DATABASE_TEXT_SIZE] = {};
  char texts[LANGUAGE_KEY_COUNT][DATABASE_TEXT_SIZE] = {};  // by LANGUAGE_KEY
  // One per installation, in installation order; empty without installations.
  std::vector<DATABASE_TEXT> installation_strings;
  DATABASE_TEXT_PAGE licence;
  DATABASE_TEXT_PAGE readme;
  DATABASE_TEXT_PAGE release_notes;
};

// Another build of the installer that this one carries and reports only.
struct DATABASE_INSTALLER_CLIENT {
  DATABASE_INSTALLER_CLIENT();  // path "$APPDATA", everything else empty
  VORN_STRING platform;
  FOLDER path;
  VORN_STRING filename;
  VORN_STRING destname;
  uint8_t compress_data = 0;
};
