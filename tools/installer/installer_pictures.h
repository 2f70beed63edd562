#pragma once
// The installer's own built-in pictures, drawn in code: the start-up and
// closing pictures shown in the "Please Wait" window (353 x 143) and the
// 64 x 64 window icon as XPM lines (two characters per pixel).
#include "image.h"

constexpr int16_t INSTALLER_PICTURE_WIDTH = 353;
constexpr int16_t INSTALLER_PICTURE_HEIGHT = 143;

void draw_start_picture(IMAGE& image);
void draw_closing_picture(IMAGE& image);
// Null-terminated XPM lines, made on first call and kept for the run.
const char* const* installer_icon_xpm();
