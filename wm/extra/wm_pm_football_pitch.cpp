#include "wm_pm_football_pitch.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "wm_ptm_app_info.h"
#include "wm_ptm_image_info.h"

namespace {

// The registered store's picture of that name; null without a store, a
// record or a loadable picture.
const IMAGE* store_image(const std::string& name) {
  WM_PTM_APP_INFO* store = WM_PTM_APP_INFO::registered();
  if (!store || name.empty()) return nullptr;
  WM_PTM_IMAGE_INFO* info = store->find_image(name.c_str());
  if (!info) return nullptr;
  if (!info->picture) info->load_image();
  const IMAGE* picture = info->picture;
  return picture && picture->pixels && picture->width > 0 && picture->height > 0 ? picture
                                                                                 : nullptr;
}

std::string text_or_empty(const char* text) { return text ? text : ""; }
int16_t count_or_zero(int16_t n) { return std::max<int16_t>(n, 0); }

}  // namespace

WM_PM_FOOTBALL_PITCH::WM_PM_FOOTBALL_PITCH(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                           const WM_PITCH_SETTINGS* pitch_settings, uint8_t option,
                                           int16_t per_team, const PITCH_IMAGE_NAMES& names)
    : surface_name(text_or_empty(names.surface)),
      ball_prefix(text_or_empty(names.ball_prefix)),
      marker_name(text_or_empty(names.marker)),
      marker_frame_count(count_or_zero(names.marker_frames)),
      ball_frame_count(count_or_zero(names.ball_frames)),
      ball_image_count(count_or_zero(names.ball_image_count)) {
  // Set up here rather than in the base constructor, so that the picture
  // slots below are the ones that run.
  init(x1, y1, x2, y2, pitch_settings, option, per_team);
  notify_created();
}

WM_PM_FOOTBALL_PITCH::~WM_PM_FOOTBALL_PITCH() = default;

void WM_PM_FOOTBALL_PITCH::draw_surface() {
  const IMAGE* tile = store_image(surface_name);
  if (!tile || !surface.pixels) return draw_grass();
  for (int32_t ty = 0; ty < surface.height; ty += tile->height) {
    for (int32_t tx = 0; tx < surface.width; tx += tile->width) {
      surface.blit(tile, 0, 0, static_cast<int16_t>(tx), static_cast<int16_t>(ty), tile->width,
                   tile->height, BLIT_COPY);
    }
  }
}

void WM_PM_FOOTBALL_PITCH::make_ball_images() {
  std::vector<const IMAGE*> found;
  for (int32_t i = 1; i <= ball_image_count; ++i) {
    char name[300];
    std::snprintf(name, sizeof name, "%s%d", ball_prefix.c_str(), static_cast<int>(i));
    const IMAGE* image = store_image(name);
    if (!image) break;
    found.push_back(image);
  }
  if (found.empty() || static_cast<int32_t>(found.size()) != ball_image_count) {
    return make_default_ball();
  }
  ball_images.clear();
  ball_frames = std::max<int32_t>(ball_frame_count, 1);
  ball_size = 0;
  for (const IMAGE* image : found) {
    auto copy = std::make_unique<IMAGE>();
    copy->copy(*image);
    ball_size = std::max<int32_t>(ball_size, copy->height);
    ball_images.push_back(std::move(copy));
  }
}

void WM_PM_FOOTBALL_PITCH::make_player_markers() {
  const IMAGE* marker = store_image(marker_name);
  if (!marker) return make_default_markers();
  marker_frames = std::max<int32_t>(marker_frame_count, 1);
  marker_size = marker->height;
  for (int k = 0; k < 4; ++k) {
    markers[k].copy(*marker);
    const COLOUR* c = settings.marker_colours[k];
    markers[k].recolour3(&c[0], &c[1], &c[2], true);
  }
}
