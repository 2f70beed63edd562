#pragma once
// A private Xvfb for one test program. Tests that move the pointer, take
// the keyboard focus, own the clipboard or read back window pixels cannot
// share a server with test programs that run at the same time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "errors.h"
#include "platform.h"
#include "test_support.h"
#include "window.h"
#include "x11_state.h"  // the tests reach the shared X state

namespace private_x {

struct SERVER {
  pid_t pid = -1;
  int display = -1;  // -1 when the server did not start
};

// What the server offers of shared-memory images.
enum class SHARED_MEMORY {
  OFFERED,
  ABSENT,     // started without the MIT-SHM extension
  ELSEWHERE,  // offered, but the server lives in an IPC namespace of its own,
              // so that it cannot attach the clients' segments
};

// Starts Xvfb with one screen ("1280x1024x24") on a display number that it
// picks itself.
inline SERVER start(const std::string& screen, bool with_glx = true,
                    SHARED_MEMORY shared = SHARED_MEMORY::OFFERED) {
  SERVER server;
  int fds[2];
  if (pipe(fds) != 0) return server;
  // Made before the fork: the child only calls what is safe there.
  std::string fd = std::to_string(fds[1]);
  std::vector<const char*> args = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
                                   screen.c_str(), "-nolisten", "tcp"};
  if (!with_glx) args.insert(args.end(), {"-extension", "GLX"});
  if (shared == SHARED_MEMORY::ABSENT) args.insert(args.end(), {"-extension", "MIT-SHM"});
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    // A test program that crashes takes its server with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    if (shared == SHARED_MEMORY::ELSEWHERE && unshare(CLONE_NEWIPC) != 0) _exit(126);
    execvp("Xvfb", const_cast<char* const*>(args.data()));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return server;
  }
  server.pid = pid;
  std::string number;
  pollfd waiting = {fds[0], POLLIN, 0};
  while (poll(&waiting, 1, 15000) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (!number.empty()) server.display = atoi(number.c_str());
  return server;
}

inline void stop(SERVER& server) {
  if (server.pid <= 0) return;
  kill(server.pid, SIGTERM);
  // A server that does not end within ten seconds is killed: a test
  // program must never hang at its end waiting for its server.
  int status = 0;
  for (int i = 0; i < 1000 && waitpid(server.pid, &status, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(server.pid, &status, WNOHANG) == 0) {
    kill(server.pid, SIGKILL);
    waitpid(server.pid, &status, 0);
  }
  server = SERVER();
}

// Points DISPLAY at a private depth-24 server for the whole test program,
// unless the program is already a child running on a server of its own
// (VORN_INNER_RUN). Without Xvfb the given DISPLAY stays.
class ENVIRONMENT : public ::testing::Environment {
public:
  void SetUp() override {
    if (getenv("VORN_INNER_RUN")) return;
    server = start("1280x1024x24");
    if (server.display >= 0) setenv("DISPLAY", (":" + std::to_string(server.display)).c_str(), 1);
  }
  void TearDown() override {
    if (server.pid <= 0) return;
    // The platform's connection goes before its server does.
    close_window(ALL_SCREENS);
    x11_close_display();
    stop(server);
  }

private:
  SERVER server;
};

// Opens the program's window (message boxes to standard error, no idle
// wait) and gives it the input focus, which no window manager gives here.
// probe is the test's own connection, the one XTEST input goes through.
inline bool open_focused_window(Display* probe, const char* title, int16_t width,
                                int16_t height) {
  set_message_box_handler(message_box_to_stderr);
  set_idle_wait(0);
  WINDOW_PARAMS p;
  p.title = title;
  p.width = width;
  p.height = height;
  if (!open_window(&p, 0)) return false;
  XSync(x11.display, False);
  XSetInputFocus(probe, x11.window, RevertToParent, CurrentTime);
  return true;
}

// Runs platform frames, 5 ms apart, until the condition holds or the turns
// run out; what the probe sent reaches the server first.
inline bool pump_frames(Display* probe, const std::function<bool()>& done, int turns = 400) {
  XSync(probe, False);
  for (int i = 0; i < turns; ++i) {
    XSync(x11.display, False);
    platform_update();
    if (done()) return true;
    usleep(5000);
  }
  return done();
}

// The top-level window with that name on the display, waited for until it
// is mapped; 0 when it does not come within about ten seconds.
inline Window find_viewable_window(Display* display, const char* name) {
  for (int turn = 0; turn < 200; ++turn) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count && !found; ++i) {
        char* title = nullptr;
        XWindowAttributes a;
        if (XFetchName(display, children[i], &title) && title) {
          if (std::string(title) == name && XGetWindowAttributes(display, children[i], &a) &&
              a.map_state == IsViewable)
            found = children[i];
          XFree(title);
        }
      }
      if (children) XFree(children);
    }
    if (found) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

// Focuses another program's window and clicks the left button at (x, y) of
// it, leaving that program time to see the pointer arrive and the button
// go down before it goes up.
inline void click_in_window(Display* probe, Window window, int x, int y) {
  XSetInputFocus(probe, window, RevertToParent, CurrentTime);
  int ox = 0, oy = 0;
  Window child;
  XTranslateCoordinates(probe, window, DefaultRootWindow(probe), 0, 0, &ox, &oy, &child);
  XTestFakeMotionEvent(probe, -1, ox + x, oy + y, CurrentTime);
  XSync(probe, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  XTestFakeButtonEvent(probe, 1, True, CurrentTime);
  XSync(probe, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  XTestFakeButtonEvent(probe, 1, False, CurrentTime);
  XSync(probe, False);
}

struct PROGRAM_RUN {
  const char* skipped = nullptr;  // why the run could not happen; null when it did
  test_support::RunResult result;
};

// Runs the program on a private server of that screen without GLX (frames
// go out through XPutImage and no GL driver is loaded into the program),
// while `drive` acts on the server through an XTEST connection of its own.
inline PROGRAM_RUN run_on_private_server(const std::string& screen,
                                         const std::vector<std::string>& argv,
                                         const std::function<void(Display* probe)>& drive) {
  PROGRAM_RUN run;
  SERVER server = start(screen, false);
  if (server.display < 0) {
    run.skipped = "no Xvfb";
    return run;
  }
  const std::string display_name = ":" + std::to_string(server.display);
  Display* probe = XOpenDisplay(display_name.c_str());
  int event = 0, error = 0, major = 0, minor = 0;
  if (!probe || !XTestQueryExtension(probe, &event, &error, &major, &minor)) {
    if (probe) XCloseDisplay(probe);
    stop(server);
    run.skipped = "no XTEST";
    return run;
  }
  auto program = std::async(std::launch::async, [&] {
    return test_support::run_program(argv, {"DISPLAY=" + display_name});
  });
  drive(probe);
  run.result = program.get();
  XCloseDisplay(probe);
  stop(server);
  return run;
}

}  // namespace private_x
