// Keypads in a real window driven by XTEST: clicked keys and typed digits,
// ".", "-", Return, BackSpace and Delete edit i32 and f64 variables; OK
// without a callback hides the keypad, with one the callback decides. The
// open keypad is saved as a picture.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <vector>

#include "wm_button.h"
#include "wm_numpad.h"
#include "wm_x11_fixture.h"

namespace {

std::vector<uintptr_t> results;
int32_t answer(WM_SCREEN_OBJECT*, uintptr_t, uintptr_t result) {
  results.push_back(result);
  return 4;  // remove and delete the keypad
}

class NumpadX11 : public wm_test::OverlayX11 {
protected:
  void SetUp() override {
    OverlayX11::SetUp();
    results.clear();
  }
  // The key button with that caption.
  static WM_BUTTON* key_of(WM_NUMPAD* pad, const char* caption) {
    WM_MANAGER* c = pad->get_client();
    for (int32_t i = 0; i < c->child_count(); ++i) {
      auto* b = dynamic_cast<WM_BUTTON*>(c->get_child(static_cast<int16_t>(i)));
      if (b && std::string(b->get_text()) == caption) return b;
    }
    return nullptr;
  }
  bool field_is(WM_NUMPAD* pad, const std::string& s) {
    return frames_until([&] { return pad->get_field() == std::string(14 - s.size(), ' ') + s; });
  }
};

}  // namespace

TEST_F(NumpadX11, ClickedKeysAndTypingEditAnIntegerAndReturnHidesIt) {
  if (!ready()) GTEST_SKIP();
  PARAMETER v;
  v.set_type(PARAMETER::I32);
  v.set_int(PARAMETER::MAXIMUM, 1000);
  v.set_int(PARAMETER::MINIMUM, -1000);
  v.set_int(PARAMETER::VALUE, 12);
  auto* pad = new WM_NUMPAD(-1, -1, &v, "Level", nullptr, 0, {}, true);
  root.add_overlay(pad, false);
  ASSERT_TRUE(frames_until([&] { return pad->is_enabled() && !pad->is_moving(); }));
  EXPECT_TRUE(field_is(pad, "12"));
  for (const char* caption : {"7", "5"}) ASSERT_NO_FATAL_FAILURE(click(key_of(pad, caption)));
  EXPECT_TRUE(field_is(pad, "75"));
  ASSERT_NO_FATAL_FAILURE(click(key_of(pad, "+/-")));
  EXPECT_TRUE(field_is(pad, "-75"));
  for (const auto& [typed, shown] : {std::pair{XK_9, "-759"}, {XK_BackSpace, "-75"}, {XK_Delete, ""}}) {
    ASSERT_NO_FATAL_FAILURE(tap(typed));
    EXPECT_TRUE(field_is(pad, shown)) << typed;
  }
  for (KeySym typed : {XK_2, XK_0, XK_0, XK_0, XK_Return}) ASSERT_NO_FATAL_FAILURE(tap(typed));
  EXPECT_TRUE(field_is(pad, "Out Of Range"));
  for (KeySym typed : {XK_minus, XK_8}) ASSERT_NO_FATAL_FAILURE(tap(typed));  // the message is fresh: no sign
  EXPECT_TRUE(field_is(pad, "8"));
  ASSERT_NO_FATAL_FAILURE(save_screen("numpad.png"));
  ASSERT_NO_FATAL_FAILURE(tap(XK_Return));
  EXPECT_TRUE(frames_until([&] { return v.get_int(PARAMETER::VALUE) == 8 && !pad->visible; }));
}

TEST_F(NumpadX11, AFloatingKeypadAnswersThroughItsCallbackWhichDeletesIt) {
  if (!ready()) GTEST_SKIP();
  PARAMETER v;
  v.set_type(PARAMETER::DOUBLE);
  v.set_double(PARAMETER::MAXIMUM, 100);
  v.set_double(PARAMETER::MINIMUM, -100);
  auto* pad = new WM_NUMPAD(-1, -1, &v, "Rate", answer, 0, {}, true);
  root.add_overlay(pad, false);
  ASSERT_TRUE(frames_until([&] { return pad->is_enabled() && !pad->is_moving(); }));
  for (KeySym typed : {XK_4, XK_period}) ASSERT_NO_FATAL_FAILURE(tap(typed));
  ASSERT_NO_FATAL_FAILURE(click(key_of(pad, ".")));
  for (KeySym typed : {XK_5, XK_minus}) ASSERT_NO_FATAL_FAILURE(tap(typed));
  EXPECT_TRUE(field_is(pad, "-4.5"));
  ASSERT_NO_FATAL_FAILURE(click(key_of(pad, "OK")));
  EXPECT_TRUE(frames_until([] { return WM_SCREEN_OBJECT::overlays().empty(); }));
  EXPECT_EQ(results, (std::vector<uintptr_t>{1}));
  EXPECT_DOUBLE_EQ(v.get_double(PARAMETER::VALUE), -4.5);
}
