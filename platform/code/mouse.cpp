// The pointer as widgets poll it: position, held buttons with their press
// and release times, and the wheel. A button that already changed in the
// current input frame keeps its next change, and what came after it, for
// a later frame, so that a quick click is seen down and then up.
#include <algorithm>

#include "input.h"
#include "screen.h"
#include "timing.h"

constinit MOUSE mouse;

void MOUSE::stamp_button(uint32_t button, bool down) {
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
}

void MOUSE::button_event(uint32_t button, bool down) {
  stamp_button(button, down);
  if (button < 1 || button > 32) return;
  uint32_t bit = 1u << (button - 1);
  if (down)
    buttons |= bit;
  else
    buttons &= ~bit;
}

void MOUSE::apply(const HELD_EVENT& event) {
  switch (event.kind) {
    case HELD_EVENT::MOTION:
      x = static_cast<uint16_t>(event.x);
      y = static_cast<uint16_t>(event.y);
      break;
    case HELD_EVENT::LEAVE:
      x = y = OUTSIDE;
      changed_in_frame |= buttons;
      buttons = 0;
      break;
    case HELD_EVENT::BUTTON: {
      x = static_cast<uint16_t>(event.x);
      y = static_cast<uint16_t>(event.y);
      if (event.button < 1 || event.button > 32) break;
      const uint32_t bit = 1u << (event.button - 1);
      const uint32_t before = buttons;
      if (event.down)
        buttons |= bit;
      else
        buttons &= ~bit;
      if (buttons != before) changed_in_frame |= bit;
      break;
    }
  }
}

void MOUSE::hold_or_apply(const HELD_EVENT& event) {
  const bool second_change = event.kind == HELD_EVENT::BUTTON && event.button >= 1 &&
                             event.button <= 32 && (changed_in_frame & (1u << (event.button - 1)));
  if (held_count == 0 && !second_change) {
    apply(event);
    return;
  }
  // Motion between held events only needs its latest position.
  if (event.kind == HELD_EVENT::MOTION && held_count > 0 &&
      held[held_count - 1].kind == HELD_EVENT::MOTION) {
    held[held_count - 1] = event;
    return;
  }
  if (held_count == HELD_CAPACITY) {
    // A frame this full of clicks has stalled: the oldest goes in now.
    apply(held[0]);
    std::copy(held + 1, held + held_count, held);
    --held_count;
  }
  held[held_count++] = event;
}

void MOUSE::next_frame() {
  changed_in_frame = 0;
  int32_t taken = 0;
  while (taken < held_count) {
    const HELD_EVENT& event = held[taken];
    if (event.kind == HELD_EVENT::BUTTON && event.button >= 1 && event.button <= 32 &&
        (changed_in_frame & (1u << (event.button - 1))))
      break;
    apply(event);
    ++taken;
  }
  std::copy(held + taken, held + held_count, held);
  held_count -= taken;
}

void MOUSE::on_motion(int32_t at_x, int32_t at_y) {
  HELD_EVENT event;
  if (at_x >= 0 && at_x < get_screen_width(0) && at_y >= 0 && at_y < get_screen_height(0)) {
    event.x = at_x;
    event.y = at_y;
    last_mouse_time = get_calendar_seconds();
  } else {
    event.kind = HELD_EVENT::LEAVE;
  }
  hold_or_apply(event);
}

void MOUSE::on_button(int32_t at_x, int32_t at_y, uint32_t button, bool down) {
  stamp_button(button, down);
  HELD_EVENT event;
  event.kind = HELD_EVENT::BUTTON;
  event.button = static_cast<uint16_t>(std::min<uint32_t>(button, 0xFFFF));
  event.down = down ? 1 : 0;
  event.x = at_x;
  event.y = at_y;
  hold_or_apply(event);
}

void MOUSE::on_wheel(int32_t at_x, int32_t at_y, int32_t steps) {
  last_mouse_time = get_calendar_seconds();
  wheel += steps;
  HELD_EVENT event;
  event.x = at_x;
  event.y = at_y;
  hold_or_apply(event);
}

uint16_t get_mouse_button_count() { return 3; }
