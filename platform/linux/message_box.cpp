// Message boxes: a separate X program (gmessage or xmessage) with one "OK"
// button, the console when none can run, and the seam that tests put in
// their place.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "command.h"
#include "errors.h"
#include "input.h"
#include "platform.h"
#include "text_convert.h"
#include "window.h"

namespace {

MESSAGE_BOX_HANDLER message_box_handler = nullptr;

bool file_readable(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) return false;
  fclose(file);
  return true;
}

// What a person sees when no message program can run. Only a person at a
// terminal is asked to go on; a script reading no terminal is not held up.
void console_message_box(const char* title, const char* text) {
  const bool ask = isatty(STDIN_FILENO) != 0;
  fprintf(stdout, "\n*\n*\t%s\n*\n*\t%s\n*\n%s", system_text_to_utf8(title).c_str(),
          system_text_to_utf8(text).c_str(), ask ? "*  Press Return\n*\n" : "");
  fflush(nullptr);
  if (ask) getchar();
}

}  // namespace

int message_box(const char* title, const char* text) {
  if (!title || !text) return 0;
  if (message_box_handler) return message_box_handler(title, text);

  // Full screen: the pointer and keyboard grabs must be released first so
  // that the box can take input.
  if (is_full_screen()) {
    release_input_grabs();
    platform_update();
  }
  constexpr const char* kGmessage = "/usr/X11R6/bin/gmessage";
  std::string body = std::string(title) + ":\n\n" + text;
  const char* with_gmessage[] = {kGmessage, "-center", "-buttons", "OK:2", body.c_str(), nullptr};
  const char* with_xmessage[] = {"xmessage", "-buttons", "OK:2", body.c_str(), nullptr};
  const char* const* argv = file_readable(kGmessage) ? with_gmessage : with_xmessage;

  int status = run_command(argv, COMMAND_QUIET);
  if (status == 1 || status == 127 || status == -1) console_message_box(title, text);
  return status;
}

void set_message_box_handler(MESSAGE_BOX_HANDLER handler) {
  message_box_handler = handler;
}

int message_box_to_stderr(const char* title, const char* text) {
  fprintf(stderr, "MESSAGE BOX %s:\n%s\n", title, text);
  fflush(stderr);
  return 2;
}
