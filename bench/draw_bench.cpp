// The drawing hot paths on an 800 x 600 frame, each next to its limit: an
// opaque blit against memcpy of the same rows, a solid fill against
// std::fill_n of the same rows, and a blended blit and fill for reference.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "image.h"

namespace {

constexpr int16_t kWidth = 800;
constexpr int16_t kHeight = 600;

// Varied colours; opaque, or with alphas spread over 0 .. 255.
void fill(IMAGE& image, bool opaque) {
  for (int j = 0; j < image.height; ++j)
    for (int i = 0; i < image.width; ++i) {
      const uint32_t alpha = opaque ? 0xFF000000u : static_cast<uint32_t>(i * 13 + j * 7) << 24;
      const uint32_t rgb =
          (static_cast<uint32_t>(i) * 0x010203u + static_cast<uint32_t>(j) * 0x030201u);
      image.pixels[static_cast<size_t>(j) * image.stride + i] = alpha | (rgb & 0x00FFFFFFu);
    }
}

void set_bytes(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * int64_t{kWidth} * kHeight * 4);
}

void BM_OpaqueBlit(benchmark::State& state) {
  IMAGE source(kWidth, kHeight), dest(kWidth, kHeight);
  fill(source, true);
  for (auto _ : state) {
    dest.blit(&source, 0, 0, 0, 0, kWidth, kHeight, BLIT_COPY);
    benchmark::ClobberMemory();
  }
  set_bytes(state);
}

void BM_MemcpyRows(benchmark::State& state) {
  IMAGE source(kWidth, kHeight), dest(kWidth, kHeight);
  fill(source, true);
  for (auto _ : state) {
    for (int j = 0; j < kHeight; ++j) {
      memcpy(dest.pixels + static_cast<size_t>(j) * dest.stride,
             source.pixels + static_cast<size_t>(j) * source.stride, kWidth * sizeof(uint32_t));
    }
    benchmark::ClobberMemory();
  }
  set_bytes(state);
}

void BM_SolidFill(benchmark::State& state) {
  IMAGE dest(kWidth, kHeight);
  const COLOUR colour = 0xFF336699u;
  for (auto _ : state) {
    dest.fill_rect(0, 0, kWidth - 1, kHeight - 1, &colour, false);
    benchmark::ClobberMemory();
  }
  set_bytes(state);
}

void BM_StdFillRows(benchmark::State& state) {
  IMAGE dest(kWidth, kHeight);
  const COLOUR colour = 0xFF336699u;
  for (auto _ : state) {
    for (int j = 0; j < kHeight; ++j) {
      std::fill_n(dest.pixels + static_cast<size_t>(j) * dest.stride, kWidth, colour);
    }
    benchmark::ClobberMemory();
  }
  set_bytes(state);
}

// Source alphas spread over 0 .. 255, so every branch of the rule is taken.
void BM_AlphaBlit(benchmark::State& state) {
  IMAGE source(kWidth, kHeight), dest(kWidth, kHeight);
  fill(source, false);
  fill(dest, true);
  for (auto _ : state) {
    dest.blit(&source, 0, 0, 0, 0, kWidth, kHeight, BLIT_BLEND);
    benchmark::ClobberMemory();
  }
  set_bytes(state);
}

void BM_BlendedFill(benchmark::State& state) {
  IMAGE dest(kWidth, kHeight);
  fill(dest, true);
  const COLOUR colour = 0x80336699u;
  for (auto _ : state) {
    dest.fill_rect(0, 0, kWidth - 1, kHeight - 1, &colour, true);
    benchmark::ClobberMemory();
  }
  set_bytes(state);
}

}  // namespace

BENCHMARK(BM_OpaqueBlit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolidFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StdFillRows)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AlphaBlit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlendedFill)->Unit(benchmark::kMicrosecond);
