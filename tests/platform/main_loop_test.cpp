// The program entry, frame loop and close requests, seen from outside: the
// test application runs as a real process and reports its hooks.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

#include "test_support.h"

using test_support::ScratchDir;
using test_support::file_exists;
using test_support::run_program;
using test_support::write_file;

namespace {

const std::string kApp = std::string(TEST_BIN_DIR) + "/apps/test_app";

size_t position_of(const std::string& text, const std::string& what) {
  size_t at = text.find(what);
  EXPECT_NE(at, std::string::npos) << "missing \"" << what << "\" in:\n" << text;
  return at;
}

// The folder the test application made with --make-temp.
std::string temporary_folder_of(const std::string& out) {
  size_t at = position_of(out, "temp ");
  if (at == std::string::npos) return "";
  return out.substr(at + 5, out.find('\n', at) - at - 5);
}

}  // namespace

TEST(MainLoop, LeavesTheLoopWhenTheFrameAnswersFalse) {
  auto r = run_program({kApp, "--frames=3"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("init argc=2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("shutdown frames=3 close_calls=0"), std::string::npos) << r.out;
}

TEST(MainLoop, HooksAndShutdownRunInOrder) {
  auto r = run_program({kApp, "--frames=1", "--exit-hook"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // The platform has started before the application's hooks run.
  size_t init = position_of(r.out, "init argc=3 started=1");
  size_t hook = position_of(r.out, "exit_hook");
  size_t shutdown = position_of(r.out, "shutdown frames=1 close_calls=0 after_signal=-1 started=1");
  EXPECT_LT(init, hook);
  EXPECT_LT(hook, shutdown);
}

TEST(MainLoop, RefusedCloseRequestKeepsTheProgramRunning) {
  auto r = run_program({kApp, "--handler=false", "--signal=2", "--frames=20"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("close(0) -> false"), std::string::npos) << r.out;
  // It ran all its frames and the callback was asked exactly once.
  EXPECT_NE(r.out.find("shutdown frames=20 close_calls=1"), std::string::npos) << r.out;
}

TEST(MainLoop, AcceptedCloseRequestEndsAfterTheCurrentTurn) {
  auto r = run_program({kApp, "--handler=true", "--signal=2", "--exit-hook"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("close(0) -> true"), std::string::npos) << r.out;
  // The signal arrives during turn 2; its platform frame asks the callback,
  // and the loop stops after the application frame of the next turn.
  EXPECT_NE(r.out.find("shutdown frames=3 close_calls=1 after_signal=1"), std::string::npos) << r.out;
  EXPECT_LT(position_of(r.out, "exit_hook"), position_of(r.out, "shutdown"));
}

TEST(MainLoop, CloseRequestWithoutCallbackEndsTheProgram) {
  auto r = run_program({kApp, "--signal=2"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("shutdown frames=3 close_calls=0"), std::string::npos) << r.out;
}

TEST(MainLoop, ArgumentsReachTheApplication) {
  auto r = run_program({kApp, "--frames=1", "one", "two"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("init argc=4"), std::string::npos) << r.out;
}

TEST(MainLoop, ShutdownRemovesTheRecordedTemporaryFolderLast) {
  ScratchDir dir;
  std::string temp = dir.file("run-temp");
  ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((temp + "/sub").c_str(), 0700), 0);
  ASSERT_TRUE(write_file(temp + "/sub/file", "x"));
  auto r = run_program({kApp, "--frames=1", "--temp=" + temp});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("temp folder present"), std::string::npos) << r.out;
  EXPECT_FALSE(file_exists(temp));
}

TEST(MainLoop, TemporaryFolderThatIsGoneAtShutdownIsSkippedSilently) {
  ScratchDir dir;
  std::string temp = dir.file("never-made");
  auto r = run_program({kApp, "--frames=1", "--temp=" + temp});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("temp folder absent"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
}

TEST(MainLoop, ShutdownNeverFollowsALinkInPlaceOfTheTemporaryFolder) {
  ScratchDir dir;
  std::string elsewhere = dir.file("elsewhere");
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  ASSERT_TRUE(write_file(elsewhere + "/precious", "keep"));
  std::string link = dir.file("run-temp");
  ASSERT_EQ(symlink(elsewhere.c_str(), link.c_str()), 0);
  auto r = run_program({kApp, "--frames=1", "--temp=" + link});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(file_exists(elsewhere + "/precious"));
  EXPECT_TRUE(file_exists(link));
}

// Console modes do their work in the init hook and may end it with exit().
TEST(MainLoop, ExitFromTheInitHookRemovesTheTemporaryFolder) {
  ScratchDir home;
  ASSERT_EQ(mkdir(home.file("tmp").c_str(), 0700), 0);
  auto r = run_program({kApp, "--make-temp", "--exit-in-init"}, {"VORN_TEST_HOME=" + home.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::string temp = temporary_folder_of(r.out);
  EXPECT_EQ(temp.rfind(home.file("tmp/test_app-"), 0), 0u) << r.out;
  EXPECT_FALSE(file_exists(temp));
}

TEST(MainLoop, CloseSignalDuringTheInitHookWithoutCallbackEndsTheProgramAtOnce) {
  ScratchDir home;
  ASSERT_EQ(mkdir(home.file("tmp").c_str(), 0700), 0);
  auto start = std::chrono::steady_clock::now();
  auto r = run_program({kApp, "--make-temp", "--signal=0", "--init-work=3000"},
                       {"VORN_TEST_HOME=" + home.path()});
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.exit_code, 128 + SIGTERM) << r.out << r.err;
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
  EXPECT_EQ(r.out.find("init done"), std::string::npos) << r.out;
  std::string temp = temporary_folder_of(r.out);
  EXPECT_FALSE(temp.empty());
  EXPECT_FALSE(file_exists(temp));
}

TEST(MainLoop, CloseSignalDuringTheInitHookWithCallbackWaitsForTheFirstFrame) {
  auto r = run_program({kApp, "--handler=false", "--signal=0", "--init-work=200", "--frames=2"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_LT(position_of(r.out, "init done"), position_of(r.out, "close(0) -> false"));
  EXPECT_NE(r.out.find("shutdown frames=2 close_calls=1"), std::string::npos) << r.out;
}
