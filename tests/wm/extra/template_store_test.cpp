// The template store's arrays, look-ups and hand-over to the toolkit, with
// a page manager but no window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "application_info.h"
#include "default_dialog_styles.h"
#include "folder.h"
#include "image_cache.h"
#include "memory_device.h"
#include "screen.h"
#include "template_test_store.h"
#include "test_support.h"
#include "wm_button.h"
#include "wm_list_box.h"
#include "wm_dialog.h"
#include "wm_grid.h"
#include "wm_menu.h"
#include "wm_page_manager.h"
#include "wm_script.h"

namespace {

using template_test::fill_store;

void each_template(WM_PTM_OBJECT_INFO& object, const std::function<void(WM_PTM_OBJECT_INFO&)>& visit) {
  visit(object);
  for (int32_t i = 0; i < object.get_child_count(); i++) each_template(*object.get_child(i), visit);
}

// Every image and style-set reference of the store's pages and templates.
struct REFERENCES {
  std::multiset<const void*> images, styles;
};

REFERENCES references_of(WM_PTM_APP_INFO& store) {
  REFERENCES found;
  auto visit = [&found](WM_PTM_OBJECT_INFO& object) {
    if (object.image) found.images.insert(object.image);
    if (object.style) found.styles.insert(object.style);
    if (object.cell_style) found.styles.insert(object.cell_style);
  };
  for (auto& area : store.areas)
    for (int32_t p = 0; p < area->get_page_count(); p++) {
      WM_PTM_PAGE_INFO* page = area->get_page(p);
      if (page->background) found.images.insert(page->background);
      for (int32_t o = 0; o < page->get_object_count(); o++) each_template(*page->get_object(o), visit);
    }
  for (auto& dialog : store.dialogs)
    for (int32_t o = 0; o < dialog->get_object_count(); o++) each_template(*dialog->get_object(o), visit);
  return found;
}

template <typename T>
bool holds(const std::vector<std::unique_ptr<T>>& list, const void* record) {
  for (const auto& item : list)
    if (item.get() == record) return true;
  return false;
}

// Each test has a scratch folder for the files it saves and loads.
class TemplateStore : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(scratch.path().c_str())); }
  test_support::ScratchDir scratch;
  FOLDER folder;
};

struct FORGET_CASE {
  const char* what;
  std::function<bool(WM_PTM_APP_INFO&)> change;
  size_t images_left, styles_left;  // references that stay
  size_t images_kept, styles_kept;  // records that stay
};

TEST_F(TemplateStore, RemovingOrFreeingAResourceLeavesNoReferenceToIt) {
  // The filled store: each of the two page backgrounds is image 1; each of
  // the three filled templates uses image 0, style set 1 and cell style set 0.
  const FORGET_CASE cases[] = {
      {"remove image 0", [](WM_PTM_APP_INFO& s) { return s.remove_image(0); }, 2, 6, 1, 2},
      {"remove image 1", [](WM_PTM_APP_INFO& s) { return s.remove_image(1); }, 3, 6, 1, 2},
      {"free images", [](WM_PTM_APP_INFO& s) { s.free_images(); return true; }, 0, 6, 0, 2},
      {"set image count", [](WM_PTM_APP_INFO& s) { return s.set_image_count(3); }, 0, 6, 3, 2},
      {"remove style set 1", [](WM_PTM_APP_INFO& s) { return s.remove_style_set(1); }, 5, 3, 2, 1},
      {"free style sets", [](WM_PTM_APP_INFO& s) { s.free_style_sets(); return true; }, 5, 0, 2, 0},
      {"set style set count", [](WM_PTM_APP_INFO& s) { return s.set_style_set_count(2); }, 5, 0, 2, 2},
      {"remove a font", [](WM_PTM_APP_INFO& s) { return s.remove_font(0); }, 5, 6, 2, 2},
  };
  for (const FORGET_CASE& c : cases) {
    WM_PTM_APP_INFO store;
    fill_store(store);
    ASSERT_TRUE(c.change(store)) << c.what;
    REFERENCES left = references_of(store);
    EXPECT_EQ(left.images.size(), c.images_left) << c.what;
    EXPECT_EQ(left.styles.size(), c.styles_left) << c.what;
    EXPECT_EQ(store.images.size(), c.images_kept) << c.what;
    EXPECT_EQ(store.style_sets.size(), c.styles_kept) << c.what;
    for (const void* image : left.images) EXPECT_TRUE(holds(store.images, image)) << c.what;
    for (const void* style : left.styles) EXPECT_TRUE(holds(store.style_sets, style)) << c.what;
  }
}

// An image record fetches its picture through the toolkit's shared cache,
// which remembers a file found missing: written afterwards, the picture is
// not looked for again until the cache is purged.
TEST_F(TemplateStore, AnImagesMissingFileStaysMissingUntilTheCacheIsPurged) {
  WM_PTM_IMAGE_INFO image;
  ASSERT_TRUE(folder.get_path_text(image.folder, sizeof image.folder, nullptr));
  image.set_file_name("late.png");
  image.load_image();
  EXPECT_EQ(image.picture, nullptr);
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(IMAGE(3, 2).save_png(&png));
  ASSERT_TRUE(test_support::write_file(scratch.file("late.png"), png.text()));
  image.load_image();
  EXPECT_EQ(image.picture, nullptr);
  wm_image_cache().purge();
  image.load_image();
  ASSERT_NE(image.picture, nullptr);
  EXPECT_EQ(image.picture->width, 3);
}

TEST_F(TemplateStore, RemoveRefusesAnIndexOutOfRange) {
  WM_PTM_APP_INFO store;
  fill_store(store);
  using REMOVE = bool (WM_PTM_APP_INFO::*)(int32_t);
  for (REMOVE remove : {&WM_PTM_APP_INFO::remove_style_set, &WM_PTM_APP_INFO::remove_font,
                        &WM_PTM_APP_INFO::remove_colour, &WM_PTM_APP_INFO::remove_image,
                        &WM_PTM_APP_INFO::remove_constant, &WM_PTM_APP_INFO::remove_dialog,
                        &WM_PTM_APP_INFO::remove_area}) {
    EXPECT_FALSE((store.*remove)(-1));
    EXPECT_FALSE((store.*remove)(100));
  }
  EXPECT_EQ(store.areas.size(), 2u);
  EXPECT_TRUE(store.remove_area(0));
  ASSERT_EQ(store.areas.size(), 1u);
  EXPECT_STREQ(store.areas[0]->name, "Area 2");
}

TEST_F(TemplateStore, DefaultNamesCountFromTheArraysLength) {
  WM_PTM_APP_INFO store;
  EXPECT_STREQ(store.add_image()->name, "Image 1");
  EXPECT_STREQ(store.add_image()->name, "Image 2");
  ASSERT_TRUE(store.remove_image(0));
  EXPECT_STREQ(store.add_image()->name, "Image 2");
  const std::vector<std::string> firsts{store.add_style_set()->name, store.add_font()->name, store.add_colour()->name,
                                        store.add_constant()->name, store.add_dialog()->name, store.add_area()->name};
  EXPECT_EQ(firsts, (std::vector<std::string>{"Style Set 1", "Font 1", "Colour 1", "Constant 1", "Dialog 1", "Area 1"}));
  // Set-count records have no names.
  ASSERT_TRUE(store.set_colour_count(2));
  EXPECT_EQ(store.colours[1]->name, nullptr);
  ASSERT_TRUE(store.set_colour_count(0));
  EXPECT_TRUE(store.colours.empty());
}

TEST_F(TemplateStore, FindGivesTheFirstOfEqualNamesAndSortsAChangedArrayFirst) {
  WM_PTM_APP_INFO store;
  int32_t index = 7;
  EXPECT_EQ(store.find_colour("b", &index), nullptr);
  EXPECT_EQ(index, -1);
  WM_PTM_COLOUR_INFO* first_b = store.add_colour();
  first_b->set_name("b");
  store.add_colour()->set_name("a");
  WM_PTM_COLOUR_INFO* second_b = store.add_colour();
  second_b->set_name("b");
  WM_PTM_COLOUR_INFO* unnamed = store.add_colour();
  unnamed->set_name(nullptr);
  EXPECT_EQ(store.find_colour("b", &index), first_b);
  EXPECT_EQ(index, 2);  // after the unnamed record and "a"
  EXPECT_EQ(store.find_colour("", &index), unnamed);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(store.find_colour("c"), nullptr);
  // A renamed record is found where its new name sorts.
  second_b->set_name("0");
  EXPECT_EQ(store.find_colour("0", &index), second_b);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(store.find_colour("b"), first_b);

  // Every other named array is searched by name as well.
  fill_store(store);
  EXPECT_EQ(store.find_style_set("Style Set 2"), store.style_sets[1].get());
  EXPECT_EQ(store.find_font("Font 1"), store.fonts[0].get());
  EXPECT_EQ(store.find_image("Image 2"), store.images[1].get());
  EXPECT_EQ(store.find_constant("Constant 1"), store.constants[0].get());
  EXPECT_EQ(store.find_image(nullptr), nullptr);
}

TEST_F(TemplateStore, FontLookupsByNameAndBySlot) {
  WM_PTM_APP_INFO store;
  WM_PTM_FONT_INFO* sans = store.add_font();
  sans->set_name("Sans");
  sans->set_file_name("sans.ttf");
  WM_PTM_FONT_INFO* serif = store.add_font();
  serif->set_name("Serif");
  serif->set_file_name("serif.ttf");
  EXPECT_EQ(store.font_id_for_name("Serif"), 255u);  // nothing loaded
  EXPECT_EQ(store.font_id_for_name("Mono"), 0xFFFFFFFFu);
  EXPECT_STREQ(store.font_file_for_id(255), "sans.ttf");  // the first in array order
  EXPECT_EQ(store.font_file_for_id(3), nullptr);
}

TEST_F(TemplateStore, PageSettingsComeFromThePageOrTheDefault) {
  WM_PTM_APP_INFO store;
  store.default_page_setting = 10;
  WM_PTM_AREA_INFO* area = store.add_area();
  ASSERT_TRUE(area->add_page());
  ASSERT_TRUE(area->add_page());
  area->get_page(0)->id = 100;
  area->get_page(0)->page_setting = 4;
  area->get_page(1)->id = 200;
  WM_PAGE_MANAGER manager(1, -1);
  const struct {
    uint32_t page, area, setting;
  } cases[] = {
      {100, 0, 4}, {200, 0, 10}, {300, 0, 10}, {100, 1, 10}, {100, 0xFFFF, 10}, {100, 0xFFFFFFFFu, 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(store.get_page_setting(c.page, c.area), c.setting) << c.page << " in " << c.area;
}

TEST_F(TemplateStore, TheTitleGoesThroughThePlatform) {
  const char* shown = nullptr;
  WM_PTM_APP_INFO::set_app_title(&shown, "Game of the year");
  EXPECT_STREQ(shown, "Game of the year");
  EXPECT_STREQ(WM_PTM_APP_INFO::get_app_title(), "Game of the year");
  EXPECT_STREQ(get_app_title(), "Game of the year");
  std::string long_title(300, 'x');
  WM_PTM_APP_INFO::set_app_title(&shown, long_title.c_str());
  EXPECT_EQ(strlen(shown), 255u);
}

// A loaded store makes a manager of one area per record (one where it has
// none, as generation from folders leaves it).
TEST_F(TemplateStore, TheManagerIsMadeOnlyForALoadedStoreAndDeletedOnlyWhenMadeHere) {
  for (const int records : {0, 3}) {
    WM_PTM_APP_INFO store;
    for (int i = 0; i < records; i++) store.add_area();
    EXPECT_EQ(store.create_manager(nullptr), nullptr);
    EXPECT_EQ(WM_PAGE_MANAGER::get(), nullptr);
    store.loaded = 1;
    WM_PAGE_MANAGER* made = store.create_manager(nullptr);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->get_area_count(), records ? records : 1);
    // Clearing keeps the manager; a later hand-over reuses it.
    store.clear();
    store.loaded = 1;
    EXPECT_EQ(store.get_manager(), made);
    EXPECT_EQ(store.create_manager(nullptr), made);
  }
  EXPECT_EQ(WM_PAGE_MANAGER::get(), nullptr);

  WM_PAGE_MANAGER given(2, -1);
  {
    WM_PTM_APP_INFO store;
    fill_store(store);
    store.add_area();
    store.loaded = 1;
    EXPECT_EQ(store.create_manager(&given), &given);
  }
  EXPECT_EQ(WM_PAGE_MANAGER::get(), &given);
}

TEST_F(TemplateStore, TheLookIsHandedToTheToolkit) {
  WM_PTM_APP_INFO store;
  fill_store(store);
  store.loaded = 1;
  WM_PAGE_MANAGER* manager = store.create_manager(nullptr);
  ASSERT_NE(manager, nullptr);
  EXPECT_STREQ(get_app_title(), "Game");
  // What the toolkit holds now, beside what the store holds.
  const std::pair<int64_t, int64_t> handed[] = {
      {toolkit_value, store.toolkit_value}, {border_theme.default_style, store.border_width},
      {border_theme.shadow, store.border_colour_1}, {border_theme.highlight, store.border_colour_2},
      {border_theme.inner_outline, store.border_colour_3}, {border_theme.outline, store.border_colour_4},
      {manager->first_page_fades_in, store.transition_type},
      {manager->transition_duration, static_cast<uint32_t>(store.transition_duration)},
      {WM_MENU::menu_mode, store.menu_mode}, {default_menu_effects().flags, store.menu_effects.flags},
      {default_menu_effects().dragging_alpha, store.menu_effects.dragging_alpha},
      {default_list_box_effects().open_delay, static_cast<uint32_t>(store.list_box_effects.open_delay)},
      {default_dialog_effects().display_delay, static_cast<uint32_t>(store.dialog_effects.display_delay)},
      {WM_BUTTON::tooltip_style().bg_colour, store.tooltip_style.bg_colour}, {WM_BUTTON::tooltip_style_set, 1},
      {default_dialog_style().fg_colour, store.dialog_body_style.fg_colour},
      {default_dialog_title_style().fg_colour, store.dialog_title_style.fg_colour},
      {default_dialog_button_style().fg_colour, store.dialog_button_style.fg_colour},
      {WM_DIALOG::grey_behind, store.dialog_backdrop_1}, {WM_DIALOG::darken_behind, store.dialog_backdrop_2},
      {WM_DIALOG::live_drag, store.dialog_live_drag}, {WM_DIALOG::draggable_default, store.dialog_draggable}};
  for (size_t i = 0; i < std::size(handed); i++) EXPECT_EQ(handed[i].first, handed[i].second) << i;
}

int hook_calls = 0;

// A logo in the program's data is shown before the hook is called, once a
// run (this comes first so that a whole run of the file still sees it).
TEST_F(TemplateStore, StartShowsAPresentLogoOnceBeforeTheHook) {
  ASSERT_EQ(mkdir(scratch.file("data").c_str(), 0755) | mkdir(scratch.file("data/images").c_str(), 0755), 0);
  set_base_path(folder, "store_test");
  test_support::MEMORY_DEVICE png;
  ASSERT_TRUE(IMAGE(4, 4).save_png(&png));
  ASSERT_TRUE(test_support::write_file(scratch.file("data/images/logo.png"), png.text()));
  set_screen_size(64, 48);
  WM_PAGE_MANAGER manager(1, -1);
  WM_PTM_APP_INFO store;
  store.show_logo = store.loaded = 1;
  ASSERT_EQ(store.create_manager(&manager), &manager);
  hook_calls = 0;
  for (int wanted : {0, 2}) {  // the logo's page first; its end calls the hook; not again
    store.start([] { hook_calls++; });
    EXPECT_EQ(hook_calls, wanted);
    if (!wanted) WM_PTM_APP_INFO::logo_done();
  }
  clear_base_path();
}

TEST_F(TemplateStore, StartPlacesTheAreasBothSidesHaveAndCallsTheHook) {
  WM_PAGE_MANAGER manager(2, -1);
  for (size_t records : {1u, 3u}) {
    WM_PTM_APP_INFO store;
    for (size_t i = 0; i < records; i++) {
      WM_PTM_AREA_INFO* area = store.add_area();
      area->x = static_cast<uint16_t>(10 * (i + 1));
      area->y = 5;
      area->width = 100;
      area->height = 50;
    }
    store.loaded = 1;
    ASSERT_EQ(store.create_manager(&manager), &manager);
    for (int16_t a = 0; a < 2; a++) manager.area(a).root.set_position(0, 0);
    hook_calls = 0;
    store.start([] { hook_calls++; });
    EXPECT_EQ(hook_calls, 1) << records;
    for (int16_t a = 0; a < 2; a++) {
      bool placed = static_cast<size_t>(a) < records;
      EXPECT_EQ(manager.area(a).root.x, placed ? 10 * (a + 1) : 0) << records;
      if (placed) { EXPECT_EQ(manager.area(a).root.get_width(), 100) << records; }
    }
    EXPECT_EQ(WM_PTM_APP_INFO::logo_done(), 11);
    EXPECT_EQ(hook_calls, 2);
  }
  // The store that started is gone: only the hook is left to call.
  EXPECT_EQ(WM_PTM_APP_INFO::logo_done(), 11);

  // A logo asked for but missing ends at once, each time.
  WM_PTM_APP_INFO store;
  store.add_area();
  store.show_logo = 1;
  store.loaded = 1;
  ASSERT_EQ(store.create_manager(&manager), &manager);
  hook_calls = 0;
  for (int started = 1; started <= 2; started++) {
    store.start([] { hook_calls++; });
    EXPECT_EQ(hook_calls, started);
  }
}

// A store of one area whose page holds a grid template with two cell
// children and a plain child, and one dialog of one label.
void fill_built_store(WM_PTM_APP_INFO& store) {
  WM_PTM_PAGE_INFO* page = nullptr;
  ASSERT_TRUE(store.add_area() && store.areas[0]->add_page());
  page = store.areas[0]->get_page(0);
  ASSERT_TRUE(page->add_object(0x1000));
  WM_PTM_OBJECT_INFO* grid = page->get_object(0);
  grid->x = grid->y = 0;
  grid->width = 200;
  grid->height = 100;
  grid->column_count = 2;
  for (uint16_t c = 0; c < 3; c++) {
    ASSERT_TRUE(grid->add_child(c == 1 ? 2 : 16));
    grid->get_child(c)->set_text("cell");
    if (c < 2) {
      grid->get_child(c)->cell_row = 0;
      grid->get_child(c)->cell_column = c;
    }
  }
  WM_PTM_DIALOG_INFO* dialog = store.add_dialog();
  dialog->set_name("Ask");
  ASSERT_TRUE(dialog->add_object(16));
}

// Every live object the page manager's area and the overlays reach, grid
// cells included.
void each_live(WM_SCREEN_OBJECT* o, const std::function<void(WM_SCREEN_OBJECT*)>& visit) {
  visit(o);
  for (WM_SCREEN_OBJECT* child : o->children) each_live(child, visit);
  if (!(o->kind & 0x1000)) return;
  auto* grid = static_cast<WM_GRID*>(o);
  for (int32_t r = 0; r < grid->get_row_count(); r++)
    for (WM_SCREEN_OBJECT* cell : grid->get_row(r)->cells)
      if (cell) each_live(cell, visit);
}

std::set<const void*> all_templates(WM_PTM_APP_INFO* store) {
  std::set<const void*> found;
  if (!store) return found;
  auto add = [&found](WM_PTM_OBJECT_INFO& t) { found.insert(&t); };
  for (auto& area : store->areas)
    for (int32_t p = 0; p < area->get_page_count(); p++)
      for (int32_t o = 0; o < area->get_page(p)->get_object_count(); o++)
        each_template(*area->get_page(p)->get_object(o), add);
  for (auto& dialog : store->dialogs)
    for (int32_t o = 0; o < dialog->get_object_count(); o++) each_template(*dialog->get_object(o), add);
  return found;
}

// Every removal, also of one page, object or child template, makes the
// live objects built from what goes forget their templates (grid cells
// too); those built from what stays keep them and reach their fields. The
// objects stand wherever an application keeps them: on the page manager's
// area or on a root of its own with no manager, in a dialog on show, in one
// not shown yet and in one taken off the overlay list but kept.
TEST_F(TemplateStore, EveryRemovalDropsTheLiveTemplatePointersOfWhatGoes) {
  {
    WM_PTM_APP_INFO saved;
    ASSERT_TRUE(saved.save(folder, "empty.tpl", 0, 0));
  }
  using STORE = std::unique_ptr<WM_PTM_APP_INFO>;
  const struct {
    const char* name;
    std::function<void(STORE&)> remove;
  } removals[] = {
      {"clear", [](STORE& s) { s->clear(); }},
      {"load", [&](STORE& s) { EXPECT_TRUE(s->load(folder, "empty.tpl", nullptr)); }},
      {"destroy", [](STORE& s) { s.reset(); }},
      {"remove_area", [](STORE& s) { EXPECT_TRUE(s->remove_area(0)); }},
      {"set_area_count", [](STORE& s) { EXPECT_TRUE(s->set_area_count(1)); }},
      {"free_areas", [](STORE& s) { s->free_areas(); }},
      {"remove_dialog", [](STORE& s) { EXPECT_TRUE(s->remove_dialog(0)); }},
      {"set_dialog_count", [](STORE& s) { EXPECT_TRUE(s->set_dialog_count(2)); }},
      {"free_dialogs", [](STORE& s) { s->free_dialogs(); }},
      {"remove_page", [](STORE& s) { EXPECT_TRUE(s->areas[0]->remove_page(0)); }},
      {"remove_object", [](STORE& s) { EXPECT_TRUE(s->areas[0]->get_page(0)->remove_object(0)); }},
      {"remove_child", [](STORE& s) {
         EXPECT_TRUE(s->areas[0]->get_page(0)->get_object(0)->remove_child(1));
       }},
      {"nothing", [](STORE&) {}},
  };
  for (const bool with_manager : {true, false}) {
    for (const auto& r : removals) {
      SCOPED_TRACE(std::string(r.name) + (with_manager ? " on the manager's area" : " on an own root"));
      std::unique_ptr<WM_PAGE_MANAGER> manager;
      if (with_manager) manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
      WM_MANAGER own_root;
      WM_MANAGER& root = manager ? manager->area(0).root : own_root;
      auto store = std::make_unique<WM_PTM_APP_INFO>();
      fill_built_store(*store);
      WM_PTM_APP_INFO::build_objects(&root, nullptr, store->areas[0]->get_page(0)->get_objects());
      store->loaded = 1;
      root.add_overlay(store->create_dialog("Ask", nullptr, 0, 0, nullptr), false);
      std::unique_ptr<WM_DIALOG> not_shown(store->create_dialog("Ask", nullptr, 0, 0, nullptr));
      std::unique_ptr<WM_DIALOG> taken_off(store->create_dialog("Ask", nullptr, 0, 0, nullptr));
      root.add_overlay(taken_off.get(), false);
      root.remove_overlay(taken_off.get(), false, false);
      struct BUILT {
        WM_SCREEN_OBJECT* object;
        const WM_PTM_OBJECT_INFO* record;
        uint32_t type;
      };
      std::vector<BUILT> built;
      auto collect = [&built](WM_SCREEN_OBJECT* o) {
        const auto* record = static_cast<const WM_PTM_OBJECT_INFO*>(o->template_record);
        if (record) built.push_back({o, record, record->type});
      };
      each_live(&root, collect);
      for (WM_SCREEN_OBJECT* o : WM_SCREEN_OBJECT::overlays()) each_live(o, collect);
      each_live(not_shown.get(), collect);
      each_live(taken_off.get(), collect);
      // The grid, its two cells and its child, and each dialog's label.
      ASSERT_EQ(built.size(), 7u);
      r.remove(store);
      const std::set<const void*> staying = all_templates(store.get());
      for (const BUILT& b : built) {
        EXPECT_EQ(b.object->template_record, staying.count(b.record) ? b.record : nullptr);
        const auto* record = static_cast<const WM_PTM_OBJECT_INFO*>(b.object->template_record);
        if (record) { EXPECT_EQ(record->type, b.type); }
      }
      // The objects go before what is left of the store, which must not
      // reach them then.
      root.destroy_children(true, 0, true);
      not_shown.reset();
      taken_off.reset();
    }
  }
}

TEST_F(TemplateStore, SaveWithoutAManagerAddsAnEmptyPage) {
  WM_PTM_APP_INFO store;
  for (const char* name : {"b", "a"}) {
    store.add_font()->set_name(name);
    store.add_colour()->set_name(name);
    store.add_image()->set_name(name);
    store.add_constant()->set_name(name);
  }
  ASSERT_TRUE(store.save(folder, "first.tpl", 0, 0));
  ASSERT_EQ(store.areas.size(), 1u);
  ASSERT_EQ(store.areas[0]->get_page_count(), 1);
  EXPECT_EQ(store.areas[0]->get_page(0)->get_object_count(), 0);
  // An area out of range saves into area 0.
  ASSERT_TRUE(store.save(folder, "second.tpl", 0xFFFF, 0));
  EXPECT_EQ(store.areas[0]->get_page_count(), 2);
  // Named records stored out of order come back sorted by name.
  ASSERT_TRUE(store.load(folder, "second.tpl", nullptr));
  EXPECT_EQ((std::vector<std::string>{store.fonts[0]->name, store.colours[0]->name, store.images[0]->name,
                                      store.constants[0]->name}),
            std::vector<std::string>(4, "a"));
}

TEST_F(TemplateStore, SaveCapturesTheObjectsOfTheCurrentArea) {
  WM_PAGE_MANAGER manager(1, -1);
  WM_STYLE_SET style;
  for (const char* text : {"one", "two"})
    manager.current_root()->add_child(new WM_SCRIPT(0, 0, 9, 9, &style, text), false);
  WM_PTM_APP_INFO store;
  store.add_area();
  ASSERT_TRUE(store.save(folder, "captured.tpl", 0, 0));
  ASSERT_EQ(store.areas[0]->get_page_count(), 1);
  WM_PTM_PAGE_INFO* page = store.areas[0]->get_page(0);
  ASSERT_EQ(page->get_object_count(), 2);
  EXPECT_EQ(page->get_object(1)->type, 16u);
  // The file holds the captured page; the load reports its progress.
  static int steps = 0;
  WM_PTM_APP_INFO::set_progress_hook([](uintptr_t word) { steps += static_cast<int>(word); }, 1);
  ASSERT_TRUE(store.load(folder, "captured.tpl", nullptr));
  WM_PTM_APP_INFO::set_progress_hook(nullptr, 0);
  EXPECT_GT(steps, 0);
  EXPECT_EQ(store.areas[0]->get_page(0)->get_object_count(), 2);
  manager.current_root()->destroy_children(false, 0, true);
}

}  // namespace
