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
  const std::string no_display = "No display could be opened.\nStart the installer with -a to install without a window.";
  const std::string usage = "\n\nUsage:\n\t" + kProgram + " [-h]";
  struct ROW {
    std::vector<std::string> argv;
    int exit_code;
    std::string printed;  // a part of standard output
    bool first = false;   // printed before anything else
  } rows[] = {
      {{plain}, 255, no_display},
      {{titled}, 255, no_display},
      {{plain_cut}, 255, "The installer file is incomplete or damaged!\n" + plain_cut + " ends early"},
      {{titled_cut}, 255, "The installer file is incomplete or damaged!\n" + titled_cut + " ends early"},
      {{retitled}, 255, "The installer file is incomplete or damaged!\n" + retitled + " ends early"},
      // Nothing is done on a command line that is not understood.
      {{kProgram, "--bogus", "-a"}, 255, "Unrecognised command line option: --bogus" + usage, true},
      {{kProgram, "-p", "linux", "-a", "--verbose"}, 255,
       "Unrecognised command line option: --verbose" + usage, true},
      {{kProgram, "foo", "-a"}, 255, "Unexpected command line argument: foo" + usage, true},
      {{kProgram, "-a", "--", "-v"}, 255, "Unexpected command line argument: -v" + usage, true},
      {{kProgram, "-x", "-", "-a"}, 255, "No argument for command line option: -x" + usage, true},
      {{kProgram, "-p", "linux", "-a", "--"}, 255, "Loading automatic pack...\n", true},
      {{kProgram, "-x", scratch.file("work/installer.xml")}, 255, no_display},
      {{kProgram, "-x", "$ROOT1" + scratch.file("work/installer.xml")}, 255, no_display},
      {{kProgram, "-x", scratch.file("installer.xml")}, 255,
       "No installation data found!\nMake sure you have got all required files.\n" +
           scratch.file("installer.pkg") + " could not be loaded."},
      {{damaged}, 255, "The installer file is incomplete or damaged!\n" + damaged + " ends early"},
      {{damaged, "-a"}, 255, "ERROR: unable to load data\nThe installer file is incomplete or damaged!\n"},
      {{kProgram, "-f"}, 255, "Unrecognised command line option: -f" + usage, true},
      {{kProgram, "-av"}, 255, "Invalid argument format for command line option: -av" + usage, true},
      {{kProgram, "-"}, 255, "Invalid argument format for command line option: -" + usage, true},
      {{kProgram, "-v", "-h"}, 0, "$TEMP => "},
      {{kProgram, "-v", "-h"}, 0, "$APPDATA => "},
      {{kProgram, "-d", "old.xml=new.xml"}, 255, "Failed to load first database (" + folder + "/old.xml)"},
      {{kProgram, "-a"}, 255, "Loading automatic pack...\nERROR: unable to load data\nNo installation data found!\n"
                                  "Make sure you have got all required files.\n" + folder +
                                  "/installer.pkg could not be loaded"},
      {{kProgram, "-a", "-x", "sub/installer.xml"}, 255, "The -x folder " + folder + "/sub does not exist."},
      {{kProgram, "-a", "-x", "/installer.xml"}, 255,
       "Loading automatic pack...\nERROR: unable to load data\nNo installation data found!\n"
       "Make sure you have got all required files.\n/installer.pkg could not be loaded.\n"},
      {{kProgram, "-x"}, 255, "No argument for command line option: -x" + usage, true},
      {{kProgram, "-a", "-x", ""}, 255, "No argument for command line option: -x" + usage, true},
      {{kProgram, "-a", "-x", scratch.file("fifo/installer.xml")}, 255,
       scratch.file("fifo/installer.pkg") + " could not be loaded: it is a FIFO.\n"},
      {{kProgram, "-s", "/no/such/folder/skin.bin"}, 255, "Skin not written: no skin folder"},
      {{kProgram, "-s", "no/such/skin.bin"}, 255, "The -s folder " + folder + "/no/such does not exist."},
      {{kProgram, "-s", scratch.path() + "/"}, 255, "Skin not written: the output needs a plain file name.\n", true},
      // The program's own record, as the system report shows it.
      {{kProgram, "--vorn-info"}, 255,
       "Running a 64bit application\n\nApp:                  Installer 1.12\nExit Msg:             Disabled\n"
       "Linux Icon:           Custom\nPSP Splash Time:      1000\nPSP Splash Imgs:      Absent\n"
       "PSP flash_leds:       No\nGP2X Joystick:        1\nGP2X Mouse Rate:      30\nGP2X Display Type:    1\n"
       "Windows IconID:       100\nNDS Console:          No\nNDS Memory Chk:       Disabled\n"
       "NDS Rotated:          No\nMacOS Show About:     No\nNDS Show Preferences: No\n\n",
       true},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.argv[0] + " " + row.argv.back());
    const test_support::RunResult result = test_support::run_program(row.argv, {"DISPLAY="});
    EXPECT_EQ(result.exit_code, row.exit_code);
    EXPECT_NE(result.out.find(row.printed), std::string::npos) << result.out;
    if (row.first) {
      EXPECT_EQ(result.out.find(row.printed), 0u) << result.out;
    }
    EXPECT_EQ(result.out.find("Press Return"), std::string::npos) << result.out;
  }
  // The trace shows where a fallback temporary folder would be without
  // making it.
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
