// The platform's own command-line options, seen from outside (the test
// applications run as real processes and report the arguments they got),
// and the option parser the application reads its own options with.
#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "options.h"
#include "test_support.h"

using test_support::run_program;

namespace {

const std::string kOptionsApp = std::string(TEST_BIN_DIR) + "/apps/options_app";
const std::string kPlainApp = std::string(TEST_BIN_DIR) + "/apps/test_app";

std::string usage(const std::string& program) {
  return "usage: " + program +
         " [--vorn | --vorn-listdebug | --vorn-showdebug=x | --vorn-varsz | --vorn-info]\n\n"
         "  --vorn             - show usage and exit\n"
         "  --vorn-listdebug   - list debug channels\n"
         "  --vorn-showdebug=x - show debug channel x (where x is channel number or \"all\")\n"
         "  --vorn-varsz       - show default var sizes\n"
         "  --vorn-info        - show system info\n\n";
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The registered debug streams as the options application reports them
// when it runs normally: "stream <n> <name> console=<0|1>".
struct STREAM_LINE {
  std::string name;
  int console;
};
std::vector<STREAM_LINE> streams_of(const std::string& out) {
  std::vector<STREAM_LINE> streams;
  for (const std::string& line : lines_of(out)) {
    if (line.rfind("stream ", 0) != 0) continue;
    size_t name_at = line.find(' ', 7) + 1;
    size_t flag_at = line.rfind(" console=");
    streams.push_back({line.substr(name_at, flag_at - name_at), line.back() - '0'});
  }
  return streams;
}

// The arguments app_init received.
std::vector<std::string> arguments_of(const std::string& out) {
  std::vector<std::string> arguments;
  for (const std::string& line : lines_of(out))
    if (line.rfind("argv[", 0) == 0) arguments.push_back(line.substr(line.find('=') + 1));
  return arguments;
}

}  // namespace

// --- informative options, in a real process ---------------------------------

TEST(PlatformOptions, UsagePrintsAndEndsWithStatus255) {
  for (const char* option : {"--vorn", "--VORN", "--Vorn"}) {
    auto r = run_program({kOptionsApp, "first", option, "second"});
    EXPECT_EQ(r.exit_code, 255) << option;
    EXPECT_EQ(r.out, usage(kOptionsApp)) << option;
  }
}

TEST(PlatformOptions, UnknownVornOptionPrintsErrorAndUsage) {
  auto r = run_program({kOptionsApp, "--vorn-nonsense"});
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.out, "ERROR: Command line option \"--vorn-nonsense\" is not known\n\n" + usage(kOptionsApp));
  // A text that only begins like an option is unknown too, not the option.
  r = run_program({kOptionsApp, "--vorn-varszz"});
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.out.rfind("ERROR: Command line option \"--vorn-varszz\" is not known\n\n", 0), 0u) << r.out;
}

TEST(PlatformOptions, ListDebugNamesEveryRegisteredStreamInOrder) {
  auto normal = run_program({kOptionsApp});
  ASSERT_EQ(normal.exit_code, 0) << normal.err;
  std::vector<STREAM_LINE> streams = streams_of(normal.out);
  ASSERT_GE(streams.size(), 2u);
  EXPECT_EQ(streams[0].name, "VORN Platform");
  EXPECT_EQ(streams[1].name, "VORN Modules");

  std::string expected = "ID   Name\n--------------------\n\n";
  for (size_t i = 0; i < streams.size(); ++i) {
    char line[300];
    snprintf(line, sizeof line, "%2d   %s\n", static_cast<int>(i), streams[i].name.c_str());
    expected += line;
  }
  expected += "\n";
  for (const char* option : {"--vorn-listdebug", "--VORN-LISTDEBUG"}) {
    auto r = run_program({kOptionsApp, option});
    EXPECT_EQ(r.exit_code, 255) << option;
    EXPECT_EQ(r.out, expected) << option;
  }
}

TEST(PlatformOptions, ShowDebugEnablesOneStreamAndKeepsTheOtherArguments) {
  auto r = run_program({kOptionsApp, "a", "--vorn-showdebug=1", "-x", "b"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("Enabling debug channel 1\n", 0), 0u) << r.out;
  EXPECT_EQ(arguments_of(r.out), (std::vector<std::string>{kOptionsApp, "a", "-x", "b"}));
  EXPECT_NE(r.out.find("argc=4\n"), std::string::npos);
  EXPECT_NE(r.out.find("end of arguments: null\n"), std::string::npos);
  std::vector<STREAM_LINE> streams = streams_of(r.out);
  ASSERT_GE(streams.size(), 2u);
  for (size_t i = 0; i < streams.size(); ++i)
    EXPECT_EQ(streams[i].console, i == 1 ? 1 : 0) << streams[i].name;
}

TEST(PlatformOptions, ShowDebugAllEnablesEveryStream) {
  for (const char* option : {"--vorn-showdebug=all", "--VORN-SHOWDEBUG=ALL"}) {
    auto r = run_program({kOptionsApp, option, "rest"});
    ASSERT_EQ(r.exit_code, 0) << option << r.err;
    std::vector<STREAM_LINE> streams = streams_of(r.out);
    ASSERT_GE(streams.size(), 2u);
    EXPECT_EQ(r.out.rfind("Enabling all " + std::to_string(streams.size()) + " debug channels\n", 0), 0u)
        << r.out;
    for (const STREAM_LINE& stream : streams) EXPECT_EQ(stream.console, 1) << stream.name;
    EXPECT_EQ(arguments_of(r.out), (std::vector<std::string>{kOptionsApp, "rest"}));
  }
}

TEST(PlatformOptions, ShowDebugOfAMissingOrUnusableStreamEnds) {
  // A 16-bit number names the stream it asks for; anything else (not a
  // number, trailing junk, nothing at all, beyond 16 bits) never a guess.
  for (const auto& [option, shown] : {std::pair{"99", "99"}, {"-3", "-3"}, {"-32768", "-32768"}, {"abc", "-1"},
                                      {"1x", "-1"}, {"", "-1"}, {"65537", "-1"}, {"32768", "-1"}, {"-32769", "-1"}}) {
    auto r = run_program({kOptionsApp, std::string("--vorn-showdebug=") + option});
    EXPECT_EQ(r.exit_code, 255) << option;
    EXPECT_EQ(r.out, std::string("Enabling debug channel ") + shown + "\nERROR: Stream " + shown + " was not found\n\n") << option;
  }
}

TEST(PlatformOptions, VarszPrintsTheRealSizes) {
  auto r = run_program({kOptionsApp, "--vorn-varsz"});
  EXPECT_EQ(r.exit_code, 255);
  const int pointer = static_cast<int>(sizeof(void*));
  std::string expected =
      "Standard Varible Sizes\n--------------------\n\n"
      "INT_S8 = 1 bytes (8 bits)\nINT_U8 = 1 bytes (8 bits)\n"
      "INT_S16 = 2 bytes (16 bits)\nINT_U16 = 2 bytes (16 bits)\n"
      "INT_S32 = 4 bytes (32 bits)\nINT_U32 = 4 bytes (32 bits)\n"
      "INT_S64 = 8 bytes (64 bits)\nINT_U64 = 8 bytes (64 bits)\n"
      "FLOAT_32 = 4 bytes (32 bits)\nFLOAT_64 = 8 bytes (64 bits)\n";
  std::string pointer_size =
      std::to_string(pointer) + " bytes (" + std::to_string(pointer * 8) + " bits)\n";
  expected += "PTR_INT_CAST = " + pointer_size + "PTR = " + pointer_size + "\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_NE(r.out.find("PTR = 8 bytes (64 bits)\n"), std::string::npos) << "this is a 64-bit build";
}

TEST(PlatformOptions, InfoReportsTheApplicationRecord) {
  auto r = run_program({kOptionsApp, "--vorn-info"});
  ASSERT_EQ(r.exit_code, 255);
  const std::string expected =
      "Running a 64bit application\n\n"
      "App:                  Options Test 2.5\n"
      "Exit Msg:             Disabled\n"
      "Linux Icon:           Custom\n"
      "PSP Splash Time:      1500\n"
      "PSP Splash Imgs:      Absent\n"
      "PSP flash_leds:       Yes\n"
      "GP2X Joystick:        1\n"
      "GP2X Mouse Rate:      30\n"
      "GP2X Display Type:    2\n"
      "Windows IconID:       100\n"
      "NDS Console:          No\n"
      "NDS Memory Chk:       Enabled\n"
      "NDS Rotated:          No\n"
      "MacOS Show About:     Yes\n"
      "NDS Show Preferences: No\n"
      "\n";
  EXPECT_EQ(r.out.substr(0, expected.size()), expected);
  EXPECT_EQ(r.out.find("argc="), std::string::npos) << "the application must not start";
}

TEST(PlatformOptions, InfoOfAnApplicationWithoutARecordShowsTheDefaults) {
  auto r = run_program({kPlainApp, "--vorn-info"});
  ASSERT_EQ(r.exit_code, 255);
  EXPECT_NE(r.out.find("\nApp:                  V.O.R.N. Application\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nLinux Icon:           Default\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nExit Msg:             Disabled\n"), std::string::npos);
}

TEST(PlatformOptions, InfoReportsThisMachine) {
  auto r = run_program({kOptionsApp, "--vorn-info"});
  ASSERT_EQ(r.exit_code, 255);
  std::vector<std::string> lines = lines_of(r.out);
  size_t first = 0;
  while (first < lines.size() && lines[first].rfind("Computer Name:", 0) != 0) ++first;
  ASSERT_LT(first, lines.size()) << r.out;

  // Label and value of every line of the machine block; values start in
  // column 23.
  std::vector<std::pair<std::string, std::string>> items;
  for (size_t i = first; i < lines.size() && !lines[i].empty(); ++i) {
    ASSERT_GE(lines[i].size(), 22u) << lines[i];
    std::string label = lines[i].substr(0, 22);
    label.erase(label.find_last_not_of(' ') + 1);
    items.push_back({label, lines[i].substr(22)});
  }
  EXPECT_EQ(lines.back(), "");
  EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");

  // Expected values, worked out here from the machine itself.
  int processors = 0;
  {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);)
      if (line.rfind("processor", 0) == 0) ++processors;
  }
  if (processors == 0) processors = 1;
  long long total_kb = 0;
  {
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);)
      if (line.rfind("MemTotal:", 0) == 0) total_kb = atoll(line.c_str() + 9);
  }
  struct utsname names;
  ASSERT_EQ(uname(&names), 0);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string computer(host);
  computer = computer.substr(0, computer.find('.'));
  int drives = get_drive_count();

  std::vector<std::pair<std::string, std::string>> expected = {
      {"Computer Name:", computer},
      {"OS:", "Intel Linux"},
      {"OS Version:", "64 Bit Linux"},
      {"OS Build:", std::string(names.release) + " " + names.version},
      {"Desktop Icons:", "Supported"},
      {"Desktop Menu:", "Supported"},
      {"CPUs:", std::to_string(processors)},
      {"CPU Type:", "*"},
  };
  for (int i = 0; i < processors; ++i) expected.push_back({"CPU " + std::to_string(i) + " Speed:", "*"});
  expected.push_back({"Byte Order:", "Least significant byte first"});
  expected.push_back({"Phy Mem:", std::to_string(total_kb / 1024) + "Mb"});
  expected.push_back({"Virt Mem:", "*Mb"});
  expected.push_back({"Free Phy Mem:", "*Mb"});
  expected.push_back({"Free Virt Mem:", "*Mb"});
  expected.push_back({"System Folders:", "Supported"});
  expected.push_back({"Disks:", std::to_string(drives)});
  for (int i = 0; i < drives; ++i)
    expected.push_back({"Disk " + std::to_string(i) + " Free:",
                        std::string("*Mb (") + get_drive_name(i) + ")"});
  expected.push_back({"Fullscreen:", "Supported"});
  expected.push_back({"Windowed:", "Supported"});
  expected.push_back({"Hostame:", "*"});
  expected.push_back({"IP:", "*"});
  expected.push_back({"Hardware Keyboard:", "Connected"});
  expected.push_back({"Mouse:", "Connected"});
  expected.push_back({"Mouse Buttons:", "3"});
  expected.push_back({"Joystick:", "Supported"});
  expected.push_back({"Joystick1:", "*"});
  expected.push_back({"Multiple Windows:", "Unsupported"});

  ASSERT_EQ(items.size(), expected.size()) << r.out;
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].first, expected[i].first);
    const std::string& want = expected[i].second;
    if (want == "*") continue;
    if (want[0] == '*') {
      // A number in front of a known ending.
      const std::string tail = want.substr(1);
      const std::string& value = items[i].second;
      ASSERT_GT(value.size(), tail.size()) << items[i].first << value;
      EXPECT_EQ(value.substr(value.size() - tail.size()), tail) << items[i].first;
      EXPECT_NE(value.find_first_of("0123456789"), std::string::npos) << items[i].first;
      continue;
    }
    EXPECT_EQ(items[i].second, want) << items[i].first;
  }
}

TEST(PlatformOptions, EveryPlatformOptionIsTakenOutOfTheArguments) {
  auto r = run_program({kOptionsApp, "one", "--vorn-showdebug=0", "-p", "--VORN-SHOWDEBUG=1",
                        "--", "two", "--vorn-showdebug=all"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(arguments_of(r.out), (std::vector<std::string>{kOptionsApp, "one", "-p", "--", "two"}));
  EXPECT_NE(r.out.find("argc=5\n"), std::string::npos);
}

TEST(PlatformOptions, ExitMessageShowsTheAboutTextAtShutdown) {
  auto r = run_program({kOptionsApp, "--exit-message"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("shutdown\n"), std::string::npos);
  EXPECT_NE(r.err.find("MESSAGE BOX V.O.R.N. Development Libraries:\nOptions Test 2.5\nBuilt on "),
            std::string::npos)
      << r.err;

  r = run_program({kOptionsApp});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find("MESSAGE BOX"), std::string::npos) << r.err;
}

// --- parse_platform_options in this process ---------------------------------

TEST(PlatformOptions, CopyHoldsTheOtherArgumentsAndEndsInNull) {
  char program[] = "program", a[] = "alpha", showdebug[] = "--vorn-showdebug=1", b[] = "beta";
  char* argv[] = {program, a, showdebug, b, nullptr};
  DEBUG_STREAM* modules = DEBUG_STREAM::at(1);
  ASSERT_NE(modules, nullptr);
  uint16_t saved_flags = modules->flags;

  int count = -1;
  char** copy = nullptr;
  testing::internal::CaptureStdout();
  parse_platform_options(4, argv, &count, &copy);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Enabling debug channel 1\n");
  ASSERT_EQ(count, 3);
  ASSERT_NE(copy, argv);
  EXPECT_EQ((std::vector<char*>(copy, copy + 4)), (std::vector<char*>{program, a, b, nullptr}));
  EXPECT_TRUE(modules->flags & DEBUG_TO_CONSOLE);
  EXPECT_EQ(argv[2], showdebug) << "the caller's vector is left alone";

  // A second call frees the first copy; a null vector frees the last one.
  parse_platform_options(2, argv, &count, &copy);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(copy[2], nullptr);
  parse_platform_options(1, argv, &count, &copy);  // the count given, not argv's end, bounds it
  EXPECT_EQ(count, 1);
  EXPECT_EQ(copy[1], nullptr);
  parse_platform_options(0, nullptr, nullptr, nullptr);
  modules->flags = saved_flags;
}

// --- get_option --------------------------------------------------------------

namespace {

struct ARGS {
  explicit ARGS(std::vector<std::string> words) : text(std::move(words)) {
    for (std::string& word : text) pointers.push_back(word.data());
    pointers.push_back(nullptr);
  }
  int count() const { return static_cast<int>(text.size()); }
  char** argv() { return pointers.data(); }
  std::vector<std::string> text;
  std::vector<char*> pointers;
};

class GetOption : public testing::Test {
protected:
  void SetUp() override {
    reset_option_parser();
    set_message_box_handler(message_box_to_stderr);
  }
  void TearDown() override {
    set_message_box_handler(nullptr);
    reset_option_parser();
  }
  static constexpr const char* kOptions = "havs:x:p:d:";
};

}  // namespace

TEST_F(GetOption, ReturnsLettersAndValuesInOrder) {
  ARGS args({"prog", "-a", "-p", "linux", "-v", "-x", "$HERE/file.xml"});
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'a');
  EXPECT_EQ(get_option_argument(), nullptr);
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'p');
  EXPECT_STREQ(get_option_argument(), "linux");
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'v');
  EXPECT_EQ(get_option_argument(), nullptr);
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'x');
  EXPECT_STREQ(get_option_argument(), "$HERE/file.xml");
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), -1);
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), -1);
}

TEST_F(GetOption, StrayArgumentsAreSteppedOver) {
  ARGS args({"prog", "stray", "-a", "another", "more", "-h", "trailing"});
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'a');
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'h');
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), -1);
  EXPECT_EQ(args.text[1], "stray") << "skipped arguments stay where they are";
}

TEST_F(GetOption, DoubleDashEndsTheOptions) {
  ARGS args({"prog", "-a", "--", "-h"});
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), 'a');
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), -1);
  EXPECT_EQ(get_option(args.count(), args.argv(), kOptions), -1) << "not consumed";

  reset_option_parser();
  ARGS long_form({"prog", "--long-option", "-a"});
  EXPECT_EQ(get_option(long_form.count(), long_form.argv(), kOptions), -1);
}

TEST_F(GetOption, NullInputsGiveQuestionMark) {
  ARGS args({"prog", "-a"});
  EXPECT_EQ(get_option(args.count(), nullptr, kOptions), '?');
  EXPECT_EQ(get_option(args.count(), args.argv(), nullptr), '?');
  EXPECT_EQ(get_option(1, args.argv(), kOptions), -1);
}

TEST_F(GetOption, UnlistedLetterIsFatal0x42) {
  ARGS args({"prog", "-f"});
  EXPECT_EXIT(get_option(args.count(), args.argv(), kOptions), testing::ExitedWithCode(255),
              "ERROR: 0042:.Unrecognised command line option: -f");
}

TEST_F(GetOption, LoneDashAndColonNameNoOption) {
  ARGS dash({"prog", "-"});
  EXPECT_EXIT(get_option(dash.count(), dash.argv(), kOptions), testing::ExitedWithCode(255),
              "Unrecognised command line option: -");
  ARGS colon({"prog", "-:"});
  EXPECT_EXIT(get_option(colon.count(), colon.argv(), kOptions), testing::ExitedWithCode(255),
              "Unrecognised command line option: -:");
}

TEST_F(GetOption, MissingValueIsFatal0x41) {
  ARGS last({"prog", "-a", "-x"});
  EXPECT_EQ(get_option(last.count(), last.argv(), kOptions), 'a');
  EXPECT_EXIT(get_option(last.count(), last.argv(), kOptions), testing::ExitedWithCode(255),
              "ERROR: 0041:.No argument for command line option: -x");
  reset_option_parser();
  ARGS followed({"prog", "-s", "-a"});
  EXPECT_EXIT(get_option(followed.count(), followed.argv(), kOptions), testing::ExitedWithCode(255),
              "No argument for command line option: -s");
}

TEST_F(GetOption, LongerArgumentIsFatal0x40) {
  ARGS letters({"prog", "-av"});
  EXPECT_EXIT(get_option(letters.count(), letters.argv(), kOptions), testing::ExitedWithCode(255),
              "ERROR: 0040:.Invalid argument format for command line option: -av");
  ARGS attached({"prog", "-pfilter"});
  EXPECT_EXIT(get_option(attached.count(), attached.argv(), kOptions), testing::ExitedWithCode(255),
              "Invalid argument format for command line option: -pfilter");
}
