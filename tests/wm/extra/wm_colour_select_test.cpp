// The colour picker on the headless screen, driven through its controls'
// callback: swatches, field and strip positions (border clicks ignored),
// typed numbers and colour texts, the pixels of the field, the strip and
// the preview against the colour functions, and the OK/Cancel protocol.
// Real clicks, typing and drags: the X test.
#include "wm_colour_select.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "input_driver.h"
#include "wm_button.h"
#include "wm_image.h"
#include "wm_page_manager.h"
#include "wm_test_fonts.h"
#include "wm_text_edit.h"

namespace {

using ID = WM_COLOUR_SELECT::CONTROL;

std::vector<uintptr_t> heard;
int32_t hear(WM_SCREEN_OBJECT*, uintptr_t word, uintptr_t result) {
  EXPECT_EQ(word, 77u);
  heard.push_back(result);
  return 9;
}

class ColourSelect : public wm_test::TextSkinTest {
protected:
  ColourSelect() : TextSkinTest("colour_select_test", 800, 600) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    heard.clear();
    dialog = new WM_COLOUR_SELECT(-1, -1, hear, 77);
  }
  void TearDown() override {
    delete dialog;
    TextSkinTest::TearDown();
  }
  int32_t control(WM_SCREEN_OBJECT* o, uintptr_t id) {
    return WM_COLOUR_SELECT::on_control(o, id, reinterpret_cast<uintptr_t>(dialog));
  }
  // Types the text into the entry and "presses Return" on it.
  void type(uint32_t id, const char* text) {
    WM_TEXT_EDIT* e = dialog->get_entry(id);
    e->set_text(text);
    control(e, id);
  }
  int32_t click(WM_IMAGE* image, uint32_t id, int px, int py) {
    image->click_x = static_cast<int16_t>(px);
    image->click_y = static_cast<int16_t>(py);
    const int32_t r = control(image, id);
    image->click_x = image->click_y = -1;
    return r;
  }
  std::string shown(uint32_t id) const { return dialog->get_entry(id)->get_text(); }
  COLOUR colour() const {
    COLOUR c = 0;
    dialog->get_colour(&c);
    return c;
  }
  // The picture pixel inside the frame at inner column i, row j.
  static COLOUR at(const WM_IMAGE* image, int32_t px, int32_t py) {
    COLOUR c = 0;
    image->image.get_pixel(static_cast<int16_t>(px), static_cast<int16_t>(py), &c);
    return c;
  }

  WM_COLOUR_SELECT* dialog = nullptr;
};

}  // namespace

TEST_F(ColourSelect, StartsOpaqueBlackWithEveryEntryWritten) {
  EXPECT_EQ(colour(), 0xFF000000u);
  EXPECT_EQ(shown(ID::ID_HEX), "#FF000000");
  EXPECT_EQ(shown(ID::ID_ALPHA), "255");
  EXPECT_EQ(dialog->width, 439);
  EXPECT_NE(dialog->kind & wm_kind::COLOUR_SELECT, 0u);
  EXPECT_STREQ(dialog->get_text(), "Select a Colour");
  // The client area ends at the bottom of the OK button.
  const WM_MANAGER* client = dialog->get_client();
  EXPECT_EQ(client->y + client->height, dialog->get_ok()->y + dialog->get_ok()->height);
  // Both buttons 115 wide (as "Cancel" needs in the test font), at a third
  // and two thirds of the 439 - 2 x 114 = 211 pixels they leave over.
  EXPECT_EQ(dialog->get_ok()->x - client->x, 70);
  EXPECT_EQ(dialog->get_cancel()->x - client->x, 140 + 114);
  EXPECT_EQ(dialog->get_cancel()->width, 115);
}

TEST_F(ColourSelect, EverySwatchSetsItsColourAndTheEntriesShowIt) {
  for (int i = 0; i < WM_COLOUR_SELECT::SWATCH_COUNT; ++i) {
    WM_BUTTON* swatch = dialog->get_swatch(i);
    const COLOUR c = WM_COLOUR_SELECT::swatch_colours[i];
    EXPECT_EQ(control(swatch, swatch->action_word_1), 0);
    EXPECT_EQ(colour(), c) << i;
    EXPECT_EQ(shown(ID::ID_RED), std::to_string((c >> 16) & 0xFF));
    EXPECT_EQ(shown(ID::ID_GREEN), std::to_string((c >> 8) & 0xFF));
    EXPECT_EQ(shown(ID::ID_BLUE), std::to_string(c & 0xFF));
  }
  const COLOUR red = 0xFFFF0000;
  dialog->set_colour(&red);
  const std::vector<std::string> entries{shown(ID::ID_RED), shown(ID::ID_GREEN), shown(ID::ID_BLUE),
                                         shown(ID::ID_ALPHA), shown(ID::ID_HEX)};
  EXPECT_EQ(entries, (std::vector<std::string>{"255", "0", "0", "255", "#FFFF0000"}));
}

TEST_F(ColourSelect, TypedNumbersTakeTheirLowByteAndNonNumbersAreIgnored) {
  type(ID::ID_RED, "300");
  EXPECT_EQ(shown(ID::ID_RED), "44");
  EXPECT_EQ((colour() >> 16) & 0xFF, 44u);
  type(ID::ID_GREEN, "abc");  // ignored: the entry is rewritten as it was
  EXPECT_EQ(shown(ID::ID_GREEN), "0");
  type(ID::ID_BLUE, "  17x");
  EXPECT_EQ(colour() & 0xFFFFFFu, 0x2C0011u);  // red and green kept, blue typed
  type(ID::ID_ALPHA, "100");
  EXPECT_EQ(dialog->get_alpha(), 100);
  EXPECT_EQ(colour() >> 24, 100u);
  type(ID::ID_ALPHA, "999");  // the alpha keeps to its limits
  EXPECT_EQ(dialog->get_alpha(), 255);
}

TEST_F(ColourSelect, TypedHueSaturationAndLevelAreFractionsShownWithinTheirRange) {
  type(ID::ID_HUE, "85");
  type(ID::ID_SATURATION, "255");
  type(ID::ID_LEVEL, "300");  // above 1: the colour functions decide, the entry says 255
  EXPECT_DOUBLE_EQ(dialog->get_hue(), 85 / 255.0);
  EXPECT_DOUBLE_EQ(dialog->get_level(), 300 / 255.0);
  EXPECT_EQ(shown(ID::ID_HUE), "85");
  EXPECT_EQ(shown(ID::ID_LEVEL), "255");
  type(ID::ID_LEVEL, "128");
  COLOUR expected = 0;
  ahsl_to_colour(&expected, 1.0, 85 / 255.0, 1.0, 128 / 255.0);
  EXPECT_EQ(colour(), expected);
}

TEST_F(ColourSelect, TheHexEntryTakesEveryColourTextAndItsAlpha) {
  struct CASE {
    const char* text;
    COLOUR expected;
  };
  for (const CASE& c : {CASE{"#8000FF00", 0x8000FF00u}, CASE{"&255,0,0,9", 0xFF000009u}}) {
    COLOUR parsed = 0xFF000000;
    colour_from_string(&parsed, c.text);
    ASSERT_EQ(parsed, c.expected) << c.text;
    type(ID::ID_HEX, c.text);
    EXPECT_EQ(colour(), c.expected) << c.text;
    EXPECT_EQ(dialog->get_alpha(), c.expected >> 24);
    char hex[16];
    std::snprintf(hex, sizeof hex, "#%08X", c.expected);
    EXPECT_EQ(shown(ID::ID_HEX), hex);
  }
}

TEST_F(ColourSelect, FieldAndStripClicksInsideTheFramePickAndBorderClicksDoNot) {
  WM_IMAGE* field = dialog->get_field();
  WM_IMAGE* strip = dialog->get_strip();
  const int32_t b = dialog->get_inset();
  ASSERT_GT(b, 0);
  const int32_t w = field->width - 2 * b, h = field->height - 2 * b;
  click(field, ID::ID_FIELD, b + w / 4, b + h / 2);
  EXPECT_DOUBLE_EQ(dialog->get_hue(), (w / 4) / static_cast<double>(w));
  EXPECT_DOUBLE_EQ(dialog->get_saturation(), (h / 2) / static_cast<double>(h));
  const int32_t sh = strip->height - 2 * b;
  click(strip, ID::ID_STRIP, strip->width / 2, b + sh / 3);
  EXPECT_DOUBLE_EQ(dialog->get_level(), (sh / 3) / static_cast<double>(sh));
  // The frame's inner edges are the ends of each range: b gives 0, the
  // width or height less b gives 1.
  click(field, ID::ID_FIELD, b, field->height - b);
  EXPECT_EQ(dialog->get_hue(), 0.0);
  EXPECT_EQ(dialog->get_saturation(), 1.0);
  click(strip, ID::ID_STRIP, b, b);
  EXPECT_EQ(dialog->get_level(), 0.0);
  click(field, ID::ID_FIELD, field->width - b, b);
  EXPECT_EQ(dialog->get_hue(), 1.0);
  EXPECT_EQ(dialog->get_saturation(), 0.0);
  click(strip, ID::ID_STRIP, strip->width - b, strip->height - b);
  EXPECT_EQ(dialog->get_level(), 1.0);
  const COLOUR before = colour();
  const std::string hex = shown(ID::ID_HEX);
  for (WM_IMAGE* image : {field, strip}) {
    const uint32_t id = image == field ? ID::ID_FIELD : ID::ID_STRIP;
    const int32_t mx = image->width / 2, my = image->height / 2;
    const int32_t right = image->width - b + 1, bottom = image->height - b + 1;
    for (const auto& p : std::vector<std::pair<int, int>>{
             {b - 1, my}, {mx, b - 1}, {right, my}, {mx, bottom}, {-1, my}, {mx, -1}}) {
      dialog->get_entry(ID::ID_HEX)->set_text("");
      click(image, id, p.first, p.second);
      EXPECT_EQ(colour(), before) << id << ": " << p.first << "," << p.second;
      // A report without a place picks nothing but shows the colour again.
      if (p.first < 0 || p.second < 0) {
        EXPECT_EQ(shown(ID::ID_HEX), hex) << id << ": " << p.first << "," << p.second;
      }
    }
  }
}

TEST_F(ColourSelect, FieldStripAndPreviewPixelsAgreeWithTheColourFunctions) {
  const COLOUR start = 0xFF3366CC;
  dialog->set_colour(&start);
  const WM_IMAGE* field = dialog->get_field();
  const WM_IMAGE* strip = dialog->get_strip();
  const int32_t b = dialog->get_inset();
  const int32_t w = field->width - 2 * b, h = field->height - 2 * b;
  for (const auto& ij : std::vector<std::pair<int, int>>{{0, 0}, {w - 1, 3}, {w / 3, h - 1}}) {
    COLOUR expected = 0;
    ahsl_to_colour(&expected, 1.0, ij.first / static_cast<double>(w),
                   ij.second / static_cast<double>(h), 0.5);
    EXPECT_EQ(at(field, b + ij.first, b + ij.second), expected) << ij.first << "," << ij.second;
  }
  // A redrawn field keeps to its picture's clip: the column left of it stays.
  IMAGE& picture = dialog->get_field()->image;
  const COLOUR mark = 0xFF00FF00, inside = at(field, b + 1, b);
  picture.fill_rect_solid(int16_t(b), int16_t(b), int16_t(b), int16_t(b), &mark);
  picture.set_clip_rect(int16_t(b + 1), 0, int16_t(picture.width - 1), int16_t(picture.height - 1));
  dialog->refresh();
  picture.set_clip_rect(0, 0, int16_t(picture.width - 1), int16_t(picture.height - 1));
  EXPECT_EQ(std::pair(at(field, b, b), at(field, b + 1, b)), std::pair(mark, inside));
  // The white cross marks hue and saturation, and the level on the strip.
  const int32_t cx = b + static_cast<int32_t>(std::trunc(w * dialog->get_hue()));
  const int32_t cy = b + static_cast<int32_t>(std::trunc(h * dialog->get_saturation()));
  EXPECT_EQ(at(field, cx + 4, cy), 0xFFFFFFFFu);
  EXPECT_EQ(at(field, cx, cy - 4), 0xFFFFFFFFu);
  const int32_t sh = strip->height - 2 * b;
  COLOUR row = 0;
  ahsl_to_colour(&row, 1.0, dialog->get_hue(), dialog->get_saturation(),
                 10 / static_cast<double>(sh));
  EXPECT_EQ(at(strip, b, b + 10), row);
  EXPECT_EQ(at(strip, b, b + sh), 0u);  // the frame's rows of the picture stay clear
  const int32_t ly = b + static_cast<int32_t>(std::trunc(sh * dialog->get_level()));
  EXPECT_EQ(at(strip, b + (strip->width - 2 * b) / 2, ly), 0xFFFFFFFFu);
  EXPECT_EQ(at(dialog->get_preview(), 2, 2), colour());
}

TEST_F(ColourSelect, BelowFullAlphaThePreviewShowsTheColourOverTheChecker) {
  const COLOUR half_red = 0x80FF0000;
  dialog->set_colour(&half_red);
  const WM_IMAGE* preview = dialog->get_preview();
  const int32_t w = preview->image.width, h = preview->image.height;
  COLOUR over_white = 0xFFFFFFFF, over_bar = 0xFFACACAC;
  blend_colour(&over_white, &half_red, 0x80);
  blend_colour(&over_bar, &half_red, 0x80);
  for (const auto& [px, py] : {std::pair(w / 8, h / 8), std::pair(0, 0), std::pair(w - 1, h - 1)})
    EXPECT_EQ(at(preview, px, py), over_white) << px;
  EXPECT_EQ(at(preview, w / 2, h / 8), over_bar);  // a vertical bar
  EXPECT_EQ(at(preview, w / 8, h / 2), over_bar);  // a horizontal bar
  EXPECT_NE(over_white, over_bar);
}

TEST_F(ColourSelect, OkAndCancelPutTheirResultInWordTwoAndReturnTheCallbacksAnswer) {
  EXPECT_EQ(control(dialog->get_ok(), ID::ID_OK), 9);
  EXPECT_EQ(dialog->action_word_2, 1u);
  EXPECT_EQ(control(dialog->get_cancel(), ID::ID_CANCEL), 9);
  EXPECT_EQ(dialog->action_word_2, 0u);
  EXPECT_EQ(heard, (std::vector<uintptr_t>{1, 0}));
  EXPECT_EQ(control(dialog->get_ok(), 14), 0);  // ids above 13 do nothing
  EXPECT_EQ(heard.size(), 2u);
}

// The whole dialog over a page, as a user sees it after choosing a colour.
TEST_F(ColourSelect, TheWholeDialogMatchesItsReferencePictures) {
  test_support::INPUT_DRIVER input;
  WM_PAGE_MANAGER manager(1, -1);
  manager.set_page(0, [](WM_PAGE_MANAGER* m) {
    m->current_root()->add_child(new wm_test::BOX(0, 0, 800, 600, 0xFF304050), false);
  }, nullptr, 1, nullptr, 0, 0, nullptr);
  manager.frame(false);
  manager.area(0).root.add_overlay(dialog, false);
  const std::pair<const char*, COLOUR> rows[] = {
      {"black", 0xFF000000}, {"half_red", 0x80FF0000}, {"blue", 0xFF3366CC}};
  for (const auto& [name, c] : rows) {
    dialog->set_colour(&c);
    for (int i = 0; i < 10; ++i, input.advance_ms(200)) manager.frame(false);
    EXPECT_TRUE(test_support::picture_matches_reference("extra", std::string("colour_select_") + name,
                                                        *get_screen_image()));
  }
  manager.area(0).root.remove_overlay(dialog, false, false);
}
