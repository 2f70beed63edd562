// Message dialog layouts without a display: button widths from "Close" and
// the texts, the gaps of each button count, the message window above the
// row, and the line form sized to its lines and centred at its final size.
#include <gtest/gtest.h>

#include <memory>

#include "dialog_pictures.h"
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

// Every form's layout as one text, a line per dialog: its box, the client
// area's place in it and size, each line's text and place, each button's
// text and box (client-relative, left to right), which button Escape
// clicks, and the message window's box and rows. Rows of one, two and
// three buttons (and counts out of range), too narrow a dialog, the two-
// text, Close and Yes-No forms, and the line form. Against
// tests/references/dialogs4/confirm_layouts.txt.
TEST_F(Confirm, EveryFormLaysOutAsItsTranscript) {
  std::string out;
  using wm_test::box_text;
  auto note = [&](const std::string& name, WM_CONFIRM&& d) {
    const WM_SCREEN_OBJECT* c = d.get_client();
    out += name + ": " + box_text(d.get_x(), d.get_y(), d.width, d.height) + (d.visible ? "" : " hidden") +
           " client " + box_text(c->x - d.x, c->y - d.y, c->width, c->height);
    for (const WM_SCREEN_OBJECT* o : c->children)
      if (o->kind & wm_kind::SCRIPT) {
        const auto* line = static_cast<const WM_SCRIPT*>(o);
        out += " \"" + std::string(line->text.get_text(PARAMETER::VALUE)) + "\" " + std::to_string(o->x - c->x) + "," +
               std::to_string(o->y - c->y);
      }
    for (const WM_BUTTON* b : {d.third_button, d.first_button, d.second_button})
      if (b) out += " [" + std::string(b->get_text()) + " " + box_text(b->x - c->x, b->y - c->y, b->width, b->height) + "]";
    if (d.escape_button) out += " escape " + std::string(d.escape_button->get_text());
    if (const WM_TEXT_WIN* m = d.message_window)
      out += " message " + box_text(m->x - c->x, m->y - c->y, m->width, m->height) + " rows " +
             std::to_string(m->get_row_count()) + "/" + std::to_string(m->get_visible_rows()) +
             (m->keep_at_top ? " top" : "") + (m->scrollbar ? " bar" : "");
    out += "\n";
  };
  const WM_CONFIRM::BUTTON_ACTION a{nullptr, 0, 1};
  const struct {
    int16_t count, width;
    const char* texts[3];
  } rows[] = {
      {1, 400, {"Ok", nullptr, nullptr}},          {2, 400, {"Yes", "No", nullptr}},
      {2, 400, {"Retry the copy", "Skip", nullptr}}, {3, 400, {"Retry", "Skip", "Abort"}},
      {2, 40, {"Yes", "No", nullptr}},             {3, 40, {"Retry", "Skip", "Abort"}},
      {0, 400, {"Ok", "No", "Abort"}},             {4, 400, {"Ok", "No", "Abort"}},
  };
  for (const auto& r : rows)
    note(std::to_string(r.count) + " of " + std::to_string(r.width),
         WM_CONFIRM(r.width, 200, "Question", r.texts[0], r.texts[1], r.texts[2], true, a, a, a, 10, 10, r.count,
                    100, nullptr));
  for (const bool single : {true, false})
    note(single ? "single" : "pair",
         WM_CONFIRM(300, 150, "Q", "Go", "Stay", false, a, a, -1, -1, single, 10, nullptr));
  for (const bool close_only : {true, false})
    note(close_only ? "close only" : "yes or no",
         WM_CONFIRM(300, 150, "Q", true, nullptr, 0, 20, 30, close_only, 10, nullptr));
  const char* lines[] = {"Install into the chosen folder?", nullptr, "short"};
  for (const uint16_t n : {0, 1, 3})
    for (const bool close_only : {true, false})
      note("lines " + std::to_string(n) + (close_only ? " close" : " yes or no"),
           WM_CONFIRM(n == 1 ? 5 : -1, n == 3 ? 7 : -1, "Question", lines, n, true, nullptr, 0, close_only,
                      nullptr));
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "confirm_layouts", out));
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
