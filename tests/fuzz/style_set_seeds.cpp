// Writes seed inputs for the style-set fuzz target into the folder given on
// the command line: a version 9 record made by the style set itself and a
// version 3 record (a stored folder, fewer colours) built field by field,
// each followed by "#SS\n" and a complete style file.
#include <cstdio>
#include <string>

#include "data_file.h"
#include "folder.h"
#include "seed_maker.h"
#include "wm_style_set.h"

namespace {

const char* const kStyleFile =
    "name\n\tbutton\nimage_filename\n\tbtn\nimage_path\n\t$HERE/images\nshading_type\n\t3\n"
    "fg_colour\n\t#FF112233\nbg_colour\n\t&255,16,32,48\nfading_colour\n\t%100,0,50,100\n"
    "highlight_colour\n\t@1,1,0,0\nhighlight_text_colour\n\t#80FFFFFF\nactive_colour\n\t#FF000001\n"
    "underline_colour\n\t#FF000009\nvisible\n\t1\nshading_flags\n\t15\ndrawing_flags\n\t196613\n"
    "font_id\n\t3\nfont_x_sz\n\t12\nfont_y_sz\n\t-1\nfont_name\n\tSans\nborder_left_gap\n\t-1\n"
    "border_right_gap\n\t2\nborder_top_gap\n\t3\nborder_bottom_gap\n\t4\ncell_left_gap\n\t5\n"
    "cell_right_gap\n\t6\ncell_top_gap\n\t7\ncell_bottom_gap\n\t8\nx_spacing\n\t9\ny_spacing\n\t10\n"
    "scrollbar_button_width\n\t11\nscrollbar_slider_width\n\t12\ngrid_scrollbar_width\n\t13\n"
    "grid_two_tone_value\n\t14\nssf_wrap_text\n\t1\nssf_up_arrow\n\t1\nssef_up_arrow\n\t0\n"
    "sssf_retain_width\n\t1\n";

bool append_text(const std::string& path) {
  return write_bytes(path, std::string("#SS\n") + kStyleFile, true);
}

bool write_version_3(DATA_FILE& file) {
  bool ok = file.write_u32(3) && file.write_string("btn") && file.write_string("old");
  FOLDER folder;  // "$APP"
  ok = ok && folder.put_to_data_device(&file) && file.write_u32(2);
  // Version 3 stores ten colours: not yet active text, flashing, the two
  // disabled ones and underline.
  for (int i = 0; i < 10; ++i) ok = ok && file.write_u32(0xFF000001u + i);
  ok = ok && file.write_u8(1) && file.write_u32(0x205) && file.write_u32(0x300) &&
       file.write_u16(0x0F) && file.write_u8(2);
  for (int i = 0; i < 16; ++i) ok = ok && file.write_u16(static_cast<uint16_t>(100 + i));
  return ok;
}

bool write_seeds(FOLDER& seeds, const std::string& folder) {
  WM_STYLE_SET style;
  style.set_name("button");
  style.set_image_filename("btn");
  snprintf(style.image_path, sizeof style.image_path, "$APP/skin");
  style.underline_colour = 0xFFAABBCC;
  DATA_FILE* file = seeds.open_data_file("v9", 1, 0, false);
  bool ok = file && style.put_to_data_device(file);
  ok = FOLDER::close_data_file(file) && ok;
  file = seeds.open_data_file("v3", 1, 0, false);
  ok = ok && file && write_version_3(*file);
  ok = FOLDER::close_data_file(file) && ok;
  return ok && append_text(folder + "/v9") && append_text(folder + "/v3");
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
