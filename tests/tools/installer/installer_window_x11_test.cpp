// The built installer on a private X server: make_installer packs a small
// description; the program shows its splash window, then its main window
// with the data's title and size, as the X server reports them; a SIGTERM
// only asks whether to quit (the answer is tested with the quit dialog).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "private_x_server.h"
#include "test_support.h"

namespace {

const std::string kTools = TEST_BIN_DIR "/../tools/installer/";

struct SEEN {
  bool splash = false;       // a top-level window of the splash's size was made
  bool splash_first = false; // ... before the main window
  bool main = false;         // the main window, named and sized from the data
  Window main_window = 0;
};

// The private temporary folder of a running installer: the folder of the
// installer.pkg it holds open. Empty when none is open.
std::filesystem::path temporary_folder_of(pid_t pid) {
  std::error_code error;
  const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target.filename() == "installer.pkg") return target.parent_path();
  }
  return {};
}

// Windows come and go while the test looks at them.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

std::string name_of(Display* display, Window window) {
  char* name = nullptr;
  std::string text;
  if (XFetchName(display, window, &name) && name) text = name;
  if (name) XFree(name);
  return text;
}

TEST(InstallerWindow, SplashThenMainWindowThenSigtermAsksFirst) {
  private_x::SERVER server = private_x::start("1280x1024x24");
  ASSERT_GE(server.display, 0);
  const std::string display_name = ":" + std::to_string(server.display);

  test_support::ScratchDir scratch;
  ASSERT_EQ(mkdir(scratch.file("files").c_str(), 0700), 0);
  ASSERT_TRUE(test_support::write_file(scratch.file("files/readme.txt"), "hello\n"));
  ASSERT_TRUE(test_support::write_file(scratch.file("licence.txt"), "free\n"));
  ASSERT_TRUE(test_support::write_file(scratch.file("setup.txt"),
                                       "app = Window Test\n"
                                       "window = 500 360\n"
                                       "dialog = 300 200\n"
                                       "installation = Standard | $USERDATA/window-test\n"
                                       "files = files\n"
                                       "splash = * | Unpacking | 108 120 224 14\n"
                                       "language = English\n"
                                       "INSTALLER_TITLE = Window Test Set-up\n"
                                       "licence = licence.txt\n"));
  const test_support::RunResult built = test_support::run_program(
      {kTools + "make_installer", scratch.file("setup.txt"), kTools + "setup",
       scratch.file("window-setup")});
  ASSERT_EQ(built.exit_code, 0) << built.err;

  XSetErrorHandler(ignore_x_error);
  Display* probe = XOpenDisplay(display_name.c_str());
  ASSERT_NE(probe, nullptr);
  const Window root = DefaultRootWindow(probe);
  XSelectInput(probe, root, SubstructureNotifyMask);
  XSync(probe, False);

  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", display_name.c_str(), 1);
    execl(scratch.file("window-setup").c_str(), "window-setup", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);

  SEEN seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!seen.main && std::chrono::steady_clock::now() < deadline) {
    while (XPending(probe)) {
      XEvent event;
      XNextEvent(probe, &event);
      int width = 0, height = 0;
      Window window = 0;
      if (event.type == CreateNotify) {
        window = event.xcreatewindow.window;
        width = event.xcreatewindow.width, height = event.xcreatewindow.height;
      } else if (event.type == ConfigureNotify) {
        window = event.xconfigure.window;
        width = event.xconfigure.width, height = event.xconfigure.height;
      } else {
        continue;
      }
      if (width == 353 && height == 143 && !seen.splash) {
        seen.splash = true;
        seen.splash_first = !seen.main;
      }
      if (width == 500 && height == 360 && name_of(probe, window) == "Window Test Set-up") {
        seen.main = true;
        seen.main_window = window;
      }
    }
    // The name may arrive after the last size event: look at the windows too.
    Window unused, *children = nullptr;
    unsigned int count = 0;
    if (!seen.main && XQueryTree(probe, root, &unused, &unused, &children, &count)) {
      for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(probe, children[i], &attributes) && attributes.width == 500 &&
            attributes.height == 360 && name_of(probe, children[i]) == "Window Test Set-up") {
          seen.main = true;
          seen.main_window = children[i];
        }
      }
      if (children) XFree(children);
    }
    usleep(2000);
  }
  // Task bars group the window under the program's own name.
  XClassHint hint = {};
  if (seen.main && XGetClassHint(probe, seen.main_window, &hint)) {
    EXPECT_STREQ(hint.res_name, "window-setup");
    EXPECT_STREQ(hint.res_class, "Window-setup");
    XFree(hint.res_name);
    XFree(hint.res_class);
  } else {
    ADD_FAILURE() << "the main window has no class";
  }
  XCloseDisplay(probe);

  EXPECT_TRUE(seen.splash);
  EXPECT_TRUE(seen.splash_first);
  EXPECT_TRUE(seen.main);

  kill(pid, SIGTERM);
  int status = -1;
  for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10000);
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "a SIGTERM ended the run without asking";
  // A killed run cannot clean up after itself: its temporary folder goes here.
  const std::filesystem::path temporary = temporary_folder_of(pid);
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  if (!temporary.empty()) {
    std::error_code error;
    std::filesystem::remove_all(temporary, error);
  }
  private_x::stop(server);
}

}  // namespace
