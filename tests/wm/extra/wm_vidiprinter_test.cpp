// Vidiprinters in the headless screen on the fake frame clock: items
// revealed one character per interval and held, centred while they fit and
// kept at the right edge when they do not, the cut-off character always put
// back, items that come and go during a reveal, and the created hook.
#include "wm_vidiprinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "input_driver.h"
#include "picture_compare.h"
#include "wm_test_fonts.h"

namespace {

constexpr COLOUR kScreen = 0xFF000040;

class Vidiprinter : public wm_test::TextSkinTest {
protected:
  Vidiprinter() : TextSkinTest("vidiprinter_test", 400, 60) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 399, 59, &c);
    at(0);
  }
  void at(uint64_t ms) {
    input.advance_ms(ms - elapsed);
    elapsed = ms;
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  // x1..x2 (y 0..19), 16-pixel green text.
  static WM_VIDIPRINTER make(int16_t x1, int16_t x2, int16_t per_char, uint16_t hold,
                             bool centre, int16_t maximum = 0) {
    return WM_VIDIPRINTER(x1, 0, x2, 19, per_char, hold, maximum,
                          {0xFF00FF00, FONT_DEFAULT, 16, 16, 0}, CLICK_MODE::ON_PRESS, centre);
  }
  static std::string shown(const WM_VIDIPRINTER& v) {
    return v.get_current_item() < 0 ? "(none)" : v.get_item(v.get_current_item())->text.c_str();
  }
  int32_t width_of(const std::string& text) {
    return get_screen_image()->get_text_width(FONT_DEFAULT, 16, 16, text.c_str());
  }
  test_support::INPUT_DRIVER input{1000000};
  uint64_t elapsed = 0;
};

// A millisecond a character is the quickest reveal, not none; a clock just
// past the hold time starts the first item.
TEST_F(Vidiprinter, AMillisecondACharacterIsTheQuickestReveal) {
  WM_VIDIPRINTER quick = make(0, 399, 1, 1000, false);
  quick.add_item("0123456789", 0, 0, 65535);
  for (uint32_t clock : {1001u, 1006u}) {
    WM_SCREEN_OBJECT::set_frame_clock(clock);
    quick.update(false);
  }
  EXPECT_EQ(shown(quick), "01234");
}

TEST_F(Vidiprinter, ACodeOfAByteOneRunIsRevealedAsOneCharacter) {
  const char* text = "A\x01,263A,263B\x01Z";  // four characters
  WM_VIDIPRINTER v = make(0, 399, 10, 1000, false);
  v.add_item(text, 0, 0, 65535);
  v.update(false);
  for (const char* part : {"A", "A\x01,263A", "A\x01,263A,263B", text}) {
    at(elapsed + 10);
    v.update(false);
    EXPECT_EQ(shown(v), part);
  }
}

TEST_F(Vidiprinter, CentresAnItemThatFitsAndKeepsTheNewestCharactersOfOneThatDoesNot) {
  const std::string narrow = "Goal!";
  const std::string wide = "A long line that is far wider than the narrow strip";
  for (const std::string& text : {narrow, wide}) {
    WM_VIDIPRINTER v = make(10, 109, 10, 500, true);
    v.add_item(text.c_str(), 0, 0, 65535);
    v.update(false);
    for (size_t n = 1; n <= text.size(); ++n) {
      at(elapsed + 10);
      v.update(false);
      const int32_t revealed = width_of(text.substr(0, n));
      const int32_t expected = text == narrow ? 10 + (100 - width_of(text)) / 2
                               : revealed > 100 ? 10 - (revealed - 100) : 10;
      EXPECT_EQ(v.get_text_x(), expected) << text << n;
    }
    v.draw();
    for (int16_t py = 0; py < 60; ++py) {
      EXPECT_EQ(wm_test::pixel(9, py), kScreen);
      EXPECT_EQ(wm_test::pixel(110, py), kScreen);
    }
  }
}

TEST_F(Vidiprinter, ItemsComeAndGoDuringAReveal) {
  WM_VIDIPRINTER v = make(0, 399, 20, 100, false, 3);
  v.add_item("alpha", 0, 0, 65535);
  v.add_item("beta", 0, 0, 65535);
  v.add_item("gamma", 0, 0, 1);
  v.update(false);
  at(50);
  v.update(false);
  EXPECT_EQ(shown(v), "al");
  v.add_item("delta", 0, 0, 65535);  // full: "alpha", being cut, is dropped
  EXPECT_EQ(v.get_revealed(), -1);
  for (const uint64_t ms : {90u, 120u}) { at(ms); v.update(false); }
  EXPECT_EQ(shown(v), "b");
  v.remove_item(0);  // the one being revealed
  v.remove_item(1);
  EXPECT_EQ(v.get_item(0)->text, "gamma");
  // Cycles run on until gamma expires.
  for (uint64_t ms = 130; ms < 1000; ms += 7) {
    at(ms);
    EXPECT_TRUE(!v.tick() || v.item_count() > 0) << ms;  // the last one's end moves nothing
    v.update(false);
    v.draw();
  }
  EXPECT_EQ(std::pair(v.item_count(), int32_t{v.get_current_item()}), std::pair(0, -1));  // none current
  // An empty item, or none of the time per character, stands whole at once.
  for (int16_t per_char : {int16_t{0}, int16_t{-3}}) {
    WM_VIDIPRINTER w = make(0, 399, per_char, 100, true);
    w.add_item("whole", 0, 0, 65535);
    w.add_item("", 0, 0, 65535);
    std::string seen;
    for (int i = 0; i < 6; ++i, at(elapsed + 60)) seen += shown((w.update(false), w)) + "/";
    EXPECT_EQ(seen, "/whole////whole/") << per_char;  // each begins with nothing shown
  }
}

// One scripted run on the frame clock, each step writing the tick's answer,
// the items, the current one, the text shown so far, the characters revealed and
// the text's x: a short item centred, a wide one kept at its newest
// characters, an empty one, an item dropped or removed while it is being
// revealed, and the end of every item's cycles. The item's whole text shows
// its cut as '|'.
TEST_F(Vidiprinter, ARunOfRevealsMatchesItsTranscript) {
  WM_VIDIPRINTER v = make(10, 109, 20, 100, true, 3);
  const struct {
    uint64_t ms;
    const char* add = nullptr;  // added (for one cycle) before the tick
    int32_t remove = -1;        // removed before the tick
  } steps[] = {{0},   {0, "Goal!"}, {19},  {20},  {59},  {60, "Wider than the strip"}, {99},
               {100}, {200}, {201},  {221}, {401}, {501}, {581}, {601}, {701}, {702},
               {722, ""}, {742, "Own goal"}, {801}, {802}, {900, nullptr, 0}, {901}, {1001},
               {1002}, {1162}, {1200, "one"}, {1210, "two"}, {1220, "three"}, {1230, "four"},
               {1231}, {1330}, {1331}, {1400, nullptr, 5}};
  std::string transcript = "widths: 'Goal!' " + std::to_string(width_of("Goal!")) + ", 'Own goal' " +
                           std::to_string(width_of("Own goal"));
  for (const auto& s : steps) {
    transcript += "\n" + std::to_string(s.ms) + " ms";
    if (s.add) transcript += std::string(" add '") + s.add + "' -> " + std::to_string(v.add_item(s.add, 0, 0, 0));
    if (s.remove >= 0) v.remove_item(s.remove), transcript += " remove " + std::to_string(s.remove);
    at(s.ms);
    transcript += " tick -> " + std::to_string(v.tick()) + ":";
    for (int32_t i = 0; i < v.item_count(); ++i) {
      std::string whole = v.get_item(i)->text;
      std::replace(whole.begin(), whole.end(), '\0', '|');
      transcript += " '" + whole + "'";
    }
    transcript += " | item " + std::to_string(v.get_current_item()) + " '" + shown(v) + "' revealed " +
                  std::to_string(v.get_revealed()) + " x " + std::to_string(v.get_text_x());
  }
  EXPECT_TRUE(test_support::text_matches_reference("extra", "vidiprinter_transcript", transcript + "\n"));
}

TEST_F(Vidiprinter, TheCreatedHookHearsOfEachTickerOnceWithAllItsKindBits) {
  static std::vector<uint32_t> kinds;
  WM_SCREEN_OBJECT::object_created_hook = [](WM_SCREEN_OBJECT* o, uintptr_t) {
    kinds.push_back(o->kind);
  };
  { WM_TICKER t(0, 0, 99, 19, 10, 0, {}, CLICK_MODE::ON_PRESS); }
  { WM_VIDIPRINTER v = make(0, 99, 10, 10, false); }
  WM_SCREEN_OBJECT::object_created_hook = nullptr;
  EXPECT_EQ(kinds, (std::vector<uint32_t>{wm_kind::TICKER, wm_kind::TICKER | wm_kind::VIDIPRINTER}));
}

}  // namespace
