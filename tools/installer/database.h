#pragma once
// DATABASE is the installer's whole data model in one object: presentation
// (window, dialog geometry, background, style sets, icons), log and patch
// locations, the application's identity, installation types, languages and
// the user's wizard choices. It reads and writes itself as "database.bin".
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data_device.h"
#include "database_records.h"
#include "folder.h"
#include "folder_hold.h"
#include "image.h"
#include "install_log.h"
#include "package.h"
#include "system_info.h"
#include "vorn_string.h"
#include "wm_style_set.h"

constexpr int DATABASE_PATH_SIZE = 2048;  // install_folder and skin_path, terminator included

// The 24 icons, in stored order: the wizard's button icons, then those of
// the folder browser.
enum DATABASE_ICON : uint8_t {
  ICON_FORW, ICON_PREV, ICON_YES, ICON_NO, ICON_QUIT, ICON_ABOUT, ICON_FINISH, ICON_AGREE,
  ICON_DISAGREE, ICON_INSTALL, ICON_NEW_FOLDER,
  ICON_DISK, ICON_DISK_CDROM, ICON_DISK_FLOPPY, ICON_DISK_NETWORK, ICON_DISK_LINUX,
  ICON_DISK_UNIX, ICON_DISK_MAC, ICON_DISK_OS2, ICON_DISK_DOS, ICON_DISK_WINDOWS,
  ICON_PARENT_FOLDER, ICON_FILE, ICON_FOLDER,
  DATABASE_ICON_COUNT
};

// The wizard's pages, the values of DATABASE::current_page.
enum WIZARD_PAGE : int32_t {
  WIZARD_PAGE_PACK_DATA, WIZARD_PAGE_PACK_LOG, WIZARD_PAGE_START, WIZARD_PAGE_LANGUAGE,
  WIZARD_PAGE_LICENCE, WIZARD_PAGE_RELEASE_NOTES, WIZARD_PAGE_INSTALL_TYPE, WIZARD_PAGE_OPTIONS,
  WIZARD_PAGE_INSTALLING, WIZARD_PAGE_README, WIZARD_PAGE_FINISH
};

// Geometry of one of the installer's dialogs; -1 leaves the choice to the
// dialog.
struct DATABASE_BOX {
  int16_t x = -1, y = -1, width = -1, height = -1;
  uint8_t can_drag = 1;
};

class INSTALL_PAGE;

// Where the install worker stands in its run (install_worker.cpp).
struct INSTALL_RUN {
  int32_t step = 0;        // 0: not started
  int32_t step_count = 0;  // the chosen installation's files plus 1
  int32_t errors = 0;      // failed files of the run
  int32_t installed = 0;   // files written by the run
  uint8_t halted = 0;      // a path error ended it; only leaving the page goes on
  uint8_t complete = 0;    // the finishing step has run
  uint8_t log_made = 0;    // install_log.txt was started by this run
  INSTALL_LOG log;         // held from the start of the run to its end
  FOLDER_HOLD install_hold;  // the install folder, held for the run
  // The destination folder of the last file, reached once for the files
  // that follow it there and held open while they are written; why it
  // could not be reached.
  std::string destination;
  uint8_t destination_known = 0;
  FOLDER destination_folder;
  FOLDER_HOLD destination_hold;
  std::string destination_failed, destination_reason;
  uint8_t destination_unsafe = 0;  // another user could choose where it leads
  // The folders the run made that have bits of their own to take once
  // their contents are in, outermost first.
  struct MADE_FOLDER {
    FOLDER_HOLD::MADE_FOLDER folder;
    uint16_t mode;
  };
  std::vector<MADE_FOLDER> made_folders;
};

class DATABASE : public DATA_DEVICE_CLIENT {
public:
  static constexpr uint8_t STORED_VERSION = 18;
  static constexpr int16_t MAX_COUNT = 32767;  // records of one kind

  DATABASE();
  ~DATABASE() override;
  DATABASE(const DATABASE&) = delete;
  DATABASE& operator=(const DATABASE&) = delete;

  // Back to the defaults, every record gone. Kept: dialog x and y, the
  // progress-bar rates, the icons, background_image, package,
  // remove_package_at_exit, platform_filter, xml_name and pack_folder.
  void clear();

  // Reads versions 1 to 18 (a later one as 18). Installs the stored toolkit
  // styles, dialog effects and image cache as it goes and leaves style sets
  // looking their pictures up in that cache only. Data with a name that
  // holds a control character fails. A failure leaves the model cleared.
  bool get_from_data_device(DATA_DEVICE* device) override;
  // Version 18, with the toolkit's current default styles and effects.
  bool put_to_data_device(DATA_DEVICE* device) override;

  // The system information, queried on first need after construction or
  // clear (never during static initialisation).
  const SYSTEM_INFO& system_information();

  // Seams for the package and wizard code: the platform text of an old
  // platform code (get_platform_name unless a test replaces it), and the
  // wizard's page after the start page (null: the start page stays).
  static const char* (*platform_name_of)(uint8_t code);
  static int32_t (*next_page_after_start)(const DATABASE& data);

  // The pages Previous and Forward lead to from current_page
  // (wizard_pages.cpp); any value outside 0 to 10 leads to the start page.
  int32_t get_previous_page() const;
  int32_t get_next_page() const;

  // The package, the index file and this machine (database_package.cpp).
  // load_package: false when the package or its data did not open or read;
  // an earlier open package is closed once the new one is there.
  bool load_package(const char* name = "installer.pkg");
  bool save_index();
  bool load_index();
  static const char* get_platform_name(uint8_t code);  // "" when unknown
  void set_platform_filter(const char* name);  // unknown names change nothing
  static uint8_t get_shortcut_kind(const char* name);  // 0 when unknown
  // Whether a platform list applies to the machine of that code, or with
  // none to this machine.
  bool match_platform(const VORN_STRING& list, const uint8_t* code = nullptr);
  // The install worker (install_worker.cpp): one step of the install run
  // per call while current_page is the installing page; on any other page
  // it abandons a started run. The page may be null only outside a run.
  void install_step(INSTALL_PAGE* page);
  // Ends a run that started and has not finished (the user left the page
  // or the program, or a signal stopped it): the log says so in its last
  // line, and "$APP" is the program's folder again. Nothing otherwise.
  void interrupt_install(INSTALL_PAGE* page);
  // Files of the current or last run that failed.
  int32_t install_error_count() const;
  // Whether the last run has done its finishing step.
  bool install_complete() const;
  // Whether it did so with its log and every file in place.
  bool install_succeeded() const;

  // The first name of the data (of a file, folder, link, the application
  // or a language) that holds a control character, escaped for showing (a
  // newline as \n, an escape as \x1b); empty when none does. The reader
  // refuses data holding one, the builder a description.
  std::string control_character_name() const;

  // Whether the install log of the installation to be patched is where
  // the current choices would install; creates no folders.
  bool find_previous_installation();

  // The records current_language and chosen_installation pick; null when
  // the index is outside the list. current_text gives "" then.
  const DATABASE_LANGUAGE* current_language_data() const;
  const char* current_text(LANGUAGE_KEY key) const;
  const DATABASE_INSTALLATION* chosen_installation_data() const;

  int32_t settings_value = 0;
  uint8_t show_frame_rate = 0;
  uint8_t show_filenames = 1;
  uint8_t show_filepaths = 1;
  uint32_t file_cache_sz = 1048576;
  char default_language_name[DATABASE_TEXT_SIZE] = {};

  struct {
    int16_t width = 300, height = 200;
    uint8_t fullscreen = 0;
    uint8_t show_bg_title = 0;
  } window;
  struct : DATABASE_BOX {
    int16_t button_gap = 10;
  } dialog;
  DATABASE_BOX exit;
  DATABASE_BOX error;
  struct : DATABASE_BOX {
    uint8_t new_folder_too = 0;
  } file_select;
  DATABASE_BOX about;
  struct {
    char path[DATABASE_TEXT_SIZE] = {};
    char filename[DATABASE_TEXT_SIZE] = {};
    int32_t speed = 600;  // 0: background_image stands still
    int16_t width = -1, height = -1;
    int16_t start_offset_ms = 0;
  } background;
  struct {
    char dest_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
    char system_dest_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
  } log;
  struct {
    char dest_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
    char system_dest_path_from_inst_loc[DATABASE_TEXT_SIZE] = {};
    uint8_t do_check = 0;
  } patch;

  WM_STYLE_SET title_style;
  WM_STYLE_SET text_style;
  WM_STYLE_SET options_style;
  WM_STYLE_SET grid_style;  // never from the skin; cleared to unset colours
  WM_STYLE_SET text_win_title_style;
  WM_STYLE_SET text_win_text_style;
  WM_STYLE_SET scrollbar_style;
  WM_STYLE_SET check_box_style;
  WM_STYLE_SET progress_bar_style;
  WM_STYLE_SET progress_bar_script_style;
  WM_STYLE_SET menu_dropdown_style;
  WM_STYLE_SET menu_button_style;
  WM_STYLE_SET menu_item_style;
  WM_STYLE_SET menu_alt_item_style;
  IMAGE icons[DATABASE_ICON_COUNT];
  uint16_t progress_bar_animation_x_rate = 0;
  uint16_t progress_bar_animation_y_rate = 0;
  uint16_t progress_bar_animation_update_rate = 0;

  struct {
    char version[DATABASE_TEXT_SIZE] = {};
    int32_t build_number = 0;
    char app_string[DATABASE_TEXT_SIZE] = {};  // the application's name
  } application;
  int32_t time_stamp = 0;  // seconds since 1970 at which the data was made
  struct {
    int16_t width = -1, height = -1;  // -1: no check
  } check_desktop_size;

  std::vector<DATABASE_INSTALLATION> installations;  // at most MAX_COUNT
  std::vector<DATABASE_LANGUAGE> languages;          // at most MAX_COUNT
  IMAGE background_image;  // drawn while background.speed is 0
  std::unique_ptr<PACKAGE> package;  // the open installer package
  // The permission bits of the folders below the install folder, by their
  // path below it (names joined by '/'), as the package gives them; not
  // stored in database.bin.
  std::map<std::string, uint16_t> folder_modes;
  int16_t chosen_installation = 0;
  int16_t current_language = 0;
  int32_t current_page = 2;
  uint8_t patch_mode = 0;
  char install_folder[DATABASE_PATH_SIZE] = {};
  uint16_t total_file_count = 0;
  uint8_t use_system_paths = 1;
  uint8_t desktop_shortcut = 1;
  uint8_t menu_shortcut = 1;
  uint8_t desktop_size_checked = 0;
  std::vector<DATABASE_INSTALLER_CLIENT> installer_clients;  // at most MAX_COUNT
  uint8_t remove_package_at_exit = 0;
  char desktop_check_message[DATABASE_TEXT_SIZE] = {};
  char skin_path[DATABASE_PATH_SIZE] = {};
  uint8_t platform_filter = 0;  // platform code of the -p option
  VORN_STRING xml_name;         // the configuration file's name
  FOLDER pack_folder;           // holds installer.pkg and installer.idx

private:
  bool read_stream(DATA_DEVICE* device);
  bool write_stream(DATA_DEVICE* device);

  SYSTEM_INFO system_info;
  uint8_t system_info_fresh = 0;
  INSTALL_RUN install_run;
};

// The program's one DATABASE, made on first use and destroyed at exit.
DATABASE& installer_database();

// The name a language's text page has in the package: "<kind>-<index of
// the language>", kind being "licence", "readme" or "release_notes".
std::string text_page_name(const char* kind, int32_t language);

// The text with every newline written as "&#xA;", for patch descriptions.
// Valid until the next call.
const char* xml_escape_newlines(const char* text);
