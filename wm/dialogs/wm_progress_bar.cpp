// Progress bars: layout of title, bar frame and fill in 64-bit arithmetic
// that never leaves the frame, the scrolling full-frame overlays, and the
// once-a-second platform frame for work that blocks the main loop.
#include "wm_progress_bar.h"

#include <algorithm>
#include <cstdio>

#include "errors.h"
#include "folder.h"
#include "image.h"
#include "platform.h"
#include "screen.h"
#include "timing.h"
#include "window.h"

namespace {

constexpr uint16_t ERROR_BAD_DIMENSIONS = 0x110;

bool is_set(COLOUR c) { return (c >> 24) != 0; }
int16_t i16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

PLATFORM_FRAME_FUNCTION platform_frame = platform_update;

IMAGE* bar_surface() {
  IMAGE* s = WM_SCREEN_OBJECT::drawing_surface();
  return s ? s : get_screen_image();
}

int32_t widest(const SKIN_FRAME& f) {
  int32_t w = 0;
  for (const IMAGE* p : {f.colay, f.solay, f.tolay})
    if (p) w = std::max<int32_t>(w, p->width);
  return w;
}

int32_t tallest(const SKIN_FRAME& f) {
  int32_t h = 0;
  for (const IMAGE* p : {f.colay, f.solay, f.tolay})
    if (p) h = std::max<int32_t>(h, p->height);
  return h;
}

int32_t width_of(const IMAGE* p) { return p ? p->width : 0; }
int32_t height_of(const IMAGE* p) { return p ? p->height : 0; }

int32_t min_width(const SKIN_FRAME& f) {
  return width_of(f.mid_left) + width_of(f.mid_mid) + width_of(f.mid_right);
}

int32_t min_height(const SKIN_FRAME& f) {
  return height_of(f.mid_mid) + height_of(f.top_mid) + height_of(f.bottom_mid);
}

std::string percent(int64_t p) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lld%%", static_cast<long long>(p));
  return buffer;
}

}  // namespace

int64_t WM_PROGRESS_BAR::last_poll_second = -1;

void WM_PROGRESS_BAR::set_platform_frame(PLATFORM_FRAME_FUNCTION frame) {
  platform_frame = frame ? frame : platform_update;
}

uint8_t WM_PROGRESS_BAR::flags_of(const WM_STYLE_SET& s) {
  uint8_t f = 0;
  if (!(s.drawing_flags & SSF_DRAW_BORDER)) f |= progress_flag::NO_OUTER_BORDER;
  if (s.drawing_flags & SSF_DONT_RESIZE_IMAGE) f |= progress_flag::DONT_RESIZE_IMAGES;
  if (s.extended_flags & SSEF_PB_ONLY_DRAW_BAR) f |= progress_flag::ONLY_BAR;
  if (s.extended_flags & SSEF_PB_VERTICAL) f |= progress_flag::VERTICAL;
  if (s.extended_flags & SSEF_PB_NO_SHADING) f |= progress_flag::NO_SHADING;
  if (s.extended_flags & SSEF_PB_POSITION_TEXT_ON_BAR) f |= progress_flag::TEXT_ON_BAR;
  if (s.extended_flags & SSEF_PB_DRAW_ALT_PERCENTAGE) f |= progress_flag::ALT_PERCENTAGE;
  return f;
}

WM_PROGRESS_BAR::WM_PROGRESS_BAR(int16_t bx, int16_t by, uint16_t w, uint16_t h,
                                 const char* new_title, int32_t new_total,
                                 const WM_STYLE_SET* style)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, nullptr, 0, 0),
      background_frame(&wm_image_cache()),
      empty_frame(&wm_image_cache()),
      full_frame(&wm_image_cache()),
      alt_frame(&wm_image_cache()) {
  const WM_STYLE_SET defaults;
  const WM_STYLE_SET& s = style ? *style : defaults;
  border_style = s.shading_type;
  init(bx, by, w, h, new_title, new_total, &s.bg_colour, &s.fg_colour, &s.highlight_colour,
       flags_of(s), s.font_id, s.font_x_sz, s.font_y_sz, s.border_left_gap, s.border_right_gap,
       s.border_top_gap, s.border_bottom_gap);
  text_colour = s.highlight_text_colour;
  if (s.image_filename) set_skin(s.image_path, s.image_filename, &s);
  if (is_set(s.border_colour)) border_colour = s.border_colour;
}

WM_PROGRESS_BAR::WM_PROGRESS_BAR(int16_t bx, int16_t by, uint16_t w, uint16_t h,
                                 const char* new_title, int32_t new_total,
                                 const COLOUR* background, const COLOUR* foreground,
                                 const COLOUR* bar, uint8_t flags, uint8_t new_font,
                                 uint16_t font_w, uint16_t font_h, uint16_t left, uint16_t right,
                                 uint16_t top, uint16_t bottom)
    : WM_SCREEN_OBJECT(true, nullptr, 0, 0),
      background_frame(&wm_image_cache()),
      empty_frame(&wm_image_cache()),
      full_frame(&wm_image_cache()),
      alt_frame(&wm_image_cache()) {
  init(bx, by, w, h, new_title, new_total, background, foreground, bar, flags, new_font, font_w,
       font_h, left, right, top, bottom);
}

WM_PROGRESS_BAR::~WM_PROGRESS_BAR() = default;

void WM_PROGRESS_BAR::init(int16_t bx, int16_t by, uint16_t w, uint16_t h, const char* new_title,
                           int32_t new_total, const COLOUR* background, const COLOUR* foreground,
                           const COLOUR* bar, uint8_t flags, uint8_t new_font, uint16_t font_w,
                           uint16_t font_h, uint16_t left, uint16_t right, uint16_t top,
                           uint16_t bottom) {
  const uint16_t unset = WM_STYLE_SET::UNSET;
  IMAGE* surface = bar_surface();
  font = new_font == 255 && surface ? static_cast<uint8_t>(surface->font) : new_font;
  font_width = font_w == unset && surface ? static_cast<uint16_t>(surface->font_width) : font_w;
  font_height = font_h == unset && surface ? surface->font_height : font_h;
  const uint16_t half_font = static_cast<uint16_t>(font_width / 2);
  const uint16_t vertical_gap = h >= font_height ? static_cast<uint16_t>((h - font_height) / 2) : 0;
  left_gap = left == unset ? half_font : left;
  right_gap = right == unset ? half_font : right;
  top_gap = top == unset ? vertical_gap : top;
  bottom_gap = bottom == unset ? vertical_gap : bottom;

  x = bx;
  y = by;
  width = w;
  height = h;
  total = new_total;
  value = 0;
  has_text = false;
  text.clear();
  bg_colour = background ? *background : COLOUR_INVISIBLE;
  fg_colour = foreground ? *foreground : COLOUR_INVISIBLE;
  bar_colour = bar ? *bar : COLOUR_INVISIBLE;
  text_colour = alt_text_colour = fg_colour;
  empty_colour = COLOUR_INVISIBLE;
  bar_flags = flags;

  last_x_step = last_y_step = get_time_ms();
  animation_x_rate = animation_y_rate = 0;
  animation_update_rate = 300;
  bar_border_style = 6;

  // A bar is never clipped by its screen: one that does not fit is a
  // programming error, reported before anything draws it.
  const uint16_t screen = screen_of_point(x, y);
  const int64_t sx = int64_t{x} - screen_origin_x(screen);
  const int64_t sy = int64_t{y} - screen_origin_y(screen);
  if (x < 0 || y < 0 || sx + width > get_screen_width(screen) ||
      sy + height > get_screen_height(screen)) {
    report_error(ERROR_BAD_DIMENSIONS);
  }

  has_title = new_title && !(bar_flags & progress_flag::VERTICAL);
  title = has_title ? new_title : "";
  kind |= wm_kind::PROGRESS_BAR;
  notify_created();
}

bool WM_PROGRESS_BAR::set_skin(const char* folder, const char* base_name,
                               const WM_STYLE_SET* style) {
  if (style && style->is_loaded()) {
    SKIN_FRAME* frames[] = {&background_frame, &empty_frame, &full_frame};
    const STYLE_IMAGE slots[] = {STYLE_IMAGE_BG, STYLE_IMAGE_EMPTY, STYLE_IMAGE_FULL};
    for (int i = 0; i < 3; ++i) {
      const SKIN_FRAME* source = style->state_images[slots[i]];
      if (source) frames[i]->copy(*source);
      else frames[i]->clear();
    }
    if (const SKIN_FRAME* alt = style->state_images[STYLE_IMAGE_ALTERNATE]) alt_frame.copy(*alt);
  } else if (!base_name) {
    clear_skin();
    return false;
  } else {
    const std::string base = base_name;
    background_frame.load(folder, (base + "_bg").c_str(), skin_load_flags);
    empty_frame.load(folder, (base + "_empty").c_str(), skin_load_flags);
    full_frame.load(folder, (base + "_full").c_str(), skin_load_flags);
    alt_frame.load(folder, (base + "_alt").c_str(), skin_load_flags);
  }
  return is_skinned();
}

bool WM_PROGRESS_BAR::set_skin(const FOLDER& folder, const char* base_name,
                               const WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE] = {};
  if (!folder.get_path_text(path, sizeof path, nullptr)) path[0] = 0;
  return set_skin(path, base_name, style);
}

void WM_PROGRESS_BAR::clear_skin() {
  background_frame.clear();
  empty_frame.clear();
  full_frame.clear();
}

void WM_PROGRESS_BAR::set_text(const char* new_text, bool now) {
  has_text = new_text != nullptr;
  text = new_text ? new_text : "";
  if (now) {
    redraw_now();
    swap_screens(screen_of_point(x, y));
    update_and_poll();
  } else if (visible) {
    show();
  }
}

// ---- Time -------------------------------------------------------------------

bool WM_PROGRESS_BAR::step_overlay(int16_t rate, int32_t span, uint32_t now, uint32_t& last,
                                   int16_t& offset) {
  if (rate == 0 || span == 0) return false;
  const uint32_t elapsed = now - last;
  if (elapsed <= animation_update_rate) return false;
  const int32_t magnitude = rate < 0 ? -int32_t{rate} : rate;
  const int64_t moved = static_cast<int64_t>(elapsed / static_cast<uint32_t>(magnitude)) % span;
  int64_t next = offset + (rate < 0 ? -moved : moved);
  if (next > span) next -= span;
  if (next < 0) next += span;
  const bool changed = next != offset;
  offset = static_cast<int16_t>(next);
  last = now;
  return changed;
}

void WM_PROGRESS_BAR::animate() {
  if (animation_x_rate == 0 && animation_y_rate == 0) return;
  const uint32_t now = get_time_ms();
  const uint32_t x_before = last_x_step, y_before = last_y_step;
  bool changed = step_overlay(animation_x_rate, widest(full_frame), now, last_x_step,
                              full_frame.overlay_x);
  changed |= step_overlay(animation_y_rate, tallest(full_frame), now, last_y_step,
                          full_frame.overlay_y);
  if (changed) full_frame.regenerate = 1;
  if (last_x_step != x_before || last_y_step != y_before) show();
}

void WM_PROGRESS_BAR::poll_platform() {
  const int64_t second = get_calendar_seconds();
  if (second == last_poll_second) return;
  last_poll_second = second;
  platform_frame();
}

void WM_PROGRESS_BAR::update_and_poll() {
  animate();
  poll_platform();
}

int32_t WM_PROGRESS_BAR::update(bool overlays) {
  animate();
  return WM_SCREEN_OBJECT::update(overlays);
}

// ---- Drawing ------------------------------------------------------------------

void WM_PROGRESS_BAR::draw_frame(SKIN_FRAME& frame, int32_t x1, int32_t y1, int32_t x2,
                                 int32_t y2) {
  if (x2 < x1 || y2 < y1) return;
  const uint8_t stretch = (bar_flags & progress_flag::DONT_RESIZE_IMAGES) ? 0 : 1;
  frame.draw(static_cast<uint16_t>(x1), static_cast<uint16_t>(y1), static_cast<uint16_t>(x2),
             static_cast<uint16_t>(y2), stretch, bar_surface(), BLIT_BLEND);
}

void WM_PROGRESS_BAR::fill_part(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                const COLOUR& colour) {
  if (x2 < x1 || y2 < y1 || !is_set(colour)) return;
  bar_surface()->fill_rect(i16(x1), i16(y1), i16(x2), i16(y2), &colour, true);
  if (!(bar_flags & progress_flag::NO_SHADING)) {
    draw_border(i16(x1), i16(y1), i16(x2), i16(y2), border_flag::ALL_SIDES, &colour,
                bar_border_style, AUTO_BORDER_RADIUS);
  }
}

void WM_PROGRESS_BAR::draw_label(const char* t, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                 const COLOUR& colour) {
  if (x2 < x1 || y2 < y1 || !is_set(colour)) return;
  bar_surface()->draw_text_block(i16(x1), i16(y1), i16(x2), i16(y2), &colour, nullptr, nullptr,
                                 static_cast<int8_t>(font), static_cast<int16_t>(font_width),
                                 static_cast<int16_t>(font_height), t, 0);
}

int32_t WM_PROGRESS_BAR::text_width(const char* t) const {
  return bar_surface()->get_text_width(font, font_width, static_cast<int16_t>(font_height), t);
}

void WM_PROGRESS_BAR::draw() {
  IMAGE* s = bar_surface();
  if (!s || width == 0 || height == 0) return;
  const bool skinned = is_skinned();
  const bool vertical = (bar_flags & progress_flag::VERTICAL) != 0;
  const int32_t x2 = x + width - 1, y2 = y + height - 1;
  int32_t b = 0;
  int32_t bar_x = x + left_gap;
  const int32_t bar_y = y + top_gap;
  int32_t iw = int32_t{width} - left_gap - 1 - right_gap;
  const int32_t ih = int32_t{height} - top_gap - 1 - bottom_gap;

  if (!(bar_flags & progress_flag::ONLY_BAR)) {
    if (skinned) {
      draw_frame(background_frame, x, y, x2, y2);
    } else {
      if (is_set(bg_colour)) s->fill_rect(x, y, i16(x2), i16(y2), &bg_colour, true);
      if (!(bar_flags & progress_flag::NO_OUTER_BORDER))
        draw_border(x, y, i16(x2), i16(y2), border_flag::ALL_SIDES, &bg_colour, border_style,
                    AUTO_BORDER_RADIUS);
      b = get_border_width(bar_border_style);
    }
    if (has_title) {
      const int32_t tw = text_width(title.c_str());
      iw -= left_gap + tw;
      bar_x = x + 2 * left_gap + tw;
      draw_label(title.c_str(), x + left_gap, y + top_gap, std::min(x + left_gap + tw, x2),
                 y2 - bottom_gap, fg_colour);
    }
    if (iw < 0 || ih < 0) return;  // no room for the bar
    if (skinned) {
      draw_frame(empty_frame, bar_x, bar_y, bar_x + iw, bar_y + ih);
    } else {
      draw_border(i16(bar_x), i16(bar_y), i16(bar_x + iw), i16(bar_y + ih),
                  border_flag::ALL_SIDES | border_flag::PRESSED, &bg_colour, bar_border_style,
                  AUTO_BORDER_RADIUS);
    }
  }
  if (iw < 0 || ih < 0) return;

  // The fill length in 64 bits; the part drawn never leaves the frame.
  const int64_t extent = vertical ? ih : iw;
  const bool full = total == 0 || value >= total;
  int64_t fill = total == 0 ? extent + 1 : extent * value / total + 1;
  fill = std::max<int64_t>(fill, 2 * b + 1);
  const int64_t pct = total == 0 ? 100 : int64_t{value} * 100 / total;
  const int64_t alt_pct = total == 0 ? 0 : (int64_t{total} - value) * 100 / total;
  const bool has_empty_part = fill <= extent - b;
  const int32_t far = static_cast<int32_t>(extent - b);

  int32_t fill_end = 0;   // horizontal: last column of the fill
  int32_t fill_top = 0;   // vertical: first row of the fill
  if (!vertical) {
    if (skinned) {
      fill = std::max<int64_t>(fill, min_width(full_frame));
      int32_t f = static_cast<int32_t>(std::min<int64_t>(fill, far));
      if (value != 0) draw_frame(full_frame, bar_x + b, bar_y + b, bar_x + f, bar_y + ih - b);
      if (alt_frame.is_loaded()) {
        f = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(fill, min_width(alt_frame)), far));
        if (!full) draw_frame(alt_frame, bar_x + f, bar_y + b, bar_x + iw - b, bar_y + ih - b);
      }
      fill_end = bar_x + f;
    } else {
      const int32_t f = static_cast<int32_t>(std::min<int64_t>(fill, far));
      fill_part(bar_x + b, bar_y + b, bar_x + f, bar_y + ih - b, bar_colour);
      if (has_empty_part) fill_part(bar_x + f, bar_y + b, bar_x + iw - b, bar_y + ih - b, empty_colour);
      fill_end = bar_x + f;
    }
  } else {
    int64_t e = std::max<int64_t>(ih - fill, b);
    if (skinned) {
      e = std::max<int64_t>(e, min_height(full_frame));
      int32_t top = static_cast<int32_t>(std::min<int64_t>(e, ih - b));
      if (value != 0) draw_frame(full_frame, bar_x + b, bar_y + top, bar_x + iw - b, bar_y + ih - b);
      if (alt_frame.is_loaded()) {
        top = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(e, min_height(alt_frame)), ih - b));
        if (!full) draw_frame(alt_frame, bar_x + b, bar_y + b, bar_x + iw - b, bar_y + top);
      }
      fill_top = bar_y + top;
    } else {
      // Below the top border even when the frame has no inside.
      const int32_t top = static_cast<int32_t>(std::max<int64_t>(b, std::min<int64_t>(e, ih - b)));
      fill_part(bar_x + b, bar_y + top, bar_x + iw - b, bar_y + ih - b, bar_colour);
      if (has_empty_part) fill_part(bar_x + b, bar_y + b, bar_x + iw - b, bar_y + top, empty_colour);
      fill_top = bar_y + top;
    }
  }

  const std::string shown = has_text ? text : percent(pct);
  const int32_t top = bar_y + b;
  const int32_t bottom = bar_y + ih - b + (ih % 2);
  const int32_t left = bar_x + b;
  const int32_t right = bar_x + iw - b;
  if (!(bar_flags & progress_flag::TEXT_ON_BAR)) {
    draw_label(shown.c_str(), left, top, right, bottom, text_colour);
    return;
  }
  const bool alt = (bar_flags & progress_flag::ALT_PERCENTAGE) != 0;
  const std::string alt_text = percent(alt_pct);
  if (!vertical) {
    const int32_t tw = text_width(shown.c_str());
    draw_label(shown.c_str(), left, top, fill_end - left > tw ? fill_end : left + tw + 1, bottom,
               text_colour);
    if (alt) {
      const int32_t aw = text_width(alt_text.c_str());
      draw_label(alt_text.c_str(), right - fill_end > aw ? fill_end : right - 1 - aw, top, right,
                 bottom, alt_text_colour);
    }
  } else {
    const int32_t line = font_height == WM_STYLE_SET::UNSET ? s->font_height : font_height;
    draw_label(shown.c_str(), left, bottom - fill_top > line ? fill_top : bottom - 1 - line, right,
               bottom, text_colour);
    if (alt) {
      draw_label(alt_text.c_str(), left, top, right, fill_top - top > line ? fill_top : top + line + 1,
                 alt_text_colour);
    }
  }
}
