#pragma once
// The open and close effects of dialogs: which effects run (fade, slide in
// from or out to an edge, translucency while dragged), how long they take,
// and the one global default record that the skin's "dialog_effects.cfg"
// adjusts. Dialogs copy a record when they are built.
#include <cstdint>
#include <string>

class CONFIG_FILE;
class FOLDER;

// Bits of DIALOG_EFFECTS::flags.
namespace dialog_effect {
constexpr uint32_t FADE_IN = 0x0001;       // alpha rises from 0 when opening
constexpr uint32_t FADE_OUT = 0x0002;      // alpha falls to 0 when closing
constexpr uint32_t ANIMATE_FALL = 0x0004;  // to a visible level
constexpr uint32_t ANIMATE_RISE = 0x0008;  // between visible levels
constexpr uint32_t SLIDE_IN = 0x0010;
constexpr uint32_t SLIDE_OUT = 0x0020;
// Directions; up wins over down and left over right.
constexpr uint32_t SLIDE_UP = 0x0040;
constexpr uint32_t SLIDE_LEFT = 0x0080;
constexpr uint32_t SLIDE_DOWN = 0x0100;
constexpr uint32_t SLIDE_RIGHT = 0x0200;
// Where a slide starts or ends; with neither, one own size away.
constexpr uint32_t SCREEN_EDGES = 0x0400;
constexpr uint32_t AREA_EDGES = 0x0800;  // only without SCREEN_EDGES
constexpr uint32_t STORED_BITS = 0xFFFF;
}  // namespace dialog_effect

// The four words every dialog effects record starts with. Widgets whose
// pop-ups need more words (menus, list boxes) derive their own record from
// this one and read their extra words themselves; a dialog copies only
// these four.
struct DIALOG_EFFECTS {
  uint32_t flags = 0x047C;  // slide in from above the screen and out upward
  uint32_t open_delay = 300;     // ms of the open and close effects
  uint32_t display_delay = 1000; // ms of an alpha change between two visible levels
  uint32_t dragging_alpha = 192; // low 8 bits: the opacity while dragged
};

// The record dialogs built without one use.
DIALOG_EFFECTS& default_dialog_effects();

// "Flags: 0x%04X, Open Delay: %d, Displaying Delay %d, Alpha 0x%02X".
std::string describe_dialog_effects(const DIALOG_EFFECTS& effects);

// Replaces each of "flags", "open_delay", "display_delay" and
// "dragging_alpha" that the configuration holds as a decimal number, held
// to what its field stores (flags 16 bits, delays 0 and up, alpha 0..255);
// the others keep their values.
void read_dialog_effects(CONFIG_FILE& config, const FOLDER& folder, DIALOG_EFFECTS& effects);
// Reads the skin folder's "dialog_effects.cfg" into the global default
// record; false (nothing changed) when the file is not there.
bool load_dialog_effects(const FOLDER& skin_folder);
