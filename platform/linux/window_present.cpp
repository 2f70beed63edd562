// Presenting the screen IMAGE in the window. Pixels reach the server through
// a shared-memory segment where the server offers one and runs on this
// machine, else inside the requests (XPutImage). Where the server's pixel
// format is the screen IMAGE's own they go straight from the screen IMAGE;
// otherwise they are converted into a presentation image on the window's
// visual. Only the areas that changed are sent. While a GL context exists
// the frame is drawn with glDrawPixels instead.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

// Converts count pixels of one row; chosen once per presentation image.
using ROW_CONVERTER = void (*)(const uint32_t* source, uint8_t* dest, int32_t count,
                               const COLOUR_PLACEMENT& placement);

struct CONVERSION {
  COLOUR_PLACEMENT placement;
  ROW_CONVERTER convert = nullptr;  // null: the pixels go as the screen IMAGE holds them
  int bytes_per_pixel = 4;
};

// Areas handed over since the last presentation; more than fit become one.
constexpr int kMaxAreas = 32;

// Below this many bytes a frame goes inside the requests: the shared
// segment would need a round trip to learn that the server has read it,
// which costs more than copying a small area through the connection.
constexpr size_t kSharedMinimumBytes = 64 * 1024;

struct PRESENTATION {
  GLXContext gl_context = nullptr;
  uint8_t gl_redraw = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  bool image_owns_data = false;  // malloc'd; otherwise the segment or the screen IMAGE
  XShmSegmentInfo segment = {};  // shmaddr null while there is none
  bool shared = false;           // the server has the segment attached
  // The screen IMAGE's own buffer while the screen IMAGE draws straight
  // into the shared segment.
  uint32_t* lent_pixels = nullptr;
  CONVERSION conversion;
  // The screen IMAGE the image was made for; a replaced one remakes it.
  const uint32_t* made_for_pixels = nullptr;
  int16_t made_for_width = 0, made_for_height = 0, made_for_stride = 0;
  RECT areas[kMaxAreas];
  int area_count = 0;
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

// One pixel or eight, in place: the same shifts and masks. (By reference:
// a vector passed by value would change with the instruction set.)
template <typename PIXEL>
void place(PIXEL& s, const COLOUR_PLACEMENT& p) {
  s = ((s >> p.red.right) & p.red.mask) << p.red.left |
      ((s >> p.green.right) & p.green.mask) << p.green.left |
      ((s >> p.blue.right) & p.blue.mask) << p.blue.left;
}

uint32_t placed(uint32_t s, const COLOUR_PLACEMENT& p) {
  place(s, p);
  return s;
}

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
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    PIXELS_8 s;
    memcpy(&s, source + i, sizeof s);
    place(s, p);
    s |= p.fill;
    memcpy(dest + i * 4, &s, sizeof s);
  }
  uint32_t* out = reinterpret_cast<uint32_t*>(dest);
  for (; i < count; ++i) out[i] = p.fill | placed(source[i], p);
}

// Three bytes a pixel, in host order like every presentation image.
void convert_24_generic(const uint32_t* source, uint8_t* dest, int32_t count,
                        const COLOUR_PLACEMENT& p) {
  constexpr bool little = std::endian::native == std::endian::little;
  for (int32_t i = 0; i < count; ++i, dest += 3) {
    uint32_t v = placed(source[i], p);
    dest[0] = static_cast<uint8_t>(little ? v : v >> 16);
    dest[1] = static_cast<uint8_t>(v >> 8);
    dest[2] = static_cast<uint8_t>(little ? v >> 16 : v);
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
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    PIXELS_8 s;
    memcpy(&s, source + i, sizeof s);
    place(s, p);
    WORDS_8 words = __builtin_convertvector(s, WORDS_8);
    memcpy(dest + i * 2, &words, sizeof words);
  }
  uint16_t* out = reinterpret_cast<uint16_t*>(dest);
  for (; i < count; ++i) out[i] = static_cast<uint16_t>(placed(source[i], p));
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

bool masks_are(const XImage& image, unsigned long red, unsigned long green, unsigned long blue) {
  return image.red_mask == red && image.green_mask == green && image.blue_mask == blue;
}

// The conversion of screen pixels into an image of this layout (host byte
// order); false for a pixel size that cannot be shown.
bool choose_conversion(const XImage& image, CONVERSION& out) {
  out = CONVERSION();
  COLOUR_PLACEMENT& p = out.placement;
  p.red = place_channel(image.red_mask, 16);
  p.green = place_channel(image.green_mask, 8);
  p.blue = place_channel(image.blue_mask, 0);
  const bool rgb888 = masks_are(image, 0xFF0000, 0xFF00, 0xFF);
  switch (image.bits_per_pixel) {
    case 32:
      // A depth of 24 has no alpha plane: the screen IMAGE's own pixels
      // are already in the server's format.
      if (rgb888 && image.depth == 24) return true;
      p.fill = 0xFF000000u & ~static_cast<uint32_t>(image.red_mask | image.green_mask | image.blue_mask);
      out.convert = rgb888 ? convert_32_rgb888 : convert_32_generic;
      return true;
    case 24:
      out.convert = convert_24_generic;
      out.bytes_per_pixel = 3;
      return true;
    case 16:
      out.convert = masks_are(image, 0xF800, 0x07E0, 0x001F) ? convert_16_rgb565 : convert_16_generic;
      out.bytes_per_pixel = 2;
      return true;
    default:
      return false;
  }
}

void convert_area(const CONVERSION& c, XImage& image, const RECT& area) {
  const IMAGE& f = frame();
  const uint32_t* source = f.pixels + static_cast<size_t>(area.y1) * f.stride + area.x1;
  uint8_t* dest = reinterpret_cast<uint8_t*>(image.data) +
                  static_cast<size_t>(area.y1) * image.bytes_per_line +
                  static_cast<size_t>(area.x1) * c.bytes_per_pixel;
  for (int32_t row = area.y1; row <= area.y2; ++row) {
    c.convert(source, dest, area.width(), c.placement);
    source += f.stride;
    dest += image.bytes_per_line;
  }
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

void empty_dirty_rect() {
  frame().dirty_x1 = frame().dirty_x2 = 65535;
  frame().dirty_y1 = frame().dirty_y2 = 65535;
}

RECT frame_extent() { return RECT::sized(0, 0, frame().width, frame().height); }

void add_area(const RECT& wanted) {
  const RECT r = wanted.intersect(frame_extent());
  if (r.empty()) return;
  for (int i = 0; i < present.area_count; ++i)
    if (present.areas[i].contains(r)) return;
  if (present.area_count < kMaxAreas) {
    present.areas[present.area_count++] = r;
    return;
  }
  RECT all = r;
  for (int i = 0; i < present.area_count; ++i) all = all.unite(present.areas[i]);
  present.areas[0] = all;
  present.area_count = 1;
}

// ---------------------------------------------------------------------------
// The shared segment

bool attach_refused = false;
XErrorHandler handler_before_attach = nullptr;

// A server that cannot reach the segment (another machine, another IPC
// namespace, a segment it may not read) answers the attach with an error;
// that only means the frames go inside the requests.
int catch_attach_error(Display* display, XErrorEvent* error) {
  if (x11.shm_major_opcode >= 0 && error->request_code == x11.shm_major_opcode) {
    attach_refused = true;
    return 0;
  }
  return handler_before_attach ? handler_before_attach(display, error) : 0;
}

// Only a server on this machine can see this machine's segments; one
// reached over the network might attach an unrelated segment of the same
// number.
bool display_is_local(Display* display) {
  std::string_view name = DisplayString(display) ? DisplayString(display) : "";
  size_t colon = name.rfind(':');
  if (colon == std::string_view::npos) return false;
  std::string_view host = name.substr(0, colon);
  return host.empty() || host == "unix" || host.front() == '/';
}

bool server_can_share(Display* display) {
  constexpr int host_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  return x11.shm_major_opcode >= 0 && ImageByteOrder(display) == host_order &&
         display_is_local(display);
}

void release_segment() {
  if (present.shared && x11.display) XShmDetach(x11.display, &present.segment);
  if (present.segment.shmaddr) shmdt(present.segment.shmaddr);
  present.segment = XShmSegmentInfo();
  present.shared = false;
}

// A segment of size bytes that the server has attached, read-only for it.
bool attach_segment(size_t size) {
  Display* d = x11.display;
  XShmSegmentInfo& s = present.segment;
  s = XShmSegmentInfo();
  s.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (s.shmid < 0) return false;
  void* address = shmat(s.shmid, nullptr, 0);
  // Marked for removal at once (Linux still lets the server attach it):
  // the kernel frees it when the program and the server have both let go,
  // however the program ends, a fatal error or a kill included.
  shmctl(s.shmid, IPC_RMID, nullptr);
  if (address == reinterpret_cast<void*>(-1)) {
    s = XShmSegmentInfo();
    return false;
  }
  s.shmaddr = static_cast<char*>(address);
  s.readOnly = True;

  XSync(d, False);  // earlier errors go to the handler they belong to
  attach_refused = false;
  handler_before_attach = XSetErrorHandler(catch_attach_error);
  Status sent = XShmAttach(d, &s);
  XSync(d, False);
  XSetErrorHandler(handler_before_attach);
  handler_before_attach = nullptr;
  present.shared = sent && !attach_refused;
  if (!present.shared) release_segment();
  return present.shared;
}

// The screen IMAGE's buffer comes back, with the picture that was drawn
// into the segment meanwhile.
void return_lent_pixels() {
  if (!present.lent_pixels) return;
  IMAGE& f = frame();
  memcpy(present.lent_pixels, f.pixels, f.pixel_count * sizeof(uint32_t));
  f.pixels = present.lent_pixels;
  f.fixed = 0;
  present.lent_pixels = nullptr;
}

// The screen IMAGE draws straight into the segment from now on; its own
// buffer waits until the segment goes, or until the screen IMAGE is
// resized (swap_screens then finds the presentation stale and lends a new
// segment). A program ending through exit() with the window open gets the
// buffer back before the screen IMAGE's destructor frees it.
void lend_segment_to_screen() {
  static bool hooks_installed = false;
  if (!hooks_installed) {
    set_screen_resize_hook(return_lent_pixels);
    hooks_installed = atexit(return_lent_pixels) == 0;
  }
  IMAGE& f = frame();
  memcpy(present.segment.shmaddr, f.pixels, f.pixel_count * sizeof(uint32_t));
  present.lent_pixels = f.pixels;
  f.pixels = reinterpret_cast<uint32_t*>(present.segment.shmaddr);
  // Nothing but set_screen_size, which takes the buffer back first, may
  // resize it meanwhile.
  f.fixed = 1;
}

// ---------------------------------------------------------------------------
// The presentation image

XImage* make_shared_image(Visual* visual, int depth, int bits) {
  Display* d = x11.display;
  const IMAGE& f = frame();
  XImage* image = XShmCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                  &present.segment, static_cast<unsigned>(f.stride),
                                  static_cast<unsigned>(f.height));
  if (!image) return nullptr;
  size_t size = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(f.height);
  if (image->bits_per_pixel != bits || !attach_segment(size)) {
    XDestroyImage(image);  // the structure only: its data are not set yet
    return nullptr;
  }
  image->data = present.segment.shmaddr;
  return image;
}

XImage* make_plain_image(Visual* visual, int depth, int bits, bool straight) {
  const IMAGE& f = frame();
  // Rows padded to 32 bits, as the server keeps them; straight from the
  // screen IMAGE that is its own row stride.
  int32_t bytes_per_line = (bits * f.stride + 31) / 32 * 4;
  char* data = nullptr;
  if (straight) {
    data = reinterpret_cast<char*>(f.pixels);
  } else {
    data = static_cast<char*>(malloc(static_cast<size_t>(bytes_per_line) * static_cast<size_t>(f.height)));
    if (!data) report_error(0x0010);
  }
  XImage* image = XCreateImage(x11.display, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                               static_cast<unsigned>(f.stride), static_cast<unsigned>(f.height), 32,
                               bytes_per_line);
  if (!image || image->bits_per_pixel != bits) {
    if (image) image->data = nullptr;
    if (image) XDestroyImage(image);
    if (!straight) free(data);
    report_error(0x0010);
  }
  present.image_owns_data = !straight;
  // Pixels are written in host order; Xlib swaps them for a server of the
  // other order.
  image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  return image;
}

bool presentation_is_stale() {
  const IMAGE& f = frame();
  return f.pixels != present.made_for_pixels || f.width != present.made_for_width ||
         f.height != present.made_for_height || f.stride != present.made_for_stride;
}

// Sends the areas: through the segment for large frames, waiting until the
// server has read it, because the next frame is drawn into the same bytes.
void send_areas() {
  Display* d = x11.display;
  size_t bytes = 0;
  for (int i = 0; i < present.area_count; ++i)
    bytes += static_cast<size_t>(present.areas[i].width()) * present.areas[i].height() *
             present.conversion.bytes_per_pixel;
  const bool through_segment = present.shared && bytes >= kSharedMinimumBytes;
  for (int i = 0; i < present.area_count; ++i) {
    const RECT& r = present.areas[i];
    const unsigned w = static_cast<unsigned>(r.width()), h = static_cast<unsigned>(r.height());
    if (through_segment)
      XShmPutImage(d, x11.window, present.gc, present.image, r.x1, r.y1, r.x1, r.y1, w, h, False);
    else
      XPutImage(d, x11.window, present.gc, present.image, r.x1, r.y1, r.x1, r.y1, w, h);
  }
  if (through_segment)
    XSync(d, False);
  else
    XFlush(d);
}

}  // namespace

void free_presentation() {
  return_lent_pixels();
  if (present.image) {
    if (!present.image_owns_data) present.image->data = nullptr;
    XDestroyImage(present.image);
  }
  present.image = nullptr;
  present.image_owns_data = false;
  release_segment();
  present.conversion = CONVERSION();
  present.made_for_pixels = nullptr;
  present.area_count = 0;
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

// The GC and the presentation image on the window's own visual, at the
// screen IMAGE's size, with the conversion for that visual.
void make_presentation() {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  Visual* visual = DefaultVisual(d, screen);
  int depth = DefaultDepth(d, screen);
  present.gc = XCreateGC(d, x11.window, 0, nullptr);

  int bits = bits_per_pixel_for_depth(d, depth);
  if (bits != 16 && bits != 24 && bits != 32) report_error(0x0012);
  // The format decides before any image exists whether the screen IMAGE's
  // pixels can go as they are.
  XImage format = {};
  format.bits_per_pixel = bits;
  format.depth = depth;
  format.red_mask = visual->red_mask;
  format.green_mask = visual->green_mask;
  format.blue_mask = visual->blue_mask;
  if (!choose_conversion(format, present.conversion)) report_error(0x0012);
  const bool straight = !present.conversion.convert;

  present.image = server_can_share(d) ? make_shared_image(visual, depth, bits) : nullptr;
  if (present.image) {
    if (straight) lend_segment_to_screen();
  } else {
    present.image = make_plain_image(visual, depth, bits, straight);
  }
  present.made_for_pixels = frame().pixels;
  present.made_for_width = frame().width;
  present.made_for_height = frame().height;
  present.made_for_stride = frame().stride;
  present.area_count = 0;
}

void hand_over_screen_changes(const RECT* areas, int32_t count) {
  if (!x11.window || present.gl_context || !present.image) return;
  RECT bounds;
  for (int32_t i = 0; i < count; ++i) {
    add_area(areas[i]);
    bounds = bounds.unite(areas[i]);
  }
  // Drawing that strayed outside every area handed over is sent as well.
  const RECT dirty = frame().dirty_rect();
  if (!dirty.empty() && !bounds.contains(dirty)) add_area(dirty);
  empty_dirty_rect();
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
    if (!present.gl_redraw && frame().dirty_is_empty() && present.area_count == 0) return;
    present.gl_redraw = 0;
    // GL rows run from the bottom up.
    frame().export_pixels(present.gl_buffer, 65535, -1, 0, 0);
    empty_dirty_rect();
    present.area_count = 0;
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

  if (!present.image) return;
  if (presentation_is_stale()) {
    // The screen IMAGE was made again behind the window's back: the old
    // image would read freed memory.
    free_presentation();
    make_presentation();
    frame().add_dirty_rect(frame_extent());
  }
  add_area(frame().dirty_rect());
  if (present.area_count == 0) return;
  if (present.conversion.convert)
    for (int i = 0; i < present.area_count; ++i)
      convert_area(present.conversion, *present.image, present.areas[i]);
  send_areas();
  frame_sent();
  empty_dirty_rect();
  present.area_count = 0;
}

bool x11_convert_frame() {
  if (!x11.window || present.gl_context || !present.image || !present.conversion.convert ||
      presentation_is_stale())
    return false;
  convert_area(present.conversion, *present.image, frame_extent());
  return true;
}

PRESENT_ROUTE x11_present_route() {
  PRESENT_ROUTE route;
  route.shared_memory = present.shared;
  route.converted = present.conversion.convert != nullptr;
  return route;
}

bool x11_convert_area(XImage* image, const RECT& area) {
  CONVERSION conversion;
  if (!image || !frame().pixels || !choose_conversion(*image, conversion)) return false;
  const RECT r = area.intersect(frame_extent()).intersect(RECT::sized(0, 0, image->width, image->height));
  if (r.empty()) return false;
  if (conversion.convert) {
    convert_area(conversion, *image, r);
    return true;
  }
  for (int32_t row = r.y1; row <= r.y2; ++row)
    memcpy(image->data + static_cast<size_t>(row) * image->bytes_per_line + r.x1 * 4,
           frame().pixels + static_cast<size_t>(row) * frame().stride + r.x1,
           static_cast<size_t>(r.width()) * 4);
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
