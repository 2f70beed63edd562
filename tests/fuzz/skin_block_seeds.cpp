// Writes seed inputs for the packed-skin-block fuzz target into the folder
// given on the command line: blocks made by write_skin, after the byte that
// chooses their byte order, for the built-in look and for a look with
// changed style sets, icons, effects and rates, in both byte orders.
#include <cstdio>
#include <string>

#include "database.h"
#include "dialog_effects.h"
#include "memory_device.h"
#include "seed_maker.h"
#include "skin_loader.h"

namespace {

void change(DATABASE& data) {
  data.title_style.fg_colour = 0xFF102030;
  data.options_style.set_name("options");
  data.icons[ICON_FORW].create(2, 2);
  data.icons[ICON_FOLDER].create(3, 1);
  data.progress_bar_animation_x_rate = 4;
  data.progress_bar_animation_update_rate = 30;
  default_dialog_effects().open_delay = 250;
  default_dialog_effects().dragging_alpha = 128;
}

bool write_seeds(FOLDER&, const std::string& folder) {
  DATABASE data;
  bool ok = true;
  for (const char* look : {"built_in", "changed"}) {
    if (look[0] == 'c') change(data);
    for (uint8_t swap : {0, 1}) {
      test_support::MEMORY_DEVICE device;
      device.swap = swap;
      ok = ok && write_skin(data, &device) &&
           write_bytes(folder + "/" + look + (swap ? "_big_endian.bin" : ".bin"),
                       std::string(1, static_cast<char>(swap)) + device.text());
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
