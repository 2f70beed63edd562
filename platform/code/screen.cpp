// The screen IMAGE and the grid of logical screens.
#include "screen.h"

#include <algorithm>

#include "image.h"

namespace {

IMAGE screen_image;
SCREEN_RESIZE_HOOK resize_hook = nullptr;

}  // namespace

IMAGE* get_screen_image(uint16_t screen) { return screen == 0 ? &screen_image : nullptr; }
int16_t get_screen_width(uint16_t screen) { return screen == 0 ? screen_image.width : 0; }
int16_t get_screen_height(uint16_t screen) { return screen == 0 ? screen_image.height : 0; }

void set_screen_resize_hook(SCREEN_RESIZE_HOOK hook) { resize_hook = hook; }

void set_screen_size(int16_t width, int16_t height) {
  if (resize_hook) resize_hook();
  if (width < 1 || height < 1) {
    screen_image.create(0, 0);
    return;
  }
  if (width == screen_image.width && height == screen_image.height && screen_image.pixels) return;
  screen_image.create(width, height);
  if (!screen_image.pixels) return;  // beyond the largest image
  std::fill_n(screen_image.pixels, screen_image.pixel_count, 0xFF000000u);
  screen_image.add_dirty_rect(0, 0, static_cast<int16_t>(width - 1),
                              static_cast<int16_t>(height - 1));
}

uint16_t screen_of_point(int32_t x, int32_t y) {
  if (x < 0 || y < 0) return 0;
  return static_cast<uint16_t>(8 * ((x / 4096) % 8) + (y / 4096) % 8);
}
int32_t screen_origin_x(uint16_t screen) { return ((screen / 8) % 8) * 4096; }
int32_t screen_origin_y(uint16_t screen) { return (screen % 8) * 4096; }
