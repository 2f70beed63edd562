#include "wav_decode.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "data_device.h"
#include "debug_stream.h"
#include "sound_streams.h"
#include "sound_voice.h"

namespace {

struct WAV_FORMAT {
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
};

struct WAV_LAYOUT {
  WAV_FORMAT format;
  uint32_t data_offset = 0;
  uint32_t data_size = 0;
};

// Header fields are little-endian whatever the device's swap flag says.
uint16_t little_u16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }
uint32_t little_u32(const uint8_t* bytes) {
  return static_cast<uint32_t>(little_u16(bytes)) | static_cast<uint32_t>(little_u16(bytes + 2)) << 16;
}

// Moves past size bytes; false when they are not all there.
bool skip(DATA_DEVICE& device, uint32_t size) {
  int64_t left = device.bytes_left();
  if (left >= 0 && size > left) return false;
  int64_t target = static_cast<int64_t>(device.tell()) + size;
  return target <= INT32_MAX && device.seek(static_cast<int32_t>(target), false);
}

WAV_STATUS read_format(DATA_DEVICE& device, uint32_t size, WAV_FORMAT& format) {
  DEBUG_STREAM& log = wav_loading_stream();
  if (size < 16) {
    log.printf("\tFormat subchunk does not contain enough byes!\n");
    return WAV_STATUS::NOT_WAV;
  }
  uint8_t pcm[16];
  if (device.read(pcm, 16) != 16) return WAV_STATUS::TRUNCATED;
  // {u16 tag, u16 channels, u32 rate, u32 byte rate, u16 block align, u16 bits}
  format.channels = little_u16(pcm + 2);
  format.rate = little_u32(pcm + 4);
  format.bits = little_u16(pcm + 14);
  if (size > 16) {
    log.printf("\tMalformed format subchunk which contains extra byes! (is %d bytes should be 16 bytes)\n"
               "\tWill continue assuming start of fmt chunk is valid.\n\tSkipping %d bytes.\n",
               static_cast<int>(size), static_cast<int>(size - 16));
    if (!skip(device, size - 16)) return WAV_STATUS::TRUNCATED;
  }
  log.printf("\tFormat subchunk read in\n");
  return WAV_STATUS::OK;
}

WAV_STATUS read_layout(DATA_DEVICE& device, WAV_LAYOUT& layout) {
  DEBUG_STREAM& log = wav_loading_stream();
  log.printf("Starting WAV load\n");
  uint8_t riff[8];
  if (device.read(riff, 8) != 8 || memcmp(riff, "RIFF", 4) != 0) {
    log.printf("RIFF header missing\n");
    return WAV_STATUS::NOT_WAV;
  }
  log.printf("Found RIFF header\n");
  uint8_t wave[4];
  if (device.read(wave, 4) != 4 || memcmp(wave, "WAVE", 4) != 0) {
    log.printf("RIFF format is not WAVE\n");
    return WAV_STATUS::NOT_WAV;
  }
  log.printf("Got WAVE format RIFF\n");

  bool have_format = false;
  bool have_data = false;
  for (;;) {
    long offset = static_cast<long>(device.tell());
    uint8_t header[8];
    int32_t got = device.read(header, 8);
    if (got <= 0) break;
    log.printf("Reading subchunk from file offset %ld\n", offset);
    if (got < 8) {
      log.printf("Incompete subchunk header (most likely trailing bytes at end of file)\n\t");
      for (int32_t i = 0; i < got; ++i) log.printf("0x%X ", header[i]);
      continue;
    }
    log.printf("Got '%c%c%c%c' subchunk\n", header[0], header[1], header[2], header[3]);
    uint32_t size = little_u32(header + 4);
    if (memcmp(header, "fmt", 3) == 0) {
      WAV_STATUS status = read_format(device, size, layout.format);
      if (status != WAV_STATUS::OK) return status;
      have_format = true;
    } else if (memcmp(header, "data", 4) == 0 && !have_data) {
      layout.data_offset = device.tell();
      layout.data_size = size;
      if (!skip(device, size)) return WAV_STATUS::TRUNCATED;
      log.printf("\tData offset stored (length %ld)\n", static_cast<long>(size));
      have_data = true;
    } else {
      // A trailing subchunk that claims more than is left ends the reading.
      if (!skip(device, size)) break;
      log.printf("\tSubchunk skipped (length %ld)\n", static_cast<long>(size));
    }
  }
  log.printf("Complete\n\n");
  return have_format && have_data ? WAV_STATUS::OK : WAV_STATUS::NOT_WAV;
}

// Reads size bytes in steps, so that a device which cannot tell its length
// costs memory only in step with the bytes that really arrive.
WAV_STATUS read_data(DATA_DEVICE& device, uint32_t size, std::vector<uint8_t>& bytes) {
  constexpr uint32_t kStep = 65536;
  try {
    while (bytes.size() < size) {
      size_t done = bytes.size();
      uint32_t want = std::min<uint32_t>(kStep, size - static_cast<uint32_t>(done));
      bytes.resize(done + want);
      if (device.read(bytes.data() + done, static_cast<int32_t>(want)) != static_cast<int32_t>(want))
        return WAV_STATUS::TRUNCATED;
    }
  } catch (const std::bad_alloc&) {
    return WAV_STATUS::OUT_OF_MEMORY;
  }
  return WAV_STATUS::OK;
}

int16_t sample_at(const uint8_t* bytes, uint16_t bits) {
  if (bits == 16) return read_sound_sample(bytes);
  return static_cast<int16_t>(std::min((bytes[0] - 127) * 32767 / 127, 32767));
}

}  // namespace

WAV_STATUS decode_wav(DATA_DEVICE& device, WAV_SOUND& sound) {
  sound = WAV_SOUND{};
  WAV_LAYOUT layout;
  WAV_STATUS status = read_layout(device, layout);
  if (status != WAV_STATUS::OK) return status;
  const WAV_FORMAT& format = layout.format;
  if ((format.channels != 1 && format.channels != 2) || (format.bits != 8 && format.bits != 16) ||
      format.rate < WAV_MIN_RATE || format.rate > static_cast<uint32_t>(SOUND_RATE))
    return WAV_STATUS::UNSUPPORTED;

  const int64_t repeat = static_cast<int64_t>(static_cast<double>(SOUND_RATE) / format.rate + 0.5);
  const int64_t sample_bytes = format.bits / 8;
  const int64_t frame_bytes = sample_bytes * format.channels;
  const int64_t frames = layout.data_size / frame_bytes;
  const int64_t out_bytes = frames * repeat * SOUND_FRAME_BYTES;
  if (frames == 0) return WAV_STATUS::NOT_WAV;
  if (out_bytes > INT32_MAX) return WAV_STATUS::TOO_LARGE;
  if (layout.data_offset > INT32_MAX || !device.seek(static_cast<int32_t>(layout.data_offset), false))
    return WAV_STATUS::TRUNCATED;

  std::vector<uint8_t> input;
  status = read_data(device, static_cast<uint32_t>(frames * frame_bytes), input);
  if (status != WAV_STATUS::OK) return status;
  std::unique_ptr<uint8_t[]> output(new (std::nothrow) uint8_t[out_bytes]);
  if (!output) return WAV_STATUS::OUT_OF_MEMORY;

  uint8_t* out = output.get();
  for (int64_t frame = 0; frame < frames; ++frame) {
    const uint8_t* in = input.data() + frame * frame_bytes;
    int16_t left = sample_at(in, format.bits);
    int16_t right = format.channels == 2 ? sample_at(in + sample_bytes, format.bits) : left;
    for (int64_t copy = 0; copy < repeat; ++copy, out += SOUND_FRAME_BYTES) {
      write_sound_sample(out, left);
      write_sound_sample(out + 2, right);
    }
  }
  sound.data = std::move(output);
  sound.length = static_cast<int32_t>(out_bytes);
  return WAV_STATUS::OK;
}
