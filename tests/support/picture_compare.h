#pragma once
// Whole-picture comparison for tests: an IMAGE against an expected IMAGE or
// a PNG file, pixel by pixel (the stride's extra columns are not compared).
// On a mismatch the actual picture is saved as <name>_err.png, so that it
// can be looked at, and the failure names the first differing pixel
// (counted from the top-left pixel, whatever the image's origin).
#include <gtest/gtest.h>

#include <string>

#include "image.h"

namespace test_support {

// Where pictures of failed comparisons go: the folder named by the
// environment variable VORN_TEST_OUTPUT when it is set and not empty, else
// the current folder (under CTest the test's binary folder, build/tests).
std::string picture_output_folder();

// name: a file-name-safe word naming the comparison.
::testing::AssertionResult pictures_match(const std::string& name, const IMAGE& actual,
                                          const IMAGE& expected);
// The expected picture read from a PNG file; a file that cannot be read is
// a failure of its own (nothing saved).
::testing::AssertionResult picture_matches_png(const std::string& name, const IMAGE& actual,
                                               const std::string& png_path);

// The reference picture tests/references/<area>/<name>.png. A normal run
// compares with it; a run with VORN_REFRESH_REFERENCES=1 in its environment
// (tests/refresh_references.sh) writes it instead and never fails on a
// difference. A missing reference fails, naming the refresh command.
::testing::AssertionResult picture_matches_reference(const std::string& area, const std::string& name,
                                                     const IMAGE& actual);

// The reference text tests/references/<area>/<name>.txt, written and
// compared like the reference pictures; a mismatch saves the actual text as
// <area>_<name>_err.txt beside the pictures.
::testing::AssertionResult text_matches_reference(const std::string& area, const std::string& name,
                                                  const std::string& actual);

}  // namespace test_support
