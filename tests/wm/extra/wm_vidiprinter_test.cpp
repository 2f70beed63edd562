// Vidiprinters in the headless screen on the fake frame clock: items
// revealed one character per interval and held, centred while they fit and
// kept at the right edge when they do not, the cut-off character always put
// back, and items that come and go during a reveal.
#include "wm_vidiprinter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_driver.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kScreen = 0xFF000040;
constexpr COLOUR kInk = 0xFF00FF00;

WM_TICKER_TEXT ink() {
  WM_TICKER_TEXT t;
  t.colour = kInk;
  t.font_w = t.font_h = 16;
  return t;
}

class Vidiprinter : public wm_test::TextSkinTest {
protected:
  Vidiprinter() : TextSkinTest("vidiprinter_test", 400, 60) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  void at(uint64_t ms) {
    input.advance_ms(ms - elapsed);
    elapsed = ms;
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  static std::string shown(const WM_VIDIPRINTER& v) {
    return v.get_current_item() < 0 ? "(none)" : v.get_item(v.get_current_item())->text.c_str();
  }
  int32_t width_of(const char* text) {
    return get_screen_image()->get_text_width(FONT_DEFAULT, 16, 16, text);
  }
  test_support::INPUT_DRIVER input{1000000};
  uint64_t elapsed = 0;
};

TEST_F(Vidiprinter, RevealsACharacterPerIntervalThenHoldsTheWholeItem) {
  WM_VIDIPRINTER v(0, 0, 399, 19, 50, 1000, 0, ink(), CLICK_MODE::ON_PRESS, false);
  EXPECT_EQ(v.kind, wm_kind::TICKER | wm_kind::VIDIPRINTER);
  v.add_item("0123456789", 0, 0, 65535);
  v.add_item("next", 0, 0, 65535);
  v.update(false);  // the item starts with nothing shown
  const struct {
    uint64_t ms;
    const char* text;
  } steps[] = {{0, ""},          {49, ""},          {50, "0"},         {275, "01234"},
               {499, "012345678"}, {500, "0123456789"}, {1500, "0123456789"},
               {1501, ""},         {1551, "n"}};
  for (const auto& s : steps) {
    at(s.ms);
    v.update(false);
    EXPECT_EQ(shown(v), s.text) << s.ms;
  }
  // The first item has its whole text back.
  EXPECT_EQ(v.get_item(0)->text.c_str(), std::string("0123456789"));
}

TEST_F(Vidiprinter, ACentredItemStaysCentredOnItsWholeWidth) {
  WM_VIDIPRINTER v(20, 0, 319, 19, 40, 500, 0, ink(), CLICK_MODE::ON_PRESS, true);
  v.add_item("Goal!", 0, 0, 65535);
  const int32_t centred = 20 + (300 - width_of("Goal!")) / 2;
  v.update(false);
  for (uint64_t ms = 0; ms <= 200; ms += 40) {
    at(ms);
    v.update(false);
    EXPECT_EQ(v.get_text_x(), centred) << ms;
  }
}

TEST_F(Vidiprinter, AWideItemKeepsItsNewestCharactersAtTheRightEdge) {
  const std::string text = "A long line that is far wider than the narrow strip";
  WM_VIDIPRINTER v(10, 0, 109, 19, 10, 500, 0, ink(), CLICK_MODE::ON_PRESS, true);
  v.add_item(text.c_str(), 0, 0, 65535);
  v.update(false);
  for (size_t n = 1; n <= text.size(); ++n) {
    at(n * 10);
    v.update(false);
    const int32_t revealed = width_of(text.substr(0, n).c_str());
    const int32_t expected = revealed > 100 ? 10 - (revealed - 100) : 10;
    EXPECT_EQ(v.get_text_x(), expected) << n;
  }
  // The right end of what is shown stands at the strip's right edge.
  IMAGE* s = get_screen_image();
  const COLOUR c = kScreen;
  s->fill_rect_solid(0, 0, 399, 59, &c);
  v.draw();
  bool ink_near_right = false;
  for (int16_t px = 100; px <= 109; ++px)
    for (int16_t py = 0; py < 20; ++py) ink_near_right |= wm_test::pixel(px, py) != kScreen;
  EXPECT_TRUE(ink_near_right);
  for (int16_t py = 0; py < 60; ++py) {
    EXPECT_EQ(wm_test::pixel(9, py), kScreen);
    EXPECT_EQ(wm_test::pixel(110, py), kScreen);
  }
}

TEST_F(Vidiprinter, ItemsComeAndGoDuringAReveal) {
  WM_VIDIPRINTER v(0, 0, 399, 19, 20, 100, 3, ink(), CLICK_MODE::ON_PRESS, false);
  v.add_item("alpha", 0, 0, 65535);
  v.add_item("beta", 0, 0, 65535);
  v.add_item("gamma", 0, 0, 1);
  v.update(false);
  at(50);
  v.update(false);
  EXPECT_EQ(shown(v), "al");
  // Removing an item before it keeps the cut item and puts nothing back.
  v.add_item("delta", 0, 0, 65535);  // full: "alpha" (the one cut) is dropped
  EXPECT_EQ(v.get_current_item(), -1);
  EXPECT_EQ(v.get_reveal_position(), -1);
  at(60);
  v.update(false);
  EXPECT_EQ(shown(v), "");
  at(90);
  v.update(false);
  EXPECT_EQ(shown(v), "b");
  v.remove_item(2);  // after it
  EXPECT_EQ(shown(v), "b");
  v.remove_item(0);  // the one being revealed
  EXPECT_EQ(v.get_current_item(), -1);
  std::vector<std::string> texts;
  for (int32_t i = 0; i < v.item_count(); ++i) texts.push_back(v.get_item(i)->text.c_str());
  EXPECT_EQ(texts, std::vector<std::string>{"gamma"});
  // Cycles run on, every text whole between items, until gamma expires.
  for (uint64_t ms = 100; ms < 3000; ms += 7) {
    at(ms);
    v.update(false);
    v.draw();
    for (int32_t i = 0; i < v.item_count(); ++i) {
      if (i != v.get_current_item()) {
        EXPECT_EQ(v.get_item(i)->text, "gamma");
      }
    }
  }
  EXPECT_EQ(v.item_count(), 0);
  v.add_item("epsilon", 0, 0, 0);
  at(3100);
  v.update(false);
  at(3300);
  v.update(false);
  EXPECT_EQ(shown(v), "epsilon");
  v.clear();
  EXPECT_FALSE(v.tick());
}

TEST_F(Vidiprinter, AnEmptyItemOrNoTimePerCharacterShowsTheItemWholeAtOnce) {
  for (int16_t per_char : {int16_t{0}, int16_t{-3}, int16_t{30}}) {
    WM_VIDIPRINTER v(0, 0, 399, 19, per_char, 100, 0, ink(), CLICK_MODE::ON_PRESS, true);
    v.add_item(per_char == 30 ? "" : "whole", 0, 0, 65535);
    at(elapsed + 1);
    v.update(false);
    at(elapsed + 1);
    v.update(false);
    EXPECT_EQ(shown(v), per_char == 30 ? "" : "whole") << per_char;
  }
}

TEST_F(Vidiprinter, TheCreatedHookHearsOfItOnceWithBothKindBits) {
  static std::vector<uint32_t> kinds;
  kinds.clear();
  WM_SCREEN_OBJECT::object_created_hook = [](WM_SCREEN_OBJECT* o, uintptr_t) {
    kinds.push_back(o->kind);
  };
  {
    WM_VIDIPRINTER v(0, 0, 99, 19, 10, 10, 0, ink(), CLICK_MODE::ON_PRESS, false);
  }
  WM_SCREEN_OBJECT::object_created_hook = nullptr;
  EXPECT_EQ(kinds, std::vector<uint32_t>{wm_kind::TICKER | wm_kind::VIDIPRINTER});
}

}  // namespace
