#include "wizard_hooks.h"

WIZARD_START wizard_start = nullptr;
CONFIRM_QUIT confirm_quit = nullptr;
