// The X event dispatcher: turns each X event into the platform's plain
// input state. Widgets never see an XEvent.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xkbcommon/xkbcommon.h>

#include "image.h"
#include "input.h"
#include "platform.h"
#include "window.h"
#include "x11_state.h"

namespace {

void key_press(XKeyEvent* event) {
  // Control is dropped so that Ctrl+C types "c"; Shift still counts.
  XKeyEvent key = *event;
  key.state &= ~static_cast<unsigned>(ControlMask);
  char text[8];
  KeySym symbol = NoSymbol;
  int count = XLookupString(&key, text, sizeof text, &symbol, nullptr);
  uint32_t character = count > 0 ? static_cast<uint8_t>(text[0]) : 0;
  // Xlib gives bytes only for Latin-1 key symbols; others (the euro sign,
  // letters of other scripts) are typed as their code points.
  if (count == 0 && symbol != NoSymbol) {
    const uint32_t code = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(symbol));
    if (code > 255) character = code;
  }
  // The key symbol is that of the plain key, without any modifier; the
  // modifiers held go with it, for the frame it may wait for. A modifier
  // key is no key of its own: it shows in the key map and in the keys
  // pressed with it.
  key.state = 0;
  symbol = NoSymbol;
  XLookupString(&key, text, sizeof text, &symbol, nullptr);
  if (IsModifierKey(symbol)) symbol = NoSymbol;
  key_queue.on_key_press(character, static_cast<uint32_t>(symbol), event->state);
}

// X numbers the middle button 2 and the right one 3; the program the
// other way round.
uint32_t program_button(unsigned x_button) {
  switch (x_button) {
    case Button1: return 1;
    case Button2: return 3;
    case Button3: return 2;
    default: return 0;
  }
}

void button(XButtonEvent* event, bool down) {
  if (uint32_t number = program_button(event->button)) {
    mouse.on_button(event->x, event->y, number, down);
    return;
  }
  // Wheel steps come as presses of buttons 4 and 5; their releases and
  // other buttons bring only the position.
  int32_t steps = 0;
  if (down && event->button == Button4) steps = 1;
  if (down && event->button == Button5) steps = -1;
  mouse.on_wheel(event->x, event->y, steps);
}

bool own_window(const XAnyEvent& event) {
  return event.display == x11.display && event.window == x11.window;
}

}  // namespace

void dispatch_x_event(XEvent* event) {
  // A changed keyboard layout must reach XLookupString.
  if (event->type == MappingNotify) {
    XRefreshKeyboardMapping(&event->xmapping);
    return;
  }
  if (event->xany.window == 0 || event->type > ClientMessage) return;

  switch (event->type) {
    case KeyPress:
      key_press(&event->xkey);
      break;
    case ButtonPress:
      button(&event->xbutton, true);
      break;
    case ButtonRelease:
      button(&event->xbutton, false);
      break;
    case MotionNotify:
      mouse.on_motion(event->xmotion.x, event->xmotion.y);
      break;
    case LeaveNotify:
      // A pointer moved out quickly leaves no motion event outside: without
      // this, hover looks and tooltips stayed as if it were still inside.
      if (event->xcrossing.mode == NotifyNormal && event->xcrossing.detail != NotifyInferior)
        mouse.on_motion(-1, -1);
      break;
    case FocusIn:
      if (own_window(event->xany) && is_full_screen()) grab_input();
      break;
    case FocusOut:
      if (own_window(event->xany) && is_full_screen()) release_input_grabs();
      break;
    case Expose: {
      const XExposeEvent& e = event->xexpose;
      get_screen_image(0)->add_dirty_rect(static_cast<int16_t>(e.x), static_cast<int16_t>(e.y),
                                          static_cast<int16_t>(e.x + e.width - 1),
                                          static_cast<int16_t>(e.y + e.height - 1));
      break;
    }
    case SelectionClear:
      clipboard_selection_clear(&event->xselectionclear);
      break;
    case SelectionRequest:
      clipboard_selection_request(&event->xselectionrequest);
      break;
    case ClientMessage: {
      const XClientMessageEvent& message = event->xclient;
      if (message.message_type == x11.wm_protocols && message.format == 32 &&
          static_cast<Atom>(message.data.l[0]) == x11.wm_delete_window) {
        handle_close_request();
        if (x11.window) XRaiseWindow(x11.display, x11.window);
      }
      break;
    }
    default:
      break;
  }
}
