#include "skin_frame.h"

#include <algorithm>
#include <string>

#include "image_cache.h"

uint8_t skin_load_flags = 1;

namespace {

// The pictures in field order; the first nine are the slices.
enum : int {
  MID_LEFT,
  MID_MID,
  MID_RIGHT,
  TOP_MID,
  BOTTOM_MID,
  TOP_LEFT,
  TOP_RIGHT,
  BOTTOM_LEFT,
  BOTTOM_RIGHT,
  COLAY,
  SOLAY,
  TOLAY
};

// Two end pieces of natural sizes a and b against the room they share: they
// keep their sizes while they fit, else both shrink in proportion.
void split(int32_t total, int32_t a, int32_t b, int32_t& a_out, int32_t& b_out) {
  if (a + b <= total) {
    a_out = a;
    b_out = b;
  } else if (a + b < 1) {
    a_out = b_out = 0;
  } else {
    a_out = total * a / (a + b);
    b_out = total * b / (a + b);
  }
}

// The alpha of the picture's pixel at (px, py) of its coordinate space.
uint32_t alpha_of(const IMAGE& image, int32_t px, int32_t py) {
  COLOUR pixel = COLOUR_INVISIBLE;
  image.get_pixel(to_i16(px), to_i16(py), &pixel);
  return pixel >> 24;
}

uint8_t blit_mode(int32_t mode) {
  // Out-of-range modes blend, as every unknown mode does, rather than
  // wrapping into another mode.
  return mode >= 0 && mode <= 255 ? static_cast<uint8_t>(mode) : BLIT_BLEND;
}

}  // namespace

SKIN_FRAME::SKIN_FRAME(IMAGE_CACHE* image_cache) : cache(image_cache) {}

SKIN_FRAME::~SKIN_FRAME() { clear(); }

IMAGE*& SKIN_FRAME::picture(int index) {
  static IMAGE* SKIN_FRAME::*const kFields[kPictures] = {
      &SKIN_FRAME::mid_left,    &SKIN_FRAME::mid_mid,     &SKIN_FRAME::mid_right,
      &SKIN_FRAME::top_mid,     &SKIN_FRAME::bottom_mid,  &SKIN_FRAME::top_left,
      &SKIN_FRAME::top_right,   &SKIN_FRAME::bottom_left, &SKIN_FRAME::bottom_right,
      &SKIN_FRAME::colay,       &SKIN_FRAME::solay,       &SKIN_FRAME::tolay};
  return this->*kFields[index];
}

const IMAGE* SKIN_FRAME::picture(int index) const {
  return const_cast<SKIN_FRAME*>(this)->picture(index);
}

// ---------------------------------------------------------------------------
// Loading and sharing

bool SKIN_FRAME::load(const char* folder, const char* base_name, uint8_t flags) {
  if (!cache) return false;
  clear();
  if (!base_name) return false;
  auto fetch = [&](const char* suffix) {
    return cache->get(folder, (std::string(base_name) + suffix).c_str(), -1, -1, flags);
  };

  colay = fetch("_colay");
  solay = fetch("_solay");
  tolay = fetch("_tolay");

  top_left = fetch("_top_left");
  if (top_left) {
    top_mid = fetch("_top_mid");
    top_right = fetch("_top_right");
    mid_left = fetch("_mid_left");
    mid_mid = fetch("_mid_mid");
    mid_right = fetch("_mid_right");
    bottom_left = fetch("_bottom_left");
    bottom_mid = fetch("_bottom_mid");
    bottom_right = fetch("_bottom_right");
    return top_mid && top_right && mid_left && mid_mid && mid_right && bottom_left &&
           bottom_mid && bottom_right;
  }
  mid_left = fetch("_left");
  if (mid_left) {
    mid_mid = fetch("_mid");
    mid_right = fetch("_right");
    return mid_mid && mid_right;
  }
  top_mid = fetch("_top");
  if (top_mid) {
    mid_mid = fetch("_mid");
    bottom_mid = fetch("_bottom");
    return mid_mid && bottom_mid;
  }
  mid_mid = fetch("");
  return mid_mid != nullptr;
}

bool SKIN_FRAME::load_in_folder(const FOLDER& folder, const char* base_name, uint8_t flags) {
  if (!cache) return false;
  char text[FOLDER_PATH_SIZE];
  if (!folder.get_path_text(text, sizeof text, nullptr)) {
    clear();
    return false;
  }
  return load(text, base_name, flags);
}

bool SKIN_FRAME::is_loaded() const { return mid_mid != nullptr; }

void SKIN_FRAME::release_sized() {
  for (IMAGE*& handle : sized_) {
    if (handle && cache) cache->release(cache->get_entry(handle));
    handle = nullptr;
  }
}

void SKIN_FRAME::clear() {
  release_sized();
  if (cache) {
    for (int i = 0; i < kPictures; ++i) {
      IMAGE*& handle = picture(i);
      if (handle) cache->release(cache->get_entry(handle));
      handle = nullptr;
    }
  }
  delete composite;
  composite = nullptr;
}

void SKIN_FRAME::copy(const SKIN_FRAME& other) {
  if (&other == this) return;  // clearing first would drop what is to be copied
  clear();
  if (!cache) return;
  for (int i = 0; i < kPictures; ++i)
    picture(i) = cache->add_ref(const_cast<IMAGE*>(other.picture(i)));
}

// ---------------------------------------------------------------------------
// Layout

SKIN_FRAME::LAYOUT SKIN_FRAME::layout() const {
  // Without its cache a frame cannot tell the natural sizes; it holds no
  // pictures then anyway.
  if (!cache) return LAYOUT::NONE;
  if (mid_left && mid_mid && mid_right && top_mid && bottom_mid && top_left && top_right &&
      bottom_left && bottom_right)
    return LAYOUT::NINE;
  if (mid_left && mid_mid && mid_right) return LAYOUT::THREE_H;
  if (top_mid && mid_mid && bottom_mid) return LAYOUT::THREE_V;
  if (mid_mid) return LAYOUT::PLAIN;
  return LAYOUT::NONE;
}

SKIN_FRAME::GEOMETRY SKIN_FRAME::geometry(int32_t w, int32_t h) const {
  GEOMETRY g;
  g.w = w;
  g.h = h;
  g.layout = layout();
  if (g.layout == LAYOUT::NONE || g.layout == LAYOUT::PLAIN) return g;
  // The natural sizes, not the pictures' current ones: a draw narrower than
  // the two ends must not make every later draw narrow too.
  if (g.layout != LAYOUT::THREE_V)
    split(w, cache->get_width(mid_left), cache->get_width(mid_right), g.left, g.right);
  if (g.layout != LAYOUT::THREE_H)
    split(h, cache->get_height(top_mid), cache->get_height(bottom_mid), g.top, g.bottom);
  g.centre = w - g.left - g.right;
  g.middle = h - g.top - g.bottom;
  return g;
}

// The size a slice is drawn at in the layout; 0 in a dimension when it is
// not drawn at all.
SKIN_FRAME::SIZE SKIN_FRAME::slice_size(int index, const GEOMETRY& g) const {
  const IMAGE* handle = picture(index);
  const SIZE natural{cache ? cache->get_width(handle) : 0, cache ? cache->get_height(handle) : 0};
  switch (g.layout) {
    case LAYOUT::NINE:
      switch (index) {
        case TOP_LEFT: return {g.left, g.top};
        case TOP_RIGHT: return {g.right, g.top};
        case BOTTOM_LEFT: return {g.left, g.bottom};
        case BOTTOM_RIGHT: return {g.right, g.bottom};
        case MID_LEFT: return {g.left, natural.h};
        case MID_RIGHT: return {g.right, natural.h};
        case TOP_MID: return {natural.w, g.top};
        case BOTTOM_MID: return {natural.w, g.bottom};
        case MID_MID: return natural;  // the centre tile is never stretched
        default: return {};
      }
    case LAYOUT::THREE_H:
      switch (index) {
        case MID_LEFT: return {g.left, g.h};
        case MID_RIGHT: return {g.right, g.h};
        case MID_MID: return {natural.w, g.h};
        default: return {};
      }
    case LAYOUT::THREE_V:
      switch (index) {
        case TOP_MID: return {g.w, g.top};
        case BOTTOM_MID: return {g.w, g.bottom};
        case MID_MID: return {g.w, natural.h};
        default: return {};
      }
    case LAYOUT::PLAIN:
      if (index != MID_MID) return {};
      return plain_stretched_ ? SIZE{g.w, g.h} : natural;
    case LAYOUT::NONE:
      break;
  }
  return {};
}

// The slice at its size in the layout, scaled through the cache from the
// natural picture this frame holds, so no size is ever made from another
// scaled copy. Null when the slice is absent or not drawn.
IMAGE* SKIN_FRAME::sized_slice(int index, const GEOMETRY& g) {
  IMAGE* original = picture(index);
  const SIZE size = slice_size(index, g);
  if (!original || !cache || size.w < 1 || size.h < 1) return nullptr;
  IMAGE*& sized = sized_[index];
  if (sized && sized->width == size.w && sized->height == size.h) return sized;
  if (sized) {
    // An unchanged copy goes back to the cache to be resized there: the
    // cache rescales it from the natural picture, in place when this frame
    // is its only user, so a frame drawn at ever new sizes leaves no scaled
    // copy per size behind in a cache that keeps unused entries.
    IMAGE_CACHE_ENTRY* entry = cache->get_entry(sized);
    if (entry && !entry->is_private && !entry->stale) {
      cache->resize(sized, static_cast<int16_t>(size.w), static_cast<int16_t>(size.h));
      return sized;
    }
    // A recoloured (private) or purged copy is not scaled from its natural
    // picture by the cache: it is given up and made again from this frame's.
    cache->release(entry);
    sized = nullptr;
  }
  // A second reference keeps the cache from scaling the natural entry in
  // place: it stays whole for the next size.
  sized = cache->add_ref(original);
  if (!sized) return nullptr;
  cache->resize(sized, static_cast<int16_t>(size.w), static_cast<int16_t>(size.h));
  return sized;
}

void SKIN_FRAME::tile_row(const IMAGE* piece, int32_t x, int32_t y, int32_t length,
                          int32_t height) {
  if (!piece || piece->width < 1) return;
  for (int32_t at = x; at < x + length; at += piece->width) {
    int32_t cut = std::min<int32_t>(piece->width, x + length - at);
    piece->blit_region(to_i16(at), to_i16(y), 0, 0, to_i16(cut), to_i16(height), composite,
                       BLIT_COPY);
  }
}

void SKIN_FRAME::tile_column(const IMAGE* piece, int32_t x, int32_t y, int32_t length,
                             int32_t width) {
  if (!piece || piece->height < 1) return;
  for (int32_t at = y; at < y + length; at += piece->height) {
    int32_t cut = std::min<int32_t>(piece->height, y + length - at);
    piece->blit_region(to_i16(x), to_i16(at), 0, 0, to_i16(width), to_i16(cut), composite,
                       BLIT_COPY);
  }
}

void SKIN_FRAME::compose(const GEOMETRY& g) {
  const int32_t w = g.w, h = g.h;
  auto put = [&](int index, int32_t px, int32_t py) {
    if (IMAGE* piece = sized_slice(index, g))
      composite->blit(piece, 0, 0, to_i16(px), to_i16(py), piece->width, piece->height, BLIT_COPY);
  };

  switch (g.layout) {
    case LAYOUT::NINE: {
      put(TOP_LEFT, 0, 0);
      put(BOTTOM_LEFT, 0, h - g.bottom);
      put(TOP_RIGHT, w - g.right, 0);
      put(BOTTOM_RIGHT, w - g.right, h - g.bottom);
      if (g.centre > 0 && g.middle > 0) {
        IMAGE* centre = sized_slice(MID_MID, g);
        if (centre && centre->width > 0 && centre->height > 0) {
          const int16_t cx1 = composite->clip_x1, cy1 = composite->clip_y1;
          const int16_t cx2 = composite->clip_x2, cy2 = composite->clip_y2;
          composite->clip_to(to_i16(g.left), to_i16(g.top), to_i16(g.left + g.centre - 1),
                             to_i16(g.top + g.middle - 1));
          for (int32_t ty = g.top; ty < g.top + g.middle; ty += centre->height)
            for (int32_t tx = g.left; tx < g.left + g.centre; tx += centre->width)
              composite->blit(centre, 0, 0, to_i16(tx), to_i16(ty), centre->width, centre->height,
                              BLIT_COPY);
          composite->clip_x1 = cx1;
          composite->clip_y1 = cy1;
          composite->clip_x2 = cx2;
          composite->clip_y2 = cy2;
        }
      }
      // Each edge repeats by its own size, so edges of different lengths
      // leave no gaps; an end shrunk to nothing draws no edge over the centre.
      if (g.centre > 0) {
        if (g.top > 0) tile_row(sized_slice(TOP_MID, g), g.left, 0, g.centre, g.top);
        if (g.bottom > 0)
          tile_row(sized_slice(BOTTOM_MID, g), g.left, h - g.bottom, g.centre, g.bottom);
      }
      if (g.middle > 0) {
        if (g.left > 0) tile_column(sized_slice(MID_LEFT, g), 0, g.top, g.middle, g.left);
        if (g.right > 0)
          tile_column(sized_slice(MID_RIGHT, g), w - g.right, g.top, g.middle, g.right);
      }
      break;
    }
    case LAYOUT::THREE_H:
      put(MID_LEFT, 0, 0);
      put(MID_RIGHT, w - g.right, 0);
      if (g.centre > 0) tile_row(sized_slice(MID_MID, g), g.left, 0, g.centre, h);
      break;
    case LAYOUT::THREE_V:
      put(TOP_MID, 0, 0);
      put(BOTTOM_MID, 0, h - g.bottom);
      if (g.middle > 0) tile_column(sized_slice(MID_MID, g), 0, g.top, g.middle, w);
      break;
    case LAYOUT::PLAIN:
      if (IMAGE* plain = sized_slice(MID_MID, g))
        put(MID_MID, (w - plain->width) / 2, (h - plain->height) / 2);
      break;
    case LAYOUT::NONE:
      break;
  }
}

void SKIN_FRAME::draw_overlays(int32_t w, int32_t h) {
  const int32_t ox = overlay_x, oy = overlay_y;
  const bool smooth = !fast_image_scaling;

  if (colay && colay->width > 0) {
    composite->blit(colay, 0, 0, to_i16((w - colay->width) / 2 + ox),
                    to_i16((h - colay->height) / 2 + oy), colay->width, colay->height, BLIT_BLEND);
  }

  // The stretched overlay fills the frame from its offset to the far
  // corner and shows only where the frame has pixels.
  if (solay && solay->width > 0) {
    const int32_t sw = w - ox, sh = h - oy;
    if (sw >= 1 && sh >= 1 && sw <= IMAGE_MAX_SIZE && sh <= IMAGE_MAX_SIZE) {
      IMAGE over;
      over.copy(*solay);
      over.scale(static_cast<uint16_t>(sw), static_cast<uint16_t>(sh), smooth);
      over.blit(composite, to_i16(ox), to_i16(oy), 0, 0, over.width, over.height,
                BLIT_ALPHA_MULTIPLY);
      composite->blit(&over, 0, 0, to_i16(ox), to_i16(oy), over.width, over.height, BLIT_BLEND);
    }
  }

  if (tolay && tolay->width > 0 && tolay->height > 0) {
    IMAGE over(static_cast<int16_t>(w), static_cast<int16_t>(h));
    over.grab(0, 0, composite, BLIT_BLEND);
    // The first tile starts at or left of (and above) the corner whatever
    // the offset's sign, so the tiles always cover the whole frame.
    const int32_t tw = tolay->width, th = tolay->height;
    const int32_t start_x = -(((ox % tw) + tw) % tw), start_y = -(((oy % th) + th) % th);
    for (int32_t ty = start_y; ty < h; ty += th)
      for (int32_t tx = start_x; tx < w; tx += tw)
        over.blit(tolay, 0, 0, to_i16(tx), to_i16(ty), to_i16(tw), to_i16(th), BLIT_BLEND);
    over.blit(composite, 0, 0, 0, 0, over.width, over.height, BLIT_ALPHA_MULTIPLY);
    composite->blit(&over, 0, 0, 0, 0, over.width, over.height, BLIT_BLEND);
  }
}

// ---------------------------------------------------------------------------
// Drawing

void SKIN_FRAME::draw(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2, uint8_t stretch_plain,
                      IMAGE* target, int32_t mode) {
  // 16-bit sums, so that a rectangle starting at a negative position (its
  // corner stored as a large u16) keeps its true size.
  const uint16_t w = static_cast<uint16_t>(x2 - x1 + 1);
  const uint16_t h = static_cast<uint16_t>(y2 - y1 + 1);
  if (w < 1 || h < 1 || w > IMAGE_MAX_SIZE || h > IMAGE_MAX_SIZE) return;
  const int16_t at_x = static_cast<int16_t>(x1), at_y = static_cast<int16_t>(y1);
  const uint8_t how = blit_mode(mode);

  const uint8_t stretched = stretch_plain ? 1 : 0;
  // A plain picture switched between stretched and centred looks different
  // at the same size.
  const bool plain_changed = stretched != plain_stretched_ && layout() == LAYOUT::PLAIN;
  if (composite && composite->width == w && composite->height == h && !regenerate &&
      !plain_changed) {
    composite->draw(at_x, at_y, target, how);
    return;
  }

  if (!composite) composite = new IMAGE;
  if (!composite->create(static_cast<int16_t>(w), static_cast<int16_t>(h)) || !composite->pixels) {
    delete composite;
    composite = nullptr;
    return;
  }
  regenerate = 0;
  plain_stretched_ = stretched;
  const COLOUR clear_colour = COLOUR_INVISIBLE;
  composite->clear(&clear_colour, true);

  compose(geometry(w, h));
  draw_overlays(w, h);
  composite->draw(at_x, at_y, target, how);
}

// ---------------------------------------------------------------------------
// Hit test

// The alpha of the slice at (sx, sy) as the slice is drawn in the layout.
// The picture of the last composition is read when it has that size;
// otherwise the natural picture is read at the nearest point, so the answer
// does not depend on the size drawn last.
bool SKIN_FRAME::alpha_at(int index, const GEOMETRY& g, int32_t sx, int32_t sy) const {
  const IMAGE* original = picture(index);
  const SIZE size = slice_size(index, g);
  if (!original || sx < 0 || sy < 0 || sx >= size.w || sy >= size.h) return false;
  const IMAGE* sized = index < kSlices ? sized_[index] : nullptr;
  if (sized && sized->width == size.w && sized->height == size.h)
    return alpha_of(*sized, sized->x + sx, sized->y + sy) != 0;
  if (original->width < 1 || original->height < 1) return false;
  const int32_t px = static_cast<int32_t>(static_cast<int64_t>(sx) * original->width / size.w);
  const int32_t py = static_cast<int32_t>(static_cast<int64_t>(sy) * original->height / size.h);
  return alpha_of(*original, original->x + px, original->y + py) != 0;
}

bool SKIN_FRAME::is_opaque_at(int16_t px, int16_t py, int16_t w, int16_t h) const {
  if (!cache || w < 1 || h < 1 || px < 0 || py < 0 || px >= w || py >= h) return false;
  const GEOMETRY g = geometry(w, h);
  switch (g.layout) {
    case LAYOUT::NINE: {
      const int column = px < g.left ? 0 : px >= w - g.right ? 2 : 1;
      const int row = py < g.top ? 0 : py >= h - g.bottom ? 2 : 1;
      const int32_t rx = px + g.right - w, by = py + g.bottom - h;
      switch (row * 3 + column) {
        case 0: return alpha_at(TOP_LEFT, g, px, py);
        case 1: return alpha_at(TOP_MID, g, 0, py);
        case 2: return alpha_at(TOP_RIGHT, g, rx, py);
        case 3: return alpha_at(MID_LEFT, g, px, 0);
        case 4: return alpha_at(MID_MID, g, 0, 0);
        case 5: return alpha_at(MID_RIGHT, g, rx, 0);
        case 6: return alpha_at(BOTTOM_LEFT, g, px, by);
        case 7: return alpha_at(BOTTOM_MID, g, 0, by);
        default: return alpha_at(BOTTOM_RIGHT, g, rx, by);
      }
    }
    case LAYOUT::THREE_H:
      if (px < g.left) return alpha_at(MID_LEFT, g, px, py);
      if (px >= w - g.right) return alpha_at(MID_RIGHT, g, px + g.right - w, py);
      return alpha_at(MID_MID, g, 0, py);
    case LAYOUT::THREE_V:
      if (py < g.top) return alpha_at(TOP_MID, g, px, py);
      if (py >= h - g.bottom) return alpha_at(BOTTOM_MID, g, px, py + g.bottom - h);
      return alpha_at(MID_MID, g, px, 0);
    case LAYOUT::PLAIN: {
      const SIZE size = slice_size(MID_MID, g);
      return alpha_at(MID_MID, g, px - (w - size.w) / 2, py - (h - size.h) / 2);
    }
    case LAYOUT::NONE:
      break;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Recolouring

void SKIN_FRAME::after_recolour() {
  // The scaled slices and the composite still show the old colours.
  release_sized();
  regenerate = 1;
}

void SKIN_FRAME::replace_colour(const COLOUR* a, const COLOUR* b) {
  if (cache)
    for (int i = 0; i < kPictures; ++i)
      if (picture(i)) cache->replace_colour(picture(i), a, b);
  after_recolour();
}

void SKIN_FRAME::apply_all3(const COLOUR* a, const COLOUR* b, const COLOUR* c) {
  if (cache)
    for (int i = 0; i < kPictures; ++i)
      if (picture(i)) cache->recolour3(picture(i), a, b, c);
  after_recolour();
}

void SKIN_FRAME::apply_all2(const COLOUR* colour) {
  if (cache)
    for (int i = 0; i < kPictures; ++i)
      if (picture(i)) cache->tint(picture(i), colour);
  after_recolour();
}

void SKIN_FRAME::make_grey() {
  if (cache)
    for (int i = 0; i < kPictures; ++i)
      if (picture(i)) cache->make_grey(picture(i));
  after_recolour();
}
