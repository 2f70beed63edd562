#pragma once
// Drives the polled input state with no display, through the same calls
// that the window's X event translation makes: a widget sees exactly what a
// real pointer and keyboard would give it. Times come from a fake clock.
#include <cstdint>

namespace test_support {

class INPUT_DRIVER {
public:
  // Installs the fake clock at start_ms and starts from the pointer outside
  // the window, no held buttons, a still wheel, an empty typed-character
  // queue and no last key.
  explicit INPUT_DRIVER(uint64_t start_ms = 1000000);
  // Puts the real clock back.
  ~INPUT_DRIVER();
  INPUT_DRIVER(const INPUT_DRIVER&) = delete;
  INPUT_DRIVER& operator=(const INPUT_DRIVER&) = delete;

  // The input clock counts calendar seconds: milliseconds / 1000.
  void advance_ms(uint64_t ms);
  uint64_t now_ms() const;

  // The pointer to window pixel (x, y); beyond the screen IMAGE it leaves
  // the window, which releases every held button.
  void move_to(int32_t x, int32_t y);
  // Buttons in the program's numbering (1 left, 2 right, 3 middle), at the
  // last position given to move_to. Each press, release, click and key
  // comes in a platform frame of its own (platform_input_frame); a click's
  // press and release, like a key's, come in the same one.
  void press(uint32_t button);
  void release(uint32_t button);
  void click(uint32_t button);
  // Steps up (positive) or down (negative).
  void turn_wheel(int32_t steps);

  // One key press: its character (0 = a key without one; above 255 a code
  // point, queued in its system-text run) and the key symbol of the plain
  // key.
  void key(uint32_t key_symbol, uint32_t character = 0);
  // Each byte as a key press: letters with their lower-case key symbol,
  // '\n' as Return, '\b' as BackSpace, '\t' as Tab, 27 as Escape, other
  // bytes with their Latin-1 key symbol.
  void type(const char* text);

private:
  int32_t x;
  int32_t y;
};

}  // namespace test_support
