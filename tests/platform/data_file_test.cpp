#include "data_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "errors.h"
#include "folder.h"
#include "gzip_test_support.h"
#include "test_support.h"

using gzip_test_support::kGzip;
using gzip_test_support::zlib_gunzip;
using test_support::ScratchDir;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;
using testing::ExitedWithCode;

namespace {

FOLDER folder_of(const ScratchDir& dir) {
  FOLDER folder;
  EXPECT_TRUE(folder.set_absolute(dir.path().c_str()));
  return folder;
}

// What a stream being written holds so far: a file written anew takes its
// name only when it is closed.
std::string written_so_far(FILE* stream) {
  return read_file("/proc/self/fd/" + std::to_string(fileno(stream)));
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string pattern(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; i++) {
    seed = seed * 1664525u + 1013904223u;
    out[i] = static_cast<char>(seed >> 24);
  }
  return out;
}

TEST(DataFileBuffer, SizeIsClampedToTheLimits) {
  DATA_FILE small(100);
  EXPECT_EQ(small.buffer_size, 1024);
  DATA_FILE standard;
  EXPECT_EQ(standard.buffer_size, 524288);
  DATA_FILE huge(60 * 1024 * 1024);
  EXPECT_EQ(huge.buffer_size, 52428800);
  DATA_FILE odd(5000);
  EXPECT_EQ(odd.buffer_size, 5000);
  EXPECT_NE(odd.buffer, nullptr);
  EXPECT_EQ(odd.pool_slot, -1);
  EXPECT_FALSE(odd.is_open());
  EXPECT_TRUE(odd.is_eof());
  EXPECT_EQ(odd.get_size(), 0u);
  char byte;
  EXPECT_EQ(odd.read(&byte, 1), 0);
  EXPECT_EQ(odd.write(&byte, 1), 0);

  // The default can be changed for every file made later, within the limits.
  DATA_FILE::set_default_buffer_size(2048);
  DATA_FILE changed;
  EXPECT_EQ(changed.buffer_size, 2048);
  EXPECT_EQ(standard.buffer_size, 524288);
  DATA_FILE::set_default_buffer_size(1);
  EXPECT_EQ(DATA_FILE::get_default_buffer_size(), 1024);
  DATA_FILE::set_default_buffer_size(DATA_FILE::DEFAULT_BUFFER_SIZE);
  EXPECT_EQ(DATA_FILE().buffer_size, 524288);
}

TEST(DataFileBuffer, PoolLendsAndTakesBackBuffers) {
  set_buffer_pool(2);
  uint8_t* first_buffer = nullptr;
  {
    DATA_FILE a(4096);
    DATA_FILE b(2048);
    DATA_FILE c(1024);
    EXPECT_EQ(a.pool_slot, 0);
    EXPECT_EQ(b.pool_slot, 1);
    EXPECT_EQ(c.pool_slot, -1);  // pool full: its own buffer
    first_buffer = a.buffer;
  }
  {
    DATA_FILE too_big(8192);  // no free slot is large enough, and none is empty
    EXPECT_EQ(too_big.pool_slot, -1);
    DATA_FILE d(3000);
    EXPECT_EQ(d.pool_slot, 0);
    EXPECT_EQ(d.buffer, first_buffer);
    EXPECT_EQ(d.buffer_size, 3000);
  }
  // A reset while a file holds a pool buffer hands the buffer to the file.
  DATA_FILE* holder = new DATA_FILE(1024);
  EXPECT_EQ(holder->pool_slot, 0);
  set_buffer_pool(0);
  EXPECT_EQ(holder->pool_slot, -1);
  set_buffer_pool(1);
  DATA_FILE fresh(1024);
  EXPECT_EQ(fresh.pool_slot, 0);
  EXPECT_NE(fresh.buffer, holder->buffer);
  delete holder;  // frees its buffer; the new pool is untouched
  set_buffer_pool(0);
  EXPECT_EQ(fresh.pool_slot, -1);
}

TEST(DataFileOrderByte, CreatedFileHoldsOnlyTheByteZero) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  DATA_FILE* file = folder.open_data_file("ordered.dat", 1, 255);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(written_so_far(file->get_stream()), bytes({0}));
  EXPECT_FALSE(test_support::file_exists(dir.file("ordered.dat")));
  EXPECT_EQ(std::tuple(file->tell(), file->get_size(), file->swap), std::tuple(0u, 0u, 0));
  EXPECT_TRUE(file->write_u32(0x11223344));
  EXPECT_EQ(file->tell(), 4u);
  EXPECT_TRUE(FOLDER::close_data_file(file));
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(read_file(dir.file("ordered.dat")), bytes({0, 0x44, 0x33, 0x22, 0x11}));
}

TEST(DataFileOrderByte, RoundTripAndPositionsWithoutTheByte) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  DATA_FILE* out = folder.open_data_file("round.dat", 1, 255);
  ASSERT_NE(out, nullptr);
  out->write_u8(1);
  out->write_u16(0x0203);
  out->write_i32(-7);
  out->write_string("name");
  EXPECT_EQ(out->get_size(), 15u);
  EXPECT_TRUE(close_data_file(out));
  EXPECT_EQ(read_file(dir.file("round.dat")).size(), 16u);

  DATA_FILE* in = folder.open_data_file("round.dat", 0, 255);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->swap, 0);
  EXPECT_EQ(in->get_size(), 15u);
  EXPECT_EQ(in->tell(), 0u);
  uint8_t a = 0;
  uint16_t b = 0;
  int32_t c = 0;
  char text[16] = "";
  EXPECT_TRUE(in->read_u8(a) && in->read_u16(b) && in->read_i32(c) && in->read_string(text, sizeof text));
  EXPECT_EQ(std::tuple(a, b, c, std::string(text)), std::tuple(uint8_t{1}, uint16_t{0x0203}, -7, "name"));
  EXPECT_TRUE(in->is_eof());
  EXPECT_FALSE(in->read_u8(a));
  EXPECT_EQ(in->error, 1);
  EXPECT_TRUE(FOLDER::close_data_file(in));
}

TEST(DataFileOrderByte, FirstByteFoundBecomesTheSwapFlag) {
  // A file led by 0x7F (as an ELF program file is) carries big-endian data.
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  ASSERT_TRUE(write_file(dir.file("program"), bytes({0x7F, 0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD})));
  DATA_FILE* file = folder.open_data_file("program", 0, 255);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->swap, 0x7F);
  uint32_t word = 0;
  uint16_t half = 0;
  EXPECT_TRUE(file->read_u32(word));
  EXPECT_TRUE(file->read_u16(half));
  EXPECT_EQ(word, 0x12345678u);
  EXPECT_EQ(half, 0xABCD);
  close_data_file(file);
}

TEST(DataFileOrderByte, WithoutTheByteTheOrderIsTheSwapFlag) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  DATA_FILE* out = folder.open_data_file("plain.dat", 1, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->get_size(), 0u);  // a new file holds nothing yet
  out->write_u32(0x01020304);
  close_data_file(out);
  EXPECT_EQ(read_file(dir.file("plain.dat")), bytes({4, 3, 2, 1}));

  DATA_FILE* big = folder.open_data_file("big.dat", 1, 1);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->swap, 1);
  big->write_u32(0x01020304);
  close_data_file(big);
  EXPECT_EQ(read_file(dir.file("big.dat")), bytes({1, 2, 3, 4}));

  DATA_FILE* in = folder.open_data_file("big.dat", 0, 1);
  ASSERT_NE(in, nullptr);
  uint32_t value = 0;
  EXPECT_TRUE(in->read_u32(value));
  EXPECT_EQ(value, 0x01020304u);
  close_data_file(in);
}

TEST(DataFileOrderByte, EmptyFileOpenedForUpdateGetsTheByte) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  ASSERT_TRUE(write_file(dir.file("empty.dat"), ""));
  DATA_FILE* file = folder.open_data_file("empty.dat", 2, 255);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->tell(), 0u);
  file->write_u16(0xBEEF);
  EXPECT_TRUE(close_data_file(file));
  EXPECT_EQ(read_file(dir.file("empty.dat")), bytes({0, 0xEF, 0xBE}));
}

TEST(DataFileSeek, FromTheEndAndInside) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  for (uint8_t order : {0, 255}) {
    DATA_FILE* out = folder.open_data_file("ten.dat", 1, order);
    ASSERT_NE(out, nullptr);
    out->write("0123456789", 10);
    EXPECT_TRUE(out->seek(-4, true));
    EXPECT_EQ(out->tell(), 6u);
    EXPECT_TRUE(out->write("xy", 2));
    close_data_file(out);
    std::string expected = std::string(order == 255 ? 1 : 0, '\0') + "012345xy89";
    EXPECT_EQ(read_file(dir.file("ten.dat")), expected);

    DATA_FILE* in = folder.open_data_file("ten.dat", 0, order);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->get_size(), 10u);
    EXPECT_TRUE(in->seek(-4, true));
    EXPECT_EQ(in->tell(), 6u);
    char two[3] = {};
    EXPECT_EQ(in->read(two, 2), 2);
    EXPECT_STREQ(two, "xy");
    EXPECT_TRUE(in->seek(1, false));
    EXPECT_EQ(in->read(two, 2), 2);
    EXPECT_STREQ(two, "12");
    EXPECT_FALSE(in->seek(-11, true));  // before the start
    EXPECT_FALSE(in->seek(-1, false));
    EXPECT_EQ(in->tell(), 3u);
    EXPECT_TRUE(in->seek(0, true));
    EXPECT_TRUE(in->is_eof());
    EXPECT_EQ(in->read(two, 1), 0);
    close_data_file(in);
  }
}

TEST(DataFileTransfers, LargeDataRoundTripsThroughASmallBuffer) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  std::string data = pattern(300000, 7);
  const size_t sizes[] = {1, 3, 1000, 1023, 1024, 5000, 17, 70000};

  DATA_FILE out(1024);
  ASSERT_TRUE(out.open(folder, "large.dat", 1, 255, false));
  for (size_t at = 0, i = 0; at < data.size(); i++) {
    size_t n = std::min(sizes[i % 8], data.size() - at);
    ASSERT_EQ(out.write(data.data() + at, static_cast<int32_t>(n)), static_cast<int32_t>(n));
    at += n;
  }
  EXPECT_EQ(out.get_size(), data.size());
  EXPECT_TRUE(out.close());
  EXPECT_EQ(read_file(dir.file("large.dat")), std::string(1, '\0') + data);

  DATA_FILE in(1024);
  ASSERT_TRUE(in.open(folder, "large.dat", 0, 255, false));
  std::string back;
  std::vector<char> chunk(70000);
  for (size_t i = 0; back.size() < data.size(); i++) {
    int32_t n = in.read(chunk.data(), static_cast<int32_t>(sizes[(i + 3) % 8]));
    ASSERT_GT(n, 0);
    back.append(chunk.data(), static_cast<size_t>(n));
  }
  EXPECT_EQ(back, data);
  EXPECT_TRUE(in.is_eof());
  EXPECT_EQ(in.read(chunk.data(), 10), 0);
  in.close();
}

TEST(DataFileTransfers, UpdateModeReadsWritesAndAppends) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  std::string data = pattern(5000, 3);
  ASSERT_TRUE(write_file(dir.file("update.dat"), data));

  DATA_FILE file(1024);
  ASSERT_TRUE(file.open(folder, "update.dat", 2, 0, false));
  EXPECT_EQ(file.tell(), 5000u);  // update mode starts at the end
  EXPECT_EQ(file.write("END", 3), 3);
  EXPECT_TRUE(file.seek(100, false));
  char four[4];
  EXPECT_EQ(file.read(four, 4), 4);
  EXPECT_EQ(std::string(four, 4), data.substr(100, 4));
  EXPECT_EQ(file.write("MID", 3), 3);  // at 104
  EXPECT_EQ(file.read(four, 4), 4);     // 107..110 come from the file
  EXPECT_EQ(std::string(four, 4), data.substr(107, 4));
  EXPECT_TRUE(file.seek(2000, false));
  EXPECT_EQ(file.write("FAR", 3), 3);
  EXPECT_TRUE(file.seek(104, false));
  EXPECT_EQ(file.read(four, 3), 3);
  EXPECT_EQ(std::string(four, 3), "MID");
  EXPECT_EQ(file.get_size(), 5003u);
  EXPECT_TRUE(file.close());

  std::string expected = data + "END";
  expected.replace(104, 3, "MID");
  expected.replace(2000, 3, "FAR");
  EXPECT_EQ(read_file(dir.file("update.dat")), expected);

  // A missing file is created for update.
  DATA_FILE* created = folder.open_data_file("new.dat", 2, 0);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->get_size(), 0u);
  close_data_file(created);
  EXPECT_TRUE(test_support::file_exists(dir.file("new.dat")));
}

TEST(DataFileTransfers, FileCreatedForUpdateReadsBackWhatWasWritten) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  for (uint8_t order : {0, 255}) {
    std::string name = "created" + std::to_string(order) + ".dat";
    DATA_FILE* file = folder.open_data_file(name.c_str(), 2, order);
    ASSERT_NE(file, nullptr) << "order " << int{order};
    EXPECT_EQ(file->tell(), 0u);
    EXPECT_EQ(file->swap, 0);
    EXPECT_TRUE(file->write_u32(0x0A0B0C0D));
    EXPECT_TRUE(file->flush());
    EXPECT_TRUE(file->seek(0, false));  // outside the emptied buffer: read from the file
    uint32_t value = 0;
    EXPECT_TRUE(file->read_u32(value));
    EXPECT_EQ(value, 0x0A0B0C0Du);
    EXPECT_TRUE(close_data_file(file));
    EXPECT_EQ(read_file(dir.file(name)),
              std::string(order == 255 ? 1 : 0, '\0') + bytes({0x0D, 0x0C, 0x0B, 0x0A}));
  }
}

TEST(DataFileTransfers, FlushLeavesTheStreamAtTheCallersPosition) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  DATA_FILE* out = folder.open_data_file("flush.dat", 1, 255);
  ASSERT_NE(out, nullptr);
  out->write("abcdefghij", 10);
  EXPECT_TRUE(out->flush());
  EXPECT_EQ(ftell(out->get_stream()), 11);
  EXPECT_EQ(written_so_far(out->get_stream()), std::string(1, '\0') + "abcdefghij");
  out->seek(4, false);
  EXPECT_TRUE(out->flush());
  EXPECT_EQ(ftell(out->get_stream()), 5);
  // Another writer takes over the stream, then the file goes on.
  fputs("XY", out->get_stream());
  out->seek(0, true);
  out->write("!", 1);
  EXPECT_TRUE(close_data_file(out));
  EXPECT_EQ(read_file(dir.file("flush.dat")), std::string(1, '\0') + "abcdXYghij!");

  DATA_FILE* in = folder.open_data_file("flush.dat", 0, 255);
  ASSERT_NE(in, nullptr);
  char three[3];
  in->read(three, 3);
  EXPECT_TRUE(in->flush());  // drops the read buffer
  EXPECT_EQ(ftell(in->get_stream()), 4);
  EXPECT_EQ(fgetc(in->get_stream()), 'd');
  EXPECT_EQ(in->read(three, 3), 3);  // still from the data file's own position
  EXPECT_EQ(std::string(three, 3), "dXY");
  close_data_file(in);
}

TEST(DataFileOpen, RefusesBadRequests) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  // The last two: a member cannot be updated in place.
  EXPECT_EQ((std::vector<const void*>{folder.open_data_file(nullptr, 1), folder.open_data_file("", 1), folder.open_data_file("x.dat", 3),
                                      folder.open_data_file("missing.dat", 0), folder.open_data_file("x.dat", 2, 255, true),
                                      folder.open_data_file("x.dat", 2, 0, true)}),
            std::vector<const void*>(6, nullptr));
  EXPECT_FALSE(test_support::file_exists(dir.file("x.dat")));

  DATA_FILE file;
  ASSERT_TRUE(file.open(folder, "once.dat", 1, 0, false));
  EXPECT_FALSE(file.open(folder, "twice.dat", 1, 0, false));  // already open
  EXPECT_EQ(strcmp(file.name.get_text(), "once.dat"), 0);
  EXPECT_TRUE(file.close());
  EXPECT_EQ(file.tell(), 0u);  // a closed file holds no position
  EXPECT_TRUE(file.close());  // closing twice is harmless
  DATA_FILE* none = nullptr;
  EXPECT_TRUE(close_data_file(none));
}

TEST(DataFileGzip, WrittenFileIsOneGzipMemberLedByTheOrderByte) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  std::string data = pattern(200000, 11) + std::string(100000, 'z');
  DATA_FILE* out = folder.open_data_file("packed.gz", 1, 255, true);
  ASSERT_NE(out, nullptr);
  out->write_u32(0xA1B2C3D4);
  out->write(data.data(), static_cast<int32_t>(data.size()));
  EXPECT_EQ(out->tell(), 4 + data.size());
  EXPECT_TRUE(FOLDER::close_data_file(out));

  std::string stored = read_file(dir.file("packed.gz"));
  EXPECT_EQ(stored.substr(0, 10), bytes({31, 139, 8, 0, 0, 0, 0, 0, 0, 3}));
  std::string plain;
  ASSERT_TRUE(zlib_gunzip(stored, plain));
  EXPECT_EQ(plain, bytes({0, 0xD4, 0xC3, 0xB2, 0xA1}) + data);
  EXPECT_LT(stored.size(), plain.size());
  if (access(kGzip, X_OK) == 0) {
    EXPECT_EQ(run_program({kGzip, "-t", dir.file("packed.gz")}).exit_code, 0);
  }

  DATA_FILE* in = folder.open_data_file("packed.gz", 0, 255, true);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->swap, 0);
  uint32_t word = 0;
  EXPECT_TRUE(in->read_u32(word));
  EXPECT_EQ(word, 0xA1B2C3D4u);
  std::string back(data.size(), '\0');
  EXPECT_EQ(in->read(back.data(), static_cast<int32_t>(back.size())), static_cast<int32_t>(back.size()));
  EXPECT_EQ(back, data);
  EXPECT_EQ(in->get_size(), 4 + data.size());
  char byte;
  EXPECT_EQ(in->read(&byte, 1), 0);
  EXPECT_TRUE(in->is_eof());
  EXPECT_TRUE(in->seek(2, false));  // back: the member is read again
  uint16_t half = 0;
  EXPECT_TRUE(in->read_u16(half));
  EXPECT_EQ(half, 0xA1B2);
  close_data_file(in);
}

TEST(DataFileGzip, ReadsAFileMadeByGzip) {
  if (access(kGzip, X_OK) != 0) GTEST_SKIP() << "no gzip";
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  ASSERT_TRUE(write_file(dir.file("swapped"), bytes({1, 0, 0, 0, 42}) + "tail"));
  ASSERT_EQ(run_program({kGzip, dir.file("swapped")}).exit_code, 0);
  DATA_FILE* in = folder.open_data_file("swapped.gz", 0, 255, true);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->swap, 1);
  uint32_t value = 0;
  EXPECT_TRUE(in->read_u32(value));
  EXPECT_EQ(value, 42u);
  close_data_file(in);
}

TEST(DataFileGzip, DamagedOrCutHeaderIsRefusedAtOpen) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  // Reserved flag bits set.
  ASSERT_TRUE(write_file(dir.file("flags.gz"), bytes({31, 139, 8, 0xE0, 0, 0, 0, 0, 0, 3}) + "data"));
  EXPECT_EQ(folder.open_data_file("flags.gz", 0, 255, true), nullptr);
  // A method other than deflate.
  ASSERT_TRUE(write_file(dir.file("method.gz"), bytes({31, 139, 7, 0, 0, 0, 0, 0, 0, 3}) + "data"));
  EXPECT_EQ(folder.open_data_file("method.gz", 0, 255, true), nullptr);
  // The header ends early.
  ASSERT_TRUE(write_file(dir.file("cut.gz"), bytes({31, 139, 8, 0, 0})));
  EXPECT_EQ(folder.open_data_file("cut.gz", 0, 255, true), nullptr);
}

TEST(DataFileBytesLeft, ExactForPlainFilesUnknownUntilAMemberIsReadToItsEnd) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  // Larger than the default buffer, so one read cannot reach the end.
  std::string data = pattern(700000, 9);
  const int64_t size = static_cast<int64_t>(data.size());
  for (bool gzip : {false, true}) {
    SCOPED_TRACE(gzip ? "gzip" : "plain");
    DATA_FILE* out = folder.open_data_file("left.dat", 1, 255, gzip);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->write(data.data(), static_cast<int32_t>(size)), size);
    ASSERT_TRUE(close_data_file(out));

    DATA_FILE* in = folder.open_data_file("left.dat", 0, 255, gzip);
    ASSERT_NE(in, nullptr);
    uint8_t byte = 0;
    ASSERT_TRUE(in->read_u8(byte));
    EXPECT_EQ(in->bytes_left(), gzip ? -1 : size - 1);
    EXPECT_EQ(in->tell(), 1u);  // the query leaves the position alone

    std::string rest(data.size() - 1, '\0');
    EXPECT_EQ(in->read(rest.data(), static_cast<int32_t>(rest.size())), size - 1);
    EXPECT_EQ(in->bytes_left(), 0);
    // Once the end has been seen it stays known, also after going back.
    ASSERT_TRUE(in->seek(10, false));
    EXPECT_EQ(in->bytes_left(), size - 10);
    EXPECT_EQ(in->tell(), 10u);
    ASSERT_TRUE(in->read_u8(byte));
    EXPECT_EQ(byte, static_cast<uint8_t>(data[10]));
    close_data_file(in);

    // A file of the order byte alone holds nothing, before a read and after.
    out = folder.open_data_file("empty.dat", 1, 255, gzip);
    ASSERT_TRUE(close_data_file(out));
    in = folder.open_data_file("empty.dat", 0, 255, gzip);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->get_size(), 0u);
    EXPECT_FALSE(in->read_u8(byte));
    EXPECT_EQ(in->get_size(), 0u);
    close_data_file(in);
  }
}

TEST(DataFileDamage, TruncatedOrLyingFilesFailCleanly) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  // A string whose length claims 2 GiB - 1 bytes, with three behind it.
  ASSERT_TRUE(write_file(dir.file("lying.dat"), bytes({0, 0xFF, 0xFF, 0xFF, 0x7F}) + "abc"));
  DATA_FILE* file = folder.open_data_file("lying.dat", 0, 255);
  ASSERT_NE(file, nullptr);
  char text[8];
  EXPECT_FALSE(file->read_string(text, sizeof text));
  EXPECT_EQ(file->error, 1);
  EXPECT_TRUE(file->is_eof());
  close_data_file(file);

  // A u32 cut after two bytes.
  ASSERT_TRUE(write_file(dir.file("cut.dat"), bytes({0, 1, 2})));
  file = folder.open_data_file("cut.dat", 0, 255);
  ASSERT_NE(file, nullptr);
  uint32_t value = 77;
  EXPECT_FALSE(file->read_u32(value));
  EXPECT_EQ(file->error, 1);
  EXPECT_EQ(value, 77u);
  close_data_file(file);

  // A gzip data file cut in half delivers less, then nothing.
  DATA_FILE* out = folder.open_data_file("whole.gz", 1, 255, true);
  ASSERT_NE(out, nullptr);
  std::string data = pattern(100000, 5);
  out->write(data.data(), static_cast<int32_t>(data.size()));
  close_data_file(out);
  std::string stored = read_file(dir.file("whole.gz"));
  ASSERT_TRUE(write_file(dir.file("half.gz"), stored.substr(0, stored.size() / 2)));
  file = folder.open_data_file("half.gz", 0, 255, true);
  ASSERT_NE(file, nullptr);
  std::string back(data.size(), '\0');
  int32_t got = file->read(back.data(), static_cast<int32_t>(back.size()));
  EXPECT_LT(got, static_cast<int32_t>(data.size()));
  EXPECT_EQ(back.substr(0, static_cast<size_t>(got)), data.substr(0, static_cast<size_t>(got)));
  EXPECT_FALSE(file->read_u8(*reinterpret_cast<uint8_t*>(text)));
  EXPECT_TRUE(file->is_eof());
  close_data_file(file);

  // An empty file opened with the order byte holds nothing.
  ASSERT_TRUE(write_file(dir.file("nothing.dat"), ""));
  file = folder.open_data_file("nothing.dat", 0, 255);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->swap, 0);
  EXPECT_EQ(file->get_size(), 0u);
  EXPECT_TRUE(file->is_eof());
  close_data_file(file);
}

TEST(DataFileWriteErrors, FullDeviceIsReportedByFlushAndClose) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  FOLDER dev;
  ASSERT_TRUE(dev.set_absolute("/dev"));

  DATA_FILE* file = dev.open_data_file("full", 1, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write_u32(1));  // only buffered so far
  EXPECT_FALSE(file->flush());
  EXPECT_TRUE(file->write_failed());
  EXPECT_FALSE(file->write_u32(2));  // nothing more is accepted
  EXPECT_EQ(file->error, 1);
  EXPECT_FALSE(FOLDER::close_data_file(file));
  EXPECT_EQ(file, nullptr);

  // A large block that bypasses the buffer fails at once.
  DATA_FILE direct(1024);
  ASSERT_TRUE(direct.open(dev, "full", 1, 0, false));
  std::string block(4096, 'b');
  EXPECT_LT(direct.write(block.data(), 4096), 4096);
  EXPECT_FALSE(direct.close());

  // A gzip member is finished at close, which fails.
  file = dev.open_data_file("full", 1, 255, true);
  ASSERT_NE(file, nullptr);
  file->write_u32(3);
  EXPECT_FALSE(close_data_file(file));
}

TEST(DataFileDeathTest, WrongDirectionIsFatal) {
  ScratchDir dir;
  FOLDER folder = folder_of(dir);
  ASSERT_TRUE(write_file(dir.file("read.dat"), "abc"));
  set_message_box_handler(message_box_to_stderr);
  EXPECT_EXIT(
      {
        DATA_FILE* file = folder.open_data_file("read.dat", 0, 0);
        file->write_u8(1);
      },
      ExitedWithCode(255), "000F:\nAttempted to write to a file that was opened for reading");
  EXPECT_EXIT(
      {
        DATA_FILE* file = folder.open_data_file("write.dat", 1, 0);
        uint8_t byte;
        file->read_u8(byte);
      },
      ExitedWithCode(255), "000E:\nAttempted to read data from a file that was opened for writing");
  set_message_box_handler(nullptr);
}

}  // namespace
