// The colour picker in a real window driven by XTEST, over a football pitch
// whose players move on the frame clock: a swatch, the hue/saturation
// field and the level strip clicked (a click on the field's frame changes
// nothing), a number typed into the red entry with Return, the alpha bar's
// slider dragged, and OK and Cancel answering a callback that deletes the
// dialog. The page is saved as a picture.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "wm_button.h"
#include "wm_colour_select.h"
#include "wm_football_pitch.h"
#include "wm_image.h"
#include "wm_scrollbar.h"
#include "wm_text_edit.h"
#include "wm_x11_fixture.h"

namespace {

std::vector<uintptr_t> answers;
COLOUR chosen = 0;
// Reads the colour and deletes the dialog from inside its own callback.
int32_t take_and_delete(WM_SCREEN_OBJECT* dialog, uintptr_t, uintptr_t result) {
  answers.push_back(result);
  static_cast<WM_COLOUR_SELECT*>(dialog)->get_colour(&chosen);
  delete dialog;
  return 0;
}

WM_PITCH_SETTINGS pitch_settings() {
  WM_PITCH_SETTINGS s;
  s.flags = pitch_flag::DIRECTIONS;
  s.length = 110;
  s.width = 70;
  s.margin = 5;
  s.goal_depth = 2;
  s.goal_width = 8;
  s.line_width = 5;
  s.marker_size = 18;
  s.ball_size = 10;
  s.font = 255;
  s.font_x_size = 65535;
  s.font_y_size = 10;
  s.ground = 2;
  s.stripes = 1;
  s.line_colour = 0xFFFFFFFF;
  const COLOUR fills[4] = {0xFFD02020, 0xFF2040D0, 0xFFE0E000, 0xFF00C0C0};
  for (int k = 0; k < 4; ++k) {
    s.marker_colours[k][0] = fills[k];
    s.marker_colours[k][1] = 0xFFFFFFFF;
    s.marker_colours[k][2] = 0xFF000000;
  }
  s.ball_colour = 0xFFF8F8F8;
  s.roll_step = 4;
  s.max_ball_height = 100;
  s.shadow_offset = 8;
  s.shadow_alpha = 140;
  return s;
}

class ColourSelectX11 : public wm_test::OverlayX11 {
protected:
  void SetUp() override {
    OverlayX11::SetUp();
    if (!ready()) return;
    answers.clear();
    chosen = 0;
    const WM_PITCH_SETTINGS s = pitch_settings();
    pitch = std::make_unique<WM_FOOTBALL_PITCH>(0, 0, 639, 479, &s, 0, 11);
    for (int32_t i = 0; i < 11; ++i) {
      pitch->set_player(0, i, 100 + 40 * i, 80 + 50 * (i % 7), static_cast<uint16_t>(i * 33), false, 0);
      pitch->set_player(1, i, 1000 - 35 * i, 620 - 45 * (i % 8), 180, i == 0, 0);
      pitch->set_player(0, i, 150 + 40 * i, 90 + 50 * (i % 7), static_cast<uint16_t>(i * 33), false, 4000);
    }
    pitch->set_ball(560, 300, 0, 0);
    pitch->set_ball(700, 380, 80, 3000);
    // The page under the dialog: the pitch, drawn and moved every frame.
    auto overlays = frame;
    frame = [this, overlays] {
      pitch->update(false);
      pitch->draw();
      overlays();
    };
  }
  void TearDown() override {
    OverlayX11::TearDown();
    pitch.reset();
  }
  WM_COLOUR_SELECT* open() {
    auto* d = new WM_COLOUR_SELECT(-1, -1, take_and_delete, 5);
    root.add_overlay(d, false);
    EXPECT_TRUE(frames_until([d] { return !d->is_moving(); }));
    return d;
  }
  static COLOUR colour_of(const WM_COLOUR_SELECT* d) {
    COLOUR c = 0;
    d->get_colour(&c);
    return c;
  }
  static std::string shown(const WM_COLOUR_SELECT* d, uint32_t id) {
    return d->get_entry(id)->get_text();
  }

  std::unique_ptr<WM_FOOTBALL_PITCH> pitch;
};

}  // namespace

TEST_F(ColourSelectX11, ClicksTypingAndTheAlphaBarChooseAColourAndOkDeletesTheDialog) {
  if (!ready()) GTEST_SKIP();
  WM_COLOUR_SELECT* d = open();
  using ID = WM_COLOUR_SELECT::CONTROL;

  ASSERT_NO_FATAL_FAILURE(click(d->get_swatch(9)));  // red
  EXPECT_TRUE(frames_until([&] { return colour_of(d) == 0xFFFF0000u; }));
  EXPECT_EQ(shown(d, ID::ID_RED), "255");
  EXPECT_EQ(shown(d, ID::ID_HEX), "#FFFF0000");

  // The field: a click inside its frame picks hue and saturation from the
  // click position; one on the frame changes nothing.
  const WM_IMAGE* field = d->get_field();
  const int32_t b = d->get_inset();
  const int32_t w = field->width - 2 * b, h = field->height - 2 * b;
  ASSERT_NO_FATAL_FAILURE(click_at(field->x + b + 2 * w / 3, field->y + b + h / 4));
  EXPECT_TRUE(frames_until([&] { return d->get_hue() == (2 * w / 3) / static_cast<double>(w); }));
  EXPECT_DOUBLE_EQ(d->get_saturation(), (h / 4) / static_cast<double>(h));
  const COLOUR picked = colour_of(d);
  ASSERT_NO_FATAL_FAILURE(click_at(field->x + b - 1, field->y + field->height / 2));
  ASSERT_NO_FATAL_FAILURE(click_at(field->x + field->width / 2, field->y + field->height - b + 1));
  EXPECT_EQ(colour_of(d), picked);

  const WM_IMAGE* strip = d->get_strip();
  const int32_t sh = strip->height - 2 * b;
  ASSERT_NO_FATAL_FAILURE(click_at(strip->x + strip->width / 2, strip->y + b + sh / 5));
  EXPECT_TRUE(frames_until([&] { return d->get_level() == (sh / 5) / static_cast<double>(sh); }));
  COLOUR expected = 0;
  ahsl_to_colour(&expected, 1.0, d->get_hue(), d->get_saturation(), d->get_level());
  EXPECT_EQ(colour_of(d), expected);
  char hex[16];
  std::snprintf(hex, sizeof hex, "#%08X", expected);
  EXPECT_EQ(shown(d, ID::ID_HEX), hex);

  // 300 typed into the red entry: its low byte, 44.
  WM_TEXT_EDIT* red = d->get_entry(ID::ID_RED);
  ASSERT_NO_FATAL_FAILURE(click(red));
  ASSERT_TRUE(frames_until([&] { return WM_SCREEN_OBJECT::focus_object == red; }));
  ASSERT_NO_FATAL_FAILURE(tap(XK_End));
  for (int i = 0; i < 4; ++i) ASSERT_NO_FATAL_FAILURE(tap(XK_BackSpace));
  for (KeySym k : {XK_3, XK_0, XK_0}) ASSERT_NO_FATAL_FAILURE(tap(k));
  EXPECT_TRUE(frames_until([&] { return std::string(red->get_text()) == "300"; }));
  ASSERT_NO_FATAL_FAILURE(tap(XK_Return));
  EXPECT_TRUE(frames_until([&] { return ((colour_of(d) >> 16) & 0xFF) == 44; }));
  EXPECT_EQ(shown(d, ID::ID_RED), "44");

  // The alpha bar's slider dragged to the left lowers the alpha; the
  // preview then lays the colour over its checker.
  auto* bar = dynamic_cast<WM_SCROLLBAR*>(d->get_alpha_bar());
  ASSERT_NE(bar, nullptr);
  const int32_t sx = bar->get_slider_start() + bar->get_slider_extent() / 2;
  const int32_t sy = bar->y + bar->height / 2;
  ASSERT_NO_FATAL_FAILURE(move_to(sx, sy));
  ASSERT_NO_FATAL_FAILURE(press());
  ASSERT_NO_FATAL_FAILURE(move_to(sx - 60, sy));
  ASSERT_NO_FATAL_FAILURE(release());
  EXPECT_TRUE(frames_until([&] { return d->get_alpha() < 255; }));
  EXPECT_EQ(shown(d, ID::ID_ALPHA), std::to_string(d->get_alpha()));
  EXPECT_EQ(colour_of(d) >> 24, d->get_alpha());
  const IMAGE& preview = d->get_preview()->image;
  COLOUR over_white = 0xFFFFFFFF, seen = 0;
  const COLOUR c = colour_of(d);
  blend_colour(&over_white, &c, static_cast<uint8_t>(c >> 24));
  preview.get_pixel(static_cast<int16_t>(preview.width / 8), static_cast<int16_t>(preview.height / 8), &seen);
  EXPECT_EQ(seen, over_white);
  ASSERT_NO_FATAL_FAILURE(save_screen("colour_select_and_pitch.png"));

  const COLOUR final_colour = colour_of(d);
  ASSERT_NO_FATAL_FAILURE(click(d->get_ok()));
  EXPECT_TRUE(frames_until([] { return WM_SCREEN_OBJECT::overlays().empty(); }));
  EXPECT_EQ(answers, std::vector<uintptr_t>{1});
  EXPECT_EQ(chosen, final_colour);
}

TEST_F(ColourSelectX11, CancelAnswersZeroToACallbackThatDeletesTheDialog) {
  if (!ready()) GTEST_SKIP();
  WM_COLOUR_SELECT* d = open();
  ASSERT_NO_FATAL_FAILURE(click(d->get_swatch(13)));
  ASSERT_TRUE(frames_until([&] { return colour_of(d) == 0xFF0000FFu; }));
  ASSERT_NO_FATAL_FAILURE(click(d->get_cancel()));
  EXPECT_TRUE(frames_until([] { return WM_SCREEN_OBJECT::overlays().empty(); }));
  EXPECT_EQ(answers, std::vector<uintptr_t>{0});
  // The players went on moving under the dialog.
  EXPECT_NE(pitch->get_player_position(0, 0, false), pitch->to_screen(100, 80));
}
