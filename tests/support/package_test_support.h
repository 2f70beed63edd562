#pragma once
// Shared by the package archive tests: deterministic file contents, and a
// fixture whose home folder (and with it "$TEMP") and "work" folder, where
// the archives are made, live in a scratch folder for the whole test.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_services.h"
#include "folder.h"
#include "test_support.h"

namespace package_test_support {

// Deterministic bytes that differ from block to block.
inline std::string pattern(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; i++) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<char>(x);
  }
  return bytes;
}

class PackageScratchTest : public ::testing::Test {
protected:
  void SetUp() override {
    home = scratch.file("home");
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((home + "/tmp").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(scratch.file("work").c_str(), 0700), 0);
    set_home_folder_override(home.c_str());
    ASSERT_TRUE(work.set_absolute(scratch.file("work").c_str()));
  }
  void TearDown() override {
    remove_temporary_folder();
    set_home_folder_override(nullptr);
  }

  test_support::ScratchDir scratch;
  std::string home;
  FOLDER work;
};

}  // namespace package_test_support
