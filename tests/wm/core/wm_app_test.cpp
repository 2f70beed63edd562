// The page manager inside a real program: the toolkit's test application
// runs its pages through the application frame and the program entry, and
// reports every page callback; the order of those lines is what a page
// action does, and the lines after the last turn are the shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "private_x_server.h"
#include "test_support.h"

using test_support::run_program;

namespace {

const std::string kApp = std::string(TEST_BIN_DIR) + "/apps/wm_test_app";

// Every run shows page 1 in turn 1 and returns its action in turn 2.
const char* const kStart = "init exit hook set\ncreate 1\nturn 1 -> 10\n";

}  // namespace

// At shutdown the page manager's exit hook runs before the application's
// shutdown hook: it closes the page (leave, destroy) and deletes the open
// overlay, so nothing is left when app_shutdown looks.
TEST(ToolkitApp, PageActionsThroughTheApplicationFrame) {
  struct ROW {
    std::vector<std::string> args;
    std::string after_start, shutdown;
    int at_least_ms;
  };
  // The shutdown: page 1 (or 2) closed, and the overlay deleted unless the
  // action deleted it already.
  const std::string ends_1 = "leave 1\ndestroy 1\noverlay gone\nshutdown objects 0 overlays 0\n";
  const std::string ends_2 = "leave 2\ndestroy 2\noverlay gone\nshutdown objects 0 overlays 0\n";
  const std::string ends_bare = "leave 1\ndestroy 1\nshutdown objects 0 overlays 0\n";
  const ROW rows[] = {
      {{"--action=3"}, "frame callback -> 3\nclose dialogs\nturn 2 -> 3\nturn 3 -> 0\n", ends_1, 0},
      // Rebuilt in place: no destroy; 5 and 6 keep the overlay, 7 and 8
      // delete it before the page is built again.
      {{"--action=5"}, "frame callback -> 5\nleave 1\ncreate 1\nturn 2 -> 0\nturn 3 -> 0\n", ends_1, 0},
      {{"--action=6"}, "frame callback -> 6\nleave 1\ncreate 1\nturn 2 -> 0\nturn 3 -> 0\n", ends_1, 0},
      {{"--action=7"},
       "frame callback -> 7\nleave 1\noverlay gone\ncreate 1\nturn 2 -> 0\nturn 3 -> 0\n",
       ends_bare,
       0},
      {{"--action=8"},
       "frame callback -> 8\nleave 1\noverlay gone\ncreate 1\nturn 2 -> 0\nturn 3 -> 0\n",
       ends_bare,
       0},
      {{"--action=9"}, "frame callback -> 9\noverlay gone\nturn 2 -> 0\nturn 3 -> 0\n", ends_bare, 0},
      // A switch replaces page 1 (not kept) by the registered page 2; the
      // overlay stays over both.
      {{"--action=10"},
       "frame callback -> 10\nleave 1\ndestroy 1\ncreate 2\nturn 2 -> 10\nturn 3 -> 0\n",
       ends_2,
       0},
      // The transition blocks for its duration (less a little: the clock
      // it runs on counts whole milliseconds from a later start).
      {{"--action=11", "--duration=300"},
       "frame callback -> 11\nleave 1\ndestroy 1\ncreate 2\nturn 2 -> 11\nturn 3 -> 0\n",
       ends_2,
       250},
      // -1 ends the main loop in its own turn, before the frame limit.
      {{"--action=-1", "--frames=5"}, "frame callback -> -1\nturn 2 -> -1\n", ends_1, 0},
      // A code without a meaning is returned and does nothing.
      {{"--action=42"}, "frame callback -> 42\nturn 2 -> 42\nturn 3 -> 0\n", ends_1, 0},
  };
  for (const ROW& row : rows) {
    std::vector<std::string> argv = {kApp};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto started = std::chrono::steady_clock::now();
    const auto r = run_program(argv);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r.exit_code, 0) << row.args[0] << "\n" << r.err;
    EXPECT_EQ(r.out, kStart + row.after_start + row.shutdown) << row.args[0];
    EXPECT_GE(elapsed, std::chrono::milliseconds(row.at_least_ms)) << row.args[0];
  }
}

// A real click through XTEST on the application's button: its callback's
// result for the release (42) comes out of the page manager's frame.
TEST(ToolkitApp, ButtonClickBecomesAPageAction) {
  const auto run = private_x::run_on_private_server(
      "640x480x24", {kApp, "--button"}, [](Display* probe) {
        const Window window = private_x::find_viewable_window(probe, "Button page");
        EXPECT_NE(window, 0u);
        // The button lies at (100, 80)-(219, 139) of the window.
        if (window) private_x::click_in_window(probe, window, 150, 100);
      });
  if (run.skipped) GTEST_SKIP() << run.skipped;
  const auto& r = run.result;
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "page action 10\n"  // the page is shown
            "callback press\npage action 1\n"
            "callback release\npage action 42\n");
}
