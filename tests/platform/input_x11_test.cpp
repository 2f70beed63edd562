// Keyboard and mouse: the typed-character queue, the mouse record and line
// input on their own, then real X input (XTEST) through the platform frame
// into the same state; pointer shapes, the key map and the joystick reader.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <dlfcn.h>
#include <X11/keysym.h>
#include <linux/joystick.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "x11_state.h"
#include "errors.h"
#include "input.h"
#include "platform.h"
#include "private_x_server.h"
#include "x11_fixture.h"
#include "test_support.h"
#include "timing.h"
#include "window.h"

namespace {

::testing::Environment* const private_server =
    ::testing::AddGlobalTestEnvironment(new private_x::ENVIRONMENT);

// The serial of the pointer image the server shows now (and its size and
// pixels); 0 without XFixes, which is loaded at run time: nothing else here
// needs to link it.
unsigned long shown_pointer(Display* display, std::vector<unsigned long>* picture = nullptr) {
  static void* library = dlopen("libXfixes.so.3", RTLD_NOW);
  using GET = XFixesCursorImage* (*)(Display*);
  GET get = library ? reinterpret_cast<GET>(dlsym(library, "XFixesGetCursorImage")) : nullptr;
  XFixesCursorImage* image = get ? get(display) : nullptr;
  if (!image) return 0;
  const unsigned long serial = image->cursor_serial;
  if (picture) *picture = {image->width, image->height};
  if (picture) picture->insert(picture->end(), image->pixels, image->pixels + image->width * image->height);
  XFree(image);
  return serial;
}

int64_t fake_seconds = 1000;
uint64_t fake_clock() { return static_cast<uint64_t>(fake_seconds) * 1000; }

class InputState : public ::testing::Test {
protected:
  void SetUp() override {
    set_clock(fake_clock);
    fake_seconds = 1000;
    key_queue.set_size(10);
    key_queue.get_last_key();
    mouse.buttons = 0;
    mouse.wheel = 0;
  }
  void TearDown() override {
    set_clock(nullptr);
    key_queue.set_size(10);
  }
  static std::string drain() {
    std::string text;
    while (uint8_t c = key_queue.pop()) text += static_cast<char>(c);
    return text;
  }
};

}  // namespace

TEST_F(InputState, GlobalHandleKeepsATenCharacterQueueAndThreeButtons) {
  EXPECT_EQ(key_queue.get_capacity(), 10);
  EXPECT_EQ(mouse.button_count, 3);
  EXPECT_EQ(get_mouse_button_count(), 3);
  {
    INPUT_HANDLE local;  // one more user changes nothing
    EXPECT_EQ(key_queue.get_capacity(), 10);
  }
  EXPECT_EQ(key_queue.get_capacity(), 10);
}

TEST_F(InputState, QueueHoldsTenCharactersAndDropsTheEleventh) {
  for (char c : std::string("abcdefghijk")) key_queue.on_key(static_cast<uint8_t>(c));
  EXPECT_EQ(key_queue.get_count(), 10);
  EXPECT_EQ(key_queue.peek(), 'a');
  EXPECT_EQ(drain(), "abcdefghij");
  EXPECT_EQ(key_queue.pop(), 0);
  EXPECT_EQ(key_queue.peek(), 0);
  // A character above 255 goes in as its whole code run, or not at all.
  for (auto [before, queued] : {std::pair{"abc", "abc\x01,20AC\x01"}, {"abcd", "abcd"}}) {
    for (const char* c = before; *c; ++c) key_queue.on_key(static_cast<uint8_t>(*c));
    key_queue.on_key_press(0x20AC, 0);
    EXPECT_EQ(drain(), queued);
  }
}

TEST_F(InputState, CharacterCodesKeepTheirByteOrBecomeAQuestionMark) {
  key_queue.on_key(0xE9);        // a Latin-1 byte
  key_queue.on_key(0xFFFFFFE9);  // the same byte, sign-extended
  key_queue.on_key(0x100);       // not a byte at all
  key_queue.on_key(0xFFFFFF7F);  // below the sign-extended range
  key_queue.on_key(0);           // nothing
  key_queue.on_key(0x141, XK_Lstroke);
  EXPECT_EQ(drain(), "\xE9\xE9??" "?");
}

TEST_F(InputState, SetSizeEmptiesResizesOrSwitchesTheQueueOff) {
  key_queue.on_key('x');
  key_queue.set_size(-1);
  EXPECT_EQ(key_queue.get_count(), 1);
  key_queue.set_size(10);  // the same size: emptied
  EXPECT_EQ(key_queue.get_count(), 0);
  key_queue.set_size(2);
  for (char c : std::string("xyz")) key_queue.on_key(static_cast<uint8_t>(c));
  EXPECT_EQ(drain(), "xy");
  key_queue.set_size(0);
  key_queue.on_key('q');
  EXPECT_EQ(key_queue.pop(), 0);
  EXPECT_EQ(key_queue.get_capacity(), 0);
}

TEST_F(InputState, LastKeyIsTakenOnceAndStampsTheTime) {
  fake_seconds = 2000;
  key_queue.set_last_key(XK_Return);
  EXPECT_EQ(key_queue.get_last_key_time(), 2000);
  EXPECT_EQ(key_queue.peek_last_key(), static_cast<uint32_t>(XK_Return));
  EXPECT_EQ(key_queue.get_last_key(), static_cast<uint32_t>(XK_Return));
  EXPECT_EQ(key_queue.peek_last_key(), 0u);
  EXPECT_EQ(key_queue.get_last_key(), 0u);
  key_queue.set_last_key('a', XK_a);
  EXPECT_EQ(key_queue.take_last_key(), static_cast<uint32_t>(XK_a));
  fake_seconds = 2005;
  key_queue.on_key('z');
  EXPECT_EQ(get_last_input_time(), 2005);
}

TEST_F(InputState, ButtonEventsKeepTheMaskAndTheIntervals) {
  fake_seconds = 100;
  mouse.button_event(1, true);
  fake_seconds = 101;
  mouse.button_event(1, false);
  fake_seconds = 103;
  mouse.button_event(1, true);
  EXPECT_EQ(std::tuple(mouse.left_press_time, mouse.left_press_interval, mouse.left_release_time,
                       mouse.button_interval, mouse.last_mouse_time),
            std::tuple(103, 3, 101, 2, 103));
  EXPECT_EQ(mouse.buttons, MOUSE::LEFT);

  mouse.button_event(2, true);
  mouse.button_event(3, true);
  EXPECT_EQ(mouse.buttons, MOUSE::LEFT | MOUSE::RIGHT | MOUSE::MIDDLE);
  mouse.button_event(2, false);
  EXPECT_EQ(mouse.buttons, MOUSE::LEFT | MOUSE::MIDDLE);
  mouse.button_event(32, true);
  EXPECT_EQ(mouse.buttons, MOUSE::LEFT | MOUSE::MIDDLE | 0x80000000u);
  mouse.button_event(33, true);  // outside 1..32: times only
  mouse.button_event(0, true);
  EXPECT_EQ(mouse.buttons, MOUSE::LEFT | MOUSE::MIDDLE | 0x80000000u);
}

namespace {
int idle_calls = 0;
int change_calls = 0;
int abort_after_changes = -1;
bool line_callback(uint32_t event, intptr_t user) {
  EXPECT_EQ(user, 77);
  if (event == READ_LINE_IDLE) ++idle_calls;
  if (event == READ_LINE_CHANGED) ++change_calls;
  return abort_after_changes < 0 || change_calls < abort_after_changes;
}
void type_text(const char* text) {
  for (const char* p = text; *p; ++p) key_queue.on_key(static_cast<uint8_t>(*p));
}
}  // namespace

TEST_F(InputState, ReadLineEditsTheBufferUntilReturn) {
  idle_calls = change_calls = 0;
  abort_after_changes = -1;
  char buffer[16] = "";
  int32_t length = 0;
  EXPECT_EQ(read_line(false, &length, buffer, sizeof buffer, line_callback, 77), 3);

  type_text("ab\b\b\bac\x07");
  EXPECT_EQ(read_line(false, &length, buffer, sizeof buffer, line_callback, 77), 4);
  EXPECT_STREQ(buffer, "a");
  // With the wait flag the rest is taken up to Return; a backspace on the
  // empty line and a control character other than backspace change nothing.
  key_queue.on_key('\n');
  EXPECT_EQ(read_line(true, &length, buffer, sizeof buffer, line_callback, 77), 2);
  EXPECT_STREQ(buffer, "ac");
  EXPECT_EQ(length, 2);
  // a, b, two backspaces, a, c, and once more at Return.
  EXPECT_EQ(change_calls, 7);
  EXPECT_EQ(idle_calls, 0);
}

TEST_F(InputState, ReadLineKeepsTheBufferTerminatedAndCanBeAborted) {
  idle_calls = change_calls = 0;
  abort_after_changes = -1;
  char buffer[4] = "";
  int32_t length = 0;
  type_text("wxyz\n");
  EXPECT_EQ(read_line(true, &length, buffer, sizeof buffer, line_callback, 77), 2);
  EXPECT_STREQ(buffer, "wxy");

  // A length beyond the buffer is pulled back into it.
  length = 99;
  type_text("\b\n");
  EXPECT_EQ(read_line(true, &length, buffer, sizeof buffer, line_callback, 77), 2);
  EXPECT_STREQ(buffer, "wx");
  EXPECT_EQ(read_line(true, &length, buffer, 0, line_callback, 77), 1);  // no room at all

  change_calls = 0;
  abort_after_changes = 1;
  type_text("q");
  EXPECT_EQ(read_line(true, &length, buffer, sizeof buffer, line_callback, 77), 1);
  abort_after_changes = -1;
  drain();
}

TEST(Joystick, EventsSetButtonsAndAxesAndBadNumbersAreIgnored) {
  test_support::ScratchDir dir;
  auto event = [](uint8_t type, uint8_t number, int16_t value) {
    const js_event e = {.time = 1, .value = value, .type = type, .number = number};
    return std::string(reinterpret_cast<const char*>(&e), sizeof e);
  };
  std::string events = event(JS_EVENT_BUTTON | JS_EVENT_INIT, 0, 1) + event(JS_EVENT_BUTTON, 3, 1) +
                       event(JS_EVENT_BUTTON, 31, 1) + event(JS_EVENT_BUTTON, 32, 0) +
                       event(JS_EVENT_AXIS, 1, -1234) + event(JS_EVENT_AXIS, 6, 99) +
                       event(JS_EVENT_BUTTON, 3, 0) + event(JS_EVENT_AXIS | JS_EVENT_INIT, 5, 32767);
  ASSERT_TRUE(test_support::write_file(dir.file("js0"), events));
  // The second joystick: js1 is missing, so the count goes on with djs0.
  ASSERT_TRUE(test_support::write_file(dir.file("djs0"), event(JS_EVENT_BUTTON, 2, 1)));
  std::string prefix = dir.path() + "/";
  set_joystick_device_prefix(prefix.c_str());

  JOYSTICK first;
  first.number = 1;
  ASSERT_TRUE(read_joystick(&first));
  EXPECT_EQ(first.buttons, 0x80000001u);
  EXPECT_EQ(first.axes[1], -1234);
  EXPECT_EQ(first.axes[5], 32767);
  EXPECT_EQ(first.axes[0], 0);

  JOYSTICK second;
  second.number = 2;
  ASSERT_TRUE(read_joystick(&second));
  EXPECT_EQ(second.buttons, 0x4u);

  JOYSTICK_CAPS caps;
  ASSERT_TRUE(get_joystick_caps(&first, &caps));
  // Not a real device: no buttons, no x and y axes.
  EXPECT_EQ(std::tuple(caps.button_count, caps.axis_min, caps.axis_max, caps.has_x_y), std::tuple(0u, -32767, 32767, 0));
  close_joysticks();  // opened anew as descriptor 0, with standard input closed
  EXPECT_EXIT(_exit(close(0) == 0 && get_joystick_caps(&first, &caps) && read_joystick(&second) ? 0 : 1),
              testing::ExitedWithCode(0), "");

  JOYSTICK third;
  third.number = 3;
  EXPECT_EQ(std::pair(read_joystick(&third), get_joystick_caps(&third, &caps)), std::pair(false, false));
  close_joysticks();
  set_joystick_device_prefix(dir.file("none/").c_str());
  EXPECT_FALSE(read_joystick(&first));
  EXPECT_EQ(open_joystick(1), -1);
  set_joystick_device_prefix(nullptr);
  close_joysticks();
}

// ---------------------------------------------------------------------------
// Real X input

namespace {

class InputX11 : public private_x::WINDOW_TEST {
protected:
  InputX11() : WINDOW_TEST("Input test", 400, 300) {}
  void SetUp() override {
    WINDOW_TEST::SetUp();
    if (!ready()) return;
    key_queue.set_size(10);
    key_queue.get_last_key();
    mouse.buttons = 0;
    mouse.wheel = 0;
  }
  void TearDown() override {
    if (probe) {
      XTestFakeMotionEvent(probe, DefaultScreen(probe), 1, 1, CurrentTime);
      settle();
    }
    WINDOW_TEST::TearDown();
  }

  void settle() {
    XSync(probe, False);
    for (int i = 0; i < 5; ++i) {
      XSync(x11.display, False);
      platform_update();
      usleep(2000);
    }
  }
  void tap(KeySym symbol) {
    key(symbol, true);
    key(symbol, false);
  }

  std::string typed() {
    std::string text;
    while (uint8_t c = key_queue.pop()) text += static_cast<char>(c);
    return text;
  }
};

}  // namespace

// Keys type their character: Shift+a "A", Ctrl+C "c", Return a line feed,
// a key without a character nothing; the key symbol is the plain key's.
TEST_F(InputX11, KeysArriveAsTypedCharactersAndKeySymbols) {
  const struct {
    KeySym modifier, symbol;  // modifier: NoSymbol for none
    const char* typed;
  } keys[] = {{NoSymbol, XK_a, "a"}, {XK_Shift_L, XK_a, "A"}, {XK_Control_L, XK_c, "c"},
              {NoSymbol, XK_Return, "\n"}, {NoSymbol, XK_Left, ""}};
  for (const auto& k : keys) {
    if (k.modifier != NoSymbol) key(k.modifier, true);
    tap(k.symbol);
    if (k.modifier != NoSymbol) key(k.modifier, false);
    settle();
    EXPECT_EQ(typed(), k.typed) << k.symbol;
    EXPECT_EQ(key_queue.get_last_key(), static_cast<uint32_t>(k.symbol));
  }
}

TEST_F(InputX11, TheEleventhCharacterTypedBeforeReadingIsDropped) {
  for (KeySym symbol : {XK_a, XK_b, XK_c, XK_d, XK_e, XK_f, XK_g, XK_h, XK_i, XK_j, XK_k}) tap(symbol);
  settle();
  EXPECT_EQ(typed(), "abcdefghij");
}

TEST_F(InputX11, PointerPositionButtonsAndWheel) {
  move(50, 60);
  ASSERT_TRUE(pump([] { return mouse.x == 50 && mouse.y == 60; }));

  button(true, 1);
  ASSERT_TRUE(pump([] { return mouse.buttons == MOUSE::LEFT; }));
  button(false, 1);
  ASSERT_TRUE(pump([] { return mouse.buttons == 0; }));

  // X's middle button is the program's button 3, X's right button its 2.
  button(true, 2);
  ASSERT_TRUE(pump([] { return mouse.buttons != 0; }));
  EXPECT_EQ(mouse.buttons, MOUSE::MIDDLE);
  button(false, 2);
  button(true, 3);
  ASSERT_TRUE(pump([] { return mouse.buttons == MOUSE::RIGHT; }));
  button(false, 3);
  ASSERT_TRUE(pump([] { return mouse.buttons == 0; }));

  for (int i = 0; i < 3; ++i) {
    button(true, 4);
    button(false, 4);
  }
  button(true, 5);
  button(false, 5);
  settle();
  EXPECT_EQ(mouse.wheel, 2);
  EXPECT_EQ(mouse.buttons, 0u);
  // Out of the window at one jump: no motion comes from outside, but the
  // pointer has left.
  move(-15, 30);
  ASSERT_TRUE(pump([] { return mouse.x == MOUSE::OUTSIDE; }));
  XEvent stray = {};  // an event that names no window moves nothing
  stray.xmotion.type = MotionNotify;
  stray.xmotion.x = 7;
  dispatch_x_event(&stray);
  EXPECT_EQ(mouse.x, MOUSE::OUTSIDE);
}

TEST_F(InputX11, LeavingTheWindowWhileDraggingReleasesEveryButton) {
  move(20, 20);
  button(true, 1);
  button(true, 3);
  ASSERT_TRUE(pump([] { return mouse.buttons == (MOUSE::LEFT | MOUSE::RIGHT); }));
  // The press holds the pointer: motion outside still reaches the window.
  move(-15, 30);
  ASSERT_TRUE(pump([] { return mouse.x == MOUSE::OUTSIDE; }));
  EXPECT_EQ(mouse.y, MOUSE::OUTSIDE);
  EXPECT_EQ(mouse.buttons, 0u);
  // A release out there still brings its coordinates as they come.
  button(false, 3);
  ASSERT_TRUE(pump([] { return mouse.y == 30; }));
  EXPECT_EQ(mouse.x, static_cast<uint16_t>(-15));
  button(false, 1);
  settle();
  move(10, 10);
  ASSERT_TRUE(pump([] { return mouse.x == 10; }));
}

TEST_F(InputX11, HeldKeysShowInTheKeyMapOnlyWithTheFocus) {
  key(XK_Shift_L, true);
  settle();
  EXPECT_TRUE(is_key_down(XK_Shift_L));
  EXPECT_FALSE(is_key_down(XK_a));
  key(XK_Shift_L, false);
  settle();
  EXPECT_FALSE(is_key_down(XK_Shift_L));

  // The settable key map stands in for real keys.
  uint8_t map[32] = {};
  KeyCode a = XKeysymToKeycode(probe, XK_a);
  map[a >> 3] = static_cast<uint8_t>(1 << (a & 7));
  set_key_map(map);
  EXPECT_TRUE(is_key_down(XK_a));

  // Another window has the focus: nothing is down for the program.
  Window other = XCreateSimpleWindow(probe, DefaultRootWindow(probe), 0, 0, 10, 10, 0, 0, 0);
  XMapWindow(probe, other);
  XSync(probe, False);
  XSetInputFocus(probe, other, RevertToParent, CurrentTime);
  XSync(probe, False);
  set_key_map(map);
  EXPECT_FALSE(is_key_down(XK_a));
  XDestroyWindow(probe, other);
  XSync(probe, False);

  // The focus follows the pointer: keys are the program's while the
  // pointer is in its window, and a tapped Return counts for its frame.
  XSetInputFocus(probe, PointerRoot, RevertToPointerRoot, CurrentTime);
  move(20, 20);
  settle();
  set_key_map(map);
  EXPECT_TRUE(is_key_down(XK_a));
  tap(XK_Return);
  EXPECT_TRUE(pump([] { return is_key_down(XK_Return); }));
}

// Keys the server's keyboard gets only for one tap (a changed mapping):
// Latin-1 symbols type their byte, others their character in a code run,
// which the queue hands back whole.
TEST_F(InputX11, KeyboardMappingChangesReachTheTypedCharacters) {
  tap(XK_a);  // Xlib now holds the keyboard mapping
  settle();
  typed();
  const struct {
    KeySym symbol;
    const char* queued;
    uint32_t character;
  } keys[] = {
      {XK_eacute, "\xE9", 0xE9},
      {XK_odiaeresis, "\xF6", 0xF6},
      {XK_ssharp, "\xDF", 0xDF},
      {XK_EuroSign, "\x01,20AC\x01", 0x20AC},
      {XK_Cyrillic_zhe, "\x01,0436\x01", 0x436},
      {0x1000416, "\x01,0416\x01", 0x416},  // a Unicode key symbol
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.queued);
    if (!tap_symbol(k.symbol)) GTEST_SKIP() << "no free key code";
    settle();
    EXPECT_EQ(key_queue.get_last_key(), static_cast<uint32_t>(k.symbol));
    EXPECT_EQ(typed(), k.queued);
    ASSERT_TRUE(tap_symbol(k.symbol));
    settle();
    EXPECT_EQ(key_queue.pop_char(), k.character);
    EXPECT_EQ(key_queue.pop_char(), 0u);
  }
}

TEST_F(InputX11, KeyNamesComeFromTheKeysFirstSymbol) {
  EXPECT_STREQ(get_key_name(XK_a, false), "a");
  EXPECT_STREQ(get_key_name(XK_a, true), "A");
  EXPECT_STREQ(get_key_name(XK_A, false), "a");
  EXPECT_STREQ(get_key_name(XK_Return, false), "Return");
  EXPECT_EQ(get_key_name_char(XK_b, true), 'B');
  EXPECT_STREQ(get_key_name(0, false), "");
}

// In full screen the window holds keyboard and pointer while it has the
// focus: its own focus events take and give back both, another window's
// change nothing.
TEST_F(InputX11, FullScreenGrabsFollowTheWindowsOwnFocus) {
  auto held = [&] {
    Window root = DefaultRootWindow(probe);
    const int keyboard = XGrabKeyboard(probe, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int pointer = XGrabPointer(probe, root, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XUngrabKeyboard(probe, CurrentTime);
    XUngrabPointer(probe, CurrentTime);
    XSync(probe, False);
    return std::pair{keyboard == AlreadyGrabbed, pointer == AlreadyGrabbed};
  };
  x11.full_screen = 1;  // as after a mode switch, which this server cannot make
  const struct {
    int type;
    bool own;
    bool grabbed;
  } rows[] = {{FocusIn, false, false}, {FocusIn, true, true}, {FocusOut, false, true}, {FocusOut, true, false}};
  for (const auto& row : rows) {
    XEvent event = {};
    event.xfocus.type = row.type;
    event.xfocus.display = x11.display;
    event.xfocus.window = row.own ? x11.window : DefaultRootWindow(probe);
    dispatch_x_event(&event);
    XSync(x11.display, False);
    EXPECT_EQ(held(), std::pair(row.grabbed, row.grabbed)) << row.type << " own " << row.own;
  }
  x11.full_screen = 0;
}

TEST_F(InputX11, PointerShapesVisibilityAndWarp) {
  EXPECT_FALSE(set_mouse_cursor(7));
  // A change of the window's pointer is a change on screen: the next frame
  // comes at once. A shape only recorded changes nothing there.
  for (auto [shape, record_only, presented] : {std::tuple{5, false, true}, {6, true, false}, {0, false, true},
                                               {255, false, true}, {6, false, true}, {5, true, false}, {0, false, true}}) {
    platform_update();
    EXPECT_TRUE(set_mouse_cursor(static_cast<uint8_t>(shape), record_only));
    EXPECT_EQ(get_presented(), presented) << shape;
    EXPECT_EQ(mouse.cursor_shape, shape);
  }

  platform_update();
  hide_pointer();
  EXPECT_EQ(mouse.pointer_shown, 0);
  EXPECT_TRUE(get_presented());
  for (auto [screen, accepted] : {std::pair<uint16_t, bool>{0, true}, {ALL_SCREENS, true}, {1, false}})  // already hidden
    EXPECT_EQ(set_pointer_visible(screen, false), accepted) << screen;
  EXPECT_TRUE(set_mouse_cursor(1));            // recorded while hidden
  show_pointer();
  EXPECT_EQ(mouse.pointer_shown, 1);

  platform_update();
  ASSERT_TRUE(set_mouse_position(0, 30, 40));
  EXPECT_TRUE(get_presented());
  EXPECT_EQ((std::pair<int, int>(mouse.x, mouse.y)), std::pair(30, 40));
  XSync(x11.display, False);
  Window root = 0, child = 0;
  int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
  unsigned state = 0;
  XQueryPointer(probe, x11.window, &root, &child, &root_x, &root_y, &win_x, &win_y, &state);
  EXPECT_EQ(std::pair(win_x, win_y), std::pair(30, 40));
  // The pointer over the window takes the shape, and the window's own again.
  unsigned long shown[4] = {};
  for (int i = 0; uint8_t shape : {255, 1, 5, 0}) {
    EXPECT_TRUE(set_mouse_cursor(shape));
    XSync(x11.display, False);
    shown[i++] = shown_pointer(probe);
  }
  // Hidden, it shows the blank pointer; shown again, the shape once more.
  hide_pointer();
  XSync(x11.display, False);
  std::vector<unsigned long> blank_picture, clear(66, 0);  // 8 by 8, every pixel clear
  const unsigned long blank = shown_pointer(probe, &blank_picture);
  clear[0] = clear[1] = 8;
  show_pointer();
  XSync(x11.display, False);
  if (shown[0]) {
    EXPECT_NE(shown[1], shown[0]);
    EXPECT_NE(shown[2], shown[0]);
    EXPECT_EQ(shown[3], shown[0]);
    EXPECT_NE(blank, shown[3]);
    EXPECT_EQ(blank_picture, clear);
    EXPECT_EQ(shown_pointer(probe), shown[3]);
  }

  // Without a window only shape 255 is accepted.
  close_window(0);
  EXPECT_EQ(mouse.cursor_shape, 255);  // forgotten: a new window sets its shape afresh
  EXPECT_FALSE(set_mouse_cursor(1));
  EXPECT_TRUE(set_mouse_cursor(255));
  EXPECT_FALSE(set_pointer_visible(0, false));
  EXPECT_FALSE(set_mouse_position(0, 1, 1));
}

// With XKB, Xlib follows layout changes by itself; without it only the
// MappingNotify refresh brings the new symbols. The mapping test runs again
// in a child whose Xlib leaves XKB alone.
TEST(InputWithoutXkb, KeyboardMappingChangesNeedTheRefresh) {
  if (getenv("VORN_INNER_RUN")) GTEST_SKIP() << "already the inner run";
  Display* probe = XOpenDisplay(nullptr);
  if (!probe) GTEST_SKIP() << "no X display";
  XCloseDisplay(probe);
  test_support::RunResult run = test_support::run_program(
      {"/proc/self/exe", "--gtest_filter=InputX11.KeyboardMappingChangesReachTheTypedCharacters"},
      {"XKB_DISABLE=1", "VORN_INNER_RUN=1"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[  PASSED  ] 1 test."), std::string::npos) << run.out;
}
