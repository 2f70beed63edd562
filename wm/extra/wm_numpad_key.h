#pragma once
// WM_NUMPAD_KEY is the flat colour button the numeric keypad is built from:
// one background for every state, its own text colour, drawing and edge
// flags and a tooltip. Other dialogs may use it for keys of the same look.
#include <cstdint>

#include "wm_button.h"

class WM_NUMPAD_KEY : public WM_BUTTON {
public:
  // Corners as WM_BUTTON's; a null or empty tooltip gives none.
  WM_NUMPAD_KEY(int16_t x1, int16_t y1, int16_t x2, int16_t y2, COLOUR background,
                COLOUR text_colour, const char* text, const char* tooltip_text,
                uint32_t draw_flags, uint16_t edge_flags, WM_CALLBACK callback, uintptr_t word_1,
                uintptr_t word_2, bool visible, uint8_t event_mask);
};
