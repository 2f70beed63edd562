#include "failure_report.h"

#include <string>

#include "debug_stream.h"
#include "errors.h"

namespace {

// The platform stream reads its own settings through a configuration file,
// so a failure reported while a report is being written is not written
// again.
bool reporting = false;

}  // namespace

void report_failure(const char* where, int line, uint16_t code, const char* argument,
                    const char* detail) {
  if (!argument) argument = "";
  set_last_error(code, argument);
  if (reporting) return;
  // Set first: finding out whether the stream has output may read its
  // settings.
  reporting = true;
  DEBUG_STREAM& stream = platform_debug_stream();
  if (stream.has_output()) {
    std::string text = get_error_text(code, argument);
    if (detail) text = text + " (" + detail + ")";
    stream.write(where, line, text.c_str(), true);
  }
  reporting = false;
  // Writing the report may have gone through layers that set errors of
  // their own.
  set_last_error(code, argument);
}

void report_success() { set_last_error(0, ""); }
