#pragma once
// The dialog X tests' fixtures live with the toolkit's: wm_test::PointerX11
// and OverlayX11 for dialogs shown as overlays of a bare root.
#include "wm_x11_fixture.h"
