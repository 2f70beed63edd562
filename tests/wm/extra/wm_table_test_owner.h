#pragma once
// The owner the table tests give their tables: five columns over a small
// list of planets, three filters, and a data callback that remembers the
// view it was handed and fills the page's rows (five a page) below the
// header, sorted and filtered as asked.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "wm_grid.h"
#include "wm_style_set.h"
#include "wm_table.h"

namespace table_test {

struct PLANET {
  const char* name;
  int moons;
  int rings;
  int day_hours;
  const char* kind;
};

inline const std::vector<PLANET>& planets() {
  static const std::vector<PLANET> all = {
      {"Mercury", 0, 0, 4223, "rock"}, {"Venus", 0, 0, 2802, "rock"},  {"Earth", 1, 0, 24, "rock"},
      {"Mars", 2, 0, 25, "rock"},      {"Jupiter", 95, 1, 10, "gas"}, {"Saturn", 146, 1, 11, "gas"},
      {"Uranus", 28, 1, 17, "ice"},    {"Neptune", 16, 1, 16, "ice"}, {"Pluto", 5, 0, 153, "dwarf"},
      {"Ceres", 0, 0, 9, "dwarf"},     {"Eris", 1, 0, 26, "dwarf"},
  };
  return all;
}

// Title, description, shown by default; the fourth is hidden at first.
inline std::vector<WM_TABLE_COLUMN> columns() {
  return {{3, true, "Name", "Planet name"},
          {1, true, "Moons", "Number of moons"},
          {1, true, "Rings", "Has rings"},
          {1, false, "Day", "Length of day in hours"},
          {2, true, "Kind", "Kind of body"}};
}
inline const char* const kFilters[] = {"Has moons", "Gas giants", "100% rock"};
constexpr int kRowsPerPage = 5;

// What the last data callback was handed.
struct VIEW {
  int calls = 0;
  int page = 0;
  int page_count = 0;
  uint32_t mask = 0;
  int sort = 0;
  int filter = -1;
  std::vector<std::string> first_column;  // of the rows shown
};

struct OWNER {
  VIEW seen;
  WM_STYLE_SET cell_style;
  bool delete_on_next = false;  // the callback deletes the table
  WM_TABLE** holder = nullptr;  // nulled when it does

  static std::string cell_text(const PLANET& p, int column) {
    switch (column) {
      case 0: return p.name;
      case 1: return std::to_string(p.moons);
      case 2: return p.rings ? "yes" : "no";
      case 3: return std::to_string(p.day_hours);
      default: return p.kind;
    }
  }
  static int compare(const PLANET& a, const PLANET& b, int column) {
    switch (column) {
      case 1: return a.moons - b.moons;
      case 2: return a.rings - b.rings;
      case 3: return a.day_hours - b.day_hours;
      case 4: return std::string(a.kind).compare(b.kind);
      default: return std::string(a.name).compare(b.name);
    }
  }
  static bool passes(const PLANET& p, int filter) {
    switch (filter) {
      case 0: return p.moons > 0;
      case 1: return std::string(p.kind) == "gas";
      case 2: return std::string(p.kind) == "rock";
      default: return true;
    }
  }

  static void fill(WM_TABLE* table, PARAMETER* page, const uint8_t* visibility, int16_t sort,
                   int16_t filter, uintptr_t word) {
    auto* me = reinterpret_cast<OWNER*>(word);
    VIEW& v = me->seen;
    ++v.calls;
    v.page = page->get_int(PARAMETER::VALUE);
    v.page_count = page->get_int(PARAMETER::MAXIMUM);
    v.mask = 0;
    for (int i = 0; i < table->get_column_count(); ++i)
      if (visibility[i]) v.mask |= 1u << i;
    v.sort = sort;
    v.filter = filter;
    if (me->delete_on_next) {
      delete table;
      if (me->holder) *me->holder = nullptr;
      return;
    }
    std::vector<PLANET> rows;
    for (const PLANET& p : planets())
      if (passes(p, filter)) rows.push_back(p);
    if (sort != 0) {
      const int column = std::abs(sort) - 1;
      std::stable_sort(rows.begin(), rows.end(), [&](const PLANET& a, const PLANET& b) {
        return sort > 0 ? compare(a, b, column) < 0 : compare(b, a, column) < 0;
      });
    }
    v.first_column.clear();
    const size_t first = static_cast<size_t>(v.page - 1) * kRowsPerPage;
    for (size_t r = first; r < rows.size() && r < first + kRowsPerPage; ++r) {
      int k = 0;
      for (int c = 0; c < table->get_column_count(); ++c) {
        if (!visibility[c]) continue;
        const std::string text = cell_text(rows[r], c);
        if (k == 0) v.first_column.push_back(text);
        table->grid->add_text_cell(k++, static_cast<int32_t>(r - first + 1), text.c_str(),
                                   &me->cell_style);
      }
    }
  }
};

}  // namespace table_test
