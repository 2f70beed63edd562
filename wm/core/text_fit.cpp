// Cutting texts to a width around "...".
#include "text_fit.h"

#include <vector>

#include "image.h"
#include "text_convert.h"

namespace {

constexpr const char* kEllipsis = "...";

struct MEASURED {
  std::vector<uint32_t> codes;
  std::vector<int32_t> widths;
  int32_t total = 0;
};

int32_t width_of(IMAGE* s, const TEXT_FONT& f, const char* text) {
  return s->get_text_width(f.id, f.width, f.height, text);
}

// Advances add up, so a text's width is the sum of its characters'.
MEASURED measure(IMAGE* s, const TEXT_FONT& f, const char* text) {
  MEASURED m;
  SYSTEM_TEXT_READER reader(text);
  uint32_t code;
  while (reader.next_code_point(code)) {
    char one[SYSTEM_CHAR_MAX_BYTES + 2];
    bool run = false;
    size_t n = system_char_encode(code, run, one);
    if (run) one[n++] = 1;
    one[n] = 0;
    m.codes.push_back(code);
    m.widths.push_back(width_of(s, f, one));
    m.total += m.widths.back();
  }
  return m;
}

// Characters [from, to) in system form.
std::string piece(const MEASURED& m, size_t from, size_t to) {
  std::string out;
  bool run = false;
  char one[SYSTEM_CHAR_MAX_BYTES];
  for (size_t i = from; i < to; ++i) out.append(one, system_char_encode(m.codes[i], run, one));
  if (run) out += '\x01';
  return out;
}

}  // namespace

std::string fit_text_end(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width) {
  if (!text) return "";
  if (!s) return text;
  const MEASURED m = measure(s, font, text);
  if (m.total <= width) return text;
  int32_t room = width - width_of(s, font, kEllipsis);
  size_t keep = 0;
  while (keep < m.codes.size() && m.widths[keep] <= room) room -= m.widths[keep++];
  return piece(m, 0, keep) + kEllipsis;
}

std::string fit_text_middle(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width) {
  if (!text) return "";
  if (!s) return text;
  const MEASURED m = measure(s, font, text);
  if (m.total <= width) return text;
  int32_t room = width - width_of(s, font, kEllipsis);
  size_t head = 0, tail = m.codes.size();  // kept: [0, head) and [tail, size)
  for (bool from_end = true;; from_end = !from_end) {
    if (head >= tail) break;
    const size_t next = from_end ? tail - 1 : head;
    if (m.widths[next] > room) {
      // The other side may still take a narrower character.
      const size_t other = from_end ? head : tail - 1;
      if (m.widths[other] > room) break;
      continue;
    }
    room -= m.widths[next];
    if (from_end) --tail;
    else ++head;
  }
  return piece(m, 0, head) + kEllipsis + piece(m, tail, m.codes.size());
}
