#include "folder_hold.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "file_services.h"

namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

PATH_FAILURE last_failed;

bool trusted_owner(uid_t owner) { return owner == 0 || owner == geteuid(); }

// Whether anyone but root, this process's user and also may write in a
// folder of that owner and mode (a group counts as others).
bool others_may_write(uid_t owner, mode_t mode, uid_t also) {
  if (mode & (S_IWGRP | S_IWOTH)) return true;
  return !trusted_owner(owner) && owner != also;
}

// Whether others may rename what lies in a folder of that owner and mode,
// and so put another folder at a name: the sticky bit keeps them to their
// own entries only when the folder's owner is trusted.
bool others_may_rename(uid_t owner, mode_t mode) {
  return others_may_write(owner, mode, 0) && !((mode & S_ISVTX) && trusted_owner(owner));
}

// The folders walks of this process made, by device, inode and the file
// system's handle for the folder (which carries the inode's generation):
// a folder made later at an inode that a removed one had is not taken for
// it. Where the file system gives no handle, device and inode alone.
using MADE_IDENTITY = std::tuple<uint64_t, uint64_t, std::string>;
std::set<MADE_IDENTITY>& made_by_process() {
  static std::set<MADE_IDENTITY> made;
  return made;
}

MADE_IDENTITY made_identity(int fd, const struct stat& st) {
  struct {
    file_handle head;
    unsigned char bytes[MAX_HANDLE_SZ];
  } handle{};
  handle.head.handle_bytes = MAX_HANDLE_SZ;
  int mount = 0;
  std::string generation;
  if (name_to_handle_at(fd, "", &handle.head, &mount, AT_EMPTY_PATH) == 0)
    generation.assign(reinterpret_cast<const char*>(handle.head.f_handle), handle.head.handle_bytes);
  return {st.st_dev, st.st_ino, generation};
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string parent_text(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// The root folder, opened as a way in, and its owner and mode; -1 (errno
// set) when it cannot be.
int open_root(struct stat& st) {
  const int root = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (root >= 0 && fstat(root, &st) != 0) {
    const int code = errno;
    close(root);
    errno = code;
    return -1;
  }
  return root;
}

// The next component of rest (empty ones and "." skipped), taken off it;
// false when none is left.
bool take_component(std::string& rest, std::string& name) {
  for (;;) {
    const size_t start = rest.find_first_not_of('/');
    if (start == std::string::npos) {
      rest.clear();
      return false;
    }
    const size_t end = rest.find('/', start);
    name = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest.erase(0, end == std::string::npos ? rest.size() : end);
    if (name != ".") return true;
  }
}

}  // namespace

std::string PATH_FAILURE::reason() const {
  switch (kind) {
    case KIND::NONE:
      return "";
    case KIND::SYSTEM:
      return strerror(error);
    case KIND::UNSAFE_LINK:
      return open_parent ? "unsafe link: it lies in a folder that other users may write to"
                         : "unsafe link: it belongs to user " + std::to_string(owner);
    case KIND::UNSAFE_OWNER:
      return "unsafe folder: it belongs to user " + std::to_string(owner) +
             " and lies in a folder that other users may write to";
    case KIND::UNSAFE_PARENT:
      return owner ? "unsafe folder: it lies in a folder that belongs to user " + std::to_string(owner)
                   : "unsafe folder: it lies in a folder that other users may write to without the sticky bit";
  }
  return "";
}

FOLDER_HOLD::FOLDER_HOLD(const FOLDER& folder) { reach(folder); }

FOLDER_HOLD::~FOLDER_HOLD() { release(); }

void FOLDER_HOLD::release() {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
  length = 0;
  path[0] = '\0';
  made_folders.clear();
}

const PATH_FAILURE& FOLDER_HOLD::last_failure() { return last_failed; }

void FOLDER_HOLD::clear_last_failure() { last_failed = PATH_FAILURE(); }

bool FOLDER_HOLD::fail(PATH_FAILURE::KIND kind, int error, const std::string& folder, uint32_t owner,
                       bool open_parent) {
  failed.kind = kind;
  failed.error = error;
  failed.owner = owner;
  failed.open_parent = open_parent;
  failed.folder = folder;
  last_failed = failed;
  return false;
}

bool FOLDER_HOLD::reach(const FOLDER& folder, MAKE make, const FOLDER_HOLD* from) {
  release();
  failed = PATH_FAILURE();
  std::string target(folder.path, strnlen(folder.path, sizeof folder.path - 1));
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (target.empty() || target[0] != '/') return fail(PATH_FAILURE::KIND::SYSTEM, ENOENT, target);

  // Where the walk begins: the folder from holds when the path lies in it,
  // else the root. walked names the folder at hand, for messages.
  std::string walked = "/", rest = target;
  int at = -1;
  struct stat at_stat {};
  if (from && from->holding()) {
    const size_t n = from->length;
    const bool inside = n == 1 || (target.compare(0, n, from->path, n) == 0 &&
                                   (target.size() == n || target[n] == '/'));
    if (inside) at = fcntl(from->descriptor, F_DUPFD_CLOEXEC, 0);
    if (at >= 0) {
      at_stat.st_uid = from->held_owner;
      at_stat.st_mode = from->held_mode;
      walked = from->path;
      rest = target.substr(n == 1 ? 0 : n);
    }
  }
  if (at < 0 && (at = open_root(at_stat)) < 0) return fail(PATH_FAILURE::KIND::SYSTEM, errno, "/");
  // Every failure below lets go of the folder at hand.
  using KIND = PATH_FAILURE::KIND;
  auto stop = [this, &at](KIND kind, int code, const std::string& where, uint32_t owner = 0,
                          bool open_parent = false) {
    close(at);
    return fail(kind, code, where, owner, open_parent);
  };

  int links = 0;
  std::string name;
  while (take_component(rest, name)) {
    if (name == "..") {  // only from a link's target
      const int up = openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
      struct stat up_stat {};
      if (up < 0 || fstat(up, &up_stat) != 0) {
        const int code = errno;
        if (up >= 0) close(up);
        return stop(KIND::SYSTEM, code, walked);
      }
      close(at);
      at = up;
      at_stat = up_stat;
      walked = parent_text(walked);
      continue;
    }
    const std::string next = joined(walked, name);
    const bool last = rest.find_first_not_of('/') == std::string::npos;
    const bool may_make = make == MAKE::MISSING || (make == MAKE::LAST && last);
    int fd = openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool made_now = false;
    if (fd < 0 && errno == ENOENT && may_make) {
      made_now = mkdirat(at, name.c_str(), 0777) == 0;
      if (!made_now && errno != EEXIST) {
        const int code = errno;
        return stop(KIND::SYSTEM, code, next);
      }
      if (made_now) note_file_step(FILE_STEP::FOLDER_MADE, next.c_str());
      fd = openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
      const int code = errno;
      struct stat link {};
      if ((code != ENOTDIR && code != ELOOP) || fstatat(at, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 ||
          !S_ISLNK(link.st_mode))
        return stop(KIND::SYSTEM, code, next);
      // A link: followed only where no other user can have put it.
      if (!trusted_owner(link.st_uid))
        return stop(KIND::UNSAFE_LINK, 0, next, link.st_uid);
      if (others_may_write(at_stat.st_uid, at_stat.st_mode, 0))
        return stop(KIND::UNSAFE_LINK, 0, next, link.st_uid, true);
      if (++links > kMaxLinks) return stop(KIND::SYSTEM, ELOOP, next);
      char text[FOLDER_PATH_SIZE];
      const ssize_t got = readlinkat(at, name.c_str(), text, sizeof text);
      if (got <= 0 || static_cast<size_t>(got) >= sizeof text)
        return stop(KIND::SYSTEM, got < 0 ? errno : ENAMETOOLONG, next);
      // The link's target takes its place on the path; an absolute one
      // starts again at the root.
      rest = std::string(text, static_cast<size_t>(got)) + "/" + rest;
      if (text[0] == '/') {
        struct stat root_stat {};
        const int root = open_root(root_stat);
        if (root < 0) return stop(KIND::SYSTEM, errno, "/");
        close(at);
        at = root;
        at_stat = root_stat;
        walked = "/";
      }
      continue;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
      const int code = errno;
      close(fd);
      return stop(KIND::SYSTEM, code, next);
    }
    // Another user's folder where others may write: its owner, or anyone
    // who could have swapped it in, decides what it holds.
    if (!trusted_owner(st.st_uid) && others_may_write(at_stat.st_uid, at_stat.st_mode, st.st_uid)) {
      close(fd);
      return stop(KIND::UNSAFE_OWNER, 0, next, st.st_uid);
    }
    const bool may_be_renamed = trusted_owner(st.st_uid) && others_may_rename(at_stat.st_uid, at_stat.st_mode);
    const MADE_IDENTITY identity =
        made_now || may_be_renamed ? made_identity(fd, st) : MADE_IDENTITY(st.st_dev, st.st_ino, "");
    if (made_now && trusted_owner(st.st_uid)) {
      made_by_process().insert(identity);
      made_folders.push_back({next, st.st_dev, st.st_ino});
    }
    // A trusted folder where others may rename entries: a sibling could
    // have taken its name, unless it is the very folder this process made.
    // (Another user's folder there was refused above, or lies in that
    // user's own folder, where the user decides anyway.)
    if (may_be_renamed && !made_by_process().count(identity)) {
      close(fd);
      return stop(KIND::UNSAFE_PARENT, 0, next, trusted_owner(at_stat.st_uid) ? 0 : at_stat.st_uid);
    }
    close(at);
    at = fd;
    at_stat = st;
    walked = next;
  }
  descriptor = at;
  length = target.size();
  memcpy(path, target.c_str(), length + 1);
  held_owner = at_stat.st_uid;
  held_mode = at_stat.st_mode;
  return true;
}

int FOLDER_HOLD::descriptor_for(const char* folder_path, size_t folder_length) const {
  if (descriptor < 0 || length != folder_length || memcmp(path, folder_path, folder_length) != 0) return -1;
  return descriptor;
}

bool FOLDER_HOLD::reach_trusted(const FOLDER& folder, std::string* why) {
  const PATH_FAILURE before = last_failed;
  std::string asked(folder.path, strnlen(folder.path, sizeof folder.path - 1));
  while (asked.size() > 1 && asked.back() == '/') asked.pop_back();
  // The system's reasons as they are; an unsafe folder other than the
  // one asked for is named.
  // Taken by value: where may be the failure that is cleared below.
  auto refuse = [&](std::string where, const std::string& reason, bool unsafe) {
    release();
    failed = PATH_FAILURE();
    if (why) *why = unsafe && where != asked ? where + ": " + reason : reason;
    last_failed = before;
    return false;
  };
  if (!reach(folder)) return refuse(failed.folder, failed.reason(), failed.kind != PATH_FAILURE::KIND::SYSTEM);
  // From the folder reached up to the root, through the folders it really
  // lies in (not the path's links).
  std::string where = path;
  int at = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (at < 0) return refuse(where, strerror(errno), false);
  for (;;) {
    struct stat st {};
    struct stat up_stat {};
    const int up = fstat(at, &st) == 0 ? openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
    const int code = up < 0 ? errno : (fstat(up, &up_stat) != 0 ? errno : 0);
    close(at);
    at = up;
    std::string reason;
    if (!trusted_owner(st.st_uid)) reason = "unsafe folder: it belongs to user " + std::to_string(st.st_uid);
    else if (others_may_write(st.st_uid, st.st_mode, 0) && !(st.st_mode & S_ISVTX))
      reason = "unsafe folder: other users may write to it and it has no sticky bit";
    const bool top = code == 0 && up_stat.st_dev == st.st_dev && up_stat.st_ino == st.st_ino;
    if (code != 0 || !reason.empty() || top) {
      if (at >= 0) close(at);
      if (code != 0 && reason.empty()) return refuse(where, strerror(code), false);
      return reason.empty() || refuse(where, reason, true);
    }
    where = parent_text(where);
  }
}

bool FOLDER_HOLD::set_made_folder_mode(const MADE_FOLDER& folder, uint32_t mode) const {
  // The held descriptor is only a way in: the folder is opened through it
  // to take its bits.
  const int fd = descriptor >= 0 ? openat(descriptor, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (fd < 0) {
    if (descriptor < 0) errno = EBADF;
    return false;
  }
  struct stat st {};
  bool set = fstat(fd, &st) == 0;
  if (set && (st.st_dev != folder.device || st.st_ino != folder.inode)) {
    errno = ESTALE;
    set = false;
  }
  set = set && fchmod(fd, static_cast<mode_t>(mode & 07777)) == 0;
  const int code = errno;
  close(fd);
  errno = code;
  return set;
}

bool FOLDER_HOLD::regular_file_time(const char* name, uint32_t& modified) const {
  struct stat st {};
  if (descriptor < 0 || fstatat(descriptor, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
    return false;
  modified = static_cast<uint32_t>(st.st_mtime);
  return true;
}
