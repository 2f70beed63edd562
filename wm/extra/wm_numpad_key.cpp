#include "wm_numpad_key.h"

WM_NUMPAD_KEY::WM_NUMPAD_KEY(int16_t x1, int16_t y1, int16_t x2, int16_t y2, COLOUR background,
                             COLOUR text_colour, const char* text, const char* tooltip_text,
                             uint32_t draw_flags, uint16_t edge_flags, WM_CALLBACK callback,
                             uintptr_t word_1, uintptr_t word_2, bool visible, uint8_t event_mask)
    : WM_BUTTON(x1, y1, x2, y2, background, text_colour, text, 255, WM_STYLE_SET::UNSET,
                WM_STYLE_SET::UNSET, BUTTON_BEHAVIOUR::NORMAL, draw_flags, edge_flags, callback,
                word_1, word_2, visible, event_mask) {
  if (tooltip_text && *tooltip_text) set_tooltip(tooltip_text);
}
