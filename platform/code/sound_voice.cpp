// The voice list the sound buffers fill and the mixer thread walks, and the
// mixing of one pass. The list's lock is always taken before a voice's own.
#include <algorithm>
#include <array>
#include <cmath>

#include "sound_voice.h"

namespace {

std::mutex list_lock;
SOUND_VOICE* voice_list = nullptr;

// 100 ^ (level / 100) for every whole level, truncated: 1 .. 100.
const std::array<int32_t, 101>& gain_table() {
  static const std::array<int32_t, 101> table = [] {
    std::array<int32_t, 101> gains{};
    for (int32_t level = 0; level <= 100; ++level)
      gains[level] = static_cast<int32_t>(std::pow(100.0, level / 100.0));
    return gains;
  }();
  return table;
}

int32_t gain_for_level(int32_t level) { return gain_table()[std::clamp(level, 0, 100)]; }

// Adds value to the sample at bytes, held at the 16-bit limits.
void add_sample(uint8_t* bytes, int32_t value) {
  write_sound_sample(bytes, static_cast<int16_t>(std::clamp(read_sound_sample(bytes) + value, -32768, 32767)));
}

// Mixes up to a pass of one voice; the caller holds the voice's lock.
bool mix_voice(SOUND_VOICE& voice, uint8_t* pass) {
  if (!voice.data || voice.position >= voice.end) return false;
  const int32_t left_gain = sound_gain_left(voice.volume, voice.pan);
  const int32_t right_gain = sound_gain_right(voice.volume, voice.pan);
  const int32_t bytes = std::min(voice.end - voice.position, SOUND_PASS_BYTES);
  const uint8_t* source = voice.data + voice.position;
  for (int32_t at = 0; at + SOUND_FRAME_BYTES <= bytes; at += SOUND_FRAME_BYTES) {
    add_sample(pass + at, read_sound_sample(source + at) * left_gain / 100);
    add_sample(pass + at + 2, read_sound_sample(source + at + 2) * right_gain / 100);
  }
  voice.position += bytes;
  if (voice.position >= voice.end) {
    voice.position = 0;
    if (!voice.loop) voice.end = 0;
  }
  return true;
}

}  // namespace

void SOUND_VOICE::reset() {
  std::lock_guard<std::mutex> guard(lock);
  position = end = length = 0;
  loop = 0;
  volume = 100;
  pan = 0;
  delete[] data;
  data = nullptr;
}

void link_sound_voice(SOUND_VOICE* voice) {
  std::lock_guard<std::mutex> guard(list_lock);
  voice->next = voice_list;
  voice_list = voice;
}

void unlink_sound_voice(SOUND_VOICE* voice) {
  std::lock_guard<std::mutex> guard(list_lock);
  for (SOUND_VOICE** link = &voice_list; *link; link = &(*link)->next) {
    if (*link == voice) {
      *link = voice->next;
      voice->next = nullptr;
      return;
    }
  }
}

int32_t sound_gain_left(int32_t volume, int32_t pan) {
  return gain_for_level((100 - std::max(pan, 0)) * volume / 100);
}

int32_t sound_gain_right(int32_t volume, int32_t pan) {
  return gain_for_level((100 + std::min(pan, 0)) * volume / 100);
}

bool mix_sound_pass(uint8_t* pass) {
  std::fill(pass, pass + SOUND_PASS_BYTES, 0);
  bool mixed = false;
  std::lock_guard<std::mutex> guard(list_lock);
  for (SOUND_VOICE* voice = voice_list; voice; voice = voice->next) {
    std::lock_guard<std::mutex> voice_guard(voice->lock);
    if (mix_voice(*voice, pass)) mixed = true;
  }
  return mixed;
}
