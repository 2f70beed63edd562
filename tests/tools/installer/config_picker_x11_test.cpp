// The configuration picker's successful choice on the test's X display: the
// chosen folder's installer data loads, the installer's window opens with
// the data's title and size, the close handler asks before quitting and
// the page manager is told to bring the next page in.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "config_picker.h"
#include "data_file.h"
#include "database.h"
#include "input_driver.h"
#include "package.h"
#include "package_data_file.h"
#include "package_test_support.h"
#include "platform.h"
#include "screen.h"
#include "toolkit_defaults_guard.h"
#include "window.h"
#include "wizard_hooks.h"
#include "wm_file_select.h"
#include "wm_page_manager.h"
#include "x11_state.h"

namespace {

class ConfigPickerWindow : public package_test_support::PackageScratchTest {};

}  // namespace

TEST_F(ConfigPickerWindow, AChosenFolderWithDataOpensTheInstallersWindow) {
  Display* probe = XOpenDisplay(nullptr);
  if (!probe) GTEST_SKIP() << "no X display";
  XCloseDisplay(probe);
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  {
    DATABASE data;
    data.window.width = 500;
    data.window.height = 360;
    data.dialog.width = 300;
    data.dialog.height = 200;
    DATABASE_LANGUAGE english;
    snprintf(english.texts[INSTALLER_TITLE], DATABASE_TEXT_SIZE, "%s", "Picked Set-up");
    data.languages.push_back(english);
    PACKAGE package(work, "installer.pkg", true, 0, false, false);
    ASSERT_TRUE(package.is_open());
    DATA_FILE* stored = package.open_file("database.bin", 1, 255);
    ASSERT_NE(stored, nullptr);
    ASSERT_TRUE(data.put_to_data_device(stored));
    ASSERT_TRUE(FOLDER::close_data_file(stored));
  }
  set_screen_size(0, 0);
  set_screen_size(200, 100);
  test_support::INPUT_DRIVER input;
  auto manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  set_close_handler(nullptr);
  config_picker_create_page(manager.get());
  auto* picker =
      static_cast<WM_FILE_SELECT*>(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::FILE_SELECT));
  ASSERT_NE(picker, nullptr);
  picker->set_mode(WM_FILE_SELECT::MODE_EXISTING_FILE, &work, "setup.xml", ".xml");

  EXPECT_EQ(on_config_file_chosen(picker, 1, 1), 11);
  EXPECT_EQ(get_screen_width(0), 500);
  EXPECT_EQ(get_screen_height(0), 360);
  EXPECT_EQ(manager->current_root()->width, 500);
  ASSERT_NE(x11.window, 0u);
  char* name = nullptr;
  ASSERT_TRUE(XFetchName(x11.display, x11.window, &name));
  EXPECT_STREQ(name, "Picked Set-up");
  XFree(name);
  EXPECT_EQ(get_close_handler(), confirm_quit);
  EXPECT_STREQ(installer_database().pack_folder.path, work.path);

  set_close_handler(nullptr);
  manager.reset();
  close_window(ALL_SCREENS);
  installer_database().clear();
  installer_database().package.reset();
}
