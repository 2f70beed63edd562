// The typed-character queue and the last key symbol.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <string>

#include "input.h"
#include "text_convert.h"
#include "timing.h"

constinit KEY_QUEUE key_queue;
// One handle for the whole run keeps the queue. Defined here, after the
// queue, so that it is destroyed before the queue at exit.
INPUT_HANDLE global_input_handle;

KEY_QUEUE::~KEY_QUEUE() { free(buffer); }

void KEY_QUEUE::set_size(int32_t new_capacity) {
  if (new_capacity < 0) return;
  waiting_count = 0;
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

void KEY_QUEUE::on_key_press(uint32_t character, uint32_t key_symbol, uint32_t modifiers) {
  if (character > 255) {
    char run[SYSTEM_CHAR_MAX_BYTES + 1];
    bool open = false;
    size_t n = system_char_encode(character, open, run);
    if (open) run[n++] = 1;
    last_key_time = get_calendar_seconds();
    if (buffer && last + 1 + static_cast<int32_t>(n) <= capacity) {
      memcpy(buffer + last + 1, run, n);
      last += static_cast<int32_t>(n);
    }
  } else if (character != 0) {
    on_key(character == '\r' ? '\n' : character);
  }
  last_key_time = get_calendar_seconds();
  if (key_symbol == 0) return;
  const PRESSED_KEY key{key_symbol, modifiers};
  if (frame_key == 0 && waiting_count == 0)
    take_frame_key(key);
  else if (waiting_count < static_cast<int32_t>(std::size(waiting)))
    waiting[waiting_count++] = key;
}

void KEY_QUEUE::take_frame_key(const PRESSED_KEY& key) {
  frame_key = key.key_symbol;
  frame_key_modifiers = key.modifiers;
  last_key = key.key_symbol;
}

void KEY_QUEUE::next_frame() {
  // A frame with a key is followed by one without, where the key shows let
  // go: its button clicks before the next key (Tab) moves the focus away.
  if (frame_key != 0) {
    frame_key = 0;
    frame_key_modifiers = 0;
    return;
  }
  if (waiting_count == 0) return;
  take_frame_key(waiting[0]);
  std::copy(waiting + 1, waiting + waiting_count, waiting);
  --waiting_count;
}

uint32_t KEY_QUEUE::pop_char() {
  if (!buffer || last < 0) return 0;
  if (buffer[0] != 1) return pop();
  int32_t end = 1;
  while (end <= last && buffer[end] != 1) ++end;
  const int32_t taken = std::min(end + 1, last + 1);
  const std::string run(reinterpret_cast<const char*>(buffer), static_cast<size_t>(taken));
  memmove(buffer, buffer + taken, static_cast<size_t>(last + 1 - taken));
  last -= taken;
  SYSTEM_TEXT_READER reader(run.c_str(), static_cast<ptrdiff_t>(run.size()));
  uint32_t code = 0;
  return reader.next_code_point(code) ? code : 0;
}

uint32_t KEY_QUEUE::get_last_key() {
  uint32_t key = last_key;
  last_key = 0;
  return key;
}
