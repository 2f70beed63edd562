// The browser in a real window driven by XTEST clicks and keys on a scratch
// tree: down into a folder and back by "..", up by the drop-down, out to
// the drives and in again, a file chosen, a folder made through the name
// dialog (closed by its own OK), and OK answered by a callback that deletes
// the browser through its result. A double click on ".." goes up one level
// only. The open browser is saved as a picture.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "file_services.h"
#include "timing.h"
#include "wm_button.h"
#include "wm_file_select.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_menu.h"
#include "wm_text_edit.h"
#include "wm_text_edit_dialog.h"
#include "wm_text_win_x11_fixture.h"

namespace {

// Real time, plus a skip before each click on a row, so that two clicks
// on rows count as a double click only where the test makes one.
uint64_t skipped_ms = 0;
uint64_t skipping_clock() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return static_cast<uint64_t>(ms) + skipped_ms;
}

std::vector<std::string> answers;
int32_t answer(WM_SCREEN_OBJECT* dialog, uintptr_t, uintptr_t ok) {
  char name[64];
  FOLDER folder;
  EXPECT_TRUE(static_cast<WM_FILE_SELECT*>(dialog)->get_result(&folder, name, sizeof name));
  answers.push_back(std::string(ok == 1 ? "ok " : ok == 0 ? "cancel " : "odd ") + folder.path + "|" + name);
  return ok ? 4 : 0;  // 4: the overlay list deletes the browser
}

class FileSelectX11 : public wm_test::OverlayX11 {
protected:
  void SetUp() override {
    OverlayX11::SetUp();
    if (!ready()) return;
    set_home_folder_override(scratch.file("home").c_str());
    for (const char* dir : {"home", "home/docs", "home/docs/alpha"})
      ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
    for (const char* file : {"a.xml", "b.xml", "mounts"})
      ASSERT_TRUE(test_support::write_file(scratch.file("home/docs/") + file, "<x/>"));
    set_mounts_file_override(scratch.file("home/docs/mounts").c_str());  // no mounts
    set_clock(skipping_clock);
    const COLOUR colours[] = {0xFF3070C0, 0xFFE0C040, 0xFF808080};  // folder, file, parent
    for (int i = 0; i < 3; ++i) {
      IMAGE picture(18, 18);
      picture.fill_rect_solid(2, 2, 15, 15, &colours[i]);
      WM_FILE_SELECT::set_icon(WM_FILE_SELECT::ICON_FOLDER - i, picture);
    }
  }
  void TearDown() override {
    OverlayX11::TearDown();
    set_clock(nullptr);
    set_mounts_file_override(nullptr);
    set_home_folder_override(nullptr);
  }
  // The row's name cell after the next rebuild.
  WM_SCREEN_OBJECT* row(const std::string& name) {
    skipped_ms += WM_FILE_SELECT::DOUBLE_CLICK_MS;
    frame();
    for (int32_t r = 0; r < browser->list->get_row_count(); ++r) {
      auto* cell = static_cast<WM_BUTTON*>(browser->list->get_cell(1, r));
      if (cell->get_text() == name) return cell;
    }
    ADD_FAILURE() << "no row " << name;
    return browser->list;
  }
  std::string shown() const { return browser->folder.path; }

  test_support::ScratchDir scratch;
  WM_FILE_SELECT* browser = nullptr;
};

}  // namespace

TEST_F(FileSelectX11, WalksMakesAFolderAndAnswersByClicks) {
  browser = new WM_FILE_SELECT(-1, -1, -1, -1, nullptr, nullptr, nullptr, nullptr, nullptr, true,
                               answer, 55, nullptr, nullptr, nullptr, nullptr, nullptr);
  FOLDER docs;
  ASSERT_TRUE(docs.set_absolute(scratch.file("home/docs").c_str()));
  browser->set_mode(2, &docs, nullptr, ".xml");
  root.add_overlay(browser, false);
  ASSERT_TRUE(frames_until([&] { return !browser->is_moving(); }));
  save_screen("file_select_x11.png");

  click(row("alpha"));
  EXPECT_EQ(shown(), scratch.file("home/docs/alpha"));
  // The second click of a double click lands on the new list's ".." and
  // is ignored.
  const WM_SCREEN_OBJECT* up = row("..");
  const int up_x = up->x + up->width / 2, up_y = up->y + up->height / 2;
  click(up);
  click_at(up_x, up_y);
  frame();
  EXPECT_EQ(shown(), scratch.file("home/docs"));
  click(browser->location_menu);  // up to the home folder by the drop-down
  WM_FLOATING_MENU* popup = browser->location_menu->get_popup();
  ASSERT_TRUE(frames_until([&] { return popup->visible && !popup->is_moving(); }));
  skipped_ms += WM_FILE_SELECT::DOUBLE_CLICK_MS;
  click(popup->get_item(1));
  EXPECT_EQ(shown(), scratch.file("home"));
  click(row(".."));
  EXPECT_TRUE(browser->at_my_computer);
  click(row("Home"));
  click(row("docs"));
  click(row("b.xml"));
  EXPECT_STREQ(browser->name_field->get_text(), "b.xml");
  click(browser->cancel_button);

  click(browser->new_folder_button);
  WM_TEXT_EDIT_DIALOG* dialog = browser->name_dialog;
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(frames_until([&] { return !dialog->is_moving(); }));
  click(dialog->entry);
  for (const char* c = "fresh"; *c; ++c) {
    key(static_cast<KeySym>(*c), true);
    key(static_cast<KeySym>(*c), false);
  }
  ASSERT_TRUE(frames_until([&] { return std::string(dialog->entry->get_text()) == "fresh"; }));
  click(dialog->ok);
  EXPECT_TRUE(is_directory(scratch.file("home/docs/fresh").c_str()));
  // The name dialog goes by its own answer; the browser stays in the new folder.
  EXPECT_TRUE(frames_until([&] { return WM_SCREEN_OBJECT::overlays().size() == 1; }));
  click(browser->ok_button);
  EXPECT_EQ(answers, (std::vector<std::string>{"cancel " + scratch.file("home/docs") + "|b.xml",
                                               "ok " + scratch.file("home/docs/fresh") + "|b.xml"}));
  EXPECT_TRUE(frames_until([] { return WM_SCREEN_OBJECT::overlays().empty(); }));
}
