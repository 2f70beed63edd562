#pragma once
// Whether the tooltip style (WM_BUTTON::tooltip_style) holds a look that
// the application gave it, from its skin or its installer data, rather
// than the built-in one.
#include <cstdint>

extern uint8_t tooltip_style_loaded;
