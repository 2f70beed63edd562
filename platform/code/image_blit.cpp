// Block copies between images in the four combining modes, and the copies
// that address the screen image.
#include <algorithm>
#include <bit>
#include <cstring>

#include "image.h"
#include "image_draw_support.h"
#include "screen.h"

namespace {

// Null targets and sources stand for the screen image, which has no pixels
// while no window is open.
IMAGE* screen_image() { return get_screen_image(0); }

// Each kernel combines n source pixels into n destination pixels, left to
// right.

// Four pixels at a time on 16-bit lanes (one per byte, memory order B, G,
// R, A): colour lanes (d x (255 - a) + s x a) >> 8, alpha lanes
// (d x 256) >> 8 = d; then per pixel alpha 0 keeps d and 250 and above
// takes s whole.
void blend_pixels(uint32_t* to, const uint32_t* from, int32_t n) {
  using image_draw::BYTES16;
  using image_draw::LANES16;
  using image_draw::QUAD;
  int32_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    const LANES16 colour_lanes = {0xFFFF, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0,
                                  0xFFFF, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0};
    const LANES16 alpha_lanes = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (; i + 4 <= n; i += 4) {
      const QUAD s = image_draw::load_quad(from + i);
      const QUAD d = image_draw::load_quad(to + i);
      BYTES16 s_bytes, d_bytes;
      memcpy(&s_bytes, &s, sizeof(s));
      memcpy(&d_bytes, &d, sizeof(d));
      const LANES16 sl = __builtin_convertvector(s_bytes, LANES16);
      const LANES16 dl = __builtin_convertvector(d_bytes, LANES16);
      const LANES16 a = __builtin_shufflevector(sl, sl, 3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15,
                                                15, 15) &
                        colour_lanes;
      const LANES16 mixed_lanes = (dl * (255 - a + alpha_lanes) + sl * a) >> 8;
      const BYTES16 mixed_bytes = __builtin_convertvector(mixed_lanes, BYTES16);
      QUAD mixed;
      memcpy(&mixed, &mixed_bytes, sizeof(mixed));
      const QUAD alpha = s >> 24;
      const QUAD out = alpha >= opaque_alpha_threshold ? s : (alpha == 0 ? d : mixed);
      image_draw::store_quad(to + i, out);
    }
  }
  for (; i < n; ++i) blend_colour(to + i, from + i, static_cast<uint8_t>(from[i] >> 24));
}

void alpha_mask_pixels(uint32_t* to, const uint32_t* from, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    to[i] = (to[i] & 0x00FFFFFFu) | ((from[i] >> 24) != 0 ? 0xFF000000u : 0u);
  }
}

void alpha_multiply_pixels(uint32_t* to, const uint32_t* from, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t d = to[i];
    const uint32_t alpha = (d >> 24) * (from[i] >> 24) / 255u;
    to[i] = (d & 0x00FFFFFFu) | (alpha << 24);
  }
}

using KERNEL = void (*)(uint32_t*, const uint32_t*, int32_t);

}  // namespace

void IMAGE::blit(const IMAGE* source, int16_t src_x, int16_t src_y, int16_t dst_x, int16_t dst_y,
                 int16_t w, int16_t h, uint8_t mode) {
  if (!valid || clip_is_empty() || !source || !source->pixels || !pixels || w < 1 || h < 1) return;

  // Clip once; the pixel loops below run over whole rows without checks.
  // The block lands where it overlaps the clip and where the source has
  // pixels under it (the source counted from its top-left pixel).
  const RECT block = RECT::sized(dst_x, dst_y, w, h)
                         .intersect(image_draw::clip_box(*this))
                         .intersect(RECT::sized(0, 0, source->width, source->height)
                                        .translated(dst_x - src_x, dst_y - src_y));
  if (block.empty()) return;
  add_dirty_rect(block);
  const int32_t dx = block.x1, dy = block.y1, bw = block.width(), bh = block.height();
  const int32_t sx = src_x + (dx - dst_x), sy = src_y + (dy - dst_y);

  const uint32_t* from = source->pixels + static_cast<size_t>(sy) * source->stride + sx;
  uint32_t* to = pixels + static_cast<size_t>(dy - y) * stride + (dx - x);
  const size_t from_stride = static_cast<size_t>(source->stride);
  const size_t to_stride = static_cast<size_t>(stride);

  // Within one image a block moved downwards is walked bottom-up, so that no
  // source row is overwritten before it is read; one moved right along the
  // same rows is walked right to left for the same reason.
  const bool same = source == this;
  const bool rows_up = same && (dy - y) > sy;
  const bool columns_back = same && (dy - y) == sy && (dx - x) > sx;

  if (mode == BLIT_COPY) {
    const size_t row_bytes = static_cast<size_t>(bw) * sizeof(uint32_t);
    if (!same) {
      for (int32_t row = 0; row < bh; ++row) {
        memcpy(to + row * to_stride, from + row * from_stride, row_bytes);
      }
    } else if (rows_up) {
      for (int32_t row = bh - 1; row >= 0; --row) {
        memmove(to + row * to_stride, from + row * from_stride, row_bytes);
      }
    } else {
      for (int32_t row = 0; row < bh; ++row) {
        memmove(to + row * to_stride, from + row * from_stride, row_bytes);
      }
    }
    return;
  }

  KERNEL kernel = mode == BLIT_ALPHA_MASK       ? alpha_mask_pixels
                  : mode == BLIT_ALPHA_MULTIPLY ? alpha_multiply_pixels
                                                : blend_pixels;
  if (columns_back) {
    for (int32_t row = 0; row < bh; ++row) {
      uint32_t* t = to + row * to_stride;
      const uint32_t* f = from + row * from_stride;
      for (int32_t i = bw - 1; i >= 0; --i) kernel(t + i, f + i, 1);
    }
  } else if (rows_up) {
    for (int32_t row = bh - 1; row >= 0; --row) {
      kernel(to + row * to_stride, from + row * from_stride, bw);
    }
  } else {
    for (int32_t row = 0; row < bh; ++row) {
      kernel(to + row * to_stride, from + row * from_stride, bw);
    }
  }
}

void IMAGE::blit_region(int16_t dst_x, int16_t dst_y, int16_t src_x, int16_t src_y, int16_t w,
                        int16_t h, IMAGE* target, uint8_t mode) const {
  if (!target) target = screen_image();
  if (!target || target == this) return;
  target->blit(this, src_x, src_y, dst_x, dst_y, w, h, mode);
}

void IMAGE::draw(int16_t dst_x, int16_t dst_y, IMAGE* target, uint8_t mode) const {
  if (!target) target = screen_image();
  if (!target || target == this) return;
  target->blit(this, 0, 0, dst_x, dst_y, width, height, mode);
}

void IMAGE::grab(int16_t src_x, int16_t src_y, const IMAGE* source, uint8_t mode) {
  if (!source) source = screen_image();
  if (!source) return;
  blit(source, src_x, src_y, x, y, width, height, mode);
}
