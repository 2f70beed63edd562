#pragma once
// WM_MANAGER is the plain container: the root of every page area and the
// client area of every dialog. It draws nothing itself, is never
// selectable, keeps its children's sizes, and a size of 0 stands for the
// screen's, so a manager that was never sized covers the whole screen.
#include "wm_screen_object.h"

class WM_MANAGER : public WM_SCREEN_OBJECT {
public:
  explicit WM_MANAGER(bool visible = true);

  // Stores the size; children are never resized.
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  bool is_selectable() override { return false; }
  uint16_t get_width() override;
  uint16_t get_height() override;
  // Children paint clipped to this manager's rectangle.
  void paint() override;
  void draw() override {}
};
