// Input frames: where the transitions that arrived between two frames are
// let through one at a time. The reader that polls the input once per
// frame ends each frame after reading; before one has, and after it has
// gone, the platform frame does.
#include "input.h"

namespace {

bool reader_ends_frames = false;

void next_input_frame() {
  mouse.next_frame();
  key_queue.next_frame();
}

}  // namespace

void end_input_frame() {
  reader_ends_frames = true;
  next_input_frame();
}

void platform_input_frame() {
  if (!reader_ends_frames) next_input_frame();
}

void forget_input_frame_reader() { reader_ends_frames = false; }
