#pragma once
// INSTALL_DIALOG is the wizard's one dialog, built afresh for the
// database's current page: a row of Quit, Previous and Forward buttons
// under that page's content (a text, a choice grid, the options or the
// progress of the install run). It is the installing page the install
// worker talks to.
#include <cstdint>
#include <vector>

#include "database_records.h"
#include "install_page.h"
#include "wm_dialog.h"

class DATABASE;
class WM_BUTTON;
class WM_GRID;
class WM_PROGRESS_BAR;
class WM_SCRIPT;
class IMAGE;

class INSTALL_DIALOG : public WM_DIALOG, public INSTALL_PAGE {
public:
  INSTALL_DIALOG(int16_t x, int16_t y);
  ~INSTALL_DIALOG() override = default;

  // Sets the bar and the current-file line; nothing without a bar. A call
  // that changes neither the percentage nor the shown text draws nothing.
  void set_progress(int32_t percent, const char* text) override;
  // Installing has ended: Quit becomes About (or is disabled when more
  // pages follow) and Forward is enabled.
  void update_buttons();
  void install_finished() override { update_buttons(); }
  void ask_on_copy_error(const char* path) override;
  void report_path_error(const char* folder, const char* reason) override;

  // The text a path is shown as on the current-file line.
  static const char* shown_text(const DATABASE& data, const char* text, char* buffer, size_t size);

  WM_BUTTON* quit_button = nullptr;
  WM_BUTTON* previous_button = nullptr;
  WM_BUTTON* forward_button = nullptr;
  WM_PROGRESS_BAR* progress_bar = nullptr;
  WM_SCRIPT* file_label = nullptr;

private:
  void add_text_window(int32_t page, int16_t cw, int16_t ch);
  void add_choice_grid(int32_t page, int16_t cw, int16_t ch);
  void add_options_grid(int16_t cw, int16_t ch);
  void add_progress(int16_t w, int16_t ch);
  void check_screen_size();
  // Places the button row in the dialog as it is.
  void lay_out_buttons();
};

// The widths a row of buttons gets in row_width pixels, gap pixels between
// each two: what each wants when all fit; else the narrower ones keep
// theirs and the wider ones share what is left evenly, at least a pixel
// each, so that no text is cut that need not be. The wizard's button row
// and the builder's check of its texts both go by it.
std::vector<int32_t> share_button_row(const std::vector<int32_t>& wanted, int32_t row_width, int32_t gap);

// The wizard's options and choice grids and the two folder buttons of the
// latest dialog that built them; null otherwise.
extern WM_GRID* option_grid;
extern WM_BUTTON* folder_button;
extern WM_BUTTON* browse_button;

// The current language's text of that key; "" without languages.
const char* wizard_text(LANGUAGE_KEY key);

// Gives the button the new text, a width fitted to it and the tooltip, and
// the icon when it has a size.
void relabel_button(WM_BUTTON* button, const char* text, const char* tooltip, const IMAGE& icon);
// The icon, when it has a size.
void give_button_icon(WM_BUTTON* button, const IMAGE& icon);
// The folder button's text: the install folder's real path, shortened in
// the middle to the button's width, or the words for the system's folders.
void show_install_folder(WM_BUTTON* button, bool system_folders);
// Disables an enabled button, redrawing it when visible.
void disable_button(WM_BUTTON* button);
// Enabled exactly when the condition holds.
void enable_when(WM_BUTTON* button, bool on);
