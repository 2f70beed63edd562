// The demo installer made by the builder, on a private X server, driven
// through its wizard by pointer clicks that XTEST sends: the language page,
// the licence (Agree leads on, Disagree ends the program), the options
// page with its folder browser, and Install. Each page's pixels are read back from the X server and saved as
// PNG; a dialog dragged on one page opens at the same place on the next.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "picture_compare.h"
#include "private_x_server.h"
#include "test_support.h"

namespace {

const std::string kTools = TEST_BIN_DIR "/../tools/installer/";
const std::string kDemo = TEST_SOURCE_DIR "/../demo/installer.txt";
constexpr int kWidth = 640, kHeight = 480;  // the demo's window

int ignore_x_error(Display*, XErrorEvent*) { return 0; }

std::string name_of(Display* display, Window window) {
  char* name = nullptr;
  std::string text;
  if (XFetchName(display, window, &name) && name) text = name;
  if (name) XFree(name);
  return text;
}

struct RECT_FOUND {
  int x1 = -1, y1 = -1, x2 = -1, y2 = -1;
};

// The window's pixels as the X server holds them.
struct PICTURE {
  int w = 0, h = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + x]; }
  bool operator==(const PICTURE& o) const { return pixels == o.pixels; }
};

class DemoInstaller : public ::testing::Test {
protected:
  void SetUp() override {
    server = private_x::start("1280x1024x24");
    ASSERT_GE(server.display, 0);
    display_name = ":" + std::to_string(server.display);
    const test_support::RunResult built =
        test_support::run_program({kTools + "make_installer", kDemo, kTools + "setup", scratch.file("demo-setup")});
    ASSERT_EQ(built.exit_code, 0) << built.err;
    ASSERT_EQ(mkdir(scratch.file("home").c_str(), 0700), 0);
    XSetErrorHandler(ignore_x_error);
    probe = XOpenDisplay(display_name.c_str());
    ASSERT_NE(probe, nullptr);
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (probe) XCloseDisplay(probe);
    private_x::stop(server);
  }

  void start() {
    pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", display_name.c_str(), 1);
      setenv("HOME", scratch.file("home").c_str(), 1);
      execl(scratch.file("demo-setup").c_str(), "demo-setup", static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!window && std::chrono::steady_clock::now() < deadline) {
      Window unused, *children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(probe, DefaultRootWindow(probe), &unused, &unused, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
          XWindowAttributes a;
          if (XGetWindowAttributes(probe, children[i], &a) && a.width == kWidth && a.height == kHeight &&
              a.map_state == IsViewable && name_of(probe, children[i]) == "Demo Notes Set-up")
            window = children[i];
        }
        if (children) XFree(children);
      }
      usleep(20000);
    }
    ASSERT_NE(window, 0u);
    Window child;
    XTranslateCoordinates(probe, window, DefaultRootWindow(probe), 0, 0, &origin_x, &origin_y, &child);
    settle();
  }

  PICTURE grab() {
    PICTURE p;
    XImage* image = XGetImage(probe, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!image) return p;
    p.w = kWidth, p.h = kHeight;
    p.pixels.resize(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        p.pixels[static_cast<size_t>(y) * kWidth + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  }

  // Waits until two reads a while apart agree (fades and slides are over).
  PICTURE settle() {
    PICTURE last = grab();
    int same = 0;
    for (int i = 0; i < 100 && same < 4; ++i) {
      usleep(150000);
      PICTURE now = grab();
      same = now == last ? same + 1 : 0;
      last = now;
    }
    return last;
  }

  void save(const PICTURE& p, const std::string& name) {
    IMAGE image(static_cast<int16_t>(p.w), static_cast<int16_t>(p.h));
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const COLOUR c = 0xFF000000u | p.at(x, y);
        image.fill_rect_solid(static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x),
                              static_cast<int16_t>(y), &c);
      }
    FOLDER out;
    ASSERT_TRUE(out.set_absolute(test_support::picture_output_folder().c_str()));
    DATA_FILE* file = out.open_data_file(("wizard_" + name + ".png").c_str(), 1);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(image.save_png(file));
    EXPECT_TRUE(FOLDER::close_data_file(file));
  }

  // The dialog: the box of the window's commonest colour other than the
  // black behind it.
  static RECT_FOUND dialog_of(const PICTURE& p, uint32_t* body = nullptr) {
    std::map<uint32_t, int> counts;
    for (uint32_t c : p.pixels)
      if (c != 0) ++counts[c];
    uint32_t face = 0;
    int most = 0;
    for (auto [c, n] : counts)
      if (n > most) face = c, most = n;
    RECT_FOUND r{p.w, p.h, -1, -1};
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x)
        if (p.at(x, y) == face) {
          r.x1 = std::min(r.x1, x), r.y1 = std::min(r.y1, y);
          r.x2 = std::max(r.x2, x), r.y2 = std::max(r.y2, y);
        }
    if (body) *body = face;
    return r;
  }

  // The bottom row's buttons, right to left: runs of non-face pixels along
  // the row of their upper borders (returned in row).
  static std::vector<std::pair<int, int>> bottom_buttons(const PICTURE& p, const RECT_FOUND& d, uint32_t face,
                                                         int* row) {
    // The row with the most ink above the bottom edge: the buttons' upper
    // borders, unbroken lines where text rows have gaps.
    int y = d.y2 - 1, best = -1;
    for (int ty = d.y2 - 15; ty > d.y2 - 37 && ty > d.y1; --ty) {
      int ink = 0;
      for (int px = d.x1 + 20; px <= d.x2 - 3; ++px) ink += p.at(px, ty) != face;
      if (ink > best) best = ink, y = ty;
    }
    *row = y;
    std::vector<std::pair<int, int>> runs;
    int end = -1;
    for (int px = d.x2 - 3; px >= d.x1 + 2; --px) {
      const bool ink = p.at(px, y) != face;
      if (ink && end < 0) end = px;
      if (!ink && end >= 0) {
        if (end - px >= 6) runs.push_back({px + 1, end});
        end = -1;
      }
    }
    return runs;
  }

  void click(int x, int y) {
    XTestFakeMotionEvent(probe, -1, origin_x + x, origin_y + y, CurrentTime);
    XSync(probe, False);
    usleep(80000);
    XTestFakeButtonEvent(probe, 1, True, CurrentTime);
    XSync(probe, False);
    usleep(80000);
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    XSync(probe, False);
    usleep(150000);
  }

  void drag(int x, int y, int dx, int dy) {
    XTestFakeMotionEvent(probe, -1, origin_x + x, origin_y + y, CurrentTime);
    XSync(probe, False);
    usleep(80000);
    XTestFakeButtonEvent(probe, 1, True, CurrentTime);
    XSync(probe, False);
    for (int i = 1; i <= 10; ++i) {
      usleep(40000);
      XTestFakeMotionEvent(probe, -1, origin_x + x + dx * i / 10, origin_y + y + dy * i / 10, CurrentTime);
      XSync(probe, False);
    }
    usleep(80000);
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    XSync(probe, False);
    usleep(150000);
  }

  // The program's exit status once it ended within the time, else -1.
  int wait_for_end(int seconds) {
    int status = 0;
    for (int i = 0; i < seconds * 100; ++i) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }

  // Clicks the first language on the language page; the licence page follows.
  PICTURE choose_first_language(const PICTURE& language_page) {
    uint32_t face = 0;
    const RECT_FOUND d = dialog_of(language_page, &face);
    // The grid of two language buttons sits in the middle: its frame is the
    // first ink down a column near the dialog's left edge.
    const int column = d.x1 + 14;
    int top = d.y1 + 4;
    while (top < d.y2 && language_page.at(column, top) == face) ++top;
    int bottom = (d.y1 + d.y2) / 2 + ((d.y1 + d.y2) / 2 - top);
    click((d.x1 + d.x2) / 2, top + (bottom - top) / 4);
    return settle();
  }

  private_x::SERVER server;
  std::string display_name;
  test_support::ScratchDir scratch;
  Display* probe = nullptr;
  pid_t pid = -1;
  Window window = 0;
  int origin_x = 0, origin_y = 0;
};

TEST_F(DemoInstaller, LanguageLicenceAgreeOptionsAndDragKeepsThePlace) {
  start();
  const PICTURE language = settle();
  save(language, "language");
  uint32_t face = 0;
  const RECT_FOUND d = dialog_of(language, &face);
  ASSERT_GT(d.x2 - d.x1, 300);  // the demo's 420 x 300 dialog
  ASSERT_GT(d.y2 - d.y1, 200);

  const PICTURE licence = choose_first_language(language);
  save(licence, "licence");
  EXPECT_FALSE(licence == language);

  // Drag the licence dialog by its empty body near the top, 40 right and 30 down.
  const RECT_FOUND before = dialog_of(licence);
  drag(before.x1 + 6, before.y1 + 4, 40, 30);
  const PICTURE dragged = settle();
  const RECT_FOUND moved = dialog_of(dragged);
  save(dragged, "licence_dragged");

  int row = 0;
  const auto buttons = bottom_buttons(dragged, moved, face, &row);
  ASSERT_GE(buttons.size(), 2u);  // Agree, then Disagree to its left
  click((buttons[0].first + buttons[0].second) / 2, row + 12);
  const PICTURE options = settle();
  save(options, "options");
  EXPECT_FALSE(options == dragged);
  const RECT_FOUND there = dialog_of(options);
  EXPECT_EQ(there.x1, moved.x1);
  EXPECT_EQ(there.y1, moved.y1);
  EXPECT_NE(moved.x1, before.x1);  // the drag did move it

  // The browse button: the face-coloured box inside the options grid's
  // upper part. It opens the folder browser; OK takes the folder it shows
  // (the program's own temporary folder) and closes it.
  RECT_FOUND browse{kWidth, kHeight, -1, -1};
  for (int y = there.y1 + 8; y < (there.y1 + there.y2) / 2; ++y)
    for (int x = there.x1 + 8; x < there.x2 - 8; ++x)
      if (options.at(x, y) == face) {
        browse.x1 = std::min(browse.x1, x), browse.y1 = std::min(browse.y1, y);
        browse.x2 = std::max(browse.x2, x), browse.y2 = std::max(browse.y2, y);
      }
  ASSERT_GE(browse.x2, 0);
  click((browse.x1 + browse.x2) / 2, (browse.y1 + browse.y2) / 2);
  const PICTURE browser = settle();
  save(browser, "folder_browser");
  EXPECT_FALSE(browser == options);
  uint32_t browser_face = 0;
  const RECT_FOUND b = dialog_of(browser, &browser_face);
  int browser_row = 0;
  const auto browser_buttons = bottom_buttons(browser, b, browser_face, &browser_row);
  ASSERT_GE(browser_buttons.size(), 1u);
  click((browser_buttons[0].first + browser_buttons[0].second) / 2, browser_row + 12);
  const PICTURE chosen = settle();
  save(chosen, "options_folder_chosen");
  EXPECT_FALSE(chosen == browser);  // the browser has gone
  EXPECT_FALSE(chosen == options);  // the folder button shows the chosen folder

  // Install leads to the installing page, which waits for the worker.
  const auto option_buttons = bottom_buttons(options, there, face, &row);
  ASSERT_GE(option_buttons.size(), 1u);
  click((option_buttons[0].first + option_buttons[0].second) / 2, row + 12);
  const PICTURE installing = settle();
  save(installing, "installing");
  EXPECT_FALSE(installing == options);
  EXPECT_EQ(wait_for_end(0), -1);  // still running
}

TEST_F(DemoInstaller, DisagreeEndsTheProgram) {
  start();
  const PICTURE licence = choose_first_language(settle());
  uint32_t face = 0;
  const RECT_FOUND d = dialog_of(licence, &face);
  int row = 0;
  const auto buttons = bottom_buttons(licence, d, face, &row);
  ASSERT_GE(buttons.size(), 2u);
  click((buttons[1].first + buttons[1].second) / 2, row + 12);
  EXPECT_EQ(wait_for_end(20), 0);
}

}  // namespace
