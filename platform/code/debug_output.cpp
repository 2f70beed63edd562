// The console line and the "debug.txt" debug outputs.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "errors.h"
#include "text_convert.h"
#include "timing.h"

namespace {

bool debug_file_first_write = true;
// The calendar second of the last flush of standard output (any thread
// may write to the console).
std::atomic<int64_t> flushed_second{0};

void flush_console() {
  fflush(nullptr);
  flushed_second = get_calendar_seconds();
}

// Every console line leaves through here. The texts in it come from data,
// file names and translations, so their control characters are shown
// escaped: none reaches the terminal as a command (a title change, a
// cleared screen, a forged line start). Line feeds and tabs lay the lines
// out and stay.
void write_console_text(const char* text) {
  if (!text) return;
  if (holds_control_character(text)) fputs(escape_control_characters(text, KEEP_LINE_LAYOUT).c_str(), stdout);
  else fputs(text, stdout);
}

}  // namespace

// The system's text is Latin-1 with code runs; terminals read UTF-8.
void console_print(const char* text) {
  console_write_utf8(text ? system_text_to_utf8(text).c_str() : nullptr);
}

void console_write_utf8(const char* text) {
  write_console_text(text);
  flush_console();
}

void console_write_utf8_held(const char* text) {
  write_console_text(text);
  if (get_calendar_seconds() != flushed_second) flush_console();
}

void debug_print(const char* file, int line, const char* text) {
  if (file) {
    std::string head = std::string("Debug - File: ") + file + " Line " + std::to_string(line) + ": = ";
    console_print(head.c_str());
  }
  console_print(text);
  console_print("\n");
}

void debug_to_file(const char* file, int line, const char* text, const char* path) {
  const char* target = path ? path : "debug.txt";
  FILE* out = nullptr;
  if (debug_file_first_write && strcmp(target, "debug.txt") == 0) {
    out = fopen(target, "w");
    if (!out) {
      report_warning(0x0001, "debug.txt");
      return;
    }
    debug_file_first_write = false;
  } else {
    out = fopen(target, "a");
    if (!out) {
      report_warning(0x0002, target);
      return;
    }
  }
  if (file) fprintf(out, "Debug - File: %s Line %d: = %s\n", file, line, text ? text : "");
  else fprintf(out, "%s\n", text ? text : "");
  fclose(out);
}
