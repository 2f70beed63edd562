#include "replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "file_services.h"

namespace {

// A hidden name beside the target (prefix: the target's sub-folder part).
// The seed differs between processes; O_EXCL settles any clash.
bool fresh_name(const char* prefix, size_t prefix_length, char* out, size_t out_size) {
  static uint32_t seed = 0;
  static uint32_t counter = 0;
  if (!seed)
    seed =
        (static_cast<uint32_t>(getpid()) * 2654435761u ^ static_cast<uint32_t>(time(nullptr))) | 1;
  int n = snprintf(out, out_size, "%.*s.vorn-new-%08X", static_cast<int>(prefix_length), prefix,
                   seed ^ (++counter * 40503u));
  return n > 0 && static_cast<size_t>(n) < out_size;
}

}  // namespace

FILE_REPLACEMENT::~FILE_REPLACEMENT() { abandon(); }

bool FILE_REPLACEMENT::fail(STEP step, int code) {
  if (failed_step == STEP::NONE) {
    failed_step = step;
    error = code;
  }
  return false;
}

bool FILE_REPLACEMENT::begin(const FOLDER& folder, const char* name, int32_t permissions) {
  abandon();
  error = 0;
  failed_step = STEP::CREATE;
  if (!name || !*name || !join_path(target, sizeof target, folder.path, name)) {
    error = ENAMETOOLONG;
    return false;
  }
  set_bits = false;
  struct stat old {};
  if (permissions >= 0) {
    bits = static_cast<uint32_t>(permissions) & 07777;
    set_bits = true;
  } else if (permissions == PERMISSIONS_OF_TARGET && lstat(target, &old) == 0 && S_ISREG(old.st_mode)) {
    bits = old.st_mode & 07777;
    set_bits = true;
  }
  // Never more open while it is written than it will be.
  const mode_t create_bits = set_bits ? static_cast<mode_t>(bits & 0777) : 0666;
  const char* slash = strrchr(name, '/');
  size_t prefix_length = slash ? static_cast<size_t>(slash - name + 1) : 0;
  char relative[FOLDER_PATH_SIZE];
  for (int attempt = 0; attempt < 64 && descriptor < 0; attempt++) {
    if (!fresh_name(name, prefix_length, relative, sizeof relative) ||
        !join_path(temporary, sizeof temporary, folder.path, relative)) {
      error = ENAMETOOLONG;
      return false;
    }
    descriptor = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, create_bits);
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
  if (file) {
    if (fclose(file) != 0 && ok) ok = fail(STEP::WRITE, errno);
    file = nullptr;
  } else if (descriptor >= 0 && close(descriptor) != 0 && ok) {
    ok = fail(STEP::WRITE, errno);
  }
  descriptor = -1;
  if (ok && rename(temporary, target) != 0) ok = fail(STEP::RENAME, errno);
  if (!ok) {
    abandon();
    return false;
  }
  active = false;
  return true;
}

void FILE_REPLACEMENT::abandon() {
  if (file) fclose(file);
  else if (descriptor >= 0) close(descriptor);
  file = nullptr;
  descriptor = -1;
  if (active) unlink(temporary);
  active = false;
}
