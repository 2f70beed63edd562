#pragma once
// RECT is the rectangle of pixels the drawing code and the toolkit above it
// share: clip and dirty areas, hit tests, invalidation. Corners are
// inclusive; they are 32-bit so that sums and grown rectangles of the
// 16-bit image coordinates never wrap.
#include <algorithm>
#include <cstdint>

struct RECT {
  // (x1, y1) top-left and (x2, y2) bottom-right, both inside the rectangle.
  // Empty when x1 > x2 or y1 > y2; the default is empty.
  int32_t x1 = 0;
  int32_t y1 = 0;
  int32_t x2 = -1;
  int32_t y2 = -1;

  // The rectangle with the two corners given in any order.
  static constexpr RECT ordered(int32_t ax, int32_t ay, int32_t bx, int32_t by) {
    return {std::min(ax, bx), std::min(ay, by), std::max(ax, bx), std::max(ay, by)};
  }
  // w x h pixels from (x, y); empty when w or h is below 1.
  static constexpr RECT sized(int32_t x, int32_t y, int32_t w, int32_t h) {
    return {x, y, x + w - 1, y + h - 1};
  }

  constexpr bool empty() const { return x1 > x2 || y1 > y2; }
  constexpr int32_t width() const { return empty() ? 0 : x2 - x1 + 1; }
  constexpr int32_t height() const { return empty() ? 0 : y2 - y1 + 1; }

  constexpr bool contains(int32_t px, int32_t py) const {
    return px >= x1 && px <= x2 && py >= y1 && py <= y2;
  }
  // Every pixel of r lies in this rectangle; false when either is empty.
  constexpr bool contains(const RECT& r) const {
    return !r.empty() && !empty() && r.x1 >= x1 && r.x2 <= x2 && r.y1 >= y1 && r.y2 <= y2;
  }

  // The pixels in both; the default (empty) rectangle when there are none.
  constexpr RECT intersect(const RECT& r) const {
    const RECT both = {std::max(x1, r.x1), std::max(y1, r.y1), std::min(x2, r.x2),
                       std::min(y2, r.y2)};
    return both.empty() ? RECT{} : both;
  }
  // The smallest rectangle holding both; an empty one adds nothing.
  constexpr RECT unite(const RECT& r) const {
    if (r.empty()) return *this;
    if (empty()) return r;
    return {std::min(x1, r.x1), std::min(y1, r.y1), std::max(x2, r.x2), std::max(y2, r.y2)};
  }

  constexpr RECT translated(int32_t dx, int32_t dy) const {
    return {x1 + dx, y1 + dy, x2 + dx, y2 + dy};
  }
  // Larger by n pixels on every side (smaller for a negative n).
  constexpr RECT grown(int32_t n) const { return {x1 - n, y1 - n, x2 + n, y2 + n}; }

  constexpr bool operator==(const RECT&) const = default;
};

// A 32-bit coordinate or size held to the 16-bit range the images address.
constexpr int16_t to_i16(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}
