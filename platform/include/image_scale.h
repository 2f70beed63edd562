#pragma once
// The separable two-pass resampler behind smooth IMAGE::scale: a filter
// gives each source pixel its weight by distance, a contribution table
// per pass lists the weights for every destination index, and the scaler
// runs a horizontal pass into a temporary buffer and a vertical pass out.
#include <cmath>
#include <cstdint>
#include <vector>

class CGenericFilter {
public:
  explicit CGenericFilter(double filter_width) : width(filter_width) {}
  virtual ~CGenericFilter() = default;
  // The weight of a source pixel at this distance from the sample point.
  virtual double filter(double distance) const = 0;

  double width;
};

class CBilinearFilter : public CGenericFilter {
public:
  CBilinearFilter() : CGenericFilter(1.0) {}
  double filter(double distance) const override {
    double d = std::fabs(distance);
    return d < width ? width - d : 0.0;
  }
};

// The source pixels left .. right (inclusive) with one weight each; a
// record with right < left contributes nothing.
struct CONTRIBUTION {
  const double* weights;
  int32_t left;
  int32_t right;
};

struct CONTRIBUTION_TABLE {
  int32_t window_size = 0;  // weights reserved per record
  int32_t line_length = 0;  // destination size: one record per index
  std::vector<CONTRIBUTION> records;
  std::vector<double> weight_store;  // line_length x window_size
};

// Called before each line with the progress in percent; false cancels.
using SCALE_PROGRESS_CALLBACK = bool (*)(uint8_t percent);

template <class FILTER>
class C2PassScale {
public:
  explicit C2PassScale(SCALE_PROGRESS_CALLBACK progress_callback = nullptr)
      : progress(progress_callback) {}
  virtual ~C2PassScale() = default;

  // Resamples the source into the destination (both 0xAARRGGBB rows, stride
  // in pixels). Returns the destination, or null when the progress
  // callback cancelled (the destination keeps what was written).
  uint32_t* scale(const uint32_t* source, int32_t source_width, int32_t source_stride,
                  int32_t source_height, uint32_t* dest, int32_t dest_width, int32_t dest_stride,
                  int32_t dest_height);

  // The weights of one pass from a line of source_size to dest_size.
  void build_contributions(CONTRIBUTION_TABLE& table, int32_t dest_size, int32_t source_size) const;

  SCALE_PROGRESS_CALLBACK progress;
  bool cancelled = false;

private:
  bool report(uint8_t percent);

  FILTER filter_;
};

extern template class C2PassScale<CBilinearFilter>;
