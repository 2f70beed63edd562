#pragma once
// Reading installer data or a skin replaces the toolkit's dialog styles,
// tooltip style, dialog effects, picture cache and look-up mode; a guard
// taken before puts them back when it goes (or on restore()).
#include "default_dialog_styles.h"
#include "dialog_effects.h"
#include "image_cache.h"
#include "skin_frame.h"
#include "tooltip_style_loaded.h"
#include "wm_button.h"

namespace installer_test {

class TOOLKIT_DEFAULTS_GUARD {
public:
  TOOLKIT_DEFAULTS_GUARD() {
    init_default_dialog_styles();
    body = default_dialog_style();
    title = default_dialog_title_style();
    button = default_dialog_button_style();
    tooltip = WM_BUTTON::tooltip_style();
    effects = default_dialog_effects();
    look_up = skin_load_flags;
    loaded = tooltip_style_loaded;
  }
  ~TOOLKIT_DEFAULTS_GUARD() { restore(); }
  TOOLKIT_DEFAULTS_GUARD(const TOOLKIT_DEFAULTS_GUARD&) = delete;
  TOOLKIT_DEFAULTS_GUARD& operator=(const TOOLKIT_DEFAULTS_GUARD&) = delete;

  void restore() {
    set_default_dialog_style(body);
    set_default_dialog_title_style(title);
    set_default_dialog_button_style(button);
    WM_BUTTON::tooltip_style().copy(tooltip);
    default_dialog_effects() = effects;
    skin_load_flags = look_up;
    tooltip_style_loaded = loaded;
    wm_image_cache().purge();
  }

  WM_STYLE_SET body, title, button, tooltip;
  DIALOG_EFFECTS effects;
  uint8_t look_up = 0;
  uint8_t loaded = 0;
};

}  // namespace installer_test
