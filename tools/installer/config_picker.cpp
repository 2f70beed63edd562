// The configuration picker: the browser page, the remembered choice and the
// start of the wizard from the chosen folder.
#include "config_picker.h"

#include "config_file.h"
#include "database.h"
#include "platform.h"
#include "screen.h"
#include "window.h"
#include "wizard_hooks.h"
#include "wm_button.h"
#include "wm_file_select.h"
#include "wm_page_manager.h"
#include "wm_script.h"

namespace {

constexpr int32_t kBringInNewPage = 11;
constexpr uintptr_t kPickerWord = 1;
constexpr uintptr_t kOk = 1;

// settings.cfg in $USERPREFS; false when that folder cannot be had.
bool open_settings(CONFIG_FILE& settings) {
  settings.init("settings.cfg", false);
  return settings.set("$USERPREFS", true);
}

}  // namespace

void config_picker_start(WM_PAGE_MANAGER* manager) {
  if (!manager) return;
  manager->set_page(manager->get_current_area(), config_picker_create_page, nullptr, 0, nullptr,
                    0, 0, nullptr);
}

void config_picker_create_page(WM_PAGE_MANAGER* manager) {
  WM_SCREEN_OBJECT* root = manager->current_root();
  DATABASE& data = installer_database();
  FOLDER start;
  start.set("$APPDATA");
  char last_path[256] = {}, last_name[256] = {};
  bool has_name = false;
  CONFIG_FILE settings;
  if (open_settings(settings)) {
    if (settings.get_string("last_path", last_path)) start.set_stored_path(last_path);
    has_name = settings.get_string("last_filename", last_name);
  }
  auto* browser = new WM_FILE_SELECT(
      0, 0, static_cast<int16_t>(get_screen_width(0)), static_cast<int16_t>(get_screen_height(0)),
      &data.menu_button_style, &data.menu_dropdown_style, &data.text_win_text_style,
      &data.text_win_text_style, &data.scrollbar_style, false, on_config_file_chosen, kPickerWord,
      "Open", nullptr, nullptr, &data.menu_item_style, &data.menu_alt_item_style);
  browser->set_mode(WM_FILE_SELECT::MODE_EXISTING_FILE, &start, has_name ? last_name : nullptr,
                    ".xml");
  browser->effects.flags = 0;
  browser->draggable = 0;
  if (browser->cancel_button && browser->cancel_button->enabled)
    browser->cancel_button->set_enabled(false);
  browser->set_text("Select Installation Configuration");
  if (browser->message_label)
    browser->message_label->set_text("Select the XML configuration file.", false);
  browser->show();
  root->add_overlay(browser, false);
}

int32_t on_config_file_chosen(WM_SCREEN_OBJECT* object, uintptr_t word, uintptr_t value) {
  if (word != kPickerWord || value != kOk) return 0;
  auto* browser = static_cast<WM_FILE_SELECT*>(object);
  DATABASE& data = installer_database();
  char name[WM_FILE_SELECT::NAME_MAX_LENGTH + 1] = {};
  FOLDER chosen;
  if (!browser->get_result(&chosen, name, sizeof name)) return 0;
  data.pack_folder = chosen;
  data.xml_name.set(name);

  char path_text[2048];
  CONFIG_FILE settings;
  if (chosen.get_path_text(path_text, sizeof path_text, nullptr) && open_settings(settings)) {
    settings.set_string("last_path", path_text);
    settings.set_string("last_filename", name);
  }
  if (!data.load_package("installer.pkg")) return 0;

  WINDOW_PARAMS params;
  params.title = data.current_text(INSTALLER_TITLE);
  params.width = data.window.width;
  params.height = data.window.height;
  params.full_screen = data.window.fullscreen;
  params.min_width = data.dialog.width;
  params.min_height = data.dialog.height;
  if (!open_window(&params, 0)) return 0;
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  manager->current_root()->set_size(static_cast<uint16_t>(data.window.width),
                                    static_cast<uint16_t>(data.window.height), true);
  browser->close(true);
  if (wizard_start) wizard_start(manager);
  set_close_handler(confirm_quit);
  return kBringInNewPage;
}
