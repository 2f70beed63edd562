// Screen objects: the tree, input and tick dispatch, focus, overlays, and
// painting through the dirty-rectangle table with the shared borders.
#include "wm_screen_object.h"

#include <algorithm>

#include "clip_scope.h"
#include "dirty_rectangles.h"
#include "image.h"
#include "input.h"
#include "screen.h"
#include "sound.h"

namespace {

constexpr uint32_t KEY_RETURN = 0xFF0D;
constexpr uint32_t KEY_CONTROL_L = 0xFFE3;
constexpr uint32_t KEY_CONTROL_R = 0xFFE4;

bool colour_set(COLOUR c) { return (c >> 24) != 0; }

COLOUR darkened(COLOUR c, int8_t percent) {
  colour_darken(&c, percent);
  return c;
}

WM_KEY_DOWN_FUNCTION key_down_function = is_key_down;

}  // namespace

WM_BORDER_THEME border_theme;
uint16_t toolkit_value = 200;

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::focus_object = nullptr;
bool WM_SCREEN_OBJECT::focus_changed = false;
WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::pressed_object = nullptr;
const WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::focus_lost_by_hiding = nullptr;
uint32_t WM_SCREEN_OBJECT::frame_clock = 0;
uint8_t WM_SCREEN_OBJECT::blink_phase = 0;
WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::current_area_root = nullptr;
WM_OBJECT_HOOK WM_SCREEN_OBJECT::object_created_hook = nullptr;
uintptr_t WM_SCREEN_OBJECT::object_created_word = 0;
WM_OBJECT_HOOK WM_SCREEN_OBJECT::object_destroyed_hook = nullptr;
uintptr_t WM_SCREEN_OBJECT::object_destroyed_word = 0;
void (*WM_SCREEN_OBJECT::template_object_gone)(WM_SCREEN_OBJECT* object) = nullptr;
WM_REDRAW_FUNCTION WM_SCREEN_OBJECT::redraw_function = nullptr;
uint32_t WM_SCREEN_OBJECT::tree_generation = 0;
bool WM_SCREEN_OBJECT::overlay_processing_off = false;
bool WM_SCREEN_OBJECT::paint_nested = false;
IMAGE* WM_SCREEN_OBJECT::surface = nullptr;

// ---- Construction and destruction ----------------------------------------

std::vector<WM_SCREEN_OBJECT*>& WM_SCREEN_OBJECT::focus_behind_overlays() {
  // Made with the overlay list, for the same reason.
  static std::vector<WM_SCREEN_OBJECT*> behind;
  return behind;
}

std::vector<WM_SCREEN_OBJECT*>& WM_SCREEN_OBJECT::overlay_list() {
  // Made by the first object's constructor, so that it outlives every
  // object built during static initialisation (the page manager's roots).
  static std::vector<WM_SCREEN_OBJECT*> list;
  return list;
}

WM_SCREEN_OBJECT::WM_SCREEN_OBJECT(bool is_visible, WM_CALLBACK callback, uintptr_t word_1,
                                   uintptr_t word_2)
    : visible(is_visible ? 1 : 0),
      needs_redraw(is_visible ? 1 : 0),
      action_callback(callback),
      action_word_1(word_1),
      action_word_2(word_2) {
  overlay_list();
  focus_behind_overlays();
  drawing_surface();
}

WM_SCREEN_OBJECT::LIFE_WATCH::LIFE_WATCH(WM_SCREEN_OBJECT* watched)
    : object(watched), next(watched ? watched->watches : nullptr) {
  if (object) object->watches = this;
}

// Watches live on the stack, so the lifetimes of two watches either nest or
// do not meet: the one that ends is always the innermost of its object.
WM_SCREEN_OBJECT::LIFE_WATCH::~LIFE_WATCH() {
  if (object) object->watches = next;
}

WM_SCREEN_OBJECT::~WM_SCREEN_OBJECT() {
  for (LIFE_WATCH* watch = watches; watch; watch = watch->next) watch->object = nullptr;
  watches = nullptr;
  if (pressed_object == this) pressed_object = nullptr;
  if (focus_lost_by_hiding == this) focus_lost_by_hiding = nullptr;
  if (focus_object == this) {
    focus_object = nullptr;
    if (focus_callback) focus_callback(this, focus_word);
  }
  std::vector<WM_SCREEN_OBJECT*>& behind = focus_behind_overlays();
  behind.erase(std::remove(behind.begin(), behind.end(), this), behind.end());
  if (object_destroyed_hook) object_destroyed_hook(this, object_destroyed_word);
  if (template_record && template_object_gone) template_object_gone(this);
  if (current_area_root == this) current_area_root = nullptr;
  if (parent) parent->unlink_child(this);
  unlist_overlay(this);
  while (!children.empty()) {
    WM_SCREEN_OBJECT* child = children.back();
    unlink_child(child);
    dispose(child);
  }
}

void WM_SCREEN_OBJECT::notify_created() {
  if (object_created_hook) object_created_hook(this, object_created_word);
}

// ---- Small helpers --------------------------------------------------------

bool WM_SCREEN_OBJECT::has_child(const WM_SCREEN_OBJECT* object) const {
  return std::find(children.begin(), children.end(), object) != children.end();
}

void WM_SCREEN_OBJECT::unlink_child(WM_SCREEN_OBJECT* object) {
  auto it = std::find(children.begin(), children.end(), object);
  if (it == children.end()) return;
  children.erase(it);
  object->parent = nullptr;
  ++tree_generation;
}

void WM_SCREEN_OBJECT::unlist_overlay(WM_SCREEN_OBJECT* object) {
  std::vector<WM_SCREEN_OBJECT*>& list = overlay_list();
  auto it = std::find(list.begin(), list.end(), object);
  if (it == list.end()) return;
  list.erase(it);
  ++tree_generation;
  // One that goes while the focus is still where it found it never took
  // it: the place kept for the focus's return goes with it.
  std::vector<WM_SCREEN_OBJECT*>& behind = focus_behind_overlays();
  if (!object->takes_no_input && !behind.empty() && behind.back() == focus_object) behind.pop_back();
}

void WM_SCREEN_OBJECT::dispose(WM_SCREEN_OBJECT* object) {
  if (object->externally_owned) {
    object->hide(false, false);
    return;
  }
  // The focus goes while the object is still whole: by the time this base
  // destructor runs, the widget's own part (its text, its look) is gone,
  // and a focus callback may well read it.
  if (focus_object == object) {
    const LIFE_WATCH watch(object);
    focus_object = nullptr;
    if (object->focus_callback) object->focus_callback(object, object->focus_word);
    if (!watch.alive()) return;
  }
  delete object;
}

void WM_SCREEN_OBJECT::drop_pressed_and_focus() {
  // A press whose release this object will never see must not swallow the
  // next press elsewhere, and a hidden object cannot keep the keys.
  if (pressed_object == this) pressed_object = nullptr;
  if (focus_object == this) {
    focus_object = nullptr;
    focus_lost_by_hiding = this;
    if (focus_callback) focus_callback(this, focus_word);
  }
}

void WM_SCREEN_OBJECT::reset_removed_depth(WM_SCREEN_OBJECT* object, bool make_relative) {
  object->set_depth(depth == -1 ? 0 : static_cast<int16_t>(-2 - depth));
  if (make_relative) {
    object->set_position(static_cast<int16_t>(object->get_x() - get_x()),
                         static_cast<int16_t>(object->get_y() - get_y()));
  }
}

WM_SCREEN_OBJECT::CULL_AREA WM_SCREEN_OBJECT::cull_area() {
  WM_SCREEN_OBJECT* root = current_area_root;
  if (!root) return {};
  return {true, root->get_x(), root->get_y(), root->get_width(), root->get_height()};
}

bool WM_SCREEN_OBJECT::is_culled(const WM_SCREEN_OBJECT* child, const CULL_AREA& area) {
  if (!area.on || child->depth < 0) return false;
  const int32_t cx = child->x;
  const int32_t cy = child->y;
  return cx + child->width < area.x || cx > area.x + area.w || cy + child->height < area.y ||
         cy > area.y + area.h;
}

int32_t WM_SCREEN_OBJECT::walk_children(int32_t (*step)(WM_SCREEN_OBJECT*),
                                         const LIFE_WATCH& watch) {
  // Callbacks may add, remove or delete children: walk a copy and skip the
  // ones that left once the tree has changed.
  const std::vector<WM_SCREEN_OBJECT*> snapshot = children;
  const uint32_t generation = tree_generation;
  const CULL_AREA area = snapshot.empty() ? CULL_AREA{} : cull_area();
  for (WM_SCREEN_OBJECT* child : snapshot) {
    if (!watch.alive()) return 0;
    if (generation != tree_generation && !has_child(child)) continue;
    if (is_culled(child, area)) continue;
    if (const int32_t result = step(child)) return result;
  }
  return 0;
}

// ---- Virtual slots --------------------------------------------------------

void WM_SCREEN_OBJECT::show() {
  visible = 1;
  needs_redraw = 1;
  invalidate();
}

void WM_SCREEN_OBJECT::hide(bool overlays, bool hide_children) {
  needs_redraw = 0;
  drawn = 0;
  if (visible) {
    if (overlays) {
      const std::vector<WM_SCREEN_OBJECT*> snapshot = overlay_list();
      for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        if (is_overlay(*it)) (*it)->hide(false, false);
      }
    }
    if (hide_children) {
      const std::vector<WM_SCREEN_OBJECT*> snapshot = children;
      for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        if (has_child(*it)) (*it)->hide(false, false);
      }
    }
    visible = 0;
    invalidate();
  }
  drop_pressed_and_focus();
}

int32_t WM_SCREEN_OBJECT::process() {
  // Only a visible focus object counts as reached: a hidden one must lose
  // the focus at the end of the frame.
  if (focus_object == this && visible) focus_changed = true;

  const LIFE_WATCH watch(this);
  if (!overlay_processing_off) {
    WM_SCREEN_OBJECT* top = find_top_overlay(0);
    if (top) {
      if (top->depth >= 0) top->set_depth(static_cast<int16_t>(-2 - depth));
      overlay_processing_off = true;
      const int32_t result = top->process();
      overlay_processing_off = false;
      if (result == page_action::REMOVE_OVERLAY) {
        if (watch.alive() && is_overlay(top)) remove_overlay(top, true, false);
        return page_action::NONE;
      }
      return result;
    }
  }
  if (!visible) return 0;

  if (const int32_t result =
          walk_children([](WM_SCREEN_OBJECT* c) { return c->process(); }, watch)) {
    return result;
  }
  if (!watch.alive()) return 0;

  if (!secondary_click_callback) return 0;
  bool pressed = (mouse.buttons & MOUSE::RIGHT) != 0;
  int16_t px = static_cast<int16_t>(mouse.x);
  int16_t py = static_cast<int16_t>(mouse.y);
  const bool key = key_down(KEY_RETURN);
  if (focus_object == this && (key || activate_key_was_down) &&
      (key_down(KEY_CONTROL_L) || key_down(KEY_CONTROL_R))) {
    pressed = key;
    px = static_cast<int16_t>(x + width / 2);
    py = static_cast<int16_t>(y + height / 2);
  }
  activate_key_was_down = key ? 1 : 0;
  if (!pressed) {
    if (pressed_object != this) return 0;
    pressed_object = nullptr;
    if (hit_test(px, py) && secondary_click_mode != CLICK_MODE::ON_PRESS) {
      return secondary_click_callback(this, secondary_click_word_1, secondary_click_word_2);
    }
    return 0;
  }
  if (pressed_object || !hit_test(px, py)) return 0;
  pressed_object = this;
  set_focus();
  if (secondary_click_mode != CLICK_MODE::ON_RELEASE) {
    return secondary_click_callback(this, secondary_click_word_1, secondary_click_word_2);
  }
  return 0;
}

int32_t WM_SCREEN_OBJECT::update(bool overlays) {
  const LIFE_WATCH watch(this);
  if (overlays) {
    // Overlay updates may close overlays: walk a copy and skip the gone.
    const std::vector<WM_SCREEN_OBJECT*> snapshot = overlay_list();
    for (WM_SCREEN_OBJECT* overlay : snapshot) {
      if (!watch.alive()) return 0;
      if (!is_overlay(overlay)) continue;
      const int32_t result = overlay->update(false);
      if (result == page_action::REMOVE_OVERLAY) {
        if (!watch.alive()) return 0;
        if (is_overlay(overlay)) remove_overlay(overlay, true, false);
        continue;
      }
      if (result != 0) return result;
    }
    return 0;
  }
  if (!visible) return 0;
  return walk_children([](WM_SCREEN_OBJECT* c) { return c->update(false); }, watch);
}

bool WM_SCREEN_OBJECT::hit_test(int16_t px, int16_t py) {
  return visible && (is_inside(px, py) || child_hit_test(px, py));
}

bool WM_SCREEN_OBJECT::is_inside(int16_t px, int16_t py) {
  return visible && x <= px && px < x + static_cast<int32_t>(width) && y <= py &&
         py < y + static_cast<int32_t>(height);
}

bool WM_SCREEN_OBJECT::child_hit_test(int16_t px, int16_t py) {
  for (WM_SCREEN_OBJECT* child : children) {
    if (child->visible && child->hit_test(px, py)) return true;
  }
  return false;
}

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::find_object_at(int16_t px, int16_t py) {
  if (!visible || !hit_test(px, py)) return nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!(*it)->visible) continue;
    if (WM_SCREEN_OBJECT* found = (*it)->find_object_at(px, py)) return found;
  }
  return this;
}

void WM_SCREEN_OBJECT::set_position(int16_t new_x, int16_t new_y) {
  if (new_x == x && new_y == y) return;
  if (visible) invalidate();
  const int32_t dx = new_x - x;
  const int32_t dy = new_y - y;
  x = new_x;
  y = new_y;
  for (WM_SCREEN_OBJECT* child : children) {
    child->set_position(static_cast<int16_t>(child->get_x() + dx),
                        static_cast<int16_t>(child->get_y() + dy));
  }
  if (visible) invalidate();
}

void WM_SCREEN_OBJECT::set_size(uint16_t w, uint16_t h, bool resize_children) {
  if (w == width && h == height) return;
  if (visible) invalidate();
  if (resize_children) {
    // A parent that shrinks by more than a child's size leaves it 0 wide,
    // not 65000.
    const int32_t dw = static_cast<int32_t>(w) - width;
    const int32_t dh = static_cast<int32_t>(h) - height;
    for (WM_SCREEN_OBJECT* child : children) {
      const int32_t cw = std::clamp(child->get_width() + dw, 0, 65535);
      const int32_t ch = std::clamp(child->get_height() + dh, 0, 65535);
      child->set_size(static_cast<uint16_t>(cw), static_cast<uint16_t>(ch), true);
    }
  }
  width = w;
  height = h;
  if (visible) invalidate();
}

void WM_SCREEN_OBJECT::set_depth(int16_t new_depth) {
  depth = new_depth;
  for (WM_SCREEN_OBJECT* child : children) child->set_depth(new_depth);
}

void WM_SCREEN_OBJECT::add_child(WM_SCREEN_OBJECT* object, bool relative) {
  if (!object || object == this) return;
  if (object->parent) object->parent->unlink_child(object);
  if (relative) {
    object->set_position(static_cast<int16_t>(get_x() + object->get_x()),
                         static_cast<int16_t>(get_y() + object->get_y()));
  }
  object->set_depth(depth);
  children.push_back(object);
  object->parent = this;
  ++tree_generation;
  if (object->visible && drawn) object->invalidate();
}

void WM_SCREEN_OBJECT::remove_child(WM_SCREEN_OBJECT* object, bool delete_it,
                                    bool make_relative) {
  if (!object || !has_child(object)) return;
  unlink_child(object);
  object->hide(false, false);
  if (delete_it && !object->externally_owned) {
    dispose(object);
    return;
  }
  reset_removed_depth(object, make_relative);
}

bool WM_SCREEN_OBJECT::is_selectable() { return selectable != 0; }

void WM_SCREEN_OBJECT::set_focus() {
  if (!is_selectable() || focus_object == this || !visible) return;
  WM_SCREEN_OBJECT* previous = focus_object;
  focus_object = this;
  focus_lost_by_hiding = nullptr;
  focus_changed = true;
  if (previous) {
    if (previous->visible) previous->show();
    const LIFE_WATCH watch(this);
    if (previous->focus_callback) previous->focus_callback(previous, previous->focus_word);
    if (!watch.alive()) return;
  }
  if (visible) show();
  if (focus_callback) focus_callback(this, focus_word);
}

void WM_SCREEN_OBJECT::set_active(bool on) {
  if (visible) show();
  active = on ? 1 : 0;
}

int16_t WM_SCREEN_OBJECT::get_x() { return x; }
int16_t WM_SCREEN_OBJECT::get_y() { return y; }
uint16_t WM_SCREEN_OBJECT::get_width() { return width; }
uint16_t WM_SCREEN_OBJECT::get_height() { return height; }

void WM_SCREEN_OBJECT::paint() {
  const RECT* current = dirty_rectangles().current_rect();
  if (!current || !visible) return;
  // The outermost call narrows the clip to the dirty rectangle; nested
  // calls draw inside what it set.
  const bool outermost = !paint_nested;
  IMAGE* target = outermost ? drawing_surface() : nullptr;
  CLIP_SCOPE clip(target);
  if (target) target->clip_to(*current);
  paint_nested = true;
  if (meets_dirty_rectangle()) {
    draw();
    drawn = 1;
    needs_redraw = 0;
  } else if (needs_redraw) {
    drawn = 1;
    needs_redraw = 0;
  }
  for (size_t i = 0; i < children.size(); ++i) {
    if (!is_overlay(children[i])) children[i]->paint();
  }
  if (outermost) paint_nested = false;
}

void WM_SCREEN_OBJECT::paint_overlays() {
  if (!dirty_rectangles().current_rect()) return;
  const std::vector<WM_SCREEN_OBJECT*>& list = overlay_list();
  for (size_t i = 0; i < list.size(); ++i) {
    WM_SCREEN_OBJECT* overlay = list[i];
    if (overlay->depth >= 0) overlay->set_depth(static_cast<int16_t>(-2 - depth));
    overlay->paint();
  }
}

void WM_SCREEN_OBJECT::draw() {}

// ---- Overlays -------------------------------------------------------------

void WM_SCREEN_OBJECT::add_overlay(WM_SCREEN_OBJECT* object, bool relative) {
  if (!object || object == this) return;
  if (relative) {
    object->set_position(static_cast<int16_t>(get_x() + object->get_x()),
                         static_cast<int16_t>(get_y() + object->get_y()));
  }
  object->set_depth(depth < 0 ? depth : static_cast<int16_t>(-2 - depth));
  unlist_overlay(object);
  // Where the focus goes back to once the overlay has taken it and gone.
  std::vector<WM_SCREEN_OBJECT*>& behind = focus_behind_overlays();
  if (focus_object && focus_object != object && !object->takes_no_input &&
      (behind.empty() || behind.back() != focus_object))
    behind.push_back(focus_object);
  overlay_list().push_back(object);
  ++tree_generation;
  if (object->visible && drawn) object->invalidate();
}

void WM_SCREEN_OBJECT::remove_overlay(WM_SCREEN_OBJECT* object, bool delete_it,
                                      bool make_relative) {
  if (!object || !is_overlay(object)) return;
  unlist_overlay(object);
  invalidate();
  // The overlay may stick out of its owner: its own pixels need repainting.
  object->invalidate();
  if (delete_it && !object->externally_owned) {
    dispose(object);
    return;
  }
  reset_removed_depth(object, make_relative);
}

void WM_SCREEN_OBJECT::destroy_children(bool overlays, uint32_t, bool destroy_own_children) {
  if (overlays) {
    const std::vector<WM_SCREEN_OBJECT*> snapshot = overlay_list();
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
      if (!is_overlay(*it)) continue;
      unlist_overlay(*it);
      dispose(*it);
    }
  }
  if (destroy_own_children) {
    while (!children.empty()) {
      WM_SCREEN_OBJECT* child = children.back();
      if (!overlays) unlist_overlay(child);
      unlink_child(child);
      dispose(child);
    }
  }
  if (visible) invalidate();
}

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::get_child(int16_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(children.size())) return nullptr;
  return children[static_cast<size_t>(index)];
}

WM_SCREEN_OBJECT* WM_SCREEN_OBJECT::find_top_overlay(uint32_t kind_bits) {
  const std::vector<WM_SCREEN_OBJECT*>& list = overlay_list();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if ((*it)->visible && !(*it)->takes_no_input && ((*it)->kind & kind_bits) == kind_bits)
      return *it;
  }
  return nullptr;
}

bool WM_SCREEN_OBJECT::is_overlay(const WM_SCREEN_OBJECT* object) {
  const std::vector<WM_SCREEN_OBJECT*>& list = overlay_list();
  return std::find(list.begin(), list.end(), object) != list.end();
}

int16_t WM_SCREEN_OBJECT::get_top_overlay_depth() {
  WM_SCREEN_OBJECT* top = find_top_overlay(0);
  return top ? top->depth : -1;
}

uint16_t WM_SCREEN_OBJECT::count_visible_overlays() {
  const std::vector<WM_SCREEN_OBJECT*>& list = overlay_list();
  return static_cast<uint16_t>(
      std::count_if(list.begin(), list.end(), [](WM_SCREEN_OBJECT* o) { return o->visible; }));
}

WM_CLICK_SOUND gui_click_sound;

int32_t WM_SCREEN_OBJECT::fire_callback(bool click_sound) {
  if (!action_callback) return 0;
  if (click_sound && gui_click_sound.sound && gui_click_sound.enabled) gui_click_sound.sound->play();
  return action_callback(this, action_word_1, action_word_2);
}

// ---- Global state ---------------------------------------------------------

void WM_SCREEN_OBJECT::set_frame_clock(uint32_t t) {
  frame_clock = t;
  static constexpr uint32_t periods[7] = {50, 125, 250, 500, 1000, 2000, 4000};
  uint8_t bits = 0;
  for (int i = 0; i < 7; ++i) bits |= static_cast<uint8_t>(((t / periods[i]) & 1) << i);
  bits |= static_cast<uint8_t>(((t / 4000 >> 1) & 1) << 7);
  blink_phase = bits;
}

IMAGE* WM_SCREEN_OBJECT::drawing_surface() {
  if (!surface) surface = get_screen_image();
  return surface;
}

void WM_SCREEN_OBJECT::set_drawing_surface(IMAGE* image) { surface = image; }

void WM_SCREEN_OBJECT::set_key_down_function(WM_KEY_DOWN_FUNCTION function) {
  key_down_function = function ? function : is_key_down;
}

bool WM_SCREEN_OBJECT::key_down(uint32_t key_symbol) { return key_down_function(key_symbol); }

// ---- Invalidation ---------------------------------------------------------

void WM_SCREEN_OBJECT::invalidate() {
  invalidate_rect(x, y, x + static_cast<int32_t>(get_width()) - 1,
                  y + static_cast<int32_t>(get_height()) - 1);
}

void WM_SCREEN_OBJECT::invalidate_rect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const RECT screen = RECT::sized(0, 0, get_screen_width(0), get_screen_height(0));
  const RECT r = RECT{x1, y1, x2, y2}.intersect(screen);
  if (!r.empty()) dirty_rectangles().add(r);
}

void WM_SCREEN_OBJECT::invalidate_screen() {
  invalidate_rect(0, 0, get_screen_width(0) - 1, get_screen_height(0) - 1);
}

bool WM_SCREEN_OBJECT::meets_dirty_rectangle() const {
  const RECT* r = dirty_rectangles().current_rect();
  return r && x <= r->x2 && x + static_cast<int32_t>(width) > r->x1 && y <= r->y2 &&
         y + static_cast<int32_t>(height) > r->y1;
}

void WM_SCREEN_OBJECT::redraw_now() {
  if (redraw_function) redraw_function(RECT::sized(x, y, width, height), depth == -1 ? this : nullptr);
}

// ---- Borders --------------------------------------------------------------

uint32_t resolve_border_style(uint32_t style, uint32_t own_style) {
  if (style == 1) style = own_style;
  if (style == 1) style = border_theme.default_style;
  return style;
}

void draw_focus_ring(IMAGE* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const COLOUR& ink) {
  auto dot = [&](int32_t px, int32_t py) {
    s->blend_pixel(static_cast<int16_t>(px), static_cast<int16_t>(py), &ink);
  };
  for (int32_t px = x1; px <= x2; px += 2) {
    dot(px, y1);
    dot(px, y2);
  }
  for (int32_t py = y1; py <= y2; py += 2) {
    dot(x1, py);
    dot(x2, py);
  }
}

int32_t get_border_width(uint32_t style) {
  switch (resolve_border_style(style, 1)) {
    case 2: case 7: case 8: return 3;
    case 3: case 4: return 1;
    case 5: case 6: return 2;
    case 9: return 4;
    default: return 0;
  }
}

int32_t WM_SCREEN_OBJECT::get_border_width(uint32_t style) const {
  return ::get_border_width(resolve_border_style(style, border_style));
}

void WM_SCREEN_OBJECT::get_border_colours(const COLOUR* face, COLOUR* dark, COLOUR* light) const {
  const bool face_set = face && colour_set(*face);
  if (dark) {
    if (colour_set(border_colour)) *dark = darkened(border_colour, 30);
    else if (colour_set(border_theme.shadow)) *dark = border_theme.shadow;
    else if (face_set) *dark = darkened(*face, 30);
    else if (colour_set(border_theme.face)) *dark = darkened(border_theme.face, 30);
    else *dark = 0xFF808080;
  }
  if (light) {
    if (colour_set(border_colour)) *light = darkened(border_colour, -30);
    else if (colour_set(border_theme.highlight)) *light = border_theme.highlight;
    else if (face_set) *light = darkened(*face, -30);
    else if (colour_set(border_theme.face)) *light = darkened(border_theme.face, -30);
    else *light = 0xFFFFFFFF;
  }
}

namespace {

enum class RING : uint8_t { DARK_FRAME, INNER_OUTLINE, OUTLINE, RAISED };

struct RING_GEOMETRY {
  int32_t x1, y1, x2, y2;
  uint16_t flags;
  int32_t radius;  // 0 without rounded corners
};

void draw_side(IMAGE* s, int32_t ax, int32_t ay, int32_t bx, int32_t by, COLOUR c) {
  // A side shortened past its other end by two corners has nothing left.
  if (!colour_set(c) || bx < ax || by < ay) return;
  s->draw_line(static_cast<int16_t>(ax), static_cast<int16_t>(ay), static_cast<int16_t>(bx),
               static_cast<int16_t>(by), &c, 1, true);
}

// One ring inset by k: the top and left sides and the upper corners in
// `upper`, the bottom and right sides and the lower corners in `lower`.
void draw_ring(IMAGE* s, const RING_GEOMETRY& g, int32_t k, COLOUR upper, COLOUR lower) {
  using namespace border_flag;
  const int32_t r = g.radius;
  const int32_t tl = g.flags & ROUND_TOP_LEFT ? r : 0;
  const int32_t tr = g.flags & ROUND_TOP_RIGHT ? r : 0;
  const int32_t bl = g.flags & ROUND_BOTTOM_LEFT ? r : 0;
  const int32_t br = g.flags & ROUND_BOTTOM_RIGHT ? r : 0;
  const int32_t x1 = g.x1 + k, y1 = g.y1 + k, x2 = g.x2 - k, y2 = g.y2 - k;
  if (g.flags & TOP) draw_side(s, x1 + tl, y1, x2 - tr, y1, upper);
  if (g.flags & LEFT) draw_side(s, x1, y1 + tl, x1, y2 - bl, upper);
  if (g.flags & BOTTOM) draw_side(s, x1 + bl, y2, x2 - br, y2, lower);
  if (g.flags & RIGHT) draw_side(s, x2, y1 + tr, x2, y2 - br, lower);
  const int16_t rr = static_cast<int16_t>(r);
  auto corner = [&](uint16_t flag, int32_t px, int32_t py, uint8_t code, COLOUR c) {
    if ((g.flags & flag) && colour_set(c)) {
      s->draw_arc(static_cast<int16_t>(px), static_cast<int16_t>(py), rr, code, &c);
    }
  };
  corner(ROUND_TOP_LEFT, x1, y1, IMAGE::CORNER_TOP_LEFT, upper);
  corner(ROUND_TOP_RIGHT, x2, y1, IMAGE::CORNER_TOP_RIGHT, upper);
  corner(ROUND_BOTTOM_LEFT, x1, y2, IMAGE::CORNER_BOTTOM_LEFT, lower);
  corner(ROUND_BOTTOM_RIGHT, x2, y2, IMAGE::CORNER_BOTTOM_RIGHT, lower);
}

}  // namespace

void WM_SCREEN_OBJECT::draw_border(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                   uint16_t flags, const COLOUR* face, uint32_t style,
                                   uint16_t radius) {
  static constexpr RING rings_of_style[10][4] = {
      {}, {},
      {RING::DARK_FRAME, RING::INNER_OUTLINE, RING::RAISED},
      {RING::OUTLINE},
      {RING::RAISED},
      {RING::OUTLINE, RING::RAISED},
      {RING::RAISED, RING::RAISED},
      {RING::OUTLINE, RING::RAISED, RING::RAISED},
      {RING::RAISED, RING::RAISED, RING::RAISED},
      {RING::OUTLINE, RING::RAISED, RING::RAISED, RING::RAISED},
  };
  IMAGE* s = drawing_surface();
  style = resolve_border_style(style, border_style);
  if (!s || style < 2 || style > 9) return;
  const int32_t ring_count = ::get_border_width(style);
  COLOUR dark = 0, light = 0;
  get_border_colours(face, &dark, &light);
  const bool pressed = (flags & border_flag::PRESSED) != 0;
  const bool rounded = (flags & border_flag::ALL_CORNERS) != 0;
  RING_GEOMETRY g{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), flags,
                  0};
  if (rounded) {
    g.radius = radius == AUTO_BORDER_RADIUS
                   ? IMAGE::default_corner_radius(x1, y1, x2, y2)
                   : static_cast<int32_t>(radius);
  }
  for (int32_t k = 0; k < ring_count; ++k) {
    COLOUR upper = 0, lower = 0;
    switch (rings_of_style[style][k]) {
      case RING::DARK_FRAME:
        upper = dark;
        lower = rounded ? dark : light;
        break;
      case RING::INNER_OUTLINE:
        upper = lower = border_theme.inner_outline;
        break;
      case RING::OUTLINE:
        upper = lower = border_theme.outline;
        break;
      case RING::RAISED:
        upper = pressed ? dark : light;
        lower = pressed ? light : dark;
        break;
    }
    draw_ring(s, g, k, upper, lower);
  }
}

void WM_SCREEN_OBJECT::draw_arrow(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                                  const COLOUR* colour, ARROW direction, uint16_t inset_x,
                                  uint16_t inset_y) {
  IMAGE* s = drawing_surface();
  if (!s || !colour || !colour_set(*colour)) return;
  const int32_t ix = inset_x == AUTO_ARROW_INSET ? (x2 - x1 + 1) / 3 : inset_x;
  const int32_t iy = inset_y == AUTO_ARROW_INSET ? (y2 - y1 + 1) / 3 : inset_y;
  const int32_t bx1 = x1 + ix, bx2 = x2 - ix, by1 = y1 + iy, by2 = y2 - iy;
  if (bx2 < bx1 || by2 < by1) return;
  const int32_t cx = bx1 + (bx2 - bx1 + 1) / 2;
  const int32_t cy = by1 + (by2 - by1 + 1) / 2;
  auto line = [&](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
    s->draw_line(static_cast<int16_t>(ax), static_cast<int16_t>(ay), static_cast<int16_t>(bx),
                 static_cast<int16_t>(by), colour, 1, true);
  };
  switch (direction) {
    case ARROW::UP:
      for (int32_t px = bx1; px <= bx2; ++px) line(px, by2, cx, by1);
      break;
    case ARROW::DOWN:
      for (int32_t px = bx1; px <= bx2; ++px) line(cx, by2, px, by1);
      break;
    case ARROW::LEFT:
      for (int32_t py = by1; py <= by2; ++py) line(bx1, cy, bx2, py);
      break;
    case ARROW::RIGHT:
      for (int32_t py = by1; py <= by2; ++py) line(bx1, py, bx2, cy);
      break;
  }
}
