// Tickers in the headless screen on the fake clock: passes item by item and
// joined, repeat counts, sticky-aware dropping, pause and resume, passes
// that end at once, long joined texts, the text's pixels kept to its strip,
// and items that come and go while passes run.
#include "wm_ticker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_driver.h"
#include "timing.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kScreen = 0xFF404040;
constexpr COLOUR kInk = 0xFFFFFF00;

WM_TICKER_TEXT ink() {
  WM_TICKER_TEXT t;
  t.colour = kInk;
  t.font_w = t.font_h = 16;
  return t;
}

class Ticker : public wm_test::TextSkinTest {
protected:
  Ticker() : TextSkinTest("ticker_test", 400, 100) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    clear_screen();
    set_frame(0);
  }
  void clear_screen() {
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 399, 99, &c);
  }
  // Both clocks on by ms.
  void set_frame(uint64_t ms) {
    if (ms) input.advance_ms(ms);
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  int32_t width_of(const char* text) {
    return get_screen_image()->get_text_width(FONT_DEFAULT, 16, 16, text);
  }
  // Ticks until the current item changes; the text x seen on the way.
  static std::vector<int32_t> run_pass(WM_TICKER& t, Ticker& test, uint64_t step_ms) {
    std::vector<int32_t> xs{t.get_text_x()};
    const int16_t item = t.get_current_item();
    for (int i = 0; i < 100000; ++i) {
      test.set_frame(step_ms);
      t.update(false);
      if (t.get_current_item() != item || t.get_text_x() == t.x + t.width) break;
      xs.push_back(t.get_text_x());
    }
    return xs;
  }
  test_support::INPUT_DRIVER input{1000000};
};

TEST_F(Ticker, ScrollsOneItemPerPassAcrossTheWholeWidth) {
  WM_TICKER t(100, 20, 299, 39, 2000, 0, ink(), CLICK_MODE::ON_PRESS);
  EXPECT_EQ(t.kind, wm_kind::TICKER);
  EXPECT_FALSE(t.is_selectable());
  for (const char* s : {"First", "Second item", "3"}) t.add_item(s, 0, 0, 65535);
  const char* expected[] = {"First", "Second item", "3", "First"};
  for (const char* text : expected) {
    t.update(false);
    // A pass starts at the right edge without a redraw.
    ASSERT_STREQ(t.get_item(t.get_current_item())->text.c_str(), text);
    EXPECT_EQ(t.get_text_x(), 300);
    const int32_t extent = width_of(text);
    const std::vector<int32_t> xs = run_pass(t, *this, 10);
    // It moves left at a steady pace (each 10 ms step travels the same
    // distance, give or take a rounding) until its right end has left.
    for (size_t i = 2; i < xs.size(); ++i) {
      EXPECT_LE(xs[i], xs[i - 1]);
      EXPECT_NEAR(xs[i - 1] - xs[i], (extent + 200) * 10.0 / ((extent + 200) * 2000 / 200), 1.0);
    }
    EXPECT_LE(xs.back() + extent, 101) << text;
    // The pass took (extent + width) x speed / width ms.
    EXPECT_NEAR(static_cast<double>(xs.size()) * 10, (extent + 200) * 2000.0 / 200, 20) << text;
  }
}

TEST_F(Ticker, JoinedItemsScrollAsOneTextAndExpireAfterEachPass) {
  WM_TICKER t(0, 0, 199, 19, 500, 0, ink(), CLICK_MODE::ON_PRESS);
  t.add_item("once", 0, 0, 0);
  t.add_item("twice", 0, 0, 1);
  t.add_item("always", 0, 0, 65535);
  t.set_separator(" | ");
  EXPECT_STREQ(t.get_joined_text(), " | once | twice | always | ");
  const char* after_pass[] = {" | twice | always | ", " | always | ", " | always | "};
  t.update(false);
  for (const char* joined : after_pass) {
    run_pass(t, *this, 25);
    // The next pass applied the repeat counts before it began.
    EXPECT_STREQ(t.get_joined_text(), joined);
    EXPECT_EQ(t.get_text_x(), 200);
  }
  t.set_separator(nullptr);
  EXPECT_FALSE(t.has_joined_text());
}

TEST_F(Ticker, AnItemWithNoRepeatsIsShownInTheCycleUnderWayThenGoes) {
  WM_TICKER t(0, 0, 199, 19, 200, 0, ink(), CLICK_MODE::ON_PRESS);
  t.add_item("a", 0, 0, 65535);
  t.add_item("b", 0, 0, 0);
  std::string shown;
  for (int pass = 0; pass < 5; ++pass) {
    t.update(false);
    shown += t.get_item(t.get_current_item())->text;
    run_pass(t, *this, 20);
  }
  EXPECT_EQ(shown, "abaaa");
  EXPECT_EQ(t.item_count(), 1);
}

TEST_F(Ticker, TheLastItemExpiringLeavesNothingToShowUntilAnItemComes) {
  WM_TICKER t(0, 0, 199, 19, 200, 0, ink(), CLICK_MODE::ON_PRESS);
  t.add_item("only", 0, 0, 0);
  t.update(false);
  run_pass(t, *this, 20);
  EXPECT_EQ(t.item_count(), 0);
  EXPECT_EQ(t.get_current_item(), -1);
  EXPECT_FALSE(t.tick());
  clear_screen();
  t.draw();
  EXPECT_EQ(wm_test::pixel(100, 10), kScreen);
  t.add_item("back", 0, 0, 65535);
  t.update(false);
  EXPECT_STREQ(t.get_item(t.get_current_item())->text.c_str(), "back");
}

TEST_F(Ticker, AFullTickerDropsItsFirstItemThatIsNotSticky) {
  const struct {
    std::vector<uint8_t> sticky;
    std::string left;  // names of the items after one more is added
  } cases[] = {
      {{0, 0, 0}, "bcN"},
      {{1, 0, 0}, "acN"},
      {{1, 1, 1}, "bcN"},  // all sticky: the first goes
      {{1, 1, 0}, "abN"},
  };
  for (const auto& c : cases) {
    WM_TICKER t(0, 0, 199, 19, 200, 3, ink(), CLICK_MODE::ON_PRESS);
    const char* names[] = {"a", "b", "c"};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(t.add_item(names[i], 0, c.sticky[i], 1), int32_t(i));
    EXPECT_EQ(t.add_item("N", 7, 0, 1), 2);
    std::string left;
    for (int32_t i = 0; i < t.item_count(); ++i) left += t.get_item(i)->text;
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(t.get_item(2)->value, 7u);
  }
}

TEST_F(Ticker, PausingAndResumingContinuesAtTheSamePlace) {
  WM_TICKER t(0, 0, 199, 19, 4000, 0, ink(), CLICK_MODE::ON_PRESS);
  t.add_item("A pausing item", 0, 0, 65535);
  t.update(false);
  for (int i = 0; i < 30; ++i) {
    set_frame(50);
    t.update(false);
  }
  const int32_t before = t.get_text_x();
  EXPECT_LT(before, 200);
  t.pause(true);
  for (int i = 0; i < 50; ++i) {
    set_frame(100);  // five seconds
    EXPECT_FALSE(t.tick());
  }
  EXPECT_EQ(t.get_text_x(), before);
  t.pause(false);
  t.update(false);
  EXPECT_EQ(t.get_text_x(), before);
  set_frame(50);
  t.update(false);
  EXPECT_LT(t.get_text_x(), before);
  EXPECT_EQ(t.get_current_item(), 0);
}

TEST_F(Ticker, WithoutSpeedOrWidthEachPassEndsAtOnce) {
  const struct {
    int16_t speed;
    int16_t x2;
  } cases[] = {{0, 199}, {-5, 199}, {300, -1}};
  for (const auto& c : cases) {
    WM_TICKER t(0, 0, c.x2, 19, c.speed, 0, ink(), CLICK_MODE::ON_PRESS);
    t.add_item("a", 0, 0, 65535);
    t.add_item("", 0, 0, 65535);
    std::string seen;
    for (int i = 0; i < 4; ++i) {
      set_frame(1);
      t.update(false);
      seen += std::to_string(t.get_current_item());
    }
    EXPECT_EQ(seen, "0101") << c.speed;
  }
}

TEST_F(Ticker, ALongJoinedTextRunsWholeAtASlowSpeed) {
  // About 60 000 pixels at 30 s a width: far past 16- and 32-bit sums.
  WM_TICKER t(0, 0, 199, 19, 30000, 0, ink(), CLICK_MODE::ON_PRESS);
  for (int i = 0; i < 200; ++i) t.add_item("Breaking news from the ticker", 0, 0, 65535);
  t.set_separator(" +++ ");
  const int32_t extent = width_of(t.get_joined_text());
  ASSERT_GT(extent, 40000);
  t.update(false);
  const std::vector<int32_t> xs = run_pass(t, *this, 60000);
  for (size_t i = 1; i < xs.size(); ++i) ASSERT_LT(xs[i], xs[i - 1]) << i;
  // Each minute travels about 400 pixels; the last one ends the pass.
  EXPECT_GE(xs.back() + extent, 0);
  EXPECT_LE(xs.back() + extent, 401);
}

TEST_F(Ticker, TheTextIsDrawnInsideItsStripOnly) {
  WM_TICKER t(50, 40, 249, 59, 3000, 0, ink(), CLICK_MODE::ON_PRESS);
  for (int i = 0; i < 30; ++i) t.add_item(("Item number " + std::to_string(i)).c_str(), 0, 0, 65535);
  t.set_separator(" - ");
  t.update(false);
  for (int i = 0; i < 100; ++i) {
    set_frame(50);
    t.update(false);
  }
  ASSERT_LT(t.get_text_x(), 50);  // the text began left of the strip
  clear_screen();
  t.draw();
  const std::vector<COLOUR> drawn = pixels_of(t);
  int inked = 0;
  for (int16_t py = 0; py < 100; ++py) {
    for (int16_t px = 0; px < 400; ++px) {
      const bool inside = px >= 50 && px <= 249 && py >= 40 && py <= 59;
      if (!inside) {
        ASSERT_EQ(wm_test::pixel(px, py), kScreen) << px << "," << py;
      }
      if (inside && wm_test::pixel(px, py) == kInk) ++inked;
    }
  }
  EXPECT_GT(inked, 50);
  // The same pixels as the whole text drawn through the strip's clip: the
  // characters left out lie wholly outside it.
  clear_screen();
  IMAGE* s = get_screen_image();
  s->set_clip_rect(50, 40, 249, 59);
  const COLOUR c = kInk;
  s->draw_text(static_cast<int16_t>(t.get_text_x()), 42, &c, nullptr, nullptr, FONT_DEFAULT, 16,
               16, t.get_joined_text());
  s->set_clip_rect(0, 0, 399, 99);
  EXPECT_TRUE(drawn == pixels_of(t));
}

TEST_F(Ticker, ItemsComeAndGoWhilePassesRun) {
  WM_TICKER t(0, 0, 199, 19, 1000, 4, ink(), CLICK_MODE::ON_PRESS);
  for (const char* s : {"a", "b", "c"}) t.add_item(s, 0, 0, 2);
  t.update(false);
  run_pass(t, *this, 30);  // now on "b"
  set_frame(100);
  t.update(false);
  ASSERT_EQ(t.get_current_item(), 1);
  t.remove_item(0);  // before the current one: it keeps its item
  EXPECT_EQ(t.get_current_item(), 0);
  EXPECT_EQ(t.get_item(0)->text, "b");
  t.remove_item(0);  // the current one: the next pass starts from the first
  EXPECT_EQ(t.get_current_item(), -1);
  t.remove_item(5);
  t.remove_item(-1);
  clear_screen();
  t.draw();
  EXPECT_EQ(wm_test::pixel(100, 10), kScreen);
  set_frame(10);
  t.update(false);
  EXPECT_EQ(t.get_item(t.get_current_item())->text, "c");
  for (const char* s : {"d", "e", "f", "g"}) t.add_item(s, 0, 0, 65535);  // "c" dropped at once
  EXPECT_EQ(t.item_count(), 4);
  for (int i = 0; i < 200; ++i) {
    set_frame(15);
    t.update(false);
    if (i == 50) t.set_separator("*");
    if (i == 120) t.remove_item(2);
    t.draw();
  }
  t.clear();
  EXPECT_EQ(t.item_count(), 0);
  EXPECT_FALSE(t.tick());
}

TEST_F(Ticker, TheCreatedHookHearsOfEachTickerOnce) {
  static std::vector<uint32_t> kinds;
  kinds.clear();
  WM_SCREEN_OBJECT::object_created_hook = [](WM_SCREEN_OBJECT* o, uintptr_t) {
    kinds.push_back(o->kind);
  };
  {
    WM_TICKER t(0, 0, 99, 19, 100, 0, ink(), CLICK_MODE::ON_PRESS);
  }
  WM_SCREEN_OBJECT::object_created_hook = nullptr;
  EXPECT_EQ(kinds, std::vector<uint32_t>{wm_kind::TICKER});
}

// ---- Clicks through the polled input ------------------------------------

int clicks = 0;
int32_t delete_ticker(WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
  ++clicks;
  delete o;
  return 5;
}

TEST_F(Ticker, ATickerDeletedByItsOwnClickCallbackIsLeftAlone) {
  clicks = 0;
  auto* t = new WM_TICKER(0, 0, 199, 19, 100, 0, ink(), CLICK_MODE::ON_PRESS, delete_ticker);
  t->add_item("click me", 0, 0, 65535);
  input.move_to(50, 10);
  input.press(1);
  EXPECT_EQ(t->process(), 5);
  EXPECT_EQ(clicks, 1);
  input.release(1);
}

TEST_F(Ticker, AJoinedTextTakesNoClicks) {
  clicks = 0;
  WM_TICKER t(0, 0, 199, 19, 100, 0, ink(), CLICK_MODE::ON_BOTH,
              [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return ++clicks, 0; });
  t.add_item("x", 0, 0, 65535);
  t.set_separator("-");
  input.move_to(50, 10);
  input.press(1);
  t.process();
  input.release(1);
  t.process();
  EXPECT_EQ(clicks, 0);
}

}  // namespace
