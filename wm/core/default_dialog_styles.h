#pragma once
// The three styles that dialogs fall back on (body, title, buttons): built
// with defaults, given their built-in look once, and replaced by the
// application from its skin. WM_DIALOG's init_default_styles and
// set_default_*_style forward here.
#include "wm_style_set.h"

// One-time setup of the built-in look; later calls do nothing.
void init_default_dialog_styles();

// Each runs the one-time setup, copies the style into its global and
// returns the global.
WM_STYLE_SET& set_default_dialog_style(const WM_STYLE_SET& style);
WM_STYLE_SET& set_default_dialog_title_style(const WM_STYLE_SET& style);
WM_STYLE_SET& set_default_dialog_button_style(const WM_STYLE_SET& style);

// The globals as they stand (no setup is run).
WM_STYLE_SET& default_dialog_style();
WM_STYLE_SET& default_dialog_title_style();
WM_STYLE_SET& default_dialog_button_style();
