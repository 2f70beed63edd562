#pragma once
// Where the application shell meets the wizard: the wizard sets these when
// it is linked in. While wizard_start is unset the main window shows an
// empty page; while confirm_quit is unset a close request ends the program.
#include <cstdint>

class WM_PAGE_MANAGER;

using WIZARD_START = void (*)(WM_PAGE_MANAGER* manager);
using CONFIRM_QUIT = bool (*)(uint32_t reason);

extern WIZARD_START wizard_start;
extern CONFIRM_QUIT confirm_quit;
