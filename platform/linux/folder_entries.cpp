#include "folder_entries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

bool list_folder_entries(const FOLDER& folder, std::vector<DISK_ENTRY>& entries) {
  entries.clear();
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.path), closedir);
  if (!dir) return false;
  const int fd = dirfd(dir.get());
  while (const dirent* entry = readdir(dir.get())) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    struct stat st;
    if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    DISK_ENTRY& out = entries.emplace_back();
    out.name = entry->d_name;
    out.kind = S_ISLNK(st.st_mode)   ? ENTRY_KIND::LINK
               : S_ISDIR(st.st_mode) ? ENTRY_KIND::DIRECTORY
               : S_ISREG(st.st_mode) ? ENTRY_KIND::REGULAR
                                     : ENTRY_KIND::OTHER;
    if (out.kind != ENTRY_KIND::LINK || fstatat(fd, entry->d_name, &st, 0) == 0) {
      out.mode = static_cast<uint16_t>(st.st_mode & 07777);
      out.size = static_cast<uint64_t>(st.st_size);
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const DISK_ENTRY& a, const DISK_ENTRY& b) { return a.name < b.name; });
  return true;
}

bool resolve_path(const std::string& path, std::string& resolved) {
  char buffer[PATH_MAX];
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  if (!realpath(path.c_str(), buffer)) return false;
  // A successful realpath may leave errno set by the links it looked for:
  // a result too long to store must say so itself.
  if (strlen(buffer) >= FOLDER_PATH_SIZE) {
    errno = ENAMETOOLONG;
    return false;
  }
  resolved = buffer;
  return true;
}
