#pragma once
// WM_SCRIPT is the toolkit's static text label: a rectangle with an optional
// background (plain, fading, darkened or a skin image), border and icon, and
// one line or a wrapped block of text placed by its flags. Dialog titles,
// tooltips and grid cells are labels; a label with a flashing text alternates
// with the global blink bits.
#include <cstdint>

#include "image.h"
#include "parameter.h"
#include "skin_frame.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

// Layout and effect bits of WM_SCRIPT::text_flags.
namespace script_flag {
constexpr uint32_t INDENTED_BORDER = 0x1;
constexpr uint32_t RAISED_BORDER = 0x2;
constexpr uint32_t LEFT_JUSTIFY = 0x4;
constexpr uint32_t RIGHT_JUSTIFY = 0x8;
constexpr uint32_t TOP_ALIGN = 0x10;
constexpr uint32_t BOTTOM_ALIGN = 0x20;
constexpr uint32_t DARKENED_BACKGROUND = 0x40;
constexpr uint32_t HORIZONTAL_FADING = 0x80;
constexpr uint32_t VERTICAL_FADING = 0x100;
constexpr uint32_t OUTLINE_IN_TEXT_COLOUR = 0x200;
constexpr uint32_t SHADOW = 0x400;
constexpr uint32_t INSET = 0x800;
constexpr uint32_t CHISELED = 0x1000;
constexpr uint32_t ICON_LEFT = 0x2000;
constexpr uint32_t ICON_RIGHT = 0x4000;
constexpr uint32_t ICON_TOP = 0x8000;
constexpr uint32_t ICON_BOTTOM = 0x10000;
constexpr uint32_t ICON_ATTACHED = 0x20000;
constexpr uint32_t WRAP = 0x40000;
constexpr uint32_t DONT_RESIZE_IMAGE = 0x80000;
constexpr uint32_t NO_IMAGE_HIT_TEST = 0x1000000;  // set by owners
constexpr uint32_t ELLIPSIS = 0x2000000;  // set by owners: a text too wide ends in an ellipsis
}  // namespace script_flag

class WM_SCRIPT : public WM_SCREEN_OBJECT {
 public:
  // (x1, y1) top-left, (x2, y2) the inclusive far corner; a width or height
  // of 0 or below is fitted to the text. Everything else from the style.
  WM_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
            const char* text);
  // A label without a style: no border, no text flags, gaps from the
  // default border style. Font 255 and sizes 65535 are the surface's.
  WM_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text, uint8_t font,
            uint16_t font_w, uint16_t font_h, COLOUR text_colour, COLOUR background);
  ~WM_SCRIPT() override;

  int32_t process() override;
  int32_t update(bool overlays) override;
  bool hit_test(int16_t px, int16_t py) override;
  bool is_selectable() override { return false; }
  void draw() override;
  // Redraws the old text's area when visible; grow only ever widens.
  virtual void set_text(const char* new_text, bool grow);

  // The body of the constructors; 255 / 65535 arguments take the defaults.
  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* new_text, uint8_t new_font,
            uint16_t font_w, uint16_t font_h, COLOUR new_text_colour, COLOUR new_background,
            uint16_t left, uint16_t right, uint16_t top, uint16_t bottom, uint16_t spacing_x,
            uint16_t spacing_y);
  // A loaded style lends its images; else base name (then "%s_up") from the
  // folder; with neither both frames are cleared. Whether the image is loaded.
  bool load_images(const char* folder, const char* base_name, const WM_STYLE_SET* style);
  bool load_images(const FOLDER& folder, const char* base_name, const WM_STYLE_SET* style);
  void set_colours(COLOUR background, COLOUR text, COLOUR third, bool recolour);

  // A text too wide for the label's room is broken into lines (WRAP); the
  // height those lines need, gaps included, is returned. Otherwise the
  // label's own height.
  uint16_t wrap_to_width();

  // Size helpers other widgets lay out with.
  static uint16_t style_gap_width(const WM_STYLE_SET& style);
  static uint16_t style_gap_height(const WM_STYLE_SET& style, uint16_t unit);
  static void style_label_size(const WM_STYLE_SET& style, const char* text, uint16_t* w,
                               uint16_t* h);

  PARAMETER text;
  PARAMETER flashing_text;
  uint8_t flash_phase = 0;
  COLOUR text_colour = 0xFFFFFFFF;
  COLOUR underline_colour = COLOUR_INVISIBLE;
  COLOUR background_colour = COLOUR_INVISIBLE;
  COLOUR fading_colour = 0xFF000000;
  COLOUR flashing_background_colour = COLOUR_INVISIBLE;
  COLOUR flashing_text_colour = COLOUR_INVISIBLE;
  uint8_t draw_background = 1;
  uint8_t font = 255;
  uint16_t font_width = WM_STYLE_SET::UNSET;
  uint16_t font_height = WM_STYLE_SET::UNSET;
  uint16_t left_gap = 0, right_gap = 0, top_gap = 0, bottom_gap = 0;
  uint16_t x_spacing = 0, y_spacing = 0;
  uint32_t text_flags = 0;
  uint16_t border_flags = border_flag::ALL_SIDES;
  uint8_t text_effects = 1;
  uint8_t blink_mask = 32;  // blink bit 5: changes every 2000 ms
  // Gets its process first (a button whose tooltip this label is); not owned.
  WM_SCREEN_OBJECT* attached_object = nullptr;
  IMAGE icon;
  SKIN_FRAME image;
  SKIN_FRAME flashing_image;

 protected:
  // Leaves the label's fields to a derived class, which calls init.
  explicit WM_SCRIPT(bool is_visible);

 private:
  uint16_t text_height() const;
  int32_t measure(const char* t) const;
  void apply_style(const WM_STYLE_SET& style);
  void draw_background_fill(IMAGE* s, COLOUR in_use, uint16_t radius);
  void draw_icon(IMAGE* s, int32_t& tx, int32_t& ty, int32_t tw, int32_t th);
};
