#pragma once
// Keyboard, mouse, pointer and joystick state. The platform frame turns X
// events into this plain state once per frame; widgets poll it and never see
// an X event. Times here are calendar seconds, read through one clock that
// tests may replace.
#include <cstdint>

// The queue of typed characters (8-bit system text) and the key symbols
// pressed. Characters queue as they are typed; key symbols reach the
// widgets one per input frame, in the order they were pressed, so that
// Tab then Return typed between two frames moves the focus and then
// presses. One instance, key_queue, made with room for 10 characters by
// the global INPUT_HANDLE.
class KEY_QUEUE {
public:
  KEY_QUEUE() = default;
  ~KEY_QUEUE();
  KEY_QUEUE(const KEY_QUEUE&) = delete;
  KEY_QUEUE& operator=(const KEY_QUEUE&) = delete;

  // Negative: nothing. The current capacity: the queue is emptied. Any other
  // value makes a new empty queue of that capacity (0: no queue at all).
  void set_size(int32_t new_capacity);
  // A typed character: stamps the key time; a code above 255 that is not a
  // sign-extended byte becomes '?', others keep their low byte; 0, a full
  // queue or no queue adds nothing.
  void on_key(uint32_t code);
  // The same character path; the key symbol is not used.
  void on_key(uint32_t code, uint32_t key_symbol);
  // The oldest character, removed; 0 when the queue is empty.
  uint8_t pop();
  // The oldest character, left in the queue; 0 when the queue is empty.
  uint8_t peek() const;
  // Stores the key symbol and stamps the key time.
  void set_last_key(uint32_t key_symbol);
  void set_last_key(uint32_t code, uint32_t key_symbol);
  // A key press as the window reports it: the character (0 = a key without
  // one; carriage return types a line feed) is queued at once, a character
  // above 255 in its system-text run, whole or not at all. The key symbol
  // of the plain key, with the window's modifier state at the press, is
  // the frame's key and becomes the last key when no key came earlier in
  // this input frame; otherwise it waits for a frame of its own.
  void on_key_press(uint32_t character, uint32_t key_symbol, uint32_t modifiers = 0);
  // The oldest character, removed: a byte, or the character a run at the
  // front of the queue carries, the run taken whole; 0 when empty.
  uint32_t pop_char();
  // The last key symbol, then forgotten (0 = none since the last call).
  uint32_t get_last_key();
  uint32_t take_last_key() { return get_last_key(); }
  // The last key symbol, left in place for whoever reads it next.
  uint32_t peek_last_key() const { return last_key; }
  // Whether the key is this input frame's key: a key pressed and let go
  // between two frames still counts as held for its frame.
  bool pressed_in_frame(uint32_t key_symbol) const { return key_symbol != 0 && key_symbol == frame_key; }
  // The window's modifier state when this frame's key was pressed; 0
  // without one.
  uint32_t frame_modifiers() const { return frame_key ? frame_key_modifiers : 0; }
  // The input frame has ended: its key is forgotten. After a frame without
  // a key, the oldest waiting key becomes the next frame's key and the last
  // key; so a key's frame is followed by one where it shows let go.
  void next_frame();
  // Key symbols that wait for a frame of their own.
  int32_t get_waiting_key_count() const { return waiting_count; }

  int32_t get_capacity() const { return capacity; }
  int32_t get_count() const { return last + 1; }
  int64_t get_last_key_time() const { return last_key_time; }

private:
  uint8_t* buffer = nullptr;  // owned; null = no queue
  int32_t capacity = 0;
  int32_t last = -1;  // index of the newest character; -1 = empty
  uint32_t last_key = 0;
  int64_t last_key_time = 0;
  struct PRESSED_KEY {
    uint32_t key_symbol = 0;
    uint32_t modifiers = 0;
  };
  void take_frame_key(const PRESSED_KEY& key);
  uint32_t frame_key = 0;  // 0 = no key in this input frame
  uint32_t frame_key_modifiers = 0;
  PRESSED_KEY waiting[16] = {};  // oldest first; more within one frame are dropped
  int32_t waiting_count = 0;
};

extern KEY_QUEUE key_queue;

// Position and buttons of the pointer. One instance, mouse; widgets read the
// fields directly.
struct MOUSE {
  static constexpr uint16_t OUTSIDE = 65535;
  static constexpr uint32_t LEFT = 0x1;
  static constexpr uint32_t RIGHT = 0x2;
  static constexpr uint32_t MIDDLE = 0x4;

  uint16_t x = OUTSIDE;  // window pixels; OUTSIDE while the pointer is not over the window
  uint16_t y = OUTSIDE;
  int32_t wheel = 0;     // +1 per step up, -1 per step down; the reader sets it back to 0
  uint32_t buttons = 0;  // bit n-1 for button n: 1 left, 2 right, 3 middle
  uint16_t button_count = 0;
  int64_t last_mouse_time = 0;
  int64_t last_button_time = 0;
  int64_t button_interval = 0;  // seconds between the last two button events
  int64_t left_press_time = 0;
  int64_t left_press_interval = 0;
  int64_t left_release_time = 0;
  int64_t left_release_interval = 0;
  uint8_t pointer_shown = 1;
  uint8_t cursor_shape = 255;  // requested pointer shape; 255 = default

  // A button (1 left, 2 right, 3 middle, up to 32) went down or up: stamps
  // the times and sets or clears its bit.
  void button_event(uint32_t button, bool down);

  // What the window reports, in window pixels. Motion inside the screen
  // IMAGE stores the position and the time; motion beyond it leaves the
  // window (OUTSIDE) and releases every held button, storing no time.
  void on_motion(int32_t x, int32_t y);
  // A button event stores its position as it comes (also from outside the
  // window during a drag), then button_event. The times are those of the
  // event's arrival; a button that already changed in this input frame
  // keeps its next change, and everything after it, for the next frame.
  void on_button(int32_t x, int32_t y, uint32_t button, bool down);
  // Wheel steps (+ up, - down) at a position; 0 steps only stores the
  // position and the time.
  void on_wheel(int32_t x, int32_t y, int32_t steps);
  // The input frame has ended (see end_input_frame): the events held back
  // come in, in order, up to the next change of a button that changed.
  void next_frame();

  // Events that wait for a later input frame, oldest first.
  struct HELD_EVENT {
    enum KIND : uint8_t { MOTION, BUTTON, LEAVE } kind = MOTION;
    uint8_t down = 0;
    uint16_t button = 0;
    int32_t x = 0, y = 0;
  };
  static constexpr int HELD_CAPACITY = 32;
  HELD_EVENT held[HELD_CAPACITY] = {};
  int32_t held_count = 0;
  uint32_t changed_in_frame = 0;  // button bits that changed in this input frame

private:
  void hold_or_apply(const HELD_EVENT& event);
  void apply(const HELD_EVENT& event);
  void stamp_button(uint32_t button, bool down);
};

extern MOUSE mouse;

// Input frames. A press and a release that arrive between two frames both
// reach the widgets, in order: a button or key that changed in this input
// frame shows that change until the frame ends, and its next change waits
// for the frame after. Whoever reads the input once per frame (the page
// manager) ends the frame after reading; until one does, every platform
// frame ends one.
void end_input_frame();
// The platform frame's call: ends an input frame unless a reader does.
void platform_input_frame();
// The reader is gone: platform frames end the input frames again.
void forget_input_frame_reader();

// Input entry points hold one while they run; one global handle lives for
// the whole run, so the typed-character queue stays. The last handle to go
// frees the queue.
class INPUT_HANDLE {
public:
  INPUT_HANDLE();
  ~INPUT_HANDLE();
  INPUT_HANDLE(const INPUT_HANDLE&) = delete;
  INPUT_HANDLE& operator=(const INPUT_HANDLE&) = delete;
};

uint16_t get_mouse_button_count();  // 3
// The later of the last key time and the last pointer time.
int64_t get_last_input_time();

// Whether the key of an X key symbol is held, from the key map of the last
// platform frame or because it was pressed in this input frame; false while
// another window has the input focus. Without a window only the keys
// pressed in this input frame count.
bool is_key_down(uint32_t key_symbol);
// The X name of the key's first symbol in lower or upper case ("" when it
// has none). The text lives in a static buffer that the next call reuses.
const char* get_key_name(uint32_t key_symbol, bool upper_case);
char get_key_name_char(uint32_t key_symbol, bool upper_case);

// Pointer shapes: 0 the window's default, 1 hand2, 2 hand1, 3 sizing,
// 4 font glyph 91 (a bold plus), 5 text I-beam, 6 watch, 255 the default with every made cursor
// freed. With record_only (or while the pointer is hidden) the shape is only
// recorded. False for other shapes, when a cursor cannot be made, and
// without a window (except 255).
bool set_mouse_cursor(uint8_t shape, bool record_only = false);
// Shows or hides the pointer over the window (hidden = the blank cursor).
bool set_pointer_visible(uint16_t screen, bool visible);
void hide_pointer();
void show_pointer();
// Moves the pointer to window pixel (x, y) and records it as the position.
bool set_mouse_position(uint16_t screen, int16_t x, int16_t y);

// Keyboard and pointer grabs of a full-screen window.
void grab_input();
void release_input_grabs();

// Line input from the typed-character queue into buffer (size bytes, kept
// zero-terminated; *length characters already in it). Backspace removes a
// character, Return ends the input, other characters below 32 are ignored.
// The callback gets READ_LINE_IDLE while waiting and READ_LINE_CHANGED after
// every change (and once more at Return); false from it aborts. With wait
// clear at most one character is handled. Results: 1 aborted, 2 Return,
// 3 queue empty (no wait), 4 one character handled (no wait).
constexpr uint32_t READ_LINE_IDLE = 0;
constexpr uint32_t READ_LINE_CHANGED = 1;
using READ_LINE_CALLBACK = bool (*)(uint32_t event, intptr_t user);
int32_t read_line(bool wait, int32_t* length, char* buffer, int32_t size,
                  READ_LINE_CALLBACK callback, intptr_t user);

// Joysticks 1 and 2 (Linux joystick devices). Nothing in the system uses
// them; they belong to the platform's interface.
struct JOYSTICK {
  uint8_t number = 1;     // 1 or 2
  uint32_t buttons = 0;   // bit n for button n (buttons 0..31)
  int32_t axes[6] = {};
};
struct JOYSTICK_CAPS {
  uint32_t button_count = 0;
  uint32_t axis_count = 0;
  int32_t axis_min = -32767;
  int32_t axis_max = 32767;
  uint8_t has_x_y = 0;  // more than one axis
  uint8_t has_z_r = 0;  // more than two axes
};
// The descriptor of the number-th joystick device that opens ("js0",
// "js1", ..., then "djs0", ...), or -1. It stays open until shutdown.
int open_joystick(uint8_t number);
// Takes every waiting event of the record's joystick (opened on first use)
// and copies its state into the record. False when it cannot be opened.
bool read_joystick(JOYSTICK* joystick);
bool get_joystick_caps(const JOYSTICK* joystick, JOYSTICK_CAPS* caps);
void close_joysticks();

// ---- Test seams.

// Replaces the key map of the last platform frame (32 bytes, one bit per
// key code, as XQueryKeymap gives it).
void set_key_map(const uint8_t map[32]);
// Folder prefix of the joystick devices ("/dev/" by default); null restores
// it. Device names are appended to it.
void set_joystick_device_prefix(const char* prefix);
