// A skinned application run from a template stream as a real program: the
// loaded store opens its window, hands its look to the toolkit, places its
// areas and builds each area's page; a real click on a built button reaches
// the build callback with the button's action id.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <future>
#include <string>

#include "folder.h"
#include "private_x_server.h"
#include "template_page_store.h"
#include "test_support.h"

namespace {

const std::string kApp = std::string(TEST_BIN_DIR) + "/apps/wm_template_app";

TEST(TemplateApp, AStoredApplicationStartsItsAreasAndAnswersAClick) {
  test_support::ScratchDir scratch;
  ASSERT_EQ(mkdir(scratch.file("app").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(scratch.file("app/images").c_str(), 0755), 0);
  FOLDER app, images;
  ASSERT_TRUE(app.set_absolute(scratch.file("app").c_str()));
  ASSERT_TRUE(images.set_absolute(scratch.file("app/images").c_str()));
  ASSERT_NO_FATAL_FAILURE(template_test::save_quadrants(images, "back.png"));
  uint32_t action = 0;
  {
    WM_PTM_APP_INFO store;
    template_test::fill_page_store(store);
    action = static_cast<uint32_t>(store.areas[0]->get_page(0)->get_object(1)->user_word_1);
    ASSERT_TRUE(store.save(app, "application.tpl", 0, 0));
  }

  private_x::SERVER server = private_x::start("800x600x24", false);
  if (server.display < 0) GTEST_SKIP() << "no Xvfb";
  const std::string display_name = ":" + std::to_string(server.display);
  Display* probe = XOpenDisplay(display_name.c_str());
  int event = 0, error = 0, major = 0, minor = 0;
  if (!probe || !XTestQueryExtension(probe, &event, &error, &major, &minor)) {
    if (probe) XCloseDisplay(probe);
    private_x::stop(server);
    GTEST_SKIP() << "no XTEST";
  }
  auto run = std::async(std::launch::async, [&] {
    return test_support::run_program(
        {kApp, "--app=" + scratch.file("app"), "--stream=application.tpl"},
        {"DISPLAY=" + display_name});
  });
  const Window window = private_x::find_viewable_window(probe, "Template page");
  EXPECT_NE(window, 0u);
  // The "Play" button lies at (20, 40)-(139, 79).
  if (window) private_x::click_in_window(probe, window, 80, 60);
  const auto r = run.get();
  XCloseDisplay(probe);
  private_x::stop(server);

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
