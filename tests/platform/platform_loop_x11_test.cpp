// The platform frame with a window on a real X server: how long the idle
// wait blocks, what ends it early, and the X error handler's treatment of
// GL context mismatches.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "x11_state.h"
#include "platform.h"
#include "private_x_server.h"
#include "tcpip.h"
#include "window.h"

namespace {

::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

using std::chrono::milliseconds;
using std::chrono::steady_clock;

int close_calls = 0;
bool refuse_close(uint32_t) {
  ++close_calls;
  return false;
}

class PlatformFrameX11 : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(open_screen("frame loop test", 320, 240, 0, 0));
    install_signal_handlers();
    set_close_handler(refuse_close);
    close_calls = 0;
    // Let the window's own start-up events (map, expose) pass.
    set_idle_wait(0);
    XSync(x11.display, False);
    for (int i = 0; i < 20; ++i) platform_update();
    set_idle_wait(50);
  }
  void TearDown() override {
    set_idle_wait(50);
    set_close_handler(nullptr);
    close_window(ALL_SCREENS);
  }

  // One platform frame, timed.
  static long frame_ms() {
    auto start = steady_clock::now();
    platform_update();
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
  }

  // The longest of a few idle frames: a late event from the server (the
  // window's own expose, say) may end one wait early.
  static long longest_idle_frame_ms() {
    long longest = 0;
    for (int i = 0; i < 5 && longest < 40; ++i) longest = std::max(longest, frame_ms());
    return longest;
  }
};

}  // namespace

TEST_F(PlatformFrameX11, IdleFrameWaitsAboutTheIdleTime) {
  long waited = longest_idle_frame_ms();
  EXPECT_GE(waited, 40);
  EXPECT_LT(waited, 500);
}

TEST_F(PlatformFrameX11, IdleWaitZeroNeverBlocks) {
  set_idle_wait(0);
  long total = 0;
  for (int i = 0; i < 10; ++i) total += frame_ms();
  EXPECT_LT(total, 100);
}

TEST_F(PlatformFrameX11, PresentedFrameDoesNotWaitAndClearsTheFlag) {
  set_idle_wait(2000);
  set_presented();
  EXPECT_LT(frame_ms(), 200);
  EXPECT_FALSE(get_presented());
}

namespace {

// A port that was free a moment ago.
uint16_t free_port(int type) {
  int fd = socket(AF_INET, type, 0);
  sockaddr_in where = {};
  where.sin_family = AF_INET;
  socklen_t size = sizeof where;
  bind(fd, reinterpret_cast<sockaddr*>(&where), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
  close(fd);
  return ntohs(where.sin_port);
}

}  // namespace

// Network traffic counts as a presented frame: the frame after it does not
// sit out the idle wait while data are moving.
TEST_F(PlatformFrameX11, NetworkTrafficCountsAsAPresentedFrame) {
  TCPIP server(1, 1, 1, 1024), client(1, 0, 1, 1024);
  const uint16_t port = free_port(SOCK_STREAM), udp_server = free_port(SOCK_DGRAM),
                 udp_client = free_port(SOCK_DGRAM);
  ASSERT_TRUE(server.listen(port));
  if (!server.open_datagram_port(udp_server) || !client.open_datagram_port(udp_client))
    GTEST_SKIP() << "no datagram ports here (the host name does not resolve)";
  int16_t slot = -1;
  uint16_t on_port = 0, sender_port = 0, local_port = 0;
  char buffer[8];
  const char* sender = nullptr;
  // Polls without a frame between, which would clear the flag.
  auto within_a_second = [](const std::function<bool()>& done) {
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(milliseconds(10)))
      if (done()) return true;
    return false;
  };
  const struct {
    const char* what;
    std::function<bool()> step;
  } steps[] = {
      {"connecting", [&] { return client.connect("127.0.0.1", port) == 0; }},
      {"accepting", [&] { return within_a_second([&] { return server.accept(slot, on_port); }); }},
      {"sending", [&] { return client.send(0, "hi", 2) == 2; }},
      {"receiving", [&] { return within_a_second([&] { return server.receive(slot, buffer, 8) == 2; }); }},
      {"sending what fits", [&] { return client.send_some(0, "hi", 2) == 2; }},
      {"sending a datagram", [&] {
         client.send_datagram(udp_client, "d", 1, "127.0.0.1", udp_server);
         return true;
       }},
      {"receiving a datagram", [&] {
         return within_a_second(
             [&] { return server.receive_datagram(buffer, 8, sender, sender_port, local_port) == 1; });
       }},
  };
  set_idle_wait(0);
  for (const auto& s : steps) {
    platform_update();
    ASSERT_FALSE(get_presented()) << s.what;
    ASSERT_TRUE(s.step()) << s.what;
    EXPECT_TRUE(get_presented()) << s.what;
  }
}

TEST_F(PlatformFrameX11, InputFromTheServerEndsTheWaitEarly) {
  set_idle_wait(3000);
  std::thread mover([] {
    std::this_thread::sleep_for(milliseconds(100));
    // Another client moves the pointer over our window: the server sends
    // us a motion event while we wait.
    Display* other = XOpenDisplay(nullptr);
    if (!other) return;
    XWarpPointer(other, None, x11.window, 0, 0, 0, 0, 10, 10);
    XWarpPointer(other, None, x11.window, 0, 0, 0, 0, 30, 30);
    XFlush(other);
    XCloseDisplay(other);
  });
  long waited = frame_ms();
  mover.join();
  EXPECT_LT(waited, 2000);
}

TEST_F(PlatformFrameX11, SignalEndsTheWaitAndTheCallbackRunsNextFrame) {
  set_idle_wait(3000);
  std::thread signaller([] {
    std::this_thread::sleep_for(milliseconds(100));
    kill(getpid(), SIGTERM);
  });
  long waited = frame_ms();
  signaller.join();
  EXPECT_LT(waited, 2000);
  set_idle_wait(0);
  platform_update();
  EXPECT_EQ(close_calls, 1);
  EXPECT_FALSE(quit_requested());
}

TEST_F(PlatformFrameX11, IdleWaitWorksWithTheConnectionAboveTheSelectLimit) {
  // A program with many files open gets an X connection whose descriptor
  // number does not fit an fd_set.
  rlimit limit = {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  rlimit saved = limit;
  rlim_t wanted = FD_SETSIZE + 64;
  if (limit.rlim_cur < wanted) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= wanted ? wanted : limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  close_window(ALL_SCREENS);
  x11_close_display();
  // Every number below the limit is taken, so the connection gets one above.
  std::vector<int> fillers;
  int fd;
  while ((fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0 && fd < FD_SETSIZE) fillers.push_back(fd);
  if (fd >= 0) close(fd);
  bool opened = fd >= 0 && open_screen("high descriptor", 160, 120, 0, 0);
  bool high = opened && ConnectionNumber(x11.display) >= FD_SETSIZE;
  long waited = -1;
  if (high) {
    set_idle_wait(0);
    for (int i = 0; i < 20; ++i) platform_update();
    set_idle_wait(60);
    waited = longest_idle_frame_ms();
  }
  close_window(ALL_SCREENS);
  x11_close_display();
  for (int f : fillers) close(f);
  setrlimit(RLIMIT_NOFILE, &saved);
  // The server may still be taking the old connection down and refuse a new
  // one for a moment (EAGAIN).
  bool reopened = false;
  for (int attempt = 0; attempt < 20 && !reopened; ++attempt) {
    reopened = open_screen("frame loop test", 320, 240, 0, 0);
    if (!reopened) usleep(50000);
  }
  ASSERT_TRUE(reopened);
  if (fd < 0 || !opened || !high) GTEST_SKIP() << "could not place the connection above " << FD_SETSIZE;
  EXPECT_GE(waited, 40);
  EXPECT_LT(waited, 1000);
}

namespace {

int passed_on = 0;
int previous_handler(Display*, XErrorEvent*) {
  ++passed_on;
  return 0;
}

}  // namespace

TEST_F(PlatformFrameX11, GlMismatchIsRecognisedByTheServersGlxOpcode) {
  // Install the platform's handler over a recorder, then call it directly
  // with errors as the server would report them.
  restore_x_error_handler();
  XSetErrorHandler(previous_handler);
  install_x_error_handler();
  XErrorHandler platform_handler = XSetErrorHandler(previous_handler);
  XSetErrorHandler(platform_handler);

  int glx_opcode = 0, first_event = 0, first_error = 0;
  if (!XQueryExtension(x11.display, "GLX", &glx_opcode, &first_event, &first_error))
    GTEST_SKIP() << "this server has no GLX";

  XErrorEvent error = {};
  error.type = 0;
  error.display = x11.display;
  error.error_code = BadMatch;
  error.minor_code = 5;
  error.request_code = static_cast<unsigned char>(glx_opcode);
  x11.gl_mismatch = 0;
  passed_on = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(platform_handler(x11.display, &error), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "OpenGL Context does not match!\n");
  EXPECT_EQ(x11.gl_mismatch, 1);
  EXPECT_EQ(passed_on, 0);

  // The same error from another request (143 is not GLX here unless the
  // server says so) goes to the previous handler.
  x11.gl_mismatch = 0;
  error.request_code = static_cast<unsigned char>(glx_opcode == 143 ? 144 : 143);
  platform_handler(x11.display, &error);
  EXPECT_EQ(passed_on, 1);
  EXPECT_EQ(x11.gl_mismatch, 0);

  restore_x_error_handler();
  install_x_error_handler();
}
