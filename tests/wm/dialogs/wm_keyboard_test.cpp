// The on-screen keyboard's keys on the headless screen: every row fills the
// keyboard's width by its units, the special keys carry their labels and
// click kinds, no key takes the focus, and Enter latches; the dialog
// forgets itself as the open keyboard however it is deleted. Typing: the X
// test.
#include "wm_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "default_dialog_styles.h"
#include "picture_compare.h"
#include "wm_button.h"
#include "wm_grid.h"
#include "wm_keyboard_dialog.h"
#include "wm_test_fonts.h"

namespace {

class Keyboard : public wm_test::TextSkinTest {
protected:
  Keyboard() : TextSkinTest("keyboard_test", 800, 600) {}
};

}  // namespace

TEST_F(Keyboard, RowsFillTheWidthByUnitsAndSpecialKeysCarryLabels) {
  WM_KEYBOARD k(10, 20, 10 + 599, 20 + 149, nullptr, &keyboard_layout, 5, 0, 1);
  const int unit = 600 / 30;
  for (int r = 0; r < 5; ++r) {
    const int n = keyboard_layout.rows[r].key_count;
    const WM_BUTTON* first = k.get_key_button(0, r);
    const WM_BUTTON* last = k.get_key_button(n - 1, r);
    ASSERT_TRUE(first && last) << r;
    EXPECT_NEAR(first->x, 10, 2) << r;
    EXPECT_NEAR(last->x + last->width, 10 + 600, 2) << r;
    EXPECT_EQ(k.get_key_button(n, r), nullptr);
    for (int c = 0; c < n; ++c) {
      const WM_BUTTON* key = k.get_key_button(c, r);
      EXPECT_NEAR(key->width, keyboard_layout.rows[r].widths[c] * unit, 3) << r << "," << c;
      EXPECT_FALSE(const_cast<WM_BUTTON*>(key)->is_selectable());
    }
  }
  // Each key clicked in turn leaves the key and character it types.
  const struct {
    int row, column;
    const char* label;
    uint8_t event_mask;
    uint32_t key_symbol;
    uint8_t character;
  } keys[] = {{0, 0, "`", 5, 0, '`'},          {0, 13, "<-", 5, 0xFF08, 8},   {1, 0, "TAB", 5, 0xFF09, 9},
              {2, 0, "CAPS", 5, 0xFFE5, 0},    {2, 12, "Enter", 2, 0xFF0D, 10}, {3, 0, "SHIFT", 5, 0xFFE1, 0},
              {3, 12, "up", 5, 0xFF52, 0},     {4, 0, "Ext", 5, 0, 0},          {4, 2, "Space", 5, 0, ' '},
              {4, 4, "<-", 5, 0xFF51, 0},      {4, 5, "dn", 5, 0xFF54, 0},      {4, 6, "->", 5, 0xFF53, 0}};
  for (const auto& key : keys) {
    WM_BUTTON* b = k.get_key_button(key.column, key.row);
    EXPECT_EQ(std::string(b->get_text()), key.label);
    EXPECT_EQ(b->event_mask, key.event_mask) << key.label;
    ASSERT_NE(b->tooltip, nullptr) << key.label;
    k.pending_key = k.pending_character = 0;
    b->fire_callback(false);
    EXPECT_EQ(std::pair(k.pending_key, k.pending_character), std::pair(key.key_symbol, key.character)) << key.label;
  }
  EXPECT_EQ(std::tuple(k.shift, k.caps, k.ext), std::tuple(0, 1, 1));  // Space ended the Shift
  for (const int column : {13, 0}) {  // Backspace and Tab end it too
    k.get_key_button(0, 3)->fire_callback(false);
    k.get_key_button(column, column ? 0 : 1)->fire_callback(false);
    EXPECT_EQ(k.shift, 0) << column;
  }
  EXPECT_FALSE(k.get_key_button(1, 4)->visible);  // a spacer
  EXPECT_FALSE(k.get_key_button(14, 1)->visible);
  EXPECT_TRUE(k.get_key_button(12, 2)->highlighted);

  EXPECT_FALSE(k.any_enter_latched());
  k.set_enter_latched(true);
  EXPECT_TRUE(k.any_enter_latched());
  EXPECT_TRUE(k.get_key_button(12, 2)->latched);
  EXPECT_FALSE(k.get_key_button(1, 1)->latched);
  k.set_enter_latched(false);
  EXPECT_FALSE(k.any_enter_latched());
  // A cell holding something other than a button is no key.
  ASSERT_NE(k.grid->add_text_cell(0, 5, "note", nullptr), nullptr);
  EXPECT_EQ(k.get_key_button(0, 5), nullptr);
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

  // A body style that leaves the spacing unset puts the keys right below
  // the field.
  WM_STYLE_SET body(default_dialog_style());
  body.y_spacing = WM_STYLE_SET::UNSET;
  WM_KEYBOARD_DIALOG tight(-1, -1, 500, 260, "Keyboard", "", 10, nullptr, 0, 0, nullptr, nullptr,
                           &body, nullptr, nullptr, &keyboard_layout, 5, 1, 0, 0);
  EXPECT_EQ(tight.keyboard->y, tight.entry->y + tight.entry->height);
  // One no wider than its borders still has a field a pixel wide.
  WM_KEYBOARD_DIALOG narrow(-1, -1, 1, 260, "K", "", 10, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr,
                            nullptr, &keyboard_layout, 5, 1, 0, 0);
  EXPECT_EQ(narrow.entry->width, 1);
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
  EXPECT_EQ(keyboards[1]->shift * 100 + keyboards[3]->ext * 10 + keyboards[3]->caps, 111);
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
}
