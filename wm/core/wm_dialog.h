#pragma once
// WM_DIALOG is the toolkit's movable window: a body drawn from a style or a
// skin frame, an optional title label and a client container that holds the
// dialog's widgets. It opens and closes with fade and slide effects, turns
// translucent while dragged by its title or empty body, and is deleted by
// its owner once a close that asked for removal has ended.
#include <cstdint>

#include "dialog_effects.h"
#include "image.h"
#include "skin_frame.h"
#include "wm_manager.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class FOLDER;
class WM_BUTTON;
class WM_SCRIPT;

// The colours of the colour form, each replacing the default dialog styles'
// colour when its alpha is not 0.
struct DIALOG_COLOURS {
  COLOUR body_background = COLOUR_INVISIBLE;
  COLOUR body_foreground = COLOUR_INVISIBLE;
  COLOUR title_background = COLOUR_INVISIBLE;
  COLOUR title_foreground = COLOUR_INVISIBLE;
  COLOUR button_background = COLOUR_INVISIBLE;
  COLOUR button_foreground = COLOUR_INVISIBLE;
  COLOUR button_highlight = COLOUR_INVISIBLE;
  COLOUR button_highlight_text = COLOUR_INVISIBLE;
};

class WM_DIALOG : public WM_SCREEN_OBJECT {
public:
  // x or y of -1 centres the dialog in the viewport. Null styles take the
  // default dialog styles, a null record the default effects.
  WM_DIALOG(int16_t x, int16_t y, int16_t w, int16_t h, const char* title,
            const WM_STYLE_SET* body_style, const WM_STYLE_SET* title_style,
            const WM_STYLE_SET* button_style, const DIALOG_EFFECTS* effects);
  WM_DIALOG(int16_t x, int16_t y, int16_t w, int16_t h, const char* title,
            const DIALOG_COLOURS& colours, bool visible, const DIALOG_EFFECTS* effects);
  // Finishes a running effect first.
  ~WM_DIALOG() override;

  static void init_default_styles();
  static WM_STYLE_SET& set_default_style(const WM_STYLE_SET& style);
  static WM_STYLE_SET& set_default_title_style(const WM_STYLE_SET& style);
  static WM_STYLE_SET& set_default_button_style(const WM_STYLE_SET& style);
  // Every open dialog on the overlay list, top-most first, starts closing
  // and is deleted when its effect ends; `instant` skips the effects.
  static void close_all_dialogs(bool instant);

  void hide(bool overlays, bool children) override;
  int32_t process() override;
  int32_t update(bool overlays) override;
  void set_position(int16_t new_x, int16_t new_y) override;
  // Children are never resized; the title and client follow the layout.
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  // Into the client area: relative positions count from its corner.
  void add_child(WM_SCREEN_OBJECT* object, bool relative) override;
  void remove_child(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative) override;
  bool is_selectable() override { return false; }
  // The resting position: where an opening slide ends, else where a
  // closing one started.
  int16_t get_x() override;
  int16_t get_y() override;
  void paint() override;
  void draw() override;

  virtual bool title_hit_test(int16_t px, int16_t py);
  virtual void set_text(const char* text);
  // "" without a title; null when the title holds no text.
  virtual const char* get_text();

  // Starts the closing effect; with remove_when_closed the dialog is
  // removed and deleted once it has ended.
  void close(bool remove_when_closed);
  void start_fade(uint8_t target);
  void start_slide(bool opening);
  // Puts the dialog at its resting place, fully opaque, and lets its first
  // paint start no opening effect: for a dialog whose whole page is being
  // brought in by a page transition, which is then its way in.
  void open_at_once();
  // Top of the client area inside the dialog.
  uint16_t get_client_top() const;
  // The rectangle dialogs stand in: the page manager's viewport, else the
  // screen.
  static RECT view();
  // Grows to at least w x h, never beyond the view and never smaller than
  // it is, keeping its centre (or its top-left corner) where it was as far
  // as the view allows.
  enum class GROW : uint8_t { KEEP_CENTRE, KEEP_CORNER };
  void grow_to(int32_t w, int32_t h, GROW how = GROW::KEEP_CENTRE);
  // The body's frame from the style's images or by name; with neither, none.
  bool load_background(const char* folder, const char* name, const WM_STYLE_SET* style);
  bool load_background(const FOLDER& folder, const char* name, const WM_STYLE_SET* style);

  WM_MANAGER* get_client() const { return client; }
  WM_SCRIPT* get_title() const { return title; }
  uint8_t get_alpha() const { return alpha; }
  bool is_dragging() const { return dragging != 0; }
  // An opening or closing effect, or a fade, is still running.
  bool is_moving() const;

  // Global dialog options.
  static uint8_t live_drag;       // 0: a white box marks the drop place
  static uint8_t draggable_default;
  static uint8_t grey_behind;
  static uint8_t darken_behind;
  // The colour of text that the application adds to a dialog's messages
  // while it is set; unset (the start), each dialog's own text colour.
  static COLOUR default_text_colour;
  static COLOUR message_colour(COLOUR dialog_text_colour);
  // The dialog whose children are being processed; null otherwise.
  static WM_DIALOG* current_dialog;

  WM_STYLE_SET body_style;
  WM_STYLE_SET title_style;
  WM_STYLE_SET button_style;
  uint8_t draggable = 1;
  // The control that takes the focus when the dialog opens (one of its
  // own; null = the first in reading order).
  WM_SCREEN_OBJECT* default_focus = nullptr;
  // The button Escape clicks while the dialog takes the keys: its Cancel
  // (or Stay); one of its own, or null for none.
  WM_BUTTON* escape_button = nullptr;
  DIALOG_EFFECTS effects;
  SKIN_FRAME background;

protected:
  // Set by dialogs that a callback's result 2 closes for good (message
  // boxes, the about box, the file browser, the text entry and keyboard
  // dialogs, the flags chooser): once such a dialog, open before, is
  // hidden and still, its update asks the overlay list to delete it.
  uint8_t leaves_once_closed = 0;

  // A dialog whose content lays itself out each frame (a floating menu's
  // item grid) does so here; true when something moved.
  virtual bool layout_content() { return false; }
  // Whether grey or darken behind applies to this kind of window; pop-ups
  // that are not modal answer false.
  virtual bool shades_screen_behind() const { return true; }

private:
  void init(int16_t x, int16_t y, int16_t w, int16_t h, const char* text,
            const DIALOG_EFFECTS* record);
  void resolve_body_gaps();
  void layout_children();
  void off_position(int32_t rest_x, int32_t rest_y, int32_t& off_x, int32_t& off_y) const;
  bool slide_running() const { return start_x != target_x || start_y != target_y; }
  bool own_size_slides() const;
  bool inside_viewport() const;
  RECT drag_box() const;
  void finish_effect();
  // The effect's step of update; may delete the dialog.
  int32_t run_effects(bool overlays, const LIFE_WATCH& watch);
  void paint_translucent();
  void shade_screen_behind();
  void draw_body();

  WM_SCRIPT* title = nullptr;   // a child; owned through the child list
  WM_MANAGER* client = nullptr; // a child; owned through the child list
  uint8_t button_was_down = 0;
  uint8_t step_now = 0;
  uint8_t was_open = 0;  // seen visible by update
  int16_t drag_offset_x = 0, drag_offset_y = 0;
  int16_t drag_x = 0, drag_y = 0;
  // The running effect; the shared record above stays as it was given.
  uint32_t duration = 0;
  uint32_t start_time = 0;
  uint8_t clock_started = 0;
  uint8_t remove_when_closed = 0;
  uint8_t instant = 0;
  uint8_t alpha = 255;
  uint8_t start_alpha = 255;
  uint8_t target_alpha = 255;
  IMAGE alpha_buffer;
  int16_t start_x = 0, start_y = 0, target_x = 0, target_y = 0;
  uint8_t opening = 0;
  uint8_t closing = 0;  // from close until hidden: the first paint must not reopen it
  uint8_t dragging = 0;
};
