#pragma once
// A fixture for tests that load skin pictures: "$APP" is a scratch folder
// (through the base override) with a "skin" sub-folder, the home folder and
// system root point into the same scratch, and pictures are saved there as
// raw files written through a data file with order byte 255.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "data_file.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"
#include "test_support.h"

namespace test_support {

class ScratchSkinTest : public ::testing::Test {
protected:
  // The base path is set up under this program name.
  explicit ScratchSkinTest(const char* program) : program_(program) {}

  void SetUp() override {
    set_message_box_handler(message_box_to_stderr);
    set_home_folder_override(scratch.file("home").c_str());
    set_system_root_override(scratch.file("root").c_str());
    for (const char* dir : {"home", "root", "app", "app/skin"})
      ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
    FOLDER app;
    ASSERT_TRUE(app.set_absolute(scratch.file("app").c_str()));
    set_base_path(app, program_);
    ASSERT_TRUE(skin.set_absolute(scratch.file("app/skin").c_str()));
  }
  void TearDown() override {
    clear_base_path();
    set_home_folder_override(nullptr);
    set_system_root_override(nullptr);
  }

  // Saves the picture as "<name>.raw" in the skin folder.
  void save(const std::string& name, IMAGE& image) {
    DATA_FILE* file = skin.open_data_file((name + ".raw").c_str(), 1, 255, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(image.put_to_data_device(file));
    ASSERT_TRUE(FOLDER::close_data_file(file));
  }

  ScratchDir scratch;
  FOLDER skin;

private:
  const char* program_;
};

}  // namespace test_support
