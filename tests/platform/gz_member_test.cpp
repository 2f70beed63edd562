#include "gz_member.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gzip_test_support.h"
#include "test_support.h"

using gzip_test_support::kGzip;
using gzip_test_support::zlib_gunzip;
using test_support::ScratchDir;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;

namespace {

// Text with repeats (compresses) mixed with noise (does not), long enough
// to need several output blocks.
std::string sample_payload(size_t size) {
  std::string out;
  out.reserve(size);
  uint32_t state = 12345;
  while (out.size() < size) {
    if ((out.size() / 4096) % 2 == 0) {
      out += "line of installer data ";
    } else {
      state = state * 1103515245u + 12345u;
      out += static_cast<char>(state >> 24);
    }
  }
  out.resize(size);
  return out;
}

// Writes "HEAD", a member holding payload, then "TAIL"; returns the
// member's start and end offsets.
void write_embedded(const std::string& path, const std::string& payload, long& member_start,
                    long& member_end) {
  FILE* file = fopen(path.c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  fwrite("HEAD", 1, 4, file);
  member_start = ftell(file);
  GZ_MEMBER* member = gzopen_file(file, "wb");
  ASSERT_NE(member, nullptr);
  // Several calls, one of them empty.
  size_t half = payload.size() / 2;
  EXPECT_EQ(gz_write(member, payload.data(), static_cast<uint32_t>(half)), static_cast<int32_t>(half));
  EXPECT_EQ(gz_write(member, payload.data(), 0), 0);
  EXPECT_EQ(gz_write(member, payload.data() + half, static_cast<uint32_t>(payload.size() - half)),
            static_cast<int32_t>(payload.size() - half));
  EXPECT_EQ(gz_tell(member), static_cast<int64_t>(payload.size()));
  EXPECT_EQ(gzclose_keep_file(member), Z_OK);
  member_end = ftell(file);
  EXPECT_EQ(fwrite("TAIL", 1, 4, file), 4u);  // the stream is still open
  EXPECT_EQ(fclose(file), 0);
}

std::string read_all(GZ_MEMBER* member, size_t chunk) {
  std::string out;
  std::vector<char> buffer(chunk);
  for (;;) {
    int32_t n = gz_read(member, buffer.data(), static_cast<uint32_t>(chunk));
    if (n <= 0) break;
    out.append(buffer.data(), static_cast<size_t>(n));
  }
  return out;
}

TEST(GzMemberWrite, MemberInsideOtherDataIsAValidGzipFileOnceCutOut) {
  ScratchDir dir;
  std::string payload = sample_payload(300000);
  long member_start = 0, member_end = 0;
  write_embedded(dir.file("mixed.bin"), payload, member_start, member_end);

  std::string bytes = read_file(dir.file("mixed.bin"));
  ASSERT_EQ(bytes.size(), static_cast<size_t>(member_end) + 4);
  EXPECT_EQ(bytes.substr(0, 4), "HEAD");
  EXPECT_EQ(bytes.substr(bytes.size() - 4), "TAIL");
  std::string member = bytes.substr(static_cast<size_t>(member_start),
                                    static_cast<size_t>(member_end - member_start));
  EXPECT_EQ(member.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10));

  // Trailer: CRC-32 and length, little-endian.
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(payload.data()), static_cast<uInt>(payload.size()));
  auto stored = [&](size_t from_end) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--) value = (value << 8) | static_cast<uint8_t>(member[member.size() - from_end + i]);
    return value;
  };
  EXPECT_EQ(stored(8), static_cast<uint32_t>(crc));
  EXPECT_EQ(stored(4), payload.size());

  std::string inflated;
  EXPECT_TRUE(zlib_gunzip(member, inflated));
  EXPECT_EQ(inflated, payload);

  if (access(kGzip, X_OK) == 0) {
    ASSERT_TRUE(write_file(dir.file("member.gz"), member));
    test_support::RunResult run = run_program({kGzip, "-d", "-c", dir.file("member.gz")});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.out == payload);
  }
}

TEST(GzMemberRead, ReadsTheMemberAndLeavesTheStreamBehindIt) {
  ScratchDir dir;
  std::string payload = sample_payload(100000);
  long member_start = 0, member_end = 0;
  write_embedded(dir.file("mixed.bin"), payload, member_start, member_end);

  FILE* file = fopen(dir.file("mixed.bin").c_str(), "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(fseek(file, member_start, SEEK_SET), 0);
  GZ_MEMBER* member = gzopen_file(file, "rb");
  ASSERT_NE(member, nullptr);
  EXPECT_FALSE(gz_eof(member));
  EXPECT_EQ(read_all(member, 777), payload);
  EXPECT_TRUE(gz_eof(member));
  EXPECT_EQ(gz_read(member, nullptr, 0), -1);
  char byte;
  EXPECT_EQ(gz_read(member, &byte, 1), 0);
  EXPECT_EQ(gzclose_keep_file(member), Z_OK);
  EXPECT_EQ(ftell(file), member_end);
  char tail[5] = {};
  EXPECT_EQ(fread(tail, 1, 4, file), 4u);
  EXPECT_STREQ(tail, "TAIL");
  fclose(file);
}

TEST(GzMemberRead, ReadsWhatGzipWrote) {
  if (access(kGzip, X_OK) != 0) GTEST_SKIP() << "no gzip";
  ScratchDir dir;
  std::string payload = sample_payload(50000);
  ASSERT_TRUE(write_file(dir.file("plain.txt"), payload));
  // gzip stores the original name in the header.
  test_support::RunResult run = run_program({kGzip, "-9", dir.file("plain.txt")});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  GZ_MEMBER* member = gz_open(dir.file("plain.txt.gz").c_str(), "rb", nullptr);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(read_all(member, 4096), payload);
  EXPECT_EQ(gz_error(member), Z_STREAM_END);
  EXPECT_EQ(gz_destroy(member), Z_OK);
}

TEST(GzMemberRead, OptionalHeaderFieldsAreSkipped) {
  ScratchDir dir;
  std::string payload = sample_payload(32663);  // deflates to 16385 bytes: one past the output buffer
  long member_start = 0, member_end = 0;
  write_embedded(dir.file("mixed.bin"), payload, member_start, member_end);
  const std::string member = read_file(dir.file("mixed.bin")).substr(member_start, member_end - member_start);
  // Flags: header CRC, extra field (3 bytes, one a zero), original name, comment.
  std::string fields = member.substr(0, 10) + std::string("\3\0x\0y", 5) + "name.txt" + '\0' +
                       "a comment" + '\0' + "cc" + member.substr(10);
  fields[3] = 0x1E;
  ASSERT_TRUE(write_file(dir.file("fields.gz"), fields));
  GZ_MEMBER* m = gz_open(dir.file("fields.gz").c_str(), "rb", nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(read_all(m, 1000), payload);
  EXPECT_EQ(gz_destroy(m), Z_OK);
}

TEST(GzMemberRead, DataThatIsNotGzipIsReadUnchanged) {
  ScratchDir dir;
  const std::string plain = "just some bytes" + sample_payload(40000);  // more than one buffer's worth
  ASSERT_TRUE(write_file(dir.file("plain"), plain));
  GZ_MEMBER* member = gz_open(dir.file("plain").c_str(), "rb", nullptr);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(read_all(member, 7), plain);
  EXPECT_TRUE(gz_eof(member));
  char byte;
  EXPECT_EQ(gz_read(member, &byte, 1), 0);  // at the end: nothing, and no error
  EXPECT_EQ(gzclose_keep_file(member), Z_OK);

  // A lone first magic byte is data too.
  ASSERT_TRUE(write_file(dir.file("one"), "\x1f"));
  member = gz_open(dir.file("one").c_str(), "rb", nullptr);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(read_all(member, 1), "\x1f");
  gz_destroy(member);

  ASSERT_TRUE(write_file(dir.file("empty"), ""));
  member = gz_open(dir.file("empty").c_str(), "rb", nullptr);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(gz_read(member, &byte, 1), 0);
  EXPECT_TRUE(gz_eof(member));
  gz_destroy(member);
}

TEST(GzMemberRead, CorruptOrTruncatedMembersFailCleanly) {
  ScratchDir dir;
  std::string payload = sample_payload(60000);
  long member_start = 0, member_end = 0;
  write_embedded(dir.file("mixed.bin"), payload, member_start, member_end);
  std::string member = read_file(dir.file("mixed.bin"))
                           .substr(static_cast<size_t>(member_start),
                                   static_cast<size_t>(member_end - member_start));

  // Wrong CRC: all the data comes out, then the member reports an error.
  std::string bad_crc = member;
  bad_crc[bad_crc.size() - 8] ^= 0x55;
  ASSERT_TRUE(write_file(dir.file("bad_crc.gz"), bad_crc));
  GZ_MEMBER* m = gz_open(dir.file("bad_crc.gz").c_str(), "rb", nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(read_all(m, 8192), payload);
  EXPECT_EQ(gz_error(m), Z_DATA_ERROR);
  EXPECT_TRUE(gz_eof(m));
  EXPECT_EQ(gz_destroy(m), Z_DATA_ERROR);

  // Cut in the middle: fewer bytes, then an error, never more.
  ASSERT_TRUE(write_file(dir.file("cut.gz"), member.substr(0, member.size() / 2)));
  m = gz_open(dir.file("cut.gz").c_str(), "rb", nullptr);
  ASSERT_NE(m, nullptr);
  std::string partial = read_all(m, 8192);
  EXPECT_LT(partial.size(), payload.size());
  EXPECT_EQ(partial, payload.substr(0, partial.size()));
  EXPECT_EQ(gz_error(m), Z_DATA_ERROR);
  gz_destroy(m);

  // Cut inside the header.
  ASSERT_TRUE(write_file(dir.file("head.gz"), member.substr(0, 6)));
  m = gz_open(dir.file("head.gz").c_str(), "rb", nullptr);
  ASSERT_NE(m, nullptr);
  char byte;
  EXPECT_EQ(gz_read(m, &byte, 1), -1);
  gz_destroy(m);

  // Garbage after a valid header.
  std::string garbage = member.substr(0, 10) + std::string(200, '\xff');
  ASSERT_TRUE(write_file(dir.file("garbage.gz"), garbage));
  m = gz_open(dir.file("garbage.gz").c_str(), "rb", nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(read_all(m, 64), "");
  EXPECT_LT(gz_error(m), 0);
  gz_destroy(m);
}

TEST(GzMemberSeek, ReadingGoesBothWaysWritingOnlyForward) {
  ScratchDir dir;
  std::string payload = sample_payload(70000);
  GZ_MEMBER* w = gz_open(dir.file("seek.gz").c_str(), "wb", nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(gz_write(w, payload.data(), 1000), 1000);
  EXPECT_EQ(gz_seek(w, 10, SEEK_SET), -1);
  EXPECT_EQ(gz_seek(w, 24, SEEK_CUR), 1024);  // zeros fill the gap
  EXPECT_EQ(gz_write(w, payload.data() + 1024, 70000 - 1024), 70000 - 1024);
  EXPECT_EQ(gzclose_keep_file(w), Z_OK);
  std::string expected = payload;
  std::fill(expected.begin() + 1000, expected.begin() + 1024, '\0');

  GZ_MEMBER* r = gz_open(dir.file("seek.gz").c_str(), "rb", nullptr);
  ASSERT_NE(r, nullptr);
  char chunk[16];
  EXPECT_EQ(gz_seek(r, 50000, SEEK_SET), 50000);
  EXPECT_EQ(gz_read(r, chunk, 16), 16);
  EXPECT_EQ(std::string(chunk, 16), expected.substr(50000, 16));
  EXPECT_EQ(gz_seek(r, 100, SEEK_SET), 100);  // back: inflated again from the start
  EXPECT_EQ(gz_tell(r), 100);
  EXPECT_EQ(gz_read(r, chunk, 16), 16);
  EXPECT_EQ(std::string(chunk, 16), expected.substr(100, 16));
  EXPECT_EQ(gz_seek(r, -16, SEEK_CUR), 100);
  EXPECT_EQ(gz_seek(r, 80000, SEEK_SET), -1);  // beyond the member
  EXPECT_EQ(gz_seek(r, -1, SEEK_SET), -1);
  gz_destroy(r);
}

TEST(GzMemberModes, DirectionLevelAndMisuse) {
  ScratchDir dir;
  const std::string x = dir.file("x"), missing = dir.file("missing");  // "b" alone has no direction
  EXPECT_EQ((std::vector<const void*>{gz_open(x.c_str(), "b", nullptr), gz_open(nullptr, "wb", nullptr), gz_open("", "wb", nullptr),
                                      gz_open(x.c_str(), nullptr, nullptr), gzopen_file(nullptr, "rb"), gz_open(missing.c_str(), "rb", nullptr)}),
            std::vector<const void*>(6, nullptr));
  EXPECT_EQ(gzclose_keep_file(nullptr), Z_STREAM_ERROR);
  EXPECT_EQ(gz_destroy(nullptr), Z_STREAM_ERROR);

  std::string payload = sample_payload(40000);
  size_t stored_size[3] = {};
  const char* modes[3] = {"wb0", "wb9", "wbh"};
  for (int i = 0; i < 3; i++) {
    std::string path = dir.file("level" + std::to_string(i) + ".gz");
    GZ_MEMBER* m = gz_open(path.c_str(), modes[i], nullptr);
    ASSERT_NE(m, nullptr);
    char byte;
    EXPECT_EQ(gz_read(m, &byte, 1), -1);  // a write member does not read
    EXPECT_FALSE(gz_eof(m));
    EXPECT_EQ(gz_write(m, payload.data(), static_cast<uint32_t>(payload.size())),
              static_cast<int32_t>(payload.size()));
    EXPECT_EQ(gzclose_keep_file(m), Z_OK);
    std::string member = read_file(path);
    stored_size[i] = member.size();
    std::string inflated;
    EXPECT_TRUE(zlib_gunzip(member, inflated));
    EXPECT_EQ(inflated, payload);
  }
  EXPECT_GT(stored_size[0], payload.size());  // level 0 stores
  EXPECT_LT(stored_size[1], stored_size[0]);

  GZ_MEMBER* r = gz_open(dir.file("level1.gz").c_str(), "r", nullptr);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(gz_write(r, "x", 1), -1);  // a read member does not write
  gz_destroy(r);
}

TEST(GzMemberWrite, FailedWritesAreReportedAtClose) {
  FILE* full = fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full";
  GZ_MEMBER* m = gzopen_file(full, "wb");
  ASSERT_NE(m, nullptr);
  std::string payload = sample_payload(200000);
  gz_write(m, payload.data(), static_cast<uint32_t>(payload.size()));
  EXPECT_NE(gzclose_keep_file(m), Z_OK);
  fclose(full);
}

}  // namespace
