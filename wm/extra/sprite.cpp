#include "sprite.h"

#include "errors.h"

void SPRITE::init(IMAGE* target_surface, const IMAGE* strip_image, int16_t frames) {
  release_background();
  if (frames < 1) report_error(0x28);
  if (!strip_image) report_error(0x29);
  frame_count = frames;
  strip = strip_image;
  height = strip->height;
  frame_width = static_cast<int16_t>(strip->width / frames);
  current_frame = 1;
  x = y = 0;
  target = target_surface;
}

void SPRITE::set_frame(int16_t new_x, int16_t new_y, int16_t frame) {
  if (frame < 1 || frame > frame_count) return;
  current_frame = frame;
  x = new_x;
  y = new_y;
  release_background();
}

void SPRITE::save_background_now() {
  if (!target || frame_width < 1 || height < 1) return;
  if (!background.pixels) background.create(frame_width, height);
  // Source coordinates count from the target's top-left pixel.
  background.blit(target, static_cast<int16_t>(x - target->x), static_cast<int16_t>(y - target->y),
                  background.x, background.y, frame_width, height, BLIT_COPY);
}

void SPRITE::draw(bool save_background) {
  draw_part(0, 0, frame_width, height, save_background);
}

void SPRITE::draw_part(uint16_t sub_x, int16_t sub_y, int16_t w, int16_t h,
                       bool save_background) {
  if (save_background) save_background_now();
  if (!target || !strip) return;
  // Copied as it is: a frame's see-through pixels stay see-through.
  target->blit(strip, static_cast<int16_t>((current_frame - 1) * frame_width + sub_x), sub_y, x, y,
               w, h, BLIT_COPY);
}

void SPRITE::restore_background() {
  if (!background.pixels) return;
  if (target)
    target->blit(&background, 0, 0, x, y, background.width, background.height, BLIT_COPY);
  release_background();
}

bool SPRITE::overlaps(const SPRITE& b) const {
  const SPRITE& a = *this;
  return !(b.x >= a.x + a.frame_width || b.x + b.frame_width <= a.x || b.y >= a.y + a.height ||
           b.y + b.height <= a.y);
}

bool SPRITE::background_has_colour(const COLOUR* colour) {
  if (!colour) return false;
  const bool made_here = !background.pixels;
  if (made_here) save_background_now();
  bool found = false;
  if (!background.pixels) {
    // Every position then counts as the unset colour.
    found = *colour == 0 && frame_width > 0 && height > 0;
  } else {
    for (int32_t row = 0; row < background.height && !found; ++row) {
      for (int32_t col = 0; col < background.width; ++col) {
        const bool in_clip = col >= background.clip_x1 - background.x &&
                             col <= background.clip_x2 - background.x &&
                             row >= background.clip_y1 - background.y &&
                             row <= background.clip_y2 - background.y;
        const COLOUR c =
            in_clip ? background.pixels[static_cast<size_t>(row) * background.stride + col] : 0;
        if (c == *colour) {
          found = true;
          break;
        }
      }
    }
  }
  if (made_here) release_background();
  return found;
}
