#pragma once
// SPRITE cuts equal frames out of one strip image (frames side by side, left
// to right) and draws the current one at a position on a target surface,
// optionally keeping a copy of what it covers so that it can be put back.
#include <cstdint>

#include "colour.h"
#include "image.h"

class SPRITE {
public:
  SPRITE() = default;
  SPRITE(const SPRITE&) = delete;
  SPRITE& operator=(const SPRITE&) = delete;

  // The strip is not owned: it must outlive the sprite. A frame count below
  // 1 is fatal error 0x28, a null strip fatal error 0x29.
  void init(IMAGE* target_surface, const IMAGE* strip_image, int16_t frames);
  // Frames count from 1; other frames are ignored. Forgets a held
  // background without putting it back.
  void set_frame(int16_t new_x, int16_t new_y, int16_t frame);
  void draw(bool save_background);
  // Part of the frame, from (sub_x, sub_y) inside it; the background saved
  // is still the whole frame's.
  void draw_part(uint16_t sub_x, int16_t sub_y, int16_t w, int16_t h, bool save_background);
  void restore_background();
  // Rectangles that only touch do not overlap.
  bool overlaps(const SPRITE& other) const;
  // Whether the area under the sprite holds a pixel of exactly this ARGB.
  bool background_has_colour(const COLOUR* colour);

  void set_target(IMAGE* surface) { target = surface; }
  int16_t get_frame() const { return current_frame; }
  int16_t get_frame_count() const { return frame_count; }
  int16_t get_frame_width() const { return frame_width; }
  int16_t get_height() const { return height; }
  int16_t get_x() const { return x; }
  int16_t get_y() const { return y; }
  bool holds_background() const { return background.pixels != nullptr; }

private:
  void save_background_now();
  void release_background() { background.create(0, 0); }

  const IMAGE* strip = nullptr;  // not owned
  IMAGE* target = nullptr;       // not owned
  IMAGE background;              // no pixels while nothing is held
  int16_t current_frame = 1;
  int16_t frame_count = 1;
  int16_t height = 0;
  int16_t frame_width = 0;
  int16_t x = 0;
  int16_t y = 0;
};
