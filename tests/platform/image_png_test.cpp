// PNG reading and writing: round trips, files written by ImageMagick in
// every colour type and bit depth, gamma, the signature and size checks,
// damaged files, write failures, and IMAGE::load reaching the decoders by
// name.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "data_file.h"
#include "errors.h"
#include "folder.h"
#include "image.h"
#include "image_format_support.h"
#include "picture_compare.h"
#include "test_support.h"

using image_format_support::MEMORY_DEVICE;
using image_format_support::pixels_of;
using image_format_support::set_pixels;
using image_format_support::test_picture;
using test_support::ScratchDir;

namespace {

// ---- PNG files built byte by byte

void put_u32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
}

void put_chunk(std::string& out, const std::string& type, const std::string& data) {
  put_u32(out, static_cast<uint32_t>(data.size()));
  std::string body = type + data;
  out += body;
  put_u32(out, static_cast<uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// An 8-bit PNG of the given colour type whose rows are given unfiltered;
// extra chunks go between IHDR and IDAT.
std::string make_png(uint32_t w, uint32_t h, uint8_t colour_type, const std::string& rows,
                     const std::string& extra_chunks = "") {
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  put_u32(ihdr, w);
  put_u32(ihdr, h);
  ihdr += static_cast<char>(8);
  ihdr += static_cast<char>(colour_type);
  ihdr += std::string(3, '\0');
  put_chunk(out, "IHDR", ihdr);
  out += extra_chunks;
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(rows.data()),
           static_cast<uLong>(rows.size()));
  packed.resize(size);
  put_chunk(out, "IDAT", packed);
  put_chunk(out, "IEND", "");
  return out;
}

// h rows of w grey pixels of one value, each row led by filter byte 0.
std::string grey_rows(uint32_t w, uint32_t h, uint8_t value) {
  std::string row(1, '\0');
  row += std::string(w, static_cast<char>(value));
  std::string rows;
  for (uint32_t j = 0; j < h; ++j) rows += row;
  return rows;
}

std::string gamma_chunk(uint32_t gamma_times_100000) {
  std::string out, data;
  put_u32(data, gamma_times_100000);
  put_chunk(out, "gAMA", data);
  return out;
}

std::string srgb_chunk() {
  std::string out;
  put_chunk(out, "sRGB", std::string(1, '\0'));
  return out;
}

bool load_bytes(IMAGE& image, const std::string& bytes) {
  MEMORY_DEVICE device(bytes);
  return image.load_png(&device);
}

std::string save_to_bytes(const IMAGE& image) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(image.save_png(&device));
  return device.text();
}

class PngFiles : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(dir.path().c_str())); }

  ScratchDir dir;
  FOLDER folder;
};

}  // namespace

// ---- Writing

TEST_F(PngFiles, SavedImageLoadsBackIdentically) {
  const struct {
    int w, h, alignment;
  } cases[] = {{7, 5, 0}, {7, 5, 1}, {7, 5, 4}, {1, 1, 0}};
  for (const auto& [w, h, alignment] : cases) {
    IMAGE image;
    image.row_alignment = static_cast<uint8_t>(alignment);
    std::vector<uint32_t> picture = test_picture(w, h, false);
    set_pixels(image, w, h, picture);

    DATA_FILE* file = folder.open_data_file("round.png", 1);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(image.save_png(file));
    ASSERT_TRUE(FOLDER::close_data_file(file));

    IMAGE back;
    ASSERT_TRUE(back.load_png_file(folder, "round.png"));
    EXPECT_TRUE(test_support::pictures_match("png_round_trip", back, image))
        << w << "x" << h << ", row alignment " << alignment;
  }
}

TEST_F(PngFiles, SavedFileIsEightBitRgbaWithTextChunks) {
  IMAGE image;
  set_pixels(image, 3, 2, test_picture(3, 2, false));
  std::string png = save_to_bytes(image);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
  EXPECT_EQ(image_format_support::big_endian_u32(png, 16), 3u);  // width
  EXPECT_EQ(image_format_support::big_endian_u32(png, 20), 2u);  // height
  EXPECT_EQ(png[24], 8);                                         // bit depth
  EXPECT_EQ(png[25], 6);                                         // RGB with alpha
  EXPECT_EQ(png[28], 0);                                         // not interlaced
  EXPECT_TRUE(image_format_support::has_chunk(png, "sBIT"));
  EXPECT_NE(png.find(std::string("tEXtAuthor\0", 11)), std::string::npos);
  EXPECT_NE(png.find(std::string("tEXtWebsite\0", 12)), std::string::npos);
}

TEST_F(PngFiles, SavedFileReadsInImageMagickWithTheSamePixels) {
  REQUIRE_CONVERT();
  IMAGE image;
  image.row_alignment = 4;  // stride 12 for width 9: the padding must not leak
  std::vector<uint32_t> picture = test_picture(9, 6, false);
  set_pixels(image, 9, 6, picture);
  DATA_FILE* file = folder.open_data_file("ours.png", 1);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.save_png(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  EXPECT_EQ(image_format_support::read_with_convert(dir.file("ours.png")), picture);
}

TEST_F(PngFiles, PicturesInsideOtherDataAndGzipMembersRoundTrip) {
  IMAGE image;
  std::vector<uint32_t> picture = test_picture(10, 3, false);
  set_pixels(image, 10, 3, picture);

  // Behind other fields of the same file, inside a compressed member: the
  // codec reads and writes only through the data file.
  DATA_FILE* file = folder.open_data_file("inside.gz", 1, 255, true);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->write_u32(0xC0FFEE));
  ASSERT_TRUE(image.save_png(file));
  ASSERT_TRUE(image.save_jpeg(file, 90, false));
  ASSERT_TRUE(file->write_u32(0xBEEF));
  ASSERT_TRUE(FOLDER::close_data_file(file));

  file = folder.open_data_file("inside.gz", 0, 255, true);
  ASSERT_NE(file, nullptr);
  uint32_t before = 0, after = 0;
  IMAGE png, jpeg;
  EXPECT_TRUE(file->read_u32(before));
  EXPECT_TRUE(png.load_png(file));
  EXPECT_TRUE(jpeg.load_jpeg(file));
  EXPECT_TRUE(file->read_u32(after));
  FOLDER::close_data_file(file);
  EXPECT_EQ(before, 0xC0FFEEu);
  EXPECT_EQ(pixels_of(png), picture);
  EXPECT_EQ(jpeg.width, 10);
  EXPECT_EQ(after, 0xBEEFu);
}

TEST_F(PngFiles, EmptyImageIsNotSaved) {
  IMAGE image;
  MEMORY_DEVICE device;
  EXPECT_FALSE(image.save_png(&device));
  EXPECT_TRUE(device.bytes.empty());
  // Sizes without a pixel buffer are no picture either, and no device no file.
  image.width = image.height = 2;
  EXPECT_FALSE(image.save_png(&device));
  EXPECT_TRUE(device.bytes.empty());
  IMAGE picture(2, 2);
  EXPECT_FALSE(picture.save_png(nullptr));
  EXPECT_FALSE(picture.load_png(nullptr));
  EXPECT_EQ(picture.width, 0);
}

TEST_F(PngFiles, WriteFailuresAreReported) {
  IMAGE image;
  set_pixels(image, 64, 64, test_picture(64, 64, false));
  size_t whole = save_to_bytes(image).size();
  for (size_t limit : {size_t{0}, size_t{7}, size_t{40}, whole / 2, whole - 1}) {
    MEMORY_DEVICE device;
    device.capacity = limit;
    EXPECT_FALSE(image.save_png(&device)) << "room for " << limit << " of " << whole << " bytes";
  }

  // A full disk: the data file holds the bytes in its buffer, so the failure
  // shows only when they are pushed out.
  FOLDER dev;
  ASSERT_TRUE(dev.set_absolute("/dev"));
  DATA_FILE* full = dev.open_data_file("full", 1);
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(image.save_png(full));
  FOLDER::close_data_file(full);
}

// ---- Files from another writer

struct PNG_KIND {
  const char* name;
  std::vector<std::string> options;  // for convert, before the output
  const char* prefix;                // output format
  int colour_type;
  int bit_depth;
  bool trns;
  bool interlaced;
};

TEST_F(PngFiles, EveryColourTypeAndDepthFromImageMagickLoads) {
  REQUIRE_CONVERT();
  const int w = 9, h = 4;
  // Pictures each kind can hold exactly, so that every reader must agree
  // with the input.
  std::vector<uint32_t> colour = test_picture(w, h, true);
  std::vector<uint32_t> translucent = test_picture(w, h, false);
  std::vector<uint32_t> grey, grey_alpha, two_level, four_level, few_colours, keyed, keyed_grey;
  for (int k = 0; k < w * h; ++k) {
    uint32_t v = static_cast<uint32_t>((k * 37) & 0xFF);
    grey.push_back(0xFF000000u | v * 0x010101u);
    grey_alpha.push_back(static_cast<uint32_t>((k * 53) & 0xFF) << 24 | v * 0x010101u);
    two_level.push_back(k % 3 ? 0xFFFFFFFFu : 0xFF000000u);
    four_level.push_back(0xFF000000u | static_cast<uint32_t>((k % 4) * 85) * 0x010101u);
    static const uint32_t kFew[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFFFFFFFF};
    few_colours.push_back(kFew[k % 5]);
    keyed.push_back(k % 4 == 1 ? 0x00FF00FFu : kFew[k % 5]);  // binary transparency
    keyed_grey.push_back(k % 4 == 1 ? 0x00404040u : 0xFF000000u | v * 0x010101u);
  }
  // Fully transparent pixels keep whatever colour the writer chose.
  auto hide_clear = [](std::vector<uint32_t> pixels) {
    for (uint32_t& p : pixels)
      if ((p >> 24) == 0) p = 0;
    return pixels;
  };

  struct CASE {
    PNG_KIND kind;
    const std::vector<uint32_t>* input;
  };
  const std::vector<CASE> cases = {
      {{"rgb", {}, "png24:", 2, 8, false, false}, &colour},
      {{"rgba", {}, "png32:", 6, 8, false, false}, &translucent},
      {{"palette", {}, "png8:", 3, 8, false, false}, &few_colours},
      {{"palette with tRNS", {}, "png8:", 3, 8, true, false}, &keyed},
      {{"rgb with tRNS", {"-define", "png:color-type=2"}, "png:", 2, 8, true, false}, &keyed},
      {{"grey 8", {"-define", "png:color-type=0", "-define", "png:bit-depth=8"}, "png:", 0, 8, false, false}, &grey},
      {{"grey 4", {"-define", "png:color-type=0", "-define", "png:bit-depth=4"}, "png:", 0, 4, false, false}, &four_level},
      {{"grey 2", {"-define", "png:color-type=0", "-define", "png:bit-depth=2"}, "png:", 0, 2, false, false}, &four_level},
      {{"grey 1", {"-define", "png:color-type=0", "-define", "png:bit-depth=1"}, "png:", 0, 1, false, false}, &two_level},
      {{"grey with tRNS", {"-define", "png:color-type=0", "-define", "png:bit-depth=8"}, "png:", 0, 8, true, false}, &keyed_grey},
      {{"grey with alpha", {"-define", "png:color-type=4", "-define", "png:bit-depth=8"}, "png:", 4, 8, false, false}, &grey_alpha},
      {{"grey 16", {"-define", "png:color-type=0", "-define", "png:bit-depth=16"}, "png:", 0, 16, false, false}, &grey},
      {{"rgb 16", {}, "png48:", 2, 16, false, false}, &colour},
      {{"rgba 16", {}, "png64:", 6, 16, false, false}, &translucent},
      {{"interlaced rgba", {"-interlace", "PNG"}, "png32:", 6, 8, false, true}, &translucent},
  };

  int n = 0;
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.kind.name);
    std::string name = "kind" + std::to_string(n++) + ".png";
    image_format_support::convert_pixels(dir, w, h, *c.input, c.kind.options,
                                         std::string(c.kind.prefix) + dir.file(name));
    std::string png = test_support::read_file(dir.file(name));
    ASSERT_GT(png.size(), 29u);
    // The fixture is the kind it claims to be.
    EXPECT_EQ(png[25], c.kind.colour_type);
    EXPECT_EQ(png[24], c.kind.bit_depth);
    EXPECT_EQ(image_format_support::has_chunk(png, "tRNS"), c.kind.trns);
    EXPECT_EQ(png[28], c.kind.interlaced ? 1 : 0);

    IMAGE image;
    ASSERT_TRUE(image.load_png_file(folder, name.c_str()));
    ASSERT_EQ(image.width, w);
    ASSERT_EQ(image.height, h);
    std::vector<uint32_t> loaded = hide_clear(pixels_of(image));
    EXPECT_EQ(loaded, hide_clear(*c.input));
    EXPECT_EQ(loaded, hide_clear(image_format_support::read_with_convert(dir.file(name))));
  }
}

// ---- Gamma

TEST_F(PngFiles, FileGammaIsCorrectedForAScreenOfTwoPointTwo) {
  auto load_grey = [](const std::string& chunks) {
    IMAGE image;
    EXPECT_TRUE(load_bytes(image, make_png(2, 1, 0, grey_rows(2, 1, 128), chunks)));
    return image.pixels ? image.pixels[0] : 0u;
  };
  // Without gAMA, or with gAMA 1/2.2, the values stand.
  EXPECT_EQ(load_grey(""), 0xFF808080u);
  EXPECT_EQ(load_grey(gamma_chunk(45455)), 0xFF808080u);
  // A linear file is brought to the screen's curve.
  uint32_t linear = load_grey(gamma_chunk(100000));
  int expected = static_cast<int>(std::lround(255.0 * std::pow(128.0 / 255.0, 1.0 / 2.2)));
  EXPECT_NEAR(static_cast<int>(linear & 0xFF), expected, 1);
  EXPECT_EQ(linear >> 24, 0xFFu);
  // An sRGB chunk overrides the stored gamma.
  EXPECT_EQ(load_grey(srgb_chunk() + gamma_chunk(100000)), 0xFF808080u);
}

// ---- Signature, sizes and damage

TEST_F(PngFiles, WrongSignatureFailsAfterFourBytes) {
  std::string png = make_png(2, 2, 0, grey_rows(2, 2, 9));
  png[2] = 'O';
  MEMORY_DEVICE device(png);
  IMAGE image(3, 3);
  EXPECT_FALSE(image.load_png(&device));
  EXPECT_EQ(device.position, 4u);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);

  MEMORY_DEVICE short_device(std::string("\x89PN", 3));
  EXPECT_FALSE(image.load_png(&short_device));
  EXPECT_EQ(short_device.error, 1);
}

TEST_F(PngFiles, SizesBeyondTheImageLimitAreRefusedBeforeAllocating) {
  IMAGE image;
  ASSERT_TRUE(load_bytes(image, make_png(IMAGE_MAX_SIZE, 1, 0, grey_rows(IMAGE_MAX_SIZE, 1, 7))));
  EXPECT_EQ(image.width, IMAGE_MAX_SIZE);
  EXPECT_EQ(image.pixels[IMAGE_MAX_SIZE - 1], 0xFF070707u);

  // Headers that claim more than the data holds: refusing them must not
  // depend on the data running out.
  for (uint32_t w : {32767u, 32768u, 40000u, 65535u, 0x7FFFFFFFu}) {
    IMAGE refused(2, 2);
    EXPECT_FALSE(load_bytes(refused, make_png(w, 1, 0, grey_rows(1, 1, 7)))) << w;
    EXPECT_EQ(refused.pixels, nullptr);
    EXPECT_FALSE(load_bytes(refused, make_png(1, w, 0, grey_rows(1, 1, 7)))) << w;
    EXPECT_EQ(refused.pixels, nullptr);
  }
}

// The address-space limit that makes the allocation fail would also stop
// the sanitizer's own reservations, so this runs in the plain tree only.
#if !defined(__SANITIZE_ADDRESS__)
void load_a_huge_claim_under_a_small_address_limit() {
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = size_t{512} << 20;
  setrlimit(RLIMIT_AS, &limit);
  IMAGE image;
  // A few hundred bytes that claim 30000 x 30000 pixels (3.6 GB).
  bool loaded = load_bytes(image, make_png(30000, 30000, 0, grey_rows(1, 1, 7)));
  _exit(!loaded && image.pixels == nullptr && image.width == 0 ? 0 : 1);
}

TEST(PngFilesDeathTest, PictureTooLargeForMemoryFailsWithoutEndingTheProgram) {
  set_message_box_handler(message_box_to_stderr);
  EXPECT_EXIT(load_a_huge_claim_under_a_small_address_limit(), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(PngFiles, TruncatedFilesFailWithAnEmptyImage) {
  IMAGE source;
  set_pixels(source, 12, 9, test_picture(12, 9, false));
  std::string png = save_to_bytes(source);
  for (size_t length = 0; length < png.size(); ++length) {
    IMAGE image(4, 4);
    EXPECT_FALSE(load_bytes(image, png.substr(0, length))) << length;
    EXPECT_EQ(image.pixels, nullptr) << length;
  }
}

TEST_F(PngFiles, DamagedFilesFailOrLoadButNeverRunWild) {
  IMAGE source;
  set_pixels(source, 12, 9, test_picture(12, 9, false));
  std::string png = save_to_bytes(source);
  // The signature and the critical chunks (all but the text and sBIT ones,
  // whose damage libpng only warns about) are checked to the last byte.
  std::vector<bool> critical(png.size(), false);
  for (size_t k = 0; k < 8; ++k) critical[k] = true;
  for (size_t at = 8; at + 12 <= png.size();) {
    size_t end = at + 12 + image_format_support::big_endian_u32(png, at);
    std::string type = png.substr(at + 4, 4);
    if (type == "IHDR" || type == "IDAT" || type == "IEND")
      for (size_t k = at; k < end && k < png.size(); ++k) critical[k] = true;
    at = end;
  }
  for (size_t at = 0; at < png.size(); ++at) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::string damaged = png;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      IMAGE image;
      bool ok = load_bytes(image, damaged);
      EXPECT_EQ(ok, image.pixels != nullptr) << at;
      if (critical[at]) {
        EXPECT_FALSE(ok) << "byte " << at << " flipped by " << int(flip);
      }
    }
  }
}

TEST_F(PngFiles, CorruptCompressedDataFails) {
  std::string png = make_png(4, 4, 0, grey_rows(4, 4, 1));
  size_t idat = png.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  png[idat + 4] = static_cast<char>(0xFF);  // no zlib header; the CRC now lies too
  std::string body = png.substr(idat, 4 + image_format_support::big_endian_u32(png, idat - 4));
  std::string crc;
  put_u32(crc, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                           static_cast<uInt>(body.size()))));
  png.replace(idat + body.size(), 4, crc);  // a valid CRC over bad data
  IMAGE image;
  EXPECT_FALSE(load_bytes(image, png));
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(PngFiles, FixedImageOfAnotherSizeIsNeverOverrun) {
  IMAGE source;
  set_pixels(source, 8, 8, test_picture(8, 8));
  std::string png = save_to_bytes(source);
  IMAGE fixed(2, 2);
  fixed.pixels[0] = 0x12345678;
  fixed.fixed = 1;
  EXPECT_FALSE(load_bytes(fixed, png));
  EXPECT_EQ(fixed.width, 2);
  EXPECT_EQ(fixed.pixels[0], 0x12345678u);
}

TEST_F(PngFiles, MissingFileFails) {
  IMAGE image(2, 2);
  EXPECT_FALSE(image.load_png_file(folder, "absent.png"));
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(image.load_png_file(folder, "absent.png", true));
}

// ---- IMAGE::load reaching the decoders

class LoadByName : public PngFiles {
protected:
  void save(const std::string& name, const std::vector<uint32_t>& picture, int w, int h,
            char format) {
    IMAGE image;
    set_pixels(image, w, h, picture);
    DATA_FILE* file = folder.open_data_file(name.c_str(), 1, format == 'r' ? 255 : 0);
    ASSERT_NE(file, nullptr);
    switch (format) {
      case 'p': ASSERT_TRUE(image.save_png(file)); break;
      case 'j': ASSERT_TRUE(image.save_jpeg(file, 90, false)); break;
      case 'x': ASSERT_TRUE(image.save_pcx(file)); break;
      default: ASSERT_TRUE(image.put_to_data_device(file)); break;
    }
    ASSERT_TRUE(FOLDER::close_data_file(file));
  }
  const std::vector<uint32_t> picture = test_picture(6, 4);
  // Quality 90 on a tiny picture whose red changes by 51 from pixel to pixel.
  static constexpr int kJpegTolerance = 48;
};

TEST_F(LoadByName, UpperCaseExtensionChoosesPng) {
  save("PICTURE.PNG", picture, 6, 4, 'p');
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "PICTURE.PNG"));
  EXPECT_EQ(pixels_of(image), picture);
}

TEST_F(LoadByName, OnlyTheJpegOfALogoIsFound) {
  save("logo.jpg", picture, 6, 4, 'j');
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "logo", -1, -1));
  EXPECT_EQ(image.width, 6);
  EXPECT_EQ(image.height, 4);
  EXPECT_LE(image_format_support::largest_difference(pixels_of(image), picture), kJpegTolerance);
}

TEST_F(LoadByName, NameWithoutExtensionIsTriedWithEveryDecoder) {
  // Each format under a bare name, with no appended-extension file present.
  const char formats[] = {'p', 'j', 'x', 'r'};
  for (char format : formats) {
    SCOPED_TRACE(format);
    save("logo", picture, 6, 4, format);
    IMAGE image;
    ASSERT_TRUE(image.load(folder, "logo"));
    EXPECT_EQ(image.width, 6);
    EXPECT_EQ(image.height, 4);
    int tolerance = format == 'j' ? kJpegTolerance : 0;
    EXPECT_LE(image_format_support::largest_difference(pixels_of(image), picture), tolerance);
  }
}

TEST_F(LoadByName, DamagedAppendedNameFallsBackToTheBareName) {
  ASSERT_TRUE(test_support::write_file(dir.file("logo.png"), "\x89PNG damaged"));
  save("logo", picture, 6, 4, 'x');
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "logo"));
  EXPECT_EQ(pixels_of(image), picture);
}

TEST_F(LoadByName, PngOnlyByNameIsScaledAfterLoading) {
  save("wide.png", picture, 6, 4, 'p');
  IMAGE image;
  ASSERT_TRUE(image.load(folder, "wide", 12, 8));
  EXPECT_EQ(image.width, 12);
  EXPECT_EQ(image.height, 8);
}
