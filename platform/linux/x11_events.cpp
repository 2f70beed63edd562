// The X event dispatcher: turns each X event into the platform's plain
// input state. Widgets never see an XEvent.
#include "platform.h"
#include "x11_state.h"

void dispatch_x_event(XEvent* event) {
  switch (event->type) {
    default:
      break;
  }
}
