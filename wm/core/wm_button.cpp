// Buttons: construction from a style or from colours, the per-frame input
// (mouse, Return and hot key, repeats, drags, tooltips, pointer shapes),
// flashing, and drawing the state frame or the colour look.
#include "wm_button.h"

#include <algorithm>
#include <new>
#include <string>

#include "clip_scope.h"
#include "errors.h"
#include "font.h"
#include "image_cache.h"
#include "input.h"
#include "screen.h"
#include "text_fit.h"
#include "timing.h"
#include "wm_page_manager.h"
#include "wm_script.h"

namespace {

bool is_set(COLOUR c) { return (c >> 24) != 0; }

IMAGE* button_surface() {
  IMAGE* s = WM_SCREEN_OBJECT::drawing_surface();
  return s ? s : get_screen_image();
}

struct FLAG_MAP {
  uint32_t style_bit;
  uint32_t button_bit;
};
constexpr FLAG_MAP kDrawingFlags[] = {
    {SSF_LEFT_JUSTIFY_TEXT, button_flag::LEFT_JUSTIFY},
    {SSF_RIGHT_JUSTIFY_TEXT, button_flag::RIGHT_JUSTIFY},
    {SSF_TOP_ALIGN_TEXT, button_flag::TOP_ALIGN},
    {SSF_BOTTOM_ALIGN_TEXT, button_flag::BOTTOM_ALIGN},
    {SSF_DARKENED_BACKGROUND, button_flag::DARKENED_BACKGROUND},
    {SSF_HFADING, button_flag::HORIZONTAL_FADING},
    {SSF_VFADING, button_flag::VERTICAL_FADING},
    {SSF_USE_TEXT_COLOUR_FOR_OUTLINE, button_flag::OUTLINE_IN_TEXT_COLOUR},
    {SSF_SHADOW_TEXT, button_flag::SHADOW},
    {SSF_INSET_TEXT, button_flag::INSET},
    {SSF_CHISELED_TEXT, button_flag::CHISELED},
    {SSF_ICON_LEFT, button_flag::ICON_LEFT},
    {SSF_ICON_RIGHT, button_flag::ICON_RIGHT},
    {SSF_ICON_TOP, button_flag::ICON_TOP},
    {SSF_ICON_BOTTOM, button_flag::ICON_BOTTOM},
    {SSF_ICON_ATTACH_TO_TEXT, button_flag::ICON_ATTACHED},
    {SSF_WRAP_TEXT, button_flag::WRAP},
    {SSF_DONT_RESIZE_IMAGE, button_flag::DONT_RESIZE_IMAGE},
};
constexpr FLAG_MAP kExtendedFlags[] = {
    {SSEF_LEFT_ARROW, button_flag::ARROW_LEFT},
    {SSEF_RIGHT_ARROW, button_flag::ARROW_RIGHT},
    {SSEF_UP_ARROW, button_flag::ARROW_UP},
    {SSEF_DOWN_ARROW, button_flag::ARROW_DOWN},
    {SSEF_INVERT_VFADING_ON_PRESS, button_flag::INVERT_FADING_WHEN_PRESSED},
    {SSEF_DONT_MASK_CLICK, button_flag::DONT_MASK_CLICK},
};

uint32_t draw_flags_of(const WM_STYLE_SET& s) {
  uint32_t flags = 0;
  for (const FLAG_MAP& m : kDrawingFlags)
    if (s.drawing_flags & m.style_bit) flags |= m.button_bit;
  for (const FLAG_MAP& m : kExtendedFlags)
    if (s.extended_flags & m.style_bit) flags |= m.button_bit;
  if ((s.drawing_flags & SSF_DRAW_BORDER) &&
      (s.drawing_flags & (SSF_INDENT_BORDER | SSF_OUTSTANDING_BORDER)))
    flags |= button_flag::BEVEL;
  return flags;
}

constexpr const char* kFrameSuffix[BUTTON_FRAME_COUNT] = {
    "_up",          "_down",          "_disabled",          "_over",
    "_active_up",   "_active_down",   "_active_disabled",   "_active_over",
    "_highlighted", "_flashing",      "_dragging"};
constexpr STYLE_IMAGE kFrameStyleImage[BUTTON_FRAME_COUNT] = {
    STYLE_IMAGE_UP,          STYLE_IMAGE_DOWN,        STYLE_IMAGE_DISABLED,
    STYLE_IMAGE_OVER,        STYLE_IMAGE_ACTIVE_UP,   STYLE_IMAGE_ACTIVE_DOWN,
    STYLE_IMAGE_ACTIVE_DISABLED, STYLE_IMAGE_ACTIVE_OVER, STYLE_IMAGE_HIGHLIGHTED,
    STYLE_IMAGE_FLASHING,    STYLE_IMAGE_DRAGGING};

// Whether target is root or lies in its tree; compares addresses only.
bool tree_holds(const WM_SCREEN_OBJECT* root, const WM_SCREEN_OBJECT* target) {
  if (root == target) return true;
  for (const WM_SCREEN_OBJECT* child : root->children)
    if (tree_holds(child, target)) return true;
  return false;
}

WM_SCREEN_OBJECT* object_at(int16_t px, int16_t py) {
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  return manager ? manager->find_object_at(px, py) : nullptr;
}

}  // namespace

// ---- Construction ----------------------------------------------------------

uint8_t WM_BUTTON::tooltip_style_set = 0;

WM_STYLE_SET& WM_BUTTON::tooltip_style() {
  static WM_STYLE_SET* style = [] {
    auto* s = new WM_STYLE_SET;  // lives to the end: labels may outlive statics
    s->shading_type = 3;
    s->fg_colour = 0xFF000000;
    s->bg_colour = 0xFFFFD000;
    s->fading_colour = 0xFFFF0000;
    s->shading_flags = 15;
    s->drawing_flags = 0x10B;
    return s;
  }();
  return *style;
}

WM_BUTTON::WM_BUTTON(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
                     const char* new_text, const char* tooltip_text, WM_CALLBACK callback,
                     uintptr_t word_1, uintptr_t word_2, uint8_t mask)
    : WM_SCREEN_OBJECT(style ? style->visible != 0 : true, callback, word_1, word_2) {
  WM_STYLE_SET defaults;
  const WM_STYLE_SET& s = style ? *style : defaults;
  for (SKIN_FRAME& f : state_frames) f.cache = &wm_image_cache();
  border_style = s.shading_type;
  const COLOUR active_bg = is_set(s.active_colour) ? s.active_colour : s.bg_colour;
  BUTTON_BEHAVIOUR b = BUTTON_BEHAVIOUR::NORMAL;
  if (s.extended_flags & SSEF_AUTO_DEPRESS) b = BUTTON_BEHAVIOUR::AUTO_DEPRESS;
  else if (s.extended_flags & SSEF_AUTO_ACTIVATE) b = BUTTON_BEHAVIOUR::AUTO_ACTIVATE;
  init(x1, y1, x2, y2, new_text, s.bg_colour, active_bg, s.highlight_colour, b, s.font_id,
       s.font_x_sz, s.font_y_sz, s.border_left_gap, s.border_right_gap, s.border_top_gap,
       s.border_bottom_gap, s.x_spacing, s.y_spacing, mask);
  apply_style(s);
  if (tooltip_text) set_tooltip(tooltip_text);
  if (s.image_filename) load_images(s.image_path, s.image_filename, &s);
  notify_created();
}

WM_BUTTON::WM_BUTTON(int16_t x1, int16_t y1, int16_t x2, int16_t y2, COLOUR background,
                     COLOUR new_text_colour, const char* new_text, uint8_t new_font,
                     uint16_t font_w, uint16_t font_h, BUTTON_BEHAVIOUR new_behaviour,
                     uint32_t new_draw_flags, uint16_t new_edge_flags, WM_CALLBACK callback,
                     uintptr_t word_1, uintptr_t word_2, bool is_visible, uint8_t mask)
    : WM_SCREEN_OBJECT(is_visible, callback, word_1, word_2) {
  for (SKIN_FRAME& f : state_frames) f.cache = &wm_image_cache();
  const uint16_t u = WM_STYLE_SET::UNSET;
  init(x1, y1, x2, y2, new_text, background, background, background, new_behaviour, new_font,
       font_w, font_h, u, u, u, u, u, u, mask);
  text_colour = new_text_colour;
  draw_flags = new_draw_flags;
  edge_flags = new_edge_flags;
  notify_created();
}

uint32_t WM_BUTTON::processing_frame = 0;
WM_BUTTON* WM_BUTTON::pointer_holder = nullptr;

WM_BUTTON::~WM_BUTTON() {
  if (pointer_holder == this) pointer_holder = nullptr;
  set_tooltip(nullptr);
  list_while_dragged(false);
  clear_images();
}

void WM_BUTTON::init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* new_text,
                     COLOUR up, COLOUR active_background, COLOUR highlight,
                     BUTTON_BEHAVIOUR new_behaviour, uint8_t new_font, uint16_t font_w,
                     uint16_t font_h, uint16_t left, uint16_t right, uint16_t top,
                     uint16_t bottom, uint16_t spacing_x, uint16_t spacing_y, uint8_t mask) {
  tooltip_style();
  IMAGE* surface = button_surface();
  const uint16_t unset = WM_STYLE_SET::UNSET;
  font = new_font == 255 ? static_cast<uint8_t>(surface->font) : new_font;
  font_width = font_w == unset ? static_cast<uint16_t>(surface->font_width) : font_w;
  font_height = font_h == unset ? surface->font_height : font_h;
  right_drags = 1;
  drag_started = 0;
  drag_x = drag_y = NO_POSITION;
  drag_callback = nullptr;
  drag_word_1 = drag_word_2 = 0;
  const auto border = static_cast<uint16_t>(get_border_width(1));
  left_gap = left == unset ? border : left;
  right_gap = right == unset ? border : right;
  top_gap = top == unset ? border : top;
  bottom_gap = bottom == unset ? border : bottom;
  x_spacing = spacing_x == unset ? left_gap : spacing_x;
  y_spacing = spacing_y == unset ? top_gap : spacing_y;
  if (!new_text) new_text = "";

  enabled = 1;
  mark[0] = mark[1] = 0;
  x = x1;
  y = y1;
  edge_flags = border_flag::ALL_SIDES;
  indent_when_active = tooltip_on_press = 0;
  pressed = prev_left = prev_right = armed = mouse_over = menu_item = 0;
  state_callback = nullptr;
  behaviour = new_behaviour;
  event_mask = mask;
  draw_flags = 0;
  tooltip_x = tooltip_y = NO_POSITION;
  saved_focus = nullptr;
  release_event = prev_return = prev_hotkey = takes_return = 0;
  hotkey = 0;
  repeat_time = 0;
  flash_phase = 0;
  flash_mask = 32;
  up_colour = up;
  active_colour = active_background;
  highlight_colour = highlight;
  text_colour = fading_colour = 0xFF000000;
  active_text_colour = highlight_text_colour = mouse_over_colour = mouse_over_text_colour =
      flashing_colour = flashing_text_colour = disabled_colour = disabled_text_colour =
          outline_colour = COLOUR_INVISIBLE;

  if (!set_text(new_text, false)) report_error(0x61);
  int32_t w = int32_t{x2} - x1 + 1;
  if (w <= 0) {
    w = left_gap + right_gap +
        surface->get_text_width(font, font_width, static_cast<int16_t>(font_height), new_text);
  }
  int32_t h = int32_t{y2} - y1 + 1;
  if (h <= 0) {
    h = font_height + bottom_gap + top_gap +
        accent_room(surface, {font, font_width, static_cast<int16_t>(font_height)}, top_gap);
  }
  width = static_cast<uint16_t>(std::clamp<int32_t>(w, 0, 65535));
  height = static_cast<uint16_t>(std::clamp<int32_t>(h, 0, 65535));
  kind |= wm_kind::BUTTON;
}

void WM_BUTTON::apply_style(const WM_STYLE_SET& s) {
  if (s.drawing_flags & SSF_DRAW_BORDER) {
    edge_flags = static_cast<uint16_t>(s.shading_flags & 0x7FFF);
    if (s.drawing_flags & SSF_INDENT_BORDER) edge_flags |= border_flag::PRESSED;
  } else {
    edge_flags = 0;
  }
  draw_flags = draw_flags_of(s);
  text_colour = s.fg_colour;
  const struct {
    COLOUR from;
    COLOUR* to;
  } optional[] = {{s.fading_colour, &fading_colour},
                  {s.highlight_text_colour, &highlight_text_colour},
                  {s.mouse_over_colour, &mouse_over_colour},
                  {s.mouse_over_text_colour, &mouse_over_text_colour},
                  {s.flashing_colour, &flashing_colour},
                  {s.flashing_text_colour, &flashing_text_colour},
                  {s.disabled_colour, &disabled_colour},
                  {s.disabled_text_colour, &disabled_text_colour},
                  {s.active_text_colour, &active_text_colour},
                  {s.underline_colour, &outline_colour},
                  {s.border_colour, &border_colour}};
  for (const auto& o : optional)
    if (is_set(o.from)) *o.to = o.from;
  if (s.drawing_flags & SSF_DISABLED) enabled = pressed = 0;
  if (s.extended_flags & SSEF_INDENT_WHEN_ACTIVE) indent_when_active = 1;
}

// ---- Plain operations ------------------------------------------------------

void WM_BUTTON::redraw() {
  if (visible) show();
}

bool WM_BUTTON::set_text(const char* new_text, bool grow) {
  if (!new_text) return false;
  redraw();
  try {
    text.assign(new_text);
  } catch (const std::bad_alloc&) {
    text.clear();
    return false;
  }
  if (grow) {
    const int32_t wanted = button_surface()->get_text_width(255, 65535, -1, new_text) + 1;
    if (wanted > width) {
      width = static_cast<uint16_t>(std::min<int32_t>(wanted, 65535));
      redraw();
    }
  }
  return true;
}

void WM_BUTTON::set_tooltip(const char* tooltip_text) {
  if (tooltip) {
    hide_tooltip();
    delete tooltip;
    tooltip = nullptr;
  }
  if (tooltip_text && tooltip_text[0]) {
    tooltip = new (std::nothrow) WM_SCRIPT(0, 0, -1, -1, &tooltip_style(), tooltip_text);
    if (tooltip) {
      tooltip->visible = 0;
      tooltip->needs_redraw = 0;
      tooltip->attached_object = this;
      tooltip->externally_owned = 1;
      tooltip->takes_no_input = 1;
    }
  }
  set_depth(0);
}

void WM_BUTTON::set_enabled(bool on) {
  if (enabled == (on ? 1 : 0)) return;
  redraw();
  if (!on) pressed = 0;
  enabled = on ? 1 : 0;
}

bool WM_BUTTON::load_images(const char* folder, const char* base_name,
                            const WM_STYLE_SET* style) {
  if (style && style->is_loaded()) {
    for (int i = 0; i < BUTTON_FRAME_COUNT; ++i) {
      if (const SKIN_FRAME* f = style->state_images[kFrameStyleImage[i]]) state_frames[i].copy(*f);
    }
    const SKIN_FRAME* base = style->state_images[STYLE_IMAGE_BASE];
    for (BUTTON_FRAME i : {FRAME_UP, FRAME_DOWN})
      if (!state_frames[i].is_loaded() && base) state_frames[i].copy(*base);
    return has_images();
  }
  if (!base_name || !folder) {
    clear_images();
    return false;
  }
  for (int i = 0; i < BUTTON_FRAME_COUNT; ++i) {
    state_frames[i].load(folder, (std::string(base_name) + kFrameSuffix[i]).c_str(),
                         skin_load_flags);
  }
  for (BUTTON_FRAME i : {FRAME_UP, FRAME_DOWN})
    if (!state_frames[i].is_loaded()) state_frames[i].load(folder, base_name, skin_load_flags);
  return has_images();
}

bool WM_BUTTON::load_images(const FOLDER& folder, const char* base_name,
                            const WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE] = {};
  if (!folder.get_path_text(path, sizeof path, nullptr)) path[0] = 0;
  return load_images(path, base_name, style);
}

void WM_BUTTON::set_icon_image(const IMAGE& source) {
  icon.copy(source);
  redraw();
}

void WM_BUTTON::set_colours(COLOUR background, COLOUR new_text, COLOUR third, bool recolour) {
  up_colour = active_colour = background;
  text_colour = new_text;
  if (has_images()) {
    for (int i = 0; i <= FRAME_HIGHLIGHTED; ++i) {
      if (recolour) state_frames[i].apply_all3(&background, &new_text, &third);
      else state_frames[i].apply_all2(&background);
    }
  }
  redraw();
}

void WM_BUTTON::clear_images() {
  for (SKIN_FRAME& f : state_frames) f.clear();
}

bool WM_BUTTON::has_images() const {
  return state_frames[FRAME_UP].is_loaded() && state_frames[FRAME_DOWN].is_loaded();
}

// ---- Virtual slots ---------------------------------------------------------

void WM_BUTTON::show() {
  if (drag_started) invalidate_drag_image();
  WM_SCREEN_OBJECT::show();
}

void WM_BUTTON::hide(bool overlays, bool hide_children) {
  hide_tooltip();
  WM_SCREEN_OBJECT::hide(overlays, hide_children);
}

bool WM_BUTTON::hit_test(int16_t px, int16_t py) {
  if (!visible) return false;
  if (child_hit_test(px, py)) return true;
  if (!is_inside(px, py)) return false;
  if (has_images() && !(draw_flags & button_flag::DONT_MASK_CLICK)) {
    return state_frames[FRAME_UP].is_opaque_at(static_cast<int16_t>(px - x),
                                               static_cast<int16_t>(py - y),
                                               static_cast<int16_t>(width),
                                               static_cast<int16_t>(height));
  }
  return true;
}

int32_t WM_BUTTON::update(bool overlays) {
  const char* flashing =
      flash_text.get_type() == PARAMETER::TEXT ? flash_text.get_text(PARAMETER::VALUE) : nullptr;
  if (visible && flashing && flashing[0]) {
    const uint8_t wanted = (flash_mask & blink_phase) != 0 ? 1 : 0;
    if (wanted != flash_phase) {
      flash_phase = wanted;
      show();
    }
  }
  return WM_SCREEN_OBJECT::update(overlays);
}

// ---- Input -----------------------------------------------------------------

// One frame's view of the pointer and keys. `over`, `left` and `right` are
// what the click logic sees (keys stand in for the left button); the
// pointer_* fields are the real pointer, which tooltips, drags and pointer
// shapes follow.
struct WM_BUTTON::INPUT {
  uint16_t mx = NO_POSITION, my = NO_POSITION;
  bool pointer_over = false;
  bool mouse_left = false, mouse_right = false;
  bool over = false, left = false, right = false;
  bool auto_activate = false;
};

WM_BUTTON::INPUT WM_BUTTON::read_input() {
  INPUT in;
  in.mx = mouse.x;
  in.my = mouse.y;
  in.mouse_left = (mouse.buttons & MOUSE::LEFT) != 0;
  in.mouse_right = (mouse.buttons & MOUSE::RIGHT) != 0;
  in.pointer_over = in.mx != MOUSE::OUTSIDE &&
                    hit_test(static_cast<int16_t>(in.mx), static_cast<int16_t>(in.my));
  in.over = in.pointer_over;
  in.left = in.mouse_left;
  in.right = in.mouse_right;
  if (menu_item) armed = in.over && in.left;
  in.auto_activate = behaviour == BUTTON_BEHAVIOUR::AUTO_ACTIVATE;

  // Space presses only the focus: typed elsewhere it is text. The space it
  // typed, like whatever else waits typed while a button had the focus, is
  // no entry field's text: the queue is emptied (the same size empties it).
  const bool return_down =
      key_down(KEY_RETURN) || (focus_object == this && key_down(KEY_SPACE));
  if (focus_object == this && key_queue.pressed_in_frame(KEY_SPACE))
    key_queue.set_size(key_queue.get_capacity());
  const bool hot_down = hotkey != 0 && key_down(hotkey);
  enum class KEY { NONE, PRESS, RELEASE } k = KEY::NONE;
  if (focus_object == this || takes_return) {
    if (return_down) k = KEY::PRESS;
    else if (prev_return) k = KEY::RELEASE;
  }
  if (k == KEY::NONE) {
    if (hot_down) k = KEY::PRESS;
    else if (prev_hotkey) k = KEY::RELEASE;
  }
  if (k != KEY::NONE) {
    in.over = true;
    in.left = k == KEY::PRESS;
    in.right = false;
    in.auto_activate = false;
  }
  prev_return = return_down ? 1 : 0;
  prev_hotkey = hot_down ? 1 : 0;
  return in;
}

int32_t WM_BUTTON::process() {
  reached_frame = processing_frame;
  INPUT in = read_input();
  if (in.auto_activate) {
    if (in.left && in.over) return 0;
    // Drawn up again as soon as the pointer leaves, also when no event
    // follows (a release after repeats is silent).
    show_pressed(in.over);
    in.left = in.over;
  }
  // Every callback below may delete the button (a grid cell's callback
  // that clears its grid): nothing of it is touched once it is gone.
  const LIFE_WATCH watch(this);
  int32_t result = WM_SCREEN_OBJECT::process();
  if (!watch.alive() || result != 0 || !visible) return result;

  if (drag_callback) {
    result = drag_step(in, watch);
    if (!watch.alive() || result != 0) return result;
  }
  if (tooltip) tooltip_step(in);
  if (state_callback) {
    const uint8_t now_active = state_callback(this, state_word);
    if (!watch.alive()) return 0;
    if (now_active != active) {
      active = now_active;
      redraw();
    }
  }
  if (enabled) {
    const bool hover_look = state_frames[FRAME_OVER].is_loaded() || is_set(mouse_over_colour) ||
                            is_set(mouse_over_text_colour) || over_icon.width > 0;
    if (hover_look && mouse_over != (in.over ? 1 : 0)) {
      mouse_over = in.over ? 1 : 0;
      redraw();
    }
    if (behaviour == BUTTON_BEHAVIOUR::AUTO_DEPRESS || menu_item) show_pressed(in.over);
    result = click_step(in, watch);
    if (!watch.alive()) return result;
    request_pointer_shape(in);
  }
  if (in.pointer_over) pointer_holder = this;
  prev_left = in.left ? 1 : 0;
  prev_right = in.right ? 1 : 0;
  if (!in.left) armed = 0;
  return result;
}

void WM_BUTTON::show_pressed(bool down) {
  if (pressed == (down ? 1 : 0)) return;
  pressed = down ? 1 : 0;
  redraw();
}

int32_t WM_BUTTON::click_step(const INPUT& in, const LIFE_WATCH& watch) {
  const uint32_t now = frame_clock;
  uint8_t event = 0;
  if ((in.over || in.auto_activate) && in.left != (prev_left != 0)) {
    if (in.left) {
      event = button_event::PRESS;
      armed = 1;
      repeating = 0;
      repeat_time = now;
      set_focus();
      if (!watch.alive()) return 0;
    } else if (armed || menu_item) {
      armed = 0;
      if (!repeating || menu_item) event = button_event::RELEASE;
      repeating = 0;
      repeat_time = 0;
    }
  }
  if ((event_mask & button_event::CANCEL) && !in.over && prev_left && !in.left && armed) {
    armed = 0;
    event = button_event::CANCEL;
  }
  if ((event_mask & button_event::REPEAT) && (in.left || in.auto_activate) && in.over &&
      (armed || menu_item)) {
    const int32_t delay = static_cast<int32_t>(repeating ? NEXT_REPEAT_MS : FIRST_REPEAT_MS);
    // Compared as a signed difference, so the clock may wrap.
    if (static_cast<int32_t>(now - repeat_time) > delay) {
      repeating = 1;
      repeat_time = now;
      event = button_event::REPEAT;
    }
  }

  int32_t result = 0;
  if (event) {
    if (behaviour == BUTTON_BEHAVIOUR::NORMAL) pressed = in.left ? 1 : 0;
    if (event_mask & event) {
      result = fire_event(event, watch);
      if (!watch.alive()) return result;
    }
    if (state_callback) {
      const uint8_t now_active = state_callback(this, state_word);
      if (!watch.alive()) return result;
      active = now_active;
    }
    redraw();
  }
  if (behaviour == BUTTON_BEHAVIOUR::NORMAL && pressed && !in.left) {
    pressed = 0;
    armed = 0;
    redraw();
  }
  return result;
}

int32_t WM_BUTTON::fire_event(uint8_t event, const LIFE_WATCH& watch) {
  release_event = event == button_event::RELEASE || event == button_event::CANCEL;
  firing_event = event;
  const int32_t answer = fire_callback(true);
  if (!watch.alive()) return answer != 0 ? answer : page_action::HANDLED;
  release_event = firing_event = 0;
  return answer != 0 ? answer : (menu_item ? 0 : page_action::HANDLED);
}

int32_t WM_BUTTON::click() {
  if (!visible || !enabled) return 0;
  const LIFE_WATCH watch(this);
  return fire_event(button_event::RELEASE, watch);
}

void WM_BUTTON::end_processing_frame(bool walk_was_whole) {
  WM_BUTTON* held = pointer_holder;
  if (walk_was_whole && held && held->reached_frame != processing_frame) {
    pointer_holder = nullptr;
    held->hide_tooltip();
    held->tooltip_x = held->tooltip_y = NO_POSITION;
    if (held->mouse_over) {
      held->mouse_over = 0;
      held->redraw();
    }
  }
  ++processing_frame;
}

void WM_BUTTON::request_pointer_shape(const INPUT& in) {
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  if (!manager) return;
  if (drag_started) {
    manager->request_cursor_shape(3);
    manager->request_cursor_shape(4);  // wins when it can be made
  } else if (in.pointer_over) {
    if (in.mouse_left || in.mouse_right || pressed) {
      manager->request_cursor_shape(2);
    } else {
      manager->request_cursor_shape(1);
      if (drag_callback) manager->request_cursor_shape(3);
    }
  }
}

void WM_BUTTON::invalidate_drag_image() {
  if (drag_x == NO_POSITION) return;
  const int32_t dx = drag_x + drag_dx, dy = drag_y + drag_dy;
  invalidate_rect(dx, dy, dx + width - 1, dy + height - 1);
}

// A dragged button is painted on top from the overlay list, while it stays
// in its parent's tree at its own depth.
void WM_BUTTON::list_while_dragged(bool on) {
  if (on == is_overlay(this)) return;
  WM_SCREEN_OBJECT* host = this;
  while (host->parent) host = host->parent;
  if (host == this) {
    WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
    if (!manager) return;
    host = manager->current_root();
  }
  const int16_t own_depth = depth;
  if (on) host->add_overlay(this, false);
  else host->remove_overlay(this, false, false);
  set_depth(own_depth);
}

int32_t WM_BUTTON::drag_step(const INPUT& in, const LIFE_WATCH& watch) {
  const bool left_new = in.mouse_left && !prev_left;
  const bool right_new = right_drags && in.mouse_right && !prev_right;
  const bool held = in.mouse_left || (right_drags && in.mouse_right);
  if (drag_x == NO_POSITION) {
    if (in.pointer_over && (left_new || right_new)) {
      drag_x = in.mx;
      drag_y = in.my;
      drag_dx = static_cast<int16_t>(x - in.mx);
      drag_dy = static_cast<int16_t>(y - in.my);
      drag_started = 0;
      redraw();
    }
    return 0;
  }
  const auto px = static_cast<int16_t>(in.mx), py = static_cast<int16_t>(in.my);
  if (held) {
    if (in.mx == drag_x && in.my == drag_y) return 0;
    invalidate_drag_image();
    drag_x = in.mx;
    drag_y = in.my;
    int32_t result = 0;
    if (!drag_started) {
      list_while_dragged(true);
      if (drag_mask & drag_event::START)
        result = drag_callback(this, object_at(px, py), px, py, drag_event::START, drag_word_1,
                               drag_word_2);
      if (!watch.alive()) return result;
    }
    drag_started = 1;
    redraw();
    return result;
  }
  redraw();
  invalidate_drag_image();
  list_while_dragged(false);
  WM_SCREEN_OBJECT* target = object_at(px, py);
  uint32_t event = drag_event::DROP;
  if (static_cast<int16_t>(in.mx - x) == -drag_dx && static_cast<int16_t>(in.my - y) == -drag_dy)
    event = drag_event::RELEASE_IN_PLACE;
  else if (target == this)
    event = drag_event::DROP_ON_ITSELF;
  int32_t result = 0;
  if (drag_mask & event) {
    result = drag_callback(this, target, px, py, event, drag_word_1, drag_word_2);
    if (!watch.alive()) return result;
  } else {
    armed = 0;
  }
  drag_x = drag_y = NO_POSITION;
  drag_started = 0;
  return result;
}

// ---- Tooltips --------------------------------------------------------------

void WM_BUTTON::hide_tooltip() {
  if (!tooltip) return;
  if (is_overlay(tooltip)) {
    tooltip->hide(false, false);
    remove_overlay(tooltip, false, false);
  }
}

// Placed from x = tx, just above the button so that it never covers what
// it describes, or just below it where there is no room above; moved to
// stand TOOLTIP_MARGIN inside the surface's edges (as far as it fits),
// never beyond them. Signed until the clamp.
void WM_BUTTON::place_tooltip(int32_t tx) {
  IMAGE* s = button_surface();
  const int32_t w = tooltip->width, h = tooltip->height, m = TOOLTIP_MARGIN;
  int32_t ty = int32_t{y} - h;
  if (ty < m) ty = int32_t{y} + height;
  ty = std::max(std::min(ty, s->height - m - h), std::min(m, s->height - h));
  tx = std::max(std::min(tx, s->width - m - w), std::min(m, s->width - w));
  tooltip->set_position(static_cast<int16_t>(std::max(tx, 0)),
                        static_cast<int16_t>(std::max(ty, 0)));
}

void WM_BUTTON::restore_saved_focus() {
  WM_SCREEN_OBJECT* saved = saved_focus;
  saved_focus = nullptr;
  if (!saved || saved == focus_object) return;
  // The saved object may have been deleted meanwhile: it gets the focus
  // back only when it is still found in this button's tree or a page area.
  WM_SCREEN_OBJECT* top = this;
  while (top->parent) top = top->parent;
  bool live = tree_holds(top, saved);
  if (WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get()) {
    for (int16_t i = 0; !live && i < manager->get_area_count(); ++i)
      live = tree_holds(&manager->area(i).root, saved);
  }
  for (const WM_SCREEN_OBJECT* o : overlays())
    if (!live) live = tree_holds(o, saved);
  if (live) saved->set_focus();
}

void WM_BUTTON::tooltip_step(const INPUT& in) {
  const int64_t now = get_calendar_seconds();
  const bool shown = is_overlay(tooltip);
  if (!enabled || (!tooltip_on_press && !in.pointer_over)) {
    if (shown) {
      hide_tooltip();
      // A neighbouring button under the pointer shows its tooltip at once.
      WM_SCREEN_OBJECT* next = in.mx == MOUSE::OUTSIDE
                                   ? nullptr
                                   : object_at(static_cast<int16_t>(in.mx),
                                               static_cast<int16_t>(in.my));
      if (next && next != this && (next->kind & wm_kind::BUTTON)) {
        auto* neighbour = static_cast<WM_BUTTON*>(next);
        neighbour->tooltip_time = tooltip_time;
        neighbour->tooltip_x = static_cast<uint16_t>(x);
        neighbour->tooltip_y = static_cast<uint16_t>(y);
      }
    }
    tooltip_x = tooltip_y = NO_POSITION;
    return;
  }
  if (!tooltip_on_press) {
    if (tooltip_x == NO_POSITION || in.mouse_left) {
      hide_tooltip();
      tooltip_time = now;
      tooltip_x = in.mx;
      tooltip_y = in.my;
    } else if (!shown && now > tooltip_time + 1) {
      place_tooltip(tooltip_x);
      add_overlay(tooltip, false);
      tooltip->show();
    } else if (in.mx != tooltip_x || in.my != tooltip_y) {
      tooltip_x = in.mx;
      tooltip_y = in.my;
      place_tooltip(tooltip_x);
    }
    return;
  }
  if (pressed && !shown) {
    place_tooltip(x + (int32_t{width} - tooltip->width) / 2);
    saved_focus = focus_object;
    add_overlay(tooltip, false);
    tooltip->show();
  } else if (!pressed && shown) {
    hide_tooltip();
    restore_saved_focus();
    tooltip_x = tooltip_y = NO_POSITION;
  }
}

// ---- Drawing ---------------------------------------------------------------

struct WM_BUTTON::LOOK {
  bool hover = false;
  bool held = false;
  bool active = false;
  COLOUR background = COLOUR_INVISIBLE;
  COLOUR ink = COLOUR_INVISIBLE;
  COLOUR light = 0, shadow = 0;
  int32_t offset = 0;
  int16_t x2 = 0, y2 = 0;
};

WM_BUTTON::LOOK WM_BUTTON::look() {
  LOOK l;
  l.hover = mouse_over || focus_object == this || takes_return || highlighted;
  l.held = pressed || latched;
  l.active = active != 0;
  const bool plain_active = l.active && !mark[0];
  auto pick = [](COLOUR& into, bool when, COLOUR c) {
    if (when && is_set(c)) into = c;
  };
  l.background = up_colour;
  pick(l.background, l.hover, mouse_over_colour);
  pick(l.background, plain_active, active_colour);
  pick(l.background, l.held, highlight_colour);
  pick(l.background, flash_phase, flashing_colour);
  pick(l.background, !enabled, disabled_colour);
  l.ink = text_colour;
  pick(l.ink, plain_active, active_text_colour);
  pick(l.ink, l.held, highlight_text_colour);
  pick(l.ink, flash_phase, flashing_text_colour);
  pick(l.ink, l.hover, mouse_over_text_colour);
  if (!enabled) l.ink = disabled_text_colour;
  get_border_colours(&l.background, &l.shadow, &l.light);

  const bool sunk = l.held || (l.active && indent_when_active);
  if (!(draw_flags & button_flag::BEVEL)) {
    if (sunk) edge_flags |= border_flag::PRESSED;
    else edge_flags &= static_cast<uint16_t>(~border_flag::PRESSED);
  }
  const bool down = draw_flags & button_flag::BEVEL ? (edge_flags & border_flag::PRESSED) != 0
                                                    : sunk;
  l.offset = down && (edge_flags & border_flag::ALL_SIDES) && enabled ? 1 : 0;
  l.x2 = static_cast<int16_t>(x + width - 1);
  l.y2 = static_cast<int16_t>(y + height - 1);
  return l;
}

void WM_BUTTON::draw() {
  IMAGE* s = button_surface();
  {
    CLIP_SCOPE keep(s);
    const LOOK l = look();
    s->clip_to(x, y, l.x2, l.y2);
    if (!s->clip_is_empty()) {
      draw_background(s, l);
      draw_caption(s, l);
      if (focus_object == this && enabled) draw_focus_mark(l);
    }
  }
  if (drag_started && !drawing_drag_copy) {
    CLIP_SCOPE keep(s);
    draw_drag_image(s);
  }
}

void WM_BUTTON::draw_background(IMAGE* s, const LOOK& l) {
  const bool down = (edge_flags & border_flag::PRESSED) != 0;
  if (has_images()) {
    int frame = -1;
    auto pick = [&](bool when, BUTTON_FRAME f) {
      if (frame < 0 && when && state_frames[f].is_loaded()) frame = f;
    };
    pick(flash_phase, FRAME_FLASHING);
    pick(l.held, FRAME_HIGHLIGHTED);
    pick(l.active && !enabled, FRAME_ACTIVE_DISABLED);
    pick(l.active && down, FRAME_ACTIVE_DOWN);
    pick(l.active && l.hover, FRAME_ACTIVE_OVER);
    pick(l.active, FRAME_ACTIVE_UP);
    pick(!enabled, FRAME_DISABLED);
    pick(down, FRAME_DOWN);
    pick(l.hover, FRAME_OVER);
    pick(true, FRAME_UP);
    state_frames[frame].draw(static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                             static_cast<uint16_t>(l.x2), static_cast<uint16_t>(l.y2),
                             (draw_flags & button_flag::DONT_RESIZE_IMAGE) ? 0 : 1, s,
                             BLIT_BLEND);
    return;
  }
  const int16_t natural = IMAGE::default_corner_radius(x, y, l.x2, l.y2);
  const auto radius = static_cast<int16_t>(natural >= 40 ? 20 : natural / 2);
  const auto corners = static_cast<uint8_t>((edge_flags >> 4) & 15);
  const bool flashing_fill = flash_phase && is_set(flashing_colour);
  if ((draw_flags & button_flag::DARKENED_BACKGROUND) && !flashing_fill) {
    const COLOUR black = 0xFF000000;
    if (corners)
      s->fill_round_rect_gradient(x, y, l.x2, l.y2, radius, corners, &black, &black, 50,
                                  IMAGE::ROUND_FILL_DARKEN);
    else
      s->darken_rect(x, y, l.x2, l.y2, 50);
  } else if (is_set(l.background)) {
    bool hfade = draw_flags & button_flag::HORIZONTAL_FADING;
    bool vfade = draw_flags & button_flag::VERTICAL_FADING;
    if (l.held && is_set(highlight_colour)) hfade = vfade = false;
    const COLOUR* a = &l.background;
    const COLOUR* b = &fading_colour;
    if (!hfade && vfade && down && (draw_flags & button_flag::INVERT_FADING_WHEN_PRESSED))
      std::swap(a, b);
    if (corners) {
      const uint8_t mode = hfade   ? IMAGE::ROUND_FILL_HORIZONTAL
                           : vfade ? IMAGE::ROUND_FILL_VERTICAL
                                   : IMAGE::ROUND_FILL_BLEND;
      s->fill_round_rect_gradient(x, y, l.x2, l.y2, radius, corners, a, b, 0, mode);
    } else if (hfade) {
      s->fill_gradient_h(x, y, l.x2, l.y2, a, b, true);
    } else if (vfade) {
      s->fill_gradient_v(x, y, l.x2, l.y2, a, b, true);
    } else {
      s->fill_rect(x, y, l.x2, l.y2, a, true);
    }
  }
  const COLOUR saved_outline = border_theme.outline;
  if (draw_flags & button_flag::OUTLINE_IN_TEXT_COLOUR) border_theme.outline = l.ink;
  draw_border(x, y, l.x2, l.y2, edge_flags, &l.background, border_style,
              static_cast<uint16_t>(radius));
  border_theme.outline = saved_outline;
}

namespace {

// One axis of an icon attached to its text: the text moves over to make
// room as far as its alignment allows, and [b1, b2] becomes the icon's cell.
void attach_on_axis(uint32_t f, uint32_t before, uint32_t after, uint32_t near_align,
                    uint32_t far_align, int32_t size, int32_t spacing, int32_t text_size,
                    int32_t& t, int32_t& b1, int32_t& b2) {
  const int32_t shift = size + spacing;
  if (f & before) {
    t += (f & near_align) ? shift : (f & far_align) ? 0 : shift / 2;
    b2 = t - spacing - 1;
    b1 = b2 - size + 1;
  } else if (f & after) {
    t -= (f & far_align) ? shift : (f & near_align) ? 0 : shift / 2;
    b1 = t + text_size + spacing;
    b2 = b1 + size - 1;
  }
}

}  // namespace

// The pressed offset moves the text, icon, mark and arrows once: positions
// are worked out without it and shifted when drawn.
void WM_BUTTON::draw_caption(IMAGE* s, const LOOK& l) {
  const char* flashing =
      flash_text.get_type() == PARAMETER::TEXT ? flash_text.get_text(PARAMETER::VALUE) : nullptr;
  const char* t = flash_phase && flashing ? flashing : text.c_str();
  const auto fw = static_cast<int16_t>(font_width), fh = static_cast<int16_t>(font_height);
  int32_t tw = s->get_text_width(font, font_width, fh, t);
  std::string fitted;
  const int32_t room = int32_t{width} - left_gap - right_gap;
  if ((draw_flags & button_flag::ELLIPSIS) && !(draw_flags & button_flag::WRAP) && tw > room) {
    fitted = fit_text_end(s, {font, font_width, fh}, t, room);
    t = fitted.c_str();
    tw = s->get_text_width(font, font_width, fh, t);
  }
  const int32_t th = font_height;
  uint16_t flags = 0;
  if (draw_flags & button_flag::LEFT_JUSTIFY) flags |= TEXT_LEFT;
  if (draw_flags & button_flag::RIGHT_JUSTIFY) flags |= TEXT_RIGHT;
  if (draw_flags & button_flag::TOP_ALIGN) flags |= TEXT_TOP;
  if (draw_flags & button_flag::BOTTOM_ALIGN) flags |= TEXT_BOTTOM;
  if (!enabled) {
    flags |= is_set(l.ink) ? TEXT_INSET : TEXT_CHISELED;
  } else {
    if (draw_flags & button_flag::SHADOW) flags |= TEXT_SHADOW;
    if (draw_flags & button_flag::INSET) flags |= TEXT_INSET;
    if (draw_flags & button_flag::CHISELED) flags |= TEXT_CHISELED;
  }
  int32_t tx, ty;
  if (draw_flags & button_flag::LEFT_JUSTIFY) tx = x + left_gap;
  else if (draw_flags & button_flag::RIGHT_JUSTIFY) tx = x + width - 1 - right_gap - tw;
  else tx = x + left_gap + (int32_t{width} - left_gap - right_gap - tw) / 2;
  if (draw_flags & button_flag::TOP_ALIGN) ty = y + top_gap;
  else if (draw_flags & button_flag::BOTTOM_ALIGN) ty = y + height - 1 - bottom_gap - th;
  else ty = y + top_gap + (int32_t{height} - top_gap - bottom_gap - th) / 2;

  draw_icon(s, l, tx, ty, tw, th);
  {
    CLIP_SCOPE inner(s);
    const int32_t ix1 = x + left_gap, iy1 = y + top_gap;
    const int32_t ix2 = l.x2 - right_gap, iy2 = l.y2 - bottom_gap;
    const int32_t o = l.offset;
    const bool wrap = (draw_flags & button_flag::WRAP) != 0;
    const TEXT_LINE_PLACE place = place_text_line(
        s, {font, font_width, fh}, {ix1, iy1, ix2, iy2}, wrap ? iy1 : ty, {x, y, l.x2, l.y2});
    s->clip_to(place.clip);
    if (wrap) {
      s->draw_text_block(static_cast<int16_t>(ix1 + o), static_cast<int16_t>(iy1 + o),
                         static_cast<int16_t>(ix2 + o), static_cast<int16_t>(iy2 + o), &l.ink,
                         nullptr, &outline_colour, static_cast<int8_t>(font), fw, fh, t, flags);
    } else if (!s->clip_is_empty()) {
      s->draw_text(static_cast<int16_t>(tx + o), static_cast<int16_t>(place.top + o), &l.ink, nullptr,
                   &outline_colour, static_cast<int8_t>(font), fw, fh, t, flags);
    }
  }
  draw_decorations(s, l, ty);
}

void WM_BUTTON::draw_icon(IMAGE* s, const LOOK& l, int32_t& tx, int32_t& ty, int32_t tw,
                          int32_t th) {
  const IMAGE& picture = l.hover && over_icon.width > 0 ? over_icon : icon;
  if (picture.width <= 0 || picture.height <= 0) return;
  const int32_t iw = picture.width, ih = picture.height;
  const uint32_t f = draw_flags;
  using namespace button_flag;
  int32_t bx1 = x + left_gap, bx2 = l.x2 - right_gap, by1 = y + top_gap, by2 = l.y2 - bottom_gap;
  if (!(f & ICON_ATTACHED)) {
    if (f & ICON_LEFT) {
      bx1 = x;
      bx2 = x + left_gap;
    } else if (f & ICON_RIGHT) {
      bx1 = x + width - right_gap - 1;
      bx2 = l.x2;
    }
    if (f & ICON_TOP) {
      by1 = y;
      by2 = y + top_gap;
    } else if (f & ICON_BOTTOM) {
      by1 = y + height - bottom_gap - 1;
      by2 = l.y2;
    }
  } else {
    bx1 = x;
    bx2 = l.x2;
    by1 = y;
    by2 = l.y2;
    attach_on_axis(f, ICON_LEFT, ICON_RIGHT, LEFT_JUSTIFY, RIGHT_JUSTIFY, iw, x_spacing, tw, tx,
                   bx1, bx2);
    attach_on_axis(f, ICON_TOP, ICON_BOTTOM, TOP_ALIGN, BOTTOM_ALIGN, ih, y_spacing, th, ty, by1,
                   by2);
  }
  bx1 += l.offset;
  bx2 += l.offset;
  by1 += l.offset;
  by2 += l.offset;
  CLIP_SCOPE cell(s);
  s->clip_to(static_cast<int16_t>(bx1), static_cast<int16_t>(by1), static_cast<int16_t>(bx2),
             static_cast<int16_t>(by2));
  const auto ix = static_cast<int16_t>(bx1 + (bx2 - bx1 + 1 - iw) / 2);
  const auto iy = static_cast<int16_t>(by1 + (by2 - by1 + 1 - ih) / 2);
  if (enabled) {
    picture.draw(ix, iy, s, BLIT_BLEND);
    return;
  }
  // Faded: what lay under the icon goes back over it, mostly opaque.
  IMAGE under(static_cast<int16_t>(iw), static_cast<int16_t>(ih));
  under.grab(ix, iy, s, BLIT_COPY);
  picture.draw(ix, iy, s, BLIT_BLEND);
  under.set_alpha(208, true, false);
  under.draw(ix, iy, s, BLIT_BLEND);
}

void WM_BUTTON::draw_decorations(IMAGE* s, const LOOK& l, int32_t ty) {
  const bool mark_shown = l.active && mark[0];
  const uint32_t arrows = draw_flags & (button_flag::ARROW_LEFT | button_flag::ARROW_RIGHT |
                                        button_flag::ARROW_UP | button_flag::ARROW_DOWN);
  if (!mark_shown && !arrows) return;
  const int32_t b = get_border_width(1);
  const int32_t side = height - 2 * b;
  auto paint = [&](int32_t dx, int32_t dy, COLOUR c) {
    const int32_t o = l.offset + dx;
    if (mark_shown) {
      const int32_t mw = s->get_text_width(font, font_width, static_cast<int16_t>(font_height),
                                           mark);
      s->draw_text(static_cast<int16_t>(x + (left_gap - mw) / 2 + o),
                   static_cast<int16_t>(ty + l.offset + dy), &c, nullptr, nullptr,
                   static_cast<int8_t>(font), static_cast<int16_t>(font_width),
                   static_cast<int16_t>(font_height), mark);
    }
    const struct {
      uint32_t bit;
      ARROW direction;
      bool at_left;
    } kinds[] = {{button_flag::ARROW_LEFT, ARROW::LEFT, true},
                 {button_flag::ARROW_RIGHT, ARROW::RIGHT, false},
                 {button_flag::ARROW_UP, ARROW::UP, false},
                 {button_flag::ARROW_DOWN, ARROW::DOWN, false}};
    for (const auto& k : kinds) {
      if (!(arrows & k.bit) || side <= 0) continue;
      const int32_t ax1 = k.at_left ? x + b : l.x2 - b - side + 1;
      const int32_t ay1 = y + b + l.offset + dy;
      draw_arrow(static_cast<int16_t>(ax1 + o), static_cast<int16_t>(ay1),
                 static_cast<int16_t>(ax1 + o + side - 1), static_cast<int16_t>(ay1 + side - 1),
                 &c, k.direction, AUTO_ARROW_INSET, AUTO_ARROW_INSET);
    }
  };
  if (enabled) {
    paint(0, 0, l.ink);
  } else {
    paint(1, 1, l.light);
    paint(0, 0, l.shadow);
  }
}

void WM_BUTTON::draw_focus_mark(const LOOK& l) {
  // Inside the border when there is room, so that it shows on every face
  // and frame; in the text's colour, which the look keeps readable there.
  const int32_t inset = std::min({get_border_width(1) + 1, (width - 3) / 2, (height - 3) / 2});
  if (inset < 0) return;
  const int32_t x1 = x + inset + l.offset, y1 = y + inset + l.offset;
  const int32_t x2 = l.x2 - inset + l.offset, y2 = l.y2 - inset + l.offset;
  draw_focus_ring(button_surface(), x1, y1, x2, y2,
                  is_set(l.ink) ? l.ink : border_theme.inner_outline);
}

void WM_BUTTON::draw_drag_image(IMAGE* s) {
  s->set_clip_rect(0, 0, static_cast<int16_t>(s->width - 1), static_cast<int16_t>(s->height - 1));
  const auto dx = static_cast<int16_t>(drag_x + drag_dx);
  const auto dy = static_cast<int16_t>(drag_y + drag_dy);
  if (drag_icon.width > 0) {
    drag_icon.draw(dx, dy, s, BLIT_BLEND);
    return;
  }
  if (state_frames[FRAME_DRAGGING].is_loaded()) {
    state_frames[FRAME_DRAGGING].draw(static_cast<uint16_t>(dx), static_cast<uint16_t>(dy),
                                      static_cast<uint16_t>(dx + width - 1),
                                      static_cast<uint16_t>(dy + height - 1), 1, s, BLIT_BLEND);
    return;
  }
  // The button draws itself over a copy of the area, which goes back
  // translucent.
  IMAGE copy(static_cast<int16_t>(width), static_cast<int16_t>(height));
  if (!copy.pixels) return;
  copy.grab(dx, dy, s, BLIT_COPY);
  copy.x = x;
  copy.y = y;
  copy.set_clip_rect(x, y, static_cast<int16_t>(x + width - 1),
                     static_cast<int16_t>(y + height - 1));
  drawing_drag_copy = 1;
  set_drawing_surface(&copy);
  draw();
  set_drawing_surface(s);
  drawing_drag_copy = 0;
  copy.x = copy.y = 0;
  copy.set_clip_rect(0, 0, static_cast<int16_t>(width - 1), static_cast<int16_t>(height - 1));
  copy.set_alpha(160, true, false);
  copy.draw(dx, dy, s, BLIT_BLEND);
}
