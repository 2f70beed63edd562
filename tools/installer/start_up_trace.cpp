#include "start_up_trace.h"

#include <iterator>

#include "debug_stream.h"
#include "window.h"
#include "wm_dialog.h"

namespace {

// Made during static initialisation, so that --vorn-listdebug lists it.
DEBUG_STREAM start_up_stream("Installer Start-up", 0, false);

constexpr const char* kStageLines[] = {
    "start-up: splash shown", "start-up: data unpacked",      "start-up: data loaded",
    "start-up: window open",  "start-up: page built",          "start-up: first wizard frame",
    "start-up: wizard at rest"};
constexpr int kFirstWizardFrame = 5;
constexpr int kWizardAtRest = 6;
bool told[std::size(kStageLines)] = {};

void tell(int stage) {
  if (told[stage]) return;
  told[stage] = true;
  start_up_stream.write(nullptr, 0, kStageLines[stage], true);
}

bool on_screen(WM_DIALOG& dialog) {
  return dialog.visible && dialog.drawn && dialog.get_alpha() > 0 &&
         dialog.x < get_screen_width(0) && dialog.y < get_screen_height(0) &&
         dialog.x + dialog.width > 0 && dialog.y + dialog.height > 0;
}

}  // namespace

void note_start_up(START_UP_STAGE stage) { tell(static_cast<int>(stage)); }

void note_wizard_frame(WM_DIALOG* dialog) {
  if (told[kWizardAtRest] || !dialog || !on_screen(*dialog)) return;
  tell(kFirstWizardFrame);
  if (!dialog->is_moving()) tell(kWizardAtRest);
}
