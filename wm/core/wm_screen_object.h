#pragma once
// WM_SCREEN_OBJECT is the root of every widget, dialog and container: one
// rectangle of the screen with an owned tree of children, per-frame input
// and tick dispatch, hit tests, the keyboard focus, and the dirty-rectangle
// painting with the shared border drawing. Overlays (tooltips, pop-ups, open
// dialogs) live on one global list, are painted last and take input first.
#include <cstdint>
#include <vector>

#include "colour.h"
#include "rect.h"
#include "wm_kinds.h"

class IMAGE;
class SOUND_BUFFER;
class WM_SCREEN_OBJECT;

// The toolkit's click sound; nothing sets it unless an application does.
struct WM_CLICK_SOUND {
  SOUND_BUFFER* sound = nullptr;
  uint8_t enabled = 0;
};
extern WM_CLICK_SOUND gui_click_sound;

// Widget callbacks: (object, word 1, word 2) -> page action; -1 travels.
using WM_CALLBACK = int32_t (*)(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2);
// The result of a focus callback is not used.
using WM_FOCUS_CALLBACK = int32_t (*)(WM_SCREEN_OBJECT* object, uintptr_t word);
// Told of every object a widget constructor made, and of every destroyed one.
using WM_OBJECT_HOOK = void (*)(WM_SCREEN_OBJECT* object, uintptr_t word);
// Paints one screen rectangle at once; `loose` is an object in no area tree
// that is painted on top. The page manager installs it while it exists.
using WM_REDRAW_FUNCTION = void (*)(const RECT& r, WM_SCREEN_OBJECT* loose);
using WM_KEY_DOWN_FUNCTION = bool (*)(uint32_t key_symbol);

// Results of process, update and page frame callbacks.
namespace page_action {
constexpr int32_t NONE = 0;
constexpr int32_t HANDLED = 1;  // the focus stays where it is
constexpr int32_t CLOSE_DIALOGS = 3;
constexpr int32_t REMOVE_OVERLAY = 4;  // only from an overlay
constexpr int32_t REBUILD_PAGE = 5;    // keeping the overlays
constexpr int32_t REBUILD_ALL = 6;
constexpr int32_t RELOAD_PAGE = 7;  // deleting the overlays
constexpr int32_t RELOAD_ALL = 8;
constexpr int32_t DELETE_OVERLAYS = 9;
constexpr int32_t SWITCH_PAGE = 10;
constexpr int32_t FADE_IN_FROM_BLACK = 12;
constexpr int32_t LAST_TRANSITION = 32;
constexpr int32_t END = -1;
}  // namespace page_action

// When the secondary click callback fires.
enum class CLICK_MODE : uint32_t { ON_PRESS = 0, ON_RELEASE = 1, ON_BOTH = 2 };

// Border colours and the default border style; skins may replace them.
struct WM_BORDER_THEME {
  COLOUR shadow = 0xFF808080;
  COLOUR highlight = 0xFFFFFFFF;
  COLOUR inner_outline = 0xFF000000;
  COLOUR outline = 0xFFFFFF00;
  COLOUR face = COLOUR_INVISIBLE;
  uint32_t default_style = 6;
};
extern WM_BORDER_THEME border_theme;
// A value that a template store hands to the toolkit (200 at start); the
// toolkit only keeps it.
extern uint16_t toolkit_value;

// Border styles 2..9; 1 = the object's own style, then the default.
uint32_t resolve_border_style(uint32_t style, uint32_t own_style);
// Pixel width of a border style (1 stands for the default style).
int32_t get_border_width(uint32_t style);

// The keyboard focus mark: dots on every other pixel of the inclusive
// rectangle's outline, blended in the colour.
void draw_focus_ring(IMAGE* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const COLOUR& ink);

// Flags of draw_border.
namespace border_flag {
constexpr uint16_t TOP = 0x1;
constexpr uint16_t BOTTOM = 0x2;
constexpr uint16_t LEFT = 0x4;
constexpr uint16_t RIGHT = 0x8;
constexpr uint16_t ALL_SIDES = 0xF;
constexpr uint16_t ROUND_TOP_LEFT = 0x10;
constexpr uint16_t ROUND_TOP_RIGHT = 0x20;
constexpr uint16_t ROUND_BOTTOM_LEFT = 0x40;
constexpr uint16_t ROUND_BOTTOM_RIGHT = 0x80;
constexpr uint16_t ALL_CORNERS = 0xF0;
constexpr uint16_t PRESSED = 0x8000;
}  // namespace border_flag

constexpr uint16_t AUTO_BORDER_RADIUS = 65535;
constexpr uint16_t AUTO_ARROW_INSET = 65535;
enum class ARROW : uint8_t { UP = 0, DOWN = 1, LEFT = 2, RIGHT = 3 };

class WM_SCREEN_OBJECT {
public:
  // The toolkit's one rule for objects that go away inside their own
  // callbacks: an object that calls out (a callback, a child's or an
  // overlay's processing) touches none of its fields afterwards unless a
  // watch set up before the call says that it still exists. Watches nest;
  // the object's destructor ends every watch on it.
  class LIFE_WATCH {
  public:
    // Not inlined: the compiler cannot see that the destructor takes the
    // watch off the object again, and would warn of a dangling pointer.
    [[gnu::noinline]] explicit LIFE_WATCH(WM_SCREEN_OBJECT* object);
    ~LIFE_WATCH();
    LIFE_WATCH(const LIFE_WATCH&) = delete;
    LIFE_WATCH& operator=(const LIFE_WATCH&) = delete;
    bool alive() const { return object != nullptr; }

  private:
    friend class WM_SCREEN_OBJECT;
    WM_SCREEN_OBJECT* object;
    LIFE_WATCH* next;
  };

  WM_SCREEN_OBJECT(bool visible, WM_CALLBACK action_callback, uintptr_t action_word_1,
                   uintptr_t action_word_2);
  // Leaves focus, pressed state, its parent and the overlay list, then
  // deletes its children (hides those owned elsewhere).
  virtual ~WM_SCREEN_OBJECT();
  WM_SCREEN_OBJECT(const WM_SCREEN_OBJECT&) = delete;
  WM_SCREEN_OBJECT& operator=(const WM_SCREEN_OBJECT&) = delete;

  virtual void show();
  virtual void hide(bool overlays, bool children);
  virtual int32_t process();
  virtual int32_t update(bool overlays);
  virtual bool hit_test(int16_t px, int16_t py);
  virtual bool is_inside(int16_t px, int16_t py);
  virtual bool child_hit_test(int16_t px, int16_t py);
  virtual WM_SCREEN_OBJECT* find_object_at(int16_t px, int16_t py);
  virtual void set_position(int16_t new_x, int16_t new_y);
  virtual void set_size(uint16_t w, uint16_t h, bool resize_children);
  virtual void set_depth(int16_t new_depth);
  // The child is owned from then on; relative moves it by this position.
  virtual void add_child(WM_SCREEN_OBJECT* object, bool relative);
  virtual void remove_child(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative);
  virtual bool is_selectable();
  virtual void set_focus();
  virtual void set_active(bool on);
  virtual int16_t get_x();
  virtual int16_t get_y();
  virtual uint16_t get_width();
  virtual uint16_t get_height();
  virtual void paint();
  virtual void paint_overlays();
  // Writes the object's own pixels inside the surface's clip; never
  // invalidates, moves or resizes.
  virtual void draw();

  // ---- Overlays (global list; last = top-most).
  void add_overlay(WM_SCREEN_OBJECT* object, bool relative);
  void remove_overlay(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative);
  void destroy_children(bool overlays, uint32_t unused, bool children);
  // Deletes an object, or only hides it when it is owned elsewhere. Every
  // clean-up of the tree (children, overlays, grid cells) deletes through
  // here: an object with the focus gives it up first, while still whole.
  static void dispose(WM_SCREEN_OBJECT* object);
  WM_SCREEN_OBJECT* get_child(int16_t index) const;
  int32_t child_count() const { return static_cast<int32_t>(children.size()); }
  // Overlays that take no input (tooltips) are never found: they are no
  // scope for keys or clicks.
  static WM_SCREEN_OBJECT* find_top_overlay(uint32_t kind_bits);
  static bool is_overlay(const WM_SCREEN_OBJECT* object);
  static int16_t get_top_overlay_depth();
  static uint16_t count_visible_overlays();
  static const std::vector<WM_SCREEN_OBJECT*>& overlays() { return overlay_list(); }
  // The focus objects that overlays covered when they were added, newest
  // last; the page manager gives the focus back to them. Objects leave the
  // list when they are destroyed, and an overlay that goes without having
  // taken the focus (a tooltip) takes its entry along.
  static std::vector<WM_SCREEN_OBJECT*>& focus_behind_overlays();
  // Calls the action callback with the action words, after playing the
  // click sound when asked and it is set and enabled; 0 without a callback.
  int32_t fire_callback(bool click_sound);

  // ---- Dirty rectangles and painting.
  void invalidate();
  void invalidate_rect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void invalidate_screen();
  bool meets_dirty_rectangle() const;
  // Repaints this object's rectangle into the screen at once (without
  // presenting it); nothing without a page manager.
  void redraw_now();

  // ---- Borders, drawn into the current drawing surface from draw.
  int32_t get_border_width(uint32_t style) const;
  void get_border_colours(const COLOUR* face, COLOUR* dark, COLOUR* light) const;
  // Rings of one-pixel lines inside x1..x2, y1..y2 (inclusive); flags from
  // border_flag; a face colour may be null. Rings whose colour is unset are
  // skipped.
  void draw_border(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t flags,
                   const COLOUR* face, uint32_t style, uint16_t radius);
  void draw_arrow(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const COLOUR* colour,
                  ARROW direction, uint16_t inset_x, uint16_t inset_y);

  // Widget constructors call this last, after ORing their kind bit.
  void notify_created();

  // ---- Global state of the toolkit.
  static WM_SCREEN_OBJECT* focus_object;
  static bool focus_changed;  // cleared by the page manager each frame
  static WM_SCREEN_OBJECT* pressed_object;
  // The focus object that was hidden, until the focus lands elsewhere: the
  // Tab order continues after it. Compared only, never dereferenced.
  static const WM_SCREEN_OBJECT* focus_lost_by_hiding;
  // The frame clock in ms, sampled once per frame by the page manager, and
  // the blink bits derived from it.
  static uint32_t frame_clock;
  static uint8_t blink_phase;
  static void set_frame_clock(uint32_t ms);
  // Children of depth >= 0 lying wholly outside it are neither ticked nor
  // processed; set by the page manager (null = no culling).
  static WM_SCREEN_OBJECT* current_area_root;
  static WM_OBJECT_HOOK object_created_hook;
  static uintptr_t object_created_word;
  static WM_OBJECT_HOOK object_destroyed_hook;
  static uintptr_t object_destroyed_word;
  // Told by the destructor of an object whose template_record is set, so
  // that whoever keeps the objects built from templates lets go of it.
  static void (*template_object_gone)(WM_SCREEN_OBJECT* object);
  static WM_REDRAW_FUNCTION redraw_function;
  // The surface draw writes into (the screen IMAGE unless set).
  static IMAGE* drawing_surface();
  static void set_drawing_surface(IMAGE* surface);
  // Test seam: whether a key is held (is_key_down by default; null
  // restores it).
  static void set_key_down_function(WM_KEY_DOWN_FUNCTION function);
  static bool key_down(uint32_t key_symbol);

  int16_t x = 0;
  int16_t y = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t active = 0;
  uint8_t visible = 0;
  uint8_t needs_redraw = 0;
  uint8_t drawn = 0;  // painted at least once since it was last hidden
  // Another object owns this one: clean-ups only hide it, never delete it.
  uint8_t externally_owned = 0;
  COLOUR border_colour = COLOUR_INVISIBLE;
  std::vector<WM_SCREEN_OBJECT*> children;  // owned; painting order, first = bottom
  WM_SCREEN_OBJECT* parent = nullptr;       // not owned; null for roots and overlays
  // -1 = in no area tree; area roots carry their area; overlays -2 - owner's.
  int16_t depth = -1;
  uint32_t kind = 0;
  uint32_t border_style = 1;
  WM_CALLBACK action_callback = nullptr;
  uintptr_t action_word_1 = 0;
  uintptr_t action_word_2 = 0;
  // Fired by the base process for the right mouse button (and Ctrl+Return
  // on the focus object); a different thing from the action callback.
  WM_CALLBACK secondary_click_callback = nullptr;
  CLICK_MODE secondary_click_mode = CLICK_MODE::ON_BOTH;
  uintptr_t secondary_click_word_1 = 0;
  uintptr_t secondary_click_word_2 = 0;
  uint8_t activate_key_was_down = 0;
  // Called for the object losing and for the one gaining the focus.
  WM_FOCUS_CALLBACK focus_callback = nullptr;
  uintptr_t focus_word = 0;
  uint8_t selectable = 0;
  // An overlay that only shows (a tooltip): it is never a scope for keys
  // or clicks, and what lies under it is processed as if it were not there.
  uint8_t takes_no_input = 0;
  uintptr_t value_word = 0;                 // free for owners
  const void* template_record = nullptr;    // not owned; null unless built from a template

private:
  LIFE_WATCH* watches = nullptr;  // the innermost first
  static std::vector<WM_SCREEN_OBJECT*>& overlay_list();
  // Bumped by every change of a child list or the overlay list, so walks
  // that call out know whether their snapshot still holds.
  static uint32_t tree_generation;
  static bool overlay_processing_off;
  static bool paint_nested;
  static IMAGE* surface;

  // The current area root's rectangle, taken once per child walk rather
  // than once per child; off while no root is set.
  struct CULL_AREA {
    bool on = false;
    int32_t x = 0, y = 0, w = 0, h = 0;
  };
  static CULL_AREA cull_area();
  static bool is_culled(const WM_SCREEN_OBJECT* child, const CULL_AREA& area);
  // Runs `step` on each unculled child still in the list, stopping at the
  // first non-zero result, which it returns, or once `watch` (on this
  // object) tells that a child's callback deleted this object.
  int32_t walk_children(int32_t (*step)(WM_SCREEN_OBJECT*), const LIFE_WATCH& watch);
  bool has_child(const WM_SCREEN_OBJECT* object) const;
  void unlink_child(WM_SCREEN_OBJECT* object);
  void drop_pressed_and_focus();
  static void unlist_overlay(WM_SCREEN_OBJECT* object);
  void reset_removed_depth(WM_SCREEN_OBJECT* object, bool make_relative);
};
