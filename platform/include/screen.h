#pragma once
// The screen IMAGE: the one software frame buffer that everything is drawn
// into. The window sizes it and presents what its dirty rectangle marks;
// tests size it themselves and draw into it with no display at all.
#include <cstdint>

class IMAGE;

constexpr uint16_t ALL_SCREENS = 65535;

// The screen IMAGE for screen 0 (null for any other index); empty until
// it is given a size.
IMAGE* get_screen_image(uint16_t screen = 0);
int16_t get_screen_width(uint16_t screen = 0);  // 0 for other indexes
int16_t get_screen_height(uint16_t screen = 0);
// Makes the screen IMAGE width x height, cleared to opaque black and wholly
// dirty (the black picture has not been shown yet); the same size keeps its
// pixels. A width or height below 1 empties it.
void set_screen_size(int16_t width, int16_t height);
// Runs before set_screen_size resizes or empties the screen IMAGE: the
// window's presentation sets it to take back the buffer it lent the screen
// IMAGE (null when nothing is lent).
using SCREEN_RESIZE_HOOK = void (*)();
void set_screen_resize_hook(SCREEN_RESIZE_HOOK hook);

// Logical screens lie on a grid of 4096-pixel cells: screen 8 x column + row.
uint16_t screen_of_point(int32_t x, int32_t y);
int32_t screen_origin_x(uint16_t screen);
int32_t screen_origin_y(uint16_t screen);
