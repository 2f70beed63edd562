#pragma once
// A FOLDER names a directory. Folders are reached from `$` path variables
// ("$APP", "$USERPREFS", "$TEMP", ...) and written back in that variable
// form, so stored data stays valid wherever the program is installed. The
// operating-system side comes from the Linux file services.
#include <cstddef>
#include <cstdint>

#include "data_device.h"

class DATA_FILE;
class DEBUG_STREAM;
struct FILE_INFO;
class TEXT_FILE;

constexpr int FOLDER_PATH_SIZE = 2048;  // bytes, terminator included

// One record of a listing; fixed layout.
struct FOLDER_ENTRY {
  char folder[FOLDER_PATH_SIZE];  // the listed folder's absolute path
  char name[256];
  uint8_t is_folder;
  uint8_t hidden;     // the name begins with "."
  uint8_t read_only;  // the owner may not write
  uint32_t size;      // bytes, saturated at 0xFFFFFFFF
  uint32_t modified;  // calendar seconds
};

class FOLDER : public DATA_DEVICE_CLIENT {
public:
  FOLDER();  // the program's folder, "$APP"
  FOLDER(const FOLDER& other);
  FOLDER& operator=(const FOLDER& other);
  ~FOLDER() override = default;

  // Resolves one variable ("$APP", "$TEMP", a registered name, ...) into
  // this folder. A name that is no variable is fatal error 0x0C.
  bool set(const char* variable, bool create = false, const FOLDER* base = nullptr,
           bool no_fallback = false, bool no_standard_folder = false);
  // A variable followed by sub-folders ("$USERPREFS/debug"), or a text
  // beginning with ".." taken from the current path.
  bool set_path(const char* text, bool create_sub_folders = false, const FOLDER* base = nullptr,
                bool create_variable_folder = false, bool no_fallback = false,
                bool no_standard_folder = false);
  // set_path for a text that comes from stored data (a skin, a record): a
  // name that is no variable fails (false, the folder left at "$APP")
  // instead of ending the program.
  bool set_stored_path(const char* text, const FOLDER* base = nullptr);
  // Sets the absolute path as it stands; false when it does not fit.
  bool set_absolute(const char* absolute_path);

  // Copy the icon or base override into this folder (unchanged while none
  // is set); get_base_path also gives the application name ("" without).
  void get_icon_path();
  void get_base_path(char* name_output, size_t output_size);

  // Text forms; each fails (false) when the result does not fit.
  bool get_variable_text(char* output, size_t output_size) const;
  bool get_relative_path(const FOLDER& target, char* output, size_t output_size) const;
  bool get_path_text(char* output, size_t output_size, const FOLDER* base) const;

  // Files in this folder. close_* flush, close, delete and null the
  // pointer; false when the file's data could not all be written.
  DATA_FILE* open_data_file(const char* name, uint32_t mode, uint8_t order = 0, bool gzip = false) const;
  static bool close_data_file(DATA_FILE*& file);
  TEXT_FILE* open_text_file(const char* name, uint32_t mode, bool utf16 = false) const;
  static bool close_text_file(TEXT_FILE*& file);

  bool list_entries(bool folders, bool include_hidden, bool append, FOLDER_ENTRY*& array,
                    int32_t& count, const char* pattern, uint32_t pattern_mode,
                    int32_t first_allocation, int32_t grow_step) const;
  static void free_entries(FOLDER_ENTRY*& array);

  // Removes everything inside (or inside the named sub-folder), never
  // following symbolic links; the folder itself stays.
  bool remove_contents(const char* sub_folder = nullptr) const;

  bool make_unique_file_name(char* output, size_t output_size, const char* suffix) const;

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  char path[FOLDER_PATH_SIZE];  // absolute path, always terminated
};

bool close_data_file(DATA_FILE*& file);

// Overrides: "$APP"/"$BASE" (and the application name used for the
// standard folders) and "$ICONDATA".
void set_base_path(const FOLDER& folder, const char* application_name);
void clear_base_path();
void set_icon_path(const FOLDER& folder);
void clear_icon_path();

// Program-defined variables take precedence over the built-in ones and
// match by exact name.
bool register_path_variable(const char* name, const FOLDER& folder);
bool unregister_path_variable(const char* name);

// Whether the text begins with a variable this run knows (built in or
// registered), so that setting a path from it cannot end the program. Looks
// nothing up on disk and creates nothing.
bool is_known_path_variable(const char* text);

// Absolute path of a variable text, with an optional file name; a static
// buffer, null when the result does not fit.
const char* resolve_path_text(const char* text, const char* file_name = nullptr);

// ctime's text of the modification time without its line feed, and the
// size as "%.1lf" and a unit (b, k, M, G); both in static buffers. The
// FILE_INFO forms serve the entries of list_folder_filtered.
const char* time_to_text(const FOLDER_ENTRY& entry);
const char* size_to_text(const FOLDER_ENTRY& entry);
const char* time_to_text(const FILE_INFO& info);
const char* size_to_text(const FILE_INFO& info);

// Writes the "Default Path Trace" when that debug stream has output.
void trace_default_paths();
// The "Default Path Trace" stream, made on first use (so that
// DEBUG_STREAM::find sees it only after this or the first path was set).
DEBUG_STREAM& path_trace_stream();
