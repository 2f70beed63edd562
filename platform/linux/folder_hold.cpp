#include "folder_hold.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

FOLDER_HOLD::FOLDER_HOLD(const FOLDER& folder) {
  length = strnlen(folder.path, sizeof folder.path - 1);
  while (length > 1 && folder.path[length - 1] == '/') --length;
  if (length == 0 || folder.path[0] != '/') return;
  memcpy(path, folder.path, length);
  path[length] = '\0';
  // Only a way in, for the calls that work relative to it: the folder
  // need not be readable.
  descriptor = open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
}

FOLDER_HOLD::~FOLDER_HOLD() {
  if (descriptor >= 0) close(descriptor);
}

int FOLDER_HOLD::descriptor_for(const char* folder_path, size_t folder_length) const {
  if (length != folder_length || memcmp(path, folder_path, folder_length) != 0) return -1;
  return descriptor;
}
