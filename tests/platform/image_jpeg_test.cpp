// JPEG reading and writing: agreement with ImageMagick both ways within a
// stated tolerance, grey, progressive and CMYK files, stretching while
// decoding, the memory source, size checks, damaged files, truncated files
// (which decode what they hold) and write failures.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "image_format_support.h"
#include "image_jpeg.h"
#include "test_support.h"

using image_format_support::largest_difference;
using image_format_support::MEMORY_DEVICE;
using image_format_support::pixels_of;
using image_format_support::set_pixels;
using test_support::ScratchDir;

namespace {

// Decoders built on the same library agree to within rounding; against the
// original picture, quality 95 on smooth gradients stays within this.
constexpr int kSameLibraryTolerance = 2;
constexpr int kQuality95Tolerance = 12;

// Smooth gradients: what JPEG keeps well.
std::vector<uint32_t> smooth_picture(int w, int h) {
  std::vector<uint32_t> out;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      out.push_back(0xFF000000u | static_cast<uint32_t>(40 + 150 * i / (w - 1)) << 16 |
                    static_cast<uint32_t>(60 + 120 * j / (h - 1)) << 8 |
                    static_cast<uint32_t>(90 + 60 * (i + j) / (w + h - 2)));
  return out;
}

std::string save_to_bytes(const IMAGE& image, uint8_t quality = 95, bool progressive = false) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(image.save_jpeg(&device, quality, progressive));
  return device.text();
}

std::string picture_jpeg(int w, int h, bool progressive = false) {
  IMAGE image;
  set_pixels(image, w, h, smooth_picture(w, h));
  return save_to_bytes(image, 95, progressive);
}

bool load_bytes(IMAGE& image, const std::string& bytes, int16_t w = -1, int16_t h = -1) {
  MEMORY_DEVICE device(bytes);
  return image.load_jpeg(&device, w, h);
}

// Offset of the first marker 0xFF code, or npos.
size_t find_marker(const std::string& jpeg, uint8_t code) {
  for (size_t k = 2; k + 1 < jpeg.size(); ++k)
    if (static_cast<uint8_t>(jpeg[k]) == 0xFF && static_cast<uint8_t>(jpeg[k + 1]) == code) return k;
  return std::string::npos;
}

// Where each scan's coded data lies: from behind its header to the next
// marker (byte stuffing 0xFF 0x00 is not a marker).
std::vector<std::pair<size_t, size_t>> scan_data_ranges(const std::string& jpeg) {
  std::vector<std::pair<size_t, size_t>> out;
  auto byte = [&](size_t k) { return static_cast<uint8_t>(jpeg[k]); };
  for (size_t k = find_marker(jpeg, 0xDA); k != std::string::npos && k + 3 < jpeg.size();
       k = jpeg.find("\xFF\xDA", k + 2)) {
    size_t from = k + 2 + (byte(k + 2) << 8 | byte(k + 3));
    size_t to = from;
    while (to + 1 < jpeg.size() && !(byte(to) == 0xFF && byte(to + 1) != 0)) ++to;
    out.emplace_back(from, to);
  }
  return out;
}

// Components counted in the frame header (baseline or progressive).
int frame_components(const std::string& jpeg) {
  size_t sof = find_marker(jpeg, 0xC0);
  if (sof == std::string::npos) sof = find_marker(jpeg, 0xC2);
  return sof == std::string::npos ? -1 : static_cast<uint8_t>(jpeg[sof + 9]);
}

// ---- The memory source on its own, with an error manager that records.

struct RECORDER {
  jpeg_error_mgr manager;
  jmp_buf jump;
  int warnings[8];
  int warning_count;
};

void record(j_common_ptr cinfo, int level) {
  RECORDER* recorder = reinterpret_cast<RECORDER*>(cinfo->err);
  if (level < 0 && recorder->warning_count < 8)
    recorder->warnings[recorder->warning_count++] = cinfo->err->msg_code;
}

[[noreturn]] void jump_back(j_common_ptr cinfo) { longjmp(reinterpret_cast<RECORDER*>(cinfo->err)->jump, 1); }

struct MEMORY_DECODE {
  jpeg_decompress_struct cinfo;
  RECORDER recorder;
  uint32_t rows;
  void* client;
};

bool decode_rows(MEMORY_DECODE& d, const uint8_t* data, uint32_t length) {
  jpeg_create_decompress(&d.cinfo);
  int marker = 42;
  jpeg_memory_src(&d.cinfo, data, length, &marker);
  d.client = d.cinfo.client_data == &marker ? d.cinfo.client_data : nullptr;
  jpeg_read_header(&d.cinfo, TRUE);
  jpeg_start_decompress(&d.cinfo);
  JSAMPARRAY row = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                                d.cinfo.output_width * d.cinfo.output_components, 1);
  while (d.cinfo.output_scanline < d.cinfo.output_height) d.rows += jpeg_read_scanlines(&d.cinfo, row, 1);
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

bool guarded_decode(MEMORY_DECODE& d, const uint8_t* data, uint32_t length) {
  if (setjmp(d.recorder.jump)) return false;
  return decode_rows(d, data, length);
}

class JpegFiles : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(dir.path().c_str())); }

  ScratchDir dir;
  FOLDER folder;
};

}  // namespace

// ---- Agreement with another reader and writer

TEST_F(JpegFiles, SavedFileReadsInImageMagickWithinTolerance) {
  REQUIRE_CONVERT();
  IMAGE image;
  image.row_alignment = 4;
  std::vector<uint32_t> picture = smooth_picture(33, 21);
  set_pixels(image, 33, 21, picture);
  DATA_FILE* file = folder.open_data_file("ours.jpg", 1);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.save_jpeg(file, 95, false));
  ASSERT_TRUE(FOLDER::close_data_file(file));

  std::vector<uint32_t> theirs = image_format_support::read_with_convert(dir.file("ours.jpg"));
  EXPECT_LE(largest_difference(theirs, picture), kQuality95Tolerance);
  IMAGE back;
  ASSERT_TRUE(back.load_jpeg_file(folder, "ours.jpg", -1, -1));
  EXPECT_LE(largest_difference(pixels_of(back), theirs), kSameLibraryTolerance);
}

TEST_F(JpegFiles, ImageMagickFilesLoadWithinTolerance) {
  REQUIRE_CONVERT();
  std::vector<uint32_t> picture = smooth_picture(40, 30);
  const std::vector<std::vector<std::string>> variants = {
      {"-quality", "95"}, {"-quality", "95", "-interlace", "JPEG"}, {"-quality", "95", "-sampling-factor", "1x1"}};
  int n = 0;
  for (const auto& options : variants) {
    std::string name = "theirs" + std::to_string(n++) + ".jpg";
    SCOPED_TRACE(name);
    image_format_support::convert_pixels(dir, 40, 30, picture, options, "jpg:" + dir.file(name));
    IMAGE image;
    ASSERT_TRUE(image.load_jpeg_file(folder, name.c_str(), -1, -1));
    ASSERT_EQ(image.width, 40);
    ASSERT_EQ(image.height, 30);
    std::vector<uint32_t> loaded = pixels_of(image);
    for (uint32_t p : loaded) ASSERT_EQ(p >> 24, 0xFFu);
    EXPECT_LE(largest_difference(loaded, image_format_support::read_with_convert(dir.file(name))),
              kSameLibraryTolerance);
    EXPECT_LE(largest_difference(loaded, picture), kQuality95Tolerance);
  }
}

TEST_F(JpegFiles, GreyFileGivesEqualChannels) {
  REQUIRE_CONVERT();
  std::vector<uint32_t> grey;
  for (int k = 0; k < 16 * 8; ++k) grey.push_back(0xFF000000u | static_cast<uint32_t>(k * 2) * 0x010101u);
  image_format_support::convert_pixels(dir, 16, 8, grey, {"-colorspace", "Gray", "-quality", "95"},
                                       "jpg:" + dir.file("grey.jpg"));
  ASSERT_EQ(frame_components(test_support::read_file(dir.file("grey.jpg"))), 1);
  IMAGE image;
  ASSERT_TRUE(image.load_jpeg_file(folder, "grey.jpg", -1, -1));
  for (uint32_t p : pixels_of(image)) {
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_EQ(p >> 16 & 0xFF, p & 0xFF);
    EXPECT_EQ(p >> 8 & 0xFF, p & 0xFF);
  }
  EXPECT_LE(largest_difference(pixels_of(image), grey), 4);
}

TEST_F(JpegFiles, CmykFileIsRefused) {
  REQUIRE_CONVERT();
  image_format_support::convert_pixels(dir, 16, 8, smooth_picture(16, 8), {"-colorspace", "CMYK"},
                                       "jpg:" + dir.file("cmyk.jpg"));
  ASSERT_EQ(frame_components(test_support::read_file(dir.file("cmyk.jpg"))), 4);
  IMAGE image(2, 2);
  EXPECT_FALSE(image.load_jpeg_file(folder, "cmyk.jpg", -1, -1));
  EXPECT_EQ(image.pixels, nullptr);
}

// ---- Writing

TEST_F(JpegFiles, ProgressiveSavingWritesProgressiveFramesOfTheSamePicture) {
  IMAGE image;
  set_pixels(image, 24, 16, smooth_picture(24, 16));
  std::string baseline = save_to_bytes(image, 80, false);
  std::string progressive = save_to_bytes(image, 80, true);
  EXPECT_NE(find_marker(baseline, 0xC0), std::string::npos);
  EXPECT_EQ(find_marker(baseline, 0xC2), std::string::npos);
  EXPECT_NE(find_marker(progressive, 0xC2), std::string::npos);
  EXPECT_EQ(find_marker(progressive, 0xC0), std::string::npos);

  IMAGE a, b;
  ASSERT_TRUE(load_bytes(a, baseline));
  ASSERT_TRUE(load_bytes(b, progressive));
  EXPECT_LE(largest_difference(pixels_of(a), pixels_of(b)), 1);
}

TEST_F(JpegFiles, QualityAbove100FailsWithoutOutput) {
  IMAGE image;
  set_pixels(image, 4, 4, smooth_picture(4, 4));
  MEMORY_DEVICE device;
  EXPECT_FALSE(image.save_jpeg(&device, 101, false));
  EXPECT_FALSE(image.save_jpeg(&device, 255, true));
  EXPECT_TRUE(device.bytes.empty());
  // The ends of the range are fine, and better quality keeps more.
  std::string low = save_to_bytes(image, 0), high = save_to_bytes(image, 100);
  EXPECT_LT(low.size(), high.size());
}

TEST_F(JpegFiles, WriteFailuresAreReported) {
  IMAGE image;
  set_pixels(image, 64, 48, smooth_picture(64, 48));
  size_t whole = save_to_bytes(image).size();
  for (size_t limit : {size_t{0}, size_t{100}, whole / 2, whole - 1}) {
    MEMORY_DEVICE device;
    device.capacity = limit;
    EXPECT_FALSE(image.save_jpeg(&device, 95, false)) << limit;
  }
  FOLDER dev;
  ASSERT_TRUE(dev.set_absolute("/dev"));
  DATA_FILE* full = dev.open_data_file("full", 1);
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(image.save_jpeg(full, 95, false));
  FOLDER::close_data_file(full);

  IMAGE empty;
  MEMORY_DEVICE device;
  EXPECT_FALSE(empty.save_jpeg(&device, 95, false));
  EXPECT_FALSE(image.save_jpeg(nullptr, 95, false));
  uint32_t* buffer = std::exchange(image.pixels, nullptr);  // a detached buffer: nothing to save
  EXPECT_FALSE(image.save_jpeg(&device, 95, false));
  image.pixels = buffer;
  EXPECT_TRUE(device.bytes.empty());
}

// ---- Stretching while decoding

TEST_F(JpegFiles, TwiceTheWidthRepeatsPixelsToTheLeft) {
  std::string jpeg = picture_jpeg(4, 3);
  IMAGE natural, wide;
  ASSERT_TRUE(load_bytes(natural, jpeg));
  ASSERT_TRUE(load_bytes(wide, jpeg, 8, -1));
  ASSERT_EQ(wide.width, 8);
  ASSERT_EQ(wide.height, 3);
  // Source column i lands in 7 * i / 3; gaps repeat the pixel to the left.
  const int from[8] = {0, 0, 1, 1, 2, 2, 2, 3};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(wide.pixels[j * wide.stride + i], natural.pixels[j * natural.stride + from[i]]) << i << "," << j;
}

TEST_F(JpegFiles, ShrinkingKeepsTheRowsAndColumnsTheRuleNames) {
  std::string jpeg = picture_jpeg(8, 8);
  IMAGE natural, small;
  ASSERT_TRUE(load_bytes(natural, jpeg));
  ASSERT_TRUE(load_bytes(small, jpeg, 4, 4));
  // Target t takes the first source s with 3 * s / 7 == t.
  const int from[4] = {0, 3, 5, 7};
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(small.pixels[j * small.stride + i], natural.pixels[from[j] * natural.stride + from[i]]);
  // Down to a single pixel: the first source pixel.
  ASSERT_TRUE(load_bytes(small, jpeg, 1, 1));
  EXPECT_EQ(small.width, 1);
  EXPECT_EQ(small.height, 1);
  EXPECT_EQ(small.pixels[0], natural.pixels[0]);
}

TEST_F(JpegFiles, OnePixelSourcesFillTheWholeTarget) {
  struct CASE {
    int w, h, tw, th;
  };
  for (CASE c : {CASE{5, 1, 5, 3}, CASE{1, 4, 3, 4}, CASE{1, 1, 4, 4}, CASE{5, 1, 2, 6}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    IMAGE source;
    std::vector<uint32_t> picture;
    for (int k = 0; k < c.w * c.h; ++k) picture.push_back(0xFF000000u | static_cast<uint32_t>(k * 50) << 16);
    set_pixels(source, c.w, c.h, picture);
    std::string jpeg = save_to_bytes(source);
    IMAGE natural, stretched;
    ASSERT_TRUE(load_bytes(natural, jpeg));
    ASSERT_TRUE(load_bytes(stretched, jpeg, static_cast<int16_t>(c.tw), static_cast<int16_t>(c.th)));
    ASSERT_EQ(stretched.width, c.tw);
    ASSERT_EQ(stretched.height, c.th);
    for (int j = 0; j < c.th; ++j) {
      for (int i = 0; i < c.tw; ++i) {
        int si = c.w == 1 ? 0 : (c.tw == c.w ? i : -1);
        int sj = c.h == 1 ? 0 : (c.th == c.h ? j : -1);
        if (si < 0 || sj < 0) continue;  // a shrunk axis: covered above
        EXPECT_EQ(stretched.pixels[j * stretched.stride + i], natural.pixels[sj * natural.stride + si])
            << i << "," << j;
      }
    }
    // Nothing left unwritten.
    for (uint32_t p : pixels_of(stretched)) EXPECT_EQ(p >> 24, 0xFFu);
  }
}

TEST_F(JpegFiles, TargetBeyondTheImageLimitFails) {
  std::string jpeg = picture_jpeg(4, 4);
  IMAGE image(2, 2);
  EXPECT_FALSE(load_bytes(image, jpeg, 32767, -1));
  EXPECT_EQ(image.pixels, nullptr);
}

// ---- Memory

TEST_F(JpegFiles, MemoryLoadMatchesFileLoad) {
  std::string jpeg = picture_jpeg(20, 10);
  IMAGE from_device, from_memory;
  ASSERT_TRUE(load_bytes(from_device, jpeg, 10, 20));
  ASSERT_TRUE(from_memory.load_jpeg_memory(reinterpret_cast<const uint8_t*>(jpeg.data()),
                                           static_cast<int32_t>(jpeg.size()), 10, 20));
  EXPECT_EQ(pixels_of(from_memory), pixels_of(from_device));

  IMAGE image(2, 2);
  EXPECT_FALSE(image.load_jpeg_memory(nullptr, 100));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(image.load_jpeg_memory(reinterpret_cast<const uint8_t*>(jpeg.data()), 0));
  EXPECT_FALSE(image.load_jpeg_memory(reinterpret_cast<const uint8_t*>(jpeg.data()), -5));
}

TEST_F(JpegFiles, MemorySourceCutShortWarnsOnceAndEndsThePicture) {
  std::string jpeg = picture_jpeg(48, 32);
  size_t scan = find_marker(jpeg, 0xDA);
  ASSERT_NE(scan, std::string::npos);
  uint32_t cut = static_cast<uint32_t>((scan + jpeg.size()) / 2);  // inside the scan data

  MEMORY_DECODE d;
  memset(&d, 0, sizeof(d));
  d.cinfo.err = jpeg_std_error(&d.recorder.manager);
  d.recorder.manager.emit_message = record;
  d.recorder.manager.error_exit = jump_back;
  bool decoded = guarded_decode(d, reinterpret_cast<const uint8_t*>(jpeg.data()), cut);
  jpeg_destroy_decompress(&d.cinfo);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(d.rows, 32u);
  EXPECT_NE(d.client, nullptr);  // the client word is stored in the object
  int eof_warnings = 0;
  for (int k = 0; k < d.recorder.warning_count; ++k) eof_warnings += d.recorder.warnings[k] == JWRN_JPEG_EOF;
  EXPECT_EQ(eof_warnings, 1);
  EXPECT_EQ(JWRN_JPEG_EOF, 120);

  // As a picture it loads at its full size; the first 16 x 16 block, coded
  // well before the cut, is the whole picture's.
  IMAGE image, whole;
  ASSERT_TRUE(image.load_jpeg_memory(reinterpret_cast<const uint8_t*>(jpeg.data()), static_cast<int32_t>(cut)));
  ASSERT_TRUE(load_bytes(whole, jpeg));
  ASSERT_EQ(image.width, 48);
  ASSERT_EQ(image.height, 32);
  for (int j = 0; j < 15; ++j)
    for (int i = 0; i < 16; ++i)
      ASSERT_EQ(image.pixels[j * image.stride + i], whole.pixels[j * whole.stride + i]) << i << "," << j;
}

TEST_F(JpegFiles, DeviceStandsJustBehindThePictureAfterLoading) {
  std::string jpeg = picture_jpeg(40, 30);
  MEMORY_DEVICE device(jpeg + std::string(5000, 'x'));
  IMAGE image;
  ASSERT_TRUE(image.load_jpeg(&device));
  EXPECT_EQ(device.position, jpeg.size());
}

// ---- Sizes and damage

TEST_F(JpegFiles, SizesBeyondTheImageLimitAreRefused) {
  IMAGE line;
  ASSERT_TRUE(line.create(IMAGE_MAX_SIZE, 1));
  std::string jpeg = save_to_bytes(line, 50);
  IMAGE loaded;
  ASSERT_TRUE(load_bytes(loaded, jpeg));
  EXPECT_EQ(loaded.width, IMAGE_MAX_SIZE);

  std::string small = picture_jpeg(8, 8);
  size_t sof = find_marker(small, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  for (uint32_t size : {32767u, 32768u, 40000u, 65500u}) {
    for (size_t field : {size_t{5}, size_t{7}}) {  // height, width
      std::string patched = small;
      patched[sof + field] = static_cast<char>(size >> 8);
      patched[sof + field + 1] = static_cast<char>(size);
      IMAGE image(2, 2);
      EXPECT_FALSE(load_bytes(image, patched)) << size;
      EXPECT_EQ(image.pixels, nullptr);
    }
  }
}

TEST_F(JpegFiles, TruncatedFilesDecodeWhatTheyHold) {
  // Cut before the first scan's data there is no picture. Cut inside the
  // data of any scan the picture still decodes at its full size, the rest
  // as libjpeg fills it, from a device and from memory alike. (Cut inside
  // the tables between two scans, libjpeg reads the end marker supplied in
  // their place as table bytes and may fail.)
  for (bool progressive : {false, true}) {
    std::string jpeg = picture_jpeg(24, 16, progressive);
    IMAGE whole;
    ASSERT_TRUE(load_bytes(whole, jpeg));
    size_t first_data = scan_data_ranges(jpeg).at(0).first;
    for (size_t length = 0; length < jpeg.size(); ++length) {
      SCOPED_TRACE(std::to_string(length) + (progressive ? " progressive" : " baseline"));
      std::string cut = jpeg.substr(0, length);
      IMAGE image(3, 3), from_memory;
      bool ok = load_bytes(image, cut);
      EXPECT_EQ(ok, image.pixels != nullptr);
      bool memory_ok = from_memory.load_jpeg_memory(reinterpret_cast<const uint8_t*>(cut.data()),
                                                    static_cast<int32_t>(length));
      EXPECT_EQ(memory_ok, ok);
      if (length <= first_data) {
        EXPECT_FALSE(ok);
      }
      bool in_scan_data = false;
      for (auto [from, to] : scan_data_ranges(jpeg)) in_scan_data |= length >= from + 4 && length <= to;
      if (!in_scan_data) continue;
      ASSERT_TRUE(ok);
      EXPECT_EQ(image.width, 24);
      EXPECT_EQ(image.height, 16);
      EXPECT_EQ(pixels_of(from_memory), pixels_of(image));
      for (uint32_t p : pixels_of(image)) ASSERT_EQ(p >> 24, 0xFFu);
    }
    // Only the end marker missing: the whole picture.
    IMAGE nearly;
    ASSERT_TRUE(load_bytes(nearly, jpeg.substr(0, jpeg.size() - 2)));
    EXPECT_EQ(pixels_of(nearly), pixels_of(whole));
  }
  ASSERT_TRUE(test_support::write_file(dir.file("empty.jpg"), ""));
  IMAGE image;
  EXPECT_FALSE(image.load_jpeg_file(folder, "empty.jpg", -1, -1));
}

TEST_F(JpegFiles, FrameClaimingMoreThanItsDataCouldCodeFails) {
  // Complete files, end marker included, whose frame header claims a
  // different size. The data of a 16 x 16 picture could code one of twice
  // that, which decodes like a file cut short; it could never code
  // 2000 x 2000 pixels, which is refused before anything is decoded.
  for (bool progressive : {false, true}) {
    std::string jpeg = picture_jpeg(16, 16, progressive);
    size_t sof = find_marker(jpeg, progressive ? 0xC2 : 0xC0);
    ASSERT_NE(sof, std::string::npos);
    IMAGE whole;
    ASSERT_TRUE(load_bytes(whole, jpeg));
    struct CLAIM {
      uint16_t w, h;
      bool loads;
    };
    for (CLAIM claim : {CLAIM{16, 32, true}, CLAIM{32, 16, true}, CLAIM{2000, 2000, false}}) {
      SCOPED_TRACE(std::to_string(claim.w) + "x" + std::to_string(claim.h) +
                   (progressive ? " progressive" : " baseline"));
      std::string patched = jpeg;
      patched[sof + 5] = static_cast<char>(claim.h >> 8);
      patched[sof + 6] = static_cast<char>(claim.h);
      patched[sof + 7] = static_cast<char>(claim.w >> 8);
      patched[sof + 8] = static_cast<char>(claim.w);
      IMAGE image(3, 3);
      EXPECT_EQ(load_bytes(image, patched), claim.loads);
      EXPECT_EQ(image.width, claim.loads ? claim.w : 0);
      EXPECT_EQ(image.load_jpeg_memory(reinterpret_cast<const uint8_t*>(patched.data()),
                                       static_cast<int32_t>(patched.size())),
                claim.loads);
      EXPECT_EQ(image.height, claim.loads ? claim.h : 0);
    }
  }
}

TEST_F(JpegFiles, EndlessScanSequencesAreCutOff) {
  // The first scan of a progressive file (with the Huffman tables written
  // just before it) repeated at the end: libjpeg only warns about the odd
  // progression and would decode every copy over the whole picture. (The
  // first scan codes its coefficients afresh, so each copy holds all the
  // data it needs; a repeated refinement scan would run out of data.)
  std::string jpeg = picture_jpeg(24, 16, true);
  size_t frame = find_marker(jpeg, 0xC2);
  ASSERT_NE(frame, std::string::npos);
  size_t first_tables = jpeg.find("\xFF\xC4", frame);
  size_t first_scan = jpeg.find("\xFF\xDA", first_tables);
  size_t next_tables = jpeg.find("\xFF\xC4", first_scan);
  ASSERT_NE(next_tables, std::string::npos);
  std::string scan = jpeg.substr(first_tables, next_tables - first_tables);
  auto with_copies = [&](int copies) {
    std::string out = jpeg.substr(0, jpeg.size() - 2);
    for (int k = 0; k < copies; ++k) out += scan;
    return out + "\xFF\xD9";
  };
  IMAGE image;
  EXPECT_TRUE(load_bytes(image, with_copies(100)));
  EXPECT_FALSE(load_bytes(image, with_copies(1000)));
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(JpegFiles, DamagedFilesFailOrLoadButNeverRunWild) {
  for (bool progressive : {false, true}) {
    std::string jpeg = picture_jpeg(24, 16, progressive);
    for (size_t at = 0; at < jpeg.size(); ++at) {
      for (uint8_t flip : {0x01, 0x10, 0xFF}) {
        std::string damaged = jpeg;
        damaged[at] = static_cast<char>(damaged[at] ^ flip);
        IMAGE image;
        bool ok = load_bytes(image, damaged, (at & 1) ? 13 : -1, (at & 2) ? 7 : -1);
        EXPECT_EQ(ok, image.pixels != nullptr) << at;
      }
    }
  }
  IMAGE image;
  EXPECT_FALSE(load_bytes(image, "\xFF\xD8 not a picture at all"));
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(JpegFiles, MissingFileFails) {
  IMAGE image(2, 2);
  EXPECT_FALSE(image.load_jpeg_file(folder, "absent.jpg", -1, -1));
  EXPECT_EQ(image.pixels, nullptr);
}
