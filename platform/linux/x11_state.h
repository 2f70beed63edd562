#pragma once
// Connection-wide X11 state shared by the platform's Linux files (window,
// input, clipboard, frame loop). Nothing outside platform/linux includes it.
#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>
#include <cstdint>

#include "rect.h"

struct X11_STATE {
  Display* display = nullptr;  // opened on first use, closed at shutdown
  Window window = 0;           // 0 while no window is open
  int glx_major_opcode = -1;   // looked up when the display opens; -1 = no GLX
  int shm_major_opcode = -1;   // MIT-SHM, the same way; -1 = no shared images
  uint8_t gl_mismatch = 0;     // set when making a GL context current failed
  unsigned char key_map[32] = {};  // XQueryKeymap bits, refreshed every frame

  // Interned when the display opens.
  Atom clipboard = None;
  Atom text = None;
  Atom compound_text = None;
  Atom utf8_string = None;
  Atom targets = None;
  Atom wm_protocols = None;
  Atom wm_delete_window = None;

  // The video mode current when the display was first opened; only servers
  // with the XFree86 video-mode extension have one.
  bool have_video_modes = false;
  XF86VidModeModeInfo initial_mode = {};

  uint16_t desktop_width = 65535;  // 65535 until queried
  uint16_t desktop_height = 65535;

  uint8_t full_screen = 0;  // 1 while the window runs in a switched video mode
  Cursor blank_cursor = None;  // hides the pointer; made with the window
  Pixmap blank_bitmap = None;
  uint8_t pointer_hidden = 0;  // the blank cursor is defined on the window
};

extern X11_STATE x11;

// Records the connection and the opcodes the error handler needs.
void x11_note_display_opened(Display* display);

// Opens the default display when it is not open yet, interns the atoms and
// reads the initial video mode. True when the display is open.
bool x11_open_display();

// Closes any open window and the display connection when it is open, and
// forgets everything that belonged to the connection.
void x11_close_display();

// Hands one X event to the input dispatcher.
void dispatch_x_event(XEvent* event);

// Pieces of the dispatcher that live with their state.
void clipboard_selection_request(const XSelectionRequestEvent* request);
void clipboard_selection_clear(const XSelectionClearEvent* clear);
// Frees the cursors made on this connection before it closes.
void input_display_closing();
// Back to the default pointer with every made cursor freed, without the
// platform frame that set_mouse_cursor runs (the window is going away).
void input_reset_cursor();

// Converts the whole screen IMAGE into the presentation buffer without
// sending it (the conversion alone, for measurement). False without a
// window, while GL presents, or when the pixels go unconverted.
bool x11_convert_frame();

// How swap_screens sends frames to the open window: through a shared
// segment or inside the requests, converted or as the screen IMAGE holds
// them.
struct PRESENT_ROUTE {
  bool shared_memory = false;
  bool converted = false;
};
PRESENT_ROUTE x11_present_route();

// Writes the area of the screen IMAGE into image (a ZPixmap in host byte
// order, its layout and channel masks in its fields) the way presentation
// would; for formats that no server at hand offers. False for a pixel size
// that cannot be shown or an area outside both.
bool x11_convert_area(XImage* image, const RECT& area);
