// The builder as a preparer runs it: a folder of files of every kind and a
// UTF-8 description go in; what comes out is an installer whose -a run
// recreates the folder, whose stored texts are the system's 8-bit text,
// or a refusal that names what could not be packed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config_file.h"
#include "data_file.h"
#include "database.h"
#include "default_dialog_styles.h"
#include "file_services.h"
#include "font.h"
#include "image_test_support.h"
#include "package.h"
#include "package_data_file.h"
#include "payload.h"
#include "picture_compare.h"
#include "skin_frame.h"
#include "string_utils.h"
#include "test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_style_set.h"

namespace {

namespace fs = std::filesystem;

const std::string kTools = TEST_BIN_DIR "/../tools/installer/";

// The demo's English texts ("KEY = text" lines), every one the wizard
// shows: a language with them builds without a warning.
std::string demo_english_texts() {
  std::istringstream demo(test_support::read_file(TEST_SOURCE_DIR "/../demo/installer.txt"));
  std::string out;
  bool english = false;
  for (std::string line; std::getline(demo, line);) {
    if (line.rfind("language = ", 0) == 0) english = line == "language = English";
    else if (english && !line.empty() && line[0] >= 'A' && line[0] <= 'Z') out += line + "\n";
  }
  return out;
}

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
                                    (extra.find("language =") == std::string::npos
                                         ? "language = English\n" + demo_english_texts()
                                         : "") +
                                    // Room for the buttons' texts, unless the case is about sizes.
                                    (extra.find("window =") == std::string::npos && extra.find("dialog =") == std::string::npos
                                         ? "window = 480 440\ndialog = 480 440\n"
                                         : "");
    return run_builder(description);
  }
  // Runs the builder on the description as it is.
  test_support::RunResult run_builder(const std::string& description) {
    EXPECT_TRUE(test_support::write_file(scratch.file("source/installer.txt"), description));
    return test_support::run_program(
        {kTools + "make_installer", scratch.file("source/installer.txt"), kTools + "setup", program()});
  }

  // The built installer's data, as the installer reads it; installer.pkg
  // stays in scratch's "unpacked". The observer sees the payload's header.
  bool read_database(DATABASE& data, PAYLOAD_OBSERVER* header = nullptr) {
    FOLDER here, unpacked;
    const PAYLOAD_INFO payload = payload_offset_of(program().c_str());
    mkdir(scratch.file("unpacked").c_str(), 0700);
    if (!payload.present || !here.set_absolute(scratch.path().c_str()) ||
        !unpacked.set_absolute(scratch.file("unpacked").c_str()) ||
        !unpack_payload_file(here, "setup", payload.offset, unpacked, "installer.pkg", header))
      return false;
    PACKAGE package(unpacked, "installer.pkg", false, -1, false, true);
    DATA_FILE* stored = package.is_open() ? package.open_file("database.bin", 0, 255) : nullptr;
    const bool read = stored && data.get_from_data_device(stored);
    if (stored) FOLDER::close_data_file(stored);
    return read;
  }

  test_support::ScratchDir scratch;
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;  // reading the data replaces the toolkit's look
};

// What the installer shows while it unpacks: the splash record and the
// size of the pieces.
struct SPLASH_SEEN : PAYLOAD_OBSERVER {
  void header_read(PAYLOAD_SPLASH* splash, uint32_t chunk_size) override {
    chunk = chunk_size;
    if (!splash) return;
    seen = {splash->image.width, splash->image.height, splash->bar_x,     splash->bar_y,
            splash->bar_width,   splash->bar_height,   static_cast<int>(splash->bar_style.highlight_colour & 0xFFFFFF)};
    title = splash->title.get_text();
  }
  uint32_t chunk = 0;
  std::vector<int> seen;  // picture size, bar place and size, bar colour
  std::string title;
};

// A stored text as a reference line shows it, quoted: printable ASCII as
// it is, every other byte as \xHH.
std::string quoted(const char* text) {
  std::string out = "\"";
  for (const char* c = text ? text : ""; *c; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    char shown[8];
    snprintf(shown, sizeof shown, byte >= 0x20 && byte < 0x7F && byte != '\\' ? "%c" : "\\x%02X", byte);
    out += shown;
  }
  return out + "\"";
}

// The data a built installer carries, a record a line, for comparing whole:
// the application, window and dialogs, each installation with its files
// and links, each language with its text pages, its names for the
// installations and every text it sets, then the payload's chunk size and
// splash. Paths below the scratch folder begin "<scratch>".
std::string stored_data(const DATABASE& data, const SPLASH_SEEN& splash, const std::string& scratch) {
  std::ostringstream out;
  const auto box = [](const DATABASE_BOX& b) { return format_text("%dx%d at %d,%d", b.width, b.height, b.x, b.y); };
  // A stamp the description does not give is the build's time.
  const bool now = std::abs(static_cast<long>(time(nullptr) - data.time_stamp)) < 600;
  out << "app " << quoted(data.application.app_string) << " version " << quoted(data.application.version)
      << " made " << (now ? "now" : std::to_string(data.time_stamp)) << " log in "
      << quoted(data.log.dest_path_from_inst_loc) << "\nwindow " << data.window.width << "x" << data.window.height
      << " dialog " << box(data.dialog) << " quit question " << box(data.exit) << " smallest screen "
      << data.check_desktop_size.width << "x" << data.check_desktop_size.height << "\n";
  for (const DATABASE_INSTALLATION& each : data.installations) {
    out << "installation " << quoted(each.name) << " in " << quoted(each.default_path) << "\n";
    for (const DATABASE_FILE& f : each.files)
      out << "  file " << quoted(f.src_name) << " from " << quoted(f.src_path_from_xml) << " to "
          << quoted(f.dest_path_from_inst_loc) << " as " << quoted(f.dest_name) << " packed " << quoted(f.packed_name)
          << " overwrite " << int{f.overwrite} << " switch_user " << int{f.switch_user} << " platform "
          << quoted(f.platform.get_text()) << "\n";
    for (const DATABASE_SHORTCUT& s : each.shortcuts)
      out << "  link kind " << int{s.kind} << " " << quoted(s.name) << " to " << quoted(s.target) << " in "
          << quoted(s.target_path_from_inst_loc) << " menu section " << quoted(s.menu_section) << "\n";
  }
  for (const DATABASE_LANGUAGE& l : data.languages) {
    out << "language " << quoted(l.name) << " licence " << quoted(l.licence.filename) << " readme "
        << quoted(l.readme.filename) << " " << l.readme.lines << " rows release notes "
        << quoted(l.release_notes.filename) << " " << l.release_notes.lines << " rows\n";
    for (const DATABASE_TEXT& name : l.installation_strings) out << "  named " << quoted(name.data()) << "\n";
    for (int k = 0; k < LANGUAGE_KEY_COUNT; ++k)
      if (l.texts[k][0]) out << "  " << LANGUAGE_KEY_NAMES[k] << " " << quoted(l.texts[k]) << "\n";
  }
  out << "chunks of " << splash.chunk << " bytes, ";
  if (splash.seen.size() == 7)
    out << "splash " << splash.seen[0] << "x" << splash.seen[1] << " " << quoted(splash.title.c_str()) << " bar "
        << splash.seen[4] << "x" << splash.seen[5] << " at " << splash.seen[2] << "," << splash.seen[3]
        << " colour " << std::hex << splash.seen[6] << std::dec << "\n";
  else
    out << "no splash\n";
  std::string text = out.str();
  for (size_t at; (at = text.find(scratch)) != std::string::npos;) text.replace(at, scratch.size(), "<scratch>");
  return text;
}

// What a tree holds, links followed: each path below it with its
// permission bits and bytes, a folder's bits and "/".
std::map<std::string, std::string> contents(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(root, fs::directory_options::follow_directory_symlink)) {
    const std::string relative = entry.path().lexically_relative(root).string();
    if (relative == "install_log.txt") continue;
    struct stat st {};
    EXPECT_EQ(stat(entry.path().c_str(), &st), 0) << relative;
    char mode[16];
    snprintf(mode, sizeof mode, "%04o ", static_cast<unsigned>(st.st_mode & 07777));
    out[relative] = mode + (entry.is_directory() ? "/" : test_support::read_file(entry.path()));
  }
  return out;
}

// Files and folders keep their permission bits, as from a tar archive: a
// secret stays the owner's, a text stays unexecutable, a script gains no
// set-id bit, a folder no one may write to is filled. What others than
// the owner may write to is named.
TEST_F(MakeInstaller, EveryKindOfEntryInstallsAsItWas) {
  put("run.sh", "#!/bin/sh\necho run\n", 0755);
  put(".hidden", "not shown by ls");
  put(".config/settings", "colour = blue\n", 0600);
  put("bin/private-tool", "#!/bin/sh\n", 0700);
  put("read-only.txt", "kept", 0444);
  put("bin/set-id-tool", "#!/bin/sh\n", 06755);
  put("Gr\xC3\xBC\xC3\x9F" "e \xC3\x9F.txt", "non-ASCII name");
  put("\xC3\xBC-folder/\xE2\x82\xAC note", "a euro note", 0640);
  // Names the installer's own entries have.
  put("database.bin", "the tree's own database.bin");
  put("licence-0", "the tree's own licence");
  put("DejaVuSans.ttf", "not a font");
  for (const char* folder : {"empty", "deep/er/empty", "empty-private"})
    fs::create_directories(files() + "/" + folder);
  fs::create_symlink("run.sh", files() + "/alias.sh");
  fs::create_symlink("\xC3\xBC-folder", files() + "/folder-link");
  put("private/key", "secret", 0600);
  put("locked/a", "a");
  put("locked/b", "b");
  put("shared/notes.txt", "anyone's", 0666);
  for (const auto& [folder, bits] :
       {std::pair("private", 0700), {"locked", 0500}, {"shared", 0777}, {"empty-private", 0750}})
    ASSERT_EQ(chmod((files() + "/" + folder).c_str(), bits), 0);

  // Other options on a file others may write to are no reason to refuse it.
  const test_support::RunResult built = build("links = copy\nfile = shared/notes.txt | overwrite 0\nlanguage = Fran\xC3\xA7" "ais\n" +
                                              demo_english_texts());
  ASSERT_EQ(built.exit_code, 0) << built.err;
  const std::string warning = " may be written by others than its owner, and keeps those bits when installed as root\n";
  // What the two links added: run.sh and the one file of the folder.
  EXPECT_EQ(built.err, "make_installer: warning: shared (0777)" + warning +
                       "make_installer: warning: shared/notes.txt (0666)" + warning +
                       "make_installer: links = copy: 2 symbolic links stored as copies of what they point to: "
                       "2 files, " + std::to_string(std::string("#!/bin/sh\necho run\na euro note").size()) +
                       " bytes\n");
  const test_support::RunResult run = test_support::run_program(
      {program(), "-a"}, {"DISPLAY=", "HOME=" + scratch.file("home")}, nullptr, 120);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  // The terminal gets the language's name in UTF-8, converted once.
  EXPECT_NE(run.out.find("\nLanguage: Fran\xC3\xA7" "ais\n"), std::string::npos) << run.out;
  // Each file, empty folder and copied link as a record of its own, each
  // folder's bits beside them.
  DATABASE data;
  ASSERT_TRUE(read_database(data));
  EXPECT_TRUE(test_support::text_matches_reference("installer", "every_kind_data",
                                                   stored_data(data, SPLASH_SEEN(), scratch.path())));

  // Links come out as copies of what they point to; everything else as it
  // was, names byte for byte, bits for bits. Set-id bits come only from
  // "file = <name> | switch_user".
  std::map<std::string, std::string> expected = contents(files());
  expected["bin/set-id-tool"].replace(0, 4, "0755");
  EXPECT_EQ(contents(target()), expected);
  EXPECT_EQ(contents(target())["run.sh"].substr(0, 5), "0755 ");
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
      {"links = copy\n", {{"pipe", ""}, {"tap", "pipe"}},  // no target: a named pipe
       {"pipe is neither a file nor a folder (a device, pipe or socket)", "tap is a symbolic link to neither a file nor a folder"}},
  };
  put("a.txt", "a");
  fs::create_directories(files() + "/sub");
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.extra + row.links[0].first);
    for (const auto& [name, to] : row.links)
      to.empty() ? void(mkfifo((files() + "/" + name).c_str(), 0600)) : fs::create_symlink(to, files() + "/" + name);
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
      "language = English\nFORWARD = Next\nreadme = readme.txt\nQUIT = " + std::string(255, 'q') + "\n"
      "installation_name = Standard | Standard (recommended)\n"
      "language = Deutsch (\xC3\x96sterreich)\nPREVIOUS = Zur\xC3\xBC" "ck\nFORWARD = Weiter \xE2\x82\xAC\n"
      "installation_name = Gro\xC3\x9F | Gro\xC3\x9F" "e Installation\nrelease_notes = notes.txt\n");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  DATABASE data;
  ASSERT_TRUE(read_database(data));
  // QUIT as long as a stored text may be; every language names every installation; text
  // pages hold rows for the whole file, wrapped lines included (41 for 40 lines and the empty
  // one after them, 11 for 300 bytes in 10 rows and the empty line).
  EXPECT_TRUE(test_support::text_matches_reference("installer", "shown_texts_data",
                                                   stored_data(data, SPLASH_SEEN(), scratch.path())));
}

TEST_F(MakeInstaller, DescriptionsThatCannotBeReadAreRefusedWithTheirLine) {
  put("a.txt", "a");
  put("open.txt", "o", 0664);
  std::string euros;
  for (int i = 0; i < 12; ++i) euros += "\xE2\x82\xAC";
  // More files than an installation holds, with a.txt of "files = files".
  const std::string many = scratch.file("source/many");
  ASSERT_EQ(mkdir(many.c_str(), 0755), 0);
  for (int i = 0; i < DATABASE::MAX_COUNT; ++i)
    ASSERT_TRUE(test_support::write_file(many + "/" + std::to_string(i), ""));
  // One installation more than the installer holds: the one on line 32770.
  std::string installations;
  for (int i = 0; i < DATABASE::MAX_COUNT; ++i) installations += "installation = I | $ROOT0/i\n";
  // A folder whose real path is longer than the installer stores.
  std::string deep = scratch.file("source");
  for (int i = 0; i < 9; ++i) fs::create_directories(deep += "/" + std::string(250, 'd'));
  // What a refusal quotes of a long value: its first 60 characters.
  const std::string sixty_ks = std::string(60, 'k') + "\xE2\x80\xA6";
  // The common endings of refusals.
  const std::string help = " (make_installer --help lists the keys)";
  const std::string in_language = " belongs to a language: it comes after a \"language = <name>\" line";
  const std::string variable =
      " (it begins with a folder variable such as $ROOT0 or $ROOT1; make_installer --help lists them)";
  const std::string file_options = " (switch_user, overwrite 0|1|2 or platform <list>)";
  const std::string stored = " the installer stores for it";
  // The whole refusal, after "make_installer: ".
  struct ROW {
    std::string extra;
    std::string said;
  } rows[] = {
      {"language = Deutsch\nPREVIOUS = Zur\xFC" "ck\n", "line 5: not UTF-8 text"},
      {"version = 1\n\xC3(\n", "line 5: not UTF-8 text"},
      {"# language = none\n", scratch.file("source/installer.txt") +
                                   ": an installation and a language are needed (\"installation =\" and \"language =\" lines)"},
      // 230 bytes of UTF-8, 256 of system text: one more than a stored text holds.
      {"language = English\nQUIT = " + std::string(194, 'q') + euros + "\n",
       "line 5: the text takes more than the 255 bytes a stored text may have"},
      {"language = English\ninstallation_name = Other | Something\n", "line 5: no installation Other"},
      // A NUL would end the stored text where it stands.
      {std::string("version = 1.0\0beta\n", 19), "line 4: a NUL byte at byte 14 of the line; a description is text"},
      {"readme = readme.txt\n", "line 4: readme" + in_language},
      {"release_notes = notes.txt\n", "line 4: release_notes" + in_language},
      {"licence = licence.txt\n", "line 4: licence" + in_language},
      {"installation_name = Standard | All\n", "line 4: installation_name" + in_language},
      {"LANGUAGE_TITLE = English\n", "line 4: LANGUAGE_TITLE" + in_language},
      {"colour = blue\n", "line 4: not understood: colour" + help},
      {"window 640 440\n", "line 4: no '='"},
      // Every number within what its field and the installer can use.
      {"chunk_size = 4294971392\n",
       "line 4: chunk_size: the size must be a whole number from 1 to 52428800, not \"4294971392\""},
      {"chunk_size = lots\n", "line 4: chunk_size: the size must be a whole number from 1 to 52428800, not \"lots\""},
      {"chunk_size = 0\n", "line 4: chunk_size: the size must be a whole number from 1 to 52428800, not \"0\""},
      {"chunk_size = 52428801\n",
       "line 4: chunk_size: the size must be a whole number from 1 to 52428800, not \"52428801\""},
      {"chunk_size = 4096 bytes\n", "line 4: expected chunk_size = <bytes>" + help},
      {"window = 99999 -5\n", "line 4: window: the width must be a whole number from 1 to 8192, not \"99999\""},
      {"window = 640 -5\n", "line 4: window: the height must be a whole number from 1 to 8192, not \"-5\""},
      {"window = 32768 200\n", "line 4: window: the width must be a whole number from 1 to 8192, not \"32768\""},
      {"window = 0 200\n", "line 4: window: the width must be a whole number from 1 to 8192, not \"0\""},
      {"window = 640\n", "line 4: expected window = <width> <height>" + help},
      {"window = 640 480 1\n", "line 4: expected window = <width> <height>" + help},
      {"dialog = 200 150 -2 0\n", "line 4: dialog: the x must be a whole number from -1 to 8192, not \"-2\""},
      {"dialog = 200 150 0 0x10\n", "line 4: dialog: the y must be a whole number from -1 to 8192, not \"0x10\""},
      {"dialog = 200 150 0 -2\n", "line 4: dialog: the y must be a whole number from -1 to 8192, not \"-2\""},
      {"dialog = 0 150\n", "line 4: dialog: the width must be a whole number from 1 to 8192, not \"0\""},
      {"dialog = 200 0\n", "line 4: dialog: the height must be a whole number from 1 to 8192, not \"0\""},
      {"dialog = 200 150 0\n", "line 4: expected dialog = <width> <height> [<x> <y>]" + help},
      {"dialog = 301 150\n", "line 4: the dialog (301 x 150 at 0 0) does not fit in the window (300 x 200)"},
      {"dialog = 300 201 -1 -1\n", "line 4: the dialog (300 x 201 at -1 -1) does not fit in the window (300 x 200)"},
      {"window = 640 440\ndialog = 480 440 161 0\n",
       "line 5: the dialog (480 x 440 at 161 0) does not fit in the window (640 x 440)"},
      {"dialog = 480 440 0 1\nwindow = 480 440\n",
       "line 4: the dialog (480 x 440 at 0 1) does not fit in the window (480 x 440)"},
      {"window = 100 100\n", "line 4: the dialog (200 x 150 at 0 0) does not fit in the window (100 x 100)"},
      {"min_screen = 0 768\n", "line 4: min_screen: the width must be a whole number from 1 to 32767, not \"0\""},
      {"time_stamp = -1\n", "line 4: time_stamp: the time must be a whole number from 0 to 2147483647, not \"-1\""},
      {"time_stamp = 2147483648\n",
       "line 4: time_stamp: the time must be a whole number from 0 to 2147483647, not \"2147483648\""},
      {"link = Tools | a.txt | 4\n", "line 4: link: the kind must be a whole number from 1 to 3, not \"4\""},
      {"link = Tools | a.txt\n", "line 4: expected link = <title> | <target file> | <kind> [| <menu section>]" + help},
      {"file = a.txt | overwrite 3\n", "line 4: file: the overwrite rule must be a whole number from 0 to 2, not \"3\""},
      {"file = a.txt | overwrite\n", "line 4: expected file = <name below a files folder> | <option> ..." + help},
      {"file = a.txt | overwrite 1 2\n", "line 4: expected file = <name below a files folder> | <option> ..." + help},
      {"file = a.txt | switch_user now\n", "line 4: file a.txt: not understood: switch_user now" + file_options},
      {"file = b.txt | switch_user\n", "line 4: file b.txt: no such file below a files folder"},
      {"file = open.txt | switch_user\n",
       "line 4: file open.txt: switch_user on a file that others than its owner may write to (0664)"},
      {"compressed = yes\n", "line 4: expected compressed = 0 | 1" + help},
      {"links = follow\n", "line 4: expected links = refuse | copy" + help},
      {"splash = * | Tools | 0 0 0 10\n",
       "line 4: splash: the bar width must be a whole number from 1 to 32767, not \"0\""},
      {"splash = * | Tools | 0 0 10 65546\n",
       "line 4: splash: the bar height must be a whole number from 1 to 32767, not \"65546\""},
      {"splash = * | Tools | 0 0 10 10 10\n",
       "line 4: expected splash = <picture> | <title> | <bar x> <bar y> <bar width> <bar height>" + help},
      {"splash = * | Tools | 1 0 353 10\n",
       "line 4: splash: the bar (353 x 10 at 1 0) does not fit in the picture (353 x 143)"},
      {"splash = * | Tools | 0 1 353 143\n",
       "line 4: splash: the bar (353 x 143 at 0 1) does not fit in the picture (353 x 143)"},
      // What the installer would refuse on every machine.
      {"installation = Other | /tmp/x\n",
       "line 4: installation Other: the folder \"/tmp/x\": not a folder path the installer can use" + variable},
      {"installation = Other | $HOME/x\n",
       "line 4: installation Other: the folder \"$HOME/x\": unknown path variable" + variable},
      {"installation = Other | $APP/../../escape\n",
       "line 4: installation Other: the folder \"$APP/../../escape\": the path climbs out of its folder with \"..\"" +
           variable},
      {"window = 8193 600\n", "line 4: window: the width must be a whole number from 1 to 8192, not \"8193\""},
      {"window = 32767 32767\n", "line 4: window: the width must be a whole number from 1 to 8192, not \"32767\""},
      {"dialog = 200 8193\n", "line 4: dialog: the height must be a whole number from 1 to 8192, not \"8193\""},
      {installations, "line 32770: one installation more than the 32767 installations the installer can hold"},
      {"files = many\n", "line 4: files: " + many + " holds more than 32765 files and empty folders: an "
                          "installation holds at most 32767 (2 come from the files lines above)"},
      // Long values come back shortened, with their line and key.
      {std::string(10000000, 'k') + " = 1\n", "line 4: not understood: " + sixty_ks + help},
      {"window = " + std::string(100, '9') + " 1\n", "line 4: window: the width must be a whole number from 1 to "
                                                      "8192, not \"" + std::string(60, '9') + "\xE2\x80\xA6\""},
      {"app = " + std::string(300, 'k') + "\n",
       "line 4: app: \"" + sixty_ks + "\" is longer than the 255 bytes" + stored},
      {"installation = Other | $ROOT0/" + std::string(300, 'k') + "\n",
       "line 4: installation: \"$ROOT0/" + std::string(53, 'k') + "\xE2\x80\xA6\" is longer than the 255 bytes" +
           stored},
      {"file = a.txt | switch_user\x1b[2J\n", "line 4: file a.txt: not understood: switch_user\\x1b[2J" + file_options},
      // A missing folder: said once, with its reason.
      {"skin = noskin\n", "line 4: skin: cannot load the skin in " + scratch.file("source/noskin") +
                               ": No such file or directory"},
      {"skin = files/a.txt\n", "line 4: skin: cannot load the skin in " + files() + "/a.txt: not a folder"},
      {"language = English\nreadme = " + std::string(300, 'r') + "\n",
       "line 5: cannot read " + std::string(60, 'r') + "\xE2\x80\xA6: File name too long"},
      {"splash = nothing.png | Tools | 0 0 1 1\n", "line 4: splash: cannot load the picture nothing.png"},
      {"files = nofolder\n", "line 4: files: " + scratch.file("source/nofolder") + ": No such file or directory"},
      {"files = " + deep + "\n", "line 4: files: " + deep.substr(0, 60) + "\xE2\x80\xA6: its path is too long"},
  };
  // Said of open.txt wherever the files folder is walked, as a warning.
  const std::string open_warning = "make_installer: warning: open.txt (0664) may be written by others than its "
                                   "owner, and keeps those bits when installed as root\n";
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.said.substr(0, 200));
    const auto started = std::chrono::steady_clock::now();
    const test_support::RunResult built = build(row.extra);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(built.exit_code, 1);
    // One line, whatever the description held.
    const bool warned = built.err.rfind(open_warning, 0) == 0;
    EXPECT_EQ(built.err.substr(warned ? open_warning.size() : 0), "make_installer: " + row.said + "\n");
    EXPECT_FALSE(test_support::file_exists(program()));
  }
  // A link before any installation has none to belong to.
  EXPECT_EQ(run_builder("link = Tools | a.txt | 3\n").err,
            "make_installer: line 1: a link belongs to the installation above it, and there is none yet\n");
}

// A button text that the wizard's row cannot show whole in the
// description's look is named with its line (the installer shows it cut);
// the build goes on. Texts that fit are not named.
TEST_F(MakeInstaller, ButtonTextsTooWideForTheirButtonsAreNamedWithTheirLine) {
  put("a.txt", "a");
  const std::string seventy = "Weiter zur n\xC3\xA4" "chsten Seite, auf der die Einrichtung jetzt beginnen wird";
  const std::string wide = "window = 640 440\ndialog = 480 440\n";
  // What is said of a cut text: its line and key, the pixels it needs, the
  // dialog's width and the pixels its button gets.
  const auto cut = [](const char* line_and_key, const char* needs, const char* dialog, const char* gets) {
    return std::string("make_installer: line ") + line_and_key +
           ": warning: the text does not fit its button (it needs " + needs + " pixels, the button row of a " +
           dialog + " pixel wide dialog leaves it " + gets + "): the installer shows it cut, ending in an ellipsis\n";
  };
  const struct {
    std::string extra;
    std::string said;  // "" when no text is named
  } rows[] = {
      {wide + "language = Deutsch\nFORWARD = Weiter\nQUIT = Beenden\nPREVIOUS = Zur\xC3\xBC" "ck\n", ""},
      {wide + "language = Deutsch\nQUIT = Beenden\nFORWARD = " + seventy + "\n",
       cut("8: FORWARD", "744", "480", "350")},
      {"dialog = 200 150\nlanguage = English\nAGREE = I agree to every word of the licence\n",
       cut("6: AGREE", "385", "200", "162")},
      {wide + "language = English\nlanguage = Deutsch\nFINISH = " + seventy + "\n",
       cut("8: FINISH", "744", "480", "442")},
      {wide + "language = Deutsch\nQUIT = " + seventy + "\n", cut("7: QUIT", "744", "480", "442")},
      {"dialog = 40 150\nlanguage = English\n", ""},  // empty texts have nothing to cut
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.extra);
    const test_support::RunResult built = build(row.extra);
    EXPECT_EQ(built.exit_code, 0) << built.err;
    // Less the warnings about empty texts.
    std::string said;
    std::istringstream lines(built.err);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("make_installer: warning: ", 0) != 0) said += line + "\n";
    EXPECT_EQ(said, row.said);
  }
}

// Without arguments the builder says how it is called and where its keys
// are; --help lists every key and text with an example, and the examples
// together are a description it takes.
TEST_F(MakeInstaller, HelpListsEveryKeyWithAnExampleThatBuilds) {
  const test_support::RunResult bare = test_support::run_program({kTools + "make_installer"});
  EXPECT_EQ(bare.exit_code, 2);
  EXPECT_EQ(bare.err, "usage: make_installer <description> <bare installer> <output>\n"
                      "make_installer --help lists the description's keys.\n");
  const test_support::RunResult stray = test_support::run_program({kTools + "make_installer", "--hepl"});
  EXPECT_EQ(stray.exit_code, 2);
  EXPECT_EQ(stray.err, bare.err);
  const test_support::RunResult help = test_support::run_program({kTools + "make_installer", "--help"});
  ASSERT_EQ(help.exit_code, 0) << help.err;
  EXPECT_EQ(help.out.rfind("usage: make_installer <description> <bare installer> <output>\n", 0), 0u);
  std::string description = "\xEF\xBB\xBF\n";  // a byte-order mark is passed over
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t example = line.find("e.g. ");
    if (line.rfind("      e.g. ", 0) == 0) {
      description += line.substr(11) + "\n";
    } else if (line.rfind("    ", 0) == 0 && line[4] != ' ' && example != std::string::npos) {
      // "    KEY: where it is shown (e.g. "text")"
      description += line.substr(4, line.find(':') - 4) + " = " +
                     line.substr(example + 6, line.size() - example - 8) + "\n";
    }
  }
  for (const char* key : {"app", "version", "window", "dialog", "min_screen", "installation", "files", "links",
                          "file", "time_stamp", "link", "skin", "splash", "chunk_size", "compressed", "language",
                          "licence", "readme", "release_notes", "installation_name"})
    EXPECT_NE(description.find(std::string("\n") + key + " = "), std::string::npos) << key;
  for (const char* key : LANGUAGE_KEY_NAMES)
    EXPECT_NE(description.find(std::string("\n") + key + " = "), std::string::npos) << key;
  for (const char* variable : {"$ROOT0 ", "$ROOT1 ", "$USERAPP ", "$APP "})
    EXPECT_NE(help.out.find(variable), std::string::npos) << variable;

  // What the examples name.
  put("notes.txt", "notes");
  put("bin/notes", "#!/bin/sh\n", 0755);
  for (const char* text : {"licence-en.txt", "readme-en.txt", "release_notes-en.txt"})
    ASSERT_TRUE(test_support::write_file(scratch.file("source/") + text, "text\n"));
  ASSERT_EQ(mkdir(scratch.file("source/skin").c_str(), 0755), 0);
  const test_support::RunResult built = run_builder(description);
  ASSERT_EQ(built.exit_code, 0) << built.err << description;
  DATABASE data;
  SPLASH_SEEN splash;
  ASSERT_TRUE(read_database(data, &splash));
  EXPECT_TRUE(test_support::text_matches_reference("installer", "help_example_data",
                                                   stored_data(data, splash, scratch.path())));
}

// The demo's English texts without those of the keys given.
std::string texts_without(const std::set<std::string>& left_out) {
  std::istringstream all(demo_english_texts());
  std::string out;
  for (std::string line; std::getline(all, line);)
    if (!left_out.count(line.substr(0, line.find(' ')))) out += line + "\n";
  return out;
}

// A text the wizard will show, left empty, is named with its language's
// line (a warning; the build goes on): the titles, questions and buttons
// of what the description calls up. Tooltips, the folder browser's words
// (it has its own) and what this builder never makes are not.
TEST_F(MakeInstaller, EmptyTextsTheWizardShowsAreNamed) {
  put("a.txt", "a");
  const std::set<std::string> left_out = {"FORWARD_HINT",    "AGREE",      "README_TITLE",
                                          "INSTALL_TYPE_TITLE", "SELECT_LANGUAGE", "CHECK_DESKTOP_FAILED",
                                          "SELECT_OPTIONS_MENU_SHORTCUT", "MY_COMPUTER", "PATCH_MSG"};
  const std::string everything_called_up =
      "installation = Other | $ROOT0/o\nlink = N | a.txt | 3 | Menu\nmin_screen = 1 1\n"
      "language = English\nlicence = files/a.txt\nreadme = files/a.txt\n";
  struct ROW {
    std::string extra;
    std::set<std::string> warned;  // "line <n>: language <name> leaves <KEY>"
  } rows[] = {
      {"language = English\n" + texts_without(left_out), {}},
      {everything_called_up + texts_without(left_out),
       {"line 7: language English leaves AGREE", "line 7: language English leaves README_TITLE",
        "line 7: language English leaves INSTALL_TYPE_TITLE", "line 7: language English leaves CHECK_DESKTOP_FAILED",
        "line 7: language English leaves SELECT_OPTIONS_MENU_SHORTCUT"}},
      {"language = English\n" + texts_without({"SELECT_LANGUAGE"}) + "language = Fran\xC3\xA7" "ais\n" +
           texts_without({"LANGUAGE_TITLE", "QUIT_MSG"}),
       {"line 4: language English leaves SELECT_LANGUAGE", "line 65: language Fran\xC3\xA7" "ais leaves LANGUAGE_TITLE",
        "line 65: language Fran\xC3\xA7" "ais leaves QUIT_MSG"}},
  };
  for (const ROW& row : rows) {
    const test_support::RunResult built = build(row.extra);
    EXPECT_EQ(built.exit_code, 0) << built.err;
    std::set<std::string> warned;
    std::istringstream lines(built.err);
    for (std::string line; std::getline(lines, line);) {
      ASSERT_EQ(line.rfind("make_installer: warning: line ", 0), 0u) << line;
      EXPECT_NE(line.find(" empty ("), std::string::npos) << line;
      warned.insert(line.substr(25, line.find(" empty (") - 25));
    }
    EXPECT_EQ(warned, row.warned);
  }
  // A language with no texts at all: every title, question and button of
  // the plainest wizard, each by its key.
  const test_support::RunResult bare = build("language = English\n");
  EXPECT_EQ(bare.exit_code, 0);
  for (const char* key : {"INSTALLER_TITLE", "QUIT_TITLE", "QUIT_MSG", "QUIT_YES", "QUIT_NO", "PATH_ERROR_TITLE",
                          "PATH_ERROR_MSG", "PATH_ERROR_BUTTON", "COPY_ERROR_TITLE", "COPY_ERROR_MSG",
                          "COPY_ERROR_YES", "COPY_ERROR_NO", "FORWARD", "PREVIOUS", "QUIT", "ABOUT", "INSTALL",
                          "FINISH", "SELECT_OPTIONS_TITLE", "SELECT_OPTIONS_LOCATION_QUESTION", "INSTALLING_TITLE",
                          "INSTALLING_STRING", "COMPLETE", "OK_BUTTON"})
    EXPECT_NE(bare.err.find(std::string("line 4: language English leaves ") + key + " empty ("), std::string::npos)
        << key;
  EXPECT_NE(bare.err.find("leaves FORWARD empty (the button to the next page): the wizard shows it blank\n"),
            std::string::npos);
  EXPECT_EQ(std::count(bare.err.begin(), bare.err.end(), '\n'), 24);
}

// The README's own example, followed literally, builds a wizard that
// shows no blank text.
TEST_F(MakeInstaller, TheReadmeExampleBuildsWithoutAWarning) {
  const std::string readme = test_support::read_file(TEST_SOURCE_DIR "/../README.md");
  const size_t section = readme.find("\n## Making an installer\n");
  ASSERT_NE(section, std::string::npos);
  const size_t start = readme.find("\n```\n", section);
  ASSERT_NE(start, std::string::npos);
  const size_t end = readme.find("\n```\n", start + 5);
  ASSERT_NE(end, std::string::npos);
  const std::string description = readme.substr(start + 5, end - start - 4);
  ASSERT_NE(description.find("files = files\n"), std::string::npos) << description;
  put("notes.txt", "notes");
  const test_support::RunResult built = run_builder(description);
  EXPECT_EQ(built.exit_code, 0);
  EXPECT_EQ(built.err, "") << description;
}

// The edges of the ranges are taken and stored as they are.
TEST_F(MakeInstaller, NumbersAtTheEdgesOfTheirRangesAreStored) {
  const std::string plain = "not deflated: the setup shows these bytes as they are";
  put("a.txt", plain);
  const test_support::RunResult built = build(
      "window = 1 1\n# window = 2 2\nwindow = 8192 8192\ndialog = 1 1 0 0\ndialog = 8192 8192 -1 -1\nmin_screen = 1 1\n"
      "time_stamp=0\n"  // blanks around '=' are optional
      "link = Web | https://example.org | 2\nfile = a.txt | overwrite 2\nfile = a.txt | switch_user\n"
      "splash = * | Tools | 0 0 353 143\nchunk_size = 1048576\ncompressed = 0\n");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  EXPECT_EQ(built.err, "");
  DATABASE data;
  SPLASH_SEEN splash;
  ASSERT_TRUE(read_database(data, &splash));
  EXPECT_NE(test_support::read_file(program()).find(plain), std::string::npos);  // compressed = 0
  // The quit question: three quarters of the dialog's width, half its height.
  EXPECT_TRUE(test_support::text_matches_reference("installer", "range_edges_data",
                                                   stored_data(data, splash, scratch.path())));
}

// Each refusal names what really stands in the way: the path and the
// system's reason. Reading is refused to root by nothing, so those rows
// run the builder as "nobody" when the tests run as root.
TEST_F(MakeInstaller, RefusalsNameTheRealCause) {
  put("a.txt", "a");
  ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
  ASSERT_EQ(mkdir(scratch.file("closed").c_str(), 0555), 0);
  const std::string description = scratch.file("source/installer.txt");
  ASSERT_EQ(build("").exit_code, 0);  // writes the description
  fs::remove(program());
  std::vector<std::string> as_nobody;
  if (geteuid() == 0) as_nobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
  struct ROW {
    std::string said;
    std::vector<std::string> arguments;  // description, bare installer, output
    std::vector<std::string> run_as, env;
    const char* unreadable;  // a file below files made unreadable, or null
  } rows[] = {
      {"make_installer: cannot read the bare installer " + scratch.file("no-setup") + ": No such file or directory\n",
       {description, scratch.file("no-setup"), program()}, {}, {}, nullptr},
      {"make_installer: the description " + scratch.file("source") + " is a folder\n",
       {scratch.file("source"), kTools + "setup", program()}, {}, {}, nullptr},
      {"make_installer: cannot read the description " + scratch.file("none.txt") + ": No such file or directory\n",
       {scratch.file("none.txt"), kTools + "setup", program()}, {}, {}, nullptr},
      {"make_installer: cannot write " + scratch.file("gone/setup") + ": No such file or directory\n",
       {description, kTools + "setup", scratch.file("gone/setup")}, {}, {}, nullptr},
      {"make_installer: cannot pack a.txt: cannot read " + files() + "/a.txt: Permission denied\n",
       {description, kTools + "setup", program()}, as_nobody, {"TMPDIR=/tmp"}, "a.txt"},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.said);
    const std::string unreadable = row.unreadable ? files() + "/" + row.unreadable : "";
    ASSERT_TRUE(unreadable.empty() || chmod(unreadable.c_str(), 0) == 0);
    std::vector<std::string> argv = row.run_as;
    argv.push_back(kTools + "make_installer");
    argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
    const test_support::RunResult built = test_support::run_program(argv, row.env);
    EXPECT_EQ(built.exit_code, 1);
    EXPECT_EQ(built.err, row.said);
    ASSERT_TRUE(unreadable.empty() || chmod(unreadable.c_str(), 0644) == 0);
    EXPECT_FALSE(test_support::file_exists(program()));
  }
  // A setup that cannot be written whole (a file-size limit just above the
  // bare installer) is refused, not handed on cut short.
  const test_support::RunResult cut = test_support::run_program(
      {"/bin/sh", "-c", "trap '' XFSZ && exec prlimit --fsize=" + std::to_string(fs::file_size(kTools + "setup") + 1) +
       " \"$@\"", "sh", kTools + "make_installer", description, kTools + "setup", program()});
  EXPECT_EQ(cut.exit_code, 1);
  EXPECT_TRUE(cut.err.ends_with("/setup: File too large\n") && !test_support::file_exists(program())) << cut.err;
  // A TMPDIR that cannot hold the temporary folder is named, and /tmp
  // serves instead.
  ASSERT_EQ(mkdir(scratch.file("open").c_str(), 0777), 0);
  ASSERT_EQ(chmod(scratch.file("open").c_str(), 0777), 0);
  std::vector<std::string> argv = as_nobody;
  argv.insert(argv.end(), {kTools + "make_installer", description, kTools + "setup", scratch.file("open/setup")});
  const test_support::RunResult built = test_support::run_program(argv, {"TMPDIR=" + scratch.file("closed")});
  EXPECT_EQ(built.exit_code, 0) << built.err;
  EXPECT_NE(built.err.find("the temporary folder could not be made in:\n" + scratch.file("closed") +
                           " (TMPDIR): Permission denied\nIt is /tmp/"),
            std::string::npos)
      << built.err;
  // Without any: every place tried is named, on the one line of the
  // refusal.
  if (geteuid() != 0) GTEST_SKIP() << "a read-only /tmp needs a mount namespace of its own";
  argv = {"/usr/bin/unshare", "-m", "/bin/sh", "-c",
          "mount --bind /tmp /tmp && mount -o remount,ro,bind /tmp && exec \"$@\"", "sh",
          kTools + "make_installer", description, kTools + "setup", scratch.file("open/setup")};
  const test_support::RunResult refused =
      test_support::run_program(argv, {"TMPDIR=" + scratch.file("closed"), "HOME=" + scratch.file("home")});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err, "make_installer: cannot make a temporary folder in " + scratch.file("closed") +
                             " (TMPDIR): Read-only file system;/tmp: Read-only file system\n");
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
  const test_support::RunResult built = build("window = 480 440\ndialog = 240 180\n");
  ASSERT_EQ(built.exit_code, 0) << built.err;
  DATABASE data;
  ASSERT_TRUE(read_database(data));
  // A small dialog's quit question keeps room for its text: 200 by 150.
  EXPECT_EQ(std::vector<int>({data.exit.width, data.exit.height}), std::vector<int>({200, 150}));
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
  // The whole stored look, colour for colour (0: unset) and flag for flag:
  // text, face, marked, marked text, active, active text; drawing and
  // shading flags.
  std::string look;
  for (const auto& [name, style] :
       {std::pair{"options", &data.options_style}, {"text_win_title", &data.text_win_title_style},
        {"text_win_text", &data.text_win_text_style}, {"text", &data.text_style}, {"check_box", &data.check_box_style},
        {"progress_bar", &data.progress_bar_style}, {"progress_bar_script", &data.progress_bar_script_style},
        {"scrollbar", &data.scrollbar_style}, {"menu_button", &data.menu_button_style},
        {"menu_dropdown", &data.menu_dropdown_style}, {"menu_item", &data.menu_item_style},
        {"menu_alt_item", &data.menu_alt_item_style}}) {
    char line[200];
    snprintf(line, sizeof line, "%s %08X %08X %08X %08X %08X %08X %06X %u\n", name, style->fg_colour, style->bg_colour,
             style->highlight_colour, style->highlight_text_colour, style->active_colour, style->active_text_colour,
             style->drawing_flags, style->shading_flags);
    look += line;
  }
  EXPECT_TRUE(test_support::text_matches_reference("installer", "builder_look", look));
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
    installer_test::TOOLKIT_DEFAULTS_GUARD row_defaults;
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
      const std::vector<uint32_t> drawn = image_test_support::pixels_of(surface);
      EXPECT_GT(std::count_if(drawn.begin(), drawn.end(), [&](uint32_t c) { return c != paper; }), 20)
          << "font " << int{style->font_id};
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
      // C1 controls: a lone byte, and U+009B and U+0085 coded in UTF-8, in
      // names as they are and in a shown text, which becomes Latin-1.
      {"csi\x9b" "31m.txt", "", "\"csi\\x9b31m.txt\""},
      {"nel\xc2\x85.txt", "", "\"nel\\u0085.txt\""},
      {"a.txt", "app = Tools\xc2\x9b" "2J\n", "\"Tools\\u009b2J\""},
      {"a.txt", "link = Csi\xc2\x9b | a.txt | 3\n", "\"Csi\\x9b\""},
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

// A picture file into an IMAGE.
void load_picture(IMAGE& picture, const fs::path& path) {
  FOLDER folder;
  EXPECT_TRUE(folder.set_absolute(path.parent_path().c_str()));
  EXPECT_TRUE(picture.load(folder, path.filename().c_str())) << path;
}

// The demo skin's pictures are drawn for a product: the demo's name and
// version give the committed pictures; another product's gives its own
// banner and everything else alike.
TEST(DemoSkinPictures, TheBannerCarriesTheNameAndVersionTheyAreDrawnFor) {
  if (test_support::run_program({"/bin/sh", "-c", "command -v convert"}).exit_code != 0)
    GTEST_SKIP() << "ImageMagick draws the pictures";
  test_support::ScratchDir scratch;
  const std::string demo = TEST_SOURCE_DIR "/../demo/skin";
  auto draw = [&](const std::string& folder, std::vector<std::string> arguments) {
    fs::create_directories(folder);
    fs::copy_file(demo + "/draw_pictures.sh", folder + "/draw_pictures.sh");
    arguments.insert(arguments.begin(), {"/bin/bash", folder + "/draw_pictures.sh"});
    return test_support::run_program(arguments, {}, nullptr, 120);
  };
  const test_support::RunResult usage = draw(scratch.file("none"), {});
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_NE(usage.err.find("\"<product name>\" <version>"), std::string::npos) << usage.err;
  ASSERT_EQ(draw(scratch.file("demo"), {"Demo Notes", "1.0"}).exit_code, 0);
  ASSERT_EQ(draw(scratch.file("other"), {"Acme Spreadsheet Professional", "2.5"}).exit_code, 0);

  // Every picture drawn for the demo is the committed one; another product
  // differs only in its banner.
  int pictures = 0;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.file("demo"))) {
    if (entry.path().extension() != ".png") continue;
    const fs::path relative = entry.path().lexically_relative(scratch.file("demo"));
    SCOPED_TRACE(relative.string());
    ++pictures;
    IMAGE drawn, other;
    load_picture(drawn, entry.path());
    EXPECT_TRUE(test_support::picture_matches_png("demo_skin", drawn, demo + "/" + relative.string()));
    if (relative == "background.png") continue;
    load_picture(other, scratch.file("other") / relative);
    EXPECT_TRUE(test_support::pictures_match("other_skin", other, drawn));
  }
  // The script draws all of the committed pictures.
  int committed = 0;
  for (const auto& entry : fs::recursive_directory_iterator(demo)) committed += entry.path().extension() == ".png";
  EXPECT_EQ(pictures, committed);

  // The other banner differs from the demo's where the name and version
  // stand, and nowhere else.
  IMAGE ours, theirs;
  load_picture(ours, scratch.file("demo/background.png"));
  load_picture(theirs, scratch.file("other/background.png"));
  ASSERT_EQ(theirs.width, ours.width);
  ASSERT_EQ(theirs.height, ours.height);
  const std::vector<uint32_t> a = image_test_support::pixels_of(ours), b = image_test_support::pixels_of(theirs);
  int inside = 0, outside = 0;
  for (size_t k = 0; k < a.size(); ++k) {
    const size_t x = k % ours.width, y = k / ours.width;
    (x < 159 && y >= 200 && y < 340 ? inside : outside) += a[k] != b[k];
  }
  EXPECT_GT(inside, 500);
  EXPECT_EQ(outside, 0);
}

}  // namespace
