#include "start_up_trace.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "debug_stream.h"
#include "image.h"
#include "install_dialog.h"
#include "window.h"
#include "wizard.h"
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

// Whether the frame just sent lights any pixel where the dialog lies.
bool lit(const WM_DIALOG& dialog) {
  const IMAGE* screen = get_screen_image(0);
  if (!screen || !screen->pixels) return false;
  const int32_t x1 = std::max<int32_t>(dialog.x, 0), y1 = std::max<int32_t>(dialog.y, 0);
  const int32_t x2 = std::min<int32_t>(dialog.x + dialog.width, screen->width);
  const int32_t y2 = std::min<int32_t>(dialog.y + dialog.height, screen->height);
  for (int32_t y = y1; y < y2; ++y) {
    const uint32_t* row = screen->pixels + static_cast<size_t>(y) * static_cast<size_t>(screen->stride);
    if (std::any_of(row + x1, row + x2, [](uint32_t p) { return (p & 0xFFFFFFu) != 0; })) return true;
  }
  return false;
}

void frame_sent() {
  if (current_dialog && on_screen(*current_dialog) && lit(*current_dialog)) tell(kFirstWizardFrame);
}

}  // namespace

void note_start_up(START_UP_STAGE stage) { tell(static_cast<int>(stage)); }

void watch_wizard_frames() {
  if (start_up_stream.has_output() && !told[kWizardAtRest]) set_present_observer(frame_sent);
}

void note_wizard_frame(WM_DIALOG* dialog) {
  if (told[kWizardAtRest] || !dialog || !on_screen(*dialog)) return;
  tell(kFirstWizardFrame);
  if (dialog->is_moving()) return;
  tell(kWizardAtRest);
  set_present_observer(nullptr);
}
