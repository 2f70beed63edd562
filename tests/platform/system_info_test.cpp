// System information: what /proc says about processors and memory (from
// made-up files through the seams, and from this machine), the code-table
// names, the application record and the about text.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <map>
#include <string>

#include "application_info.h"
#include "file_services.h"
#include "system_info.h"
#include "test_support.h"

using test_support::ScratchDir;
using test_support::write_file;

namespace {

class SystemInfoFiles : public testing::Test {
protected:
  void TearDown() override {
    set_cpuinfo_file_override(nullptr);
    set_meminfo_file_override(nullptr);
  }
  void use_cpuinfo(const std::string& text) {
    ASSERT_TRUE(write_file(cpuinfo_path, text));
    set_cpuinfo_file_override(cpuinfo_path.c_str());
  }
  void use_meminfo(const std::string& text) {
    ASSERT_TRUE(write_file(meminfo_path, text));
    set_meminfo_file_override(meminfo_path.c_str());
  }
  ScratchDir scratch;
  std::string cpuinfo_path = scratch.file("cpuinfo");
  std::string meminfo_path = scratch.file("meminfo");
};

std::string processor_block(int number, const char* vendor, const char* mhz) {
  std::string block = "processor\t: " + std::to_string(number) + "\n";
  block += std::string("vendor_id\t: ") + vendor + "\n";
  block += "model name\t: Some processor\n";
  block += std::string("cpu MHz\t\t: ") + mhz + "\n";
  block += "flags\t\t: " + std::string(3000, 'f') + "\n\n";  // longer than any line buffer
  return block;
}

}  // namespace

TEST_F(SystemInfoFiles, CountsProcessorLinesAndReadsEverySpeed) {
  // More processors than a process exit status could ever carry.
  std::string text;
  for (int i = 0; i < 300; ++i) text += processor_block(i, "AuthenticAMD", i % 2 ? "3400.118" : "1200.000");
  use_cpuinfo(text);
  SYSTEM_INFO info;
  get_system_info(&info);
  ASSERT_EQ(info.cpu_count, 300);
  ASSERT_NE(info.cpu_speed, nullptr);
  EXPECT_EQ(info.cpu_speed[0], 1200);
  EXPECT_EQ(info.cpu_speed[1], 3400);
  EXPECT_EQ(info.cpu_speed[299], 3400);
  EXPECT_EQ(info.cpu_type, 1);
  EXPECT_STREQ(get_cpu_type_name(static_cast<uint32_t>(info.cpu_type)), "AMD");
}

TEST_F(SystemInfoFiles, LinesBeforeTheFirstProcessorAreSkipped) {
  use_cpuinfo("cpu MHz\t\t: 9999\nvendor_id\t: GenuineIntel\n" + processor_block(0, "GenuineIntel", "2600.5") +
              "processor\t: 1\n");
  SYSTEM_INFO info;
  get_system_info(&info);
  ASSERT_EQ(info.cpu_count, 2);
  EXPECT_EQ(info.cpu_speed[0], 2600);
  EXPECT_EQ(info.cpu_speed[1], 0);
  EXPECT_EQ(info.cpu_type, 2);
}

TEST_F(SystemInfoFiles, MissingOrEmptyFilesLeaveOneProcessorAndNoMemory) {
  const std::string absent = scratch.file("absent");
  set_cpuinfo_file_override(absent.c_str());
  set_meminfo_file_override(absent.c_str());
  SYSTEM_INFO info;
  get_system_info(&info);
  ASSERT_EQ(info.cpu_count, 1);
  EXPECT_EQ(info.cpu_speed[0], 0);
  EXPECT_EQ(info.cpu_type, 0);
  EXPECT_STREQ(get_cpu_type_name(0), "Unknown CPU type");
  EXPECT_EQ(std::tuple(info.physical_memory, info.virtual_memory, info.free_physical_memory, info.free_virtual_memory),
            std::tuple(0, 0, 0, 0));

  use_cpuinfo("");
  get_system_info(&info);
  EXPECT_EQ(info.cpu_count, 1);
}

TEST_F(SystemInfoFiles, MemoryIsReadInMebibytes) {
  // The numbers start right after the colon too.
  use_meminfo(
      "MemTotal:2048000 kB\n"
      "MemFree:524288 kB\n"
      "MemAvailable:    1000000 kB\n"
      "SwapTotal:1048576 kB\n"
      "SwapFree:102400 kB\n");
  SYSTEM_INFO info;
  get_system_info(&info);
  // Virtual memory (1048576 + 2048000) / 1024.
  EXPECT_EQ(std::tuple(info.physical_memory, info.free_physical_memory, info.virtual_memory, info.free_virtual_memory),
            std::tuple(2000, 512, 3024, 100));
}

TEST_F(SystemInfoFiles, ARefillReplacesTheOwnedArrays) {
  use_cpuinfo(processor_block(0, "GenuineIntel", "100") + processor_block(1, "GenuineIntel", "200") +
              processor_block(2, "GenuineIntel", "300"));
  SYSTEM_INFO info;
  get_system_info(&info);
  ASSERT_EQ(info.cpu_count, 3);
  use_cpuinfo(processor_block(0, "GenuineIntel", "700"));
  get_system_info(&info);  // the sanitizer build sees any array that is not freed
  ASSERT_EQ(info.cpu_count, 1);
  EXPECT_EQ(info.cpu_speed[0], 700);
}

// The system's word size is what getconf answers cleanly; a failed or
// killed getconf, an answer that is no number or none at all leave this
// program's own.
TEST_F(SystemInfoFiles, WordSizeIsGetconfsCleanAnswer) {
  test_support::EnvironmentGuard env;
  env.set("PATH", scratch.path());
  const uint32_t own = sizeof(long) == 8 ? 257 : 256;
  const std::string getconf = scratch.file("getconf");
  const struct {
    const char* script;  // null: there is no getconf
    uint32_t version;
    bool children_ignored = false;  // started with SIGCHLD ignored: no exit status to wait for
  } rows[] = {{"echo 32", 256}, {"echo 32; exit 1", own}, {"echo 32; kill -9 $$", own},
              {"echo 32; exec >&-; /bin/sleep 0.2; exit 1", own},  // fails after its output ends
              {"echo none", own}, {nullptr, own}, {"echo 32", 256, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script ? row.script : "no getconf");
    unlink(getconf.c_str());
    if (row.script) {
      ASSERT_TRUE(write_file(getconf, std::string("#!/bin/sh\n") + row.script + "\n"));
      ASSERT_EQ(chmod(getconf.c_str(), 0755), 0);
    }
    SYSTEM_INFO info;
    signal(SIGCHLD, row.children_ignored ? SIG_IGN : SIG_DFL);
    get_system_info(&info);
    signal(SIGCHLD, SIG_DFL);
    EXPECT_EQ(info.os_version, row.version);
  }
}

// The system report, whole: what differs between machines (names, the
// kernel's build, free space) is masked, everything else is exact; a
// drive whose space cannot be asked for shows none.
TEST_F(SystemInfoFiles, ReportShowsEveryLine) {
  use_cpuinfo(processor_block(0, "GenuineIntel", "2600.5") + processor_block(1, "GenuineIntel", "800"));
  use_meminfo("MemTotal: 2048000 kB\nMemFree: 524288 kB\nSwapTotal: 1048576 kB\nSwapFree: 102400 kB\n");
  ASSERT_TRUE(write_file(scratch.file("mounts"), "/dev/root / ext4 rw 0 0\n/dev/sdz1 /no/such/place ext4 rw 0 0\n"));
  set_mounts_file_override(scratch.file("mounts").c_str());
  testing::internal::CaptureStdout();
  print_system_report();
  std::istringstream lines(testing::internal::GetCapturedStdout());
  set_mounts_file_override(nullptr);
  std::string masked;
  for (std::string line; std::getline(lines, line);) {
    for (const char* label : {"Computer Name:", "OS Build:", "Hostame:", "IP:"})
      if (line.rfind(label, 0) == 0) line = line.substr(0, 22) + "*";
    if ((line.rfind("Disk 0", 0) == 0 || line.rfind("Disk 1", 0) == 0) && line.find("Mb (") != std::string::npos)
      line = line.substr(0, 22) + "*" + line.substr(line.find("Mb ("));
    masked += line + "\n";
  }
  EXPECT_EQ(masked, std::string("Running a ") + (sizeof(void*) == 8 ? "64" : "32") + R"(bit application

App:                  V.O.R.N. Application
Exit Msg:             Disabled
Linux Icon:           Default
PSP Splash Time:      0
PSP Splash Imgs:      Absent
PSP flash_leds:       No
GP2X Joystick:        0
GP2X Mouse Rate:      0
GP2X Display Type:    0
Windows IconID:       0
NDS Console:          No
NDS Memory Chk:       Disabled
NDS Rotated:          No
MacOS Show About:     No
NDS Show Preferences: No

Computer Name:        *
OS:                   Intel Linux
OS Version:           )" + (sizeof(long) == 8 ? "64" : "32") + R"( Bit Linux
OS Build:             *
Desktop Icons:        Supported
Desktop Menu:         Supported
CPUs:                 2
CPU Type:             Intel
CPU 0 Speed:          2600
CPU 1 Speed:          800
Byte Order:           Least significant byte first
Phy Mem:              2000Mb
Virt Mem:             3024Mb
Free Phy Mem:         512Mb
Free Virt Mem:        100Mb
System Folders:       Supported
Disks:                3
Disk 0 Free:          *Mb (Home)
Disk 1 Free:          *Mb (File System)
Disk 2 Free:          0Mb (/no/such/place)
Fullscreen:           Supported
Windowed:             Supported
Hostame:              *
IP:                   *
Hardware Keyboard:    Connected
Mouse:                Connected
Mouse Buttons:        3
Joystick:             Supported
Joystick1:            Disconnected
Multiple Windows:     Unsupported

)");
}

TEST(SystemInfo, DescribesThisMachine) {
  SYSTEM_INFO info;
  get_system_info(&info);
  EXPECT_EQ(info.os_type, 1);
  EXPECT_STREQ(get_os_type_name(info.os_type), "Intel Linux");
  EXPECT_EQ(info.os_version, sizeof(long) == 8 ? 257u : 256u);

  struct utsname names;
  ASSERT_EQ(uname(&names), 0);
  ASSERT_NE(info.os_build, nullptr);
  EXPECT_EQ(std::string(info.os_build), std::string(names.release) + " " + names.version);

  int processors = 0;
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);)
    if (line.rfind("processor", 0) == 0) ++processors;
  EXPECT_EQ(info.cpu_count, processors > 0 ? processors : 1);
  EXPECT_EQ(info.cpu_count, sysconf(_SC_NPROCESSORS_CONF));

  EXPECT_GT(info.physical_memory, 0);
  EXPECT_GE(info.virtual_memory, info.physical_memory);
  EXPECT_LE(info.free_physical_memory, info.physical_memory);

  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::string short_name(host);
  EXPECT_EQ(std::string(info.computer_name), short_name.substr(0, short_name.find('.')));
  EXPECT_LT(strnlen(info.host_name, sizeof info.host_name), sizeof info.host_name);
  EXPECT_LT(strnlen(info.ip_address, sizeof info.ip_address), sizeof info.ip_address);

  EXPECT_GE(info.drive_count, 2);  // the home folder and the root at least
  ASSERT_NE(info.drive_free, nullptr);
  struct statvfs root_fs {};  // drive 1 is the root: its free MiB, give or take other writers
  ASSERT_EQ(statvfs("/", &root_fs), 0);
  EXPECT_NEAR(info.drive_free[1], static_cast<double>(root_fs.f_bavail) * root_fs.f_frsize / 1048576, 64);
  const std::vector<int> flags = {info.byte_order, info.desktop_icons, info.desktop_menu, info.system_folders,
                                  info.keyboard,   info.mouse,         info.mouse_buttons, info.joystick,
                                  info.multiple_windows, info.full_screen, info.windowed};
  EXPECT_EQ(flags, (std::vector<int>{0, 1, 1, 1, 1, 1, 3, 1, 0, 1, 1}));
  EXPECT_EQ(info.joystick1, access("/dev/js0", R_OK) == 0 || access("/dev/djs0", R_OK) == 0 ? 1 : 0);
}

TEST(SystemInfo, CodeTableNames) {
  const std::pair<const char*, const char*> names[] = {
      {get_os_type_name(129), "GP2X Linux"}, {get_os_type_name(133), "iPhone OS"},
      {get_os_type_name(2), "Unknown OS type"}, {get_os_version_name(256), "32 Bit Linux"},
      {get_os_version_name(257), "64 Bit Linux"}, {get_os_version_name(4357), "Mac OS X 10.5 (Leopard)"},
      {get_os_version_name(8455), "Windows Server2003"}, {get_os_version_name(8464), "Windows 7"},
      {get_os_version_name(10649), "Unknown Windows"}, {get_os_version_name(33536), "Generic"},
      {get_os_version_name(33792), "Generic"}, {get_os_version_name(34054), "3GS iPhone"},
      {get_os_version_name(258), "Unknown OS version"}, {get_cpu_type_name(3), "PowerPC"},
      {get_cpu_type_name(4), "ARM"}, {get_cpu_type_name(5), "Unknown CPU type"},
      {get_byte_order_name(0), "Least significant byte first"},
      {get_byte_order_name(1), "Most significant byte first"}, {get_byte_order_name(2), "Unknown byte order"},
  };
  for (const auto& [got, want] : names) EXPECT_STREQ(got, want);

  // Every code up to 40000: the named ones, and "unknown" for all others.
  const std::map<uint32_t, std::string> types = {
      {1, "Intel Linux"}, {17, "Mac OS X"}, {33, "Microsoft Windows"}, {129, "GP2X Linux"},
      {130, "ARM Windows Mobile"}, {131, "PSP OS"}, {132, "NintendoDS OS"}, {133, "iPhone OS"}};
  const std::map<uint32_t, std::string> versions = {
      {256, "32 Bit Linux"}, {257, "64 Bit Linux"}, {4352, "Mac OS X 10.0 (Cheetah)"},
      {4353, "Mac OS X 10.1 (Puma)"}, {4354, "Mac OS X 10.2 (Jaguar)"}, {4355, "Mac OS X 10.3 (Panther)"},
      {4356, "Mac OS X 10.4 (Tiger)"}, {4357, "Mac OS X 10.5 (Leopard)"}, {4358, "Unknown Mac OS X"},
      {8448, "Windows NT3.5"}, {8449, "Windows NT4"}, {8450, "Windows 95"}, {8451, "Windows 98"},
      {8452, "Windows ME"}, {8453, "Windows 2000"}, {8454, "Windows XP"}, {8455, "Windows Server2003"},
      {8456, "Windows Vista"}, {8457, "Windows Server2008"}, {8464, "Windows 7"}, {10649, "Unknown Windows"},
      {33024, "F100"}, {33025, "F200"}, {33280, "Windows Mob"}, {33536, "Generic"}, {33792, "Generic"},
      {34048, "Unknown iPhone"}, {34049, "iPhone Simulator"}, {34050, "1st Gen iPod"}, {34051, "2nd Gen iPod"},
      {34052, "Original iPhone"}, {34053, "3G iPhone"}, {34054, "3GS iPhone"}};
  std::string wrong;
  for (uint32_t code = 0; code <= 40000; ++code) {
    const std::string type = types.count(code) ? types.at(code) : "Unknown OS type";
    const std::string version = versions.count(code) ? versions.at(code) : "Unknown OS version";
    if (get_os_type_name(code) != type) wrong += std::to_string(code) + " type " + get_os_type_name(code) + "\n";
    if (get_os_version_name(code) != version)
      wrong += std::to_string(code) + " version " + get_os_version_name(code) + "\n";
  }
  EXPECT_EQ(wrong, "");
}

TEST(ApplicationInfo, DefaultRecordUntilOneIsRegistered) {
  const APPLICATION_INFO& fallback = get_application_info();
  ASSERT_NE(fallback.name, nullptr);
  EXPECT_EQ(fallback.exit_message, 0);
  EXPECT_EQ(fallback.icon, nullptr);

  static const APPLICATION_INFO mine = {"Mine 1.0", 1, nullptr, 0, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  set_application_info(&mine);
  EXPECT_EQ(&get_application_info(), &mine);
  EXPECT_STREQ(get_app_title(), "Mine 1.0");
  set_application_info(nullptr);
  EXPECT_EQ(&get_application_info(), &fallback);
}

TEST(ApplicationInfo, TitleIsBoundedAndFallsBackToTheName) {
  set_app_title(std::string(400, 'T').c_str());
  EXPECT_EQ(std::string(get_app_title()), std::string(255, 'T'));
  set_app_title("Short");
  EXPECT_STREQ(get_app_title(), "Short");
  set_app_title(nullptr);
  EXPECT_STREQ(get_app_title(), get_application_info().name);
}

TEST(AboutText, NamesTheApplicationTheBuildAndTheLibraries) {
  set_app_title("About Test 3.1");
  std::string with_title = get_about_text(true);
  EXPECT_EQ(with_title.rfind("About Test 3.1\nBuilt on ", 0), 0u) << with_title;
  EXPECT_NE(with_title.find("FreeType"), std::string::npos);
  EXPECT_NE(with_title.find("http://"), std::string::npos);

  std::string without_title = get_about_text(false);
  EXPECT_EQ(without_title.rfind("Built on ", 0), 0u) << without_title;
  EXPECT_EQ(without_title.find("About Test 3.1"), std::string::npos);
  set_app_title(nullptr);
}
