// The dialog effects record, its text form and its reading from a skin.
#include "dialog_effects.h"

#include <algorithm>
#include <cstdio>

#include "config_file.h"

DIALOG_EFFECTS& default_dialog_effects() {
  static DIALOG_EFFECTS record;
  return record;
}

std::string describe_dialog_effects(const DIALOG_EFFECTS& e) {
  char text[128];
  std::snprintf(text, sizeof text, "Flags: 0x%04X, Open Delay: %d, Displaying Delay %d, Alpha 0x%02X",
                e.flags & dialog_effect::STORED_BITS, static_cast<int>(e.open_delay),
                static_cast<int>(e.display_delay), e.dragging_alpha & 0xFF);
  return text;
}

namespace {

// Clamped, never wrapped: a skin asking for 70000 gets 65535, not 4464.
void read_word(CONFIG_FILE& config, const FOLDER& folder, const char* key, int32_t maximum,
               uint32_t& field) {
  int32_t value = 0;
  if (config.get_int(folder, key, value)) {
    field = static_cast<uint32_t>(std::clamp<int32_t>(value, 0, maximum));
  }
}

}  // namespace

void read_dialog_effects(CONFIG_FILE& config, const FOLDER& folder, DIALOG_EFFECTS& effects) {
  read_word(config, folder, "flags", static_cast<int32_t>(dialog_effect::STORED_BITS),
            effects.flags);
  read_word(config, folder, "open_delay", INT32_MAX, effects.open_delay);
  read_word(config, folder, "display_delay", INT32_MAX, effects.display_delay);
  read_word(config, folder, "dragging_alpha", 255, effects.dragging_alpha);
}

bool load_dialog_effects(const FOLDER& skin_folder) {
  CONFIG_FILE config;
  config.init("dialog_effects.cfg", true);
  if (!config.exists(skin_folder) || !config.load(skin_folder, true)) return false;
  DIALOG_EFFECTS effects = default_dialog_effects();
  read_dialog_effects(config, skin_folder, effects);
  default_dialog_effects() = effects;
  return true;
}
