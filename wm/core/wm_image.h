#pragma once
// WM_IMAGE shows one picture centred in its rectangle, framed by the shared
// border and tinted while hovered or focused. A press or a release (by the
// left button, or Return on the focused picture) calls the action callback
// with the click point, relative to the object, in click_x / click_y.
#include <cstdint>

#include "image.h"
#include "wm_screen_object.h"

class FOLDER;

// Which button transitions of WM_IMAGE call back.
namespace image_click {
constexpr uint8_t ON_PRESS = 1;
constexpr uint8_t ON_RELEASE = 2;
}  // namespace image_click

class WM_IMAGE : public WM_SCREEN_OBJECT {
 public:
  // A size of 0 (or 65535) takes the size of the picture put in later.
  WM_IMAGE(int16_t x, int16_t y, uint16_t w, uint16_t h, bool visible, WM_CALLBACK callback,
           uintptr_t word_1, uintptr_t word_2, uint8_t click_mask);

  int32_t process() override;
  int32_t update(bool overlays) override;
  // Rescales the picture to the new size.
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  void draw() override;

  // Loads a picture file into the object and fits it; false leaves the
  // picture empty.
  bool load(const FOLDER& folder, const char* name);
  // After the picture was replaced by hand: scales it to the object, or
  // gives an unsized object the picture's size. update does this too.
  void fit_picture();

  // The hand pointer default that new pictures take; off unless the
  // application turns it on.
  static uint8_t hand_cursor_default;

  IMAGE image;
  uint8_t prev_left = 0;  // the left button or Return, as the last frame saw it
  uint8_t prev_return = 0;
  uint8_t repeat_while_held = 0;  // call back every frame while pressed
  int16_t click_x = -1;           // -1 outside a callback
  int16_t click_y = -1;
  uint16_t edge_flags = 0;  // border_flag bits of the frame
  uint8_t click_mask = 0;   // image_click bits
  uint8_t mouse_over = 0;   // hover state last drawn
  COLOUR highlight_colour = COLOUR_INVISIBLE;
  uint8_t hand_cursor = 0;

 private:
  bool takes_picture_size() const;
  RECT picture_rect() const;
  void request_hand(bool pressed);

  // The picture's size after the last fit: a different one means the
  // picture was replaced since.
  int16_t fitted_width = -1;
  int16_t fitted_height = -1;
};
