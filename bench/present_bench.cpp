// Presenting the screen image on an 800x600 window: a whole frame through
// swap_screens against a bare XPutImage of an image of the same size and
// format, a frame in which one 100x30 area changed against the whole frame,
// and the colour conversion into the presentation buffer against memcpy of
// the same bytes. Frames are presented as a program presents them, one
// after the other, and every tenth waits until the server has done all
// of them (XSync), so that the server's work is in the figures as well.
// The route the frames take (shared segment or requests, converted or not)
// follows the server: run it once on a server with MIT-SHM and once on one
// started with "-extension MIT-SHM" for the fallback. Needs an X display;
// without one it says so and ends.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_ratio_reporter.h"
#include "errors.h"
#include "image.h"
#include "window.h"
#include "x11_state.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kHeight = 600;
constexpr int kFramesPerSync = 100;

// After every kFramesPerSync-th frame: the server has done them all.
void sync_now_and_then(int64_t frame) {
  if ((frame + 1) % kFramesPerSync == 0) XSync(x11.display, False);
}

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

std::string route_name() {
  PRESENT_ROUTE route = x11_present_route();
  return std::string(route.shared_memory ? "shared segment" : "requests") + ", " +
         (route.converted ? "converted" : "unconverted");
}

void BM_SwapScreensFullFrame(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  IMAGE* screen = get_screen_image(0);
  int64_t frame = 0;
  for (auto _ : state) {
    screen->add_dirty_rect(0, 0, kWidth - 1, kHeight - 1);
    swap_screens(0);
    sync_now_and_then(frame++);
  }
  XSync(x11.display, False);
  state.SetLabel(route_name());
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

void BM_SwapScreensOneArea(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  IMAGE* screen = get_screen_image(0);
  int64_t frame = 0;
  for (auto _ : state) {
    screen->add_dirty_rect(350, 285, 449, 314);  // 100 x 30
    swap_screens(0);
    sync_now_and_then(frame++);
  }
  XSync(x11.display, False);
  state.SetLabel(route_name());
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
  int bytes_per_line = (probe->bits_per_pixel * screen->stride + 31) / 32 * 4;
  probe->data = nullptr;
  XDestroyImage(probe);
  char* data = static_cast<char*>(calloc(static_cast<size_t>(bytes_per_line) * kHeight, 1));
  XImage* image = XCreateImage(x11.display, attributes.visual, static_cast<unsigned>(attributes.depth),
                               ZPixmap, 0, data, kWidth, kHeight, 32, bytes_per_line);
  GC gc = XCreateGC(x11.display, x11.window, 0, nullptr);
  int64_t frame = 0;
  for (auto _ : state) {
    XPutImage(x11.display, x11.window, gc, image, 0, 0, 0, 0, kWidth, kHeight);
    sync_now_and_then(frame++);
  }
  XSync(x11.display, False);
  XFreeGC(x11.display, gc);
  XDestroyImage(image);
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
}

void BM_ConvertIntoPresentationBuffer(benchmark::State& state) {
  if (!open_bench_window()) return state.SkipWithError("no window");
  bool converted = false;
  for (auto _ : state) {
    converted = x11_convert_frame();
    benchmark::DoNotOptimize(converted);
    benchmark::ClobberMemory();
  }
  state.SetLabel(converted ? "converted" : "nothing to convert");
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
BENCHMARK(BM_SwapScreensOneArea)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareXPutImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertIntoPresentationBuffer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMicrosecond);

void print_ratio(const RATIO_REPORTER& reporter, const char* part, const char* whole,
                 const char* what, double target) {
  double ratio = 0;
  if (reporter.ratio_of(part, whole, &ratio)) printf("%s = %.3f (target at most %.1f)\n", what, ratio, target);
}

}  // namespace

int main(int argc, char** argv) {
  const char* display = getenv("DISPLAY");
  if (!display || !*display) {
    printf("present_bench: skipped, no DISPLAY\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RATIO_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_ratio(reporter, "BM_SwapScreensFullFrame", "BM_BareXPutImage",
              "full-frame swap_screens / bare XPutImage", 0.5);
  print_ratio(reporter, "BM_SwapScreensOneArea", "BM_SwapScreensFullFrame",
              "one 100x30 area / full-frame swap_screens", 0.1);
  if (x11.window) {
    XWindowAttributes attributes;
    XGetWindowAttributes(x11.display, x11.window, &attributes);
    printf("window depth %d, route: %s\n", attributes.depth, route_name().c_str());
  }
  benchmark::Shutdown();
  close_window(ALL_SCREENS);
  x11_close_display();
  return 0;
}
