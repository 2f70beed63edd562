// IMAGE: sizes and strides, clip and dirty rectangles, the raw stored form
// byte for byte, the array form and the built-in pictures, pixel export,
// copies, and the whole-image operations.
#include "image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <sys/resource.h>

#include "errors.h"
#include "image_test_support.h"
#include "memory_device.h"
#include "picture_compare.h"

namespace {

using image_test_support::at;
using image_test_support::reset_dirty;
using test_support::MEMORY_DEVICE;

// Fills with a pattern whose neighbouring pixels differ.
void fill_pattern(IMAGE& image, uint32_t seed = 0x10203040) {
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i)
      image.pixels[static_cast<size_t>(j) * image.stride + i] =
          seed + static_cast<uint32_t>(j) * 0x01000100u + static_cast<uint32_t>(i) * 0x00010001u;
}

std::vector<uint16_t> dirty(const IMAGE& image) {
  return {image.dirty_x1, image.dirty_y1, image.dirty_x2, image.dirty_y2};
}
std::vector<int16_t> clip(const IMAGE& image) {
  return {image.clip_x1, image.clip_y1, image.clip_x2, image.clip_y2};
}
const std::vector<int16_t> kEmptyClip = {-1, -1, -1, -1};
const std::vector<uint16_t> kEmptyDirty = {65535, 65535, 65535, 65535};

// The raw record built by hand, as the device holds it.
std::vector<uint8_t> raw_record(uint16_t w, uint16_t h, const std::vector<uint32_t>& pixels,
                                bool big_endian = false, uint8_t version = 1) {
  const std::string record = image_test_support::raw_picture(w, h, pixels, big_endian, version);
  return std::vector<uint8_t>(record.begin(), record.end());
}

// Read from a device that knows its size and from one that does not, the
// record fails with the device's error set and leaves the picture empty.
void expect_read_fails(const std::vector<uint8_t>& record) {
  for (bool seekable : {true, false}) {
    MEMORY_DEVICE device(record);
    device.can_seek_end = seekable;
    IMAGE image(5, 5);
    EXPECT_FALSE(image.get_from_data_device(&device)) << seekable;
    EXPECT_EQ(device.error, 1);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction, create, strides

TEST(Image, DefaultImageIsEmptyWithDefaults) {
  // init(0, 0) on a picture in use frees its buffer and restores every default.
  IMAGE fresh, reset(4, 3);
  reset.x = reset.y = 5;
  reset.font = reset.font_width = reset.font_height = reset.keep_aspect = 3;
  reset.init(0, 0);
  for (const IMAGE* image : {&fresh, &reset}) {
    EXPECT_EQ(image->pixels, nullptr);
    EXPECT_EQ((std::vector<int>{image->width, image->height, image->stride, image->valid, image->font,
                                image->font_width, image->font_height, image->keep_aspect, image->x, image->y}),
              (std::vector<int>{0, 0, 0, 1, 10, 22, 22, 0, 0, 0}));
    EXPECT_EQ(clip(*image), kEmptyClip);
    EXPECT_EQ(dirty(*image), kEmptyDirty);
    EXPECT_TRUE(image->clip_is_empty());
    EXPECT_EQ(image->next, nullptr);
  }
}

TEST(Image, CreateGivesZeroPixelsAndWholeClip) {
  IMAGE image(5, 3);
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_EQ((std::vector<int>{image.width, image.height, image.stride, image.valid}), (std::vector<int>{5, 3, 6, 1}));
  EXPECT_EQ(image.pixel_count, 18u);
  for (size_t i = 0; i < image.pixel_count; ++i) EXPECT_EQ(image.pixels[i], 0u);
  EXPECT_EQ(clip(image), (std::vector<int16_t>{0, 0, 4, 2}));
}

TEST(Image, StrideFollowsRowAlignment) {
  struct CASE {
    uint8_t alignment;
    int16_t width;
    int16_t stride;
  } cases[] = {{0, 7, 8},   {1, 7, 7},   {4, 7, 8}, {2, 7, 8}, {5, 7, 10}, {127, 7, 127},
               {128, 7, 8}, {255, 7, 8}, {0, 8, 8}, {3, 9, 9}, {1, 1, 1},  {0, 1, 2}};
  for (const CASE& c : cases) {
    IMAGE image;
    image.row_alignment = c.alignment;
    ASSERT_TRUE(image.create(c.width, 2));
    EXPECT_EQ(image.stride, c.stride) << "alignment " << int(c.alignment) << " width " << c.width;
    EXPECT_EQ(image.pixel_count, static_cast<size_t>(2 * c.stride));
  }
}

TEST(Image, CreateWithTheSameSizeKeepsPixelsAndMarksTheAreaDirty) {
  IMAGE image(4, 3);
  at(image, 2, 1) = 0xFF112233;
  uint32_t* buffer = image.pixels;
  reset_dirty(image);
  image.set_clip_rect(1, 1, 1, 1);
  image.max_width = 9;
  ASSERT_TRUE(image.create(4, 3));
  EXPECT_EQ(image.pixels, buffer);
  EXPECT_EQ(std::pair(at(image, 2, 1), int{image.max_width}), std::pair(0xFF112233u, 0));
  EXPECT_EQ(dirty(image), (std::vector<uint16_t>{0, 0, 3, 2}));
  EXPECT_EQ(clip(image), (std::vector<int16_t>{0, 0, 3, 2}));
}

TEST(Image, CreateWithAZeroSideGivesAnEmptyImageThatTakesNoDrawing) {
  IMAGE image(6, 6);
  ASSERT_TRUE(image.create(0, 5));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ((std::vector<int>{image.width, image.height, image.stride, image.valid}), (std::vector<int>{0, 0, 0, 1}));
  EXPECT_EQ(clip(image), kEmptyClip);
  EXPECT_EQ(dirty(image), kEmptyDirty);

  IMAGE source(3, 3);
  fill_pattern(source);
  image.blit(&source, 0, 0, 0, 0, 3, 3, BLIT_COPY);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(dirty(image), kEmptyDirty);

  // An empty image keeps an empty clip whatever is asked of it.
  image.set_clip_rect(0, 0, 10, 10);
  EXPECT_EQ(clip(image), kEmptyClip);
  image.add_dirty_rect(0, 0, 3, 3);
  EXPECT_EQ(dirty(image), kEmptyDirty);
}

TEST(Image, ResizeMarksTheOldAreaDirtyClampedToTheNewBuffer) {
  IMAGE image(800, 600);
  reset_dirty(image);
  image.add_dirty_rect(700, 500, 799, 599);
  ASSERT_TRUE(image.create(640, 480));
  // The old area, cut to the new 640 x 480 buffer.
  EXPECT_EQ(dirty(image), (std::vector<uint16_t>{0, 0, 639, 479}));

  IMAGE small(10, 10);
  reset_dirty(small);
  ASSERT_TRUE(small.create(20, 30));
  EXPECT_EQ(dirty(small), (std::vector<uint16_t>{0, 0, 9, 9}));
  EXPECT_EQ(clip(small), (std::vector<int16_t>{0, 0, 19, 29}));
}

TEST(Image, SizesThatDoNotFitTheFieldsAreRefused) {
  IMAGE image(4, 4);
  for (const auto& [w, h] : {std::pair{32767, 1}, std::pair{1, 32767}}) {
    EXPECT_FALSE(image.create(static_cast<int16_t>(w), static_cast<int16_t>(h))) << w << "x" << h;
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(clip(image), kEmptyClip);
  }
  EXPECT_TRUE(image.create(1, 32766));
  EXPECT_EQ(image.height, 32766);

  // 32766 rounded up to a multiple of 100 would not fit the i16 stride.
  image.row_alignment = 100;
  EXPECT_FALSE(image.create(32766, 1));
  EXPECT_EQ(image.pixels, nullptr);

  image.row_alignment = 0;
  EXPECT_TRUE(image.create(32766, 1));
  EXPECT_EQ(image.stride, 32766);
}

// The address-space limit that makes the allocation fail would also stop
// the sanitizer's own reservations, so this runs in the plain tree only.
#if !defined(__SANITIZE_ADDRESS__)
void allocate_under_a_small_address_limit(int16_t side, int count) {
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = size_t{512} << 20;
  setrlimit(RLIMIT_AS, &limit);
  for (int i = 0; i < count; ++i) IMAGE image(side, side);
  _exit(0);
}

TEST(ImageDeathTest, AllocationFailureIsFatalError0x20) {
  set_message_box_handler(message_box_to_stderr);
  EXPECT_EXIT(allocate_under_a_small_address_limit(32766, 1), ::testing::ExitedWithCode(255),
              "Unable to allocate dynamic memory for image");
  // Pictures made and dropped in turn give their memory back: 200 of 4 MB fit.
  EXPECT_EXIT(allocate_under_a_small_address_limit(1000, 200), ::testing::ExitedWithCode(0), "");
}
#endif

TEST(Image, FixedImagesIgnoreCreate) {
  IMAGE image(4, 4);
  image.fixed = 1;
  image.max_width = 7;
  EXPECT_TRUE(image.create(8, 8));
  EXPECT_EQ(image.width, 4);
  EXPECT_EQ(image.max_width, 7);
}

// ---------------------------------------------------------------------------
// Clip and dirty rectangles

TEST(Image, SetClipRectOrdersAndClampsCorners) {
  IMAGE image(10, 8);
  image.set_clip_rect(7, 6, 2, 1);
  EXPECT_EQ(clip(image), (std::vector<int16_t>{2, 1, 7, 6}));
  image.set_clip_rect(-5, 3, 50, 40);
  EXPECT_EQ(clip(image), (std::vector<int16_t>{0, 3, 9, 7}));

  // With an origin the clamping follows the coordinate space.
  image.x = 100;
  image.y = 50;
  image.set_clip_rect(0, 0, 1000, 52);
  EXPECT_EQ(clip(image), (std::vector<int16_t>{100, 50, 109, 52}));
}

TEST(Image, GetPixelReadsOnlyInsideTheClip) {
  IMAGE image(10, 8);
  fill_pattern(image);
  image.x = 100;
  image.y = 50;
  image.set_clip_rect(101, 51, 108, 53);
  struct CASE {
    int16_t px, py;
    bool inside;
  };
  for (CASE c : {CASE{101, 51, true}, CASE{108, 53, true}, CASE{104, 52, true}, CASE{100, 51, false},
                 CASE{109, 52, false}, CASE{104, 54, false}, CASE{104, 50, false}, CASE{3, 2, false}}) {
    COLOUR pixel = 0x12345678;
    image.get_pixel(c.px, c.py, &pixel);
    EXPECT_EQ(pixel, c.inside ? at(image, c.px, c.py) : COLOUR_INVISIBLE) << c.px << "," << c.py;
  }
  IMAGE empty;
  COLOUR pixel = 0x12345678;
  empty.get_pixel(0, 0, &pixel);
  EXPECT_EQ(pixel, COLOUR_INVISIBLE);
}

TEST(Image, ClipToIntersectsAndEmptiesOutside) {
  IMAGE image(10, 10);
  image.set_clip_rect(2, 2, 8, 8);
  image.clip_to(9, 0, 5, 4);
  EXPECT_EQ(clip(image), (std::vector<int16_t>{5, 2, 8, 4}));
  EXPECT_EQ(image.clip_rect(), (RECT{5, 2, 8, 4}));
  image.clip_to(RECT{6, 0, 20, 3});
  EXPECT_EQ(clip(image), (std::vector<int16_t>{6, 2, 8, 3}));

  IMAGE outside(10, 10);
  outside.clip_to(20, 20, 30, 30);
  EXPECT_EQ(clip(outside), kEmptyClip);
  EXPECT_TRUE(outside.clip_is_empty());
  EXPECT_TRUE(outside.clip_rect().empty());

  // Inside the image but away from the clip rectangle.
  IMAGE apart(10, 10);
  apart.set_clip_rect(0, 0, 2, 2);
  apart.clip_to(5, 5, 9, 9);
  EXPECT_EQ(clip(apart), kEmptyClip);
  // An empty clip stays empty.
  apart.clip_to(0, 0, 9, 9);
  EXPECT_EQ(clip(apart), kEmptyClip);
}

TEST(Image, AddDirtyRectClampsOrdersAndGrows) {
  IMAGE image(10, 10);
  reset_dirty(image);
  image.add_dirty_rect(6, 7, 3, 2);
  EXPECT_EQ(dirty(image), (std::vector<uint16_t>{3, 2, 6, 7}));
  image.add_dirty_rect(-4, 5, 4, 40);
  EXPECT_EQ(dirty(image), (std::vector<uint16_t>{0, 2, 6, 9}));
  image.add_dirty_rect(8, 8, 8, 8);
  EXPECT_EQ(dirty(image), (std::vector<uint16_t>{0, 2, 8, 9}));
  EXPECT_EQ(image.dirty_rect(), (RECT{0, 2, 8, 9}));
  image.add_dirty_rect(RECT{});  // an empty rectangle adds nothing
  image.add_dirty_rect(RECT{20, 1, 30, 1});
  EXPECT_EQ(dirty(image), (std::vector<uint16_t>{0, 1, 9, 9}));
  reset_dirty(image);
  EXPECT_TRUE(image.dirty_rect().empty());
}

// ---------------------------------------------------------------------------
// Raw form

TEST(ImageRaw, WritesTheRecordByteForByteLittleEndian) {
  IMAGE image(3, 2);  // stride 4: the padding pixel is not stored
  ASSERT_EQ(image.stride, 4);
  const std::vector<uint32_t> values = {0xFF102030, 0x80405060, 0x00000001,
                                        0x7F8090A0, 0xDEADBEEF, 0x01020304};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) at(image, i, j) = values[j * 3 + i];
  image.pixels[3] = 0x55555555;  // padding of row 0

  MEMORY_DEVICE device;
  ASSERT_TRUE(image.put_to_data_device(&device));
  std::vector<uint8_t> expected = {'v',  'o',  'r',  'n',  'r',  'a',  'w',  'i',  'm',  'g',
                                   1,    3,    0,    2,    0,    0x30, 0x20, 0x10, 0xFF, 0x60,
                                   0x50, 0x40, 0x80, 0x01, 0,    0,    0,    0xA0, 0x90, 0x80,
                                   0x7F, 0xEF, 0xBE, 0xAD, 0xDE, 0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(device.bytes, expected);
  EXPECT_EQ(device.bytes, raw_record(3, 2, values));

  IMAGE back;
  back.row_alignment = 1;
  device.seek(0, false);
  ASSERT_TRUE(back.get_from_data_device(&device));
  ASSERT_EQ(back.width, 3);
  ASSERT_EQ(back.height, 2);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(at(back, i, j), values[j * 3 + i]);
  EXPECT_EQ(device.error, 0);

  // Written again, the bytes are the same.
  MEMORY_DEVICE again;
  ASSERT_TRUE(back.put_to_data_device(&again));
  EXPECT_EQ(again.bytes, expected);
}

TEST(ImageRaw, SwapFlagWritesBigEndianAndReadsBackIdentically) {
  IMAGE image(2, 2);
  const std::vector<uint32_t> values = {0x11223344, 0x55667788, 0x99AABBCC, 0xDDEEFF00};
  for (int k = 0; k < 4; ++k) at(image, k % 2, k / 2) = values[k];

  MEMORY_DEVICE device;
  device.swap = 1;
  ASSERT_TRUE(image.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, raw_record(2, 2, values, true));
  EXPECT_EQ(device.bytes[11], 0);
  EXPECT_EQ(device.bytes[12], 2);
  EXPECT_EQ(device.bytes[15], 0x11);

  // The reader of the same data gets the swap flag from the data's order
  // byte, whatever host it runs on.
  MEMORY_DEVICE reader(device.bytes);
  reader.swap = 1;
  IMAGE back;
  ASSERT_TRUE(back.get_from_data_device(&reader));
  for (int k = 0; k < 4; ++k) EXPECT_EQ(at(back, k % 2, k / 2), values[k]);

  // Read without the flag, the sizes come out byte-reversed: 512 x 512,
  // more than the record holds, so it fails.
  MEMORY_DEVICE wrong(device.bytes);
  EXPECT_FALSE(back.get_from_data_device(&wrong));
}

TEST(ImageRaw, EmptyImagesAndZeroSizes) {
  IMAGE empty;
  MEMORY_DEVICE device;
  ASSERT_TRUE(empty.put_to_data_device(&device));
  EXPECT_EQ(device.bytes, raw_record(0, 0, {}));

  // Width 0 (with a height) reads as an empty image and succeeds.
  MEMORY_DEVICE zero(raw_record(0, 7, {}));
  IMAGE image(3, 3);
  EXPECT_TRUE(image.get_from_data_device(&zero));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(clip(image), kEmptyClip);
}

TEST(ImageRaw, BadHeadersAreRefusedAndLeaveAnEmptyImage) {
  const std::vector<uint8_t> good = raw_record(1, 1, {0xFFFFFFFF});
  for (uint8_t version : {2, 0}) {
    MEMORY_DEVICE device(raw_record(1, 1, {0xFFFFFFFF}, false, version));
    IMAGE image(4, 4);
    EXPECT_FALSE(image.get_from_data_device(&device)) << "version " << int(version);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
  }
  for (int k = 0; k < 10; ++k) {
    MEMORY_DEVICE device(good);
    device.bytes[k] ^= 0x20;
    IMAGE image;
    EXPECT_FALSE(image.get_from_data_device(&device)) << "magic byte " << k;
  }
  // Cut anywhere in the header.
  for (size_t length = 0; length < 15; ++length) {
    MEMORY_DEVICE device;
    device.bytes.assign(good.begin(), good.begin() + static_cast<long>(length));
    IMAGE image(2, 2);
    EXPECT_FALSE(image.get_from_data_device(&device)) << "length " << length;
    EXPECT_EQ(device.error, 1);
    EXPECT_EQ(image.pixels, nullptr);
  }
  {
    MEMORY_DEVICE device(good);
    IMAGE image;
    EXPECT_TRUE(image.get_from_data_device(&device));
    EXPECT_EQ(at(image, 0, 0), 0xFFFFFFFFu);
  }
}

TEST(ImageRaw, TruncatedPixelsFailCleanly) {
  std::vector<uint8_t> record = raw_record(3, 3, std::vector<uint32_t>(9, 0xFF00FF00));
  record.resize(record.size() - 1);
  expect_read_fails(record);
}

TEST(ImageRaw, LyingSizesFailWithoutAllocatingWhatTheyClaim) {
  // 30000 x 30000 pixels (3.6 GB) claimed, 8 bytes present: the memory
  // taken follows the bytes really read, seekable device or not.
  std::vector<uint8_t> record = raw_record(30000, 30000, {0x01020304, 0x05060708});
  expect_read_fails(record);

  // A width that does not fit the i16 fields is refused from the header,
  // before any pixel is read, also where 33 rows would be staged.
  for (uint16_t big : {uint16_t{32767}, uint16_t{40000}, uint16_t{65535}}) {
    MEMORY_DEVICE huge(raw_record(big, 33, {}));
    huge.bytes.resize(huge.bytes.size() + 4u * big * 33);
    huge.can_seek_end = false;
    IMAGE image;
    EXPECT_FALSE(image.get_from_data_device(&huge)) << big;
    EXPECT_EQ(huge.bytes_read, 15u);
  }
  for (const auto& [w, h] : {std::pair{32766, 1}, std::pair{1, 32766}}) {  // the largest that fit
    MEMORY_DEVICE edge(raw_record(w, h, std::vector<uint32_t>(32766, 0xFF0000FF)));
    IMAGE image;
    EXPECT_TRUE(image.get_from_data_device(&edge)) << w << "x" << h;
    EXPECT_EQ(at(image, w - 1, h - 1), 0xFF0000FFu);
  }
}

TEST(ImageRaw, LargeRecordsReadWhetherOrNotTheDeviceKnowsItsSize) {
  const int w = 1100, h = 1000;  // above the size read without confirmation
  IMAGE image(w, h);
  fill_pattern(image);
  MEMORY_DEVICE written;
  ASSERT_TRUE(image.put_to_data_device(&written));
  ASSERT_EQ(written.bytes.size(), 15u + 4u * w * h);
  for (bool seekable : {true, false}) {
    MEMORY_DEVICE device(written.bytes);
    device.can_seek_end = seekable;
    IMAGE back;
    ASSERT_TRUE(back.get_from_data_device(&device));
    ASSERT_EQ(back.width, w);
    ASSERT_EQ(back.height, h);
    EXPECT_EQ(at(back, 0, 0), at(image, 0, 0));
    EXPECT_EQ(at(back, w - 1, h - 1), at(image, w - 1, h - 1));
    EXPECT_EQ(at(back, 517, 333), at(image, 517, 333));
  }
}

TEST(ImageRaw, UnseekableDeviceReadsAGoodRecord) {
  const std::vector<uint32_t> values = {1, 2, 3, 4, 5, 6};
  MEMORY_DEVICE device(raw_record(2, 3, values));
  device.can_seek_end = false;
  IMAGE image;
  ASSERT_TRUE(image.get_from_data_device(&device));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 3);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(at(image, k % 2, k / 2), values[k]);
}

TEST(ImageRaw, WriterStopsAtTheFirstFailedWrite) {
  IMAGE image(4, 4);
  fill_pattern(image);
  for (size_t limit : {size_t{0}, size_t{5}, size_t{10}, size_t{12}, size_t{14}, size_t{30}}) {
    MEMORY_DEVICE device;
    device.capacity = limit;
    EXPECT_FALSE(image.put_to_data_device(&device)) << limit;
    EXPECT_EQ(device.error, 1);
  }
  MEMORY_DEVICE exact;
  exact.capacity = 15 + 4 * 16;
  EXPECT_TRUE(image.put_to_data_device(&exact));
}

TEST(ImageRaw, FixedImageOfAnotherSizeRefusesTheRecord) {
  IMAGE image(2, 2);
  at(image, 0, 0) = 0xABCDEF01;
  image.fixed = 1;
  MEMORY_DEVICE device(raw_record(3, 1, {1, 2, 3}));
  EXPECT_FALSE(image.get_from_data_device(&device));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(at(image, 0, 0), 0xABCDEF01u);
}

// ---------------------------------------------------------------------------
// Array form and built-in pictures

TEST(ImageArray, ReadsBigEndianSizesAndBgraPixels) {
  const uint8_t array[] = {1, 0, 2, 0, 1, 0x10, 0x20, 0x30, 0x40, 0xAA, 0xBB, 0xCC, 0xDD};
  IMAGE image;
  ASSERT_TRUE(image.create_from_array(array));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 1);
  EXPECT_EQ(at(image, 0, 0), 0x40302010u);
  EXPECT_EQ(at(image, 1, 0), 0xDDCCBBAAu);

  IMAGE fixed(2, 3);  // a fixed picture of another height keeps its pixels
  fixed.fixed = 1;
  EXPECT_FALSE(fixed.create_from_array(array));
  EXPECT_EQ(at(fixed, 0, 0), 0u);
  EXPECT_FALSE(image.create_from_array(nullptr));
  const uint8_t wrong_format[] = {2, 0, 1, 0, 1, 0, 0, 0, 0};
  EXPECT_FALSE(image.create_from_array(wrong_format));
  const uint8_t too_wide[] = {1, 0x80, 0x00, 0, 1};
  EXPECT_FALSE(image.create_from_array(too_wide));
  EXPECT_EQ(image.width, 2) << "a refused array leaves the picture as it was";
  const uint8_t empty[] = {1, 0, 0, 0, 9};
  EXPECT_TRUE(image.create_from_array(empty));
  EXPECT_EQ(image.pixels, nullptr);
}

TEST(ImageArray, BuiltInPicturesHaveTheirSizesAndDecodeByteForByte) {
  struct CASE {
    bool (*load)(IMAGE&);
    const uint8_t* array;
    int w;
    int h;
    const char* name;
  } cases[] = {{load_builtin_image_a, get_builtin_image_array_a(), 195, 80, "builtin_a"},
               {load_builtin_image_b, get_builtin_image_array_b(), 80, 75, "builtin_b"}};
  for (const CASE& c : cases) {
    const uint8_t* a = c.array;
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ((a[1] << 8) | a[2], c.w);
    EXPECT_EQ((a[3] << 8) | a[4], c.h);
    IMAGE image;
    ASSERT_TRUE(c.load(image));
    ASSERT_EQ(image.width, c.w);
    ASSERT_EQ(image.height, c.h);
    // The whole picture as it was looked at when it was made.
    EXPECT_TRUE(test_support::picture_matches_reference("platform", c.name, image));
    int transparent = 0, opaque = 0;
    for (int j = 0; j < c.h; ++j) {
      for (int i = 0; i < c.w; ++i) {
        const uint8_t* p = a + 5 + 4 * (j * c.w + i);
        uint32_t expected = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
        ASSERT_EQ(at(image, i, j), expected) << i << "," << j;
        if (p[3] == 0) ++transparent;
        if (p[3] == 255) ++opaque;
      }
    }
    // A picture on a transparent ground: the corners are clear, most is not.
    EXPECT_EQ(at(image, 0, 0) >> 24, 0u);
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, c.w * c.h / 2);
  }
}

// ---------------------------------------------------------------------------
// Export

TEST(ImageExport, FormatsRowStepsAndRotation) {
  IMAGE image(3, 2);
  const uint32_t p[2][3] = {{0xFF112233, 0x80F0E0D0, 0x00FFFFFF},
                            {0x12345678, 0xFF000000, 0xFF0F8F1F}};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) at(image, i, j) = p[j][i];

  std::vector<uint32_t> out(6, 0xCAFEBABE);
  image.export_pixels(out.data(), 65535, 1, 0, 0);
  EXPECT_EQ(out, (std::vector<uint32_t>{p[0][0], p[0][1], p[0][2], p[1][0], p[1][1], p[1][2]}));

  // Bottom-up into a wider stride: the padding stays untouched.
  std::vector<uint32_t> wide(8, 0xCAFEBABE);
  image.export_pixels(wide.data(), 4, -1, 0, 0);
  EXPECT_EQ(wide, (std::vector<uint32_t>{p[1][0], p[1][1], p[1][2], 0xCAFEBABE, p[0][0], p[0][1],
                                         p[0][2], 0xCAFEBABE}));

  // Red and blue exchanged; a format it does not know writes nothing.
  image.export_pixels(out.data(), 65535, 1, 1, 0);
  image.export_pixels(out.data(), 65535, 1, 3, 0);
  EXPECT_EQ(out, (std::vector<uint32_t>{0xFF332211, 0x80D0E0F0, 0x00FFFFFF, 0x12785634, 0xFF000000, 0xFF1F8F0F}));

  // 5-6-5 (red's top five bits, green's top six, blue's top five), upright and turned.
  std::vector<uint16_t> rgb(6);
  image.export_pixels(rgb.data(), 65535, 1, 2, 0);
  EXPECT_EQ(rgb, (std::vector<uint16_t>{0x1106, 0xF71A, 0xFFFF, 0x32AF, 0x0000, 0x0C63}));
  image.export_pixels(rgb.data(), 65535, 1, 2, 1);
  EXPECT_EQ(rgb, (std::vector<uint16_t>{0x32AF, 0x1106, 0x0000, 0xF71A, 0x0C63, 0xFFFF}));

  // Rotated: destination row i is source column i read from the bottom up;
  // rows are height (2) pixels long.
  std::vector<uint32_t> turned(6);
  image.export_pixels(turned.data(), 65535, 1, 0, 1);
  EXPECT_EQ(turned, (std::vector<uint32_t>{p[1][0], p[0][0], p[1][1], p[0][1], p[1][2], p[0][2]}));
  // Rotated and bottom-up: column 0 lands in the last row (index width - 1).
  image.export_pixels(turned.data(), 65535, -1, 0, 1);
  EXPECT_EQ(turned, (std::vector<uint32_t>{p[1][2], p[0][2], p[1][1], p[0][1], p[1][0], p[0][0]}));
  IMAGE dot(1, 1);  // out[0] holds red and blue exchanged
  dot.pixels[0] = p[0][0];
  dot.export_pixels(out.data(), 65535, 1, 0, 0);
  EXPECT_EQ(out[0], p[0][0]);
}

// ---------------------------------------------------------------------------
// Copies and blits

TEST(ImageCopy, CopyIsDeepAndTakesTheSourceSize) {
  IMAGE source(5, 4);
  fill_pattern(source);
  IMAGE copy(2, 2);
  copy.row_alignment = 1;
  copy.copy(source);
  ASSERT_EQ(copy.width, 5);
  ASSERT_EQ(copy.height, 4);
  EXPECT_EQ(copy.stride, 5);
  EXPECT_NE(copy.pixels, source.pixels);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) EXPECT_EQ(at(copy, i, j), at(source, i, j));
  at(source, 0, 0) = 0;
  EXPECT_NE(at(copy, 0, 0), 0u);

  IMAGE empty;
  copy.copy(empty);
  EXPECT_EQ(copy.pixels, nullptr);
  static_assert(!std::is_copy_constructible_v<IMAGE>);
  static_assert(!std::is_copy_assignable_v<IMAGE>);
}

TEST(ImageBlit, ClipsToClipRectangleSourceAndDestination) {
  IMAGE source(4, 4);
  fill_pattern(source);
  IMAGE dest(6, 6);
  dest.set_clip_rect(1, 1, 4, 4);
  reset_dirty(dest);

  // Starting left of and above the clip: the block loses those columns and
  // rows, and the source start moves by as many.
  dest.blit(&source, 0, 0, -1, 0, 4, 4, BLIT_COPY);
  for (int j = 0; j < 6; ++j) {
    for (int i = 0; i < 6; ++i) {
      bool inside = i >= 1 && i <= 2 && j >= 1 && j <= 3;
      uint32_t expected = inside ? at(source, i + 1, j) : 0;
      EXPECT_EQ(at(dest, i, j), expected) << i << "," << j;
    }
  }
  EXPECT_EQ(dirty(dest), (std::vector<uint16_t>{1, 1, 2, 3}));

  // A negative source start drops columns and moves the destination.
  IMAGE second(6, 6);
  second.blit(&source, -2, -1, 0, 0, 4, 4, BLIT_COPY);
  // Cut to w - 2 columns.
  EXPECT_EQ((std::vector<uint32_t>{at(second, 0, 0), at(second, 1, 0), at(second, 2, 1), at(second, 3, 3), at(second, 4, 1)}),
            (std::vector<uint32_t>{0u, 0u, at(source, 0, 0), at(source, 1, 2), 0u}));

  // Blocks that start outside either image leave everything alone.
  IMAGE third(6, 6);
  third.blit(&source, 4, 0, 0, 0, 2, 2, BLIT_COPY);
  third.blit(&source, 0, 0, 6, 0, 2, 2, BLIT_COPY);
  third.blit(&source, 0, 0, 0, 0, 0, 2, BLIT_COPY);
  third.blit(nullptr, 0, 0, 0, 0, 2, 2, BLIT_COPY);
  for (size_t k = 0; k < third.pixel_count; ++k) EXPECT_EQ(third.pixels[k], 0u);
  EXPECT_EQ(dirty(third), kEmptyDirty);

  // Not valid: nothing.
  IMAGE invalid(2, 2);
  invalid.valid = 0;
  invalid.blit(&source, 0, 0, 0, 0, 2, 2, BLIT_COPY);
  EXPECT_EQ(at(invalid, 0, 0), 0u);
}

TEST(ImageBlit, DestinationWithAnOriginIsAddressedThroughIt) {
  IMAGE source(3, 3);
  fill_pattern(source);
  IMAGE dest(4, 4);
  dest.x = 10;
  dest.y = 20;
  dest.set_clip_rect(10, 20, 13, 23);
  dest.blit(&source, 1, 1, 12, 21, 5, 5, BLIT_COPY);
  EXPECT_EQ(std::tuple(at(dest, 12, 21), at(dest, 13, 22), at(dest, 11, 21), dest.dirty_x1, dest.dirty_y2),
            std::tuple(at(source, 1, 1), at(source, 2, 2), 0u, 12, 22));
}

TEST(ImageBlit, OverlappingCopyWithinOneImage) {
  IMAGE image(4, 4);
  fill_pattern(image);
  IMAGE reference;
  reference.copy(image);
  image.blit(&image, 0, 0, 1, 1, 3, 3, BLIT_COPY);
  for (int j = 1; j < 4; ++j)
    for (int i = 1; i < 4; ++i) EXPECT_EQ(at(image, i, j), at(reference, i - 1, j - 1));
}

// ---------------------------------------------------------------------------
// Whole-image operations

TEST(ImageOps, RotateByQuarterTurnsMovesEveryPixel) {
  IMAGE image(3, 2);
  fill_pattern(image);
  IMAGE original;
  original.copy(image);

  image.rotate_degrees(90);
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 3);
  // x' = x cos - y sin, y' = x sin + y cos: the left column becomes the
  // top row, read from the bottom up.
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 2; ++i) EXPECT_EQ(at(image, i, j), at(original, j, 1 - i)) << i << "," << j;

  image.rotate_degrees(-90);
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(at(image, i, j), at(original, i, j));

  image.rotate(3.1415926535898f);
  ASSERT_EQ(image.width, 3);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(at(image, i, j), at(original, 2 - i, 1 - j));
  // A single column turns too.
  IMAGE column(1, 3);
  fill_pattern(column);
  original.copy(column);
  column.rotate(3.1415926535898f);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(at(column, 0, j), at(original, 0, 2 - j)) << j;
}

TEST(ImageOps, RotateByAnOddAngleGrowsAndLeavesCornersClear) {
  IMAGE image(10, 10);
  std::fill_n(image.pixels, image.pixel_count, 0xFF00FF00u);
  image.rotate_degrees(45);
  // The bounding box of a 10 x 10 square turned by 45 degrees: 10 * sqrt 2.
  EXPECT_EQ(image.width, 15);
  EXPECT_EQ(image.height, 15);
  EXPECT_EQ(at(image, 0, 0), COLOUR_INVISIBLE);
  EXPECT_EQ(at(image, 7, 7), 0xFF00FF00u);
}

// Each flip is a mirror and marks the whole picture to be drawn again.
TEST(ImageOps, FlipsAreMirrors) {
  IMAGE original(3, 2);
  fill_pattern(original);
  for (const bool vertical : {true, false}) {
    IMAGE image;
    image.copy(original);
    reset_dirty(image);
    vertical ? image.flip_vertical() : image.flip_horizontal();
    EXPECT_EQ(dirty(image), (std::vector<uint16_t>{0, 0, 2, 1})) << vertical;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 3; ++i) EXPECT_EQ(at(image, i, j), at(original, vertical ? i : 2 - i, vertical ? 1 - j : j));
  }
}

namespace {

struct SAVED_PIECE {
  int w, h;
  std::vector<uint32_t> pixels;
};
std::map<std::string, SAVED_PIECE> saved;
std::string refused;  // the name whose save fails, as an unwritable file would

bool save_piece(IMAGE& piece, intptr_t user, const char* name) {
  EXPECT_EQ(user, 77);
  if (name == refused) return false;
  SAVED_PIECE s{piece.width, piece.height, {}};
  for (int j = 0; j < piece.height; ++j)
    for (int i = 0; i < piece.width; ++i) s.pixels.push_back(at(piece, i, j));
  saved[name] = s;
  return true;
}

// The pixels of the block at (x, y) of w x h, row by row.
std::vector<uint32_t> block(IMAGE& image, int x, int y, int w, int h) {
  std::vector<uint32_t> out;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) out.push_back(at(image, i, j));
  return out;
}

}  // namespace

TEST(ImageOps, NineSlicesCoverTheImageExactly) {
  for (int size : {5, 4}) {
    IMAGE image(static_cast<int16_t>(size), static_cast<int16_t>(size + 2));
    fill_pattern(image);
    saved.clear();
    ASSERT_TRUE(image.save_nine_slices(77, "frame", save_piece));
    ASSERT_EQ(saved.size(), 9u);
    int w = size, h = size + 2, hw = w / 2, hh = h / 2, rw = w - hw - 1, bh = h - hh - 1;
    struct PIECE {
      const char* name;
      int x, y, w, h;
    } pieces[] = {{"frame_top_left.png", 0, 0, hw, hh},
                  {"frame_bottom_left.png", 0, hh + 1, hw, bh},
                  {"frame_top_right.png", hw + 1, 0, rw, hh},
                  {"frame_bottom_right.png", hw + 1, hh + 1, rw, bh},
                  {"frame_mid_left.png", 0, hh, hw, 1},
                  {"frame_mid_right.png", hw + 1, hh, rw, 1},
                  {"frame_top_mid.png", hw, 0, 1, hh},
                  {"frame_bottom_mid.png", hw, hh + 1, 1, bh},
                  {"frame_mid_mid.png", hw, hh, 1, 1}};
    int area = 0;
    for (const PIECE& p : pieces) {
      ASSERT_EQ(saved.count(p.name), 1u) << p.name;
      const SAVED_PIECE& s = saved[p.name];
      EXPECT_EQ(std::pair(s.w, s.h), std::pair(p.w, p.h)) << p.name;
      EXPECT_EQ(s.pixels, block(image, p.x, p.y, p.w, p.h)) << p.name;
      area += s.w * s.h;
    }
    // No transparent strip past the image: the pieces tile it exactly.
    EXPECT_EQ(area, w * h);
    // Any one piece that cannot be saved fails the whole call, and the
    // other eight are still saved.
    for (const PIECE& p : pieces) {
      saved.clear();
      refused = p.name;
      EXPECT_FALSE(image.save_nine_slices(77, "frame", save_piece)) << p.name;
      EXPECT_EQ(saved.size(), 8u) << p.name;
    }
    refused.clear();
  }
}

TEST(ImageOps, ThreeSlicesHorizontalAndVertical) {
  IMAGE image(6, 4);
  fill_pattern(image);
  saved.clear();
  ASSERT_TRUE(image.save_three_slices_h(77, "bar", save_piece));
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ((std::vector{saved["bar_left.png"].pixels, saved["bar_mid.png"].pixels, saved["bar_right.png"].pixels}),
            (std::vector{block(image, 0, 0, 3, 4), block(image, 3, 0, 1, 4), block(image, 4, 0, 2, 4)}));

  saved.clear();
  ASSERT_TRUE(image.save_three_slices_v(77, "col", save_piece));
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ((std::vector{saved["col_top.png"].pixels, saved["col_mid.png"].pixels, saved["col_bottom.png"].pixels}),
            (std::vector{block(image, 0, 0, 6, 2), block(image, 0, 2, 6, 1), block(image, 0, 3, 6, 1)}));
  for (const std::string name : {"bar_left.png", "bar_right.png", "bar_mid.png", "col_top.png", "col_bottom.png", "col_mid.png"}) {
    refused = name;  // any one piece that cannot be saved fails the call
    EXPECT_FALSE(name[0] == 'b' ? image.save_three_slices_h(77, "bar", save_piece) : image.save_three_slices_v(77, "col", save_piece)) << name;
  }
  refused.clear();

  // A base name too long for a file name is refused.
  std::string long_name(300, 'n');
  EXPECT_FALSE(image.save_three_slices_h(77, long_name.c_str(), save_piece));
  // Without a base name or a saver nothing is saved.
  saved.clear();
  EXPECT_EQ((std::vector<bool>{image.save_three_slices_h(77, nullptr, save_piece), image.save_three_slices_v(77, nullptr, save_piece),
                               image.save_nine_slices(77, nullptr, save_piece), image.save_three_slices_h(77, "bar", nullptr)}),
            std::vector<bool>(4, false));
  EXPECT_TRUE(saved.empty());
  IMAGE empty;
  EXPECT_FALSE(empty.save_nine_slices(77, "x", save_piece));
}
