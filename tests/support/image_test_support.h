#pragma once
// Pixel helpers shared by the IMAGE tests: one pixel by image coordinates,
// the dirty rectangle, fill patterns, the blending rule worked out here one
// channel at a time, pixels without the stride, and the raw stored form
// built by hand.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "image.h"

namespace image_test_support {

// The pixel at (px, py) in the image's own coordinates (offset by x, y).
inline uint32_t& at(IMAGE& image, int px, int py) {
  return image.pixels[static_cast<size_t>(py - image.y) * image.stride + (px - image.x)];
}

// 65535 in every corner: nothing is dirty.
inline void reset_dirty(IMAGE& image) {
  image.dirty_x1 = image.dirty_x2 = image.dirty_y1 = image.dirty_y2 = 65535;
}

inline std::vector<int> dirty(const IMAGE& image) {
  return {image.dirty_x1, image.dirty_y1, image.dirty_x2, image.dirty_y2};
}
inline const std::vector<int> kNoDirt = {65535, 65535, 65535, 65535};

using POINTS = std::set<std::pair<int, int>>;

// Where the image has a pixel that is not 0 (by its own coordinates when it starts at 0, 0).
inline POINTS painted(IMAGE& image) {
  POINTS out;
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i)
      if (at(image, i, j)) out.insert({i, j});
  return out;
}

inline void fill_all(IMAGE& image, uint32_t colour) {
  for (size_t k = 0; k < image.pixel_count; ++k) image.pixels[k] = colour;
}

// Pixels whose channels and alphas all differ from their neighbours'.
inline void fill_pattern(IMAGE& image, uint32_t seed) {
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i)
      image.pixels[static_cast<size_t>(j) * image.stride + i] =
          seed + static_cast<uint32_t>(j) * 0x0B071305u + static_cast<uint32_t>(i) * 0x17030B07u;
}

inline uint32_t channel(uint32_t c, int shift) { return (c >> shift) & 255; }

// The blending rule, one channel at a time: alpha 0 keeps the target, 250
// and above replace it, anything between mixes R, G and B and keeps the
// target's alpha.
inline uint32_t expected_blend(uint32_t d, uint32_t s) {
  uint32_t a = s >> 24;
  if (a == 0) return d;
  if (a >= 250) return s;
  uint32_t out = d & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8)
    out |= ((channel(d, shift) * (255 - a) + channel(s, shift) * a) >> 8) << shift;
  return out;
}

// Pixels row by row without the stride's extra columns; none for an image
// without pixels (or no image at all).
inline std::vector<uint32_t> pixels_of(const IMAGE& image) {
  std::vector<uint32_t> out;
  if (!image.pixels) return out;
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i)
      out.push_back(image.pixels[static_cast<size_t>(j) * image.stride + i]);
  return out;
}
inline std::vector<uint32_t> pixels_of(const IMAGE* image) {
  return image ? pixels_of(*image) : std::vector<uint32_t>();
}

// The raw stored form built by hand: "vornrawimg", the version, width,
// height and the pixels, integers in the given byte order.
inline std::string raw_picture(uint16_t w, uint16_t h, const std::vector<uint32_t>& pixels,
                               bool big_endian = false, uint8_t version = 1) {
  std::string out = "vornrawimg";
  out += static_cast<char>(version);
  auto put = [&](uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
      out += static_cast<char>(v >> (big_endian ? 8 * (bytes - 1 - k) : 8 * k));
  };
  put(w, 2);
  put(h, 2);
  for (uint32_t p : pixels) put(p, 4);
  return out;
}

}  // namespace image_test_support
