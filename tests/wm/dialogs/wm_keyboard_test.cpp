// The on-screen keyboard's keys on the headless screen: every row fills the
// keyboard's width by its units, the special keys carry their labels and
// click kinds, no key takes the focus, and Enter latches; the dialog
// forgets itself as the open keyboard however it is deleted. Typing: the X
// test.
#include "wm_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "default_dialog_styles.h"
#include "dialog_pictures.h"
#include "input.h"
#include "picture_compare.h"
#include "text_convert.h"
#include "wm_button.h"
#include "wm_grid.h"
#include "wm_keyboard_dialog.h"
#include "wm_keys.h"
#include "wm_page_manager.h"
#include "wm_test_fonts.h"

namespace {

class Keyboard : public wm_test::TextSkinTest {
protected:
  Keyboard() : TextSkinTest("keyboard_test", 800, 600) {}
};

}  // namespace

// The built-in layout on a keyboard 600 by 150 at (10, 20), a line per row:
// each key's label (in brackets when hidden), box, click events and marks
// (t a tooltip, s taking the focus, h the highlight, l latched); then what
// each key of the lower rows leaves to type when clicked in turn, with the
// Shift, Caps and Ext state after it, the faces the toggles reach, Enter
// latched and a cell that holds no button. Against
// tests/references/dialogs4/keyboard_keys.txt.
TEST_F(Keyboard, EveryKeyOfEveryFaceReadsAsItsTranscript) {
  WM_KEYBOARD k(10, 20, 10 + 599, 20 + 149, nullptr, &keyboard_layout, 5, 0, 1);
  std::string out;
  auto state = [&] { return " shift " + std::to_string(k.shift) + " caps " + std::to_string(k.caps) + " ext " + std::to_string(k.ext); };
  auto label = [](const WM_BUTTON* b) { return system_text_to_utf8(b->get_text()); };
  auto face = [&](const std::string& name, bool boxes) {
    out += name + ":" + state() + "\n";
    for (int r = 0; r < 6; ++r) {
      out += " row " + std::to_string(r) + ":";
      for (int c = 0; c <= 15; ++c) {
        WM_BUTTON* b = k.get_key_button(c, r);
        if (!b) continue;
        out += " " + std::string(b->visible ? "" : "(") + label(b) + (b->visible ? "" : ")");
        if (boxes)
          out += "@" + wm_test::box_text(b->x, b->y, b->width, b->height) + "/" + std::to_string(b->event_mask) +
                 (b->tooltip ? "t" : "") + (b->is_selectable() ? "s" : "") + (b->highlighted ? "h" : "") +
                 (b->latched ? "l" : "");
      }
      out += "\n";
    }
  };
  auto press = [&](int r, int c) {
    k.pending_key = k.pending_character = 0;
    WM_BUTTON* b = k.get_key_button(c, r);
    const std::string name = label(b);
    b->fire_callback(false);
    out += " " + name + ": " + (std::ostringstream() << std::hex << std::uppercase << k.pending_key).str() + " " +
           std::to_string(k.pending_character) + state() + "\n";
  };
  face("plain", true);
  out += "each key of rows 2 to 4 clicked in turn:\n";
  for (int r = 2; r < 5; ++r)
    for (int c = 0; c < keyboard_layout.rows[r].key_count; ++c) press(r, c);
  for (const auto& [r, c] : {std::pair{4, 0}, {3, 0}, {2, 0}, {0, 0}, {4, 0}, {3, 0}, {0, 13}, {3, 0}, {1, 0}}) {
    press(r, c);
    face("face", false);
  }
  EXPECT_FALSE(k.any_enter_latched());
  k.set_enter_latched(true);
  EXPECT_TRUE(k.any_enter_latched());
  ASSERT_NE(k.grid->add_text_cell(0, 5, "note", nullptr), nullptr);
  face("enter latched, a note below", true);
  k.set_enter_latched(false);
  EXPECT_FALSE(k.any_enter_latched());
  EXPECT_EQ(WM_KEYBOARD::on_key(nullptr, 0, reinterpret_cast<uintptr_t>(&k)) + WM_KEYBOARD::on_key(k.get_key_button(1, 0), 0, 0), 0);
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "keyboard_keys", out));
}

TEST_F(Keyboard, TheDialogForgetsItselfWhenDeleted) {
  auto* d = new WM_KEYBOARD_DIALOG(-1, -1, 500, 260, "Keyboard", "abc", 10, nullptr, 0, 0,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, &keyboard_layout,
                                   5, 1, 0, 0);
  EXPECT_STREQ(d->entry->get_text(), "abc");
  EXPECT_EQ(d->close_button->action_word_1, 4u);  // the close flag removes it at once
  keyboard_dialog = d;
  delete d;
  EXPECT_EQ(keyboard_dialog, nullptr);
  // Opened for a page's field it stands in the screen's middle, wherever the page's area lies.
  WM_PAGE_MANAGER manager(1, -1);
  manager.current_root()->set_position(100, 50);
  d = WM_KEYBOARD_DIALOG::open_for_field({.width = 500, .height = 260});
  d->open_at_once();
  EXPECT_EQ(wm_test::box_text(d->x, d->y, d->width, d->height), "150,170 500x260");

  // A body style that leaves the spacing unset puts the keys right below
  // the field.
  WM_STYLE_SET body(default_dialog_style());
  body.y_spacing = WM_STYLE_SET::UNSET;
  WM_KEYBOARD_DIALOG tight(-1, -1, 500, 260, "Keyboard", "", 10, nullptr, 0, 0, nullptr, nullptr,
                           &body, nullptr, nullptr, &keyboard_layout, 5, 1, 0, 0);
  EXPECT_EQ(tight.keyboard->y, tight.entry->y + tight.entry->height);
  // One no wider than its borders still has a field a pixel wide, here for one character.
  WM_KEYBOARD_DIALOG narrow(-1, -1, 1, 260, "K", "", 1, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr,
                            nullptr, &keyboard_layout, 5, 1, 0, 0);
  EXPECT_EQ(std::pair(int{narrow.entry->width}, int{narrow.entry->max_length}), std::pair(1, 1));
}

// The four faces of the built-in layout, one keyboard each, reached by its
// own keys: plain; Shift held for the next key; Ext; Ext with Caps Lock,
// after a typed key that ends nothing. The screen against
// tests/references/dialogs2/keyboard_faces.png.
TEST_F(Keyboard, ShiftExtAndCapsShowTheirFaces) {
  const COLOUR ground = 0xFF203040;
  get_screen_image()->clear(&ground, true);
  struct KEY {
    int row, column;
  };
  const KEY shift{3, 0}, caps{2, 0}, ext{4, 0}, letter{1, 1};
  const std::vector<std::vector<KEY>> presses = {{}, {shift}, {ext}, {ext, caps, letter}};
  std::vector<std::unique_ptr<WM_KEYBOARD>> keyboards;
  for (size_t i = 0; i < presses.size(); ++i) {
    const auto top = static_cast<int16_t>(5 + 148 * i);
    auto& k = keyboards.emplace_back(
        std::make_unique<WM_KEYBOARD>(5, top, 794, static_cast<int16_t>(top + 139), nullptr, &keyboard_layout, 5, 0, 0));
    for (const auto& p : presses[i]) k->get_key_button(p.column, p.row)->fire_callback(false);
    k->show();
    wm_test::paint_table(k.get());
  }
  // An inverted box makes a keyboard one pixel tall.
  EXPECT_EQ(std::tuple(keyboards[1]->shift * 100 + keyboards[3]->ext * 10 + keyboards[3]->caps,
                       +WM_KEYBOARD(5, 5, 4, 4, nullptr, &keyboard_layout, 5, 0, 0).height), std::tuple(111, 1));
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs2", "keyboard_faces", *get_screen_image()));
}

// A layout of its own: two rows, no Enter, a gap in the plain face that the
// shifted face fills. Without Enter the first key carries the highlight; a
// gap's key shows once a face gives it a character and hides again after.
// Plain, shifted and plain again beside each other against
// tests/references/dialogs3/keyboard_own_layout.png.
TEST_F(Keyboard, AnOwnLayoutHighlightsItsFirstKeyAndFillsItsGaps) {
  using K = KEYBOARD_LAYOUT;
  KEYBOARD_LAYOUT small{};
  small.row_count = 2;
  small.rows[0] = {3, {2, 2, 2}};
  small.rows[1] = {2, {4, 2}};
  small.labels[K::LABEL_SHIFT] = "Shift";
  small.labels[K::LABEL_BACKSPACE] = "Del";
  for (int g = 0; g < 4; ++g) {
    const bool shifted = g % 2 == 1;
    const uint8_t first[] = {uint8_t(shifted ? 'A' : 'a'), uint8_t(shifted ? 'B' : 'b'), K::SHIFT};
    const uint8_t second[] = {shifted ? uint8_t{'X'} : uint8_t{K::SPACER}, K::BACKSPACE};
    std::copy(std::begin(first), std::end(first), small.grids[g][0]);
    std::copy(std::begin(second), std::end(second), small.grids[g][1]);
  }
  const COLOUR ground = 0xFF203040;
  get_screen_image()->clear(&ground, true);
  std::vector<std::unique_ptr<WM_KEYBOARD>> keyboards;
  for (int i = 0; i < 3; ++i) {
    const auto left = static_cast<int16_t>(10 + 260 * i);
    auto& k = keyboards.emplace_back(
        std::make_unique<WM_KEYBOARD>(left, 10, static_cast<int16_t>(left + 239), 89, nullptr, &small, 5, 0, 0));
    if (i >= 1) k->get_key_button(2, 0)->fire_callback(false);  // Shift
    if (i == 2) k->get_key_button(0, 1)->fire_callback(false);  // X, which ends Shift
    k->show();
    wm_test::paint_table(k.get());
  }
  EXPECT_TRUE(keyboards[0]->get_key_button(0, 0)->highlighted);  // where the arrow keys start
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs3", "keyboard_own_layout", *get_screen_image()));
  key_queue.set_last_key(wm_key::RIGHT);  // pressed before the keyboard's first frame, still heard
  keyboards[0]->process();
  EXPECT_TRUE(keyboards[0]->get_key_button(1, 0)->highlighted);
}
