#include "click_rule.h"

#include "input.h"

int32_t CLICK_RULE::process(WM_SCREEN_OBJECT& owner) {
  const uint8_t held = (mouse.buttons & MOUSE::LEFT) ? 1 : 0;
  const bool pointer_in = mouse.x != MOUSE::OUTSIDE && mouse.y != MOUSE::OUTSIDE &&
                          owner.hit_test(static_cast<int16_t>(mouse.x),
                                         static_cast<int16_t>(mouse.y));
  const bool event = held != last_button || (repeat_while_held && held);
  last_button = held;
  if (!pointer_in || !event) return 0;

  bool fires = false;
  switch (click_mode) {
    case CLICK_MODE::ON_BOTH: fires = true; break;
    case CLICK_MODE::ON_PRESS: fires = held; break;
    case CLICK_MODE::ON_RELEASE: fires = !held; break;
    default: break;  // unknown modes never fire
  }
  if (!fires) return 0;

  click_x = static_cast<int16_t>(mouse.x - owner.x);
  click_y = static_cast<int16_t>(mouse.y - owner.y);
  // The rule lives inside its owner: both go if the callback deletes it.
  const WM_SCREEN_OBJECT::LIFE_WATCH watch(&owner);
  const int32_t result = owner.fire_callback(true);
  if (!watch.alive()) return result;
  click_x = click_y = -1;
  return result;
}
