// Message dialogs and the about box in a real window driven by XTEST clicks:
// every confirmation form calls its buttons' callbacks with their ids and,
// closed by a callback, leaves no overlay behind; the about box closes by
// its button, and a click on its text runs $BROWSER with the web address
// through the command-runner seam. The open dialogs are saved as pictures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "command.h"
#include "dialog_pictures.h"
#include "wm_about.h"
#include "wm_button.h"
#include "wm_confirm.h"
#include "wm_text_win.h"
#include "wm_text_win_x11_fixture.h"

namespace {

std::vector<uintptr_t> answers;
int32_t answer_and_close(WM_SCREEN_OBJECT* button, uintptr_t, uintptr_t id) {
  const int32_t result = WM_CONFIRM::close_on_click(button, 0, 0);
  if (result == 2) answers.push_back(id);
  return result;
}
std::vector<std::string> commands;
int record_command(const char* const* argv, uint32_t) {
  std::string line;
  for (const char* const* a = argv; *a; ++a) line += std::string(*a) + " ";
  commands.push_back(line);
  return 0;
}

class ConfirmX11 : public wm_test::OverlayX11 {
protected:
  void SetUp() override {
    OverlayX11::SetUp();
    if (!ready()) return;
    root.width = 640;
    root.height = 480;
    set_command_runner(record_command);
    answers.clear();
    commands.clear();
  }
  void TearDown() override {
    OverlayX11::TearDown();
    set_command_runner(nullptr);
  }
  // Shows the dialog as an overlay until its effect has ended.
  void open(WM_DIALOG* dialog) {
    root.add_overlay(dialog, false);
    ASSERT_TRUE(frames_until([&] { return !dialog->is_moving(); }));
  }
  bool gone() {
    return frames_until([] { return WM_SCREEN_OBJECT::overlays().empty(); });
  }
  void save_picture(WM_DIALOG* dialog, const std::string& name) {
    const COLOUR black = 0xFF000000;
    get_screen_image()->clear(&black, true);
    {
      DIRTY_RECTANGLES::SCOPED_ENTRY whole(dirty_rectangles(), RECT{0, 0, 639, 479});
      dialog->paint();
    }
    save_screen(name + ".png");
  }
};

}  // namespace

TEST_F(ConfirmX11, EveryFormAnswersClicksAndLeavesNoOverlay) {
  using ACTION = WM_CONFIRM::BUTTON_ACTION;
  const ACTION a1{answer_and_close, 0, 11}, a2{answer_and_close, 0, 12}, a3{answer_and_close, 0, 13};
  const char* lines[] = {"Replace the existing file?", nullptr};
  struct FORM {
    const char* name;
    std::function<WM_CONFIRM*()> make;
    int button;  // 0 first, 1 second, 2 third
    uintptr_t id;
  };
  const FORM forms[] = {
      {"yes", [] { return new WM_CONFIRM(300, 160, "Quit", true, answer_and_close, 0, -1, -1, false, 100, nullptr); }, 0, 1},
      {"no", [] { return new WM_CONFIRM(300, 160, "Quit", true, answer_and_close, 0, -1, -1, false, 100, nullptr); }, 1, 0},
      {"close", [] { return new WM_CONFIRM(300, 160, "Note", true, answer_and_close, 0, -1, -1, true, 100, nullptr); }, 0, 1},
      {"two", [&] { return new WM_CONFIRM(360, 180, "Copy error", "Retry", "Skip", true, a1, a2, -1, -1, false, 100, nullptr); }, 1, 12},
      {"single", [&] { return new WM_CONFIRM(360, 180, "Path", "Back", "unused", true, a1, a2, -1, -1, true, 100, nullptr); }, 0, 11},
      {"three", [&] { return new WM_CONFIRM(420, 180, "Copy error", "Retry", "Skip", "Abort", true, a1, a2, a3, -1, -1, 3, 100, nullptr); }, 2, 13},
      {"lines", [&] { return new WM_CONFIRM(-1, -1, "Question", lines, 2, true, answer_and_close, 0, false, nullptr); }, 1, 0},
  };
  for (const FORM& f : forms) {
    SCOPED_TRACE(f.name);
    answers.clear();
    WM_CONFIRM* d = f.make();
    if (d->message_window) d->message_window->add_text("The file could not be copied.", nullptr, nullptr, true, true);
    open(d);
    save_picture(d, std::string("confirm_") + f.name);
    EXPECT_TRUE(wm_test::screen_matches_reference(std::string("confirm_") + f.name));
    const WM_BUTTON* buttons[3] = {d->first_button, d->second_button, d->third_button};
    ASSERT_NE(buttons[f.button], nullptr);
    click(buttons[f.button]);
    EXPECT_EQ(answers, std::vector<uintptr_t>{f.id});
    EXPECT_TRUE(gone());
  }
}

TEST_F(ConfirmX11, AboutBoxOpensTheWebPageFromItsTextAndClosesByItsButton) {
  setenv("BROWSER", "browser-stub", 1);
  auto* about = new WM_ABOUT();
  EXPECT_EQ(about->width, 440);
  EXPECT_EQ(about->height, 320);
  // The button sits at the bottom centre of the client area.
  const WM_SCREEN_OBJECT* client = about->get_client();
  const WM_BUTTON* close = about->close_button;
  EXPECT_EQ(close->y + close->height, client->y + client->height);
  EXPECT_NEAR(close->x - client->x, client->x + client->width - (close->x + close->width), 1);
  open(about);
  save_picture(about, "about_x11");
  // The middle of the text area lies on a row however the rows are aligned.
  const RECT area = about->text_window->text_area();
  click_at(area.x1 + 20, (area.y1 + area.y2) / 2);
  ASSERT_EQ(commands.size(), 1u);
  // The shell runs the browser the environment names.
  EXPECT_NE(commands[0].find("$BROWSER"), std::string::npos) << commands[0];
  EXPECT_NE(commands[0].find(WM_ABOUT::WEB_ADDRESS), std::string::npos) << commands[0];
  EXPECT_EQ(WM_SCREEN_OBJECT::overlays().size(), 1u);
  click(about->close_button);
  EXPECT_TRUE(gone());
  unsetenv("BROWSER");
}
