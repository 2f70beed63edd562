#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "file_services.h"
#include "image_cache.h"
#include "memory_device.h"
#include "package.h"
#include "package_test_support.h"
#include "packing_choice.h"
#include "payload.h"

namespace {

using package_test_support::pattern;

// Records what the unpacker reports.
struct OBSERVER : PAYLOAD_OBSERVER {
  void header_read(PAYLOAD_SPLASH* splash, uint32_t size) override {
    chunk_size = size;
    if (splash) title = splash->title.get_text() ? splash->title.get_text() : "";
    if (splash) bar_pictured = splash->bar_style.state_images[0] != nullptr;
  }
  void progress(int32_t percent) override { percents.push_back(percent); }
  uint32_t chunk_size = 0;
  std::string title = "(none)";
  bool bar_pictured = false;  // the splash's bar found a picture
  std::vector<int32_t> percents;
};

std::string big_endian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string deflated(const std::string& bytes) {
  uLongf size = compressBound(bytes.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), 6);
  out.resize(size);
  return out;
}

std::string crc(const std::string& bytes) {
  return big_endian(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

// A payload of the old form (one flag for all chunks, no checks) without
// splash record, chunks as given (stored as they are).
std::string payload(uint32_t chunk_size, bool compressed, const std::vector<std::string>& chunks) {
  std::string out(1, '\0');
  out += big_endian(chunk_size) + std::string(1, compressed ? 1 : 0);
  for (const std::string& chunk : chunks) out += big_endian(chunk.size()) + chunk;
  return out;
}

struct PIECE {
  uint8_t flag;  // 1 deflated
  std::string stored;
};

// A payload of a checked form without splash record, pieces as given,
// every check right: in the bound form each is the CRC-32 of all bytes
// before it but the checks, in the other of its own fields and bytes.
std::string checked_payload(uint32_t chunk_size, uint32_t package_length,
                            const std::vector<PIECE>& pieces, uint8_t form = PAYLOAD_FORM_CHECKED) {
  const bool bound = form == PAYLOAD_FORM_BOUND;
  const std::string header = big_endian(chunk_size) + std::string(1, static_cast<char>(form)) +
                             big_endian(package_length);
  std::string checked = bound ? std::string(1, '\0') + header : header;
  std::string out = std::string(1, '\0') + header + crc(checked);
  for (const PIECE& piece : pieces) {
    const std::string fields = std::string(1, static_cast<char>(piece.flag)) + big_endian(piece.stored.size());
    checked = bound ? checked + fields + piece.stored : fields + piece.stored;
    out += fields + crc(checked) + piece.stored;
  }
  return out;
}

class UnpackPayload : public package_test_support::PackageScratchTest {
protected:
  void SetUp() override {
    PackageScratchTest::SetUp();
    ASSERT_EQ(mkdir(scratch.file("out").c_str(), 0700), 0);
    ASSERT_TRUE(out.set_absolute(scratch.file("out").c_str()));
  }
  void TearDown() override {
    wm_image_cache().clear_all();
    PackageScratchTest::TearDown();
  }

  // installer.pkg in work holding two files of different sizes (varied
  // enough to be more than runs, alike enough to deflate below a chunk).
  std::string make_package() {
    std::string varied;
    for (int i = 0; i < 100; ++i) varied += pattern(700, 1);
    test_support::write_file(scratch.file("work/a.bin"), varied);
    test_support::write_file(scratch.file("work/b.txt"), std::string(30000, 'b'));
    {
      PACKAGE package(work, "installer.pkg", true, 4096, false, false);
      EXPECT_TRUE(package.is_open());
      EXPECT_TRUE(package.add_file(work, "a.bin"));
      EXPECT_TRUE(package.add_file(work, "b.txt"));
    }
    return test_support::read_file(scratch.file("work/installer.pkg"));
  }

  // The program file: the ELF magic's first byte, some image bytes, then
  // the payload; unpacked into out.
  bool unpack(const std::string& payload_bytes, OBSERVER* observer = nullptr) {
    const std::string image = "\x7F" "ELF" + std::string(60, 'x');
    test_support::write_file(scratch.file("work/setup"), image + payload_bytes);
    return unpack_payload_file(work, "setup", static_cast<uint32_t>(image.size()), out,
                               "installer.pkg", observer);
  }
  std::string unpacked() { return test_support::read_file(scratch.file("out/installer.pkg")); }
  // The payload write_payload makes of work's installer.pkg.
  std::string written(const PAYLOAD_OPTIONS& options) {
    test_support::MEMORY_DEVICE device;
    device.swap = 1;
    EXPECT_TRUE(write_payload(device, work, "installer.pkg", options));
    return device.text();
  }
  // The payload of make_package's package in pieces of 1000 bytes stored
  // as they are (each 1009 bytes with its fields, the first at offset 14).
  std::string stored_payload() {
    make_package();
    PAYLOAD_OPTIONS options;
    options.chunk_size = 1000;
    options.compressed = false;
    return written(options);
  }

  FOLDER out;
};

TEST_F(UnpackPayload, BuiltPayloadsUnpackToThePackedPackage) {
  const std::string package = make_package();
  // A picture named as the splash bar's, beside the folder the bar's style
  // names, that the payload's picture cache does not hold: the bar shows
  // what the payload carries, not what the unpacking machine has there.
  IMAGE stray(4, 4);
  DATA_FILE* file = work.open_data_file("bar.png", 1);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(stray.save_png(file));
  EXPECT_TRUE(FOLDER::close_data_file(file));
  using FORM = PAYLOAD_OPTIONS::FORM;
  struct ROW {
    bool splash;
    bool compressed;
    int32_t empty_chunk_at;
    FORM form;  // the builder's, or as earlier installers were built
  } rows[] = {{false, true, -1, FORM::BOUND},   {false, false, 1, FORM::BOUND},
              {true, true, 2, FORM::BOUND},     {true, false, -1, FORM::BOUND},
              {true, true, 1, FORM::CHECKED},   {false, false, -1, FORM::CHECKED},
              {false, true, 1, FORM::FLAGGED},  {true, false, -1, FORM::FLAGGED}};
  for (const ROW& row : rows) {
    SCOPED_TRACE(testing::Message() << row.splash << row.compressed << row.empty_chunk_at
                                    << static_cast<int>(row.form));
    PAYLOAD_SPLASH splash;
    splash.image.create(20, 10);
    splash.title.set("Demo set-up");
    splash.bar_style.set_image_filename("bar");
    ASSERT_TRUE(work.get_path_text(splash.bar_style.image_path, sizeof splash.bar_style.image_path, nullptr));
    PAYLOAD_OPTIONS options;
    options.chunk_size = 8192;
    options.compressed = row.compressed;
    options.empty_chunk_at = row.empty_chunk_at;
    options.splash = row.splash ? &splash : nullptr;
    options.form = row.form;
    OBSERVER observer;
    ASSERT_TRUE(unpack(written(options), &observer));
    EXPECT_EQ(unpacked(), package);
    EXPECT_EQ(observer.chunk_size, 8192u);
    EXPECT_EQ(observer.title, row.splash ? "Demo set-up" : "(none)");
    EXPECT_FALSE(observer.bar_pictured);
    // One report per chunk, the empty one included; never 100.
    const size_t pieces = (package.size() - 1 + 8191) / 8192;
    EXPECT_EQ(observer.percents.size(), pieces + (row.empty_chunk_at >= 0 ? 1 : 0));
    EXPECT_TRUE(std::is_sorted(observer.percents.begin(), observer.percents.end()));
    EXPECT_LT(observer.percents.back(), 100);
    EXPECT_GT(observer.percents.back(), 90);
  }
}

TEST_F(UnpackPayload, IntegersAreBigEndianAndTheOrderByteLeadsThePackage) {
  const std::string package = make_package();
  PAYLOAD_OPTIONS options;
  options.chunk_size = 1000;
  options.compressed = false;
  options.empty_chunk_at = 0;
  const std::string bytes = written(options);
  // Splash flag, chunk size, form, package length, the header's check of
  // the bytes before it.
  EXPECT_EQ(bytes.substr(0, 6), std::string("\0\0\0\x03\xE8\x44", 6));
  EXPECT_EQ(bytes.substr(6, 4), big_endian(package.size() - 1));
  EXPECT_EQ(bytes.substr(10, 4), crc(bytes.substr(0, 10)));
  // An empty piece: stored, no bytes, the check of all bytes so far but
  // the checks.
  EXPECT_EQ(bytes.substr(14, 9), std::string(5, '\0') + crc(bytes.substr(0, 10) + std::string(5, '\0')));
  // The first piece of the package: stored as it is, 1000 bytes, its
  // check, its bytes.
  EXPECT_EQ(bytes.substr(23, 5), std::string("\0\0\0\x03\xE8", 5));
  EXPECT_EQ(bytes.substr(28, 4), crc(bytes.substr(0, 10) + bytes.substr(14, 5) + bytes.substr(23, 5) +
                                     bytes.substr(32, 1000)));
  EXPECT_EQ(bytes.substr(32, 1000), package.substr(1, 1000));
  ASSERT_TRUE(unpack(bytes));
  const std::string result = unpacked();
  EXPECT_EQ(result[0], '\0');
  EXPECT_EQ(result, package);
}

// A package of a file that does not deflate beside text: only the pieces
// of the first are stored as they are, and one changed byte anywhere in
// the payload, in the splash record, in a stored or a deflated piece or in
// the header, is found.
TEST_F(UnpackPayload, EveryChangedByteIsFound) {
  std::string text;
  while (text.size() < 12000) text += "line " + std::to_string(text.size()) + " of the notes\n";
  test_support::write_file(scratch.file("work/random.bin"), pattern(3000, 7));
  test_support::write_file(scratch.file("work/notes.txt"), text);
  {
    PACKAGE package(work, "installer.pkg", true, 512, false, false);
    ASSERT_TRUE(package.add_file(work, "notes.txt") && package.add_file(work, "random.bin"));
  }
  PAYLOAD_SPLASH splash;
  splash.image.create(6, 4);
  splash.title.set("Set-up");
  PAYLOAD_OPTIONS options;
  options.chunk_size = 1024;
  options.empty_chunk_at = 2;
  EXPECT_LT(written(options).size(), 3000 + text.size() / 4);
  options.splash = &splash;
  const std::string bytes = written(options);
  ASSERT_TRUE(unpack(bytes));
  EXPECT_EQ(unpacked(), test_support::read_file(scratch.file("work/installer.pkg")));

  // Each byte changed one way, the lowest bit, the highest or all of them
  // in turn, so that every kind of change meets every kind of field.
  int unnoticed = 0;
  for (size_t at = 0; at < bytes.size(); ++at) {
    const uint8_t change = std::array<uint8_t, 3>{0x01, 0x80, 0xFF}[at % 3];
    test_support::MEMORY_DEVICE damaged(bytes), destination;
    damaged.bytes[at] ^= change;
    damaged.swap = 1;
    if (unpack_payload(damaged, 1, destination, nullptr) && ++unnoticed <= 5)
      ADD_FAILURE() << "byte " << at << " changed by " << int{change};
    wm_image_cache().clear_all();
  }
  EXPECT_EQ(unnoticed, 0);
}

TEST_F(UnpackPayload, DamagedPayloadsFailAndLeaveNoPackage) {
  const std::string full(1000, 'f');
  const std::string half(500, 'h');
  const std::string good_tail = big_endian(4) + "tail";
  std::string huge_length = payload(1000, false, {full});
  huge_length.replace(6, 4, big_endian(0x7FFFFFF0));
  std::string corrupt = payload(1000, true, {deflated(full)});
  corrupt[12] ^= 0x55;
  std::string header_check_wrong = checked_payload(1000, 1000, {{0, full}});
  header_check_wrong[12] ^= 0x01;
  std::string piece_check_wrong = checked_payload(1000, 1000, {{0, full}});
  piece_check_wrong[20] ^= 0x01;
  // Whole pieces of the same size, each with the check it was written with,
  // swapped or one copied over another.
  const std::string built = stored_payload();
  const auto piece = [&](size_t n) { return built.substr(14 + n * 1009, 1009); };
  const std::string swapped = built.substr(0, 14) + piece(1) + piece(0) + built.substr(14 + 2 * 1009);
  const std::string copied = built.substr(0, 14) + piece(0) + piece(0) + built.substr(14 + 2 * 1009);
  const std::string moved_to_end = built.substr(0, 14) + built.substr(14 + 1009, 50 * 1009) + piece(0) +
                                   built.substr(14 + 51 * 1009);
  struct ROW {
    const char* what;
    std::string bytes;
  } rows[] = {
      {"chunk size 0", payload(0, false, {"abc"})},
      {"chunk size above the limit", payload(52428801, false, {"abc"})},
      {"chunk longer than the chunk size", payload(4, false, {"abcde"})},
      {"chunk longer than the chunk size before a good one",
       payload(4, false, {}) + big_endian(5) + big_endian(4) + "abcd"},
      {"chunk longer than what remains", huge_length},
      {"chunk cut short", payload(1000, false, {full}).substr(0, 600)},
      {"length field cut short", payload(1000, false, {full}) + std::string(2, '\0')},
      {"chunk that does not inflate", corrupt},
      {"chunk that inflates beyond a fifth more than a piece",
       payload(1000, true, {deflated(full + std::string(201, 'x'))})},
      {"piece after a short one", payload(1000, false, {half, full})},
      {"short compressed piece before another",
       payload(1000, true, {deflated(half), deflated(full)})},
      {"no chunks", payload(1000, false, {})},
      {"only empty chunks", payload(1000, false, {"", ""})},
      {"header cut short", std::string("\0\0\0", 3)},
      {"splash record cut short", std::string("\1\0\0", 3) + good_tail},
      {"form unknown", checked_payload(1000, 1000, {{0, full}}, 0x42)},
      {"header check wrong", header_check_wrong},
      {"piece check wrong", piece_check_wrong},
      {"piece flag unknown", checked_payload(1000, 1000, {{2, full}})},
      {"empty piece of an unknown flag before a good one", checked_payload(1000, 1000, {{2, ""}, {0, full}})},
      {"piece flag unknown behind the whole package", checked_payload(1000, 1000, {{0, full}, {2, "xxxxxxxxx"}})},
      {"deflated piece of one byte", checked_payload(1000, 1, {{1, "x"}})},
      {"checked piece longer than the chunk size", checked_payload(4, 5, {{0, "abcde"}})},
      {"pieces shorter than the package length", checked_payload(1000, 1500, {{0, full}})},
      {"pieces longer than the package length", checked_payload(1000, 1000, {{0, full}, {0, half}})},
      {"no pieces", checked_payload(1000, 0, {})},
      {"pieces swapped", swapped},
      {"a piece copied over another", copied},
      {"a piece moved", moved_to_end},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_FALSE(unpack(row.bytes));
    EXPECT_FALSE(test_support::file_exists(scratch.file("out/installer.pkg")));
  }
  // The same bytes with the damage taken out do unpack.
  ASSERT_TRUE(unpack(payload(1000, true, {deflated(full), "", deflated(half)})));
  EXPECT_EQ(unpacked(), std::string(1, '\0') + full + half);
  ASSERT_TRUE(unpack(built));
  EXPECT_EQ(unpacked(), test_support::read_file(scratch.file("work/installer.pkg")));
  // The least there is: one byte in pieces of one.
  ASSERT_TRUE(unpack(payload(1, false, {"x"})));
  EXPECT_EQ(unpacked(), std::string(1, '\0') + "x");
  // Every stored byte counts in a piece's check, down to a last piece of one.
  for (const uint8_t form : {PAYLOAD_FORM_CHECKED, PAYLOAD_FORM_BOUND}) {
    ASSERT_TRUE(unpack(checked_payload(1000, 1001, {{1, deflated(full)}, {0, ""}, {0, "x"}}, form)));
    EXPECT_EQ(unpacked(), std::string(1, '\0') + full + "x");
  }
  // A piece may inflate to a fifth more than the chunk size.
  const std::string longest = full + std::string(200, 'x');
  ASSERT_TRUE(unpack(payload(1000, true, {deflated(longest), deflated(half)})));
  EXPECT_EQ(unpacked(), std::string(1, '\0') + longest + half);
}

// Pieces are read ahead of the writes only a few at a time: a write that
// fails, or a damaged piece, stops the reading there, and the pieces in
// front of a damaged one are all that is written.
TEST_F(UnpackPayload, ReadingStopsWithinAFewPiecesOfAFailure) {
  const std::string bytes = stored_payload();
  ASSERT_GT(bytes.size(), 60 * 1009u);
  const size_t tenth_piece = 14 + 9 * 1009 + 20;
  for (const bool damaged : {false, true}) {
    SCOPED_TRACE(damaged ? "damaged" : "full");
    test_support::MEMORY_DEVICE source(bytes), destination;
    source.swap = 1;
    if (damaged) source.bytes[tenth_piece] ^= 1;
    else destination.capacity = 9000;
    EXPECT_FALSE(unpack_payload(source, 1, destination, nullptr));
    EXPECT_LT(source.bytes_read, 20 * 1009u);
    EXPECT_LE(destination.bytes.size(), 9000u);
  }
}

// The package laid out as chosen for its files stays close to their
// bytes, for many small files and for a few large ones.
TEST_F(UnpackPayload, TheChosenLayoutKeepsThePackageCloseToItsFiles) {
  struct ROW {
    const char* what;
    std::vector<size_t> sizes;
    double at_most;  // package bytes per byte of the files and their names
    uint32_t least_block;  // large files take large blocks
  } rows[] = {
      // The block is chosen with the look's fonts too, which this package leaves out.
      {"small files", {}, 1.3, 256},
      {"large files", {3000000, 2500000, 1800000, 40}, 1.01, 16384},
      {"both", {}, 1.1, 1024},
  };
  for (int i = 0; i < 400; ++i) rows[0].sizes.push_back(100 + (i * 7919) % 3000);
  rows[2].sizes = rows[0].sizes;
  rows[2].sizes.insert(rows[2].sizes.end(), rows[1].sizes.begin(), rows[1].sizes.end());
  // Worked by hand (each block costs its bytes, 8 for its fields and 64 charge): 16 bytes fill one block
  // of 16 (88) rather than one of 32 (104); 17 bytes take one of 32 (104) rather than two of 16 (176);
  // 1000 bytes and an empty file take 4 + 1 blocks of 256 (1640) rather than 3 + 1 of 352 (1696).
  const std::pair<std::vector<uint64_t>, uint32_t> choices[] = {{{16}, 16}, {{17}, 32}, {{0, 1000}, 256}};
  for (const auto& [sizes, block] : choices) EXPECT_EQ(choose_packing(sizes).block_size, block) << sizes.back();
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.what);
    // Chosen as the builder chooses: from the files its records name.
    DATABASE data;
    data.installations.resize(1);
    for (size_t n = 0; n < row.sizes.size(); ++n) {
      DATABASE_FILE file;
      set_field_text(file.src_path_from_xml, work.path);
      set_field_text(file.src_name, "f" + std::to_string(n));
      set_field_text(file.packed_name, file.src_name);
      data.installations[0].files.push_back(file);
      ASSERT_TRUE(test_support::write_file(scratch.file("work/") + file.src_name,
                                           pattern(row.sizes[n], static_cast<uint32_t>(n))));
    }
    const PACKING_CHOICE choice = choose_packing(data);
    EXPECT_GE(choice.block_size, row.least_block);
    EXPECT_GE(choice.chunk_size, 65536u);
    remove_file(work, "installer.pkg");
    double bytes = 0;
    {
      PACKAGE package(work, "installer.pkg", true, static_cast<int32_t>(choice.block_size), true,
                      false);
      ASSERT_TRUE(package.is_open());
      for (size_t n = 0; n < row.sizes.size(); ++n) {
        const std::string name = "f" + std::to_string(n);
        ASSERT_TRUE(package.add_file(work, name.c_str()));
        bytes += static_cast<double>(row.sizes[n] + name.size());
      }
    }
    const double package_bytes = test_support::read_file(scratch.file("work/installer.pkg")).size();
    EXPECT_LE(package_bytes, row.at_most * bytes) << "block size " << choice.block_size;
  }
}

}  // namespace

// The address-space limit would also stop the sanitizers' own
// reservations, so this runs in the plain tree only.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Runs work with at most room bytes of address space beyond what the
// process takes now; exits 0 when it succeeded, 1 when it failed.
void exit_within_room(size_t room, const std::function<bool()>& work) {
  size_t pages = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (!statm || fscanf(statm, "%zu", &pages) != 1) _exit(90);
  fclose(statm);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + room;
  if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(91);
  _exit(work() ? 0 : 1);
}

// An installer built with the largest pieces keeps two in flight (a piece
// and room to inflate it, about 110 MB each), not two for every inflating
// thread, so it still unpacks where memory is short.
TEST_F(UnpackPayload, LargePiecesUnpackWithinAFewPiecesOfMemory) {
  make_package();
  PAYLOAD_OPTIONS options;
  options.chunk_size = PAYLOAD_MAX_CHUNK_SIZE;
  test_support::MEMORY_DEVICE source(written(options));
  source.swap = 1;
  test_support::MEMORY_DEVICE destination;
  EXPECT_EXIT(exit_within_room(size_t{420} << 20, [&] { return unpack_payload(source, 1, destination, nullptr); }),
              ::testing::ExitedWithCode(0), "");
  // A builder with room for one piece but not for the deflated one beside it fails, and says so (in a
  // fresh process: memory this one freed would make room).
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto write = [&] { return write_payload(destination, work, "installer.pkg", options); };
  EXPECT_EXIT(exit_within_room(size_t{75} << 20, write), ::testing::ExitedWithCode(1), "");
}
#endif
