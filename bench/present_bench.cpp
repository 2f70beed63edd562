// Presenting the screen image: a whole 800x600 frame through swap_screens
// against a bare XPutImage of an image of the same size and format, and the
// colour conversion into the presentation buffer against memcpy of the
// same bytes. Needs an X display; without one it says so and ends.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "errors.h"
#include "image.h"
#include "window.h"
#include "x11_state.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kHeight = 600;

bool open_bench_window() {
  if (x11.window) return true;
  set_message_box_handler(message_box_to_stderr);
  WINDOW_PARAMS params;
  params.title = "Present bench";
  params.width = kWidth;
  params.height = kHeight;
  if (!open_window(&params, 0)) return false;
  IMAGE* screen = get_screen_image(0);
  for (int y = 0; y < screen->height; ++y)
    for (int x = 0; x < screen->width; ++x)
      screen->pixels[y * screen->stride + x] = 0xFF000000u | static_cast<uint32_t>(x * 977 + y * 131);
  return true;
}

void BM_SwapScreensFullFrame(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  IMAGE* screen = get_screen_image(0);
  for (auto _ : state) {
    screen->add_dirty_rect(0, 0, kWidth - 1, kHeight - 1);
    swap_screens(0);
    XSync(x11.display, False);
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

void BM_BareXPutImage(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  XWindowAttributes attributes;
  XGetWindowAttributes(x11.display, x11.window, &attributes);
  IMAGE* screen = get_screen_image(0);
  // The presentation image's own layout: the server's bits per pixel for
  // the window's depth and the screen image's row stride.
  XImage* probe = XCreateImage(x11.display, attributes.visual, static_cast<unsigned>(attributes.depth),
                               ZPixmap, 0, nullptr, kWidth, kHeight, 32, 0);
  int bytes_per_line = probe->bits_per_pixel / 8 * screen->stride;
  probe->data = nullptr;
  XDestroyImage(probe);
  char* data = static_cast<char*>(calloc(static_cast<size_t>(bytes_per_line) * kHeight, 1));
  XImage* image = XCreateImage(x11.display, attributes.visual, static_cast<unsigned>(attributes.depth),
                               ZPixmap, 0, data, kWidth, kHeight, 32, bytes_per_line);
  GC gc = XCreateGC(x11.display, x11.window, 0, nullptr);
  for (auto _ : state) {
    XPutImage(x11.display, x11.window, gc, image, 0, 0, 0, 0, kWidth, kHeight);
    XSync(x11.display, False);
  }
  XFreeGC(x11.display, gc);
  XDestroyImage(image);
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

void BM_ConvertIntoPresentationBuffer(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  for (auto _ : state) {
    benchmark::DoNotOptimize(x11_convert_frame());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

void BM_MemcpySameBytes(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  IMAGE* screen = get_screen_image(0);
  size_t bytes = screen->pixel_count * sizeof(uint32_t);
  std::vector<uint8_t> dest(bytes);
  for (auto _ : state) {
    memcpy(dest.data(), screen->pixels, bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

BENCHMARK(BM_SwapScreensFullFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareXPutImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertIntoPresentationBuffer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  const char* display = getenv("DISPLAY");
  if (!display || !*display) {
    printf("present_bench: skipped, no DISPLAY\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  close_window(ALL_SCREENS);
  x11_close_display();
  return 0;
}
