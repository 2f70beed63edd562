#pragma once
// What the window's files share: the visual that window management chooses
// and presentation draws through, and the calls by which window management
// makes and frees the presentation and the icon of the open window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// The GLX visual of the window (owned; freed when the window closes), or
// null for the default visual.
extern XVisualInfo* window_visual;

// The GC, the presentation image at the screen IMAGE's size and the colour
// conversion for the window's visual; a pixel format that cannot be shown
// is a fatal error.
void make_presentation();
// Frees the GC and the presentation image (the window is reconfigured).
void free_presentation();
// The window is closing: the GL context and buffer go as well.
void close_presentation();

// Sets the application's icon, or the built-in one, on the open window.
void set_window_icon();
void free_window_icon();
