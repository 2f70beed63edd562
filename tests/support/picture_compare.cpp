#include "picture_compare.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "memory_device.h"
#include "test_support.h"

namespace test_support {

namespace {

uint32_t pixel(const IMAGE& image, int i, int j) {
  return image.pixels[static_cast<size_t>(j) * static_cast<size_t>(image.stride) + static_cast<size_t>(i)];
}

std::string hex(uint32_t colour) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08X", colour);
  return text;
}

std::string size_of(const IMAGE& image) {
  return std::to_string(image.width) + "x" + std::to_string(image.height);
}

// Saves the actual picture and says where it went (or that it could not).
std::string save_actual(const std::string& name, const IMAGE& actual) {
  std::string path = picture_output_folder() + "/" + name + "_err.png";
  MEMORY_DEVICE png;
  if (!actual.pixels || !actual.save_png(&png) || !write_file(path, png.text()))
    return "; the actual picture could not be saved as " + path;
  return "; actual picture saved as " + path;
}

}  // namespace

std::string picture_output_folder() {
  const char* folder = getenv("VORN_TEST_OUTPUT");
  return folder && *folder ? folder : ".";
}

::testing::AssertionResult pictures_match(const std::string& name, const IMAGE& actual,
                                          const IMAGE& expected) {
  if (actual.width != expected.width || actual.height != expected.height ||
      !actual.pixels != !expected.pixels) {
    return ::testing::AssertionFailure() << name << ": size " << size_of(actual) << ", expected "
                                         << size_of(expected) << save_actual(name, actual);
  }
  int differing = 0, first_i = -1, first_j = -1;
  for (int j = 0; j < actual.height; ++j) {
    for (int i = 0; i < actual.width; ++i) {
      if (pixel(actual, i, j) == pixel(expected, i, j)) continue;
      if (differing++ == 0) {
        first_i = i;
        first_j = j;
      }
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << name << ": " << differing << " pixel(s) differ, the first at (" << first_i << ", "
         << first_j << "): expected " << hex(pixel(expected, first_i, first_j)) << ", actual "
         << hex(pixel(actual, first_i, first_j)) << save_actual(name, actual);
}

::testing::AssertionResult picture_matches_png(const std::string& name, const IMAGE& actual,
                                               const std::string& png_path) {
  MEMORY_DEVICE png(read_file(png_path));
  IMAGE expected;
  if (png.bytes.empty() || !expected.load_png(&png))
    return ::testing::AssertionFailure() << name << ": cannot read " << png_path;
  return pictures_match(name, actual, expected);
}

::testing::AssertionResult picture_matches_reference(const std::string& area, const std::string& name,
                                                     const IMAGE& actual) {
  const std::string folder = std::string(VORN_REFERENCE_DIR) + "/" + area;
  const std::string path = folder + "/" + name + ".png";
  const char* refresh = getenv("VORN_REFRESH_REFERENCES");
  if (refresh && strcmp(refresh, "1") == 0) {
    MEMORY_DEVICE png;
    mkdir(VORN_REFERENCE_DIR, 0755);
    mkdir(folder.c_str(), 0755);
    if (!actual.pixels || !actual.save_png(&png) || !write_file(path, png.text()))
      return ::testing::AssertionFailure() << "cannot write the reference " << path;
    return ::testing::AssertionSuccess();
  }
  if (!file_exists(path))
    return ::testing::AssertionFailure() << "no reference " << path
                                         << "; tests/refresh_references.sh writes it" << save_actual(area + "_" + name, actual);
  return picture_matches_png(area + "_" + name, actual, path);
}

::testing::AssertionResult text_matches_reference(const std::string& area, const std::string& name,
                                                  const std::string& actual) {
  const std::string folder = std::string(VORN_REFERENCE_DIR) + "/" + area;
  const std::string path = folder + "/" + name + ".txt";
  const char* refresh = getenv("VORN_REFRESH_REFERENCES");
  if (refresh && strcmp(refresh, "1") == 0) {
    mkdir(folder.c_str(), 0755);
    if (write_file(path, actual)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot write the reference " << path;
  }
  if (file_exists(path) && read_file(path) == actual) return ::testing::AssertionSuccess();
  const std::string saved = picture_output_folder() + "/" + area + "_" + name + "_err.txt";
  return ::testing::AssertionFailure() << path << " is missing or differs (tests/refresh_references.sh "
                                       << "writes it); " << (write_file(saved, actual) ? "" : "not ")
                                       << "saved the actual text as " << saved;
}

}  // namespace test_support
