// The flag chooser's layout on the headless screen: one row per labelled
// flag, ten of them in view, the boxes mirroring the mask, counts and flag
// indexes kept in range, and the owner's title. Clicks: the X test.
#include "wm_flags_select.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialog_pictures.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_grid.h"
#include "wm_kinds.h"
#include "wm_test_fonts.h"

namespace {

class FlagsSelect : public wm_test::TextSkinTest {
protected:
  FlagsSelect() : TextSkinTest("flags_select_test", 800, 600) {}
};

}  // namespace

// The chooser through a script of flag lists, a title and clicks, a line
// per step: the flags and boxes counted, the mask, the dialog's box, the
// grid's, its row height, OK's and Cancel's boxes; then each box's flag,
// tick and label. Counts below 0, 0, 1, one unlabelled, ten and eleven
// boxes (the scroll bar widens the grid), 32, 33 and 40 flags; the title
// keeps the size; each click flips its flag and answers 0. Against
// tests/references/dialogs4/flags_select_script.txt.
TEST_F(FlagsSelect, AScriptOfListsAndClicksReadsAsItsTranscript) {
  std::string out;
  WM_FLAGS_SELECT d(nullptr, 0, nullptr, nullptr);
  // Parts within their dialog, which may still be sliding in.
  auto box = [](const WM_SCREEN_OBJECT* o, const WM_DIALOG& in) {
    return wm_test::box_text(o->x - in.x, o->y - in.y, o->width, o->height);
  };
  auto note = [&](const std::string& what) {
    char mask[16];
    snprintf(mask, sizeof mask, "%08X", d.get_flags());
    out += what + ": flags " + std::to_string(d.get_flag_count()) + " rows " + std::to_string(d.grid->get_row_count()) +
           " mask " + mask + " dialog " + wm_test::box_text(d.get_x(), d.get_y(), d.width, d.height) + " grid " +
           box(d.grid, d) + " row " + std::to_string(d.grid->default_row_height) + " ok " + box(d.ok_button, d) +
           " cancel " + box(d.cancel_button, d) + "\n";
    for (int16_t f = -1; f <= 32; ++f)  // a line of boxes, if any
      if (const WM_CHECK_BOX* b = d.get_check_box(f))
        out += " " + std::to_string(b->value_word) + (b->is_checked() ? "+" : "-") + b->label->get_text();
    if (out.back() != '\n') out += "\n";
  };
  const char* const labels[] = {"Name", "Size", nullptr, "Date",   "Type",  "Owner", "Group",
                                "Mode", "Link", "Path", "Inode", "Device", nullptr, "Blocks"};
  note("made");
  for (const auto& [count, mask] : {std::pair{-3, 0x5u}, {0, 0x5u}, {1, 0x1u}, {2, 0x2u}, {3, 0x6u}, {11, 0xFFFu},
                                    {12, 0x80000805u}, {14, 0x80000805u}}) {
    d.set_flags(mask, labels, int16_t(count));
    note(std::to_string(count) + " flags");
  }
  uint32_t written = 0;
  d.get_flags(&written);
  d.get_flags(nullptr);  // nowhere to write: nothing happens
  EXPECT_EQ(written, 0x80000805u);
  // Ten rows show; drawn, the scroll bar takes the rest.
  EXPECT_EQ(d.grid->get_view_height(), 10 * d.get_check_box(0)->height);
  d.grid->draw();
  EXPECT_NE(d.grid->scrollbar, nullptr);
  const std::vector<const char*> many(40, "F");
  for (const int count : {32, 33, 40}) {
    d.set_flags(0x80000001u, many.data(), int16_t(count));
    note(std::to_string(count) + " flags");
  }
  for (int16_t bad : {-1, 32, 99}) d.sync_check_box(bad);
  d.set_flags(0x6, labels, 4);
  EXPECT_STREQ(d.get_text(), WM_FLAGS_SELECT::DEFAULT_TITLE);
  d.set_text("Select Viewable Columns");
  EXPECT_STREQ(d.get_text(), "Select Viewable Columns");
  note("titled");
  for (const int16_t f : {0, 1, 3, 0})
    note("flag " + std::to_string(f) + " answers " + std::to_string(d.get_check_box(f)->fire_callback(false)));
  // Boxes in a style of their own.
  WM_STYLE_SET style;
  WM_FLAGS_SELECT styled(nullptr, 0, &style, nullptr);
  styled.set_flags(0x2, labels, 3);
  for (int16_t f : {0, 1}) out += "styled box " + box(styled.get_check_box(f), styled) + "\n";
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "flags_select_script", out));
  // A row spacing taller than a box still leaves each row one pixel of its own.
  d.grid->style.y_spacing = 100;
  d.set_flags(0x5, labels, 14);
  EXPECT_EQ(d.grid->default_row_height, 1);
  // A relabelled OK and Cancel are both as wide as the wider text.
  const uint16_t w = d.width;
  d.ok_button->set_text("Show these columns", false);
  d.set_flags(5, labels, 2);
  EXPECT_EQ(d.ok_button->width, d.cancel_button->width);
  EXPECT_GT(d.ok_button->width, w / 2);
}

TEST_F(FlagsSelect, IsADialogOfItsOwnKindThatANullCallbackLeavesOpen) {
  auto* d = new WM_FLAGS_SELECT(nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(d->kind & (wm_kind::DIALOG | wm_kind::FLAGS_SELECT), wm_kind::DIALOG | wm_kind::FLAGS_SELECT);
  const char* const labels[] = {"One", "Two"};  // the title and size: AScriptOfListsAndClicksReadsAsItsTranscript
  d->set_flags(0b10, labels, 2);
  WM_SCREEN_OBJECT root(true, nullptr, 0, 0);
  root.add_overlay(d, false);
  // A box toggles its flag; it and both buttons answer 0.
  WM_SCREEN_OBJECT* const answering[] = {d->get_check_box(0), d->ok_button, d->cancel_button};
  for (WM_SCREEN_OBJECT* b : answering) {
    EXPECT_EQ(b->fire_callback(false), 0);
    EXPECT_TRUE(d->visible);
  }
  EXPECT_EQ(d->get_flags(), 0b11u);
  // The overlay list deletes it with its boxes.
  root.remove_overlay(d, true, false);
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
}
