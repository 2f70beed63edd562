#pragma once
// What the program knows about the machine it runs on: operating system,
// processors, memory, drives, host name and input devices, with the names
// of their codes, the system report of "--vorn-info" and the about text.
#include <cstdint>

struct SYSTEM_INFO {
  SYSTEM_INFO() = default;
  ~SYSTEM_INFO();
  SYSTEM_INFO(const SYSTEM_INFO&) = delete;
  SYSTEM_INFO& operator=(const SYSTEM_INFO&) = delete;

  uint8_t os_type = 0;      // 1 on Linux
  uint32_t os_version = 0;  // 256 32-bit Linux, 257 64-bit Linux
  char* os_build = nullptr; // owned: "<kernel release> <kernel version>"
  uint8_t desktop_icons = 0;
  uint8_t desktop_menu = 0;
  char computer_name[256] = {};  // host name up to its first "."
  int32_t cpu_count = 0;         // at least 1 once filled
  int32_t cpu_type = 0;          // 1 AMD, 2 Intel, other unknown
  int32_t* cpu_speed = nullptr;  // owned: cpu_count values in MHz
  uint8_t byte_order = 0;        // 0 least significant byte first
  int32_t physical_memory = 0;   // MiB
  int32_t virtual_memory = 0;
  int32_t free_physical_memory = 0;
  int32_t free_virtual_memory = 0;
  uint8_t system_folders = 0;
  int16_t drive_count = 0;
  uint32_t* drive_free = nullptr;  // owned: drive_count values in MiB
  uint8_t full_screen = 0;
  uint8_t windowed = 0;
  char host_name[100] = {};
  char ip_address[20] = {};
  uint8_t keyboard = 0;
  uint8_t mouse = 0;
  uint16_t mouse_buttons = 0;
  uint8_t joystick = 0;
  uint8_t joystick1 = 0;  // 1 when the first joystick can be opened
  uint8_t multiple_windows = 0;
};

// Fills the record, freeing the owned arrays of an earlier call first.
void get_system_info(SYSTEM_INFO* info);

// The texts of the codes ("Unknown ..." for codes not in the tables).
const char* get_os_type_name(uint32_t code);
const char* get_os_version_name(uint32_t code);
const char* get_cpu_type_name(uint32_t code);
const char* get_byte_order_name(uint32_t code);

// Prints the application record and the system information on the console
// ("--vorn-info").
void print_system_report();

// The about text: the application's title (when with_title is set), the
// date and time the program was built, the libraries it is built on, a web
// address and the ownership notice. A static text.
const char* get_about_text(bool with_title);

// Test seams: /proc/cpuinfo and /proc/meminfo are read from these files
// instead; null restores the real ones.
void set_cpuinfo_file_override(const char* path);
void set_meminfo_file_override(const char* path);
