// The football pitch in memory: the fit, pitch-to-screen positions, the 13
// landmarks and the accepted ranges in both orientations at two scales;
// lines at the landmarks, grass within its palette, mowing stripes and
// rings; players and ball gliding on the frame clock, the ball's shadow by
// height and opacity; the store variant's pictures; degenerate settings.
#include "wm_football_pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "picture_compare.h"
#include "wm_pm_football_pitch.h"
#include "wm_ptm_app_info.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR LINE = 0xFFFFFFFF;
constexpr COLOUR TEAM_FILL[4] = {0xFFD02020, 0xFF2020D0, 0xFFE0E000, 0xFF00E0E0};

WM_PITCH_SETTINGS standard() {
  WM_PITCH_SETTINGS s;
  s.length = 110;
  s.width = 70;
  s.margin = 5;
  s.goal_depth = 2;
  s.goal_width = 8;
  s.line_width = 10;
  s.marker_size = 16;
  s.ball_size = 10;
  s.font = 255;
  s.font_x_size = 65535;
  s.font_y_size = 9;
  s.line_colour = LINE;
  s.line_colour_ground_16 = LINE;
  s.third_line_colour = 0xFF808080;
  s.text_colour = 0xFF000000;
  for (int k = 0; k < 4; ++k) {
    s.marker_colours[k][0] = TEAM_FILL[k];
    s.marker_colours[k][1] = 0xFFFFFFFF;
    s.marker_colours[k][2] = 0xFF000000;
  }
  s.ball_colour = 0xFFF0F0F0;
  s.roll_step = 4;
  s.max_ball_height = 100;
  s.shadow_offset = 20;
  s.shadow_alpha = 128;
  return s;
}

COLOUR at(const IMAGE& image, int32_t px, int32_t py) {
  COLOUR c = 0;
  image.get_pixel(static_cast<int16_t>(px), static_cast<int16_t>(py), &c);
  return c;
}

class Pitch : public wm_test::TextSkinTest {
protected:
  Pitch() : TextSkinTest("pitch_test", 1000, 900) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    WM_FOOTBALL_PITCH::set_grass_seed(1234);
    WM_SCREEN_OBJECT::set_frame_clock(5000);
  }
  void TearDown() override {
    WM_FOOTBALL_PITCH::set_grass_seed(-1);
    TextSkinTest::TearDown();
  }
  static std::unique_ptr<WM_FOOTBALL_PITCH> make(int w, int h, const WM_PITCH_SETTINGS& s) {
    return std::make_unique<WM_FOOTBALL_PITCH>(0, 0, static_cast<int16_t>(w - 1),
                                               static_cast<int16_t>(h - 1), &s, 0, 11);
  }
  static COLOUR screen(int32_t px, int32_t py) {
    return wm_test::pixel(static_cast<int16_t>(px), static_cast<int16_t>(py));
  }
  void draw(WM_FOOTBALL_PITCH& p) {
    get_screen_image()->set_clip_rect(0, 0, 999, 899);
    p.draw();
  }
};

// 110 x 70 with a margin of 5 fits as 120 x 80 units (80 x 120 upright),
// full width unless that is too tall, centred; the play area starts the
// truncated margin in and ends a pixel short of it. Worked out by hand:
// 400 x 300 -> 400 x 266 at 10/3 px a unit, margin 16, area from y = 17.
struct FIT_CASE {
  int32_t w, h;
  uint16_t flags;
  bool portrait;
  int32_t pw, ph, left, top, right, bottom, cx, cy;
  POINT16 point5, point9, point13, origin, far;  // far: to_screen(L, W)
};

const FIT_CASE fit_cases[] = {
    {400, 300, 0, false, 400, 266, 16, 33, 382, 265, 199, 149, {76, 222}, {322, 76}, {342, 149}, {16, 33}, {382, 266}},
    {800, 600, 0, false, 800, 533, 33, 66, 765, 531, 399, 299, {153, 445}, {645, 153}, {685, 299}, {33, 66}, {766, 532}},
    {300, 400, 0, true, 266, 400, 33, 16, 265, 382, 149, 199, {222, 75}, {76, 323}, {149, 343}, {33, 381}, {265, 16}},
    {600, 800, 0, true, 533, 800, 66, 33, 531, 765, 299, 399, {445, 152}, {153, 646}, {299, 686}, {66, 765}, {532, 33}},
    {300, 400, 0x200, false, 300, 200, 12, 112, 286, 286, 149, 199, {57, 254}, {241, 144}, {256, 199}, {12, 112}, {287, 287}},
    {900, 400, 0x100, true, 266, 400, 333, 16, 565, 382, 449, 199, {522, 75}, {376, 323}, {449, 343}, {333, 381}, {565, 16}},
};

}  // namespace

TEST_F(Pitch, FitPositionsLandmarksAndAcceptedRangesInBothOrientations) {
  for (const FIT_CASE& c : fit_cases) {
    WM_PITCH_SETTINGS st = standard();
    st.flags = c.flags;
    auto p = make(c.w, c.h, st);
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    ASSERT_EQ(p->is_portrait(), c.portrait);
    EXPECT_EQ(std::pair(p->get_pitch_width(), p->get_pitch_height()), std::pair(c.pw, c.ph));
    const int32_t L = 10 * st.length, W = 10 * st.width;
    EXPECT_EQ((std::vector<POINT16>{p->landmark(1), p->landmark(2), p->landmark(3), p->landmark(5), p->landmark(9),
                                    p->landmark(13), p->to_screen(0, 0), p->to_screen(L, W)}),
              (std::vector<POINT16>{{c.left, c.top}, {c.right, c.bottom}, {c.cx, c.cy}, c.point5, c.point9, c.point13,
                                    c.origin, c.far}));
    // The penalty spot 12 units from the origin's goal line lies at its
    // landmark, to within the truncations.
    const POINT16 spot = p->to_screen(120, W / 2);
    const POINT16 mark = p->landmark(c.portrait ? 13 : 8);
    EXPECT_LE(std::abs(spot.x - mark.x) + std::abs(spot.y - mark.y), 2);

    // Players reach margin + goal depth beyond the lines, the ball the goal
    // depth beyond the goal lines and the margin beyond the touchlines.
    const int32_t reach = 10 * (st.margin + st.goal_depth);
    struct RANGE {
      int32_t x, y;
      bool player, ball;
    };
    const int32_t g = 10 * st.goal_depth, mg = 10 * st.margin;
    const RANGE ranges[] = {{-reach, 0, true, false},
                            {-reach - 1, 0, false, false},
                            {L + reach - 1, W, true, false},
                            {L + reach, W, false, false},
                            {0, -reach, true, false},
                            {0, -reach - 1, false, false},
                            {L, W + reach - 1, true, false},
                            {L, W + reach, false, false},
                            {-g, -mg, true, true},
                            {-g - 1, 0, true, false},
                            {L + g - 1, W + mg - 1, true, true},
                            {L + g, 0, true, false},
                            {0, W + mg, true, false},
                            {0, -mg - 1, true, false}};
    for (const RANGE& r : ranges) {
      p->set_player(1, 3, r.x, r.y, 0, false, 0);
      p->set_ball(r.x, r.y, 0, 0);
      const POINT16 none{-1, -1}, no_ball{65535, 65535};
      EXPECT_EQ(p->get_player_position(1, 3, false) != none, r.player) << r.x << "," << r.y;
      EXPECT_EQ(p->get_ball_position(false) != no_ball, r.ball) << r.x << "," << r.y;
      if (r.player) { EXPECT_EQ(p->get_player_position(1, 3, false), p->to_screen(r.x, r.y)); }
    }
  }
}

TEST_F(Pitch, LinesLieAtEveryLandmarkAndGrassStaysInItsPalette) {
  struct GRASS {
    uint8_t ground;
    int32_t base, p[7];
    int64_t seed = 1234;
  };
  // Ground bits 0, 1, 16, 2, 8, 2 + 8 and 32: plain grass (offset 5),
  // palette A (offset 2), the ground-16 palette, palette B (offset 1), A
  // (offset 2), A (offset 1) and the ground-32 palette. Bit 4 takes B when
  // the seed's first draw from 0 .. 9 is 6 or more: seed 3 draws 6,
  // seed 13 draws 5 (plain grass).
  const GRASS kinds[] = {{0, 35, {30, 47, 31, 84, 24, 33, 0}},
                         {1, 32, {30, 47, 31, 84, 24, 33, 0}},
                         {16, 118, {118, 80, 20, 77, 35, 75, 35}},
                         {2, 44, {43, 35, 20, 47, 35, 33, 25}},
                         {8, 32, {30, 47, 31, 84, 24, 33, 0}},
                         {10, 31, {30, 47, 31, 84, 24, 33, 0}},
                         {32, 102, {102, 41, 29, 55, 43, 31, 0}},
                         {4, 44, {43, 35, 20, 47, 35, 33, 25}, 3},
                         {4, 35, {30, 47, 31, 84, 24, 33, 0}, 13}};
  for (const GRASS& g : kinds) {
    WM_FOOTBALL_PITCH::set_grass_seed(g.seed);
    WM_PITCH_SETTINGS st = standard();
    st.ground = g.ground;
    for (const bool portrait : {false, true}) {
      auto p = portrait ? make(500, 700, st) : make(700, 500, st);
      const IMAGE& surface = p->get_surface();
      for (int k = 1; k <= 13; ++k) {
        const POINT16 q = p->landmark(k);
        const COLOUR c = at(surface, q.x, q.y);
        // Ground 1 draws its lines two-thirds opaque.
        if (g.ground & 1) {
          EXPECT_GT((c & 0xFF), 150u) << "point " << k;
        } else {
          EXPECT_EQ(c, LINE) << "point " << k << " ground " << int(g.ground);
        }
      }
      // Grass between the lines: the penalty area's inside and the margin,
      // whose top rows are many pixels, enough to reach both ends of each
      // channel's range.
      const POINT16 a = p->landmark(3), b = p->landmark(1);
      std::vector<POINT16> grass{POINT16{(a.x + b.x) / 2 + 3, (a.y + b.y) / 2 + 3}};
      for (int16_t y = 0; y < 3; ++y)
        for (int16_t x = 0; x < surface.width / 4; ++x) grass.push_back({x, y});
      int32_t low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
      for (const POINT16 q : grass) {
        const COLOUR c = at(surface, q.x, q.y);
        EXPECT_EQ(c >> 24, 0xFFu);
        for (int k = 0; k < 3; ++k) {
          const int32_t v = (c >> (16 - 8 * k)) & 0xFF;
          low[k] = std::min(low[k], v);
          high[k] = std::max(high[k], v);
        }
      }
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(low[k], g.base + g.p[1 + 2 * k]) << "channel " << k;
        EXPECT_EQ(high[k], g.base + g.p[1 + 2 * k] + std::max(g.p[2 + 2 * k] - 1, 0)) << "channel " << k;
      }
    }
  }
  // Small-sided: no penalty boxes; a spot 8 units out and an arc of the
  // given radius round each goal.
  WM_PITCH_SETTINGS st = standard();
  st.small_sided = 1;
  st.arc_radius = 20;
  auto p = make(700, 500, st);
  const int32_t L = 10 * st.length, W = 10 * st.width;
  for (const int32_t along : {80, 200, L - 80, L - 200}) {
    const POINT16 q = p->to_screen(along, W / 2);
    EXPECT_EQ(at(p->get_surface(), q.x, q.y), LINE) << along;
  }
  const POINT16 box = p->to_screen(180, W / 2 + 220);  // a big pitch's box corner
  EXPECT_NE(at(p->get_surface(), box.x, box.y), LINE);
}

TEST_F(Pitch, StripesAndRingsDarkenAlternateBandsOfTheSameGrass) {
  WM_PITCH_SETTINGS st = standard();
  st.line_colour = 0;  // unset: no lines in the way
  auto plain = make(680, 340, st);
  st.stripes = 1;  // landscape: bands across the height
  auto rows = make(680, 340, st);
  st.stripes = 4;
  auto rings = make(680, 340, st);
  const COLOUR black = 0xFF000000;
  auto darker = [&](COLOUR c, uint8_t a) {
    blend_colour(&c, &black, a);
    return c;
  };
  const IMAGE &p = plain->get_surface(), &r = rows->get_surface(), &g = rings->get_surface();
  // 340 / 17 = 20 pixels a band: rows 0..19 striped, 20..39 not.
  EXPECT_EQ(at(r, 100, 5), darker(at(p, 100, 5), 0x0F));
  EXPECT_EQ(at(r, 100, 25), at(p, 100, 25));
  EXPECT_EQ(at(r, 100, 45), darker(at(p, 100, 45), 0x0F));
  // Rings: D = 680; the innermost disc (k = 1, radius 20) stays plain, the
  // ring k = 2 (radius 20 .. 60) is darkened.
  EXPECT_EQ(at(g, 340, 170), at(p, 340, 170));
  EXPECT_EQ(at(g, 340 + 40, 170), darker(at(p, 340 + 40, 170), 0x0F));
  EXPECT_EQ(at(g, 340 + 80, 170), at(p, 340 + 80, 170));
  // Upright, stripe bit 1 runs the bands along the width instead.
  st.stripes = 0;
  auto upright = make(340, 680, st);
  st.stripes = 1;
  auto columns = make(340, 680, st);
  const IMAGE &u = upright->get_surface(), &c = columns->get_surface();
  EXPECT_EQ(at(c, 5, 100), darker(at(u, 5, 100), 0x0F));
  EXPECT_EQ(at(c, 25, 100), at(u, 25, 100));
}

TEST_F(Pitch, PlayersGlideOnTheFrameClockAndShowByTheirOpacity) {
  WM_PITCH_SETTINGS st = standard();
  st.flags = pitch_flag::TEAM_0_BOX | pitch_flag::BOX_SIZES | pitch_flag::DIRECTIONS;
  st.marker_colours[3][1] = 0x80FFFFFF;
  auto p = make(800, 600, st);
  p->set_player(0, 0, 100, 100, 0, false, 0);
  p->set_player(0, 1, 500, 300, 90, false, 0);
  const POINT16 from = p->get_player_position(0, 0, false);
  p->set_player(0, 0, 900, 500, 0, false, 1000);
  const POINT16 to = p->to_screen(900, 500);
  EXPECT_EQ(p->get_player_position(0, 0, true), to);
  EXPECT_EQ(p->get_player_position(0, 0, false), from);
  WM_SCREEN_OBJECT::set_frame_clock(5500);
  p->update(false);
  EXPECT_EQ(p->get_player_position(0, 0, false), (POINT16{from.x + (to.x - from.x) / 2, from.y + (to.y - from.y) / 2}));
  WM_SCREEN_OBJECT::set_frame_clock(6000);
  p->update(false);
  EXPECT_EQ(p->get_player_position(0, 0, false), to);

  // The marker's fill shows beside its number; at opacity 0 the grass does.
  const int32_t s = p->get_marker_size();
  // Inside the outline, beside the number.
  const int32_t mx = to.x - s / 4, my = to.y;
  draw(*p);
  EXPECT_EQ(screen(mx, my), TEAM_FILL[0]);
  p->set_player_state(0, 0, 0);
  EXPECT_EQ(p->get_player_state(0, 0), 0);
  draw(*p);
  EXPECT_EQ(screen(mx, my), at(p->get_surface(), mx, my));
  p->set_player_state(0, 0, 128);
  draw(*p);
  COLOUR half = TEAM_FILL[0];
  COLOUR grass = at(p->get_surface(), mx, my);
  blend_colour(&half, &grass, 127);
  EXPECT_EQ(screen(mx, my), half);
  // The team's box holds both markers; bad indexes are refused.
  const RECT box = p->team_box(0);
  EXPECT_TRUE(box.contains(RECT::sized(to.x - s / 2, to.y - s / 2, s, s)));
  EXPECT_EQ(screen(box.x1, box.y1), TEAM_FILL[0]);  // outlined in the team's fill
  EXPECT_EQ(std::pair(p->get_player_state(2, 0), p->get_player_state(0, 11)), std::pair(-1, -1));
  // Lying across, 359 degrees turns to 89: the direction line, half the marker
  // long, reaches trunc(8 sin 89) = 7 pixels up, not 8; 269 turns to 359, 7 to the right.
  p->set_player(1, 0, 300, 600, 359, false, 0);
  p->set_player(1, 1, 700, 600, 359, true, 0);  // the alternate look: a see-through line
  p->set_player(1, 2, 500, 300, 269, false, 0);
  draw(*p);
  const POINT16 q = p->get_player_position(1, 0, false), r = p->get_player_position(1, 1, false), t = p->get_player_position(1, 2, false);
  for (const auto& [px, py, white] : {std::tuple{q.x, q.y - 7, true}, {q.x, q.y - 8, false}, {t.x + 7, t.y, true}, {t.x + 8, t.y, false}})
    EXPECT_EQ(screen(px, py) == 0xFFFFFFFFu, white) << px << "," << py;
  EXPECT_EQ(screen(r.x, r.y - 6), 0xFF7F7F7Fu);  // half white blended over the black outline
}

TEST_F(Pitch, TheBallRisesWithItsShadowMovingAwayByHeightAndOpacity) {
  auto p = make(800, 600, standard());
  p->set_ball(550, 350, 0, 0);
  const POINT16 b = p->get_ball_position(false);
  EXPECT_EQ(p->shadow_offset(), 0);
  p->set_ball(550, 350, 100, 1000);
  WM_SCREEN_OBJECT::set_frame_clock(5500);
  p->update(false);
  EXPECT_EQ(p->get_ball_height(), 50);
  EXPECT_EQ(p->shadow_offset(), 10);
  WM_SCREEN_OBJECT::set_frame_clock(7000);
  p->update(false);
  EXPECT_EQ(p->shadow_offset(), 20);  // the full offset at the maximum height
  // The shadow (radius 5 x 5 / 6 = 4) is centred on the ball frame's
  // top-left corner moved by the offset: (b.x - 5 + 20, b.y - 5 + 20).
  const COLOUR grass = at(p->get_surface(), b.x + 15, b.y + 15);
  draw(*p);
  COLOUR shaded = grass;
  const COLOUR black = 0xFF000000;
  blend_colour(&shaded, &black, 128);
  for (const auto& [dx, dy] : {std::pair{15, 15}, {12, 15}, {18, 15}, {15, 12}, {15, 18}}) {
    COLOUR under = at(p->get_surface(), b.x + dx, b.y + dy);
    blend_colour(&under, &black, 128);
    EXPECT_EQ(screen(b.x + dx, b.y + dy), under) << dx << "," << dy;
  }
  for (const auto& [dx, dy] : {std::pair{20, 20}, {10, 15}, {15, 20}})
    EXPECT_EQ(screen(b.x + dx, b.y + dy), at(p->get_surface(), b.x + dx, b.y + dy)) << dx << "," << dy;
  EXPECT_EQ(screen(b.x, b.y), 0xFFF0F0F0u);
  p->set_ball_alpha(64);
  draw(*p);
  shaded = grass;
  blend_colour(&shaded, &black, 64 * 128 / 255);
  EXPECT_EQ(screen(b.x + 15, b.y + 15), shaded);
  IMAGE frame;
  p->copy_ball_frame(&frame);
  EXPECT_TRUE(test_support::picture_matches_reference("extra2", "pitch_ball_frame", frame));
  IMAGE marker;
  p->make_numbered_marker(1, &marker, -1);
  EXPECT_TRUE(test_support::picture_matches_reference("extra2", "pitch_marker_plain", marker));
  p->make_numbered_marker(0, &marker, 6);
  EXPECT_TRUE(test_support::picture_matches_reference("extra2", "pitch_marker_7", marker));
  p->make_numbered_marker(0, &marker, 10);  // numbers run 1 .. 11
  EXPECT_EQ(marker.width, 16);
  IMAGE none;  // kinds are 0 .. 3, indexes -1 (no number) .. 10
  for (const auto& [kind, index] : {std::pair{4, -1}, {-1, 0}, {0, -2}, {0, 11}})
    p->make_numbered_marker(kind, &none, index);
  EXPECT_EQ(none.width, 0);
}

TEST_F(Pitch, DegenerateSettingsDrawGrassOnlyAndTakeNoPlayers) {
  WM_FOOTBALL_PITCH p(10, 10, 209, 109, nullptr, 0, 5);
  const IMAGE& s = p.get_surface();
  EXPECT_EQ(s.width, 200);
  EXPECT_EQ(at(s, 100, 50) >> 24, 0xFFu);
  p.set_player(0, 0, 0, 0, 0, false, 0);
  p.set_ball(0, 0, 0, 0);
  EXPECT_EQ(p.get_player_position(0, 0, false), (POINT16{-1, -1}));
  EXPECT_EQ(p.get_ball_position(false), (POINT16{65535, 65535}));
  static const WM_PITCH_SETTINGS none{};  // what a caller starts from: all zeros
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&none), sizeof none), std::string(sizeof none, '\0'));
  // Without a pitch its corners are the widget's top-left and a pixel short,
  // and every place lies at the top-left.
  EXPECT_EQ((std::vector<POINT16>{p.landmark(1), p.landmark(2), p.to_screen(500, 300)}),
            (std::vector<POINT16>{{0, 0}, {-1, -1}, {0, 0}}));
  draw(p);
  EXPECT_EQ(screen(110, 60), at(s, 100, 50));
}

// ---- The store variant ---------------------------------------------------

class StorePitch : public Pitch {
protected:
  // A one-colour picture of that size in the store under that name.
  void add(WM_PTM_APP_INFO& store, const char* name, int16_t w, int16_t h, COLOUR c, COLOUR right_half = 0) {
    IMAGE picture(w, h);
    picture.fill_rect_solid(0, 0, w - 1, h - 1, &c);
    if (right_half) picture.fill_rect_solid(w / 2, 0, w - 1, h - 1, &right_half);
    const std::string file = std::string(name) + ".png";
    save_png(file, picture);
    WM_PTM_IMAGE_INFO* info = store.add_image();
    info->set_name(name);
    info->set_file_name(file.c_str());
    ASSERT_TRUE(skin.get_path_text(info->folder, sizeof info->folder, nullptr));
  }
};

TEST_F(StorePitch, TheVariantTakesTheStoresPicturesAndFallsBackWithoutThem) {
  WM_PITCH_SETTINGS st = standard();
  st.line_colour = 0;
  st.roll_step = 0;
  const PITCH_IMAGE_NAMES names{"turf", "ball", 2, 2, "marker", 4};
  {
    // No store: the plain pitch's grass, ball and markers.
    WM_PM_FOOTBALL_PITCH p(0, 0, 399, 299, &st, 0, 11, names);
    EXPECT_EQ(p.get_ball_size(), 10);
    EXPECT_EQ(p.get_marker_size(), 16);
    EXPECT_NE(at(p.get_surface(), 7, 7), 0xFF00A000u);
  }
  WM_PTM_APP_INFO store;
  add(store, "turf", 8, 8, 0xFF00A000);
  add(store, "ball1", 24, 12, 0xFFFFFFFF, 0xFF123456);
  add(store, "ball2", 28, 14, 0xFFFFFFFF);
  // A strip of four 20 x 20 frames, pure red: recoloured to the fill.
  add(store, "marker", 80, 20, 0xFFFF0000);
  WM_PM_FOOTBALL_PITCH p(0, 0, 399, 299, &st, 0, 11, names);
  EXPECT_TRUE(p.visible);  // shown on its page from the start
  EXPECT_EQ(at(p.get_surface(), 0, 0), 0xFF00A000u);
  EXPECT_EQ(at(p.get_surface(), 399, 299), 0xFF00A000u);
  EXPECT_EQ(p.get_ball_size(), 14);
  EXPECT_EQ(p.get_marker_size(), 20);
  IMAGE frame;
  p.copy_ball_frame(&frame);
  EXPECT_EQ(frame.width, 12);
  IMAGE marker;
  p.make_numbered_marker(2, &marker, -1);
  EXPECT_EQ(marker.width, 20);
  EXPECT_EQ(at(marker, 10, 10), TEAM_FILL[2]);
  p.set_player(0, 0, 550, 350, 270, false, 0);  // lying across, 270 turns to 0: the first frame
  const POINT16 q = p.get_player_position(0, 0, false);
  draw(p);
  EXPECT_EQ(screen(q.x - 8, q.y), TEAM_FILL[0]);
  // A roll step of 0 rolls a frame a pixel: the strip's halves take turns.
  std::vector<COLOUR> centres;
  for (const int wx : {600, 603, 606}) {  // ball centre x 216, 217, 218
    p.set_ball(wx, 300, 0, 0);
    draw(p);
    const POINT16 b = p.get_ball_position(false);
    centres.push_back(screen(b.x, b.y));
  }
  EXPECT_EQ(centres, (std::vector<COLOUR>{0xFF123456, 0xFFFFFFFF, 0xFF123456}));
}

TEST_F(StorePitch, ZeroFrameCountsRollStepAndMaximumHeightDrawOneFrameWithoutShadow) {
  WM_PITCH_SETTINGS st = standard();
  st.roll_step = 0;
  st.max_ball_height = 0;
  // Names of their own: the toolkit's image cache outlives each test.
  WM_PTM_APP_INFO store;
  add(store, "pebble1", 12, 12, 0xFFFFFFFF);
  add(store, "pebble2", 20, 20, 0xFF00FF00);
  add(store, "disc", 20, 20, 0xFF00FF00);  // pure green: recoloured to the inner colour
  const PITCH_IMAGE_NAMES names{nullptr, "pebble", 0, 2, "disc", -3};
  WM_PM_FOOTBALL_PITCH p(0, 0, 399, 299, &st, 0, 11, names);
  IMAGE frame;
  p.copy_ball_frame(&frame);
  EXPECT_EQ(frame.width, 12);  // the whole first picture is one frame
  p.set_ball(-10, 350, 500, 0);
  p.set_player(1, 0, 550, 350, 200, false, 0);
  EXPECT_EQ(p.shadow_offset(), 0);
  draw(p);
  // The lowest picture whatever the height, and no shadow.
  const POINT16 b = p.get_ball_position(false);
  EXPECT_EQ(screen(b.x, b.y), 0xFFFFFFFFu);
  EXPECT_EQ(screen(b.x + 8, b.y + 8), at(p.get_surface(), b.x + 8, b.y + 8));
  const POINT16 q = p.get_player_position(1, 0, false);
  EXPECT_EQ(screen(q.x - 8, q.y), st.marker_colours[1][1]);
}

// Whole scenes against reference pictures: grass, stripes or rings, every
// marking, both teams (one in its box with sizes), directions and the ball
// in the air with its shadow, lying across and upright.
TEST_F(Pitch, WholeScenesMatchTheirReferencePictures) {
  const struct {
    const char* name;
    int w, h;
    uint16_t flags;
    uint8_t ground, stripes, small_sided, option;
    int32_t ball_height;  // 0: on the grass, no shadow
  } scenes[] = {
      {"across", 480, 320, 0x8007, 1, 1, 0, 1, 60},
      {"upright", 300, 460, 0x0112, 16, 4, 1, 0, 60},
      {"across_striped_down", 460, 300, 0x0048, 0, 2, 0, 0, 0},
      {"small_translucent", 400, 300, 0, 1, 0, 0, 0, 0},  // rings round a one-pixel hole
      // Grass palettes B (ground 2), A at offset 1 (2 + 8) and 32 with their stripe strengths.
      {"ground_b", 240, 160, 0, 2, 1, 0, 0, 0},   {"ground_a1", 240, 160, 0, 10, 4, 0, 0, 0},
      {"ground_32", 240, 160, 0, 32, 2, 0, 0, 0},
      {"tiny_rings", 72, 72, 0, 0, 4, 0, 0, 0},  // the outermost ring at two-thirds of the size, 48, shows
  };
  for (const auto& c : scenes) {
    WM_PITCH_SETTINGS st = standard();
    st.flags = c.flags;
    st.ground = c.ground;
    st.stripes = c.stripes;
    st.small_sided = st.small_sided_centre = c.small_sided;
    st.arc_radius = 20;
    auto p = std::make_unique<WM_FOOTBALL_PITCH>(0, 0, static_cast<int16_t>(c.w - 1),
                                                 static_cast<int16_t>(c.h - 1), &st, c.option, 4);
    for (int i = 0; i < 4; ++i) {
      p->set_player(0, i, 150 + 200 * i, 120 + 130 * i, static_cast<uint16_t>(45 * i), i == 3, 0);
      p->set_player(1, i, 950 - 150 * i, 600 - 100 * i, static_cast<uint16_t>(200 + 30 * i), false, 0);
    }
    p->set_player_state(1, 2, 100);
    p->set_ball(620, 300, c.ball_height, 0);
    get_screen_image()->fill_rect_solid(0, 0, 999, 899, &TEAM_FILL[3]);
    draw(*p);
    IMAGE shot(static_cast<int16_t>(c.w), static_cast<int16_t>(c.h));
    shot.blit(get_screen_image(), 0, 0, 0, 0, static_cast<int16_t>(c.w), static_cast<int16_t>(c.h), BLIT_COPY);
    EXPECT_TRUE(test_support::picture_matches_reference("extra", std::string("pitch_") + c.name, shot));
  }
}

// Players, their team boxes and the ball in the air glide; repainting only
// what each frame dirtied leaves the same picture as drawing the pitch anew.
TEST_F(StorePitch, GlidesRepaintWhatTheyDirtyAndLeaveNoTrails) {
  WM_PITCH_SETTINGS st = standard();
  st.flags = pitch_flag::TEAM_0_BOX | pitch_flag::TEAM_1_BOX | pitch_flag::BOX_SIZES |
             pitch_flag::DIRECTIONS;
  // The store's ball fills its whole frame, where the plain one leaves a
  // see-through edge.
  WM_PTM_APP_INFO store;
  add(store, "glider1", 12, 12, 0xFFFFFFFF);
  const PITCH_IMAGE_NAMES names{nullptr, "glider", 1, 1, nullptr, 1};
  for (const int run : {0, 1, 2}) {
    const bool from_store = run == 1;
    if (run == 2) st.flags ^= pitch_flag::TEAM_0_BOX;  // team 1's box alone
    WM_SCREEN_OBJECT::set_frame_clock(5000);
    std::unique_ptr<WM_FOOTBALL_PITCH> p =
        from_store ? std::make_unique<WM_PM_FOOTBALL_PITCH>(0, 0, 599, 399, &st, 0, 11, names)
                   : make(600, 400, st);
    for (int i = 0; i < 3; ++i) {
      p->set_player(0, i, 200 + 100 * i, 200, 90, false, 0);
      p->set_player(1, i, 800, 150 + 150 * i, 270, i == 1, 0);
    }
    p->set_ball(550, 350, 100, 0);
    draw(*p);
    dirty_rectangles().clear();
    p->set_player(0, 1, 700, 500, 0, false, 900);
    p->set_player(1, 2, 250, 100, 45, false, 700);
    p->set_ball(900, 150, 50, 800);  // rightwards, coming down
    for (uint32_t t = 5000; t <= 6000; t += 50) {
      WM_SCREEN_OBJECT::set_frame_clock(t);
      p->update(false);
      wm_test::paint_table(p.get());
    }
    IMAGE painted;
    painted.copy(*get_screen_image());
    draw(*p);
    EXPECT_TRUE(test_support::pictures_match("pitch_glides", painted, *get_screen_image())) << run;
  }
  // Without the box flags a jump repaints the marker's two places, not the
  // team's box: 18 x 18 each, the 16-pixel marker and a pixel round it for
  // the end of its direction line (here pointing right, up, left, down),
  // wider where the shirt number is: "10" here. Far apart, they stay
  // apart, and repainting them leaves no trail.
  st.flags = pitch_flag::DIRECTIONS;
  auto plain = make(600, 400, st);
  for (const int32_t py : {150, 550}) {
    if (py == 550) draw(*plain), dirty_rectangles().clear();
    for (int i = 0; i < 4; ++i) plain->set_player(0, 3 * i, 150 + 250 * i, py, (270 + 90 * i) % 360, false, 0);
  }
  const int32_t ten = std::max(18, get_screen_image()->get_text_width(255, 65535, 9, "10"));
  ASSERT_EQ(dirty_rectangles().count(), 8);
  for (int32_t i = 0; i < 8; ++i)
    EXPECT_EQ(std::pair(dirty_rectangles().entry(i).width(), dirty_rectangles().entry(i).height()),
              std::pair(i < 6 ? 18 : ten, 18));
  wm_test::paint_table(plain.get());
  IMAGE painted;
  painted.copy(*get_screen_image());
  draw(*plain);
  EXPECT_TRUE(test_support::pictures_match("pitch_jumps", painted, *get_screen_image()));
}
