#include "folder.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "folder_hold.h"
#include "platform.h"
#include "ptrarray.h"
#include "timing.h"
#include "vorn_string.h"

namespace {

constexpr size_t kPathSize = FOLDER_PATH_SIZE;
constexpr size_t kVariableNameMax = 254;

struct PATH_VARIABLE {
  VORN_STRING name;
  FOLDER folder;
};

void delete_path_variable(void* element, intptr_t) {
  delete static_cast<PATH_VARIABLE*>(element);
}

// Made on first use, so that a FOLDER built during static initialisation
// elsewhere finds it ready.
PTRARRAY& path_variables() {
  static PTRARRAY* registry = [] {
    static PTRARRAY array(10, 10);
    array.delete_callback = delete_path_variable;
    return &array;
  }();
  return *registry;
}

PATH_VARIABLE* variable_at(int32_t index) {
  return static_cast<PATH_VARIABLE*>(path_variables().data[index]);
}

// Null addresses the first entry without a name.
int32_t find_path_variable(const char* name) {
  PTRARRAY& registry = path_variables();
  for (int32_t i = 0; i < registry.count; ++i) {
    const char* text = variable_at(i)->name.get_text();
    if (name ? (text && strcmp(text, name) == 0) : (!text || !*text)) return i;
  }
  return -1;
}

// Overrides; plain data so that they are ready before any constructor runs.
char base_path[kPathSize];
char base_name[256];
bool base_active = false;
char icon_path[kPathSize];
bool icon_active = false;

enum class RESOLVED { OK, FAILED, UNKNOWN };

void set_app(FOLDER& folder) {
  if (base_active) {
    folder.set_absolute(base_path);
    return;
  }
  if (!get_standard_folder(&folder, 0, nullptr, false)) fatal_exit("No application folder found!");
}

// The standard-folder queries of types 1 to 7 run unless switched off, or
// unless a base override has no application name to build them from.
bool standard_folders_allowed(bool no_standard_folder) {
  return !no_standard_folder && !(base_active && base_name[0] == '\0');
}

const char* standard_application_name() {
  return base_active ? base_name : nullptr;
}

std::string trimmed(const char* path) {
  std::string text(path);
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// Cuts the last component off an absolute path; false at the root.
bool parent_of(char* path) {
  size_t length = strlen(path);
  if (length > 1 && path[length - 1] == '/') path[--length] = '\0';
  char* slash = strrchr(path, '/');
  if (!slash || length <= 1) return false;
  if (slash == path) slash[1] = '\0';
  else *slash = '\0';
  return true;
}

bool climb(FOLDER& folder) {
  char path[kPathSize];
  memcpy(path, folder.path, strlen(folder.path) + 1);
  return parent_of(path) && is_directory(path) && folder.set_absolute(path);
}

// A folder found on the way up from "$APP" is taken only where no other
// user chooses what it holds (any user can make /tmp/data): one that
// fails is passed over as if it were not there.
bool trusted_found_folder(const char* path) {
  FOLDER found;
  FOLDER_HOLD hold;
  return found.set_absolute(path) && hold.reach_trusted(found);
}

// "$APP/data"; then, unless switched off, the first level above "$APP"
// that has a trusted "data" folder.
bool data_search(FOLDER& folder, bool create, bool no_fallback) {
  FOLDER app;
  set_app(app);
  FOLDER data = app;
  if (make_folder(&data, "data", create)) {
    folder = data;
    return true;
  }
  if (!no_fallback) {
    char level[kPathSize], candidate[kPathSize];
    memcpy(level, app.path, strlen(app.path) + 1);
    while (parent_of(level)) {
      if (join_path(candidate, sizeof candidate, level, "data") && is_directory(candidate) &&
          trusted_found_folder(candidate) && folder.set_absolute(candidate))
        return true;
    }
  }
  folder = app;
  return false;
}

bool tracing = false;  // the "Default Path Trace" is being printed

RESOLVED resolve(FOLDER& folder, const char* name, bool create, const FOLDER* base,
                 bool no_fallback, bool no_standard_folder);

// "fonts" or "icons" under the user's or the system's data, else in a
// "data" or "vorn_libs/data" folder in "$APP" or, trusted, on the way
// from there to the root.
bool shared_data_search(FOLDER& folder, const char* kind, bool no_standard_folder) {
  char candidate[kPathSize];
  for (const char* variable : {"$USERDATA", "$SYSDATA"}) {
    FOLDER data;
    if (resolve(data, variable, false, nullptr, true, no_standard_folder) == RESOLVED::OK &&
        join_path(candidate, sizeof candidate, data.path, kind) && is_directory(candidate) &&
        folder.set_absolute(candidate))
      return true;
  }
  FOLDER app;
  set_app(app);
  char level[kPathSize], middle[kPathSize];
  memcpy(level, app.path, strlen(app.path) + 1);
  bool above_app = false;
  do {
    for (const char* data : {"data", "vorn_libs/data"}) {
      if (join_path(middle, sizeof middle, level, data) &&
          join_path(candidate, sizeof candidate, middle, kind) && is_directory(candidate) &&
          (!above_app || trusted_found_folder(candidate)) && folder.set_absolute(candidate))
        return true;
    }
    above_app = true;
  } while (parent_of(level));
  folder = app;
  return false;
}

// The variables of the standard folders.
constexpr struct {
  const char* name;
  int type;
  bool data_fallback;  // else "$APP"
} kStandard[] = {{"$USERAPP", 1, false}, {"$USERDATA", 2, true}, {"$USERPREFS", 3, true},
                 {"$SYSAPP", 4, false},  {"$SYSDATA", 5, true},  {"$SYSPREFS", 6, true}};

// Where a standard variable's folder is or will be made, also before it
// exists; false for other names and while standard folders are off.
bool planned_standard_folder(FOLDER& folder, const char* name) {
  if (!standard_folders_allowed(false) || find_path_variable(name) >= 0) return false;
  for (const auto& row : kStandard) {
    char path[kPathSize];
    if (stricmp(name, row.name) == 0)
      return standard_folder_path(path, sizeof path, row.type, standard_application_name()) &&
             folder.set_absolute(path);
  }
  return false;
}

RESOLVED resolve(FOLDER& folder, const char* name, bool create, const FOLDER* base,
                 bool no_fallback, bool no_standard_folder) {
  if (!name) {
    set_app(folder);
    return RESOLVED::FAILED;
  }
  // Program-defined names first, matched exactly.
  if (*name) {
    if (int32_t index = find_path_variable(name); index >= 0) {
      folder = variable_at(index)->folder;
      return RESOLVED::OK;
    }
  }

  const bool standard = standard_folders_allowed(no_standard_folder);
  const char* application = standard_application_name();
  auto is = [name](const char* variable) { return stricmp(name, variable) == 0; };
  auto failed = [&folder] {
    set_app(folder);
    return RESOLVED::FAILED;
  };

  if (is("$APP") || is("$BASE")) {
    set_app(folder);
    return RESOLVED::OK;
  }
  if (is("$APPDATA") || is("$INSTDATA"))
    return data_search(folder, create, no_fallback) ? RESOLVED::OK : RESOLVED::FAILED;

  for (const auto& row : kStandard) {
    if (!is(row.name)) continue;
    if (standard && get_standard_folder(&folder, row.type, application, create)) return RESOLVED::OK;
    if (no_fallback) return failed();
    if (!row.data_fallback) {
      set_app(folder);
      return RESOLVED::OK;
    }
    if (!data_search(folder, create, false)) return RESOLVED::FAILED;
    // Settings are written as well as read: never in a folder another
    // user controls, "$APP/data" included.
    if (row.type == 3 && !trusted_found_folder(folder.path)) return failed();
    return RESOLVED::OK;
  }

  if (is("$DATA")) {
    for (const char* variable : {"$USERDATA", "$SYSDATA", "$APPDATA"})
      if (resolve(folder, variable, create, base, true, no_standard_folder) == RESOLVED::OK)
        return RESOLVED::OK;
    set_app(folder);
    return RESOLVED::OK;
  }
  if (is("$TEMP")) {
    if (standard && get_standard_folder(&folder, 7, application, true)) return RESOLVED::OK;
    if (no_fallback) return failed();
    FOLDER temp;
    set_app(temp);
    // The trace shows where the folder would be; it leaves nothing behind.
    char would_be[kPathSize];
    if (tracing && join_path(would_be, sizeof would_be, temp.path, "temp") && folder.set_absolute(would_be))
      return RESOLVED::OK;
    if (make_folder(&temp, "temp", true)) {
      folder = temp;
      return RESOLVED::OK;
    }
    return failed();
  }
  if (strnicmp(name, "$ROOT", 5) == 0) {
    short drive = 0;
    if (sscanf(name + 5, "%hd", &drive) == 1 && get_drive_path(&folder, drive)) return RESOLVED::OK;
    return failed();
  }
  if (is("$FONTDATA"))
    return shared_data_search(folder, "fonts", no_standard_folder) ? RESOLVED::OK : RESOLVED::FAILED;
  if (is("$ICONDATA")) {
    if (icon_active) {
      folder.set_absolute(icon_path);
      return RESOLVED::OK;
    }
    return shared_data_search(folder, "icons", no_standard_folder) ? RESOLVED::OK : RESOLVED::FAILED;
  }
  if (is("$HERE")) {
    if (base) folder = *base;
    return RESOLVED::OK;
  }
  return RESOLVED::UNKNOWN;
}

void trace_start_once();

// Sets the folder to the whole of rest below it when that is a folder
// already: one look instead of one per level (installing looks up the
// same few folders for every file). Paths that climb with ".." and paths
// still to be made take the walk.
bool reach_whole(FOLDER& folder, const char* rest) {
  char path[sizeof folder.path];
  char joined[sizeof folder.path];
  memcpy(path, folder.path, sizeof path);
  path[sizeof path - 1] = '\0';
  for (const char* part = rest; *part;) {
    const char* slash = strchr(part, '/');
    size_t length = slash ? static_cast<size_t>(slash - part) : strlen(part);
    if (length >= 256 || (length == 2 && part[0] == '.' && part[1] == '.')) return false;
    if (length > 0 && !(length == 1 && part[0] == '.')) {
      char component[256];
      memcpy(component, part, length);
      component[length] = '\0';
      if (!join_path(joined, sizeof joined, path, component)) return false;
      memcpy(path, joined, strlen(joined) + 1);
    }
    part += length + (slash ? 1 : 0);
  }
  return is_directory(path) && folder.set_absolute(path);
}

// unknown_is_missing: stored data and resolve_path_text may name variables
// that this run does not know; they read as a missing folder ("$APP")
// instead of ending the program.
bool set_path_text(FOLDER& folder, const char* text, bool create_sub_folders, const FOLDER* base,
                   bool create_variable_folder, bool no_fallback, bool no_standard_folder,
                   bool unknown_is_missing) {
  trace_start_once();
  if (!text) return false;
  const char* rest = text;
  if (text[0] != '$') {
    if (strncmp(text, "..", 2) != 0) {
      set_app(folder);
      return false;
    }
  } else {
    const char* slash = strchr(text, '/');
    size_t length = slash ? static_cast<size_t>(slash - text) : strlen(text);
    char name[kVariableNameMax + 1];
    size_t used = length < kVariableNameMax ? length : kVariableNameMax;
    memcpy(name, text, used);
    name[used] = '\0';

    RESOLVED result = resolve(folder, name, false, base, true, no_standard_folder);
    if (result == RESOLVED::FAILED)
      result = resolve(folder, name, create_variable_folder, base, no_fallback, no_standard_folder);
    if (result == RESOLVED::UNKNOWN) {
      if (!unknown_is_missing) report_error(0x000C);
      set_app(folder);
      return false;
    }
    if (result != RESOLVED::OK) {
      set_app(folder);
      return false;
    }
    rest = text + length;
  }

  if (*rest && reach_whole(folder, rest)) return true;
  // The walk keeps every level it reached, also when a later one fails.
  while (*rest) {
    const char* slash = strchr(rest, '/');
    size_t length = slash ? static_cast<size_t>(slash - rest) : strlen(rest);
    if (length == 0 || (length == 1 && rest[0] == '.')) {
      rest += length + (slash ? 1 : 0);
      continue;
    }
    if (length >= 256) return false;  // no folder name is that long
    char component[256];
    memcpy(component, rest, length);
    component[length] = '\0';
    if (strcmp(component, "..") == 0) {
      if (!climb(folder)) return false;
    } else if (!make_folder(&folder, component, create_sub_folders)) {
      return false;
    }
    rest += length + (slash ? 1 : 0);
  }
  return true;
}

bool copy_out(const std::string& text, char* output, size_t output_size) {
  if (!output || text.size() >= output_size) return false;
  memcpy(output, text.c_str(), text.size() + 1);
  return true;
}

std::vector<std::string> components(const char* path) {
  std::vector<std::string> parts;
  for (const char* cursor = path; *cursor;) {
    const char* slash = strchr(cursor, '/');
    size_t length = slash ? static_cast<size_t>(slash - cursor) : strlen(cursor);
    if (length > 0) parts.emplace_back(cursor, length);
    cursor += length + (slash ? 1 : 0);
  }
  return parts;
}

// ---- "Default Path Trace" ----

bool trace_printed = false;      // the start-up trace ran (once per run)
bool trace_stream_making = false;  // the stream is being constructed
bool trace_stream_gone = false;    // destroyed at exit

// The stream is made on first use, never while FOLDER objects are built
// during static initialisation. Making it may read its settings through
// FOLDER, which must then not ask for the stream again.
struct TRACE_STREAM_HOLDER {
  DEBUG_STREAM stream{"Default Path Trace", 0, true};
  ~TRACE_STREAM_HOLDER() { trace_stream_gone = true; }
};

DEBUG_STREAM* make_trace_stream() {
  trace_stream_making = true;
  static TRACE_STREAM_HOLDER holder;
  trace_stream_making = false;
  return &holder.stream;
}

// Null while the stream cannot be used (being made, or gone at exit).
DEBUG_STREAM* trace_stream() {
  if (trace_stream_making || trace_stream_gone) return nullptr;
  static DEBUG_STREAM* stream = make_trace_stream();
  return stream;
}

void print_trace(const char* heading) {
  if (tracing) return;
  DEBUG_STREAM* stream = trace_stream();
  if (!stream || !stream->has_output()) return;
  tracing = true;
  if (heading) stream->printf("%s", heading);
  tracing = false;
  trace_default_paths();
}

// The first path set once the platform has started shows where every
// variable leads; paths set while main is still starting, such as the debug
// streams' settings folder, do not count.
void trace_start_once() {
  if (trace_printed || tracing || trace_stream_making || !platform_started()) return;
  trace_printed = true;
  print_trace("\nStarting Default Paths:\n\n");
}

void trace_heading(const char* heading) {
  print_trace(heading);
}

}  // namespace

FOLDER::FOLDER() {
  path[0] = '\0';
  set_app(*this);
}

FOLDER::FOLDER(const FOLDER& other) : DATA_DEVICE_CLIENT(other) {
  memcpy(path, other.path, strnlen(other.path, sizeof path - 1) + 1);
  path[sizeof path - 1] = '\0';
}

FOLDER& FOLDER::operator=(const FOLDER& other) {
  if (this != &other) {
    size_t length = strnlen(other.path, sizeof path - 1);
    memcpy(path, other.path, length);
    path[length] = '\0';
  }
  return *this;
}

bool FOLDER::set(const char* variable, bool create, const FOLDER* base, bool no_fallback,
                 bool no_standard_folder) {
  RESOLVED result = resolve(*this, variable, create, base, no_fallback, no_standard_folder);
  if (result == RESOLVED::UNKNOWN) report_error(0x000C);
  return result == RESOLVED::OK;
}

bool FOLDER::set_path(const char* text, bool create_sub_folders, const FOLDER* base,
                      bool create_variable_folder, bool no_fallback, bool no_standard_folder) {
  return set_path_text(*this, text, create_sub_folders, base, create_variable_folder, no_fallback,
                       no_standard_folder, false);
}

bool FOLDER::set_stored_path(const char* text, const FOLDER* base) {
  return set_path_text(*this, text, false, base, false, false, false, true);
}

bool FOLDER::set_absolute(const char* absolute_path) {
  if (!absolute_path) return false;
  size_t length = strlen(absolute_path);
  if (length >= sizeof path) return false;
  memmove(path, absolute_path, length + 1);
  return true;
}

void FOLDER::get_icon_path() {
  if (icon_active) set_absolute(icon_path);
}

void FOLDER::get_base_path(char* name_output, size_t output_size) {
  if (base_active) set_absolute(base_path);
  if (name_output && output_size > 0) {
    const char* name = base_active ? base_name : "";
    size_t length = strnlen(name, output_size - 1);
    memcpy(name_output, name, length);
    name_output[length] = '\0';
  }
}

bool FOLDER::get_variable_text(char* output, size_t output_size) const {
  std::string current = trimmed(path);
  if (current.empty() || current[0] != '/') return false;

  // Whole folders that have a variable of their own, in order of preference.
  std::vector<std::pair<std::string, std::string>> named;
  for (const char* variable :
       {"$APP", "$SYSAPP", "$APPDATA", "$USERDATA", "$TEMP", "$FONTDATA", "$ICONDATA"}) {
    if (strcmp(variable, "$TEMP") == 0) {
      // Resolving "$TEMP" would make a folder; only this run's one can match.
      if (*get_temporary_folder_path()) named.emplace_back(variable, trimmed(get_temporary_folder_path()));
      continue;
    }
    FOLDER folder;
    if (resolve(folder, variable, false, nullptr, false, false) == RESOLVED::OK)
      named.emplace_back(variable, trimmed(folder.path));
  }
  std::vector<std::string> drives;
  for (int drive = 0, count = get_drive_count(); drive < count; ++drive) {
    FOLDER root;
    if (get_drive_path(&root, drive)) drives.push_back(trimmed(root.path));
    else drives.emplace_back();
  }

  std::vector<std::string> below;  // components under current, deepest first
  for (;;) {
    std::string head;
    for (const auto& [variable, folder] : named) {
      if (folder == current) {
        head = variable;
        break;
      }
    }
    for (size_t drive = 0; head.empty() && drive < drives.size(); ++drive)
      if (drives[drive] == current) head = "$ROOT" + std::to_string(drive);
    if (!head.empty()) {
      for (auto part = below.rbegin(); part != below.rend(); ++part) head += "/" + *part;
      return copy_out(head, output, output_size);
    }
    size_t slash = current.rfind('/');
    below.push_back(current.substr(slash + 1));
    current = slash == 0 ? "/" : current.substr(0, slash);
  }
}

bool FOLDER::get_relative_path(const FOLDER& target, char* output, size_t output_size) const {
  if (get_drive_of_folder(*this) != get_drive_of_folder(target))
    return target.get_variable_text(output, output_size);
  std::vector<std::string> from = components(path);
  std::vector<std::string> to = components(target.path);
  size_t common = 0;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;
  std::string text = "$HERE";
  for (size_t i = common; i < from.size(); ++i) text += "/..";
  if (common < to.size()) text += "/";
  for (size_t i = common; i < to.size(); ++i) text += to[i] + "/";
  return copy_out(text, output, output_size);
}

bool FOLDER::get_path_text(char* output, size_t output_size, const FOLDER* base) const {
  return base ? base->get_relative_path(*this, output, output_size)
              : get_variable_text(output, output_size);
}

bool FOLDER::list_entries(bool folders, bool include_hidden, bool append, FOLDER_ENTRY*& array,
                          int32_t& count, const char* pattern, uint32_t pattern_mode,
                          int32_t first_allocation, int32_t grow_step) const {
  if (!append) {
    free(array);
    array = nullptr;
    count = 0;
  }
  if (first_allocation < 1) first_allocation = 1;
  if (grow_step < 1) grow_step = 1;
  if (!is_directory(path)) return false;

  FOLDER_LIST* list = list_folder(*this, pattern, include_hidden, pattern_mode, false);
  if (!list) return pattern == nullptr || strlen(pattern) < 256;  // an empty folder lists nothing

  // What was handed in may be full already: grow it before the first add.
  int32_t capacity = count;
  bool ok = true;
  FOLDER_LIST_ENTRY entry;
  while (list_folder_filtered(list, &entry)) {
    if ((entry.info.is_directory != 0) != folders) continue;
    if (count == capacity) {
      int64_t wanted = capacity == 0 ? first_allocation : static_cast<int64_t>(capacity) + grow_step;
      if (wanted > INT32_MAX) wanted = INT32_MAX;
      void* grown = count == INT32_MAX ? nullptr
                                       : realloc(array, static_cast<size_t>(wanted) * sizeof(FOLDER_ENTRY));
      if (!grown) {
        ok = false;  // the entries gathered so far stay
        break;
      }
      array = static_cast<FOLDER_ENTRY*>(grown);
      capacity = static_cast<int32_t>(wanted);
    }
    FOLDER_ENTRY& out = array[count++];
    memset(&out, 0, sizeof out);
    memcpy(out.folder, path, strlen(path) + 1);
    memcpy(out.name, entry.name, strlen(entry.name) + 1);
    out.is_folder = entry.info.is_directory;
    out.hidden = entry.info.hidden;
    out.read_only = (entry.info.owner_rwx & 0200) ? 0 : 1;
    out.size = entry.whole_size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(entry.whole_size);
    out.modified = entry.info.modified;
  }
  free_folder_list(list);
  return ok;
}

void FOLDER::free_entries(FOLDER_ENTRY*& array) {
  free(array);
  array = nullptr;
}

bool FOLDER::remove_contents(const char* sub_folder) const {
  char target[kPathSize];
  if (sub_folder) {
    // A link in place of the sub-folder is never entered.
    if (!join_path(target, sizeof target, path, sub_folder) || !is_real_directory(target))
      return false;
    return remove_folder_contents(target);
  }
  // This folder itself may be reached through a link; what lies inside is
  // still removed without following any.
  char* real = realpath(path, nullptr);
  if (!real) return false;
  bool ok = remove_folder_contents(real);
  free(real);
  return ok;
}

bool FOLDER::make_unique_file_name(char* output, size_t output_size, const char* suffix) const {
  if (!output || !suffix || strlen(suffix) + 9 > output_size) return false;
  uint32_t counter = get_time_ms();
  char candidate[kPathSize];
  // Existence is tested without following links; whoever uses the name
  // still creates the file exclusively.
  for (int attempt = 0; attempt < 1000000; ++attempt, ++counter) {
    snprintf(output, output_size, "%08X%s", counter, suffix);
    if (!join_path(candidate, sizeof candidate, path, output)) return false;
    PATH_ENTRY entry = path_entry(candidate);
    if (entry != PATH_ENTRY::PRESENT) return entry == PATH_ENTRY::ABSENT;
  }
  return false;
}

bool FOLDER::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  uint8_t marker = 0;
  char field[kPathSize];
  device->error = device->read(&marker, 1) == 1 ? 0 : 1;
  if (device->error) return false;
  device->error = device->read(field, sizeof field) == static_cast<int32_t>(sizeof field) ? 0 : 1;
  if (device->error) return false;
  field[sizeof field - 1] = '\0';

  bool found = false;
  if (marker == 255) {
    found = set_path_text(*this, field, false, nullptr, false, false, false, true);
  } else if (marker == 1) {
    found = set_absolute(field);
  }
  // A folder that is not on this host (any more) reads as "$APP".
  if (!found || !is_directory(path)) set_app(*this);
  return true;
}

bool FOLDER::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  char field[kPathSize] = {};
  if (!get_variable_text(field, sizeof field)) {
    device->error = 1;
    return false;
  }
  const uint8_t marker = 255;
  device->error = device->write(&marker, 1) == 1 ? 0 : 1;
  if (device->error) return false;
  device->error = device->write(field, sizeof field) == static_cast<int32_t>(sizeof field) ? 0 : 1;
  return device->error == 0;
}

void set_base_path(const FOLDER& folder, const char* application_name) {
  memcpy(base_path, folder.path, strnlen(folder.path, kPathSize - 1) + 1);
  base_path[kPathSize - 1] = '\0';
  const char* name = application_name ? application_name : "";
  size_t length = strnlen(name, sizeof base_name - 1);
  memcpy(base_name, name, length);
  base_name[length] = '\0';
  base_active = true;
  trace_heading("\nBase Path Changed:\n\n");
}

void clear_base_path() {
  base_active = false;
  trace_heading("\nBase Path Changed:\n\n");
}

void set_icon_path(const FOLDER& folder) {
  memcpy(icon_path, folder.path, strnlen(folder.path, kPathSize - 1) + 1);
  icon_path[kPathSize - 1] = '\0';
  icon_active = true;
  trace_heading("\nIcon Path Changed:\n\n");
}

void clear_icon_path() {
  icon_active = false;
  trace_heading("\nIcon Path Changed:\n\n");
}

bool register_path_variable(const char* name, const FOLDER& folder) {
  if (int32_t index = find_path_variable(name); index >= 0) {
    variable_at(index)->folder = folder;
    return true;
  }
  PATH_VARIABLE* entry = new (std::nothrow) PATH_VARIABLE;
  if (!entry) return false;
  if (name && !entry->name.set(name)) {
    delete entry;
    return false;
  }
  entry->folder = folder;
  if (!path_variables().add(entry)) {
    delete entry;
    return false;
  }
  return true;
}

bool unregister_path_variable(const char* name) {
  int32_t index = find_path_variable(name);
  return index >= 0 && path_variables().remove_swap(index);
}

bool is_known_path_variable(const char* text) {
  if (!text || text[0] != '$') return false;
  const char* slash = strchr(text, '/');
  const size_t length = slash ? static_cast<size_t>(slash - text) : strlen(text);
  if (length > kVariableNameMax) return false;
  char name[kVariableNameMax + 1];
  memcpy(name, text, length);
  name[length] = '\0';
  // Without standard folders or fallbacks nothing is made or searched for.
  FOLDER folder;
  return resolve(folder, name, false, nullptr, true, true) != RESOLVED::UNKNOWN;
}

const char* resolve_path_text(const char* text, const char* file_name) {
  static char buffer[kPathSize];
  FOLDER app;
  std::string current = app.path;
  auto append = [&current](const std::string& part) {
    if (current.empty() || current.back() != '/') current += '/';
    current += part;
  };
  for (const std::string& part : components(text ? text : "")) {
    if (part[0] == '$') {
      FOLDER folder;
      if (current.size() < kPathSize) folder.set_absolute(current.c_str());
      // A standard folder not made yet still names the path it will have.
      if (!planned_standard_folder(folder, part.c_str()))
        set_path_text(folder, part.c_str(), false, nullptr, false, false, false, true);
      current = folder.path;
    } else if (part == "..") {
      size_t slash = current.rfind('/');
      if (slash != std::string::npos) current.erase(slash == 0 ? 1 : slash);
    } else if (part != ".") {
      append(part);
    }
    if (current.size() >= kPathSize) return nullptr;
  }
  if (file_name) append(file_name);
  return copy_out(current, buffer, sizeof buffer) ? buffer : nullptr;
}

namespace {

const char* modified_text(uint32_t modified) {
  static char text[64];
  time_t when = static_cast<time_t>(modified);
  if (!ctime_r(&when, text)) {
    text[0] = '\0';
    return text;
  }
  size_t length = strlen(text);
  if (length > 0 && text[length - 1] == '\n') text[length - 1] = '\0';
  return text;
}

const char* byte_count_text(uint64_t bytes) {
  static char text[64];
  double size = static_cast<double>(bytes);
  const char* unit = "b";
  if (bytes >= (1u << 30)) {
    size /= 1073741824.0;
    unit = "G";
  } else if (bytes >= (1u << 20)) {
    size /= 1048576.0;
    unit = "M";
  } else if (bytes >= 1024) {
    size /= 1024.0;
    unit = "k";
  }
  snprintf(text, sizeof text, "%.1lf %s", size, unit);
  return text;
}

}  // namespace

const char* time_to_text(const FOLDER_ENTRY& entry) { return modified_text(entry.modified); }
const char* size_to_text(const FOLDER_ENTRY& entry) { return byte_count_text(entry.size); }
const char* time_to_text(const FILE_INFO& info) { return modified_text(info.modified); }
const char* size_to_text(const FILE_INFO& info) { return byte_count_text(info.size); }
const char* size_to_text(const FOLDER_LIST_ENTRY& entry) { return byte_count_text(entry.whole_size); }

DEBUG_STREAM& path_trace_stream() {
  static DEBUG_STREAM fallback("Default Path Trace (closed)", 0, false);
  DEBUG_STREAM* stream = trace_stream();
  return stream ? *stream : fallback;
}

void trace_default_paths() {
  if (tracing) return;
  DEBUG_STREAM* stream = trace_stream();
  if (!stream || !stream->has_output()) return;
  tracing = true;
  static const char* const kVariables[] = {
      "$APP",    "$APPDATA", "$USERAPP", "$USERDATA", "$USERPREFS", "$SYSAPP",   "$SYSDATA", "$SYSPREFS",
      "$DATA",   "$TEMP",    "$ROOT0",   "$ROOT1",    "$ROOT2",     "$FONTDATA", "$ICONDATA"};
  for (const char* variable : kVariables) {
    FOLDER normal, plain;
    resolve(normal, variable, false, nullptr, false, false);
    resolve(plain, variable, false, nullptr, false, true);
    stream->printf("%s => %s (%s)\n", variable, normal.path, plain.path);
  }
  tracing = false;
}
