// The text window without a display: lines split at LF and CR into a ring,
// rows wrapped at spaces within the text area (characters above 255 too),
// justified and aligned pixels that stay inside the text area, the scroll
// bar growing with the rows, selection and tag clicks through the polled
// pointer, and clearing, refilling and resizing while scrolled and selected.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "input.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "text_convert.h"
#include "wm_button.h"
#include "wm_keys.h"
#include "wm_manager.h"
#include "wm_scrollbar.h"
#include "wm_test_fonts.h"
#include "wm_text_win.h"

namespace {

constexpr COLOUR kPaper = 0xFFFFFFFF;
constexpr COLOUR kInk = 0xFF000080;

class TextWin : public wm_test::TextSkinTest {
protected:
  TextWin() : TextSkinTest("text_win_test", 640, 480) {}

  // A window with a white fill and no border, so that every changed pixel
  // is text; the default font is 22 pixels high.
  WM_TEXT_WIN* make(int16_t w, int16_t h, uint16_t capacity = 200, bool selectable = true) {
    win = std::make_unique<WM_TEXT_WIN>(20, 20, int16_t(20 + w - 1), int16_t(20 + h - 1), 2,
                                        capacity, 15, &bar_colours[0], &bar_colours[1],
                                        &bar_colours[2], selectable, true, on_click, 7, 0);
    win->background_colour = kPaper;
    win->text_flags &= ~text_win_flag::INDENTED_BORDER;
    return win.get();
  }
  // Every row as UTF-8, from the oldest.
  std::vector<std::string> rows() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < win->get_row_count(); ++i) {
      const WM_TEXT_WIN::ROW_VIEW r = win->get_row(win->row_at_age(i));
      std::string text = r.run_open ? std::string("\x01") + r.text : r.text;
      // Cut the row at its length, counted in characters.
      SYSTEM_TEXT_READER reader(text.c_str());
      uint32_t unit;
      for (int32_t k = 0; k < r.length; ++k) reader.next_unit(unit);
      text.resize(static_cast<size_t>(reader.position() - text.c_str()));
      if (reader.in_run()) text += '\x01';
      out.push_back(system_text_to_utf8(text.c_str()));
    }
    return out;
  }
  void render() {
    get_screen_image()->clear(&kBlack, true);
    paint(*win);
  }
  // The window and its scroll bar, as its page draws them.
  static void paint(WM_TEXT_WIN& w) {
    w.draw();
    if (w.scrollbar) w.scrollbar->draw();
  }
  // The rectangle of pixels that differ from the empty window's, the scroll
  // bar left out.
  RECT ink_box(const std::vector<COLOUR>& empty) const {
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    const std::vector<COLOUR> now = pixels_of(*win);
    for (size_t i = 0; i < now.size(); ++i) {
      if (now[i] == empty[i]) continue;
      const int32_t px = win->x + int32_t(i % win->width), py = win->y + int32_t(i / win->width);
      if (win->scrollbar && win->scrollbar->is_inside(int16_t(px), int16_t(py))) continue;
      box = {std::min(box.x1, px), std::min(box.y1, py), std::max(box.x2, px), std::max(box.y2, py)};
    }
    return box;
  }
  static int32_t on_click(WM_SCREEN_OBJECT* o, uintptr_t word, uintptr_t) {
    clicks.push_back(std::string(static_cast<WM_TEXT_WIN*>(o)->clicked_tag) + "/" +
                     std::to_string(word));
    return 0;
  }
  // Over the window made last, or over the one given.
  void drag(int x1, int y1, int x2, int y2, WM_TEXT_WIN* w = nullptr) {
    if (!w) w = win.get();
    input.move_to(x1, y1);
    input.press(1);
    w->process();
    input.move_to(x2, y2);
    w->process();
    input.release(1);
    w->process();
  }

  static constexpr COLOUR kBlack = 0xFF000000;
  static inline std::vector<std::string> clicks;
  const COLOUR bar_colours[3] = {0xFF6080C0, 0xFFD0D0D0, 0xFF000000};
  std::unique_ptr<WM_TEXT_WIN> win;
  test_support::INPUT_DRIVER input;
};

bool fail_nothrow_arrays = false;  // array allocations that may fail do, while set

}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (fail_nothrow_arrays) return nullptr;
  try { return ::operator new[](size); } catch (...) { return nullptr; }
}

TEST_F(TextWin, SplitsAtEveryLineEndAndDropsTheOldestLineOfAFullRing) {
  make(400, 200, 4);
  EXPECT_FALSE(win->add_text(nullptr, nullptr, nullptr, false, true));
  win->add_text("a\r\nb", nullptr, nullptr, false, true);
  EXPECT_EQ(rows(), (std::vector<std::string>{"a", "", "b"}));
  win->add_text("abc\n", "tag", nullptr, false, true);
  // Five lines into four slots: "a" went with its row.
  EXPECT_EQ(win->get_line_count(), 4);
  EXPECT_EQ(rows(), (std::vector<std::string>{"", "b", "abc", ""}));
  // A ring of one line holds the newest alone.
  make(400, 200, 1);
  win->add_text("first\nsecond", nullptr, nullptr, false, true);
  EXPECT_EQ(rows(), (std::vector<std::string>{"second"}));
  // A line needing more rows than the ring has, which cannot grow: the oldest rows give way.
  make(40, 200, 4);
  fail_nothrow_arrays = true;
  win->add_text("aa bb cc dd ee ff", nullptr, nullptr, false, true);
  fail_nothrow_arrays = false;
  EXPECT_EQ(rows(), (std::vector<std::string>{"cc", "dd", "ee", "ff"}));
}

// One table of wraps: each window is as wide as its `fits` text needs, each
// row fits the available width and holds at least one character, breaks
// fall on the last space that fits, and the pixels of each justification
// stay inside the text area.
TEST_F(TextWin, WrapsWithinTheAreaAndJustifiesInsideIt) {
  const struct {
    const char* name;
    const char* fits;  // UTF-8, as are text and expected
    uint16_t flags;
    const char* text;
    std::vector<std::string> expected;
  } cases[] = {
      {"spaces", "aaa bbb", text_win_flag::LEFT_JUSTIFY, "aaa bbb ccc ddd", {"aaa bbb", "ccc ddd"}},
      {"spaces run together", "aaa bbb", text_win_flag::LEFT_JUSTIFY, "aaa bbb    ccc",
       {"aaa bbb", "ccc"}},
      {"hard break", "WWWW", text_win_flag::LEFT_JUSTIFY, "WWWWWWWWWW", {"WWWW", "WWWW", "WW"}},
      {"space after the first character", "WWWW", text_win_flag::LEFT_JUSTIFY, "W WWWWW", {"W", "WWWW", "W"}},
      // An address breaks after a "/" or "." near the end of the row; one
      // far back is no place to break.
      {"address", "http://www.vorn-libraries.exa", text_win_flag::LEFT_JUSTIFY,
       "see http://www.vorn-libraries.example.org/", {"see", "http://www.vorn-libraries.", "example.org/"}},
      {"mark far back", "WWWWWW", text_win_flag::LEFT_JUSTIFY, "W.WWWWWWWWWW", {"W.WWWW", "WWWWWW"}},
      {"mark two back in a short row", "WWWW", text_win_flag::LEFT_JUSTIFY, "WW.WWWWW", {"WW.W", "WWWW"}},
      {"narrower than a character", "", text_win_flag::LEFT_JUSTIFY, "WWW", {"W", "W", "W"}},
      {"one character wide", "W", text_win_flag::LEFT_JUSTIFY, "WWW", {"W", "W", "W"}},
      {"runs above 255", "ЖЖЖ ЖЖЖ", text_win_flag::RIGHT_JUSTIFY, "ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ ЖЖЖ",
       {"ЖЖЖ ЖЖЖ", "ЖЖЖ ЖЖЖ", "ЖЖЖ"}},
      {"hard break in a run", "ΩΩΩ", text_win_flag::LEFT_JUSTIFY, "ΩΩΩΩΩΩΩ", {"ΩΩΩ", "ΩΩΩ", "Ω"}},
      {"the first code above 255", "ĀĀ", text_win_flag::LEFT_JUSTIFY, "ĀĀĀ", {"ĀĀ", "Ā"}},
      {"centred", "middle middle", 0, "middle", {"middle"}},
      {"right", "right right", text_win_flag::RIGHT_JUSTIFY, "right", {"right"}},
      {"right of a scroll bar", "right right", text_win_flag::RIGHT_JUSTIFY,
       "r\nr\nr\nr\nr\nr\nr\nr\nr\nr", std::vector<std::string>(10, "r")},
  };
  make(100, 100);
  const int32_t gaps = win->left_gap + win->right_gap + 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string fits = utf8_to_system_text(c.fits, strlen(c.fits));
    const int32_t w = gaps + get_screen_image()->get_text_width(255, 65535, -1, fits.c_str());
    make(static_cast<int16_t>(w), 200);
    win->text_flags = c.flags;
    render();
    const std::vector<COLOUR> empty = pixels_of(*win);
    win->add_text(utf8_to_system_text(c.text, strlen(c.text)).c_str(), nullptr, &kInk, false, true);
    EXPECT_EQ(rows(), c.expected);
    for (int32_t r = 0; r < win->get_row_count(); ++r) {
      EXPECT_GE(win->get_row(r).length, 1);
      if (win->get_row(r).length > 1) {
        EXPECT_LE(win->row_width(r, INT32_MAX), w - gaps) << r;
      }
    }
    render();
    const RECT ink = ink_box(empty), area = win->text_area();
    ASSERT_FALSE(ink.empty());
    EXPECT_TRUE(ink.x1 >= area.x1 && ink.x2 <= area.x2 && ink.y1 >= area.y1 && ink.y2 <= area.y2)
        << ink.x1 << "," << ink.y1 << " " << ink.x2 << "," << ink.y2;
    if (c.flags & text_win_flag::LEFT_JUSTIFY) {
      EXPECT_LE(ink.x1 - area.x1, 3);
    } else if (c.flags & text_win_flag::RIGHT_JUSTIFY) {
      EXPECT_LE(area.x2 - ink.x2, 4);
    } else {
      EXPECT_NEAR(ink.x1 - area.x1, area.x2 - ink.x2, 3);
    }
    // Neither top nor bottom alignment: the block is centred vertically.
    EXPECT_NEAR(ink.y1 - area.y1, area.y2 - ink.y2, win->get_row_height() / 2 + 2);
    dirty_rectangles().clear();
    EXPECT_TRUE((win->clear(), dirty_rectangles().count() > 0)) << "cleared, to be painted empty";
  }

  // The rounded-corner border flags round the fill: the corner pixels stay
  // unpainted, the edges' middles are filled.
  make(200, 100);
  win->border_flags = border_flag::ALL_CORNERS;
  render();
  EXPECT_EQ(wm_test::pixel(win->x, win->y), kBlack);
  EXPECT_EQ(wm_test::pixel(int16_t(win->x + 199), int16_t(win->y + 99)), kBlack);
  EXPECT_EQ(wm_test::pixel(int16_t(win->x + 100), win->y), kPaper);

  // A darkened window halves what lies under it, to its last pixel and no
  // further: (20, 20) to (219, 119).
  make(200, 100);
  win->text_flags |= text_win_flag::DARKENED_BACKGROUND;
  const COLOUR grey = 0xFFC8C8C8, half = 0xFF646464;
  get_screen_image()->fill_rect_solid(0, 0, 639, 479, &grey);
  win->draw();
  for (const auto& [px, py, c] : {std::tuple{20, 20, half}, {219, 119, half}, {220, 119, grey},
                                   {219, 120, grey}, {19, 20, grey}, {20, 19, grey}})
    EXPECT_EQ(wm_test::pixel(int16_t(px), int16_t(py)), c) << px << "," << py;
  // Four rings of border on a window two rows high stay inside it: row 22 is untouched.
  make(200, 2)->text_flags |= text_win_flag::INDENTED_BORDER;
  win->border_style = 9;
  render();
  EXPECT_EQ(wm_test::pixel(120, 22), kBlack);
}

TEST_F(TextWin, ScrollBarComesWithTheFirstHiddenRowAndTheViewFollowsOrStaysAtTheTop) {
  // The first hidden row, the bar and the view: AScriptedWindowReadsAsItsTranscript.
  // A drag held in the first row's band scrolls toward the top, one row a
  // frame; held in the last row's band, toward the bottom.
  make(300, 100);
  win->add_text("1\n2\n3\n4\n5\n6\n7", "", nullptr, false, true);
  ASSERT_EQ(win->scroll.get_int(PARAMETER::MAXIMUM), 3);
  const int32_t band_top = win->y + win->top_gap + 2, band_bottom = win->y + win->height - 1 - win->bottom_gap - 2;
  // Each band is one row high: 22 pixels inside the gaps.
  const int32_t below_top = win->y + win->top_gap + 22, above_bottom = win->y + win->height - 1 - win->bottom_gap - 22;
  input.move_to(win->x + 20, win->y + 50);
  input.press(1);
  win->process();
  for (const auto& [py, value] : {std::pair{band_top, 1}, {band_top + 1, 2}, {band_top, 3}, {band_top + 1, 3},
                                  {band_bottom, 2}, {band_bottom - 1, 1}, {above_bottom, 1},
                                  {above_bottom + 1, 0}, {below_top, 0}, {below_top - 1, 1}}) {
    input.move_to(win->x + 20, py);
    win->process();
    EXPECT_EQ(win->scroll.get_int(PARAMETER::VALUE), value) << py;
  }
  input.release(1);
  win->process();

  // A new font size wraps by the new widths; back at the old one nothing
  // is hidden and the slider fills its track again.
  make(300, 100, 5);
  win->add_text("aaa bbb ccc ddd eee", "", nullptr, false, true);
  EXPECT_EQ(win->get_row_count(), 1);
  const auto [fw, fh] = std::pair(win->font_w, win->font_h);
  win->font_w = win->font_h = 100;
  win->rewrap();
  EXPECT_GT(win->get_row_count(), 4);
  ASSERT_NE(win->scrollbar, nullptr);
  EXPECT_EQ(win->scrollbar->get_slider_extent(), 15);  // one row hidden: all a five-line ring can travel
  std::tie(win->font_w, win->font_h) = std::pair(fw, fh);
  win->rewrap();
  EXPECT_EQ(win->scrollbar->get_slider_extent(), win->scrollbar->get_track_length());
  // Likewise when a two-line ring drops a line that wrapped to four rows.
  make(300, 100, 2);
  win->scrollbar_style.extended_flags |= SSEF_SB_WITH_BUTTONS;  // as long as the bar is wide, 15
  for (const char* line :
       {"aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj kkkk llll mmmm nnnn oooo pppp qqqq rrrr", "x", "y"})
    win->add_text(line, "", nullptr, false, true);
  ASSERT_EQ(rows(), (std::vector<std::string>{"x", "y"}));
  ASSERT_NE(win->scrollbar, nullptr);
  // The bar is 94 pixels long; the buttons keep their length.
  EXPECT_EQ(std::pair(win->scrollbar->get_slider_extent(), win->scrollbar->get_track_length()), std::pair(64, 64));

  // A style with a font height of 0 takes the surface's rows.
  WM_STYLE_SET style;
  style.font_y_sz = 0;
  WM_TEXT_WIN styled(0, 0, 199, 99, &style, nullptr, 10, false, nullptr, 0, 0);
  EXPECT_EQ(styled.get_row_height(), get_screen_image()->font_height);
  EXPECT_EQ(styled.font_w, get_screen_image()->font_width);  // unset: the surface's
  style.font_x_sz = style.font_y_sz = 1;  // the smallest font is kept
  WM_TEXT_WIN tiny(0, 0, 199, 99, &style, nullptr, 10, false, nullptr, 0, 0);
  EXPECT_EQ(std::pair(int{tiny.font_w}, tiny.get_row_height()), std::pair(1, 1));
}

TEST_F(TextWin, LoadsAFileAndAddsAnyNumberOfLinesWithoutRecursion) {
  make(300, 100, 50);
  EXPECT_FALSE(win->load_text_file(skin, "missing.txt", &kInk));
  ASSERT_TRUE(test_support::write_file(scratch.file("app/skin/notes.txt"), "first line\nsecond line\n" +
                                       std::string(1023, 'a') + "\n" + std::string(1024, 'b')));
  EXPECT_TRUE(win->load_text_file(skin, "notes.txt", &kInk));
  EXPECT_EQ(win->get_line_count(), 5);  // 1023 bytes make one line, 1024 two

  // Two hundred thousand lines in one text, and one line that wraps into
  // thousands of rows: both finish on a bounded stack.
  win->add_text(std::string(200000, '\n').c_str(), nullptr, nullptr, false, true);
  EXPECT_EQ(win->get_line_count(), 50);
  win->add_text(std::string(20000, 'W').c_str(), nullptr, nullptr, false, true);
  // Every row of the held lines stays: 49 empty lines and the whole long one.
  int32_t characters = 0;
  for (int32_t i = 0; i < win->get_row_count(); ++i) characters += win->get_row(win->row_at_age(i)).length;
  EXPECT_EQ(characters, 20000);
  EXPECT_EQ(win->get_row(win->row_at_age(49)).text[0], 'W');
  // Rows double up to 4194304: 16384 lines of 129 characters, a
  // character a row, keep every one of their 2113536 rows.
  std::string lines;
  for (int i = 0; i < 16384; ++i) lines += std::string(129, 'W') + '\n';
  lines.pop_back();
  make(20, 100, 16384)->add_text(lines.c_str(), nullptr, nullptr, false, true);
  EXPECT_EQ(std::pair(win->get_line_count(), win->get_row_count()), std::pair(16384, 2113536));
}

// However many rows the held lines wrap into, each can be scrolled to, and
// a long text kept at the top opens at its first row; a whole file keeps
// every line, a ring of lines still drops the oldest.
TEST_F(TextWin, EveryHeldLineCanBeScrolledToAndAWholeFileOpensAtItsFirstLine) {
  const std::string words = "one two three four five six seven eight nine ten eleven twelve";
  std::string file_text;
  for (int i = 1; i <= 300; ++i) file_text += "line " + std::to_string(i) + " " + words + "\n";
  ASSERT_TRUE(test_support::write_file(scratch.file("app/skin/licence.txt"), file_text));

  const struct {
    const char* name;
    uint16_t capacity;
    int lines;         // added one by one; 0 = the file instead
    bool whole;        // the file loaded whole (after the lines)
    int first_line;    // the line the view opens at
    int held;          // lines held afterwards
  } cases[] = {
      {"wrapped lines in a ring of as many", 10, 10, false, 1, 10},
      {"one wrapped line among short ones", 4, 4, false, 1, 4},
      {"a whole file longer than the ring", 250, 0, true, 1, 300},
      {"a ring gives up its oldest lines", 250, 0, false, 51, 250},
      {"a whole file after the ring turned", 4, 10, true, 7, 304},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    make(200, 120, c.capacity, false);
    win->keep_at_top = 1;
    for (int i = 1; i <= c.lines; ++i) {
      const std::string line = "line " + std::to_string(i) + (i == 1 || c.lines == 10 ? " " + words : "");
      win->add_text(line.c_str(), "", &kInk, false, true);
    }
    if (c.lines == 0 || c.whole) {
      ASSERT_TRUE(win->load_text_file(skin, "licence.txt", &kInk, c.whole));
    }
    EXPECT_EQ(win->get_line_count(), c.held);
    int32_t lost = 0;  // rows that no longer read their line
    for (int32_t i = 0; i < win->get_row_count(); ++i) lost += win->get_row(win->row_at_age(i)).text == nullptr;
    EXPECT_EQ(lost, 0);
    ASSERT_NE(win->scrollbar, nullptr);
    EXPECT_GT(win->get_row_count(), c.held);
    const std::string opening = "line " + std::to_string(c.first_line) + " ";
    EXPECT_EQ(std::string(win->get_row(win->shown_row(0)).text).rfind(opening, 0), 0u)
        << win->get_row(win->shown_row(0)).text;
    // The far end of the bar shows the oldest row, the near end the newest.
    EXPECT_EQ(win->shown_row(0), win->row_at_age(0));
    win->scroll.set_int(PARAMETER::VALUE, 0);
    EXPECT_EQ(win->shown_row(win->get_visible_rows() - 1), win->row_at_age(win->get_row_count() - 1));
    EXPECT_GE(win->scrollbar->slider_length, 15);
    win->rewrap();  // again from the oldest line held
    EXPECT_EQ(std::string(win->get_row(win->row_at_age(0)).text).rfind(opening, 0), 0u);
  }
}

TEST_F(TextWin, DragSelectsReadableTextAndClicksCallBackOnlyOnTaggedLines) {
  make(400, 200);
  clicks.clear();
  win->add_text("alpha beta", "", &kInk, false, true);
  win->add_text("gamma delta", "link", &kInk, false, true);
  const RECT area = win->text_area();
  const int32_t top = win->y + win->top_gap + (area.height() - 2 * 22) / 2;
  const int32_t row0_y = top + 11, row1_y = top + 33;

  // Drag from the start of "alpha" (its first pixel row) into "delta": the text reads back.
  drag(area.x1 + 1, top, area.x1 + win->row_width(1, 8) - 1, row1_y);
  char text[64];
  EXPECT_EQ(win->get_selected_text(text, sizeof text), strlen("alpha beta gamma de "));
  EXPECT_STREQ(text, "alpha beta gamma de ");
  EXPECT_TRUE(clicks.empty());
  // The selected glyphs are drawn in the colour readable on the row colour.
  render();
  COLOUR readable;
  colour_text_for(&readable, &kInk);
  bool found = false;
  for (int px = area.x1; px < area.x1 + 40 && !found; ++px)
    for (int py = top; py < top + 22 && !found; ++py) found = wm_test::pixel(px, py) == readable;
  EXPECT_TRUE(found);
  // The row colour backs the selected characters up to their last column.
  const int32_t end = area.x1 + win->row_width(1, 8);
  EXPECT_EQ(wm_test::pixel(end - 1, top + 22), kInk);
  EXPECT_EQ(wm_test::pixel(end, top + 22), kPaper);

  // Small buffers are cut on characters and terminated; size 0 writes nothing.
  char small[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(win->get_selected_text(small, 0), 0u);
  EXPECT_EQ(small[0], 'x');
  EXPECT_EQ(std::tuple(win->get_selected_text(small, 4), win->get_selected_text(text, 12)), std::tuple(3u, 11u));
  EXPECT_STREQ(small, "alp");  // and the row's space fits just before the terminator
  EXPECT_EQ(small[5], 'x');
  // char_at stays within its row, however far right the pointer is; the first glyph's right edge is the second's.
  const int32_t edge = area.x1 + win->row_width(0, 1);
  EXPECT_EQ(std::tuple(win->char_at(0, area.x2), win->char_at(0, edge - 1), win->char_at(0, edge)), std::tuple(9, 0, 1));
  // Dragged from inside the first row, the next row still reads from its start.
  drag(area.x1 + win->row_width(0, 2) + 1, row0_y, area.x1 + win->row_width(1, 8) - 1, row1_y);
  EXPECT_EQ(win->get_selected_text(text, sizeof text), strlen("pha beta gamma de "));
  EXPECT_STREQ(text, "pha beta gamma de ");

  // A drag straight down onto the tagged row is no click on it. A click on
  // the untagged row clears the selection only; the tagged row calls back
  // once; a release outside the text drops the press.
  drag(area.x1 + 5, row0_y, area.x1 + 5, row1_y);
  drag(area.x1 + 5, row0_y, area.x1 + 5, row0_y);
  EXPECT_FALSE(win->has_selection());
  EXPECT_TRUE(clicks.empty());
  drag(area.x1 + 5, row1_y, area.x1 + 5, row1_y);
  EXPECT_EQ(clicks, (std::vector<std::string>{"link/7"}));
  EXPECT_EQ(win->clicked_tag, nullptr);
  drag(area.x1 + 5, row1_y, 5, 5);
  input.move_to(area.x1 + 5, row1_y);
  win->process();
  EXPECT_EQ(clicks.size(), 1u);

  // Characters above 255 read back in their run, closed before the space;
  // a window made without selectable text, or from a style without it,
  // selects nothing.
  make(400, 200);
  win->add_text(utf8_to_system_text("ab \xD0\x96\xD0\x96", 7).c_str(), "", &kInk, false, true);
  drag(area.x1 + 1, row0_y + 11, area.x2, row0_y + 11);
  const std::string run = utf8_to_system_text("ab \xD0\x96\xD0\x96", 7) + " ";
  EXPECT_EQ(win->get_selected_text(text, sizeof text), run.size());
  EXPECT_EQ(text, run);
  drag(area.x1 + 1, area.y2 - 2, area.x1 + 40, area.y2 - 4);  // a drag from below the rows
  EXPECT_FALSE(win->has_selection());
  make(400, 200)->text_flags |= text_win_flag::BOTTOM_ALIGN;  // a selected last row is backed to the area's end
  win->add_text("alpha\nbeta", "", &kInk, false, true);
  drag(area.x1 + 1, area.y2 - 5, area.x2, area.y2 - 5);
  EXPECT_EQ((render(), wm_test::pixel(area.x1 + 2, win->y + win->height - 1 - win->bottom_gap)), kInk);
  make(400, 200, 200, false)->add_text("alpha beta", "", &kInk, false, true);
  drag(area.x1 + 1, row0_y + 11, area.x2, row0_y + 11);
  EXPECT_FALSE(win->has_selection());
  WM_STYLE_SET style;
  win = std::make_unique<WM_TEXT_WIN>(20, 20, 419, 219, &style, nullptr, 10, false, nullptr, 0, 0);
  for (int i = 0; i < 12; ++i) win->add_text("alpha beta", "", &kInk, false, true);
  drag(area.x1 + 1, area.y1 + 30, area.x1 + 60, area.y1 + 60);
  EXPECT_FALSE(win->has_selection());
}

TEST_F(TextWin, ClearedRefilledAndResizedWhileScrolledAndSelected) {
  make(300, 120, 40);
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 60; ++i)
      win->add_text(("line " + std::to_string(i) + " with a few words to wrap").c_str(),
                    i % 2 ? "odd" : "", &kInk, true, true);
    ASSERT_NE(win->scrollbar, nullptr);
    win->scroll.set_int(PARAMETER::VALUE, 5);
    const RECT area = win->text_area();
    drag(area.x1 + 2, area.y1 + 30, area.x1 + 60, area.y1 + 60);
    EXPECT_TRUE(win->has_selection());
    render();
    win->set_size(static_cast<uint16_t>(200 + 50 * round), 150, true);
    EXPECT_EQ(win->width, 200 + 50 * round);  // the height alone may stay
    EXPECT_EQ(rows().front().rfind("line 20 ", 0), 0u);  // the oldest line held still comes first
    // The view is back at the newest row; no row beyond the held ones.
    EXPECT_EQ(win->shown_row(win->get_visible_rows() - 1), win->row_at_age(win->get_row_count() - 1));
    for (const int32_t age : {win->get_row_count(), -1}) EXPECT_EQ(win->row_at_age(age), WM_TEXT_WIN::NONE) << age;
    render();
    char text[256];
    win->get_selected_text(text, sizeof text);
    win->clear();
    EXPECT_EQ(win->get_row_count(), 0);
    EXPECT_EQ(win->scrollbar, nullptr);
    render();
  }
}

// Windows through a script of additions, scrolling, resizes and clearing,
// and drags; after each step one line of what a caller sees: the
// lines and rows held, the rows in view, the scroll range and place, the
// bar's slider, track and page, the text area and the rows shown, top
// first. Against tests/references/dialogs4/text_win_script.txt.
TEST_F(TextWin, AScriptedWindowReadsAsItsTranscript) {
  std::ostringstream out;
  auto note = [&](const std::string& what) {
    const RECT a = win->text_area();
    out << what << ": lines " << win->get_line_count() << " rows " << win->get_row_count() << " view "
        << win->get_visible_rows() << " scroll " << win->scroll.get_int(PARAMETER::VALUE) << "/"
        << win->scroll.get_int(PARAMETER::MAXIMUM);
    if (const WM_SCROLLBAR* b = win->scrollbar)
      out << " bar " << b->get_slider_extent() << "/" << b->get_track_length() << " page " << b->page_step;
    out << " area " << a.x1 << "," << a.y1 << "-" << a.x2 << "," << a.y2 << " [";
    for (int32_t i = 0; i < win->get_visible_rows(); ++i) {
      const WM_TEXT_WIN::ROW_VIEW r = win->get_row(win->shown_row(i));
      out << (i ? "|" : "") << (r.text ? std::string(r.text, static_cast<size_t>(r.length)) : "-");
    }
    out << "]\n";
  };
  auto add = [&](const char* text) {
    win->add_text(text, "", &kInk, false, true);
    std::string shown;
    for (const char* p = text; *p; ++p) shown += *p == '\n' ? "\\n" : *p == '\r' ? "\\r" : std::string(1, *p);
    note("add " + shown);
  };
  make(300, 100, 6);
  note("made");
  add("1\n2\n3\n4");
  add("5");
  win->scroll.set_int(PARAMETER::VALUE, 1);
  note("scrolled to 1");
  add("6");
  add("7");
  add("aaa bbb ccc ddd eee fff ggg hhh iii jjj kkk");
  for (const auto& [w, h] : {std::pair{200, 100}, {300, 200}, {300, 100}, {300, 56}, {300, 55}, {20, 100}}) {
    win->scroll.set_int(PARAMETER::VALUE, 1);  // a resize keeps no scrolled place
    win->set_size(uint16_t(w), uint16_t(h), true);
    note("size " + std::to_string(w) + "x" + std::to_string(h));
  }
  win->set_size(300, 100, true);
  win->keep_at_top = 1;
  add("8");
  win->rewrap();
  note("rewrapped");
  win->clear();
  note("cleared");
  add("x");
  // All rows fit after the ring dropped its oldest line: oldest still on top.
  make(400, 200, 4);
  add("a\r\nb");
  add("abc\n");
  // Drags between characters, forwards and backwards within a row and
  // across rows: the text selected.
  make(400, 200)->text_flags |= text_win_flag::TOP_ALIGN;
  win->add_text("alpha beta\ngamma delta", "", &kInk, false, true);
  auto x_of = [&](int32_t row, int32_t c) { return win->text_area().x1 + win->row_width(row, c) + 1; };
  for (const auto& [r1, c1, r2, c2] : {std::tuple{0, 1, 1, 3}, {1, 3, 0, 1}, {0, 6, 0, 2}, {0, 2, 0, 6},
                                       {1, 0, 1, 0}, {1, 9, 0, 9}}) {
    drag(x_of(r1, c1), win->y + win->top_gap + 22 * r1 + 11, x_of(r2, c2), win->y + win->top_gap + 22 * r2 + 11);
    char text[64];
    win->get_selected_text(text, sizeof text);
    out << "drag " << r1 << ":" << c1 << " to " << r2 << ":" << c2 << ": [" << text << "]\n";
  }
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "text_win_script", out.str()));
}

// A long text read with the keyboard, the wheel and the track. The window
// is a Tab stop, its focus mark inside its border, only while it scrolls.
// Focused, Up and Down move one row, Page Up and Page Down a view less one
// row, Home and End (with Control or not) go to the ends; while a button
// of its page has the focus, Page Up and Page Down reach it as long as
// nothing else on the page scrolls. A wheel notch moves three rows, a click
// on the track a view less one row.
TEST_F(TextWin, KeysTheWheelAndTheTrackReadALongTextByRowsAndPages) {
  WM_MANAGER page;
  auto* w = new WM_TEXT_WIN(20, 20, 319, 219, 2, 100, 15, &bar_colours[0], &bar_colours[1],
                            &bar_colours[2], false, true, nullptr, 0, 0);
  w->background_colour = kPaper;
  w->text_flags &= ~text_win_flag::INDENTED_BORDER;
  w->keep_at_top = 1;
  page.add_child(w, false);
  auto* button = new WM_BUTTON(20, 240, -1, -1, kPaper, kInk, "OK", 255, 65535, 65535,
                               BUTTON_BEHAVIOUR::NORMAL, 0, 15, nullptr, 0, 0, true, 0);
  button->selectable = 1;
  page.add_child(button, false);
  // Short, the text takes no key.
  w->add_text("1", "", &kInk, false, true);
  EXPECT_FALSE(w->is_selectable());
  button->set_focus();
  input.key(wm_key::PAGE_DOWN);
  page.process();
  EXPECT_EQ(key_queue.get_last_key(), wm_key::PAGE_DOWN);
  for (int i = 2; i <= 40; ++i) w->add_text(std::to_string(i).c_str(), "", &kInk, false, true);
  ASSERT_TRUE(w->is_selectable());
  // A button of another page, and an object that is no button.
  WM_MANAGER elsewhere;
  auto* stranger = new WM_BUTTON(20, 240, -1, -1, kPaper, kInk, "No", 255, 65535, 65535,
                                 BUTTON_BEHAVIOUR::NORMAL, 0, 15, nullptr, 0, 0, true, 0);
  stranger->selectable = 1;
  elsewhere.add_child(stranger, false);
  auto* plain_object = new WM_SCREEN_OBJECT(true, nullptr, 0, 0);
  plain_object->selectable = 1;
  page.add_child(plain_object, false);
  const int32_t v = w->get_visible_rows(), last = 40 - v;
  ASSERT_EQ(v, 8);
  // The row at the top of the view, counted from the text's first.
  auto top = [&] { return last - w->scroll.get_int(PARAMETER::VALUE); };

  // The focus mark: the pixels focusing changes lie on one ring inside the
  // window, left of the bar.
  get_screen_image()->clear(&kBlack, true);
  const std::vector<COLOUR> plain = drawn(*w);
  w->set_focus();
  const std::vector<COLOUR> marked = drawn(*w);
  const RECT ring{w->x + 3, w->y + 3, w->x + w->width - 4 - 15, w->y + w->height - 4};
  int ring_dots = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (plain[i] == marked[i]) continue;
    const int32_t px = w->x + int32_t(i % w->width), py = w->y + int32_t(i / w->width);
    EXPECT_TRUE((px == ring.x1 || px == ring.x2 || py == ring.y1 || py == ring.y2) && ring.contains(px, py))
        << px << "," << py;
    ++ring_dots;
  }
  EXPECT_GT(ring_dots, 200);

  // What has the focus; the key, with Control or not; the row then at the
  // top; whether the key was taken (else it stays for others).
  enum FOCUS { WINDOW, BUTTON, OTHER_PAGES_BUTTON, NO_BUTTON, BUTTON_BESIDE_A_SECOND_TEXT };
  const struct {
    FOCUS focus;
    uint32_t key;
    bool control;
    int32_t top;
    bool taken;
  } steps[] = {
      {WINDOW, wm_key::DOWN, false, 1, true},               {WINDOW, wm_key::DOWN, false, 2, true},
      {WINDOW, wm_key::UP, false, 1, true},                 {WINDOW, wm_key::DOWN, true, 1, true},
      {WINDOW, wm_key::PAGE_DOWN, false, 1 + v - 1, true},  {WINDOW, wm_key::PAGE_UP, false, 1, true},
      {WINDOW, wm_key::PAGE_UP, false, 0, true},            {WINDOW, wm_key::END, false, last, true},
      {WINDOW, wm_key::DOWN, false, last, true},            {WINDOW, wm_key::HOME, false, 0, true},
      {WINDOW, wm_key::END, true, last, true},              {WINDOW, wm_key::HOME, true, 0, true},
      {WINDOW, wm_key::LEFT, false, 0, false},              {BUTTON, wm_key::PAGE_DOWN, false, v - 1, true},
      {BUTTON, wm_key::PAGE_DOWN, false, 2 * (v - 1), true}, {BUTTON, wm_key::DOWN, false, 2 * (v - 1), false},
      {BUTTON, wm_key::END, false, 2 * (v - 1), false},     {BUTTON, wm_key::PAGE_UP, false, v - 1, true},
      {OTHER_PAGES_BUTTON, wm_key::PAGE_UP, false, v - 1, false}, {NO_BUTTON, wm_key::PAGE_UP, false, v - 1, false},
      {BUTTON_BESIDE_A_SECOND_TEXT, wm_key::PAGE_UP, false, v - 1, false},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << step.focus << " " << std::hex << step.key << " " << step.control);
    if (step.focus == BUTTON_BESIDE_A_SECOND_TEXT && page.children.size() == 3) {
      auto* other = new WM_TEXT_WIN(340, 20, 539, 119, 2, 20, 15, nullptr, nullptr, nullptr, false,
                                    true, nullptr, 0, 0);
      for (int i = 0; i < 10; ++i) other->add_text("more", "", &kInk, false, true);
      ASSERT_NE(other->scrollbar, nullptr);
      page.add_child(other, false);
    }
    WM_SCREEN_OBJECT* focused[] = {w, button, stranger, plain_object, button};
    focused[step.focus]->set_focus();
    if (step.control) wm_test::held_keys.insert(wm_key::CONTROL_L);
    input.key(step.key);
    page.process();
    wm_test::held_keys.clear();
    EXPECT_EQ(key_queue.get_last_key(), step.taken ? 0u : step.key);
    EXPECT_EQ(top(), step.top);
  }

  // The wheel over the text, a notch down; a click on the track below the
  // slider.
  w->scroll.set_int(PARAMETER::VALUE, last);
  input.move_to(w->x + 40, w->y + 40);
  page.process();
  input.turn_wheel(-1);
  page.process();
  EXPECT_EQ(top(), 3);
  input.move_to(w->scrollbar->x + 7, w->y + w->height - 10);
  input.press(1);
  page.process();
  input.release(1);
  page.process();
  EXPECT_EQ(top(), 3 + v - 1);
  page.destroy_children(true, 0, true);
}


// Text windows in every look side by side: the borders, fills and fades,
// justification and alignment, the text effects, a selection, the focus
// mark and a scroll bar beside wrapped rows, each window as its own flags
// draw it; the whole screen against tests/references/dialogs2/text_windows.png.
TEST_F(TextWin, EveryLookMatchesItsReference) {
  using namespace text_win_flag;
  const uint16_t looks[] = {INDENTED_BORDER | LEFT_JUSTIFY | TOP_ALIGN, RAISED_BORDER | RIGHT_JUSTIFY | BOTTOM_ALIGN,
                            0, DARKENED_BACKGROUND | LEFT_JUSTIFY, HORIZONTAL_FADING | LEFT_JUSTIFY,
                            VERTICAL_FADING | RIGHT_JUSTIFY | TOP_ALIGN, SHADOW | LEFT_JUSTIFY, INSET | LEFT_JUSTIFY,
                            CHISELED | RIGHT_JUSTIFY, INDENTED_BORDER | LEFT_JUSTIFY, RAISED_BORDER | LEFT_JUSTIFY,
                            INDENTED_BORDER | LEFT_JUSTIFY};
  constexpr COLOUR kGround = 0xFF707070, kFade = 0xFF80C0FF, kLink = 0xFFC02020;
  get_screen_image()->clear(&kGround, true);
  std::vector<std::unique_ptr<WM_TEXT_WIN>> windows;
  for (int i = 0; i < 12; ++i) {
    const auto x = int16_t(10 + i % 3 * 210), y = int16_t(10 + i / 3 * 117);
    auto& w = windows.emplace_back(std::make_unique<WM_TEXT_WIN>(
        x, y, int16_t(x + 199), int16_t(y + 106), 2, 20, 15, &bar_colours[0], &bar_colours[1], &bar_colours[2],
        true, true, on_click, 7, 0));
    w->text_flags = looks[i];
    w->background_colour = i == 3 ? COLOUR_INVISIBLE : kPaper;
    w->fading_colour = kFade;
    const int lines = i == 11 ? 6 : 1;
    for (int k = 0; k < lines; ++k) w->add_text("Alpha beta gamma delta", "", &kInk, false, true);
    w->add_text("eta theta", "link", &kLink, false, true);
  }
  // The tenth window has a part of its middle row selected by a drag, the
  // eleventh the focus.
  WM_TEXT_WIN* dragged = windows[9].get();
  const RECT area = dragged->text_area();
  const int middle = (area.y1 + area.y2) / 2;
  drag(area.x1 + 30, middle, area.x1 + 110, middle, dragged);
  WM_SCREEN_OBJECT::focus_object = windows[10].get();
  for (auto& w : windows) paint(*w);
  WM_SCREEN_OBJECT::focus_object = nullptr;
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs2", "text_windows", *get_screen_image()));
}

// More looks against tests/references/dialogs4/text_windows_more.png: round
// corners over a plain, a fading across, a fading down and a darkened fill,
// a skin picture in place of fill and border, a selection over three rows,
// rows kept at the top, a style's font, gaps and raised border, and the
// focus on a window scrolled into its middle; a window one row high.
TEST_F(TextWin, MoreLooksMatchTheirReference) {
  using namespace text_win_flag;
  constexpr COLOUR kGround = 0xFF707070, kFade = 0xFF80C0FF;
  const uint16_t looks[] = {INDENTED_BORDER | LEFT_JUSTIFY, HORIZONTAL_FADING, VERTICAL_FADING | RIGHT_JUSTIFY,
                            DARKENED_BACKGROUND | LEFT_JUSTIFY, LEFT_JUSTIFY, LEFT_JUSTIFY | TOP_ALIGN,
                            LEFT_JUSTIFY, 0, INDENTED_BORDER | LEFT_JUSTIFY};
  const uint16_t corners[] = {15 | border_flag::ALL_CORNERS, 0x30, 0xC0, border_flag::ALL_CORNERS, 0, 0, 0, 0, 15};
  save_solid_png("tw_frame.png", 0xFFC08040);
  WM_STYLE_SET style;
  style.font_x_sz = 12;
  style.font_y_sz = 16;
  style.border_left_gap = style.border_top_gap = 9;
  style.drawing_flags = SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_SHADOW_TEXT;
  style.bg_colour = kPaper;
  get_screen_image()->clear(&kGround, true);
  std::vector<std::unique_ptr<WM_TEXT_WIN>> windows;
  for (int i = 0; i < 9; ++i) {
    const auto x = int16_t(10 + i % 3 * 210), y = int16_t(10 + i / 3 * 150);
    auto& w = windows.emplace_back(
        i == 7 ? std::make_unique<WM_TEXT_WIN>(x, y, int16_t(x + 199), int16_t(y + 139), &style, nullptr, 20, true,
                                               on_click, 7, 0)
               : std::make_unique<WM_TEXT_WIN>(x, y, int16_t(x + 199), int16_t(y + 139), 2, 20, 15, &bar_colours[0],
                                               &bar_colours[1], &bar_colours[2], true, true, on_click, 7, 0));
    if (i != 7) {
      w->text_flags = looks[i];
      w->border_flags = corners[i];
      w->background_colour = kPaper;
      w->fading_colour = kFade;
    }
    if (i == 4) {
      EXPECT_TRUE(w->set_frame(skin, "tw_frame", nullptr));
    }
    w->keep_at_top = i == 6;
    const int lines = i >= 5 && i != 7 ? 8 : 2;
    for (int k = 0; k < lines; ++k)
      w->add_text(("Row " + std::to_string(k) + " alpha beta").c_str(), "", &kInk, false, true);
  }
  // A window one row high without gaps, its row at the top: the row moves
  // down just so far that the accents over capitals stay inside.
  auto& low = windows.emplace_back(std::make_unique<WM_TEXT_WIN>(
      10, 453, 209, 476, 0, 20, 15, &bar_colours[0], &bar_colours[1], &bar_colours[2], true, true, on_click, 7, 0));
  low->text_flags = LEFT_JUSTIFY | TOP_ALIGN;
  low->top_gap = low->bottom_gap = 0;
  low->set_size(200, 25, false);
  low->add_text("\xC9t\xC9 jumpy quays", "", &kInk, false, true);
  const RECT area = windows[5]->text_area();
  drag(area.x1 + 20, area.y1 + 11, area.x1 + 50, area.y1 + 55, windows[5].get());  // rows 0 to 2
  windows[8]->scroll.set_int(PARAMETER::VALUE, 2);
  WM_SCREEN_OBJECT::focus_object = windows[8].get();
  for (auto& w : windows) paint(*w);
  WM_SCREEN_OBJECT::focus_object = nullptr;
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs4", "text_windows_more", *get_screen_image()));
}

