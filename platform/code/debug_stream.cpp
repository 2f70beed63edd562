#include "debug_stream.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "config_file.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "string_utils.h"

namespace {

constexpr int MESSAGE_SIZE = 2048;  // 2047 characters and the terminator
constexpr int NAME_SIZE = 256;
constexpr const char* DEBUG_FOLDER = "$USERPREFS/debug";

// The registry is plain data with constant initialisation, so streams built
// by static constructors in any order can register safely.
constinit DEBUG_STREAM** registry = nullptr;
constinit uint16_t registry_count = 0;
constinit bool main_started = false;

struct FLAG_KEY {
  uint16_t bit;
  const char* key;
  bool read;  // read from the file as well as saved
};

// In the order they are saved.
constexpr FLAG_KEY FLAG_KEYS[] = {
    {DEBUG_TO_CONSOLE, "write_to_console", true},
    {DEBUG_TO_POPUP, "write_to_popup_dialog", true},
    {DEBUG_TO_FILE, "write_to_file", true},
    {DEBUG_TRUNCATE_FIRST, "truncate_file_on_first_write", true},
    {DEBUG_KEEP_OPEN, "keep_file_open", true},
    {DEBUG_FILE_HEADER, "write_file_header", true},
    {DEBUG_STREAM_NAME, "write_stream_name", true},
    {DEBUG_CODE_LOCATION, "write_code_location", true},
    {DEBUG_BREAKPOINT, "trigger_breakpoint", false},
    {DEBUG_ROLLING_BACKUP, "file_rolling_backup", true},
};

constexpr uint16_t OUTPUT_FLAGS = DEBUG_TO_CONSOLE | DEBUG_TO_POPUP | DEBUG_TO_FILE;

// Copies text into a field of `size` bytes, cutting it, always terminated.
void copy_bounded(char* field, size_t size, const char* text) {
  snprintf(field, size, "%s", text ? text : "");
}

// "<text><suffix>" as a file name: the text is cut so that the suffix always
// survives and four more characters still fit within the 255 bytes a file
// name may have (the backup's ".bak", a rewrite's ".tmp").
constexpr size_t FILE_NAME_ROOM = 4;

void file_name_with_suffix(char* field, size_t size, const char* text, const char* suffix) {
  size_t limit = size - 1 - FILE_NAME_ROOM;
  int keep = static_cast<int>(limit - strlen(suffix));
  snprintf(field, size, "%.*s%s", keep, text ? text : "", suffix);
}

// Appends to a message buffer, never past its end.
void append_bounded(char* message, const char* text) {
  size_t used = strlen(message);
  if (used + 1 >= static_cast<size_t>(MESSAGE_SIZE)) return;
  snprintf(message + used, MESSAGE_SIZE - used, "%s", text);
}

// A file name from the settings names a file inside the debug folder; a
// path that would lead elsewhere ("/", a ".." part) is not taken.
bool is_plain_file_name(const char* name) {
  return name[0] && !strchr(name, '/') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

void settings_file_name(const DEBUG_STREAM& stream, char* output, size_t size) {
  file_name_with_suffix(output, size, stream.name, "_release.cfg");
}

bool register_stream(DEBUG_STREAM* stream) {
  if (registry_count == UINT16_MAX) return false;
  void* grown = realloc(registry, (registry_count + 1) * sizeof(DEBUG_STREAM*));
  if (!grown) return false;
  registry = static_cast<DEBUG_STREAM**>(grown);
  registry[registry_count++] = stream;
  return true;
}

void unregister_stream(DEBUG_STREAM* stream) {
  for (uint16_t i = 0; i < registry_count; ++i) {
    if (registry[i] != stream) continue;
    // Keep the order: find answers the first stream of a name.
    memmove(registry + i, registry + i + 1, (registry_count - i - 1) * sizeof(DEBUG_STREAM*));
    --registry_count;
    if (registry_count == 0) {
      free(registry);
      registry = nullptr;
    } else if (void* shrunk = realloc(registry, registry_count * sizeof(DEBUG_STREAM*))) {
      registry = static_cast<DEBUG_STREAM**>(shrunk);
    }
    return;
  }
}

// Collects which of the keys the settings file holds, so that absent keys
// are never asked for (an absent key would be reported as a failure).
struct PRESENT_KEYS {
  bool file_name = false;
  bool disabled = false;
  bool rolling_limit = false;
  bool flag[sizeof(FLAG_KEYS) / sizeof(FLAG_KEYS[0])] = {};
};

void note_key(const char* key, const char*, intptr_t user) {
  PRESENT_KEYS& present = *reinterpret_cast<PRESENT_KEYS*>(user);
  if (strcmp(key, "filename") == 0) present.file_name = true;
  else if (strcmp(key, "disabled") == 0) present.disabled = true;
  else if (strcmp(key, "file_rolling_limit") == 0) present.rolling_limit = true;
  for (size_t i = 0; i < sizeof(FLAG_KEYS) / sizeof(FLAG_KEYS[0]); ++i)
    if (strcmp(key, FLAG_KEYS[i].key) == 0) present.flag[i] = true;
}

}  // namespace

DEBUG_STREAM::DEBUG_STREAM(const char* stream_name, uint16_t initial_flags, bool load) {
  if (!stream_name || !*stream_name)
    snprintf(name, sizeof(name), "Debug Stream %p", static_cast<void*>(this));
  else
    copy_bounded(name, sizeof(name), stream_name);
  file_name_with_suffix(file_name, sizeof(file_name), name, ".txt");
  flags = initial_flags;
  register_stream(this);
  if (load) {
    settings_pending = 1;
    if (main_started) apply_pending_settings();
  }
}

DEBUG_STREAM::~DEBUG_STREAM() {
  // Settings never read may switch the saving off, so read them first.
  if (settings_pending && (flags & DEBUG_SAVE_SETTINGS)) apply_pending_settings();
  if (flags & DEBUG_SAVE_SETTINGS) save_settings();
  unregister_stream(this);
  if (file) FOLDER::close_text_file(file);
}

void DEBUG_STREAM::apply_pending_settings() {
  if (!settings_pending) return;
  // Cleared first: reading the file may report through a stream (even this
  // one), which must not start reading it again.
  settings_pending = 0;
  load_settings();
}

bool DEBUG_STREAM::has_output() {
  apply_pending_settings();
  return (flags & OUTPUT_FLAGS) != 0;
}

bool DEBUG_STREAM::load_settings() {
  FOLDER folder;
  if (!folder.set_path(DEBUG_FOLDER)) return false;

  char settings_name[NAME_SIZE];
  settings_file_name(*this, settings_name, sizeof(settings_name));
  CONFIG_FILE config;
  config.init(settings_name, true);
  if (!config.exists(folder) || !config.load(folder, false)) return false;

  PRESENT_KEYS present;
  config.for_each_entry(folder, note_key, reinterpret_cast<intptr_t>(&present));

  // The file was read: from here its settings replace the creator's.
  flags = 0;
  rolling_limit = 100;
  if (present.file_name) {
    char value[256] = "";
    // A refused name leaves the stream with its own "<name>.txt".
    if (config.get_string(folder, "filename", value)) {
      if (is_plain_file_name(value)) {
        copy_bounded(file_name, sizeof(file_name), value);
      } else {
        char notice[640];
        snprintf(notice, sizeof notice,
                 "Debug stream \"%s\": the file name \"%s\" leads out of the debug folder and is "
                 "ignored.\n",
                 name, value);
        console_print(notice);
      }
    }
  }
  int32_t disabled = 0;
  if (present.disabled) config.get_int(folder, "disabled", disabled);
  if (disabled != 0) return true;

  for (size_t i = 0; i < sizeof(FLAG_KEYS) / sizeof(FLAG_KEYS[0]); ++i) {
    if (!FLAG_KEYS[i].read || !present.flag[i]) continue;
    int32_t value = 0;
    if (config.get_int(folder, FLAG_KEYS[i].key, value) && value != 0) flags |= FLAG_KEYS[i].bit;
  }
  if (present.rolling_limit) {
    int32_t limit = 100;
    if (config.get_int(folder, "file_rolling_limit", limit))
      rolling_limit = static_cast<uint16_t>(limit < 0 ? 0 : limit > UINT16_MAX ? UINT16_MAX : limit);
  }
  return true;
}

bool DEBUG_STREAM::save_settings() {
  FOLDER folder;
  if (!folder.set_path(DEBUG_FOLDER, true, nullptr, true)) return false;

  char settings_name[NAME_SIZE];
  settings_file_name(*this, settings_name, sizeof(settings_name));
  CONFIG_FILE config;
  config.init(settings_name, true);

  bool saved = config.set_string(folder, "filename", file_name);
  saved = config.set_int(folder, "disabled", flags == 0 ? 1 : 0) && saved;
  for (const FLAG_KEY& key : FLAG_KEYS)
    saved = config.set_int(folder, key.key, (flags & key.bit) ? 1 : 0) && saved;
  saved = config.set_int(folder, "file_rolling_limit", rolling_limit) && saved;
  return saved;
}

void DEBUG_STREAM::write(const char* source_file, int line, const char* text, bool line_feed) {
  apply_pending_settings();
  if (!(flags & OUTPUT_FLAGS)) return;

  char message[MESSAGE_SIZE];
  message[0] = 0;
  if (flags & DEBUG_STREAM_NAME) snprintf(message, sizeof(message), "<%s>: ", name);
  // The message box shows only what follows the stream-name prefix.
  size_t prefix_length = strlen(message);

  if (flags & DEBUG_TIME_STAMP) {
    append_bounded(message, gmt_date_text(time(nullptr)));
    append_bounded(message, " ");
  }
  if ((flags & DEBUG_CODE_LOCATION) && source_file) {
    char location[NAME_SIZE + 32];
    snprintf(location, sizeof(location), "(%.255s,%d) ", source_file, line);
    append_bounded(message, location);
  }
  append_bounded(message, text ? text : "");

  if (flags & DEBUG_TO_CONSOLE) {
    console_print(message);
    if (line_feed) console_print("\n");
  }

  // A write that reports through this same stream while the file is being
  // handled (the folder services log their failures) must not recurse.
  if ((flags & DEBUG_TO_FILE) && !writing) {
    writing = 1;
    FOLDER folder;
    if (folder.set_path(DEBUG_FOLDER, true, nullptr, true)) {
      if ((flags & DEBUG_ROLLING_BACKUP) && write_count >= rolling_limit) {
        if (file) FOLDER::close_text_file(file);
        // A file name from the settings may use all 255 bytes: then the
        // backup name is cut before its ".bak".
        char backup_name[NAME_SIZE];
        snprintf(backup_name, sizeof(backup_name), "%.*s.bak", NAME_SIZE - 5, file_name);
        remove_file(folder, backup_name);
        rename_file(folder, file_name, folder, backup_name);
        write_count = 0;
      }
      if (!file) {
        uint32_t mode = (first_write && (flags & DEBUG_TRUNCATE_FIRST)) ? 1 : 2;
        file = folder.open_text_file(file_name, mode);
      }
      if (file) {
        if (first_write && (flags & DEBUG_FILE_HEADER)) {
          file->write_string("======================================\n");
          file->write_string("> Debug stream: ");
          file->write_string(name);
          file->write_string("\n");
          file->write_string("> Written: ");
          file->write_string(gmt_date_text(time(nullptr)));
          file->write_string("\n\n");
        }
        file->write_string(message);
        if (line_feed) file->write_string("\n");
        if (write_count < UINT16_MAX) ++write_count;
        if (!(flags & DEBUG_KEEP_OPEN)) FOLDER::close_text_file(file);
        first_write = 0;
      }
    }
    writing = 0;
  }

  if (flags & DEBUG_TO_POPUP) message_box(name, message + prefix_length);
}

void DEBUG_STREAM::printf(const char* format, ...) {
  char message[MESSAGE_SIZE] = "";
  if (format) {
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(message, sizeof(message), format, arguments);
    va_end(arguments);
    if (length < 0) message[0] = 0;
  }
  write(nullptr, 0, message, false);
}

DEBUG_STREAM* DEBUG_STREAM::find(const char* stream_name) {
  if (!stream_name) return nullptr;
  for (uint16_t i = 0; i < registry_count; ++i) {
    if (strcmp(registry[i]->name, stream_name) == 0) {
      registry[i]->apply_pending_settings();
      return registry[i];
    }
  }
  return nullptr;
}

int DEBUG_STREAM::count() {
  return registry_count;
}

DEBUG_STREAM* DEBUG_STREAM::at(int i) {
  if (i < 0 || i >= registry_count) return nullptr;
  // Whoever looks a stream up (the platform options switch streams on) sees
  // the flags its settings give.
  registry[i]->apply_pending_settings();
  return registry[i];
}

void load_pending_debug_settings() {
  main_started = true;
  // A stream may be made or destroyed while another one reads its settings,
  // so walk by index and re-check the count.
  for (uint16_t i = 0; i < registry_count; ++i) registry[i]->apply_pending_settings();
}

DEBUG_STREAM& platform_debug_stream() {
  static DEBUG_STREAM stream("VORN Platform", 0, true);
  return stream;
}

DEBUG_STREAM& modules_debug_stream() {
  static DEBUG_STREAM stream("VORN Modules", 0, true);
  return stream;
}

namespace {
// The platform's streams exist from static initialisation on, so the
// platform options can list them; built on first use, they are safe to
// reach from any other static constructor.
[[maybe_unused]] const bool platform_streams_made =
    (platform_debug_stream(), modules_debug_stream(), true);
}  // namespace
