// Scaling a 1024 x 768 picture to half and to double size, by nearest
// neighbour and bilinear, against a plain copy of the same output size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "image.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

void fill(IMAGE& image) {
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i)
      image.pixels[static_cast<size_t>(j) * image.stride + i] =
          0xFF000000u | static_cast<uint32_t>((i * 7) & 255) << 16 |
          static_cast<uint32_t>((j * 3) & 255) << 8 | static_cast<uint32_t>((i ^ j) & 255);
}

void scale_to(benchmark::State& state, int w, int h, bool smooth) {
  IMAGE source(kWidth, kHeight);
  fill(source);
  IMAGE image;
  for (auto _ : state) {
    state.PauseTiming();
    image.copy(source);
    state.ResumeTiming();
    image.scale(static_cast<uint16_t>(w), static_cast<uint16_t>(h), smooth);
    benchmark::DoNotOptimize(image.pixels);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w) * h);
}

void BM_NearestHalf(benchmark::State& state) { scale_to(state, kWidth / 2, kHeight / 2, false); }
void BM_NearestDouble(benchmark::State& state) { scale_to(state, kWidth * 2, kHeight * 2, false); }
void BM_BilinearHalf(benchmark::State& state) { scale_to(state, kWidth / 2, kHeight / 2, true); }
void BM_BilinearDouble(benchmark::State& state) { scale_to(state, kWidth * 2, kHeight * 2, true); }

// The floor: writing the double-size output with memcpy.
void BM_CopyDoubleSizeOutput(benchmark::State& state) {
  std::vector<uint32_t> from(static_cast<size_t>(kWidth) * 2 * kHeight * 2, 0xFF102030);
  std::vector<uint32_t> to(from.size());
  for (auto _ : state) {
    memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(from.size()));
}

}  // namespace

BENCHMARK(BM_NearestHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NearestDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BilinearHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BilinearDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyDoubleSizeOutput)->Unit(benchmark::kMillisecond);
