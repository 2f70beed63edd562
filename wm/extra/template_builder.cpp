// Templates into live widgets: the object factory, tree building into
// parents and grid cells, pages on the page manager's areas and dialogs.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "screen.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_dialog.h"
#include "wm_grid.h"
#include "wm_image.h"
#include "wm_page_manager.h"
#include "wm_ptm_app_info.h"
#include "wm_ptm_image_info.h"
#include "wm_script.h"
#include "wm_typing_script.h"

WM_PTM_APP_INFO::OBJECT_HOOK WM_PTM_APP_INFO::object_hook = nullptr;
uintptr_t WM_PTM_APP_INFO::object_hook_word = 0;

namespace {

// The far edge of a rectangle from its origin and size; a size that is
// negative as a signed 16-bit value is passed on, meaning "from the content".
int16_t far_edge(int16_t origin, uint16_t size) {
  const int16_t signed_size = static_cast<int16_t>(size);
  if (signed_size < 0) return signed_size;
  return static_cast<int16_t>(origin + signed_size - 1);
}

WM_SCREEN_OBJECT* make_label(const WM_PTM_OBJECT_INFO& t, const WM_STYLE_SET* style) {
  return new WM_SCRIPT(t.x, t.y, far_edge(t.x, t.width), far_edge(t.y, t.height), style,
                       t.text ? t.text : "");
}

WM_SCREEN_OBJECT* make_button(const WM_PTM_OBJECT_INFO& t, const WM_STYLE_SET* style,
                              WM_CALLBACK callback) {
  auto* button = new WM_BUTTON(t.x, t.y, far_edge(t.x, t.width), far_edge(t.y, t.height), style,
                               t.text ? t.text : "", t.tooltip ? t.tooltip : "", callback,
                               t.user_word_1, t.user_word_2, t.button_kind);
  button->set_enabled(t.enabled != 0);
  button->set_hotkey(static_cast<uint32_t>(t.hotkey));
  return button;
}

WM_SCREEN_OBJECT* make_image(const WM_PTM_OBJECT_INFO& t, WM_CALLBACK callback) {
  auto* widget = new WM_IMAGE(t.x, t.y, t.width, t.height, t.image_visible != 0, callback,
                              t.user_word_1, t.user_word_2, t.image_mode);
  const IMAGE* picture = t.image ? t.image->picture : nullptr;
  if (picture && picture->width > 0 && picture->height > 0) {
    widget->image.copy(*picture);
    // An unset (negative) size keeps the picture's own.
    widget->image.scale_default(static_cast<int16_t>(t.width), static_cast<int16_t>(t.height));
    widget->fit_picture();
  }
  return widget;
}

WM_SCREEN_OBJECT* make_grid(const WM_PTM_OBJECT_INFO& t, const WM_STYLE_SET* style,
                            WM_CALLBACK callback) {
  std::vector<int16_t> widths;
  const bool listed = WM_GRID::parse_column_widths(t.column_widths, &widths) &&
                      widths.size() == t.column_count;
  WM_STYLE_SET default_bar_style;
  // `cell_style` is the grid's second style, which styles its scroll bar.
  auto* grid = new WM_GRID(t.x, t.y, far_edge(t.x, t.width), far_edge(t.y, t.height),
                           static_cast<int16_t>(t.column_count), listed ? widths.data() : nullptr,
                           style, t.cell_style ? t.cell_style : &default_bar_style);
  grid->visible = style->visible;
  grid->action_callback = callback;
  grid->action_word_1 = t.user_word_1;
  grid->action_word_2 = t.user_word_2;
  const int32_t line = t.row_height ? t.row_height : WM_GRID::get_row_height(*style, nullptr);
  const int32_t spacing = style->y_spacing == WM_STYLE_SET::UNSET ? 0 : style->y_spacing;
  grid->default_row_height = line;
  grid->line_step = std::max(line - spacing, 1);
  if (grid->scrollbar && grid->line_step / 2 > 0) grid->scrollbar->line_step = grid->line_step / 2;
  return grid;
}

WM_SCREEN_OBJECT* make_typing_label(const WM_PTM_OBJECT_INFO& t, const WM_STYLE_SET* style) {
  // The label starts typing its text as it is made, 20 ms a character
  // from its first draw.
  auto* label = new WM_TYPING_SCRIPT(t.x, t.y, far_edge(t.x, t.width), far_edge(t.y, t.height),
                                     style, t.text ? t.text : "");
  // The type code is the kind bit, so that code finding the widget by kind
  // finds what the template asked for.
  label->kind |= wm_kind::TYPING_SCRIPT;
  return label;
}

void give_words(WM_SCREEN_OBJECT* object, const WM_PTM_OBJECT_INFO& t) {
  object->action_word_1 = t.user_word_1;
  object->action_word_2 = t.user_word_2;
}

}  // namespace

WM_SCREEN_OBJECT* WM_PTM_OBJECT_INFO::create_object(WM_CALLBACK action_callback) {
  if (not_built) return nullptr;
  WM_STYLE_SET default_style;  // the widgets keep copies of their style
  const WM_STYLE_SET* chosen = own_style ? own_style : style ? style : &default_style;
  WM_SCREEN_OBJECT* made = nullptr;
  switch (type) {
    case 0:
      if (WM_PTM_APP_INFO::object_hook)
        made = WM_PTM_APP_INFO::object_hook(this, action_callback,
                                            WM_PTM_APP_INFO::object_hook_word);
      if (!made) made = make_label(*this, chosen);
      give_words(made, *this);
      break;
    case wm_kind::SCRIPT:
      made = make_label(*this, chosen);
      give_words(made, *this);
      break;
    case wm_kind::BUTTON:
      made = make_button(*this, chosen, action_callback);
      break;
    case wm_kind::IMAGE:
      made = make_image(*this, action_callback);
      break;
    case wm_kind::GRID:
      made = make_grid(*this, chosen, action_callback);
      break;
    case wm_kind::CHECK_BOX:
      made = new WM_CHECK_BOX(x, y, chosen, text ? text : "", action_callback, user_word_1,
                              user_word_2);
      break;
    case wm_kind::TYPING_SCRIPT:
      made = make_typing_label(*this, chosen);
      give_words(made, *this);
      break;
    default:
      return nullptr;
  }
  note_built(made);
  return made;
}

void WM_PTM_APP_INFO::build_objects(WM_SCREEN_OBJECT* parent, WM_CALLBACK callback,
                                    const TEMPLATE_LIST& templates) {
  // Without a parent nothing would own what is made.
  if (!parent) return;
  for (const auto& t : templates) {
    WM_SCREEN_OBJECT* object = t->create_object(callback);
    if (!object) continue;
    if ((parent->kind & wm_kind::GRID) && t->cell_row != 0xFFFF && t->cell_column != 0xFFFF) {
      // A grid refuses rows beyond its limit: the object would belong to
      // nobody, so it goes, and its subtree is never built.
      if (!static_cast<WM_GRID*>(parent)->set_cell(t->cell_column, t->cell_row, object)) {
        delete object;
        continue;
      }
    } else {
      parent->add_child(object, true);
    }
    if (t->get_child_count() > 0) build_objects(object, callback, t->get_children());
    if (callback && t->control_id != 0) callback(object, t->control_id, 0);
  }
}

bool WM_PTM_APP_INFO::build_page(uint32_t page_id, WM_CALLBACK callback, uint32_t area) {
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  if (!manager || !loaded) return false;
  const int16_t index =
      area == 0xFFFFFFFFu ? manager->get_current_area() : static_cast<int16_t>(area);
  if (index < 0 || index >= static_cast<int32_t>(areas.size()) ||
      index >= manager->get_area_count())
    return false;
  const WM_PTM_AREA_INFO& record = *areas[static_cast<size_t>(index)];
  WM_PTM_PAGE_INFO* page = nullptr;
  for (int32_t i = 0; i < record.get_page_count() && !page; ++i)
    if (record.get_page(i)->id == page_id) page = record.get_page(i);
  if (!page) return false;

  WM_AREA& layer = manager->area(index);
  const IMAGE* picture = page->background ? page->background->picture : nullptr;
  if (picture && picture->width > 0 && picture->height > 0) {
    int16_t x = static_cast<int16_t>(record.x), y = static_cast<int16_t>(record.y);
    int16_t w = static_cast<int16_t>(record.width), h = static_cast<int16_t>(record.height);
    // The root's own rectangle, once it has one (the store's start gives
    // each root its area's rectangle).
    if (layer.root.get_width() > 0 && layer.root.get_height() > 0) {
      x = layer.root.get_x();
      y = layer.root.get_y();
      w = static_cast<int16_t>(layer.root.get_width());
      h = static_cast<int16_t>(layer.root.get_height());
    }
    IMAGE scaled;
    scaled.copy(*picture);
    scaled.scale_default(w, h);
    manager->area(0).root.invalidate_screen();
    IMAGE& back = manager->back_buffers[0];
    const bool had_size = back.width > 0 && back.height > 0;
    back.create(get_screen_width(0), get_screen_height(0));
    if (!had_size) {
      const COLOUR black = 0xFF000000;
      back.clear(&black, true);
    }
    scaled.draw(x, y, &back, BLIT_BLEND);
  }
  build_objects(&layer.root, callback, page->get_objects());
  layer.slots[layer.current_slot].page_word = page_id;
  return true;
}

WM_DIALOG* WM_PTM_APP_INFO::create_dialog(const char* name, WM_CALLBACK callback,
                                          uintptr_t word_1, uintptr_t word_2,
                                          const DIALOG_EFFECTS* effects) {
  if (!loaded || !name) return nullptr;
  const WM_PTM_DIALOG_INFO* found = nullptr;
  for (const auto& d : dialogs)
    if (d->name && strcmp(d->name, name) == 0) {
      found = d.get();
      break;
    }
  if (!found) return nullptr;
  auto* dialog = new WM_DIALOG(static_cast<int16_t>(found->x), static_cast<int16_t>(found->y),
                               static_cast<int16_t>(found->width),
                               static_cast<int16_t>(found->height), found->title, nullptr,
                               nullptr, nullptr, effects);
  WM_DIALOG* const outer = WM_DIALOG::current_dialog;
  WM_DIALOG::current_dialog = dialog;
  dialog->action_word_1 = word_1;
  dialog->action_word_2 = word_2;
  build_objects(dialog->get_client(), callback, found->get_objects());
  WM_DIALOG::current_dialog = outer;
  return dialog;
}

void WM_PTM_APP_INFO::capture_objects(const std::vector<WM_SCREEN_OBJECT*>& objects,
                                      WM_PTM_PAGE_INFO* page, WM_PTM_OBJECT_INFO* parent) {
  if (!page && !parent) return;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (page)
      page->add_object(wm_kind::SCRIPT);
    else
      parent->add_child(wm_kind::SCRIPT);
  }
}
