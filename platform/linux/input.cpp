// Keyboard, mouse, pointer and joystick state: the typed-character queue,
// the mouse record, the key map, pointer shapes, grabs and line input.
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

KEY_QUEUE key_queue;
MOUSE mouse;

namespace {

int64_t now() { return get_calendar_seconds(); }

}  // namespace

int64_t input_now() { return now(); }

namespace {

int32_t input_users = 0;

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

// One handle for the whole run keeps the typed-character queue.
INPUT_HANDLE global_input_handle;

// ---------------------------------------------------------------------------
// KEY_QUEUE

KEY_QUEUE::~KEY_QUEUE() { free(buffer); }

void KEY_QUEUE::set_size(int32_t new_capacity) {
  if (new_capacity < 0) return;
  if (new_capacity == capacity) {
    last = -1;
    return;
  }
  free(buffer);
  buffer = nullptr;
  capacity = 0;
  last = -1;
  if (new_capacity == 0) return;
  buffer = static_cast<uint8_t*>(malloc(static_cast<size_t>(new_capacity)));
  if (buffer) capacity = new_capacity;
}

void KEY_QUEUE::on_key(uint32_t code) {
  last_key_time = now();
  // Codes that are sign-extended bytes keep their byte.
  uint8_t c = code > 255 && code < 0xFFFFFF80u ? '?' : static_cast<uint8_t>(code & 0xFF);
  if (c == 0 || !buffer || last + 1 >= capacity) return;
  buffer[++last] = c;
}

void KEY_QUEUE::on_key(uint32_t code, uint32_t) { on_key(code); }

uint8_t KEY_QUEUE::pop() {
  if (!buffer || last < 0) return 0;
  uint8_t c = buffer[0];
  memmove(buffer, buffer + 1, static_cast<size_t>(last));
  --last;
  return c;
}

uint8_t KEY_QUEUE::peek() const { return buffer && last >= 0 ? buffer[0] : 0; }

void KEY_QUEUE::set_last_key(uint32_t key_symbol) {
  last_key = key_symbol;
  last_key_time = now();
}

void KEY_QUEUE::set_last_key(uint32_t, uint32_t key_symbol) { set_last_key(key_symbol); }

void KEY_QUEUE::on_key_press(uint8_t character, uint32_t key_symbol) {
  if (character != 0) on_key(character == '\r' ? '\n' : character);
  set_last_key(key_symbol);
}

uint32_t KEY_QUEUE::get_last_key() {
  uint32_t key = last_key;
  last_key = 0;
  return key;
}

// ---------------------------------------------------------------------------
// MOUSE and INPUT_HANDLE

void MOUSE::button_event(uint32_t button, bool down) {
  int64_t t = now();
  button_interval = t - last_button_time;
  last_mouse_time = last_button_time = t;
  if (button == 1) {
    if (down) {
      left_press_interval = t - left_press_time;
      left_press_time = t;
    } else {
      left_release_interval = t - left_release_time;
      left_release_time = t;
    }
  }
  if (button < 1 || button > 32) return;
  uint32_t bit = 1u << (button - 1);
  if (down)
    buttons |= bit;
  else
    buttons &= ~bit;
}

void MOUSE::on_motion(int32_t at_x, int32_t at_y) {
  if (at_x >= 0 && at_x < get_screen_width(0) && at_y >= 0 && at_y < get_screen_height(0)) {
    x = static_cast<uint16_t>(at_x);
    y = static_cast<uint16_t>(at_y);
    last_mouse_time = now();
  } else {
    x = y = OUTSIDE;
    buttons = 0;
  }
}

void MOUSE::on_button(int32_t at_x, int32_t at_y, uint32_t button, bool down) {
  x = static_cast<uint16_t>(at_x);
  y = static_cast<uint16_t>(at_y);
  last_mouse_time = now();
  button_event(button, down);
}

void MOUSE::on_wheel(int32_t at_x, int32_t at_y, int32_t steps) {
  x = static_cast<uint16_t>(at_x);
  y = static_cast<uint16_t>(at_y);
  last_mouse_time = now();
  wheel += steps;
}

INPUT_HANDLE::INPUT_HANDLE() {
  if (mouse.button_count == 0) mouse.button_count = 3;
  ++input_users;
  if (key_queue.get_capacity() == 0) key_queue.set_size(10);
}

INPUT_HANDLE::~INPUT_HANDLE() {
  if (--input_users == 0) key_queue.set_size(0);
}

uint16_t get_mouse_button_count() { return 3; }

int64_t get_last_input_time() {
  return std::max(key_queue.get_last_key_time(), mouse.last_mouse_time);
}

// ---------------------------------------------------------------------------
// Keys

bool is_key_down(uint32_t key_symbol) {
  if (!x11.display || !x11.window) return false;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x11.display, &focus, &revert);
  if (focus != x11.window) return false;
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
  // Let the server catch up with the new pointer.
  if (changed) platform_update();
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
  mouse.last_mouse_time = now();
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
// Line input

int32_t read_line(bool wait, int32_t* length, char* buffer, int32_t size,
                  READ_LINE_CALLBACK callback, intptr_t user) {
  if (!length || !buffer || size < 1) return 1;
  // The length comes from the caller: keep it inside the buffer.
  *length = std::clamp<int32_t>(*length, 0, size - 1);
  buffer[*length] = '\0';
  for (;;) {
    uint8_t c = key_queue.pop();
    if (c == 0) {
      if (!wait) return 3;
      if (callback && !callback(READ_LINE_IDLE, user)) return 1;
      platform_update();
      continue;
    }
    if (c == 10) {
      if (callback && !callback(READ_LINE_CHANGED, user)) return 1;
      return 2;
    }
    bool changed = false;
    if (c == 8) {
      if (*length > 0) {
        buffer[--*length] = '\0';
        changed = true;
      }
    } else if (c > 31 && *length < size - 1) {
      buffer[(*length)++] = static_cast<char>(c);
      buffer[*length] = '\0';
      changed = true;
    }
    if (changed && callback && !callback(READ_LINE_CHANGED, user)) return 1;
    if (!wait) return 4;
  }
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
