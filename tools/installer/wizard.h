#pragma once
// The installer's wizard: one page of the page manager rebuilt on every
// move, an INSTALL_DIALOG for the database's current page over a scrolling
// or still background. wizard_install hands the shell and the database
// reader their wizard hooks.
#include <cstdint>

class DATABASE;
class INSTALL_DIALOG;
class SCROLLING_BACKGROUND;
class WM_MANAGER;
class WM_PAGE_MANAGER;
class WM_SCREEN_OBJECT;

// The page the database reader moves on to from the start page.
int32_t wizard_page_after_start(const DATABASE& data);

// Sets DATABASE::next_page_after_start and the shell's wizard hook.
void wizard_install();

// Registers the wizard's page with the manager and prepares the background.
void start_wizard(WM_PAGE_MANAGER* manager);
void wizard_create_page(WM_PAGE_MANAGER* manager);
void wizard_destroy_page(uintptr_t* page_word);
int32_t wizard_frame();
// The callback of every wizard control: word 1 is the control's id, word 2
// its value. 0 nothing, 2 close the calling dialog, 7 reload the page, -1
// end the program.
int32_t on_wizard_button(WM_SCREEN_OBJECT* object, uintptr_t id, uintptr_t value);

// The root the wizard's dialogs and overlays live in; null before start.
WM_MANAGER* wizard_root();

extern INSTALL_DIALOG* current_dialog;
extern int16_t dialog_x, dialog_y;  // where the next page's dialog opens
extern SCROLLING_BACKGROUND* background_scroller;
extern uint32_t next_scroll_time;
