#include <algorithm>

#include "debug_stream.h"
#include "sound.h"
#include "sound_streams.h"

SOUND_MANAGER::SOUND_MANAGER(uint16_t requested) {
  count = static_cast<int16_t>(std::clamp<uint16_t>(requested, 1, MAX_BUFFERS));
  sound_manager_stream().printf("Starting with %d buffers\n", count);
  buffers = new SOUND_BUFFER[count];
}

SOUND_MANAGER::~SOUND_MANAGER() {
  sound_manager_stream().printf("Shutdown\n");
  delete[] buffers;
}

SOUND_BUFFER* SOUND_MANAGER::get_buffer(int8_t index) {
  sound_manager_stream().printf("get_buffer() - buffer %d", index);
  return valid(index) ? &buffers[index] : nullptr;
}

void SOUND_MANAGER::set_volume(int8_t index, int32_t volume) {
  volume = std::clamp(volume, 0, 100);
  sound_manager_stream().printf("set_volume() - buffer %d, volume %d\n", index, volume);
  if (valid(index)) buffers[index].set_volume(volume);
}

void SOUND_MANAGER::set_pan(int8_t index, int32_t pan) {
  pan = std::clamp(pan, -100, 100);
  sound_manager_stream().printf("set_pan() - buffer %d, volume %d\n", index, pan);
  if (valid(index)) buffers[index].set_pan(pan);
}

void SOUND_MANAGER::stop(int8_t index) {
  sound_manager_stream().printf("stop() - buffer %d\n", index);
  if (index == -1) {
    for (int16_t i = 0; i < count; ++i) buffers[i].stop();
  } else if (valid(index)) {
    buffers[index].stop();
  }
}

bool SOUND_MANAGER::is_playing(int8_t index) {
  bool playing = valid(index) && buffers[index].is_playing();
  sound_manager_stream().printf("is_playing() - buffer %d ret %d\n", index, playing ? 1 : 0);
  return playing;
}

int8_t SOUND_MANAGER::play(int8_t index, const FOLDER& folder, const char* name, int32_t volume,
                           int32_t pan, bool loop) {
  if (!valid(index)) return -1;
  volume = std::clamp(volume, 0, 100);
  pan = std::clamp(pan, -100, 100);
  SOUND_BUFFER& buffer = buffers[index];
  buffer.loop = loop ? 1 : 0;
  bool ok = buffer.load_file(folder, name);
  sound_manager_stream().printf("play() - Using buffer %d, loop %d, vol %d, pan %d, ok %d\n", index,
                                buffer.loop, volume, pan, ok ? 1 : 0);
  if (!ok) return -1;
  buffer.set_volume(volume);
  buffer.set_pan(pan);
  buffer.play();
  return index;
}

int8_t SOUND_MANAGER::play(const FOLDER& folder, const char* name, int32_t volume, int32_t pan,
                           bool loop) {
  sound_manager_stream().printf("play() - looking for spare buffer\n");
  for (int16_t i = 0; i < count; ++i) {
    if (!is_playing(static_cast<int8_t>(i)))
      return play(static_cast<int8_t>(i), folder, name, volume, pan, loop);
  }
  return -1;
}
