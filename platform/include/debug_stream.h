#pragma once
// Named log channels. A stream's flags send each message to the console, a
// message box and/or a text file in "$USERPREFS/debug"; a per-stream
// settings file "<name>_release.cfg" there can switch them. Every live
// stream is in one registry so the platform options can list and enable
// them.
#include <cstdint>

#include "text_file.h"

enum : uint16_t {
  DEBUG_TO_CONSOLE = 0x0001,
  DEBUG_TO_POPUP = 0x0002,
  DEBUG_TO_FILE = 0x0004,
  DEBUG_TRUNCATE_FIRST = 0x0008,
  DEBUG_KEEP_OPEN = 0x0010,
  DEBUG_FILE_HEADER = 0x0020,
  DEBUG_STREAM_NAME = 0x0040,
  DEBUG_CODE_LOCATION = 0x0080,
  DEBUG_BREAKPOINT = 0x0100,
  DEBUG_ROLLING_BACKUP = 0x0200,
  DEBUG_SAVE_SETTINGS = 0x0400,
  DEBUG_TIME_STAMP = 0x0800,
};

class DEBUG_STREAM {
public:
  DEBUG_STREAM(const char* name, uint16_t flags, bool load_settings);
  ~DEBUG_STREAM();
  DEBUG_STREAM(const DEBUG_STREAM&) = delete;
  DEBUG_STREAM& operator=(const DEBUG_STREAM&) = delete;

  void write(const char* source_file, int line, const char* text, bool line_feed);
  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Reads "<name>_release.cfg" from "$USERPREFS/debug"; the flags are
  // replaced only when the file was read. False when it was not.
  bool load_settings();
  // Writes the settings file (making the folder); false when it failed.
  bool save_settings();
  // Whether any output (console, message box, file) is switched on, once the
  // settings the creator asked for have been read.
  bool has_output();
  // Reads the settings now when the creator asked for them and they have not
  // been read yet.
  void apply_pending_settings();

  static DEBUG_STREAM* find(const char* name);
  static int count();             // registered streams
  static DEBUG_STREAM* at(int i);  // i-th registered stream

  char name[256];
  char file_name[256];
  uint16_t flags = 0;
  uint8_t first_write = 1;
  TEXT_FILE* file = nullptr;
  uint16_t write_count = 0;
  uint16_t rolling_limit = 100;
  // Settings are read at the first write, the first look-up through the
  // registry, or load_pending_debug_settings, never during static
  // initialisation: the folder services may not be ready then.
  uint8_t settings_pending = 0;
  uint8_t writing = 0;  // a file write is under way (stops recursion)
};

// Called at the start of main: reads the settings of every stream that is
// waiting for them; streams made afterwards read theirs when constructed.
void load_pending_debug_settings();

// The platform's own streams.
DEBUG_STREAM& platform_debug_stream();  // "VORN Platform"
DEBUG_STREAM& modules_debug_stream();   // "VORN Modules"
