#pragma once
// The toolkit's X tests on one window: the shared XTEST window with the
// test font, the screen image as the drawing surface, the real key map as
// the key seam, and frames that run the platform frame, then `frame`,
// until a condition holds.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>
#include <string>

#include "dirty_rectangles.h"
#include "input.h"
#include "screen.h"
#include "test_support.h"
#include "wm_test_fonts.h"
#include "x11_fixture.h"

namespace wm_test {

// Every toolkit X test program runs on a private X server of its own.
inline ::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

class PointerX11 : public private_x::WINDOW_TEST {
protected:
  explicit PointerX11(const char* title = "Pointer test", int16_t width = 640,
                      int16_t height = 480)
      : WINDOW_TEST(title, width, height) {}

  void SetUp() override {
    ASSERT_TRUE(load_test_font());
    font_loaded = true;
    WINDOW_TEST::SetUp();
    if (!ready()) return;
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    WM_SCREEN_OBJECT::set_key_down_function(nullptr);  // the real key map
    dirty_rectangles().clear();
  }
  void TearDown() override {
    WINDOW_TEST::TearDown();
    if (font_loaded) FONT::shutdown();
  }

  bool frames_until(const std::function<bool()>& done) {
    return pump([&] {
      if (frame) frame();
      return done();
    });
  }
  void move_to(int x, int y) {
    move(x, y);
    ASSERT_TRUE(frames_until([&] { return mouse.x == x && mouse.y == y; }))
        << x << "," << y << " " << mouse.x << "," << mouse.y;
  }
  // To the middle of the object.
  void move_to(const WM_SCREEN_OBJECT* o) { move_to(o->x + o->width / 2, o->y + o->height / 2); }
  void press() {
    button(true);
    ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::LEFT) != 0; }));
  }
  void release() {
    button(false);
    ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::LEFT) == 0; }));
  }
  void click_at(int x, int y) {
    ASSERT_NO_FATAL_FAILURE(move_to(x, y));
    ASSERT_NO_FATAL_FAILURE(press());
    release();
  }
  void click(const WM_SCREEN_OBJECT* o) { click_at(o->x + o->width / 2, o->y + o->height / 2); }
  // A key pressed until the key map shows it, then let go the same way.
  void tap(KeySym symbol) {
    key(symbol, true);
    ASSERT_TRUE(frames_until([&] { return is_key_down(static_cast<uint32_t>(symbol)); }));
    key(symbol, false);
    ASSERT_TRUE(frames_until([&] { return !is_key_down(static_cast<uint32_t>(symbol)); }));
  }

  // The screen picture as a PNG in the test output folder, for a person to
  // look at.
  void save_screen(const std::string& name) { wm_test::save_screen(name); }

  std::function<void()> frame;  // one toolkit frame

private:
  bool font_loaded = false;
};

// The effects' clock runs fast; the overlays are painted, as effects start
// with the first paint. Overlays left at the end are deleted.
class OverlayX11 : public PointerX11 {
protected:
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    frame = [this] {
      clock += 400;
      WM_SCREEN_OBJECT::set_frame_clock(clock);
      root.process();
      root.update(true);
      DIRTY_RECTANGLES::SCOPED_ENTRY whole(dirty_rectangles(), RECT{0, 0, 639, 479});
      root.paint_overlays();
    };
  }
  void TearDown() override {
    while (!WM_SCREEN_OBJECT::overlays().empty())
      root.remove_overlay(WM_SCREEN_OBJECT::overlays().back(), true, false);
    PointerX11::TearDown();
  }

  uint32_t clock = 10000;
  WM_SCREEN_OBJECT root{true, nullptr, 0, 0};
};

}  // namespace wm_test
