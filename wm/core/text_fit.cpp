// Measuring texts by their characters and cutting them around an ellipsis.
#include "text_fit.h"

#include <algorithm>
#include <vector>

#include "font.h"
#include "image.h"
#include "text_convert.h"

namespace {

constexpr char32_t kEllipsisCharacter = 0x2026;
constexpr const char* kThreeDots = "...";

int32_t width_of(IMAGE* s, const TEXT_FONT& f, const char* text) {
  return s->get_text_width(f.id, f.width, f.height, text);
}

// Advances add up, so a text's width is the sum of its characters'; the
// characters kept are [0, head) and [tail, size).
std::string fit(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width, bool middle) {
  if (!text) return "";
  if (!s) return text;
  const std::u32string codes = system_characters(text);
  std::vector<int32_t> widths;
  int32_t total = 0;
  for (const char32_t c : codes) total += widths.emplace_back(character_width(s, font, c));
  if (total <= width) return text;
  const std::string ellipsis = text_ellipsis(s, font);
  int32_t room = width - width_of(s, font, ellipsis.c_str());
  size_t head = 0, tail = codes.size();
  for (bool from_end = middle; head < tail; from_end = middle && !from_end) {
    const size_t next = from_end ? tail - 1 : head;
    if (widths[next] > room) {
      // The other side may still take a narrower character.
      if (!middle || widths[from_end ? head : tail - 1] > room) break;
      continue;
    }
    room -= widths[next];
    if (from_end) --tail;
    else ++head;
  }
  return system_text_of(codes.data(), head) + ellipsis +
         system_text_of(codes.data() + tail, codes.size() - tail);
}

}  // namespace

std::u32string system_characters(const char* text) {
  std::u32string out;
  if (!text) return out;
  SYSTEM_TEXT_READER reader(text);
  uint32_t code;
  while (reader.next_code_point(code)) out += static_cast<char32_t>(code);
  return out;
}

std::string system_text_of(const char32_t* characters, size_t count) {
  std::string out;
  bool run = false;
  char one[SYSTEM_CHAR_MAX_BYTES];
  for (size_t i = 0; i < count; ++i) out.append(one, system_char_encode(characters[i], run, one));
  if (run) out += '\x01';
  return out;
}

std::string text_ellipsis(IMAGE* s, const TEXT_FONT& font) {
  const int32_t slot = font.id == 255 ? (s ? s->font : -1) : font.id;
  return FONT::has_character(slot, kEllipsisCharacter) ? system_text_of(&kEllipsisCharacter, 1) : kThreeDots;
}

int32_t character_width(IMAGE* s, const TEXT_FONT& font, uint32_t code) {
  char one[SYSTEM_CHAR_MAX_BYTES + 2];
  bool run = false;
  size_t n = system_char_encode(code, run, one);
  if (run) one[n++] = 1;
  one[n] = 0;
  return width_of(s, font, one);
}

std::string fit_text_end(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width) {
  return fit(s, font, text, width, false);
}

std::string fit_text_middle(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width) {
  return fit(s, font, text, width, true);
}

namespace {

int32_t overhang_of(IMAGE* s, const TEXT_FONT& font) {
  return s ? s->get_text_overhang(font.id, font.height) : 0;
}

}  // namespace

TEXT_LINE_PLACE place_text_line(IMAGE* s, const TEXT_FONT& font, const RECT& content,
                                int32_t top, const RECT& box) {
  const int32_t overhang = overhang_of(s, font);
  const int32_t size = s ? (font.height == -1 ? s->font_height : font.height) : 0;
  TEXT_LINE_PLACE place{};
  place.top = std::max(top, std::min(box.y1 + overhang, box.y2 + 1 - size));
  place.clip = content;
  place.clip.y1 = std::max(box.y1, std::min(content.y1, place.top - overhang));
  place.clip.y2 = std::min(box.y2, std::max(content.y2, place.top + size - 1));
  return place;
}

int32_t accent_room(IMAGE* s, const TEXT_FONT& font, int32_t top_gap) {
  return std::max(0, overhang_of(s, font) - top_gap);
}
