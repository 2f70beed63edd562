#pragma once
// The whole screen compared pixel-exact with a dialog's reference picture,
// tests/references/dialog_widgets/<name>.png (tests/refresh_references.sh
// writes them); a mismatch leaves the actual picture in the test output
// folder for a look.
#include <cstdint>
#include <string>

#include "picture_compare.h"
#include "screen.h"

namespace wm_test {

inline ::testing::AssertionResult screen_matches_reference(const std::string& name) {
  return test_support::picture_matches_reference("dialog_widgets", name, *get_screen_image());
}

// "x,y wxh", a box as transcripts write it.
inline std::string box_text(int32_t x, int32_t y, int32_t w, int32_t h) {
  return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" + std::to_string(h);
}

}  // namespace wm_test
