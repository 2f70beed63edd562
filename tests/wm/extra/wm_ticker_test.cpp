// Tickers in the headless screen on the fake clock: passes item by item and
// joined, repeat counts, sticky-aware dropping, pause and resume, passes
// that end at once, long joined texts, the text kept to its strip, and
// items that come and go while passes run.
#include "wm_ticker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "input_driver.h"
#include "picture_compare.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kScreen = 0xFF404040;
constexpr COLOUR kInk = 0xFFFFFF00;

class Ticker : public wm_test::TextSkinTest {
protected:
  Ticker() : TextSkinTest("ticker_test", 400, 100) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    clear_screen();
    step(0);
  }
  void clear_screen() {
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 399, 99, &c);
  }
  // Both clocks on by ms.
  void step(uint64_t ms) {
    input.advance_ms(ms);
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  // A ticker at x 0..x2 (y 0..19) with 16-pixel yellow text.
  static WM_TICKER make(int16_t x2, int16_t speed, int16_t maximum = 0) {
    return WM_TICKER(0, 0, x2, 19, speed, maximum, {kInk, FONT_DEFAULT, 16, 16, 0}, CLICK_MODE::ON_PRESS);
  }
  int32_t width_of(const char* text) {
    return get_screen_image()->get_text_width(FONT_DEFAULT, 16, 16, text);
  }
  // Steps until the next pass begins; the text x of each step of this one.
  std::vector<int32_t> run_pass(WM_TICKER& t, uint64_t step_ms) {
    std::vector<int32_t> xs{t.get_text_x()};
    const int16_t item = t.get_current_item();
    while (xs.size() < 100000) {
      step(step_ms);
      t.update(false);
      if (t.get_current_item() != item || t.get_text_x() == t.x + t.width) break;
      xs.push_back(t.get_text_x());
    }
    return xs;
  }
  test_support::INPUT_DRIVER input{1000000};
};

TEST_F(Ticker, ScrollsOneItemPerPassAcrossTheWholeWidthAtASteadyPace) {
  WM_TICKER t(100, 20, 299, 39, 2000, 0, {kInk, FONT_DEFAULT, 16, 16, 0}, CLICK_MODE::ON_PRESS);
  EXPECT_EQ(t.kind, wm_kind::TICKER);
  for (const char* s : {"First", "Second item"}) t.add_item(s, 0, 0, 65535);
  for (const char* text : {"First", "Second item", "First"}) {
    t.update(false);
    ASSERT_EQ(t.get_item(t.get_current_item())->text, text);
    EXPECT_EQ(t.get_text_x(), 300);  // just beyond the right edge
    const int32_t extent = width_of(text);
    // 2000 ms per width of 200: one pixel each 10 ms.
    const std::vector<int32_t> xs = run_pass(t, 10);
    for (size_t i = 1; i < xs.size(); ++i) EXPECT_EQ(xs[i - 1] - xs[i], 1) << text << i;
    EXPECT_EQ(xs.back() + extent, 100) << text;  // the right end has left
  }
}

TEST_F(Ticker, JoinedItemsScrollAsOneTextAndExpireAfterEachPass) {
  WM_TICKER t = make(199, 500);
  t.add_item("once", 0, 0, 0);
  t.add_item("twice", 0, 0, 1);
  t.add_item("always", 0, 0, 65535);
  t.set_separator(" | ");
  t.update(false);
  for (const char* joined : {" | once | twice | always | ", " | twice | always | ", " | always | ", " | always | "}) {
    EXPECT_STREQ(t.get_joined_text(), joined);
    run_pass(t, 25);
  }
  t.add_item("new", 0, 0, 65535);  // joined at once
  EXPECT_STREQ(t.get_joined_text(), " | always | new | ");
  t.set_separator(nullptr);
  EXPECT_FALSE(t.has_joined_text());
}

TEST_F(Ticker, ItemsExpireAtTheEndOfTheirLastCycleAndTheLastLeavesNothing) {
  WM_TICKER t = make(199, 200);
  t.add_item("a", 0, 0, 1);
  t.add_item("b", 0, 0, 0);
  std::string shown;
  while (t.update(false), t.get_current_item() >= 0) {
    shown += t.get_item(t.get_current_item())->text;
    run_pass(t, 20);
  }
  EXPECT_EQ(shown, "aba");
  EXPECT_EQ(t.item_count(), 0);
  EXPECT_FALSE(t.tick());
  t.draw();
  EXPECT_EQ(wm_test::pixel(10, 10), kScreen);
  t.add_item("back", 0, 0, 65535);
  t.update(false);
  EXPECT_EQ(t.get_item(t.get_current_item())->text, "back");
}

// One scripted run through every call a caller makes, each step writing its
// answer and what the ticker shows after it: the items with stickiness (*)
// and cycles left, the current item, the text's x, the pause and the joined
// text. 200 pixels at 2000 ms a width: a pixel each 10 ms. Pausing freezes
// the pass, asked twice too; resuming continues at the same place.
TEST_F(Ticker, EveryCallInOneRunMatchesItsTranscript) {
  static int32_t clicks = 0;
  WM_TICKER t(0, 0, 199, 19, 2000, 3, {kInk, FONT_DEFAULT, 16, 16, 0}, CLICK_MODE::ON_PRESS,
              [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return ++clicks; });
  // t<ms>: tick after ms; a:<text>:<sticky>:<repeats>; r<index>; s| or s: separator " | " or
  // none; p1/p0: pause/resume; h0/h1: hide/show; k: click; c: clear; n: a child over the left half.
  std::istringstream script(
      "t0 k a:one:0:1 a:two:1:0 t0 t9 t1 t0 t1000 k h0 k t10 h1 p0 t10 p1 p1 t5000 p0 t0 t10 r-1 r2 "
      "a:three:0:65535 a:four:1:65534 t0 t5000 t1 r0 t1 s| k t10 a:five:0:2 t10000 t1 s t1 c t1 "
      // A full ticker drops its first item that is not sticky, the first when all are.
      "a:a:0:1 a:b:0:1 a:c:0:1 a:N:0:1 c a:a:1:1 a:b:0:1 a:c:0:1 a:N:0:1 c a:a:1:1 a:b:1:1 a:c:1:1 "
      "a:N:0:1 c a:a:1:1 a:b:1:1 a:c:0:1 a:N:0:1 n k");
  std::string transcript = "widths:", op;
  for (const char* s : {"one", "two", "three", "four", "five", " | two | three | four | "})
    transcript += std::string(" '") + s + "' " + std::to_string(width_of(s));
  while (script >> op) {
    const int32_t n = std::atoi(op.c_str() + 1);
    std::string what;
    if (op[0] == 'a') {
      const size_t c1 = op.find(':', 2), c2 = op.find(':', c1 + 1);
      const std::string text = op.substr(2, c1 - 2);
      what = "add " + text + " -> " + std::to_string(t.add_item(text.c_str(), 0, uint8_t(std::stoi(op.substr(c1 + 1))),
                                                               uint16_t(std::stoi(op.substr(c2 + 1)))));
    } else if (op[0] == 'r') {
      t.remove_item(n), what = "remove " + std::to_string(n);
    } else if (op[0] == 's') {
      t.set_separator(op == "s|" ? " | " : nullptr), what = op == "s|" ? "separator ' | '" : "separator 'none'";
    } else if (op[0] == 'p' || op[0] == 'h') {
      op[0] == 'p' ? t.pause(n != 0) : void(t.visible = n != 0);
      what = op[0] == 'p' ? (n ? "pause" : "resume") : (n ? "show" : "hide");
    } else if (op[0] == 'c') {
      t.clear(), what = "clear";
    } else if (op[0] == 'n') {  // a click the child answers is not the ticker's
      t.add_child(new WM_TICKER(0, 0, 99, 19, 100, 0, {}, CLICK_MODE::ON_PRESS,
                                [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return 40; }), true), what = "child";
    } else if (op[0] == 'k') {
      input.move_to(50, 10);
      input.press(1);
      what = "click -> " + std::to_string(t.process());
      input.release(1);
      what += ", release -> " + std::to_string(t.process()) + ", clicks " + std::to_string(clicks);
    } else {
      step(uint64_t(n)), what = "+" + std::to_string(n) + " ms tick -> " + std::to_string(t.tick());
    }
    transcript += "\n" + what + ":";
    for (int32_t i = 0; i < t.item_count(); ++i)
      transcript += " " + t.get_item(i)->text + (t.get_item(i)->sticky ? "*" : "") + std::to_string(t.get_item(i)->repeats);
    transcript += " | item " + std::to_string(t.get_current_item()) + " x " + std::to_string(t.get_text_x()) +
                  (t.is_paused() ? " paused" : "") + (t.has_joined_text() ? std::string(" '") + t.get_joined_text() + "'" : "");
  }
  EXPECT_TRUE(test_support::text_matches_reference("extra", "ticker_transcript", transcript + "\n"));
}

TEST_F(Ticker, WithoutSpeedOrWidthEachPassEndsAtOnce) {
  const std::pair<int16_t, int16_t> cases[] = {{0, 199}, {-5, 199}, {300, -1}};  // speed, x2
  for (const auto& [speed, x2] : cases) {
    WM_TICKER t = make(x2, speed);
    t.add_item("a", 0, 0, 65535);
    t.add_item("", 0, 0, 65535);
    std::string seen;
    for (int i = 0; i < 4; ++i, step(1)) seen += std::to_string((t.update(false), t.get_current_item()));
    EXPECT_EQ(seen, "0101") << speed;
  }
}

TEST_F(Ticker, ALongJoinedTextRunsWholeAtASlowSpeed) {
  // About 60 000 pixels at 30 s a width: past 16- and 32-bit sums.
  WM_TICKER t = make(199, 30000);
  for (int i = 0; i < 200; ++i) t.add_item("Breaking news from the ticker", 0, 0, 65535);
  t.set_separator(" +++ ");
  const int32_t extent = width_of(t.get_joined_text());
  ASSERT_GT(extent, 40000);
  t.update(false);
  const std::vector<int32_t> xs = run_pass(t, 60000);  // about 400 pixels a step
  for (size_t i = 1; i < xs.size(); ++i) ASSERT_NEAR(xs[i - 1] - xs[i], 400, 2) << i;
  EXPECT_GE(xs.back() + extent, 0);
}

TEST_F(Ticker, TheTextIsDrawnInsideItsStripOnlyAsTheWholeTextWouldBe) {
  // Joined, and item by item, in a strip lower than the text: its bottom row shows text too.
  for (const char* separator : {" - ", static_cast<const char*>(nullptr)}) {
    WM_TICKER t(50, 40, 249, 47, 3000, 0, {kInk, FONT_DEFAULT, 16, 16, 0}, CLICK_MODE::ON_PRESS);
    // With characters above 255 (byte-1 runs), which the part drawn may start in.
    for (int i = 0; i < 30; ++i)
      t.add_item(("Item \x01,2192,2190\x01 " + std::to_string(i)).c_str(), 0, 0, 65535);
    t.set_separator(separator);
    t.update(false);
    IMAGE* s = get_screen_image();
    for (int frame = 0; frame < 80; ++frame) {
      step(97);
      t.update(false);
      clear_screen();
      const std::vector<COLOUR> ticked = drawn(t);
      for (int16_t py = 0; py < 100; ++py)
        for (int16_t px = 0; px < 400; ++px)
          if (px < 50 || px > 249 || py < 40 || py > 47) { ASSERT_EQ(wm_test::pixel(px, py), kScreen); }
      // The characters left out lie wholly outside the strip.
      clear_screen();
      s->set_clip_rect(50, 40, 249, 47);
      const char* text = separator ? t.get_joined_text() : t.get_item(t.get_current_item())->text.c_str();
      s->draw_text(static_cast<int16_t>(t.get_text_x()), 36, &kInk, nullptr, nullptr, FONT_DEFAULT, 16, 16, text);
      s->set_clip_rect(0, 0, 399, 99);
      ASSERT_TRUE(ticked == pixels_of(t)) << t.get_text_x();
      if (frame == 60) { EXPECT_GT(std::count(ticked.begin(), ticked.end(), kInk), 50); }
    }
    EXPECT_LT(t.get_text_x(), separator ? -200 : 250);  // well into the text
  }
}

// An unset font and sizes take the surface's, centred in the strip; a
// border goes round the strip.
TEST_F(Ticker, TheSurfaceFontAndABorderAsTheUserSeesThem) {
  WM_TICKER t(20, 30, 219, 69, 2000, 0, {.colour = kInk}, CLICK_MODE::ON_PRESS);
  t.border_flags = border_flag::ALL_SIDES;
  t.add_item("Half time: 1 - 0", 0, 0, 65535);
  t.update(false);
  step(700);
  t.update(false);
  t.draw();
  EXPECT_TRUE(test_support::picture_matches_reference("extra2", "ticker_surface_font", *get_screen_image()));
}

TEST_F(Ticker, ItemsComeAndGoWhilePassesRun) {
  WM_TICKER t = make(199, 1000, 4);
  for (const char* s : {"a", "b", "c"}) t.add_item(s, 0, 0, 2);
  t.update(false);
  run_pass(t, 30);
  ASSERT_EQ(t.get_current_item(), 1);
  t.remove_item(0);  // before the current one: it keeps its item
  EXPECT_EQ(t.get_item(t.get_current_item())->text, "b");
  t.remove_item(0);  // the current one: the next pass starts from the first
  EXPECT_EQ(t.get_current_item(), -1);
  t.draw();
  EXPECT_EQ(wm_test::pixel(100, 10), kScreen);
  for (const char* s : {"d", "e", "f", "g"}) t.add_item(s, 0, 0, 65535);  // "c" dropped
  for (int32_t beyond : {-1, 4}) t.remove_item(beyond);  // no such item: nothing goes
  EXPECT_EQ(t.get_item(0)->text + t.get_item(3)->text, "dg");
  for (int i = 0; i < 200; ++i, step(15)) {
    t.update(false);
    if (i == 50) t.set_separator("*");
    if (i == 120) t.remove_item(2);
    t.draw();
  }
  t.clear();
  EXPECT_FALSE(t.tick());
  // At the widest surface's right end a pass starts at x 32767, drawn whole once another item goes.
  IMAGE wide(IMAGE_MAX_SIZE, 20);
  const TEXT_EFFECTS kept = text_effects;
  text_effects.shadow_x = -8;
  text_effects.shadow_colour = 0xFF000000;
  WM_SCREEN_OBJECT::set_drawing_surface(&wide);
  WM_TICKER edge(32667, 0, 32766, 19, 1000, 0, {kInk, FONT_DEFAULT, 16, 16, TEXT_SHADOW}, CLICK_MODE::ON_PRESS);
  for (const char* s : {"W", "X"}) edge.add_item(s, 0, 0, 65535);
  edge.update(false);
  edge.remove_item(1);
  edge.draw();
  WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
  text_effects = kept;
  EXPECT_EQ(edge.get_text_x(), 32767);
  EXPECT_GT(std::count(wide.pixels, wide.pixels + 20 * wide.stride, 0xFF000000u), 0);
}

TEST_F(Ticker, ATickerDeletedByItsOwnClickCallbackIsLeftAlone) {
  auto* t = new WM_TICKER(0, 0, 199, 19, 100, 0, {}, CLICK_MODE::ON_PRESS,
                          [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) { return delete o, 5; });
  t->add_item("click me", 0, 0, 65535);
  input.move_to(50, 10);
  input.press(1);
  EXPECT_EQ(t->process(), 5);
  input.release(1);
}

}  // namespace
