// PCX pictures: 8 bits per pixel, one colour layer, run-length coded rows
// and a 256-colour palette behind the marker byte 12 at the end of the
// file. Written by the program itself; u16 header fields follow the
// device's byte order.
#include <vector>

#include "data_file.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"

namespace {

constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kRunLengthEncoding = 1;
constexpr uint8_t kPaletteMarker = 12;
constexpr int32_t kHeaderSize = 128;
constexpr int32_t kPaletteSize = 768;           // 256 x R, G, B
constexpr int32_t kTrailerSize = 1 + kPaletteSize;  // marker and palette
constexpr uint8_t kRunFlags = 0xC0;
constexpr uint8_t kSingleRun = 0xC1;
constexpr uint64_t kLongestRun = 63;  // values one run byte can give
constexpr uint32_t kTransparentKey = 0x8B9A25;  // red 139, green 154, blue 37
constexpr int kMostColours = 255;                 // indices 0 .. 254

struct PCX_HEADER {
  uint8_t manufacturer = 0;
  uint8_t encoding = 0;
  uint8_t bits_per_pixel = 0;
  uint16_t x_min = 0, y_min = 0, x_max = 0, y_max = 0;
  uint8_t layers = 0;
  uint16_t bytes_per_line = 0;
};

bool skip(DATA_DEVICE* device, int32_t count) {
  uint8_t scratch[64];
  while (count > 0) {
    int32_t part = count < 64 ? count : 64;
    if (device->read(scratch, part) != part) {
      device->error = 1;
      return false;
    }
    count -= part;
  }
  return true;
}

bool read_header(DATA_DEVICE* device, PCX_HEADER& header) {
  uint8_t version = 0;
  return device->read_u8(header.manufacturer) && device->read_u8(version) &&
         device->read_u8(header.encoding) && device->read_u8(header.bits_per_pixel) &&
         device->read_u16(header.x_min) && device->read_u16(header.y_min) &&
         device->read_u16(header.x_max) && device->read_u16(header.y_max) &&
         skip(device, 2 + 2 + 48 + 1) && device->read_u8(header.layers) &&
         device->read_u16(header.bytes_per_line) && skip(device, 2 + 58);
}

// Hands out the run-length data a block at a time, never past the trailer.
class RUN_READER {
public:
  RUN_READER(DATA_DEVICE* device, uint32_t left) : device_(device), left_(left) {}
  bool next(uint8_t& byte) {
    if (at_ == have_) {
      int32_t want = left_ < sizeof(block_) ? static_cast<int32_t>(left_) : static_cast<int32_t>(sizeof(block_));
      if (want == 0) return false;
      have_ = device_->read(block_, want);
      at_ = 0;
      if (have_ <= 0) {
        have_ = 0;
        device_->error = 1;
        return false;
      }
      left_ -= static_cast<uint32_t>(have_);
    }
    byte = block_[at_++];
    return true;
  }

private:
  DATA_DEVICE* device_;
  uint32_t left_;
  int32_t have_ = 0;
  int32_t at_ = 0;
  uint8_t block_[16384];
};

bool decode_pcx(DATA_DEVICE* device, IMAGE& image) {
  // The trailer first: marker and palette in the last 769 bytes, which must
  // leave room for the header before them.
  if (!device->seek(-kTrailerSize, true)) return false;
  uint32_t trailer_at = device->tell();
  if (trailer_at < static_cast<uint32_t>(kHeaderSize)) return false;
  uint8_t marker = 0;
  uint8_t palette[kPaletteSize];
  if (!device->read_u8(marker) || marker != kPaletteMarker) return false;
  if (device->read(palette, kPaletteSize) != kPaletteSize) {
    device->error = 1;
    return false;
  }

  PCX_HEADER header;
  if (!device->seek(0, false) || !read_header(device, header)) return false;
  if (header.manufacturer != kManufacturer) return false;
  // Uncompressed, planar and fewer-bit pictures would decode as garbage.
  if (header.encoding != kRunLengthEncoding || header.bits_per_pixel != 8 || header.layers != 1)
    return false;
  int32_t width = static_cast<int32_t>(header.x_max) + 1 - header.x_min;
  int32_t height = static_cast<int32_t>(header.y_max) + 1 - header.y_min;
  if (width < 1 || height < 1 || width > IMAGE_MAX_SIZE || height > IMAGE_MAX_SIZE) return false;
  int32_t bytes_per_line = header.bytes_per_line;
  if (bytes_per_line < width) return false;
  // Every value of every line must be coded, and the cheapest coding is
  // runs of 63 (two bytes each) with one single byte or one more run for
  // the rest: a header that claims more than the data between header and
  // trailer can hold is refused before the picture is allocated.
  uint32_t data_bytes = trailer_at - static_cast<uint32_t>(kHeaderSize);
  uint64_t values = static_cast<uint64_t>(bytes_per_line) * static_cast<uint64_t>(height);
  uint64_t rest = values % kLongestRun;
  uint64_t least_bytes = values / kLongestRun * 2 + (rest == 0 ? 0 : rest == 1 ? 1 : 2);
  if (least_bytes > data_bytes) return false;

  uint32_t colours[256];
  for (int k = 0; k < 256; ++k) {
    uint32_t rgb = static_cast<uint32_t>(palette[3 * k]) << 16 |
                   static_cast<uint32_t>(palette[3 * k + 1]) << 8 | palette[3 * k + 2];
    colours[k] = rgb == kTransparentKey ? rgb : 0xFF000000u | rgb;
  }

  image.try_create(static_cast<int16_t>(width), static_cast<int16_t>(height));
  if (!image.pixels || image.width != width || image.height != height) return false;

  RUN_READER data(device, data_bytes);
  uint32_t run = 0;  // values still to give from the current run; runs cross rows
  uint8_t value = 0;
  for (int32_t row = 0; row < height; ++row) {
    uint32_t* line = image.pixels + static_cast<size_t>(row) * static_cast<size_t>(image.stride);
    for (int32_t i = 0; i < bytes_per_line; ++i) {
      while (run == 0) {
        uint8_t byte = 0;
        if (!data.next(byte)) return false;
        if ((byte & kRunFlags) == kRunFlags) {
          run = byte & 0x3F;
          if (!data.next(value)) return false;
        } else {
          run = 1;
          value = byte;
        }
      }
      --run;
      if (i < width) line[i] = colours[value];
    }
  }
  return true;
}

// The palette built while writing: first come, first indexed.
class PALETTE_BUILDER {
public:
  uint8_t index_of(uint32_t rgb) {
    uint32_t slot = (rgb * 2654435761u) >> 23;  // 512 slots
    while (used_[slot]) {
      if (keys_[slot] == rgb) return values_[slot];
      slot = (slot + 1) & 511;
    }
    if (count_ >= kMostColours) return 0;
    used_[slot] = 1;
    keys_[slot] = rgb;
    values_[slot] = static_cast<uint8_t>(count_);
    entries_[3 * count_] = static_cast<uint8_t>(rgb >> 16);
    entries_[3 * count_ + 1] = static_cast<uint8_t>(rgb >> 8);
    entries_[3 * count_ + 2] = static_cast<uint8_t>(rgb);
    ++count_;
    return values_[slot];
  }
  const uint8_t* entries() const { return entries_; }

private:
  uint32_t keys_[512] = {};
  uint8_t values_[512] = {};
  uint8_t used_[512] = {};
  uint8_t entries_[kPaletteSize] = {};
  int count_ = 0;
};

bool write_block(DATA_DEVICE* device, const void* bytes, int32_t count) {
  if (count == 0) return true;
  if (device->write(bytes, count) == count) return true;
  device->error = 1;
  return false;
}

bool flush_if_file(DATA_DEVICE* device) {
  DATA_FILE* file = dynamic_cast<DATA_FILE*>(device);
  return !file || file->flush();
}

}  // namespace

bool IMAGE::load_pcx(DATA_DEVICE* device) {
  bool ok = device && decode_pcx(device, *this);
  if (!ok) create(0, 0);
  return ok;
}

bool IMAGE::save_pcx(DATA_DEVICE* device) const {
  if (!device || !pixels || width < 1 || height < 1) return false;
  uint16_t w = static_cast<uint16_t>(width), h = static_cast<uint16_t>(height);
  // Every write is checked: the device's error byte only tells of the last.
  bool ok = device->write_u8(kManufacturer) && device->write_u8(5) &&
            device->write_u8(kRunLengthEncoding) &&
            device->write_u8(8) && device->write_u16(0) && device->write_u16(0) &&
            device->write_u16(static_cast<uint16_t>(w - 1)) &&
            device->write_u16(static_cast<uint16_t>(h - 1)) && device->write_u16(w) &&
            device->write_u16(h);
  static const uint8_t kZeros[58] = {};
  ok = ok && write_block(device, kZeros, 48) && device->write_u8(0) && device->write_u8(1) &&
       device->write_u16(w) && device->write_u16(1) && write_block(device, kZeros, 58);

  PALETTE_BUILDER palette;
  std::vector<uint8_t> coded(2 * static_cast<size_t>(width));
  for (int32_t row = 0; row < height && ok; ++row) {
    const uint32_t* line = pixels + static_cast<size_t>(row) * static_cast<size_t>(stride);
    int32_t used = 0;
    for (int32_t i = 0; i < width; ++i) {
      uint8_t index = palette.index_of(line[i] & 0xFFFFFF);
      if (index >= kRunFlags) coded[used++] = kSingleRun;
      coded[used++] = index;
    }
    ok = write_block(device, coded.data(), used);
  }
  ok = ok && device->write_u8(kPaletteMarker) && write_block(device, palette.entries(), kPaletteSize);
  return flush_if_file(device) && ok;
}

bool IMAGE::load_pcx_file(const FOLDER& folder, const char* name, bool skip_exists_test) {
  bool ok = false;
  if (name && *name && (skip_exists_test || file_exists(folder, name))) {
    DATA_FILE* file = folder.open_data_file(name, 0, 0, false);
    if (file) {
      ok = load_pcx(file);
      FOLDER::close_data_file(file);
    }
  }
  if (!ok) create(0, 0);
  return ok;
}
