// Check boxes on the headless screen: the box's size from the font, clicks
// on the box and on the label, the mark or the active state images while
// checked, and what the style form takes from its style.
#include "wm_check_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "input_driver.h"
#include "wm_button.h"
#include "wm_style_set.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

constexpr COLOUR kScreen = 0xFF808080;
constexpr COLOUR kFace = 0xFF2040A0;
constexpr COLOUR kInk = 0xFFFFFFFF;

// One letter per call: the state the check box had when it called back.
std::string heard;
int32_t record(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2) {
  EXPECT_EQ(word_1, 11u);
  EXPECT_EQ(word_2, 22u);
  heard += static_cast<WM_CHECK_BOX*>(object)->is_checked() ? 'C' : 'U';
  return 7;  // ignored: the clicked child reports a handled click
}

class CheckBox : public wm_test::TextSkinTest {
protected:
  CheckBox() : TextSkinTest("check_box_test", 200, 150) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    heard.clear();
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &kScreen);
  }
  // Press and release over the point, a frame after each; the release
  // frame's result.
  int32_t click_at(WM_SCREEN_OBJECT& o, int x, int y) {
    input.move_to(x, y);
    input.press(1);
    o.process();
    input.release(1);
    return o.process();
  }

  test_support::INPUT_DRIVER input;
};

TEST_F(CheckBox, BoxSizeFollowsTheFontAndTheLabelSitsBesideIt) {
  // The default border style is 2 pixels wide on each side.
  const struct {
    int16_t font_size;
    uint16_t box_size;
  } rows[] = {{10, 14}, {4, 10}, {0, 10}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.font_size);
    WM_CHECK_BOX cb(20, 30, kFace, kInk, "Desktop link", 255, row.font_size, row.font_size, nullptr, 0, 0, true);
    EXPECT_EQ(cb.kind & wm_kind::CHECK_BOX, wm_kind::CHECK_BOX);
    ASSERT_EQ(cb.child_count(), 2);
    const int gap = row.font_size / 2;
    EXPECT_EQ((std::vector<int>{cb.box->width, cb.box->height, cb.label->x, cb.label->y, cb.width, cb.height}),
              (std::vector<int>{row.box_size, row.box_size, 20 + row.box_size + gap, 30,
                                cb.label->width + row.box_size + gap, std::max(cb.label->height, row.box_size)}));
    EXPECT_TRUE(cb.is_selectable());
    cb.box->set_enabled(false);
    cb.label->set_enabled(false);
    EXPECT_FALSE(cb.is_selectable());
  }
  // A label wider than any width can hold: the check box keeps the widest.
  const std::string endless(12000, 'W');
  WM_CHECK_BOX wide(0, 0, kFace, kInk, endless.c_str(), 255, 10, 10, nullptr, 0, 0, true);
  EXPECT_EQ(wide.width, 65535);
}

// Either click also takes the focus from the check box that had it to the
// box; Space on the focused box toggles it as Return does.
TEST_F(CheckBox, ClicksOnBoxOrLabelToggleAndCallBackOnceOnRelease) {
  for (const bool on_label : {false, true}) {
    SCOPED_TRACE(on_label);
    heard.clear();
    WM_CHECK_BOX other(20, 100, kFace, kInk, "Desktop link", 255, 12, 12, nullptr, 0, 0, true);
    other.set_focus();
    ASSERT_EQ(WM_SCREEN_OBJECT::focus_object, other.box);
    WM_CHECK_BOX cb(20, 30, kFace, kInk, "Menu entry", 255, 12, 12, record, 11, 22, true);
    WM_BUTTON* target = on_label ? cb.label : cb.box;
    input.move_to(target->x + target->width / 2, target->y + target->height / 2);
    EXPECT_EQ(cb.process(), 0);
    input.press(1);
    EXPECT_EQ(cb.process(), 0);
    EXPECT_EQ(heard, "");
    input.release(1);
    EXPECT_EQ(cb.process(), page_action::HANDLED);
    EXPECT_EQ(heard, "C");
    EXPECT_TRUE(cb.is_checked() && cb.box->active == 1);
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, cb.box);
    click_at(cb, target->x + 1, target->y + 1);
    EXPECT_EQ(heard, "CU");
    EXPECT_EQ(cb.box->active, 0);
    input.move_to(150, 140);
    for (const uint32_t key : {WM_BUTTON::KEY_SPACE, WM_BUTTON::KEY_RETURN}) {
      wm_test::held_keys = {key};
      cb.process();
      wm_test::held_keys.clear();
      cb.process();
    }
    EXPECT_EQ(heard, "CUCU");
    WM_SCREEN_OBJECT::focus_object = nullptr;
  }
}

TEST_F(CheckBox, CheckedShowsTheMarkOrTheActiveImages) {
  WM_CHECK_BOX plain(20, 30, kFace, kInk, "Paths", 255, 12, 12, nullptr, 0, 0, true);
  plain.set_checked(true);
  EXPECT_STREQ(plain.box->get_text(), "X");
  const std::vector<COLOUR> checked = drawn(*plain.box);
  plain.set_checked(false);
  EXPECT_STREQ(plain.box->get_text(), " ");
  EXPECT_NE(checked, drawn(*plain.box)) << "the mark changes no pixel";

  // The box is drawn sunk, so unchecked it shows its "_down" picture.
  constexpr COLOUR kDown = 0xFF102030, kActive = 0xFFC0A000;
  ASSERT_NO_FATAL_FAILURE(save_solid_png("cb_up.png", 0xFF000001));
  ASSERT_NO_FATAL_FAILURE(save_solid_png("cb_down.png", kDown));
  ASSERT_NO_FATAL_FAILURE(save_solid_png("cb_active_up.png", kActive));
  WM_STYLE_SET style;
  style.set_image_filename("cb");
  std::strcpy(style.image_path, "$APP/skin");
  style.drawing_flags |= SSF_DONT_RESIZE_IMAGE;
  WM_CHECK_BOX skinned(20, 60, &style, "Paths", nullptr, 0, 0);
  ASSERT_TRUE(skinned.box->has_images());
  EXPECT_TRUE(skinned.box->draw_flags & button_flag::DONT_RESIZE_IMAGE);
  const int16_t cx = static_cast<int16_t>(20 + skinned.box->width / 2);
  const int16_t cy = static_cast<int16_t>(60 + skinned.box->height / 2);
  for (const bool on : {true, false, true}) {
    skinned.set_checked(on);
    EXPECT_STREQ(skinned.box->get_text(), "");
    skinned.box->draw();
    EXPECT_EQ(pixel(cx, cy), on ? kActive : kDown);
  }
  skinned.label->draw();
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "check_boxes", *get_screen_image()));
}

TEST_F(CheckBox, StyleFormTakesColoursFontAndVisibility) {
  WM_STYLE_SET style;
  style.bg_colour = kFace;
  style.fg_colour = kInk;
  style.font_x_sz = style.font_y_sz = 10;
  style.mouse_over_colour = 0xFF010203;
  style.disabled_text_colour = 0xFF040506;
  style.active_text_colour = 0x01000000;  // the faintest colour is set
  style.visible = 0;
  WM_CHECK_BOX cb(5, 6, &style, "Hidden", record, 11, 22);
  EXPECT_FALSE(cb.visible);
  // Hidden, it ignores clicks; shown, its children take them.
  for (const char* expected : {"", "C"}) {
    click_at(cb, cb.box->x + 2, cb.box->y + 2);
    EXPECT_EQ(heard, expected);
    cb.show();
  }
  EXPECT_EQ(cb.box->width, 14);
  // The box's face and ink, then the label's ink, face, hover, disabled,
  // flashing (unset in the style) and active ink.
  EXPECT_EQ((std::vector<COLOUR>{cb.box->up_colour, cb.box->text_colour, cb.label->text_colour, cb.label->up_colour,
                                 cb.label->mouse_over_colour, cb.label->disabled_text_colour,
                                 cb.label->flashing_text_colour, cb.label->active_text_colour}),
            (std::vector<COLOUR>{kFace, kInk, kInk, COLOUR_INVISIBLE, 0xFF010203u, 0xFF040506u, COLOUR_INVISIBLE,
                                 0x01000000u}));
}

}  // namespace
