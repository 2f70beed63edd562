// The dots of a capital "Ü" show in every widget that draws a line of
// text, at the default text size and a small one: the widget drawn with
// "Übrig" and again with "Ubrig" differs by exactly the pixels by which
// the two letters differ when drawn without any clip. All of them together
// are saved as "capital_accents.png", the folder browser with "ÄÖÜ" in its
// message and its path as "folder_browser_accents.png".
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "default_dialog_styles.h"
#include "dialog_pictures.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_dialog.h"
#include "wm_file_select.h"
#include "wm_manager.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_text_edit.h"
#include "wm_text_win.h"

namespace {

constexpr int16_t kWidth = 700, kHeight = 400;
constexpr COLOUR kDesk = 0xFF204060;

// Where two drawings of the screen differ: how many pixels, on how many rows.
struct DIFFERENCE {
  int count = 0, top = 1 << 30, bottom = -1;
  int rows() const { return bottom < top ? 0 : bottom - top + 1; }
};

DIFFERENCE difference(const std::vector<COLOUR>& a, const std::vector<COLOUR>& b, int w) {
  DIFFERENCE d;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i]) {
      ++d.count;
      d.top = std::min(d.top, static_cast<int>(i) / w);
      d.bottom = std::max(d.bottom, static_cast<int>(i) / w);
    }
  return d;
}

std::vector<COLOUR> picture_pixels(IMAGE& image) {
  std::vector<COLOUR> out;
  for (int16_t py = 0; py < image.height; ++py)
    for (int16_t px = 0; px < image.width; ++px) {
      COLOUR c = 0;
      image.get_pixel(px, py, &c);
      out.push_back(c);
    }
  return out;
}

// A widget showing the text with its top-left corner at (x, y).
using MAKE = std::function<WM_SCREEN_OBJECT*(const char* text, int16_t x, int16_t y)>;

class CapitalAccents : public wm_test::TextSkinTest {
protected:
  CapitalAccents() : TextSkinTest("capital_accents_test", kWidth, kHeight) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    use_onscreen_keyboard = 0;
    WM_DIALOG::init_default_styles();
  }
  void TearDown() override {
    root.destroy_children(true, 0, true);
    TextSkinTest::TearDown();
  }
  // The screen with the widgets made, painted on the desk colour.
  std::vector<COLOUR> drawn(const std::vector<MAKE>& makes, const char* text) {
    root.destroy_children(true, 0, true);
    get_screen_image()->fill_rect_solid(0, 0, kWidth - 1, kHeight - 1, &kDesk);
    for (size_t i = 0; i < makes.size(); ++i)
      root.add_child(makes[i](text, static_cast<int16_t>(10 + 350 * (i % 2)),
                              static_cast<int16_t>(10 + 105 * (i / 2))),
                     false);
    root.show();
    wm_test::paint_table(&root);
    return picture_pixels(*get_screen_image());
  }
  // "Ü" against "U" drawn on an unclipped scratch picture.
  static DIFFERENCE unclipped(int16_t size) {
    IMAGE scratch(80, 120);
    auto letter = [&](const char* text) {
      const COLOUR paper = 0xFFFFFFFF, ink = 0xFF000000;
      scratch.fill_rect_solid(0, 0, 79, 119, &paper);
      scratch.draw_text(10, 40, &ink, nullptr, nullptr, -1, size, size, text, 0);
      return picture_pixels(scratch);
    };
    return difference(letter("\xDC"), letter("U"), 80);
  }
  WM_MANAGER root;
};

TEST_F(CapitalAccents, TheDotsOfUmlautCapitalsShowInEveryOneLineText) {
  static WM_STYLE_SET field_style, window_style;
  field_style = WM_STYLE_SET();
  field_style.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  field_style.fg_colour = 0xFF000000;
  field_style.bg_colour = 0xFFFFFFFF;
  window_style = field_style;
  window_style.drawing_flags |= SSF_LEFT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT;
  static const DIALOG_EFFECTS still{0, 0, 0, 255};
  // The browser's message and path lines, each with the text; too large
  // for the overview, it gets a picture of its own.
  static const auto browser = [](const char* message, const char* path, int16_t x, int16_t y) {
    auto* b = new WM_FILE_SELECT(x, y, true, nullptr, 0, nullptr, nullptr, nullptr);
    b->open_at_once();
    b->message_label->set_text(message, false);
    b->path_label->set_text(path, false);
    return b;
  };
  const struct {
    const char* name;
    MAKE make;
    bool in_overview = true;
  } rows[] = {
      {"button", [](const char* t, int16_t x, int16_t y) {
         return new WM_BUTTON(x, y, -1, -1, &default_dialog_button_style(), t, nullptr, nullptr, 0, 0, 0); }},
      {"dialog title", [](const char* t, int16_t x, int16_t y) {
         return new WM_DIALOG(x, y, 300, 90, t, nullptr, nullptr, nullptr, &still); }},
      {"tooltip", [](const char* t, int16_t x, int16_t y) {
         return new WM_SCRIPT(x, y, -1, -1, &WM_BUTTON::tooltip_style(), t); }},
      {"check-box label", [](const char* t, int16_t x, int16_t y) {
         return new WM_CHECK_BOX(x, y, 0xFFC0C0C0, 0xFF000000, t, 255, -1, -1, nullptr, 0, 0, true); }},
      {"entry field", [](const char* t, int16_t x, int16_t y) {
         return new WM_TEXT_EDIT(x, y, 300, 100, t, &field_style, nullptr, 0, 0); }},
      {"text window's first row", [](const char* t, int16_t x, int16_t y) {
         auto* w = new WM_TEXT_WIN(x, y, int16_t(x + 300), int16_t(y + 90), &window_style, &window_style, 10, false,
                                   nullptr, 0, 0);
         w->add_text(t, nullptr, &window_style.fg_colour, false, true);
         return w; }},
      {"folder browser's message", [](const char* t, int16_t x, int16_t y) { return browser(t, "", x, y); },
       false},
      {"folder browser's path", [](const char* t, int16_t x, int16_t y) { return browser("", t, x, y); },
       false},
  };
  // Each size is the screen's default, which the widgets take.
  for (const int16_t size : {22, 13}) {
    get_screen_image()->font_width = get_screen_image()->font_height = size;
    // Rows the accents stand above the line: 3 at 22 pixels, 2 at 13; none
    // for a font slot that holds no font.
    EXPECT_EQ(get_screen_image()->get_text_overhang(255, size), size == 22 ? 3 : 2);
    EXPECT_EQ(get_screen_image()->get_text_overhang(100, size), 0);
    const DIFFERENCE dots = unclipped(size);
    ASSERT_GT(dots.count, 4);
    for (const auto& row : rows) {
      const DIFFERENCE d = difference(drawn({row.make}, "\xDC" "brig"), drawn({row.make}, "Ubrig"), kWidth);
      EXPECT_EQ(d.count, dots.count) << row.name << ", size " << size;
      EXPECT_EQ(d.rows(), dots.rows()) << row.name << ", size " << size;
    }
  }
  std::vector<MAKE> all;
  for (const auto& row : rows)
    if (row.in_overview) all.push_back(row.make);
  drawn(all, "\xDC" "brig \xC4" "nderungen \xD6" "l");
  wm_test::save_screen("capital_accents.png");
  EXPECT_TRUE(wm_test::screen_matches_reference("capital_accents"));
  drawn({[](const char* t, int16_t x, int16_t y) { return browser(t, t, x, y); }}, "Ziel \xC4\xD6\xDC");
  wm_test::save_screen("folder_browser_accents.png");
  EXPECT_TRUE(wm_test::screen_matches_reference("folder_browser_accents"));
}

}  // namespace
