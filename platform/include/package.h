#pragma once
// The package archive, "VORNPKG" version 1: named files kept uncompressed in
// chains of fixed-size blocks. The installer's whole payload travels in one.
// Stored files are added, replaced in place (their old blocks go to a free
// list that is used before the archive grows), extracted with progress, and
// opened as data or text files through a private temporary copy. Archives
// are untrusted input: every stored position, length and chain is checked
// before it is used, and a failure leaves a last error (4101-4112).
// The data and text files opened from a package are declared in
// package_data_file.h and package_text_file.h.
#include <cstdint>

#include "folder.h"
#include "ptrarray.h"
#include "vorn_string.h"

class DATA_FILE;
class FOLDER_HOLD;
class PACKAGE;
class PACKAGE_DATA_FILE;
class PACKAGE_TEXT_FILE;
struct PACKAGE_INDEX;  // name look-up table over the record chain
struct PACKAGE_STORE;  // the block store behind the file operations

// Called after each block has been read, before its bytes are written out:
// (package, bytes done including that block, total bytes of the stored
// file, user word). The result is ignored.
using PACKAGE_PROGRESS = int32_t (*)(PACKAGE* package, uint32_t done, uint32_t total,
                                     intptr_t user);

// The fields behind the magic and version (position 10 of the archive).
struct PACKAGE_HEADER {
  uint32_t position = 10;  // where block_size is stored
  uint32_t block_size = 0;  // data bytes per block
  uint32_t directory = 0;   // position of the directory record
  uint32_t first_free = 0;  // 0 = the free list is empty
  uint32_t last_free = 0;
};

// The one directory record, "root".
struct PACKAGE_DIRECTORY {
  uint32_t position = 0;
  VORN_STRING name;
  uint32_t name_length = 0;  // bytes stored; the fields follow them
  uint32_t first_file = 0;   // 0 = no files
  uint32_t last_file = 0;
  uint32_t reserved[3] = {};
};

// A file record as stored, and an entry of the kept list.
struct PACKAGE_FILE_RECORD {
  uint32_t position = 0;
  VORN_STRING name;
  uint32_t name_length = 0;  // bytes stored; the fields follow them
  uint32_t first_block = 0;  // 0 = no blocks
  uint32_t last_block = 0;
  uint32_t next_file = 0;  // 0 = last record
  uint32_t size = 0;       // bytes of the stored file
  PACKAGE_FILE_RECORD* next_entry = nullptr;  // kept list order
  // In a copy handed out by find_file: the kept entry it mirrors (null
  // without the kept list).
  PACKAGE_FILE_RECORD* kept = nullptr;
  uint8_t dirty = 0;  // kept entry changed since it was last written
};

// What a data or text file opened from a package keeps beside the file
// itself: its temporary copy and the stored file it goes back to.
struct PACKAGE_COPY {
  PACKAGE* package = nullptr;  // null once the package has gone
  FOLDER temporary_folder;     // "$TEMP"
  char temporary_name[256] = {};
  char stored_name[FOLDER_PATH_SIZE] = {};
  uint8_t read_only = 0;  // opened with mode 0: never stored back
};

class PACKAGE {
public:
  static constexpr uint32_t DEFAULT_BLOCK_SIZE = 524288;
  static constexpr uint32_t MAX_BLOCK_SIZE = 52428800;
  // Stored names are paths below the install folder, bounded like paths.
  static constexpr uint32_t MAX_NAME_LENGTH = FOLDER_PATH_SIZE - 1;
  static constexpr uint32_t HEADER_SIZE = 26;

  // Opens the archive (for update unless read-only) or, when it is missing
  // and create is set, makes an empty one; a created archive is writable
  // whatever read_only says. block_size below 1 means DEFAULT_BLOCK_SIZE
  // and only counts for a new archive (larger than MAX_BLOCK_SIZE is cut to
  // it). With keep_list the file records live in memory and reach the disk
  // through flush. On failure the package stays closed (is_open false).
  PACKAGE(const FOLDER& folder, const char* file_name, bool create, int32_t block_size,
          bool keep_list, bool read_only);
  virtual ~PACKAGE();
  PACKAGE(const PACKAGE&) = delete;
  PACKAGE& operator=(const PACKAGE&) = delete;

  bool is_open() const { return file != nullptr; }

  // Copies the first record of exactly that name (case-sensitive).
  bool find_file(const char* stored_name, PACKAGE_FILE_RECORD& record);
  bool has_file(const char* stored_name);

  // Writes the stored file (null: output_name) as a plain file in folder.
  // The bytes go to a temporary name beside the target, which is replaced
  // only when everything was written. Output names may not be absolute or
  // climb out of the folder with "..". permissions: exact mode bits for the
  // file, set before it takes the target's place; -1 for the default.
  // held: the folder held open, for a writer of many files into it.
  bool extract(const FOLDER& folder, const char* output_name, const char* stored_name = nullptr,
               PACKAGE_PROGRESS progress = nullptr, intptr_t user = 0, int32_t permissions = -1,
               const FOLDER_HOLD* held = nullptr);
  // Stores a plain file of folder under stored_name (null: source_name, at
  // most MAX_NAME_LENGTH bytes). An existing stored file is replaced only
  // with replace set; otherwise the result is false (4111) and nothing
  // changes.
  bool add_file(const FOLDER& folder, const char* source_name, const char* stored_name = nullptr,
                bool replace = false, PACKAGE_PROGRESS progress = nullptr, intptr_t user = 0);

  // A stored file as a data file (mode 0 read, 1 write, 2 update; order as
  // DATA_FILE::open) through a copy in "$TEMP"; closing it with
  // FOLDER::close_data_file stores modes 1 and 2 back. Mode 0 needs the
  // file to exist; modes 1 and 2 are refused on a read-only package.
  PACKAGE_DATA_FILE* open_file(const char* stored_name, uint32_t mode, uint8_t order);
  // The same for a text file (mode 0 read, 1 write, 2 append).
  PACKAGE_TEXT_FILE* open_text_file(const char* stored_name, uint32_t mode, bool utf16 = false);
  // Closes, stores back unless opened with mode 0, deletes and nulls. False
  // when the text could not be stored back; the copy is then kept in
  // "$TEMP" (removed with that folder at exit).
  static bool close_text_file(PACKAGE_TEXT_FILE*& file);

  // Writes the header, the directory and (with the kept list) the changed
  // file records, then pushes everything to the disk. Nothing when
  // read-only.
  bool flush();

  DATA_FILE* file = nullptr;  // the open archive; null when opening failed
  PACKAGE_HEADER header;
  PACKAGE_DIRECTORY directory;
  PACKAGE_FILE_RECORD* list_head = nullptr;  // kept list
  PACKAGE_FILE_RECORD* list_tail = nullptr;
  uint8_t keep_list = 0;
  uint8_t read_only = 0;
  PTRARRAY entries;  // owns the kept entries
  FOLDER folder;     // where the archive lies
  VORN_STRING name;  // its file name

private:
  friend struct PACKAGE_STORE;
  friend class PACKAGE_DATA_FILE;
  friend class PACKAGE_TEXT_FILE;

  // A copy of the stored file in $TEMP, opened by open and registered;
  // null with the last error set on any failure.
  template <class COPY, class OPEN, class CLOSE>
  COPY* open_copy(const char* stored_name, uint32_t mode, OPEN open, CLOSE close);
  // Fills a copy's temporary file from the stored file (when there is one).
  bool prepare_copy(PACKAGE_COPY& copy, const char* stored_name, uint32_t mode);
  // Stores a closed copy back (unless read-only) and removes it; on failure
  // the copy stays and the last error says why.
  static bool store_copy(PACKAGE_COPY& copy, bool written_cleanly);
  void forget_copy(PACKAGE_COPY* copy);

  PACKAGE_INDEX* index = nullptr;
  uint8_t index_disabled = 0;       // too many names to index: walk instead
  // The chain's real last record as found by the last complete walk; new
  // records are linked behind it (the directory's own last file may lag
  // behind it after an interrupted write).
  uint32_t tail_record = 0;
  uint8_t* block_buffer = nullptr;  // whole blocks with their two fields
  uint64_t block_buffer_size = 0;
  PTRARRAY open_copies;             // PACKAGE_COPY pointers, not owned
};
