// The package archive: the stored form byte by byte, round trips through
// extraction and package data/text files, reuse of freed blocks, the kept
// list and read-only flags, hostile archives, write failures (a file-size
// limit in a child process stands in for a full disk) and archives near
// the 4 GiB limit (sparse files).
#include "package.h"
#include "package_data_file.h"
#include "package_text_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "data_file.h"
#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "package_test_support.h"
#include "test_support.h"

using package_test_support::pattern;
using test_support::read_file;
using test_support::write_file;

namespace {

// Archive integers as the format describes them: little-endian, at package
// positions, which count from the byte after the order byte.
uint32_t u32_at(const std::string& file, uint32_t position) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; i--) value = value << 8 | static_cast<uint8_t>(file[position + 1 + i]);
  return value;
}

void put_u32_at(std::string& file, uint32_t position, uint32_t value) {
  for (int i = 0; i < 4; i++) file[position + 1 + i] = static_cast<char>(value >> (8 * i));
}

std::string le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; i++) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::vector<std::string> list_names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
        names.push_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

using ProgressCalls = std::vector<std::array<uint32_t, 2>>;

int32_t record_progress(PACKAGE* package, uint32_t done, uint32_t total, intptr_t user) {
  EXPECT_NE(package, nullptr);
  reinterpret_cast<ProgressCalls*>(user)->push_back({done, total});
  return 1;  // ignored
}

// Bytes of a stored file read to its end through a package data file, whose
// size says as much; a note when it does not open.
std::string read_all(PACKAGE& package, const char* stored) {
  DATA_FILE* file = package.open_file(stored, 0, 0);
  if (!file) return "<not opened>";
  std::string bytes;
  char chunk[7000];
  for (int32_t got; (got = file->read(chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<size_t>(got));
  EXPECT_EQ(file->get_size(), bytes.size());
  EXPECT_TRUE(FOLDER::close_data_file(file));
  return bytes;
}

class PackageTest : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    set_message_box_handler(message_box_to_stderr);
    ASSERT_NO_FATAL_FAILURE(PackageScratchTest::SetUp());
  }
  void TearDown() override {
    PackageScratchTest::TearDown();
    set_message_box_handler(nullptr);
  }

  std::string path(const std::string& name) const { return scratch.file("work/" + name); }
  void source(const std::string& name, const std::string& bytes) const {
    ASSERT_TRUE(write_file(path(name), bytes));
  }
  // What extracting a stored file writes, or a note that it failed.
  std::string extracted(PACKAGE& package, const char* stored) const {
    return package.extract(work, "extracted", stored) ? read_file(path("extracted")) : "<not extracted>";
  }
  std::string temp_path() const {
    FOLDER temp;
    return temp.set("$TEMP", true) ? std::string(temp.path) : std::string();
  }
};

// ---- stored form -----------------------------------------------------------

TEST_F(PackageTest, NewArchiveIsOrderByteHeaderAndRootDirectory) {
  {
    PACKAGE package(work, "new.pkg", true, 1024, false, false);
    ASSERT_TRUE(package.is_open());
    EXPECT_EQ(get_last_error(), 0);
    EXPECT_EQ(package.header.directory, 26u);
  }
  std::string expected("\0VORNPKG\0", 9);
  expected += std::string("\x01\x00", 2) + le32(1024) + le32(26) + le32(0) + le32(0);
  expected += le32(4) + "root" + le32(0) + le32(0) + le32(0) + le32(0) + le32(0);
  ASSERT_EQ(expected.size(), 55u);
  EXPECT_EQ(read_file(path("new.pkg")), expected);
}

TEST_F(PackageTest, BlockSizeBelowOneMeansHalfAMebibyte) {
  { PACKAGE package(work, "a.pkg", true, 0, false, false); }
  { PACKAGE package(work, "b.pkg", true, -1, false, false); }
  EXPECT_EQ(u32_at(read_file(path("a.pkg")), 10), 524288u);
  EXPECT_EQ(u32_at(read_file(path("b.pkg")), 10), 524288u);
}

TEST_F(PackageTest, FileOf2500BytesIsRecordAndThreeBlocks) {
  std::string data = pattern(2500, 1);
  source("src.bin", data);
  ProgressCalls calls;
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    ASSERT_TRUE(package.add_file(work, "src.bin", "stored", false, record_progress,
                                 reinterpret_cast<intptr_t>(&calls)));
    EXPECT_EQ(get_last_error(), 0);
  }
  EXPECT_EQ(calls, (ProgressCalls{{1024, 2500}, {2048, 2500}, {2500, 2500}}));

  std::string file = read_file(path("p.pkg"));
  const uint32_t record = 54, name_length = 6, block = 1024 + 8;
  const uint32_t first = record + 4 + name_length + 16;
  ASSERT_EQ(file.size(), 1 + first + 3 * block);
  EXPECT_EQ(u32_at(file, 26 + 4 + 4), record);      // directory: first file
  EXPECT_EQ(u32_at(file, 26 + 4 + 4 + 4), record);  // and last file
  EXPECT_EQ(u32_at(file, record), name_length);
  EXPECT_EQ(file.substr(record + 5, name_length), "stored");
  EXPECT_EQ(u32_at(file, record + 10), first);
  EXPECT_EQ(u32_at(file, record + 14), first + 2 * block);
  EXPECT_EQ(u32_at(file, record + 18), 0u);
  EXPECT_EQ(u32_at(file, record + 22), 2500u);
  const uint32_t used[] = {1024, 1024, 452};
  for (uint32_t i = 0; i < 3; i++) {
    uint32_t at = first + i * block;
    EXPECT_EQ(u32_at(file, at), i < 2 ? at + block : 0u) << "block " << i;
    EXPECT_EQ(u32_at(file, at + 4 + 1024), used[i]) << "block " << i;
    EXPECT_EQ(file.substr(at + 5, used[i]), data.substr(i * 1024, used[i]));
  }
  // Bytes behind the used count are zeros.
  EXPECT_EQ(file.substr(first + 2 * block + 5 + 452, 1024 - 452), std::string(1024 - 452, '\0'));

  calls.clear();
  PACKAGE package(work, "p.pkg", false, -1, false, true);
  ASSERT_TRUE(package.extract(work, "out.bin", "stored", record_progress,
                              reinterpret_cast<intptr_t>(&calls)));
  EXPECT_EQ(read_file(path("out.bin")), data);
  EXPECT_EQ(calls, (ProgressCalls{{1024, 2500}, {2048, 2500}, {2500, 2500}}));
}

TEST_F(PackageTest, RoundTripsAtBlockEdgesAndSeveralMebibytes) {
  struct Case {
    const char* name;
    size_t size;
    uint32_t blocks;
  };
  const Case cases[] = {
      {"empty", 0, 1}, {"one_block", 1024, 1}, {"one_more", 1025, 2}, {"three", 3 * 1024, 3}};
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.is_open());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string data = pattern(c.size, static_cast<uint32_t>(c.size) + 7);
    source(c.name, data);
    uint32_t before = package.file->get_size();
    ProgressCalls stored, extracted;
    ASSERT_TRUE(package.add_file(work, c.name, nullptr, false, record_progress,
                                 reinterpret_cast<intptr_t>(&stored)));
    uint32_t record = 4 + static_cast<uint32_t>(strlen(c.name)) + 16;
    EXPECT_EQ(package.file->get_size() - before, record + c.blocks * (1024 + 8));

    PACKAGE_FILE_RECORD found;
    ASSERT_TRUE(package.find_file(c.name, found));
    EXPECT_EQ(found.size, c.size);
    EXPECT_STREQ(found.name.get_text(), c.name);
    ASSERT_TRUE(package.extract(work, (std::string(c.name) + ".out").c_str(), c.name,
                                record_progress, reinterpret_cast<intptr_t>(&extracted)));
    EXPECT_EQ(read_file(path(std::string(c.name) + ".out")), data);
    EXPECT_EQ(extracted, stored);  // one call per block that holds bytes, none for an empty file

    EXPECT_EQ(read_all(package, c.name), data);
  }
  // A source that tells no size beforehand is stored as it was read.
  FOLDER proc;
  ASSERT_TRUE(proc.set_absolute("/proc/self"));
  ASSERT_TRUE(package.add_file(proc, "cmdline", "c"));
  EXPECT_EQ(extracted(package, "c"), read_file("/proc/self/cmdline"));
}

TEST_F(PackageTest, SeveralMebibytesWithTheDefaultBlockSize) {
  std::string data = pattern(5 * 1024 * 1024 + 123, 99);
  source("big.bin", data);
  PACKAGE package(work, "p.pkg", true, -1, false, false);
  ProgressCalls calls;
  ASSERT_TRUE(package.add_file(work, "big.bin", nullptr, false, record_progress,
                               reinterpret_cast<intptr_t>(&calls)));
  ASSERT_EQ(calls.size(), 11u);
  EXPECT_EQ(calls.back(), (std::array<uint32_t, 2>{static_cast<uint32_t>(data.size()),
                                                   static_cast<uint32_t>(data.size())}));
  EXPECT_EQ(extracted(package, "big.bin"), data);
  EXPECT_EQ(read_all(package, "big.bin"), data);
  EXPECT_TRUE(list_names(temp_path()).empty());
}

// ---- replacing and the free list -------------------------------------------

TEST_F(PackageTest, ReplacingFreesBlocksThatAreReusedBeforeTheFileGrows) {
  source("big", pattern(2500, 1));
  source("other", pattern(10, 2));
  source("small", pattern(100, 3));
  source("again", pattern(2500, 4));
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "big", "f"));
  ASSERT_TRUE(package.add_file(work, "other"));
  PACKAGE_FILE_RECORD old;
  ASSERT_TRUE(package.find_file("f", old));
  const uint32_t block = 1024 + 8;
  const uint32_t b0 = old.first_block, b1 = b0 + block, b2 = b1 + block;
  uint32_t size = package.file->get_size();

  // Without the replace flag nothing changes.
  EXPECT_FALSE(package.add_file(work, "small", "f", false));
  EXPECT_EQ(package.file->get_size(), size);

  ASSERT_TRUE(package.add_file(work, "small", "f", true));
  EXPECT_EQ(package.file->get_size(), size) << "the replacement reuses a freed block";
  PACKAGE_FILE_RECORD now;
  ASSERT_TRUE(package.find_file("f", now));
  EXPECT_EQ(now.position, old.position) << "the record stays in its place";
  EXPECT_EQ(std::tuple(now.first_block, now.last_block, now.size, package.header.first_free, package.header.last_free),
            std::tuple(b0, b0, 100u, b1, b2));

  // The two free blocks go first, then the archive grows by one block.
  ASSERT_TRUE(package.add_file(work, "again"));
  EXPECT_EQ(package.header.first_free, 0u);
  EXPECT_EQ(package.header.last_free, 0u);
  EXPECT_EQ(package.file->get_size(), size + (4 + 5 + 16) + block);
  PACKAGE_FILE_RECORD again;
  ASSERT_TRUE(package.find_file("again", again));
  EXPECT_EQ(again.first_block, b1);

  for (const char* name : {"f", "other", "again"}) {
    EXPECT_EQ(extracted(package, name), read_file(path(name == std::string("f") ? "small" : name)));
  }
  // The header on disk says the same.
  package.flush();
  std::string file = read_file(path("p.pkg"));
  EXPECT_EQ(u32_at(file, 18), 0u);
  EXPECT_EQ(u32_at(file, 22), 0u);
}

TEST_F(PackageTest, ReplacingAnEmptyFileKeepsTheFreeListWhole) {
  source("two", pattern(2048, 1));
  source("zero", "");
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "two"));
  ASSERT_TRUE(package.add_file(work, "zero", "two", true));  // two blocks freed
  ASSERT_TRUE(package.add_file(work, "two", "z", true));
  ASSERT_TRUE(package.add_file(work, "two", "z", true));
  EXPECT_EQ(extracted(package, "z"), pattern(2048, 1));
  EXPECT_EQ(extracted(package, "two"), "");
}

// ---- flags -----------------------------------------------------------------

TEST_F(PackageTest, KeptListReachesTheDiskAtFlush) {
  source("a", pattern(300, 1));
  source("b", pattern(3000, 2));
  PACKAGE package(work, "p.pkg", true, 1024, true, false);
  ASSERT_TRUE(package.add_file(work, "a"));
  ASSERT_TRUE(package.add_file(work, "b"));
  ASSERT_TRUE(package.add_file(work, "a", "b", true));
  EXPECT_TRUE(package.has_file("b"));
  ASSERT_NE(package.list_head, nullptr);
  EXPECT_STREQ(package.list_head->name.get_text(), "a");
  ASSERT_EQ(package.list_head->next_entry, package.list_tail);
  {
    PACKAGE reader(work, "p.pkg", false, -1, false, true);
    ASSERT_TRUE(reader.is_open());
    EXPECT_FALSE(reader.has_file("a")) << "records stay in memory until flush";
  }
  ASSERT_TRUE(package.flush());
  PACKAGE reader(work, "p.pkg", false, -1, true, true);
  ASSERT_TRUE(reader.is_open());
  PACKAGE_FILE_RECORD b;
  ASSERT_TRUE(reader.find_file("b", b));
  EXPECT_EQ(b.size, 300u);
  EXPECT_NE(reader.header.first_free, 0u);
  EXPECT_EQ(extracted(reader, "b"), pattern(300, 1));
}

TEST_F(PackageTest, KeptListIsWrittenWhenThePackageCloses) {
  source("a", pattern(10, 1));
  {
    PACKAGE package(work, "p.pkg", true, 1024, true, false);
    ASSERT_TRUE(package.add_file(work, "a"));
  }
  PACKAGE reader(work, "p.pkg", false, -1, false, true);
  EXPECT_TRUE(reader.has_file("a"));
}

TEST_F(PackageTest, ReadOnlyPackageNeverWrites) {
  source("a", pattern(2000, 1));
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    ASSERT_TRUE(package.add_file(work, "a"));
  }
  std::string before = read_file(path("p.pkg"));
  {
    PACKAGE package(work, "p.pkg", true, 1024, true, true);
    ASSERT_TRUE(package.is_open());
    EXPECT_FALSE(package.add_file(work, "a", "b"));
    EXPECT_EQ(get_last_error(), 4104);
    EXPECT_EQ(package.open_file("a", 1, 0), nullptr);
    EXPECT_EQ(package.open_file("a", 2, 0), nullptr);
    EXPECT_EQ(package.open_text_file("a", 2), nullptr);
    EXPECT_EQ(read_all(package, "a"), pattern(2000, 1));
    EXPECT_TRUE(package.flush());
  }
  EXPECT_EQ(read_file(path("p.pkg")), before);
}

TEST_F(PackageTest, CreatingAMissingArchiveMakesItWritableEvenWhenAskedReadOnly) {
  source("a", "x");
  PACKAGE package(work, "p.pkg", true, 1024, true, true);
  ASSERT_TRUE(package.is_open());
  EXPECT_EQ(package.read_only, 0);
  EXPECT_TRUE(package.add_file(work, "a"));
}

TEST_F(PackageTest, MissingArchiveWithoutCreateStaysClosed) {
  PACKAGE package(work, "none.pkg", false, 1024, false, false);
  EXPECT_FALSE(package.is_open());
  EXPECT_EQ(get_last_error(), 4108);
  EXPECT_FALSE(test_support::file_exists(path("none.pkg")));
  source("a", "x");
  PACKAGE_FILE_RECORD record;
  for (int call = 0; call < 5; ++call) {  // each says why it failed
    set_last_error(0, nullptr);
    EXPECT_FALSE(call == 0   ? package.add_file(work, "a")
                 : call == 1 ? package.extract(work, "a")
                 : call == 2 ? package.find_file("a", record)
                 : call == 3 ? package.flush()
                             : package.open_file("a", 1, 0) != nullptr) << call;
    EXPECT_EQ(get_last_error(), 4109) << call;
  }
  EXPECT_FALSE(package.has_file("a"));
  EXPECT_STREQ(get_error_text(4109, nullptr), "Error: Package file did not open correctly.");
}

TEST_F(PackageTest, NamesCompareByteExact) {
  source("Readme", "r");
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "Readme"));
  EXPECT_TRUE(package.has_file("Readme"));
  EXPECT_FALSE(package.has_file("readme"));
  EXPECT_FALSE(package.has_file("Readme "));
  EXPECT_FALSE(package.extract(work, "readme"));
  EXPECT_EQ(get_last_error(), 4112);
  EXPECT_STREQ(get_last_error_text(), "Error: File readme not found in package.");
}

TEST_F(PackageTest, StoredNamesHoldUpTo2047Bytes) {
  source("a", "x");
  source("b", "bee");
  // A file deep in a folder tree has a name far longer than 255 bytes.
  std::string deep;
  while (deep.size() < 300) deep += "folder/";
  deep += "file";
  std::string longest(2047, 'n');
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    EXPECT_TRUE(package.add_file(work, "a", deep.c_str()));
    EXPECT_TRUE(package.add_file(work, "a", longest.c_str()));
    EXPECT_TRUE(package.add_file(work, "b"));
    std::string too_long(2048, 'n');
    EXPECT_FALSE(package.add_file(work, "a", too_long.c_str()));
    EXPECT_EQ(get_last_error(), 4111);
    EXPECT_FALSE(package.has_file(too_long.c_str()));
    EXPECT_EQ(package.open_file(too_long.c_str(), 1, 0), nullptr);
    EXPECT_EQ(std::string(get_last_error_text()).rfind("Error: Unable to create file nnn", 0), 0u);
    // An existing name without the replace flag is refused, and says so.
    EXPECT_FALSE(package.add_file(work, "b", "b"));
    EXPECT_EQ(get_last_error(), 4111);
    EXPECT_STREQ(get_last_error_text(), "Error: Unable to create file b.");
    EXPECT_FALSE(package.add_file(work, "missing source"));
    EXPECT_EQ(get_last_error(), 4110);
    EXPECT_STREQ(get_last_error_text(), "Error: Unable to open file missing source for packing.");
    // A source cut short while it is read fails rather than storing a part.
    source("shrinks", pattern(100000, 3));
    const std::string shrinks = path("shrinks");
    auto cut = [](PACKAGE*, uint32_t, uint32_t, intptr_t name) {
      return truncate(reinterpret_cast<const char*>(name), 0) == 0 ? 1 : 0;
    };
    EXPECT_FALSE(package.add_file(work, "shrinks", nullptr, false, cut,
                                  reinterpret_cast<intptr_t>(shrinks.c_str())));
    EXPECT_EQ(get_last_error(), 4103);
  }
  for (bool keep_list : {false, true}) {
    PACKAGE package(work, "p.pkg", false, -1, keep_list, true);
    ASSERT_TRUE(package.is_open()) << keep_list;
    EXPECT_TRUE(package.has_file(deep.c_str()));
    EXPECT_TRUE(package.has_file(longest.c_str()));
    EXPECT_EQ(extracted(package, "b"), "bee");
    EXPECT_EQ(read_all(package, longest.c_str()), "x");
  }
}

TEST_F(PackageTest, FailuresAreWrittenToThePlatformStreamWhenItHasOutput) {
  DEBUG_STREAM& stream = platform_debug_stream();
  stream.apply_pending_settings();
  const uint16_t flags = stream.flags;
  stream.flags = DEBUG_TO_CONSOLE | DEBUG_CODE_LOCATION;
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(package.extract(work, "nothing"));
  std::string out = testing::internal::GetCapturedStdout();
  stream.flags = flags;
  EXPECT_NE(out.find("(code/package,"), std::string::npos) << out;
  EXPECT_NE(out.find("Error: File nothing not found in package."), std::string::npos) << out;
}

// ---- package data and text files -------------------------------------------

TEST_F(PackageTest, DataFileOfAMissingStoredFile) {
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  EXPECT_EQ(package.open_file("new", 0, 0), nullptr);
  EXPECT_EQ(get_last_error(), 4112);

  DATA_FILE* file = package.open_file("new", 1, 255);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->get_size(), 0u);
  ASSERT_TRUE(file->write_u32(0x11223344));
  ASSERT_TRUE(file->write_string("hello"));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  EXPECT_TRUE(list_names(temp_path()).empty()) << "the copy is removed";

  // Mode 1 with order 255 wrote the order byte 0 first.
  EXPECT_EQ(extracted(package, "new"), std::string("\0\x44\x33\x22\x11", 5) + le32(5) + "hello");

  file = package.open_file("new", 0, 255);
  ASSERT_NE(file, nullptr);
  uint32_t value = 0;
  char text[16];
  EXPECT_TRUE(file->read_u32(value));
  EXPECT_EQ(value, 0x11223344u);
  EXPECT_TRUE(file->read_string(text, sizeof text));
  EXPECT_STREQ(text, "hello");
  EXPECT_TRUE(FOLDER::close_data_file(file));
}

TEST_F(PackageTest, DataFileUpdateIsStoredBackOnClose) {
  std::string data = pattern(5000, 5);
  source("d", data);
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "d"));
  DATA_FILE* file = package.open_file("d", 2, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->get_size(), 5000u);
  ASSERT_TRUE(file->seek(4000, false));
  ASSERT_EQ(file->write("CHANGED", 7), 7);
  ASSERT_TRUE(file->seek(0, true));
  ASSERT_EQ(file->write("TAIL", 4), 4);
  ASSERT_TRUE(FOLDER::close_data_file(file));
  data.replace(4000, 7, "CHANGED");
  data += "TAIL";
  EXPECT_EQ(extracted(package, "d"), data);
}

TEST_F(PackageTest, DataFileReadOnlyCloseLeavesThePackageAlone) {
  source("d", pattern(100, 1));
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "d"));
  std::string before = read_file(path("p.pkg"));
  DATA_FILE* file = package.open_file("d", 0, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(FOLDER::close_data_file(file));
  package.flush();
  EXPECT_EQ(read_file(path("p.pkg")), before);
  EXPECT_TRUE(list_names(temp_path()).empty());
}

TEST_F(PackageTest, FailedWriteBackIsReportedAndTheCopyKept) {
  DATA_FILE* file = nullptr;
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    file = package.open_file("d", 1, 0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->write("new content", 11), 11);
  }  // the package goes first
  EXPECT_FALSE(FOLDER::close_data_file(file));
  EXPECT_EQ(get_last_error(), 4109);
  std::vector<std::string> kept = list_names(temp_path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(read_file(temp_path() + "/" + kept[0]), "new content");
}

TEST_F(PackageTest, TemporaryCopiesHaveFreshNames) {
  source("d", "abc");
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "d"));
  DATA_FILE* one = package.open_file("d", 0, 0);
  DATA_FILE* two = package.open_file("d", 0, 0);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  const char* name_one = static_cast<PACKAGE_DATA_FILE*>(one)->temporary_name;
  const char* name_two = static_cast<PACKAGE_DATA_FILE*>(two)->temporary_name;
  EXPECT_STRNE(name_one, name_two);
  EXPECT_EQ(strlen(name_one), 12u);  // "%08X.tmp"
  EXPECT_STREQ(name_one + 8, ".tmp");
  EXPECT_EQ(list_names(temp_path()).size(), 2u);
  EXPECT_TRUE(FOLDER::close_data_file(one));
  EXPECT_TRUE(FOLDER::close_data_file(two));
  EXPECT_TRUE(list_names(temp_path()).empty());
}

TEST_F(PackageTest, TextFilesWriteAppendAndRead) {
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  EXPECT_EQ(package.open_text_file("notes", 0), nullptr);
  PACKAGE_TEXT_FILE* text = package.open_text_file("notes", 1);
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(text->write_string("first line\n"));
  ASSERT_TRUE(text->write_string("caf\xE9\n"));
  ASSERT_TRUE(PACKAGE::close_text_file(text));
  EXPECT_EQ(text, nullptr);

  text = package.open_text_file("notes", 2);
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(text->write_string("appended\n"));
  ASSERT_TRUE(PACKAGE::close_text_file(text));

  EXPECT_EQ(extracted(package, "notes"), "first line\ncaf\xC3\xA9\nappended\n");

  text = package.open_text_file("notes", 0);
  ASSERT_NE(text, nullptr);
  char line[256];
  std::vector<std::string> lines;
  while (text->read_line(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"first line", "caf\xE9", "appended"}));
  EXPECT_TRUE(PACKAGE::close_text_file(text));
  EXPECT_EQ(package.open_text_file("notes", 3), nullptr);  // no such mode
  EXPECT_EQ(package.open_file("notes", 3, 0), nullptr);
  EXPECT_TRUE(list_names(temp_path()).empty());
}

// ---- extraction targets ----------------------------------------------------

TEST_F(PackageTest, ExtractionStaysInsideItsFolder) {
  source("a", "secret");
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "a"));
  ASSERT_EQ(mkdir(path("sub").c_str(), 0700), 0);
  FOLDER sub;
  ASSERT_TRUE(sub.set_absolute(path("sub").c_str()));
  ASSERT_EQ(mkdir(path("sub/deeper").c_str(), 0700), 0);
  for (const char* bad : {"../escaped", "/deeper/absolute", "x/../../escaped", ".."}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(package.extract(sub, bad, "a"));
    EXPECT_EQ(get_last_error(), 4111);
  }
  EXPECT_FALSE(test_support::file_exists(path("escaped")));
  // Dots that are not a whole ".." part, and two-letter parts, stay inside.
  for (const char* good : {"deeper/a..b", "deeper/..c", "deeper/ab"}) {
    EXPECT_TRUE(package.extract(sub, good, "a")) << good;
    EXPECT_EQ(read_file(path("sub/") + good), "secret");
  }
  std::vector<std::string> names = list_names(path("sub/deeper"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"..c", "a..b", "ab"}));
}

TEST_F(PackageTest, ExtractionReplacesAnExistingFileAndFailsCleanly) {
  source("a", "new bytes");
  source("old", "old bytes that are longer");
  PACKAGE package(work, "p.pkg", true, 1024, false, false);
  ASSERT_TRUE(package.add_file(work, "a"));
  ASSERT_TRUE(package.extract(work, "old", "a"));
  EXPECT_EQ(read_file(path("old")), "new bytes");

  // A folder path that is a file: nothing can be created there.
  FOLDER not_a_folder;
  ASSERT_TRUE(not_a_folder.set_absolute(path("old").c_str()));
  EXPECT_FALSE(package.extract(not_a_folder, "x", "a"));
  EXPECT_EQ(get_last_error(), 4111);
  EXPECT_STREQ(get_last_error_text(), "Error: Unable to create file x.");
}

// Runs body in a child whose files may not grow past limit bytes (the
// child's stand-in for a full disk); the child's exit status is returned.
template <typename BODY>
int in_child_with_file_limit(rlim_t limit, BODY body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(PackageTest, FullDiskDuringExtractionLeavesNoFileUnderTheRealName) {
  std::string data = pattern(1 << 20, 8);
  source("big", data);
  {
    PACKAGE package(work, "p.pkg", true, 65536, false, false);
    ASSERT_TRUE(package.add_file(work, "big"));
  }
  ASSERT_EQ(mkdir(path("out").c_str(), 0700), 0);
  FOLDER out;
  ASSERT_TRUE(out.set_absolute(path("out").c_str()));
  int status = in_child_with_file_limit(100000, [&] {
    PACKAGE package(work, "p.pkg", false, -1, false, true);
    if (!package.is_open()) return 10;
    if (package.extract(out, "big", "big")) return 11;
    if (get_last_error() != 4104) return 12;
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(list_names(path("out")).empty()) << "neither the file nor its temporary name";
}

TEST_F(PackageTest, FullDiskWhileAddingReportsWriteFailure) {
  source("first", pattern(3000, 1));
  source("second", pattern(50000, 2));
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    ASSERT_TRUE(package.add_file(work, "first"));
  }
  rlim_t limit = read_file(path("p.pkg")).size() + 5000;
  int status = in_child_with_file_limit(limit, [&] {
    PACKAGE package(work, "p.pkg", false, -1, false, false);
    if (!package.is_open()) return 10;
    if (package.add_file(work, "second")) return 11;
    if (get_last_error() != 4104) return 12;
    return 0;
  });
  EXPECT_EQ(status, 0);
  // The archive is still whole, and the earlier file intact.
  PACKAGE package(work, "p.pkg", false, -1, false, true);
  ASSERT_TRUE(package.is_open());
  ASSERT_TRUE(package.extract(work, "first.out", "first")) << get_last_error_text();
  EXPECT_EQ(read_file(path("first.out")), pattern(3000, 1));
  // The broken-off file shows as damaged, never as a shorter file.
  if (package.has_file("second")) {
    if (package.extract(work, "second.out", "second"))
      EXPECT_EQ(read_file(path("second.out")), pattern(50000, 2));
    else
      EXPECT_EQ(get_last_error(), 4103);
  }
}

// ---- opening failures ------------------------------------------------------

TEST_F(PackageTest, ForeignFilesAreRefusedAndLeftUntouched) {
  std::string text = "This is no package at all, just some text.";
  source("text.pkg", text);
  {
    PACKAGE package(work, "text.pkg", true, 1024, false, false);
    EXPECT_FALSE(package.is_open());
    EXPECT_EQ(get_last_error(), 4105);
    EXPECT_STREQ(get_last_error_text(), "Error: text.pkg does not appear to be a package file.");
  }
  EXPECT_EQ(read_file(path("text.pkg")), text);

  { PACKAGE package(work, "v.pkg", true, 1024, false, false); }
  std::string file = read_file(path("v.pkg"));
  file[9] = 2;  // version 2
  source("v.pkg", file);
  PACKAGE package(work, "v.pkg", true, 1024, false, false);
  EXPECT_FALSE(package.is_open());
  EXPECT_EQ(get_last_error(), 4106);

  source("empty.pkg", "");
  PACKAGE empty(work, "empty.pkg", true, 1024, false, false);
  EXPECT_FALSE(empty.is_open());
  EXPECT_EQ(get_last_error(), 4103);
  EXPECT_EQ(read_file(path("empty.pkg")), "");
}

TEST_F(PackageTest, BigEndianArchivesAreRead) {
  // Order byte 1: every integer is stored most significant byte first.
  auto be = [](uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  std::string file("\x01VORNPKG\0\x00\x01", 11);
  file += be(8) + be(26) + be(0) + be(0);
  file += be(4) + "root" + be(54) + be(54) + be(0) + be(0) + be(0);
  file += be(2) + "be" + be(76) + be(92) + be(0) + be(12);
  file += be(92) + "abcdefgh" + be(8);
  file += be(0) + std::string("ijkl\0\0\0\0", 8) + be(4);
  source("be.pkg", file);
  PACKAGE package(work, "be.pkg", false, -1, false, false);
  ASSERT_TRUE(package.is_open());
  EXPECT_EQ(extracted(package, "be"), "abcdefghijkl");
  // Writing keeps the file's byte order.
  source("more", "12345");
  ASSERT_TRUE(package.add_file(work, "more"));
  std::string after = read_file(path("be.pkg"));
  EXPECT_EQ(after.substr(1 + 54 + 4 + 2 + 8, 4),
            be(108));  // the old last record links to the new one
  EXPECT_EQ(after.substr(1 + 108, 8), be(4) + "more");
  EXPECT_EQ(extracted(package, "more"), "12345");
}

// ---- hostile archives ------------------------------------------------------

// A valid archive with block size 1024: "a" (2500 bytes: record at 54,
// blocks at 75, 1107, 2139) and "b" (10 bytes: record at 3171, block at
// 3192). The cases below break one thing each.
class HostilePackageTest : public PackageTest {
protected:
  void SetUp() override {
    PackageTest::SetUp();
    source("a", pattern(2500, 1));
    source("b", pattern(10, 2));
    {
      PACKAGE package(work, "good.pkg", true, 1024, false, false);
      ASSERT_TRUE(package.add_file(work, "a"));
      ASSERT_TRUE(package.add_file(work, "b"));
    }
    good = read_file(path("good.pkg"));
    ASSERT_EQ(good.size(), 1u + 4224);
    ASSERT_EQ(u32_at(good, 54 + 5), 75u);
    ASSERT_EQ(u32_at(good, 3171 + 5), 3192u);
  }

  // Opens the damaged bytes and tries everything a reader does; returns
  // the error code of the first failure (0 when nothing failed).
  uint16_t try_archive(const std::string& bytes, bool keep_list = false) {
    source("bad.pkg", bytes);
    set_last_error(0, "");
    PACKAGE package(work, "bad.pkg", false, -1, keep_list, false);
    if (!package.is_open()) return get_last_error();
    PACKAGE_FILE_RECORD record;
    if (!package.find_file("zzz", record) && get_last_error() != 0) return get_last_error();
    for (const char* name : {"a", "b"}) {
      if (!package.extract(work, "out", name)) {
        EXPECT_FALSE(test_support::file_exists(path("out")));
        for (const std::string& left : list_names(scratch.file("work")))
          EXPECT_EQ(left.find(".vorn-"), std::string::npos) << "temporary file left: " << left;
        return get_last_error();
      }
      remove(path("out").c_str());
    }
    source("c", pattern(1500, 3));
    if (!package.add_file(work, "c", "a", true)) return get_last_error();
    return 0;
  }

  std::string good;
};

TEST_F(HostilePackageTest, TheUndamagedArchiveWorks) {
  EXPECT_EQ(try_archive(good), 0);
  EXPECT_EQ(try_archive(good, true), 0);
}

TEST_F(HostilePackageTest, TruncatedArchives) {
  for (size_t length : {size_t{0}, size_t{5}, size_t{12}, size_t{40}, size_t{60}, size_t{2000},
                        size_t{3180}, good.size() - 1}) {
    SCOPED_TRACE(length);
    uint16_t code = try_archive(good.substr(0, length));
    EXPECT_TRUE(code == 4103 || code == 4105) << code;
  }
}

TEST_F(HostilePackageTest, CyclicAndOverlongChains) {
  const uint32_t a_last = 54 + 5 + 4, a_size = 54 + 5 + 12, b_first = 3171 + 5, used = 4 + 1024;
  const struct {
    std::vector<std::array<uint32_t, 2>> edits;  // {field, value}
    uint16_t code;
  } chains[] = {
      {{{1107, 75}}, 4103},          // a's second block leads back to its first
      {{{2139, 75}}, 0},             // a loop behind the record's last block is never followed
      {{{3171 + 5 + 8, 54}}, 4103},  // b's record leads back to a's record
      {{{54 + 5 + 8, 54}}, 4103},    // a record that leads to itself
      // The first loop in an empty file: no block holds data.
      {{{a_size, 0}, {75 + used, 0}, {1107 + used, 0}, {2139 + used, 0}, {1107, 75}}, 4103},
      // a cut to its first block; b's 10 bytes behind one spare empty block, or two.
      {{{a_last, 75}, {a_size, 1024}, {b_first, 2139}, {2139 + used, 0}, {2139, 3192}}, 0},
      {{{a_last, 75}, {a_size, 1024}, {b_first, 1107}, {1107 + used, 0}, {2139 + used, 0}, {2139, 3192}}, 4103},
  };
  for (const auto& chain : chains) {
    SCOPED_TRACE(&chain - chains);
    std::string bytes = good;
    for (const auto& [field, value] : chain.edits) put_u32_at(bytes, field, value);
    EXPECT_EQ(try_archive(bytes), chain.code);
    EXPECT_EQ(try_archive(bytes, true), chain.code);
  }
}

TEST_F(HostilePackageTest, HugeNameLengths) {
  // Lengths above 2047 are refused as such, also where the archive would hold them.
  DEBUG_STREAM& stream = platform_debug_stream();
  stream.apply_pending_settings();
  const uint16_t flags = std::exchange(stream.flags, DEBUG_TO_CONSOLE);
  for (uint32_t length : {256u, 2048u, 5000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    std::string bytes = good;
    put_u32_at(bytes, 54, length);  // a's record
    testing::internal::CaptureStdout();
    EXPECT_EQ(try_archive(bytes), 4103);
    EXPECT_EQ(try_archive(bytes, true), 4103);
    bytes = good;
    put_u32_at(bytes, 26, length);  // the directory's name
    EXPECT_EQ(try_archive(bytes), 4103);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("file name longer than the archive allows") != std::string::npos, length > 2047);
    EXPECT_EQ(out.find("directory name longer than the archive allows") != std::string::npos, length > 2047);
  }
  stream.flags = flags;
}

TEST_F(HostilePackageTest, BlockSizeZeroOrAbove50MiB) {
  for (uint32_t size : {0u, 52428801u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(size);
    std::string bytes = good;
    put_u32_at(bytes, 10, size);
    EXPECT_EQ(try_archive(bytes), 4105);
  }
}

TEST_F(HostilePackageTest, PositionsCountsAndSizesThatDoNotFit) {
  struct Case {
    uint32_t field;
    uint32_t value;
  };
  const Case cases[] = {
      {14, 0x7FFFFFF0},  // directory
      {14, 5000},
      {14, 3},  // directory inside the header
      {18, 999999},
      {22, 999999},          // free list
      {18, 75},              // free list with only a first block
      {30 + 4, 0xFFFFFF00},  // first file record
      {30 + 4, 10},
      {30 + 8, 60000},       // last file record
      {54 + 5, 0xFFFFFF00},  // a's first block
      {54 + 5, 20},
      {54 + 5 + 4, 70000},       // a's last block
      {54 + 5 + 8, 0x80000000},  // a's next record
      {75, 4300},                // a's second block
      {75, 8},                   // a block inside the header
      {75 + 4 + 1024, 5000},     // a used count past the block
      {75 + 4 + 1024, 0xFFFFFFFF},
      {54 + 5 + 12, 100},   // blocks that hold more than the record's size
      {54 + 5 + 12, 3000},  // or less
      {10, 4096},           // a larger block size than the blocks really are
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.field << " = " << c.value);
    std::string bytes = good;
    put_u32_at(bytes, c.field, c.value);
    EXPECT_EQ(try_archive(bytes), 4103);
  }
  std::string bytes = good;  // a free list whose blocks run past the end
  put_u32_at(bytes, 18, 4200);
  put_u32_at(bytes, 22, 4200);
  EXPECT_EQ(try_archive(bytes), 4103);
}

// A free list that comes back on itself would hand one block out twice,
// and the new file would lose its data while the store reported success.
TEST_F(HostilePackageTest, FreeListThatRunsInACircle) {
  std::string bytes = good;
  put_u32_at(bytes, 18, 1107);    // first free block
  put_u32_at(bytes, 22, 3192);    // last free block, never reached
  put_u32_at(bytes, 2139, 1107);  // 1107 -> 2139 -> 1107 -> ...
  source("c", pattern(5000, 4));
  for (bool keep_list : {false, true}) {
    SCOPED_TRACE(keep_list);
    source("bad.pkg", bytes);
    set_last_error(0, "");
    PACKAGE package(work, "bad.pkg", false, -1, keep_list, false);
    ASSERT_TRUE(package.is_open());
    EXPECT_FALSE(package.add_file(work, "c"));
    EXPECT_EQ(get_last_error(), 4103);
  }
}

// A write that broke off between linking a new record and updating the
// directory leaves the directory's last file behind the chain: the chain
// counts, and the next record goes behind its real end.
TEST_F(HostilePackageTest, DirectoryWhoseLastFileLagsBehindTheChain) {
  std::string bytes = good;
  put_u32_at(bytes, 30 + 8, 54);
  EXPECT_EQ(try_archive(bytes), 0);
  source("bad.pkg", bytes);
  source("new", "new file");
  {
    PACKAGE package(work, "bad.pkg", false, -1, false, false);
    ASSERT_TRUE(package.add_file(work, "new"));
  }
  std::string after = read_file(path("bad.pkg"));
  EXPECT_EQ(u32_at(after, 3171 + 5 + 8), 4224u);  // b links to the new record
  EXPECT_EQ(u32_at(after, 30 + 8), 4224u);
  PACKAGE package(work, "bad.pkg", false, -1, true, true);
  EXPECT_TRUE(package.has_file("a"));
  EXPECT_TRUE(package.has_file("b"));
  EXPECT_EQ(extracted(package, "new"), "new file");
}

// ---- the 4 GiB limit ---------------------------------------------------------

TEST_F(PackageTest, PositionsAbove2GiBWork) {
  { PACKAGE package(work, "sparse.pkg", true, 1024, false, false); }
  ASSERT_EQ(truncate(path("sparse.pkg").c_str(), 0xC0000000), 0);  // 3 GiB, sparse
  std::string data = pattern(2500, 6);
  source("f", data);
  {
    PACKAGE package(work, "sparse.pkg", false, -1, false, false);
    ASSERT_TRUE(package.is_open());
    ASSERT_TRUE(package.add_file(work, "f"));
    PACKAGE_FILE_RECORD record;
    ASSERT_TRUE(package.find_file("f", record));
    EXPECT_EQ(record.position, 0xC0000000u - 1);
    EXPECT_GT(record.first_block, 0x80000000u);
  }
  PACKAGE package(work, "sparse.pkg", false, -1, true, true);
  ASSERT_TRUE(package.is_open());
  EXPECT_EQ(extracted(package, "f"), data);
}

TEST_F(PackageTest, ArchiveRefusesToGrowPast4GiB) {
  { PACKAGE package(work, "huge.pkg", true, 1024, false, false); }
  ASSERT_EQ(truncate(path("huge.pkg").c_str(), 0xFFFFFF00), 0);  // sparse
  source("f", pattern(100, 1));
  PACKAGE package(work, "huge.pkg", false, -1, false, false);
  ASSERT_TRUE(package.is_open());
  EXPECT_FALSE(package.add_file(work, "f"));
  EXPECT_EQ(get_last_error(), 4104);
  struct stat st;
  ASSERT_EQ(stat(path("huge.pkg").c_str(), &st), 0);
  EXPECT_LE(st.st_size, 0xFFFFFFFFll);
}

}  // namespace
