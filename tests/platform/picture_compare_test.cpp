// The whole-picture comparison the image tests share: a match passes
// quietly whatever the strides; a mismatch names the first differing pixel
// and leaves the actual picture as <name>_err.png in the output folder.
#include "picture_compare.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "image_test_support.h"
#include "memory_device.h"
#include "test_support.h"

using ::testing::HasSubstr;

TEST(PictureCompare, MismatchNamesTheFirstPixelAndSavesTheActualPicture) {
  test_support::ScratchDir dir;
  ASSERT_EQ(setenv("VORN_TEST_OUTPUT", dir.path().c_str(), 1), 0);
  IMAGE expected(5, 4), actual;
  image_test_support::fill_pattern(expected, 0x80402010);
  actual.row_alignment = 4;  // another stride
  actual.copy(expected);
  EXPECT_TRUE(test_support::pictures_match("same", actual, expected));
  EXPECT_FALSE(test_support::file_exists(dir.file("same_err.png")));

  const uint32_t was = image_test_support::at(expected, 3, 2);
  image_test_support::at(actual, 3, 2) = 0xFF00FF00;
  image_test_support::at(actual, 1, 3) = 0xFF00FF00;
  char first[80];
  snprintf(first, sizeof(first), "2 pixel(s) differ, the first at (3, 2): expected 0x%08X, actual 0xFF00FF00", was);
  ::testing::AssertionResult result = test_support::pictures_match("changed", actual, expected);
  EXPECT_FALSE(result);
  EXPECT_THAT(result.message(), HasSubstr(first));
  EXPECT_THAT(result.message(), HasSubstr(dir.file("changed_err.png")));
  // The saved picture is the actual one.
  EXPECT_TRUE(test_support::picture_matches_png("saved", actual, dir.file("changed_err.png")));

  // Against a PNG file of the expected picture, the same report.
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(expected.save_png(&png));
  ASSERT_TRUE(test_support::write_file(dir.file("expected.png"), png.text()));
  result = test_support::picture_matches_png("from_file", actual, dir.file("expected.png"));
  EXPECT_THAT(result.message(), HasSubstr(first));
  EXPECT_TRUE(test_support::file_exists(dir.file("from_file_err.png")));
  unsetenv("VORN_TEST_OUTPUT");
}
