// The screen IMAGE and the polled input state with no display at all: what
// the toolkit's tests stand on.
#include <gtest/gtest.h>

#include <cstdlib>

#include "image.h"
#include "image_test_support.h"
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
  EXPECT_EQ(at(*screen, 12, 21), red);
  EXPECT_EQ(at(*screen, 13, 21), 0xFF000000u);
  EXPECT_EQ(at(*screen, 332, 210), green);
  EXPECT_EQ(at(*screen, 329, 210), 0xFF000000u);
  EXPECT_EQ(dirty(*screen), (std::vector<int>{10, 20, 332, 210}));

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
