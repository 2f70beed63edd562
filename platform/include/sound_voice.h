#pragma once
// What the sound buffers share with the mixer thread: one voice per buffer
// in a process-wide list, the mixing of every playing voice into one pass of
// the output stream, and the start and stop of the mixer thread itself.
#include <cstdint>
#include <mutex>

// The sound as 16-bit little-endian stereo frames at 44100 Hz, left first.
struct SOUND_VOICE {
  // Guards every field below against the mixer thread.
  std::mutex lock;
  uint8_t* data = nullptr;  // new[]; null when empty
  int32_t position = 0;     // byte offset of the next frame to mix
  int32_t end = 0;          // bytes to play; 0 = stopped
  int32_t length = 0;       // bytes held in data
  uint8_t loop = 0;
  int32_t volume = 100;
  int32_t pan = 0;
  SOUND_VOICE* next = nullptr;  // guarded by the list's lock instead

  // position = end = length = 0, loop 0, volume 100, pan 0, data freed.
  void reset();
};

constexpr int32_t SOUND_RATE = 44100;
constexpr int32_t SOUND_FRAME_BYTES = 4;
constexpr int32_t SOUND_PASS_BYTES = 256;  // bytes mixed and written per pass

// One S16_LE sample, whatever the host's byte order.
inline int16_t read_sound_sample(const uint8_t* bytes) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}
inline void write_sound_sample(uint8_t* bytes, int16_t sample) {
  bytes[0] = static_cast<uint8_t>(static_cast<uint16_t>(sample) & 0xFF);
  bytes[1] = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
}

void link_sound_voice(SOUND_VOICE* voice);
void unlink_sound_voice(SOUND_VOICE* voice);

// Gain 1..100 of one side: 100 ^ (side level / 100), where the side level
// is ((100 - max(pan, 0)) x volume) / 100 on the left and
// ((100 + min(pan, 0)) x volume) / 100 on the right, in whole numbers.
int32_t sound_gain_left(int32_t volume, int32_t pan);
int32_t sound_gain_right(int32_t volume, int32_t pan);

// Clears the pass (SOUND_PASS_BYTES bytes, S16_LE stereo) and mixes up to a
// pass of every playing voice into it, scaled by its gains and summed with
// saturation; a voice at its end rewinds and, unless looping, stops. False
// when no voice was playing.
bool mix_sound_pass(uint8_t* pass);

// The mixer thread (the platform's back end): started by the first sound
// buffer and stopped, joined, by the last. It reads "$APP/alsa_device" and
// the platform's idle wait (its pause when nothing plays) as it starts.
void start_sound_mixer();
void stop_sound_mixer();
