// Dialogs: layout of title and client, the open, close and drag effects
// over the frame clock, and the translucent paint.
#include "wm_dialog.h"

#include <algorithm>
#include <new>

#include "clip_scope.h"
#include "default_dialog_styles.h"
#include "dirty_rectangles.h"
#include "errors.h"
#include "input.h"
#include "platform.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_keys.h"
#include "wm_page_manager.h"
#include "wm_script.h"

namespace {

constexpr COLOUR kBlack = 0xFF000000;
constexpr COLOUR kWhite = 0xFFFFFFFF;
// A client area never collapses to 0, which a manager reads as "the
// screen's size".
constexpr int32_t kMinClientSize = 1;

bool is_set(COLOUR c) { return (c >> 24) != 0; }

const WM_STYLE_SET& style_or(const WM_STYLE_SET* style, WM_STYLE_SET& (*fallback)()) {
  init_default_dialog_styles();
  return style ? *style : fallback();
}

bool body_visible(const WM_STYLE_SET* body) {
  return style_or(body, default_dialog_style).visible != 0;
}

RECT screen_rect() { return RECT::sized(0, 0, get_screen_width(0), get_screen_height(0)); }

RECT viewport() {
  WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
  if (!manager) return screen_rect();
  int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  manager->get_viewport(&x1, &y1, &x2, &y2);
  return {x1, y1, x2, y2};
}

RECT page_area() {
  WM_SCREEN_OBJECT* root = WM_SCREEN_OBJECT::current_area_root;
  if (!root) return screen_rect();
  return RECT::sized(root->get_x(), root->get_y(), root->get_width(), root->get_height());
}

// from + (to - from) x elapsed / duration in 64 bits: the difference may be
// negative and the product outgrows 32 bits.
int32_t interpolate(int32_t from, int32_t to, int64_t elapsed, int64_t duration) {
  return static_cast<int32_t>(from + (int64_t{to} - from) * elapsed / duration);
}

uint16_t clamp_size(int32_t v, int32_t minimum) {
  return static_cast<uint16_t>(std::clamp<int32_t>(v, minimum, 65535));
}

}  // namespace

uint8_t WM_DIALOG::live_drag = 1;
uint8_t WM_DIALOG::draggable_default = 1;
uint8_t WM_DIALOG::grey_behind = 0;
uint8_t WM_DIALOG::darken_behind = 0;
COLOUR WM_DIALOG::default_text_colour = COLOUR_INVISIBLE;
WM_DIALOG* WM_DIALOG::current_dialog = nullptr;

COLOUR WM_DIALOG::message_colour(COLOUR dialog_text_colour) {
  return is_set(default_text_colour) ? default_text_colour : dialog_text_colour;
}

// ---- Construction ---------------------------------------------------------

WM_DIALOG::WM_DIALOG(int16_t nx, int16_t ny, int16_t w, int16_t h, const char* text,
                     const WM_STYLE_SET* body, const WM_STYLE_SET* title_s,
                     const WM_STYLE_SET* button_s, const DIALOG_EFFECTS* record)
    : WM_SCREEN_OBJECT(body_visible(body), nullptr, 0, 0),
      body_style(style_or(body, default_dialog_style)),
      title_style(style_or(title_s, default_dialog_title_style)),
      button_style(style_or(button_s, default_dialog_button_style)),
      background(&wm_image_cache()) {
  init(nx, ny, w, h, text, record);
  if (body_style.image_filename) {
    load_background(body_style.image_path, body_style.image_filename, &body_style);
  }
}

WM_DIALOG::WM_DIALOG(int16_t nx, int16_t ny, int16_t w, int16_t h, const char* text,
                     const DIALOG_COLOURS& c, bool is_visible, const DIALOG_EFFECTS* record)
    : WM_SCREEN_OBJECT(is_visible, nullptr, 0, 0),
      body_style(style_or(nullptr, default_dialog_style)),
      title_style(style_or(nullptr, default_dialog_title_style)),
      button_style(style_or(nullptr, default_dialog_button_style)),
      background(&wm_image_cache()) {
  const struct {
    COLOUR colour;
    COLOUR* field;
  } replacements[] = {
      {c.body_background, &body_style.bg_colour},
      {c.body_foreground, &body_style.fg_colour},
      {c.title_background, &title_style.bg_colour},
      {c.title_foreground, &title_style.fg_colour},
      {c.button_background, &button_style.bg_colour},
      {c.button_foreground, &button_style.fg_colour},
      {c.button_highlight, &button_style.highlight_colour},
      {c.button_highlight_text, &button_style.highlight_text_colour},
  };
  for (const auto& r : replacements) {
    if (is_set(r.colour)) *r.field = r.colour;
  }
  init(nx, ny, w, h, text, record);
}

WM_DIALOG::~WM_DIALOG() {
  WM_DIALOG::hide(false, false);
  if (current_dialog == this) current_dialog = nullptr;
  background.clear();
  // The title and the client are children: the base deletes them.
}

void WM_DIALOG::init(int16_t nx, int16_t ny, int16_t w, int16_t h, const char* text,
                     const DIALOG_EFFECTS* record) {
  // Page action 3 reaches the open dialogs through this hook.
  if (!WM_PAGE_MANAGER::close_all_dialogs_function) {
    WM_PAGE_MANAGER::close_all_dialogs_function = close_all_dialogs;
  }
  width = clamp_size(w, 0);
  height = clamp_size(h, 0);
  const RECT view = viewport();
  if (nx == -1) nx = to_i16(view.x1 + (view.width() - width) / 2);
  if (ny == -1) ny = to_i16(view.y1 + (view.height() - height) / 2);
  x = nx;
  y = ny;
  resolve_body_gaps();
  draggable = draggable_default;
  if (text && text[0]) {
    const int32_t tx = x + body_style.border_left_gap;
    const int32_t ty = y + body_style.border_top_gap;
    // A far corner above the origin fits the title's height to its text.
    title = new (std::nothrow)
        WM_SCRIPT(to_i16(tx), to_i16(ty),
                  to_i16(x + int32_t{width} - body_style.border_right_gap - 1), to_i16(ty - 1),
                  &title_style, text);
    if (!title) report_error(0x63);
    WM_SCREEN_OBJECT::add_child(title, false);
  }
  client = new WM_MANAGER(true);
  WM_SCREEN_OBJECT::add_child(client, false);
  layout_children();
  effects = record ? *record : default_dialog_effects();
  alpha = (effects.flags & dialog_effect::FADE_IN) ? 0 : 255;
  start_alpha = alpha;
  target_alpha = 255;
  start_x = target_x = x;
  start_y = target_y = y;
  if (visible) show();
  start_slide(true);
  kind |= wm_kind::DIALOG;
  if (is_set(body_style.border_colour)) border_colour = body_style.border_colour;
  notify_created();
}

void WM_DIALOG::resolve_body_gaps() {
  WM_STYLE_SET& b = body_style;
  const auto border = static_cast<uint16_t>(::get_border_width(b.shading_type));
  for (uint16_t* gap : {&b.border_left_gap, &b.border_right_gap, &b.border_top_gap,
                        &b.border_bottom_gap, &b.cell_top_gap}) {
    if (*gap == WM_STYLE_SET::UNSET) *gap = border;
  }
  for (uint16_t* gap : {&b.cell_left_gap, &b.cell_right_gap, &b.cell_bottom_gap}) {
    if (*gap == WM_STYLE_SET::UNSET) *gap = 0;
  }
}

void WM_DIALOG::layout_children() {
  const WM_STYLE_SET& b = body_style;
  const int32_t inner_w = int32_t{width} - b.border_left_gap - b.border_right_gap;
  int32_t below_title = 0;
  if (title) {
    title->set_position(to_i16(x + b.border_left_gap), to_i16(y + b.border_top_gap));
    title->set_size(clamp_size(inner_w, kMinClientSize), title->get_height(), false);
    below_title = title->get_height() + b.cell_top_gap;
  }
  client->set_position(to_i16(x + b.border_left_gap + b.cell_left_gap),
                       to_i16(y + b.border_top_gap + below_title));
  client->set_size(
      clamp_size(inner_w - b.cell_left_gap - b.cell_right_gap, kMinClientSize),
      clamp_size(int32_t{height} - b.border_top_gap - b.border_bottom_gap - b.cell_bottom_gap -
                     below_title,
                 kMinClientSize),
      false);
}

RECT WM_DIALOG::view() { return viewport(); }

void WM_DIALOG::grow_to(int32_t w, int32_t h, GROW how) {
  const RECT v = viewport();
  const int32_t new_w = std::max<int32_t>(width, std::min(w, v.width()));
  const int32_t new_h = std::max<int32_t>(height, std::min(h, v.height()));
  if (new_w == width && new_h == height) return;
  int32_t nx = get_x(), ny = get_y();
  if (how == GROW::KEEP_CENTRE) {
    nx -= (new_w - int32_t{width}) / 2;
    ny -= (new_h - int32_t{height}) / 2;
  }
  set_size(clamp_size(new_w, 1), clamp_size(new_h, 1), true);
  nx = std::clamp(nx, v.x1, std::max(v.x1, v.x2 + 1 - new_w));
  ny = std::clamp(ny, v.y1, std::max(v.y1, v.y2 + 1 - new_h));
  set_position(to_i16(nx), to_i16(ny));
  if (visible) show();
}

uint16_t WM_DIALOG::get_client_top() const {
  int32_t top = body_style.border_top_gap;
  if (title) top += title->height + body_style.cell_top_gap;
  return clamp_size(top, 0);
}

// ---- Default styles and the global close ----------------------------------

void WM_DIALOG::init_default_styles() { init_default_dialog_styles(); }

WM_STYLE_SET& WM_DIALOG::set_default_style(const WM_STYLE_SET& style) {
  return set_default_dialog_style(style);
}

WM_STYLE_SET& WM_DIALOG::set_default_title_style(const WM_STYLE_SET& style) {
  return set_default_dialog_title_style(style);
}

WM_STYLE_SET& WM_DIALOG::set_default_button_style(const WM_STYLE_SET& style) {
  return set_default_dialog_button_style(style);
}

void WM_DIALOG::close_all_dialogs(bool at_once) {
  const std::vector<WM_SCREEN_OBJECT*> snapshot = overlays();
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if (!is_overlay(*it) || !((*it)->kind & wm_kind::DIALOG)) continue;
    auto* dialog = static_cast<WM_DIALOG*>(*it);
    if (!dialog->visible) {
      // A hidden dialog has no closing effect whose end would remove it;
      // its destructor takes it off the list.
      if (!dialog->externally_owned) delete dialog;
      continue;
    }
    dialog->instant = at_once ? 1 : 0;
    dialog->close(true);
  }
}

// ---- Effects --------------------------------------------------------------

bool WM_DIALOG::is_moving() const {
  return alpha != target_alpha || x != target_x || y != target_y;
}

bool WM_DIALOG::own_size_slides() const {
  return !(effects.flags & (dialog_effect::SCREEN_EDGES | dialog_effect::AREA_EDGES));
}

void WM_DIALOG::off_position(int32_t rest_x, int32_t rest_y, int32_t& off_x,
                             int32_t& off_y) const {
  using namespace dialog_effect;
  const uint32_t f = effects.flags;
  const bool left = f & SLIDE_LEFT, right = !left && (f & SLIDE_RIGHT);
  const bool up = f & SLIDE_UP, down = !up && (f & SLIDE_DOWN);
  off_x = rest_x;
  off_y = rest_y;
  RECT edges;
  if (f & SCREEN_EDGES) {
    edges = screen_rect();
  } else if (f & AREA_EDGES) {
    edges = page_area();
  } else {
    edges = RECT::sized(rest_x, rest_y, width, height);
  }
  if (left) off_x = edges.x1 - width;
  if (right) off_x = edges.x2 + 1;
  if (up) off_y = edges.y1 - height;
  if (down) off_y = edges.y2 + 1;
}

void WM_DIALOG::start_fade(uint8_t target) {
  const uint32_t f = effects.flags;
  start_alpha = alpha;
  clock_started = 0;
  target_alpha = target;
  duration = target != 0 && alpha != 0 ? effects.display_delay : effects.open_delay;
  if (alpha < target) {
    const uint32_t animated = alpha == 0 ? dialog_effect::FADE_IN : dialog_effect::ANIMATE_RISE;
    if (!(f & animated)) alpha = target;
  } else if (alpha > target) {
    const uint32_t animated = target == 0 ? dialog_effect::FADE_OUT : dialog_effect::ANIMATE_FALL;
    if (!(f & animated)) alpha = target;
  }
  if (instant) alpha = target;
  if (visible) show();
}

void WM_DIALOG::start_slide(bool is_opening) {
  if (x != target_x || y != target_y) WM_SCREEN_OBJECT::set_position(target_x, target_y);
  start_x = target_x = x;
  start_y = target_y = y;
  const uint32_t wanted = is_opening ? dialog_effect::SLIDE_IN : dialog_effect::SLIDE_OUT;
  if (instant || !(effects.flags & wanted)) return;
  clock_started = 0;
  duration = effects.open_delay;
  opening = is_opening ? 1 : 0;
  int32_t off_x = 0, off_y = 0;
  off_position(x, y, off_x, off_y);
  if (is_opening) {
    start_x = to_i16(off_x);
    start_y = to_i16(off_y);
    WM_SCREEN_OBJECT::set_position(start_x, start_y);
  } else {
    target_x = to_i16(off_x);
    target_y = to_i16(off_y);
    // A dialog that slides out stays visible while it goes.
    if (alpha == 0 && target_alpha == 0) alpha = target_alpha = 255;
  }
  if (visible) show();
}

void WM_DIALOG::close(bool remove) {
  remove_when_closed = remove ? 1 : 0;
  closing = 1;
  start_alpha = alpha;
  target_alpha = 0;
  clock_started = 0;
  duration = effects.open_delay;
  if ((alpha != 0 && !(effects.flags & dialog_effect::FADE_OUT)) || instant) alpha = 0;
  if (visible) show();
  start_slide(false);
  instant = 0;
}

void WM_DIALOG::open_at_once() {
  finish_effect();
  instant = 1;
}

void WM_DIALOG::finish_effect() {
  WM_SCREEN_OBJECT::set_position(WM_DIALOG::get_x(), WM_DIALOG::get_y());
  instant = 0;
  closing = 0;
  start_x = target_x = x;
  start_y = target_y = y;
  alpha = target_alpha;
}

bool WM_DIALOG::inside_viewport() const {
  return !RECT::sized(x, y, width, height).intersect(viewport()).empty();
}

int32_t WM_DIALOG::update(bool overlays) {
  const LIFE_WATCH watch(this);
  const int32_t result = run_effects(overlays, watch);
  if (!watch.alive() || overlays || !leaves_once_closed || result != 0) return result;
  if (visible) was_open = 1;
  if (was_open && !visible && !is_moving() && is_overlay(this)) return page_action::REMOVE_OVERLAY;
  return 0;
}

int32_t WM_DIALOG::run_effects(bool overlays, const LIFE_WATCH& watch) {
  if (!visible && !dragging) return 0;
  if (const int32_t result = WM_SCREEN_OBJECT::update(overlays)) return result;
  if (!watch.alive()) return 0;

  int32_t result = 0;
  if (step_now && is_moving()) {
    if (!clock_started) {
      start_time = frame_clock;
      clock_started = 1;
    }
    // Wrap-safe: the clock is 32 bits of milliseconds.
    const int64_t elapsed = std::max<int32_t>(0, static_cast<int32_t>(frame_clock - start_time));
    if (elapsed < int64_t{duration}) {
      if (alpha != target_alpha) {
        alpha = static_cast<uint8_t>(interpolate(start_alpha, target_alpha, elapsed, duration));
      }
      const int32_t nx = x != target_x ? interpolate(start_x, target_x, elapsed, duration) : x;
      const int32_t ny = y != target_y ? interpolate(start_y, target_y, elapsed, duration) : y;
      WM_SCREEN_OBJECT::set_position(to_i16(nx), to_i16(ny));
    } else {
      alpha = target_alpha;
      WM_SCREEN_OBJECT::set_position(target_x, target_y);
    }
    focus_changed = true;
    result = page_action::HANDLED;
    show();
  }
  // An effect advances on every second call, so that other overlays behind
  // a moving one still get their ticks.
  step_now = result != page_action::HANDLED ? 1 : 0;
  // While it runs the next frame must come at once: the platform frame
  // would otherwise wait for input after each call that moved nothing.
  if (is_moving()) set_presented();
  if (!drawn && !closing && inside_viewport()) return result;

  const bool away = x != start_x || y != start_y;
  if (!is_moving() && (alpha == 0 || (away && !opening))) {
    WM_SCREEN_OBJECT::set_position(start_x, start_y);
    target_x = start_x;
    target_y = start_y;
    hide(false, false);
    if (remove_when_closed) {
      remove_when_closed = 0;
      if (is_overlay(this) || !parent) return page_action::REMOVE_OVERLAY;
      // In a page's tree: the parent's walk skips children that left it.
      parent->remove_child(this, true, false);
      return 0;
    }
  }
  return result;
}

// ---- Placement ------------------------------------------------------------

int16_t WM_DIALOG::get_x() { return opening ? target_x : start_x; }
int16_t WM_DIALOG::get_y() { return opening ? target_y : start_y; }

void WM_DIALOG::set_position(int16_t new_x, int16_t new_y) {
  if (new_x == x && new_y == y) return;
  if (x == target_x && y == target_y) {
    WM_SCREEN_OBJECT::set_position(new_x, new_y);
    start_x = target_x = new_x;
    start_y = target_y = new_y;
    return;
  }
  // The resting end of the slide takes the new place and the dialog moves
  // by as much; the off end follows only when it is one own size away.
  int16_t& rest_x = opening ? target_x : start_x;
  int16_t& rest_y = opening ? target_y : start_y;
  int16_t& off_x = opening ? start_x : target_x;
  int16_t& off_y = opening ? start_y : target_y;
  const int32_t dx = new_x - rest_x, dy = new_y - rest_y;
  WM_SCREEN_OBJECT::set_position(to_i16(x + dx), to_i16(y + dy));
  if (own_size_slides()) {
    off_x = to_i16(off_x + dx);
    off_y = to_i16(off_y + dy);
  }
  rest_x = new_x;
  rest_y = new_y;
}

void WM_DIALOG::set_size(uint16_t w, uint16_t h, bool) {
  if (w == width && h == height) return;
  if (x != target_x || y != target_y) {
    int16_t& off_x = opening ? start_x : target_x;
    int16_t& off_y = opening ? start_y : target_y;
    if (own_size_slides()) {
      // Only an edge on the left or above moves with the size.
      if (effects.flags & dialog_effect::SLIDE_LEFT) off_x = to_i16(off_x - (int32_t{w} - width));
      if (effects.flags & dialog_effect::SLIDE_UP) off_y = to_i16(off_y - (int32_t{h} - height));
    } else {
      const uint16_t old_w = width, old_h = height;
      width = w;
      height = h;
      int32_t nx = 0, ny = 0;
      off_position(WM_DIALOG::get_x(), WM_DIALOG::get_y(), nx, ny);
      width = old_w;
      height = old_h;
      off_x = to_i16(nx);
      off_y = to_i16(ny);
    }
  }
  WM_SCREEN_OBJECT::set_size(w, h, false);
  layout_children();
}

void WM_DIALOG::hide(bool overlays, bool hide_children) {
  finish_effect();
  if ((grey_behind || darken_behind) && visible && shades_screen_behind()) invalidate_screen();
  WM_SCREEN_OBJECT::hide(overlays, hide_children);
}

void WM_DIALOG::add_child(WM_SCREEN_OBJECT* object, bool relative) {
  client->add_child(object, relative);
}

void WM_DIALOG::remove_child(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative) {
  client->remove_child(object, delete_it, make_relative);
}

// ---- Title ----------------------------------------------------------------

bool WM_DIALOG::title_hit_test(int16_t px, int16_t py) {
  return title && title->hit_test(px, py);
}

void WM_DIALOG::set_text(const char* text) {
  if (title) title->set_text(text, false);
}

const char* WM_DIALOG::get_text() {
  if (!title) return "";
  if (title->text.get_type() != PARAMETER::TEXT) return nullptr;
  return title->text.get_text(PARAMETER::VALUE);
}

bool WM_DIALOG::load_background(const char* folder, const char* name,
                                const WM_STYLE_SET* style) {
  background.clear();
  if (style && style->is_loaded()) {
    if (style->state_images[STYLE_IMAGE_BASE]) {
      background.copy(*style->state_images[STYLE_IMAGE_BASE]);
    }
  } else if (folder && name) {
    background.load(folder, name, skin_load_flags);
  }
  if (visible) show();
  return background.is_loaded();
}

bool WM_DIALOG::load_background(const FOLDER& folder, const char* name,
                                const WM_STYLE_SET* style) {
  char path[FOLDER_PATH_SIZE] = {};
  if (!folder.get_path_text(path, sizeof path, nullptr)) path[0] = 0;
  return load_background(path, name, style);
}

// ---- Dragging -------------------------------------------------------------

RECT WM_DIALOG::drag_box() const { return RECT::sized(drag_x, drag_y, width, height); }

int32_t WM_DIALOG::process() {
  if (!visible && !dragging) return 0;
  if (layout_content()) focus_changed = true;

  const bool down = (mouse.buttons & MOUSE::LEFT) != 0;
  const auto px = static_cast<int16_t>(mouse.x);
  const auto py = static_cast<int16_t>(mouse.y);
  auto mark_box = [this] {
    const RECT b = drag_box();
    invalidate_rect(b.x1, b.y1, b.x2, b.y2);
  };
  if (!down && dragging) {
    dragging = 0;
    start_fade(255);
    if (!live_drag) {
      mark_box();
      set_position(drag_x, drag_y);
    }
  } else if (down && !button_was_down && !dragging && draggable &&
             (title_hit_test(px, py) || (is_inside(px, py) && !client->child_hit_test(px, py)))) {
    dragging = 1;
    drag_offset_x = to_i16(x - px);
    drag_offset_y = to_i16(y - py);
    drag_x = x;
    drag_y = y;
    start_fade(static_cast<uint8_t>(effects.dragging_alpha));
    if (!live_drag) mark_box();
  } else if (down && dragging) {
    const int16_t nx = to_i16(px + drag_offset_x), ny = to_i16(py + drag_offset_y);
    if (live_drag) {
      set_position(nx, ny);
    } else if (nx != drag_x || ny != drag_y) {
      mark_box();
      drag_x = nx;
      drag_y = ny;
      mark_box();
    }
  }
  if (dragging || is_moving()) focus_changed = true;
  button_was_down = down ? 1 : 0;

  if (dragging || !visible || target_alpha == 0) return 0;
  WM_DIALOG* const outer = current_dialog;
  current_dialog = this;
  const LIFE_WATCH watch(this);
  int32_t result = WM_SCREEN_OBJECT::process();
  current_dialog = outer;
  // Escape pressed in this frame answers as the dialog's Cancel would; it
  // acts once, so a dialog opened or uncovered by it does not hear it too.
  if (watch.alive() && result == 0 && escape_button && key_queue.pressed_in_frame(wm_key::ESCAPE) &&
      key_queue.peek_last_key() == wm_key::ESCAPE) {
    key_queue.get_last_key();
    result = escape_button->click();
  }
  // A callback that deleted the dialog has closed it already.
  if (!watch.alive()) return result == 2 ? 0 : result;
  if (result == 2) {
    close(false);
    return 0;
  }
  if (!visible) close(false);
  return result;
}

// ---- Painting -------------------------------------------------------------

void WM_DIALOG::shade_screen_behind() {
  IMAGE* s = drawing_surface();
  CLIP_SCOPE keep(s);
  // The first paint shades the whole screen; later ones repaint only what
  // their rectangle uncovered.
  if (!drawn) s->set_clip_rect(0, 0, to_i16(s->width - 1), to_i16(s->height - 1));
  if (grey_behind) {
    s->make_grey();
  } else {
    s->darken_rect(0, 0, to_i16(s->width - 1), to_i16(s->height - 1), 50);
  }
}

void WM_DIALOG::paint_translucent() {
  IMAGE* s = drawing_surface();
  const auto w = to_i16(width), h = to_i16(height);
  IMAGE under(w, h);
  under.grab(x, y, s, BLIT_COPY);
  WM_SCREEN_OBJECT::paint();
  if (alpha_buffer.width != w || alpha_buffer.height != h) alpha_buffer.create(w, h);
  alpha_buffer.grab(x, y, s, BLIT_COPY);
  under.draw(x, y, s, BLIT_COPY);
  alpha_buffer.set_alpha(alpha, false, false);
  alpha_buffer.draw(x, y, s, BLIT_BLEND);
}

void WM_DIALOG::paint() {
  const RECT* current = dirty_rectangles().current_rect();
  if (!current || !visible) return;
  IMAGE* s = drawing_surface();
  CLIP_SCOPE keep(s);
  s->clip_to(*current);
  if ((grey_behind || darken_behind) && shades_screen_behind() && is_overlay(this)) {
    shade_screen_behind();
  }
  if (!drawn && !closing && inside_viewport()) {
    start_fade(255);
    show();
    start_slide(true);
    instant = 0;
  }
  {
    CLIP_SCOPE dialog_clip(s);
    const uint32_t f = effects.flags;
    if (f & dialog_effect::AREA_EDGES) {
      s->clip_to(page_area());
    } else if ((x != target_x || y != target_y) && !(f & dialog_effect::SCREEN_EDGES)) {
      // An own-size slide shows only what has come out of its resting place.
      s->clip_to(RECT::sized(WM_DIALOG::get_x(), WM_DIALOG::get_y(), width, height));
    } else {
      s->clip_to(RECT::sized(x, y, width, height));
    }
    if (alpha == 0) {
      drawn = 1;
      needs_redraw = 0;
    } else if (alpha == 255) {
      WM_SCREEN_OBJECT::paint();
    } else {
      paint_translucent();
    }
  }
  if (dragging && !live_drag) {
    const RECT b = drag_box();
    s->fill_rect(to_i16(b.x1), to_i16(b.y1), to_i16(b.x2), to_i16(b.y2), &kWhite, false);
  }
}

void WM_DIALOG::draw() {
  if (alpha == 0) return;
  IMAGE* s = drawing_surface();
  const auto x2 = to_i16(x + int32_t{width} - 1), y2 = to_i16(y + int32_t{height} - 1);
  if (background.is_loaded()) {
    background.draw(static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                    static_cast<uint16_t>(x2), static_cast<uint16_t>(y2), 1, s, BLIT_BLEND);
    return;
  }
  draw_body();
}

void WM_DIALOG::draw_body() {
  IMAGE* s = drawing_surface();
  const WM_STYLE_SET& b = body_style;
  const uint32_t f = b.drawing_flags;
  const auto x2 = to_i16(x + int32_t{width} - 1), y2 = to_i16(y + int32_t{height} - 1);
  const auto corners = static_cast<uint8_t>((b.shading_flags >> 4) & 15);
  const COLOUR face = b.bg_colour;
  const COLOUR fade = is_set(b.fading_colour) ? b.fading_colour : kBlack;
  const bool hfade = f & SSF_HFADING, vfade = f & SSF_VFADING;
  if (f & SSF_DARKENED_BACKGROUND) {
    if (corners) {
      s->fill_round_rect_gradient(x, y, x2, y2, -1, corners, &kBlack, &kBlack, 50,
                                  IMAGE::ROUND_FILL_DARKEN);
    } else {
      s->darken_rect(x, y, x2, y2, 50);
    }
  } else if (is_set(face)) {
    if (corners) {
      const uint8_t mode = hfade   ? IMAGE::ROUND_FILL_HORIZONTAL
                           : vfade ? IMAGE::ROUND_FILL_VERTICAL
                                   : IMAGE::ROUND_FILL_BLEND;
      s->fill_round_rect_gradient(x, y, x2, y2, -1, corners, &face, &fade, 0, mode);
    } else if (hfade) {
      s->fill_gradient_h(x, y, x2, y2, &face, &fade, true);
    } else if (vfade) {
      s->fill_gradient_v(x, y, x2, y2, &face, &fade, true);
    } else {
      s->fill_rect(x, y, x2, y2, &face, true);
    }
  }
  const COLOUR saved_outline = border_theme.outline;
  if (f & SSF_USE_TEXT_COLOUR_FOR_OUTLINE) border_theme.outline = b.fg_colour;
  if (f & SSF_INDENT_BORDER) {
    draw_border(x, y, x2, y2, static_cast<uint16_t>(b.shading_flags | border_flag::PRESSED), &face,
                b.shading_type, AUTO_BORDER_RADIUS);
  } else if (f & SSF_OUTSTANDING_BORDER) {
    draw_border(x, y, x2, y2, static_cast<uint16_t>(b.shading_flags & 0x7FFF), &face,
                b.shading_type, AUTO_BORDER_RADIUS);
  }
  border_theme.outline = saved_outline;
}
