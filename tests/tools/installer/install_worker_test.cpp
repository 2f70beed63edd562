// The install worker driven step by step over packages made in a scratch
// home ("$ROOT0"), with a page that records what the run shows and asks.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "command.h"
#include "database.h"
#include "file_services.h"
#include "install_page.h"
#include "package.h"
#include "package_test_support.h"
#include "platform.h"

namespace {

using package_test_support::pattern;

struct RECORDING_PAGE : INSTALL_PAGE {
  void set_progress(int32_t percent, const char* text) override { progress.emplace_back(percent, text); }
  void install_finished() override { ++finished; }
  void ask_on_copy_error(const char* path) override { copy_errors.emplace_back(path); }
  void report_path_error(const char* folder, const char* reason) override {
    path_errors.push_back(*folder ? std::string(folder) + ": " + reason : reason);
  }
  void logged(const char* line) override { lines += line; }

  std::vector<std::pair<int32_t, std::string>> progress;
  std::vector<std::string> copy_errors, path_errors;
  std::string lines;
  int finished = 0;
};

DATABASE_FILE file_record(const std::string& name, const std::string& path, const std::string& packed,
                          uint8_t overwrite = 0) {
  DATABASE_FILE f;
  set_field_text(f.src_name, name);
  set_field_text(f.dest_path_from_inst_loc, path);
  set_field_text(f.packed_name, packed);
  f.overwrite = overwrite;
  return f;
}

// A web link on the desktop, or in the menu section given. Its icon's
// folder is a bare name, which resolves to no folder.
DATABASE_SHORTCUT site_link(const char* menu_section = "") {
  DATABASE_SHORTCUT link;
  link.kind = 2;
  set_field_text(link.target, "http://example.invalid/");
  set_field_text(link.name, "Site");
  set_field_text(link.menu_section, menu_section);
  set_field_text(link.icon_path_from_inst_loc, "i");
  return link;
}

// What a test does at a step of the file services (a folder just made, a
// file just named): the race another user would run, at its worst moment.
std::function<void(FILE_STEP, const std::string&)> on_file_step;
void file_step(FILE_STEP step, const char* path) {
  if (on_file_step) on_file_step(step, path);
}

constexpr uid_t kOtherUser = 65534;

// A link to target at path, owned by another user.
void plant_link(const std::string& target, const std::string& path) {
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
  ASSERT_EQ(lchown(path.c_str(), kOtherUser, kOtherUser), 0);
}

std::vector<std::string> commands;
int record_command(const char* const* argv, uint32_t) {
  commands.emplace_back(argv[0]);
  return 0;
}

class InstallWorker : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    PackageScratchTest::SetUp();
    root = scratch.file("root");
    ASSERT_EQ(mkdir(root.c_str(), 0700), 0);
    set_system_root_override(root.c_str());
    set_command_runner(record_command);
    commands.clear();
    ASSERT_EQ(mkdir(scratch.file("work/src").c_str(), 0700), 0);
    ASSERT_TRUE(source.set_absolute(scratch.file("work/src").c_str()));

    data.pack_folder = work;
    data.current_page = WIZARD_PAGE_INSTALLING;
    set_field_text(data.install_folder, "$ROOT0/inst");
    set_field_text(data.application.app_string, "demo");
    data.use_system_paths = 0;
    data.time_stamp = 1000000;
    data.languages.resize(1);
    DATABASE_LANGUAGE& language = data.languages[0];
    set_field_text(language.name, "English");
    set_field_text(language.texts[INSTALLING_STRING], "Installing");
    set_field_text(language.texts[INSTALLING_DESKTOP_SHORTCUT], "Desktop link");
    set_field_text(language.texts[INSTALLING_MENU_SHORTCUT], "Menu entry");
    set_field_text(language.texts[COMPLETE], "Complete");
    data.installations.resize(1);
    inst = home + "/inst";
  }
  void TearDown() override {
    set_file_step_hook(nullptr);
    on_file_step = nullptr;
    data.package.reset();
    clear_base_path();
    set_command_runner(nullptr);
    set_system_root_override(nullptr);
    PackageScratchTest::TearDown();
  }

  DATABASE_INSTALLATION& installation() { return data.installations[0]; }

  // installer.pkg in work, each entry stored from a source file of its
  // contents.
  void make_package(const std::vector<std::pair<std::string, std::string>>& entries) {
    PACKAGE package(work, "installer.pkg", true, 0, false, false);
    ASSERT_TRUE(package.is_open());
    for (const auto& [stored, bytes] : entries) {
      ASSERT_TRUE(test_support::write_file(source.path + std::string("/entry"), bytes));
      ASSERT_TRUE(package.add_file(source, "entry", stored.c_str()));
    }
    ASSERT_TRUE(package.flush());
  }

  // Leaves the installing page (shown on the page given, else the
  // fixture's) and comes back: the next step starts anew.
  void start_again(INSTALL_PAGE* shown = nullptr) {
    data.current_page = WIZARD_PAGE_OPTIONS, data.install_step(shown ? shown : &page);
    data.current_page = WIZARD_PAGE_INSTALLING;
  }

  // Steps until the finishing step has run; the number of calls it took.
  int run_to_end(int limit = 100000) {
    for (int calls = 1; calls <= limit; ++calls) {
      data.install_step(&page);
      if (data.install_complete()) return calls;
    }
    return -1;
  }

  std::string log() { return test_support::read_file(inst + "/install_log.txt"); }
  // How many descriptors of this process hold the file or folder at path
  // open (the install log, the install folder).
  static int held(const std::string& path) {
    struct stat wanted {};
    if (stat(path.c_str(), &wanted) != 0) return -1;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      struct stat open_file {};
      count += stat(entry.path().c_str(), &open_file) == 0 && open_file.st_dev == wanted.st_dev &&
               open_file.st_ino == wanted.st_ino;
    }
    return count;
  }
  int held_logs() { return held(inst + "/install_log.txt"); }
  std::string header(const char* check_message = "") {
    return std::string("Installed Files\n---------------\n\nLanguage: English\nSettings: 0 0 ") +
           data.install_folder + "\n" + check_message + "\n";
  }
  static mode_t mode_of(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  DATABASE data;
  RECORDING_PAGE page;
  FOLDER source;
  std::string root, inst;
};

TEST_F(InstallWorker, InstallsFilesOneStepEachAndLogsThem) {
  make_package({{"pkg/tool", pattern(70000, 1)}, {"pkg/readme", "read me\n"}});
  data.use_system_paths = 1;  // not allowed by the installation: the log says 0
  data.settings_value = 3;
  set_field_text(data.desktop_check_message, "ERROR: screen 640x480 does not meet minimum requirement of 800x600\n");
  DATABASE_FILE tool = file_record("tool.bin", "$app/bin", "pkg/tool");
  set_field_text(tool.dest_name, "tool");
  tool.switch_user = 1;
  tool.permissions = 0666;  // its source's bits, writable by all
  DATABASE_FILE elsewhere = file_record("win.exe", "$app", "pkg/tool");
  elsewhere.platform.set("windows");
  installation().files = {tool, file_record("nothing", "$app", ""), elsewhere,
                          file_record("readme", "$app/doc/", "pkg/readme")};

  // Step 0, four file steps, the shortcut step and the finishing step.
  EXPECT_EQ(run_to_end(), 7);
  EXPECT_EQ(test_support::read_file(inst + "/bin/tool"), pattern(70000, 1));
  EXPECT_EQ(test_support::read_file(inst + "/doc/readme"), "read me\n");
  EXPECT_FALSE(test_support::file_exists(inst + "/win.exe"));
  // The record's bits where it has them, else 0755; the set-id bits on
  // asking, and then no one else may write the file.
  EXPECT_EQ(mode_of(inst + "/bin/tool"), 06644u);
  EXPECT_EQ(mode_of(inst + "/doc/readme"), 0755u);

  const std::string expected = std::string("Installed Files\n---------------\n\nLanguage: English\n") +
                               "Settings: 3 0 $ROOT0/inst\n" +
                               "ERROR: screen 640x480 does not meet minimum requirement of 800x600\n\n" +
                               "Installed \"" + inst + "/bin/tool\"\n" + "Installed \"" + inst + "/doc/readme\"\n" +
                               "Installation completed without any errors.\n";
  EXPECT_EQ(log(), expected);
  EXPECT_EQ(page.lines, expected);
  const std::vector<std::pair<int32_t, std::string>> progress = {
      {0, "Installing"}, {20, "/bin/tool"}, {80, "/doc/readme"}, {100, "Complete"}};
  EXPECT_EQ(page.progress, progress);
  EXPECT_EQ(page.finished, 1);
  EXPECT_EQ(data.install_error_count(), 0);
  EXPECT_EQ(get_idle_wait(), 50u);

  // Further calls on the page do nothing.
  data.install_step(&page);
  EXPECT_EQ(page.progress.size(), progress.size());
  EXPECT_EQ(log(), expected);
}

// The data's texts are the system's 8-bit text, names on disk UTF-8: the
// log keeps each as it is, the page gets its lines all in UTF-8 and its
// progress all in the system's text, every text converted once.
TEST_F(InstallWorker, EachTextIsConvertedOnceForWhereItGoes) {
  make_package({{"e", "bytes"}});
  set_field_text(data.languages[0].name, "Fran\xE7" "ais");
  const char* name = "M\xC3\xBCller";
  installation().files = {file_record(name, "$app", "e")};
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(test_support::read_file(inst + "/" + name), "bytes");
  const std::string file_line = std::string("Installed \"") + inst + "/" + name + "\"\n";
  EXPECT_NE(log().find("Language: Fran\xE7" "ais\n"), std::string::npos);
  EXPECT_NE(log().find(file_line), std::string::npos);
  EXPECT_NE(page.lines.find("Language: Fran\xC3\xA7" "ais\n"), std::string::npos);
  EXPECT_NE(page.lines.find(file_line), std::string::npos);
  EXPECT_EQ(page.progress[1].second, "/M\xFCller");
}

// A text of the data goes into the log and onto the page with its control
// characters escaped, judged as the text is shown (the Latin-1 byte 0x9B
// is U+009B): no line is split or forged, no terminal that shows the
// log takes a command from it.
TEST_F(InstallWorker, ControlCharactersOfTextsAreEscapedInTheLog) {
  make_package({{"e", "bytes"}});
  installation().files = {file_record("a", "$app", "e")};
  const struct {
    const char* name;  // the language's, in the system's text
    const char* logged;
  } rows[] = {
      {"Bad\x1b]0;owned\x07", "Bad\\x1b]0;owned\\x07"},
      {"Csi\x9b" "2J", "Csi\\u009b2J"},
      {"Run\x01,0085\x01", "Run\\u0085"},
      {"Two\nSettings: 0 1 forged", "Two\\nSettings: 0 1 forged"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.logged);
    RECORDING_PAGE fresh;
    set_field_text(data.languages[0].name, row.name);
    start_again(&fresh);
    for (int i = 0; i < 10; ++i) data.install_step(&fresh);
    const std::string line = std::string("\nLanguage: ") + row.logged + "\nSettings: ";
    EXPECT_NE(log().find(line), std::string::npos) << log();
    EXPECT_NE(fresh.lines.find(line), std::string::npos) << fresh.lines;
  }
}

TEST_F(InstallWorker, OverwriteRulesFollowTheDataTimeStamp) {
  struct CASE {
    uint8_t overwrite;
    // -1 none, else the existing file's age against time_stamp: 0 same, 1
    // older, 2 newer; 3 a link to a newer file in a folder only root may
    // read, 4 a pipe: neither is a file there, both are replaced.
    int existing;
    bool replaced;
  };
  const CASE cases[] = {{0, 0, true},  {0, 2, true},  {2, -1, true}, {2, 1, false}, {1, -1, true}, {1, 0, false},
                        {1, 1, true},  {1, 2, false}, {7, 2, true},  {2, 3, true},  {1, 3, true},  {2, 4, true}};
  make_package({{"new", "new bytes"}});
  ASSERT_EQ(mkdir(inst.c_str(), 0700), 0);
  const std::string hidden = scratch.file("hidden");
  ASSERT_EQ(mkdir(hidden.c_str(), 0700), 0);
  std::string lines;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string name = "f" + std::to_string(i);
    installation().files.push_back(file_record(name, "$app", "new", cases[i].overwrite));
    const bool replaced = cases[i].replaced;
    lines += std::string(replaced ? "Installed" : "Skipped") + " \"" + inst + "/" + name + "\"\n";
    if (cases[i].existing < 0) continue;
    std::string path = inst + "/" + name;
    if (cases[i].existing == 4) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
      continue;
    }
    if (cases[i].existing == 3) {
      ASSERT_EQ(symlink((hidden + "/" + name).c_str(), path.c_str()), 0);
      path = hidden + "/" + name;
    }
    ASSERT_TRUE(test_support::write_file(path, "old bytes"));
    const time_t when = data.time_stamp + (cases[i].existing == 1 ? -1 : cases[i].existing >= 2 ? 1 : 0);
    const utimbuf times{when, when};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  }
  ASSERT_GT(run_to_end(), 0);
  for (size_t i = 0; i < std::size(cases); ++i) {
    struct stat st {};
    const std::string path = inst + "/f" + std::to_string(i);
    ASSERT_TRUE(lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) << "case " << i;  // a pipe would block
    EXPECT_EQ(test_support::read_file(path), cases[i].replaced ? "new bytes" : "old bytes") << "case " << i;
  }
  // What the links led to is as it was.
  EXPECT_EQ(test_support::read_file(hidden + "/f9"), "old bytes");
  EXPECT_EQ(test_support::read_file(hidden + "/f10"), "old bytes");
  EXPECT_EQ(log(), header() + lines + "Installation completed without any errors.\n");
}

// The folders the run makes take their sources' bits once their files are
// in (a folder no one may write to is still filled); a folder that was
// there keeps its own, one without bits in the package is made as the
// umask says. A run left halfway sets the bits of what it made, and a
// folder put in the place of one the run made keeps its bits and is
// logged.
TEST_F(InstallWorker, FoldersTheRunMakesTakeTheirBitsOnceFilled) {
  make_package({{"e", "bytes"}});
  ASSERT_EQ(mkdir(inst.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((inst + "/existing").c_str(), 0711), 0);
  data.folder_modes = {{"private", 0700}, {"empty", 0750}, {"existing", 0700},
                       {"locked", 0500}, {"outer", 0550},  {"outer/inner", 0700}};
  const struct {
    std::string folder;
    mode_t mode;
    std::vector<std::string> files;
  } rows[] = {
      {"private", 0700, {"a"}},    {"empty", 0750, {}},         {"existing", 0711, {"a"}},
      {"locked", 0500, {"a", "b"}}, {"outer/inner", 0700, {"a"}}, {"outer", 0550, {}},
      {"plain", 0755, {"a"}},
  };
  for (const auto& row : rows) {
    if (row.folder == "outer") continue;  // made on the way to its inner folder
    if (row.files.empty()) installation().files.push_back(file_record("", "$app/" + row.folder, row.folder + "/"));
    for (const std::string& name : row.files)
      installation().files.push_back(file_record(name, "$app/" + row.folder, "e"));
  }
  ASSERT_GT(run_to_end(), 0);
  EXPECT_TRUE(data.install_succeeded());
  for (const auto& row : rows) {
    EXPECT_EQ(mode_of(inst + "/" + row.folder), row.mode) << row.folder;
    for (const std::string& name : row.files)
      EXPECT_EQ(test_support::read_file(inst + "/" + row.folder + "/" + name), "bytes") << row.folder << name;
  }

  std::filesystem::remove_all(inst);
  start_again();
  for (int i = 0; i < 3; ++i) data.install_step(&page);  // the log, private/a, empty
  start_again();
  EXPECT_EQ(mode_of(inst + "/private"), 0700u);
  EXPECT_EQ(mode_of(inst + "/empty"), 0750u);

  std::filesystem::remove_all(inst);
  installation().files = {file_record("a", "$app/private", "e")};
  data.install_step(&page);
  data.install_step(&page);
  ASSERT_EQ(rename((inst + "/private").c_str(), (inst + "/made").c_str()), 0);
  ASSERT_EQ(mkdir((inst + "/private").c_str(), 0755), 0);
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(mode_of(inst + "/private"), 0755u);
  EXPECT_EQ(log(), header() + "Installed \"" + inst + "/private/a\"\n\"" + inst +
                       "/private\" could not take its bits (0700)\nInstallation completed with 1 errors.\n");
}

// Bad records cost their own file only: each is logged under the path it
// would have had, counted and asked about, and the run goes on as after
// "Yes". Nothing lands outside the install folder.
TEST_F(InstallWorker, FailedFilesAreLoggedCountedAndAskedAbout) {
  make_package({{"good", "good"}, {"liar", pattern(3000, 2)}});
  // The "liar" entry claims more bytes than its blocks hold.
  {
    std::string bytes = test_support::read_file(scratch.file("work/installer.pkg"));
    const size_t name = bytes.find("liar");
    ASSERT_NE(name, std::string::npos);
    uint32_t size = 0;
    memcpy(&size, bytes.data() + name + 4 + 12, 4);
    ASSERT_EQ(size, 3000u);
    size = 900000;
    memcpy(bytes.data() + name + 4 + 12, &size, 4);
    ASSERT_TRUE(test_support::write_file(scratch.file("work/installer.pkg"), bytes));
  }
  ASSERT_EQ(mkdir(inst.c_str(), 0700), 0);
  ASSERT_TRUE(test_support::write_file(inst + "/blocker", "a file where a folder is needed"));
  struct CASE {
    const char* name;
    const char* path;
    const char* packed;
    std::string shown;  // P in the log
  };
  const CASE cases[] = {
      {"missing", "$app", "no such entry", inst + "/missing"},
      {"liar", "$app", "liar", inst + "/liar"},
      {"../escape", "$app", "good", inst + "/../escape"},
      {"sub/escape", "$app", "good", inst + "/sub/escape"},
      {"climb", "$app/../../out", "good", "$app/../../out/climb"},
      {"unknown", "$NO_SUCH_VARIABLE/x", "good", "$NO_SUCH_VARIABLE/x/unknown"},
      {"inside", "$app/blocker", "good", inst + "/blocker/inside"},
  };
  std::string lines;
  std::vector<std::string> asked;
  for (const CASE& c : cases) {
    installation().files.push_back(file_record(c.name, c.path, c.packed));
    lines += "\"" + c.shown + "\" failed to unpack (" + c.packed + ")\n";
    asked.push_back(c.shown);
  }
  installation().files.push_back(file_record("good", "$app", "good"));
  lines += "Installed \"" + inst + "/good\"\n";

  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(log(), header() + lines + "Installation completed with 7 errors.\n");
  EXPECT_EQ(data.install_error_count(), 7);
  EXPECT_EQ(page.copy_errors, asked);
  EXPECT_EQ(test_support::read_file(inst + "/good"), "good");
  for (const char* outside : {"escape", "out"})
    EXPECT_FALSE(test_support::file_exists(home + "/" + outside)) << outside;
  for (const char* inside : {"liar", "sub"}) EXPECT_FALSE(test_support::file_exists(inst + "/" + inside));
  EXPECT_FALSE(test_support::file_exists(root + "/x"));
}

// With system paths the install folder is the application's system folder
// and the system forms of the paths win where records give them; without
// them (not chosen, or not allowed by the installation) every file and the
// log go where the ordinary forms say.
TEST_F(InstallWorker, SystemPathsInstallUnderTheSystemFoldersOnlyWhenUsed) {
  make_package({{"e", "bytes"}});
  ASSERT_EQ(mkdir((root + "/opt").c_str(), 0700), 0);
  set_field_text(data.log.system_dest_path_from_inst_loc, "$SYSDATA/log");
  DATABASE_FILE shared = file_record("shared", "$app/lib", "e");
  set_field_text(shared.system_dest_path_from_inst_loc, "$SYSDATA/share");
  installation().files = {shared, file_record("tool", "$app/more", "e")};
  const std::string system_app = root + "/opt/demo/bin", system_data = root + "/opt/demo/data";
  const struct {
    uint8_t allowed, chosen;
    std::string log, shared, tool;
  } cases[] = {
      {1, 1, system_data + "/log", system_data + "/share/shared", system_app + "/more/tool"},
      {0, 1, inst, inst + "/lib/shared", inst + "/more/tool"},
      {1, 0, inst, inst + "/lib/shared", inst + "/more/tool"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shared);
    installation().allow_system_paths = c.allowed;
    data.use_system_paths = c.chosen;
    start_again();
    ASSERT_GT(run_to_end(), 0) << (page.path_errors.empty() ? "" : page.path_errors.back());
    EXPECT_EQ(test_support::read_file(c.log + "/install_log.txt"),
              std::string("Installed Files\n---------------\n\nLanguage: English\nSettings: 0 ") +
                  (c.allowed && c.chosen ? "1" : "0") + " $ROOT0/inst\n\nInstalled \"" + c.shared +
                  "\"\nInstalled \"" + c.tool + "\"\nInstallation completed without any errors.\n");
    // On disk, not only in the log: nothing in the folders not chosen.
    EXPECT_EQ(test_support::read_file(c.shared), "bytes");
    EXPECT_EQ(test_support::read_file(c.tool), "bytes");
    const std::set<std::string> files = {c.shared, c.tool, c.log + "/install_log.txt"};
    for (const std::string& below : {root, home})
      for (const auto& entry : std::filesystem::recursive_directory_iterator(below))
        if (entry.is_regular_file()) {
          EXPECT_EQ(files.count(entry.path().string()), 1u) << entry.path();
        }
    std::filesystem::remove_all(root + "/opt/demo");
    std::filesystem::remove_all(inst);
  }
}

// The automatic run has no page: nothing is asked, each failed file is
// counted (more than a byte holds, never reported as success) and the run
// goes on.
TEST_F(InstallWorker, WithoutAPageFailuresAreCountedAndTheRunGoesOn) {
  make_package({{"e", "bytes"}});
  installation().files.assign(256, file_record("a", "$app", "absent"));
  installation().files.push_back(file_record("b", "$app", "e"));
  for (int i = 0; i < 300; ++i) data.install_step(nullptr);
  EXPECT_TRUE(data.install_complete());
  EXPECT_EQ(data.install_error_count(), 256);
  std::string failed;
  for (int i = 0; i < 256; ++i) failed += "\"" + inst + "/a\" failed to unpack (absent)\n";
  EXPECT_EQ(log(), header() + failed + "Installed \"" + inst + "/b\"\nInstallation completed with 256 errors.\n");
}

// Without a package the worker opens installer.pkg read-only and never
// makes an empty one.
TEST_F(InstallWorker, AMissingPackageIsNotCreated) {
  installation().files = {file_record("a", "$app", "a")};
  ASSERT_GT(run_to_end(), 0);
  EXPECT_FALSE(test_support::file_exists(scratch.file("work/installer.pkg")));
  EXPECT_EQ(log(), header() + "\"" + inst + "/a\" failed to unpack (a)\nInstallation completed with 1 errors.\n");
}

// Long paths keep whole lines, in a log that lives in a folder of its own
// under the install folder.
TEST_F(InstallWorker, LongPathsKeepWholeLines) {
  make_package({{"e", "bytes"}});
  const std::string part(200, 'd');
  set_field_text(data.install_folder, "$ROOT0/" + part + "/" + part + "/" + part + "/" + part);
  set_field_text(data.log.dest_path_from_inst_loc, "$app/logs");
  const std::string name(200, 'n');
  installation().files = {file_record(name, "$app/" + part, "e")};
  ASSERT_GT(run_to_end(), 0);
  inst = home + "/" + part + "/" + part + "/" + part + "/" + part;
  const std::string line = "Installed \"" + inst + "/" + part + "/" + name + "\"\n";
  ASSERT_GT(line.size(), 1100u);
  EXPECT_EQ(test_support::read_file(inst + "/logs/install_log.txt"),
            header() + line + "Installation completed without any errors.\n");
}

// Leaving the installing page abandons the run: the log says so and how
// far it got, "$APP" is the program's folder again, the frame loop sleeps
// again, and coming back starts over with a new log. The log is held open
// for the run alone, each line in it as soon as its step is done.
TEST_F(InstallWorker, LeavingThePageAbandonsTheRun) {
  make_package({{"e", "bytes"}});
  installation().files = {file_record("a", "$app", "e"), file_record("b", "$app", "e")};
  FOLDER program;
  data.install_step(&page);
  data.install_step(&page);
  FOLDER during;
  EXPECT_EQ(during.path, inst);
  EXPECT_EQ(get_idle_wait(), 0u);
  EXPECT_EQ(log(), header() + "Installed \"" + inst + "/a\"\n");
  EXPECT_EQ(held_logs(), 1);

  data.current_page = WIZARD_PAGE_OPTIONS, data.install_step(&page);
  FOLDER after;
  EXPECT_STREQ(after.path, program.path);
  EXPECT_EQ(get_idle_wait(), 50u);
  EXPECT_FALSE(data.install_complete());
  EXPECT_EQ(log(), header() + "Installed \"" + inst + "/a\"\nInstallation interrupted: 1 file installed.\n");
  EXPECT_EQ(std::pair(held_logs(), held(inst)), std::pair(0, 0));  // nor the install folder or a destination in it
  data.install_step(&page);  // said once
  EXPECT_EQ(page.lines, log());
  data.current_page = WIZARD_PAGE_INSTALLING, data.install_step(&page);  // begun, nothing installed yet
  data.current_page = WIZARD_PAGE_OPTIONS, data.install_step(&page);
  EXPECT_EQ(log(), header() + "Installation interrupted: 0 files installed.\n");

  data.current_page = WIZARD_PAGE_INSTALLING;
  ASSERT_EQ(run_to_end(), 5);
  EXPECT_EQ(log(), header() + "Installed \"" + inst + "/a\"\nInstalled \"" + inst + "/b\"\n" +
                       "Installation completed without any errors.\n");
  EXPECT_EQ(held_logs(), 0);
}

// A folder that cannot be used ends the run before anything is written:
// the page reports it and later calls do nothing until the page changes.
TEST_F(InstallWorker, UnusableFoldersReportAPathError) {
  make_package({{"e", "bytes"}});
  ASSERT_TRUE(test_support::write_file(home + "/file", "not a folder"));
  struct CASE {
    const char* install_folder;
    const char* log_path;
    std::string reported;  // the folder and the reason
    std::string user_home = "";  // another home folder than the fixture's
    uint8_t system_paths = 0;
  };
  const std::string climbs = ": the path climbs out of its folder with \"..\"";
  const CASE cases[] = {
      {"$ROOT0/file/inst", "", home + "/file: Not a directory"},
      {"$NO_SUCH_VARIABLE/inst", "", "$NO_SUCH_VARIABLE/inst: unknown path variable"},
      {"", "", "no folder is given"},
      {"$ROOT0/inst", "$app/../../log", "$app/../../log" + climbs},
      {"$ROOT0/inst", "$app/x/../..", "$app/x/../.." + climbs},
      // A user whose home folder does not exist: it is not made.
      {"$ROOT0/inst", "", home + "/gone: No such file or directory", home + "/gone"},
      {"$ROOT5/inst", "", "$ROOT5: No such file or directory"},
      {"inst", "", "inst: not a folder path the installer can use"},
      // The system folder cannot be made: /opt is missing under the root.
      {"$ROOT0/inst", "", root + "/opt: No such file or directory", "", 1},
  };
  installation().files = {file_record("a", "$app", "e")};
  for (const CASE& c : cases) {
    RECORDING_PAGE fresh;
    set_field_text(data.install_folder, c.install_folder);
    set_field_text(data.log.dest_path_from_inst_loc, c.log_path);
    set_home_folder_override((c.user_home.empty() ? home : c.user_home).c_str());
    installation().allow_system_paths = data.use_system_paths = c.system_paths;
    data.current_page = WIZARD_PAGE_INSTALLING;
    for (int i = 0; i < 5; ++i) data.install_step(&fresh);
    set_home_folder_override(home.c_str());
    EXPECT_EQ(fresh.path_errors, std::vector<std::string>{c.reported}) << c.install_folder << c.log_path;
    EXPECT_TRUE(fresh.lines.empty());
    EXPECT_FALSE(data.install_complete());
    EXPECT_FALSE(test_support::file_exists(home + "/inst/a"));
    EXPECT_FALSE(test_support::file_exists(home + "/gone"));
    data.current_page = WIZARD_PAGE_OPTIONS, data.install_step(&fresh);
  }
}

TEST_F(InstallWorker, ShortcutsAreMadeAndLogged) {
  make_package({{"e", "bytes"}});
  ASSERT_EQ(mkdir((home + "/Desktop").c_str(), 0700), 0);
  installation().files = {file_record("tool", "$app/bin", "e")};
  DATABASE_SHORTCUT link;
  link.kind = 1;
  set_field_text(link.target, "tool");
  set_field_text(link.arguments, "-x");
  set_field_text(link.name, "My Tool");
  set_field_text(link.target_path_from_inst_loc, "$app/bin");
  // A field emptied again is empty, whatever its old text left behind.
  set_field_text(link.icon_path_from_inst_loc, "$app/old");
  set_field_text(link.icon_path_from_inst_loc, "");
  DATABASE_SHORTCUT entry = link;
  set_field_text(entry.menu_section, "Games");
  set_field_text(entry.icon_path_from_inst_loc, "$app/icons");
  set_field_text(entry.icon_filename, "tool.png");
  DATABASE_SHORTCUT other = link;
  other.platform.set("windows");
  installation().shortcuts = {link, entry, other};

  ASSERT_GT(run_to_end(), 0);
  EXPECT_TRUE(test_support::file_exists(home + "/Desktop/My_Tool.desktop"));
  EXPECT_TRUE(test_support::file_exists(home + "/.menu/local.Games_My_Tool.desktop") ||
              test_support::file_exists(root + "/usr/lib/menu/local.Games_My_Tool.desktop"));
  EXPECT_EQ(log(), header() + "Installed \"" + inst + "/bin/tool\"\n" +
                       "create_desktop_shortcut( 1, \"tool\", \"-x\", \"My Tool\", \"null\", \"\", \"" + inst +
                       "/bin\" );\n" + "create_os_menu_shortcut( 1, \"tool\", \"-x\", \"My Tool\", \"Games\", \"" +
                       inst + "/icons\", \"tool.png\", \"" + inst + "/bin\" );\n" +
                       "Installation completed without any errors.\n");
  EXPECT_EQ(page.progress[page.progress.size() - 3], std::make_pair(100, std::string("Desktop link")));
  EXPECT_EQ(page.progress[page.progress.size() - 2], std::make_pair(100, std::string("Menu entry")));
}

// A shortcut that could not be made keeps the line of the call and gets a
// warning, and without a desktop folder the link is left out with a line;
// neither counts as an error. One the user turned off leaves no trace.
TEST_F(InstallWorker, ShortcutsNotMadeAreWarningsNotErrors) {
  make_package({{"e", "bytes"}});
  ASSERT_TRUE(test_support::write_file(home + "/.menu", "a file where the menu folder would be"));
  installation().shortcuts = {site_link(), site_link("Net")};
  const std::string call = "( 2, \"http://example.invalid/\", \"\", \"Site\", ";
  const std::string menu_lines = "create_os_menu_shortcut" + call + "\"Net\", \"null\", \"\", \"null\" );\n" +
                                 "Warning: menu entry \"Site\" could not be made\n";

  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(log(), header() + "Desktop link \"Site\" skipped: there is no desktop folder\n" + menu_lines +
                       "Installation completed without any errors.\n");
  EXPECT_EQ(data.install_error_count(), 0);
  EXPECT_TRUE(data.install_succeeded());

  // A folder where the link's file would go.
  ASSERT_EQ(mkdir((home + "/Desktop").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((home + "/Desktop/Site.desktop").c_str(), 0700), 0);
  start_again();
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(log(), header() + "create_desktop_shortcut" + call + "\"null\", \"\", \"null\" );\n" +
                       "Warning: desktop link \"Site\" could not be made\n" + menu_lines +
                       "Installation completed without any errors.\n");
  EXPECT_TRUE(data.install_succeeded());

  data.desktop_shortcut = 0;
  data.menu_shortcut = 0;
  start_again();
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(log(), header() + "Installation completed without any errors.\n");
}

// A link planted at a name the run writes (the log, an installed file, the
// desktop link) is replaced; what it points at keeps its bytes and mode.
TEST_F(InstallWorker, APlantedLinkIsNeverWrittenThrough) {
  make_package({{"e", "bytes"}});
  ASSERT_EQ(mkdir(inst.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((home + "/Desktop").c_str(), 0700), 0);
  installation().files = {file_record("a", "$app", "e")};
  installation().shortcuts = {site_link()};
  const std::string victim = scratch.file("victim");
  for (const std::string& planted : {inst + "/install_log.txt", inst + "/a", home + "/Desktop/Site.desktop"}) {
    SCOPED_TRACE(planted);
    ASSERT_TRUE(test_support::write_file(victim, "precious"));
    ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
    unlink(planted.c_str());
    ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
    start_again();
    ASSERT_GT(run_to_end(), 0);
    EXPECT_TRUE(data.install_succeeded());
    EXPECT_EQ(test_support::read_file(victim), "precious");
    EXPECT_EQ(mode_of(victim), 0600u);
    struct stat st {};
    ASSERT_EQ(lstat(planted.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
  }
  EXPECT_EQ(mode_of(inst + "/a"), 0755u);
}

// Destination folders are reached without a link that another user could
// have placed: a link planted in the tree, one swapped in right after the
// run made the folder, root's own link in a folder everyone may write to
// and another user's folder there each stop the run with a path error
// naming the folder and why, and nothing reaches the folder they lead to.
// Root's link in a folder only root may write to is followed.
TEST_F(InstallWorker, DestinationsAreReachedWithoutAnotherUsersLinks) {
  make_package({{"e", "bytes"}});
  installation().files = {file_record("a", "$app/sub/deep", "e"), file_record("b", "$app", "e")};
  const std::string victim = scratch.file("victim"), sub = inst + "/sub";
  const std::string open_folder = ": unsafe link: it lies in a folder that other users may write to";
  const struct {
    std::function<void()> plant;
    std::string reported;  // "" when the files install
  } cases[] = {
      {[&] { plant_link(victim, sub); }, sub + ": unsafe link: it belongs to user 65534"},
      {[&] {
         on_file_step = [&](FILE_STEP step, const std::string& path) {
           if (step != FILE_STEP::FOLDER_MADE || path != sub) return;
           ASSERT_EQ(rename(sub.c_str(), (sub + ".made").c_str()), 0);
           plant_link(victim, sub);
         };
       },
       sub + ": unsafe link: it belongs to user 65534"},
      {[&] {
         ASSERT_EQ(mkdir(sub.c_str(), 01777), 0);
         ASSERT_EQ(chmod(sub.c_str(), 01777), 0);
         ASSERT_EQ(symlink(victim.c_str(), (sub + "/deep").c_str()), 0);
       },
       sub + "/deep" + open_folder},
      {[&] {
         ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
         ASSERT_EQ(chmod(sub.c_str(), 01777), 0);
         ASSERT_EQ(mkdir((sub + "/deep").c_str(), 0755), 0);
         ASSERT_EQ(chown((sub + "/deep").c_str(), kOtherUser, kOtherUser), 0);
       },
       sub + "/deep: unsafe folder: it belongs to user 65534 and lies in a folder that other users may write "
             "to"},
      {[&] { ASSERT_EQ(symlink(victim.c_str(), sub.c_str()), 0); }, ""},
  };
  set_file_step_hook(file_step);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reported);
    std::filesystem::remove_all(inst);
    std::filesystem::remove_all(victim);
    ASSERT_EQ(mkdir(inst.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(victim.c_str(), 0755), 0);
    on_file_step = nullptr;
    c.plant();
    page.path_errors.clear();
    start_again();
    run_to_end(20);
    on_file_step = nullptr;
    if (c.reported.empty()) {
      EXPECT_TRUE(data.install_succeeded());
      EXPECT_EQ(test_support::read_file(victim + "/deep/a"), "bytes");
      continue;
    }
    EXPECT_EQ(page.path_errors, std::vector<std::string>{c.reported});
    EXPECT_FALSE(data.install_complete());
    EXPECT_TRUE(std::filesystem::is_empty(victim));
    if (std::filesystem::is_directory(sub + "/deep")) {
      EXPECT_TRUE(std::filesystem::is_empty(sub + "/deep"));
    }
    EXPECT_FALSE(test_support::file_exists(inst + "/b"));  // the run stopped there
  }
}

// The log's lines go to the file the run made, through the descriptor that
// made it: a hard link to another file put at its name at once leaves that
// file as it was.
TEST_F(InstallWorker, TheLogKeepsToTheFileItMade) {
  make_package({{"e", "bytes"}});
  installation().files = {file_record("a", "$app", "e")};
  const std::string victim = scratch.file("victim");
  ASSERT_TRUE(test_support::write_file(victim, "precious"));
  on_file_step = [&](FILE_STEP step, const std::string& path) {
    if (step != FILE_STEP::FILE_NAMED || path != inst + "/install_log.txt") return;
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(link(victim.c_str(), path.c_str()), 0);
  };
  set_file_step_hook(file_step);
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(test_support::read_file(victim), "precious");
  EXPECT_EQ(test_support::read_file(inst + "/a"), "bytes");

  // A log that cannot take its name (a folder stands there) is asked
  // about, and the run holds nothing open once it is over.
  on_file_step = nullptr;
  ASSERT_EQ(unlink((inst + "/install_log.txt").c_str()), 0);
  ASSERT_EQ(mkdir((inst + "/install_log.txt").c_str(), 0700), 0);
  const auto open_descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  const auto before = open_descriptors();
  start_again();
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(page.copy_errors, std::vector<std::string>{inst + "/install_log.txt"});
  EXPECT_EQ(open_descriptors(), before);
  EXPECT_FALSE(data.install_succeeded());  // a run without its log
}

// The files of one folder go where its first file went, also when a link
// has taken the folder's name meanwhile.
TEST_F(InstallWorker, AFolderSwappedDuringTheRunDoesNotRedirectItsFiles) {
  make_package({{"e", "bytes"}});
  installation().files = {file_record("one", "$app/bin", "e"), file_record("two", "$app/bin", "e")};
  const std::string elsewhere = scratch.file("elsewhere");
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  data.install_step(&page);  // the log
  data.install_step(&page);  // "one"
  ASSERT_EQ(rename((inst + "/bin").c_str(), (inst + "/moved").c_str()), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), (inst + "/bin").c_str()), 0);
  ASSERT_GT(run_to_end(), 0);
  EXPECT_EQ(test_support::read_file(inst + "/moved/one"), "bytes");
  EXPECT_EQ(test_support::read_file(inst + "/moved/two"), "bytes");
  EXPECT_FALSE(test_support::file_exists(elsewhere + "/two"));
}

}  // namespace
