// A football pitch's frame with 22 players and the ball all moving, at
// 1920 x 1080 and 3840 x 2160, against a plain copy of the same pitch
// surface into the same frame. Each benchmark times its baseline in the
// same run and reports the ratio as a counter ("frame/blit").
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "bench_fonts.h"
#include "font.h"
#include "image.h"
#include "wm_football_pitch.h"

namespace {

constexpr uint32_t kFrameMs = 16;

WM_PITCH_SETTINGS settings(int32_t widget_width) {
  WM_PITCH_SETTINGS s;
  s.flags = pitch_flag::TEAM_0_BOX | pitch_flag::TEAM_1_BOX | pitch_flag::BOX_SIZES |
            pitch_flag::DIRECTIONS;
  s.length = 110;
  s.width = 70;
  s.margin = 5;
  s.goal_depth = 2;
  s.goal_width = 8;
  s.line_width = 4;
  s.marker_size = static_cast<int16_t>(widget_width / 48);
  s.ball_size = static_cast<int16_t>(widget_width / 96);
  s.font = 255;
  s.font_x_size = 65535;
  s.font_y_size = static_cast<uint16_t>(widget_width / 96);
  s.ground = 2;
  s.stripes = 1;
  s.line_colour = 0xFFFFFFFF;
  for (int k = 0; k < 4; ++k) {
    s.marker_colours[k][0] = 0xFF000000u | (0x402010u * static_cast<uint32_t>(k + 1));
    s.marker_colours[k][1] = 0xFFFFFFFF;
    s.marker_colours[k][2] = 0xFF000000;
  }
  s.text_colour = 0xFF000000;
  s.ball_colour = 0xFFF8F8F8;
  s.roll_step = 3;
  s.max_ball_height = 100;
  s.shadow_offset = 10;
  s.shadow_alpha = 128;
  return s;
}

template <typename F>
double seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every player and the ball on their way somewhere; whoever arrived sets
// off again, so that every frame moves all 23.
void keep_moving(WM_FOOTBALL_PITCH& pitch, uint32_t frame) {
  for (int32_t team = 0; team < 2; ++team) {
    for (int32_t i = 0; i < 11; ++i) {
      const POINT16 at = pitch.get_player_position(team, i, false);
      if (at.x >= 0 && at != pitch.get_player_position(team, i, true)) continue;
      const int32_t px = static_cast<int32_t>((frame * 37 + i * 97 + team * 500) % 1100);
      const int32_t py = static_cast<int32_t>((frame * 53 + i * 61 + team * 300) % 700);
      pitch.set_player(team, i, px, py, static_cast<uint16_t>((frame + i * 30) % 360), i == 0,
                       700 + 90 * static_cast<uint32_t>(i));
    }
  }
  if (pitch.get_ball_position(false) == pitch.get_ball_position(true)) {
    pitch.set_ball(static_cast<int32_t>(frame * 71 % 1100), static_cast<int32_t>(frame * 29 % 700),
                   static_cast<int32_t>(frame % 100), 900);
  }
}

void run(benchmark::State& state, int16_t w, int16_t h) {
  static const bool font = load_bench_default_font();
  benchmark::DoNotOptimize(font);
  IMAGE screen(w, h);
  screen.font = FONT_DEFAULT;
  WM_SCREEN_OBJECT::set_drawing_surface(&screen);
  uint32_t clock = 1000;
  WM_SCREEN_OBJECT::set_frame_clock(clock);
  const WM_PITCH_SETTINGS s = settings(w);
  WM_FOOTBALL_PITCH pitch(0, 0, static_cast<int16_t>(w - 1), static_cast<int16_t>(h - 1), &s, 1,
                          11);
  for (uint32_t f = 0; f < 2; ++f) keep_moving(pitch, f);  // placed, then moving
  // The plain copy is timed beside every frame, so that both see the same
  // machine load.
  double frames = 0, blits = 0;
  int64_t count = 0;
  for (auto _ : state) {
    clock += kFrameMs;
    WM_SCREEN_OBJECT::set_frame_clock(clock);
    keep_moving(pitch, static_cast<uint32_t>(count));
    frames += seconds([&] {
      pitch.update(false);
      pitch.draw();
    });
    benchmark::ClobberMemory();
    blits += seconds([&] { pitch.get_surface().draw(0, 0, &screen, BLIT_COPY); });
    benchmark::ClobberMemory();
    ++count;
  }
  state.counters["frame/blit"] = frames / blits;
  WM_SCREEN_OBJECT::set_drawing_surface(nullptr);
}

void BM_Pitch1920x1080(benchmark::State& state) { run(state, 1920, 1080); }
void BM_Pitch3840x2160(benchmark::State& state) { run(state, 3840, 2160); }

}  // namespace

BENCHMARK(BM_Pitch1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pitch3840x2160)->Unit(benchmark::kMillisecond);
