// The flag chooser: its buttons and grid, the check boxes rebuilt from the
// labels, the layout that sizes and centres the dialog around them, and the
// answers of its items.
#include "wm_flags_select.h"

#include <algorithm>

#include "image.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_grid.h"
#include "wm_script.h"

namespace {

constexpr int32_t kMargin = 10;            // around the grid, and below the buttons
constexpr int32_t kMinimumGridWidth = 200;  // before the grid's gaps
constexpr int32_t kMinimumGridHeight = 20;
constexpr int32_t kFixedHeight = 29;  // the margins above, between and below the grid and buttons
constexpr uint16_t kSliderLength = 25;

int16_t i16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }
uint16_t u16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, UINT16_MAX)); }

uint16_t gap_or_border(uint16_t gap, uint32_t shading_type) {
  return gap == WM_STYLE_SET::UNSET ? static_cast<uint16_t>(get_border_width(shading_type)) : gap;
}

}  // namespace

WM_FLAGS_SELECT::WM_FLAGS_SELECT(WM_CALLBACK callback, uintptr_t word,
                                 const WM_STYLE_SET* box_style, const WM_STYLE_SET* grid_style)
    : WM_DIALOG(-1, -1, 200, 100, DEFAULT_TITLE, nullptr, nullptr, nullptr, nullptr) {
  build(callback, word, box_style, grid_style);
}

void WM_FLAGS_SELECT::build(WM_CALLBACK callback, uintptr_t word, const WM_STYLE_SET* box_style,
                            const WM_STYLE_SET* grid_style) {
  mask = 0;
  labels.clear();
  if (box_style) {
    check_box_style.copy(*box_style);
    has_check_box_style = 1;
  }
  action_callback = callback;
  action_word_1 = word;
  const int32_t bw = button_width(), bh = button_height();
  auto make_button = [&](const char* text, ITEM id) {
    auto* b = new WM_BUTTON(0, 0, i16(bw - 1), i16(bh - 1), &button_style, text, nullptr, on_item,
                            id, reinterpret_cast<uintptr_t>(this), button_event::RELEASE);
    add_child(b, true);
    return b;
  };
  ok_button = make_button(OK_TEXT, ITEM_OK);
  cancel_button = make_button(CANCEL_TEXT, ITEM_CANCEL);

  grid = new WM_GRID(0, 0, 0, 0, 1, nullptr, nullptr, nullptr);
  WM_GRID::SETUP setup;
  // No background of its own: the dialog's body shows through.
  const COLOUR none = COLOUR_INVISIBLE;
  setup.colour = &none;
  setup.row_height = 1;
  setup.slider_width = kSliderLength;
  setup.x_spacing = setup.y_spacing = 1;
  const int32_t button_top = int32_t{height} - title_height() - body_style.cell_bottom_gap -
                             body_style.border_bottom_gap - kMargin - bh;
  grid->configure(kMargin, kMargin, i16(get_client()->width - kMargin - 1),
                  i16(std::max(button_top - kMargin, kMargin + 1)), setup);
  if (grid_style) grid->scrollbar_style.copy(*grid_style);
  add_child(grid, true);
  layout();
  leaves_once_closed = 1;
  kind |= wm_kind::FLAGS_SELECT;
  notify_created();
}

WM_FLAGS_SELECT::~WM_FLAGS_SELECT() { free_lists(); }

void WM_FLAGS_SELECT::free_lists() {
  labels.clear();
  flag_count = labelled_count = 0;
  if (grid) grid->clear(true);
}

void WM_FLAGS_SELECT::set_flags(uint32_t new_mask, const char* const* texts, int16_t count) {
  free_lists();
  flag_count = std::clamp<int16_t>(count, 0, MAX_FLAGS);
  mask = new_mask;
  labels.assign(static_cast<size_t>(flag_count), std::nullopt);
  for (int16_t i = 0; texts && i < flag_count; ++i) {
    if (!texts[i]) continue;
    labels[static_cast<size_t>(i)] = texts[i];
    ++labelled_count;
  }
  layout();
}

void WM_FLAGS_SELECT::get_flags(uint32_t* out) const {
  if (out) *out = mask;
}

bool WM_FLAGS_SELECT::has_check_box(int32_t flag) const {
  return flag >= 0 && flag < flag_count && labels[static_cast<size_t>(flag)].has_value();
}

WM_CHECK_BOX* WM_FLAGS_SELECT::get_check_box(int16_t flag) const {
  if (!has_check_box(flag)) return nullptr;
  for (int32_t row = 0; row < grid->get_row_count(); ++row) {
    WM_SCREEN_OBJECT* cell = grid->get_cell(0, row);
    if (cell && cell->value_word == static_cast<uintptr_t>(flag))
      return static_cast<WM_CHECK_BOX*>(cell);
  }
  return nullptr;
}

void WM_FLAGS_SELECT::sync_check_box(int16_t flag) {
  if (WM_CHECK_BOX* box = get_check_box(flag)) box->set_checked((mask >> flag) & 1u);
}

int32_t WM_FLAGS_SELECT::on_item(WM_SCREEN_OBJECT* item, uintptr_t id, uintptr_t dialog) {
  auto* d = reinterpret_cast<WM_FLAGS_SELECT*>(dialog);
  switch (id) {
    case ITEM_CHECK_BOX: {
      // The box has toggled itself already; the mask decides its state.
      const uintptr_t flag = item->value_word;
      if (flag >= static_cast<uintptr_t>(MAX_FLAGS) || !d->has_check_box(static_cast<int32_t>(flag)))
        return 0;
      d->mask ^= 1u << flag;
      d->sync_check_box(static_cast<int16_t>(flag));
      return 0;
    }
    case ITEM_OK:
    case ITEM_CANCEL:
      d->action_word_2 = id == ITEM_OK ? 1 : 0;
      return d->fire_callback(true);
    default:
      return 0;
  }
}

int32_t WM_FLAGS_SELECT::title_height() const {
  return get_title() ? get_title()->height : 0;
}

int32_t WM_FLAGS_SELECT::button_width() const {
  // As wide as the wider text, so that relabelled buttons still fit.
  IMAGE* s = drawing_surface();
  int32_t w = button_style.get_padded_text_width(s, CANCEL_TEXT);
  for (const WM_BUTTON* b : {ok_button, cancel_button})
    if (b) w = std::max(w, button_style.get_padded_text_width(s, b->get_text()));
  return w;
}

int32_t WM_FLAGS_SELECT::button_height() const {
  const WM_STYLE_SET& b = button_style;
  const IMAGE* s = drawing_surface();
  const int32_t font_h = b.font_y_sz != WM_STYLE_SET::UNSET ? b.font_y_sz : s ? s->font_height : 0;
  return gap_or_border(b.border_top_gap, b.shading_type) +
         gap_or_border(b.border_bottom_gap, b.shading_type) + font_h;
}

void WM_FLAGS_SELECT::layout() {
  const WM_STYLE_SET& b = body_style;
  grid->clear(true);
  int32_t widest = kMinimumGridWidth;
  int32_t row_h = grid->default_row_height;
  int32_t row = 0;
  for (int16_t i = 0; i < flag_count; ++i) {
    const std::optional<std::string>& label = labels[static_cast<size_t>(i)];
    if (!label) continue;
    const auto me = reinterpret_cast<uintptr_t>(this);
    auto* box = has_check_box_style
                    ? new WM_CHECK_BOX(0, 0, &check_box_style, label->c_str(), on_item,
                                       ITEM_CHECK_BOX, me)
                    : new WM_CHECK_BOX(0, 0, COLOUR_INVISIBLE, b.fg_colour, label->c_str(), 255,
                                       -1, -1, on_item, ITEM_CHECK_BOX, me, true);
    box->value_word = static_cast<uintptr_t>(i);
    box->set_checked((mask >> i) & 1u);
    widest = std::max<int32_t>(widest, box->width);
    if (row == 0) {
      if (box->height) row_h = box->height;
      grid->default_row_height = std::max(row_h - grid->style.y_spacing, 1);
    }
    if (!grid->set_cell(0, row++, box)) delete box;
  }

  const WM_STYLE_SET& g = grid->style;
  const int32_t shown = std::min<int32_t>(labelled_count, MAX_VISIBLE_ROWS);
  const int32_t grid_gaps = g.border_top_gap + g.border_bottom_gap;
  const int32_t grid_w = widest + g.border_left_gap + g.border_right_gap +
                         (labelled_count > MAX_VISIBLE_ROWS ? g.grid_scrollbar_width : 0);
  const int32_t side_gaps = b.border_left_gap + b.border_right_gap + b.cell_left_gap + b.cell_right_gap;
  const int32_t bw = button_width(), bh = button_height();
  const int32_t dw = grid_w + 2 * kMargin + side_gaps;
  const int32_t dh = title_height() + b.border_bottom_gap + b.cell_bottom_gap + kFixedHeight +
                     grid_gaps + bh + shown * row_h;
  if (dw != width || dh != height) {
    set_size(u16(dw), u16(dh), false);
    const uint16_t screen = screen_of_point(get_x(), get_y());
    set_position(i16(screen_origin_x(screen) + (get_screen_width(screen) - dw) / 2),
                 i16(screen_origin_y(screen) + (get_screen_height(screen) - dh) / 2));
  }

  const WM_SCREEN_OBJECT* client = get_client();
  const int32_t spacing = (dw - side_gaps - 2 * bw) / 3;
  const int32_t button_y = client->y + (dh - title_height()) - b.cell_bottom_gap -
                           b.border_bottom_gap - kMargin - bh;
  ok_button->set_size(u16(bw), u16(bh), false);
  cancel_button->set_size(u16(bw), u16(bh), false);
  ok_button->set_position(i16(client->x + spacing), i16(button_y));
  cancel_button->set_position(i16(client->x + 2 * spacing + bw), i16(button_y));
  grid->set_size(u16(grid_w), u16(std::max(grid_gaps + shown * row_h, kMinimumGridHeight)), true);
}
