#pragma once
// The whole screen compared pixel-exact with a dialog's reference picture,
// tests/references/dialogs/<name>.png; a mismatch leaves <name>_err.png in
// the test output folder for a look.
#include <string>

#include "picture_compare.h"
#include "screen.h"

namespace wm_test {

inline ::testing::AssertionResult screen_matches_reference(const std::string& name) {
  return test_support::picture_matches_png(
      name, *get_screen_image(), std::string(TEST_SOURCE_DIR) + "/references/dialogs/" + name + ".png");
}

}  // namespace wm_test
