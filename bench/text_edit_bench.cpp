// Typing into an entry field that holds several thousand characters, with
// the caret at the end: the cost of one key's frame (the key handled, the
// field drawn) against drawing the text the field shows once. A key's frame
// should cost no more than about three such draws, however long the text.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_fonts.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "input.h"
#include "screen.h"
#include "wm_text_edit.h"

namespace {

constexpr int kLength = 5000;
constexpr uint16_t kFieldWidth = 400;

bool no_key_held(uint32_t) { return false; }

void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  load_bench_default_font();
  set_screen_size(800, 100);
  WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
  WM_SCREEN_OBJECT::set_key_down_function(no_key_held);
  key_queue.set_size(10);
  use_onscreen_keyboard = 0;
}

std::string long_text() {
  const std::string words = "the quick brown fox jumps over the lazy dog ";
  std::string text;
  while (text.size() < kLength) text += words;
  text.resize(kLength);
  return text;
}

WM_STYLE_SET field_style() {
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  style.fg_colour = 0xFF000000;
  style.bg_colour = 0xFFFFFFFF;
  return style;
}

// One key per iteration, a letter and BackSpace in turn, so the text keeps
// its length; each key's frame handles it and draws the field.
void BM_KeyFrame(benchmark::State& state) {
  setup();
  const WM_STYLE_SET style = field_style();
  WM_TEXT_EDIT field(0, 0, kFieldWidth, 32767, long_text().c_str(), &style, nullptr, 0, 0);
  WM_SCREEN_OBJECT::focus_object = &field;
  field.clear_selection();
  bool letter = true;
  for (auto _ : state) {
    key_queue.on_key(letter ? 'a' : 8);
    letter = !letter;
    field.process();
    field.draw();
    benchmark::DoNotOptimize(get_screen_image()->pixels);
  }
  WM_SCREEN_OBJECT::focus_object = nullptr;
}

// The characters at the text's end that fill the field's width, drawn once.
void BM_DrawShownText(benchmark::State& state) {
  setup();
  const WM_STYLE_SET style = field_style();
  const std::string text = long_text();
  WM_TEXT_EDIT field(0, 0, kFieldWidth, 32767, "", &style, nullptr, 0, 0);
  IMAGE* screen = get_screen_image();
  const int32_t area = kFieldWidth - field.left_gap - field.right_gap;
  size_t first = text.size();
  while (first > 0 && screen->get_text_width(255, 65535, -1, text.c_str() + first - 1) < area) --first;
  const COLOUR ink = field.text_colour;
  for (auto _ : state) {
    screen->draw_text(field.left_gap, field.top_gap, &ink, nullptr, nullptr, -1, -1, -1,
                      text.c_str() + first);
    benchmark::DoNotOptimize(screen->pixels);
  }
}

}  // namespace

BENCHMARK(BM_KeyFrame);
BENCHMARK(BM_DrawShownText);
