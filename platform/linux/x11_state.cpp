#include "x11_state.h"
#include <time.h>

#include <cstdlib>

#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>

#include "window.h"

X11_STATE x11;

namespace {

// The mode line of the current mode, kept in the form that switching back
// to it needs.
void read_initial_video_mode(Display* display) {
  x11.have_video_modes = false;
  x11.initial_mode = {};
  int major = 0, first_event = 0, first_error = 0;
  // Asking a server without the extension would print Xlib's complaint.
  if (!XQueryExtension(display, "XFree86-VidModeExtension", &major, &first_event, &first_error))
    return;
  int event_base = 0, error_base = 0;
  if (!XF86VidModeQueryExtension(display, &event_base, &error_base)) return;
  int dot_clock = 0;
  XF86VidModeModeLine line = {};
  if (!XF86VidModeGetModeLine(display, DefaultScreen(display), &dot_clock, &line)) return;
  XF86VidModeModeInfo& mode = x11.initial_mode;
  mode.dotclock = static_cast<unsigned int>(dot_clock);
  mode.hdisplay = line.hdisplay;
  mode.hsyncstart = line.hsyncstart;
  mode.hsyncend = line.hsyncend;
  mode.htotal = line.htotal;
  mode.hskew = line.hskew;
  mode.vdisplay = line.vdisplay;
  mode.vsyncstart = line.vsyncstart;
  mode.vsyncend = line.vsyncend;
  mode.vtotal = line.vtotal;
  mode.flags = line.flags;
  // Switching back needs no driver-private data.
  mode.privsize = 0;
  mode.c_private = nullptr;
  if (line.privsize > 0 && line.c_private) XFree(line.c_private);
  x11.have_video_modes = true;
}

}  // namespace

void x11_note_display_opened(Display* display) {
  x11.display = display;
  int major = 0, first_event = 0, first_error = 0;
  // Extension opcodes differ between servers; the error handler must match
  // the GLX make-current request by the opcode this server gave GLX.
  if (display && XQueryExtension(display, "GLX", &major, &first_event, &first_error))
    x11.glx_major_opcode = major;
  else
    x11.glx_major_opcode = -1;
  // The shared-image requests carry the opcode this server gave MIT-SHM;
  // the attach's error is told apart by it.
  if (display && XQueryExtension(display, "MIT-SHM", &major, &first_event, &first_error))
    x11.shm_major_opcode = major;
  else
    x11.shm_major_opcode = -1;
}

bool x11_open_display() {
  if (x11.display) return true;
  Display* display = XOpenDisplay(nullptr);
  // A busy server refuses connections for a moment when many clients
  // connect at once; a named display gets a second or two before the
  // program gives up on it. Without one there is nothing to wait for.
  const char* name = getenv("DISPLAY");
  for (int attempt = 0; !display && name && *name && attempt < 20; attempt++) {
    const timespec pause{0, 100 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    display = XOpenDisplay(nullptr);
  }
  if (!display) return false;
  x11_note_display_opened(display);
  // CLIPBOARD is interned even when no other client has named it yet: on
  // a fresh server the program would otherwise never offer or fetch text.
  x11.clipboard = XInternAtom(display, "CLIPBOARD", False);
  x11.text = XInternAtom(display, "TEXT", False);
  x11.compound_text = XInternAtom(display, "COMPOUND_TEXT", False);
  x11.utf8_string = XInternAtom(display, "UTF8_STRING", False);
  x11.targets = XInternAtom(display, "TARGETS", False);
  x11.wm_protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  x11.wm_delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  read_initial_video_mode(display);
  return true;
}

void x11_close_display() {
  if (!x11.display) return;
  if (x11.window) close_window(ALL_SCREENS);
  input_display_closing();
  XCloseDisplay(x11.display);
  x11 = X11_STATE();
}
