// The configuration picker, reached through its start entry on a scratch
// home: the browser it shows, what a choice writes into settings.cfg, a
// folder without installer data leaving the picker open, and the next
// picker starting at the remembered folder with the remembered name.
#include "config_picker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "config_file.h"
#include "database.h"
#include "font.h"
#include "input_driver.h"
#include "screen.h"
#include "skin_test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_button.h"
#include "wm_file_select.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_test_fonts.h"

namespace {

class ConfigPicker : public test_support::ScratchSkinTest {
protected:
  ConfigPicker() : ScratchSkinTest("config_picker_test") {}
  void SetUp() override {
    // The font before the scratch system root hides the system's fonts.
    ASSERT_TRUE(wm_test::load_test_font());
    ScratchSkinTest::SetUp();
    set_screen_size(0, 0);
    set_screen_size(640, 480);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    ASSERT_EQ(mkdir(scratch.file("home/configs").c_str(), 0755), 0);
    ASSERT_TRUE(test_support::write_file(scratch.file("home/configs/setup.xml"), "<x/>"));
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  }
  void TearDown() override {
    manager.reset();
    installer_database().clear();
    FONT::shutdown();
    ScratchSkinTest::TearDown();
  }
  // Starts the picker and brings its page in.
  WM_FILE_SELECT* start_picker() {
    config_picker_start(manager.get());
    for (int i = 0; i < 4; ++i) {
      input.advance_ms(1000);
      manager->frame(false);
    }
    return static_cast<WM_FILE_SELECT*>(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::FILE_SELECT));
  }
  std::string setting(const char* key) {
    CONFIG_FILE settings;
    settings.init("settings.cfg", false);
    char value[256] = {};
    if (!settings.set("$USERPREFS") || !settings.get_string(key, value)) return "(none)";
    return value;
  }

  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

}  // namespace

TEST_F(ConfigPicker, AChoiceIsRememberedAndAFolderWithoutDataKeepsThePickerOpen) {
  WM_FILE_SELECT* picker = start_picker();
  ASSERT_NE(picker, nullptr);
  // The first picker: "$APPDATA", no name, choosing an existing .xml file.
  FOLDER appdata;  // where "$APPDATA" leads, or the program's folder without one
  appdata.set("$APPDATA");
  EXPECT_STREQ(picker->folder.path, appdata.path);
  EXPECT_EQ(picker->current_name(), "");
  EXPECT_EQ(picker->mode, WM_FILE_SELECT::MODE_EXISTING_FILE);
  EXPECT_STREQ(picker->extension.get_text(), ".xml");
  EXPECT_STREQ(picker->get_text(), "Select Installation Configuration");
  EXPECT_STREQ(picker->message_label->text.get_text(PARAMETER::VALUE), "Select the XML configuration file.");
  EXPECT_STREQ(picker->ok_button->get_text(), "Open");
  EXPECT_EQ(std::tuple(picker->cancel_button->enabled, picker->draggable, picker->effects.flags, picker->width),
            std::tuple(0, 0, 0u, 640));
  EXPECT_EQ(setting("last_path"), "(none)");

  // The user goes to the configuration and picks it; Cancel-like answers
  // and other words do nothing.
  FOLDER configs;
  ASSERT_TRUE(configs.set_absolute(scratch.file("home/configs").c_str()));
  picker->set_mode(WM_FILE_SELECT::MODE_EXISTING_FILE, &configs, "setup.xml", ".xml");
  EXPECT_EQ(on_config_file_chosen(picker, 1, 0), 0);
  EXPECT_EQ(on_config_file_chosen(picker, 2, 1), 0);
  EXPECT_EQ(setting("last_filename"), "(none)");
  // No installer.pkg there: remembered all the same, and the picker stays.
  EXPECT_EQ(on_config_file_chosen(picker, 1, 1), 0);
  EXPECT_EQ(setting("last_filename"), "setup.xml");
  const std::string remembered = setting("last_path");
  EXPECT_EQ(remembered.rfind('$', 0), 0u) << remembered;  // in variable form
  FOLDER back;
  ASSERT_TRUE(back.set_stored_path(remembered.c_str()));
  EXPECT_STREQ(back.path, configs.path);
  EXPECT_STREQ(installer_database().xml_name.get_text(), "setup.xml");
  EXPECT_EQ(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::FILE_SELECT), picker);
  EXPECT_EQ(picker->visible, 1);

  // The next picker page starts there with that name proposed.
  WM_DIALOG::close_all_dialogs(true);
  config_picker_create_page(manager.get());
  auto* next =
      static_cast<WM_FILE_SELECT*>(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::FILE_SELECT));
  ASSERT_NE(next, nullptr);
  EXPECT_STREQ(next->folder.path, configs.path);
  EXPECT_EQ(next->current_name(), "setup.xml");
}
