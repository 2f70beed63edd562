// Loading pictures by name: the raw form on disk with its byte-order byte,
// the order in which names and decoders are tried, scaling after a load,
// failures that leave an empty image, and strips of numbered pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "image_test_support.h"
#include "test_support.h"

using image_test_support::pixels_of;
using test_support::ScratchDir;

namespace {

// The raw record, led by the data file's byte-order byte (0 little-endian,
// non-zero big-endian).
std::string raw_file(uint16_t w, uint16_t h, const std::vector<uint32_t>& pixels,
                     uint8_t order = 0) {
  return std::string(1, static_cast<char>(order)) +
         image_test_support::raw_picture(w, h, pixels, order != 0);
}

class ImageLoad : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(dir.path().c_str())); }
  void put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(test_support::write_file(dir.file(name), bytes));
  }

  ScratchDir dir;
  FOLDER folder;
  const std::vector<uint32_t> a = {0xFF0000FF, 0x8000FF00};             // 2 x 1
  const std::vector<uint32_t> b = {0x11111111, 0x22222222, 0x33333333,  // 3 x 2
                                   0x44444444, 0x55555555, 0x66666666};
};

}  // namespace

TEST_F(ImageLoad, RawFileWrittenThroughADataFileIsTheRecordBehindTheOrderByte) {
  IMAGE image(3, 2);
  for (int k = 0; k < 6; ++k) image.pixels[(k / 3) * image.stride + k % 3] = b[k];
  DATA_FILE* file = folder.open_data_file("out.raw", 1, 255, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.put_to_data_device(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  EXPECT_EQ(test_support::read_file(dir.file("out.raw")), raw_file(3, 2, b));

  IMAGE back;
  ASSERT_TRUE(back.load_raw_file(folder, "out.raw"));
  EXPECT_EQ(pixels_of(back), b);
}

TEST_F(ImageLoad, BigEndianFileReadsIdentically) {
  put("big.raw", raw_file(3, 2, b, 1));
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "big.raw"));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(pixels_of(image), b);
}

TEST_F(ImageLoad, ExtensionIsMatchedWithoutRegardToCase) {
  put("PIC.RAW", raw_file(2, 1, a));
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "PIC.RAW"));
  EXPECT_EQ(pixels_of(image), a);
}

TEST_F(ImageLoad, AppendedExtensionsComeBeforeTheBareName) {
  // Only logo.raw: found by appending.
  put("logo.raw", raw_file(2, 1, a));
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "logo"));
  EXPECT_EQ(pixels_of(image), a);

  // With a file named logo as well, logo.raw still wins.
  put("logo", raw_file(3, 2, b));
  ASSERT_TRUE(image.load(folder, "logo"));
  EXPECT_EQ(pixels_of(image), a);

  // A logo.png that no decoder reads does not stop the search.
  put("logo.png", raw_file(3, 2, b));
  ASSERT_TRUE(image.load(folder, "logo"));
  EXPECT_EQ(pixels_of(image), a);
}

TEST_F(ImageLoad, BareNameIsTriedWithEveryDecoder) {
  put("p", raw_file(3, 2, b));  // the shortest name
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "p"));
  EXPECT_EQ(pixels_of(image), b);
}

TEST_F(ImageLoad, FailuresLeaveAnEmptyImage) {
  IMAGE image(4, 4);
  EXPECT_FALSE(image.load(folder, "missing"));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.clip_x1, -1);

  image.create(4, 4);
  EXPECT_FALSE(image.load(folder, nullptr));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(image.load(folder, ""));
  for (const char* name : std::initializer_list<const char*>{"missing.raw", "", nullptr}) {
    EXPECT_FALSE(image.load_raw_file(folder, name));
    EXPECT_FALSE(image.load_raw_file(folder, name, true));
  }

  // A file that is no picture at all.
  put("text.raw", "just some text, no picture");
  image.create(4, 4);
  EXPECT_FALSE(image.load(folder, "text.raw"));
  EXPECT_EQ(image.pixels, nullptr);

  // A record that claims 30000 x 30000 pixels and holds two.
  put("liar.raw", raw_file(30000, 30000, a));
  image.create(4, 4);
  EXPECT_FALSE(image.load(folder, "liar.raw"));
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(ImageLoad, NamesAreLimitedTo251Characters) {
  std::string longest(247, 'n');
  longest += ".raw";  // 251 characters
  put(longest, raw_file(2, 1, a));
  IMAGE image;
  EXPECT_TRUE(image.load(folder, longest.c_str()));

  std::string too_long = "x" + longest;  // 252 characters, a valid file name
  put(too_long, raw_file(2, 1, a));
  EXPECT_FALSE(image.load(folder, too_long.c_str()));
}

TEST_F(ImageLoad, LoadedPicturesAreScaledByNearestNeighbour) {
  put("pic.raw", raw_file(2, 1, a));
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "pic.raw", 4, -1));
  EXPECT_EQ(pixels_of(image), (std::vector<uint32_t>{a[0], a[0], a[1], a[1]}));

  ASSERT_TRUE(image.load(folder, "pic", -1, 3));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 3);
  EXPECT_EQ(pixels_of(image), (std::vector<uint32_t>{a[0], a[1], a[0], a[1], a[0], a[1]}));
}

TEST_F(ImageLoad, StripPutsNumberedPicturesSideBySide) {
  put("s1.raw", raw_file(2, 1, a));
  put("s3.raw", raw_file(3, 2, b));
  IMAGE strip;
  // 2 is missing and skipped; the strip is as wide as both and as high as
  // the taller.
  ASSERT_TRUE(strip.load_strip(folder, "s%d.raw", 1, 3));
  ASSERT_EQ(strip.width, 5);
  ASSERT_EQ(strip.height, 2);
  EXPECT_EQ(pixels_of(strip), (std::vector<uint32_t>{a[0], a[1], b[0], b[1], b[2],  //
                                                     0, 0, b[3], b[4], b[5]}));

  // last 65535 stops at the first number that is missing.
  ASSERT_TRUE(strip.load_strip(folder, "s%d.raw", 1, 65535));
  EXPECT_EQ(pixels_of(strip), a);

  EXPECT_FALSE(strip.load_strip(folder, "s%d.raw", 3, 1));
  EXPECT_EQ(strip.pixels, nullptr);
  EXPECT_FALSE(strip.load_strip(folder, "none%d.raw", 1, 5));
  EXPECT_EQ(strip.pixels, nullptr);

  // The name format takes exactly one integer.
  EXPECT_FALSE(strip.load_strip(folder, "s%s.raw", 1, 3));
  EXPECT_FALSE(strip.load_strip(folder, "s%d%d.raw", 1, 3));
  EXPECT_FALSE(strip.load_strip(folder, "s.raw", 1, 3));
  EXPECT_FALSE(strip.load_strip(folder, "s%n.raw", 1, 3));
  put("7", raw_file(2, 1, a));  // a one-character name
  EXPECT_TRUE(strip.load_strip(folder, "s%01.1d.raw", 1, 1) && strip.load_strip(folder, "%d", 7, 7));
}
