// The demo installer made by the builder, on a private X server, clicked
// and typed through its whole wizard with XTEST: the language, the licence
// (dragged, then Agree; Disagree ends the program), the release notes, the
// installation type, the options page whose folder browser makes and
// chooses a folder typed into its name dialog, Install, the installing page
// up to 100 %, the readme with the about box, Finish. Each
// page's pixels are read back from the X server and saved as PNG; the
// installed files and install_log.txt are checked against the demo's files
// and against what an automatic (-a) run of the same installer writes. A
// signal or the window's close button asks once before the run ends.
#include <gtest/gtest.h>

#include <sys/stat.h>

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
      struct stat st {}, source {};
      ASSERT_EQ(stat(installed.c_str(), &st), 0) << installed;
      ASSERT_EQ(stat((kDemoFolder + "files/" + name).c_str(), &source), 0) << name;
      EXPECT_EQ(st.st_mode & 07777, source.st_mode & 07777) << installed;
    }
  }

  void expect_log(const std::string& folder, const char* language = "English") {
    const std::vector<std::string> lines = lines_of(test_support::read_file(folder + "/install_log.txt"));
    ASSERT_EQ(lines.size(), 5u + 2u + std::size(kDemoFiles)) << test_support::read_file(folder + "/install_log.txt");
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"Installed Files", "---------------", "", std::string("Language: ") + language}));
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

  const PICTURE licence = choose_language(language, 0);
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
  const PICTURE notes = settle();
  save(notes, "release_notes");
  ASSERT_TRUE(click_bottom_button(notes, moved, 0));  // Next
  const PICTURE install_type = settle();
  save(install_type, "install_type");
  EXPECT_FALSE(install_type == notes);
  ASSERT_TRUE(click_bottom_button(install_type, moved, 0));  // Next
  park();
  const PICTURE options = settle();
  save(options, "options");
  const RECT_FOUND there = dialog_of(options);
  EXPECT_EQ(there.x1, moved.x1);
  EXPECT_EQ(there.y1, moved.y1);

  // The browse button: on the rows of the options grid's upper part where
  // the grid is dark in the middle (above the grid and at its rounded
  // corners the dialog's face shows), the face-coloured run nearest the
  // grid's right edge. The folder's path beside it may hold face-coloured
  // pixels of its own, so the search comes from the right and stops at the
  // run's left end.
  // The browser opens at the nearest existing folder of the install
  // folder, the test's scratch folder, as target is not made yet.
  RECT_FOUND browse{options.w, options.h, -1, -1};
  const int middle = (there.x1 + there.x2) / 2;
  for (int y = there.y1 + 8; y < (there.y1 + there.y2) / 2; ++y) {
    if (options.at(middle, y) == face) continue;
    int x = there.x2 - 25;
    while (x > middle && options.at(x, y) != face) --x;
    if (x <= middle) continue;
    browse.x2 = std::max(browse.x2, x);
    while (x > middle && options.at(x - 1, y) == face) --x;
    browse.x1 = std::min(browse.x1, x), browse.y1 = std::min(browse.y1, y), browse.y2 = std::max(browse.y2, y);
  }
  ASSERT_TRUE(browse.found());
  click(browse);
  const PICTURE browser = settle_from(options);
  save(browser, "folder_browser");
  const RECT_FOUND b = changed_box(options, browser);
  ASSERT_TRUE(b.found());

  // New Folder asks for a name in an entry that has the keyboard: the
  // name is typed, Tab moves on in reading order, through Cancel to OK,
  // and Return presses it. The folder is made in the scratch folder and
  // the browser goes into it.
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
  press(XK_Tab);
  press(XK_Return);
  const PICTURE inside = settle();
  save(inside, "folder_browser_inside");
  struct stat st {};
  ASSERT_EQ(stat(target().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));

  // OK: the browser goes; the chosen folder is the install folder, whose
  // real path the folder button showed before it was made. The page is as
  // it was but for the focus mark, which the folder button took with the
  // click that opened the browser and has back now: two outlines changed,
  // the forward button's and the folder button's, nothing inside them.
  ASSERT_TRUE(click_bottom_button(browser, b, 0));
  park();
  const PICTURE chosen = settle();
  save(chosen, "options_folder_chosen");
  EXPECT_FALSE(chosen == inside);
  const std::vector<CHANGE> marks = changes_between(options, chosen);
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_TRUE(marks[0].outline && marks[1].outline);
  EXPECT_LT(marks[0].box.y2, (there.y1 + there.y2) / 2);  // the folder button, high on the page
  EXPECT_GT(marks[1].box.y1, there.y2 - 40);              // Install, in the button row

  // Install: the worker runs one file per frame until the log's last line.
  ASSERT_TRUE(click_bottom_button(chosen, there, 0));
  ASSERT_TRUE(wait_for_install());
  const PICTURE installed = settle();
  save(installed, "installed");
  EXPECT_EQ(dialog_of(installed).x1, there.x1);
  expect_full_bar(installed, there);
  expect_installed_files(target());
  expect_log(target());

  // Next leads to the readme, where Quit has become About: it opens the
  // about box, whose close button takes it away again.
  ASSERT_TRUE(click_bottom_button(installed, there, 0));
  const PICTURE readme = settle();
  save(readme, "readme");
  ASSERT_TRUE(click_bottom_button(readme, there, 2));  // Finish, Back, About
  const PICTURE about = settle();
  save(about, "about");
  const RECT_FOUND a = changed_box(readme, about);
  ASSERT_TRUE(a.found());
  EXPECT_GT(a.x2 - a.x1, 200);
  ASSERT_TRUE(click_bottom_button(about, a, 0));
  const PICTURE closed = settle();
  // Gone; only the focus mark has moved, from the forward button to About, which took
  // the focus with the click and has it back now.
  const RECT_FOUND after_about = changed_box(readme, closed);
  if (after_about.found()) {
    EXPECT_GT(after_about.y1, there.y2 - 40);
  }

  // Finish ends the program cleanly, its unpacked package gone.
  ASSERT_TRUE(click_bottom_button(readme, there, 0));
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

// The splash window is made first; the main window (found by the data's
// title and size) comes after it, and task bars group it under the
// program's own name.
TEST_F(WizardClickThrough, TheSplashComesFirstAndTaskBarsKnowTheWindow) {
  XSelectInput(probe, DefaultRootWindow(probe), SubstructureNotifyMask);
  XSync(probe, False);
  start();
  std::vector<std::pair<int, int>> made;  // the sizes of the windows made, in order
  Window first = 0;
  for (XEvent event; XPending(probe);) {
    XNextEvent(probe, &event);
    if (event.type != CreateNotify) continue;
    if (!first) first = event.xcreatewindow.window;
    made.push_back({event.xcreatewindow.width, event.xcreatewindow.height});
  }
  ASSERT_GE(made.size(), 2u);  // the splash and the main window
  EXPECT_EQ(made[0], std::make_pair(353, 143));  // the splash picture's size
  EXPECT_NE(first, window);
  XClassHint hint = {};
  ASSERT_TRUE(XGetClassHint(probe, window, &hint));
  EXPECT_STREQ(hint.res_name, "demo-setup");
  EXPECT_STREQ(hint.res_class, "Demo-setup");
  XFree(hint.res_name);
  XFree(hint.res_class);
}

// A signal and the window's close button together open one quit
// question. Stay takes it away, leaving only focus marks moved (a second
// question would show where the first was), and the run goes on; after
// another close request Leave ends the run with the status that says
// nothing was installed, its unpacked package gone.
TEST_F(WizardClickThrough, CloseRequestsAskOnceStayKeepsTheRunLeaveEndsIt) {
  start();
  park();
  const PICTURE before = settle();
  const std::string package = temporary_folder() + "/installer.pkg";
  ASSERT_TRUE(test_support::file_exists(package));
  kill(pid, SIGTERM);
  close_request();
  const PICTURE asked = settle();
  save(asked, "quit_en");
  const RECT_FOUND q = largest_change(before, asked);
  ASSERT_TRUE(q.found());
  EXPECT_GT(q.x2 - q.x1, 150);
  ASSERT_TRUE(click_bottom_button(asked, q, 0));  // Stay, right of Leave
  park();
  for (const CHANGE& c : changes_between(before, settle())) EXPECT_TRUE(c.outline);
  EXPECT_EQ(wait_for_end(0), -1);
  EXPECT_TRUE(test_support::file_exists(package));

  close_request();
  const PICTURE again = settle();
  const RECT_FOUND q2 = largest_change(before, again);
  EXPECT_EQ(std::make_pair(q2.x1, q2.y1), std::make_pair(q.x1, q.y1));
  EXPECT_EQ(std::make_pair(q2.x2, q2.y2), std::make_pair(q.x2, q.y2));
  ASSERT_TRUE(click_bottom_button(again, q2, 1));  // Leave
  EXPECT_EQ(wait_for_end(30), 1);
  EXPECT_FALSE(test_support::file_exists(package));
}

// Licences long enough for pages of the licence window: a heading with a
// capital umlaut, clauses that wrap, and a last line of its own.
std::string long_licence(const std::string& heading, const std::string& clause, const std::string& last) {
  std::string text = heading + "\n\n";
  for (int i = 1; i <= 24; ++i) text += std::to_string(i) + ". " + clause + "\n";
  return text + "\n" + last + "\n";
}

class KeyboardWalk : public WizardClickThrough {
protected:
  void SetUp() override {
    start_server_and_build(
        "1280x1024x24", "min_screen = 1024 768\n", false,
        {{"licence-en.txt", long_licence("LICENCE FOR DEMO NOTES",
                                         "You may copy, change and pass on Demo Notes, whole or in part, as "
                                         "long as this licence goes with it.",
                                         "END OF THE LICENCE")},
         {"licence-de.txt", long_licence("LIZENZ FÜR DEMO NOTES",
                                         "Änderungen, Übertragungen und Öffentliche "
                                         "Vorführungen von Demo Notes sind erlaubt, solange diese "
                                         "Lizenz dabei ist.",
                                         "ENDE DER LIZENZ")}});
  }

  // Each key tapped (">" Tab, "<" Shift+Tab, "r" Return, "R" Return held a
  // while, "e" Escape, "s" Space); the screen settles after every key but
  // Tab.
  void keys(const char* script) {
    for (const char* k = script; *k; ++k) {
      switch (*k) {
        case 'R': press(XK_Return); break;
        case 'r': tap(XK_Return); break;
        case 'e': tap(XK_Escape); break;
        case 's': tap(XK_space); break;
        default: tap(XK_Tab, *k == '<'); break;
      }
      if (*k != '<' && *k != '>') settle();
    }
  }
  // The key tapped (with Control) and the screen once it has settled.
  PICTURE after(KeySym key, bool control = false) {
    tap(key, false, control);
    return settle();
  }
  static void expect_only_focus_marks_moved(const PICTURE& a, const PICTURE& b) {
    const std::vector<CHANGE> changes = changes_between(a, b);
    EXPECT_FALSE(changes.empty());
    for (const CHANGE& c : changes) EXPECT_TRUE(c.outline);
  }

  // The licence, opened on its default button, read to its last row:
  // Page Down reaches the text while the button has the focus, a view
  // less one row at a time, until the view stops; Tab takes the focus into
  // the text, where Home and End (with Control too) go to its ends and Up
  // and Down move a row. The focus stays in the text.
  void read_licence(const PICTURE& first, const std::string& language) {
    PICTURE view = first, second;
    int pages = 0;
    for (PICTURE next = after(XK_Next); !(next == view) && pages < 40; next = after(XK_Next)) {
      view = next;
      if (++pages == 1) second = next;
    }
    ASSERT_GE(pages, 4) << language;
    save(view, "keyboard_licence_end_" + language);
    const PICTURE focused = after(XK_Tab);
    expect_only_focus_marks_moved(view, focused);
    EXPECT_TRUE(after(XK_Down) == focused) << language;  // the last row is in view
    const PICTURE home = after(XK_Home);
    expect_only_focus_marks_moved(first, home);
    const PICTURE down = after(XK_Down);
    EXPECT_FALSE(down == home);
    EXPECT_TRUE(after(XK_Up) == home);
    EXPECT_TRUE(after(XK_End, true) == focused);
    EXPECT_FALSE(after(XK_Prior) == focused);
    EXPECT_TRUE(after(XK_End) == focused);
    EXPECT_TRUE(after(XK_Home, true) == home);
    expect_only_focus_marks_moved(second, after(XK_Next));
    EXPECT_TRUE(after(XK_End) == focused);
  }

  // The whole wizard by the keyboard alone, every key a real X key event
  // to the focused window, Tab and Shift+Tab as quick taps that come
  // between two of the program's frames: the language (the second one a
  // Tab away), whose licence page shows its three buttons apart; the
  // licence read to its end; Tab on to Quit, whose question opens on Stay
  // and which Escape answers, giving the focus back; over the text to the
  // licence's default I agree; Next past the release notes and the
  // installation type; Shift+Tab past Back and Quit to the browse button;
  // the browser, which Escape closes and Space opens again; in it over
  // Cancel to New Folder, a name that Return in its entry takes, over
  // Cancel to OK, and back to OK; Tab over Quit and Back to Install; once
  // the files are in, Next to the readme, then over its text to About and
  // Finish.
  void walk(int index, const std::string& language) {
    start();
    settle();
    keys(index ? ">r" : "r");
    const PICTURE licence = settle();
    save(licence, "keyboard_licence_" + language);
    int row = 0;
    const RECT_FOUND d = dialog_of(licence);
    EXPECT_EQ(bottom_buttons(licence, d, body_of(licence, d), &row).size(), 3u);  // none covers another
    read_licence(licence, language);
    keys(">R");
    const PICTURE quit = grab();
    save(quit, "keyboard_quit_" + language);
    keys("e");
    EXPECT_FALSE(grab() == quit);  // Escape took the question away
    keys("<<rrr<<<R");
    const PICTURE browser = grab();
    save(browser, "keyboard_folder_browser_" + language);
    keys("e");
    const PICTURE options = grab();
    EXPECT_FALSE(options == browser);
    keys("s");
    EXPECT_FALSE(grab() == options);  // Space on the browse button opened it again
    keys("<<r");
    type("target");
    keys("r>>r>>>R");
    ASSERT_TRUE(wait_for_install());
    settle();
    keys("r");
    const PICTURE readme = settle();
    save(readme, "keyboard_readme_" + language);
    keys(">>rr>");
    EXPECT_TRUE(settle() == readme);  // the about box gone, the focus back on Finish
    keys("R");
    EXPECT_EQ(wait_for_end(30), 0);
    expect_installed_files(target());
    expect_log(target(), language.c_str());
    ASSERT_EQ(rename(target().c_str(), scratch.file("target-" + language).c_str()), 0);
    window = 0;
  }
};

TEST_F(KeyboardWalk, FromTheFirstPageToFinishReadingTheWholeLicenceInBothLanguages) {
  walk(0, "English");
  walk(1, "Deutsch");
}

// A declined licence ends the program with a status that says nothing was
// installed. With every debug channel on, the start-up channel has told
// each stage once, in order, as the start-up bench reads them.
TEST_F(WizardClickThrough, DisagreeEndsTheProgram) {
  start({"--vorn-showdebug=all"});
  const PICTURE licence = choose_language(settle(), 0);
  ASSERT_TRUE(click_bottom_button(licence, dialog_of(licence), 1));  // Disagree
  EXPECT_EQ(wait_for_end(20), 1);
  EXPECT_FALSE(test_support::file_exists(target()));

  std::istringstream out(test_support::read_file(scratch.file("out.txt")));
  std::vector<std::string> stages;
  for (std::string line; std::getline(out, line);)
    if (line.rfind("start-up: ", 0) == 0) stages.push_back(line.substr(10));
  EXPECT_EQ(stages, (std::vector<std::string>{"splash shown", "data unpacked", "data loaded",
                                              "window open", "page built", "first wizard frame",
                                              "wizard at rest"}));
}

}  // namespace

namespace {

// The demo as it ships, in its own skin, walked through every page in both
// languages; each page is saved as wizard_skin_<language>_<page>.png. On
// the way the test looks at what a user sees of the skin: the wizard fills
// the window (nothing black is left of it), the licence's lines start at
// one left edge, both states of the check boxes show, and the finished
// progress bar is filled with the skin's orange.
class DemoSkin : public DEMO_INSTALLER {
protected:
  void SetUp() override { start_server_and_build("1280x1024x24", "", true); }

  // Pixels of the box within tolerance of the colour in every channel.
  static int count_near(const PICTURE& p, const RECT_FOUND& box, uint32_t colour, int tolerance) {
    int count = 0;
    for (int y = box.y1; y <= box.y2; ++y)
      for (int x = box.x1; x <= box.x2; ++x) {
        const uint32_t c = p.at(x, y);
        bool near = true;
        for (int shift : {0, 8, 16})
          near = near && std::abs(static_cast<int>((c >> shift) & 0xFF) - static_cast<int>((colour >> shift) & 0xFF)) <=
                             tolerance;
        count += near;
      }
    return count;
  }

  // The dialog: the box of its body's colour, which only the wizard shows.
  static RECT_FOUND wizard_of(const PICTURE& p) {
    const uint32_t body = body_of(p, {0, 0, p.w - 1, p.h - 1});
    return box_where(p, [&](int x, int y) { return p.at(x, y) == body; });
  }

  PICTURE page(const std::string& language, const std::string& name) {
    const PICTURE p = settle();
    save(p, "skin_" + language + "_" + name);
    EXPECT_EQ(count_near(p, {0, 0, p.w - 1, p.h - 1}, 0x000000, 0), 0) << name;
    return p;
  }

  // Return presses the page's default: Next, Agree, Install, Finish.
  void forward() { press(XK_Return); }

  // Rows of dark ink inside the box, each by the column its ink starts at.
  static std::vector<int> line_starts(const PICTURE& p, const RECT_FOUND& box) {
    std::vector<int> starts;
    for (int y = box.y1; y <= box.y2; ++y)
      for (int x = box.x1; x <= box.x2; ++x)
        if ((p.at(x, y) & 0xFF) < 0x60 && ((p.at(x, y) >> 16) & 0xFF) < 0x60) {
          starts.push_back(x);
          break;
        }
    return starts;
  }

  void walk(int index, const std::string& language) {
    start();
    page(language, "language");
    for (int tab = 0; tab < index; ++tab) tap(XK_Tab);  // the language buttons in order
    forward();

    // The licence text lies on white paper inside the dialog; its lines
    // begin at one left edge, near the paper's: most rows of ink start
    // there (those that do not hold only descenders or round letters).
    const PICTURE licence = page(language, "licence");
    const RECT_FOUND d = wizard_of(licence);
    const std::vector<int> starts = line_starts(licence, {d.x1 + 10, d.y1 + 40, d.x2 - 10, d.y2 - 60});
    ASSERT_GT(starts.size(), 40u);
    const int left = *std::min_element(starts.begin(), starts.end());
    const auto at_edge = std::count_if(starts.begin(), starts.end(), [&](int x) { return x <= left + 4; });
    EXPECT_LT(left - d.x1, 40) << language;
    EXPECT_GT(at_edge * 10, static_cast<long>(starts.size()) * 6) << language;
    forward();

    page(language, "release_notes");
    forward();

    // One box checked (blue with a tick), one not (white in a grey line).
    const PICTURE type = page(language, "install_type");
    EXPECT_GT(count_near(type, wizard_of(type), 0x2F74C0, 8), 60) << language;
    EXPECT_GT(count_near(type, wizard_of(type), 0x6B7C8D, 24), 20) << language;
    forward();

    // The browse button, Shift+Tab past Back and Quit, opens the folder
    // browser with Space; Escape closes it, Tab goes on to Install.
    const PICTURE options = page(language, "options");
    for (int tab = 0; tab < 3; ++tab) tap(XK_Tab, true);
    tap(XK_space);
    const PICTURE browser = page(language, "folder_browser");
    EXPECT_FALSE(browser == options) << language;
    tap(XK_Escape);
    EXPECT_FALSE(settle() == browser) << language;
    for (int tab = 0; tab < 3; ++tab) tap(XK_Tab);
    forward();
    ASSERT_TRUE(wait_for_install());

    // At 100 % the orange fill runs across most of the dialog.
    const PICTURE installed = page(language, "installed");
    const RECT_FOUND w = wizard_of(installed);
    int widest = 0;
    for (int y = w.y1; y <= w.y2; ++y) {
      int run = 0;
      for (int x = w.x1; x <= w.x2; ++x) {
        const uint32_t c = installed.at(x, y);
        const bool orange = (c >> 16) > 0xE0 && ((c >> 8) & 0xFF) > 0x50 && ((c >> 8) & 0xFF) < 0xC0 && (c & 0xFF) < 0x60;
        run = orange ? run + 1 : 0;
        widest = std::max(widest, run);
      }
    }
    EXPECT_GT(widest, (w.x2 - w.x1) * 3 / 4) << language;
    forward();

    // The pointer resting on About (the readme's bottom-left button) lights
    // it up and, a moment later, shows its hint.
    const PICTURE readme = page(language, "readme");
    const RECT_FOUND r = wizard_of(readme);
    int row = 0;
    const auto buttons = bottom_buttons(readme, r, body_of(readme, r), &row);
    ASSERT_EQ(buttons.size(), 3u);
    // The button's middle: half way up the run of its pixels above the row.
    const int mid = (buttons.back().first + buttons.back().second) / 2;
    const uint32_t body = body_of(readme, r);
    int top = row;
    while (top > r.y1 && readme.at(mid, top - 1) != body) --top;
    point_at(mid, (top + row) / 2);
    const PICTURE hovered = settle_from(readme);
    const PICTURE hint = settle_from(hovered);
    save(hint, "skin_" + language + "_about_hint");
    // The hint starts at the pointer; left of it only the highlight changes, and
    // the rows above the highlight's top show the hint however late each came.
    int lit = 0;
    while (lit < row && [&] { for (int x = buttons.back().first; x < mid; ++x) if (readme.at(x, lit) != hint.at(x, lit)) return false; return true; }()) ++lit;
    auto above = [lit](PICTURE p) { return p.h = lit, p.pixels.resize(static_cast<size_t>(p.w) * lit), p; };
    EXPECT_TRUE(lit < top && largest_change(above(readme), above(hint)).found()) << language;
    park();
    settle();
    forward();  // Finish
    EXPECT_EQ(wait_for_end(30), 0);
    EXPECT_NE(test_support::read_file(target() + "/install_log.txt").find("Language: " + language),
              std::string::npos) << test_support::read_file(target() + "/install_log.txt");
    window = 0;
  }
};

TEST_F(DemoSkin, EveryPageInBothLanguages) {
  walk(0, "English");
  walk(1, "Deutsch");
}

// The demo made with a minimum screen size larger than an 800 x 600
// screen: the options page opens the warning, No closes it and leaves the
// wizard running, and the warning's text goes into install_log.txt as the
// header's third line.
class SmallScreen : public DEMO_INSTALLER {
protected:
  void SetUp() override { start_server_and_build("800x600x24", "min_screen = 1024 768\n"); }
};

TEST_F(SmallScreen, OptionsPageWarnsAndTheLogKeepsTheMessage) {
  start();
  const PICTURE warned = to_options_page();
  save(warned, "small_screen_warning");

  // The warning, centred in the window, reaches below the options dialog:
  // the bottom row of buttons of the two together is its own, No (Stay)
  // on the right.
  ASSERT_TRUE(click_bottom_button(warned, dialog_of(warned), 0));
  const PICTURE answered = settle_from(warned);
  save(answered, "small_screen_after_no");
  const RECT_FOUND warning = changed_box(warned, answered);
  ASSERT_TRUE(warning.found());
  EXPECT_GT(warning.x2 - warning.x1, 150);  // the whole warning went
  EXPECT_GT(warning.y2 - warning.y1, 100);
  EXPECT_EQ(wait_for_end(0), -1);  // the wizard runs on

  // Install: the log's third header line is the warning's text.
  ASSERT_TRUE(click_bottom_button(answered, dialog_of(answered), 0));
  ASSERT_TRUE(wait_for_install());
  const std::vector<std::string> lines = lines_of(test_support::read_file(target() + "/install_log.txt"));
  ASSERT_GT(lines.size(), 6u);
  EXPECT_EQ(lines[5], "ERROR: screen 800x600 does not meet minimum requirement of 1024x768");
  EXPECT_EQ(lines[6], "");
}

// A display that is there but cannot hold the window (its dialog is larger
// than the desktop): the installer says so with the sizes, not that there
// is no display.
class TooLargeWindow : public DEMO_INSTALLER {
protected:
  void SetUp() override { start_server_and_build("800x600x24", "window = 1000 700\ndialog = 1000 700\n"); }
};

TEST_F(TooLargeWindow, TheInstallerSaysItsWindowCouldNotBeMade) {
  const test_support::RunResult run =
      test_support::run_program({program}, {"DISPLAY=" + display_name, "HOME=" + scratch.file("home")});
  EXPECT_EQ(run.exit_code, 255);
  EXPECT_NE(run.out.find("The installer's window (1000 x 700 pixels, its dialog 1000 x 700) could not be made "
                         "on this display, whose desktop is 800 x 600."),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("No display"), std::string::npos) << run.out;
}

}  // namespace
