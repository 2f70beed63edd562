// The archive's byte layout, checked by an independent reader: a small
// Python program written from the format description (package_reader.py)
// lists what it finds in archives this program wrote, and extracts the
// files, which must match what was stored.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "package.h"
#include "package_test_support.h"
#include "test_support.h"

using package_test_support::pattern;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;

namespace {

class PackageLayoutTest : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PackageScratchTest::SetUp());
    ASSERT_EQ(mkdir(scratch.file("read").c_str(), 0700), 0);
  }

  void add(PACKAGE& package, const std::string& stored, const std::string& bytes,
           bool replace = false) {
    ASSERT_TRUE(write_file(scratch.file("work/source"), bytes));
    ASSERT_TRUE(package.add_file(work, "source", stored.c_str(), replace)) << get_last_error_text();
  }

  // The reader's listing, extracting into "read/<index>".
  test_support::RunResult read_archive(const std::string& name) {
    return run_program({"/usr/bin/python3", TEST_SOURCE_DIR "/platform/package_reader.py",
                        scratch.file("work/" + name), "--extract", scratch.file("read")},
                       {"PYTHONIOENCODING=utf-8"});
  }
  std::string extracted(int index) {
    return read_file(scratch.file("read/" + std::to_string(index)));
  }
};

TEST_F(PackageLayoutTest, ReaderListsTheSameNamesAndSizes) {
  const std::string spaced = pattern(3000, 4);
  const std::string latin = pattern(100, 5);
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    ASSERT_TRUE(package.is_open());
    add(package, "empty", "");
    add(package, "one_block", pattern(1024, 1));
    add(package, "one_more", pattern(1025, 2));
    add(package, "dir/name with spaces", spaced);
    add(package, "caf\xE9", latin);
    add(package, "one_more", "ten bytes!", true);  // two blocks freed, one reused
  }
  test_support::RunResult result = read_archive("p.pkg");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "block_size 1024\n"
            "file 0 1 empty\n"
            "file 1024 1 one_block\n"
            "file 10 1 one_more\n"
            "file 3000 3 dir/name with spaces\n"
            "file 100 1 caf\xC3\xA9\n"
            "free 1\n");
  EXPECT_EQ((std::vector<std::string>{extracted(0), extracted(1), extracted(2), extracted(3), extracted(4)}),
            (std::vector<std::string>{"", pattern(1024, 1), "ten bytes!", spaced, latin}));
}

TEST_F(PackageLayoutTest, KeptListArchiveAfterManyReplacements) {
  {
    PACKAGE package(work, "k.pkg", true, 512, true, false);
    for (int round = 0; round < 5; round++) {
      add(package, "a", pattern(700 + 300 * round, round), true);
      add(package, "b", pattern(2000 - 350 * round, 10 + round), true);
    }
    add(package, "c", pattern(5, 99));
  }
  test_support::RunResult result = read_archive("k.pkg");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  // Freed blocks are always taken before the archive grows: the most the
  // two files ever held at once is 4 + 3 blocks (round 3), and c takes the
  // last free one.
  EXPECT_EQ(result.out,
            "block_size 512\n"
            "file 1900 4 a\n"
            "file 600 2 b\n"
            "file 5 1 c\n"
            "free 0\n");
  const size_t records = 3 * (4 + 1 + 16);
  EXPECT_EQ(read_file(scratch.file("work/k.pkg")).size(), 1 + 26 + 28 + records + 7 * (512 + 8));
  EXPECT_EQ(extracted(0), pattern(1900, 4));
  EXPECT_EQ(extracted(1), pattern(600, 14));
  EXPECT_EQ(extracted(2), pattern(5, 99));
}

TEST_F(PackageLayoutTest, DefaultBlockSizeAndSeveralMebibytes) {
  const std::string big = pattern(3 * 1024 * 1024 + 1, 7);
  {
    PACKAGE package(work, "big.pkg", true, -1, false, false);
    add(package, "big", big);
    add(package, "small", "s");
  }
  test_support::RunResult result = read_archive("big.pkg");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "block_size 524288\nfile 3145729 7 big\nfile 1 1 small\nfree 0\n");
  EXPECT_EQ(extracted(0), big);
}

TEST_F(PackageLayoutTest, ReaderRefusesADamagedArchive) {
  {
    PACKAGE package(work, "p.pkg", true, 1024, false, false);
    add(package, "a", pattern(100, 1));
  }
  std::string bytes = read_file(scratch.file("work/p.pkg"));
  bytes[1 + 75 + 4 + 1024] = 101;  // used 101 > size 100: the reader notices
  ASSERT_TRUE(write_file(scratch.file("work/p.pkg"), bytes));
  test_support::RunResult result = read_archive("p.pkg");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("broken archive"), std::string::npos) << result.err;
}

}  // namespace
