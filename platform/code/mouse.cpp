// The pointer as widgets poll it: position, held buttons with their press
// and release times, and the wheel.
#include "input.h"
#include "screen.h"
#include "timing.h"

constinit MOUSE mouse;

void MOUSE::button_event(uint32_t button, bool down) {
  int64_t t = get_calendar_seconds();
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
    last_mouse_time = get_calendar_seconds();
  } else {
    x = y = OUTSIDE;
    buttons = 0;
  }
}

void MOUSE::on_button(int32_t at_x, int32_t at_y, uint32_t button, bool down) {
  x = static_cast<uint16_t>(at_x);
  y = static_cast<uint16_t>(at_y);
  last_mouse_time = get_calendar_seconds();
  button_event(button, down);
}

void MOUSE::on_wheel(int32_t at_x, int32_t at_y, int32_t steps) {
  x = static_cast<uint16_t>(at_x);
  y = static_cast<uint16_t>(at_y);
  last_mouse_time = get_calendar_seconds();
  wheel += steps;
}

uint16_t get_mouse_button_count() { return 3; }
