#include "command.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

using test_support::ScratchDir;
using test_support::read_file;
using test_support::run_program;

// While set to this process's id, forks in its children fail as on a system
// out of processes.
pid_t fail_forks_below = 0;
extern "C" pid_t fork() {
  static const auto real_fork = reinterpret_cast<pid_t (*)()>(dlsym(RTLD_NEXT, "fork"));
  if (fail_forks_below != 0 && getpid() != fail_forks_below) {
    errno = EAGAIN;
    return -1;
  }
  return real_fork();
}

// While not 0, starting a program fails with this error.
int fail_spawns_with = 0;
extern "C" int posix_spawnp(pid_t* pid, const char* file, const posix_spawn_file_actions_t* actions,
                            const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]) {
  using SPAWN = int (*)(pid_t*, const char*, const posix_spawn_file_actions_t*, const posix_spawnattr_t*,
                        char* const[], char* const[]);
  static const auto real_spawn = reinterpret_cast<SPAWN>(dlsym(RTLD_NEXT, "posix_spawnp"));
  return fail_spawns_with ? fail_spawns_with : real_spawn(pid, file, actions, attributes, argv, envp);
}

namespace {

int run(std::vector<const char*> args, uint32_t flags = 0) {
  args.push_back(nullptr);
  return run_command(args.data(), flags);
}

double seconds_now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST(RunCommand, ReturnsTheExitStatus) {
  // "true" is found through PATH; a killed program gives 128 + its signal.
  EXPECT_EQ((std::vector<int>{run({"/bin/true"}), run({"/bin/false"}), run({"true"}), run({"/bin/sh", "-c", "exit 42"}),
                              run({"/bin/sh", "-c", "kill -9 $$"})}),
            (std::vector<int>{0, 1, 0, 42, 128 + 9}));
}

TEST(RunCommand, ProgramThatCannotStartGives127) {
  EXPECT_EQ(run({"/nonexistent/program"}), 127);
  EXPECT_EQ(run({"vorn-no-such-program"}), 127);
  EXPECT_EQ(run({"/nonexistent/program"}, COMMAND_NO_WAIT), 127);
  EXPECT_EQ(run({"vorn-no-such-program"}, COMMAND_NO_WAIT | COMMAND_QUIET), 127);
  // No process left for the program itself is not a missing program.
  fail_forks_below = getpid();
  EXPECT_EQ(run({"/bin/true"}, COMMAND_NO_WAIT), -1);
  fail_forks_below = 1;  // nor for the middle process: nothing it was to use stays open
  const int lowest_free = dup(2);
  close(lowest_free);
  EXPECT_EQ(run({"/bin/true"}, COMMAND_NO_WAIT), -1);
  EXPECT_EQ(fcntl(lowest_free, F_GETFD), -1);
  fail_forks_below = 0;
  for (int error : {EAGAIN, ENOMEM, EACCES}) {
    fail_spawns_with = error;
    EXPECT_EQ(run({"/bin/true"}), error == EACCES ? 127 : -1) << error;
  }
  fail_spawns_with = 0;
}

TEST(RunCommand, EmptyArgumentVectorMakesNoProcess) {
  EXPECT_EQ(run_command(nullptr, 0), -1);
  EXPECT_EQ(run({}), -1);
}

TEST(RunCommand, ArgumentsReachTheProgramUnchanged) {
  ScratchDir dir;
  std::string out = dir.file("args");
  const char* odd = "a \"b\" $HOME `id` 'c' \\ ; | *";
  EXPECT_EQ(run({"/bin/sh", "-c", "printf %s \"$1\" > \"$0\"", out.c_str(), odd}), 0);
  EXPECT_EQ(read_file(out), odd);
}

// Output of a child process whose stdout and stderr are files.
std::pair<std::string, std::string> output_of(uint32_t flags) {
  ScratchDir dir;
  std::string out = dir.file("out"), err = dir.file("err");
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    const char* argv[] = {"/bin/sh", "-c", "echo out; echo err >&2", nullptr};
    _exit(run_command(argv, flags));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return {read_file(out), read_file(err)};
}

TEST(RunCommand, QuietSendsOutputToDevNull) {
  EXPECT_EQ(output_of(0), std::make_pair(std::string("out\n"), std::string("err\n")));
  EXPECT_EQ(output_of(COMMAND_QUIET), std::make_pair(std::string(), std::string()));
}

TEST(RunCommand, NoWaitReturnsWhileTheProgramRunsAndLeavesNoZombie) {
  ScratchDir dir;
  std::string fifo = dir.file("fifo"), out = dir.file("out");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The program blocks on the fifo until the test writes to it, so a
  // waiting run_command could not return. An interrupted call earlier in
  // the caller has left errno behind: it plays no part.
  errno = EINTR;
  EXPECT_EQ(run({"/bin/sh", "-c", "cat \"$0\" > \"$1\"; echo noise", fifo.c_str(), out.c_str()},
                COMMAND_NO_WAIT | COMMAND_QUIET),
            0);

  int fd = -1;
  for (double end = seconds_now() + 20; fd < 0 && seconds_now() < end;) {
    fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) usleep(10000);
  }
  ASSERT_GE(fd, 0) << "the background program never opened the fifo";
  ASSERT_EQ(write(fd, "ping", 4), 4);
  close(fd);
  for (double end = seconds_now() + 20; read_file(out) != "ping" && seconds_now() < end;)
    usleep(10000);
  EXPECT_EQ(read_file(out), "ping");

  // The middle process was reaped and the program belongs to init.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

const char* const* seen_argv = nullptr;
uint32_t seen_flags = 0;
int fake_runner(const char* const* argv, uint32_t flags) {
  seen_argv = argv;
  seen_flags = flags;
  return 77;
}

TEST(RunCommand, RunnerSeamReplacesTheRealRunner) {
  set_command_runner(fake_runner);
  const char* argv[] = {"/bin/false", nullptr};
  EXPECT_EQ(run_command(argv, COMMAND_QUIET | COMMAND_NO_WAIT), 77);
  EXPECT_EQ(seen_argv, argv);
  EXPECT_EQ(seen_flags, COMMAND_QUIET | COMMAND_NO_WAIT);

  set_command_runner(nullptr);
  EXPECT_EQ(run_command(argv, 0), 1);
}

TEST(ShellQuote, QuotesOneArgument) {
  EXPECT_EQ(shell_quote("plain"), "'plain'");
  EXPECT_EQ(shell_quote("it's"), "'it'\\''s'");
  EXPECT_EQ(shell_quote(""), "''");
  EXPECT_EQ(shell_quote(nullptr), "''");
}

TEST(ShellQuote, SurvivesTheShellUnchanged) {
  for (std::string text : {"it's", "'", "''", "$HOME", "`id`", "$(id)", "a\"b\"", "back\\slash",
                           "two  spaces", "new\nline", "; rm -rf x &", "*?[a]", "%s %d", "-n"}) {
    test_support::RunResult result =
        run_program({"/bin/sh", "-c", "printf %s " + shell_quote(text.c_str())});
    EXPECT_EQ(result.exit_code, 0) << text;
    EXPECT_EQ(result.out, text);
  }
}

}  // namespace
