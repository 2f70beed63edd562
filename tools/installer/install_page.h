#pragma once
// What the install worker needs of the page that shows its run, so that
// the same worker can serve the wizard's installing page and a console:
// progress with a percentage and a text, the end of the run, and the two
// questions it may have to ask.
#include <cstdint>

class INSTALL_PAGE {
public:
  virtual ~INSTALL_PAGE() = default;

  // percent 0 to 100; the text is the system's text, and one beginning
  // with '/' is the path being written.
  virtual void set_progress(int32_t percent, const char* text) = 0;
  // The last step is done: the page lets the user leave.
  virtual void install_finished() = 0;
  // A file could not be written; the answer comes back through the page's
  // own controls (carry on, or leave the installer). Paths are as the file
  // system names them (UTF-8).
  virtual void ask_on_copy_error(const char* path) = 0;
  // A folder of the run cannot be used (the folder, UTF-8 as the file
  // system names it, and the reason in words); the user is sent back to
  // choose another.
  virtual void report_path_error(const char* folder, const char* reason) = 0;
  // Every line the run writes to install_log.txt (line end included), in
  // UTF-8 for a terminal; a console shows them, a window need not.
  virtual void logged(const char* line) { (void)line; }
};
