#pragma once
// CLIP_SCOPE keeps an IMAGE's clip rectangle exactly as it was (an empty
// clip included) and gives it back when the scope ends: every painter that
// narrows the shared screen clip restores it this way.
#include "image.h"

class CLIP_SCOPE {
public:
  explicit CLIP_SCOPE(IMAGE* image)
      : target(image),
        x1(image ? image->clip_x1 : 0),
        y1(image ? image->clip_y1 : 0),
        x2(image ? image->clip_x2 : 0),
        y2(image ? image->clip_y2 : 0) {}
  ~CLIP_SCOPE() {
    if (!target) return;
    target->clip_x1 = x1;
    target->clip_y1 = y1;
    target->clip_x2 = x2;
    target->clip_y2 = y2;
  }
  CLIP_SCOPE(const CLIP_SCOPE&) = delete;
  CLIP_SCOPE& operator=(const CLIP_SCOPE&) = delete;

private:
  IMAGE* target;  // null: nothing to restore
  int16_t x1, y1, x2, y2;
};
