// The built demo installer asks before it quits: on a private X server a
// SIGTERM and the window's close button together open one quit dialog, No
// (a real click through XTEST) leaves the run as it was, and after another
// close request Yes ends it with status 0 and removes the unpacked package.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "database.h"
#include "file_services.h"
#include "font.h"
#include "payload.h"
#include "private_x_server.h"
#include "quit_confirm.h"
#include "screen.h"
#include "test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_button.h"
#include "wm_page_manager.h"

namespace {

const std::string kTools = TEST_BIN_DIR "/../tools/installer/";
const std::string kDemo = TEST_SOURCE_DIR "/../demo/installer.txt";
constexpr int kWidth = 640, kHeight = 440;  // the demo's window

struct BOX {
  int x = 0, y = 0, w = 0, h = 0;
  int centre_x() const { return x + w / 2; }
  int centre_y() const { return y + h / 2; }
};
struct LAYOUT {
  BOX dialog, yes, no;
};

// Where a child of the dialog rests once the dialog's opening slide is over.
BOX resting_box(WM_DIALOG* dialog, WM_SCREEN_OBJECT* o) {
  return {o->x - dialog->x + dialog->get_x(), o->y - dialog->y + dialog->get_y(), o->width,
          o->height};
}

// Where the program puts its quit dialog: the same data, fonts and window
// size laid out here without a display.
bool quit_layout(const std::string& program, const std::string& folder, LAYOUT& out) {
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  FOLDER here, unpacked;
  const size_t slash = program.rfind('/');
  if (!here.set_absolute(program.substr(0, slash).c_str()) ||
      !unpacked.set_absolute(folder.c_str()))
    return false;
  const PAYLOAD_INFO payload = payload_offset_of(program.c_str());
  if (!payload.present ||
      !unpack_payload_file(here, program.substr(slash + 1).c_str(), payload.offset, unpacked,
                           "installer.pkg", nullptr))
    return false;
  FONT::init();
  DATABASE& data = installer_database();
  data.pack_folder = unpacked;
  bool made = false;
  if (data.load_package("installer.pkg")) {
    set_screen_size(0, 0);
    set_screen_size(kWidth, kHeight);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    {
      WM_PAGE_MANAGER manager(1, -1);
      confirm_quit_now(0);
      if (quit_dialog && quit_dialog->first_button && quit_dialog->second_button) {
        out = {resting_box(quit_dialog, quit_dialog),
               resting_box(quit_dialog, quit_dialog->first_button),
               resting_box(quit_dialog, quit_dialog->second_button)};
        made = true;
      }
      delete quit_dialog;
    }
    set_screen_size(0, 0);
  }
  data.clear();
  data.package.reset();
  FONT::shutdown();
  return made;
}

// Windows come and go while the test looks at them.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

Window find_window(Display* display, const char* title) {
  Window unused, *children = nullptr, found = 0;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &unused, &unused, &children, &count)) {
    for (unsigned int i = 0; i < count && !found; ++i) {
      XWindowAttributes attributes;
      char* name = nullptr;
      if (XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.width == kWidth && attributes.height == kHeight &&
          XFetchName(display, children[i], &name) && name && std::string(name) == title)
        found = children[i];
      if (name) XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

class QuitConfirmProgram : public ::testing::Test {
protected:
  void SetUp() override {
    server = private_x::start("1280x1024x24");
    ASSERT_GE(server.display, 0);
    display_name = ":" + std::to_string(server.display);
    program = scratch.file("demo-setup");
    const test_support::RunResult built =
        test_support::run_program({kTools + "make_installer", kDemo, kTools + "setup", program});
    ASSERT_EQ(built.exit_code, 0) << built.err;
    ASSERT_EQ(mkdir(scratch.file("unpacked").c_str(), 0700), 0);
    ASSERT_TRUE(quit_layout(program, scratch.file("unpacked"), layout));
    XSetErrorHandler(ignore_x_error);
    display = XOpenDisplay(display_name.c_str());
    ASSERT_NE(display, nullptr);
  }
  void TearDown() override {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (display) XCloseDisplay(display);
    private_x::stop(server);
  }

  // Starts the installer with -v, which prints where its temporary folder is.
  void start() {
    pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", display_name.c_str(), 1);
      if (!freopen(scratch.file("out.txt").c_str(), "w", stdout)) _exit(126);
      execl(program.c_str(), "demo-setup", "-v", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  bool wait_for(const std::function<bool()>& done, int seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      usleep(20000);
    }
    return false;
  }
  // The dialog's rectangle of the window as the X server has it.
  std::vector<unsigned long> dialog_pixels() {
    std::vector<unsigned long> pixels;
    const BOX& d = layout.dialog;
    XImage* image = XGetImage(display, window, d.x, d.y, d.w, d.h, AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < d.h; ++y)
      for (int x = 0; x < d.w; ++x) pixels.push_back(XGetPixel(image, x, y));
    XDestroyImage(image);
    return pixels;
  }
  // The picture once it has stayed the same for a second (five looks), and
  // is not `unlike`.
  std::vector<unsigned long> settled_pixels(const std::vector<unsigned long>& unlike = {}) {
    std::vector<unsigned long> last = dialog_pixels(), now;
    int same = 0;
    for (int i = 0; i < 150 && same < 5; ++i) {
      usleep(200000);
      now = dialog_pixels();
      same = now == last && now != unlike ? same + 1 : 0;
      last = now;
    }
    return now;
  }
  void close_button() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
  }
  void click(const BOX& button) {
    int root_x = 0, root_y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), button.centre_x(),
                          button.centre_y(), &root_x, &root_y, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), root_x, root_y, CurrentTime);
    XSync(display, False);
    usleep(200000);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    usleep(200000);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
  }
  bool running() { return waitpid(pid, &status, WNOHANG) == 0; }

  private_x::SERVER server;
  std::string display_name;
  test_support::ScratchDir scratch;
  std::string program;
  LAYOUT layout;
  Display* display = nullptr;
  Window window = 0;
  pid_t pid = -1;
  int status = -1;
};

}  // namespace

TEST_F(QuitConfirmProgram, CloseRequestsAskOnceNoKeepsTheRunYesEndsIt) {
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST";
  start();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(wait_for([&] { return (window = find_window(display, "Demo Notes Set-up")) != 0; }));
  const std::vector<unsigned long> before = settled_pixels();
  ASSERT_FALSE(before.empty());
  // Where the package was unpacked, from the -v listing.
  std::string temporary;
  ASSERT_TRUE(wait_for([&] {
    const std::string out = test_support::read_file(scratch.file("out.txt"));
    const size_t at = out.find("$TEMP => ");
    if (at == std::string::npos) return false;
    temporary = out.substr(at + 9, out.find(" (", at + 9) - at - 9);
    return true;
  }));
  const std::string package = temporary + "/installer.pkg";
  struct stat st;
  ASSERT_EQ(stat(package.c_str(), &st), 0) << package;

  // A signal and the close button: one dialog over the window. The pointer
  // goes back where it is now before the second question, so that no
  // button of the skin shows the look it has under the pointer.
  Window unused_window;
  int pointer_x = 0, pointer_y = 0, unused = 0;
  unsigned int unused_mask = 0;
  XQueryPointer(display, DefaultRootWindow(display), &unused_window, &unused_window, &pointer_x, &pointer_y,
                &unused, &unused, &unused_mask);
  kill(pid, SIGTERM);
  close_button();
  const std::vector<unsigned long> asked = settled_pixels(before);
  EXPECT_NE(asked, before);
  EXPECT_TRUE(running());

  // No: no dialog rests there any more (a second one would look exactly
  // the same), and the installer goes on.
  click(layout.no);
  EXPECT_NE(settled_pixels(asked), asked);
  EXPECT_TRUE(running());
  EXPECT_EQ(stat(package.c_str(), &st), 0);

  // Asked again: Yes ends the run cleanly without its package, and the
  // status tells that nothing was installed.
  XTestFakeMotionEvent(display, DefaultScreen(display), pointer_x, pointer_y, CurrentTime);
  XSync(display, False);
  close_button();
  EXPECT_EQ(settled_pixels(), asked);
  click(layout.yes);
  EXPECT_TRUE(wait_for([&] { return !running(); }));
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(stat(package.c_str(), &st), 0);
}
