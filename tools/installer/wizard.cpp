// The wizard's page callbacks and its one button handler.
#include "wizard.h"

#include <cstdio>
#include <string>

#include "file_services.h"
#include "folder.h"
#include "database.h"
#include "install_dialog.h"
#include "scrolling_background.h"
#include "start_up_trace.h"
#include "timing.h"
#include "window.h"
#include "wizard_hooks.h"
#include "wm_about.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_file_select.h"
#include "wm_dialog.h"
#include "wm_grid.h"
#include "wm_kinds.h"
#include "wm_page_manager.h"
#include "wm_script.h"

INSTALL_DIALOG* current_dialog = nullptr;
int16_t dialog_x = -1, dialog_y = -1;
SCROLLING_BACKGROUND* background_scroller = nullptr;
uint32_t next_scroll_time = 0;

namespace {

WM_PAGE_MANAGER* wizard_manager = nullptr;

// The checked state of a box cell, whose own button reports the click.
WM_CHECK_BOX* box_of(WM_SCREEN_OBJECT* object) {
  for (WM_SCREEN_OBJECT* o = object; o; o = o->parent)
    if (o->kind & wm_kind::CHECK_BOX) return static_cast<WM_CHECK_BOX*>(o);
  return nullptr;
}

void follow_previous_installation(INSTALL_DIALOG* dialog) {
  DATABASE& data = installer_database();
  if (!data.patch.do_check || !dialog || !dialog->forward_button) return;
  enable_when(dialog->forward_button, data.find_previous_installation());
}

void open_about_box() {
  DATABASE& data = installer_database();
  WM_ABOUT* about = new WM_ABOUT(data.about.x, data.about.y, data.about.width, data.about.height);
  about->set_text(wizard_text(ABOUT));
  if (about->close_button)
    relabel_button(about->close_button, wizard_text(OK_BUTTON), nullptr, data.icons[ICON_YES]);
  about->draggable = data.about.can_drag;
  wizard_root()->add_overlay(about, false);
}

// A language text, or null when the language leaves it empty, so that the
// browser keeps its own words.
const char* text_or_null(LANGUAGE_KEY key) {
  const char* text = wizard_text(key);
  return text[0] ? text : nullptr;
}

// Where the last folder browser opened.
std::string browser_opened_at;

// The nearest existing folder on the way up from an absolute path; "" when
// there is none.
std::string nearest_existing(std::string path) {
  while (!path.empty() && !is_directory(path.c_str())) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || path == "/") return "";
    path.erase(slash == 0 ? 1 : slash);
  }
  return path;
}

// The folder browser for the install folder; it keeps the dialog whose
// Install button its answer may enable.
void open_folder_browser(uintptr_t dialog) {
  DATABASE& data = installer_database();
  WM_FILE_SELECT* browser = new WM_FILE_SELECT(
      data.file_select.x, data.file_select.y, data.file_select.width, data.file_select.height,
      &data.menu_button_style, &data.menu_dropdown_style, &data.text_win_text_style,
      &data.text_win_text_style, &data.scrollbar_style, true, on_wizard_button, 5,
      text_or_null(OK_BUTTON), text_or_null(CANCEL_BUTTON), text_or_null(NEW_FOLDER_BUTTON),
      &data.menu_item_style, &data.menu_alt_item_style);
  browser->new_folder_at_dialog = data.file_select.new_folder_too;
  // An install folder that does not exist yet (the usual case before the
  // first install) opens the browser at its nearest existing parent, not in
  // the program's own folder.
  FOLDER start;
  const char* real = resolve_path_text(data.install_folder);
  const std::string nearest = nearest_existing(real ? real : "");
  if (nearest.empty() || !start.set_absolute(nearest.c_str())) start.set_stored_path(data.install_folder);
  browser_opened_at = start.path;
  browser->set_mode(WM_FILE_SELECT::MODE_FOLDER, &start, nullptr, nullptr);
  browser->value_word = dialog;
  browser->draggable = data.file_select.can_drag;
  wizard_root()->add_overlay(browser, false);
  if (const char* title = text_or_null(SELECT_FOLDER_TITLE)) browser->set_text(title);
  give_button_icon(browser->ok_button, data.icons[ICON_YES]);
  give_button_icon(browser->cancel_button, data.icons[ICON_NO]);
  if (browser->new_folder_button) give_button_icon(browser->new_folder_button, data.icons[ICON_NEW_FOLDER]);
  if (const char* text = text_or_null(SELECT_FOLDER_MSG); text && browser->message_label)
    browser->message_label->set_text(text, false);
  if (const char* text = text_or_null(SELECT_FOLDER_MENU_TITLE); text && browser->location_label)
    browser->location_label->set_text(text, false);
  if (const char* text = text_or_null(MY_COMPUTER)) browser->my_computer_text.set(text);
  if (const char* text = text_or_null(NEW_FOLDER_TITLE)) browser->new_folder_title.set(text);
  if (const char* text = text_or_null(NEW_FOLDER_MSG)) browser->new_folder_prompt.set(text);
}

// The browser's answer: with OK the chosen folder becomes the install
// folder; the browser closes either way.
void take_browser_answer(WM_FILE_SELECT* browser, bool ok) {
  DATABASE& data = installer_database();
  FOLDER chosen;
  char unused[8];
  char text[DATABASE_PATH_SIZE];
  // OK in the folder the browser opened at changes nothing: the install
  // folder may lie below it, not made yet.
  if (ok && browser->get_result(&chosen, unused, sizeof unused) && browser_opened_at != chosen.path &&
      chosen.get_path_text(text, sizeof text, nullptr)) {
    set_field_text(data.install_folder, text);
    show_install_folder(folder_button, false);
    follow_previous_installation(reinterpret_cast<INSTALL_DIALOG*>(browser->value_word));
  }
  browser->close(true);
}

int32_t go_to(uintptr_t page) {
  installer_database().current_page = static_cast<int32_t>(page);
  return page == WIZARD_PAGE_FINISH ? page_action::END : page_action::RELOAD_PAGE;
}

}  // namespace

WM_MANAGER* wizard_root() { return wizard_manager ? wizard_manager->current_root() : nullptr; }

void wizard_install() {
  DATABASE::next_page_after_start = wizard_page_after_start;
  wizard_start = start_wizard;
}

void start_wizard(WM_PAGE_MANAGER* manager) {
  wizard_manager = manager;
  DATABASE& data = installer_database();
  manager->set_page(manager->get_current_area(), wizard_create_page, wizard_destroy_page, 0, wizard_frame, 0, 0,
                    nullptr);
  delete background_scroller;
  background_scroller = nullptr;
  if (data.background.speed != 0) {
    background_scroller = new SCROLLING_BACKGROUND();
    background_scroller->init_from_cache(0, 0, wm_image_cache(), data.background.path, data.background.filename,
                                         data.window.width, data.window.height,
                                         static_cast<uint32_t>(data.background.speed), data.background.width,
                                         data.background.height);
  }
  // A scroller without a picture draws nothing: the still background (or
  // black) must then replace whatever the start-up left behind.
  if (!background_scroller || !background_scroller->image) {
    manager->current_root()->invalidate_screen();
    IMAGE& back = manager->back_buffers[0];
    back.create(data.window.width, data.window.height);
    const COLOUR black = 0xFF000000;
    back.clear(&black, true);
    // Into the window-sized buffer: a picture smaller than the window keeps
    // the black beside it, so nothing of the start-up shows through there.
    if (data.background_image.width > 0) {
      back.blit(&data.background_image, 0, 0, 0, 0, data.background_image.width, data.background_image.height, BLIT_COPY);
    }
  }
  dialog_x = data.dialog.x;
  dialog_y = data.dialog.y;
}

void wizard_create_page(WM_PAGE_MANAGER* manager) {
  wizard_manager = manager;
  DATABASE& data = installer_database();
  if (background_scroller) background_scroller->draw();
  WM_MANAGER* root = manager->current_root();
  if (data.window.show_bg_title)
    root->add_child(new WM_SCRIPT(0, 0, -1, -1, &data.title_style, wizard_text(INSTALLER_TITLE)), true);
  current_dialog = new INSTALL_DIALOG(dialog_x, dialog_y);
  // A page that a transition brings in (the first one fades in from black)
  // carries its dialog in place: the transition is the dialog's way in, and
  // one that slid in only once the transition had ended would keep the user
  // looking at an empty page for the whole transition.
  if (manager->running_transition()) current_dialog->open_at_once();
  root->add_child(current_dialog, true);
  if (current_dialog->default_focus) current_dialog->default_focus->set_focus();
  note_start_up(START_UP_STAGE::PAGE_BUILT);
}

// The wizard's page is gone for good (replaced, or the areas reset at
// exit): nothing of it may be reached any more.
void wizard_destroy_page(uintptr_t*) {
  delete background_scroller;
  background_scroller = nullptr;
  current_dialog = nullptr;
  option_grid = nullptr;
  folder_button = browse_button = nullptr;
  wizard_manager = nullptr;
}

int32_t wizard_frame() {
  DATABASE& data = installer_database();
  // Every frame on every page: the worker runs on the installing page and
  // leaving that page is what abandons a run.
  data.install_step(current_dialog);
  if (current_dialog) {
    dialog_x = current_dialog->get_x();
    dialog_y = current_dialog->get_y();
  }
  WM_MANAGER* root = wizard_root();
  if (!root || !background_scroller) return 0;
  if (root->width <= data.dialog.width || root->height <= data.dialog.height) return 0;
  const uint32_t now = get_time_ms();
  if (next_scroll_time == 0) next_scroll_time = static_cast<uint32_t>(data.background.start_offset_ms) + now;
  if (static_cast<int32_t>(now - next_scroll_time) < 0) {
    background_scroller->reset();
    return 0;
  }
  if (background_scroller->update()) {
    background_scroller->draw();
    root->invalidate();
  }
  return 0;
}

int32_t on_wizard_button(WM_SCREEN_OBJECT* object, uintptr_t id, uintptr_t value) {
  if (id > 101) return 0;
  if (object && (object->kind & wm_kind::BUTTON)) {
    const uint8_t event = static_cast<WM_BUTTON*>(object)->firing_event;
    if (event != 0 && event != button_event::RELEASE) return 0;
  }
  DATABASE& data = installer_database();
  switch (id) {
    case 1:
      return !confirm_quit || confirm_quit(0) ? page_action::END : 0;
    case 2: {
      if (option_grid) {
        WM_SCREEN_OBJECT* old = option_grid->get_cell(0, data.chosen_installation);
        if (old && (old->kind & wm_kind::CHECK_BOX)) static_cast<WM_CHECK_BOX*>(old)->set_checked(false);
      }
      if (value >= data.installations.size()) return 0;
      data.chosen_installation = static_cast<int16_t>(value);
      set_field_text(data.install_folder, data.installations[value].default_path);
      if (option_grid) {
        WM_SCREEN_OBJECT* now = option_grid->get_cell(0, data.chosen_installation);
        if (now && (now->kind & wm_kind::CHECK_BOX)) static_cast<WM_CHECK_BOX*>(now)->set_checked(true);
      }
      return 0;
    }
    case 3: {
      const uintptr_t language = object ? object->value_word : 0;
      if (language < data.languages.size()) data.current_language = static_cast<int16_t>(language);
      set_window_title(wizard_text(INSTALLER_TITLE), 0);
      // The target the cell was built with belongs to the old language; a
      // licence that only the new one has must not be skipped.
      return go_to(static_cast<uintptr_t>(data.get_next_page()));
    }
    case 4: {
      WM_CHECK_BOX* box = box_of(object);
      data.use_system_paths = box && box->is_checked() ? 1 : 0;
      for (WM_BUTTON* b : {folder_button, browse_button})
        if (b) enable_when(b, !data.use_system_paths);
      show_install_folder(folder_button, data.use_system_paths != 0);
      follow_previous_installation(reinterpret_cast<INSTALL_DIALOG*>(value));
      return 0;
    }
    case 5:
      if (object && (object->kind & wm_kind::FILE_SELECT))
        take_browser_answer(static_cast<WM_FILE_SELECT*>(object), value != 0);
      else
        open_folder_browser(value);
      return 0;
    case 6:
    case 7: {
      WM_CHECK_BOX* box = box_of(object);
      const uint8_t on = box && box->is_checked() ? 1 : 0;
      (id == 6 ? data.desktop_shortcut : data.menu_shortcut) = on;
      return 0;
    }
    case 8:
      open_about_box();
      return 0;
    case 9:
      if (value) return page_action::END;
      WM_DIALOG::close_all_dialogs(false);
      return 0;
    case 100:
      return go_to(value);
    case 101:
      return 2;  // closes the asking dialog
    default:
      return 0;
  }
}
