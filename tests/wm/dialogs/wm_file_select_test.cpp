// The browser on a real scratch tree on the headless screen: what each mode
// lists, walking up, down, by the drop-down and through the drives, making
// a folder through the name dialog, the results, and names that are odd
// bytes. Rows are chosen through their cells' own callbacks; the X test
// clicks them.
#include "wm_file_select.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "errors.h"
#include "file_services.h"
#include "wm_button.h"
#include "input_driver.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_image.h"
#include "wm_menu.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_text_edit.h"
#include "wm_text_edit_dialog.h"

namespace {

using NAMES = std::vector<std::string>;

class FileSelect : public wm_test::TextSkinTest {
protected:
  FileSelect() : TextSkinTest("file_select_test", 800, 600) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    for (const char* dir : {"home/docs", "home/docs/alpha", "home/docs/beta", "home/docs/.dotdir",
                            "mnt", "mnt/cd", "mnt/usb"})
      ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
    for (const char* file : {"a.xml", "b.txt", "c.xml", ".hidden.xml"})
      ASSERT_TRUE(test_support::write_file(scratch.file("home/docs/") + file, "12345"));
    ASSERT_TRUE(test_support::write_file(scratch.file("mounts"),
                                         "/dev/cdrom0 " + scratch.file("mnt/cd") + " iso9660 ro\n" +
                                             "proc /proc proc rw\n/dev/sdb1 " +
                                             scratch.file("mnt/usb") + " ntfs rw\n"));
    set_mounts_file_override(scratch.file("mounts").c_str());
    // The icons live in the skin folder; the linux and windows drives' are
    // missing, and the folder icon is the tallest.
    for (int i = 0; i < WM_FILE_SELECT::ICON_COUNT; ++i) WM_FILE_SELECT::set_icon(i, IMAGE());
    save_solid_png("disk.png", kDisk);
    save_solid_png("disk-cdrom.png", kCdrom);
    save_png("folder.png", IMAGE(30, 40));
    set_icon_path(skin);
    docs.set_absolute(scratch.file("home/docs").c_str());
    browser = std::make_unique<WM_FILE_SELECT>(-1, -1, -1, -1, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, true, nullptr, 0, nullptr, nullptr,
                                               nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    clear_icon_path();
    set_mounts_file_override(nullptr);
    TextSkinTest::TearDown();
  }
  // The name column after the next frame's rebuild.
  NAMES names() {
    browser->process();
    NAMES out;
    for (int32_t row = 0; row < browser->list->get_row_count(); ++row)
      out.push_back(static_cast<WM_BUTTON*>(browser->list->get_cell(1, row))->get_text());
    return out;
  }
  // Rows, level items and buttons answer through their own callbacks; each
  // choice is a click of its own, a second after the one before.
  void choose(const std::string& shown, int column = 1) {
    const NAMES all = names();
    const auto at = std::find(all.begin(), all.end(), shown);
    ASSERT_NE(at, all.end()) << shown;
    input.advance_ms(1000);
    browser->list->get_cell(column, static_cast<int32_t>(at - all.begin()))->fire_callback(false);
  }
  void choose_level(int32_t item) {
    input.advance_ms(1000);
    browser->location_menu->get_popup()->get_item(item)->fire_callback(false);
  }
  std::string result(size_t size = 300) {
    std::vector<char> buffer(size, 'x');
    FOLDER out;
    if (!browser->get_result(&out, buffer.data(), buffer.size())) return "<refused>";
    return std::string(out.path) + "|" + buffer.data();
  }
  std::string path(const char* relative) const { return scratch.file(relative); }

  static constexpr COLOUR kDisk = 0xFF102030, kCdrom = 0xFF405060;
  test_support::INPUT_DRIVER input;
  FOLDER docs;
  std::unique_ptr<WM_FILE_SELECT> browser;
};

}  // namespace

TEST_F(FileSelect, ModesListFilterHideDotNamesAndAnswer) {
  struct ROW {
    uint8_t mode;
    const char* extension;
    uint8_t show_hidden;
    NAMES shown;
    const char* title;
  };
  const ROW rows[] = {
      {3, nullptr, 0, {"..", "alpha", "beta"}, "Select a Folder"},
      {1, ".xml", 0, {"..", "alpha", "beta", "a.xml", "c.xml"}, "Select a File"},
      {2, nullptr, 0, {"..", "alpha", "beta", "a.xml", "b.txt", "c.xml"}, "Select a New File"},
      {2, ".xml", 1, {"..", ".dotdir", "alpha", "beta", ".hidden.xml", "a.xml", "c.xml"},
       "Select a New File"},
  };
  WM_FILE_SELECT* d = browser.get();
  for (const ROW& row : rows) {
    d->show_hidden = row.show_hidden;
    d->set_mode(row.mode, &docs, nullptr, row.extension);
    EXPECT_EQ(names(), row.shown) << int{row.mode};
    EXPECT_EQ(d->ok_button->enabled != 0, row.mode == 3);  // a file mode wants a name
    EXPECT_EQ(d->new_folder_button->enabled != 0, row.mode != 1);
    EXPECT_STREQ(d->get_text(), row.title);
  }
  EXPECT_STREQ(static_cast<WM_BUTTON*>(d->list->get_cell(2, 5))->get_text(), "5.0 b");
  EXPECT_EQ(d->list->get_row(0)->height, 40 - d->list->style.y_spacing);  // the tallest icon
  EXPECT_STREQ(d->message_label->text.get_text(PARAMETER::VALUE), "Select a new or exsiting file.");

  d->show_hidden = 0;
  d->set_mode(1, &docs, "c.xml", ".xml");
  names();
  EXPECT_TRUE(d->list->get_row(4)->selected);  // the named file
  choose("a.xml", 0);
  EXPECT_FALSE(d->list->get_row(4)->selected);
  EXPECT_TRUE(d->ok_button->enabled);
  EXPECT_EQ(result(), path("home/docs") + "|a.xml");
  EXPECT_EQ(result(5), "<refused>");  // one byte short: refused, not cut
  EXPECT_EQ(get_last_error(), WM_FILE_SELECT::ERROR_RESULT_TOO_LONG);
  d->set_mode(2, &docs, "report", ".xml");
  EXPECT_EQ(result(), path("home/docs") + "|report.xml");
  d->name_field->set_text("plan.xml");
  EXPECT_EQ(result(), path("home/docs") + "|plan.xml");
  FOLDER out;
  EXPECT_FALSE(d->get_result(&out, nullptr, 0));  // mode 2 needs the buffer
  d->set_mode(3, &docs, nullptr, nullptr);
  EXPECT_EQ(result(), path("home/docs") + "|");
  // Sizes beyond 32 bits are shown whole.
  ASSERT_TRUE(test_support::write_file(path("home/docs/huge.bin"), ""));
  ASSERT_EQ(truncate(path("home/docs/huge.bin").c_str(), int64_t{5} << 30), 0);
  d->set_mode(2, &docs, nullptr, ".bin");
  names();
  EXPECT_STREQ(static_cast<WM_BUTTON*>(d->list->get_cell(2, 3))->get_text(), "5.0 G");
  // A large folder lists whole.
  FOLDER many = docs;
  ASSERT_TRUE(make_folder(&many, "many", true));
  for (int i = 0; i < 1100; ++i)
    ASSERT_TRUE(test_support::write_file(std::string(many.path) + "/" + std::to_string(i), ""));
  d->set_mode(2, &many, nullptr, nullptr);
  EXPECT_EQ(names().size(), 1101u);
}

TEST_F(FileSelect, WalksUpDownByTheDropDownAndThroughTheDrives) {
  WM_FILE_SELECT* d = browser.get();
  d->set_mode(1, &docs, "a.xml", nullptr);
  choose("beta");  // in mode 1 a folder empties the name
  EXPECT_STREQ(d->name_field->get_text(), "");
  EXPECT_EQ(names(), NAMES{".."});
  choose_level(2);  // two levels up
  EXPECT_STREQ(d->folder.path, path("home").c_str());
  choose("..");  // the home folder has no parent: the drives
  const NAMES drives = {"Home", "File System", path("mnt/cd"), path("mnt/usb")};
  EXPECT_EQ(names(), drives);
  EXPECT_STREQ(d->location_menu->get_text(), "My Computer");
  EXPECT_FALSE(d->ok_button->enabled || d->new_folder_button->enabled);
  for (int row = 0; row < 4; ++row) {  // the cdrom's own icon, else the disk's
    COLOUR c = 0;
    static_cast<WM_IMAGE*>(d->list->get_cell(0, row))->image.get_pixel(1, 1, &c);
    EXPECT_EQ(c, row == 2 ? kCdrom : kDisk) << row;
  }
  choose(path("mnt/usb"));
  EXPECT_STREQ(d->folder.path, path("mnt/usb").c_str());
  names();
  const int32_t last = d->location_menu->get_popup()->get_item_count() - 1;
  EXPECT_STREQ(d->location_menu->get_popup()->get_item(last)->get_text(), "My Computer");
  choose_level(last);
  EXPECT_EQ(names(), drives);

  // In folder mode OK chooses the folder shown: never a drive list.
  d->set_mode(3, &docs, nullptr, nullptr);
  EXPECT_EQ(names(), (NAMES{"..", "alpha", "beta"}));
  EXPECT_TRUE(d->ok_button->enabled);
  choose_level(d->location_menu->get_popup()->get_item_count() - 1);
  EXPECT_EQ(names(), drives);
  EXPECT_FALSE(d->ok_button->enabled);
  choose(path("mnt/usb"));
  names();
  EXPECT_TRUE(d->ok_button->enabled);
}

TEST_F(FileSelect, UnreadableAndVanishedFoldersShowTheParentRowOnly) {
  browser->set_mode(2, &docs, nullptr, nullptr);
  names();
  ASSERT_EQ(rmdir(path("home/docs/alpha").c_str()), 0);
  browser->list->get_cell(1, 1)->fire_callback(false);  // alpha, gone: the folder stays
  EXPECT_EQ(names(), (NAMES{"..", "beta", "a.xml", "b.txt", "c.xml"}));
  choose("beta");
  ASSERT_EQ(rmdir(path("home/docs/beta").c_str()), 0);
  EXPECT_EQ(names(), NAMES{".."});
  choose("..");
  EXPECT_STREQ(browser->folder.path, path("home/docs").c_str());
  FOLDER not_a_folder;
  ASSERT_TRUE(not_a_folder.set_absolute(path("home/docs/b.txt").c_str()));
  browser->set_mode(2, &not_a_folder, nullptr, nullptr);
  EXPECT_EQ(names(), NAMES{".."});
}

TEST_F(FileSelect, OddNamesAreShownReadableAndReturnedByteForByte) {
  const std::string long_name = std::string(251, 'n') + ".xml";
  const std::pair<std::string, std::string> rows[] = {
      {"line\nfeed.xml", "line?feed.xml"}, {"run\x01" "byte.xml", "run?byte.xml"},
      {"bad\xff\xfe.xml", "bad??.xml"},     {"caf\xc3\xa9.xml", "caf\xe9.xml"},
      {"\xe2\x82\xac.xml", "\x01,20AC\x01.xml"}, {long_name, long_name}};
  FOLDER odd = docs;
  ASSERT_TRUE(make_folder(&odd, "odd", true));
  for (const auto& [name, shown] : rows) {
    SCOPED_TRACE(shown);
    ASSERT_TRUE(test_support::write_file(std::string(odd.path) + "/" + name, "x"));
    const std::string dir = std::string(odd.path) + "/d" + name.substr(0, 200);
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    browser->set_mode(1, &odd, nullptr, ".xml");
    choose(shown);
    EXPECT_EQ(browser->name_field->get_text(), shown);
    EXPECT_EQ(result(), std::string(odd.path) + "|" + name);
    choose("d" + WM_FILE_SELECT::readable_name(name.substr(0, 200).c_str()));
    EXPECT_EQ(browser->folder.path, dir);  // entered by its own bytes
  }
}

TEST_F(FileSelect, NewFolderNamesThroughTheNameDialog) {
  WM_SCREEN_OBJECT root(true, nullptr, 0, 0);
  browser->set_mode(3, &docs, nullptr, nullptr);
  names();
  for (const char* typed : {"new one", ".", "..", "", "caf\xe9"}) {
    browser->new_folder_button->fire_callback(false);
    WM_TEXT_EDIT_DIALOG* dialog = browser->name_dialog;
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->get_text(), "New Folder");
    EXPECT_EQ(dialog->entry->filter, &WM_TEXT_EDIT::filter_file_name);
    dialog->entry->set_text(typed);
    // "new one" is cancelled; "." and ".." would only move about.
    (std::string(typed) == "new one" ? dialog->cancel : dialog->ok)->fire_callback(false);
    root.remove_overlay(dialog, true, false);
  }
  EXPECT_FALSE(test_support::file_exists(path("home/docs/new one")));
  EXPECT_STREQ(browser->folder.path, path("home/docs/caf\xc3\xa9").c_str());  // UTF-8 on disk
  // A browser deleted under its open name dialog leaves it answerable.
  browser->new_folder_button->fire_callback(false);
  WM_TEXT_EDIT_DIALOG* orphan = browser->name_dialog;
  browser.reset();
  orphan->ok->fire_callback(false);
  root.remove_overlay(orphan, true, false);
}

// Whatever words the owner gives the header, its three parts stand side by
// side without overlapping: the label whole, the message and the folder's
// name ending in "..." when too long; the list's text cells do the same.
TEST_F(FileSelect, HeaderAndColumnsShowWholeOrEndInAnEllipsis) {
  WM_FILE_SELECT* d = browser.get();
  const struct {
    const char* message;
    const char* label;
  } rows[] = {
      {"Choose a folder.", "Look in:"},
      {"Choose the folder to install Demo Notes into, or make a new one.", "Suchen in diesem Ordner:"},
  };
  IMAGE* s = get_screen_image();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.label);
    d->message_label->set_text(r.message, false);
    d->location_label->set_text(r.label, false);
    d->set_mode(3, &docs, nullptr, nullptr);
    names();
    const WM_SCRIPT* m = d->message_label;
    const WM_SCRIPT* l = d->location_label;
    const WM_BUTTON* menu = d->location_menu;
    EXPECT_LE(m->x + m->width, l->x);
    EXPECT_LE(l->x + l->width, menu->x);
    EXPECT_LE(menu->x + menu->width, d->header->x + d->header->width);
    EXPECT_GE(l->width - l->left_gap - l->right_gap, s->get_text_width(255, 65535, -1, r.label));
    EXPECT_GT(l->left_gap, 0);  // a margin after the message
    EXPECT_TRUE(m->text_flags & script_flag::ELLIPSIS);
    EXPECT_TRUE(menu->draw_flags & button_flag::ELLIPSIS);
  }
  for (int32_t column = 1; column <= 3; ++column) {
    const auto* cell = static_cast<WM_BUTTON*>(d->list->get_cell(column, 1));
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(cell->draw_flags & button_flag::ELLIPSIS) << column;
  }
}
