#pragma once
// The installing page of an automatic (-a) run: no window, no dialog. Each
// line the run logs goes to the console (standard output may gather the
// lines for a moment; the page's messages and the run's last lines send
// them on first, in order), a copy error is answered as the window's "Yes"
// would be (the worker has counted it and goes on) and a path error ends
// the run with its message.
#include <cstdint>

#include "install_page.h"

// The messages are the current language's texts of the installer's data.
class CONSOLE_INSTALL_PAGE : public INSTALL_PAGE {
public:
  void set_progress(int32_t percent, const char* text) override;
  void install_finished() override { finished = true; }
  void ask_on_copy_error(const char* path) override;
  void report_path_error(const char* folder, const char* reason) override;
  void logged(const char* line) override;

  bool has_finished() const { return finished; }
  // The run cannot go on: the install folder or the log folder is unusable.
  bool has_stopped() const { return stopped; }

private:
  bool finished = false;
  bool stopped = false;
};
