#pragma once
// Reading a WAV sound and turning it into the mixer's own form: 16-bit
// little-endian stereo frames at 44100 Hz. Every size in the file is checked
// against the bytes that are there before anything is allocated.
#include <cstdint>
#include <memory>

class DATA_DEVICE;

enum class WAV_STATUS : uint8_t {
  OK,
  NOT_WAV,          // no RIFF/WAVE header, no format or no data subchunk
  TRUNCATED,        // a subchunk or its data runs past the end of the file
  UNSUPPORTED,      // channels not 1 or 2, bits not 8 or 16, rate outside 4000..44100
  TOO_LARGE,        // the converted sound would not fit the mixer's sizes
  OUT_OF_MEMORY,
};

struct WAV_SOUND {
  std::unique_ptr<uint8_t[]> data;
  int32_t length = 0;  // bytes, whole 4-byte frames
};

// The lowest rate the output's rate converter takes; the highest is the
// mixer's own.
constexpr uint32_t WAV_MIN_RATE = 4000;

// The whole load: header, checks, data, conversion. Each input frame
// becomes round(44100 / rate) output frames; an 8-bit sample b becomes
// (b - 127) x 32767 / 127, held at 32767.
WAV_STATUS decode_wav(DATA_DEVICE& device, WAV_SOUND& sound);
