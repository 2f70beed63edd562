#pragma once
// WM_BUTTON is the toolkit's clickable widget: a push button with a caption,
// an optional icon, mark and arrows, eleven skin state frames or a colour
// look, a tooltip, a hot key, held-button repeats, drag and drop and
// flashing. Its action callback hears press, release, repeat and cancel
// events; a non-zero result travels up through process as a page action.
#include <cstdint>
#include <string>

#include "image.h"
#include "parameter.h"
#include "skin_frame.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class WM_BUTTON;
class WM_SCRIPT;

// Bits of WM_BUTTON::draw_flags.
namespace button_flag {
constexpr uint32_t LEFT_JUSTIFY = 0x1;
constexpr uint32_t RIGHT_JUSTIFY = 0x2;
constexpr uint32_t TOP_ALIGN = 0x4;
constexpr uint32_t BOTTOM_ALIGN = 0x8;
constexpr uint32_t ARROW_LEFT = 0x10;
constexpr uint32_t ARROW_RIGHT = 0x20;
constexpr uint32_t ARROW_UP = 0x40;
constexpr uint32_t ARROW_DOWN = 0x80;
constexpr uint32_t DARKENED_BACKGROUND = 0x100;
constexpr uint32_t BEVEL = 0x200;  // the border itself carries the pressed look
constexpr uint32_t HORIZONTAL_FADING = 0x400;
constexpr uint32_t VERTICAL_FADING = 0x800;
constexpr uint32_t INVERT_FADING_WHEN_PRESSED = 0x1000;
constexpr uint32_t OUTLINE_IN_TEXT_COLOUR = 0x2000;
constexpr uint32_t SHADOW = 0x4000;
constexpr uint32_t INSET = 0x8000;
constexpr uint32_t CHISELED = 0x10000;
constexpr uint32_t ICON_LEFT = 0x20000;
constexpr uint32_t ICON_RIGHT = 0x40000;
constexpr uint32_t ICON_TOP = 0x80000;
constexpr uint32_t ICON_BOTTOM = 0x100000;
constexpr uint32_t ICON_ATTACHED = 0x200000;
constexpr uint32_t WRAP = 0x400000;
constexpr uint32_t DONT_RESIZE_IMAGE = 0x800000;
constexpr uint32_t DONT_MASK_CLICK = 0x1000000;  // transparent image pixels still click
constexpr uint32_t ELLIPSIS = 0x2000000;  // set by owners: a text too wide ends in an ellipsis
}  // namespace button_flag

// Click events (event_mask bits).
namespace button_event {
constexpr uint8_t PRESS = 1;
constexpr uint8_t RELEASE = 2;
constexpr uint8_t REPEAT = 4;
constexpr uint8_t CANCEL = 8;
}  // namespace button_event

// Drag events (drag_mask bits).
namespace drag_event {
constexpr uint32_t START = 1;
constexpr uint32_t RELEASE_IN_PLACE = 2;
constexpr uint32_t DROP = 4;
constexpr uint32_t DROP_ON_ITSELF = 8;
}  // namespace drag_event

enum class BUTTON_BEHAVIOUR : uint32_t {
  NORMAL = 0,
  AUTO_DEPRESS = 1,   // pressed while the pointer is over it
  AUTO_ACTIVATE = 2,  // resting on it presses it
};

// State frames, in the order of their file-name suffixes.
enum BUTTON_FRAME : uint8_t {
  FRAME_UP,
  FRAME_DOWN,
  FRAME_DISABLED,
  FRAME_OVER,
  FRAME_ACTIVE_UP,
  FRAME_ACTIVE_DOWN,
  FRAME_ACTIVE_DISABLED,
  FRAME_ACTIVE_OVER,
  FRAME_HIGHLIGHTED,
  FRAME_FLASHING,
  FRAME_DRAGGING,
  BUTTON_FRAME_COUNT
};

// Its result becomes the active byte.
using BUTTON_STATE_CALLBACK = uint8_t (*)(WM_BUTTON* button, uintptr_t word);
using BUTTON_DRAG_CALLBACK = int32_t (*)(WM_BUTTON* button, WM_SCREEN_OBJECT* target, int16_t x,
                                         int16_t y, uint32_t event, uintptr_t word_1,
                                         uintptr_t word_2);

class WM_BUTTON : public WM_SCREEN_OBJECT {
public:
  static constexpr uint16_t NO_POSITION = 65535;
  static constexpr uint32_t KEY_RETURN = 0xFF0D;
  static constexpr uint32_t KEY_SPACE = 0x20;
  // Tooltips keep this far inside the surface's edges.
  static constexpr int32_t TOOLTIP_MARGIN = 4;
  static constexpr uint32_t FIRST_REPEAT_MS = 300;
  static constexpr uint32_t NEXT_REPEAT_MS = 30;

  // Style form. A far corner before the origin fits the button to its text.
  WM_BUTTON(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
            const char* text, const char* tooltip_text, WM_CALLBACK callback, uintptr_t word_1,
            uintptr_t word_2, uint8_t event_mask);
  // Colour form (check boxes, grid cells): one background for the up,
  // active and pressed looks; default gaps.
  WM_BUTTON(int16_t x1, int16_t y1, int16_t x2, int16_t y2, COLOUR background, COLOUR text_colour,
            const char* text, uint8_t font, uint16_t font_w, uint16_t font_h,
            BUTTON_BEHAVIOUR behaviour, uint32_t draw_flags, uint16_t edge_flags,
            WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2, bool visible,
            uint8_t event_mask);
  ~WM_BUTTON() override;

  void show() override;
  void hide(bool overlays, bool children) override;
  int32_t process() override;
  int32_t update(bool overlays) override;
  bool hit_test(int16_t px, int16_t py) override;
  bool is_selectable() override { return enabled && selectable; }
  void draw() override;
  virtual void set_hotkey(uint32_t key_symbol) { hotkey = key_symbol; }
  // Clicks the button as a press and release over it would (Escape in a
  // dialog clicks its Cancel): the callback hears a release. Nothing for a
  // hidden or disabled button. The callback's page action, else 1.
  int32_t click();
  // Told by the page manager once a frame's processing has reached every
  // object it meant to: a button under the pointer that it did not reach
  // (one behind an open dialog) drops its hover look and its tooltip.
  static void end_processing_frame(bool walk_was_whole);

  // The body of the constructors; font 255 and sizes or gaps of 65535 take
  // the defaults.
  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text, COLOUR up,
            COLOUR active_background, COLOUR highlight, BUTTON_BEHAVIOUR behaviour, uint8_t font,
            uint16_t font_w, uint16_t font_h, uint16_t left, uint16_t right, uint16_t top,
            uint16_t bottom, uint16_t spacing_x, uint16_t spacing_y, uint8_t event_mask);
  // False for a null text or when it cannot be copied; grow only widens.
  bool set_text(const char* new_text, bool grow);
  const char* get_text() const { return text.c_str(); }
  // Null or "" removes the tooltip.
  void set_tooltip(const char* tooltip_text);
  void set_enabled(bool on);
  // A loaded style lends its frames; else "<name>_up" ... from the folder.
  // Whether "_up" and "_down" are both there.
  bool load_images(const char* folder, const char* base_name, const WM_STYLE_SET* style);
  bool load_images(const FOLDER& folder, const char* base_name, const WM_STYLE_SET* style);
  void set_icon_image(const IMAGE& source);
  // With recolour all three colours recolour the frames, else the
  // background tints them.
  void set_colours(COLOUR background, COLOUR new_text, COLOUR third, bool recolour);
  void clear_images();
  bool has_images() const;

  // The style every tooltip is drawn in, set up on first use.
  static WM_STYLE_SET& tooltip_style();
  // Set once an application has put its own look into tooltip_style().
  static uint8_t tooltip_style_set;

  uint8_t indent_when_active = 0;
  uint16_t edge_flags = border_flag::ALL_SIDES;
  char mark[2] = {};  // drawn in the left gap while active
  COLOUR up_colour = COLOUR_INVISIBLE;
  COLOUR active_colour = COLOUR_INVISIBLE;
  COLOUR active_text_colour = COLOUR_INVISIBLE;
  COLOUR highlight_colour = COLOUR_INVISIBLE;
  COLOUR text_colour = 0xFF000000;
  COLOUR highlight_text_colour = COLOUR_INVISIBLE;
  COLOUR fading_colour = 0xFF000000;
  COLOUR mouse_over_colour = COLOUR_INVISIBLE;
  COLOUR mouse_over_text_colour = COLOUR_INVISIBLE;
  COLOUR flashing_colour = COLOUR_INVISIBLE;
  COLOUR flashing_text_colour = COLOUR_INVISIBLE;
  COLOUR disabled_colour = COLOUR_INVISIBLE;
  COLOUR disabled_text_colour = COLOUR_INVISIBLE;
  COLOUR outline_colour = COLOUR_INVISIBLE;
  uint8_t pressed = 0;
  uint8_t prev_left = 0;
  uint8_t prev_right = 0;
  uint8_t armed = 0;      // a press began inside and has not ended
  uint8_t menu_item = 0;  // set by menus for their items
  uint8_t enabled = 1;
  uint8_t mouse_over = 0;
  // Set by other widgets (the on-screen keyboard): drawn held, or in the
  // hover look, whatever the pointer does.
  uint8_t latched = 0;
  uint8_t highlighted = 0;
  BUTTON_STATE_CALLBACK state_callback = nullptr;
  uintptr_t state_word = 0;
  BUTTON_BEHAVIOUR behaviour = BUTTON_BEHAVIOUR::NORMAL;
  uint32_t draw_flags = 0;
  uint8_t font = 255;
  uint16_t font_width = WM_STYLE_SET::UNSET;
  uint16_t font_height = WM_STYLE_SET::UNSET;
  WM_SCRIPT* tooltip = nullptr;  // owned
  int64_t tooltip_time = 0;      // calendar second of the rest's start
  uint16_t tooltip_x = NO_POSITION;
  uint16_t tooltip_y = NO_POSITION;
  uint8_t tooltip_on_press = 0;  // shown while pressed instead of after a rest
  uint16_t left_gap = 0, right_gap = 0, top_gap = 0, bottom_gap = 0;
  uint16_t x_spacing = 0, y_spacing = 0;
  uint8_t event_mask = 0;
  uint8_t release_event = 0;  // 1 while the callback hears a release or cancel
  uint8_t firing_event = 0;   // the button_event the callback hears; 0 outside it
  uint8_t prev_return = 0;  // Return, or Space on the focus, in the previous frame
  uint32_t hotkey = 0;
  uint8_t prev_hotkey = 0;
  uint8_t takes_return = 0;  // Return clicks it without the focus
  PARAMETER flash_text;      // empty: the button does not flash
  uint8_t flash_phase = 0;
  uint8_t flash_mask = 32;
  uint32_t repeat_time = 0;  // frame clock of the press or the last repeat
  uint8_t repeating = 0;
  uint8_t right_drags = 1;
  uint8_t drag_started = 0;
  uint16_t drag_x = NO_POSITION;
  uint16_t drag_y = NO_POSITION;
  int16_t drag_dx = 0, drag_dy = 0;
  BUTTON_DRAG_CALLBACK drag_callback = nullptr;
  uintptr_t drag_word_1 = 0;
  uintptr_t drag_word_2 = 0;
  uint32_t drag_mask = 0;
  IMAGE icon;
  IMAGE over_icon;
  IMAGE drag_icon;
  SKIN_FRAME state_frames[BUTTON_FRAME_COUNT];

private:
  struct INPUT;
  struct LOOK;
  std::string text;
  // Focus object held while a press tooltip shows; only compared against
  // live objects before it is given the focus back.
  WM_SCREEN_OBJECT* saved_focus = nullptr;
  uint8_t drawing_drag_copy = 0;
  // The processing frame that last reached this button.
  uint32_t reached_frame = 0;
  static uint32_t processing_frame;
  // The button the pointer was last seen over; cleared by its destructor.
  static WM_BUTTON* pointer_holder;

  void apply_style(const WM_STYLE_SET& style);
  void redraw();
  INPUT read_input();
  int32_t drag_step(const INPUT& in, const LIFE_WATCH& watch);
  void tooltip_step(const INPUT& in);
  void hide_tooltip();
  void place_tooltip(int32_t tx);
  void restore_saved_focus();
  int32_t click_step(const INPUT& in, const LIFE_WATCH& watch);
  // Sets the pressed look, marking the button for repainting when it changes.
  void show_pressed(bool down);
  // Calls back one click event with release_event and firing_event set;
  // the callback's page action, 1 for 0 (0 for a menu item).
  int32_t fire_event(uint8_t event, const LIFE_WATCH& watch);
  void request_pointer_shape(const INPUT& in);
  void invalidate_drag_image();
  void list_while_dragged(bool on);

  LOOK look();
  void draw_background(IMAGE* s, const LOOK& l);
  void draw_caption(IMAGE* s, const LOOK& l);
  void draw_icon(IMAGE* s, const LOOK& l, int32_t& tx, int32_t& ty, int32_t tw, int32_t th);
  void draw_decorations(IMAGE* s, const LOOK& l, int32_t ty);
  void draw_drag_image(IMAGE* s);
  // The keyboard focus: a dotted ring inside the border, whatever the look.
  void draw_focus_mark(const LOOK& l);
};
