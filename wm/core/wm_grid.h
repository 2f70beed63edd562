#pragma once
// WM_GRID places screen objects (its cells, which it owns) in rows and
// columns, scrolls the rows through a scroll bar it makes and removes by
// itself, follows the row under the pointer, moves the focus between cells
// with the arrow keys and paints row or cell backgrounds. The scroll value
// runs from 0 to the content height less the view height; the maximum shows
// the top row.
#include <cstdint>
#include <memory>
#include <vector>

#include "colour.h"
#include "parameter.h"
#include "skin_frame.h"
#include "wm_grid_row.h"
#include "wm_screen_object.h"
#include "wm_scrollbar.h"
#include "wm_style_set.h"

class FOLDER;
class WM_BUTTON;
class WM_IMAGE;
class WM_SCRIPT;
class WM_LIST_BOX;
using LIST_BOX_CALLBACK = int32_t (*)(WM_LIST_BOX* list_box, uintptr_t word_1, uintptr_t word_2);

class WM_GRID : public WM_SCREEN_OBJECT {
public:
  static constexpr uint32_t NO_ROW_LIMIT = 0xFFFFFFFFu;
  enum class DIRECTION : uint8_t { LEFT = 0, RIGHT = 1, UP = 2, DOWN = 3 };

  // Widths null: column_count equal columns. Null styles take the defaults.
  WM_GRID(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t column_count,
          const int16_t* widths, const WM_STYLE_SET* style, const WM_STYLE_SET* scrollbar_style);
  ~WM_GRID() override;

  // Empties a grid that has contents first.
  void init(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t column_count,
            const int16_t* widths, const WM_STYLE_SET* style, const WM_STYLE_SET* scrollbar_style);

  // ---- Contents.
  WM_SCREEN_OBJECT* get_cell(int32_t column, int32_t row) const;
  // Creates rows up to `row` and stores the object, deleting one that was
  // there. Null when refused (negative row, row at the limit, bad column):
  // the caller still owns the object then. The object already in the cell
  // changes nothing.
  WM_SCREEN_OBJECT* set_cell(int32_t column, int32_t row, WM_SCREEN_OBJECT* object);
  // A label built from the style; null (and nothing left over) when refused.
  WM_SCRIPT* add_text_cell(int32_t column, int32_t row, const char* text,
                           const WM_STYLE_SET* style);
  // A style-form button without tooltip; kind is its event mask.
  WM_BUTTON* add_button_cell(int32_t column, int32_t row, const char* text,
                             const WM_STYLE_SET* style, WM_CALLBACK callback, uintptr_t word_1,
                             uintptr_t word_2, uint8_t kind);
  // A colour-form button in the grid style's font (null colours = unset),
  // visible, with no edges; kind is its event mask.
  WM_BUTTON* add_check_box_cell(int32_t column, int32_t row, const char* text,
                                const COLOUR* text_colour, const COLOUR* background,
                                uint32_t draw_flags, WM_CALLBACK callback, uintptr_t word_1,
                                uintptr_t word_2, uint8_t kind);
  // A picture loaded from the folder and scaled to the cell.
  WM_IMAGE* add_image_cell(int32_t column, int32_t row, const char* file_name,
                           const FOLDER& folder, WM_CALLBACK callback, uintptr_t word_1,
                           uintptr_t word_2, uint8_t click_mask);
  // A drop-down list; the arguments after the cell are the list box's.
  WM_LIST_BOX* add_list_box_cell(int32_t column, int32_t row, int32_t count,
                                 const char* const* texts, int32_t initial,
                                 const WM_STYLE_SET* button_style, const WM_STYLE_SET* body_style,
                                 const WM_STYLE_SET* title_style, const WM_STYLE_SET* item_style,
                                 const WM_STYLE_SET* separator_style,
                                 const WM_STYLE_SET* up_arrow_style,
                                 const WM_STYLE_SET* down_arrow_style,
                                 const WM_STYLE_SET* submenu_style, LIST_BOX_CALLBACK callback,
                                 uintptr_t word_1, uintptr_t word_2);
  // A label in the grid style's font with the given colours (null = unset)
  // and label flags.
  WM_SCRIPT* add_script_cell(int32_t column, int32_t row, const char* text,
                             const COLOUR* text_colour, const COLOUR* background, uint32_t flags);
  void clear(bool keep_columns);
  void delete_rows(int32_t first, int32_t last);
  // Empties rows first..last and lays them out again from the current
  // column widths.
  void relayout_rows(int32_t first, int32_t last);
  void set_column_widths(int16_t count, const int16_t* widths);
  // "10,20,30": false (and an empty list) for no text, a zero or more than
  // 100 values.
  static bool parse_column_widths(const char* text, std::vector<int16_t>* widths);
  static uint16_t get_row_height(const WM_STYLE_SET& style, const WM_STYLE_SET* font_style);
  // Sets one row's height; every later row moves with it.
  void set_row_height(int32_t row, int32_t height);
  bool load_cell_frames(const char* folder, const char* base_name, const WM_STYLE_SET* style);
  // Rows whose selected flag is set, in order.
  std::vector<int32_t> get_selected_rows() const;
  bool find_cell(const WM_SCREEN_OBJECT* object, int32_t* row, int32_t* column,
                 bool forward) const;
  int32_t rows_fitting(int32_t row_height) const;
  int32_t get_row_count() const { return static_cast<int32_t>(rows.size()); }
  WM_GRID_ROW* get_row(int32_t row) const;

  // ---- Scrolling, focus and visibility.
  // The cell that holds the focus object, or a part of it.
  bool find_focused_cell(int32_t* column, int32_t* row, bool all_rows) const;
  // Never wraps; null when no cell qualifies.
  WM_SCREEN_OBJECT* next_cell(DIRECTION direction, int32_t column, int32_t row,
                              int32_t* out_column, int32_t* out_row, bool selectable_only) const;
  void focus_cell(int32_t column, int32_t row);
  void scroll_to_row(int32_t row);
  bool is_row_fully_visible(int32_t row) const;
  bool get_row_span(int32_t row, int32_t* y1, int32_t* y2) const;
  void apply_scroll();
  static int32_t scroll_step(WM_SCROLLBAR* bar, SCROLL_STEP kind);
  int32_t get_scroll_offset() const;
  int32_t get_view_height() const;
  int32_t get_content_height() const;
  // The cells of the rows in view, row by row: the Tab order's share.
  void collect_tab_cells(std::vector<WM_SCREEN_OBJECT*>& out) const;

  // ---- Screen-object slots.
  int32_t process() override;
  int32_t update(bool overlays) override;
  WM_SCREEN_OBJECT* find_object_at(int16_t px, int16_t py) override;
  void set_position(int16_t new_x, int16_t new_y) override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;
  void set_depth(int16_t new_depth) override;
  void remove_child(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative) override;
  bool is_selectable() override { return false; }
  void paint() override;
  void draw() override;

  int32_t first_visible_row = 0;
  int32_t last_visible_row = -1;
  uint32_t row_limit = 1024;
  std::vector<int16_t> column_widths;
  int32_t default_row_height = 0;
  int32_t rows_per_page = 0;
  WM_STYLE_SET style;
  WM_STYLE_SET scrollbar_style;
  uint16_t two_tone_value = 20;
  int32_t hover_row = -1;
  SKIN_FRAME cell_frame, over_frame, highlighted_frame, alternate_frame;
  uint8_t keyboard_navigation = 0;
  PARAMETER scroll;
  std::unique_ptr<WM_SCROLLBAR> scrollbar;  // never in the child list
  int32_t seen_value = 0;
  int32_t seen_maximum = 0;
  int32_t line_step = 0;  // 0: from the rows
  int32_t page_step = 0;

  // ---- Set-up in one call from a fresh style and a few overrides.
  enum class LINES : uint8_t { NONE = 0, BETWEEN_ROWS = 1, AROUND_CELLS = 2 };
  // Bits of SETUP::options.
  struct SETUP_OPTION {
    static constexpr uint8_t DARKENED_BACKGROUND = 1;
    static constexpr uint8_t OUTSTANDING_BORDER = 2;
    static constexpr uint8_t INDENT_BORDER = 4;
    static constexpr uint8_t FIX_TOP_ROW = 8;
    static constexpr uint8_t TWO_TONE = 16;
    static constexpr uint8_t DONT_RESIZE_IMAGE = 32;
  };
  // Negative sizes and gaps, font 255 and spacings of UNSET keep the fresh
  // style's values; a null colour keeps its background.
  struct SETUP {
    int16_t columns = 1;
    const int16_t* widths = nullptr;  // as the constructor's
    int32_t row_height = 0;
    const COLOUR* colour = nullptr;
    LINES lines = LINES::NONE;
    uint8_t options = 0;
    uint16_t slider_width = WM_STYLE_SET::UNSET;
    uint8_t font_id = 255;
    int16_t font_x_size = -1, font_y_size = -1;
    int16_t border_left = -1, border_right = -1, border_top = -1, border_bottom = -1;
    int16_t cell_left = -1, cell_right = -1, cell_top = -1, cell_bottom = -1;
    uint16_t x_spacing = WM_STYLE_SET::UNSET, y_spacing = WM_STYLE_SET::UNSET;
  };
  // Empties the grid and builds it afresh over the corners, the one style
  // serving the grid and its scroll bar.
  void configure(int16_t x1, int16_t y1, int16_t x2, int16_t y2, const SETUP& setup);

private:
  struct DRAWN_ROW {
    int32_t row;  // -1 for an empty row drawn below the last
    RECT r;
    int32_t extra;  // spare pixels given to the row
    bool odd;
  };

  int32_t inner_top() const;
  int32_t inner_bottom() const;
  // The screen y at which content coordinate 0 lies: one origin for
  // drawing, hovering, visibility and spans.
  int64_t content_origin() const;
  int64_t row_screen_top(int32_t row) const;
  int32_t fixed_top_margin() const;
  bool fixes_top_row() const { return (style.extended_flags & SSEF_GRID_FIX_TOP_ROW) != 0; }
  void rechain_rows(int32_t from);
  void update_maximum(bool keep_offset);
  void compute_last_visible_row();
  WM_GRID_ROW* new_row(int32_t height) const;
  void place_cell(WM_SCREEN_OBJECT* cell, const WM_GRID_ROW& row, int32_t column, int64_t top,
                  int32_t extra) const;
  void place_row_cells(const WM_GRID_ROW& row, int64_t top, int32_t extra) const;
  void sync_scrollbar();
  void size_slider();
  std::vector<DRAWN_ROW> drawn_rows();
  void fill_part(IMAGE* s, const RECT& r, int32_t row, bool odd, bool lines_or_cells,
                 uint8_t corners);
  int32_t process_row_cells(int32_t row, int32_t result, const LIFE_WATCH& watch);
  // Where Home (the first row), End (the last) and the page keys (a view's
  // whole rows on) take the focus from a row; -1 for other keys.
  int32_t row_after_key(uint32_t key, int32_t row) const;
  // The cell in the column that takes the focus at the row, else the
  // nearest one from it back towards from_row (its row in found_row); null
  // when there is none or the row is -1.
  WM_SCREEN_OBJECT* focusable_near(int32_t column, int32_t row, int32_t from_row, int32_t* found_row) const;
  // The object's column in the row; -1 when it is none of its cells.
  int32_t column_of(int32_t row, const WM_SCREEN_OBJECT* object) const;
  void get_cell_size(int32_t column, int32_t row, int32_t* w, int32_t* h) const;
  template <typename T>
  T* adopt(int32_t column, int32_t row, T* cell) {
    if (set_cell(column, row, cell)) return cell;
    delete cell;
    return nullptr;
  }

  std::vector<std::unique_ptr<WM_GRID_ROW>> rows;
  // Bumped whenever cells come or go, so that walks calling out to cells
  // stop when a callback changed the grid under them.
  uint32_t contents_generation = 0;
};
