// The text window's two costs that grow with the text: taking in a 1 MB
// text (split, stored and wrapped into a window of 32766 lines) against
// measuring each of its lines once, and scrolling a full window by one row
// per frame against drawing its visible rows once as text blocks. Each
// benchmark times its baseline in the same run and reports the ratio as a
// counter ("fill/measure", "scroll/draw").
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench_fonts.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "screen.h"
#include "wm_scrollbar.h"
#include "wm_text_win.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kHeight = 600;
constexpr uint16_t kCapacity = 32766;
constexpr uint16_t kFontSize = 14;
constexpr COLOUR kInk = 0xFF101828;
constexpr COLOUR kPaper = 0xFFF0F0E8;

void set_up() {
  static bool done = false;
  if (done) return;
  done = true;
  load_bench_default_font();
  set_screen_size(kWidth, kHeight);
  IMAGE* screen = get_screen_image();
  screen->font = FONT_DEFAULT;
  screen->font_width = kFontSize;
  screen->font_height = kFontSize;
  WM_SCREEN_OBJECT::set_drawing_surface(screen);
}

// About 1 MB of licence-like paragraphs of mixed lengths, one per line.
const std::string& megabyte() {
  static const std::string text = [] {
    const std::string words =
        "Permission is granted to copy and distribute this program provided that the notice "
        "above and this permission notice are kept on every copy. ";
    std::string out;
    for (int n = 0; out.size() < 1000000; ++n) {
      for (int k = 0; k <= n % 4; ++k) out += words;
      out += '\n';
    }
    return out;
  }();
  return text;
}

std::unique_ptr<WM_TEXT_WIN> make_window() {
  auto win = std::make_unique<WM_TEXT_WIN>(20, 20, kWidth - 21, kHeight - 21, 2, kCapacity, 15,
                                           nullptr, nullptr, nullptr, true, true, nullptr, 0, 0);
  win->background_colour = kPaper;
  return win;
}

template <typename F>
double seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each line measured once, the floor of any wrapping.
double measure_lines_once(IMAGE* screen) {
  const std::string& text = megabyte();
  int64_t sum = 0;
  const double t = seconds([&] {
    size_t at = 0;
    std::string line;
    while (at < text.size()) {
      const size_t end = text.find('\n', at);
      line.assign(text, at, end - at);
      sum += screen->get_text_width(255, 65535, -1, line.c_str());
      at = end + 1;
    }
  });
  benchmark::DoNotOptimize(sum);
  return t;
}

void BM_FillFromMegabyte(benchmark::State& state) {
  set_up();
  double fill = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    std::unique_ptr<WM_TEXT_WIN> win = make_window();
    fill += seconds([&] { win->add_text(megabyte().c_str(), nullptr, &kInk, false, true); });
    benchmark::DoNotOptimize(win->get_row_count());
    ++runs;
  }
  double measure = 0;
  for (int i = 0; i < 3; ++i) measure += measure_lines_once(get_screen_image());
  state.counters["fill/measure"] = (fill / runs) / (measure / 3);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(megabyte().size()));
}

void BM_ScrollRowPerFrame(benchmark::State& state) {
  set_up();
  std::unique_ptr<WM_TEXT_WIN> win = make_window();
  for (int i = 0; i < 400; ++i)
    win->add_text("A row of the licence text that fills most of the window's width, and more",
                  nullptr, &kInk, false, true);
  IMAGE* screen = get_screen_image();
  const int32_t maximum = win->scroll.get_int(PARAMETER::MAXIMUM);
  int32_t value = 0;
  double scroll = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    value = value >= maximum ? 0 : value + 1;
    scroll += seconds([&] {
      win->scroll.set_int(PARAMETER::VALUE, value);
      win->draw();
      win->scrollbar->draw();
    });
    ++frames;
  }
  // The visible rows drawn once, each as a text block in its band.
  std::vector<std::string> rows;
  for (int32_t n = 0; n < win->get_visible_rows(); ++n) {
    const WM_TEXT_WIN::ROW_VIEW r = win->get_row(win->shown_row(n));
    rows.emplace_back(r.text, static_cast<size_t>(r.length));
  }
  const RECT area = win->text_area();
  double draw = 0;
  const int rounds = 50;
  for (int i = 0; i < rounds; ++i) {
    draw += seconds([&] {
      for (size_t n = 0; n < rows.size(); ++n) {
        const auto top = static_cast<int16_t>(area.y1 + n * kFontSize);
        screen->draw_text_block(static_cast<int16_t>(area.x1), top,
                                static_cast<int16_t>(area.x2),
                                static_cast<int16_t>(top + kFontSize - 1), &kInk, nullptr,
                                nullptr, -1, -1, -1, rows[n].c_str(), TEXT_LEFT | TEXT_TOP);
      }
    });
  }
  state.counters["scroll/draw"] = (scroll / frames) / (draw / rounds);
}

}  // namespace

BENCHMARK(BM_FillFromMegabyte)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScrollRowPerFrame)->Unit(benchmark::kMicrosecond);
