// The table: its parts and their layout, the refresh that rebuilds the
// header and menus and calls the owner, the requests that items record and
// process applies, and the column chooser's lifetime.
#include "wm_table.h"

#include <algorithm>
#include <cstdlib>

#include "folder.h"
#include "rect.h"
#include "wm_button.h"
#include "wm_flags_select.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_menu.h"
#include "wm_page_manager.h"
#include "wm_range_selector.h"
#include "wm_script.h"
#include "wm_table_chooser_link.h"

namespace {

constexpr const char* kTickImage = "menu_item_active";
constexpr const char* kColumnsText = "Columns";
constexpr const char* kFiltersText = "Filters";
constexpr const char* kChangeText = "Change";
constexpr const char* kResetText = "Reset";
constexpr const char* kColumnsTip = "Select the table columns you want to see.";
constexpr const char* kFiltersTip = "Select a filter to reduce the amount of data shown.";
constexpr const char* kPageTips[WM_RANGE_SELECTOR::COLUMNS] = {
    "Show first page.", "Show previous page.", nullptr, "Show next page.", "Show last page."};
constexpr int32_t kBarGap = 5;  // below the bar's parts, and between the menus and the label

uint16_t u16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, UINT16_MAX)); }

int32_t gap_or_border(uint16_t gap, uint32_t shading_type) {
  return gap == WM_STYLE_SET::UNSET ? get_border_width(shading_type) : gap;
}

// Border gaps and font height of one line of text in the style.
int32_t text_line_height(const WM_STYLE_SET& s) {
  const IMAGE* surface = WM_SCREEN_OBJECT::drawing_surface();
  const int32_t font_h =
      s.font_y_sz != WM_STYLE_SET::UNSET ? s.font_y_sz : surface ? surface->font_height : 0;
  return gap_or_border(s.border_top_gap, s.shading_type) +
         gap_or_border(s.border_bottom_gap, s.shading_type) + font_h;
}

const WM_STYLE_SET& or_default(const WM_STYLE_SET* s) {
  static const WM_STYLE_SET defaults;
  return s ? *s : defaults;
}

}  // namespace

WM_TABLE::WM_TABLE(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t page_count,
                   uint16_t rows_height, int16_t count, const WM_TABLE_COLUMN* given_columns,
                   const char* const* filters, int16_t filter_count, WM_TABLE_DATA_CALLBACK callback,
                   uintptr_t word, uint8_t options, const WM_TABLE_STYLES& styles)
    : WM_SCREEN_OBJECT(true, nullptr, 0, 0),
      row_height(rows_height),
      data_callback(callback),
      data_word(word) {
  if (styles.header) header_style.copy(*styles.header);
  if (styles.header_descending) descending_style.copy(*styles.header_descending);
  if (styles.header_ascending) ascending_style.copy(*styles.header_ascending);
  if (styles.chooser_check_box)
    chooser_check_box_style = std::make_unique<WM_STYLE_SET>(*styles.chooser_check_box);
  if (styles.chooser_grid) chooser_grid_style = std::make_unique<WM_STYLE_SET>(*styles.chooser_grid);
  FOLDER icons;
  if (icons.set("$ICONDATA")) tick.load(icons, kTickImage);
  page.set_type(PARAMETER::I16);
  page.set_int(PARAMETER::MINIMUM, 1);
  page.set_int(PARAMETER::MAXIMUM, std::clamp<int32_t>(page_count, 1, MAX_PAGES));
  page.set_int(PARAMETER::VALUE, 1);
  width = u16(int32_t{x2} - x1 + 1);
  height = u16(int32_t{y2} - y1 + 1);
  column_count = given_columns ? std::clamp<int16_t>(count, 0, MAX_COLUMNS) : 0;

  // The label must hold the prefix and the longest name.
  const WM_STYLE_SET& label_style = or_default(styles.filter_label);
  IMAGE* surface = drawing_surface();
  const int32_t prefix_w = label_style.get_padded_text_width(surface, FILTER_PREFIX) -
                           label_style.get_padded_text_width(surface, nullptr);
  int32_t label_w = label_style.get_padded_text_width(surface, NO_FILTER_NAME) + prefix_w;
  for (int16_t i = 0; filters && i < filter_count; ++i) {
    filter_names.emplace_back(filters[i] ? filters[i] : "");
    label_w = std::max(label_w,
                       label_style.get_padded_text_width(surface, filter_names.back().c_str()) +
                           prefix_w);
  }

  columns.assign(given_columns, given_columns + column_count);
  for (const WM_TABLE_COLUMN& c : columns) {
    visibility.push_back(c.default_visible ? 1 : 0);
    descriptions.push_back(c.description.get_text());
  }

  if (!(options & OPTION::NO_PAGE_SELECTOR)) {
    const int32_t s = text_line_height(or_default(styles.page_selector[WM_RANGE_SELECTOR::LABEL]));
    page_selector = new WM_RANGE_SELECTOR(to_i16(int32_t{x2} - PAGE_SELECTOR_WIDTH), y1, x2,
                                          to_i16(y1 + s), &page, styles.page_selector, on_event,
                                          EVENT_PAGE, reinterpret_cast<uintptr_t>(this), nullptr);
    page_selector->set_format(PAGE_FORMAT);
    for (int c = 0; c < WM_RANGE_SELECTOR::COLUMNS; ++c)
      if (WM_BUTTON* b = page_selector->get_button(static_cast<WM_RANGE_SELECTOR::COLUMN>(c)))
        b->set_tooltip(kPageTips[c]);
    header_height = to_i16(std::max<int32_t>(header_height, s + kBarGap));
    add_child(page_selector, true);
  }

  auto make_menu = [&](int32_t mx, const char* text, const char* tip) {
    auto* menu = new WM_MENU(to_i16(mx), y1, to_i16(mx - 1), to_i16(y1 - 1), text,
                             MENU_DIRECTION::BELOW, styles.menu_button, styles.menu_body, nullptr,
                             styles.menu_item, styles.menu_separator, nullptr, nullptr, nullptr,
                             nullptr);
    menu->set_tooltip(tip);
    header_height = to_i16(std::max<int32_t>(header_height, menu->height + kBarGap));
    add_child(menu, true);
    return menu;
  };
  int32_t menus_w = 0;
  if (!(options & OPTION::NO_COLUMNS_MENU)) {
    columns_menu = make_menu(x1, kColumnsText, kColumnsTip);
    menus_w = columns_menu->width + kBarGap;
  }
  const uint8_t no_filters_menu = OPTION::NO_PAGE_SELECTOR | OPTION::NO_COLUMNS_MENU;
  if (!(options & no_filters_menu) && !filter_names.empty()) {
    filters_menu = make_menu(x1 + menus_w, kFiltersText, kFiltersTip);
    WM_FLOATING_MENU* popup = filters_menu->get_popup();
    for (const std::string& name : filter_names)
      filter_items.push_back(popup->add_item(name.c_str(), on_event, EVENT_FILTER,
                                             reinterpret_cast<uintptr_t>(this), false));
    menus_w += filters_menu->width;
  }
  if (!(options & OPTION::NO_FILTER_LABEL)) {
    const int32_t lx = x1 + menus_w + kBarGap;
    filter_label = new WM_SCRIPT(to_i16(lx), y1, to_i16(lx + label_w),
                                 to_i16(y1 + header_height - kBarGap), &label_style, "");
    add_child(filter_label, true);
  }

  WM_STYLE_SET body = or_default(styles.body_grid);
  body.extended_flags |= SSEF_GRID_FIX_TOP_ROW;
  grid = new WM_GRID(x1, to_i16(y1 + header_height), x2, y2, 1, nullptr, &body,
                     styles.second_body_grid ? styles.second_body_grid : styles.body_grid);
  grid->default_row_height = row_height;
  add_child(grid, true);
  refresh();
}

WM_TABLE::~WM_TABLE() {
  if (chooser) {
    link->cut();
    WM_FLAGS_SELECT* dialog = chooser;
    chooser = nullptr;
    if (is_overlay(dialog)) remove_overlay(dialog, true, false);
  }
}

uint32_t WM_TABLE::get_visible_mask() const {
  uint32_t mask = 0;
  for (int16_t i = 0; i < column_count; ++i)
    if (visibility[static_cast<size_t>(i)]) mask |= 1u << i;
  return mask;
}

uint32_t WM_TABLE::get_default_mask() const {
  uint32_t mask = 0;
  for (int16_t i = 0; i < column_count; ++i)
    if (columns[static_cast<size_t>(i)].default_visible) mask |= 1u << i;
  return mask;
}

int16_t WM_TABLE::get_page() const { return to_i16(page.get_int(PARAMETER::VALUE)); }
int16_t WM_TABLE::get_page_count() const { return to_i16(page.get_int(PARAMETER::MAXIMUM)); }

// ---- Refresh ----------------------------------------------------------------

const WM_STYLE_SET& WM_TABLE::header_style_of(int16_t column) const {
  if (sort == column + 1) return ascending_style;
  if (sort == -(column + 1)) return descending_style;
  return header_style;
}

void WM_TABLE::build_header() {
  const uint64_t wanted = uint64_t{get_visible_mask()} << 16 | static_cast<uint16_t>(sort);
  if (wanted == header_built_for) {
    // Only the owner's rows go; the header stays as it is.
    if (grid->get_row_count() > 1) grid->delete_rows(1, grid->get_row_count() - 1);
    return;
  }
  header_built_for = wanted;
  visible_widths.clear();
  for (int16_t i = 0; i < column_count; ++i)
    if (visibility[static_cast<size_t>(i)]) visible_widths.push_back(columns[static_cast<size_t>(i)].width);
  visible_count = static_cast<int16_t>(visible_widths.size());
  if (visible_widths.empty()) visible_widths.push_back(1);

  grid->clear(false);  // which forgets the row height too
  grid->default_row_height = row_height;
  grid->set_column_widths(static_cast<int16_t>(visible_widths.size()), visible_widths.data());
  int32_t k = 0;
  for (int16_t i = 0; i < column_count; ++i) {
    if (!visibility[static_cast<size_t>(i)]) continue;
    const WM_TABLE_COLUMN& c = columns[static_cast<size_t>(i)];
    WM_BUTTON* b = grid->add_button_cell(k++, 0, c.title.get_text() ? c.title.get_text() : "",
                                         &header_style_of(i), on_event, EVENT_HEADER,
                                         reinterpret_cast<uintptr_t>(this), button_event::RELEASE);
    if (!b) continue;
    b->value_word = static_cast<uintptr_t>(i);
    b->set_tooltip(c.description.get_text());
  }
}

void WM_TABLE::mark_item(WM_BUTTON* item, bool on) const {
  if (!has_tick_image()) {
    item->set_active(on);
  } else if (on) {
    item->set_icon_image(tick);
  } else {
    static const IMAGE no_icon;
    item->set_icon_image(no_icon);
  }
}

void WM_TABLE::build_columns_menu() {
  WM_FLOATING_MENU* popup = columns_menu->get_popup();
  popup->clear_items();
  const auto me = reinterpret_cast<uintptr_t>(this);
  popup->add_item(kChangeText, on_event, EVENT_CHANGE, me, false);
  const uint32_t mask = get_visible_mask();
  menu_built_for = mask;
  if (WM_BUTTON* reset = popup->add_item(kResetText, on_event, EVENT_RESET, me, false))
    reset->set_enabled(mask != get_default_mask());
  set_items.clear();
  for (size_t j = 0; j < column_sets.size(); ++j) {
    WM_BUTTON* item = popup->add_item(column_sets[j].name.c_str(), on_event, EVENT_COLUMN_SET, me,
                                      j == 0);
    set_items.push_back(item);
    if (item) mark_item(item, column_sets[j].mask == mask);
  }
}

void WM_TABLE::mark_filters() {
  for (size_t i = 0; i < filter_items.size(); ++i)
    if (filter_items[i]) mark_item(filter_items[i], static_cast<int32_t>(i) == filter);
}

void WM_TABLE::refresh() {
  if (filter_label) {
    // Owner texts are joined, never formatted.
    std::string text = FILTER_PREFIX;
    text += filter >= 0 ? filter_names[static_cast<size_t>(filter)] : NO_FILTER_NAME;
    filter_label->set_text(text.c_str(), false);
  }
  build_header();
  if (columns_menu && menu_built_for != get_visible_mask()) build_columns_menu();
  // Last: the owner may delete the table.
  if (data_callback) data_callback(this, &page, visibility.data(), sort, filter, data_word);
}

// ---- Setters ----------------------------------------------------------------

void WM_TABLE::apply_mask(uint32_t mask) {
  for (int16_t i = 0; i < column_count; ++i)
    visibility[static_cast<size_t>(i)] = (mask >> i) & 1u;
  if (sort != 0 && !visibility[static_cast<size_t>(std::abs(sort) - 1)]) sort = 0;
}

void WM_TABLE::set_visible_columns(uint32_t mask) {
  apply_mask(mask);
  refresh();
}

void WM_TABLE::set_sort(int16_t new_sort) {
  if (new_sort < -column_count || new_sort > column_count || new_sort == sort) return;
  if (new_sort != 0 && !visibility[static_cast<size_t>(std::abs(new_sort) - 1)]) return;
  sort = new_sort;
  refresh();
}

void WM_TABLE::set_filter(int16_t new_filter) {
  if (new_filter < NO_FILTER || new_filter >= static_cast<int32_t>(filter_names.size())) return;
  filter = new_filter == filter ? NO_FILTER : new_filter;
  mark_filters();
  refresh();
}

void WM_TABLE::set_column_sets(const WM_TABLE_COLUMN_SET* sets, int16_t count) {
  column_sets.clear();
  for (int16_t i = 0; sets && i < count; ++i)
    column_sets.push_back({sets[i].name ? sets[i].name : UNKNOWN_SET_NAME, sets[i].mask});
  menu_built_for = STALE;
  refresh();
}

void WM_TABLE::set_page(int16_t new_page) {
  const int32_t before = page.get_int(PARAMETER::VALUE);
  page.set_int(PARAMETER::VALUE, new_page);
  if (page.get_int(PARAMETER::VALUE) != before) refresh();
}

void WM_TABLE::set_page_count(int16_t count) {
  if (count < 1 || count == get_page_count()) return;
  const int32_t before = page.get_int(PARAMETER::VALUE);
  page.set_int(PARAMETER::MAXIMUM, count);
  if (page.get_int(PARAMETER::VALUE) != before) refresh();
}

uint16_t WM_TABLE::get_body_height(uint16_t h, const WM_STYLE_SET* a, const WM_STYLE_SET* b) {
  int32_t bar = 0;
  for (const WM_STYLE_SET* s : {a, b})
    if (s) bar = std::max(bar, text_line_height(*s) + kBarGap);
  return u16(int32_t{h} - bar);
}

// ---- Requests ---------------------------------------------------------------

int32_t WM_TABLE::on_event(WM_SCREEN_OBJECT* item, uintptr_t code, uintptr_t word_2) {
  if (code == EVENT_CHANGE && (item->kind & wm_kind::FLAGS_SELECT)) {
    // The chooser's answer: word 2 is its result, its spare word the table.
    auto* dialog = static_cast<WM_FLAGS_SELECT*>(item);
    if (auto* t = reinterpret_cast<WM_TABLE*>(dialog->value_word)) t->chooser_answered(dialog, word_2 == 1);
    return 0;
  }
  auto* t = reinterpret_cast<WM_TABLE*>(word_2);
  if (!t) return 0;
  switch (code) {
    case EVENT_PAGE:
      // In the table's own frame, where the owner may delete it safely.
      t->refresh_requested = 1;
      break;
    case EVENT_CHANGE:
      t->open_chooser();
      break;
    case EVENT_RESET:
      t->pending_mask = t->get_default_mask();
      t->pending_mask_set = 1;
      break;
    case EVENT_HEADER: {
      const int16_t k = static_cast<int16_t>(item->value_word + 1);
      t->pending_sort = t->sort == k ? static_cast<int16_t>(-k) : t->sort == -k ? 0 : k;
      break;
    }
    case EVENT_FILTER:
      if (const int32_t i = index_of(t->filter_items, item); i >= 0)
        t->pending_filter = static_cast<int16_t>(i);
      break;
    case EVENT_COLUMN_SET:
      if (const int32_t i = index_of(t->set_items, item); i >= 0) {
        t->pending_mask = t->column_sets[static_cast<size_t>(i)].mask;
        t->pending_mask_set = 1;
      }
      break;
    default:
      break;
  }
  return 0;
}

int32_t WM_TABLE::index_of(const std::vector<WM_BUTTON*>& items, const WM_SCREEN_OBJECT* item) {
  const auto at = std::find(items.begin(), items.end(), item);
  return at == items.end() ? -1 : static_cast<int32_t>(at - items.begin());
}

// Every refresh calls the owner, who may delete the table.
int32_t WM_TABLE::process() {
  const LIFE_WATCH watch(this);
  if (pending_sort != NO_PENDING) {
    const int16_t s = pending_sort;
    pending_sort = NO_PENDING;
    set_sort(s);
    if (!watch.alive()) return 0;
  }
  if (pending_filter != NO_PENDING) {
    const int16_t f = pending_filter;
    pending_filter = NO_PENDING;
    set_filter(f);
    if (!watch.alive()) return 0;
  }
  if (pending_mask_set) {
    pending_mask_set = 0;
    apply_mask(pending_mask);
    refresh();
    if (!watch.alive()) return 0;
  }
  if (!refresh_if_requested(watch)) return 0;
  const int32_t result = WM_SCREEN_OBJECT::process();
  // A page step of the selector reaches the owner in the frame it was made.
  if (watch.alive()) refresh_if_requested(watch);
  return result;
}

bool WM_TABLE::refresh_if_requested(const LIFE_WATCH& watch) {
  if (!refresh_requested) return true;
  refresh_requested = 0;
  refresh();
  return watch.alive();
}

void WM_TABLE::set_size(uint16_t w, uint16_t h, bool resize_children) {
  if (w == width && h == height) return;
  if (visible) invalidate();
  const bool relayout = resize_children && grid;
  if (relayout) {
    grid->set_size(w, u16(int32_t{h} - header_height), true);
    grid->default_row_height = row_height;
    header_built_for = STALE;
    if (page_selector)
      page_selector->set_position(to_i16(int32_t{x} + w - page_selector->width), page_selector->y);
  }
  width = w;
  height = h;
  if (relayout) refresh();  // last: the owner may delete the table
}

// ---- Column chooser -----------------------------------------------------------

void WM_TABLE::open_chooser() {
  if (chooser) return;  // one at a time
  auto* dialog =
      new WM_FLAGS_SELECT(on_event, EVENT_CHANGE, chooser_check_box_style.get(), chooser_grid_style.get());
  dialog->set_text(CHOOSER_TITLE);
  dialog->set_flags(get_visible_mask(), descriptions.data(), column_count);
  dialog->value_word = reinterpret_cast<uintptr_t>(this);
  link = new WM_TABLE_CHOOSER_LINK(this);
  dialog->add_child(link, true);
  chooser = dialog;
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  WM_SCREEN_OBJECT* host = manager ? manager->current_root() : nullptr;
  if (!host) {
    host = this;
    while (host->parent) host = host->parent;
  }
  host->add_overlay(dialog, false);
}

void WM_TABLE::chooser_answered(WM_FLAGS_SELECT* dialog, bool ok) {
  if (ok) {
    pending_mask = dialog->get_flags();
    pending_mask_set = 1;
  }
  dialog->close(true);
}

void WM_TABLE::chooser_gone() {
  chooser = nullptr;
  link = nullptr;
}
