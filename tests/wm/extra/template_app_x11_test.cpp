// A skinned application run from a template stream as a real program: the
// loaded store opens its window, hands its look to the toolkit, places its
// areas and builds each area's page; a real click on a built button reaches
// the build callback with the button's action id.
#include <gtest/gtest.h>

#include <string>

#include "folder.h"
#include "private_x_server.h"
#include "template_page_store.h"
#include "test_support.h"

namespace {

const std::string kApp = std::string(TEST_BIN_DIR) + "/apps/wm_template_app";

TEST(TemplateApp, AStoredApplicationStartsItsAreasAndAnswersAClick) {
  test_support::ScratchDir scratch;
  FOLDER app;
  ASSERT_NO_FATAL_FAILURE(template_test::make_app_folder(scratch, &app));
  uint32_t action = 0;
  {
    WM_PTM_APP_INFO store;
    template_test::fill_page_store(store);
    action = static_cast<uint32_t>(store.areas[0]->get_page(0)->get_object(1)->user_word_1);
    ASSERT_TRUE(store.save(app, "application.tpl", 0, 0));
  }

  const auto run = private_x::run_on_private_server(
      "800x600x24", {kApp, "--app=" + scratch.file("app"), "--stream=application.tpl"},
      [](Display* probe) {
        const Window window = private_x::find_viewable_window(probe, "Template page");
        EXPECT_NE(window, 0u);
        // The "Play" button lies at (20, 40)-(139, 79).
        if (window) private_x::click_in_window(probe, window, 80, 60);
      });
  if (run.skipped) GTEST_SKIP() << run.skipped;
  const auto& r = run.result;
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "loaded 2 areas\n"
            "screen 640x480, 2 areas\n"
            // The store's title, border width and colours, tooltip and
            // dialog looks are the toolkit's now.
            "title Template page\n"
            "border style 4 shadow FF101010\n"
            "tooltip 1 FF00FFFF\n"
            "dialog body FFE0E0E0\n"
            // Each area's root has its record's rectangle.
            "area 0 at 0,0 size 640x480\n"
            "area 1 at 320,0 size 320x480\n"
            // Each area's first page, in the order the page manager shows
            // them; the control ids of area 0's, children before their grid.
            "area 1 page built, 1 objects\n"
            "build 101\nbuild 102\nbuild 103\nbuild 104\n"
            "area 0 page built, 6 objects\n"
            "shown\n"
            "click " + std::to_string(action) + " 0\n");
}

}  // namespace
