// Check boxes: building the box and label buttons, and keeping the box's
// mark or active look in step with the state.
#include "wm_check_box.h"

#include <algorithm>
#include <new>

#include "errors.h"
#include "wm_button.h"
#include "wm_style_set.h"

namespace {

bool is_set(COLOUR c) { return (c >> 24) != 0; }

// A negative size is the surface's default, passed on to the buttons as
// their unset value.
uint16_t button_size(int16_t size) {
  return size < 0 ? WM_STYLE_SET::UNSET : static_cast<uint16_t>(size);
}

}  // namespace

WM_CHECK_BOX::WM_CHECK_BOX(int16_t px, int16_t py, COLOUR background, COLOUR text_colour,
                           const char* label_text, uint8_t font, int16_t font_w, int16_t font_h,
                           WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2,
                           bool is_visible)
    : WM_SCREEN_OBJECT(is_visible, callback, word_1, word_2) {
  init(px, py, background, text_colour, label_text, font, font_w, font_h);
  notify_created();
}

WM_CHECK_BOX::WM_CHECK_BOX(int16_t px, int16_t py, const WM_STYLE_SET* style,
                           const char* label_text, WM_CALLBACK callback, uintptr_t word_1,
                           uintptr_t word_2)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, callback, word_1, word_2) {
  WM_STYLE_SET defaults;
  const WM_STYLE_SET& s = style ? *style : defaults;
  init(px, py, s.bg_colour, s.fg_colour, label_text, s.font_id,
       static_cast<int16_t>(s.font_x_sz), static_cast<int16_t>(s.font_y_sz));
  if (s.image_filename) {
    box->load_images(s.image_path, s.image_filename, nullptr);
    if (s.drawing_flags & SSF_DONT_RESIZE_IMAGE) box->draw_flags |= button_flag::DONT_RESIZE_IMAGE;
  }
  const struct {
    COLOUR from;
    COLOUR* to;
  } optional[] = {{s.highlight_text_colour, &label->highlight_text_colour},
                  {s.mouse_over_colour, &label->mouse_over_colour},
                  {s.mouse_over_text_colour, &label->mouse_over_text_colour},
                  {s.flashing_text_colour, &label->flashing_text_colour},
                  {s.disabled_colour, &label->disabled_colour},
                  {s.disabled_text_colour, &label->disabled_text_colour},
                  {s.active_text_colour, &label->active_text_colour}};
  for (const auto& o : optional)
    if (is_set(o.from)) *o.to = o.from;
  notify_created();
}

void WM_CHECK_BOX::init(int16_t px, int16_t py, COLOUR background, COLOUR text_colour,
                        const char* label_text, uint8_t font, int16_t font_w, int16_t font_h) {
  destroy_children(false, 0, true);
  box = label = nullptr;
  checked = 0;
  kind |= wm_kind::CHECK_BOX;
  const IMAGE* surface = drawing_surface();
  const int32_t unit_w = font_w < 0 ? surface->font_width : font_w;
  const int32_t unit_h = font_h < 0 ? surface->font_height : font_h;
  const int32_t gap = unit_w / 2;
  const int32_t border = get_border_width(1);
  const int32_t box_w = std::max(unit_w + 2 * border, MIN_BOX_SIZE);
  const int32_t box_h = std::max(unit_h + 2 * border, MIN_BOX_SIZE);

  // The children stay visible: the check box's own visibility decides
  // whether they are painted and processed, so showing it shows them.
  box = new (std::nothrow) WM_BUTTON(
      px, py, static_cast<int16_t>(px + box_w - 1), static_cast<int16_t>(py + box_h - 1),
      background, text_colour, "", font, button_size(font_w), button_size(font_h),
      BUTTON_BEHAVIOUR::NORMAL, button_flag::BEVEL, border_flag::ALL_SIDES | border_flag::PRESSED,
      toggle_clicked, reinterpret_cast<uintptr_t>(this), 0, true, button_event::RELEASE);
  const auto label_x = static_cast<int16_t>(px + box_w + gap);
  // A far corner before the origin sizes the label to its text.
  label = new (std::nothrow) WM_BUTTON(
      label_x, py, static_cast<int16_t>(label_x - 1), static_cast<int16_t>(py - 1),
      COLOUR_INVISIBLE, text_colour, label_text ? label_text : "", font, button_size(font_w),
      button_size(font_h), BUTTON_BEHAVIOUR::NORMAL, button_flag::BEVEL, 0, toggle_clicked,
      reinterpret_cast<uintptr_t>(this), 0, true, button_event::RELEASE);
  if (!box || !label) report_error(0x61);  // a button that cannot be made
  box->state_callback = is_box_checked;
  box->state_word = reinterpret_cast<uintptr_t>(this);
  box->active = is_box_checked(box, box->state_word);
  if (box->visible) box->show();
  box->selectable = 1;
  add_child(box, false);
  add_child(label, false);

  x = px;
  y = py;
  width = static_cast<uint16_t>(std::min<int32_t>(label->width + box_w + gap, 65535));
  height = static_cast<uint16_t>(std::max<int32_t>(label->height, box_h));
}

void WM_CHECK_BOX::hide(bool overlays, bool) { WM_SCREEN_OBJECT::hide(overlays, true); }

bool WM_CHECK_BOX::is_selectable() {
  if (!box || !label) return false;
  return (box->selectable || label->selectable) && (box->enabled || label->enabled);
}

void WM_CHECK_BOX::set_focus() {
  if (box) box->set_focus();
}

void WM_CHECK_BOX::show_state() {
  if (!box) return;
  if (!box->has_images()) box->set_text(checked ? "X" : " ", false);
  box->active = checked;
  if (visible) show();
}

void WM_CHECK_BOX::set_checked(bool on) {
  checked = on ? 1 : 0;
  show_state();
}

void WM_CHECK_BOX::toggle() {
  checked = checked ? 0 : 1;
  show_state();
  fire_callback(true);
}

int32_t WM_CHECK_BOX::toggle_clicked(WM_SCREEN_OBJECT*, uintptr_t check_box, uintptr_t) {
  auto* self = reinterpret_cast<WM_CHECK_BOX*>(check_box);
  // A click on the label takes the focus where the box's own would.
  self->set_focus();
  self->toggle();
  return 0;
}

uint8_t WM_CHECK_BOX::is_box_checked(WM_BUTTON*, uintptr_t check_box) {
  return reinterpret_cast<WM_CHECK_BOX*>(check_box)->checked;
}
