// The quit question without a display: its texts, drag flag and icons from
// the data, one dialog however many close requests come, Yes ending the
// run, and the dialog pointer cleared on every path the dialog goes by.
// Messages added to a confirmation land in the colour asked for.
#include "quit_confirm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "database.h"
#include "font.h"
#include "input_driver.h"
#include "screen.h"
#include "toolkit_defaults_guard.h"
#include "wm_button.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_text_win.h"
#include "wizard_hooks.h"
#include "wm_test_fonts.h"

namespace {

constexpr int16_t kWidth = 640, kHeight = 480;
int32_t next_page_result = 0;  // returned once by the page's frame callback

class QuitConfirm : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(wm_test::load_test_font());
    set_screen_size(0, 0);
    set_screen_size(kWidth, kHeight);
    WM_SCREEN_OBJECT::set_drawing_surface(get_screen_image());
    DATABASE& data = installer_database();
    data.clear();
    DATABASE_LANGUAGE english;
    const std::pair<LANGUAGE_KEY, const char*> texts[] = {
        {QUIT_TITLE, "Leave?"}, {QUIT_MSG, "Nothing is installed yet."},
        {QUIT_YES, "Leave"}, {QUIT_NO, "Stay"}};
    for (const auto& [key, text] : texts) snprintf(english.texts[key], DATABASE_TEXT_SIZE, "%s", text);
    data.languages.push_back(english);
    data.exit.can_drag = 0;
    data.icons[ICON_YES].create(8, 8);
    data.icons[ICON_NO].create(0, 0);
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, [](WM_PAGE_MANAGER*) {}, nullptr, 0,
                      [] { return std::exchange(next_page_result, 0); }, 0, 1, nullptr);
    frames(3);
  }
  void TearDown() override {
    manager.reset();
    DATABASE& data = installer_database();
    data.clear();
    data.icons[ICON_YES].create(0, 0);
    FONT::shutdown();
  }
  // Page manager frames, a second apart so that every effect ends; the
  // first result that is an action.
  int32_t frames(int count) {
    int32_t result = 0;
    for (int i = 0; i < count && (result == 0 || result == page_action::HANDLED); ++i) {
      input.advance_ms(1000);
      result = manager->frame(false);
    }
    return result == page_action::HANDLED ? 0 : result;
  }
  static int confirm_overlays() {
    int count = 0;
    for (const WM_SCREEN_OBJECT* o : WM_SCREEN_OBJECT::overlays())
      count += (o->kind & wm_kind::CONFIRM) != 0;
    return count;
  }

public:  // for the rows' lambdas
  void click(WM_BUTTON* button) {
    input.move_to(button->get_x() + button->width / 2, button->get_y() + button->height / 2);
    input.press(1);
    manager->frame(false);
    input.release(1);
  }
  installer_test::TOOLKIT_DEFAULTS_GUARD defaults;
  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

}  // namespace

TEST_F(QuitConfirm, TheDialogSpeaksTheCurrentLanguageAndYesEndsTheRun) {
  ASSERT_EQ(confirm_quit, confirm_quit_now);  // the shell asks before quitting
  EXPECT_FALSE(confirm_quit(0));
  ASSERT_NE(quit_dialog, nullptr);
  EXPECT_STREQ(quit_dialog->get_text(), "Leave?");
  EXPECT_STREQ(quit_dialog->first_button->get_text(), "Leave");
  EXPECT_STREQ(quit_dialog->second_button->get_text(), "Stay");
  EXPECT_EQ(quit_dialog->draggable, 0);
  EXPECT_EQ(quit_dialog->first_button->icon.width, 8);
  EXPECT_EQ(quit_dialog->second_button->icon.width, 0);  // a 0-wide icon is none
  ASSERT_EQ(quit_dialog->message_window->get_line_count(), 1);
  EXPECT_STREQ(quit_dialog->message_window->get_row(quit_dialog->message_window->row_at_age(0)).text,
               "Nothing is installed yet.");
  EXPECT_EQ(quit_dialog->message_window->text_flags, 0);
  // The EXIT geometry: 200 x 150, centred.
  EXPECT_EQ(quit_dialog->width, 200);
  EXPECT_EQ(quit_dialog->get_x(), (kWidth - 200) / 2);

  // Longer words than the skin's 200 x 150 holds: the dialog grows, inside
  // the window, until title, message and buttons show whole.
  DATABASE& data = installer_database();
  const std::pair<LANGUAGE_KEY, const char*> texts[] = {
      {QUIT_TITLE, "Einrichtung verlassen?"},
      {QUIT_MSG, "Demo Notes ist noch nicht installiert. Trotzdem verlassen?"},
      {QUIT_YES, "Verlassen"},
      {QUIT_NO, "Bleiben"}};
  for (const auto& [key, text] : texts) snprintf(data.languages[0].texts[key], DATABASE_TEXT_SIZE, "%s", text);
  confirm_quit(0);  // asked again: the one dialog in the new words
  ASSERT_NE(quit_dialog, nullptr);
  IMAGE* s = get_screen_image();
  const auto width_of = [s](const char* t) { return s->get_text_width(255, 65535, -1, t); };
  EXPECT_GE(quit_dialog->get_title()->width, width_of("Einrichtung verlassen?"));
  for (WM_BUTTON* b : {quit_dialog->first_button, quit_dialog->second_button})
    EXPECT_GE(b->width - b->left_gap - b->right_gap, width_of(b->get_text()));
  EXPECT_LT(quit_dialog->first_button->x + quit_dialog->first_button->width, quit_dialog->second_button->x);
  WM_TEXT_WIN* m = quit_dialog->message_window;
  EXPECT_EQ(m->scrollbar, nullptr);
  EXPECT_LE(m->get_row_count(), m->get_visible_rows());
  EXPECT_TRUE(RECT::sized(0, 0, kWidth, kHeight)
                  .contains(RECT::sized(quit_dialog->get_x(), quit_dialog->get_y(), quit_dialog->width,
                                        quit_dialog->height)));

  // A press alone, or a call from no button, answers nothing.
  EXPECT_EQ(on_quit_answer(quit_dialog->first_button, 1, 1), 0);
  frames(2);
  click(quit_dialog->first_button);
  EXPECT_EQ(manager->frame(false), page_action::END);
  // The message keeps its last 100 lines: after A and 100 line breaks the A has gone.
  snprintf(data.languages[0].texts[QUIT_MSG], DATABASE_TEXT_SIZE, "A%s", std::string(100, '\r').c_str());
  confirm_quit(0);
  EXPECT_EQ(quit_dialog->message_window->get_line_count(), 100);
  EXPECT_STREQ(quit_dialog->message_window->get_row(quit_dialog->message_window->row_at_age(0)).text, "");
}

TEST_F(QuitConfirm, EveryWayTheDialogGoesClearsItsPointer) {
  const struct {
    const char* name;
    void (*end)(QuitConfirm& test);
  } rows[] = {
      {"its No button", [](QuitConfirm& t) { t.click(quit_dialog->second_button); }},
      {"a page reload", [](QuitConfirm&) { next_page_result = page_action::RELOAD_PAGE; }},
      {"closing every dialog", [](QuitConfirm&) { WM_DIALOG::close_all_dialogs(true); }},
      {"closing every dialog slowly", [](QuitConfirm&) { WM_DIALOG::close_all_dialogs(false); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // Two close requests: one dialog.
    confirm_quit(0);
    confirm_quit(0);
    frames(6);
    ASSERT_NE(quit_dialog, nullptr);
    EXPECT_EQ(confirm_overlays(), 1);
    row.end(*this);
    EXPECT_EQ(frames(8), 0);
    EXPECT_EQ(quit_dialog, nullptr);
    EXPECT_EQ(confirm_overlays(), 0);
  }
  // After all of them a new request still opens exactly one dialog.
  confirm_quit(0);
  EXPECT_EQ(confirm_overlays(), 1);
}

TEST_F(QuitConfirm, MessagesTakeTheGivenColourElseTheDialogsText) {
  constexpr COLOUR kMagenta = 0xFFFF00FF;
  const COLOUR unset = 0x00FF00FF;
  const struct {
    const char* name;
    const char* text;
    const COLOUR* colour;
    int lines;
    bool magenta;  // drawn in the given colour, else in the body's text colour
    bool shown_first;  // added to a dialog already at rest on the screen
  } rows[] = {
      {"set colour", "MMMM", &kMagenta, 1, true, false},
      {"set colour, dialog shown", "MMMM", &kMagenta, 1, true, true},
      {"unset colour", "MMMM", &unset, 1, false, false},
      {"no colour", "MMMM", nullptr, 1, false, false},
      {"no text", nullptr, &kMagenta, 0, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto* dialog = new WM_CONFIRM(300, 150, "Q", true, nullptr, 0, 0, 0, false, 10, nullptr);
    dialog->body_style.fg_colour = 0xFF00FF00;
    manager->current_root()->add_overlay(dialog, false);
    if (row.shown_first) frames(6);
    add_message_text(dialog, row.text, row.colour);
    EXPECT_EQ(dialog->message_window->get_line_count(), row.lines);
    frames(6);
    int magenta = 0, green = 0;
    const RECT area = dialog->message_window->text_area();
    for (int32_t py = area.y1; py <= area.y2; ++py) {
      for (int32_t px = area.x1; px <= area.x2; ++px) {
        COLOUR c = 0;
        get_screen_image()->get_pixel(static_cast<int16_t>(px), static_cast<int16_t>(py), &c);
        c |= 0xFF000000;
        magenta += c == kMagenta;
        green += c == 0xFF00FF00;
      }
    }
    EXPECT_EQ(magenta > 0, row.magenta);
    EXPECT_EQ(green > 0, row.lines > 0 && !row.magenta);
    manager->current_root()->remove_overlay(dialog, true, false);
  }
  // A dialog without a message window takes nothing and keeps going.
  const char* lines[] = {"one line"};
  WM_CONFIRM line_form(-1, -1, "Q", lines, 1, true, nullptr, 0, true, nullptr);
  add_message_text(&line_form, "more", &kMagenta);
  add_message_text(nullptr, "more", &kMagenta);
  EXPECT_EQ(line_form.message_window, nullptr);
}
