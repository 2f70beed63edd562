#pragma once
// Template records and a store with every field away from its default, for
// the tests of their stored forms.
#include <gtest/gtest.h>

#include "wm_ptm_app_info.h"

namespace template_test {

// One child below the object and a grandchild in a grid cell; the store
// needs two style sets and an image.
inline void fill_object(WM_PTM_OBJECT_INFO& object, WM_PTM_APP_INFO& store) {
  object.not_built = 1;
  object.type = 0x1000;
  object.set_text("Play game");
  object.set_tooltip("Starts");
  object.set_column_widths("40,60");
  template_set_text(object.action_name, "AID_PLAY");
  template_set_text(object.control_name, "CID_GRID");
  object.user_word_1 = 7;
  object.user_word_2 = 0xFFFFFFFFu;
  object.control_id = 9;
  object.x = -5;
  object.y = 12;
  object.width = 300;
  object.height = 0xFFF0;
  ASSERT_TRUE(object.ensure_style());
  object.own_style->fg_colour = 0xFF123456;
  object.own_style->set_name("own");
  object.name.set("Grid one");
  object.style = store.style_sets[1].get();
  object.extra_word = 0xABCD;
  object.enabled = 0;
  object.button_kind = 3;
  object.hotkey = 0xFF0D;
  object.image_mode = 1;
  object.image_visible = 0;
  object.image = store.images[0].get();
  object.row_height = 0;
  object.column_count = 2;
  object.cell_style = store.style_sets[0].get();
  object.cell_row = 4;
  object.cell_column = 1;
  ASSERT_TRUE(object.add_child(16));
  ASSERT_TRUE(object.get_child(0)->add_child(2));
  object.get_child(0)->get_child(0)->cell_row = 0;
}


// Every store field and array; the named arrays already in name order, so
// that a load (which sorts them) keeps their positions.
inline void fill_store(WM_PTM_APP_INFO& store) {
  store.set_title("Game");
  store.screen_width = 1024;
  store.screen_height = 768;
  store.full_screen = 1;
  store.show_logo = 1;
  store.extra_flag_1 = 0;
  store.extra_flag_2 = 2;
  store.background_colour = 0xFF102030;
  store.toolkit_value = 150;
  store.border_width = 3;
  store.border_colour_1 = 1;
  store.border_colour_2 = 2;
  store.border_colour_3 = 3;
  store.border_colour_4 = 4;
  store.transition_type = 11;
  store.transition_duration = 250;
  store.default_page_setting = 5;
  store.menu_mode = 2;
  store.menu_effects = {0x11, 5, 6, 7};
  store.list_box_effects = {0x22, 8, 9, 10};
  store.dialog_effects = {0x33, 11, 12, 13};
  store.tooltip_style.bg_colour = 0xFF00FF00;
  store.dialog_body_style.fg_colour = 0xFF111111;
  store.dialog_title_style.fg_colour = 0xFF222222;
  store.dialog_button_style.fg_colour = 0xFF333333;
  store.dialog_backdrop_1 = 3;  // neighbouring bytes all differ
  store.dialog_backdrop_2 = 1;
  store.dialog_live_drag = 0;
  store.dialog_draggable = 2;
  store.add_style_set();
  store.add_style_set()->fg_colour = 0xFF445566;
  store.add_font()->set_file_name("none.ttf");
  store.add_colour()->colour = 0x12345678;
  store.add_image()->set_file_name("not_there.png");
  store.add_image()->set_file_name("back.png");
  WM_PTM_CONSTANT_INFO* constant = store.add_constant();
  constant->value.set_from_string(PARAMETER::VALUE, "seven");
  WM_PTM_DIALOG_INFO* dialog = store.add_dialog();
  dialog->set_title("Sure?");
  ASSERT_TRUE(dialog->add_object(2));
  fill_object(*dialog->get_object(0), store);
  for (int a = 0; a < 2; a++) {
    WM_PTM_AREA_INFO* area = store.add_area();
    area->tag = a;
    area->width = static_cast<uint16_t>(400 + a);
    ASSERT_TRUE(area->add_page());
    WM_PTM_PAGE_INFO* page = area->get_page(0);
    page->background = store.images[1].get();
    page->page_setting = 2;
    page->page_text.set("text");
    ASSERT_TRUE(page->add_object(0x1000));
    fill_object(*page->get_object(0), store);
  }
}

}  // namespace template_test
