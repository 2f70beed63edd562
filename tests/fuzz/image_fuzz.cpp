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

namespace {

// Headers may claim up to 32766 x 32766 pixels, which a decoder would
// rightly allocate (4 GiB) before finding that the data is missing. Such
// inputs are skipped for the format concerned so that the fuzzer's memory
// limit measures leaks and overruns, not honest allocations.
constexpr uint64_t kMostPixels = 1u << 22;

class BYTES_DEVICE : public DATA_DEVICE {
public:
  BYTES_DEVICE(const uint8_t* data, size_t size) : data_(data), size_(static_cast<uint32_t>(size)) {}
  uint32_t tell() override { return position_; }
  bool seek(int32_t offset, bool from_end) override {
    int64_t target = from_end ? static_cast<int64_t>(size_) + offset : offset;
    if (target < 0 || target > size_) return false;
    position_ = static_cast<uint32_t>(target);
    return true;
  }
  int32_t read(void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    uint32_t n = static_cast<uint32_t>(count) < size_ - position_ ? static_cast<uint32_t>(count) : size_ - position_;
    if (n) memcpy(buffer, data_ + position_, n);
    position_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t write(const void*, int32_t) override { return 0; }

private:
  const uint8_t* data_;
  uint32_t size_;
  uint32_t position_ = 0;
};

// A growing write-only buffer for round trips.
class GROWING_DEVICE : public DATA_DEVICE {
public:
  ~GROWING_DEVICE() override { delete[] bytes; }
  uint32_t tell() override { return size; }
  bool seek(int32_t, bool) override { return false; }
  int32_t read(void*, int32_t) override { return 0; }
  int32_t write(const void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    if (size + static_cast<uint32_t>(count) > capacity) {
      uint32_t grown = (size + static_cast<uint32_t>(count)) * 2;
      uint8_t* bigger = new uint8_t[grown];
      if (size) memcpy(bigger, bytes, size);
      delete[] bytes;
      bytes = bigger;
      capacity = grown;
    }
    memcpy(bytes + size, buffer, static_cast<size_t>(count));
    size += static_cast<uint32_t>(count);
    return count;
  }
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  uint32_t capacity = 0;
};

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
  GROWING_DEVICE saved;
  if (!image.save_png(&saved)) __builtin_trap();
  BYTES_DEVICE again(saved.bytes, saved.size);
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
    BYTES_DEVICE device(data, size);
    IMAGE image;
    bool ok = image.load_png(&device);
    check(ok, image);
    if (ok) png_round_trip(image);
  }

  if (jpeg_fits(data, size)) {
    BYTES_DEVICE device(data, size);
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
    BYTES_DEVICE device(data, size);
    IMAGE image;
    check(image.load_pcx(&device), image);
  }

  if (raw_fits(data, size)) {
    BYTES_DEVICE device(data, size);
    IMAGE image;
    bool ok = image.get_from_data_device(&device);
    // The raw form may hold an image of width or height 0.
    if (ok && image.pixels == nullptr && image.width != 0 && image.height != 0) __builtin_trap();
  }
  return 0;
}
