#include "wm_football_pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int64_t WM_FOOTBALL_PITCH::grass_seed = -1;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr COLOUR RING_ON = 0xFFFFFFFF;
constexpr COLOUR RING_OFF = 0xFFFF0000;
constexpr COLOUR SHADOW_COLOUR = 0xFF000000;

int16_t i16(int32_t v) { return to_i16(v); }

int32_t non_negative_mod(int32_t a, int32_t n) {
  const int32_t r = a % n;
  return r < 0 ? r + n : r;
}

// Pixels whose distance from (cx, cy) lies in (r_in, r_out], inside limit;
// r_in below 0 gives a disc. Drawn row by row, so that rings far larger
// than IMAGE::draw_circle allows (centre circles, mowing rings) work.
void paint_ring(IMAGE& image, int32_t cx, int32_t cy, double r_out, double r_in, COLOUR colour,
                const RECT& limit, bool blend) {
  if (r_out < 0.5 || (colour >> 24) == 0) return;
  const RECT box =
      RECT{static_cast<int32_t>(std::floor(cx - r_out)),
           static_cast<int32_t>(std::floor(cy - r_out)),
           static_cast<int32_t>(std::ceil(cx + r_out)), static_cast<int32_t>(std::ceil(cy + r_out))}
          .intersect(limit)
          .intersect(image.clip_rect());
  if (box.empty()) return;
  const double out2 = r_out * r_out;
  const double in2 = r_in >= 0 ? r_in * r_in : -1.0;
  for (int32_t py = box.y1; py <= box.y2; ++py) {
    const double dy = py - cy;
    const double rest_out = out2 - dy * dy;
    if (rest_out < 0) continue;
    const auto half_out = static_cast<int32_t>(std::floor(std::sqrt(rest_out)));
    int32_t half_in = -1;
    if (in2 >= 0 && in2 - dy * dy >= 0) {
      const double rest_in = in2 - dy * dy;
      half_in = static_cast<int32_t>(std::floor(std::sqrt(rest_in)));
      // A pixel exactly on the inner radius belongs to the hole.
      if (static_cast<double>(half_in) * half_in == rest_in) --half_in;
    }
    auto span = [&](int32_t a, int32_t b) {
      a = std::max(a, box.x1);
      b = std::min(b, box.x2);
      if (a > b) return;
      image.fill_rect(i16(a), i16(py), i16(b), i16(py), &colour, blend);
    };
    if (half_in < 0) {
      span(cx - half_out, cx + half_out);
    } else {
      span(cx - half_out, cx - half_in - 1);
      span(cx + half_in + 1, cx + half_out);
    }
  }
}

// A ring of the given line width centred on radius r.
void paint_circle_line(IMAGE& image, int32_t cx, int32_t cy, double r, int32_t lw, COLOUR c,
                       const RECT& limit) {
  if (r < 1) return;
  const double out = r + lw / 2;
  paint_ring(image, cx, cy, out, out - lw, c, limit, true);
}

const RECT EVERYWHERE{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};

struct PALETTE {
  int32_t p[7];
  int32_t offset;
};
constexpr PALETTE PALETTE_A{{30, 47, 31, 84, 24, 33, 0}, 0};
constexpr PALETTE PALETTE_B{{43, 35, 20, 47, 35, 33, 25}, 0};
constexpr PALETTE PALETTE_16{{118, 80, 20, 77, 35, 75, 35}, 0};
constexpr PALETTE PALETTE_32{{102, 41, 29, 55, 43, 31, 0}, 0};

PALETTE with_offset(PALETTE p, int32_t o) {
  p.offset = o;
  return p;
}

// The ground bits decide palette and stripe strength in one order; `b_draw`
// is the random draw that lets bit 4 act as bit 2.
enum class GROUND { A2, B1, A1, A2_BY_8, P16, P32, PLAIN };
GROUND ground_of(uint8_t bits, bool b_draw) {
  if (bits & 1) return GROUND::A2;
  if ((bits & 2) || ((bits & 4) && b_draw)) return (bits & 8) ? GROUND::A1 : GROUND::B1;
  if (bits & 8) return GROUND::A2_BY_8;
  if (bits & 16) return GROUND::P16;
  if (bits & 32) return GROUND::P32;
  return GROUND::PLAIN;
}

PALETTE palette_of(GROUND g) {
  switch (g) {
    case GROUND::A2:
    case GROUND::A2_BY_8: return with_offset(PALETTE_A, 2);
    case GROUND::B1: return with_offset(PALETTE_B, 1);
    case GROUND::A1: return with_offset(PALETTE_A, 1);
    case GROUND::P16: return PALETTE_16;
    case GROUND::P32: return PALETTE_32;
    case GROUND::PLAIN: break;
  }
  return with_offset(PALETTE_A, 5);
}

uint8_t stripe_alpha_of(GROUND g) {
  switch (g) {
    case GROUND::A2:
    case GROUND::A2_BY_8: return 0x12;
    case GROUND::B1:
    case GROUND::A1: return 0x13;
    case GROUND::P16:
    case GROUND::P32: return 0x14;
    case GROUND::PLAIN: break;
  }
  return 0x0F;
}

int8_t font_of(const WM_PITCH_SETTINGS& s) { return static_cast<int8_t>(s.font); }
int16_t size_of(uint16_t v) { return v == 65535 ? int16_t{-1} : static_cast<int16_t>(v); }
int32_t font_height_of(const WM_PITCH_SETTINGS& s, const IMAGE* surface) {
  return s.font_y_size == 65535 ? surface->font_height : s.font_y_size;
}

}  // namespace

void WM_FOOTBALL_PITCH::set_grass_seed(int64_t seed) { grass_seed = seed; }

WM_FOOTBALL_PITCH::WM_FOOTBALL_PITCH() : WM_SCREEN_OBJECT(true, nullptr, 0, 0) {}

WM_FOOTBALL_PITCH::WM_FOOTBALL_PITCH(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                     const WM_PITCH_SETTINGS* pitch_settings, uint8_t option,
                                     int16_t per_team)
    : WM_SCREEN_OBJECT(true, nullptr, 0, 0) {
  init(x1, y1, x2, y2, pitch_settings, option, per_team);
  notify_created();
}

WM_FOOTBALL_PITCH::~WM_FOOTBALL_PITCH() = default;

void WM_FOOTBALL_PITCH::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                             const WM_PITCH_SETTINGS* pitch_settings, uint8_t option,
                             int16_t per_team) {
  x = std::min(x1, x2);
  y = std::min(y1, y2);
  width = static_cast<uint16_t>(std::min<int32_t>(std::abs(x2 - x1) + 1, IMAGE_MAX_SIZE));
  height = static_cast<uint16_t>(std::min<int32_t>(std::abs(y2 - y1) + 1, IMAGE_MAX_SIZE));
  settings = pitch_settings ? *pitch_settings : WM_PITCH_SETTINGS{};
  markings_option = option;
  ball = BALL{};
  origin_x = origin_y = 0;
  if (settings.flags & pitch_flag::PORTRAIT) portrait = 1;
  else if (settings.flags & pitch_flag::LANDSCAPE) portrait = 0;
  else portrait = height > width ? 1 : 0;
  players_per_team = std::max<int16_t>(per_team, 0);
  for (auto& team : teams) {
    team.assign(static_cast<size_t>(players_per_team), WM_PITCH_PLAYER{});
    for (int16_t i = 0; i < players_per_team; ++i) team[static_cast<size_t>(i)].number = i16(i + 1);
  }
  team_boxes[0] = team_boxes[1] = RECT{};
  fit();
  surface.create(static_cast<int16_t>(width), static_cast<int16_t>(height));
  if (grass_seed >= 0) random.seed(static_cast<uint32_t>(grass_seed));
  else random.seed_from_time();
  const bool b_draw = random.get_range(0, 10) >= 6;
  ground = static_cast<uint8_t>(ground_of(settings.ground, b_draw));
  draw_surface();
  if (has_pitch()) {
    draw_stripes();
    draw_markings();
  }
  make_ball_images();
  make_player_markers();
}

void WM_FOOTBALL_PITCH::fit() {
  const int32_t along = settings.length + 2 * settings.margin;
  const int32_t across = settings.width + 2 * settings.margin;
  pitch_ok = along > 0 && across > 0 ? 1 : 0;
  pitch_w = pitch_h = 0;
  scale = 0.0;
  area_x = area_y = 0;
  if (!pitch_ok) return;
  const int32_t w = width, h = height;
  // Across the widget the pitch shows its width in landscape, its length
  // upright.
  const int32_t wide = portrait ? across : along, high = portrait ? along : across;
  pitch_w = w;
  pitch_h = w * high / wide;
  if (pitch_h > h) {
    pitch_h = h;
    pitch_w = wide * h / high;
  }
  scale = static_cast<double>(pitch_w) / wide;
  if (settings.flags & pitch_flag::ALIGN_LEFT) area_x = 0;
  else if (settings.flags & pitch_flag::ALIGN_RIGHT) area_x = w - pitch_w;
  else area_x = (w - pitch_w) / 2;
  if (settings.flags & pitch_flag::ALIGN_TOP) area_y = 0;
  else if (settings.flags & pitch_flag::ALIGN_BOTTOM) area_y = h - pitch_h;
  else area_y = (h - pitch_h) / 2;
}

int32_t WM_FOOTBALL_PITCH::units(double u) const {
  return static_cast<int32_t>(std::trunc(u * scale));
}

WM_FOOTBALL_PITCH::FRAME WM_FOOTBALL_PITCH::frame() const {
  const double ms = settings.margin * scale;
  FRAME f{};
  f.left = area_x + units(settings.margin);
  f.top = area_y + units(settings.margin);
  f.right = area_x + static_cast<int32_t>(std::trunc(pitch_w - ms - 1));
  f.bottom = area_y + static_cast<int32_t>(std::trunc(pitch_h - ms - 1));
  f.cx = f.left + (f.right + 1 - f.left) / 2;
  f.cy = f.top + (f.bottom + 1 - f.top) / 2;
  return f;
}

POINT16 WM_FOOTBALL_PITCH::to_screen(int32_t px, int32_t py) const {
  auto t = [this](int64_t v) { return static_cast<int32_t>(std::trunc(v * scale / 10)); };
  if (portrait) return {t(py) + origin_x, t(10 * int64_t{settings.length} - px) + origin_y};
  return {t(px) + origin_x, t(py) + origin_y};
}

POINT16 WM_FOOTBALL_PITCH::landmark(int32_t point) const {
  const FRAME f = frame();
  const int32_t u22 = units(22), u18 = units(18), u10 = units(10), u6 = units(6), u12 = units(12);
  // (along, across) offsets from one goal line, as landscape shows them.
  struct LANDSCAPE {
    int32_t x, y;
  };
  const LANDSCAPE land[13] = {
      {f.left, f.top},           {f.right, f.bottom},        {f.cx, f.cy},
      {f.left, f.cy - u22},      {f.left + u18, f.cy + u22}, {f.left, f.cy - u10},
      {f.left + u6, f.cy + u10}, {f.left + u12, f.cy},       {f.right - u18, f.cy - u22},
      {f.right, f.cy + u22},     {f.right - u6, f.cy - u10}, {f.right, f.cy + u10},
      {f.right - u12, f.cy}};
  const LANDSCAPE upright[13] = {
      {f.left, f.top},          {f.right, f.bottom},         {f.cx, f.cy},
      {f.cx - u22, f.top},      {f.cx + u22, f.top + u18},   {f.cx - u10, f.top},
      {f.cx + u10, f.top + u6}, {f.cx, f.top + u12},         {f.cx - u22, f.bottom - u18},
      {f.cx + u22, f.bottom},   {f.cx - u10, f.bottom - u6}, {f.cx + u10, f.bottom},
      {f.cx, f.bottom - u12}};
  if (point < 1 || point > 13) return {-1, -1};
  const LANDSCAPE& p = portrait ? upright[point - 1] : land[point - 1];
  return {p.x, p.y};
}

// ---- The surface: grass, stripes, markings ----------------------------------

void WM_FOOTBALL_PITCH::draw_surface() { draw_grass(); }

void WM_FOOTBALL_PITCH::draw_grass() {
  if (!surface.pixels) return;
  const PALETTE pal = palette_of(static_cast<GROUND>(ground));
  const int32_t base = pal.p[0] + pal.offset;
  const RECT clip = surface.clip_rect();
  for (int32_t py = clip.y1; py <= clip.y2; ++py) {
    uint32_t* row = surface.pixels + static_cast<size_t>(py - surface.y) * surface.stride;
    for (int32_t px = clip.x1; px <= clip.x2; ++px) {
      const int32_t r = std::min(255, base + pal.p[1] + random.get_range(0, pal.p[2]));
      const int32_t g = std::min(255, base + pal.p[3] + random.get_range(0, pal.p[4]));
      const int32_t b = std::min(255, base + pal.p[5] + random.get_range(0, pal.p[6]));
      row[px - surface.x] = 0xFF000000u | static_cast<uint32_t>(r << 16 | g << 8 | b);
    }
  }
  surface.add_dirty_rect(surface.clip_rect());
}

uint8_t WM_FOOTBALL_PITCH::stripe_alpha() { return stripe_alpha_of(static_cast<GROUND>(ground)); }

void WM_FOOTBALL_PITCH::draw_stripes() {
  const COLOUR colour = static_cast<COLOUR>(stripe_alpha()) << 24;
  const int32_t w = surface.width, h = surface.height;
  // Seventeen bands; the remainder widens the first and the last.
  auto bands = [&](int32_t n, bool rows) {
    const int32_t band = n / 17, rest = n % 17;
    int32_t at = 0;
    for (int32_t k = 0; k < 17; ++k) {
      int32_t size = band;
      if (k == 0) size += rest - rest / 2;
      if (k == 16) size += rest / 2;
      if (k % 2 == 0 && size > 0) {
        if (rows) surface.fill_rect(0, i16(at), i16(w - 1), i16(at + size - 1), &colour, true);
        else surface.fill_rect(i16(at), 0, i16(at + size - 1), i16(h - 1), &colour, true);
      }
      at += size;
    }
  };
  const uint8_t bits = settings.stripes;
  const bool rows = portrait ? (bits & 2) : (bits & 1);
  const bool columns = portrait ? (bits & 1) : (bits & 2);
  if (rows) bands(h, true);
  if (columns) bands(w, false);
  if (!(bits & 4)) return;
  IMAGE work(static_cast<int16_t>(w), static_cast<int16_t>(h));
  if (!work.pixels) return;
  work.clear(&RING_OFF, true);
  const int32_t d = std::max(w, h);
  for (int32_t k = 17; k >= 0; --k) {
    const int32_t r = d * k / 17 - d / 34;
    if (r > 2 * d / 3 || r < 1) continue;
    paint_ring(work, w / 2, h / 2, r, -1, k % 2 == 0 ? RING_ON : RING_OFF, EVERYWHERE, false);
  }
  const COLOUR none = COLOUR_INVISIBLE;
  work.replace_colour(&RING_OFF, &none, false);
  work.replace_colour(&RING_ON, &colour, false);
  work.draw(0, 0, &surface, BLIT_BLEND);
}

void WM_FOOTBALL_PITCH::draw_markings() {
  const FRAME f = frame();
  origin_x = i16(f.left);
  origin_y = i16(f.top);
  COLOUR line = (settings.ground & 16) ? settings.line_colour_ground_16 : settings.line_colour;
  if (settings.ground & 1) {
    line = (line & 0x00FFFFFFu) | (((line >> 24) * 2 / 3) << 24);
  }
  const int32_t lw =
      std::max(1, static_cast<int32_t>(std::trunc(settings.line_width * scale / 10)));
  const auto ulw = static_cast<uint16_t>(lw);
  IMAGE& s = surface;

  // Along runs from goal line to goal line, across from touchline to
  // touchline; upright pitches swap the screen axes.
  const int32_t a0 = portrait ? f.top : f.left, a1 = portrait ? f.bottom : f.right;
  const int32_t c0 = portrait ? f.left : f.top, c1 = portrait ? f.right : f.bottom;
  const int32_t ca = portrait ? f.cy : f.cx, cc = portrait ? f.cx : f.cy;
  auto at = [&](int32_t a, int32_t c) { return portrait ? POINT16{c, a} : POINT16{a, c}; };
  auto line_ac = [&](int32_t aa, int32_t ac, int32_t ba, int32_t bc, const COLOUR& colour,
                     uint16_t width_px) {
    const POINT16 p = at(aa, ac), q = at(ba, bc);
    s.draw_line(i16(p.x), i16(p.y), i16(q.x), i16(q.y), &colour, width_px, true);
  };
  // The part of the screen on one side of an along position.
  auto beyond = [&](int32_t a, int32_t dir) {
    RECT r = EVERYWHERE;
    if (portrait) (dir > 0 ? r.y1 : r.y2) = a;
    else (dir > 0 ? r.x1 : r.x2) = a;
    return r;
  };
  auto disc = [&](int32_t a, int32_t c, int32_t r) {
    const POINT16 p = at(a, c);
    paint_ring(s, p.x, p.y, r, -1, line, EVERYWHERE, true);
  };

  s.draw_rect(i16(f.left), i16(f.top), i16(f.right), i16(f.bottom), &line, ulw, IMAGE::ALL_SIDES);
  const bool small = settings.small_sided != 0;
  if (!small || settings.small_sided_centre) {
    line_ac(ca, c0, ca, c1, line, ulw);
    disc(ca, cc, lw);
    if (lw % 2 == 0) disc(ca - 1, cc, lw);
    const POINT16 centre = at(ca, cc);
    paint_circle_line(s, centre.x, centre.y, units(small ? 5 : 10), lw, line, EVERYWHERE);
  }
  if (markings_option) {
    const COLOUR third = settings.third_line_colour;
    for (int32_t k = 1; k <= 2; ++k) {
      const int32_t a = a0 + k * (a1 - a0) / 3;
      line_ac(a, c0, a, c1, third, 1);
    }
  }
  // Each end: dir points from the goal line into the pitch.
  for (const int32_t dir : {1, -1}) {
    const int32_t goal = dir > 0 ? a0 : a1;
    auto box = [&](int32_t depth, int32_t half) {
      const int32_t inner = goal + dir * units(depth);
      const int32_t lo = cc + lw / 2 - units(half), hi = cc + lw / 2 + units(half);
      line_ac(goal, lo, inner, lo, line, ulw);
      line_ac(goal, hi, inner, hi, line, ulw);
      line_ac(inner, lo, inner, hi, line, ulw);
    };
    if (!small) {
      box(6, 10);
      box(18, 22);
      const int32_t spot = goal + dir * units(12);
      disc(spot, cc, lw);
      const POINT16 p = at(spot, cc);
      paint_circle_line(s, p.x, p.y, units(10), lw, line,
                        beyond(goal + dir * units(18) + dir, dir));
    } else {
      disc(goal + dir * units(8), cc, lw);
      const POINT16 p = at(goal, cc);
      paint_circle_line(s, p.x, p.y, units(settings.arc_radius), lw, line, beyond(ca, -dir));
    }
    if (settings.goal_depth != 0) {
      const int32_t near = goal - dir * (lw / 2 + 1);
      const int32_t far = goal - dir * (lw / 2 + units(settings.goal_depth));
      const int32_t half = units(settings.goal_width) / 2;
      const POINT16 p = at(near, cc - half), q = at(far, cc + half);
      s.fill_rect(i16(p.x), i16(p.y), i16(q.x), i16(q.y), &line, true);
    }
  }
  // Corner arcs: only the quarter inside the pitch.
  const RECT inside{f.left, f.top, f.right, f.bottom};
  for (const int32_t cx : {f.left, f.right}) {
    for (const int32_t cy : {f.top, f.bottom}) {
      paint_circle_line(s, cx, cy, units(1), lw, line, inside);
    }
  }
}

// ---- Images of the ball and the markers -------------------------------------

int32_t WM_FOOTBALL_PITCH::frame_size(const IMAGE& strip, int32_t frames) {
  return strip.width > 0 ? strip.width / std::max(frames, 1) : 0;
}

void WM_FOOTBALL_PITCH::make_ball_images() { make_default_ball(); }

void WM_FOOTBALL_PITCH::make_default_ball() {
  ball_images.clear();
  ball_frames = 1;
  ball_size = std::max<int32_t>(settings.ball_size, 0);
  auto image = std::make_unique<IMAGE>(i16(ball_size), i16(ball_size));
  if (image->pixels) {
    const COLOUR none = COLOUR_INVISIBLE;
    image->clear(&none, true);
    image->draw_circle(i16(ball_size / 2), i16(ball_size / 2), i16(ball_size / 2 - 1),
                       &settings.ball_colour, 0, IMAGE::CIRCLE_DISC, 0, true);
  }
  ball_images.push_back(std::move(image));
}

void WM_FOOTBALL_PITCH::make_player_markers() { make_default_markers(); }

void WM_FOOTBALL_PITCH::make_default_markers() {
  marker_frames = 1;
  marker_size = std::max<int32_t>(settings.marker_size, 0);
  const int32_t size = marker_size, centre = size / 2;
  const COLOUR none = COLOUR_INVISIBLE;
  for (int k = 0; k < 4; ++k) {
    IMAGE& m = markers[k];
    m.create(i16(size), i16(size));
    if (!m.pixels) continue;
    m.clear(&none, true);
    const COLOUR* c = settings.marker_colours[k];
    m.draw_circle(i16(centre), i16(centre), i16(centre - 1), &c[0], 0, IMAGE::CIRCLE_DISC, 0, true);
    m.draw_circle(i16(centre), i16(centre), i16(centre - 2), &c[2], 0, IMAGE::CIRCLE_RING, 2, true);
  }
}

void WM_FOOTBALL_PITCH::make_numbered_marker(int32_t kind, IMAGE* image, int32_t index) const {
  if (!image || kind < 0 || kind > 3 || index < -1 || index >= players_per_team) return;
  const IMAGE& strip = markers[kind];
  const int32_t f = frame_size(strip, marker_frames);
  image->create(i16(f), i16(f));
  if (!image->pixels) return;
  image->blit(&strip, 0, 0, 0, 0, i16(f), i16(f), BLIT_COPY);
  if (index < 0) return;
  char text[8];
  std::snprintf(text, sizeof text, "%d", index + 1);
  const int32_t tw = image->get_text_width(settings.font, settings.font_x_size,
                                           size_of(settings.font_y_size), text);
  const int32_t th = font_height_of(settings, image);
  image->draw_text(i16((f - tw) / 2), i16((f - th) / 2), &settings.marker_colours[kind][1], nullptr,
                   nullptr, font_of(settings), size_of(settings.font_x_size),
                   size_of(settings.font_y_size), text);
}

void WM_FOOTBALL_PITCH::copy_ball_frame(IMAGE* image) const {
  if (!image || ball_images.empty()) return;
  const IMAGE& strip = *ball_images.front();
  const int32_t f = frame_size(strip, ball_frames);
  image->create(i16(f), i16(f));
  if (image->pixels) image->blit(&strip, 0, 0, 0, 0, i16(f), i16(f), BLIT_COPY);
}

// ---- Players and ball ---------------------------------------------------------

WM_PITCH_PLAYER* WM_FOOTBALL_PITCH::player(int32_t team, int32_t index) {
  if (team < 0 || team > 1 || index < 0 || index >= players_per_team) return nullptr;
  return &teams[team][static_cast<size_t>(index)];
}

const WM_PITCH_PLAYER* WM_FOOTBALL_PITCH::player(int32_t team, int32_t index) const {
  return const_cast<WM_FOOTBALL_PITCH*>(this)->player(team, index);
}

RECT WM_FOOTBALL_PITCH::marker_rect(const WM_PITCH_PLAYER& p) const {
  const int32_t s = marker_size;
  const RECT square = RECT::sized(p.x - s / 2 - 1, p.y - s / 2 - 1, s + 2, s + 2);
  IMAGE* surface = drawing_surface();
  if (!surface) return square;
  // The shirt number may be wider or taller than the marker.
  char text[8];
  return square.unite(number_box(p, surface, text));
}

RECT WM_FOOTBALL_PITCH::number_box(const WM_PITCH_PLAYER& p, IMAGE* s, char (&text)[8]) const {
  if (p.number < 0) return RECT{};
  std::snprintf(text, sizeof text, "%d", p.number);
  const int32_t tw = s->get_text_width(settings.font, settings.font_x_size,
                                       size_of(settings.font_y_size), text);
  const int32_t th = font_height_of(settings, s);
  return RECT::sized(p.x - tw / 2, p.y - th / 2, tw, th);
}

void WM_FOOTBALL_PITCH::invalidate_local(const RECT& r) {
  if (r.empty()) return;
  invalidate_rect(x + r.x1, y + r.y1, x + r.x2, y + r.y2);
}

void WM_FOOTBALL_PITCH::set_player(int32_t team, int32_t index, int32_t px, int32_t py,
                                   uint16_t direction, bool alternate, uint32_t duration_ms) {
  WM_PITCH_PLAYER* p = player(team, index);
  if (!p || !has_pitch()) return;
  const RECT before = box_with_labels(team);
  if (p->placed()) invalidate_local(marker_rect(*p));
  const int32_t reach = 10 * (settings.margin + settings.goal_depth);
  const bool accepted = px >= -reach && px <= 10 * settings.length + reach - 1 && py >= -reach &&
                        py <= 10 * settings.width + reach - 1;
  p->alternate = alternate ? 1 : 0;
  p->duration = 0;
  if (!accepted) {
    p->x = p->y = WM_PITCH_PLAYER::NOT_PLACED;
  } else {
    if (portrait) p->direction = std::min<uint16_t>(direction, 359);
    else if (direction >= 359) p->direction = 89;
    else
      p->direction = static_cast<uint16_t>(direction + 90 > 359 ? direction - 270 : direction + 90);
    const POINT16 to = to_screen(px, py);
    if (duration_ms > 0 && p->placed()) {
      p->start_x = p->x;
      p->start_y = p->y;
      p->target_x = i16(to.x);
      p->target_y = i16(to.y);
      p->duration = duration_ms;
      p->start_time = frame_clock;
    } else {
      p->x = i16(to.x);
      p->y = i16(to.y);
      invalidate_local(marker_rect(*p));
    }
  }
  layout_team_box(team);
  invalidate_local(before);
  invalidate_local(box_with_labels(team));
}

POINT16 WM_FOOTBALL_PITCH::get_player_position(int32_t team, int32_t index, bool target) const {
  const WM_PITCH_PLAYER* p = player(team, index);
  if (!p || !p->placed()) return {-1, -1};
  if (target && p->duration) return {p->target_x, p->target_y};
  return {p->x, p->y};
}

void WM_FOOTBALL_PITCH::set_player_state(int32_t team, int32_t index, uint8_t opacity) {
  WM_PITCH_PLAYER* p = player(team, index);
  if (!p || p->opacity == opacity) return;
  p->opacity = opacity;
  if (p->placed()) invalidate_local(marker_rect(*p));
}

int32_t WM_FOOTBALL_PITCH::get_player_state(int32_t team, int32_t index) const {
  const WM_PITCH_PLAYER* p = player(team, index);
  return p ? p->opacity : -1;
}

void WM_FOOTBALL_PITCH::layout_team_box(int32_t team) {
  RECT box;
  for (const WM_PITCH_PLAYER& p : teams[team]) {
    if (!p.placed() || p.alternate) continue;
    const int32_t s = marker_size;
    box = box.unite(RECT::sized(p.x - s / 2, p.y - s / 2, s, s));
  }
  team_boxes[team] = box;
}

// The box, its outline and its size labels, as drawn.
RECT WM_FOOTBALL_PITCH::box_with_labels(int32_t team) const {
  const uint16_t flag = team == 0 ? pitch_flag::TEAM_0_BOX : pitch_flag::TEAM_1_BOX;
  const RECT box = team_boxes[team];
  if (!(settings.flags & flag) || box.empty()) return RECT{};
  if (!(settings.flags & pitch_flag::BOX_SIZES)) return box.grown(1);
  const IMAGE* s = drawing_surface();
  const int32_t th = s ? font_height_of(settings, s) : 0;
  // Labels may be wider than the box: their width is at most a few
  // characters of the pitch font.
  const int32_t half = std::max(box.width() / 2, 8 * std::max<int32_t>(th, 1));
  const int32_t mid = (box.x1 + box.x2) / 2;
  return box.unite(RECT{mid - half, box.y1 - 2 * th - 2, mid + half, box.y1}).grown(1);
}

// No shadow without a maximum height.
int32_t WM_FOOTBALL_PITCH::shadow_offset_at(int32_t ball_height) const {
  const int32_t top = settings.max_ball_height;
  if (top <= 0) return 0;
  return std::clamp<int32_t>(ball_height, 0, top) * settings.shadow_offset / top;
}

const IMAGE* WM_FOOTBALL_PITCH::ball_strip_at(int32_t ball_height) const {
  if (ball_images.empty()) return nullptr;
  const int32_t top = settings.max_ball_height;
  const int32_t h = top > 0 ? std::clamp<int32_t>(ball_height, 0, top) : 0;
  const auto count = static_cast<int32_t>(ball_images.size());
  const int32_t index = top > 0 ? std::min(count * h / top, count - 1) : 0;
  return ball_images[static_cast<size_t>(index)].get();
}

RECT WM_FOOTBALL_PITCH::shadow_rect(int32_t bx, int32_t by, int32_t ball_height) const {
  const IMAGE* strip = ball_strip_at(ball_height);
  const int32_t r = strip ? frame_size(*strip, std::max(ball_frames, 1)) / 2 : 0;
  // Centred on the frame's top-left corner moved by the offset.
  const int32_t o = shadow_offset_at(ball_height), radius = r * 5 / 6;
  return RECT{bx - r + o, by - r + o, bx - r + o, by - r + o}.grown(radius + 1);
}

RECT WM_FOOTBALL_PITCH::ball_rect(int32_t bx, int32_t by, int32_t ball_height) const {
  const int32_t b = ball_size;
  const RECT square = RECT::sized(bx - b / 2 - 1, by - b / 2 - 1, b + 2, b + 2);
  return square.unite(shadow_rect(bx, by, ball_height));
}

void WM_FOOTBALL_PITCH::set_ball(int32_t px, int32_t py, int32_t ball_height,
                                 uint32_t duration_ms) {
  if (!has_pitch()) return;
  if (ball.placed()) invalidate_local(ball_rect(ball.x, ball.y, ball.height));
  const int32_t g = settings.goal_depth, m = settings.margin;
  const bool accepted = px >= -10 * g && px < 10 * (settings.length + g) && py >= -10 * m &&
                        py < 10 * (settings.width + m);
  ball.duration = 0;
  if (!accepted) {
    ball.x = ball.y = WM_PITCH_PLAYER::NOT_PLACED;
    return;
  }
  const POINT16 to = to_screen(px, py);
  if (duration_ms > 0 && ball.placed()) {
    ball.start_x = ball.x;
    ball.start_y = ball.y;
    ball.start_height = ball.height;
    ball.target_x = i16(to.x);
    ball.target_y = i16(to.y);
    ball.target_height = i16(ball_height);
    ball.duration = duration_ms;
    ball.start_time = frame_clock;
    return;
  }
  ball.x = i16(to.x);
  ball.y = i16(to.y);
  ball.height = i16(ball_height);
  invalidate_local(ball_rect(ball.x, ball.y, ball.height));
}

POINT16 WM_FOOTBALL_PITCH::get_ball_position(bool target) const {
  if (!ball.placed()) return {65535, 65535};
  if (target && ball.duration) return {ball.target_x, ball.target_y};
  return {ball.x, ball.y};
}

void WM_FOOTBALL_PITCH::set_ball_alpha(uint8_t a) {
  if (a == ball.alpha) return;
  ball.alpha = a;
  if (ball.placed()) invalidate_local(ball_rect(ball.x, ball.y, ball.height));
}

namespace {

// start + (target - start) x elapsed / duration, without 32-bit overflow.
int16_t glide(int16_t start, int16_t target, uint32_t elapsed, uint32_t duration) {
  const int64_t step = (int64_t{target} - start) * int64_t{elapsed} / int64_t{duration};
  return static_cast<int16_t>(start + step);
}

}  // namespace

int32_t WM_FOOTBALL_PITCH::update(bool overlays) {
  const int32_t result = WM_SCREEN_OBJECT::update(overlays);
  const uint32_t now = frame_clock;
  for (int32_t team = 0; team < 2; ++team) {
    bool moved = false;
    RECT before;
    for (WM_PITCH_PLAYER& p : teams[team]) {
      if (!p.duration || !p.placed()) continue;
      const uint32_t elapsed = now - p.start_time;
      int16_t nx = p.target_x, ny = p.target_y;
      if (elapsed < p.duration) {
        nx = glide(p.start_x, p.target_x, elapsed, p.duration);
        ny = glide(p.start_y, p.target_y, elapsed, p.duration);
      } else {
        p.duration = 0;
      }
      if (nx == p.x && ny == p.y) continue;
      if (!moved) before = box_with_labels(team);
      moved = true;
      invalidate_local(marker_rect(p));
      p.x = nx;
      p.y = ny;
      invalidate_local(marker_rect(p));
    }
    if (moved) {
      layout_team_box(team);
      invalidate_local(before);
      invalidate_local(box_with_labels(team));
    }
  }
  if (ball.duration && ball.placed()) {
    const uint32_t elapsed = now - ball.start_time;
    BALL next = ball;
    if (elapsed < ball.duration) {
      next.x = glide(ball.start_x, ball.target_x, elapsed, ball.duration);
      next.y = glide(ball.start_y, ball.target_y, elapsed, ball.duration);
      next.height = glide(ball.start_height, ball.target_height, elapsed, ball.duration);
    } else {
      next.x = ball.target_x;
      next.y = ball.target_y;
      next.height = ball.target_height;
      next.duration = 0;
    }
    if (next.x != ball.x || next.y != ball.y || next.height != ball.height) {
      invalidate_local(ball_rect(ball.x, ball.y, ball.height));
      invalidate_local(ball_rect(next.x, next.y, next.height));
    }
    ball = next;
  }
  return result;
}

// ---- Drawing --------------------------------------------------------------------

void WM_FOOTBALL_PITCH::draw() {
  IMAGE* s = drawing_surface();
  if (!s || !surface.pixels) return;
  surface.draw(x, y, s, BLIT_COPY);
  if (!has_pitch()) return;
  draw_players(s);
  draw_ball(s);
}

void WM_FOOTBALL_PITCH::save_under(IMAGE& under, IMAGE* s, int32_t x1, int32_t y1, int32_t size) {
  under.create(i16(size), i16(size));
  if (!under.pixels) return;
  const COLOUR none = COLOUR_INVISIBLE;
  under.clear(&none, true);
  under.grab(i16(x1), i16(y1), s, BLIT_COPY);
}

void WM_FOOTBALL_PITCH::restore_under(IMAGE& under, IMAGE* s, int32_t x1, int32_t y1,
                                      uint8_t opacity) {
  if (!under.pixels) return;
  under.set_alpha(static_cast<uint8_t>(255 - opacity), false, true);
  under.draw(i16(x1), i16(y1), s, BLIT_BLEND);
}

void WM_FOOTBALL_PITCH::draw_players(IMAGE* s) {
  const int32_t size = marker_size;
  const int8_t font = font_of(settings);
  const int16_t fw = size_of(settings.font_x_size), fh = size_of(settings.font_y_size);
  char text[8];
  for (int32_t team = 0; team < 2; ++team) {
    for (const WM_PITCH_PLAYER& p : teams[team]) {
      if (!p.placed()) continue;
      const int32_t kind = team + (p.alternate ? 2 : 0);
      const IMAGE& strip = markers[kind];
      const int32_t px = x + p.x, py = y + p.y;
      const int32_t left = px - size / 2, top = py - size / 2;
      const bool translucent = p.opacity != 255;
      if (translucent) save_under(under_marker, s, left, top, size);
      const int32_t frames = std::max(marker_frames, 1);
      const int32_t column = frames * p.direction / 360;
      if (strip.pixels) {
        s->blit(&strip, i16(column * size), 0, i16(left), i16(top), i16(size), i16(size),
                BLIT_BLEND);
      }
      const COLOUR& inner = settings.marker_colours[kind][1];
      if (const RECT box = number_box(p, s, text); !box.empty()) {
        s->draw_text(i16(x + box.x1), i16(y + box.y1), &inner, nullptr, nullptr, font, fw, fh,
                     text);
      }
      if (settings.flags & pitch_flag::DIRECTIONS) {
        const double d = p.direction * PI / 180.0;
        const auto dx = static_cast<int32_t>(std::trunc(std::cos(d) * size / 2));
        const auto dy = static_cast<int32_t>(std::trunc(std::sin(d) * size / 2));
        s->draw_line(i16(px), i16(py), i16(px + dx), i16(py - dy), &inner, 2, true);
      }
      if (translucent) restore_under(under_marker, s, left, top, p.opacity);
    }
    draw_team_box(s, team);
  }
}

void WM_FOOTBALL_PITCH::draw_team_box(IMAGE* s, int32_t team) {
  const uint16_t flag = team == 0 ? pitch_flag::TEAM_0_BOX : pitch_flag::TEAM_1_BOX;
  const RECT box = team_boxes[team].translated(x, y);
  if (!(settings.flags & flag) || box.empty()) return;
  const COLOUR& colour = settings.marker_colours[team][0];
  s->draw_rect(i16(box.x1), i16(box.y1), i16(box.x2), i16(box.y2), &colour, 1, IMAGE::ALL_SIDES);
  if (!(settings.flags & pitch_flag::BOX_SIZES) || scale <= 0) return;
  const int16_t fw = size_of(settings.font_x_size), fh = size_of(settings.font_y_size);
  const int32_t th = font_height_of(settings, s);
  char lines[2][40];
  std::snprintf(lines[0], sizeof lines[0], "Width: %2.1lf", box.width() / scale);
  std::snprintf(lines[1], sizeof lines[1], "Height: %2.1lf", box.height() / scale);
  const int32_t mid = (box.x1 + box.x2) / 2;
  for (int i = 0; i < 2; ++i) {
    const int32_t tw = s->get_text_width(settings.font, settings.font_x_size, fh, lines[i]);
    s->draw_text(i16(mid - tw / 2), i16(box.y1 - (2 - i) * th - 1), &colour, &settings.text_colour,
                 nullptr, font_of(settings), fw, fh, lines[i]);
  }
}

void WM_FOOTBALL_PITCH::draw_ball(IMAGE* s) {
  if (!ball.placed() || ball_images.empty()) return;
  const int32_t bx = x + ball.x, by = y + ball.y;
  const IMAGE& strip = *ball_strip_at(ball.height);
  const int32_t frames = std::max(ball_frames, 1);
  const int32_t f = frame_size(strip, frames), r = f / 2;
  if (f < 1) return;
  const bool translucent = ball.alpha < 255;
  const int32_t left = bx - ball_size / 2, upper = by - ball_size / 2;
  if (translucent) save_under(under_ball, s, left, upper, ball_size);
  const int32_t o = shadow_offset();
  const int32_t shadow_alpha =
      ball.alpha * std::clamp<int32_t>(settings.shadow_alpha, 0, 255) / 255;
  if (f / 6 < o && shadow_alpha > 0) {
    const COLOUR shade = (SHADOW_COLOUR & 0x00FFFFFFu) | static_cast<COLOUR>(shadow_alpha) << 24;
    // At the frame's top-left corner moved by the offset, as shadow_rect.
    s->draw_circle(i16(bx - r + o), i16(by - r + o), i16(r * 5 / 6), &shade, 0, IMAGE::CIRCLE_DISC,
                   0, true);
  }
  const int32_t roll = std::max<int32_t>(settings.roll_step, 1);
  const int32_t travel = portrait ? by : bx;
  const int32_t column = frames - 1 - non_negative_mod(travel / roll, frames);
  s->blit(&strip, i16(column * f), 0, i16(bx - r), i16(by - r), i16(f), i16(f), BLIT_BLEND);
  if (translucent) restore_under(under_ball, s, left, upper, ball.alpha);
}
