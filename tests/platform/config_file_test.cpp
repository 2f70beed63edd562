#include "config_file.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "test_support.h"
#include "text_convert.h"

using test_support::RunResult;
using test_support::ScratchDir;
using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;

namespace {

using ENTRIES = std::vector<std::pair<std::string, std::string>>;

void collect(const char* key, const char* value, intptr_t user) {
  reinterpret_cast<ENTRIES*>(user)->emplace_back(key, value);
}

class ConfigFileTest : public testing::Test {
protected:
  ConfigFileTest() {
    // Failures are reported through the platform stream, whose settings
    // live under the home folder: keep that away from the real one.
    set_home_folder_override(home.path().c_str());
    config.set_absolute(dir.path().c_str());
    config.init("test.cfg", false);
  }
  ~ConfigFileTest() override { set_home_folder_override(nullptr); }

  std::string path() const { return dir.file("test.cfg"); }
  void put(const std::string& bytes) { ASSERT_TRUE(write_file(path(), bytes)); }
  std::string bytes() const { return read_file(path()); }
  // Fresh files a rewrite left behind in the folder.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> names;
    if (DIR* folder = opendir(dir.path().c_str())) {
      while (dirent* entry = readdir(folder))
        if (strncmp(entry->d_name, ".vorn-", 6) == 0) names.push_back(entry->d_name);
      closedir(folder);
    }
    return names;
  }

  std::string get(const char* key) {
    char value[256] = "<unset>";
    if (!config.get_string(key, value)) return "<failed>";
    return value;
  }

  ENTRIES all() {
    ENTRIES entries;
    config.for_each_entry(config, collect, reinterpret_cast<intptr_t>(&entries));
    return entries;
  }

  ScratchDir home;
  ScratchDir dir;
  CONFIG_FILE config;
};

// ---- Reading

TEST_F(ConfigFileTest, CommentsAndEmptyLinesStandBeforeEntries) {
  put("# comment\n\nspeed\n\t12\n");
  int32_t speed = 0;
  EXPECT_TRUE(config.get_int("speed", speed));
  EXPECT_EQ(speed, 12);
  EXPECT_EQ(get_last_error(), 0);
}

TEST_F(ConfigFileTest, ABlankValueLineIsAnEmptyValue) {
  put("a\n   \nb\n\tx\n");
  EXPECT_EQ(get("a"), "");
  EXPECT_EQ(get("b"), "x");
}

TEST_F(ConfigFileTest, AKeyOnTheLastLineIsAnEarlyEnd) {
  for (const char* text :
       {"a\n\t1\nlast\n", "a\n\t1\nlast", "a\n\t1\nlast\n  \t", "a\n\t1\n# tail comment\nlast\n"}) {
    put(text);
    EXPECT_EQ(get("last"), "<failed>") << text;
    EXPECT_EQ(get_last_error(), 257);
    EXPECT_EQ(get("a"), "1");
    EXPECT_EQ(all(), (ENTRIES{{"a", "1"}}));
    EXPECT_EQ(get_last_error(), 257);
    // A set keeps the cut key: it comes back with an empty value.
    std::string comment = strstr(text, "#") ? "# tail comment\n" : "";
    for (bool cached : {false, true}) {
      put(text);
      config.init("test.cfg", cached);
      if (cached) {
        EXPECT_EQ(get("last"), "<failed>");
        // The walk agrees with the uncached one: the whole entries, then 257.
        ENTRIES seen;
        EXPECT_FALSE(config.for_each_entry(config, collect, reinterpret_cast<intptr_t>(&seen)));
        EXPECT_EQ(get_last_error(), 257);
        EXPECT_EQ(seen, (ENTRIES{{"a", "1"}}));
      }
      EXPECT_TRUE(config.set_string("c", "3")) << text << cached;
      EXPECT_EQ(get_last_error(), 0);
      EXPECT_EQ(bytes(), "a\n\t1\n" + (cached ? "" : comment) + "last\n\t\nc\n\t3\n") << cached;
      EXPECT_EQ(get("last"), "");
    }
    config.init("test.cfg", false);
  }
}

TEST_F(ConfigFileTest, KeyLinesAreTakenWhole) {
  put("speed = 12\nx\n  spaced key  \n\t  value with # and blanks  \n");
  EXPECT_EQ(all(), (ENTRIES{{"speed = 12", "x"}, {"spaced key  ", "value with # and blanks  "}}));
}

TEST_F(ConfigFileTest, AHashInTheValuePositionIsAValue) {
  put("colour\n#FF0000\nnext\n\t1\n");
  EXPECT_EQ(get("colour"), "#FF0000");
  EXPECT_EQ(get("next"), "1");
}

TEST_F(ConfigFileTest, ALineOfBlanksBetweenEntriesIsNoKey) {
  put("a\n\t1\n   \nb\n\t2\n");
  EXPECT_EQ(all(), (ENTRIES{{"a", "1"}, {"b", "2"}}));
}

TEST_F(ConfigFileTest, MixedLineEndsReadAlike) {
  put("# made on another system\r\na\r\n\t1\r\nb\n\t2\rc\r\t3");
  EXPECT_EQ(all(), (ENTRIES{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
}

TEST_F(ConfigFileTest, LongValuesReadBackAsTheirFirst255Characters) {
  std::string long_value(300, 'v');
  put("a\n\t" + long_value + "\nb\n\t2\n");
  EXPECT_EQ(get("a"), std::string(255, 'v'));
  EXPECT_EQ(get("b"), "2");  // the tail of the long line is no key
  EXPECT_EQ(all(), (ENTRIES{{"a", std::string(255, 'v')}, {"b", "2"}}));

  config.init("test.cfg", true);
  EXPECT_EQ(get("a"), std::string(255, 'v'));
  EXPECT_EQ(get("b"), "2");
}

TEST_F(ConfigFileTest, LongKeysInTheFileAreCutTo79InBothModes) {
  std::string long_key(100, 'k'), key79(79, 'k');
  for (bool cached : {false, true}) {
    put(long_key + "\n\tlong\n" + key79 + "\n\tshort\n");
    config.init("test.cfg", cached);
    EXPECT_EQ(get(long_key.c_str()), "<failed>") << cached;
    EXPECT_EQ(get_last_error(), 256);
    EXPECT_EQ(get(key79.c_str()), "long");
    EXPECT_EQ(all(), (ENTRIES{{key79, "long"}, {key79, "short"}}));
  }
}

TEST_F(ConfigFileTest, TextAbove255ComesInTheSystemForm) {
  put("name\n\t\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 caf\xC3\xA9\n");
  EXPECT_EQ(get("name"), "\x01,4E2D,6587\x01 \x01,D83D,DE00\x01 caf\xE9");
}

// ---- Failures with their codes

TEST_F(ConfigFileTest, MissingKeysFilesAndCallbacks) {
  put("a\n\t1\n");
  EXPECT_EQ(get("b"), "<failed>");
  EXPECT_EQ(get_last_error(), 256);
  EXPECT_STREQ(get_last_error_text(),
               "Warning: The requested entry was not found in the config file (b).");

  // An empty key is refused before the file is looked at.
  config.init("missing.cfg", false);
  for (const auto& [key, error] : {std::pair<const char*, int>{"", 4097}, {nullptr, 4097}, {"a", 4098}}) {
    EXPECT_EQ(get(key), "<failed>");
    EXPECT_EQ(get_last_error(), error) << (key ? key : "null");
  }
  EXPECT_STREQ(get_last_error_text(), "Error: Error trying to open the config file missing.cfg.");

  EXPECT_FALSE(config.for_each_entry(config, nullptr, 0));
  EXPECT_EQ(get_last_error(), 4099);
  EXPECT_FALSE(config.for_each_entry(config, collect, 0));
  EXPECT_EQ(get_last_error(), 4098);
}

TEST_F(ConfigFileTest, SuccessClearsTheLastError) {
  put("a\n\t1\n");
  set_last_error(999, "old");
  EXPECT_EQ(get("a"), "1");
  EXPECT_EQ(get_last_error(), 0);
  set_last_error(999, "old");
  EXPECT_TRUE(config.set_string("b", "2"));
  EXPECT_EQ(get_last_error(), 0);
  set_last_error(999, "old");
  EXPECT_EQ(all().size(), 2u);
  EXPECT_EQ(get_last_error(), 0);
}

TEST_F(ConfigFileTest, ExistsAndLoad) {
  EXPECT_FALSE(config.exists());
  EXPECT_TRUE(config.load(false));
  EXPECT_FALSE(config.load(true));
  EXPECT_EQ(get_last_error(), 4098);
  put("b\n\t2\na\n\t1\n");
  EXPECT_TRUE(config.exists());
  EXPECT_TRUE(config.load(true));
  ASSERT_EQ(config.entries.count, 2);
  const CONFIG_ENTRY* first = static_cast<const CONFIG_ENTRY*>(config.entries.data[0]);
  EXPECT_STREQ(first->key, "a");
  EXPECT_EQ(first->order, 1);
}

TEST_F(ConfigFileTest, FailuresGoToThePlatformStreamWhenItHasOutput) {
  DEBUG_STREAM& stream = platform_debug_stream();
  stream.has_output();  // settings first, so that they do not replace ours
  uint16_t saved_flags = stream.flags;
  stream.flags = DEBUG_TO_CONSOLE | DEBUG_CODE_LOCATION;
  testing::internal::CaptureStdout();
  EXPECT_EQ(get("nothing"), "<failed>");
  std::string out = testing::internal::GetCapturedStdout();
  stream.flags = saved_flags;
  EXPECT_NE(out.find("(code/config_file,"), std::string::npos) << out;
  EXPECT_NE(out.find("Error: Error trying to open the config file test.cfg."), std::string::npos)
      << out;

  stream.flags = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(get("nothing"), "<failed>");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  stream.flags = saved_flags;
}

// ---- Numbers

TEST_F(ConfigFileTest, IntegersAreTheNumberThatBeginsTheValue) {
  put("big\n\t3000000000\nsmall\n\t-3000000000\nword\n\tabc\nprefixed\n\t0x047C\n"
      "hex\n\t047C\ncolour\n\tFF000000\nwide\n\t123456789A\ntrailing\n\t12 \nmixed\n\t12abc\n"
      "fraction\n\t12.5\n");
  int32_t value = 7;
  EXPECT_TRUE(config.get_int("big", value));
  EXPECT_EQ(value, INT32_MAX);
  EXPECT_TRUE(config.get_int("small", value));
  EXPECT_EQ(value, INT32_MIN);
  for (const char* key : {"trailing", "mixed", "fraction"}) {
    value = 7;
    EXPECT_TRUE(config.get_int(key, value)) << key;
    EXPECT_EQ(value, 12) << key;
  }
  EXPECT_TRUE(config.get_int("prefixed", value));  // a decimal 0, then "x047C"
  EXPECT_EQ(value, 0);

  value = 7;
  EXPECT_FALSE(config.get_int("word", value));
  EXPECT_EQ(get_last_error(), 256);
  EXPECT_STREQ(get_last_error_text(),
               "Warning: The requested entry was not found in the config file (word).");
  EXPECT_FALSE(config.get_int("absent", value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(config.get_int("word", value, true));
  EXPECT_EQ(value, 0xABC);

  for (const auto& [key, wanted] :
       {std::pair{"hex", 0x47Cu}, {"prefixed", 0x47Cu}, {"colour", 0xFF000000u}, {"wide", 0xFFFFFFFFu}}) {
    EXPECT_TRUE(config.get_int(key, value, true)) << key;
    EXPECT_EQ(static_cast<uint32_t>(value), wanted) << key;
  }
}

TEST_F(ConfigFileTest, SetIntWritesDecimalOrUpperCaseHex) {
  EXPECT_TRUE(config.set_int("d", -12));
  EXPECT_TRUE(config.set_int("h", static_cast<int32_t>(0xFF00AB00u), true));
  EXPECT_EQ(bytes(), "d\n\t-12\nh\n\tFF00AB00\n");
  int32_t value = 0;
  EXPECT_TRUE(config.get_int("h", value, true));
  EXPECT_EQ(static_cast<uint32_t>(value), 0xFF00AB00u);
}

// ---- Keys and values that cannot be stored

TEST_F(ConfigFileTest, KeysAndValuesThatWouldBreakTheFormAreRefused) {
  put("a\n\t1\n");
  std::string before = bytes();
  std::string key79(79, 'k'), key80(80, 'k');
  // Runs spell characters too; a text the reader would give in another
  // form (a run where none is needed, one left open) would not be found.
  for (const char* key : {"", "#key", " key", "\tkey", "two\nlines", "cr\rkey", key80.c_str(),
                          "\x01,0023\x01key", "\x01,0020\x01key", "run\x01,000A\x01break", "\x01,0041\x01",
                          "open\x01,4E2D"}) {
    EXPECT_FALSE(config.set_string(key, "x")) << key;
    EXPECT_EQ(get_last_error(), 4097);
  }
  EXPECT_FALSE(config.set_string(nullptr, "x"));
  // Leading blanks would be skipped when the value is read back.
  for (const char* value : {"line\nbreak", "carriage\rreturn", " leading", "\tleading", "   ",
                            "run\x01,000D\x01return", "nul\x01,0000\x01", "\x01,0041\x01"}) {
    EXPECT_FALSE(config.set_string("a", value)) << value;
    EXPECT_EQ(get_last_error(), 4097);
  }
  EXPECT_EQ(bytes(), before);
  EXPECT_TRUE(config.set_string("a", "#\x01,4E2D\x01 trailing  "));
  EXPECT_EQ(get("a"), "#\x01,4E2D\x01 trailing  ");

  EXPECT_TRUE(config.set_string(key79.c_str(), "fits"));
  EXPECT_TRUE(config.set_string(key79.c_str(), "again"));  // matched, not duplicated
  EXPECT_EQ(bytes(), "a\n\t#\xE4\xB8\xAD trailing  \n" + key79 + "\n\tagain\n");
}

// Whatever a file holds, a set in either mode writes back the entries it
// read, so that they read the same: keys stay keys, values values.
TEST_F(ConfigFileTest, RewritesReadBackTheEntriesTheyRead) {
  const struct {
    const char* file;
    ENTRIES entries;
  } rows[] = {
      // An indented key may begin with '#'; at the line's start it would be
      // a comment and every later line would shift.
      {"a\n\t1\n  #b\n\t2\nc\n\t3\n", {{"a", "1"}, {"#b", "2"}, {"c", "3"}}},
      // U+FEFF begins a key not at the file's start, where the cached mode
      // writes it: there a mark would be taken for no character.
      {"\n\xEF\xBB\xBFkey\n\tv\n", {{"\x01,FEFF\x01key", "v"}}},
  };
  for (const auto& row : rows) {
    for (bool cached : {false, true}) {
      SCOPED_TRACE(std::string(row.file) + (cached ? " cached" : " uncached"));
      put(row.file);
      config.init("test.cfg", cached);
      EXPECT_TRUE(config.set_string("added", "v"));
      config.init("test.cfg", false);
      ENTRIES expected = row.entries;
      expected.emplace_back("added", "v");
      EXPECT_EQ(all(), expected);
      EXPECT_EQ(get("added"), "v");
    }
  }
}

// ---- Uncached writing

TEST_F(ConfigFileTest, UncachedSetKeepsCommentsAndOrder) {
  put("# settings\n\nfirst\n\t1\n# about second\nsecond\n\t2\n\nthird\n\t3\n# the end\n");
  EXPECT_TRUE(config.set_string("second", "two"));
  EXPECT_EQ(bytes(), "# settings\n\nfirst\n\t1\n# about second\nsecond\n\ttwo\n\nthird\n\t3\n# the end\n");
  EXPECT_TRUE(config.set_string("fourth", nullptr));
  EXPECT_EQ(bytes(), "# settings\n\nfirst\n\t1\n# about second\nsecond\n\ttwo\n\nthird\n\t3\n# the end\n"
                     "fourth\n\t\n");
  EXPECT_FALSE(file_exists(dir.file("test.cfg.tmp")));
}

TEST_F(ConfigFileTest, UncachedSetMakesAMissingFile) {
  EXPECT_TRUE(config.set_string("key", "value"));
  EXPECT_EQ(bytes(), "key\n\tvalue\n");
}

TEST_F(ConfigFileTest, UncachedSetKeepsUtf8TextByteForByte) {
  std::string text = "# \xC3\xA9t\xC3\xA9\nname\n\t\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\nother\n\t1\n";
  put(text);
  EXPECT_TRUE(config.set_string("other", "2"));
  EXPECT_EQ(bytes(), text.substr(0, text.size() - 2) + "2\n");
  EXPECT_TRUE(config.set_string("added", "\x01,4E2D\x01"));
  EXPECT_EQ(bytes(), text.substr(0, text.size() - 2) + "2\nadded\n\t\xE4\xB8\xAD\n");
}

TEST_F(ConfigFileTest, SetKeepsAUtf16FileInBothModes) {
  std::string utf8 = "# \xE4\xB8\xAD\nkey\n\told\n";
  RunResult le = run_program({"/usr/bin/iconv", "-f", "UTF-8", "-t", "UTF-16LE"}, {}, &utf8);
  ASSERT_EQ(le.exit_code, 0);
  for (bool cached : {false, true}) {
    put("\xFF\xFE" + le.out);
    config.init("test.cfg", cached);
    EXPECT_TRUE(config.set_string("key", "new"));
    // The cached mode writes no comments.
    std::string expected_utf8 = std::string(cached ? "" : "# \xE4\xB8\xAD\n") + "key\n\tnew\n";
    RunResult expected = run_program({"/usr/bin/iconv", "-f", "UTF-8", "-t", "UTF-16LE"}, {},
                                     &expected_utf8);
    EXPECT_EQ(bytes(), "\xFF\xFE" + expected.out) << cached;
  }
}

TEST_F(ConfigFileTest, UncachedSetKeepsPermissionBits) {
  put("a\n\t1\n");
  ASSERT_EQ(chmod(path().c_str(), 0640), 0);
  EXPECT_TRUE(config.set_string("a", "2"));
  struct stat info;
  ASSERT_EQ(stat(path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(ConfigFileTest, AStaleTmpFileIsNeverBroughtBack) {
  ASSERT_TRUE(write_file(dir.file("test.cfg.tmp"), "stale\n\tentries\n"));
  EXPECT_TRUE(config.set_string("key", "value"));
  EXPECT_EQ(bytes(), "key\n\tvalue\n");
  EXPECT_EQ(read_file(dir.file("test.cfg.tmp")), "stale\n\tentries\n");
}

// ---- Rewrites that cannot complete

TEST_F(ConfigFileTest, WhatLiesBesideTheFileIsLeftAlone) {
  put("# keep me\na\n\t1\n");
  ASSERT_EQ(mkdir(dir.file("test.cfg.tmp").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(dir.file("test.cfg.tmp/inside"), "x"));
  EXPECT_TRUE(config.set_string("a", "changed"));
  EXPECT_EQ(bytes(), "# keep me\na\n\tchanged\n");
  config.init("test.cfg", true);
  EXPECT_TRUE(config.set_string("b", "2"));
  EXPECT_EQ(bytes(), "a\n\tchanged\nb\n\t2\n");
  EXPECT_EQ(read_file(dir.file("test.cfg.tmp/inside")), "x");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(ConfigFileTest, AFolderThatIsAFileFailsCleanly) {
  ASSERT_TRUE(write_file(dir.file("plain"), "not a folder"));
  config.set_absolute(dir.file("plain").c_str());
  for (int pass = 0; pass < 2; config.init("test.cfg", true), ++pass) {  // before and after init
    EXPECT_FALSE(config.set_string("a", "1")) << pass;
    EXPECT_EQ(get_last_error(), 4098) << pass;
  }
  EXPECT_EQ(read_file(dir.file("plain")), "not a folder");
}

TEST_F(ConfigFileTest, AFileNameThatIsADirectoryIsNotMovedAway) {
  ASSERT_EQ(mkdir(path().c_str(), 0755), 0);
  EXPECT_FALSE(config.load(false));  // a folder is not an empty file
  EXPECT_FALSE(config.set_string("a", "1"));
  EXPECT_EQ(get_last_error(), 4098);
  config.init("test.cfg", true);
  EXPECT_FALSE(config.set_string("a", "1"));
  struct stat info;
  ASSERT_EQ(stat(path().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(file_exists(dir.file("test.cfg.tmp")));
}

// Runs the set in a child whose files may not grow past limit bytes, so that
// writing the new file fails part way.
bool set_with_file_size_limit(CONFIG_FILE& config, const char* key, const char* value,
                              rlim_t limit) {
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit size_limit = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &size_limit);
    bool result = config.set_string(key, value);
    _exit(result ? 1 : (get_last_error() == 4098 ? 0 : 2));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(ConfigFileTest, AWriteFailurePartWayLeavesTheFileInBothModes) {
  std::string original = "# header\n";
  for (int i = 0; i < 200; ++i) original += "key" + std::to_string(i) + "\n\tvalue\n";
  put(original);
  EXPECT_FALSE(set_with_file_size_limit(config, "key5", "changed", 1000));
  EXPECT_EQ(bytes(), original);
  EXPECT_TRUE(leftovers().empty());

  config.init("test.cfg", true);
  EXPECT_FALSE(set_with_file_size_limit(config, "key5", "changed", 1000));
  EXPECT_EQ(bytes(), original);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(ConfigFileTest, AReadErrorIsNotTakenForTheEndOfTheFile) {
  // Reading this "file" fails at once with an I/O error.
  ASSERT_EQ(symlink("/proc/self/mem", path().c_str()), 0);
  for (bool cached : {false, true}) {
    config.init("test.cfg", cached);
    EXPECT_FALSE(config.set_string("a", "1")) << cached;
    EXPECT_EQ(get_last_error(), 4098) << cached;
    struct stat info;
    ASSERT_EQ(lstat(path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << cached;
    EXPECT_TRUE(leftovers().empty()) << cached;
  }
}

TEST_F(ConfigFileTest, AFailedCachedSetLeavesTheFileAndTheCache) {
  const std::string original = "a\n\t1\n";
  put(original);
  config.init("test.cfg", true);
  ASSERT_EQ(get("a"), "1");
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit size_limit = {3, 3};
    setrlimit(RLIMIT_FSIZE, &size_limit);
    bool as_before = !config.set_string("a", "2") && get_last_error() == 4098 &&
                     get("a") == "1" && !config.set_string("new", "x") && get("new") == "<failed>";
    _exit(as_before ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(bytes(), original);
  EXPECT_TRUE(leftovers().empty());
}

// ---- Cached mode

TEST_F(ConfigFileTest, CachedEntriesAreVisitedInKeyOrder) {
  put("# comment\nzeta\n\t1\nalpha\n\t2\nmid\n\t3\n");
  config.init("test.cfg", true);
  EXPECT_EQ(all(), (ENTRIES{{"alpha", "2"}, {"mid", "3"}, {"zeta", "1"}}));
  config.init("test.cfg", false);
  EXPECT_EQ(all(), (ENTRIES{{"zeta", "1"}, {"alpha", "2"}, {"mid", "3"}}));
}

TEST_F(ConfigFileTest, CachedSetWritesFileOrderWithoutComments) {
  put("# comment\nzeta\n\t1\n\nalpha\n\t2\n");
  config.init("test.cfg", true);
  EXPECT_TRUE(config.set_string("alpha", "two"));
  EXPECT_EQ(bytes(), "zeta\n\t1\nalpha\n\ttwo\n");
  EXPECT_TRUE(config.set_string("beta", "3"));
  EXPECT_EQ(bytes(), "zeta\n\t1\nalpha\n\ttwo\nbeta\n\t3\n");
  EXPECT_EQ(get("beta"), "3");
  EXPECT_EQ(all(), (ENTRIES{{"alpha", "two"}, {"beta", "3"}, {"zeta", "1"}}));
  EXPECT_FALSE(file_exists(dir.file("test.cfg.tmp")));
}

// A rewrite in either mode keeps every entry it read byte for byte, long
// keys and values included, and writes a long value set whole; reads give
// the first 79 and 255 characters, never half a character of the system
// form. Duplicate keys all take the value set.
TEST_F(ConfigFileTest, RewritesKeepLongEntriesWholeInBothModes) {
  const std::string long_key(100, 'k'), long_value(300, 'v');
  const std::string runs = std::string(250, 'x') + "\x01,4E2D,6587\x01";
  const std::string file = long_key + "\n\t" + long_value + "\ndup\n\t1\nshort\n\t" +
                           std::string(260, 'w') + "\ndup\n\t2\n";
  for (bool cached : {false, true}) {
    put(file);
    config.init("test.cfg", cached);
    EXPECT_EQ(get(std::string(79, 'k').c_str()), std::string(255, 'v')) << cached;
    EXPECT_TRUE(config.set_string("added", long_value.c_str())) << cached;
    EXPECT_TRUE(config.set_string("dup", "3")) << cached;
    EXPECT_TRUE(config.set_string("b", runs.c_str())) << cached;
    EXPECT_EQ(bytes(), long_key + "\n\t" + long_value + "\ndup\n\t3\nshort\n\t" +
                           std::string(260, 'w') + "\ndup\n\t3\nadded\n\t" + long_value +
                           "\nb\n\t" + std::string(250, 'x') + "\xE4\xB8\xAD\xE6\x96\x87\n")
        << cached;
    EXPECT_EQ(get("added"), std::string(255, 'v')) << cached;
    EXPECT_EQ(get("b"), std::string(250, 'x')) << cached;
  }
}

TEST_F(ConfigFileTest, CachedSetKeepsPermissionBitsAndMakesMissingFiles) {
  config.init("test.cfg", true);
  EXPECT_TRUE(config.set_string("a", "1"));
  EXPECT_EQ(bytes(), "a\n\t1\n");
  ASSERT_EQ(chmod(path().c_str(), 0600), 0);
  EXPECT_TRUE(config.set_string("a", "2"));
  struct stat info;
  ASSERT_EQ(stat(path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(ConfigFileTest, CachedReadsComeFromTheCache) {
  put("a\n\t1\n");
  config.init("test.cfg", true);
  EXPECT_EQ(get("a"), "1");
  put("a\n\tchanged behind our back\n");
  EXPECT_EQ(get("a"), "1");
  EXPECT_TRUE(config.load(true));
  EXPECT_EQ(get("a"), "changed behind our back");
}

TEST_F(ConfigFileTest, AnOverlongFileNameIsRefused) {
  std::string name(300, 'n');
  config.init(name.c_str(), false);
  EXPECT_FALSE(config.set_string("a", "1"));
  EXPECT_EQ(get_last_error(), 4098);
  for (size_t length : {255u, 256u}) {
    config.init(std::string(length, 'n').c_str(), false);
    EXPECT_EQ(strlen(config.file_name), length < 256 ? length : 0u);
  }
  config.init(nullptr, false);
  EXPECT_STREQ(config.file_name, "settings");
}

}  // namespace
