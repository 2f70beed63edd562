#include "default_dialog_styles.h"

#include <initializer_list>

namespace {

struct DEFAULT_DIALOG_STYLES {
  WM_STYLE_SET body;
  WM_STYLE_SET title;
  WM_STYLE_SET button;
  uint8_t initialised = 0;
};

// Made on first use, so that callers in other static objects find them
// built; destroyed at exit (their pictures go back to the toolkit's image
// cache, which outlives them).
DEFAULT_DIALOG_STYLES& styles() {
  static DEFAULT_DIALOG_STYLES all;
  return all;
}

}  // namespace

void init_default_dialog_styles() {
  DEFAULT_DIALOG_STYLES& all = styles();
  if (all.initialised) return;
  all.initialised = 1;

  all.body.shading_type = 4;
  all.body.fg_colour = 0xFF0000FF;
  all.body.bg_colour = 0xFFC0C0C0;
  all.body.shading_flags &= 0xFF0F;  // no rounded corners

  all.title.shading_type = 4;
  all.title.fg_colour = 0xFF000000;
  all.title.bg_colour = 0xFFFF0000;

  WM_STYLE_SET& button = all.button;
  button.shading_type = 4;
  button.fg_colour = 0xFF000000;
  button.bg_colour = 0xFFC0C0C0;
  button.highlight_colour = 0xFFFF0000;
  button.highlight_text_colour = 0xFF000000;
  button.drawing_flags = SSF_DRAW_BORDER;
  button.shading_flags |= 0xF0;  // rounded corners
  // 16-bit arithmetic: the unset 65535 becomes 4.
  for (uint16_t* gap : {&button.border_left_gap, &button.border_right_gap, &button.border_top_gap,
                        &button.border_bottom_gap})
    *gap = static_cast<uint16_t>(*gap + 5);
}

WM_STYLE_SET& set_default_dialog_style(const WM_STYLE_SET& style) {
  init_default_dialog_styles();
  return styles().body.copy(style);
}

WM_STYLE_SET& set_default_dialog_title_style(const WM_STYLE_SET& style) {
  init_default_dialog_styles();
  return styles().title.copy(style);
}

WM_STYLE_SET& set_default_dialog_button_style(const WM_STYLE_SET& style) {
  init_default_dialog_styles();
  return styles().button.copy(style);
}

WM_STYLE_SET& default_dialog_style() { return styles().body; }
WM_STYLE_SET& default_dialog_title_style() { return styles().title; }
WM_STYLE_SET& default_dialog_button_style() { return styles().button; }
