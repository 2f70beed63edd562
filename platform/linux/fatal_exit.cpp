// The fatal exit: the message, the display closed, this run's temporary
// folder removed, and the process ended at once.
#include <unistd.h>

#include <cstdio>

#include "errors.h"
#include "file_services.h"
#include "text_convert.h"
#include "window.h"
#include "x11_state.h"

void fatal_exit(const char* message) {
  // Shown as every console line is: its control characters escaped.
  if (message)
    fprintf(stdout, "\nError, unable to continue...\n\n%s\n\n",
            escape_control_characters(system_text_to_utf8(message), KEEP_LINE_LAYOUT).c_str());
  close_window(ALL_SCREENS);
  x11_close_display();
  remove_temporary_folder();
  fflush(nullptr);
  _exit(255);
}
