// The C source-text export: the exact text for small images, a round trip
// through the array form that create_from_array reads, and write failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "folder.h"
#include "image.h"
#include "image_format_support.h"
#include "test_support.h"
#include "text_file.h"

using image_format_support::pixels_of;
using image_format_support::set_pixels;
using test_support::ScratchDir;

namespace {

class SourceText : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(dir.path().c_str())); }

  // Writes the image's array text to a file and returns the file's bytes.
  std::string export_text(const IMAGE& image, const char* name) {
    TEXT_FILE* file = folder.open_text_file("out.c", 1);
    EXPECT_NE(file, nullptr);
    if (!file) return "";
    EXPECT_TRUE(image.write_c_array(file, name));
    EXPECT_TRUE(FOLDER::close_text_file(file));
    return test_support::read_file(dir.file("out.c"));
  }

  ScratchDir dir;
  FOLDER folder;
};

// The byte values listed between the braces, in order.
std::vector<uint8_t> listed_bytes(const std::string& text) {
  std::vector<uint8_t> out;
  size_t at = text.find('{');
  while ((at = text.find("0x", at)) != std::string::npos) {
    out.push_back(static_cast<uint8_t>(strtoul(text.substr(at + 2, 2).c_str(), nullptr, 16)));
    at += 4;
  }
  return out;
}

}  // namespace

TEST_F(SourceText, OnePixelImageDeclaresNineBytes) {
  IMAGE image;
  set_pixels(image, 1, 1, {0x80C0FFEE});
  EXPECT_EQ(export_text(image, "tiny"),
            "static INT_U8 tiny[9] =\n{\n\t0x01,0x00,0x01,0x00,0x01,\n\t0xEE,0xFF,0xC0,0x80\n};\n");
}

TEST_F(SourceText, RowsFollowOneAnotherWithoutTheStridePadding) {
  IMAGE image;
  image.row_alignment = 4;  // stride 4 for width 3
  set_pixels(image, 3, 2, {0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10, 0x11121314, 0xFFFEFDFC});
  EXPECT_EQ(export_text(image, "pair"),
            "static INT_U8 pair[29] =\n{\n\t0x01,0x00,0x03,0x00,0x02,\n"
            "\t0x04,0x03,0x02,0x01,0x08,0x07,0x06,0x05,0x0C,0x0B,0x0A,0x09,\n"
            "\t0x10,0x0F,0x0E,0x0D,0x14,0x13,0x12,0x11,0xFC,0xFD,0xFE,0xFF\n};\n");
}

TEST_F(SourceText, ListedBytesBuildTheSameImage) {
  IMAGE image;
  std::vector<uint32_t> picture = image_format_support::test_picture(300, 7, false);
  set_pixels(image, 300, 7, picture);
  std::string text = export_text(image, "logo");
  EXPECT_EQ(text.rfind("static INT_U8 logo[8405] =\n{\n\t", 0), 0u);
  std::vector<uint8_t> bytes = listed_bytes(text);
  ASSERT_EQ(bytes.size(), 8405u);
  IMAGE back;
  ASSERT_TRUE(back.create_from_array(bytes.data()));
  EXPECT_EQ(back.width, 300);
  EXPECT_EQ(pixels_of(back), picture);
}

TEST_F(SourceText, EmptyImageDeclaresOnlyTheHeader) {
  IMAGE image;
  EXPECT_EQ(export_text(image, "none"), "static INT_U8 none[5] =\n{\n\t0x01,0x00,0x00,0x00,0x00\n};\n");
}

TEST_F(SourceText, LongNamesAreWrittenWhole) {
  IMAGE image;
  set_pixels(image, 1, 1, {0});
  std::string name(1500, 'n');
  std::string text = export_text(image, name.c_str());
  EXPECT_EQ(text.rfind("static INT_U8 " + name + "[9] =", 0), 0u);
}

TEST_F(SourceText, MissingArgumentsAndWriteFailuresAreReported) {
  IMAGE image;
  set_pixels(image, 200, 100, image_format_support::test_picture(200, 100));
  TEXT_FILE* file = folder.open_text_file("out.c", 1);
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(image.write_c_array(file, nullptr));
  EXPECT_FALSE(image.write_c_array(nullptr, "name"));
  FOLDER::close_text_file(file);

  FOLDER dev;
  ASSERT_TRUE(dev.set_absolute("/dev"));
  TEXT_FILE* full = dev.open_text_file("full", 1);
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(image.write_c_array(full, "name"));
  EXPECT_FALSE(FOLDER::close_text_file(full));
}
