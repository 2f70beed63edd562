// The page transitions: working copies of the screen, one pixel pass per
// step over whole rows, and a loop on the millisecond clock that always ends
// by drawing and presenting the final state.
#include "page_transitions.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "image.h"
#include "random.h"
#include "screen.h"
#include "timing.h"

namespace {

constexpr int32_t FIRST_ACTION = 10;
constexpr int32_t LAST_ACTION = 32;
constexpr int32_t FIRST_SLIDE = 18;
constexpr uint32_t OPAQUE_BLACK = 0xFF000000u;

// Elapsed time of one animation, held to its duration. Clock readings wrap
// at 2^32, so they are subtracted as uint32_t; a difference that comes out
// negative is a clock gone back, and the animation starts again from there.
class ANIMATION_CLOCK {
public:
  explicit ANIMATION_CLOCK(uint32_t duration) : duration_(duration), start_(get_time_ms()) {}

  uint32_t elapsed() {
    const uint32_t now = get_time_ms();
    int32_t e = static_cast<int32_t>(now - start_);
    if (e < 0) {
      start_ = now;
      e = 0;
    }
    return std::min(static_cast<uint32_t>(e), duration_);
  }

private:
  uint32_t duration_;
  uint32_t start_;
};

// a = e x 255 / D in 64 bits; the end of the time (and a duration of 0) is
// fully opaque.
uint32_t alpha_at(uint32_t e, uint32_t duration) {
  if (e >= duration) return 255;
  return static_cast<uint32_t>(uint64_t{e} * 255u / duration);
}

// The blending rule of IMAGE::blit for b over a with one alpha for every
// pixel: alpha 0 keeps a, 250 and above takes b, otherwise each channel
// (a x (255 - alpha) + b x alpha) >> 8. Red and blue share one word: each
// lane stays below 2^16, so no carry crosses between them. The screen stays
// opaque.
class ALPHA_MIX {
public:
  explicit ALPHA_MIX(uint32_t alpha)
      : keep_(alpha == 0 ? 256u : alpha >= 250 ? 0u : 255u - alpha),
        take_(alpha == 0 ? 0u : alpha >= 250 ? 256u : alpha) {}

  uint32_t operator()(uint32_t a, uint32_t b) const {
    const uint32_t rb =
        (((a & 0x00FF00FFu) * keep_ + (b & 0x00FF00FFu) * take_) >> 8) & 0x00FF00FFu;
    const uint32_t g = (((a & 0x0000FF00u) * keep_ + (b & 0x0000FF00u) * take_) >> 8) & 0x0000FF00u;
    return OPAQUE_BLACK | rb | g;
  }

private:
  uint32_t keep_;
  uint32_t take_;
};

// Moves each channel of a colour towards its grey (30 R + 59 G + 11 B) / 100,
// or from the grey back to the colour, by e / D: from + (to - from) x e / D,
// signed and truncated. The shares of every possible difference are worked
// out once per step, so the pixel loop does no division.
class GREY_MIX {
public:
  enum DIRECTION : uint8_t { TO_GREY, FROM_GREY };

  GREY_MIX(DIRECTION direction, uint32_t e, uint32_t duration) : direction_(direction) {
    for (int32_t difference = -255; difference <= 255; ++difference) {
      const int64_t share =
          e >= duration ? difference : int64_t{difference} * int64_t{e} / int64_t{duration};
      share_[static_cast<size_t>(difference + 255)] = static_cast<int16_t>(share);
    }
  }

  uint32_t operator()(uint32_t colour, uint32_t) const {
    const int32_t r = static_cast<int32_t>((colour >> 16) & 0xFF);
    const int32_t g = static_cast<int32_t>((colour >> 8) & 0xFF);
    const int32_t b = static_cast<int32_t>(colour & 0xFF);
    const int32_t grey = (30 * r + 59 * g + 11 * b) / 100;
    return OPAQUE_BLACK | channel(r, grey) << 16 | channel(g, grey) << 8 | channel(b, grey);
  }

private:
  uint32_t channel(int32_t value, int32_t grey) const {
    const int32_t from = direction_ == TO_GREY ? value : grey;
    const int32_t to = direction_ == TO_GREY ? grey : value;
    return static_cast<uint32_t>(from + share_[static_cast<size_t>(to - from + 255)]);
  }

  DIRECTION direction_;
  std::array<int16_t, 511> share_{};
};

// Every screen pixel becomes mix(a, b) of the pixels at the same place in
// two pictures of the screen's size (the whole screen is the animated
// region; the clip does not apply). Pictures of another size draw nothing.
template <typename MIX>
void paint_mixed(IMAGE& screen, const IMAGE& a, const IMAGE& b, const MIX& mix) {
  if (a.width != screen.width || a.height != screen.height || b.width != screen.width ||
      b.height != screen.height || !a.pixels || !b.pixels) {
    return;
  }
  const int32_t w = screen.width;
  for (int32_t row = 0; row < screen.height; ++row) {
    uint32_t* out = screen.pixels + static_cast<size_t>(row) * static_cast<size_t>(screen.stride);
    const uint32_t* pa = a.pixels + static_cast<size_t>(row) * static_cast<size_t>(a.stride);
    const uint32_t* pb = b.pixels + static_cast<size_t>(row) * static_cast<size_t>(b.stride);
    for (int32_t i = 0; i < w; ++i) out[i] = mix(pa[i], pb[i]);
  }
  screen.add_dirty_rect(screen.extent());
}

// Drawing with IMAGE's own copies over the whole screen: the clip the page
// manager left is saved and given back when the step is drawn.
class WHOLE_SCREEN_CLIP {
public:
  explicit WHOLE_SCREEN_CLIP(IMAGE& screen)
      : screen_(screen),
        x1_(screen.clip_x1),
        y1_(screen.clip_y1),
        x2_(screen.clip_x2),
        y2_(screen.clip_y2) {
    screen.set_clip_rect(screen.x, screen.y, static_cast<int16_t>(screen.x + screen.width - 1),
                         static_cast<int16_t>(screen.y + screen.height - 1));
  }
  ~WHOLE_SCREEN_CLIP() {
    screen_.clip_x1 = x1_;
    screen_.clip_y1 = y1_;
    screen_.clip_x2 = x2_;
    screen_.clip_y2 = y2_;
  }
  WHOLE_SCREEN_CLIP(const WHOLE_SCREEN_CLIP&) = delete;
  WHOLE_SCREEN_CLIP& operator=(const WHOLE_SCREEN_CLIP&) = delete;

private:
  IMAGE& screen_;
  int16_t x1_, y1_, x2_, y2_;
};

void show_whole(IMAGE& screen, const IMAGE& page) {
  WHOLE_SCREEN_CLIP clip(screen);
  page.draw(screen.x, screen.y, &screen, BLIT_COPY);
}

// Hooks the page manager left null are not called.
void call(void (*hook)(intptr_t), intptr_t context) {
  if (hook) hook(context);
}

class TRANSITION {
public:
  TRANSITION(const PAGE_TRANSITION_HOOKS& hooks, IMAGE& screen, uint32_t duration)
      : hooks_(hooks), screen_(screen), duration_(duration) {}

  void run(int32_t action) {
    switch (action) {
      case 11: cross_fade(); break;
      case 12: fade_in(BLACK, duration_); break;
      case 13: fade_in(GREY, duration_); break;
      case 14: out_and_in(BLACK); break;
      case 15: out_and_in(GREY); break;
      case 16:
      case 17:
        fade_out(action == 16 ? BLACK : GREY, duration_);
        switch_pages();
        present();
        break;
      default: {
        const int32_t slide = action - FIRST_SLIDE;
        slide_pages(slide % 5, slide / 5);
        break;
      }
    }
  }

private:
  void switch_pages() const { call(hooks_.switch_pages, hooks_.context); }
  void present() const { call(hooks_.present, hooks_.context); }

  enum SHADE : uint8_t { BLACK, GREY };  // what the fades go through

  // Draws step(e) and presents it until the time is up; the last step is
  // drawn at e = duration, the final state.
  template <typename STEP>
  void animate(uint32_t duration, STEP step) const {
    ANIMATION_CLOCK clock(duration);
    for (;;) {
      const uint32_t e = clock.elapsed();
      step(e);
      present();
      if (e >= duration) return;
    }
  }

  // Whether every pixel of the page already is what a fade passes through
  // (black, or its own grey): each step of such a fade would show the same
  // picture, so it is shown once rather than for the fade's whole time.
  static bool already_shaded(const IMAGE& page, SHADE shade) {
    for (int32_t row = 0; row < page.height; ++row) {
      const uint32_t* p = page.pixels + static_cast<size_t>(row) * static_cast<size_t>(page.stride);
      for (int32_t i = 0; i < page.width; ++i) {
        const uint32_t r = (p[i] >> 16) & 0xFF, g = (p[i] >> 8) & 0xFF, b = p[i] & 0xFF;
        if (shade == BLACK ? (r | g | b) != 0 : r != g || g != b) return false;
      }
    }
    return true;
  }

  bool same_size(const IMAGE& page) const {
    return page.width == screen_.width && page.height == screen_.height;
  }

  // The old page as it is before the switch (opaque), the new page as the switch
  // painted it. False (the new page already shown and presented) when the
  // switch left a screen of another size: there is nothing to animate.
  bool take_pages(IMAGE& old_page, IMAGE& new_page) const {
    old_page.copy(screen_);
    old_page.set_alpha(255, false, false);
    switch_pages();
    if (!same_size(old_page) || !screen_.pixels) {
      present();
      return false;
    }
    new_page.copy(screen_);
    return true;
  }

  void cross_fade() const {
    IMAGE old_page, new_page;
    if (!take_pages(old_page, new_page)) return;
    animate(duration_, [&](uint32_t e) {
      if (e >= duration_) return show_whole(screen_, new_page);
      paint_mixed(screen_, old_page, new_page, ALPHA_MIX(alpha_at(e, duration_)));
    });
  }

  void fade_in(SHADE shade, uint32_t duration) const {
    switch_pages();
    IMAGE new_page;
    new_page.copy(screen_);
    if (already_shaded(new_page, shade)) duration = 0;
    animate(duration, [&](uint32_t e) {
      if (e >= duration) return show_whole(screen_, new_page);
      if (shade == GREY) {
        paint_mixed(screen_, new_page, new_page, GREY_MIX(GREY_MIX::FROM_GREY, e, duration));
        return;
      }
      const ALPHA_MIX mix(alpha_at(e, duration));
      paint_mixed(screen_, new_page, new_page,
                  [&mix](uint32_t, uint32_t p) { return mix(OPAQUE_BLACK, p); });
    });
  }

  // The old page goes to black or grey; the screen is left in that state.
  void fade_out(SHADE shade, uint32_t duration) const {
    IMAGE old_page;
    old_page.copy(screen_);
    if (already_shaded(old_page, shade)) duration = 0;
    animate(duration, [&](uint32_t e) {
      if (shade == GREY) {
        paint_mixed(screen_, old_page, old_page, GREY_MIX(GREY_MIX::TO_GREY, e, duration));
        return;
      }
      const ALPHA_MIX mix(255u - alpha_at(e, duration));
      paint_mixed(screen_, old_page, old_page,
                  [&mix](uint32_t, uint32_t p) { return mix(OPAQUE_BLACK, p); });
    });
  }

  // Each half takes half the time. The old page comes back (unshown) before
  // the switch, so that whatever the switch does not repaint keeps it
  // rather than the black or grey of the first half.
  void out_and_in(SHADE shade) const {
    const uint32_t half = duration_ >> 1;
    IMAGE old_page;
    old_page.copy(screen_);
    fade_out(shade, half);
    show_whole(screen_, old_page);
    fade_in(shade, half);
  }

  // Old page at a, new page at b; both move by e x size / D (in 64 bits),
  // reaching the end at e = D.
  void slide_pages(int32_t direction, int32_t style) const {
    IMAGE old_page, new_page;
    if (!take_pages(old_page, new_page)) return;
    if (direction == 0) direction = random_range(1, 5);

    const bool across = direction == 1 || direction == 2;
    const int64_t size = across ? screen_.width : screen_.height;
    animate(duration_, [&](uint32_t e) {
      const int32_t moved = static_cast<int32_t>(
          e >= duration_ ? size : int64_t{e} * size / int64_t{duration_});
      // Offsets along the direction of travel, from the screen's origin.
      int32_t a = 0, b = 0;
      switch (direction) {
        case 1:
        case 3:
          b = static_cast<int32_t>(size) - moved;
          a = b - static_cast<int32_t>(size);
          break;
        default:
          a = moved;
          b = a - static_cast<int32_t>(size);
          break;
      }
      const auto at = [&](const IMAGE& page, int32_t offset) {
        const int32_t px = screen_.x + (across ? offset : 0);
        const int32_t py = screen_.y + (across ? 0 : offset);
        page.draw(static_cast<int16_t>(px), static_cast<int16_t>(py), &screen_, BLIT_COPY);
      };
      WHOLE_SCREEN_CLIP clip(screen_);
      switch (style) {
        case 0:
          at(old_page, 0);
          at(new_page, b);
          break;
        case 1:
          at(new_page, 0);
          at(old_page, a);
          break;
        default:
          at(old_page, a);
          at(new_page, b);
          break;
      }
    });
  }

  const PAGE_TRANSITION_HOOKS& hooks_;
  IMAGE& screen_;
  uint32_t duration_;
};

}  // namespace

bool run_page_transition(int32_t action, uint32_t duration_ms, const PAGE_TRANSITION_HOOKS& hooks) {
  if (action < FIRST_ACTION || action > LAST_ACTION) return false;
  IMAGE* screen = get_screen_image();
  const bool halves = action == 14 || action == 15;
  const uint32_t shortest = halves ? duration_ms >> 1 : duration_ms;
  // Nothing to animate: the new page is drawn once and shown.
  if (action == FIRST_ACTION || shortest == 0 || !screen || !screen->pixels) {
    call(hooks.switch_pages, hooks.context);
    call(hooks.present, hooks.context);
    return true;
  }
  TRANSITION(hooks, *screen, duration_ms).run(action);
  return true;
}
