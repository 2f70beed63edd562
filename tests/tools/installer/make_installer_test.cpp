// The builder as a preparer runs it: a folder of files of every kind and a
// UTF-8 description go in; what comes out is an installer whose -a run
// recreates the folder, whose stored texts are the system's 8-bit text,
// or a refusal that names what could not be packed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config_file.h"
#include "data_file.h"
#include "database.h"
#include "default_dialog_styles.h"
#include "file_services.h"
#include "font.h"
#include "package.h"
#include "package_data_file.h"
#include "payload.h"
#include "skin_frame.h"
#include "test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_dialog.h"
#include "wm_style_set.h"

namespace {

namespace fs = std::filesystem;

const std::string kTools = TEST_BIN_DIR "/../tools/installer/";

class MakeInstaller : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* dir : {"source", "source/files", "home"})
      ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
  }

  std::string files() const { return scratch.file("source/files"); }
  std::string target() const { return scratch.file("target"); }
  std::string program() const { return scratch.file("setup"); }

  void put(const std::string& relative, const std::string& bytes, mode_t mode = 0644) {
    const fs::path path = files() + "/" + relative;
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(test_support::write_file(path, bytes));
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }

  // Runs the builder on the common lines and extra ones.
  test_support::RunResult build(const std::string& extra) {
    const std::string description = "app = Tools\ninstallation = Standard | $ROOT1" + target() +
                                    "\nfiles = files\n" + extra +
                                    (extra.find("language =") == std::string::npos ? "language = English\n" : "");
    EXPECT_TRUE(test_support::write_file(scratch.file("source/installer.txt"), description));
    return test_support::run_program(
        {kTools + "make_installer", scratch.file("source/installer.txt"), kTools + "setup", program()});
  }

  // The built installer's data, as the installer reads it; installer.pkg
  // stays in scratch's "unpacked".
  bool read_database(DATABASE& data) {
    FOLDER here, unpacked;
    const PAYLOAD_INFO payload = payload_offset_of(program().c_str());
    mkdir(scratch.file("unpacked").c_str(), 0700);
    if (!payload.present || !here.set_absolute(scratch.path().c_str()) ||
        !unpacked.set_absolute(scratch.file("unpacked").c_str()) ||
        !unpack_payload_file(here, "setup", payload.offset, unpacked, "installer.pkg", nullptr))
      return false;
    PACKAGE package(unpacked, "installer.pkg", false, -1, false, true);
    DATA_FILE* stored = package.is_open() ? package.open_file("database.bin", 0, 255) : nullptr;
    const bool read = stored && data.get_from_data_device(stored);
    if (stored) FOLDER::close_data_file(stored);
    return read;
  }

  test_support::ScratchDir scratch;
};

// What a tree holds, links followed: each path below it with its bytes, a
// folder as "/".
std::map<std::string, std::string> contents(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root, fs::directory_options::follow_directory_symlink)) {
    const std::string relative = entry.path().lexically_relative(root).string();
    if (relative == "install_log.txt") continue;
    out[relative] = entry.is_directory() ? "/" : test_support::read_file(entry.path());
  }
  return out;
}

TEST_F(MakeInstaller, EveryKindOfEntryInstallsAsItWas) {
  put("run.sh", "#!/bin/sh\necho run\n", 0755);
  put(".hidden", "not shown by ls");
  put(".config/settings", "colour = blue\n");
  put("Gr\xC3\xBC\xC3\x9F" "e \xC3\x9F.txt", "non-ASCII name");
  put("\xC3\xBC-folder/\xE2\x82\xAC note", "a euro note");
  fs::create_directories(files() + "/empty");
  fs::create_directories(files() + "/deep/er/empty");
  fs::create_symlink("run.sh", files() + "/alias.sh");
  fs::create_symlink("\xC3\xBC-folder", files() + "/folder-link");

  const test_support::RunResult built = build("links = copy\nlanguage = Fran\xC3\xA7" "ais\n");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  const test_support::RunResult run = test_support::run_program(
      {program(), "-a"}, {"DISPLAY=", "HOME=" + scratch.file("home")}, nullptr, 120);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  // The terminal gets the language's name in UTF-8, converted once.
  EXPECT_NE(run.out.find("\nLanguage: Fran\xC3\xA7" "ais\n"), std::string::npos) << run.out;

  // Links come out as copies of what they point to; everything else as it
  // was, names byte for byte.
  EXPECT_EQ(contents(target()), contents(files()));
  EXPECT_EQ(fs::status(target() + "/run.sh").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
  EXPECT_FALSE(fs::is_symlink(target() + "/alias.sh"));
  const std::string log = test_support::read_file(target() + "/install_log.txt");
  for (const std::string& line : {"Installed \"" + target() + "/Gr\xC3\xBC\xC3\x9F" "e \xC3\x9F.txt\"\n",
                                 "Installed \"" + target() + "/deep/er/empty\"\n",
                                 "Installed \"" + target() + "/.hidden\"\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

// A link is never followed on its own, and those that would leave the
// folder or copy a folder into itself are refused even when copies are
// asked for; every refused link is named and nothing is written.
TEST_F(MakeInstaller, LinksAreRefusedByName) {
  struct ROW {
    const char* extra;
    std::vector<std::pair<std::string, std::string>> links;  // name, target
    std::vector<std::string> said;
  } rows[] = {
      {"", {{"alias", "a.txt"}, {"sub/up", ".."}},
       {"alias is a symbolic link; the installer stores no links", "sub/up is a symbolic link;",
        "2 entries below"}},
      {"links = copy\n", {{"host", "/etc/hostname"}}, {"host is a symbolic link to /etc/hostname, outside the folder"}},
      {"links = copy\n", {{"sub/self", "."}, {"sub/up", ".."}},
       {"sub/self is a symbolic link to a folder that holds it (a loop)",
        "sub/up is a symbolic link to a folder that holds it (a loop)"}},
      {"links = copy\n", {{"out", "../.."}}, {"out is a symbolic link to " + scratch.path() + ", outside the folder"}},
      {"links = copy\n", {{"gone", "missing"}, {"one", "two"}, {"two", "one"}},
       {"gone is a symbolic link that leads nowhere or loops", "one is a symbolic link that leads nowhere",
        "two is a symbolic link that leads nowhere"}},
  };
  put("a.txt", "a");
  fs::create_directories(files() + "/sub");
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.extra + row.links[0].first);
    for (const auto& [name, to] : row.links) fs::create_symlink(to, files() + "/" + name);
    const test_support::RunResult built = build(row.extra);
    EXPECT_EQ(built.exit_code, 1);
    for (const std::string& part : row.said) EXPECT_NE(built.err.find(part), std::string::npos) << built.err;
    EXPECT_FALSE(test_support::file_exists(program()));
    for (const auto& link : row.links) fs::remove(files() + "/" + link.first);
  }
}

// The description is UTF-8; what is shown is stored as the system's 8-bit
// text (Latin-1, characters above 255 in runs opened and closed by byte 1),
// names on disk as they are.
TEST_F(MakeInstaller, ShownTextsAreStoredAsTheSystemsText) {
  std::string readme;
  for (int i = 1; i <= 40; ++i) readme += "Line " + std::to_string(i) + "\n";
  ASSERT_TRUE(test_support::write_file(scratch.file("source/readme.txt"), readme));
  ASSERT_TRUE(test_support::write_file(scratch.file("source/notes.txt"), std::string(300, 'n') + "\n"));
  put("a.txt", "a");
  const test_support::RunResult built = build(
      "installation = Gro\xC3\x9F | $ROOT0/Gro\xC3\x9F\n"
      "language = English\nFORWARD = Next\nreadme = readme.txt\n"
      "installation_name = Standard | Standard (recommended)\n"
      "language = Deutsch (\xC3\x96sterreich)\nPREVIOUS = Zur\xC3\xBC" "ck\nFORWARD = Weiter \xE2\x82\xAC\n"
      "installation_name = Gro\xC3\x9F | Gro\xC3\x9F" "e Installation\nrelease_notes = notes.txt\n");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  DATABASE data;
  ASSERT_TRUE(read_database(data));
  ASSERT_EQ(data.languages.size(), 2u);
  ASSERT_EQ(data.installations.size(), 2u);
  const DATABASE_LANGUAGE& english = data.languages[0];
  const DATABASE_LANGUAGE& german = data.languages[1];
  EXPECT_STREQ(german.name, "Deutsch (\xD6sterreich)");
  EXPECT_STREQ(german.texts[PREVIOUS], "Zur\xFC" "ck");
  EXPECT_STREQ(german.texts[FORWARD], "Weiter \x01,20AC\x01");
  EXPECT_STREQ(english.texts[FORWARD], "Next");
  // Every language names every installation: its own text, or the name.
  EXPECT_STREQ(english.installation_strings[0].data(), "Standard (recommended)");
  EXPECT_STREQ(english.installation_strings[1].data(), "Gro\xDF");
  EXPECT_STREQ(german.installation_strings[0].data(), "Standard");
  EXPECT_STREQ(german.installation_strings[1].data(), "Gro\xDF" "e Installation");
  // Names and paths stay as they are on disk.
  EXPECT_STREQ(data.installations[1].name, "Gro\xC3\x9F");
  EXPECT_STREQ(data.installations[1].default_path, "$ROOT0/Gro\xC3\x9F");
  // Text pages hold rows for the whole file, wrapped lines included.
  EXPECT_GE(english.readme.lines, 40);
  EXPECT_GE(german.release_notes.lines, 300 / 32);
  EXPECT_EQ(german.readme.lines, 0);
}

TEST_F(MakeInstaller, DescriptionsThatCannotBeReadAreRefusedWithTheirLine) {
  put("a.txt", "a");
  std::string euros;
  for (int i = 0; i < 12; ++i) euros += "\xE2\x82\xAC";
  struct ROW {
    std::string extra;
    std::string said;
  } rows[] = {
      {"language = Deutsch\nPREVIOUS = Zur\xFC" "ck\n", "line 5: not UTF-8 text"},
      {"version = 1\n\xC3(\n", "line 5: not UTF-8 text"},
      // 236 bytes of UTF-8, 262 of system text.
      {"language = English\nQUIT = " + std::string(200, 'q') + euros + "\n",
       "line 5: the text takes more than the 255 bytes"},
      {"language = English\ninstallation_name = Other | Something\n", "line 5: no installation Other"},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.said);
    const test_support::RunResult built = build(row.extra);
    EXPECT_EQ(built.exit_code, 1);
    EXPECT_NE(built.err.find(row.said), std::string::npos) << built.err;
    EXPECT_FALSE(test_support::file_exists(program()));
  }
}

// A picture of one colour, saved as PNG.
void save_picture(const std::string& path, int16_t w, int16_t h, COLOUR colour) {
  IMAGE picture(w, h);
  picture.clear(&colour, true);
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(fs::path(path).parent_path().c_str()));
  DATA_FILE* file = folder.open_data_file(fs::path(path).filename().c_str(), 1);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(picture.save_png(file));
  EXPECT_TRUE(FOLDER::close_data_file(file));
}

// A style-set file naming pictures of its own folder.
void save_style(const std::string& folder, const char* name, WM_STYLE_SET& style) {
  CONFIG_FILE config;
  ASSERT_TRUE(static_cast<FOLDER&>(config).set_absolute(folder.c_str()));
  config.init(name, false);
  snprintf(style.image_path, sizeof style.image_path, "$HERE");
  ASSERT_TRUE(style.write_config(config));
}

COLOUR colour_at(const IMAGE* picture) {
  COLOUR c = 0;
  if (picture) picture->get_pixel(0, 0, &c);
  return c;
}

// The skin's style sets, the pictures they name, its icons and its window
// background travel in the installer's own data: read back there (where
// pictures come from the stored picture cache alone) they are the skin's.
TEST_F(MakeInstaller, TheSkinTravelsInTheInstallersData) {
  put("a.txt", "a");
  const std::string skin = scratch.file("source/skin");
  for (const char* dir : {"", "/progress_bar", "/check_box", "/icons"}) fs::create_directories(skin + dir);
  save_picture(skin + "/progress_bar/bar_empty.png", 12, 10, 0xFF203040);
  save_picture(skin + "/progress_bar/bar_full.png", 12, 10, 0xFFFF8000);
  save_picture(skin + "/check_box/check_up.png", 14, 14, 0xFFFFFFFF);
  save_picture(skin + "/check_box/check_active_up.png", 14, 14, 0xFF2060C0);
  save_picture(skin + "/icons/folder.png", 16, 16, 0xFFF0C040);
  save_picture(skin + "/background.png", 64, 48, 0xFF102030);
  WM_STYLE_SET bar, box;
  bar.set_image_filename("bar");
  bar.highlight_colour = 0xFFFF8000;
  bar.highlight_text_colour = 0xFF101010;
  save_style(skin + "/progress_bar", "progress_bar.ss", bar);
  box.set_image_filename("check");
  box.fg_colour = 0xFF101010;
  save_style(skin + "/check_box", "check_box.ss", box);

  const test_support::RunResult built = build("skin = skin\n");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  // A picture that turns up in the skin folder later is no part of the
  // installer's look, though it is named as one of the bar's.
  save_picture(skin + "/progress_bar/bar_full_colay.png", 4, 4, 0xFF00FF00);
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  DATABASE data;
  ASSERT_TRUE(read_database(data));
  EXPECT_EQ(skin_load_flags, IMAGE_CACHE_FIND_ONLY);
  const WM_STYLE_SET& stored_bar = data.progress_bar_style;
  EXPECT_EQ(stored_bar.highlight_colour, 0xFFFF8000u);
  ASSERT_NE(stored_bar.state_images[STYLE_IMAGE_FULL], nullptr);
  ASSERT_NE(stored_bar.state_images[STYLE_IMAGE_EMPTY], nullptr);
  EXPECT_EQ(colour_at(stored_bar.state_images[STYLE_IMAGE_FULL]->mid_mid), 0xFFFF8000u);
  EXPECT_EQ(colour_at(stored_bar.state_images[STYLE_IMAGE_EMPTY]->mid_mid), 0xFF203040u);
  EXPECT_EQ(stored_bar.state_images[STYLE_IMAGE_FULL]->colay, nullptr);
  ASSERT_NE(data.check_box_style.state_images[STYLE_IMAGE_ACTIVE_UP], nullptr);
  EXPECT_EQ(colour_at(data.check_box_style.state_images[STYLE_IMAGE_ACTIVE_UP]->mid_mid), 0xFF2060C0u);
  EXPECT_EQ(data.icons[ICON_FOLDER].width, 16);
  EXPECT_EQ(colour_at(&data.icons[ICON_FOLDER]), 0xFFF0C040u);
  EXPECT_EQ(data.background.speed, 0);
  EXPECT_EQ(data.background_image.width, 64);
  EXPECT_EQ(colour_at(&data.background_image), 0xFF102030u);
}

// Perceived brightness, 0 to 255.
int brightness(COLOUR c) { return static_cast<int>((((c >> 16) & 0xFF) * 299 + ((c >> 8) & 0xFF) * 587 + (c & 0xFF) * 114) / 1000); }

// Without a skin, what the wizard shows on what: text and marks on the
// faces they are drawn on differ clearly in brightness. An unset face is
// the one under it.
TEST_F(MakeInstaller, WithoutASkinTheLookIsLegible) {
  put("a.txt", "a");
  const test_support::RunResult built = build("");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  DATABASE data;
  ASSERT_TRUE(read_database(data));
  const COLOUR body = default_dialog_style().bg_colour;
  auto face = [&](COLOUR c, COLOUR under) { return (c >> 24) ? c : under; };
  const COLOUR grid = face(data.options_style.bg_colour, body);
  struct ROW {
    const char* what;
    COLOUR ink, paper;
  } rows[] = {
      {"licence and readme text", data.text_win_text_style.fg_colour, face(data.text_win_text_style.bg_colour, body)},
      {"questions on the options page", data.text_win_title_style.fg_colour,
       face(data.text_win_title_style.bg_colour, grid)},
      {"check box label", data.check_box_style.fg_colour, grid},
      {"check box mark", data.check_box_style.fg_colour, face(data.check_box_style.bg_colour, grid)},
      {"progress bar fill", data.progress_bar_style.highlight_colour, face(data.progress_bar_style.bg_colour, body)},
      {"percentage on the fill", data.progress_bar_style.highlight_text_colour, data.progress_bar_style.highlight_colour},
      {"percentage on the empty part", data.progress_bar_style.highlight_text_colour,
       face(data.progress_bar_style.bg_colour, body)},
      {"file being written", data.progress_bar_script_style.fg_colour,
       face(data.progress_bar_script_style.bg_colour, body)},
      {"folder browser list", data.menu_item_style.fg_colour, face(data.menu_item_style.bg_colour, body)},
      {"folder browser list, every other row", data.menu_alt_item_style.fg_colour,
       face(data.menu_alt_item_style.bg_colour, body)},
  };
  for (const ROW& row : rows) {
    EXPECT_NE(row.ink >> 24, 0u) << row.what;
    EXPECT_GT(std::abs(brightness(row.ink) - brightness(row.paper)), 90) << row.what;
  }
  EXPECT_TRUE(data.text_win_text_style.drawing_flags & SSF_LEFT_JUSTIFY_TEXT);
}

// The fonts an installer carries: only those that its styles draw with
// (the surfaces' default font for a style that names none), and with those
// alone, on a machine that has none of them, every style draws its text.
TEST_F(MakeInstaller, TheInstallerCarriesTheFontsItsStylesDrawWith) {
  put("a.txt", "a");
  // Body text in slot 22, the toolkit's buttons in slot 5, list items in
  // slot 16 (whose file slot 1 shares).
  const std::string skin = scratch.file("source/skin");
  const std::pair<const char*, uint8_t> named[] = {
      {"dialog/text.ss", 22}, {"button/button.ss", 5}, {"menu/menu_item.ss", 16}};
  for (const auto& [file, font] : named) {
    const fs::path path = skin + "/" + file;
    fs::create_directories(path.parent_path());
    WM_STYLE_SET style;
    style.font_id = font;
    save_style(path.parent_path(), path.filename().c_str(), style);
  }
  struct ROW {
    std::string extra;
    std::set<std::string> fonts;
  } rows[] = {
      {"", {"DejaVuSans.ttf"}},
      {"skin = " TEST_SOURCE_DIR "/../demo/skin\n", {"DejaVuSans.ttf"}},
      {"skin = skin\n",
       {"DejaVuSans.ttf", "DejaVuSerif.ttf", "DejaVuSansMono-Bold.ttf", "DejaVuSansCondensed-Oblique.ttf"}},
  };
  ASSERT_EQ(mkdir(scratch.file("home/tmp").c_str(), 0700), 0);
  set_home_folder_override(scratch.file("home").c_str());
  const int32_t buffer_size = DATA_FILE::get_default_buffer_size();
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.extra);
    const test_support::RunResult built = build(row.extra);
    ASSERT_EQ(built.exit_code, 0) << built.err;
    installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
    DATABASE stored;
    ASSERT_TRUE(read_database(stored));
    FOLDER unpacked;
    ASSERT_TRUE(unpacked.set_absolute(scratch.file("unpacked").c_str()));
    std::set<std::string> fonts;
    {
      PACKAGE package(unpacked, "installer.pkg", false, -1, true, true);
      for (PACKAGE_FILE_RECORD* entry = package.list_head; entry; entry = entry->next_entry)
        if (fs::path(entry->name.get_text()).extension() == ".ttf") fonts.insert(entry->name.get_text());
    }
    EXPECT_EQ(fonts, row.fonts);

    // A font table without built-in fonts: only the package fills it.
    clear_load_builtin_fonts();
    FONT::init();
    DATABASE data;
    data.pack_folder = unpacked;
    ASSERT_TRUE(data.load_package("installer.pkg"));
    std::vector<const WM_STYLE_SET*> styles = {
        &default_dialog_style(),       &default_dialog_title_style(),  &default_dialog_button_style(),
        &data.title_style,             &data.text_style,               &data.options_style,
        &data.text_win_title_style,    &data.text_win_text_style,      &data.scrollbar_style,
        &data.check_box_style,         &data.progress_bar_style,       &data.progress_bar_script_style,
        &data.menu_dropdown_style,     &data.menu_button_style,        &data.menu_item_style,
        &data.menu_alt_item_style};
    for (const WM_STYLE_SET* style : styles) {
      IMAGE surface(80, 40);
      const COLOUR paper = 0xFF000000, ink = 0xFFFFFFFF;
      surface.clear(&paper, true);
      surface.draw_text(2, 2, &ink, nullptr, nullptr, static_cast<int8_t>(style->font_id),
                        style->font_x_sz == WM_STYLE_SET::UNSET ? int16_t{-1} : static_cast<int16_t>(style->font_x_sz),
                        style->font_y_sz == WM_STYLE_SET::UNSET ? int16_t{-1} : static_cast<int16_t>(style->font_y_sz),
                        "Ag");
      int inked = 0;
      for (int16_t y = 0; y < surface.height; ++y)
        for (int16_t x = 0; x < surface.width; ++x) {
          COLOUR c = 0;
          surface.get_pixel(x, y, &c);
          inked += c != paper;
        }
      EXPECT_GT(inked, 20) << "font " << int{style->font_id};
    }
    data.package.reset();
    FONT::shutdown();
    load_builtin_fonts = 1;
  }
  DATA_FILE::set_default_buffer_size(buffer_size);
  remove_temporary_folder();
  set_home_folder_override(nullptr);
}

// A name with a control character would split the install log's lines or
// reach a terminal as an escape sequence: the builder refuses it, showing
// it escaped, and writes nothing.
TEST_F(MakeInstaller, NamesWithControlCharactersAreRefused) {
  struct ROW {
    std::string file;   // below the files folder
    std::string extra;  // description lines
    std::string said;
  } rows[] = {
      {"evil\nSettings: 0 1 forged", "", "the name \"evil\\nSettings: 0 1 forged\" holds a control character"},
      {"red\x1b[31m.txt", "", "\"red\\x1b[31m.txt\""},
      {"sub\x01" "folder/a.txt", "", "sub\\x01folder\""},
      {"del\x7f", "", "\"del\\x7f\""},
      {"tab\there", "", "\"tab\\there\""},
      {"a.txt", "link = Bell\x07 | a.txt | 3\n", "\"Bell\\x07\""},
      {"a.txt", "link = Notes | a.txt | 3 | Menu\x1b\n", "\"Menu\\x1b\""},
      {"a.txt", "app = Tools\x1b[2J\n", "\"Tools\\x1b[2J\""},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.said);
    fs::remove_all(files());
    put(row.file, "x");
    const test_support::RunResult built = build(row.extra);
    EXPECT_EQ(built.exit_code, 1);
    EXPECT_NE(built.err.find(row.said), std::string::npos) << built.err;
    EXPECT_FALSE(test_support::file_exists(program()));
  }
}

}  // namespace
