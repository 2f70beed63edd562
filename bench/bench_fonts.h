#pragma once
// The DejaVu Sans the benchmarks draw with, loaded from the system's font
// folder into a fresh font table: in any free slot (the slot, or -1) or as
// the default font (whether it loaded).
#include <cstdint>

#include "folder.h"
#include "font.h"

inline int16_t load_bench_font(int16_t slot) {
  clear_load_builtin_fonts();
  FONT::init();
  FOLDER folder;
  if (!folder.set_absolute(get_system_font_folder())) return -1;
  return FONT::load("DejaVuSans.ttf", nullptr, slot, &folder);
}

inline int8_t load_bench_font_any_slot() {
  const int16_t slot = load_bench_font(FONT_ANY_SLOT);
  return slot >= 0 && slot < FONT_SLOT_LIMIT ? static_cast<int8_t>(slot) : -1;
}

inline bool load_bench_default_font() { return load_bench_font(FONT_DEFAULT) == FONT_DEFAULT; }
