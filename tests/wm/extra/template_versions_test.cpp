// Template streams of older versions, written here by hand field by field
// from the stored layout, crossing each version gate: what every version
// reads, the conversions of the old layouts, and that any cut fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "folder.h"
#include "memory_device.h"
#include "parameter.h"
#include "template_stream.h"
#include "test_support.h"
#include "wm_ptm_app_info.h"
#include "wm_ptm_object_info.h"

using test_support::MEMORY_DEVICE;

namespace {

constexpr uint32_t kPageId = 0xAB;
constexpr uint32_t kHotkey = 0xFF0D;

// A stream of version v that writes only what v stores.
struct OLD_STREAM {
  explicit OLD_STREAM(uint16_t v) : v(v) {}
  const uint16_t v;
  MEMORY_DEVICE d;
  WM_STYLE_SET plain;

  void effects(uint16_t flags, std::initializer_list<uint8_t> bytes) {
    if (v >= 25) {
      d.write_u16(flags);
      d.write_i32(11);
      d.write_i32(12);
      d.write_u8(13);
    } else {
      for (uint8_t b : bytes) d.write_u8(b);
    }
  }

  // A text child: old type 0 up to version 12 (read as a text object).
  void legacy_text_child() {
    d.write_u32(0);
    d.write_u32(2);  // shading type
    for (int i = 0; i < 3; i++) d.write_u32(0);
    d.write_u8(1);
    for (int i = 0; i < 4; i++) d.write_u16(0);
    if (v >= 2) {
      d.write_string(nullptr);
      d.write_string(nullptr);
    }
    d.write_string("hi");
    for (uint32_t colour : {0xFF000001u, 0xFF000002u, 0xFF000003u}) d.write_u32(colour);
    d.write_u16(0x0005);  // draw border and indent border, the old way
    d.write_u16(15);
    if (v >= 6) {
      d.write_u8(2);
      d.write_u16(12);
      d.write_u16(14);
    }
    d.write_u32(0);
  }

  void legacy_button() {
    d.write_u32(2);
    d.write_u32(3);  // shading type
    d.write_u32(5);
    d.write_u32(6);
    d.write_u32(0);
    d.write_u8(1);
    for (uint16_t part : {10, 20, 100, 30}) d.write_u16(part);
    if (v >= 2) {
      d.write_string("AID_GO");
      d.write_string(nullptr);
    }
    d.write_string("Go");
    if (v == 7) d.write_string("tip");
    for (uint32_t colour = 0xFF000010; colour < 0xFF000016; colour++) d.write_u32(colour);
    d.write_u32(0);  // ignored
    // Left-justified text, the shadow border, plus chiseled text where the
    // flags are wide enough to hold it.
    if (v <= 4) d.write_u16(0x1201);
    else d.write_u32(0x11201);
    d.write_u16(0x8000);  // shading flags, negative as i16
    d.write_u8(0);
    d.write_u8(1);  // the hot-key bit
    if (v >= 3) d.write_string("btn");
    if (v >= 4) d.write_u8(0);
    if (v >= 6) {
      d.write_u8(2);
      d.write_u16(12);
      d.write_u16(14);
    }
    d.write_u32(1);
    legacy_text_child();
  }

  void text_child() {
    if (v >= 22) d.write_u8(0);
    d.write_u32(v <= 12 ? 0 : 16);
    d.write_string(nullptr);
    d.write_u32(0);
    d.write_u32(0);
    d.write_string(nullptr);
    d.write_u32(0);
    for (int i = 0; i < 4; i++) d.write_u16(0);
    if (v >= 11 && v <= 17) d.write_u32(0);
    d.write_u8(0);
    d.write_string("hi");
    if (v >= 26) d.write_string("child");
    d.write_i32(-1);
    if (v >= 21) d.write_u32(0);
    d.write_string(nullptr);
    d.write_u8(1);
    if (v >= 12) d.write_u8(2);
    else d.write_u32(1);
    if (v >= 19) d.write_u8(0);
    if (v >= 12) d.write_u8(2);
    else d.write_u32(1);
    d.write_u8(1);
    if (v >= 17) d.write_i32(-1);
    if (v >= 21) {
      d.write_u16(20);
      d.write_u16(1);
      d.write_string(nullptr);
      d.write_i32(-1);
    }
    if (v >= 20) {
      d.write_u16(0xFFFF);
      d.write_u16(0xFFFF);
    }
    d.write_u32(0);
  }

  void button() {
    if (v <= 7) return legacy_button();
    if (v >= 22) d.write_u8(0);
    d.write_u32(2);  // a button in the old numbering and the new
    d.write_string("AID_GO");
    d.write_u32(5);
    d.write_u32(6);
    d.write_string(nullptr);
    d.write_u32(0);
    for (uint16_t part : {10, 20, 100, 30}) d.write_u16(part);
    if (v >= 11 && v <= 17) d.write_u32(0xDEAD);  // ignored
    d.write_u8(0);
    d.write_string("Go");
    if (v >= 26) d.write_string("Go button");
    d.write_i32(0);  // the first style set
    if (v >= 21) d.write_u32(0xABCD);
    d.write_string("tip");
    d.write_u8(1);
    if (v >= 12) d.write_u8(3);
    else d.write_u32(1);  // kind 1 of old: 2
    if (v >= 19) {
      d.write_u8(1);
      d.write_i32(static_cast<int32_t>(kHotkey));
    }
    if (v >= 12) d.write_u8(1);
    else d.write_u32(0);  // image mode 0 of old: 1
    d.write_u8(1);
    if (v >= 17) d.write_i32(-1);
    if (v >= 21) {
      d.write_u16(0);
      d.write_u16(2);
      d.write_string("1,2");
      d.write_i32(-1);
    }
    if (v >= 20) {
      d.write_u16(0xFFFF);
      d.write_u16(0xFFFF);
    }
    d.write_u32(1);
    text_child();
  }

  void areas() {
    d.write_u32(1);
    d.write_string("A");
    for (uint16_t part : {1, 2, 300, 200}) d.write_u16(part);
    d.write_i32(-2);
    d.write_u32(1);
    d.write_u32(kPageId);
    d.write_string("P");
    if (v <= 16) {
      d.write_string("back.png");
    } else {
      d.write_i32(0);  // the first image
      d.write_u32(3);
    }
    if (v >= 26) d.write_string("page text");
    d.write_u32(1);
    button();
    if (v >= 8 && v <= 17) d.write_u16(0);
  }

  void arrays() {
    d.write_u32(1);
    WM_STYLE_SET style;
    style.set_name("S");
    d.write_object(style);
    d.write_u32(0);  // fonts
    d.write_u32(1);
    d.write_string("C");
    d.write_u32(0xFF123456);
    d.write_u32(1);
    d.write_string("I");
    d.write_string("i.png");
    if (v >= 16) {
      char path[TEMPLATE_PATH_SIZE] = "$APPDATA/pics";
      d.write(path, sizeof path);
    } else if (v >= 10) {
      FOLDER folder;  // the program's folder
      d.write_object(folder);
    }
    d.write_u32(1);
    d.write_string("K");
    if (v >= 17) {
      PARAMETER value("x");
      d.write_object(value);
    } else {
      d.write_u32(42);
    }
    if (v >= 24) {
      d.write_u32(1);
      d.write_string("D");
      d.write_string("Sure?");
      for (uint16_t part : {0xFFFF, 0xFFFF, 200, 100}) d.write_u16(part);
      d.write_u32(0);
    }
  }

  // The store body of version v.
  std::string body() {
    d.write_string("Old");
    d.write_u16(640);
    d.write_u16(480);
    d.write_u8(1);
    d.write_u8(3);
    d.write_i32(300);
    if (v >= 17) d.write_u32(4);
    for (uint32_t colour : {0xFF010101u, 0xFF020202u, 0xFF030303u}) d.write_u32(colour);
    if (v <= 7) {
      for (uint32_t colour = 0xFF000011; colour <= 0xFF000018; colour++) d.write_u32(colour);
      d.write_u8(0);
      areas();
      if (v >= 1) d.write_u32(9);
      return d.text();
    }
    d.write_u8(1);
    if (v >= 23) {
      d.write_u8(0);
      d.write_u8(2);
    }
    d.write_u16(77);
    d.write_u32(4);
    d.write_u32(0xFF040404);
    d.write_u32(0xFF050505);
    if (v <= 17) d.write_u16(0);
    d.write_u32(1);
    effects(0x11, {1, 0, 1, 1});
    effects(0x22, {0, 1, 0, 0});
    d.write_object(plain);
    if (v >= 25) {
      d.write_u16(0x33);
      d.write_i32(1);
      d.write_i32(2);
      d.write_u8(3);
    }
    for (int i = 0; i < 3; i++) d.write_object(plain);
    d.write_u8(0);
    if (v >= 25) d.write_u8(0);
    d.write_u8(0);
    if (v >= 18) d.write_u8(1);
    if (v == 8) areas();
    arrays();
    if (v >= 9) areas();
    return d.text();
  }
};

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
    {8, 4, 10, 0x13, 2, false, false, false, "Page ab", 2, "42", "$APPDATA/images", "Go"},
    {11, 4, 10, 0x13, 2, false, false, true, "Page ab", 2, "42", "$APP", "Go"},
    {16, 4, 10, 0x13, 3, false, false, true, "Page ab", 2, "42", "$APPDATA/pics", "Go"},
    {24, 4, 4, 0x13, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go"},
    {26, 4, 4, 0x11, 3, true, false, true, "I", 1, "x", "$APPDATA/pics", "Go button"},
};

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
  OLD_STREAM stream(gate.version);
  MEMORY_DEVICE header;
  header.write_u16(gate.version);
  if (gate.version >= 15) header.write_u8(0);  // no image cache
  // The byte-order byte as the writer puts it, then the header and body.
  std::string file = std::string(1, '\0') + header.text() + stream.body();
  ASSERT_TRUE(test_support::write_file(scratch.file("old.tpl"), file));
  ASSERT_TRUE(store.load(folder, "old.tpl", nullptr));

  EXPECT_STREQ(store.title, "Old");
  EXPECT_EQ(store.screen_width, 640);
  EXPECT_EQ(store.transition_duration, 300);
  EXPECT_EQ(store.border_width, gate.border_width);
  EXPECT_EQ(store.default_page_setting, gate.default_page_setting);
  EXPECT_EQ(store.extra_flag_2, gate.version >= 23 ? 2 : 1);
  if (gate.menu_flags) {
    EXPECT_EQ(store.menu_effects.flags, gate.menu_flags);
  }
  EXPECT_EQ(store.dialogs.size(), gate.version >= 24 ? 1u : 0u);
  if (gate.version <= 7) {
    // The old colour tail went straight into the dialog styles.
    EXPECT_EQ(store.dialog_body_style.bg_colour, 0xFF000011u);
    EXPECT_EQ(store.dialog_button_style.highlight_text_colour, 0xFF000018u);
    EXPECT_EQ(store.dialog_button_style.drawing_flags, 1u);
    EXPECT_EQ(store.dialog_backdrop_1, 0);
    EXPECT_TRUE(store.style_sets.empty());
  } else {
    EXPECT_EQ(store.toolkit_value, 77);
    EXPECT_EQ(store.border_colour_4, 0xFF050505u);
    EXPECT_EQ(store.dialog_backdrop_2, gate.version >= 18 ? 1 : 0);
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
  EXPECT_EQ(button->type, 2u);
  EXPECT_EQ(button->user_word_1, 5u);
  EXPECT_EQ(button->width, 100);
  EXPECT_STREQ(button->action_name, gate.version >= 2 ? "AID_GO" : nullptr);
  EXPECT_STREQ(button->text, "Go");
  EXPECT_STREQ(button->name.get_text(), gate.object_name);
  EXPECT_STREQ(button->tooltip, gate.version >= 7 ? "tip" : nullptr);
  EXPECT_EQ(button->button_kind, gate.button_kind);
  EXPECT_EQ(button->hotkey, gate.has_hotkey ? kHotkey : 0u);
  EXPECT_EQ(button->style, gate.style_resolves ? store.find_style_set("S") : nullptr);
  ASSERT_EQ(button->get_child_count(), 1);
  WM_PTM_OBJECT_INFO* child = button->get_child(0);
  EXPECT_EQ(child->type, 16u);
  EXPECT_STREQ(child->text, "hi");
  ASSERT_EQ(button->own_style != nullptr, gate.legacy_look);
  ASSERT_EQ(child->own_style != nullptr, gate.legacy_look);
  if (!gate.legacy_look) return;
  const WM_STYLE_SET& look = *button->own_style;
  EXPECT_EQ(look.shading_type, 3u);
  EXPECT_EQ(look.bg_colour, 0xFF000010u);
  EXPECT_EQ(look.highlight_text_colour, 0xFF000015u);
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
