#include "text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "folder.h"
#include "picture_compare.h"
#include "test_support.h"
#include "text_convert.h"

using test_support::RunResult;
using test_support::ScratchDir;
using test_support::file_exists;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;

namespace {

std::string bytes_of(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

// Quoted, bytes outside printable ASCII written \xNN.
std::string escaped(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c >= 32 && c < 127 ? std::string(1, static_cast<char>(c)) : hex;
  }
  return out + "\"";
}

class TextFileTest : public testing::Test {
protected:
  TextFileTest() { folder.set_absolute(dir.path().c_str()); }

  // Every line of a file as read_line gives it.
  std::vector<std::string> lines_of(const std::string& name, int16_t line_size = 256) {
    std::vector<std::string> lines;
    TEXT_FILE* file = folder.open_text_file(name.c_str(), 0);
    if (!file) return {"<not opened>"};
    file->line_size = line_size;
    std::vector<char> buffer(line_size > 0 ? line_size : 1, 'Z');
    int guard = 0;
    while (file->read_line(buffer.data()) && ++guard < 10000) lines.emplace_back(buffer.data());
    FOLDER::close_text_file(file);
    return lines;
  }

  std::vector<std::string> lines_from(const std::string& bytes, int16_t line_size = 256) {
    write_file(dir.file("in.txt"), bytes);
    return lines_of("in.txt", line_size);
  }

  // Writes the texts to a new file and returns its bytes.
  std::string written(const std::vector<std::string>& texts, bool utf16 = false) {
    TEXT_FILE* file = folder.open_text_file("out.txt", 1, utf16);
    if (!file) return "<not opened>";
    for (const std::string& text : texts) EXPECT_TRUE(file->write_string(text.c_str()));
    EXPECT_TRUE(FOLDER::close_text_file(file));
    return read_file(dir.file("out.txt"));
  }

  ScratchDir dir;
  FOLDER folder;
};

// ---- Opening

TEST_F(TextFileTest, RefusesBadNamesModesAndMissingFiles) {
  TEXT_FILE file;
  // The last: a file to be written in a folder that is not there.
  for (auto [name, mode] : {std::pair<const char*, uint32_t>{nullptr, 0}, {"", 1}, {"x.txt", 3}, {"no/x.txt", 1}})
    EXPECT_FALSE(file.open(folder, name, mode, false)) << (name ? name : "null");
  char line[8] = "keep";
  EXPECT_FALSE(file.read_line(line));  // nothing open
  EXPECT_FALSE(file_exists(dir.file("x.txt")));
  EXPECT_EQ(folder.open_text_file("missing.txt", 0), nullptr);
  TEXT_FILE* none = nullptr;
  EXPECT_FALSE(FOLDER::close_text_file(none));
}

TEST_F(TextFileTest, CloseDeletesAndNullsTheReference) {
  TEXT_FILE* file = folder.open_text_file("a.txt", 1);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->name.compare("a.txt", false), 0);
  EXPECT_STREQ(file->folder.path, folder.path);
  EXPECT_TRUE(FOLDER::close_text_file(file));
  EXPECT_EQ(file, nullptr);
  EXPECT_TRUE(file_exists(dir.file("a.txt")));
}

// ---- Reading UTF-8 and 8-bit files

TEST_F(TextFileTest, ByteOrderMarkIsSkipped) {
  EXPECT_EQ(lines_from(bytes_of({0xEF, 0xBB, 0xBF, 'a', 'b', '\n'})),
            std::vector<std::string>{"ab"});
  // Only at the very start; elsewhere it is the character U+FEFF.
  EXPECT_EQ(lines_from(bytes_of({'a', 0xEF, 0xBB, 0xBF})),
            std::vector<std::string>{"a\x01,FEFF\x01"});
  // A text that begins with U+FEFF is written behind a mark of its own, so
  // that it reads back whole; elsewhere the character goes as it is.
  EXPECT_EQ(written({"\x01,FEFF\x01" "a\x01,FEFF\x01"}),
            bytes_of({0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF, 'a', 0xEF, 0xBB, 0xBF}));
  EXPECT_EQ(lines_of("out.txt"), std::vector<std::string>{"\x01,FEFF\x01" "a\x01,FEFF\x01"});
  EXPECT_EQ(written({"\x01,FEFF\x01"}, true), bytes_of({0xFF, 0xFE, 0xFF, 0xFE}));
}

TEST_F(TextFileTest, Utf8CharactersBecomeBytesAndRuns) {
  EXPECT_EQ(lines_from(bytes_of({0xC3, 0xA9})), std::vector<std::string>{"\xE9"});
  EXPECT_EQ(lines_from(bytes_of({0xE4, 0xB8, 0xAD})), std::vector<std::string>{"\x01,4E2D\x01"});
  // A run spans consecutive characters and closes before a byte.
  EXPECT_EQ(lines_from("x" + bytes_of({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}) + "y"),
            std::vector<std::string>{"x\x01,4E2D,6587\x01y"});
}

TEST_F(TextFileTest, CharactersAboveTheFirstPlaneAreSurrogatePairs) {
  EXPECT_EQ(lines_from(bytes_of({0xF0, 0x9F, 0x98, 0x80, 'a'})),
            std::vector<std::string>{"\x01,D83D,DE00\x01" "a"});
}

TEST_F(TextFileTest, CharacterOneIsCarriedAsAGroup) {
  std::vector<std::string> lines = lines_from(bytes_of({'a', 0x01, 'b'}));
  EXPECT_EQ(lines, std::vector<std::string>{"a\x01,0001\x01" "b"});
  EXPECT_EQ(written(lines), bytes_of({'a', 0x01, 'b'}));
}

TEST_F(TextFileTest, InvalidUtf8SwitchesToEightBitForTheRestOfTheFile) {
  write_file(dir.file("in.txt"), bytes_of({0x61, 0xE9, 0x62, '\n', 0xC3, 0xA9}));
  TEXT_FILE* file = folder.open_text_file("in.txt", 0);
  ASSERT_NE(file, nullptr);
  char line[256];
  ASSERT_TRUE(file->read_line(line));
  EXPECT_STREQ(line, "a\xE9" "b");
  EXPECT_EQ(file->utf8, 0);
  ASSERT_TRUE(file->read_line(line));
  EXPECT_STREQ(line, "\xC3\xA9");  // no longer decoded
  EXPECT_FALSE(file->read_line(line));
  EXPECT_FALSE(file->write_string("x"));  // a file opened for reading takes no text
  FOLDER::close_text_file(file);
}

TEST_F(TextFileTest, OverlongSurrogateAndTooLargeFormsAreNotUtf8) {
  const std::string samples[] = {
      bytes_of({'x', 0xC0, 0xAF}),              // overlong "/"
      bytes_of({'x', 0xE0, 0x80, 0xAF}),        // overlong 3-byte
      bytes_of({'x', 0xED, 0xA0, 0x80}),        // a surrogate
      bytes_of({'x', 0xF4, 0x90, 0x80, 0x80}),  // above U+10FFFF
      bytes_of({'x', 0xF0, 0x9F, 0x98, 0x41}),  // three bytes read, the fourth wrong
      bytes_of({0xEF, 0xBB, 0x41}),             // a mark that is not one
      bytes_of({'x', 0xE4, 0xB8}),              // cut off by the end of the file
  };
  for (const std::string& bytes : samples) {
    // Every byte comes back as the Latin-1 character of its value.
    EXPECT_EQ(lines_from(bytes), std::vector<std::string>{bytes}) << testing::PrintToString(bytes);
  }
}

TEST_F(TextFileTest, ReadCharGivesLowBitsAndNewlines) {
  write_file(dir.file("in.txt"), "a\r\n" + bytes_of({0xC3, 0xA9, 0xE4, 0xB8, 0xAD}) + "\rz");
  TEXT_FILE* file = folder.open_text_file("in.txt", 0);
  ASSERT_NE(file, nullptr);
  std::string got;
  uint8_t byte;
  while (file->read_char(byte)) got += static_cast<char>(byte);
  EXPECT_EQ(got, "a\n\xE9\x2D\nz");
  EXPECT_EQ(file->line_end, 13u);
  uint8_t unused;
  EXPECT_FALSE(file->write_char('x'));  // not in mode 0
  EXPECT_FALSE(file->read_char(unused));
  FOLDER::close_text_file(file);
}

// ---- Line ends

TEST_F(TextFileTest, CrLfFileGivesNoEmptyLines) {
  EXPECT_EQ(lines_from("one\r\ntwo\r\nthree\r\n"),
            (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(TextFileTest, MixedLineEndsEachEndOneLine) {
  EXPECT_EQ(lines_from("a\r\nb\nc\rd\r\n\ne\n\r"),
            (std::vector<std::string>{"a", "b", "c", "d", "", "e", ""}));
  // A last line without a line end still counts.
  EXPECT_EQ(lines_from("a\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(lines_from(""), std::vector<std::string>{});
}

// ---- Line size

// Every part read_line gives at each line size, with how it ended ("+" a
// line end, ">" cut, "." the end of the file) and, last, the first line end
// seen. A buffer of no room keeps its "Z".
TEST_F(TextFileTest, PartsAtEveryLineSizeMatchTheTranscript) {
  const std::string inputs[] = {
      "abcdefghijklmnopqrst\nnext\n", "abcdefg\nhij\r\nklmnopq", "abcdefgh\n", "ab\nc", "first\nsecond\r\nthird",
      "abcdefghij" + bytes_of({0xE4, 0xB8, 0xAD}) + "gh" + bytes_of({0xF0, 0x9F, 0x98, 0x80}) + "i",
      bytes_of({0xE4, 0xB8, 0xAD, 0xE4, 0xB8, 0xAD, 0xE4, 0xB8, 0xAD, 0xE4, 0xB8, 0xAD}),
      "a" + bytes_of({0xF0, 0x9F, 0x98, 0x80}) + "b", "\r\r\n\n\rx\r",
  };
  std::string out;
  for (const std::string& input : inputs) {
    write_file(dir.file("in.txt"), input);
    out += "file " + escaped(input) + "\n";
    for (int16_t size : {-5, 0, 1, 2, 3, 7, 8, 9, 13, 14}) {
      TEXT_FILE* file = folder.open_text_file("in.txt", 0);
      ASSERT_NE(file, nullptr);
      file->line_size = size;
      std::vector<char> buffer(size > 0 ? size : 1);
      out += "  " + std::to_string(size) + ":";
      for (int calls = 0; calls < 40; ++calls) {
        buffer.assign(buffer.size(), 'Z');
        if (!file->read_line(buffer.data())) break;
        out += " " + escaped(std::string(buffer.data(), strnlen(buffer.data(), buffer.size()))) +
               "+>."[file->line_state];
      }
      out += " end " + std::to_string(file->line_end) + "\n";
      FOLDER::close_text_file(file);
    }
  }
  EXPECT_TRUE(test_support::text_matches_reference("platform", "text_file_parts", out));
}

// ---- Writing

TEST_F(TextFileTest, WritesRunsAsUtf8) {
  EXPECT_EQ(written({"a\x01,4E2D,6587\x01" "b"}),
            "a" + bytes_of({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}) + "b");
  EXPECT_EQ(written({"caf\xE9\n"}), "caf" + bytes_of({0xC3, 0xA9}) + "\n");
  EXPECT_EQ(written({""}), "");
}

TEST_F(TextFileTest, SurrogatePairsBecomeOneFourByteSequence) {
  EXPECT_EQ(written({"\x01,D83D,DE00\x01"}), bytes_of({0xF0, 0x9F, 0x98, 0x80}));
  // Also when the halves arrive in separate calls.
  EXPECT_EQ(written({"\x01,D83D\x01", "\x01,DE00\x01"}), bytes_of({0xF0, 0x9F, 0x98, 0x80}));
  // A lone half cannot be UTF-8.
  EXPECT_EQ(written({"\x01,D83D\x01" "a"}), bytes_of({0xEF, 0xBF, 0xBD, 'a'}));
  EXPECT_EQ(written({"a\x01,D83D\x01"}), bytes_of({'a', 0xEF, 0xBF, 0xBD}));
}

TEST_F(TextFileTest, WriteCodePointEncodesEachRange) {
  TEXT_FILE* file = folder.open_text_file("out.txt", 1);
  ASSERT_NE(file, nullptr);
  for (uint32_t code_point : {0x41u, 0xE9u, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu, 0x110041u})
    EXPECT_TRUE(file->write_code_point(code_point));
  file->utf8 = 0;
  EXPECT_TRUE(file->write_code_point(0x4E2D));  // 8-bit: the low byte
  EXPECT_TRUE(FOLDER::close_text_file(file));
  EXPECT_EQ(read_file(dir.file("out.txt")),
            bytes_of({0x41, 0xC3, 0xA9, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF, 0xF0, 0x90, 0x80, 0x80,
                      0xF4, 0x8F, 0xBF, 0xBF, 0x41, 0x2D}));

  file = folder.open_text_file("out.txt", 1, true);  // the same in UTF-16
  ASSERT_NE(file, nullptr);
  for (uint32_t code_point : {0x41u, 0xE9u, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu, 0x110041u})
    EXPECT_TRUE(file->write_code_point(code_point));
  EXPECT_TRUE(FOLDER::close_text_file(file));
  EXPECT_EQ(read_file(dir.file("out.txt")),
            bytes_of({0xFF, 0xFE, 0x41, 0, 0xE9, 0, 0, 0x08, 0xFF, 0xFF, 0, 0xD8, 0, 0xDC, 0xFF, 0xDB,
                      0xFF, 0xDF, 0xFD, 0xFF}));
}

TEST_F(TextFileTest, MalformedGroupsAreSkipped) {
  EXPECT_EQ(written({"\x01,12,4e2d,zz\x01" "b"}), bytes_of({0xE4, 0xB8, 0xAD, 'b'}));
}

TEST_F(TextFileTest, WriteCharAndPrintf) {
  TEXT_FILE* file = folder.open_text_file("out.txt", 1);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write_char(0xE9));
  EXPECT_TRUE(file->printf("%d-%s|", 42, "100% \x01,4E2D\x01"));
  EXPECT_TRUE(FOLDER::close_text_file(file));
  EXPECT_EQ(read_file(dir.file("out.txt")),
            bytes_of({0xC3, 0xA9}) + "42-100% " + bytes_of({0xE4, 0xB8, 0xAD}) + "|");

  file = folder.open_text_file("out.txt", 1);
  std::string long_text(2000, 'x');
  EXPECT_TRUE(file->printf("%s", long_text.c_str()));
  FOLDER::close_text_file(file);
  EXPECT_EQ(read_file(dir.file("out.txt")), std::string(1023, 'x'));
  EXPECT_FALSE(TEXT_FILE().printf("%d", 1));  // nothing open to write to
}

// ---- UTF-16

TEST_F(TextFileTest, Utf16IsWrittenLittleEndianAfterItsMark) {
  EXPECT_EQ(written({"a\x01,4E2D,D83D,DE00\x01\n"}, true),
            bytes_of({0xFF, 0xFE, 'a', 0, 0x2D, 0x4E, 0x3D, 0xD8, 0x00, 0xDE, '\n', 0}));
}

// The open file tells which order its units come in: swapped after a
// big-endian mark.
TEST_F(TextFileTest, ReadsBothByteOrders) {
  const struct { std::string bytes; std::vector<std::string> lines; uint8_t swap; } rows[] = {
      {bytes_of({0xFF, 0xFE, 'a', 0, 0x2D, 0x4E, '\r', 0, '\n', 0, 'b', 0}), {"a\x01,4E2D\x01", "b"}, 0},
      {bytes_of({0xFE, 0xFF, 0, 'a', 0x4E, 0x2D, 0, '\n', 0, 0xE9, 0xD8, 0x3D, 0xDE, 0x00}),
       {"a\x01,4E2D\x01", "\xE9\x01,D83D,DE00\x01"}, 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(lines_from(row.bytes), row.lines);
    TEXT_FILE* file = folder.open_text_file("in.txt", 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::pair(file->utf16, file->swap), (std::pair<uint8_t, uint8_t>(1, row.swap)));
    FOLDER::close_text_file(file);
  }
}

TEST_F(TextFileTest, BigEndianFilesCannotBeAppendedTo) {
  std::string bytes = bytes_of({0xFE, 0xFF, 0, 'a'});
  write_file(dir.file("be.txt"), bytes);
  EXPECT_EQ(folder.open_text_file("be.txt", 2), nullptr);
  EXPECT_EQ(read_file(dir.file("be.txt")), bytes);
  EXPECT_EQ(lines_of("be.txt"), std::vector<std::string>{"a"});
}

TEST_F(TextFileTest, AppendingKeepsEachFilesEncoding) {
  // Little-endian UTF-16 stays UTF-16.
  write_file(dir.file("le.txt"), bytes_of({0xFF, 0xFE, 'a', 0, '\n', 0}));
  TEXT_FILE* file = folder.open_text_file("le.txt", 2);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write_string("\x01,4E2D\x01\n"));
  EXPECT_TRUE(FOLDER::close_text_file(file));
  EXPECT_EQ(read_file(dir.file("le.txt")),
            bytes_of({0xFF, 0xFE, 'a', 0, '\n', 0, 0x2D, 0x4E, '\n', 0}));

  // A UTF-8 file gets UTF-8, even when UTF-16 was asked for.
  write_file(dir.file("u8.txt"), "a\n");
  file = folder.open_text_file("u8.txt", 2, true);
  ASSERT_NE(file, nullptr);
  char line[8] = "keep";
  EXPECT_FALSE(file->read_line(line));  // appending does not read
  EXPECT_STREQ(line, "keep");
  EXPECT_TRUE(file->write_string("\xE9\n"));
  EXPECT_TRUE(FOLDER::close_text_file(file));
  EXPECT_EQ(read_file(dir.file("u8.txt")), "a\n" + bytes_of({0xC3, 0xA9, '\n'}));

  // A missing file is made; an empty one asked for as UTF-16 gets the mark;
  // a UTF-16 file holding nothing but its mark is still UTF-16.
  write_file(dir.file("mark.txt"), bytes_of({0xFF, 0xFE}));
  for (const auto& [name, utf16, bytes] : std::vector<std::tuple<const char*, bool, std::string>>{
           {"new.txt", false, "x"},
           {"new16.txt", true, bytes_of({0xFF, 0xFE, 'x', 0})},
           {"mark.txt", false, bytes_of({0xFF, 0xFE, 'x', 0})}}) {
    file = folder.open_text_file(name, 2, utf16);
    ASSERT_NE(file, nullptr) << name;
    EXPECT_TRUE(file->write_string("x"));
    EXPECT_TRUE(FOLDER::close_text_file(file));
    EXPECT_EQ(read_file(dir.file(name)), bytes) << name;
  }
}

// ---- Round trips against independent converters

std::string sample_utf8() {
  // Latin-1, CJK, an emoji and the last code point, in several lines.
  return "Gr\xC3\xBC\xC3\x9F" "e caf\xC3\xA9\n"
         "\xE4\xB8\xAD\xE6\x96\x87 text\n"
         "smile \xF0\x9F\x98\x80 and \xF4\x8F\xBF\xBF end\n"
         "\xE2\x82\xAC 5\n";
}

std::string iconv(const std::string& from, const std::string& to, const std::string& bytes) {
  RunResult result = run_program({"/usr/bin/iconv", "-f", from, "-t", to}, {}, &bytes);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return result.out;
}

// Copies a file line by line through the system form.
void copy_lines(FOLDER& folder, const char* from, const char* to, bool utf16) {
  TEXT_FILE* in = folder.open_text_file(from, 0);
  TEXT_FILE* out = folder.open_text_file(to, 1, utf16);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  char line[256];
  while (in->read_line(line)) {
    EXPECT_TRUE(out->write_string(line));
    if (in->line_state == TEXT_FILE::LINE_ENDED) {
      EXPECT_TRUE(out->write_string("\n"));
    }
  }
  FOLDER::close_text_file(in);
  EXPECT_TRUE(FOLDER::close_text_file(out));
}

TEST_F(TextFileTest, Utf8RoundTripsByteForByte) {
  write_file(dir.file("in.txt"), sample_utf8());
  copy_lines(folder, "in.txt", "out.txt", false);
  EXPECT_EQ(read_file(dir.file("out.txt")), sample_utf8());
}

TEST_F(TextFileTest, Utf16LittleEndianRoundTripsByteForByte) {
  std::string le = bytes_of({0xFF, 0xFE}) + iconv("UTF-8", "UTF-16LE", sample_utf8());
  write_file(dir.file("in.txt"), le);
  copy_lines(folder, "in.txt", "out.txt", true);
  EXPECT_EQ(read_file(dir.file("out.txt")), le);
}

TEST_F(TextFileTest, Utf16BigEndianReadsAsTheSameText) {
  write_file(dir.file("in.txt"), bytes_of({0xFE, 0xFF}) + iconv("UTF-8", "UTF-16BE", sample_utf8()));
  copy_lines(folder, "in.txt", "utf8.txt", false);
  EXPECT_EQ(read_file(dir.file("utf8.txt")), sample_utf8());
  copy_lines(folder, "in.txt", "le.txt", true);
  std::string le = read_file(dir.file("le.txt"));
  RunResult python = run_program(
      {"/usr/bin/python3", "-c",
       "import sys; sys.stdout.buffer.write(open(sys.argv[1], 'rb').read().decode('utf-16').encode('utf-8'))",
       dir.file("le.txt")});
  ASSERT_EQ(python.exit_code, 0) << python.err;
  EXPECT_EQ(python.out, sample_utf8());
}

// ---- Write failures

TEST_F(TextFileTest, AFullDeviceIsReportedByWriteStringAndClose) {
  const auto lowest_free_descriptor = [] { const int fd = dup(0); close(fd); return fd; };
  const int free_before = lowest_free_descriptor();
  FOLDER dev;
  ASSERT_TRUE(dev.set_absolute("/dev"));
  TEXT_FILE* file = dev.open_text_file("full", 1);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->write_string("short"));  // still in the stream's buffer
  EXPECT_FALSE(FOLDER::close_text_file(file));

  file = dev.open_text_file("full", 1);
  ASSERT_NE(file, nullptr);
  std::string big(1 << 16, 'x');
  EXPECT_FALSE(file->write_string(big.c_str()));
  EXPECT_FALSE(file->write_string("more"));
  EXPECT_FALSE(FOLDER::close_text_file(file));

  // The byte that meets the full device is itself refused: the bytes taken
  // are those the stream buffers, a block of the device.
  file = dev.open_text_file("full", 1);
  ASSERT_NE(file, nullptr);
  int accepted = 0;
  while (accepted < (1 << 20) && file->write_char('x')) ++accepted;
  struct stat info;
  ASSERT_EQ(stat("/dev/full", &info), 0);
  EXPECT_EQ(accepted, info.st_blksize);
  EXPECT_FALSE(FOLDER::close_text_file(file));
  EXPECT_EQ(lowest_free_descriptor(), free_before);  // a failed file is still let go of
}

}  // namespace
