#pragma once
// The table of screen rectangles that need painting. Objects add to it when
// they change; once per frame the page manager paints each entry and empties
// it. Nearby rectangles merge so that a frame repaints a few large areas.
#include <cstdint>

#include "rect.h"

class DIRTY_RECTANGLES {
public:
  static constexpr int32_t CAPACITY = 128;
  // Rectangles closer than this many pixels on both axes merge.
  static constexpr int32_t MERGE_MARGIN = 32;

  // Adds an inclusive rectangle that the caller has already cut to the
  // screen. Ignored while an entry is being painted (what draw invalidates
  // is dropped). A full table grows entry 0 instead, so nothing is lost.
  void add(const RECT& r);

  int32_t count() const { return used; }
  // The entry at index i; empty outside 0..count - 1.
  RECT entry(int32_t i) const { return i >= 0 && i < used ? entries[i] : RECT{}; }
  // Index of the entry being painted; -1 while no painting is in progress.
  int32_t current_index() const { return current; }
  void set_current_index(int32_t index) { current = index; }
  // The entry being painted; null while nothing is.
  const RECT* current_rect() const;
  bool is_painting() const { return current_rect() != nullptr; }
  // Ends a paint pass: no current entry and an empty table.
  void clear();

  // Paints one rectangle outside the per-frame pass: entry 0 becomes the
  // rectangle and the current entry for the scope's life, and both are
  // given back when it ends.
  class SCOPED_ENTRY {
  public:
    SCOPED_ENTRY(DIRTY_RECTANGLES& table, const RECT& r);
    ~SCOPED_ENTRY();
    SCOPED_ENTRY(const SCOPED_ENTRY&) = delete;
    SCOPED_ENTRY& operator=(const SCOPED_ENTRY&) = delete;

  private:
    DIRTY_RECTANGLES& table;
    RECT saved_entry;
    int32_t saved_current;
    int32_t saved_count;
  };

private:
  RECT entries[CAPACITY];
  int32_t used = 0;
  int32_t current = -1;
};

// The one table of the toolkit.
DIRTY_RECTANGLES& dirty_rectangles();
