#pragma once
// The program's one X11 window and its software frame buffer. Everything is
// drawn into the screen IMAGE; swap_screens shows what changed in the window
// (through a shared-memory image or XPutImage, or glDrawPixels while a GL
// context exists). There is one screen, index 0; 65535 stands for every
// screen where a call accepts it.
#include <cstdint>

#include "rect.h"
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
// Shows what changed of the screen IMAGE: its dirty rectangle and the areas
// handed over since the last call; then empties both and sets the presented
// flag. A clean frame sends nothing.
void swap_screens(uint16_t screen);
// A finer account of what changed than the screen IMAGE's dirty rectangle
// (the bounds of every drawing): everything drawn into the screen IMAGE
// since the last swap_screens lies inside these inclusive areas. They take
// the dirty rectangle's place, which is emptied, so that swap_screens sends
// only them and what is drawn after this call. Without a window, or while
// GL presents, the dirty rectangle stays as it is.
void hand_over_screen_changes(const RECT* areas, int32_t count);
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

