#include "folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "data_device.h"
#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "folder_entries.h"
#include "memory_device.h"
#include "platform.h"
#include "test_support.h"

namespace ts = test_support;

namespace {

using ts::MEMORY_DEVICE;

FOLDER folder_at(const std::string& path) {
  FOLDER folder;
  EXPECT_TRUE(folder.set_absolute(path.c_str()));
  return folder;
}

// Where a folder is after a set: its path, after "failed: " when the set failed.
std::string landed(const FOLDER& folder, bool set) { return (set ? "" : "failed: ") + std::string(folder.path); }

std::string variable_text(const FOLDER& folder) {
  char text[FOLDER_PATH_SIZE];
  if (!folder.get_variable_text(text, sizeof text)) return "<failed>";
  return text;
}

std::string stored_form(const std::string& text, uint8_t marker = 255) {
  std::string field(FOLDER_PATH_SIZE, '\0');
  memcpy(field.data(), text.data(), std::min(text.size(), field.size()));
  return std::string(1, static_cast<char>(marker)) + field;
}

void make_dirs(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0755);
    if (slash == std::string::npos) break;
  }
}

// "$APP" is a scratch folder through the base override; the home folder,
// /opt, /tmp and the mount table are redirected into the same scratch.
class FolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    set_message_box_handler(message_box_to_stderr);
    home = scratch.file("home");
    root = scratch.file("root");
    app = scratch.file("app");
    for (const std::string& dir : {home, root, root + "/opt", root + "/tmp", app})
      ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    set_home_folder_override(home.c_str());
    set_system_root_override(root.c_str());
    mounts = scratch.file("mounts");
    ASSERT_TRUE(ts::write_file(mounts, "/dev/root / ext4 rw 0 0\n"));
    set_mounts_file_override(mounts.c_str());
    set_base_path(folder_at(app), "vorntest");
    env.set("TMPDIR", std::nullopt);  // "$TEMP" lies under the test root's /tmp
  }
  void TearDown() override {
    clear_base_path();
    clear_icon_path();
    remove_temporary_folder();
    set_home_folder_override(nullptr);
    set_system_root_override(nullptr);
    set_mounts_file_override(nullptr);
  }
  std::string user_data() const { return home + "/.vorntest/data"; }
  ts::EnvironmentGuard env;

  ts::ScratchDir scratch;
  std::string home, root, app, mounts;
};

TEST_F(FolderTest, AppComesFromTheBaseOverrideOrTheProgramFolder) {
  FOLDER folder;
  EXPECT_EQ(std::string(folder.path), app);
  char name[64];
  FOLDER base = folder_at("/");
  base.get_base_path(name, sizeof name);
  EXPECT_EQ(std::string(base.path), app);
  EXPECT_STREQ(name, "vorntest");
  base.get_base_path(name, 4);
  EXPECT_STREQ(name, "vor");

  clear_base_path();
  FOLDER program;
  FOLDER expected;
  get_standard_folder(&expected, 0, nullptr, false);
  EXPECT_TRUE(same_path(program, expected));
  EXPECT_TRUE(program.set("$BASE"));
  EXPECT_TRUE(same_path(program, expected));
}

TEST_F(FolderTest, SetPathWalksComponents) {
  make_dirs(app + "/a");
  make_dirs(app + "/b");
  FOLDER folder;
  EXPECT_EQ(landed(folder, folder.set_path("$APP/a/../b")), app + "/b");
  EXPECT_EQ(landed(folder, folder.set_path("$APP//a///")), app + "/a");
  EXPECT_EQ(landed(folder, folder.set_path("../b")), app + "/b");
  EXPECT_EQ(landed(folder, (folder = folder_at(app + "/a/")).set_path("..")), app);  // from a path given with its slash
  EXPECT_EQ(landed(folder, folder.set_path("$app/./a")), app + "/a");
  EXPECT_EQ(landed(folder, folder.set_path("$ROOT1/usr/lib/../..")), "/");  // $ROOT1 is "/"
}

TEST_F(FolderTest, SetPathFailures) {
  make_dirs(app + "/a");
  FOLDER folder = folder_at("/");
  EXPECT_EQ(landed(folder, folder.set_path(nullptr)), "failed: /");

  EXPECT_EQ(landed(folder, folder.set_path("/usr/lib")), "failed: " + app);
  EXPECT_EQ(landed(folder, folder.set_path("$ROOT1/..")), "failed: /");  // nothing lies above the root

  // The walk keeps the levels it reached.
  EXPECT_EQ(landed(folder, folder.set_path("$APP/a/missing/x")), "failed: " + app + "/a");
  EXPECT_TRUE(folder.set_path("$APP/a/new/x", true));
  EXPECT_TRUE(is_directory((app + "/a/new/x").c_str()));

  EXPECT_EQ(landed(folder, folder.set_path(("$APP/" + std::string(256, 'n')).c_str(), true)), "failed: " + app);
}

// A folder as the packing tools read it: every name in byte order, hidden
// ones too; a link as a link, with the bits and size of what it leads to;
// and the real path behind links, none where they lead nowhere.
TEST_F(FolderTest, DiskEntriesAndRealPaths) {
  const std::string dir = app + "/entries";
  make_dirs(dir + "/sub");
  ASSERT_TRUE(ts::write_file(dir + "/b.txt", "12345"));
  ASSERT_EQ(chmod((dir + "/b.txt").c_str(), 0640), 0);
  ASSERT_EQ(symlink("b.txt", (dir + "/a-link").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (dir + "/dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((dir + "/.fifo").c_str(), 0604), 0);
  struct stat sub;
  ASSERT_EQ(stat((dir + "/sub").c_str(), &sub), 0);
  std::vector<DISK_ENTRY> entries(1);
  ASSERT_TRUE(list_folder_entries(folder_at(dir), entries));
  std::vector<std::tuple<std::string, ENTRY_KIND, uint16_t, uint64_t>> seen;
  for (const DISK_ENTRY& e : entries) seen.emplace_back(e.name, e.kind, e.mode, e.size);
  EXPECT_EQ(seen, (decltype(seen){{".fifo", ENTRY_KIND::OTHER, 0604, 0},
                                  {"a-link", ENTRY_KIND::LINK, 0640, 5},
                                  {"b.txt", ENTRY_KIND::REGULAR, 0640, 5},
                                  {"dangling", ENTRY_KIND::LINK, 0, 0},
                                  {"sub", ENTRY_KIND::DIRECTORY, 0755, static_cast<uint64_t>(sub.st_size)}}));
  EXPECT_TRUE(list_folder_entries(folder_at(dir + "/sub"), entries));
  EXPECT_TRUE(entries.empty());
  entries.resize(1);
  EXPECT_FALSE(list_folder_entries(folder_at(dir + "/missing"), entries));
  EXPECT_TRUE(entries.empty());

  std::string real = "unchanged";
  ASSERT_TRUE(resolve_path(dir + "/a-link", real));
  EXPECT_EQ(real, std::filesystem::canonical(dir).string() + "/b.txt");
  // Real paths one short of the stored limit and at it (the terminator
  // needs the last byte), each reached through a link.
  std::string fits = std::filesystem::canonical(dir).string();
  while (fits.size() + 201 < FOLDER_PATH_SIZE - 2) fits += "/" + std::string(200, 'd');
  fits += "/" + std::string(FOLDER_PATH_SIZE - 2 - fits.size(), 'e');
  make_dirs(fits);
  make_dirs(fits + "e");
  ASSERT_EQ(symlink(fits.c_str(), (dir + "/fits").c_str()), 0);
  ASSERT_EQ(symlink((fits + "e").c_str(), (dir + "/too-long").c_str()), 0);
  const struct {
    std::string path;
    int error;  // 0: resolves to fits
  } rows[] = {{dir + "/dangling", ENOENT},
              {dir + "/missing/x", ENOENT},
              {"", ENOENT},
              {dir + "/fits", 0},
              {dir + "/too-long", ENAMETOOLONG}};
  for (const auto& row : rows) {
    real = "unchanged";
    errno = 0;
    EXPECT_EQ(resolve_path(row.path, real), row.error == 0) << row.path;
    EXPECT_EQ(real, row.error == 0 ? fits : "unchanged") << row.path;
    if (row.error != 0) {
      EXPECT_EQ(errno, row.error) << row.path;
    }
  }
}

TEST_F(FolderTest, SetPathStopsAtThePathLimit) {
  std::string text = "$APP";
  for (int i = 0; i < 250; ++i) text += "/d123456789";
  FOLDER folder;
  EXPECT_FALSE(folder.set_path(text.c_str(), true));
  EXPECT_LT(strlen(folder.path), static_cast<size_t>(FOLDER_PATH_SIZE));
  EXPECT_GT(strlen(folder.path), static_cast<size_t>(FOLDER_PATH_SIZE - 12));
  EXPECT_TRUE(is_directory(folder.path));
}

TEST_F(FolderTest, UnknownVariableIsFatal) {
  FOLDER folder;
  EXPECT_EXIT(folder.set_path("$NOSUCHVARIABLE/x"), ::testing::ExitedWithCode(255),
              "Path type constant passed to function FOLDER::set");
  EXPECT_EXIT(folder.set("$APPX"), ::testing::ExitedWithCode(255), "000C");
  EXPECT_EQ(landed(folder, folder.set(nullptr)), "failed: " + app);
}

TEST_F(FolderTest, UserFoldersAndTheirFallbacks) {
  FOLDER folder;
  // Nothing made yet: user folders fall back, without fallback they fail.
  EXPECT_EQ(landed(folder, folder.set("$USERAPP")), app);
  EXPECT_FALSE(folder.set("$USERAPP", false, nullptr, true));
  EXPECT_EQ(landed(folder, folder.set("$SYSDATA", false, nullptr, true)), "failed: " + app);

  EXPECT_EQ(landed(folder, folder.set_path("$USERPREFS", false, nullptr, true)), home + "/.vorntest/custdata");
  EXPECT_EQ(landed(folder, folder.set("$USERDATA", true)), user_data());
  EXPECT_EQ(landed(folder, folder.set("$SYSAPP", true)), root + "/opt/vorntest/bin");

  // The no-standard-folder flag leaves only the fallback.
  EXPECT_EQ(landed(folder, folder.set("$SYSAPP", false, nullptr, false, true)), app);
}

TEST_F(FolderTest, DataSearchClimbsFromApp) {
  FOLDER folder;
  make_dirs(scratch.file("data"));
  EXPECT_EQ(landed(folder, folder.set("$APPDATA", false, nullptr, true)), "failed: " + app);
  EXPECT_EQ(landed(folder, folder.set("$INSTDATA")), scratch.file("data"));
  EXPECT_EQ(landed(folder, folder.set("$SYSPREFS")), scratch.file("data"));  // falls back to the data search
  EXPECT_EQ(landed(folder, folder.set("$APPDATA", true)), app + "/data");  // made in $APP when asked
}

// Another user's folder, or one that others may write to without the
// sticky bit, on the way to a data folder found above "$APP" is passed
// over and the search goes on above it. "$APP/data" is the program's own,
// but settings never fall back to a folder of another user.
TEST_F(FolderTest, DataSearchPassesOverFoldersOtherUsersControl) {
  const std::string mid = scratch.file("mid"), upper = scratch.file("data");
  const auto own = [](const std::string& path, uid_t user, mode_t mode) {
    make_dirs(path);
    ASSERT_EQ(chown(path.c_str(), user, user), 0);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  };
  make_dirs(upper + "/fonts");
  const struct {
    std::function<void()> plant;
    const char* variable;
    std::string found;
  } rows[] = {
      {[&] { own(mid + "/data", 65534, 0755); }, "$INSTDATA", upper},
      {[&] { own(mid + "/data", 0, 0777); }, "$INSTDATA", upper},
      {[&] { own(mid + "/data", 0, 0775); }, "$INSTDATA", upper},
      {[&] { own(mid + "/data", 0, 01777); }, "$INSTDATA", mid + "/data"},
      {[&] { own(mid + "/data", 0, 0755); }, "$INSTDATA", mid + "/data"},
      {[&] { own(mid + "/data", 0, 0755), own(mid, 65534, 0755); }, "$INSTDATA", upper},
      {[&] { own(mid + "/data", 0, 0755), own(mid, 0, 0777); }, "$INSTDATA", upper},
      {[&] { own(mid + "/data/fonts", 65534, 0755); }, "$FONTDATA", upper + "/fonts"},
      {[&] { own(mid + "/vorn_libs/data/fonts", 0, 0755), own(mid + "/vorn_libs", 65534, 0755); },
       "$FONTDATA", upper + "/fonts"},
      {[&] { own(mid + "/vorn_libs/data/fonts", 0, 0755); }, "$FONTDATA", mid + "/vorn_libs/data/fonts"},
      {[&] { own(mid + "/app/data/fonts", 65534, 0755); }, "$FONTDATA", mid + "/app/data/fonts"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.variable + (" " + row.found));
    std::filesystem::remove_all(mid);
    make_dirs(mid + "/app");
    row.plant();
    set_base_path(folder_at(mid + "/app"), nullptr);
    FOLDER folder;
    EXPECT_EQ(landed(folder, folder.set(row.variable)), row.found);
  }

  own(mid + "/app/data", 65534, 0755);
  FOLDER folder;
  EXPECT_EQ(landed(folder, folder.set("$APPDATA")), mid + "/app/data");
  EXPECT_FALSE(folder.set("$USERPREFS"));
  EXPECT_EQ(landed(folder, folder.set("$USERDATA")), mid + "/app/data");
  own(mid + "/app/data", 0, 0755);
  EXPECT_EQ(landed(folder, folder.set("$USERPREFS")), mid + "/app/data");
}

TEST_F(FolderTest, DataTakesTheFirstThatExists) {
  FOLDER folder;
  EXPECT_EQ(landed(folder, folder.set("$DATA")), app);
  make_dirs(app + "/data");
  EXPECT_EQ(landed(folder, folder.set("$DATA")), app + "/data");
  make_dirs(root + "/opt/vorntest/data");
  EXPECT_EQ(landed(folder, folder.set("$DATA")), root + "/opt/vorntest/data");
  make_dirs(user_data());
  EXPECT_EQ(landed(folder, folder.set("$DATA")), user_data());
}

TEST_F(FolderTest, TempIsThisRunsPrivateFolder) {
  FOLDER folder;
  EXPECT_TRUE(folder.set("$TEMP"));
  EXPECT_EQ(std::string(folder.path), std::string(get_temporary_folder_path()));
  EXPECT_EQ(std::string(folder.path).rfind(root + "/tmp/vorntest-", 0), 0u);
  EXPECT_EQ(variable_text(folder_at(std::string(folder.path) + "/")), "$TEMP");

  // Without an application name no standard folder is made: "$APP/temp".
  set_base_path(folder_at(app), nullptr);
  EXPECT_EQ(landed(folder, folder.set("$TEMP")), app + "/temp");
  EXPECT_FALSE(folder.set("$USERDATA", true, nullptr, true));
}

TEST_F(FolderTest, RootsAndHere) {
  FOLDER folder;
  EXPECT_EQ(landed(folder, folder.set("$ROOT0")), home);
  EXPECT_EQ(landed(folder, folder.set("$root1")), "/");
  EXPECT_EQ(landed(folder, folder.set("$ROOT2")), "failed: " + app);
  EXPECT_FALSE(folder.set("$ROOT"));

  FOLDER base = folder_at(home);
  EXPECT_EQ(landed(folder, folder.set("$HERE", false, &base)), home);
  folder = folder_at("/tmp");
  EXPECT_EQ(landed(folder, folder.set("$HERE")), "/tmp");
}

TEST_F(FolderTest, FontAndIconData) {
  FOLDER folder;
  EXPECT_EQ(landed(folder, folder.set("$FONTDATA")), "failed: " + app);

  make_dirs(scratch.file("vorn_libs/data/icons"));
  EXPECT_EQ(landed(folder, folder.set("$ICONDATA")), scratch.file("vorn_libs/data/icons"));
  make_dirs(app + "/data/icons");
  EXPECT_EQ(landed(folder, folder.set("$ICONDATA")), app + "/data/icons");
  make_dirs(root + "/opt/vorntest/data/icons");
  EXPECT_EQ(landed(folder, folder.set("$ICONDATA")), root + "/opt/vorntest/data/icons");
  make_dirs(user_data() + "/fonts");
  EXPECT_EQ(landed(folder, folder.set("$FONTDATA")), user_data() + "/fonts");

  set_icon_path(folder_at(app));  // a longer path first: nothing of it stays behind
  set_icon_path(folder_at("/tmp"));
  EXPECT_EQ(landed(folder, folder.set("$ICONDATA")), "/tmp");
  FOLDER icons = folder_at("/");
  icons.get_icon_path();
  EXPECT_STREQ(icons.path, "/tmp");
  clear_icon_path();
  EXPECT_EQ(landed(folder, folder.set("$ICONDATA")), root + "/opt/vorntest/data/icons");
}

TEST_F(FolderTest, RegisteredVariablesMatchExactly) {
  make_dirs(app + "/mine");
  FOLDER mine = folder_at(app + "/mine");
  ASSERT_TRUE(register_path_variable("$MINE", mine));
  FOLDER folder;
  EXPECT_TRUE(folder.set_path("$MINE"));
  EXPECT_TRUE(same_path(folder, mine));
  EXPECT_EXIT(folder.set("$mine"), ::testing::ExitedWithCode(255), "Path type constant");

  // A registered name wins over a built-in one, but only spelt exactly.
  ASSERT_TRUE(register_path_variable("$APP", folder_at("/tmp")));
  EXPECT_EQ(landed(folder, folder.set("$APP")), "/tmp");
  EXPECT_EQ(landed(folder, folder.set("$app")), app);

  ASSERT_TRUE(register_path_variable("$MINE", folder_at("/")));  // replaces
  EXPECT_EQ(landed(folder, folder.set("$MINE")), "/");

  ASSERT_TRUE(register_path_variable(nullptr, mine));
  EXPECT_EQ((std::vector<bool>{unregister_path_variable(nullptr), unregister_path_variable(nullptr), unregister_path_variable("$APP"),
                               unregister_path_variable("$MINE"), unregister_path_variable("$MINE")}),  // in this order
            (std::vector<bool>{true, false, true, true, false}));
  EXPECT_EQ(landed(folder, folder.set("$APP")), app);
}

TEST_F(FolderTest, VariableTextNamesTheNearestVariable) {
  EXPECT_EQ(variable_text(folder_at(app)), "$APP");
  EXPECT_EQ(variable_text(folder_at(app + "/x/y/")), "$APP/x/y");
  make_dirs(user_data() + "/x");
  EXPECT_EQ(variable_text(folder_at(user_data() + "/x")), "$USERDATA/x");
  make_dirs(root + "/opt/vorntest/bin");
  EXPECT_EQ(variable_text(folder_at(root + "/opt/vorntest/bin/p")), "$SYSAPP/p");
  make_dirs(app + "/data");
  EXPECT_EQ(variable_text(folder_at(app + "/data/z")), "$APPDATA/z");

  EXPECT_EQ(variable_text(folder_at(home + "/other")), "$ROOT0/other");
  EXPECT_EQ(variable_text(folder_at("/")), "$ROOT1");
  EXPECT_EQ(variable_text(folder_at(scratch.path() + "/q")), "$ROOT1" + scratch.path() + "/q");

  make_dirs(scratch.file("mnt/a"));
  ASSERT_TRUE(ts::write_file(mounts, "/dev/root / ext4 rw 0 0\n/dev/sdb1 " + scratch.file("mnt") +
                                         " vfat rw 0 0\n"));
  EXPECT_EQ(variable_text(folder_at(scratch.file("mnt/a"))), "$ROOT2/a");

  char small[8];
  EXPECT_FALSE(folder_at(app + "/longer").get_variable_text(small, sizeof small));
  EXPECT_FALSE(folder_at("relative").get_variable_text(small, sizeof small));
}

TEST_F(FolderTest, RelativePaths) {
  FOLDER from = folder_at(app + "/a/b");
  FOLDER to = folder_at(app + "/a/c/d");
  char text[FOLDER_PATH_SIZE];
  FOLDER up = folder_at(app + "/a");
  for (auto [a, b, want] : {std::tuple{&from, &to, "$HERE/../c/d/"}, {&from, &from, "$HERE"},
                            {&to, &from, "$HERE/../../b/"}, {&from, &up, "$HERE/.."}}) {
    ASSERT_TRUE(a->get_relative_path(*b, text, sizeof text));
    EXPECT_STREQ(text, want);
  }

  // Back again through set_path.
  make_dirs(app + "/a/b");
  make_dirs(app + "/a/c/d");
  ASSERT_TRUE(from.get_relative_path(to, text, sizeof text));
  FOLDER back = folder_at("/");
  EXPECT_TRUE(back.set_path(text, false, &from));
  EXPECT_TRUE(same_path(back, to));

  // Another drive: the target's own variable text.
  ASSERT_TRUE(from.get_relative_path(folder_at(home + "/h"), text, sizeof text));
  EXPECT_STREQ(text, "$ROOT0/h");
  ASSERT_TRUE(to.get_path_text(text, sizeof text, &from));
  EXPECT_STREQ(text, "$HERE/../c/d/");
  ASSERT_TRUE(to.get_path_text(text, sizeof text, nullptr));
  EXPECT_STREQ(text, "$APP/a/c/d");

  char small[10];
  EXPECT_FALSE(to.get_relative_path(from, small, sizeof small));
}

TEST_F(FolderTest, StoredFormIsMarkerAndFixedField) {
  make_dirs(app + "/sub");
  FOLDER folder = folder_at(app + "/sub");
  MEMORY_DEVICE device;
  ASSERT_TRUE(device.write_object(folder));
  EXPECT_EQ(device.text(), stored_form("$APP/sub"));
  EXPECT_EQ(device.error, 0);

  device.position = 0;
  FOLDER read_back = folder_at("/");
  ASSERT_TRUE(device.read_object(read_back));
  EXPECT_TRUE(same_path(read_back, folder));
  EXPECT_EQ(device.tell(), 1u + FOLDER_PATH_SIZE);
}

TEST_F(FolderTest, StoredFormsThatNoLongerFitReadAsApp) {
  make_dirs(user_data() + "/x");
  struct CASE {
    std::string bytes;
    std::string expected;
  } cases[] = {
      {stored_form("$USERDATA/x"), user_data() + "/x"},
      {stored_form("$USERDATA/gone"), app},
      {stored_form("$NOT_KNOWN_HERE/x"), app},
      {stored_form(user_data(), 1), user_data()},
      {stored_form("/no/such/folder", 1), app},
      {stored_form("$USERDATA/x", 7), app},
      {std::string(1, '\x01') + std::string(FOLDER_PATH_SIZE, 'A'), app},
  };
  for (const CASE& c : cases) {
    MEMORY_DEVICE device(c.bytes);
    FOLDER folder = folder_at("/");
    EXPECT_TRUE(folder.get_from_data_device(&device)) << c.bytes.substr(0, 20);
    EXPECT_EQ(std::string(folder.path), c.expected) << c.bytes.substr(0, 20);
    EXPECT_EQ(device.error, 0);
  }

  MEMORY_DEVICE short_device(stored_form("$APP").substr(0, 100));
  FOLDER folder = folder_at("/");
  EXPECT_FALSE(folder.get_from_data_device(&short_device));
  EXPECT_EQ(short_device.error, 1);
  EXPECT_STREQ(folder.path, "/");
}

// Known variables are told from unknown ones without making their folders.
TEST_F(FolderTest, KnownVariablesAreToldWithoutTouchingTheDisk) {
  ASSERT_TRUE(register_path_variable("$MINE", folder_at("/")));
  for (const char* known : {"$APP/x", "$app", "$SYSDATA/log", "$TEMP", "$ROOT7/a", "$HERE", "$MINE/b"})
    EXPECT_TRUE(is_known_path_variable(known)) << known;
  for (const char* unknown : {"$NOT_KNOWN/a", "$mine", "APP", "", "../x"})
    EXPECT_FALSE(is_known_path_variable(unknown)) << unknown;
  EXPECT_FALSE(is_known_path_variable(nullptr));
  EXPECT_TRUE(unregister_path_variable("$MINE"));
  EXPECT_FALSE(ts::file_exists(root + "/opt/vorntest"));
  EXPECT_FALSE(ts::file_exists(root + "/tmp/vorntest"));
  EXPECT_FALSE(ts::file_exists(user_data()));
}

TEST_F(FolderTest, ResolvePathText) {
  // A standard folder not made yet names where it will be, and is not made.
  ASSERT_FALSE(ts::file_exists(user_data()));
  const struct {
    const char* text;
    const char* file;
    std::string path;
  } rows[] = {{"$APP/x/../y", "f.txt", app + "/y/f.txt"}, {"a//b/", nullptr, app + "/a/b"}, {"$ROOT1/..", nullptr, "/"},
              {"$ROOT1/usr/$ROOT0/z", nullptr, home + "/z"}, {"$NOT_KNOWN/a", nullptr, app + "/a"},
              {"$USERDATA/Demo Notes", nullptr, user_data() + "/Demo Notes"},
              {"$SYSAPP", nullptr, root + "/opt/vorntest/bin"}, {nullptr, "f", app + "/f"}};
  for (const auto& r : rows) EXPECT_EQ(std::string(resolve_path_text(r.text, r.file)), r.path) << r.path;
  EXPECT_FALSE(ts::file_exists(user_data()));
  // The program's own variable named like a standard folder is the program's.
  ASSERT_TRUE(register_path_variable("$USERDATA", folder_at("/")));
  EXPECT_EQ(std::string(resolve_path_text("$USERDATA/x", nullptr)), "/x");
  EXPECT_TRUE(unregister_path_variable("$USERDATA"));
  std::string long_text;
  for (int i = 0; i < 300; ++i) long_text += "/component";
  EXPECT_EQ(resolve_path_text(long_text.c_str(), nullptr), nullptr);
}

TEST_F(FolderTest, ListEntriesByKind) {
  for (const char* name : {"a.txt", "b.png", ".hidden"}) ASSERT_TRUE(ts::write_file(app + "/" + name, "12345"));
  ASSERT_EQ(chmod((app + "/a.txt").c_str(), 0444), 0);
  make_dirs(app + "/d1");
  make_dirs(app + "/.hd");
  int fd = open((app + "/big").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 5ll << 30), 0);
  close(fd);

  FOLDER folder;
  FOLDER_ENTRY* entries = nullptr;
  int32_t count = 0;
  ASSERT_TRUE(folder.list_entries(false, false, false, entries, count, nullptr, 0, 0, 0));
  ASSERT_EQ(count, 3);
  std::map<std::string, FOLDER_ENTRY> by_name;
  for (int i = 0; i < count; ++i) by_name[entries[i].name] = entries[i];
  EXPECT_EQ(by_name.count("a.txt") + by_name.count("b.png") + by_name.count("big"), 3u);
  EXPECT_EQ(std::tuple(by_name["big"].size, by_name["a.txt"].size, int{by_name["a.txt"].read_only}, int{by_name["b.png"].read_only},
                       int{by_name["b.png"].is_folder}, std::string(by_name["b.png"].folder)),
            std::tuple(0xFFFFFFFFu, 5u, 1, 0, 0, app));

  // Appending folders, hidden ones included.
  ASSERT_TRUE(folder.list_entries(true, true, true, entries, count, nullptr, 0, 2, 1));
  ASSERT_EQ(count, 5);
  std::set<std::string> folders = {entries[3].name, entries[4].name};
  EXPECT_EQ(folders, (std::set<std::string>{"d1", ".hd"}));
  EXPECT_EQ(entries[3].is_folder, 1);
  EXPECT_EQ(entries[4].hidden, entries[4].name[0] == '.' ? 1 : 0);

  // Without appending the old array goes and the pattern applies to files.
  ASSERT_TRUE(folder.list_entries(false, true, false, entries, count, ".png", 0, 1, 1));
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(entries[0].name, "b.png");
  ASSERT_TRUE(folder.list_entries(true, false, false, entries, count, ".png", 0, 1, 1));
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(entries[0].name, "d1");
  FOLDER::free_entries(entries);
  EXPECT_EQ(entries, nullptr);

  make_dirs(app + "/empty");
  EXPECT_TRUE(folder_at(app + "/empty").list_entries(false, true, false, entries, count, nullptr, 0, 1, 1));
  EXPECT_EQ(count, 0);
  // A pattern longer than any file name is refused, even where nothing would be listed.
  for (const auto& [length, ok] : {std::pair{size_t{255}, true}, std::pair{size_t{256}, false}}) {
    const std::string pattern(length, 'p');
    EXPECT_EQ(folder_at(app + "/empty").list_entries(false, true, false, entries, count,
                                                     pattern.c_str(), 0, 1, 1), ok) << length;
  }
  EXPECT_FALSE(folder_at(app + "/missing").list_entries(false, true, false, entries, count, nullptr, 0, 1, 1));
  FOLDER::free_entries(entries);
}

TEST_F(FolderTest, RemoveContentsNeverFollowsLinks) {
  std::string outside = scratch.file("outside");
  make_dirs(outside);
  ASSERT_TRUE(ts::write_file(outside + "/keep", "k"));
  std::string target = app + "/x";
  make_dirs(target + "/sub/deeper");
  ASSERT_TRUE(ts::write_file(target + "/.hidden", "h"));
  ASSERT_TRUE(ts::write_file(target + "/sub/deeper/file", "f"));
  ASSERT_EQ(symlink(outside.c_str(), (target + "/sub/link_dir").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep").c_str(), (target + "/link_file").c_str()), 0);
  ASSERT_EQ(symlink(outside.c_str(), (app + "/link").c_str()), 0);

  FOLDER folder;
  EXPECT_FALSE(folder.remove_contents("link"));
  EXPECT_FALSE(folder.remove_contents("missing"));
  EXPECT_TRUE(folder.remove_contents("x"));
  EXPECT_TRUE(is_directory(target.c_str()));
  FOLDER_ENTRY* entries = nullptr;
  int32_t count = -1;
  folder_at(target).list_entries(false, true, false, entries, count, nullptr, 0, 1, 1);
  EXPECT_EQ(count, 0);
  FOLDER::free_entries(entries);
  EXPECT_EQ(ts::read_file(outside + "/keep"), "k");

  EXPECT_TRUE(folder_at(app + "/x").remove_contents());
  EXPECT_TRUE(folder.remove_contents());
  EXPECT_FALSE(ts::file_exists(app + "/link"));
  EXPECT_EQ(ts::read_file(outside + "/keep"), "k");
}

TEST_F(FolderTest, UniqueFileNames) {
  FOLDER folder;
  char name[32];
  EXPECT_FALSE(folder.make_unique_file_name(name, 16, "12345678"));
  EXPECT_FALSE(folder.make_unique_file_name(nullptr, 32, ".tmp"));
  EXPECT_FALSE(folder.make_unique_file_name(name, sizeof name, nullptr));
  ASSERT_TRUE(folder.make_unique_file_name(name, 17, "_suffix_"));
  EXPECT_EQ(strlen(name), 16u);
  EXPECT_EQ(strspn(name, "0123456789ABCDEF"), 8u);

  // Occupy the names the clock is about to give, with files, folders and
  // dangling links: none of them may be handed out.
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint32_t start = static_cast<uint32_t>(now.tv_sec * 1000u + now.tv_nsec / 1000000u);
  for (uint32_t i = 0; i < 300; ++i) {
    char taken[32];
    snprintf(taken, sizeof taken, "%s/%08X.tmp", app.c_str(), start + i);
    if (i % 3 == 0) ts::write_file(taken, "");
    else if (i % 3 == 1) mkdir(taken, 0755);
    else symlink("/nonexistent/target", taken);
  }
  ASSERT_TRUE(folder.make_unique_file_name(name, sizeof name, ".tmp"));
  EXPECT_FALSE(ts::file_exists(app + "/" + name)) << name;
  EXPECT_STREQ(name + 8, ".tmp");
}

TEST_F(FolderTest, EntryTexts) {
  FOLDER_ENTRY entry = {};
  struct CASE {
    uint32_t size;
    const char* text;
  } cases[] = {{0, "0.0 b"},          {1023, "1023.0 b"},     {1024, "1.0 k"},
               {1536, "1.5 k"},       {1048576, "1.0 M"},     {1572864, "1.5 M"},
               {1u << 31, "2.0 G"},   {0xFFFFFFFFu, "4.0 G"}};
  FILE_INFO info = {};  // what a folder listing hands out
  for (const CASE& c : cases) {
    entry.size = info.size = c.size;
    EXPECT_STREQ(size_to_text(entry), c.text);
    EXPECT_STREQ(size_to_text(info), c.text);
  }
  entry.modified = info.modified = 1000000000u;
  time_t when = 1000000000;
  std::string expected = ctime(&when);
  expected.pop_back();
  EXPECT_EQ(std::string(time_to_text(entry)), expected);
  EXPECT_EQ(std::string(time_to_text(info)), expected);
  entry.modified = 0xFFFFFFFFu;  // far beyond 2038, still a date
  EXPECT_GT(strlen(time_to_text(entry)), 0u);
  EXPECT_EQ(strchr(time_to_text(entry), '\n'), nullptr);
}

TEST_F(FolderTest, TraceListsEveryVariable) {
  DEBUG_STREAM& stream = path_trace_stream();
  EXPECT_EQ(DEBUG_STREAM::find("Default Path Trace"), &stream);
  stream.flags = DEBUG_TO_CONSOLE;
  ::testing::internal::CaptureStdout();
  set_icon_path(folder_at("/tmp"));
  std::string out = ::testing::internal::GetCapturedStdout();
  stream.flags = 0;

  ASSERT_EQ(out.rfind("\nIcon Path Changed:\n\n", 0), 0u) << out;
  const char* order[] = {"$APP",   "$APPDATA", "$USERAPP", "$USERDATA", "$USERPREFS",
                         "$SYSAPP", "$SYSDATA", "$SYSPREFS", "$DATA",     "$TEMP",
                         "$ROOT0",  "$ROOT1",   "$ROOT2",    "$FONTDATA", "$ICONDATA"};
  size_t at = 0;
  for (const char* variable : order) {
    at = out.find(std::string(variable) + " => ", at);
    ASSERT_NE(at, std::string::npos) << variable;
  }
  EXPECT_NE(out.find("$APP => " + app + " (" + app + ")\n"), std::string::npos) << out;
  EXPECT_NE(out.find("$ROOT0 => " + home + " (" + home + ")\n"), std::string::npos) << out;
  EXPECT_NE(out.find("$ICONDATA => /tmp (/tmp)\n"), std::string::npos) << out;

  // Silent while the stream has no output.
  ::testing::internal::CaptureStdout();
  trace_default_paths();
  clear_icon_path();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

[[noreturn]] void set_paths_after_start_up(const std::string& output) {
  int fd = open(output.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  dup2(fd, 1);
  close(fd);
  static char arg0[] = "folder_test";
  static char* argv[] = {arg0, nullptr};
  save_arguments(argv, environ);
  path_trace_stream().flags = DEBUG_TO_CONSOLE;
  FOLDER folder;
  // Still starting (as while main reads the debug streams' settings): no
  // trace yet.
  folder.set_path("$ROOT1");
  fflush(stdout);
  printf("-- started --\n");
  set_platform_started(true);
  folder.set_path("$APP");
  folder.set_path("$ROOT1");
  fflush(stdout);
  _exit(0);
}

TEST_F(FolderTest, FirstPathAfterStartUpPrintsTheTraceOnce) {
  std::string output = scratch.file("trace.txt");
  EXPECT_EXIT(set_paths_after_start_up(output), ::testing::ExitedWithCode(0), "");
  std::string out = ts::read_file(output);
  EXPECT_EQ(out.rfind("-- started --\n\nStarting Default Paths:\n\n$APP => " + app + " (", 0), 0u) << out;
  size_t lines = static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
  EXPECT_EQ(lines, 1u + 3u + 15u) << out;
}

}  // namespace
