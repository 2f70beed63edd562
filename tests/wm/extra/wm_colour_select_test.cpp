// The colour picker on the headless screen, driven through its controls'
// callback: swatches, field and strip positions (border clicks ignored),
// typed numbers and colour texts, the pixels of the field, the strip and
// the preview against the colour functions, and the OK/Cancel protocol.
// Real clicks, typing and drags: the X test.
#include "wm_colour_select.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "input_driver.h"
#include "picture_compare.h"
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

TEST_F(ColourSelect, IsTheTitledDialogOfItsWidthEndingAtTheOkButton) {
  EXPECT_EQ(dialog->width, 439);
  EXPECT_NE(dialog->kind & wm_kind::COLOUR_SELECT, 0u);
  EXPECT_STREQ(dialog->get_text(), "Select a Colour");
  // The client area ends at the bottom of the OK button.
  const WM_MANAGER* client = dialog->get_client();
  EXPECT_EQ(client->y + client->height, dialog->get_ok()->y + dialog->get_ok()->height);
}

// Every control in one scripted run: the swatches, typed numbers and colour
// texts at and beyond their limits (a number's low byte counts; text that
// is not a number changes nothing and the entry is written again), field
// and strip clicks on both sides of each inner edge, OK, Cancel and an id
// above 13. Each step writes its answer, the colour, hue, saturation and
// level, every entry and what the callback heard. The hex entry is blanked
// before each click: one that is ignored leaves it blank, a report without
// a place picks nothing but writes the entries again.
TEST_F(ColourSelect, EveryControlInOneRunMatchesItsTranscript) {
  ASSERT_EQ(dialog->get_inset(), 1);  // so that the click positions read directly
  auto state = [&] {
    char line[200];
    std::snprintf(line, sizeof line, "#%08X hsl %.6f %.6f %.6f | RGBA %s %s %s %s HSL %s %s %s %s | word 2: %u, heard:",
                  colour(), dialog->get_hue(), dialog->get_saturation(), dialog->get_level(),
                  shown(ID::ID_RED).c_str(), shown(ID::ID_GREEN).c_str(), shown(ID::ID_BLUE).c_str(),
                  shown(ID::ID_ALPHA).c_str(), shown(ID::ID_HUE).c_str(), shown(ID::ID_SATURATION).c_str(),
                  shown(ID::ID_LEVEL).c_str(), shown(ID::ID_HEX).c_str(), unsigned(dialog->action_word_2));
    std::string s = line;
    for (uintptr_t h : heard) s += " " + std::to_string(h);
    return s + "\n";
  };
  // The buttons' places in the client area: both 115 wide (as "Cancel" needs
  // in the test font), at a third and two thirds of the 439 - 2 x 114 = 211
  // pixels they leave over. Then the colour's steps.
  const WM_MANAGER* client = dialog->get_client();
  std::string transcript;
  for (const WM_BUTTON* b : {dialog->get_ok(), dialog->get_cancel()})
    transcript += std::string(b->get_text()) + " at " + std::to_string(b->x - client->x) + "," +
                  std::to_string(b->y - client->y) + " " + std::to_string(b->width) + "x" +
                  std::to_string(b->height) + "\n";
  transcript += "start: " + state();
  for (int i = 0; i < WM_COLOUR_SELECT::SWATCH_COUNT; ++i) {
    WM_BUTTON* swatch = dialog->get_swatch(i);
    transcript += "swatch " + std::to_string(i) + " -> " + std::to_string(control(swatch, swatch->action_word_1));
    transcript += ": " + state();
  }
  const COLOUR red = 0xFFFF0000;
  dialog->set_colour(&red);
  transcript += "set #FFFF0000: " + state();
  dialog->set_colour(nullptr);
  transcript += "set nothing: " + state();
  // Steps split by '/': <id>=<text> types the text, <id>@x,y clicks there, <id> alone comes from OK.
  std::istringstream script(
      "5=300/7=abc/9=  17x/5=-1/5=256/7=255/11=100/11=999/11=-5/11=x/11=255/6=85/8=255/10=300/10=128/"
      "6=-1/8=0/13=#8000FF00/13=&255,0,0,9/13=/13=#FF3366CC/3@0,85/3@1,85/3@169,1/3@170,85/3@85,0/"
      "3@85,170/3@1,169/3@43,86/3@-1,85/3@85,-1/4@17,0/4@1,1/4@0,85/4@35,85/4@34,169/4@17,170/4@17,57/"
      "4@17,-1/1/2/14/12");
  for (std::string step; std::getline(script, step, '/');) {
    const auto id = static_cast<uint32_t>(std::stoul(step));
    const size_t mark = step.find_first_of("=@");
    std::string what = "id " + std::to_string(id);
    int x = 0, y = 0;
    if (mark != std::string::npos && step[mark] == '=') {
      type(id, step.c_str() + mark + 1);
      what += " typed '" + step.substr(mark + 1) + "'";
    } else if (mark != std::string::npos && std::sscanf(step.c_str() + mark + 1, "%d,%d", &x, &y) == 2) {
      dialog->get_entry(ID::ID_HEX)->set_text("");
      const int32_t r = click(id == ID::ID_FIELD ? dialog->get_field() : dialog->get_strip(), id, x, y);
      what += " at " + std::to_string(x) + "," + std::to_string(y) + " -> " + std::to_string(r);
    } else {
      what += " -> " + std::to_string(control(dialog->get_ok(), id));
    }
    transcript += what + ": " + state();
  }
  EXPECT_EQ(WM_COLOUR_SELECT::on_control(dialog->get_ok(), ID::ID_OK, 0), 0);  // no dialog
  EXPECT_EQ(WM_COLOUR_SELECT::on_control(nullptr, ID::ID_OK, reinterpret_cast<uintptr_t>(dialog)), 0);
  EXPECT_EQ(heard.size(), 2u);
  EXPECT_TRUE(test_support::text_matches_reference("extra", "colour_select_transcript", transcript));
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
    ahsl_to_colour(&expected, 1.0, ij.first / static_cast<double>(w), ij.second / static_cast<double>(h), 0.5);
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
  ahsl_to_colour(&row, 1.0, dialog->get_hue(), dialog->get_saturation(), 10 / static_cast<double>(sh));
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
