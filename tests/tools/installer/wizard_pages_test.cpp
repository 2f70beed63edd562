#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "package.h"
#include "install_dialog.h"
#include "package_test_support.h"
#include "wizard.h"
#include "wm_screen_object.h"

namespace {

enum class LICENCE { NONE, BOTH, SECOND_ONLY };

struct CASE {
  int languages, installations;
  LICENCE licence;
  bool release_notes, readme, patch;
  int16_t language;  // the chosen one
};

std::string describe(const CASE& c) {
  char text[160];
  snprintf(text, sizeof text, "languages %d installations %d licence %d notes %d readme %d patch %d language %d",
           c.languages, c.installations, static_cast<int>(c.licence), c.release_notes, c.readme, c.patch,
           c.language);
  return text;
}

// The pages a user meets from the start page on, Forward only, told as a
// list rather than as rules from one page to the next.
std::vector<int32_t> expected_walk(const CASE& c) {
  const bool licence = c.licence == LICENCE::BOTH || (c.licence == LICENCE::SECOND_ONLY && c.language == 1);
  std::vector<int32_t> pages = {2};
  if (c.languages > 1) pages.push_back(3);
  if (c.patch) {
    pages.insert(pages.end(), {0, 1, 10});
    return pages;
  }
  if (licence) pages.push_back(4);
  if (c.release_notes) pages.push_back(5);
  if (c.installations > 1) pages.push_back(6);
  pages.insert(pages.end(), {7, 8});
  if (c.readme) pages.push_back(9);
  pages.push_back(10);
  return pages;
}

class WizardPages : public package_test_support::PackageScratchTest {
protected:
  void TearDown() override {
    data.package.reset();
    PackageScratchTest::TearDown();
  }

  // A package holding the text entries the case asks for.
  void make_package(const CASE& c, const std::string& name) {
    data.package = std::make_unique<PACKAGE>(work, name.c_str(), true, 0, false, false);
    ASSERT_TRUE(data.package->is_open());
    ASSERT_TRUE(test_support::write_file(scratch.file("work/text.txt"), "text\n"));
    auto add = [&](const char* kind, int language) {
      char stored[64];
      snprintf(stored, sizeof stored, "%s-%d", kind, language);
      ASSERT_TRUE(data.package->add_file(work, "text.txt", stored));
    };
    for (int language = 0; language < c.languages; ++language) {
      if (c.licence == LICENCE::BOTH || (c.licence == LICENCE::SECOND_ONLY && language == 1))
        add("licence", language);
      if (c.release_notes) add("release_notes", language);
      if (c.readme) add("readme", language);
    }
  }

  void set_case(const CASE& c) {
    data.languages.assign(static_cast<size_t>(c.languages), DATABASE_LANGUAGE());
    data.installations.assign(static_cast<size_t>(c.installations), DATABASE_INSTALLATION());
    data.patch_mode = c.patch;
    data.current_language = c.language;
  }

  DATABASE data;
};

TEST_F(WizardPages, ForwardAndPreviousFollowTheWalkOverEveryCombination) {
  int package_number = 0;
  for (int languages : {1, 2})
    for (LICENCE licence : {LICENCE::NONE, LICENCE::BOTH, LICENCE::SECOND_ONLY})
      for (bool notes : {false, true})
        for (bool readme : {false, true})
          for (int installations : {1, 2})
            for (bool patch : {false, true})
              for (int16_t language = 0; language < languages; ++language) {
                if (licence == LICENCE::SECOND_ONLY && languages == 1) continue;
                const CASE c{languages, installations, licence, notes, readme, patch, language};
                SCOPED_TRACE(describe(c));
                make_package(c, "p" + std::to_string(package_number++) + ".pkg");
                set_case(c);
                const std::vector<int32_t> walk = expected_walk(c);
                for (size_t i = 0; i + 1 < walk.size(); ++i) {
                  data.current_page = walk[i];
                  EXPECT_EQ(data.get_next_page(), walk[i + 1]) << "from page " << walk[i];
                }
                // Back from every page of the walk to the one before it,
                // except that the packing pages stay where they are and the
                // start page is its own previous page.
                for (size_t i = 0; i < walk.size(); ++i) {
                  data.current_page = walk[i];
                  int32_t back = i == 0 ? 2 : walk[i - 1];
                  if (walk[i] <= 1) back = walk[i];
                  if (walk[i] == 10 && patch) continue;  // the packing log ends the program
                  EXPECT_EQ(data.get_previous_page(), back) << "from page " << walk[i];
                }
                // Previous never looks at patch mode: from the options page it
                // leads where it would without it.
                if (patch) {
                  CASE plain = c;
                  plain.patch = false;
                  const std::vector<int32_t> plain_walk = expected_walk(plain);
                  size_t options = 0;
                  while (plain_walk[options] != 7) ++options;
                  data.current_page = 7;
                  EXPECT_EQ(data.get_previous_page(), plain_walk[options - 1]);
                }
              }
}

TEST_F(WizardPages, EdgesOfThePageRange) {
  const CASE bare{1, 1, LICENCE::NONE, false, false, false, 0};
  set_case(bare);  // no package at all: every text test is false
  data.current_page = 2;
  EXPECT_EQ(data.get_next_page(), 7);
  data.current_page = 7;
  EXPECT_EQ(data.get_previous_page(), 2);
  for (int32_t page : {11, 200, -1}) {
    data.current_page = page;
    EXPECT_EQ(data.get_next_page(), 2) << page;
    EXPECT_EQ(data.get_previous_page(), 2) << page;
  }
  data.current_page = 9;
  EXPECT_EQ(data.get_next_page(), 10);
  data.current_page = 10;
  EXPECT_EQ(data.get_next_page(), 10);
  EXPECT_EQ(data.get_previous_page(), 8);
}

// The installer's own database, as the button handler sees it, holding
// the case's package; put back empty afterwards.
class WizardButton : public WizardPages {
protected:
  void TearDown() override {
    DATABASE& global = installer_database();
    global.package.reset();
    global.clear();
    global.current_language = 0;
    global.current_page = 2;
    WizardPages::TearDown();
  }
};

TEST_F(WizardButton, ChoosingALanguageFollowsThatLanguagesPages) {
  // Only the second language has a licence; the cell was built while the
  // first was current, so the target it carries skips the licence.
  const CASE c{2, 1, LICENCE::SECOND_ONLY, false, false, false, 0};
  make_package(c, "languages.pkg");
  DATABASE& global = installer_database();
  global.package = std::move(data.package);
  global.languages.assign(2, DATABASE_LANGUAGE());
  global.installations.assign(1, DATABASE_INSTALLATION());
  global.current_language = 0;
  global.current_page = 3;
  const uintptr_t stale_target = static_cast<uintptr_t>(global.get_next_page());
  EXPECT_EQ(stale_target, 7u);

  WM_SCREEN_OBJECT cell(false, nullptr, 0, 0);
  cell.value_word = 1;
  EXPECT_EQ(on_wizard_button(&cell, 3, stale_target), page_action::RELOAD_PAGE);
  EXPECT_EQ(global.current_language, 1);
  EXPECT_EQ(global.current_page, 4);

  // Back on the language page, the first language leads past the licence.
  global.current_page = 3;
  cell.value_word = 0;
  EXPECT_EQ(on_wizard_button(&cell, 3, 4), page_action::RELOAD_PAGE);
  EXPECT_EQ(global.current_page, 7);
}

TEST_F(WizardButton, NavigationStoresThePageAndFinishEnds) {
  DATABASE& global = installer_database();
  struct ROW {
    uintptr_t id, value;
    int32_t result, page;
    uint8_t desktop = 1, menu = 1;  // the two link boxes, both ticked before each row
  } rows[] = {
      {100, 6, page_action::RELOAD_PAGE, 6},
      {100, 10, page_action::END, 10},   // Finish and Disagree
      {101, 0, 2, 5},                    // carry on after a copy error: the asking dialog closes
      {102, 7, 0, 5},                    // unknown ids do nothing
      {6, 0, 0, 5, 0, 1},                // no ticked box behind the desktop link's id: only it goes off
      {7, 0, 0, 5, 1, 0},                // and the same for the menu entry's
  };
  for (const ROW& row : rows) {
    global.current_page = 5;
    global.desktop_shortcut = global.menu_shortcut = 1;
    EXPECT_EQ(on_wizard_button(nullptr, row.id, row.value), row.result) << row.id << " " << row.value;
    EXPECT_EQ(std::vector<int>({global.current_page, global.desktop_shortcut, global.menu_shortcut}),
              std::vector<int>({row.page, row.desktop, row.menu})) << row.id << " " << row.value;
  }
}

TEST(InstallDialogText, PathsShowAsTheFlagsAsk) {
  DATABASE data;
  data.languages.assign(1, DATABASE_LANGUAGE());
  snprintf(data.languages[0].texts[INITIALIZING_STRING], DATABASE_TEXT_SIZE, "Starting");
  struct ROW {
    uint8_t names, paths;
    const char* text;
    const char* shown;
  } rows[] = {
      {1, 1, "/opt/app/bin/tool", "/opt/app/bin/tool"},
      {0, 1, "/opt/app/bin/tool", "/opt/app/bin/"},
      {0, 0, "/opt/app/bin/tool", "Starting"},
      {0, 0, "Complete", "Complete"},  // texts that are no paths always show
      {0, 1, "Installing", "Installing"},
      // The worker hands paths over in the system's text: a folder's path
      // is cut after its last "/", never inside a code run.
      {1, 1, "/opt/Gr\xFC\xDF""e/\x01,20AC\x01.txt", "/opt/Gr\xFC\xDF""e/\x01,20AC\x01.txt"},
      {0, 1, "/opt/Gr\xFC\xDF""e/\x01,20AC\x01.txt", "/opt/Gr\xFC\xDF""e/"},
  };
  for (const ROW& row : rows) {
    data.show_filenames = row.names;
    data.show_filepaths = row.paths;
    char buffer[256];
    EXPECT_STREQ(INSTALL_DIALOG::shown_text(data, row.text, buffer, sizeof buffer), row.shown) << row.text;
  }
}

}  // namespace
