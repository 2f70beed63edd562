// A table over 100,000 rows whose owner filters and stable-sorts them,
// keeping both results until the filter or the sort changes, and fills the
// 20 rows of the shown page. Each benchmark times one kind of change made
// through the table (a page step, a sort change, a filter change) against
// the owner's bare work for the same change (the filter and sort it needs,
// then the same page put into a plain WM_GRID), alternating the two in the
// same run, and reports the ratio as the counter "table/bare".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "bench_fonts.h"
#include "image.h"
#include "screen.h"
#include "wm_grid.h"
#include "wm_table.h"

namespace {

constexpr int32_t kRecords = 100000;
constexpr int32_t kPageRows = 20;
constexpr int16_t kColumns = 4;
constexpr uint16_t kPages = 32767;

struct RECORD {
  int32_t id;
  int32_t value;
  int32_t group;
  char name[16];
};

const std::vector<RECORD>& records() {
  static const std::vector<RECORD> all = [] {
    std::vector<RECORD> r(kRecords);
    std::mt19937 random(7);
    for (int32_t i = 0; i < kRecords; ++i) {
      r[static_cast<size_t>(i)] = {i, static_cast<int32_t>(random() % 100000),
                                   static_cast<int32_t>(random() % 10), {}};
      snprintf(r[static_cast<size_t>(i)].name, sizeof r[0].name, "Item %05u",
               static_cast<unsigned>(random() % 100000));
    }
    return r;
  }();
  return all;
}

bool passes(const RECORD& r, int16_t filter) {
  switch (filter) {
    case 0: return r.group < 5;
    case 1: return r.value % 2 == 0;
    default: return true;
  }
}

int compare(const RECORD& a, const RECORD& b, int32_t column) {
  switch (column) {
    case 1: return std::strcmp(a.name, b.name);
    case 2: return a.value - b.value;
    case 3: return a.group - b.group;
    default: return a.id - b.id;
  }
}

// The owner's rows: the filtered and the sorted order, each kept until the
// filter or the sort changes.
struct ROWS {
  int16_t filter = -2;  // nothing computed yet
  int16_t sort = -100;
  std::vector<int32_t> filtered;
  std::vector<int32_t> sorted;
  WM_STYLE_SET cell_style;

  void prepare(int16_t new_filter, int16_t new_sort) {
    const std::vector<RECORD>& all = records();
    if (new_filter != filter) {
      filtered.clear();
      for (int32_t i = 0; i < kRecords; ++i)
        if (passes(all[static_cast<size_t>(i)], new_filter)) filtered.push_back(i);
      filter = new_filter;
      sort = -100;
    }
    if (new_sort != sort) {
      sorted = filtered;
      if (new_sort != 0) {
        const int32_t column = std::abs(new_sort) - 1;
        std::stable_sort(sorted.begin(), sorted.end(), [&](int32_t a, int32_t b) {
          const int c = compare(all[static_cast<size_t>(a)], all[static_cast<size_t>(b)], column);
          return new_sort > 0 ? c < 0 : c > 0;
        });
      }
      sort = new_sort;
    }
  }
  // Rows first_row.. of the grid get the page's records.
  void fill(WM_GRID* grid, int32_t page, const uint8_t* visibility, int32_t first_row) {
    const std::vector<RECORD>& all = records();
    char text[16];
    const size_t first = static_cast<size_t>(page - 1) * kPageRows;
    for (size_t r = first; r < sorted.size() && r < first + kPageRows; ++r) {
      const RECORD& rec = all[static_cast<size_t>(sorted[r])];
      int32_t k = 0;
      for (int32_t c = 0; c < kColumns; ++c) {
        if (!visibility[c]) continue;
        const char* shown = text;
        switch (c) {
          case 0: snprintf(text, sizeof text, "%d", rec.id); break;
          case 1: shown = rec.name; break;
          case 2: snprintf(text, sizeof text, "%d", rec.value); break;
          default: snprintf(text, sizeof text, "%d", rec.group); break;
        }
        grid->add_text_cell(k++, static_cast<int32_t>(r - first) + first_row, shown, &cell_style);
      }
    }
  }
};

void owner_fill(WM_TABLE* table, PARAMETER* page, const uint8_t* visibility, int16_t sort,
                int16_t filter, uintptr_t word) {
  auto* rows = reinterpret_cast<ROWS*>(word);
  rows->prepare(filter, sort);
  rows->fill(table->grid, page->get_int(PARAMETER::VALUE), visibility, 1);
}

// The table, and the plain grid with the owner's rows beside it.
struct SETUP {
  ROWS table_rows, bare_rows;
  WM_TABLE* table = nullptr;
  WM_GRID* grid = nullptr;
  const uint8_t visible[kColumns] = {1, 1, 1, 1};

  SETUP() {
    set_screen_size(800, 600);
    load_bench_default_font();
    const WM_TABLE_COLUMN columns[kColumns] = {
        {1, true, "Id", "Record number"}, {3, true, "Name", "Record name"},
        {2, true, "Value", "Its value"}, {1, true, "Group", "Its group"}};
    const char* const filters[] = {"Low groups", "Even values"};
    const WM_TABLE_COLUMN_SET sets[] = {{"Short", 0b0011}, {"All", 0b1111}};
    WM_TABLE_STYLES styles;
    table = new WM_TABLE(0, 0, 799, 599, kPages, 20, kColumns, columns, filters, 2, owner_fill,
                         reinterpret_cast<uintptr_t>(&table_rows), 0, styles);
    table->set_column_sets(sets, 2);
    grid = new WM_GRID(0, 40, 799, 599, kColumns, nullptr, nullptr, nullptr);
    grid->default_row_height = 20;
  }
  // What the owner does without a table.
  void bare(int16_t filter, int16_t sort, int32_t page) {
    bare_rows.prepare(filter, sort);
    grid->clear(true);
    grid->default_row_height = 20;
    bare_rows.fill(grid, page, visible, 0);
  }
};

// Choosing the current filter again would clear it: only a change is made.
void show_filter(WM_TABLE* table, int16_t filter) {
  if (table->get_filter() != filter) table->set_filter(filter);
}

SETUP& setup() {
  static SETUP* s = new SETUP;
  return *s;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs each change through the table and the same change bare, turn about.
template <typename TABLE_STEP, typename BARE_STEP>
void compare_runs(benchmark::State& state, TABLE_STEP table_step, BARE_STEP bare_step) {
  double in_table = 0, bare = 0;
  int64_t turn = 0;
  auto timed = [](auto& step, int64_t turn) {
    const auto start = std::chrono::steady_clock::now();
    step(turn);
    return seconds_since(start);
  };
  for (auto _ : state) {
    // Whichever goes second finds the records in the cache: take turns.
    if (turn % 4 < 2) {
      in_table += timed(table_step, turn);
      bare += timed(bare_step, turn);
    } else {
      bare += timed(bare_step, turn);
      in_table += timed(table_step, turn);
    }
    ++turn;
  }
  state.counters["table/bare"] = bare > 0 ? in_table / bare : 0;
}

void BM_TablePageStep(benchmark::State& state) {
  SETUP& s = setup();
  show_filter(s.table, WM_TABLE::NO_FILTER);
  s.table->set_sort(3);
  s.bare(WM_TABLE::NO_FILTER, 3, 1);
  compare_runs(
      state, [&](int64_t turn) { s.table->set_page(static_cast<int16_t>(1 + turn % 2 * 7)); },
      [&](int64_t turn) { s.bare(WM_TABLE::NO_FILTER, 3, static_cast<int32_t>(1 + turn % 2 * 7)); });
}

void BM_TableSortChange(benchmark::State& state) {
  SETUP& s = setup();
  show_filter(s.table, 0);
  s.table->set_page(3);
  compare_runs(
      state, [&](int64_t turn) { s.table->set_sort(turn % 2 ? -2 : 3); },
      [&](int64_t turn) { s.bare(0, turn % 2 ? -2 : 3, 3); });
}

void BM_TableFilterChange(benchmark::State& state) {
  SETUP& s = setup();
  show_filter(s.table, WM_TABLE::NO_FILTER);
  s.table->set_sort(-3);
  s.table->set_page(2);
  compare_runs(
      state, [&](int64_t turn) { s.table->set_filter(static_cast<int16_t>(turn % 2)); },
      [&](int64_t turn) { s.bare(static_cast<int16_t>(turn % 2), -3, 2); });
}

BENCHMARK(BM_TablePageStep);
BENCHMARK(BM_TableSortChange);
BENCHMARK(BM_TableFilterChange);

}  // namespace
