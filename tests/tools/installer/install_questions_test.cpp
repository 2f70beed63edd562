// The install run inside the wizard on a headless screen: the copy-error and
// path-error questions it opens, how their answers steer the run, and the
// run holding still while a question is open.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "database.h"
#include "dialog_effects.h"
#include "font.h"
#include "input_driver.h"
#include "package.h"
#include "package_test_support.h"
#include "platform.h"
#include "screen.h"
#include "toolkit_defaults_guard.h"
#include "wizard.h"
#include "wizard_hooks.h"
#include "wm_button.h"
#include "wm_confirm.h"
#include "wm_kinds.h"
#include "wm_page_manager.h"
#include "wm_text_win.h"
#include "wm_test_fonts.h"

namespace {

DATABASE_FILE file_record(const char* name, const char* packed) {
  DATABASE_FILE f;
  set_field_text(f.src_name, name);
  set_field_text(f.dest_path_from_inst_loc, "$app");
  set_field_text(f.packed_name, packed);
  return f;
}

class InstallQuestions : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    PackageScratchTest::SetUp();
    ASSERT_TRUE(wm_test::load_test_font());
    set_screen_size(0, 0);
    set_screen_size(640, 480);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    default_dialog_effects().flags = 0;

    DATABASE& data = installer_database();
    data.clear();
    data.languages.assign(1, DATABASE_LANGUAGE());
    // Messages with stray conversions: they must print as they stand.
    const std::pair<LANGUAGE_KEY, const char*> texts[] = {
        {COPY_ERROR_TITLE, "Copy failed"}, {COPY_ERROR_MSG, "Cannot write %s: 100% sure, %n %s"},
        {COPY_ERROR_YES, "Go on"},         {COPY_ERROR_NO, "Back"},
        {PATH_ERROR_TITLE, "No folder"},   {PATH_ERROR_MSG, "Cannot use %s (%d%%)"},
        {PATH_ERROR_BUTTON, "Choose"}};
    for (const auto& [key, text] : texts) set_field_text(data.languages[0].texts[key], text);
    data.installations.assign(1, DATABASE_INSTALLATION());
    data.installations[0].files = {file_record("lost", "absent"), file_record("good", "good")};
    data.background.speed = 0;
    data.window.width = 640;
    data.window.height = 480;
    data.dialog.width = 400;
    data.dialog.height = 300;
    data.error.can_drag = 0;
    data.icons[ICON_YES].create(8, 8);
    data.icons[ICON_NO].create(6, 6);
    data.pack_folder = work;
    set_field_text(data.install_folder, "$ROOT0/inst");
    set_field_text(data.application.app_string, "demo");
    data.use_system_paths = 0;
    // Off the installing page first: whatever run an earlier test left ends.
    data.current_page = WIZARD_PAGE_OPTIONS;
    data.install_step(nullptr);
    data.current_page = WIZARD_PAGE_INSTALLING;
    {
      ASSERT_TRUE(test_support::write_file(scratch.file("work/good"), "good bytes"));
      PACKAGE package(work, "installer.pkg", true, 0, false, false);
      ASSERT_TRUE(package.add_file(work, "good"));
      ASSERT_TRUE(package.flush());
    }
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    start_wizard(manager.get());
  }
  void TearDown() override {
    manager.reset();
    DATABASE& data = installer_database();
    data.package.reset();
    data.clear();
    for (IMAGE& icon : data.icons) icon.create(0, 0);
    clear_base_path();
    FONT::shutdown();
    PackageScratchTest::TearDown();
  }
  void frames(int count) {
    for (int i = 0; i < count; ++i) {
      input.advance_ms(1000);
      manager->frame(false);
    }
  }
  static WM_CONFIRM* question() {
    return static_cast<WM_CONFIRM*>(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::CONFIRM));
  }
  // The message's lines joined by '\n'. A wrapped line's rows look into
  // the line's own text, which runs on to the line's end.
  static std::string message(const WM_CONFIRM* dialog) {
    const WM_TEXT_WIN* window = dialog->message_window;
    std::string text;
    const char* line = nullptr;
    for (int32_t age = 0; window && age < window->get_row_count(); ++age) {
      const char* row = window->get_row(window->row_at_age(age)).text;
      if (line && row >= line && row < line + strlen(line)) continue;
      text += (line ? "\n" : "") + std::string(row);
      line = row;
    }
    return text;
  }
  void click(WM_BUTTON* button) {
    input.move_to(button->get_x() + button->width / 2, button->get_y() + button->height / 2);
    input.press(1);
    manager->frame(false);
    input.release(1);
    frames(4);
  }
  std::string inst() const { return home + "/inst"; }

  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

TEST_F(InstallQuestions, ACopyErrorHoldsTheRunUntilGoOn) {
  DATABASE& data = installer_database();
  frames(6);
  WM_CONFIRM* ask = question();
  ASSERT_NE(ask, nullptr);
  EXPECT_STREQ(ask->get_text(), "Copy failed");
  EXPECT_EQ(message(ask), "Cannot write " + inst() + "/lost: 100% sure, %n %s");
  EXPECT_EQ(ask->message_window->text_flags, 0);
  EXPECT_EQ(ask->draggable, 0);
  EXPECT_EQ(ask->first_button->icon.width, 8);
  EXPECT_EQ(ask->second_button->icon.width, 6);
  EXPECT_EQ(ask->second_button->action_word_2, static_cast<uintptr_t>(WIZARD_PAGE_OPTIONS));
  EXPECT_EQ(data.install_error_count(), 1);

  // A question above the asking one (a tooltip, say) does not let it run on.
  WM_SCREEN_OBJECT* above = new WM_SCREEN_OBJECT(true, nullptr, 0, 0);
  above->set_size(10, 10, false);
  manager->current_root()->add_overlay(above, false);
  frames(6);
  EXPECT_FALSE(test_support::file_exists(inst() + "/good"));
  manager->current_root()->remove_overlay(above, true, false);

  click(ask->first_button);
  frames(6);
  EXPECT_EQ(question(), nullptr);
  EXPECT_TRUE(data.install_complete());
  EXPECT_EQ(test_support::read_file(inst() + "/good"), "good bytes");
}

TEST_F(InstallQuestions, BackOnACopyErrorAbandonsTheRun) {
  DATABASE& data = installer_database();
  const FOLDER program;
  frames(6);
  ASSERT_NE(question(), nullptr);
  click(question()->second_button);
  EXPECT_EQ(data.current_page, WIZARD_PAGE_OPTIONS);
  frames(2);
  const FOLDER now;
  EXPECT_STREQ(now.path, program.path);  // the install folder no longer stands for "$APP"
  EXPECT_EQ(get_idle_wait(), 50u);
  EXPECT_FALSE(data.install_complete());
  EXPECT_FALSE(test_support::file_exists(inst() + "/good"));
  // The log does not read like a complete one.
  const std::string log = test_support::read_file(inst() + "/install_log.txt");
  EXPECT_EQ(log.substr(log.find("\"" + inst() + "/lost\"")),
            "\"" + inst() + "/lost\" failed to unpack (absent)\nInstallation interrupted: 0 files installed.\n");
}

// Once the run has finished, a close request (and Quit) ends the program
// without the question whether to leave an unfinished installation.
TEST_F(InstallQuestions, AFinishedInstallEndsWithoutAsking) {
  DATABASE& data = installer_database();
  EXPECT_FALSE(confirm_quit(0));  // asked while the run stands
  frames(6);
  WM_DIALOG::close_all_dialogs(true);
  frames(6);
  ASSERT_NE(question(), nullptr);
  click(question()->first_button);
  frames(6);
  ASSERT_TRUE(data.install_complete());
  EXPECT_TRUE(confirm_quit(0));
  frames(2);
  EXPECT_EQ(question(), nullptr);
  EXPECT_EQ(on_wizard_button(nullptr, 1, 0), page_action::END);
}

TEST_F(InstallQuestions, APathErrorLeadsBackToTheOptions) {
  DATABASE& data = installer_database();
  ASSERT_TRUE(test_support::write_file(home + "/file", "not a folder"));
  set_field_text(data.install_folder, "$ROOT0/file/inst");
  frames(6);
  WM_CONFIRM* error = question();
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error->get_text(), "No folder");
  // The data's sentence first, then the folder and why it cannot be used.
  EXPECT_EQ(message(error), "Cannot use " + home + "/file (%d%%)\n" + home + "/file: Not a directory");
  EXPECT_EQ(error->second_button, nullptr);
  EXPECT_EQ(error->first_button->icon.width, 6);
  click(error->first_button);
  EXPECT_EQ(data.current_page, WIZARD_PAGE_OPTIONS);
  EXPECT_EQ(data.install_error_count(), 0);
}

}  // namespace
