// The quit question: one Yes/No dialog at a time, built from the EXIT
// geometry, the current language's texts and the skin's yes and no icons.
#include "quit_confirm.h"

#include "database.h"
#include "wm_button.h"
#include "wm_page_manager.h"
#include "wm_text_win.h"

QUIT_CONFIRM* quit_dialog = nullptr;

namespace {

constexpr int16_t kCapacity = 100;

void label_button(WM_BUTTON* button, const char* text, const IMAGE& icon) {
  if (!button) return;
  button->set_text(text, false);
  if (icon.width > 0) {
    button->set_icon_image(icon);
    if (button->visible) button->invalidate();
  }
}

}  // namespace

QUIT_CONFIRM::~QUIT_CONFIRM() {
  if (quit_dialog == this) quit_dialog = nullptr;
}

bool confirm_quit_now(uint32_t) {
  // Once the installation has finished there is nothing left to lose.
  if (installer_database().install_complete()) return true;
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  if (!manager) return false;
  WM_SCREEN_OBJECT* root = manager->current_root();
  if (quit_dialog) {
    // Off the overlays and deleted; the destructor clears the pointer, so
    // the delete below only takes one that was no overlay any more.
    root->remove_overlay(quit_dialog, true, false);
    delete quit_dialog;
  }
  DATABASE& data = installer_database();
  auto* dialog = new QUIT_CONFIRM(data.exit.width, data.exit.height,
                                  data.current_text(QUIT_TITLE), true, on_quit_answer, 1,
                                  data.exit.x, data.exit.y, false, kCapacity, nullptr);
  quit_dialog = dialog;
  if (dialog->message_window) {
    add_message_text(dialog, data.current_text(QUIT_MSG), nullptr);
    dialog->message_window->text_flags = 0;
  }
  dialog->draggable = data.exit.can_drag;
  label_button(dialog->first_button, data.current_text(QUIT_YES), data.icons[ICON_YES]);
  label_button(dialog->second_button, data.current_text(QUIT_NO), data.icons[ICON_NO]);
  // The skin's size is where it starts: the language's words decide.
  dialog->fit_to_texts();
  // Staying loses nothing: a Return pressed out of habit keeps the set-up.
  if (dialog->second_button) dialog->default_focus = dialog->second_button;
  root->add_overlay(dialog, false);
  return false;
}

int32_t on_quit_answer(WM_SCREEN_OBJECT* object, uintptr_t id, uintptr_t value) {
  const auto* button = static_cast<const WM_BUTTON*>(object);
  if (!button || button->firing_event != button_event::RELEASE || id != 1) return 0;
  if (value != 0) return page_action::END;
  if (quit_dialog) {
    quit_dialog->close(false);
    quit_dialog = nullptr;
  }
  return 0;
}

void add_message_text(WM_CONFIRM* dialog, const char* text, const COLOUR* colour) {
  if (!dialog || !dialog->message_window || !text) return;
  const COLOUR ink = colour && (*colour >> 24) != 0
                         ? *colour
                         : WM_DIALOG::message_colour(dialog->body_style.fg_colour);
  dialog->message_window->add_text(text, "", &ink, dialog->visible != 0, true);
}
