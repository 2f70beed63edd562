#pragma once
// WM_FOOTBALL_PITCH draws a football pitch to scale, lying across or
// upright in its rectangle: random grass with mowing stripes or rings, the
// standard markings, two teams of numbered markers facing their directions
// and a ball with height, shadow and roll frames. Players and ball glide to
// new positions on the toolkit's frame clock. Positions are given in tenths
// of the pitch unit.
#include <cstdint>
#include <memory>
#include <vector>

#include "image.h"
#include "random.h"
#include "rect.h"
#include "wm_screen_object.h"

// Copied by the pitch; the default, all-zero record draws grass only.
struct WM_PITCH_SETTINGS {
  uint16_t flags = 0;  // pitch_flag bits
  int16_t length = 0;  // playing area and grass border, in pitch units
  int16_t width = 0;
  int16_t margin = 0;
  int16_t goal_depth = 0;  // 0: no goals drawn
  int16_t goal_width = 0;
  int16_t line_width = 0;   // tenths of a unit
  int16_t marker_size = 0;  // pixels
  int16_t ball_size = 0;    // pixels
  uint8_t font = 0;         // 255: the surface's default
  uint8_t spare_1 = 0;
  uint16_t font_x_size = 0;  // 65535: the surface's default
  uint16_t font_y_size = 0;
  uint8_t ground = 0;   // grass kind bits 1 .. 32
  uint8_t stripes = 0;  // 1, 2: mowing stripes; 4: rings
  uint8_t spare_2 = 0;
  uint8_t spare_3 = 0;
  COLOUR line_colour = 0;
  COLOUR line_colour_ground_16 = 0;
  COLOUR third_line_colour = 0;
  COLOUR text_colour = 0;            // text background and rectangle labels
  COLOUR marker_colours[4][3] = {};  // per marker kind: fill, inner, outline
  COLOUR ball_colour = 0;
  uint16_t roll_step = 0;       // pixels of travel per ball frame; 0 counts as 1
  int16_t max_ball_height = 0;  // 0: no shadow, first ball image only
  int16_t shadow_offset = 0;    // pixels at the maximum height
  int16_t shadow_alpha = 0;
  uint8_t small_sided = 0;
  uint16_t arc_radius = 0;  // units, small-sided
  uint8_t small_sided_centre = 0;
  uint8_t spare_4 = 0;
};

namespace pitch_flag {
constexpr uint16_t TEAM_0_BOX = 0x1;
constexpr uint16_t TEAM_1_BOX = 0x2;
constexpr uint16_t BOX_SIZES = 0x4;
constexpr uint16_t ALIGN_TOP = 0x8;
constexpr uint16_t ALIGN_BOTTOM = 0x10;
constexpr uint16_t ALIGN_LEFT = 0x20;
constexpr uint16_t ALIGN_RIGHT = 0x40;
constexpr uint16_t PORTRAIT = 0x100;
constexpr uint16_t LANDSCAPE = 0x200;
constexpr uint16_t DIRECTIONS = 0x8000;
}  // namespace pitch_flag

struct WM_PITCH_PLAYER {
  static constexpr int16_t NOT_PLACED = -32768;
  int16_t x = NOT_PLACED;  // relative to the widget
  int16_t y = NOT_PLACED;
  uint8_t alternate = 0;  // second marker kind, outside the team's box
  uint8_t opacity = 255;
  uint16_t direction = 0;  // degrees as drawn (turned in landscape)
  int16_t start_x = 0, start_y = 0;
  int16_t target_x = 0, target_y = 0;
  uint32_t duration = 0;  // ms; 0 = not moving
  uint32_t start_time = 0;
  int16_t number = -1;  // shirt number; -1 = none shown
  bool placed() const { return x != NOT_PLACED; }
};

struct POINT16 {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const POINT16&) const = default;
};

class WM_FOOTBALL_PITCH : public WM_SCREEN_OBJECT {
public:
  // Inclusive corners; null settings are an all-zero record.
  WM_FOOTBALL_PITCH(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                    const WM_PITCH_SETTINGS* settings, uint8_t markings_option,
                    int16_t players_per_team);
  ~WM_FOOTBALL_PITCH() override;

  int32_t update(bool overlays) override;
  bool is_selectable() override { return false; }
  void draw() override;

  // Widget-relative pixel offsets of a pitch position (tenths of a unit).
  POINT16 to_screen(int32_t px, int32_t py) const;
  // Points 1 .. 13 (corners, centre, penalty and goal areas, spots),
  // relative to the widget; (-1, -1) for another number.
  POINT16 landmark(int32_t point) const;

  // A position outside the accepted range takes the player off the pitch.
  // With a duration the player glides there from where it stands.
  void set_player(int32_t team, int32_t index, int32_t px, int32_t py, uint16_t direction,
                  bool alternate, uint32_t duration_ms);
  // Widget-relative; (-1, -1) when unplaced or for a bad team or index.
  POINT16 get_player_position(int32_t team, int32_t index, bool target) const;
  void set_player_state(int32_t team, int32_t index, uint8_t opacity);
  int32_t get_player_state(int32_t team, int32_t index) const;  // -1 for a bad index

  // Outside the accepted range the ball leaves the pitch. Height in tenths.
  void set_ball(int32_t px, int32_t py, int32_t height, uint32_t duration_ms);
  // Widget-relative; (65535, 65535) when there is no ball.
  POINT16 get_ball_position(bool target) const;
  int32_t get_ball_height() const { return ball.height; }
  void set_ball_alpha(uint8_t a);
  uint8_t get_ball_alpha() const { return ball.alpha; }

  // The kind's first frame with the shirt number index + 1 (none for -1).
  void make_numbered_marker(int32_t kind, IMAGE* image, int32_t index) const;
  void copy_ball_frame(IMAGE* image) const;

  const WM_PITCH_SETTINGS& get_settings() const { return settings; }
  const IMAGE& get_surface() const { return surface; }
  bool is_portrait() const { return portrait != 0; }
  int32_t get_pitch_width() const { return pitch_w; }
  int32_t get_pitch_height() const { return pitch_h; }
  double get_scale() const { return scale; }
  int32_t get_marker_size() const { return marker_size; }
  int32_t get_ball_size() const { return ball_size; }
  // The pixel offset of the ball's shadow at the ball's current height.
  int32_t shadow_offset() const { return shadow_offset_at(ball.height); }
  // The players' box of a team as last laid out (empty when none).
  RECT team_box(int32_t team) const { return team_boxes[team & 1]; }

  // Test seam: a fixed seed for the grass (and the draws that choose it);
  // negative restores seeding from the time.
  static void set_grass_seed(int64_t seed);

protected:
  // For subclasses whose image slots must take part: they call init
  // themselves once constructed.
  WM_FOOTBALL_PITCH();
  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_PITCH_SETTINGS* settings,
            uint8_t markings_option, int16_t players_per_team);
  virtual void draw_surface();
  virtual void make_ball_images();
  virtual void make_player_markers();
  void draw_grass();
  void make_default_ball();
  void make_default_markers();
  // Frames of a strip: each frame_size wide; a count of 0 counts as 1.
  static int32_t frame_size(const IMAGE& strip, int32_t frames);

  WM_PITCH_SETTINGS settings;
  IMAGE surface;
  std::vector<std::unique_ptr<IMAGE>> ball_images;
  int32_t ball_frames = 1;  // per ball image
  IMAGE markers[4];         // per marker kind; frames side by side
  int32_t marker_frames = 1;
  int32_t marker_size = 0;
  int32_t ball_size = 0;

private:
  struct BALL {
    int16_t x = WM_PITCH_PLAYER::NOT_PLACED;
    int16_t y = WM_PITCH_PLAYER::NOT_PLACED;
    int16_t height = 0;
    uint8_t alpha = 255;
    int16_t start_x = 0, start_y = 0, start_height = 0;
    int16_t target_x = 0, target_y = 0, target_height = 0;
    uint32_t duration = 0;
    uint32_t start_time = 0;
    bool placed() const { return x != WM_PITCH_PLAYER::NOT_PLACED; }
  };
  // The playing area's edges inside the widget (inclusive).
  struct FRAME {
    int32_t left, top, right, bottom, cx, cy;
  };

  bool has_pitch() const { return pitch_ok != 0; }
  FRAME frame() const;
  int32_t units(double u) const;  // trunc(u x s)
  void fit();
  void draw_stripes();
  void draw_markings();
  uint8_t stripe_alpha();
  WM_PITCH_PLAYER* player(int32_t team, int32_t index);
  const WM_PITCH_PLAYER* player(int32_t team, int32_t index) const;
  RECT marker_rect(const WM_PITCH_PLAYER& p) const;  // widget-relative, with its number
  // The shirt number's text and where it is drawn, centred on the marker
  // (widget-relative); empty for a player without a number.
  RECT number_box(const WM_PITCH_PLAYER& p, IMAGE* s, char (&text)[8]) const;
  RECT ball_rect(int32_t bx, int32_t by, int32_t height) const;
  // The picture strip the ball shows at a height; null without pictures.
  const IMAGE* ball_strip_at(int32_t height) const;
  // Around the shadow's disc at a height (whether it is drawn or not).
  RECT shadow_rect(int32_t bx, int32_t by, int32_t height) const;
  int32_t shadow_offset_at(int32_t height) const;
  void invalidate_local(const RECT& r);
  void layout_team_box(int32_t team);
  RECT box_with_labels(int32_t team) const;
  void draw_players(IMAGE* s);
  void draw_team_box(IMAGE* s, int32_t team);
  void draw_ball(IMAGE* s);
  // Copies the area aside before drawing something translucent, then lays
  // the copy back over it by the opacity.
  static void save_under(IMAGE& under, IMAGE* s, int32_t x1, int32_t y1, int32_t size);
  static void restore_under(IMAGE& under, IMAGE* s, int32_t x1, int32_t y1, uint8_t opacity);

  uint8_t portrait = 0;
  uint8_t pitch_ok = 0;  // L + 2m and W + 2m are positive
  uint8_t ground = 0;    // the grass kind the ground bits chose
  int32_t pitch_w = 0, pitch_h = 0;
  int32_t area_x = 0, area_y = 0;  // the fitted pitch inside the widget
  double scale = 0.0;              // pixels per unit
  uint8_t markings_option = 0;
  int16_t players_per_team = 0;
  std::vector<WM_PITCH_PLAYER> teams[2];
  RECT team_boxes[2];
  BALL ball;
  int16_t origin_x = 0, origin_y = 0;
  RANDOM random;
  // What lay under a translucent marker or ball, kept at their sizes so
  // that drawing allocates nothing once warm.
  IMAGE under_marker;
  IMAGE under_ball;

  static int64_t grass_seed;
};
