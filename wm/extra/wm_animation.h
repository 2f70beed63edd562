#pragma once
// WM_ANIMATION shows a sprite strip as a moving picture: it steps to the
// next frame every frame time of the frame clock, looping or playing once,
// draws the frame centred in its rectangle, and reports clicks through its
// action callback by the click mode, like the ticker.
#include <cstdint>

#include "click_rule.h"
#include "sprite.h"
#include "wm_screen_object.h"

class WM_ANIMATION : public WM_SCREEN_OBJECT {
public:
  // The strip is not owned and must outlive the widget. The widget takes
  // one frame's size; frame count and strip as SPRITE::init (fatal 0x28,
  // 0x29).
  WM_ANIMATION(uint16_t x, uint16_t y, const IMAGE* strip, int16_t frame_count, uint16_t frame_time,
               bool visible, WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
               CLICK_MODE click_mode);
  ~WM_ANIMATION() override;

  int32_t process() override;
  // Steps the frame; the result is that of the children, never the redraw.
  int32_t update(bool overlays) override;
  // The next frame when its time has come; true when it changed (and the
  // widget asked to be redrawn).
  bool tick();
  bool is_selectable() override { return false; }
  void draw() override;

  SPRITE& get_sprite() { return sprite; }

  CLICK_RULE click;
  uint8_t playing = 1;
  uint8_t play_once = 0;     // stops when the frame wraps to 1
  uint16_t border_flags = 0; // 0: no border

private:
  SPRITE sprite;
  uint32_t frame_time;  // ms
  uint32_t last_frame_change = 0;
};
