// Curved shapes of IMAGE: quarter-circle arcs, rounded outlines, rounded
// fills with a colour, a gradient or darkening, and circles sampled 3 x 3
// per pixel.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "image.h"
#include "image_draw_support.h"

using image_draw::draw_thin_line;
using image_draw::drawable_area;
using image_draw::mark_dirty;
using image_draw::pixel_at;

namespace {

// floor(sqrt(v)) for v >= 0, exact for every integer the shapes use.
int64_t isqrt(int64_t v) {
  if (v <= 0) return 0;
  int64_t s = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
  while (s * s > v) --s;
  while ((s + 1) * (s + 1) <= v) ++s;
  return s;
}

// The quarter circle at corner point (px, py): for each of the r + 1
// columns, the row moves from the corner row towards the centre by
// r - trunc(sqrt(r^2 - i^2)), i being the column's offset from the centre
// column; neighbouring points are joined by blended lines.
void corner_arc(IMAGE& image, const RECT& area, int32_t px, int32_t py, int32_t r, uint8_t corner,
                uint32_t colour) {
  // The lowest flag present chooses the corner.
  const uint8_t flags = corner & IMAGE::ALL_CORNERS;
  if (flags == 0) return;
  const uint8_t chosen = flags & static_cast<uint8_t>(-flags);
  const bool on_left = chosen == IMAGE::CORNER_TOP_LEFT || chosen == IMAGE::CORNER_BOTTOM_LEFT;
  const bool on_top = chosen == IMAGE::CORNER_TOP_LEFT || chosen == IMAGE::CORNER_TOP_RIGHT;
  const int32_t left = on_left ? px : px - r;
  const int32_t centre_x = on_left ? px + r : px - r;
  const int32_t towards_centre = on_top ? 1 : -1;
  const int64_t rr = static_cast<int64_t>(r) * r;
  int32_t last_x = 0, last_y = 0;
  for (int32_t column = left; column <= left + r; ++column) {
    const int64_t i = column - centre_x;
    const int32_t depth = r - static_cast<int32_t>(isqrt(rr - i * i));
    const int32_t row = py + towards_centre * depth;
    if (column != left) draw_thin_line(image, area, last_x, last_y, column, row, colour, true);
    last_x = column;
    last_y = row;
  }
}

// Pixels at the start of a row of a rounded corner's r x r square that lie
// at distance r or more from the corner circle's centre; dy (1 .. r) is the
// row's distance from the centre row.
int32_t corner_inset(int32_t r, int32_t dy) {
  const int64_t limit = static_cast<int64_t>(r) * r - static_cast<int64_t>(dy) * dy;
  if (limit <= 0) return r;
  // Uncovered where dx^2 >= limit, dx counted r, r - 1, .. 1 from the edge.
  int64_t s = isqrt(limit);
  const int64_t first_uncovered = s * s == limit ? s : s + 1;
  return static_cast<int32_t>(r - first_uncovered + 1);
}

// The coverage mask of draw_circle: one byte per cell, three cells per pixel
// each way, shared by all calls (drawing runs on the UI thread only).
constexpr size_t MASK_CELLS = 3145728;
uint8_t circle_mask[MASK_CELLS];

// Brightness table of colour_darken for one percent (-100 .. 100).
void darken_table(uint32_t* table, int32_t percent) {
  for (uint32_t v = 0; v < 256; ++v) {
    table[v] = std::min<uint32_t>(255u, v * static_cast<uint32_t>(100 - percent) / 100u);
  }
}

inline uint32_t darken_with(const uint32_t* table, uint32_t p) {
  return (p & 0xFF000000u) | table[(p >> 16) & 0xFF] << 16 | table[(p >> 8) & 0xFF] << 8 |
         table[p & 0xFF];
}

}  // namespace

void IMAGE::draw_arc(int16_t px, int16_t py, int16_t radius, uint8_t corner, const COLOUR* colour) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  if (radius < 1 || (*colour >> 24) == 0) return;
  corner_arc(*this, area, px, py, radius, corner, *colour);
}

void IMAGE::draw_round_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                            uint16_t radius, uint8_t corners) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  const uint32_t c = *colour;
  if ((c >> 24) == 0) return;
  const RECT b = RECT::ordered(x1, y1, x2, y2);
  const int32_t r =
      radius == AUTO_RADIUS
          ? default_corner_radius(static_cast<int16_t>(b.x1), static_cast<int16_t>(b.y1),
                                  static_cast<int16_t>(b.x2), static_cast<int16_t>(b.y2))
          : radius;
  auto line = [&](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
    draw_thin_line(*this, area, ax, ay, bx, by, c, true);
  };
  line(b.x1 + r, b.y1, b.x2 - r, b.y1);
  line(b.x2, b.y1 + r, b.x2, b.y2 - r);
  line(b.x2 - r, b.y2, b.x1 + r, b.y2);
  line(b.x1, b.y2 - r, b.x1, b.y1 + r);

  // A rounded corner gets its arc, any other is closed square.
  auto arc = [&](int32_t px, int32_t py, uint8_t corner) {
    if (r >= 1) corner_arc(*this, area, px, py, r, corner, c);
  };
  if (corners & CORNER_TOP_LEFT) {
    arc(b.x1, b.y1, CORNER_TOP_LEFT);
  } else {
    line(b.x1, b.y1, b.x1 + r, b.y1);
    line(b.x1, b.y1, b.x1, b.y1 + r);
  }
  if (corners & CORNER_TOP_RIGHT) {
    arc(b.x2, b.y1, CORNER_TOP_RIGHT);
  } else {
    line(b.x2 - r, b.y1, b.x2, b.y1);
    line(b.x2, b.y1, b.x2, b.y1 + r);
  }
  if (corners & CORNER_BOTTOM_LEFT) {
    arc(b.x1, b.y2, CORNER_BOTTOM_LEFT);
  } else {
    line(b.x1, b.y2, b.x1 + r, b.y2);
    line(b.x1, b.y2 - r, b.x1, b.y2);
  }
  if (corners & CORNER_BOTTOM_RIGHT) {
    arc(b.x2, b.y2, CORNER_BOTTOM_RIGHT);
  } else {
    line(b.x2 - r, b.y2, b.x2, b.y2);
    line(b.x2, b.y2 - r, b.x2, b.y2);
  }
}

void IMAGE::fill_round_rect_gradient(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t radius,
                                     uint8_t corners, const COLOUR* a, const COLOUR* b,
                                     int8_t percent, uint8_t mode) {
  RECT area;
  if (!a || !drawable_area(*this, area)) return;
  if (mode > ROUND_FILL_DARKEN) return;
  if ((mode == ROUND_FILL_HORIZONTAL || mode == ROUND_FILL_VERTICAL) && !b) return;
  if (mode == ROUND_FILL_BLEND && (*a >> 24) == 0) return;
  if (mode == ROUND_FILL_DARKEN && (percent < -100 || percent > 100)) {
    // colour_darken refuses such a percent and leaves every pixel as it is.
    colour_darken_refused();
    return;
  }
  const RECT rect = RECT::ordered(x1, y1, x2, y2);
  // Radius 0 (given, or automatic on a bar under three pixels) fills with
  // square corners rather than leaving thin bars out.
  const int32_t r = radius == -1 ? default_corner_radius(
                                       static_cast<int16_t>(rect.x1), static_cast<int16_t>(rect.y1),
                                       static_cast<int16_t>(rect.x2), static_cast<int16_t>(rect.y2))
                                 : radius;
  if (r < 0) return;
  const RECT cut = rect.intersect(area);
  if (cut.empty()) return;
  mark_dirty(*this, rect);

  const uint32_t ca = *a;
  const uint32_t cb = b ? *b : 0;
  uint32_t table[256];
  if (mode == ROUND_FILL_DARKEN) darken_table(table, percent);
  uint32_t* columns = nullptr;
  if (mode == ROUND_FILL_HORIZONTAL) {
    const int32_t n = cut.width();
    columns = image_draw::column_buffer(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      columns[i] = image_draw::gradient_colour(ca, cb, cut.x1 + i - rect.x1, rect.x2 - rect.x1) |
                   0xFF000000u;
    }
  }

  for (int32_t py = cut.y1; py <= cut.y2; ++py) {
    int32_t left_inset = 0, right_inset = 0;
    if (r > 0 && py < rect.y1 + r) {
      const int32_t inset = corner_inset(r, rect.y1 + r - py);
      if (corners & CORNER_TOP_LEFT) left_inset = inset;
      if (corners & CORNER_TOP_RIGHT) right_inset = inset;
    }
    if (r > 0 && py > rect.y2 - r) {
      const int32_t inset = corner_inset(r, py - (rect.y2 - r));
      if (corners & CORNER_BOTTOM_LEFT) left_inset = std::max(left_inset, inset);
      if (corners & CORNER_BOTTOM_RIGHT) right_inset = std::max(right_inset, inset);
    }
    const int32_t from = std::max(rect.x1 + left_inset, cut.x1);
    const int32_t to = std::min(rect.x2 - right_inset, cut.x2);
    if (from > to) continue;
    const int32_t n = to - from + 1;
    uint32_t* row = pixel_at(*this, from, py);
    switch (mode) {
      case ROUND_FILL_BLEND:
        image_draw::paint_run(row, n, ca, true);
        break;
      case ROUND_FILL_HORIZONTAL:
        memcpy(row, columns + (from - cut.x1), static_cast<size_t>(n) * sizeof(uint32_t));
        break;
      case ROUND_FILL_VERTICAL:
        image_draw::fill_pixels(
            row, n,
            image_draw::gradient_colour(ca, cb, py - rect.y1, rect.y2 - rect.y1) | 0xFF000000u);
        break;
      default:
        for (int32_t i = 0; i < n; ++i) row[i] = darken_with(table, row[i]);
        break;
    }
  }
}

void IMAGE::draw_circle(int16_t cx, int16_t cy, int16_t radius, const COLOUR* colour,
                        int8_t percent, uint8_t kind, uint8_t ring_width, bool antialias) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  if (radius < 1 || kind > CIRCLE_SHADE) return;
  const uint32_t c = *colour;
  const bool darkens = kind == CIRCLE_SHADE && antialias;
  if (!darkens && (c >> 24) == 0) return;
  if (darkens && (percent < -100 || percent > 100)) {
    colour_darken_refused();
    return;
  }

  const int32_t outer = radius + ring_width / 2;
  const RECT box = RECT{cx, cy, cx, cy}.grown(outer);
  const RECT cut = box.intersect(area);
  if (cut.empty()) return;
  const int32_t side = 6 * outer + 3;
  mark_dirty(*this, cut);

  // The shape in cells: a midpoint circle of radius 3R about the middle
  // cell of the middle pixel, its points taken once.
  const int32_t centre = 3 * outer + 1;
  const int32_t cells = 3 * outer;
  std::vector<std::pair<int32_t, int32_t>> points;
  points.reserve(static_cast<size_t>(cells) + 1);
  for (int32_t u = 0, v = cells, error = 1 - cells; u <= v;) {
    points.emplace_back(u, v);
    ++u;
    if (error < 0) {
      error += 2 * u + 1;
    } else {
      --v;
      error += 2 * (u - v) + 1;
    }
  }
  // The cells are set one band of cell rows at a time: the whole mask when
  // it fits the shared buffer, else the three rows of each pixel row, so
  // that a circle of any size draws.
  const bool whole = static_cast<int64_t>(side) * side < static_cast<int64_t>(MASK_CELLS);
  std::vector<uint8_t> band_rows;
  if (!whole) band_rows.resize(3 * static_cast<size_t>(side));
  uint8_t* const mask = whole ? circle_mask : band_rows.data();
  // A ring of width 0 sets no cells, so it draws nothing.
  const int32_t run = 3 * ring_width;
  auto make_band = [&](int32_t first, int32_t count) {
    memset(mask, 0, static_cast<size_t>(count) * side);
    const int32_t last = first + count - 1;
    auto span = [&](int32_t row, int32_t from, int32_t to) {
      if (row >= first && row <= last && from <= to)
        memset(mask + static_cast<size_t>(row - first) * side + from, 1, static_cast<size_t>(to - from + 1));
    };
    for (const auto& [u, v] : points) {
      if (kind != CIRCLE_RING) {
        span(centre + v, centre - u, centre + u);
        span(centre - v, centre - u, centre + u);
        span(centre + u, centre - v, centre + v);
        span(centre - u, centre - v, centre + v);
        continue;
      }
      // A ring: from each circle point a run towards the centre along the
      // octant's major axis, never past the centre.
      const int32_t low = v - std::min(run, v + 1) + 1;
      if (low > v) continue;
      for (const int32_t sign : {1, -1}) {
        const int32_t a = sign > 0 ? centre + low : centre - v;
        const int32_t b = sign > 0 ? centre + v : centre - low;
        for (int32_t row = std::max(a, first); row <= std::min(b, last); ++row) {
          span(row, centre + u, centre + u);
          span(row, centre - u, centre - u);
        }
        span(centre + sign * u, centre + low, centre + v);
        span(centre + sign * u, centre - v, centre - low);
      }
    }
  };
  if (whole) make_band(0, side);

  uint32_t table[256];
  if (darkens) darken_table(table, percent);
  const uint32_t alpha = c >> 24;
  for (int32_t py = cut.y1; py <= cut.y2; ++py) {
    const int32_t cell_row = 3 * (py - box.y1);
    if (!whole) make_band(cell_row, 3);
    const uint8_t* cells_row = mask + static_cast<size_t>(whole ? cell_row : 0) * side;
    uint32_t* row = pixel_at(*this, cut.x1, py);
    for (int32_t px = cut.x1; px <= cut.x2; ++px, ++row) {
      const uint8_t* m = cells_row + 3 * (px - box.x1);
      const uint32_t n = m[0] + m[1] + m[2] + m[side] + m[side + 1] + m[side + 2] + m[2 * side] +
                         m[2 * side + 1] + m[2 * side + 2];
      if (n == 0) continue;
      if (!antialias) {
        if (kind == CIRCLE_SHADE) {
          if (n >= 4) image_draw::blend_one(row, c);
        } else {
          image_draw::blend_one(row, c);
          if (n >= 4) image_draw::blend_one(row, c);
        }
      } else if (!darkens) {
        const uint32_t share = n == 9 ? alpha : n * alpha / 9;
        image_draw::blend_one(row, (c & 0x00FFFFFFu) | share << 24);
      } else if (n == 9) {
        *row = darken_with(table, *row);
      } else {
        // Edge pixels: opaque, the darkened colour weighted by coverage.
        const uint32_t p = *row;
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
          const uint32_t ch = (p >> shift) & 0xFF;
          out |= ((table[ch] * n + ch * (9 - n)) / 9) << shift;
        }
        *row = out;
      }
    }
  }
}
