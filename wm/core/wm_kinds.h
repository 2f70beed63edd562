#pragma once
// Kind bits: each widget constructor ORs its class's bit into the object's
// kind mask, and code tests the mask instead of the class. The values are
// fixed (the template stream stores them as object types); none is handed
// out at run time.
#include <cstdint>

namespace wm_kind {

constexpr uint32_t MANAGER = 0x1;
constexpr uint32_t BUTTON = 0x2;
constexpr uint32_t MENU = 0x4;
constexpr uint32_t IMAGE = 0x8;
constexpr uint32_t SCRIPT = 0x10;
constexpr uint32_t DIALOG = 0x20;  // every dialog class
constexpr uint32_t ABOUT = 0x40;
constexpr uint32_t SCROLLBAR = 0x80;
constexpr uint32_t NUMPAD = 0x100;
constexpr uint32_t FILE_SELECT = 0x200;
constexpr uint32_t COLOUR_SELECT = 0x400;
constexpr uint32_t FLAGS_SELECT = 0x800;
constexpr uint32_t GRID = 0x1000;
constexpr uint32_t LIST_BOX = 0x2000;
constexpr uint32_t CONFIRM = 0x4000;
constexpr uint32_t TEXT_EDIT = 0x8000;
constexpr uint32_t TEXT_WIN = 0x10000;
constexpr uint32_t PROGRESS_BAR = 0x20000;
constexpr uint32_t PROGRESS_BAR_DIALOG = 0x40000;
constexpr uint32_t ANIMATION = 0x80000;
constexpr uint32_t TICKER = 0x100000;
constexpr uint32_t VIDIPRINTER = 0x200000;  // set together with TICKER
constexpr uint32_t FLOATING_MENU = 0x400000;
constexpr uint32_t KEYBOARD = 0x800000;
constexpr uint32_t KEYBOARD_DIALOG = 0x1000000;
constexpr uint32_t RANGE_SELECTOR = 0x2000000;
constexpr uint32_t TEXT_EDIT_DIALOG = 0x4000000;
constexpr uint32_t CHECK_BOX = 0x8000000;
constexpr uint32_t TYPING_SCRIPT = 0x20000000;

}  // namespace wm_kind
