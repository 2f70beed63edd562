// The flag chooser's layout on the headless screen: one row per labelled
// flag, ten of them in view, the boxes mirroring the mask, counts and flag
// indexes kept in range, and the owner's title. Clicks: the X test.
#include "wm_flags_select.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST_F(FlagsSelect, OneRowPerLabelledFlagAndTenInView) {
  // Fourteen flags, the third and eighth without a label: twelve boxes.
  const char* const labels[] = {"Name", "Size", nullptr, "Date",  "Type",   "Owner", "Group",
                                nullptr, "Mode", "Link", "Path", "Inode", "Device", "Blocks"};
  const uint32_t mask = 0x80000805;  // bit 2 has no box, bit 31 lies beyond the count
  WM_FLAGS_SELECT d(nullptr, 0, nullptr, nullptr);
  d.set_flags(mask, labels, 14);
  WM_GRID* g = d.grid;
  ASSERT_EQ(g->get_row_count(), 12);
  EXPECT_EQ(d.get_check_box(2), nullptr);
  EXPECT_EQ(d.get_check_box(7), nullptr);
  for (int16_t flag : {0, 1, 11, 13}) {
    EXPECT_EQ(d.get_check_box(flag)->value_word, static_cast<uintptr_t>(flag));
    EXPECT_EQ(d.get_check_box(flag)->is_checked(), ((mask >> flag) & 1u) != 0) << flag;
  }
  EXPECT_EQ(d.get_flags(), mask);
  uint32_t out = 0;
  d.get_flags(&out);
  d.get_flags(nullptr);  // nowhere to write: nothing happens
  EXPECT_EQ(out, mask);
  // Ten rows show; the scroll bar takes the rest and widens the grid.
  EXPECT_EQ(g->get_view_height(), 10 * d.get_check_box(0)->height);
  g->draw();  // which makes the bar
  EXPECT_NE(g->scrollbar, nullptr);
  EXPECT_GE(g->width, 200 + g->style.grid_scrollbar_width);
  EXPECT_EQ(d.x, (800 - d.width) / 2);
  // A row spacing taller than a box still leaves each row one pixel of its own.
  d.grid->style.y_spacing = 100;
  d.set_flags(mask, labels, 14);
  EXPECT_EQ(g->default_row_height, 1);
}

TEST_F(FlagsSelect, CountsAndFlagIndexesStayInRangeAndTheTitleKeepsTheSize) {
  WM_FLAGS_SELECT d(nullptr, 0, nullptr, nullptr);
  const uint16_t w = d.width, h = d.height;
  const std::vector<const char*> labels(40, "Flag");
  d.set_flags(0xFFFFFFFF, labels.data(), 40);
  EXPECT_EQ(d.get_flag_count(), 32);
  EXPECT_EQ(d.grid->get_row_count(), 32);
  EXPECT_TRUE(d.get_check_box(31)->is_checked());
  for (int16_t bad : {-1, 32, 99}) {
    EXPECT_EQ(d.get_check_box(bad), nullptr);
    d.sync_check_box(bad);
  }
  d.set_flags(5, labels.data(), -3);
  EXPECT_EQ(d.grid->get_row_count(), 0);
  EXPECT_EQ(d.get_flags(), 5u);
  EXPECT_STREQ(d.get_text(), WM_FLAGS_SELECT::DEFAULT_TITLE);
  d.set_text("Select Viewable Columns");
  EXPECT_STREQ(d.get_text(), "Select Viewable Columns");
  EXPECT_EQ((std::vector<int>{d.width, d.height}), (std::vector<int>{w, h}));
  // A relabelled OK and Cancel are both as wide as the wider text.
  d.ok_button->set_text("Show these columns", false);
  d.set_flags(5, labels.data(), 2);
  EXPECT_EQ(d.ok_button->width, d.cancel_button->width);
  EXPECT_GT(d.ok_button->width, w / 2);
}

TEST_F(FlagsSelect, IsADialogOfItsOwnKindThatANullCallbackLeavesOpen) {
  auto* d = new WM_FLAGS_SELECT(nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(d->kind & (wm_kind::DIALOG | wm_kind::FLAGS_SELECT),
            wm_kind::DIALOG | wm_kind::FLAGS_SELECT);
  EXPECT_STREQ(d->get_text(), WM_FLAGS_SELECT::DEFAULT_TITLE);
  EXPECT_GE(d->width, 200);
  const char* const labels[] = {"One", "Two"};
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
