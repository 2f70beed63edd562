#pragma once
// WM_FILE_SELECT browses drives, folders and files: a message, a drop-down
// of the current folder and its ancestors, the folder's path, a list of
// sub-folders and files (or the drives), a name field (in the file modes)
// and New Folder, Cancel and OK. It never closes itself: OK and Cancel (or
// Escape) call the owner, who reads get_result.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "folder.h"
#include "image.h"
#include "vorn_string.h"
#include "wm_dialog.h"

class WM_BUTTON;
class WM_GRID;
class WM_MENU;
class WM_SCRIPT;
class WM_TEXT_EDIT;
class WM_TEXT_EDIT_DIALOG;

class WM_FILE_SELECT : public WM_DIALOG {
public:
  enum MODE : uint8_t { MODE_EXISTING_FILE = 1, MODE_NEW_FILE = 2, MODE_FOLDER = 3 };
  // The process-wide icons: the ten drive types in drive-type order, then
  // the list rows'.
  enum ICON : uint8_t {
    ICON_DISK, ICON_DISK_CDROM, ICON_DISK_FLOPPY, ICON_DISK_NETWORK, ICON_DISK_LINUX,
    ICON_DISK_UNIX, ICON_DISK_MAC, ICON_DISK_OS2, ICON_DISK_DOS, ICON_DISK_WINDOWS,
    ICON_PARENT_FOLDER, ICON_FILE, ICON_FOLDER, ICON_COUNT
  };
  // User word 1 of the browser's own objects; word 2 is the browser.
  enum WORD : uintptr_t {
    WORD_OK = 1, WORD_CANCEL = 2, WORD_NEW_FOLDER = 3, WORD_LEVEL = 4, WORD_DRIVE = 5,
    WORD_FOLDER_ROW = 6, WORD_FILE_ROW = 7, WORD_NAME_CHANGED = 8
  };
  // Value word of a level item or parent row that leads to the drive list.
  static constexpr uintptr_t TO_DRIVES = ~uintptr_t{0};
  static constexpr uint16_t ERROR_RESULT_TOO_LONG = 0x3103;
  static constexpr int16_t DEFAULT_WIDTH = 500;
  static constexpr int16_t DEFAULT_HEIGHT = 350;
  static constexpr uint16_t NAME_MAX_LENGTH = 256;
  // A browser whose list would show fewer whole rows grows within the view.
  static constexpr int32_t MIN_LIST_ROWS = 5;
  // A click on the list this soon after the click that changed the folder
  // is the second half of a double click and is ignored.
  static constexpr uint32_t DOUBLE_CLICK_MS = 500;

  // A width or height of -1 takes the default size. Null texts take "OK",
  // "Cancel" and "New Folder"; the two item styles alternate down the
  // drop-down's pop-up.
  WM_FILE_SELECT(int16_t x, int16_t y, int16_t w, int16_t h, const WM_STYLE_SET* menu_style,
                 const WM_STYLE_SET* popup_style, const WM_STYLE_SET* edit_style,
                 const WM_STYLE_SET* list_style, const WM_STYLE_SET* scrollbar_style, bool visible,
                 WM_CALLBACK callback, uintptr_t word, const char* ok_text,
                 const char* cancel_text, const char* new_folder_text,
                 const WM_STYLE_SET* item_style_a, const WM_STYLE_SET* item_style_b);
  // The default size, every style made from the dialog's button style.
  WM_FILE_SELECT(int16_t x, int16_t y, bool visible, WM_CALLBACK callback, uintptr_t word,
                 const char* ok_text, const char* cancel_text, const char* new_folder_text);
  // Closes a name dialog still open for this browser.
  ~WM_FILE_SELECT() override;

  int32_t process() override;

  // A null start folder keeps the current one; null texts are empty.
  void set_mode(uint8_t new_mode, const FOLDER* start, const char* name, const char* ext);
  // The shown folder (descended into the named sub-folder in folder mode)
  // and, for the file modes, the name as the file system has it (required
  // in mode 2, with the extension added). A name that does not fit its
  // buffer is refused (false, last error ERROR_RESULT_TOO_LONG), never cut.
  bool get_result(FOLDER* out, char* name, size_t name_size);
  // The name the field stands for, as bytes: the listed entry's own name
  // when the field shows it, else the typed text as UTF-8.
  std::string current_name() const;

  static int32_t on_cell(WM_SCREEN_OBJECT* object, uintptr_t word, uintptr_t browser);
  static void mark_row(WM_GRID* grid, int32_t row, bool mark);

  // A name as it can be shown: UTF-8 decoded to system text (characters
  // above 255 in code runs), control and undecodable bytes as "?".
  static std::string readable_name(const char* bytes);

  static IMAGE& icon(int which);
  static const char* icon_name(int which);
  // Re-makes the icon at the source's size with the source's pixels.
  static void set_icon(int which, const IMAGE& source);
  // Loads every icon that is still empty from "$ICONDATA".
  static void load_missing_icons();

  uint8_t mode = 0;
  FOLDER folder;
  VORN_STRING extension;
  uint8_t show_hidden = 0;
  uint8_t at_my_computer = 0;
  VORN_STRING my_computer_text;
  VORN_STRING new_folder_title;
  VORN_STRING new_folder_prompt;
  // Why New Folder made nothing, told in the name dialog, which stays open
  // with the name: a name that cannot be a folder's (empty, ".", "..", with
  // a "/", too long), one that something else has here already, and a
  // folder that takes no new one (read-only).
  VORN_STRING bad_name_text;
  VORN_STRING name_taken_text;
  VORN_STRING cannot_make_text;
  uint8_t needs_refresh = 0;
  int16_t selected_row = -1;
  int16_t row_count = 0;
  uint8_t new_folder_at_dialog = 0;
  WM_BUTTON* ok_button = nullptr;  // children, owned through the client
  WM_BUTTON* cancel_button = nullptr;
  WM_BUTTON* new_folder_button = nullptr;
  WM_SCRIPT* message_label = nullptr;
  WM_SCRIPT* location_label = nullptr;
  WM_MENU* location_menu = nullptr;
  WM_SCRIPT* path_label = nullptr;  // the shown folder's whole path
  WM_TEXT_EDIT* name_field = nullptr;
  WM_GRID* list = nullptr;
  WM_STYLE_SET edit_style;
  // The name dialog while it is open; compared against the overlay list
  // before it is touched.
  WM_TEXT_EDIT_DIALOG* name_dialog = nullptr;

private:
  void build(const WM_STYLE_SET* menu_style, const WM_STYLE_SET* popup_style,
             const WM_STYLE_SET* edit_style_in, const WM_STYLE_SET* list_style,
             const WM_STYLE_SET* scrollbar_style, bool is_visible, WM_CALLBACK callback,
             uintptr_t word, const char* ok_text, const char* cancel_text,
             const char* new_folder_text, const WM_STYLE_SET* item_style_a,
             const WM_STYLE_SET* item_style_b);
  // One listed entry, read before its row is made.
  struct LISTED {
    std::string name, size, time;
    bool folder;
  };
  // The widths the size and time columns want.
  struct COLUMN_NEEDS {
    int32_t width[2] = {0, 0};
  };
  void refresh();
  void lay_out();
  void show_path(const char* text);
  std::vector<LISTED> read_folder() const;
  COLUMN_NEEDS measure_columns(const std::vector<LISTED>& entries) const;
  int32_t text_room() const;
  void grow_for(const COLUMN_NEEDS& need);
  void fit_columns(const COLUMN_NEEDS& need);
  void list_folder_rows(const std::vector<LISTED>& entries);
  void list_drives();
  void add_level_item(const char* name);
  void add_row(const IMAGE& picture, const std::string& name, const char* size,
               const char* time, uintptr_t word, uintptr_t value);
  void update_ok();
  void set_name(const std::string& bytes);
  void clear_name_if_picking();
  void open_name_dialog();
  int32_t on_name_dialog(WM_TEXT_EDIT_DIALOG* dialog);
  // Makes the sub-folder and enters it: null, else why it was not made.
  const VORN_STRING* make_new_folder(const std::string& name);
  bool name_dialog_open() const;

  // Per row the entry's own name (row 0, the parent row, "..").
  std::vector<std::string> row_names;
  // The name the field was last given from the list or the caller, in both
  // forms: while the field still shows `shown_name`, `picked_name` is meant.
  std::string picked_name;
  std::string shown_name;
  // The millisecond clock when a click last changed the folder; 0 = never.
  uint32_t folder_changed_at = 0;
  int16_t margin = 0;            // half the buttons' height
  int16_t text_line_height = 0;  // of the surface's font
  int16_t label_height = 0;      // a text line and the accents over its capitals
  int16_t icon_column = 0;       // the list's first column, as wide as a row is high
};
