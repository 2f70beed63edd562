#pragma once
// The installing page of an automatic (-a) run: no window, no dialog. Each
// line the run logs goes to the console as it is written, a copy error is
// answered as the window's "Yes" would be (the worker has counted it and
// goes on) and a path error ends the run with its message.
#include <cstdint>
#include <string>

#include "install_page.h"

class DATABASE;

class CONSOLE_INSTALL_PAGE : public INSTALL_PAGE {
public:
  // The language texts of the messages come from data's current language.
  explicit CONSOLE_INSTALL_PAGE(const DATABASE& data) : data(data) {}

  void set_progress(int32_t percent, const char* text) override;
  void install_finished() override { finished = true; }
  void ask_on_copy_error(const char* path) override;
  void report_path_error(const char* path) override;
  void logged(const char* line) override;

  bool has_finished() const { return finished; }
  // The run cannot go on: the install folder or the log folder is unusable.
  bool has_stopped() const { return stopped; }
  int32_t copy_errors() const { return copy_error_count; }
  // The language's message with the first "%s" replaced by the path and
  // nothing else interpreted; without a "%s" the path follows on a line of
  // its own, and without a message the path stands alone.
  static std::string fill_message(const char* message, const char* path);

private:
  const DATABASE& data;
  bool finished = false;
  bool stopped = false;
  int32_t copy_error_count = 0;
};
