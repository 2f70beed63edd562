#pragma once
// The text window and dialog X tests' fixture: wm_test::PointerX11, a
// focused 640 x 480 window with the test font and XTEST pointer and keys.
#include "wm_x11_fixture.h"
