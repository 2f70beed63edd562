#pragma once
// The looks a WM_TABLE is built from, one named pointer each instead of a
// long run of arguments. Every pointer may be null: the part then takes the
// toolkit's defaults (the second grid style falls back to the body style).
#include "wm_range_selector.h"
#include "wm_style_set.h"

struct WM_TABLE_STYLES {
  // The "Columns" and "Filters" menus: button, pop-up body, items and
  // separators.
  const WM_STYLE_SET* menu_button = nullptr;
  const WM_STYLE_SET* menu_body = nullptr;
  const WM_STYLE_SET* menu_item = nullptr;
  const WM_STYLE_SET* menu_separator = nullptr;
  const WM_STYLE_SET* filter_label = nullptr;
  // "<<", "<", the label, ">", ">>".
  const WM_STYLE_SET* page_selector[WM_RANGE_SELECTOR::COLUMNS] = {};
  const WM_STYLE_SET* body_grid = nullptr;
  const WM_STYLE_SET* second_body_grid = nullptr;  // the grid's scroll bar
  const WM_STYLE_SET* header = nullptr;
  const WM_STYLE_SET* header_descending = nullptr;
  const WM_STYLE_SET* header_ascending = nullptr;
  const WM_STYLE_SET* chooser_check_box = nullptr;
  const WM_STYLE_SET* chooser_grid = nullptr;
};
