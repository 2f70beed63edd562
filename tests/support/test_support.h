#pragma once
// Helpers shared by the test programs: private scratch folders that vanish
// with the test, whole-file reads, and running a program as a subprocess to
// look at its exit status and output.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// A fresh folder under the system's temporary folder, removed (without
// following links) when the object goes.
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Sets (or with nullopt unsets) environment variables for one test; each
// gets its earlier value back when the guard goes.
class EnvironmentGuard {
public:
  EnvironmentGuard() = default;
  ~EnvironmentGuard();
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
  void set(const std::string& name, const std::optional<std::string>& value);

private:
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string read_file(const std::string& path);
bool write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

struct RunResult {
  int exit_code = -1;   // exit status, or 128 + signal number
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs argv[0] with the given arguments and extra environment entries
// ("NAME=value"); standard input is /dev/null unless input is given.
RunResult run_program(const std::vector<std::string>& argv,
                      const std::vector<std::string>& env = {},
                      const std::string* input = nullptr,
                      int timeout_seconds = 60);

// The errors desktop-file-validate finds in the desktop entry at path; a
// validator that does not run is an error too.
std::vector<std::string> desktop_validation_errors(const std::string& path);

}  // namespace test_support
