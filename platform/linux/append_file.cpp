#include "append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "file_services.h"
#include "folder.h"

APPEND_FILE::~APPEND_FILE() { close(); }

bool APPEND_FILE::open(const FOLDER& folder, const char* name) {
  close();
  char path[FOLDER_PATH_SIZE];
  if (!name || !*name || !join_path(path, sizeof path, folder.path, name)) return false;
  // Never blocking on a pipe at the name.
  descriptor = ::open(path, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  return descriptor >= 0;
}

bool APPEND_FILE::adopt(int given) {
  close();
  descriptor = given;
  return descriptor >= 0;
}

bool APPEND_FILE::append(const void* bytes, size_t count) {
  if (descriptor < 0) return false;
  for (const char* next = static_cast<const char*>(bytes); count > 0;) {
    const ssize_t put = write(descriptor, next, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    next += put;
    count -= static_cast<size_t>(put);
  }
  return true;
}

bool APPEND_FILE::close() {
  if (descriptor < 0) return false;
  const bool ok = ::close(descriptor) == 0;
  descriptor = -1;
  return ok;
}
