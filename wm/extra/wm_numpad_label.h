#pragma once
// WM_NUMPAD_LABEL is a plain colour label sized to its text in the drawing
// surface's default font: the keypad's captions and value fields, usable
// wherever a dialog wants a caption without a style.
#include <cstdint>

#include "wm_script.h"

class WM_NUMPAD_LABEL : public WM_SCRIPT {
public:
  WM_NUMPAD_LABEL(int16_t x, int16_t y, const char* text, COLOUR text_colour, COLOUR background,
                  bool visible);
  // Sized to the text again with the right edge kept at right_x.
  void align_right(int32_t right_x);
  // The width the text needs with the label's gaps.
  int32_t text_width() const;
};
