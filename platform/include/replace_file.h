#pragma once
// Replacing a file whole, the one way the platform writes a file anew: the
// new content goes to a fresh file in the target's own folder, never
// through a link: an unnamed one where the file system can make it, else
// one under a fresh hidden name (created exclusively). Every write is
// checked, the permission bits are set on the open descriptor, and only
// then does the file take the target's name: an unnamed file is linked in
// where the name is free; otherwise the fresh file, named, is renamed over
// the target. A link at the target's name is replaced, never written
// through. On any failure the fresh file goes and the target stays as it
// was. Given the target's folder held open (FOLDER_HOLD), or in this
// run's temporary folder, all of it happens relative to the open folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/types.h>

#include "folder.h"

class FOLDER_HOLD;

class FILE_REPLACEMENT {
public:
  // Permission bits of the new file: 0666 less the umask, those of the
  // file it replaces (the default when there is none, or a link), or exact
  // bits (set-user-ID and set-group-ID included).
  static constexpr int32_t PERMISSIONS_DEFAULT = -1;
  static constexpr int32_t PERMISSIONS_OF_TARGET = -2;

  FILE_REPLACEMENT() = default;
  ~FILE_REPLACEMENT();  // an unfinished replacement is abandoned
  FILE_REPLACEMENT(const FILE_REPLACEMENT&) = delete;
  FILE_REPLACEMENT& operator=(const FILE_REPLACEMENT&) = delete;

  // Makes the fresh file for name (which may lead through sub-folders) in
  // folder; false (with error set) when it cannot be made. held, when it
  // holds the target's own folder, is where the names are made.
  bool begin(const FOLDER& folder, const char* name, int32_t permissions = PERMISSIONS_DEFAULT,
             const FOLDER_HOLD* held = nullptr);
  // A stdio stream on the fresh file (an fdopen mode such as "wb"), for
  // writers that need one; it stays the replacement's: commit and abandon
  // close it. Null when none can be made.
  FILE* stream(const char* mode);
  bool write(const void* bytes, size_t count);
  // Sets the permission bits on the descriptor (after the writes, so that
  // writing cannot clear a set-user-ID bit), closes the fresh file
  // (checked) and renames it over the target.
  bool commit();
  // commit, then the file that now has the target's name stays open for
  // appending: its descriptor (the caller's to close), -1 when the commit
  // failed. A writer that goes on adding to the file keeps the very file
  // it made, whatever takes the name later.
  int commit_and_keep();
  // Removes the fresh file and leaves the target alone.
  void abandon();

  // Test seam: false makes every later replacement take a named fresh
  // file, as on a file system that cannot make unnamed ones; true returns
  // to trying unnamed files.
  static void allow_unnamed_files(bool allowed);

  // Where the first failure happened (closing counts as writing), and its
  // errno; NONE and 0 while all went well.
  enum class STEP : uint8_t { NONE, CREATE, WRITE, RENAME };
  STEP failed_step = STEP::NONE;
  int error = 0;

private:
  bool fail(STEP step, int code);  // notes the first failure; false
  bool fresh_temporary();
  bool link_temporary();
  bool begin_unnamed(mode_t create_bits, size_t folder_length);

  int descriptor = -1;
  FILE* file = nullptr;  // owns the descriptor once made
  bool active = false;
  bool unnamed = false;  // the fresh file has no name yet
  bool set_bits = false;
  uint32_t bits = 0;
  char temporary[FOLDER_PATH_SIZE] = {};  // full paths
  char target[FOLDER_PATH_SIZE] = {};
  // Where the names are looked up: the current folder (-100, the full
  // paths above) or the folder held open (the names' last parts).
  int at = -100;
  const char* temporary_name = temporary;
  const char* target_name = target;
};
