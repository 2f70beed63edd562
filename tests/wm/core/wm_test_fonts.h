#pragma once
// The one font the toolkit's text tests draw with: the system's DejaVu Sans
// as the default font of an otherwise empty font table. Load it before a
// scratch system root hides the system's font folder; FONT::shutdown ends it.
#include <gtest/gtest.h>

#include "folder.h"
#include "font.h"

namespace wm_test {

inline ::testing::AssertionResult load_test_font() {
  clear_load_builtin_fonts();
  FONT::init();
  FOLDER fonts;
  if (!fonts.set_absolute(get_system_font_folder()))
    return ::testing::AssertionFailure() << "no font folder " << get_system_font_folder();
  if (FONT::load("DejaVuSans.ttf", "Sans", FONT_DEFAULT, &fonts) != FONT_DEFAULT)
    return ::testing::AssertionFailure() << "DejaVuSans.ttf did not load as the default font";
  return ::testing::AssertionSuccess();
}

}  // namespace wm_test
