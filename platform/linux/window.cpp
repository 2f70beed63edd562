// The program's X11 window: opening, reconfiguring and closing it, video
// modes for full screen, and presenting the screen IMAGE through a
// converted XImage or through GL.
#include "window.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/xf86vmode.h>
#include <X11/xpm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>

#include "application_info.h"
#include "errors.h"
#include "image.h"
#include "input.h"
#include "platform.h"
#include "text_convert.h"
#include "x11_state.h"

namespace {

extern const char* const kBuiltinIcon[];

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

struct WINDOW_STATE {
  uint8_t decorations_removed = 0;
  // What the window manager's frame takes: each side, top, bottom.
  uint16_t margin_side = 0;
  uint16_t margin_top = 0;
  uint16_t margin_bottom = 0;
  XVisualInfo* visual = nullptr;  // the GLX visual of the window, or null
  Colormap colormap = None;       // made for the GLX visual
  GLXContext gl_context = nullptr;
  uint8_t gl_redraw = 0;
  GC gc = nullptr;
  XImage* image = nullptr;  // presentation image; its data is malloc'd
  COLOUR_PLACEMENT placement;
  ROW_CONVERTER convert = nullptr;
  uint8_t* gl_buffer = nullptr;
  int32_t gl_width = 0;
  int32_t gl_height = 0;
  Pixmap icon = None;
  Pixmap icon_mask = None;
};

WINDOW_STATE win;

IMAGE& frame() { return *get_screen_image(0); }

constexpr long kCreateEventMask = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                  ButtonReleaseMask | PointerMotionMask | ExposureMask |
                                  VisibilityChangeMask | StructureNotifyMask |
                                  SubstructureNotifyMask | FocusChangeMask;
constexpr long kInputEventMask = KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                                 PointerMotionMask | ExposureMask | StructureNotifyMask |
                                 SubstructureNotifyMask | SubstructureRedirectMask |
                                 FocusChangeMask;

constexpr const char* kDecorationAtoms[] = {"_MOTIF_WM_HINTS", "KWM_WIN_DECORATION", "_WIN_HINTS"};

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

void free_presentation() {
  if (win.image) XDestroyImage(win.image);  // frees the malloc'd data too
  win.image = nullptr;
  win.convert = nullptr;
  if (win.gc && x11.display) XFreeGC(x11.display, win.gc);
  win.gc = nullptr;
}

// The GC, the presentation image on the window's own visual, and the colour
// placement for that visual.
void make_presentation() {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  Visual* visual = win.visual ? win.visual->visual : DefaultVisual(d, screen);
  int depth = win.visual ? win.visual->depth : DefaultDepth(d, screen);

  win.placement = COLOUR_PLACEMENT();
  win.gc = XCreateGC(d, x11.window, 0, nullptr);

  int bits = bits_per_pixel_for_depth(d, depth);
  if (bits != 16 && bits != 32) report_error(0x0012);
  int32_t bytes_per_line = bits / 8 * frame().stride;
  size_t size = static_cast<size_t>(bytes_per_line) * static_cast<size_t>(frame().height);
  char* data = static_cast<char*>(malloc(size));
  if (!data) report_error(0x0010);
  win.image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                           static_cast<unsigned>(frame().width),
                           static_cast<unsigned>(frame().height), 32, bytes_per_line);
  if (!win.image || win.image->bits_per_pixel != bits) {
    if (win.image) XDestroyImage(win.image);
    else free(data);
    win.image = nullptr;
    report_error(0x0010);
  }
  // Pixels are written in host order; Xlib swaps them for a server of the
  // other order.
  win.image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

  COLOUR_PLACEMENT& p = win.placement;
  p.red = place_channel(visual->red_mask, 16);
  p.green = place_channel(visual->green_mask, 8);
  p.blue = place_channel(visual->blue_mask, 0);
  unsigned long used = visual->red_mask | visual->green_mask | visual->blue_mask;
  if (bits == 32) {
    p.fill = 0xFF000000u & ~static_cast<uint32_t>(used);
    bool rgb888 = visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                  visual->blue_mask == 0xFF;
    win.convert = rgb888 ? convert_32_rgb888 : convert_32_generic;
  } else {
    bool rgb565 = visual->red_mask == 0xF800 && visual->green_mask == 0x07E0 &&
                  visual->blue_mask == 0x001F;
    win.convert = rgb565 ? convert_16_rgb565 : convert_16_generic;
  }
}

void convert_frame() {
  const int32_t rows = frame().height;
  const int32_t count = frame().width;
  const uint32_t* source = frame().pixels;
  uint8_t* dest = reinterpret_cast<uint8_t*>(win.image->data);
  const size_t dest_step = static_cast<size_t>(win.image->bytes_per_line);
  for (int32_t row = 0; row < rows; ++row) {
    win.convert(source, dest, count, win.placement);
    source += frame().stride;
    dest += dest_step;
  }
}

void empty_dirty_rect() {
  frame().dirty_x1 = frame().dirty_x2 = 65535;
  frame().dirty_y1 = frame().dirty_y2 = 65535;
}

// ---------------------------------------------------------------------------
// Window-manager hints

void delete_decoration_properties() {
  for (const char* name : kDecorationAtoms) {
    Atom atom = XInternAtom(x11.display, name, True);
    if (atom != None) XDeleteProperty(x11.display, x11.window, atom);
  }
}

void set_decoration_properties() {
  // Format-32 property data is an array of long, whatever the word size.
  const long motif_hints[5] = {2, 0, 0, 0, 0};  // decorations field valid, none
  const long zero[1] = {0};
  struct {
    const char* name;
    const long* data;
    int count;
  } const properties[] = {
      {kDecorationAtoms[0], motif_hints, 5}, {kDecorationAtoms[1], zero, 1}, {kDecorationAtoms[2], zero, 1}};
  for (const auto& property : properties) {
    Atom atom = XInternAtom(x11.display, property.name, True);
    if (atom == None) continue;
    XChangeProperty(x11.display, x11.window, atom, atom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(property.data), property.count);
  }
}

void set_fixed_size_hints(int32_t width, int32_t height) {
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = PMinSize | PMaxSize | PBaseSize;
  hints->min_width = hints->max_width = hints->base_width = width;
  hints->min_height = hints->max_height = hints->base_height = height;
  XSetWMNormalHints(x11.display, x11.window, hints);
  XFree(hints);
}

void send_full_screen_state(bool full_screen) {
  Display* d = x11.display;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = x11.window;
  event.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = full_screen ? 1 : 0;  // add or remove
  event.xclient.data.l[1] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False));
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = 0;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureNotifyMask | SubstructureRedirectMask,
             &event);
}

// The application's XPM icon when it gives one, else the built-in one.
void set_icon() {
  const char* const* xpm = get_application_info().icon;
  if (!xpm || !xpm[0] || !xpm[0][0]) xpm = kBuiltinIcon;
  Pixmap icon = None, mask = None;
  int status = XpmCreatePixmapFromData(x11.display, x11.window, const_cast<char**>(xpm), &icon,
                                       &mask, nullptr);
  if (status != XpmSuccess || icon == None) return;
  win.icon = icon;
  win.icon_mask = mask;
  XWMHints* hints = XAllocWMHints();
  if (!hints) return;
  hints->flags = IconPixmapHint | (mask != None ? IconMaskHint : 0);
  hints->icon_pixmap = icon;
  hints->icon_mask = mask;
  XSetWMHints(x11.display, x11.window, hints);
  XFree(hints);
}

void make_blank_cursor() {
  static const char zero_bits[8] = {};
  x11.blank_bitmap = XCreateBitmapFromData(x11.display, x11.window, zero_bits, 8, 8);
  if (x11.blank_bitmap == None) return;
  XColor black = {};
  x11.blank_cursor =
      XCreatePixmapCursor(x11.display, x11.blank_bitmap, x11.blank_bitmap, &black, &black, 0, 0);
}

// ---------------------------------------------------------------------------
// Video modes

void restore_video_mode() {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  XF86VidModeLockModeSwitch(d, screen, 0);
  XF86VidModeSwitchToMode(d, screen, &x11.initial_mode);
  XF86VidModeSetViewPort(d, screen, 0, 0);
  XFlush(d);
  x11.full_screen = 0;
}

// The first mode of exactly this size; false when the server lists no modes
// at all. switched tells whether a mode was found and switched to.
bool switch_video_mode(int32_t width, int32_t height, bool& switched) {
  Display* d = x11.display;
  int screen = DefaultScreen(d);
  switched = false;
  int count = 0;
  XF86VidModeModeInfo** modes = nullptr;
  if (!XF86VidModeGetAllModeLines(d, screen, &count, &modes) || !modes) return false;
  for (int i = 0; i < count && !switched; ++i) {
    if (modes[i]->hdisplay != width || modes[i]->vdisplay != height) continue;
    XF86VidModeSwitchToMode(d, screen, modes[i]);
    XF86VidModeSetViewPort(d, screen, 0, 0);
    XF86VidModeLockModeSwitch(d, screen, 1);
    XFlush(d);
    x11.full_screen = 1;
    switched = true;
  }
  for (int i = 0; i < count; ++i)
    if (modes[i]->privsize > 0 && modes[i]->c_private) XFree(modes[i]->c_private);
  XFree(modes);
  return count > 0;
}

// ---------------------------------------------------------------------------

void choose_visual() {
  if (win.visual || x11.glx_major_opcode < 0) return;
  int attributes[] = {GLX_RGBA,       GLX_DOUBLEBUFFER, GLX_RED_SIZE,   8, GLX_GREEN_SIZE, 8,
                      GLX_BLUE_SIZE,  8,                GLX_DEPTH_SIZE, 1, None};
  XVisualInfo* visual = glXChooseVisual(x11.display, DefaultScreen(x11.display), attributes);
  // The frame is converted for fixed masks: a visual whose colours go
  // through a colormap would show whatever that colormap holds.
  if (visual && visual->c_class != TrueColor) {
    XFree(visual);
    visual = nullptr;
  }
  win.visual = visual;
}

void create_window(int32_t x, int32_t y, int32_t width, int32_t height,
                   const XWindowAttributes& root_attributes, const char* title) {
  Display* d = x11.display;
  Window root = DefaultRootWindow(d);
  Window window = 0;
  if (win.visual) {
    win.colormap = XCreateColormap(d, root, win.visual->visual, AllocNone);
    XSetWindowAttributes attributes = {};
    attributes.colormap = win.colormap;
    attributes.border_pixel = 0;
    attributes.event_mask = kCreateEventMask;
    window = XCreateWindow(d, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                           0, win.visual->depth, InputOutput, win.visual->visual,
                           CWColormap | CWBorderPixel | CWEventMask, &attributes);
  } else {
    window = XCreateSimpleWindow(d, root, x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height),
                                 static_cast<unsigned>(root_attributes.border_width), ~0ul, 0);
  }
  if (!window) report_error(0x0000);
  x11.window = window;

  XSetWindowAttributes override = {};
  override.override_redirect = x11.full_screen ? True : False;
  XChangeWindowAttributes(d, window, CWOverrideRedirect, &override);
  set_window_title(title, 0);
  set_icon();
  Atom protocols[1] = {x11.wm_delete_window};
  XSetWMProtocols(d, window, protocols, 1);
  XSelectInput(d, window, kInputEventMask);
  XMapWindow(d, window);
  XMoveResizeWindow(d, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  make_blank_cursor();
  // A pointer hidden before the window was re-created stays hidden.
  if (x11.pointer_hidden && x11.blank_cursor != None) XDefineCursor(d, window, x11.blank_cursor);
}

bool limit_broken(int32_t value, int16_t minimum, int16_t maximum) {
  return (minimum != -1 && value < minimum) || (maximum != -1 && value > maximum);
}

}  // namespace

bool open_window(const WINDOW_PARAMS* params, uint16_t screen) {
  if (screen != 0 || !params) return false;
  const bool want_full = params->full_screen != 0;
  const bool want_borderless = want_full || params->borderless != 0;

  if (x11.window && want_full != (x11.full_screen != 0)) close_window(0);
  if (!x11_open_display()) return false;
  Display* d = x11.display;

  if (!x11.window) choose_visual();

  Window root = DefaultRootWindow(d);
  XWindowAttributes root_attributes = {};
  if (!root || !XGetWindowAttributes(d, root, &root_attributes)) report_error(0x0000);
  x11.desktop_width = static_cast<uint16_t>(root_attributes.width);
  x11.desktop_height = static_cast<uint16_t>(root_attributes.height);
  int32_t width = params->width != -1 ? params->width : root_attributes.width;
  int32_t height = params->height != -1 ? params->height : root_attributes.height;

  if (win.decorations_removed && !want_borderless && x11.window) {
    delete_decoration_properties();
    win.decorations_removed = 0;
  }

  // Without the video-mode extension a full-screen request is treated as
  // one for which no mode has the size: a borderless window.
  bool switched = false;
  if (want_full && !x11.full_screen && x11.have_video_modes) {
    // The middle of the requested size: inside the view port of the new
    // mode, which starts at the top left corner.
    XWarpPointer(d, None, root, 0, 0, 0, 0, width / 2, height / 2);
    if (!switch_video_mode(width, height, switched)) return false;
  }

  if (params->min_width != -1 && width < params->min_width) width = params->min_width;
  if (params->max_width != -1 && width > params->max_width) width = params->max_width;
  if (params->min_height != -1 && height < params->min_height) height = params->min_height;
  if (params->max_height != -1 && height > params->max_height) height = params->max_height;

  win.margin_side = want_borderless ? 0 : 5;
  win.margin_top = want_borderless ? 0 : 25;
  win.margin_bottom = want_borderless ? 0 : 5;

  int32_t x = 0, y = 0;
  if (!x11.full_screen) {
    int32_t free_width = root_attributes.width - 2 * win.margin_side;
    int32_t free_height = root_attributes.height - win.margin_top - win.margin_bottom;
    width = std::min(width, free_width);
    height = std::min(height, free_height);
    x = (free_width - width) / 2;
    y = (free_height - height) / 2;
  }

  if (limit_broken(width, params->min_width, params->max_width) ||
      limit_broken(height, params->min_height, params->max_height) || width < 1 || height < 1 ||
      width > IMAGE_MAX_SIZE || height > IMAGE_MAX_SIZE) {
    if (switched) restore_video_mode();
    return false;
  }

  if (!x11.window) {
    create_window(x, y, width, height, root_attributes, params->title);
  } else {
    set_fixed_size_hints(width, height);
    XMoveResizeWindow(d, x11.window, x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    set_window_title(params->title, 0);
    XFlush(d);
  }
  set_fixed_size_hints(width, height);
  send_full_screen_state(want_full);

  if (switched) {
    platform_update();
    grab_input();
  }

  if (want_borderless && !win.decorations_removed) {
    set_decoration_properties();
    win.decorations_removed = 1;
  }

  set_screen_size(static_cast<int16_t>(width), static_cast<int16_t>(height));

  free_presentation();
  make_presentation();
  return true;
}

bool open_screen(const char* title, int16_t width, int16_t height, uint8_t full_screen,
                 uint16_t screen) {
  WINDOW_PARAMS params;
  params.title = title;
  params.width = width;
  params.height = height;
  params.full_screen = full_screen;
  return open_window(&params, screen);
}

void close_window(uint16_t screen) {
  if ((screen != 0 && screen != ALL_SCREENS) || !x11.window || !x11.display) return;
  Display* d = x11.display;
  destroy_gl_context();
  if (win.gc) XFreeGC(d, win.gc);
  win.gc = nullptr;
  input_reset_cursor();
  if (x11.blank_cursor != None) XFreeCursor(d, x11.blank_cursor);
  if (x11.blank_bitmap != None) XFreePixmap(d, x11.blank_bitmap);
  x11.blank_cursor = None;
  x11.blank_bitmap = None;
  free_presentation();
  release_input_grabs();
  XUnmapWindow(d, x11.window);
  if (win.decorations_removed) delete_decoration_properties();
  win.decorations_removed = 0;
  XDestroyWindow(d, x11.window);
  x11.window = 0;
  if (win.icon != None) XFreePixmap(d, win.icon);
  if (win.icon_mask != None) XFreePixmap(d, win.icon_mask);
  win.icon = win.icon_mask = None;
  if (win.colormap != None) XFreeColormap(d, win.colormap);
  win.colormap = None;
  if (x11.full_screen) restore_video_mode();
  if (win.visual) XFree(win.visual);
  win.visual = nullptr;
  free(win.gl_buffer);
  win.gl_buffer = nullptr;
  win.gl_width = win.gl_height = 0;
  set_screen_size(0, 0);
  XFlush(d);
}

void swap_screens(uint16_t screen) {
  if ((screen != 0 && screen != ALL_SCREENS) || !x11.window) return;
  Display* d = x11.display;
  const int32_t width = frame().width, height = frame().height;
  if (width < 1 || height < 1) return;

  if (win.gl_context) {
    if (!win.gl_buffer || win.gl_width != width || win.gl_height != height) {
      free(win.gl_buffer);
      win.gl_buffer = static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * height * 4));
      if (!win.gl_buffer) return;
      win.gl_width = width;
      win.gl_height = height;
      frame().add_dirty_rect(0, 0, static_cast<int16_t>(width - 1),
                                  static_cast<int16_t>(height - 1));
    }
    if (!win.gl_redraw && frame().dirty_is_empty()) return;
    win.gl_redraw = 0;
    // GL rows run from the bottom up.
    frame().export_pixels(win.gl_buffer, 65535, -1, 0, 0);
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
    glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_BYTE, win.gl_buffer);
    glXSwapBuffers(d, x11.window);
    set_presented();
    return;
  }

  if (!win.image || !win.convert || frame().dirty_is_empty()) return;
  convert_frame();
  XPutImage(d, x11.window, win.gc, win.image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XFlush(d);
  set_presented();
  empty_dirty_rect();
}

bool x11_convert_frame() {
  if (!x11.window || win.gl_context || !win.image || !win.convert) return false;
  convert_frame();
  return true;
}

void set_window_title(const char* title, uint16_t screen) {
  if (screen != 0 || !x11.window) return;
  // The title is system text: Latin-1 goes out as it is (a STRING
  // property); characters above 255 ride in code runs that the window
  // manager would show as raw bytes, so such a title goes out as compound
  // text.
  std::string latin1;
  bool wide = false;
  SYSTEM_TEXT_READER reader(title ? title : "");
  uint32_t code_point = 0;
  while (reader.next_code_point(code_point)) {
    if (code_point == 0) continue;
    if (code_point > 255) wide = true;
    latin1 += code_point <= 255 ? static_cast<char>(code_point) : '?';
  }
  XTextProperty property = {};
  bool made = false;
  if (wide) {
    std::string utf8 = system_text_to_utf8(title);
    char* list[1] = {utf8.data()};
    made = Xutf8TextListToTextProperty(x11.display, list, 1, XStdICCTextStyle, &property) >=
               Success &&
           property.value;
  }
  if (!made) {
    char* text = latin1.data();
    if (!XStringListToTextProperty(&text, 1, &property)) return;
  }
  XSetWMIconName(x11.display, x11.window, &property);
  XSetWMName(x11.display, x11.window, &property);
  XFree(property.value);
}

bool window_exists(uint16_t screen) { return screen == 0 && x11.window != 0; }
bool is_window_open() { return x11.window != 0; }
bool is_full_screen() { return x11.full_screen != 0; }

namespace {

bool query_desktop_size() {
  if (x11.desktop_width != 65535 && x11.desktop_height != 65535) return true;
  if (!x11_open_display()) return false;
  XWindowAttributes attributes = {};
  Window root = DefaultRootWindow(x11.display);
  if (!root || !XGetWindowAttributes(x11.display, root, &attributes)) return false;
  x11.desktop_width = static_cast<uint16_t>(attributes.width);
  x11.desktop_height = static_cast<uint16_t>(attributes.height);
  return true;
}

}  // namespace

uint16_t get_desktop_width() { return query_desktop_size() ? x11.desktop_width : 0; }
uint16_t get_desktop_height() { return query_desktop_size() ? x11.desktop_height : 0; }

bool create_gl_context() {
  if (x11.gl_mismatch) return false;
  if (win.gl_context) return true;
  if (!x11.window || x11.glx_major_opcode < 0 || !win.visual) return false;
  Display* d = x11.display;
  GLXContext context = glXCreateContext(d, win.visual, nullptr, True);
  if (!context) context = glXCreateContext(d, win.visual, nullptr, False);
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
  win.gl_context = context;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  win.gl_redraw = 1;
  return true;
}

void destroy_gl_context() {
  if (!win.gl_context || !x11.display) return;
  glXMakeCurrent(x11.display, None, nullptr);
  glXDestroyContext(x11.display, win.gl_context);
  win.gl_context = nullptr;
}

void request_gl_redraw() { win.gl_redraw = 1; }

namespace {

// The built-in window icon: a rounded blue square with a white arrow.
const char* const kBuiltinIcon[] = {
    "70 70 228 2",
    "   c None",
    "AA c #183458",
    "AB c #18385C",
    "AC c #183860",
    "AD c #183C60",
    "AE c #1C3C60",
    "AF c #1C3C64",
    "AG c #1C4064",
    "AH c #1C4068",
    "AI c #1C4468",
    "AJ c #1C446C",
    "AK c #20446C",
    "AL c #20486C",
    "AM c #204870",
    "AN c #204C74",
    "AO c #244C74",
    "AP c #244C78",
    "AQ c #245078",
    "AR c #24507C",
    "AS c #24547C",
    "AT c #28547C",
    "AU c #285480",
    "AV c #285880",
    "AW c #285894",
    "AX c #285C98",
    "AY c #285C9C",
    "AZ c #28609C",
    "Aa c #2C60A0",
    "Ab c #2C64A0",
    "Ac c #2C64A4",
    "Ad c #2C68A4",
    "Ae c #2C68A8",
    "Af c #3064A4",
    "Ag c #3068A4",
    "Ah c #3068A8",
    "Ai c #306CA8",
    "Aj c #306CAC",
    "Ak c #3070AC",
    "Al c #3070B0",
    "Am c #3468A4",
    "An c #346CA4",
    "Ao c #346CA8",
    "Ap c #346CAC",
    "Aq c #3470AC",
    "Ar c #3470B0",
    "As c #3470B4",
    "At c #3474B0",
    "Au c #3474B4",
    "Av c #3474B8",
    "Aw c #3478B8",
    "Ax c #386CA8",
    "Ay c #3870A8",
    "Az c #3870AC",
    "A0 c #3874B0",
    "A1 c #3874B4",
    "A2 c #3878B4",
    "A3 c #3878B8",
    "A4 c #3878BC",
    "A5 c #387CBC",
    "A6 c #387CC0",
    "A7 c #3880C0",
    "A8 c #3880C4",
    "A9 c #3C70A8",
    "A+ c #3C70AC",
    "A- c #3C74AC",
    "BA c #3C74B0",
    "BB c #3C74B4",
    "BC c #3C78B0",
    "BD c #3C78B4",
    "BE c #3C78B8",
    "BF c #3C7CB8",
    "BG c #3C7CBC",
    "BH c #3C7CC0",
    "BI c #3C80BC",
    "BJ c #3C80C0",
    "BK c #3C80C4",
    "BL c #3C84C4",
    "BM c #3C84C8",
    "BN c #3C88C8",
    "BO c #3C88CC",
    "BP c #4074AC",
    "BQ c #4074B0",
    "BR c #4078B0",
    "BS c #4078B4",
    "BT c #407CB4",
    "BU c #407CB8",
    "BV c #407CBC",
    "BW c #4080BC",
    "BX c #4080C0",
    "BY c #4080C4",
    "BZ c #4084C4",
    "Ba c #4084C8",
    "Bb c #4088C8",
    "Bc c #4088CC",
    "Bd c #408CCC",
    "Be c #408CD0",
    "Bf c #408CD4",
    "Bg c #4090D4",
    "Bh c #4478B0",
    "Bi c #4478B4",
    "Bj c #447CB4",
    "Bk c #447CB8",
    "Bl c #4480BC",
    "Bm c #4484C0",
    "Bn c #4484C4",
    "Bo c #4488C4",
    "Bp c #4488C8",
    "Bq c #4488CC",
    "Br c #448CCC",
    "Bs c #448CD0",
    "Bt c #4490D0",
    "Bu c #4490D8",
    "Bv c #4494D8",
    "Bw c #4878B0",
    "Bx c #487CB0",
    "By c #487CB4",
    "Bz c #487CB8",
    "B0 c #4880B4",
    "B1 c #4880B8",
    "B2 c #4880BC",
    "B3 c #4884BC",
    "B4 c #4884C0",
    "B5 c #4884C4",
    "B6 c #4888C0",
    "B7 c #4888C4",
    "B8 c #4888C8",
    "B9 c #488CC8",
    "B+ c #488CCC",
    "B- c #488CD0",
    "CA c #4890D0",
    "CB c #4C7CB4",
    "CC c #4C80B4",
    "CD c #4C80B8",
    "CE c #4C84B8",
    "CF c #4C84BC",
    "CG c #4C84C0",
    "CH c #4C88C0",
    "CI c #4C88C4",
    "CJ c #4C8CC8",
    "CK c #4C8CCC",
    "CL c #4C90CC",
    "CM c #4C90D0",
    "CN c #4C94D0",
    "CO c #5080B8",
    "CP c #5084B8",
    "CQ c #5084BC",
    "CR c #5088C0",
    "CS c #5088C4",
    "CT c #508CC4",
    "CU c #508CC8",
    "CV c #5090CC",
    "CW c #5090D0",
    "CX c #5094D0",
    "CY c #5484B8",
    "CZ c #5488BC",
    "Ca c #5488C0",
    "Cb c #548CC0",
    "Cc c #548CC4",
    "Cd c #548CC8",
    "Ce c #5490C4",
    "Cf c #5490C8",
    "Cg c #5490CC",
    "Ch c #5494CC",
    "Ci c #5494D0",
    "Cj c #5498D0",
    "Ck c #588CC0",
    "Cl c #588CC4",
    "Cm c #5890C4",
    "Cn c #5890C8",
    "Co c #5890CC",
    "Cp c #5894CC",
    "Cq c #5894D0",
    "Cr c #5898D0",
    "Cs c #5C8CC4",
    "Ct c #5C90C4",
    "Cu c #5C94C8",
    "Cv c #5C94CC",
    "Cw c #5C94D0",
    "Cx c #5C98CC",
    "Cy c #5C98D0",
    "Cz c #6090C4",
    "C0 c #6094C4",
    "C1 c #6094C8",
    "C2 c #6094CC",
    "C3 c #6098C8",
    "C4 c #6098CC",
    "C5 c #6098D0",
    "C6 c #609CD0",
    "C7 c #6494C4",
    "C8 c #6494C8",
    "C9 c #6498C8",
    "C+ c #6498CC",
    "C- c #649CD0",
    "DA c #6898C8",
    "DB c #689CCC",
    "DC c #689CD0",
    "DD c #68A0D0",
    "DE c #68A0D4",
    "DF c #6C98C8",
    "DG c #6C9CC8",
    "DH c #6C9CCC",
    "DI c #6CA0CC",
    "DJ c #6CA0D0",
    "DK c #6CA0D4",
    "DL c #709CC8",
    "DM c #709CCC",
    "DN c #70A0CC",
    "DO c #70A0D0",
    "DP c #70A0D4",
    "DQ c #70A4D0",
    "DR c #70A4D4",
    "DS c #74A0CC",
    "DT c #74A0D0",
    "DU c #74A4D0",
    "DV c #74A4D4",
    "DW c #78A0CC",
    "DX c #78A4CC",
    "DY c #78A4D0",
    "DZ c #78A4D4",
    "Da c #78A8D4",
    "Db c #7CA4CC",
    "Dc c #7CA4D0",
    "Dd c #7CA8D0",
    "De c #7CA8D4",
    "Df c #80A8D0",
    "Dg c #80ACD4",
    "Dh c #84ACD4",
    "Di c #F5F5F5",
    "                                                                                                                                            ",
    "                                                                                                                                            ",
    "                        AVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAV                        ",
    "                    AVAVAVAVAVAVBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvAVAVAVAVAVAV                    ",
    "                AVAVAVBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuAVAVAV                ",
    "              AUAUBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuAUAU              ",
    "            AUAUBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgAUAU            ",
    "          AUAUBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgAUAU          ",
    "        ATATBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgATAT        ",
    "        ASBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBgBgBgBgBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfAS        ",
    "      ASASBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBsBsBtBtBtBtBtBtBtBtBtBtBsBsBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeASAS      ",
    "      ASBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBsBsBtCACACACACACACACACACACACABtBsBsBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeAS      ",
    "    ASASBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBsBsCACACACACMCMCNCNCNCNCNCNCMCMCACACACABsBsBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeASAS    ",
    "    ARARBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBdBsBsCACACMCMCNCNCXCXCXCXCXCXCXCXCNCNCMCMCACABsBsBdBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcARAR    ",
    "    AQAQBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBrBrB-CACMCMCWCXCXCXCiCiCiCiCiCiCiCiCXCXCXCWCMCMCAB-BrBrBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcAQAQ    ",
    "    AQAQBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOBcBrBrB+CACMCMCXCXCiCiCiCjCrCrCrCrCrCrCjCiCiCiCXCXCMCMCAB+BrBrBcBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOAQAQ    ",
    "    AQBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOBcBqBrB+CLCMCWCXCiCiCqCrDiDiDiDiDiDiDiDiDiDiCrCqCiCiCXCWCMCLB+BrBqBcBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOAQ    ",
    "    AQBMBMBMBMBMBMBMBMBMBMBMBMBMBMBbBcBrB+B+CLCWCXCiCiCqCrCyDiDiDiDiDiDiDiDiDiDiCyCrCqCiCiCXCWCLB+B+BrBcBbBMBMBMBMBMBMBMBMBMBMBMBMBMBMAQ    ",
    "    AQBMBMBMBMBMBMBMBMBMBMBMBMBMBNBbBrB+CKCLCVCiCiCqCrCyCyC6DiDiDiDiDiDiDiDiDiDiC6CyCyCrCqCiCiCVCLCKB+BrBbBNBMBMBMBMBMBMBMBMBMBMBMBMBMAQ    ",
    "    AQBMBMBMBMBMBMBMBMBMBMBMBMBMBbBpB+B+CLCVChCiCqCyCyC5C6C6DiDiDiDiDiDiDiDiDiDiC6C6C5CyCyCqCiChCVCLB+B+BpBbBMBMBMBMBMBMBMBMBMBMBMBMBMAQ    ",
    "    APBMBMBMBMBMBMBMBMBMBMBMBMBaBbBpB9CKCVCVChCqCyCyC5C6C-C-DiDiDiDiDiDiDiDiDiDiC-C-C6C5CyCyCqChCVCVCKB9BpBbBaBMBMBMBMBMBMBMBMBMBMBMBMAP    ",
    "    AOBLBLBLBLBLBLBLBLBLBLBLBLBaBpB8CJCLCVChCpCwCyC5C-C-DCDEDiDiDiDiDiDiDiDiDiDiDEDCC-C-C5CyCwCpChCVCLCJB8BpBaBLBLBLBLBLBLBLBLBLBLBLBLAO    ",
    "    AOBKBKBKBKBKBKBKBKBKBKBKBLBaBpB9CJCVCgCpCpCyC5C6C-DCDDDKDiDiDiDiDiDiDiDiDiDiDKDDDCC-C6C5CyCpCpCgCVCJB9BpBaBLBKBKBKBKBKBKBKBKBKBKBKAO    ",
    "    AOBKBKBKBKBKBKBKBKBKBKBKBZBoB8CJCUCVCgCpCvC4C5C-DCDJDKDPDiDiDiDiDiDiDiDiDiDiDPDKDJDCC-C5C4CvCpCgCVCUCJB8BoBZBKBKBKBKBKBKBKBKBKBKBKAO    ",
    "    ANA8A8A8A8A8A8A8A8A8A8BKBZBoB8CJCUCfCoCpCxC4C-DCDDDJDPDRDiDiDiDiDiDiDiDiDiDiDRDPDJDDDCC-C4CxCpCoCfCUCJB8BoBZBKA8A8A8A8A8A8A8A8A8A8AN    ",
    "    ANA7A7A7A7A7A7A7A7A7BJBYBZBoB8CJCUCfCpCvC4C+DCDCDJDODVDVDiDiDiDiDiDiDiDiDiDiDVDVDODJDCDCC+C4CvCpCfCUCJB8BoBZBYBJA7A7A7A7A7A7A7A7A7AN    ",
    "    ANA6A6A6A6A6A6A6A6A6BJBXBnB7CICJCUCfCpCvC4C+DCDJDODQDVDaDiDiDiDiDiDiDiDiDiDiDaDVDQDODJDCC+C4CvCpCfCUCJCIB7BnBXBJA6A6A6A6A6A6A6A6A6AN    ",
    "    AMA6A6A6A6A6A6A6A6A6BJBXBmB7CICTCdCnCuC2C+DBDBDJDODUDZDeDiDiDiDiDiDiDiDiDiDiDeDZDUDODJDBDBC+C2CuCnCdCTCIB7BmBXBJA6A6A6A6A6A6A6A6A6AM    ",
    "    AMA5A5A5A5A5A5A5A5A5BHBXBmB5CICTCdCnCuC2C+DBDHDODTDUDaDeDiDiDiDiDiDiDiDiDiDiDeDaDUDTDODHDBC+C2CuCnCdCTCIB5BmBXBHA5A5A5A5A5A5A5A5A5AM    ",
    "    AMA5A5A5A5A5A5A5A5A5BIBXBmB6CICTCeCnCuC3C+DBDIDODUDYDeDgDiDiDiDiDiDiDiDiDiDiDgDeDYDUDODIDBC+C3CuCnCeCTCIB6BmBXBIA5A5A5A5A5A5A5A5A5AM    ",
    "    AMA5A5A5A5A5A5A5A5A5BGBXBmB4CICTCcCnCuC3C+DBDIDODUDYDeDgDiDiDiDiDiDiDiDiDiDiDgDeDYDUDODIDBC+C3CuCnCcCTCIB4BmBXBGA5A5A5A5A5A5A5A5A5AM    ",
    "    AMA4A4A4A4A4A4A4A4A5BGBWBmB4CHCTCcCmCuC1C9DBDHDODUDYDeDgDiDiDiDiDiDiDiDiDiDiDgDeDYDUDODHDBC9C1CuCmCcCTCHB4BmBWBGA5A4A4A4A4A4A4A4A4AM    ",
    "    AMA3A3A3A3A3A3A3A3A3BGBWBlB4CHCSCcCmCuC1C9DBDHDSDYDcDfDhDiDiDiDiDiDiDiDiDiDiDhDfDcDYDSDHDBC9C1CuCmCcCSCHB4BlBWBGA3A3A3A3A3A3A3A3A3AM    ",
    "    ALAwAwAwAwAwAwAwAwA3BGBVBlB4CHCRCcCmCtC1C9DADHDNDUDYDdDgDiDiDiDiDiDiDiDiDiDiDgDdDYDUDNDHDAC9C1CtCmCcCRCHB4BlBVBGA3AwAwAwAwAwAwAwAwAL    ",
    "    ALAwAwAwAwAwAwAwAwA3BFBVBlB3CGCRCbClCtC1C9DADHDNDSDYDdDfDiDiDiDiDiDiDiDiDiDiDfDdDYDSDNDHDAC9C1CtClCbCRCGB3BlBVBFA3AwAwAwAwAwAwAwAwAL    ",
    "    AKAvAvAvAvAvAvAvAvAwA3BFBlB2CFCRCaClCtC0C8DADGDMDSDXDcDfDiDiDiDiDiDiDiDiDiDiDfDcDXDSDMDGDAC8C0CtClCaCRCFB2BlBFA3AwAvAvAvAvAvAvAvAvAK    ",
    "    AKAuAuAuAuAuAuAuAuAuA3BFBUBlB3CGCRCbCsCzC7DADFDLDSDSDXDcDiDiDiDiDiDiDiDiDiDiDcDXDSDSDLDFDAC7CzCsCbCRCGB3BlBUBFA3AuAuAuAuAuAuAuAuAuAK    ",
    "    AJAuAuAuAuAuAuAuAuAuA2BEBUBlB2CFCRCaCkCtCzC7DADFDLDSDWDbDiDiDiDiDiDiDiDiDiDiDbDWDSDLDFDAC7CzCtCkCaCRCFB2BlBUBEA2AuAuAuAuAuAuAuAuAuAJ    ",
    "    AJAuAuAuAuAuAuAuAuAuA1BDBUBkB2CFCQDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCQCFB2BkBUBDA1AuAuAuAuAuAuAuAuAuAJ    ",
    "    AJAsAsAsAsAsAsAsAsAsAuA1BDBUBkB2CFCQDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCQCFB2BkBUBDA1AuAsAsAsAsAsAsAsAsAsAJ    ",
    "    AIArArArArArArArArArArA1BDBTBkB1CFCQCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCQCFB1BkBTBDA1ArArArArArArArArArArAI    ",
    "    AIArArArArArArArArArArAtA1BDBTBkB1CFCQCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCQCFB1BkBTBDA1AtArArArArArArArArArArAI    ",
    "    AHAlAlAlAlAlAlAlAlAlAlArA0BBBSBjBzB1CECQCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCQCEB1BzBjBSBBA0ArAlAlAlAlAlAlAlAlAlAlAH    ",
    "    AHAkAkAkAkAkAkAkAkAkAkAkArA0BCBSBjByCDCPCPCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCPCPCDByBjBSBCA0ArAkAkAkAkAkAkAkAkAkAkAkAH    ",
    "    AHAjAjAjAjAjAjAjAjAjAjAjAqArA0BCBSBjByCDCECPCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCPCECDByBjBSBCA0ArAqAjAjAjAjAjAjAjAjAjAjAjAH    ",
    "    AGAjAjAjAjAjAjAjAjAjAjAjAjAqAzBABQBRBjByCCCDCPCYDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCYCPCDCCByBjBRBQBAAzAqAjAjAjAjAjAjAjAjAjAjAjAjAG    ",
    "    AGAjAjAjAjAjAjAjAjAjAjAjAjAjAqAzBABABRBiByB0CCCOCPDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCPCOCCB0ByBiBRBABAAzAqAjAjAjAjAjAjAjAjAjAjAjAjAjAG    ",
    "    AGAiAiAiAiAiAiAiAiAiAiAiAiAiAiApAzA-BABRBhByByCCCCCODiDiDiDiDiDiDiDiDiDiDiDiDiDiCOCCCCByByBhBRBAA-AzApAiAiAiAiAiAiAiAiAiAiAiAiAiAiAG    ",
    "    AGAhAhAhAhAhAhAhAhAhAhAhAhAhAhAiApAzAzBABQBhBhByByCBCCDiDiDiDiDiDiDiDiDiDiDiDiCCCBByByBhBhBQBAAzAzApAiAhAhAhAhAhAhAhAhAhAhAhAhAhAhAG    ",
    "    AFAhAhAhAhAhAhAhAhAhAhAhAhAhAhAhAiAoAzAzA-BPBQBhBhBxByCBDiDiDiDiDiDiDiDiDiDiCBByBxBhBhBQBPA-AzAzAoAiAhAhAhAhAhAhAhAhAhAhAhAhAhAhAhAF    ",
    "    AFAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAhAoAoAzA+A-BPBQBhBhBhBwDiDiDiDiDiDiDiDiBwBhBhBhBQBPA-A+AzAoAoAhAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAF    ",
    "    AFAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAgAiAoAxAzA+A-BPBPBPBhBhDiDiDiDiDiDiBhBhBPBPBPA-A+AzAxAoAiAgAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAF    ",
    "    AEAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAgAgAoAoAxAyA9A+A+BPBPBPDiDiDiDiBPBPBPA+A+A9AyAxAoAoAgAgAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAE    ",
    "    ADAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAgAgAmAoAoAxAxAyAyA9A9DiDiA9A9AyAyAxAxAoAoAmAgAgAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAD    ",
    "    ADADAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAfAgAgAmAmAnAoAxAxAxAxAxAxAoAnAmAmAgAgAfAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcADAD    ",
    "    ADADAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAcAfAgAgAgAgAgAgAgAgAgAgAfAcAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbADAD    ",
    "    ADADAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbADAD    ",
    "    ACACAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaACAC    ",
    "      ACAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAC      ",
    "      ABABAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZABAB      ",
    "        ABAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAB        ",
    "        ABABAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYABAB        ",
    "          ABABAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXABAB          ",
    "            ABABAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXABAB            ",
    "              AAAAAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAAAA              ",
    "                AAAAAAAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAAAAAA                ",
    "                    AAAAAAAAAAAAAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAAAAAAAAAAAA                    ",
    "                        AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA                        ",
    "                                                                                                                                            ",
    "                                                                                                                                            "
};

}  // namespace
