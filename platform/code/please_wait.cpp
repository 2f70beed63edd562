// The "Please Wait" window shown while the program is busy, for instance
// while it takes itself down.
#include "image.h"
#include "timing.h"
#include "window.h"

bool show_please_wait(const IMAGE* image) {
  if (!image || image->width < 1 || image->height < 1 || !image->pixels) return false;
  WINDOW_PARAMS params;
  params.title = "Please Wait";
  params.width = image->width;
  params.height = image->height;
  params.borderless = 1;
  if (!open_window(&params, 0)) return false;
  IMAGE* screen = get_screen_image(0);
  if (!screen || screen->width < 1) return false;
  screen->set_clip_rect(0, 0, static_cast<int16_t>(screen->width - 1),
                        static_cast<int16_t>(screen->height - 1));
  screen->blit(image, 0, 0, 0, 0, image->width, image->height, BLIT_BLEND);
  swap_screens(ALL_SCREENS);
  return true;
}
