// Decodes arbitrary bytes as a WAV sound. A decode either fails with no
// sound data or succeeds with whole stereo frames; the sizes a file claims
// never lead to an allocation beyond what its data can fill.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memory_device.h"
#include "wav_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  test_support::MEMORY_DEVICE device(std::vector<uint8_t>(data, data + size));
  WAV_SOUND sound;
  const WAV_STATUS status = decode_wav(device, sound);
  if (status == WAV_STATUS::OK) {
    if (!sound.data || sound.length <= 0 || sound.length % 4 != 0) abort();
    // 44100 / 4000 rounds to 11 output frames of 4 bytes per input byte at
    // most (8-bit mono), so the output is bounded by the input.
    if (static_cast<size_t>(sound.length) > size * 44 + 4) abort();
    volatile uint8_t last = sound.data[sound.length - 1];
    (void)last;
  } else if (sound.data && sound.length != 0) {
    abort();
  }
  return 0;
}
