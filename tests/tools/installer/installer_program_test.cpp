// The installer program as a process: the bare program carries no data,
// and the console modes print and end as callers expect.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <string>

#include "data_file.h"
#include "database.h"
#include "file_services.h"
#include "installer_pictures.h"
#include "memory_device.h"
#include "package.h"
#include "package_data_file.h"
#include "package_test_support.h"
#include "payload.h"
#include "picture_compare.h"
#include "test_support.h"

namespace {

const std::string kProgram = TEST_BIN_DIR "/../tools/installer/setup";

test_support::RunResult run(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {kProgram};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  // No display: a console mode must not need one.
  return test_support::run_program(argv, {"DISPLAY="});
}

TEST(InstallerProgram, TheBareProgramCarriesNoPayload) {
  const PAYLOAD_INFO info = payload_offset_of(kProgram.c_str());
  EXPECT_FALSE(info.present);
  EXPECT_EQ(info.offset, test_support::read_file(kProgram).size());
}

// The window icon: a 64 x 64 XPM picture, two characters a pixel, every
// code defined, the sky's gradient from the top row to the bottom one.
TEST(InstallerProgram, TheIconIsAWholeSixtyFourSquareXpm) {
  const char* const* xpm = installer_icon_xpm();
  int w = 0, h = 0, colours = 0, per = 0;
  ASSERT_EQ(sscanf(xpm[0], "%d %d %d %d", &w, &h, &colours, &per), 4);
  ASSERT_EQ(std::vector<int>({w, h, per}), std::vector<int>({64, 64, 2}));
  std::map<std::string, unsigned> palette;
  for (int k = 1; k <= colours; ++k) palette[std::string(xpm[k], 2)] = std::stoul(xpm[k] + 6, nullptr, 16);
  ASSERT_EQ(palette.size(), static_cast<size_t>(colours));
  for (int y = 0; y < 64; ++y) {
    const std::string row = xpm[1 + colours + y];
    ASSERT_EQ(row.size(), 128u) << "row " << y;
    for (size_t x = 0; x < row.size(); x += 2) ASSERT_TRUE(palette.count(row.substr(x, 2))) << y << "," << x / 2;
  }
  auto at = [&](int x, int y) { return palette[std::string(xpm[1 + colours + y] + 2 * x, 2)]; };
  EXPECT_EQ(std::vector<unsigned>({at(0, 0), at(63, 0), at(0, 63), at(63, 63)}),
            std::vector<unsigned>({0x3A8FB7, 0x3A8FB7, 0x123C5A, 0x123C5A}));
  EXPECT_EQ(xpm[1 + colours + 64], nullptr);
  std::string whole;  // the parcel on the sky, every line
  for (const char* const* line = xpm; *line; ++line) whole += std::string(*line) + "\n";
  EXPECT_EQ(whole, test_support::read_file(TEST_SOURCE_DIR "/references/installer/icon.xpm"));
}

// The start and closing pictures, whole: ground, parcel, bar track, tick.
TEST(InstallerProgram, TheStartAndClosingPicturesAreDrawnWhole) {
  const struct {
    std::string name;
    void (*draw)(IMAGE&);
  } rows[] = {{"start_picture", draw_start_picture}, {"closing_picture", draw_closing_picture}};
  for (const auto& row : rows) {
    IMAGE picture;
    row.draw(picture);
    EXPECT_TRUE(test_support::picture_matches_reference("installer", row.name, picture));
  }
}

// Every installer is a copy of the program with the data behind it: the
// copy carries no symbols or debug information, which stay beside the
// program in setup.debug. (The sanitizer tree keeps its symbols for its
// reports.)
TEST(InstallerProgram, TheProgramIsStrippedWithItsDebugInformationBeside) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer tree's program keeps its symbols";
#endif
  const auto sections = [](const std::string& file) {
    const test_support::RunResult listed = test_support::run_program({"/usr/bin/readelf", "-S", "-W", file});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    return listed.out;
  };
  const std::string program = sections(kProgram), debug = sections(kProgram + ".debug");
  const struct {
    const std::string& listing;
    const char* section;
    bool present;
  } rows[] = {
      {program, " .symtab ", false},     {program, " .debug_info ", false},
      {program, " .debug_line ", false}, {program, " .gnu_debuglink ", true},
      {program, " .text ", true},        {debug, " .symtab ", true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.listing.find(row.section) != std::string::npos, row.present)
        << (&row.listing == &program ? "setup" : "setup.debug") << ":" << row.section;
}

// The usage lists only options the program takes; "--help" asks for it too.
TEST(InstallerProgram, HelpPrintsTheUsageAndSucceeds) {
  const std::vector<std::string> asks[] = {{"-p", "linux", "-h", "-d", "never=read"}, {"--help"},
                                           {"-p", "linux", "--help", "-d", "never=read"}};
  for (const std::vector<std::string>& arguments : asks) {
    const test_support::RunResult result = run(arguments);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out,
              "Usage:\n\t" + kProgram +
                  " [-h] [-a] [-v] [-s filename] [-x filename] [-p filter] "
                  "[-d filename1=filename2]\n\n"
                  "\t-h\t- Show help\n\t-a\t- Automatic mode (non interactive)\n"
                  "\t-v\t- Be verbose\n\t-s\t- Generate skin\n\t-x\t- XML File\n"
                  "\t-p\t- Platform filter\n\t-d\t- Diff files (used for patching)\n\n");
  }
}

// Where the program looks for its data: -x names the folder ("$..." as it
// is, "/..." absolute, relative names below the program's folder); data
// that is found needs the window next, which cannot open without a
// display, while damaged or missing data ends with the message of its
// own. Every message about something that cannot be loaded names the full
// path it tried, and a bad option does not wait for a key when no one is
// at a terminal.
class InstallerData : public package_test_support::PackageScratchTest {};

TEST_F(InstallerData, TheDataIsLookedForWhereTheOptionsSayAndDamageIsReported) {
  {
    PACKAGE package(work, "installer.pkg", true, 0, false, false);
    ASSERT_TRUE(package.is_open());
    DATABASE data;
    DATA_FILE* stored = package.open_file("database.bin", 1, 255);
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(data.put_to_data_device(stored));
    ASSERT_TRUE(FOLDER::close_data_file(stored));
  }
  const std::string damaged = scratch.file("damaged-setup");
  // Splash flag 0, then a chunk size of 0.
  ASSERT_TRUE(test_support::write_file(
      damaged, test_support::read_file(kProgram) + std::string(6, '\0') + "tail"));
  ASSERT_EQ(chmod(damaged.c_str(), 0755), 0);
  // Installers that carry the data, with the built-in picture or a titled
  // splash, whole or with their last bytes cut off, or with the title
  // changed in the splash record.
  const auto installer = [&](const std::string& name, bool titled, size_t cut, bool retitled = false) {
    PAYLOAD_SPLASH splash;
    splash.image.create(20, 10);
    splash.title.set("Set-up");
    PAYLOAD_OPTIONS options;
    options.chunk_size = 4096;
    options.splash = titled ? &splash : nullptr;
    test_support::MEMORY_DEVICE payload;
    payload.swap = 1;
    EXPECT_TRUE(write_payload(payload, work, "installer.pkg", options));
    std::string bytes = test_support::read_file(kProgram) + payload.text();
    if (retitled) bytes[bytes.rfind("Set-up") + 5] = 'q';
    const std::string path = scratch.file(name);
    EXPECT_TRUE(test_support::write_file(path, bytes.substr(0, bytes.size() - cut)));
    EXPECT_EQ(chmod(path.c_str(), 0755), 0);
    return path;
  };
  const std::string plain = installer("plain-setup", false, 0), titled = installer("titled-setup", true, 0);
  const std::string plain_cut = installer("plain-cut", false, 10), titled_cut = installer("titled-cut", true, 10);
  ASSERT_EQ(mkdir(scratch.file("fifo").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(scratch.file("fifo/installer.pkg").c_str(), 0600), 0);
  const std::string retitled = installer("retitled", true, 0, true);

  const std::string here = kProgram.substr(0, kProgram.rfind('/'));
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(here.c_str(), resolved), nullptr);
  const std::string folder = resolved;
  // Each command line, then all it printed and its exit status: every line said in full,
  // none waiting for a key when no one is at a terminal.
  const std::vector<std::string> command_lines[] = {
      {plain}, {titled}, {plain_cut}, {titled_cut}, {retitled}, {damaged}, {damaged, "-a"},
      // Nothing is done on a command line that is not understood.
      {kProgram, "--bogus", "-a"}, {kProgram, "-p", "linux", "-a", "--verbose"}, {kProgram, "foo", "-a"},
      {kProgram, "-a", "--", "-v"}, {kProgram, "-x", "-", "-a"}, {kProgram, "-p", "linux", "-a", "--"},
      {kProgram, "-f"}, {kProgram, "-av"}, {kProgram, "-"}, {kProgram, "-x"}, {kProgram, "-a", "-x", ""},
      {kProgram, "-x", scratch.file("work/installer.xml")},
      {kProgram, "-x", "$ROOT1" + scratch.file("work/installer.xml")},
      {kProgram, "-x", scratch.file("installer.xml")}, {kProgram, "-d", "old.xml=new.xml"}, {kProgram, "-a"},
      {kProgram, "-a", "-x", "sub/installer.xml"}, {kProgram, "-a", "-x", "/installer.xml"},
      {kProgram, "-a", "-x", scratch.file("fifo/installer.xml")}, {kProgram, "-s", "/no/such/folder/skin.bin"},
      {kProgram, "-s", "no/such/skin.bin"}, {kProgram, "-s", scratch.path() + "/"},
      {kProgram, "--vorn-info"},  // the program's own record, as the system report shows it
  };
  std::string transcript;
  for (const std::vector<std::string>& argv : command_lines) {
    test_support::RunResult result = test_support::run_program(argv, {"DISPLAY="});
    // The system report's figures of this machine end it.
    if (const size_t machine = result.out.find("\nComputer Name:"); machine != std::string::npos)
      result.out.erase(machine + 1);
    for (const std::string& argument : argv) transcript += (&argument == &argv[0] ? "$ " : " ") + argument;
    transcript += "\n" + result.out + (result.err.empty() ? "" : "stderr: " + result.err) + "exit " +
                  std::to_string(result.exit_code) + "\n";
  }
  for (const auto& [path, shown] : {std::pair{kProgram, "<setup>"}, {folder, "<bin>"}, {scratch.path(), "<scratch>"}})
    for (size_t at; (at = transcript.find(path)) != std::string::npos;) transcript.replace(at, path.size(), shown);
  EXPECT_TRUE(test_support::text_matches_reference("installer", "command_lines", transcript));
  // The verbose trace names the places it finds, and where a fallback
  // temporary folder would be without making it.
  const test_support::RunResult verbose = test_support::run_program({kProgram, "-v", "-h"}, {"DISPLAY="});
  EXPECT_EQ(verbose.exit_code, 0);
  for (const char* traced : {"$TEMP => ", "$APPDATA => "}) EXPECT_NE(verbose.out.find(traced), std::string::npos);
  EXPECT_FALSE(test_support::file_exists(folder + "/temp"));
}

// The data folder a program finds above itself is one no other user
// controls: another user's "data" on the way up is passed over for the
// next one, and the verbose trace names the folder taken. -s packs the
// skin found there into the file named, below the program's folder.
TEST(InstallerProgram, AnotherUsersDataFolderAboveTheProgramIsPassedOver) {
  test_support::ScratchDir scratch;
  const std::string upper = scratch.file("data"), theirs = scratch.file("mid/data");
  for (const std::string& folder : {upper, scratch.file("mid"), theirs, scratch.file("mid/bin")})
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
  const std::string program = scratch.file("mid/bin/setup");
  ASSERT_TRUE(test_support::write_file(program, test_support::read_file(kProgram)));
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  const test_support::RunResult result = test_support::run_program({program, "-v", "-h"}, {"DISPLAY="});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.out.find("$APPDATA => " + upper + " ("), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find(theirs), std::string::npos) << result.out;

  ASSERT_EQ(mkdir((upper + "/kiv").c_str(), 0755), 0);
  const test_support::RunResult packed = test_support::run_program({program, "-s", "skin.bin"}, {"DISPLAY="});
  EXPECT_EQ(packed.exit_code, 0) << packed.out;
  const std::string skin = test_support::read_file(scratch.file("mid/bin/skin.bin"));
  EXPECT_GT(skin.size(), 1u);
  EXPECT_EQ(skin.substr(0, 1), std::string(1, '\0'));  // the order byte before the block
}

}  // namespace
