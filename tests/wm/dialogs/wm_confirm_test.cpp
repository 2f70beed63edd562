// Message dialog layouts without a display: button widths from "Close" and
// the texts, the gaps of each button count, the message window above the
// row, and the line form sized to its lines and centred at its final size.
#include <gtest/gtest.h>

#include <memory>

#include "screen.h"
#include "wm_button.h"
#include "wm_confirm.h"
#include "wm_kinds.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_text_win.h"

namespace {

class Confirm : public wm_test::TextSkinTest {
protected:
  Confirm() : TextSkinTest("confirm_test", 800, 600) {}
  // Client-relative left edge and width (x2 - x1) of a button.
  static int32_t left(const WM_CONFIRM& d, const WM_BUTTON* b) {
    return b->x - d.get_client()->x;
  }
  static int32_t span(const WM_BUTTON* b) { return b->width - 1; }
  static int32_t client_w(const WM_CONFIRM& d) { return d.get_client()->width; }
  static int32_t text_w(const char* t) { return get_screen_image()->get_text_width(255, 65535, -1, t); }
};

}  // namespace

TEST_F(Confirm, ButtonRowsOfOneTwoAndThreeButtons) {
  const WM_CONFIRM::BUTTON_ACTION a{nullptr, 0, 1};
  const struct {
    const char* name;
    int16_t count;
    const char* texts[3];
  } rows[] = {
      {"one", 1, {"Ok", nullptr, nullptr}},
      {"two short", 2, {"Yes", "No", nullptr}},
      {"two long", 2, {"Retry the copy", "Skip", nullptr}},
      {"three", 3, {"Retry", "Skip", "Abort"}},
      {"tiny dialog", 2, {"Yes", "No", nullptr}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const int16_t w = r.name[1] == 'i' ? 40 : 400;
    WM_CONFIRM d(w, 200, "Question", r.texts[0], r.texts[1], r.texts[2], true, a, a, a, 10, 10,
                 r.count, 100, nullptr);
    const WM_BUTTON* buttons[3] = {d.first_button, d.second_button, d.third_button};
    // Every button is as wide as the widest text, and never narrower than "Close".
    WM_CONFIRM close_only(w, 200, "Q", true, nullptr, 0, 10, 10, true, 100, nullptr);
    const int32_t close_w = span(close_only.first_button);
    int32_t widest = close_w;
    for (int i = 0; i < r.count; ++i) {
      ASSERT_NE(buttons[i], nullptr);
      EXPECT_STREQ(buttons[i]->get_text(), r.texts[i]);
      widest = std::max(widest, close_w - text_w("Close") + text_w(r.texts[i]));
    }
    for (int i = 0; i < r.count; ++i) EXPECT_EQ(span(buttons[i]), widest) << i;
    const int32_t cw = client_w(d), bw = widest;
    if (r.count == 1) {
      EXPECT_EQ(left(d, d.first_button), (cw - bw) / 2);
      EXPECT_EQ(d.second_button, nullptr);
    } else if (r.count == 2 && w > 100) {
      EXPECT_EQ(left(d, d.first_button), (cw - 2 * bw) / 3);
      EXPECT_EQ(left(d, d.second_button), 2 * (cw - 2 * bw) / 3 + bw);
    } else if (r.count == 3) {
      EXPECT_EQ(left(d, d.third_button), 10);
      EXPECT_EQ(left(d, d.second_button) + span(d.second_button), cw - 11);
    } else {
      // Too narrow for two: the buttons start inside the client, never before it.
      EXPECT_GE(left(d, d.first_button), 0);
      EXPECT_GE(left(d, d.second_button), 0);
    }
    // The message window sits above the row; the row starts where the client ends
    // less its height.
    ASSERT_NE(d.message_window, nullptr);
    EXPECT_LT(d.message_window->y + d.message_window->height, d.first_button->y);
    EXPECT_EQ(d.message_window->keep_at_top, 1);
  }
  // One made hidden stays hidden (the created hook is checked by the pictures).
  EXPECT_FALSE(WM_CONFIRM(300, 150, "Q", false, nullptr, 0, 10, 10, true, 10, nullptr).visible);
}

TEST_F(Confirm, LineFormFitsItsLinesAndCentresAtItsFinalSize) {
  const char* lines[] = {"Install into the chosen folder?", nullptr, "short"};
  WM_CONFIRM d(-1, -1, "Question", lines, 3, true, nullptr, 0, false, nullptr);
  const int32_t widest = text_w(lines[0]);
  EXPECT_EQ(d.width, std::max(widest + 40, 150));
  EXPECT_NEAR(d.get_x(), (800 - d.width) / 2, 1);
  EXPECT_NEAR(d.get_y(), (600 - d.height) / 2, 1);
  EXPECT_STREQ(d.first_button->get_text(), "Yes");
  EXPECT_STREQ(d.second_button->get_text(), "No");
  EXPECT_EQ(d.message_window, nullptr);
  EXPECT_FALSE(d.load_text_file(skin, "any.txt"));
  // The buttons start two line heights below the last line's top.
  const int32_t lh = get_screen_image()->font_height;
  EXPECT_EQ(d.first_button->y - d.get_client()->y, 5 * lh);

  WM_CONFIRM empty(10, 10, nullptr, nullptr, 0, true, nullptr, 0, true, nullptr);
  EXPECT_EQ(empty.width, 198);  // room for three "Close" buttons of 66
  EXPECT_STREQ(empty.first_button->get_text(), "Close");
  EXPECT_EQ(empty.first_button->y - empty.get_client()->y, 2 * lh);
}

// A dialog made at a small size grows, within the view, to its title, its
// relabelled buttons and its whole message; buttons never overlap and each
// shows its whole text; a message taller than the view scrolls instead.
TEST_F(Confirm, FitsItsTitleButtonsAndMessageWithinTheView) {
  const std::string long_message = [] {
    std::string m;
    for (int i = 0; i < 60; ++i) m += "A sentence of the message that goes on. ";
    return m;
  }();
  const struct {
    const char* name;
    const char* title;
    const char* yes;
    const char* no;
    std::string message;
    bool scrolls;
    int width, height;  // the fitted size
  } rows[] = {
      {"short words keep the size", "Quit?", "Yes", "No", "Leave now?", false, 200, 150},
      {"a long title", "Einrichtung verlassen? Wirklich jetzt schon?", "Ja", "Nein", "Gehen?", false, 468, 150},
      {"long buttons", "Quit", "Verlassen und alles vergessen", "Bleiben und weitermachen", "?", false, 688, 150},
      {"a long message", "Einrichtung verlassen?", "Verlassen", "Bleiben",
       "Demo Notes ist noch nicht installiert. Trotzdem verlassen? Die Einrichtung kann spaeter "
       "wieder gestartet werden, und nichts ist verloren.",
       false, 514, 176},  // four rows: two thirds of the view would not make them three
      // Four rows at 200, three at 220: no wider.
      {"three rows", "Quit", "Yes", "No", "Leave the set-up now? Nothing is lost by it.", false, 220, 154},
      // At 440 the text is a pixel too wide for three rows: 460.
      {"three rows by a pixel", "Quit", "Yes", "No", "Leave now? Leave now? Leave now? Leave now? "
       "Leave now? Leave now? Leave now? Leave now? Leave now? w", false, 460, 154},
      {"more than the view holds", "Quit", "Yes", "No", long_message, true, 800, 600},
  };
  const RECT view = WM_DIALOG::view();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    WM_CONFIRM d(200, 150, r.title, true, nullptr, 0, 300, 200, false, 100, nullptr);
    d.message_window->add_text(r.message.c_str(), "", nullptr, true, true);
    d.message_window->text_flags = 0;
    d.first_button->set_text(r.yes, false);
    d.second_button->set_text(r.no, false);
    d.fit_to_texts();

    EXPECT_EQ(d.width, r.width);
    EXPECT_EQ(d.height, r.height);
    EXPECT_TRUE(view.contains(RECT::sized(d.get_x(), d.get_y(), d.width, d.height)));
    // The title shows whole.
    EXPECT_GE(d.get_title()->width, text_w(r.title) + d.get_title()->left_gap + d.get_title()->right_gap);
    // Each button holds its text; they stand apart inside the client area.
    for (const WM_BUTTON* b : {d.first_button, d.second_button})
      EXPECT_GE(b->width - b->left_gap - b->right_gap, text_w(b->get_text()));
    EXPECT_LT(d.first_button->x + d.first_button->width, d.second_button->x);
    EXPECT_GE(d.first_button->x, d.get_client()->x);
    EXPECT_LE(d.second_button->x + d.second_button->width, d.get_client()->x + d.get_client()->width);
    // The message: every row shown, or a scroll bar for them.
    WM_TEXT_WIN* m = d.message_window;
    EXPECT_EQ(m->scrollbar != nullptr, r.scrolls);
    EXPECT_LT(m->y + m->height, d.first_button->y);
    if (r.scrolls) {
      EXPECT_EQ(d.width, view.width());
    } else {
      EXPECT_LE(m->get_row_count(), m->get_visible_rows());
    }
  }
  // A lone long button sets the width: itself and a 10-pixel margin each side.
  WM_CONFIRM lone(40, 150, "Q", true, nullptr, 0, 300, 200, true, 100, nullptr);
  lone.first_button->set_text("Verlassen und alles vergessen", false);
  lone.fit_to_texts();
  EXPECT_EQ(std::make_pair(left(lone, lone.first_button), client_w(lone)),
            std::make_pair(10, span(lone.first_button) + 20));
  lone.get_title()->text.set_type(PARAMETER::I32);  // a title that is no text measures nothing:
  lone.get_title()->left_gap = 600;
  lone.fit_to_texts();
  EXPECT_EQ(lone.width, 604);  // its gap of 600, a pixel past the text, the right gap of 1 and the frame's 2
}
