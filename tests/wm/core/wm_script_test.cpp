// Labels drawn into the headless screen with the DejaVu font: placement by
// every alignment flag, borders, backgrounds, wrapping, flashing on the
// frame clock, fitting to the text, growing and owner forwarding.
#include "wm_script.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dirty_rectangles.h"
#include "font.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "screen.h"
#include "skin_test_support.h"
#include "text_convert.h"
#include "text_fit.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

constexpr COLOUR kScreen = 0xFF808080;
constexpr COLOUR kBack = 0xFF000080;
constexpr COLOUR kInk = 0xFFFFFFFF;

// The bounding box of the pixels in the rectangle that differ from colour.
struct INK {
  int x1 = 9999, y1 = 9999, x2 = -1, y2 = -1;
};
INK ink_of(int x1, int y1, int x2, int y2, COLOUR background) {
  INK box;
  for (int py = y1; py <= y2; ++py) {
    for (int px = x1; px <= x2; ++px) {
      if (pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == background) continue;
      box.x1 = std::min(box.x1, px);
      box.y1 = std::min(box.y1, py);
      box.x2 = std::max(box.x2, px);
      box.y2 = std::max(box.y2, py);
    }
  }
  return box;
}

class Script : public wm_test::TextSkinTest {
 protected:
  Script() : TextSkinTest("script_test", 200, 150) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    WM_SCREEN_OBJECT::set_frame_clock(0);
    clear_screen();
  }
  void clear_screen() {
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &c);
  }
  // A plain style: no border, gaps of 2, 12-pixel text in white on blue.
  static WM_STYLE_SET plain(uint32_t drawing_flags) {
    WM_STYLE_SET s;
    s.drawing_flags = drawing_flags;
    s.shading_flags = border_flag::ALL_SIDES;
    s.fg_colour = kInk;
    s.bg_colour = kBack;
    s.font_x_sz = s.font_y_sz = 12;
    s.border_left_gap = s.border_right_gap = s.border_top_gap = s.border_bottom_gap = 2;
    return s;
  }
};

TEST_F(Script, AlignmentFlagsPlaceTheText) {
  // Label at (10, 10), 120 x 40 with gaps of 2. Each alignment moves the
  // ink of the left and top aligned text by exactly its offset: right
  // justified by 120 - 1 - 2 - 2 - text width, centred by half of 120 - 4
  // - text width, and the same down with the text height.
  const int32_t tw = get_screen_image()->get_text_width(255, 12, 12, "Hig");
  const int32_t th = 12;
  const struct {
    uint32_t flags;
    int32_t dx, dy;
  } rows[] = {
      {SSF_LEFT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT, 0, 0},
      {SSF_RIGHT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT, 115 - tw, 0},
      {SSF_TOP_ALIGN_TEXT, (116 - tw) / 2, 0},
      {SSF_LEFT_JUSTIFY_TEXT | SSF_BOTTOM_ALIGN_TEXT, 0, 35 - th},
      {SSF_LEFT_JUSTIFY_TEXT, 0, (36 - th) / 2},
      {SSF_RIGHT_JUSTIFY_TEXT | SSF_BOTTOM_ALIGN_TEXT, 115 - tw, 35 - th},
  };
  INK reference;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.flags);
    clear_screen();
    WM_STYLE_SET style = plain(row.flags);
    WM_SCRIPT label(10, 10, 129, 49, &style, "Hig");
    EXPECT_EQ(std::pair(label.width, label.height), (std::pair<uint16_t, uint16_t>(120, 40)));
    label.draw();
    const INK ink = ink_of(10, 10, 129, 49, kBack);
    ASSERT_GE(ink.x2, 0) << "no text drawn";
    if (row.dx == 0 && row.dy == 0) reference = ink;
    EXPECT_EQ((std::vector<int>{ink.x1 - reference.x1, ink.x2 - reference.x2, ink.y1 - reference.y1,
                                ink.y2 - reference.y2}),
              (std::vector<int>{row.dx, row.dx, row.dy, row.dy}));
    EXPECT_EQ(std::pair(pixel(9, 9), pixel(130, 50)), std::pair(kScreen, kScreen));  // nothing outside the label
  }
}

TEST_F(Script, BordersFollowTheStyle) {
  struct ROW {
    uint32_t drawing;
    uint16_t shading_flags;
    COLOUR top_left, top_middle;  // pixels (10, 10) and (70, 10)
    uint32_t shading_type = 6;
  };
  const ROW rows[] = {
      {SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, 15, 0xFFFFFFFF, 0xFFFFFFFF},
      {SSF_DRAW_BORDER | SSF_INDENT_BORDER, 15, 0xFF808080, 0xFF808080},
      {SSF_INDENT_BORDER | SSF_OUTSTANDING_BORDER, 15, kBack, kBack},  // no ssf_draw_border
      {0, 255, kScreen, kBack},                                        // rounded, no border
      {SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, 255, kScreen, 0xFFFFFFFF},
      {SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER, 15, 0xFFFFFF00, 0xFFFFFF00, 3},  // yellow outline
      {SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_USE_TEXT_COLOUR_FOR_OUTLINE, 15, kInk, kInk,
       3},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.drawing);
    clear_screen();
    WM_STYLE_SET style = plain(row.drawing);
    style.shading_type = row.shading_type;
    style.shading_flags = row.shading_flags;
    WM_SCRIPT label(10, 10, 129, 49, &style, "");
    label.draw();
    EXPECT_EQ(std::pair(pixel(10, 10), pixel(70, 10)), std::pair(row.top_left, row.top_middle));
    EXPECT_EQ(border_theme.outline, 0xFFFFFF00u);  // given back after the border
  }
}

TEST_F(Script, Backgrounds) {
  // A skin picture for the style's state image, written by the test.
  const COLOUR red = 0xFFFF0000;
  ASSERT_NO_FATAL_FAILURE(save_solid_png("lbl.png", red));

  struct ROW {
    const char* name;
    std::function<void(WM_STYLE_SET&)> edit;
    COLOUR left, centre, corner;  // pixels (11, 30), (70, 30), (10, 10)
  };
  const ROW rows[] = {
      {"plain", [](WM_STYLE_SET&) {}, kBack, kBack, kBack},
      {"horizontal fading", [](WM_STYLE_SET& s) { s.drawing_flags = SSF_HFADING, s.fading_colour = 0xFF0000FF; },
       0xFF000081, 0xFF0000C0, 0xFF000080},
      {"vertical fading", [](WM_STYLE_SET& s) { s.drawing_flags = SSF_VFADING, s.fading_colour = 0xFF0000FF; },
       0xFF0000C1, 0xFF0000C1, 0xFF000080},
      {"to black by default", [](WM_STYLE_SET& s) { s.drawing_flags = SSF_HFADING; }, 0xFF00007F, 0xFF000040, 0xFF000080},
      {"darkened", [](WM_STYLE_SET& s) { s.drawing_flags = SSF_DARKENED_BACKGROUND; }, 0xFF404040, 0xFF404040, 0xFF404040},
      {"rounded", [](WM_STYLE_SET& s) { s.shading_flags = 255; }, kBack, kBack, kScreen},
      {"unset colour", [](WM_STYLE_SET& s) { s.bg_colour = 0x00000080; }, kScreen, kScreen, kScreen},
      // Half clear over the grey: each channel (grey x 127 + own x 128) >> 8.
      {"half clear", [](WM_STYLE_SET& s) { s.bg_colour = 0x80000080; }, 0xFF3F3F7F, 0xFF3F3F7F, 0xFF3F3F7F},
      {"skin frame",
       [](WM_STYLE_SET& s) {
         s.set_image_filename("lbl");
         strcpy(s.image_path, "$APP/skin");
         s.bg_colour = COLOUR_INVISIBLE;
         s.load_images();
       },
       red, red, red},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.name);
    clear_screen();
    WM_STYLE_SET style = plain(0);
    row.edit(style);
    WM_SCRIPT label(10, 10, 129, 49, &style, "");
    label.draw();
    EXPECT_EQ((std::vector<COLOUR>{pixel(11, 30), pixel(70, 30), pixel(10, 10)}),
              (std::vector<COLOUR>{row.left, row.centre, row.corner}));
    EXPECT_TRUE(label.hit_test(70, 30) && !label.hit_test(130, 30));
  }
}

TEST_F(Script, IconsInTheirGapOrBesideTheText) {
  const COLOUR red = 0xFFFF0000;
  struct ROW {
    uint32_t flags;
    uint16_t left_gap;
    int16_t icon_x, icon_y;  // top-left pixel of the 8 x 8 icon
    int text_from;           // first column the text may use
    bool icon = true;        // false: the icon is left empty
    uint16_t spacing = 1;    // between an attached icon and its text
  };
  // Label at (10, 10), 120 x 40; 12-pixel text centred at y = 24.
  const ROW rows[] = {
      {SSF_ICON_LEFT | SSF_LEFT_JUSTIFY_TEXT, 20, 16, 26, 30},
      {SSF_ICON_LEFT | SSF_ICON_ATTACH_TO_TEXT | SSF_LEFT_JUSTIFY_TEXT, 2, 12, 26, 21},
      // An empty icon takes no room: the text stays at the gap, however wide the spacing
      // (searched for from column 11).
      {SSF_ICON_LEFT | SSF_ICON_ATTACH_TO_TEXT | SSF_LEFT_JUSTIFY_TEXT, 2, 3, 26, 12, false, 8},
      // Above the text, 5 apart: icon, gap and text (25 rows) centred from row 17.
      {SSF_ICON_TOP | SSF_ICON_ATTACH_TO_TEXT | SSF_LEFT_JUSTIFY_TEXT, 2, 66, 17, 12, true, 5},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.flags);
    clear_screen();
    WM_STYLE_SET style = plain(row.flags);
    style.border_left_gap = row.left_gap;
    style.x_spacing = style.y_spacing = row.spacing;
    WM_SCRIPT label(10, 10, 129, 49, &style, "Text");
    ASSERT_TRUE(!row.icon || label.icon.create(8, 8));
    label.icon.fill_rect_solid(0, 0, 7, 7, &red);
    label.draw();
    const int16_t ix = row.icon_x, iy = row.icon_y;
    if (row.icon) {
      EXPECT_EQ((std::vector<COLOUR>{pixel(ix, iy), pixel(ix + 7, iy + 7), pixel(ix - 1, iy), pixel(ix + 8, iy + 8)}),
                (std::vector<COLOUR>{red, red, kBack, kBack}));
    }
    const INK text = ink_of(row.flags & SSF_ICON_TOP ? 10 : row.icon_x + 8, 10, 129, 49, kBack);
    EXPECT_GE(text.x1, row.text_from - 1);  // the glyph's edge may reach one pixel left
    EXPECT_LE(text.x1, row.text_from + 3);
  }
}

TEST_F(Script, ColoursAndImagesByName) {
  const COLOUR grey = 0xFF606060;
  for (const char* name : {"named_up.png", "named_flashing.png"})
    ASSERT_NO_FATAL_FAILURE(save_solid_png(name, grey));
  WM_SCRIPT label(10, 10, 49, 29, "", 255, 12, 12, kInk, COLOUR_INVISIBLE);
  EXPECT_FALSE(label.load_images(skin, nullptr, nullptr));
  EXPECT_TRUE(label.load_images(skin, "named", nullptr));  // falls back to "named_up"
  EXPECT_TRUE(label.flashing_image.is_loaded());
  // A missing flashing picture is looked for once: one saved later is not seen.
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(label.load_images(skin, "named_up", nullptr) && !label.flashing_image.is_loaded()) << round;
    ASSERT_NO_FATAL_FAILURE(save_solid_png("named_up_flashing.png", grey));
  }
  EXPECT_TRUE(label.load_images(skin, "named", nullptr));
  label.draw();
  EXPECT_EQ(pixel(30, 20), grey);
  // A style whose images are not loaded lends its folder and name instead.
  WM_STYLE_SET style = plain(0);
  style.set_image_filename("named");
  strcpy(style.image_path, "$APP/skin");
  WM_SCRIPT styled(0, 0, 9, 9, &style, "");
  EXPECT_TRUE(styled.image.is_loaded());
  EXPECT_TRUE(styled.flashing_image.is_loaded());
  style.load_images();  // loaded, with no plain picture it lends the "_up" one
  EXPECT_TRUE(WM_SCRIPT(0, 0, 9, 9, &style, "").image.is_loaded());
  // The tint recolours the picture.
  label.set_colours(0xFF00FF00, kInk, 0, false);
  label.draw();
  EXPECT_NE(pixel(30, 20), grey);
  EXPECT_EQ(label.background_colour, 0xFF00FF00u);
  // Points over clear pixels of the picture miss, unless the owner turns the
  // picture test off.
  ASSERT_NO_FATAL_FAILURE(save_solid_png("clear.png", 0));
  EXPECT_TRUE(label.hit_test(30, 20));
  ASSERT_TRUE(label.load_images(skin, "clear", nullptr));
  EXPECT_FALSE(label.hit_test(30, 20));
  label.add_child(new wm_test::BOX(28, 18, 4, 4, kInk), false);  // a child there takes it
  EXPECT_TRUE(label.hit_test(30, 20));
  label.text_flags |= script_flag::NO_IMAGE_HIT_TEST;
  EXPECT_TRUE(label.hit_test(30, 20));
  label.visible = 0;
  EXPECT_FALSE(label.hit_test(30, 20));
}

TEST_F(Script, WrappedTextFillsSeveralLines) {
  WM_STYLE_SET style = plain(SSF_WRAP_TEXT | SSF_LEFT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT);
  WM_SCRIPT label(10, 10, 79, 99, &style, "one two three four five six seven");
  label.draw();
  const INK ink = ink_of(10, 10, 79, 99, kBack);
  EXPECT_GE(ink.y2 - ink.y1, 36);  // at least three lines of 12 pixels
  EXPECT_LE(ink.x2, 77);           // inside the right gap
  EXPECT_LE(ink.x1, 14);
  EXPECT_EQ(pixel(80, 50), kScreen);
}

// Too wide a text loses its end or its middle to the font's "…" between
// whole characters (a code run stays whole), or to "..." in a font without
// it; a label with the ellipsis flag draws the cut text, one without it the
// whole text clipped.
TEST_F(Script, TooWideTextsEndInAnEllipsisOrLoseTheirMiddle) {
  IMAGE* s = get_screen_image();
  const TEXT_FONT font;
  const auto w = [s](const std::string& t) { return s->get_text_width(255, 65535, -1, t.c_str()); };
  // Texts as UTF-8; each cut is checked in characters.
  const struct {
    std::string text;
    std::string fits;  // the width allowed is this text's
  } rows[] = {
      {"abcdefgh", "abcdefgh"},  {"abcdefgh", "abc…"},           {"abcdefgh", "ab…gh"},
      {"/home/user/.demo/data/Demo Notes", "/home/…/Demo Notes"}, {"ЖЖЖЖЖЖ", "ЖЖ…"},
      {"aЖbЖcЖdЖe", "aЖ…Жe"}, {"abcdefgh", ""},
  };
  // "…" is three bytes of UTF-8, as "..." is three characters.
  const std::string ellipsis = "…";
  EXPECT_EQ(system_text_to_utf8(text_ellipsis(s, font).c_str()), ellipsis);
  EXPECT_EQ(text_ellipsis(s, {100, 65535, -1}), "...");  // a slot without a font
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text + " in " + r.fits);
    const std::string text = utf8_to_system_text(r.text.c_str(), r.text.size());
    const int32_t width = w(utf8_to_system_text(r.fits.c_str(), r.fits.size()));
    const bool whole = w(text) <= width;
    for (const bool middle : {false, true}) {
      const std::string cut = system_text_to_utf8(
          (middle ? fit_text_middle : fit_text_end)(s, font, text.c_str(), width).c_str());
      if (whole) {
        EXPECT_EQ(cut, r.text);
        continue;
      }
      const size_t dots = cut.find(ellipsis);
      ASSERT_NE(dots, std::string::npos) << cut;
      const std::string head = cut.substr(0, dots), tail = cut.substr(dots + 3);
      EXPECT_EQ(r.text.rfind(head, 0), 0u) << cut;
      EXPECT_EQ(r.text.substr(r.text.size() - tail.size()), tail) << cut;
      EXPECT_TRUE(middle || tail.empty()) << cut;
      // Just the width of as many characters on each side takes those.
      if (middle && r.fits.find(ellipsis) * 2 + 3 == r.fits.size()) {
        EXPECT_EQ(cut, r.fits);
      }
      EXPECT_LE(w(utf8_to_system_text(cut.c_str(), cut.size())), std::max(width, w(text_ellipsis(s, font))));
      // Not a character more would fit on the side it was cut from.
      if (!middle && !r.fits.empty()) {
        const size_t step = static_cast<size_t>(utf8_sequence_length(static_cast<uint8_t>(r.text[head.size()])));
        const std::string longer = r.text.substr(0, head.size() + step) + ellipsis;
        EXPECT_GT(w(utf8_to_system_text(longer.c_str(), longer.size())), width) << cut;
      }
    }
  }

  WM_STYLE_SET style = plain(SSF_LEFT_JUSTIFY_TEXT);
  style.font_x_sz = style.font_y_sz = 65535;
  const char* text = "a label far too long for its box";
  WM_SCRIPT cut(10, 10, 99, 39, &style, text);
  cut.text_flags |= script_flag::ELLIPSIS;
  cut.draw();
  const INK drawn = ink_of(10, 10, 99, 39, kBack);
  const std::string shown = fit_text_end(s, {cut.font, cut.font_width, static_cast<int16_t>(cut.font_height)},
                                         text, cut.width - cut.left_gap - cut.right_gap);
  const std::string shown_utf8 = system_text_to_utf8(shown.c_str());
  EXPECT_EQ(shown_utf8.substr(shown_utf8.size() - 3), "…");
  clear_screen();
  WM_SCRIPT same(10, 10, 99, 39, &style, shown.c_str());
  same.draw();
  const INK expected = ink_of(10, 10, 99, 39, kBack);
  EXPECT_EQ(drawn.x2, expected.x2);
  EXPECT_LT(drawn.x2, 99 - 2);  // the last dot ends inside the gap
}

TEST_F(Script, FlashesWithBlinkBitFive) {
  WM_STYLE_SET style = plain(0);
  style.flashing_text_colour = 0xFFFFFF00;
  WM_SCRIPT steady(10, 60, 129, 99, &style, "steady");
  WM_SCRIPT label(10, 10, 129, 49, &style, "normal");
  label.flashing_text.set_from_string(PARAMETER::VALUE, "FLASH");
  label.flashing_background_colour = 0xFF008000;
  const std::pair<uint32_t, uint8_t> frames[] = {{0, 0},    {1999, 0}, {2000, 1},
                                                 {3999, 1}, {4000, 0}, {6000, 1}};
  for (const auto& [ms, phase] : frames) {
    WM_SCREEN_OBJECT::set_frame_clock(ms);
    label.needs_redraw = 0;
    const uint8_t before = label.flash_phase;
    label.update(false);
    steady.update(false);
    EXPECT_EQ(label.flash_phase, phase) << ms;
    EXPECT_EQ(label.needs_redraw, before != phase ? 1 : 0) << ms;
    EXPECT_EQ(steady.flash_phase, 0) << ms;
    label.draw();
    EXPECT_EQ(pixel(11, 11), phase ? 0xFF008000 : kBack) << ms;
    const INK ink = ink_of(10, 10, 129, 49, phase ? 0xFF008000 : kBack);
    EXPECT_EQ(pixel(static_cast<int16_t>(ink.x1), static_cast<int16_t>(ink.y1)) != 0, true);
  }
  // In the flash phase the text is yellow.
  bool yellow = false;
  for (int px = 10; px < 130; ++px)
    for (int py = 10; py < 50; ++py)
      yellow |= pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == 0xFFFFFF00;
  EXPECT_TRUE(yellow);
}

TEST_F(Script, FitsItsTextWhenTheFarCornerComesFirst) {
  WM_STYLE_SET style = plain(0);
  style.border_left_gap = 3;
  style.border_right_gap = 4;
  style.border_top_gap = 5;
  style.border_bottom_gap = 6;
  const int32_t text_w = get_screen_image()->get_text_width(255, 12, 12, "Tooltip text");
  ASSERT_GT(text_w, 40);
  WM_SCRIPT fitted(0, 0, -5, -3, &style, "Tooltip text");
  EXPECT_EQ(fitted.width, text_w + 7);
  EXPECT_EQ(fitted.height, 12 + 11);
  // The colour form: gaps from the default border style (2 wide), the
  // surface's default height and one row more, as the accents over
  // capitals stand 3 rows above a 22-pixel line.
  WM_SCRIPT coloured(0, 0, -1, -1, "Tooltip text", 255, 12, 65535, kInk, kBack);
  EXPECT_EQ(coloured.width, text_w + 4);
  EXPECT_EQ(get_screen_image()->get_text_overhang(255, -1), 3);
  // Two rows of the overhang lie below a top gap of one; with no surface to
  // measure on there is nothing to make room for.
  EXPECT_EQ(accent_room(get_screen_image(), {255, 65535, -1}, 1), 2);
  EXPECT_EQ(accent_room(nullptr, {255, 65535, -1}, 0), 0);
  EXPECT_EQ(coloured.height, get_screen_image()->font_height + 4 + 1);
  EXPECT_EQ(coloured.kind & wm_kind::SCRIPT, wm_kind::SCRIPT);
  EXPECT_FALSE(coloured.is_selectable());
  // A null text is an empty one, which takes no width without gaps; a span
  // wider than 16 bits keeps the widest width.
  WM_SCRIPT empty(0, 0, -1, 19, &style, nullptr);
  EXPECT_EQ(empty.width, 7);
  EXPECT_EQ(empty.height, 20);
  style.border_left_gap = style.border_right_gap = 0;
  EXPECT_EQ(WM_SCRIPT(0, 0, -1, 19, &style, nullptr).width, 0);
  EXPECT_EQ(WM_SCRIPT(-32768, 0, 32767, 19, &style, "").width, 65535);
  EXPECT_EQ(WM_SCRIPT(5, 0, 5, 19, &style, "Tooltip text").width, 1);  // one column is a width too
}

TEST_F(Script, SetTextRedrawsAndOnlyGrows) {
  WM_STYLE_SET style = plain(0);
  WM_SCRIPT label(10, 10, 39, 29, &style, "a");
  label.visible = 1;
  const char* long_text = "longer";
  const int32_t wanted = get_screen_image()->get_text_width(255, 65535, -1, long_text) + 1;
  const struct {
    const char* text;
    bool grow;
    int32_t width;
  } rows[] = {{"b", false, 30}, {"", true, 30}, {long_text, false, 30}, {long_text, true, wanted}, {"", true, wanted}};
  for (const auto& row : rows) {
    dirty_rectangles().clear();
    label.set_text(row.text, row.grow);
    EXPECT_STREQ(label.text.get_text(PARAMETER::VALUE), row.text);
    EXPECT_EQ(label.width, row.width) << row.text;
    // The whole label, a widened part included, is marked for redrawing.
    int32_t right = -1;
    for (int32_t i = 0; i < dirty_rectangles().count(); ++i)
      right = std::max(right, dirty_rectangles().entry(i).x2);
    EXPECT_EQ(right, 10 + row.width - 1) << row.text;
  }
}

TEST_F(Script, StyleSizeHelpers) {
  struct ROW {
    uint16_t left, right, font_x;
    uint16_t gap_width;
  };
  const ROW rows[] = {{65535, 65535, 12, 12}, {4, 65535, 12, 10}, {65535, 5, 13, 11}, {3, 4, 12, 7},
                      {65535, 65535, 65535, static_cast<uint16_t>(get_screen_image()->font_width)}};
  for (const ROW& row : rows) {
    WM_STYLE_SET s;
    s.border_left_gap = row.left;
    s.border_right_gap = row.right;
    s.font_x_sz = row.font_x;
    EXPECT_EQ(WM_SCRIPT::style_gap_width(s), row.gap_width);
  }
  WM_STYLE_SET s;
  EXPECT_EQ(WM_SCRIPT::style_gap_height(s, 3), 6);
  s.border_top_gap = 4;
  EXPECT_EQ(WM_SCRIPT::style_gap_height(s, 3), 7);
  // An unset font height is the surface's, not 65535 wrapped.
  WM_STYLE_SET unset;
  unset.shading_type = 6;
  uint16_t w = 0, h = 0;
  WM_SCRIPT::style_label_size(unset, "xy", &w, &h);
  EXPECT_EQ(h, 2 * get_border_width(6) + get_screen_image()->font_height + 1);
  EXPECT_EQ(w, WM_SCRIPT::style_gap_width(unset) +
                   get_screen_image()->get_text_width(255, 65535, -1, "xy") + 1);
}

class OWNER : public wm_test::BOX {
 public:
  OWNER() : BOX(0, 0, 10, 10, 0xFF000000) {}
  int32_t process() override {
    ++calls;
    return result;
  }
  int32_t result = 0;
  int calls = 0;
};

TEST_F(Script, AttachedOwnerProcessesFirst) {
  WM_STYLE_SET style = plain(0);
  WM_SCRIPT label(10, 10, 39, 29, &style, "tip");
  EXPECT_EQ(label.process(), 0);
  OWNER owner;
  label.attached_object = &owner;
  for (const int32_t answer : {7, 0}) {
    owner.result = answer;
    EXPECT_EQ(label.process(), answer);
  }
  EXPECT_EQ(owner.calls, 2);
}

int created = 0;
void count_created(WM_SCREEN_OBJECT* object, uintptr_t) {
  if (object->kind & wm_kind::SCRIPT) ++created;
}

TEST_F(Script, APageOfLabels) {
  WM_SCREEN_OBJECT::object_created_hook = count_created;
  created = 0;
  const uint32_t flags[] = {
      SSF_LEFT_JUSTIFY_TEXT | SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER,
      SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_SHADOW_TEXT,
      SSF_RIGHT_JUSTIFY_TEXT | SSF_HFADING,
      SSF_TOP_ALIGN_TEXT | SSF_VFADING | SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER,
      SSF_BOTTOM_ALIGN_TEXT | SSF_DARKENED_BACKGROUND,
      SSF_WRAP_TEXT | SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER};
  const char* texts[] = {"Left", "Indented", "Right",
                         "Top",  "Bottom",   "A wrapped block of label text"};
  for (int i = 0; i < 6; ++i) {
    WM_STYLE_SET style = plain(flags[i]);
    style.shading_type = 6;
    style.shading_flags = i % 2 ? 255 : 15;
    style.fading_colour = 0xFF00C0C0;
    style.border_left_gap = style.border_right_gap = style.border_top_gap =
        style.border_bottom_gap = 4;
    const int16_t lx = static_cast<int16_t>(5 + (i % 2) * 98), ly = static_cast<int16_t>(5 + (i / 2) * 48);
    WM_SCRIPT label(lx, ly, static_cast<int16_t>(lx + 91), static_cast<int16_t>(ly + 43), &style,
                    texts[i]);
    label.draw();
  }
  WM_SCREEN_OBJECT::object_created_hook = nullptr;
  EXPECT_EQ(created, 6);
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(get_screen_image()->save_png(&png));
  EXPECT_TRUE(test_support::write_file(test_support::picture_output_folder() + "/labels.png", png.text()));
  EXPECT_EQ(pixel(6, 6), 0xFFFFFFFF);  // raised border of the first label
}

}  // namespace
