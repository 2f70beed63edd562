// Fills, gradients, outlines, lines, darkening and the whole-area colour
// operations of IMAGE. Each clips once and then works on whole rows.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image.h"
#include "image_draw_support.h"

using image_draw::drawable_area;
using image_draw::gradient_colour;
using image_draw::mark_dirty;
using image_draw::paint_run;
using image_draw::pixel_at;

namespace {

void paint_point(IMAGE& image, const RECT& area, int32_t px, int32_t py, uint32_t colour,
                 bool blend) {
  if (!area.contains(px, py)) return;
  paint_run(pixel_at(image, px, py), 1, colour, blend);
}

void paint_column(IMAGE& image, int32_t px, int32_t y1, int32_t y2, uint32_t colour, bool blend) {
  if (y1 > y2) return;
  uint32_t* p = pixel_at(image, px, y1);
  const size_t stride = static_cast<size_t>(image.stride);
  for (int32_t py = y1; py <= y2; ++py, p += stride) paint_run(p, 1, colour, blend);
}

}  // namespace

namespace image_draw {

uint32_t* column_buffer(size_t count) {
  static std::vector<uint32_t> buffer;
  if (buffer.size() < count) buffer.resize(count);
  return buffer.data();
}

void draw_thin_line(IMAGE& image, const RECT& area, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    uint32_t colour, bool blend) {
  const int32_t dx = std::abs(x2 - x1);
  const int32_t dy = std::abs(y2 - y1);
  const bool x_major = dx >= dy;
  if (x_major ? x2 < x1 : y2 < y1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const RECT bounds = RECT::ordered(x1, y1, x2, y2);
  mark_dirty(image, bounds);

  // Straight lines are runs: the same points as the stepping below, without
  // a test per point.
  if (dx == 0 || dy == 0) {
    const RECT cut = bounds.intersect(area);
    if (cut.empty()) return;
    if (dy == 0) {
      paint_run(pixel_at(image, cut.x1, cut.y1), cut.width(), colour, blend);
    } else {
      paint_column(image, cut.x1, cut.y1, cut.y2, colour, blend);
    }
    return;
  }

  // Integer error sum: the minor coordinate steps once the sum reaches the
  // major length.
  int32_t e = 0;
  if (x_major) {
    const int32_t step = y2 < y1 ? -1 : 1;
    int32_t py = y1;
    for (int32_t px = x1; px <= x2; ++px) {
      if (e >= dx) {
        e -= dx;
        py += step;
      }
      paint_point(image, area, px, py, colour, blend);
      e += dy;
    }
  } else {
    const int32_t step = x2 < x1 ? -1 : 1;
    int32_t px = x1;
    for (int32_t py = y1; py <= y2; ++py) {
      if (e >= dy) {
        e -= dy;
        px += step;
      }
      paint_point(image, area, px, py, colour, blend);
      e += dx;
    }
  }
}

void draw_thin_outline(IMAGE& image, const RECT& area, const RECT& rect, uint32_t colour,
                       uint8_t sides) {
  const RECT cut = rect.intersect(area);
  if (cut.empty()) return;
  // A side whose edge lies outside the clip is not drawn.
  if (rect.x1 < area.x1) sides &= static_cast<uint8_t>(~IMAGE::SIDE_LEFT);
  if (rect.x2 > area.x2) sides &= static_cast<uint8_t>(~IMAGE::SIDE_RIGHT);
  if (rect.y1 < area.y1) sides &= static_cast<uint8_t>(~IMAGE::SIDE_TOP);
  if (rect.y2 > area.y2) sides &= static_cast<uint8_t>(~IMAGE::SIDE_BOTTOM);
  mark_dirty(image, cut);

  // The corners belong to the columns; the rows keep their own pixels up to
  // the clip edge even where a column was cut away.
  const int32_t from = std::max(rect.x1 + 1, area.x1);
  const int32_t to = std::min(rect.x2 - 1, area.x2);
  if (from <= to) {
    if (sides & IMAGE::SIDE_TOP)
      paint_run(pixel_at(image, from, rect.y1), to - from + 1, colour, true);
    if (sides & IMAGE::SIDE_BOTTOM)
      paint_run(pixel_at(image, from, rect.y2), to - from + 1, colour, true);
  }
  if (sides & IMAGE::SIDE_LEFT) paint_column(image, rect.x1, cut.y1, cut.y2, colour, true);
  if (sides & IMAGE::SIDE_RIGHT) paint_column(image, rect.x2, cut.y1, cut.y2, colour, true);
}

}  // namespace image_draw

// ---------------------------------------------------------------------------
// Fills

void IMAGE::blend_pixel(int16_t px, int16_t py, const COLOUR* colour) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  if (!area.contains(px, py)) return;
  image_draw::blend_one(pixel_at(*this, px, py), *colour);
  add_dirty_rect(px, py, px, py);
}

void IMAGE::fill_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                      bool blend) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  const uint32_t c = *colour;
  if (blend && (c >> 24) == 0) return;
  const RECT cut = RECT::ordered(x1, y1, x2, y2).intersect(area);
  if (cut.empty()) return;
  mark_dirty(*this, cut);

  const int32_t n = cut.width();
  uint32_t* row = pixel_at(*this, cut.x1, cut.y1);
  for (int32_t py = cut.y1; py <= cut.y2; ++py, row += stride) paint_run(row, n, c, blend);
}

void IMAGE::fill_rect_solid(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour) {
  fill_rect(x1, y1, x2, y2, colour, false);
}

void IMAGE::clear(const COLOUR* colour, bool whole_image) {
  if (!whole_image) {
    if (clip_is_empty()) return;
    fill_rect(clip_x1, clip_y1, clip_x2, clip_y2, colour, false);
    return;
  }
  if (!pixels || width < 1 || height < 1) return;
  const int16_t saved[4] = {clip_x1, clip_y1, clip_x2, clip_y2};
  set_whole_clip();
  fill_rect(clip_x1, clip_y1, clip_x2, clip_y2, colour, false);
  clip_x1 = saved[0];
  clip_y1 = saved[1];
  clip_x2 = saved[2];
  clip_y2 = saved[3];
}

void IMAGE::fill_gradient_v(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* a,
                            const COLOUR* b, bool blend) {
  RECT area;
  if (!a || !b || !drawable_area(*this, area)) return;
  const RECT rect = RECT::ordered(x1, y1, x2, y2);
  const RECT cut = rect.intersect(area);
  if (cut.empty()) return;
  mark_dirty(*this, cut);

  // A row's colour follows its place in the uncut rectangle.
  const int32_t span = rect.y2 - rect.y1;
  const int32_t n = cut.width();
  uint32_t* row = pixel_at(*this, cut.x1, cut.y1);
  for (int32_t py = cut.y1; py <= cut.y2; ++py, row += stride) {
    paint_run(row, n, gradient_colour(*a, *b, py - rect.y1, span), blend);
  }
}

void IMAGE::fill_gradient_h(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* a,
                            const COLOUR* b, bool blend) {
  RECT area;
  if (!a || !b || !drawable_area(*this, area)) return;
  const RECT rect = RECT::ordered(x1, y1, x2, y2);
  const RECT cut = rect.intersect(area);
  if (cut.empty()) return;
  mark_dirty(*this, cut);

  const int32_t span = rect.x2 - rect.x1;
  const int32_t n = cut.width();
  uint32_t* colours = image_draw::column_buffer(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) colours[i] = gradient_colour(*a, *b, cut.x1 + i - rect.x1, span);

  uint32_t* row = pixel_at(*this, cut.x1, cut.y1);
  const size_t row_bytes = static_cast<size_t>(n) * sizeof(uint32_t);
  for (int32_t py = cut.y1; py <= cut.y2; ++py, row += stride) {
    if (!blend) {
      memcpy(row, colours, row_bytes);
    } else {
      for (int32_t i = 0; i < n; ++i) image_draw::blend_one(row + i, colours[i]);
    }
  }
}

// ---------------------------------------------------------------------------
// Outlines and lines

void IMAGE::draw_xor_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  const uint32_t c = *colour;
  // Alpha 0 is an unset colour: nothing to draw.
  if ((c >> 24) == 0) return;
  const RECT rect = RECT::ordered(x1, y1, x2, y2);
  const RECT cut = rect.intersect(area);
  if (cut.empty()) return;
  mark_dirty(*this, cut);

  // Rows over the full cut width and columns over the full cut height: the
  // corners are flipped twice, so they keep their colour but become opaque.
  const int32_t n = cut.width();
  auto flip_row = [&](int32_t py) {
    uint32_t* p = pixel_at(*this, cut.x1, py);
    for (int32_t i = 0; i < n; ++i) p[i] = (p[i] ^ c) | 0xFF000000u;
  };
  auto flip_column = [&](int32_t px) {
    uint32_t* p = pixel_at(*this, px, cut.y1);
    for (int32_t py = cut.y1; py <= cut.y2; ++py, p += stride) *p = (*p ^ c) | 0xFF000000u;
  };
  if (rect.y1 >= area.y1) flip_row(rect.y1);
  if (rect.y2 <= area.y2) flip_row(rect.y2);
  if (rect.x1 >= area.x1) flip_column(rect.x1);
  if (rect.x2 <= area.x2) flip_column(rect.x2);
}

void IMAGE::draw_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                      uint16_t line_width, uint8_t sides) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  const uint32_t c = *colour;
  if ((c >> 24) == 0) return;
  const RECT rect = RECT::ordered(x1, y1, x2, y2);
  if (line_width < 2) {
    image_draw::draw_thin_outline(*this, area, rect, c, sides);
    return;
  }
  // Outline k of width w lies on the rectangle grown by w / 2 - k.
  const int32_t half = line_width / 2;
  for (int32_t k = 0; k < line_width; ++k) {
    const int32_t grow = half - k;
    image_draw::draw_thin_outline(
        *this, area, RECT::ordered(rect.x1 - grow, rect.y1 - grow, rect.x2 + grow, rect.y2 + grow),
        c, sides);
  }
}

void IMAGE::draw_line(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                      uint16_t line_width, bool blend) {
  RECT area;
  if (!colour || !drawable_area(*this, area)) return;
  const uint32_t c = *colour;
  if ((c >> 24) == 0) return;
  if (line_width < 2) {
    image_draw::draw_thin_line(*this, area, x1, y1, x2, y2, c, blend);
    return;
  }
  // Parallel one-pixel lines, offset across the major direction.
  const int32_t half = line_width / 2;
  const bool x_major = std::abs(x2 - x1) >= std::abs(y2 - y1);
  for (int32_t k = 0; k < line_width; ++k) {
    const int32_t shift = k - half;
    if (x_major) {
      image_draw::draw_thin_line(*this, area, x1, y1 + shift, x2, y2 + shift, c, blend);
    } else {
      image_draw::draw_thin_line(*this, area, x1 + shift, y1, x2 + shift, y2, c, blend);
    }
  }
}

// ---------------------------------------------------------------------------
// Darkening and whole-area colour operations

void IMAGE::darken_rect(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t percent) {
  RECT area;
  if (!drawable_area(*this, area)) return;
  if (percent < 1) return;
  if (percent > 100) percent = 100;
  const RECT cut = RECT::ordered(x1, y1, x2, y2).intersect(area);
  if (cut.empty()) return;
  mark_dirty(*this, cut);

  uint32_t scaled[256];
  for (uint32_t v = 0; v < 256; ++v) scaled[v] = v * static_cast<uint32_t>(100 - percent) / 100u;
  const int32_t n = cut.width();
  uint32_t* row = pixel_at(*this, cut.x1, cut.y1);
  for (int32_t py = cut.y1; py <= cut.y2; ++py, row += stride) {
    for (int32_t i = 0; i < n; ++i) {
      const uint32_t p = row[i];
      row[i] = (p & 0xFF000000u) | scaled[(p >> 16) & 0xFF] << 16 | scaled[(p >> 8) & 0xFF] << 8 |
               scaled[p & 0xFF];
    }
  }
}

namespace {

// Runs op on every pixel of the clip rectangle and marks it dirty; an image
// without pixels or with an empty clip is left alone.
template <typename OP>
void for_each_clipped_pixel(IMAGE& image, OP op) {
  RECT area;
  if (!image_draw::whole_area(image, area)) return;
  mark_dirty(image, area);
  const int32_t n = area.width();
  uint32_t* row = pixel_at(image, area.x1, area.y1);
  for (int32_t py = area.y1; py <= area.y2; ++py, row += image.stride) {
    for (int32_t i = 0; i < n; ++i) row[i] = op(row[i]);
  }
}

}  // namespace

void IMAGE::recolour3(const COLOUR* c1, const COLOUR* c2, const COLOUR* c3, bool multiply_alpha) {
  if (!c1 || !c2 || !c3) return;
  for_each_clipped_pixel(*this, [&](uint32_t p) {
    COLOUR mixed = p;
    colour_mix3(&mixed, c1, c2, c3);
    if (multiply_alpha) {
      mixed = (mixed & 0x00FFFFFFu) | ((mixed >> 24) * (p >> 24) / 255u) << 24;
    }
    return mixed;
  });
}

void IMAGE::replace_colour(const COLOUR* from, const COLOUR* to, bool rgb_only) {
  if (!from || !to) return;
  const uint32_t f = *from;
  const uint32_t t = *to;
  if (!rgb_only) {
    for_each_clipped_pixel(*this, [f, t](uint32_t p) { return p == f ? t : p; });
    return;
  }
  for_each_clipped_pixel(*this, [f, t](uint32_t p) {
    return ((p ^ f) & 0x00FFFFFFu) == 0 ? (p & 0xFF000000u) | (t & 0x00FFFFFFu) : p;
  });
}

void IMAGE::set_alpha(uint8_t a, bool scaled, bool only_visible) {
  const uint32_t alpha = a;
  if (scaled) {
    for_each_clipped_pixel(*this, [alpha](uint32_t p) {
      return (p & 0x00FFFFFFu) | ((p >> 24) * alpha / 255u) << 24;
    });
  } else if (only_visible) {
    for_each_clipped_pixel(*this, [alpha](uint32_t p) {
      return (p >> 24) != 0 ? (p & 0x00FFFFFFu) | alpha << 24 : p;
    });
  } else {
    for_each_clipped_pixel(*this, [alpha](uint32_t p) { return (p & 0x00FFFFFFu) | alpha << 24; });
  }
}

void IMAGE::make_grey() {
  for_each_clipped_pixel(*this, [](uint32_t p) {
    const uint32_t grey =
        (30u * ((p >> 16) & 0xFF) + 59u * ((p >> 8) & 0xFF) + 11u * (p & 0xFF)) / 100u;
    return (p & 0xFF000000u) | grey * 0x010101u;
  });
}

void IMAGE::tint(const COLOUR* colour) {
  if (!colour) return;
  for_each_clipped_pixel(*this, [colour](uint32_t p) {
    COLOUR tinted = p;
    colour_tint(&tinted, colour);
    return tinted;
  });
}

int16_t IMAGE::default_corner_radius(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  const RECT rect = RECT::ordered(x1, y1, x2, y2);
  return static_cast<int16_t>(std::min(rect.width() / 3, rect.height() / 3));
}
