#include "database.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "data_file.h"
#include "default_dialog_styles.h"
#include "dialog_effects.h"
#include "image_cache.h"
#include "memory_device.h"
#include "skin_frame.h"
#include "test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_button.h"

namespace {

using test_support::MEMORY_DEVICE;

std::string stored(WM_STYLE_SET& style) {
  MEMORY_DEVICE device;
  style.put_to_data_device(&device);
  return device.text();
}

// Reading installs styles, effects and the picture look-up mode into the
// toolkit; every test starts from and leaves the toolkit as it found it.
class DatabaseTest : public ::testing::Test {
protected:
  void SetUp() override {
    DATABASE::platform_name_of = [](uint8_t code) { return code == 1 ? "linux" : ""; };
  }
  void TearDown() override { DATABASE::platform_name_of = saved_platform_name; }

  static std::string write(DATABASE& data) {
    MEMORY_DEVICE device;
    EXPECT_TRUE(data.put_to_data_device(&device));
    return device.text();
  }
  static bool read(DATABASE& data, const std::string& bytes) {
    MEMORY_DEVICE device(bytes);
    return data.get_from_data_device(&device);
  }

  installer_test::TOOLKIT_DEFAULTS_GUARD toolkit;
  const char* (*saved_platform_name)(uint8_t) = DATABASE::platform_name_of;
};

void expect_cleared(const DATABASE& data) {
  EXPECT_EQ(data.settings_value, 0);
  EXPECT_EQ(data.show_filenames, 1);
  EXPECT_EQ(data.file_cache_sz, 1048576u);
  EXPECT_STREQ(data.default_language_name, "");
  EXPECT_EQ(data.window.width, 300);
  // The boxes are centred (-1) at their default sizes and can be dragged.
  auto box = [](const DATABASE_BOX& b) { return std::vector<int>{b.x, b.y, b.width, b.height, b.can_drag}; };
  EXPECT_EQ(box(data.exit), (std::vector<int>{-1, -1, 200, 150, 1}));
  EXPECT_EQ(box(data.error), (std::vector<int>{-1, -1, 400, 300, 1}));
  EXPECT_EQ(data.file_select.width, -1);
  EXPECT_EQ(data.background.speed, 600);
  EXPECT_STREQ(data.application.app_string, "");
  EXPECT_EQ(data.check_desktop_size.width, -1);
  EXPECT_TRUE(data.installations.empty());
  EXPECT_TRUE(data.languages.empty());
  EXPECT_TRUE(data.installer_clients.empty());
  EXPECT_STREQ(data.install_folder, "$ROOT0");
  EXPECT_STREQ(data.skin_path, "");
  EXPECT_EQ(data.use_system_paths + data.desktop_shortcut + data.menu_shortcut, 3);
  EXPECT_EQ(data.current_language, 0);
  EXPECT_EQ(data.current_page, 2);
  EXPECT_EQ(data.total_file_count, 0);
}

TEST_F(DatabaseTest, NewDatabaseHoldsTheDefaultsAndClearKeepsWhatItShould) {
  const int32_t before = static_cast<int32_t>(time(nullptr));
  DATABASE data;
  expect_cleared(data);
  EXPECT_GE(data.time_stamp, before);
  EXPECT_LE(data.time_stamp, static_cast<int32_t>(time(nullptr)));
  EXPECT_EQ(data.dialog.x, 0);
  EXPECT_EQ(data.dialog.width, 200);
  EXPECT_EQ(data.dialog.button_gap, 10);
  EXPECT_STREQ(data.xml_name.get_text(), "installer.xml");
  EXPECT_EQ(data.progress_bar_animation_x_rate, 0);
  const uint32_t bitness = data.system_information().os_version;  // asked for only now
  EXPECT_TRUE(bitness == 256 || bitness == 257) << bitness;

  // grid_style differs from the other style sets in four values only.
  WM_STYLE_SET grid = data.grid_style;
  EXPECT_EQ(grid.fg_colour, COLOUR_INVISIBLE);
  grid.fg_colour = data.text_style.fg_colour;
  grid.bg_colour = data.text_style.bg_colour;
  grid.drawing_flags = data.text_style.drawing_flags;
  grid.shading_flags = data.text_style.shading_flags;
  EXPECT_EQ(stored(grid), stored(data.text_style));

  data.dialog.x = 12;
  data.progress_bar_animation_update_rate = 9;
  data.icons[ICON_FOLDER].create(3, 2);
  data.background_image.create(4, 4);
  data.remove_package_at_exit = 1;
  data.platform_filter = 33;
  data.xml_name.set("other.xml");
  data.installations.resize(2);
  data.languages.resize(1);
  data.installer_clients.resize(3);
  // The chosen installation's record, none when the choice lies outside the installations.
  const std::pair<int16_t, const DATABASE_INSTALLATION*> choices[] = {
      {-1, nullptr}, {0, &data.installations[0]}, {1, &data.installations[1]}, {2, nullptr}};
  for (const auto& [chosen, record] : choices) {
    data.chosen_installation = chosen;
    EXPECT_EQ(data.chosen_installation_data(), record) << chosen;
  }
  data.use_system_paths = data.desktop_shortcut = data.menu_shortcut = 0;
  data.title_style.fg_colour = 0xFF123456;
  data.settings_value = 4;
  data.clear();
  expect_cleared(data);
  EXPECT_EQ(std::tuple(data.title_style.fg_colour, data.dialog.x, data.progress_bar_animation_update_rate, data.icons[ICON_FOLDER].width,
                       data.background_image.width, data.remove_package_at_exit, data.platform_filter),
            std::tuple(0xFFFFFFFFu, 12, 9, 3, 4, 1, 33));
  EXPECT_STREQ(data.xml_name.get_text(), "other.xml");
}

TEST(DatabaseModelTest, XmlEscapeNewlinesWritesEachAsAReference) {
  const struct {
    std::string in, out;
  } rows[] = {
      {"a\nb", "a&#xA;b"},
      {"", ""},
      {"a\r\nb", "a\r&#xA;b"},
      {std::string(300, '\n'), [] {
         std::string all;
         for (int i = 0; i < 300; ++i) all += "&#xA;";
         return all;
       }()},
  };
  for (const auto& row : rows) EXPECT_EQ(xml_escape_newlines(row.in.c_str()), row.out);
}

// Every stored record kind, each field unlike its default.
void fill(DATABASE& data) {
  data.settings_value = 7;
  data.show_frame_rate = 1;
  data.show_filenames = 0;
  data.file_cache_sz = 65536;
  snprintf(data.default_language_name, DATABASE_TEXT_SIZE, "Deutsch");
  data.window = {640, 480, 1, 1};
  data.dialog.x = 5;
  data.dialog.button_gap = 3;
  data.dialog.can_drag = 0;
  data.exit = {1, 2, 3, 4, 0};
  data.error.y = 9;
  data.file_select.new_folder_too = 1;
  data.about.height = 77;
  snprintf(data.background.path, DATABASE_TEXT_SIZE, "$APP/bg");
  data.background.start_offset_ms = -5;
  snprintf(data.log.dest_path_from_inst_loc, DATABASE_TEXT_SIZE, "logs");
  snprintf(data.patch.system_dest_path_from_inst_loc, DATABASE_TEXT_SIZE, "/var/log/app");
  data.patch.do_check = 1;
  data.title_style.fg_colour = 0xFF010203;
  data.grid_style.set_name("grid");
  data.menu_alt_item_style.border_top_gap = 6;
  data.icons[ICON_FORW].create(2, 3);
  data.icons[ICON_FOLDER].create(1, 1);
  data.background_image.create(4, 2);
  data.progress_bar_animation_y_rate = 40;
  snprintf(data.application.version, DATABASE_TEXT_SIZE, "2.1");
  data.application.build_number = 321;
  snprintf(data.application.app_string, DATABASE_TEXT_SIZE, "APPMARK");
  data.time_stamp = 1700000000;
  data.check_desktop_size = {1024, 768};
  data.installations.resize(2);
  for (int i = 0; i < 2; ++i) {
    DATABASE_INSTALLATION& inst = data.installations[i];
    snprintf(inst.name, DATABASE_TEXT_SIZE, "type %d", i);
    inst.allow_system_paths = 1;
    inst.files.resize(2 - i);
    for (DATABASE_FILE& file : inst.files) {
      snprintf(file.src_name, DATABASE_TEXT_SIZE, "bin/app");
      file.platform.set("linux:64bit");
      file.switch_user = 1;
      file.overwrite = 2;
      snprintf(file.packed_name, DATABASE_TEXT_SIZE, "f%d", i);
    }
    inst.shortcuts.resize(1);
    inst.shortcuts[0].kind = 2;
    snprintf(inst.shortcuts[0].menu_section, DATABASE_TEXT_SIZE, "Games");
    inst.shortcuts[0].platform.set("lsb");
    snprintf(inst.shortcuts[0].system_target_path_from_inst_loc, DATABASE_TEXT_SIZE, "/usr/bin");
    snprintf(inst.uninstaller_syspath, DATABASE_TEXT_SIZE, "/usr/sbin");
  }
  data.languages.resize(2);
  for (int i = 0; i < 2; ++i) {
    DATABASE_LANGUAGE& lang = data.languages[i];
    snprintf(lang.name, DATABASE_TEXT_SIZE, "%s", i ? "Deutsch" : "English");
    for (int key = 0; key < LANGUAGE_KEY_COUNT; ++key)
      snprintf(lang.texts[key], DATABASE_TEXT_SIZE, "%s %d", LANGUAGE_KEY_NAMES[key], i);
    lang.installation_strings.resize(2);
    snprintf(lang.installation_strings[1].data(), DATABASE_TEXT_SIZE, "second %d", i);
    snprintf(lang.licence.filename, DATABASE_TEXT_SIZE, "licence.txt");
    lang.readme.lines = 12;
    lang.release_notes.lines = 30;
  }
  snprintf(data.skin_path, DATABASE_PATH_SIZE, "$APPDATA/skin");
  data.installer_clients.resize(1);
  data.installer_clients[0].platform.set("windows");
  data.installer_clients[0].filename.set("setup.exe");
  data.installer_clients[0].compress_data = 1;
}

TEST_F(DatabaseTest, EveryRecordKindWritesAndReadsBackEqual) {
  DATABASE data;
  fill(data);
  default_dialog_effects() = {0x0011, 5, 6, 7};
  const std::string first = write(data);
  ASSERT_EQ(first[0], 18);
  // A disk that fills up at any byte fails the write; a cut file is never
  // taken for a whole one.
  for (size_t cut = 0; cut < first.size(); ++cut) {
    MEMORY_DEVICE full;
    full.capacity = cut;
    EXPECT_FALSE(data.put_to_data_device(&full)) << "full at byte " << cut;
  }

  default_dialog_effects() = {};
  skin_load_flags = 1;
  WM_BUTTON::tooltip_style_set = 0;
  DATABASE again;
  ASSERT_TRUE(read(again, first));
  EXPECT_EQ(write(again), first);
  EXPECT_EQ((std::vector<int>{again.current_language, again.current_page, again.exit.height, again.icons[ICON_FORW].height}),
            (std::vector<int>{1, 2, 4, 3}));
  EXPECT_STREQ(again.installations[1].files[0].platform.get_text(), "linux:64bit");
  EXPECT_EQ(again.installations[1].files.size(), 1u);
  EXPECT_STREQ(again.installations[0].shortcuts[0].system_target_path_from_inst_loc, "/usr/bin");
  EXPECT_STREQ(again.languages[1].texts[PATCH_MSG], "PATCH_MSG 1");
  EXPECT_STREQ(again.languages[0].installation_strings[1].data(), "second 0");
  EXPECT_EQ(again.languages[1].release_notes.lines, 30);
  EXPECT_STREQ(again.installer_clients[0].filename.get_text(), "setup.exe");
  EXPECT_STREQ(again.installer_clients[0].path.path, data.installer_clients[0].path.path);
  // What the stream carries for the toolkit is installed there.
  EXPECT_EQ(default_dialog_effects().flags, 0x0011u);
  EXPECT_EQ(default_dialog_effects().dragging_alpha, 7u);
  EXPECT_EQ(skin_load_flags, IMAGE_CACHE_FIND_ONLY);
  EXPECT_EQ(WM_BUTTON::tooltip_style_set, 1);

  // Two languages of the default name: the last one read is the current.
  DATABASE twice;
  fill(twice);
  twice.languages.push_back(twice.languages[1]);
  DATABASE read_twice;
  ASSERT_TRUE(read(read_twice, write(twice)));
  EXPECT_EQ(read_twice.current_language, 2);

  // The same data in a database.bin whose marker asks for big-endian
  // integers reads the same.
  MEMORY_DEVICE big;
  big.swap = 1;
  ASSERT_TRUE(data.put_to_data_device(&big));
  ASSERT_NE(big.text(), first);
  test_support::ScratchDir dir;
  ASSERT_TRUE(test_support::write_file(dir.file("database.bin"), "\x01" + big.text()));
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(dir.path().c_str()));
  DATA_FILE* file = folder.open_data_file("database.bin", 0, 255);
  ASSERT_NE(file, nullptr);
  DATABASE swapped;
  EXPECT_TRUE(swapped.get_from_data_device(file));
  FOLDER::close_data_file(file);
  EXPECT_EQ(write(swapped), first);
  default_dialog_effects().open_delay = UINT32_MAX;  // stored as -1: read as no delay
  ASSERT_TRUE(read(read_twice, write(data)));
  EXPECT_EQ(default_dialog_effects().open_delay, 0u);
}

TEST_F(DatabaseTest, LongTextsAreCutAndTheNextFieldStaysInStep) {
  DATABASE data;
  fill(data);
  std::string bytes = write(data);
  // default_path of the first installation: 300 bytes instead of "".
  const size_t name = bytes.find("type 0");
  ASSERT_NE(name, std::string::npos);
  const size_t length = name + 6 + 1;  // behind allow_system_paths
  ASSERT_EQ(bytes.substr(length, 4), std::string(4, '\0'));
  bytes.replace(length, 4, std::string("\x2c\x01\0\0", 4) + std::string(300, 'p'));
  DATABASE again;
  ASSERT_TRUE(read(again, bytes));
  EXPECT_EQ(std::string(again.installations[0].default_path), std::string(255, 'p'));
  EXPECT_EQ(again.installations[0].files.size(), 2u);
}

// A stream of version v as the format's version gates lay it out, every
// stored field holding a value unlike its default.
std::string stream_of_version(uint8_t v) {
  MEMORY_DEVICE d;
  WM_STYLE_SET style;
  IMAGE image;
  FOLDER folder;
  auto texts = [&](std::initializer_list<const char*> values) {
    for (const char* value : values) d.write_string(value);
  };
  auto u8s = [&](std::initializer_list<uint8_t> values) {
    for (uint8_t value : values) d.write_u8(value);
  };
  auto u16s = [&](std::initializer_list<uint16_t> values) {
    for (uint16_t value : values) d.write_u16(value);
  };
  auto platform = [&] { v >= 16 ? texts({"linux"}) : u8s({1}); };
  u8s({v});
  d.write_object(wm_image_cache());
  d.write_object(image);
  if (v >= 10) d.write_i32(77);
  u8s({1});
  if (v >= 2) u8s({0});
  if (v >= 3) u8s({0});
  d.write_u32(4096);
  texts({"Deutsch"});
  u16s({640, 480});
  u8s({1, 1});
  u16s({10, 20, 300, 250, 7});
  if (v < 4) u16s({210, 160, 410, 310});
  if (v >= 4) {
    u8s({0});
    for (uint16_t w : {210, 410, 500, 600}) {
      u16s({1, 2, w, 100});
      w == 500 ? u8s({1, 0}) : u8s({0});
    }
  }
  texts({"bg", "bg.png"});
  d.write_i32(0);
  u16s({800, 600, 5});
  texts({"logs", ""});
  if (v >= 13) texts({"patch", ""}), u8s({1});
  for (int i = 0; i < 14; ++i) d.write_object(style);
  for (int i = 0; i < 24; ++i) d.write_object(image);
  for (int i = 0; i < 4; ++i) d.write_object(style);
  if (v >= 4) u16s({0x11}), d.write_i32(50), d.write_i32(60), u8s({100});
  if (v >= 5) u16s({1, 2, 3});
  texts({"1.0"});
  d.write_i32(5);
  texts({"App"});
  if (v >= 8) d.write_i32(1234);
  if (v >= 9) u16s({800, 600});
  u16s({1});  // one installation
  texts({"Full"});
  u8s({1});
  if (v >= 7) texts({"/opt/app"});
  u16s({1});  // one file
  texts({"app", "bin", "bin"});
  platform();
  texts({"", ""});
  u8s({1});
  if (v >= 18) u8s({1});
  if (v >= 8) u8s({2});
  texts({"p0"});
  u16s({1});  // one shortcut
  u8s({1});
  texts({"s", "s", "s"});
  platform();
  texts({"s", "s", "s", "s", "s", "s"});
  if (v >= 9) texts({"un", "un", "un", "un"});
  u16s({1});  // one language
  texts({"Deutsch-T"});
  if (v >= 6) texts({"Deutsch"});
  for (int key = INSTALLER_TITLE; key < LANGUAGE_KEY_COUNT; ++key) {
    const bool gated =
        (key >= PATH_ERROR_TITLE && key <= PATH_ERROR_BUTTON && v < 17) ||
        (key == RELEASE_NOTES_TITLE && v < 15) ||
        ((key == INSTALLING_STRING || key == INITIALIZING_STRING) && v < 3) ||
        ((key == CHECK_DESKTOP_FAILED_TITLE || key == CHECK_DESKTOP_FAILED) && v < 9) ||
        (key == PATCH_MSG && v < 14);
    if (!gated) texts({LANGUAGE_KEY_NAMES[key]});
  }
  texts({"Voll", "lic", "lic.txt", "read", "readme.txt"});
  u16s({9});
  if (v >= 15) texts({"notes", "notes.txt"}), u16s({4});
  if (v >= 11) texts({"skin"});
  if (v >= 12) {
    u16s({1});
    platform();
    d.write_object(folder);
    texts({"client", "dest"});
    u8s({1});
  }
  return d.text();
}

std::string n(int64_t value) { return std::to_string(value); }
const DATABASE_FILE& file0(const DATABASE& d) { return d.installations[0].files[0]; }
const DATABASE_LANGUAGE& lang0(const DATABASE& d) { return d.languages[0]; }

TEST_F(DatabaseTest, OlderVersionsReadWithEveryMissingFieldAtItsDefault) {
  using DB = const DATABASE&;
  // Each field that came with a later version: the first version that
  // stores it, the value the stream stores, the value without it.
  const struct {
    const char* field;
    uint8_t since;
    std::function<std::string(DB)> value;
    std::string stored, absent;
  } rows[] = {
      {"settings_value", 10, [](DB d) { return n(d.settings_value); }, "77", "0"},
      {"show_filenames", 2, [](DB d) { return n(d.show_filenames); }, "0", "1"},
      {"show_filepaths", 3, [](DB d) { return n(d.show_filepaths); }, "0", "1"},
      {"error.width", 1, [](DB d) { return n(d.error.width); }, "410", ""},
      {"exit.x", 4, [](DB d) { return n(d.exit.x); }, "1", "-1"},
      {"dialog.can_drag", 4, [](DB d) { return n(d.dialog.can_drag); }, "0", "1"},
      {"error.can_drag", 4, [](DB d) { return n(d.error.can_drag); }, "0", "1"},
      {"file_select.width", 4, [](DB d) { return n(d.file_select.width); }, "500", "-1"},
      {"new_folder_too", 4, [](DB d) { return n(d.file_select.new_folder_too); }, "1", "0"},
      {"about.can_drag", 4, [](DB d) { return n(d.about.can_drag); }, "0", "1"},
      {"patch", 13, [](DB d) { return d.patch.dest_path_from_inst_loc + n(d.patch.do_check); },
       "patch1", "0"},
      {"effects", 4, [](DB) { return n(default_dialog_effects().flags) + "," +
                                      n(default_dialog_effects().dragging_alpha); },
       "17,100", "1148,192"},
      {"progress rate", 5, [](DB d) { return n(d.progress_bar_animation_update_rate); }, "3", "0"},
      {"time_stamp", 8, [](DB d) {
         return std::abs(d.time_stamp - time(nullptr)) < 100 ? "now" : n(d.time_stamp);
       }, "1234", "now"},
      {"desktop size", 9, [](DB d) { return n(d.check_desktop_size.height); }, "600", "-1"},
      {"default_path", 7, [](DB d) { return std::string(d.installations[0].default_path); },
       "/opt/app", ""},
      {"file platform", 1, [](DB d) { return std::string(file0(d).platform.get_text()); },
       "linux", ""},
      {"switch_user", 18, [](DB d) { return n(file0(d).switch_user); }, "1", "0"},
      {"overwrite", 8, [](DB d) { return n(file0(d).overwrite); }, "2", "0"},
      {"packed_name", 1, [](DB d) { return std::string(file0(d).packed_name); }, "p0", ""},
      {"uninstaller", 9, [](DB d) { return std::string(d.installations[0].uninstaller_syspath); },
       "un", ""},
      {"language name", 6, [](DB d) { return std::string(lang0(d).name); }, "Deutsch",
       "Deutsch-T"},
      {"path error", 17, [](DB d) { return std::string(lang0(d).texts[PATH_ERROR_BUTTON]); },
       "PATH_ERROR_BUTTON", ""},
      {"notes title", 15, [](DB d) { return std::string(lang0(d).texts[RELEASE_NOTES_TITLE]); },
       "RELEASE_NOTES_TITLE", ""},
      {"initialising", 3, [](DB d) { return std::string(lang0(d).texts[INITIALIZING_STRING]); },
       "INITIALIZING_STRING", ""},
      {"desktop failed", 9, [](DB d) { return std::string(lang0(d).texts[CHECK_DESKTOP_FAILED]); },
       "CHECK_DESKTOP_FAILED", ""},
      {"patch message", 14, [](DB d) { return std::string(lang0(d).texts[PATCH_MSG]); },
       "PATCH_MSG", ""},
      {"readme lines", 1, [](DB d) { return n(lang0(d).readme.lines); }, "9", ""},
      {"release notes", 15, [](DB d) {
         return lang0(d).release_notes.filename + n(lang0(d).release_notes.lines);
       }, "notes.txt4", "0"},
      {"skin_path", 11, [](DB d) { return std::string(d.skin_path); }, "skin", ""},
      {"clients", 12, [](DB d) {
         return d.installer_clients.empty() ? "" : d.installer_clients[0].destname.get_text();
       }, "dest", ""},
  };
  for (uint8_t v = 1; v <= 18; ++v) {
    default_dialog_effects() = {};
    // Read over earlier data: nothing of it may stand for a missing field.
    DATABASE data;
    fill(data);
    const std::string stream = stream_of_version(v);
    ASSERT_TRUE(read(data, stream)) << "version " << int(v);
    // The writer lays version 18 out exactly as the gates say.
    if (v == 18) {
      EXPECT_EQ(write(data), stream);
    }
    for (const auto& row : rows)
      EXPECT_EQ(row.value(data), v >= row.since ? row.stored : row.absent) << row.field << " in version " << int(v);
  }
  // The smallest records read, as many as the stream holds (every text
  // empty, in version 1): files of 26 bytes, installations of 9 before no
  // language, languages of 230 (226 and the one installation's name).
  const struct {
    std::string from, to;  // the count and records replaced: from .. to and with to (empty: the end)
    size_t size;
    std::string after;
    std::function<size_t(DB)> count;
  } smallest[] = {
      {std::string("\x01\0\x03\0\0\0app", 9), "p0", 26, "", [](DB d) { return d.installations[0].files.size(); }},
      {std::string("\x01\0\x04\0\0\0Full", 10), "", 9, std::string(2, '\0'), [](DB d) { return d.installations.size(); }},
      {std::string("\x01\0\x09\0\0\0Deutsch-T", 15), "", 230, "", [](DB d) { return d.languages.size(); }},
  };
  for (const auto& row : smallest) {
    std::string bytes = stream_of_version(1);
    const size_t from = bytes.find(row.from);
    ASSERT_NE(from, std::string::npos);
    const size_t to = row.to.empty() ? bytes.size() : bytes.find(row.to, from) + row.to.size();
    bytes.replace(from, to - from, "\xe8\x03" + std::string(1000 * row.size, '\0') + row.after);
    DATABASE data;
    ASSERT_TRUE(read(data, bytes)) << row.size;
    EXPECT_EQ(row.count(data), 1000u) << row.size;
  }
}

TEST_F(DatabaseTest, DamagedStreamsFailAndLeaveAClearedDatabase) {
  DATABASE data;
  fill(data);
  const std::string good = write(data);
  const size_t app = good.find("APPMARK");
  ASSERT_NE(app, std::string::npos);
  const size_t installations = app + 7 + 4 + 4;  // behind time_stamp and the desktop size
  ASSERT_EQ(good.substr(installations, 2), std::string("\x02\0", 2));
  const size_t language_name = good.find("Deutsch");  // default_language_name's bytes

  std::vector<std::string> damaged;
  for (size_t cut = 0; cut < good.size(); ++cut)
    damaged.push_back(good.substr(0, cut));
  for (const char* count : {"\x00\x80", "\xff\xff", "\xff\x7f"}) {  // -32768, -1, 32767
    damaged.push_back(good);
    damaged.back().replace(installations, 2, std::string(count, 2));
  }
  // An empty installation whose file or shortcut count lies, where the
  // bytes that follow the count would read as the data's end.
  DATABASE plain;
  plain.installations.resize(1);
  const size_t files = write(plain).size() - 2 - 4 - 2 - 4 * 4 - 2 - 2;
  for (size_t count : {files, files + 2}) damaged.push_back(write(plain).replace(count, 2, "\xff\x7f"));
  damaged.push_back(good);  // a text length of nearly 4 GiB
  damaged.back().replace(language_name - 4, 4, "\xf0\xff\xff\xff");
  damaged.push_back(good);  // 2 GiB: longer than any text may be
  damaged.back().replace(language_name - 4, 4, std::string("\0\0\0\x80", 4));

  for (const std::string& bytes : damaged) {
    DATABASE again;
    fill(again);
    skin_load_flags = 1;
    MEMORY_DEVICE device(bytes);
    ASSERT_FALSE(again.get_from_data_device(&device)) << bytes.size() << " bytes";
    EXPECT_EQ(device.error, 1);
    expect_cleared(again);
    EXPECT_EQ(skin_load_flags, 1);  // pictures are still looked for in files
  }
}

// A name with a control character (of a file, folder, link, the
// application or a language) would split the install log's lines or reach
// a terminal as an escape sequence: data holding one reads as damaged, and
// the name is told escaped. Shown texts may carry other characters in runs,
// and texts that are no names may hold line breaks.
TEST_F(DatabaseTest, NamesWithControlCharactersMakeTheDataDamaged) {
  const struct {
    const char* what;
    std::function<void(DATABASE&)> change;
    std::string escaped;  // empty: the data reads
  } rows[] = {
      {"file name", [](DATABASE& d) { set_field_text(d.installations[0].files[0].src_name, "a\nb"); }, "a\\nb"},
      {"installed name", [](DATABASE& d) { set_field_text(d.installations[0].files[0].dest_name, "x\ty\r"); }, "x\\ty\\r"},
      {"folder", [](DATABASE& d) { set_field_text(d.installations[0].files[1].dest_path_from_inst_loc, "$app/d\x1b[2J"); },
       "$app/d\\x1b[2J"},
      {"system folder",
       [](DATABASE& d) { set_field_text(d.installations[0].files[0].system_dest_path_from_inst_loc, "/usr/\x7f"); },
       "/usr/\\x7f"},
      {"escape in a link name's run",
       [](DATABASE& d) { set_field_text(d.installations[0].shortcuts[0].name, "Tool\x01,001B\x01"); },
       "Tool\\x01,001B\\x01"},
      {"menu section", [](DATABASE& d) { set_field_text(d.installations[1].shortcuts[0].menu_section, "Games\x07"); },
       "Games\\x07"},
      {"language name", [](DATABASE& d) { set_field_text(d.languages[1].name, "Deu\ntsch"); }, "Deu\\ntsch"},
      {"readme file", [](DATABASE& d) { set_field_text(d.languages[1].readme.filename, "read\x1bme"); }, "read\\x1bme"},
      {"application", [](DATABASE& d) { set_field_text(d.application.app_string, "App\x1b"); }, "App\\x1b"},
      {"install folder", [](DATABASE& d) { set_field_text(d.installations[1].default_path, "$ROOT0/A\\b\x02"); },
       "$ROOT0/A\\\\b\\x02"},
      {"client", [](DATABASE& d) { d.installer_clients[0].filename.set("setup\n.exe"); }, "setup\\n.exe"},
      // C1 controls: a lone byte in a name, U+0085 coded in UTF-8, the
      // Latin-1 byte and a run's character in a shown text.
      {"C1 byte in a file name", [](DATABASE& d) { set_field_text(d.installations[0].files[0].src_name, "csi\x9b" "2J"); },
       "csi\\x9b2J"},
      {"C1 in UTF-8 in a folder",
       [](DATABASE& d) { set_field_text(d.installations[0].files[1].dest_path_from_inst_loc, "$app/nel\xc2\x85"); },
       "$app/nel\\u0085"},
      {"C1 in a link name", [](DATABASE& d) { set_field_text(d.installations[0].shortcuts[0].name, "Tool\x9b"); },
       "Tool\\x9b"},
      {"C1 in a language name's run", [](DATABASE& d) { set_field_text(d.languages[1].name, "D\x01,009B\x01"); },
       "D\\x01,009B\\x01"},
      {"a sharp s in UTF-8", [](DATABASE& d) { set_field_text(d.installations[0].files[0].src_name, "Stra\xc3\x9f" "e"); },
       ""},
      {"a Greek language name", [](DATABASE& d) { set_field_text(d.languages[1].name, "\x01,0395,03BB\x01"); }, ""},
      {"a euro in a link name's run",
       [](DATABASE& d) { set_field_text(d.installations[0].shortcuts[0].name, "Tool \x01,20AC\x01"); }, ""},
      {"a message of two lines", [](DATABASE& d) { set_field_text(d.languages[0].texts[QUIT_MSG], "Two\nlines"); }, ""},
      {"Latin-1 and a backslash", [](DATABASE& d) { set_field_text(d.installations[0].files[0].src_name, "caf\xe9 \\ x"); },
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    DATABASE data;
    fill(data);
    row.change(data);
    EXPECT_EQ(data.control_character_name(), row.escaped);
    DATABASE again;
    EXPECT_EQ(read(again, write(data)), row.escaped.empty());
    if (!row.escaped.empty()) expect_cleared(again);
  }
}

}  // namespace
