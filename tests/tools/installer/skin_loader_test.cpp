#include "skin_loader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "config_file.h"
#include "memory_device.h"
#include "skin_test_support.h"
#include "toolkit_defaults_guard.h"
#include "wm_file_select.h"

namespace {

using test_support::MEMORY_DEVICE;
using test_support::write_file;

// "$APP" is the scratch "app" folder, the skin its "skin" sub-folder.
class SkinLoader : public test_support::ScratchSkinTest {
protected:
  SkinLoader() : ScratchSkinTest("skin_test") {}
  void TearDown() override {
    toolkit.restore();
    ScratchSkinTest::TearDown();
  }
  std::string sub(const std::string& group) {
    mkdir((skin.path + ("/" + group)).c_str(), 0755);
    return skin.path + ("/" + group + "/");
  }
  // A ".ss" file as the style's own writer makes it, text colour changed.
  void style(const char* group, const char* name, uint32_t colour) {
    if (style_text.empty()) {
      WM_STYLE_SET written;
      written.fg_colour = 0xFF5A5A5A;
      CONFIG_FILE config;
      ASSERT_TRUE(static_cast<FOLDER&>(config).set_absolute(scratch.path().c_str()));
      config.init("template.ss", false);
      ASSERT_TRUE(written.write_config(config));
      style_text = test_support::read_file(scratch.file("template.ss"));
    }
    char text[16];
    snprintf(text, sizeof text, "#%08X", colour);
    ASSERT_TRUE(write_file(sub(group) + name, std::string(style_text).replace(
                                                   style_text.find("#FF5A5A5A"), 9, text)));
  }
  void icon(const char* name, int16_t size) {
    IMAGE image(size, size);
    MEMORY_DEVICE device;
    ASSERT_TRUE(image.put_to_data_device(&device));
    ASSERT_TRUE(write_file(sub("icons") + name + ".raw", std::string(1, '\0') + device.text()));
  }
  void full_skin() {
    const char* files[][2] = {
        {"button", "button.ss"}, {"button", "button_hints.ss"}, {"check_box", "check_box.ss"},
        {"dialog", "background.ss"}, {"dialog", "title.ss"}, {"title", "title.ss"}};
    for (uint32_t i = 0; i < 6; ++i) style(files[i][0], files[i][1], 0xFF000001 + i);
    icon("forw_icon", 3);
    icon("folder", 5);
    ASSERT_TRUE(write_file(sub("") + "dialog_effects.cfg",
                           "flags\n  17\nopen_delay\n  250\ndragging_alpha\n  300\n"
                           "progress_bar_animation_x_rate\n  4\n"
                           "progress_bar_animation_y_rate\n  70000\n"));
  }

  installer_test::TOOLKIT_DEFAULTS_GUARD toolkit;
  std::string style_text;
  DATABASE data;
};

TEST_F(SkinLoader, FullSkinFillsStylesIconsEffectsAndRates) {
  full_skin();
  data.grid_style.fg_colour = 0xFF123456;  // no skin file fills it
  const uint32_t display_delay = default_dialog_effects().display_delay;
  ASSERT_TRUE(load_skin(data, "$APP/skin"));
  EXPECT_STREQ(data.skin_path, "$APP/skin");
  EXPECT_EQ(std::tuple(default_dialog_button_style().fg_colour, WM_BUTTON::tooltip_style().fg_colour, WM_BUTTON::tooltip_style_set,
                       data.check_box_style.fg_colour, default_dialog_style().fg_colour, default_dialog_title_style().fg_colour,
                       data.title_style.fg_colour, data.grid_style.fg_colour),
            std::tuple(0xFF000001u, 0xFF000002u, 1, 0xFF000003u, 0xFF000004u, 0xFF000005u, 0xFF000006u, 0xFF123456u));
  EXPECT_EQ(std::tuple(data.icons[ICON_FORW].width, data.icons[ICON_FOLDER].height, data.icons[ICON_DISK].pixels), std::tuple(3, 5, nullptr));
  // Values wider than their field are held to it; absent keys stay.
  const auto& effects = default_dialog_effects();
  EXPECT_EQ(std::tuple(effects.flags, effects.open_delay, effects.display_delay, effects.dragging_alpha), std::tuple(17u, 250u, display_delay, 255u));
  EXPECT_EQ(std::tuple(data.progress_bar_animation_x_rate, data.progress_bar_animation_y_rate, data.progress_bar_animation_update_rate),
            std::tuple(4, 65535, 0));
  // A path as long as the field holds (2047 bytes) is kept whole; one byte longer is refused.
  std::string longest = "$APP/";
  for (int i = 0; i < 1019; ++i) longest += "./";
  EXPECT_FALSE(load_skin(data, (longest + "/skin").c_str()));
  EXPECT_STREQ(data.skin_path, "$APP/skin");
  EXPECT_TRUE(load_skin(data, (longest + "skin").c_str()));
  EXPECT_EQ(data.skin_path, longest + "skin");
}

// What a skin lacks keeps its value, but the rates fall to 0 and the
// dialog body takes the scratch style even without its own file.
TEST_F(SkinLoader, PartialOrMissingSkins) {
  data.progress_bar_animation_x_rate = 9;
  EXPECT_FALSE(load_skin(data, "$APP/no_skin"));
  EXPECT_EQ(data.progress_bar_animation_x_rate, 9);

  data.check_box_style.fg_colour = 0xFF777777;
  const uint32_t tooltip = WM_BUTTON::tooltip_style().fg_colour;
  style("button", "button.ss", 0xFF0000AA);
  style("dialog", "title.ss", 0xFF0000BB);
  ASSERT_TRUE(load_skin(data, "$APP/skin"));
  EXPECT_EQ(data.progress_bar_animation_x_rate, 0);
  EXPECT_EQ(data.check_box_style.fg_colour, 0xFF777777u);
  EXPECT_EQ(default_dialog_style().fg_colour, 0xFF0000AAu);
  EXPECT_EQ(WM_BUTTON::tooltip_style().fg_colour, tooltip);
  EXPECT_EQ(WM_BUTTON::tooltip_style_set, toolkit.loaded);
}

TEST_F(SkinLoader, BlockRoundTripsByteForByteAndShortBlocksFail) {
  full_skin();
  ASSERT_TRUE(load_skin(data, "$APP/skin"));
  for (uint8_t swap : {0, 1}) {
    MEMORY_DEVICE first, second;
    first.swap = second.swap = swap;
    ASSERT_TRUE(write_skin(data, &first));
    toolkit.restore();  // a fresh model and the built-in look take it all
    DATABASE copy;
    MEMORY_DEVICE in(first.bytes);
    in.swap = swap;
    WM_FILE_SELECT::set_icon(WM_FILE_SELECT::ICON_FOLDER, IMAGE());
    ASSERT_TRUE(read_skin(copy, &in));
    EXPECT_EQ(copy.icons[ICON_FOLDER].width, 5);
    EXPECT_EQ(WM_FILE_SELECT::icon(WM_FILE_SELECT::ICON_FOLDER).width, 5);  // the browser's too
    EXPECT_EQ(default_dialog_effects().open_delay, 250u);
    ASSERT_TRUE(write_skin(copy, &second));
    EXPECT_EQ(second.bytes, first.bytes) << "swap " << int(swap);

    // Cut inside the last rate: everything before it is in.
    toolkit.restore();
    MEMORY_DEVICE cut(std::vector<uint8_t>(first.bytes.begin(), first.bytes.end() - 1));
    cut.swap = swap;
    copy.progress_bar_animation_y_rate = 0;
    EXPECT_FALSE(read_skin(copy, &cut));
    EXPECT_EQ(default_dialog_effects().open_delay, 250u);
    EXPECT_EQ(copy.progress_bar_animation_y_rate, 65535);
  }
  MEMORY_DEVICE empty;
  default_dialog_effects().open_delay = 7;
  EXPECT_FALSE(read_skin(data, &empty));
  EXPECT_EQ(default_dialog_effects().open_delay, 7u);
}

// The command-line mode packs "$APPDATA/kiv" behind one order byte, or
// says why not and leaves no file; a block behind a program reads back.
TEST_F(SkinLoader, SkinFileModeAndPackedSkin) {
  FOLDER out;
  ASSERT_TRUE(out.set_absolute(scratch.path().c_str()));
  testing::internal::CaptureStdout();
  EXPECT_NE(write_packed_skin_file(data, out, "skin.bin"), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no skin folder"), std::string::npos);
  EXPECT_FALSE(test_support::file_exists(scratch.file("skin.bin")));
  // An output folder that cannot be written: no block, no leftovers.
  FOLDER absent;
  ASSERT_TRUE(absent.set_absolute(scratch.file("absent").c_str()));

  for (const char* dir : {"app/data", "app/data/kiv"})
    ASSERT_EQ(mkdir(scratch.file(dir).c_str(), 0755), 0);
  ASSERT_TRUE(skin.set_absolute(scratch.file("app/data/kiv").c_str()));
  full_skin();
  EXPECT_NE(write_packed_skin_file(data, absent, "skin.bin"), 0);
  ASSERT_EQ(write_packed_skin_file(data, out, "skin.bin"), 0);
  MEMORY_DEVICE block;
  ASSERT_TRUE(write_skin(data, &block));
  const std::string packed = test_support::read_file(scratch.file("skin.bin"));
  EXPECT_EQ(packed, std::string(1, '\0') + block.text());
  // Another user's link in a shared folder does not lead the block into
  // the folder it names.
  const std::string shared = scratch.file("shared"), victim = scratch.file("victim");
  ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(mkdir(victim.c_str(), 0700), 0);
  ASSERT_EQ(symlink(victim.c_str(), (shared + "/out").c_str()), 0);
  ASSERT_EQ(lchown((shared + "/out").c_str(), 65534, 65534), 0);
  FOLDER linked;
  ASSERT_TRUE(linked.set_absolute((shared + "/out").c_str()));
  testing::internal::CaptureStdout();
  EXPECT_NE(write_packed_skin_file(data, linked, "skin.bin"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Skin not written: " + shared + "/out: unsafe link: it belongs to user 65534\n");
  EXPECT_FALSE(test_support::file_exists(victim + "/skin.bin"));

  // An executable image whose one section header ends at byte 128.
  std::string elf(128, '\0');
  elf.replace(0, 6, "\x7f" "ELF\x02\x01");
  elf[0x28] = elf[0x3A] = 64;
  elf[0x3C] = 1;
  // A block written with big-endian integers reads the same behind an
  // order byte that asks for them (1, or 255 as a writer's marker), and
  // not behind 0. A program whose path is as long as a path may be (2047
  // bytes) is read; one in a folder longer than that is not.
  MEMORY_DEVICE swapped;
  swapped.swap = 1;
  ASSERT_TRUE(write_skin(data, &swapped));
  ASSERT_NE(swapped.text(), block.text());
  const struct {
    const char* what;
    std::string behind;
    bool loads;
    size_t folder = 0;  // the program's folder's length; 0: the scratch folder
  } rows[] = {{"nothing", "", false},
              {"a cut block", packed.substr(0, 9), false},
              {"the block", packed, true},
              {"big-endian behind 1", std::string(1, '\x01') + swapped.text(), true},
              {"big-endian behind 255", std::string(1, '\xff') + swapped.text(), true},
              {"big-endian behind 0", std::string(1, '\0') + swapped.text(), false},
              {"a path of 2047 bytes", packed, true, 2047 - std::string("/installer").size()},
              {"in a folder of 2048 bytes", packed, false, 2048}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string folder = scratch.path();
    while (folder.size() < row.folder)
      std::filesystem::create_directories(folder += "/" + std::string(row.folder - folder.size() > 250 ? 200 : row.folder - folder.size() - 1, 'd'));
    const std::string program = folder + "/installer";
    ASSERT_TRUE(write_file(program, elf + row.behind));
    data.progress_bar_animation_x_rate = 0;
    EXPECT_EQ(load_packed_skin(data, program.c_str()), row.loads);
    EXPECT_EQ(data.progress_bar_animation_x_rate, row.loads ? 4 : 0);
  }
  // A program named without its folder is refused, though the block is behind it in the current folder.
  ASSERT_TRUE(write_file(scratch.file("installer"), elf + packed));
  const std::filesystem::path was = std::filesystem::current_path();
  std::filesystem::current_path(scratch.path());
  EXPECT_FALSE(load_packed_skin(data, "installer"));
  std::filesystem::current_path(was);
}

}  // namespace
