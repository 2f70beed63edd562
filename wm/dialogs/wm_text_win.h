#pragma once
// WM_TEXT_WIN is the read-only scrolling text window: it keeps the newest
// lines in a ring, wraps them at spaces into display rows of its width, grows
// a vertical scroll bar when the rows outnumber the view, lets the user select
// text by dragging and calls back when a row of a tagged line is clicked.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "colour.h"
#include "parameter.h"
#include "skin_frame.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"

class FOLDER;
class WM_SCROLLBAR;

// Bits of WM_TEXT_WIN::text_flags.
namespace text_win_flag {
constexpr uint16_t INDENTED_BORDER = 0x1;
constexpr uint16_t RAISED_BORDER = 0x2;
constexpr uint16_t LEFT_JUSTIFY = 0x4;
constexpr uint16_t RIGHT_JUSTIFY = 0x8;
constexpr uint16_t TOP_ALIGN = 0x10;
constexpr uint16_t BOTTOM_ALIGN = 0x20;
constexpr uint16_t DARKENED_BACKGROUND = 0x40;
constexpr uint16_t HORIZONTAL_FADING = 0x80;
constexpr uint16_t VERTICAL_FADING = 0x100;
constexpr uint16_t SHADOW = 0x200;
constexpr uint16_t INSET = 0x400;
constexpr uint16_t CHISELED = 0x800;
}  // namespace text_win_flag

class WM_TEXT_WIN : public WM_SCREEN_OBJECT {
public:
  static constexpr uint16_t LINE_LIMIT = 1024;  // longest line read from a file at once
  static constexpr int32_t NONE = -1;

  // Colours: a the scroll bar's slider and buttons, b its track, c its
  // arrows (null = unset). Gaps are the default border's width plus gap.
  WM_TEXT_WIN(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t gap, uint16_t capacity,
              uint16_t bar_width, const COLOUR* a, const COLOUR* b, const COLOUR* c,
              bool selectable_text, bool visible, WM_CALLBACK callback, uintptr_t word_1,
              uintptr_t word_2);
  // Look, font and gaps from the style (null = defaults), the scroll bar
  // from the second style.
  WM_TEXT_WIN(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const WM_STYLE_SET* style,
              const WM_STYLE_SET* bar_style, uint16_t capacity, bool selectable_text,
              WM_CALLBACK callback, uintptr_t word_1, uintptr_t word_2);
  ~WM_TEXT_WIN() override;

  int32_t process() override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  // A Tab stop while it scrolls: it has more rows than it shows.
  bool is_selectable() override { return scrollbar != nullptr; }
  void draw() override;

  // Every LF and every CR ends a line; a null tag is "". False (nothing
  // added) for a null text.
  bool add_text(const char* text, const char* tag, const COLOUR* colour, bool redraw,
                bool allow_scrollbar);
  // Adds the file's lines (longer ones in parts of LINE_LIMIT - 1 bytes); false
  // when it did not open or held nothing. A whole file grows the line ring
  // as far as it needs, so that none of its lines is dropped.
  bool load_text_file(const FOLDER& folder, const char* name, const COLOUR* colour,
                      bool whole = false);
  void clear();
  // Wraps every held line again, oldest first.
  void rewrap();

  // The selected characters, a space after each row's part, cut on a
  // character boundary to size - 1 bytes and terminated. Returns the bytes
  // written before the terminator; nothing at all for size 0.
  size_t get_selected_text(char* buffer, size_t size) const;
  bool has_selection() const { return sel_start_row != NONE; }
  void clear_selection();
  // The character of a display row under screen x, within the row; 0 for
  // an unused row.
  int32_t char_at(int32_t row, int32_t screen_x);

  // A loaded style lends its frame (a style without one keeps the current
  // frame); else the frame named from the folder, none for a null name.
  bool set_frame(const char* path, const char* name, const WM_STYLE_SET* style);
  bool set_frame(const FOLDER& folder, const char* name, const WM_STYLE_SET* style);
  bool has_frame() const { return frame.is_loaded(); }
  void clear_frame() { frame.clear(); }

  // ---- What callers and tests read back.
  int32_t get_row_count() const { return row_count; }
  int32_t get_line_count() const { return line_count; }
  int32_t get_visible_rows() const { return last_visible_row + 1; }
  int32_t get_row_height() const { return font_h; }
  // The display row at a ring index: its line's text from the row's first
  // character, how many characters belong to it and whether it starts in a
  // run of characters above 255. Null text for an unused row.
  struct ROW_VIEW {
    const char* text = nullptr;
    int32_t length = 0;
    bool run_open = false;
  };
  ROW_VIEW get_row(int32_t row) const;
  // The ring index of the n-th oldest held row, NONE beyond the rows.
  int32_t row_at_age(int32_t n) const;
  // The ring index of the n-th row shown (0 = top of the view), NONE when
  // the view has no row there.
  int32_t shown_row(int32_t n) const;
  // The screen rectangle the rows are drawn in (gaps and the scroll bar
  // left out), inclusive.
  RECT text_area() const;
  // The pixel width of the first count characters of a row.
  int32_t row_width(int32_t row, int32_t count);

  WM_SCROLLBAR* scrollbar = nullptr;  // a child while it exists
  PARAMETER scroll;  // rows scrolled back from the newest; the bar edits it
  const char* clicked_tag = nullptr;  // while the callback runs
  uint8_t keep_at_top = 0;  // the view returns to the oldest row after every added row
  uint8_t selection_allowed = 0;
  COLOUR background_colour = COLOUR_INVISIBLE;
  COLOUR fading_colour = COLOUR_INVISIBLE;
  uint8_t font_id = 255;
  uint16_t font_w = 0;
  uint16_t font_h = 0;  // the row height
  uint16_t left_gap = 0, right_gap = 0, top_gap = 0, bottom_gap = 0;
  uint16_t text_flags = text_win_flag::INDENTED_BORDER | text_win_flag::LEFT_JUSTIFY;
  // draw_border's flags; 0x10..0x80 also round the background's corners.
  uint16_t border_flags = 15;
  SKIN_FRAME frame;
  WM_STYLE_SET scrollbar_style;

private:
  struct LINE {
    std::string text;
    std::string tag;
    COLOUR colour = 0xFF000000;
    uint32_t serial = 0;  // rows check it, so a row never reads a line that replaced its own
  };
  struct ROW {
    int32_t line = NONE;  // ring index of the line; NONE = unused
    uint32_t serial = 0;
    int32_t start = 0;    // byte offset into the line's text
    int32_t length = 0;   // characters
    bool run_open = false;
  };

  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t capacity);
  void add_line(const char* text, size_t length, const char* tag, COLOUR colour,
                bool allow_scrollbar);
  // True when the wrap made the scroll bar (and so re-wrapped everything).
  bool wrap_line(int32_t line, bool allow_scrollbar);
  void grow_lines();
  bool grow_rows();
  void drop_stale_rows();
  bool make_scrollbar();
  void update_scrollbar();
  void remove_scrollbar();
  void empty_rows();
  void wrap_all();
  void redraw();
  // The scroll keys: all of them while the window has the focus, Page Up
  // and Page Down also while a button of its page has it.
  void handle_keys();
  bool pages_for_focused_button() const;
  int32_t available_width() const;
  int32_t char_width(uint32_t code);
  const ROW* used_row(int32_t row) const;
  const LINE* line_of(const ROW& r) const;
  int32_t first_shown_row() const;
  int32_t shown_count() const;
  int32_t used_shown_count() const;
  int32_t rows_offset() const;
  // Where a row of that width starts, by the justification.
  int32_t row_x(int32_t width) const;
  int32_t row_under(int32_t py) const;
  // Order of a ring index from the oldest held row.
  int32_t age(int32_t row) const;
  void select_to(int32_t row, int32_t character);
  void draw_background(IMAGE* s);
  void draw_row(IMAGE* s, int32_t row, int32_t top);
  static int32_t on_scroll(WM_SCREEN_OBJECT* bar, uintptr_t window, uintptr_t unused);

  // Largest rings: a whole file keeps this many lines, and the rows of the
  // held lines this many rows, before the oldest give way.
  static constexpr int32_t kMostLines = 1 << 20;
  static constexpr int32_t kMostRows = 1 << 22;

  std::unique_ptr<LINE[]> lines;
  // The display rows of the held lines, oldest at first_row; the ring grows
  // when a held line needs more rows than it has.
  std::unique_ptr<ROW[]> rows;
  int32_t capacity = 0;
  int32_t row_capacity = 0;
  int32_t first_row = 0, next_row = 0, row_count = 0;
  bool growing_lines = false;
  int32_t next_line = 0, line_count = 0;
  uint32_t line_serial = 0;
  double row_step = 0.0;
  int32_t last_visible_row = -1;
  uint16_t bar_width = 15;
  // Widths of the codes 0..255 in the window's font, measured on first use;
  // a change of the font fields starts them again.
  int32_t code_widths[256];
  bool widths_known[256] = {};
  uint64_t widths_font = 0;

  uint8_t left_pressed = 0;
  uint8_t second_pressed = 0;
  int16_t press_x = 0, press_y = 0;
  int32_t press_row = NONE;
  bool dragging = false;
  int32_t sel_start_row = NONE, sel_start_char = -1;
  int32_t sel_end_row = NONE, sel_end_char = -1;
  int32_t anchor_row = NONE, anchor_char = -1;
};
