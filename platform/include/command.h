#pragma once
// Runs external programs (message boxes, desktop tools) by argument vector,
// with no shell in between, and reads their exit status. Every external tool
// goes through run_command, so tests can record what would have run.
#include <cstdint>
#include <string>

inline constexpr uint32_t COMMAND_QUIET = 0x01;    // stdout and stderr to /dev/null
inline constexpr uint32_t COMMAND_NO_WAIT = 0x02;  // start in the background

// Runs argv[0] (searched in PATH when it has no "/") with the null-terminated
// argument vector argv. Returns the exit status 0..255 (128 + signal number
// when a signal ended it), 127 when the program could not be started, -1 when
// no process could be made. With COMMAND_NO_WAIT the program runs on its own
// (it is never left as a zombie) and the result is 0 once it has started.
int run_command(const char* const* argv, uint32_t flags);

// Test seam: a runner replaces the real one for every run_command call. The
// argument vector is only valid during the call. Null restores the real one.
using COMMAND_RUNNER = int (*)(const char* const* argv, uint32_t flags);
void set_command_runner(COMMAND_RUNNER runner);

// One argument single-quoted for a shell (' written as '\''), for the rare
// command lines that really need a shell. A null text gives ''.
std::string shell_quote(const char* text);
