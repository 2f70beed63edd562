#pragma once
// A focused program window on the test program's X server and a second
// connection (the probe) that sends XTEST pointer, button and key events to
// it. Skips without a display or without XTEST; every key pressed through
// key() and the left button are let go again before the window closes.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>
#include <set>

#include "input.h"
#include "private_x_server.h"

namespace private_x {

class WINDOW_TEST : public ::testing::Test {
protected:
  WINDOW_TEST(const char* title, int16_t width, int16_t height)
      : title(title), width(width), height(height) {}

  void SetUp() override {
    probe = XOpenDisplay(nullptr);
    if (!probe) GTEST_SKIP() << "no X display";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(probe, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST";
    ASSERT_TRUE(open_focused_window(probe, title, width, height));
    Window child = 0;
    XTranslateCoordinates(probe, x11.window, DefaultRootWindow(probe), 0, 0, &window_x, &window_y,
                          &child);
    // Whatever the new window's mapping and focus made of the input goes.
    pump([] { return false; }, 5);
    key_queue.get_last_key();
  }
  void TearDown() override {
    if (!probe) return;
    button(false);
    for (KeySym held : std::set<KeySym>(held_keys)) key(held, false);
    XSync(probe, False);
    close_window(ALL_SCREENS);
    set_idle_wait(50);
    XCloseDisplay(probe);
    probe = nullptr;
  }
  // SetUp got as far as a usable window.
  bool ready() const { return probe && !IsSkipped() && !HasFatalFailure(); }

  // Platform frames until the condition holds or the turns run out.
  bool pump(const std::function<bool()>& done, int turns = 400) {
    return pump_frames(probe, done, turns);
  }
  void move(int x, int y) {
    XTestFakeMotionEvent(probe, DefaultScreen(probe), window_x + x, window_y + y, CurrentTime);
  }
  void button(bool down, unsigned which = 1) {
    XTestFakeButtonEvent(probe, which, down, CurrentTime);
  }
  void key(KeySym symbol, bool down) {
    XTestFakeKeyEvent(probe, XKeysymToKeycode(probe, symbol), down, CurrentTime);
    if (down)
      held_keys.insert(symbol);
    else
      held_keys.erase(symbol);
  }

  Display* probe = nullptr;
  int window_x = 0, window_y = 0;  // the window's origin on the root window

private:
  const char* title;
  int16_t width, height;
  std::set<KeySym> held_keys;
};

}  // namespace private_x
