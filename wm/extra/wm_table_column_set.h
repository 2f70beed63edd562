#pragma once
// A named choice of visible columns that a WM_TABLE offers in its "Columns"
// menu: bit i of the mask shows column i. The owner passes these; the table
// keeps its own copies.
#include <cstdint>

struct WM_TABLE_COLUMN_SET {
  const char* name = nullptr;  // null shows "Unknown"
  uint32_t mask = 0;
};
