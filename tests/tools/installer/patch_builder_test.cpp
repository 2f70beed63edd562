// The patch description: two installer packages compared by the built
// program's -d mode, what it prints and the patch.xml it leaves; and the
// document itself, which a real XML parser must read back.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "package.h"
#include "package_data_file.h"
#include "package_test_support.h"
#include "patch_xml.h"
#include "test_support.h"

namespace {

const std::string kProgram = TEST_BIN_DIR "/../tools/installer/setup";
const std::string kXmllint = "/usr/bin/xmllint";  // Debian package libxml2-utils

struct STORED {
  const char* name;
  std::string bytes;
  bool in_package = true;  // false: only the record names the entry
  bool packed = true;      // false: the record's packed name is blank
};

class PatchBuilder : public package_test_support::PackageScratchTest {
protected:
  // installer.pkg in the sub-folder, made with the calls make_installer
  // makes: every file stored under its packed name, then database.bin.
  std::string make_package(const std::string& sub, const std::vector<STORED>& files,
                           const char* installation = "Full", size_t more_types = 0) {
    const std::string folder_path = scratch.file(sub);
    EXPECT_EQ(mkdir(folder_path.c_str(), 0700), 0);
    FOLDER folder;
    EXPECT_TRUE(folder.set_absolute(folder_path.c_str()));
    DATABASE data;
    snprintf(data.log.dest_path_from_inst_loc, sizeof data.log.dest_path_from_inst_loc, "$app");
    DATABASE_INSTALLATION& type = data.installations.emplace_back();
    snprintf(type.name, sizeof type.name, "%s", installation);
    DATABASE_LANGUAGE& language = data.languages.emplace_back();
    snprintf(language.name, sizeof language.name, "English");
    snprintf(language.texts[PATCH_MSG], DATABASE_TEXT_SIZE, "Two\nlines");
    language.installation_strings.resize(1 + more_types);
    PACKAGE package(folder, "installer.pkg", true, 0, false, false);
    EXPECT_TRUE(package.is_open());
    for (const STORED& file : files) {
      EXPECT_TRUE(test_support::write_file(folder_path + "/" + file.name, file.bytes));
      const std::string packed = std::string("p/") + file.name;
      EXPECT_TRUE(!file.in_package || package.has_file(packed.c_str()) ||
                  package.add_file(folder, file.name, packed.c_str()));
      DATABASE_FILE& record = type.files.emplace_back();
      snprintf(record.src_name, sizeof record.src_name, "%s", file.name);
      snprintf(record.src_path_from_xml, sizeof record.src_path_from_xml, "files");
      if (file.packed) snprintf(record.packed_name, sizeof record.packed_name, "p/%s", file.name);
    }
    data.installations.resize(1 + more_types);
    DATA_FILE* stored = package.open_file("database.bin", 1, 255);
    EXPECT_NE(stored, nullptr);
    EXPECT_TRUE(data.put_to_data_device(stored));
    EXPECT_TRUE(FOLDER::close_data_file(stored));
    EXPECT_TRUE(package.flush());
    return folder_path + "/installer.pkg";
  }

  static test_support::RunResult diff(const std::string& argument) {
    return test_support::run_program({kProgram, "-d", argument}, {"DISPLAY="});
  }

  const std::string big = package_test_support::pattern(3000, 7);
};

std::string changed_at(std::string bytes, size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 1);
  return bytes;
}

TEST_F(PatchBuilder, ChangedDeletedAddedAndRenamedFilesAreReportedAndDescribed) {
  const std::vector<STORED> older = {
      {"same", big}, {"first", big}, {"last", big}, {"longer", big}, {"gone", "g"}, {"before", "r"}};
  const std::string old_pkg = make_package("old", older);
  const std::string new_pkg =
      make_package("new", {{"same", big}, {"first", changed_at(big, 0)},
                           {"last", changed_at(big, big.size() - 1)}, {"longer", big + "x"}, {"new", "n"},
                           {"after", "r"}, {"gone", "g", false, false}});
  const auto console = [&](const std::string& second, const char* lines) {
    return "Creating File Differences\n-------------------------\n\nFirst database (" + old_pkg +
           ") was loaded ok...\nSecond database (" + second +
           ") was loaded ok...\nInstallation (0)\n\tShortcuts are ignored by patching system\n" +
           lines + "\nDone\n-------------------------\n";
  };
  const test_support::RunResult result = diff(old_pkg + "=" + new_pkg);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, console(new_pkg,
                                "\t\tFile changed - files/first\n\t\tFile changed - files/last\n"
                                "\t\tFile changed - files/longer\n"
                                "\t\tWarning: blank packed name in d2 (files/gone)\n"
                                "\t\tFile deleted - files/gone\n\t\tFile deleted - files/before\n"
                                "\t\tFile added - files/new\n\t\tFile added - files/after\n"));
  const std::string xml = test_support::read_file(scratch.file("old/patch.xml"));
  const auto file = [](const char* name) {
    return std::string("\t\t<FILE platform=\"\" src_name=\"") + name +
           "\" dest_name=\"\" src_path_from_xml=\"files\" dest_path_from_inst_loc=\"\" "
           "system_dest_path_from_inst_loc=\"\" stamp=\"no\" switch_user=\"no\" "
           "overwrite=\"always\"/>\n";
  };
  const char* const deleted = "\t\t<!-- Deleted files not supported\n";
  // The older build holds the defaults of everything its head shows.
  EXPECT_NE(xml.find("<INSTALLER show_frame_rate=\"no\" show_filenames=\"yes\" show_filepaths=\"yes\" "
                     "file_cache_sz=\"1048576\"  default_language_name=\"\">\n\n\t<APPLICATION version=\"\" "
                     "build_number=\"0\" app_string=\"\"/>\n\t<WINDOW width=\"300\" height=\"200\" "
                     "fullscreen=\"no\" show_bg_title=\"no\"/>\n\t<DIALOG x=\"0\" y=\"0\" width=\"200\" "
                     "height=\"150\" button_gap=\"10\" can_drag=\"yes\"/>\n\t<EXIT x=\"-1\" y=\"-1\" "
                     "width=\"200\" height=\"150\" can_drag=\"yes\"/>\n\t<ERROR x=\"-1\" y=\"-1\" width=\"400\" "
                     "height=\"300\" can_drag=\"yes\"/>\n\t<FILE_SELECT x=\"-1\" y=\"-1\" width=\"-1\" "
                     "height=\"-1\" new_folder_too=\"no\" can_drag=\"yes\"/>\n\t<ABOUT x=\"-1\" y=\"-1\" "
                     "width=\"-1\" height=\"-1\" can_drag=\"yes\"/>\n\t<BACKGROUND path=\"\" filename=\"\" "
                     "speed=\"600\" width=\"-1\" height=\"-1\" start_offset_ms=\"0\"/>\n\t<SKIN path=\"\"/>\n"
                     "\t<LOG dest_path_from_inst_loc=\"$app/patch\" "
                     "system_dest_path_from_inst_loc=\"/patch\"/>\n\t<PATCH "
                     "dest_path_from_inst_loc=\"$app\" system_dest_path_from_inst_loc=\"\" "
                     "do_check=\"yes\"/>\n\t<CHECK_DESKTOP_SIZE width=\"-1\" height=\"-1\"/>\n\n"
                     "\t<INSTALLATION name=\"Full\" allow_system_paths=\"no\" default_path=\"\">\n\n" +
                     file("first") + file("last") + file("longer") + deleted + file("gone") + "\t\t-->\n" + deleted +
                     file("before") + "\t\t-->\n" + file("new") + file("after") +
                     "\n\t</INSTALLATION>\n\n\t<LANGUAGE name=\"English\">\n\n"
                     "\t\t<LANGUAGE_TITLE string=\"\"/>\n"),
            std::string::npos)
      << xml;
  const std::string tail =
      "\t\t<PATCH_MSG string=\"Two&#xA;lines\"/>\n\t\t<INSTALLATION name=\"Full\" string=\"\"/>\n\n"
      "\t\t<LICENCE path=\"\" filename=\"\"/>\n\t\t<README path=\"\" filename=\"\" lines=\"0\"/>\n"
      "\t\t<RELEASE_NOTES path=\"\" filename=\"\" lines=\"0\"/>\n\n\t</LANGUAGE>\n\n</INSTALLER>\n";
  EXPECT_EQ(xml.substr(xml.size() - std::min(xml.size(), tail.size())), tail);

  // The same build twice, from two folders: nothing changed. The second
  // package's path is as long as a path can be (2047 bytes).
  std::string deep(2047 - scratch.file("/installer.pkg").size(), 'c');
  for (size_t at = 200; at + 1 < deep.size(); at += 201) deep[at] = '/';
  std::filesystem::create_directories(std::filesystem::path(scratch.file(deep)).parent_path());
  const std::string copy = make_package(deep, older);
  const test_support::RunResult same = diff(old_pkg + "=" + copy);
  EXPECT_EQ(same.exit_code, 0);
  EXPECT_EQ(same.out, console(copy, ""));
  EXPECT_EQ(test_support::read_file(scratch.file("old/patch.xml")).find("<FILE "), std::string::npos);
  // One byte longer, the path reaches no package.
  ASSERT_EQ(rename(copy.c_str(), (copy + "x").c_str()), 0);
  EXPECT_EQ(diff(old_pkg + "=" + copy + "x").out,
            "Creating File Differences\n-------------------------\n\nFirst database (" + old_pkg +
                ") was loaded ok...\nFailed to load second database (" + copy + "x)\n");
}

// Every failure ends with its message and a non-zero status, and leaves no
// patch.xml behind, also when the head was already made.
TEST_F(PatchBuilder, FailuresAreReportedAndLeaveNoPatchDescription) {
  const std::string old_pkg = make_package("old", {{"a", "a"}});
  const std::string renamed = make_package("renamed", {{"a", "a"}}, "Other");
  const std::string twice = make_package("twice", {{"a", "a"}, {"a", "a"}});
  const std::string two_types = make_package("two_types", {{"a", "a"}}, "Full", 1);
  const std::string unpacked = make_package("unpacked", {{"a", "a", false}});
  ASSERT_TRUE(test_support::write_file(scratch.file("damaged.pkg"), "VORNPKG garbage"));
  // Not waited on for a writer: refused by its kind.
  const std::string fifo = scratch.file("fifo.pkg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct ROW {
    std::string argument, printed;
  } rows[] = {
      {old_pkg, "\nSecond file was not supplied\n"},
      {old_pkg + "=", "\nSecond file was not supplied\n"},
      {scratch.file("none.pkg") + "=" + old_pkg, "\nFailed to load first database (" + scratch.file("none.pkg") + ")\n"},
      {old_pkg + "=" + scratch.file("none.pkg"), "ok...\nFailed to load second database (" + scratch.file("none.pkg") + ")\n"},
      {old_pkg + "=" + scratch.file("damaged.pkg"),
       "ok...\nFailed to load second database (" + scratch.file("damaged.pkg") + ")\n"},
      {fifo + "=" + old_pkg, "\nFailed to load first database (" + fifo + " is a FIFO)\n"},
      {old_pkg + "=" + renamed,
       "(0)\n\tInstallation name changed - not supported by patching system\n"},
      {twice + "=" + old_pkg, "system\n\t\tFound same file twice! (files/a)\n"},
      {old_pkg + "=" + two_types, "ok...\nUnable to patch, differences are too big (install_sz differ)\n"},
      {old_pkg + "=" + unpacked, "system\n\t\tUnable to open file in db2 (p/a)\n"},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.argument);
    const test_support::RunResult result = diff(row.argument);
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.out.find(row.printed), std::string::npos) << result.out;
    // Nothing beside the package and its one file, half-written or whole.
    for (const char* folder : {"old", "twice"})
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.file(folder)),
                              std::filesystem::directory_iterator()),
                2);
  }
}

// Whatever stands at patch.xml (a pipe, a link) is replaced, never opened
// or written through; a folder reached through another user's link gets
// no patch.xml at all.
TEST_F(PatchBuilder, PatchXmlReplacesWhatStandsAtItsName) {
  const std::string old_pkg = make_package("old", {{"a", "a"}});
  const std::string new_pkg = make_package("new", {{"a", "b"}});
  const std::string patch = scratch.file("old/patch.xml"), victim = scratch.file("victim");
  ASSERT_EQ(symlink(scratch.file("old").c_str(), scratch.file("linked").c_str()), 0);
  ASSERT_EQ(lchown(scratch.file("linked").c_str(), 65534, 65534), 0);
  const struct {
    std::function<void()> plant;
    std::string first;  // the first package as the argument names it
    bool written;
  } rows[] = {
      {[&] { ASSERT_EQ(mkfifo(patch.c_str(), 0600), 0); }, old_pkg, true},
      {[&] { ASSERT_EQ(symlink(victim.c_str(), patch.c_str()), 0); }, old_pkg, true},
      {[] {}, scratch.file("linked/installer.pkg"), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    ASSERT_TRUE(test_support::write_file(victim, "precious"));
    unlink(patch.c_str());
    row.plant();
    const test_support::RunResult result =
        test_support::run_program({kProgram, "-d", row.first + "=" + new_pkg}, {"DISPLAY="}, nullptr, 20);
    EXPECT_EQ(result.exit_code == 0, row.written) << result.out;
    EXPECT_EQ(test_support::read_file(victim), "precious");
    struct stat st {};
    if (!row.written) {
      EXPECT_NE(result.out.find("Failed to open patch file in " + scratch.file("linked") + " (" +
                                scratch.file("linked") + ": unsafe link: it belongs to user 65534)\n"),
                std::string::npos)
          << result.out;
      EXPECT_NE(lstat(patch.c_str(), &st), 0);
      continue;
    }
    ASSERT_EQ(lstat(patch.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_NE(test_support::read_file(patch).find("src_name=\"a\""), std::string::npos);
  }
}

// Values full of the characters XML reserves: the document parses, and
// each value reads back as it was.
TEST_F(PatchBuilder, ReservedCharactersAreEscapedAndReadBack) {
  const char* const nasty = "a&b <c> \"d\" & 'e'";
  DATABASE older, newer;
  snprintf(older.application.app_string, sizeof older.application.app_string, "%s", nasty);
  // Every value of the head its own, so that each shows where it lands.
  older.show_frame_rate = 1;
  older.show_filenames = 0;
  older.file_cache_sz = 4096;
  set_field_text(older.default_language_name, "Deutsch");
  set_field_text(older.application.version, "1.2");
  older.application.build_number = 34;
  older.window = {640, 480, 1, 0};
  older.dialog = {{1, 2, 3, 4, 0}, 5};
  older.exit = {6, 7, 8, 9, 1};
  older.error = {10, 11, 12, 13, 0};
  older.file_select = {{14, 15, 16, 17, 0}, 1};
  older.about = {18, 19, 20, 21, 1};
  older.background = {"bg", "sky.png", 22, 23, 24, 25};
  set_field_text(newer.skin_path, "$APP/skin");
  set_field_text(older.log.dest_path_from_inst_loc, "$app/log");
  set_field_text(older.log.system_dest_path_from_inst_loc, "$SYSDATA/log");
  older.check_desktop_size = {800, 600};
  DATABASE_INSTALLATION& type = older.installations.emplace_back();
  snprintf(type.name, sizeof type.name, "%s", nasty);
  type.allow_system_paths = 1;
  set_field_text(type.default_path, "$HOME/app");
  DATABASE_FILE file;
  snprintf(file.src_name, sizeof file.src_name, "<&>.txt");
  file.platform.set("linux:\"x\"");
  set_field_text(file.dest_name, "out.txt");
  set_field_text(file.src_path_from_xml, "src");
  set_field_text(file.dest_path_from_inst_loc, "$app/doc");
  set_field_text(file.system_dest_path_from_inst_loc, "$SYSDATA/doc");
  file.stamp = 1;
  DATABASE_LANGUAGE& language = older.languages.emplace_back();
  snprintf(language.name, sizeof language.name, "En\"glish");
  snprintf(language.texts[QUIT_MSG], DATABASE_TEXT_SIZE, "Quit <now>?\n\"Yes\" & go");
  language.installation_strings.resize(1);
  snprintf(language.installation_strings[0].data(), DATABASE_TEXT_SIZE, "%s", nasty);
  set_field_text(language.texts[LANGUAGE_TITLE], "Sprache");
  set_field_text(language.texts[PATCH_MSG], "Flicken");
  language.licence = {"lic", "licence.txt", 0};
  language.readme = {"doc", "readme.txt", 26};
  language.release_notes = {"doc", "notes.txt", 27};
  DATABASE_INSTALLER_CLIENT& client = newer.installer_clients.emplace_back();
  ASSERT_TRUE(client.path.set_absolute((std::string(work.path) + "/clients").c_str()));
  client.filename.set("setup&64");
  client.destname.set("setup64");
  client.platform.set("linux");
  client.compress_data = 1;
  // A client folder whose path cannot be written from the newer folder's, nor from a drive's root where
  // the scratch folder lies on a mount of its own: no path rather than a wrong one.
  ASSERT_TRUE(newer.installer_clients.emplace_back().path.set_absolute(("/" + std::string(2046, 'c')).c_str()));

  PATCH_XML xml;
  xml.head(older, newer, work);
  xml.begin_installation(type);
  xml.changed_file(file);
  xml.deleted_file(file);
  xml.end_installation();
  xml.finish(older);
  const std::string path = scratch.file("patch.xml");
  ASSERT_TRUE(test_support::write_file(path, xml.text()));
  // The whole document, every value in its place.
  EXPECT_EQ(xml.text(), test_support::read_file(TEST_SOURCE_DIR "/references/installer/patch.xml"));
  EXPECT_EQ(test_support::run_program({kXmllint, "--noout", path}).exit_code, 0);
  struct ROW {
    const char* query;
    std::string value;
  } rows[] = {
      {"//APPLICATION/@app_string", nasty},
      {"//FILE/@src_name", "<&>.txt"},
      {"//FILE/@platform", "linux:\"x\""},
      {"//LANGUAGE/@name", "En\"glish"},
      {"//QUIT_MSG/@string", "Quit <now>?\n\"Yes\" & go"},
      {"//LANGUAGE/INSTALLATION/@string", nasty},
      {"//INSTALLER_CLIENT/@filename", "setup&64"},
      {"//INSTALLER_CLIENT/@path", "$HERE/clients/"},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.query);
    const test_support::RunResult read = test_support::run_program(
        {kXmllint, "--xpath", std::string("string(") + row.query + ")", path});
    EXPECT_EQ(read.exit_code, 0);
    EXPECT_EQ(read.out, row.value + "\n");
  }
}

}  // namespace
