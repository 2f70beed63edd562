#pragma once
// WM_STYLE_SET is one named skin style: the colours, font, gaps, border
// shading, behaviour flags and state images a widget draws with. Widgets copy
// what they need from it. Skins keep styles as ".ss" configuration files,
// one key per field; installer data keep them in a versioned binary record.
#include <cstdint>

#include "colour.h"
#include "config_file.h"
#include "data_device.h"
#include "folder.h"

class IMAGE;
class IMAGE_CACHE;
class SKIN_FRAME;

// drawing_flags bits (".ss" keys "ssf_<name>").
enum : uint32_t {
  SSF_DRAW_BORDER = 0x1,
  SSF_INDENT_BORDER = 0x2,
  SSF_OUTSTANDING_BORDER = 0x4,
  SSF_HFADING = 0x8,
  SSF_VFADING = 0x10,
  SSF_DARKENED_BACKGROUND = 0x20,
  SSF_LEFT_JUSTIFY_TEXT = 0x40,
  SSF_RIGHT_JUSTIFY_TEXT = 0x80,
  SSF_USE_TEXT_COLOUR_FOR_OUTLINE = 0x100,
  SSF_SHADOW_TEXT = 0x200,
  SSF_INSET_TEXT = 0x400,
  SSF_CHISELED_TEXT = 0x800,
  SSF_DISABLED = 0x1000,
  SSF_ICON_LEFT = 0x2000,
  SSF_ICON_RIGHT = 0x4000,
  SSF_ICON_TOP = 0x8000,
  SSF_ICON_BOTTOM = 0x10000,
  SSF_ICON_ATTACH_TO_TEXT = 0x20000,
  SSF_WRAP_TEXT = 0x40000,
  SSF_DONT_RESIZE_IMAGE = 0x80000,
  SSF_TOP_ALIGN_TEXT = 0x100000,
  SSF_BOTTOM_ALIGN_TEXT = 0x200000,
};

// extended_flags bits (".ss" keys "ssef_<name>"); the infix names the widget
// family that reads the bit: SB scroll bars, TE text entry, GRID grids, PB
// progress bars, FM floating menus.
enum : uint32_t {
  SSEF_INVERT_VFADING_ON_PRESS = 0x1,
  SSEF_INDENT_WHEN_ACTIVE = 0x2,
  SSEF_LEFT_ARROW = 0x4,
  SSEF_RIGHT_ARROW = 0x8,
  SSEF_UP_ARROW = 0x10,
  SSEF_DOWN_ARROW = 0x20,
  SSEF_AUTO_DEPRESS = 0x40,
  SSEF_AUTO_ACTIVATE = 0x80,  // key "ssef_auto_actiavte", spelt as skins spell it
  SSEF_DONT_MASK_CLICK = 0x100,
  SSEF_SB_HORIZONTAL = 0x200,
  SSEF_SB_WITH_BUTTONS = 0x400,
  SSEF_TE_PASSWORD = 0x800,
  SSEF_GRID_FIX_TOP_ROW = 0x1000,
  SSEF_GRID_TWO_TONE = 0x2000,
  SSEF_GRID_TYPE_LINES = 0x4000,
  SSEF_GRID_TYPE_CELLS = 0x8000,
  SSEF_GRID_SCROLL_BY_LINE = 0x10000,
  SSEF_GRID_NO_SCROLLBAR = 0x20000,
  SSEF_GRID_ONLY_DRAW_USED_LINES = 0x40000,
  SSEF_PB_ONLY_DRAW_BAR = 0x80000,
  SSEF_PB_VERTICAL = 0x100000,
  SSEF_PB_NO_SHADING = 0x200000,
  SSEF_PB_POSITION_TEXT_ON_BAR = 0x400000,
  SSEF_PB_DRAW_ALT_PERCENTAGE = 0x800000,
  SSEF_FM_HIDE_SCROLLING_ARROWS = 0x1000000,
  SSEF_GRID_DONT_SHORTEN_SCROLLBAR = 0x2000000,
};

// scale_flags bits (".ss" keys "sssf_<name>"): what rescale keeps.
enum : uint8_t {
  SSSF_RETAIN_WIDTH = 0x1,
  SSSF_RETAIN_LEFT_BORDER = 0x2,
  SSSF_RETAIN_RIGHT_BORDER = 0x4,
  SSSF_RETAIN_X_FONT_SIZE = 0x8,
  SSSF_RETAIN_HEIGHT = 0x10,
  SSSF_RETAIN_TOP_BORDER = 0x20,
  SSSF_RETAIN_BOTTOM_BORDER = 0x40,
  SSSF_RETAIN_Y_FONT_SIZE = 0x80,
};

// State-image slots; each is loaded from "<image_filename><suffix>".
enum STYLE_IMAGE : uint8_t {
  STYLE_IMAGE_BASE,  // the bare image_filename
  STYLE_IMAGE_UP,
  STYLE_IMAGE_DOWN,
  STYLE_IMAGE_DISABLED,
  STYLE_IMAGE_OVER,
  STYLE_IMAGE_ACTIVE_UP,
  STYLE_IMAGE_ACTIVE_DOWN,
  STYLE_IMAGE_ACTIVE_DISABLED,
  STYLE_IMAGE_ACTIVE_OVER,
  STYLE_IMAGE_HIGHLIGHTED,
  STYLE_IMAGE_ALTERNATE,  // "_alternate", else "_alt"
  STYLE_IMAGE_FLASHING,
  STYLE_IMAGE_DRAGGING,
  STYLE_IMAGE_BG,
  STYLE_IMAGE_EMPTY,
  STYLE_IMAGE_FULL,
  STYLE_IMAGE_BAR,
  STYLE_IMAGE_BAR_DISABLED,
  STYLE_IMAGE_BAR_OVER,
  STYLE_IMAGE_SLIDER_UP,
  STYLE_IMAGE_SLIDER_DOWN,
  STYLE_IMAGE_SLIDER_DISABLED,
  STYLE_IMAGE_SLIDER_OVER,
  STYLE_IMAGE_LESS_UP,
  STYLE_IMAGE_LESS_DOWN,
  STYLE_IMAGE_LESS_DISABLED,
  STYLE_IMAGE_LESS_OVER,
  STYLE_IMAGE_MORE_UP,
  STYLE_IMAGE_MORE_DOWN,
  STYLE_IMAGE_MORE_DISABLED,
  STYLE_IMAGE_MORE_OVER,
  STYLE_IMAGE_COUNT
};

// ".ss" font callbacks: a font name to a font number when reading, a font
// number to a name (null: none) when writing.
using STYLE_FONT_LOOKUP = uint8_t (*)(const char* name, intptr_t context);
using STYLE_FONT_NAME = const char* (*)(uint8_t font_id, intptr_t context);

// get_draw_flags: text = the IMAGE text-drawing flags the style asks for;
// drawing = drawing_flags without the bits 0x100..0x8000 except 0x800.
struct STYLE_DRAW_FLAGS {
  uint32_t text;
  uint32_t drawing;
};

// The toolkit's one picture cache, which every style's state images use. It
// is made on first use and lives to the end of the process, so that styles
// held in static objects can still return their pictures at exit.
IMAGE_CACHE& wm_image_cache();

class WM_STYLE_SET : public DATA_DEVICE_CLIENT {
public:
  static constexpr uint32_t STORED_VERSION = 9;
  static constexpr uint16_t UNSET = 65535;  // a 16-bit gap or size that is not set

  WM_STYLE_SET();
  ~WM_STYLE_SET() override;
  // Deep copies, as copy().
  WM_STYLE_SET(const WM_STYLE_SET& other);
  WM_STYLE_SET& operator=(const WM_STYLE_SET& other);

  // Every value back to its default and image_path to ""; the images are
  // cleared; name and image_filename are kept.
  void set_defaults();
  // A null or empty text leaves the field null.
  void set_name(const char* text);
  void set_image_filename(const char* text);
  bool is_loaded() const { return loaded != 0; }

  void clear_images();
  // The 31 state images from image_path; nothing while image_filename is null.
  void load_images();
  // Every value, owned copies of the texts and new references to the
  // source's images. Copying a style onto itself changes nothing.
  WM_STYLE_SET& copy(const WM_STYLE_SET& source);

  // Reads one style from a ".ss" file. A missing required key ends the read
  // with false (what was read so far stays); a value that is no number or
  // colour leaves its field alone, the read goes on and ends with false.
  // "$HERE" in image_path means base, else the file's own folder.
  bool read_config(CONFIG_FILE& config, STYLE_FONT_LOOKUP lookup = nullptr, intptr_t context = 0,
                   const FOLDER* base = nullptr);
  // Writes every key; with a base, image_path goes out relative to it
  // ("$HERE/..."). False at the first key that cannot be stored, and for an
  // image path longer than a configuration value holds.
  bool write_config(CONFIG_FILE& config, STYLE_FONT_NAME font_name = nullptr, intptr_t context = 0,
                    const FOLDER* base = nullptr);

  // Version 9: 2169 bytes plus the two texts. Versions 0..8 are read too;
  // a later version reads as 9.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  // Adapts the gaps and font sizes to a size change by scale_flags.
  void rescale(int16_t old_width, int16_t old_height, int16_t new_width, int16_t new_height);
  STYLE_DRAW_FLAGS get_draw_flags() const;
  // Left plus right border gap (an unset gap is the border width of the
  // style's shading type), plus the text's width in the style's font on the
  // surface when a text is given. Buttons size themselves with it.
  int32_t get_padded_text_width(IMAGE* surface, const char* text) const;

  char image_path[FOLDER_PATH_SIZE] = {};  // folder of the images, in variable form
  uint32_t shading_type = 1;               // border style; 1 = the default one
  COLOUR fg_colour = 0xFFFFFFFF;
  COLOUR bg_colour = 0xFF000000;
  COLOUR fading_colour = COLOUR_INVISIBLE;
  COLOUR highlight_colour = COLOUR_INVISIBLE;
  COLOUR highlight_text_colour = COLOUR_INVISIBLE;
  COLOUR active_colour = COLOUR_INVISIBLE;
  COLOUR active_text_colour = COLOUR_INVISIBLE;
  COLOUR border_colour = COLOUR_INVISIBLE;  // no ".ss" key; when set widgets take it as theirs
  COLOUR mouse_over_colour = COLOUR_INVISIBLE;
  COLOUR mouse_over_text_colour = COLOUR_INVISIBLE;
  COLOUR flashing_colour = COLOUR_INVISIBLE;
  COLOUR flashing_text_colour = COLOUR_INVISIBLE;
  COLOUR disabled_colour = COLOUR_INVISIBLE;
  COLOUR disabled_text_colour = COLOUR_INVISIBLE;
  COLOUR underline_colour = COLOUR_INVISIBLE;
  uint8_t visible = 1;
  uint32_t drawing_flags = SSF_DRAW_BORDER | SSF_OUTSTANDING_BORDER;
  uint32_t extended_flags = 0;
  uint8_t scale_flags = 0xEE;  // everything but width and height retained
  uint16_t shading_flags = 255;  // bits 0-3 the edges, 4-7 the rounded corners
  uint8_t font_id = 255;         // 255: the surface's default font
  uint16_t font_x_sz = UNSET;
  uint16_t font_y_sz = UNSET;
  uint16_t border_left_gap = UNSET;
  uint16_t border_right_gap = UNSET;
  uint16_t border_top_gap = UNSET;
  uint16_t border_bottom_gap = UNSET;
  uint16_t cell_left_gap = UNSET;
  uint16_t cell_right_gap = UNSET;
  uint16_t cell_top_gap = UNSET;
  uint16_t cell_bottom_gap = UNSET;
  uint16_t x_spacing = 1;
  uint16_t y_spacing = 1;
  uint16_t scrollbar_button_width = 15;
  uint16_t scrollbar_slider_width = 10;
  uint16_t grid_scrollbar_width = 15;
  uint16_t grid_two_tone_value = 20;
  SKIN_FRAME* state_images[STYLE_IMAGE_COUNT] = {};  // owned; null when not found
  char* image_filename = nullptr;                    // owned
  char* name = nullptr;                              // owned
  uint8_t loaded = 0;

private:
  void copy_values(const WM_STYLE_SET& source);
};
