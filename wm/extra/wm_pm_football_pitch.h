#pragma once
// WM_PM_FOOTBALL_PITCH is the football pitch of skinned applications: its
// grass, ball and player markers are named pictures of the registered
// template store. Whatever the store does not have (or no store at all)
// the pitch draws as the plain WM_FOOTBALL_PITCH does.
#include <cstdint>
#include <string>

#include "wm_football_pitch.h"

// The store's picture names and how many frames they hold.
struct PITCH_IMAGE_NAMES {
  const char* surface = nullptr;      // tiled over the grass
  const char* ball_prefix = nullptr;  // "<prefix>1" .. "<prefix><count>", lowest to highest
  int16_t ball_frames = 1;            // frames side by side in each ball picture
  int16_t ball_image_count = 0;
  const char* marker = nullptr;  // recoloured for each marker kind
  int16_t marker_frames = 1;     // one per direction step
};

class WM_PM_FOOTBALL_PITCH : public WM_FOOTBALL_PITCH {
public:
  // Negative frame counts become 0, which draws as one frame.
  WM_PM_FOOTBALL_PITCH(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                       const WM_PITCH_SETTINGS* settings, uint8_t markings_option,
                       int16_t players_per_team, const PITCH_IMAGE_NAMES& names);
  ~WM_PM_FOOTBALL_PITCH() override;

protected:
  void draw_surface() override;
  void make_ball_images() override;
  void make_player_markers() override;

private:
  std::string surface_name;
  std::string ball_prefix;
  std::string marker_name;
  int16_t marker_frame_count = 0;
  int16_t ball_frame_count = 0;
  int16_t ball_image_count = 0;
};
