// The about box: logo, about text and Close button in the client area.
#include "wm_about.h"

#include <algorithm>

#include "desktop.h"
#include "image.h"
#include "system_info.h"
#include "wm_button.h"
#include "wm_confirm.h"
#include "wm_image.h"
#include "wm_text_win.h"

namespace {
int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }
}  // namespace

WM_ABOUT::WM_ABOUT(int16_t nx, int16_t ny, int16_t w, int16_t h)
    : WM_DIALOG(nx, ny, w == -1 ? DEFAULT_WIDTH : w, h == -1 ? DEFAULT_HEIGHT : h, "About",
                nullptr, nullptr, nullptr, nullptr) {
  const WM_STYLE_SET& b = body_style;
  const int32_t cw = int32_t{width} - b.border_left_gap - b.border_right_gap - b.cell_left_gap -
                     b.cell_right_gap;
  const int32_t ch = int32_t{height} - get_client_top() - b.border_bottom_gap - b.cell_bottom_gap;

  // A far corner before the origin fits the button to its text.
  close_button = new WM_BUTTON(0, 0, -1, -1, &button_style, "Close", nullptr, on_click,
                               CLOSE_CLICKED, 0, button_event::PRESS | button_event::RELEASE);
  close_button->set_position(i16((cw - close_button->width) / 2),
                             i16(ch - close_button->height));
  close_button->selectable = 1;
  default_focus = close_button;  // Return closes the box again, and so does Escape
  escape_button = close_button;
  add_child(close_button, true);

  IMAGE logo;
  load_builtin_image_b(logo);
  const int32_t logo_w = std::max<int32_t>(logo.width, 0), logo_h = std::max<int32_t>(logo.height, 0);
  if (logo_w > 0) {
    auto* picture = new WM_IMAGE(0, i16((ch - logo_h) / 4), static_cast<uint16_t>(logo_w),
                                 static_cast<uint16_t>(logo_h), true, nullptr, 0, 0, 3);
    picture->image.copy(logo);
    add_child(picture, true);
  }

  WM_STYLE_SET text_style;
  text_style.drawing_flags = SSF_LEFT_JUSTIFY_TEXT;
  text_style.font_id = button_style.font_id;
  text_style.font_x_sz = button_style.font_x_sz;
  text_style.font_y_sz = button_style.font_y_sz;
  text_style.fg_colour = button_style.fg_colour;
  text_style.bg_colour = COLOUR_INVISIBLE;
  // The bar in the button's look: a slider in its text colour on its face.
  WM_STYLE_SET bar_style;
  bar_style.bg_colour = button_style.bg_colour;
  bar_style.active_colour = bar_style.fg_colour =
      (button_style.fg_colour >> 24) ? button_style.fg_colour : body_style.fg_colour;
  text_window = new WM_TEXT_WIN(i16(logo_w), 0, i16(cw - 1), i16(ch - 1 - close_button->height),
                                &text_style, &bar_style, 50, false, on_click, TEXT_CLICKED, 0);
  add_child(text_window, true);
  // The title and build lines come first: the box opens at them.
  text_window->keep_at_top = 1;
  text_window->add_text(get_about_text(true), "credits", &body_style.fg_colour, visible != 0,
                        true);
  leaves_once_closed = 1;
  kind |= wm_kind::ABOUT;
  notify_created();
}

int32_t WM_ABOUT::on_click(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t) {
  if (word_1 == CLOSE_CLICKED) return WM_CONFIRM::close_on_click(object, 0, 0);
  if (word_1 == TEXT_CLICKED) open_in_browser(WEB_ADDRESS);
  return 0;
}
