#include "wm_range_selector.h"

#include <algorithm>

#include "wm_button.h"
#include "wm_grid.h"
#include "wm_kinds.h"
#include "wm_script.h"

namespace {

const int16_t kDefaultWidths[WM_RANGE_SELECTOR::COLUMNS] = {1, 1, 5, 1, 1};
constexpr PARAMETER::SLOT kSlots[] = {PARAMETER::VALUE, PARAMETER::MINIMUM, PARAMETER::MAXIMUM};
const char* const kButtonTexts[WM_RANGE_SELECTOR::COLUMNS] = {"<<", "<", "", ">", ">>"};

// Targets travel in a button's pointer-sized user word.
uintptr_t target_word(int32_t target) {
  return static_cast<uintptr_t>(static_cast<intptr_t>(target));
}

int32_t target_of(uintptr_t word) { return static_cast<int32_t>(static_cast<intptr_t>(word)); }

}  // namespace

WM_RANGE_SELECTOR::WM_RANGE_SELECTOR(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                     WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                                     const int16_t* widths)
    : WM_SCREEN_OBJECT(true, callback, word_1, word_2) {
  WM_GRID::SETUP setup;
  setup.columns = COLUMNS;
  setup.widths = widths ? widths : kDefaultWidths;
  setup.row_height = 1;
  setup.slider_width = 25;
  setup.x_spacing = setup.y_spacing = 1;
  grid = new WM_GRID(x1, y1, x2, y2, COLUMNS, setup.widths, nullptr, nullptr);
  grid->configure(x1, y1, x2, y2, setup);
  // The one row takes the whole height.
  grid->rows_per_page = 1;
  add_child(grid, false);
}

WM_RANGE_SELECTOR::WM_RANGE_SELECTOR(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                     PARAMETER* new_value, const COLOUR* face, const COLOUR* text,
                                     WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                                     const int16_t* widths)
    : WM_RANGE_SELECTOR(x1, y1, x2, y2, callback, word_1, word_2, widths) {
  const uintptr_t self = reinterpret_cast<uintptr_t>(this);
  for (int32_t c = 0; c < COLUMNS; ++c) {
    if (c == LABEL)
      grid->add_script_cell(c, 0, "", text, face, 0);
    else
      grid->add_check_box_cell(c, 0, kButtonTexts[c], text, face, 0, step, self, 0,
                               COLOUR_BUTTON_KIND);
  }
  init(x1, y1, x2, y2, new_value);
}

WM_RANGE_SELECTOR::WM_RANGE_SELECTOR(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                     PARAMETER* new_value,
                                     const WM_STYLE_SET* const styles[COLUMNS],
                                     WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                                     const int16_t* widths)
    : WM_RANGE_SELECTOR(x1, y1, x2, y2, callback, word_1, word_2, widths) {
  const uintptr_t self = reinterpret_cast<uintptr_t>(this);
  for (int32_t c = 0; c < COLUMNS; ++c) {
    const WM_STYLE_SET* style = styles ? styles[c] : nullptr;
    if (c == LABEL)
      grid->add_text_cell(c, 0, "", style);
    else
      grid->add_button_cell(c, 0, kButtonTexts[c], style, step, self, 0, STYLE_BUTTON_KIND);
  }
  init(x1, y1, x2, y2, new_value);
}

WM_RANGE_SELECTOR::~WM_RANGE_SELECTOR() = default;

void WM_RANGE_SELECTOR::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                             PARAMETER* new_value) {
  x = x1;
  y = y1;
  width = static_cast<uint16_t>(std::max(1, x2 - x1 + 1));
  height = static_cast<uint16_t>(std::max(1, y2 - y1 + 1));
  value = new_value;
  format = DEFAULT_FORMAT;
  refresh();
  kind |= wm_kind::RANGE_SELECTOR;
  notify_created();
}

void WM_RANGE_SELECTOR::refresh() {
  for (PARAMETER::SLOT s : kSlots) shown[s] = value ? value->get_int(s) : 0;
  update_buttons();
  update_label();
}

std::string WM_RANGE_SELECTOR::format_label(const char* format, int32_t lower, int32_t current,
                                            int32_t upper) {
  std::string out;
  if (!format) return out;
  for (const char* p = format; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    switch (*++p) {
      case 'l': out += std::to_string(lower); break;
      case 'c': out += std::to_string(current); break;
      case 'u': out += std::to_string(upper); break;
      default: out += *p; break;
    }
  }
  return out;
}

void WM_RANGE_SELECTOR::update_label() {
  WM_SCRIPT* label = get_label();
  if (!label) return;
  const int32_t lower = value ? value->get_int(PARAMETER::MINIMUM) : 0;
  const int32_t current = value ? value->get_int(PARAMETER::VALUE) : 0;
  const int32_t upper = value ? value->get_int(PARAMETER::MAXIMUM) : 0;
  label->set_text(format_label(format.c_str(), lower, current, upper).c_str(), false);
}

void WM_RANGE_SELECTOR::update_buttons() {
  const int32_t lower = value ? value->get_int(PARAMETER::MINIMUM) : 0;
  const int32_t current = value ? value->get_int(PARAMETER::VALUE) : 0;
  const int32_t upper = value ? value->get_int(PARAMETER::MAXIMUM) : 0;
  // Signed 64-bit, so that the extremes of the type do not wrap.
  const int64_t down = std::max<int64_t>(int64_t{current} - 1, lower);
  const int64_t up = std::min<int64_t>(int64_t{current} + 1, upper);
  const struct {
    COLUMN column;
    int64_t target;
    bool enabled;
  } buttons[] = {{FIRST, lower, current > lower},
                 {PREVIOUS, down, current > lower},
                 {NEXT, up, current < upper},
                 {LAST, upper, current < upper}};
  for (const auto& b : buttons) {
    WM_BUTTON* button = get_button(b.column);
    if (!button) continue;
    button->set_enabled(b.enabled);
    button->action_word_2 = target_word(static_cast<int32_t>(b.target));
  }
}

void WM_RANGE_SELECTOR::set_format(const char* new_format) {
  format = new_format ? new_format : "";
  update_label();
}

int32_t WM_RANGE_SELECTOR::step(WM_SCREEN_OBJECT*, uintptr_t selector, uintptr_t target) {
  auto* self = reinterpret_cast<WM_RANGE_SELECTOR*>(selector);
  if (!self) return 0;
  if (self->value) self->value->set_int(PARAMETER::VALUE, target_of(target));
  self->refresh();
  return self->fire_callback(true);
}

int32_t WM_RANGE_SELECTOR::process() {
  for (PARAMETER::SLOT s : kSlots) {
    if ((value ? value->get_int(s) : 0) != shown[s]) {
      refresh();
      break;
    }
  }
  return WM_SCREEN_OBJECT::process();
}

WM_BUTTON* WM_RANGE_SELECTOR::get_button(COLUMN column) const {
  if (column == LABEL || !grid) return nullptr;
  WM_SCREEN_OBJECT* cell = grid->get_cell(column, 0);
  return cell && (cell->kind & wm_kind::BUTTON) ? static_cast<WM_BUTTON*>(cell) : nullptr;
}

WM_SCRIPT* WM_RANGE_SELECTOR::get_label() const {
  WM_SCREEN_OBJECT* cell = grid ? grid->get_cell(LABEL, 0) : nullptr;
  return cell && (cell->kind & wm_kind::SCRIPT) ? static_cast<WM_SCRIPT*>(cell) : nullptr;
}
