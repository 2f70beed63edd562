// A ticker, a vidiprinter and an animation on a page under a real X server:
// the page manager runs them on the fake clock set through set_clock, XTEST
// clicks reach the ticker's and the animation's callbacks by click mode with
// the position inside the widget, and the page is saved as a picture.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "timing.h"
#include "wm_animation.h"
#include "wm_page_manager.h"
#include "wm_ticker.h"
#include "wm_vidiprinter.h"
#include "wm_x11_fixture.h"

namespace {

uint64_t fake_ms = 0;
uint64_t fake_clock() { return fake_ms; }

std::string heard;
// Word 1 names the widget: 't' the ticker, 'a' the animation.
int32_t on_click(WM_SCREEN_OBJECT* o, uintptr_t name, uintptr_t) {
  const CLICK_RULE& c = name == 't' ? static_cast<WM_TICKER*>(o)->click
                                    : static_cast<WM_ANIMATION*>(o)->click;
  heard += static_cast<char>(name) + std::to_string(c.click_x) + "," + std::to_string(c.click_y) +
           ((mouse.buttons & MOUSE::LEFT) ? "P " : "U ");
  return 0;
}

CLICK_MODE page_mode = CLICK_MODE::ON_PRESS;
WM_TICKER* ticker = nullptr;
WM_VIDIPRINTER* vidiprinter = nullptr;
WM_ANIMATION* animation = nullptr;
IMAGE strip;

void make_strip() {
  strip.create(160, 40);
  const COLOUR back = 0xFF102040;
  strip.fill_rect_solid(0, 0, 159, 39, &back);
  const COLOUR balls[4] = {0xFFFF4040, 0xFFFFC040, 0xFF40FF40, 0xFF40C0FF};
  for (int i = 0; i < 4; ++i)
    strip.draw_circle(static_cast<int16_t>(i * 40 + 8 + i * 8), 20, 7, &balls[i], 0,
                      IMAGE::CIRCLE_DISC, 1, true);
}

void create_page(WM_PAGE_MANAGER* manager) {
  // The page's own background, which the widgets draw over.
  manager->current_root()->add_child(new wm_test::BOX(0, 0, 400, 200, 0xFF182030), false);
  WM_TICKER_TEXT look;
  look.colour = 0xFFFFFF60;
  look.font_w = look.font_h = 18;
  ticker = new WM_TICKER(20, 20, 379, 49, 6000, 0, look, page_mode, on_click, 't', 0);
  ticker->border_flags = border_flag::ALL_SIDES;
  ticker->add_item("Kick-off at the stadium: the home side open the scoring", 0, 0, 65535);
  ticker->add_item("Half time: 1 - 0", 0, 0, 65535);
  look.colour = 0xFF80FF80;
  vidiprinter = new WM_VIDIPRINTER(20, 70, 379, 99, 30, 5000, 0, look, page_mode, true);
  vidiprinter->add_item("Full time: Rovers 2 United 1", 0, 0, 65535);
  animation = new WM_ANIMATION(180, 130, &strip, 4, 150, true, on_click, 'a', 0, page_mode);
  manager->current_root()->add_child(ticker, false);
  manager->current_root()->add_child(vidiprinter, false);
  manager->current_root()->add_child(animation, false);
}

class TickerX11 : public wm_test::PointerX11 {
protected:
  TickerX11() : PointerX11("Ticker test", 400, 200) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    make_strip();
    fake_ms = 5000000;
    set_clock(fake_clock);
    frame = [this] {
      fake_ms += 20;
      manager->frame(true);
    };
  }
  void TearDown() override {
    frame = nullptr;
    manager.reset();
    set_clock(nullptr);
    PointerX11::TearDown();
  }
  void open_page(CLICK_MODE mode) {
    manager.reset();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    page_mode = mode;
    manager->set_page(0, create_page, nullptr, 0, nullptr, 0, 0, nullptr);
    ASSERT_EQ(manager->frame(true), page_action::SWITCH_PAGE);
    heard.clear();
  }

  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

}  // namespace

TEST_F(TickerX11, ClicksFireByClickModeWithTheirPositionInTheWidget) {
  if (!ready()) GTEST_SKIP();
  const struct {
    CLICK_MODE mode;
    const char* heard;
  } rows[] = {
      {CLICK_MODE::ON_PRESS, "t17,5P a9,4P "},
      {CLICK_MODE::ON_RELEASE, "t17,5U a9,4U "},
      {CLICK_MODE::ON_BOTH, "t17,5P t17,5U a9,4P a9,4U "},
      {static_cast<CLICK_MODE>(7), ""},
  };
  for (const auto& row : rows) {
    ASSERT_NO_FATAL_FAILURE(open_page(row.mode));
    ASSERT_NO_FATAL_FAILURE(click_at(20 + 17, 20 + 5));
    ASSERT_NO_FATAL_FAILURE(click_at(180 + 9, 130 + 4));
    // A press that leaves the widget before the release is heard only by
    // the modes that fire on the press.
    ASSERT_NO_FATAL_FAILURE(move_to(5, 190));
    EXPECT_TRUE(frames_until([] { return true; }));
    EXPECT_EQ(heard, row.heard) << static_cast<uint32_t>(row.mode);
    EXPECT_EQ(ticker->click.click_x, -1);
    EXPECT_EQ(animation->click.click_y, -1);
  }
}

TEST_F(TickerX11, ThePageMovesOnTheClockAndIsSaved) {
  if (!ready()) GTEST_SKIP();
  ASSERT_NO_FATAL_FAILURE(open_page(CLICK_MODE::ON_PRESS));
  const uint64_t begun = fake_ms;
  // Three seconds of frames: the ticker has moved in, the vidiprinter has
  // typed, the animation has stepped.
  std::set<int16_t> frames;
  ASSERT_TRUE(frames_until([&] {
    frames.insert(animation->get_sprite().get_frame());
    return fake_ms - begun >= 3000;
  }));
  EXPECT_LT(ticker->get_text_x(), ticker->x + ticker->width);
  EXPECT_EQ(vidiprinter->get_revealed(), 28);  // whole, and held
  EXPECT_EQ(frames.size(), 4u);
  ASSERT_NO_FATAL_FAILURE(save_screen("ticker_page.png"));
}
