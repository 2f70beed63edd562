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
#include <vector>

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
    if (spare_code) {
      KeySym nothing[2] = {NoSymbol, NoSymbol};
      XChangeKeyboardMapping(probe, spare_code, 2, nothing, 1);
      spare_code = 0;
    }
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
  // Taps a key that types symbol, also where the server's keyboard has no
  // such key: a free key code carries the symbol (until the next such tap
  // or the window closes; the program reads the mapping when the key comes).
  // False when no key code is free.
  bool tap_symbol(KeySym symbol) {
    if (!spare_code) {
      int low = 0, high = 0, per_code = 0;
      XDisplayKeycodes(probe, &low, &high);
      KeySym* all = XGetKeyboardMapping(probe, static_cast<KeyCode>(low), high - low + 1, &per_code);
      if (!all) return false;
      for (int code = high; code >= low && !spare_code; --code) {
        bool empty = true;
        for (int i = 0; i < per_code; ++i)
          if (all[(code - low) * per_code + i] != NoSymbol) empty = false;
        if (empty) spare_code = code;
      }
      XFree(all);
      if (!spare_code) return false;
    }
    KeySym both[2] = {symbol, symbol};
    XChangeKeyboardMapping(probe, spare_code, 2, both, 1);
    XTestFakeKeyEvent(probe, static_cast<unsigned>(spare_code), True, CurrentTime);
    XTestFakeKeyEvent(probe, static_cast<unsigned>(spare_code), False, CurrentTime);
    XSync(probe, False);
    return true;
  }

  // What the window shows in a rectangle, read back through the probe, as
  // 0xRRGGBB by rows; empty when it cannot be read.
  std::vector<uint32_t> window_pixels(int x, int y, int w, int h) {
    XSync(x11.display, False);
    XImage* image = XGetImage(probe, x11.window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    std::vector<uint32_t> pixels;
    for (int j = 0; image && j < h; ++j)
      for (int i = 0; i < w; ++i) pixels.push_back(static_cast<uint32_t>(XGetPixel(image, i, j)) & 0xFFFFFF);
    if (image) XDestroyImage(image);
    return pixels;
  }

  Display* probe = nullptr;
  int window_x = 0, window_y = 0;  // the window's origin on the root window

private:
  const char* title;
  int16_t width, height;
  std::set<KeySym> held_keys;
  int spare_code = 0;  // a key code tap_symbol lent a symbol to
};

}  // namespace private_x
