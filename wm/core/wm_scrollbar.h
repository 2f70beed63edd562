#pragma once
// WM_SCROLLBAR shows and edits a ranged integer PARAMETER that its owner
// keeps: a horizontal or vertical bar, with or without end buttons, driven by
// slider drags, presses on the track and buttons that repeat while held, the
// arrow and page keys while it has the focus, and the wheel while it is the
// scroll target. It draws from 15 skin frames or, lacking them, four colours.
#include <cstdint>

#include "parameter.h"
#include "skin_frame.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class WM_SCROLLBAR;

enum class SCROLLBAR_TYPE : uint32_t {
  HORIZONTAL = 0,
  HORIZONTAL_WITH_BUTTONS = 1,
  VERTICAL = 2,
  VERTICAL_WITH_BUTTONS = 3,
};

// Step kinds. The maximum lies to the right of a horizontal bar and at the
// top of a vertical one.
enum class SCROLL_STEP : int32_t {
  NONE = 0,
  LINE_TO_MAXIMUM = 1,
  LINE_TO_MINIMUM = 2,
  PAGE_TO_MAXIMUM = 3,
  PAGE_TO_MINIMUM = 4,
};

// look_flags bits.
namespace scrollbar_look {
constexpr uint8_t ROUNDED = 0x1;
constexpr uint8_t VERTICAL_GRADIENT = 0x2;
constexpr uint8_t HORIZONTAL_GRADIENT = 0x4;
constexpr uint8_t DONT_STRETCH_IMAGES = 0x10;
constexpr uint8_t DEFAULT = 0x80;  // rounded, with the gradient across the bar
}  // namespace scrollbar_look

// Replaces line_step / page_step; an owner finds itself again through the
// bar's first action word.
using SCROLLBAR_STEP_FUNCTION = int32_t (*)(WM_SCROLLBAR* bar, SCROLL_STEP kind);

class WM_SCROLLBAR : public WM_SCREEN_OBJECT {
public:
  static constexpr int32_t MIN_SLIDER_LENGTH = 4;
  static constexpr int32_t MIN_THICKNESS = 3;
  static constexpr uint32_t FIRST_REPEAT_MS = 500;
  static constexpr uint32_t NEXT_REPEAT_MS = 60;

  // Everything from the style: type from its scroll-bar flags, colours, slider
  // and button lengths, images.
  WM_SCROLLBAR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, PARAMETER* variable,
               const WM_STYLE_SET* style, WM_CALLBACK callback, uintptr_t word_1,
               uintptr_t word_2);
  // Null colours are unset (not drawn).
  WM_SCROLLBAR(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t slider_length,
               int16_t button_length, PARAMETER* variable, SCROLLBAR_TYPE type, uint8_t look_flags,
               const COLOUR* bar, const COLOUR* slider, const COLOUR* button, const COLOUR* arrow,
               bool visible, WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2);
  // Stops being the scroll target; the variable is left alone.
  ~WM_SCROLLBAR() override;

  // A null variable, one of the pointer type or a range without room is a
  // fatal error. Too short a slider or too thin a bar is enlarged.
  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t slider_length,
            int16_t button_length, PARAMETER* variable, SCROLLBAR_TYPE type, uint8_t look_flags,
            const COLOUR* bar, const COLOUR* slider, const COLOUR* button, const COLOUR* arrow);

  int32_t process() override;
  void set_position(int16_t new_x, int16_t new_y) override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  bool is_selectable() override;
  void draw() override;

  // Recomputes the track; a bar too short for its buttons and slider gets
  // shorter buttons, then a shorter slider, never a negative travel.
  void layout();
  void set_slider_length(int16_t length);
  int32_t get_track_length() const;
  int32_t get_travel() const { return travel; }
  // Along the axis, in screen pixels.
  int32_t get_slider_start() const;
  int32_t get_slider_extent() const { return slider_extent; }
  int32_t get_button_extent() const { return button_extent; }
  int32_t get_step(SCROLL_STEP kind);

  // A loaded style lends its images; else the 15 frames "<base>_bar" ...
  // from the folder; with neither all frames are released.
  bool load_images(const char* folder, const char* base_name, const WM_STYLE_SET* style);
  bool load_images(const FOLDER& folder, const char* base_name, const WM_STYLE_SET* style);
  bool images_complete() const;
  void release_images();

  // Acts on a scroll key as the focused bar does (Control held or not);
  // false for a key the bar does not take.
  bool scroll_by_key(uint32_t key, bool control);

  // The bar that takes the wheel (and, through a grid, the scroll keys).
  void make_scroll_target();
  static WM_SCROLLBAR* scroll_target() { return target; }

  bool is_vertical() const {
    return type == SCROLLBAR_TYPE::VERTICAL || type == SCROLLBAR_TYPE::VERTICAL_WITH_BUTTONS;
  }
  bool has_buttons() const {
    return type == SCROLLBAR_TYPE::HORIZONTAL_WITH_BUTTONS ||
           type == SCROLLBAR_TYPE::VERTICAL_WITH_BUTTONS;
  }

  enum FRAME : uint8_t {
    BAR, BAR_DISABLED, BAR_OVER,
    SLIDER_UP, SLIDER_DOWN, SLIDER_DISABLED, SLIDER_OVER,
    LESS_UP, LESS_DOWN, LESS_DISABLED, LESS_OVER,
    MORE_UP, MORE_DOWN, MORE_DISABLED, MORE_OVER,
    FRAME_COUNT
  };

  SCROLLBAR_TYPE type = SCROLLBAR_TYPE::VERTICAL;
  PARAMETER* variable = nullptr;  // not owned
  int32_t shown_value = 0;
  int16_t slider_length = MIN_SLIDER_LENGTH;  // as asked for; layout may draw it shorter
  int16_t button_length = 0;
  COLOUR bar_colour = COLOUR_INVISIBLE;
  COLOUR slider_colour = COLOUR_INVISIBLE;
  COLOUR button_colour = COLOUR_INVISIBLE;
  COLOUR arrow_colour = COLOUR_INVISIBLE;
  // Take the place of the fill and arrow colours while focused or hovered.
  COLOUR hover_fill_colour = COLOUR_INVISIBLE;
  COLOUR hover_arrow_colour = COLOUR_INVISIBLE;
  uint8_t look_flags = 0;
  uint8_t enabled = 1;
  int32_t line_step = 1;
  int32_t page_step = 1;
  int16_t wheel_step = 1;
  SCROLLBAR_STEP_FUNCTION step_provider = nullptr;
  uint8_t value_changed = 0;  // during process: the value moved since the last report
  SKIN_FRAME frames[FRAME_COUNT];

private:
  enum class PART : uint8_t { NONE, BAR, SLIDER, LESS, MORE };
  struct HOVER {
    uint8_t bar = 0, slider = 0, less = 0, more = 0;
    bool operator!=(const HOVER& o) const {
      return bar != o.bar || slider != o.slider || less != o.less || more != o.more;
    }
  };

  int32_t value() const;
  int32_t minimum() const;
  int32_t maximum() const;
  void set_value(int64_t v);
  void apply_step(SCROLL_STEP kind);
  int32_t axis_of(int16_t px, int16_t py) const { return is_vertical() ? py : px; }
  int32_t axis_start() const { return is_vertical() ? y : x; }
  int32_t track_start() const { return axis_start() + button_extent; }
  // The part under the pointer; buttons_inset narrows the buttons' hover
  // area as the colour look draws them.
  PART part_at(int16_t px, int16_t py, int32_t button_inset) const;
  SCROLL_STEP step_for_press(int16_t px, int16_t py) const;
  void handle_keys();
  void handle_button(bool held, int16_t px, int16_t py);
  void redraw();
  void draw_frames(IMAGE* s, int32_t slider_start);
  void draw_colours(IMAGE* s, int32_t slider_start);
  void draw_colour_button(IMAGE* s, int32_t a1, int32_t a2, bool more);
  // The rectangle of [a1, a2] along the axis, the bar's whole thickness across.
  RECT along(int32_t a1, int32_t a2, int32_t inset) const;

  static WM_SCROLLBAR* target;

  int32_t travel = 0;
  int32_t slider_extent = 0;
  int32_t button_extent = 0;
  uint8_t dragging = 0;
  uint8_t drag_moved = 0;
  int32_t drag_grab = 0;    // pointer minus slider start at the press
  int32_t press_axis = 0;   // where the drag began, so a still press writes nothing
  uint8_t button_was_down = 0;
  uint32_t repeat_time = 0;
  SCROLL_STEP repeat_kind = SCROLL_STEP::NONE;
  uint8_t repeating = 0;
  HOVER hover;
};
