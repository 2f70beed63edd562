#pragma once
// How every part of the system reports trouble: a recoverable failure leaves
// a last-error code with an argument text, a numbered warning shows a message
// box and carries on, a numbered error shows a box and ends the program
// through fatal_exit. Also the console and "debug.txt" debug outputs.
#include <cstdint>

// Last error: a code and an argument text of at most 1023 characters (longer
// arguments are cut, a null argument is stored as ""). Nothing clears it.
void set_last_error(uint16_t code, const char* argument);
uint16_t get_last_error();

// The text for a last-error code with its argument put in place of "%s" (a
// null argument counts as empty; only the first 1023 characters are used).
// The result lives in one static buffer that each call overwrites.
const char* get_error_text(uint16_t code, const char* argument);
// get_error_text of the stored code and argument.
const char* get_last_error_text();

// Numbered warning: a box titled "Warning", then carries on.
void report_warning(uint16_t code, const char* argument = nullptr);
// Numbered error: a box titled "Error", then fatal_exit.
[[noreturn]] void report_error(uint16_t code, const char* argument = nullptr);

// Adds "\n\nDo you require more information?" to the text when asked, then
// calls message_box.
void show_message_box(const char* title, const char* text, bool more_information);

// Shows a box with one "OK" button and waits for it. When no message program
// can run, the box goes to the console and one character is read from
// standard input. Nothing happens when either text is null (result 0).
// Returns the message program's exit status (2 when OK was pressed), or the
// handler's result when a handler is installed.
int message_box(const char* title, const char* text);

// Test seam: a handler replaces every message box (real boxes start external
// programs and wait for a person). Null restores the real boxes.
using MESSAGE_BOX_HANDLER = int (*)(const char* title, const char* text);
void set_message_box_handler(MESSAGE_BOX_HANDLER handler);
// Ready handler for tests: writes the title and text to standard error and
// returns 2, as if OK had been pressed.
int message_box_to_stderr(const char* title, const char* text);

// Writes the system's text to standard output as UTF-8 and flushes every
// stream.
void console_print(const char* text);
// Writes text that is UTF-8 already (names from the file system, text
// converted before) to standard output and flushes every stream. Every
// console write shows control characters escaped (escape_control_characters
// in text_convert.h; line feeds and tabs stay): no text reaches a terminal
// as a command.
void console_write_utf8(const char* text);
// The same for a run of lines that need not each cost a write of their own
// (one per installed file): standard output may hold the text until the
// next flushing console write above, until the calendar second changes, or
// until the program ends. A terminal still shows each line as it comes.
void console_write_utf8_held(const char* text);

// Prints "\nError, unable to continue...\n\n<message>\n\n" when a message is
// given, closes the display connection and ends the process with status 255
// at once: no shutdown hook or static destructor runs.
[[noreturn]] void fatal_exit(const char* message);

// One debug line on the console, led by the source file and line when a file
// name is given.
void debug_print(const char* file, int line, const char* text);

// Appends one debug line to the given file, or to "debug.txt" in the current
// folder, which the first write of the run truncates. A file that cannot be
// opened becomes warning 0x0001 (create) or 0x0002 (open) and the line is lost.
void debug_to_file(const char* file, int line, const char* text, const char* path = nullptr);
