// Template streams of older versions, written here by hand field by field
// from the stored layout, crossing each version gate: what every version
// reads, the conversions of the old layouts, and that any cut fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "folder.h"
#include "memory_device.h"
#include "parameter.h"
#include "template_old_stream.h"
#include "template_stream.h"
#include "template_test_store.h"
#include "test_support.h"
#include "wm_ptm_app_info.h"
#include "wm_ptm_object_info.h"

using template_test::kHotkey;
using template_test::kPageId;
using template_test::OLD_STREAM;
using test_support::MEMORY_DEVICE;

namespace {

// What a version keeps of the hand-written store.
struct GATE {
  uint16_t version;
  uint32_t border_width;
  uint32_t default_page_setting;
  uint16_t menu_flags;    // 0: the toolkit's default stays
  uint8_t button_kind;
  bool has_hotkey;
  bool legacy_look;       // the object carries its look as an own style
  bool style_resolves;    // the style index meets the style-set array
  const char* background; // name of the page's background image
  size_t image_count;
  const char* constant;   // null: no constants
  const char* image_folder;
  const char* object_name;
};

const GATE kGates[] = {
    {0, 6, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {3, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {5, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {7, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {2, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {4, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {6, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {8, 4, 10, 0x13, 2, false, false, false, "Page ab", 2, "42", "$APPDATA/images", "Go"},
    {11, 4, 10, 0x13, 2, false, false, true, "Page ab", 2, "42", "$APP", "Go"},
    {16, 4, 10, 0x13, 3, false, false, true, "Page ab", 2, "42", "$APPDATA/pics", "Go"},
    {1, 9, 10, 0, 2, false, true, false, "Page ab", 1, nullptr, nullptr, "Go"},
    {9, 4, 10, 0x13, 2, false, false, true, "Page ab", 2, "42", "$APPDATA/images", "Go"},
    {12, 4, 10, 0x13, 3, false, false, true, "Page ab", 2, "42", "$APP", "Go"},
    {17, 4, 4, 0x13, 3, false, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {18, 4, 4, 0x13, 3, false, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {19, 4, 4, 0x13, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {20, 4, 4, 0x13, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {21, 4, 4, 0x13, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {23, 4, 4, 0x13, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {24, 4, 4, 0x13, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {25, 4, 4, 0x11, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {26, 4, 4, 0x11, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go button"},
};

// Test names already carry the version; without this gtest would list
// every gate as a dump of its bytes.
void PrintTo(const GATE& gate, std::ostream* out) { *out << "version " << gate.version; }

struct TemplateVersions : ::testing::TestWithParam<GATE> {
  void SetUp() override {
    ASSERT_TRUE(folder.set_absolute(scratch.path().c_str()));
    template_fetch_resources = 0;
  }
  void TearDown() override {
    template_fetch_resources = 1;
    template_read_version = TEMPLATE_STREAM_VERSION;
  }
  test_support::ScratchDir scratch;
  FOLDER folder;
  WM_PTM_APP_INFO store;
};

TEST_P(TemplateVersions, AHandWrittenStreamLoadsWithItsGatedFieldsAndConversions) {
  const GATE& gate = GetParam();
  const std::string body = OLD_STREAM(gate.version).body();
  MEMORY_DEVICE header;
  header.write_u16(gate.version);
  if (gate.version >= 15) header.write_u8(0);  // no image cache
  // The byte-order byte as the writer puts it, then the header and body.
  std::string file = std::string(1, '\0') + header.text() + body;
  ASSERT_TRUE(test_support::write_file(scratch.file("old.tpl"), file));
  template_test::fill_store(store);  // nothing of it may outlast the load
  ASSERT_TRUE(store.load(folder, "old.tpl", nullptr));

  EXPECT_STREQ(store.title, "Old");
  EXPECT_EQ(store.screen_width, 640);
  EXPECT_EQ(store.transition_duration, 300);
  EXPECT_EQ(store.border_width, gate.border_width);
  EXPECT_EQ(store.default_page_setting, gate.default_page_setting);
  EXPECT_EQ(store.extra_flag_2, gate.version >= 23 ? 2 : 1);
  if (gate.menu_flags) { EXPECT_EQ(store.menu_effects.flags, gate.menu_flags); }
  EXPECT_EQ(store.dialogs.size(), gate.version >= 24 ? 1u : 0u);
  if (gate.version <= 7) {
    // The old colour tail went straight into the dialog styles.
    EXPECT_EQ(std::tuple(store.dialog_body_style.bg_colour, store.dialog_button_style.highlight_text_colour,
                         store.dialog_button_style.drawing_flags, store.dialog_backdrop_1), std::tuple(0xFF000011u, 0xFF000018u, 1u, 0));
    EXPECT_TRUE(store.style_sets.empty());
  } else {
    const std::pair<int64_t, int64_t> kept[] = {
        {store.toolkit_value, 77}, {store.border_colour_4, 0xFF050505u}, {store.show_logo, 1},
        {store.extra_flag_1, gate.version >= 23 ? 0 : 1}, {store.dialog_live_drag, 0},
        {store.dialog_draggable, gate.version >= 25 ? 2 : 1}, {store.dialog_backdrop_1, 3},
        {store.dialog_backdrop_2, gate.version >= 18 ? 1 : 0}};
    for (size_t i = 0; i < std::size(kept); i++) EXPECT_EQ(kept[i].first, kept[i].second) << i;
  }

  ASSERT_EQ(store.areas.size(), 1u);
  EXPECT_EQ(store.areas[0]->tag, -2);
  ASSERT_EQ(store.areas[0]->get_page_count(), 1);
  WM_PTM_PAGE_INFO* page = store.areas[0]->get_page(0);
  EXPECT_EQ(page->id, kPageId);
  ASSERT_NE(page->background, nullptr);
  EXPECT_STREQ(page->background->name, gate.background);
  EXPECT_EQ(store.images.size(), gate.image_count);
  EXPECT_EQ(page->page_setting, gate.version >= 17 ? 3u : 0u);
  EXPECT_STREQ(page->page_text.get_text(), gate.version >= 26 ? "page text" : nullptr);
  if (gate.constant) {
    ASSERT_EQ(store.constants.size(), 1u);
    EXPECT_STREQ(store.constants[0]->value.get_text(PARAMETER::VALUE), gate.constant);
    WM_PTM_IMAGE_INFO* file_image = store.find_image("I");
    ASSERT_NE(file_image, nullptr);
    EXPECT_STREQ(file_image->folder, gate.image_folder);
  } else {
    EXPECT_TRUE(store.constants.empty());
  }

  ASSERT_EQ(page->get_object_count(), 1);
  WM_PTM_OBJECT_INFO* button = page->get_object(0);
  EXPECT_STREQ(button->action_name, gate.version >= 2 ? "AID_GO" : nullptr);
  EXPECT_STREQ(button->text, "Go");
  EXPECT_STREQ(button->name.get_text(), gate.object_name);
  EXPECT_STREQ(button->tooltip, gate.version >= 7 ? "tip" : nullptr);
  // Before grids kept their row height and columns: 20 pixels, one column.
  const std::pair<int64_t, int64_t> fields[] = {
      {button->type, 2}, {static_cast<int64_t>(button->user_word_1), 5}, {button->width, 100},
      {button->button_kind, gate.button_kind}, {button->hotkey, gate.has_hotkey ? kHotkey : 0u},
      {button->image_mode, gate.legacy_look ? 2 : 1}, {button->image_visible, gate.legacy_look ? 1 : 0},
      {button->row_height, gate.version >= 21 ? 0 : 20}, {button->column_count, gate.version >= 21 ? 2 : 1},
      {button->cell_row, gate.version >= 20 ? 4 : 0xFFFF},
      {button->cell_column, gate.version >= 20 ? 1 : 0xFFFF}};
  for (size_t i = 0; i < std::size(fields); i++) EXPECT_EQ(fields[i].first, fields[i].second) << i;
  EXPECT_EQ(button->style, gate.style_resolves ? store.find_style_set("S") : nullptr);
  ASSERT_EQ(button->get_child_count(), 1);
  WM_PTM_OBJECT_INFO* child = button->get_child(0);
  EXPECT_EQ(child->type, 16u);
  EXPECT_STREQ(child->text, "hi");
  ASSERT_EQ(button->own_style != nullptr, gate.legacy_look);
  ASSERT_EQ(child->own_style != nullptr, gate.legacy_look);
  if (gate.version == TEMPLATE_STREAM_VERSION) {
    // The writer puts every field back where the hand-written layout has it.
    MEMORY_DEVICE again;
    ASSERT_TRUE(again.write_object(store));
    const std::string written = again.text();
    const auto differ = std::mismatch(body.begin(), body.end(), written.begin(), written.end());
    EXPECT_EQ(differ.first - body.begin(), static_cast<ptrdiff_t>(body.size()))
        << "the first byte written elsewhere";
    EXPECT_EQ(written.size(), body.size());
  }
  if (!gate.legacy_look) return;
  const WM_STYLE_SET& look = *button->own_style;
  EXPECT_EQ(std::tuple(look.shading_type, look.bg_colour, look.highlight_text_colour), std::tuple(3u, 0xFF000010u, 0xFF000015u));
  EXPECT_EQ(button->enabled, gate.version >= 4 ? 0 : 1);
  // Left-justified text, a shadow border drawn indented (negative shading
  // flags), and from version 5 on chiseled text.
  EXPECT_EQ(look.drawing_flags, 0x40u | 0x3u | 0x1u | (gate.version >= 5 ? 0x800u : 0u));
  EXPECT_EQ(look.extended_flags, 0x2u);
  EXPECT_STREQ(look.image_filename, gate.version >= 3 ? "btn" : nullptr);
  EXPECT_EQ(look.font_id, gate.version >= 6 ? 2 : 255);
  EXPECT_EQ(child->own_style->drawing_flags, 0x3u | 0x40u);
  EXPECT_EQ(child->own_style->fading_colour, 0xFF000003u);
}

TEST_P(TemplateVersions, EveryCutOfTheBodyFailsCleanly) {
  const GATE& gate = GetParam();
  std::string body = OLD_STREAM(gate.version).body();
  template_read_version = gate.version;
  for (size_t cut = 0; cut < body.size(); cut++) {
    MEMORY_DEVICE device(body.substr(0, cut));
    EXPECT_FALSE(device.read_object(store)) << cut;
  }
  MEMORY_DEVICE whole(body);
  EXPECT_TRUE(whole.read_object(store));
  EXPECT_EQ(whole.position, body.size());
}

INSTANTIATE_TEST_SUITE_P(Gates, TemplateVersions, ::testing::ValuesIn(kGates),
                         [](const ::testing::TestParamInfo<GATE>& info) {
                           return "v" + std::to_string(info.param.version);
                         });

// The old button words (shadow border, first old extended flag 0x10) with
// the hot-key bit kept or cleared and shading flags on both sides of zero:
// the hot-key bit gives 0x2, 0x10 gives 0x4; the shadow border is drawn
// indented (0x3) for negative shading flags only, raised (0x5) from zero up.
TEST(TemplateVersionsOldButton, HotKeyBitAndShadingSignPickTheMappedFlags) {
  // Hot-key bit, shading flags; drawing and extended flags; the length of the
  // picture's name, of which 255 bytes are kept and the rest skipped.
  const uint32_t rows[][5] = {{0, 0x8000, 0x843, 0x4, 3}, {1, 0xFFFF, 0x843, 0x6, 300}, {1, 0, 0x845, 0x6, 255}, {0, 1, 0x845, 0x4, 256}};
  for (const auto& r : rows) {
    MEMORY_DEVICE words, changed;
    for (MEMORY_DEVICE* d : {&words, &changed}) {
      d->write_u32(d == &words ? 0x11201 : 0x11211);
      d->write_u16(static_cast<uint16_t>(d == &words ? 0x8000 : r[1]));
      d->write_u8(0);
      d->write_u8(static_cast<uint8_t>(d == &words ? 1 : r[0]));
      d->write_string(d == &words ? "btn" : std::string(r[4], 'n').c_str());
    }
    std::string body = OLD_STREAM(7).body();
    const size_t at = body.find(words.text());
    ASSERT_NE(at, std::string::npos);
    body.replace(at, words.text().size(), changed.text());
    template_read_version = 7;
    WM_PTM_APP_INFO store;
    MEMORY_DEVICE device(body);
    const bool read = device.read_object(store);
    template_read_version = TEMPLATE_STREAM_VERSION;
    ASSERT_TRUE(read);
    const WM_STYLE_SET& look = *store.areas[0]->get_page(0)->get_object(0)->own_style;
    EXPECT_EQ(look.drawing_flags, r[2]) << r[1];
    EXPECT_EQ(look.extended_flags, r[3]) << r[1];
    EXPECT_EQ(look.image_filename, std::string(std::min(r[4], 255u), 'n'));
  }
}

TEST(TemplateVersionsRefused, Version27IsRefusedBeforeTheBody) {
  test_support::ScratchDir scratch;
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(scratch.path().c_str()));
  WM_PTM_APP_INFO store;
  std::string file = std::string("\0\x1B\0", 3) + OLD_STREAM(26).body();
  ASSERT_TRUE(test_support::write_file(scratch.file("new.tpl"), file));
  EXPECT_FALSE(store.load(folder, "new.tpl", nullptr));
  EXPECT_EQ(store.loaded, 0);
  EXPECT_EQ(store.title, nullptr);
}

}  // namespace
