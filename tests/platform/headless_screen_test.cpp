// The screen IMAGE and the polled input state with no display at all: what
// the toolkit's tests stand on.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdlib>
#include <vector>

#include "image.h"
#include "image_test_support.h"
#include "input.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "screen.h"

using image_test_support::at;
using image_test_support::dirty;
using image_test_support::reset_dirty;

namespace {

class HeadlessScreen : public ::testing::Test {
protected:
  void SetUp() override { unsetenv("DISPLAY"); }
  void TearDown() override { set_screen_size(0, 0); }
};

}  // namespace

TEST_F(HeadlessScreen, AnyOddSizeIsDrawnThroughTheNormalImageCalls) {
  set_screen_size(333, 211);
  IMAGE* screen = get_screen_image(0);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(get_screen_width(), 333);
  EXPECT_EQ(get_screen_height(), 211);
  EXPECT_EQ(get_screen_image(1), nullptr);
  // A new screen is opaque black and wholly dirty: nothing has been shown.
  EXPECT_EQ(at(*screen, 332, 210), 0xFF000000u);
  EXPECT_EQ(dirty(*screen), (std::vector<int>{0, 0, 332, 210}));

  reset_dirty(*screen);
  const COLOUR red = 0xFFFF0000u;
  screen->fill_rect_solid(10, 20, 12, 21, &red);
  IMAGE sprite(4, 3);
  const COLOUR green = 0xFF00FF00u;
  sprite.fill_rect_solid(0, 0, 3, 2, &green);
  sprite.draw(330, 209, nullptr, BLIT_COPY);  // null target: the screen, cut at its edge
  EXPECT_EQ((std::vector<uint32_t>{at(*screen, 12, 21), at(*screen, 13, 21), at(*screen, 332, 210), at(*screen, 329, 210)}),
            (std::vector<uint32_t>{red, 0xFF000000u, green, 0xFF000000u}));
  EXPECT_EQ(dirty(*screen), (std::vector<int>{10, 20, 332, 210}));
  // The whole frame, as a toolkit test compares a rendered page.
  IMAGE expected(333, 211);
  for (int y = 0; y < 211; ++y)
    for (int x = 0; x < 333; ++x) {
      uint32_t pixel = 0xFF000000u;
      if (x >= 10 && x <= 12 && y >= 20 && y <= 21) pixel = red;
      if (x >= 330 && y >= 209) pixel = green;
      at(expected, x, y) = pixel;
    }
  EXPECT_TRUE(test_support::pictures_match("headless_screen", *screen, expected));

  // The same size keeps the picture; a new size starts black again.
  set_screen_size(333, 211);
  EXPECT_EQ(at(*screen, 12, 21), red);
  set_screen_size(17, 5);
  EXPECT_EQ(at(*screen, 12, 4), 0xFF000000u);
  EXPECT_EQ(screen->width, 17);
  set_screen_size(0, 9);
  EXPECT_EQ(screen->pixels, nullptr);
  EXPECT_EQ(get_screen_width(), 0);
}

TEST_F(HeadlessScreen, DrivenInputReadsBackThroughThePublicInputCalls) {
  set_screen_size(333, 211);
  test_support::INPUT_DRIVER input(5000000);
  input.move_to(332, 210);
  EXPECT_EQ(std::tuple(mouse.x, mouse.y, mouse.last_mouse_time), std::tuple(332, 210, 5000));

  // Two left presses a second apart, the right button held between them.
  input.click(1);
  input.advance_ms(1000);
  input.press(2);
  input.press(1);
  EXPECT_EQ(mouse.buttons, MOUSE::LEFT | MOUSE::RIGHT);
  EXPECT_EQ(mouse.left_press_time, 5001);
  EXPECT_EQ(mouse.left_press_interval, 1);
  input.turn_wheel(-2);
  EXPECT_EQ(mouse.wheel, -2);
  // Beyond the odd-sized screen the pointer leaves and lets every button go.
  input.move_to(333, 10);
  EXPECT_EQ(mouse.x, MOUSE::OUTSIDE);
  EXPECT_EQ(mouse.buttons, 0u);
  // A double click between two frames, the pointer moved twice between its
  // clicks: each frame sees one change more, and the latest place before it.
  input.move_to(5, 5);
  platform_input_frame();
  int at = 5;
  for (const int e : {1, 0, 7, 9, 1, 0}) e > 1 ? mouse.on_motion(at = e, 5) : mouse.on_button(at, 5, 1, e == 1);
  std::vector<uint32_t> seen;
  for (int frame = 0; frame < 5; ++frame, platform_input_frame()) seen.push_back(mouse.buttons | mouse.x << 8);
  EXPECT_EQ(seen, (std::vector<uint32_t>{MOUSE::LEFT | 5 << 8, 9 << 8, MOUSE::LEFT | 9 << 8, 9 << 8, 9 << 8}));

  input.advance_ms(2000);
  input.type("Hi\n");
  input.key(XK_Left);
  EXPECT_EQ(key_queue.pop(), 'H');
  EXPECT_EQ(key_queue.pop(), 'i');
  EXPECT_EQ(key_queue.pop(), '\n');
  EXPECT_EQ(key_queue.pop(), 0);
  EXPECT_EQ(key_queue.get_last_key(), static_cast<uint32_t>(XK_Left));
  EXPECT_EQ(get_last_input_time(), 5003);

  // Keys pressed within one frame show one frame each, in order, with a
  // let-go frame between; the first shows at once. A press without a key
  // symbol (text alone) takes no frame.
  KEY_QUEUE keys;
  for (const uint32_t symbol : {XK_a, 0, XK_b, XK_c}) keys.on_key_press('x', symbol, symbol - XK_a);
  std::vector<uint32_t> shown(7);
  for (uint32_t& frame : shown) {
    for (const uint32_t symbol : {XK_a, XK_b, XK_c})
      if (keys.pressed_in_frame(symbol)) frame = symbol << 8 | keys.frame_modifiers();
    keys.next_frame();
  }
  EXPECT_EQ(shown, (std::vector<uint32_t>{XK_a << 8, 0, XK_b << 8 | 1, 0, XK_c << 8 | 2, 0, 0}));
}
