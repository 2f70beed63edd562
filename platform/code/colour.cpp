#include "colour.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "string_utils.h"

namespace {

// x 255, truncated towards zero, low byte kept. Converting a double that
// does not fit straight to an integer type is undefined, so it goes through
// int64_t with NaN and out-of-range values pinned first.
uint8_t unit_to_byte(double value) {
  const double scaled = value * 255.0;
  if (std::isnan(scaled)) return 0;
  if (scaled >= 9.2e18) return 0xFF;  // low byte of the largest int64_t
  if (scaled <= -9.2e18) return 0;    // low byte of the smallest int64_t
  return static_cast<uint8_t>(static_cast<uint64_t>(static_cast<int64_t>(scaled)) & 0xFF);
}

COLOUR pack(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
         (static_cast<uint32_t>(g) << 8) | b;
}

COLOUR pack_low_bytes(long a, long r, long g, long b) {
  return pack(static_cast<uint8_t>(a & 0xFF), static_cast<uint8_t>(r & 0xFF),
              static_cast<uint8_t>(g & 0xFF), static_cast<uint8_t>(b & 0xFF));
}

const char* skip_blanks(const char* p) {
  while (isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// Reads up to `count` comma-separated 16-bit decimal fields as "%hd,%hd,..."
// would: each may have leading white space and a sign, and a comma must
// follow at once for the next field to be read. Fields not reached stay 0;
// a value out of range keeps its low 16 bits.
void scan_shorts(const char* p, long* fields, int count) {
  for (int i = 0; i < count; ++i) fields[i] = 0;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const long value = strtol(p, &end, 10);
    if (end == p) return;
    fields[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned long>(value) & 0xFFFF));
    p = end;
    if (*p != ',') return;
    ++p;
  }
}

// As scan_shorts, for "%lf,%lf,..." fields.
void scan_doubles(const char* p, double* fields, int count) {
  for (int i = 0; i < count; ++i) fields[i] = 0.0;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const double value = strtod(p, &end);
    if (end == p) return;
    fields[i] = value;
    p = end;
    if (*p != ',') return;
    ++p;
  }
}

// Reads up to `count` fields of at most two hexadecimal digits each, as
// "%2hx%2hx..." would (white space before a field is skipped).
void scan_hex_pairs(const char* p, long* fields, int count) {
  for (int i = 0; i < count; ++i) fields[i] = 0;
  for (int i = 0; i < count; ++i) {
    p = skip_blanks(p);
    int digits = 0;
    long value = 0;
    while (digits < 2 && isxdigit(static_cast<unsigned char>(*p))) {
      const char c = *p++;
      const int digit = (c <= '9') ? c - '0' : (tolower(static_cast<unsigned char>(c)) - 'a' + 10);
      value = value * 16 + digit;
      ++digits;
    }
    if (digits == 0) return;
    fields[i] = value;
  }
}

// "#" followed by one hexadecimal number. More than eight digits saturate
// to 0xFFFFFFFF; six digits or fewer (counting digits only, so trailing
// blanks or text do not make the colour transparent) give alpha 255.
COLOUR parse_hex(const char* p) {
  p = skip_blanks(p);
  char* end = nullptr;
  unsigned long long value = strtoull(p, &end, 16);
  if (end == p) value = 0;
  // strtoull takes a sign as "%x" does; a negated value is huge and so
  // saturates below like any other that does not fit 32 bits.
  if (value > 0xFFFFFFFFull) value = 0xFFFFFFFFull;
  int digits = 0;
  for (const char* q = p; q < end; ++q) {
    if (isxdigit(static_cast<unsigned char>(*q))) ++digits;
  }
  // "0x" counts its 0 as a digit; x is not one.
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) --digits;
  COLOUR colour = static_cast<COLOUR>(value);
  if (digits <= 6) colour |= 0xFF000000u;
  return colour;
}

enum class KEYWORD { NONE, AHSL, ACMYK };

KEYWORD read_keyword(const char** p) {
  if (strnicmp(*p, "ACMYK", 5) == 0) {
    *p += 5;
    return KEYWORD::ACMYK;
  }
  if (strnicmp(*p, "AHSL", 4) == 0) {
    *p += 4;
    return KEYWORD::AHSL;
  }
  return KEYWORD::NONE;
}

// Integer fields (hexadecimal, decimal or percent) of the keyword forms,
// each divided by `scale` before conversion.
void convert_scaled(COLOUR* out, KEYWORD keyword, const long* f, double scale) {
  if (keyword == KEYWORD::AHSL) {
    ahsl_to_colour(out, f[0] / scale, f[1] / scale, f[2] / scale, f[3] / scale);
  } else {
    acmyk_to_colour(out, f[0] / scale, f[1] / scale, f[2] / scale, f[3] / scale, f[4] / scale);
  }
}

}  // namespace

void colour_to_ahsl(const COLOUR* colour, double* a, double* h, double* s, double* l) {
  const uint32_t value = *colour;
  const double r = ((value >> 16) & 0xFF) / 255.0;
  const double g = ((value >> 8) & 0xFF) / 255.0;
  const double b = (value & 0xFF) / 255.0;
  const double max = std::fmax(r, std::fmax(g, b));
  const double min = std::fmin(r, std::fmin(g, b));
  const double lightness = (max + min) / 2.0;

  double saturation = 0.0;
  if (lightness > 0.0 && lightness < 1.0) {
    saturation = (max - min) / (lightness < 0.5 ? 2.0 * lightness : 2.0 - 2.0 * lightness);
  }

  // A grey (max = min) has no hue; only then is d zero.
  double hue = 0.0;
  if (max != min) {
    const double d = max - min;
    if (max == r && r != g) hue += (g - b) / d;
    if (max == g && g != b) hue += 2.0 + (b - r) / d;
    if (max == b && b != r) hue += 4.0 + (r - g) / d;
    hue /= 6.0;
    if (hue < 0.0) hue += 1.0;
  }

  *a = (value >> 24) / 255.0;
  *h = hue;
  *s = saturation;
  *l = lightness;
}

void ahsl_to_colour(COLOUR* out, double a, double h, double s, double l) {
  if (h > 1.0) h = 1.0;
  if (s > 1.0) s = 1.0;
  if (l > 1.0) l = 1.0;
  if (l < 0.0) l = 0.0;
  const double degrees = (h < 0.0) ? 0.0 : 360.0 * h;

  double t = 0.0;
  double o = 1.0;
  if (s >= 0.0) {
    t = 2.0 * s;
    o = 1.0 - s;
  }

  double weight[3];  // red, green, blue
  if (degrees < 120.0) {
    weight[0] = (120.0 - degrees) / 60.0;
    weight[1] = degrees / 60.0;
    weight[2] = 0.0;
  } else if (degrees < 240.0) {
    weight[0] = 0.0;
    weight[1] = (240.0 - degrees) / 60.0;
    weight[2] = (degrees - 120.0) / 60.0;
  } else {
    weight[0] = (degrees - 240.0) / 60.0;
    weight[1] = 0.0;
    weight[2] = (360.0 - degrees) / 60.0;
  }

  uint8_t channel[3];
  for (int i = 0; i < 3; ++i) {
    double x = t * std::fmin(weight[i], 1.0) + o;
    x = (l < 0.5) ? l * x : (1.0 - l) * x + 2.0 * l - 1.0;
    channel[i] = unit_to_byte(x);
  }
  *out = pack(unit_to_byte(a), channel[0], channel[1], channel[2]);
}

void colour_to_acmyk(const COLOUR* colour, double* a, double* c, double* m, double* y, double* k) {
  const uint32_t value = *colour;
  const double cyan = 1.0 - ((value >> 16) & 0xFF) / 255.0;
  const double magenta = 1.0 - ((value >> 8) & 0xFF) / 255.0;
  const double yellow = 1.0 - (value & 0xFF) / 255.0;
  const double black = std::fmin(cyan, std::fmin(magenta, yellow));
  *a = (value >> 24) / 255.0;
  *k = black;
  if (black >= 1.0) {
    // Black: no ink colour is left once K takes everything.
    *c = *m = *y = 0.0;
    return;
  }
  *c = (cyan - black) / (1.0 - black);
  *m = (magenta - black) / (1.0 - black);
  *y = (yellow - black) / (1.0 - black);
}

void acmyk_to_colour(COLOUR* out, double a, double c, double m, double y, double k) {
  *out = pack(unit_to_byte(a), unit_to_byte((1.0 - c) * (1.0 - k)), unit_to_byte((1.0 - m) * (1.0 - k)),
              unit_to_byte((1.0 - y) * (1.0 - k)));
}

void colour_adjust_lightness(COLOUR* out, const COLOUR* in, double delta) {
  double a, h, s, l;
  colour_to_ahsl(in, &a, &h, &s, &l);
  if (delta < 0.0) {
    l = (l + delta >= 0.0) ? l + delta : l - delta;
  } else {
    l = (l + delta <= 1.0) ? l + delta : l - delta;
  }
  ahsl_to_colour(out, (*out >> 24) / 255.0, h, s, l);
}

bool colour_contrast(COLOUR* colour, const COLOUR* reference, bool test_only) {
  double a, h, s, l;
  double ra, rh, rs, rl;
  colour_to_ahsl(colour, &a, &h, &s, &l);
  colour_to_ahsl(reference, &ra, &rh, &rs, &rl);
  if (std::fabs(h - rh) >= 0.2 || std::fabs(s - rs) >= 0.2 || std::fabs(l - rl) >= 0.2) return false;
  if (!test_only) ahsl_to_colour(colour, a, h, s, rl <= 0.5 ? rl + 0.2 : rl - 0.2);
  return true;
}

void colour_text_for(COLOUR* out, const COLOUR* background) {
  const uint32_t b = *background;
  const uint32_t sum = ((b >> 16) & 0xFF) + ((b >> 8) & 0xFF) + (b & 0xFF);
  *out = (sum < 384) ? 0xFFFFFFFFu : 0xFF000000u;
}

void colour_from_string(COLOUR* out, const char* text) {
  if (!out || !text) return;
  const char prefix = text[0];
  if (prefix != '#' && prefix != '&' && prefix != '%' && prefix != '@') return;
  const char* p = text + 1;
  const KEYWORD keyword = read_keyword(&p);
  p = skip_blanks(p);
  const int count = (keyword == KEYWORD::ACMYK) ? 5 : 4;

  switch (prefix) {
    case '#':
      if (keyword == KEYWORD::NONE) {
        *out = parse_hex(p);
      } else {
        long f[5];
        scan_hex_pairs(p, f, count);
        convert_scaled(out, keyword, f, 255.0);
      }
      break;
    case '&': {
      long f[5];
      scan_shorts(p, f, count);
      if (keyword == KEYWORD::NONE) {
        *out = pack_low_bytes(f[0], f[1], f[2], f[3]);
      } else {
        convert_scaled(out, keyword, f, 255.0);
      }
      break;
    }
    case '%': {
      long f[5];
      scan_shorts(p, f, count);
      if (keyword == KEYWORD::NONE) {
        *out = pack_low_bytes(f[0] * 255 / 100, f[1] * 255 / 100, f[2] * 255 / 100, f[3] * 255 / 100);
      } else {
        convert_scaled(out, keyword, f, 100.0);
      }
      break;
    }
    default: {  // '@'
      double f[5];
      scan_doubles(p, f, count);
      if (keyword == KEYWORD::NONE) {
        *out = pack(unit_to_byte(f[0]), unit_to_byte(f[1]), unit_to_byte(f[2]), unit_to_byte(f[3]));
      } else if (keyword == KEYWORD::AHSL) {
        ahsl_to_colour(out, f[0], f[1], f[2], f[3]);
      } else {
        acmyk_to_colour(out, f[0], f[1], f[2], f[3], f[4]);
      }
      break;
    }
  }
}
