#include "wm_image.h"

#include "input.h"
#include "wm_page_manager.h"

namespace {

constexpr uint32_t KEY_RETURN = 0xFF0D;
constexpr uint8_t HAND = 1;
constexpr uint8_t GRIPPING_HAND = 2;

bool has_pixels(const IMAGE& picture) {
  return picture.pixels && picture.width > 0 && picture.height > 0;
}

}  // namespace

uint8_t WM_IMAGE::hand_cursor_default = 0;

WM_IMAGE::WM_IMAGE(int16_t px, int16_t py, uint16_t w, uint16_t h, bool is_visible,
                   WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2, uint8_t mask)
    : WM_SCREEN_OBJECT(is_visible, callback, word_1, word_2),
      image(static_cast<int16_t>(w <= IMAGE_MAX_SIZE ? w : 0),
            static_cast<int16_t>(h <= IMAGE_MAX_SIZE ? h : 0)),
      click_mask(mask),
      hand_cursor(hand_cursor_default) {
  x = px;
  y = py;
  width = w;
  height = h;
  fitted_width = image.width;
  fitted_height = image.height;
  kind |= wm_kind::IMAGE;
  notify_created();
}

bool WM_IMAGE::takes_picture_size() const {
  return width == 0 || height == 0 || width == 65535 || height == 65535;
}

void WM_IMAGE::fit_picture() {
  if (takes_picture_size()) {
    if (has_pixels(image)) {
      if (visible) invalidate();
      width = static_cast<uint16_t>(image.width);
      height = static_cast<uint16_t>(image.height);
      if (visible) invalidate();
    }
  } else if (!has_pixels(image)) {
    if (width <= IMAGE_MAX_SIZE && height <= IMAGE_MAX_SIZE) {
      image.create(static_cast<int16_t>(width), static_cast<int16_t>(height));
    }
  } else if (image.width != width || image.height != height) {
    image.scale(width, height, !fast_image_scaling);
    if (visible) invalidate();
  }
  fitted_width = image.width;
  fitted_height = image.height;
}

bool WM_IMAGE::load(const FOLDER& folder, const char* name) {
  const bool loaded = image.load(folder, name);
  fit_picture();
  if (visible) invalidate();
  return loaded;
}

void WM_IMAGE::set_size(uint16_t w, uint16_t h, bool resize_children) {
  if (w == width && h == height) return;
  WM_SCREEN_OBJECT::set_size(w, h, resize_children);
  fit_picture();
}

int32_t WM_IMAGE::update(bool overlays) {
  // An owner may have put a new picture in since the last frame; fitting it
  // here keeps draw free of size changes.
  if (!overlays && (image.width != fitted_width || image.height != fitted_height)) fit_picture();
  return WM_SCREEN_OBJECT::update(overlays);
}

void WM_IMAGE::request_hand(bool pressed) {
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  if (!manager) return;
  if (pressed) {
    manager->request_cursor_shape(GRIPPING_HAND);
    if (mouse.cursor_shape == GRIPPING_HAND) return;
  }
  manager->request_cursor_shape(HAND);
}

int32_t WM_IMAGE::process() {
  const LIFE_WATCH watch(this);
  int32_t result = WM_SCREEN_OBJECT::process();
  if (!watch.alive() || result != 0 || !visible) return result;

  int16_t px = static_cast<int16_t>(mouse.x);
  int16_t py = static_cast<int16_t>(mouse.y);
  bool left = (mouse.buttons & MOUSE::LEFT) != 0;
  const bool over = hit_test(px, py);
  const bool return_down = key_down(KEY_RETURN);

  // While the focused picture's Return is down, or has just come up, it
  // stands for the left button at the centre; otherwise the pointer counts.
  if (focus_object == this && (return_down || prev_return)) {
    px = static_cast<int16_t>(x + width / 2);
    py = static_cast<int16_t>(y + height / 2);
    left = return_down;
  } else if (over != (mouse_over != 0)) {
    mouse_over = over ? 1 : 0;
    invalidate();
  }

  if (over) {
    const bool event = left != (prev_left != 0) || (left && repeat_while_held);
    const bool reported = left ? (click_mask & image_click::ON_PRESS) != 0
                               : (click_mask & image_click::ON_RELEASE) != 0;
    if (event && reported) {
      click_x = static_cast<int16_t>(px - x);
      click_y = static_cast<int16_t>(py - y);
      result = fire_callback(true);
      if (!watch.alive()) return result;
      click_x = click_y = -1;
    }
  }
  if (hand_cursor && over) request_hand(left);

  prev_left = left ? 1 : 0;
  prev_return = return_down ? 1 : 0;
  return result;
}

RECT WM_IMAGE::picture_rect() const {
  const int32_t pw = image.width > 0 ? image.width : 0;
  const int32_t ph = image.height > 0 ? image.height : 0;
  return RECT::sized(x + (static_cast<int32_t>(width) - pw) / 2,
                     y + (static_cast<int32_t>(height) - ph) / 2, pw, ph);
}

void WM_IMAGE::draw() {
  IMAGE* s = drawing_surface();
  const RECT r = picture_rect();
  if (!s || r.empty()) return;
  const auto x1 = static_cast<int16_t>(r.x1), y1 = static_cast<int16_t>(r.y1);
  const auto x2 = static_cast<int16_t>(r.x2), y2 = static_cast<int16_t>(r.y2);
  if (has_pixels(image)) image.draw(x1, y1, s, BLIT_BLEND);
  const COLOUR no_face = COLOUR_INVISIBLE;
  draw_border(x1, y1, x2, y2, edge_flags, &no_face, border_style, AUTO_BORDER_RADIUS);
  if ((focus_object == this || mouse_over) && (highlight_colour >> 24) != 0) {
    s->fill_rect(x1, y1, x2, y2, &highlight_colour, true);
  }
}
