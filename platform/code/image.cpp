#include "image.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "errors.h"
#include "image_draw_support.h"

bool fast_image_scaling = true;

namespace {

constexpr char kRawMagic[10] = {'v', 'o', 'r', 'n', 'r', 'a', 'w', 'i', 'm', 'g'};
constexpr uint8_t kRawVersion = 1;
constexpr uint16_t kDirtyEmpty = 65535;
// Where the dirty fields can point: they are unsigned, and 65535 marks an
// empty rectangle.
constexpr RECT kDirtySpace = {0, 0, 65534, 65534};

int32_t stride_for(int32_t w, uint8_t alignment) {
  if (alignment == 1) return w;
  if (alignment >= 2 && alignment <= 127) return (w + alignment - 1) / alignment * alignment;
  return (w + 1) & ~1;
}

int32_t clamp32(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Each corner moved into bounds (which must not be empty): unlike an
// intersection, a rectangle outside is pulled onto the nearest edge.
RECT clamped_into(const RECT& r, const RECT& bounds) {
  return {clamp32(r.x1, bounds.x1, bounds.x2), clamp32(r.y1, bounds.y1, bounds.y2),
          clamp32(r.x2, bounds.x1, bounds.x2), clamp32(r.y2, bounds.y1, bounds.y2)};
}

// Pixels on the stream are little-endian unless the device's swap flag
// asks for big-endian; this says whether that differs from memory.
bool stream_order_differs(const DATA_DEVICE* device) {
  bool stream_big = device->swap != 0;
  return stream_big != (std::endian::native == std::endian::big);
}

void swap_words(uint32_t* words, int32_t count) {
  for (int32_t i = 0; i < count; ++i) words[i] = __builtin_bswap32(words[i]);
}

// One row of w pixels from the device, in memory order; sets the device's
// error byte.
bool read_row(DATA_DEVICE* device, uint32_t* row, int32_t w) {
  int32_t bytes = w * 4;
  int32_t got = device->read(row, bytes);
  device->error = got == bytes ? 0 : 1;
  if (device->error) return false;
  if (stream_order_differs(device)) swap_words(row, w);
  return true;
}

}  // namespace

IMAGE::IMAGE() { init(-1, -1); }

IMAGE::IMAGE(int16_t w, int16_t h) { init(w, h); }

IMAGE::~IMAGE() {
  next = nullptr;
  free_pixels();
}

void IMAGE::init(int16_t w, int16_t h) {
  free_pixels();
  x = y = width = height = stride = 0;
  row_alignment = 0;
  fixed = 0;
  keep_aspect = 0;
  max_width = max_height = 0;
  font_width = 22;
  font_height = 22;
  font = 10;
  next = nullptr;
  store_dirty(RECT{});
  store_clip(RECT{});
  valid = 0;
  create(w, h);
}

void IMAGE::free_pixels() {
  free(pixels);
  pixels = nullptr;
  pixel_count = 0;
}

void IMAGE::set_whole_clip() { store_clip(extent()); }

void IMAGE::store_clip(const RECT& r) {
  if (r.empty()) {
    clip_x1 = clip_x2 = clip_y1 = clip_y2 = -1;
    return;
  }
  // An image reaching past the 16-bit range is clipped at its end.
  clip_x1 = to_i16(r.x1);
  clip_y1 = to_i16(r.y1);
  clip_x2 = to_i16(r.x2);
  clip_y2 = to_i16(r.y2);
}

void IMAGE::store_dirty(const RECT& r) {
  if (r.empty()) {
    dirty_x1 = dirty_x2 = dirty_y1 = dirty_y2 = kDirtyEmpty;
    return;
  }
  dirty_x1 = static_cast<uint16_t>(r.x1);
  dirty_y1 = static_cast<uint16_t>(r.y1);
  dirty_x2 = static_cast<uint16_t>(r.x2);
  dirty_y2 = static_cast<uint16_t>(r.y2);
}

RECT IMAGE::extent() const { return RECT::sized(x, y, width, height); }

RECT IMAGE::clip_rect() const {
  return clip_is_empty() ? RECT{} : RECT{clip_x1, clip_y1, clip_x2, clip_y2};
}

RECT IMAGE::dirty_rect() const {
  return dirty_is_empty() ? RECT{} : RECT{dirty_x1, dirty_y1, dirty_x2, dirty_y2};
}

bool IMAGE::create(int16_t w, int16_t h) { return resize_buffer(w, h, false); }

bool IMAGE::try_create(int16_t w, int16_t h) { return resize_buffer(w, h, true); }

bool IMAGE::resize_buffer(int16_t w, int16_t h, bool may_fail) {
  if (fixed) return true;
  max_width = max_height = 0;

  if (w == width && h == height && pixels) {
    add_dirty_rect(extent());
    set_whole_clip();
    valid = 1;
    return true;
  }

  int32_t new_stride = 0;
  bool refused = false;
  if (w >= 1 && h >= 1) {
    new_stride = stride_for(w, row_alignment);
    refused = w > IMAGE_MAX_SIZE || h > IMAGE_MAX_SIZE || new_stride > INT16_MAX;
  }

  // The old area needs repainting.
  const RECT old_area = extent().empty() ? RECT{} : clamped_into(extent(), kDirtySpace);
  free_pixels();
  if (w < 1 || h < 1 || refused) {
    width = height = stride = 0;
    store_dirty(RECT{});
    set_whole_clip();
    valid = 1;
    return !refused;
  }

  width = w;
  height = h;
  stride = static_cast<int16_t>(new_stride);
  // But only where the new buffer reaches: after a shrink a dirty rectangle
  // past the buffer would be read and written outside it.
  store_dirty(dirty_rect().unite(old_area).intersect(extent().intersect(kDirtySpace)));

  size_t count = static_cast<size_t>(height) * static_cast<size_t>(stride);
  pixels = static_cast<uint32_t*>(calloc(count, sizeof(uint32_t)));
  if (!pixels) {
    if (!may_fail) report_error(0x0020);
    width = height = stride = 0;
    store_dirty(RECT{});
    set_whole_clip();
    valid = 1;
    return false;
  }
  pixel_count = count;
  set_whole_clip();
  valid = 1;
  return true;
}

void IMAGE::copy(const IMAGE& source) {
  if (&source == this) return;
  create(source.width, source.height);
  if (!source.pixels) return;
  blit(&source, 0, 0, x, y, source.width, source.height, BLIT_COPY);
}

bool IMAGE::clip_is_empty() const {
  return clip_x1 == -1 && clip_x2 == -1 && clip_y1 == -1 && clip_y2 == -1;
}

void IMAGE::get_pixel(int16_t px, int16_t py, COLOUR* out) const {
  if (!out) return;
  *out = COLOUR_INVISIBLE;
  // The clip fields are public: a point outside the buffer is never read.
  if (!pixels || !clip_rect().intersect(extent()).contains(px, py)) return;
  *out = pixels[static_cast<size_t>(py - y) * static_cast<size_t>(stride) +
                static_cast<size_t>(px - x)];
}

bool IMAGE::dirty_is_empty() const {
  return dirty_x1 == kDirtyEmpty || dirty_x2 == kDirtyEmpty || dirty_y1 == kDirtyEmpty ||
         dirty_y2 == kDirtyEmpty;
}

void IMAGE::set_clip_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  // Clamping into an image without pixels would give a clip of 0..-1 that
  // is not empty, and drawing would then look for pixels.
  if (!pixels || extent().empty()) {
    store_clip(RECT{});
    return;
  }
  store_clip(clamped_into(RECT::ordered(x1, y1, x2, y2), extent()));
}

void IMAGE::clip_to(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  clip_to(RECT::ordered(x1, y1, x2, y2));
}

void IMAGE::clip_to(const RECT& r) {
  if (clip_is_empty()) return;
  // A rectangle wholly outside the image must not be pulled onto its edge.
  store_clip(clip_rect().intersect(extent()).intersect(r));
}

void IMAGE::add_dirty_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  add_dirty_rect(RECT::ordered(x1, y1, x2, y2));
}

void IMAGE::add_dirty_rect(const RECT& r) {
  if (extent().empty() || r.empty()) return;
  // Left of or above 0 counts as 0: the dirty fields are unsigned.
  store_dirty(dirty_rect().unite(clamped_into(r, clamped_into(extent(), kDirtySpace))));
}

// ---------------------------------------------------------------------------
// The raw form "vornrawimg"

bool IMAGE::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  char magic[sizeof(kRawMagic)];
  int32_t got = device->read(magic, sizeof(magic));
  device->error = got == static_cast<int32_t>(sizeof(magic)) ? 0 : 1;
  bool ok = !device->error && memcmp(magic, kRawMagic, sizeof(magic)) == 0;

  uint8_t version = 0;
  uint16_t w = 0, h = 0;
  ok = ok && device->read_u8(version) && version == kRawVersion;
  ok = ok && device->read_u16(w) && device->read_u16(h);
  ok = ok && read_pixels(device, w, h);
  if (!ok) create(0, 0);
  return ok;
}

bool IMAGE::read_pixels(DATA_DEVICE* device, int32_t w, int32_t h) {
  if (w == 0 || h == 0) {
    create(0, 0);
    return width == 0;  // a fixed image keeps its size and cannot take this
  }
  if (w > IMAGE_MAX_SIZE || h > IMAGE_MAX_SIZE) return false;
  // Small records, and records the device confirms it holds, go straight
  // into the image. A large claim that the device cannot confirm (a
  // compressed member knows its end only once it has been read) must not
  // allocate what the record merely claims.
  constexpr int64_t kAlwaysDirect = int64_t{4} << 20;
  int64_t need = int64_t{4} * w * h;
  if (need <= kAlwaysDirect || device->bytes_left() >= need) {
    if (!try_create(static_cast<int16_t>(w), static_cast<int16_t>(h))) return false;
    if (width != w || height != h || !pixels) return false;
    for (int32_t row = 0; row < h; ++row) {
      if (!read_row(device, pixels + static_cast<size_t>(row) * stride, w)) return false;
    }
    return true;
  }

  // Gather the rows first, so that the memory taken follows the bytes
  // really there, not the sizes claimed.
  std::vector<uint32_t> staged;
  for (int32_t row = 0; row < h; ++row) {
    size_t at = staged.size();
    staged.resize(at + static_cast<size_t>(w));
    if (!read_row(device, staged.data() + at, w)) return false;
  }
  if (!try_create(static_cast<int16_t>(w), static_cast<int16_t>(h))) return false;
  if (width != w || height != h || !pixels) return false;
  for (int32_t row = 0; row < h; ++row) {
    memcpy(pixels + static_cast<size_t>(row) * stride, staged.data() + static_cast<size_t>(row) * w,
           static_cast<size_t>(w) * sizeof(uint32_t));
  }
  return true;
}

bool IMAGE::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  int32_t put = device->write(kRawMagic, sizeof(kRawMagic));
  device->error = put == static_cast<int32_t>(sizeof(kRawMagic)) ? 0 : 1;
  if (device->error) return false;
  if (!device->write_u8(kRawVersion)) return false;
  int32_t w = pixels ? width : 0, h = pixels ? height : 0;
  if (!device->write_u16(static_cast<uint16_t>(w))) return false;
  if (!device->write_u16(static_cast<uint16_t>(h))) return false;
  if (w == 0 || h == 0) return true;

  bool convert = stream_order_differs(device);
  std::vector<uint32_t> row_copy(convert ? static_cast<size_t>(w) : 0);
  int32_t bytes = w * 4;
  for (int32_t row = 0; row < h; ++row) {
    const uint32_t* src = pixels + static_cast<size_t>(row) * stride;
    if (convert) {
      memcpy(row_copy.data(), src, static_cast<size_t>(bytes));
      swap_words(row_copy.data(), w);
      src = row_copy.data();
    }
    put = device->write(src, bytes);
    device->error = put == bytes ? 0 : 1;
    if (device->error) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Array form

bool IMAGE::create_from_array(const uint8_t* array) {
  if (!array || array[0] != 1) return false;
  int32_t w = (array[1] << 8) | array[2];
  int32_t h = (array[3] << 8) | array[4];
  if (w == 0 || h == 0) {
    create(0, 0);
    return width == 0;
  }
  if (w > IMAGE_MAX_SIZE || h > IMAGE_MAX_SIZE) return false;
  if (!create(static_cast<int16_t>(w), static_cast<int16_t>(h))) return false;
  if (width != w || height != h || !pixels) return false;
  const uint8_t* p = array + 5;
  for (int32_t row = 0; row < h; ++row) {
    uint32_t* dst = pixels + static_cast<size_t>(row) * stride;
    for (int32_t i = 0; i < w; ++i, p += 4) {
      dst[i] = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Export for presentation

void IMAGE::export_pixels(void* dest, uint16_t dest_stride, int8_t row_step, uint8_t format,
                          uint8_t rotate) const {
  if (!dest || !pixels || width < 1 || height < 1 || format > 2) return;
  // Rotated, each destination row is one source column of height pixels.
  int32_t rows = rotate ? width : height;
  int32_t cols = rotate ? height : width;
  size_t step = dest_stride == 65535 ? static_cast<size_t>(cols) : dest_stride;

  auto dest_row = [&](int32_t r) -> size_t {
    return static_cast<size_t>(row_step < 0 ? rows - 1 - r : r) * step;
  };

  if (format == 2) {
    auto* out = static_cast<uint16_t*>(dest);
    for (int32_t r = 0; r < rows; ++r) {
      uint16_t* d = out + dest_row(r);
      for (int32_t c = 0; c < cols; ++c) {
        uint32_t p = rotate ? pixels[static_cast<size_t>(height - 1 - c) * stride + r]
                            : pixels[static_cast<size_t>(r) * stride + c];
        d[c] =
            static_cast<uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
      }
    }
    return;
  }

  auto* out = static_cast<uint32_t*>(dest);
  for (int32_t r = 0; r < rows; ++r) {
    uint32_t* d = out + dest_row(r);
    if (!rotate && format == 0) {
      memcpy(d, pixels + static_cast<size_t>(r) * stride, static_cast<size_t>(cols) * 4);
      continue;
    }
    for (int32_t c = 0; c < cols; ++c) {
      uint32_t p = rotate ? pixels[static_cast<size_t>(height - 1 - c) * stride + r]
                          : pixels[static_cast<size_t>(r) * stride + c];
      if (format == 1) p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16);
      d[c] = p;
    }
  }
}

// ---------------------------------------------------------------------------
// Whole-image operations

void IMAGE::rotate(float radians) {
  if (fixed || !pixels) return;
  double c = std::cos(static_cast<double>(radians));
  double s = std::sin(static_cast<double>(radians));
  int32_t w = width, h = height;
  const double cx[4] = {0.0, static_cast<double>(w), 0.0, static_cast<double>(w)};
  const double cy[4] = {0.0, 0.0, static_cast<double>(h), static_cast<double>(h)};
  double min_x = 1e300, max_x = -1e300, min_y = 1e300, max_y = -1e300;
  for (int k = 0; k < 4; ++k) {
    double rx = cx[k] * c - cy[k] * s;
    double ry = cx[k] * s + cy[k] * c;
    min_x = std::min(min_x, rx);
    max_x = std::max(max_x, rx);
    min_y = std::min(min_y, ry);
    max_y = std::max(max_y, ry);
  }
  // The angle arrives as a float, so right angles carry a little noise;
  // without the allowance a quarter turn would gain a transparent column.
  constexpr double kAllowance = 0.01;
  double nw = std::ceil(max_x - min_x - kAllowance);
  double nh = std::ceil(max_y - min_y - kAllowance);
  if (nw < 1 || nh < 1 || nw > IMAGE_MAX_SIZE || nh > IMAGE_MAX_SIZE) return;

  uint32_t* old = pixels;
  int32_t old_stride = stride;
  pixels = nullptr;  // create must not free the source
  pixel_count = 0;
  create(static_cast<int16_t>(nw), static_cast<int16_t>(nh));

  // Each new pixel samples the old picture at the point under its centre,
  // so that quarter turns move every pixel and lose none.
  for (int32_t j = 0; j < height; ++j) {
    uint32_t* d = pixels + static_cast<size_t>(j) * stride;
    double py = j + 0.5 + min_y;
    for (int32_t i = 0; i < width; ++i) {
      double px = i + 0.5 + min_x;
      double ox = std::floor(c * px + s * py);
      double oy = std::floor(c * py - s * px);
      if (ox >= 0 && oy >= 0 && ox < w && oy < h) {
        d[i] = old[static_cast<size_t>(oy) * old_stride + static_cast<size_t>(ox)];
      }
    }
  }
  free(old);
}

void IMAGE::rotate_degrees(float degrees) {
  rotate(static_cast<float>(degrees * 3.1415926535898 / 180.0));
}

void IMAGE::flip_vertical() {
  if (!pixels) return;
  for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(pixels + static_cast<size_t>(top) * stride,
                     pixels + static_cast<size_t>(top) * stride + width,
                     pixels + static_cast<size_t>(bottom) * stride);
  }
  add_dirty_rect(x, y, static_cast<int16_t>(x + width - 1), static_cast<int16_t>(y + height - 1));
}

void IMAGE::flip_horizontal() {
  if (!pixels) return;
  for (int32_t row = 0; row < height; ++row) {
    uint32_t* r = pixels + static_cast<size_t>(row) * stride;
    std::reverse(r, r + width);
  }
  add_dirty_rect(x, y, static_cast<int16_t>(x + width - 1), static_cast<int16_t>(y + height - 1));
}

bool IMAGE::slice_piece(IMAGE& piece, int32_t sx, int32_t sy, int32_t w, int32_t h, intptr_t user,
                        const char* base_name, const char* suffix, IMAGE_SAVE_FUNCTION save) {
  char name[256];
  int n = std::snprintf(name, sizeof(name), "%s%s", base_name, suffix);
  if (n < 0 || static_cast<size_t>(n) >= sizeof(name)) return false;
  // An image one pixel wide or high has no side pieces: there is nothing
  // to save for them.
  if (w < 1 || h < 1) return true;
  piece.create(static_cast<int16_t>(w), static_cast<int16_t>(h));
  if (!piece.pixels) return false;
  std::fill_n(piece.pixels, piece.pixel_count, COLOUR_INVISIBLE);
  piece.blit(this, static_cast<int16_t>(sx), static_cast<int16_t>(sy), piece.x, piece.y,
             static_cast<int16_t>(w), static_cast<int16_t>(h), BLIT_COPY);
  return save(piece, user, name);
}

// The right and bottom pieces take what is left after the middle line, so
// that even sizes do not read past the image.
bool IMAGE::save_nine_slices(intptr_t user, const char* base_name, IMAGE_SAVE_FUNCTION save) {
  if (!pixels || !base_name || !save) return false;
  int32_t hw = width / 2, hh = height / 2;
  int32_t rw = width - hw - 1, bh = height - hh - 1;
  IMAGE piece;
  bool ok = slice_piece(piece, 0, 0, hw, hh, user, base_name, "_top_left.png", save);
  ok = slice_piece(piece, 0, hh + 1, hw, bh, user, base_name, "_bottom_left.png", save) && ok;
  ok = slice_piece(piece, hw + 1, 0, rw, hh, user, base_name, "_top_right.png", save) && ok;
  ok = slice_piece(piece, hw + 1, hh + 1, rw, bh, user, base_name, "_bottom_right.png", save) && ok;
  ok = slice_piece(piece, 0, hh, hw, 1, user, base_name, "_mid_left.png", save) && ok;
  ok = slice_piece(piece, hw + 1, hh, rw, 1, user, base_name, "_mid_right.png", save) && ok;
  ok = slice_piece(piece, hw, 0, 1, hh, user, base_name, "_top_mid.png", save) && ok;
  ok = slice_piece(piece, hw, hh + 1, 1, bh, user, base_name, "_bottom_mid.png", save) && ok;
  ok = slice_piece(piece, hw, hh, 1, 1, user, base_name, "_mid_mid.png", save) && ok;
  return ok;
}

bool IMAGE::save_three_slices_h(intptr_t user, const char* base_name, IMAGE_SAVE_FUNCTION save) {
  if (!pixels || !base_name || !save) return false;
  int32_t hw = width / 2, rw = width - hw - 1;
  IMAGE piece;
  bool ok = slice_piece(piece, 0, 0, hw, height, user, base_name, "_left.png", save);
  ok = slice_piece(piece, hw + 1, 0, rw, height, user, base_name, "_right.png", save) && ok;
  ok = slice_piece(piece, hw, 0, 1, height, user, base_name, "_mid.png", save) && ok;
  return ok;
}

bool IMAGE::save_three_slices_v(intptr_t user, const char* base_name, IMAGE_SAVE_FUNCTION save) {
  if (!pixels || !base_name || !save) return false;
  int32_t hh = height / 2, bh = height - hh - 1;
  IMAGE piece;
  bool ok = slice_piece(piece, 0, 0, width, hh, user, base_name, "_top.png", save);
  ok = slice_piece(piece, 0, hh + 1, width, bh, user, base_name, "_bottom.png", save) && ok;
  ok = slice_piece(piece, 0, hh, width, 1, user, base_name, "_mid.png", save) && ok;
  return ok;
}
