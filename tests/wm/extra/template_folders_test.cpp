// A skin's folders turned into template records: fonts first (so style
// sets find them by name), then nested ".cfg" files of colours, images and
// constants and ".ss" style sets; the filled store saves and reloads.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "font.h"
#include "template_folders.h"
#include "test_support.h"
#include "wm_ptm_app_info.h"
#include "wm_test_fonts.h"

using test_support::read_file;
using test_support::write_file;

namespace {

using KEYS = std::vector<std::pair<std::string, std::string>>;

std::string config_text(const KEYS& keys) {
  std::string text;
  for (const auto& [key, value] : keys) text += key + "\n\t" + value + "\n";
  return text;
}

// Every key a style file must have, with a name and a font by name.
std::string style_text(const char* name, const char* font_name) {
  return config_text({{"name", name}, {"image_filename", ""}, {"image_path", "$APP"},
                      {"shading_type", "2"}, {"fg_colour", "#FF010101"},
                      {"bg_colour", "#FF020202"}, {"fading_colour", "#FF030303"},
                      {"highlight_colour", "#FF040404"}, {"highlight_text_colour", "#FF050505"},
                      {"active_colour", "#FF060606"}, {"visible", "1"}, {"shading_flags", "255"},
                      {"font_id", "0"}, {"font_name", font_name}, {"font_x_sz", "10"},
                      {"font_y_sz", "11"}, {"border_left_gap", "1"}, {"border_right_gap", "2"},
                      {"border_top_gap", "3"}, {"border_bottom_gap", "4"}, {"cell_left_gap", "5"},
                      {"cell_right_gap", "6"}, {"cell_top_gap", "7"}, {"cell_bottom_gap", "8"},
                      {"x_spacing", "9"}, {"y_spacing", "10"}, {"scrollbar_button_width", "11"},
                      {"scrollbar_slider_width", "12"}, {"grid_scrollbar_width", "13"},
                      {"grid_two_tone_value", "14"}});
}

template <typename T>
const T* named(const std::vector<std::unique_ptr<T>>& list, const char* name) {
  for (const auto& item : list)
    if (item->name && std::string(item->name) == name) return item.get();
  return nullptr;
}

class TemplateFolders : public wm_test::TextSkinTest {
protected:
  TemplateFolders() : TextSkinTest("template_folders_test", 320, 240) {}

  void SetUp() override {
    // Read before the scratch system root hides the system's fonts.
    const std::string font = read_file(std::string(get_system_font_folder()) + "/DejaVuSans.ttf");
    ASSERT_FALSE(font.empty());
    TextSkinTest::SetUp();
    for (const char* dir : {"fonts", "fonts/more", "colours", "colours/more", "images",
                            "constants", "styles", "styles/sub"})
      ASSERT_EQ(mkdir(skin_file(dir).c_str(), 0755), 0) << dir;
    const std::pair<const char*, std::string> files[] = {
        {"fonts/Sans.ttf", font},
        {"fonts/more/Mono.otf", font},
        {"fonts/Broken.ttf", "not a font"},
        {"colours/base.cfg", config_text({{"red", "#FFFF0000"}, {"blue", "#FF0000FF"}})},
        {"colours/more/extra.cfg", config_text({{"green", "#FF00FF00"}})},
        {"colours/OLD.CFG", config_text({{"grey", "#FF808080"}})},  // the case differs: not read
        {"images/pictures.cfg", config_text({{"back", "back.png"}})},
        {"constants/values.cfg", config_text({{"greeting", "hello"}})},
        {"styles/button.ss", style_text("button", "Sans")},
        {"styles/sub/label.ss", style_text("label", "Mono")},
        {"styles/broken.ss", config_text({{"name", "broken"}, {"image_filename", ""}})},
    };
    for (const auto& [name, bytes] : files) ASSERT_TRUE(write_file(skin_file(name), bytes)) << name;
    save_solid_png("images/back.png", 0xFF00FF00);
    // A link back up the tree is not followed.
    ASSERT_EQ(symlink("..", skin_file("colours/more/up").c_str()), 0);
  }
  void TearDown() override {
    // The fonts the scan loaded go before the font table does.
    store.clear();
    TextSkinTest::TearDown();
  }

  std::string skin_file(const std::string& name) const { return scratch.file("app/skin/" + name); }
  FOLDER sub(const char* name) const {
    FOLDER folder;
    EXPECT_TRUE(folder.set_absolute(skin_file(name).c_str()));
    return folder;
  }
  void scan_everything(uint8_t rewrite) {
    store.scan_fonts(sub("fonts"));
    scan_colours(0, sub("colours"));
    scan_images(0, sub("images"));
    scan_constants(0, sub("constants"));
    scan_style_sets(&store, sub("styles"), rewrite);
  }

  WM_PTM_APP_INFO store;
};

TEST_F(TemplateFolders, ASkinTreeFillsTheStoreWhichSavesAndReloads) {
  scan_everything(0);
  EXPECT_EQ(store.loaded, 1);
  EXPECT_EQ(template_scan_folder, nullptr);

  // Fonts: sorted by name, each file once, loaded by the outermost scan.
  ASSERT_EQ(store.fonts.size(), 3u);
  const char* const font_names[] = {"Broken", "Mono", "Sans"};
  for (size_t i = 0; i < 3; ++i) EXPECT_STREQ(store.fonts[i]->name, font_names[i]);
  const WM_PTM_FONT_INFO& broken = *store.fonts[0];
  const WM_PTM_FONT_INFO& mono = *store.fonts[1];
  const WM_PTM_FONT_INFO& sans = *store.fonts[2];
  EXPECT_EQ(broken.font_id, 255);
  EXPECT_LT(mono.font_id, 255);
  EXPECT_LT(sans.font_id, 255);
  EXPECT_NE(mono.font_id, sans.font_id);
  EXPECT_STREQ(mono.file_name, "Mono.otf");
  EXPECT_STREQ(mono.folder, "$APP/skin/fonts/more");
  EXPECT_STREQ(sans.folder, "$APP/skin/fonts");

  const struct {
    const char* name;
    COLOUR colour;
  } colours[] = {{"red", 0xFFFF0000}, {"blue", 0xFF0000FF}, {"green", 0xFF00FF00}};
  EXPECT_EQ(store.colours.size(), 3u);
  for (const auto& c : colours) {
    const WM_PTM_COLOUR_INFO* found = named(store.colours, c.name);
    ASSERT_NE(found, nullptr) << c.name;
    EXPECT_EQ(found->colour, c.colour) << c.name;
  }
  ASSERT_EQ(store.images.size(), 1u);
  const WM_PTM_IMAGE_INFO& back = *store.images[0];
  EXPECT_STREQ(back.name, "back");
  EXPECT_STREQ(back.folder, "$APP/skin/images");
  ASSERT_NE(back.picture, nullptr);
  EXPECT_EQ(back.picture->width, 4);
  ASSERT_EQ(store.constants.size(), 1u);
  EXPECT_STREQ(store.constants[0]->name, "greeting");
  EXPECT_STREQ(store.constants[0]->value.get_text(PARAMETER::VALUE), "hello");

  // Style sets find their fonts by name; the incomplete file is skipped.
  ASSERT_EQ(store.style_sets.size(), 2u);
  const WM_STYLE_SET* button = named(store.style_sets, "button");
  const WM_STYLE_SET* label = named(store.style_sets, "label");
  ASSERT_NE(button, nullptr);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(button->font_id, sans.font_id);
  EXPECT_EQ(label->font_id, mono.font_id);
  EXPECT_EQ(button->fg_colour, 0xFF010101u);

  const uint8_t label_font = label->font_id;
  FOLDER app;
  ASSERT_TRUE(app.set_absolute(scratch.file("app").c_str()));
  ASSERT_TRUE(store.save(app, "generated.tpl", 0, 0));
  ASSERT_TRUE(store.load(app, "generated.tpl", nullptr));
  EXPECT_EQ((std::vector<size_t>{size_t(store.loaded), store.fonts.size(), store.colours.size(), store.style_sets.size()}),
            (std::vector<size_t>{1, 3, 3, 2}));  // loaded; fonts, colours and style sets
  ASSERT_NE(named(store.colours, "green"), nullptr);
  EXPECT_EQ(named(store.colours, "green")->colour, 0xFF00FF00u);
  ASSERT_NE(named(store.images, "back"), nullptr);
  EXPECT_NE(named(store.images, "back")->picture, nullptr);
  EXPECT_EQ(named(store.style_sets, "label")->font_id, label_font);
  // The font records take their fonts with them.
  ASSERT_NE(FONT::get(label_font), nullptr);
  store.free_fonts();
  EXPECT_EQ(FONT::get(label_font), nullptr);
}

TEST_F(TemplateFolders, TheRewriteSwitchRewritesOnlyTheScannedStyleFiles) {
  // A file of the same name in the program folder is no business of the scan.
  ASSERT_TRUE(write_file(scratch.file("app/button.ss"), "keep me"));
  const std::string broken_before = read_file(skin_file("styles/broken.ss"));
  scan_everything(1);
  EXPECT_EQ(read_file(scratch.file("app/button.ss")), "keep me");
  EXPECT_EQ(read_file(skin_file("styles/broken.ss")), broken_before);
  // Rewritten in place in the store's own form, the font still by name.
  const std::string rewritten = read_file(skin_file("styles/button.ss"));
  EXPECT_NE(rewritten, style_text("button", "Sans"));
  EXPECT_NE(rewritten.find("font_name\n\tSans\n"), std::string::npos) << rewritten;
  EXPECT_NE(rewritten.find("draw_border"), std::string::npos) << rewritten;
}

}  // namespace
