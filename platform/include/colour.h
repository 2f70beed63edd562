#pragma once
// Colours are plain 0xAARRGGBB words, passed by pointer. These are the small
// colour functions the drawing code, the border painting and the style sets
// share: blending, tinting, three-colour recolouring, brightness, HSL and
// CMYK conversions, a contrast test and the parser of colour texts.
#include <cstdint>

// Alpha in bits 24..31 (255 opaque), red 16..23, green 8..15, blue 0..7.
using COLOUR = uint32_t;

// Alpha 0 means "not set": widgets then use the style's or parent's colour.
constexpr COLOUR COLOUR_INVISIBLE = 0;

// Blending treats this alpha and above as fully opaque.
constexpr uint8_t opaque_alpha_threshold = 250;

// a = 0 leaves dest alone; a >= opaque_alpha_threshold copies src (alpha
// included); otherwise each of R, G, B becomes (d x (255 - a) + s x a) >> 8
// and dest keeps its alpha.
inline void blend_colour(COLOUR* dest, const COLOUR* src, uint8_t a) {
  if (a == 0) return;
  const uint32_t s = *src;
  if (a >= opaque_alpha_threshold) {
    *dest = s;
    return;
  }
  const uint32_t d = *dest;
  const uint32_t ia = 255u - a;
  // Red and blue share one multiply: each lane stays below 65536, so no
  // carry crosses into the other.
  const uint32_t rb = ((d & 0x00FF00FFu) * ia + (s & 0x00FF00FFu) * a) >> 8;
  const uint32_t g = ((d & 0x0000FF00u) * ia + (s & 0x0000FF00u) * a) >> 8;
  *dest = (d & 0xFF000000u) | (rb & 0x00FF00FFu) | (g & 0x0000FF00u);
}

// Moves the tint's channels towards white or black so that its brightness
// (the truncated mean of R, G, B) becomes the pixel's; the result keeps the
// pixel's alpha. A tint and pixel of equal brightness give the tint itself.
inline void colour_tint(COLOUR* pixel, const COLOUR* tint) {
  const uint32_t p = *pixel;
  const uint32_t t = *tint;
  const int32_t lp = static_cast<int32_t>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
  const int32_t lt = static_cast<int32_t>(((t >> 16) & 0xFF) + ((t >> 8) & 0xFF) + (t & 0xFF)) / 3;
  uint32_t result = p & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    int32_t c = static_cast<int32_t>((t >> shift) & 0xFF);
    if (lp > lt) {
      // lt < lp <= 255, so the divisor is positive.
      c += (255 - c) * (lp - lt) / (255 - lt);
    } else if (lt > 0) {
      c = c * lp / lt;
    }
    // lt = 0 (and so lp = 0) is the equal-brightness case: the tint as is.
    result |= static_cast<uint32_t>(c) << shift;
  }
  *pixel = result;
}

// Rebuilds a mask pixel from three colours weighted by its red, green and
// blue bytes. The first colour that applies contributes its alpha scaled by
// its byte, each later one its raw byte; colours with alpha 0 take no part.
inline void colour_mix3(COLOUR* pixel, const COLOUR* c1, const COLOUR* c2, const COLOUR* c3) {
  const uint32_t p = *pixel;
  const uint32_t r = (p >> 16) & 0xFF;
  const uint32_t g = (p >> 8) & 0xFF;
  const uint32_t b = p & 0xFF;
  const uint32_t a1 = *c1 >> 24;
  const uint32_t a2 = *c2 >> 24;
  const uint32_t a3 = *c3 >> 24;
  COLOUR result;
  uint32_t acc;
  if (r != 0 && a1 != 0) {
    result = *c1;
    acc = r * a1 / 255;
    if (a2 != 0) {
      blend_colour(&result, c2, static_cast<uint8_t>(g * a2 / 255));
      acc += g;
    }
    if (a3 != 0) {
      blend_colour(&result, c3, static_cast<uint8_t>(b * a3 / 255));
      acc += b;
    }
  } else if (g != 0 && a2 != 0) {
    result = *c2;
    acc = g * a2 / 255;
    if (a3 != 0) {
      blend_colour(&result, c3, static_cast<uint8_t>(b * a3 / 255));
      acc += b;
    }
  } else if (b != 0 && a3 != 0) {
    result = *c3;
    acc = b * a3 / 255;
  } else {
    *pixel = 0;
    return;
  }
  if (acc > 255) acc = 255;
  *pixel = (result & 0x00FFFFFFu) | (acc << 24);
}

// Sets last error 4096 and reports the location for colour_darken's refused
// percentages; kept out of line so the inline routine stays small.
void colour_darken_refused();

// Brightness by percent: each of R, G, B becomes c x (100 - percent) / 100,
// at most 255, alpha kept (positive darkens, negative lightens). Outside
// -100..100 the pixel is unchanged and last error 4096 is set.
inline void colour_darken(COLOUR* pixel, int8_t percent) {
  if (percent < -100 || percent > 100) {
    colour_darken_refused();
    return;
  }
  const uint32_t p = *pixel;
  const uint32_t factor = static_cast<uint32_t>(100 - percent);  // 0..200
  uint32_t result = p & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    uint32_t c = ((p >> shift) & 0xFF) * factor / 100;
    if (c > 255) c = 255;
    result |= c << shift;
  }
  *pixel = result;
}

// Conversions. AHSL and ACMYK components are doubles in 0..1. Doubles become
// bytes by x 255, truncated towards zero, keeping the low byte (a NaN gives
// 0). A grey has hue and saturation 0; black has C = M = Y = 0 and K = 1.
void colour_to_ahsl(const COLOUR* colour, double* a, double* h, double* s, double* l);
void ahsl_to_colour(COLOUR* out, double a, double h, double s, double l);
void colour_to_acmyk(const COLOUR* colour, double* a, double* c, double* m, double* y, double* k);
void acmyk_to_colour(COLOUR* out, double a, double c, double m, double y, double k);

// The input's lightness moved by delta, reflected at 0 and 1. The result
// keeps *out's previous alpha, so out must hold a colour before the call.
void colour_adjust_lightness(COLOUR* out, const COLOUR* in, double delta);

// True when hue, saturation and lightness each differ by less than 0.2 from
// the reference's (too alike to read). Then, unless test_only, the colour
// takes the reference's lightness moved by 0.2 away from the middle.
bool colour_contrast(COLOUR* colour, const COLOUR* reference, bool test_only);

// Opaque white on backgrounds whose R + G + B is below 384, else opaque
// black.
void colour_text_for(COLOUR* out, const COLOUR* background);

// Parses a colour text: "#" hexadecimal, "&" decimal bytes, "%" percent or
// "@" fractions, each optionally followed by the keyword "AHSL" or "ACMYK"
// (any case). A null text or another first character leaves out unchanged;
// numbers that fail to scan count as 0. "#%08X" texts read back unchanged.
void colour_from_string(COLOUR* out, const char* text);

// When the platform debug stream has an output, writes the last-error code
// with the source file and line to it.
void report_last_error_at(const char* file, int32_t line);
