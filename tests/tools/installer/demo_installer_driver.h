#pragma once
// The demo installer made by the builder, run on a private X server of the
// test's own and driven only through what the server offers any client:
// XTEST pointer and key events in, the window's pixels read back out.
// The description is the demo's, with the install folder redirected into
// the test's scratch folder and without the desktop link, so that nothing
// is written into a home folder. The folder is given from "$ROOT1", the
// file system's root: "$ROOT0" is the user's home folder.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config_file.h"
#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "picture_compare.h"
#include "private_x_server.h"
#include "test_support.h"
#include "wm_style_set.h"

namespace demo_installer {

inline const std::string kTools = TEST_BIN_DIR "/../tools/installer/";
inline const std::string kDemoFolder = TEST_SOURCE_DIR "/../demo/";
constexpr int kWidth = 640, kHeight = 480;  // the window in the test's look
// The progress bar's colours in the test's skin: the fill and the empty
// part.
constexpr uint32_t kBarFill = 0x20A040, kBarEmpty = 0x303030;

inline int ignore_x_error(Display*, XErrorEvent*) { return 0; }

inline std::string name_of(Display* display, Window window) {
  char* name = nullptr;
  std::string text;
  if (XFetchName(display, window, &name) && name) text = name;
  if (name) XFree(name);
  return text;
}

struct RECT_FOUND {
  int x1 = -1, y1 = -1, x2 = -1, y2 = -1;
  bool found() const { return x2 >= x1 && x1 >= 0; }
  int centre_x() const { return (x1 + x2) / 2; }
  int centre_y() const { return (y1 + y2) / 2; }
};

// The window's pixels as the X server holds them.
struct PICTURE {
  int w = 0, h = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + x]; }
  bool operator==(const PICTURE& o) const { return pixels == o.pixels; }
};

// The picture as an image of the toolkit.
inline void to_image(const PICTURE& p, IMAGE& image) {
  image.create(static_cast<int16_t>(p.w), static_cast<int16_t>(p.h));
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x)
      image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.stride) + static_cast<size_t>(x)] =
          0xFF000000u | p.at(x, y);
}

// The box around every pixel of the picture at which wanted(x, y) holds.
template <typename WANTED>
RECT_FOUND box_where(const PICTURE& p, WANTED wanted) {
  RECT_FOUND r{p.w, p.h, -1, -1};
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x)
      if (wanted(x, y)) {
        r.x1 = std::min(r.x1, x), r.y1 = std::min(r.y1, y);
        r.x2 = std::max(r.x2, x), r.y2 = std::max(r.y2, y);
      }
  return r;
}

// The box around every pixel that differs between the two pictures.
inline RECT_FOUND changed_box(const PICTURE& before, const PICTURE& after) {
  return box_where(after, [&](int x, int y) { return before.at(x, y) != after.at(x, y); });
}

// A box of pixels that differ between two pictures (changes a few pixels
// apart belong to one box), and whether every change lies on its outline,
// as a focus mark's does.
struct CHANGE {
  RECT_FOUND box;
  bool outline = true;
  int area() const { return (box.x2 - box.x1 + 1) * (box.y2 - box.y1 + 1); }
};

// The changes from one picture to the other, top to bottom.
inline std::vector<CHANGE> changes_between(const PICTURE& before, const PICTURE& after) {
  auto near = [](const RECT_FOUND& a, const RECT_FOUND& b) {
    return a.x1 <= b.x2 + 3 && b.x1 <= a.x2 + 3 && a.y1 <= b.y2 + 3 && b.y1 <= a.y2 + 3;
  };
  auto join = [](RECT_FOUND& a, const RECT_FOUND& b) {
    a = {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
  };
  std::vector<RECT_FOUND> pixels, boxes;
  for (int y = 0; y < after.h; ++y)
    for (int x = 0; x < after.w; ++x)
      if (before.at(x, y) != after.at(x, y)) pixels.push_back({x, y, x, y});
  for (const RECT_FOUND& p : pixels) {
    auto box = std::find_if(boxes.begin(), boxes.end(), [&](const RECT_FOUND& b) { return near(b, p); });
    if (box == boxes.end())
      boxes.push_back(p);
    else
      join(*box, p);
  }
  // Joined until no two are near: a box that grows may come near one
  // looked at before it.
  for (bool joined = true; joined;) {
    joined = false;
    for (size_t i = 0; i < boxes.size(); ++i)
      for (size_t j = i + 1; j < boxes.size();)
        if (near(boxes[i], boxes[j])) {
          join(boxes[i], boxes[j]);
          boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
          joined = true;
        } else {
          ++j;
        }
  }
  std::sort(boxes.begin(), boxes.end(), [](const RECT_FOUND& a, const RECT_FOUND& b) { return a.y1 < b.y1; });
  std::vector<CHANGE> changes;
  for (const RECT_FOUND& box : boxes) changes.push_back({box});
  for (const RECT_FOUND& p : pixels)
    for (CHANGE& c : changes)
      if (p.x1 > c.box.x1 && p.x1 < c.box.x2 && p.y1 > c.box.y1 && p.y1 < c.box.y2) c.outline = false;
  return changes;
}

// The box of the largest change: a dialog that opened, whatever focus
// marks moved beside it.
inline RECT_FOUND largest_change(const PICTURE& before, const PICTURE& after) {
  RECT_FOUND largest;
  int area = 0;
  for (const CHANGE& c : changes_between(before, after))
    if (c.area() > area) largest = c.box, area = c.area();
  return largest;
}

// The commonest colour inside the box, black (the window's background)
// left out: a dialog's face.
inline uint32_t face_of(const PICTURE& p, const RECT_FOUND& box) {
  std::map<uint32_t, int> counts;
  for (int y = box.y1; y <= box.y2; ++y)
    for (int x = box.x1; x <= box.x2; ++x)
      if (p.at(x, y) != 0) ++counts[p.at(x, y)];
  uint32_t face = 0;
  int most = 0;
  for (auto [c, n] : counts)
    if (n > most) face = c, most = n;
  return face;
}

// A box's body: the commonest colour of its lowest rows, where the buttons
// stand on it (text and lists above may cover more of it).
inline uint32_t body_of(const PICTURE& p, const RECT_FOUND& box) {
  return face_of(p, {box.x1, std::max(box.y1, box.y2 - 40), box.x2, box.y2});
}

// The dialog: the box of everything that is not the window's black (the
// whole window when nothing is black), and its body.
inline RECT_FOUND dialog_of(const PICTURE& p, uint32_t* body = nullptr) {
  const RECT_FOUND r = box_where(p, [&](int x, int y) { return p.at(x, y) != 0; });
  if (body && r.found()) *body = body_of(p, r);
  return r;
}

// A box's bottom row of buttons, right to left: runs of non-face pixels
// along the row of their upper borders (returned in row), which is the row
// with the most ink a little above the bottom edge, an unbroken line where
// text rows have gaps.
inline std::vector<std::pair<int, int>> bottom_buttons(const PICTURE& p, const RECT_FOUND& d, uint32_t face,
                                                       int* row) {
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

// The texts the demo's description names, copied beside the test's own.
inline const char* const kDemoTexts[] = {"licence-en.txt",       "licence-de.txt",       "readme-en.txt",
                                         "readme-de.txt",        "release_notes-en.txt", "release_notes-de.txt"};

// The demo's description with the install folder moved to folder/target and
// no desktop link. In the test's look (demo_skin false) the wizard is the
// builder's on a black 640 x 480 window, with a skin that gives the
// progress bar colours of its own; otherwise the demo's skin as it ships.
// The extra global lines go in before the languages.
inline std::string test_description(const std::string& folder, const std::string& extra, bool demo_skin = false) {
  std::istringstream demo(test_support::read_file(kDemoFolder + "installer.txt"));
  std::string out, line;
  bool extra_written = false;
  while (std::getline(demo, line)) {
    if (line.rfind("installation =", 0) == 0) {
      out += line.substr(0, line.find('|')) + "| $ROOT1" + folder + "/target\n";
    } else if (line.rfind("link", 0) == 0) {
      continue;
    } else if (line.rfind("files", 0) == 0) {
      out += "files = " + kDemoFolder + "files\n";
    } else if (line.rfind("skin", 0) == 0) {
      out += "skin = " + (demo_skin ? kDemoFolder + "skin" : std::string("skin")) + "\n";
    } else if (line.rfind("language", 0) == 0) {
      if (!extra_written && !demo_skin) out += "window = 640 480\ndialog = 420 300\n";
      if (!extra_written) out += extra, extra_written = true;
      out += line + "\n";
    } else {
      out += line + "\n";
    }
  }
  return out;
}

class DEMO_INSTALLER : public ::testing::Test {
protected:
  // The screen is Xvfb's "-screen 0" argument; extra goes into the
  // description (see test_description for demo_skin); texts replace demo
  // texts of those names.
  void start_server_and_build(const std::string& screen, const std::string& extra, bool demo_skin = false,
                              const std::map<std::string, std::string>& texts = {}) {
    server = private_x::start(screen);
    ASSERT_GE(server.display, 0);
    display_name = ":" + std::to_string(server.display);
    for (const char* text : kDemoTexts) {
      const auto own = texts.find(text);
      ASSERT_TRUE(test_support::write_file(
          scratch.file(text), own != texts.end() ? own->second : test_support::read_file(kDemoFolder + text)));
    }
    ASSERT_TRUE(test_support::write_file(scratch.file("installer.txt"),
                                         test_description(scratch.path(), extra, demo_skin)));
    window_width = demo_skin ? 640 : kWidth;
    window_height = demo_skin ? 440 : kHeight;
    if (!demo_skin) write_skin();
    program = scratch.file("demo-setup");
    const test_support::RunResult built = test_support::run_program(
        {kTools + "make_installer", scratch.file("installer.txt"), kTools + "setup", program});
    ASSERT_EQ(built.exit_code, 0) << built.err;
    ASSERT_EQ(mkdir(scratch.file("home").c_str(), 0700), 0);
    XSetErrorHandler(ignore_x_error);
    probe = XOpenDisplay(display_name.c_str());
    ASSERT_NE(probe, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(probe, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST";
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (probe) XCloseDisplay(probe);
    private_x::stop(server);
  }

  std::string target() const { return scratch.path() + "/target"; }

  // A skin of one style: the progress bar's, a green fill on dark grey.
  void write_skin() {
    ASSERT_EQ(mkdir(scratch.file("skin").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(scratch.file("skin/progress_bar").c_str(), 0755), 0);
    WM_STYLE_SET bar;
    bar.bg_colour = 0xFF000000u | kBarEmpty;
    bar.highlight_colour = 0xFF000000u | kBarFill;
    bar.fg_colour = bar.highlight_text_colour = 0xFFFFFFFFu;
    CONFIG_FILE config;
    ASSERT_TRUE(static_cast<FOLDER&>(config).set_absolute(scratch.file("skin/progress_bar").c_str()));
    config.init("progress_bar.ss", false);
    ASSERT_TRUE(bar.write_config(config));
  }

  // Starts the installer with -v, which prints where its temporary folder
  // is, and the options given, and waits for its window.
  void start(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"demo-setup", "-v"});
    std::vector<char*> argv;
    for (std::string& option : options) argv.push_back(option.data());
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", display_name.c_str(), 1);
      setenv("HOME", scratch.file("home").c_str(), 1);
      // The run's temporary folder goes with the scratch folder, also when
      // the tear-down has to kill the installer.
      setenv("TMPDIR", scratch.path().c_str(), 1);
      if (!freopen(scratch.file("out.txt").c_str(), "w", stdout)) _exit(126);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!window && std::chrono::steady_clock::now() < deadline) {
      Window unused, *children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(probe, DefaultRootWindow(probe), &unused, &unused, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
          XWindowAttributes a;
          if (XGetWindowAttributes(probe, children[i], &a) && a.width == window_width &&
              a.height == window_height &&
              a.map_state == IsViewable && name_of(probe, children[i]) == "Demo Notes Set-up")
            window = children[i];
        }
        if (children) XFree(children);
      }
      usleep(20000);
    }
    ASSERT_NE(window, 0u);
    // What a window manager would do: the new window gets the keyboard.
    XSetInputFocus(probe, window, RevertToParent, CurrentTime);
    Window child;
    XTranslateCoordinates(probe, window, DefaultRootWindow(probe), 0, 0, &origin_x, &origin_y, &child);
    settle();
  }

  // The run's temporary folder, from the -v listing.
  std::string temporary_folder() {
    const std::string out = test_support::read_file(scratch.file("out.txt"));
    const size_t at = out.find("$TEMP => ");
    if (at == std::string::npos) return "";
    return out.substr(at + 9, out.find(" (", at + 9) - at - 9);
  }

  PICTURE grab() {
    PICTURE p;
    const int w = window_width, h = window_height;
    XImage* image = XGetImage(probe, window, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                              ZPixmap);
    if (!image) return p;
    p.w = w, p.h = h;
    p.pixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        p.pixels[static_cast<size_t>(y) * w + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
  }

  // Waits until reads a while apart agree (fades and slides are over).
  PICTURE settle() {
    PICTURE last = grab();
    int same = 0;
    for (int i = 0; i < 150 && same < 4; ++i) {
      usleep(150000);
      PICTURE now = grab();
      same = now == last ? same + 1 : 0;
      last = now;
    }
    return last;
  }
  // Waits for the screen to leave the picture (a click's answer, which a
  // busy machine may be slow to draw), then settles.
  PICTURE settle_from(const PICTURE& before) {
    for (int i = 0; i < 100 && grab() == before; ++i) usleep(100000);
    return settle();
  }

  // Saves the picture as wizard_<name>.png in the tests' picture folder.
  void save(const PICTURE& p, const std::string& name) {
    IMAGE image;
    to_image(p, image);
    FOLDER out;
    ASSERT_TRUE(out.set_absolute(test_support::picture_output_folder().c_str()));
    DATA_FILE* file = out.open_data_file(("wizard_" + name + ".png").c_str(), 1);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(image.save_png(file));
    EXPECT_TRUE(FOLDER::close_data_file(file));
  }

  void sync_and_wait(useconds_t us) {
    XSync(probe, False);
    usleep(us);
  }

  void point_at(int x, int y) {
    XTestFakeMotionEvent(probe, -1, origin_x + x, origin_y + y, CurrentTime);
    sync_and_wait(80000);
  }
  void click(int x, int y) {
    point_at(x, y);
    XTestFakeButtonEvent(probe, 1, True, CurrentTime);
    sync_and_wait(80000);
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    sync_and_wait(150000);
  }
  void click(const RECT_FOUND& r) { click(r.centre_x(), r.centre_y()); }
  // The pointer to the window's bottom-right corner, outside the dialogs:
  // no hover look and no tooltip, which shows after a second or two, in
  // the pictures that follow.
  void park() { point_at(window_width - 1, window_height - 1); }
  // Clicks the middle of the run'th button, counted from the right, of the
  // box's bottom row (found with bottom_buttons); false when the row has
  // fewer buttons.
  bool click_bottom_button(const PICTURE& p, const RECT_FOUND& box, size_t run) {
    int row = 0;
    const auto runs = bottom_buttons(p, box, body_of(p, box), &row);
    if (run >= runs.size()) return false;
    click((runs[run].first + runs[run].second) / 2, row + 12);
    return true;
  }

  void drag(int x, int y, int dx, int dy) {
    point_at(x, y);
    XTestFakeButtonEvent(probe, 1, True, CurrentTime);
    XSync(probe, False);
    for (int i = 1; i <= 10; ++i) {
      usleep(40000);
      XTestFakeMotionEvent(probe, -1, origin_x + x + dx * i / 10, origin_y + y + dy * i / 10, CurrentTime);
      XSync(probe, False);
    }
    sync_and_wait(80000);
    XTestFakeButtonEvent(probe, 1, False, CurrentTime);
    sync_and_wait(150000);
  }

  // What a window manager sends when the window's close button is pressed.
  void close_request() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(probe, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(probe, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(probe, window, False, NoEventMask, &event);
    XFlush(probe);
  }

  // One key pressed and let go, to the window that has the focus.
  void press(KeySym symbol) {
    const KeyCode code = XKeysymToKeycode(probe, symbol);
    XTestFakeKeyEvent(probe, code, True, CurrentTime);
    sync_and_wait(60000);
    XTestFakeKeyEvent(probe, code, False, CurrentTime);
    sync_and_wait(60000);
  }
  // Pressed and let go at once, with Shift or Control held around it: all
  // reach the program between two of its frames.
  void tap(KeySym symbol, bool shift = false, bool control = false) {
    const KeyCode code = XKeysymToKeycode(probe, symbol);
    const KeyCode shift_code = XKeysymToKeycode(probe, XK_Shift_L);
    const KeyCode control_code = XKeysymToKeycode(probe, XK_Control_L);
    if (shift) XTestFakeKeyEvent(probe, shift_code, True, CurrentTime);
    if (control) XTestFakeKeyEvent(probe, control_code, True, CurrentTime);
    XTestFakeKeyEvent(probe, code, True, CurrentTime);
    XTestFakeKeyEvent(probe, code, False, CurrentTime);
    if (control) XTestFakeKeyEvent(probe, control_code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(probe, shift_code, False, CurrentTime);
    sync_and_wait(100000);
  }
  void type(const std::string& lower_case_letters) {
    for (char c : lower_case_letters) press(XK_a + (c - 'a'));
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

  bool wait_for(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      usleep(50000);
    }
    return done();
  }

  // Waits until the install log's last line has been written.
  bool wait_for_install() {
    return wait_for(
        [&] { return test_support::read_file(target() + "/install_log.txt").find("Installation completed") !=
                     std::string::npos; },
        60);
  }

  // Clicks the first (0) or the second (1) of the demo's two languages; the
  // licence page follows.
  PICTURE choose_language(const PICTURE& language_page, int index) {
    uint32_t face = 0;
    const RECT_FOUND d = dialog_of(language_page, &face);
    // The grid of two language buttons sits in the middle: its frame is the
    // first ink down a column near the dialog's left edge, below the title
    // bar (whose rounded corners may show the face above it).
    const int column = d.x1 + 14;
    int top = d.y1 + 4;
    while (top < d.y2 && language_page.at(column, top) != face) ++top;
    while (top < d.y2 && language_page.at(column, top) == face) ++top;
    int bottom = (d.y1 + d.y2) / 2 + ((d.y1 + d.y2) / 2 - top);
    click((d.x1 + d.x2) / 2, top + (bottom - top) * (1 + 2 * index) / 4);
    return settle_from(language_page);
  }

  // From the language page to the options page: the first language, the
  // licence's Agree, then Next past the release notes and the installation
  // type.
  PICTURE to_options_page() {
    PICTURE page = choose_language(settle(), 0);
    for (int forward = 0; forward < 3; ++forward) {
      EXPECT_TRUE(click_bottom_button(page, dialog_of(page), 0));
      page = settle_from(page);
    }
    return page;
  }

  private_x::SERVER server;
  std::string display_name;
  test_support::ScratchDir scratch;
  std::string program;
  Display* probe = nullptr;
  pid_t pid = -1;
  Window window = 0;
  int window_width = kWidth, window_height = kHeight;
  int origin_x = 0, origin_y = 0;
};

}  // namespace demo_installer
