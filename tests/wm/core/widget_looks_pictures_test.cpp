// The colour looks of scroll bars and grids, whole: each scene is drawn on
// the headless screen and compared pixel for pixel with its reference
// picture under tests/references/core2/ (tests/refresh_references.sh writes
// them). Scroll bars square and rounded, with and without buttons, across
// and along, with gradients, a held button and the focus, from colours and
// from a style; grids in the row-line, cell and whole-grid looks with
// borders, rounded corners, two tones, a fixed top row, selected and
// hovered rows and the cells the grid makes itself; labels with borders,
// fades, text effects, wrapped and cut text and an icon; every border style
// and the arrows; buttons and labels with their icons on every side.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "input_driver.h"
#include "wm_button.h"
#include "wm_grid.h"
#include "wm_list_box.h"
#include "wm_script.h"
#include "wm_scrollbar.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kInk = 0xFFF0F0F0;
constexpr COLOUR kScreen = 0xFF202020;

class WidgetLooks : public wm_test::TextSkinTest {
public:
  WidgetLooks() : TextSkinTest("widget_looks_pictures_test", 200, 150) {}
  void TearDown() override {
    objects.clear();
    TextSkinTest::TearDown();
  }
  void clear_screen() { get_screen_image()->fill_rect_solid(0, 0, 199, 149, &kScreen); }
  PARAMETER* range(int32_t value) {
    variables.push_back(std::make_unique<PARAMETER>());
    PARAMETER* v = variables.back().get();
    v->set_type(PARAMETER::I32);
    v->set_int(PARAMETER::MAXIMUM, 100);
    v->set_int(PARAMETER::VALUE, value);
    return v;
  }
  template <class T>
  T* keep(T* object) {
    objects.emplace_back(object);
    return object;
  }
  // Every object handles the input once and is painted through the dirty
  // rectangle table.
  void frame() {
    for (auto& o : objects) o->process();
    for (auto& o : objects) {
      o->invalidate();
      wm_test::paint_table(o.get());
    }
  }

  std::vector<std::unique_ptr<PARAMETER>> variables;  // outlive the bars
  std::vector<WM_STYLE_SET> styles{8};
  std::vector<std::unique_ptr<WM_SCREEN_OBJECT>> objects;
  test_support::INPUT_DRIVER input;
};

void scroll_bars(WidgetLooks& t) {
  const COLOUR bar = 0xFF283C64, slider = 0xFF3CA050, button = 0xFF8C8C96, arrow = 0xFFE6C828;
  using T = SCROLLBAR_TYPE;
  namespace look = scrollbar_look;
  const struct {
    int16_t x1, y1, x2, y2;
    T type;
    uint8_t look;
    int32_t value;
  } bars[] = {
      {4, 4, 19, 103, T::VERTICAL_WITH_BUTTONS, 0, 100},
      {24, 4, 39, 103, T::VERTICAL_WITH_BUTTONS, look::ROUNDED, 30},  // its lower button held
      {50, 4, 149, 19, T::HORIZONTAL_WITH_BUTTONS, look::HORIZONTAL_GRADIENT, 30},
      {50, 24, 149, 39, T::HORIZONTAL_WITH_BUTTONS, look::ROUNDED | look::VERTICAL_GRADIENT, 70},
      {160, 4, 175, 103, T::VERTICAL, look::DEFAULT, 60},
      {50, 44, 149, 59, T::HORIZONTAL, 0, 0},
  };
  for (const auto& b : bars) {
    auto* s = t.keep(new WM_SCROLLBAR(b.x1, b.y1, b.x2, b.y2, 20, 15, t.range(b.value), b.type, b.look, &bar,
                                      &slider, &button, &arrow, true, nullptr, 0, 0));
    s->hover_fill_colour = 0xFF5A78B4;
    s->hover_arrow_colour = 0xFFFFFFFF;
  }
  // From styles: rounded corners and a fade across, square and a fade along.
  WM_STYLE_SET& across = t.styles[0];
  across = wm_test::text_style(0xFF503C28, SSF_HFADING, 0xFF28E6E6);
  across.shading_flags = 0xFF;
  across.active_colour = 0xFFB45A3C;
  across.extended_flags = SSEF_SB_HORIZONTAL | SSEF_SB_WITH_BUTTONS;
  across.scrollbar_slider_width = 24;
  across.scrollbar_button_width = 12;
  t.keep(new WM_SCROLLBAR(50, 66, 149, 81, t.range(50), &across, nullptr, 0, 0));
  WM_STYLE_SET& along = t.styles[1];
  along = across;
  along.shading_flags = border_flag::ALL_SIDES;
  along.drawing_flags = SSF_VFADING;
  along.extended_flags = SSEF_SB_WITH_BUTTONS;
  t.keep(new WM_SCROLLBAR(180, 4, 195, 103, t.range(10), &along, nullptr, 0, 0));
  t.input.move_to(31, 96);
  t.input.press(1);
  border_theme.inner_outline = 0x80FFFFFF;  // a skin's translucent outline
}

void grid_rows(WidgetLooks& t) {
  WM_STYLE_SET& s = t.styles[0];
  s = wm_test::text_style(0xFF30405A, SSF_DRAW_BORDER | SSF_INDENT_BORDER, kInk, 11, 3);
  s.shading_flags = border_flag::ALL_SIDES | 0xF0;  // rounded corners
  s.extended_flags = SSEF_GRID_TYPE_LINES | SSEF_GRID_TWO_TONE | SSEF_GRID_FIX_TOP_ROW;
  s.highlight_colour = 0xFF8A2A2A;
  s.mouse_over_colour = 0xFF2A7A4A;
  s.y_spacing = 2;
  s.grid_scrollbar_width = 12;
  s.grid_two_tone_value = 35;
  WM_STYLE_SET& label = t.styles[1];
  label = wm_test::text_style(COLOUR_INVISIBLE, SSF_LEFT_JUSTIFY_TEXT, kInk, 11, 2);
  WM_STYLE_SET& bar = t.styles[2];
  bar = wm_test::text_style(0xFF404850, SSF_DRAW_BORDER, 0xFFC0C8D0);
  bar.active_colour = 0xFF7080A0;
  const int16_t widths[] = {2, 1};
  auto* g = t.keep(new WM_GRID(4, 4, 195, 145, 2, widths, &s, &bar));
  g->two_tone_value = 35;
  g->default_row_height = 17;
  g->add_text_cell(0, 0, "Name", &label);
  g->add_text_cell(1, 0, "Size", &label);
  for (int32_t r = 1; r < 20; ++r) {
    g->add_text_cell(0, r, ("Part " + std::to_string(r)).c_str(), &label);
    g->add_text_cell(1, r, std::to_string(r * 7).c_str(), &label);
  }
  g->get_row(9)->selected = 1;
  g->scroll_to_row(12);
  t.input.move_to(60, 110);
}

void grid_cells(WidgetLooks& t) {
  WM_STYLE_SET& s = t.styles[0];
  s = wm_test::text_style(0xFF3A4660, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_USE_TEXT_COLOUR_FOR_OUTLINE,
                          0xFFE0A040, 11, 4);
  s.extended_flags = SSEF_GRID_TYPE_CELLS;
  s.cell_left_gap = s.cell_right_gap = s.cell_top_gap = s.cell_bottom_gap = 2;
  s.x_spacing = 3;
  s.y_spacing = 3;
  s.highlight_colour = 0xFF6A2A5A;
  WM_STYLE_SET& button = t.styles[1];
  button = wm_test::text_style(0xFF3A6EA5, SSF_DRAW_BORDER, kInk, 11, 3);
  WM_STYLE_SET& list = t.styles[2];
  list = wm_test::text_style(0xFF505A70, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, kInk, 11, 2);
  WM_STYLE_SET& item = t.styles[3];
  item = wm_test::text_style(0xFF505A70, SSF_LEFT_JUSTIFY_TEXT, kInk, 11, 2);
  const int16_t widths[] = {-70, 1};
  auto* g = t.keep(new WM_GRID(4, 4, 195, 145, 2, widths, &s, nullptr));
  g->default_row_height = 24;
  const COLOUR green = 0xFF40C060, dark = 0xFF182030;
  g->add_button_cell(0, 0, "Go", &button, nullptr, 0, 0, button_event::RELEASE);
  g->add_check_box_cell(1, 0, "Fast", &green, &dark, 0, nullptr, 0, 0, button_event::RELEASE);
  const char* items[] = {"One", "Two", "Three"};
  g->add_list_box_cell(1, 1, 3, items, 1, &button, &list, &list, &item, nullptr, nullptr, nullptr, nullptr,
                       nullptr, 0, 0);
  g->add_script_cell(0, 1, "Left", &green, nullptr, 0);
  g->add_script_cell(0, 2, "Mid", nullptr, &dark, 0);
  g->get_row(2)->selected = 1;
}

void grid_whole(WidgetLooks& t) {
  // Left: one fade over the whole grid, rounded, with a marked row and two
  // tones; right: a darkened background behind rows of a fixed count.
  WM_STYLE_SET& faded = t.styles[0];
  faded = wm_test::text_style(0xFF2E5A88, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_HFADING, kInk, 11, 4);
  faded.fading_colour = 0xFF101828;
  faded.shading_flags = border_flag::ALL_SIDES | 0xF0;
  faded.extended_flags = SSEF_GRID_TWO_TONE;
  faded.highlight_colour = 0xFFA05020;
  auto* left = t.keep(new WM_GRID(4, 4, 97, 145, 1, nullptr, &faded, nullptr));
  left->default_row_height = 20;
  for (int32_t r = 0; r < 4; ++r) left->add_script_cell(0, r, nullptr, nullptr, nullptr, 0);
  left->get_row(1)->selected = 1;
  WM_STYLE_SET& dark = t.styles[1];
  dark = wm_test::text_style(0xFF6080A0, SSF_DARKENED_BACKGROUND | SSF_DRAW_BORDER, kInk, 11, 2);
  dark.extended_flags = SSEF_GRID_TYPE_LINES | SSEF_GRID_TWO_TONE;
  dark.shading_flags = border_flag::ALL_SIDES | 0x30;  // the two upper corners rounded
  auto* right = t.keep(new WM_GRID(104, 4, 195, 145, 1, nullptr, &dark, nullptr));
  right->rows_per_page = 5;
  right->default_row_height = 25;
  for (int32_t r = 0; r < 3; ++r) right->add_script_cell(0, r, nullptr, nullptr, nullptr, 0);
}

// Labels: borders, fades, rounded corners, text effects, alignment, wrapped
// and cut text, an icon.
void labels(WidgetLooks& t) {
  const struct {
    int16_t x1, y1, x2, y2;
    uint32_t flags;
    uint16_t shading_flags;
    uint32_t shading_type;
    const char* text;
  } rows[] = {
      {4, 4, 97, 27, SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_HFADING | SSF_SHADOW_TEXT, 15, 6, "Shadow"},
      {102, 4, 195, 27, SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_VFADING | SSF_INSET_TEXT, 255, 6, "Inset"},
      {4, 32, 97, 55, SSF_DARKENED_BACKGROUND | SSF_CHISELED_TEXT | SSF_RIGHT_JUSTIFY_TEXT, 15, 4, "Chiseled"},
      {102, 32, 195, 55,
       SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_USE_TEXT_COLOUR_FOR_OUTLINE | SSF_LEFT_JUSTIFY_TEXT |
           SSF_BOTTOM_ALIGN_TEXT,
       0x5F, 3, "Outline"},
      {4, 60, 97, 110, SSF_WRAP_TEXT | SSF_LEFT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT | SSF_DRAW_BORDER, 15, 6,
       "Words that wrap onto lines"},
      {102, 60, 195, 110, SSF_ICON_LEFT | SSF_RIGHT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT, 0xAF, 6, "Icon"},
      {4, 115, 97, 145, SSF_DISABLED | SSF_DRAW_BORDER, 15, 6, "Disabled"},
      {102, 115, 195, 145, SSF_DRAW_BORDER | SSF_INDENT_BORDER, 15, 6, "A caption far too wide"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& r = rows[i];
    WM_STYLE_SET& s = t.styles[i];
    s = wm_test::text_style(0xFF2E5A88, r.flags, kInk, 12, 4);
    s.fading_colour = 0xFF101828;
    s.shading_flags = r.shading_flags;
    s.shading_type = r.shading_type;
    s.disabled_text_colour = 0xFFA0A0A0;
    if (r.flags & SSF_ICON_LEFT) s.border_left_gap = 16;  // the icon's room
    auto* label = t.keep(new WM_SCRIPT(r.x1, r.y1, r.x2, r.y2, &s, r.text));
    if (r.flags & SSF_ICON_LEFT) {
      const COLOUR red = 0xFFE03020;
      label->icon.create(10, 10);
      label->icon.fill_rect_solid(0, 0, 9, 9, &red);
    }
  }
  static_cast<WM_SCRIPT*>(t.objects.back().get())->text_flags |= script_flag::ELLIPSIS;
}

// Every border style square, pressed, rounded, rounded and pressed, and on
// two sides with one rounded corner in colours made from the face; arrows
// each way, with the automatic and given insets; the focus mark.
void borders(WidgetLooks&) {
  const uint16_t looks[] = {border_flag::ALL_SIDES, border_flag::ALL_SIDES | border_flag::PRESSED,
                            0xFF, 0xFF | border_flag::PRESSED,
                            border_flag::TOP | border_flag::LEFT | border_flag::ROUND_BOTTOM_RIGHT};
  const COLOUR face = 0xFF3A6EA5;
  for (int row = 0; row < 5; ++row) {
    if (row == 4) border_theme.shadow = border_theme.highlight = COLOUR_INVISIBLE;
    for (uint32_t style = 0; style < 10; ++style) {
      const auto x = static_cast<int16_t>(2 + 19 * style), y = static_cast<int16_t>(2 + 21 * row);
      wm_test::BOX box(x, y, 17, 19, face);
      box.border_style = 1;  // the box draws no border of its own
      box.draw();
      box.draw_border(x, y, static_cast<int16_t>(x + 16), static_cast<int16_t>(y + 18), looks[row],
                      row == 4 ? &face : nullptr, style, AUTO_BORDER_RADIUS);
    }
  }
  const COLOUR ink = 0xFFE6C828;
  wm_test::BOX holder(0, 0, 1, 1, 0);
  const ARROW directions[] = {ARROW::UP, ARROW::DOWN, ARROW::LEFT, ARROW::RIGHT};
  for (int i = 0; i < 4; ++i) {
    const auto x = static_cast<int16_t>(2 + 32 * i);
    holder.draw_arrow(x, 112, static_cast<int16_t>(x + 29), 141, &ink, directions[i],
                                                 AUTO_ARROW_INSET, AUTO_ARROW_INSET);
  }
  holder.draw_arrow(130, 112, 151, 141, &ink, ARROW::RIGHT, 2, 6);
  holder.draw_arrow(156, 112, 196, 126, &ink, ARROW::DOWN, 5, 1);
  draw_focus_ring(get_screen_image(), 156, 130, 196, 146, ink);
}

// Buttons (or labels) with an icon on each side: attached to the text at
// each alignment, or in the border gap; the last button disabled, its icon
// faded.
struct ICON_FLAGS {
  uint32_t sides[4], aligns[2][3], attached;
};
constexpr ICON_FLAGS kButtonIcons = {
    {button_flag::ICON_LEFT, button_flag::ICON_RIGHT, button_flag::ICON_TOP, button_flag::ICON_BOTTOM},
    {{button_flag::LEFT_JUSTIFY, 0, button_flag::RIGHT_JUSTIFY}, {button_flag::TOP_ALIGN, 0, button_flag::BOTTOM_ALIGN}},
    button_flag::ICON_ATTACHED};
constexpr ICON_FLAGS kLabelIcons = {
    {script_flag::ICON_LEFT, script_flag::ICON_RIGHT, script_flag::ICON_TOP, script_flag::ICON_BOTTOM},
    {{script_flag::LEFT_JUSTIFY, 0, script_flag::RIGHT_JUSTIFY}, {script_flag::TOP_ALIGN, 0, script_flag::BOTTOM_ALIGN}},
    script_flag::ICON_ATTACHED};

void icons(WidgetLooks& t, const ICON_FLAGS& f) {
  const bool labels = &f == &kLabelIcons;
  IMAGE icon(6, 5);
  const COLOUR red = 0xFFE03020, yellow = 0xFFF0E040;
  icon.fill_rect_solid(0, 0, 5, 4, &red);
  icon.fill_rect_solid(0, 0, 5, 0, &yellow);  // its top row, to see it the right way up
  t.styles[0] = wm_test::text_style(0xFF2E5A88, SSF_DRAW_BORDER, kInk, 12, 4);
  t.styles[1] = wm_test::text_style(0xFF2E5A88, SSF_DRAW_BORDER, kInk, 12, 9);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const auto x = static_cast<int16_t>(2 + 49 * c), y = static_cast<int16_t>(2 + 37 * r);
      const auto x2 = static_cast<int16_t>(x + 45), y2 = static_cast<int16_t>(y + 33);
      const WM_STYLE_SET* style = &t.styles[c == 3 ? 1 : 0];
      // In the gap: one side, or two for the corners of the last rows.
      const uint32_t flags = c < 3 ? f.attached | f.sides[r] | f.aligns[r / 2][c]
                                   : f.sides[r] | (r >= 2 ? f.sides[r - 2] : 0);
      if (labels) {
        auto* label = t.keep(new WM_SCRIPT(x, y, x2, y2, style, "Ab"));
        label->text_flags |= flags;
        label->x_spacing = 2;
        label->y_spacing = 3;
        label->icon.copy(icon);
        continue;
      }
      auto* b = t.keep(new WM_BUTTON(x, y, x2, y2, style, "Ab", nullptr, nullptr, 0, 0, 2));
      b->draw_flags |= flags;
      b->x_spacing = 2;
      b->y_spacing = 3;
      b->set_icon_image(icon);
      if (r == 3 && c == 3) b->set_enabled(false);
    }
  }
}
void button_icons(WidgetLooks& t) { icons(t, kButtonIcons); }
void label_icons(WidgetLooks& t) { icons(t, kLabelIcons); }

TEST_F(WidgetLooks, EachSceneMatchesItsReference) {
  const struct {
    const char* name;
    void (*build)(WidgetLooks&);
    const char* area = "core2";
  } scenes[] = {{"scroll_bars", scroll_bars}, {"grid_rows", grid_rows}, {"grid_cells", grid_cells},
                {"grid_whole", grid_whole},   {"labels", labels},       {"borders", borders},
                {"button_icons", button_icons, "core4"}, {"label_icons", label_icons, "core4"}};
  for (const auto& scene : scenes) {
    SCOPED_TRACE(scene.name);
    clear_screen();
    input.move_to(-1, -1);
    scene.build(*this);
    frame();
    frame();
    EXPECT_TRUE(test_support::picture_matches_reference(scene.area, scene.name, *get_screen_image()));
    input.release(1);
    objects.clear();
    variables.clear();
    WM_SCREEN_OBJECT::focus_object = nullptr;
    border_theme = WM_BORDER_THEME{};
  }
}

}  // namespace
