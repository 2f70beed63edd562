// The demo installer made by the builder, on a private X server, clicked
// and typed through its whole wizard with XTEST: the language, the licence
// (dragged, then Agree; Disagree ends the program), the options page whose
// folder browser makes and chooses a folder typed into its name dialog,
// Install, the installing page up to 100 %, the about box, Finish. Each
// page's pixels are read back from the X server and saved as PNG; the
// installed files and install_log.txt are checked against the demo's files
// and against what an automatic (-a) run of the same installer writes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "demo_installer_driver.h"

namespace {

using namespace demo_installer;

// The demo's files, relative to its files folder.
const char* const kDemoFiles[] = {"demo-notes.sh", "notes.txt", "docs/shortcuts.txt"};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The log with the Settings line's folder text cut off.
std::string without_settings_folder(const std::string& log) {
  std::string out;
  for (const std::string& line : lines_of(log)) {
    if (line.rfind("Settings: ", 0) == 0)
      out += line.substr(0, line.find(' ', line.find(' ', 10) + 1)) + "\n";
    else
      out += line + "\n";
  }
  return out;
}

class WizardClickThrough : public DEMO_INSTALLER {
protected:
  // A minimum screen size that the screen meets: no warning, an empty
  // third header line in the log.
  void SetUp() override { start_server_and_build("1280x1024x24", "min_screen = 1024 768\n"); }

  // The progress bar of the installing page lies across the content, the
  // dialog's width wide, its sunken frame on the skin's background colour.
  // At 100 % the fill (the skin's fill colour, with its shading) meets the
  // frame's border on the right as it does on the left; short of 100 % the
  // empty part, in the background colour, lies between them. Looked at on
  // the row with the most fill.
  void expect_full_bar(const PICTURE& p, const RECT_FOUND& d) {
    int best = 0, row = -1, first = -1, last = -1;
    for (int y = d.y1; y <= d.y2; ++y) {
      int count = 0, row_first = -1, row_last = -1;
      for (int x = d.x1; x <= d.x2; ++x)
        if (p.at(x, y) == kBarFill) {
          ++count;
          if (row_first < 0) row_first = x;
          row_last = x;
        }
      if (count > best) best = count, row = y, first = row_first, last = row_last;
    }
    ASSERT_GT(best, (d.x2 - d.x1) / 2);
    int left_edge = 0, right_edge = 0;  // shading and frame up to the background
    for (int x = first - 1; x > d.x1 && p.at(x, row) != kBarEmpty; --x) ++left_edge;
    for (int x = last + 1; x < d.x2 && p.at(x, row) != kBarEmpty; ++x) ++right_edge;
    EXPECT_GT(left_edge, 0);
    EXPECT_EQ(right_edge, left_edge);
  }

  void expect_installed_files(const std::string& folder) {
    for (const char* name : kDemoFiles) {
      const std::string installed = folder + "/" + name;
      EXPECT_EQ(test_support::read_file(installed), test_support::read_file(kDemoFolder + "files/" + name))
          << installed;
      struct stat st {};
      ASSERT_EQ(stat(installed.c_str(), &st), 0) << installed;
      EXPECT_EQ(st.st_mode & 07777, 0755u) << installed;
    }
  }

  void expect_log(const std::string& folder) {
    const std::vector<std::string> lines = lines_of(test_support::read_file(folder + "/install_log.txt"));
    ASSERT_EQ(lines.size(), 5u + 2u + std::size(kDemoFiles)) << test_support::read_file(folder + "/install_log.txt");
    EXPECT_EQ(lines[0], "Installed Files");
    EXPECT_EQ(lines[1], "---------------");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "Language: English");
    EXPECT_EQ(lines[4].rfind("Settings: 0 0 $", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], "");  // the screen is large enough
    std::set<std::string> installed(lines.begin() + 6, lines.end() - 1), expected;
    for (const char* name : kDemoFiles) expected.insert("Installed \"" + folder + "/" + name + "\"");
    EXPECT_EQ(installed, expected);
    EXPECT_EQ(lines.back(), "Installation completed without any errors.");
  }
};

TEST_F(WizardClickThrough, LanguageLicenceOptionsFolderInstallAboutFinish) {
  start();
  const PICTURE language = settle();
  save(language, "language");
  uint32_t face = 0;
  const RECT_FOUND d = dialog_of(language, &face);
  ASSERT_GT(d.x2 - d.x1, 300);  // the demo's 420 x 300 dialog
  ASSERT_GT(d.y2 - d.y1, 200);
  const std::string temporary = temporary_folder();
  ASSERT_FALSE(temporary.empty());
  ASSERT_TRUE(test_support::file_exists(temporary + "/installer.pkg"));

  const PICTURE licence = choose_first_language(language);
  save(licence, "licence");
  EXPECT_FALSE(licence == language);

  // Drag the licence dialog by its empty body near the top, 40 right and 30
  // down; the next page's dialog opens where it was left.
  const RECT_FOUND before = dialog_of(licence);
  drag(before.x1 + 6, before.y1 + 4, 40, 30);
  const PICTURE dragged = settle();
  const RECT_FOUND moved = dialog_of(dragged);
  EXPECT_NE(moved.x1, before.x1);
  ASSERT_TRUE(click_bottom_button(dragged, moved, 0));  // Agree, right of Disagree
  const PICTURE options = settle();
  save(options, "options");
  const RECT_FOUND there = dialog_of(options);
  EXPECT_EQ(there.x1, moved.x1);
  EXPECT_EQ(there.y1, moved.y1);

  // The browse button: the face-coloured box in the right half of the
  // options grid's upper part, on rows where the grid is dark in the middle
  // and clear of its right edge (above the grid and at its rounded corners
  // the dialog's face shows).
  // The browser opens at the nearest existing folder of the install
  // folder, the test's scratch folder, as target is not made yet.
  RECT_FOUND browse{kWidth, kHeight, -1, -1};
  const int middle = (there.x1 + there.x2) / 2;
  for (int y = there.y1 + 8; y < (there.y1 + there.y2) / 2; ++y)
    for (int x = middle; x < there.x2 - 24 && options.at(middle, y) != face; ++x)
      if (options.at(x, y) == face) {
        browse.x1 = std::min(browse.x1, x), browse.y1 = std::min(browse.y1, y);
        browse.x2 = std::max(browse.x2, x), browse.y2 = std::max(browse.y2, y);
      }
  ASSERT_TRUE(browse.found());
  click(browse);
  const PICTURE browser = settle();
  save(browser, "folder_browser");
  const RECT_FOUND b = changed_box(options, browser);
  ASSERT_TRUE(b.found());

  // New Folder asks for a name in an entry that has the keyboard: the
  // name is typed, Tab moves on to OK and Return presses it. The folder is
  // made in the scratch folder and the browser goes into it.
  ASSERT_FALSE(test_support::file_exists(target()));
  ASSERT_TRUE(click_bottom_button(browser, b, 2));  // OK, Cancel, New Folder
  const PICTURE asking = settle();
  save(asking, "new_folder");
  EXPECT_FALSE(asking == browser);
  type("target");
  const PICTURE typed = settle();
  save(typed, "new_folder_typed");
  EXPECT_FALSE(typed == asking);
  press(XK_Tab);
  press(XK_Return);
  const PICTURE inside = settle();
  save(inside, "folder_browser_inside");
  struct stat st {};
  ASSERT_EQ(stat(target().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));

  // OK: the browser goes; the chosen folder is the install folder, whose
  // real path the folder button showed before it was made.
  ASSERT_TRUE(click_bottom_button(browser, b, 0));
  const PICTURE chosen = settle();
  save(chosen, "options_folder_chosen");
  EXPECT_FALSE(chosen == inside);
  EXPECT_TRUE(chosen == options);

  // Install: the worker runs one file per frame until the log's last line.
  ASSERT_TRUE(click_bottom_button(chosen, there, 0));
  ASSERT_TRUE(wait_for(
      [&] {
        return test_support::read_file(target() + "/install_log.txt").find("Installation completed") !=
               std::string::npos;
      },
      60));
  const PICTURE installed = settle();
  save(installed, "installed");
  EXPECT_EQ(dialog_of(installed).x1, there.x1);
  expect_full_bar(installed, there);
  expect_installed_files(target());
  expect_log(target());

  // Quit has become About (no readme follows): it opens the about box,
  // whose close button takes it away again.
  ASSERT_TRUE(click_bottom_button(installed, there, 2));  // Finish, Back, About
  const PICTURE about = settle();
  save(about, "about");
  const RECT_FOUND a = changed_box(installed, about);
  ASSERT_TRUE(a.found());
  EXPECT_GT(a.x2 - a.x1, 200);
  ASSERT_TRUE(click_bottom_button(about, a, 0));
  const PICTURE closed = settle();
  EXPECT_FALSE(changed_box(installed, closed).found());

  // Finish ends the program cleanly, its unpacked package gone.
  ASSERT_TRUE(click_bottom_button(installed, there, 0));
  EXPECT_EQ(wait_for_end(30), 0);
  EXPECT_FALSE(test_support::file_exists(temporary + "/installer.pkg"));
  EXPECT_FALSE(test_support::file_exists(temporary));

  // The same installer without a window, into the same folder.
  const std::string window_log = test_support::read_file(target() + "/install_log.txt");
  ASSERT_EQ(rename(target().c_str(), scratch.file("window-target").c_str()), 0);
  const test_support::RunResult automatic = test_support::run_program(
      {program, "-a"}, {"DISPLAY=", "HOME=" + scratch.file("home")}, nullptr, 120);
  ASSERT_EQ(automatic.exit_code, 0) << automatic.out << automatic.err;
  expect_installed_files(target());
  EXPECT_EQ(without_settings_folder(test_support::read_file(target() + "/install_log.txt")),
            without_settings_folder(window_log));
}

// The German words: the licence page's three buttons stand apart, and the
// quit question grows to its words in both languages, inside the window.
TEST_F(WizardClickThrough, WordsOfBothLanguagesFitTheirButtonsAndTheQuitQuestion) {
  for (const int language : {1, 0}) {
    SCOPED_TRACE(language ? "Deutsch" : "English");
    start();
    PICTURE page = settle();
    if (language == 1) {
      page = choose_language(page, 1);
      save(page, "licence_de");
    }
    const RECT_FOUND d = dialog_of(page);
    int row = 0;
    const auto runs = bottom_buttons(page, d, face_of(page, d), &row);
    ASSERT_EQ(runs.size(), 3u);  // Forward, Previous, Quit: none covers another
    click((runs[2].first + runs[2].second) / 2, row + 12);
    const PICTURE asking = settle();
    save(asking, language ? "quit_de" : "quit_en");
    const RECT_FOUND q = changed_box(page, asking);
    ASSERT_TRUE(q.found());
    EXPECT_GE(q.x1, 0);
    EXPECT_LT(q.x2, kWidth);
    EXPECT_LT(q.y2, kHeight);
    EXPECT_TRUE(q.x2 - q.x1 >= 200 || q.y2 - q.y1 >= 150);  // at least the skin's 200 x 150
    const auto answers = bottom_buttons(asking, q, face_of(asking, q), &row);
    ASSERT_EQ(answers.size(), 2u);
    click((answers[0].first + answers[0].second) / 2, row + 12);  // Stay
    const PICTURE back = settle();
    EXPECT_FALSE(changed_box(page, back).found());
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    window = 0;
  }
}

TEST_F(WizardClickThrough, DisagreeEndsTheProgram) {
  start();
  const PICTURE licence = choose_first_language(settle());
  ASSERT_TRUE(click_bottom_button(licence, dialog_of(licence), 1));  // Disagree
  EXPECT_EQ(wait_for_end(20), 0);
  EXPECT_FALSE(test_support::file_exists(target()));
}

}  // namespace
