#include "input_driver.h"

#include <X11/keysym.h>

#include "input.h"
#include "timing.h"

namespace test_support {

namespace {

uint64_t fake_ms = 0;
uint64_t fake_clock() { return fake_ms; }

uint32_t key_symbol_of(uint8_t c) {
  switch (c) {
    case '\n': return XK_Return;
    case '\b': return XK_BackSpace;
    case '\t': return XK_Tab;
    case 27: return XK_Escape;
    default: break;
  }
  if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
  return c;
}

}  // namespace

INPUT_DRIVER::INPUT_DRIVER(uint64_t start_ms) : x(MOUSE::OUTSIDE), y(MOUSE::OUTSIDE) {
  fake_ms = start_ms;
  set_clock(fake_clock);
  mouse.x = mouse.y = MOUSE::OUTSIDE;
  mouse.buttons = 0;
  mouse.wheel = 0;
  mouse.held_count = 0;
  mouse.changed_in_frame = 0;
  key_queue.next_frame();
  key_queue.set_size(key_queue.get_capacity());  // the same size empties it
  key_queue.get_last_key();
}

INPUT_DRIVER::~INPUT_DRIVER() { set_clock(nullptr); }

void INPUT_DRIVER::advance_ms(uint64_t ms) { fake_ms += ms; }
uint64_t INPUT_DRIVER::now_ms() const { return fake_ms; }

void INPUT_DRIVER::move_to(int32_t to_x, int32_t to_y) {
  x = to_x;
  y = to_y;
  mouse.on_motion(x, y);
}

void INPUT_DRIVER::press(uint32_t button) {
  platform_input_frame();
  mouse.on_button(x, y, button, true);
}

void INPUT_DRIVER::release(uint32_t button) {
  platform_input_frame();
  mouse.on_button(x, y, button, false);
}

void INPUT_DRIVER::click(uint32_t button) {
  platform_input_frame();
  mouse.on_button(x, y, button, true);
  mouse.on_button(x, y, button, false);
}

void INPUT_DRIVER::turn_wheel(int32_t steps) { mouse.on_wheel(x, y, steps); }

void INPUT_DRIVER::key(uint32_t key_symbol, uint32_t character) {
  platform_input_frame();
  key_queue.on_key_press(character, key_symbol);
}

void INPUT_DRIVER::type(const char* text) {
  for (const char* p = text; p && *p; ++p) {
    uint8_t c = static_cast<uint8_t>(*p);
    key(key_symbol_of(c), c);
  }
}

}  // namespace test_support
