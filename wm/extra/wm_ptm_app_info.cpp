#include "wm_ptm_app_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "data_file.h"
#include "errors.h"
#include "folder.h"
#include "image_cache.h"
#include "skin_frame.h"
#include "application_info.h"
#include "default_dialog_styles.h"
#include "image_page.h"
#include "template_lists.h"
#include "template_stream.h"
#include "window.h"
#include "wm_button.h"
#include "wm_dialog.h"
#include "wm_list_box.h"
#include "wm_menu.h"
#include "wm_page_manager.h"
#include "wm_ptm_object_info.h"
#include "wm_ptm_page_info.h"

namespace {
WM_PTM_APP_INFO* registered_store = nullptr;
PTM_PROGRESS_HOOK progress_hook = nullptr;
uintptr_t progress_word = 0;
// What start remembers for logo_done, which the image page calls back
// without an argument.
WM_PTM_APP_INFO* started_store = nullptr;
PTM_START_HOOK start_hook = nullptr;
uint8_t logo_shown = 0;

template <typename T>
int32_t position_of(const std::vector<std::unique_ptr<T>>& list, const T* item) {
  if (!item) return -1;
  for (size_t i = 0; i < list.size(); i++)
    if (list[i].get() == item) return static_cast<int32_t>(i);
  return -1;
}

template <typename T>
T* at(const std::vector<std::unique_ptr<T>>& list, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= list.size()) return nullptr;
  return list[static_cast<size_t>(index)].get();
}

template <typename T>
T* append_named(std::vector<std::unique_ptr<T>>& list, const char* kind) {
  T* made = new (std::nothrow) T();
  if (!made) return nullptr;
  char label[32];
  snprintf(label, sizeof label, "%s %d", kind, static_cast<int>(list.size()) + 1);
  made->set_name(label);
  list.emplace_back(made);
  return made;
}
TEMPLATE_EFFECTS from_toolkit(const DIALOG_EFFECTS& effects) {
  TEMPLATE_EFFECTS kept;
  kept.flags = static_cast<uint16_t>(effects.flags);
  kept.open_delay = static_cast<int32_t>(effects.open_delay);
  kept.display_delay = static_cast<int32_t>(effects.display_delay);
  kept.dragging_alpha = static_cast<uint8_t>(effects.dragging_alpha);
  return kept;
}

void copy_effects(const TEMPLATE_EFFECTS& kept, DIALOG_EFFECTS& toolkit) {
  toolkit.flags = kept.flags;
  toolkit.open_delay = static_cast<uint32_t>(kept.open_delay);
  toolkit.display_delay = static_cast<uint32_t>(kept.display_delay);
  toolkit.dragging_alpha = kept.dragging_alpha;
}

bool read_effects(DATA_DEVICE* device, TEMPLATE_EFFECTS& effects) {
  return device->read_u16(effects.flags) && device->read_i32(effects.open_delay) &&
         device->read_i32(effects.display_delay) && device->read_u8(effects.dragging_alpha);
}

bool write_effects(DATA_DEVICE* device, const TEMPLATE_EFFECTS& effects) {
  return device->write_u16(effects.flags) && device->write_i32(effects.open_delay) &&
         device->write_i32(effects.display_delay) && device->write_u8(effects.dragging_alpha);
}

// Older layouts kept only four switches of an effect group.
bool read_effect_bytes(DATA_DEVICE* device, TEMPLATE_EFFECTS& effects) {
  uint8_t b[4];
  for (uint8_t& one : b)
    if (!device->read_u8(one)) return false;
  effects.flags = static_cast<uint16_t>((b[0] ? 0x10 : 0) | (b[1] ? 0x20 : 0) | (b[2] ? 0x01 : 0) |
                                        (b[3] ? 0x02 : 0));
  return true;
}

// The smallest stored record of each array, which bounds a count by the
// bytes that remain.
constexpr uint32_t kSmallestStyleSet = 4;
constexpr uint32_t kSmallestNamed = 8;
constexpr uint32_t kSmallestArea = 20;
constexpr uint32_t kSmallestDialog = 20;

// Reads u32 count records into list. keep_existing appends to what the
// list already holds instead of replacing it.
template <typename T>
bool read_array(DATA_DEVICE* device, std::vector<std::unique_ptr<T>>& list, uint32_t min_bytes,
                bool keep_existing = false) {
  uint32_t count = 0;
  if (!device->read_u32(count) || !template_count_fits(device, count, min_bytes)) return false;
  if (!keep_existing) list.clear();
  size_t first = list.size();
  list.reserve(first + count);
  for (uint32_t i = 0; i < count; i++) {
    T* made = new (std::nothrow) T();
    if (!made) {
      device->error = 1;
      return false;
    }
    list.emplace_back(made);
  }
  for (size_t i = first; i < list.size(); i++)
    if (!device->read_object(*list[i])) return false;
  return true;
}

const char* name_of(const WM_STYLE_SET& style) { return style.name ? style.name : ""; }
template <typename T>
const char* name_of(const T& record) { return record.name ? record.name : ""; }

template <typename T>
bool name_before(const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
  return strcmp(name_of(*a), name_of(*b)) < 0;
}

// Stable, so that the first of equal names stays first.
template <typename T>
void sort_by_name(std::vector<std::unique_ptr<T>>& list) {
  std::stable_sort(list.begin(), list.end(), name_before<T>);
}

template <typename T>
T* find_by_name(std::vector<std::unique_ptr<T>>& list, const char* name, int32_t* out_index) {
  if (out_index) *out_index = -1;
  if (!std::is_sorted(list.begin(), list.end(), name_before<T>)) sort_by_name(list);
  const char* key = name ? name : "";
  auto found = std::lower_bound(list.begin(), list.end(), key,
                                [](const std::unique_ptr<T>& item, const char* wanted) {
                                  return strcmp(name_of(*item), wanted) < 0;
                                });
  if (found == list.end() || strcmp(name_of(**found), key) != 0) return nullptr;
  if (out_index) *out_index = static_cast<int32_t>(found - list.begin());
  return found->get();
}

void visit_tree(WM_PTM_OBJECT_INFO& object, void (*visit)(WM_PTM_OBJECT_INFO&, const void*),
                const void* gone) {
  visit(object, gone);
  for (int32_t i = 0; i < object.get_child_count(); i++) visit_tree(*object.get_child(i), visit, gone);
}

int compare_names(const char* a, const char* b) { return strcmp(a ? a : "", b ? b : ""); }
}  // namespace

WM_PTM_APP_INFO::WM_PTM_APP_INFO() {
  if (registered_store) report_error(0x6C);
  registered_store = this;
  clear();
}

WM_PTM_APP_INFO::~WM_PTM_APP_INFO() {
  if (registered_store == this) registered_store = nullptr;
  if (started_store == this) started_store = nullptr;
  clear();
  // A manager deleted elsewhere in the meantime is no longer ours to delete.
  if (owns_manager && manager == WM_PAGE_MANAGER::get()) delete manager;
}

void WM_PTM_APP_INFO::set_title(const char* text) { template_set_text(title, text); }

void WM_PTM_APP_INFO::clear() {
  // Areas and dialogs point at images and style sets: they go first. Live
  // objects built from their templates forget them as each template goes.
  areas.clear();
  dialogs.clear();
  style_sets.clear();
  fonts.clear();
  colours.clear();
  images.clear();
  constants.clear();
  template_set_text(title, nullptr);
  screen_width = 800;
  screen_height = 600;
  full_screen = show_logo = 0;
  extra_flag_1 = extra_flag_2 = 1;
  background_colour = 0xFFC0C0C0;
  toolkit_value = 200;
  border_width = 6;
  border_colour_1 = 0xFF808080;
  border_colour_2 = 0xFFFFFFFF;
  border_colour_3 = 0xFF000000;
  border_colour_4 = 0xFFFFFF00;
  transition_type = 0;
  transition_duration = 700;
  default_page_setting = 10;
  menu_mode = 0;
  menu_effects = from_toolkit(default_menu_effects());
  list_box_effects = from_toolkit(default_list_box_effects());
  dialog_effects = from_toolkit(default_dialog_effects());
  tooltip_style.set_defaults();
  tooltip_style.shading_type = 3;
  tooltip_style.fg_colour = 0xFF000000;
  tooltip_style.bg_colour = 0xFFFFD000;
  tooltip_style.fading_colour = 0xFFFF0000;
  tooltip_style.drawing_flags = 0x10B;
  tooltip_style.shading_flags = 15;
  dialog_body_style.set_defaults();
  dialog_body_style.fg_colour = 0xFF0000FF;
  dialog_body_style.bg_colour = 0xFFC0C0C0;
  dialog_title_style.set_defaults();
  dialog_title_style.fg_colour = 0xFF000000;
  dialog_title_style.bg_colour = 0xFFFF0000;
  dialog_button_style.set_defaults();
  dialog_button_style.fg_colour = 0xFF000000;
  dialog_button_style.bg_colour = 0xFFC0C0C0;
  dialog_button_style.highlight_colour = 0xFFFF0000;
  dialog_button_style.highlight_text_colour = 0xFF000000;
  dialog_button_style.drawing_flags = 1;
  dialog_backdrop_1 = 1;
  dialog_backdrop_2 = 0;
  dialog_live_drag = dialog_draggable = 1;
  loaded = 0;
}

WM_PTM_APP_INFO* WM_PTM_APP_INFO::registered() { return registered_store; }

WM_STYLE_SET* WM_PTM_APP_INFO::style_set_reference(int32_t index) {
  return registered_store ? at(registered_store->style_sets, index) : nullptr;
}

WM_PTM_IMAGE_INFO* WM_PTM_APP_INFO::image_reference(int32_t index) {
  return registered_store ? at(registered_store->images, index) : nullptr;
}

int32_t WM_PTM_APP_INFO::style_set_index(const WM_STYLE_SET* style) {
  return registered_store ? position_of(registered_store->style_sets, style) : -1;
}

int32_t WM_PTM_APP_INFO::image_index(const WM_PTM_IMAGE_INFO* image) {
  return registered_store ? position_of(registered_store->images, image) : -1;
}

WM_STYLE_SET* WM_PTM_APP_INFO::add_style_set() { return append_named(style_sets, "Style Set"); }
WM_PTM_FONT_INFO* WM_PTM_APP_INFO::add_font() { return append_named(fonts, "Font"); }
WM_PTM_COLOUR_INFO* WM_PTM_APP_INFO::add_colour() { return append_named(colours, "Colour"); }
WM_PTM_IMAGE_INFO* WM_PTM_APP_INFO::add_image() { return append_named(images, "Image"); }
WM_PTM_CONSTANT_INFO* WM_PTM_APP_INFO::add_constant() { return append_named(constants, "Constant"); }
WM_PTM_DIALOG_INFO* WM_PTM_APP_INFO::add_dialog() { return append_named(dialogs, "Dialog"); }
WM_PTM_AREA_INFO* WM_PTM_APP_INFO::add_area() { return append_named(areas, "Area"); }

bool WM_PTM_APP_INFO::remove_style_set(int32_t i) {
  if (!at(style_sets, i)) return false;
  forget_style_set(style_sets[static_cast<size_t>(i)].get());
  return template_remove_record(style_sets, i);
}
bool WM_PTM_APP_INFO::remove_font(int32_t i) { return template_remove_record(fonts, i); }
bool WM_PTM_APP_INFO::remove_colour(int32_t i) { return template_remove_record(colours, i); }
bool WM_PTM_APP_INFO::remove_image(int32_t i) {
  if (!at(images, i)) return false;
  forget_image(images[static_cast<size_t>(i)].get());
  return template_remove_record(images, i);
}
bool WM_PTM_APP_INFO::remove_constant(int32_t i) { return template_remove_record(constants, i); }
bool WM_PTM_APP_INFO::remove_dialog(int32_t i) { return template_remove_record(dialogs, i); }
bool WM_PTM_APP_INFO::remove_area(int32_t i) { return template_remove_record(areas, i); }

bool WM_PTM_APP_INFO::set_style_set_count(int32_t n) {
  free_style_sets();
  return template_make_records(style_sets, n);
}
bool WM_PTM_APP_INFO::set_font_count(int32_t n) { return template_make_records(fonts, n); }
bool WM_PTM_APP_INFO::set_colour_count(int32_t n) { return template_make_records(colours, n); }
bool WM_PTM_APP_INFO::set_image_count(int32_t n) {
  free_images();
  return template_make_records(images, n);
}
bool WM_PTM_APP_INFO::set_constant_count(int32_t n) { return template_make_records(constants, n); }
bool WM_PTM_APP_INFO::set_dialog_count(int32_t n) { return template_make_records(dialogs, n); }
bool WM_PTM_APP_INFO::set_area_count(int32_t n) { return template_make_records(areas, n); }

void WM_PTM_APP_INFO::free_style_sets() {
  forget_style_set(nullptr);
  style_sets.clear();
}
void WM_PTM_APP_INFO::free_fonts() { fonts.clear(); }
void WM_PTM_APP_INFO::free_colours() { colours.clear(); }
void WM_PTM_APP_INFO::free_images() {
  forget_image(nullptr);
  images.clear();
}
void WM_PTM_APP_INFO::free_constants() { constants.clear(); }
void WM_PTM_APP_INFO::free_dialogs() { dialogs.clear(); }
void WM_PTM_APP_INFO::free_areas() { areas.clear(); }

void WM_PTM_APP_INFO::for_each_template(void (*visit)(WM_PTM_OBJECT_INFO&, const void*),
                                        const void* gone) {
  for (auto& area : areas)
    for (int32_t p = 0; p < area->get_page_count(); p++) {
      WM_PTM_PAGE_INFO* page = area->get_page(p);
      for (int32_t o = 0; o < page->get_object_count(); o++) visit_tree(*page->get_object(o), visit, gone);
    }
  for (auto& dialog : dialogs)
    for (int32_t o = 0; o < dialog->get_object_count(); o++) visit_tree(*dialog->get_object(o), visit, gone);
}

void WM_PTM_APP_INFO::forget_image(const WM_PTM_IMAGE_INFO* image) {
  for (auto& area : areas)
    for (int32_t p = 0; p < area->get_page_count(); p++) {
      WM_PTM_PAGE_INFO* page = area->get_page(p);
      if (!image || page->background == image) page->background = nullptr;
    }
  for_each_template(
      [](WM_PTM_OBJECT_INFO& object, const void* gone) {
        if (!gone || object.image == gone) object.image = nullptr;
      },
      image);
}

void WM_PTM_APP_INFO::forget_style_set(const WM_STYLE_SET* style) {
  for_each_template(
      [](WM_PTM_OBJECT_INFO& object, const void* gone) {
        if (!gone || object.style == gone) object.style = nullptr;
        if (!gone || object.cell_style == gone) object.cell_style = nullptr;
      },
      style);
}

int WM_PTM_APP_INFO::compare_style_sets(const WM_STYLE_SET& a, const WM_STYLE_SET& b) {
  return compare_names(a.name, b.name);
}
int WM_PTM_APP_INFO::compare_fonts(const WM_PTM_FONT_INFO& a, const WM_PTM_FONT_INFO& b) {
  return compare_names(a.name, b.name);
}
int WM_PTM_APP_INFO::compare_colours(const WM_PTM_COLOUR_INFO& a, const WM_PTM_COLOUR_INFO& b) {
  return compare_names(a.name, b.name);
}
int WM_PTM_APP_INFO::compare_images(const WM_PTM_IMAGE_INFO& a, const WM_PTM_IMAGE_INFO& b) {
  return compare_names(a.name, b.name);
}
int WM_PTM_APP_INFO::compare_constants(const WM_PTM_CONSTANT_INFO& a, const WM_PTM_CONSTANT_INFO& b) {
  return compare_names(a.name, b.name);
}

void WM_PTM_APP_INFO::sort_style_sets() { sort_by_name(style_sets); }
void WM_PTM_APP_INFO::sort_fonts() { sort_by_name(fonts); }
void WM_PTM_APP_INFO::sort_colours() { sort_by_name(colours); }
void WM_PTM_APP_INFO::sort_images() { sort_by_name(images); }
void WM_PTM_APP_INFO::sort_constants() { sort_by_name(constants); }

WM_STYLE_SET* WM_PTM_APP_INFO::find_style_set(const char* name, int32_t* out_index) {
  return find_by_name(style_sets, name, out_index);
}
WM_PTM_FONT_INFO* WM_PTM_APP_INFO::find_font(const char* name, int32_t* out_index) {
  return find_by_name(fonts, name, out_index);
}
WM_PTM_COLOUR_INFO* WM_PTM_APP_INFO::find_colour(const char* name, int32_t* out_index) {
  return find_by_name(colours, name, out_index);
}
WM_PTM_IMAGE_INFO* WM_PTM_APP_INFO::find_image(const char* name, int32_t* out_index) {
  return find_by_name(images, name, out_index);
}
WM_PTM_CONSTANT_INFO* WM_PTM_APP_INFO::find_constant(const char* name, int32_t* out_index) {
  return find_by_name(constants, name, out_index);
}

uint32_t WM_PTM_APP_INFO::font_id_for_name(const char* name) {
  WM_PTM_FONT_INFO* font = find_font(name);
  return font ? font->font_id : 0xFFFFFFFFu;
}

const char* WM_PTM_APP_INFO::font_file_for_id(uint8_t id) const {
  for (const auto& font : fonts)
    if (font->font_id == id) return font->file_name;
  return nullptr;
}

uint32_t WM_PTM_APP_INFO::get_page_setting(uint32_t page_id, uint32_t area) const {
  int32_t index = static_cast<int16_t>(area);
  if (area == 0xFFFFFFFFu) {
    WM_PAGE_MANAGER* live = WM_PAGE_MANAGER::get();
    index = live ? live->get_current_area() : -1;
  }
  if (index < 0 || static_cast<size_t>(index) >= areas.size()) return default_page_setting;
  const WM_PTM_AREA_INFO& record = *areas[static_cast<size_t>(index)];
  for (int32_t p = 0; p < record.get_page_count(); p++) {
    const WM_PTM_PAGE_INFO* page = record.get_page(p);
    if (page->id == page_id) return page->page_setting ? page->page_setting : default_page_setting;
  }
  return default_page_setting;
}

void WM_PTM_APP_INFO::set_app_title(const char** out, const char* text) {
  ::set_app_title(text);
  if (out) *out = ::get_app_title();
}

const char* WM_PTM_APP_INFO::get_app_title() { return ::get_app_title(); }

WM_PAGE_MANAGER* WM_PTM_APP_INFO::create_manager(WM_PAGE_MANAGER* given) {
  if (!loaded) return nullptr;
  if (title) set_app_title(nullptr, title);
  // A manager deleted behind the store's back is forgotten, not reused.
  if (manager && manager != WM_PAGE_MANAGER::get()) {
    manager = nullptr;
    owns_manager = false;
  }
  if (given) {
    manager = given;
    owns_manager = false;
  } else if (!manager) {
    // One area per area record; a store generated from folders has none
    // and still gets the one area a page manager needs.
    size_t count = std::max<size_t>(1, std::min<size_t>(areas.size(), INT16_MAX));
    manager = new WM_PAGE_MANAGER(static_cast<uint16_t>(count), -1);
    owns_manager = true;
  }
  ::toolkit_value = toolkit_value;
  border_theme.default_style = border_width;
  border_theme.shadow = border_colour_1;
  border_theme.highlight = border_colour_2;
  border_theme.inner_outline = border_colour_3;
  border_theme.outline = border_colour_4;
  manager->first_page_fades_in = transition_type;
  manager->transition_duration = static_cast<uint32_t>(transition_duration);
  WM_MENU::menu_mode = menu_mode;
  copy_effects(menu_effects, default_menu_effects());
  copy_effects(list_box_effects, default_list_box_effects());
  WM_BUTTON::tooltip_style().copy(tooltip_style);
  WM_BUTTON::tooltip_style_set = 1;
  copy_effects(dialog_effects, default_dialog_effects());
  init_default_dialog_styles();
  set_default_dialog_style(dialog_body_style);
  set_default_dialog_title_style(dialog_title_style);
  set_default_dialog_button_style(dialog_button_style);
  WM_DIALOG::grey_behind = dialog_backdrop_1;
  WM_DIALOG::darken_behind = dialog_backdrop_2;
  WM_DIALOG::live_drag = dialog_live_drag;
  WM_DIALOG::draggable_default = dialog_draggable;
  return manager;
}

bool WM_PTM_APP_INFO::open_screen() {
  if (!loaded) return false;
  bool opened = ::open_screen(title ? title : get_app_title(), static_cast<int16_t>(screen_width),
                              static_cast<int16_t>(screen_height), full_screen, 0);
  if (manager && manager == WM_PAGE_MANAGER::get()) {
    manager->area(0).root.invalidate_screen();
    IMAGE& back = manager->back_buffers[0];
    if (back.create(get_screen_width(0), get_screen_height(0))) {
      COLOUR fill = background_colour;
      back.fill_rect_solid(0, 0, static_cast<int16_t>(back.width - 1), static_cast<int16_t>(back.height - 1),
                           &fill);
    }
  }
  return opened;
}

bool WM_PTM_APP_INFO::toggle_full_screen() {
  if (!loaded) return false;
  const char* text = title ? title : get_app_title();
  uint8_t wanted = full_screen ? 0 : 1;
  if (!::open_screen(text, static_cast<int16_t>(screen_width), static_cast<int16_t>(screen_height), wanted, 0)) {
    ::open_screen(text, static_cast<int16_t>(screen_width), static_cast<int16_t>(screen_height), full_screen, 0);
    return false;
  }
  full_screen = wanted;
  return true;
}

void WM_PTM_APP_INFO::start(PTM_START_HOOK hook) {
  started_store = this;
  start_hook = hook;
  if (show_logo && hook && !logo_shown && manager == WM_PAGE_MANAGER::get() && manager) {
    logo_shown = 1;
    FOLDER images_folder;
    images_folder.set_path("$APPDATA/images");
    IMAGE_PAGE_TIMING timing;
    timing.show_seconds = 2;
    timing.fade_in_ms = 1500;
    timing.leave_ms = 1500;
    show_image_page(manager, images_folder, "logo", logo_done, timing, true);
    return;
  }
  if (loaded) logo_done();
}

int32_t WM_PTM_APP_INFO::logo_done() {
  WM_PTM_APP_INFO* store = started_store;
  WM_PAGE_MANAGER* live = WM_PAGE_MANAGER::get();
  if (store && live) {
    // A manager given to the store may have fewer areas than the records.
    size_t count = std::min<size_t>(store->areas.size(), static_cast<size_t>(live->get_area_count()));
    for (size_t i = 0; i < count; i++) {
      const WM_PTM_AREA_INFO& record = *store->areas[i];
      WM_MANAGER& root = live->area(static_cast<int16_t>(i)).root;
      root.set_position(static_cast<int16_t>(record.x), static_cast<int16_t>(record.y));
      root.set_size(record.width, record.height, true);
    }
  }
  if (start_hook) start_hook();
  return 11;
}

void WM_PTM_APP_INFO::set_progress_hook(PTM_PROGRESS_HOOK hook, uintptr_t word) {
  progress_hook = hook;
  progress_word = word;
}

void WM_PTM_APP_INFO::progress() {
  if (progress_hook) progress_hook(progress_word);
}

void WM_PTM_APP_INFO::sort_named_arrays() {
  sort_by_name(style_sets);
  sort_by_name(fonts);
  sort_by_name(colours);
  sort_by_name(images);
  sort_by_name(constants);
}

bool WM_PTM_APP_INFO::get_from_data_device(DATA_DEVICE* device) {
  clear();
  bool ok = read_body(device);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_APP_INFO::read_body(DATA_DEVICE* device) {
  const uint16_t v = template_read_version;
  uint8_t ignored = 0;
  if (!template_read_string(device, &title) || !device->read_u16(screen_width) ||
      !device->read_u16(screen_height) || !device->read_u8(full_screen) ||
      !device->read_u8(transition_type) || !device->read_i32(transition_duration))
    return false;
  if (v >= 17 && !device->read_u32(default_page_setting)) return false;
  if (!device->read_u32(background_colour) || !device->read_u32(border_colour_1) ||
      !device->read_u32(border_colour_2))
    return false;
  if (v <= 7) {
    bool ok = device->read_u32(dialog_body_style.bg_colour) &&
              device->read_u32(dialog_body_style.fg_colour) &&
              device->read_u32(dialog_title_style.bg_colour) &&
              device->read_u32(dialog_title_style.fg_colour) &&
              device->read_u32(dialog_button_style.bg_colour) &&
              device->read_u32(dialog_button_style.fg_colour) &&
              device->read_u32(dialog_button_style.highlight_colour) &&
              device->read_u32(dialog_button_style.highlight_text_colour) &&
              device->read_u8(dialog_backdrop_1);
    dialog_button_style.drawing_flags = 1;
    if (!ok || !read_array(device, areas, kSmallestArea)) return false;
    return v == 0 || device->read_u32(border_width);
  }
  if (!device->read_u8(show_logo)) return false;
  if (v >= 23 && (!device->read_u8(extra_flag_1) || !device->read_u8(extra_flag_2))) return false;
  if (!device->read_u16(toolkit_value) || !device->read_u32(border_width) ||
      !device->read_u32(border_colour_3) || !device->read_u32(border_colour_4))
    return false;
  if (v <= 17 && (!device->read_u8(ignored) || !device->read_u8(ignored))) return false;
  if (!device->read_u32(menu_mode)) return false;
  if (v >= 25) {
    if (!read_effects(device, menu_effects) || !read_effects(device, list_box_effects) ||
        !device->read_object(tooltip_style) || !read_effects(device, dialog_effects))
      return false;
  } else if (!read_effect_bytes(device, menu_effects) || !read_effect_bytes(device, list_box_effects) ||
             !device->read_object(tooltip_style)) {
    return false;
  }
  if (!device->read_object(dialog_body_style) || !device->read_object(dialog_title_style) ||
      !device->read_object(dialog_button_style) || !device->read_u8(dialog_live_drag))
    return false;
  if (v >= 25 && !device->read_u8(dialog_draggable)) return false;
  if (!device->read_u8(dialog_backdrop_1)) return false;
  if (v >= 18 && !device->read_u8(dialog_backdrop_2)) return false;
  if (v == 8 && !read_array(device, areas, kSmallestArea)) return false;
  // A version-8 file's pages made image records for their backgrounds
  // while the areas were read; the file's images join them.
  if (!read_array(device, style_sets, kSmallestStyleSet) ||
      !read_array(device, fonts, kSmallestNamed) || !read_array(device, colours, kSmallestNamed) ||
      !read_array(device, images, kSmallestNamed, v == 8) ||
      !read_array(device, constants, kSmallestNamed / 2))
    return false;
  if (v >= 24 && !read_array(device, dialogs, kSmallestDialog)) return false;
  return v == 8 || read_array(device, areas, kSmallestArea);
}

bool WM_PTM_APP_INFO::put_to_data_device(DATA_DEVICE* device) {
  bool ok = template_write_string(device, title) && device->write_u16(screen_width) &&
            device->write_u16(screen_height) && device->write_u8(full_screen) &&
            device->write_u8(transition_type) && device->write_i32(transition_duration) &&
            device->write_u32(default_page_setting) && device->write_u32(background_colour) &&
            device->write_u32(border_colour_1) && device->write_u32(border_colour_2) &&
            device->write_u8(show_logo) && device->write_u8(extra_flag_1) &&
            device->write_u8(extra_flag_2) && device->write_u16(toolkit_value) &&
            device->write_u32(border_width) && device->write_u32(border_colour_3) &&
            device->write_u32(border_colour_4) && device->write_u32(menu_mode) &&
            write_effects(device, menu_effects) && write_effects(device, list_box_effects) &&
            device->write_object(tooltip_style) && write_effects(device, dialog_effects) &&
            device->write_object(dialog_body_style) && device->write_object(dialog_title_style) &&
            device->write_object(dialog_button_style) && device->write_u8(dialog_live_drag) &&
            device->write_u8(dialog_draggable) && device->write_u8(dialog_backdrop_1) &&
            device->write_u8(dialog_backdrop_2) && template_write_records(device, style_sets) &&
            template_write_records(device, fonts) && template_write_records(device, colours) &&
            template_write_records(device, images) && template_write_records(device, constants) &&
            template_write_records(device, dialogs) && template_write_records(device, areas);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_APP_INFO::load(const FOLDER& folder, const char* file, uint8_t* out_cache_flag) {
  uint8_t local_flag = 0;
  uint8_t& cache_flag = out_cache_flag ? *out_cache_flag : local_flag;
  cache_flag = 0;
  loaded = 0;
  DATA_FILE* stream = folder.open_data_file(file, 0, 255);
  if (!stream) return false;
  uint16_t version = 0;
  bool ok = stream->read_u16(version) && version <= TEMPLATE_STREAM_VERSION;
  if (ok) {
    template_read_version = version;
    progress();
    if (version >= 15) {
      ok = stream->read_u8(cache_flag) && (!cache_flag || stream->read_object(wm_image_cache()));
    }
  }
  if (ok) {
    progress();
    // Skin pictures of a store that carries its own cache come from it alone.
    skin_load_flags = cache_flag ? 8 : 1;
    ok = stream->read_object(*this);
    progress();
  }
  FOLDER::close_data_file(stream);
  loaded = ok ? 1 : 0;
  template_read_version = TEMPLATE_STREAM_VERSION;
  if (ok) {
    progress();
    sort_named_arrays();
    progress();
  }
  return ok;
}

bool WM_PTM_APP_INFO::save(const FOLDER& folder, const char* file, uint16_t area, uint8_t cache_flag) {
  int32_t index = static_cast<int16_t>(area);
  if (areas.empty() && !add_area()) return false;
  if (index < 0 || static_cast<size_t>(index) >= areas.size()) index = 0;
  WM_PTM_AREA_INFO& target = *areas[static_cast<size_t>(index)];
  WM_PAGE_MANAGER* live = WM_PAGE_MANAGER::get();
  if (target.add_page() && live)
    capture_objects(live->current_root()->children, target.get_page(target.get_page_count() - 1), nullptr);
  DATA_FILE* stream = folder.open_data_file(file, 1, 255);
  if (!stream) return false;
  bool ok = stream->write_u16(TEMPLATE_STREAM_VERSION) && stream->write_u8(cache_flag) &&
            (!cache_flag || stream->write_object(wm_image_cache())) && stream->write_object(*this);
  return FOLDER::close_data_file(stream) && ok;
}
