#include "replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "file_services.h"
#include "folder_hold.h"

static_assert(AT_FDCWD == -100, "the header names the current folder by its number");

namespace {

// Whether this process may give an unnamed file its name through the
// descriptor (linkat with AT_EMPTY_PATH, which older kernels allow only to
// privileged callers): learnt from the first unnamed file, or refused by
// the test seam.
enum NAMING : uint8_t { NAMING_UNKNOWN, NAMING_ALLOWED, NAMING_REFUSED };
std::atomic<uint8_t> naming{NAMING_UNKNOWN};

}  // namespace

void FILE_REPLACEMENT::allow_unnamed_files(bool allowed) {
  naming = allowed ? NAMING_UNKNOWN : NAMING_REFUSED;
}

FILE_REPLACEMENT::~FILE_REPLACEMENT() { abandon(); }

bool FILE_REPLACEMENT::fail(STEP step, int code) {
  if (failed_step == STEP::NONE) {
    failed_step = step;
    error = code;
  }
  return false;
}

// A hidden name in the target's folder. The seed differs between
// processes; an exclusive create or link settles any clash.
bool FILE_REPLACEMENT::fresh_temporary() {
  static uint32_t seed = 0;
  static uint32_t counter = 0;
  if (!seed)
    seed =
        (static_cast<uint32_t>(getpid()) * 2654435761u ^ static_cast<uint32_t>(time(nullptr))) | 1;
  const char* slash = strrchr(target, '/');
  const int folder_length = slash ? static_cast<int>(slash - target + 1) : 0;
  const int n = snprintf(temporary, sizeof temporary, "%.*s.vorn-new-%08X", folder_length, target,
                         seed ^ (++counter * 40503u));
  temporary_name = at == AT_FDCWD ? temporary : temporary + folder_length;
  return n > 0 && static_cast<size_t>(n) < sizeof temporary;
}

// Gives the unnamed file a fresh hidden name; false with errno set.
bool FILE_REPLACEMENT::link_temporary() {
  for (int attempt = 0; attempt < 64; attempt++) {
    if (!fresh_temporary()) {
      errno = ENAMETOOLONG;
      return false;
    }
    if (linkat(descriptor, "", at, temporary_name, AT_EMPTY_PATH) == 0) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

// The fresh file made without a name in the target's folder, where the
// file system can make one: nothing shows in the folder before commit
// links it in, and no hidden name has to be renamed away. The process's
// first one is linked under a hidden name at once, which tells whether
// naming through the descriptor is allowed; it then goes on as a named one.
bool FILE_REPLACEMENT::begin_unnamed(mode_t create_bits, size_t folder_length) {
  char folder_path[FOLDER_PATH_SIZE];
  snprintf(folder_path, sizeof folder_path, "%.*s", static_cast<int>(folder_length), target);
  descriptor = openat(at, at == AT_FDCWD ? folder_path : ".", O_TMPFILE | O_WRONLY | O_CLOEXEC,
                      create_bits);
  if (descriptor < 0) return false;
  if (naming == NAMING_ALLOWED) {
    unnamed = true;
    return true;
  }
  if (link_temporary()) {
    naming = NAMING_ALLOWED;
    return true;
  }
  naming = NAMING_REFUSED;
  close(descriptor);
  descriptor = -1;
  return false;
}

bool FILE_REPLACEMENT::begin(const FOLDER& folder, const char* name, int32_t permissions,
                             const FOLDER_HOLD* held) {
  abandon();
  error = 0;
  failed_step = STEP::CREATE;
  if (!name || !*name || !join_path(target, sizeof target, folder.path, name) || !strchr(target, '/')) {
    error = ENAMETOOLONG;
    return false;
  }
  // The target's folder, held open by the caller or reached by its path.
  const char* slash = strrchr(target, '/');
  const size_t folder_length = slash == target ? 1 : static_cast<size_t>(slash - target);
  at = held ? held->descriptor_for(target, folder_length) : -1;
  // This run's temporary folder is always held, from its making.
  if (at < 0) at = temporary_folder_descriptor_for(target, folder_length);
  if (at < 0) at = AT_FDCWD;
  target_name = at == AT_FDCWD ? target : slash + 1;
  set_bits = false;
  struct stat old {};
  if (permissions >= 0) {
    bits = static_cast<uint32_t>(permissions) & 07777;
    set_bits = true;
  } else if (permissions == PERMISSIONS_OF_TARGET &&
             fstatat(at, target_name, &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
    bits = old.st_mode & 07777;
    set_bits = true;
  }
  // Never more open while it is written than it will be.
  const mode_t create_bits = set_bits ? static_cast<mode_t>(bits & 0777) : 0666;
  unnamed = false;
  if (naming != NAMING_REFUSED && begin_unnamed(create_bits, folder_length)) {
    active = true;
    failed_step = STEP::NONE;
    return true;
  }
  for (int attempt = 0; attempt < 64 && descriptor < 0; attempt++) {
    if (!fresh_temporary()) {
      error = ENAMETOOLONG;
      return false;
    }
    descriptor = openat(at, temporary_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        create_bits);
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) {
    error = errno;
    return false;
  }
  active = true;
  failed_step = STEP::NONE;
  return true;
}

FILE* FILE_REPLACEMENT::stream(const char* mode) {
  if (!file && descriptor >= 0) file = fdopen(descriptor, mode);
  return file;
}

bool FILE_REPLACEMENT::write(const void* bytes, size_t count) {
  if (descriptor < 0) return fail(STEP::WRITE, EBADF);
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    ssize_t put = ::write(descriptor, next, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return fail(STEP::WRITE, put < 0 ? errno : ENOSPC);
    next += put;
    count -= static_cast<size_t>(put);
  }
  return true;
}

bool FILE_REPLACEMENT::commit() {
  if (!active) return fail(STEP::WRITE, EBADF);
  bool ok = failed_step == STEP::NONE;
  if (file && ok && (fflush(file) != 0 || ferror(file))) ok = fail(STEP::WRITE, errno ? errno : EIO);
  // A file system without permission bits keeps the bits it was created
  // with, which are never more open than those asked for. Bits that the
  // creation already gave (the usual case: no set-user-ID bit, nothing
  // taken by the umask) need no change.
  struct stat made {};
  if (ok && set_bits && !(fstat(descriptor, &made) == 0 && (made.st_mode & 07777) == bits))
    fchmod(descriptor, static_cast<mode_t>(bits));
  // An unnamed file is linked in at the target's name, which a link
  // cannot redirect; where something stands there already, it takes a
  // hidden name and is renamed over it below, as a named one is.
  bool placed = false;
  if (ok && unnamed) {
    placed = linkat(descriptor, "", at, target_name, AT_EMPTY_PATH) == 0;
    if (placed || errno != EEXIST) {
      if (!placed) ok = fail(STEP::RENAME, errno);
    } else if (link_temporary()) {
      unnamed = false;
    } else {
      ok = fail(STEP::RENAME, errno);
    }
  }
  if (file) {
    if (fclose(file) != 0 && ok) ok = fail(STEP::WRITE, errno);
    file = nullptr;
  } else if (descriptor >= 0 && close(descriptor) != 0 && ok) {
    ok = fail(STEP::WRITE, errno);
  }
  descriptor = -1;
  // A file placed at a name that was free and then found incomplete at
  // the close is taken away again.
  if (!ok && placed) unlinkat(at, target_name, 0);
  if (ok && !placed && renameat(at, temporary_name, at, target_name) != 0)
    ok = fail(STEP::RENAME, errno);
  if (!ok) {
    abandon();
    return false;
  }
  active = false;
  note_file_step(FILE_STEP::FILE_NAMED, target);
  return true;
}

int FILE_REPLACEMENT::commit_and_keep() {
  const int kept = descriptor >= 0 ? fcntl(descriptor, F_DUPFD_CLOEXEC, 0) : -1;
  if (kept < 0) {
    abandon();
    return -1;
  }
  if (!commit() || fcntl(kept, F_SETFL, fcntl(kept, F_GETFL) | O_APPEND) != 0) {
    close(kept);
    return -1;
  }
  return kept;
}

void FILE_REPLACEMENT::abandon() {
  if (file) fclose(file);
  else if (descriptor >= 0) close(descriptor);
  file = nullptr;
  descriptor = -1;
  // An unnamed file goes with its descriptor.
  if (active && !unnamed) unlinkat(at, temporary_name, 0);
  active = false;
  unnamed = false;
}
