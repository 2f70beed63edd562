#pragma once
// A folder's entries as they stand on disk, for tools that pack a tree of
// files: every name (hidden ones too) with its kind, permission bits and
// size, a symbolic link counted as a link and never followed, and the real
// path a link leads to.
#include <cstdint>
#include <string>
#include <vector>

#include "folder.h"

enum class ENTRY_KIND : uint8_t { REGULAR, DIRECTORY, LINK, OTHER };

struct DISK_ENTRY {
  std::string name;
  ENTRY_KIND kind = ENTRY_KIND::OTHER;
  // Of a link: those of what it leads to (0 when it leads nowhere).
  uint16_t mode = 0;  // permission bits, 07777
  uint64_t size = 0;  // bytes
};

// Every entry of the folder but "." and "..", in byte order of the names.
// False when the folder cannot be read; an empty folder gives true and no
// entries.
bool list_folder_entries(const FOLDER& folder, std::vector<DISK_ENTRY>& entries);

// The absolute path that path names once every symbolic link in it has been
// followed. False when that leads nowhere: a missing target, links that
// loop, or a result that does not fit a path (errno then says which,
// ENAMETOOLONG for the last).
bool resolve_path(const std::string& path, std::string& resolved);
