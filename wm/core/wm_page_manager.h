#pragma once
// WM_PAGE_MANAGER is the one object that drives the toolkit each frame: it
// divides the screen into areas, each with a root container and a history
// of pages that the application describes by callbacks; it ticks and
// processes the object trees, moves the focus on Tab, carries out the page
// actions that pages and widgets return, and repaints the dirty rectangles.
#include <cstdint>
#include <memory>

#include "image.h"
#include "wm_manager.h"

class WM_PAGE_MANAGER;

using PAGE_CREATE = void (*)(WM_PAGE_MANAGER* manager);
// Gets the address of the record's page word when the record is dropped.
using PAGE_DESTROY = void (*)(uintptr_t* page_word);
using PAGE_FRAME = int32_t (*)();
using PAGE_SAME = bool (*)(uintptr_t a, uintptr_t b);
using PAGE_LEAVE = void (*)();
// Starts the closing of every open dialog; filled in by the dialogs.
using CLOSE_DIALOGS_FUNCTION = void (*)(bool flag);

// One page of an area's history, or its pending page. Unset callbacks are
// simply not called.
struct WM_PAGE_RECORD {
  PAGE_CREATE create = nullptr;
  PAGE_DESTROY destroy = nullptr;
  PAGE_FRAME frame = nullptr;
  PAGE_SAME same_page = nullptr;  // without it the words are compared
  PAGE_LEAVE leave = nullptr;
  uintptr_t page_word = 0;
  uint8_t keep = 0;  // stays in the history when another page replaces it
  // History moves skip neighbours with the same stamp; an empty record
  // gets a fresh unique one.
  uint32_t stamp = 0;
};

struct WM_AREA {
  static constexpr int32_t HISTORY = 20;
  static constexpr int32_t PENDING = 20;  // slot of the page set_page registered

  WM_MANAGER root;
  WM_PAGE_RECORD slots[HISTORY + 1];
  int32_t current_slot = 0;
  int32_t slot_count = 1;
  int32_t pending_slot = -1;  // history slot to return to; -1 = none
  uint8_t reshow = 0;         // build the current page again at the next switch
};

class WM_PAGE_MANAGER {
public:
  static constexpr int32_t BACK_BUFFERS = 64;
  static constexpr uint32_t KEY_TAB = 0xFF09;
  // cursor_to_restore value that leaves the pointer shape alone.
  static constexpr int32_t LEAVE_CURSOR = 255;
  static constexpr int8_t BUSY_CURSOR = 6;

  // At least one area (fatal error 0x69), one page manager at a time
  // (0x6A). A key buffer size of 0 or more resizes the typed-key queue.
  WM_PAGE_MANAGER(uint16_t area_count, int32_t key_buffer_size);
  ~WM_PAGE_MANAGER();
  WM_PAGE_MANAGER(const WM_PAGE_MANAGER&) = delete;
  WM_PAGE_MANAGER& operator=(const WM_PAGE_MANAGER&) = delete;

  // The one page manager; null while none exists.
  static WM_PAGE_MANAGER* get() { return instance; }

  WM_MANAGER* current_root() { return &areas[current_area].root; }
  WM_AREA& area(int16_t index) { return areas[index]; }
  int16_t get_area_count() const { return area_count; }
  int16_t get_current_area() const { return current_area; }

  // Registers the page shown at the next page switch of the area (or at
  // once when the area shows nothing yet). Ignored without create or for
  // a bad area.
  void set_page(int16_t area, PAGE_CREATE create, PAGE_DESTROY destroy, uintptr_t page_word,
                PAGE_FRAME frame, uint8_t keep, uint32_t stamp, PAGE_LEAVE leave);
  // One frame: tick, Tab, process, page action, paint; presents only with
  // present. Returns the page action (0 after 5 to 9).
  int32_t frame(bool present);

  uintptr_t get_page_word(int32_t slot, int16_t area = -1);
  void select_page(int32_t slot, int16_t area = -1);
  void history_back(int16_t area = -1);
  void history_forward(int16_t area = -1);
  bool can_go_back(int16_t area = -1);
  bool can_go_forward(int16_t area = -1);
  void remove_history_page(int32_t slot, int16_t area = -1);
  void clear_history(int16_t area = -1);
  bool is_page_word_in_use(uintptr_t word) const;

  WM_SCREEN_OBJECT* find_object_at(int16_t x, int16_t y);
  void get_viewport(int16_t* x1, int16_t* y1, int16_t* x2, int16_t* y2) const;
  // Shapes -1..6; others are refused.
  bool set_cursor_shape(int8_t shape);
  int8_t get_cursor_shape() const { return last_cursor; }
  // A widget asks for the pointer shape (0..6) the frame ends with; ignored
  // while cursor_shapes_on is off or when the shape cannot be made.
  void request_cursor_shape(uint8_t shape);
  static uint8_t cursor_shapes_on;
  void create_page(const WM_PAGE_RECORD& record);
  // Keeps the last screen in the back buffer and closes every area's page.
  void close_all_pages();

  // The page action (11..32) of the transition that is bringing in the
  // pages being built, while it runs; 0 otherwise.
  int32_t running_transition() const { return transition_action; }

  // The page switch of every area, starting at the given one, then a
  // repaint: what action 10 does, and what transitions animate.
  void switch_pages(int16_t from_area);
  // Paints each dirty rectangle: back buffer, area trees, overlays.
  void paint_dirty_rectangles();
  // Paints a whole logical screen at once (not presented).
  void redraw_screen_now(uint16_t screen);

  bool focus_next();
  bool focus_previous();
  bool focus_first_in_area();
  bool focus_first_in_previous_area();

  IMAGE back_buffers[BACK_BUFFERS];  // one per logical screen; empty until filled
  uint8_t first_page_fades_in = 0;   // 1: a first page fades in (action 12)
  uint32_t transition_duration = 700;
  static CLOSE_DIALOGS_FUNCTION close_all_dialogs_function;

private:
  static WM_PAGE_MANAGER* instance;

  std::unique_ptr<WM_AREA[]> areas;
  int16_t area_count = 0;
  int16_t current_area = 0;
  uint16_t remembered_width = 0;  // 0 until the first frame
  uint16_t remembered_height = 0;
  int32_t cursor_to_restore = 0;
  int8_t last_cursor = -2;  // no shape set yet
  int16_t switching_area = 0;  // where a running transition starts the switch
  int32_t transition_action = 0;

  void make_current(int16_t area);
  int16_t resolve_area(int16_t area) const;
  void leave_current(WM_AREA& a);
  void rebuild(WM_AREA& a, bool delete_overlays);
  void switch_area(int16_t index);
  int32_t carry_out(int32_t action, int16_t acting_area);
  static void clear_record(WM_PAGE_RECORD& record);
  // Another record of any area (history or pending) holds the same word.
  bool held_elsewhere(const WM_PAGE_RECORD& record) const;
  // Destroys the record's data unless another record holds its word, then
  // clears it. Every record that goes, goes through here.
  void release_record(WM_PAGE_RECORD& record);
  // The pending slot takes the incoming record; the record it held goes.
  void replace_pending(WM_AREA& a, const WM_PAGE_RECORD& incoming);
  void paint_rect(const RECT& r, WM_SCREEN_OBJECT* loose);
  static void redraw_rect(const RECT& r, WM_SCREEN_OBJECT* loose);
  static void exit_hook();
  struct TAB_WALK;
  // Moves the focus to the next or previous selectable object, wrapping.
  bool tab_focus(bool forward);
  // The focus was not reached this frame: it goes back to where it was
  // before an overlay took it, to an opening dialog's default control, or
  // on to the next object. False when nothing can take it.
  bool refocus();
  // The first selectable object of the first visible area, searched from
  // the area after (step 1) or before (step -1) the focus object's, or from
  // the given area when nothing has the focus; wraps around.
  bool focus_first_from(int16_t start_without_focus, int16_t step);
};
