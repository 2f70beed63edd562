// The tone synthesiser: a tune given as a string of notes becomes a PCM WAV
// file, each note shaped by an attack, decay, sustain and release envelope.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <vector>

#include "data_file.h"
#include "folder.h"
#include "sound.h"
#include "sound_voice.h"

namespace {

struct NOTE {
  double frequency;  // 0 = a rest
  double seconds;
};

constexpr double kLengthBeats[10] = {1, 0.25, 0.375, 0.5, 0.75, 1, 1.5, 2, 3, 4};

// Frequency ratio of a note letter over the octave's C; 0 when the letter
// has no such note (B# and E#).
double note_ratio(char letter, bool sharp) {
  switch (letter) {
    case 'C': return sharp ? 17.0 / 16 : 1.0;
    case 'D': return sharp ? 19.0 / 16 : 9.0 / 8;
    case 'E': return sharp ? 0.0 : 5.0 / 4;
    case 'F': return sharp ? 17.0 / 12 : 4.0 / 3;
    case 'G': return sharp ? 19.0 / 12 : 3.0 / 2;
    case 'A': return sharp ? 85.0 / 48 : 5.0 / 3;
    case 'B': return sharp ? 0.0 : 15.0 / 8;
  }
  return 0.0;
}

std::vector<NOTE> parse_notes(const char* notes, int32_t beat_ms) {
  std::vector<NOTE> tune;
  double base = 644.0;
  int length_code = 5;
  auto seconds = [&] { return beat_ms / 1000.0 * kLengthBeats[length_code]; };
  for (const char* at = notes; at && *at; ++at) {
    char c = *at;
    if (isdigit(static_cast<unsigned char>(c))) {
      length_code = c - '0';
    } else if (c == 'O' && isdigit(static_cast<unsigned char>(at[1]))) {
      base = std::ldexp(161.0, *++at - '0');
    } else if (c == '&') {
      tune.push_back({0.0, seconds()});
    } else if (char upper = static_cast<char>(toupper(static_cast<unsigned char>(c)));
               upper >= 'A' && upper <= 'G') {
      bool sharp = at[1] == '#';
      if (sharp) ++at;
      double ratio = note_ratio(upper, sharp);
      if (ratio == 0.0) continue;
      double octave_base = c == upper ? base : base / 2;
      tune.push_back({octave_base * ratio, seconds()});
    }
  }
  return tune;
}

// The envelope at t seconds into a note of the given duration, peak and
// sustain level.
double envelope(const TUNE_SETTINGS& s, double t, double duration, double peak, double sustain) {
  double level;
  if (t < s.attack) {
    level = t * peak / s.attack;
  } else if (t < s.attack + s.decay) {
    level = peak - (peak - sustain) * (t - s.attack) / s.decay;
  } else if (s.sustain_wobble && s.decay > 0) {
    double u = std::fmod(t - s.attack - s.decay, 2 * s.decay);
    level = u < s.decay ? sustain + (peak - sustain) * u / s.decay
                        : peak - (peak - sustain) * (u - s.decay) / s.decay;
  } else {
    level = sustain;
  }
  // The release ramp: from the peak down to the sustain level over the
  // decay time before the release, then down to silence.
  double release_start = duration - s.release;
  if (t >= release_start) {
    level = std::min(level, sustain * (duration - t) / s.release);
  } else if (t >= release_start - s.decay) {
    level = std::min(level, peak - (peak - sustain) * (t - (release_start - s.decay)) / s.decay);
  }
  return level;
}

double tone(const TUNE_SETTINGS& s, double level, double frequency, double t) {
  auto partial = [&](int n) { return std::sin(2 * std::numbers::pi * frequency * n * t); };
  double value = level * partial(1);
  if (s.harmonics) value += level / 2 * partial(2) + level / 3 * partial(3) + level / 4 * partial(4);
  if (s.odd_harmonics) value += level / 3 * partial(3) + level / 5 * partial(5) + level / 7 * partial(7);
  return value;
}

// One sample in the file's form: 8-bit unsigned around 127, or 16-bit
// signed little-endian. Returns the bytes used.
int encode_sample(double value, bool sixteen_bit, uint8_t* out) {
  if (!sixteen_bit) {
    double shifted = value > 127 ? 254 : value < -128 ? 0 : value + 127;
    out[0] = static_cast<uint8_t>(std::clamp(std::trunc(shifted), 0.0, 254.0));
    return 1;
  }
  write_sound_sample(out, static_cast<int16_t>(std::trunc(std::clamp(value, -32768.0, 32767.0))));
  return 2;
}

bool write_header(DATA_FILE& file, const TUNE_SETTINGS& s) {
  const uint16_t channels = s.stereo ? 2 : 1;
  const uint16_t bits = s.sixteen_bit ? 16 : 8;
  return file.write("RIFF", 4) == 4 && file.write_u32(0) && file.write("WAVE", 4) == 4 &&
         file.write("fmt ", 4) == 4 && file.write_u32(16) && file.write_u16(1) &&
         file.write_u16(channels) && file.write_u32(s.sample_rate) &&
         file.write_u32(channels * s.sample_rate * bits / 8) &&
         file.write_u16(static_cast<uint16_t>(bits * channels / 8)) && file.write_u16(bits) &&
         file.write("data", 4) == 4 && file.write_u32(0);
}

}  // namespace

bool write_tune_wav(const FOLDER& folder, const char* name, const char* notes, int32_t beat_ms,
                    const TUNE_SETTINGS* settings) {
  const TUNE_SETTINGS s = settings ? *settings : TUNE_SETTINGS{};
  if (s.sample_rate == 0) return false;
  DATA_FILE* file = folder.open_data_file(name, 1);
  if (!file) return false;
  bool ok = write_header(*file, s);

  const bool sixteen = s.sixteen_bit != 0;
  const double volume = std::clamp<int>(s.volume, 0, 100);
  const double peak = volume * (sixteen ? 32767 : 127) / 100;
  const double sustain = s.sustain_level * peak / 100;
  uint32_t data_size = 0;
  for (const NOTE& note : parse_notes(notes, beat_ms)) {
    for (uint64_t i = 0; ok; ++i) {
      double t = static_cast<double>(i) / s.sample_rate;
      if (t >= note.seconds) break;
      double level = envelope(s, t, note.seconds, peak, sustain);
      uint8_t bytes[2];
      int size = encode_sample(tone(s, level, note.frequency, t), sixteen, bytes);
      for (int copy = 0; copy < (s.stereo ? 2 : 1) && ok; ++copy) {
        ok = file->write(bytes, size) == size;
        data_size += static_cast<uint32_t>(size);
      }
    }
  }
  ok = ok && file->seek(40, false) && file->write_u32(data_size) && file->seek(4, false) &&
       file->write_u32(data_size + 36);
  return FOLDER::close_data_file(file) && ok;
}
