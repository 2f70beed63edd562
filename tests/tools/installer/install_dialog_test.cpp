// The wizard's dialog on a headless screen: the installing page's
// current-file line and its end-of-install buttons, where the options
// page puts the folder row, and the keyboard's way through the options and
// the install worker's questions.
#include "install_dialog.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "database.h"
#include "data_file.h"
#include "image_cache.h"
#include "scrolling_background.h"
#include "dialog_effects.h"
#include "file_services.h"
#include "font.h"
#include "input_driver.h"
#include "package.h"
#include "package_test_support.h"
#include "picture_compare.h"
#include "folder.h"
#include "screen.h"
#include "text_convert.h"
#include "text_fit.h"
#include "timing.h"
#include "wm_button.h"
#include "wm_file_select.h"
#include "wm_kinds.h"
#include "window.h"
#include "wizard.h"
#include "wm_check_box.h"
#include "wm_grid.h"
#include "wm_grid_row.h"
#include "wm_style_set.h"
#include "wm_page_manager.h"
#include "wm_progress_bar.h"
#include "wm_script.h"
#include "wm_text_win.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

class InstallDialog : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    PackageScratchTest::SetUp();
    ASSERT_TRUE(wm_test::load_test_font());
    set_screen_size(0, 0);
    set_screen_size(640, 480);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    DATABASE& data = installer_database();
    data.languages.assign(1, DATABASE_LANGUAGE());
    data.installations.assign(1, DATABASE_INSTALLATION());
    set_texts({{INSTALLING_STRING, "Installing"}, {COMPLETE, "Complete"}, {INITIALIZING_STRING, "Starting"},
               {ABOUT, "About"}, {QUIT, "Quit"}});
    data.dialog.width = 420;
    data.dialog.height = 300;
    data.show_filenames = data.show_filepaths = 0;
    data.check_desktop_size = {-1, -1};  // no screen size asked for unless a test says so
    WM_PROGRESS_BAR::set_platform_frame([] {});
    // No slide: the dialog stands where it was built.
    saved_effects = default_dialog_effects();
    default_dialog_effects().flags = 0;
    manager = new WM_PAGE_MANAGER(1, -1);
  }
  void TearDown() override {
    set_clock(nullptr);
    delete manager;
    option_grid = nullptr;
    folder_button = browse_button = nullptr;
    dialog_x = dialog_y = -1;  // the next wizard's dialog is centred again
    WM_PROGRESS_BAR::set_platform_frame(nullptr);
    default_dialog_effects() = saved_effects;
    DATABASE& data = installer_database();
    data.clear();
    for (IMAGE& icon : data.icons) icon.create(-1, -1);
    data.current_page = 2;
    data.current_language = 0;
    data.show_filenames = data.show_filepaths = 1;
    data.package.reset();
    FONT::shutdown();
    PackageScratchTest::TearDown();
  }
  // The page's dialog, in the place of the one built before.
  INSTALL_DIALOG* build(int32_t page, int16_t x = 0, int16_t y = 0) {
    if (dialog) manager->current_root()->remove_child(dialog, true, false);
    installer_database().current_page = page;
    dialog = new INSTALL_DIALOG(x, y);
    manager->current_root()->add_child(dialog, false);
    return dialog;
  }
  // A fresh page manager on the page as the wizard builds it, then what
  // happens there once it shows, and one more frame.
  void show_page(int32_t page, void (*then)()) {
    delete manager;
    manager = new WM_PAGE_MANAGER(1, -1);
    installer_database().current_page = page;
    manager->set_page(0, wizard_create_page, nullptr, 0, nullptr, 0, 0, nullptr);
    manager->frame(false);
    then();
    manager->frame(false);
  }
  // English and Deutsch, each naming the installations Standard and Minimal.
  static void two_languages_two_installations() {
    DATABASE& data = installer_database();
    data.languages.resize(2);
    data.installations.resize(2);
    for (size_t i = 0; i < 2; ++i) {
      snprintf(data.languages[i].texts[LANGUAGE_TITLE], DATABASE_TEXT_SIZE, "%s", i ? "Deutsch" : "English");
      data.languages[i].installation_strings.assign(2, DATABASE_TEXT{});
      snprintf(data.languages[i].installation_strings[0].data(), DATABASE_TEXT_SIZE, "Standard");
      snprintf(data.languages[i].installation_strings[1].data(), DATABASE_TEXT_SIZE, "Minimal");
    }
  }
  // The first language's texts for those keys.
  static void set_texts(std::initializer_list<std::pair<LANGUAGE_KEY, const char*>> texts) {
    for (auto [key, text] : texts) snprintf(installer_database().languages[0].texts[key], DATABASE_TEXT_SIZE, "%s", text);
  }
  static const char* label_text(const INSTALL_DIALOG& d) {
    return d.file_label->text.get_text(PARAMETER::VALUE);
  }
  // The path as shown in room pixels (width measures a text): whole, or
  // when it does not fit its start and end around the font's "…", the end
  // holding at least the last name.
  static void expect_shows(const std::string& shown, const std::string& path, int32_t room,
                           const std::function<int32_t(const char*)>& width) {
    EXPECT_LE(width(shown.c_str()), room);
    const std::string ellipsis = text_ellipsis(get_screen_image(), {});
    const size_t dots = shown.find(ellipsis);
    EXPECT_EQ(dots != std::string::npos, width(path.c_str()) > room) << shown;
    if (dots == std::string::npos) {
      EXPECT_EQ(shown, path);
      return;
    }
    const std::string head = shown.substr(0, dots), tail = shown.substr(dots + ellipsis.size());
    EXPECT_EQ(path.rfind(head, 0), 0u) << shown;
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail) << shown;
    EXPECT_GE(tail.size(), path.size() - path.rfind('/')) << shown;
  }
  INSTALL_DIALOG* dialog = nullptr;
  DIALOG_EFFECTS saved_effects;
  WM_PAGE_MANAGER* manager = nullptr;
};

TEST_F(InstallDialog, TheFinishingTextShowsAtAFullBarAndARepeatDrawsNothing) {
  INSTALL_DIALOG* d = build(WIZARD_PAGE_INSTALLING);
  ASSERT_NE(d->progress_bar, nullptr);
  d->set_progress(40, "/opt/demo/notes.txt");
  EXPECT_EQ(d->progress_bar->value, 40);
  EXPECT_STREQ(label_text(*d), "Starting");  // paths hidden with both flags clear
  d->set_progress(100, "Installing");
  // The same percentage with a new text: the text must still show.
  d->set_progress(100, "Complete");
  EXPECT_EQ(d->progress_bar->value, 100);
  EXPECT_STREQ(label_text(*d), "Complete");

  // Nothing new: the label's pixels are left alone.
  const COLOUR marker = 0xFF12AB34;
  IMAGE* screen = get_screen_image();
  const WM_SCRIPT* label = d->file_label;
  screen->set_clip_rect(0, 0, 639, 479);
  screen->fill_rect_solid(label->x, label->y, static_cast<int16_t>(label->x + 3), static_cast<int16_t>(label->y + 3),
                          &marker);
  d->set_progress(100, "Complete");
  EXPECT_EQ(wm_test::pixel(label->x, label->y), marker);
  d->set_progress(100, "Installing");
  EXPECT_NE(wm_test::pixel(label->x, label->y), marker);
}

// A path wider than the current-file line gives way in its middle, so
// that the file's name shows; a path that fits shows as it is.
TEST_F(InstallDialog, TheCurrentFileLineKeepsTheNameOfALongPath) {
  DATABASE& data = installer_database();
  data.show_filenames = data.show_filepaths = 1;
  INSTALL_DIALOG* d = build(WIZARD_PAGE_INSTALLING);
  const WM_SCRIPT* label = d->file_label;
  const int32_t room = label->width - label->left_gap - label->right_gap;
  const std::string deep = "/opt/" + std::string(60, 'x') + "/" + std::string(60, 'y') + "/notes.txt";
  // An accent over a capital shows: "/\xDC" (U with diaeresis) is not
  // drawn as "/U".
  auto drawn = [&](const char* text) {
    d->set_progress(5, text);
    std::vector<COLOUR> pixels;
    for (int32_t y = label->y; y < label->y + label->height; ++y)
      for (int32_t x = label->x; x < label->x + label->width; ++x)
        pixels.push_back(wm_test::pixel(static_cast<int16_t>(x), static_cast<int16_t>(y)));
    return pixels;
  };
  EXPECT_NE(drawn("/\xDC"), drawn("/U"));
  int32_t percent = 10;
  for (const std::string& path : {std::string("/opt/demo/notes.txt"), deep}) {
    d->set_progress(percent++, path.c_str());
    expect_shows(label_text(*d), path, room, [label](const char* text) {
      return get_screen_image()->get_text_width(label->font, label->font_width,
                                                static_cast<int16_t>(label->font_height), text);
    });
  }
}

// About, action 8 and an enabled Finish after the run: the last line of dialog_pages.
TEST_F(InstallDialog, AfterInstallingWithoutReadmeQuitBecomesAboutAndFinishIsEnabled) {
  INSTALL_DIALOG* d = build(WIZARD_PAGE_INSTALLING);
  // Gaps wider than a button can be leave Finish as wide as one can be, not 0 wide.
  d->forward_button->left_gap = d->forward_button->right_gap = 40000;
  installer_database().dialog.button_gap = -32768;
  d->update_buttons();
  EXPECT_EQ(d->forward_button->width, 65535);
}

// Pages 0 to 10 as a caller finds them, then the options page checking for an earlier
// installation, without the skin's Install icon, and the installing page once done: each
// button's text, "off", its icon (2 + the icon's number wide), the words its press carries,
// place and size; the content's kind bits, place and size; the default the dialog opens on.
TEST_F(InstallDialog, EveryPagesButtonsAndContentAsACallerFindsThem) {
  DATABASE& data = installer_database();
  two_languages_two_installations();
  for (int i = 0; i < ICON_NEW_FOLDER; ++i) data.icons[i].create(static_cast<int16_t>(i + 2), 2);
  set_texts({{FORWARD, "Next"}, {PREVIOUS, "Back"}, {INSTALL, "Install"}, {FINISH, "Finish"}, {AGREE, "Agree"},
             {DISAGREE, "Disagree"}});
  std::string transcript;
  for (int32_t row = 0; row < 14; ++row) {
    data.patch.do_check = row == 11;
    if (row == 12) data.icons[ICON_INSTALL].create(0, 0);
    build(row <= 10 ? row : row == 13 ? int32_t{WIZARD_PAGE_INSTALLING} : int32_t{WIZARD_PAGE_OPTIONS});
    if (row == 13) dialog->update_buttons();
    transcript += "page " + std::to_string(data.current_page) + ":";
    for (const WM_SCREEN_OBJECT* child : dialog->get_client()->children) {
      char line[200];
      if (const auto* b = child->kind & wm_kind::BUTTON ? static_cast<const WM_BUTTON*>(child) : nullptr)
        snprintf(line, sizeof line, " | %s%s icon %d does %d,%d", b->get_text(), b->enabled ? "" : " off",
                 b->icon.width, static_cast<int>(b->action_word_1), static_cast<int>(b->action_word_2));
      else
        snprintf(line, sizeof line, " | kind %X", child->kind);
      transcript += line + (" at " + std::to_string(child->x) + "," + std::to_string(child->y) + " " +
                            std::to_string(child->width) + "x" + std::to_string(child->height));
    }
    const auto* first = static_cast<const WM_BUTTON*>(dialog->default_focus);
    transcript += std::string(" | default: ") + (first ? first->get_text() : "-") + "\n";
  }
  EXPECT_TRUE(test_support::text_matches_reference("installer2", "dialog_pages", transcript));
}

// Buttons keep their places whatever their texts: the dialog stays where
// and as large as it was, Quit at the left, Forward at the right and
// Previous beside it. A row too wide for the dialog cuts only the text
// that does not fit, at its end with "…", never its neighbours'. The
// installing page with a 70-character Finish text is saved as
// "wizard_long_button_text.png".
TEST_F(InstallDialog, ButtonsKeepTheirPlacesWhateverTheirTexts) {
  DATABASE& data = installer_database();
  const std::string seventy = "Weiter zur n\xE4" "chsten Seite, auf der die Einrichtung jetzt beginnen wird";
  ASSERT_EQ(seventy.size(), 70u);
  IMAGE* s = get_screen_image();
  const struct {
    int32_t page;
    LANGUAGE_KEY key;
    std::string text;
    int cut;  // the button that shows its text cut: 0 Quit, 1 Previous, 2 Forward; -1 none
  } rows[] = {
      {WIZARD_PAGE_RELEASE_NOTES, FORWARD, "Weiter", -1},
      {WIZARD_PAGE_RELEASE_NOTES, FORWARD, seventy, 2},
      {WIZARD_PAGE_INSTALLING, FINISH, seventy, 2},  // Forward says Finish: no page follows
      {WIZARD_PAGE_LICENCE, AGREE, seventy, 2},
      {WIZARD_PAGE_LICENCE, DISAGREE, seventy, 1},
      {WIZARD_PAGE_INSTALLING, QUIT, seventy, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text + " on page " + std::to_string(row.page));
    set_texts({{QUIT, "Schlie\xDF" "en"}, {PREVIOUS, "Zur\xFC" "ck"}, {FORWARD, "Weiter"}, {FINISH, "Fertig"},
               {AGREE, "Annehmen"}, {DISAGREE, "Ablehnen"}});
    set_texts({{row.key, row.text.c_str()}});
    build(row.page, 220, 20);
    EXPECT_EQ(std::vector<int>({dialog->x, dialog->y, dialog->width}), std::vector<int>({220, 20, 420}));
    const WM_SCREEN_OBJECT& client = *dialog->get_client();
    WM_BUTTON* const buttons[3] = {dialog->quit_button, dialog->previous_button, dialog->forward_button};
    EXPECT_EQ(buttons[0]->x, client.x);
    EXPECT_EQ(buttons[2]->x + buttons[2]->width, client.x + client.width);
    EXPECT_EQ(buttons[1]->x + buttons[1]->width + data.dialog.button_gap, buttons[2]->x);
    // A cut row fills the client area, a gap between each two buttons.
    EXPECT_LE(buttons[0]->x + buttons[0]->width + data.dialog.button_gap, buttons[1]->x);
    EXPECT_EQ(buttons[0]->x + buttons[0]->width + data.dialog.button_gap == buttons[1]->x, row.cut >= 0);
    for (int i = 0; i < 3; ++i) {
      WM_BUTTON& b = *buttons[i];
      EXPECT_EQ(b.y + b.height, client.y + client.height) << i;
      const int32_t room = b.width - b.left_gap - b.right_gap;
      const int32_t text_w = s->get_text_width(b.font, b.font_width, static_cast<int16_t>(b.font_height), b.get_text());
      EXPECT_EQ(text_w > room, i == row.cut) << i << ": " << b.get_text();
    }
    if (row.cut < 0) continue;
    // The cut button shows just the start of its text that fits, then "…".
    WM_BUTTON& b = *buttons[row.cut];
    const auto shown = [&] {
      dialog->invalidate();
      wm_test::paint_table(manager->current_root());
      std::vector<COLOUR> out;
      for (int16_t py = b.y; py < b.y + b.height; ++py)
        for (int16_t px = b.x; px < b.x + b.width; ++px) out.push_back(wm_test::pixel(px, py));
      return out;
    };
    const std::vector<COLOUR> drawn = shown();
    if (row.key == FINISH) wm_test::save_screen("wizard_long_button_text.png");
    const std::string cut = fit_text_end(s, {b.font, b.font_width, static_cast<int16_t>(b.font_height)},
                                         row.text.c_str(), b.width - b.left_gap - b.right_gap);
    EXPECT_EQ(system_text_to_utf8(cut.c_str()).substr(0, 10), "Weiter zur");
    EXPECT_EQ(cut.substr(cut.size() - text_ellipsis(s, {}).size()), text_ellipsis(s, {}));
    b.set_text(cut.c_str(), false);
    b.draw_flags &= ~button_flag::ELLIPSIS;
    EXPECT_TRUE(shown() == drawn);
  }
}

TEST_F(InstallDialog, TheFolderRowFollowsTheSystemPathsBox) {
  DATABASE& data = installer_database();
  snprintf(data.install_folder, sizeof data.install_folder, "$ROOT1/opt/Demo");
  snprintf(data.languages[0].texts[SELECT_OPTIONS_SYSPATHS_SELECTED], DATABASE_TEXT_SIZE, "System folders");
  data.installations[0].has_desktop_shortcut = data.installations[0].has_menu_shortcut = 1;
  for (uint8_t allow : {0, 1}) {
    data.installations[0].allow_system_paths = data.desktop_shortcut = data.menu_shortcut = data.use_system_paths = allow;
    build(WIZARD_PAGE_OPTIONS);
    ASSERT_NE(option_grid, nullptr);
    ASSERT_NE(folder_button, nullptr);
    int32_t row = -1, column = -1;
    ASSERT_TRUE(option_grid->find_cell(folder_button, &row, &column, true));
    const bool box = allow && data.system_information().system_folders;
    EXPECT_EQ(row, box ? 3 : 2) << int{allow};
    EXPECT_EQ(column, 1);
    for (int32_t link = 0; link < 2; ++link) {  // the link boxes below the question, desktop then menu: each sets its own link
      static_cast<WM_CHECK_BOX*>(option_grid->get_cell(1, row + 4 + link))->toggle();
      EXPECT_EQ(std::vector<int>({data.desktop_shortcut, data.menu_shortcut}), std::vector<int>({!allow, link ? !allow : allow}));
    }
    if (!box) continue;
    // Ticked, the box names the system's folders and holds the folder row;
    // unticked, the row names the folder and takes clicks again.
    auto* system = static_cast<WM_CHECK_BOX*>(option_grid->get_cell(1, 2));
    for (const bool ticked : {false, true}) {  // it starts ticked, as the data says
      system->toggle();
      EXPECT_EQ(data.use_system_paths, ticked ? 1 : 0);
      EXPECT_EQ(std::vector<bool>({folder_button->enabled != 0, browse_button->enabled != 0}),
                std::vector<bool>(2, !ticked));
      EXPECT_STREQ(folder_button->get_text(), ticked ? "System folders" : "/opt/Demo");
    }
    // A patch goes on only where its older installation is: here in the
    // chosen folder, not among the system's folders.
    data.patch.do_check = 1;
    snprintf(data.install_folder, sizeof data.install_folder, "$ROOT0/apps");
    ASSERT_EQ(mkdir((home + "/apps").c_str(), 0755), 0);
    ASSERT_TRUE(test_support::write_file(home + "/apps/install_log.txt", "Settings: 5 0 $ROOT0/apps\n"));
    for (const bool ticked : {!system->is_checked(), system->is_checked()}) {
      system->toggle();
      EXPECT_EQ(dialog->forward_button->enabled != 0, !ticked) << ticked;
    }
  }
}

// The folder button names the real folder, shortened in its middle when
// the button is too narrow; the browser opens at the nearest folder that
// exists, and OK there leaves the install folder as it was.
TEST_F(InstallDialog, TheFolderButtonShowsTheRealPathAndTheBrowserStartsAtItsNearestFolder) {
  DATABASE& data = installer_database();
  start_wizard(manager);
  const std::string deep = "not/made/" + std::string(20, 'x') + "/" + std::string(20, 'y') + "/yet";
  char user_data[FOLDER_PATH_SIZE];
  ASSERT_TRUE(standard_folder_path(user_data, sizeof user_data, 2, nullptr));
  ASSERT_FALSE(test_support::file_exists(user_data));
  const struct {
    std::string stored;
    std::string real;
    std::string start;  // where the browser opens
  } rows[] = {
      {"$ROOT1" + scratch.file("t"), scratch.file("t"), scratch.path()},
      {"$ROOT1" + scratch.file(deep), scratch.file(deep), scratch.path()},
      // A standard folder not made yet: its place under the home folder.
      {"$USERDATA/Demo", std::string(user_data) + "/Demo", home},
  };
  const auto expect_button_shows = [](const std::string& path) {
    expect_shows(folder_button->get_text(), path,
                 folder_button->width - folder_button->left_gap - folder_button->right_gap,
                 [](const char* text) { return get_screen_image()->get_text_width(255, 65535, -1, text); });
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored);
    snprintf(data.install_folder, sizeof data.install_folder, "%s", row.stored.c_str());
    build(WIZARD_PAGE_OPTIONS);
    ASSERT_NE(folder_button, nullptr);
    expect_button_shows(row.real);
    const std::string shown = folder_button->get_text();

    EXPECT_EQ(on_wizard_button(nullptr, 5, reinterpret_cast<uintptr_t>(dialog)), 0);
    auto* browser = static_cast<WM_FILE_SELECT*>(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::FILE_SELECT));
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(std::string(browser->folder.path), row.start);
    browser->process();
    EXPECT_EQ(on_wizard_button(browser, 5, 1), 0);  // OK without a change
    EXPECT_EQ(std::string(data.install_folder), row.stored);
    EXPECT_EQ(folder_button->get_text(), shown);
    WM_DIALOG::close_all_dialogs(true);
  }
  // OK in another folder takes that one.
  on_wizard_button(nullptr, 5, reinterpret_cast<uintptr_t>(dialog));
  auto* browser = static_cast<WM_FILE_SELECT*>(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::FILE_SELECT));
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(browser->folder.set_absolute(scratch.file("work").c_str()));
  on_wizard_button(browser, 5, 1);
  EXPECT_STREQ(resolve_path_text(data.install_folder), scratch.file("work").c_str());
  expect_button_shows(scratch.file("work"));
  WM_DIALOG::close_all_dialogs(true);
}

TEST_F(InstallDialog, TheLicenceIsReadFromAPrivateCopyThatIsGoneAfterwards) {
  // Longer than the page's 250 lines, each wrapping into several rows.
  std::string licence;
  for (int i = 1; i <= 300; ++i)
    licence += "line " + std::to_string(i) + " of a licence that wraps into more than one row\n";
  ASSERT_TRUE(test_support::write_file(scratch.file("work/licence.txt"), licence));
  auto package = std::make_unique<PACKAGE>(work, "texts.pkg", true, 0, false, false);
  ASSERT_TRUE(package->add_file(work, "licence.txt", "licence-0"));
  installer_database().package = std::move(package);
  INSTALL_DIALOG* d = build(WIZARD_PAGE_LICENCE);
  WM_TEXT_WIN* window = nullptr;
  for (WM_SCREEN_OBJECT* child : d->get_client()->children)
    if (child->kind & wm_kind::TEXT_WIN) window = static_cast<WM_TEXT_WIN*>(child);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->get_line_count(), 300);
  EXPECT_GT(window->get_row_count(), 300);
  // It opens at its first line.
  EXPECT_EQ(std::string(window->get_row(window->shown_row(0)).text).rfind("line 1 of", 0), 0u);
  const std::string temporary = get_temporary_folder_path();
  ASSERT_FALSE(temporary.empty());
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

TEST_F(InstallDialog, ASmallScreenIsReportedOnceAndOnlyWithBothSizesSet) {
  DATABASE& data = installer_database();
  start_wizard(manager);  // the warning opens over the wizard's root
  struct ROW {
    int32_t width, height;
    bool warned;
  } rows[] = {{4000, -1, false}, {-1, 4000, false}, {0, 0, false}, {get_desktop_width(), get_desktop_height(), false},
              {get_desktop_width() + 1, 0, true}, {0, get_desktop_height() + 1, true}, {4000, 3000, true}};
  for (const ROW& row : rows) {
    data.check_desktop_size.width = row.width;
    data.check_desktop_size.height = row.height;
    data.desktop_size_checked = data.desktop_check_message[0] = 0;
    build(WIZARD_PAGE_OPTIONS);
    EXPECT_EQ(data.desktop_size_checked, 1);
    char expected[128];
    snprintf(expected, sizeof expected, "ERROR: screen %dx%d does not meet minimum requirement of %dx%d\n",
             get_desktop_width(), get_desktop_height(), row.width, row.height);
    EXPECT_STREQ(data.desktop_check_message, row.warned ? expected : "") << row.width << "x" << row.height;
    EXPECT_EQ(WM_SCREEN_OBJECT::find_top_overlay(wm_kind::CONFIRM) != nullptr, row.warned);
  }
  // Once checked, a return to the options page asks no more.
  WM_DIALOG::close_all_dialogs(true);
  data.desktop_check_message[0] = 0;
  build(WIZARD_PAGE_OPTIONS);
  EXPECT_STREQ(data.desktop_check_message, "");
}

// The first page of the wizard fades in from black with its dialog at its
// place, so that the dialog is part of every step of the fade; a page
// shown plainly still slides its dialog in from above the screen.
uint64_t running_ms = 0;
uint64_t running_clock() { return running_ms += 16; }

TEST_F(InstallDialog, AFirstPageThatFadesInCarriesItsDialogInPlace) {
  DATABASE& data = installer_database();
  default_dialog_effects() = saved_effects;
  data.window.width = 640;
  data.window.height = 480;
  data.dialog.x = 100;
  data.dialog.y = 90;
  data.background_image.create(1, 480);  // a still picture one pixel wide shows down the left edge
  const COLOUR grey = 0xFF808080;
  data.background_image.clear(&grey, true);
  set_clock(running_clock);
  for (const uint8_t fades_in : {1, 0}) {
    SCOPED_TRACE(fades_in ? "fading in" : "plain");
    delete manager;
    manager = new WM_PAGE_MANAGER(1, -1);
    manager->first_page_fades_in = fades_in;
    start_wizard(manager);
    data.current_page = WIZARD_PAGE_LANGUAGE;
    const uint64_t started = running_ms;
    EXPECT_EQ(manager->frame(false), fades_in ? page_action::FADE_IN_FROM_BLACK : page_action::SWITCH_PAGE);
    EXPECT_GE(running_ms - started, fades_in ? 700u : 0u);
    EXPECT_EQ(manager->running_transition(), 0);
    ASSERT_NE(current_dialog, nullptr);
    const INSTALL_DIALOG& d = *current_dialog;
    EXPECT_EQ(d.is_moving(), !fades_in);
    EXPECT_EQ(d.y, fades_in ? 90 : -d.height);
    // The still background is black; the dialog's middle shows its body.
    const COLOUR seen = wm_test::pixel(static_cast<int16_t>(100 + d.width / 2), static_cast<int16_t>(90 + d.height / 2));
    EXPECT_EQ(seen != 0xFF000000u, fades_in != 0) << std::hex << seen;
    EXPECT_EQ(wm_test::pixel(0, 240), grey);
  }
}

// A moving background rests for its start offset, then pans with the
// clock, and only while the window leaves room around the dialog.
uint64_t clock_ms = 0;
uint64_t held_clock() { return clock_ms; }

TEST_F(InstallDialog, TheBackgroundPansAfterItsStartOffsetWhereTheWindowLeavesRoom) {
  DATABASE& data = installer_database();
  IMAGE picture(1280, 960);
  for (int32_t y = 0; y < picture.height; ++y)
    for (int32_t x = 0; x < picture.width; ++x)
      picture.pixels[static_cast<size_t>(y * picture.stride + x)] = 0xFF000000u | static_cast<uint32_t>(x << 8 | y / 4);
  DATA_FILE* file = work.open_data_file("back.png", 1);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(picture.save_png(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  snprintf(data.background.path, sizeof data.background.path, "$ROOT1%s", scratch.file("work").c_str());
  snprintf(data.background.filename, sizeof data.background.filename, "back.png");
  data.background.speed = 1000;
  data.background.start_offset_ms = 100;
  data.window.width = 640;
  data.window.height = 480;
  data.current_page = WIZARD_PAGE_LANGUAGE;
  set_clock(held_clock);
  const struct {
    int16_t dialog_width, dialog_height;
    uint64_t after;  // ms after the wizard's first frame
    bool pans;
  } rows[] = {{420, 300, 99, false}, {420, 300, 100, true}, {640, 300, 100, false}, {420, 480, 100, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.dialog_width << "x" << row.dialog_height << " at " << row.after);
    data.dialog.width = row.dialog_width;
    data.dialog.height = row.dialog_height;
    delete manager;
    manager = new WM_PAGE_MANAGER(1, -1);
    next_scroll_time = 0;
    clock_ms = 1000;
    start_wizard(manager);
    manager->frame(false);  // the page is built
    manager->frame(false);
    ASSERT_NE(background_scroller, nullptr);
    EXPECT_EQ(background_scroller->pan_x, 0);
    clock_ms += row.after;
    manager->frame(false);
    EXPECT_EQ(background_scroller->pan_x != 0, row.pans) << background_scroller->pan_x;
    // The screen's corner, beside the dialog, shows the picture where the
    // window stands on it.
    const SCROLLING_BACKGROUND& b = *background_scroller;
    EXPECT_EQ(wm_test::pixel(639, 479), picture.pixels[static_cast<size_t>((b.pan_y + 479) * picture.stride + b.pan_x + 639)]);
  }
  wm_image_cache().clear_all();
}

// The language and installation-type grids hold a few choices: each shows
// whole and no scroll bar appears, whatever frame and row spacing the
// options style gives the grid.
TEST_F(InstallDialog, ChoiceGridsShowEveryChoiceWhole) {
  DATABASE& data = installer_database();
  two_languages_two_installations();
  struct ROW {
    uint16_t spacing;
    uint32_t flags;
  } rows[] = {{1, 0}, {6, 0}, {6, SSF_DRAW_BORDER}, {WM_STYLE_SET::UNSET, SSF_DRAW_BORDER}};
  for (int32_t page : {WIZARD_PAGE_INSTALL_TYPE, WIZARD_PAGE_LANGUAGE})
    for (const ROW& row : rows) {
      SCOPED_TRACE(std::to_string(page) + " " + std::to_string(row.spacing) + " " + std::to_string(row.flags));
      data.options_style.y_spacing = row.spacing;
      data.options_style.drawing_flags = row.flags;
      build(page);
      ASSERT_NE(option_grid, nullptr);
      EXPECT_EQ(option_grid->scrollbar, nullptr);
      for (int32_t r = 0; r < 2; ++r) EXPECT_TRUE(option_grid->is_row_fully_visible(r)) << r;
    }
  // An installation chosen while the languages show ticks no check box there: their buttons stay as they are.
  EXPECT_EQ(std::vector<int>({on_wizard_button(nullptr, 2, 1), data.chosen_installation}), std::vector<int>({0, 1}));
  EXPECT_STREQ(static_cast<WM_BUTTON*>(option_grid->get_cell(0, 1))->get_text(), "Deutsch");
  // A choice wider than the page gives a grid exactly as wide as the page, on its left edge.
  std::string wide(DATABASE_TEXT_SIZE - 1, 'W');
  snprintf(data.languages[0].installation_strings[1].data(), DATABASE_TEXT_SIZE, "%s", wide.c_str());
  build(WIZARD_PAGE_INSTALL_TYPE);
  ASSERT_NE(option_grid, nullptr);
  EXPECT_EQ(std::pair(option_grid->x, option_grid->width), std::pair(dialog->get_client()->x, dialog->get_client()->width));
  auto ticked = [](int32_t row) { return static_cast<WM_CHECK_BOX*>(option_grid->get_cell(0, row))->is_checked(); };
  on_wizard_button(nullptr, 2, 0);  // the tick moves from the installation chosen to the other one
  EXPECT_EQ(std::pair(ticked(0), ticked(1)), std::pair(true, false));
}

// Each page of the dialog as the page manager paints it, compared whole
// with its reference picture under tests/references/installer2/: the
// title, the three buttons in their words and states, and the page's own
// content where it lays it out (the choice grids centred, the options'
// rows, the progress line, the text window).
TEST_F(InstallDialog, EveryPageMatchesItsReference) {
  DATABASE& data = installer_database();
  two_languages_two_installations();
  set_texts({{FORWARD, "Next"}, {PREVIOUS, "Back"}, {INSTALL, "Install"}, {FINISH, "Finish"},
        {AGREE, "Agree"}, {DISAGREE, "Disagree"}, {SELECT_LANGUAGE, "Language"}, {LICENCE_TITLE, "Licence"},
        {README_TITLE, "Read me"}, {INSTALL_TYPE_TITLE, "Kind"}, {SELECT_OPTIONS_TITLE, "Options"},
        {INSTALLING_TITLE, "Installing"}, {SELECT_OPTIONS_LOCATION_QUESTION, "Install where?"},
        {SELECT_OPTIONS_USE_SYSTEM_PATHS, "System folders"}, {SELECT_OPTIONS_SHORTCUT_QUESTION, "Links?"},
        {SELECT_OPTIONS_DESKTOP_SHORTCUT, "On the desktop"}, {SELECT_OPTIONS_MENU_SHORTCUT, "In the menu"},
        {CHECK_DESKTOP_FAILED_TITLE, "Small screen"}, {CHECK_DESKTOP_FAILED, "The screen is too small."},
        {QUIT_YES, "Leave"}, {QUIT_NO, "Stay"}, {COPY_ERROR_TITLE, "Not copied"}, {PATCH_MSG, "Updates the old copy."},
        {COPY_ERROR_MSG, "%s could not be copied."}, {COPY_ERROR_YES, "Go on"}, {COPY_ERROR_NO, "Stop"},
        {PATH_ERROR_TITLE, "No folder"}, {PATH_ERROR_MSG, "%s cannot be made."}, {PATH_ERROR_BUTTON, "Back"}});
  snprintf(data.install_folder, sizeof data.install_folder, "$ROOT1/opt/Demo");
  data.chosen_installation = 1;
  data.installations[1].allow_system_paths = data.installations[1].has_desktop_shortcut = data.installations[1].has_menu_shortcut = 1;
  data.use_system_paths = data.menu_shortcut = 0;
  data.desktop_shortcut = data.show_filenames = 1;
  // What happens on the page once it shows.
  using THEN = void (*)();
  const THEN nothing = [] {};
  const struct {
    const char* name;
    int32_t page;
    int16_t screen_width;  // the smallest screen the options page asks for; -1 none
    THEN then;
    uint8_t patch = 0;  // looks for an installation to patch: its message above the links; none here, Install off
  } rows[] = {
      {"language", WIZARD_PAGE_LANGUAGE, -1, nothing},
      {"install_type", WIZARD_PAGE_INSTALL_TYPE, -1, nothing},
      {"licence", WIZARD_PAGE_LICENCE, -1, nothing},
      {"options", WIZARD_PAGE_OPTIONS, -1, nothing},
      {"small_screen", WIZARD_PAGE_OPTIONS, 30000, nothing},
      {"options_patch", WIZARD_PAGE_OPTIONS, -1, nothing, 1},
      {"installing", WIZARD_PAGE_INSTALLING, -1, [] { current_dialog->set_progress(40, "/opt/Demo/notes.txt"); }},
      {"copy_error", WIZARD_PAGE_INSTALLING, -1, [] { current_dialog->ask_on_copy_error("/opt/Demo/notes.txt"); }},
      {"path_error", WIZARD_PAGE_INSTALLING, -1,
       [] { current_dialog->report_path_error("/opt/Demo", "Permission denied"); }},
      {"installed", WIZARD_PAGE_INSTALLING, -1,
       [] {
         current_dialog->set_progress(100, "Complete");
         current_dialog->update_buttons();
       }},
      {"readme", WIZARD_PAGE_README, -1, nothing},
      {"pack_log", WIZARD_PAGE_PACK_LOG, -1, nothing},  // the builder's error log
  };
  ASSERT_TRUE(test_support::write_file(scratch.file("work/installer.pkg.errlog"), "missing: a.txt\nmissing: b.txt\n"));
  data.pack_folder = work;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    data.check_desktop_size = {row.screen_width, 400};
    data.desktop_size_checked = 0;
    data.patch.do_check = row.patch;
    show_page(row.page, row.then);
    EXPECT_TRUE(test_support::picture_matches_reference("installer2", row.name, *get_screen_image()));
    WM_DIALOG::close_all_dialogs(true);
  }
}

// Options wider than the page: a question breaks into lines and check
// boxes move left, so that every word shows, none cut at the page's edges.
// Each row's ink (what differs from the page's own colour at its left
// edge) keeps clear of the page's sides; a long question takes two lines
// or more.
TEST_F(InstallDialog, TheOptionsPageShowsLongQuestionsAndLabelsWhole) {
  DATABASE& data = installer_database();
  data.installations[0].has_desktop_shortcut = 1;
  // Flat looks: text straight on the page, no frames.
  data.options_style.drawing_flags = data.text_win_title_style.drawing_flags = 0;
  data.options_style.bg_colour = data.text_win_title_style.bg_colour = COLOUR_INVISIBLE;
  const std::string long_question = "Which of the shortcuts that this set-up can make should it make for you now?";
  IMAGE* screen = get_screen_image();
  const struct {
    std::string question;
    int label_percent;  // the label's width against the page's
    bool wraps;
  } rows[] = {{"Shortcuts?", 40, false}, {long_question, 40, true}, {"Shortcuts?", 80, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.question + " " + std::to_string(row.label_percent));
    snprintf(data.languages[0].texts[SELECT_OPTIONS_SHORTCUT_QUESTION], DATABASE_TEXT_SIZE, "%s", row.question.c_str());
    const int32_t page_w = data.dialog.width - 20;
    std::string label = "A link";
    while (screen->get_text_width(255, 65535, -1, label.c_str()) < page_w * row.label_percent / 100) label += " on";
    snprintf(data.languages[0].texts[SELECT_OPTIONS_DESKTOP_SHORTCUT], DATABASE_TEXT_SIZE, "%s", label.c_str());
    const COLOUR black = 0xFF000000;
    screen->clear(&black, true);
    build(WIZARD_PAGE_OPTIONS);
    ASSERT_NE(option_grid, nullptr);
    wm_test::paint_table(manager->current_root());
    const WM_SCREEN_OBJECT* client = dialog->get_client();
    const int32_t left = client->x, right = client->x + client->width - 1;
    int32_t question_rows = 0;
    for (int32_t r = 0; r < option_grid->get_row_count(); ++r) {
      int32_t y1 = 0, y2 = 0;
      ASSERT_TRUE(option_grid->get_row_span(r, &y1, &y2));
      const COLOUR page = wm_test::pixel(static_cast<int16_t>(left), static_cast<int16_t>(y1));
      int32_t first = right + 1, last = left - 1, ink_rows = 0;
      for (int32_t y = y1; y <= y2; ++y) {
        bool ink = false;
        for (int32_t x = left; x <= right; ++x)
          if (wm_test::pixel(static_cast<int16_t>(x), static_cast<int16_t>(y)) != page) {
            first = std::min(first, x), last = std::max(last, x), ink = true;
          }
        ink_rows += ink;
      }
      if (last < first) continue;
      EXPECT_GT(first, left + 1) << "row " << r;
      EXPECT_LT(last, right - 1) << "row " << r;
      const WM_GRID_ROW* cells = option_grid->get_row(r);
      const auto* label = cells && cells->cell_count() > 0 ? cells->cells[0] : nullptr;
      if (label && (label->kind & wm_kind::SCRIPT) &&
          row.question == static_cast<const WM_SCRIPT*>(label)->text.get_text(PARAMETER::VALUE))
        question_rows = ink_rows;
    }
    const int32_t line = get_screen_image()->font_height;
    EXPECT_EQ(question_rows > line + line / 2, row.wraps) << question_rows;
  }
}

}  // namespace

namespace {

// What has the focus, by its caption; a check box's box by its label.
std::string focus_name() {
  WM_SCREEN_OBJECT* f = WM_SCREEN_OBJECT::focus_object;
  if (f == folder_button) return "folder";
  if (f && f->parent && (f->parent->kind & wm_kind::CHECK_BOX))
    return static_cast<WM_CHECK_BOX*>(f->parent)->label->get_text();
  return f && (f->kind & wm_kind::BUTTON) ? static_cast<WM_BUTTON*>(f)->get_text() : "-";
}

}  // namespace

// The options page and the install worker's two questions, built through
// the page manager: the focus they open with, then Tab round once in
// reading order (check boxes by their box). In the choice grids Down and Up move between the choices (and stop at
// the last and the first).
TEST_F(InstallDialog, OptionsAndQuestionsOpenOnTheirDefaultAndTabInReadingOrder) {
  DATABASE& data = installer_database();
  set_texts({{INSTALL, "Install"}, {QUIT, "Quit"}, {PREVIOUS, "Back"}, {COPY_ERROR_YES, "Carry on"}, {COPY_ERROR_NO, "Stop"},
             {PATH_ERROR_BUTTON, "Back out"}, {SELECT_OPTIONS_DESKTOP_SHORTCUT, "Desktop"}, {SELECT_OPTIONS_MENU_SHORTCUT, "Menu"}});
  two_languages_two_installations();
  data.installations[0].has_desktop_shortcut = data.installations[0].has_menu_shortcut = 1;
  test_support::INPUT_DRIVER input;
  const struct {
    int32_t page;
    void (*open)();
    const char* walk;
    uint32_t key = XK_Tab;
    int16_t language = 0;  // the language in use, whose cell Return picks while Next is off
  } rows[] = {
      {WIZARD_PAGE_OPTIONS, [] {}, "Install folder ... Desktop Menu Quit Back Install"},
      {WIZARD_PAGE_INSTALLING, [] { current_dialog->ask_on_copy_error("/t/a"); }, "Carry on Stop Carry on"},
      {WIZARD_PAGE_INSTALLING, [] { current_dialog->report_path_error("/t", "Permission denied"); }, "Back out Back out"},
      {WIZARD_PAGE_LANGUAGE, [] {}, "English Deutsch Deutsch", XK_Down},
      {WIZARD_PAGE_LANGUAGE, [] {}, "Deutsch English English", XK_Up, 1},
      {WIZARD_PAGE_INSTALL_TYPE, [] { option_grid->get_cell(0, 0)->set_focus(); }, "Standard Minimal Minimal",
       XK_Down},
      {WIZARD_PAGE_INSTALL_TYPE, [] { option_grid->get_cell(0, 1)->set_focus(); }, "Minimal Standard", XK_Up},
  };
  for (const auto& row : rows) {
    data.current_language = row.language;
    show_page(row.page, row.open);
    std::string walk = focus_name();
    while (walk.size() < strlen(row.walk) && walk.size() < 200) {
      input.key(row.key);
      manager->frame(false);
      walk += " " + focus_name();
    }
    EXPECT_EQ(walk, row.walk) << "page " << row.page;
  }
}
