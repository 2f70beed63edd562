// The demo installer as it ships, in its own skin, walked by the keyboard
// through every page and dialog in both languages (the quit question, the
// folder browser and its name dialog, the warning about a small screen, the
// copy and path errors); each screen is compared pixel for pixel with its
// reference picture under tests/references/wizard/
// (tests/refresh_references.sh writes them).
// Each walk installs into a fixed folder of its own, so that the paths the
// pages show, and the folder browser's listing of a folder whose dates are
// set here, are the same in every run; a lock keeps two runs from sharing
// it. The about box is left out: it shows when the program was built,
// which differs from build to build (the toolkit's dialog pictures show it
// with a fixed text).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <ctime>
#include <filesystem>
#include <vector>

#include "demo_installer_driver.h"

namespace {

using namespace demo_installer;

// What leads from one screen to the next: each key tapped ("l" Tab once
// per language before the one walked, ">" Tab, "<" Shift+Tab, "r" Return,
// "s" Space, "e" Escape), "w" the name "target" typed, "i" the wait for the install's
// end, "q" the window manager's close request.
struct STEP {
  const char* name;
  const char* keys;
};
// What the fixed folder holds before a walk: nothing, a file where the
// install folder goes (a path error), or a folder where the first file
// goes (a copy error).
enum class HOLDS { NOTHING, FILE_AS_FOLDER, FOLDER_AS_FILE };
struct WALK {
  const char* language;
  int index;
  bool large_screen;  // the screen smaller than the description asks for
  HOLDS holds;
  std::vector<STEP> steps;
};
const std::vector<STEP> kEveryPage = {
    {"language", ""},
    {"licence", "lr"},
    {"release_notes", "r"},
    {"install_type", "r"},
    {"options", "r"},
    {"folder_browser", "<<<s"},
    {"new_folder", "<<r"},
    {"new_folder_typed", "w"},
    {"folder_browser_inside", "r"},
    {"options_folder_chosen", ">>r"},
    {"quit", "q"},
    {"installed", "e>>>ri"},
    {"readme", "r"},
};
const WALK kWalks[] = {
    {"English", 0, false, HOLDS::NOTHING, kEveryPage},
    {"Deutsch", 1, false, HOLDS::NOTHING, kEveryPage},
    {"English", 0, true, HOLDS::FOLDER_AS_FILE,
     {{"small_screen_warning", "lrrrr"}, {"small_screen_answered", "e"}, {"copy_error", "r"},
      {"installed_with_error", "ri"}}},
    {"Deutsch", 1, false, HOLDS::FILE_AS_FOLDER, {{"path_error", "lrrrrr"}, {"path_error_answered", "r"}}},
};

// One walk per test: each starts its own server and installer.
class WizardPictures : public DEMO_INSTALLER, public ::testing::WithParamInterface<size_t> {
protected:
  void SetUp() override {
    fixed = "/tmp/vorn-wizard-pictures-" + std::to_string(GetParam());
    lock = open((fixed + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    guard.set("TZ", "UTC");  // the browser shows dates in local time
    start_server_and_build("1280x1024x24", "", true);
    // The demo installs into the fixed folder instead of the scratch one;
    // a second build asks for a screen larger than the server's.
    std::string description = test_support::read_file(scratch.file("installer.txt"));
    const std::string from = "$ROOT1" + scratch.path() + "/target";
    const size_t at = description.find(from);
    ASSERT_NE(at, std::string::npos);
    description.replace(at, from.size(), "$ROOT1" + fixed + "/target");
    plain = program;
    larger = scratch.file("demo-setup-larger");
    for (const std::string& made : {plain, larger}) {
      if (made == larger) description.insert(description.find("\nlanguage") + 1, "min_screen = 2000 1500\n");
      ASSERT_TRUE(test_support::write_file(scratch.file("installer.txt"), description));
      const test_support::RunResult built = test_support::run_program(
          {kTools + "make_installer", scratch.file("installer.txt"), kTools + "setup", made});
      ASSERT_EQ(built.exit_code, 0) << built.err;
    }
  }
  void TearDown() override {
    DEMO_INSTALLER::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(fixed, ignored);
    if (lock >= 0) close(lock);
  }

  // The fixed folder afresh, holding one folder of a fixed date and what
  // the walk asks for.
  void fresh_folder(HOLDS holds) {
    std::error_code ignored;
    std::filesystem::remove_all(fixed, ignored);
    ASSERT_EQ(mkdir(fixed.c_str(), 0700), 0);
    const std::string programs = fixed + "/Programs";
    ASSERT_EQ(mkdir(programs.c_str(), 0700), 0);
    const timespec when[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06
    ASSERT_EQ(utimensat(AT_FDCWD, programs.c_str(), when, 0), 0);
    if (holds == HOLDS::FILE_AS_FOLDER) {
      ASSERT_TRUE(test_support::write_file(fixed + "/target", "a file\n"));
    }
    if (holds == HOLDS::FOLDER_AS_FILE) {
      ASSERT_EQ(mkdir((fixed + "/target").c_str(), 0700), 0);
      ASSERT_EQ(mkdir((fixed + "/target/notes.txt").c_str(), 0700), 0);
    }
  }

  // Each key changes the screen (but "l" for the first language): on a
  // busy machine the change may come late, so the screen is waited for to
  // leave the picture before it settles.
  void reach(const char* keys, int index) {
    for (const char* k = keys; *k; ++k) {
      const PICTURE before = grab();
      switch (*k) {
        case 'l': for (int tab = 0; tab < index; ++tab) tap(XK_Tab); break;
        case '>': tap(XK_Tab); break;
        case '<': tap(XK_Tab, true); break;
        case 'r': tap(XK_Return); break;
        case 's': tap(XK_space); break;
        case 'e': tap(XK_Escape); break;
        case 'w': type("target"); break;
        case 'q': close_request(); break;
        case 'i':
          ASSERT_TRUE(wait_for([&] { return test_support::read_file(fixed + "/target/install_log.txt").find(
                                               "Installation completed") != std::string::npos; },
                               60));
          break;
      }
      if (*k == 'i' || (*k == 'l' && index == 0))
        settle();
      else
        settle_from(before);
    }
  }

  test_support::EnvironmentGuard guard;
  int lock = -1;
  std::string fixed;  // the walk's own, so that walks may run side by side
  std::string plain, larger;
};

TEST_P(WizardPictures, EveryPageAndDialogOnTheWalkMatchesItsReference) {
  const WALK& walk = kWalks[GetParam()];
  ASSERT_NO_FATAL_FAILURE(fresh_folder(walk.holds));
  program = walk.large_screen ? larger : plain;
  start();
  for (const STEP& step : walk.steps) {
    ASSERT_NO_FATAL_FAILURE(reach(step.keys, walk.index)) << step.name;
    const PICTURE p = settle();
    IMAGE image;
    to_image(p, image);
    EXPECT_TRUE(test_support::picture_matches_reference("wizard", std::string(walk.language) + "_" + step.name,
                                                        image));
  }
}

INSTANTIATE_TEST_SUITE_P(Walks, WizardPictures, ::testing::Range<size_t>(0, std::size(kWalks)));

}  // namespace
