// A loaded template store opens its window on the test X server: at its
// size, with the still background in its colour, and switches mode only
// when the platform agrees.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "screen.h"
#include "window.h"
#include "wm_page_manager.h"
#include "wm_ptm_app_info.h"

namespace {

TEST(TemplateStoreX11, ALoadedStoreOpensItsScreenWithItsBackground) {
  Display* probe = XOpenDisplay(nullptr);
  if (!probe) GTEST_SKIP() << "no X display";
  XCloseDisplay(probe);

  WM_PTM_APP_INFO store;
  store.set_title("Store window");
  store.screen_width = 320;
  store.screen_height = 240;
  store.background_colour = 0xFF112233;
  EXPECT_FALSE(store.open_screen());  // nothing loaded yet
  store.loaded = 1;
  WM_PAGE_MANAGER* manager = store.create_manager(nullptr);
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(store.open_screen());
  EXPECT_EQ(get_screen_width(0), 320);
  EXPECT_EQ(get_screen_height(0), 240);
  const IMAGE& back = manager->back_buffers[0];
  ASSERT_EQ(back.width, 320);
  ASSERT_EQ(back.height, 240);
  for (auto [x, y] : {std::pair{0, 0}, {319, 239}, {160, 120}}) {
    COLOUR pixel = 0;
    back.get_pixel(static_cast<int16_t>(x), static_cast<int16_t>(y), &pixel);
    EXPECT_EQ(pixel, 0xFF112233u) << x << "," << y;
  }

  // Whatever the server allows, the stored mode is the one that is open.
  bool switched = store.toggle_full_screen();
  EXPECT_EQ(store.full_screen, switched ? 1 : 0);
  EXPECT_TRUE(window_exists(0));
  EXPECT_EQ(get_screen_width(0), 320);
  close_window(ALL_SCREENS);
}

}  // namespace
