#pragma once
// WM_TICKER_ITEM is one news line of a ticker: its own copy of the text, a
// word kept for the caller, whether a full ticker may drop it, and how many
// more cycles it is shown.
#include <cstdint>
#include <string>

struct WM_TICKER_ITEM {
  // A vidiprinter cuts the text of the item it reveals with a NUL, so the
  // text is read up to its first NUL, never by its size.
  std::string text;
  uint32_t value = 0;  // the caller's; the ticker never reads it
  uint8_t sticky = 0;  // non-zero: never the one a full ticker drops
  int32_t repeats = 0; // cycles left; negative = for ever
};
