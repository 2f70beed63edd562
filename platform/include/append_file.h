#pragma once
// A file held open for appending for as long as its writer needs it, so
// that a writer of many short records (a log) opens it once. It is opened
// only when it exists already, never through a link at its name, and each
// record goes to the file's end in one whole write.
#include <cstddef>

class FOLDER;

class APPEND_FILE {
public:
  APPEND_FILE() = default;
  ~APPEND_FILE();  // closes
  APPEND_FILE(const APPEND_FILE&) = delete;
  APPEND_FILE& operator=(const APPEND_FILE&) = delete;

  // Closes any file held before, then opens the existing file name of
  // folder; false when it is missing, a link, or cannot be opened.
  bool open(const FOLDER& folder, const char* name);
  // Closes any file held before and holds the descriptor given, one open
  // for appending (FILE_REPLACEMENT::commit_and_keep); false for -1.
  bool adopt(int descriptor);
  bool is_open() const { return descriptor >= 0; }
  // All of the bytes at the file's end; false when nothing is open or not
  // all of them could be written.
  bool append(const void* bytes, size_t count);
  // False when nothing was open or closing reported a failure.
  bool close();

private:
  int descriptor = -1;
};
