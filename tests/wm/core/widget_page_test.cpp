// One page holding every kind of widget, in a skin this test writes (style
// files and state pictures), rendered through the page manager on the
// headless screen and compared pixel for pixel with its reference picture
// under tests/references/core2/, besides the checks of what each state shows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config_file.h"
#include "input_driver.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_dialog.h"
#include "wm_image.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

constexpr COLOUR kInk = 0xFFF0F0F0;
constexpr COLOUR kButtonUp = 0xFF3A6EA5;
constexpr COLOUR kButtonDown = 0xFF1D3752;
constexpr COLOUR kButtonActive = 0xFF3AA55A;
constexpr COLOUR kButtonDisabled = 0xFF707070;
constexpr COLOUR kTint = 0x6000FFFF;

// The skin's styles as the page reads them from its ".ss" files.
struct SKIN {
  WM_STYLE_SET backdrop, heading, label, button, check_box, body, title;
  FOLDER folder;
};
SKIN* skin_in_use = nullptr;

// What the page made, for the checks.
struct PAGE {
  WM_BUTTON* up = nullptr;
  WM_BUTTON* held = nullptr;
  WM_BUTTON* disabled = nullptr;
  WM_BUTTON* active = nullptr;
  WM_CHECK_BOX* checked = nullptr;
  WM_CHECK_BOX* unchecked = nullptr;
  WM_IMAGE* hovered = nullptr;
  WM_IMAGE* plain = nullptr;
  WM_DIALOG* dialog = nullptr;
  WM_BUTTON* dialog_button = nullptr;
};
PAGE page;

void build_page(WM_PAGE_MANAGER* manager) {
  SKIN& s = *skin_in_use;
  WM_MANAGER* root = manager->current_root();
  root->add_child(new WM_SCRIPT(0, 0, 319, 239, &s.backdrop, ""), false);
  root->add_child(new WM_SCRIPT(8, 6, 311, 29, &s.heading, "Choose what to install"), false);

  // Labels: left and top, centred, right and bottom, each with its border.
  const struct {
    int16_t x;
    uint32_t flags;
    const char* text;
  } labels[] = {{8, SSF_LEFT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT | SSF_DRAW_BORDER | SSF_INDENT_BORDER,
                 "Left"},
                {110, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, "Centre"},
                {212, SSF_RIGHT_JUSTIFY_TEXT | SSF_BOTTOM_ALIGN_TEXT, "Right"}};
  for (const auto& l : labels) {
    WM_STYLE_SET style = s.label;
    style.drawing_flags = l.flags;
    root->add_child(new WM_SCRIPT(l.x, 36, static_cast<int16_t>(l.x + 99), 63, &style, l.text), false);
  }

  // Buttons from the skin's pictures: up, held, disabled and active.
  WM_BUTTON** buttons[] = {&page.up, &page.held, &page.disabled, &page.active};
  const char* captions[] = {"Back", "Held", "Off", "Next"};
  for (int i = 0; i < 4; ++i) {
    const auto bx = static_cast<int16_t>(8 + 77 * i);
    *buttons[i] = new WM_BUTTON(bx, 72, static_cast<int16_t>(bx + 72), 97, &s.button, captions[i],
                                nullptr, nullptr, 0, 0, button_event::RELEASE);
    root->add_child(*buttons[i], false);
  }
  page.held->latched = 1;
  page.disabled->set_enabled(false);
  page.active->active = 1;

  page.checked = new WM_CHECK_BOX(10, 110, &s.check_box, "Desktop link", nullptr, 0, 0);
  page.checked->set_checked(true);
  page.unchecked = new WM_CHECK_BOX(10, 132, &s.check_box, "Menu entry", nullptr, 0, 0);
  root->add_child(page.checked, false);
  root->add_child(page.unchecked, false);

  // The same picture twice; the pointer rests on the first.
  WM_IMAGE** pictures[] = {&page.hovered, &page.plain};
  for (int i = 0; i < 2; ++i) {
    auto* picture = new WM_IMAGE(static_cast<int16_t>(10 + 60 * i), 162, 52, 52, true, nullptr, 0,
                                 0, image_click::ON_RELEASE);
    EXPECT_TRUE(picture->load(s.folder, "logo.png"));
    picture->highlight_colour = kTint;
    picture->edge_flags = border_flag::ALL_SIDES;
    picture->border_style = 4;
    root->add_child(picture, false);
    *pictures[i] = picture;
  }

  DIALOG_EFFECTS effects{.flags = 0};  // open at once
  page.dialog = new WM_DIALOG(150, 110, 160, 110, "Options", &s.body, &s.title, &s.button, &effects);
  WM_STYLE_SET question = s.label;
  question.bg_colour = COLOUR_INVISIBLE;
  question.drawing_flags = SSF_WRAP_TEXT | SSF_LEFT_JUSTIFY_TEXT;
  page.dialog->add_child(new WM_SCRIPT(4, 4, 145, 40, &question, "Install for every user?"), true);
  page.dialog_button = new WM_BUTTON(44, 48, 103, 71, &s.button, "OK", nullptr, nullptr, 0, 0, button_event::RELEASE);
  page.dialog->add_child(page.dialog_button, true);
  root->add_overlay(page.dialog, false);
}

class WidgetPage : public wm_test::TextSkinTest {
protected:
  WidgetPage() : TextSkinTest("widget_page_test", 320, 240) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    page = PAGE{};
  }
  void TearDown() override {
    manager.reset();
    skin_in_use = nullptr;
    TextSkinTest::TearDown();
  }

  // A picture with a darker rim of two pixels, saved as PNG in the skin.
  void save_framed_png(const char* name, int16_t size, COLOUR fill, COLOUR rim) {
    IMAGE picture(size, size);
    picture.fill_rect_solid(0, 0, static_cast<int16_t>(size - 1), static_cast<int16_t>(size - 1), &rim);
    picture.fill_rect_solid(2, 2, static_cast<int16_t>(size - 3), static_cast<int16_t>(size - 3), &fill);
    save_png(name, picture);
  }
  // Writes the style as "<name>.ss" into the skin and reads it back as the
  // skin loader does.
  void through_skin_file(const char* name, WM_STYLE_SET& style) {
    const std::string file = std::string(name) + ".ss";
    CONFIG_FILE out;
    out.init(file.c_str(), false);
    out.set_absolute(skin.path);
    ASSERT_TRUE(style.write_config(out, nullptr, 0, &skin)) << file;
    WM_STYLE_SET read;
    CONFIG_FILE in;
    in.init(file.c_str(), true);
    in.set_absolute(skin.path);
    ASSERT_TRUE(read.read_config(in, nullptr, 0, &skin)) << file;
    style = read;
  }
  static WM_STYLE_SET text_style(COLOUR background, uint32_t flags, uint16_t size) {
    return wm_test::text_style(background, flags, kInk, size);
  }

  void make_skin() {
    save_framed_png("button_up.png", 24, kButtonUp, 0xFF1A3A5C);
    save_framed_png("button_down.png", 24, kButtonDown, 0xFF0A1A2A);
    save_framed_png("button_disabled.png", 24, kButtonDisabled, 0xFF505050);
    save_framed_png("button_active_up.png", 24, kButtonActive, 0xFF1A5C2A);
    // A target of rings for the pictures.
    IMAGE logo(40, 40);
    const COLOUR rings[] = {0xFFFFC000, 0xFFC03000, 0xFFFFFFFF, 0xFF3050C0};
    for (int16_t i = 0; i < 4; ++i) {
      const auto a = static_cast<int16_t>(i * 5), b = static_cast<int16_t>(39 - i * 5);
      logo.fill_rect_solid(a, a, b, b, &rings[i]);
    }
    save_png("logo.png", logo);

    SKIN& s = skin_store;
    s.folder = skin;
    s.backdrop = text_style(0xFF26344A, SSF_VFADING, 12);
    s.backdrop.fading_colour = 0xFF0C121C;
    s.heading = text_style(0xFF2E5A88, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_HFADING, 16);
    s.heading.fading_colour = 0xFF16304C;
    s.heading.shading_flags = border_flag::ALL_SIDES | border_flag::ALL_CORNERS;
    s.label = text_style(0xFF404858, 0, 12);
    s.button = text_style(kButtonUp, 0, 12);
    s.button.set_image_filename("button");
    std::strcpy(s.button.image_path, "$APP/skin");
    s.check_box = text_style(0xFF34465E, 0, 12);
    s.body = text_style(0xFF505A70, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_VFADING, 12);
    s.body.fading_colour = 0xFF2A3040;
    s.title = text_style(0xFF8A2A2A, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, 12);
    s.title.shading_type = 4;
    const struct {
      const char* name;
      WM_STYLE_SET* style;
    } files[] = {{"backdrop", &s.backdrop}, {"heading", &s.heading}, {"label", &s.label},
                 {"button", &s.button},     {"check_box", &s.check_box}, {"body", &s.body},
                 {"title", &s.title}};
    for (const auto& f : files) ASSERT_NO_FATAL_FAILURE(through_skin_file(f.name, *f.style));
    skin_in_use = &s;
  }

  SKIN skin_store;
  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

TEST_F(WidgetPage, EveryWidgetOnOnePageInATestSkin) {
  ASSERT_NO_FATAL_FAILURE(make_skin());
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  manager->set_page(0, build_page, nullptr, 1, nullptr, 0, 0, nullptr);
  ASSERT_EQ(manager->frame(false), page_action::SWITCH_PAGE);
  ASSERT_NE(page.dialog, nullptr);
  // The open dialog keeps the pointer from the page below it, so the
  // picture is asked directly; the next frame paints what it changed.
  input.move_to(page.hovered->x + 26, page.hovered->y + 26);
  EXPECT_EQ(page.hovered->process(), 0);
  input.advance_ms(20);
  EXPECT_EQ(manager->frame(false), 0);

  EXPECT_TRUE(test_support::picture_matches_reference("core2", "widget_page", *get_screen_image()));

  // The dialog's widgets live in its client area.
  const WM_BUTTON& ok = *page.dialog_button;
  const WM_DIALOG& d = *page.dialog;
  EXPECT_GE(ok.x, d.x);
  EXPECT_GE(ok.y, d.y + d.get_client_top());
  EXPECT_LE(ok.x + ok.width, d.x + d.width);
  EXPECT_LE(ok.y + ok.height, d.y + d.height);
  EXPECT_EQ(pixel(static_cast<int16_t>(ok.x + 8), static_cast<int16_t>(ok.y + ok.height / 2)), kButtonUp);

  // Each button shows the skin picture of its state.
  const struct {
    const WM_BUTTON* button;
    COLOUR face;
  } states[] = {{page.up, kButtonUp},
                {page.held, kButtonDown},
                {page.disabled, kButtonDisabled},
                {page.active, kButtonActive}};
  for (const auto& s : states) {
    SCOPED_TRACE(s.button->get_text());
    EXPECT_TRUE(s.button->has_images());
    EXPECT_EQ(pixel(static_cast<int16_t>(s.button->x + 10),
                    static_cast<int16_t>(s.button->y + s.button->height / 2)),
              s.face);
  }

  // The checked box shows its mark; the unchecked one does not.
  EXPECT_NE(pixels_of(*page.checked->box), pixels_of(*page.unchecked->box));
  EXPECT_EQ(page.checked->box->active, 1);

  // The picture under the pointer is tinted, its twin is not.
  EXPECT_EQ(page.hovered->mouse_over, 1);
  const int16_t cx = 26, cy = 26;
  const COLOUR bare = pixel(static_cast<int16_t>(page.plain->x + cx), static_cast<int16_t>(page.plain->y + cy));
  const COLOUR tinted = pixel(static_cast<int16_t>(page.hovered->x + cx), static_cast<int16_t>(page.hovered->y + cy));
  EXPECT_EQ(bare, 0xFF3050C0u);
  EXPECT_NE(tinted, bare);
}

}  // namespace
