#pragma once
// INSTALL_LOG writes install_log.txt, the record of one install run: created
// afresh when the run starts, then one whole line appended at a time. Lines
// are never cut, however long the paths in them, so that the file can always
// be read back line by line.
#include <string>

#include "folder.h"

class INSTALL_LOG {
public:
  static constexpr const char* FILE_NAME = "install_log.txt";

  explicit INSTALL_LOG(const FOLDER& folder) : folder(folder) {}

  // Starts an empty log; false when it cannot be made.
  bool create() const;
  // Appends the text as it stands. A missing log stays missing: appending
  // would make one without its header, so nothing is written (false).
  bool append(const std::string& text) const;
  // The log's full path.
  std::string path() const;

private:
  FOLDER folder;
};

// The message with its first literal "%s" replaced by the path; nothing else
// in it is interpreted, so a '%' of a translated text prints as it stands.
std::string message_with_path(const char* message, const char* path);
// A name from the file system (UTF-8 on disk) as the system's text, for
// messages on screen.
std::string shown_path(const char* path);
