#pragma once
// WM_TABLE is a paged data table: a grid whose fixed top row holds a sort
// button per visible column, and above it a "Columns" menu (the column
// chooser, the default columns, named column sets), a "Filters" menu, the
// current filter's name and a page selector. The table keeps the view
// (visible columns, sort, filter, page) and hands it to its owner's data
// callback after every change; the owner fills the grid's rows below the
// header. Clicks only record requests, which the next process applies.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image.h"
#include "parameter.h"
#include "wm_screen_object.h"
#include "wm_style_set.h"
#include "wm_table_column.h"
#include "wm_table_column_set.h"
#include "wm_table_styles.h"

class WM_BUTTON;
class WM_FLAGS_SELECT;
class WM_FLOATING_MENU;
class WM_GRID;
class WM_MENU;
class WM_RANGE_SELECTOR;
class WM_SCRIPT;
class WM_TABLE;
class WM_TABLE_CHOOSER_LINK;

// Called at the end of every refresh. Visibility holds one byte per column.
// Sort: 0 none, +k ascending by column k - 1, -k descending. Filter: -1 none.
// The callback may delete the table.
using WM_TABLE_DATA_CALLBACK = void (*)(WM_TABLE* table, PARAMETER* page,
                                        const uint8_t* visibility, int16_t sort, int16_t filter,
                                        uintptr_t word);

class WM_TABLE : public WM_SCREEN_OBJECT {
public:
  static constexpr int16_t MAX_COLUMNS = 32;
  static constexpr int16_t MAX_PAGES = 32767;  // the page is an i16
  static constexpr int16_t NO_PENDING = static_cast<int16_t>(0x8000);
  static constexpr int16_t NO_FILTER = -1;
  static constexpr const char* FILTER_PREFIX = "Current Filter: ";
  static constexpr const char* NO_FILTER_NAME = "None";
  static constexpr const char* UNKNOWN_SET_NAME = "Unknown";
  static constexpr const char* CHOOSER_TITLE = "Select Viewable Columns";
  static constexpr const char* PAGE_FORMAT = "Page %c of %u";
  static constexpr int16_t PAGE_SELECTOR_WIDTH = 200;

  // Bits of the options.
  struct OPTION {
    static constexpr uint8_t NO_PAGE_SELECTOR = 1;
    static constexpr uint8_t NO_COLUMNS_MENU = 2;
    static constexpr uint8_t NO_FILTER_LABEL = 4;
  };
  // User word 1 of the table's items; user word 2 is the table.
  enum EVENT : uintptr_t {
    EVENT_PAGE = 1,
    EVENT_CHANGE = 2,  // the "Change" item, and the chooser's answer
    EVENT_RESET = 3,
    EVENT_HEADER = 4,
    EVENT_FILTER = 5,
    EVENT_COLUMN_SET = 6,
  };

  // The parts are placed at the corners relative to the table, which
  // itself stays at (0, 0) until its owner moves it. Columns (at most 32),
  // filter names and their texts are copied.
  WM_TABLE(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint16_t page_count,
           uint16_t row_height, int16_t column_count, const WM_TABLE_COLUMN* columns,
           const char* const* filter_names, int16_t filter_count,
           WM_TABLE_DATA_CALLBACK data_callback, uintptr_t data_word, uint8_t options,
           const WM_TABLE_STYLES& styles);
  // Deletes an open column chooser too.
  ~WM_TABLE() override;

  void set_visible_columns(uint32_t mask);
  void set_sort(int16_t new_sort);
  // The current filter again clears it.
  void set_filter(int16_t new_filter);
  void set_column_sets(const WM_TABLE_COLUMN_SET* sets, int16_t count);
  void set_page(int16_t new_page);
  // 1..32767.
  void set_page_count(int16_t count);
  void refresh();
  // The height left for rows below a header drawn in the taller of the two
  // styles (either may be null); never below 0.
  static uint16_t get_body_height(uint16_t h, const WM_STYLE_SET* a, const WM_STYLE_SET* b);

  int32_t process() override;
  void set_size(uint16_t w, uint16_t h, bool resize_children) override;

  // The item callback of every part.
  static int32_t on_event(WM_SCREEN_OBJECT* item, uintptr_t code, uintptr_t word_2);

  uint32_t get_visible_mask() const;
  uint32_t get_default_mask() const;
  int16_t get_sort() const { return sort; }
  int16_t get_filter() const { return filter; }
  int16_t get_page() const;
  int16_t get_page_count() const;
  int16_t get_column_count() const { return column_count; }
  int16_t get_visible_count() const { return visible_count; }
  int16_t get_header_height() const { return header_height; }
  const WM_TABLE_COLUMN& get_column(int16_t i) const { return columns[static_cast<size_t>(i)]; }
  const std::vector<int16_t>& get_visible_widths() const { return visible_widths; }
  bool has_tick_image() const { return tick.width > 0; }
  // Null when none is open.
  WM_FLAGS_SELECT* get_chooser() const { return chooser; }

  WM_GRID* grid = nullptr;                     // children, owned through the child list
  WM_RANGE_SELECTOR* page_selector = nullptr;  // null with no page selector
  WM_MENU* columns_menu = nullptr;
  WM_MENU* filters_menu = nullptr;
  WM_SCRIPT* filter_label = nullptr;
  // The owner sets it to have the table refreshed in the next frame.
  uint8_t refresh_requested = 0;

private:
  friend class WM_TABLE_CHOOSER_LINK;
  // Refreshes when asked to; false when the owner deleted the table.
  bool refresh_if_requested(const LIFE_WATCH& watch);
  struct COLUMN_SET {
    std::string name;
    uint32_t mask;
  };

  void apply_mask(uint32_t mask);
  void build_header();
  void build_columns_menu();
  void mark_filters();
  void open_chooser();
  void chooser_answered(WM_FLAGS_SELECT* dialog, bool ok);
  void chooser_gone();
  static int32_t index_of(const std::vector<WM_BUTTON*>& items, const WM_SCREEN_OBJECT* item);
  // Gives the button the tick as its icon, or without one the active look.
  void mark_item(WM_BUTTON* item, bool on) const;
  const WM_STYLE_SET& header_style_of(int16_t column) const;

  int16_t header_height = 0;
  uint16_t row_height = 0;
  WM_STYLE_SET header_style, descending_style, ascending_style;
  IMAGE tick;
  // Copies: the chooser is built long after the owner's styles may be gone.
  std::unique_ptr<WM_STYLE_SET> chooser_check_box_style;  // null: none given
  std::unique_ptr<WM_STYLE_SET> chooser_grid_style;
  std::vector<uint8_t> visibility;
  std::vector<WM_TABLE_COLUMN> columns;
  std::vector<int16_t> visible_widths;
  std::vector<const char*> descriptions;  // into columns' descriptions
  int16_t column_count = 0;
  int16_t visible_count = 0;
  std::vector<std::string> filter_names;
  std::vector<COLUMN_SET> column_sets;
  // The menus' items by filter and by column set (a menu keeps its own use
  // for an item's spare word); the items belong to the pop-ups.
  std::vector<WM_BUTTON*> filter_items;
  std::vector<WM_BUTTON*> set_items;
  PARAMETER page;
  WM_TABLE_DATA_CALLBACK data_callback = nullptr;
  uintptr_t data_word = 0;
  int16_t sort = 0;
  int16_t pending_sort = NO_PENDING;
  int16_t filter = NO_FILTER;
  int16_t pending_filter = NO_PENDING;
  uint8_t pending_mask_set = 0;
  uint32_t pending_mask = 0;
  // What the header row and the "Columns" menu were last built for: a
  // refresh that changes neither keeps them and only empties the rows.
  static constexpr uint64_t STALE = ~uint64_t{0};
  uint64_t header_built_for = STALE;  // visible mask, then the sort
  uint64_t menu_built_for = STALE;    // visible mask
  WM_FLAGS_SELECT* chooser = nullptr;     // an overlay; null once deleted
  WM_TABLE_CHOOSER_LINK* link = nullptr;  // inside the chooser
};
