// Pages and dialogs built from a template stream on a real window: the
// widgets, grid cells and build-callback calls a page's templates make, its
// background scaled into the back buffer, and a dialog's objects in its
// client area. (A real click on a built button: template_app_x11_test.)
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "file_services.h"
#include "template_page_store.h"
#include "test_support.h"
#include "wm_button.h"
#include "wm_dialog.h"
#include "wm_grid.h"
#include "wm_image.h"
#include "wm_page_manager.h"
#include "wm_x11_fixture.h"

namespace {

struct CALL {
  WM_SCREEN_OBJECT* object;
  uintptr_t word_1, word_2;
};
std::vector<CALL> calls;

int32_t record_call(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2) {
  calls.push_back({object, word_1, word_2});
  return 0;
}

WM_PTM_APP_INFO* page_store = nullptr;
uint32_t page_id = 0;
bool page_built = false;

void create_page(WM_PAGE_MANAGER*) {
  page_built = page_store->build_page(page_id, record_call, 0xFFFFFFFFu);
}

class TemplatePageX11 : public wm_test::PointerX11 {
protected:
  TemplatePageX11() : PointerX11("Template page", 640, 480) {}

  void SetUp() override {
    PointerX11::SetUp();
    if (!ready()) return;
    ASSERT_NO_FATAL_FAILURE(template_test::make_app_folder(scratch, &app));
    set_base_path(app, "template_page_x11_test");
    calls.clear();
    page_built = false;
    // The page comes from the store's stream: written, then read back.
    store = std::make_unique<WM_PTM_APP_INFO>();
    page_store = store.get();
    page_id = template_test::fill_page_store(*store);
    ASSERT_TRUE(store->save(app, "page.tpl", 0, 0));
    ASSERT_TRUE(store->load(app, "page.tpl", nullptr));
  }
  void TearDown() override {
    manager.reset();
    store.reset();
    page_store = nullptr;
    clear_base_path();
    PointerX11::TearDown();
  }

  // The page shown through the page manager, whose create callback builds it.
  void show_page() {
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, create_page, nullptr, 0, nullptr, 0, 0, nullptr);
    frame = [this] { manager->frame(true); };
    ASSERT_EQ(manager->frame(true), page_action::SWITCH_PAGE);
    ASSERT_TRUE(page_built);
  }

  const WM_PTM_PAGE_INFO& page() const { return *store->areas[0]->get_page(0); }
  const WM_PTM_OBJECT_INFO& page_template(int32_t i) const { return *page().get_object(i); }

  test_support::ScratchDir scratch;
  FOLDER app;
  std::unique_ptr<WM_PTM_APP_INFO> store;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

TEST_F(TemplatePageX11, APageFromAStreamHasItsWidgetsCellsAndBuildCalls) {
  ASSERT_NO_FATAL_FAILURE(show_page());
  WM_MANAGER& root = *manager->current_root();
  // Eight templates: the one not built and the unknown type make nothing.
  ASSERT_EQ(root.child_count(), 6);
  struct {
    uint32_t kind;
    int32_t template_index;
  } const expected[] = {{wm_kind::SCRIPT, 0},     {wm_kind::BUTTON, 1},
                        {wm_kind::GRID, 2},       {wm_kind::IMAGE, 3},
                        {wm_kind::CHECK_BOX, 4},  {wm_kind::SCRIPT | wm_kind::TYPING_SCRIPT, 5}};
  for (int i = 0; i < 6; ++i) {
    WM_SCREEN_OBJECT* object = root.get_child(static_cast<int16_t>(i));
    EXPECT_EQ(object->kind & expected[i].kind, expected[i].kind) << i;
    EXPECT_EQ(object->template_record, &page_template(expected[i].template_index)) << i;
  }
  // Corners from position and size.
  WM_SCREEN_OBJECT* label = root.get_child(0);
  EXPECT_EQ(label->x, 10);
  EXPECT_EQ(label->y, 5);
  EXPECT_EQ(label->x + label->width - 1, 109);
  EXPECT_EQ(label->y + label->height - 1, 24);

  auto* button = static_cast<WM_BUTTON*>(root.get_child(1));
  EXPECT_STREQ(button->get_text(), "Play");
  EXPECT_EQ(button->action_word_1, page_template(1).user_word_1);
  EXPECT_NE(button->action_word_1, 0u);
  EXPECT_EQ(button->hotkey, static_cast<uint32_t>('p'));
  EXPECT_EQ(button->action_callback, record_call);

  auto* grid = static_cast<WM_GRID*>(root.get_child(2));
  const WM_PTM_OBJECT_INFO& grid_template = page_template(2);
  ASSERT_EQ(grid->get_row_count(), 2);
  EXPECT_EQ(grid->get_cell(1, 0)->template_record, grid_template.get_child(0));
  EXPECT_EQ(grid->get_cell(0, 1)->template_record, grid_template.get_child(1));
  EXPECT_EQ(grid->get_cell(0, 1)->action_word_1, 7u);
  EXPECT_EQ(grid->column_widths, (std::vector<int16_t>{100, 200}));
  // The ordinary child is the grid's only child, sized from its text; the
  // refused one is gone with its subtree.
  ASSERT_EQ(grid->child_count(), 1);
  EXPECT_EQ(grid->get_child(0)->template_record, grid_template.get_child(2));
  EXPECT_GT(grid->get_child(0)->width, 10);
  EXPECT_LT(grid->get_child(0)->width, 100);

  auto* image = static_cast<WM_IMAGE*>(root.get_child(3));
  EXPECT_EQ(image->image.width, 64);
  EXPECT_EQ(image->image.height, 48);

  // Children before their parent; nothing for templates never built.
  const struct {
    WM_SCREEN_OBJECT* object;
    uint32_t control;
  } built[] = {{button, template_test::kButtonControl},
               {grid->get_cell(1, 0), template_test::kCellLabelControl},
               {grid->get_cell(0, 1), template_test::kCellButtonControl},
               {grid, template_test::kGridControl}};
  ASSERT_EQ(calls.size(), std::size(built));
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].object, built[i].object) << i;
    EXPECT_EQ(calls[i].word_1, built[i].control) << i;
    EXPECT_EQ(calls[i].word_2, 0u) << i;
  }
  // The area's current page word is the page's id.
  EXPECT_EQ(manager->get_page_word(manager->area(0).current_slot), page_id);
}

TEST_F(TemplatePageX11, ThePageBackgroundIsScaledOverTheAreaAndShown) {
  ASSERT_NO_FATAL_FAILURE(show_page());
  ASSERT_TRUE(frames_until([] { return true; }));
  manager->frame(true);
  const IMAGE& back = manager->back_buffers[0];
  ASSERT_EQ(back.width, 640);
  ASSERT_EQ(back.height, 480);
  // Points of each quadrant that no widget covers, in the back buffer and
  // on the screen.
  const struct {
    int16_t x, y;
    COLOUR colour;
  } points[] = {{150, 20, template_test::kTopLeft},
                {600, 20, template_test::kTopRight},
                {5, 470, template_test::kBottomLeft},
                {600, 470, template_test::kBottomRight}};
  for (const auto& p : points) {
    COLOUR in_back = 0, on_screen = 0;
    back.get_pixel(p.x, p.y, &in_back);
    get_screen_image()->get_pixel(p.x, p.y, &on_screen);
    EXPECT_EQ(in_back, p.colour) << p.x << "," << p.y;
    EXPECT_EQ(on_screen, p.colour) << p.x << "," << p.y;
  }
  save_screen("template_page.png");
}

TEST_F(TemplatePageX11, APageOfAnotherAreaGoesOntoThatAreasRoot) {
  manager = std::make_unique<WM_PAGE_MANAGER>(2, -1);
  WM_AREA& right = manager->area(1);
  right.root.set_position(320, 0);
  right.root.set_size(320, 480, true);
  ASSERT_EQ(manager->get_current_area(), 0);
  const uint32_t right_page = store->areas[1]->get_page(0)->id;
  ASSERT_TRUE(store->build_page(right_page, record_call, 1));
  EXPECT_EQ(manager->area(0).root.child_count(), 0);
  ASSERT_EQ(right.root.child_count(), 1);
  EXPECT_EQ(right.root.get_child(0)->x, 330);
  EXPECT_EQ(manager->get_page_word(right.current_slot, 1), right_page);
  // The background covers only that area: left of it the buffer is black.
  COLOUR left = 0, inside = 0;
  manager->back_buffers[0].get_pixel(100, 100, &left);
  manager->back_buffers[0].get_pixel(340, 100, &inside);
  EXPECT_EQ(left, 0xFF000000u);
  EXPECT_EQ(inside, template_test::kTopLeft);
  // A page id of another area is not found in this one.
  EXPECT_FALSE(store->build_page(page_id, record_call, 1));
}

TEST_F(TemplatePageX11, ADialogIsBuiltIntoItsClientArea) {
  EXPECT_EQ(store->create_dialog("no such dialog", record_call, 0, 0, nullptr), nullptr);
  std::unique_ptr<WM_DIALOG> dialog(store->create_dialog("question", record_call, 11, 12, nullptr));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WM_DIALOG::current_dialog, nullptr);
  EXPECT_STREQ(dialog->get_text(), "Sure?");
  EXPECT_EQ(dialog->action_word_1, 11u);
  EXPECT_EQ(dialog->action_word_2, 12u);
  WM_MANAGER* client = dialog->get_client();
  ASSERT_EQ(client->child_count(), 2);
  const WM_PTM_DIALOG_INFO& record = *store->dialogs[0];
  for (int i = 0; i < 2; ++i) {
    WM_SCREEN_OBJECT* object = client->get_child(static_cast<int16_t>(i));
    EXPECT_EQ(object->template_record, record.get_object(i));
    EXPECT_EQ(object->x, client->x + record.get_object(i)->x) << i;
    EXPECT_EQ(object->y, client->y + record.get_object(i)->y) << i;
  }
}

}  // namespace
