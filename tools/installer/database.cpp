#include "database.h"

#include <cstring>
#include <ctime>
#include <string>

const char* const LANGUAGE_KEY_NAMES[LANGUAGE_KEY_COUNT] = {
    "LANGUAGE_TITLE", "INSTALLER_TITLE", "QUIT_TITLE", "QUIT_MSG", "QUIT_YES", "QUIT_NO",
    "PATH_ERROR_TITLE", "PATH_ERROR_MSG", "PATH_ERROR_BUTTON",
    "COPY_ERROR_TITLE", "COPY_ERROR_MSG", "COPY_ERROR_YES", "COPY_ERROR_NO",
    "FORWARD", "FORWARD_HINT", "PREVIOUS", "PREVIOUS_HINT", "AGREE", "AGREE_HINT", "DISAGREE",
    "DISAGREE_HINT", "QUIT", "QUIT_HINT", "ABOUT", "ABOUT_HINT", "INSTALL", "INSTALL_HINT",
    "FINISH", "FINISH_HINT", "SELECT_LANGUAGE", "LICENCE_TITLE", "README_TITLE",
    "RELEASE_NOTES_TITLE", "INSTALL_TYPE_TITLE", "SELECT_OPTIONS_TITLE",
    "SELECT_OPTIONS_LOCATION_QUESTION", "SELECT_OPTIONS_USE_SYSTEM_PATHS",
    "SELECT_OPTIONS_SHORTCUT_QUESTION", "SELECT_OPTIONS_DESKTOP_SHORTCUT",
    "SELECT_OPTIONS_MENU_SHORTCUT", "SELECT_OPTIONS_SYSPATHS_SELECTED", "INSTALLING_TITLE",
    "INSTALLING_STRING", "INITIALIZING_STRING", "INSTALLING_DESKTOP_SHORTCUT",
    "INSTALLING_MENU_SHORTCUT", "PACK_DATA_TITLE", "PACK_LOG_TITLE", "COMPLETE", "OK_BUTTON",
    "CANCEL_BUTTON", "NEW_FOLDER_BUTTON", "SELECT_FOLDER_TITLE", "SELECT_FOLDER_MSG",
    "SELECT_FOLDER_MENU_TITLE", "MY_COMPUTER", "NEW_FOLDER_TITLE", "NEW_FOLDER_MSG",
    "CHECK_DESKTOP_FAILED_TITLE", "CHECK_DESKTOP_FAILED", "PATCH_MSG",
};

DATABASE_INSTALLER_CLIENT::DATABASE_INSTALLER_CLIENT() { path.set("$APPDATA"); }

const DATABASE_LANGUAGE* DATABASE::current_language_data() const {
  if (current_language < 0 || static_cast<size_t>(current_language) >= languages.size()) return nullptr;
  return &languages[static_cast<size_t>(current_language)];
}

const char* DATABASE::current_text(LANGUAGE_KEY key) const {
  const DATABASE_LANGUAGE* language = current_language_data();
  return language ? language->texts[key] : "";
}

const DATABASE_INSTALLATION* DATABASE::chosen_installation_data() const {
  if (chosen_installation < 0 || static_cast<size_t>(chosen_installation) >= installations.size())
    return nullptr;
  return &installations[static_cast<size_t>(chosen_installation)];
}

const char* (*DATABASE::platform_name_of)(uint8_t) = DATABASE::get_platform_name;
int32_t (*DATABASE::next_page_after_start)(const DATABASE&) = nullptr;

DATABASE::DATABASE() : xml_name("installer.xml") {
  dialog.x = dialog.y = 0;
  pack_folder.set("$APPDATA");
  clear();
}

DATABASE::~DATABASE() {
  clear();
  package.reset();
}

void DATABASE::clear() {
  settings_value = 0;
  show_frame_rate = 0;
  show_filenames = 1;
  show_filepaths = 1;
  file_cache_sz = 1048576;
  default_language_name[0] = '\0';

  window = {};
  const int16_t dialog_x = dialog.x, dialog_y = dialog.y;
  dialog = {};
  dialog.x = dialog_x;
  dialog.y = dialog_y;
  dialog.width = 200;
  dialog.height = 150;
  exit = DATABASE_BOX{-1, -1, 200, 150, 1};
  error = DATABASE_BOX{-1, -1, 400, 300, 1};
  file_select = {};
  about = DATABASE_BOX{};

  background = {};
  log = {};
  patch = {};

  for (WM_STYLE_SET* style :
       {&title_style, &text_style, &options_style, &grid_style, &text_win_title_style,
        &text_win_text_style, &scrollbar_style, &check_box_style, &progress_bar_style,
        &progress_bar_script_style, &menu_dropdown_style, &menu_button_style, &menu_item_style,
        &menu_alt_item_style})
    style->set_defaults();
  // The option grids' second style draws nothing of its own unless the
  // data gives it colours.
  grid_style.fg_colour = COLOUR_INVISIBLE;
  grid_style.bg_colour = COLOUR_INVISIBLE;
  grid_style.drawing_flags = 0;
  grid_style.shading_flags = 0;

  application = {};
  time_stamp = static_cast<int32_t>(time(nullptr));
  check_desktop_size = {};

  installations.clear();
  installations.shrink_to_fit();
  languages.clear();
  languages.shrink_to_fit();

  patch_mode = 0;
  set_field_text(install_folder, "$ROOT0");
  use_system_paths = desktop_shortcut = menu_shortcut = 1;
  desktop_size_checked = 0;
  desktop_check_message[0] = '\0';
  skin_path[0] = '\0';

  chosen_installation = 0;
  current_language = 0;
  current_page = 2;
  total_file_count = 0;

  installer_clients.clear();
  installer_clients.shrink_to_fit();

  system_info_fresh = 0;
}

const SYSTEM_INFO& DATABASE::system_information() {
  if (!system_info_fresh) {
    get_system_info(&system_info);
    system_info_fresh = 1;
  }
  return system_info;
}

DATABASE& installer_database() {
  static DATABASE data;
  return data;
}

std::string text_page_name(const char* kind, int32_t language) {
  return std::string(kind) + "-" + std::to_string(language);
}

const char* xml_escape_newlines(const char* text) {
  static std::string escaped;
  escaped.clear();
  for (const char* c = text ? text : ""; *c; ++c) {
    if (*c == '\n') escaped += "&#xA;";
    else escaped += *c;
  }
  return escaped.c_str();
}
