// The program's X11 window: opening, reconfiguring and closing it, the
// window manager's hints, video modes for full screen, and titles. The
// icon and the presentation of the screen IMAGE have files of their own.
#include "window.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/xf86vmode.h>

#include <algorithm>
#include <string>

#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"
#include "input.h"
#include "platform.h"
#include "text_convert.h"
#include "window_state.h"
#include "x11_state.h"

namespace {

struct WINDOW_STATE {
  uint8_t decorations_removed = 0;
  // What the window manager's frame takes: each side, top, bottom.
  uint16_t margin_side = 0;
  uint16_t margin_top = 0;
  uint16_t margin_bottom = 0;
  XVisualInfo* gl_visual = nullptr;  // the window's visual, once GL was asked for
};

WINDOW_STATE win;

constexpr long kInputEventMask = KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                                 PointerMotionMask | LeaveWindowMask | ExposureMask | StructureNotifyMask |
                                 SubstructureNotifyMask | SubstructureRedirectMask |
                                 FocusChangeMask;

constexpr const char* kDecorationAtoms[] = {"_MOTIF_WM_HINTS", "KWM_WIN_DECORATION", "_WIN_HINTS"};

// ---------------------------------------------------------------------------
// Window-manager hints

void delete_decoration_properties() {
  for (const char* name : kDecorationAtoms) {
    Atom atom = XInternAtom(x11.display, name, True);
    if (atom != None) XDeleteProperty(x11.display, x11.window, atom);
  }
}

void set_decoration_properties() {
  // Format-32 property data is an array of long, whatever the word size.
  const long motif_hints[5] = {2, 0, 0, 0, 0};  // decorations field valid, none
  const long zero[1] = {0};
  struct {
    const char* name;
    const long* data;
    int count;
  } const properties[] = {
      {kDecorationAtoms[0], motif_hints, 5}, {kDecorationAtoms[1], zero, 1}, {kDecorationAtoms[2], zero, 1}};
  for (const auto& property : properties) {
    Atom atom = XInternAtom(x11.display, property.name, True);
    if (atom == None) continue;
    XChangeProperty(x11.display, x11.window, atom, atom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(property.data), property.count);
  }
}

void set_utf8_property(const char* name, const std::string& text) {
  XChangeProperty(x11.display, x11.window, XInternAtom(x11.display, name, False), x11.utf8_string,
                  8, PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
}

// Task bars and window switchers group windows by their class: the
// instance is the name the program was started by, the class the same with
// a capital first letter.
void set_class_hint() {
  std::string name;
  char** argv = get_saved_argv();
  if (argv && argv[0] && *argv[0]) {
    name = argv[0];
    name.erase(0, name.rfind('/') + 1);
  } else {
    FOLDER folder;
    char file[256];
    if (get_program_path(&folder, file, sizeof file)) name = file;
  }
  if (name.empty()) return;
  std::string class_name = name;
  if (class_name[0] >= 'a' && class_name[0] <= 'z')
    class_name[0] = static_cast<char>(class_name[0] - 'a' + 'A');
  XClassHint* hint = XAllocClassHint();
  if (!hint) return;
  hint->res_name = name.data();
  hint->res_class = class_name.data();
  XSetClassHint(x11.display, x11.window, hint);
  XFree(hint);
}

void set_fixed_size_hints(int32_t width, int32_t height) {
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = PMinSize | PMaxSize | PBaseSize;
  hints->min_width = hints->max_width = hints->base_width = width;
  hints->min_height = hints->max_height = hints->base_height = height;
  XSetWMNormalHints(x11.display, x11.window, hints);
  XFree(hints);
}

void send_full_screen_state(bool full_screen) {
  Display* d = x11.display;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = x11.window;
  event.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = full_screen ? 1 : 0;  // add or remove
  event.xclient.data.l[1] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False));
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = 0;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureNotifyMask | SubstructureRedirectMask,
             &event);
}

void make_blank_cursor() {
  static const char zero_bits[8] = {};
  x11.blank_bitmap = XCreateBitmapFromData(x11.display, x11.window, zero_bits, 8, 8);
  if (x11.blank_bitmap == None) return;
  XColor black = {};
  x11.blank_cursor =
      XCreatePixmapCursor(x11.display, x11.blank_bitmap, x11.blank_bitmap, &black, &black, 0, 0);
}

// ---------------------------------------------------------------------------
// Video modes

void restore_video_mode() {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  XF86VidModeLockModeSwitch(d, screen, 0);
  XF86VidModeSwitchToMode(d, screen, &x11.initial_mode);
  XF86VidModeSetViewPort(d, screen, 0, 0);
  XFlush(d);
  x11.full_screen = 0;
}

// The first mode of exactly this size; false when the server lists no modes
// at all. switched tells whether a mode was found and switched to.
bool switch_video_mode(int32_t width, int32_t height, bool& switched) {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  switched = false;
  int count = 0;
  XF86VidModeModeInfo** modes = nullptr;
  if (!XF86VidModeGetAllModeLines(d, screen, &count, &modes) || !modes) return false;
  for (int i = 0; i < count && !switched; ++i) {
    if (modes[i]->hdisplay != width || modes[i]->vdisplay != height) continue;
    XF86VidModeSwitchToMode(d, screen, modes[i]);
    XF86VidModeSetViewPort(d, screen, 0, 0);
    XF86VidModeLockModeSwitch(d, screen, 1);
    XFlush(d);
    x11.full_screen = 1;
    switched = true;
  }
  for (int i = 0; i < count; ++i)
    if (modes[i]->privsize > 0 && modes[i]->c_private) XFree(modes[i]->c_private);
  XFree(modes);
  return count > 0;
}

// ---------------------------------------------------------------------------

void create_window(int32_t x, int32_t y, int32_t width, int32_t height,
                   const XWindowAttributes& root_attributes, const char* title) {
  Display* d = x11.display;
  Window root = DefaultRootWindow(d);
  // The server's own visual: presentation converts the frame for it, and
  // GL, which nothing needs to start, is looked for only when a context is
  // asked for (loading a GL driver costs more than the whole splash).
  Window window = XCreateSimpleWindow(d, root, x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height),
                                      static_cast<unsigned>(root_attributes.border_width), ~0ul, 0);
  if (!window) report_error(0x0000);
  x11.window = window;

  XSetWindowAttributes override = {};
  override.override_redirect = x11.full_screen ? True : False;
  XChangeWindowAttributes(d, window, CWOverrideRedirect, &override);
  set_class_hint();
  set_window_title(title, 0);
  set_window_icon();
  Atom protocols[1] = {x11.wm_delete_window};
  XSetWMProtocols(d, window, protocols, 1);
  XSelectInput(d, window, kInputEventMask);
  XMapWindow(d, window);
  XMoveResizeWindow(d, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  make_blank_cursor();
  // A pointer hidden before the window was re-created stays hidden.
  if (x11.pointer_hidden && x11.blank_cursor != None) XDefineCursor(d, window, x11.blank_cursor);
}

bool limit_broken(int32_t value, int16_t minimum, int16_t maximum) {
  return (minimum != -1 && value < minimum) || (maximum != -1 && value > maximum);
}

}  // namespace

bool open_window(const WINDOW_PARAMS* params, uint16_t screen) {
  if (screen != 0 || !params) return false;
  const bool want_full = params->full_screen != 0;
  const bool want_borderless = want_full || params->borderless != 0;

  if (x11.window && want_full != (x11.full_screen != 0)) close_window(0);
  if (!x11_open_display()) return false;
  Display* d = x11.display;

  Window root = DefaultRootWindow(d);
  XWindowAttributes root_attributes = {};
  if (!root || !XGetWindowAttributes(d, root, &root_attributes)) report_error(0x0000);
  x11.desktop_width = static_cast<uint16_t>(root_attributes.width);
  x11.desktop_height = static_cast<uint16_t>(root_attributes.height);
  int32_t width = params->width != -1 ? params->width : root_attributes.width;
  int32_t height = params->height != -1 ? params->height : root_attributes.height;

  if (win.decorations_removed && !want_borderless && x11.window) {
    delete_decoration_properties();
    win.decorations_removed = 0;
  }

  // Without the video-mode extension a full-screen request is treated as
  // one for which no mode has the size: a borderless window.
  bool switched = false;
  if (want_full && !x11.full_screen && x11.have_video_modes) {
    // The middle of the requested size: inside the view port of the new
    // mode, which starts at the top left corner.
    XWarpPointer(d, None, root, 0, 0, 0, 0, width / 2, height / 2);
    if (!switch_video_mode(width, height, switched)) return false;
  }

  if (params->min_width != -1 && width < params->min_width) width = params->min_width;
  if (params->max_width != -1 && width > params->max_width) width = params->max_width;
  if (params->min_height != -1 && height < params->min_height) height = params->min_height;
  if (params->max_height != -1 && height > params->max_height) height = params->max_height;

  win.margin_side = want_borderless ? 0 : 5;
  win.margin_top = want_borderless ? 0 : 25;
  win.margin_bottom = want_borderless ? 0 : 5;

  int32_t x = 0, y = 0;
  if (!x11.full_screen) {
    int32_t free_width = root_attributes.width - 2 * win.margin_side;
    int32_t free_height = root_attributes.height - win.margin_top - win.margin_bottom;
    width = std::min(width, free_width);
    height = std::min(height, free_height);
    x = (free_width - width) / 2;
    y = (free_height - height) / 2;
  }

  if (limit_broken(width, params->min_width, params->max_width) ||
      limit_broken(height, params->min_height, params->max_height) || width < 1 || height < 1 ||
      width > IMAGE_MAX_SIZE || height > IMAGE_MAX_SIZE) {
    if (switched) restore_video_mode();
    return false;
  }

  if (!x11.window) {
    create_window(x, y, width, height, root_attributes, params->title);
  } else {
    set_fixed_size_hints(width, height);
    XMoveResizeWindow(d, x11.window, x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    set_window_title(params->title, 0);
    XFlush(d);
  }
  set_fixed_size_hints(width, height);
  send_full_screen_state(want_full);

  if (switched) {
    platform_update();
    grab_input();
  }

  if (want_borderless && !win.decorations_removed) {
    set_decoration_properties();
    win.decorations_removed = 1;
  }

  set_screen_size(static_cast<int16_t>(width), static_cast<int16_t>(height));

  free_presentation();
  make_presentation();
  return true;
}

bool open_screen(const char* title, int16_t width, int16_t height, uint8_t full_screen,
                 uint16_t screen) {
  WINDOW_PARAMS params;
  params.title = title;
  params.width = width;
  params.height = height;
  params.full_screen = full_screen;
  return open_window(&params, screen);
}

void close_window(uint16_t screen) {
  if ((screen != 0 && screen != ALL_SCREENS) || !x11.window || !x11.display) return;
  Display* d = x11.display;
  close_presentation();
  input_reset_cursor();
  if (x11.blank_cursor != None) XFreeCursor(d, x11.blank_cursor);
  if (x11.blank_bitmap != None) XFreePixmap(d, x11.blank_bitmap);
  x11.blank_cursor = None;
  x11.blank_bitmap = None;
  release_input_grabs();
  XUnmapWindow(d, x11.window);
  if (win.decorations_removed) delete_decoration_properties();
  win.decorations_removed = 0;
  XDestroyWindow(d, x11.window);
  x11.window = 0;
  free_window_icon();
  if (x11.full_screen) restore_video_mode();
  if (win.gl_visual) XFree(win.gl_visual);
  win.gl_visual = nullptr;
  set_screen_size(0, 0);
  XFlush(d);
}

void set_window_title(const char* title, uint16_t screen) {
  if (screen != 0 || !x11.window) return;
  // The title is system text, converted to UTF-8 once: desktops read the
  // UTF-8 names first. The ICCCM names are Latin-1 (a STRING property) for
  // older readers; characters above 255 ride in code runs that such a
  // reader would show as raw bytes, so a title with them goes out as
  // compound text.
  std::string utf8 = system_text_to_utf8(title ? title : "");
  set_utf8_property("_NET_WM_NAME", utf8);
  set_utf8_property("_NET_WM_ICON_NAME", utf8);
  std::string latin1;
  bool wide = false;
  SYSTEM_TEXT_READER reader(title ? title : "");
  uint32_t code_point = 0;
  while (reader.next_code_point(code_point)) {
    if (code_point == 0) continue;
    if (code_point > 255) wide = true;
    latin1 += code_point <= 255 ? static_cast<char>(code_point) : '?';
  }
  XTextProperty property = {};
  bool made = false;
  if (wide) {
    char* list[1] = {utf8.data()};
    made = Xutf8TextListToTextProperty(x11.display, list, 1, XStdICCTextStyle, &property) >=
               Success &&
           property.value;
  }
  if (!made) {
    char* text = latin1.data();
    if (!XStringListToTextProperty(&text, 1, &property)) return;
  }
  XSetWMIconName(x11.display, x11.window, &property);
  XSetWMName(x11.display, x11.window, &property);
  XFree(property.value);
}

XVisualInfo* window_gl_visual() {
  if (win.gl_visual || !x11.window || x11.glx_major_opcode < 0) return win.gl_visual;
  Display* d = x11.display;
  XWindowAttributes attributes = {};
  if (!XGetWindowAttributes(d, x11.window, &attributes)) return nullptr;
  XVisualInfo wanted = {};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = DefaultScreen(d);
  int count = 0;
  XVisualInfo* info = XGetVisualInfo(d, VisualIDMask | VisualScreenMask, &wanted, &count);
  if (!info) return nullptr;
  // Double-buffered RGBA with eight bits a colour and a depth buffer; the
  // frame is converted for fixed masks, so the colours may not go through a
  // colormap either.
  const auto at_least = [&](int attribute, int least) {
    int value = 0;
    return glXGetConfig(d, info, attribute, &value) == 0 && value >= least;
  };
  if (info->c_class != TrueColor || !at_least(GLX_USE_GL, 1) || !at_least(GLX_RGBA, 1) ||
      !at_least(GLX_DOUBLEBUFFER, 1) || !at_least(GLX_RED_SIZE, 8) || !at_least(GLX_GREEN_SIZE, 8) ||
      !at_least(GLX_BLUE_SIZE, 8) || !at_least(GLX_DEPTH_SIZE, 1)) {
    XFree(info);
    return nullptr;
  }
  win.gl_visual = info;
  return info;
}

bool window_exists(uint16_t screen) { return screen == 0 && x11.window != 0; }
bool is_window_open() { return x11.window != 0; }
bool is_full_screen() { return x11.full_screen != 0; }

namespace {

bool query_desktop_size() {
  if (x11.desktop_width != 65535 && x11.desktop_height != 65535) return true;
  if (!x11_open_display()) return false;
  XWindowAttributes attributes = {};
  Window root = DefaultRootWindow(x11.display);
  if (!root || !XGetWindowAttributes(x11.display, root, &attributes)) return false;
  x11.desktop_width = static_cast<uint16_t>(attributes.width);
  x11.desktop_height = static_cast<uint16_t>(attributes.height);
  return true;
}

}  // namespace

uint16_t get_desktop_width() { return query_desktop_size() ? x11.desktop_width : 0; }
uint16_t get_desktop_height() { return query_desktop_size() ? x11.desktop_height : 0; }
