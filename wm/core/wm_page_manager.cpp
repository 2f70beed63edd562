// The page manager: areas with page histories, the per-frame driver, page
// actions and switches, the Tab order and the repaint of dirty rectangles.
#include "wm_page_manager.h"

#include <algorithm>
#include <new>
#include <vector>

#include "clip_scope.h"
#include "dirty_rectangles.h"
#include "errors.h"
#include "input.h"
#include "page_transitions.h"
#include "platform.h"
#include "screen.h"
#include "timing.h"
#include "window.h"
#include "wm_button.h"
#include "wm_dialog.h"
#include "wm_grid.h"
#include "wm_kinds.h"

namespace {

constexpr uint32_t KEY_SHIFT_L = 0xFFE1;
constexpr uint32_t KEY_SHIFT_R = 0xFFE2;
constexpr uint32_t KEY_CONTROL_L = 0xFFE3;
constexpr uint32_t KEY_CONTROL_R = 0xFFE4;

bool same_record(const WM_PAGE_RECORD& a, const WM_PAGE_RECORD& b) {
  if (a.create != b.create || a.destroy != b.destroy || a.frame != b.frame ||
      a.same_page != b.same_page || a.leave != b.leave || a.stamp != b.stamp) {
    return false;
  }
  return a.same_page ? a.same_page(a.page_word, b.page_word) : a.page_word == b.page_word;
}

void whole_clip(IMAGE* screen) {
  screen->set_clip_rect(0, 0, static_cast<int16_t>(screen->width - 1),
                        static_cast<int16_t>(screen->height - 1));
}

}  // namespace

WM_PAGE_MANAGER* WM_PAGE_MANAGER::instance = nullptr;
CLOSE_DIALOGS_FUNCTION WM_PAGE_MANAGER::close_all_dialogs_function = nullptr;

// ---- Construction ---------------------------------------------------------

WM_PAGE_MANAGER::WM_PAGE_MANAGER(uint16_t count, int32_t key_buffer_size) {
  if (count < 1 || count > 32767) report_error(0x69);
  if (instance) report_error(0x6A);
  if (key_buffer_size >= 0) key_queue.set_size(key_buffer_size);
  areas.reset(new (std::nothrow) WM_AREA[count]);
  if (!areas) report_error(0x6B);
  area_count = static_cast<int16_t>(count);
  for (int16_t i = 0; i < area_count; ++i) {
    areas[i].root.set_depth(i);
    for (WM_PAGE_RECORD& record : areas[i].slots) clear_record(record);
  }
  instance = this;
  make_current(0);
  set_exit_hook(exit_hook);
  WM_SCREEN_OBJECT::redraw_function = redraw_rect;
}

WM_PAGE_MANAGER::~WM_PAGE_MANAGER() {
  for (int16_t i = static_cast<int16_t>(area_count - 1); i >= 0; --i) {
    WM_AREA& a = areas[i];
    make_current(i);
    leave_current(a);
    a.root.destroy_children(false, 0, true);
    a.root.invalidate();
    for (WM_PAGE_RECORD& record : a.slots) release_record(record);
    a.root.destroy_children(true, 0, true);
  }
  WM_SCREEN_OBJECT::current_area_root = nullptr;
  areas.reset();
  area_count = 0;
  current_area = 0;
  if (get_exit_hook() == exit_hook) set_exit_hook(nullptr);
  if (WM_SCREEN_OBJECT::redraw_function == redraw_rect) WM_SCREEN_OBJECT::redraw_function = nullptr;
  forget_input_frame_reader();
  instance = nullptr;
}

void WM_PAGE_MANAGER::exit_hook() {
  if (instance) instance->close_all_pages();
}

// ---- Small helpers --------------------------------------------------------

void WM_PAGE_MANAGER::make_current(int16_t index) {
  current_area = index;
  WM_SCREEN_OBJECT::current_area_root = &areas[index].root;
}

int16_t WM_PAGE_MANAGER::resolve_area(int16_t index) const {
  if (index == -1) return current_area;
  return index >= 0 && index < area_count ? index : -1;
}

void WM_PAGE_MANAGER::clear_record(WM_PAGE_RECORD& record) {
  record = WM_PAGE_RECORD{};
  record.stamp = get_unique_time();
}

bool WM_PAGE_MANAGER::held_elsewhere(const WM_PAGE_RECORD& record) const {
  if (record.page_word == 0) return false;
  for (int16_t i = 0; i < area_count; ++i) {
    for (const WM_PAGE_RECORD& other : areas[i].slots) {
      if (&other != &record && other.page_word == record.page_word && other.create) return true;
    }
  }
  return false;
}

void WM_PAGE_MANAGER::release_record(WM_PAGE_RECORD& record) {
  // A word registered again while still in the history (or pending) is
  // held by two records: only the last of them to go destroys its data.
  if (record.destroy && !held_elsewhere(record)) record.destroy(&record.page_word);
  clear_record(record);
}

void WM_PAGE_MANAGER::replace_pending(WM_AREA& a, const WM_PAGE_RECORD& incoming) {
  // The incoming record is in place before the old one goes, so that a
  // word the two share stays.
  WM_PAGE_RECORD replaced = a.slots[WM_AREA::PENDING];
  a.slots[WM_AREA::PENDING] = incoming;
  // A word of 0 carries nothing that a page would own.
  if (replaced.page_word != 0) release_record(replaced);
}

void WM_PAGE_MANAGER::leave_current(WM_AREA& a) {
  const WM_PAGE_RECORD& current = a.slots[a.current_slot];
  if (current.leave) current.leave();
}

void WM_PAGE_MANAGER::create_page(const WM_PAGE_RECORD& record) {
  if (record.create) record.create(this);
  if (!WM_SCREEN_OBJECT::focus_object) focus_next();
  // The new page chose its focus: the frame's fallback leaves it there.
  if (WM_SCREEN_OBJECT::focus_object) WM_SCREEN_OBJECT::focus_changed = true;
}

void WM_PAGE_MANAGER::rebuild(WM_AREA& a, bool delete_overlays) {
  leave_current(a);
  a.root.destroy_children(delete_overlays, 0, true);
  create_page(a.slots[a.current_slot]);
}

// ---- Registering and keeping pages ----------------------------------------

void WM_PAGE_MANAGER::set_page(int16_t index, PAGE_CREATE create, PAGE_DESTROY destroy,
                               uintptr_t page_word, PAGE_FRAME frame_callback, uint8_t keep,
                               uint32_t stamp, PAGE_LEAVE leave) {
  if (!create || index < 0 || index >= area_count) return;
  make_current(index);
  WM_AREA& a = areas[index];
  // A registered page leaves same_page unset.
  replace_pending(a, WM_PAGE_RECORD{create, destroy, frame_callback, nullptr, leave, page_word,
                                    keep, stamp});
  a.pending_slot = -1;
}

uintptr_t WM_PAGE_MANAGER::get_page_word(int32_t slot, int16_t index) {
  index = resolve_area(index);
  if (index < 0) return 0;
  const WM_AREA& a = areas[index];
  return slot >= 0 && slot < a.slot_count ? a.slots[slot].page_word : 0;
}

void WM_PAGE_MANAGER::select_page(int32_t slot, int16_t index) {
  index = resolve_area(index);
  if (index < 0) return;
  WM_AREA& a = areas[index];
  if (slot < 0 || slot >= a.slot_count) return;
  if (slot == a.current_slot) {
    a.reshow = 1;
    return;
  }
  make_current(index);
  replace_pending(a, WM_PAGE_RECORD{});
  a.pending_slot = slot;
}

namespace {

// The nearest slot from `from` stepping by `step` whose stamp differs from
// the current one; -1 when there is none.
int32_t neighbour_slot(const WM_AREA& a, int32_t step) {
  const uint32_t stamp = a.slots[a.current_slot].stamp;
  for (int32_t s = a.current_slot + step; s >= 0 && s < a.slot_count; s += step) {
    if (a.slots[s].stamp != stamp) return s;
  }
  return -1;
}

}  // namespace

void WM_PAGE_MANAGER::history_back(int16_t index) {
  index = resolve_area(index);
  if (index < 0) return;
  const int32_t slot = neighbour_slot(areas[index], -1);
  if (slot >= 0) select_page(slot, index);
}

void WM_PAGE_MANAGER::history_forward(int16_t index) {
  index = resolve_area(index);
  if (index < 0) return;
  const int32_t slot = neighbour_slot(areas[index], 1);
  if (slot >= 0) select_page(slot, index);
}

bool WM_PAGE_MANAGER::can_go_back(int16_t index) {
  index = resolve_area(index);
  if (index < 0) return false;
  const int32_t slot = neighbour_slot(areas[index], -1);
  return slot >= 0 && areas[index].slots[slot].create;
}

bool WM_PAGE_MANAGER::can_go_forward(int16_t index) {
  index = resolve_area(index);
  if (index < 0) return false;
  const int32_t slot = neighbour_slot(areas[index], 1);
  return slot >= 0 && areas[index].slots[slot].create;
}

void WM_PAGE_MANAGER::remove_history_page(int32_t slot, int16_t index) {
  index = resolve_area(index);
  if (index < 0) return;
  WM_AREA& a = areas[index];
  if (slot < 0 || slot >= a.slot_count || slot == a.current_slot) return;
  release_record(a.slots[slot]);
  for (int32_t s = slot; s + 1 < a.slot_count; ++s) a.slots[s] = a.slots[s + 1];
  clear_record(a.slots[a.slot_count - 1]);
  --a.slot_count;
  if (a.current_slot > slot) --a.current_slot;
  if (a.pending_slot == slot) a.pending_slot = -1;
  else if (a.pending_slot > slot) --a.pending_slot;
}

void WM_PAGE_MANAGER::clear_history(int16_t index) {
  index = resolve_area(index);
  if (index < 0) return;
  WM_AREA& a = areas[index];
  for (int32_t s = 0; s < a.slot_count; ++s) {
    if (s != a.current_slot) release_record(a.slots[s]);
  }
  if (a.current_slot != 0) {
    a.slots[0] = a.slots[a.current_slot];
    clear_record(a.slots[a.current_slot]);
  }
  a.slots[0].keep = 0;
  a.current_slot = 0;
  a.slot_count = 1;
  a.pending_slot = -1;
}

bool WM_PAGE_MANAGER::is_page_word_in_use(uintptr_t word) const {
  for (int16_t i = 0; i < area_count; ++i) {
    const WM_AREA& a = areas[i];
    if (a.slots[WM_AREA::PENDING].page_word == word) return true;
    for (int32_t s = 0; s < a.slot_count; ++s) {
      if (a.slots[s].page_word == word) return true;
    }
  }
  return false;
}

// ---- The page switch ------------------------------------------------------

void WM_PAGE_MANAGER::switch_pages(int16_t from_area) {
  if (from_area < 0 || from_area >= area_count) from_area = current_area;
  for (int16_t i = 0; i < area_count; ++i) {
    switch_area(static_cast<int16_t>((from_area + i) % area_count));
  }
  paint_dirty_rectangles();
}

void WM_PAGE_MANAGER::switch_area(int16_t index) {
  WM_AREA& a = areas[index];
  make_current(index);
  WM_PAGE_RECORD& pending = a.slots[WM_AREA::PENDING];
  if (!pending.create && a.pending_slot < 0) {
    if (a.reshow && a.root.visible) {
      a.reshow = 0;
      leave_current(a);
      a.root.destroy_children(false, 0, true);
      a.root.invalidate();
      create_page(a.slots[a.current_slot]);
      paint_dirty_rectangles();
    }
    return;
  }
  const uint8_t was_visible = a.root.visible;
  a.root.hide(false, true);
  leave_current(a);
  a.root.destroy_children(false, 0, true);

  if (a.pending_slot >= 0) {
    int32_t target = a.pending_slot;
    WM_PAGE_RECORD& current = a.slots[a.current_slot];
    if (!current.keep) {
      // Records without keep are replaced in place, so this is normally
      // the last slot; the later ones move down if it is not.
      release_record(current);
      for (int32_t s = a.current_slot; s + 1 < a.slot_count; ++s) a.slots[s] = a.slots[s + 1];
      clear_record(a.slots[a.slot_count - 1]);
      --a.slot_count;
      if (target > a.current_slot) --target;
    }
    a.current_slot = target;
  } else {
    // The pending record holds its word until it takes its slot, so no
    // record dropped on the way destroys what the new page goes on using.
    WM_PAGE_RECORD& current = a.slots[a.current_slot];
    if (current.create && same_record(current, pending)) current.keep = 0;
    int32_t first_dropped;
    if (current.create && current.keep) {
      if (a.current_slot + 1 >= WM_AREA::HISTORY) {
        release_record(a.slots[0]);
        for (int32_t s = 0; s + 1 < WM_AREA::HISTORY; ++s) a.slots[s] = a.slots[s + 1];
        clear_record(a.slots[WM_AREA::HISTORY - 1]);
        a.current_slot = WM_AREA::HISTORY - 1;
        if (a.slot_count > WM_AREA::HISTORY - 1) a.slot_count = WM_AREA::HISTORY - 1;
      } else {
        ++a.current_slot;
      }
      first_dropped = a.current_slot;
    } else {
      release_record(current);
      first_dropped = a.current_slot + 1;
    }
    // Forward history is lost.
    for (int32_t s = first_dropped; s < a.slot_count; ++s) release_record(a.slots[s]);
    a.slot_count = a.current_slot + 1;
    a.slots[a.current_slot] = pending;
  }
  clear_record(pending);
  a.pending_slot = -1;
  // Visible again before the page is built, so that the first selectable
  // object can take the focus at once.
  a.root.visible = was_visible;
  a.root.needs_redraw = was_visible;
  create_page(a.slots[a.current_slot]);
  a.root.invalidate();
  a.reshow = 0;
}

// ---- The frame ------------------------------------------------------------

int32_t WM_PAGE_MANAGER::frame(bool present) {
  WM_SCREEN_OBJECT::set_frame_clock(get_time_ms());
  if (remembered_width == 0) {
    remembered_width = static_cast<uint16_t>(get_screen_width(0));
    remembered_height = static_cast<uint16_t>(get_screen_height(0));
  }
  cursor_to_restore = 0;
  WM_SCREEN_OBJECT::focus_changed = false;

  // Tab is looked at without taking the last key, so that other keys stay
  // for the widgets that read them.
  if (key_queue.peek_last_key() == KEY_TAB) {
    key_queue.get_last_key();
    const bool shift =
        WM_SCREEN_OBJECT::key_down(KEY_SHIFT_L) || WM_SCREEN_OBJECT::key_down(KEY_SHIFT_R);
    const bool control =
        WM_SCREEN_OBJECT::key_down(KEY_CONTROL_L) || WM_SCREEN_OBJECT::key_down(KEY_CONTROL_R);
    if (shift && control) focus_first_in_previous_area();
    else if (control) focus_first_in_area();
    else if (shift) focus_previous();
    else focus_next();
  }

  int32_t action = 0;
  int16_t acting_area = current_area;
  bool first_start = false;
  for (int16_t i = static_cast<int16_t>(area_count - 1); i >= 0 && action == 0; --i) {
    WM_AREA& a = areas[i];
    make_current(i);
    if (!a.slots[a.current_slot].create && a.slots[WM_AREA::PENDING].create) {
      a.root.visible = 1;
      a.root.needs_redraw = 1;
      a.root.invalidate();
      action = first_page_fades_in ? page_action::FADE_IN_FROM_BLACK : page_action::SWITCH_PAGE;
      acting_area = i;
      first_start = true;
      break;
    }
    const int32_t result = a.root.update(false);
    paint_dirty_rectangles();
    if (result != 0 && result != page_action::HANDLED) {
      action = result;
      acting_area = i;
    }
  }
  if (action == 0) {
    const int32_t result = areas[0].root.update(true);
    if (result != 0 && result != page_action::HANDLED) {
      action = result;
      acting_area = 0;
    }
  }

  if (action == 0 && !first_start) {
    if (WM_SCREEN_OBJECT* top = WM_SCREEN_OBJECT::find_top_overlay(0)) {
      int16_t owner = top->depth < -1 ? static_cast<int16_t>(-2 - top->depth) : 0;
      if (owner >= area_count) owner = 0;
      make_current(owner);
      WM_AREA& a = areas[owner];
      const PAGE_FRAME callback = a.slots[a.current_slot].frame;
      action = callback ? callback() : 0;
      if (action == 0) action = a.root.process();
      acting_area = owner;
    } else {
      for (int16_t i = static_cast<int16_t>(area_count - 1); i >= 0 && action == 0; --i) {
        WM_AREA& a = areas[i];
        make_current(i);
        if (a.root.visible) {
          const PAGE_FRAME callback = a.slots[a.current_slot].frame;
          action = callback ? callback() : 0;
        }
        if (action == 0) action = a.root.process();
        acting_area = i;
      }
    }
    WM_BUTTON::end_processing_frame(action == 0);
  }

  make_current(acting_area);
  const int32_t result = carry_out(action, acting_area);

  const uint16_t w = static_cast<uint16_t>(get_screen_width(0));
  const uint16_t h = static_cast<uint16_t>(get_screen_height(0));
  if (w != remembered_width || h != remembered_height) {
    remembered_width = w;
    remembered_height = h;
    if (area_count > 0) {
      areas[0].root.invalidate_screen();
      for (int16_t i = static_cast<int16_t>(area_count - 1); i >= 0; --i) {
        make_current(i);
        rebuild(areas[i], false);
      }
    }
  }

  if (!WM_SCREEN_OBJECT::focus_changed && action != page_action::HANDLED && !refocus()) {
    if (WM_SCREEN_OBJECT* lost = WM_SCREEN_OBJECT::focus_object) {
      if (lost->visible) lost->show();
      WM_SCREEN_OBJECT::focus_object = nullptr;
      if (lost->focus_callback) lost->focus_callback(lost, lost->focus_word);
    }
  }
  // Everything this frame's widgets were to see has been read.
  end_input_frame();
  paint_dirty_rectangles();
  if (present) swap_screens(ALL_SCREENS);
  if (cursor_to_restore != LEAVE_CURSOR) set_cursor_shape(static_cast<int8_t>(cursor_to_restore));
  return result;
}

int32_t WM_PAGE_MANAGER::carry_out(int32_t action, int16_t acting_area) {
  WM_AREA& a = areas[acting_area];
  switch (action) {
    case page_action::CLOSE_DIALOGS:
      if (close_all_dialogs_function) close_all_dialogs_function(false);
      return action;
    case page_action::REBUILD_PAGE:
    case page_action::RELOAD_PAGE:
      set_cursor_shape(BUSY_CURSOR);
      rebuild(a, action == page_action::RELOAD_PAGE);
      return 0;
    case page_action::REBUILD_ALL:
    case page_action::RELOAD_ALL:
      set_cursor_shape(BUSY_CURSOR);
      for (int16_t i = 0; i < area_count; ++i) {
        const int16_t index = static_cast<int16_t>((acting_area + i) % area_count);
        if (!areas[index].root.visible) continue;
        make_current(index);
        rebuild(areas[index], action == page_action::RELOAD_ALL && i == 0);
      }
      make_current(acting_area);
      return 0;
    case page_action::DELETE_OVERLAYS:
      areas[0].root.destroy_children(true, 0, false);
      return 0;
    default:
      break;
  }
  if (action >= page_action::SWITCH_PAGE && action <= page_action::LAST_TRANSITION) {
    set_cursor_shape(BUSY_CURSOR);
    WM_SCREEN_OBJECT::focus_changed = true;
    switching_area = acting_area;
    PAGE_TRANSITION_HOOKS hooks;
    hooks.switch_pages = [](intptr_t context) {
      auto* manager = reinterpret_cast<WM_PAGE_MANAGER*>(context);
      manager->switch_pages(manager->switching_area);
    };
    hooks.present = [](intptr_t) { swap_screens(ALL_SCREENS); };
    hooks.context = reinterpret_cast<intptr_t>(this);
    transition_action = action > page_action::SWITCH_PAGE ? action : 0;
    if (!run_page_transition(action, transition_duration, hooks)) switch_pages(acting_area);
    transition_action = 0;
  }
  return action;
}

// ---- Painting -------------------------------------------------------------

void WM_PAGE_MANAGER::paint_dirty_rectangles() {
  DIRTY_RECTANGLES& table = dirty_rectangles();
  IMAGE* screen = get_screen_image();
  if (!screen || !screen->pixels) {
    table.clear();
    return;
  }
  if (table.count() == 0) {
    table.clear();
    return;
  }
  // What was drawn before this pass lies somewhere in the screen's dirty
  // rectangle; what the pass draws lies inside the entries, each painted
  // under its own clip. Presentation is told exactly these areas, so that
  // two small changes far apart do not send everything between them.
  RECT changed[DIRTY_RECTANGLES::CAPACITY + 1];
  int32_t changed_count = 0;
  changed[changed_count++] = screen->dirty_rect();
  for (int32_t i = 0; i < table.count(); ++i) {
    table.set_current_index(i);
    if (!table.is_painting()) continue;
    const RECT r = table.entry(i);
    changed[changed_count++] = r;
    screen->set_clip_rect(static_cast<int16_t>(r.x1), static_cast<int16_t>(r.y1),
                          static_cast<int16_t>(r.x2), static_cast<int16_t>(r.y2));
    if (back_buffers[0].pixels) back_buffers[0].draw(0, 0, screen, BLIT_COPY);
    for (int16_t a = 0; a < area_count; ++a) areas[a].root.paint();
    areas[0].root.paint_overlays();
    whole_clip(screen);
  }
  table.clear();
  hand_over_screen_changes(changed, changed_count);
}

void WM_PAGE_MANAGER::paint_rect(const RECT& wanted, WM_SCREEN_OBJECT* loose) {
  IMAGE* screen = get_screen_image();
  if (!screen || !screen->pixels) return;
  const RECT r = wanted.intersect(screen->extent());
  if (r.empty()) return;
  DIRTY_RECTANGLES::SCOPED_ENTRY entry(dirty_rectangles(), r);
  CLIP_SCOPE clip(screen);
  screen->set_clip_rect(static_cast<int16_t>(r.x1), static_cast<int16_t>(r.y1),
                        static_cast<int16_t>(r.x2), static_cast<int16_t>(r.y2));
  // Copied, not blended: a translucent back buffer blended over the last
  // frame would drift with every immediate redraw.
  if (back_buffers[0].pixels) back_buffers[0].draw(0, 0, screen, BLIT_COPY);
  for (int16_t a = 0; a < area_count; ++a) areas[a].root.paint();
  if (area_count > 0) areas[0].root.paint_overlays();
  if (loose) loose->paint();
}

void WM_PAGE_MANAGER::redraw_rect(const RECT& r, WM_SCREEN_OBJECT* loose) {
  if (instance) instance->paint_rect(r, loose);
}

void WM_PAGE_MANAGER::redraw_screen_now(uint16_t screen) {
  if (screen != 0) return;
  paint_rect(RECT::sized(0, 0, get_screen_width(0), get_screen_height(0)), nullptr);
}

void WM_PAGE_MANAGER::close_all_pages() {
  IMAGE* screen = get_screen_image();
  if (screen && screen->pixels) {
    whole_clip(screen);
    back_buffers[0].copy(*screen);
  }
  for (int16_t i = 0; i < area_count; ++i) {
    WM_AREA& a = areas[i];
    make_current(i);
    a.root.hide(false, true);
    leave_current(a);
    a.root.destroy_children(false, 0, true);
    release_record(a.slots[a.current_slot]);
  }
  if (area_count > 0) areas[0].root.destroy_children(true, 0, false);
}

// ---- Queries --------------------------------------------------------------

WM_SCREEN_OBJECT* WM_PAGE_MANAGER::find_object_at(int16_t px, int16_t py) {
  WM_SCREEN_OBJECT* first_root = nullptr;
  for (int16_t i = static_cast<int16_t>(area_count - 1); i >= 0; --i) {
    WM_SCREEN_OBJECT* found = areas[i].root.find_object_at(px, py);
    if (!found) continue;
    if (found != &areas[i].root) return found;
    if (!first_root) first_root = found;
  }
  return first_root;
}

void WM_PAGE_MANAGER::get_viewport(int16_t* x1, int16_t* y1, int16_t* x2, int16_t* y2) const {
  if (x1) *x1 = 0;
  if (y1) *y1 = 0;
  if (x2) *x2 = static_cast<int16_t>(get_screen_width(0) - 1);
  if (y2) *y2 = static_cast<int16_t>(get_screen_height(0) - 1);
}

bool WM_PAGE_MANAGER::set_cursor_shape(int8_t shape) {
  if (shape < -1 || shape > 6) return false;
  if (shape == last_cursor) return true;
  last_cursor = shape;
  set_mouse_cursor(static_cast<uint8_t>(shape));  // -1 is the platform's 255
  return true;
}

uint8_t WM_PAGE_MANAGER::cursor_shapes_on = 1;

void WM_PAGE_MANAGER::request_cursor_shape(uint8_t shape) {
  if (!cursor_shapes_on || shape > 6 || !set_mouse_cursor(shape, true)) return;
  cursor_to_restore = shape;
}

// ---- Tab order ------------------------------------------------------------

// The Tab order of a scope (the top overlay, or each area root in turn):
// its selectable, visible objects in reading order, lines from top to
// bottom and left to right within a line, whatever order the trees were
// built in. A check box takes the focus through its box, which is the
// stop; a grid offers the cells of the rows in view.
struct WM_PAGE_MANAGER::TAB_WALK {
  // A focus object hidden this frame still marks where the order goes on.
  const WM_SCREEN_OBJECT* focus = WM_SCREEN_OBJECT::focus_object
                                      ? WM_SCREEN_OBJECT::focus_object
                                      : WM_SCREEN_OBJECT::focus_lost_by_hiding;
  struct ENTRY {
    WM_SCREEN_OBJECT* object;
    bool stop;
  };
  std::vector<ENTRY> order;
  ptrdiff_t at = -1;  // the focus's place in order; -1 when it lies outside

  static bool is_stop(WM_SCREEN_OBJECT* o) {
    return o->is_selectable() && !(o->kind & wm_kind::CHECK_BOX);
  }

  void collect(WM_SCREEN_OBJECT* o, std::vector<ENTRY>& out) const {
    if (!o->visible) {
      if (o == focus) out.push_back({o, false});
      return;
    }
    const bool stop = is_stop(o);
    if (stop || o == focus) out.push_back({o, stop});
    for (WM_SCREEN_OBJECT* child : o->children) collect(child, out);
    if (o->kind & wm_kind::GRID) {
      // A grid's cells are no children of it: it lists those in view.
      std::vector<WM_SCREEN_OBJECT*> cells;
      static_cast<const WM_GRID*>(o)->collect_tab_cells(cells);
      for (WM_SCREEN_OBJECT* cell : cells) collect(cell, out);
    }
  }

  // Lines: an object whose vertical middle lies above the bottom of the
  // line's top-most object belongs to that line.
  static void reading_order(std::vector<ENTRY>& entries) {
    auto top = [](const ENTRY& e) { return int32_t{e.object->get_y()}; };
    auto left = [](const ENTRY& e) { return int32_t{e.object->get_x()}; };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const ENTRY& a, const ENTRY& b) { return top(a) < top(b); });
    for (size_t i = 0; i < entries.size();) {
      const int32_t line_bottom = top(entries[i]) + entries[i].object->get_height() - 1;
      size_t j = i + 1;
      while (j < entries.size() &&
             top(entries[j]) + entries[j].object->get_height() / 2 <= line_bottom)
        ++j;
      const auto line = entries.begin() + static_cast<ptrdiff_t>(i);
      std::stable_sort(line, entries.begin() + static_cast<ptrdiff_t>(j),
                       [&](const ENTRY& a, const ENTRY& b) { return left(a) < left(b); });
      i = j;
    }
  }

  void add_scope(WM_SCREEN_OBJECT* root) {
    std::vector<ENTRY> scope;
    collect(root, scope);
    reading_order(scope);
    for (const ENTRY& e : scope) {
      if (e.object == focus) at = static_cast<ptrdiff_t>(order.size());
      order.push_back(e);
    }
  }

  // The scope the keys reach: an open overlay is modal.
  void run(WM_AREA* areas, int16_t area_count) {
    if (WM_SCREEN_OBJECT* top = WM_SCREEN_OBJECT::find_top_overlay(0)) {
      add_scope(top);
    } else {
      for (int16_t i = 0; i < area_count; ++i) add_scope(&areas[i].root);
    }
  }

  WM_SCREEN_OBJECT* first() const { return step_from(-1, 1); }
  WM_SCREEN_OBJECT* last() const { return step_from(static_cast<ptrdiff_t>(order.size()), -1); }
  WM_SCREEN_OBJECT* next() const { return at < 0 ? first() : step_from(at, 1); }
  WM_SCREEN_OBJECT* prev() const { return at < 0 ? last() : step_from(at, -1); }
  bool holds(const WM_SCREEN_OBJECT* o) const {
    return o && std::any_of(order.begin(), order.end(),
                            [o](const ENTRY& e) { return e.stop && e.object == o; });
  }

private:
  // The nearest stop beyond index i in the direction, wrapping round once.
  WM_SCREEN_OBJECT* step_from(ptrdiff_t i, int direction) const {
    const auto n = static_cast<ptrdiff_t>(order.size());
    for (ptrdiff_t k = 1; k <= n; ++k) {
      const ptrdiff_t j = ((i + direction * k) % n + n) % n;
      const ENTRY& e = order[static_cast<size_t>(j)];
      if (e.stop && (j != at || k == n)) return e.object;
    }
    return nullptr;
  }
};

bool WM_PAGE_MANAGER::tab_focus(bool forward) {
  TAB_WALK walk;
  walk.run(areas.get(), area_count);
  WM_SCREEN_OBJECT* target = forward ? walk.next() : walk.prev();
  if (!target) return false;
  target->set_focus();
  return true;
}

bool WM_PAGE_MANAGER::refocus() {
  TAB_WALK walk;
  walk.run(areas.get(), area_count);
  if (walk.at < 0) {
    // The focus is gone or lies under the top overlay: back to where it was
    // before the overlay that held it came, else to the default control of
    // a dialog that has just opened.
    std::vector<WM_SCREEN_OBJECT*>& behind = WM_SCREEN_OBJECT::focus_behind_overlays();
    if (!behind.empty() && walk.holds(behind.back())) {
      WM_SCREEN_OBJECT* back = behind.back();
      behind.pop_back();
      back->set_focus();
      return true;
    }
    WM_SCREEN_OBJECT* top = WM_SCREEN_OBJECT::find_top_overlay(0);
    WM_SCREEN_OBJECT* covered = WM_SCREEN_OBJECT::focus_object;
    if (top && covered && covered->visible && (behind.empty() || behind.back() != covered))
      behind.push_back(covered);
    if (top && (top->kind & wm_kind::DIALOG)) {
      WM_SCREEN_OBJECT* control = static_cast<WM_DIALOG*>(top)->default_focus;
      if (walk.holds(control)) {
        control->set_focus();
        return true;
      }
    }
  }
  WM_SCREEN_OBJECT* target = walk.next();
  if (!target) return false;
  target->set_focus();
  return true;
}

bool WM_PAGE_MANAGER::focus_next() { return tab_focus(true); }

bool WM_PAGE_MANAGER::focus_previous() { return tab_focus(false); }

bool WM_PAGE_MANAGER::focus_first_in_area() { return focus_first_from(0, 1); }

bool WM_PAGE_MANAGER::focus_first_in_previous_area() {
  return focus_first_from(static_cast<int16_t>(1 % area_count), -1);
}

bool WM_PAGE_MANAGER::focus_first_from(int16_t start_without_focus, int16_t step) {
  if (WM_SCREEN_OBJECT::find_top_overlay(0)) return false;
  const WM_SCREEN_OBJECT* focus = WM_SCREEN_OBJECT::focus_object;
  // The search starts with the focus object's own area.
  const int32_t start = focus && focus->depth >= 0 && focus->depth < area_count
                            ? focus->depth
                            : start_without_focus;
  for (int32_t i = 0; i < area_count; ++i) {
    WM_AREA& a = areas[((start + step * i) % area_count + area_count) % area_count];
    if (!a.root.visible) continue;
    TAB_WALK walk;
    walk.focus = nullptr;
    walk.add_scope(&a.root);
    WM_SCREEN_OBJECT* first = walk.first();
    if (!first) return false;
    first->set_focus();
    return true;
  }
  return false;
}
