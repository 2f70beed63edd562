#pragma once
// The template store: a whole skinned application as data. At most one
// exists at a time; while it does, it is the registered store that record
// readers resolve image and style-set references against. This holds the
// named resources (style sets, fonts, colours, images, constants), the
// dialog templates and the areas with their pages.
#include <cstdint>
#include <memory>
#include <vector>

#include "wm_ptm_area_info.h"
#include "wm_ptm_colour_info.h"
#include "wm_ptm_constant_info.h"
#include "wm_ptm_dialog_info.h"
#include "wm_ptm_font_info.h"
#include "wm_ptm_image_info.h"
#include "wm_style_set.h"

class FOLDER;
class WM_DIALOG;
struct DIALOG_EFFECTS;
struct FOLDER_LIST_ENTRY;
class WM_PAGE_MANAGER;
class WM_SCREEN_OBJECT;
class WM_PTM_OBJECT_INFO;
class WM_PTM_PAGE_INFO;

// Called between the steps of a load or a scan, so that a progress display
// stays alive; the word is the one given with it.
using PTM_PROGRESS_HOOK = void (*)(uintptr_t word);
// Called by `start` (after the logo, when there is one) once the areas have
// their rectangles: the application sets its first pages here.
using PTM_START_HOOK = void (*)();

// One group of pop-up or dialog effects as the store keeps it.
struct TEMPLATE_EFFECTS {
  uint16_t flags = 0;
  int32_t open_delay = 0;
  int32_t display_delay = 0;
  uint8_t dragging_alpha = 0;
};

class WM_PTM_APP_INFO : public DATA_DEVICE_CLIENT {
public:
  // A second store while one is registered is fatal (error 0x6C).
  WM_PTM_APP_INFO();
  ~WM_PTM_APP_INFO() override;

  // Frees every record and gives every field its default (live objects
  // forget the templates that go, as every removal makes them). The page
  // manager stays.
  void clear();
  void set_title(const char* text);

  // The template stream in a data file with the byte-order byte: the
  // version, the image-cache flag (and the toolkit's image cache when it is
  // set), then the body. Load reads every version the body reader knows and
  // sorts the named arrays; a failed load leaves `loaded` 0.
  bool load(const FOLDER& folder, const char* file, uint8_t* out_cache_flag);
  // Adds a page to the area (area 0 when out of range; a first area when
  // there is none) holding one template per object of the page manager's
  // current area (nothing is captured without a manager), then writes.
  bool save(const FOLDER& folder, const char* file, uint16_t area, uint8_t cache_flag);

  // The store body; clears first when reading.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;
  WM_PTM_APP_INFO(const WM_PTM_APP_INFO&) = delete;
  WM_PTM_APP_INFO& operator=(const WM_PTM_APP_INFO&) = delete;

  static WM_PTM_APP_INFO* registered();
  // References as the stream stores them: a position in the registered
  // store's array, -1 for none. Out of range, or no store: none.
  static WM_STYLE_SET* style_set_reference(int32_t index);
  static WM_PTM_IMAGE_INFO* image_reference(int32_t index);
  static int32_t style_set_index(const WM_STYLE_SET* style);
  static int32_t image_index(const WM_PTM_IMAGE_INFO* image);

  // Each appends a default record named "<Kind> <count + 1>" and returns it
  // (null when memory runs out).
  WM_STYLE_SET* add_style_set();
  WM_PTM_FONT_INFO* add_font();
  WM_PTM_COLOUR_INFO* add_colour();
  WM_PTM_IMAGE_INFO* add_image();
  WM_PTM_CONSTANT_INFO* add_constant();
  WM_PTM_DIALOG_INFO* add_dialog();
  WM_PTM_AREA_INFO* add_area();

  // Remove one record (false when i is out of range); set_*_count replaces
  // the array by n unnamed default records; free_* empties it. A removed
  // image or style set is first forgotten by every page background and
  // object template that referred to it.
  bool remove_style_set(int32_t i);
  bool remove_font(int32_t i);
  bool remove_colour(int32_t i);
  bool remove_image(int32_t i);
  bool remove_constant(int32_t i);
  bool remove_dialog(int32_t i);
  bool remove_area(int32_t i);
  bool set_style_set_count(int32_t n);
  bool set_font_count(int32_t n);
  bool set_colour_count(int32_t n);
  bool set_image_count(int32_t n);
  bool set_constant_count(int32_t n);
  bool set_dialog_count(int32_t n);
  bool set_area_count(int32_t n);
  void free_style_sets();
  void free_fonts();
  void free_colours();
  void free_images();
  void free_constants();
  void free_dialogs();
  void free_areas();

  // Name order (strcmp, a missing name as ""); stable, so that records of
  // equal names keep their order.
  static int compare_style_sets(const WM_STYLE_SET& a, const WM_STYLE_SET& b);
  static int compare_fonts(const WM_PTM_FONT_INFO& a, const WM_PTM_FONT_INFO& b);
  static int compare_colours(const WM_PTM_COLOUR_INFO& a, const WM_PTM_COLOUR_INFO& b);
  static int compare_images(const WM_PTM_IMAGE_INFO& a, const WM_PTM_IMAGE_INFO& b);
  static int compare_constants(const WM_PTM_CONSTANT_INFO& a, const WM_PTM_CONSTANT_INFO& b);
  void sort_style_sets();
  void sort_fonts();
  void sort_colours();
  void sort_images();
  void sort_constants();
  // The first record of that name (null for none; out_index -1), searched
  // by halves; an array out of name order (added to or renamed since) is
  // sorted first, so positions can change.
  WM_STYLE_SET* find_style_set(const char* name, int32_t* out_index = nullptr);
  WM_PTM_FONT_INFO* find_font(const char* name, int32_t* out_index = nullptr);
  WM_PTM_COLOUR_INFO* find_colour(const char* name, int32_t* out_index = nullptr);
  WM_PTM_IMAGE_INFO* find_image(const char* name, int32_t* out_index = nullptr);
  WM_PTM_CONSTANT_INFO* find_constant(const char* name, int32_t* out_index = nullptr);

  // The font slot of the named font record, 0xFFFFFFFF when there is none.
  uint32_t font_id_for_name(const char* name);
  // The file of the first font record (array order) loaded into that slot.
  const char* font_file_for_id(uint8_t id) const;
  // The page's own setting when non-zero, else default_page_setting. Area
  // 0xFFFFFFFF is the page manager's current area, any other value a
  // signed 16-bit index.
  uint32_t get_page_setting(uint32_t page_id, uint32_t area) const;

  // The platform's application title (at most 255 characters kept); *out
  // receives the platform's text.
  static void set_app_title(const char** out, const char* text);
  static const char* get_app_title();

  // Hands the store to the toolkit: the title, the page manager (the given
  // one, else the one this store made earlier, else a new one with one area
  // per area record, at least one), the border theme, transitions, menu,
  // list-box, tooltip and dialog looks. Null while nothing is loaded. The
  // store deletes only a manager that it made itself.
  WM_PAGE_MANAGER* create_manager(WM_PAGE_MANAGER* given);
  WM_PAGE_MANAGER* get_manager() const { return manager; }
  // Opens the window at the store's size and mode and fills the first back
  // buffer with background_colour. False while nothing is loaded.
  bool open_screen();
  // Opens the window in the other mode; when the platform refuses, the old
  // mode is opened again and false returned.
  bool toggle_full_screen();
  // Remembers the store and the hook; shows the "logo" picture first when
  // show_logo asks for it (once), else places the areas and calls the hook.
  void start(PTM_START_HOOK hook);
  // Gives each page-manager area its record's rectangle, then calls the
  // start hook; returns page action 11.
  static int32_t logo_done();

  static void set_progress_hook(PTM_PROGRESS_HOOK hook, uintptr_t word);
  // Calls the progress hook when one is set.
  static void progress();

  // One default text template per live object of the list, into the page
  // when given, else as children of parent.
  void capture_objects(const std::vector<WM_SCREEN_OBJECT*>& objects, WM_PTM_PAGE_INFO* page,
                       WM_PTM_OBJECT_INFO* parent);

  char* title = nullptr;
  uint16_t screen_width = 800, screen_height = 600;
  uint8_t full_screen = 0;
  uint8_t show_logo = 0;
  uint8_t extra_flag_1 = 1, extra_flag_2 = 1;
  uint32_t background_colour = 0xFFC0C0C0;
  uint16_t toolkit_value = 200;
  uint32_t border_width = 6;
  uint32_t border_colour_1 = 0xFF808080, border_colour_2 = 0xFFFFFFFF;
  uint32_t border_colour_3 = 0xFF000000, border_colour_4 = 0xFFFFFF00;
  uint8_t transition_type = 0;
  int32_t transition_duration = 700;
  uint32_t default_page_setting = 10;
  uint32_t menu_mode = 0;
  TEMPLATE_EFFECTS menu_effects, list_box_effects, dialog_effects;
  WM_STYLE_SET tooltip_style;
  WM_STYLE_SET dialog_body_style, dialog_title_style, dialog_button_style;
  uint8_t dialog_backdrop_1 = 1, dialog_backdrop_2 = 0;
  uint8_t dialog_live_drag = 1;
  uint8_t dialog_draggable = 1;
  uint8_t loaded = 0;

  std::vector<std::unique_ptr<WM_STYLE_SET>> style_sets;
  std::vector<std::unique_ptr<WM_PTM_FONT_INFO>> fonts;
  std::vector<std::unique_ptr<WM_PTM_COLOUR_INFO>> colours;
  std::vector<std::unique_ptr<WM_PTM_IMAGE_INFO>> images;
  std::vector<std::unique_ptr<WM_PTM_CONSTANT_INFO>> constants;
  std::vector<std::unique_ptr<WM_PTM_DIALOG_INFO>> dialogs;
  std::vector<std::unique_ptr<WM_PTM_AREA_INFO>> areas;

  // ---- Building pages and dialogs from templates (template_builder.cpp).
  // Type 0 templates ask this hook for their widget (a plain label when it
  // is unset or answers null).
  using OBJECT_HOOK = WM_SCREEN_OBJECT* (*)(WM_PTM_OBJECT_INFO* object_template,
                                            WM_CALLBACK action_callback, uintptr_t word);
  static OBJECT_HOOK object_hook;
  static uintptr_t object_hook_word;
  // Builds each template with its subtree under parent, in a cell of a grid
  // parent when the template names one (a refused object is deleted with
  // its subtree). The callback is every widget's action callback and hears
  // (object, control_id, 0) for each template with a control id.
  static void build_objects(WM_SCREEN_OBJECT* parent, WM_CALLBACK callback,
                            const TEMPLATE_LIST& templates);
  // The page's background scaled over the area's root into back buffer 0,
  // its objects on the area's root, its id as the area's current page
  // word. Area -1: the current one. False (nothing built) without a
  // manager, while nothing is loaded, or when the area or page is missing.
  bool build_page(uint32_t page_id, WM_CALLBACK callback, uint32_t area);
  // The first dialog template of that name, built with the default dialog
  // styles and its objects in its client area; null when there is none or
  // nothing is loaded. The caller shows it (as an overlay).
  WM_DIALOG* create_dialog(const char* name, WM_CALLBACK callback, uintptr_t word_1,
                           uintptr_t word_2, const DIALOG_EFFECTS* effects);

  // ---- Generation from folders (template_folders.cpp).
  // Every ".ttf" and ".otf" file below the folder becomes a font named
  // after it; the outermost call sorts the fonts and loads them.
  void scan_fonts(const FOLDER& folder);
  void scan_font_entry(const FOLDER_LIST_ENTRY& entry);

private:
  bool read_body(DATA_DEVICE* device);
  void sort_named_arrays();
  // Every object template of every page and dialog, children included.
  void for_each_template(void (*visit)(WM_PTM_OBJECT_INFO& object, const void* gone),
                         const void* gone);
  // Nulls every reference to the record (null: to any record of its kind).
  void forget_image(const WM_PTM_IMAGE_INFO* image);
  void forget_style_set(const WM_STYLE_SET* style);

  WM_PAGE_MANAGER* manager = nullptr;
  bool owns_manager = false;
};
