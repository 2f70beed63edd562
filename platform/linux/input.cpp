// The X side of input: the key map and key names, pointer shapes,
// visibility and warp, keyboard and pointer grabs, and the joysticks. The
// plain state that widgets poll lives in the portable input files.
#include "input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <linux/joystick.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform.h"
#include "timing.h"
#include "window.h"
#include "x11_state.h"

namespace {

// X font cursors of shapes 1 to 6, made on first use.
constexpr uint8_t kShapeCount = 7;
constexpr unsigned kFontCursor[kShapeCount] = {0, 60, 58, 120, 91, 152, 150};
Cursor made_cursors[kShapeCount] = {};

void free_made_cursors() {
  for (Cursor& cursor : made_cursors) {
    if (cursor != None && x11.display) XFreeCursor(x11.display, cursor);
    cursor = None;
  }
}

// The window's pointer for a shape: None = the window's default.
Cursor cursor_for_shape(uint8_t shape) {
  return shape >= 1 && shape < kShapeCount ? made_cursors[shape] : None;
}

void show_cursor_of_shape(uint8_t shape) {
  Cursor cursor = cursor_for_shape(shape);
  if (cursor != None)
    XDefineCursor(x11.display, x11.window, cursor);
  else
    XUndefineCursor(x11.display, x11.window);
}

struct JOYSTICK_STATE {
  int descriptor = -1;
  uint32_t buttons = 0;
  int32_t axes[6] = {};
};
JOYSTICK_STATE joysticks[2];
std::string joystick_prefix = "/dev/";
constexpr int kMaxJoystickDevices = 256;

JOYSTICK_STATE* joystick_state(uint8_t number) {
  return number >= 1 && number <= 2 ? &joysticks[number - 1] : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Keys

namespace {

// The modifier state bit a modifier key sets; 0 for other keys.
uint32_t modifier_mask_of(uint32_t key_symbol) {
  switch (key_symbol) {
    case XK_Shift_L:
    case XK_Shift_R: return ShiftMask;
    case XK_Control_L:
    case XK_Control_R: return ControlMask;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return Mod1Mask;
    default: return 0;
  }
}

// Whether keys go to the window: it holds the focus, or the focus follows
// the pointer and the pointer is in the window.
bool window_has_keyboard() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x11.display, &focus, &revert);
  if (focus == x11.window) return true;
  if (focus != PointerRoot) return false;
  Window root = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned int buttons = 0;
  return XQueryPointer(x11.display, DefaultRootWindow(x11.display), &root, &child, &root_x, &root_y, &x, &y,
                       &buttons) &&
         child == x11.window;
}

}  // namespace

bool is_key_down(uint32_t key_symbol) {
  // A key pressed and let go within one frame is held for that frame, and
  // so are the modifiers that were held when it was pressed, though they
  // may be up again by the frame it waited for.
  // A key whose press reached the window was meant for the program,
  // whatever the server now names as the focus (with the focus following
  // the pointer it names no window at all).
  if (key_queue.pressed_in_frame(key_symbol) ||
      (key_queue.frame_modifiers() & modifier_mask_of(key_symbol)) != 0)
    return true;
  if (!x11.display || !x11.window || !window_has_keyboard()) return false;
  KeyCode code = XKeysymToKeycode(x11.display, key_symbol);
  if (code == 0) return false;
  return (x11.key_map[code >> 3] >> (code & 7)) & 1;
}

const char* get_key_name(uint32_t key_symbol, bool upper_case) {
  static char name[64];
  name[0] = '\0';
  KeySym first = key_symbol;
  if (x11.display) {
    KeyCode code = XKeysymToKeycode(x11.display, key_symbol);
    if (code != 0) first = XkbKeycodeToKeysym(x11.display, code, 0, 0);
  }
  if (first == NoSymbol) return name;
  KeySym lower = NoSymbol, upper = NoSymbol;
  XConvertCase(first, &lower, &upper);
  const char* text = XKeysymToString(upper_case ? upper : lower);
  if (text) snprintf(name, sizeof name, "%s", text);
  return name;
}

char get_key_name_char(uint32_t key_symbol, bool upper_case) {
  return get_key_name(key_symbol, upper_case)[0];
}

void set_key_map(const uint8_t map[32]) {
  if (map) memcpy(x11.key_map, map, sizeof x11.key_map);
}

// ---------------------------------------------------------------------------
// Pointer

bool set_mouse_cursor(uint8_t shape, bool record_only) {
  if (shape >= kShapeCount && shape != 255) return false;
  if (shape != 255 && !x11.window) return false;
  if (shape >= 1 && shape < kShapeCount && made_cursors[shape] == None) {
    made_cursors[shape] = XCreateFontCursor(x11.display, kFontCursor[shape]);
    if (made_cursors[shape] == None) return false;
  }
  mouse.cursor_shape = shape;
  bool changed = false;
  if (x11.window && !record_only && !x11.pointer_hidden) {
    show_cursor_of_shape(shape);
    changed = true;
  }
  if (shape == 255) free_made_cursors();
  // Let the server catch up with the new pointer. The pointer is part of
  // what the screen shows: as when it is shown or hidden, the next frame
  // comes at once (the frame just run cleared whatever the caller had
  // presented before, and the loop would wait).
  if (changed) {
    platform_update();
    set_presented();
  }
  return true;
}

void input_reset_cursor() {
  mouse.cursor_shape = 255;
  if (x11.display && x11.window && !x11.pointer_hidden) XUndefineCursor(x11.display, x11.window);
  free_made_cursors();
}

void input_display_closing() { free_made_cursors(); }

bool set_pointer_visible(uint16_t screen, bool visible) {
  set_presented();
  if ((screen != 0 && screen != ALL_SCREENS) || !x11.window) return false;
  if (visible == !x11.pointer_hidden) return true;
  if (visible) {
    x11.pointer_hidden = 0;
    show_cursor_of_shape(mouse.cursor_shape);
  } else {
    x11.pointer_hidden = 1;
    if (x11.blank_cursor != None) XDefineCursor(x11.display, x11.window, x11.blank_cursor);
  }
  XFlush(x11.display);
  return true;
}

void hide_pointer() {
  if (mouse.pointer_shown && set_pointer_visible(0, false)) mouse.pointer_shown = 0;
}

void show_pointer() {
  if (!mouse.pointer_shown && set_pointer_visible(0, true)) mouse.pointer_shown = 1;
}

bool set_mouse_position(uint16_t screen, int16_t x, int16_t y) {
  if ((screen != 0 && screen != ALL_SCREENS) || !x11.window) return false;
  XWarpPointer(x11.display, None, x11.window, 0, 0, 0, 0, x, y);
  XFlush(x11.display);
  mouse.x = static_cast<uint16_t>(x);
  mouse.y = static_cast<uint16_t>(y);
  mouse.last_mouse_time = get_calendar_seconds();
  set_presented();
  return true;
}

void grab_input() {
  if (!x11.display || !x11.window) return;
  XGrabKeyboard(x11.display, x11.window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  XGrabPointer(x11.display, x11.window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
               GrabModeAsync, GrabModeAsync, x11.window, None, CurrentTime);
}

void release_input_grabs() {
  if (!x11.display) return;
  XUngrabPointer(x11.display, CurrentTime);
  XUngrabKeyboard(x11.display, CurrentTime);
  XFlush(x11.display);
}

// ---------------------------------------------------------------------------
// Joysticks

int open_joystick(uint8_t number) {
  JOYSTICK_STATE* state = joystick_state(number);
  if (!state) return -1;
  if (state->descriptor >= 0) return state->descriptor;
  int found = 0;
  for (const char* kind : {"js", "djs"}) {
    for (int i = 0; i < kMaxJoystickDevices; ++i) {
      std::string path = joystick_prefix + kind + std::to_string(i);
      int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) break;
      if (++found == number) {
        state->descriptor = fd;
        return fd;
      }
      close(fd);
    }
  }
  return -1;
}

bool read_joystick(JOYSTICK* joystick) {
  if (!joystick) return false;
  JOYSTICK_STATE* state = joystick_state(joystick->number);
  if (!state || (state->descriptor < 0 && open_joystick(joystick->number) < 0)) return false;
  js_event event;
  static_assert(sizeof(js_event) == 8, "the joystick event is 8 bytes");
  while (read(state->descriptor, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
    uint8_t type = event.type & static_cast<uint8_t>(~JS_EVENT_INIT);
    if (type == JS_EVENT_BUTTON && event.number < 32) {
      uint32_t bit = 1u << event.number;
      if (event.value)
        state->buttons |= bit;
      else
        state->buttons &= ~bit;
    } else if (type == JS_EVENT_AXIS && event.number < 6) {
      state->axes[event.number] = event.value;
    }
  }
  joystick->buttons = state->buttons;
  std::copy(std::begin(state->axes), std::end(state->axes), joystick->axes);
  return true;
}

bool get_joystick_caps(const JOYSTICK* joystick, JOYSTICK_CAPS* caps) {
  if (!joystick || !caps) return false;
  JOYSTICK_STATE* state = joystick_state(joystick->number);
  if (!state || (state->descriptor < 0 && open_joystick(joystick->number) < 0)) return false;
  unsigned char axes = 0, buttons = 0;
  if (ioctl(state->descriptor, JSIOCGAXES, &axes) < 0) axes = 0;
  if (ioctl(state->descriptor, JSIOCGBUTTONS, &buttons) < 0) buttons = 0;
  *caps = JOYSTICK_CAPS();
  caps->button_count = buttons;
  caps->axis_count = axes;
  caps->has_x_y = axes > 1;
  caps->has_z_r = axes > 2;
  return true;
}

void close_joysticks() {
  for (JOYSTICK_STATE& state : joysticks) {
    if (state.descriptor >= 0) close(state.descriptor);
    state = JOYSTICK_STATE();
  }
}

// ---------------------------------------------------------------------------
// Test seams


void set_joystick_device_prefix(const char* prefix) { joystick_prefix = prefix ? prefix : "/dev/"; }
