// The on-screen keyboard under a real X server: a page's field opens it
// when clicked, XTEST clicks on its keys type into its own field (Shift for
// one key, Caps, Ext, BackSpace, the arrows), the physical arrow keys move
// its highlight, Enter copies the text back, Close and a page rebuild
// close it without calling anything back. The open keyboard is saved as a
// picture.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <memory>
#include <string>
#include <vector>

#include "dialog_pictures.h"
#include "wm_button.h"
#include "wm_keyboard_dialog.h"
#include "wm_page_manager.h"
#include "wm_test_objects.h"
#include "wm_text_win_x11_fixture.h"

namespace {

WM_TEXT_EDIT* field = nullptr;
std::string heard;  // the field's text at each callback
int32_t page_action_once = 0;
int pages_built = 0;
bool password_page = false;  // the page's field is a password

int32_t on_field(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  heard += std::string(static_cast<WM_TEXT_EDIT*>(object)->get_text()) + ";";
  return 0;
}

void create_page(WM_PAGE_MANAGER* manager) {
  ++pages_built;
  manager->current_root()->add_child(new wm_test::BOX(0, 0, 640, 480, 0xFF405060), false);
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  style.fg_colour = 0xFF000000;
  style.bg_colour = 0xFFFFFFFF;
  if (password_page) style.extended_flags = SSEF_TE_PASSWORD;
  field = new WM_TEXT_EDIT(20, 20, 200, 100, "ab", &style, on_field, 0, 0);
  field->notify_on_change = 1;
  manager->current_root()->add_child(field, false);
}

int32_t page_frame() {
  const int32_t action = page_action_once;
  page_action_once = 0;
  return action;
}

class KeyboardX11 : public wm_test::PointerX11 {
protected:
  void SetUp() override {
    PointerX11::SetUp();
    if (!probe) return;
    use_onscreen_keyboard = 1;
    heard.clear();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, create_page, nullptr, 0, page_frame, 0, 0, nullptr);
    frame = [this] { manager->frame(true); };
    ASSERT_TRUE(frames_until([] { return field != nullptr; }));
  }
  void TearDown() override {
    manager.reset();
    field = nullptr;
    password_page = false;
    use_onscreen_keyboard = 0;
    PointerX11::TearDown();
  }
  WM_KEYBOARD_DIALOG* open() {
    click_at(field->x + 5, field->y + field->height / 2);
    WM_KEYBOARD_DIALOG* d = keyboard_dialog;
    EXPECT_TRUE(d && frames_until([d] { return !d->is_moving(); }));
    return d;
  }
  // Clicks the keys named by their (row, column) and lets each reach the
  // field.
  void keys(WM_KEYBOARD_DIALOG* d, std::initializer_list<std::pair<int, int>> at) {
    for (auto [row, column] : at) {
      const WM_BUTTON* k = d->keyboard->get_key_button(column, row);
      ASSERT_NE(k, nullptr);
      click(k);
      for (int i = 0; i < 3; ++i) frame();
    }
  }
  void arrow(KeySym symbol) {
    key(symbol, true);
    key(symbol, false);
    ASSERT_TRUE(pump([&] { return key_queue.peek_last_key() == symbol; }));
    frame();
  }
  static std::string label(WM_KEYBOARD_DIALOG* d, int row, int column) {
    return d->keyboard->get_key_button(column, row)->get_text();
  }
  static bool closed() { return !keyboard_dialog && WM_SCREEN_OBJECT::overlays().empty(); }

  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

}  // namespace

TEST_F(KeyboardX11, KeysTypeIntoItsFieldAndEnterCopiesBack) {
  WM_KEYBOARD_DIALOG* d = open();
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->get_text(), "Keyboard");
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, d->entry);
  EXPECT_STREQ(d->entry->get_text(), "ab");
  EXPECT_EQ(d->keyboard->get_key_button(1, 1)->tooltip, nullptr);  // a field's keyboard shows no tips
  save_screen("keyboard_x11.png");
  EXPECT_TRUE(wm_test::screen_matches_reference("keyboard"));

  // q; Shift w (then lower case again); Caps e (stays); Caps with Shift r.
  keys(d, {{1, 1}, {3, 0}, {1, 2}});
  EXPECT_EQ(label(d, 1, 2), "w");
  keys(d, {{2, 0}});
  EXPECT_TRUE(d->keyboard->get_key_button(0, 2)->active);  // Caps shows held
  keys(d, {{1, 3}, {1, 3}, {3, 0}, {1, 4}, {2, 0}});
  EXPECT_FALSE(d->keyboard->get_key_button(0, 2)->active);
  EXPECT_STREQ(d->entry->get_text(), "abqWEEr");
  // Ext: accented letters; the top row stays; Ext Shift ends row 4 the same.
  keys(d, {{4, 0}, {1, 1}, {0, 1}, {3, 0}, {1, 1}, {3, 0}, {3, 10}, {4, 0}});
  EXPECT_STREQ(d->entry->get_text(), "abqWEEr\xE0" "1\xC0\xFE");
  EXPECT_EQ(label(d, 1, 1), "q");
  // BackSpace, Left, then a character lands before the last one.
  keys(d, {{0, 13}, {4, 4}, {1, 1}});
  EXPECT_STREQ(d->entry->get_text(), "abqWEEr\xE0" "1q\xC0");
  // Right, then BackSpace takes the last one.
  keys(d, {{4, 6}, {0, 13}});
  EXPECT_STREQ(d->entry->get_text(), "abqWEEr\xE0" "1q");
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, d->entry);  // keys never take it

  // The physical arrows move the highlight from Enter, stopping at edges.
  EXPECT_TRUE(d->keyboard->get_key_button(12, 2)->highlighted);
  for (KeySym k : {XK_Right, XK_Up, XK_Left, XK_Up, XK_Up, XK_Down}) arrow(k);
  EXPECT_EQ(d->keyboard->highlight_row, 1);
  EXPECT_EQ(d->keyboard->highlight_column, 11);
  EXPECT_TRUE(d->keyboard->get_key_button(11, 1)->highlighted);
  EXPECT_FALSE(d->keyboard->get_key_button(12, 2)->highlighted);
  EXPECT_EQ(d->entry->caret, 10);  // the field never hears them

  EXPECT_EQ(heard, "");
  keys(d, {{2, 12}});
  EXPECT_STREQ(field->get_text(), "abqWEEr\xE0" "1q");
  EXPECT_EQ(heard, "abqWEEr\xE0" "1q;");
  EXPECT_TRUE(frames_until(closed));
}

TEST_F(KeyboardX11, CloseAndAPageRebuildCallNothingBack) {
  WM_KEYBOARD_DIALOG* d = open();
  ASSERT_NE(d, nullptr);
  keys(d, {{1, 1}});
  click_at(d->close_button->x + 3, d->close_button->y + 3);
  EXPECT_TRUE(frames_until(closed));
  EXPECT_STREQ(field->get_text(), "ab");

  // The page is rebuilt under an open keyboard: its field goes, the
  // keyboard closes and nothing reaches the deleted field.
  d = open();
  ASSERT_NE(d, nullptr);
  keys(d, {{1, 1}});
  const int built = pages_built;
  page_action_once = page_action::REBUILD_PAGE;
  ASSERT_TRUE(frames_until([&] { return pages_built > built; }));
  EXPECT_EQ(keyboard_dialog, nullptr);
  EXPECT_TRUE(frames_until(closed));
  EXPECT_EQ(heard, "");
  EXPECT_STREQ(field->get_text(), "ab");

  // Without a way to open one, a click on the field opens no keyboard.
  const KEYBOARD_HOOKS hooks = keyboard_hooks;
  keyboard_hooks.open = nullptr;
  click_at(field->x + 5, field->y + field->height / 2);
  EXPECT_EQ(keyboard_dialog, nullptr);
  keyboard_hooks = hooks;
  // Return in the field opens it.
  tap(XK_Return);
  ASSERT_TRUE(frames_until([] { return keyboard_dialog != nullptr; }));
  d = keyboard_dialog;
  ASSERT_TRUE(frames_until([d] { return !d->is_moving(); }));
  click(d->close_button);
  EXPECT_TRUE(frames_until(closed));
}

// The keyboard's own field hides a password as the page's field does: its
// characters show as the stars a plain field would show for them.
TEST_F(KeyboardX11, APasswordStaysHiddenOnTheKeyboard) {
  password_page = true;
  const int built = pages_built;
  page_action_once = page_action::REBUILD_PAGE;
  ASSERT_TRUE(frames_until([&] { return pages_built > built; }));
  WM_KEYBOARD_DIALOG* d = open();
  ASSERT_NE(d, nullptr);
  keys(d, {{1, 1}});
  ASSERT_STREQ(d->entry->get_text(), "abq");
  WM_TEXT_EDIT* entry = d->entry;
  const auto picture = [entry] {
    WM_SCREEN_OBJECT::focus_object = nullptr;
    entry->draw();
    std::vector<COLOUR> out;
    for (int py = entry->y; py < entry->y + entry->height; ++py)
      for (int px = entry->x; px < entry->x + entry->width; ++px)
        get_screen_image()->get_pixel(static_cast<int16_t>(px), static_cast<int16_t>(py), &out.emplace_back());
    return out;
  };
  const std::vector<COLOUR> hidden = picture();
  entry->edit_flags &= static_cast<uint16_t>(~edit_flag::PASSWORD);
  const std::vector<COLOUR> clear = picture();
  entry->set_text("***");
  EXPECT_EQ(picture(), hidden);
  EXPECT_NE(clear, hidden);
}
