#pragma once
// WM_VIDIPRINTER is a ticker that types instead of scrolling: each item is
// revealed character by character from the left, held whole for the hold
// time, then the next one starts. The text being revealed is cut in place;
// the cut-off character is put back before the item changes.
#include <cstdint>

#include "wm_ticker.h"

class WM_VIDIPRINTER : public WM_TICKER {
public:
  // Inclusive corners; ms per character, ms a whole item stays; centre
  // places an item that fits in the middle of the widget.
  WM_VIDIPRINTER(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t time_per_character,
                 uint16_t hold_time, int16_t maximum_items, const WM_TICKER_TEXT& text,
                 CLICK_MODE click_mode, bool centre, WM_CALLBACK callback = nullptr,
                 uintptr_t word_1 = 0, uintptr_t word_2 = 0);
  ~WM_VIDIPRINTER() override;

  bool tick() override;

  // Characters of the current item shown; -1 while nothing is cut.
  int32_t get_revealed() const { return revealed; }

private:
  void abandon_cut() override;
  // Puts the cut-off character back into the current item.
  void restore_cut();
  // Cuts the current item after n characters (codes of a byte-1 run
  // counting as one).
  void cut_at(int32_t n);

  uint8_t hidden_character = 0;
  int32_t reveal_position = -1;  // byte where the text is cut; -1 = not cut
  int32_t revealed = -1;         // characters before it
  uint16_t hold_time = 0;
  bool centre = false;
};
