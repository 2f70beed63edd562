// Whether the platform has started: portable code that must not act while
// main is still preparing (or already taking down) the platform asks here.
// Also the status main ends with.
#include "platform.h"

namespace {

bool started = false;
int exit_status = 0;

}  // namespace

bool platform_started() { return started; }
void set_platform_started(bool value) { started = value; }

void set_exit_status(int status) { exit_status = status; }
int get_exit_status() { return exit_status; }
