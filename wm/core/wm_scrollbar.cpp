// Scroll bars: geometry of the track and slider, mouse, wheel and key input
// with repeats on the millisecond clock, and the skin-frame or colour look.
#include "wm_scrollbar.h"

#include <algorithm>
#include <string>

#include "clip_scope.h"
#include "errors.h"
#include "image.h"
#include "image_cache.h"
#include "input.h"
#include "timing.h"
#include "wm_keys.h"

namespace {

// Error codes of the bar's own checks.
constexpr uint16_t ERROR_BAD_RANGE = 0x70;
constexpr uint16_t ERROR_NO_VARIABLE = 0x72;
constexpr uint16_t ERROR_POINTER_VARIABLE = 0x73;
constexpr uint16_t ERROR_BAD_TYPE = 0x74;

constexpr const char* kFrameSuffixes[WM_SCROLLBAR::FRAME_COUNT] = {
    "_bar",       "_bar_disabled",  "_bar_over",       "_slider_up",    "_slider_down",
    "_slider_disabled", "_slider_over", "_less_up",    "_less_down",    "_less_disabled",
    "_less_over", "_more_up",       "_more_down",      "_more_disabled", "_more_over"};

bool is_set(COLOUR c) { return (c >> 24) != 0; }
COLOUR colour_or_unset(const COLOUR* c) { return c ? *c : COLOUR_INVISIBLE; }
int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

bool is_button_frame(int i) { return i >= WM_SCROLLBAR::LESS_UP; }

}  // namespace

WM_SCROLLBAR* WM_SCROLLBAR::target = nullptr;

WM_SCROLLBAR::WM_SCROLLBAR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, PARAMETER* new_variable,
                           const WM_STYLE_SET* style, WM_CALLBACK callback, uintptr_t word_1,
                           uintptr_t word_2)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, callback, word_1, word_2) {
  for (SKIN_FRAME& f : frames) f.cache = &wm_image_cache();
  WM_STYLE_SET defaults;
  const WM_STYLE_SET& s = style ? *style : defaults;
  border_style = s.shading_type;
  const bool corners = (s.shading_flags & 0xF0) != 0;
  uint8_t look = 0;
  if (s.drawing_flags & SSF_HFADING) {
    look = scrollbar_look::HORIZONTAL_GRADIENT | (corners ? scrollbar_look::ROUNDED : 0);
  } else if (corners) {
    look = scrollbar_look::ROUNDED;
  }
  if (s.drawing_flags & SSF_VFADING) look |= scrollbar_look::VERTICAL_GRADIENT;
  if (s.drawing_flags & SSF_DONT_RESIZE_IMAGE) look |= scrollbar_look::DONT_STRETCH_IMAGES;
  const bool buttons = (s.extended_flags & SSEF_SB_WITH_BUTTONS) != 0;
  const SCROLLBAR_TYPE t =
      (s.extended_flags & SSEF_SB_HORIZONTAL)
          ? (buttons ? SCROLLBAR_TYPE::HORIZONTAL_WITH_BUTTONS : SCROLLBAR_TYPE::HORIZONTAL)
          : (buttons ? SCROLLBAR_TYPE::VERTICAL_WITH_BUTTONS : SCROLLBAR_TYPE::VERTICAL);
  init(x1, y1, x2, y2, i16(s.scrollbar_slider_width), i16(s.scrollbar_button_width), new_variable,
       t, look, &s.bg_colour, &s.active_colour, &s.active_colour, &s.fg_colour);
  if (s.drawing_flags & SSF_DISABLED) {
    enabled = 0;
    redraw();
  }
  if (s.image_filename) load_images(s.image_path, s.image_filename, &s);
  if (is_set(s.border_colour)) border_colour = s.border_colour;
  kind |= wm_kind::SCROLLBAR;
  notify_created();
}

WM_SCROLLBAR::WM_SCROLLBAR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t new_slider,
                           int16_t new_button, PARAMETER* new_variable, SCROLLBAR_TYPE new_type,
                           uint8_t look, const COLOUR* bar, const COLOUR* slider,
                           const COLOUR* button, const COLOUR* arrow, bool is_visible,
                           WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2)
    : WM_SCREEN_OBJECT(is_visible, callback, word_1, word_2) {
  for (SKIN_FRAME& f : frames) f.cache = &wm_image_cache();
  init(x1, y1, x2, y2, new_slider, new_button, new_variable, new_type, look, bar, slider, button,
       arrow);
  kind |= wm_kind::SCROLLBAR;
  notify_created();
}

WM_SCROLLBAR::~WM_SCROLLBAR() {
  release_images();
  if (target == this) target = nullptr;
}

void WM_SCROLLBAR::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t new_slider,
                        int16_t new_button, PARAMETER* new_variable, SCROLLBAR_TYPE new_type,
                        uint8_t look, const COLOUR* bar, const COLOUR* slider,
                        const COLOUR* button, const COLOUR* arrow) {
  if (!new_variable) report_error(ERROR_NO_VARIABLE);
  if (new_variable->get_type() == PARAMETER::POINTER) report_error(ERROR_POINTER_VARIABLE);
  if (new_variable->get_int(PARAMETER::MINIMUM) >= new_variable->get_int(PARAMETER::MAXIMUM)) {
    report_error(ERROR_BAD_RANGE);
  }
  if (static_cast<uint32_t>(new_type) > 3) report_error(ERROR_BAD_TYPE);
  const int32_t left = std::min(x1, x2), right = std::max(x1, x2);
  const int32_t top = std::min(y1, y2), bottom = std::max(y1, y2);
  enabled = 1;
  type = new_type;
  variable = new_variable;
  x = static_cast<int16_t>(left);
  y = static_cast<int16_t>(top);
  width = static_cast<uint16_t>(std::max(right - left + 1, MIN_THICKNESS));
  height = static_cast<uint16_t>(std::max(bottom - top + 1, MIN_THICKNESS));
  slider_length = std::max<int16_t>(new_slider, MIN_SLIDER_LENGTH);
  button_length = std::max<int16_t>(new_button, 0);
  bar_colour = colour_or_unset(bar);
  slider_colour = colour_or_unset(slider);
  button_colour = colour_or_unset(button);
  arrow_colour = colour_or_unset(arrow);
  dragging = 0;
  button_was_down = 0;
  line_step = page_step = 1;
  repeat_time = 0;
  repeat_kind = SCROLL_STEP::NONE;
  shown_value = value();
  step_provider = nullptr;
  value_changed = 0;
  wheel_step = 1;
  hover = HOVER{};
  look_flags = look;
  if (look & scrollbar_look::DEFAULT) {
    look_flags |= scrollbar_look::ROUNDED | (is_vertical() ? scrollbar_look::HORIZONTAL_GRADIENT
                                                           : scrollbar_look::VERTICAL_GRADIENT);
  }
  layout();
  make_scroll_target();
}

// ---- Geometry ---------------------------------------------------------------

void WM_SCROLLBAR::layout() {
  const int32_t axis = is_vertical() ? height : width;
  int32_t buttons = has_buttons() ? button_length : 0;
  // Buttons give way to the slider first, then the slider to the track.
  if (axis - 2 * buttons < slider_length) buttons = std::max(0, (axis - slider_length) / 2);
  button_extent = buttons;
  const int32_t track = get_track_length();
  slider_extent = std::clamp<int32_t>(slider_length, 0, std::max(track, 0));
  travel = std::max(track - slider_extent, 0);
}

int32_t WM_SCROLLBAR::get_track_length() const {
  const int32_t axis = is_vertical() ? height : width;
  return std::max(axis - 2 * button_extent, 0);
}

int32_t WM_SCROLLBAR::get_slider_start() const {
  const int64_t range = int64_t{maximum()} - minimum();
  if (range <= 0 || travel <= 0) return track_start();
  const int64_t from_start = is_vertical() ? int64_t{maximum()} - value() : int64_t{value()} - minimum();
  const int64_t offset = std::clamp<int64_t>(from_start * travel / range, 0, travel);
  return track_start() + static_cast<int32_t>(offset);
}

void WM_SCROLLBAR::set_slider_length(int16_t length) {
  slider_length = std::max<int16_t>(length, MIN_SLIDER_LENGTH);
  layout();
  redraw();
}

void WM_SCROLLBAR::set_position(int16_t new_x, int16_t new_y) {
  if (new_x == x && new_y == y) return;
  WM_SCREEN_OBJECT::set_position(new_x, new_y);
  layout();
}

void WM_SCROLLBAR::set_size(uint16_t w, uint16_t h, bool resize_children) {
  w = static_cast<uint16_t>(std::max<int32_t>(w, MIN_THICKNESS));
  h = static_cast<uint16_t>(std::max<int32_t>(h, MIN_THICKNESS));
  if (w == width && h == height) return;
  WM_SCREEN_OBJECT::set_size(w, h, resize_children);
  layout();
}

bool WM_SCROLLBAR::is_selectable() { return enabled && selectable; }

RECT WM_SCROLLBAR::along(int32_t a1, int32_t a2, int32_t inset) const {
  if (is_vertical()) return {x + inset, a1, x + width - 1 - inset, a2};
  return {a1, y + inset, a2, y + height - 1 - inset};
}

WM_SCROLLBAR::PART WM_SCROLLBAR::part_at(int16_t px, int16_t py, int32_t button_inset) const {
  if (!visible || px < x || py < y || px >= x + width || py >= y + height) return PART::NONE;
  const int32_t a = axis_of(px, py);
  const int32_t start = axis_start(), end = start + (is_vertical() ? height : width) - 1;
  const int32_t ts = track_start(), te = ts + get_track_length() - 1;
  if (button_extent > 0) {
    const RECT first = along(start, ts - 1, 0).grown(-button_inset);
    const RECT last = along(te + 1, end, 0).grown(-button_inset);
    // The more button sits at the top of a vertical bar, at the right of a
    // horizontal one.
    if (first.contains(px, py)) return is_vertical() ? PART::MORE : PART::LESS;
    if (last.contains(px, py)) return is_vertical() ? PART::LESS : PART::MORE;
    if (a < ts || a > te) return PART::BAR;
  }
  const int32_t ss = get_slider_start();
  if (a >= ss && a < ss + slider_extent) return PART::SLIDER;
  return PART::BAR;
}

SCROLL_STEP WM_SCROLLBAR::step_for_press(int16_t px, int16_t py) const {
  const int32_t a = axis_of(px, py);
  const int32_t ts = track_start(), te = ts + get_track_length() - 1;
  const int32_t ss = get_slider_start(), se = ss + slider_extent - 1;
  const bool v = is_vertical();
  if (a < ts) return v ? SCROLL_STEP::LINE_TO_MAXIMUM : SCROLL_STEP::LINE_TO_MINIMUM;
  if (a > te) return v ? SCROLL_STEP::LINE_TO_MINIMUM : SCROLL_STEP::LINE_TO_MAXIMUM;
  if (a < ss) return v ? SCROLL_STEP::PAGE_TO_MAXIMUM : SCROLL_STEP::PAGE_TO_MINIMUM;
  if (a > se) return v ? SCROLL_STEP::PAGE_TO_MINIMUM : SCROLL_STEP::PAGE_TO_MAXIMUM;
  return SCROLL_STEP::NONE;
}

// ---- Value ------------------------------------------------------------------

int32_t WM_SCROLLBAR::value() const { return variable->get_int(PARAMETER::VALUE); }
int32_t WM_SCROLLBAR::minimum() const { return variable->get_int(PARAMETER::MINIMUM); }
int32_t WM_SCROLLBAR::maximum() const { return variable->get_int(PARAMETER::MAXIMUM); }

void WM_SCROLLBAR::set_value(int64_t v) {
  const int64_t lo = minimum(), hi = std::max<int64_t>(lo, maximum());
  variable->set_int(PARAMETER::VALUE, static_cast<int32_t>(std::clamp(v, lo, hi)));
}

int32_t WM_SCROLLBAR::get_step(SCROLL_STEP kind) {
  if (step_provider) return step_provider(this, kind);
  switch (kind) {
    case SCROLL_STEP::LINE_TO_MAXIMUM:
    case SCROLL_STEP::LINE_TO_MINIMUM: return line_step;
    case SCROLL_STEP::PAGE_TO_MAXIMUM:
    case SCROLL_STEP::PAGE_TO_MINIMUM: return page_step;
    default: return 0;
  }
}

void WM_SCROLLBAR::apply_step(SCROLL_STEP kind) {
  const int64_t step = get_step(kind);
  const bool up = kind == SCROLL_STEP::LINE_TO_MAXIMUM || kind == SCROLL_STEP::PAGE_TO_MAXIMUM;
  set_value(int64_t{value()} + (up ? step : -step));
}

void WM_SCROLLBAR::make_scroll_target() {
  target = this;
  mouse.wheel = 0;
}

// ---- Input ------------------------------------------------------------------

void WM_SCROLLBAR::redraw() {
  if (!visible) return;
  needs_redraw = 1;
  invalidate();
}

void WM_SCROLLBAR::handle_keys() {
  if (focus_object != this) return;
  const uint32_t key = key_queue.peek_last_key();
  // Only the keys the bar acts on are taken: Escape, Return and the rest
  // still reach the dialog around it.
  if (scroll_by_key(key, key_down(wm_key::CONTROL_L) || key_down(wm_key::CONTROL_R)))
    key_queue.get_last_key();
}

bool WM_SCROLLBAR::scroll_by_key(uint32_t key, bool control) {
  auto step = [this](SCROLL_STEP kind) { apply_step(kind); };
  if (is_vertical()) {
    switch (key) {
      case wm_key::HOME:
        if (!control) return false;
        set_value(maximum());
        return true;
      case wm_key::END:
        if (!control) return false;
        set_value(minimum());
        return true;
      case wm_key::UP:
        if (!control) step(SCROLL_STEP::LINE_TO_MAXIMUM);
        return true;
      case wm_key::DOWN:
        if (!control) step(SCROLL_STEP::LINE_TO_MINIMUM);
        return true;
      case wm_key::PAGE_UP: step(SCROLL_STEP::PAGE_TO_MAXIMUM); return true;
      case wm_key::PAGE_DOWN: step(SCROLL_STEP::PAGE_TO_MINIMUM); return true;
      default: return false;
    }
  }
  switch (key) {
    case wm_key::HOME: set_value(minimum()); return true;
    case wm_key::END: set_value(maximum()); return true;
    case wm_key::LEFT:
      if (!control) step(SCROLL_STEP::LINE_TO_MINIMUM);
      return true;
    case wm_key::RIGHT:
      if (!control) step(SCROLL_STEP::LINE_TO_MAXIMUM);
      return true;
    default: return false;
  }
}

void WM_SCROLLBAR::handle_button(bool held, int16_t px, int16_t py) {
  if (!held) {
    if (dragging || repeat_kind != SCROLL_STEP::NONE) redraw();
    dragging = 0;
    repeat_kind = SCROLL_STEP::NONE;
    button_was_down = 0;
    return;
  }
  const bool fresh_press = !button_was_down;
  button_was_down = 1;
  const uint32_t now = get_time_ms();
  if (hit_test(px, py)) {
    set_focus();
    if (repeat_kind != SCROLL_STEP::NONE) {
      const uint32_t wait = repeating ? NEXT_REPEAT_MS : FIRST_REPEAT_MS;
      if (static_cast<int32_t>(now - repeat_time) >= static_cast<int32_t>(wait)) {
        repeating = 1;
        repeat_time = now;
        apply_step(repeat_kind);
        redraw();
      }
    } else if (!dragging && fresh_press) {
      const SCROLL_STEP kind = step_for_press(px, py);
      if (kind != SCROLL_STEP::NONE) {
        repeat_kind = kind;
        repeating = 0;
        repeat_time = now;
        apply_step(kind);
        redraw();
      }
    }
  }
  const int32_t a = axis_of(px, py);
  if (fresh_press && repeat_kind == SCROLL_STEP::NONE && !dragging && travel > 0 &&
      part_at(px, py, 0) == PART::SLIDER) {
    // Every slider pixel grabs the same way, and a press that does not move
    // leaves the value as it is.
    dragging = 1;
    drag_moved = 0;
    press_axis = a;
    drag_grab = a - get_slider_start();
    redraw();
    return;
  }
  if (!dragging || (!drag_moved && a == press_axis)) return;
  drag_moved = 1;
  int64_t p = int64_t{a} - drag_grab - track_start();
  if (p <= 1) p = 0;
  if (p >= travel - 1) p = travel;
  p = std::clamp<int64_t>(p, 0, travel);
  const int64_t range = int64_t{maximum()} - minimum();
  const int64_t moved = range * p / travel;
  set_value(is_vertical() ? maximum() - moved : minimum() + moved);
}

int32_t WM_SCROLLBAR::process() {
  int32_t result = WM_SCREEN_OBJECT::process();
  if (result != 0 || !visible) return result;
  value_changed = value() != shown_value ? 1 : 0;
  if (enabled) {
    const auto px = static_cast<int16_t>(mouse.x);
    const auto py = static_cast<int16_t>(mouse.y);
    const int32_t inset = images_complete() ? 0 : 2;
    const PART part = part_at(px, py, inset);
    HOVER now;
    now.bar = part != PART::NONE;
    now.slider = part == PART::SLIDER;
    now.less = part == PART::LESS;
    now.more = part == PART::MORE;
    if (now != hover) {
      hover = now;
      redraw();
    }
    const bool over = hit_test(px, py);
    const bool held = (mouse.buttons & MOUSE::LEFT) != 0;
    if (over && target != this) make_scroll_target();
    if (!over && held && repeat_kind != SCROLL_STEP::NONE) {
      repeat_kind = SCROLL_STEP::NONE;
      redraw();
    }
    if (target == this && mouse.wheel != 0) {
      set_value(int64_t{value()} + int64_t{mouse.wheel} * wheel_step);
      mouse.wheel = 0;
    }
    handle_keys();
    handle_button(held, px, py);
  }
  const int32_t current = value();
  value_changed = 0;
  if (current == shown_value) return result;
  redraw();
  shown_value = current;
  // The callback may ask the owner to remove the bar: nothing of it is
  // touched afterwards.
  if (action_callback) result = fire_callback(false);
  return result;
}

// ---- Images -----------------------------------------------------------------

bool WM_SCROLLBAR::load_images(const char* folder, const char* base_name,
                               const WM_STYLE_SET* style) {
  const int count = has_buttons() ? FRAME_COUNT : static_cast<int>(LESS_UP);
  if (style && style->is_loaded()) {
    release_images();
    for (int i = 0; i < count; ++i) {
      const SKIN_FRAME* source = style->state_images[STYLE_IMAGE_BAR + i];
      if (source) frames[i].copy(*source);
    }
    return images_complete();
  }
  if (!base_name || !folder) {
    release_images();
    return false;
  }
  for (int i = 0; i < FRAME_COUNT; ++i) {
    if (i >= count) {
      frames[i].clear();
      continue;
    }
    frames[i].load(folder, (std::string(base_name) + kFrameSuffixes[i]).c_str(), skin_load_flags);
  }
  return images_complete();
}

bool WM_SCROLLBAR::load_images(const FOLDER& folder, const char* base_name,
                               const WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE] = {};
  if (!folder.get_path_text(path, sizeof path, nullptr)) path[0] = 0;
  return load_images(path, base_name, style);
}

bool WM_SCROLLBAR::images_complete() const {
  for (int i : {BAR, SLIDER_UP, SLIDER_DOWN, LESS_UP, LESS_DOWN, MORE_UP, MORE_DOWN}) {
    if (is_button_frame(i) && !has_buttons()) continue;
    if (!frames[i].is_loaded()) return false;
  }
  return true;
}

void WM_SCROLLBAR::release_images() {
  for (SKIN_FRAME& f : frames) f.clear();
}

// ---- Drawing ----------------------------------------------------------------

void WM_SCROLLBAR::draw() {
  IMAGE* s = drawing_surface();
  if (!s) return;
  CLIP_SCOPE keep(s);
  s->clip_to(x, y, static_cast<int16_t>(x + width - 1), static_cast<int16_t>(y + height - 1));
  if (s->clip_is_empty()) return;
  const int32_t slider_start = get_slider_start();
  if (images_complete()) {
    draw_frames(s, slider_start);
  } else {
    draw_colours(s, slider_start);
  }
}

void WM_SCROLLBAR::draw_frames(IMAGE* s, int32_t ss) {
  const uint8_t stretch = (look_flags & scrollbar_look::DONT_STRETCH_IMAGES) ? 0 : 1;
  const bool focused = focus_object == this;
  auto pick = [&](FRAME up, FRAME down, FRAME disabled, FRAME over, bool pressed,
                  bool hovered) -> SKIN_FRAME& {
    if (!enabled && frames[disabled].is_loaded()) return frames[disabled];
    if (pressed && down != up) return frames[down];
    if ((focused || hovered) && frames[over].is_loaded()) return frames[over];
    return frames[up];
  };
  auto paint = [&](SKIN_FRAME& f, const RECT& r) {
    if (r.empty()) return;
    f.draw(static_cast<uint16_t>(r.x1), static_cast<uint16_t>(r.y1), static_cast<uint16_t>(r.x2),
           static_cast<uint16_t>(r.y2), stretch, s, BLIT_BLEND);
  };
  const int32_t start = axis_start(), end = start + (is_vertical() ? height : width) - 1;
  const int32_t ts = track_start(), te = ts + get_track_length() - 1;
  if (button_extent > 0) {
    const bool less_down = repeat_kind == SCROLL_STEP::LINE_TO_MINIMUM;
    const bool more_down = repeat_kind == SCROLL_STEP::LINE_TO_MAXIMUM;
    SKIN_FRAME& less = pick(LESS_UP, LESS_DOWN, LESS_DISABLED, LESS_OVER, less_down, hover.less);
    SKIN_FRAME& more = pick(MORE_UP, MORE_DOWN, MORE_DISABLED, MORE_OVER, more_down, hover.more);
    paint(is_vertical() ? more : less, along(start, ts - 1, 0));
    paint(is_vertical() ? less : more, along(te + 1, end, 0));
  }
  paint(pick(BAR, BAR, BAR_DISABLED, BAR_OVER, false, hover.bar), along(ts, te, 0));
  paint(pick(SLIDER_UP, SLIDER_DOWN, SLIDER_DISABLED, SLIDER_OVER, dragging != 0, hover.slider),
        along(ss, ss + slider_extent - 1, 0));
}

void WM_SCROLLBAR::draw_colour_button(IMAGE* s, int32_t a1, int32_t a2, bool more) {
  const RECT r = along(a1, a2, 0);
  if (r.empty()) return;
  const bool rounded = look_flags & scrollbar_look::ROUNDED;
  const bool hovered = focus_object == this || (more ? hover.more : hover.less);
  const bool pressed = repeat_kind == (more ? SCROLL_STEP::LINE_TO_MAXIMUM : SCROLL_STEP::LINE_TO_MINIMUM);
  const COLOUR fill = hovered && is_set(hover_fill_colour) ? hover_fill_colour : button_colour;
  const COLOUR ink = hovered && is_set(hover_arrow_colour) ? hover_arrow_colour : arrow_colour;
  if (is_set(fill)) {
    s->fill_round_rect_gradient(i16(r.x1), i16(r.y1), i16(r.x2), i16(r.y2), rounded ? -1 : 0,
                                IMAGE::ALL_CORNERS, &fill, &fill, 0, IMAGE::ROUND_FILL_BLEND);
  }
  uint16_t flags = rounded ? 0xFF : border_flag::ALL_SIDES;
  if (pressed) flags |= border_flag::PRESSED;
  draw_border(i16(r.x1), i16(r.y1), i16(r.x2), i16(r.y2), flags, &fill, rounded ? 1 : 4,
              AUTO_BORDER_RADIUS);
  const ARROW direction = is_vertical() ? (more ? ARROW::UP : ARROW::DOWN)
                                        : (more ? ARROW::RIGHT : ARROW::LEFT);
  draw_arrow(i16(r.x1), i16(r.y1), i16(r.x2), i16(r.y2), &ink, direction, AUTO_ARROW_INSET,
             AUTO_ARROW_INSET);
}

void WM_SCROLLBAR::draw_colours(IMAGE* s, int32_t ss) {
  const bool rounded = look_flags & scrollbar_look::ROUNDED;
  const bool focused = focus_object == this;
  const int16_t radius = rounded ? -1 : 0;
  const COLOUR line = border_theme.inner_outline;
  const COLOUR black = 0xFF000000;
  const auto x2 = static_cast<int16_t>(x + width - 1), y2 = static_cast<int16_t>(y + height - 1);

  const COLOUR bar = (focused || hover.bar) && is_set(hover_fill_colour) ? hover_fill_colour
                                                                         : bar_colour;
  if (is_set(bar)) {
    s->fill_round_rect_gradient(x, y, x2, y2, radius, IMAGE::ALL_CORNERS, &bar, &bar, 0,
                                IMAGE::ROUND_FILL_BLEND);
  }

  const RECT slider = along(ss, ss + slider_extent - 1, 2);
  if (!slider.empty()) {
    const COLOUR fill = (focused || hover.slider || dragging) && is_set(hover_fill_colour)
                            ? hover_fill_colour
                            : slider_colour;
    const auto sx1 = i16(slider.x1), sy1 = i16(slider.y1), sx2 = i16(slider.x2),
               sy2 = i16(slider.y2);
    if (is_set(fill)) {
      const uint8_t mode = (look_flags & scrollbar_look::VERTICAL_GRADIENT)
                               ? IMAGE::ROUND_FILL_VERTICAL
                           : (look_flags & scrollbar_look::HORIZONTAL_GRADIENT)
                               ? IMAGE::ROUND_FILL_HORIZONTAL
                               : IMAGE::ROUND_FILL_BLEND;
      s->fill_round_rect_gradient(sx1, sy1, sx2, sy2, radius, IMAGE::ALL_CORNERS, &fill, &black, 0,
                                  mode);
    }
    draw_border(sx1, sy1, sx2, sy2, rounded ? 0xFF : border_flag::ALL_SIDES, &fill,
                rounded ? 1 : 4, AUTO_BORDER_RADIUS);
    if (!rounded && is_set(line)) {
      if (is_vertical()) {
        s->draw_line(sx1, sy1, sx2, sy1, &line, 1, true);
        s->draw_line(sx1, sy2, sx2, sy2, &line, 1, true);
      } else {
        s->draw_line(sx1, sy1, sx1, sy2, &line, 1, true);
        s->draw_line(sx2, sy1, sx2, sy2, &line, 1, true);
      }
    }
  }

  if (button_extent > 0) {
    const int32_t start = axis_start(), end = start + (is_vertical() ? height : width) - 1;
    const int32_t ts = track_start(), te = ts + get_track_length() - 1;
    draw_colour_button(s, start, ts - 1, is_vertical());
    draw_colour_button(s, te + 1, end, !is_vertical());
  }

  if (is_set(line)) {
    if (rounded) {
      s->draw_round_rect(x, y, x2, y2, &line, IMAGE::AUTO_RADIUS, IMAGE::ALL_CORNERS);
    } else {
      s->draw_rect(x, y, x2, y2, &line, 1, IMAGE::ALL_SIDES);
    }
  }
  draw_border(x, y, x2, y2, static_cast<uint16_t>(border_flag::PRESSED | (rounded ? 0xFF : 0x0F)),
              &bar_colour, rounded ? 1 : 4, AUTO_BORDER_RADIUS);
}
