#include "wm_style_set.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "debug_stream.h"
#include "default_dialog_styles.h"
#include "image_cache.h"
#include "memory_device.h"
#include "skin_frame.h"
#include "skin_test_support.h"

namespace {

using test_support::MEMORY_DEVICE;
using KEYS = std::vector<std::pair<std::string, std::string>>;

// Every required key, no flags, no images.
const KEYS kRequired = {
    {"image_filename", ""}, {"image_path", "$APP"}, {"shading_type", "2"},
    {"fg_colour", "#FF010101"}, {"bg_colour", "#FF020202"}, {"fading_colour", "#FF030303"},
    {"highlight_colour", "#FF040404"}, {"highlight_text_colour", "#FF050505"},
    {"active_colour", "#FF060606"}, {"visible", "1"}, {"shading_flags", "255"}, {"font_id", "4"},
    {"font_x_sz", "10"}, {"font_y_sz", "11"}, {"border_left_gap", "1"}, {"border_right_gap", "2"},
    {"border_top_gap", "3"}, {"border_bottom_gap", "4"}, {"cell_left_gap", "5"},
    {"cell_right_gap", "6"}, {"cell_top_gap", "7"}, {"cell_bottom_gap", "8"}, {"x_spacing", "9"},
    {"y_spacing", "10"}, {"scrollbar_button_width", "11"}, {"scrollbar_slider_width", "12"},
    {"grid_scrollbar_width", "13"}, {"grid_two_tone_value", "14"}};

KEYS changed(KEYS keys, const std::string& key, const char* value) {
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    if (it->first != key) continue;
    if (value) it->second = value;
    else keys.erase(it);
    return keys;
  }
  if (value) keys.emplace_back(key, value);
  return keys;
}

std::vector<uint8_t> record(WM_STYLE_SET& style) {
  MEMORY_DEVICE device;
  EXPECT_TRUE(style.put_to_data_device(&device));
  return device.bytes;
}

// The whole output against tests/references/core2/<name>, which a run with
// VORN_REFRESH_REFERENCES=1 (tests/refresh_references.sh) writes instead.
::testing::AssertionResult matches_reference_file(const std::string& name, const std::string& actual) {
  const std::string path = std::string(TEST_SOURCE_DIR) + "/references/core2/" + name;
  const char* refresh = getenv("VORN_REFRESH_REFERENCES");
  if (refresh && strcmp(refresh, "1") == 0) {
    if (test_support::write_file(path, actual)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cannot write the reference " << path;
  }
  if (test_support::read_file(path) == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name << " differs from its reference " << path;
}

int marker;  // its address is the font callbacks' context

uint8_t font_by_name(const char* name, intptr_t context) {
  return context == reinterpret_cast<intptr_t>(&marker) && std::string(name) == "Sans" ? 7 : 255;
}

const char* name_of_font(uint8_t id, intptr_t context) {
  return context == reinterpret_cast<intptr_t>(&marker) && id == 7 ? "Sans" : nullptr;
}

class StyleSetTest : public test_support::ScratchSkinTest {
protected:
  StyleSetTest() : ScratchSkinTest("style_set_test") {}

  bool read(const KEYS& keys, WM_STYLE_SET& style, const FOLDER* base = nullptr) {
    std::string text;
    for (const auto& [key, value] : keys) text += key + "\n\t" + value + "\n";
    EXPECT_TRUE(test_support::write_file(scratch.file("app/skin/style.ss"), text));
    CONFIG_FILE config;
    config.init("style.ss", false);
    config.set_absolute(skin.path);
    return style.read_config(config, font_by_name, reinterpret_cast<intptr_t>(&marker), base);
  }

  void save_png(const FOLDER& folder, const char* name) {
    IMAGE image(3, 2);
    const COLOUR red = 0xFFFF0000;
    image.fill_rect_solid(0, 0, 2, 1, &red);
    DATA_FILE* file = folder.open_data_file(name, 1, 0, false);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(image.save_png(file));
    ASSERT_TRUE(FOLDER::close_data_file(file));
  }
};

TEST_F(StyleSetTest, StyleFileReadsEveryKeyAndWritesItBack) {
  ASSERT_EQ(mkdir(scratch.file("app/skin/images").c_str(), 0755), 0);
  FOLDER images;
  ASSERT_TRUE(images.set_absolute(scratch.file("app/skin/images").c_str()));
  for (const char* name : {"btn.png", "btn_up.png", "btn_down.png", "btn_alt.png", "btn_more_over.png"})
    save_png(images, name);

  KEYS keys = {{"name", "button"}, {"image_filename", "btn"}, {"image_path", "$HERE/images"},
               {"shading_type", "3"}, {"fg_colour", "#FF112233"}, {"bg_colour", "&255,16,32,48"},
               {"fading_colour", "%100,0,50,100"}, {"highlight_colour", "@1,1,0,0"},
               {"highlight_text_colour", "#80FFFFFF"}};
  const char* optional[] = {"active_colour", "active_text_colour", "mouse_over_colour",
                            "mouse_over_text_colour", "flashing_colour", "flashing_text_colour",
                            "disabled_colour", "disabled_text_colour", "underline_colour"};
  for (int i = 0; i < 9; ++i) keys.emplace_back(optional[i], "#FF00000" + std::to_string(i + 1));
  KEYS rest = {{"visible", "0"}, {"shading_flags", "15"}, {"drawing_flags", "196613"},
               {"font_id", "3"}, {"font_x_sz", "12"}, {"font_y_sz", "14"}, {"font_name", "Sans"},
               {"border_left_gap", "-1"}, {"ssf_draw_border", "0"}, {"ssf_wrap_text", "1"},
               {"ssf_top_align_text", "1"}, {"ssf_up_arrow", "1"}, {"ssf_down_arrow", "1"},
               {"ssef_down_arrow", "0"}, {"ssf_auto_actiavte", "1"},
               {"ssef_grid_dont_shorten_scrollbar", "1"}, {"sssf_retain_width", "1"},
               {"sssf_retain_y_font_size", "256"}};
  keys.insert(keys.end(), rest.begin(), rest.end());
  for (size_t i = 15; i < kRequired.size(); ++i) keys.push_back(kRequired[i]);  // the other sizes

  WM_STYLE_SET style;
  ASSERT_TRUE(read(keys, style, &skin));
  EXPECT_EQ(std::string(style.name) + " " + style.image_filename + " " + style.image_path,
            "button btn $APP/skin/images");
  const std::pair<uint32_t, uint32_t> values[] = {  // what was read, what the file says
      {style.shading_type, 3}, {style.fg_colour, 0xFF112233}, {style.bg_colour, 0xFF102030},
      {style.fading_colour, 0xFF007FFF}, {style.highlight_colour, 0xFFFF0000},
      {style.highlight_text_colour, 0x80FFFFFF}, {style.active_colour, 0xFF000001},
      {style.underline_colour, 0xFF000009}, {style.border_colour, COLOUR_INVISIBLE},
      {style.visible, 0}, {style.shading_flags, 15}, {style.font_id, 7}, {style.font_x_sz, 12},
      {style.border_left_gap, 65535}, {style.border_right_gap, 2}, {style.grid_two_tone_value, 14},
      {style.drawing_flags, SSF_OUTSTANDING_BORDER | SSF_WRAP_TEXT | SSF_TOP_ALIGN_TEXT},
      {style.extended_flags, 3u | SSEF_UP_ARROW | SSEF_AUTO_ACTIVATE | SSEF_GRID_DONT_SHORTEN_SCROLLBAR},
      {style.scale_flags, 0x6F}};
  for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(values[i].first, values[i].second) << i;
  EXPECT_TRUE(style.is_loaded());
  for (int slot = 0; slot < STYLE_IMAGE_COUNT; ++slot) {
    bool present = slot == STYLE_IMAGE_BASE || slot == STYLE_IMAGE_UP || slot == STYLE_IMAGE_DOWN ||
                   slot == STYLE_IMAGE_ALTERNATE || slot == STYLE_IMAGE_MORE_OVER;
    EXPECT_EQ(style.state_images[slot] != nullptr, present) << slot;
  }
  EXPECT_EQ(wm_image_cache().get_width(style.state_images[STYLE_IMAGE_UP]->mid_mid), 3);

  CONFIG_FILE out;
  out.init("written.ss", false);
  out.set_absolute(skin.path);
  ASSERT_TRUE(style.write_config(out, name_of_font, reinterpret_cast<intptr_t>(&marker), &skin));
  const std::string text = test_support::read_file(scratch.file("app/skin/written.ss"));
  EXPECT_TRUE(matches_reference_file("written_style.ss", text));
  // A file that cannot grow past the entries before the colours: the failed colour write is reported.
  const auto cut_write_refused = [&] {
    const rlimit limit{text.find("fg_colour"), RLIM_INFINITY};
    signal(SIGXFSZ, SIG_IGN);
    out.init("cut.ss", false);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0 && !style.write_config(out, name_of_font, 0, &skin);
  };
  EXPECT_EXIT(_exit(cut_write_refused() ? 0 : 1), testing::ExitedWithCode(0), "");
  for (const char* line : {"name\n\tbutton\n", "\nimage_path\n\t$HERE/images/\n",
                           "\nbg_colour\n\t#FF102030\n", "\nborder_left_gap\n\t-1\n",
                           "\nfont_name\n\tSans\n", "\nssf_draw_border\n\t0\n", "\nsssf_retain_width\n\t1\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  for (const char* gone : {"\ndrawing_flags\n", "\nssf_up_arrow\n", "\nborder_colour\n"})
    EXPECT_EQ(text.find(gone), std::string::npos) << gone;
  const char* order[] = {"name\n", "\nimage_filename\n", "\nimage_path\n", "\nshading_type\n",
                         "\nfg_colour\n", "\nunderline_colour\n", "\nvisible\n", "\nfont_name\n",
                         "\nborder_left_gap\n", "\ngrid_two_tone_value\n", "\nssf_right_justify_text\n",
                         "\nssf_top_align_text\n", "\nssf_bottom_align_text\n",
                         "\nssf_use_text_colour_for_outline\n", "\nssef_grid_only_draw_used_lines\n",
                         "\nssef_grid_dont_shorten_scrollbar\n", "\nssef_pb_only_draw_bar\n",
                         "\nsssf_retain_y_font_size\n"};
  for (size_t i = 1; i < std::size(order); ++i)
    EXPECT_LT(text.find(order[i - 1]), text.find(order[i])) << order[i];

  WM_STYLE_SET again;
  ASSERT_TRUE(again.read_config(out, font_by_name, reinterpret_cast<intptr_t>(&marker), &skin));
  EXPECT_EQ(record(again), record(style));
  const std::vector<uint8_t> bytes = record(style);
  EXPECT_TRUE(matches_reference_file("stored_style.bin", std::string(bytes.begin(), bytes.end())));
  // Every other flag set: a key written from its neighbour's bit says the
  // opposite.
  WM_STYLE_SET stripes;
  stripes.set_name("stripes");
  stripes.drawing_flags = 0x155555;
  stripes.extended_flags = 0x2AAAAAA;
  stripes.scale_flags = 0x55;
  CONFIG_FILE striped;
  striped.init("stripes.ss", false);
  striped.set_absolute(skin.path);
  ASSERT_TRUE(stripes.write_config(striped));
  EXPECT_TRUE(matches_reference_file("striped_style.ss", test_support::read_file(scratch.file("app/skin/stripes.ss"))));
  EXPECT_NE(again.state_images[STYLE_IMAGE_MORE_OVER], nullptr);

  // Copies share the pictures; a copy onto itself keeps everything.
  WM_STYLE_SET copied(style);
  EXPECT_EQ(record(copied), record(style));
  EXPECT_EQ(copied.state_images[STYLE_IMAGE_UP]->mid_mid, style.state_images[STYLE_IMAGE_UP]->mid_mid);
  copied.copy(copied);
  EXPECT_STREQ(copied.name, "button");
  EXPECT_NE(copied.state_images[STYLE_IMAGE_DOWN], nullptr);
  copied.set_defaults();
  EXPECT_EQ(std::string(copied.name) + "|" + copied.image_path, "button|");
  EXPECT_EQ(copied.state_images[STYLE_IMAGE_UP], nullptr);
  EXPECT_EQ(copied.drawing_flags, 5u);
}

TEST_F(StyleSetTest, StyleFileEdgesAndMalformedValues) {
  ASSERT_EQ(mkdir(scratch.file("app/skin/sub").c_str(), 0755), 0);
  const FOLDER* kSkin = &skin;
  struct ROW {
    const char* key;
    const char* value;  // null: the key is left out
    const FOLDER* base;
    bool result;
    std::function<void(const WM_STYLE_SET&)> check;
  };
  const ROW rows[] = {
      {"image_path", "$HERE/sub", kSkin, true, [](auto& s) { EXPECT_STREQ(s.image_path, "$APP/skin/sub"); }},
      // Without a base, "$HERE" is the file's own folder.
      {"image_path", "$HERE", nullptr, true, [](auto& s) { EXPECT_STREQ(s.image_path, "$APP/skin"); }},
      {"image_path", "$HERE/later", nullptr, true, [](auto& s) { EXPECT_STREQ(s.image_path, "$APP/skin/later"); }},
      {"image_path", "$HEREAFTER/x", kSkin, true, [](auto& s) { EXPECT_STREQ(s.image_path, "$HEREAFTER/x"); }},
      // An unknown variable loads no images and never ends the program.
      {"image_filename", "btn", nullptr, true, [](auto& s) { EXPECT_TRUE(s.is_loaded()); }},
      {"drawing_flags", "2147483653", nullptr, true,
       [](auto& s) { EXPECT_EQ(s.drawing_flags, 5u); EXPECT_EQ(s.extended_flags, 0x8000u); }},
      {"ssf_inset_text", "1", nullptr, true, [](auto& s) {
         EXPECT_EQ(s.drawing_flags, SSF_INSET_TEXT); EXPECT_EQ(s.extended_flags, 0u);
         EXPECT_EQ(s.scale_flags, 238); EXPECT_EQ(s.underline_colour, COLOUR_INVISIBLE);
       }},
      {"ssf_disabled", "1", nullptr, true, [](auto& s) { EXPECT_EQ(s.drawing_flags, SSF_DISABLED); }},
      {"ssef_auto_actiavte", "1", nullptr, true, [](auto& s) { EXPECT_EQ(s.extended_flags, SSEF_AUTO_ACTIVATE); }},
      // Older "ssf_" names reach the extended bits below 16 only.
      {"ssf_grid_type_cells", "1", nullptr, true, [](auto& s) { EXPECT_EQ(s.extended_flags, SSEF_GRID_TYPE_CELLS); }},
      {"ssf_grid_scroll_by_line", "1", nullptr, true, [](auto& s) { EXPECT_EQ(s.extended_flags, 0u); }},
      // Missing: what came before stays, nothing after is read.
      {"image_filename", nullptr, nullptr, false, [](auto& s) { EXPECT_EQ(s.fg_colour, 0xFFFFFFFFu); }},
      {"image_path", nullptr, nullptr, false, [](auto& s) { EXPECT_EQ(s.fg_colour, 0xFFFFFFFFu); }},
      {"shading_type", nullptr, nullptr, false,
       [](auto& s) { EXPECT_STREQ(s.image_path, "$APP"); EXPECT_EQ(s.fg_colour, 0xFFFFFFFFu); }},
      {"grid_two_tone_value", nullptr, nullptr, false,
       [](auto& s) { EXPECT_EQ(s.grid_scrollbar_width, 13); EXPECT_EQ(s.grid_two_tone_value, 20); }},
      // Malformed: the field stays, the rest is read.
      {"visible", "yes", nullptr, false,
       [](auto& s) { EXPECT_EQ(s.visible, 1); EXPECT_EQ(s.grid_two_tone_value, 14); }},
      {"fg_colour", "red", nullptr, false,
       [](auto& s) { EXPECT_EQ(s.fg_colour, 0xFFFFFFFFu); EXPECT_EQ(s.bg_colour, 0xFF020202u); }},
      {"ssf_wrap_text", "x", nullptr, false, [](auto& s) { EXPECT_EQ(s.font_id, 4); }},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(std::string(row.key) + " = " + (row.value ? row.value : "(none)"));
    KEYS keys = changed(kRequired, row.key, row.value);
    if (std::string(row.key) == "image_filename") keys = changed(keys, "image_path", "$NO_SUCH_VARIABLE/x");
    WM_STYLE_SET style;
    EXPECT_EQ(read(keys, style, row.base), row.result);
    row.check(style);
  }
  struct stat made;  // naming a folder that is not there does not make it
  EXPECT_NE(stat(scratch.file("app/skin/later").c_str(), &made), 0);

  // A path longer than a configuration value is refused, not cut.
  WM_STYLE_SET style;
  style.set_name("long");
  std::string path = "$APP/" + std::string(300, 'p');
  strcpy(style.image_path, path.c_str());
  CONFIG_FILE out;
  out.init("long.ss", false);
  out.set_absolute(skin.path);
  EXPECT_FALSE(style.write_config(out));
  const std::string text = test_support::read_file(scratch.file("app/skin/long.ss"));
  EXPECT_NE(text.find("name\n\tlong\n"), std::string::npos);
  EXPECT_EQ(text.find("image_path"), std::string::npos);
  // So is an image file name longer than a value.
  style.set_image_filename(std::string(300, 'f').c_str());
  EXPECT_FALSE(style.write_config(out));
}

// A record of the given version, field by field; colours count up from
// 0xFF000001 in field order, absent ones skipped.
const uint32_t kColourSince[15] = {0, 0, 0, 0, 0, 0, 5, 0, 2, 2, 4, 3, 9, 9, 8};

std::vector<uint8_t> old_record(uint32_t version) {
  MEMORY_DEVICE device;
  device.write_u32(version);
  device.write_string("btn");
  device.write_string("old");
  char path[FOLDER_PATH_SIZE] = "$APP/skin";
  if (version < 6) device.write_u8(255);  // a stored folder
  device.write(path, sizeof path);
  device.write_u32(3);
  for (int i = 0; i < 15; ++i)
    if (version >= kColourSince[i]) device.write_u32(0xFF000001 + i);
  device.write_u8(0);
  device.write_u32(0x205);
  device.write_u32(0x300);
  if (version >= 7) device.write_u8(0x11);
  device.write_u16(0x0F);
  device.write_u8(2);
  for (int i = 0; i < 16; ++i) device.write_u16(static_cast<uint16_t>(100 + i));
  return device.bytes;
}

TEST_F(StyleSetTest, BinaryRecordRoundTripsAndReadsOlderVersions) {
  WM_STYLE_SET style;
  style.set_name("abc");
  style.set_image_filename("none");
  strcpy(style.image_path, "$APP/skin");
  style.shading_type = 0x01020304;
  style.underline_colour = 0xFFAABBCC;
  style.grid_two_tone_value = 0xBEEF;
  std::vector<uint8_t> bytes = record(style);
  ASSERT_EQ(bytes.size(), 2169u + 4 + 3);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), (std::vector<uint8_t>{9, 0, 0, 0, 4, 0, 0, 0}));
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "none");
  EXPECT_EQ(std::string(bytes.begin() + 19, bytes.begin() + 28), "$APP/skin");
  EXPECT_EQ(bytes[19 + 2047], 0);  // zero-filled behind the text
  EXPECT_EQ(bytes[19 + 2048], 4);  // shading_type, low byte first
  EXPECT_EQ(bytes[19 + 2048 + 4 + 14 * 4], 0xCC);
  EXPECT_EQ(bytes[bytes.size() - 1], 0xBE);
  memset(style.image_path, 'p', sizeof style.image_path);  // a path filling its field ends in a 0
  EXPECT_EQ(record(style)[19 + 2046] * 256 + record(style)[19 + 2047], 'p' * 256);

  MEMORY_DEVICE device(bytes);
  WM_STYLE_SET read_back;
  ASSERT_TRUE(read_back.get_from_data_device(&device));
  EXPECT_EQ(record(read_back), bytes);

  platform_debug_stream().apply_pending_settings();
  platform_debug_stream().flags = DEBUG_TO_CONSOLE;
  for (uint32_t version : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 12u}) {
    SCOPED_TRACE(version);
    std::vector<uint8_t> old = old_record(version);
    MEMORY_DEVICE input(old);
    WM_STYLE_SET s;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(s.get_from_data_device(&input));
    // A newer record says so on the platform's debug stream.
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said.find("version 12 read as version 9") != std::string::npos, version == 12) << said;
    EXPECT_EQ(input.position, old.size());
    EXPECT_EQ(std::string(s.name) + " " + s.image_path, "old $APP/skin");
    EXPECT_EQ(s.shading_type, 3u);
    COLOUR* colours[] = {&s.fg_colour, &s.bg_colour, &s.fading_colour, &s.highlight_colour,
                         &s.highlight_text_colour, &s.active_colour, &s.active_text_colour,
                         &s.border_colour, &s.mouse_over_colour, &s.mouse_over_text_colour,
                         &s.flashing_colour, &s.flashing_text_colour, &s.disabled_colour,
                         &s.disabled_text_colour, &s.underline_colour};
    for (int i = 0; i < 15; ++i)
      EXPECT_EQ(*colours[i], version >= kColourSince[i] ? 0xFF000001u + i : COLOUR_INVISIBLE) << i;
    EXPECT_EQ((std::vector<uint32_t>{s.drawing_flags, s.extended_flags, s.scale_flags, s.font_id, s.font_x_sz,
                                     s.grid_two_tone_value}),
              (std::vector<uint32_t>{0x205, 0x300, version >= 7 ? 0x11u : 238u, 2, 100, 115}));
  }
}

TEST_F(StyleSetTest, MalformedRecordsFailWithoutCrashing) {
  WM_STYLE_SET source;
  source.set_image_filename("file");
  const std::vector<uint8_t> good = record(source);
  auto with_u32 = [&good](size_t at, uint32_t value) {
    MEMORY_DEVICE device(good);
    device.position = at;
    device.write_u32(value);
    return device.bytes;
  };
  struct ROW {
    const char* what;
    std::vector<uint8_t> bytes;
    bool can_seek_end;
  };
  std::vector<ROW> rows = {
      {"empty", {}, true},
      {"huge file name length", with_u32(4, 0xFFFFFFF0), true},
      {"file name longer than the record", with_u32(4, 0x7FFFFFFF), true},
      {"long name on a stream of unknown length", with_u32(12, 5000000), false},
  };
  for (size_t cut = 1; cut < good.size(); ++cut)
    rows.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + cut), true});
  for (const ROW& row : rows) {
    SCOPED_TRACE(std::string(row.what) + " " + std::to_string(row.bytes.size()));
    MEMORY_DEVICE device(row.bytes);
    device.can_seek_end = row.can_seek_end;
    WM_STYLE_SET style;
    EXPECT_FALSE(style.get_from_data_device(&device));
    EXPECT_LE(device.largest_request, 65536);
    EXPECT_FALSE(style.is_loaded());
    // What was read before the record ended stays.
    if (row.bytes.size() >= 12 && row.bytes.size() < good.size()) {
      EXPECT_STREQ(style.image_filename, "file");
    }
  }
  // A length beyond the record is refused before any of its bytes are read.
  MEMORY_DEVICE liar(with_u32(4, 0x7FFFFFFF));
  EXPECT_FALSE(WM_STYLE_SET().get_from_data_device(&liar));
  EXPECT_EQ(liar.bytes_read, 8u);
  // A write that stops short anywhere is reported.
  for (size_t room = 0; room < good.size(); ++room) {
    MEMORY_DEVICE full;
    full.capacity = room;
    EXPECT_FALSE(source.put_to_data_device(&full)) << room;
  }
}

TEST(StyleSetRescale, FollowsTheScaleFlags) {
  struct ROW {
    uint8_t flags;
    int16_t ow, oh, nw, nh;
    uint16_t in[6];   // left, right, top, bottom gaps, font x, font y
    uint16_t out[6];
  };
  const ROW rows[] = {
      {0xEE, 100, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {10, 20, 5, 6, 12, 14}},  // the default
      {0x00, 100, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {20, 40, 10, 12, 24, 28}},
      {0xAA, 100, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {10, 42, 5, 12, 12, 14}},   // keep left, top
      {0xDD, 100, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {110, 20, 55, 6, 12, 14}},  // keep size, right, bottom
      {0x99, 100, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {43, 86, 27, 33, 12, 14}},  // keep size only
      // An unset gap counts as 0 in the content: 50 - 5 = 45 kept, 5 x 55 / 5.
      {0x99, 100, 50, 200, 100, {10, 20, 5, 65535, 12, 14}, {43, 86, 55, 65535, 12, 14}},
      {0x00, 100, 50, 200, 100, {65535, 20, 5, 65535, 65535, 14}, {65535, 40, 10, 65535, 65535, 28}},
      {0x00, 0, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {10, 20, 10, 12, 12, 28}},  // zero width
      {0xAA, 10, 50, 200, 100, {10, 20, 5, 6, 12, 14}, {10, 20, 5, 12, 12, 14}},  // ow - L = 0
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(static_cast<int>(&row - rows));
    WM_STYLE_SET style;
    style.scale_flags = row.flags;
    uint16_t* fields[] = {&style.border_left_gap, &style.border_right_gap, &style.border_top_gap,
                          &style.border_bottom_gap, &style.font_x_sz, &style.font_y_sz};
    for (int i = 0; i < 6; ++i) *fields[i] = row.in[i];
    style.rescale(row.ow, row.oh, row.nw, row.nh);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(*fields[i], row.out[i]) << i;
  }
}

TEST(StyleSetDrawFlags, TextFlagsAndTheKeptDrawingBits) {
  WM_STYLE_SET style;
  style.drawing_flags = 0x3FFFFF;
  EXPECT_EQ(style.get_draw_flags().text, 0x7Fu);
  EXPECT_EQ(style.get_draw_flags().drawing, 0x3F08FFu);
  style.drawing_flags = SSF_LEFT_JUSTIFY_TEXT | SSF_RIGHT_JUSTIFY_TEXT | SSF_ICON_LEFT;
  EXPECT_EQ(style.get_draw_flags().text, 0x60u);
  EXPECT_EQ(style.get_draw_flags().drawing, SSF_LEFT_JUSTIFY_TEXT | SSF_RIGHT_JUSTIFY_TEXT);
}

TEST(DefaultDialogStyles, BuiltInLookUntilTheSkinReplacesIt) {
  init_default_dialog_styles();
  const WM_STYLE_SET& body = default_dialog_style();
  const WM_STYLE_SET& title = default_dialog_title_style();
  const WM_STYLE_SET& button = default_dialog_button_style();
  const std::pair<uint32_t, uint32_t> values[] = {
      {body.shading_type, 4}, {body.fg_colour, 0xFF0000FF}, {body.bg_colour, 0xFFC0C0C0},
      {body.shading_flags, 0x0F}, {title.shading_type, 4}, {title.fg_colour, 0xFF000000},
      {title.bg_colour, 0xFFFF0000}, {title.shading_flags, 255}, {button.shading_type, 4},
      {button.fg_colour, 0xFF000000}, {button.bg_colour, 0xFFC0C0C0},
      {button.highlight_colour, 0xFFFF0000}, {button.highlight_text_colour, 0xFF000000},
      {button.drawing_flags, 1}, {button.shading_flags, 255}, {button.border_left_gap, 4},
      {button.border_bottom_gap, 4}, {button.cell_left_gap, 65535}};
  for (size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(values[i].first, values[i].second) << i;

  WM_STYLE_SET skin_button;
  skin_button.set_name("skin");
  EXPECT_EQ(&set_default_dialog_button_style(skin_button), &button);
  init_default_dialog_styles();  // once only: the skin's style stays
  EXPECT_STREQ(button.name, "skin");
  EXPECT_EQ(std::pair(uint32_t{button.border_left_gap}, button.shading_type), std::pair(65535u, 1u));
}

// Run alone (as CTest runs it), a skin's title and button styles set before
// anything has asked for the built-in ones are not overwritten by them.
TEST(DefaultDialogStyles, ASkinsStylesSetFirstStay) {
  WM_STYLE_SET skin;
  set_default_dialog_button_style(skin);
  set_default_dialog_title_style(skin);
  init_default_dialog_styles();
  EXPECT_EQ(default_dialog_title_style().shading_type, 1u);
  EXPECT_EQ(default_dialog_button_style().shading_type, 1u);
}

}  // namespace
