#include "scrolling_background.h"

#include <algorithm>
#include <new>

#include "image.h"
#include "image_cache.h"
#include "timing.h"

namespace {

// An explicit size when above 0, else twice the window's, within the
// largest picture there can be.
int16_t picture_size(int16_t given, int16_t window) {
  if (given > 0) return given;
  return static_cast<int16_t>(std::clamp<int32_t>(2 * int32_t{window}, 0, IMAGE_MAX_SIZE));
}

}  // namespace

SCROLLING_BACKGROUND::~SCROLLING_BACKGROUND() { release(); }

void SCROLLING_BACKGROUND::release() {
  if (cache) cache->release(cache->get_entry(image));
  else delete image;
  image = nullptr;
  cache = nullptr;
}

void SCROLLING_BACKGROUND::place(int16_t px, int16_t py, int16_t pw, int16_t ph, uint32_t period,
                                 int16_t iw, int16_t ih) {
  release();
  x = px;
  y = py;
  w = pw;
  h = ph;
  image_w = picture_size(iw, pw);
  image_h = picture_size(ih, ph);
  // half the period divides the positions, so it may not be 0.
  speed = period == 1 ? 2 : period;
  start = 0;
  pan_x = 0;
  pan_y = static_cast<int16_t>(range_y() / 2);
}

IMAGE* SCROLLING_BACKGROUND::init_from_cache(int16_t px, int16_t py, IMAGE_CACHE& from,
                                             const char* folder, const char* name, int16_t pw,
                                             int16_t ph, uint32_t period, int16_t iw, int16_t ih) {
  place(px, py, pw, ph, period, iw, ih);
  image = from.get(folder, name, image_w, image_h, 0);
  if (image) cache = &from;
  return image;
}

bool SCROLLING_BACKGROUND::init_from_file(int16_t px, int16_t py, const FOLDER& folder,
                                          const char* name, int16_t pw, int16_t ph,
                                          uint32_t period, int16_t iw, int16_t ih) {
  place(px, py, pw, ph, period, iw, ih);
  image = new (std::nothrow) IMAGE;
  if (!image) return false;
  if (image->load(folder, name, image_w, image_h)) return true;
  release();
  return false;
}

int32_t SCROLLING_BACKGROUND::range_x() const { return std::max(0, image_w - w); }
int32_t SCROLLING_BACKGROUND::range_y() const { return std::max(0, image_h - h); }

void SCROLLING_BACKGROUND::reset() {
  pan_x = 0;
  pan_y = static_cast<int16_t>(range_y() / 2);
  start = get_time_ms();
}

bool SCROLLING_BACKGROUND::update() {
  if (speed == 0 || !image) return false;
  const uint32_t now = get_time_ms();
  // The clock wraps, so only the unsigned difference of two readings is
  // compared; a clock that went back gives a huge one and restarts too.
  if (now - start > speed) start = now;
  const int64_t t = now - start;
  const int64_t half = speed / 2;
  const int64_t rx = range_x();
  const int64_t ry = range_y();
  const int64_t rising = t <= half ? t : int64_t{speed} - t;
  const int64_t new_x = rising * rx / half;
  int64_t new_y;
  if (t <= half) {
    new_y = t * ry / half + ry / 2;
    if (new_y > ry) new_y = 2 * ry - new_y;
  } else {
    new_y = rising * ry / half - ry / 2;
    if (new_y < 0) new_y = -new_y;
  }
  const bool moved = new_x != pan_x || new_y != pan_y;
  pan_x = static_cast<int16_t>(new_x);
  pan_y = static_cast<int16_t>(new_y);
  return moved;
}

void SCROLLING_BACKGROUND::draw() const {
  if (!image) return;
  image->blit_region(x, y, pan_x, pan_y, w, h, nullptr, BLIT_BLEND);
}
