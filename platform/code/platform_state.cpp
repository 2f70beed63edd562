// Whether the platform has started: portable code that must not act while
// main is still preparing (or already taking down) the platform asks here.
#include "platform.h"

namespace {

bool started = false;

}  // namespace

bool platform_started() { return started; }
void set_platform_started(bool value) { started = value; }
