// The colour functions' error reporting, kept apart from the colour maths
// because it reaches the debug streams and through them the file services.
#include <cstdio>

#include "colour.h"
#include "debug_stream.h"
#include "errors.h"

namespace {
constexpr uint16_t ERROR_DARKEN_PERCENT = 4096;
}

void report_last_error_at(const char* file, int32_t line) {
  DEBUG_STREAM& stream = platform_debug_stream();
  if (!stream.has_output()) return;
  char text[1200];
  snprintf(text, sizeof(text), "(%.255s,%d) Last error %04X: %s", file ? file : "", static_cast<int>(line),
           static_cast<unsigned>(get_last_error()), get_last_error_text());
  stream.write(nullptr, 0, text, true);
}

void colour_darken_refused() {
  set_last_error(ERROR_DARKEN_PERCENT, nullptr);
  report_last_error_at("include/colour", 214);
}
