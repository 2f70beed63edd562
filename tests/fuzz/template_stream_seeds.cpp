// Writes seed inputs for the template stream fuzz target into the folder
// given on the command line: stores written by the store itself (version
// and body), little- and big-endian, one with every array in use, and
// streams of the older layouts written by hand.
#include <cstdio>
#include <string>

#include "memory_device.h"
#include "seed_maker.h"
#include "template_old_stream.h"
#include "template_stream.h"
#include "wm_ptm_app_info.h"

namespace {

void fill(WM_PTM_APP_INFO& store) {
  store.set_title("Seed");
  WM_STYLE_SET* style = store.add_style_set();
  store.add_font()->set_file_name("seed.ttf");
  store.add_colour();
  WM_PTM_IMAGE_INFO* image = store.add_image();
  image->set_file_name("seed.png");
  store.add_constant();
  store.add_dialog()->add_object(2);
  WM_PTM_AREA_INFO* area = store.add_area();
  area->add_page();
  WM_PTM_PAGE_INFO* page = area->get_page(0);
  page->background = image;
  page->add_object(0x1000);
  WM_PTM_OBJECT_INFO* grid = page->get_object(0);
  grid->style = style;
  grid->image = image;
  grid->hotkey = 0xFF0D;
  grid->ensure_style();
  grid->set_text("grid");
  grid->add_child(16);
  grid->get_child(0)->cell_row = 0;
}

bool write_seeds(FOLDER&, const std::string& folder) {
  WM_PTM_APP_INFO store;
  bool ok = true;
  for (int filled = 0; filled < 2; filled++) {
    if (filled) fill(store);
    for (uint8_t swap : {0, 1}) {
      test_support::MEMORY_DEVICE device;
      device.swap = swap;
      ok = ok && device.write_u16(TEMPLATE_STREAM_VERSION) && device.write_object(store) &&
           write_bytes(folder + "/store_" + std::to_string(filled) + (swap ? "_big.bin" : ".bin"),
                       device.text());
    }
  }
  for (uint16_t version : {0, 3, 5, 7, 8, 11, 16, 24}) {
    test_support::MEMORY_DEVICE device;
    ok = ok && device.write_u16(version) &&
         write_bytes(folder + "/old_" + std::to_string(version) + ".bin",
                     device.text() + template_test::OLD_STREAM(version).body());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
