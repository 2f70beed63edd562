#pragma once
// The one font the toolkit's text tests draw with: the system's DejaVu Sans
// as the default font of an otherwise empty font table. Load it before a
// scratch system root hides the system's font folder; FONT::shutdown ends it.
// TextSkinTest adds a scratch skin and a clean headless screen around it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dirty_rectangles.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "screen.h"
#include "skin_test_support.h"
#include "test_support.h"
#include "wm_screen_object.h"
#include "wm_test_objects.h"

namespace wm_test {

inline ::testing::AssertionResult load_test_font() {
  clear_load_builtin_fonts();
  FONT::init();
  FOLDER fonts;
  if (!fonts.set_absolute(get_system_font_folder()))
    return ::testing::AssertionFailure() << "no font folder " << get_system_font_folder();
  if (FONT::load("DejaVuSans.ttf", "Sans", FONT_DEFAULT, &fonts) != FONT_DEFAULT)
    return ::testing::AssertionFailure() << "DejaVuSans.ttf did not load as the default font";
  return ::testing::AssertionSuccess();
}

// The screen as a PNG in the test output folder, for a person to look at.
inline void save_screen(const std::string& name) {
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(get_screen_image()->save_png(&png));
  EXPECT_TRUE(test_support::write_file(test_support::picture_output_folder() + "/" + name,
                                       png.text()));
}

// The test font, a scratch skin folder, a w x h headless screen as the
// drawing surface, the held-key set as the key seam, no focus and the
// default border theme.
class TextSkinTest : public test_support::ScratchSkinTest {
protected:
  TextSkinTest(const char* program, int16_t w, int16_t h)
      : ScratchSkinTest(program), screen_w(w), screen_h(h) {}
  void SetUp() override {
    ASSERT_TRUE(load_test_font());
    ScratchSkinTest::SetUp();
    set_screen_size(0, 0);
    set_screen_size(screen_w, screen_h);
    dirty_rectangles().clear();
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    WM_SCREEN_OBJECT::set_key_down_function(fake_key_down);
    WM_SCREEN_OBJECT::focus_object = nullptr;
    held_keys.clear();
    border_theme = WM_BORDER_THEME{};
  }
  void TearDown() override {
    WM_SCREEN_OBJECT::set_key_down_function(nullptr);
    FONT::shutdown();
    ScratchSkinTest::TearDown();
  }
  // Saves the picture as the PNG file of that name in the skin folder.
  void save_png(const std::string& name, const IMAGE& picture) {
    DATA_FILE* file = skin.open_data_file(name.c_str(), 1, 0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(picture.save_png(file));
    ASSERT_TRUE(FOLDER::close_data_file(file));
  }
  // Saves a w x 4 picture of one colour under that file name in the skin folder.
  void save_solid_png(const std::string& file_name, COLOUR colour, int16_t w = 4) {
    IMAGE picture(w, 4);
    picture.fill_rect_solid(0, 0, static_cast<int16_t>(w - 1), 3, &colour);
    save_png(file_name, picture);
  }
  // The screen pixels of the object's rectangle, row by row.
  static std::vector<COLOUR> pixels_of(const WM_SCREEN_OBJECT& o) {
    std::vector<COLOUR> out;
    for (int py = o.y; py < o.y + o.height; ++py)
      for (int px = o.x; px < o.x + o.width; ++px)
        out.push_back(pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)));
    return out;
  }
  // The object's pixels once it has drawn itself.
  static std::vector<COLOUR> drawn(WM_SCREEN_OBJECT& o) {
    o.draw();
    return pixels_of(o);
  }

  int16_t screen_w;
  int16_t screen_h;
};

}  // namespace wm_test
