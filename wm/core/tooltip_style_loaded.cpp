#include "tooltip_style_loaded.h"

uint8_t tooltip_style_loaded = 0;
