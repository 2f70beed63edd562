// The flag chooser in a real window driven by XTEST clicks: eleven boxes
// among twelve flags, boxes and labels flipping their bits at once, Cancel
// and OK answering 0 and 1 and closing nothing, and a callback's closing
// leaving no overlay behind. The open chooser is saved as a picture.
#include <gtest/gtest.h>

#include <vector>

#include "dialog_pictures.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_flags_select.h"
#include "wm_text_win_x11_fixture.h"

namespace {

std::vector<uintptr_t> results;
std::vector<uint32_t> masks;
int32_t close_result = 0;
int32_t answer(WM_SCREEN_OBJECT* dialog, uintptr_t word, uintptr_t result) {
  EXPECT_EQ(word, 77u);
  results.push_back(result);
  masks.push_back(static_cast<WM_FLAGS_SELECT*>(dialog)->get_flags());
  return close_result;
}

class FlagsSelectX11 : public wm_test::OverlayX11 {};

}  // namespace

TEST_F(FlagsSelectX11, ClicksFlipBitsAndTheButtonsAnswer) {
  const char* labels[] = {"Read",    "Write", nullptr, "Execute", "Hidden",   "System",
                          "Archive", "Link",  "Sticky", "Set user", "Set group", "Device"};
  auto* d = new WM_FLAGS_SELECT(answer, 77, nullptr, nullptr);
  d->set_flags(0x5, labels, 12);
  root.add_overlay(d, false);
  ASSERT_TRUE(frames_until([&] { return !d->is_moving(); }));
  save_screen("flags_select_x11.png");
  EXPECT_TRUE(wm_test::screen_matches_reference("flags_select"));
  click(d->get_check_box(0)->box);
  EXPECT_EQ(d->get_flags(), 0x4u);  // at once
  EXPECT_FALSE(d->get_check_box(0)->is_checked());
  click(d->get_check_box(3)->label);
  click(d->get_check_box(1)->box);
  click(d->get_check_box(1)->label);
  EXPECT_TRUE(d->get_check_box(3)->is_checked());
  click(d->cancel_button);
  click(d->ok_button);
  EXPECT_EQ(results, (std::vector<uintptr_t>{0, 1}));
  EXPECT_EQ(masks, (std::vector<uint32_t>{0xC, 0xC}));
  // Neither answer closed it, nor does a click without a callback.
  d->action_callback = nullptr;
  click(d->ok_button);
  EXPECT_EQ(results.size(), 2u);
  EXPECT_TRUE(d->visible);
  // A callback's result 2 closes it, and the overlay list deletes it.
  d->action_callback = answer;
  close_result = 2;
  click(d->ok_button);
  EXPECT_TRUE(frames_until([] { return WM_SCREEN_OBJECT::overlays().empty(); }));
}
