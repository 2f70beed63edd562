#pragma once
// The window and XTEST pointer that the text window and dialog X tests
// drive: a focused 640 x 480 window on the test program's private server,
// the test font, and frames that run the platform frame, then `frame`,
// until a condition holds.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>

#include <string>

#include "dirty_rectangles.h"
#include "input.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "private_x_server.h"
#include "screen.h"
#include "test_support.h"
#include "wm_test_fonts.h"

namespace wm_test {

class PointerX11 : public ::testing::Test {
protected:
  void SetUp() override {
    probe = XOpenDisplay(nullptr);
    if (!probe) GTEST_SKIP() << "no X display";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(probe, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST";
    ASSERT_TRUE(load_test_font());
    ASSERT_TRUE(private_x::open_focused_window(probe, "Pointer test", 640, 480));
    Window child = 0;
    XTranslateCoordinates(probe, x11.window, DefaultRootWindow(probe), 0, 0, &window_x, &window_y,
                          &child);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    dirty_rectangles().clear();
  }
  void TearDown() override {
    if (!probe) return;
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    XSync(probe, False);
    close_window(ALL_SCREENS);
    set_idle_wait(50);
    XCloseDisplay(probe);
    FONT::shutdown();
  }
  void move(int x, int y) {
    XTestFakeMotionEvent(probe, DefaultScreen(probe), window_x + x, window_y + y, CurrentTime);
  }
  void button(bool down) { XTestFakeButtonEvent(probe, 1, down, CurrentTime); }
  bool frames_until(const std::function<bool()>& done) {
    return private_x::pump_frames(probe, [&] {
      if (frame) frame();
      return done();
    });
  }
  void move_to(int x, int y) {
    move(x, y);
    ASSERT_TRUE(frames_until([&] { return mouse.x == x && mouse.y == y; }))
        << x << "," << y << " " << mouse.x << "," << mouse.y;
  }
  void press() {
    button(true);
    ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::LEFT) != 0; }));
  }
  void release() {
    button(false);
    ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::LEFT) == 0; }));
  }
  void click_at(int x, int y) {
    move_to(x, y);
    press();
    release();
  }

  // The screen picture as a PNG in the test output folder, for a person to
  // look at.
  void save_screen(const std::string& name) {
    test_support::MEMORY_DEVICE png;
    ASSERT_TRUE(get_screen_image()->save_png(&png));
    EXPECT_TRUE(test_support::write_file(test_support::picture_output_folder() + "/" + name,
                                         png.text()));
  }

  Display* probe = nullptr;
  int window_x = 0, window_y = 0;
  std::function<void()> frame;  // one toolkit frame
};

}  // namespace wm_test
