// A skinned application described by a template stream, as a real process:
// app_init loads the stream, hands the store to the toolkit (page manager
// and look), opens the store's window and starts its areas, whose pages are
// built from their first page template. What the toolkit received, each
// area's rectangle and what each page holds are reported on standard output;
// the build callback reports each control id and each click.
//
//   --app=PATH     folder that "$APP" names; the stream and its pictures
//   --stream=NAME  the stream file in it
//
// A click's callback ends the run (so does a 20 s limit, reported as
// "timed out").
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "application_info.h"
#include "default_dialog_styles.h"
#include "folder.h"
#include "platform.h"
#include "screen.h"
#include "timing.h"
#include "window.h"
#include "wm_button.h"
#include "wm_page_manager.h"
#include "wm_ptm_app_info.h"

namespace {

WM_PTM_APP_INFO* store = nullptr;
WM_PAGE_MANAGER* manager = nullptr;
uint32_t started_ms = 0;
bool clicked = false;
int16_t pages_reported = 0;

int32_t template_callback(WM_SCREEN_OBJECT* object, uintptr_t word_1, uintptr_t word_2) {
  // A click comes while the frame processes input; builds come from the
  // page's create callback, before the first frame has ended.
  if (object->kind & wm_kind::BUTTON && static_cast<WM_BUTTON*>(object)->firing_event) {
    printf("click %" PRIuPTR " %" PRIuPTR "\n", word_1, word_2);
    clicked = true;
  } else {
    printf("build %" PRIuPTR "\n", word_1);
  }
  return 0;
}

void create_page(WM_PAGE_MANAGER* m) {
  const int16_t area = m->get_current_area();
  const uint32_t id = store->areas[static_cast<size_t>(area)]->get_page(0)->id;
  const bool built = store->build_page(id, template_callback, 0xFFFFFFFFu);
  printf("area %d page %s, %d objects\n", area, built ? "built" : "refused",
         m->area(area).root.child_count());
}

void start_pages() {
  for (int16_t i = 0; i < manager->get_area_count(); ++i) {
    WM_MANAGER& root = manager->area(i).root;
    printf("area %d at %d,%d size %dx%d\n", i, root.x, root.y, root.width, root.height);
    manager->set_page(i, create_page, nullptr, 0, nullptr, 0, 0, nullptr);
  }
}

void report_look() {
  printf("title %s\n", get_app_title());
  printf("border style %" PRIu32 " shadow %08" PRIX32 "\n", border_theme.default_style,
         border_theme.shadow);
  printf("tooltip %d %08" PRIX32 "\n", WM_BUTTON::tooltip_style_set,
         WM_BUTTON::tooltip_style().bg_colour);
  printf("dialog body %08" PRIX32 "\n", default_dialog_style().bg_colour);
}

}  // namespace

bool app_init(int argc, char** argv) {
  const char* app_path = nullptr;
  const char* stream = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!strncmp(argv[i], "--app=", 6)) app_path = argv[i] + 6;
    else if (!strncmp(argv[i], "--stream=", 9)) stream = argv[i] + 9;
  }
  FOLDER app;
  if (!app_path || !stream || !app.set_absolute(app_path)) {
    printf("usage: --app=PATH --stream=NAME\n");
    return false;
  }
  set_base_path(app, "wm_template_app");
  // Lives until the static destructors, as the installer's globals do.
  static WM_PTM_APP_INFO the_store;
  store = &the_store;
  if (!store->load(app, stream, nullptr)) {
    printf("stream not loaded\n");
    return false;
  }
  printf("loaded %zu areas\n", store->areas.size());
  manager = store->create_manager(nullptr);
  if (!manager || !store->open_screen()) {
    printf("no manager or window\n");
    return false;
  }
  printf("screen %dx%d, %d areas\n", get_screen_width(0), get_screen_height(0),
         manager->get_area_count());
  report_look();
  store->start(start_pages);
  set_idle_wait(5);
  started_ms = get_time_ms();
  fflush(stdout);
  return true;
}

bool app_frame() {
  manager->frame(true);
  if (pages_reported == 0 && manager->area(0).root.child_count() > 0) {
    pages_reported = 1;
    printf("shown\n");
  }
  const bool timed_out = get_time_ms() - started_ms > 20000;
  if (timed_out) printf("timed out\n");
  fflush(stdout);
  return !clicked && !timed_out;
}

void app_shutdown() {}
