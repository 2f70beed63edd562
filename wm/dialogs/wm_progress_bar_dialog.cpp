// The progress dialog: message and bar laid out from the dialog's styles,
// and setters that redraw and present at once for work that blocks the
// main loop.
#include "wm_progress_bar_dialog.h"

#include <algorithm>

#include "image.h"
#include "screen.h"
#include "window.h"
#include "wm_manager.h"
#include "wm_script.h"

namespace {

int32_t gap_or_border(uint16_t gap, const WM_STYLE_SET& s) {
  return gap == WM_STYLE_SET::UNSET ? get_border_width(s.shading_type) : gap;
}

IMAGE* dialog_surface() {
  IMAGE* s = WM_SCREEN_OBJECT::drawing_surface();
  return s ? s : get_screen_image();
}

int32_t font_height_or_default(uint16_t size) {
  if (size != WM_STYLE_SET::UNSET) return size;
  const IMAGE* s = dialog_surface();
  return s ? s->font_height : 0;
}

int16_t i16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }
uint16_t at_least_one(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 1, 65535)); }

}  // namespace

WM_PROGRESS_BAR_DIALOG::WM_PROGRESS_BAR_DIALOG(
    int16_t dx, int16_t dy, int16_t w, int16_t h, const char* title,
    const WM_STYLE_SET* body, const WM_STYLE_SET* title_style, const WM_STYLE_SET* buttons,
    const DIALOG_EFFECTS* dialog_effects, const char* message, int32_t total,
    const COLOUR* bar_colour, bool is_immediate, const WM_STYLE_SET* bar_style)
    : WM_DIALOG(dx, dy, w, h, title, body, title_style, buttons, dialog_effects) {
  immediate = is_immediate ? 1 : 0;
  build(message, total, bar_colour, bar_style);
}

WM_PROGRESS_BAR_DIALOG::~WM_PROGRESS_BAR_DIALOG() {
  if (!immediate) return;
  // Nothing repaints the area before the next frame, and long work may
  // keep that frame away: show what lies under the dialog now.
  hide(false, false);
  if (is_overlay(this)) remove_overlay(this, false, false);
  if (parent) parent->remove_child(this, false, false);
  redraw_now();
  swap_screens(screen_of_point(x, y));
}

void WM_PROGRESS_BAR_DIALOG::build(const char* message, int32_t total, const COLOUR* bar_colour,
                                   const WM_STYLE_SET* bar_style) {
  const WM_MANAGER* client = get_client();
  const IMAGE* surface = dialog_surface();
  const int32_t cw = client->width, ch = client->height;
  const int32_t fy = font_height_or_default(button_style.font_y_sz);
  const int32_t fx = surface ? surface->font_width : 0;
  const int32_t b = get_border_width(border_style);
  const int32_t t = gap_or_border(button_style.border_top_gap, button_style);
  const int32_t bo = gap_or_border(button_style.border_bottom_gap, button_style);

  const int32_t g = std::max(0, message ? (ch - 2 * fy) / 3 : (ch - fy) / 2);
  int32_t m = g;
  if (message) {
    m = t + 2 * g + bo + fy;
    // The label takes the button style's font, borders and text layout in
    // the body's colours.
    WM_STYLE_SET label_style(button_style);
    label_style.set_image_filename(nullptr);
    label_style.clear_images();
    label_style.loaded = 0;
    label_style.fg_colour = body_style.fg_colour;
    label_style.bg_colour = body_style.bg_colour;
    label_style.visible = 1;
    message_label = new WM_SCRIPT(i16(fx / 2), 0, i16(std::max(cw - fx / 2, fx / 2)), i16(m),
                                  &label_style, message);
    add_child(message_label, true);
  }

  const uint16_t bar_width = at_least_one(cw - 2 * b);
  if (bar_style) {
    const int32_t spacing = bar_style->y_spacing >= 1 ? 2 * bar_style->y_spacing : 0;
    const int32_t bar_height = gap_or_border(bar_style->border_top_gap, *bar_style) +
                               gap_or_border(bar_style->border_bottom_gap, *bar_style) +
                               font_height_or_default(bar_style->font_y_sz) + spacing;
    bar = new WM_PROGRESS_BAR(i16(b), i16(m), bar_width, at_least_one(bar_height), nullptr, total,
                              bar_style);
  } else {
    const uint16_t unset = WM_STYLE_SET::UNSET;
    bar = new WM_PROGRESS_BAR(i16(b), i16(m), bar_width, at_least_one(t + bo + fy), nullptr, total,
                              &body_style.bg_colour, &button_style.highlight_text_colour,
                              bar_colour, progress_flag::NO_OUTER_BORDER, 255, unset, unset,
                              unset, unset, unset, unset);
  }
  add_child(bar, true);

  kind |= wm_kind::PROGRESS_BAR_DIALOG;
  notify_created();
  if (immediate) refresh(this, true);
}

void WM_PROGRESS_BAR_DIALOG::refresh(WM_SCREEN_OBJECT* changed, bool now) {
  if (!now) {
    if (changed->visible) changed->show();
    return;
  }
  mark_visible();
  changed->redraw_now();
  swap_screens(screen_of_point(changed->x, changed->y));
}

void WM_PROGRESS_BAR_DIALOG::mark_visible() {
  if (visible) return;
  visible = 1;
  drawn = 1;
}

void WM_PROGRESS_BAR_DIALOG::refresh_bar(bool now) {
  if (!bar) return;
  refresh(bar, now);
  if (now) bar->update_and_poll();
}

void WM_PROGRESS_BAR_DIALOG::set_title(const char* text, bool now) {
  if (!text) return;
  WM_DIALOG::set_text(text);
  refresh(this, now);
}

void WM_PROGRESS_BAR_DIALOG::set_message(const char* text, bool now) {
  if (!message_label || !text) return;
  message_label->set_text(text, false);
  refresh(this, now);
}

void WM_PROGRESS_BAR_DIALOG::set_bar_text(const char* text, bool now) {
  if (!bar || !text) return;
  if (now) mark_visible();
  bar->set_text(text, now);
}

void WM_PROGRESS_BAR_DIALOG::set_colours(const COLOUR* background, const COLOUR* foreground,
                                         const COLOUR* bar_colour, bool now) {
  if (!bar) return;
  if (background) bar->bg_colour = *background;
  if (foreground) bar->fg_colour = *foreground;
  if (bar_colour) bar->bar_colour = *bar_colour;
  refresh_bar(now);
}

void WM_PROGRESS_BAR_DIALOG::set_total(int32_t total, bool now) {
  if (!bar || total < 0) return;
  bar->total = total;
  bar->value = std::min(bar->value, total);
  refresh_bar(now);
}

void WM_PROGRESS_BAR_DIALOG::step_back(bool now) {
  if (!bar) return;
  bar->value = bar->value > 0 ? bar->value - 1 : 0;
  refresh_bar(now);
}

void WM_PROGRESS_BAR_DIALOG::step(bool now) {
  if (!bar) return;
  if (bar->value < bar->total) ++bar->value;
  refresh_bar(now);
}

void WM_PROGRESS_BAR_DIALOG::set_value(int32_t value, bool now) {
  if (!bar) return;
  if (value >= 0 && value <= bar->total) bar->value = value;
  refresh_bar(now);
}

void WM_PROGRESS_BAR_DIALOG::set_text(const char* text) { set_title(text, immediate != 0); }
