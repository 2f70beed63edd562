#pragma once
// SCROLLING_BACKGROUND shows a fixed-size window onto a larger picture and
// pans that window slowly back and forth, so a page's background moves
// gently. The picture is a handle of an IMAGE_CACHE or a picture it owns.
#include <cstdint>

class FOLDER;
class IMAGE;
class IMAGE_CACHE;

class SCROLLING_BACKGROUND {
public:
  // No picture: draw does nothing and update reports no movement.
  SCROLLING_BACKGROUND() = default;
  ~SCROLLING_BACKGROUND();
  SCROLLING_BACKGROUND(const SCROLLING_BACKGROUND&) = delete;
  SCROLLING_BACKGROUND& operator=(const SCROLLING_BACKGROUND&) = delete;

  // Both forms drop any earlier picture, then place a w x h window at
  // (x, y) over the picture loaded at image_w x image_h (a size below 1
  // takes twice the window's). speed is the period of one back-and-forth
  // movement in milliseconds, 0 = still; 1 counts as 2.
  // From the cache (lookup flags 0): the handle, null when there is none.
  IMAGE* init_from_cache(int16_t x, int16_t y, IMAGE_CACHE& cache, const char* folder,
                         const char* name, int16_t w, int16_t h, uint32_t speed,
                         int16_t image_w = 0, int16_t image_h = 0);
  // From a file into an owned picture: the load result.
  bool init_from_file(int16_t x, int16_t y, const FOLDER& folder, const char* name, int16_t w,
                      int16_t h, uint32_t speed, int16_t image_w = 0, int16_t image_h = 0);

  // Starts a period now, with the window at the left edge, half-way down.
  void reset();
  // Moves the window for the millisecond clock: x runs left to right in the
  // first half of the period and back in the second, y a quarter period
  // ahead, reflected at the edges. True when the window moved.
  bool update();
  // Blends the window's part of the picture onto the screen at (x, y).
  void draw() const;

  int16_t x = 0;
  int16_t y = 0;
  int16_t w = 0;
  int16_t h = 0;
  int16_t pan_x = 0;  // the window's top-left corner inside the picture
  int16_t pan_y = 0;
  int16_t image_w = 0;
  int16_t image_h = 0;
  uint32_t speed = 0;
  uint32_t start = 0;  // clock value at which the current period began
  IMAGE* image = nullptr;
  IMAGE_CACHE* cache = nullptr;  // null when the picture is owned

private:
  void place(int16_t x, int16_t y, int16_t w, int16_t h, uint32_t speed, int16_t image_w,
             int16_t image_h);
  void release();
  // How far the window can move; 0 when the picture is not larger.
  int32_t range_x() const;
  int32_t range_y() const;
};
