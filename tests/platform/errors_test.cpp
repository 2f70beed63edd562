#include "errors.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "command.h"
#include "picture_compare.h"
#include "test_support.h"

using test_support::ScratchDir;
using test_support::read_file;
using test_support::write_file;
using testing::AllOf;
using testing::ExitedWithCode;
using testing::HasSubstr;
using testing::Not;

namespace {

constexpr const char* kQuestion = "\n\nDo you require more information?";
constexpr const char* kFatalText =
    "\nError, unable to continue...\n\nApplication was unable to continue\n\n";

std::vector<std::pair<std::string, std::string>> boxes;
int record_box(const char* title, const char* text) {
  boxes.emplace_back(title, text);
  return 2;
}

std::vector<std::vector<std::string>> runs;
std::vector<uint32_t> run_flags;
int runner_result = 2;
int record_run(const char* const* argv, uint32_t flags) {
  std::vector<std::string> args;
  for (; *argv; ++argv) args.emplace_back(*argv);
  runs.push_back(args);
  run_flags.push_back(flags);
  return runner_result;
}

struct ChildOutput {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs body in a forked child with standard input from /dev/null (or a
// terminal that has one line typed ahead) and its output caught in files,
// so that process state (current folder, first-write flag, console reads)
// stays out of the test process.
template <typename BODY>
ChildOutput in_child(BODY body, bool terminal = false) {
  ScratchDir dir;
  std::string out_path = dir.file("stdout"), err_path = dir.file("stderr");
  int input = open("/dev/null", O_RDONLY);
  int master = -1;
  if (terminal) {
    close(input);
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
    input = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (write(master, "\n", 1) != 1) return {};
  }
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(input, STDIN_FILENO);
    dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    dup2(open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    body();
    fflush(nullptr);
    _exit(0);
  }
  ChildOutput result;
  int status = 0;
  waitpid(pid, &status, 0);
  close(input);
  if (master >= 0) close(master);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

class ErrorsTest : public testing::Test {
protected:
  void SetUp() override {
    boxes.clear();
    runs.clear();
    run_flags.clear();
    runner_result = 2;
    set_message_box_handler(record_box);
  }
  void TearDown() override {
    set_command_runner(nullptr);
    set_message_box_handler(message_box_to_stderr);
  }
};

// An argument longer than 1023 characters is cut, the text after it kept.
TEST_F(ErrorsTest, LastErrorKeepsCodeAndArgument) {
  set_last_error(4098, "setup.cfg");
  EXPECT_EQ(get_last_error(), 4098);
  EXPECT_STREQ(get_last_error_text(), "Error: Error trying to open the config file setup.cfg.");

  set_last_error(4103, nullptr);
  EXPECT_EQ(get_last_error(), 4103);
  EXPECT_STREQ(get_last_error_text(), "Error: Unable to read from file .");

  set_last_error(4098, std::string(2000, 'x').c_str());
  EXPECT_EQ(std::string(get_last_error_text()),
            "Error: Error trying to open the config file " + std::string(1023, 'x') + ".");
}

TEST_F(ErrorsTest, ErrorTextFillsOnlyTheArgumentSlot) {
  EXPECT_STREQ(get_error_text(0, nullptr), "No Error");
  // A null argument leaves a blank before the full stop.
  EXPECT_STREQ(get_error_text(4098, nullptr), "Error: Error trying to open the config file .");
  EXPECT_STREQ(get_error_text(256, "colour"),
               "Warning: The requested entry was not found in the config file (colour).");
  EXPECT_STREQ(get_error_text(4105, "%s%n%d"),
               "Error: %s%n%d does not appear to be a package file.");
  // Percent signs in a text are plain text, not formats.
  EXPECT_STREQ(get_error_text(4096, "ignored"),
               "Error: Colour darkening percentage was over 100% or less than -100% which "
               "makes no sense.");
  EXPECT_STREQ(get_error_text(4109, "ignored"), "Error: Package file did not open correctly.");
  EXPECT_STREQ(get_error_text(1, "x"), "Unknown Error Code");
  EXPECT_STREQ(get_error_text(4113, "x"), "Unknown Error Code");
  EXPECT_EQ(std::string(get_error_text(4112, std::string(5000, 'y').c_str())),
            "Error: File " + std::string(1023, 'y') + " not found in package.");
}

TEST_F(ErrorsTest, WarningsShowTheirRowAndCarryOn) {
  report_warning(0x0002, "/tmp/debug.txt");
  report_warning(0x0002);
  report_warning(0x0010, "not appended");
  report_warning(0x0021, "not appended");
  report_warning(0x0099, "anything");
  ASSERT_EQ(boxes.size(), 5u);
  for (const auto& box : boxes) EXPECT_EQ(box.first, "Warning");
  EXPECT_EQ(boxes[0].second, "WARNING: 0002:\nUnable to open debug file /tmp/debug.txt");
  EXPECT_EQ(boxes[1].second, "WARNING: 0002:\nUnable to open debug file ");
  EXPECT_EQ(boxes[2].second,
            std::string("WARNING: 0010:\nToo many colour for a 256 Palette ") + kQuestion);
  EXPECT_EQ(boxes[3].second, "WARNING: 0021:\nSlider bar width is invalid ");
  EXPECT_EQ(boxes[4].second, "WARNING: Undefined warning encountered");
}

// Every numbered box as it reads with an argument: a changed row of the
// tables shows against the reference text.
TEST_F(ErrorsTest, EveryNumberedBoxReadsAsItsReference) {
  set_message_box_handler([](const char* title, const char* text) -> int {
    std::string box = std::string(title) + " | " + text;  // one line per box
    for (size_t at; (at = box.find('\n')) != std::string::npos;) box.replace(at, 1, "\\n");
    throw box + "\n";  // an error would end the program
  });
  std::string all;
  for (uint32_t code = 0; code <= 0xFFFF; ++code) {
    for (auto report : {report_warning, report_error}) {
      try {
        report(static_cast<uint16_t>(code), "ARG");
      } catch (const std::string& box) {
        if (box.find("Undefined") == std::string::npos) all += box;
      }
    }
  }
  EXPECT_TRUE(test_support::text_matches_reference("platform", "numbered_boxes", all));
}

TEST_F(ErrorsTest, ShowMessageBoxAddsTheQuestionOnlyWhenAsked) {
  show_message_box("Title", "Text", true);
  show_message_box("Title", "Text", false);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].second, std::string("Text") + kQuestion);
  EXPECT_EQ(boxes[1].second, "Text");
}

using ErrorsDeathTest = ErrorsTest;

// The statement's standard output joins standard error, where death tests
// look, so the box (stderr seam) and the console text are read in order.
#define TO_STDERR(statement)                      \
  {                                               \
    dup2(STDERR_FILENO, STDOUT_FILENO);           \
    set_message_box_handler(message_box_to_stderr); \
    statement;                                    \
  }

TEST_F(ErrorsDeathTest, ErrorShowsItsBoxThenEndsWith255) {
  EXPECT_EXIT(TO_STDERR(report_error(0x0010)), ExitedWithCode(255),
              HasSubstr(std::string("MESSAGE BOX Error:\nERROR: 0010:\nUnable to create swap image ") +
                        kQuestion + "\n" + kFatalText));
  EXPECT_EXIT(TO_STDERR(report_error(0x002A, "logo.pcx")), ExitedWithCode(255),
              AllOf(HasSubstr("MESSAGE BOX Error:\nERROR: 002A:\nNo PCX palatte found in file "
                              "logo.pcx\n"),
                    Not(HasSubstr(kQuestion)), HasSubstr(kFatalText)));
  EXPECT_EXIT(TO_STDERR(report_error(0x0070, "not appended")), ExitedWithCode(255),
              HasSubstr("ERROR: 0070:\nSrollbar slew values are invalid \n"));
  EXPECT_EXIT(TO_STDERR(report_error(0x0090, "not appended")), ExitedWithCode(255),
              HasSubstr("ERROR: 0090:\nUnable to allocate memory for text window screen buffer \n"));
  EXPECT_EXIT(TO_STDERR(report_error(0x0004)), ExitedWithCode(255),
              HasSubstr(std::string("ERROR: 0004:\nNo mouse driver installed ") + kQuestion));
}

TEST_F(ErrorsDeathTest, UndefinedErrorStillEndsTheProgram) {
  EXPECT_EXIT(TO_STDERR(report_error(0x0999, "x")), ExitedWithCode(255),
              HasSubstr(std::string("MESSAGE BOX Error:\nERROR: Undefined error encountered\n") +
                        kFatalText));
}

bool destructor_armed = false;
struct NOISY_STATIC {
  ~NOISY_STATIC() {
    if (destructor_armed && write(STDERR_FILENO, "destructor ran", 14) < 0) _exit(1);
  }
} noisy_static;

TEST_F(ErrorsDeathTest, FatalExitSkipsStaticDestructors) {
  EXPECT_EXIT(TO_STDERR(destructor_armed = true; fatal_exit("Disk full")), ExitedWithCode(255),
              AllOf(HasSubstr("\nError, unable to continue...\n\nDisk full\n\n"),
                    Not(HasSubstr("destructor ran"))));
  EXPECT_EXIT(TO_STDERR(fatal_exit(nullptr)), ExitedWithCode(255),
              Not(HasSubstr("unable to continue")));
}

TEST_F(ErrorsTest, MessageBoxRunsTheProgramWithOneArgument) {
  set_message_box_handler(nullptr);
  set_command_runner(record_run);
  const char* title = "Say \"hi\" $HOME";
  const char* text = "`id` and 'quotes' and \\ and 100%s";
  EXPECT_EQ(message_box(title, text), 2);
  ASSERT_EQ(runs.size(), 1u);

  std::string body = std::string(title) + ":\n\n" + text;
  std::vector<std::string> expected = {"xmessage", "-buttons", "OK:2", body};
  if (FILE* gmessage = fopen("/usr/X11R6/bin/gmessage", "r")) {
    fclose(gmessage);
    expected = {"/usr/X11R6/bin/gmessage", "-center", "-buttons", "OK:2", body};
  }
  EXPECT_EQ(runs[0], expected);
  EXPECT_EQ(run_flags[0], COMMAND_QUIET);
}

TEST_F(ErrorsTest, MessageBoxWithoutTitleOrTextDoesNothing) {
  EXPECT_EQ(message_box(nullptr, "text"), 0);
  EXPECT_EQ(message_box("title", nullptr), 0);
  set_message_box_handler(nullptr);
  set_command_runner(record_run);
  message_box(nullptr, "text");
  message_box("title", nullptr);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(runs.empty());
}

// Only a terminal is asked to press Return; a script's input is not read.
TEST_F(ErrorsTest, MessageBoxFallsBackToTheConsoleWhenNoProgramRuns) {
  const std::string console = "\n*\n*\tNotice\n*\n*\tDisk 50% full\n*\n";
  for (bool terminal : {false, true}) {
    for (int status : {1, 127, -1, 0, 2, 3}) {
      ChildOutput child = in_child(
          [status] {
            set_message_box_handler(nullptr);
            runner_result = status;
            set_command_runner(record_run);
            message_box("Notice", "Disk 50% full");
          },
          terminal);
      EXPECT_EQ(child.exit_code, 0);
      bool cannot_run = status == 1 || status == 127 || status == -1;
      EXPECT_EQ(child.out, cannot_run ? console + (terminal ? "*  Press Return\n*\n" : "") : "")
          << "status " << status << " terminal " << terminal;
    }
  }
}

TEST_F(ErrorsTest, StderrHandlerShowsTitleAndTextAndPressesOk) {
  ChildOutput child = in_child([] { _exit(message_box_to_stderr("Title", "Some %s text")); });
  EXPECT_EQ(child.exit_code, 2);
  EXPECT_EQ(child.err, "MESSAGE BOX Title:\nSome %s text\n");
  EXPECT_EQ(child.out, "");
}

TEST_F(ErrorsTest, ConsoleAndDebugPrintWriteTextUnchanged) {
  ChildOutput child = in_child([] {
    console_print("100%s %d\n");
    debug_print("loader.cpp", 42, "loaded %s");
    debug_print(nullptr, 7, "no file");
  });
  EXPECT_EQ(child.out,
            "100%s %d\nDebug - File: loader.cpp Line 42: = loaded %s\nno file\n");
}

TEST_F(ErrorsTest, ConsoleTextLeavesAsUtf8) {
  // Latin-1 "Grüße" and a code run for U+4E2D, as the system carries them.
  ChildOutput child = in_child([] {
    console_print("Gr\xfc\xdf" "e \x01,4E2D\x01\n");
    fatal_exit("f\xfcr");
  });
  EXPECT_EQ(child.exit_code, 255);
  EXPECT_EQ(child.out,
            "Gr\xc3\xbc\xc3\x9f" "e \xe4\xb8\xad\n"
            "\nError, unable to continue...\n\nf\xc3\xbcr\n\n");
}

// Every console line shows the control characters of its texts escaped,
// whichever way it leaves: no text reaches a terminal as a command. Line
// feeds and tabs lay lines out; the bytes 0x80-0x9F inside other UTF-8
// characters (the 0x9F of a sharp s) are no controls.
TEST_F(ErrorsTest, ControlCharactersReachTheConsoleEscaped) {
  const struct {
    void (*write)(const char*);
    const char* text;
    const char* shown;
  } rows[] = {
      {console_write_utf8, "Bad\x1b]0;owned\x07 folder\n", "Bad\\x1b]0;owned\\x07 folder\n"},
      {console_write_utf8, "\xc2\x9b" "2J \xc2\x85next\n", "\\u009b2J \\u0085next\n"},
      {console_write_utf8, "raw \x9b" "2J \x80\n", "raw \\x9b2J \\x80\n"},
      {console_write_utf8, "cr\r del\x7f nul\x01\n", "cr\\r del\\x7f nul\\x01\n"},
      {console_write_utf8, "Gr\xc3\xbc\xc3\x9f" "e\tto \xe4\xb8\xad \xe9 \\\n", "Gr\xc3\xbc\xc3\x9f" "e\tto \xe4\xb8\xad \xe9 \\\n"},
      {console_write_utf8_held, "held\x1b[2J\n", "held\\x1b[2J\n"},
      // The system's text: its Latin-1 byte 0x9B is the C1 control U+009B.
      {console_print, "Latin \x9b" "2J \x01,0085\x01\n", "Latin \\u009b2J \\u0085\n"},
      {[](const char* text) { debug_print("a.cpp", 1, text); }, "\x1b[31m", "Debug - File: a.cpp Line 1: = \\x1b[31m\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.shown);
    ChildOutput child = in_child([&] { row.write(row.text); });
    EXPECT_EQ(child.out, row.shown);
  }
  ChildOutput fatal = in_child([] { fatal_exit("Bad\x1b]0;owned\x07\x9b"); });
  EXPECT_EQ(fatal.out, "\nError, unable to continue...\n\nBad\\x1b]0;owned\\x07\\u009b\n\n");
}

TEST_F(ErrorsTest, DebugFileIsTruncatedOnFirstWriteThenAppended) {
  ScratchDir dir;
  write_file(dir.file("debug.txt"), "stale\n");
  write_file(dir.file("own.log"), "kept\n");
  std::string own = dir.file("own.log");
  ChildOutput child = in_child([&] {
    if (chdir(dir.path().c_str()) != 0) _exit(3);
    debug_to_file("main.cpp", 10, "first");
    debug_to_file(nullptr, 0, "second %s");
    debug_to_file("a.cpp", 1, "given path", own.c_str());
  });
  EXPECT_EQ(child.exit_code, 0);
  EXPECT_EQ(read_file(dir.file("debug.txt")), "Debug - File: main.cpp Line 10: = first\nsecond %s\n");
  EXPECT_EQ(read_file(own), "kept\nDebug - File: a.cpp Line 1: = given path\n");
}

TEST_F(ErrorsTest, DebugFileFailuresBecomeWarnings) {
  ScratchDir dir;
  std::string missing = dir.file("no/such/folder.log");
  ChildOutput child = in_child([&] {
    set_message_box_handler(message_box_to_stderr);
    if (chdir(dir.path().c_str()) != 0) _exit(3);
    mkdir("debug.txt", 0700);  // a folder cannot be opened as a file
    debug_to_file(nullptr, 0, "lost");
    rmdir("debug.txt");
    // The failed first write must not count: the next one still truncates.
    write_file("debug.txt", "stale\n");
    debug_to_file(nullptr, 0, "kept");
    debug_to_file(nullptr, 0, "lost too", missing.c_str());
  });
  EXPECT_EQ(child.exit_code, 0);
  EXPECT_THAT(child.err,
              AllOf(HasSubstr("MESSAGE BOX Warning:\nWARNING: 0001:\nUnable to create debug file "
                              "debug.txt\n"),
                    HasSubstr("MESSAGE BOX Warning:\nWARNING: 0002:\nUnable to open debug file " +
                              missing + "\n")));
  EXPECT_EQ(read_file(dir.file("debug.txt")), "kept\n");
}

}  // namespace
