// Debug streams: prefixes, console and message-box output, the stream's
// file with header, truncation and rolling backup, the settings files, the
// registry, and the bounds on names and messages. Files live in a test home.
#include "debug_stream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "test_support.h"

using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

namespace {

std::vector<std::pair<std::string, std::string>> boxes;

// Made by a static constructor, before main and before any folder service
// is ready: it registers at once and reads its settings only when used.
DEBUG_STREAM early_stream("Early Static", DEBUG_TO_CONSOLE, true);
const uint8_t early_pending_before_main = early_stream.settings_pending;
const int registered_before_main = DEBUG_STREAM::count();
const uint8_t platform_pending_before_main = platform_debug_stream().settings_pending;

int record_box(const char* title, const char* text) {
  boxes.emplace_back(title, text);
  return 2;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

class DebugStreamTest : public ::testing::Test {
protected:
  void SetUp() override {
    set_home_folder_override(scratch.path().c_str());
    set_system_root_override(scratch.path().c_str());
    boxes.clear();
    set_message_box_handler(record_box);
    FOLDER folder;
    ASSERT_TRUE(folder.set_path("$USERPREFS/debug", true, nullptr, true));
    debug = folder.path;
  }
  void TearDown() override {
    set_message_box_handler(nullptr);
    remove_temporary_folder();
    set_system_root_override(nullptr);
    set_home_folder_override(nullptr);
  }

  std::string file(const std::string& name) const { return debug + "/" + name; }
  void write_settings(const std::string& stream, const std::string& text) {
    ASSERT_TRUE(write_file(file(stream + "_release.cfg"), text));
  }

  ScratchDir scratch;
  std::string debug;  // "$USERPREFS/debug" in the test home
};

std::string console_of(DEBUG_STREAM& stream, const char* text, bool line_feed,
                       const char* source = nullptr, int line = 0) {
  testing::internal::CaptureStdout();
  stream.write(source, line, text, line_feed);
  return testing::internal::GetCapturedStdout();
}

// ---- Prefixes and outputs

TEST_F(DebugStreamTest, StreamNamePrefixOnTheConsole) {
  DEBUG_STREAM net("Net", DEBUG_STREAM_NAME | DEBUG_TO_CONSOLE, false);
  EXPECT_EQ(console_of(net, "hello", true), "<Net>: hello\n");
  EXPECT_EQ(console_of(net, "no feed", false), "<Net>: no feed");

  testing::internal::CaptureStdout();
  net.printf("value %d, text %s\n", 42, "%s stays");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "<Net>: value 42, text %s stays\n");
}

TEST_F(DebugStreamTest, CodeLocationAndTimeStamp) {
  DEBUG_STREAM located("Located", DEBUG_CODE_LOCATION | DEBUG_TO_CONSOLE, false);
  EXPECT_EQ(console_of(located, "text", false, "code/thing.cpp", 12), "(code/thing.cpp,12) text");
  // Without a source file there is no location.
  EXPECT_EQ(console_of(located, "text", false), "text");

  DEBUG_STREAM stamped("Stamped", DEBUG_TIME_STAMP | DEBUG_STREAM_NAME | DEBUG_TO_CONSOLE, false);
  std::string output = console_of(stamped, "text", true);
  EXPECT_TRUE(std::regex_match(
      output, std::regex("<Stamped>: [A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{4} "
                         "[0-9]{2}:[0-9]{2}:[0-9]{2} GMT text\n")))
      << output;
}

TEST_F(DebugStreamTest, MessageBoxShowsTheTextWithoutTheNamePrefix) {
  DEBUG_STREAM pop("Pop", DEBUG_STREAM_NAME | DEBUG_CODE_LOCATION | DEBUG_TO_POPUP, false);
  pop.write("a.cpp", 3, "careful", true);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Pop");
  EXPECT_EQ(boxes[0].second, "(a.cpp,3) careful");
}

TEST_F(DebugStreamTest, StreamWithoutOutputsWritesNothing) {
  DEBUG_STREAM silent("Silent", DEBUG_STREAM_NAME | DEBUG_FILE_HEADER, false);
  EXPECT_FALSE(silent.has_output());
  EXPECT_EQ(console_of(silent, "x", true), "");
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(exists(file("Silent.txt")));
}

// ---- The stream's file

TEST_F(DebugStreamTest, FileWithHeaderAtTheFirstWrite) {
  DEBUG_STREAM head("Head", DEBUG_TO_FILE | DEBUG_FILE_HEADER | DEBUG_STREAM_NAME, false);
  head.write(nullptr, 0, "one", true);
  head.write(nullptr, 0, "two", true);
  EXPECT_EQ(head.file, nullptr);  // closed between messages
  std::string text = read_file(file("Head.txt"));
  EXPECT_TRUE(std::regex_match(
      text, std::regex("======================================\n> Debug stream: Head\n"
                       "> Written: [A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{4} "
                       "[0-9]{2}:[0-9]{2}:[0-9]{2} GMT\n\n<Head>: one\n<Head>: two\n")))
      << text;
}

TEST_F(DebugStreamTest, FirstWriteTruncatesOnlyWhenAsked) {
  ASSERT_TRUE(write_file(file("Cut.txt"), "old\n"));
  ASSERT_TRUE(write_file(file("Kept.txt"), "old\n"));
  {
    DEBUG_STREAM cut("Cut", DEBUG_TO_FILE | DEBUG_TRUNCATE_FIRST, false);
    cut.write(nullptr, 0, "new", true);
    cut.write(nullptr, 0, "newer", true);
    DEBUG_STREAM kept("Kept", DEBUG_TO_FILE, false);
    kept.write(nullptr, 0, "new", true);
  }
  EXPECT_EQ(read_file(file("Cut.txt")), "new\nnewer\n");
  EXPECT_EQ(read_file(file("Kept.txt")), "old\nnew\n");
}

TEST_F(DebugStreamTest, KeepFileOpenBetweenMessages) {
  {
    DEBUG_STREAM open("Open", DEBUG_TO_FILE | DEBUG_KEEP_OPEN, false);
    open.write(nullptr, 0, "a", true);
    EXPECT_NE(open.file, nullptr);
    open.write(nullptr, 0, "b", true);
  }
  EXPECT_EQ(read_file(file("Open.txt")), "a\nb\n");
}

TEST_F(DebugStreamTest, RollingBackupAfterTheLimit) {
  DEBUG_STREAM rolling("Rolling", DEBUG_TO_FILE | DEBUG_ROLLING_BACKUP, false);
  rolling.rolling_limit = 3;
  for (const char* message : {"m1", "m2", "m3"}) rolling.write(nullptr, 0, message, true);
  EXPECT_FALSE(exists(file("Rolling.txt.bak")));
  EXPECT_EQ(read_file(file("Rolling.txt")), "m1\nm2\nm3\n");

  // The fourth message first moves the file to its backup name.
  rolling.write(nullptr, 0, "m4", true);
  EXPECT_EQ(read_file(file("Rolling.txt.bak")), "m1\nm2\nm3\n");
  EXPECT_EQ(read_file(file("Rolling.txt")), "m4\n");

  // An old backup is replaced at the next roll.
  for (const char* message : {"m5", "m6", "m7"}) rolling.write(nullptr, 0, message, true);
  EXPECT_EQ(read_file(file("Rolling.txt.bak")), "m4\nm5\nm6\n");
  EXPECT_EQ(read_file(file("Rolling.txt")), "m7\n");
}

TEST_F(DebugStreamTest, FileThatCannotBeOpenedLosesOnlyTheFileCopy) {
  ASSERT_EQ(mkdir(file("Blocked.txt").c_str(), 0755), 0);
  DEBUG_STREAM blocked("Blocked", DEBUG_TO_FILE | DEBUG_TO_CONSOLE | DEBUG_TO_POPUP, false);
  EXPECT_EQ(console_of(blocked, "lost", true), "lost\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].second, "lost");

  // The next message tries again.
  ASSERT_EQ(rmdir(file("Blocked.txt").c_str()), 0);
  console_of(blocked, "kept", true);
  EXPECT_EQ(read_file(file("Blocked.txt")), "kept\n");
}

// ---- Bounds

TEST_F(DebugStreamTest, MessagesAreCutAt2047Characters) {
  DEBUG_STREAM cut("Long", DEBUG_TO_FILE | DEBUG_STREAM_NAME, false);
  std::string text(3000, 'a');
  cut.write(nullptr, 0, text.c_str(), false);
  std::string written = read_file(file("Long.txt"));
  EXPECT_EQ(written, "<Long>: " + std::string(2047 - 8, 'a'));

  DEBUG_STREAM formatted("Formatted", DEBUG_TO_FILE, false);
  formatted.printf("%s%d", text.c_str(), 12345);
  EXPECT_EQ(read_file(file("Formatted.txt")), std::string(2047, 'a'));
}

TEST_F(DebugStreamTest, LongNamesAreCutIntoTheirFields) {
  std::string long_name(300, 'n');
  DEBUG_STREAM stream(long_name.c_str(), DEBUG_TO_FILE, false);
  EXPECT_EQ(std::string(stream.name), std::string(255, 'n'));
  // File names keep their suffix and leave room for ".bak" or ".tmp"
  // within the 255 bytes of a file name.
  std::string log_name = std::string(247, 'n') + ".txt";
  EXPECT_EQ(std::string(stream.file_name), log_name);
  stream.flags |= DEBUG_ROLLING_BACKUP;
  stream.rolling_limit = 1;
  stream.write(nullptr, 0, "first", false);
  stream.write(nullptr, 0, "second", false);
  EXPECT_EQ(read_file(file(log_name)), "second");
  EXPECT_EQ(read_file(file(log_name + ".bak")), "first");

  EXPECT_TRUE(stream.save_settings());
  EXPECT_TRUE(exists(file(std::string(239, 'n') + "_release.cfg")));
  strcpy(stream.file_name, "two\nlines");  // a name the settings cannot hold fails the save
  EXPECT_FALSE(stream.save_settings());
  EXPECT_EQ(DEBUG_STREAM::find(std::string(255, 'n').c_str()), &stream);
}

TEST_F(DebugStreamTest, FullLengthFileNameFromTheSettingsStillRolls) {
  std::string long_file(255, 'f');
  write_settings("Wide", "filename\n\t" + long_file + "\nwrite_to_file\n\t1\n"
                         "file_rolling_backup\n\t1\nfile_rolling_limit\n\t1\n");
  DEBUG_STREAM wide("Wide", 0, true);
  wide.write(nullptr, 0, "first", false);
  wide.write(nullptr, 0, "second", false);
  EXPECT_EQ(std::string(wide.file_name), long_file);
  EXPECT_EQ(read_file(file(long_file)), "second");
  // The backup name is cut before its ".bak" to stay a valid file name.
  EXPECT_EQ(read_file(file(std::string(251, 'f') + ".bak")), "first");
}

TEST_F(DebugStreamTest, UnnamedStreamsAreNamedAfterTheirAddress) {
  DEBUG_STREAM unnamed(nullptr, 0, false);
  DEBUG_STREAM empty("", 0, false);
  char expected[64];
  snprintf(expected, sizeof expected, "Debug Stream %p", static_cast<void*>(&unnamed));
  EXPECT_STREQ(unnamed.name, expected);
  EXPECT_EQ(std::string(unnamed.file_name), std::string(expected) + ".txt");
  snprintf(expected, sizeof expected, "Debug Stream %p", static_cast<void*>(&empty));
  EXPECT_STREQ(empty.name, expected);
}

// ---- Settings files

TEST_F(DebugStreamTest, DisabledSettingsLeaveTheStreamSilent) {
  write_settings("Quiet", "disabled\n\t1\nwrite_to_console\n\t1\n");
  DEBUG_STREAM quiet("Quiet", DEBUG_TO_CONSOLE, true);
  EXPECT_EQ(console_of(quiet, "hidden", true), "");
  EXPECT_EQ(quiet.flags, 0);
}

TEST_F(DebugStreamTest, SettingsReplaceTheCreatorsFlagsWhenRead) {
  write_settings("Configured",
                 "# made by hand\nfilename\n\tcustom.log\nwrite_to_file\n\t1\n"
                 "write_stream_name\n\t1\ntrigger_breakpoint\n\t1\nkeep_file_open\n\t0\n"
                 "file_rolling_limit\n\t7\n");
  DEBUG_STREAM configured("Configured", DEBUG_TO_CONSOLE | DEBUG_TIME_STAMP, true);
  EXPECT_EQ(console_of(configured, "hi", true), "");
  // The breakpoint key is saved, never read.
  EXPECT_EQ(configured.flags, DEBUG_TO_FILE | DEBUG_STREAM_NAME);
  EXPECT_STREQ(configured.file_name, "custom.log");
  EXPECT_EQ(configured.rolling_limit, 7);
  EXPECT_EQ(read_file(file("custom.log")), "<Configured>: hi\n");
  for (auto [text, limit] : {std::pair{"-1", 0}, {"0", 0}, {"65535", 65535}, {"65536", 65535}}) {  // 0 ... 65535
    write_settings("Configured", std::string("file_rolling_limit\n\t") + text + "\n");
    EXPECT_TRUE(configured.load_settings() && configured.rolling_limit == limit) << text;
  }
}

TEST_F(DebugStreamTest, FileNameLeadingOutOfTheDebugFolderIsRefused) {
  for (const char* refused : {"../escape.log", "/escape.log", "sub/escape.log", "..", "."}) {
    write_settings("Escape", std::string("filename\n\t") + refused + "\nwrite_to_file\n\t1\n");
    {
      DEBUG_STREAM escape("Escape", 0, true);
      testing::internal::CaptureStdout();
      escape.write(nullptr, 0, "hi", true);
      EXPECT_THAT(testing::internal::GetCapturedStdout(),
                  testing::HasSubstr(std::string("the file name \"") + refused +
                                     "\" leads out of the debug folder"));
      EXPECT_STREQ(escape.file_name, "Escape.txt") << refused;
    }
    EXPECT_EQ(read_file(file("Escape.txt")), "hi\n") << refused;
    ASSERT_EQ(unlink(file("Escape.txt").c_str()), 0);
  }
  EXPECT_FALSE(exists(debug + "/../escape.log"));
}

TEST_F(DebugStreamTest, CreatorsFlagsStayWithoutASettingsFile) {
  DEBUG_STREAM loud("Loud", DEBUG_TO_CONSOLE, true);
  EXPECT_EQ(console_of(loud, "heard", true), "heard\n");
  EXPECT_EQ(loud.flags, DEBUG_TO_CONSOLE);
  EXPECT_FALSE(loud.load_settings());

  // Nor without the debug folder: it is not made for reading.
  ASSERT_EQ(rmdir(debug.c_str()), 0);
  DEBUG_STREAM other("Other", DEBUG_TO_POPUP, true);
  EXPECT_TRUE(other.has_output());
  EXPECT_EQ(other.flags, DEBUG_TO_POPUP);
  EXPECT_FALSE(exists(debug));
}

TEST_F(DebugStreamTest, SettingsAreReadAtTheFirstUseNotAtConstruction) {
  DEBUG_STREAM late("Late", DEBUG_TO_CONSOLE, true);
  late.rolling_limit = 5;
  EXPECT_EQ(late.settings_pending, 1);
  // Written after the stream was made, before its first message.
  write_settings("Late", "write_to_popup_dialog\n\t1\n");
  set_last_error(0, nullptr);
  EXPECT_EQ(console_of(late, "boxed", true), "");
  EXPECT_EQ(get_last_error(), 0) << "keys the file lacks are not asked for";
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].second, "boxed");
  EXPECT_EQ(late.settings_pending, 0);
  EXPECT_EQ(late.rolling_limit, 100);  // a file without a limit sets the usual one

  // A look-up through the registry reads them too.
  DEBUG_STREAM found("Found", 0, true);
  write_settings("Found", "write_to_file\n\t1\n");
  EXPECT_EQ(DEBUG_STREAM::find("Found"), &found);
  EXPECT_EQ(found.flags, DEBUG_TO_FILE);
}

TEST_F(DebugStreamTest, StartOfMainReadsEveryPendingStream) {
  // In a child process: from then on streams read their settings when made.
  EXPECT_EXIT(
      {
        DEBUG_STREAM listed("Listed", 0, true);
        write_settings("Listed", "write_to_console\n\t1\n");
        write_settings("Made Later", "write_to_file\n\t1\n");
        load_pending_debug_settings();
        bool listed_read = listed.flags == DEBUG_TO_CONSOLE && listed.settings_pending == 0;
        DEBUG_STREAM later("Made Later", 0, true);
        bool later_read = later.flags == DEBUG_TO_FILE && later.settings_pending == 0;
        exit(listed_read && later_read ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(DebugStreamTest, SavedSettingsBytesAndRoundTrip) {
  {
    DEBUG_STREAM saver("Saver", DEBUG_TO_FILE | DEBUG_ROLLING_BACKUP | DEBUG_BREAKPOINT, false);
    saver.rolling_limit = 50;
    ASSERT_TRUE(saver.save_settings());
  }
  EXPECT_EQ(read_file(file("Saver_release.cfg")),
            "filename\n\tSaver.txt\ndisabled\n\t0\nwrite_to_console\n\t0\n"
            "write_to_popup_dialog\n\t0\nwrite_to_file\n\t1\ntruncate_file_on_first_write\n\t0\n"
            "keep_file_open\n\t0\nwrite_file_header\n\t0\nwrite_stream_name\n\t0\n"
            "write_code_location\n\t0\ntrigger_breakpoint\n\t1\nfile_rolling_backup\n\t1\n"
            "file_rolling_limit\n\t50\n");

  DEBUG_STREAM reader("Saver", 0, true);
  reader.apply_pending_settings();
  EXPECT_EQ(reader.flags, DEBUG_TO_FILE | DEBUG_ROLLING_BACKUP);
  EXPECT_EQ(reader.rolling_limit, 50);
}

TEST_F(DebugStreamTest, DestructorSavesOnlyWhenAsked) {
  { DEBUG_STREAM keeper("Keeper", DEBUG_SAVE_SETTINGS | DEBUG_TO_CONSOLE, false); }
  { DEBUG_STREAM forgetter("Forgetter", DEBUG_TO_CONSOLE, false); }
  std::string saved = read_file(file("Keeper_release.cfg"));
  EXPECT_NE(saved.find("disabled\n\t0\nwrite_to_console\n\t1\n"), std::string::npos) << saved;
  EXPECT_FALSE(exists(file("Forgetter_release.cfg")));

  // A stream whose settings were never read reads them before deciding:
  // from its file the save flag cannot come.
  write_settings("Reread", "write_to_console\n\t1\n");
  { DEBUG_STREAM reread("Reread", DEBUG_SAVE_SETTINGS, true); }
  EXPECT_EQ(read_file(file("Reread_release.cfg")), "write_to_console\n\t1\n");
}

TEST_F(DebugStreamTest, SettingsOfAStreamWithoutFlagsSayDisabled) {
  DEBUG_STREAM off("Off", 0, false);
  ASSERT_TRUE(off.save_settings());
  EXPECT_NE(read_file(file("Off_release.cfg")).find("disabled\n\t1\n"), std::string::npos);
}

// ---- Registry

TEST_F(DebugStreamTest, TwoStreamsWithOneNameAreBothRegistered) {
  int before = DEBUG_STREAM::count();
  auto* first = new DEBUG_STREAM("Twin", 0, false);
  DEBUG_STREAM second("Twin", 0, false);
  EXPECT_EQ(DEBUG_STREAM::count(), before + 2);
  EXPECT_EQ(DEBUG_STREAM::find("Twin"), first);
  EXPECT_EQ(DEBUG_STREAM::at(before), first);
  EXPECT_EQ(DEBUG_STREAM::at(before + 1), &second);
  delete first;
  EXPECT_EQ(DEBUG_STREAM::find("Twin"), &second);
  EXPECT_EQ(DEBUG_STREAM::count(), before + 1);
  EXPECT_EQ((std::vector<DEBUG_STREAM*>{DEBUG_STREAM::find("Nobody"), DEBUG_STREAM::find(nullptr), DEBUG_STREAM::at(-1),
                                       DEBUG_STREAM::at(DEBUG_STREAM::count())}),
            std::vector<DEBUG_STREAM*>(4, nullptr));
}

TEST_F(DebugStreamTest, StaticStreamsRegisterBeforeMainAndReadSettingsLater) {
  EXPECT_EQ(early_pending_before_main, 1);
  // Registered at once, whatever order the static constructors ran in.
  EXPECT_GE(registered_before_main, 1);
  write_settings("Early Static", "write_to_popup_dialog\n\t1\n");
  EXPECT_EQ(DEBUG_STREAM::find("Early Static"), &early_stream);
  EXPECT_EQ(early_stream.flags, DEBUG_TO_POPUP);
}

TEST_F(DebugStreamTest, PlatformStreamsExistFromTheStart) {
  EXPECT_EQ(DEBUG_STREAM::find("VORN Platform"), &platform_debug_stream());
  EXPECT_EQ(DEBUG_STREAM::find("VORN Modules"), &modules_debug_stream());
  EXPECT_EQ(platform_pending_before_main, 1);  // it too takes its settings file at its first use
}

}  // namespace
