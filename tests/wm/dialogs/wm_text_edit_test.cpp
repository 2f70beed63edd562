// Entry fields, boxes and the entry dialog without a display: the pixels a
// field draws (caret, selection, stars), the rules its text keeps, the lines
// a box lays out, and the dialog's size.
#include <gtest/gtest.h>

#include "input.h"
#include "input_driver.h"
#include "picture_compare.h"

#include <cstring>
#include <string>
#include <vector>

#include "dialog_pictures.h"
#include "screen.h"
#include "wm_button.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_text_edit.h"
#include "wm_text_edit_box.h"
#include "wm_text_edit_dialog.h"

namespace {

constexpr COLOUR kCaret = 0xFFFF0000;
constexpr COLOUR kSelection = 0xFF00FF00;

WM_STYLE_SET style(bool password) {
  WM_STYLE_SET s;
  s.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  s.fg_colour = 0xFF000000;
  s.bg_colour = 0xFFFFFFFF;
  s.active_text_colour = kCaret;
  s.highlight_colour = kSelection;
  if (password) s.extended_flags = SSEF_TE_PASSWORD;
  return s;
}

class TextEdit : public wm_test::TextSkinTest {
protected:
  TextEdit() : TextSkinTest("text_edit_test", 400, 200) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    use_onscreen_keyboard = 0;
  }
  void TearDown() override {
    use_onscreen_keyboard = 0;
    TextSkinTest::TearDown();
  }
  const WM_STYLE_SET plain = style(false);
  // The leftmost column of the object's rectangle showing the colour; -1
  // when none does.
  static int leftmost(const WM_SCREEN_OBJECT& o, COLOUR c) {
    for (int px = o.x; px < o.x + o.width; ++px)
      for (int py = o.y; py < o.y + o.height; ++py)
        if (wm_test::pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)) == c) return px;
    return -1;
  }
};

}  // namespace

TEST_F(TextEdit, DrawsCaretSelectionAndStars) {
  const std::string long_text(200, 'm');
  const struct {
    const char* text;
    bool password, focus, select, onscreen_keyboard;
    bool caret, selection;
  } rows[] = {
      {"ab", false, true, false, false, true, false},
      {"ab", false, true, true, false, true, true},   {"a", false, true, true, false, true, true},
      {"ab", false, false, false, false, false, false},
      // A long text scrolls so that the caret at its end stays in view.
      {long_text.c_str(), false, true, false, false, true, false},
      // Waiting for the on-screen keyboard: no caret.
      {"ab", false, true, false, true, false, false},
      // Stars show no selection.
      {"abc", true, true, true, false, true, false},
      {"a\x01,0100,0100\x01b", false, true, false, false, true, false},  // U+0100, the first past Latin-1
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.text).substr(0, 8) + (row.password ? " password" : ""));
    const WM_STYLE_SET s = style(row.password);
    WM_TEXT_EDIT field(10, 10, 200, 1000, row.text, &s, nullptr, 0, 0);
    use_onscreen_keyboard = row.onscreen_keyboard ? 1 : 0;
    WM_SCREEN_OBJECT::focus_object = row.focus ? &field : nullptr;
    if (row.select) field.select_all();
    field.draw();
    const int caret_column = leftmost(field, kCaret);
    EXPECT_EQ(caret_column >= 0, row.caret);
    EXPECT_EQ(leftmost(field, kSelection) >= 0, row.selection);
    if (row.caret && !row.password && row.text[0] == 'a') {
      EXPECT_EQ(caret_column, field.x + field.left_gap +
                                  get_screen_image()->get_text_width(255, 65535, -1, row.text));
    }
    use_onscreen_keyboard = 0;
  }

  // Four "W"s at the caret show from the first in a text area one pixel
  // wider than they are; in one just as wide they scroll by one.
  for (const int spare : {1, 0}) {
    WM_TEXT_EDIT f(10, 10, 100, 10, "", &plain, nullptr, 0, 0);
    WM_TEXT_EDIT four(10, 10, uint16_t(f.left_gap + f.right_gap + spare +
                                       get_screen_image()->get_text_width(255, 65535, -1, "WWWW")),
                      10, "WWWW", &plain, nullptr, 0, 0);
    EXPECT_EQ(four.char_at(int16_t(four.x + four.left_gap)), 1 - spare) << spare;
  }

  // The stars are drawn as "*" text would be; they stop inside the field.
  const WM_STYLE_SET hidden = style(true);
  WM_TEXT_EDIT stars(10, 60, 200, 100, "***", &plain, nullptr, 0, 0);
  WM_TEXT_EDIT password(10, 100, 200, 100, "abc", &hidden, nullptr, 0, 0);
  WM_SCREEN_OBJECT::focus_object = nullptr;
  EXPECT_EQ(drawn(stars), drawn(password));
  // A text area just four stars wide shows three of four.
  const auto four = uint16_t(stars.left_gap + stars.right_gap +
                             get_screen_image()->get_text_width(255, 65535, -1, "****"));
  stars.set_size(four, stars.height, false);
  password.set_size(four, password.height, false);
  password.set_text("abcd");
  stars.caret = 0;  // shown from its start
  EXPECT_EQ(drawn(stars), drawn(password));
  // A see-through selection colour leaves the field as it looks unselected.
  stars.selection_colour = 0x0000FF00;
  const std::vector<COLOUR> unselected = drawn(stars);
  stars.select_all();
  EXPECT_EQ(drawn(stars), unselected);
  password.set_text(std::string(60, 'x').c_str());
  password.draw();
  const int edge = password.x + password.width - 1 - password.right_gap;
  for (int py = password.y + password.top_gap; py < password.y + password.height - password.bottom_gap; ++py)
    EXPECT_NE(wm_test::pixel(static_cast<int16_t>(edge), static_cast<int16_t>(py)), 0xFF000000u) << py;
  // One a pixel narrower than a star shows no star at all.
  const int star = get_screen_image()->get_text_width(255, 65535, -1, "*");
  password.set_size(uint16_t(password.left_gap + password.right_gap + star - 1), password.height, false);
  const std::vector<COLOUR> one_short = drawn(password);
  password.set_text("");
  EXPECT_EQ(drawn(password), one_short);

  // A style naming a skin picture draws the field on that picture, corner to corner.
  constexpr COLOUR kFramePicture = 0xFF3366CC;
  save_solid_png("field.png", kFramePicture);
  WM_STYLE_SET framed = style(false);
  strcpy(framed.image_path, "$APP/skin");
  framed.set_image_filename("field");
  WM_TEXT_EDIT on_picture(10, 140, 200, 10, "", &framed, nullptr, 0, 0);
  on_picture.draw();
  for (const auto& [px, py] : {std::pair{10, 140}, {209, 140 + on_picture.height - 1}})
    EXPECT_EQ(wm_test::pixel(static_cast<int16_t>(px), static_cast<int16_t>(py)), kFramePicture);
}

TEST_F(TextEdit, KeepsSystemTextWithinItsMaximum) {
  WM_TEXT_EDIT field(0, 0, 100, 0, "abc", &plain, nullptr, 0, 0);
  EXPECT_STREQ(field.get_text(), "a");  // a maximum of 0 holds one character
  field.set_max_length(40000);
  EXPECT_EQ(field.max_length, 32767);
  for (const int32_t none : {-3, 0}) {
    field.set_max_length(none);
    EXPECT_EQ(field.max_length, 32767) << none;
  }
  field.set_text("x\x01,20AC\x01y\xE9");  // a character above 255 stays in its run
  EXPECT_STREQ(field.get_text(), "x\x01,20AC\x01y\xE9");
  EXPECT_EQ(field.length(), 4);
  field.set_max_length(2);
  EXPECT_STREQ(field.get_text(), "x\x01,20AC\x01");
  EXPECT_EQ(field.caret, 2);
  field.visible = 0;
  field.set_text("q");
  EXPECT_EQ(field.visible, 0);  // a hidden field stays hidden
  EXPECT_EQ(WM_TEXT_EDIT(0, 0, 100, 10, "", nullptr, nullptr, 0, 0).visible, 1);  // no style: shown

  // Letters are Latin-1's and every character above 255, whatever the C
  // library's locale.
  const struct {
    TEXT_FILTER filter;
    std::vector<uint32_t> accepted;
    std::vector<uint32_t> rejected;
  } filters[] = {
      {WM_TEXT_EDIT::filter_number, {'0', '9', '.', '-', '+'}, {'a', ' ', ',', 0xE9, 0x20AC}},
      {WM_TEXT_EDIT::filter_name, {'a', 'Z', '9', '\'', '-', ' ', 127, 0xE9, 0xDF, 0x416}, {'.', '_', 0xD7}},
      {WM_TEXT_EDIT::filter_word, {'a', 'Z', '\'', '-', 127, 0xF6, 0xAA, 0xB5, 0xBA, 0xC0}, {'9', ' ', '.', 0xF7, 0xBF}},
      {WM_TEXT_EDIT::filter_words, {'a', 'Z', '\'', '-', ' ', 127, 0xC4}, {'9', '.', 0xA3}},
      {WM_TEXT_EDIT::filter_file_name,
       {'a', 'Z', '9', '.', '-', '+', '!', '$', '%', '(', ')', '_', '=', '[', ']', '{', '}', ';', ':',
        '@', '#', ' ', '~', 0xF6, 0xE4, 0xDF, 0x20AC},
       {'/', '\\', '*', '?', '"', '<', '>', '|', '\t', 0}},
  };
  for (const auto& f : filters) {
    for (uint32_t c : f.accepted) EXPECT_TRUE(f.filter(c)) << c;
    for (uint32_t c : f.rejected) EXPECT_FALSE(f.filter(c)) << c;
  }

  // Typing over a selection (1..5) removes it first: the caret keeps its
  // place among the characters that stay (inside the selection it goes to
  // its start) and the character goes in there.
  test_support::INPUT_DRIVER input;
  const struct {
    int16_t caret;
    const char* text;
    int16_t after;
  } over[] = {{0, "Xaf", 1}, {2, "aXf", 2}, {4, "aXf", 2}, {6, "afX", 3}};
  for (const auto& [caret, text, after] : over) {
    WM_TEXT_EDIT typed(0, 0, 200, 40, "abcdef", &plain, nullptr, 0, 0);
    typed.selectable = 1;
    typed.set_focus();
    typed.caret = caret;
    typed.selection_anchor = 1;
    typed.selection_end = 5;
    input.type("X");
    typed.process();
    EXPECT_STREQ(typed.get_text(), text) << caret;
    EXPECT_EQ(typed.caret, after) << caret;
  }
  WM_SCREEN_OBJECT::focus_object = nullptr;
  // Select-all over a part selected from the start takes the whole text.
  WM_TEXT_EDIT part(0, 0, 200, 40, "abcdef", &plain, nullptr, 0, 0);
  part.selection_anchor = 0;
  part.selection_end = 2;
  part.select_all();
  EXPECT_EQ(std::pair(part.selection_anchor, part.selection_end), std::pair(int16_t{0}, int16_t{6}));
}

// A field or box that its own Return, Delete or change callback deletes is
// not touched afterwards: the callback's result comes back, and what else
// was typed in that frame stays for the next one. A field that stays goes
// on with the frame's typing only when its Return callback answered 0.
int callbacks = 0;
int32_t callback_result = 0;
bool callback_deletes = true;
int32_t answer(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  ++callbacks;
  if (callback_deletes) delete object;
  return callback_result;
}

TEST_F(TextEdit, AFieldDeletedByItsOwnCallbackIsLeftAlone) {
  constexpr uint32_t kReturn = 0xFF0D, kDelete = 0xFFFF;
  const struct {
    bool box;
    uint8_t notify;      // the callback hears every change
    const char* typed;   // typed before the key
    uint32_t key;        // 0: none
    uint32_t character;  // the key's character
    int32_t result;
    bool x_waits;                // the typed "x" is left for the next frame
    const char* kept = nullptr;  // the text of a field that stays; null: deleted
  } rows[] = {
      {false, 0, "x", kReturn, 0, 0, true},   {false, 0, "", kReturn, 0, 7, false},
      {false, 1, "x", kDelete, 0, 0, true},   {false, 1, "x", 0, 0, 0, false},
      {true, 0, "x", kReturn, 0, 0, true},    {true, 0, "", kReturn, 0, 7, false},
      {true, 1, "x", kDelete, 0, 0, true},    {true, 1, "x", 0, 0, 7, false},
      {true, 1, "", kReturn, '\n', 0, false},
      {false, 0, "x", kReturn, 0, 0, false, "x"}, {false, 0, "x", kReturn, 0, 1, true, "abc"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.box << +row.notify << row.typed << row.key << row.result);
    test_support::INPUT_DRIVER input;
    callbacks = 0;
    callback_result = row.result;
    callback_deletes = row.kept == nullptr;
    WM_TEXT_EDIT* field =
        row.box ? new WM_TEXT_EDIT_BOX(0, 0, 200, 60, 40, "abc", &plain, answer, 0, 0)
                : new WM_TEXT_EDIT(0, 0, 200, 40, "abc", &plain, answer, 0, 0);
    field->notify_on_change = row.notify;
    field->selectable = 1;
    field->set_focus();
    field->caret = 1;
    field->draw();  // a box moves by the lines of its last drawing
    input.type(row.typed);
    if (row.key) input.key(row.key, row.character);
    EXPECT_EQ(field->process(), row.result);
    EXPECT_EQ(callbacks, 1);
    EXPECT_EQ(key_queue.pop_char(), row.x_waits ? 'x' : 0u);
    if (row.kept) {
      EXPECT_STREQ(field->get_text(), row.kept);
      delete field;
    }
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
  }
}

// The same for a field that its right-click callback or its own focus
// callback (called by the click that gives it the focus) deletes.
int32_t delete_on_focus(WM_SCREEN_OBJECT* object, uintptr_t) {
  ++callbacks;
  if (object == WM_SCREEN_OBJECT::focus_object) delete object;
  return 0;
}

TEST_F(TextEdit, AFieldDeletedByItsClickCallbacksIsLeftAlone) {
  for (const bool right : {true, false}) {
    SCOPED_TRACE(right ? "right click" : "focus");
    test_support::INPUT_DRIVER input;
    callbacks = 0;
    callback_result = 0;
    callback_deletes = true;
    auto* field = new WM_TEXT_EDIT(0, 0, 200, 40, "abc", &plain, nullptr, 0, 0);
    field->selectable = 1;
    if (right)
      field->secondary_click_callback = answer;
    else
      field->focus_callback = delete_on_focus;
    input.move_to(20, 20);
    input.press(right ? MOUSE::RIGHT : MOUSE::LEFT);
    input.type("x");
    EXPECT_EQ(field->process(), 0);
    EXPECT_EQ(callbacks, right ? 1 : 2);  // a focus callback hears the loss too
    EXPECT_EQ(key_queue.pop_char(), 'x');
    input.release(right ? MOUSE::RIGHT : MOUSE::LEFT);
  }
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
}

// A keyboard open for one field stays open while another field goes; once
// it is no longer shown, the field's next frame closes it.
int keyboard_closes = 0;
bool keyboard_shown = true;
TEST_F(TextEdit, TheKeyboardClosesOnlyForItsFieldOrOnceHidden) {
  const KEYBOARD_HOOKS saved = keyboard_hooks;
  keyboard_hooks = {[](const KEYBOARD_REQUEST&) { return reinterpret_cast<WM_KEYBOARD_DIALOG*>(&keyboard_closes); },  // never looked into
                    [](WM_KEYBOARD_DIALOG*) { ++keyboard_closes; }, [](WM_KEYBOARD_DIALOG*) { return keyboard_shown; }};
  use_onscreen_keyboard = 1;
  WM_TEXT_EDIT field(0, 0, 200, 40, "abc", &plain, nullptr, 0, 0);
  field.open_keyboard();
  delete new WM_TEXT_EDIT(0, 40, 200, 40, "other", &plain, nullptr, 0, 0);
  field.process();
  EXPECT_EQ(std::pair(keyboard_dialog != nullptr, keyboard_closes), std::pair(true, 0));
  keyboard_shown = false;
  field.process();
  EXPECT_EQ(std::pair(keyboard_dialog != nullptr, keyboard_closes), std::pair(false, 1));
  field.close_keyboard();  // through the stand-in hooks, whatever is left
  keyboard_hooks = saved;
}

TEST_F(TextEdit, BoxWrapsAtSpacesAndMovesByLines) {
  const struct {
    const char* text;
    uint16_t width;
    std::vector<std::string> lines;
  } rows[] = {
      {"ab cd\nef", 300, {"ab cd", "\nef"}},
      // A line feed first makes an empty first line; each one after it a
      // line of its own.
      {"\nab", 300, {"", "\nab"}},
      {"\n\nx", 300, {"", "\n", "\nx"}},
      // Wrapped at the last space; the spaces stay with the line before
      // (0: the box's text area is one pixel wider than "aaa aa").
      {"aaa  aaa aaa", 0, {"aaa  ", "aaa ", "aaa"}},
      {"aaa aa", 0, {"aaa aa"}},
      {"aaa aa \nb", 0, {"aaa aa ", "\nb"}},  // a wrap onto a line feed breaks only once
      // A word wider than the box breaks where it stops fitting, and every
      // line keeps a character, however narrow the box.
      {"mmmmmmmmmm", 60, {"mm", "mm", "mm", "mm", "mm"}},
      {"mmm", 8, {"m", "m", "m"}},
  };
  WM_TEXT_EDIT probe(0, 0, 100, 10, "", &plain, nullptr, 0, 0);
  const auto fit = static_cast<uint16_t>(get_screen_image()->get_text_width(255, 65535, -1, "aaa aa") +
                                         2 + probe.left_gap + probe.right_gap);
  for (const auto& row : rows) {
    WM_TEXT_EDIT_BOX box(0, 0, row.width ? row.width : fit, 150, 100, row.text, &plain, nullptr, 0, 0);
    box.draw();
    std::vector<std::string> lines;
    for (const auto& l : box.lines()) lines.emplace_back(row.text + l.start, l.length);
    EXPECT_EQ(lines, row.lines) << row.text;
  }
  // A drawn box without the focus leaves a typed line feed to others.
  test_support::INPUT_DRIVER input;
  WM_TEXT_EDIT_BOX idle(0, 0, 300, 150, 100, "ab", &plain, nullptr, 0, 0);
  idle.draw();
  input.key(0xFF0D, '\n');
  idle.process();
  EXPECT_STREQ(idle.get_text(), "ab");
  EXPECT_EQ(key_queue.pop_char(), uint32_t{'\n'});
  // Wholly above the screen it is not laid out; one row showing, it is.
  for (const int16_t top : {-100, -99}) {
    WM_TEXT_EDIT_BOX above(0, top, 300, 100, 100, "ab", &plain, nullptr, 0, 0);
    above.draw();
    EXPECT_EQ(above.lines().size(), top == -99 ? 1u : 0u) << top;
  }
  // The caret of a focused box stands one line tall on its own line: line
  // two of the test font's 22-pixel lines, below a 1-pixel border and a 2-pixel gap.
  WM_TEXT_EDIT_BOX two(0, 0, 300, 150, 100, "ab\ncd", &plain, nullptr, 0, 0);
  two.caret = 4;
  WM_SCREEN_OBJECT::focus_object = &two;
  two.draw();
  WM_SCREEN_OBJECT::focus_object = nullptr;
  std::vector<int> caret_rows;
  for (int16_t py = 0; py < 150; ++py)
    if (wm_test::pixel(static_cast<int16_t>(leftmost(two, kCaret)), py) == kCaret) caret_rows.push_back(py);
  EXPECT_EQ(caret_rows.size(), 22u);
  EXPECT_EQ(caret_rows.front(), 1 + 2 + 22);
}

// The dialog takes its default size on the screen; the prompt, the entry
// and the buttons stand one above the other inside it, also where the size
// asked for is too low for them: the dialog grows, on the screen.
TEST_F(TextEdit, DialogTakesItsDefaultSizeKeepsItsPartsApartAndStaysOnTheScreen) {
  set_screen_size(0, 0);
  set_screen_size(640, 480);
  WM_TEXT_EDIT_DIALOG dialog(-1, -1, -1, -1, nullptr, true, nullptr, 0, nullptr, nullptr, "T", -5);
  // 450 x 180, and 3 rows more for the accents over capitals that its
  // title and entry field make room for.
  EXPECT_EQ(dialog.width * 1000 + dialog.height, 450183);
  EXPECT_EQ(dialog.entry->max_length, 1);
  const struct {
    int16_t h;
    uint16_t lines;
  } rows[] = {{180, 1}, {60, 1}, {100, 3}, {2000, 1}};
  // Each dialog's box, and its client area's, prompt's, entry's, OK's and
  // Cancel's within it: against tests/references/dialogs4/text_edit_dialogs.txt.
  std::string out;
  for (const auto& row : rows) {
    WM_TEXT_EDIT_DIALOG d(-1, -1, 450, row.h, row.lines, nullptr, true, nullptr, 0, nullptr, nullptr, "Title", 20);
    out += std::to_string(row.h) + " high, " + std::to_string(row.lines) + " lines: " +
           wm_test::box_text(d.get_x(), d.get_y(), d.width, d.height);
    const WM_SCREEN_OBJECT* const parts[] = {d.get_client(), d.prompt, d.entry, d.ok, d.cancel};
    for (const WM_SCREEN_OBJECT* o : parts) out += " | " + wm_test::box_text(o->x - d.x, o->y - d.y, o->width, o->height);
    out += "\n";
  }
  EXPECT_TRUE(test_support::text_matches_reference("dialogs4", "text_edit_dialogs", out));
  set_screen_size(0, 0);
  set_screen_size(300, 480);
  WM_TEXT_EDIT_DIALOG narrow(50, 10, true, nullptr, 0, nullptr, nullptr, nullptr, 10);
  EXPECT_EQ(narrow.width, 300);
  EXPECT_EQ(narrow.get_x(), 0);
}

// Entry fields in each look over a two-coloured ground: borders, the caret
// at the end and inside, a selection, stars, a long text scrolled to its
// caret, the icon on each side and a darkened background; the screen
// against tests/references/dialogs2/entry_fields.png.
TEST_F(TextEdit, EveryLookMatchesItsReference) {
  using namespace edit_flag;
  const COLOUR halves[2] = {0xFF3080C0, 0xFFE0A030}, icon_colour = 0xFFC02080;
  IMAGE* screen = get_screen_image();
  screen->fill_rect_solid(0, 0, 199, 199, &halves[0]);
  screen->fill_rect_solid(200, 0, 399, 199, &halves[1]);
  IMAGE icon(10, 10);
  icon.fill_rect_solid(0, 0, 9, 9, &icon_colour);
  const struct {
    const char* text;
    uint16_t flags;
    bool focus, select;
    int16_t caret;  // -1: where the text left it
  } rows[] = {
      {"indented", INDENTED_BORDER, false, false, -1}, {"raised", RAISED_BORDER, false, false, -1},
      {"caret", INDENTED_BORDER, true, false, -1},     {"inside", INDENTED_BORDER, true, false, 2},
      {"selected", INDENTED_BORDER, true, true, -1},   {"secret", INDENTED_BORDER | PASSWORD, true, false, -1},
      {"a text far longer than its field", INDENTED_BORDER, true, false, -1},
      {"left", INDENTED_BORDER | ICON_LEFT, false, false, -1}, {"right", INDENTED_BORDER | ICON_RIGHT, false, false, -1},
      {"top", ICON_TOP, false, false, -1}, {"bottom", ICON_BOTTOM, false, false, -1},
      {"darkened", DARKENED_BACKGROUND, false, false, -1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    WM_TEXT_EDIT field(static_cast<int16_t>(i < 6 ? 5 : 205), static_cast<int16_t>(3 + 33 * (i % 6)), 190, 100,
                       row.text, &plain, nullptr, 0, 0);
    field.edit_flags = row.flags;
    if (row.flags & (ICON_LEFT | ICON_RIGHT | ICON_TOP | ICON_BOTTOM)) field.set_icon(icon);
    WM_SCREEN_OBJECT::focus_object = row.focus ? &field : nullptr;
    if (row.select) field.select_all();
    if (row.caret >= 0) field.caret = row.caret;
    field.draw();
  }
  WM_SCREEN_OBJECT::focus_object = nullptr;
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs2", "entry_fields", *screen));

  // More states on a fresh ground, against dialogs3/entry_fields_more.png:
  // disabled, empty with a hint (with and without the focus), a field made
  // taller than its text (selected but for its first letter, the highlight
  // as tall as the text), a long text with the caret at its start and in
  // its middle, a selection that begins before the shown part, and icons
  // one pixel thin in the middle of the box; the caret is half clear, over
  // a field and over a box, there on an empty line.
  screen->fill_rect_solid(0, 0, 199, 199, &halves[1]);
  screen->fill_rect_solid(200, 0, 399, 199, &halves[0]);
  const std::string long_text = "0123456789 abcdefghij klmnopqrst uvwxyz";
  constexpr COLOUR kGlassCaret = 0x80C00000;
  IMAGE flat(12, 1), thin(1, 12);
  flat.fill_rect_solid(0, 0, 11, 0, &icon_colour);
  thin.fill_rect_solid(0, 0, 0, 11, &icon_colour);
  const struct {
    const char* text;
    const char* hint;
    bool enabled, focus;
    int16_t caret, select_from, height;  // -1: as the text leaves it
    const IMAGE* icon;
  } more[] = {
      {"disabled", nullptr, false, false, -1, -1, -1, nullptr}, {"", "a hint", true, false, -1, -1, -1, nullptr},
      {"", "a hint", true, true, -1, -1, -1, nullptr},   {long_text.c_str(), nullptr, true, true, 0, -1, -1, nullptr},
      {"tall", nullptr, true, true, -1, 1, 40, nullptr}, {long_text.c_str(), nullptr, true, true, 20, -1, -1, nullptr},
      {long_text.c_str(), nullptr, true, true, -1, 3, -1, nullptr},
      {"flat", nullptr, true, false, -1, -1, -1, &flat},        {"thin", nullptr, true, false, -1, -1, -1, &thin},
  };
  for (size_t i = 0; i < std::size(more); ++i) {
    const auto& row = more[i];
    WM_TEXT_EDIT field(static_cast<int16_t>(i < 5 ? 5 : 205), static_cast<int16_t>(3 + 38 * (i % 5)), 190, 100,
                       row.text, &plain, nullptr, 0, 0);
    field.edit_flags = INDENTED_BORDER;
    if (row.height > 0) field.set_size(190, static_cast<uint16_t>(row.height), false);
    if (row.hint) field.set_hint(row.hint);
    if (row.icon) field.set_icon(*row.icon);
    field.enabled = row.enabled ? 1 : 0;
    WM_SCREEN_OBJECT::focus_object = row.focus ? &field : nullptr;
    field.caret_colour = kGlassCaret;
    if (row.caret >= 0) field.caret = row.caret;
    if (row.select_from >= 0) {
      field.selection_anchor = row.select_from;
      field.selection_end = field.caret;
    }
    field.draw();
  }
  WM_TEXT_EDIT_BOX box(205, 155, 190, 40, 100, "two\n\nlines", &plain, nullptr, 0, 0);
  box.caret_colour = kGlassCaret;
  box.caret = 4;  // on the empty line
  WM_SCREEN_OBJECT::focus_object = &box;
  box.edit_flags |= DARKENED_BACKGROUND;  // a box draws its own background all the same
  box.draw();
  WM_SCREEN_OBJECT::focus_object = nullptr;
  EXPECT_TRUE(test_support::picture_matches_reference("dialogs3", "entry_fields_more", *screen));
}
