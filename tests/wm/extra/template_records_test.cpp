// Template records: defaults, editing and their stored form.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "folder.h"
#include "memory_device.h"
#include "template_test_store.h"
#include "template_stream.h"
#include "wm_ptm_app_info.h"

using test_support::MEMORY_DEVICE;

namespace {

using template_test::fill_object;

std::vector<uint8_t> stored(DATA_DEVICE_CLIENT& record) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(device.write_object(record));
  return device.bytes;
}

std::string hex_of(DATA_DEVICE_CLIENT& record) {
  std::string hex;
  for (uint8_t byte : stored(record)) {
    hex += "0123456789ABCDEF"[byte >> 4];
    hex += "0123456789ABCDEF"[byte & 15];
  }
  return hex;
}

struct STORE_FIXTURE : ::testing::Test {
  void SetUp() override {
    template_read_version = TEMPLATE_STREAM_VERSION;
    store.add_style_set();
    store.add_style_set();
    store.add_image()->set_file_name("not_there.png");
  }
  std::unique_ptr<WM_PTM_APP_INFO> owner = std::make_unique<WM_PTM_APP_INFO>();
  WM_PTM_APP_INFO& store = *owner;
};

using TemplateRecords = STORE_FIXTURE;

// Writes the record, reads the bytes into a fresh one and writes that: the
// two stored forms are the same bytes.
template <typename T>
void expect_round_trip(T& record, const char* what) {
  std::vector<uint8_t> first = stored(record);
  MEMORY_DEVICE device(first);
  T copy;
  ASSERT_TRUE(device.read_object(copy)) << what;
  EXPECT_EQ(device.position, first.size()) << what;
  EXPECT_EQ(stored(copy), first) << what;
}

TEST_F(TemplateRecords, EveryFieldWritesReadsAndWritesAgainTheSameBytes) {
  WM_PTM_OBJECT_INFO object;
  fill_object(object, store);
  expect_round_trip(object, "object");

  WM_PTM_PAGE_INFO page;
  page.id = 0x1234;
  page.set_name("Main");
  page.background = store.images[0].get();
  page.page_setting = 3;
  page.page_text.set("hello");
  ASSERT_TRUE(page.add_object(8));
  fill_object(*page.get_object(0), store);
  expect_round_trip(page, "page");

  WM_PTM_AREA_INFO area;
  area.set_name("Left");
  area.x = 10;
  area.width = 400;
  area.tag = -7;
  ASSERT_TRUE(area.add_page());
  ASSERT_TRUE(area.get_page(0)->copy_objects_from(page));
  ASSERT_EQ(area.get_page(0)->get_object_count(), 1);
  EXPECT_EQ(stored(*area.get_page(0)->get_object(0)), stored(*page.get_object(0)));
  expect_round_trip(area, "area");

  WM_PTM_DIALOG_INFO dialog;
  dialog.set_name("Ask");
  dialog.set_title("Sure?");
  dialog.x = 5;
  dialog.height = 90;
  ASSERT_TRUE(dialog.add_object(2));
  expect_round_trip(dialog, "dialog");

  WM_PTM_IMAGE_INFO image;
  image.set_name("logo");
  image.set_file_name("logo.png");
  expect_round_trip(image, "image");
  WM_PTM_FONT_INFO font;
  font.set_name("Sans");
  font.set_file_name("none.ttf");
  expect_round_trip(font, "font");
  WM_PTM_COLOUR_INFO colour;
  colour.set_name("red");
  colour.colour = 0x80FF0000;
  expect_round_trip(colour, "colour");
  template_read_version = 7;  // a colour read from before names and values holds the defaults
  MEMORY_DEVICE none{std::vector<uint8_t>{}};
  WM_PTM_COLOUR_INFO fresh;
  EXPECT_EQ((none.read_object(colour), hex_of(colour)), hex_of(fresh));
  template_read_version = TEMPLATE_STREAM_VERSION;
  WM_PTM_CONSTANT_INFO constant;
  constant.set_name("speed");
  constant.value.set_type(PARAMETER::I32);
  constant.value.set_int(PARAMETER::VALUE, -3);
  expect_round_trip(constant, "constant");
}

TEST_F(TemplateRecords, ReferencesAreStoredAsPositionsAndWidthsAsOnFile) {
  WM_PTM_OBJECT_INFO object;
  object.style = store.style_sets[1].get();
  object.hotkey = 0xFF0D;
  WM_STYLE_SET foreign;
  object.cell_style = &foreign;  // not in the store: none
  const std::vector<uint8_t> bytes = stored(object);
  auto word_at = [&bytes](size_t at) { int32_t word; memcpy(&word, &bytes[at], 4); return word; };
  // not_built, type, action name, two words, control name and id, the
  // rectangle, no own style, no text, the empty name block.
  size_t at = 1 + 4 + 4 + 8 + 4 + 4 + 8 + 1 + 4 + 4;
  EXPECT_EQ(word_at(at), 1);  // the style's index
  at += 4 + 4 + 4 + 1 + 1;  // style, extra word, tooltip, enabled, kind
  EXPECT_EQ(bytes[at], 1);   // a hot key follows, 32 bits wide
  EXPECT_EQ(word_at(at + 1), 0xFF0D);
  at += 1 + 4 + 1 + 1 + 4 + 2 + 2 + 4;  // ... image, rows, columns, widths
  EXPECT_EQ(word_at(at), -1);  // the cell style
}

TEST_F(TemplateRecords, EveryCutOfAStoredRecordFailsCleanly) {
  WM_PTM_AREA_INFO area;
  ASSERT_TRUE(area.add_page());
  ASSERT_TRUE(area.get_page(0)->add_object(16));
  fill_object(*area.get_page(0)->get_object(0), store);
  // And an image of version 12 (no names, its folder stored as a block), cut anywhere.
  MEMORY_DEVICE old;
  FOLDER folder;
  ASSERT_TRUE(old.write_u32(0) && old.write_u32(0) && old.write_object(folder));
  for (const auto& [version, whole] : {std::pair{TEMPLATE_STREAM_VERSION, stored(area)}, {12, old.bytes}}) {
    template_read_version = version;
    for (size_t cut = 0; cut < whole.size(); cut++) {
      MEMORY_DEVICE device(std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
      WM_PTM_AREA_INFO area_copy;
      WM_PTM_IMAGE_INFO image_copy;
      EXPECT_FALSE(version == 12 ? device.read_object(image_copy) : device.read_object(area_copy)) << cut;
      EXPECT_EQ(device.error, 1) << cut;
    }
  }
  template_read_version = TEMPLATE_STREAM_VERSION;
  // An object record read on its own fails on its very first byte too.
  WM_PTM_OBJECT_INFO lone;
  MEMORY_DEVICE nothing{std::vector<uint8_t>{}};
  EXPECT_FALSE(nothing.read_object(lone));
}

TEST_F(TemplateRecords, LyingLengthsAndCountsFailBeforeAllocating) {
  struct ROW {
    const char* what;
    std::string bytes;
  };
  const std::string huge("\xF0\xFF\xFF\x7F", 4);
  const std::string all_ones("\xFF\xFF\xFF\xFF", 4);
  // A colour whose name claims more bytes than follow; a dialog whose
  // objects' count does; an area whose pages' count does.
  WM_PTM_COLOUR_INFO colour;
  WM_PTM_DIALOG_INFO dialog;
  WM_PTM_AREA_INFO area;
  const std::string no_texts(8, '\0');
  std::vector<std::pair<DATA_DEVICE_CLIENT*, std::string>> rows = {
      {&colour, huge + "abc"},
      {&colour, all_ones + "abc"},
      {&dialog, no_texts + std::string(8, '\0') + huge},
      {&area, std::string(4, '\0') + std::string(12, '\0') + huge + std::string(40, '\0')},
  };
  for (auto& [record, bytes] : rows) {
    MEMORY_DEVICE device(bytes);
    EXPECT_FALSE(device.read_object(*record)) << bytes.size();
    EXPECT_LT(device.largest_request, 64) << bytes.size();
  }
}

TEST_F(TemplateRecords, PathFieldsAreZeroFilledAndReadTerminated) {
  WM_PTM_IMAGE_INFO image;
  memset(image.folder + 20, 'x', 100);  // behind the terminator: not stored
  std::vector<uint8_t> bytes = stored(image);
  ASSERT_EQ(bytes.size(), 4u + 4u + TEMPLATE_PATH_SIZE);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[8])), "$APPDATA/images");
  for (size_t i = 8 + strlen("$APPDATA/images"); i < bytes.size(); i++) ASSERT_EQ(bytes[i], 0) << i;

  // Version 16 is the first to keep the path itself rather than a folder
  // block (here the program's folder, "$APP").
  FOLDER program;
  std::vector<uint8_t> at_15(bytes.begin(), bytes.begin() + 8), block = stored(program), names = at_15;
  at_15.insert(at_15.end(), block.begin(), block.end());
  // Up to version 7 a font record is empty; version 8 has its two names only.
  for (const auto& [version, fields, folder, used] :
       {std::tuple{uint16_t{15}, at_15, "$APP", at_15.size() + 1}, {16, bytes, "$APPDATA/images", bytes.size() + 1},
        {8, names, "$APPDATA/fonts", size_t{8}}, {7, names, "$APPDATA/fonts", size_t{0}}}) {
    template_read_version = version;
    MEMORY_DEVICE old(fields);
    old.bytes.push_back(255);
    WM_PTM_FONT_INFO old_font;
    EXPECT_TRUE(old.read_object(old_font)) << version;
    EXPECT_EQ(std::pair(std::string(old_font.folder), old.position), std::pair(std::string(folder), used)) << version;
  }
  template_read_version = TEMPLATE_STREAM_VERSION;

  std::fill(bytes.begin() + 8, bytes.end(), 'y');  // a field with no terminator
  MEMORY_DEVICE device(bytes);
  WM_PTM_FONT_INFO font;  // same start, then the font id
  device.bytes.push_back(255);
  ASSERT_TRUE(device.read_object(font));
  EXPECT_EQ(strlen(font.folder), size_t(TEMPLATE_PATH_SIZE - 1));
  EXPECT_EQ(font.font_id, 255);
}

// Fresh records store their defaults, byte by byte (little-endian; "-"
// separates fields, an absent text is a zero length).
TEST_F(TemplateRecords, FreshRecordsStoreTheirDefaults) {
  WM_PTM_AREA_INFO area;
  WM_PTM_DIALOG_INFO dialog;
  WM_PTM_COLOUR_INFO colour;
  WM_PTM_PAGE_INFO page;
  WM_PTM_OBJECT_INFO object;
  const std::pair<DATA_DEVICE_CLIENT*, std::string> rows[] = {
      // 800 x 600 at (0, 0), tag -1, no pages.
      {&area, "00000000-0000-0000-2003-5802-FFFFFFFF-00000000"},
      // Placed by the toolkit (0xFFFF), 200 x 200, no objects.
      {&dialog, "00000000-00000000-FFFF-FFFF-C800-C800-00000000"},
      {&colour, "00000000-000000FF"},
      {&page, "00000000-00000000-FFFFFFFF-00000000-00000000-00000000"},
      // Sized from the content, enabled, button kind 2, image mode 2 and
      // shown, rows of 20 in one column, in no cell.
      {&object, "00-00000000-00000000-00000000-00000000-00000000-00000000-0000-0000-FFFF-FFFF-00-"
                "00000000-00000000-FFFFFFFF-00000000-00000000-01-02-00-02-01-FFFFFFFF-1400-0100-"
                "00000000-FFFFFFFF-FFFF-FFFF-00000000"},
  };
  for (const auto& [record, fields] : rows) {
    std::string wanted = fields;
    wanted.erase(std::remove(wanted.begin(), wanted.end(), '-'), wanted.end());
    EXPECT_EQ(hex_of(*record), wanted) << fields;
  }
  // A read cut short leaves an area, a dialog and an object with these
  // defaults, whatever they held before.
  WM_PTM_AREA_INFO read_area;
  WM_PTM_DIALOG_INFO read_dialog;
  WM_PTM_OBJECT_INFO read_object;
  for (auto [read, fresh] : {std::pair<DATA_DEVICE_CLIENT*, DATA_DEVICE_CLIENT*>{&read_area, &area},
                             {&read_dialog, &dialog}, {&read_object, &object}}) {
    read_area.width = read_dialog.width = read_object.width = 1;
    MEMORY_DEVICE cut(std::string(8, '\0'));
    EXPECT_FALSE(cut.read_object(*read));
    EXPECT_EQ(stored(*read), stored(*fresh));
  }
  // A filled store cleared: no title, 800 x 600 in a window, no fade-in, 700 ms
  // transitions, page setting 10, grey ground, border 6 in grey, white,
  // black and yellow, no logo, both extra flags, toolkit value 200, menu
  // mode 0; tooltips shaded with flags 15; at the end, dialogs dragged live,
  // draggable, greyed (not darkened) behind; no records.
  template_test::fill_store(store);
  store.clear();
  const std::string cleared = hex_of(store);
  EXPECT_EQ(cleared.substr(0, 102), "00000000200358020000BC0200000A000000C0C0C0FF808080FFFFFFFFFF000101"
                                    "C80006000000000000FF00FFFFFF00000000");
  EXPECT_EQ(cleared.substr(cleared.size() - 64), "01010100" + std::string(56, '0'));
  EXPECT_EQ(store.tooltip_style.shading_flags, 15);
}

TEST_F(TemplateRecords, AReadStartsFromTheDefaults) {
  // A used object and page read from fresh ones' bytes store those bytes.
  WM_PTM_OBJECT_INFO blank, used;
  fill_object(used, store);
  WM_PTM_PAGE_INFO empty_page, page;
  page.page_text.set("left over");
  for (auto [fresh, read] : {std::pair<DATA_DEVICE_CLIENT*, DATA_DEVICE_CLIENT*>{&blank, &used},
                             {&empty_page, &page}}) {
    MEMORY_DEVICE device(stored(*fresh));
    ASSERT_TRUE(device.read_object(*read));
    EXPECT_EQ(stored(*read), device.bytes);
  }
  EXPECT_EQ(used.name.get_length(), 0);
  EXPECT_EQ(used.own_style, nullptr);
  EXPECT_EQ(page.page_text.get_length(), 0);

  // Version 8 stores no folder, version 7 no names either: the image gets
  // the default folder back and no name.
  WM_PTM_IMAGE_INFO image;
  for (uint16_t version : {8, 7}) {
    image.set_name("logo");
    strcpy(image.folder, "$APP/elsewhere");
    template_read_version = version;
    MEMORY_DEVICE image_device(std::string(8, '\0'));  // two absent texts
    EXPECT_TRUE(image_device.read_object(image)) << version;
    EXPECT_EQ(image.name, nullptr) << version;
    EXPECT_STREQ(image.folder, "$APPDATA/images") << version;
  }
  template_read_version = TEMPLATE_STREAM_VERSION;
}

TEST_F(TemplateRecords, ReadingWithoutAStoreGivesNoReferences) {
  WM_PTM_OBJECT_INFO object;
  fill_object(object, store);
  std::vector<uint8_t> bytes = stored(object);
  WM_PTM_OBJECT_INFO copy;
  owner.reset();
  MEMORY_DEVICE device(bytes);
  EXPECT_TRUE(device.read_object(copy));
  EXPECT_EQ(copy.style, nullptr);
  EXPECT_EQ(copy.image, nullptr);
  EXPECT_EQ(copy.cell_style, nullptr);
}

TEST_F(TemplateRecords, EditingNamesAndCopies) {
  WM_PTM_AREA_INFO area;
  for (int i = 0; i < 3; i++) ASSERT_TRUE(area.add_page());
  EXPECT_STREQ(area.get_page(2)->name, "Page 3");
  EXPECT_NE(area.get_page(1)->id, area.get_page(2)->id);
  EXPECT_FALSE(area.remove_page(3));
  ASSERT_TRUE(area.set_page_count(1));
  ASSERT_TRUE(area.remove_page(0));
  EXPECT_EQ(area.get_page_count(), 0);

  WM_PTM_DIALOG_INFO dialog;
  ASSERT_TRUE(dialog.add_object(2) && dialog.add_object(16));
  EXPECT_STREQ(dialog.get_object(1)->name.get_text(), "Object 2");
  EXPECT_EQ(dialog.get_object(1)->type, 16u);

  WM_PTM_OBJECT_INFO source;
  fill_object(source, store);
  WM_PTM_OBJECT_INFO copy;
  copy.copy_from(source);
  EXPECT_EQ(stored(copy), stored(source));
  EXPECT_NE(copy.own_style, source.own_style);
  EXPECT_NE(copy.text, source.text);
  EXPECT_EQ(copy.style, source.style);

  const char* kept = copy.text;
  copy.set_text("Play game");
  EXPECT_EQ(copy.text, kept);

  // A move takes the texts, own style and children over and leaves the
  // source as a reset template without a name.
  const std::vector<uint8_t> before = stored(copy);
  const WM_STYLE_SET* own = copy.own_style;
  WM_PTM_OBJECT_INFO moved;
  moved.move_from(copy);
  EXPECT_EQ(stored(moved), before);
  EXPECT_EQ(std::tuple(moved.own_style, moved.text, copy.own_style, copy.text, copy.get_child_count(), copy.name.get_length()),
            std::tuple(own, kept, nullptr, nullptr, 0, 0));

  // The source inside the target's own tree (a child, a grandchild), or the
  // target inside the source's: a copy ends as the source was; a move takes
  // a source out of the tree first, and refuses a source that holds it.
  enum RELATION { CHILD, GRANDCHILD, PARENT };
  for (const bool moving : {false, true}) {
    for (const RELATION relation : {CHILD, GRANDCHILD, PARENT}) {
      WM_PTM_OBJECT_INFO outer;
      fill_object(outer, store);
      WM_PTM_OBJECT_INFO* inner = relation == GRANDCHILD ? outer.get_child(0)->get_child(0)
                                                         : outer.get_child(0);
      WM_PTM_OBJECT_INFO& target = relation == PARENT ? *inner : outer;
      WM_PTM_OBJECT_INFO& source = relation == PARENT ? outer : *inner;
      const std::vector<uint8_t> wanted =
          moving && relation == PARENT ? stored(target) : stored(source);
      if (moving) target.move_from(source);
      else target.copy_from(source);
      EXPECT_EQ(stored(target), wanted) << moving << relation;
    }
  }

  WM_PTM_PAGE_INFO page;
  page.id = 0xBEEF;
  page.set_legacy_background("back.png");
  ASSERT_EQ(page.background, store.images.back().get());
  EXPECT_STREQ(page.background->name, "Page beef");
  page.set_legacy_background("");
  EXPECT_EQ(page.background, nullptr);
}

TEST_F(TemplateRecords, IdentifiersShareOneNumberSpacePerScope) {
  for (const auto& [text, prefix, wanted] : {std::array<const char*, 3>{"play game", "AID_", "AID_PLAY_GAME"},
                                             {"aid_exit", "AID_", "AID_EXIT"}, {"Go!", "CID_", "CID_GO_"}}) {
    const std::unique_ptr<char[]> made(WM_PTM_OBJECT_INFO::make_identifier(text, prefix));
    EXPECT_STREQ(made.get(), wanted);
  }

  WM_PTM_PAGE_INFO page;
  for (int i = 0; i < 3; i++) ASSERT_TRUE(page.add_object(2));
  ASSERT_TRUE(page.get_object(2)->add_child(16));
  std::vector<const TEMPLATE_LIST*> scope = {&page.get_objects()};
  WM_PTM_OBJECT_INFO* first = page.get_object(0);
  WM_PTM_OBJECT_INFO* second = page.get_object(1);
  WM_PTM_OBJECT_INFO* child = page.get_object(2)->get_child(0);
  first->set_identifiers("play", "list", scope);
  EXPECT_EQ(first->user_word_1, 1u);
  EXPECT_EQ(first->control_id, 2u);
  second->set_identifiers("play", "", scope);
  EXPECT_EQ(second->user_word_1, 1u);
  EXPECT_EQ(second->control_name, nullptr);
  child->set_identifiers("quit", "list", scope);
  EXPECT_EQ(child->user_word_1, 3u);
  EXPECT_EQ(child->control_id, 2u);
  page.get_object(2)->set_identifiers("", "list", scope);  // number 2, as its child
  EXPECT_EQ(page.get_object(2)->user_word_1, 0u);
  EXPECT_EQ(page.get_object(2)->action_name, nullptr);

  WM_PTM_OBJECT_INFO& root = *page.get_object(2);
  EXPECT_EQ(WM_PTM_OBJECT_INFO::find_identifier_value(root, "AID_QUIT", nullptr), 3u);
  EXPECT_EQ(WM_PTM_OBJECT_INFO::find_identifier_value(root, "AID_QUIT", child), 0u);
  EXPECT_STREQ(WM_PTM_OBJECT_INFO::find_identifier_name(root, 2, nullptr), "CID_LIST");
  EXPECT_EQ(WM_PTM_OBJECT_INFO::find_identifier_name(root, 2, nullptr), root.control_name);
  EXPECT_EQ(WM_PTM_OBJECT_INFO::find_identifier_name(root, 3, child), nullptr);
  EXPECT_EQ(WM_PTM_OBJECT_INFO::find_identifier_name(root, 9, nullptr), nullptr);
}

}  // namespace
