// The two pictures the program carries, in the array form that
// IMAGE::create_from_array reads. They are painted by the compiler from a
// few shapes, so the data needs no file and no start-up work.
#include <array>

#include "image.h"

namespace {

constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

constexpr uint32_t mix(uint32_t from, uint32_t to, int32_t step, int32_t steps) {
  step = step < 0 ? 0 : (step > steps ? steps : step);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int32_t a = static_cast<int32_t>((from >> shift) & 0xFF);
    int32_t b = static_cast<int32_t>((to >> shift) & 0xFF);
    out |= static_cast<uint32_t>(a + (b - a) * step / steps) << shift;
  }
  return out;
}

constexpr bool in_disc(int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t r) {
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// Inside the rectangle x1..x2, y1..y2 with corners rounded by radius r.
constexpr bool in_round_rect(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             int32_t r) {
  if (x < x1 || x > x2 || y < y1 || y > y2) return false;
  int32_t cx = x < x1 + r ? x1 + r : (x > x2 - r ? x2 - r : x);
  int32_t cy = y < y1 + r ? y1 + r : (y > y2 - r ? y2 - r : y);
  return in_disc(x, y, cx, cy, r);
}

template <int32_t W, int32_t H, class PAINTER>
constexpr std::array<uint8_t, 5 + 4 * W * H> make_array(PAINTER paint) {
  std::array<uint8_t, 5 + 4 * W * H> out{};
  out[0] = 1;
  out[1] = static_cast<uint8_t>(W >> 8);
  out[2] = static_cast<uint8_t>(W & 0xFF);
  out[3] = static_cast<uint8_t>(H >> 8);
  out[4] = static_cast<uint8_t>(H & 0xFF);
  size_t at = 5;
  for (int32_t y = 0; y < H; ++y) {
    for (int32_t x = 0; x < W; ++x) {
      uint32_t p = paint(x, y);
      out[at++] = static_cast<uint8_t>(p);        // blue
      out[at++] = static_cast<uint8_t>(p >> 8);   // green
      out[at++] = static_cast<uint8_t>(p >> 16);  // red
      out[at++] = static_cast<uint8_t>(p >> 24);  // alpha
    }
  }
  return out;
}

// A: a rounded badge with a shaded emblem on the left and three bars that
// stand for a name on the right.
constexpr uint32_t paint_a(int32_t x, int32_t y) {
  if (!in_round_rect(x, y, 1, 1, 193, 78, 14)) return COLOUR_INVISIBLE;
  if (!in_round_rect(x, y, 3, 3, 191, 76, 12)) return argb(255, 12, 34, 70);
  if (in_disc(x, y, 40, 40, 25)) {
    if (!in_disc(x, y, 40, 40, 22)) return argb(255, 250, 250, 245);
    if (in_disc(x, y, 33, 33, 7)) return argb(255, 255, 236, 170);
    return mix(argb(255, 250, 190, 50), argb(255, 215, 110, 20), y - 18, 44);
  }
  const int32_t bar_ends[3] = {176, 160, 138};
  for (int32_t k = 0; k < 3; ++k) {
    int32_t top = 22 + k * 14;
    if (y >= top && y < top + 7 && x >= 78 && x <= bar_ends[k]) return argb(235, 236, 242, 250);
  }
  return mix(argb(255, 40, 110, 180), argb(255, 18, 52, 112), y, 79);
}

// B: a round seal with a ring and a four-pointed star.
constexpr uint32_t paint_b(int32_t x, int32_t y) {
  constexpr int32_t cx = 40, cy = 37;
  if (!in_disc(x, y, cx, cy, 35)) return COLOUR_INVISIBLE;
  if (!in_disc(x, y, cx, cy, 32)) return argb(255, 20, 60, 110);
  if (!in_disc(x, y, cx, cy, 29)) return argb(255, 245, 245, 240);
  int32_t dx = x < cx ? cx - x : x - cx, dy = y < cy ? cy - y : y - cy;
  // A star: inside when the sum of the smaller offset scaled up and the
  // larger one stays within the arm length.
  int32_t small = dx < dy ? dx : dy, large = dx < dy ? dy : dx;
  if (small * 4 + large <= 22)
    return mix(argb(255, 255, 240, 150), argb(255, 240, 170, 40), large, 22);
  return mix(argb(255, 70, 140, 200), argb(255, 24, 70, 130), y - 8, 58);
}

constexpr auto kImageA = make_array<195, 80>(paint_a);
constexpr auto kImageB = make_array<80, 75>(paint_b);

}  // namespace

const uint8_t* get_builtin_image_array_a() { return kImageA.data(); }
const uint8_t* get_builtin_image_array_b() { return kImageB.data(); }

bool load_builtin_image_a(IMAGE& image) { return image.create_from_array(kImageA.data()); }
bool load_builtin_image_b(IMAGE& image) { return image.create_from_array(kImageB.data()); }
