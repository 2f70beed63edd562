// The template stream as a file: the store's whole stored form, its header
// and how it refuses what it cannot read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "folder.h"
#include "template_stream.h"
#include "template_test_store.h"
#include "test_support.h"

using test_support::read_file;
using test_support::ScratchDir;
using test_support::write_file;

namespace {

struct TemplateStream : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(folder.set_absolute(scratch.path().c_str())); }
  std::string saved(const char* name) {
    EXPECT_TRUE(store.save(folder, name, 0));
    return read_file(scratch.file(name));
  }
  ScratchDir scratch;
  FOLDER folder;
  WM_PTM_APP_INFO store;
};

TEST_F(TemplateStream, AFullStoreSavesLoadsAndSavesAgainTheSameBytes) {
  template_test::fill_store(store);
  std::string first = saved("first.tpl");
  // The byte-order byte (little-endian), then version 26 and no image cache.
  ASSERT_GT(first.size(), 4u);
  EXPECT_EQ(first.substr(0, 4), std::string("\x00\x1A\x00\x00", 4));

  uint8_t cache_flag = 9;
  ASSERT_TRUE(store.load(folder, "first.tpl", &cache_flag));
  EXPECT_EQ(cache_flag, 0);
  EXPECT_EQ(store.loaded, 1);
  EXPECT_STREQ(store.title, "Game");
  ASSERT_EQ(store.areas.size(), 2u);
  EXPECT_EQ(store.areas[1]->get_page(0)->background, store.images[1].get());
  EXPECT_EQ(store.areas[1]->get_page(0)->get_object(0)->style, store.style_sets[1].get());
  EXPECT_EQ(saved("second.tpl"), first);
}

TEST_F(TemplateStream, CutAndRefusedFilesFailTheLoad) {
  template_test::fill_store(store);
  std::string whole = saved("whole.tpl");
  // Every cut near the start and where the records begin, then a stride
  // through the rest.
  for (size_t cut = 0; cut < whole.size(); cut += cut < 200 ? 1 : 61) {
    ASSERT_TRUE(write_file(scratch.file("cut.tpl"), whole.substr(0, cut)));
    EXPECT_FALSE(store.load(folder, "cut.tpl", nullptr)) << cut;
    EXPECT_EQ(store.loaded, 0) << cut;
  }
  std::string newer = whole;
  newer[1] = 27;
  ASSERT_TRUE(write_file(scratch.file("newer.tpl"), newer));
  EXPECT_FALSE(store.load(folder, "newer.tpl", nullptr));
  EXPECT_FALSE(store.load(folder, "missing.tpl", nullptr));
  // A store that failed still loads a good file afterwards.
  EXPECT_TRUE(store.load(folder, "whole.tpl", nullptr));
}

TEST_F(TemplateStream, AnArrayCountBeyondTheFileFailsBeforeAllocating) {
  // Version 26: an empty store body, then the style-set count lies.
  std::string bytes = saved("empty.tpl");
  const size_t counts = bytes.size() - 7 * 4;  // seven empty arrays end the file
  for (size_t array = 0; array < 7; array++) {
    std::string lying = bytes;
    memcpy(&lying[counts + array * 4], "\xF0\xFF\xFF\x7F", 4);
    ASSERT_TRUE(write_file(scratch.file("lying.tpl"), lying));
    EXPECT_FALSE(store.load(folder, "lying.tpl", nullptr)) << array;
  }
}

}  // namespace
