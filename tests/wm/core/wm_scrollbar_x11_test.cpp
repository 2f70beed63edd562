// A scroll bar in a real window driven by XTEST events: the platform frame
// turns them into the polled input state, the bar follows a slider drag, a
// held button repeats on the fake millisecond clock, and track clicks, wheel
// notches and page keys step it within its range.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "timing.h"
#include "wm_scrollbar.h"
#include "wm_x11_fixture.h"

namespace {

uint64_t fake_now = 5000;
uint64_t fake_clock() { return fake_now; }

class ScrollbarX11 : public wm_test::PointerX11 {
protected:
  ScrollbarX11() : PointerX11("Scroll bar test", 400, 300) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (ready()) set_clock(fake_clock);
  }
  void TearDown() override {
    set_clock(nullptr);
    PointerX11::TearDown();
  }
};

}  // namespace

TEST_F(ScrollbarX11, FollowsDragsHeldButtonsTrackClicksTheWheelAndKeys) {
  // A vertical bar at 100..115 x 20..219 with 20-pixel buttons and a
  // 40-pixel slider: the track runs 40..199 and the slider travels 120.
  PARAMETER value;
  value.set_type(PARAMETER::I32);
  value.set_int(PARAMETER::MAXIMUM, 120);
  value.set_int(PARAMETER::VALUE, 120);
  const COLOUR colours[4] = {0xFF203040, 0xFF60A0E0, 0xFFB0B0B0, 0xFF000000};
  WM_SCROLLBAR bar(100, 20, 115, 219, 40, 20, &value, SCROLLBAR_TYPE::VERTICAL_WITH_BUTTONS,
                   scrollbar_look::DEFAULT, &colours[0], &colours[1], &colours[2], &colours[3],
                   true, nullptr, 0, 0);
  bar.line_step = 2;
  frame = [&] { bar.process(); };

  // Press inside the slider (at the top, 40..79), drag it down by 30.
  ASSERT_NO_FATAL_FAILURE(move_to(108, 50));
  ASSERT_NO_FATAL_FAILURE(press());
  EXPECT_EQ(value.get_int(PARAMETER::VALUE), 120);
  move(108, 80);
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 90; }))
      << value.get_int(PARAMETER::VALUE);
  move(108, 290);  // far past the bottom end
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 0; }));
  ASSERT_NO_FATAL_FAILURE(release());

  // Hold the more button (the top one): a step at once, one after 500 ms,
  // then one every 60 ms.
  ASSERT_NO_FATAL_FAILURE(move_to(108, 25));
  button(true);
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 2; }));
  fake_now += 499;
  frames_until([] { return true; });
  EXPECT_EQ(value.get_int(PARAMETER::VALUE), 2);
  fake_now += 1;
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 4; }));
  fake_now += 60;
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 6; }));

  // The picture of the held bar, for a person to look at.
  bar.draw();
  save_screen("scrollbar_x11.png");

  ASSERT_NO_FATAL_FAILURE(release());
  fake_now += 600;
  frames_until([] { return true; });
  EXPECT_EQ(value.get_int(PARAMETER::VALUE), 6);

  // A click on the track below the slider pages down; the wheel over the
  // bar and the keys of the focused bar step it, never past its ends.
  bar.page_step = 50;
  ASSERT_NO_FATAL_FAILURE(move_to(108, 197));
  button(true);
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 0; }));
  ASSERT_NO_FATAL_FAILURE(release());
  for (int notch = 0; notch < 3; ++notch) {
    button(true, 4);
    button(false, 4);
  }
  ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) == 3; }));
  bar.selectable = 1;
  bar.set_focus();
  for (KeySym k : {XK_Page_Up, XK_Page_Up, XK_Page_Up}) {
    key(k, true);
    key(k, false);
    const int32_t before = value.get_int(PARAMETER::VALUE);
    ASSERT_TRUE(frames_until([&] { return value.get_int(PARAMETER::VALUE) != before; }));
  }
  EXPECT_EQ(value.get_int(PARAMETER::VALUE), 120);
}
