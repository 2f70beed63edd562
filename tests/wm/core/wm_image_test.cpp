// Pictures drawn into the headless screen: centring, frame and tint, the
// click callbacks driven by the pointer and Return, repeat while held,
// fitting on resize and on loading, and the hand pointer on a real server.
#include "wm_image.h"

#include <gtest/gtest.h>


#include <memory>
#include <string>

#include "folder.h"
#include "input.h"
#include "input_driver.h"
#include "memory_device.h"
#include "x11_fixture.h"
#include "test_support.h"
#include "wm_page_manager.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

constexpr COLOUR kScreen = 0xFF203040;
constexpr COLOUR kRed = 0xFFFF0000;
constexpr COLOUR kBlue = 0xFF0000FF;

// Each call as "P" (left down) or "R", then the click point.
std::string calls;
int32_t record_click(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  auto* image = static_cast<WM_IMAGE*>(object);
  calls += ((mouse.buttons & MOUSE::LEFT) ? "P" : "R") + std::to_string(image->click_x) + "," +
           std::to_string(image->click_y) + " ";
  return 0;
}

void fill_picture(IMAGE& picture, int16_t w, int16_t h, COLOUR colour) {
  picture.create(w, h);
  picture.fill_rect_solid(0, 0, static_cast<int16_t>(w - 1), static_cast<int16_t>(h - 1), &colour);
}

class WmImage : public wm_test::ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    calls.clear();
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &kScreen);
  }
  void TearDown() override {
    fast_image_scaling = true;
    ToolkitTest::TearDown();
  }
  test_support::INPUT_DRIVER input;
};

TEST_F(WmImage, DrawsThePictureCentredWithFrameAndTint) {
  constexpr COLOUR kTint = 0x80FFFFFF;
  IMAGE tinted(1, 1);
  tinted.fill_rect_solid(0, 0, 0, 0, &kRed);
  tinted.fill_rect(0, 0, 0, 0, &kTint, true);
  const struct {
    bool hovered, focused;
    COLOUR highlight;
    uint16_t edges;
    bool tinted;
  } rows[] = {{false, false, kTint, 0, false},
              {true, false, kTint, 0, true},
              {false, true, kTint, 0, true},
              {true, true, COLOUR_INVISIBLE, 0, false},
              {false, false, kTint, border_flag::ALL_SIDES, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    // 10 x 6 in 31 x 20 at (20, 30): the picture lies at (30, 37)..(39, 42).
    WM_IMAGE image(20, 30, 31, 20, true, nullptr, 0, 0, 0);
    fill_picture(image.image, 10, 6, kRed);
    image.highlight_colour = row.highlight;
    image.edge_flags = row.edges;
    image.border_style = 4;
    image.selectable = 1;
    if (row.focused) image.set_focus();
    input.move_to(row.hovered ? 25 : 100, 32);
    image.process();
    image.draw();
    const COLOUR inside = row.tinted ? tinted.pixels[0] : kRed;
    EXPECT_EQ(pixel(35, 40), inside);
    EXPECT_EQ(pixel(30, 37), row.edges ? 0xFFFFFFFF : inside);  // raised: light top-left
    EXPECT_EQ(pixel(39, 42), row.edges ? 0xFF808080 : inside);
    const int16_t outside[][2] = {{29, 37}, {40, 42}, {35, 36}, {35, 43}};
    for (const auto& p : outside) EXPECT_EQ(pixel(p[0], p[1]), kScreen);
  }
}

TEST_F(WmImage, CallsBackPerClickMaskWithThePoint) {
  using namespace image_click;
  const struct {
    uint8_t mask;
    bool repeat, by_return;
    int pointer_x;
    const char* expected;
  } rows[] = {{ON_PRESS, false, false, 47, "P7,3 "},
              {ON_RELEASE, false, false, 47, "R7,3 "},
              {ON_PRESS | ON_RELEASE, false, false, 47, "P7,3 R7,3 "},
              {ON_PRESS, true, false, 47, "P7,3 P7,3 P7,3 "},
              {0, true, false, 47, ""},
              {ON_PRESS | ON_RELEASE, false, false, 100, ""},
              {ON_RELEASE, false, true, 41, "R10,5 "},  // Return: the centre
              {ON_RELEASE, false, true, 100, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    calls.clear();
    WM_IMAGE image(40, 50, 20, 10, true, record_click, 0, 0, row.mask);
    image.repeat_while_held = row.repeat ? 1 : 0;
    image.selectable = 1;
    image.set_focus();
    input.move_to(row.pointer_x, 53);
    image.process();
    if (row.by_return) wm_test::held_keys.insert(0xFF0D);
    if (!row.by_return) input.press(1);
    for (int i = 0; i < 3; ++i) image.process();
    wm_test::held_keys.clear();
    input.release(1);
    image.process();
    image.process();
    EXPECT_EQ(calls, row.expected);
    EXPECT_EQ(image.click_x, -1);
    EXPECT_EQ(image.click_y, -1);
  }
}

TEST_F(WmImage, FitsThePictureToItsSize) {
  for (const bool fast : {true, false}) {
    SCOPED_TRACE(fast);
    fast_image_scaling = fast;
    WM_IMAGE image(0, 0, 2, 1, true, nullptr, 0, 0, 0);
    fill_picture(image.image, 2, 1, kRed);
    image.image.fill_rect_solid(1, 0, 1, 0, &kBlue);
    image.set_size(8, 1, false);
    ASSERT_EQ(image.image.width, 8);
    int blends = 0;
    for (int i = 0; i < 8; ++i) {
      blends += image.image.pixels[i] != kRed && image.image.pixels[i] != kBlue;
    }
    EXPECT_EQ(blends > 0, !fast);  // nearest neighbour keeps pure colours
  }

  test_support::ScratchDir dir;
  IMAGE source;
  fill_picture(source, 12, 7, kBlue);
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(source.save_png(&png));
  ASSERT_TRUE(test_support::write_file(dir.file("logo.png"), png.text()));
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(dir.path().c_str()));
  // A side of 0 or 65535 takes the picture's size.
  for (const auto& [w, h] : {std::pair{0, 0}, {65535, 9}, {9, 65535}}) {
    WM_IMAGE unsized(5, 5, static_cast<uint16_t>(w), static_cast<uint16_t>(h), true, nullptr, 0, 0, 0);
    EXPECT_TRUE(unsized.load(folder, "logo"));
    EXPECT_EQ(unsized.width * 100 + unsized.height, 1207) << w << "x" << h;
  }
  WM_IMAGE sized(5, 5, 24, 14, true, nullptr, 0, 0, 0);
  EXPECT_TRUE(sized.load(folder, "logo.png"));
  EXPECT_EQ(sized.image.width * 100 + sized.image.height, 2414);
  EXPECT_FALSE(sized.load(folder, "missing"));
  EXPECT_EQ(sized.image.width, 24);  // an empty picture at the object's size
  // A picture put in by hand is fitted by the next tick, not by draw.
  WM_IMAGE by_hand(5, 5, 0, 0, true, nullptr, 0, 0, 0);
  by_hand.image.copy(source);
  by_hand.update(false);
  EXPECT_EQ(by_hand.width, 12);
  // Also one that differs from the last only in width.
  fill_picture(source, 12, 14, kBlue);
  sized.image.copy(source);
  sized.update(false);
  EXPECT_EQ(sized.image.width * 100 + sized.image.height, 2414);
}

TEST_F(WmImage, APageOfPictures) {
  const uint16_t edges[] = {0, border_flag::ALL_SIDES, 0xFF,
                            border_flag::ALL_SIDES | border_flag::PRESSED};
  for (int i = 0; i < 4; ++i) {
    WM_IMAGE image(static_cast<int16_t>(10 + 46 * i), 20, 40, 40, true, nullptr, 0, 0, 0);
    fill_picture(image.image, 30, 24, i % 2 ? kBlue : kRed);
    image.image.fill_rect_solid(5, 5, 24, 18, &kScreen);
    image.edge_flags = edges[i];
    image.border_style = static_cast<uint32_t>(i + 3);
    image.highlight_colour = 0x60FFFF00;
    image.mouse_over = i == 3;
    image.draw();
  }
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "pictures", *get_screen_image()));
  EXPECT_EQ(pixel(15, 28), kRed);  // 40 x 40 around 30 x 24: from (15, 28)
  EXPECT_EQ(pixel(14, 28), kScreen);
}

// The pointer shape over a picture with real pointer events on a private
// server: the frame ends with the hand, the gripping hand while the left
// button is down, or the default shape.
class WmImageX11 : public private_x::WINDOW_TEST {
 protected:
  WmImageX11() : WINDOW_TEST("Picture test", 200, 150) {}
  void SetUp() override {
    server.SetUp();
    WINDOW_TEST::SetUp();
  }
  void TearDown() override {
    WINDOW_TEST::TearDown();
    server.TearDown();
  }
  private_x::ENVIRONMENT server;
};

TEST_F(WmImageX11, HandPointerOverThePicture) {
  auto manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  auto* image = new WM_IMAGE(50, 40, 30, 20, true, nullptr, 0, 0, 0);
  EXPECT_EQ(image->hand_cursor, 0);  // no hand unless asked for
  manager->current_root()->add_child(image, false);
  const struct {
    int px;
    bool down;
    uint8_t hand;
    int8_t shape;
  } rows[] = {{60, false, 1, 1}, {60, true, 1, 2}, {10, false, 1, 0}, {60, false, 0, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    image->hand_cursor = row.hand;
    move(row.px, 50);
    button(row.down);
    ASSERT_TRUE(pump([&] {
      return mouse.x == row.px && ((mouse.buttons & MOUSE::LEFT) != 0) == row.down;
    }));
    manager->frame(false);
    EXPECT_EQ(manager->get_cursor_shape(), row.shape);
  }
  manager.reset();
}

}  // namespace
