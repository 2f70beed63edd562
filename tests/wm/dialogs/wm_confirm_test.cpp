// Message dialog layouts without a display: button widths from "Close" and
// the texts, the gaps of each button count, the message window above the
// row, and the line form sized to its lines and centred at its final size.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

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
  // A line of a dialog's layout: its box, the client area's place in it
  // and size, the title's width, each line's text and place, each button's
  // text and box (client-relative, left to right), which button Escape
  // clicks, and the message window's box and rows.
  static std::string layout(const std::string& name, WM_CONFIRM& d) {
    using wm_test::box_text;
    std::ostringstream out;
    const WM_SCREEN_OBJECT* c = d.get_client();
    out << name << ": " << box_text(d.get_x(), d.get_y(), d.width, d.height) << (d.visible ? "" : " hidden")
        << " client " << box_text(c->x - d.x, c->y - d.y, c->width, c->height) << " title "
        << (d.get_title() ? d.get_title()->width : 0);
    for (const WM_SCREEN_OBJECT* o : c->children)
      if (o->kind & wm_kind::SCRIPT)
        out << " \"" << static_cast<const WM_SCRIPT*>(o)->text.get_text(PARAMETER::VALUE) << "\" " << o->x - c->x
            << "," << o->y - c->y;
    for (const WM_BUTTON* b : {d.third_button, d.first_button, d.second_button})
      if (b) out << " [" << b->get_text() << " " << box_text(b->x - c->x, b->y - c->y, b->width, b->height) << "]";
    if (d.escape_button) out << " escape " << d.escape_button->get_text();
    if (const WM_TEXT_WIN* m = d.message_window)
      out << " message " << box_text(m->x - c->x, m->y - c->y, m->width, m->height) << " rows " << m->get_row_count()
          << "/" << m->get_visible_rows() << (m->keep_at_top ? " top" : "") << (m->scrollbar ? " bar" : "")
          << (m->selection_allowed ? " selectable" : "");
    return out.str() + "\n";
  }
};

}  // namespace

// Every form's layout as one text, a line per dialog (layout()): rows of
// one, two and three buttons (and counts out of range), too narrow a
// dialog, the two-text, Close and Yes-No forms, and the line form centred
// at its final size. Against tests/references/dialogs4/confirm_layouts.txt.
TEST_F(Confirm, EveryFormLaysOutAsItsTranscript) {
  std::string out;
  auto note = [&](const std::string& name, WM_CONFIRM&& d) {  // a row of three also fitted to its texts
    out += layout(name, d);
    if (d.third_button) d.fit_to_texts(), out += layout(name + " fitted", d);
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
         WM_CONFIRM(300, 150, "Q", close_only, nullptr, 0, 20, 30, close_only, 10, nullptr));  // "yes or no" hidden
  const char* lines[] = {"Install into the chosen folder?", nullptr, "short"};
  for (const uint16_t n : {0, 1, 3})
    for (const bool close_only : {true, false})
      note("lines " + std::to_string(n) + (close_only ? " close" : " yes or no"),
           WM_CONFIRM(n == 1 ? 5 : -1, n == 3 ? 7 : -1, "Question", lines, n, true, nullptr, 0, close_only,
                      nullptr));
  EXPECT_FALSE(WM_CONFIRM(-1, -1, "Q", lines, 3, true, nullptr, 0, false, nullptr).load_text_file(skin, "any.txt"));
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "confirm_layouts", out));
}

// A dialog made at a small size grows, within the view, to its title, its
// relabelled buttons and its whole message; buttons never overlap and each
// shows its whole text; a message taller than the view scrolls instead.
// The fitted layouts against tests/references/dialogs4/confirm_fitted.txt.
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
  } rows[] = {
      {"short words keep the size", "Quit?", "Yes", "No", "Leave now?"},
      {"a long title", "Einrichtung verlassen? Wirklich jetzt schon?", "Ja", "Nein", "Gehen?"},
      {"long buttons", "Quit", "Verlassen und alles vergessen", "Bleiben und weitermachen", "?"},
      {"a long message", "Einrichtung verlassen?", "Verlassen", "Bleiben",
       "Demo Notes ist noch nicht installiert. Trotzdem verlassen? Die Einrichtung kann spaeter "
       "wieder gestartet werden, und nichts ist verloren."},  // four rows: two thirds of the view make no three
      // Four rows at 200, three at 220: no wider.
      {"three rows", "Quit", "Yes", "No", "Leave the set-up now? Nothing is lost by it."},
      // At 440 the text is a pixel too wide for three rows: 460.
      {"three rows by a pixel", "Quit", "Yes", "No", "Leave now? Leave now? Leave now? Leave now? "
       "Leave now? Leave now? Leave now? Leave now? Leave now? w"},
      {"more than the view holds", "Quit", "Yes", "No", long_message},
  };
  std::string out;
  for (const auto& r : rows) {
    WM_CONFIRM d(200, 150, r.title, true, nullptr, 0, 300, 200, false, 100, nullptr);
    d.message_window->add_text(r.message.c_str(), "", nullptr, true, true);
    d.message_window->text_flags = 0;
    d.first_button->set_text(r.yes, false);
    d.second_button->set_text(r.no, false);
    d.fit_to_texts();
    out += layout(r.name, d);  // inside the view of 800 by 600
  }
  // A lone long button sets the width: itself and a 10-pixel margin each side.
  WM_CONFIRM lone(40, 150, "Q", true, nullptr, 0, 300, 200, true, 100, nullptr);
  lone.first_button->set_text("Verlassen und alles vergessen", false);
  lone.fit_to_texts();
  out += layout("a lone long button", lone);
  lone.get_title()->text.set_type(PARAMETER::I32), lone.get_title()->left_gap = 600;  // no text measures nothing:
  lone.fit_to_texts();
  EXPECT_EQ(lone.width, 604);  // its gap of 600, a pixel past the text, the right gap of 1 and the frame's 2
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "confirm_fitted", out));
}
