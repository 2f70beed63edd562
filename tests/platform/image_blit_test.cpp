// IMAGE::blit in its four combining modes, pixel by pixel against the
// blending rule computed here per channel; clipping for every mode; blocks
// within one image; and the copies that name their target (blit_region,
// draw, grab).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image.h"
#include "image_test_support.h"
#include "window.h"

using namespace image_test_support;

namespace {

// A source row with the alphas that matter: 0, 1, 100, 249, 250, 255.
void make_alpha_row(IMAGE& source) {
  source.create(6, 1);
  const uint32_t alphas[6] = {0, 1, 100, 249, 250, 255};
  for (int i = 0; i < 6; ++i) at(source, i, 0) = alphas[i] << 24 | 0x00C08040u | (i * 3u);
}

}  // namespace

TEST(ImageBlitModes, BlendFollowsTheRuleAtEveryAlpha) {
  IMAGE source;
  make_alpha_row(source);
  for (uint8_t mode : {BLIT_BLEND, uint8_t{4}, uint8_t{200}}) {
    IMAGE dest(6, 1);
    fill_pattern(dest, 0x7F224466u);
    IMAGE before;
    before.copy(dest);
    dest.blit(&source, 0, 0, 0, 0, 6, 1, mode);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(at(dest, i, 0), expected_blend(at(before, i, 0), at(source, i, 0)))
          << "mode " << int(mode) << " pixel " << i;
    }
    // 249 keeps the destination's alpha, 250 brings the source's.
    EXPECT_EQ(at(dest, 3, 0) >> 24, at(before, 3, 0) >> 24);
    EXPECT_EQ(at(dest, 4, 0), at(source, 4, 0));
    EXPECT_EQ(at(dest, 0, 0), at(before, 0, 0));
  }
}

TEST(ImageBlitModes, WideBlocksBlendEveryPixelByTheRule) {
  // Pseudo-random pixels with the telling alphas mixed in, over rows long
  // enough for the four-at-a-time path and an odd tail.
  IMAGE source(37, 5), dest(37, 5);
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state ^ (state >> 13);
  };
  const uint32_t telling[] = {0, 1, 100, 249, 250, 255};
  for (size_t k = 0; k < source.pixel_count; ++k) {
    uint32_t r = next();
    source.pixels[k] = (r % 3 == 0 ? telling[r % 6] << 24 : r & 0xFF000000u) | (next() & 0xFFFFFFu);
    dest.pixels[k] = next();
  }
  IMAGE before;
  before.copy(dest);
  dest.blit(&source, 0, 0, 0, 0, 37, 5, BLIT_BLEND);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 37; ++i)
      ASSERT_EQ(at(dest, i, j), expected_blend(at(before, i, j), at(source, i, j)))
          << i << "," << j;
}

TEST(ImageBlitModes, CopyTakesEveryBitIncludingAlpha) {
  IMAGE source;
  make_alpha_row(source);
  IMAGE dest(6, 1);
  fill_pattern(dest, 0x7F224466u);
  dest.blit(&source, 0, 0, 0, 0, 6, 1, BLIT_COPY);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(at(dest, i, 0), at(source, i, 0));
}

TEST(ImageBlitModes, AlphaMaskFromAnInvisibleSourceClearsAlphaAndKeepsColours) {
  IMAGE source(4, 3);
  fill_pattern(source, 0x00405060u);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 4; ++i) at(source, i, j) &= 0x00FFFFFFu;
  IMAGE dest(5, 4);
  fill_pattern(dest, 0xC0112233u);
  IMAGE before;
  before.copy(dest);
  dest.blit(&source, 0, 0, 1, 1, 4, 3, BLIT_ALPHA_MASK);
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 5; ++i) {
      bool inside = i >= 1 && j >= 1;
      uint32_t expected = inside ? at(before, i, j) & 0x00FFFFFFu : at(before, i, j);
      EXPECT_EQ(at(dest, i, j), expected) << i << "," << j;
    }
  }
}

TEST(ImageBlitModes, AlphaMaskMakesVisibleSourcePixelsOpaque) {
  IMAGE source;
  make_alpha_row(source);
  IMAGE dest(6, 1);
  fill_pattern(dest, 0x40224466u);
  IMAGE before;
  before.copy(dest);
  dest.blit(&source, 0, 0, 0, 0, 6, 1, BLIT_ALPHA_MASK);
  EXPECT_EQ(at(dest, 0, 0), at(before, 0, 0) & 0x00FFFFFFu);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(at(dest, i, 0), at(before, i, 0) | 0xFF000000u) << i;
}

TEST(ImageBlitModes, AlphaMultiplyScalesTheDestinationAlpha) {
  const uint32_t dest_alphas[] = {255, 255, 128, 128, 0, 200, 1};
  const uint32_t source_alphas[] = {255, 0, 128, 255, 255, 3, 254};
  const int n = 7;
  IMAGE source(n, 1), dest(n, 1);
  for (int i = 0; i < n; ++i) {
    at(source, i, 0) = source_alphas[i] << 24 | 0x00ABCDEFu;
    at(dest, i, 0) = dest_alphas[i] << 24 | (0x00102030u + static_cast<uint32_t>(i));
  }
  dest.blit(&source, 0, 0, 0, 0, n, 1, BLIT_ALPHA_MULTIPLY);
  for (int i = 0; i < n; ++i) {
    uint32_t alpha = dest_alphas[i] * source_alphas[i] / 255;  // floor
    EXPECT_EQ(at(dest, i, 0), alpha << 24 | (0x00102030u + static_cast<uint32_t>(i))) << i;
  }
  // 128 x 128 / 255 = 64.25 rounds down.
  EXPECT_EQ(at(dest, 2, 0) >> 24, 64u);
}

TEST(ImageBlitClipping, EveryModeStaysInsideTheClipAndMarksOnlyTheCut) {
  IMAGE source(6, 6);
  fill_pattern(source, 0x80102030u);
  for (uint8_t mode : {BLIT_BLEND, BLIT_COPY, BLIT_ALPHA_MASK, BLIT_ALPHA_MULTIPLY}) {
    IMAGE dest(8, 8);
    fill_pattern(dest, 0xF0405060u);
    dest.set_clip_rect(2, 3, 5, 6);
    reset_dirty(dest);
    IMAGE before;
    before.copy(dest);
    // Starts left of and above the clip and runs past its right and bottom.
    dest.blit(&source, 0, 0, 0, 1, 6, 6, mode);
    for (int j = 0; j < 8; ++j) {
      for (int i = 0; i < 8; ++i) {
        bool inside = i >= 2 && i <= 5 && j >= 3 && j <= 6;
        if (!inside) {
          EXPECT_EQ(at(dest, i, j), at(before, i, j))
              << "mode " << int(mode) << " " << i << "," << j;
        }
      }
    }
    // The corners of the clip get the source pixels that line up with them.
    if (mode == BLIT_COPY) {
      EXPECT_EQ(at(dest, 2, 3), at(source, 2, 2));
      EXPECT_EQ(at(dest, 5, 6), at(source, 5, 5));
    } else if (mode == BLIT_BLEND) {
      EXPECT_EQ(at(dest, 2, 3), expected_blend(at(before, 2, 3), at(source, 2, 2)));
      EXPECT_EQ(at(dest, 5, 6), expected_blend(at(before, 5, 6), at(source, 5, 5)));
    }
    EXPECT_EQ(dirty(dest), (std::vector<int>{2, 3, 5, 6})) << "mode " << int(mode);
  }
}

TEST(ImageBlitClipping, NothingHappensWithoutAnythingToDrawOn) {
  IMAGE source(3, 3);
  fill_pattern(source, 0x80102030u);

  IMAGE empty_clip(4, 4);
  empty_clip.clip_x1 = empty_clip.clip_x2 = empty_clip.clip_y1 = empty_clip.clip_y2 = -1;
  reset_dirty(empty_clip);
  empty_clip.blit(&source, 0, 0, 0, 0, 3, 3, BLIT_BLEND);
  for (size_t k = 0; k < empty_clip.pixel_count; ++k) EXPECT_EQ(empty_clip.pixels[k], 0u);
  EXPECT_EQ(dirty(empty_clip), (std::vector<int>{65535, 65535, 65535, 65535}));

  // A clip field pointing past the buffer is cut to the image.
  IMAGE stray(4, 4);
  stray.clip_x2 = 200;
  stray.clip_y2 = 300;
  stray.blit(&source, 0, 0, 2, 2, 3, 3, BLIT_COPY);
  EXPECT_EQ(at(stray, 3, 3), at(source, 1, 1));

  // A source without pixels and negative sizes do nothing.
  IMAGE blank, dest(4, 4);
  dest.blit(&blank, 0, 0, 0, 0, 3, 3, BLIT_BLEND);
  dest.blit(&source, 0, 0, 0, 0, -3, 3, BLIT_BLEND);
  dest.blit(&source, 0, 0, 0, 0, 3, 0, BLIT_BLEND);
  for (size_t k = 0; k < dest.pixel_count; ++k) EXPECT_EQ(dest.pixels[k], 0u);
}

TEST(ImageBlitClipping, SourceCoordinatesCountFromTheSourceTopLeftWhateverItsOrigin) {
  IMAGE source(4, 4);
  source.x = 50;
  source.y = 60;
  fill_pattern(source, 0xFF000000u);
  IMAGE dest(4, 4);
  dest.blit(&source, 1, 2, 0, 0, 4, 4, BLIT_COPY);
  EXPECT_EQ(at(dest, 0, 0), source.pixels[2 * source.stride + 1]);
  EXPECT_EQ(at(dest, 2, 1), source.pixels[3 * source.stride + 3]);
  EXPECT_EQ(at(dest, 3, 0), 0u);  // cut to the source's width
  EXPECT_EQ(at(dest, 0, 2), 0u);  // and height
}

// Blocks moved within one image in each direction give the same pixels as
// from an untouched copy of it.
TEST(ImageBlitOverlap, EveryModeWithinOneImageReadsTheOriginalPixels) {
  struct MOVE {
    int sx, sy, dx, dy;
  };
  const MOVE moves[] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}, {0, 1, 0, 0},
                        {0, 0, 2, 1}, {2, 1, 0, 0}, {1, 1, 1, 1}};
  for (uint8_t mode : {BLIT_BLEND, BLIT_COPY, BLIT_ALPHA_MASK, BLIT_ALPHA_MULTIPLY}) {
    for (const MOVE& m : moves) {
      IMAGE image(6, 5);
      fill_pattern(image, 0x5A102030u);
      IMAGE original, expected;
      original.copy(image);
      expected.copy(image);
      expected.blit(&original, static_cast<int16_t>(m.sx), static_cast<int16_t>(m.sy),
                    static_cast<int16_t>(m.dx), static_cast<int16_t>(m.dy), 4, 4, mode);
      image.blit(&image, static_cast<int16_t>(m.sx), static_cast<int16_t>(m.sy),
                 static_cast<int16_t>(m.dx), static_cast<int16_t>(m.dy), 4, 4, mode);
      for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 6; ++i)
          ASSERT_EQ(at(image, i, j), at(expected, i, j))
              << "mode " << int(mode) << " move " << m.sx << "," << m.sy << "->" << m.dx << ","
              << m.dy << " at " << i << "," << j;
    }
  }
}

TEST(ImageBlitTargets, BlitRegionDrawAndGrabAddressTheirTargets) {
  IMAGE picture(4, 3);
  fill_pattern(picture, 0xFF000000u);

  // blit_region: destination position first, then the source block.
  IMAGE target(8, 8);
  picture.blit_region(5, 6, 1, 1, 2, 2, &target, BLIT_COPY);
  EXPECT_EQ(at(target, 5, 6), at(picture, 1, 1));
  EXPECT_EQ(at(target, 6, 7), at(picture, 2, 2));
  EXPECT_EQ(at(target, 4, 6), 0u);
  EXPECT_EQ(at(target, 7, 6), 0u);

  // draw: the whole picture, here blended.
  IMAGE canvas(8, 8);
  fill_pattern(canvas, 0x20304050u);
  IMAGE before;
  before.copy(canvas);
  IMAGE glass(2, 2);
  for (size_t k = 0; k < glass.pixel_count; ++k) glass.pixels[k] = 0x80FF0000u;
  glass.draw(3, 4, &canvas, BLIT_BLEND);
  EXPECT_EQ(at(canvas, 3, 4), expected_blend(at(before, 3, 4), 0x80FF0000u));
  EXPECT_EQ(at(canvas, 4, 5), expected_blend(at(before, 4, 5), 0x80FF0000u));
  EXPECT_EQ(at(canvas, 5, 5), at(before, 5, 5));

  // grab: the block at (x, y) of the source, of this image's size, into
  // this image at its origin.
  IMAGE piece(2, 2);
  piece.x = 30;
  piece.y = 40;
  piece.set_clip_rect(30, 40, 31, 41);
  piece.grab(1, 0, &picture, BLIT_COPY);
  EXPECT_EQ(at(piece, 30, 40), at(picture, 1, 0));
  EXPECT_EQ(at(piece, 31, 41), at(picture, 2, 1));
}

TEST(ImageBlitTargets, TheImageItselfAndAMissingScreenDrawNothing) {
  IMAGE picture(4, 4);
  fill_pattern(picture, 0xFF000000u);
  IMAGE before;
  before.copy(picture);
  picture.draw(1, 1, &picture, BLIT_COPY);
  picture.blit_region(1, 1, 0, 0, 2, 2, &picture, BLIT_COPY);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(at(picture, i, j), at(before, i, j));

  // No window is open in a test: the screen image has no pixels, so a null
  // target or source changes nothing.
  picture.draw(0, 0, nullptr, BLIT_COPY);
  picture.blit_region(0, 0, 0, 0, 2, 2, nullptr, BLIT_COPY);
  picture.grab(0, 0, nullptr, BLIT_COPY);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(at(picture, i, j), at(before, i, j));
}

TEST(ImageBlitTargets, NullTargetsAndSourcesAreTheScreenImage) {
  // The screen image exists before any window; sized here by hand, it takes
  // the copies that name no target.
  IMAGE* screen = get_screen_image(0);
  ASSERT_NE(screen, nullptr);
  screen->create(6, 6);
  IMAGE picture(2, 2);
  fill_pattern(picture, 0xFF000000u);
  picture.draw(1, 2, nullptr, BLIT_COPY);
  EXPECT_EQ(at(*screen, 1, 2), at(picture, 0, 0));
  EXPECT_EQ(at(*screen, 2, 3), at(picture, 1, 1));
  picture.blit_region(4, 0, 1, 0, 1, 2, nullptr, BLIT_COPY);
  EXPECT_EQ(at(*screen, 4, 0), at(picture, 1, 0));
  EXPECT_EQ(at(*screen, 4, 1), at(picture, 1, 1));

  IMAGE grabbed(2, 2);
  grabbed.grab(1, 2, nullptr, BLIT_COPY);
  EXPECT_EQ(at(grabbed, 0, 0), at(picture, 0, 0));
  EXPECT_EQ(at(grabbed, 1, 1), at(picture, 1, 1));
  screen->create(0, 0);
}
