// The object factory and the building operations without a window: what a
// template makes, the custom object hook, the guards of page and dialog
// building, and the templates a save captures from live objects.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "wm_dialog.h"
#include "wm_image.h"
#include "wm_page_manager.h"
#include "wm_ptm_app_info.h"
#include "wm_test_fonts.h"

namespace {

class TemplateBuilder : public wm_test::TextSkinTest {
protected:
  TemplateBuilder() : TextSkinTest("template_builder_test", 640, 480) {}
  void TearDown() override {
    WM_PTM_APP_INFO::object_hook = nullptr;
    WM_PTM_APP_INFO::object_hook_word = 0;
    TextSkinTest::TearDown();
  }
  // A one-area store whose page holds one label template; returns its id.
  uint32_t add_label_page() {
    WM_PTM_AREA_INFO* area = store.add_area();
    EXPECT_TRUE(area->add_page());
    EXPECT_TRUE(area->get_page(0)->add_object(wm_kind::SCRIPT));
    return area->get_page(0)->id;
  }
  IMAGE dot{1, 1};  // a one-pixel picture is a picture all the same (a plain one: no cache entry)
  WM_PTM_APP_INFO store;
  WM_PTM_OBJECT_INFO t;
};

WM_PTM_OBJECT_INFO* hooked_template = nullptr;
WM_CALLBACK hooked_callback = nullptr;
uintptr_t hooked_word = 0;
bool hook_answers = true;
WM_SCREEN_OBJECT* handed_out_again = nullptr;  // the hook's answer when set

WM_SCREEN_OBJECT* custom_hook(WM_PTM_OBJECT_INFO* object_template, WM_CALLBACK callback,
                              uintptr_t word) {
  hooked_template = object_template;
  hooked_callback = callback;
  hooked_word = word;
  if (handed_out_again) return handed_out_again;
  return hook_answers ? new WM_SCREEN_OBJECT(true, callback, 0, 0) : nullptr;
}

int32_t some_callback(WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return 0; }
std::pair<WM_SCREEN_OBJECT*, uintptr_t> told;  // what a build last told a control id, and the id
int32_t tell(WM_SCREEN_OBJECT* o, uintptr_t id, uintptr_t) { return told = {o, id}, 0; }

TEST_F(TemplateBuilder, TypeZeroAsksTheCustomHookAndFallsBackToALabel) {
  t.type = 0;
  t.user_word_1 = 8;
  t.set_text("fallback");
  // No hook, and a hook that answers null: a label.
  for (bool with_hook : {false, true}) {
    WM_PTM_APP_INFO::object_hook = with_hook ? custom_hook : nullptr;
    hook_answers = false;
    std::unique_ptr<WM_SCREEN_OBJECT> made(t.create_object(some_callback));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->kind, wm_kind::SCRIPT);
    EXPECT_EQ(made->template_record, &t);
  }
  WM_PTM_APP_INFO::object_hook = custom_hook;
  WM_PTM_APP_INFO::object_hook_word = 55;
  hook_answers = true;
  std::unique_ptr<WM_SCREEN_OBJECT> made(t.create_object(some_callback));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->kind, 0u);
  EXPECT_EQ(std::tuple(hooked_template, hooked_callback, hooked_word), std::tuple(&t, WM_CALLBACK{some_callback}, 55u));
  // The hook's object records its template and gets the words too.
  EXPECT_EQ(made->template_record, &t);
  EXPECT_EQ(made->action_word_1, 8u);
  // A hook may hand out an object again, also for another template: the
  // object belongs to the last template that built it, and no template
  // touches it once it has gone.
  auto other = std::make_unique<WM_PTM_OBJECT_INFO>();
  handed_out_again = made.get();
  EXPECT_EQ(other->create_object(some_callback), made.get());
  EXPECT_EQ(made->template_record, other.get());
  EXPECT_EQ(t.create_object(some_callback), made.get());
  EXPECT_EQ(made->template_record, &t);
  handed_out_again = nullptr;
  made.reset();
  other.reset();
}

// Every kind a template builds carries the template's two words to its
// callback, and the callback itself where the kind calls back.
TEST_F(TemplateBuilder, EveryKindCarriesTheTemplatesWords) {
  t.user_word_1 = 8;
  t.user_word_2 = 9;
  t.set_text("x");
  (t.image = store.add_image())->picture = &dot;
  for (uint32_t type : {wm_kind::SCRIPT, wm_kind::TYPING_SCRIPT, wm_kind::BUTTON, wm_kind::IMAGE,
                        wm_kind::GRID, wm_kind::CHECK_BOX}) {
    t.type = type;
    std::unique_ptr<WM_SCREEN_OBJECT> made(t.create_object(some_callback));
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made->kind & type, 0u) << type;
    EXPECT_EQ(made->action_word_1, 8u) << type;
    EXPECT_EQ(made->action_word_2, 9u) << type;
    if (type == wm_kind::IMAGE) { EXPECT_EQ(static_cast<WM_IMAGE*>(made.get())->image.width, 1); }
    if (type != wm_kind::SCRIPT && type != wm_kind::TYPING_SCRIPT) {
      EXPECT_EQ(made->action_callback, some_callback) << type;
    }
  }
}

TEST_F(TemplateBuilder, NothingIsBuiltWithoutAManagerOrWhileNothingIsLoaded) {
  const uint32_t id = add_label_page();
  ASSERT_TRUE(store.add_dialog());
  store.dialogs[0]->set_name("d");
  // Generated or read stores are loaded; this one was made by hand.
  store.loaded = 1;
  EXPECT_FALSE(store.build_page(id, nullptr, 0));  // no page manager
  {
    WM_PAGE_MANAGER manager(1, -1);
    store.loaded = 0;
    EXPECT_FALSE(store.build_page(id, nullptr, 0));
    EXPECT_EQ(store.create_dialog("d", nullptr, 0, 0, nullptr), nullptr);
    EXPECT_EQ(manager.current_root()->child_count(), 0);
    store.loaded = 1;
    // Areas out of range and unknown page ids.
    for (auto [page, area] : {std::pair{id, 1u}, {id, 0x8000u}, {id + 1, 0u}})
      EXPECT_FALSE(store.build_page(page, nullptr, area)) << area;
    // An area the store has but the manager has not.
    WM_PTM_AREA_INFO* second = store.add_area();
    ASSERT_TRUE(second->add_page());
    EXPECT_FALSE(store.build_page(second->get_page(0)->id, nullptr, 1));
    EXPECT_EQ(manager.current_root()->child_count(), 0);
    // No background leaves the back buffer alone; one of a single pixel is drawn.
    EXPECT_TRUE(store.build_page(id, nullptr, 0xFFFFFFFFu));
    EXPECT_EQ(manager.current_root()->child_count(), 1);
    EXPECT_EQ(manager.back_buffers[0].width, 0);
    (store.areas[0]->get_page(0)->background = store.add_image())->picture = &dot;
    WM_PTM_OBJECT_INFO* label = store.areas[0]->get_page(0)->get_object(0);
    ASSERT_TRUE(label->add_child(wm_kind::SCRIPT));  // a lone child: built in the 2nd label, told its id
    label->get_child(0)->control_id = 7;
    EXPECT_TRUE(store.build_page(id, tell, 0xFFFFFFFFu));
    EXPECT_EQ(manager.back_buffers[0].width, 640);
    ASSERT_EQ(manager.current_root()->get_child(1)->child_count(), 1);
    EXPECT_EQ(told, std::pair(manager.current_root()->get_child(1)->get_child(0), uintptr_t{7}));
    std::unique_ptr<WM_DIALOG> dialog(store.create_dialog("d", nullptr, 0, 0, nullptr));
    EXPECT_NE(dialog, nullptr);
  }
}

TEST_F(TemplateBuilder, CapturingGivesOneDefaultLabelTemplatePerLiveObject) {
  WM_SCREEN_OBJECT root(true, nullptr, 0, 0);
  for (int i = 0; i < 3; ++i) root.add_child(new WM_SCREEN_OBJECT(true, nullptr, 0, 0), false);
  WM_PTM_PAGE_INFO page;
  store.capture_objects(root.children, &page, nullptr);
  ASSERT_EQ(page.get_object_count(), 3);
  const WM_PTM_OBJECT_INFO& last = *page.get_object(2);
  EXPECT_EQ(std::tuple(last.type, last.text, last.width), std::tuple(wm_kind::SCRIPT, nullptr, 0xFFFF));
  EXPECT_STREQ(last.name.get_text_at(0), "Object 3");
  WM_PTM_OBJECT_INFO parent;
  store.capture_objects(root.children, nullptr, &parent);
  EXPECT_EQ(parent.get_child_count(), 3);
  // With neither a page nor a parent nothing happens.
  store.capture_objects(root.children, nullptr, nullptr);
}

}  // namespace
