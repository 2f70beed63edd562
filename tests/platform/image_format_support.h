#pragma once
// Shared by the image file format tests: a data device in memory, pixels in
// and out of IMAGEs, and ImageMagick's convert as the independent reader and
// writer that makes fixtures and checks what the program writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "image.h"
#include "image_test_support.h"
#include "memory_device.h"
#include "test_support.h"

namespace image_format_support {

using image_test_support::pixels_of;
using test_support::MEMORY_DEVICE;

inline void set_pixels(IMAGE& image, int w, int h, const std::vector<uint32_t>& pixels) {
  ASSERT_TRUE(image.create(static_cast<int16_t>(w), static_cast<int16_t>(h)));
  ASSERT_EQ(pixels.size(), static_cast<size_t>(w) * h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      image.pixels[static_cast<size_t>(j) * image.stride + i] = pixels[static_cast<size_t>(j) * w + i];
}

// A picture with smooth gradients and some sharp detail; alpha as given.
inline std::vector<uint32_t> test_picture(int w, int h, bool opaque = true) {
  std::vector<uint32_t> out;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      uint32_t r = static_cast<uint32_t>(255 * i / std::max(1, w - 1));
      uint32_t g = static_cast<uint32_t>(255 * j / std::max(1, h - 1));
      uint32_t b = static_cast<uint32_t>((i * 7 + j * 13) & 0xFF);
      uint32_t a = opaque ? 255u : static_cast<uint32_t>((i * 31 + j * 17) & 0xFF);
      out.push_back(a << 24 | r << 16 | g << 8 | b);
    }
  }
  return out;
}

// 0xAARRGGBB pixels as R, G, B, A bytes, and back.
inline std::string rgba_bytes(const std::vector<uint32_t>& pixels) {
  std::string out;
  for (uint32_t p : pixels) {
    out += static_cast<char>(p >> 16);
    out += static_cast<char>(p >> 8);
    out += static_cast<char>(p);
    out += static_cast<char>(p >> 24);
  }
  return out;
}

inline std::vector<uint32_t> pixels_from_rgba(const std::string& bytes) {
  std::vector<uint32_t> out;
  for (size_t k = 0; k + 3 < bytes.size(); k += 4) {
    auto b = [&](size_t n) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[k + n])); };
    out.push_back(b(3) << 24 | b(0) << 16 | b(1) << 8 | b(2));
  }
  return out;
}

// The largest difference of any channel between two pictures of one size.
inline int largest_difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                              bool with_alpha = true) {
  if (a.size() != b.size()) return 1000;
  int most = 0;
  for (size_t k = 0; k < a.size(); ++k) {
    for (int shift = 0; shift < (with_alpha ? 32 : 24); shift += 8) {
      int d = std::abs(static_cast<int>((a[k] >> shift) & 0xFF) - static_cast<int>((b[k] >> shift) & 0xFF));
      most = std::max(most, d);
    }
  }
  return most;
}

// ---- ImageMagick

inline std::string find_program(const std::string& name) {
  const char* path = getenv("PATH");
  std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string candidate = list.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

inline const std::string& convert_program() {
  static const std::string program = find_program("convert");
  return program;
}

#define REQUIRE_CONVERT()                                                      \
  do {                                                                         \
    if (image_format_support::convert_program().empty())                       \
      GTEST_SKIP() << "ImageMagick's convert is not installed";                \
  } while (0)

inline test_support::RunResult convert(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {convert_program()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return test_support::run_program(argv);
}

// Writes the pixels as raw RGBA and has convert turn them into output (a
// path with an optional "FORMAT:" prefix), with options before the output.
inline void convert_pixels(const test_support::ScratchDir& dir, int w, int h,
                           const std::vector<uint32_t>& pixels, const std::vector<std::string>& options,
                           const std::string& output) {
  std::string raw = dir.file("convert_input.rgba");
  ASSERT_TRUE(test_support::write_file(raw, rgba_bytes(pixels)));
  std::vector<std::string> arguments = {"-size", std::to_string(w) + "x" + std::to_string(h),
                                        "-depth", "8", "rgba:" + raw};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(output);
  test_support::RunResult result = convert(arguments);
  ASSERT_EQ(result.exit_code, 0) << result.err;
}

// How convert reads a picture file: 8-bit 0xAARRGGBB pixels.
inline std::vector<uint32_t> read_with_convert(const std::string& path) {
  test_support::RunResult result = convert({path, "-depth", "8", "rgba:-"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return pixels_from_rgba(result.out);
}

// ---- PNG structure

inline uint32_t big_endian_u32(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8 |
         static_cast<uint8_t>(bytes[at + 3]);
}

// The chunk types of a PNG in file order.
inline std::vector<std::string> png_chunks(const std::string& png) {
  std::vector<std::string> out;
  size_t at = 8;
  while (at + 8 <= png.size()) {
    uint32_t length = big_endian_u32(png, at);
    out.push_back(png.substr(at + 4, 4));
    at += 12 + static_cast<size_t>(length);
  }
  return out;
}

inline bool has_chunk(const std::string& png, const std::string& type) {
  std::vector<std::string> chunks = png_chunks(png);
  return std::find(chunks.begin(), chunks.end(), type) != chunks.end();
}

}  // namespace image_format_support
