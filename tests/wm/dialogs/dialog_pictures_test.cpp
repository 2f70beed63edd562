// Every dialog of the toolkit, in its default look, opened over an empty
// page of the page manager on the headless screen and driven by the test
// input helpers to a state (focused, pressed, typed into, scrolled); the
// whole screen is compared pixel for pixel with its reference picture under
// tests/references/dialogs/ (tests/refresh_references.sh writes them).
// The file browser shows a fixed folder whose entries have fixed dates, in
// UTC; a lock keeps two runs from sharing it.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "input_driver.h"
#include "wm_about.h"
#include "wm_button.h"
#include "wm_confirm.h"
#include "wm_file_select.h"
#include "wm_flags_select.h"
#include "wm_keyboard_dialog.h"
#include "wm_page_manager.h"
#include "wm_progress_bar_dialog.h"
#include "wm_test_fonts.h"
#include "wm_text_edit_dialog.h"
#include "wm_text_win.h"

namespace {

constexpr int16_t kWidth = 640, kHeight = 400;
const std::string kFixed = "/tmp/vorn-dialog-pictures";
constexpr COLOUR kFill = 0xFF20A040;
WM_CALLBACK const kStay = [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return int32_t{0}; };
const DIALOG_EFFECTS kAtOnce{0};  // no open or close effect

// The about box's text without the build's date, which differs from build
// to build.
void fixed_about_text(WM_ABOUT* about) {
  about->text_window->clear();
  const std::string text = "Test Program 1.0\nBuilt on Jan  1 2001 at 12:00:00\nBuilt with the V.O.R.N. "
                           "Development Libraries, FreeType, libpng, libjpeg and zlib\n" +
                           std::string(WM_ABOUT::WEB_ADDRESS);
  about->text_window->add_text(text.c_str(), "credits", nullptr, true, true);
}

class DialogPictures : public wm_test::TextSkinTest {
protected:
  DialogPictures() : TextSkinTest("dialog_pictures_test", kWidth, kHeight) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    lock = open((kFixed + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    guard.set("TZ", "UTC");
    tzset();
    std::error_code ignored;
    std::filesystem::remove_all(kFixed, ignored);
    const timespec when[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06
    for (const char* name : {"", "/Documents", "/Pictures"}) {
      ASSERT_EQ(mkdir((kFixed + name).c_str(), 0700), 0);
      ASSERT_EQ(utimensat(AT_FDCWD, (kFixed + name).c_str(), when, 0), 0);
    }
    ASSERT_TRUE(test_support::write_file(kFixed + "/notes.txt", "Some notes.\n"));
    ASSERT_EQ(utimensat(AT_FDCWD, (kFixed + "/notes.txt").c_str(), when, 0), 0);
    ASSERT_TRUE(fixed.set_absolute(kFixed.c_str()));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(kFixed, ignored);
    if (lock >= 0) close(lock);
    tzset();
    TextSkinTest::TearDown();
  }

  test_support::INPUT_DRIVER input;
  test_support::EnvironmentGuard guard;
  FOLDER fixed;
  int lock = -1;
};

// How each picture's dialog is opened, and what is done to it: each key
// tapped ("t" Tab, "T" Shift+Tab, "r" Return, "s" Space, "A" Control+A,
// "w" "notes" typed),
// "p" the focused button held down by the pointer, "C" the pointer held
// down on the dialog's middle, "W" the wheel turned down three steps there,
// "L" notes.txt read into a message box's text.
struct ROW {
  const char* name;
  std::function<WM_DIALOG*(const FOLDER&)> open;
  const char* actions;
  const char* area = "dialogs";
};

TEST_F(DialogPictures, EveryDialogInItsStatesMatchesItsReference) {
  const char* const flag_labels[] = {"Desktop link", "Menu entry", "Documentation", "Sources", "Icons",  "Fonts",
                                     "Sounds",       "Manuals",    "Examples",      "Themes",  "Plug-ins", "Tools"};
  const WM_CONFIRM::BUTTON_ACTION retry{kStay, 0, 1}, skip{kStay, 0, 2}, stop{kStay, 0, 3};
  const char* const lines[] = {"The folder is not empty.", "Install into it anyway?"};
  const char* const short_line[] = {"Done."};
  auto message = [&](int16_t w, int16_t h, bool single, const std::string& file) {
    auto* d = new WM_CONFIRM(w, h, "Copy error", "Retry", "Skip", true, retry, skip, -1, -1, single, 20, nullptr);
    d->message_window->add_text((file + " could not be written. Carry on with the other files?").c_str(), nullptr,
                                nullptr, true, true);
    return d;
  };
  auto flags = [&](uint32_t mask, int16_t count) {
    auto* d = new WM_FLAGS_SELECT(kStay, 0, nullptr, nullptr);
    d->set_flags(mask, flag_labels, count);
    return d;
  };
  // A file or folder browser opened in the fixed folder.
  auto browser = [](uint8_t mode, const char* name, const char* ext, uint8_t new_folder_at_dialog = 0) {
    return [=](const FOLDER& f) {
      auto* d = new WM_FILE_SELECT(-1, -1, true, kStay, 0, nullptr, nullptr, nullptr);
      d->set_mode(mode, &f, name, ext);
      d->new_folder_at_dialog = new_folder_at_dialog;
      return d;
    };
  };
  auto keyboard = [](const FOLDER&) {
    return new WM_KEYBOARD_DIALOG(-1, -1, 600, 300, "Keys", "abc", 20, nullptr, 0, 0, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, &keyboard_layout, WM_KEYBOARD::REPEATING_KEYS, 0, 0, 0);
  };
  const ROW rows[] = {
      {"question", [](const FOLDER&) { return new WM_CONFIRM(300, 150, "Leave?", true, kStay, 0, -1, -1, false, 10, nullptr); }, ""},
      {"question_focus_moved", [](const FOLDER&) { return new WM_CONFIRM(300, 150, "Leave?", true, kStay, 0, -1, -1, false, 10, nullptr); }, "t"},
      {"question_pressed", [](const FOLDER&) { return new WM_CONFIRM(300, 150, "Leave?", true, kStay, 0, -1, -1, false, 10, nullptr); }, "p"},
      {"note", [](const FOLDER&) { return new WM_CONFIRM(300, 150, "Note", true, kStay, 0, -1, -1, true, 10, nullptr); }, ""},
      {"message_two_buttons", [&](const FOLDER&) { return message(360, 170, false, "notes.txt"); }, ""},
      {"message_one_button", [&](const FOLDER&) { return message(360, 170, true, "notes.txt"); }, ""},
      {"message_three_buttons", [&](const FOLDER&) {
         auto* d = new WM_CONFIRM(420, 170, "Copy error", "Retry", "Skip", "Stop", true, retry, skip, stop, -1, -1, 3, 20, nullptr);
         d->message_window->add_text("notes.txt could not be written.", nullptr, nullptr, true, true);
         return d;
       }, ""},
      {"message_scrolled", [&](const FOLDER&) {
         auto* d = new WM_CONFIRM(360, 170, "Licence", "Agree", "Disagree", true, retry, skip, -1, -1, false, 40, nullptr);
         for (int i = 1; i <= 20; ++i)
           d->message_window->add_text(("Clause " + std::to_string(i) + " of the licence.").c_str(), nullptr, nullptr,
                                       true, true);
         return d;
       }, "W"},
      {"message_wrapped", [&](const FOLDER&) {
         return message(260, 190, false, "/tmp/vorn-dialog-pictures/Documents/Projects/2001/notes-for-the-installer.txt");
       }, ""},
      {"message_from_file", [&](const FOLDER&) {
         return new WM_CONFIRM(360, 170, "Read me", "Agree", "Disagree", true, retry, skip, -1, -1, false, 20, nullptr);
       }, "L", "dialogs3"},
      {"lines", [&](const FOLDER&) { return new WM_CONFIRM(-1, -1, "Question", lines, 2, true, kStay, 0, false, nullptr); }, ""},
      {"lines_placed", [&](const FOLDER&) {
         const char* const with_gap[] = {"Installed.", nullptr, "Start it now?"};
         return new WM_CONFIRM(40, 30, "Setup", with_gap, 3, true, kStay, 0, false, nullptr);
       }, "", "dialogs3"},
      {"lines_short", [&](const FOLDER&) { return new WM_CONFIRM(-1, -1, "Setup", short_line, 1, true, kStay, 0, true, nullptr); }, "", "dialogs2"},
      {"about", [](const FOLDER&) {
         auto* d = new WM_ABOUT();
         fixed_about_text(d);
         return d;
       }, ""},
      {"flags", [&](const FOLDER&) { return flags(0x5, 4); }, ""},
      {"flags_toggled", [&](const FOLDER&) { return flags(0x5, 4); }, "ts"},
      {"flags_more_than_the_view", [&](const FOLDER&) { return flags(0x5A5, 12); }, "", "dialogs2"},
      {"flags_none", [&](const FOLDER&) { return flags(0, 0); }, "", "dialogs2"},
      {"flags_with_gaps", [&](const FOLDER&) {
         auto* d = new WM_FLAGS_SELECT(kStay, 0, nullptr, nullptr);
         const char* const gaps[] = {"Desktop link", nullptr, "Documentation", nullptr, "Sources"};
         d->set_flags(0x6, gaps, 5);
         return d;
       }, "ts", "dialogs3"},
      {"flags_in_styles", [&](const FOLDER&) {
         WM_STYLE_SET boxes, bar;
         boxes.fg_colour = 0xFFF0E060;
         boxes.bg_colour = 0xFF604080;
         bar.bg_colour = 0xFF80C0A0;
         bar.fg_colour = bar.active_colour = 0xFF203040;
         auto* d = new WM_FLAGS_SELECT(kStay, 0, &boxes, &bar);
         d->set_flags(0x5A5, flag_labels, 12);
         return d;
       }, "", "dialogs3"},
      {"flags_scrolled", [&](const FOLDER&) { return flags(0x5A5, 12); }, "W", "dialogs3"},
      {"folder_browser", browser(WM_FILE_SELECT::MODE_FOLDER, nullptr, nullptr), ""},
      {"file_browser", browser(WM_FILE_SELECT::MODE_EXISTING_FILE, "notes", "txt"), ""},
      {"folder_browser_new_folder", browser(WM_FILE_SELECT::MODE_FOLDER, nullptr, nullptr), "TTsw"},
      {"folder_browser_entered_by_keys", browser(WM_FILE_SELECT::MODE_FOLDER, nullptr, nullptr), "TTTs", "dialogs2"},
      {"folder_browser_named_over_it", browser(WM_FILE_SELECT::MODE_FOLDER, nullptr, nullptr, 1), "TTs", "dialogs2"},
      {"file_browser_file_chosen", browser(WM_FILE_SELECT::MODE_EXISTING_FILE, "notes", "txt"), "TTs", "dialogs2"},
      {"text_entry", [](const FOLDER&) { return new WM_TEXT_EDIT_DIALOG(-1, -1, true, kStay, 0, nullptr, nullptr, "Name", 20); }, ""},
      {"text_entry_typed", [](const FOLDER&) { return new WM_TEXT_EDIT_DIALOG(-1, -1, true, kStay, 0, nullptr, nullptr, "Name", 20); }, "w"},
      {"text_entry_all_selected", [](const FOLDER&) { return new WM_TEXT_EDIT_DIALOG(-1, -1, true, kStay, 0, nullptr, nullptr, "Name", 20); }, "wA", "dialogs4"},
      {"keyboard", keyboard, ""},
      {"keyboard_key_held", keyboard, "C"},
      {"keyboard_typed", keyboard, "w", "dialogs3"},
      {"progress", [](const FOLDER&) {
         auto* d = new WM_PROGRESS_BAR_DIALOG(-1, -1, 360, 140, "Installing", nullptr, nullptr, nullptr, &kAtOnce,
                                              "Copying notes.txt", 10, nullptr, true, nullptr);
         d->set_value(4, false);
         return d;
       }, ""},
      {"progress_retold", [](const FOLDER&) {
         auto* d = new WM_PROGRESS_BAR_DIALOG(-1, -1, 360, 140, "Installing", nullptr, nullptr, nullptr, &kAtOnce,
                                              "Copying notes.txt", 10, &kFill, true, nullptr);
         d->set_value(7, false);
         d->set_title("Removing", false);
         d->set_message("Deleting old files", false);
         d->set_bar_text("Step 7", false);
         return d;
       }, "", "dialogs2"},
      {"progress_without_message", [](const FOLDER&) {
         auto* d = new WM_PROGRESS_BAR_DIALOG(-1, -1, 300, 100, "Installing", nullptr, nullptr, nullptr, &kAtOnce,
                                              nullptr, 5, &kFill, true, nullptr);
         // Values outside 0..total and a negative total change nothing;
         // steps stop at the ends: 4 of 5.
         d->set_value(6, false);
         d->set_value(-1, false);
         d->set_total(-2, false);
         for (int i = 0; i < 6; ++i) d->step(false);
         d->step_back(false);
         d->set_message("ignored", false);
         d->set_text("Removing");
         return d;
       }, "", "dialogs4"},
      {"progress_in_a_bar_style", [](const FOLDER&) {
         WM_STYLE_SET bar;
         bar.y_spacing = 3;
         bar.border_top_gap = bar.border_bottom_gap = 5;
         bar.bg_colour = 0xFF304060;
         bar.fg_colour = 0xFFF0F0F0;
         bar.highlight_colour = 0xFFE08020;
         bar.highlight_text_colour = 0xFF101010;
         auto* d = new WM_PROGRESS_BAR_DIALOG(-1, -1, 360, 160, "Installing", nullptr, nullptr, nullptr, &kAtOnce,
                                              "Copying notes.txt", 10, nullptr, true, &bar);
         d->set_value(6, false);
         d->set_bar_text("6 of 10", false);
         return d;
       }, "", "dialogs3"},
  };

  for (const ROW& row : rows) {
    SCOPED_TRACE(row.name);
    WM_PAGE_MANAGER manager(1, -1);
    manager.set_page(0, [](WM_PAGE_MANAGER* m) { m->current_root()->add_child(new wm_test::BOX(0, 0, kWidth, kHeight, 0xFF304050), false); },
                     nullptr, 1, nullptr, 0, 0, nullptr);
    auto frames = [&](int n) {
      for (int i = 0; i < n; ++i) {
        input.advance_ms(200);
        manager.frame(false);
      }
    };
    frames(1);
    // The made dialog is announced with its whole kind, and so is each part it holds.
    static uint32_t heard = 0;
    heard = 0;
    WM_SCREEN_OBJECT::object_created_hook = [](WM_SCREEN_OBJECT* o, uintptr_t) { heard |= o->kind; };
    WM_DIALOG* dialog = row.open(fixed);
    WM_SCREEN_OBJECT::object_created_hook = nullptr;
    for (int i = -1; i < dialog->get_client()->child_count(); ++i) {
      const uint32_t kind = i < 0 ? dialog->kind : dialog->get_client()->get_child(int16_t(i))->kind;
      EXPECT_EQ(heard & kind, kind) << i;
    }
    manager.area(0).root.add_overlay(dialog, false);
    frames(10);
    for (const char* a = row.actions; *a; ++a) {
      const auto* focus = static_cast<const WM_SCREEN_OBJECT*>(WM_SCREEN_OBJECT::focus_object);
      wm_test::held_keys = {*a == 'T' ? 0xFFE1u : *a == 'A' ? 0xFFE3u : *a == 's' ? WM_BUTTON::KEY_SPACE : *a == 'r' ? WM_BUTTON::KEY_RETURN : 0u};
      switch (*a) {
        case 't': case 'T': input.key(XK_Tab, '\t'); break;
        case 'r': input.key(XK_Return, '\n'); break;
        case 's': input.key(XK_space, ' '); break;
        case 'A': input.key('a', 'a'); break;
        case 'w':
          for (const char* c = "notes"; *c; ++c) {
            input.key(static_cast<uint32_t>(*c), static_cast<uint32_t>(*c));
            frames(1);
          }
          break;
        case 'C': case 'W':
          input.move_to(dialog->x + dialog->width / 2, dialog->y + dialog->height / 2);
          if (*a == 'C') input.press(1);
          if (*a == 'W') input.turn_wheel(-3);
          break;
        case 'L':
          ASSERT_TRUE(static_cast<WM_CONFIRM*>(dialog)->load_text_file(fixed, "notes.txt"));
          break;
        case 'p':
          ASSERT_NE(focus, nullptr);
          input.move_to(focus->x + focus->width / 2, focus->y + focus->height / 2);
          input.press(1);
          break;
      }
      frames(1);
      wm_test::held_keys.clear();
      frames(5);
    }
    EXPECT_TRUE(test_support::picture_matches_reference(row.area, row.name, *get_screen_image()));
    input.release(1);
    input.move_to(-1, -1);
    while (!WM_SCREEN_OBJECT::overlays().empty())
      manager.area(0).root.remove_overlay(WM_SCREEN_OBJECT::overlays().back(), true, false);
    manager.area(0).root.destroy_children(true, 0, true);
    WM_SCREEN_OBJECT::focus_object = nullptr;
  }
}

}  // namespace
