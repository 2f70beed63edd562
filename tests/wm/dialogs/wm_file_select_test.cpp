// The browser on a real scratch tree on the headless screen: what each mode
// lists, walking up, down, by the drop-down and through the drives, making
// a folder through the name dialog, the results, and names that are odd
// bytes. Rows are chosen through their cells' own callbacks; the X test
// clicks them.
#include "wm_file_select.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "dialog_pictures.h"
#include "errors.h"
#include "rect.h"
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
                                         "/dev/cdrom0 " + scratch.file("mnt/cd") + " iso9660\n" +
                                             "proc /proc proc rw\n/dev/sdb1 " +
                                             scratch.file("mnt/usb") + " ntfs rw\n"));
    set_mounts_file_override(scratch.file("mounts").c_str());
    // The icons live in the skin folder; the linux and windows drives' are
    // missing, and the folder icon is the tallest.
    for (int i = 0; i < WM_FILE_SELECT::ICON_COUNT; ++i) WM_FILE_SELECT::set_icon(i, IMAGE());
    save_solid_png("disk.png", kDisk);
    save_solid_png("disk-cdrom.png", kCdrom, 1);  // the narrowest picture is shown too
    save_solid_png("file.png", kFile);
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

  static constexpr COLOUR kDisk = 0xFF102030, kCdrom = 0xFF405060, kFile = 0xFF708090;
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
  EXPECT_EQ(names(), NAMES{});  // nothing is listed before a mode is set
  for (const ROW& row : rows) {
    d->show_hidden = row.show_hidden;
    d->set_mode(row.mode, &docs, nullptr, row.extension);
    EXPECT_EQ(names(), row.shown) << int{row.mode};
    EXPECT_EQ(d->ok_button->enabled != 0, row.mode == 3);  // a file mode wants a name
    EXPECT_EQ(d->new_folder_button->enabled != 0, row.mode != 1);
    EXPECT_STREQ(d->get_text(), row.title);
  }
  EXPECT_STREQ(static_cast<WM_BUTTON*>(d->list->get_cell(2, 5))->get_text(), "5.0 b");
  COLOUR folder_ink = 0, file_ink = 0;  // alpha and a.xml: each kind its own icon
  static_cast<WM_IMAGE*>(d->list->get_cell(0, 2))->image.get_pixel(1, 1, &folder_ink);
  static_cast<WM_IMAGE*>(d->list->get_cell(0, 5))->image.get_pixel(1, 1, &file_ink);
  EXPECT_EQ(std::pair(folder_ink == kFile, file_ink), std::pair(false, kFile));
  WM_FILE_SELECT::set_icon(WM_FILE_SELECT::ICON_DISK_MAC, IMAGE(1, 1));  // the smallest picture is kept
  EXPECT_EQ(WM_FILE_SELECT::icon(WM_FILE_SELECT::ICON_DISK_MAC).width, 1);
  // The icons' file names by index; none beyond them.
  for (const auto& [which, name] : {std::pair{0, "disk"}, {int{WM_FILE_SELECT::ICON_FOLDER}, "folder"},
                                    {int{WM_FILE_SELECT::ICON_COUNT}, ""}, {-1, ""}})
    EXPECT_STREQ(WM_FILE_SELECT::icon_name(which), name) << which;
  EXPECT_EQ(d->list->get_row(0)->height, 40 - d->list->style.y_spacing);  // the tallest icon
  EXPECT_STREQ(d->message_label->text.get_text(PARAMETER::VALUE), "Select a new or exsiting file.");

  d->show_hidden = 0;
  d->set_mode(1, &docs, "c.xml", ".xml");
  names();
  EXPECT_TRUE(d->list->get_row(4)->selected);  // the named file
  d->list->needs_redraw = 0;  // the next frame repaints the list: the highlight moves
  choose("a.xml", 0);
  EXPECT_EQ((std::vector<bool>{d->list->get_row(4)->selected != 0, d->list->needs_redraw != 0, d->ok_button->enabled != 0}), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(result(), path("home/docs") + "|a.xml");
  EXPECT_EQ(result(5), "<refused>");  // one byte short: refused, not cut
  EXPECT_EQ(get_last_error(), WM_FILE_SELECT::ERROR_RESULT_TOO_LONG);
  // A new file's name typed or emptied turns OK on and off.
  d->set_mode(2, &docs, nullptr, ".xml");
  for (const char* typed : {"p", "", "plan"}) {
    d->name_field->set_text(typed);
    d->name_field->fire_callback(false);  // as typing does
    EXPECT_EQ(d->ok_button->enabled != 0, *typed != 0) << typed;
  }
  d->set_mode(2, &docs, "report", ".xml");
  EXPECT_EQ(result(), path("home/docs") + "|report.xml");
  for (const char* typed : {"plan.xml", ".xml"}) {  // a name that ends in the extension keeps it
    d->name_field->set_text(typed);
    EXPECT_EQ(result(), path("home/docs") + "|" + typed);
  }
  FOLDER out;
  EXPECT_FALSE(d->get_result(&out, nullptr, 0));  // mode 2 needs the buffer
  d->set_mode(3, &docs, nullptr, nullptr);
  const std::string here = result();
  d->name_field->set_text("alpha");  // a folder named in the field is the answer
  EXPECT_EQ(std::pair(here, result()), std::pair(path("home/docs") + "|", path("home/docs/alpha") + "|"));
  char no_room = 'x';  // a buffer of size 0 is not written to
  EXPECT_TRUE(d->get_result(&out, &no_room, 0));
  EXPECT_EQ(no_room, 'x');
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
  d->list->get_cell(1, 0)->fire_callback(false);  // the click's twin, at once: nothing
  d->name_field->set_text("typed");
  choose_level(0);  // the folder's own level: it stays, the name empties
  EXPECT_EQ(std::string(d->folder.path) + "|" + d->name_field->get_text(), path("home/docs/beta") + "|");
  d->list->get_cell(1, 0)->set_focus();
  choose_level(2);  // two levels up; the keyboard carries on at the first entry
  EXPECT_EQ(names(), (NAMES{"..", "docs"}));
  EXPECT_EQ(std::pair(std::string(d->folder.path), WM_SCREEN_OBJECT::focus_object),
            std::pair(path("home"), d->list->get_cell(1, 1)));
  choose("..");  // the home folder has no parent: the drives
  const NAMES drives = {"Home", "File System", path("mnt/cd"), path("mnt/usb")};
  EXPECT_EQ(names(), drives);
  EXPECT_EQ(std::string(d->location_menu->get_text()) + "|" + d->path_label->text.get_text(PARAMETER::VALUE), "My Computer|My Computer");
  EXPECT_FALSE(d->ok_button->enabled || d->new_folder_button->enabled);
  for (int row = 0; row < 4; ++row) {  // the cdrom's own icon, else the disk's
    COLOUR c = 0;
    static_cast<WM_IMAGE*>(d->list->get_cell(0, row))->image.get_pixel(0, 1, &c);
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
      {"\xe2\x82\xac.xml", "\x01,20AC\x01.xml"}, {long_name, long_name},
      {"del~\x7f.xml", "del~?.xml"},  {"c1\xc2\x9f\xc2\xa0.xml", "c1?\xa0.xml"}};
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
  EXPECT_EQ(WM_FILE_SELECT::readable_name(nullptr), "");  // no name at all shows as nothing
}

// Each row types a name into the name dialog and answers it: a folder that
// is made is entered and the dialog goes; one that cannot be made leaves
// the dialog open with the typed name and the reason in its prompt.
TEST_F(FileSelect, NewFolderNamesThroughTheNameDialog) {
  WM_SCREEN_OBJECT root(true, nullptr, 0, 0);
  FOLDER shut = docs;
  ASSERT_TRUE(make_folder(&shut, "shut", true));
  WM_FILE_SELECT* d = browser.get();
  d->new_folder_prompt.set("Type the name of the new folder, which is made in the folder shown");
  const struct {
    const char* typed;
    bool ok;
    const FOLDER* in;
    const char* entered;  // relative to the scratch folder; null: where it was
    const VORN_STRING* refusal;
  } rows[] = {
      {"new one", false, &docs, nullptr, nullptr},  // cancelled
      {".", true, &docs, nullptr, &d->bad_name_text},
      {"..", true, &docs, nullptr, &d->bad_name_text},
      {"", true, &docs, nullptr, &d->bad_name_text},
      {"a/b", true, &docs, nullptr, &d->bad_name_text},
      {"b.txt", true, &docs, nullptr, &d->name_taken_text},
      // Read-only, or (as root, whom that does not stop) gone.
      {"inner", true, &shut, nullptr, &d->cannot_make_text},
      {"caf\xe9", true, &docs, "home/docs/caf\xc3\xa9", nullptr},  // UTF-8 on disk
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.typed);
    d->set_mode(3, r.in, nullptr, nullptr);
    names();
    if (r.in == &shut) {
      ASSERT_EQ(geteuid() != 0 ? chmod(shut.path, 0555) : rmdir(shut.path), 0);
    }
    d->new_folder_button->fire_callback(false);
    WM_TEXT_EDIT_DIALOG* dialog = d->name_dialog;
    ASSERT_NE(dialog, nullptr);
    dialog->open_at_once();
    EXPECT_STREQ(dialog->get_text(), "New Folder");
    EXPECT_EQ(dialog->entry->filter, &WM_TEXT_EDIT::filter_file_name);
    dialog->entry->set_text(r.typed);
    const uint16_t prompt_w = dialog->prompt->width;
    EXPECT_LT(prompt_w, dialog->width);  // a long prompt wraps too
    (r.ok ? dialog->ok : dialog->cancel)->fire_callback(false);
    EXPECT_EQ(d->name_dialog == dialog, r.refusal != nullptr);
    EXPECT_EQ(d->folder.path, r.entered ? path(r.entered) : std::string(r.in->path));
    if (r.refusal) {
      EXPECT_STREQ(dialog->prompt->text.get_text(PARAMETER::VALUE), r.refusal->get_text());
      EXPECT_EQ(dialog->prompt->width, prompt_w);  // a long reason wraps in place
      EXPECT_STREQ(dialog->entry->get_text(), r.typed);
      d->name_dialog = nullptr;
    }
    // An answered dialog asks to leave the overlays at its next update.
    EXPECT_EQ(dialog->update(false) == page_action::REMOVE_OVERLAY, r.refusal == nullptr);
    root.remove_overlay(dialog, true, false);
  }
  chmod(shut.path, 0755);
  EXPECT_FALSE(test_support::file_exists(path("home/docs/new one")));
  // A browser deleted under its open name dialog leaves it answerable.
  browser->new_folder_button->fire_callback(false);
  WM_TEXT_EDIT_DIALOG* orphan = browser->name_dialog;
  // A browser or an entry dialog made hidden leaves the open dialogs shown.
  WM_FILE_SELECT hidden(20, 20, false, nullptr, 0, nullptr, nullptr, nullptr);
  WM_TEXT_EDIT_DIALOG hidden_entry(20, 20, false, nullptr, 0, nullptr, nullptr, "T", 5);
  EXPECT_TRUE(orphan->visible && !hidden.visible && !hidden_entry.visible);
  browser.reset();
  orphan->ok->fire_callback(false);
  root.remove_overlay(orphan, true, false);
}

// The browser lays itself out top down, whatever words the owner gives it:
// the message whole, on lines of its own; "Look in:" whole with the
// drop-down taking the rest of its line; the folder's whole path; the list
// in all the height left above the name field (file modes) or the buttons
// (folder mode has no field); each half a margin below the one before. The
// size and time columns are as wide as their texts need. A browser that
// would show fewer than five rows, or leave names less than half the width
// of those columns, grows within the screen (this test's font and icons
// are large), once. The German browser is saved as file_select_layout.png.
TEST_F(FileSelect, LayoutShowsTheMessageThePathAndWholeColumns) {
  const struct {
    const char* message;
    const char* label;
    uint8_t mode;
    int16_t width, height;  // -1: the default; width 0: a pixel short of the one before grown
    bool grows_wider, grows_higher;
  } rows[] = {
      {"Choose a folder.", "Look in:", 3, -1, -1, true, true},
      {"Choose a folder.", "Look in:", 3, 700, 392, false, true},  // a pixel short of five rows
      {"Choose the folder to install Demo Notes into, or make a new one for it: the set-up puts "
       "every file of the program there.", "Look in this folder:", 2, -1, -1, true, true},
      {"Den Ordner w\xe4hlen, in den Demo Notes kommt.", "Suchen in:", 3, 700, -1, false, true},
      {"Choose a folder.", "Look in:", 3, 900, -1, false, true},  // cut to the screen's width
      {"Choose a folder.", "Look in:", 3, 900, 560, false, false},  // cut, and not moved again
      {"Choose a folder.", "Look in:", 3, -1, 700, true, false},  // cut to the screen's height
      {"Choose a folder.", "Look in:", 3, 0, 560, true, false},
      {"Choose a folder.", "Look in:", 3, -1, 560, true, false},
  };
  // Fixed times for the folders' time column: the picture is the same on every run.
  test_support::EnvironmentGuard tz;
  tz.set("TZ", "UTC");
  tzset();
  const timespec noon[2] = {{1000000000, 0}, {1000000000, 0}};
  for (const char* dir : {"home/docs/alpha", "home/docs/beta"})
    ASSERT_EQ(utimensat(AT_FDCWD, scratch.file(dir).c_str(), noon, 0), 0);
  IMAGE* s = get_screen_image();
  auto text_w = [&](const std::string& t) { return s->get_text_width(255, 65535, -1, t.c_str()); };
  int16_t grown_width = 0;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.label);
    const auto width = static_cast<int16_t>(r.width ? r.width : grown_width - 1);
    browser = std::make_unique<WM_FILE_SELECT>(-1, -1, width, r.height, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, true, nullptr, 0, nullptr, nullptr,
                                               nullptr, nullptr, nullptr);
    WM_FILE_SELECT* d = browser.get();
    const WM_SCREEN_OBJECT* c = d->get_client();
    const int32_t g = d->new_folder_button->height / 2;
    EXPECT_EQ(d->message_label->x, c->x + g);  // laid out before its first listing too
    const RECT asked = RECT::sized(d->get_x(), d->get_y(), d->width, d->height);
    EXPECT_TRUE(RECT::sized(0, 0, s->width, s->height).contains(asked));  // cut to fit, from the first paint
    d->set_mode(r.mode, &docs, nullptr, nullptr);
    d->message_label->set_text(r.message, false);
    d->location_label->set_text(r.label, false);
    names();
    EXPECT_EQ(d->width > asked.width(), r.grows_wider);
    EXPECT_EQ(d->height > asked.height(), r.grows_higher);
    const RECT grown = RECT::sized(d->get_x(), d->get_y(), d->width, d->height);
    grown_width = static_cast<int16_t>(d->width);
    EXPECT_TRUE(RECT::sized(0, 0, s->width, s->height).contains(grown));
    d->set_mode(r.mode, &docs, nullptr, nullptr);
    names();
    EXPECT_EQ(RECT::sized(d->get_x(), d->get_y(), d->width, d->height), grown);  // no creeping
    const WM_SCRIPT* m = d->message_label;
    const WM_SCRIPT* l = d->location_label;
    const WM_BUTTON* menu = d->location_menu;
    const WM_SCRIPT* p = d->path_label;
    EXPECT_EQ(m->width, c->width - 2 * g);
    const int32_t lines = s->count_text_block_lines(static_cast<int16_t>(m->width), -1, -1, -1,
                                                     m->text.get_text(PARAMETER::VALUE));
    // Its lines and, above them, the room of the accents over capitals.
    EXPECT_EQ(m->height, lines * s->font_height + s->get_text_overhang(255, -1));
    EXPECT_EQ((m->text_flags & script_flag::WRAP) != 0, lines > 1);
    EXPECT_EQ(l->y, m->y + m->height + g / 2);
    EXPECT_GE(l->width - l->left_gap - l->right_gap, text_w(r.label));
    EXPECT_EQ(menu->x, l->x + l->width);
    EXPECT_EQ(menu->x + menu->width, m->x + m->width);
    EXPECT_GE(menu->width - menu->left_gap - menu->right_gap, text_w(menu->get_text()));
    EXPECT_EQ(p->y, std::max(l->y + l->height, menu->y + menu->height) + g / 2);
    EXPECT_EQ(p->text.get_text(PARAMETER::VALUE), std::string(docs.path));
    EXPECT_EQ(d->list->y, p->y + p->height + g / 2);
    EXPECT_EQ(d->name_field->visible != 0, r.mode != 3);
    const WM_SCREEN_OBJECT* below = r.mode == 3 ? static_cast<WM_SCREEN_OBJECT*>(d->ok_button) : d->name_field;
    EXPECT_EQ(d->list->y + d->list->height, below->y - g);
    if (r.mode != 3) {
      EXPECT_EQ(d->name_field->y + d->name_field->height + 2 * g, d->ok_button->y);
    }
    EXPECT_EQ(d->ok_button->y + d->ok_button->height, c->y + c->height);
    EXPECT_EQ(d->ok_button->x + d->ok_button->width, c->x + c->width - g);
    EXPECT_GE(d->list->rows_fitting(d->list->default_row_height + d->list->style.y_spacing),
              WM_FILE_SELECT::MIN_LIST_ROWS);
    // Each of the size and time columns as wide as its widest text (and
    // its cells' gaps) needs, give or take the grid's rounding.
    for (int32_t column = 2; column <= 3; ++column) {
      int32_t widest = 1, cell_w = 0;
      for (int32_t row = 1; row < d->list->get_row_count(); ++row) {
        const auto* cell = static_cast<const WM_BUTTON*>(d->list->get_cell(column, row));
        cell_w = cell->width;
        if (cell->get_text()[0])
          widest = std::max(widest, text_w(cell->get_text()) + cell->left_gap + cell->right_gap + 1);
      }
      EXPECT_NEAR(cell_w, widest, 1) << column;
    }
  }
  browser->open_at_once();
  wm_test::paint_table(browser.get());
  wm_test::save_screen("file_select_layout.png");
  // The whole browser, less its path, which names this run's scratch folder.
  const WM_SCRIPT* p = browser->path_label;
  s->fill_rect_solid(p->x, p->y, p->x + p->width - 1, p->y + p->height - 1, &kDisk);
  EXPECT_TRUE(wm_test::screen_matches_reference("file_select_layout"));
}
