// A text window in a real window driven by XTEST pointer events: its scroll
// bar's slider scrolls the rows, a drag selects text that reads back, and a
// click calls back once on a tagged line and never on an untagged one. The
// scrolled, selected window is saved as a picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_pictures.h"
#include "wm_scrollbar.h"
#include "wm_text_win.h"
#include "wm_text_win_x11_fixture.h"

namespace {

std::vector<std::string> clicked;
int32_t on_click(WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
  clicked.push_back(static_cast<WM_TEXT_WIN*>(o)->clicked_tag);
  return 0;
}

using TextWinX11 = wm_test::PointerX11;
// The scroll bar's slider, track and arrows; the text; a tagged line.
const COLOUR bar[3] = {0xFF5070B0, 0xFFD8D8D8, 0xFF202020}, ink = 0xFF102040, tagged_ink = 0xFF0040C0;

}  // namespace

TEST_F(TextWinX11, ScrollsByItsBarSelectsByDraggingAndCallsBackOnTaggedLines) {
  WM_TEXT_WIN win(20, 20, 379, 219, 2, 100, 16, &bar[0], &bar[1], &bar[2], true, true, on_click,
                  0, 0);
  win.background_colour = 0xFFF4F4EC;
  frame = [&] { win.process(); };
  for (int i = 1; i <= 20; ++i)
    win.add_text(("Line " + std::to_string(i) + " of the licence text").c_str(),
                 i == 12 ? "https://example.org/licence" : "", i == 12 ? &tagged_ink : &ink, false,
                 true);
  ASSERT_NE(win.scrollbar, nullptr);
  const int32_t visible = win.get_visible_rows();
  ASSERT_EQ(win.scroll.get_int(PARAMETER::MAXIMUM), 20 - visible);
  EXPECT_EQ(win.scroll.get_int(PARAMETER::VALUE), 0);

  // Drag the slider (at the bottom: the newest rows) up to the top.
  WM_SCROLLBAR& bar_object = *win.scrollbar;
  const int bar_x = bar_object.x + bar_object.width / 2;
  const int slider_y = bar_object.get_slider_start() + bar_object.get_slider_extent() / 2;
  move_to(bar_x, slider_y);
  press();
  move(bar_x, bar_object.y + 1);
  ASSERT_TRUE(frames_until([&] {
    return win.scroll.get_int(PARAMETER::VALUE) == win.scroll.get_int(PARAMETER::MAXIMUM);
  }));
  release();
  EXPECT_STREQ(win.get_row(win.shown_row(0)).text, "Line 1 of the licence text");
  ASSERT_EQ(visible, 8);
  // Four rows back down, so that line 12 is the last row shown.
  win.scroll.set_int(PARAMETER::VALUE, win.scroll.get_int(PARAMETER::MAXIMUM) - 4);
  ASSERT_STREQ(win.get_row(win.shown_row(0)).text, "Line 5 of the licence text");

  // Drag across the first two shown rows: "Line 5 ..." and "Line 6".
  const RECT area = win.text_area();
  const int32_t row_h = win.get_row_height();
  const int32_t top = area.y1 + (area.height() - visible * row_h) / 2;
  move_to(area.x1 + 1, top + row_h / 2);
  press();
  const int end_x = area.x1 + win.row_width(win.shown_row(1), 6) - 1;
  move(end_x, top + row_h + row_h / 2);
  ASSERT_TRUE(frames_until([&] { return win.has_selection() && mouse.x == end_x; }));
  release();
  char text[128];
  win.get_selected_text(text, sizeof text);
  EXPECT_STREQ(text, "Line 5 of the licence text Line 6 ");
  EXPECT_TRUE(clicked.empty());

  // The picture of the scrolled, selected window.
  get_screen_image()->clear(nullptr, true);
  win.draw();
  bar_object.draw();
  save_screen("text_win_x11.png");
  EXPECT_TRUE(wm_test::screen_matches_reference("text_win"));

  // Line 12 is the last row shown; line 11 above it is untagged.
  const auto row_y = [&](int n) { return top + n * row_h + row_h / 2; };
  ASSERT_STREQ(win.get_row(win.shown_row(6)).text, "Line 11 of the licence text");
  click_at(area.x1 + 10, row_y(6));
  EXPECT_TRUE(clicked.empty());
  EXPECT_FALSE(win.has_selection());
  click_at(area.x1 + 10, row_y(7));
  EXPECT_EQ(clicked, (std::vector<std::string>{"https://example.org/licence"}));
  // The second button calls back too, once, also on the last column
  // before the 16 pixels of the bar.
  move_to(win.x + win.width - 1 - 16 - 1, row_y(7));
  button(true, 3);
  ASSERT_TRUE(frames_until([] { return (mouse.buttons & MOUSE::RIGHT) != 0; }));
  button(false, 3);
  ASSERT_TRUE(frames_until([] { return clicked.size() == 2; }));
  for (int i = 0; i < 5; ++i) frame();
  EXPECT_EQ(clicked.size(), 2u);
}

// Fewer lines than the view has rows, wrapped into more rows than it shows:
// the slider takes the view's share of the track, and the wheel turned over
// the text (not only over the bar) scrolls back by whole rows, also after
// another window's bar (an about box's, since closed) took the wheel.
TEST_F(TextWinX11, WrappedRowsShowOnTheSliderAndScrollByTheWheelOverTheText) {
  WM_TEXT_WIN win(20, 20, 379, 219, 2, 3, 16, &bar[0], &bar[1], &bar[2], false, true, nullptr, 0, 0);
  frame = [&] { win.process(); };
  const std::string words = "every word of this long line wraps onto rows of its own in the window";
  for (int i = 0; i < 3; ++i) win.add_text((words + " " + words).c_str(), "", &ink, false, true);
  ASSERT_NE(win.scrollbar, nullptr);
  const int32_t visible = win.get_visible_rows();
  ASSERT_GT(win.get_row_count(), visible);
  ASSERT_EQ(win.scroll.get_int(PARAMETER::MAXIMUM), win.get_row_count() - visible);
  const int32_t track = win.scrollbar->get_track_length();
  EXPECT_NEAR(win.scrollbar->get_slider_extent(), track * visible / win.get_row_count(), 2);

  {
    WM_TEXT_WIN other(20, 240, 379, 279, 2, 3, 16, &bar[0], &bar[1], &bar[2], false, true, nullptr, 0, 0);
    for (int i = 0; i < 3; ++i) other.add_text(words.c_str(), "", &ink, false, true);
    ASSERT_NE(other.scrollbar, nullptr);
  }
  const RECT area = win.text_area();
  move_to(area.x1 + area.width() / 2, area.y1 + area.height() / 2);
  for (int notch = 1; notch <= 2; ++notch) {
    button(true, 4);
    button(false, 4);
    ASSERT_TRUE(frames_until([&] { return win.scroll.get_int(PARAMETER::VALUE) >= notch; })) << notch;
  }
}
