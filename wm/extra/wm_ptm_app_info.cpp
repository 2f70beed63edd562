#include "wm_ptm_app_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "data_file.h"
#include "errors.h"
#include "folder.h"
#include "image_cache.h"
#include "template_stream.h"
#include "wm_list_box.h"
#include "wm_menu.h"

namespace {
WM_PTM_APP_INFO* registered_store = nullptr;

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

template <typename T>
bool write_array(DATA_DEVICE* device, const std::vector<std::unique_ptr<T>>& list) {
  if (!device->write_u32(static_cast<uint32_t>(list.size()))) return false;
  for (const auto& item : list)
    if (!device->write_object(*item)) return false;
  return true;
}

const char* name_of(const WM_STYLE_SET& style) { return style.name ? style.name : ""; }
template <typename T>
const char* name_of(const T& record) { return record.name ? record.name : ""; }

// Stable, so that the first of equal names stays first.
template <typename T>
void sort_by_name(std::vector<std::unique_ptr<T>>& list) {
  std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
    return strcmp(name_of(*a), name_of(*b)) < 0;
  });
}
}  // namespace

WM_PTM_APP_INFO::WM_PTM_APP_INFO() {
  if (registered_store) report_error(0x6C);
  registered_store = this;
  clear();
}

WM_PTM_APP_INFO::~WM_PTM_APP_INFO() {
  if (registered_store == this) registered_store = nullptr;
  clear();
}

void WM_PTM_APP_INFO::set_title(const char* text) { template_set_text(title, text); }

void WM_PTM_APP_INFO::clear() {
  // Areas and dialogs point at images and style sets: they go first.
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
            device->write_u8(dialog_backdrop_2) && write_array(device, style_sets) &&
            write_array(device, fonts) && write_array(device, colours) &&
            write_array(device, images) && write_array(device, constants) &&
            write_array(device, dialogs) && write_array(device, areas);
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
    if (version >= 15) {
      ok = stream->read_u8(cache_flag) && (!cache_flag || stream->read_object(wm_image_cache()));
    }
  }
  if (ok) ok = stream->read_object(*this);
  FOLDER::close_data_file(stream);
  loaded = ok ? 1 : 0;
  template_read_version = TEMPLATE_STREAM_VERSION;
  if (ok) sort_named_arrays();
  return ok;
}

bool WM_PTM_APP_INFO::save(const FOLDER& folder, const char* file, uint8_t cache_flag) {
  DATA_FILE* stream = folder.open_data_file(file, 1, 255);
  if (!stream) return false;
  bool ok = stream->write_u16(TEMPLATE_STREAM_VERSION) && stream->write_u8(cache_flag) &&
            (!cache_flag || stream->write_object(wm_image_cache())) && stream->write_object(*this);
  return FOLDER::close_data_file(stream) && ok;
}
