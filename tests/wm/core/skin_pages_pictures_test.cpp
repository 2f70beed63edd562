// A page of the toolkit's widgets in a test skin (buttons from the skin's
// state pictures, check boxes, a drop-down list, a menu, a scroll bar, a
// scrolling grid, a picture, labels), run by the page manager on the
// headless screen and driven by the test input helpers into each state:
// normal, focused, hovered, pressed, clicked, opened, scrolled, with
// disabled widgets beside the live ones. The whole screen is compared pixel
// for pixel with its reference picture under tests/references/skin_pages/
// (tests/refresh_references.sh writes them).
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstring>
#include <memory>
#include <string>

#include "input_driver.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_grid.h"
#include "wm_image.h"
#include "wm_list_box.h"
#include "wm_menu.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_scrollbar.h"
#include "wm_test_fonts.h"

namespace {

constexpr int16_t kWidth = 400, kHeight = 300;
constexpr COLOUR kInk = 0xFFF0F0F0;

struct SKIN {
  WM_STYLE_SET backdrop, heading, label, button, check_box, list, item, grid, bar;
  FOLDER folder;
  PARAMETER scroll;
};
SKIN* skin_in_use = nullptr;

void build_page(WM_PAGE_MANAGER* manager) {
  SKIN& s = *skin_in_use;
  WM_MANAGER* root = manager->current_root();
  root->add_child(new WM_SCRIPT(0, 0, kWidth - 1, kHeight - 1, &s.backdrop, ""), false);
  root->add_child(new WM_SCRIPT(8, 6, 371, 29, &s.heading, "Choose what to install"), false);

  const char* captions[] = {"Back", "Next", "Off", "Held"};
  for (int i = 0; i < 4; ++i) {
    const auto bx = static_cast<int16_t>(8 + 77 * i);
    auto* b = new WM_BUTTON(bx, 40, static_cast<int16_t>(bx + 72), 65, &s.button, captions[i], nullptr, nullptr, 0,
                            0, button_event::RELEASE);
    root->add_child(b, false);
    if (i == 1) b->active = 1;
    if (i == 2) b->set_enabled(false);
    if (i == 3) b->latched = 1;
  }
  auto* both = new WM_BUTTON(140, 76, 209, 101, &s.button, "Both", nullptr, nullptr, 0, 0, button_event::RELEASE);
  both->active = 1;  // active and disabled: a picture of its own
  both->set_enabled(false);
  root->add_child(both, false);
  const char* boxes[] = {"Desktop link", "Menu entry", "Sources"};
  for (int i = 0; i < 3; ++i) {
    auto* box = new WM_CHECK_BOX(10, static_cast<int16_t>(76 + 22 * i), &s.check_box, boxes[i], nullptr, 0, 0);
    root->add_child(box, false);
    if (i == 0) box->set_checked(true);
    if (i == 2) box->box->set_enabled(false), box->label->set_enabled(false);
  }
  const char* items[] = {"Standard", "Minimal", "Everything", "Nothing"};
  root->add_child(new WM_LIST_BOX(10, 146, 129, 167, 4, items, 1, &s.button, &s.list, &s.list, &s.item, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr),
                  false);
  auto* menu = new WM_MENU(140, 146, 209, 167, "Menu", MENU_DIRECTION::BELOW, &s.button, &s.list, &s.list,
                           &s.item, nullptr, nullptr, nullptr, nullptr, nullptr);
  for (const char* item : {"Open", "Save", "Close"}) menu->get_popup()->add_item(item, nullptr, 0, 0, false);
  root->add_child(menu, false);

  auto* bar = new WM_SCROLLBAR(378, 40, 393, 200, &s.scroll, &s.bar, nullptr, 0, 0);
  bar->line_step = 5;
  bar->selectable = 1;
  root->add_child(bar, false);

  const int16_t widths[] = {2, 1};
  auto* grid = new WM_GRID(220, 76, 369, 200, 2, widths, &s.grid, &s.bar);
  grid->default_row_height = 22;
  for (int32_t r = 0; r < 12; ++r) {
    grid->add_text_cell(0, r, ("Row " + std::to_string(r + 1)).c_str(), &s.label);
    grid->add_text_cell(1, r, std::to_string((r + 1) * 3).c_str(), &s.label);
  }
  root->add_child(grid, false);

  auto* picture = new WM_IMAGE(10, 200, 52, 52, true, nullptr, 0, 0, image_click::ON_RELEASE);
  EXPECT_TRUE(picture->load(s.folder, "logo.png"));
  picture->highlight_colour = 0x6000FFFF;
  picture->edge_flags = border_flag::ALL_SIDES;
  picture->border_style = 4;
  root->add_child(picture, false);
  WM_STYLE_SET right = s.label;
  right.drawing_flags = SSF_RIGHT_JUSTIFY_TEXT | SSF_BOTTOM_ALIGN_TEXT | SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  root->add_child(new WM_SCRIPT(80, 210, 369, 289, &right, "Version 1.0"), false);
}

class SkinPagesPictures : public wm_test::TextSkinTest {
protected:
  SkinPagesPictures() : TextSkinTest("skin_pages_pictures_test", kWidth, kHeight) {}
  void TearDown() override {
    skin_in_use = nullptr;
    TextSkinTest::TearDown();
  }

  // A picture with a darker rim of two pixels.
  void save_framed_png(const char* name, COLOUR fill, COLOUR rim) {
    IMAGE picture(24, 24);
    picture.fill_rect_solid(0, 0, 23, 23, &rim);
    picture.fill_rect_solid(2, 2, 21, 21, &fill);
    save_png(name, picture);
  }

  void make_skin() {
    save_framed_png("button_up.png", 0xFF3A6EA5, 0xFF1A3A5C);
    save_framed_png("button_down.png", 0xFF1D3752, 0xFF0A1A2A);
    save_framed_png("button_disabled.png", 0xFF707070, 0xFF505050);
    save_framed_png("button_active_up.png", 0xFF3AA55A, 0xFF1A5C2A);
    save_framed_png("button_active_disabled.png", 0xFF5A7A62, 0xFF3A4A3E);
    IMAGE logo(40, 40);  // a target of rings
    const COLOUR rings[] = {0xFFFFC000, 0xFFC03000, 0xFFFFFFFF, 0xFF3050C0};
    for (int16_t i = 0; i < 4; ++i)
      logo.fill_rect_solid(static_cast<int16_t>(i * 5), static_cast<int16_t>(i * 5), static_cast<int16_t>(39 - i * 5),
                           static_cast<int16_t>(39 - i * 5), &rings[i]);
    save_png("logo.png", logo);

    SKIN& s = skin_store;
    s.folder = skin;
    s.backdrop = wm_test::text_style(0xFF26344A, SSF_VFADING, kInk);
    s.backdrop.fading_colour = 0xFF0C121C;
    s.heading = wm_test::text_style(0xFF2E5A88, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_HFADING, kInk, 16);
    s.heading.fading_colour = 0xFF16304C;
    s.label = wm_test::text_style(COLOUR_INVISIBLE, SSF_LEFT_JUSTIFY_TEXT, kInk);
    s.button = wm_test::text_style(0xFF3A6EA5, 0, kInk);
    s.button.set_image_filename("button");
    std::strcpy(s.button.image_path, "$APP/skin");
    s.check_box = wm_test::text_style(0xFF34465E, 0, kInk);
    s.list = wm_test::text_style(0xFF505A70, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, kInk);
    s.item = wm_test::text_style(0xFF505A70, SSF_LEFT_JUSTIFY_TEXT, kInk);
    s.item.highlight_colour = 0xFF8A2A2A;
    s.grid = wm_test::text_style(0xFF1E2838, SSF_DRAW_BORDER | SSF_INDENT_BORDER, kInk);
    s.bar = wm_test::text_style(0xFF404850, SSF_DRAW_BORDER, 0xFFC0C8D0);
    s.scroll.set_type(PARAMETER::I32);
    s.scroll.set_int(PARAMETER::MAXIMUM, 100);
    s.scroll.set_int(PARAMETER::VALUE, 20);
    skin_in_use = &s;
  }

  SKIN skin_store;
  test_support::INPUT_DRIVER input;
};

// Each state: where the pointer goes, then what is done ("m" the pointer
// moved there, "p" the left button pressed and held, "u" the pointer 40
// pixels higher, "c" clicked, "w" the
// wheel turned down three steps, "t" Tab, "s" Space).
struct ROW {
  const char* name;
  int32_t x, y;
  const char* actions;
};

TEST_F(SkinPagesPictures, EveryWidgetStateMatchesItsReference) {
  ASSERT_NO_FATAL_FAILURE(make_skin());
  const ROW rows[] = {
      {"normal", 0, 0, ""}, {"focus_second", 0, 0, "t"}, {"focus_third", 0, 0, "tt"},
      {"check_box_toggled_by_key", 0, 0, "s"}, {"button_pressed", 44, 52, "mp"},
      {"disabled_button_pressed", 198, 52, "mp"}, {"check_box_clicked", 18, 109, "mc"},
      {"list_box_open", 70, 156, "mc"}, {"menu_open", 175, 156, "mc"},
      {"scrollbar_stepped", 385, 195, "mccc"}, {"scrollbar_slider_held", 385, 166, "mp"},
      {"scrollbar_slider_dragged", 385, 166, "mpu"}, {"grid_scrolled", 290, 140, "mw"},
      {"picture_hovered", 36, 226, "m"},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.name);
    skin_store.scroll.set_int(PARAMETER::VALUE, 20);
    WM_SCREEN_OBJECT::focus_object = nullptr;
    auto manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, build_page, nullptr, 1, nullptr, 0, 0, nullptr);
    auto frames = [&](int n) {
      for (int i = 0; i < n; ++i) {
        input.advance_ms(100);
        manager->frame(false);
      }
    };
    frames(10);
    for (const char* a = row.actions; *a; ++a) {
      wm_test::held_keys = {*a == 's' ? WM_BUTTON::KEY_SPACE : 0u};
      switch (*a) {
        case 'm': input.move_to(row.x, row.y); break;
        case 'p': input.press(1); break;
        case 'u': input.move_to(row.x, row.y - 40); break;
        case 'c': input.click(1); break;
        case 'w': input.turn_wheel(-3); break;
        case 't': input.key(XK_Tab, '\t'); break;
        case 's': input.key(XK_space, ' '); break;
      }
      frames(1);
      wm_test::held_keys.clear();
      frames(5);
    }
    EXPECT_TRUE(test_support::picture_matches_reference("skin_pages", row.name, *get_screen_image()));
    input.release(1);
    input.move_to(-1, -1);
    frames(1);
    manager.reset();
  }
}

}  // namespace
