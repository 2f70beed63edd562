// A ticker scrolling a joined text of 200 items, one frame per iteration
// (the pass stepped on the frame clock and the strip drawn), against
// drawing just the part of the text that the strip shows, once, at one
// place: what a frame can at best cost. The ratio of the two is the figure.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_fonts.h"
#include "image.h"
#include "wm_ticker.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kStripTop = 10;
constexpr int16_t kStripHeight = 30;
constexpr uint16_t kSize = 20;
constexpr COLOUR kInk = 0xFFFFFF40;

int8_t font() {
  static const int8_t slot = load_bench_font_any_slot();
  return slot;
}

WM_TICKER_TEXT look() {
  WM_TICKER_TEXT t;
  t.colour = kInk;
  t.font = static_cast<uint8_t>(font());
  t.font_w = t.font_h = kSize;
  return t;
}

std::string item(int i) { return "Item " + std::to_string(i) + ": a line of news from the desk"; }

void BM_TickerFrameOfJoinedText(benchmark::State& state) {
  if (font() < 0) {
    state.SkipWithError("no font");
    return;
  }
  IMAGE surface(kWidth, 50);
  WM_SCREEN_OBJECT::set_drawing_surface(&surface);
  WM_TICKER ticker(0, kStripTop, kWidth - 1, kStripTop + kStripHeight - 1, 8000, 0, look(),
                   CLICK_MODE::ON_PRESS);
  for (int i = 0; i < 200; ++i) ticker.add_item(item(i).c_str(), 0, 0, 65535);
  ticker.set_separator(" +++ ");
  uint32_t clock = 1000;
  WM_SCREEN_OBJECT::set_frame_clock(clock);
  ticker.tick();  // the first pass begins
  for (auto _ : state) {
    clock += 16;
    WM_SCREEN_OBJECT::set_frame_clock(clock);
    ticker.tick();
    ticker.draw();
    benchmark::DoNotOptimize(surface.pixels);
  }
  state.counters["text_px"] = surface.get_text_width(font(), kSize, kSize,
                                                     ticker.get_joined_text());
  WM_SCREEN_OBJECT::set_drawing_surface(nullptr);
}

void BM_VisiblePartDrawnOnce(benchmark::State& state) {
  if (font() < 0) {
    state.SkipWithError("no font");
    return;
  }
  IMAGE surface(kWidth, 50);
  // The characters that fill the strip's width, drawn through its clip.
  std::string joined = " +++ ";
  for (int i = 0; i < 200; ++i) joined += item(i) + " +++ ";
  size_t n = 0;
  while (n < joined.size() &&
         surface.get_text_width(font(), kSize, kSize, joined.c_str(), n) < kWidth)
    ++n;
  const std::string visible = joined.substr(100, n + 1);
  surface.set_clip_rect(0, kStripTop, kWidth - 1, kStripTop + kStripHeight - 1);
  for (auto _ : state) {
    surface.draw_text(-7, kStripTop + (kStripHeight - kSize) / 2, &kInk, nullptr, nullptr,
                      font(), kSize, kSize, visible.c_str());
    benchmark::DoNotOptimize(surface.pixels);
  }
}

BENCHMARK(BM_TickerFrameOfJoinedText);
BENCHMARK(BM_VisiblePartDrawnOnce);

}  // namespace
