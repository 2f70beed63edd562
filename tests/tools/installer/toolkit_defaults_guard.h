#pragma once
// Reading installer data or a skin replaces the toolkit's dialog styles,
// tooltip style, dialog effects, picture cache and look-up mode; a guard
// taken before puts them back when it goes (or on restore()).
#include "default_dialog_styles.h"
#include "dialog_effects.h"
#include "image_cache.h"
#include "skin_frame.h"
#include "wm_button.h"

namespace installer_test {

struct TOOLKIT_DEFAULTS_GUARD {
  ~TOOLKIT_DEFAULTS_GUARD() { restore(); }
  void restore() {
    set_default_dialog_style(body);
    set_default_dialog_title_style(title);
    set_default_dialog_button_style(button);
    WM_BUTTON::tooltip_style().copy(tooltip);
    default_dialog_effects() = effects;
    skin_load_flags = look_up;
    WM_BUTTON::tooltip_style_set = loaded;
    wm_image_cache().purge();
  }

  // The built-in look is set up first, so that the copies below hold it.
  int setup = (init_default_dialog_styles(), 0);
  WM_STYLE_SET body{default_dialog_style()}, title{default_dialog_title_style()},
      button{default_dialog_button_style()}, tooltip{WM_BUTTON::tooltip_style()};
  DIALOG_EFFECTS effects = default_dialog_effects();
  uint8_t look_up = skin_load_flags;
  uint8_t loaded = WM_BUTTON::tooltip_style_set;
};

}  // namespace installer_test
