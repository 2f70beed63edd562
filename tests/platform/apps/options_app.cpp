// An application with its own APPLICATION_INFO for exercising the platform
// options as a real process. app_init reports the arguments it was given
// and the console flag of every registered debug stream, then the program
// ends after one frame.
//
//   --exit-message   switches on the about box at shutdown (the box goes to
//                    standard error)
#include <cstdio>
#include <cstring>

#include "application_info.h"
#include "debug_stream.h"
#include "errors.h"
#include "platform.h"

namespace {

const char* const icon[] = {"2 2 1 1", ". c #FF0000", "..", "..", nullptr};

constinit APPLICATION_INFO info = {
    "Options Test 2.5", 0, icon, 1500, nullptr, 1, 1, 30, 2, 100, 0, 1, 0, 1, 0,
};

[[maybe_unused]] const bool registered = (set_application_info(&info), true);

}  // namespace

bool app_init(int argc, char** argv) {
  set_message_box_handler(message_box_to_stderr);
  printf("argc=%d\n", argc);
  for (int i = 0; i < argc; ++i) printf("argv[%d]=%s\n", i, argv[i]);
  printf("end of arguments: %s\n", argv[argc] ? "set" : "null");
  for (int i = 0; i < DEBUG_STREAM::count(); ++i) {
    DEBUG_STREAM* stream = DEBUG_STREAM::at(i);
    printf("stream %d %s console=%d\n", i, stream->name, (stream->flags & DEBUG_TO_CONSOLE) ? 1 : 0);
  }
  for (int i = 1; i < argc; ++i)
    if (!strcmp(argv[i], "--exit-message")) info.exit_message = 1;
  fflush(stdout);
  return true;
}

bool app_frame() { return false; }

void app_shutdown() {
  printf("shutdown\n");
  fflush(stdout);
}
