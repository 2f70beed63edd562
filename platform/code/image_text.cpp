// Text measuring and drawing into an IMAGE: single lines with the shadow,
// inset and chiselled effects, the printf-style helpers and the block
// layout that wraps, hyphenates, truncates with "..." and aligns.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "colour.h"
#include "font.h"
#include "image.h"
#include "text_convert.h"

TEXT_EFFECTS text_effects;

namespace {

// The printf-style helpers format into this many bytes (terminator
// included); longer text is cut.
constexpr size_t kFormatBufferSize = 5120;
constexpr int32_t kMaxBlockLines = 256;

COLOUR colour_or_invisible(const COLOUR* colour) { return colour ? *colour : COLOUR_INVISIBLE; }

// The glyph of code for text of size (size_w, size_h): the font's cached
// record for codes 0..255, the caller's temporary one above. Null when the
// glyph cannot be rendered (it is skipped).
GLYPH* glyph_for(FONT& font, int16_t slot, uint32_t code, int16_t size_w, int16_t size_h,
                 GLYPH& temporary) {
  GLYPH* glyph = code < 256 ? font.cached_glyph(static_cast<uint8_t>(code)) : &temporary;
  if (!FONT::render_glyph(glyph, code, slot, static_cast<int16_t>(size_w - 1),
                          static_cast<int16_t>(size_h - 1)))
    return nullptr;
  return glyph;
}

// The font and sizes a drawing call uses: 255 (-1 as i8) and the sizes
// 65535 (-1) stand for the image's own.
struct TEXT_FONT {
  FONT* font = nullptr;
  int16_t slot = -1;
  int16_t size_w = 0;
  int16_t size_h = 0;
  bool usable() const { return font && size_w >= 1 && size_h >= 1; }
};

TEXT_FONT resolve_font(const IMAGE& image, int8_t font, int16_t size_w, int16_t size_h) {
  TEXT_FONT result;
  result.slot = font == -1 ? image.font : font;
  result.size_w = size_w == -1 ? image.font_width : size_w;
  result.size_h = size_h == -1 ? static_cast<int16_t>(image.font_height) : size_h;
  result.font = FONT::get(result.slot);
  return result;
}

bool can_draw(const IMAGE& image) {
  return image.valid && image.pixels && image.clip_x1 != -1 && image.clip_x2 != -1 &&
         image.clip_y1 != -1 && image.clip_y2 != -1;
}

}  // namespace

int32_t IMAGE::get_text_width(uint8_t font_index, uint16_t size_w, int16_t size_h,
                              const char* text, uint32_t max_chars, uint8_t run_open) {
  if (!text) return 0;
  const TEXT_FONT f = resolve_font(*this, static_cast<int8_t>(font_index),
                                   size_w == 65535 ? int16_t{-1} : to_i16(size_w), size_h);
  if (!f.usable()) return static_cast<int32_t>(std::min<size_t>(strlen(text), INT32_MAX));
  if (!*text || max_chars == 0) return 0;

  SYSTEM_TEXT_WALKER walker(text, 0, run_open != 0);
  int32_t total = 0;
  uint32_t used = 0;
  uint32_t code;
  GLYPH temporary = {};
  while (used < max_chars && walker.next(code)) {
    ++used;
    if (GLYPH* glyph = glyph_for(*f.font, f.slot, code, f.size_w, f.size_h, temporary))
      total += glyph->advance;
    free_glyph_bitmap(temporary);
  }
  return total;
}

int32_t IMAGE::get_text_overhang(uint8_t font_index, int16_t size_h) {
  const TEXT_FONT f = resolve_font(*this, static_cast<int8_t>(font_index), -1, size_h);
  return f.usable() ? FONT::overhang(f.slot, f.size_h) : 0;
}

void IMAGE::draw_text_line(int16_t x_pos, int16_t y_pos, const COLOUR* text_colour,
                           const COLOUR* background, const COLOUR* underline,
                           double lightness_delta, int8_t font_index, int16_t size_w,
                           int16_t size_h, const char* text, int32_t max_chars,
                           uint8_t run_open) {
  if (!can_draw(*this) || !text || !*text || max_chars == 0) return;
  const TEXT_FONT f = resolve_font(*this, font_index, size_w, size_h);
  if (!f.usable()) return;

  const COLOUR ink = colour_or_invisible(text_colour);
  const COLOUR fill = colour_or_invisible(background);
  const COLOUR line = colour_or_invisible(underline);
  const uint32_t ink_alpha = ink >> 24;
  const uint32_t grey = f.font->grey_levels ? f.font->grey_levels : 255;
  const int32_t sh = f.size_h;

  // Pixels may land only inside both the image and the clip rectangle.
  const RECT clip = clip_rect();
  const RECT area = clip.intersect(extent());
  const int32_t image_right = x + width;

  SYSTEM_TEXT_WALKER walker(text, 0, run_open != 0);
  int32_t pen = x_pos;
  int32_t baseline = 0;
  bool have_baseline = false;
  int32_t used = 0;
  uint32_t code;
  GLYPH temporary = {};
  while ((max_chars < 0 || used < max_chars) && walker.next(code)) {
    ++used;
    GLYPH* glyph = glyph_for(*f.font, f.slot, code, f.size_w, f.size_h, temporary);
    if (!glyph) continue;
    if (!have_baseline) {
      baseline = y_pos + text_baseline_offset(sh, glyph->face_height, glyph->face_descender);
      have_baseline = true;
    }
    const int32_t advance = glyph->advance;

    if (fill >> 24)
      fill_rect(to_i16(pen), y_pos, to_i16(pen + advance), to_i16(y_pos + sh), &fill, true);
    if ((line >> 24) && advance >= 1)
      draw_line(to_i16(pen), to_i16(baseline + 1), to_i16(pen + advance - 1),
                to_i16(baseline + 1), &line, 1, true);

    const RECT box = RECT::sized(pen + glyph->left, baseline - glyph->top, glyph->width, glyph->rows);
    if (!box.intersect(clip).empty()) {
      add_dirty_rect(to_i16(pen), y_pos, to_i16(pen + advance), to_i16(y_pos + sh));
      const RECT cut = box.intersect(area);
      const bool lightness = lightness_delta != 0.0;
      if (lightness || ink_alpha != 0) {
        for (int32_t py = cut.y1; py <= cut.y2; ++py) {
          const uint8_t* coverage = glyph->bitmap + static_cast<size_t>(py - box.y1) * glyph->pitch +
                                    (cut.x1 - box.x1);
          COLOUR* pixel = pixels + static_cast<size_t>(py - y) * static_cast<size_t>(stride) +
                          (cut.x1 - x);
          for (int32_t px = cut.x1; px <= cut.x2; ++px, ++coverage, ++pixel) {
            const uint32_t byte = *coverage;
            if (byte == 0) continue;
            if (!lightness) {
              const uint32_t c = ink_alpha == grey ? byte : byte * ink_alpha / grey;
              blend_colour(pixel, &ink, static_cast<uint8_t>(std::min<uint32_t>(c, 255)));
              continue;
            }
            double a, h, s, l;
            colour_to_ahsl(pixel, &a, &h, &s, &l);
            l += byte >= grey ? lightness_delta : lightness_delta * byte / grey;
            ahsl_to_colour(pixel, a, h, s, std::clamp(l, 0.0, 1.0));
          }
        }
      }
    }

    pen += advance;
    free_glyph_bitmap(temporary);
    if (pen >= image_right) break;
  }
}

void IMAGE::draw_text(int16_t x_pos, int16_t y_pos, const COLOUR* text_colour,
                      const COLOUR* background, const COLOUR* underline, int8_t font_index,
                      int16_t size_w, int16_t size_h, const char* text, uint16_t flags,
                      int32_t max_chars, uint8_t run_open) {
  if (!text_colour || !can_draw(*this)) return;
  const TEXT_FONT f = resolve_font(*this, font_index, size_w, size_h);
  if (!f.usable()) return;
  const int8_t slot = static_cast<int8_t>(f.slot);
  const TEXT_EFFECTS& e = text_effects;

  if (flags & TEXT_SHADOW) {
    draw_text_line(to_i16(x_pos + e.shadow_x), to_i16(y_pos + e.shadow_y), &e.shadow_colour,
                   background, underline, 0.0, slot, f.size_w, f.size_h, text, max_chars,
                   run_open);
    draw_text_line(x_pos, y_pos, text_colour, nullptr, nullptr, 0.0, slot, f.size_w, f.size_h,
                   text, max_chars, run_open);
  } else if (flags & TEXT_INSET) {
    double a, h, s, l;
    colour_to_ahsl(text_colour, &a, &h, &s, &l);
    const COLOUR alpha = static_cast<COLOUR>(e.inset_alpha) << 24;
    // Dark text gets a light copy below-right, light text a dark copy
    // above-left: both read as a surface pressed into the background.
    const COLOUR inset = l <= 0.5 ? (alpha | 0x00FFFFFFu) : alpha;
    const int32_t dx = l <= 0.5 ? e.inset_x : -e.inset_x;
    const int32_t dy = l <= 0.5 ? e.inset_y : -e.inset_y;
    draw_text_line(to_i16(x_pos + dx), to_i16(y_pos + dy), &inset, nullptr, nullptr, 0.0, slot,
                   f.size_w, f.size_h, text, max_chars, run_open);
    draw_text_line(x_pos, y_pos, text_colour, nullptr, underline, 0.0, slot, f.size_w, f.size_h,
                   text, max_chars, run_open);
  } else if (flags & TEXT_CHISELED) {
    draw_text_line(to_i16(x_pos + e.chiseled_x), to_i16(y_pos + e.chiseled_y), text_colour,
                   nullptr, nullptr, e.chiseled_light, slot, f.size_w, f.size_h, text, max_chars,
                   run_open);
    draw_text_line(x_pos, y_pos, text_colour, nullptr, underline, e.chiseled_dark, slot, f.size_w,
                   f.size_h, text, max_chars, run_open);
  } else {
    draw_text_line(x_pos, y_pos, text_colour, background, underline, 0.0, slot, f.size_w,
                   f.size_h, text, max_chars, run_open);
  }
}

namespace {

// A laid-out line: where it starts, how many characters it draws (-1 =
// the rest of the text) and what follows it.
struct BLOCK_LINE {
  int32_t start;
  int32_t count;
  int32_t width;
  uint8_t flags;
};
constexpr uint8_t LINE_STARTS_IN_RUN = 1;
constexpr uint8_t LINE_HYPHEN = 2;
constexpr uint8_t LINE_ELLIPSIS = 4;

// A character placed on the current line, kept so that a break can take
// characters back off the line.
struct PLACED_CHAR {
  int32_t start;
  int32_t end;
  int32_t width;
  uint32_t code;
  bool start_in_run;
  bool end_in_run;
};

bool is_blank(uint32_t code) { return code == ' ' || code == '\t'; }

// The lines of a text wrapped into box_w pixels, at most allowed of them,
// the last one cut with "..." when the text goes on; a trailing newline or
// a last line of blanks adds no line.
std::vector<BLOCK_LINE> lay_out_block(IMAGE& image, const TEXT_FONT& f, int32_t box_w, int32_t allowed,
                                      const char* text) {
  const uint8_t measure_slot = static_cast<uint8_t>(f.slot);
  const int32_t ellipsis = image.get_text_width(measure_slot, static_cast<uint16_t>(f.size_w), f.size_h,
                                                "...", 0xFFFFFFFFu, 0);
  const int32_t hyphen = image.get_text_width(measure_slot, static_cast<uint16_t>(f.size_w), f.size_h,
                                              "-", 0xFFFFFFFFu, 0);
  std::vector<BLOCK_LINE> lines;
  lines.reserve(static_cast<size_t>(allowed));
  lines.push_back({0, 0, 0, 0});
  std::vector<PLACED_CHAR> placed;
  SYSTEM_TEXT_WALKER walker(text, 0, false);
  GLYPH temporary = {};

  // Opens the next line at a place reached before; false when the box has
  // no room for another line.
  auto open_line = [&](int32_t start, bool in_run) {
    if (static_cast<int32_t>(lines.size()) >= allowed) return false;
    lines.push_back({start, 0, 0, in_run ? LINE_STARTS_IN_RUN : uint8_t{0}});
    placed.clear();
    walker.restart(start, in_run);
    return true;
  };

  for (;;) {
    BLOCK_LINE& current = lines.back();
    const int32_t before = walker.offset();
    const bool before_in_run = walker.in_run();
    uint32_t code;
    if (!walker.next(code)) break;
    const int32_t after = walker.offset();
    const bool after_in_run = walker.in_run();

    if (code == '\n') {
      if (!open_line(after, after_in_run)) break;
      continue;
    }
    if (is_blank(code) && current.count == 0) {
      // Blanks at the start of a line are neither drawn nor counted.
      current.start = after;
      current.flags = after_in_run ? LINE_STARTS_IN_RUN : 0;
      continue;
    }

    const GLYPH* glyph = glyph_for(*f.font, f.slot, code, f.size_w, f.size_h, temporary);
    const int32_t w = glyph ? glyph->advance : 0;
    free_glyph_bitmap(temporary);

    if (static_cast<int32_t>(lines.size()) == allowed && ellipsis + current.width + w > box_w) {
      const int32_t rest = image.get_text_width(measure_slot, static_cast<uint16_t>(f.size_w),
                                          f.size_h, text + before, 0xFFFFFFFFu, before_in_run);
      if (current.width + rest > box_w) {
        current.flags |= LINE_ELLIPSIS;
      } else {
        current.count = -1;
        current.width += rest;
      }
      break;
    }

    if (current.width + w < box_w) {
      current.width += w;
      ++current.count;
      placed.push_back({before, after, w, code, before_in_run, after_in_run});
      continue;
    }

    // The character does not fit: break after a "-", before a blank, or
    // hyphenate where the shortened line and a "-" still fit. A first
    // character wider than the box never fits: its line stays empty and
    // the next starts at it again, until the line cap ends the layout.
    int32_t next_start = before;
    bool next_in_run = before_in_run;
    int32_t width = current.width;
    int32_t hyphen_at = -1;
    int32_t hyphen_width = 0;
    bool broken = false;
    for (int32_t k = static_cast<int32_t>(placed.size()) - 1; k >= 1; --k) {
      const PLACED_CHAR& c = placed[static_cast<size_t>(k)];
      if (c.code == '-') {
        current.count = k + 1;
        current.width = width;
        next_start = c.end;
        next_in_run = c.end_in_run;
        broken = true;
        break;
      }
      if (is_blank(c.code)) {
        current.count = k;
        current.width = width - c.width;
        next_start = c.start;
        next_in_run = c.start_in_run;
        broken = true;
        break;
      }
      width -= c.width;
      if (hyphen_at < 0 && width + hyphen < box_w) {
        hyphen_at = k;
        hyphen_width = width;
      }
    }
    if (!broken && hyphen_at >= 0) {
      const PLACED_CHAR& c = placed[static_cast<size_t>(hyphen_at)];
      current.count = hyphen_at;
      current.width = hyphen_width;
      current.flags |= LINE_HYPHEN;
      next_start = c.start;
      next_in_run = c.start_in_run;
    }
    if (!open_line(next_start, next_in_run)) break;
  }

  if (lines.back().count == 0) lines.pop_back();
  return lines;
}

}  // namespace

int32_t IMAGE::count_text_block_lines(int16_t width, int8_t font_index, int16_t size_w, int16_t size_h,
                                      const char* text) {
  if (!text || !*text || width < 1) return 0;
  const TEXT_FONT f = resolve_font(*this, font_index, size_w, size_h);
  if (!f.usable()) return 0;
  return static_cast<int32_t>(lay_out_block(*this, f, width, kMaxBlockLines, text).size());
}

void IMAGE::draw_text_block(int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                            const COLOUR* text_colour, const COLOUR* background,
                            const COLOUR* underline, int8_t font_index, int16_t size_w,
                            int16_t size_h, const char* text, uint16_t flags) {
  if (!text || !*text || !text_colour) return;
  const TEXT_FONT f = resolve_font(*this, font_index, size_w, size_h);
  if (!f.usable()) return;
  const int8_t slot = static_cast<int8_t>(f.slot);
  const uint8_t measure_slot = static_cast<uint8_t>(f.slot);
  const int32_t sh = f.size_h;

  add_dirty_rect(x1, y1, x2, y2);
  const int32_t box_w = int32_t{x2} - x1 + 1;
  const int32_t box_h = int32_t{y2} - y1 + 1;
  const int32_t allowed = std::clamp<int32_t>(box_h / sh, 1, kMaxBlockLines);
  const int32_t ellipsis = get_text_width(measure_slot, static_cast<uint16_t>(f.size_w), f.size_h,
                                          "...", 0xFFFFFFFFu, 0);
  const int32_t hyphen = get_text_width(measure_slot, static_cast<uint16_t>(f.size_w), f.size_h,
                                        "-", 0xFFFFFFFFu, 0);
  const std::vector<BLOCK_LINE> lines = lay_out_block(*this, f, box_w, allowed, text);
  const int32_t line_count = static_cast<int32_t>(lines.size());
  if (line_count <= 0) return;
  for (int32_t i = 0; i < line_count; ++i) {
    const BLOCK_LINE& l = lines[static_cast<size_t>(i)];
    int32_t extra = 0;
    if (l.flags & LINE_ELLIPSIS) extra = ellipsis;
    else if (l.flags & LINE_HYPHEN) extra = hyphen;

    int32_t lx;
    if (flags & TEXT_LEFT) {
      // A left-aligned line starts at the edge whatever follows it.
      lx = x1;
    } else if (flags & TEXT_RIGHT) {
      lx = x2 - l.width - extra;
    } else {
      lx = x1 + (box_w - l.width) / 2 - extra / 2;
    }
    int32_t ly;
    if (flags & TEXT_TOP) ly = y1 + i * sh;
    else if (flags & TEXT_BOTTOM) ly = y2 + (i - line_count) * sh;
    else ly = y1 + (box_h - line_count * sh) / 2 + i * sh;

    draw_text(to_i16(lx), to_i16(ly), text_colour, background, underline, slot, f.size_w,
              f.size_h, text + l.start, flags, l.count, l.flags & LINE_STARTS_IN_RUN);
    if (l.flags & LINE_ELLIPSIS)
      draw_text(to_i16(lx + l.width), to_i16(ly), text_colour, background, underline, slot,
                f.size_w, f.size_h, "...", flags, -1, 0);
    else if (l.flags & LINE_HYPHEN)
      draw_text(to_i16(lx + l.width), to_i16(ly), text_colour, background, underline, slot,
                f.size_w, f.size_h, "-", flags, -1, 0);
  }
}

void IMAGE::draw_char(int16_t x_pos, int16_t y_pos, const COLOUR* text_colour,
                      const COLOUR* background, const COLOUR* underline, int8_t font_index,
                      int16_t size_w, int16_t size_h, uint8_t character, uint16_t flags) {
  const char text[2] = {static_cast<char>(character), '\0'};
  draw_text(x_pos, y_pos, text_colour, background, underline, font_index, size_w, size_h, text,
            flags, -1, 0);
}

void IMAGE::draw_underlined_textf(int16_t x_pos, int16_t y_pos, const COLOUR* text_colour,
                                  const COLOUR* background, const COLOUR* underline,
                                  int8_t font_index, int16_t size_w, int16_t size_h,
                                  const char* format, ...) {
  if (!format) return;
  char text[kFormatBufferSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  draw_text(x_pos, y_pos, text_colour, background, underline, font_index, size_w, size_h, text, 0,
            -1, 0);
}

void IMAGE::draw_textf(int16_t x_pos, int16_t y_pos, const COLOUR* text_colour,
                       const COLOUR* background, int8_t font_index, int16_t size_w,
                       int16_t size_h, const char* format, ...) {
  if (!format) return;
  char text[kFormatBufferSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  draw_text(x_pos, y_pos, text_colour, background, nullptr, font_index, size_w, size_h, text, 0,
            -1, 0);
}

void IMAGE::draw_default_textf(int16_t x_pos, int16_t y_pos, const COLOUR* text_colour,
                               const COLOUR* background, const char* format, ...) {
  if (!format) return;
  char text[kFormatBufferSize];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  draw_text(x_pos, y_pos, text_colour, background, nullptr, font, font_width,
            static_cast<int16_t>(font_height), text, 0, -1, 0);
}
