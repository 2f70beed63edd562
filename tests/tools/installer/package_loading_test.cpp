#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "file_modes.h"
#include "file_services.h"
#include "font.h"
#include "memory_device.h"
#include "package.h"
#include "package_test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_file_select.h"

namespace {

DATABASE_SHORTCUT shortcut(const char* menu_section, const char* platform) {
  DATABASE_SHORTCUT s;
  snprintf(s.menu_section, sizeof s.menu_section, "%s", menu_section);
  s.platform.set(platform);
  return s;
}

// "$TEMP" and the archives live in the scratch home; the fonts come from
// the system's DejaVu folder into a table without built-in fonts.
class PackageLoading : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    PackageScratchTest::SetUp();
    clear_load_builtin_fonts();
    FONT::init();
    ASSERT_TRUE(system_fonts.set_absolute(get_system_font_folder()));
    data.pack_folder = work;
  }
  void TearDown() override {
    DATA_FILE::set_default_buffer_size(buffer_size);
    data.package.reset();
    FONT::shutdown();
    set_system_root_override(nullptr);
    PackageScratchTest::TearDown();
  }

  // Two installations of 10 and 5 files, with shortcuts for this machine
  // and for others; a one-letter menu section is a menu all the same.
  static void fill(DATABASE& source) {
    source.installations.resize(2);
    DATABASE_INSTALLATION& a = source.installations[0];
    DATABASE_INSTALLATION& b = source.installations[1];
    snprintf(a.default_path, sizeof a.default_path, "$ROOT0/apps");
    a.files.resize(10);
    a.shortcuts = {shortcut("G", "linux"), shortcut("", "windows")};
    b.files.resize(5);
    b.shortcuts = {shortcut("Tools", "msb"), shortcut("", "")};
  }
  // installer.pkg in work, holding database_bin as "database.bin" (unless
  // null), the named system fonts and the table of file modes (unless null).
  void make_package(const std::string* database_bin, const std::vector<const char*>& fonts,
                    const std::string* file_modes = nullptr) {
    remove(scratch.file("work/installer.pkg").c_str());  // one made before
    if (database_bin) {
      ASSERT_TRUE(test_support::write_file(scratch.file("work/database.bin"), *database_bin));
    }
    PACKAGE package(work, "installer.pkg", true, 0, false, false);
    ASSERT_TRUE(package.is_open());
    if (database_bin) {
      ASSERT_TRUE(package.add_file(work, "database.bin"));
    }
    if (file_modes) {
      ASSERT_TRUE(test_support::write_file(scratch.file("work/modes"), *file_modes));
      ASSERT_TRUE(package.add_file(work, "modes", FILE_MODES_NAME));
    }
    for (const char* font : fonts) ASSERT_TRUE(package.add_file(system_fonts, font));
    ASSERT_TRUE(package.flush());
  }
  static std::string stored(DATABASE& source) {
    test_support::MEMORY_DEVICE device;
    EXPECT_TRUE(source.put_to_data_device(&device));
    return std::string(1, '\0') + device.text();  // the order byte first
  }

  installer_test::TOOLKIT_DEFAULTS_GUARD toolkit;
  const int32_t buffer_size = DATA_FILE::get_default_buffer_size();
  FOLDER system_fonts;
  DATABASE data;
};

TEST_F(PackageLoading, LoadsDataFontsAndWhatFollowsFromThem) {
  DATABASE source;
  fill(source);
  source.file_cache_sz = 65536;
  source.icons[ICON_PARENT_FOLDER].create(7, 6);
  const std::string bytes = stored(source);
  make_package(&bytes, {"DejaVuSans.ttf", "DejaVuSerif.ttf"});
  WM_FILE_SELECT::set_icon(WM_FILE_SELECT::ICON_PARENT_FOLDER, IMAGE());

  ASSERT_TRUE(data.load_package("installer.pkg"));
  // The browser takes its icons from the model.
  EXPECT_EQ(WM_FILE_SELECT::icon(WM_FILE_SELECT::ICON_PARENT_FOLDER).width, 7);
  EXPECT_EQ(WM_FILE_SELECT::icon(WM_FILE_SELECT::ICON_PARENT_FOLDER).height, 6);
  ASSERT_NE(data.package, nullptr);
  ASSERT_EQ(data.installations.size(), 2u);
  EXPECT_EQ(data.total_file_count, 15);
  EXPECT_STREQ(data.install_folder, "$ROOT0/apps");
  // Data files opened from now on buffer as much as the data asks.
  EXPECT_EQ(DATA_FILE::get_default_buffer_size(), 65536);
  EXPECT_EQ(data.installations[0].has_menu_shortcut, 1);
  EXPECT_EQ(data.installations[0].has_desktop_shortcut, 0);
  // A menu shortcut for big-endian machines sets nothing here.
  EXPECT_EQ(data.installations[1].has_menu_shortcut, 0);
  EXPECT_EQ(data.installations[1].has_desktop_shortcut, 1);

  ASSERT_TRUE(FONT::get(10) && FONT::get(22));
  EXPECT_STREQ(FONT::get(22)->name, "DejaVu Serif");
  EXPECT_EQ(FONT::get(0), nullptr);  // not in the package
  FOLDER temporary;
  temporary.set("$TEMP");
  EXPECT_FALSE(file_exists(temporary, "DejaVuSans.ttf"));

  // The index file carries the same data.
  ASSERT_TRUE(data.save_index());
  DATABASE copy;
  copy.pack_folder = work;
  ASSERT_TRUE(copy.load_index());
  EXPECT_EQ(copy.installations.size(), 2u);
  EXPECT_EQ(test_support::read_file(scratch.file("work/installer.idx")), stored(copy));

  // A size past the largest buffer (or past 31 bits) takes the largest.
  source.file_cache_sz = 0x80000000u;
  const std::string huge = stored(source);
  make_package(&huge, {});
  ASSERT_TRUE(data.load_package("installer.pkg"));
  EXPECT_EQ(DATA_FILE::get_default_buffer_size(), DATA_FILE::MAX_BUFFER_SIZE);
}

// Every failure is false; the package stays open once it was opened, and a
// package that cannot even be found leaves the earlier one in place.
TEST_F(PackageLoading, FailuresAreReportedAndKeepThePackageRule) {
  make_package(nullptr, {});
  EXPECT_FALSE(data.load_package("installer.pkg"));
  ASSERT_NE(data.package, nullptr);
  const PACKAGE* open = data.package.get();
  EXPECT_FALSE(data.load_package("missing.pkg"));
  EXPECT_EQ(data.package.get(), open);

  // database.bin that opens but does not read: a cleared model.
  DATABASE source;
  fill(source);
  const std::string bytes = stored(source);
  const std::string cut = bytes.substr(0, bytes.size() - 10);
  make_package(&cut, {"DejaVuSans.ttf"});
  DATA_FILE::set_default_buffer_size(4096);
  EXPECT_FALSE(data.load_package("installer.pkg"));
  EXPECT_EQ(DATA_FILE::get_default_buffer_size(), 1048576);  // the cleared model's
  EXPECT_NE(data.package, nullptr);
  EXPECT_TRUE(data.installations.empty());
  EXPECT_EQ(FONT::get(10), nullptr);
}

// The table of file modes beside database.bin gives each record of a
// packed name its bits (never more than rwx for all), and each folder named
// with a trailing '/' its bits; one that lies about its size makes the
// package fail to load.
TEST_F(PackageLoading, FilesTakeTheirBitsFromThePackagesTable) {
  DATABASE source;
  fill(source);
  const std::string too_long(300, 'b');
  set_field_text(source.installations[0].files[0].packed_name, "bin/tool");
  set_field_text(source.installations[0].files[1].packed_name, "doc/x");
  set_field_text(source.installations[0].files[2].packed_name, too_long.substr(0, 255));
  set_field_text(source.installations[1].files[0].packed_name, "bin/tool");
  const std::string bytes = stored(source);
  // An order byte, then little-endian numbers.
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto entry = [&](const std::string& name, uint16_t bits) {
    return u32(static_cast<uint32_t>(name.size())) + name + std::string{char(bits), char(bits >> 8)};
  };
  const std::string both = u32(2) + entry("bin/tool", 0700) + entry("doc/x", 0104644);
  struct ROW {
    const char* what;
    bool has_table;
    std::string table;
    bool loads;
    int32_t tool, doc, long_name;
    std::map<std::string, uint16_t> folders = {};
  } rows[] = {
      {"no table", false, "", true, -1, -1, -1},
      {"two names", true, std::string(1, '\0') + both, true, 0700, 0644, -1},
      {"folders", true, std::string(1, '\0') + u32(2) + entry("a/b/", 01750) + entry("doc/x", 0600), true, -1, 0600,
       -1, {{"a/b", 0750}}},
      {"a name longer than a record's", true, std::string(1, '\0') + u32(1) + entry(too_long, 0600), true, -1, -1, -1},
      {"a count past the entries", true, std::string(1, '\0') + u32(3) + both.substr(4), false, -1, -1, -1},
      {"a name cut short", true, std::string(1, '\0') + u32(1) + u32(100) + "bin/tool", false, -1, -1, -1},
      {"bits cut short", true, std::string(1, '\0') + u32(1) + entry("doc/x", 0644).substr(0, 10), false, -1, -1, -1},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.what);
    make_package(&bytes, {}, row.has_table ? &row.table : nullptr);
    ASSERT_EQ(data.load_package("installer.pkg"), row.loads);
    if (!row.loads) continue;
    EXPECT_EQ(data.installations[0].files[0].permissions, row.tool);
    EXPECT_EQ(data.installations[1].files[0].permissions, row.tool);
    EXPECT_EQ(data.installations[0].files[1].permissions, row.doc);
    EXPECT_EQ(data.installations[0].files[2].permissions, row.long_name);
    EXPECT_EQ(data.installations[0].files[3].permissions, -1);
    EXPECT_EQ(data.folder_modes, row.folders);
  }
}

TEST_F(PackageLoading, PlatformListsAreDecidedForThisMachine) {
  const uint32_t bitness = data.system_information().os_version;
  ASSERT_TRUE(bitness == 256 || bitness == 257);
  struct Row {
    const char* list;
    int code;  // -1: this machine
    bool on_64bit, on_32bit;
  };
  const Row rows[] = {
      {"", -1, 1, 1}, {"linux", -1, 1, 1}, {"LSB", -1, 1, 1}, {"linux:64bit", -1, 1, 0},
      {"linux:32bit,64bit", -1, 1, 1}, {"linux:6", -1, 1, 0}, {"linux:,32bit", -1, 0, 1},
      {"Linux", -1, 0, 0}, {"windows", -1, 0, 0}, {"msb", -1, 0, 0}, {"linux:", -1, 0, 0},
      {"linux:32bit", -1, 0, 1}, {"linux:unknown", -1, 0, 0}, {"linux:64bitx", -1, 0, 0},
      {"linux_i86:32bit", -1, 0, 1}, {":linux", -1, 0, 0}, {"windows", 33, 1, 1},
      {"win32", 33, 1, 1}, {"WINDOWS", 33, 0, 0}, {"linux:32bit", 1, 1, 1}, {"lsb", 133, 1, 1},
      {"lsb", 2, 0, 0}, {"MSB", 17, 1, 1}, {"msb", 1, 0, 0}, {"linux", 17, 0, 0},
  };
  for (const Row& row : rows) {
    const uint8_t code = static_cast<uint8_t>(row.code);
    EXPECT_EQ(data.match_platform(VORN_STRING(row.list), row.code < 0 ? nullptr : &code),
              bitness == 257 ? row.on_64bit : row.on_32bit)
        << row.list << " code " << row.code;
  }
  EXPECT_EQ(DATABASE::platform_name_of, &DATABASE::get_platform_name);
  EXPECT_STREQ(DATABASE::get_platform_name(130), "winmob_arm");
  for (uint8_t unknown : {0, 2, 133}) EXPECT_STREQ(DATABASE::get_platform_name(unknown), "");
  for (const char* filter : {"WIN32", "beos"}) data.set_platform_filter(filter);
  EXPECT_EQ(data.platform_filter, 33);

  // -p: lists are decided for the named platform instead of this machine;
  // naming this machine's own platform keeps its bitness rules.
  struct FILTERED {
    const char* filter;
    const char* list;
    bool matches;
  } filtered[] = {{"windows", "windows", true}, {"windows", "linux", false}, {"windows", "", true},
                  {"win32", "win32:64bit", true}, {"psp", "lsb", true}, {"macosx", "msb", true},
                  {"linux", "windows", false}, {"linux", "linux:unknown", false}, {"linux", "linux", true}};
  for (const FILTERED& row : filtered) {
    data.set_platform_filter(row.filter);
    EXPECT_EQ(data.match_platform(VORN_STRING(row.list)), row.matches) << row.filter << " " << row.list;
  }
  EXPECT_EQ(DATABASE::get_shortcut_kind("WebLink"), 2);
  EXPECT_EQ(DATABASE::get_shortcut_kind(""), 0);
}

// The log of an earlier installation, looked for where the current choices
// would install ($ROOT0 is the scratch home, $SYSAPP under the scratch
// system root); nothing is ever created on the way.
TEST_F(PackageLoading, PreviousInstallationIsFoundFromItsLog) {
  set_system_root_override(scratch.file("root").c_str());
  for (const char* dir : {"home/apps", "home/apps/logs", "home/other", "root", "root/opt",
                          "root/opt/demo", "root/opt/demo/bin", "root/opt/demo/bin/syslogs"})
    ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
  snprintf(data.application.app_string, sizeof data.application.app_string, "demo");
  snprintf(data.patch.dest_path_from_inst_loc, DATABASE_TEXT_SIZE, "$APP/logs");

  struct Row {
    uint8_t system, allowed;  // the user's choice; the installation's permission
    const char *system_log, *install, *log_at, *text;
    bool found;
  };
  const char* kUser = "home/apps/logs";
  const char* kSystem = "root/opt/demo/bin/syslogs";
  const Row rows[] = {
      {0, 1, "", "$ROOT0/apps", kUser, "Installed\nSettings: 5 0 $ROOT0/apps\n", true},
      // Logs that write a missing folder bare (older runs) or quoted.
      {0, 1, "", "$ROOT0/apps", kUser,
       "Settings: 5 0 $ROOT0/apps\n\ncreate_desktop_shortcut( 2, \"u\", \"\", \"S\", null, \"\", null );\n", true},
      {0, 1, "", "$ROOT0/apps", kUser,
       "Settings: 5 0 $ROOT0/apps\n\ncreate_desktop_shortcut( 2, \"u\", \"\", \"S\", \"null\", \"\", \"null\" );\n",
       true},
      // Without system paths the system log path plays no part.
      {0, 1, "$APP/syslogs", "$ROOT0/apps", kUser, "Settings: 5 0 $ROOT0/apps\n", true},
      {0, 1, "", "$ROOT0/apps", kUser, "Settings: 5 0 $ROOT0/other\n", false},
      {0, 1, "", "$ROOT0/apps", kUser, "Settings: 5\n", false},
      {0, 1, "", "$ROOT0/apps", kUser, "Settings: 5 1 $ROOT0/apps\n", false},
      {0, 1, "", "$ROOT0/absent", kUser, "Settings: 5 0 $ROOT0/absent\n", false},
      {0, 1, "", "$ROOT0/apps", kUser, "Settings: 5 0 $NO_SUCH/apps\n", false},
      {0, 1, "", "$NO_SUCH/apps", kUser, "Settings: 5 0 $NO_SUCH/apps\n", false},
      {1, 1, "$APP/syslogs", "", kSystem, "Settings: 5 1 $SYSAPP\n", true},
      {1, 1, "$APP/syslogs", "", kSystem, "Settings: 5 1\n", true},  // its folder is the system's own
      {1, 1, "$APP/syslogs", "", kSystem, "Settings: 5 0 $ROOT0/apps\n", false},
      {1, 1, "$APP/../bin/syslogs", "", kSystem, "Settings: 5 1 $SYSAPP\n", false},
      // No system log path: a user lookup, in the install folder itself.
      {1, 1, "", "", "root/opt/demo/bin", "Settings: 5 1 $SYSAPP\n", false},
      // System paths chosen where the installation does not allow them:
      // the worker installs into the chosen folder, and so it is looked for.
      {1, 0, "$APP/syslogs", "$ROOT0/apps", kUser, "Settings: 5 0 $ROOT0/apps\n", true},
  };
  data.installations.resize(1);
  for (const Row& row : rows) {
    data.use_system_paths = row.system;
    data.installations[0].allow_system_paths = row.allowed;
    snprintf(data.patch.system_dest_path_from_inst_loc, DATABASE_TEXT_SIZE, "%s", row.system_log);
    snprintf(data.install_folder, sizeof data.install_folder, "%s", row.install);
    const std::string log = scratch.file(row.log_at) + "/install_log.txt";
    ASSERT_TRUE(test_support::write_file(log, row.text));
    EXPECT_EQ(data.find_previous_installation(), row.found) << row.install << " " << row.text;
    ASSERT_EQ(remove(log.c_str()), 0);
  }
  EXPECT_FALSE(test_support::file_exists(scratch.file("home/absent")));

  // Without the system folder nothing is found, and it is not made.
  set_system_root_override(scratch.file("home").c_str());
  data.use_system_paths = 1;
  data.installations[0].allow_system_paths = 1;
  EXPECT_FALSE(data.find_previous_installation());
  EXPECT_FALSE(test_support::file_exists(scratch.file("home/opt")));
}

}  // namespace
