// The dialogs and text widgets together on one headless page, in a skin
// this test writes: a progress bar in colours and one from skin frames, a
// scrolled text window with a selection, a confirmation dialog and the
// about box, saved as "dialog_page.png" for a person to look at. The checks
// are what a user sees, not a golden picture.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "default_dialog_styles.h"
#include "dialog_pictures.h"
#include "dialog_effects.h"
#include "input_driver.h"
#include "system_info.h"
#include "wm_about.h"
#include "wm_button.h"
#include "wm_confirm.h"
#include "wm_file_select.h"
#include "wm_flags_select.h"
#include "wm_keyboard.h"
#include "wm_keyboard_dialog.h"
#include "wm_list_box.h"
#include "wm_menu.h"
#include "wm_page_manager.h"
#include "wm_progress_bar.h"
#include "wm_scrollbar.h"
#include "wm_test_fonts.h"
#include "wm_text_edit.h"
#include "wm_text_edit_dialog.h"
#include "wm_text_win.h"

namespace {

using wm_test::pixel;

constexpr int16_t kWidth = 900, kHeight = 540;
constexpr COLOUR kDesk = 0xFF28323C, kTrack = 0xFF404850, kFill = 0xFF20B040, kEmpty = 0xFF182028,
                 kInk = 0xFFF0F0F0, kSkinFull = 0xFFE09020, kSkinEmpty = 0xFF303848,
                 kPaper = 0xFFF4F4EC, kText = 0xFF102040;

// The share of the rectangle's pixels that have the colour.
double share_of(COLOUR c, int x1, int y1, int x2, int y2) {
  int hits = 0, all = 0;
  for (int py = y1; py <= y2; ++py)
    for (int px = x1; px <= x2; ++px, ++all)
      if (pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == c) ++hits;
  return all ? static_cast<double>(hits) / all : 0.0;
}

class DialogPage : public wm_test::TextSkinTest {
protected:
  DialogPage() : TextSkinTest("dialog_page_test", kWidth, kHeight) {}
  void TearDown() override {
    while (!WM_SCREEN_OBJECT::overlays().empty())
      root.remove_overlay(WM_SCREEN_OBJECT::overlays().back(), true, false);
    root.destroy_children(true, 0, true);
    TextSkinTest::TearDown();
  }
  // The skin's bar pictures: a rimmed track, solid empty and full parts.
  void make_skin() {
    IMAGE back(8, 8);
    const COLOUR rim = 0xFF101418, inside = 0xFF586070;
    back.fill_rect_solid(0, 0, 7, 7, &rim);
    back.fill_rect_solid(1, 1, 6, 6, &inside);
    save_png("pb_bg.png", back);
    save_solid_png("pb_empty.png", kSkinEmpty);
    save_solid_png("pb_full.png", kSkinFull);
  }
  // Toolkit frames with a fast effects clock until no overlay moves.
  void settle() {
    for (int turn = 0; turn < 50; ++turn) {
      clock += 400;
      WM_SCREEN_OBJECT::set_frame_clock(clock);
      root.process();
      root.update(true);
      {
        DIRTY_RECTANGLES::SCOPED_ENTRY whole(dirty_rectangles(),
                                             RECT{0, 0, kWidth - 1, kHeight - 1});
        root.paint();
        root.paint_overlays();
      }
      bool moving = false;
      for (WM_SCREEN_OBJECT* o : WM_SCREEN_OBJECT::overlays())
        moving = moving || static_cast<WM_DIALOG*>(o)->is_moving();
      if (!moving) return;
    }
    ADD_FAILURE() << "the dialogs never came to rest";
  }

  // The page manager's frames, each 200 ms after the one before.
  void page_frames(WM_PAGE_MANAGER& manager, int n) {
    for (int i = 0; i < n; ++i) {
      input.advance_ms(200);
      manager.frame(false);
    }
  }

  WM_SCREEN_OBJECT root{true, nullptr, 0, 0};
  uint32_t clock = 10000;
  test_support::INPUT_DRIVER input;
};

TEST_F(DialogPage, ProgressBarsTextWindowConfirmationAndAboutBoxOnOnePage) {
  ASSERT_NO_FATAL_FAILURE(make_skin());
  root.width = kWidth;
  root.height = kHeight;
  root.add_child(new wm_test::BOX(0, 0, kWidth, kHeight, kDesk), false);

  // A bar in colours at 40 % and one from the skin's frames at 70 %.
  auto* coloured = new WM_PROGRESS_BAR(20, 20, 360, 28, "Files", 100, &kTrack, &kInk, &kFill, 0,
                                       255, 65535, 65535, 4, 4, 3, 3);
  coloured->empty_colour = kEmpty;
  coloured->text_colour = kInk;
  coloured->value = 40;
  auto* skinned = new WM_PROGRESS_BAR(20, 60, 360, 28, nullptr, 200, &kTrack, &kInk, &kFill, 0,
                                      255, 65535, 65535, 4, 4, 3, 3);
  ASSERT_TRUE(skinned->set_skin(skin, "pb", nullptr));
  skinned->text_colour = COLOUR_INVISIBLE;
  skinned->value = 140;
  root.add_child(coloured, false);
  root.add_child(skinned, false);

  // Thirty lines, scrolled back five rows, with a drag over two rows.
  const COLOUR bar_colours[3] = {0xFF5070B0, 0xFFD8D8D8, 0xFF202020};
  auto* win = new WM_TEXT_WIN(20, 110, 379, 519, 2, 100, 16, &bar_colours[0], &bar_colours[1],
                              &bar_colours[2], true, true, nullptr, 0, 0);
  win->background_colour = kPaper;
  for (int i = 1; i <= 30; ++i)
    win->add_text(("Line " + std::to_string(i) + " of the licence text").c_str(), nullptr, &kText,
                  false, true);
  root.add_child(win, false);
  ASSERT_NE(win->scrollbar, nullptr);
  win->scroll.set_int(PARAMETER::VALUE, 5);
  const RECT area = win->text_area();
  const int32_t rows = win->get_visible_rows();
  const int32_t row_h = area.height() / rows;
  ASSERT_GE(rows, 6);
  const int sel_y1 = area.y1 + row_h * 2 + row_h / 2, sel_y2 = area.y1 + row_h * 3 + row_h / 2;
  input.move_to(area.x1 + 2, sel_y1);
  input.press(1);
  win->process();
  input.move_to(area.x1 + 120, sel_y2);
  win->process();
  input.release(1);
  win->process();
  ASSERT_TRUE(win->has_selection());

  // A two-button confirmation with a message, and the about box.
  const DIALOG_EFFECTS at_once{0};  // no open or close effect
  const WM_CONFIRM::BUTTON_ACTION retry{WM_CONFIRM::close_on_click, 0, 1},
      skip{WM_CONFIRM::close_on_click, 0, 0};
  auto* confirm = new WM_CONFIRM(440, 170, "Copy error", "Retry", "Skip", true, retry, skip, 420,
                                 20, false, 100, &at_once);
  ASSERT_NE(confirm->message_window, nullptr);
  confirm->message_window->add_text("The file could not be copied.", nullptr, nullptr, true, true);
  root.add_overlay(confirm, false);
  auto* about = new WM_ABOUT(420, 205, 440, 315);
  root.add_overlay(about, false);
  ASSERT_NO_FATAL_FAILURE(settle());

  ASSERT_NO_FATAL_FAILURE(wm_test::save_screen("dialog_page.png"));
  // The whole page, less the about text, which carries the build's date.
  const WM_TEXT_WIN& credits = *about->text_window;
  get_screen_image()->fill_rect_solid(credits.x, credits.y, credits.x + credits.width - 1,
                                      credits.y + credits.height - 1, &kDesk);
  EXPECT_TRUE(wm_test::screen_matches_reference("dialog_page"));

  // The selected rows show a band of the text colour; the rows around them
  // show paper with a little ink.
  for (const int y : {sel_y1, sel_y2, sel_y1 - row_h, sel_y2 + row_h}) {
    const auto share = [&](COLOUR c) { return share_of(c, area.x1 + 2, y - row_h / 4, area.x1 + 100, y + row_h / 4); };
    if (y == sel_y1 || y == sel_y2) {
      EXPECT_GT(share(kText), 0.5) << y;
    } else {
      EXPECT_LT(share(kText), 0.3) << y;
      EXPECT_GT(share(kPaper), 0.5) << y;
    }
  }
  // The scroll bar sits beside the rows, its slider off the bottom end.
  const WM_SCROLLBAR& bar = *win->scrollbar;
  EXPECT_GT(bar.x, area.x2);
  EXPECT_LT(bar.get_slider_start() + bar.get_slider_extent(), bar.y + bar.height - 1);

  // The dialogs lie where they were put, their buttons inside them, and
  // neither covers the other.
  EXPECT_LE(confirm->y + confirm->height, about->y);
  for (const WM_BUTTON* b : {confirm->first_button, confirm->second_button, about->close_button}) {
    ASSERT_NE(b, nullptr);
    const WM_DIALOG* d = b == about->close_button ? static_cast<const WM_DIALOG*>(about) : confirm;
    EXPECT_TRUE((RECT{0, 0, kWidth - 1, kHeight - 1}.contains(RECT::sized(d->x, d->y, d->width, d->height))));
    EXPECT_GE(b->x, d->x);
    EXPECT_LE(b->x + b->width, d->x + d->width);
    EXPECT_LE(b->y + b->height, d->y + d->height);
  }
  EXPECT_LT(confirm->first_button->x + confirm->first_button->width, confirm->second_button->x);
  // The message and the about text show ink on their windows.
  const COLOUR message_paper = pixel(static_cast<int16_t>(confirm->message_window->x + 3),
                                     static_cast<int16_t>(confirm->message_window->y + 3));
  const RECT message = confirm->message_window->text_area();
  EXPECT_LT(share_of(message_paper, message.x1, message.y1, message.x2, message.y2), 0.99);
  EXPECT_NE(pixels_of(*about->text_window), std::vector<COLOUR>(about->text_window->width *
                                                                    about->text_window->height,
                                                                about->text_window->background_colour));
}

// An about box too low for its text opens at the text's first row, the
// title and build lines, and its bar shows a slider: at the bar's top end,
// in the button's text colour, which stands out on the button's face.
TEST_F(DialogPage, AnAboutBoxTooLowForItsTextOpensAtItsFirstRowWithItsSliderShown) {
  root.width = kWidth;
  root.height = kHeight;
  default_dialog_effects() = DIALOG_EFFECTS{0};
  auto* about = new WM_ABOUT(20, 20, 440, 200);
  default_dialog_effects() = DIALOG_EFFECTS();
  root.add_overlay(about, false);
  ASSERT_NO_FATAL_FAILURE(settle());
  const WM_TEXT_WIN& text = *about->text_window;
  ASSERT_NE(text.scrollbar, nullptr);
  EXPECT_EQ(text.shown_row(0), text.row_at_age(0));
  const std::string about_text = get_about_text(true);
  EXPECT_EQ(text.get_row(text.shown_row(0)).text, about_text.substr(0, about_text.find('\n')));
  const WM_SCROLLBAR& bar = *text.scrollbar;
  const COLOUR slider = default_dialog_button_style().fg_colour;
  ASSERT_NE(slider, default_dialog_button_style().bg_colour);
  const int32_t start = bar.get_slider_start();
  EXPECT_EQ(start, bar.y);
  EXPECT_GT(share_of(slider, bar.x, start, bar.x + bar.width - 1, start + bar.get_slider_extent() - 1),
            0.3);
  EXPECT_EQ(share_of(slider, bar.x, start + bar.get_slider_extent() + 2, bar.x + bar.width - 1,
                     bar.y + bar.height - 1),
            0.0);
}

}  // namespace

// Every dialog that a callback closes with the result 2 leaves the overlay
// list once its closing effect has ended, and is deleted: the message box,
// the about box, the flags chooser, the file browser, the text entry dialog
// and a keyboard opened directly, each closed by a click on its button.
TEST_F(DialogPage, EveryDialogThatACallbackClosesLeavesTheOverlays) {
  WM_CALLBACK close = [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return int32_t{2}; };
  const char* labels[] = {"one", "two"};
  using OPENED = std::pair<WM_DIALOG*, WM_BUTTON*>;  // the dialog and the button that closes it
  const struct {
    const char* name;
    std::function<OPENED()> open;
  } dialogs[] = {
      {"message", [] {
         auto* d = new WM_CONFIRM(300, 150, "Q", true, WM_CONFIRM::close_on_click, 0, 20, 20, true, 10, nullptr);
         return OPENED{d, d->first_button};
       }},
      {"about", [] { auto* d = new WM_ABOUT(20, 20); return OPENED{d, d->close_button}; }},
      {"flags", [&] {
         auto* d = new WM_FLAGS_SELECT(close, 0, nullptr, nullptr);
         d->set_flags(1, labels, 2);
         return OPENED{d, d->ok_button};
       }},
      {"file browser", [&] {
         auto* d = new WM_FILE_SELECT(20, 20, true, close, 0, nullptr, nullptr, nullptr);
         d->set_mode(WM_FILE_SELECT::MODE_FOLDER, &skin, nullptr, nullptr);
         return OPENED{d, d->cancel_button};
       }},
      {"text entry", [&] {
         auto* d = new WM_TEXT_EDIT_DIALOG(20, 20, true, close, 0, nullptr, nullptr, "Name", 20);
         return OPENED{d, d->cancel};
       }},
      {"keyboard", [] {
         auto* d = new WM_KEYBOARD_DIALOG(20, 20, 600, 300, "Keys", "", 20, nullptr, 0, 0, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, &keyboard_layout, WM_KEYBOARD::REPEATING_KEYS, 0, 0, 0);
         return OPENED{d, d->close_button};
       }},
  };
  for (const auto& d : dialogs) {
    SCOPED_TRACE(d.name);
    const auto [dialog, button] = d.open();
    root.add_overlay(dialog, false);
    ASSERT_NE(button, nullptr);
    settle();
    input.move_to(button->x + button->width / 2, button->y + button->height / 2);
    root.process();
    input.press(1);
    root.process();
    input.release(1);
    root.process();
    for (int turn = 0; turn < 20 && !WM_SCREEN_OBJECT::overlays().empty(); ++turn) settle();
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
    while (!WM_SCREEN_OBJECT::overlays().empty())
      root.remove_overlay(WM_SCREEN_OBJECT::overlays().back(), true, false);
  }
}

// Page action 5 rebuilds the page and keeps the overlays: what its deleted
// objects had opened (a menu with its sub-menu, a dropped list, a press
// tooltip, the on-screen keyboard of a field, a browser's name dialog) goes
// with them, and the clicks of the next frames reach only live objects
// (the sanitizer tree tells).
namespace rebuild_page {
WM_STYLE_SET look;
WM_MENU* menu = nullptr;
WM_LIST_BOX* list = nullptr;
WM_BUTTON* tip = nullptr;
WM_TEXT_EDIT* field = nullptr;
WM_FILE_SELECT* browser = nullptr;
int32_t action = 0;
void create(WM_PAGE_MANAGER* manager) {
  WM_MANAGER* root = manager->current_root();
  menu = new WM_MENU(10, 10, 69, 29, "Menu", MENU_DIRECTION::BELOW, &look, &look, &look, nullptr,
                     nullptr, nullptr, nullptr, nullptr, nullptr);
  menu->get_popup()->add_item("Item", nullptr, 0, 0, false);
  menu->get_popup()->add_submenu("More", false, true, nullptr, nullptr)
      ->get_popup()->add_item("Deeper", nullptr, 0, 0, false);
  const char* texts[] = {"x", "y"};
  list = new WM_LIST_BOX(100, 10, 159, 29, 2, texts, 0, &look, &look, &look, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr);
  tip = new WM_BUTTON(200, 10, 259, 29, &look, "Tip", "A tooltip", nullptr, 0, 0, 2);
  tip->tooltip_on_press = 1;
  field = new WM_TEXT_EDIT(300, 10, 100, 20, "abc", &look, nullptr, 0, 0);
  browser = new WM_FILE_SELECT(10, 120, 500, 350, &look, &look, &look, &look, &look, true, nullptr,
                               0, nullptr, nullptr, nullptr, &look, &look);
  for (WM_SCREEN_OBJECT* o : std::initializer_list<WM_SCREEN_OBJECT*>{menu, list, tip, field, browser})
    root->add_child(o, false);
}
int32_t frame() {
  const int32_t result = action;
  action = 0;
  return result;
}
}  // namespace rebuild_page

TEST_F(DialogPage, RebuildingThePageKeepsNoOverlayOfItsDeletedObjects) {
  using namespace rebuild_page;
  look = wm_test::text_style(0xFFC0C0C0, SSF_DRAW_BORDER, 0xFF000000);
  WM_PAGE_MANAGER manager(1, -1);
  manager.set_page(0, create, nullptr, 1, rebuild_page::frame, 0, 0, nullptr);
  auto frames = [&](int n) { page_frames(manager, n); };
  auto click = [&](const WM_SCREEN_OBJECT* o) {
    input.move_to(o->x + 4, o->y + 4);
    frames(1);
    input.press(1);
    frames(1);
    input.release(1);
    frames(3);
  };
  frames(1);
  const struct {
    const char* name;
    std::function<void()> open;
  } cases[] = {
      {"menu and sub-menu", [&] {
         click(menu);
         input.move_to(menu->get_popup()->get_submenu_item(1)->x + 4,
                       menu->get_popup()->get_submenu_item(1)->y + 4);
         frames(3);
       }},
      {"list", [&] { click(list); }},
      {"press tooltip", [&] {
         input.move_to(tip->x + 4, tip->y + 4);
         frames(1);
         input.press(1);
         frames(2);
       }},
      {"keyboard", [&] {
         use_onscreen_keyboard = 1;
         field->open_keyboard();
         frames(2);
       }},
      {"name dialog", [&] { click(browser->new_folder_button); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.open();
    EXPECT_FALSE(WM_SCREEN_OBJECT::overlays().empty());
    std::vector<RECT> were;
    for (const WM_SCREEN_OBJECT* o : WM_SCREEN_OBJECT::overlays())
      were.push_back(RECT::sized(o->x, o->y, o->width, o->height));
    action = page_action::REBUILD_PAGE;
    frames(1);
    input.release(1);
    // Whatever stayed is processed, ticked and painted under the pointer.
    for (const RECT& r : were) {
      input.move_to((r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2);
      frames(10);
    }
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
  }
  use_onscreen_keyboard = 255;
  manager.area(0).root.destroy_children(true, 0, true);
}

// Keys answer each dialog as its buttons would, through the page manager:
// Escape as Cancel (No, Close; nothing when Cancel is disabled), once and
// for the top dialog only; Space as a click on the focused button; Return
// in the name dialog's entry as OK. Space typed into an entry is text, and
// one that opened a dialog types nothing into its entry. The browser's
// drop-down is a Tab stop whose last item, "My Computer", shows the drives.
namespace dialog_keys {
std::string heard;
int32_t on_confirm(WM_SCREEN_OBJECT* button, uintptr_t, uintptr_t id) {
  if (static_cast<WM_BUTTON*>(button)->firing_event != button_event::RELEASE) return 0;
  heard += id ? "yes" : "no";
  return 2;
}
int32_t on_answer(WM_SCREEN_OBJECT* dialog, uintptr_t, uintptr_t) {
  heard += dialog->action_word_2 ? "ok" : "cancel";
  return 2;
}
}  // namespace dialog_keys

TEST_F(DialogPage, KeysAnswerEachDialogAsItsButtonsWould) {
  using namespace dialog_keys;
  WM_PAGE_MANAGER manager(1, -1);
  manager.set_page(0, [](WM_PAGE_MANAGER*) {}, nullptr, 1, nullptr, 0, 0, nullptr);
  auto frames = [&](int n) { page_frames(manager, n); };
  frames(1);
  enum KIND { QUESTION, BROWSER, BROWSER_WITHOUT_CANCEL, NAME, ABOUT };
  const struct {
    KIND kind;
    // e Escape, s Space, r Return, > Tab, < Shift+Tab, E End, w " b" typed
    // between two frames, any other letter typed
    const char* keys;
    const char* answer;
    bool stays;
    const char* typed;  // the text of the entry still open afterwards
  } rows[] = {
      {QUESTION, "e", "no", false, nullptr},
      {QUESTION, "s", "yes", false, nullptr},
      {BROWSER, "e", "cancel", false, nullptr},
      {BROWSER_WITHOUT_CANCEL, "e", "", true, nullptr},
      {BROWSER, "s", "ok", false, nullptr},
      {BROWSER, "<<s", "", true, ""},  // New Folder's name dialog
      {BROWSER, "<<se", "", true, nullptr},
      {BROWSER, "<<see", "cancel", false, nullptr},
      {BROWSER, ">rEEr", "", true, nullptr},  // the drives
      {NAME, "ae", "cancel", false, nullptr},
      {NAME, "ar", "ok", false, nullptr},
      {NAME, "aw", "", true, "a b"},
      {ABOUT, "e", "", false, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    heard.clear();
    WM_DIALOG* dialog = nullptr;
    WM_FILE_SELECT* browser = nullptr;
    if (row.kind == QUESTION) dialog = new WM_CONFIRM(300, 150, "Leave?", true, on_confirm, 0, -1, -1, false, 10, nullptr);
    if (row.kind == BROWSER || row.kind == BROWSER_WITHOUT_CANCEL) {
      dialog = browser = new WM_FILE_SELECT(20, 20, true, on_answer, 0, nullptr, nullptr, nullptr);
      browser->set_mode(WM_FILE_SELECT::MODE_FOLDER, &skin, nullptr, nullptr);
      browser->cancel_button->set_enabled(row.kind == BROWSER);
    }
    if (row.kind == NAME) dialog = new WM_TEXT_EDIT_DIALOG(20, 20, true, on_answer, 0, nullptr, nullptr, "Name", 20);
    if (row.kind == ABOUT) dialog = new WM_ABOUT(20, 20);
    manager.area(0).root.add_overlay(dialog, false);
    frames(10);
    for (const char* k = row.keys; *k; ++k) {
      const uint32_t held = *k == 's' ? WM_BUTTON::KEY_SPACE : *k == 'r' ? WM_BUTTON::KEY_RETURN : *k == '<' ? 0xFFE1 : 0;
      wm_test::held_keys = {held};
      switch (*k) {
        case 'e': input.key(XK_Escape, 27); break;
        case 'r': input.key(XK_Return, '\n'); break;
        case 's': input.key(XK_space, ' '); break;
        case '>': case '<': input.key(XK_Tab, '\t'); break;
        case 'E': input.key(XK_End); break;
        case 'w': input.type(" b"); break;
        default: input.key(static_cast<uint32_t>(*k), static_cast<uint32_t>(*k)); break;
      }
      frames(1);
      wm_test::held_keys.clear();
      frames(*k == 'w' ? 3 : 5);
    }
    frames(4);
    EXPECT_EQ(heard, row.answer);
    // A dialog that closed is gone: only one that stays is looked into.
    ASSERT_EQ(WM_SCREEN_OBJECT::is_overlay(dialog), row.stays);
    if (row.stays) {
      WM_TEXT_EDIT_DIALOG* entry = browser ? browser->name_dialog : static_cast<WM_TEXT_EDIT_DIALOG*>(dialog);
      if (row.typed) {
        EXPECT_STREQ(entry->entry->get_text(), row.typed);
      }
      EXPECT_EQ(browser && browser->at_my_computer, row.keys[0] == '>');
    }
    manager.area(0).root.destroy_children(true, 0, false);
  }
}
