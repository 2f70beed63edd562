#include "wm_numpad_label.h"

#include <algorithm>

#include "image.h"
#include "screen.h"

WM_NUMPAD_LABEL::WM_NUMPAD_LABEL(int16_t x, int16_t y, const char* text, COLOUR text_colour,
                                 COLOUR background, bool is_visible)
    : WM_SCRIPT(x, y, -1, -1, text, 255, WM_STYLE_SET::UNSET, WM_STYLE_SET::UNSET, text_colour,
                background) {
  if (!is_visible) visible = needs_redraw = 0;
}

int32_t WM_NUMPAD_LABEL::text_width() const {
  IMAGE* s = drawing_surface() ? drawing_surface() : get_screen_image();
  const char* t = text.get_text(PARAMETER::VALUE);
  const int32_t w = s->get_text_width(font, font_width, static_cast<int16_t>(font_height),
                                      t ? t : "");
  return w + left_gap + right_gap;
}

void WM_NUMPAD_LABEL::align_right(int32_t right_x) {
  const int32_t w = std::clamp<int32_t>(text_width(), 1, 65535);
  const int32_t nx = right_x - w;
  if (w == width && nx == x) return;
  if (visible) invalidate();  // the old place
  set_size(static_cast<uint16_t>(w), height, false);
  set_position(static_cast<int16_t>(nx), y);
  if (visible) show();
}
