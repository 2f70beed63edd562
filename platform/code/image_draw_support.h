#pragma once
// Shared pieces of the drawing operations: the area an operation may touch,
// pixel addressing, dirty marking and the row kernels that fill or blend
// whole runs of pixels. Only the image drawing sources include this.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "colour.h"
#include "errors.h"
#include "image.h"

namespace image_draw {

constexpr uint16_t ERROR_NO_PIXELS = 0x0002;

// The clip rectangle cut to the image's own extent. The clip fields are
// public and callers save and restore them, so a stray value must never
// address memory outside the buffer.
inline RECT clip_box(const IMAGE& image) {
  return image.clip_rect().intersect(image.extent());
}

// The area a drawing operation may touch, or false when it must leave the
// image alone (valid 0, empty clip). An image that has a clip but no pixel
// buffer means the program drew before it made its surfaces: fatal.
inline bool drawable_area(const IMAGE& image, RECT& area) {
  if (!image.valid || image.clip_is_empty()) return false;
  if (!image.pixels) report_error(ERROR_NO_PIXELS);
  area = clip_box(image);
  return !area.empty();
}

// The area of the whole-area colour operations: they leave an image without
// pixels or with an empty clip alone.
inline bool whole_area(const IMAGE& image, RECT& area) {
  if (!image.pixels || image.clip_is_empty()) return false;
  area = clip_box(image);
  return !area.empty();
}

inline uint32_t* pixel_at(IMAGE& image, int32_t px, int32_t py) {
  return image.pixels + static_cast<size_t>(py - image.y) * static_cast<size_t>(image.stride) +
         (px - image.x);
}

// Grows the dirty rectangle by the box where it overlaps the image; a box
// wholly outside the image changed nothing.
inline void mark_dirty(IMAGE& image, const RECT& box) {
  image.add_dirty_rect(box.intersect(image.extent()));
}

// The blending rule for one colour of alpha 1 .. 249 over many pixels: the
// source's share is multiplied once, red and blue share one word.
struct BLENDER {
  uint32_t rb_src;
  uint32_t g_src;
  uint32_t keep;  // 255 - alpha

  explicit BLENDER(uint32_t colour) {
    uint32_t a = colour >> 24;
    rb_src = (colour & 0x00FF00FFu) * a;
    g_src = (colour & 0x0000FF00u) * a;
    keep = 255u - a;
  }
  uint32_t operator()(uint32_t d) const {
    uint32_t rb = (((d & 0x00FF00FFu) * keep + rb_src) >> 8) & 0x00FF00FFu;
    uint32_t g = (((d & 0x0000FF00u) * keep + g_src) >> 8) & 0x0000FF00u;
    return (d & 0xFF000000u) | rb | g;
  }
};

// Four pixels at a time: the compiler does not vectorise loops of unknown
// length at -O2, and fills and blits are the drawing hot path. Loads and
// stores go through memcpy, so rows need no alignment.
using QUAD = uint32_t __attribute__((vector_size(16)));

inline QUAD load_quad(const uint32_t* p) {
  QUAD q;
  memcpy(&q, p, sizeof(q));
  return q;
}

inline void store_quad(uint32_t* p, QUAD q) { memcpy(p, &q, sizeof(q)); }

// The blending rule on 16-bit lanes, one lane per byte of four pixels:
// each colour lane becomes (d x (255 - a) + s x a) >> 8, and each alpha
// lane (d x 256 + 0) >> 8 = d, so the pixels keep their alpha. Every
// product stays below 65536.
using BYTES16 = uint8_t __attribute__((vector_size(16)));
using LANES16 = uint16_t __attribute__((vector_size(32)));

inline void blend_run(uint32_t* row, int32_t count, uint32_t colour) {
  const BLENDER blend(colour);
  const uint16_t a = static_cast<uint16_t>(colour >> 24);
  const uint16_t k = static_cast<uint16_t>(255 - a);
  // Memory order of one pixel on a little-endian host: B, G, R, A.
  const uint16_t b = static_cast<uint16_t>((colour & 0xFF) * a);
  const uint16_t g = static_cast<uint16_t>(((colour >> 8) & 0xFF) * a);
  const uint16_t r = static_cast<uint16_t>(((colour >> 16) & 0xFF) * a);
  const LANES16 keep = {k, k, k, 256, k, k, k, 256, k, k, k, 256, k, k, k, 256};
  const LANES16 source = {b, g, r, 0, b, g, r, 0, b, g, r, 0, b, g, r, 0};
  int32_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 4 <= count; i += 4) {
      BYTES16 bytes;
      memcpy(&bytes, row + i, sizeof(bytes));
      LANES16 lanes = __builtin_convertvector(bytes, LANES16);
      lanes = (lanes * keep + source) >> 8;
      bytes = __builtin_convertvector(lanes, BYTES16);
      memcpy(row + i, &bytes, sizeof(bytes));
    }
  }
  for (; i < count; ++i) row[i] = blend(row[i]);
}

// Stores one colour into count pixels.
inline void fill_pixels(uint32_t* row, int32_t count, uint32_t colour) {
  const QUAD quad = {colour, colour, colour, colour};
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    store_quad(row + i, quad);
    store_quad(row + i + 4, quad);
  }
  for (; i < count; ++i) row[i] = colour;
}

// A run of pixels by the blending rule (alpha 0 nothing, 250 and above
// stored whole) or, without blend, with the colour stored as it is.
inline void paint_run(uint32_t* row, int32_t count, uint32_t colour, bool blend) {
  uint32_t a = colour >> 24;
  if (!blend || a >= opaque_alpha_threshold) {
    fill_pixels(row, count, colour);
  } else if (a != 0) {
    blend_run(row, count, colour);
  }
}

// One pixel by the blending rule.
inline void blend_one(uint32_t* pixel, uint32_t colour) {
  blend_colour(pixel, &colour, colour >> 24);
}

// Every channel (alpha too) from a towards b at pos of span, each
// a_c + (b_c - a_c) x pos / span truncated towards zero; a span of 0 (one
// row or column) takes a.
inline uint32_t gradient_colour(uint32_t a, uint32_t b, int32_t pos, int32_t span) {
  if (span == 0) return a;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int32_t ac = static_cast<int32_t>((a >> shift) & 0xFF);
    const int32_t bc = static_cast<int32_t>((b >> shift) & 0xFF);
    const int32_t c = ac + (bc - ac) * pos / span;
    out |= (static_cast<uint32_t>(c) & 0xFFu) << shift;
  }
  return out;
}

// Room for count per-column colours, reused between calls so that a warm
// frame does not allocate (drawing runs on the UI thread only).
uint32_t* column_buffer(size_t count);

// One line of width 1 from (x1, y1) to (x2, y2), each point drawn when it
// lies inside the area; its bounding box is marked dirty. Coordinates are
// wide so that callers may step past the 16-bit range.
void draw_thin_line(IMAGE& image, const RECT& area, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    uint32_t colour, bool blend);

// A one-pixel outline with the side mask (1 left, 2 right, 4 top, 8
// bottom), the corners belonging to the columns; blended.
void draw_thin_outline(IMAGE& image, const RECT& area, const RECT& rect, uint32_t colour,
                       uint8_t sides);

}  // namespace image_draw
