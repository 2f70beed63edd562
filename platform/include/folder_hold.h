#pragma once
// A folder held open while many files are written into it, one after
// another (an install writes each folder's files in a row): a replacement
// given the hold (FILE_REPLACEMENT::begin) whose name lies directly in the
// held folder is made and named relative to the open folder, instead of
// walking its path again for each file, and a folder on that path that is
// swapped meanwhile (for a link, say) cannot lead it elsewhere. A
// replacement begun with a hold ends (commit or abandon) before the hold
// does.
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
  // The open folder when this holds the folder at path (its first length
  // bytes, without a trailing '/'); -1 otherwise.
  int descriptor_for(const char* path, size_t length) const;

private:
  int descriptor = -1;
  size_t length = 0;
  char path[FOLDER_PATH_SIZE] = {};  // without a trailing '/', but "/"
};
