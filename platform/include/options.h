#pragma once
// The command line: the platform's own "--vorn" options, which are handled
// and taken out before the application sees its arguments, and the
// getopt-style parser the application reads its own options with.
#include <cstdint>

// Handles every argument that begins with "--vorn" (any case) and hands out
// the others, in their order, as a null-terminated copy of the vector (the
// strings are not copied). The informative options print to the console and
// end the program through fatal_exit (status 255); "--vorn-showdebug=x"
// switches on a debug stream's console output and goes on. When the copy
// cannot be made the outputs are the inputs. Each call frees the copy of the
// previous one; a null vector only frees it.
void parse_platform_options(int argc, char** argv, int* out_argc, char*** out_argv);

// The next option letter of the arguments, read with an option string such
// as "havs:x:p:d:" (a letter followed by ':' takes the next argument as its
// value, see get_option_argument). Arguments without a leading '-' are
// stepped over; the end of the arguments, or one beginning with "--", gives
// -1. '?' for a null vector or option string. A letter the string does not
// list ends the program with error 0x0042, an option whose value is missing
// or begins with '-' with 0x0041, any longer argument with 0x0040.
int get_option(int argc, char* const* argv, const char* options);
// The value of the option get_option returned last; null when it took none.
const char* get_option_argument();
// Starts the option parser again at the first argument (for a new vector).
void reset_option_parser();
