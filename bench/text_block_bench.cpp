// Drawing a 2,000-character paragraph as a wrapped block, in glyphs per
// second, against blitting the same glyphs from pictures rendered once
// beforehand (the floor: no layout, no coverage blending from bitmaps).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "folder.h"
#include "font.h"
#include "image.h"

namespace {

constexpr int kSize = 16;
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr COLOUR kInk = 0xFF102040;

std::string paragraph() {
  const std::string words =
      "The installer copies the chosen components into the target folder, writes the menu "
      "entries and desktop links, and records what it did so that the program can be removed "
      "again without leaving anything behind. ";
  std::string text;
  while (text.size() < 2000) text += words;
  text.resize(2000);
  return text;
}

int8_t load_font() {
  static int16_t slot = -1;
  if (slot < 0) {
    clear_load_builtin_fonts();
    FONT::init();
    FOLDER folder;
    folder.set_absolute(get_system_font_folder());
    slot = FONT::load("DejaVuSans.ttf", nullptr, FONT_ANY_SLOT, &folder);
  }
  return static_cast<int8_t>(slot);
}

void BM_DrawTextBlock(benchmark::State& state) {
  const int8_t font = load_font();
  const std::string text = paragraph();
  IMAGE image(kWidth, kHeight);
  for (auto _ : state) {
    image.draw_text_block(0, 0, kWidth - 1, kHeight - 1, &kInk, nullptr, nullptr, font, kSize,
                          kSize, text.c_str(), TEXT_LEFT | TEXT_TOP);
    benchmark::DoNotOptimize(image.pixels);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

// Each character drawn once into its own transparent picture, then the
// paragraph blitted glyph by glyph, flowing left to right.
void BM_BlitCachedGlyphs(benchmark::State& state) {
  const int8_t font = load_font();
  const std::string text = paragraph();
  IMAGE measure(1, 1);
  std::vector<std::unique_ptr<IMAGE>> glyphs(256);
  std::vector<int> advances(256, 0);
  for (unsigned char c : text) {
    if (glyphs[c]) continue;
    const char one[2] = {static_cast<char>(c), 0};
    advances[c] = measure.get_text_width(static_cast<uint8_t>(font), kSize, kSize, one, 0xFFFFFFFFu, 0);
    glyphs[c] = std::make_unique<IMAGE>(static_cast<int16_t>(advances[c] + 4), kSize + 4);
    glyphs[c]->draw_text(0, 0, &kInk, nullptr, nullptr, font, kSize, kSize, one);
  }
  IMAGE image(kWidth, kHeight);
  for (auto _ : state) {
    int x = 0, y = 0;
    for (unsigned char c : text) {
      if (x + advances[c] >= kWidth) {
        x = 0;
        y += kSize;
      }
      image.blit(glyphs[c].get(), 0, 0, static_cast<int16_t>(x), static_cast<int16_t>(y),
                 glyphs[c]->width, glyphs[c]->height, BLIT_BLEND);
      x += advances[c];
    }
    benchmark::DoNotOptimize(image.pixels);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

}  // namespace

BENCHMARK(BM_DrawTextBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlitCachedGlyphs)->Unit(benchmark::kMicrosecond);
