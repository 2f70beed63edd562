#include "wizard_hooks.h"

#include "quit_confirm.h"

WIZARD_START wizard_start = nullptr;
CONFIRM_QUIT confirm_quit = confirm_quit_now;
