// Loads arbitrary bytes as every picture format the program reads: PNG,
// JPEG (from a device, from memory, and stretched while decoding), PCX and
// the raw form. A load must either fail with an image without pixels or
// succeed with one; a PNG that loads must survive saving and loading again
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "data_device.h"
#include "image.h"
#include "memory_device.h"

namespace {

// Headers may claim up to 32766 x 32766 pixels, which a decoder would
// rightly allocate (4 GiB) before finding that the data is missing. Such
// inputs are skipped for the format concerned so that the fuzzer's memory
// limit measures leaks and overruns, not honest allocations.
constexpr uint64_t kMostPixels = 1u << 22;

using test_support::MEMORY_DEVICE;

MEMORY_DEVICE bytes_device(const uint8_t* data, size_t size) {
  return MEMORY_DEVICE(std::vector<uint8_t>(data, data + size));
}

uint32_t be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t le16(const uint8_t* p) { return static_cast<uint32_t>(p[1]) << 8 | p[0]; }
uint32_t be32(const uint8_t* p) { return be16(p) << 16 | be16(p + 2); }

bool fits(uint64_t w, uint64_t h) { return w * h <= kMostPixels; }

bool png_fits(const uint8_t* data, size_t size) {
  if (size < 24 || memcmp(data + 12, "IHDR", 4) != 0) return true;
  return fits(be32(data + 16), be32(data + 20));
}

// Every frame header anywhere in the data, as libjpeg may meet any of them.
bool jpeg_fits(const uint8_t* data, size_t size) {
  for (size_t k = 0; k + 9 <= size; ++k) {
    if (data[k] != 0xFF || data[k + 1] < 0xC0 || data[k + 1] > 0xCF) continue;
    if (data[k + 1] == 0xC4 || data[k + 1] == 0xC8 || data[k + 1] == 0xCC) continue;
    if (!fits(be16(data + k + 7), be16(data + k + 5))) return false;
  }
  return true;
}

bool pcx_fits(const uint8_t* data, size_t size) {
  if (size < 12) return true;
  int64_t w = static_cast<int64_t>(le16(data + 8)) + 1 - le16(data + 4);
  int64_t h = static_cast<int64_t>(le16(data + 10)) + 1 - le16(data + 6);
  return w < 1 || h < 1 || fits(static_cast<uint64_t>(w), static_cast<uint64_t>(h));
}

bool raw_fits(const uint8_t* data, size_t size) {
  if (size < 15) return true;
  return fits(le16(data + 11), le16(data + 13));
}

void check(bool ok, const IMAGE& image) {
  if (ok != (image.pixels != nullptr)) __builtin_trap();
  if (ok && (image.width < 1 || image.height < 1 || image.width > IMAGE_MAX_SIZE ||
             image.height > IMAGE_MAX_SIZE))
    __builtin_trap();
}

void png_round_trip(const IMAGE& image) {
  if (static_cast<int64_t>(image.width) * image.height > 65536) return;
  MEMORY_DEVICE saved;
  if (!image.save_png(&saved)) __builtin_trap();
  MEMORY_DEVICE again(saved.bytes);
  IMAGE back;
  if (!back.load_png(&again) || back.width != image.width || back.height != image.height)
    __builtin_trap();
  for (int32_t j = 0; j < image.height; ++j)
    if (memcmp(back.pixels + j * back.stride, image.pixels + j * image.stride,
               static_cast<size_t>(image.width) * 4) != 0)
      __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;

  if (png_fits(data, size)) {
    MEMORY_DEVICE device = bytes_device(data, size);
    IMAGE image;
    bool ok = image.load_png(&device);
    check(ok, image);
    if (ok) png_round_trip(image);
  }

  if (jpeg_fits(data, size)) {
    MEMORY_DEVICE device = bytes_device(data, size);
    IMAGE image;
    check(image.load_jpeg(&device), image);
    IMAGE from_memory;
    check(from_memory.load_jpeg_memory(data, static_cast<int32_t>(size)), from_memory);
    // A small stretched or shrunk target taken from the data itself.
    if (size >= 2) {
      IMAGE stretched;
      int16_t w = static_cast<int16_t>(data[size - 1] % 70 - 1);
      int16_t h = static_cast<int16_t>(data[size - 2] % 70 - 1);
      check(stretched.load_jpeg_memory(data, static_cast<int32_t>(size), w, h), stretched);
    }
  }

  if (pcx_fits(data, size)) {
    MEMORY_DEVICE device = bytes_device(data, size);
    IMAGE image;
    check(image.load_pcx(&device), image);
  }

  if (raw_fits(data, size)) {
    MEMORY_DEVICE device = bytes_device(data, size);
    IMAGE image;
    bool ok = image.get_from_data_device(&device);
    // The raw form may hold an image of width or height 0.
    if (ok && image.pixels == nullptr && image.width != 0 && image.height != 0) __builtin_trap();
  }
  return 0;
}
