#include "image_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image.h"

namespace {

// The taps of each record that carry weight: a tent filter gives its far
// taps weight 0, and a product with 0 adds nothing, so the loops skip them.
struct TAP_RANGE {
  int32_t first;
  int32_t last;
};

std::vector<TAP_RANGE> weighted_taps(const CONTRIBUTION_TABLE& table) {
  std::vector<TAP_RANGE> ranges(table.records.size());
  for (size_t i = 0; i < table.records.size(); ++i) {
    const CONTRIBUTION& c = table.records[i];
    int32_t first = c.left, last = c.right;
    while (first <= last && c.weights[first - c.left] == 0.0) ++first;
    while (last >= first && c.weights[last - c.left] == 0.0) --last;
    ranges[i] = TAP_RANGE{first, last};
  }
  return ranges;
}

uint32_t pack_channels(int32_t a, int32_t r, int32_t g, int32_t b) {
  auto clamp = [](int32_t v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  return clamp(a) << 24 | clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

// Each channel times the weight, truncated before it is added: the sums are
// defined by the truncated products, whatever order they are added in.
inline int32_t weighted(uint32_t pixel, int shift, double weight) {
  return static_cast<int32_t>(static_cast<double>((pixel >> shift) & 0xFF) * weight);
}

void scale_nearest(const uint32_t* old, int32_t old_w, int32_t old_h, int32_t old_stride,
                   IMAGE& image) {
  int32_t w = image.width, h = image.height;
  uint64_t dx = (static_cast<uint64_t>(old_w) << 16) / static_cast<uint64_t>(w);
  uint64_t dy = (static_cast<uint64_t>(old_h) << 16) / static_cast<uint64_t>(h);
  std::vector<int32_t> columns(static_cast<size_t>(w));
  for (int32_t i = 0; i < w; ++i) columns[i] = static_cast<int32_t>((i * dx) >> 16);

  uint64_t row_position = 0;
  int32_t previous_row = -1;
  size_t row_bytes = static_cast<size_t>(w) * sizeof(uint32_t);
  for (int32_t j = 0; j < h; ++j, row_position += dy) {
    int32_t source_row = static_cast<int32_t>(row_position >> 16);
    uint32_t* d = image.pixels + static_cast<size_t>(j) * image.stride;
    if (source_row == previous_row) {
      memcpy(d, d - image.stride, row_bytes);
      continue;
    }
    previous_row = source_row;
    const uint32_t* s = old + static_cast<size_t>(source_row) * old_stride;
    if (w == old_w) {
      memcpy(d, s, row_bytes);
      continue;
    }
    for (int32_t i = 0; i < w; ++i) d[i] = s[columns[i]];
  }
}

// The size change itself, once the target size is settled.
void resize_pixels(IMAGE& image, int32_t w, int32_t h, bool smooth) {
  if (w == image.width && h == image.height) {
    image.add_dirty_rect(image.x, image.y, static_cast<int16_t>(image.x + image.width - 1),
                         static_cast<int16_t>(image.y + image.height - 1));
    return;
  }
  // Take the old buffer out first: create frees whatever buffer it finds.
  uint32_t* old = image.pixels;
  int32_t old_w = image.width, old_h = image.height, old_stride = image.stride;
  image.pixels = nullptr;
  image.pixel_count = 0;
  uint16_t max_w = image.max_width, max_h = image.max_height;
  image.create(static_cast<int16_t>(w), static_cast<int16_t>(h));
  image.max_width = max_w;
  image.max_height = max_h;

  if (old && image.pixels && old_w > 0 && old_h > 0) {
    if (smooth) {
      C2PassScale<CBilinearFilter> scaler;
      scaler.scale(old, old_w, old_stride, old_h, image.pixels, image.width, image.stride,
                   image.height);
    } else {
      scale_nearest(old, old_w, old_h, old_stride, image);
    }
  }
  free(old);
}

}  // namespace

template <class FILTER>
bool C2PassScale<FILTER>::report(uint8_t percent) {
  if (progress && !progress(percent)) cancelled = true;
  return !cancelled;
}

template <class FILTER>
void C2PassScale<FILTER>::build_contributions(CONTRIBUTION_TABLE& table, int32_t dest_size,
                                              int32_t source_size) const {
  double scale = static_cast<double>(dest_size) / static_cast<double>(source_size);
  double width = filter_.width, fscale = 1.0;
  if (scale < 1.0) {
    // Shrinking widens the filter so that every source pixel counts.
    width = filter_.width / scale;
    fscale = scale;
  }
  table.window_size = 2 * static_cast<int32_t>(std::ceil(width)) + 2;
  table.line_length = dest_size;
  table.records.assign(static_cast<size_t>(dest_size), CONTRIBUTION{nullptr, 0, -1});
  table.weight_store.assign(static_cast<size_t>(dest_size) * table.window_size, 0.0);

  for (int32_t i = 0; i < dest_size; ++i) {
    double center = i / scale;
    int32_t left = std::max(0, static_cast<int32_t>(std::floor(center - width)));
    int32_t right = std::min(source_size - 1, static_cast<int32_t>(std::ceil(center + width)));
    if (right - left >= table.window_size) {
      if (left < (source_size - 1) / 2)
        ++left;
      else
        --right;
    }
    double* weights = table.weight_store.data() + static_cast<size_t>(i) * table.window_size;
    double sum = 0.0;
    for (int32_t j = left; j <= right; ++j) {
      double weight = fscale * filter_.filter((center - j) * fscale);
      weights[j - left] = weight;
      sum += weight;
    }
    if (sum > 0.0) {
      for (int32_t j = left; j <= right; ++j) weights[j - left] /= sum;
    }
    table.records[i] = CONTRIBUTION{weights, left, right};
  }
}

template <class FILTER>
uint32_t* C2PassScale<FILTER>::scale(const uint32_t* source, int32_t source_width,
                                     int32_t source_stride, int32_t source_height, uint32_t* dest,
                                     int32_t dest_width, int32_t dest_stride, int32_t dest_height) {
  if (!source || !dest || source_width < 1 || source_height < 1 || dest_width < 1 ||
      dest_height < 1) {
    return dest;
  }
  cancelled = false;
  std::vector<uint32_t> temporary(static_cast<size_t>(dest_stride) * source_height, 0);

  // Horizontal pass: each source row into the temporary buffer.
  CONTRIBUTION_TABLE across;
  build_contributions(across, dest_width, source_width);
  std::vector<TAP_RANGE> across_taps = weighted_taps(across);
  for (int32_t row = 0; row < source_height; ++row) {
    if (!report(static_cast<uint8_t>(row * 50 / source_height))) return nullptr;
    const uint32_t* s = source + static_cast<size_t>(row) * source_stride;
    uint32_t* t = temporary.data() + static_cast<size_t>(row) * dest_stride;
    for (int32_t i = 0; i < dest_width; ++i) {
      const CONTRIBUTION& c = across.records[i];
      const TAP_RANGE& taps = across_taps[i];
      if (taps.first == taps.last && c.weights[taps.first - c.left] == 1.0) {
        t[i] = s[taps.first];  // one tap of weight 1 copies the pixel exactly
        continue;
      }
      int32_t a = 0, r = 0, g = 0, b = 0;
      for (int32_t j = taps.first; j <= taps.last; ++j) {
        double weight = c.weights[j - c.left];
        uint32_t p = s[j];
        a += weighted(p, 24, weight);
        r += weighted(p, 16, weight);
        g += weighted(p, 8, weight);
        b += weighted(p, 0, weight);
      }
      t[i] = pack_channels(a, r, g, b);
    }
  }

  // Vertical pass: each destination row gathers whole temporary rows, so
  // that the inner loop runs along memory.
  CONTRIBUTION_TABLE down;
  build_contributions(down, dest_height, source_height);
  std::vector<TAP_RANGE> down_taps = weighted_taps(down);
  std::vector<int32_t> sums(static_cast<size_t>(dest_width) * 4);
  for (int32_t row = 0; row < dest_height; ++row) {
    if (!report(static_cast<uint8_t>(50 + row * 50 / dest_height))) return nullptr;
    const CONTRIBUTION& c = down.records[row];
    uint32_t* d = dest + static_cast<size_t>(row) * dest_stride;
    const TAP_RANGE& taps = down_taps[row];
    if (taps.first == taps.last && c.weights[taps.first - c.left] == 1.0) {
      memcpy(d, temporary.data() + static_cast<size_t>(taps.first) * dest_stride,
             static_cast<size_t>(dest_width) * sizeof(uint32_t));
      continue;
    }
    std::fill(sums.begin(), sums.end(), 0);
    for (int32_t j = taps.first; j <= taps.last; ++j) {
      double weight = c.weights[j - c.left];
      const uint32_t* t = temporary.data() + static_cast<size_t>(j) * dest_stride;
      int32_t* sum = sums.data();
      for (int32_t i = 0; i < dest_width; ++i, sum += 4) {
        uint32_t p = t[i];
        sum[0] += weighted(p, 24, weight);
        sum[1] += weighted(p, 16, weight);
        sum[2] += weighted(p, 8, weight);
        sum[3] += weighted(p, 0, weight);
      }
    }
    const int32_t* sum = sums.data();
    for (int32_t i = 0; i < dest_width; ++i, sum += 4)
      d[i] = pack_channels(sum[0], sum[1], sum[2], sum[3]);
  }
  return dest;
}

template class C2PassScale<CBilinearFilter>;

void IMAGE::scale(uint16_t w_in, uint16_t h_in, bool smooth) {
  // A size-limit correction asks for one more round with the sizes it
  // found, keeping the flag; a round that would only repeat itself lets the
  // side over its limit drive, so at most three rounds run.
  for (int round = 0; round < 3; ++round) {
    if (fixed) return;
    bool given_w = w_in != 65535, given_h = h_in != 65535;
    // Sizes that cannot be an i16 width or height end the call.
    if ((given_w && w_in > IMAGE_MAX_SIZE) || (given_h && h_in > IMAGE_MAX_SIZE)) return;
    int32_t cur_w = width, cur_h = height;
    int32_t w = given_w ? w_in : cur_w;
    int32_t h = given_h ? h_in : cur_h;

    // No aspect maths for an empty image or an empty target.
    bool aspect = keep_aspect && cur_w > 0 && cur_h > 0 && w >= 1 && h >= 1;
    bool width_drives = false;
    if (aspect) {
      if (given_w && given_h) {
        width_drives = static_cast<double>(cur_w) / w > static_cast<double>(cur_h) / h;
      } else {
        width_drives = given_w;
      }
    }
    if (max_width >= 1 && w > max_width) w = max_width;
    if (max_height >= 1 && h > max_height) h = max_height;

    if (aspect) {
      if (width_drives) {
        h = static_cast<int32_t>(static_cast<double>(cur_h) * w / cur_w);
      } else {
        w = static_cast<int32_t>(static_cast<double>(cur_w) * h / cur_h);
      }
      // A very flat or very tall picture must not round to nothing.
      w = std::max(w, 1);
      h = std::max(h, 1);
      if ((max_width >= 1 && w > max_width) || (max_height >= 1 && h > max_height)) {
        const bool fits = w <= IMAGE_MAX_SIZE && h <= IMAGE_MAX_SIZE;
        if (round < 2 && fits && (w != w_in || h != h_in)) {
          w_in = static_cast<uint16_t>(w);
          h_in = static_cast<uint16_t>(h);
          continue;
        }
        // Asking again would give the same answer (the ratios tie, so the
        // side within its limit drives again), or the size found does not
        // fit at all: the side over its limit drives instead, so that the
        // limits always hold.
        if (max_width >= 1 && w > max_width) {
          w = max_width;
          h = std::max(1, static_cast<int32_t>(static_cast<double>(cur_h) * w / cur_w));
        }
        if (max_height >= 1 && h > max_height) {
          h = max_height;
          w = std::max(1, static_cast<int32_t>(static_cast<double>(cur_w) * h / cur_h));
        }
      }
      if (w > IMAGE_MAX_SIZE || h > IMAGE_MAX_SIZE) return;
    }
    resize_pixels(*this, w, h, smooth);
    return;
  }
}

void IMAGE::scale_default(int16_t w, int16_t h) {
  scale(static_cast<uint16_t>(w), static_cast<uint16_t>(h), !fast_image_scaling);
}
