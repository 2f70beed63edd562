// The plain container of pages and dialog client areas.
#include "wm_manager.h"

#include "clip_scope.h"
#include "image.h"
#include "screen.h"

WM_MANAGER::WM_MANAGER(bool is_visible) : WM_SCREEN_OBJECT(is_visible, nullptr, 0, 0) {
  kind |= wm_kind::MANAGER;
  notify_created();
}

void WM_MANAGER::set_size(uint16_t w, uint16_t h, bool) {
  if (w == width && h == height) return;
  // The old rectangle may be larger than the new one.
  if (visible) invalidate();
  width = w;
  height = h;
  if (visible) show();
}

uint16_t WM_MANAGER::get_width() {
  return width != 0 ? width : static_cast<uint16_t>(get_screen_width(0));
}

uint16_t WM_MANAGER::get_height() {
  return height != 0 ? height : static_cast<uint16_t>(get_screen_height(0));
}

void WM_MANAGER::paint() {
  if (width == 0) width = get_width();
  if (height == 0) height = get_height();
  IMAGE* target = drawing_surface();
  CLIP_SCOPE clip(target);
  if (target) target->clip_to(RECT::sized(x, y, width, height));
  WM_SCREEN_OBJECT::paint();
}
