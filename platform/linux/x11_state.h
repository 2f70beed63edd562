#pragma once
// Connection-wide X11 state shared by the platform's Linux files (window,
// input, clipboard, frame loop). Nothing outside platform/linux includes it.
#include <X11/Xlib.h>
#include <cstdint>

struct X11_STATE {
  Display* display = nullptr;  // opened on first use, closed at shutdown
  Window window = 0;           // 0 while no window is open
  int glx_major_opcode = -1;   // looked up when the display opens; -1 = no GLX
  uint8_t gl_mismatch = 0;     // set when making a GL context current failed
  unsigned char key_map[32] = {};  // XQueryKeymap bits, refreshed every frame
};

extern X11_STATE x11;

// Records the connection and the opcodes the error handler needs.
void x11_note_display_opened(Display* display);

// Closes the display connection when it is open and forgets it.
void x11_close_display();

// Hands one X event to the input dispatcher.
void dispatch_x_event(XEvent* event);
