#pragma once
// The animated page changes: the page manager hands over a page action and
// two hooks, and the transition copies the screen IMAGE before and/or after
// the page switch and draws and presents one step after another until its
// time on the millisecond clock is up, ending on the new page.
#include <cstdint>

// What a transition needs from the page manager: the page switch of every
// area, painted into the screen IMAGE, and presenting the screen.
struct PAGE_TRANSITION_HOOKS {
  void (*switch_pages)(intptr_t context) = nullptr;  // switch every area's page and paint it into the screen IMAGE
  void (*present)(intptr_t context) = nullptr;       // show the screen IMAGE (swap_screens in the program)
  intptr_t context = 0;
};

// The transition table:
//   10 plain switch            11 cross-fade from the old page to the new
//   12 new page in from black  13 new page in from grey to its colours
//   14 old page out to black, new page in from black, each in half the time
//   15 the same through grey
//   16 old page out to black, then the new page at once
//   17 old page out to grey, then the new page at once
//   18..32 slides: 18 + direction + 5 x style, direction 0 random (one of
//   the others), 1 left, 2 right, 3 up, 4 down; style 0 the new page moves
//   in over the old, 1 the old page moves away uncovering the new, 2 both
//   move together.
// A duration of 0 (or a half of 0 for 14 and 15) draws the new page once.
// So does a fade through black or grey over a page that already is black, or
// grey, throughout: each of its steps would show the same picture.
// The screen's clip rectangle is the same afterwards.
// Runs page action 10..32 as the transition table describes, over the
// whole screen IMAGE, for duration_ms on the millisecond clock, blocking
// until done. Other actions do nothing and return false.
bool run_page_transition(int32_t action, uint32_t duration_ms, const PAGE_TRANSITION_HOOKS& hooks);
