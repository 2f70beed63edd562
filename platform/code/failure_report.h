#pragma once
// One way for the portable layers (archive, configuration files) to report
// a failure: the platform's last error gets the code and argument, and when
// the platform debug stream has any output the message text goes there too,
// with the layer's source location and the line.
#include <cstdint>

// where names the layer in the stream ("code/package"); detail, when given,
// follows the message in brackets (the stream only, not the last error).
void report_failure(const char* where, int line, uint16_t code, const char* argument,
                    const char* detail = nullptr);
// Clears the last error: code 0, empty argument.
void report_success();
