#pragma once
// WM_TYPING_SCRIPT is a text label that types its text: from its first draw
// (plus a start delay) it shows one more character every interval until the
// whole text stands, then calls its action callback. A click while it types
// shows the whole text at once and calls the callback.
#include <cstdint>

#include "vorn_string.h"
#include "wm_script.h"

class WM_TYPING_SCRIPT : public WM_SCRIPT {
 public:
  // The label's forms; both start typing their text at once.
  WM_TYPING_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
                   const char* text);
  WM_TYPING_SCRIPT(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const char* text, uint8_t font,
                   uint16_t font_w, uint16_t font_h, COLOUR text_colour, COLOUR background);
  ~WM_TYPING_SCRIPT() override;

  // Types the label's current text anew (shows it as it is with interval 0).
  void start_typing();
  // As the label's, then types the new text from an empty label.
  void set_text(const char* new_text, bool grow) override;
  int32_t process() override;
  int32_t update(bool overlays) override;
  void draw() override;

  bool is_typing() const { return characters_to_type != 0; }

  uint32_t interval = 20;     // ms per character; 0 = no typing
  uint16_t start_delay = 0;   // ms after the first draw

 private:
  void finish_typing();
  // Runs the action callback; false when the callback deleted the label.
  bool call_back();

  VORN_STRING full_text;
  // Characters above 255 count as one; at most 65535, a longer text stands
  // whole once that many have been typed.
  uint16_t characters_to_type = 0;
  uint16_t characters_shown = 0;
  bool started = false;
  uint32_t typing_start = 0;  // get_time_ms
};
