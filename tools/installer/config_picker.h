#pragma once
// Another way into the installer: a start page where a full-window file
// browser picks the installation configuration (an ".xml" file). The choice
// is remembered in "settings.cfg" under $USERPREFS (last_path in variable
// form, last_filename), and the wizard starts from the chosen folder.
#include <cstdint>

class WM_PAGE_MANAGER;
class WM_SCREEN_OBJECT;

// Registers the picker as the page of the manager's current area.
void config_picker_start(WM_PAGE_MANAGER* manager);
// The page's create callback: the browser at the remembered folder and
// name ("$APPDATA" and none at first).
void config_picker_create_page(WM_PAGE_MANAGER* manager);
// The browser's callback: on OK loads "installer.pkg" from the chosen
// folder, opens the installer's window and brings in the wizard (11); a
// folder without a loadable package leaves the picker open (0).
int32_t on_config_file_chosen(WM_SCREEN_OBJECT* browser, uintptr_t word, uintptr_t value);
