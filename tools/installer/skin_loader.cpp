#include "skin_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config_file.h"
#include "data_file.h"
#include "database_look.h"
#include "default_dialog_styles.h"
#include "dialog_effects.h"
#include "errors.h"
#include "file_services.h"
#include "folder_hold.h"
#include "image_cache.h"
#include "replace_file.h"
#include "wm_button.h"
#include "wm_file_select.h"

namespace {

// A packed skin as it is made, in memory.
class SKIN_BYTES : public DATA_DEVICE {
public:
  std::vector<uint8_t> bytes;

  uint32_t tell() override { return static_cast<uint32_t>(position); }
  bool seek(int32_t offset, bool from_end) override {
    const int64_t target = (from_end ? static_cast<int64_t>(bytes.size()) : 0) + offset;
    if (target < 0 || target > static_cast<int64_t>(bytes.size())) return false;
    position = static_cast<size_t>(target);
    return true;
  }
  int32_t read(void*, int32_t) override { return 0; }
  int32_t write(const void* buffer, int32_t count) override {
    if (count < 1) return 0;
    const uint8_t* from = static_cast<const uint8_t*>(buffer);
    const size_t size = static_cast<size_t>(count);
    if (position + size > bytes.size()) bytes.resize(position + size);
    std::copy(from, from + size, bytes.begin() + static_cast<std::ptrdiff_t>(position));
    position += size;
    return count;
  }

private:
  size_t position = 0;
};

// Where a style-set file goes: a DATABASE style set, or (member null) one
// of the toolkit's styles, filled through one scratch style.
enum class TOOLKIT_STYLE : uint8_t { NONE, BUTTON, TOOLTIP, BODY, TITLE };

struct SKIN_FILE {
  const char* group;
  const char* name;
  WM_STYLE_SET DATABASE::*member;
  TOOLKIT_STYLE toolkit;
};

constexpr SKIN_FILE kSkinFiles[] = {
    {"button", "button.ss", nullptr, TOOLKIT_STYLE::BUTTON},
    {"button", "button_hints.ss", nullptr, TOOLKIT_STYLE::TOOLTIP},
    {"button", "menu_button.ss", &DATABASE::menu_button_style, TOOLKIT_STYLE::NONE},
    {"menu", "menu_dropdown.ss", &DATABASE::menu_dropdown_style, TOOLKIT_STYLE::NONE},
    {"menu", "menu_item.ss", &DATABASE::menu_item_style, TOOLKIT_STYLE::NONE},
    {"menu", "menu_alt_item.ss", &DATABASE::menu_alt_item_style, TOOLKIT_STYLE::NONE},
    {"check_box", "check_box.ss", &DATABASE::check_box_style, TOOLKIT_STYLE::NONE},
    {"progress_bar", "progress_bar.ss", &DATABASE::progress_bar_style, TOOLKIT_STYLE::NONE},
    {"progress_bar", "progress_bar_script.ss", &DATABASE::progress_bar_script_style,
     TOOLKIT_STYLE::NONE},
    {"dialog", "background.ss", nullptr, TOOLKIT_STYLE::BODY},
    {"dialog", "text.ss", &DATABASE::text_style, TOOLKIT_STYLE::NONE},
    {"dialog", "title.ss", nullptr, TOOLKIT_STYLE::TITLE},
    {"options", "options.ss", &DATABASE::options_style, TOOLKIT_STYLE::NONE},
    {"text_win", "scrollbar.ss", &DATABASE::scrollbar_style, TOOLKIT_STYLE::NONE},
    {"text_win", "text_title.ss", &DATABASE::text_win_title_style, TOOLKIT_STYLE::NONE},
    {"text_win", "text.ss", &DATABASE::text_win_text_style, TOOLKIT_STYLE::NONE},
    {"title", "title.ss", &DATABASE::title_style, TOOLKIT_STYLE::NONE},
};

constexpr const char* kIconNames[DATABASE_ICON_COUNT] = {
    "forw_icon",   "prev_icon",     "yes_icon",      "no_icon",       "quit_icon",
    "about_icon",  "finish_icon",   "agree_icon",    "disagree_icon", "install_icon",
    "new_folder_icon", "disk",      "disk-cdrom",    "disk-floppy",   "disk-network",
    "disk-linux",  "disk-unix",     "disk-mac",      "disk-os2",      "disk-dos",
    "disk-windows", "parent_folder", "file",         "folder",
};

// The file's style goes where the table says; the toolkit's button, body
// and title styles take the scratch style whether or not it read, the
// tooltip only a style that read.
void read_style_file(DATABASE& data, CONFIG_FILE& config, WM_STYLE_SET& scratch,
                     const SKIN_FILE& file) {
  config.init(file.name, true);
  if (file.member) {
    (data.*file.member).read_config(config);
    return;
  }
  const bool read = scratch.read_config(config);
  init_default_dialog_styles();
  switch (file.toolkit) {
    case TOOLKIT_STYLE::BUTTON: set_default_dialog_button_style(scratch); break;
    case TOOLKIT_STYLE::BODY: set_default_dialog_style(scratch); break;
    case TOOLKIT_STYLE::TITLE: set_default_dialog_title_style(scratch); break;
    case TOOLKIT_STYLE::TOOLTIP:
      if (read) {
        WM_BUTTON::tooltip_style().copy(scratch);
        WM_BUTTON::tooltip_style_set = 1;
      }
      break;
    case TOOLKIT_STYLE::NONE: break;
  }
}

uint16_t read_rate(CONFIG_FILE& config, const FOLDER& skin, const char* key) {
  int32_t value = 0;
  if (!config.get_int(skin, key, value)) return 0;
  return static_cast<uint16_t>(std::clamp<int32_t>(value, 0, UINT16_MAX));
}

bool is_plain_name(const char* name) {
  return name && *name && !strchr(name, '/') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

}  // namespace

bool load_skin(DATABASE& data, const char* path) {
  FOLDER skin;
  if (!path || !skin.set_stored_path(path) || strlen(path) >= sizeof data.skin_path) return false;
  set_field_text(data.skin_path, path);

  // The folder part of the configuration is where each file is read from:
  // the group's sub-folder.
  CONFIG_FILE config;
  WM_STYLE_SET scratch;
  FOLDER group;
  const char* entered = "";
  bool present = false;  // the entered group's sub-folder exists
  for (const SKIN_FILE& file : kSkinFiles) {
    if (strcmp(entered, file.group) != 0) {
      entered = file.group;
      group = skin;
      present = make_folder(&group, file.group, false);
    }
    if (!present) continue;
    static_cast<FOLDER&>(config) = group;
    read_style_file(data, config, scratch, file);
  }

  FOLDER icons = skin;
  if (make_folder(&icons, "icons", false)) {
    for (int i = 0; i < DATABASE_ICON_COUNT; ++i) data.icons[i].load(icons, kIconNames[i]);
  }

  load_dialog_effects(skin);
  CONFIG_FILE effects;
  effects.init("dialog_effects.cfg", true);
  data.progress_bar_animation_x_rate = read_rate(effects, skin, "progress_bar_animation_x_rate");
  data.progress_bar_animation_y_rate = read_rate(effects, skin, "progress_bar_animation_y_rate");
  data.progress_bar_animation_update_rate =
      read_rate(effects, skin, "progress_bar_animation_update_rate");
  return true;
}

bool write_skin(DATABASE& data, DATA_DEVICE* device) {
  return device && device->write_object(wm_image_cache()) && write_database_look(data, device);
}

void copy_browser_icons(const DATABASE& data) {
  for (int i = 0; i < WM_FILE_SELECT::ICON_COUNT; ++i)
    WM_FILE_SELECT::set_icon(i, data.icons[ICON_DISK + i]);
}

bool read_skin(DATABASE& data, DATA_DEVICE* device) {
  if (!device || !device->read_object(wm_image_cache()) || !read_database_look(data, device))
    return false;
  copy_browser_icons(data);
  return true;
}

bool load_packed_skin(DATABASE& data, const char* program_path) {
  if (!program_path) return false;
  const PAYLOAD_INFO payload = payload_offset_of(program_path);
  const char* slash = strrchr(program_path, '/');
  if (!payload.present || !slash || payload.offset > INT32_MAX - 1) return false;
  FOLDER folder;
  const std::string folder_text =
      slash == program_path ? std::string("/") : std::string(program_path, slash);
  if (!folder.set_absolute(folder_text.c_str())) return false;
  const char* name = slash + 1;

  DATA_FILE* file = folder.open_data_file(name, 0);
  uint8_t order = 0;
  if (!file || !file->seek(static_cast<int32_t>(payload.offset), false) || !file->read_u8(order)) {
    if (file) FOLDER::close_data_file(file);
    return false;
  }
  if (order != 0) {
    // The order byte becomes the swap flag of a file opened afresh.
    FOLDER::close_data_file(file);
    file = folder.open_data_file(name, 0, order == 255 ? 1 : order);
    if (!file || !file->seek(static_cast<int32_t>(payload.offset) + 1, false)) {
      if (file) FOLDER::close_data_file(file);
      return false;
    }
  }
  const bool read = read_skin(data, file);
  FOLDER::close_data_file(file);
  return read;
}

int write_packed_skin_file(DATABASE& data, const FOLDER& folder, const char* file_name) {
  if (!is_plain_name(file_name)) {
    console_print("Skin not written: the output needs a plain file name.\n");
    return 1;
  }
  if (!load_skin(data, "$APPDATA/kiv")) {
    console_print("Skin not written: no skin folder \"kiv\" in the application data folder.\n");
    return 1;
  }
  // The block is made in memory, then written into the output folder held
  // open, never through another user's link on the way (a shared 1777
  // folder), and takes its name only when complete, so an earlier block is
  // never replaced by a broken one.
  SKIN_BYTES block;
  FOLDER_HOLD held;
  FILE_REPLACEMENT out;
  if (!held.reach(folder)) {
    const PATH_FAILURE& failure = held.failure();
    console_print(("Skin not written: " + failure.folder + ": " + failure.reason() + "\n").c_str());
    return 1;
  }
  const uint8_t order = 0;  // the byte-order byte: little-endian
  if (!write_skin(data, &block) ||
      !out.begin(folder, file_name, FILE_REPLACEMENT::PERMISSIONS_DEFAULT, &held) ||
      !out.write(&order, 1) || !out.write(block.bytes.data(), block.bytes.size()) || !out.commit()) {
    const std::string why = out.error ? std::string(" (") + strerror(out.error) + ")" : "";
    console_print(("Skin not written: writing " + std::string(file_name) + " failed" + why + "\n").c_str());
    return 1;
  }
  return 0;
}
