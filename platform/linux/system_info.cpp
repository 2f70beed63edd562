// System information from uname, /proc and the other platform services, the
// names of its codes, the system report and the about text.
#include "system_info.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "application_info.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "string_utils.h"
#include "tcpip.h"

extern char** environ;

namespace {

const char* cpuinfo_override = nullptr;
const char* meminfo_override = nullptr;

// Copies as much of the text as fits and always terminates.
void copy_bounded(char* output, size_t output_size, const char* text) {
  if (output_size == 0) return;
  if (!text) text = "";
  size_t length = strnlen(text, output_size - 1);
  memcpy(output, text, length);
  output[length] = 0;
}

bool begins_with(const char* text, const char* prefix) {
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

// The word size that "getconf LONG_BIT" reports, run without a shell; the
// program's own word size when getconf cannot tell.
int system_long_bits() {
  constexpr int kOwnBits = static_cast<int>(sizeof(long) * CHAR_BIT);
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return kOwnBits;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char program[] = "getconf";
  char argument[] = "LONG_BIT";
  char* argv[] = {program, argument, nullptr};
  pid_t child = -1;
  int started = posix_spawnp(&child, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);

  char output[32] = {};
  size_t filled = 0;
  if (started == 0) {
    while (filled < sizeof output - 1) {
      ssize_t got = read(pipe_ends[0], output + filled, sizeof output - 1 - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      filled += static_cast<size_t>(got);
    }
  }
  close(pipe_ends[0]);
  if (started != 0) return kOwnBits;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return kOwnBits;
  int bits = atoi(output);
  return bits > 0 ? bits : kOwnBits;
}

// Speeds of the processors in /proc/cpuinfo: one entry per "processor"
// line, so the count and the speeds can never disagree.
void read_cpuinfo(SYSTEM_INFO* info, std::vector<int32_t>& speeds) {
  FILE* file = fopen(cpuinfo_override ? cpuinfo_override : "/proc/cpuinfo", "r");
  if (!file) return;
  char* line = nullptr;
  size_t capacity = 0;
  while (getline(&line, &capacity, file) >= 0) {
    if (begins_with(line, "processor")) {
      speeds.push_back(0);
      continue;
    }
    if (speeds.empty()) continue;
    if (begins_with(line, "vendor_id")) {
      if (strstr(line, "Intel")) info->cpu_type = 2;
      else if (strstr(line, "AMD")) info->cpu_type = 1;
    } else if (begins_with(line, "cpu MHz")) {
      const char* value = line + 7;
      while (*value == ' ' || *value == '\t' || *value == ':') ++value;
      long mhz = strtol(value, nullptr, 10);
      if (mhz < 0) mhz = 0;
      if (mhz > INT32_MAX) mhz = INT32_MAX;
      speeds.back() = static_cast<int32_t>(mhz);
    }
  }
  free(line);
  fclose(file);
}

int32_t kilobytes_to_mib(long long kilobytes) {
  long long mib = kilobytes / 1024;
  if (mib < 0) return 0;
  return mib > INT32_MAX ? INT32_MAX : static_cast<int32_t>(mib);
}

void read_meminfo(SYSTEM_INFO* info) {
  FILE* file = fopen(meminfo_override ? meminfo_override : "/proc/meminfo", "r");
  if (!file) return;
  long long total = 0, free_memory = 0, swap_total = 0, swap_free = 0;
  char* line = nullptr;
  size_t capacity = 0;
  while (getline(&line, &capacity, file) >= 0) {
    long long* target = nullptr;
    const char* value = nullptr;
    if (begins_with(line, "MemTotal:")) target = &total, value = line + 9;
    else if (begins_with(line, "MemFree:")) target = &free_memory, value = line + 8;
    else if (begins_with(line, "SwapTotal:")) target = &swap_total, value = line + 10;
    else if (begins_with(line, "SwapFree:")) target = &swap_free, value = line + 9;
    if (target) *target = strtoll(value, nullptr, 10);
  }
  free(line);
  fclose(file);
  info->physical_memory = kilobytes_to_mib(total);
  info->virtual_memory = kilobytes_to_mib(swap_total + total);
  info->free_physical_memory = kilobytes_to_mib(free_memory);
  info->free_virtual_memory = kilobytes_to_mib(swap_free);
}

// Free MiB on the file system that holds the path; 0 when it cannot tell.
uint32_t free_mib(const char* path) {
  struct statfs result;
  if (statfs(path, &result) != 0) return 0;
  uint64_t block_size = static_cast<uint64_t>(result.f_bsize);
  if (result.f_bsize <= 0 || block_size > 1048576) return 0;
  uint64_t mib = static_cast<uint64_t>(result.f_bavail) / (1048576 / block_size);
  return mib > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(mib);
}

void read_drives(SYSTEM_INFO* info) {
  int count = get_drive_count();
  if (count < 0) count = 0;
  if (count > INT16_MAX) count = INT16_MAX;
  if (count == 0) return;
  info->drive_free = static_cast<uint32_t*>(calloc(static_cast<size_t>(count), sizeof(uint32_t)));
  if (!info->drive_free) return;
  info->drive_count = static_cast<int16_t>(count);
  // The drive list is read again for each path; a drive that has gone in
  // the meantime keeps 0 and nothing is written past the array.
  FOLDER folder;
  for (int i = 0; i < count; ++i)
    if (get_drive_path(&folder, i)) info->drive_free[i] = free_mib(folder.path);
}

// Whether joystick 1 can be opened, counted as the input module counts:
// "/dev/js0", or when that fails "/dev/djs0". Closed again at once.
bool first_joystick_present() {
  for (const char* device : {"/dev/js0", "/dev/djs0"}) {
    int descriptor = open(device, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0) {
      close(descriptor);
      return true;
    }
  }
  return false;
}

// One report line: the label padded to 22 characters, then the value.
void report(const char* label, const std::string& value) {
  console_print(format_text("%-22s%s\n", label, value.c_str()).c_str());
}
void report(const char* label, const char* value) { report(label, std::string(value ? value : "")); }
void report_number(const char* label, long long value) { report(label, std::to_string(value)); }

const char* yes_no(uint8_t flag) { return flag ? "Yes" : "No"; }
const char* enabled(uint8_t flag) { return flag ? "Enabled" : "Disabled"; }
const char* supported(uint8_t flag) { return flag ? "Supported" : "Unsupported"; }
const char* connected(uint8_t flag) { return flag ? "Connected" : "Disconnected"; }

}  // namespace

SYSTEM_INFO::~SYSTEM_INFO() {
  free(os_build);
  free(cpu_speed);
  free(drive_free);
}

void get_system_info(SYSTEM_INFO* info) {
  if (!info) return;
  free(info->os_build);
  free(info->cpu_speed);
  free(info->drive_free);
  info->os_build = nullptr;
  info->cpu_speed = nullptr;
  info->drive_free = nullptr;
  info->cpu_count = 0;
  info->drive_count = 0;
  info->cpu_type = 0;

  struct utsname names;
  bool have_names = uname(&names) == 0;
  info->os_type = 1;
  info->os_version = system_long_bits() == 64 ? 257 : 256;
  std::string build = have_names ? std::string(names.release) + " " + names.version : " ";
  info->os_build = strdup(build.c_str());
  info->desktop_icons = 1;
  info->desktop_menu = 1;

  char host[256];
  if (gethostname(host, sizeof host) == 0) {
    host[sizeof host - 1] = 0;
    if (char* dot = strchr(host, '.')) *dot = 0;
    copy_bounded(info->computer_name, sizeof info->computer_name, host);
  } else {
    info->computer_name[0] = 0;
  }

  std::vector<int32_t> speeds;
  read_cpuinfo(info, speeds);
  size_t count = speeds.empty() ? 1 : speeds.size();
  if (count > INT32_MAX) count = INT32_MAX;
  info->cpu_speed = static_cast<int32_t*>(calloc(count, sizeof(int32_t)));
  if (info->cpu_speed) {
    info->cpu_count = static_cast<int32_t>(count);
    for (size_t i = 0; i < speeds.size() && i < count; ++i) info->cpu_speed[i] = speeds[i];
  } else {
    info->cpu_count = 1;  // at least one processor runs this, even unmeasured
  }

  info->byte_order = 0;
  info->physical_memory = info->virtual_memory = 0;
  info->free_physical_memory = info->free_virtual_memory = 0;
  read_meminfo(info);

  info->system_folders = 1;
  read_drives(info);

  info->full_screen = 1;
  info->windowed = 1;
  const char* host_name = get_host_name();
  copy_bounded(info->host_name, sizeof info->host_name, host_name);
  copy_bounded(info->ip_address, sizeof info->ip_address,
               host_name && host_name[0] ? resolve_host(host_name) : "");

  info->keyboard = 1;
  info->mouse = 1;
  info->mouse_buttons = 3;
  info->joystick = 1;
  info->joystick1 = first_joystick_present() ? 1 : 0;
  info->multiple_windows = 0;
}

const char* get_os_type_name(uint32_t code) {
  switch (code) {
    case 1: return "Intel Linux";
    case 17: return "Mac OS X";
    case 33: return "Microsoft Windows";
    case 129: return "GP2X Linux";
    case 130: return "ARM Windows Mobile";
    case 131: return "PSP OS";
    case 132: return "NintendoDS OS";
    case 133: return "iPhone OS";
    default: return "Unknown OS type";
  }
}

const char* get_os_version_name(uint32_t code) {
  switch (code) {
    case 256: return "32 Bit Linux";
    case 257: return "64 Bit Linux";
    case 4352: return "Mac OS X 10.0 (Cheetah)";
    case 4353: return "Mac OS X 10.1 (Puma)";
    case 4354: return "Mac OS X 10.2 (Jaguar)";
    case 4355: return "Mac OS X 10.3 (Panther)";
    case 4356: return "Mac OS X 10.4 (Tiger)";
    case 4357: return "Mac OS X 10.5 (Leopard)";
    case 4358: return "Unknown Mac OS X";
    case 8448: return "Windows NT3.5";
    case 8449: return "Windows NT4";
    case 8450: return "Windows 95";
    case 8451: return "Windows 98";
    case 8452: return "Windows ME";
    case 8453: return "Windows 2000";
    case 8454: return "Windows XP";
    case 8455: return "Windows Server2003";
    case 8456: return "Windows Vista";
    case 8457: return "Windows Server2008";
    case 8464: return "Windows 7";
    case 10649: return "Unknown Windows";
    case 33024: return "F100";
    case 33025: return "F200";
    case 33280: return "Windows Mob";
    case 33536: return "Generic";
    case 33792: return "Generic";
    case 34048: return "Unknown iPhone";
    case 34049: return "iPhone Simulator";
    case 34050: return "1st Gen iPod";
    case 34051: return "2nd Gen iPod";
    case 34052: return "Original iPhone";
    case 34053: return "3G iPhone";
    case 34054: return "3GS iPhone";
    default: return "Unknown OS version";
  }
}

const char* get_cpu_type_name(uint32_t code) {
  switch (code) {
    case 1: return "AMD";
    case 2: return "Intel";
    case 3: return "PowerPC";
    case 4: return "ARM";
    default: return "Unknown CPU type";
  }
}

const char* get_byte_order_name(uint32_t code) {
  switch (code) {
    case 0: return "Least significant byte first";
    case 1: return "Most significant byte first";
    default: return "Unknown byte order";
  }
}

void print_system_report() {
  console_print(format_text("Running a %dbit application\n\n",
                            static_cast<int>(sizeof(void*) * CHAR_BIT))
                    .c_str());

  const APPLICATION_INFO& app = get_application_info();
  bool custom_icon = app.icon && app.icon[0];
  report("App:", app.name);
  report("Exit Msg:", enabled(app.exit_message));
  report("Linux Icon:", custom_icon ? "Custom" : "Default");
  report_number("PSP Splash Time:", app.splash_time);
  report("PSP Splash Imgs:", app.splash_images ? "Present" : "Absent");
  report("PSP flash_leds:", yes_no(app.flash_leds));
  report_number("GP2X Joystick:", app.joystick);
  report_number("GP2X Mouse Rate:", app.mouse_rate);
  report_number("GP2X Display Type:", app.display_type);
  report_number("Windows IconID:", app.icon_id);
  report("NDS Console:", yes_no(app.console));
  report("NDS Memory Chk:", enabled(app.memory_check));
  report("NDS Rotated:", yes_no(app.rotated));
  report("MacOS Show About:", yes_no(app.show_about));
  report("NDS Show Preferences:", yes_no(app.show_preferences));
  console_print("\n");

  SYSTEM_INFO info;
  get_system_info(&info);
  report("Computer Name:", info.computer_name);
  report("OS:", get_os_type_name(info.os_type));
  report("OS Version:", get_os_version_name(info.os_version));
  report("OS Build:", info.os_build);
  report("Desktop Icons:", supported(info.desktop_icons));
  report("Desktop Menu:", supported(info.desktop_menu));
  report_number("CPUs:", info.cpu_count);
  report("CPU Type:", get_cpu_type_name(static_cast<uint32_t>(info.cpu_type)));
  for (int32_t i = 0; info.cpu_speed && i < info.cpu_count; ++i)
    console_print(format_text("CPU %d Speed:          %d\n", i, info.cpu_speed[i]).c_str());
  report("Byte Order:", get_byte_order_name(info.byte_order));
  report("Phy Mem:", std::to_string(info.physical_memory) + "Mb");
  report("Virt Mem:", std::to_string(info.virtual_memory) + "Mb");
  report("Free Phy Mem:", std::to_string(info.free_physical_memory) + "Mb");
  report("Free Virt Mem:", std::to_string(info.free_virtual_memory) + "Mb");
  report("System Folders:", supported(info.system_folders));
  report_number("Disks:", info.drive_count);
  for (int i = 0; info.drive_free && i < info.drive_count; ++i) {
    const char* name = get_drive_name(i);
    console_print(format_text("Disk %d Free:          %uMb (%s)\n", i, info.drive_free[i],
                              name ? name : "")
                      .c_str());
  }
  report("Fullscreen:", supported(info.full_screen));
  report("Windowed:", supported(info.windowed));
  report("Hostame:", info.host_name);
  report("IP:", info.ip_address);
  report("Hardware Keyboard:", connected(info.keyboard));
  report("Mouse:", connected(info.mouse));
  report_number("Mouse Buttons:", info.mouse_buttons);
  report("Joystick:", supported(info.joystick));
  report("Joystick1:", connected(info.joystick1));
  report("Multiple Windows:", supported(info.multiple_windows));
  console_print("\n");
}

const char* get_about_text(bool with_title) {
  static char text[1024];
  const char* title = with_title ? get_app_title() : "";
  snprintf(text, sizeof text,
           "%s%s"
           "Built on %s at %s\n"
           "Built with the V.O.R.N. Development Libraries, FreeType, libpng, libjpeg and zlib\n"
           "http://www.vorn-libraries.example.org/\n"
           "The V.O.R.N. Development Libraries are the property of their authors",
           title, title[0] ? "\n" : "", __DATE__, __TIME__);
  return text;
}

void set_cpuinfo_file_override(const char* path) { cpuinfo_override = path; }
void set_meminfo_file_override(const char* path) { meminfo_override = path; }
