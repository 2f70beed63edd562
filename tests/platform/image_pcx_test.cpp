// PCX reading and writing: the header byte for byte in both byte orders,
// the palette built while writing, run-length decoding, the transparent key
// colour, agreement with ImageMagick both ways, malformed, truncated and
// damaged files, and write failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "image_format_support.h"
#include "test_support.h"

using image_format_support::MEMORY_DEVICE;
using image_format_support::pixels_of;
using image_format_support::set_pixels;
using test_support::ScratchDir;

namespace {

constexpr uint32_t kKeyColour = 0x8B9A25;  // red 139, green 154, blue 37

struct HEADER {
  uint8_t manufacturer = 10;
  uint8_t encoding = 1;  // run-length
  uint8_t bits = 8;
  uint16_t x_min = 0, y_min = 0, x_max = 0, y_max = 0;
  uint8_t layers = 1;
  uint16_t bytes_per_line = 0;
};

void put_u16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

// A PCX file from a header, coded data and a palette of (index, 0xRRGGBB).
std::string make_pcx(const HEADER& h, const std::string& data,
                     const std::vector<std::pair<int, uint32_t>>& colours, uint8_t marker = 12) {
  std::string out;
  out += static_cast<char>(h.manufacturer);
  out += '\x05';
  out += static_cast<char>(h.encoding);
  out += static_cast<char>(h.bits);
  put_u16(out, h.x_min);
  put_u16(out, h.y_min);
  put_u16(out, h.x_max);
  put_u16(out, h.y_max);
  put_u16(out, 72);
  put_u16(out, 72);
  out += std::string(48, '\0');
  out += '\0';
  out += static_cast<char>(h.layers);
  put_u16(out, h.bytes_per_line);
  put_u16(out, 1);
  out += std::string(58, '\0');
  out += data;
  out += static_cast<char>(marker);
  std::string palette(768, '\0');
  for (auto [index, rgb] : colours) {
    palette[3 * index] = static_cast<char>(rgb >> 16);
    palette[3 * index + 1] = static_cast<char>(rgb >> 8);
    palette[3 * index + 2] = static_cast<char>(rgb);
  }
  return out + palette;
}

HEADER header_for(int w, int h, int bytes_per_line = -1) {
  HEADER header;
  header.x_max = static_cast<uint16_t>(w - 1);
  header.y_max = static_cast<uint16_t>(h - 1);
  header.bytes_per_line = static_cast<uint16_t>(bytes_per_line < 0 ? w : bytes_per_line);
  return header;
}

bool load_bytes(IMAGE& image, const std::string& bytes) {
  MEMORY_DEVICE device(bytes);
  return image.load_pcx(&device);
}

std::string save_to_bytes(const IMAGE& image) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(image.save_pcx(&device));
  return device.text();
}

// The run-length data of a file written by save_pcx, as one index per pixel.
std::vector<int> decoded_indices(const std::string& pcx) {
  std::vector<int> out;
  for (size_t k = 128; k < pcx.size() - 769; ++k) {
    uint8_t byte = static_cast<uint8_t>(pcx[k]);
    if (byte >= 0xC0) {
      EXPECT_EQ(byte, 0xC1);  // runs are never merged
      out.push_back(static_cast<uint8_t>(pcx[++k]));
    } else {
      out.push_back(byte);
    }
  }
  return out;
}

// Opaque colours with a few repeats: fewer than 255 of them.
std::vector<uint32_t> opaque_picture(int w, int h) {
  std::vector<uint32_t> out;
  for (int k = 0; k < w * h; ++k) out.push_back(0xFF000000u | static_cast<uint32_t>((k % 37) * 0x061B05));
  return out;
}

class PcxFiles : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(dir.path().c_str())); }

  ScratchDir dir;
  FOLDER folder;
};

}  // namespace

// ---- Writing

TEST_F(PcxFiles, HeaderAndTrailerAreWrittenAsTheTableSays) {
  IMAGE image;
  set_pixels(image, 5, 3,
             {0xFF010203, 0x80010203, 0xFFC0C0C0, 0xFF010203, 0xFF0000FF,  // alpha is ignored
              0xFF0000FF, 0xFF010203, 0xFF010203, 0xFF010203, 0xFF010203,
              0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233});
  std::string pcx = save_to_bytes(image);
  std::string expected_header = make_pcx(header_for(5, 3), "", {}).substr(0, 128);
  expected_header[12] = 5;  // resolution fields carry the size
  expected_header[13] = 0;
  expected_header[14] = 3;
  expected_header[15] = 0;
  EXPECT_EQ(pcx.substr(0, 128), expected_header);

  // One index per pixel in order of first appearance; runs are not merged.
  std::vector<int> expected = {0, 0, 1, 0, 2, 2, 0, 0, 0, 0, 3, 3, 3, 3, 3};
  EXPECT_EQ(decoded_indices(pcx), expected);
  ASSERT_EQ(pcx.size(), 128u + 15u + 769u);
  size_t trailer = pcx.size() - 769;
  EXPECT_EQ(pcx[trailer], 12);
  std::string palette = pcx.substr(trailer + 1);
  EXPECT_EQ(palette.substr(0, 12), std::string("\x01\x02\x03\xC0\xC0\xC0\x00\x00\xFF\x11\x22\x33", 12));
  EXPECT_EQ(palette.substr(12), std::string(768 - 12, '\0'));
}

TEST_F(PcxFiles, SwappedDeviceWritesBigEndianFieldsAndReadsThemBack) {
  IMAGE image;
  std::vector<uint32_t> picture = opaque_picture(300, 2);
  set_pixels(image, 300, 2, picture);
  DATA_FILE* file = folder.open_data_file("big.pcx", 1, 1);  // swap flag set, no order byte
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.save_pcx(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  std::string pcx = test_support::read_file(dir.file("big.pcx"));
  EXPECT_EQ(pcx.substr(8, 2), std::string("\x01\x2B", 2));   // x max 299
  EXPECT_EQ(pcx.substr(66, 2), std::string("\x01\x2C", 2));  // bytes per line 300

  DATA_FILE* in = folder.open_data_file("big.pcx", 0, 1);
  ASSERT_NE(in, nullptr);
  IMAGE back;
  EXPECT_TRUE(back.load_pcx(in));
  FOLDER::close_data_file(in);
  EXPECT_EQ(pixels_of(back), picture);
}

TEST_F(PcxFiles, SavedImageLoadsBackWithOpaquePixelsAndTheKeyTransparent) {
  IMAGE image;
  image.row_alignment = 8;
  std::vector<uint32_t> picture = opaque_picture(1, 7);  // one column, padded to two bytes a line
  picture[5] = 0xFF000000u | kKeyColour;
  picture[6] = 0x40FFFFFF;  // alpha is not stored
  set_pixels(image, 1, 7, picture);
  DATA_FILE* file = folder.open_data_file("round.pcx", 1);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.save_pcx(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));

  IMAGE back;
  ASSERT_TRUE(back.load_pcx_file(folder, "round.pcx"));
  std::vector<uint32_t> expected = picture;
  expected[5] = kKeyColour;
  expected[6] = 0xFFFFFFFF;
  EXPECT_EQ(pixels_of(back), expected);
}

TEST_F(PcxFiles, ThreeHundredColoursShareTheLastIndex) {
  IMAGE image;
  std::vector<uint32_t> picture;
  for (uint32_t k = 0; k < 300; ++k) picture.push_back(0xFF000000u | (k * 0x010305 + 7));
  set_pixels(image, 300, 1, picture);
  std::string pcx = save_to_bytes(image);
  std::vector<int> indices = decoded_indices(pcx);
  ASSERT_EQ(indices.size(), 300u);
  for (int k = 0; k < 300; ++k) EXPECT_EQ(indices[k], k < 255 ? k : 0) << k;
  // Indices from 192 on are written behind the run byte 0xC1.
  EXPECT_EQ(pcx.substr(128 + 192, 4), std::string("\xC1\xC0\xC1\xC1", 4));
  // The palette holds the first 255 colours, the last entry stays zero.
  std::string palette = pcx.substr(pcx.size() - 768);
  EXPECT_EQ(static_cast<uint8_t>(palette[3 * 254 + 2]), (picture[254] & 0xFF));
  EXPECT_EQ(palette.substr(3 * 255), std::string(3, '\0'));

  IMAGE back;
  ASSERT_TRUE(load_bytes(back, pcx));
  std::vector<uint32_t> loaded = pixels_of(back);
  EXPECT_EQ(loaded[254], picture[254]);
  EXPECT_EQ(loaded[299], picture[0]);
}

TEST_F(PcxFiles, WriteFailuresAreReported) {
  IMAGE image;
  set_pixels(image, 40, 30, opaque_picture(40, 30));
  size_t whole = save_to_bytes(image).size();
  // Failures early in the file must count too, not only the last write.
  for (size_t limit : {size_t{0}, size_t{1}, size_t{100}, size_t{500}, whole - 769, whole - 1}) {
    MEMORY_DEVICE device;
    device.capacity = limit;
    EXPECT_FALSE(image.save_pcx(&device)) << limit;
  }
  FOLDER dev;
  ASSERT_TRUE(dev.set_absolute("/dev"));
  DATA_FILE* full = dev.open_data_file("full", 1);
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(image.save_pcx(full));
  FOLDER::close_data_file(full);

  IMAGE empty;
  MEMORY_DEVICE device;
  EXPECT_FALSE(empty.save_pcx(&device));
}

// ---- Reading

TEST_F(PcxFiles, RunsCrossRowsAndColumnsBeyondTheWidthAreSkipped) {
  // 3 x 2 with 4 bytes per line: a run of 5 covers row 0 (and its padding
  // byte) and the first value of row 1; a zero-length run gives nothing.
  std::string data = std::string("\xC5\x01", 2) + "\xC0\x07" + "\x02\x03\x04";
  std::string pcx = make_pcx(header_for(3, 2, 4), data, {{1, 0x102030}, {2, 0x405060}, {3, 0x708090}, {4, 0xA0B0C0}});
  IMAGE image;
  ASSERT_TRUE(load_bytes(image, pcx));
  EXPECT_EQ(pixels_of(image),
            (std::vector<uint32_t>{0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030, 0xFF405060, 0xFF708090}));
}

TEST_F(PcxFiles, KeyColourReadsAsTransparentAndOffsetOriginsGiveTheSize) {
  HEADER header = header_for(2, 1);
  header.x_min = 10;
  header.x_max = 11;
  header.y_min = 5;
  header.y_max = 5;
  std::string pcx = make_pcx(header, std::string("\x00\x01", 2), {{0, kKeyColour}, {1, 0x8B9A26}});
  IMAGE image;
  ASSERT_TRUE(load_bytes(image, pcx));
  EXPECT_EQ(pixels_of(image), (std::vector<uint32_t>{kKeyColour, 0xFF8B9A26}));
}

TEST_F(PcxFiles, MalformedFilesAreRefusedWithAnEmptyImage) {
  const std::vector<std::pair<int, uint32_t>> colours = {{0, 0x112233}};
  std::string data(6, '\0');
  auto refused = [&](const std::string& what, const std::string& pcx) {
    SCOPED_TRACE(what);
    IMAGE image(2, 2);
    EXPECT_FALSE(load_bytes(image, pcx));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
  };
  ASSERT_TRUE([&] {
    IMAGE image;
    return load_bytes(image, make_pcx(header_for(3, 2), data, colours));
  }());

  const struct {
    const char* what;
    void (*change)(HEADER&);  // of a good 3 x 2 header
  } headers[] = {{"manufacturer 11", [](HEADER& h) { h.manufacturer = 11; }},
                 {"uncompressed", [](HEADER& h) { h.encoding = 0; }},
                 {"unknown encoding", [](HEADER& h) { h.encoding = 2; }},
                 {"1 bit per pixel", [](HEADER& h) { h.bits = 1; }},
                 {"three colour layers", [](HEADER& h) { h.layers = 3; }},
                 {"x max below x min", [](HEADER& h) { h.x_min = 5; }},
                 {"y max below y min", [](HEADER& h) { h.y_min = 2; }}};
  for (const auto& row : headers) {
    HEADER h = header_for(3, 2);
    row.change(h);
    refused(row.what, make_pcx(h, data, colours));
  }
  refused("marker 13", make_pcx(header_for(3, 2), data, colours, 13));
  refused("width 32767", make_pcx(header_for(32767, 1), data, colours));
  refused("width 40000", make_pcx(header_for(40000, 1), data, colours));
  refused("height 65536", make_pcx(header_for(1, 65536), data, colours));
  refused("bytes per line below the width", make_pcx(header_for(3, 2, 2), data, colours));
  refused("data ends before the last row", make_pcx(header_for(3, 2), data.substr(0, 5), colours));
  refused("run without its value", make_pcx(header_for(3, 2), std::string(5, '\0') + "\xC2", colours));
  // Shorter than header and trailer together: nothing may be read before
  // the start of the file.
  std::string whole = make_pcx(header_for(3, 2), data, colours);
  for (size_t length : {size_t{0}, size_t{1}, size_t{128}, size_t{768}, size_t{769}, size_t{896}})
    refused("only " + std::to_string(length) + " bytes", whole.substr(whole.size() - length));
}

TEST_F(PcxFiles, SizeBeyondWhatTheDataCanCodeIsRefusedBeforeDecoding) {
  // Two bytes code at most 63 values, so 32766 x 32766 needs some 34 MB of
  // data; a file that claims it with a few bytes is refused at the header,
  // before a picture is allocated or any data read.
  std::string data = "\xFF\x01\xFF\x01";
  for (HEADER header : {header_for(IMAGE_MAX_SIZE, IMAGE_MAX_SIZE), header_for(127, 1), header_for(1, 127),
                        header_for(2, 2, 126)}) {
    SCOPED_TRACE(std::to_string(header.x_max + 1) + "x" + std::to_string(header.y_max + 1));
    MEMORY_DEVICE device(make_pcx(header, data, {{1, 0x445566}}));
    IMAGE image(2, 2);
    EXPECT_FALSE(image.load_pcx(&device));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(device.position, 128u);
  }
  // Exactly what the data codes still loads: two runs of 63.
  IMAGE image;
  ASSERT_TRUE(load_bytes(image, make_pcx(header_for(126, 1), data, {{1, 0x445566}})));
  EXPECT_EQ(image.pixels[125], 0xFF445566u);
}

TEST_F(PcxFiles, EverySizeFromOnePixelToTheLargestLoads) {
  for (auto [w, h] : {std::pair{1, 1}, {IMAGE_MAX_SIZE, 1}, {1, IMAGE_MAX_SIZE}}) {
    std::string data;
    for (int k = 0; k < w * h / 63; ++k) data += "\xFF\x01";
    data += std::string(w * h % 63, '\x01');
    IMAGE image;
    ASSERT_TRUE(load_bytes(image, make_pcx(header_for(w, h), data, {{1, 0x445566}}))) << w << "x" << h;
    EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(int16_t(w), int16_t(h)));
    EXPECT_EQ(image.pixels[(h - 1) * image.stride + w - 1], 0xFF445566u);
  }
}

TEST_F(PcxFiles, TruncatedAndDamagedFilesNeverRunWild) {
  IMAGE source;
  set_pixels(source, 9, 5, opaque_picture(9, 5));
  std::string pcx = save_to_bytes(source);
  for (size_t length = 0; length < pcx.size(); ++length) {
    IMAGE image(3, 3);
    EXPECT_FALSE(load_bytes(image, pcx.substr(0, length))) << length;
    EXPECT_EQ(image.pixels, nullptr) << length;
  }
  for (size_t at = 0; at < pcx.size(); at += (at < 200 ? 1 : 37)) {
    for (uint8_t flip : {0x01, 0x40, 0xFF}) {
      std::string damaged = pcx;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      IMAGE image;
      bool ok = load_bytes(image, damaged);
      EXPECT_EQ(ok, image.pixels != nullptr) << at;
    }
  }
}

TEST_F(PcxFiles, MissingFileFails) {
  IMAGE image(2, 2);
  EXPECT_FALSE(image.load_pcx_file(folder, "absent.pcx"));
  EXPECT_EQ(image.pixels, nullptr);
}

// ---- Another reader and writer

TEST_F(PcxFiles, SavedFileReadsInImageMagickWithTheSameColours) {
  REQUIRE_CONVERT();
  IMAGE image;
  std::vector<uint32_t> picture = opaque_picture(13, 6);
  set_pixels(image, 13, 6, picture);
  DATA_FILE* file = folder.open_data_file("ours.pcx", 1);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.save_pcx(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  std::vector<uint32_t> theirs = image_format_support::read_with_convert(dir.file("ours.pcx"));
  EXPECT_EQ(image_format_support::largest_difference(theirs, picture, false), 0);
}

TEST_F(PcxFiles, ImageMagickFilesLoad) {
  REQUIRE_CONVERT();
  std::vector<uint32_t> picture = opaque_picture(13, 6);  // odd width: padded lines
  image_format_support::convert_pixels(dir, 13, 6, picture, {"-type", "Palette"}, "pcx:" + dir.file("theirs.pcx"));
  std::string pcx = test_support::read_file(dir.file("theirs.pcx"));
  ASSERT_GT(pcx.size(), 128u);
  ASSERT_EQ(pcx[3], 8);
  ASSERT_EQ(pcx[65], 1);
  IMAGE image;
  ASSERT_TRUE(image.load_pcx_file(folder, "theirs.pcx"));
  EXPECT_EQ(pixels_of(image), picture);

  // Their uncompressed form (encoding 0) would read its values as run
  // bytes: refused.
  image_format_support::convert_pixels(dir, 13, 6, picture, {"-type", "Palette", "-compress", "None"},
                                       "pcx:" + dir.file("plain.pcx"));
  ASSERT_EQ(test_support::read_file(dir.file("plain.pcx"))[2], 0);
  EXPECT_FALSE(image.load_pcx_file(folder, "plain.pcx"));
  EXPECT_EQ(image.pixels, nullptr);

  // Their true-colour form has three colour layers, which is refused.
  image_format_support::convert_pixels(dir, 13, 6, picture, {"-type", "TrueColor"}, "pcx:" + dir.file("planes.pcx"));
  ASSERT_EQ(test_support::read_file(dir.file("planes.pcx"))[65], 3);
  EXPECT_FALSE(image.load_pcx_file(folder, "planes.pcx"));
  EXPECT_EQ(image.pixels, nullptr);
}
