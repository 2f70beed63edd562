#pragma once
// CLICK_RULE is the pointer rule that the ticker and the animation share:
// while the pointer is over the widget, an edge of the left button (or a
// held button when repeat-while-held is on) fires the widget's action
// callback by the click mode, with the pointer position relative to the
// widget readable while the callback runs.
#include <cstdint>

#include "wm_screen_object.h"

class CLICK_RULE {
public:
  explicit CLICK_RULE(CLICK_MODE mode) : click_mode(mode) {}
  CLICK_RULE(const CLICK_RULE&) = delete;
  CLICK_RULE& operator=(const CLICK_RULE&) = delete;

  // One frame of the rule for `owner`, whose rule this is; the callback's
  // answer, or 0. The owner may be deleted by its callback: nothing of it
  // (nor of this rule) is touched afterwards.
  int32_t process(WM_SCREEN_OBJECT& owner);

  CLICK_MODE click_mode;
  uint8_t repeat_while_held = 0;
  // Relative to the widget while the action callback runs; -1 otherwise.
  int16_t click_x = -1;
  int16_t click_y = -1;

private:
  uint8_t last_button = 0;
};
