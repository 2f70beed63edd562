// Presenting the screen IMAGE in the window: converted into an XImage on
// the window's visual and sent with XPutImage, or drawn with glDrawPixels
// while a GL context exists.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "image.h"
#include "platform.h"
#include "window.h"
#include "window_state.h"
#include "x11_state.h"

namespace {

// One colour channel of the presentation format:
// out = ((pixel >> right) & mask) << left.
struct CHANNEL {
  int right = 0;
  uint32_t mask = 0;
  int left = 0;
};

struct COLOUR_PLACEMENT {
  CHANNEL red, green, blue;
  uint32_t fill = 0;  // bits of a 32-bit pixel that no channel uses (alpha)
};

// Converts count pixels of one row; chosen once per window.
using ROW_CONVERTER = void (*)(const uint32_t* source, uint8_t* dest, int32_t count,
                               const COLOUR_PLACEMENT& placement);

struct PRESENTATION {
  GLXContext gl_context = nullptr;
  uint8_t gl_redraw = 0;
  GC gc = nullptr;
  XImage* image = nullptr;  // its data is malloc'd
  COLOUR_PLACEMENT placement;
  ROW_CONVERTER convert = nullptr;
  uint8_t* gl_buffer = nullptr;
  int32_t gl_width = 0;
  int32_t gl_height = 0;
};

PRESENTATION present;
PRESENT_OBSERVER present_observer = nullptr;

void frame_sent() {
  set_presented();
  if (present_observer) present_observer();
}

IMAGE& frame() { return *get_screen_image(0); }

// ---------------------------------------------------------------------------
// Colour conversion. Whole rows; the only choice is the converter, made when
// the presentation image is made.

// Eight pixels at a time through the compiler's vector types (plain SSE2
// on x86-64), then the row's remainder one by one.
using PIXELS_8 = uint32_t __attribute__((vector_size(32)));
using WORDS_8 = uint16_t __attribute__((vector_size(16)));

void convert_32_rgb888(const uint32_t* source, uint8_t* dest, int32_t count,
                       const COLOUR_PLACEMENT&) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    PIXELS_8 p;
    memcpy(&p, source + i, sizeof p);
    p |= 0xFF000000u;
    memcpy(dest + i * 4, &p, sizeof p);
  }
  uint32_t* out = reinterpret_cast<uint32_t*>(dest);
  for (; i < count; ++i) out[i] = source[i] | 0xFF000000u;
}

void convert_32_generic(const uint32_t* source, uint8_t* dest, int32_t count,
                        const COLOUR_PLACEMENT& p) {
  uint32_t* out = reinterpret_cast<uint32_t*>(dest);
  for (int32_t i = 0; i < count; ++i) {
    uint32_t s = source[i];
    out[i] = p.fill | ((s >> p.red.right) & p.red.mask) << p.red.left |
             ((s >> p.green.right) & p.green.mask) << p.green.left |
             ((s >> p.blue.right) & p.blue.mask) << p.blue.left;
  }
}

void convert_16_rgb565(const uint32_t* source, uint8_t* dest, int32_t count,
                       const COLOUR_PLACEMENT&) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    PIXELS_8 p;
    memcpy(&p, source + i, sizeof p);
    PIXELS_8 packed = ((p >> 8) & 0xF800u) | ((p >> 5) & 0x07E0u) | ((p >> 3) & 0x001Fu);
    WORDS_8 words = __builtin_convertvector(packed, WORDS_8);
    memcpy(dest + i * 2, &words, sizeof words);
  }
  uint16_t* out = reinterpret_cast<uint16_t*>(dest);
  for (; i < count; ++i) {
    uint32_t s = source[i];
    out[i] = static_cast<uint16_t>(((s >> 8) & 0xF800u) | ((s >> 5) & 0x07E0u) | ((s >> 3) & 0x001Fu));
  }
}

void convert_16_generic(const uint32_t* source, uint8_t* dest, int32_t count,
                        const COLOUR_PLACEMENT& p) {
  uint16_t* out = reinterpret_cast<uint16_t*>(dest);
  for (int32_t i = 0; i < count; ++i) {
    uint32_t s = source[i];
    out[i] = static_cast<uint16_t>(((s >> p.red.right) & p.red.mask) << p.red.left |
                                   ((s >> p.green.right) & p.green.mask) << p.green.left |
                                   ((s >> p.blue.right) & p.blue.mask) << p.blue.left);
  }
}

// A visual's channel mask, read from bit position source_bit of an ARGB
// pixel. Channels narrower than 8 bits lose low bits; wider ones (10-bit
// visuals) are shifted further left.
CHANNEL place_channel(unsigned long mask, int source_bit) {
  CHANNEL channel;
  if (!mask) return channel;
  int shift = std::countr_zero(mask);
  int loss = 8 - std::popcount(mask);
  if (loss >= 0) {
    channel.right = source_bit + loss;
    channel.mask = 0xFFu >> loss;
    channel.left = shift;
  } else {
    channel.right = source_bit;
    channel.mask = 0xFFu;
    channel.left = shift - loss;
  }
  return channel;
}

// Bits per pixel that the server uses for images of this depth; 0 when it
// lists none.
int bits_per_pixel_for_depth(Display* display, int depth) {
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  int bits = 0;
  for (int i = 0; formats && i < count; ++i)
    if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
  if (formats) XFree(formats);
  return bits;
}

void convert_frame() {
  const int32_t rows = frame().height;
  const int32_t count = frame().width;
  const uint32_t* source = frame().pixels;
  uint8_t* dest = reinterpret_cast<uint8_t*>(present.image->data);
  const size_t dest_step = static_cast<size_t>(present.image->bytes_per_line);
  for (int32_t row = 0; row < rows; ++row) {
    present.convert(source, dest, count, present.placement);
    source += frame().stride;
    dest += dest_step;
  }
}

void empty_dirty_rect() {
  frame().dirty_x1 = frame().dirty_x2 = 65535;
  frame().dirty_y1 = frame().dirty_y2 = 65535;
}

}  // namespace

void free_presentation() {
  if (present.image) XDestroyImage(present.image);  // frees the malloc'd data too
  present.image = nullptr;
  present.convert = nullptr;
  if (present.gc && x11.display) XFreeGC(x11.display, present.gc);
  present.gc = nullptr;
}

void close_presentation() {
  destroy_gl_context();
  free_presentation();
  free(present.gl_buffer);
  present.gl_buffer = nullptr;
  present.gl_width = present.gl_height = 0;
}

// The GC, the presentation image on the window's own visual, and the colour
// placement for that visual.
void make_presentation() {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  Visual* visual = DefaultVisual(d, screen);
  int depth = DefaultDepth(d, screen);

  present.placement = COLOUR_PLACEMENT();
  present.gc = XCreateGC(d, x11.window, 0, nullptr);

  int bits = bits_per_pixel_for_depth(d, depth);
  if (bits != 16 && bits != 32) report_error(0x0012);
  int32_t bytes_per_line = bits / 8 * frame().stride;
  size_t size = static_cast<size_t>(bytes_per_line) * static_cast<size_t>(frame().height);
  char* data = static_cast<char*>(malloc(size));
  if (!data) report_error(0x0010);
  present.image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                           static_cast<unsigned>(frame().width),
                           static_cast<unsigned>(frame().height), 32, bytes_per_line);
  if (!present.image || present.image->bits_per_pixel != bits) {
    if (present.image) XDestroyImage(present.image);
    else free(data);
    present.image = nullptr;
    report_error(0x0010);
  }
  // Pixels are written in host order; Xlib swaps them for a server of the
  // other order.
  present.image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

  COLOUR_PLACEMENT& p = present.placement;
  p.red = place_channel(visual->red_mask, 16);
  p.green = place_channel(visual->green_mask, 8);
  p.blue = place_channel(visual->blue_mask, 0);
  unsigned long used = visual->red_mask | visual->green_mask | visual->blue_mask;
  if (bits == 32) {
    p.fill = 0xFF000000u & ~static_cast<uint32_t>(used);
    bool rgb888 = visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                  visual->blue_mask == 0xFF;
    present.convert = rgb888 ? convert_32_rgb888 : convert_32_generic;
  } else {
    bool rgb565 = visual->red_mask == 0xF800 && visual->green_mask == 0x07E0 &&
                  visual->blue_mask == 0x001F;
    present.convert = rgb565 ? convert_16_rgb565 : convert_16_generic;
  }
}

void set_present_observer(PRESENT_OBSERVER observer) { present_observer = observer; }

void swap_screens(uint16_t screen) {
  if ((screen != 0 && screen != ALL_SCREENS) || !x11.window) return;
  Display* d = x11.display;
  const int32_t width = frame().width, height = frame().height;
  if (width < 1 || height < 1) return;

  if (present.gl_context) {
    if (!present.gl_buffer || present.gl_width != width || present.gl_height != height) {
      free(present.gl_buffer);
      present.gl_buffer = static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * height * 4));
      if (!present.gl_buffer) return;
      present.gl_width = width;
      present.gl_height = height;
      frame().add_dirty_rect(0, 0, static_cast<int16_t>(width - 1),
                                  static_cast<int16_t>(height - 1));
    }
    if (!present.gl_redraw && frame().dirty_is_empty()) return;
    present.gl_redraw = 0;
    // GL rows run from the bottom up.
    frame().export_pixels(present.gl_buffer, 65535, -1, 0, 0);
    empty_dirty_rect();
    // The back buffer holds nothing worth blending with.
    glDisable(GL_BLEND);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2i(0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_BYTE, present.gl_buffer);
    glXSwapBuffers(d, x11.window);
    frame_sent();
    return;
  }

  if (!present.image || !present.convert || frame().dirty_is_empty()) return;
  convert_frame();
  XPutImage(d, x11.window, present.gc, present.image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XFlush(d);
  frame_sent();
  empty_dirty_rect();
}

bool x11_convert_frame() {
  if (!x11.window || present.gl_context || !present.image || !present.convert) return false;
  convert_frame();
  return true;
}

bool create_gl_context() {
  if (x11.gl_mismatch) return false;
  if (present.gl_context) return true;
  XVisualInfo* visual = window_gl_visual();
  if (!visual) return false;
  Display* d = x11.display;
  GLXContext context = glXCreateContext(d, visual, nullptr, True);
  if (!context) context = glXCreateContext(d, visual, nullptr, False);
  if (!context) return false;
  Bool current = glXMakeCurrent(d, x11.window, context);
  // The error handler sees a mismatch only once the request has been
  // answered.
  XSync(d, False);
  if (!current || x11.gl_mismatch) {
    glXMakeCurrent(d, None, nullptr);
    glXDestroyContext(d, context);
    return false;
  }
  present.gl_context = context;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  present.gl_redraw = 1;
  return true;
}

void destroy_gl_context() {
  if (!present.gl_context || !x11.display) return;
  glXMakeCurrent(x11.display, None, nullptr);
  glXDestroyContext(x11.display, present.gl_context);
  present.gl_context = nullptr;
}

void request_gl_redraw() { present.gl_redraw = 1; }
