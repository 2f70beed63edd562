#include "database_look.h"

#include <algorithm>

#include "default_dialog_styles.h"
#include "dialog_effects.h"
#include "font.h"
#include "wm_button.h"

namespace {

// The stored order of the style sets differs from the member order.
constexpr WM_STYLE_SET DATABASE::*kStyleOrder[] = {
    &DATABASE::check_box_style,      &DATABASE::progress_bar_style,
    &DATABASE::progress_bar_script_style, &DATABASE::menu_dropdown_style,
    &DATABASE::menu_button_style,    &DATABASE::menu_item_style,
    &DATABASE::menu_alt_item_style,  &DATABASE::text_style,
    &DATABASE::scrollbar_style,      &DATABASE::text_win_title_style,
    &DATABASE::text_win_text_style,  &DATABASE::title_style,
    &DATABASE::options_style,        &DATABASE::grid_style,
};

enum TOOLKIT_STYLE : uint8_t { BODY, TITLE, BUTTON, TOOLTIP, TOOLKIT_STYLE_COUNT };

bool read_toolkit_style(DATA_DEVICE* device, int index) {
  WM_STYLE_SET style;
  if (!device->read_object(style)) return false;
  switch (index) {
    case BODY: set_default_dialog_style(style); break;
    case TITLE: set_default_dialog_title_style(style); break;
    case BUTTON: set_default_dialog_button_style(style); break;
    default:
      WM_BUTTON::tooltip_style().copy(style);
      WM_BUTTON::tooltip_style_set = 1;
  }
  return true;
}

bool read_dialog_effects(DATA_DEVICE* device) {
  DIALOG_EFFECTS& effects = default_dialog_effects();
  uint16_t flags = 0;
  int32_t delay = 0;
  uint8_t alpha = 0;
  if (!device->read_u16(flags)) return false;
  effects.flags = flags;
  if (!device->read_i32(delay)) return false;
  effects.open_delay = delay < 0 ? 0 : static_cast<uint32_t>(delay);
  if (!device->read_i32(delay)) return false;
  effects.display_delay = delay < 0 ? 0 : static_cast<uint32_t>(delay);
  if (!device->read_u8(alpha)) return false;
  effects.dragging_alpha = alpha;
  return true;
}

// The toolkit's styles in their stored order.
std::vector<WM_STYLE_SET*> toolkit_styles() {
  init_default_dialog_styles();
  return {&default_dialog_style(), &default_dialog_title_style(), &default_dialog_button_style(),
          &WM_BUTTON::tooltip_style()};
}

}  // namespace

bool read_database_look(DATABASE& data, DATA_DEVICE* device, uint8_t version) {
  for (WM_STYLE_SET DATABASE::*style : kStyleOrder)
    if (!device->read_object(data.*style)) return false;
  for (IMAGE& icon : data.icons)
    if (!device->read_object(icon)) return false;
  for (int i = 0; i < TOOLKIT_STYLE_COUNT; ++i)
    if (!read_toolkit_style(device, i)) return false;
  if (version >= 4 && !read_dialog_effects(device)) return false;
  return version < 5 || (device->read_u16(data.progress_bar_animation_x_rate) &&
                         device->read_u16(data.progress_bar_animation_y_rate) &&
                         device->read_u16(data.progress_bar_animation_update_rate));
}

bool write_database_look(DATABASE& data, DATA_DEVICE* device) {
  for (WM_STYLE_SET DATABASE::*style : kStyleOrder)
    if (!device->write_object(data.*style)) return false;
  for (IMAGE& icon : data.icons)
    if (!device->write_object(icon)) return false;
  for (WM_STYLE_SET* style : toolkit_styles())
    if (!device->write_object(*style)) return false;
  const DIALOG_EFFECTS& effects = default_dialog_effects();
  return device->write_u16(static_cast<uint16_t>(effects.flags & dialog_effect::STORED_BITS)) &&
         device->write_i32(static_cast<int32_t>(effects.open_delay)) &&
         device->write_i32(static_cast<int32_t>(effects.display_delay)) &&
         device->write_u8(static_cast<uint8_t>(effects.dragging_alpha)) &&
         device->write_u16(data.progress_bar_animation_x_rate) &&
         device->write_u16(data.progress_bar_animation_y_rate) &&
         device->write_u16(data.progress_bar_animation_update_rate);
}

std::vector<uint8_t> fonts_of_look(const DATABASE& data) {
  std::vector<const WM_STYLE_SET*> styles;
  for (WM_STYLE_SET DATABASE::*style : kStyleOrder) styles.push_back(&(data.*style));
  for (const WM_STYLE_SET* style : toolkit_styles()) styles.push_back(style);
  // 255 draws in the surface's font; slots from FONT_BUILTIN_COUNT on are
  // filled at run time from no file of the installer's.
  std::vector<uint8_t> slots = {FONT_DEFAULT};
  for (const WM_STYLE_SET* style : styles)
    if (style->font_id < FONT_BUILTIN_COUNT) slots.push_back(style->font_id);
  std::sort(slots.begin(), slots.end());
  slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
  return slots;
}
