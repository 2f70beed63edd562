#include "wm_colour_select.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "image.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_image.h"
#include "wm_kinds.h"
#include "wm_numpad_key.h"
#include "wm_script.h"
#include "wm_scrollbar.h"
#include "wm_text_edit.h"

const COLOUR WM_COLOUR_SELECT::swatch_colours[SWATCH_COUNT] = {
    0xFF000000, 0xFF808080, 0xFF800000, 0xFF808000, 0xFF008000, 0xFF008080, 0xFF000080, 0xFF800080,
    0xFFC0C0C0, 0xFFFF0000, 0xFFFFFF00, 0xFF00FF00, 0xFF00FFFF, 0xFF0000FF, 0xFFFF00FF, 0xFFFFFFFF};

namespace {

constexpr int16_t DIALOG_WIDTH = 439;
constexpr int16_t DIALOG_HEIGHT = 479;
constexpr int16_t SWATCH_SIZE = 36;
constexpr int16_t FIELD_SIZE = 170;
constexpr int16_t STRIP_WIDTH = 35;
constexpr uint16_t FRAME_EDGES = border_flag::ALL_SIDES | border_flag::PRESSED;
constexpr COLOUR CROSS_COLOUR = 0xFFFFFFFF;
constexpr COLOUR CHECKER_BACKGROUND = 0xFFFFFFFF;
constexpr COLOUR CHECKER_BAR = 0xFFACACAC;

int16_t i16(int32_t v) { return static_cast<int16_t>(v); }

IMAGE* picker_surface() {
  IMAGE* s = WM_SCREEN_OBJECT::drawing_surface();
  return s ? s : get_screen_image();
}

// The typed number as "%hd" reads it (wrapping to 16 bits); false when the
// text does not begin with one, so that such an entry changes nothing.
bool leading_number(const char* text, int32_t* out) {
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  if (end == text) return false;
  *out = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned long>(n)));
  return true;
}

// Shown values stay 0 .. 255 even when a typed hue, saturation or level
// went above 1.
int32_t shown_fraction(double v) {
  if (!(v > 0.0)) return 0;
  return static_cast<int32_t>(std::trunc(255.0 * std::min(v, 1.0)));
}

// The white cross marking the current colour.
void draw_cross(IMAGE& image, int32_t cx, int32_t cy) {
  image.fill_rect_solid(i16(cx - 5), i16(cy), i16(cx + 6), i16(cy + 1), &CROSS_COLOUR);
  image.fill_rect_solid(i16(cx), i16(cy - 5), i16(cx + 1), i16(cy + 6), &CROSS_COLOUR);
}

WM_STYLE_SET default_label_style(const WM_STYLE_SET& title) {
  WM_STYLE_SET s;
  s.drawing_flags = SSF_LEFT_JUSTIFY_TEXT;
  s.fg_colour = title.fg_colour;
  s.bg_colour = COLOUR_INVISIBLE;
  return s;
}

WM_STYLE_SET default_entry_style(const WM_STYLE_SET& body) {
  WM_STYLE_SET s;
  s.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_LEFT_JUSTIFY_TEXT;
  s.fg_colour = body.fg_colour;
  s.bg_colour = COLOUR_INVISIBLE;
  return s;
}

WM_STYLE_SET default_bar_style() {
  WM_STYLE_SET s;
  s.extended_flags = SSEF_SB_HORIZONTAL | SSEF_SB_WITH_BUTTONS;
  return s;
}

}  // namespace

WM_COLOUR_SELECT::WM_COLOUR_SELECT(int16_t nx, int16_t ny, const WM_STYLE_SET* label_style,
                                   const WM_STYLE_SET* entry_style, const WM_STYLE_SET* bar_style,
                                   WM_CALLBACK callback, uintptr_t word_1)
    : WM_DIALOG(nx, ny, DIALOG_WIDTH, DIALOG_HEIGHT, "Select a Colour", nullptr, nullptr, nullptr,
                nullptr) {
  const WM_STYLE_SET defaults;
  build(label_style ? *label_style : defaults, entry_style ? *entry_style : defaults,
        bar_style ? *bar_style : defaults, callback, word_1);
}

WM_COLOUR_SELECT::WM_COLOUR_SELECT(int16_t nx, int16_t ny, WM_CALLBACK callback, uintptr_t word_1)
    : WM_DIALOG(nx, ny, DIALOG_WIDTH, DIALOG_HEIGHT, "Select a Colour", nullptr, nullptr, nullptr,
                nullptr) {
  build(default_label_style(title_style), default_entry_style(body_style), default_bar_style(),
        callback, word_1);
}

WM_COLOUR_SELECT::~WM_COLOUR_SELECT() {
  if (alpha_bar) remove_child(alpha_bar, true, false);
}

void WM_COLOUR_SELECT::build(const WM_STYLE_SET& label_style, const WM_STYLE_SET& entry_style,
                             const WM_STYLE_SET& bar_style, WM_CALLBACK callback,
                             uintptr_t word_1) {
  alpha.set_type(PARAMETER::I16);
  alpha.set_int(PARAMETER::MAXIMUM, 255);
  alpha.set_int(PARAMETER::MINIMUM, 0);
  alpha.set_int(PARAMETER::VALUE, 255);
  double unused_alpha = 0.0;
  colour_to_ahsl(&swatch_colours[0], &unused_alpha, &hue, &saturation, &level);
  action_callback = callback;
  action_word_1 = word_1;
  const auto self = reinterpret_cast<uintptr_t>(this);

  for (int i = 0; i < SWATCH_COUNT; ++i) {
    const int32_t sx = 10 + (i % 4) * (SWATCH_SIZE + 10);
    const int32_t sy = 10 + (i / 4) * 45;
    const COLOUR c = swatch_colours[i];
    swatches[i] = new WM_NUMPAD_KEY(
        i16(sx), i16(sy), i16(sx + SWATCH_SIZE - 1), i16(sy + SWATCH_SIZE - 1), c, c, "", nullptr,
        button_flag::BEVEL, FRAME_EDGES, on_control, c, self, true, button_event::RELEASE);
    add_child(swatches[i], true);
  }

  const int32_t frame_style = body_style.shading_type;
  auto picture = [&](int32_t px, int32_t py, int32_t w, int32_t h, WM_CALLBACK cb, uint32_t id) {
    auto* p = new WM_IMAGE(i16(px), i16(py), static_cast<uint16_t>(w), static_cast<uint16_t>(h),
                           true, cb, id, self, image_click::ON_PRESS);
    p->edge_flags = FRAME_EDGES;
    p->border_style = static_cast<uint32_t>(frame_style);
    add_child(p, true);
    return p;
  };
  field = picture(190, 10, FIELD_SIZE, FIELD_SIZE, on_control, ID_FIELD);
  strip = picture(370, 10, STRIP_WIDTH, FIELD_SIZE, on_control, ID_STRIP);

  auto label = [&](int32_t lx, int32_t ly, const char* text) {
    add_child(new WM_SCRIPT(i16(lx), i16(ly), -1, -1, &label_style, text), true);
  };
  auto entry = [&](int32_t ex, int32_t ey, int32_t w, int32_t max, uint32_t id) {
    auto* e = new WM_TEXT_EDIT(i16(ex), i16(ey), static_cast<uint16_t>(w),
                               static_cast<uint16_t>(max), "", &entry_style, on_control, id, self);
    entries[id] = e;
    add_child(e, true);
    return e;
  };

  int32_t row = 190;
  label(10, row, "Hex:");
  const int32_t entry_h = entry(70, row, 110, 10, ID_HEX)->height;
  const int32_t preview_w = FIELD_SIZE + STRIP_WIDTH + 10;
  preview = picture(190, row, preview_w, entry_h, nullptr, 0);

  struct ROW {
    const char *left_label, *right_label;
    uint32_t left_id, right_id;
  };
  static const ROW rows[] = {{"Red:", "Hue:", ID_RED, ID_HUE},
                             {"Green:", "Saturation:", ID_GREEN, ID_SATURATION},
                             {"Blue:", "Level:", ID_BLUE, ID_LEVEL},
                             {"Alpha:", nullptr, ID_ALPHA, 0}};
  for (const ROW& r : rows) {
    row += entry_h + 10;
    label(10, row, r.left_label);
    entry(70, row, 50, 4, r.left_id);
    if (r.right_label) {
      label(190, row, r.right_label);
      entry(280, row, 50, 4, r.right_id);
    }
  }
  alpha_bar = new WM_SCROLLBAR(190, i16(row), i16(190 + preview_w), i16(row + entry_h), &alpha,
                               &bar_style, on_control, ID_ALPHA_BAR, self);
  add_child(alpha_bar, true);

  // Both buttons as wide as "Cancel" needs, spaced evenly.
  IMAGE* s = picker_surface();
  const int32_t f = s->font_width;
  const int32_t c = s->get_text_width(255, WM_STYLE_SET::UNSET, -1, "Cancel");
  const int32_t spare = DIALOG_WIDTH - 2 * (20 + f + c);
  const int32_t g = spare / 3, g2 = 2 * spare / 3;
  const int32_t by = row + entry_h + 20;
  ok = new WM_BUTTON(i16(g), i16(by), i16(g + f + c + 20), -1, &button_style, "OK",
                     "Accept the selected colour.", on_control, ID_OK, self, button_event::RELEASE);
  cancel = new WM_BUTTON(i16(g2 + f + c + 20), i16(by), i16(g2 + 2 * (f + c) + 40), -1,
                         &button_style, "Cancel", "Abort the current colour selection.", on_control,
                         ID_CANCEL, self, button_event::RELEASE);
  for (WM_BUTTON* b : {ok, cancel}) {
    b->selectable = 1;
    add_child(b, true);
  }

  // The client area ends at the bottom of the OK button.
  const uint16_t bottom_gap = body_style.border_bottom_gap == WM_STYLE_SET::UNSET
                                  ? static_cast<uint16_t>(get_border_width(body_style.shading_type))
                                  : body_style.border_bottom_gap;
  const int32_t client_bottom = ok->y + ok->height - get_client()->y;
  set_size(DIALOG_WIDTH, static_cast<uint16_t>(get_client_top() + client_bottom + bottom_gap),
           true);
  set_position(get_x(), i16((get_screen_height(0) - static_cast<int32_t>(height)) / 2));
  if (visible) show();
  refresh();
  kind |= wm_kind::COLOUR_SELECT;
  notify_created();
}

uint8_t WM_COLOUR_SELECT::get_alpha() const {
  return static_cast<uint8_t>(alpha.get_int(PARAMETER::VALUE));
}

WM_TEXT_EDIT* WM_COLOUR_SELECT::get_entry(uint32_t id) const {
  return id < 14 ? entries[id] : nullptr;
}

int32_t WM_COLOUR_SELECT::get_inset() const {
  return const_cast<WM_COLOUR_SELECT*>(this)->get_border_width(body_style.shading_type);
}

void WM_COLOUR_SELECT::set_colour(const COLOUR* colour) {
  if (!colour) return;
  take_colour(*colour);
  alpha.set_int(PARAMETER::VALUE, static_cast<int32_t>(*colour >> 24));
  refresh();
}

void WM_COLOUR_SELECT::take_colour(COLOUR c) {
  double unused_alpha = 0.0;
  colour_to_ahsl(&c, &unused_alpha, &hue, &saturation, &level);
}

void WM_COLOUR_SELECT::get_colour(COLOUR* out) const {
  if (!out) return;
  ahsl_to_colour(out, get_alpha() / 255.0, hue, saturation, level);
}

void WM_COLOUR_SELECT::draw_field() {
  IMAGE& image = field->image;
  const int32_t b = get_inset();
  const int32_t w = image.width - 2 * b, h = image.height - 2 * b;
  if (w < 1 || h < 1) return;
  const RECT clip = image.clip_rect();
  for (int32_t j = 0; j < h; ++j) {
    const int32_t py = b + j;
    if (py < clip.y1 || py > clip.y2) continue;
    uint32_t* line = image.pixels + static_cast<size_t>(py) * image.stride;
    for (int32_t i = 0; i < w; ++i) {
      const int32_t px = b + i;
      if (px < clip.x1 || px > clip.x2) continue;
      ahsl_to_colour(&line[px], 1.0, static_cast<double>(i) / w, static_cast<double>(j) / h, 0.5);
    }
  }
  image.add_dirty_rect(i16(b), i16(b), i16(b + w - 1), i16(b + h - 1));
  draw_cross(image, b + static_cast<int32_t>(std::trunc(w * hue)),
             b + static_cast<int32_t>(std::trunc(h * saturation)));
  field->invalidate();
}

void WM_COLOUR_SELECT::draw_strip() {
  IMAGE& image = strip->image;
  const int32_t b = get_inset();
  const int32_t w = image.width - 2 * b, h = image.height - 2 * b;
  if (w < 1 || h < 1) return;
  for (int32_t j = 0; j < h; ++j) {
    COLOUR c = 0;
    ahsl_to_colour(&c, 1.0, hue, saturation, static_cast<double>(j) / h);
    image.draw_line(i16(b), i16(b + j), i16(b + w - 1), i16(b + j), &c, 1, true);
  }
  draw_cross(image, b + w / 2, b + static_cast<int32_t>(std::trunc(h * level)));
  strip->invalidate();
}

// Below full alpha the colour lies blended over white with grey bars, so
// the checker stays visible through it.
void WM_COLOUR_SELECT::draw_preview() {
  IMAGE& image = preview->image;
  const int32_t w = image.width, h = image.height;
  if (w < 1 || h < 1) return;
  COLOUR c = 0;
  get_colour(&c);
  if (get_alpha() == 255) {
    image.clear(&c, false);
  } else {
    image.clear(&CHECKER_BACKGROUND, false);
    for (int32_t q = 1; q <= 3; ++q) {
      const int32_t row = h * q / 4, column = w * q / 4;
      image.fill_rect(0, i16(row - 1), i16(w - 1), i16(row + 1), &CHECKER_BAR, true);
      image.fill_rect(i16(column - 1), 0, i16(column + 1), i16(h - 1), &CHECKER_BAR, true);
    }
    image.fill_rect(0, 0, i16(w - 1), i16(h - 1), &c, true);
  }
  preview->invalidate();
}

void WM_COLOUR_SELECT::refresh() {
  draw_field();
  draw_strip();
  draw_preview();
  COLOUR c = 0;
  get_colour(&c);
  char text[16];
  auto put = [&](uint32_t id, int32_t value) {
    std::snprintf(text, sizeof text, "%d", value);
    entries[id]->set_text(text);
  };
  put(ID_RED, (c >> 16) & 0xFF);
  put(ID_GREEN, (c >> 8) & 0xFF);
  put(ID_BLUE, c & 0xFF);
  put(ID_HUE, shown_fraction(hue));
  put(ID_SATURATION, shown_fraction(saturation));
  put(ID_LEVEL, shown_fraction(level));
  put(ID_ALPHA, get_alpha());
  std::snprintf(text, sizeof text, "#%08X", c);
  entries[ID_HEX]->set_text(text);
}

int32_t WM_COLOUR_SELECT::on_control(WM_SCREEN_OBJECT* object, uintptr_t id, uintptr_t dialog) {
  auto* self = reinterpret_cast<WM_COLOUR_SELECT*>(dialog);
  if (!self || !object) return 0;
  // A swatch's word 1 is its colour, so it is told apart by its look.
  auto* button = (object->kind & wm_kind::BUTTON) ? static_cast<WM_BUTTON*>(object) : nullptr;
  if (button && *button->get_text() == 0) {
    const auto c = static_cast<COLOUR>(id);
    self->set_colour(&c);
    return 0;
  }
  if (id > ID_HEX) return 0;
  return self->control(object, static_cast<uint32_t>(id));
}

int32_t WM_COLOUR_SELECT::control(WM_SCREEN_OBJECT* object, uint32_t id) {
  switch (id) {
    case ID_OK:
    case ID_CANCEL:
      // The callback may delete the dialog; the toolkit's watches keep
      // the button and the dialog from touching themselves afterwards.
      return answer(id == ID_OK ? 1 : 0);
    case ID_FIELD:
    case ID_STRIP: return picked(static_cast<const WM_IMAGE*>(object), id);
    case ID_ALPHA_BAR: break;
    default: typed(static_cast<const WM_TEXT_EDIT*>(object), id); break;
  }
  refresh();
  return 0;
}

int32_t WM_COLOUR_SELECT::picked(const WM_IMAGE* image, uint32_t id) {
  const int32_t px = image->click_x, py = image->click_y;
  if (px < 0 || py < 0) {
    refresh();
    return 0;
  }
  const int32_t b = get_inset();
  const int32_t w = image->width, h = image->height;
  if (px < b || py < b || px > w - b || py > h - b || w <= 2 * b || h <= 2 * b) return 0;
  if (id == ID_FIELD) {
    hue = static_cast<double>(px - b) / (w - 2 * b);
    saturation = static_cast<double>(py - b) / (h - 2 * b);
  } else {
    level = static_cast<double>(py - b) / (h - 2 * b);
  }
  refresh();
  return 0;
}

void WM_COLOUR_SELECT::typed(const WM_TEXT_EDIT* entry, uint32_t id) {
  const char* text = entry->get_text();
  if (id == ID_HEX) {
    COLOUR c = 0;
    get_colour(&c);
    colour_from_string(&c, text);
    take_colour(c);
    alpha.set_int(PARAMETER::VALUE, static_cast<int32_t>(c >> 24));
    return;
  }
  int32_t n = 0;
  if (!leading_number(text, &n)) return;
  switch (id) {
    case ID_RED:
    case ID_GREEN:
    case ID_BLUE: {
      const int shift = id == ID_RED ? 16 : id == ID_GREEN ? 8 : 0;
      COLOUR c = 0;
      get_colour(&c);
      c = (c & ~(0xFFu << shift)) | (static_cast<uint32_t>(n & 0xFF) << shift);
      take_colour(c | 0xFF000000u);
      break;
    }
    case ID_HUE: hue = n / 255.0; break;
    case ID_SATURATION: saturation = n / 255.0; break;
    case ID_LEVEL: level = n / 255.0; break;
    case ID_ALPHA: alpha.set_int(PARAMETER::VALUE, n); break;
    default: break;
  }
}

int32_t WM_COLOUR_SELECT::answer(uintptr_t result) {
  action_word_2 = result;
  return fire_callback(true);
}
