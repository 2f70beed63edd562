#pragma once
// The installer's quit confirmation: every close request (the window's
// close button, a signal, the wizard's Quit button) opens one Yes/No dialog
// in the current language; Yes ends the program, No closes the dialog and
// the run goes on. Also the routine that adds a message to such a dialog.
#include <cstdint>

#include "colour.h"
#include "wm_confirm.h"

// The confirmation dialog of the quit question. Whatever deletes it (its own
// No, a page reload, closing every dialog) clears quit_dialog on the way.
class QUIT_CONFIRM : public WM_CONFIRM {
public:
  using WM_CONFIRM::WM_CONFIRM;
  ~QUIT_CONFIRM() override;
};

// The open quit dialog; null while none is open.
extern QUIT_CONFIRM* quit_dialog;

// The close handler: once the installation has finished, true (the
// program ends without asking). Otherwise it replaces an open quit dialog
// by a new one, as an overlay of the page manager's current root, and
// returns false: the answer comes later, from the dialog.
bool confirm_quit_now(uint32_t reason);

// The dialog's button callback: Yes (value 1) ends the program (-1); No
// starts its closing and clears quit_dialog.
int32_t on_quit_answer(WM_SCREEN_OBJECT* object, uintptr_t id, uintptr_t value);

// Appends the text to the dialog's message window, in the colour when it is
// set, else in the dialog's text colour. Nothing without a message window
// or text.
void add_message_text(WM_CONFIRM* dialog, const char* text, const COLOUR* colour);
