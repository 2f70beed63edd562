#include "command.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

COMMAND_RUNNER command_runner = nullptr;

// Exit status as a shell would give it.
int status_of(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

// Errors that mean the program itself could not be started, as opposed to
// the system refusing a new process.
bool is_start_failure(int error) {
  return error != EAGAIN && error != ENOMEM;
}

int wait_for(pid_t pid) {
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status_of(wait_status);
}

int run_and_wait(const char* const* argv, bool quiet) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], &actions, nullptr,
                           const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return is_start_failure(error) ? 127 : -1;
  return wait_for(pid);
}

// Only async-signal-safe calls between fork and exec: the caller may have
// other threads (the sound mixer).
void write_byte(int fd, char byte) {
  while (write(fd, &byte, 1) < 0 && errno == EINTR) {
  }
}

// A background program is started from a short-lived middle process, which
// is reaped here at once; the program itself is then adopted by init, so it
// never stays a zombie of ours whatever the caller does with SIGCHLD. A
// close-on-exec pipe tells whether exec worked: it reaches end-of-file with
// no byte when it did.
int run_in_background(const char* const* argv, bool quiet) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  pid_t middle = fork();
  if (middle < 0) {
    close(report[0]);
    close(report[1]);
    return -1;
  }
  if (middle == 0) {
    pid_t program = fork();
    if (program < 0) {
      write_byte(report[1], 'F');
      _exit(1);
    }
    if (program == 0) {
      if (quiet) {
        int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null_fd >= 0) {
          dup2(null_fd, STDOUT_FILENO);
          dup2(null_fd, STDERR_FILENO);
        }
      }
      execvp(argv[0], const_cast<char* const*>(argv));
      write_byte(report[1], errno == EAGAIN || errno == ENOMEM ? 'F' : 'E');
      _exit(127);
    }
    _exit(0);
  }
  close(report[1]);
  wait_for(middle);
  char byte = 0;
  ssize_t got;
  while ((got = read(report[0], &byte, 1)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got <= 0) return 0;
  return byte == 'E' ? 127 : -1;
}

int real_run_command(const char* const* argv, uint32_t flags) {
  if (!argv || !argv[0]) return -1;
  bool quiet = (flags & COMMAND_QUIET) != 0;
  if (flags & COMMAND_NO_WAIT) return run_in_background(argv, quiet);
  return run_and_wait(argv, quiet);
}

}  // namespace

int run_command(const char* const* argv, uint32_t flags) {
  if (command_runner) return command_runner(argv, flags);
  return real_run_command(argv, flags);
}

void set_command_runner(COMMAND_RUNNER runner) {
  command_runner = runner;
}

std::string shell_quote(const char* text) {
  std::string quoted = "'";
  for (const char* c = text ? text : ""; *c; ++c) {
    if (*c == '\'') quoted += "'\\''";
    else quoted += *c;
  }
  quoted += "'";
  return quoted;
}
