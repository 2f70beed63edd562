// The platform's own command-line options and the option parser.
#include "options.h"

#include <cerrno>
#include <cstdarg>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "string_utils.h"
#include "system_info.h"

namespace {

char** argument_copy = nullptr;

// Option parser state.
int16_t option_index = 1;
const char* option_argument = nullptr;
bool advance_first = false;

[[noreturn]] void end_program() { fatal_exit(nullptr); }

void print_usage(const char* program) {
  console_print(format_text("usage: %s [--vorn | --vorn-listdebug | --vorn-showdebug=x | "
                            "--vorn-varsz | --vorn-info]\n\n",
                            program ? program : "")
                    .c_str());
  console_print("  --vorn             - show usage and exit\n");
  console_print("  --vorn-listdebug   - list debug channels\n");
  console_print("  --vorn-showdebug=x - show debug channel x (where x is channel number or \"all\")\n");
  console_print("  --vorn-varsz       - show default var sizes\n");
  console_print("  --vorn-info        - show system info\n\n");
}

void list_debug_streams() {
  console_print("ID   Name\n--------------------\n\n");
  int count = DEBUG_STREAM::count();
  for (int i = 0; i < count; ++i) {
    DEBUG_STREAM* stream = DEBUG_STREAM::at(i);
    if (!stream) continue;
    console_print(format_text("%2d   %s\n", i, stream->name).c_str());
  }
  console_print("\n");
}

// The channel number after "--vorn-showdebug=": a whole decimal number that
// fits 16 bits, else -1 (never a stream).
int read_channel_number(const char* text) {
  errno = 0;
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  if (end == text || *end != 0 || errno != 0 || value < INT16_MIN || value > INT16_MAX) return -1;
  return static_cast<int>(value);
}

void show_debug_stream(const char* which) {
  if (stricmp(which, "all") == 0) {
    int count = DEBUG_STREAM::count();
    console_print(format_text("Enabling all %d debug channels\n", count).c_str());
    for (int i = 0; i < count; ++i)
      if (DEBUG_STREAM* stream = DEBUG_STREAM::at(i)) stream->flags |= DEBUG_TO_CONSOLE;
    return;
  }
  int channel = read_channel_number(which);
  console_print(format_text("Enabling debug channel %d\n", channel).c_str());
  DEBUG_STREAM* stream = channel >= 0 && channel < DEBUG_STREAM::count() ? DEBUG_STREAM::at(channel)
                                                                         : nullptr;
  if (!stream) {
    console_print(format_text("ERROR: Stream %d was not found\n\n", channel).c_str());
    end_program();
  }
  stream->flags |= DEBUG_TO_CONSOLE;
}

void print_size(const char* type, size_t bytes) {
  console_print(format_text("%s = %d bytes (%d bits)\n", type, static_cast<int>(bytes),
                            static_cast<int>(bytes * CHAR_BIT))
                    .c_str());
}

void print_variable_sizes() {
  console_print("Standard Varible Sizes\n--------------------\n\n");
  print_size("INT_S8", sizeof(int8_t));
  print_size("INT_U8", sizeof(uint8_t));
  print_size("INT_S16", sizeof(int16_t));
  print_size("INT_U16", sizeof(uint16_t));
  print_size("INT_S32", sizeof(int32_t));
  print_size("INT_U32", sizeof(uint32_t));
  print_size("INT_S64", sizeof(int64_t));
  print_size("INT_U64", sizeof(uint64_t));
  print_size("FLOAT_32", sizeof(float));
  print_size("FLOAT_64", sizeof(double));
  print_size("PTR_INT_CAST", sizeof(intptr_t));
  print_size("PTR", sizeof(void*));
  console_print("\n");
}

bool begins_with_vorn(const char* argument) { return strnicmp(argument, "--vorn", 6) == 0; }

}  // namespace

void parse_platform_options(int argc, char** argv, int* out_argc, char*** out_argv) {
  free(argument_copy);
  argument_copy = nullptr;
  if (!argv) return;
  if (argc < 0) argc = 0;

  int kept = argc;
  char** result = argv;
  // One more entry than the arguments, so the copy ends in a null like argv.
  char** copy = static_cast<char**>(calloc(static_cast<size_t>(argc) + 1, sizeof(char*)));
  if (copy) {
    argument_copy = copy;
    result = copy;
    kept = 0;
    for (int i = 0; i < argc; ++i) {
      char* argument = argv[i];
      if (!argument) break;
      if (!begins_with_vorn(argument)) {
        copy[kept++] = argument;
      } else if (stricmp(argument, "--vorn") == 0) {
        print_usage(argv[0]);
        end_program();
      } else if (stricmp(argument, "--vorn-listdebug") == 0) {
        list_debug_streams();
        end_program();
      } else if (strnicmp(argument, "--vorn-showdebug=", 17) == 0) {
        show_debug_stream(argument + 17);
      } else if (stricmp(argument, "--vorn-varsz") == 0) {
        print_variable_sizes();
        end_program();
      } else if (stricmp(argument, "--vorn-info") == 0) {
        print_system_report();
        end_program();
      } else {
        console_print(
            format_text("ERROR: Command line option \"%s\" is not known\n\n", argument).c_str());
        print_usage(argv[0]);
        end_program();
      }
    }
    copy[kept] = nullptr;
  }
  if (out_argc) *out_argc = kept;
  if (out_argv) *out_argv = result;
}

int get_option(int argc, char* const* argv, const char* options) {
  // Errors in the command line are always fatal (report_error).
  if (!argv || !options) return '?';
  // The index is 16 bits wide; arguments beyond its reach are not looked at.
  if (argc > INT16_MAX) argc = INT16_MAX;
  if (advance_first) {
    advance_first = false;
    ++option_index;
  }
  option_argument = nullptr;

  while (option_index < argc && argv[option_index] && argv[option_index][0] != '-') ++option_index;
  if (option_index >= argc || !argv[option_index]) return -1;

  const char* argument = argv[option_index];
  if (argument[1] == '-') return -1;

  size_t length = strlen(argument);
  if (length > 2) report_error(0x0040, argument);
  // A lone "-" and "-:" name no option, whatever the option string holds.
  const char* letter = length == 2 && argument[1] != ':' ? strchr(options, argument[1]) : nullptr;
  if (!letter) report_error(0x0042, argument);
  advance_first = true;
  if (letter[1] == ':') {
    const char* value = option_index + 1 < argc ? argv[option_index + 1] : nullptr;
    if (!value || value[0] == '-') report_error(0x0041, argument);
    ++option_index;
    option_argument = value;
  }
  return static_cast<unsigned char>(argument[1]);
}

const char* get_option_argument() { return option_argument; }

void reset_option_parser() {
  option_index = 1;
  option_argument = nullptr;
  advance_first = false;
}
