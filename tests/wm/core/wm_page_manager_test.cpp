#include "wm_page_manager.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "input.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "timing.h"
#include "platform.h"
#include "wm_button.h"
#include "wm_dialog.h"
#include "wm_grid.h"
#include "wm_script.h"
#include "wm_test_objects.h"

using namespace wm_test;

namespace {

constexpr COLOUR AREA_COLOUR[2] = {0xFF00FF00, 0xFF0000FF};

struct PAGE_LOG {
  int created = 0;
  int built_busy = 0;  // of those, built under the busy pointer
  int destroyed = 0;
  int left = 0;
  int frames = 0;
  int32_t next_result = 0;  // returned once by the page's frame callback
};
PAGE_LOG logs[2];
std::vector<uintptr_t> destroyed_words;
int objects_at_destroy = 0;  // a page's objects still there when its record went
int dialogs_closed = 0;

// Three selectable boxes per page: area 0 on row 10, area 1 on row 70.
template <int AREA>
void create_boxes(WM_PAGE_MANAGER* manager) {
  ++logs[AREA].created;
  logs[AREA].built_busy += manager->get_cursor_shape() == WM_PAGE_MANAGER::BUSY_CURSOR;
  for (int i = 0; i < 3; ++i) {
    auto* box = new BOX(static_cast<int16_t>(10 + 30 * i), static_cast<int16_t>(10 + 60 * AREA), 20,
                        20, AREA_COLOUR[AREA]);
    box->selectable = 1;
    manager->current_root()->add_child(box, false);
  }
}
template <int AREA>
void destroy_page(uintptr_t* word) {
  ++logs[AREA].destroyed;
  destroyed_words.push_back(*word);
  objects_at_destroy += WM_PAGE_MANAGER::get()->current_root()->child_count();
}
template <int AREA>
int32_t page_frame() {
  ++logs[AREA].frames;
  const int32_t result = logs[AREA].next_result;
  logs[AREA].next_result = 0;
  return result;
}
template <int AREA>
void leave_page() {
  ++logs[AREA].left;
}

class PageManager : public ToolkitTest {
protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    for (PAGE_LOG& log : logs) log = PAGE_LOG{};
    destroyed_words.clear();
    objects_at_destroy = 0;
    dialogs_closed = 0;
    WM_PAGE_MANAGER::close_all_dialogs_function = [](bool) { ++dialogs_closed; };
  }
  void TearDown() override {
    manager.reset();
    WM_PAGE_MANAGER::close_all_dialogs_function = nullptr;
    ToolkitTest::TearDown();
  }
  // Both areas get their box pages, shown by the first frame.
  void start(uint16_t areas) {
    manager = std::make_unique<WM_PAGE_MANAGER>(areas, -1);
    manager->set_page(0, create_boxes<0>, destroy_page<0>, 100, page_frame<0>, 0, 1, leave_page<0>);
    if (areas > 1) {
      manager->set_page(1, create_boxes<1>, destroy_page<1>, 200, page_frame<1>, 0, 2, leave_page<1>);
    }
    ASSERT_EQ(manager->frame(false), page_action::SWITCH_PAGE);
  }
  // A frame in which the page shown, logged in logs[log], asks to switch; the frame's action.
  int32_t switch_frame(int log = 0) {
    logs[log].next_result = page_action::SWITCH_PAGE;
    return manager->frame(false);
  }
  BOX* box(int area, int i) {
    return static_cast<BOX*>(manager->area(static_cast<int16_t>(area)).root.get_child(static_cast<int16_t>(i)));
  }

  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

TEST_F(PageManager, FirstFrameShowsTheRegisteredPages) {
  start(2);
  EXPECT_EQ(std::pair(logs[0].created, logs[1].created), std::pair(1, 1));
  EXPECT_EQ(std::pair(pixel(15, 15), pixel(75, 75)), std::pair(AREA_COLOUR[0], AREA_COLOUR[1]));
  // Area 1 is switched first (the areas are walked from the last), and its
  // page takes the focus that nothing held.
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, box(1, 0));
  EXPECT_EQ(box(1, 0)->depth, 1);
  EXPECT_EQ(manager->get_page_word(0, 1), 200u);
  EXPECT_EQ(manager->get_page_word(0, 2), 0u);  // no such area
  input.advance_ms(1234);
  EXPECT_EQ(manager->frame(false), 0);
  EXPECT_EQ(WM_SCREEN_OBJECT::frame_clock, static_cast<uint32_t>(input.now_ms()));
  EXPECT_EQ(std::pair(logs[0].created, logs[0].frames), std::pair(1, 1));
  EXPECT_EQ(manager->find_object_at(75, 75), box(1, 2));
  // Where only roots are hit, the first root asked (the last area) answers.
  EXPECT_EQ(manager->find_object_at(190, 140), &manager->area(1).root);
  EXPECT_EQ(manager->find_object_at(-5, 10), nullptr);
  // A switch walks every area from the one given (from the current one for
  // any other number); the last one walked is current after it.
  for (const auto& [from, current] : {std::pair<int16_t, int16_t>{0, 1}, {2, 0}, {-1, 1}, {1, 0}}) {
    manager->switch_pages(from);
    EXPECT_EQ(manager->get_current_area(), current) << from;
  }
}

// Each action comes from area 1's frame callback while area 1 owns an open
// overlay, so area 0's callback must not run in that frame.
TEST_F(PageManager, PageActionsThroughTheFrame) {
  struct CASE {
    int32_t action;
    int32_t returned;
    int created[2];
    int left[2];
    size_t overlays;
    int closed;
  };
  const CASE cases[] = {
      {0, 0, {0, 0}, {0, 0}, 1, 0},
      {page_action::HANDLED, 1, {0, 0}, {0, 0}, 1, 0},
      {page_action::CLOSE_DIALOGS, 3, {0, 0}, {0, 0}, 1, 1},
      {page_action::REBUILD_PAGE, 0, {0, 1}, {0, 1}, 1, 0},
      {page_action::RELOAD_PAGE, 0, {0, 1}, {0, 1}, 0, 0},
      {page_action::REBUILD_ALL, 0, {1, 1}, {1, 1}, 1, 0},
      {page_action::RELOAD_ALL, 0, {1, 1}, {1, 1}, 0, 0},
      {page_action::DELETE_OVERLAYS, 0, {0, 0}, {0, 0}, 0, 0},
      {page_action::END, -1, {0, 0}, {0, 0}, 1, 0},
  };
  for (const CASE& c : cases) {
    SetUp();
    start(2);
    manager->area(1).root.add_overlay(new BOX(100, 100, 30, 30, 0xFFFFFFFF), false);
    for (PAGE_LOG& log : logs) log = PAGE_LOG{};
    logs[1].next_result = c.action;
    EXPECT_EQ(manager->frame(false), c.returned) << c.action;
    for (int a = 0; a < 2; ++a) {
      EXPECT_EQ(std::pair(logs[a].created, logs[a].built_busy), std::pair(c.created[a], c.created[a]))
          << c.action << " area " << a;
      EXPECT_EQ(logs[a].left, c.left[a]) << c.action << " area " << a;
      EXPECT_EQ(logs[a].destroyed, 0) << c.action;
      EXPECT_EQ(manager->area(a).root.child_count(), 3) << c.action << " area " << a;
    }
    EXPECT_EQ(logs[0].frames, 0) << c.action;
    EXPECT_EQ(logs[1].frames, 1) << c.action;
    EXPECT_EQ(WM_SCREEN_OBJECT::overlays().size(), c.overlays) << c.action;
    EXPECT_EQ(dialogs_closed, c.closed) << c.action;
    EXPECT_EQ(manager->get_cursor_shape(), 0) << c.action;
    // A frame whose processing never reached the focus object takes the
    // focus away (nothing under the modal overlay can have it), unless the
    // frame's action is 1, "handled".
    if (c.action == 0 || c.action == page_action::HANDLED) {
      EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, c.action ? box(1, 0) : nullptr) << c.action;
    }
    manager->area(0).root.destroy_children(true, 0, false);
    TearDown();
  }
  // What an overlay answers from its tick is done to area 0's page.
  struct TICKING : BOX {
    using BOX::BOX;
    int32_t update(bool) override { return std::exchange(action, 0); }
    int32_t action = page_action::REBUILD_PAGE;
  };
  SetUp();
  start(2);
  manager->area(0).root.add_overlay(new TICKING(100, 100, 30, 30, 0xFFFFFFFF), false);
  EXPECT_EQ(manager->frame(false), 0);
  EXPECT_EQ(logs[0].created * 10 + logs[1].created, 21);
  manager->area(0).root.destroy_children(true, 0, false);
}

TEST_F(PageManager, SwitchReplacesOrKeepsThePage) {
  start(1);
  // Without keep the old record is destroyed in place.
  manager->set_page(0, create_boxes<1>, destroy_page<1>, 300, page_frame<1>, 1, 7, leave_page<1>);
  EXPECT_EQ(switch_frame(), page_action::SWITCH_PAGE);
  EXPECT_EQ(logs[0].left, 1);
  EXPECT_EQ(destroyed_words, std::vector<uintptr_t>{100});
  EXPECT_EQ(logs[1].created, 1);
  EXPECT_EQ(manager->area(0).root.child_count(), 3);
  EXPECT_EQ(pixel(15, 75), AREA_COLOUR[1]);
  // A kept page stays in the history; a transition number is a switch too.
  manager->set_page(0, create_boxes<0>, destroy_page<0>, 400, page_frame<0>, 0, 8, leave_page<0>);
  EXPECT_FALSE(manager->is_page_word_in_use(0));  // every record in use holds a word
  EXPECT_EQ(switch_frame(1), page_action::SWITCH_PAGE);
  EXPECT_EQ(destroyed_words.size(), 1u);
  EXPECT_TRUE(manager->can_go_back());
  EXPECT_FALSE(manager->can_go_forward());
  EXPECT_TRUE(manager->is_page_word_in_use(300));
  manager->history_back();
  switch_frame();
  EXPECT_EQ(destroyed_words, (std::vector<uintptr_t>{100, 400}));
  EXPECT_EQ(manager->get_page_word(0), 300u);
  EXPECT_FALSE(manager->is_page_word_in_use(400));
  // Pop-ups and dialogs keep within the viewport: the screen to its last pixel.
  int16_t vx1 = -1, vy1 = -1, vx2 = 0, vy2 = 0;
  manager->get_viewport(&vx1, &vy1, &vx2, &vy2);
  EXPECT_EQ((RECT{vx1, vy1, vx2, vy2}), (RECT{0, 0, 199, 149}));
  // A kept page asked for again stays one slot; with another frame
  // callback it is another page and the kept one goes into the history.
  for (const bool same : {true, false}) {
    manager.reset();
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    for (PAGE_FRAME f : {page_frame<0>, same ? page_frame<0> : page_frame<1>}) {
      manager->set_page(0, create_boxes<0>, destroy_page<0>, 500, f, 1, 9, nullptr);
      manager->switch_pages(0);
    }
    EXPECT_EQ(manager->area(0).current_slot, same ? 0 : 1) << same;
  }
  // A page's objects are gone before its data is released, on a switch and at the end.
  manager.reset();
  EXPECT_EQ(destroyed_words.size(), 5u);
  EXPECT_EQ(objects_at_destroy, 0);
}

// Every transition runs to its end on a clock that moves 16 ms per reading
// and leaves the new page as a plain switch paints it.
uint64_t running_ms = 0;
uint64_t running_clock() { return running_ms += 16; }

TEST_F(PageManager, TransitionsEndOnTheNewPage) {
  IMAGE plain;
  for (int32_t action = page_action::SWITCH_PAGE; action <= page_action::LAST_TRANSITION; ++action) {
    SetUp();
    start(1);
    // The still background under every page, so that no old pixel lingers.
    const COLOUR background = 0xFF303030;
    manager->back_buffers[0].create(200, 150);
    manager->back_buffers[0].fill_rect(0, 0, 199, 149, &background, false);
    manager->set_page(0, create_boxes<1>, destroy_page<1>, 300, page_frame<1>, 0, 7, leave_page<1>);
    logs[0].next_result = action;
    set_clock(running_clock);
    const uint64_t started = running_ms;
    EXPECT_EQ(manager->frame(false), action);
    if (action > page_action::SWITCH_PAGE) {
      EXPECT_GE(running_ms - started, 700u) << action;
    }
    set_clock(nullptr);
    EXPECT_EQ(logs[1].created, 1) << action;
    EXPECT_EQ(logs[0].destroyed, 1) << action;
    EXPECT_EQ(manager->get_cursor_shape(), 0) << action;
    if (action == page_action::SWITCH_PAGE) {
      EXPECT_EQ(pixel(15, 75), AREA_COLOUR[1]);
      EXPECT_EQ(pixel(15, 15), background);
      plain.copy(*get_screen_image());
    } else {
      EXPECT_TRUE(test_support::pictures_match("transition_" + std::to_string(action), *get_screen_image(), plain));
    }
    TearDown();
  }
}

TEST_F(PageManager, FirstPageMayFadeIn) {
  // An area without a page keeps what was put on it while the other's first page comes.
  manager = std::make_unique<WM_PAGE_MANAGER>(2, -1);
  manager->area(1).root.add_child(new BOX(100, 100, 20, 20, AREA_COLOUR[1]), false);
  manager->first_page_fades_in = 1;
  manager->transition_duration = 0;
  manager->set_page(0, create_boxes<0>, nullptr, 0, nullptr, 0, 0, nullptr);
  EXPECT_EQ(manager->frame(false), page_action::FADE_IN_FROM_BLACK);
  EXPECT_EQ(std::pair(pixel(15, 15), pixel(105, 105)), std::pair(AREA_COLOUR[0], AREA_COLOUR[1]));
}

TEST_F(PageManager, HistoryHoldsTwentyPagesAndSkipsSameStamps) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  for (uintptr_t word = 1; word <= 21; ++word) {
    const uint32_t stamp = word >= 20 ? 100 : static_cast<uint32_t>(word);
    manager->set_page(0, create_boxes<0>, destroy_page<0>, word, page_frame<0>, 1, stamp, nullptr);
    switch_frame();
  }
  EXPECT_EQ(manager->area(0).slot_count, 20);
  EXPECT_EQ(destroyed_words, std::vector<uintptr_t>{1});
  EXPECT_EQ((std::vector<uintptr_t>{manager->get_page_word(-1), manager->get_page_word(0), manager->get_page_word(19),
                                    manager->get_page_word(20)}),
            (std::vector<uintptr_t>{0, 2, 21, 0}));
  manager->history_back();  // page 20 carries the same stamp: page 19
  switch_frame();
  EXPECT_EQ(manager->area(0).current_slot, 17);
  EXPECT_TRUE(manager->can_go_forward());
  manager->remove_history_page(0);
  EXPECT_EQ(manager->area(0).current_slot, 16);
  EXPECT_EQ(destroyed_words.back(), 2u);
  manager->clear_history();
  EXPECT_EQ(manager->area(0).slot_count, 1);
  EXPECT_EQ(manager->get_page_word(0), 19u);
  EXPECT_EQ(destroyed_words.size(), 21u - 1u);
  // Reshowing the current slot builds it again.
  const int before = logs[0].created;
  manager->select_page(0);
  switch_frame();
  EXPECT_EQ(logs[0].created, before + 1);
}

// The page word is an object that the page owns: registering the same word
// again must not free what the new page goes on using.
int* live_word = nullptr;
void create_reading(WM_PAGE_MANAGER* manager) {
  const uintptr_t word = manager->get_page_word(manager->area(0).current_slot);
  logs[0].created += *reinterpret_cast<int*>(word);
}
void destroy_owned(uintptr_t* word) {
  ++logs[0].destroyed;
  delete reinterpret_cast<int*>(*word);
  *word = 0;
}

TEST_F(PageManager, RegisteringTheSameWordKeepsItsData) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  live_word = new int(1);
  const uintptr_t word = reinterpret_cast<uintptr_t>(live_word);
  auto again = [&] {
    manager->set_page(0, create_reading, destroy_owned, word, page_frame<0>, 0, 5, nullptr);
  };
  again();
  manager->frame(false);
  again();
  again();  // the pending word is also the word on show
  switch_frame();
  EXPECT_EQ(logs[0].created, 2);
  EXPECT_EQ(logs[0].destroyed, 0);
  manager.reset();
  EXPECT_EQ(logs[0].destroyed, 1);

  // Kept pages: the word comes back while it is still in the history, so
  // two records hold it. The program's end (the exit hook, then the
  // destructor) destroys each word once.
  for (const bool exit_hook_first : {true, false}) {
    logs[0] = PAGE_LOG{};
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    const uintptr_t kept = reinterpret_cast<uintptr_t>(new int(1));
    const uintptr_t other = reinterpret_cast<uintptr_t>(new int(1));
    for (const uintptr_t w : {kept, other, kept}) {
      manager->set_page(0, create_reading, destroy_owned, w, page_frame<0>, 1, 0, nullptr);
      switch_frame();
    }
    EXPECT_EQ(manager->area(0).slot_count, 3);
    EXPECT_EQ(logs[0].destroyed, 0);
    if (exit_hook_first) get_exit_hook()();
    manager.reset();
    EXPECT_EQ(logs[0].destroyed, 2) << exit_hook_first;
  }
}

// Each word is an int that its pages own, holding the word's number: a
// page on show reads it, the destroy callback frees it. However many
// records hold a word, it is destroyed once, when the last of them goes.
std::map<uintptr_t, int> word_numbers;
std::map<int, int> destroy_counts;
std::vector<int> destroyed_now;
void create_owned_reading(WM_PAGE_MANAGER* manager) {
  const uintptr_t word = manager->get_page_word(manager->area(0).current_slot);
  EXPECT_EQ(*reinterpret_cast<int*>(word), word_numbers[word]);
}
void destroy_counted(uintptr_t* word) {
  const int number = word_numbers[*word];
  destroyed_now.push_back(number);
  ++destroy_counts[number];
  delete reinterpret_cast<int*>(*word);
}

TEST_F(PageManager, AWordIsDestroyedOnceAfterItsLastRecord) {
  // KEEP and SHOW register a page (kept or not) and switch to it; RANGE
  // does KEEP for each word from `n` to `last`; PEND only registers; BACK
  // and SELECT choose a history slot, BACK also switches; RESHOW builds the
  // current slot again; END destroys the manager.
  enum OP { KEEP, SHOW, RANGE, PEND, BACK, SELECT, SWITCH, RESHOW, REMOVE, CLEAR, END };
  struct STEP {
    OP op;
    int n;
    std::vector<int> destroyed = {};  // the words this step destroys
    int shown = 0;                    // the word on show after it; 0: not checked
    int last = 0;                     // RANGE's last word
  };
  const struct {
    const char* name;
    std::vector<STEP> steps;
  } rows[] = {
      {"history overflow while a later record holds the oldest word",
       {{KEEP, 1, {}, 1}, {KEEP, 2, {}, 2}, {KEEP, 1, {}, 1}, {RANGE, 3, {}, 19, 19},
        {KEEP, 20, {}, 20}, {KEEP, 21, {2}, 21}, {KEEP, 22, {1}, 22},
        {END, 0, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22}}}},
      {"forward history dropped while a kept record holds the word",
       {{KEEP, 1}, {KEEP, 2}, {KEEP, 1}, {BACK, 0, {}, 2}, {KEEP, 3, {}, 3}, {BACK, 0, {}, 2},
        {BACK, 0, {}, 1}, {SHOW, 4, {2, 3}, 4}, {END, 0, {1, 4}}}},
      {"leaving an unkept page whose word the target holds",
       {{KEEP, 1}, {SHOW, 1, {}, 1}, {BACK, 0, {}, 1}, {RESHOW, 0, {}, 1}, {END, 0, {1}}}},
      {"removing a record whose word the current page holds",
       {{KEEP, 1}, {KEEP, 2}, {KEEP, 1}, {REMOVE, 0, {}, 1}, {RESHOW, 0, {}, 1},
        {REMOVE, 0, {2}, 1}, {END, 0, {1}}}},
      {"clearing records whose word the current page holds",
       {{KEEP, 1}, {KEEP, 2}, {KEEP, 1}, {CLEAR, 0, {2}, 1}, {RESHOW, 0, {}, 1}, {END, 0, {1}}}},
      {"a pending page replaced while the history holds its word",
       {{KEEP, 1}, {KEEP, 2}, {PEND, 1}, {PEND, 3}, {SWITCH, 0, {}, 3}, {BACK, 0, {3}, 2},
        {BACK, 0, {}, 1}, {END, 0, {1, 2}}}},
      {"a new page after going back in a full history",
       {{RANGE, 1, {}, 20, 20}, {BACK, 0, {}, 19}, {KEEP, 21, {20}, 21},
        {END, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21}}}},
      // A word of 0 owns nothing: a pending page of it goes unannounced.
      {"a pending page of word 0 replaced",
       {{KEEP, 1}, {PEND, 0}, {PEND, 2}, {SWITCH, 0, {}, 2}, {END, 0, {1, 2}}}},
      {"a pending page given up for a history slot",
       {{KEEP, 1}, {KEEP, 2}, {PEND, 3}, {BACK, 0, {3}, 1}, {PEND, 2}, {SELECT, 1},
        {SWITCH, 0, {}, 2}, {PEND, 4}, {PEND, 5, {4}}, {END, 0, {1, 2, 5}}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    word_numbers.clear();
    destroy_counts.clear();
    // Every word exists before any goes, so no two share an address.
    std::set<int> numbers;
    for (const STEP& step : row.steps) {
      if (step.op == RANGE) {
        for (int n = step.n; n <= step.last; ++n) numbers.insert(n);
      } else if ((step.op == KEEP || step.op == SHOW || step.op == PEND) && step.n != 0) {
        numbers.insert(step.n);
      }
    }
    std::map<int, uintptr_t> words;  // word 0 stays 0
    for (const int n : numbers) {
      words[n] = reinterpret_cast<uintptr_t>(new int(n));
      word_numbers[words[n]] = n;
    }
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    uint32_t stamp = 0;
    auto put = [&](int n, uint8_t keep) {
      manager->set_page(0, create_owned_reading, destroy_counted, words[n], nullptr, keep, ++stamp, nullptr);
    };
    for (size_t i = 0; i < row.steps.size(); ++i) {
      const STEP& step = row.steps[i];
      SCOPED_TRACE(i);
      destroyed_now.clear();
      switch (step.op) {
        case KEEP:
        case SHOW: put(step.n, step.op == KEEP); manager->switch_pages(0); break;
        case RANGE:
          for (int n = step.n; n <= step.last; ++n) {
            put(n, 1);
            manager->switch_pages(0);
          }
          break;
        case PEND: put(step.n, 0); break;
        case BACK: manager->history_back(); manager->switch_pages(0); break;
        case SELECT: manager->select_page(step.n); break;
        case SWITCH: manager->switch_pages(0); break;
        case RESHOW:
          manager->select_page(manager->area(0).current_slot);
          manager->switch_pages(0);
          break;
        case REMOVE: manager->remove_history_page(step.n); break;
        case CLEAR: manager->clear_history(); break;
        case END: manager.reset(); break;
      }
      std::sort(destroyed_now.begin(), destroyed_now.end());
      EXPECT_EQ(destroyed_now, step.destroyed);
      if (step.shown) {
        EXPECT_EQ(word_numbers[manager->get_page_word(manager->area(0).current_slot)], step.shown);
      }
    }
    for (const int n : numbers) EXPECT_EQ(destroy_counts[n], 1) << n;
  }
}

// A page of a create callback alone: nothing else is ever called.
TEST_F(PageManager, UnsetCallbacksAreSkipped) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  auto only_create = [](WM_PAGE_MANAGER* m) {
    auto* b = new BOX(0, 0, 50, 50, AREA_COLOUR[0]);
    b->secondary_click_callback = [](WM_SCREEN_OBJECT* o, uintptr_t, uintptr_t) {
      return static_cast<int32_t>(o->value_word);
    };
    b->secondary_click_mode = CLICK_MODE::ON_PRESS;
    b->value_word = page_action::RELOAD_PAGE;
    m->current_root()->add_child(b, false);
  };
  manager->set_page(0, only_create, nullptr, 1, nullptr, 0, 1, nullptr);
  manager->frame(false);
  input.move_to(10, 10);
  input.press(2);
  EXPECT_EQ(manager->frame(false), 0);  // rebuilt without a leave callback
  input.release(2);
  manager->frame(false);
  manager->set_page(0, only_create, nullptr, 2, nullptr, 0, 2, nullptr);
  manager->area(0).root.get_child(0)->value_word = page_action::SWITCH_PAGE;
  input.press(2);
  EXPECT_EQ(manager->frame(false), page_action::SWITCH_PAGE);
  get_exit_hook()();
  EXPECT_EQ(manager->area(0).root.child_count(), 0);
}

TEST_F(PageManager, TabMovesTheFocusInOrder) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  manager->set_page(
      0, [](WM_PAGE_MANAGER* m) { wm_test::add_tab_order_boxes(m->current_root()); }, nullptr, 0,
      nullptr, 0, 0, nullptr);
  manager->frame(false);
  WM_MANAGER& root = manager->area(0).root;
  WM_SCREEN_OBJECT* a = root.get_child(0);
  WM_SCREEN_OBJECT* d = root.get_child(3);
  WM_SCREEN_OBJECT* e = root.get_child(4)->get_child(0);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, a);

  struct STEP {
    bool shift;
    WM_SCREEN_OBJECT* expected;
  };
  const STEP steps[] = {{false, d}, {false, e}, {false, a}, {true, e}, {true, d}, {true, a}};
  for (const STEP& s : steps) {
    held_keys = s.shift ? std::set<uint32_t>{0xFFE1} : std::set<uint32_t>{};
    input.key(XK_Tab);
    manager->frame(false);
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, s.expected);
    EXPECT_EQ(key_queue.peek_last_key(), 0u);
  }
  held_keys.clear();
  // Called directly, each way answers that the focus moved.
  EXPECT_TRUE(manager->focus_next() && WM_SCREEN_OBJECT::focus_object == d);
  EXPECT_TRUE(manager->focus_previous() && WM_SCREEN_OBJECT::focus_object == a);
  // Other keys stay for the widgets.
  input.key(XK_Escape);
  manager->frame(false);
  EXPECT_EQ(key_queue.get_last_key(), static_cast<uint32_t>(XK_Escape));
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, a);

  // An overlay that took the focus gives it back, at the frame after it
  // goes, to the object that had it before it came.
  d->set_focus();
  auto* popup = new BOX(100, 100, 20, 20, 0xFFFFFFFF);
  auto* item = new BOX(105, 105, 5, 5, 0xFF00FF00);
  item->selectable = 1;
  popup->add_child(item, false);
  root.add_overlay(popup, false);
  item->set_focus();
  root.remove_overlay(popup, true, false);
  manager->frame(false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, d);

  // A hidden focus object hands the focus on to the next one at the frame.
  d->set_focus();
  d->hide(false, false);
  manager->frame(false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, e);
  // So does one under a hidden parent; with nothing left the focus goes.
  root.get_child(4)->hide(false, false);
  a->hide(false, false);
  manager->frame(false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, nullptr);
  // A focused check box is no Tab stop: alone, Tab finds nowhere to go.
  WM_SCREEN_OBJECT* b = root.get_child(1);
  b->selectable = 1;
  b->kind |= wm_kind::CHECK_BOX;
  b->set_focus();
  EXPECT_FALSE(manager->focus_next());
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, b);
}

// A tooltip shows over the page for its button and takes no focus, nor is
// it a scope for keys or clicks: Tab moves on while it shows, and a quick
// click on another button counts. A dialog that opens elsewhere takes the
// input: the button under the pointer drops its hover look (and its
// tooltip) at once, and takes it up again once the dialog has gone.
TEST_F(PageManager, ATooltipTakesNoInputAndADialogTakesTheHoverLook) {
  static constexpr COLOUR kUp = 0xFF203040, kOver = 0xFFC0A000;
  static int others_clicked;
  others_clicked = 0;
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  manager->set_page(
      0,
      [](WM_PAGE_MANAGER* m) {
        create_boxes<0>(m);
        WM_STYLE_SET style = text_style(kUp, 0, 0xFF000000);
        style.mouse_over_colour = kOver;
        m->current_root()->add_child(new WM_BUTTON(100, 60, 159, 89, &style, "", "What Go does", nullptr, 0, 0, 2),
                                     false);
        m->current_root()->add_child(
            new WM_BUTTON(170, 60, 229, 89, nullptr, "Other", nullptr,
                          [](WM_SCREEN_OBJECT*, uintptr_t, uintptr_t) { return ++others_clicked, 0; }, 0, 0, 2),
            false);
      },
      nullptr, 0, nullptr, 0, 0, nullptr);
  manager->frame(false);
  WM_MANAGER& root = manager->area(0).root;
  auto* button = static_cast<WM_BUTTON*>(root.get_child(3));
  auto frames = [&](int n, uint64_t ms) {
    for (int i = 0; i < n; ++i) {
      input.advance_ms(ms);
      manager->frame(false);
    }
  };
  root.get_child(0)->set_focus();
  input.move_to(120, 75);
  frames(4, 1000);
  ASSERT_TRUE(WM_SCREEN_OBJECT::is_overlay(button->tooltip));
  input.key(XK_Tab);
  frames(1, 0);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, root.get_child(1));
  EXPECT_TRUE(WM_SCREEN_OBJECT::is_overlay(button->tooltip));
  input.move_to(200, 75);
  input.click(1);
  frames(2, 0);
  EXPECT_EQ(others_clicked, 1);

  DIALOG_EFFECTS still{.flags = 0};
  for (const bool tooltip_shown : {false, true}) {
    input.move_to(120, 75);
    frames(tooltip_shown ? 4 : 1, 1000);
    ASSERT_EQ(pixel(150, 85), kOver);
    ASSERT_EQ(WM_SCREEN_OBJECT::is_overlay(button->tooltip), tooltip_shown);
    auto* dialog = new WM_DIALOG(150, 100, 100, 60, "Asks", nullptr, nullptr, nullptr, &still);
    root.add_overlay(dialog, false);
    frames(1, 0);
    EXPECT_EQ(pixel(150, 85), kUp) << tooltip_shown;
    EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(button->tooltip));
    root.remove_overlay(dialog, true, false);
    frames(1, 0);
    EXPECT_EQ(pixel(150, 85), kOver);
  }
  input.move_to(5, 140);
  frames(2, 0);
  EXPECT_FALSE(WM_SCREEN_OBJECT::is_overlay(button->tooltip));
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, root.get_child(1));
  // The tooltip keeps no place for the focus to go back to: a focus object
  // that goes hands it on to the first object.
  root.get_child(2)->set_focus();
  root.remove_child(root.get_child(2), true, false);
  manager->frame(false);
  EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, root.get_child(0));
}

// The search starts with the focus object's own area (its first object
// takes the focus), else with area 0 (Control+Tab) or 1 (with Shift), and
// passes over hidden areas.
TEST_F(PageManager, ControlTabFocusesTheFirstObjectOfAnArea) {
  start(2);
  ASSERT_EQ(WM_SCREEN_OBJECT::focus_object, box(1, 0));
  const struct {
    int focus_area;  // -1: nothing has the focus
    int hidden_area;  // -1: both show
    std::set<uint32_t> held;
    int area;
  } steps[] = {{1, -1, {0xFFE3}, 1},         {0, -1, {0xFFE4}, 0},
               {1, -1, {0xFFE3, 0xFFE1}, 1}, {-1, -1, {0xFFE3}, 0},
               {-1, -1, {0xFFE3, 0xFFE2}, 1}, {-1, 0, {0xFFE3}, 1},
               {-1, 1, {0xFFE4, 0xFFE2}, 0}, {0, -1, {0xFFE4, 0xFFE1}, 0}};
  for (const auto& s : steps) {
    WM_SCREEN_OBJECT::focus_object = s.focus_area < 0 ? nullptr : box(s.focus_area, 2);
    for (int a = 0; a < 2; ++a) manager->area(static_cast<int16_t>(a)).root.visible = a != s.hidden_area;
    held_keys = s.held;
    input.key(XK_Tab);
    manager->frame(false);
    EXPECT_EQ(WM_SCREEN_OBJECT::focus_object, box(s.area, 0)) << s.focus_area << s.hidden_area;
  }
  for (int a = 0; a < 2; ++a) manager->area(static_cast<int16_t>(a)).root.visible = 1;
  EXPECT_TRUE(manager->focus_first_in_area());  // called directly, it answers that the focus moved
  // An open overlay keeps the focus where it is.
  manager->area(0).root.add_overlay(new BOX(100, 100, 10, 10, 0xFFFFFFFF), false);
  held_keys = {0xFFE3};
  EXPECT_FALSE(manager->focus_first_in_area());
  manager->area(0).root.destroy_children(true, 0, false);
}

TEST_F(PageManager, RepaintsOnlyWhatChanged) {
  start(1);
  manager->frame(false);
  const int before = BOX::total_draws;
  COLOUR marker = 0xFF123456;
  get_screen_image()->fill_rect(100, 100, 100, 100, &marker, false);
  BOX* middle = box(0, 1);
  middle->fill = 0xFFFF00FF;
  middle->show();
  EXPECT_EQ(manager->frame(false), 0);
  EXPECT_EQ(BOX::total_draws - before, 1);
  EXPECT_EQ(pixel(45, 15), 0xFFFF00FFu);
  EXPECT_EQ(pixel(100, 100), marker);
  // A clean frame draws nothing at all.
  manager->frame(false);
  EXPECT_EQ(BOX::total_draws - before, 1);
}

TEST_F(PageManager, RedrawNowCopiesTheBackBuffer) {
  start(1);
  IMAGE& back = manager->back_buffers[0];
  back.create(200, 150);
  const COLOUR translucent = 0x80FF0000, marker_colour = 0xFF123456;
  back.fill_rect(0, 0, 199, 149, &translucent, false);
  WM_SCREEN_OBJECT loose(true, nullptr, 0, 0);
  loose.x = 150;
  loose.y = 100;
  loose.width = 20;
  loose.height = 20;
  IMAGE* screen = get_screen_image();
  for (int i = 0; i < 3; ++i) {
    screen->set_clip_rect(1, 2, 3, 4);
    loose.redraw_now();
    EXPECT_EQ(screen->clip_rect(), (RECT{1, 2, 3, 4}));  // the caller's clip comes back
  }
  screen->set_clip_rect(0, 0, 199, 149);
  EXPECT_EQ(pixel(160, 110), translucent);  // not blended again and again
  EXPECT_EQ(pixel(15, 15), AREA_COLOUR[0]);
  EXPECT_EQ(pixel(149, 110), 0xFF000000u);  // outside its rectangle
  screen->fill_rect(0, 0, 199, 149, &marker_colour, false);  // the whole screen, to its edges
  manager->redraw_screen_now(0);
  for (const auto& [px, py] : {std::pair{149, 110}, {0, 0}, {199, 149}}) EXPECT_EQ(pixel(px, py), translucent);
  EXPECT_EQ(pixel(15, 15), AREA_COLOUR[0]);
}

TEST_F(PageManager, ExitHookClosesEveryPage) {
  start(2);
  ASSERT_NE(get_exit_hook(), nullptr);
  get_exit_hook()();
  for (int a = 0; a < 2; ++a) {
    EXPECT_EQ(std::pair(logs[a].left, logs[a].destroyed), std::pair(1, 1));
    EXPECT_EQ(manager->area(static_cast<int16_t>(a)).root.child_count(), 0);
  }
  // The last screen lives on in the back buffer.
  COLOUR kept = 0;
  manager->back_buffers[0].get_pixel(15, 15, &kept);
  EXPECT_EQ(kept, AREA_COLOUR[0]);
  manager.reset();
  EXPECT_EQ(get_exit_hook(), nullptr);
  EXPECT_EQ(WM_SCREEN_OBJECT::redraw_function, nullptr);  // its redraw goes with it
  EXPECT_EQ(logs[0].destroyed, 1);
}

TEST_F(PageManager, ScreenSizeChangeRebuildsEveryArea) {
  start(2);
  set_screen_size(300, 200);
  manager->frame(false);
  EXPECT_EQ(std::pair(logs[0].created, logs[1].created), std::pair(2, 2));
  EXPECT_EQ(pixel(15, 15), AREA_COLOUR[0]);
  manager->frame(false);
  EXPECT_EQ(logs[0].created, 2);
}

TEST_F(PageManager, CursorShapes) {
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  for (const int8_t shape : {7, -2}) EXPECT_FALSE(manager->set_cursor_shape(shape)) << int(shape);
  EXPECT_TRUE(manager->set_cursor_shape(-1));
  EXPECT_EQ(manager->get_cursor_shape(), -1);
  EXPECT_TRUE(manager->set_cursor_shape(6));
  manager->frame(false);
  EXPECT_EQ(manager->get_cursor_shape(), 0);
}

}  // namespace

// Objects wholly outside their area are neither processed nor ticked.
TEST_F(PageManager, ObjectsOutsideTheAreaAreSkipped) {
  struct COUNTING_BOX : BOX {
    using BOX::BOX;
    int32_t process() override {
      ++processed;
      delete std::exchange(doomed, nullptr);
      return BOX::process();
    }
    int processed = 0;
    BOX* doomed = nullptr;  // another object, deleted while the frame walks the page
  };
  start(1);
  WM_MANAGER& root = manager->area(0).root;
  auto* inside = new COUNTING_BOX(10, 10, 20, 20, AREA_COLOUR[0]);
  auto* outside = new COUNTING_BOX(3000, 10, 20, 20, AREA_COLOUR[0]);
  auto* holder = new BOX(40, 10, 20, 20, 0);  // inside, holding a box far outside
  auto* nested = new COUNTING_BOX(3000, 40, 20, 20, AREA_COLOUR[0]);
  holder->add_child(nested, false);
  inside->doomed = new BOX(0, 0, 1, 1, 0);
  for (BOX* child : std::initializer_list<BOX*>{inside, outside, holder}) root.add_child(child, false);
  manager->frame(false);
  manager->frame(false);
  EXPECT_EQ(inside->processed, 2);
  EXPECT_EQ(outside->processed + nested->processed, 0);
}

// A focused button that goes with its page, its dialog, its parent's
// children or its grid hears that it lost the focus while it is still a
// whole button: its callback reads its text.
namespace {
std::vector<std::string> focus_heard;
WM_BUTTON* focusable_button() {
  auto* b = new WM_BUTTON(10, 10, 60, 30, nullptr, "Weiter", nullptr, nullptr, 0, 0, 2);
  b->selectable = 1;
  b->focus_callback = [](WM_SCREEN_OBJECT* o, uintptr_t) -> int32_t {
    const auto* button = dynamic_cast<WM_BUTTON*>(o);
    focus_heard.push_back(std::string(WM_SCREEN_OBJECT::focus_object == o ? "won " : "lost ") +
                          (button ? button->get_text() : "a part of a button"));
    return 0;
  };
  return b;
}
void focused_button_in(WM_SCREEN_OBJECT* parent) {
  WM_BUTTON* b = focusable_button();
  parent->add_child(b, false);
  b->set_focus();
}
}  // namespace

TEST_F(PageManager, AFocusedButtonIsWholeWhenItGoes) {
  static DIALOG_EFFECTS still{.flags = 0};
  const struct {
    const char* way;
    void (*remove)(WM_PAGE_MANAGER& m);
  } ways[] = {
      {"page reload",
       [](WM_PAGE_MANAGER& m) {
         logs[0].next_result = page_action::RELOAD_PAGE;
         m.frame(false);
       }},
      {"its dialog removed",
       [](WM_PAGE_MANAGER& m) {
         auto* dialog = new WM_DIALOG(20, 20, 150, 100, "Asks", nullptr, nullptr, nullptr, &still);
         m.current_root()->add_overlay(dialog, false);
         focused_button_in(dialog);
         focus_heard.clear();
         m.current_root()->remove_overlay(dialog, true, false);
       }},
      {"destroy_children", [](WM_PAGE_MANAGER& m) { m.current_root()->destroy_children(false, 0, true); }},
      {"its grid gone with the page",
       [](WM_PAGE_MANAGER& m) {
         static const WM_STYLE_SET style = gapless_style();
         auto* grid = new WM_GRID(0, 0, 99, 99, 1, nullptr, &style, nullptr);
         m.current_root()->add_child(grid, false);
         WM_BUTTON* cell = focusable_button();
         grid->set_cell(0, 0, cell);
         cell->set_focus();
         focus_heard.clear();
         m.current_root()->destroy_children(false, 0, true);
       }},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.way);
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    manager->set_page(0, [](WM_PAGE_MANAGER* m) { focused_button_in(m->current_root()); }, nullptr, 0,
                      page_frame<0>, 0, 0, nullptr);
    manager->frame(false);
    focus_heard.clear();
    w.remove(*manager);
    ASSERT_FALSE(focus_heard.empty());
    EXPECT_EQ(focus_heard[0], "lost Weiter");
    manager.reset();
  }
}
