#pragma once
// INSTALL_LOG writes install_log.txt, the record of one install run: created
// afresh when the run starts and held open until the run ends or is
// abandoned, each line appended whole in one write. Lines are never cut,
// however long the paths in them, so that the file can always be read back
// line by line.
#include <string>

#include "append_file.h"
#include "folder.h"
#include "folder_hold.h"

class INSTALL_LOG {
public:
  static constexpr const char* FILE_NAME = "install_log.txt";

  // Starts an empty log in folder (held open by held), in place of
  // whatever stood at its name (a link included, never written through),
  // and holds it for the run's lines; false when it cannot be made.
  bool start(const FOLDER& folder, const FOLDER_HOLD& held);
  // Appends the text as it stands; false when no log is held (one that
  // could not be made stays missing) or the write failed.
  bool append(const std::string& text);
  // The run is over: the log is let go.
  void close();
  // The full path of the log that start was last asked for.
  std::string path() const;

private:
  FOLDER folder;
  APPEND_FILE file;
};

// The message with its first literal "%s" replaced by the path; nothing else
// in it is interpreted, so a '%' of a translated text prints as it stands.
std::string message_with_path(const char* message, const char* path);
// The path error: the message (its "%s" the folder) first, then the
// folder and the reason on a line of their own.
std::string path_error_text(const char* message, const char* folder, const char* reason);
// A name from the file system (UTF-8 on disk) as the system's text, for
// messages on screen.
std::string shown_path(const char* path);
