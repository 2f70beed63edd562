// The template stream as a file: the store's whole stored form, its header
// and how it refuses what it cannot read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "folder.h"
#include "memory_device.h"
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
    EXPECT_TRUE(store.save(folder, name, 0, 0));
    return read_file(scratch.file(name));
  }
  // The file save would write, without the page save adds; a good write leaves no error.
  std::string written() {
    test_support::MEMORY_DEVICE device;
    EXPECT_TRUE(device.write_u16(TEMPLATE_STREAM_VERSION) && device.write_u8(0) &&
                store.put_to_data_device(&device) && !device.error);
    return std::string(1, '\0') + device.text();
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
  // Each byte field comes back in its own place.
  const uint8_t bytes[] = {store.full_screen, store.transition_type, store.show_logo,
                           store.extra_flag_1, store.extra_flag_2, store.dialog_live_drag,
                           store.dialog_draggable, store.dialog_backdrop_1, store.dialog_backdrop_2};
  EXPECT_EQ(std::vector<uint8_t>(std::begin(bytes), std::end(bytes)),
            (std::vector<uint8_t>{1, 11, 1, 0, 2, 0, 2, 3, 1}));
  ASSERT_EQ(store.areas.size(), 2u);
  EXPECT_EQ(store.areas[1]->get_page(0)->background, store.images[1].get());
  EXPECT_EQ(store.areas[1]->get_page(0)->get_object(0)->style, store.style_sets[1].get());
  // Save added a page to area 0 (with nothing to capture here).
  ASSERT_EQ(store.areas[0]->get_page_count(), 2);
  EXPECT_STREQ(store.areas[0]->get_page(1)->name, "Page 2");
  EXPECT_EQ(written(), first);
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
  std::string bytes = written();
  const size_t counts = bytes.size() - 7 * 4;  // seven empty arrays end the file
  for (size_t array = 0; array < 7; array++) {
    std::string lying = bytes;
    memcpy(&lying[counts + array * 4], "\xF0\xFF\xFF\x7F", 4);
    ASSERT_TRUE(write_file(scratch.file("lying.tpl"), lying));
    EXPECT_FALSE(store.load(folder, "lying.tpl", nullptr)) << array;
  }
}

TEST_F(TemplateStream, AVersion8FileReadsItsGatedFieldsAndKeepsLegacyBackgrounds) {
  test_support::MEMORY_DEVICE d;
  WM_STYLE_SET style;
  d.write_u16(8);
  d.write_string("Old");
  for (uint16_t size : {640, 480}) d.write_u16(size);
  for (uint8_t byte : {0, 1}) d.write_u8(byte);
  d.write_i32(300);
  for (uint32_t colour : {1u, 2u, 3u}) d.write_u32(colour);
  d.write_u8(1);       // show_logo
  d.write_u16(77);     // toolkit value
  for (uint32_t word : {4u, 5u, 6u}) d.write_u32(word);  // border width, two colours
  d.write_u16(0);      // two ignored bytes
  d.write_u32(1);      // menu mode
  for (uint8_t b : {1, 0, 1, 1, 0, 1, 0, 0}) d.write_u8(b);  // menu, list-box switches
  for (int i = 0; i < 4; i++) d.write_object(style);           // tooltip, dialog styles
  for (int i = 0; i < 2; i++) d.write_u8(0);  // live drag, backdrop 1
  d.write_u32(1);      // areas before the arrays: one area, one page
  d.write_string("A");
  for (uint16_t part : {1, 2, 3, 4}) d.write_u16(part);
  d.write_i32(-2);
  for (uint32_t word : {1u, 0xABu}) d.write_u32(word);
  d.write_string("P");
  d.write_string("back.png");  // the page's background file
  d.write_u32(1);              // one object, old type 4: an image
  d.write_u32(4);
  d.write_string(nullptr);
  for (int i = 0; i < 2; i++) d.write_u32(0);
  d.write_string(nullptr);
  d.write_u32(0);
  for (int i = 0; i < 4; i++) d.write_u16(0);
  d.write_u8(0);
  d.write_string("label");
  d.write_i32(-1);
  d.write_string(nullptr);
  d.write_u8(1);
  d.write_u32(0);  // kind 0 becomes 1
  d.write_u32(7);  // image mode 7 becomes 3
  d.write_u8(1);
  d.write_u32(0);  // no children
  d.write_u16(0);  // the area's two ignored bytes
  for (int i = 0; i < 3; i++) d.write_u32(0);  // style sets, fonts, colours
  d.write_u32(1);  // one image of the file's own
  d.write_string("file image");
  d.write_string("f.png");
  d.write_u32(0);  // constants; no dialogs in this version
  ASSERT_TRUE(write_file(scratch.file("v8.tpl"), std::string(1, '\0') + d.text()));

  ASSERT_TRUE(store.load(folder, "v8.tpl", nullptr));
  EXPECT_EQ(std::tuple(store.default_page_setting, store.border_width, store.toolkit_value, store.menu_effects.flags,
                       store.list_box_effects.flags, store.extra_flag_1),
            std::tuple(10u, 4u, 77, 0x10 | 0x01 | 0x02, 0x20, 1));
  ASSERT_EQ(store.areas.size(), 1u);
  EXPECT_EQ(store.areas[0]->tag, -2);
  WM_PTM_PAGE_INFO* page = store.areas[0]->get_page(0);
  ASSERT_EQ(store.images.size(), 2u);
  ASSERT_NE(page->background, nullptr);
  EXPECT_STREQ(page->background->name, "Page ab");
  EXPECT_STREQ(page->background->file_name, "back.png");
  WM_PTM_OBJECT_INFO* object = page->get_object(0);
  EXPECT_EQ(object->type, 8u);
  EXPECT_EQ(object->button_kind, 1);
  EXPECT_EQ(object->image_mode, 3);
  EXPECT_STREQ(object->name.get_text(), "label");
}

}  // namespace
