#pragma once
// One column of a WM_TABLE as its owner describes it: the relative width
// the grid gives it, whether it shows by default, the header text and the
// description that serves as the header's tooltip and the column chooser's
// label. Copies are deep: each copy owns its two strings.
#include <cstdint>

#include "vorn_string.h"

struct WM_TABLE_COLUMN {
  WM_TABLE_COLUMN() = default;
  WM_TABLE_COLUMN(int16_t column_width, bool shown, const char* column_title,
                  const char* column_description)
      : width(column_width),
        default_visible(shown ? 1 : 0),
        title(column_title),
        description(column_description) {}

  int16_t width = 1;  // relative to the other visible columns
  uint8_t default_visible = 1;
  VORN_STRING title;
  VORN_STRING description;
};
