// Entry fields, the entry box and the entry dialog under a real X server:
// XTEST keys and pointer reach the key queue, the key map and the mouse
// through the platform frame, the page manager's frame processes the page,
// and a second X client exchanges text with the field over the CLIPBOARD.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "clipboard.h"
#include "dialog_pictures.h"
#include "input.h"
#include "picture_compare.h"
#include "platform.h"
#include "window.h"
#include "wm_button.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_text_edit.h"
#include "wm_text_edit_box.h"
#include "wm_text_edit_dialog.h"
#include "wm_x11_fixture.h"

namespace {

// What the next page builds.
struct PAGE {
  const char* text = "";
  uint16_t max_length = 100;
  TEXT_FILTER filter = nullptr;
  bool password = false;
  bool box = false;
  bool notify = false;
};
PAGE page;
WM_TEXT_EDIT* field = nullptr;
std::string heard;  // "R" per callback with return_pressed, "c" per change notice

int32_t on_field(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  heard += static_cast<WM_TEXT_EDIT*>(object)->return_pressed ? "R" : "c";
  return 0;
}

WM_STYLE_SET field_style() {
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  style.fg_colour = 0xFF000000;
  style.bg_colour = 0xFFFFFFFF;
  if (page.password) style.extended_flags = SSEF_TE_PASSWORD;
  return style;
}

void create_page(WM_PAGE_MANAGER* manager) {
  manager->current_root()->add_child(new wm_test::BOX(0, 0, 400, 300, 0xFF405060), false);
  const WM_STYLE_SET style = field_style();
  if (page.box) {
    field = new WM_TEXT_EDIT_BOX(20, 20, 200, 120, page.max_length, page.text, &style, on_field,
                                 0, 0);
  } else {
    field = new WM_TEXT_EDIT(20, 20, 200, page.max_length, page.text, &style, on_field, 0, 0);
  }
  field->filter = page.filter;
  field->notify_on_change = page.notify ? 1 : 0;
  manager->current_root()->add_child(field, false);
}

class TextEditX11 : public wm_test::PointerX11 {
protected:
  TextEditX11() : PointerX11("Text entry test", 400, 300) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    use_onscreen_keyboard = 0;
    page = PAGE();
    heard.clear();
  }
  void TearDown() override {
    manager.reset();
    field = nullptr;
    PointerX11::TearDown();
  }

  void build_page() {
    manager.reset();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, create_page, nullptr, 0, nullptr, 0, 0, nullptr);
    ASSERT_EQ(manager->frame(true), page_action::SWITCH_PAGE);
    ASSERT_EQ(WM_SCREEN_OBJECT::focus_object, field);
  }
  // One key with its modifiers ("S-" Shift, "C-" Control), then one frame;
  // a key let go comes up in the frame after.
  void press(std::string name, bool release = true) {
    KeySym mods[2] = {NoSymbol, NoSymbol};
    for (int i = 0; name.size() > 2 && name[1] == '-'; ++i, name.erase(0, 2))
      mods[i] = name[0] == 'S' ? XK_Shift_L : XK_Control_L;
    const KeySym symbol = name.size() == 1 ? static_cast<KeySym>(name[0]) : XStringToKeysym(name.c_str());
    ASSERT_NE(XKeysymToKeycode(probe, symbol), 0) << name;
    key_queue.get_last_key();
    for (KeySym m : mods)
      if (m != NoSymbol) key(m, true);
    key(symbol, true);
    if (release) key(symbol, false);
    ASSERT_TRUE(pump([&] { return key_queue.peek_last_key() == symbol && is_key_down(symbol); })) << name;
    page_frame();
    if (release) {
      ASSERT_TRUE(pump([&] { return !is_key_down(symbol); })) << name;
      page_frame();
    }
    for (KeySym m : mods)
      if (m != NoSymbol) key(m, false);
    ASSERT_TRUE(pump([] { return !is_key_down(XK_Shift_L) && !is_key_down(XK_Control_L); }));
  }
  void page_frame() { manager->frame(true); }
  // "text|caret|anchor-end" of the field ("" for no selection), spaces
  // shown as "_" and line feeds as "/".
  static std::string state() {
    std::string s = std::string(field->get_text()) + "|" + std::to_string(field->caret) + "|";
    for (char& c : s)
      if (c == ' ' || c == '\n') c = c == ' ' ? '_' : '/';
    if (field->has_selection())
      s += std::to_string(field->selection_anchor) + "-" + std::to_string(field->selection_end);
    return s;
  }
  // Space-separated steps, one frame after each but the checks: a key name
  // (with modifiers), "t:" and letters to type, "Return+" / "Return-" to
  // hold and let go of Return, "@" and a character index (with a pixel
  // offset: "@3+1") to move the pointer to that character boundary, "down"
  // and "up" for the left button, "." for a frame alone, "k:" and a key
  // pressed with no frame, "u:" and a key symbol the keyboard may lack
  // (tapped through a lent key code), "^" to build the page again, "=" and
  // the expected state, "#" and what the callback has heard, "*" and the
  // pointer's shape.
  void run_script(const std::string& script) {
    std::istringstream steps(script);
    std::string step, trace;
    while (steps >> step) {
      trace += step + " ";
      if (step[0] == '@') {
        size_t used = 0;
        const int index = std::stoi(step.substr(1), &used);
        const int offset = used + 1 < step.size() ? std::stoi(step.substr(used + 1)) : 0;
        const int at = field->x + field->left_gap + offset +
                       get_screen_image()->get_text_width(255, 65535, -1, field->get_text(),
                                                          static_cast<uint32_t>(index));
        ASSERT_NO_FATAL_FAILURE(move_to(at, field->y + field->height / 2));
        page_frame();
      } else if (step == "down" || step == "up") {
        ASSERT_NO_FATAL_FAILURE(step == "down" ? PointerX11::press() : release());
        page_frame();
      } else if (step == ".") {
        page_frame();
      } else if (step == "^") {
        ASSERT_NO_FATAL_FAILURE(build_page());
      } else if (step.rfind("k:", 0) == 0) {
        const KeySym symbol = XStringToKeysym(step.c_str() + 2);
        key_queue.get_last_key();
        key(symbol, true);
        key(symbol, false);
        ASSERT_TRUE(pump([&] { return key_queue.peek_last_key() == symbol; }));
      } else if (step.rfind("u:", 0) == 0) {
        const KeySym symbol = XStringToKeysym(step.c_str() + 2);
        key_queue.get_last_key();
        if (!tap_symbol(symbol)) GTEST_SKIP() << "no free key code";
        ASSERT_TRUE(pump([&] { return key_queue.peek_last_key() == symbol; })) << trace;
        page_frame();
      } else if (step.rfind("t:", 0) == 0) {
        for (char c : step.substr(2)) ASSERT_NO_FATAL_FAILURE(press(std::string(1, c))) << trace;
      } else if (step == "Return+") {
        ASSERT_NO_FATAL_FAILURE(press("Return", false));
      } else if (step == "Return-") {
        key(XK_Return, false);
        ASSERT_TRUE(pump([] { return !is_key_down(XK_Return); }));
        page_frame();
      } else if (step[0] == '=') {
        EXPECT_EQ(state(), step.substr(1)) << trace;
      } else if (step[0] == '#') {
        EXPECT_EQ(heard, step.substr(1)) << trace;
      } else if (step[0] == '*') {
        EXPECT_EQ(manager->get_cursor_shape(), std::stoi(step.substr(1))) << trace;
      } else {
        ASSERT_NO_FATAL_FAILURE(press(step)) << trace;
      }
    }
  }

  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

// A second X client on its own connection: it asks the CLIPBOARD's owner
// for UTF-8 text, or owns the CLIPBOARD and answers from its own thread.
class OTHER_CLIENT {
public:
  OTHER_CLIENT()
      : display(XOpenDisplay(nullptr)),
        window(XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)),
        clipboard(XInternAtom(display, "CLIPBOARD", False)),
        utf8(XInternAtom(display, "UTF8_STRING", False)) {}
  ~OTHER_CLIENT() {
    stop = true;
    if (server.joinable()) server.join();
    XCloseDisplay(display);
  }
  void own(const std::string& utf8_text) {
    text = utf8_text;
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    XSync(display, False);
    server = std::thread([this] { serve(); });
  }
  bool owns() { return XGetSelectionOwner(display, clipboard) == window; }
  // The owner answers while the program's frames run.
  std::string fetch(const std::function<bool(const std::function<bool()>&)>& pump) {
    XConvertSelection(display, clipboard, utf8, utf8, window, CurrentTime);
    XEvent event;
    if (!pump([&] {
          XSync(display, False);
          return XCheckTypedWindowEvent(display, window, SelectionNotify, &event) != 0;
        }) ||
        event.xselection.property == None)
      return "(none)";
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, utf8, 0, 4096, True, AnyPropertyType, &type, &format,
                       &count, &after, &data);
    std::string out(reinterpret_cast<char*>(data), count);
    XFree(data);
    return out;
  }

private:
  void serve() {
    for (; !stop; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
      while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent& r = event.xselectionrequest;
        XSelectionEvent reply = {SelectionNotify, 0, True, display, r.requestor, r.selection,
                                 r.target, r.target == utf8 ? r.property : None, r.time};
        if (r.target == utf8)
          XChangeProperty(display, r.requestor, r.property, utf8, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
        XSendEvent(display, r.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
        XFlush(display);
      }
    }
  }

  Display* display;
  Window window;
  Atom clipboard, utf8;
  std::string text;
  std::thread server;
  std::atomic<bool> stop{false};
};

}  // namespace

TEST_F(TextEditX11, KeysAndPointerTypeMoveSelectDeleteUndoAndAnswer) {
  const struct {
    PAGE setup;
    const char* script;
  } rows[] = {
      // Shift selects from the caret; a plain move drops the selection.
      {{"abcde"}, "=abcde|5|0-5 Home Right Right S-Right S-Right =abcde|4|2-4 Right =abcde|5|"},
      // Ctrl moves by words: at least one, then on to a space.
      {{"abc def"}, "End C-Left =abc_def|3| C-Left =abc_def|0| Home C-Right =abc_def|3| S-End =abc_def|7|3-7"},
      {{"", 100, nullptr, false, false, true},
       "t:hello =hello|5| BackSpace =hell|4| Home Delete =ell|0| BackSpace End Delete =ell|3| #ccccccc"},
      // Typing replaces the selection the focus made; undo brings back the
      // text the field had when it got the focus, selected.
      {{"start"}, "t:xy =xy|2| C-z =start|5|0-5 Delete =|0|"},
      {{"", 5, WM_TEXT_EDIT::filter_number}, "t:12a3.b456 =123.4|5|"},
      // Letters of the 8-bit set pass a file-name filter, and a character
      // above 255 is typed in its code run, one character of the field.
      {{"", 100, WM_TEXT_EDIT::filter_file_name},
       "u:odiaeresis u:adiaeresis u:ssharp u:EuroSign u:Cyrillic_zhe =\xF6\xE4\xDF\x01,20AC,0436\x01|5| "
       "Left BackSpace =\xF6\xE4\xDF\x01,0436\x01|3|"},
      {{"abc"}, "C-a =abc|3|0-3 S-z =Z|1|"},
      // Return answers once, when it is let go.
      {{"ok"}, "Return+ # Return- #R . #R"},
      // Keys pressed before the field was built do not act on it.
      {{"ok"}, "k:Return ^ . k:Left ^ . k:Delete ^ . =ok|2|0-2 #"},
      // A click on the focused field puts the caret at the nearest boundary;
      // dragging selects from the press to the pointer.
      {{"abcdefg"}, ". *0 @3+1 *5 down up =abcdefg|3| @3 down @7-1 @7 up =abcdefg|7|3-7 t:x =abcx|4|"},
      // A click empties the typed characters: one typed before it does not
      // land at the new caret.
      {{"ok"}, "@1 k:x down up =ok|1|"},
      // A password ignores moves and keeps no selection.
      {{"secret", 100, nullptr, true}, "Home S-Left Left =secret|6| BackSpace =secre|5|"},
  };
  for (const auto& row : rows) {
    page = row.setup;
    heard.clear();
    ASSERT_NO_FATAL_FAILURE(build_page());
    SCOPED_TRACE(row.script);
    ASSERT_NO_FATAL_FAILURE(run_script(row.script));
  }
}

// Copy and cut hand the selection to another program as UTF-8; that
// program's text pastes in through the filter and up to the maximum; a
// password field never touches the clipboard.
TEST_F(TextEditX11, ClipboardRoundTripsWithAnotherClient) {
  // Latin-1 in the field; the cut and the paste each tell of their change.
  page = {.text = "caf\xE9 cr\xE8me", .notify = true};
  ASSERT_NO_FATAL_FAILURE(build_page());
  OTHER_CLIENT other;
  const auto pumping = [&](const std::function<bool()>& done) { return pump(done); };
  run_script("C-c =caf\xE9_cr\xE8me|10|0-10");
  EXPECT_EQ(other.fetch(pumping), "caf\xC3\xA9 cr\xC3\xA8me");
  run_script("Home S-C-Right C-x =_cr\xE8me|0|");
  EXPECT_EQ(other.fetch(pumping), "caf\xC3\xA9");

  // Pasted: line feeds and tabs stay out, a character above 255 comes in
  // its code run; the filter drops what it rejects; the rest is cut to fit.
  OTHER_CLIENT owner;
  owner.own("1a2.b\n\t\xE2\x82\xAC" "3\xC3\xA9" "4567");
  run_script("End C-v =_cr\xE8me1a2.b\x01,20AC\x01" "3\xE9" "4567|18| #cc");
  page = {.text = "", .max_length = 5, .filter = WM_TEXT_EDIT::filter_number, .notify = true};
  ASSERT_NO_FATAL_FAILURE(build_page());
  run_script("C-v =12.34|5|");
  page = {.text = "secret", .password = true};
  ASSERT_NO_FATAL_FAILURE(build_page());
  run_script("C-a C-c C-x =secret|6|");
  EXPECT_TRUE(owner.owns());
  EXPECT_EQ(get_own_clipboard_text(), nullptr);
}

// The box takes line feeds from Return and moves by lines; the entry dialog
// is filled in and answered by real clicks, its callback reading the field
// and having the dialog removed.
int32_t dialog_answers = 0;
std::string dialog_text;
int32_t on_dialog(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2) {
  auto* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(object);
  dialog_text = dialog->entry->get_text() + std::string("/") + std::to_string(word_1) + "/" +
                std::to_string(word_2);
  ++dialog_answers;
  return page_action::REMOVE_OVERLAY;
}

TEST_F(TextEditX11, BoxAndEntryDialogWorkByRealKeysAndClicks) {
  page = {.box = true, .notify = true};
  ASSERT_NO_FATAL_FAILURE(build_page());
  page_frame();  // the box lays out its lines when drawn
  const auto* box = static_cast<WM_TEXT_EDIT_BOX*>(field);
  // Return in the empty box puts the caret on the second line.
  run_script("Return . =/|1|");
  EXPECT_EQ(box->caret_line, 1);
  EXPECT_EQ(box->lines().size(), 2u);
  run_script("BackSpace . =|0| #cRc");
  heard.clear();
  run_script("t:ab Return t:cd #cccRcc =ab/cd|5| Up =ab/cd|2| Home =ab/cd|0| C-End =ab/cd|5| Home =ab/cd|3| Down =ab/cd|3| C-Home =ab/cd|0| Down =ab/cd|3| C-End Return t:e C-Home Down =ab/cd/e|3| C-End BackSpace BackSpace =ab/cd|5|");
  ASSERT_EQ(box->lines().size(), 2u);

  for (const bool ok : {true, false}) {
    dialog_answers = 0;
    auto* dialog = new WM_TEXT_EDIT_DIALOG(-1, -1, true, on_dialog, 7, nullptr, nullptr, "Name", 20);
    manager->current_root()->add_overlay(dialog, false);
    ASSERT_TRUE(pump([&] {
      page_frame();
      return !dialog->is_moving();
    }));
    WM_TEXT_EDIT* entry = dialog->entry;
    ASSERT_NO_FATAL_FAILURE(move_to(entry->x + 5, entry->y + 5));
    page_frame();
    run_script("down up");
    ASSERT_EQ(WM_SCREEN_OBJECT::focus_object, entry);
    field = entry;  // the steps check the dialog's field
    run_script("t:name S-Left S-Left =name|2|4-2");
    if (ok) {
      // The screenshot: the box, and the dialog's field with a selection.
      ASSERT_NO_FATAL_FAILURE(save_screen("text_edit_dialog.png"));
      EXPECT_TRUE(wm_test::screen_matches_reference("text_edit_dialog"));
    }
    WM_BUTTON* button = ok ? dialog->ok : dialog->cancel;
    ASSERT_NO_FATAL_FAILURE(move_to(button));
    page_frame();
    run_script("down");
    EXPECT_EQ(dialog_answers, 0);  // a button answers when let go
    run_script("up");
    EXPECT_EQ(dialog_answers, 1);
    EXPECT_EQ(dialog_text, ok ? "name/7/1" : "name/7/0");
    EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(dialog));  // removed and deleted
  }
}
