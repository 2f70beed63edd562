// A grid of 10,000 rows of two text labels on an 800 x 600 screen, run by
// the page manager. Scrolling it by one line per frame should cost about
// what drawing its visible rows once costs, however many rows lie outside
// the view. The scrolling benchmark measures that repaint in the same run
// and reports the ratio as the counter "scroll/redraw".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "bench_fonts.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "screen.h"
#include "wm_grid.h"
#include "wm_page_manager.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kHeight = 600;
constexpr int32_t kRows = 10000;
constexpr COLOUR kInk = 0xFF101828;
constexpr COLOUR kPaper = 0xFFF0F0E8;

int8_t load_font() { return load_bench_font_any_slot(); }

WM_GRID* grid = nullptr;
int8_t label_font = -1;

void create_page(WM_PAGE_MANAGER* manager) {
  WM_STYLE_SET style;
  style.extended_flags = SSEF_GRID_TYPE_LINES | SSEF_GRID_TWO_TONE;
  style.bg_colour = kPaper;
  style.font_id = static_cast<uint8_t>(label_font);
  style.font_x_sz = style.font_y_sz = 14;
  const int16_t widths[] = {-120, 1};
  grid = new WM_GRID(20, 20, kWidth - 21, kHeight - 21, 2, widths, &style, nullptr);
  grid->row_limit = WM_GRID::NO_ROW_LIMIT;
  char text[32];
  for (int32_t r = 0; r < kRows; ++r) {
    grid->default_row_height = 20 + (r % 3) * 4;  // mixed heights
    snprintf(text, sizeof text, "%d", r);
    grid->add_script_cell(0, r, text, &kInk, nullptr, 0);
    grid->add_script_cell(1, r, "A line of text in the second column", &kInk, nullptr, 0);
  }
  manager->current_root()->add_child(grid, false);
}

WM_PAGE_MANAGER& page() {
  static WM_PAGE_MANAGER* manager = [] {
    set_screen_size(kWidth, kHeight);
    label_font = load_font();
    auto* m = new WM_PAGE_MANAGER(1, -1);
    m->set_page(0, create_page, nullptr, 1, nullptr, 0, 1, nullptr);
    m->frame(false);  // shows the page and makes the scroll bar
    m->frame(false);
    return m;
  }();
  return *manager;
}

// One line further down, back to the top at the end.
void scroll_one_line() {
  const int32_t value = grid->scroll.get_int(PARAMETER::VALUE);
  const int32_t step = grid->scrollbar
                           ? WM_GRID::scroll_step(grid->scrollbar.get(), SCROLL_STEP::LINE_TO_MINIMUM)
                           : 0;
  grid->scroll.set_int(PARAMETER::VALUE,
                       value > 0 ? value - step : grid->scroll.get_int(PARAMETER::MAXIMUM));
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The grid's visible rows drawn once: the whole grid repainted in place.
void BM_GridRedrawVisibleRows(benchmark::State& state) {
  WM_PAGE_MANAGER& manager = page();
  for (auto _ : state) {
    grid->invalidate();
    benchmark::DoNotOptimize(manager.frame(false));
  }
}

void BM_GridScrollOneLinePerFrame(benchmark::State& state) {
  WM_PAGE_MANAGER& manager = page();
  constexpr int kRedraws = 200;
  const auto redraw_start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRedraws; ++i) {
    grid->invalidate();
    manager.frame(false);
  }
  const double redraw = seconds_since(redraw_start) / kRedraws;
  double scrolling = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    scroll_one_line();
    benchmark::DoNotOptimize(manager.frame(false));
    scrolling += seconds_since(start);
  }
  const double per_frame = scrolling / static_cast<double>(state.iterations());
  state.counters["scroll/redraw"] = redraw > 0 ? per_frame / redraw : 0;
  state.counters["first_row"] = grid->first_visible_row;
}

BENCHMARK(BM_GridRedrawVisibleRows);
BENCHMARK(BM_GridScrollOneLinePerFrame);

}  // namespace
