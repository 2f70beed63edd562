// The X11 window under a real server: placement, hints, presentation of
// the screen image (read back with XGetImage through a second connection),
// and the same at depth 16 on a server that the test starts itself.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/xf86vmode.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cstdlib>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "x11_state.h"
#include "application_info.h"
#include "errors.h"
#include "image.h"
#include "platform.h"
#include "private_x_server.h"
#include "image_test_support.h"
#include "test_support.h"
#include "window.h"

// Whether the server lists one video mode, of 320 x 200 (a size no test asks for), in one
// block as the library hands it out; else it answers as a server without the extension.
static bool one_mode_listed = false;
extern "C" Bool XF86VidModeGetAllModeLines(Display*, int, int* count, XF86VidModeModeInfo*** modes) {
  if (!one_mode_listed) return False;
  struct BLOCK { XF86VidModeModeInfo* first; XF86VidModeModeInfo mode; };
  auto* block = static_cast<BLOCK*>(calloc(1, sizeof(BLOCK)));
  block->first = &block->mode;
  block->mode.hdisplay = 320, block->mode.vdisplay = 200;
  *modes = &block->first, *count = 1;
  return True;
}
// The corner of the screen a switched mode was last told to show.
static std::pair<int, int> view_port{-1, -1};
extern "C" Bool XF86VidModeSetViewPort(Display*, int, int x, int y) {
  view_port = {x, y};
  return True;
}
extern "C" Bool XF86VidModeSwitchToMode(Display*, int, XF86VidModeModeInfo*) { return True; }

namespace {

::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

// A colour reduced to the bits each channel of a visual keeps.
struct SAMPLE {
  uint32_t r, g, b;
  bool operator==(const SAMPLE&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const SAMPLE& s) {
    return out << s.r << "," << s.g << "," << s.b;
  }
};
struct VISUAL_MASKS {
  unsigned long r, g, b;
};

// What a pixel of a visual with these masks holds...
SAMPLE sample_of(unsigned long pixel, const VISUAL_MASKS& m) {
  auto channel = [pixel](unsigned long mask) {
    return static_cast<uint32_t>((pixel & mask) >> std::countr_zero(mask));
  };
  return {channel(m.r), channel(m.g), channel(m.b)};
}

// ...and what it should hold for an ARGB colour: the top bits of each
// 8-bit channel, or all eight moved to the top of a wider one.
SAMPLE expected_sample(uint32_t argb, const VISUAL_MASKS& m) {
  auto channel = [](uint32_t value8, unsigned long mask) {
    int bits = std::popcount(mask);
    return bits <= 8 ? value8 >> (8 - bits) : value8 << (bits - 8);
  };
  return {channel((argb >> 16) & 0xFF, m.r), channel((argb >> 8) & 0xFF, m.g), channel(argb & 0xFF, m.b)};
}

// Where the pixels of image (w x h, of a visual with masks m) first differ
// from colour(x, y), or from having every spare bit set; "" where nowhere.
template <class COLOUR>
std::string first_difference(XImage* image, int w, int h, const VISUAL_MASKS& m, COLOUR colour,
                             unsigned long spare = 0) {
  for (int i = 0; i < w * h; ++i) {
    const unsigned long pixel = XGetPixel(image, i % w, i / w);
    const SAMPLE got = sample_of(pixel, m), want = expected_sample(colour(i % w, i / w), m);
    if (got == want && (pixel & spare) == spare) continue;
    std::ostringstream text;
    text << "first difference at " << i % w << "," << i / w << ": got " << got << " want " << want;
    return text.str();
  }
  return "";
}

// A second client: looks at the window the way another program (or the
// window manager) would.
class WindowX11 : public ::testing::Test {
protected:
  void SetUp() override {
    probe = XOpenDisplay(nullptr);
    if (!probe) GTEST_SKIP() << "no X display";
    set_message_box_handler(message_box_to_stderr);
    set_idle_wait(0);
  }
  void TearDown() override {
    close_window(ALL_SCREENS);
    set_idle_wait(50);
    if (probe) XCloseDisplay(probe);
  }

  static WINDOW_PARAMS params(int16_t w, int16_t h) {
    WINDOW_PARAMS p;
    p.title = "Window test";
    p.width = w;
    p.height = h;
    return p;
  }

  // Where the window lies on the root window, and its size: x, y, width, height.
  std::array<int, 4> geometry() {
    XSync(x11.display, False);
    Window root = 0, child = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(probe, x11.window, &root, &x, &y, &w, &h, &border, &depth);
    XTranslateCoordinates(probe, x11.window, root, 0, 0, &x, &y, &child);
    return {x, y, static_cast<int>(w), static_cast<int>(h)};
  }

  std::vector<long> long_property(const char* name, long longest = 64) {
    XSync(x11.display, False);
    std::vector<long> values;
    Atom atom = XInternAtom(probe, name, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(probe, x11.window, atom, 0, longest, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
      if (format == 32) {
        const long* words = reinterpret_cast<const long*>(data);
        values.assign(words, words + count);
      }
      XFree(data);
    }
    return values;
  }

  // An 8-bit property as "<type name>:<bytes>", as xprop reads it.
  std::string text_property(const char* name) {
    XSync(x11.display, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text = "<none>";
    if (XGetWindowProperty(probe, x11.window, XInternAtom(probe, name, False), 0, 1024, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        type != None && format == 8) {
      char* type_name = XGetAtomName(probe, type);
      text = std::string(type_name) + ":" + std::string(reinterpret_cast<char*>(data), count);
      XFree(type_name);
    }
    if (data) XFree(data);
    return text;
  }

  VISUAL_MASKS window_masks() {
    XWindowAttributes attributes;
    XGetWindowAttributes(probe, x11.window, &attributes);
    return {attributes.visual->red_mask, attributes.visual->green_mask,
            attributes.visual->blue_mask};
  }
  SAMPLE expected(uint32_t argb) { return expected_sample(argb, window_masks()); }
  // The colour at (x, y) of the window as the server holds it.
  SAMPLE read_back(int x, int y) {
    XSync(x11.display, False);
    VISUAL_MASKS m = window_masks();
    XImage* image = XGetImage(probe, x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
    EXPECT_NE(image, nullptr);
    if (!image) return {};
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return sample_of(pixel, m);
  }

  // Compares the whole window with the colours the model says it shows.
  void expect_window_shows(const std::vector<uint32_t>& model, int w, int h, const char* what) {
    XSync(x11.display, False);
    XImage* image = XGetImage(probe, x11.window, 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr) << what;
    EXPECT_EQ(first_difference(image, w, h, window_masks(),
                               [&](int x, int y) { return model[static_cast<size_t>(y) * w + x]; }),
              "")
        << what;
    XDestroyImage(image);
  }

  Display* probe = nullptr;
};

// Colours (alpha too, which the window does not show) that differ from
// pixel to pixel; every other round flips the top bit of each channel, so that a pixel left unsent shows at any depth.
uint32_t noise(int x, int y, int round) {
  uint32_t v = static_cast<uint32_t>(x + 1) * 2654435761u ^ static_cast<uint32_t>(y + 7) * 40503u * 2246822519u;
  return (v ^ v >> 13) ^ (round % 2 ? 0x80808080u : 0u);
}

// Rows of known colours, alpha deliberately not opaque everywhere: the
// window shows colour only.
constexpr uint32_t kColours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80123456,
                                 0xFFFFFFFF, 0x00A0B0C0, 0xFF7F8081, 0xFF000000};

void paint_bands(IMAGE* screen) {
  for (int y = 0; y < screen->height; ++y) {
    uint32_t colour = kColours[(y / 8) % std::size(kColours)];
    for (int x = 0; x < screen->width; ++x) screen->pixels[y * screen->stride + x] = colour;
  }
  screen->add_dirty_rect(0, 0, static_cast<int16_t>(screen->width - 1),
                         static_cast<int16_t>(screen->height - 1));
}

int expected_depth() {
  const char* depth = getenv("VORN_EXPECT_DEPTH");
  return depth ? atoi(depth) : 0;
}

}  // namespace

// After each frame the window shows the screen image where the frame sent
// it and what it showed before everywhere else: a whole frame, pixels
// changed but not marked (nothing is sent), one small area, areas handed over apart from the dirty rectangle (small ones inside
// the requests, large ones through the shared segment where there is one),
// and areas that reach past the window's edges.
TEST_F(WindowX11, ShowsExactlyTheAreasSent) {
  constexpr int w = 321, h = 203;
  WINDOW_PARAMS p = params(w, h);  // odd width: the row stride is wider
  ASSERT_TRUE(open_window(&p, 0));
  if (expected_depth()) {
    XWindowAttributes attributes;
    XGetWindowAttributes(probe, x11.window, &attributes);
    EXPECT_EQ(attributes.depth, expected_depth());
  }
  if (const char* want = getenv("VORN_EXPECT_ROUTE")) {
    PRESENT_ROUTE route = x11_present_route();
    std::string got = std::string(route.shared_memory ? "shared" : "requests") + "," +
                      (route.converted ? "converted" : "straight");
    EXPECT_EQ(got, want);
  }
  // The whole frame is converted on request where the route converts.
  EXPECT_EQ(x11_convert_frame(), x11_present_route().converted);
  IMAGE* screen = get_screen_image(0);
  ASSERT_EQ(screen->width, w);
  ASSERT_EQ(screen->height, h);
  EXPECT_GT(screen->stride, screen->width);
  // A new window is opaque black, all of it to be sent.
  EXPECT_EQ(screen->pixels[0], 0xFF000000u);
  EXPECT_FALSE(screen->dirty_is_empty());
  XSync(x11.display, False);
  platform_update();  // the map's own exposure
  swap_screens(0);
  std::vector<uint32_t> model(static_cast<size_t>(w) * h, 0xFF000000u);
  expect_window_shows(model, w, h, "a new window");

  const struct {
    const char* what;
    std::vector<RECT> areas;
    bool handed_over;  // else marked in the dirty rectangle
    std::vector<RECT> shown = {};  // where the frame shows, when not just the areas
  } frames[] = {
      {"whole frame", {RECT::sized(0, 0, w, h)}, false},
      {"nothing marked", {}, false},
      {"one 100x30 area", {RECT::sized(10, 10, 100, 30)}, false},
      {"two far corners handed over", {RECT::sized(0, 0, 21, 21), RECT::sized(300, 180, 21, 23)}, true},
      {"a large area handed over", {RECT::sized(0, 40, w, 150)}, true},
      {"areas past the edges", {RECT{-10, -10, 5, 5}, RECT{310, 190, 400, 300}}, true},
      {"more areas than are kept: one around them all", [] {
         std::vector<RECT> steps;  // pixels on a slope: (10, 60), (15, 61) ... (170, 92)
         for (int i = 0; i < 33; ++i) steps.push_back(RECT::sized(10 + 5 * i, 60 + i, 1, 1));
         return steps;
       }(), true, {RECT{10, 60, 170, 92}}},
  };
  int round = 0;
  for (const auto& f : frames) {
    ++round;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) screen->pixels[y * screen->stride + x] = noise(x, y, round);
    if (f.handed_over)
      hand_over_screen_changes(f.areas.data(), static_cast<int32_t>(f.areas.size()));
    else
      for (const RECT& r : f.areas) screen->add_dirty_rect(r);
    platform_update();
    swap_screens(0);
    EXPECT_EQ(get_presented(), !f.areas.empty()) << f.what;
    EXPECT_TRUE(screen->dirty_is_empty()) << f.what;
    for (const RECT& r : f.shown.empty() ? f.areas : f.shown) {
      const RECT in = r.intersect(RECT::sized(0, 0, w, h));
      for (int y = in.y1; y <= in.y2; ++y)
        for (int x = in.x1; x <= in.x2; ++x) model[static_cast<size_t>(y) * w + x] = noise(x, y, round);
    }
    expect_window_shows(model, w, h, f.what);
  }
}

// The screen image made again at another size while the window stays: the
// next frame is presented from the new pixels, never from the old buffer
// or past the end of the presentation image.
TEST_F(WindowX11, ScreenImageResizedUnderTheWindowStillPresents) {
  WINDOW_PARAMS p = params(120, 90);
  ASSERT_TRUE(open_window(&p, 0));
  for (int16_t size : {300, 60}) {
    set_screen_size(size, size);
    IMAGE* screen = get_screen_image(0);
    ASSERT_EQ(screen->width, size);
    paint_bands(screen);
    swap_screens(0);
    EXPECT_TRUE(screen->dirty_is_empty());
    for (int y : {3, 59})
      EXPECT_EQ(read_back(50, y), expected(kColours[(y / 8) % std::size(kColours)])) << size;
  }
}

TEST_F(WindowX11, ExposeMarksTheExposedArea) {
  WINDOW_PARAMS p = params(200, 150);
  ASSERT_TRUE(open_window(&p, 0));
  IMAGE* screen = get_screen_image(0);
  XSync(x11.display, False);
  platform_update();  // the map's own exposure
  swap_screens(0);
  ASSERT_TRUE(screen->dirty_is_empty());

  XClearArea(probe, x11.window, 10, 20, 30, 40, True);
  XSync(probe, False);
  for (int i = 0; i < 100 && screen->dirty_is_empty(); ++i) {
    platform_update();
    usleep(1000);
  }
  EXPECT_EQ(image_test_support::dirty(*screen), (std::vector<int>{10, 20, 39, 59}));
}

TEST_F(WindowX11, WindowIsCentredInTheDesktopLessTheFrame) {
  int desktop_w = DisplayWidth(probe, DefaultScreen(probe));
  int desktop_h = DisplayHeight(probe, DefaultScreen(probe));
  EXPECT_EQ(get_desktop_width(), desktop_w);
  EXPECT_EQ(get_desktop_height(), desktop_h);

  WINDOW_PARAMS p = params(800, 600);
  p.min_width = 640;
  p.max_width = 1024;
  p.min_height = 640 * 3 / 4;
  p.max_height = 768;
  ASSERT_TRUE(open_window(&p, 0));
  const std::array<int, 4> placed = geometry();
  EXPECT_EQ(placed, (std::array<int, 4>{(desktop_w - 10 - 800) / 2, (desktop_h - 30 - 600) / 2, 800, 600}));
  if (desktop_w == 1280 && desktop_h == 1024) {
    EXPECT_EQ(placed, (std::array<int, 4>{235, 197, 800, 600}));
  }
  EXPECT_EQ(get_screen_width(0), 800);
  EXPECT_EQ(get_screen_height(0), 600);
  EXPECT_EQ(get_screen_width(1), 0);
  EXPECT_EQ(get_screen_image(1), nullptr);
  EXPECT_TRUE(window_exists(0));
  EXPECT_FALSE(window_exists(1));

  // The user cannot resize it.
  XSizeHints hints = {};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(probe, x11.window, &hints, &supplied));
  EXPECT_EQ(std::tuple(hints.min_width, hints.max_width, hints.min_height, hints.max_height, hints.base_width),
            std::tuple(800, 800, 600, 600, 800));
}

TEST_F(WindowX11, SizeIsLimitedThenFittedToTheDesktop) {
  XInternAtom(probe, "_MOTIF_WM_HINTS", False);  // hints go only where a window manager named them
  int desktop_w = DisplayWidth(probe, DefaultScreen(probe));
  int desktop_h = DisplayHeight(probe, DefaultScreen(probe));

  WINDOW_PARAMS small = params(100, 100);
  small.min_width = 300;
  small.min_height = 200;
  ASSERT_TRUE(open_window(&small, 0));
  EXPECT_EQ(get_screen_width(0), 300);
  EXPECT_EQ(get_screen_height(0), 200);
  WINDOW_PARAMS exact = params(700, 500);  // limits the request meets exactly
  exact.min_width = exact.max_width = 640;
  exact.min_height = exact.max_height = 480;
  ASSERT_TRUE(open_window(&exact, 0));
  EXPECT_EQ(get_screen_width(0), 640);
  EXPECT_EQ(get_screen_height(0), 480);

  WINDOW_PARAMS huge = params(30000, 30000);
  ASSERT_TRUE(open_window(&huge, 0));
  EXPECT_EQ(geometry(), (std::array<int, 4>{0, 0, desktop_w - 10, desktop_h - 30}));
  // A borderless one has no frame margins, and says so.
  huge.borderless = 1;
  ASSERT_TRUE(open_window(&huge, 0));
  EXPECT_EQ(geometry(), (std::array<int, 4>{0, 0, desktop_w, desktop_h}));
  EXPECT_EQ(long_property("_MOTIF_WM_HINTS"), (std::vector<long>{2, 0, 0, 0, 0}));

  // -1 takes the desktop's size, fitted the same way.
  WINDOW_PARAMS whole = params(-1, -1);
  ASSERT_TRUE(open_window(&whole, 0));
  EXPECT_EQ(get_screen_width(0), desktop_w - 10);

  // A minimum the desktop cannot hold refuses the request.
  WINDOW_PARAMS too_big = params(30000, 300);
  too_big.min_width = static_cast<int16_t>(desktop_w - 5);
  EXPECT_FALSE(open_window(&too_big, 0));
  WINDOW_PARAMS too_tall = params(300, 30000);
  too_tall.min_height = static_cast<int16_t>(desktop_h - 29);
  EXPECT_FALSE(open_window(&too_tall, 0));
  EXPECT_FALSE(open_window(&whole, 1));
}

TEST_F(WindowX11, ReopeningReconfiguresTheSameWindow) {
  WINDOW_PARAMS first = params(320, 200);
  ASSERT_TRUE(open_window(&first, 0));
  Window window = x11.window;
  WINDOW_PARAMS second = params(640, 480);
  second.title = "Second";
  ASSERT_TRUE(open_window(&second, 0));
  EXPECT_EQ(x11.window, window);
  EXPECT_EQ(geometry()[2], 640);
  EXPECT_EQ(geometry()[3], 480);
  IMAGE* screen = get_screen_image(0);
  ASSERT_EQ(screen->width, 640);
  paint_bands(screen);
  swap_screens(0);
  EXPECT_EQ(read_back(639, 479), expected(kColours[(479 / 8) % std::size(kColours)]));

  char* name = nullptr;
  ASSERT_TRUE(XFetchName(probe, x11.window, &name));
  EXPECT_STREQ(name, "Second");
  XFree(name);
}

TEST_F(WindowX11, FullScreenWithoutVideoModesIsABorderlessWindow) {
  int major = 0, event = 0, error = 0;
  if (XQueryExtension(probe, "XFree86-VidModeExtension", &major, &event, &error))
    GTEST_SKIP() << "this server has video modes";
  // Decoration hints are only written where a window manager named them.
  XInternAtom(probe, "_MOTIF_WM_HINTS", False);
  XInternAtom(probe, "_WIN_HINTS", False);
  XSync(probe, False);
  // The full-screen request to the window manager goes to the root window.
  XSelectInput(probe, DefaultRootWindow(probe), SubstructureNotifyMask);
  XSync(probe, False);

  WINDOW_PARAMS p = params(800, 600);
  p.full_screen = 1;
  ASSERT_TRUE(open_window(&p, 0));
  EXPECT_FALSE(is_full_screen());
  int desktop_w = DisplayWidth(probe, DefaultScreen(probe));
  int desktop_h = DisplayHeight(probe, DefaultScreen(probe));
  EXPECT_EQ(geometry(), (std::array<int, 4>{(desktop_w - 800) / 2, (desktop_h - 600) / 2, 800, 600}));
  EXPECT_EQ(long_property("_MOTIF_WM_HINTS"), (std::vector<long>{2, 0, 0, 0, 0}));
  EXPECT_EQ(long_property("_WIN_HINTS"), (std::vector<long>{0}));

  Atom state = XInternAtom(probe, "_NET_WM_STATE", False);
  Atom full = XInternAtom(probe, "_NET_WM_STATE_FULLSCREEN", False);
  bool asked = false;
  XEvent event_seen;
  while (XCheckTypedEvent(probe, ClientMessage, &event_seen)) {
    const XClientMessageEvent& m = event_seen.xclient;
    if (m.window == x11.window && m.message_type == state && m.format == 32 && m.data.l[0] == 1 &&
        static_cast<Atom>(m.data.l[1]) == full)
      asked = true;
  }
  EXPECT_TRUE(asked);
  XSelectInput(probe, DefaultRootWindow(probe), 0);

  // Back to a decorated window: the hints go again.
  WINDOW_PARAMS windowed = params(800, 600);
  ASSERT_TRUE(open_window(&windowed, 0));
  EXPECT_TRUE(long_property("_MOTIF_WM_HINTS").empty());
  EXPECT_TRUE(long_property("_WIN_HINTS").empty());
  EXPECT_EQ(geometry()[0], (desktop_w - 10 - 800) / 2);
  // And borderless once more: they come back.
  WINDOW_PARAMS borderless = params(800, 600);
  borderless.borderless = 1;
  ASSERT_TRUE(open_window(&borderless, 0));
  EXPECT_EQ(long_property("_MOTIF_WM_HINTS"), (std::vector<long>{2, 0, 0, 0, 0}));
  // Video modes that the server then lists none of: no full screen at all.
  x11.have_video_modes = true;
  EXPECT_FALSE(open_window(&p, 0));
  one_mode_listed = true;  // one mode, of another size: the borderless window again
  XWarpPointer(probe, None, DefaultRootWindow(probe), 0, 0, 0, 0, 1, 1);
  XSync(probe, False);
  EXPECT_TRUE(open_window(&p, 0));
  Window root = None, child = None;  // the pointer went first to the middle of the size asked
  int pointer_x = 0, pointer_y = 0, window_x = 0, window_y = 0;
  unsigned buttons = 0;
  XQueryPointer(probe, DefaultRootWindow(probe), &root, &child, &pointer_x, &pointer_y, &window_x, &window_y, &buttons);
  EXPECT_EQ(std::pair(pointer_x, pointer_y), std::pair(400, 300));
  WINDOW_PARAMS mode_sized = params(320, 200);  // the listed size: the mode shows from its corner
  mode_sized.full_screen = 1;
  EXPECT_TRUE(open_window(&mode_sized, 0));
  EXPECT_TRUE(is_full_screen());
  EXPECT_EQ(view_port, std::pair(0, 0));
  one_mode_listed = x11.have_video_modes = false;
  // A window in a switched mode gives the mode back as it closes.
  ASSERT_TRUE(open_window(&windowed, 0));
  x11.full_screen = 1;
  WINDOW_PARAMS widest = params(IMAGE_MAX_SIZE, 2);  // a switched mode holds the largest image, no more
  widest.full_screen = 1;
  EXPECT_TRUE(open_window(&widest, 0));
  widest.width = IMAGE_MAX_SIZE + 1;
  EXPECT_FALSE(open_window(&widest, 0));
  close_window(0);
  EXPECT_FALSE(is_full_screen());
}

// Titles reach window managers readable (WM_NAME and WM_ICON_NAME, a plain
// STRING where every character is in Latin-1) and desktops in UTF-8
// (_NET_WM_NAME, _NET_WM_ICON_NAME); a window that is not open takes none.
TEST_F(WindowX11, TitlesReachWindowManagersAndDesktopsReadable) {
  const struct {
    const char* title;  // system text
    const char* utf8;
    const char* latin1;  // the plain STRING, null for none
  } rows[] = {
      {"Gr\xFC\xDF" "e\xFF", "Gr\xC3\xBC\xC3\x9F" "e\xC3\xBF", "Gr\xFC\xDF" "e\xFF"},  // ÿ: Latin-1's last
      {"Gr\xFC\xDF" "e \x01,03A9\x01", "Gr\xC3\xBC\xC3\x9F" "e \xCE\xA9", nullptr},
      {"caf\x01,00E9\x01", "caf\xC3\xA9", "caf\xE9"},
      {nullptr, "", ""},
  };
  WINDOW_PARAMS p = params(120, 90);
  p.title = rows[0].title;
  ASSERT_TRUE(open_window(&p, 0));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.utf8);
    if (&row != rows) set_window_title(row.title, 0);
    set_window_title("Ignored", 1);
    XSync(x11.display, False);
    for (Atom property : {XA_WM_NAME, XA_WM_ICON_NAME}) {
      XTextProperty text = {};
      ASSERT_TRUE(XGetTextProperty(probe, x11.window, &text, property));
      char** list = nullptr;
      int count = 0;
      std::string decoded = "<undecodable>";
      if (Xutf8TextPropertyToTextList(probe, &text, &list, &count) >= Success && count <= 1)
        decoded = count ? list[0] : "";
      EXPECT_EQ(decoded, row.utf8);
      if (row.latin1) {
        EXPECT_EQ(text.encoding, XA_STRING);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(text.value), text.nitems), row.latin1);
      }
      if (list) XFreeStringList(list);
      XFree(text.value);
    }
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
      EXPECT_EQ(text_property(name), std::string("UTF8_STRING:") + row.utf8);
  }
}

TEST_F(WindowX11, TheWindowsClassComesFromTheProgramsName) {
  char** saved_argv = get_saved_argv();
  char** saved_envp = get_saved_envp();
  const struct {
    const char* argv0;  // null: no saved arguments, the program file's name
    const char* instance;
    const char* class_name;
  } rows[] = {
      {"/opt/demo/demo-setup", "demo-setup", "Demo-setup"},
      {"./Setup", "Setup", "Setup"},
      {"9lives", "9lives", "9lives"},
      {nullptr, "window_x11_test", "Window_x11_test"},
  };
  for (const auto& row : rows) {
    std::string argv0 = row.argv0 ? row.argv0 : "";
    char* argv[2] = {argv0.data(), nullptr};
    save_arguments(row.argv0 ? argv : nullptr, saved_envp);
    WINDOW_PARAMS p = params(120, 90);
    ASSERT_TRUE(open_window(&p, 0));
    XSync(x11.display, False);
    XClassHint hint = {};
    ASSERT_TRUE(XGetClassHint(probe, x11.window, &hint)) << argv0;
    EXPECT_STREQ(hint.res_name, row.instance);
    EXPECT_STREQ(hint.res_class, row.class_name);
    XFree(hint.res_name);
    XFree(hint.res_class);
    close_window(0);
  }
  save_arguments(saved_argv, saved_envp);
}

// The window's icon picture reaches desktops as _NET_WM_ICON: width,
// height, then ARGB pixels row by row, "None" transparent.
TEST_F(WindowX11, TheIconPictureReachesDesktopsAsArgb) {
  // "s" names a colour by symbol only: no colour at all, so clear.
  const char* const small_icon[] = {"3 2 5 1", "  c None", ". c #FF8000", "x c red",
                                    "o g #808080", "s s background", ". x", "xos"};
  APPLICATION_INFO info = get_application_info();
  info.icon = small_icon;
  set_application_info(&info);
  WINDOW_PARAMS p = params(120, 90);
  ASSERT_TRUE(open_window(&p, 0));
  // Xlib hands 32-bit items back as longs, sign-extended.
  const auto words = [](const std::vector<long>& longs) {
    return std::vector<uint32_t>(longs.begin(), longs.end());
  };
  EXPECT_EQ(words(long_property("_NET_WM_ICON")),
            (std::vector<uint32_t>{3, 2, 0xFFFF8000, 0, 0xFFFF0000, 0xFFFF0000, 0xFF808080, 0}));
  close_window(0);
  set_application_info(nullptr);

  // The built-in picture: a 70 x 70 rounded square, clear in its corners.
  ASSERT_TRUE(open_window(&p, 0));
  const std::vector<uint32_t> icon = words(long_property("_NET_WM_ICON", 2 + 70 * 70));
  ASSERT_EQ(icon.size(), 2u + 70 * 70);
  EXPECT_EQ(icon[0], 70u);
  EXPECT_EQ(icon[1], 70u);
  EXPECT_EQ(icon[2], 0u);                          // the top left corner
  EXPECT_EQ(icon[2 + 35 * 70 + 35] >> 24, 0xFFu);  // the middle
  // Older window managers take it as a pixmap with its mask.
  XWMHints* hints = XGetWMHints(probe, x11.window);
  ASSERT_NE(hints, nullptr);
  ASSERT_TRUE(hints->flags & IconPixmapHint);
  EXPECT_TRUE(hints->flags & IconMaskHint);
  Window root = 0;
  int ix = 0, iy = 0;
  unsigned iw = 0, ih = 0, border = 0, depth = 0;
  ASSERT_TRUE(XGetGeometry(probe, hints->icon_pixmap, &root, &ix, &iy, &iw, &ih, &border, &depth));
  EXPECT_EQ(iw, 70u);
  EXPECT_EQ(ih, 70u);
  const Pixmap pixmap = hints->icon_pixmap;
  XFree(hints);
  // Closing the window gives the icon's pixmaps back to the server.
  close_window(0);
  XSync(x11.display, False);
  XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  EXPECT_FALSE(XGetGeometry(probe, pixmap, &root, &ix, &iy, &iw, &ih, &border, &depth));
  XSetErrorHandler(previous);
}

namespace {
int close_calls = 0;
bool close_answer = false;
bool count_close(uint32_t) {
  ++close_calls;
  return close_answer;
}
}  // namespace

TEST_F(WindowX11, CloseButtonReachesTheCloseRequestCallback) {
  WINDOW_PARAMS p = params(120, 90);
  ASSERT_TRUE(open_window(&p, 0));
  close_calls = 0;
  set_close_handler(count_close);
  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_TRUE(XGetWMProtocols(probe, x11.window, &protocols, &count));
  ASSERT_EQ(count, 1);
  EXPECT_EQ(protocols[0], XInternAtom(probe, "WM_DELETE_WINDOW", False));
  XFree(protocols);

  auto press_close_button = [&] {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = x11.window;
    event.xclient.message_type = XInternAtom(probe, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(probe, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(probe, x11.window, False, NoEventMask, &event);
    XSync(probe, False);
    int before = close_calls;
    for (int i = 0; i < 200 && close_calls == before; ++i) {
      platform_update();
      usleep(1000);
    }
  };

  close_answer = false;
  press_close_button();
  EXPECT_EQ(close_calls, 1);
  EXPECT_FALSE(quit_requested());

  close_answer = true;
  press_close_button();
  EXPECT_EQ(close_calls, 2);
  EXPECT_TRUE(quit_requested());

  close_answer = false;
  handle_close_request();
  EXPECT_FALSE(quit_requested());
  set_close_handler(nullptr);
}

TEST_F(WindowX11, ClosingEmptiesTheScreenImage) {
  WINDOW_PARAMS p = params(120, 90);
  ASSERT_TRUE(open_window(&p, 0));
  Window window = x11.window;
  // Shared segments the process has attached, as its memory map lists them.
  const auto attached_segments = [] {
    std::istringstream maps(test_support::read_file("/proc/self/maps"));
    int count = 0;
    for (std::string line; std::getline(maps, line);) count += line.find("/SYSV") != std::string::npos;
    return count;
  };
  EXPECT_EQ(attached_segments(), x11_present_route().shared_memory ? 1 : 0);
  close_window(1);  // not a screen: nothing happens
  EXPECT_TRUE(is_window_open());
  close_window(0);
  EXPECT_EQ(attached_segments(), 0);
  EXPECT_FALSE(is_window_open());
  EXPECT_FALSE(window_exists(0));
  EXPECT_EQ(get_screen_width(0), 0);
  EXPECT_EQ(get_screen_image(0)->pixels, nullptr);
  swap_screens(0);  // nothing to present
  platform_update();
  EXPECT_FALSE(get_presented());
  EXPECT_FALSE(x11_convert_frame());

  XWindowAttributes attributes;
  XSync(x11.display, False);  // the destroy has reached the server before the probe asks
  XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  EXPECT_FALSE(XGetWindowAttributes(probe, window, &attributes));
  XSetErrorHandler(previous);

  // And it opens again.
  ASSERT_TRUE(open_screen("Again", 90, 60, 0));
  EXPECT_EQ(get_screen_width(0), 90);
}

TEST(ScreenGrid, PointsMapToScreensOf4096PixelCells) {
  const int32_t points[][3] = {{0, 0, 0}, {-1, 5000, 0}, {4096, 0, 8}, {0, 4096, 1},
                               {3 * 4096 + 7, 2 * 4096, 26}, {8 * 4096, 0, 0}};
  for (const auto& p : points) EXPECT_EQ(screen_of_point(p[0], p[1]), p[2]) << p[0] << "," << p[1];
  EXPECT_EQ(std::pair(screen_origin_x(26), screen_origin_y(26)), std::pair(3 * 4096, 2 * 4096));
}

TEST_F(WindowX11, GlContextPresentsWhenTheServerOffersOne) {
  // GL drivers keep allocations for the life of the process: run it in a
  // child that ends without the leak check.
  EXPECT_EXIT(
      {
        // The child must not talk on the parent's connection: it forgets
        // it (without closing it) and opens its own.
        x11 = X11_STATE();
        WINDOW_PARAMS p = params(64, 32);
        if (!open_window(&p, 0)) _exit(2);
        // The servers here offer GL for the window's visual wherever they
        // have GLX; without GLX there is nothing to check.
        int glx[3];
        if (!create_gl_context()) _exit(XQueryExtension(x11.display, "GLX", &glx[0], &glx[1], &glx[2]) ? 8 : 0);
        IMAGE* screen = get_screen_image(0);
        for (size_t i = 0; i < screen->pixel_count; ++i) screen->pixels[i] = 0xFF0000FF;  // blue: not red
        platform_update();
        swap_screens(0);
        if (!get_presented()) _exit(3);
        XSync(x11.display, False);
        XImage* shown = XGetImage(x11.display, x11.window, 10, 10, 1, 1, AllPlanes, ZPixmap);
        if (!shown) _exit(6);
        XWindowAttributes attributes;
        XGetWindowAttributes(x11.display, x11.window, &attributes);
        unsigned long pixel = XGetPixel(shown, 0, 0);
        XDestroyImage(shown);
        if ((pixel & attributes.visual->red_mask) != 0 ||
            (pixel & attributes.visual->blue_mask) != attributes.visual->blue_mask)
          _exit(7);
        platform_update();
        swap_screens(0);  // nothing dirty, no redraw asked
        if (get_presented()) _exit(4);
        request_gl_redraw();
        swap_screens(0);
        if (!get_presented()) _exit(5);
        destroy_gl_context();
        close_window(0);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------
// Other depths and routes: the same presentation on servers started here.

namespace {

// The presentation tests, run again in a child connected to a fresh server
// of that screen, which must take the route given. Empty when they passed,
// else why not.
std::string run_on_own_server(const std::string& screen, bool with_glx,
                              private_x::SHARED_MEMORY shared, const char* route, bool& started) {
  private_x::SERVER server = private_x::start(screen, with_glx, shared);
  started = server.display >= 0;
  if (!started) {
    private_x::stop(server);
    return "Xvfb could not be started";
  }
  // The window takes the server's own visual, also where GLX offers one of
  // another depth: GL is looked for only when a context is asked for.
  std::vector<std::string> env = {"DISPLAY=:" + std::to_string(server.display), "VORN_INNER_RUN=1",
                                  "VORN_EXPECT_DEPTH=" + screen.substr(screen.rfind('x') + 1),
                                  std::string("VORN_EXPECT_ROUTE=") + route};
  test_support::RunResult run = test_support::run_program(
      {"/proc/self/exe", "--gtest_filter=WindowX11.ShowsExactlyTheAreasSent:WindowX11.ReopeningReconfiguresTheSameWindow:"
             "WindowX11.WindowIsCentredInTheDesktopLessTheFrame"},
      env);
  private_x::stop(server);
  if (run.exit_code == 0 && run.out.find("[  PASSED  ] 3 tests") != std::string::npos) return "";
  return screen + ": " + run.out + run.err;
}

}  // namespace

// Other depths take the server's own visual and convert the pixels: 15
// bits are stored in 16 with five bits of green, 30 bits hold ten bits per
// channel, the eight of the image at the top of each. Shared memory is
// used where the server offers it and can attach the segment, the requests
// themselves where it lacks the extension or cannot reach the program's
// segments; conversion only where the pixel format differs.
TEST(WindowRoutes, EveryDepthAndRouteShowsTheScreenImage) {
  if (getenv("VORN_INNER_RUN")) GTEST_SKIP() << "already the inner run";
  using private_x::SHARED_MEMORY;
  const struct {
    const char* screen;
    bool with_glx;
    SHARED_MEMORY shared;
    const char* route;
  } servers[] = {
      {"1280x1024x16", false, SHARED_MEMORY::OFFERED, "shared,converted"},
      {"1280x1024x16", true, SHARED_MEMORY::OFFERED, "shared,converted"},
      {"1280x1024x15", false, SHARED_MEMORY::OFFERED, "shared,converted"},
      {"1280x1024x30", false, SHARED_MEMORY::OFFERED, "shared,converted"},
      {"1280x1024x24", false, SHARED_MEMORY::OFFERED, "shared,straight"},
      {"1280x1024x24", false, SHARED_MEMORY::ABSENT, "requests,straight"},
      {"1280x1024x24", false, SHARED_MEMORY::ELSEWHERE, "requests,straight"},
      {"1280x1024x16", false, SHARED_MEMORY::ABSENT, "requests,converted"},
  };
  int ran = 0;
  for (const auto& s : servers) {
    bool started = false;
    std::string failure = run_on_own_server(s.screen, s.with_glx, s.shared, s.route, started);
    if (!started && ran == 0) GTEST_SKIP() << failure;
    // Only a server in an IPC namespace of its own needs a right that the
    // machine may not give.
    if (!started && s.shared == SHARED_MEMORY::ELSEWHERE) continue;
    ++ran;
    EXPECT_EQ(failure, "") << s.screen << (s.with_glx ? " with GLX " : " ") << s.route;
  }
  EXPECT_GE(ran, 7);
}

// Every pixel layout a server may ask for, 24 bits in three bytes among
// them (which Xvfb does not offer): the presentation image, read back
// pixel by pixel through Xlib, holds the screen image's colours.
TEST(PresentationFormats, EveryPixelLayoutHoldsTheScreenImage) {
  if (getenv("VORN_INNER_RUN")) GTEST_SKIP() << "already the inner run";
  constexpr int w = 37, h = 5;
  set_screen_size(w, h);
  IMAGE* screen = get_screen_image(0);
  ASSERT_NE(screen->pixels, nullptr);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) screen->pixels[y * screen->stride + x] = noise(x, y, y);

  const struct {
    int bits, depth;
    unsigned long r, g, b;
  } layouts[] = {
      {32, 24, 0xFF0000, 0xFF00, 0xFF},       {32, 32, 0xFF0000, 0xFF00, 0xFF},
      {32, 24, 0xFF, 0xFF00, 0xFF0000},       {32, 30, 0x3FF00000, 0xFFC00, 0x3FF},
      {24, 24, 0xFF0000, 0xFF00, 0xFF},       {24, 24, 0xFF, 0xFF00, 0xFF0000},
      {16, 16, 0xF800, 0x07E0, 0x001F},       {16, 15, 0x7C00, 0x03E0, 0x001F},
      {16, 16, 0x001F, 0x07E0, 0xF800},
  };
  for (const auto& l : layouts) {
    std::string what = std::to_string(l.bits) + " bits, depth " + std::to_string(l.depth) +
                       ", red " + std::to_string(l.r);
    XImage image = {};
    image.width = w;
    image.height = h;
    image.format = ZPixmap;
    image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = image.byte_order;
    image.bitmap_pad = 32;
    image.depth = l.depth;
    image.bits_per_pixel = l.bits;
    image.bytes_per_line = (l.bits * w + 31) / 32 * 4;
    image.red_mask = l.r;
    image.green_mask = l.g;
    image.blue_mask = l.b;
    std::vector<char> data(static_cast<size_t>(image.bytes_per_line) * h, 0x55);
    image.data = data.data();
    ASSERT_NE(XInitImage(&image), 0) << what;
    ASSERT_TRUE(x11_convert_area(&image, RECT::sized(0, 0, w, h))) << what;
    // A plane the visual shows but no colour uses is opaque alpha.
    EXPECT_EQ(first_difference(&image, w, h, {l.r, l.g, l.b},
                               [&](int x, int y) { return screen->pixels[y * screen->stride + x]; },
                               l.depth == 32 ? 0xFF000000ul : 0ul),
              "")
        << what;
  }
  EXPECT_FALSE(x11_convert_area(nullptr, RECT::sized(0, 0, w, h)));
  set_screen_size(0, 0);
}

namespace {

// How many shared-memory segments the process made that still exist, as
// ipcs lists them (id, owner, creator, last user).
int segments_made_by(long pid) {
  test_support::RunResult listed = test_support::run_program({"/usr/bin/ipcs", "-m", "-p"});
  int count = 0;
  std::istringstream lines(listed.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string id, owner;
    long creator = 0;
    if (fields >> id >> owner >> creator && creator == pid) ++count;
  }
  return count;
}

}  // namespace

// A program that presented through a shared segment leaves none behind,
// however it ends: at exit with its window still open, through a fatal
// error, or killed. ipcs tells which segments exist and who made them.
TEST(WindowSharedMemory, NoSegmentOutlivesTheProgram) {
  if (const char* end = getenv("VORN_SHM_END")) {
    // The inner run: present, count this process's segments, then end.
    set_message_box_handler(message_box_to_stderr);
    WINDOW_PARAMS p;
    p.width = 200;
    p.height = 100;
    if (!open_window(&p, 0)) _exit(2);
    get_screen_image(0)->add_dirty_rect(0, 0, 199, 99);
    swap_screens(0);
    if (!x11_present_route().shared_memory) _exit(3);
    printf("pid %d segments %d\n", static_cast<int>(getpid()), segments_made_by(getpid()));
    fflush(stdout);
    if (std::string(end) == "exit") exit(0);
    if (std::string(end) == "fatal") report_error(0x0010);
    raise(SIGKILL);
  }
  if (getenv("VORN_INNER_RUN")) GTEST_SKIP() << "already the inner run";
  private_x::SERVER server = private_x::start("640x480x24", false);
  if (server.display < 0) GTEST_SKIP() << "Xvfb could not be started";
  const struct {
    const char* end;
    int exit_code;
  } ends[] = {{"exit", 0}, {"fatal", 255}, {"kill", 128 + SIGKILL}};
  for (const auto& e : ends) {
    test_support::RunResult run = test_support::run_program(
        {"/proc/self/exe", "--gtest_filter=WindowSharedMemory.NoSegmentOutlivesTheProgram"},
        {"DISPLAY=:" + std::to_string(server.display), "VORN_INNER_RUN=1",
         std::string("VORN_SHM_END=") + e.end});
    EXPECT_EQ(run.exit_code, e.exit_code) << e.end << "\n" << run.out << run.err;
    int pid = 0, segments = 0;
    size_t at = run.out.find("pid ");
    ASSERT_NE(at, std::string::npos) << e.end << "\n" << run.out << run.err;
    ASSERT_EQ(sscanf(run.out.c_str() + at, "pid %d segments %d", &pid, &segments), 2);
    EXPECT_GE(segments, 1) << e.end << ": the segment was not there while the program ran";
    // The server lets go of a departed client's segment in its own time.
    int left = segments_made_by(pid);
    for (int turn = 0; turn < 100 && left > 0; ++turn) {
      usleep(50 * 1000);
      left = segments_made_by(pid);
    }
    EXPECT_EQ(left, 0) << e.end << ": a segment of the program outlived it";
  }
  private_x::stop(server);
}
