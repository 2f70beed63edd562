#include "wm_animation.h"

WM_ANIMATION::WM_ANIMATION(uint16_t new_x, uint16_t new_y, const IMAGE* strip,
                           int16_t frame_count, uint16_t new_frame_time, bool new_visible,
                           WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                           CLICK_MODE click_mode)
    : WM_SCREEN_OBJECT(new_visible, callback, word_1, word_2),
      click(click_mode),
      frame_time(new_frame_time) {
  sprite.init(drawing_surface(), strip, frame_count);
  x = static_cast<int16_t>(new_x);
  y = static_cast<int16_t>(new_y);
  width = static_cast<uint16_t>(sprite.get_frame_width());
  height = static_cast<uint16_t>(sprite.get_height());
  kind |= wm_kind::ANIMATION;
  notify_created();
}

WM_ANIMATION::~WM_ANIMATION() = default;

int32_t WM_ANIMATION::update(bool overlays) {
  tick();
  // A running animation must not stop its later siblings from ticking.
  return WM_SCREEN_OBJECT::update(overlays);
}

bool WM_ANIMATION::tick() {
  if (!visible || !playing) return false;
  const uint32_t now = frame_clock;
  // A clock that went back moves on at once.
  if (last_frame_change <= now &&
      static_cast<uint64_t>(last_frame_change) + frame_time >= now)
    return false;
  last_frame_change = now;
  const int16_t frame = sprite.get_frame();
  const int16_t next = frame < sprite.get_frame_count() ? static_cast<int16_t>(frame + 1) : 1;
  sprite.set_frame(sprite.get_x(), sprite.get_y(), next);
  show();
  if (play_once && next == 1) {
    play_once = 0;
    playing = 0;
  }
  return true;
}

int32_t WM_ANIMATION::process() {
  const LIFE_WATCH watch(this);
  const int32_t r = WM_SCREEN_OBJECT::process();
  if (!watch.alive() || r != 0 || !visible) return r;
  return click.process(*this);
}

void WM_ANIMATION::draw() {
  IMAGE* s = drawing_surface();
  if (!s) return;
  // Owners point the surface elsewhere at times (back buffers, page
  // changes): the frame goes where drawing goes now.
  sprite.set_target(s);
  const int32_t dx = static_cast<int32_t>(width) - sprite.get_frame_width();
  const int32_t dy = static_cast<int32_t>(height) - sprite.get_height();
  sprite.set_frame(static_cast<int16_t>(x + dx / 2), static_cast<int16_t>(y + dy / 2),
                   sprite.get_frame());
  sprite.draw(true);
  if (border_flags)
    draw_border(x, y, static_cast<int16_t>(x + width - 1), static_cast<int16_t>(y + height - 1),
                border_flags, nullptr, 1, AUTO_BORDER_RADIUS);
}
