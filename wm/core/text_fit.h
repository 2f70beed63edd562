#pragma once
// Texts measured character by character and cut to a width in pixels, for
// labels, buttons, list cells and entry fields: the end or the middle of a
// text that cannot grow gives way to an ellipsis, always between whole
// characters of system text, so a code run stays whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rect.h"

class IMAGE;

// A font as the text routines take it: 255 and 65535 / -1 are the
// surface's own.
struct TEXT_FONT {
  uint8_t id = 255;
  uint16_t width = 65535;
  int16_t height = -1;
};

// The characters of system text (code points), and characters back in
// system form with any code run closed again.
std::u32string system_characters(const char* text);
std::string system_text_of(const char32_t* characters, size_t count);
// The advance of one character in the font.
int32_t character_width(IMAGE* s, const TEXT_FONT& font, uint32_t code);

// What stands for the characters cut out: the font's own ellipsis
// character "…" (in system text) when it has one, else "...".
std::string text_ellipsis(IMAGE* s, const TEXT_FONT& font);
// The text when it fits the width; else as many characters from its start
// as fit with the ellipsis behind them (the ellipsis alone when none does).
std::string fit_text_end(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width);
// The same, taking characters out of the middle: as much of the start and
// the end as fit around the ellipsis, the end first (it names a path's own
// folder).
std::string fit_text_middle(IMAGE* s, const TEXT_FONT& font, const char* text, int32_t width);

// A line of text in a widget: the font's accents over capitals stand above
// the line's cell (IMAGE::get_text_overhang). The line moves down to hold
// them within the widget's box as far as the box has room below it, and
// its clip is the content rectangle reaching up to the accents and down to
// the line's cell, never out of the box.
struct TEXT_LINE_PLACE {
  int32_t top;
  RECT clip;
};
TEXT_LINE_PLACE place_text_line(IMAGE* s, const TEXT_FONT& font, const RECT& content,
                                int32_t top, const RECT& box);
// The rows a widget sized to its text adds below a top gap of that many
// rows, so that the accents over capitals stand inside it.
int32_t accent_room(IMAGE* s, const TEXT_FONT& font, int32_t top_gap);
