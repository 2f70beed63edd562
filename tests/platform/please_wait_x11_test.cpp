// The "Please Wait" window, under a real X server: its title, its size,
// and the picture read back from the window.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "image.h"
#include "platform.h"
#include "private_x_server.h"
#include "timing.h"
#include "window.h"

namespace {

// Reads back window pixels: a server of its own keeps other test programs
// from covering the window.
::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

// Finds a top-level window by its name through a connection of our own.
Window find_window(Display* display, const char* name) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    char* window_name = nullptr;
    if (XFetchName(display, children[i], &window_name) && window_name) {
      if (strcmp(window_name, name) == 0) found = children[i];
      XFree(window_name);
    }
  }
  if (children) XFree(children);
  return found;
}

class PleaseWait : public testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XSetErrorHandler(ignore_x_errors);
  }
  void TearDown() override {
    close_window(ALL_SCREENS);
    if (display) XCloseDisplay(display);
  }
  Display* display = nullptr;
};

}  // namespace

TEST_F(PleaseWait, ShowsThePictureInABorderlessWindowOfItsSize) {
  IMAGE picture(40, 30);
  ASSERT_NE(picture.pixels, nullptr);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      picture.pixels[y * picture.stride + x] = x < 20 ? 0xFFFF0000u : (y < 15 ? 0xFF0000FFu : 0xFF00FF00u);

  // Decoration hints are only set for atoms that exist, as they do where a
  // window manager runs; make this one exist.
  Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XSync(display, False);

  ASSERT_TRUE(show_please_wait(&picture));
  EXPECT_EQ(get_screen_width(0), 40);
  EXPECT_EQ(get_screen_height(0), 30);

  Window window = 0;
  XImage* shot = nullptr;
  // The server may need a moment to map the window.
  for (int attempt = 0; attempt < 50 && !shot; ++attempt) {
    platform_update();
    XSync(display, False);
    if (!window) window = find_window(display, "Please Wait");
    if (window) shot = XGetImage(display, window, 0, 0, 40, 30, AllPlanes, ZPixmap);
    if (!shot) usleep(20000);
  }
  ASSERT_NE(window, 0u) << "no window titled \"Please Wait\"";
  ASSERT_NE(shot, nullptr);

  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
  EXPECT_EQ(attributes.width, 40);
  EXPECT_EQ(attributes.height, 30);

  // Borderless: the window manager is asked for no decorations.
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(display, window, motif, 0, 5, False, AnyPropertyType, &type, &format,
                               &items, &after, &data),
            Success);
  ASSERT_EQ(items, 5u);
  ASSERT_EQ(format, 32);
  const long* hints = reinterpret_cast<const long*>(data);
  EXPECT_EQ(hints[0], 2);  // the decorations field is valid ...
  EXPECT_EQ(hints[2], 0);  // ... and asks for none
  XFree(data);

  auto rgb = [&](int x, int y) {
    unsigned long pixel = XGetPixel(shot, x, y);
    // Scale each channel to 8 bits whatever the visual's depth.
    auto channel = [&](unsigned long mask) {
      int shift = __builtin_ctzl(mask);
      unsigned long bits = mask >> shift;
      return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / bits);
    };
    return (channel(shot->red_mask) << 16) | (channel(shot->green_mask) << 8) | channel(shot->blue_mask);
  };
  EXPECT_EQ((std::vector<unsigned>{rgb(5, 5), rgb(19, 29), rgb(20, 0), rgb(39, 14), rgb(39, 29)}),
            (std::vector<unsigned>{0xFF0000u, 0xFF0000u, 0x0000FFu, 0x0000FFu, 0x00FF00u}));
  XDestroyImage(shot);
}

TEST_F(PleaseWait, NothingToShowOpensNoWindow) {
  EXPECT_FALSE(show_please_wait(nullptr));
  IMAGE empty;
  EXPECT_FALSE(show_please_wait(&empty));
  EXPECT_FALSE(is_window_open());
}
