// A button on a page under a real X server: XTEST pointer and key events go
// through the platform frame into the mouse state and key map, the page
// manager's frame processes the button on a fake clock, and the callback
// hears exactly the events its mask asks for; its result comes out of the
// frame as the page action.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "timing.h"
#include "wm_button.h"
#include "wm_page_manager.h"
#include "wm_x11_fixture.h"

namespace {

uint64_t fake_ms = 0;
uint64_t fake_clock() { return fake_ms; }

std::string heard;
int32_t on_click(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  const auto* b = static_cast<WM_BUTTON*>(object);
  const char letters[] = {0, 'P', 'U', 0, 'R', 0, 0, 0, 'C'};
  heard += letters[b->firing_event];
  return b->firing_event == button_event::RELEASE ? 42 : 0;  // a page action of no meaning
}

uint8_t page_mask = 0;
WM_BUTTON* page_button = nullptr;

// One button at (100, 100)-(199, 139) with a hover colour and hot key h.
void create_page(WM_PAGE_MANAGER* manager) {
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER;
  style.mouse_over_colour = 0xFF00A000;
  page_button = new WM_BUTTON(100, 100, 199, 139, &style, "", nullptr, on_click, 0, 0, page_mask);
  page_button->set_hotkey(XK_h);
  page_button->selectable = 1;  // the page's focus: Return clicks it
  manager->current_root()->add_child(page_button, false);
}

class ButtonX11 : public wm_test::PointerX11 {
protected:
  ButtonX11() : PointerX11("Button test", 400, 300) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    // The repeats run across the clock's wrap.
    fake_ms = 0xFFFFFF00u;
    set_clock(fake_clock);
  }
  void TearDown() override {
    manager.reset();
    set_clock(nullptr);
    PointerX11::TearDown();
  }

  void hot_key(bool down) {
    key(XK_h, down);
    ASSERT_TRUE(pump([&] { return is_key_down(XK_h) == down; }));
  }
  // Pressed and let go with no frame between: one platform frame takes
  // both.
  void both_in_one_platform_frame(const std::function<void(bool)>& change) {
    change(true);
    change(false);
    XSync(probe, False);
    XSync(x11.display, False);
    platform_update();
  }

  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

}  // namespace

// Each row runs a script of steps "op=heard,action,look", one page manager
// frame after each: i / o move the pointer over the button or away from it
// (inside the window), p / r press or release the left button, k / K the
// hot key down or up, a number lets that many milliseconds pass on the
// frame clock. Then what the callback has heard, the frame's page action,
// the look (u up, o over, d down) and the pointer shape the frame ended
// with (0 the default, 1 a hand over the button, 2 a hand holding it).
// c clicks and e taps Return (the button has the focus) with no frame
// between press and release; "." is a frame alone.
TEST_F(ButtonX11, StatesEventsAndPageActions) {
  const struct {
    uint8_t mask;
    const char* script;
  } rows[] = {
      {3, "i=,0,o1 p=P,1,d2 r=PU,42,o1 o=PU,0,u0"},
      // Released outside: silent without the cancel bit, a cancel with it.
      {3, "i=,0,o1 p=P,1,d2 o=P,0,d0 r=P,0,u0"},
      {10, "i=,0,o1 p=,0,d2 o=,0,d0 r=C,1,u0"},
      // Held: a repeat after 300 ms, then every 30 ms; the release is silent.
      {5, "i=,0,o1 p=P,1,d2 300=P,0,d2 1=PR,1,d2 30=PR,0,d2 1=PRR,1,d2 r=PRR,0,o1"},
      // The hot key clicks it wherever the pointer is.
      {3, "o=,0,u0 k=P,1,d0 K=PU,42,o0"},
      // Both halves of a quick click or key tap reach the button, in order.
      {3, "i=,0,o1 c=P,1,d2 .=PU,42,o1 .=PU,0,o1"},
      {3, "o=,0,u0 e=P,1,d0 .=PU,42,o0 .=PU,0,u0"},
  };
  for (const auto& row : rows) {
    manager.reset();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    page_mask = row.mask;
    manager->set_page(0, create_page, nullptr, 0, nullptr, 0, 0, nullptr);
    ASSERT_EQ(manager->frame(true), page_action::SWITCH_PAGE);
    heard.clear();
    std::istringstream steps(row.script);
    std::string step, trace;
    while (steps >> step) {
      trace += step + " ";
      switch (step[0]) {
        case 'i': ASSERT_NO_FATAL_FAILURE(move_to(150, 120)); break;
        case 'o': ASSERT_NO_FATAL_FAILURE(move_to(350, 250)); break;
        case 'p': ASSERT_NO_FATAL_FAILURE(press()); break;
        case 'r': ASSERT_NO_FATAL_FAILURE(release()); break;
        case 'k': ASSERT_NO_FATAL_FAILURE(hot_key(true)); break;
        case 'K': ASSERT_NO_FATAL_FAILURE(hot_key(false)); break;
        case 'c': both_in_one_platform_frame([this](bool down) { button(down); }); break;
        case 'e': both_in_one_platform_frame([this](bool down) { key(XK_Return, down); }); break;
        case '.': break;
        default: fake_ms += std::stoul(step); break;
      }
      const int32_t action = manager->frame(true);
      const char look = page_button->pressed ? 'd' : page_button->mouse_over ? 'o' : 'u';
      const std::string seen = heard + "," + std::to_string(action) + "," + look +
                               std::to_string(manager->get_cursor_shape());
      EXPECT_EQ(seen, step.substr(step.find('=') + 1)) << int(row.mask) << ": " << trace;
    }
  }
}
