#pragma once
// Small screen objects and helpers shared by the toolkit's tests: a box that
// fills its rectangle and counts its draws, a held-key set behind the
// toolkit's key seam, and a fixture that starts every test from a clean
// screen, table and global state.
#include <gtest/gtest.h>

#include <set>

#include "dirty_rectangles.h"
#include "image.h"
#include "screen.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

namespace wm_test {

// Fills its rectangle with its colour and, when it has one, draws its
// border style over it.
class BOX : public WM_SCREEN_OBJECT {
public:
  BOX(int16_t bx, int16_t by, uint16_t w, uint16_t h, COLOUR c, bool is_visible = true)
      : WM_SCREEN_OBJECT(is_visible, nullptr, 0, 0), fill(c) {
    x = bx;
    y = by;
    width = w;
    height = h;
  }
  void draw() override {
    ++draw_count;
    ++total_draws;
    IMAGE* s = drawing_surface();
    s->fill_rect(x, y, static_cast<int16_t>(x + width - 1), static_cast<int16_t>(y + height - 1),
                 &fill, false);
    if (border_style != 1) {
      draw_border(x, y, static_cast<int16_t>(x + width - 1), static_cast<int16_t>(y + height - 1),
                  border_flags, nullptr, border_style, AUTO_BORDER_RADIUS);
    }
  }
  COLOUR fill;
  uint16_t border_flags = border_flag::ALL_SIDES;
  int draw_count = 0;
  static inline int total_draws = 0;
};

// The page the Tab tests walk: a, b (not selectable), c (hidden), d, then e
// inside a group. The focus goes a, d, e: children 0, 3 and 4's first child.
inline void add_tab_order_boxes(WM_SCREEN_OBJECT* root) {
  const struct {
    int16_t x;
    bool selectable;
    bool visible;
  } boxes[] = {{0, true, true}, {20, false, true}, {40, true, false}, {60, true, true}};
  for (const auto& b : boxes) {
    auto* box = new BOX(b.x, 0, 10, 10, 0xFF00FF00, b.visible);
    box->selectable = b.selectable;
    root->add_child(box, false);
  }
  auto* group = new BOX(0, 50, 100, 50, 0xFF0000FF);
  auto* e = new BOX(80, 60, 10, 10, 0xFF00FF00);
  e->selectable = 1;
  group->add_child(e, false);
  root->add_child(group, false);
}

inline std::set<uint32_t> held_keys;
inline bool fake_key_down(uint32_t key_symbol) { return held_keys.count(key_symbol) != 0; }

inline COLOUR pixel(int16_t px, int16_t py) {
  COLOUR c = 0;
  get_screen_image()->get_pixel(px, py, &c);
  return c;
}

// Paints every dirty rectangle of the table from one root and its overlays,
// as the page manager does, without a page manager.
inline void paint_table(WM_SCREEN_OBJECT* root) {
  DIRTY_RECTANGLES& table = dirty_rectangles();
  IMAGE* screen = get_screen_image();
  for (int32_t i = 0; i < table.count(); ++i) {
    table.set_current_index(i);
    screen->clip_to(table.entry(i));
    root->paint();
    root->paint_overlays();
    screen->set_clip_rect(0, 0, static_cast<int16_t>(screen->width - 1),
                          static_cast<int16_t>(screen->height - 1));
  }
  table.clear();
}

// A text style: ink over one background, size-pixel text, equal gaps and,
// when the drawing flags ask for one, a border of style 6 on every side.
inline WM_STYLE_SET text_style(COLOUR background, uint32_t drawing_flags, COLOUR ink,
                               uint16_t size = 12, uint16_t gap = 4) {
  WM_STYLE_SET s;
  s.drawing_flags = drawing_flags;
  s.shading_type = 6;
  s.shading_flags = border_flag::ALL_SIDES;
  s.fg_colour = ink;
  s.bg_colour = background;
  s.font_x_sz = s.font_y_sz = size;
  s.border_left_gap = s.border_right_gap = s.border_top_gap = s.border_bottom_gap = gap;
  return s;
}

// No border, no gaps, no spacing: cell extents are plain arithmetic.
inline WM_STYLE_SET gapless_style() {
  WM_STYLE_SET s;
  s.drawing_flags = 0;
  s.border_left_gap = s.border_right_gap = s.border_top_gap = s.border_bottom_gap = 0;
  s.cell_left_gap = s.cell_right_gap = s.cell_top_gap = s.cell_bottom_gap = 0;
  s.x_spacing = s.y_spacing = 0;
  s.bg_colour = 0xFF000040;
  return s;
}

class ToolkitTest : public ::testing::Test {
protected:
  void SetUp() override {
    set_screen_size(0, 0);
    set_screen_size(200, 150);
    dirty_rectangles().clear();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    WM_SCREEN_OBJECT::pressed_object = nullptr;
    WM_SCREEN_OBJECT::focus_changed = false;
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    WM_SCREEN_OBJECT::set_key_down_function(fake_key_down);
    held_keys.clear();
    BOX::total_draws = 0;
    border_theme = WM_BORDER_THEME{};
  }
  void TearDown() override {
    WM_SCREEN_OBJECT::set_key_down_function(nullptr);
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty()) << "a test left overlays behind";
  }
};

}  // namespace wm_test
