#include "image_page.h"

#include <cstring>

#include "folder.h"
#include "image.h"
#include "image_cache.h"
#include "input.h"
#include "screen.h"
#include "timing.h"
#include "wm_page_manager.h"
#include "wm_style_set.h"

namespace {

constexpr size_t MESSAGE_LENGTH = 24;
constexpr uint16_t CENTRE = 65535;
constexpr uint32_t LEFT_BUTTON = 1;

// One image page is shown at a time; its state outlives the page so that
// a done callback may register the next one.
struct IMAGE_PAGE_STATE {
  IMAGE picture;
  IMAGE_PAGE_DONE done = nullptr;
  IMAGE_PAGE_TICK tick = nullptr;
  uint32_t show_seconds = 0;
  uint32_t leave_ms = 0;
  bool started = false;  // the first waiting frame set the deadline
  bool armed = false;
  uint32_t deadline = 0;  // calendar seconds, compared by difference
  char message[MESSAGE_LENGTH + 1] = {};
  int16_t message_x = 0;
  int16_t message_y = 0;
  COLOUR message_colour = COLOUR_INVISIBLE;
  int8_t message_font = 0;
  int16_t message_size = 0;
};

IMAGE_PAGE_STATE& state() {
  static IMAGE_PAGE_STATE s;
  return s;
}

bool has_pixels(const IMAGE& picture) {
  return picture.pixels && picture.width > 0 && picture.height > 0;
}

uint32_t now_seconds() { return static_cast<uint32_t>(get_calendar_seconds()); }

// The common tail of both page makers: a new page waits its whole time.
bool register_image_page(WM_PAGE_MANAGER* manager, IMAGE_PAGE_DONE done,
                         const IMAGE_PAGE_TIMING& timing) {
  IMAGE_PAGE_STATE& s = state();
  s.done = done;
  s.show_seconds = timing.show_seconds;
  s.leave_ms = timing.leave_ms;
  s.started = false;
  s.armed = false;
  s.deadline = 0;
  if (timing.fade_in_ms != 0) {
    manager->first_page_fades_in = 1;
    manager->transition_duration = timing.fade_in_ms;
  }
  manager->set_page(manager->get_current_area(), image_page_create, nullptr, 0,
                    image_page_frame, 0, 0, nullptr);
  return true;
}

// Where a part of `size` goes along a screen side of `extent`.
int32_t place(uint16_t placement, uint16_t near_flag, uint16_t far_flag, int32_t extent,
              int32_t size, int32_t offset) {
  if (placement & near_flag) return offset;
  if (placement & far_flag) return extent - size - 1 - offset;
  return (extent - size) / 2;
}

}  // namespace

bool show_image_page(WM_PAGE_MANAGER* manager, const FOLDER& folder, const char* name,
                     IMAGE_PAGE_DONE done, const IMAGE_PAGE_TIMING& timing, bool fit_screen) {
  if (!manager) return false;
  IMAGE& picture = state().picture;
  picture.create(0, 0);
  const int16_t w = fit_screen ? get_screen_width() : -1;
  const int16_t h = fit_screen ? get_screen_height() : -1;
  IMAGE_CACHE& cache = wm_image_cache();
  if (IMAGE* handle = cache.get_in_folder(folder, name, w, h, IMAGE_CACHE_FIND_ONLY)) {
    picture.copy(*handle);
    cache.release(cache.get_entry(handle));
  } else {
    picture.load(folder, name, w, h);
  }
  if (!has_pixels(picture)) {
    if (done) done();
    return false;
  }
  return register_image_page(manager, done, timing);
}

bool build_image_page(WM_PAGE_MANAGER* manager, const IMAGE_PAGE_PART* parts, uint16_t count,
                      COLOUR background, IMAGE_PAGE_DONE done, const IMAGE_PAGE_TIMING& timing) {
  if (!manager) return false;
  IMAGE& picture = state().picture;
  const int16_t sw = get_screen_width();
  const int16_t sh = get_screen_height();
  if ((background >> 24) >= opaque_alpha_threshold) {
    picture.create(sw, sh);
    picture.clear(&background, true);
  } else {
    // The previous screen, as the page manager keeps it, is the background.
    manager->current_root()->invalidate_screen();
    IMAGE& kept = manager->back_buffers[0];
    kept.create(sw, sh);
    picture.copy(kept);
  }
  for (uint16_t k = 0; parts && k < count; ++k) {
    const IMAGE_PAGE_PART& part = parts[k];
    if (!part.image || part.image->width <= 0) continue;
    const int32_t pw = part.image->width;
    const int32_t ph = part.image->height;
    const auto px = static_cast<int16_t>(
        place(part.placement, image_part::LEFT, image_part::RIGHT, sw, pw, part.offset));
    const auto py = static_cast<int16_t>(
        place(part.placement, image_part::TOP, image_part::BOTTOM, sh, ph, part.offset));
    if ((part.background >> 24) != 0) {
      picture.fill_rect(px, py, static_cast<int16_t>(px + pw - 1),
                        static_cast<int16_t>(py + ph - 1), &part.background, true);
    }
    part.image->draw(px, py, &picture, BLIT_BLEND);
  }
  return register_image_page(manager, done, timing);
}

void set_image_page_message(int16_t x, uint16_t y, const char* text, COLOUR colour, int8_t font,
                            int16_t size, uint16_t line_height) {
  IMAGE_PAGE_STATE& s = state();
  std::memset(s.message, 0, sizeof s.message);
  if (text) std::strncpy(s.message, text, MESSAGE_LENGTH);
  s.message_colour = colour;
  s.message_font = font;
  s.message_size = size;
  IMAGE* screen = get_screen_image();
  if (x == -1) {
    const int32_t text_w = screen->get_text_width(static_cast<uint8_t>(font),
                                                  static_cast<uint16_t>(size), size, s.message);
    x = static_cast<int16_t>((get_screen_width() - text_w) / 2);
  }
  int32_t top = y;
  if (y == CENTRE) {
    const int32_t line = line_height == CENTRE ? screen->font_height : line_height;
    top = (get_screen_height() - line) / 2;
  }
  s.message_x = x;
  s.message_y = static_cast<int16_t>(top);
}

void set_image_page_tick(IMAGE_PAGE_TICK tick) { state().tick = tick; }

void image_page_create(WM_PAGE_MANAGER* manager) {
  IMAGE_PAGE_STATE& s = state();
  manager->current_root()->invalidate_screen();
  IMAGE& back = manager->back_buffers[0];
  const bool had_pixels = has_pixels(back);
  const int16_t sw = get_screen_width();
  const int16_t sh = get_screen_height();
  back.create(sw, sh);
  if (!had_pixels) {
    const COLOUR black = 0xFF000000;
    back.clear(&black, true);
  }
  s.picture.draw(static_cast<int16_t>((sw - s.picture.width) / 2),
                 static_cast<int16_t>((sh - s.picture.height) / 2), &back, BLIT_BLEND);
  if (s.message[0] != '\0') {
    back.draw_text(s.message_x, s.message_y, &s.message_colour, nullptr, nullptr, s.message_font,
                   s.message_size, s.message_size, s.message);
  }
}

int32_t image_page_frame() {
  IMAGE_PAGE_STATE& s = state();
  const uint32_t now = now_seconds();
  if (!s.started) {
    s.started = true;
    s.deadline = now + s.show_seconds;
    return 0;
  }
  if (s.armed && static_cast<int32_t>(now - s.deadline) > 0) {
    s.picture.create(0, 0);
    // The done callback may register the next image page over this state.
    const uint32_t leave_ms = s.leave_ms;
    const int32_t action = s.done ? s.done() : 0;
    WM_PAGE_MANAGER* manager = WM_PAGE_MANAGER::get();
    if (manager && leave_ms != 0) manager->transition_duration = leave_ms;
    return action;
  }
  if (s.tick) s.tick();
  if (mouse.buttons & LEFT_BUTTON) s.deadline = now - 1;
  s.armed = true;
  return 0;
}
