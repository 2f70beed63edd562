// The demo installer made with a minimum screen size larger than the
// private X server's 800 x 600 screen: the options page opens the warning,
// No closes it and leaves the wizard running, and the warning's text goes
// into install_log.txt as the header's third line.
#include <gtest/gtest.h>

#include <sstream>

#include "demo_installer_driver.h"

namespace {

using namespace demo_installer;

class SmallScreen : public DEMO_INSTALLER {
protected:
  void SetUp() override { start_server_and_build("800x600x24", "min_screen = 1024 768\n"); }
};

TEST_F(SmallScreen, OptionsPageWarnsAndTheLogKeepsTheMessage) {
  start();
  const PICTURE warned = to_options_page();
  save(warned, "small_screen_warning");

  // The warning, centred in the window, reaches below the options dialog:
  // the bottom row of buttons of the two together is its own, No (Stay)
  // on the right.
  ASSERT_TRUE(click_bottom_button(warned, dialog_of(warned), 0));
  const PICTURE answered = settle();
  save(answered, "small_screen_after_no");
  const RECT_FOUND warning = changed_box(warned, answered);
  ASSERT_TRUE(warning.found());
  EXPECT_GT(warning.x2 - warning.x1, 150);  // the whole warning went
  EXPECT_GT(warning.y2 - warning.y1, 100);
  EXPECT_EQ(wait_for_end(0), -1);  // the wizard runs on

  // Install: the log's third header line is the warning's text.
  ASSERT_TRUE(click_bottom_button(answered, dialog_of(answered), 0));
  const std::string log = target() + "/install_log.txt";
  ASSERT_TRUE(wait_for(
      [&] { return test_support::read_file(log).find("Installation completed") != std::string::npos; }, 60));
  std::istringstream lines(test_support::read_file(log));
  std::string line;
  for (int i = 0; i < 6; ++i) std::getline(lines, line);
  EXPECT_EQ(line, "ERROR: screen 800x600 does not meet minimum requirement of 1024x768");
  std::getline(lines, line);
  EXPECT_EQ(line, "");
}

}  // namespace
