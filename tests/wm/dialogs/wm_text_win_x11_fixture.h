#pragma once
// The text window and dialog X tests' fixture: wm_test::PointerX11, a
// focused 640 x 480 window with the test font and XTEST pointer and keys,
// and OverlayX11 for dialogs shown as overlays of a bare root.
#include "wm_x11_fixture.h"

namespace wm_test {

// The effects' clock runs fast; the overlays are painted, as effects start
// with the first paint. Overlays left at the end are deleted.
class OverlayX11 : public PointerX11 {
protected:
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    frame = [this] {
      clock += 400;
      WM_SCREEN_OBJECT::set_frame_clock(clock);
      root.process();
      root.update(true);
      DIRTY_RECTANGLES::SCOPED_ENTRY whole(dirty_rectangles(), RECT{0, 0, 639, 479});
      root.paint_overlays();
    };
  }
  void TearDown() override {
    while (!WM_SCREEN_OBJECT::overlays().empty())
      root.remove_overlay(WM_SCREEN_OBJECT::overlays().back(), true, false);
    PointerX11::TearDown();
  }

  uint32_t clock = 10000;
  WM_SCREEN_OBJECT root{true, nullptr, 0, 0};
};

}  // namespace wm_test
