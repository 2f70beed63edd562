// The dirty-rectangle table: containment, cascading merges, overflow.
#include "dirty_rectangles.h"

namespace {

bool near_each_other(const RECT& a, const RECT& e) {
  const int32_t m = DIRTY_RECTANGLES::MERGE_MARGIN;
  return a.x1 < e.x2 + m && a.x2 > e.x1 - m && a.y1 < e.y2 + m && a.y2 > e.y1 - m;
}

}  // namespace

void DIRTY_RECTANGLES::add(const RECT& r) {
  if (current != -1 || r.empty()) return;
  RECT pending = r;
  // Each merge removes an entry, so this ends after at most `used` rounds.
  for (;;) {
    for (int32_t i = 0; i < used; ++i) {
      if (entries[i].contains(pending)) return;
    }
    int32_t merge_with = -1;
    for (int32_t i = 0; i < used && merge_with < 0; ++i) {
      if (near_each_other(pending, entries[i])) merge_with = i;
    }
    if (merge_with < 0) break;
    pending = pending.unite(entries[merge_with]);
    entries[merge_with] = entries[used - 1];
    --used;
  }
  if (used < CAPACITY) {
    entries[used++] = pending;
  } else {
    entries[0] = entries[0].unite(pending);
  }
}

const RECT* DIRTY_RECTANGLES::current_rect() const {
  if (current < 0 || current >= used || entries[current].empty()) return nullptr;
  return &entries[current];
}

void DIRTY_RECTANGLES::clear() {
  current = -1;
  used = 0;
}

DIRTY_RECTANGLES::SCOPED_ENTRY::SCOPED_ENTRY(DIRTY_RECTANGLES& t, const RECT& r)
    : table(t), saved_entry(t.entries[0]), saved_current(t.current), saved_count(t.used) {
  table.entries[0] = r;
  if (table.used < 1) table.used = 1;
  table.current = 0;
}

DIRTY_RECTANGLES::SCOPED_ENTRY::~SCOPED_ENTRY() {
  table.entries[0] = saved_entry;
  table.current = saved_current;
  table.used = saved_count;
}

DIRTY_RECTANGLES& dirty_rectangles() {
  static DIRTY_RECTANGLES table;
  return table;
}
