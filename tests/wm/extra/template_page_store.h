#pragma once
// A store describing one page of every kind of widget the factory makes,
// a dialog, and the pictures they use, for the tests that build from
// templates. Pictures go into "$APP/images" (the caller points "$APP" at a
// scratch folder first).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "test_support.h"
#include "wm_kinds.h"
#include "wm_ptm_app_info.h"

namespace template_test {

// The background's four quadrants.
constexpr COLOUR kTopLeft = 0xFF2040C0, kTopRight = 0xFF20A040;
constexpr COLOUR kBottomLeft = 0xFFC08020, kBottomRight = 0xFF802080;

// An 8 x 8 picture of four solid quadrants, saved as a PNG.
inline void save_quadrants(const FOLDER& folder, const char* name) {
  IMAGE picture(8, 8);
  const COLOUR colours[4] = {kTopLeft, kTopRight, kBottomLeft, kBottomRight};
  for (int q = 0; q < 4; ++q) {
    const int16_t x = static_cast<int16_t>(q % 2 * 4), y = static_cast<int16_t>(q / 2 * 4);
    picture.fill_rect_solid(x, y, static_cast<int16_t>(x + 3), static_cast<int16_t>(y + 3),
                            &colours[q]);
  }
  DATA_FILE* file = folder.open_data_file(name, 1, 0, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(picture.save_png(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
}

// "app" in the scratch folder with the background as "images/back.png".
inline void make_app_folder(const test_support::ScratchDir& scratch, FOLDER* app) {
  ASSERT_EQ(mkdir(scratch.file("app").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(scratch.file("app/images").c_str(), 0755), 0);
  FOLDER images;
  ASSERT_TRUE(app->set_absolute(scratch.file("app").c_str()));
  ASSERT_TRUE(images.set_absolute(scratch.file("app/images").c_str()));
  save_quadrants(images, "back.png");
}

// Control ids the page's templates report to the build callback, in the
// order the build reports them (a parent after its children).
constexpr uint32_t kButtonControl = 101, kCellLabelControl = 102, kCellButtonControl = 103,
                   kGridControl = 104, kNeverReported = 199;

inline WM_PTM_OBJECT_INFO* add(WM_PTM_PAGE_INFO& page, uint32_t type, int16_t x, int16_t y,
                               uint16_t w, uint16_t h, const char* text) {
  EXPECT_TRUE(page.add_object(type));
  WM_PTM_OBJECT_INFO* t = page.get_object(page.get_object_count() - 1);
  t->x = x;
  t->y = y;
  t->width = w;
  t->height = h;
  t->set_text(text);
  return t;
}

inline WM_PTM_OBJECT_INFO* add_child(WM_PTM_OBJECT_INFO& parent, uint32_t type, const char* text,
                                     uint16_t row, uint16_t column) {
  EXPECT_TRUE(parent.add_child(type));
  WM_PTM_OBJECT_INFO* t = parent.get_child(parent.get_child_count() - 1);
  t->set_text(text);
  t->cell_row = row;
  t->cell_column = column;
  return t;
}

// Area 0 covers a 640 x 480 screen with one page (returned), area 1 its
// right half with a page of one label; a dialog "question". Objects:
//   0 label "Title" at (10, 5), 100 x 20
//   1 button "Play" (action AID_PLAY, hot key 'p', control kButtonControl)
//   2 grid of two columns "100,200" with a label in cell (row 0, column 1),
//     a button in (1, 0), an ordinary child label, and a label in a row
//     beyond the grid's limit whose child has a control id
//   3 image of the background picture, 64 x 48
//   4 check box "Sound", 5 typing label "Hello"
//   6 a template that is not built, 7 an unknown type code
inline uint32_t fill_page_store(WM_PTM_APP_INFO& store) {
  store.set_title("Template page");
  store.screen_width = 640;
  store.screen_height = 480;
  store.border_width = 4;
  store.border_colour_1 = 0xFF101010;
  store.tooltip_style.bg_colour = 0xFF00FFFF;
  store.dialog_body_style.bg_colour = 0xFFE0E0E0;
  WM_PTM_IMAGE_INFO* back = store.add_image();
  back->set_name("back");
  snprintf(back->folder, sizeof back->folder, "%s", "$APP/images");
  back->set_file_name("back.png");
  WM_STYLE_SET* style = store.add_style_set();
  style->set_name("plain");
  style->drawing_flags = SSF_DRAW_BORDER;
  style->fg_colour = 0xFF000000;
  style->bg_colour = 0xFFF0F0D0;

  WM_PTM_AREA_INFO* area = store.add_area();
  area->width = 640;
  area->height = 480;
  EXPECT_TRUE(area->add_page());
  WM_PTM_PAGE_INFO& page = *area->get_page(0);
  page.background = back;

  add(page, wm_kind::SCRIPT, 10, 5, 100, 20, "Title")->style = style;
  WM_PTM_OBJECT_INFO* button = add(page, wm_kind::BUTTON, 20, 40, 120, 40, "Play");
  button->style = style;
  button->set_identifiers("play", "", {&page.get_objects()});
  button->control_id = kButtonControl;
  button->hotkey = 'p';
  button->set_tooltip("Starts the game");
  WM_PTM_OBJECT_INFO* grid = add(page, wm_kind::GRID, 200, 40, 300, 200, nullptr);
  grid->style = style;
  grid->column_count = 2;
  grid->set_column_widths("100,200");
  grid->row_height = 30;
  grid->control_id = kGridControl;
  add_child(*grid, wm_kind::SCRIPT, "cell", 0, 1)->control_id = kCellLabelControl;
  WM_PTM_OBJECT_INFO* go = add_child(*grid, wm_kind::BUTTON, "Go", 1, 0);
  go->control_id = kCellButtonControl;
  go->user_word_1 = 7;
  add_child(*grid, wm_kind::SCRIPT, "loose", 0xFFFF, 0);
  WM_PTM_OBJECT_INFO* refused = add_child(*grid, wm_kind::SCRIPT, "refused", 5000, 0);
  add_child(*refused, wm_kind::SCRIPT, "below", 0xFFFF, 0xFFFF)->control_id = kNeverReported;
  add(page, wm_kind::IMAGE, 20, 300, 64, 48, nullptr)->image = back;
  add(page, wm_kind::CHECK_BOX, 20, 400, 0xFFFF, 0xFFFF, "Sound")->style = style;
  add(page, wm_kind::TYPING_SCRIPT, 200, 300, 200, 24, "Hello")->style = style;
  WM_PTM_OBJECT_INFO* hidden = add(page, wm_kind::SCRIPT, 0, 0, 50, 20, "hidden");
  hidden->not_built = 1;
  hidden->control_id = kNeverReported;
  add(page, 12345, 0, 0, 50, 20, "unknown")->control_id = kNeverReported;

  WM_PTM_AREA_INFO* right = store.add_area();
  right->x = 320;
  right->width = 320;
  right->height = 480;
  EXPECT_TRUE(right->add_page());
  right->get_page(0)->background = back;
  add(*right->get_page(0), wm_kind::SCRIPT, 10, 10, 100, 20, "Right");

  WM_PTM_DIALOG_INFO* dialog = store.add_dialog();
  dialog->set_name("question");
  dialog->set_title("Sure?");
  dialog->width = 300;
  dialog->height = 160;
  EXPECT_TRUE(dialog->add_object(wm_kind::SCRIPT));
  WM_PTM_OBJECT_INFO* question = dialog->get_object(0);
  question->x = 10;
  question->y = 10;
  question->set_text("Really?");
  EXPECT_TRUE(dialog->add_object(wm_kind::BUTTON));
  WM_PTM_OBJECT_INFO* yes = dialog->get_object(1);
  yes->x = 10;
  yes->y = 60;
  yes->width = 80;
  yes->height = 30;
  yes->set_text("Yes");
  yes->style = style;
  yes->user_word_1 = 21;
  yes->user_word_2 = 22;
  return page.id;
}

}  // namespace template_test
