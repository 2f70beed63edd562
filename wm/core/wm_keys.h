#pragma once
// The X key symbols the toolkit's widgets act on: scrolling, moving the
// focus between cells, answering a dialog and the Control modifier.
#include <cstdint>

namespace wm_key {

constexpr uint32_t ESCAPE = 0xFF1B;
constexpr uint32_t HOME = 0xFF50;
constexpr uint32_t LEFT = 0xFF51;
constexpr uint32_t UP = 0xFF52;
constexpr uint32_t RIGHT = 0xFF53;
constexpr uint32_t DOWN = 0xFF54;
constexpr uint32_t PAGE_UP = 0xFF55;
constexpr uint32_t PAGE_DOWN = 0xFF56;
constexpr uint32_t END = 0xFF57;
constexpr uint32_t CONTROL_L = 0xFFE3;
constexpr uint32_t CONTROL_R = 0xFFE4;

}  // namespace wm_key
