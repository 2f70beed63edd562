// A toolkit application for exercising the page manager as a real process.
// app_init builds the one page manager (one area, key buffer left alone) on
// a headless screen, registers a page of selectable boxes and opens one
// overlay over it; app_frame is the application frame of the installer: the
// page manager's frame, then presentation, ending on -1. Every page
// callback, each turn's page action, the overlay's end and shutdown are
// reported on standard output so the caller can check their order.
//
//   --action=N     the page's frame callback returns N in turn K; a page
//                  switch (10 to 32) registers page 2 first
//   --at=K         that turn (default 2; turn 1 shows the first page)
//   --frames=F     app_frame answers false after turn F (default K + 1)
//   --duration=MS  length of a page transition (default 700)
//
//   --button       instead: a real window titled "Button page" (320 x 240)
//                  whose page is one button at (100, 80)-(219, 139); it
//                  reports each callback and each non-zero page action, and
//                  the release's callback result 42 ends the run (so does
//                  a 20 s limit, reported as "timed out")
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"
#include "screen.h"
#include "window.h"
#include "timing.h"
#include "wm_button.h"
#include "wm_page_manager.h"
#include "wm_test_objects.h"

namespace {

WM_PAGE_MANAGER* manager = nullptr;
int32_t action = 0;
int action_turn = 2;
int frame_limit = -1;
int turn = 0;

// An overlay that reports when it is deleted.
class OVERLAY : public wm_test::BOX {
public:
  OVERLAY() : BOX(200, 150, 60, 40, 0xFFFFFFFF) {}
  ~OVERLAY() override { printf("overlay gone\n"); }
};

unsigned long shown_word() {
  return static_cast<unsigned long>(manager->get_page_word(manager->area(0).current_slot));
}

void page_leave() { printf("leave %lu\n", shown_word()); }
void page_destroy(uintptr_t* word) { printf("destroy %lu\n", static_cast<unsigned long>(*word)); }
int32_t page_frame();

// Three selectable boxes and one that is not.
void page_create(WM_PAGE_MANAGER* m) {
  printf("create %lu\n", shown_word());
  for (int i = 0; i < 4; ++i) {
    auto* box = new wm_test::BOX(static_cast<int16_t>(10 + 40 * i), 10, 30, 30, 0xFF00FF00);
    box->selectable = i < 3;
    m->current_root()->add_child(box, false);
  }
}

void register_page(uintptr_t word) {
  manager->set_page(0, page_create, page_destroy, word, page_frame, 0, 0, page_leave);
}

int32_t page_frame() {
  if (turn != action_turn) return 0;
  if (action >= page_action::SWITCH_PAGE && action <= page_action::LAST_TRANSITION) register_page(2);
  printf("frame callback -> %d\n", action);
  return action;
}

bool button_mode = false;
uint32_t started_ms = 0;
constexpr int32_t kReleaseAction = 42;

int32_t button_callback(WM_SCREEN_OBJECT* object, uintptr_t, uintptr_t) {
  const auto* b = static_cast<WM_BUTTON*>(object);
  printf("callback %s\n", b->release_event ? "release" : "press");
  return b->release_event ? kReleaseAction : 0;
}

void button_page_create(WM_PAGE_MANAGER* m) {
  WM_STYLE_SET style;
  style.drawing_flags = SSF_DRAW_BORDER;
  m->current_root()->add_child(
      new WM_BUTTON(100, 80, 219, 139, &style, "Click", nullptr, button_callback, 0, 0, 3), false);
}

bool button_init() {
  WINDOW_PARAMS p;
  p.title = "Button page";
  p.width = 320;
  p.height = 240;
  if (!open_window(&p, 0)) {
    printf("no window\n");
    return false;
  }
  set_idle_wait(5);
  started_ms = get_time_ms();
  manager->set_page(0, button_page_create, nullptr, 1, nullptr, 0, 0, nullptr);
  return true;
}

bool button_frame() {
  const int32_t result = manager->frame(true);
  if (result != 0) printf("page action %d\n", result);
  const bool timed_out = get_time_ms() - started_ms > 20000;
  if (timed_out) printf("timed out\n");
  fflush(stdout);
  return result != kReleaseAction && !timed_out;
}

}  // namespace

bool app_init(int argc, char** argv) {
  int duration = -1;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!strncmp(a, "--action=", 9)) action = atoi(a + 9);
    else if (!strncmp(a, "--at=", 5)) action_turn = atoi(a + 5);
    else if (!strncmp(a, "--frames=", 9)) frame_limit = atoi(a + 9);
    else if (!strncmp(a, "--duration=", 11)) duration = atoi(a + 11);
    else if (!strcmp(a, "--button")) button_mode = true;
  }
  if (frame_limit < 0) frame_limit = action_turn + 1;
  // Built on first use and taken down by the static destructors after
  // shutdown, as the installer's is.
  static WM_PAGE_MANAGER page_manager(1, -1);
  manager = &page_manager;
  if (duration >= 0) manager->transition_duration = static_cast<uint32_t>(duration);
  if (button_mode) return button_init();
  printf("init exit hook %s\n", get_exit_hook() ? "set" : "unset");
  set_screen_size(320, 240);
  WM_PAGE_MANAGER::close_all_dialogs_function = [](bool) { printf("close dialogs\n"); };
  register_page(1);
  manager->area(0).root.add_overlay(new OVERLAY, false);
  fflush(stdout);
  return true;
}

bool app_frame() {
  if (button_mode) return button_frame();
  ++turn;
  const int32_t result = manager->frame(false);
  swap_screens(ALL_SCREENS);
  printf("turn %d -> %d\n", turn, result);
  fflush(stdout);
  return result != page_action::END && turn < frame_limit;
}

void app_shutdown() {
  if (button_mode) return;
  printf("shutdown objects %d overlays %zu\n", manager->area(0).root.child_count(),
         WM_SCREEN_OBJECT::overlays().size());
  fflush(stdout);
}
