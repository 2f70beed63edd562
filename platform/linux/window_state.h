#pragma once
// What the window's files share: the window's visual as GL sees it, and the
// calls by which window management makes and frees the presentation and the
// icon of the open window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// The window has the server's default visual. Its description for GLX,
// found the first time it is asked for and kept until the window closes;
// null without GLX or when that visual cannot take a double-buffered RGBA
// context of eight bits a colour.
XVisualInfo* window_gl_visual();

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
