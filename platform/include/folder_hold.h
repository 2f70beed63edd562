#pragma once
// A folder held open while many files are written into it, one after
// another (an install writes each folder's files in a row): the
// replacements made on this thread whose name lies directly in the held
// folder are made and named relative to the open folder, instead of
// walking its path again for each file, and a folder on that path that is
// swapped meanwhile (for a link, say) cannot lead them elsewhere. The
// latest hold made on a thread is the one in force; a replacement begun in
// the held folder ends (commit or abandon) before the hold does.
#include <cstddef>

#include "folder.h"

class FOLDER_HOLD {
public:
  // Holds nothing when the folder cannot be opened.
  explicit FOLDER_HOLD(const FOLDER& folder);
  ~FOLDER_HOLD();
  FOLDER_HOLD(const FOLDER_HOLD&) = delete;
  FOLDER_HOLD& operator=(const FOLDER_HOLD&) = delete;

  bool holding() const { return descriptor >= 0; }
  // The open folder of this thread's hold when that holds the folder at
  // path (its first length bytes, without a trailing '/'); -1 otherwise.
  static int descriptor_for(const char* path, size_t length);

private:
  int descriptor = -1;
  size_t length = 0;
  char path[FOLDER_PATH_SIZE] = {};  // without a trailing '/', but "/"
};
