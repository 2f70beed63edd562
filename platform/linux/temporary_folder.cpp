// This run's private temporary folder and the removal walk that empties
// folders without ever following a symbolic link. Kept apart from the other
// file services so that the fatal exit can remove the folder without
// pulling in folders, drives and path variables.
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "file_services.h"

namespace {

char temporary_folder[FOLDER_PATH_SIZE];  // "" until this run made one

// Empties the directory open on fd (and closes fd). Links and other
// non-directories are unlinked; sub-directories are opened with O_NOFOLLOW
// so that a link swapped in meanwhile is never entered.
bool empty_directory(int fd) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return false;
  }
  std::vector<std::string> names;
  while (struct dirent* entry = readdir(dir))
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
      names.emplace_back(entry->d_name);

  bool ok = true;
  int dir_fd = dirfd(dir);
  for (const std::string& name : names) {
    struct stat st;
    if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) ok = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      int child = openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0 || !empty_directory(child) || unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR) != 0)
        ok = false;
    } else if (unlinkat(dir_fd, name.c_str(), 0) != 0 && errno != ENOENT) {
      ok = false;
    }
  }
  closedir(dir);
  return ok;
}

}  // namespace

bool remove_folder_contents(const char* path) {
  if (!path) return false;
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return fd >= 0 && empty_directory(fd);
}

void record_temporary_folder(const char* path) {
  size_t length = path ? strnlen(path, sizeof temporary_folder - 1) : 0;
  memcpy(temporary_folder, path ? path : "", length);
  temporary_folder[length] = '\0';
}

const char* get_temporary_folder_path() {
  return temporary_folder;
}

void remove_temporary_folder() {
  if (!temporary_folder[0]) return;
  struct stat st;
  // Only the real folder this run made: a link put in its place is left.
  if (lstat(temporary_folder, &st) == 0 && S_ISDIR(st.st_mode) &&
      remove_folder_contents(temporary_folder))
    rmdir(temporary_folder);
  temporary_folder[0] = '\0';
}
