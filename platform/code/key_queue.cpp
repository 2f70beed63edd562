// The typed-character queue and the last key symbol.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <cstring>

#include "input.h"
#include "timing.h"

constinit KEY_QUEUE key_queue;
// One handle for the whole run keeps the queue. Defined here, after the
// queue, so that it is destroyed before the queue at exit.
INPUT_HANDLE global_input_handle;

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
  last_key_time = get_calendar_seconds();
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
  last_key_time = get_calendar_seconds();
}

void KEY_QUEUE::set_last_key(uint32_t, uint32_t key_symbol) { set_last_key(key_symbol); }

void KEY_QUEUE::on_key_press(uint8_t character, uint32_t key_symbol) {
  if (character != 0) on_key(character == '\r' ? '\n' : character);
  set_last_key(key_symbol);
  if (key_symbol != 0 && !pressed_in_frame(key_symbol) && pressed_count < static_cast<int32_t>(std::size(pressed)))
    pressed[pressed_count++] = key_symbol;
}

bool KEY_QUEUE::pressed_in_frame(uint32_t key_symbol) const {
  return std::find(pressed, pressed + pressed_count, key_symbol) != pressed + pressed_count;
}

uint32_t KEY_QUEUE::get_last_key() {
  uint32_t key = last_key;
  last_key = 0;
  return key;
}
