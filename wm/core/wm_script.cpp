#include "wm_script.h"

#include <algorithm>
#include <string>

#include "clip_scope.h"
#include "font.h"
#include "image_cache.h"
#include "screen.h"
#include "text_fit.h"

namespace {

bool is_set(COLOUR c) { return (c >> 24) != 0; }

// Style drawing_flags bit -> label text flag; the border bits need
// ssf_draw_border as well and are handled apart.
struct FLAG_MAP {
  uint32_t style_bit;
  uint32_t text_bit;
};
constexpr FLAG_MAP kStyleFlags[] = {
    {SSF_LEFT_JUSTIFY_TEXT, script_flag::LEFT_JUSTIFY},
    {SSF_RIGHT_JUSTIFY_TEXT, script_flag::RIGHT_JUSTIFY},
    {SSF_TOP_ALIGN_TEXT, script_flag::TOP_ALIGN},
    {SSF_BOTTOM_ALIGN_TEXT, script_flag::BOTTOM_ALIGN},
    {SSF_DARKENED_BACKGROUND, script_flag::DARKENED_BACKGROUND},
    {SSF_HFADING, script_flag::HORIZONTAL_FADING},
    {SSF_VFADING, script_flag::VERTICAL_FADING},
    {SSF_USE_TEXT_COLOUR_FOR_OUTLINE, script_flag::OUTLINE_IN_TEXT_COLOUR},
    {SSF_SHADOW_TEXT, script_flag::SHADOW},
    {SSF_INSET_TEXT, script_flag::INSET},
    {SSF_CHISELED_TEXT, script_flag::CHISELED},
    {SSF_ICON_LEFT, script_flag::ICON_LEFT},
    {SSF_ICON_RIGHT, script_flag::ICON_RIGHT},
    {SSF_ICON_TOP, script_flag::ICON_TOP},
    {SSF_ICON_BOTTOM, script_flag::ICON_BOTTOM},
    {SSF_ICON_ATTACH_TO_TEXT, script_flag::ICON_ATTACHED},
    {SSF_WRAP_TEXT, script_flag::WRAP},
    {SSF_DONT_RESIZE_IMAGE, script_flag::DONT_RESIZE_IMAGE},
};

uint32_t text_flags_of(uint32_t drawing) {
  uint32_t flags = 0;
  if (drawing & SSF_DRAW_BORDER) {
    if (drawing & SSF_INDENT_BORDER) flags |= script_flag::INDENTED_BORDER;
    if (drawing & SSF_OUTSTANDING_BORDER) flags |= script_flag::RAISED_BORDER;
  }
  for (const FLAG_MAP& m : kStyleFlags) {
    if (drawing & m.style_bit) flags |= m.text_bit;
  }
  return flags;
}

IMAGE* label_surface() {
  IMAGE* s = WM_SCREEN_OBJECT::drawing_surface();
  return s ? s : get_screen_image();
}

uint16_t resolve_height(uint16_t size) {
  return size == WM_STYLE_SET::UNSET ? label_surface()->font_height : size;
}

uint16_t resolve_width(uint16_t size) {
  return size == WM_STYLE_SET::UNSET ? static_cast<uint16_t>(label_surface()->font_width) : size;
}

// Two gaps of which either may be unset: both unset give `both`, one unset
// gives `one` plus the set gap.
uint16_t gap_total(uint16_t a, uint16_t b, uint32_t both, uint32_t one) {
  const bool a_set = a != WM_STYLE_SET::UNSET, b_set = b != WM_STYLE_SET::UNSET;
  uint32_t total;
  if (a_set && b_set) {
    total = uint32_t{a} + b;
  } else if (!a_set && !b_set) {
    total = both;
  } else {
    total = one + (a_set ? a : b);
  }
  return static_cast<uint16_t>(std::min<uint32_t>(total, 65535));
}

const char* text_of(const PARAMETER& p) {
  if (p.get_type() != PARAMETER::TEXT) return nullptr;
  return p.get_text(PARAMETER::VALUE);
}

}  // namespace

WM_SCRIPT::WM_SCRIPT(bool is_visible)
    : WM_SCREEN_OBJECT(is_visible, nullptr, 0, 0),
      image(&wm_image_cache()),
      flashing_image(&wm_image_cache()) {
  kind |= wm_kind::SCRIPT;
  notify_created();
}

WM_SCRIPT::WM_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
                     const char* new_text)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, nullptr, 0, 0),
      image(&wm_image_cache()),
      flashing_image(&wm_image_cache()) {
  WM_STYLE_SET defaults;
  const WM_STYLE_SET& s = style ? *style : defaults;
  border_style = s.shading_type;
  if (is_set(s.border_colour)) border_colour = s.border_colour;
  init(x1, y1, x2, y2, new_text, s.font_id, s.font_x_sz, s.font_y_sz, s.fg_colour, s.bg_colour,
       s.border_left_gap, s.border_right_gap, s.border_top_gap, s.border_bottom_gap, s.x_spacing,
       s.y_spacing);
  apply_style(s);
  if (s.image_filename) load_images(s.image_path, s.image_filename, &s);
  kind |= wm_kind::SCRIPT;
  notify_created();
}

WM_SCRIPT::WM_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* new_text,
                     uint8_t new_font, uint16_t font_w, uint16_t font_h, COLOUR new_text_colour,
                     COLOUR new_background)
    : WM_SCREEN_OBJECT(true, nullptr, 0, 0),
      image(&wm_image_cache()),
      flashing_image(&wm_image_cache()) {
  const uint16_t u = WM_STYLE_SET::UNSET;
  init(x1, y1, x2, y2, new_text, new_font, font_w, font_h, new_text_colour, new_background, u, u, u,
       u, u, u);
  kind |= wm_kind::SCRIPT;
  notify_created();
}

WM_SCRIPT::~WM_SCRIPT() {
  image.clear();
  flashing_image.clear();
}

// The style's border and text flags come after init, which starts the
// border flags at all four sides, so that rounded corners and the pressed
// look reach the label.
void WM_SCRIPT::apply_style(const WM_STYLE_SET& s) {
  border_flags = static_cast<uint16_t>(s.shading_flags & 0x7FFF);
  if ((s.drawing_flags & 3) == 3) border_flags |= border_flag::PRESSED;
  text_flags = text_flags_of(s.drawing_flags);
  underline_colour = is_set(s.underline_colour) ? s.underline_colour : COLOUR_INVISIBLE;
  fading_colour = is_set(s.fading_colour) ? s.fading_colour : 0xFF000000;
  flashing_text_colour = is_set(s.flashing_text_colour) ? s.flashing_text_colour : COLOUR_INVISIBLE;
}

void WM_SCRIPT::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* new_text,
                     uint8_t new_font, uint16_t font_w, uint16_t font_h, COLOUR new_text_colour,
                     COLOUR new_background, uint16_t left, uint16_t right, uint16_t top,
                     uint16_t bottom, uint16_t spacing_x, uint16_t spacing_y) {
  const uint16_t unset = WM_STYLE_SET::UNSET;
  const auto own_border = static_cast<uint16_t>(get_border_width(border_style));
  text.set_type(PARAMETER::TEXT);
  text.set_from_string(PARAMETER::VALUE, new_text ? new_text : "");
  font = new_font;
  font_width = font_w;
  font_height = font_h;
  text_colour = new_text_colour;
  background_colour = new_background;
  left_gap = left == unset ? own_border : left;
  right_gap = right == unset ? own_border : right;
  top_gap = top == unset ? own_border : top;
  bottom_gap = bottom == unset ? own_border : bottom;
  x_spacing = spacing_x == unset ? left_gap : spacing_x;
  y_spacing = spacing_y == unset ? top_gap : spacing_y;
  x = x1;
  y = y1;
  int32_t w = int32_t{x2} - x1 + 1;
  if (w <= 0) w = measure(text_of(text)) + left_gap + right_gap;
  int32_t h = int32_t{y2} - y1 + 1;
  if (h <= 0) {
    h = text_height() + top_gap + bottom_gap +
        accent_room(label_surface(), {font, font_width, static_cast<int16_t>(font_height)}, top_gap);
  }
  width = static_cast<uint16_t>(std::clamp<int32_t>(w, 0, 65535));
  height = static_cast<uint16_t>(std::clamp<int32_t>(h, 0, 65535));
  border_flags = border_flag::ALL_SIDES;
  flash_phase = 0;
  blink_mask = 32;
  text_effects = 1;
}

uint16_t WM_SCRIPT::text_height() const { return resolve_height(font_height); }

int32_t WM_SCRIPT::measure(const char* t) const {
  if (!t) return 0;
  return label_surface()->get_text_width(font, font_width, static_cast<int16_t>(font_height), t);
}

uint16_t WM_SCRIPT::wrap_to_width() {
  const char* t = text_of(text);
  const int32_t room = int32_t{width} - left_gap - right_gap;
  if (!t || room < 1) return height;
  const int32_t lines = label_surface()->count_text_block_lines(
      static_cast<int16_t>(std::min<int32_t>(room, 32767)), static_cast<int8_t>(font),
      static_cast<int16_t>(font_width), static_cast<int16_t>(font_height), t);
  if (lines <= 1) return height;
  text_flags |= script_flag::WRAP;
  return static_cast<uint16_t>(std::min<int32_t>(lines * text_height() + top_gap + bottom_gap, 65535));
}

void WM_SCRIPT::set_text(const char* new_text, bool grow) {
  if (visible) show();
  text.set_from_string(PARAMETER::VALUE, new_text);
  if (!grow) return;
  const char* t = text_of(text);
  const int32_t wanted = label_surface()->get_text_width(255, 65535, -1, t ? t : "") + 1;
  if (wanted <= width) return;
  width = static_cast<uint16_t>(std::min<int32_t>(wanted, 65535));
  // The area marked before covered only the old width.
  if (visible) invalidate();
}

bool WM_SCRIPT::load_images(const char* folder, const char* base_name, const WM_STYLE_SET* style) {
  if (style && style->is_loaded()) {
    image.clear();
    flashing_image.clear();
    if (style->state_images[STYLE_IMAGE_BASE]) image.copy(*style->state_images[STYLE_IMAGE_BASE]);
    if (!image.is_loaded() && style->state_images[STYLE_IMAGE_UP]) {
      image.copy(*style->state_images[STYLE_IMAGE_UP]);
    }
    if (style->state_images[STYLE_IMAGE_FLASHING]) {
      flashing_image.copy(*style->state_images[STYLE_IMAGE_FLASHING]);
    }
  } else if (base_name && folder) {
    if (!image.load(folder, base_name, 0)) {
      image.load(folder, (std::string(base_name) + "_up").c_str(), 0);
    }
    flashing_image.load(folder, (std::string(base_name) + "_flashing").c_str(), 0);
  } else {
    image.clear();
    flashing_image.clear();
  }
  return image.is_loaded();
}

bool WM_SCRIPT::load_images(const FOLDER& folder, const char* base_name,
                            const WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE] = {};
  if (!folder.get_path_text(path, sizeof path, nullptr)) path[0] = 0;
  return load_images(path, base_name, style);
}

void WM_SCRIPT::set_colours(COLOUR background, COLOUR new_text, COLOUR third, bool recolour) {
  background_colour = background;
  text_colour = new_text;
  if (image.is_loaded()) {
    if (recolour) {
      image.apply_all3(&background, &new_text, &third);
    } else {
      image.apply_all2(&background);
    }
  }
  show();
}

uint16_t WM_SCRIPT::style_gap_width(const WM_STYLE_SET& style) {
  const uint16_t unit = resolve_width(style.font_x_sz);
  return gap_total(style.border_left_gap, style.border_right_gap, unit, unit / 2u);
}

uint16_t WM_SCRIPT::style_gap_height(const WM_STYLE_SET& style, uint16_t unit) {
  return gap_total(style.border_top_gap, style.border_bottom_gap, 2u * unit, unit);
}

void WM_SCRIPT::style_label_size(const WM_STYLE_SET& style, const char* t, uint16_t* w,
                                 uint16_t* h) {
  const int32_t text_w = label_surface()->get_text_width(
      style.font_id, style.font_x_sz, static_cast<int16_t>(style.font_y_sz), t ? t : "");
  const auto unit = static_cast<uint16_t>(::get_border_width(style.shading_type));
  if (w)
    *w = static_cast<uint16_t>(std::clamp<int32_t>(style_gap_width(style) + text_w + 1, 0, 65535));
  if (h) {
    *h = static_cast<uint16_t>(std::min<uint32_t>(
        uint32_t{style_gap_height(style, unit)} + resolve_height(style.font_y_sz) + 1, 65535));
  }
}

int32_t WM_SCRIPT::process() {
  if (attached_object) {
    // A tooltip holds the input for its button but takes no focus: the
    // focus object, which this processing does not reach, keeps it.
    focus_changed = true;
    const int32_t result = attached_object->process();
    if (result != 0) return result;
  }
  return WM_SCREEN_OBJECT::process();
}

int32_t WM_SCRIPT::update(bool overlays) {
  const char* flashing = text_of(flashing_text);
  if (visible && flashing && flashing[0]) {
    const uint8_t wanted = (blink_mask & blink_phase) != 0 ? 1 : 0;
    if (wanted != flash_phase) {
      flash_phase = wanted;
      show();
    }
  }
  return WM_SCREEN_OBJECT::update(overlays);
}

bool WM_SCRIPT::hit_test(int16_t px, int16_t py) {
  if (!visible) return false;
  if (child_hit_test(px, py)) return true;
  if (px < x || py < y || px >= x + width || py >= y + height) return false;
  if (image.is_loaded() && !(text_flags & script_flag::NO_IMAGE_HIT_TEST)) {
    return image.is_opaque_at(static_cast<int16_t>(px - x), static_cast<int16_t>(py - y),
                              static_cast<int16_t>(width), static_cast<int16_t>(height));
  }
  return true;
}

void WM_SCRIPT::draw_background_fill(IMAGE* s, COLOUR in_use, uint16_t radius) {
  if (!draw_background) return;
  const auto x2 = static_cast<int16_t>(x + width - 1), y2 = static_cast<int16_t>(y + height - 1);
  const auto r = static_cast<int16_t>(radius);
  const uint8_t corners = image.is_loaded() ? 0 : static_cast<uint8_t>((border_flags >> 4) & 15);
  const bool flashing_in_use = flash_phase && is_set(flashing_background_colour);
  if ((text_flags & script_flag::DARKENED_BACKGROUND) && !flashing_in_use) {
    if (!corners) {
      s->darken_rect(x, y, x2, y2, 50);
    } else {
      const COLOUR black = 0xFF000000;
      s->fill_round_rect_gradient(x, y, x2, y2, r, corners, &black, &black, 50,
                                  IMAGE::ROUND_FILL_DARKEN);
    }
    return;
  }
  if (!is_set(in_use)) return;
  const bool hfade = text_flags & script_flag::HORIZONTAL_FADING;
  const bool vfade = text_flags & script_flag::VERTICAL_FADING;
  if (!corners) {
    if (hfade) {
      s->fill_gradient_h(x, y, x2, y2, &in_use, &fading_colour, true);
    } else if (vfade) {
      s->fill_gradient_v(x, y, x2, y2, &in_use, &fading_colour, true);
    } else {
      s->fill_rect(x, y, x2, y2, &in_use, true);
    }
    return;
  }
  const COLOUR black = 0xFF000000;
  const COLOUR* second = (hfade || vfade) ? &fading_colour : &black;
  const uint8_t mode = hfade   ? IMAGE::ROUND_FILL_HORIZONTAL
                       : vfade ? IMAGE::ROUND_FILL_VERTICAL
                               : IMAGE::ROUND_FILL_BLEND;
  s->fill_round_rect_gradient(x, y, x2, y2, r, corners, &in_use, second, 0, mode);
}

namespace {

// One axis of an icon attached to its text: the icon goes before or after
// the text (`t` its start, `text_size` its extent), the text moves over to
// make room by as much as its alignment on that axis allows, and [b1, b2]
// becomes the icon's box.
void attach_icon_on_axis(uint32_t f, uint32_t icon_before, uint32_t icon_after,
                         uint32_t align_near, uint32_t align_far, int32_t icon_size,
                         int32_t spacing, int32_t text_size, int32_t& t, int32_t& b1,
                         int32_t& b2) {
  const bool near = f & align_near, far = f & align_far;
  const int32_t shift = icon_size + spacing;
  if (f & icon_before) {
    t += near ? shift : far ? 0 : shift / 2;
    b2 = t - spacing - 1;
    b1 = b2 - icon_size + 1;
  } else if (f & icon_after) {
    t -= far ? shift : near ? 0 : shift / 2;
    b1 = t + text_size + spacing;
    b2 = b1 + icon_size - 1;
  }
}

// Where content `size` long starts on one axis of the box [origin,
// origin + extent) less its gaps: at the near or far edge, or centred.
int32_t aligned_start(uint32_t f, uint32_t align_near, uint32_t align_far, int32_t origin,
                      int32_t extent, int32_t gap_near, int32_t gap_far, int32_t size) {
  if (f & align_near) return origin + gap_near;
  if (f & align_far) return origin + extent - 1 - gap_far - size;
  return origin + gap_near + (extent - gap_near - gap_far - size) / 2;
}

}  // namespace

// Draws the icon and, when it is attached to the text, moves the text away
// from it.
void WM_SCRIPT::draw_icon(IMAGE* s, int32_t& tx, int32_t& ty, int32_t tw, int32_t th) {
  if (icon.width <= 0) return;
  const int32_t iw = icon.width, ih = icon.height;
  const uint32_t f = text_flags;
  int32_t bx1 = x, bx2 = x + width - 1, by1 = y, by2 = y + height - 1;
  if (!(f & script_flag::ICON_ATTACHED)) {
    if (f & script_flag::ICON_LEFT)
      bx2 = x + left_gap - 1;
    else if (f & script_flag::ICON_RIGHT)
      bx1 = x + width - right_gap;
    if (f & script_flag::ICON_TOP)
      by2 = y + top_gap - 1;
    else if (f & script_flag::ICON_BOTTOM)
      by1 = y + height - bottom_gap;
  } else {
    using namespace script_flag;
    attach_icon_on_axis(f, ICON_LEFT, ICON_RIGHT, LEFT_JUSTIFY, RIGHT_JUSTIFY, iw, x_spacing, tw,
                        tx, bx1, bx2);
    attach_icon_on_axis(f, ICON_TOP, ICON_BOTTOM, TOP_ALIGN, BOTTOM_ALIGN, ih, y_spacing, th, ty,
                        by1, by2);
  }
  CLIP_SCOPE keep(s);
  s->clip_to(static_cast<int16_t>(bx1), static_cast<int16_t>(by1), static_cast<int16_t>(bx2),
             static_cast<int16_t>(by2));
  icon.draw(static_cast<int16_t>(bx1 + (bx2 - bx1 + 1 - iw) / 2),
            static_cast<int16_t>(by1 + (by2 - by1 + 1 - ih) / 2), s, BLIT_BLEND);
}

void WM_SCRIPT::draw() {
  IMAGE* s = label_surface();
  CLIP_SCOPE keep(s);
  const auto x2 = static_cast<int16_t>(x + width - 1), y2 = static_cast<int16_t>(y + height - 1);
  const auto radius =
      static_cast<uint16_t>(std::min<int32_t>(20, IMAGE::default_corner_radius(x, y, x2, y2) / 2));
  s->clip_to(x, y, x2, y2);
  if (s->clip_is_empty()) return;
  const COLOUR in_use = flash_phase && is_set(flashing_background_colour)
                            ? flashing_background_colour
                            : background_colour;
  draw_background_fill(s, in_use, radius);

  if (!image.is_loaded()) {
    const COLOUR saved_outline = border_theme.outline;
    if (text_flags & script_flag::OUTLINE_IN_TEXT_COLOUR) border_theme.outline = text_colour;
    if (text_flags & script_flag::INDENTED_BORDER) {
      draw_border(x, y, x2, y2, border_flags | border_flag::PRESSED, &in_use, border_style, radius);
    } else if (text_flags & script_flag::RAISED_BORDER) {
      draw_border(x, y, x2, y2, border_flags, &in_use, border_style, radius);
    }
    border_theme.outline = saved_outline;
  } else {
    SKIN_FRAME& frame = flash_phase && flashing_image.is_loaded() ? flashing_image : image;
    frame.draw(static_cast<uint16_t>(x), static_cast<uint16_t>(y), static_cast<uint16_t>(x2),
               static_cast<uint16_t>(y2), (text_flags & script_flag::DONT_RESIZE_IMAGE) ? 0 : 1, s,
               BLIT_BLEND);
  }

  const char* t = text_of(flash_phase ? flashing_text : text);
  int32_t tw = t ? measure(t) : 0;
  std::string fitted;
  const int32_t room = int32_t{width} - left_gap - right_gap;
  if (t && (text_flags & script_flag::ELLIPSIS) && !(text_flags & script_flag::WRAP) && tw > room) {
    fitted = fit_text_end(label_surface(), {font, font_width, static_cast<int16_t>(font_height)}, t, room);
    t = fitted.c_str();
    tw = measure(t);
  }
  const int32_t th = text_height();
  using namespace script_flag;
  int32_t tx = aligned_start(text_flags, LEFT_JUSTIFY, RIGHT_JUSTIFY, x, width, left_gap,
                             right_gap, tw);
  int32_t ty = aligned_start(text_flags, TOP_ALIGN, BOTTOM_ALIGN, y, height, top_gap,
                             bottom_gap, th);
  draw_icon(s, tx, ty, tw, th);
  if (!t) return;

  const bool wrap = (text_flags & script_flag::WRAP) != 0;
  const TEXT_LINE_PLACE place =
      place_text_line(s, {font, font_width, static_cast<int16_t>(font_height)},
                      {x + left_gap, y + top_gap, x2 - right_gap, y2 - bottom_gap},
                      wrap ? y + top_gap : ty, {x, y, x2, y2});
  s->clip_to(place.clip);
  const COLOUR colour =
      flash_phase && is_set(flashing_text_colour) ? flashing_text_colour : text_colour;
  uint16_t flags = 0;
  if (text_flags & script_flag::LEFT_JUSTIFY) flags |= TEXT_LEFT;
  if (text_flags & script_flag::RIGHT_JUSTIFY) flags |= TEXT_RIGHT;
  if (text_flags & script_flag::TOP_ALIGN) flags |= TEXT_TOP;
  if (text_flags & script_flag::BOTTOM_ALIGN) flags |= TEXT_BOTTOM;
  if (text_effects == 1) {
    if (text_flags & script_flag::SHADOW) flags |= TEXT_SHADOW;
    if (text_flags & script_flag::INSET) flags |= TEXT_INSET;
    if (text_flags & script_flag::CHISELED) flags |= TEXT_CHISELED;
  }
  const auto f = static_cast<int8_t>(font);
  const auto fw = static_cast<int16_t>(font_width), fh = static_cast<int16_t>(font_height);
  if (wrap) {
    s->draw_text_block(static_cast<int16_t>(x + left_gap), static_cast<int16_t>(y + top_gap),
                       static_cast<int16_t>(x2 - right_gap), static_cast<int16_t>(y2 - bottom_gap),
                       &colour, nullptr, &underline_colour, f, fw, fh, t, flags);
  } else {
    s->draw_text(static_cast<int16_t>(tx), static_cast<int16_t>(place.top), &colour, nullptr,
                 &underline_colour, f, fw, fh, t, flags);
  }
}
