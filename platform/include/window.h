#pragma once
// The program's one X11 window and its software frame buffer. Everything is
// drawn into the screen IMAGE; swap_screens shows what changed in the window
// (XPutImage, or glDrawPixels while a GL context exists). There is one
// screen, index 0; 65535 stands for every screen where a call accepts it.
#include <cstdint>

#include "screen.h"

// The request of open_window. -1 in a size means the desktop's size, -1 in a
// limit means no limit.
struct WINDOW_PARAMS {
  const char* title = nullptr;  // null = empty title
  int16_t width = -1;
  int16_t height = -1;
  uint8_t full_screen = 0;  // switch the video mode where the server can
  int16_t min_width = -1;
  int16_t max_width = -1;
  int16_t min_height = -1;
  int16_t max_height = -1;
  uint8_t borderless = 0;  // ask the window manager for no decorations
};

// Opens the window, or reconfigures the open one (switching between windowed
// and full screen re-creates it). The window is centred on the desktop less
// the window manager's frame and cannot be resized by the user. Without the
// video-mode extension, or without a mode of exactly the requested size, a
// full-screen request gives a borderless window of that size. False for a
// screen other than 0, without a display, or when the limits do not fit the
// desktop.
bool open_window(const WINDOW_PARAMS* params, uint16_t screen);
// open_window with no limits and decorations.
bool open_screen(const char* title, int16_t width, int16_t height, uint8_t full_screen,
                 uint16_t screen = 0);
// Closes the window (screen 0 or ALL_SCREENS), restoring the video mode
// that was current when the display was first opened.
void close_window(uint16_t screen);
// Shows the screen IMAGE when its dirty rectangle is not empty, then empties
// it and sets the presented flag; a clean frame sends nothing.
void swap_screens(uint16_t screen);
// Called after each frame that swap_screens has sent to the window (also
// the steps of a page transition); null for none. For a watcher of what
// the user is shown, such as a start-up trace.
using PRESENT_OBSERVER = void (*)();
void set_present_observer(PRESENT_OBSERVER observer);
void set_window_title(const char* title, uint16_t screen);

bool window_exists(uint16_t screen = 0);
bool is_window_open();
bool is_full_screen();
// The root window's size, queried once (opening the display when needed);
// 0 when it cannot be read.
uint16_t get_desktop_width();
uint16_t get_desktop_height();

// Optional GL presentation: true when a GLX context is current on the
// window. Refused once the server reported that a context does not match.
bool create_gl_context();
void destroy_gl_context();
// Makes the next swap_screens present through GL even when nothing is dirty.
void request_gl_redraw();

