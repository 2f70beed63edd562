// The lifetime of the input state: the last handle to go frees the
// typed-character queue; the global one (beside the queue) lives for the
// whole run.
#include <algorithm>

#include "input.h"

namespace {

int32_t input_users = 0;

}  // namespace

INPUT_HANDLE::INPUT_HANDLE() {
  if (mouse.button_count == 0) mouse.button_count = 3;
  ++input_users;
  if (key_queue.get_capacity() == 0) key_queue.set_size(10);
}

INPUT_HANDLE::~INPUT_HANDLE() {
  if (--input_users == 0) key_queue.set_size(0);
}

int64_t get_last_input_time() {
  return std::max(key_queue.get_last_key_time(), mouse.last_mouse_time);
}
