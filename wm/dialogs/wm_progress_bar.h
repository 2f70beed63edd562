#pragma once
// WM_PROGRESS_BAR shows how far long work has come: an optional title, a
// sunken bar filled by value / total and the percentage or a text on it,
// drawn from colours or from skin frames whose overlays can scroll. Work that
// runs inside one main-loop turn keeps the window answering through it.
#include <cstdint>
#include <string>

#include "colour.h"
#include "skin_frame.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class FOLDER;

// Bits of WM_PROGRESS_BAR::bar_flags.
namespace progress_flag {
constexpr uint8_t NO_OUTER_BORDER = 0x1;
constexpr uint8_t DONT_RESIZE_IMAGES = 0x2;
constexpr uint8_t ONLY_BAR = 0x4;  // no background, border, title or bar frame
constexpr uint8_t VERTICAL = 0x8;  // fills from the bottom; never has a title
constexpr uint8_t NO_SHADING = 0x10;
constexpr uint8_t TEXT_ON_BAR = 0x20;  // the text follows the fill
constexpr uint8_t ALT_PERCENTAGE = 0x40;
}  // namespace progress_flag

using PLATFORM_FRAME_FUNCTION = void (*)();

class WM_PROGRESS_BAR : public WM_SCREEN_OBJECT {
public:
  // A null style takes the default style values.
  WM_PROGRESS_BAR(int16_t x, int16_t y, uint16_t w, uint16_t h, const char* title, int32_t total,
                  const WM_STYLE_SET* style);
  // Colour form: the arguments of init.
  WM_PROGRESS_BAR(int16_t x, int16_t y, uint16_t w, uint16_t h, const char* title, int32_t total,
                  const COLOUR* background, const COLOUR* foreground, const COLOUR* bar,
                  uint8_t flags, uint8_t font, uint16_t font_w, uint16_t font_h, uint16_t left,
                  uint16_t right, uint16_t top, uint16_t bottom);
  ~WM_PROGRESS_BAR() override;

  // Font 255, sizes and gaps of 65535 take the defaults; null colours are
  // unset. A bar not wholly on one screen is fatal error 0x110.
  void init(int16_t x, int16_t y, uint16_t w, uint16_t h, const char* title, int32_t total,
            const COLOUR* background, const COLOUR* foreground, const COLOUR* bar, uint8_t flags,
            uint8_t font, uint16_t font_w, uint16_t font_h, uint16_t left, uint16_t right,
            uint16_t top, uint16_t bottom);
  // A loaded style lends its bg, empty, full and alternate frames; else
  // "<base>_bg", "_empty", "_full" and "_alt" from the folder; a null base
  // drops the frames. Whether the bar is skinned afterwards.
  bool set_skin(const char* folder, const char* base_name, const WM_STYLE_SET* style);
  bool set_skin(const FOLDER& folder, const char* base_name, const WM_STYLE_SET* style);
  void clear_skin();
  bool is_skinned() const { return empty_frame.is_loaded() && full_frame.is_loaded(); }
  // Null removes the text. With now the bar is drawn and presented at once
  // and the platform frame may run; the bar must not be used by the caller
  // to decide anything the frame could have changed.
  void set_text(const char* new_text, bool now);
  const char* get_text() const { return has_text ? text.c_str() : nullptr; }
  const char* get_title() const { return has_title ? title.c_str() : nullptr; }
  // Scrolls the full frame's overlays as far as the clock has moved on.
  void animate();
  // animate, then at most one platform frame per calendar second (one
  // second shared by every bar). Nothing of the bar is touched after it.
  void update_and_poll();
  // Test seam: what runs as the platform frame (null restores it), and the
  // second of the last frame run.
  static void set_platform_frame(PLATFORM_FRAME_FUNCTION frame);
  static int64_t last_poll_second;

  int32_t update(bool overlays) override;
  bool is_selectable() override { return false; }
  void draw() override;

  int32_t total = 0;
  int32_t value = 0;  // stored directly by users
  COLOUR bg_colour = COLOUR_INVISIBLE;
  COLOUR fg_colour = COLOUR_INVISIBLE;  // the title
  COLOUR bar_colour = COLOUR_INVISIBLE;
  COLOUR text_colour = COLOUR_INVISIBLE;
  COLOUR empty_colour = COLOUR_INVISIBLE;
  COLOUR alt_text_colour = COLOUR_INVISIBLE;
  uint8_t font = 255;
  uint16_t font_width = WM_STYLE_SET::UNSET;
  uint16_t font_height = WM_STYLE_SET::UNSET;
  uint16_t left_gap = 0, right_gap = 0, top_gap = 0, bottom_gap = 0;
  uint8_t bar_flags = 0;
  uint32_t last_x_step = 0;  // ms
  uint32_t last_y_step = 0;
  // Milliseconds per pixel of overlay scrolling; the sign is the direction.
  int16_t animation_x_rate = 0;
  int16_t animation_y_rate = 0;
  uint16_t animation_update_rate = 300;  // least ms between two steps
  uint32_t bar_border_style = 6;
  SKIN_FRAME background_frame, empty_frame, full_frame, alt_frame;

private:
  struct LAYOUT;
  static uint8_t flags_of(const WM_STYLE_SET& style);
  static void poll_platform();
  bool step_overlay(int16_t rate, int32_t span, uint32_t now, uint32_t& last, int16_t& offset);
  void draw_frame(SKIN_FRAME& frame, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void fill_part(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const COLOUR& colour);
  void draw_label(const char* t, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                  const COLOUR& colour);
  int32_t text_width(const char* t) const;

  std::string title;
  std::string text;
  bool has_title = false;
  bool has_text = false;
};
