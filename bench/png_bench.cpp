// Loading a 1920 x 1080 PNG into an IMAGE against the floor: a bare libpng
// decode of the same file straight into one buffer. Target: the load takes
// at most 1.2 times the bare decode.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "data_file.h"
#include "folder.h"
#include "image.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// The picture, written once by the program's own writer into a private
// folder that goes when the benchmark ends.
class PICTURE_FILE {
public:
  PICTURE_FILE() {
    char pattern[] = "/tmp/png_bench_XXXXXX";
    if (!mkdtemp(pattern)) abort();
    folder_path = pattern;
    path = folder_path + "/picture.png";
    folder.set_absolute(pattern);

    IMAGE image(kWidth, kHeight);
    // Gradients with some texture: a photograph-like mix of runs and detail.
    for (int j = 0; j < kHeight; ++j)
      for (int i = 0; i < kWidth; ++i)
        image.pixels[static_cast<size_t>(j) * image.stride + i] =
            0xFF000000u | static_cast<uint32_t>(i * 255 / kWidth) << 16 |
            static_cast<uint32_t>(j * 255 / kHeight) << 8 |
            static_cast<uint32_t>(((i * 13) ^ (j * 7)) & 0x3F);
    DATA_FILE* file = folder.open_data_file("picture.png", 1);
    if (!file || !image.save_png(file) || !FOLDER::close_data_file(file)) abort();
  }
  ~PICTURE_FILE() {
    unlink(path.c_str());
    rmdir(folder_path.c_str());
  }

  std::string folder_path;
  std::string path;
  FOLDER folder;
};

PICTURE_FILE& picture() {
  static PICTURE_FILE file;
  return file;
}

void BM_LoadPngIntoImage(benchmark::State& state) {
  PICTURE_FILE& file = picture();
  IMAGE image;
  for (auto _ : state) {
    if (!image.load_png_file(file.folder, "picture.png")) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.pixels);
    image.create(0, 0);  // each round allocates, as a fresh load does
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

// The floor: libpng on the stdio stream, rows straight into one buffer.
bool bare_decode(FILE* stream, std::vector<uint8_t>& buffer, std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, stream);
  png_read_info(png, info);
  png_read_update_info(png, info);
  png_uint_32 h = png_get_image_height(png, info);
  size_t row_bytes = png_get_rowbytes(png, info);
  buffer.resize(row_bytes * h);
  rows.resize(h);
  for (png_uint_32 j = 0; j < h; ++j) rows[j] = buffer.data() + j * row_bytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void BM_BareLibpngDecode(benchmark::State& state) {
  PICTURE_FILE& file = picture();
  std::vector<uint8_t> buffer;
  std::vector<png_bytep> rows;
  for (auto _ : state) {
    FILE* stream = fopen(file.path.c_str(), "rb");
    if (!stream || !bare_decode(stream, buffer, rows)) state.SkipWithError("decode failed");
    if (stream) fclose(stream);
    benchmark::DoNotOptimize(buffer.data());
    std::vector<uint8_t>().swap(buffer);  // allocate each round, like the load
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

}  // namespace

BENCHMARK(BM_BareLibpngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPngIntoImage)->Unit(benchmark::kMillisecond);
