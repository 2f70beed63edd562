#pragma once
// WM_CHECK_BOX is an on/off choice made of two child buttons it owns: a
// square box showing "X" (or the box's active state images) while checked,
// and a label beside it. A click on either toggles the state, then the
// check box's action callback hears of it.
#include <cstdint>

#include "wm_screen_object.h"

class WM_BUTTON;
class WM_STYLE_SET;

class WM_CHECK_BOX : public WM_SCREEN_OBJECT {
public:
  static constexpr int32_t MIN_BOX_SIZE = 10;

  // Plain form. Font 255 and negative sizes take the surface's defaults.
  WM_CHECK_BOX(int16_t x, int16_t y, COLOUR background, COLOUR text_colour, const char* label_text,
               uint8_t font, int16_t font_w, int16_t font_h, WM_CALLBACK callback,
               uintptr_t word_1, uintptr_t word_2, bool visible);
  // Style form: colours and font from the style; its image_filename gives
  // the box its state images, and the label takes the style's optional
  // hover, flashing, disabled and active colours.
  WM_CHECK_BOX(int16_t x, int16_t y, const WM_STYLE_SET* style, const char* label_text,
               WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2);

  void hide(bool overlays, bool children) override;
  // The size follows the children.
  void set_size(uint16_t, uint16_t, bool) override {}
  bool is_selectable() override;
  // The box is the check box's one stop: it takes the focus.
  void set_focus() override;
  void draw() override {}

  // Makes both children afresh, unchecked, and takes their joint size.
  void init(int16_t x, int16_t y, COLOUR background, COLOUR text_colour, const char* label_text,
            uint8_t font, int16_t font_w, int16_t font_h);
  void set_checked(bool on);
  // Flips the state, then calls the action callback (its result unused).
  void toggle();
  bool is_checked() const { return checked != 0; }

  uint8_t checked = 0;
  WM_BUTTON* box = nullptr;    // owned through the child list
  WM_BUTTON* label = nullptr;  // owned through the child list

private:
  // The click callback of both children: word 1 is the check box.
  static int32_t toggle_clicked(WM_SCREEN_OBJECT* button, uintptr_t check_box, uintptr_t);
  // The box's state callback: active while checked.
  static uint8_t is_box_checked(WM_BUTTON* button, uintptr_t check_box);
  void show_state();
};
