// The progress dialog in a real window: setters with `now` are in the X
// window when they return, without a frame of the page manager; the
// setters keep value and total in range; an immediate dialog shows itself
// when built and its area is repainted when it is deleted. The screenshot
// shows the dialog beside a plain bar.
#include "wm_progress_bar_dialog.h"

#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

#include "dialog_pictures.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_x11_fixture.h"

namespace {

constexpr COLOUR kDesk = 0xFF305070, kBody = 0xFF808080, kBar = 0xFF00C000, kOther = 0xFFC00000;

class ProgressDialogX11 : public wm_test::PointerX11 {
protected:
  ProgressDialogX11() : PointerX11("Progress dialog test", 300, 200) {}
  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->current_root()->add_child(new wm_test::BOX(0, 0, 300, 200, kDesk), false);
    manager->redraw_screen_now(0);
    swap_screens(0);
    body.bg_colour = kBody;
    effects.flags = 0;
  }
  void TearDown() override {
    manager.reset();
    PointerX11::TearDown();
  }
  // What the window shows at (x, y), as 0xRRGGBB.
  uint32_t shown(int x, int y) {
    const std::vector<uint32_t> pixel = window_pixels(x, y, 1, 1);
    return pixel.empty() ? 0xFFFFFFFF : pixel[0];
  }
  // The window under an object.
  std::vector<uint32_t> area(const WM_SCREEN_OBJECT& o) { return window_pixels(o.x, o.y, o.width, o.height); }
  std::unique_ptr<WM_PROGRESS_BAR_DIALOG> make(bool immediate) {
    return std::make_unique<WM_PROGRESS_BAR_DIALOG>(20, 20, 260, 120, "Working", &body, nullptr,
                                                    nullptr, &effects, "Copying files", 100, &kBar,
                                                    immediate, nullptr);
  }

  std::unique_ptr<WM_PAGE_MANAGER> manager;
  WM_STYLE_SET body;
  DIALOG_EFFECTS effects;
};

TEST_F(ProgressDialogX11, SettersWithNowReachTheWindowAtOnce) {
  WM_PROGRESS_BAR_DIALOG* dialog = make(false).release();
  manager->current_root()->add_overlay(dialog, false);
  WM_PROGRESS_BAR* bar = dialog->bar;
  ASSERT_NE(bar, nullptr);
  // A point three quarters along the bar, in the middle of its height.
  const int px = bar->x + bar->left_gap + (bar->width - bar->left_gap - bar->right_gap) * 3 / 4;
  const int py = bar->y + bar->height / 2;
  dialog->set_value(10, true);
  const uint32_t unfilled = shown(px, py);
  EXPECT_NE(unfilled, kBar & 0xFFFFFF);
  dialog->set_value(90, true);
  EXPECT_EQ(shown(px, py), kBar & 0xFFFFFF);
  dialog->set_colours(nullptr, nullptr, &kOther, true);  // null colours change nothing
  EXPECT_EQ(shown(px, py), kOther & 0xFFFFFF);
  EXPECT_EQ(bar->bg_colour, kBody);
  dialog->step_back(true);
  dialog->set_value(10, false);  // the next frame's business
  EXPECT_EQ(shown(px, py), kOther & 0xFFFFFF);

  // t total, v value, s step, b step back: value and total afterwards.
  const struct {
    char op;
    int32_t argument, value, total;
  } steps[] = {{'t', 60, 10, 60}, {'v', 60, 60, 60}, {'s', 0, 60, 60}, {'v', 70, 60, 60},
               {'t', 40, 40, 40}, {'t', -5, 40, 40}, {'b', 0, 39, 40},  {'v', 0, 0, 40},   {'b', 0, 0, 40},
               {'t', 0, 0, 0},   {'t', 40, 0, 40}};
  for (const auto& s : steps) {
    if (s.op == 't') dialog->set_total(s.argument, true);
    if (s.op == 'v') dialog->set_value(s.argument, true);
    if (s.op == 's') dialog->step(true);
    if (s.op == 'b') dialog->step_back(true);
    EXPECT_EQ(bar->value * 1000 + bar->total, s.value * 1000 + s.total) << s.op << s.argument;
  }
  EXPECT_NE(shown(px, py), kOther & 0xFFFFFF);
  dialog->set_value(35, false);
  dialog->step(true);  // 36 of 40 fills past three quarters
  EXPECT_EQ(shown(px, py), kOther & 0xFFFFFF);
  // Beside a plain bar, for people.
  WM_STYLE_SET look;
  look.highlight_colour = kBar;
  look.highlight_text_colour = 0xFFFFFFFF;
  auto* plain = new WM_PROGRESS_BAR(20, 150, 260, 30, "Plain", 100, &look);
  plain->value = 35;
  manager->current_root()->add_child(plain, false);
  dialog->set_value(25, true);
  manager->redraw_screen_now(0);
  save_screen("progress_dialog_x11.png");
  EXPECT_TRUE(wm_test::screen_matches_reference("progress_dialog"));
  // A message longer than the dialog is cut at the dialog's edge.
  const uint16_t message_width = dialog->message_label->width;
  dialog->set_message("Copying a file whose name is far too long for this dialog.txt", true);
  EXPECT_EQ(dialog->message_label->width, message_width);
  EXPECT_EQ(shown(dialog->x + dialog->width + 5, dialog->message_label->y + 5), kDesk & 0xFFFFFF);
  manager->current_root()->remove_overlay(dialog, true, false);
}

// Also when its body style is a hidden one.
TEST_F(ProgressDialogX11, AnImmediateDialogShowsItselfAndLeavesNoTrace) {
  for (const uint8_t body_visible : {1, 0}) {
    body.visible = body_visible;
    auto dialog = make(true);
    // Left of the bar's frame the bar shows the body colour.
    const int px = dialog->bar->x + 2, py = dialog->bar->y + 2;
    EXPECT_EQ(shown(px, py), kBody & 0xFFFFFF) << +body_visible;
    const std::vector<uint32_t> before = area(*dialog);
    dialog->set_text("Done");  // at once
    EXPECT_NE(area(*dialog), before) << +body_visible;
    dialog.reset();
    EXPECT_EQ(shown(px, py), kDesk & 0xFFFFFF) << +body_visible;
  }
}

}  // namespace
