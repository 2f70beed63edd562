// Dialogs on the headless screen: open and close effects over the frame
// clock, dragging by the title with the input driver, widgets in the
// client area, the effects file of a skin and removal after closing.
#include "wm_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "default_dialog_styles.h"
#include "dirty_rectangles.h"
#include "font.h"
#include "input_driver.h"
#include "screen.h"
#include "skin_test_support.h"
#include "wm_page_manager.h"
#include "wm_script.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

namespace {

using wm_test::BOX;
using wm_test::pixel;
using XY = std::pair<int16_t, int16_t>;

constexpr COLOUR kScreen = 0xFF808080;
constexpr COLOUR kBody = 0xFF0000FF;
constexpr COLOUR kTitle = 0xFFFF0000;
constexpr COLOUR kWidget = 0xFF00FF00;

// What the screen shows where colour s with alpha a lies over d.
COLOUR blend(COLOUR d, COLOUR s, uint32_t a) {
  if (a >= 250) return s;
  COLOUR out = d & 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t dc = (d >> shift) & 255, sc = (s >> shift) & 255;
    out |= ((dc * (255 - a) + sc * a) >> 8) << shift;
  }
  return out;
}

class Dialog : public wm_test::TextSkinTest {
protected:
  Dialog() : TextSkinTest("dialog_test", 200, 150) {}
  void SetUp() override {
    TextSkinTest::SetUp();
    saved_effects = default_dialog_effects();
    root.add_child(new BOX(0, 0, 200, 150, kScreen), false);
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
  }
  void TearDown() override {
    root.destroy_children(true, 0, true);
    default_dialog_effects() = saved_effects;
    WM_DIALOG::live_drag = 1;
    WM_DIALOG::grey_behind = 0;
    WM_DIALOG::darken_behind = 0;
    WM_DIALOG::default_text_colour = COLOUR_INVISIBLE;
    WM_PAGE_MANAGER::close_all_dialogs_function = nullptr;
    TextSkinTest::TearDown();
  }
  // One step of the frame clock: the effects advance on every second tick,
  // so two ticks, then a repaint.
  void frame_after(uint64_t ms) {
    input.advance_ms(ms);
    WM_SCREEN_OBJECT::set_frame_clock(static_cast<uint32_t>(input.now_ms()));
    for (int tick = 0; tick < 2; ++tick) {
      root.update(false);
      root.update(true);
    }
    wm_test::paint_table(&root);
  }
  // No border: one plain colour, 12-pixel white text, equal gaps.
  static WM_STYLE_SET plain(COLOUR background, uint16_t gap) {
    WM_STYLE_SET s;
    s.drawing_flags = 0;
    s.shading_flags = border_flag::ALL_SIDES;
    s.bg_colour = background;
    s.font_x_sz = s.font_y_sz = 12;
    s.border_left_gap = s.border_right_gap = s.border_top_gap = s.border_bottom_gap = gap;
    return s;
  }

  test_support::INPUT_DRIVER input;
  WM_MANAGER root;
  DIALOG_EFFECTS saved_effects;
};

// Each effect opens a 100 x 60 dialog resting at (50, 40) over 300 ms and
// closes it again; the frames at 0, 150 and 300 ms of each show where it is
// and how opaque.
TEST_F(Dialog, EffectsOpenAndCloseOverTheClock) {
  using namespace dialog_effect;
  struct ROW {
    const char* name;
    uint32_t flags;
    XY off, mid;  // where a slide starts (and ends); halfway both ways
    uint8_t open_mid_alpha, close_mid_alpha;
    XY probe;                // a pixel of the dialog halfway
    XY hidden = {-1, -1};  // a pixel of the dialog halfway that its clip keeps out
  };
  const ROW rows[] = {
      {"fade", FADE_IN | FADE_OUT, {50, 40}, {50, 40}, 127, 128, {100, 70}},
      {"slide from above", SLIDE_IN | SLIDE_OUT | SLIDE_UP | SCREEN_EDGES, {50, -60}, {50, -10},
       255, 255, {100, 20}},
      {"slide from the left", SLIDE_IN | SLIDE_OUT | SLIDE_LEFT | SCREEN_EDGES, {-100, 40},
       {-25, 40}, 255, 255, {10, 70}},
      {"slide from the right", SLIDE_IN | SLIDE_OUT | SLIDE_RIGHT | SCREEN_EDGES, {200, 40},
       {125, 40}, 255, 255, {150, 70}},
      {"slide from below", SLIDE_IN | SLIDE_OUT | SLIDE_DOWN | SCREEN_EDGES, {50, 150}, {50, 95},
       255, 255, {100, 120}},
      {"drawer from its own top", SLIDE_IN | SLIDE_OUT | SLIDE_UP, {50, -20}, {50, 10}, 255, 255,
       {100, 45}, {100, 35}},
      {"drawer from its own left", SLIDE_IN | SLIDE_OUT | SLIDE_LEFT, {-50, 40}, {0, 40}, 255, 255,
       {75, 70}, {25, 70}},
      {"fade and slide", FADE_IN | FADE_OUT | SLIDE_IN | SLIDE_OUT | SLIDE_LEFT | SCREEN_EDGES,
       {-100, 40}, {-25, 40}, 127, 128, {10, 70}},
  };
  // The 32-bit millisecond clock wraps 150 ms into the first opening.
  input.advance_ms((uint64_t{1} << 32) - 150 - (input.now_ms() & 0xFFFFFFFFu));
  const WM_STYLE_SET body = plain(kBody, 2);
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.name);
    DIALOG_EFFECTS effects{.flags = row.flags};
    auto* d = new WM_DIALOG(50, 40, 100, 60, nullptr, &body, nullptr, nullptr, &effects);
    root.add_overlay(d, false);
    wm_test::paint_table(&root);
    auto expect_halfway = [&](uint8_t alpha) {
      EXPECT_EQ(XY(d->x, d->y), row.mid);
      EXPECT_EQ(d->get_alpha(), alpha);
      EXPECT_EQ(pixel(row.probe.first, row.probe.second), blend(kScreen, kBody, alpha));
      if (row.hidden.first >= 0) { EXPECT_EQ(pixel(row.hidden.first, row.hidden.second), kScreen); }
    };
    frame_after(0);
    EXPECT_EQ(XY(d->x, d->y), row.off);
    EXPECT_EQ(d->get_alpha(), row.flags & FADE_IN ? 0 : 255);
    frame_after(150);
    expect_halfway(row.open_mid_alpha);
    std::string picture = std::string("dialog_") + row.name;
    std::replace(picture.begin(), picture.end(), ' ', '_');
    EXPECT_TRUE(test_support::picture_matches_reference("core2", picture, *get_screen_image()));
    EXPECT_EQ(XY(d->get_x(), d->get_y()), XY(50, 40));  // where it will rest
    frame_after(150);
    EXPECT_EQ(std::pair(XY(d->x, d->y), pixel(100, 70)), std::pair(XY(50, 40), kBody));

    d->close(true);
    frame_after(0);
    EXPECT_EQ(XY(d->x, d->y), XY(50, 40));
    frame_after(150);
    expect_halfway(row.close_mid_alpha);
    frame_after(150);
    // Closed with removal: taken off the overlays and deleted.
    EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
    EXPECT_EQ(pixel(100, 70), kScreen);

    // Opened at once: whole and in place from its first paint on.
    d = new WM_DIALOG(50, 40, 100, 60, nullptr, &body, nullptr, nullptr, &effects);
    d->open_at_once();
    root.add_overlay(d, false);
    wm_test::paint_table(&root);
    EXPECT_EQ(pixel(100, 70), kBody);
    frame_after(150);
    EXPECT_EQ(std::tuple(d->x, d->y, d->get_alpha(), d->is_moving()), std::tuple(50, 40, 255, false));
    // Hidden and shown again, it slides in once more.
    d->hide(false, false);
    d->show();
    wm_test::paint_table(&root);
    frame_after(0);
    EXPECT_EQ(XY(d->x, d->y), row.off);
    root.remove_overlay(d, true, false);
  }
  // Moved while at rest, a dialog that only slides out off the screen's
  // edge stays where it was put.
  DIALOG_EFFECTS out{.flags = SLIDE_OUT | SLIDE_LEFT | SCREEN_EDGES};
  auto* moved = new WM_DIALOG(50, 40, 100, 60, nullptr, &body, nullptr, nullptr, &out);
  root.add_overlay(moved, false);
  frame_after(0);
  moved->set_position(20, 30);
  frame_after(300);
  frame_after(300);
  EXPECT_EQ(XY(moved->x, moved->y), XY(20, 30));
  EXPECT_EQ(pixel(25, 35), kBody);
  root.remove_overlay(moved, true, false);
  // Without effects a close hides the dialog at the next tick.
  DIALOG_EFFECTS none{.flags = 0};
  auto* d = new WM_DIALOG(50, 40, 100, 60, nullptr, &body, nullptr, nullptr, &none);
  root.add_overlay(d, false);
  frame_after(0);
  EXPECT_EQ(pixel(100, 70), kBody);
  d->close(true);
  frame_after(0);
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
  // Fades read every 100 ms (~: still moving): from or to nothing over the
  // open delay, between visible levels over the display delay; at nothing it hides.
  DIALOG_EFFECTS levels{.flags = FADE_IN | FADE_OUT | ANIMATE_FALL | ANIMATE_RISE, .open_delay = 200, .display_delay = 400};
  d = new WM_DIALOG(50, 40, 100, 60, nullptr, &body, nullptr, nullptr, &levels);
  root.add_overlay(d, false);
  wm_test::paint_table(&root);  // painted first, as the frame does for an overlay
  std::string fades;
  for (const int target : {-1, 128, 255, 254, 1, 0}) {
    if (target >= 0) d->start_fade(static_cast<uint8_t>(target));
    fades += target < 0 ? "opening:" : "to " + std::to_string(target) + ":";
    for (int ms = 0; ms <= 500; ms += 100) {
      frame_after(ms ? 100 : 0);
      fades += " " + std::to_string(d->get_alpha()) + (d->is_moving() ? "~" : "");
    }
    fades += d->visible ? " shown\n" : " hidden\n";
  }
  EXPECT_TRUE(test_support::text_matches_reference("core4", "dialog_fades", fades));
  root.remove_overlay(d, true, false);
}

TEST_F(Dialog, DraggedByItsTitleTranslucently) {
  const WM_STYLE_SET body = plain(kBody, 2);
  const WM_STYLE_SET title = plain(kTitle, 1);
  DIALOG_EFFECTS effects{.flags = dialog_effect::ANIMATE_FALL | dialog_effect::ANIMATE_RISE};
  auto* dialog = new WM_DIALOG(40, 30, 120, 80, "Drag me", &body, &title, nullptr, &effects);
  root.add_overlay(dialog, false);
  wm_test::paint_table(&root);
  const WM_SCREEN_OBJECT* client = dialog->get_client();
  EXPECT_EQ(XY(dialog->get_title()->x, dialog->get_title()->y), XY(42, 32));
  EXPECT_EQ(XY(client->x, client->y), XY(42, 32 + dialog->get_title()->height + 2));
  auto pointer = [&](int16_t px, int16_t py, int button_change) {
    input.move_to(px, py);
    if (button_change > 0) input.press(1);
    if (button_change < 0) input.release(1);
    root.process();
  };

  // A press that began outside does not drag when it reaches the title.
  pointer(5, 5, 1);
  pointer(60, 35, 0);
  EXPECT_FALSE(dialog->is_dragging());
  pointer(60, 35, -1);

  pointer(60, 35, 1);
  EXPECT_TRUE(dialog->is_dragging());
  pointer(80, 45, 0);
  EXPECT_EQ(std::tuple(dialog->x, dialog->y, client->x), (std::tuple<int16_t, int16_t, int16_t>(60, 40, 62)));
  // The fall to the dragging alpha takes the display delay.
  frame_after(0);
  frame_after(500);
  EXPECT_EQ(dialog->get_alpha(), 255 - 63 * 500 / 1000);
  frame_after(500);
  EXPECT_EQ(pixel(100, 110), blend(kScreen, kBody, 192));
  EXPECT_EQ(pixel(50, 35), kScreen);  // where it was
  pointer(80, 45, -1);
  EXPECT_FALSE(dialog->is_dragging());
  frame_after(0);
  frame_after(1000);
  EXPECT_EQ(pixel(100, 110), kBody);

  // Without live drag a white box shows where it will land.
  WM_DIALOG::live_drag = 0;
  pointer(80, 45, 1);
  wm_test::paint_table(&root);
  EXPECT_EQ(pixel(179, 100), 0xFFFFFFFF);
  pointer(60, 25, 0);
  EXPECT_EQ(dialog->x, 60);
  wm_test::paint_table(&root);
  EXPECT_EQ(pixel(41, 21), 0xFFFFFFFF);
  EXPECT_EQ(pixel(179, 100), kBody);  // the box left its first place
  pointer(60, 25, -1);
  EXPECT_EQ(XY(dialog->x, dialog->y), XY(40, 20));
  frame_after(0);
  frame_after(1000);
  EXPECT_EQ(std::pair(pixel(45, 125), pixel(150, 95)), std::pair(kScreen, kBody));  // the box is gone
  // A press on the body where no widget is drags as one on the title does, along one axis alone too.
  for (const auto& [to, at] : {std::pair<XY, XY>{{90, 92}, {30, 22}}, {{90, 90}, {20, 22}}, {{100, 98}, {20, 30}}}) {
    pointer(100, 90, 1);
    pointer(to.first, to.second, 0);
    pointer(to.first, to.second, -1);
    EXPECT_EQ(XY(dialog->x, dialog->y), at);
  }
}

TEST_F(Dialog, WidgetsLiveInTheClientArea) {
  const WM_STYLE_SET body = plain(kBody, 2);
  const WM_STYLE_SET title = plain(kTitle, 1);
  DIALOG_EFFECTS effects{.flags = 0};
  auto* dialog = new WM_DIALOG(20, 20, 100, 80, "Title", &body, &title, nullptr, &effects);
  root.add_overlay(dialog, false);
  const WM_SCREEN_OBJECT* client = dialog->get_client();
  const int16_t top = static_cast<int16_t>(20 + dialog->get_client_top());
  EXPECT_EQ(client->y, top);
  auto* inside = new BOX(5, 5, 10, 10, kWidget);
  auto* sticking_out = new BOX(80, 30, 50, 10, kWidget);
  dialog->add_child(inside, true);
  dialog->add_child(sticking_out, true);
  EXPECT_EQ(inside->parent, client);
  EXPECT_EQ(XY(inside->x, inside->y), XY(27, top + 5));
  wm_test::paint_table(&root);  // the box sticking out cut at the last client column, 116
  EXPECT_TRUE(test_support::picture_matches_reference("core4", "dialog_client_area", *get_screen_image()));

  // Children move with the dialog and keep their size, on the title too; the
  // client never shrinks below a pixel.
  dialog->set_position(30, 30);
  EXPECT_EQ(inside->x, 37);
  dialog->get_title()->add_child(sticking_out, false);
  dialog->set_size(3, 3, true);
  EXPECT_EQ(XY(client->width, dialog->get_client()->get_height()), XY(1, 1));
  EXPECT_EQ(XY(inside->width, sticking_out->width), XY(10, 50));

  // Grown while a slide from above runs, it starts one new height above
  // itself, or above the screen.
  for (const auto& [edges, y0, y1] : {std::tuple{0u, 30, 10}, {dialog_effect::SCREEN_EDGES, -30, -50}}) {
    DIALOG_EFFECTS drawer{.flags = dialog_effect::SLIDE_IN | dialog_effect::SLIDE_UP | edges};
    WM_DIALOG sliding(50, 60, 40, 30, nullptr, &body, nullptr, nullptr, &drawer);
    EXPECT_EQ(XY(sliding.x, sliding.y), XY(50, y0));
    sliding.set_size(40, 50, false);
    for (int tick = 0; tick < 2; ++tick) sliding.update(false);
    EXPECT_EQ(XY(sliding.x, sliding.y), XY(50, y1)) << edges;
  }

  // x and y of -1 centre it.
  WM_DIALOG centred(-1, -1, 100, 50, nullptr, &body, nullptr, nullptr, &effects);
  EXPECT_EQ(XY(centred.x, centred.y), XY(50, 50));
  EXPECT_STREQ(centred.get_text(), "");

  // Grown, it keeps its centre (or its corner) and stays on the screen, to its last pixel.
  const struct {
    int16_t x, y, w0, h0;
    int32_t w, h;
    WM_DIALOG::GROW how;
    RECT grown;
  } grows[] = {
      {50, 40, 50, 40, 60, 50, WM_DIALOG::GROW::KEEP_CENTRE, RECT::sized(45, 35, 60, 50)},
      {150, 100, 50, 40, 80, 60, WM_DIALOG::GROW::KEEP_CENTRE, RECT::sized(120, 90, 80, 60)},
      {10, 10, 50, 40, 300, 20, WM_DIALOG::GROW::KEEP_CORNER, RECT::sized(0, 10, 200, 40)},
      {10, 10, 0, 0, 1, 1, WM_DIALOG::GROW::KEEP_CORNER, RECT::sized(10, 10, 1, 1)},  // from nothing to a pixel
  };
  for (const auto& g : grows) {
    WM_DIALOG grown(g.x, g.y, g.w0, g.h0, nullptr, &body, nullptr, nullptr, &effects);
    grown.grow_to(g.w, g.h, g.how);
    EXPECT_EQ(RECT::sized(grown.x, grown.y, grown.width, grown.height), g.grown) << g.w;
  }

  // Text added to its messages keeps the dialog's colour until the
  // toolkit's default text colour is set.
  EXPECT_EQ(WM_DIALOG::message_colour(kTitle), kTitle);
  WM_DIALOG::default_text_colour = kWidget;
  EXPECT_EQ(WM_DIALOG::message_colour(kTitle), kWidget);

  // A translucent body lies over what is behind it, at its edges too.
  const WM_STYLE_SET glass = plain(0x800000FF, 2);
  root.add_overlay(new WM_DIALOG(130, 20, 60, 40, nullptr, &glass, nullptr, nullptr, &effects), false);
  wm_test::paint_table(&root);
  for (const XY& p : {XY{130, 20}, XY{189, 59}}) {
    EXPECT_EQ(pixel(p.first, p.second), blend(kScreen, kBody, 0x80)) << p.first;
  }
  EXPECT_EQ(pixel(190, 59), kScreen);
}

TEST_F(Dialog, SkinEffectsFileChangesTheDefaults) {
  struct ROW {
    const char* file;
    DIALOG_EFFECTS expected;
  };
  const ROW rows[] = {
      {"flags\n  1\nopen_delay\n  150\ndragging_alpha\n  100\nbutton_delay\n  7\n",
       {1, 150, 1000, 100}},
      {"# held to each field's width\nflags\n  70000\ndragging_alpha\n  300\ndisplay_delay\n"
       "  -5\nopen_delay\n  many\n",
       {0xFFFF, 300, 0, 255}},
      {"flags\n  -1\ndragging_alpha\n  -1\n", {0, 300, 1000, 0}},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.file);
    default_dialog_effects() = DIALOG_EFFECTS{};
    ASSERT_TRUE(test_support::write_file(scratch.file("app/skin/dialog_effects.cfg"), row.file));
    ASSERT_TRUE(load_dialog_effects(skin));
    EXPECT_EQ(describe_dialog_effects(default_dialog_effects()), describe_dialog_effects(row.expected));
  }
  EXPECT_EQ(describe_dialog_effects(default_dialog_effects()),
            "Flags: 0x0000, Open Delay: 300, Displaying Delay 1000, Alpha 0x00");
  std::remove(scratch.file("app/skin/dialog_effects.cfg").c_str());
  EXPECT_FALSE(load_dialog_effects(skin));
}

// Page action 3 from a page's frame closes every open dialog, which the
// frames then delete at the end of its effect; a dialog in the page's tree
// closed with removal leaves it deleted.
TEST_F(Dialog, ClosedDialogsAreDeleted) {
  static int destroyed = 0;
  static int32_t page_result = 0;
  destroyed = 0;
  WM_SCREEN_OBJECT::object_destroyed_hook = [](WM_SCREEN_OBJECT* o, uintptr_t) {
    if (o->kind & wm_kind::DIALOG) ++destroyed;
  };
  auto manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  manager->set_page(
      0,
      [](WM_PAGE_MANAGER* m) {
        m->current_root()->add_child(new WM_DIALOG(100, 10, 50, 50, nullptr, nullptr, nullptr,
                                                   nullptr, nullptr),
                                     false);
      },
      nullptr, 1, [] { return std::exchange(page_result, 0); }, 0, 0, nullptr);
  ASSERT_EQ(manager->frame(false), page_action::SWITCH_PAGE);
  WM_SCREEN_OBJECT* page = manager->current_root();
  for (int i = 0; i < 2; ++i) {
    page->add_overlay(new WM_DIALOG(10, 10, 50, 50, "T", nullptr, nullptr, nullptr, nullptr), false);
  }
  // Once per frame the effects advance on every second frame.
  auto frames_for = [&](uint64_t ms) {
    for (uint64_t t = 0; t <= ms; t += 50) {
      input.advance_ms(50);
      manager->frame(false);
    }
  };
  frames_for(400);
  page_result = page_action::CLOSE_DIALOGS;
  EXPECT_EQ(manager->frame(false), page_action::CLOSE_DIALOGS);
  static_cast<WM_DIALOG*>(page->get_child(0))->close(true);
  frames_for(100);
  EXPECT_EQ(destroyed, 0);  // sliding out
  frames_for(400);
  EXPECT_EQ(destroyed, 3);
  EXPECT_TRUE(WM_SCREEN_OBJECT::overlays().empty());
  EXPECT_EQ(page->child_count(), 0);
  // At once, without an effect.
  page->add_overlay(new WM_DIALOG(10, 10, 50, 50, "T", nullptr, nullptr, nullptr, nullptr), false);
  WM_PAGE_MANAGER::close_all_dialogs_function(true);
  frames_for(0);
  EXPECT_EQ(destroyed, 4);
  // A dialog that leaves once closed goes when it is only hidden.
  struct LEAVING : WM_DIALOG {
    LEAVING() : WM_DIALOG(10, 10, 50, 50, "T", nullptr, nullptr, nullptr, nullptr) { leaves_once_closed = 1; }
  };
  auto* leaving = new LEAVING;
  page->add_overlay(leaving, false);
  frames_for(400);
  leaving->hide(false, true);
  EXPECT_EQ(leaving->update(true), 0);  // the overlay pass answers with its effects only
  frames_for(400);
  EXPECT_EQ(destroyed, 5);
  // One that a widget of its own deletes in its update asks for no action.
  auto* doomed = new WM_DIALOG(10, 10, 50, 50, "T", nullptr, nullptr, nullptr, nullptr);
  struct ENDING : BOX { using BOX::BOX; int32_t update(bool) override { delete parent->parent; return 0; } };
  doomed->add_child(new ENDING(2, 2, 5, 5, kWidget), true);
  EXPECT_EQ(doomed->update(false), 0);
  EXPECT_EQ(destroyed, 6);
  manager.reset();
  WM_SCREEN_OBJECT::object_destroyed_hook = nullptr;
}

TEST_F(Dialog, GreyBehindAndScreenshot) {
  WM_STYLE_SET body;
  body.shading_type = 6;
  body.shading_flags = 255;
  body.bg_colour = 0xFF3050A0;
  body.fading_colour = 0xFF101830;
  body.drawing_flags = SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_VFADING;
  WM_STYLE_SET title = plain(kTitle, 1);
  title.bg_colour = 0xFF802020;
  title.drawing_flags = SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER;
  title.shading_type = 4;
  root.add_child(new BOX(0, 0, 100, 150, 0xFF00A000), false);
  WM_DIALOG::grey_behind = 1;
  DIALOG_EFFECTS effects{.flags = 0};
  auto* dialog = new WM_DIALOG(-1, -1, 140, 90, "Setup", &body, &title, nullptr, &effects);
  WM_STYLE_SET text_style = plain(kTitle, 1);
  text_style.bg_colour = COLOUR_INVISIBLE;
  dialog->add_child(new WM_SCRIPT(6, 6, 120, 30, &text_style, "Install now?"), true);
  root.add_overlay(dialog, false);
  wm_test::paint_table(&root);
  // Behind the dialog green has turned grey: (59 x 160) / 100.
  EXPECT_EQ(pixel(5, 5), 0xFF5E5E5E);
  EXPECT_EQ(pixel(150, 5), kScreen);
  EXPECT_TRUE(test_support::picture_matches_reference("core2", "dialog", *get_screen_image()));
  dialog->hide(false, false);  // hidden but still an overlay: no grey to the screen's edge
  wm_test::paint_table(&root);
  EXPECT_EQ(pixel(0, 149), 0xFF00A000);
  dialog->close(true);
  frame_after(0);
  EXPECT_EQ(pixel(5, 5), 0xFF00A000);

  // Darkened by half instead; the colour form with a body picture from the
  // skin.
  WM_DIALOG::grey_behind = 0;
  WM_DIALOG::darken_behind = 1;
  IMAGE picture(4, 4);
  const COLOUR skin_colour = 0xFF204060;
  picture.fill_rect_solid(0, 0, 3, 3, &skin_colour);
  save("body", picture);
  DIALOG_COLOURS colours;
  colours.title_background = 0xFF00FFFF;
  auto* skinned = new WM_DIALOG(150, 100, 40, 40, "S", colours, true, &effects);
  EXPECT_EQ(skinned->title_style.bg_colour, 0xFF00FFFF);
  EXPECT_EQ(skinned->body_style.bg_colour, default_dialog_style().bg_colour);
  EXPECT_TRUE(skinned->load_background(skin, "body", nullptr));
  root.add_overlay(skinned, false);
  wm_test::paint_table(&root);
  EXPECT_EQ(std::pair(pixel(5, 5), pixel(188, 138)), std::pair(COLOUR{0xFF005000}, skin_colour));
  WM_DIALOG::darken_behind = 0;

  // Bodies in each look over what lies behind: darkened square and
  // rounded, faded across inside an indented border, rounded and faded
  // down with the text colour as outline, a plain face rounded.
  const uint32_t looks[] = {
      SSF_DARKENED_BACKGROUND, SSF_DARKENED_BACKGROUND, SSF_HFADING | SSF_DRAW_BORDER | SSF_INDENT_BORDER,
      SSF_VFADING | SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER | SSF_USE_TEXT_COLOUR_FOR_OUTLINE, 0};
  for (int i = 0; i < 5; ++i) {
    WM_STYLE_SET look = body;
    look.drawing_flags = looks[i];
    look.shading_flags = i % 2 || i == 4 ? 255 : 15;  // the corners rounded
    look.fg_colour = 0xFFE0C040;
    if (i == 2) look.fading_colour = 0x80101830;  // across to half clear
    root.add_overlay(new WM_DIALOG(static_cast<int16_t>(4 + 39 * i), 20, 36, 60, "B", &look, &title,
                                   nullptr, &effects),
                     false);
  }
  wm_test::paint_table(&root);
  EXPECT_TRUE(test_support::picture_matches_reference("core4", "dialog_bodies", *get_screen_image()));
}

}  // namespace
