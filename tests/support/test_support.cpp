#include "test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace test_support {

namespace {
int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}
}  // namespace

ScratchDir::ScratchDir() {
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/vorn_test_XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) path_ = buf.data();
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) nftw(path_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

EnvironmentGuard::~EnvironmentGuard() {
  for (const auto& [name, value] : saved_) {
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }
}

void EnvironmentGuard::set(const std::string& name, const std::optional<std::string>& value) {
  if (!saved_.count(name)) {
    const char* old = getenv(name.c_str());
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
  }
  if (value) setenv(name.c_str(), value->c_str(), 1);
  else unsetenv(name.c_str());
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

RunResult run_program(const std::vector<std::string>& argv,
                      const std::vector<std::string>& env,
                      const std::string* input, int timeout_seconds) {
  RunResult result;
  int out_pipe[2], err_pipe[2], in_pipe[2];
  if (pipe(out_pipe) || pipe(err_pipe) || pipe(in_pipe)) return result;

  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (input) {
    ssize_t off = 0, n;
    while (off < static_cast<ssize_t>(input->size()) &&
           (n = write(in_pipe[1], input->data() + off, input->size() - off)) > 0)
      off += n;
  }
  close(in_pipe[1]);

  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_fds = 2;
  bool killed = false;
  while (open_fds > 0) {
    int r = poll(fds, 2, 200);
    if (r < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
        char buf[4096];
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open_fds;
        }
      }
    }
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (!killed && now.tv_sec - start.tv_sec > timeout_seconds) {
      kill(pid, SIGKILL);
      killed = true;
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status)) result.exit_code = 128 + WTERMSIG(status);
  return result;
}

std::vector<std::string> desktop_validation_errors(const std::string& path) {
  RunResult result = run_program({"/usr/bin/desktop-file-validate", path});
  std::vector<std::string> errors;
  std::string all = result.out + result.err;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(start, end - start);
    if (line.find("error:") != std::string::npos) errors.push_back(line);
    start = end + 1;
  }
  if (result.exit_code != 0 && result.exit_code != 1) errors.push_back("validator did not run");
  return errors;
}

}  // namespace test_support
