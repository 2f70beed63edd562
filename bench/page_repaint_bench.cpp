// One page of 200 bordered, filled boxes (a quarter of them labelled) on an
// 800 x 600 screen over a background picture, run by the page manager. A
// frame in which one box changes should cost a small part of a frame that
// repaints the whole page; a frame in which nothing changes should paint
// nothing. The program prints the one-box / full-repaint ratio at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_fonts.h"
#include "bench_ratio_reporter.h"
#include "dirty_rectangles.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "screen.h"
#include "wm_page_manager.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kHeight = 600;
constexpr int kColumns = 20;
constexpr int kRows = 10;
constexpr int kObjects = kColumns * kRows;
constexpr int16_t kCellWidth = kWidth / kColumns;   // 40
constexpr int16_t kCellHeight = kHeight / kRows;    // 60
constexpr int16_t kGap = 2;                          // boxes are 38 x 58
constexpr COLOUR kInk = 0xFF101828;

// A filled box with a border and, when it has a font, a two-line label.
class BOX : public WM_SCREEN_OBJECT {
public:
  BOX(int16_t bx, int16_t by, uint16_t w, uint16_t h, COLOUR c, uint32_t style, int8_t label_font,
      int number)
      : WM_SCREEN_OBJECT(true, nullptr, 0, 0), fill(c), font(label_font) {
    x = bx;
    y = by;
    width = w;
    height = h;
    border_style = style;
    snprintf(label, sizeof label, "%d", number);
  }
  void draw() override {
    ++draws;
    IMAGE* s = drawing_surface();
    const auto x2 = static_cast<int16_t>(x + width - 1);
    const auto y2 = static_cast<int16_t>(y + height - 1);
    s->fill_rect(x, y, x2, y2, &fill, false);
    draw_border(x, y, x2, y2, border_flag::ALL_SIDES, nullptr, border_style, AUTO_BORDER_RADIUS);
    if (font >= 0) {
      s->draw_text(static_cast<int16_t>(x + 6), static_cast<int16_t>(y + 8), &kInk, nullptr,
                   nullptr, font, 12, 12, label);
      s->draw_text(static_cast<int16_t>(x + 6), static_cast<int16_t>(y + 30), &kInk, nullptr,
                   nullptr, font, 12, 12, "Ok");
    }
  }
  COLOUR fill;
  int8_t font;
  char label[12] = {};
  static inline int64_t draws = 0;
};

int8_t load_font() { return load_bench_font_any_slot(); }

std::vector<BOX*> boxes;
int8_t label_font = -1;

// Fixed colours and styles, so every run draws the same pixels.
void create_grid(WM_PAGE_MANAGER* manager) {
  boxes.clear();
  for (int i = 0; i < kObjects; ++i) {
    const int column = i % kColumns;
    const int row = i / kColumns;
    const COLOUR fill = 0xFF000000u | static_cast<COLOUR>((column * 12) << 16 | (row * 25) << 8 | 0x80);
    const uint32_t style = 2 + static_cast<uint32_t>(i % 8);  // styles 2 .. 9
    auto* box = new BOX(static_cast<int16_t>(column * kCellWidth + kGap / 2),
                        static_cast<int16_t>(row * kCellHeight + kGap / 2), kCellWidth - kGap,
                        kCellHeight - kGap, fill, style, i % 4 == 0 ? label_font : -1, i);
    manager->current_root()->add_child(box, false);
    boxes.push_back(box);
  }
}

// Built once and shared by every benchmark of the run.
WM_PAGE_MANAGER& page() {
  static WM_PAGE_MANAGER* manager = [] {
    set_screen_size(kWidth, kHeight);
    label_font = load_font();
    auto* m = new WM_PAGE_MANAGER(1, -1);
    IMAGE& background = m->back_buffers[0];
    background.create(kWidth, kHeight);
    const COLOUR top = 0xFF3060A0, bottom = 0xFF102040;
    background.fill_gradient_v(0, 0, kWidth - 1, kHeight - 1, &top, &bottom, false);
    m->set_page(0, create_grid, nullptr, 1, nullptr, 0, 1, nullptr);
    m->frame(false);  // shows the page
    m->frame(false);
    return m;
  }();
  return *manager;
}

void count_draws(benchmark::State& state, int64_t before) {
  state.counters["draws/frame"] = benchmark::Counter(
      static_cast<double>(BOX::draws - before) / static_cast<double>(state.iterations()));
}

void BM_FrameOneObjectChanges(benchmark::State& state) {
  WM_PAGE_MANAGER& manager = page();
  const int64_t before = BOX::draws;
  size_t next = 0;
  for (auto _ : state) {
    BOX* box = boxes[next];
    next = (next + 1) % boxes.size();
    box->fill ^= 0x00FFFFFFu;
    box->invalidate();
    benchmark::DoNotOptimize(manager.frame(false));
  }
  count_draws(state, before);
}

void BM_FullRepaint(benchmark::State& state) {
  WM_PAGE_MANAGER& manager = page();
  const int64_t before = BOX::draws;
  for (auto _ : state) {
    manager.current_root()->invalidate_screen();
    benchmark::DoNotOptimize(manager.frame(false));
  }
  count_draws(state, before);
}

void BM_IdleFrame(benchmark::State& state) {
  WM_PAGE_MANAGER& manager = page();
  const int64_t before = BOX::draws;
  for (auto _ : state) benchmark::DoNotOptimize(manager.frame(false));
  count_draws(state, before);
}

BENCHMARK(BM_FrameOneObjectChanges);
BENCHMARK(BM_FullRepaint);
BENCHMARK(BM_IdleFrame);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RATIO_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double ratio = 0;
  if (reporter.ratio_of("BM_FrameOneObjectChanges", "BM_FullRepaint", &ratio))
    printf("one-object frame / full repaint = %.4f (target at most 0.1)\n", ratio);
  printf("labels: %s\n", label_font >= 0 ? "drawn with DejaVuSans" : "none (font not found)");
  benchmark::Shutdown();
  return 0;
}
