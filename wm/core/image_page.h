#pragma once
// The image page: a full-screen page showing one picture, or a composition
// of pictures, centred on black or on the previous screen, with an optional
// status text. It waits its time in seconds, or for a left click, then
// hands the page action of its done callback to the page manager.
#include <cstdint>

#include "colour.h"

class FOLDER;
class IMAGE;
class WM_PAGE_MANAGER;

// Called when the page ends; the result is the page action.
using IMAGE_PAGE_DONE = int32_t (*)();
using IMAGE_PAGE_TICK = void (*)();

// Placement flags of IMAGE_PAGE_PART; without a flag a direction is centred.
namespace image_part {
constexpr uint16_t LEFT = 1;
constexpr uint16_t RIGHT = 2;
constexpr uint16_t TOP = 4;
constexpr uint16_t BOTTOM = 8;
}  // namespace image_part

struct IMAGE_PAGE_PART {
  const IMAGE* image = nullptr;  // not owned; null or without width: skipped
  uint16_t placement = 0;        // image_part flags
  int16_t offset = 0;            // from the edge the flags name
  COLOUR background = COLOUR_INVISIBLE;  // filled behind the part unless alpha 0
};

// How an image page comes in and goes out.
struct IMAGE_PAGE_TIMING {
  uint32_t show_seconds = 0;
  uint32_t fade_in_ms = 0;  // 0: the page manager's duration stays
  uint32_t leave_ms = 0;    // duration set when the page ends; 0: unchanged
};

// Registers the picture (at the screen's size with fit_screen, else its
// own) as the current area's next page: from the toolkit's image cache when
// it holds it, else from the file. When there is no picture the done
// callback is called at once and false returned.
bool show_image_page(WM_PAGE_MANAGER* manager, const FOLDER& folder, const char* name,
                     IMAGE_PAGE_DONE done, const IMAGE_PAGE_TIMING& timing, bool fit_screen);
// Composes the parts over the background colour (alpha 250 and above), or
// over the previous screen, at the screen's size, and registers that.
// Flag RIGHT places a part at screen width - width - 1 - offset (BOTTOM
// likewise).
bool build_image_page(WM_PAGE_MANAGER* manager, const IMAGE_PAGE_PART* parts, uint16_t count,
                      COLOUR background, IMAGE_PAGE_DONE done, const IMAGE_PAGE_TIMING& timing);

// The status text (at most 24 characters; null or "" for none) drawn on
// later image pages. x -1 centres it across the screen; y 65535 centres a
// line of line_height (65535: the screen image's text height).
void set_image_page_message(int16_t x, uint16_t y, const char* text, COLOUR colour, int8_t font,
                            int16_t size, uint16_t line_height);
// Called every frame while an image page waits; null for none.
void set_image_page_tick(IMAGE_PAGE_TICK tick);

// The page's create and frame callbacks.
void image_page_create(WM_PAGE_MANAGER* manager);
int32_t image_page_frame();
