// The X11 CLIPBOARD: the program's own text offered to other programs, and
// text fetched from the clipboard's owner. Other programs see UTF-8 (or
// Latin-1 for STRING); inside the program text stays in its 8-bit form.
#include "clipboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "text_convert.h"
#include "x11_state.h"

namespace {

char* own_text = nullptr;  // malloc'd; null = the program offers no text

constexpr int kPollsPerTarget = 15;
constexpr useconds_t kPollInterval = 10000;
constexpr long kMaxTransferUnits = 16383;  // 32-bit units read at once

bool has_wide_characters(const char* text) {
  SYSTEM_TEXT_READER reader(text);
  uint32_t code_point;
  while (reader.next_code_point(code_point))
    if (code_point > 255) return true;
  return false;
}

// Latin-1 has no room for wider characters: they become '?'.
std::string system_text_to_latin1(const char* text) {
  std::string result;
  SYSTEM_TEXT_READER reader(text);
  uint32_t code_point;
  while (reader.next_code_point(code_point)) {
    if (code_point == 0) continue;
    result += code_point <= 255 ? static_cast<char>(code_point) : '?';
  }
  return result;
}

std::string latin1_to_system_text(const unsigned char* bytes, size_t length) {
  std::string result;
  bool run_open = false;
  char out[SYSTEM_CHAR_MAX_BYTES];
  for (size_t i = 0; i < length && bytes[i]; ++i)
    result.append(out, system_char_encode(bytes[i], run_open, out));
  if (run_open) result += '\x01';
  return result;
}

// Compound text starts out as Latin-1; only wider characters need the
// escape sequences, which Xlib writes.
std::string system_text_to_compound_text(const char* text) {
  if (!has_wide_characters(text)) return system_text_to_latin1(text);
  std::string utf8 = system_text_to_utf8(text);
  char* list[1] = {utf8.data()};
  XTextProperty property = {};
  int status = Xutf8TextListToTextProperty(x11.display, list, 1, XCompoundTextStyle, &property);
  std::string result;
  if (status >= Success && property.value && property.format == 8)
    result.assign(reinterpret_cast<const char*>(property.value), property.nitems);
  else
    result = system_text_to_latin1(text);
  if (property.value) XFree(property.value);
  return result;
}

std::string compound_text_to_system_text(const unsigned char* bytes, size_t length) {
  XTextProperty property = {};
  property.value = const_cast<unsigned char*>(bytes);
  property.encoding = x11.compound_text;
  property.format = 8;
  property.nitems = length;
  char** list = nullptr;
  int count = 0;
  std::string result;
  if (Xutf8TextPropertyToTextList(x11.display, &property, &list, &count) >= Success && list) {
    for (int i = 0; i < count; ++i)
      if (list[i]) result += utf8_to_system_text(list[i], strlen(list[i]));
    XFreeStringList(list);
    return result;
  }
  return latin1_to_system_text(bytes, length);
}

// The largest property a single request can carry, with room for the
// request's own header.
size_t max_property_bytes() {
  long units = XExtendedMaxRequestSize(x11.display);
  if (units == 0) units = XMaxRequestSize(x11.display);
  return units > 16 ? static_cast<size_t>(units - 16) * 4 : 0;
}

// A UTF-8 text cut off by the transfer limit loses its broken last
// character rather than having it read as Latin-1.
size_t whole_utf8_length(const unsigned char* bytes, size_t length) {
  for (size_t back = 1; back <= 4 && back <= length; ++back) {
    int need = utf8_sequence_length(bytes[length - back]);
    if (need == 0) continue;  // a continuation byte: look further back
    return static_cast<size_t>(need) > back ? length - back : length;
  }
  return length;
}

// Reads and deletes the transfer property; the owner's data in system text.
bool read_transfer(Window window, Atom property, std::string& text) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  // Any type: an answer for TEXT comes typed as a real encoding.
  int status = XGetWindowProperty(x11.display, window, property, 0, kMaxTransferUnits, True,
                                  AnyPropertyType, &type, &format, &count, &after, &data);
  if (after > 0) XDeleteProperty(x11.display, window, property);
  if (status != Success || !data) return false;
  bool ok = format == 8 && count > 0;
  if (ok) {
    size_t length = count;
    if (type == XA_STRING) {
      text = latin1_to_system_text(data, length);
    } else if (type == x11.compound_text) {
      text = compound_text_to_system_text(data, length);
    } else {
      if (after > 0) length = whole_utf8_length(data, length);
      text = utf8_to_system_text(reinterpret_cast<const char*>(data), length);
    }
  }
  XFree(data);
  return ok;
}

// A requestor may be gone by the time its request is answered (it closed,
// or never meant to wait). The errors of the answer must not reach the
// handler that ends the program; every other error still does.
XErrorHandler outer_error_handler = nullptr;

int answer_error_handler(Display* display, XErrorEvent* error) {
  if (error->request_code == X_ChangeProperty || error->request_code == X_SendEvent) return 0;
  return outer_error_handler ? outer_error_handler(display, error) : 0;
}

// At most size - 1 bytes, cut on a character boundary and zero-terminated.
void copy_out(const char* text, char* buffer, int32_t size) {
  bool close_run = false;
  size_t length = system_text_fit(text, static_cast<size_t>(size - 1), close_run);
  memcpy(buffer, text, length);
  if (close_run) buffer[length++] = '\x01';
  buffer[length] = '\0';
}

}  // namespace

void set_clipboard_text(const char* text) {
  free(own_text);
  own_text = nullptr;
  if (!text) {
    // Nothing is offered any more: other programs, and this one, should
    // not ask a window that would only refuse.
    if (x11.display && x11.clipboard != None && x11.window &&
        XGetSelectionOwner(x11.display, x11.clipboard) == x11.window) {
      XSetSelectionOwner(x11.display, x11.clipboard, None, CurrentTime);
      XFlush(x11.display);
    }
    return;
  }
  own_text = strdup(text);
  if (!own_text) return;
  if (x11.display && x11.clipboard != None && x11.window) {
    XSetSelectionOwner(x11.display, x11.clipboard, x11.window, CurrentTime);
    XFlush(x11.display);
  }
}

const char* get_own_clipboard_text() { return own_text; }

void free_clipboard_text() {
  free(own_text);
  own_text = nullptr;
}

bool get_clipboard_text(char* buffer, int32_t size) {
  if (!buffer || size < 1) return false;
  if (own_text) {
    copy_out(own_text, buffer, size);
    return true;
  }
  if (!x11.display || !x11.window || x11.clipboard == None) return false;
  Display* d = x11.display;
  Window window = x11.window;
  const Atom transfer = x11.utf8_string;
  XDeleteProperty(d, window, transfer);
  XSync(d, False);

  const Atom targets[] = {x11.text, x11.compound_text, x11.utf8_string, XA_STRING};
  for (Atom target : targets) {
    XConvertSelection(d, x11.clipboard, target, transfer, window, CurrentTime);
    XFlush(d);
    bool abandoned = false;
    for (int poll = 0; poll < kPollsPerTarget && !abandoned; ++poll) {
      XEvent event;
      while (!abandoned && XPending(d) > 0 &&
             XCheckTypedWindowEvent(d, window, SelectionNotify, &event)) {
        const XSelectionEvent& notice = event.xselection;
        // A late answer to an earlier target is not this one's.
        if (notice.selection != x11.clipboard || notice.target != target) continue;
        abandoned = true;
        if (notice.property != transfer) continue;
        std::string text;
        if (read_transfer(window, transfer, text) && !text.empty()) {
          copy_out(text.c_str(), buffer, size);
          return true;
        }
      }
      if (!abandoned) usleep(kPollInterval);
    }
  }
  return false;
}

bool has_clipboard_text() {
  char buffer[2];
  return get_clipboard_text(buffer, sizeof buffer);
}

void clipboard_selection_clear(const XSelectionClearEvent* clear) {
  if (clear->selection != x11.clipboard || !own_text) return;
  // A notice read after the program took the clipboard again (or meant for
  // a window it has since closed) is about an ownership that has ended:
  // the text offered now stays.
  if (x11.display && x11.window && XGetSelectionOwner(x11.display, x11.clipboard) == x11.window)
    return;
  free_clipboard_text();
}

void clipboard_selection_request(const XSelectionRequestEvent* request) {
  Display* d = x11.display;
  XEvent reply = {};
  XSelectionEvent& notice = reply.xselection;
  notice.type = SelectionNotify;
  notice.send_event = True;
  notice.display = d;
  notice.requestor = request->requestor;
  notice.selection = request->selection;
  notice.target = request->target;
  notice.time = request->time;
  notice.property = None;
  // Requestors from before the property field was used name none: the
  // target then serves as the property.
  Atom property = request->property != None ? request->property : request->target;

  // Errors of earlier requests go to the usual handler first.
  XSync(d, False);
  outer_error_handler = XSetErrorHandler(answer_error_handler);
  if (own_text && request->selection == x11.clipboard) {
    if (request->target == x11.targets) {
      // Format-32 data is an array of long (Atom), whatever the word size.
      const Atom offered[] = {x11.text, x11.compound_text, x11.utf8_string, XA_STRING,
                              x11.targets};
      XChangeProperty(d, request->requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered),
                      static_cast<int>(sizeof offered / sizeof offered[0]));
      notice.property = property;
    } else {
      Atom type = None;
      std::string data;
      if (request->target == x11.utf8_string || request->target == x11.text) {
        data = system_text_to_utf8(own_text);
        type = x11.utf8_string;
      } else if (request->target == XA_STRING) {
        data = system_text_to_latin1(own_text);
        type = XA_STRING;
      } else if (request->target == x11.compound_text) {
        data = system_text_to_compound_text(own_text);
        type = x11.compound_text;
      }
      // Too large for one request: refused, rather than a BadLength that
      // would end the program.
      if (type != None && data.size() <= max_property_bytes()) {
        XChangeProperty(d, request->requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<int>(data.size()));
        notice.property = property;
      }
    }
  }
  XSendEvent(d, request->requestor, False, 0, &reply);
  XSync(d, False);
  XSetErrorHandler(outer_error_handler);
  outer_error_handler = nullptr;
}
