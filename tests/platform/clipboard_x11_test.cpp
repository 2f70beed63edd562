// The CLIPBOARD between the program and another X client: a second
// connection in the test plays the other program, owning the clipboard on
// its own thread or asking for the program's text.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "x11_state.h"
#include "clipboard.h"
#include "errors.h"
#include "platform.h"
#include "private_x_server.h"
#include "string_utils.h"
#include "vorn_string.h"
#include "window.h"

namespace {

// Two connections on two threads: Xlib must know before anything else.
[[maybe_unused]] const Status threads_ready = XInitThreads();

::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

// "Grüßeÿ Ω" in the system's text and in UTF-8: ÿ is Latin-1's last.
const std::string kSystemText = "Gr\xFC\xDF" "e\xFF \x01,03A9\x01";
const std::string kUtf8Text = "Gr\xC3\xBC\xC3\x9F" "e\xC3\xBF \xCE\xA9";

enum class ANSWER { UTF8_ONLY, TEXT_TYPED_UTF8, STRING_ONLY, COMPOUND_ONLY, NEVER };

class OTHER_PROGRAM {
public:
  OTHER_PROGRAM() {
    display = XOpenDisplay(nullptr);
    if (!display) return;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    clipboard = XInternAtom(display, "CLIPBOARD", False);
    utf8 = XInternAtom(display, "UTF8_STRING", False);
    text = XInternAtom(display, "TEXT", False);
    targets = XInternAtom(display, "TARGETS", False);
    compound = XInternAtom(display, "COMPOUND_TEXT", False);
    property = XInternAtom(display, "OTHER_PROGRAM_DATA", False);
    XSync(display, False);
  }
  ~OTHER_PROGRAM() {
    stop_serving();
    if (display) XCloseDisplay(display);
  }

  // Takes the clipboard and answers requests on a thread of its own.
  void own(ANSWER how, const std::string& bytes) {
    answer = how;
    data = bytes;
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    XSync(display, False);
    stop = false;
    server = std::thread([this] { serve(); });
  }
  void stop_serving() {
    stop = true;
    if (server.joinable()) server.join();
  }

  // Asks the clipboard's owner (the program) for a target, running the
  // program's frames while it waits. False when the answer names no
  // property.
  bool request(Atom target, Atom& type, std::string& bytes, int& format) {
    XDeleteProperty(display, window, property);
    XConvertSelection(display, clipboard, target, property, window, CurrentTime);
    XSync(display, False);
    XEvent event;
    bool answered = false;
    for (int i = 0; i < 400 && !answered; ++i) {
      XSync(x11.display, False);
      platform_update();
      if (XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) answered = true;
      else usleep(2000);
    }
    if (!answered || event.xselection.property == None) return false;
    EXPECT_EQ(event.xselection.target, target);
    EXPECT_EQ(event.xselection.property, property);
    unsigned long count = 0, after = 0;
    unsigned char* values = nullptr;
    XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &type,
                       &format, &count, &after, &values);
    size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
    bytes.assign(reinterpret_cast<const char*>(values), count * unit);
    if (values) XFree(values);
    return true;
  }

  Display* display = nullptr;
  Window window = 0;
  Atom clipboard = None, utf8 = None, text = None, targets = None, compound = None;
  Atom property = None;

private:
  void serve() {
    pollfd connection = {ConnectionNumber(display), POLLIN, 0};
    while (!stop) {
      while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) reply(event.xselectionrequest);
      }
      poll(&connection, 1, 5);
    }
  }
  void reply(const XSelectionRequestEvent& request) {
    if (answer == ANSWER::NEVER) return;
    Atom type = None;
    if (answer == ANSWER::UTF8_ONLY && request.target == utf8) type = utf8;
    if (answer == ANSWER::TEXT_TYPED_UTF8 && request.target == text) type = utf8;
    if (answer == ANSWER::STRING_ONLY && request.target == XA_STRING) type = XA_STRING;
    if (answer == ANSWER::COMPOUND_ONLY && request.target == compound) type = compound;
    XEvent notice = {};
    notice.xselection.type = SelectionNotify;
    notice.xselection.requestor = request.requestor;
    notice.xselection.selection = request.selection;
    notice.xselection.target = request.target;
    notice.xselection.time = request.time;
    notice.xselection.property = None;
    if (type != None) {
      XChangeProperty(display, request.requestor, request.property, type, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(data.data()),
                      static_cast<int>(data.size()));
      notice.xselection.property = request.property;
    }
    XSendEvent(display, request.requestor, False, 0, &notice);
    XFlush(display);
  }

  std::thread server;
  std::atomic<bool> stop{true};
  ANSWER answer = ANSWER::NEVER;
  std::string data;
};

class ClipboardX11 : public ::testing::Test {
protected:
  void SetUp() override {
    other = std::make_unique<OTHER_PROGRAM>();
    if (!other->display) GTEST_SKIP() << "no X display";
    set_message_box_handler(message_box_to_stderr);
    set_idle_wait(0);
    WINDOW_PARAMS p;
    p.title = "Clipboard test";
    p.width = 100;
    p.height = 80;
    ASSERT_TRUE(open_window(&p, 0));
    set_clipboard_text(nullptr);
  }
  void TearDown() override {
    if (!other || !other->display) return;
    other.reset();
    set_clipboard_text(nullptr);
    close_window(ALL_SCREENS);
    set_idle_wait(50);
  }

  // What the program gives the other program for a target; "<none>" when
  // it refuses.
  std::string asked(const char* target_name, Atom* type_out = nullptr) {
    Atom target = XInternAtom(other->display, target_name, False);
    Atom type = None;
    int format = 0;
    std::string bytes;
    if (!other->request(target, type, bytes, format)) return "<none>";
    if (type_out) *type_out = type;
    EXPECT_EQ(format, 8);
    return bytes;
  }

  // The owner the other program sees within a moment, with nothing more
  // done by the program: its change must have been sent already.
  Window owner_seen(Window wanted) {
    Window owner = None;
    for (int i = 0; i < 100 && (owner = XGetSelectionOwner(other->display, other->clipboard)) != wanted; ++i)
      usleep(2000);
    return owner;
  }

  std::unique_ptr<OTHER_PROGRAM> other;
};

}  // namespace

TEST_F(ClipboardX11, OwnTextReachesTheOtherProgramInItsEncodings) {
  Atom compound = XInternAtom(other->display, "COMPOUND_TEXT", False);
  // Latin-1 cannot hold the omega, nor U+0100 just past its last character.
  for (const auto& [system, utf8, latin1] :
       {std::tuple<std::string, std::string, std::string>{kSystemText, kUtf8Text, "Gr\xFC\xDF" "e\xFF ?"},
        {"\xFF\x01,0100\x01", "\xC3\xBF\xC4\x80", "\xFF?"}}) {
    set_clipboard_text(system.c_str());
    XSync(x11.display, False);
    EXPECT_EQ(XGetSelectionOwner(other->display, other->clipboard), x11.window);
    Atom type = None;
    EXPECT_EQ(asked("UTF8_STRING", &type), utf8);  // no trailing NUL
    EXPECT_EQ(type, other->utf8);
    EXPECT_EQ(asked("TEXT", &type), utf8);
    EXPECT_EQ(type, other->utf8);
    EXPECT_EQ(asked("STRING", &type), latin1);
    EXPECT_EQ(type, XA_STRING);
    std::string compound_bytes = asked("COMPOUND_TEXT", &type);
    EXPECT_EQ(type, compound);
    // Compound text keeps the wide characters in escape sequences: read back as UTF-8.
    XTextProperty compound_property = {reinterpret_cast<unsigned char*>(compound_bytes.data()), compound, 8,
                                       compound_bytes.size()};
    char** list = nullptr;
    int count = 0;
    ASSERT_EQ(Xutf8TextPropertyToTextList(other->display, &compound_property, &list, &count), Success);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(std::string(list[0]), utf8);
    XFreeStringList(list);
  }
  EXPECT_EQ(asked("image/png"), "<none>");

  Atom targets_type = None;
  int format = 0;
  std::string bytes;
  ASSERT_TRUE(other->request(other->targets, targets_type, bytes, format));
  EXPECT_EQ(targets_type, XA_ATOM);
  EXPECT_EQ(format, 32);
  ASSERT_EQ(bytes.size(), 5 * sizeof(Atom));
  const Atom* atoms = reinterpret_cast<const Atom*>(bytes.data());
  Atom wanted[] = {other->text, compound, other->utf8, XA_STRING, other->targets};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(atoms[i], wanted[i]) << i;
}

TEST_F(ClipboardX11, TextFromTheOtherProgramComesBackUnchanged) {
  other->own(ANSWER::UTF8_ONLY, kUtf8Text);
  char buffer[1024];
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), kSystemText);
  EXPECT_TRUE(has_clipboard_text());
  other->stop_serving();

  // A character beyond 16 bits travels as its two surrogates.
  OTHER_PROGRAM emoji;
  emoji.own(ANSWER::UTF8_ONLY, "x\xF0\x9F\x98\x80");
  XSync(x11.display, False);
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "x\x01,D83D,DE00\x01");

  // The round trip: back out to another client as the same UTF-8.
  VORN_STRING pasted("old");
  ASSERT_TRUE(pasted.paste_from_clipboard());
  EXPECT_STREQ(pasted.get_text(), "x\x01,D83D,DE00\x01");
  emoji.stop_serving();
  pasted.copy_to_clipboard();
  XSync(x11.display, False);
  EXPECT_EQ(asked("UTF8_STRING"), "x\xF0\x9F\x98\x80");
}

TEST_F(ClipboardX11, AnswersTypedAsARealEncodingAreRead) {
  other->own(ANSWER::TEXT_TYPED_UTF8, kUtf8Text);
  char buffer[64];
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), kSystemText);
  other->stop_serving();

  OTHER_PROGRAM latin1;
  latin1.own(ANSWER::STRING_ONLY, "Gr\xFC\xDF" "e\x01");  // byte 1 is a character too
  XSync(x11.display, False);
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "Gr\xFC\xDF" "e\x01,0001\x01");
  latin1.stop_serving();

  // Compound text with an escape sequence for the omega.
  std::string utf8 = kUtf8Text;
  char* list[1] = {utf8.data()};
  XTextProperty compound = {};
  ASSERT_EQ(Xutf8TextListToTextProperty(other->display, list, 1, XCompoundTextStyle, &compound),
            Success);
  std::string compound_bytes(reinterpret_cast<char*>(compound.value), compound.nitems);
  XFree(compound.value);
  EXPECT_NE(compound_bytes.find('\x1B'), std::string::npos);
  OTHER_PROGRAM compound_owner;
  compound_owner.own(ANSWER::COMPOUND_ONLY, compound_bytes);
  XSync(x11.display, False);
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), kSystemText);
}

TEST_F(ClipboardX11, PastedTextIsCutOnACharacterBoundary) {
  other->own(ANSWER::UTF8_ONLY, "ab\xCE\xA9\xCE\xA9");
  // Room for "ab", the run "\x01,03A9", its closing byte and the NUL.
  char buffer[10];
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "ab\x01,03A9\x01");
  // One byte less: the run does not fit with its closing byte.
  ASSERT_TRUE(get_clipboard_text(buffer, sizeof buffer - 1));
  EXPECT_EQ(std::string(buffer), "ab");
  other->stop_serving();

  // A text longer than one read is cut before the character the read splits; one ending in a
  // broken character keeps that byte (as Latin-1), and one ending at its first byte (a NUL) is none.
  std::vector<char> all(70000);
  for (const auto& [how, sent, pasted] :
       {std::tuple{ANSWER::UTF8_ONLY, std::string(65531, 'a') + "\xCE\xA9", std::string(65531, 'a')},
        {ANSWER::UTF8_ONLY, "ab\xCE", "ab\xCE"}, {ANSWER::STRING_ONLY, std::string("\0cd", 3), "<none>"}}) {
    OTHER_PROGRAM owner;
    owner.own(how, sent);
    XSync(x11.display, False);
    EXPECT_EQ(get_clipboard_text(all.data(), all.size()) ? std::string(all.data()) : "<none>", pasted);
  }

  set_clipboard_text("abc");
  char two[3];
  ASSERT_TRUE(get_clipboard_text(two, sizeof two));
  EXPECT_STREQ(two, "ab");
  // Room for the end alone: an empty text; no room at all: nothing.
  ASSERT_TRUE(get_clipboard_text(two, 1));
  EXPECT_STREQ(two, "");
  EXPECT_FALSE(get_clipboard_text(two, 0));
}

TEST_F(ClipboardX11, AnOwnerThatNeverAnswersIsGivenUpOn) {
  other->own(ANSWER::NEVER, "");
  char buffer[16] = "unchanged";
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(get_clipboard_text(buffer, sizeof buffer));
  auto waited = std::chrono::steady_clock::now() - start;
  // Four targets, fifteen polls each, ten milliseconds apart.
  EXPECT_GE(waited, std::chrono::milliseconds(600));
  EXPECT_LT(waited, std::chrono::seconds(5));
  VORN_STRING kept("kept");
  EXPECT_FALSE(kept.paste_from_clipboard());
  EXPECT_STREQ(kept.get_text(), "kept");
}

TEST_F(ClipboardX11, WithoutAnOwnerThereIsNoText) {
  XSetSelectionOwner(other->display, other->clipboard, None, CurrentTime);
  XSync(other->display, False);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(has_clipboard_text());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(ClipboardX11, AnotherOwnerTakesTheProgramsTextAway) {
  set_clipboard_text("mine");
  XSync(x11.display, False);
  XSetSelectionOwner(other->display, other->clipboard, other->window, CurrentTime);
  XSync(other->display, False);
  for (int i = 0; i < 200 && get_own_clipboard_text(); ++i) {
    platform_update();
    usleep(2000);
  }
  EXPECT_EQ(get_own_clipboard_text(), nullptr);
  // Clearing a text no longer offered leaves the other program's clipboard alone.
  set_clipboard_text(nullptr);
  EXPECT_EQ(owner_seen(None), other->window);
}

TEST_F(ClipboardX11, TextTooLargeForOneRequestIsRefused) {
  long units = XExtendedMaxRequestSize(x11.display);
  if (units == 0) units = XMaxRequestSize(x11.display);
  // Past the 256 KB of a plain request a big request carries the text; past that too it is refused.
  for (const size_t size : {size_t{300000}, static_cast<size_t>(units) * 4 + 16}) {
    std::string huge(size, 'x');
    set_clipboard_text(huge.c_str());
    XSync(x11.display, False);
    EXPECT_EQ(asked("UTF8_STRING"), size == 300000 ? huge : "<none>");
  }
  // The program is still there and answers smaller texts.
  set_clipboard_text("small");
  XSync(x11.display, False);
  EXPECT_EQ(asked("UTF8_STRING"), "small");
}

TEST_F(ClipboardX11, GeneratedPasswordsCanGoToTheClipboard) {
  char password[PASSWORD_BUFFER_SIZE];
  ASSERT_NE(generate_password(8, 8, 16, password), nullptr);
  ASSERT_NE(get_own_clipboard_text(), nullptr);
  EXPECT_STREQ(get_own_clipboard_text(), password);
  XSync(x11.display, False);
  EXPECT_EQ(asked("STRING"), std::string(password));

  set_clipboard_text(nullptr);
  ASSERT_NE(generate_password(8, 8, 0, password), nullptr);
  EXPECT_EQ(get_own_clipboard_text(), nullptr);
}

TEST_F(ClipboardX11, ARequestorThatIsGoneDoesNotEndTheProgram) {
  install_x_error_handler();  // as the program runs
  set_clipboard_text(kSystemText.c_str());
  XSync(x11.display, False);
  // The other program asks, then closes its window before the answer comes:
  // writing the answer to that window fails on the server.
  for (const char* target : {"UTF8_STRING", "TARGETS", "STRING"}) {
    Window gone =
        XCreateSimpleWindow(other->display, DefaultRootWindow(other->display), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(other->display, other->clipboard, XInternAtom(other->display, target, False),
                      other->property, gone, CurrentTime);
    XDestroyWindow(other->display, gone);
    XSync(other->display, False);
    for (int i = 0; i < 20; ++i) {
      XSync(x11.display, False);
      platform_update();
      usleep(1000);
    }
  }
  // Still running, and still answering.
  EXPECT_EQ(asked("UTF8_STRING"), kUtf8Text);
  restore_x_error_handler();
}

TEST_F(ClipboardX11, ClearingTheTextGivesTheClipboardUp) {
  set_clipboard_text("mine");
  ASSERT_EQ(owner_seen(x11.window), x11.window);
  set_clipboard_text(nullptr);
  EXPECT_EQ(owner_seen(None), static_cast<Window>(None));
  EXPECT_EQ(get_own_clipboard_text(), nullptr);
  // Nobody is asked in vain: the answer "no text" comes at once.
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(has_clipboard_text());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(ClipboardX11, ANoticeOfAnEarlierLossKeepsTheNewText) {
  set_clipboard_text("old");
  XSync(x11.display, False);
  XSetSelectionOwner(other->display, other->clipboard, other->window, CurrentTime);
  XSync(other->display, False);
  XSync(x11.display, False);  // the loss notice now waits in the program's queue
  set_clipboard_text("new");
  XSync(x11.display, False);
  for (int i = 0; i < 20; ++i) {
    platform_update();
    usleep(1000);
  }
  ASSERT_NE(get_own_clipboard_text(), nullptr);
  EXPECT_STREQ(get_own_clipboard_text(), "new");
  EXPECT_EQ(asked("UTF8_STRING"), "new");
}
