#pragma once
// WM_TEXT_EDIT_BOX is the entry field over several lines: line feeds from
// Return, lines wrapped at spaces to the box's width, Up, Down, Home and End
// by line. It keeps the field's editing, clipboard, filter and length, but
// never a selection. Each draw lays the lines out; keys use the last layout.
#include <cstdint>
#include <vector>

#include "wm_text_edit.h"

class WM_TEXT_EDIT_BOX : public WM_TEXT_EDIT {
public:
  // One line of the last layout: where it starts in the text and how many
  // characters it covers (a leading line feed included).
  struct LINE {
    int32_t start;
    int32_t length;
  };

  // As the field, with a height of its own (at least one line).
  WM_TEXT_EDIT_BOX(int16_t x, int16_t y, uint16_t width, uint16_t height, uint16_t max_length,
                   const char* text, const WM_STYLE_SET* style, WM_CALLBACK callback,
                   uintptr_t word_1, uintptr_t word_2);

  int32_t process() override;
  void draw() override;

  const std::vector<LINE>& lines() const { return line_list; }
  uint16_t caret_line = 0;
  uint16_t caret_column = 0;

private:
  void lay_out(METRICS& m);
  // The first shown character of a line: past its leading line feed.
  int32_t shown_start(const LINE& line) const;
  void move_by_line(uint32_t key, bool ctrl);

  std::vector<LINE> line_list;
};
