// Pictures drawn into the headless screen: centring, frame and tint, the
// click callbacks driven by the pointer and Return, repeat while held,
// rescaling on resize and loading from a file.
#include "wm_image.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>
#include <vector>

#include "folder.h"
#include "input.h"
#include "input_driver.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "private_x_server.h"
#include "test_support.h"
#include "wm_page_manager.h"
#include "wm_test_objects.h"

namespace {

using wm_test::pixel;

constexpr COLOUR kScreen = 0xFF203040;
constexpr COLOUR kRed = 0xFFFF0000;
constexpr COLOUR kBlue = 0xFF0000FF;

struct CALL {
  int16_t x, y;
  bool left;
};
std::vector<CALL> calls;

int32_t record_click(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  auto* image = static_cast<WM_IMAGE*>(object);
  calls.push_back({image->click_x, image->click_y, (mouse.buttons & MOUSE::LEFT) != 0});
  return 0;
}

// A w x h picture of one colour.
void fill_picture(IMAGE& picture, int16_t w, int16_t h, COLOUR colour) {
  picture.create(w, h);
  picture.fill_rect_solid(0, 0, static_cast<int16_t>(w - 1), static_cast<int16_t>(h - 1), &colour);
}

COLOUR blended(COLOUR under, COLOUR over) {
  IMAGE one(1, 1);
  one.fill_rect_solid(0, 0, 0, 0, &under);
  one.fill_rect(0, 0, 0, 0, &over, true);
  return one.pixels[0];
}

class WmImage : public wm_test::ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    calls.clear();
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &c);
  }
  void TearDown() override {
    fast_image_scaling = true;
    ToolkitTest::TearDown();
  }
  test_support::INPUT_DRIVER input;
};

TEST_F(WmImage, DrawsThePictureCentredWithFrameAndTint) {
  constexpr COLOUR kTint = 0x80FFFFFF;
  struct ROW {
    bool hovered, focused;
    COLOUR highlight;
    uint16_t edges;
    bool tinted;
  };
  const ROW rows[] = {
      {false, false, kTint, 0, false},
      {true, false, kTint, 0, true},
      {false, true, kTint, 0, true},
      {true, true, COLOUR_INVISIBLE, 0, false},
      {false, false, kTint, border_flag::ALL_SIDES, false},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(&row - rows);
    const COLOUR c = kScreen;
    get_screen_image()->fill_rect_solid(0, 0, 199, 149, &c);
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
    EXPECT_EQ(image.mouse_over, row.hovered ? 1 : 0);
    image.draw();
    const COLOUR inside = row.tinted ? blended(kRed, kTint) : kRed;
    EXPECT_EQ(pixel(35, 40), inside);
    EXPECT_EQ(pixel(30, 37), row.edges ? 0xFFFFFFFF : inside);  // raised: light top-left
    EXPECT_EQ(pixel(39, 42), row.edges ? 0xFF808080 : inside);
    const int16_t outside[][2] = {{29, 37}, {40, 42}, {35, 36}, {35, 43}};
    for (const auto& p : outside) EXPECT_EQ(pixel(p[0], p[1]), kScreen);
  }
}

TEST_F(WmImage, CallsBackPerClickMaskWithThePoint) {
  struct ROW {
    uint8_t mask;
    bool repeat;
    int held_frames;
    std::vector<bool> expected;  // left button state of each call
  };
  const ROW rows[] = {
      {image_click::ON_PRESS, false, 3, {true}},
      {image_click::ON_RELEASE, false, 3, {false}},
      {image_click::ON_PRESS | image_click::ON_RELEASE, false, 1, {true, false}},
      {image_click::ON_PRESS, true, 3, {true, true, true}},
      {0, true, 2, {}},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(&row - rows);
    calls.clear();
    WM_IMAGE image(40, 50, 20, 20, true, record_click, 0, 0, row.mask);
    image.repeat_while_held = row.repeat ? 1 : 0;
    input.move_to(47, 53);
    image.process();
    input.press(1);
    for (int i = 0; i < row.held_frames; ++i) image.process();
    input.release(1);
    image.process();
    image.process();
    ASSERT_EQ(calls.size(), row.expected.size());
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].left, row.expected[i]);
      EXPECT_EQ(calls[i].x, 7);
      EXPECT_EQ(calls[i].y, 3);
    }
    EXPECT_EQ(image.click_x, -1);
    EXPECT_EQ(image.click_y, -1);
    input.release(1);
  }
}

TEST_F(WmImage, ReturnClicksTheFocusedPictureAtItsCentre) {
  for (const bool pointer_over : {true, false}) {
    SCOPED_TRACE(pointer_over);
    calls.clear();
    WM_IMAGE image(40, 50, 20, 10, true, record_click, 0, 0, image_click::ON_RELEASE);
    image.selectable = 1;
    image.set_focus();
    input.move_to(pointer_over ? 41 : 120, 51);
    image.process();
    wm_test::held_keys.insert(0xFF0D);
    image.process();
    image.process();
    wm_test::held_keys.clear();
    image.process();
    if (pointer_over) {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].x, 10);
      EXPECT_EQ(calls[0].y, 5);
    } else {
      EXPECT_TRUE(calls.empty());
    }
  }
}

TEST_F(WmImage, ResizingRescalesThePicture) {
  for (const bool fast : {true, false}) {
    SCOPED_TRACE(fast);
    fast_image_scaling = fast;
    WM_IMAGE image(0, 0, 2, 1, true, nullptr, 0, 0, 0);
    fill_picture(image.image, 2, 1, kRed);
    image.image.fill_rect_solid(1, 0, 1, 0, &kBlue);
    image.set_size(8, 1, false);
    ASSERT_EQ(image.image.width, 8);
    ASSERT_EQ(image.image.height, 1);
    int blends = 0;
    for (int i = 0; i < 8; ++i) {
      const COLOUR c = image.image.pixels[i];
      blends += c != kRed && c != kBlue;
    }
    EXPECT_EQ(blends > 0, !fast);  // nearest neighbour keeps pure colours
  }
}

TEST_F(WmImage, UnsizedPictureTakesTheLoadedPicturesSize) {
  test_support::ScratchDir dir;
  IMAGE source;
  fill_picture(source, 12, 7, kBlue);
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(source.save_png(&png));
  ASSERT_TRUE(test_support::write_file(dir.file("logo.png"), png.text()));
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(dir.path().c_str()));

  WM_IMAGE unsized(5, 5, 0, 0, true, nullptr, 0, 0, 0);
  EXPECT_TRUE(unsized.load(folder, "logo"));
  EXPECT_EQ(unsized.width, 12);
  EXPECT_EQ(unsized.height, 7);
  WM_IMAGE sized(5, 5, 24, 14, true, nullptr, 0, 0, 0);
  EXPECT_TRUE(sized.load(folder, "logo.png"));
  EXPECT_EQ(sized.image.width, 24);
  EXPECT_EQ(sized.image.height, 14);
  EXPECT_FALSE(sized.load(folder, "missing"));
  EXPECT_EQ(sized.image.width, 24);  // an empty picture at the object's size

  // A picture put in by hand is fitted by the next tick, not by draw.
  WM_IMAGE by_hand(5, 5, 0, 0, true, nullptr, 0, 0, 0);
  by_hand.image.copy(source);
  by_hand.update(false);
  EXPECT_EQ(by_hand.width, 12);
}

TEST_F(WmImage, APageOfPictures) {
  const struct {
    uint16_t edges;
    uint32_t style;
    bool hovered;
  } looks[] = {{0, 4, false},
               {border_flag::ALL_SIDES, 6, false},
               {border_flag::ALL_SIDES | border_flag::ALL_CORNERS, 2, false},
               {border_flag::ALL_SIDES | border_flag::PRESSED, 5, true}};
  for (int i = 0; i < 4; ++i) {
    WM_IMAGE image(static_cast<int16_t>(10 + 46 * i), 20, 40, 40, true, nullptr, 0, 0, 0);
    fill_picture(image.image, 30, 24, i % 2 ? kBlue : kRed);
    image.image.fill_rect_solid(5, 5, 24, 18, &kScreen);
    image.edge_flags = looks[i].edges;
    image.border_style = looks[i].style;
    image.highlight_colour = 0x60FFFF00;
    image.mouse_over = looks[i].hovered ? 1 : 0;
    image.draw();
  }
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(get_screen_image()->save_png(&png));
  EXPECT_TRUE(
      test_support::write_file(test_support::picture_output_folder() + "/pictures.png", png.text()));
  EXPECT_EQ(pixel(15, 28), kRed);  // 40 x 40 around 30 x 24: from (15, 28)
  EXPECT_EQ(pixel(14, 28), kScreen);
}

// The pointer shape over a picture, with real pointer events on a private
// server: the page manager ends the frame with the hand, the gripping hand
// while the left button is down, or the default shape.
class WmImageX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    server.SetUp();
    probe = XOpenDisplay(nullptr);
    if (!probe) GTEST_SKIP() << "no X display";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(probe, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST";
    ASSERT_TRUE(private_x::open_focused_window(probe, "Picture test", 200, 150));
    Window child = 0;
    XTranslateCoordinates(probe, x11.window, DefaultRootWindow(probe), 0, 0, &window_x,
                          &window_y, &child);
  }
  void TearDown() override {
    manager.reset();
    if (probe) {
      XTestFakeButtonEvent(probe, 1, False, CurrentTime);
      XSync(probe, False);
      close_window(ALL_SCREENS);
      set_idle_wait(50);
      XCloseDisplay(probe);
    }
    server.TearDown();
  }
  static void create_page(WM_PAGE_MANAGER* manager) {
    manager->current_root()->add_child(new WM_IMAGE(50, 40, 30, 20, true, nullptr, 0, 0, 0), false);
  }
  // Moves the real pointer (and button) and waits until the platform saw it.
  void pointer(int px, int py, bool down) {
    XTestFakeMotionEvent(probe, DefaultScreen(probe), window_x + px, window_y + py, CurrentTime);
    XTestFakeButtonEvent(probe, 1, down, CurrentTime);
    ASSERT_TRUE(private_x::pump_frames(probe, [&] {
      return mouse.x == px && mouse.y == py && ((mouse.buttons & MOUSE::LEFT) != 0) == down;
    }));
  }

  private_x::ENVIRONMENT server;
  Display* probe = nullptr;
  int window_x = 0, window_y = 0;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

TEST_F(WmImageX11, HandPointerOverThePicture) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  manager->set_page(0, create_page, nullptr, 0, nullptr, 0, 0, nullptr);
  ASSERT_EQ(manager->frame(false), page_action::SWITCH_PAGE);
  auto* image = static_cast<WM_IMAGE*>(manager->current_root()->get_child(0));
  ASSERT_NE(image, nullptr);
  const struct {
    int px;
    bool down;
    uint8_t hand;
    int8_t shape;
  } rows[] = {{60, false, 1, 1}, {60, true, 1, 2}, {10, false, 1, 0},
              {60, false, 0, 0}, {10, true, 1, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    image->hand_cursor = row.hand;
    pointer(row.px, 50, row.down);
    manager->frame(false);
    EXPECT_EQ(manager->get_cursor_shape(), row.shape);
    EXPECT_EQ(mouse.cursor_shape, row.shape);
  }
}

}  // namespace
