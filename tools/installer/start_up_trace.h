#pragma once
// The installer's start-up stage by stage on its own debug stream,
// "Installer Start-up" (silent unless --vorn-showdebug names it): one line
// per stage as it is reached, so that a watcher reading the lines as they
// come (bench/startup_bench.sh) can time every stage from the program's
// start. Each stage is told once.
#include <cstdint>

class WM_DIALOG;

enum class START_UP_STAGE : uint8_t {
  SPLASH_SHOWN,   // the splash (or the start picture) is on screen
  DATA_UNPACKED,  // the payload is in installer.pkg
  DATA_LOADED,    // the database is read from it
  WINDOW_OPEN,    // the main window is open at the data's size
  PAGE_BUILT,     // the wizard's first page is built; its first frame follows
                  // (the first step of its fade-in, when it fades in)
};
void note_start_up(START_UP_STAGE stage);

// From here on, while the stream is on, every frame sent to the window (the
// steps of a page transition too) is looked at: the first in which the
// wizard's dialog shows, some of its pixels lit, is told as the first
// wizard frame. A page that fades in from black starts black.
void watch_wizard_frames();

// After each presented frame of the main loop, with the wizard's dialog:
// tells the first frame in which it rests (its opening effect and the
// page's transition done), and the first that shows it when no frame
// showed it lit before.
void note_wizard_frame(WM_DIALOG* dialog);
