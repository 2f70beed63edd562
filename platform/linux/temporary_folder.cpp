// This run's private temporary folder and the removal walk that empties
// folders without ever following a symbolic link. Kept apart from the other
// file services so that the fatal exit can remove the folder without
// pulling in folders, drives and path variables.
//
// The walk uses nothing but system calls that are safe inside a signal
// handler, with its buffers on the stack: a close signal that ends the
// program before its frame loop runs removes the folder from the handler.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_services.h"

namespace {

char temporary_folder[FOLDER_PATH_SIZE];  // "" until this run made one
// Set once the path above is complete, so that a signal handler never
// reads a path half written.
volatile sig_atomic_t temporary_folder_ready = 0;
// The process that recorded the folder: a forked child that calls exit()
// leaves its parent's folder alone.
pid_t temporary_folder_owner = 0;
bool removal_at_exit_registered = false;
// The folder held open since it was made (readable, so that it can be
// emptied through it), the folder it was made in and its name there; -1
// and "" for a folder recorded by its path alone.
int temporary_folder_fd = -1;
int temporary_parent_fd = -1;
char temporary_leaf[256];

// Length of path without trailing '/' (the root keeps its "/").
size_t without_trailing_slash(const char* path, size_t length) {
  while (length > 1 && path[length - 1] == '/') --length;
  return length;
}

// Directories open at once: the one being emptied and the deepest ones
// below it; a deeper tree is walked with the oldest of them closed.
constexpr int kMaxDepth = 256;
// Directories that could not be emptied; they are not entered again. A
// chain of them as deep as the walk keeps open still fits, with room
// beside it.
constexpr int kMaxStuck = kMaxDepth + 64;

bool is_dot_entry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct STUCK_LIST {
  struct {
    dev_t device;
    ino_t inode;
  } entries[kMaxStuck];
  int count = 0;

  bool contains(const struct stat& st) const {
    for (int i = 0; i < count; ++i)
      if (entries[i].device == st.st_dev && entries[i].inode == st.st_ino) return true;
    return false;
  }
  bool add(int fd) {
    struct stat st;
    if (count == kMaxStuck || fstat(fd, &st) != 0) return false;
    entries[count++] = {st.st_dev, st.st_ino};
    return true;
  }
};

// Empties the directory open on root (which stays open), however deep.
// Links and other non-directories are unlinked; empty sub-directories are
// removed, others opened with O_NOFOLLOW (so that a link swapped in
// meanwhile is never entered) and emptied first. A directory is read again
// from its start after anything in it went, because removing entries while
// reading may skip some. Below kMaxDepth open levels the oldest level under
// the root is closed; when the walk comes back up to where it was, it
// starts again from the root, which leads down to what is left (never
// through "..", which a rename meanwhile could point elsewhere). False
// when anything stayed behind.
bool empty_directory(int root) {
  int open_fds[kMaxDepth];
  bool level_failed[kMaxDepth];
  STUCK_LIST stuck;
  alignas(8) char buffer[4096];
  int depth = 0;
  open_fds[0] = root;
  level_failed[0] = false;

  for (;;) {
    const int fd = open_fds[depth];
    int child = -1;
    bool progress = false;
    if (lseek(fd, 0, SEEK_SET) < 0) level_failed[depth] = true;
    else
      while (child < 0) {
        ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got <= 0) {
          if (got < 0) level_failed[depth] = true;
          break;
        }
        for (ssize_t at = 0; at < got && child < 0;) {
          const struct dirent64* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
          at += entry->d_reclen;
          const char* name = entry->d_name;
          if (is_dot_entry(name)) continue;
          struct stat st;
          if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) level_failed[depth] = true;
            continue;
          }
          const int flags = S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0;
          if (unlinkat(fd, name, flags) == 0) {
            progress = true;
            continue;
          }
          if (errno == ENOENT) continue;
          if (flags == 0 || (errno != ENOTEMPTY && errno != EEXIST) || stuck.contains(st)) {
            level_failed[depth] = true;
            continue;
          }
          child = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
          if (child < 0) level_failed[depth] = true;
        }
      }

    if (child >= 0) {
      if (depth + 1 == kMaxDepth) {
        close(open_fds[1]);
        for (int i = 1; i + 1 < kMaxDepth; ++i) {
          open_fds[i] = open_fds[i + 1];
          level_failed[i] = level_failed[i + 1];
        }
        --depth;
      }
      open_fds[++depth] = child;
      level_failed[depth] = false;
      continue;
    }
    if (progress) continue;  // read again: removals may have hidden entries
    if (depth == 0) return !level_failed[0];
    // Finished with this directory; its parent reads itself again and
    // removes it when it is empty now.
    bool give_up = level_failed[depth] && !stuck.add(fd);
    close(fd);
    --depth;
    if (give_up) {
      while (depth > 0) close(open_fds[depth--]);
      return false;
    }
    // A directory whose parent was closed on the way down finishes with
    // the root as the next open level: the root reads itself again and
    // goes down to what is left, the emptied directory's parent removing it.
  }
}

void forget_held_folder() {
  for (int* fd : {&temporary_folder_fd, &temporary_parent_fd}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  temporary_leaf[0] = '\0';
}

void remove_temporary_folder_at_exit() {
  if (temporary_folder_owner == getpid()) remove_temporary_folder();
}

void record_path(const char* path) {
  size_t length = path ? strnlen(path, sizeof temporary_folder - 1) : 0;
  memcpy(temporary_folder, path ? path : "", length);
  temporary_folder[length] = '\0';
  temporary_folder_owner = getpid();
  std::atomic_signal_fence(std::memory_order_seq_cst);
  temporary_folder_ready = length > 0;
  // Also an application that ends with exit() (a console mode finishing
  // in its init hook) leaves nothing behind.
  if (length > 0 && !removal_at_exit_registered)
    removal_at_exit_registered = atexit(remove_temporary_folder_at_exit) == 0;
}

}  // namespace

bool remove_folder_contents(const char* path) {
  if (!path) return false;
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = empty_directory(fd);
  close(fd);
  return ok;
}

void record_held_temporary_folder(const char* path, int folder_fd, int parent_fd, const char* leaf) {
  temporary_folder_ready = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  forget_held_folder();
  const size_t length = leaf ? strnlen(leaf, sizeof temporary_leaf - 1) : 0;
  memcpy(temporary_leaf, leaf ? leaf : "", length);
  temporary_leaf[length] = '\0';
  temporary_folder_fd = folder_fd;
  temporary_parent_fd = parent_fd;
  record_path(path);
}

int temporary_folder_descriptor_for(const char* path, size_t length) {
  if (!temporary_folder_ready || temporary_folder_fd < 0 || !path) return -1;
  const size_t own = without_trailing_slash(temporary_folder, strlen(temporary_folder));
  length = without_trailing_slash(path, length);
  return own == length && memcmp(path, temporary_folder, length) == 0 ? temporary_folder_fd : -1;
}

void record_temporary_folder(const char* path) {
  temporary_folder_ready = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  forget_held_folder();
  record_path(path);
}


const char* get_temporary_folder_path() {
  return temporary_folder;
}

// Safe inside a signal handler. The path is forgotten only once the folder
// is gone, so a handler that interrupts a removal finishes it.
void remove_temporary_folder() {
  if (!temporary_folder_ready) return;
  if (temporary_folder_fd >= 0) {
    // Emptied through the folder held since it was made; its name is
    // removed only while it still names that very folder.
    struct stat held, named;
    if (empty_directory(temporary_folder_fd) && fstat(temporary_folder_fd, &held) == 0 &&
        fstatat(temporary_parent_fd, temporary_leaf, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
      unlinkat(temporary_parent_fd, temporary_leaf, AT_REMOVEDIR);
  } else if (remove_folder_contents(temporary_folder)) {
    // Only the real folder this run made: opening it refuses a link put
    // in its place.
    rmdir(temporary_folder);
  }
  temporary_folder_ready = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  temporary_folder[0] = '\0';
  forget_held_folder();
}
