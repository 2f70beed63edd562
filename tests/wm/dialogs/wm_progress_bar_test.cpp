// Progress bars on the headless screen: where the fill goes for any value,
// in colours and from skin frames, across and upright, the texts on the
// bar, overlays scrolling on the fake clock, the once-a-second platform
// frame, and the end of a program that builds a bar off its screen.
#include "wm_progress_bar.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

#include "errors.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kScreen = 0xFF202020, kBack = 0xFF404040, kFill = 0xFF00C000,
                 kEmpty = 0xFF0000C0, kInk = 0xFFEEDD11, kAltInk = 0xFFFF0000;

class ProgressBar : public wm_test::TextSkinTest {
protected:
  ProgressBar() : TextSkinTest("progress_bar_test", 200, 150) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    clear();
    for (const auto& [name, colour] :
         {std::pair{"pb_bg", kBack}, {"pb_empty", kEmpty}, {"pb_full", kFill}, {"pb_alt", kAltInk}}) {
      IMAGE picture(4, 4);
      picture.fill_rect_solid(0, 0, 3, 3, &colour);
      save_png(std::string(name) + ".png", picture);
    }
  }
  static void clear() { get_screen_image()->fill_rect_solid(0, 0, 199, 149, &kScreen); }
  // Gaps 4, 4, 2, 2, a 10 x 12 font and a total of 100; the text colours
  // unset unless asked. A new bar starts at 0.
  static std::unique_ptr<WM_PROGRESS_BAR> bar(int16_t x, int16_t y, uint16_t w, uint16_t h,
                                              const char* title, uint8_t flags, int32_t value = 0) {
    auto b = std::make_unique<WM_PROGRESS_BAR>(x, y, w, h, title, 100, &kBack, &kInk, &kFill,
                                               flags, 255, 10, 12, 4, 4, 2, 2);
    b->text_colour = COLOUR_INVISIBLE;
    if (value) b->value = value;
    return b;
  }
  // The first and last index along a line whose pixel has the colour; -1
  // when none. Horizontal lines run along row `at`, vertical ones down
  // column `at`.
  static std::pair<int, int> run_of(COLOUR c, bool vertical, int at) {
    int first = -1, last = -1;
    for (int i = 0; i < (vertical ? 150 : 200); ++i) {
      const COLOUR p = vertical ? wm_test::pixel(static_cast<int16_t>(at), static_cast<int16_t>(i))
                                : wm_test::pixel(static_cast<int16_t>(i), static_cast<int16_t>(at));
      if (p != c) continue;
      if (first < 0) first = i;
      last = i;
    }
    return {first, last};
  }
  // The pixels of exactly that colour inside the rectangle.
  static std::set<std::pair<int, int>> ink_of(COLOUR c, RECT r = RECT::sized(0, 0, 200, 150)) {
    std::set<std::pair<int, int>> s;
    for (int py = r.y1; py <= r.y2; ++py)
      for (int px = r.x1; px <= r.x2; ++px)
        if (wm_test::pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == c) s.insert({px, py});
    return s;
  }
};

// A bar at (10, 10), 100 x 20 (inner 91 x 13 from x 14, y 12), border 2;
// upright at (150, 10), 20 x 120 (inner 11 x 115 from y 12). The fill may
// never reach the frame's border, whatever the value.
TEST_F(ProgressBar, FillLiesWhereTheValueSaysAndNeverOutsideItsFrame) {
  using namespace progress_flag;
  const struct {
    uint8_t flags;
    bool skinned, empty;
    int32_t total, value;
    const char* title;
    int fill_first, fill_last, empty_first, empty_last;
    COLOUR fill = kFill, seen = kFill;  // the bar's colour, and what its fill shows
  } rows[] = {
      {NO_SHADING, false, true, 100, 0, nullptr, 16, 18, 19, 103},  // F = 2B + 1
      {NO_SHADING, false, true, 100, 50, nullptr, 16, 59, 60, 103},
      {NO_SHADING, false, true, 100, 50, nullptr, 16, 59, 60, 103, 0x0100FF00, 0xFF3F403F},  // faint, blended
      {NO_SHADING, false, true, 100, 100, nullptr, 16, 103, -1, -1},
      {NO_SHADING, false, true, 100, 250, nullptr, 16, 103, -1, -1},
      {NO_SHADING, false, true, 100, -40, nullptr, 16, 18, 19, 103},
      {NO_SHADING, false, true, 0, 0, nullptr, 16, 103, -1, -1},  // no total: full
      {NO_SHADING | ONLY_BAR, false, true, 100, 100, nullptr, 14, 105, -1, -1},
      {NO_SHADING | ONLY_BAR, false, true, 0, 0, nullptr, 14, 105, -1, -1},
      {NO_SHADING, false, false, 1 << 30, (1 << 30) - 1, nullptr, 16, 103, -1, -1},
      {0, true, false, 100, 50, nullptr, 14, 60, 61, 105},  // skins have no border
      {0, true, false, 100, 0, nullptr, -1, -1, 14, 105},   // no full frame at 0
      {0, true, false, 100, 100, nullptr, 14, 105, -1, -1},
      {NO_SHADING, false, true, 100, 50, "", 20, 61, 62, 103},  // an empty title takes a gap
      {NO_SHADING | VERTICAL, false, true, 100, 0, "ignored", 123, 125, 14, 122},
      {NO_SHADING | VERTICAL, false, true, 100, 50, nullptr, 70, 125, 14, 69},
      {NO_SHADING | VERTICAL, false, true, 100, 100, nullptr, 14, 125, -1, -1},
      {VERTICAL, true, false, 100, 30, nullptr, 92, 127, 12, 91},
      {0, true, false, 100, 1, nullptr, 14, 18, 19, 105},  // the least fill shows the frame at its least
      {VERTICAL, true, false, 100, 1, nullptr, 125, 127, 12, 124},
  };
  for (const auto& r : rows) {
    clear();
    const bool vertical = (r.flags & VERTICAL) != 0;
    auto b = vertical ? bar(150, 10, 20, 120, r.title, r.flags, r.value) : bar(10, 10, 100, 20, r.title, r.flags, r.value);
    if (r.empty) b->empty_colour = kEmpty;
    b->bar_colour = r.fill;
    if (r.skinned) {
      ASSERT_TRUE(b->set_skin(skin, "pb", nullptr));
      if (r.value < r.total) b->alt_frame.clear();  // at the total it is loaded, and must not show
    }
    b->total = r.total;
    b->draw();
    const int at = vertical ? 160 : 18;
    const auto fill = run_of(r.seen, vertical, at);
    const auto empty = run_of(kEmpty, vertical, at);
    SCOPED_TRACE(testing::Message() << r.value << "/" << r.total << " flags " << int{r.flags});
    EXPECT_EQ(fill, std::make_pair(r.fill_first, r.fill_last));
    EXPECT_EQ(empty, std::make_pair(r.empty_first, r.empty_last));
    EXPECT_EQ(run_of(kAltInk, vertical, at).first, -1);
    EXPECT_EQ(vertical && r.title ? b->get_title() : nullptr, nullptr);
  }
}

// A title longer than the bar leaves no room: nothing of the bar is drawn
// and nothing wraps into a huge width; nor is a fill squeezed into a frame
// too small for it.
TEST_F(ProgressBar, TitleTextAndAlternativePercentageGoWhereTheyFit) {
  auto b = bar(10, 10, 60, 20, "A title far too long for it", progress_flag::NO_SHADING, 50);
  b->draw();
  EXPECT_EQ(run_of(kFill, false, 18).first, -1);
  EXPECT_EQ(ink_of(kInk).size(), ink_of(kInk, RECT::sized(14, 12, 56, 16)).size());
  EXPECT_FALSE(ink_of(kInk).empty());  // the title, cut to the bar
  clear();
  b = bar(150, 10, 20, 8, nullptr, progress_flag::NO_SHADING | progress_flag::VERTICAL, 50);
  b->draw();  // an upright frame 3 pixels high has no inside to fill
  EXPECT_TRUE(ink_of(kFill).empty());
  clear();
  b = bar(10, 40, 100, 6, nullptr, progress_flag::NO_SHADING, 50);
  b->text_colour = kInk;
  b->draw();  // nor room for "50%" inside a frame 2 pixels high
  EXPECT_TRUE(ink_of(kInk).empty());
  clear();
  b = bar(10, 40, 100, 5, nullptr, 0);
  ASSERT_TRUE(b->set_skin(skin, "pb", nullptr));
  b->draw();  // a skin's empty part one pixel high still shows, on that row
  EXPECT_FALSE(ink_of(kEmpty).empty());
  EXPECT_EQ(ink_of(kEmpty), ink_of(kEmpty, RECT::sized(14, 42, 92, 1)));
  EXPECT_FALSE(b->set_skin(skin, nullptr, nullptr));  // no base name: the frames go
  clear();
  b->draw();
  EXPECT_TRUE(ink_of(kEmpty).empty());
  // A bare bar with one row, or one column, inside fills just that.
  for (const auto& [w, h, fill_w, fill_h] : {std::array{100, 5, 92, 1}, {9, 20, 1, 16}}) {
    clear();
    b = bar(10, 40, static_cast<uint16_t>(w), static_cast<uint16_t>(h), nullptr,
            progress_flag::NO_SHADING | progress_flag::ONLY_BAR, 100);
    b->draw();
    EXPECT_EQ(ink_of(kFill).size(), static_cast<size_t>(fill_w * fill_h)) << w;
    EXPECT_EQ(ink_of(kFill), ink_of(kFill, RECT::sized(14, 42, fill_w, fill_h))) << w;
  }

  // Total 200, value 10: the program's text from the inner left edge, as
  // the fill (to 23) is narrower than it, "95%" in the alternative colour
  // over the empty part (23..183).
  clear();
  b = bar(10, 40, 180, 24, nullptr,
          progress_flag::NO_SHADING | progress_flag::TEXT_ON_BAR | progress_flag::ALT_PERCENTAGE, 10);
  b->total = 200;
  b->text_colour = kInk;
  b->alt_text_colour = kAltInk;
  b->set_text("ok", false);
  b->draw();
  const auto drawn_ink = ink_of(kInk);
  const auto drawn_alt = ink_of(kAltInk);
  IMAGE* screen = get_screen_image();
  clear();
  const auto tw = static_cast<int16_t>(screen->get_text_width(255, 10, 12, "ok"));
  screen->draw_text_block(16, 44, 16 + tw + 1, 60, &kInk, nullptr, nullptr, -1, 10, 12, "ok", 0);
  screen->draw_text_block(23, 44, 183, 60, &kAltInk, nullptr, nullptr, -1, 10, 12, "95%", 0);
  EXPECT_FALSE(drawn_alt.empty());
  EXPECT_EQ(drawn_ink, ink_of(kInk));
  EXPECT_EQ(drawn_alt, ink_of(kAltInk));
  // Near full (197 of 201), "1%" (1.99, cut) no longer fits over the empty
  // part: it stands against the inner right end (183) instead.
  clear();
  b->total = 201;
  b->value = 197;
  b->draw();
  const auto near_full = ink_of(kAltInk);
  clear();
  const auto aw = static_cast<int16_t>(screen->get_text_width(255, 10, 12, "1%"));
  screen->draw_text_block(static_cast<int16_t>(182 - aw), 44, 183, 60, &kAltInk, nullptr, nullptr, -1, 10, 12, "1%", 0);
  EXPECT_FALSE(near_full.empty());
  EXPECT_EQ(near_full, ink_of(kAltInk));
}

// Bars side by side in the looks a program asks for: shaded with a title
// and the percentage, the text following the fill across and upright (a
// fill shorter than the text and a long one), a program's text, a style's
// flags and its pictures, and skin frames with the alternative part across
// and upright; the whole screen against
// tests/references/dialogs4/progress_bars.png.
TEST_F(ProgressBar, EveryLookMatchesItsReference) {
  using namespace progress_flag;
  const struct {
    int16_t x, y;
    uint16_t w, h;
    const char* title;
    uint8_t flags;
    int32_t value;
    const char* text;
    bool skinned;
  } rows[] = {
      {4, 4, 130, 22, "Disk", 0, 30, nullptr, false},
      {4, 30, 130, 22, nullptr, TEXT_ON_BAR | ALT_PERCENTAGE, 60, nullptr, false},
      {4, 56, 130, 22, nullptr, TEXT_ON_BAR | NO_OUTER_BORDER, 3, "ok", false},
      {4, 82, 130, 22, nullptr, TEXT_ON_BAR | ALT_PERCENTAGE, 50, nullptr, true},
      {4, 108, 130, 22, "Skin", 0, 75, nullptr, true},
      {136, 4, 30, 142, nullptr, VERTICAL | TEXT_ON_BAR | ALT_PERCENTAGE, 4, nullptr, false},
      {168, 4, 30, 142, nullptr, VERTICAL | TEXT_ON_BAR | ALT_PERCENTAGE, 85, nullptr, true},
  };
  for (const auto& r : rows) {
    auto b = bar(r.x, r.y, r.w, r.h, r.title, r.flags, r.value);
    b->empty_colour = kEmpty;
    b->text_colour = kInk;
    b->alt_text_colour = kAltInk;
    if (r.skinned) {
      ASSERT_TRUE(b->set_skin(skin, "pb", nullptr));
    }
    if (r.text) b->set_text(r.text, false);
    b->draw();
  }
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER;
  style.extended_flags = SSEF_PB_POSITION_TEXT_ON_BAR | SSEF_PB_NO_SHADING;
  style.bg_colour = kBack;
  style.highlight_colour = kFill;
  style.highlight_text_colour = kInk;
  WM_PROGRESS_BAR styled(4, 133, 64, 16, nullptr, 10, &style);
  // A loaded style's own pictures, the background too, over its colours.
  style.set_image_filename("pb");
  ASSERT_TRUE(skin.get_path_text(style.image_path, sizeof style.image_path, nullptr));
  style.load_images();
  WM_PROGRESS_BAR pictured(70, 133, 64, 16, nullptr, 10, &style);
  pictured.value = 3;
  pictured.draw();
  styled.value = 9;
  styled.draw();
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs4", "progress_bars", *get_screen_image()));
}

// An 8 x 4 tiled overlay over the full frame, scrolled 10 ms per pixel at
// most every 300 ms, on a clock that wraps its 32 bits on the way; each
// step of the overlay's clock asks for the bar to be painted again.
TEST_F(ProgressBar, OverlaysScrollWithTheClock) {
  test_support::INPUT_DRIVER input(0xFFFFFE00u);
  IMAGE stripe(8, 4);
  const COLOUR mark = 0xFFFFFF00, clear_colour = 0;
  stripe.fill_rect_solid(0, 0, 7, 3, &clear_colour);
  stripe.fill_rect_solid(0, 0, 0, 3, &mark);
  save_png("pb_full_tolay.png", stripe);
  auto b = bar(10, 10, 100, 20, nullptr, 0, 100);
  ASSERT_TRUE(b->set_skin(skin, "pb", nullptr));
  const struct {
    int16_t rate;
    uint32_t advance;
    int16_t offset;
    bool repainted;
  } steps[] = {{10, 300, 0, false}, {10, 1, 6, true}, {10, 400, 6, true}, {10, 350, 1, true},
               {-10, 310, 2, true}, {-10, 90, 2, false}, {-10, 220, 3, true}, {0, 5000, 3, false},
               {1, 302, 1, true}, {-10, 330, 0, true}};
  std::vector<COLOUR> last;
  for (const auto& s : steps) {
    b->animation_x_rate = s.rate;
    input.advance_ms(s.advance);
    dirty_rectangles().clear();
    b->update(false);
    EXPECT_EQ(std::pair(b->full_frame.overlay_x, dirty_rectangles().count() > 0), std::pair(s.offset, s.repainted))
        << s.advance;
    clear();
    const auto now = drawn(*b);
    if (!last.empty()) {
      EXPECT_EQ(now == last, s.offset == (&s - 1)->offset) << s.advance;
    }
    last = now;
  }
}

TEST_F(ProgressBar, PlatformFrameRunsAtMostOncePerSecond) {
  test_support::INPUT_DRIVER input(5000999);
  static int frames = 0;
  frames = 0;
  WM_PROGRESS_BAR::set_platform_frame([] { ++frames; });
  WM_PROGRESS_BAR::last_poll_second = -1;
  auto b = bar(10, 10, 100, 20, nullptr, 0);
  const struct {
    uint32_t advance;
    int calls, frames;
  } steps[] = {{0, 50, 1}, {1, 1, 2}, {998, 30, 2}, {2, 1, 3}, {3000, 2, 4}};
  for (const auto& s : steps) {
    input.advance_ms(s.advance);
    for (int i = 0; i < s.calls; ++i) b->update_and_poll();
    EXPECT_EQ(frames, s.frames) << s.advance;
  }
  b->set_text("now", true);  // the same second: drawn, no frame
  EXPECT_EQ(frames, 4);
  WM_PROGRESS_BAR::set_platform_frame(nullptr);
}

TEST_F(ProgressBar, ABarOffItsScreenEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const auto& [x, y] : {std::pair{150, 10}, {-1, 10}, {10, 140}}) {
    EXPECT_EXIT(
        {
          set_message_box_handler(message_box_to_stderr);
          bar(static_cast<int16_t>(x), static_cast<int16_t>(y), 60, 20, nullptr, 0);
        },
        ::testing::ExitedWithCode(255), "Invalid dimensions passed to progress bar");
  }
  EXPECT_NE(bar(0, 0, 200, 150, nullptr, 0), nullptr);  // the whole screen, to its last pixel
  EXPECT_EQ(WM_PROGRESS_BAR(0, 0, 100, 20, nullptr, 10, nullptr).visible, 1);  // no style: shown
}

}  // namespace
