// SKIN_FRAME: which pictures a base name loads, the composed pixels at the
// seams and corners of nine-, three- and one-slice frames at several sizes
// (shrunk below the ends, and wide again afterwards), the three overlays,
// hit-testing by alpha, recolouring, placement on the target (partly off
// it), and every cache reference returned.
#include "skin_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "folder.h"
#include "image_cache.h"
#include "picture_compare.h"
#include "skin_test_support.h"
#include "test_support.h"

namespace ts = test_support;

namespace {

const char* const kSkin = "$APP/skin";

uint32_t pixel(const IMAGE& image, int x, int y) {
  return image.pixels[static_cast<size_t>(y) * image.stride + x];
}

void set_pixel(IMAGE& image, int x, int y, uint32_t value) {
  image.pixels[static_cast<size_t>(y) * image.stride + x] = value;
}

// Every pixel differs from its neighbours, so any misplaced tile shows;
// only the blue varies, so a picture's alpha, red and green, shared by all
// its pixels, still say whose a pixel is once the picture is resized.
void make_picture(IMAGE& image, int w, int h, uint32_t seed) {
  image.create(static_cast<int16_t>(w), static_cast<int16_t>(h));
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) set_pixel(image, i, j, 0xFF000000u | (seed + i * 16 + j));
}

void make_solid(IMAGE& image, int w, int h, uint32_t colour) {
  image.create(static_cast<int16_t>(w), static_cast<int16_t>(h));
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) set_pixel(image, i, j, colour);
}

// A w x h picture built pixel by pixel by the caller's rule; a pixel of a
// resized slice is only known to be that slice's (its mask drops the blue).
struct EXPECTED {
  int w, h;
  std::vector<uint32_t> px, mask;
  EXPECTED(int width, int height)
      : w(width), h(height), px(width * height, 0), mask(width * height, ~0u) {}
  uint32_t& at(int x, int y) { return px[y * w + x]; }
  void set(int x, int y, const IMAGE& from, int fx, int fy, bool natural) {
    at(x, y) = natural ? pixel(from, fx, fy) : pixel(from, 0, 0) & 0xFFFFFF00u;
    mask[y * w + x] = natural ? ~0u : 0xFFFFFF00u;
  }
};

// Compares an image with the expectation and names the first difference.
::testing::AssertionResult same_pixels(const IMAGE* image, EXPECTED& want) {
  if (!image) return ::testing::AssertionFailure() << "no image";
  if (image->width != want.w || image->height != want.h)
    return ::testing::AssertionFailure() << "size " << image->width << "x" << image->height
                                         << ", want " << want.w << "x" << want.h;
  for (int y = 0; y < want.h; ++y)
    for (int x = 0; x < want.w; ++x)
      if ((pixel(*image, x, y) & want.mask[y * want.w + x]) != want.at(x, y)) {
        char text[128];
        snprintf(text, sizeof text, "at (%d, %d): 0x%08X, want 0x%08X", x, y,
                 pixel(*image, x, y), want.at(x, y));
        return ::testing::AssertionFailure() << text;
      }
  return ::testing::AssertionSuccess();
}

// Whether row y of a picture shows row fy of the smaller picture `from`
// stretched as fast scaling stretches: each of its pixels in turn, repeated.
bool stretches_row(const IMAGE& image, int y, const IMAGE& from, int fy) {
  int fx = 0;
  for (int x = 0; x < image.width; ++x)
    if (pixel(image, x, y) != pixel(from, fx, fy)) {
      if (x == 0 || fx + 1 == from.width || pixel(image, x, y) != pixel(from, ++fx, fy)) return false;
    }
  return fx == from.width - 1;
}

bool all_references_returned(const IMAGE_CACHE& cache) {
  for (LLIST_NODE* node = cache.entries.head; node; node = node->next)
    if (static_cast<IMAGE_CACHE_ENTRY*>(node->data)->refs != 0) return false;
  return true;
}

// "$APP" is a scratch folder; the skin pictures are raw files in its "skin"
// sub-folder, written through a data file with order 255.
class SkinFrame : public ts::ScratchSkinTest {
protected:
  SkinFrame() : ScratchSkinTest("skintest") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ScratchSkinTest::SetUp());

    // Nine-slice "frm": L = 4, R = 2, T = 3, B = 2; the centre tile is 3
    // wide so that it repeats out of step with the 2-wide edges.
    nine_sizes = {{"top_left", 4, 3},  {"top_mid", 2, 3},    {"top_right", 2, 3},
                  {"mid_left", 4, 2},  {"mid_mid", 3, 2},    {"mid_right", 2, 2},
                  {"bottom_left", 4, 2}, {"bottom_mid", 2, 2}, {"bottom_right", 2, 2}};
    for (size_t k = 0; k < nine_sizes.size(); ++k) {
      make_picture(nine[k], nine_sizes[k].w, nine_sizes[k].h, 0x100000u * (k + 1));
      save("frm_" + nine_sizes[k].name, nine[k]);
    }
  }
  // A three-slice row "<base>_left", "_mid" and "_right": 3, 3 and 2 wide, 4 high.
  void save_three_slice(const std::string& base, IMAGE& left, IMAGE& mid, IMAGE& right) {
    make_picture(left, 3, 4, 0xA00000);
    make_picture(mid, 3, 4, 0xB00000);
    make_picture(right, 2, 4, 0xC00000);
    for (auto [end, image] : {std::pair{"_left", &left}, {"_mid", &mid}, {"_right", &right}}) save(base + end, *image);
  }
  IMAGE& slice(const char* name) {
    for (size_t k = 0; k < nine_sizes.size(); ++k)
      if (nine_sizes[k].name == name) return nine[k];
    return nine[0];
  }

  // The frame of these slices (rows of three, three rows, or both) at
  // w x h whose ends are l, r wide and t, b high: the ends drawn at those
  // sizes, the middle ones repeated from the inner corner at their own, a
  // lone column or row stretched across.
  static EXPECTED frame_expected(const std::vector<std::vector<const IMAGE*>>& rows, int w,
                                 int h, int l, int r, int t, int b) {
    const bool across = rows[0].size() == 3, down = rows.size() == 3;
    EXPECTED want(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int cx = !across || x < l ? 0 : x >= w - r ? 2 : 1;
        const int cy = !down || y < t ? 0 : y >= h - b ? 2 : 1;
        const IMAGE& p = *rows[cy][cx];
        const int dw = !across ? w : cx == 0 ? l : cx == 2 ? r : p.width;
        const int dh = !down ? h : cy == 0 ? t : cy == 2 ? b : p.height;
        const int fx = cx == 0 ? x : cx == 2 ? x - (w - r) : (x - l) % p.width;
        const int fy = cy == 0 ? y : cy == 2 ? y - (h - b) : (y - t) % p.height;
        want.set(x, y, p, fx, fy, dw == p.width && dh == p.height);
      }
    return want;
  }
  EXPECTED nine_expected(int w, int h, int l, int r, int t, int b) {
    return frame_expected({{&slice("top_left"), &slice("top_mid"), &slice("top_right")},
                           {&slice("mid_left"), &slice("mid_mid"), &slice("mid_right")},
                           {&slice("bottom_left"), &slice("bottom_mid"), &slice("bottom_right")}},
                          w, h, l, r, t, b);
  }

  struct NAMED_SIZE {
    std::string name;
    int w, h;
  };
  std::vector<NAMED_SIZE> nine_sizes;
  IMAGE nine[9];
  IMAGE_CACHE cache;  // the frames' cache: it outlives every frame of a test
};

// ---------------------------------------------------------------------------
// Loading

TEST_F(SkinFrame, NineSliceSetLoadsAtNaturalSizes) {
  {
    SKIN_FRAME frame(&cache);
    EXPECT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
    EXPECT_TRUE(frame.is_loaded());
    ASSERT_NE(frame.top_left, nullptr);
    ASSERT_NE(frame.bottom_right, nullptr);
    EXPECT_EQ(pixel(*frame.top_left, 3, 2), pixel(slice("top_left"), 3, 2));
    EXPECT_EQ(frame.mid_mid->width, 3);
    EXPECT_EQ(frame.colay, nullptr);
    EXPECT_EQ(frame.composite, nullptr);
    // With the start-up flags a missing picture leaves no entry behind.
    EXPECT_EQ(cache.entries.count, 9);
  }
  EXPECT_TRUE(all_references_returned(cache));
}

TEST_F(SkinFrame, HorizontalThreeSliceLoadsFromLeftMidRight) {
  IMAGE left, mid, right;
  save_three_slice("bar", left, mid, right);
  IMAGE_CACHE freeing(1);
  SKIN_FRAME frame(&freeing);
  EXPECT_TRUE(frame.load(kSkin, "bar", skin_load_flags));
  EXPECT_EQ(pixel(*frame.mid_left, 0, 0), pixel(left, 0, 0));
  EXPECT_EQ(pixel(*frame.mid_right, 1, 3), pixel(right, 1, 3));
  EXPECT_EQ(frame.top_mid, nullptr);
  frame.clear();
  EXPECT_EQ(freeing.entries.count, 0);  // every reference came back
}

TEST_F(SkinFrame, NineSliceMissingOneCornerFailsButDrawsItsHorizontalSet) {
  // "gap" is the nine-slice set without its bottom-right corner.
  for (size_t k = 0; k + 1 < nine_sizes.size(); ++k) save("gap_" + nine_sizes[k].name, nine[k]);
  SKIN_FRAME frame(&cache);
  EXPECT_FALSE(frame.load(kSkin, "gap", skin_load_flags));
  EXPECT_NE(frame.top_left, nullptr);  // what was found stays
  EXPECT_TRUE(frame.is_loaded());
  IMAGE target(30, 20);
  // w, h and the ends' widths: 5 x 4 / 6 = 3 and 5 x 2 / 6 = 1.
  for (const auto& s : {std::array{14, 6, 4, 2}, {14, 2, 4, 2}, {5, 6, 3, 1}}) {
    frame.draw(0, 0, static_cast<uint16_t>(s[0] - 1), static_cast<uint16_t>(s[1] - 1), 0, &target,
               BLIT_COPY);
    EXPECTED want = frame_expected({{&slice("mid_left"), &slice("mid_mid"), &slice("mid_right")}},
                                   s[0], s[1], s[2], s[3], 0, 0);
    EXPECT_TRUE(same_pixels(frame.composite, want)) << s[0] << "x" << s[1];
  }
}

TEST_F(SkinFrame, MissingTopLeftGoesOnToTheThreeSliceNames) {
  for (size_t k = 1; k < nine_sizes.size(); ++k) save("odd_" + nine_sizes[k].name, nine[k]);
  IMAGE left, mid, right;
  save_three_slice("odd", left, mid, right);
  SKIN_FRAME frame(&cache);
  EXPECT_TRUE(frame.load(kSkin, "odd", skin_load_flags));
  EXPECT_EQ(pixel(*frame.mid_left, 2, 1), pixel(left, 2, 1));
  EXPECT_EQ(pixel(*frame.mid_mid, 2, 1), pixel(mid, 2, 1));
  // The nine-slice edges were never looked for.
  EXPECT_EQ(frame.top_mid, nullptr);
  EXPECT_EQ(frame.top_right, nullptr);
  EXPECT_EQ(frame.bottom_mid, nullptr);
}

TEST_F(SkinFrame, VerticalSetWithoutItsBottomFallsBackToAPlainCentre) {
  IMAGE top, mid;
  make_picture(top, 4, 2, 0xA00000);
  make_picture(mid, 3, 3, 0xB00000);
  save("lone_top", top);
  save("lone_mid", mid);
  SKIN_FRAME frame(&cache);
  EXPECT_FALSE(frame.load(kSkin, "lone", skin_load_flags));
  EXPECT_NE(frame.top_mid, nullptr);
  ASSERT_TRUE(frame.is_loaded());
  IMAGE target(10, 10);
  frame.draw(0, 0, 6, 4, 0, &target, BLIT_COPY);
  EXPECT_EQ(pixel(*frame.composite, 2, 1), pixel(mid, 0, 0));  // (7 - 3) / 2, (5 - 3) / 2
  EXPECT_EQ(pixel(*frame.composite, 4, 3), pixel(mid, 2, 2));
  EXPECT_EQ(pixel(*frame.composite, 0, 0), COLOUR_INVISIBLE);
}

TEST_F(SkinFrame, NothingFoundAndNoCache) {
  SKIN_FRAME frame(&cache);
  EXPECT_FALSE(frame.load(kSkin, "absent", skin_load_flags));
  EXPECT_FALSE(frame.is_loaded());
  EXPECT_FALSE(frame.load(kSkin, nullptr, skin_load_flags));
  // Nothing composes: the frame blended onto a target leaves it alone.
  IMAGE target(8, 8);
  const COLOUR grey = 0xFF808080u;
  target.clear(&grey, true);
  frame.draw(1, 1, 6, 6, 0, &target, BLIT_BLEND);
  EXPECT_EQ(pixel(target, 3, 3), grey);
  EXPECT_FALSE(frame.is_opaque_at(3, 3, 6, 6));

  SKIN_FRAME loose;
  EXPECT_FALSE(loose.load(kSkin, "frm", skin_load_flags));
  EXPECT_FALSE(loose.load_in_folder(skin, "frm", skin_load_flags));
  EXPECT_EQ(cache.entries.count, 0);
}

TEST_F(SkinFrame, FindOnlyTakesWhatTheCacheAlreadyHolds) {
  SKIN_FRAME early(&cache), first(&cache), later(&cache);
  EXPECT_FALSE(early.load(kSkin, "frm", 8));
  EXPECT_TRUE(first.load_in_folder(skin, "frm", skin_load_flags));
  EXPECT_TRUE(later.load(kSkin, "frm", 8));
  EXPECT_EQ(later.top_left, first.top_left);  // one shared picture
  EXPECT_EQ(cache.get_entry(first.top_left)->refs, 2);
}

// ---------------------------------------------------------------------------
// Composition

TEST_F(SkinFrame, NineSliceSeamsAndCornersAtSeveralSizes) {
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  IMAGE target(40, 30);
  // w, h and the ends l, r, t, b (4, 2, 3, 2 while they fit, else each
  // its share of the room, rounded down): roomy; a few tiles; exactly the
  // ends (no centre); narrower than the ends both ways (3 x 4 / 6 = 2,
  // 3 x 2 / 6 = 1, 4 x 3 / 5 = 2, 4 x 2 / 5 = 1); in width only, leaving a
  // one-column centre; then roomy again. One row (both ends' rows shrink to
  // nothing), a right end shrunk to nothing, and a single pixel too.
  const int sizes[][6] = {{20, 12, 4, 2, 3, 2}, {9, 7, 4, 2, 3, 2},  {6, 5, 4, 2, 3, 2},
                          {3, 4, 2, 1, 2, 1},   {5, 12, 3, 1, 3, 2}, {20, 12, 4, 2, 3, 2},
                          {11, 9, 4, 2, 3, 2},  {9, 1, 4, 2, 0, 0},  {2, 3, 1, 0, 1, 1},
                          {1, 1, 0, 0, 0, 0}};
  for (const auto& s : sizes) {
    frame.draw(0, 0, static_cast<uint16_t>(s[0] - 1), static_cast<uint16_t>(s[1] - 1), 0, &target,
               BLIT_COPY);
    EXPECTED want = nine_expected(s[0], s[1], s[2], s[3], s[4], s[5]);
    EXPECT_TRUE(same_pixels(frame.composite, want)) << s[0] << "x" << s[1];
  }
  // Shrinking never touched the shared natural pictures.
  EXPECT_EQ(frame.mid_left->width, 4);
  EXPECT_EQ(frame.top_left->width, 4);
  EXPECT_EQ(frame.top_left->height, 3);
  EXPECT_EQ(pixel(*frame.top_left, 3, 0), pixel(slice("top_left"), 3, 0));
}

TEST_F(SkinFrame, NarrowerThanTheEndsLeavesNoCentreColumn) {
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  IMAGE target(10, 20);
  frame.draw(0, 0, 2, 11, 0, &target, BLIT_COPY);  // 3 wide against L + R = 6
  // 3 x 4 / 6 = 2 columns of the left, 3 x 2 / 6 = 1 of the right.
  EXPECT_EQ(pixel(*frame.composite, 1, 5) & 0xFFFFFF00u, pixel(slice("mid_left"), 0, 0) & 0xFFFFFF00u);
  EXPECT_EQ(pixel(*frame.composite, 2, 5), pixel(slice("mid_right"), 0, 0));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_NE(pixel(*frame.composite, x, y) >> 24, 0u);
}

TEST_F(SkinFrame, ResizedSlicesAreScaledFromTheNaturalPictureEachTime) {
  // A cache that frees what nobody holds keeps no natural copy of its own:
  // the frame's pictures are all there is to scale from.
  IMAGE_CACHE freeing(1);
  SKIN_FRAME frame(&freeing);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  IMAGE target(20, 20);
  frame.draw(0, 0, 2, 11, 0, &target, BLIT_COPY);  // top_left at 2 wide
  frame.draw(0, 0, 4, 11, 0, &target, BLIT_COPY);  // then 3 wide (5 x 4 / 6)
  // Fast scaling takes each column from the nearest one at or left of
  // x * 4 / 3: columns 0, 1, 2. Made from the 2-wide copy (columns 0, 2)
  // they would be 0, 0, 2.
  for (int x = 0; x < 3; ++x)
    EXPECT_EQ(pixel(*frame.composite, x, 1), pixel(slice("top_left"), x, 1)) << x;
  frame.clear();
  EXPECT_EQ(freeing.entries.count, 0);
}

TEST_F(SkinFrame, DrawingAtManySizesKeepsNoScaledCopyPerSizeInTheCache) {
  // The GUI's cache keeps what nobody holds until it is purged (and writes
  // it into the installer's data), so a frame whose size animates must not
  // leave one scaled copy of its slices behind for every size it was drawn at.
  IMAGE top, mid, bottom, logo;
  make_picture(top, 4, 2, 0xA00000);
  make_picture(mid, 4, 2, 0xB00000);
  make_picture(bottom, 4, 3, 0xC00000);
  make_picture(logo, 6, 4, 0xD00000);
  save("col_top", top);
  save("col_mid", mid);
  save("col_bottom", bottom);
  save("logo", logo);
  SKIN_FRAME column(&cache), plain(&cache), nine(&cache);
  ASSERT_TRUE(column.load(kSkin, "col", skin_load_flags));
  ASSERT_TRUE(plain.load(kSkin, "logo", skin_load_flags));
  ASSERT_TRUE(nine.load(kSkin, "frm", skin_load_flags));
  const int32_t loaded = cache.entries.count;
  IMAGE target(40, 40);
  // Sizes that never come back to a picture's natural size.
  auto draw_all = [&](int step) {
    column.draw(0, 0, static_cast<uint16_t>(step + 4), 9, 0, &target, BLIT_COPY);
    plain.draw(0, 0, static_cast<uint16_t>(step + 6), 7, 1, &target, BLIT_COPY);
    nine.draw(0, 0, static_cast<uint16_t>(step % 5), 3, 0, &target, BLIT_COPY);
  };
  for (int step = 0; step < 30; ++step) draw_all(step);
  // One scaled copy of each slice: 3 + 1 + 8 (the centre tile is never
  // scaled).
  EXPECT_EQ(cache.entries.count, loaded + 12);
  // Going back and forth through the natural sizes shares the cached
  // copies of those sizes, so the cache settles at one copy per size
  // however often it happens.
  auto swing = [&]() {
    for (int w = 1; w <= 8; ++w) {
      column.draw(0, 0, static_cast<uint16_t>(w - 1), 9, 0, &target, BLIT_COPY);
      nine.draw(0, 0, static_cast<uint16_t>(w - 1), 4, 0, &target, BLIT_COPY);
    }
  };
  for (int k = 0; k < 10; ++k) swing();
  const int32_t settled = cache.entries.count;
  for (int k = 0; k < 20; ++k) swing();
  EXPECT_EQ(cache.entries.count, settled);
  // 8 sizes of 3 column slices and 8 of 8 nine-slice slices at most.
  EXPECT_LE(settled, loaded + 12 + 8 * 3 + 8 * 8);
  for (int step = 0; step < 30; ++step) draw_all(step);

  // The last sizes are still scaled once from the natural pictures.
  EXPECTED stretched = frame_expected({{&logo}}, 36, 8, 0, 0, 0, 0);
  EXPECT_TRUE(same_pixels(plain.composite, stretched));
  EXPECT_TRUE(stretches_row(*plain.composite, 0, logo, 0));
  EXPECT_TRUE(stretches_row(*plain.composite, 7, logo, 3));
  EXPECTED nine_want = nine_expected(5, 4, 3, 1, 2, 1);  // 29 % 5 + 1 = 5 wide
  EXPECT_TRUE(same_pixels(nine.composite, nine_want));
  EXPECT_TRUE(stretches_row(*column.composite, 1, top, 1));
}

TEST_F(SkinFrame, FramesOfOneElementShareTheirResizedSlices) {
  SKIN_FRAME a(&cache), b(&cache);
  ASSERT_TRUE(a.load(kSkin, "frm", skin_load_flags));
  b.copy(a);
  IMAGE target(20, 20);
  a.draw(0, 0, 2, 3, 0, &target, BLIT_COPY);
  const int32_t after_first = cache.entries.count;
  b.draw(5, 5, 7, 8, 0, &target, BLIT_COPY);
  EXPECT_EQ(cache.entries.count, after_first);
  EXPECTED want = nine_expected(3, 4, 2, 1, 2, 1);
  EXPECT_TRUE(same_pixels(b.composite, want));
}

TEST_F(SkinFrame, EdgesRepeatByTheirOwnSize) {
  // "uneven": "frm" with a 3-wide bottom edge under its 2-wide top edge.
  for (size_t k = 0; k < nine_sizes.size(); ++k)
    if (nine_sizes[k].name != "bottom_mid") save("uneven_" + nine_sizes[k].name, nine[k]);
  IMAGE bottom;
  make_picture(bottom, 3, 2, 0xF00000);
  save("uneven_bottom_mid", bottom);
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "uneven", skin_load_flags));
  IMAGE target(30, 30);
  frame.draw(0, 0, 19, 11, 0, &target, BLIT_COPY);
  for (int x = 4; x < 18; ++x) {
    EXPECT_EQ(pixel(*frame.composite, x, 0), pixel(slice("top_mid"), (x - 4) % 2, 0)) << x;
    EXPECT_EQ(pixel(*frame.composite, x, 11), pixel(bottom, (x - 4) % 3, 1)) << x;
  }
}

TEST_F(SkinFrame, ThreeSliceBarsAndColumnsAtSeveralSizes) {
  IMAGE left, mid, right, top, col, bottom;
  save_three_slice("bar", left, mid, right);
  make_picture(top, 4, 2, 0xA00000);
  make_picture(col, 4, 2, 0xB00000);
  make_picture(bottom, 4, 3, 0xC00000);
  for (auto [name, image] : {std::pair{"col_top", &top}, {"col_mid", &col}, {"col_bottom", &bottom}}) save(name, *image);
  SKIN_FRAME bar(&cache), column(&cache);
  ASSERT_TRUE(bar.load(kSkin, "bar", skin_load_flags) && column.load(kSkin, "col", skin_load_flags));
  IMAGE target(30, 30);
  // w, h and the ends' sizes. Bars: taller and shorter than the pictures, a
  // cut last tile, ends shrunk to 4 x 3 / 5 = 2 and 4 x 2 / 5 = 1. Columns:
  // ends 4 x 2 / 5 = 1 and 4 x 3 / 5 = 2 high when short.
  const struct { bool across; int w, h, first, last; } sizes[] = {
      {true, 14, 6, 3, 2}, {true, 12, 3, 3, 2}, {true, 4, 4, 2, 1}, {true, 5, 2, 3, 2}, {true, 16, 4, 3, 2},
      {false, 6, 11, 2, 3}, {false, 3, 8, 2, 3}, {false, 6, 4, 1, 2}, {false, 4, 5, 2, 3}, {false, 4, 9, 2, 3}};
  for (const auto& s : sizes) {
    SKIN_FRAME& frame = s.across ? bar : column;
    frame.draw(0, 0, static_cast<uint16_t>(s.w - 1), static_cast<uint16_t>(s.h - 1), 0, &target, BLIT_COPY);
    EXPECTED want = s.across ? frame_expected({{&left, &mid, &right}}, s.w, s.h, s.first, s.last, 0, 0)
                             : frame_expected({{&top}, {&col}, {&bottom}}, s.w, s.h, 0, 0, s.first, s.last);
    EXPECT_TRUE(same_pixels(frame.composite, want)) << s.w << "x" << s.h;
    EXPECT_TRUE(s.across || s.w < 4 || stretches_row(*frame.composite, 0, top, 0)) << s.w << "x" << s.h;
  }
}

TEST_F(SkinFrame, PlainPictureCentredCutOrStretched) {
  IMAGE logo;
  make_picture(logo, 6, 4, 0xD00000);
  save("logo", logo);
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "logo", skin_load_flags));
  IMAGE target(20, 20);

  auto centred = [&](int w, int h) {
    EXPECTED want(w, h);
    const int ox = (w - 6) / 2, oy = (h - 4) / 2;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (x - ox >= 0 && x - ox < 6 && y - oy >= 0 && y - oy < 4)
          want.at(x, y) = pixel(logo, x - ox, y - oy);
    return want;
  };
  frame.draw(0, 0, 9, 7, 0, &target, BLIT_COPY);  // 10 x 8: at (2, 2)
  EXPECTED roomy = centred(10, 8);
  EXPECT_TRUE(same_pixels(frame.composite, roomy));
  frame.draw(0, 0, 2, 0, 0, &target, BLIT_COPY);  // 3 x 1: cut on every side
  EXPECTED cut = centred(3, 1);
  EXPECT_TRUE(same_pixels(frame.composite, cut));
  EXPECT_EQ(pixel(*frame.composite, 0, 0), pixel(logo, 1, 1));  // (3 - 6) / 2 = -1

  EXPECTED want = frame_expected({{&logo}}, 10, 8, 0, 0, 0, 0);
  frame.draw(0, 0, 9, 7, 1, &target, BLIT_COPY);
  EXPECT_TRUE(same_pixels(frame.composite, want));
  EXPECT_TRUE(stretches_row(*frame.composite, 0, logo, 0));
  EXPECT_TRUE(stretches_row(*frame.composite, 7, logo, 3));
  // Unstretched again at the same size: back to the natural picture.
  frame.draw(0, 0, 9, 7, 0, &target, BLIT_COPY);
  EXPECT_TRUE(same_pixels(frame.composite, roomy));
  EXPECT_EQ(frame.mid_mid->width, 6);
}

// ---------------------------------------------------------------------------
// Drawing onto the target

TEST_F(SkinFrame, DrawsAtTheCornerWithTheCallersMode) {
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  IMAGE target(40, 30);
  const COLOUR back = 0xFF0000FFu;
  target.clear(&back, true);
  frame.draw(5, 6, 24, 17, 0, &target, BLIT_COPY);
  EXPECTED want = nine_expected(20, 12, 4, 2, 3, 2);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(pixel(target, x + 5, y + 6), want.at(x, y));
  EXPECT_EQ(pixel(target, 4, 6), back);
  EXPECT_EQ(pixel(target, 25, 17), back);
  EXPECT_EQ(pixel(target, 5, 18), back);
}

TEST_F(SkinFrame, PartlyOffTheTargetDrawsInPlace) {
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  IMAGE target(30, 30);
  // (-3, -2) .. (16, 9): a 20 x 12 frame whose corner is above and left of
  // the target, passed as 16-bit words.
  frame.draw(static_cast<uint16_t>(-3), static_cast<uint16_t>(-2), 16, 9, 0, &target, BLIT_COPY);
  EXPECTED want = nine_expected(20, 12, 4, 2, 3, 2);
  ASSERT_NE(frame.composite, nullptr);
  EXPECT_EQ(frame.composite->width, 20);
  EXPECT_EQ(frame.composite->height, 12);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 17; ++x) ASSERT_EQ(pixel(target, x, y), want.at(x + 3, y + 2));
  EXPECT_EQ(pixel(target, 17, 0), 0u);

  // An inverted rectangle is no frame at all.
  IMAGE other(30, 30);
  frame.draw(10, 10, 5, 5, 0, &other, BLIT_COPY);
  EXPECT_EQ(pixel(other, 7, 7), 0u);
}

TEST_F(SkinFrame, TwoDrawsAtOneSizeComposeOnce) {
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  IMAGE target(30, 30);
  frame.draw(0, 0, 19, 11, 0, &target, BLIT_COPY);
  const uint32_t composed = pixel(*frame.composite, 10, 6);
  // A mark in the composite survives the next draw at the same size: that
  // draw only copies the composite.
  set_pixel(*frame.composite, 10, 6, 0xFF123456u);
  frame.draw(0, 0, 19, 11, 0, &target, BLIT_COPY);
  EXPECT_EQ(pixel(target, 10, 6), 0xFF123456u);
  frame.regenerate = 1;
  frame.draw(0, 0, 19, 11, 0, &target, BLIT_COPY);
  EXPECT_EQ(pixel(target, 10, 6), composed);
  EXPECT_EQ(frame.regenerate, 0);
  // A new size composes again.
  set_pixel(*frame.composite, 10, 6, 0xFF123456u);
  frame.draw(0, 0, 20, 11, 0, &target, BLIT_COPY);
  EXPECT_NE(pixel(*frame.composite, 10, 6), 0xFF123456u);
}

// ---------------------------------------------------------------------------
// Overlays

class SkinFrameOverlay : public SkinFrame {
protected:
  // An 8 x 6 plain picture, opaque but for a transparent left column and a
  // half-transparent pixel at (7, 5).
  void SetUp() override {
    SkinFrame::SetUp();
    make_picture(base, 8, 6, 0x400000);
    for (int y = 0; y < 6; ++y) set_pixel(base, 0, y, 0x00000000u);
    set_pixel(base, 7, 5, 0x80336699u);
  }
  IMAGE base;
};

TEST_F(SkinFrameOverlay, CentredOverlayBlendsAtItsOffset) {
  IMAGE colay;
  make_solid(colay, 2, 2, 0xFFFF0000u);
  save("ov", base);
  save("ov_colay", colay);
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "ov", skin_load_flags));
  ASSERT_NE(frame.colay, nullptr);
  IMAGE target(20, 20);
  frame.draw(0, 0, 7, 5, 0, &target, BLIT_COPY);
  // (8 - 2) / 2, (6 - 2) / 2 = (3, 2).
  EXPECT_EQ(pixel(*frame.composite, 3, 2), 0xFFFF0000u);
  EXPECT_EQ(pixel(*frame.composite, 4, 3), 0xFFFF0000u);
  EXPECT_EQ(pixel(*frame.composite, 2, 2), pixel(base, 2, 2));
  EXPECT_EQ(pixel(*frame.composite, 5, 3), pixel(base, 5, 3));

  frame.overlay_x = 2;
  frame.overlay_y = -1;
  frame.regenerate = 1;
  frame.draw(0, 0, 7, 5, 0, &target, BLIT_COPY);
  EXPECT_EQ(pixel(*frame.composite, 5, 1), 0xFFFF0000u);
  EXPECT_EQ(pixel(*frame.composite, 6, 2), 0xFFFF0000u);
  EXPECT_EQ(pixel(*frame.composite, 3, 2), pixel(base, 3, 2));
}

TEST_F(SkinFrameOverlay, StretchedOverlayShowsOnlyOnTheFrameFromItsOffset) {
  IMAGE solay;
  make_solid(solay, 1, 1, 0xFF00FF00u);
  save("sv", base);
  save("sv_solay", solay);
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "sv", skin_load_flags));
  IMAGE target(20, 20);
  frame.draw(0, 0, 7, 5, 0, &target, BLIT_COPY);
  EXPECT_EQ(pixel(*frame.composite, 1, 0), 0xFF00FF00u);
  EXPECT_EQ(pixel(*frame.composite, 6, 5), 0xFF00FF00u);
  EXPECT_EQ(pixel(*frame.composite, 0, 3), 0u);  // no frame pixel, no overlay
  // Half-transparent frame pixel: the overlay at half strength, blended over
  // the frame's colour, which keeps its alpha.
  const uint32_t edge = pixel(*frame.composite, 7, 5);
  EXPECT_EQ(edge >> 24, 0x80u);
  EXPECT_NE(edge, pixel(base, 7, 5));

  // Offsets (2, 1): the overlay covers from there to the far corner.
  frame.overlay_x = 2;
  frame.overlay_y = 1;
  frame.regenerate = 1;
  frame.draw(0, 0, 7, 5, 0, &target, BLIT_COPY);
  EXPECT_EQ(pixel(*frame.composite, 1, 3), pixel(base, 1, 3));
  EXPECT_EQ(pixel(*frame.composite, 4, 0), pixel(base, 4, 0));
  EXPECT_EQ(pixel(*frame.composite, 2, 1), 0xFF00FF00u);
  EXPECT_EQ(pixel(*frame.composite, 6, 4), 0xFF00FF00u);

  // Offsets that leave one row or one column of the frame cover just that.
  for (const auto& [ox, oy] : {std::pair{2, 5}, std::pair{7, 0}}) {
    frame.overlay_x = static_cast<int16_t>(ox);
    frame.overlay_y = static_cast<int16_t>(oy);
    frame.regenerate = 1;
    frame.draw(0, 0, 7, 5, 0, &target, BLIT_COPY);
    EXPECT_EQ(pixel(*frame.composite, 6, 4), pixel(base, 6, 4)) << ox;
    EXPECT_EQ(pixel(*frame.composite, ox, oy), 0xFF00FF00u) << ox;
  }
}

TEST_F(SkinFrameOverlay, TiledOverlayCoversTheFrameForAnyOffset) {
  // Tiles of 3 x 2, and one column or one row wide.
  for (const auto& [tw, th] : {std::pair{3, 2}, std::pair{1, 2}, std::pair{3, 1}}) {
    IMAGE tolay;
    make_picture(tolay, tw, th, 0xE00000);
    set_pixel(tolay, 0, 0, 0);  // a clear corner shows the frame beneath, in place
    const std::string name = "tv" + std::to_string(tw) + std::to_string(th);
    save(name, base);
    save(name + "_tolay", tolay);
    IMAGE_CACHE cache;
    SKIN_FRAME frame(&cache);
    ASSERT_TRUE(frame.load(kSkin, name.c_str(), skin_load_flags));
    IMAGE target(20, 20);
    for (int offset : {0, 4, -1}) {
      frame.overlay_x = static_cast<int16_t>(offset);
      frame.overlay_y = static_cast<int16_t>(-offset);
      frame.regenerate = 1;
      frame.draw(0, 0, 7, 5, 0, &target, BLIT_COPY);
      // The tiles start at (-offset_x, -offset_y); the clear column stays
      // clear. Every pixel but the half-clear one is compared.
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8 - y / 5; ++x) {
          const int tx = ((x + offset) % tw + tw) % tw, ty = ((y - offset) % th + th) % th;
          ASSERT_EQ(pixel(*frame.composite, x, y), x == 0 ? 0u : tx + ty ? pixel(tolay, tx, ty) : pixel(base, x, y))
              << name << " offset " << offset << " at " << x << "," << y;
        }
    }
  }
}

// ---------------------------------------------------------------------------
// Hit test

TEST_F(SkinFrame, HitTestFollowsTheSlicesAlpha) {
  // "curve": "frm" with transparent outer corner pixels and a transparent
  // first pixel of the centre tile.
  for (size_t k = 0; k < nine_sizes.size(); ++k) {
    IMAGE copy;
    copy.copy(nine[k]);
    const std::string& name = nine_sizes[k].name;
    if (name == "top_left") set_pixel(copy, 0, 0, 0);
    if (name == "bottom_right") set_pixel(copy, 1, 1, 0);
    if (name == "bottom_right") set_pixel(copy, 0, 1, 0x01000000u);  // the faintest alpha is a hit
    if (name == "mid_mid") set_pixel(copy, 0, 0, 0);
    if (name == "top_mid") set_pixel(copy, 1, 2, 0);  // not on column 0: never read
    save("curve_" + name, copy);
  }
  SKIN_FRAME frame(&cache);
  ASSERT_TRUE(frame.load(kSkin, "curve", skin_load_flags));
  // Before any draw and after draws at other sizes the answers agree.
  IMAGE target(40, 40);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_FALSE(frame.is_opaque_at(0, 0, 20, 12));
    EXPECT_TRUE(frame.is_opaque_at(1, 0, 20, 12));
    EXPECT_TRUE(frame.is_opaque_at(0, 1, 20, 12));
    EXPECT_FALSE(frame.is_opaque_at(19, 11, 20, 12));
    EXPECT_TRUE(frame.is_opaque_at(18, 11, 20, 12));
    EXPECT_TRUE(frame.is_opaque_at(19, 0, 20, 12));
    // The centre answers with its tile's first pixel wherever it is asked.
    EXPECT_FALSE(frame.is_opaque_at(5, 4, 20, 12));
    EXPECT_FALSE(frame.is_opaque_at(10, 7, 20, 12));
    // Edges are read on their first column or row.
    EXPECT_TRUE(frame.is_opaque_at(5, 2, 20, 12));
    EXPECT_TRUE(frame.is_opaque_at(1, 5, 20, 12));
    // Shrunk: 3 wide gives a 2-column left and a 1-column right.
    EXPECT_FALSE(frame.is_opaque_at(0, 0, 3, 12));
    EXPECT_TRUE(frame.is_opaque_at(2, 0, 3, 12));
    // Outside the frame, beyond each side, and a frame without a size.
    for (const auto& o : {std::array{20, 5, 20, 12}, std::array{-1, 5, 20, 12}, std::array{5, 12, 20, 12},
                          std::array{5, -1, 20, 12}, std::array{0, 0, 0, 0}})
      EXPECT_FALSE(frame.is_opaque_at(o[0], o[1], o[2], o[3])) << o[0] << "," << o[1];
    frame.draw(0, 0, 2, 11, 0, &target, BLIT_COPY);
    frame.draw(0, 0, 8, 8, 0, &target, BLIT_COPY);
  }
}

TEST_F(SkinFrame, HitMaskOfNineAndThreeRowFramesMatchesTheReference) {
  // "holes": "frm" with one transparent pixel in each slice, where the hit
  // test reads it (edges on their first row or column); "col" and "row":
  // its middle column and middle row of slices as three-slice frames.
  const int hole[9][2] = {{1, 2}, {0, 1}, {1, 0}, {2, 0}, {0, 0}, {1, 0}, {3, 1}, {0, 1}, {0, 1}};
  const std::multimap<std::string, std::string> also = {
      {"top_mid", "col_top"},   {"mid_mid", "col_mid"}, {"bottom_mid", "col_bottom"},
      {"mid_left", "row_left"}, {"mid_mid", "row_mid"}, {"mid_right", "row_right"}};
  for (size_t k = 0; k < nine_sizes.size(); ++k) {
    IMAGE copy;
    copy.copy(nine[k]);
    set_pixel(copy, hole[k][0], hole[k][1], 0);
    save("holes_" + nine_sizes[k].name, copy);
    for (auto [it, end] = also.equal_range(nine_sizes[k].name); it != end; ++it) save(it->second, copy);
  }
  SKIN_FRAME frames[3] = {SKIN_FRAME(&cache), SKIN_FRAME(&cache), SKIN_FRAME(&cache)};
  ASSERT_TRUE(frames[0].load(kSkin, "holes", skin_load_flags));
  ASSERT_TRUE(frames[1].load(kSkin, "col", skin_load_flags));
  ASSERT_TRUE(frames[2].load(kSkin, "row", skin_load_flags));
  // Each frame at four sizes side by side, asked one pixel beyond each side
  // too: white where it answers opaque.
  IMAGE mask(45, 42);
  for (int f = 0; f < 3; ++f) {
    int left = 0;
    for (const auto& [w, h] : {std::pair{20, 12}, std::pair{9, 7}, std::pair{5, 4}, std::pair{3, 3}}) {
      for (int py = -1; py <= h; ++py)
        for (int px = -1; px <= w; ++px)
          set_pixel(mask, left + px + 1, f * 14 + py + 1,
                    frames[f].is_opaque_at(px, py, w, h) ? 0xFFFFFFFFu : 0xFF000000u);
      left += w + 2;
    }
  }
  EXPECT_TRUE(ts::picture_matches_reference("platform_skin", "hit_masks", mask));
}

TEST_F(SkinFrameOverlay, HitTestOnThreeSliceAndPlainPictures) {
  IMAGE left, mid, right;
  make_picture(left, 3, 4, 0xA00000);
  make_picture(mid, 3, 4, 0xB00000);
  make_picture(right, 2, 4, 0xC00000);
  set_pixel(left, 0, 3, 0);
  set_pixel(right, 1, 0, 0);
  set_pixel(mid, 0, 2, 0);
  save("bar_left", left);
  save("bar_mid", mid);
  save("bar_right", right);
  save("plain", base);
  SKIN_FRAME bar(&cache), plain(&cache);
  ASSERT_TRUE(bar.load(kSkin, "bar", skin_load_flags));
  ASSERT_TRUE(plain.load(kSkin, "plain", skin_load_flags));
  EXPECT_FALSE(bar.is_opaque_at(0, 3, 12, 4));
  EXPECT_TRUE(bar.is_opaque_at(1, 3, 12, 4));
  EXPECT_FALSE(bar.is_opaque_at(11, 0, 12, 4));
  EXPECT_TRUE(bar.is_opaque_at(10, 0, 12, 4));
  EXPECT_FALSE(bar.is_opaque_at(7, 2, 12, 4));  // middle: column 0 of row 2
  EXPECT_TRUE(bar.is_opaque_at(7, 1, 12, 4));

  // The plain picture centred in 12 x 10 sits at (2, 2).
  EXPECT_FALSE(plain.is_opaque_at(1, 4, 12, 10));  // outside the picture
  EXPECT_FALSE(plain.is_opaque_at(2, 4, 12, 10));  // its transparent column
  EXPECT_TRUE(plain.is_opaque_at(3, 4, 12, 10));
  EXPECT_TRUE(plain.is_opaque_at(9, 7, 12, 10));  // half-transparent counts
  EXPECT_FALSE(plain.is_opaque_at(10, 7, 12, 10));
  // Cut by a 4 x 4 frame, the picture's parts beyond each side answer no; a
  // one-pixel frame shows the picture's middle.
  for (const auto& [px, py] : {std::pair{-1, 2}, std::pair{4, 2}, std::pair{2, -1}, std::pair{2, 4}})
    EXPECT_FALSE(plain.is_opaque_at(px, py, 4, 4)) << px << "," << py;
  EXPECT_TRUE(plain.is_opaque_at(0, 2, 4, 4));
  EXPECT_TRUE(plain.is_opaque_at(0, 0, 1, 1));
}

// ---------------------------------------------------------------------------
// Recolouring

TEST_F(SkinFrame, EveryRecolouringRedrawsTheCompositeAndSparesSharers) {
  IMAGE bar;
  make_solid(bar, 4, 3, 0xFF204080u);
  save("flat", bar);
  const COLOUR from = 0xFF204080u, to = 0xFF00FF00u;
  const COLOUR a = 0xFFFF0000u, b = 0xFF00FF00u, c = 0xFF0000FFu, tint = 0xFF806040u;

  // The colour each operation should give, by the IMAGE operation itself.
  auto expect_colour = [&](int op) {
    IMAGE one;
    make_solid(one, 1, 1, 0xFF204080u);
    if (op == 0) one.replace_colour(&from, &to, false);
    if (op == 1) one.recolour3(&a, &b, &c, false);
    if (op == 2) one.tint(&tint);
    if (op == 3) one.make_grey();
    return pixel(one, 0, 0);
  };

  for (int op = 0; op < 4; ++op) {
    IMAGE_CACHE cache;
    SKIN_FRAME frame(&cache), sharer(&cache);
    ASSERT_TRUE(frame.load(kSkin, "flat", skin_load_flags));
    sharer.copy(frame);
    IMAGE target(20, 20);
    frame.draw(0, 0, 3, 2, 0, &target, BLIT_COPY);
    ASSERT_EQ(pixel(*frame.composite, 1, 1), 0xFF204080u);
    if (op == 0) frame.replace_colour(&from, &to);
    if (op == 1) frame.apply_all3(&a, &b, &c);
    if (op == 2) frame.apply_all2(&tint);
    if (op == 3) frame.make_grey();
    EXPECT_EQ(frame.regenerate, 1) << op;
    const COLOUR want = expect_colour(op);
    EXPECT_NE(want, 0xFF204080u) << op;
    frame.draw(0, 0, 3, 2, 0, &target, BLIT_COPY);  // the same size
    EXPECT_EQ(pixel(*frame.composite, 1, 1), want) << op;
    EXPECT_EQ(pixel(target, 3, 2), want) << op;
    // Stretched to another size, still the new colour.
    frame.draw(0, 0, 7, 5, 1, &target, BLIT_COPY);
    EXPECT_EQ(pixel(*frame.composite, 6, 4), want) << op;
    // The frame that shares the pictures keeps the old colours.
    sharer.draw(0, 0, 3, 2, 0, &target, BLIT_COPY);
    EXPECT_EQ(pixel(*sharer.composite, 1, 1), 0xFF204080u) << op;
    EXPECT_NE(frame.mid_mid, sharer.mid_mid);
    frame.clear();
    sharer.clear();
    EXPECT_TRUE(all_references_returned(cache)) << op;
  }
}

TEST_F(SkinFrame, RecolouredNineSliceAtSeveralSizesKeepsItsColours) {
  IMAGE_CACHE cache(1);
  SKIN_FRAME frame(&cache), plain(&cache);
  ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
  ASSERT_TRUE(plain.load(kSkin, "frm", skin_load_flags));
  IMAGE target(30, 30);
  frame.draw(0, 0, 19, 11, 0, &target, BLIT_COPY);
  frame.make_grey();
  for (int w : {3, 5, 20}) {
    frame.draw(0, 0, static_cast<uint16_t>(w - 1), 11, 0, &target, BLIT_COPY);
    plain.draw(0, 0, static_cast<uint16_t>(w - 1), 11, 0, &target, BLIT_COPY);
    // The greyed pictures, scaled once from their natural size: the frame
    // left alone, greyed pixel by pixel.
    EXPECTED want(w, 12);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < w; ++x) {
        IMAGE one;
        make_solid(one, 1, 1, pixel(*plain.composite, x, y));
        one.make_grey();
        want.at(x, y) = pixel(one, 0, 0);
      }
    EXPECT_TRUE(same_pixels(frame.composite, want)) << w;
  }
  frame.clear();
  plain.clear();
  EXPECT_EQ(cache.entries.count, 0);
}

// ---------------------------------------------------------------------------
// References

TEST_F(SkinFrame, EveryReferenceComesBack) {
  IMAGE colay, solay, tolay;
  make_solid(colay, 2, 2, 0xFFFF0000u);
  make_solid(solay, 2, 2, 0x8000FF00u);
  make_solid(tolay, 2, 2, 0x800000FFu);
  save("frm_colay", colay);
  save("frm_solay", solay);
  save("frm_tolay", tolay);
  IMAGE_CACHE cache(1);
  {
    SKIN_FRAME frame(&cache), copy(&cache);
    ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
    EXPECT_NE(frame.tolay, nullptr);
    copy.copy(frame);
    copy.copy(copy);  // a copy of itself keeps what it has
    EXPECT_EQ(copy.top_left, frame.top_left);
    EXPECT_EQ(cache.get_entry(frame.top_left)->refs, 2);
    IMAGE target(40, 40);
    for (int w : {20, 3, 9, 20}) {
      frame.draw(0, 0, static_cast<uint16_t>(w - 1), 9, 1, &target, BLIT_BLEND);
      copy.draw(0, 0, static_cast<uint16_t>(w), 3, 0, &target, BLIT_BLEND);
    }
    copy.apply_all2(&colay.pixels[0]);
    copy.draw(0, 0, 9, 9, 0, &target, BLIT_BLEND);
    // Loading again returns the old references first.
    ASSERT_TRUE(frame.load(kSkin, "frm", skin_load_flags));
    EXPECT_EQ(frame.composite, nullptr);
    frame.draw(0, 0, 4, 4, 0, &target, BLIT_BLEND);
  }  // both frames return everything as they go
  EXPECT_EQ(cache.entries.count, 0);
}

}  // namespace
