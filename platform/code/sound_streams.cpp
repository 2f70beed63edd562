#include "sound_streams.h"

#include "debug_stream.h"

DEBUG_STREAM& wav_loading_stream() {
  static DEBUG_STREAM stream("WAV file loading debug", 0, true);
  return stream;
}

DEBUG_STREAM& sound_manager_stream() {
  static DEBUG_STREAM stream("Sound Manager Debug", 0, true);
  return stream;
}

namespace {
[[maybe_unused]] const bool sound_streams_made = (wav_loading_stream(), sound_manager_stream(), true);
}  // namespace
