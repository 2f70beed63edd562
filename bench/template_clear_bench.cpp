// A template store whose one page holds n label templates, each built once
// onto the page manager's area, so that n live objects point at n templates.
// Clearing the store makes every live object forget its template: the cost
// should grow with templates plus objects, not with their product. The
// program times the clear for 500 and for 2,000 of each and prints the
// ratio (about 4 when linear, about 16 when every template visits every
// object).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "bench_fonts.h"
#include "bench_ratio_reporter.h"
#include "screen.h"
#include "wm_page_manager.h"
#include "wm_ptm_app_info.h"
#include "wm_ptm_area_info.h"
#include "wm_ptm_object_info.h"
#include "wm_ptm_page_info.h"

namespace {

void clear_store(benchmark::State& state, int32_t count) {
  set_screen_size(800, 600);
  load_bench_default_font();
  WM_PAGE_MANAGER manager(1, -1);
  WM_MANAGER& root = manager.area(0).root;
  for (auto _ : state) {
    WM_PTM_APP_INFO store;
    store.add_area();
    store.areas[0]->add_page();
    WM_PTM_PAGE_INFO* page = store.areas[0]->get_page(0);
    for (int32_t i = 0; i < count; ++i) {
      page->add_object(16);
      WM_PTM_OBJECT_INFO* t = page->get_object(i);
      t->x = static_cast<int16_t>(i % 40 * 20);
      t->y = static_cast<int16_t>(i / 40 % 30 * 20);
      t->width = t->height = 16;
    }
    WM_PTM_APP_INFO::build_objects(&root, nullptr, page->get_objects());
    const auto start = std::chrono::steady_clock::now();
    store.clear();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    root.destroy_children(true, 0, true);
  }
}

void BM_ClearSmallStore(benchmark::State& state) { clear_store(state, 500); }
void BM_ClearLargeStore(benchmark::State& state) { clear_store(state, 2000); }

BENCHMARK(BM_ClearSmallStore)->UseManualTime();
BENCHMARK(BM_ClearLargeStore)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RATIO_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double ratio = 0;
  if (reporter.ratio_of("BM_ClearLargeStore", "BM_ClearSmallStore", &ratio))
    printf("clear 2,000 / clear 500 = %.2f (4 when linear, 16 when templates x objects)\n", ratio);
  benchmark::Shutdown();
  return 0;
}
