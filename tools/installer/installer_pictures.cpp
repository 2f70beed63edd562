// The pictures are computed rather than stored: a gradient ground, a parcel
// (the installer's emblem) and, on the closing picture, a tick.
#include "installer_pictures.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

COLOUR mix(COLOUR a, COLOUR b, int step, int steps) {
  COLOUR out = 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= static_cast<COLOUR>(ca + (cb - ca) * step / steps) << shift;
  }
  return out;
}

void ground(IMAGE& image, COLOUR top, COLOUR bottom) {
  image.create(INSTALLER_PICTURE_WIDTH, INSTALLER_PICTURE_HEIGHT);
  image.set_clip_rect(0, 0, INSTALLER_PICTURE_WIDTH - 1, INSTALLER_PICTURE_HEIGHT - 1);
  for (int16_t y = 0; y < INSTALLER_PICTURE_HEIGHT; ++y) {
    const COLOUR c = mix(top, bottom, y, INSTALLER_PICTURE_HEIGHT - 1);
    image.fill_rect_solid(0, y, INSTALLER_PICTURE_WIDTH - 1, y, &c);
  }
}

// A parcel: its face, a darker side and lid, and a band of tape.
void parcel(IMAGE& image, int16_t x, int16_t y, int16_t size) {
  const COLOUR face = 0xFFC8894A, side = 0xFF9A6533, lid = 0xFFE0A869, tape = 0xFFF2E2B8;
  const int16_t depth = static_cast<int16_t>(size / 4);
  for (int16_t i = 0; i < depth; ++i) {
    image.fill_rect_solid(static_cast<int16_t>(x + i + 1), static_cast<int16_t>(y + depth - i - 1),
                          static_cast<int16_t>(x + size + i), static_cast<int16_t>(y + depth - i - 1),
                          &lid);
    image.fill_rect_solid(static_cast<int16_t>(x + size + i), static_cast<int16_t>(y + depth - i),
                          static_cast<int16_t>(x + size + i),
                          static_cast<int16_t>(y + depth + size - i - 1), &side);
  }
  image.fill_rect_solid(x, static_cast<int16_t>(y + depth), static_cast<int16_t>(x + size - 1),
                        static_cast<int16_t>(y + depth + size - 1), &face);
  const int16_t band = static_cast<int16_t>(size / 6);
  const int16_t middle = static_cast<int16_t>(x + size / 2 - band / 2);
  image.fill_rect_solid(middle, static_cast<int16_t>(y + depth), static_cast<int16_t>(middle + band),
                        static_cast<int16_t>(y + depth + size - 1), &tape);
}

void tick(IMAGE& image, int16_t x, int16_t y) {
  const COLOUR green = 0xFF6CE07A;
  for (int16_t i = 0; i < 16; ++i)
    image.fill_rect_solid(static_cast<int16_t>(x + i), static_cast<int16_t>(y + i),
                          static_cast<int16_t>(x + i + 6), static_cast<int16_t>(y + i + 6), &green);
  for (int16_t i = 0; i < 34; ++i)
    image.fill_rect_solid(static_cast<int16_t>(x + 16 + i), static_cast<int16_t>(y + 16 - i),
                          static_cast<int16_t>(x + 22 + i), static_cast<int16_t>(y + 22 - i), &green);
}

}  // namespace

void draw_start_picture(IMAGE& image) {
  ground(image, 0xFF1E5A78, 0xFF0B1A2E);
  parcel(image, 140, 14, 64);
  const COLOUR track = 0xFF08111F;
  image.fill_rect_solid(108, 120, 331, 133, &track);  // where the bar sits
}

void draw_closing_picture(IMAGE& image) {
  ground(image, 0xFF2D6B45, 0xFF0E2416);
  parcel(image, 110, 30, 64);
  tick(image, 200, 50);
}

const char* const* installer_icon_xpm() {
  static std::vector<std::string> lines;
  static std::vector<const char*> pointers;
  if (!pointers.empty()) return pointers.data();
  IMAGE picture(64, 64);
  picture.set_clip_rect(0, 0, 63, 63);
  for (int16_t y = 0; y < 64; ++y) {
    const COLOUR c = mix(0xFF3A8FB7, 0xFF123C5A, y, 63);
    picture.fill_rect_solid(0, y, 63, y, &c);
  }
  parcel(picture, 8, 8, 40);
  const char symbols[] = ".#abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+@";
  const int count = sizeof symbols - 1;
  std::map<COLOUR, std::string> codes;
  std::vector<std::string> rows(64);
  for (int16_t y = 0; y < 64; ++y)
    for (int16_t x = 0; x < 64; ++x) {
      COLOUR c = 0;
      picture.get_pixel(x, y, &c);
      auto found = codes.find(c);
      if (found == codes.end()) {
        const int n = static_cast<int>(codes.size());
        found = codes.emplace(c, std::string{symbols[n / count % count], symbols[n % count]}).first;
      }
      rows[y] += found->second;
    }
  char line[64];
  snprintf(line, sizeof line, "64 64 %d 2", static_cast<int>(codes.size()));
  lines.emplace_back(line);
  for (const auto& [colour, code] : codes) {
    snprintf(line, sizeof line, "%s c #%06X", code.c_str(), colour & 0xFFFFFF);
    lines.emplace_back(line);
  }
  for (std::string& row : rows) lines.push_back(std::move(row));
  for (const std::string& text : lines) pointers.push_back(text.c_str());
  pointers.push_back(nullptr);
  return pointers.data();
}
