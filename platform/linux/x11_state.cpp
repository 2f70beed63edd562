#include "x11_state.h"

X11_STATE x11;

void x11_note_display_opened(Display* display) {
  x11.display = display;
  int major = 0, first_event = 0, first_error = 0;
  // Extension opcodes differ between servers; the error handler must match
  // the GLX make-current request by the opcode this server gave GLX.
  if (display && XQueryExtension(display, "GLX", &major, &first_event, &first_error))
    x11.glx_major_opcode = major;
  else
    x11.glx_major_opcode = -1;
}

void x11_close_display() {
  if (!x11.display) return;
  XCloseDisplay(x11.display);
  x11.display = nullptr;
  x11.window = 0;
  x11.glx_major_opcode = -1;
}
