// Desktop links, menu entries and the browser: the files written into a test
// home and a test system root byte for byte, the commands that would run (a
// recording runner), the desktop's own validator, and one real install
// through xdg-desktop-menu into a scratch folder.
#include "desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "command.h"
#include "file_services.h"
#include "folder.h"
#include "test_support.h"

using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

namespace {

struct CALL {
  std::vector<std::string> argv;
  uint32_t flags;
};

std::vector<CALL> calls;
// Files named on an xdg-desktop-menu command line, read while they exist
// (they are removed right after the call), keyed by base name.
std::map<std::string, std::string> handed_over;
int update_menus_status = 0;
int xdg_status = 0;

std::string base_name(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int record(const char* const* argv, uint32_t flags) {
  CALL call{{}, flags};
  for (const char* const* a = argv; *a; ++a) call.argv.push_back(*a);
  if (call.argv.size() > 2 && base_name(call.argv[0]) == "xdg-desktop-menu" &&
      call.argv[1] == "install") {
    for (size_t i = 2; i < call.argv.size(); ++i)
      handed_over[base_name(call.argv[i])] = read_file(call.argv[i]);
  }
  calls.push_back(call);
  if (base_name(call.argv[0]) == "xdg-desktop-menu") return xdg_status;
  return base_name(call.argv[0]) == "update-menus" ? update_menus_status : 0;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

FOLDER folder_at(const std::string& path) {
  FOLDER folder;
  EXPECT_TRUE(folder.set_absolute(path.c_str()));
  return folder;
}

class DesktopTest : public ::testing::Test {
protected:
  void SetUp() override {
    home = scratch.file("home");
    root = scratch.file("root");
    for (const std::string& folder : {home, home + "/Desktop", root, root + "/usr",
                                      root + "/usr/lib", root + "/usr/lib/menu", root + "/usr/bin",
                                      root + "/tmp"})
      mkdir(folder.c_str(), 0755);
    set_home_folder_override(home.c_str());
    set_system_root_override(root.c_str());
    calls.clear();
    handed_over.clear();
    update_menus_status = 0;
    xdg_status = 0;
    set_command_runner(record);
    // The temporary folder is the test root's /tmp, whatever the caller's
    // TMPDIR says.
    for (const char* name : {"DESKTOP", "DESKTOP_SESSION", "BROWSER", "TMPDIR"}) env.set(name, std::nullopt);
    env.set("XDG_CONFIG_HOME", scratch.file("config"));
  }
  void TearDown() override {
    set_command_runner(nullptr);
    remove_temporary_folder();
    set_system_root_override(nullptr);
    set_home_folder_override(nullptr);
  }

  void install_fake_tool(const char* name) {
    ASSERT_TRUE(write_file(root + "/usr/bin/" + name, "#!/bin/sh\n"));
  }
  std::string link(const std::string& file) const { return home + "/Desktop/" + file; }

  ScratchDir scratch;
  std::string home;
  std::string root;
  test_support::EnvironmentGuard env;
};

// ---- Desktop links

// The check below is only worth something if it catches a broken entry.
TEST_F(DesktopTest, ValidatorCatchesABrokenEntry) {
  std::string broken = scratch.file("broken.desktop");
  ASSERT_TRUE(write_file(broken, "[Desktop Entry]\nType=Application\nName=B\nExec=\"/a\\\\b\" 100%\n"));
  EXPECT_EQ(test_support::desktop_validation_errors(broken).size(), 2u);
}


// Each kind of link: a file named after the display name (characters a
// file name should not hold become '_'), its texts in UTF-8 with line
// breaks escaped, the program's path quoted for the shell with '%' doubled,
// an icon only with both folder and name, "www" and "ascii" for addresses
// and text files, and an empty file for a kind it does not know. No
// command runs.
TEST_F(DesktopTest, EachKindOfLinkWritesItsEntry) {
  const std::string head = "[Desktop Entry]\nEncoding=UTF-8\nVersion=1.0\n";
  const struct {
    uint8_t kind;
    const char *target, *arguments, *name, *icon_folder, *icon, *target_folder, *file;
    std::string entry;
  } rows[] = {
      {SHORTCUT_APPLICATION, "app", "--x", "My App 2.0", nullptr, nullptr, "/opt/my app/bin", "My_App_2_0",
       head + "Type=Application\nName=My App 2.0\nComment=My App 2.0\nExec=\"/opt/my app/bin/app\" --x\nIcon=\n"},
      {SHORTCUT_APPLICATION, "tool", nullptr, "Tool", "/opt/tool/icons", "tool.png", "/opt/tool", "Tool",
       head + "Type=Application\nName=Tool\nComment=Tool\nExec=\"/opt/tool/tool\" \n"
              "Icon=/opt/tool/icons/tool.png\n"},
      {SHORTCUT_APPLICATION, "/bin/true", nullptr, "A", "/opt/tool/icons", nullptr, nullptr, "A",
       head + "Type=Application\nName=A\nComment=A\nExec=\"/bin/true\" \nIcon=\n"},
      {SHORTCUT_APPLICATION, "/bin/true", nullptr, "B", nullptr, "x.png", nullptr, "B",
       head + "Type=Application\nName=B\nComment=B\nExec=\"/bin/true\" \nIcon=\n"},
      {SHORTCUT_APPLICATION, "run", "--level=50%", "Odd Path", nullptr, nullptr, "/opt/a\"b$c`d\\e%f", "Odd_Path",
       // Inside the quotes '"', '`', '$' and '\' take a backslash; the
       // file's string escape then doubles every backslash.
       head + "Type=Application\nName=Odd Path\nComment=Odd Path\n"
              "Exec=\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f/run\" --level=50%%\nIcon=\n"},
      {SHORTCUT_WEB_LINK, "https://example.com/a b", nullptr, "Example Site", nullptr, nullptr, "/opt/ignored",
       "Example_Site", head + "Type=Link\nName=Example Site\nIcon=www\nURL=https://example.com/a b\n"},
      {SHORTCUT_TEXT_FILE, "read me.txt", "ignored", "Read Me", nullptr, nullptr, "/opt/app/doc", "Read_Me",
       head + "Type=Link\nName=Read Me\nIcon=ascii\nURL=/opt/app/doc/read me.txt\n"},
      // Latin-1 e-acute and a character above 255 in the system's run form.
      {SHORTCUT_WEB_LINK, "https://example.com", nullptr, "Caf\xE9 \x01,263A\x01", nullptr, nullptr, nullptr,
       "Caf___", head + "Type=Link\nName=Caf\xC3\xA9 \xE2\x98\xBA\nIcon=www\nURL=https://example.com\n"},
      {SHORTCUT_WEB_LINK, "https://example.com", nullptr, "Two\nLines", nullptr, nullptr, nullptr, "Two_Lines",
       head + "Type=Link\nName=Two\\nLines\nIcon=www\nURL=https://example.com\n"},
      {7, "x", nullptr, "Odd", nullptr, nullptr, nullptr, "Odd", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const FOLDER icons = row.icon_folder ? folder_at(row.icon_folder) : FOLDER();
    const FOLDER target = row.target_folder ? folder_at(row.target_folder) : FOLDER();
    ASSERT_EQ(create_desktop_shortcut(row.kind, row.target, row.arguments, row.name,
                                      row.icon_folder ? &icons : nullptr, row.icon,
                                      row.target_folder ? &target : nullptr),
              1);
    const std::string file = link(std::string(row.file) + ".desktop");
    ASSERT_TRUE(exists(file));
    EXPECT_EQ(read_file(file), row.entry);
    if (!row.entry.empty()) {
      EXPECT_EQ(test_support::desktop_validation_errors(file), std::vector<std::string>{});
    }
  }
  const std::string too_long(300, 'n');  // no file may have that name
  EXPECT_EQ(create_desktop_shortcut(SHORTCUT_WEB_LINK, "https://x", nullptr, too_long.c_str(), nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(calls.empty());
}

// The desktop folder is the one the user's user-dirs.dirs names; a name
// for no folder, or the home folder itself, means there is none.
TEST_F(DesktopTest, LinksGoToTheDesktopFolderTheUserNames) {
  const std::string config = scratch.file("config");
  mkdir(config.c_str(), 0755);
  const std::string elsewhere = scratch.file("elsewhere desk");
  for (const std::string& folder : {home + "/Schreibtisch", elsewhere}) mkdir(folder.c_str(), 0755);
  // "elsewhere desk" reached relatively from the working folder: a folder that is there, named wrongly.
  std::string relative;
  for (const char c : std::filesystem::current_path().string()) relative += c == '/' ? "../" : "";
  relative += elsewhere.substr(1);
  struct CASE {
    std::optional<std::string> user_dirs;  // nullopt: no file
    std::string folder;                    // "": no desktop folder
  } cases[] = {
      {std::nullopt, home + "/Desktop"},
      {"XDG_MUSIC_DIR=\"$HOME/Music\"\n", home + "/Desktop"},
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", home + "/Schreibtisch"},
      {"  XDG_DESKTOP_DIR=\"" + elsewhere + "\"\n", elsewhere},
      {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\r\n", home + "/Schreibtisch"},  // no closing quote
      {"XDG_DESKTOP_DIR=\"$HOME/\"\n", ""},
      {"XDG_DESKTOP_DIR=\"$HOME/Missing\"\n", ""},
      {"XDG_DESKTOP_DIR=\"relative\"\n", ""},
      {"XDG_DESKTOP_DIR=\"" + relative + "\"\n", ""},
      {"XDG_DESKTOP_DIR=/" + elsewhere + "\n", ""},  // not in quotes
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.user_dirs.value_or("(none)"));
    unlink((config + "/user-dirs.dirs").c_str());
    if (c.user_dirs) {
      ASSERT_TRUE(write_file(config + "/user-dirs.dirs", *c.user_dirs));
    }
    FOLDER folder;
    EXPECT_EQ(get_desktop_folder(&folder), !c.folder.empty());
    const int made = create_desktop_shortcut(SHORTCUT_WEB_LINK, "https://x", nullptr, "Site", nullptr,
                                             nullptr, nullptr);
    EXPECT_EQ(made, c.folder.empty() ? 0 : 1);
    if (c.folder.empty()) {
      EXPECT_TRUE(calls.empty());
      EXPECT_EQ(remove_desktop_shortcut("Site"), 0);  // nothing there to remove
      continue;
    }
    EXPECT_EQ(std::string(folder.path), c.folder);
    EXPECT_TRUE(exists(c.folder + "/Site.desktop"));
    EXPECT_EQ(remove_desktop_shortcut("Site"), 0);
    EXPECT_FALSE(exists(c.folder + "/Site.desktop"));
  }
}

TEST_F(DesktopTest, RemoveDesktopShortcut) {
  ASSERT_EQ(create_desktop_shortcut(SHORTCUT_WEB_LINK, "https://x", nullptr, "My App 2.0",
                                    nullptr, nullptr, nullptr),
            1);
  ASSERT_TRUE(exists(link("My_App_2_0.desktop")));
  EXPECT_EQ(remove_desktop_shortcut("My App 2.0"), 0);
  EXPECT_FALSE(exists(link("My_App_2_0.desktop")));
  // Like "rm -f", a link that is not there counts as removed.
  EXPECT_EQ(remove_desktop_shortcut("My App 2.0"), 0);
  EXPECT_TRUE(calls.empty());
}

// ---- Menu entries

TEST_F(DesktopTest, MenuEntryWithXdgDesktopMenu) {
  install_fake_tool("xdg-desktop-menu");
  FOLDER target = folder_at("/opt/foo");
  create_os_menu_shortcut(SHORTCUT_APPLICATION, "foo", "-x", "Foo", "Games/Puzzle", nullptr,
                          nullptr, &target);

  EXPECT_EQ(read_file(root + "/usr/lib/menu/local.Games_Puzzle_Foo.desktop"),
            "?package(local.Games_Puzzle_Foo): command=\"'/opt/foo/foo' -x\" icon=\"exec\" "
            "section=\"Games/Puzzle\" title=\"Foo\" needs=\"x11\" startup_notify=\"true\"\n");

  // The handed-over files lie in this run's private temporary folder,
  // which is under the (test) system root's /tmp.
  std::string temporary = get_temporary_folder_path();
  ASSERT_FALSE(temporary.empty());
  EXPECT_EQ(temporary.rfind(root + "/tmp/", 0), 0u) << temporary;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].argv, (std::vector<std::string>{
                               root + "/usr/bin/xdg-desktop-menu", "install",
                               temporary + "/vorn-Games.directory",
                               temporary + "/vorn-Games-Puzzle.directory",
                               temporary + "/vorn-Games_Puzzle_Foo.desktop"}));
  EXPECT_EQ(calls[1].argv, (std::vector<std::string>{root + "/usr/bin/update-menus"}));
  for (const CALL& call : calls) EXPECT_EQ(call.flags, 0u);  // waited for, their messages shown

  EXPECT_EQ(handed_over["vorn-Games.directory"],
            "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=Games\nIcon=folder\n");
  EXPECT_EQ(handed_over["vorn-Games-Puzzle.directory"],
            "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=Puzzle\nIcon=folder\n");
  EXPECT_EQ(handed_over["vorn-Games_Puzzle_Foo.desktop"],
            "[Desktop Entry]\nVersion=1.0\nType=Application\nName=Foo\nExec=\"/opt/foo/foo\" -x\n"
            "Icon=exec\n");
  for (const auto& [name, bytes] : handed_over) {
    std::string copy = scratch.file(name);
    ASSERT_TRUE(write_file(copy, bytes));
    EXPECT_EQ(test_support::desktop_validation_errors(copy), std::vector<std::string>{}) << name;
  }
  // Nothing is left behind in the temporary folder.
  for (const auto& [name, bytes] : handed_over) EXPECT_FALSE(exists(temporary + "/" + name));
}

TEST_F(DesktopTest, MenuEntryWithoutXdgDesktopMenu) {
  FOLDER target = folder_at("/opt/foo");
  create_os_menu_shortcut(SHORTCUT_APPLICATION, "foo", nullptr, "Foo Bar", "Apps", nullptr,
                          nullptr, &target);
  EXPECT_EQ(read_file(root + "/usr/lib/menu/local.Apps_Foo_Bar.desktop"),
            "?package(local.Apps_Foo_Bar): command=\"'/opt/foo/foo' \" icon=\"exec\" "
            "section=\"Apps\" title=\"Foo Bar\" needs=\"x11\" startup_notify=\"true\"\n");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argv, (std::vector<std::string>{root + "/usr/bin/update-menus"}));
}

TEST_F(DesktopTest, MenuFileGoesToTheHomeWhenTheSystemFolderIsMissing) {
  rmdir((root + "/usr/lib/menu").c_str());
  create_os_menu_shortcut(SHORTCUT_APPLICATION, "/bin/true", nullptr, "T", "S", nullptr, nullptr,
                          nullptr);
  struct stat st;
  ASSERT_EQ(stat((home + "/.menu").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(read_file(home + "/.menu/local.S_T.desktop"),
            "?package(local.S_T): command=\"'/bin/true' \" icon=\"exec\" section=\"S\" "
            "title=\"T\" needs=\"x11\" startup_notify=\"true\"\n");
}

// Made means in the menu: through xdg-desktop-menu where it is installed,
// else through the menu file; with xdg, update-menus runs only where that
// was written.
TEST_F(DesktopTest, AMenuEntryIsReportedOnlyWhenTheMenuGotIt) {
  struct CASE {
    bool xdg;
    int xdg_status;
    bool menu_folder;  // the menu file can be written
    int made;
    std::vector<std::string> run;  // with xdg
  } cases[] = {{true, 0, true, 1, {"xdg-desktop-menu", "update-menus"}},
               {true, 1, true, 0, {"xdg-desktop-menu", "update-menus"}},
               {true, 0, false, 1, {"xdg-desktop-menu"}},
               {false, 0, true, 1, {}},
               {false, 0, false, 0, {}}};
  for (const CASE& c : cases) {
    SCOPED_TRACE(std::to_string(c.xdg) + std::to_string(c.xdg_status) + std::to_string(c.menu_folder));
    unlink((root + "/usr/bin/xdg-desktop-menu").c_str());
    if (c.xdg) install_fake_tool("xdg-desktop-menu");
    xdg_status = c.xdg_status;
    calls.clear();
    rmdir((root + "/usr/lib/menu").c_str());
    if (c.menu_folder) {
      mkdir((root + "/usr/lib/menu").c_str(), 0755);
    } else {
      ASSERT_TRUE(write_file(home + "/.menu", "a file where the folder would go"));
    }
    EXPECT_EQ(create_os_menu_shortcut(SHORTCUT_APPLICATION, "/bin/true", nullptr, "T", "S", nullptr, nullptr,
                                      nullptr),
              c.made);
    std::vector<std::string> run;
    for (const CALL& call : calls) run.push_back(base_name(call.argv[0]));
    if (c.xdg) {
      EXPECT_EQ(run, c.run);
      EXPECT_EQ(handed_over.count("vorn-S_T.desktop"), 1u);
    }
    unlink((root + "/usr/lib/menu/local.S_T.desktop").c_str());
    unlink((home + "/.menu").c_str());
  }
}

TEST_F(DesktopTest, MenuIconDefaultsAndCommandsByKind) {
  env.set("DESKTOP", "KDE");
  install_fake_tool("xdg-desktop-menu");
  FOLDER docs = folder_at("/opt/app/doc");
  create_os_menu_shortcut(SHORTCUT_TEXT_FILE, "read me.txt", nullptr, "Read Me", "Docs", nullptr,
                          nullptr, &docs);
  EXPECT_EQ(read_file(root + "/usr/lib/menu/local.Docs_Read_Me.desktop"),
            "?package(local.Docs_Read_Me): command=\"kfmclient exec '/opt/app/doc/read me.txt' &\" "
            "icon=\"ascii\" section=\"Docs\" title=\"Read Me\" needs=\"x11\" "
            "startup_notify=\"true\"\n");
  // The menu's command runs through a shell; a desktop starts Exec without
  // one, so there the command line is sh's one quoted argument.
  EXPECT_EQ(handed_over["vorn-Docs_Read_Me.desktop"],
            "[Desktop Entry]\nVersion=1.0\nType=Application\nName=Read Me\n"
            "Exec=sh -c \"kfmclient exec '/opt/app/doc/read me.txt' &\"\nIcon=ascii\n");

  env.set("BROWSER", "firefox");
  create_os_menu_shortcut(SHORTCUT_WEB_LINK, "https://example.com/a b", nullptr, "Web", "Net",
                          nullptr, nullptr, nullptr);
  EXPECT_EQ(read_file(root + "/usr/lib/menu/local.Net_Web.desktop"),
            "?package(local.Net_Web): command=\"$BROWSER 'https://example.com/a%20b'\" "
            "icon=\"www\" section=\"Net\" title=\"Web\" needs=\"x11\" startup_notify=\"true\"\n");
  EXPECT_EQ(handed_over["vorn-Net_Web.desktop"],
            "[Desktop Entry]\nVersion=1.0\nType=Application\nName=Web\n"
            "Exec=sh -c \"\\\\$BROWSER 'https://example.com/a%%20b'\"\nIcon=www\n");
  for (const auto& [name, bytes] : handed_over) {
    std::string copy = scratch.file(name);
    ASSERT_TRUE(write_file(copy, bytes));
    EXPECT_EQ(test_support::desktop_validation_errors(copy), std::vector<std::string>{}) << name;
  }
}

// The menu entries of web links and text files, started the way a desktop
// starts them (GLib's launcher, which runs Exec without a shell).
TEST_F(DesktopTest, MenuEntriesOfLinksAndFilesStartTheirOpener) {
  if (access("/usr/bin/gio", X_OK) != 0) GTEST_SKIP() << "needs GLib's gio";
  install_fake_tool("xdg-desktop-menu");
  // Stand-ins for the browser and the desktop's opener that record their
  // arguments, one per line.
  std::string tools = scratch.file("tools");
  std::string recorded = scratch.file("recorded");
  ASSERT_EQ(mkdir(tools.c_str(), 0755), 0);
  for (const char* tool : {"browser", "kfmclient"}) {
    std::string script = tools + "/" + tool;
    ASSERT_TRUE(write_file(script, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"" + recorded +
                                       ".part\"\nmv \"" + recorded + ".part\" \"" + recorded +
                                       "\"\n"));
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  }
  auto launch = [&](const std::string& entry) {
    unlink(recorded.c_str());
    std::string copy = scratch.file("launched.desktop");
    EXPECT_TRUE(write_file(copy, entry));
    test_support::RunResult result = test_support::run_program(
        {"/usr/bin/gio", "launch", copy},
        {"PATH=" + tools + ":/usr/bin:/bin", "BROWSER=" + tools + "/browser"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    for (int i = 0; i < 500 && !exists(recorded); ++i) usleep(10000);
    return read_file(recorded);
  };

  env.set("BROWSER", "browser");
  create_os_menu_shortcut(SHORTCUT_WEB_LINK, "https://example.com/a b%41", nullptr, "Web", "Net",
                          nullptr, nullptr, nullptr);
  EXPECT_EQ(launch(handed_over["vorn-Net_Web.desktop"]),
            tools + "/browser\nhttps://example.com/a%20b%41\n");

  env.set("BROWSER", std::nullopt);
  env.set("DESKTOP", "kde");
  FOLDER docs = folder_at(scratch.file("it's a \"doc\" $HOME"));
  create_os_menu_shortcut(SHORTCUT_TEXT_FILE, "read me.txt", nullptr, "Read Me", "Docs", nullptr,
                          nullptr, &docs);
  EXPECT_EQ(launch(handed_over["vorn-Docs_Read_Me.desktop"]),
            tools + "/kfmclient\nexec\n" + scratch.file("it's a \"doc\" $HOME/read me.txt") + "\n");
}

TEST_F(DesktopTest, MenuTextIsQuotedAndUtf8) {
  FOLDER target = folder_at("/opt/it's");
  FOLDER icons = folder_at("/opt/icons");
  create_os_menu_shortcut(SHORTCUT_APPLICATION, "run", "--a", "Say \"Caf\xE9\"", "Caf\xE9/Sub",
                          &icons, "i.png", &target);
  EXPECT_EQ(read_file(root + "/usr/lib/menu/local.Caf__Sub_Say__Caf__.desktop"),
            "?package(local.Caf__Sub_Say__Caf__): command=\"'/opt/it'\\\\''s/run' --a\" "
            "icon=\"/opt/icons/i.png\" section=\"Caf\xC3\xA9/Sub\" "
            "title=\"Say \\\"Caf\xC3\xA9\\\"\" needs=\"x11\" startup_notify=\"true\"\n");
}

TEST_F(DesktopTest, EmptySectionComponentsNameNoLevel) {
  install_fake_tool("xdg-desktop-menu");
  create_os_menu_shortcut(SHORTCUT_APPLICATION, "/bin/true", nullptr, "T", "/A//B/", nullptr,
                          nullptr, nullptr);
  ASSERT_FALSE(calls.empty());
  std::string temporary = get_temporary_folder_path();
  EXPECT_EQ(calls[0].argv, (std::vector<std::string>{
                               root + "/usr/bin/xdg-desktop-menu", "install",
                               temporary + "/vorn-A.directory", temporary + "/vorn-A-B.directory",
                               temporary + "/vorn-_A__B__T.desktop"}));
}

TEST_F(DesktopTest, RemoveMenuEntry) {
  install_fake_tool("xdg-desktop-menu");
  mkdir((home + "/.menu").c_str(), 0755);
  std::string system_file = root + "/usr/lib/menu/local.Games_Puzzle_Foo.desktop";
  std::string user_file = home + "/.menu/local.Games_Puzzle_Foo.desktop";
  ASSERT_TRUE(write_file(system_file, "x"));
  ASSERT_TRUE(write_file(user_file, "x"));
  update_menus_status = 5;

  EXPECT_EQ(remove_os_menu_shortcut("Foo", "Games/Puzzle"), 5);
  EXPECT_FALSE(exists(system_file));
  EXPECT_FALSE(exists(user_file));
  std::string temporary = get_temporary_folder_path();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].argv, (std::vector<std::string>{
                               root + "/usr/bin/xdg-desktop-menu", "uninstall",
                               temporary + "/vorn-Games.directory",
                               temporary + "/vorn-Games-Puzzle.directory",
                               temporary + "/vorn-Games_Puzzle_Foo.desktop"}));
  EXPECT_EQ(calls[1].argv, (std::vector<std::string>{root + "/usr/bin/update-menus"}));
}

TEST_F(DesktopTest, RemoveMenuEntryWithoutXdg) {
  update_menus_status = 3;
  EXPECT_EQ(remove_os_menu_shortcut("Foo", "Games"), 3);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argv, (std::vector<std::string>{root + "/usr/bin/update-menus"}));
}

// ---- Desktop kind, browser, opener

TEST_F(DesktopTest, DesktopKindFromTheEnvironment) {
  env.set("DESKTOP", "KDE");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_KDE);
  env.set("DESKTOP", "Gnome");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_GNOME);
  env.set("DESKTOP", std::nullopt);
  env.set("DESKTOP_SESSION", "gnome-classic");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_GNOME);
  env.set("DESKTOP_SESSION", "plasma-kde");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_KDE);
  // Only DESKTOP is searched while it is set.
  env.set("DESKTOP", "xfce");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_OTHER);
}

TEST_F(DesktopTest, DesktopKindFromInstalledTools) {
  env.set("DESKTOP", "xfce");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_OTHER);
  install_fake_tool("gnome-open");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_GNOME);
  install_fake_tool("kfmclient");
  EXPECT_EQ(get_desktop_kind(), DESKTOP_KDE);
}

TEST_F(DesktopTest, BrowserCommandWithBrowserSet) {
  env.set("BROWSER", "firefox");
  EXPECT_STREQ(get_browser_command("https://example.com/a b c", false),
               "$BROWSER 'https://example.com/a%20b%20c'");
  EXPECT_STREQ(get_browser_command("https://example.com/", true),
               "$BROWSER 'https://example.com/' &");
  EXPECT_STREQ(get_browser_command("https://x/it's", false), "$BROWSER 'https://x/it'\\''s'");
}

TEST_F(DesktopTest, BrowserCommandByDesktopKind) {
  env.set("BROWSER", "");
  env.set("DESKTOP", "kde");
  EXPECT_STREQ(get_browser_command("https://x/a b", false), "kfmclient exec 'https://x/a b'");
  env.set("DESKTOP", "gnome");
  EXPECT_STREQ(get_browser_command("https://x/a b", true), "gnome-open 'https://x/a b' &");
  env.set("DESKTOP", "other");
  EXPECT_STREQ(get_browser_command("https://x/", false), "konqueror 'https://x/'");
}

TEST_F(DesktopTest, OpenInBrowserRunsTheCommandThroughTheShell) {
  env.set("BROWSER", "firefox");
  EXPECT_EQ(open_in_browser("https://example.com/a b"), 0);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argv, (std::vector<std::string>{
                               "/bin/sh", "-c", "$BROWSER 'https://example.com/a%20b' &"}));
}

TEST_F(DesktopTest, BrowserGetsTheAddressAsOneArgumentFromARealShell) {
  // A browser script that records its arguments; the address tries to run
  // a command of its own.
  std::string recorder = scratch.file("browser.sh");
  std::string arguments = scratch.file("arguments");
  std::string planted = scratch.file("planted");
  ASSERT_TRUE(write_file(recorder, "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + arguments +
                                       ".part\"\nmv \"" + arguments + ".part\" \"" + arguments +
                                       "\"\n"));
  chmod(recorder.c_str(), 0755);
  env.set("BROWSER", recorder);
  set_command_runner(nullptr);
  // "$(>file)" and "`>file`" would each create the file if a shell ran them.
  std::string address = "https://x/a b'$(>" + planted + ")'`>" + planted + "`\"$(>" + planted + ")\"";
  EXPECT_EQ(open_in_browser(address.c_str()), 0);
  for (int i = 0; i < 500 && !exists(arguments); ++i) usleep(10000);
  std::string expected = "https://x/a%20b'$(>" + planted + ")'`>" + planted + "`\"$(>" + planted + ")\"|";
  EXPECT_EQ(read_file(arguments), expected);
  EXPECT_FALSE(exists(planted));
}

TEST_F(DesktopTest, OpenWithDesktop) {
  env.set("DESKTOP", "kde");
  FOLDER docs = folder_at("/opt/app/doc");
  EXPECT_EQ(open_with_desktop(&docs, "read \"me\".txt"), 0);
  env.set("DESKTOP", "gnome");
  EXPECT_EQ(open_with_desktop(nullptr, "notes.txt"), 0);
  env.set("DESKTOP", "other");
  EXPECT_EQ(open_with_desktop(nullptr, "x"), 0);
  EXPECT_EQ(open_with_desktop(&docs, std::string(5000, 'n').c_str()), -1);  // no path that long
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].argv,
            (std::vector<std::string>{"kfmclient", "exec", "/opt/app/doc/read \"me\".txt"}));
  EXPECT_EQ(calls[1].argv, (std::vector<std::string>{"gnome-open", "notes.txt"}));
  EXPECT_EQ(calls[2].argv, (std::vector<std::string>{"konqueror", "x"}));
  for (const CALL& call : calls) EXPECT_EQ(call.flags, COMMAND_NO_WAIT);
}

// ---- The real xdg-desktop-menu

TEST_F(DesktopTest, RealXdgDesktopMenuAcceptsTheMenuFiles) {
  // The tool itself, reached through the test system root; update-menus is
  // absent there, so it cannot run.
  ASSERT_EQ(symlink("/usr/bin/xdg-desktop-menu", (root + "/usr/bin/xdg-desktop-menu").c_str()), 0);
  std::string data = scratch.file("data");
  std::string config = scratch.file("config");
  env.set("HOME", home);
  env.set("XDG_DATA_HOME", data);
  env.set("XDG_CONFIG_HOME", config);
  // Tests run as root, where the tool would default to the system folders.
  env.set("XDG_UTILS_INSTALL_MODE", "user");
  env.set("XDG_DATA_DIRS", scratch.file("system-data"));
  env.set("XDG_CONFIG_DIRS", scratch.file("system-config"));
  set_command_runner(nullptr);

  FOLDER target = folder_at("/opt/foo");
  create_os_menu_shortcut(SHORTCUT_APPLICATION, "foo", "-x", "Foo", "Games/Puzzle", nullptr,
                          nullptr, &target);

  std::string application = data + "/applications/vorn-Games_Puzzle_Foo.desktop";
  EXPECT_EQ(read_file(application),
            "[Desktop Entry]\nVersion=1.0\nType=Application\nName=Foo\nExec=\"/opt/foo/foo\" -x\n"
            "Icon=exec\n");
  EXPECT_EQ(read_file(data + "/desktop-directories/vorn-Games.directory"),
            "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=Games\nIcon=folder\n");
  EXPECT_EQ(read_file(data + "/desktop-directories/vorn-Games-Puzzle.directory"),
            "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=Puzzle\nIcon=folder\n");
  std::string menu =
      read_file(config + "/menus/applications-merged/user-vorn-Games-vorn-Games-Puzzle.menu");
  EXPECT_NE(menu.find("<Filename>vorn-Games_Puzzle_Foo.desktop</Filename>"), std::string::npos)
      << menu;
  EXPECT_EQ(test_support::desktop_validation_errors(application), std::vector<std::string>{});

  // And out again: the uninstall knows the entry by its base names.
  remove_os_menu_shortcut("Foo", "Games/Puzzle");
  EXPECT_FALSE(exists(application));
  EXPECT_FALSE(exists(data + "/desktop-directories/vorn-Games.directory"));
}

}  // namespace
