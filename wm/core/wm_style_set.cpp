#include "wm_style_set.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>

#include "debug_stream.h"
#include "font.h"
#include "image.h"
#include "image_cache.h"
#include "skin_frame.h"
#include "string_utils.h"
#include "wm_screen_object.h"

namespace {

using STYLE = WM_STYLE_SET;
constexpr uint16_t UNSET = STYLE::UNSET;
constexpr size_t kConfigValueMax = sizeof(CONFIG_ENTRY::value) - 1;

// The colours in field order, with their ".ss" key and the first binary
// version that stores them.
struct COLOUR_FIELD {
  COLOUR STYLE::*field;
  const char* key;  // null: no key in the text form
  uint8_t since;
  bool required;
};
constexpr COLOUR_FIELD kColours[] = {
    {&STYLE::fg_colour, "fg_colour", 0, true},
    {&STYLE::bg_colour, "bg_colour", 0, true},
    {&STYLE::fading_colour, "fading_colour", 0, true},
    {&STYLE::highlight_colour, "highlight_colour", 0, true},
    {&STYLE::highlight_text_colour, "highlight_text_colour", 0, true},
    {&STYLE::active_colour, "active_colour", 0, true},
    {&STYLE::active_text_colour, "active_text_colour", 5, false},
    {&STYLE::border_colour, nullptr, 0, false},
    {&STYLE::mouse_over_colour, "mouse_over_colour", 2, false},
    {&STYLE::mouse_over_text_colour, "mouse_over_text_colour", 2, false},
    {&STYLE::flashing_colour, "flashing_colour", 4, false},
    {&STYLE::flashing_text_colour, "flashing_text_colour", 3, false},
    {&STYLE::disabled_colour, "disabled_colour", 9, false},
    {&STYLE::disabled_text_colour, "disabled_text_colour", 9, false},
    {&STYLE::underline_colour, "underline_colour", 8, false},
};

// The 16-bit sizes in stored order; the gaps, spacings and widths (from
// kFirstGap on) are also the order of the ".ss" keys.
struct SIZE_FIELD {
  uint16_t STYLE::*field;
  const char* key;
};
constexpr SIZE_FIELD kSizes[] = {
    {&STYLE::font_x_sz, "font_x_sz"},
    {&STYLE::font_y_sz, "font_y_sz"},
    {&STYLE::border_left_gap, "border_left_gap"},
    {&STYLE::border_right_gap, "border_right_gap"},
    {&STYLE::border_top_gap, "border_top_gap"},
    {&STYLE::border_bottom_gap, "border_bottom_gap"},
    {&STYLE::cell_left_gap, "cell_left_gap"},
    {&STYLE::cell_right_gap, "cell_right_gap"},
    {&STYLE::cell_top_gap, "cell_top_gap"},
    {&STYLE::cell_bottom_gap, "cell_bottom_gap"},
    {&STYLE::x_spacing, "x_spacing"},
    {&STYLE::y_spacing, "y_spacing"},
    {&STYLE::scrollbar_button_width, "scrollbar_button_width"},
    {&STYLE::scrollbar_slider_width, "scrollbar_slider_width"},
    {&STYLE::grid_scrollbar_width, "grid_scrollbar_width"},
    {&STYLE::grid_two_tone_value, "grid_two_tone_value"},
};
constexpr size_t kFirstGap = 2;

// Flag keys in the order they are written; reading takes the same order.
struct FLAG_KEY {
  const char* key;
  uint8_t bit;
};
constexpr FLAG_KEY kDrawingKeys[] = {
    {"ssf_draw_border", 0},        {"ssf_indent_border", 1},
    {"ssf_outstanding_border", 2}, {"ssf_hfading", 3},
    {"ssf_vfading", 4},            {"ssf_darkened_background", 5},
    {"ssf_left_justify_text", 6},  {"ssf_right_justify_text", 7},
    {"ssf_top_align_text", 20},    {"ssf_bottom_align_text", 21},
    {"ssf_use_text_colour_for_outline", 8}, {"ssf_shadow_text", 9},
    {"ssf_inset_text", 10},        {"ssf_chiseled_text", 11},
    {"ssf_disabled", 12},          {"ssf_icon_left", 13},
    {"ssf_icon_right", 14},        {"ssf_icon_top", 15},
    {"ssf_icon_bottom", 16},       {"ssf_icon_attach_to_text", 17},
    {"ssf_wrap_text", 18},         {"ssf_dont_resize_image", 19},
};
constexpr FLAG_KEY kExtendedKeys[] = {
    {"ssef_invert_vfading_on_press", 0},   {"ssef_indent_when_active", 1},
    {"ssef_left_arrow", 2},                {"ssef_right_arrow", 3},
    {"ssef_up_arrow", 4},                  {"ssef_down_arrow", 5},
    {"ssef_auto_depress", 6},              {"ssef_auto_actiavte", 7},
    {"ssef_dont_mask_click", 8},           {"ssef_sb_horizontal", 9},
    {"ssef_sb_with_buttons", 10},          {"ssef_te_password", 11},
    {"ssef_grid_fix_top_row", 12},         {"ssef_grid_two_tone", 13},
    {"ssef_grid_type_lines", 14},          {"ssef_grid_type_cells", 15},
    {"ssef_grid_scroll_by_line", 16},      {"ssef_grid_no_scrollbar", 17},
    {"ssef_grid_only_draw_used_lines", 18}, {"ssef_grid_dont_shorten_scrollbar", 25},
    {"ssef_pb_only_draw_bar", 19},         {"ssef_pb_vertical", 20},
    {"ssef_pb_no_shading", 21},            {"ssef_pb_position_text_on_bar", 22},
    {"ssef_pb_draw_alt_percentage", 23},   {"ssef_fm_hide_scrolling_arrows", 24},
};
constexpr FLAG_KEY kScaleKeys[] = {
    {"sssf_retain_width", 0},         {"sssf_retain_left_border", 1},
    {"sssf_retain_right_border", 2},  {"sssf_retain_x_font_size", 3},
    {"sssf_retain_height", 4},        {"sssf_retain_top_border", 5},
    {"sssf_retain_bottom_border", 6}, {"sssf_retain_y_font_size", 7},
};

// Older files name the extended bits below 16 (but 8) with the "ssf_"
// prefix; "ssef_<name>" is read after "ssf_<name>" and so wins.
bool has_older_name(const FLAG_KEY& flag) { return flag.bit < 16 && flag.bit != 8; }

constexpr const char* kImageSuffixes[STYLE_IMAGE_COUNT] = {
    "",           "_up",          "_down",          "_disabled",          "_over",
    "_active_up", "_active_down", "_active_disabled", "_active_over",     "_highlighted",
    "_alternate", "_flashing",    "_dragging",      "_bg",                "_empty",
    "_full",      "_bar",         "_bar_disabled",  "_bar_over",          "_slider_up",
    "_slider_down", "_slider_disabled", "_slider_over", "_less_up",       "_less_down",
    "_less_disabled", "_less_over", "_more_up",     "_more_down",         "_more_disabled",
    "_more_over"};
constexpr const char* kAlternateSuffix = "_alt";

char* owned_copy(const char* text) {
  if (!text || !*text) return nullptr;
  size_t length = strlen(text);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy) memcpy(copy, text, length + 1);
  return copy;
}

void replace_text(char*& field, const char* text) {
  char* copy = owned_copy(text);  // before the old text goes: text may be it
  delete[] field;
  field = copy;
}

bool copy_path(char* out, const char* text) {
  size_t length = strlen(text);
  if (length >= FOLDER_PATH_SIZE) return false;
  memcpy(out, text, length + 1);
  return true;
}

// "$HERE" alone or followed by "/".
bool is_here_relative(const char* text) {
  return strncmp(text, "$HERE", 5) == 0 && (text[5] == '\0' || text[5] == '/');
}

// A "$HERE" text resolved against the folder into variable form.
bool resolve_here(const char* text, const FOLDER* here, char* out) {
  if (!here || !here->path[0]) return copy_path(out, "$APPDATA/config");
  FOLDER folder;
  if (folder.set_path(text, false, here)) return folder.get_variable_text(out, FOLDER_PATH_SIZE);
  // A sub-folder that is not there: the same place, named by text.
  char head[FOLDER_PATH_SIZE];
  return here->get_variable_text(head, sizeof head) &&
         copy_path(out, (std::string(head) + (text + 5)).c_str());
}

enum class VALUE { MISSING, BAD, OK };

// A value read as CONFIG_FILE::get_int reads it (the decimal number that
// begins the text) but wide enough for unsigned 32-bit words.
VALUE read_number(CONFIG_FILE& config, const char* key, int64_t& number) {
  char text[kConfigValueMax + 1];
  if (!config.get_string(key, text)) return VALUE::MISSING;
  char* end = nullptr;
  long long value = strtoll(text, &end, 10);
  if (end == text) return VALUE::BAD;
  number = value;
  return VALUE::OK;
}

template <typename T>
VALUE read_field(CONFIG_FILE& config, const char* key, T& field) {
  int64_t number = 0;
  VALUE result = read_number(config, key, number);
  if (result == VALUE::OK) field = static_cast<T>(number);
  return result;
}

VALUE read_colour(CONFIG_FILE& config, const char* key, COLOUR& colour) {
  char text[kConfigValueMax + 1];
  if (!config.get_string(key, text)) return VALUE::MISSING;
  if (!text[0] || !strchr("#&%@", text[0])) return VALUE::BAD;
  colour_from_string(&colour, text);
  return VALUE::OK;
}

// A present key sets its bit when the low byte of its value is not 0.
bool read_flag(CONFIG_FILE& config, const char* key, uint8_t bit, uint32_t& word) {
  int64_t number = 0;
  VALUE result = read_number(config, key, number);
  if (result == VALUE::OK) {
    if (number & 0xFF) word |= 1u << bit;
    else word &= ~(1u << bit);
  }
  return result != VALUE::BAD;
}

// Texts longer than a configuration value holds are refused, not cut.
bool write_text(CONFIG_FILE& config, const char* key, const char* text) {
  return (!text || strlen(text) <= kConfigValueMax) && config.set_string(key, text);
}

bool write_flags(CONFIG_FILE& config, const FLAG_KEY* keys, size_t count, uint32_t word) {
  for (size_t i = 0; i < count; ++i)
    if (!config.set_int(keys[i].key, (word >> keys[i].bit) & 1)) return false;
  return true;
}

// A length-counted text of stored data; length 0 leaves the field null.
bool read_text(DATA_DEVICE* device, char*& field) {
  uint32_t length = 0;
  if (!device->read_u32(length)) return false;
  if (length == 0) return true;
  char* text = device->read_text(length);
  device->error = text ? 0 : 1;
  if (!text) return false;
  if (!text[0]) {
    delete[] text;  // an empty text is none
    return true;
  }
  field = text;
  return true;
}

void note_newer_version(uint32_t version) {
  DEBUG_STREAM& stream = platform_debug_stream();
  if (!stream.has_output()) return;
  char text[96];
  snprintf(text, sizeof text, "Style set record version %u read as version %u", version,
           STYLE::STORED_VERSION);
  stream.write("wm/core/wm_style_set", __LINE__, text, true);
}

// Truncated toward zero and kept in 16 bits.
void scale(uint16_t& value, double numerator, double divisor) {
  if (value == UNSET || divisor == 0) return;
  value = static_cast<uint16_t>(static_cast<int64_t>(value * numerator / divisor));
}

// One axis of rescale: gaps a (left or top) and b (right or bottom) for a
// size change from o to n; flags bit 0 keeps the content size, bit 1 keeps
// a, bit 2 keeps b. An unset gap stays unset and counts as 0 in the sums.
void rescale_axis(uint16_t& a, uint16_t& b, int32_t o, int32_t n, unsigned flags) {
  const bool keep_a = flags & 2, keep_b = flags & 4;
  const double va = a == UNSET ? 0 : a, vb = b == UNSET ? 0 : b;
  const double content = (flags & 1) ? o - va - vb : 0;
  if (keep_a && keep_b) return;
  if (keep_a) {
    scale(b, n - content - va, o - content - va);
  } else if (keep_b) {
    scale(a, n - content - vb, o - content - vb);
  } else {
    scale(a, n - content, o - content);
    scale(b, n - content, o - content);
  }
}

}  // namespace

IMAGE_CACHE& wm_image_cache() {
  // Never destroyed: styles in static objects return their pictures at exit.
  static IMAGE_CACHE* cache = new IMAGE_CACHE(0);
  return *cache;
}

WM_STYLE_SET::WM_STYLE_SET() = default;

WM_STYLE_SET::~WM_STYLE_SET() {
  delete[] name;
  delete[] image_filename;
  clear_images();
}

WM_STYLE_SET::WM_STYLE_SET(const WM_STYLE_SET& other) : DATA_DEVICE_CLIENT(other) { copy(other); }

WM_STYLE_SET& WM_STYLE_SET::operator=(const WM_STYLE_SET& other) { return copy(other); }

void WM_STYLE_SET::copy_values(const WM_STYLE_SET& source) {
  memcpy(image_path, source.image_path, sizeof image_path);
  image_path[FOLDER_PATH_SIZE - 1] = '\0';
  shading_type = source.shading_type;
  for (const COLOUR_FIELD& colour : kColours) this->*colour.field = source.*colour.field;
  visible = source.visible;
  drawing_flags = source.drawing_flags;
  extended_flags = source.extended_flags;
  scale_flags = source.scale_flags;
  shading_flags = source.shading_flags;
  font_id = source.font_id;
  for (const SIZE_FIELD& size : kSizes) this->*size.field = source.*size.field;
}

void WM_STYLE_SET::set_defaults() {
  copy_values(WM_STYLE_SET());
  clear_images();
}

void WM_STYLE_SET::set_name(const char* text) { replace_text(name, text); }

void WM_STYLE_SET::set_image_filename(const char* text) { replace_text(image_filename, text); }

void WM_STYLE_SET::clear_images() {
  for (SKIN_FRAME*& frame : state_images) {
    if (!frame) continue;
    frame->clear();
    delete frame;
    frame = nullptr;
  }
  loaded = 0;
}

void WM_STYLE_SET::load_images() {
  if (!image_filename) return;
  clear_images();
  const std::string base = image_filename;
  SKIN_FRAME* frame = nullptr;  // the frame being tried, until one loads
  for (int slot = 0; slot < STYLE_IMAGE_COUNT; ++slot) {
    for (const char* suffix : {kImageSuffixes[slot], slot == STYLE_IMAGE_ALTERNATE ? kAlternateSuffix : nullptr}) {
      if (!suffix) break;
      if (!frame) frame = new (std::nothrow) SKIN_FRAME(&wm_image_cache());
      if (!frame) return;
      frame->load(image_path, (base + suffix).c_str(), skin_load_flags);
      if (frame->is_loaded()) {
        state_images[slot] = frame;
        frame = nullptr;
        break;
      }
    }
  }
  delete frame;
  loaded = 1;
}

WM_STYLE_SET& WM_STYLE_SET::copy(const WM_STYLE_SET& source) {
  if (&source == this) return *this;
  copy_values(source);
  set_image_filename(source.image_filename);
  set_name(source.name);
  clear_images();
  for (int slot = 0; slot < STYLE_IMAGE_COUNT; ++slot) {
    if (!source.state_images[slot]) continue;
    SKIN_FRAME* frame = new (std::nothrow) SKIN_FRAME(&wm_image_cache());
    if (!frame) break;
    frame->copy(*source.state_images[slot]);
    state_images[slot] = frame;
  }
  loaded = source.loaded;
  return *this;
}

bool WM_STYLE_SET::read_config(CONFIG_FILE& config, STYLE_FONT_LOOKUP lookup, intptr_t context,
                               const FOLDER* base) {
  bool valid = true;  // no value was malformed
  // A missing required key ends the read; a malformed value is only noted.
  auto required = [&valid](VALUE result) {
    if (result == VALUE::BAD) valid = false;
    return result != VALUE::MISSING;
  };
  char text[kConfigValueMax + 1];

  drawing_flags = 0;
  extended_flags = 0;
  scale_flags = 0xEE;
  if (config.get_string("name", text)) set_name(text);
  if (!config.get_string("image_filename", text)) return false;
  set_image_filename(text);
  if (!config.get_string("image_path", text)) return false;
  if (!is_here_relative(text)) {
    copy_path(image_path, text);  // a value always fits
  } else if (char resolved[FOLDER_PATH_SIZE]; resolve_here(text, base ? base : &config, resolved)) {
    copy_path(image_path, resolved);
  } else {
    valid = false;
  }
  load_images();

  if (!required(read_field(config, "shading_type", shading_type))) return false;
  for (const COLOUR_FIELD& colour : kColours) {
    if (!colour.key) continue;
    VALUE result = read_colour(config, colour.key, this->*colour.field);
    if (result == VALUE::MISSING && colour.required) return false;
    if (result == VALUE::MISSING) this->*colour.field = COLOUR_INVISIBLE;
    if (result == VALUE::BAD) valid = false;
  }
  if (!required(read_field(config, "visible", visible)) ||
      !required(read_field(config, "shading_flags", shading_flags)))
    return false;
  // Older files keep both flag words in one number.
  int64_t combined = 0;
  VALUE result = read_number(config, "drawing_flags", combined);
  if (result == VALUE::OK) {
    drawing_flags = static_cast<uint32_t>(combined) & 0xFFFF;
    extended_flags = static_cast<uint32_t>(combined) >> 16;
  }
  valid = valid && result != VALUE::BAD;
  if (!required(read_field(config, "font_id", font_id)) ||
      !required(read_field(config, "font_x_sz", font_x_sz)) ||
      !required(read_field(config, "font_y_sz", font_y_sz)))
    return false;
  if (lookup && config.get_string("font_name", text) && text[0]) font_id = lookup(text, context);
  for (size_t i = kFirstGap; i < std::size(kSizes); ++i)
    if (!required(read_field(config, kSizes[i].key, this->*kSizes[i].field))) return false;

  for (const FLAG_KEY& flag : kDrawingKeys) valid &= read_flag(config, flag.key, flag.bit, drawing_flags);
  for (const FLAG_KEY& flag : kExtendedKeys) {
    if (has_older_name(flag))
      valid &= read_flag(config, (std::string("ssf_") + (flag.key + 5)).c_str(), flag.bit, extended_flags);
  }
  for (const FLAG_KEY& flag : kExtendedKeys) valid &= read_flag(config, flag.key, flag.bit, extended_flags);
  uint32_t scale_word = scale_flags;
  for (const FLAG_KEY& flag : kScaleKeys) valid &= read_flag(config, flag.key, flag.bit, scale_word);
  scale_flags = static_cast<uint8_t>(scale_word);
  return valid;
}

bool WM_STYLE_SET::write_config(CONFIG_FILE& config, STYLE_FONT_NAME font_name, intptr_t context,
                                const FOLDER* base) {
  char text[FOLDER_PATH_SIZE];
  if (!write_text(config, "name", name) || !write_text(config, "image_filename", image_filename))
    return false;
  FOLDER target;
  const bool relative = base && target.set_stored_path(image_path);
  if (relative ? !base->get_relative_path(target, text, sizeof text) : !copy_path(text, image_path))
    return false;
  if (!write_text(config, "image_path", text) ||
      !config.set_int("shading_type", static_cast<int32_t>(shading_type)))
    return false;
  for (const COLOUR_FIELD& colour : kColours) {
    if (!colour.key) continue;
    snprintf(text, sizeof text, "#%08X", static_cast<unsigned>(this->*colour.field));
    if (!config.set_string(colour.key, text)) return false;
  }
  if (!config.set_int("visible", visible) ||
      !config.set_int("shading_flags", static_cast<int16_t>(shading_flags)) ||
      !config.set_int("font_id", font_id) ||
      !config.set_int("font_x_sz", static_cast<int16_t>(font_x_sz)) ||
      !config.set_int("font_y_sz", static_cast<int16_t>(font_y_sz)) ||
      !write_text(config, "font_name", font_name ? font_name(font_id, context) : nullptr))
    return false;
  for (size_t i = kFirstGap; i < std::size(kSizes); ++i)
    if (!config.set_int(kSizes[i].key, static_cast<int16_t>(this->*kSizes[i].field))) return false;
  return write_flags(config, kDrawingKeys, std::size(kDrawingKeys), drawing_flags) &&
         write_flags(config, kExtendedKeys, std::size(kExtendedKeys), extended_flags) &&
         write_flags(config, kScaleKeys, std::size(kScaleKeys), scale_flags);
}

bool WM_STYLE_SET::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  uint32_t version = 0;
  if (!device->read_u32(version)) return false;
  if (version > STORED_VERSION) {
    note_newer_version(version);
    version = STORED_VERSION;
  }
  set_image_filename(nullptr);
  set_name(nullptr);
  if (!read_text(device, image_filename) || !read_text(device, name)) return false;

  char path[FOLDER_PATH_SIZE];
  if (version < 6) {
    FOLDER folder;  // "$APP" unless the record names another
    if (!folder.get_from_data_device(device)) return false;
    if (!folder.get_path_text(path, sizeof path, nullptr)) {
      device->error = 1;
      return false;
    }
  } else {
    device->error = device->read(path, sizeof path) != static_cast<int32_t>(sizeof path);
    if (device->error) return false;
    path[FOLDER_PATH_SIZE - 1] = '\0';
  }
  memcpy(image_path, path, sizeof image_path);

  if (!device->read_u32(shading_type)) return false;
  for (const COLOUR_FIELD& colour : kColours) {
    if (version < colour.since) this->*colour.field = COLOUR_INVISIBLE;
    else if (!device->read_u32(this->*colour.field)) return false;
  }
  if (!device->read_u8(visible) || !device->read_u32(drawing_flags) ||
      !device->read_u32(extended_flags))
    return false;
  if (version < 7) scale_flags = 0xEE;
  else if (!device->read_u8(scale_flags)) return false;
  if (!device->read_u16(shading_flags) || !device->read_u8(font_id)) return false;
  for (const SIZE_FIELD& size : kSizes)
    if (!device->read_u16(this->*size.field)) return false;
  load_images();
  return true;
}

bool WM_STYLE_SET::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  char path[FOLDER_PATH_SIZE] = {};  // the bytes after the text are 0
  memcpy(path, image_path, strnlen(image_path, sizeof path - 1));
  if (!device->write_u32(STORED_VERSION) || !device->write_string(image_filename) ||
      !device->write_string(name))
    return false;
  device->error = device->write(path, sizeof path) != static_cast<int32_t>(sizeof path);
  if (device->error || !device->write_u32(shading_type)) return false;
  for (const COLOUR_FIELD& colour : kColours)
    if (!device->write_u32(this->*colour.field)) return false;
  if (!device->write_u8(visible) || !device->write_u32(drawing_flags) ||
      !device->write_u32(extended_flags) || !device->write_u8(scale_flags) ||
      !device->write_u16(shading_flags) || !device->write_u8(font_id))
    return false;
  for (const SIZE_FIELD& size : kSizes)
    if (!device->write_u16(this->*size.field)) return false;
  return true;
}

void WM_STYLE_SET::rescale(int16_t old_width, int16_t old_height, int16_t new_width,
                           int16_t new_height) {
  rescale_axis(border_left_gap, border_right_gap, old_width, new_width, scale_flags & 7);
  rescale_axis(border_top_gap, border_bottom_gap, old_height, new_height, (scale_flags >> 4) & 7);
  if (!(scale_flags & SSSF_RETAIN_X_FONT_SIZE)) scale(font_x_sz, new_width, old_width);
  if (!(scale_flags & SSSF_RETAIN_Y_FONT_SIZE)) scale(font_y_sz, new_height, old_height);
}

STYLE_DRAW_FLAGS WM_STYLE_SET::get_draw_flags() const {
  static constexpr struct {
    uint32_t style;
    uint16_t text;
  } kTextFlags[] = {{SSF_SHADOW_TEXT, TEXT_SHADOW},       {SSF_INSET_TEXT, TEXT_INSET},
                    {SSF_CHISELED_TEXT, TEXT_CHISELED},   {SSF_TOP_ALIGN_TEXT, TEXT_TOP},
                    {SSF_BOTTOM_ALIGN_TEXT, TEXT_BOTTOM}, {SSF_LEFT_JUSTIFY_TEXT, TEXT_LEFT},
                    {SSF_RIGHT_JUSTIFY_TEXT, TEXT_RIGHT}};
  STYLE_DRAW_FLAGS flags{0, drawing_flags & ~(0xFF00u & ~SSF_CHISELED_TEXT)};
  for (const auto& row : kTextFlags)
    if (drawing_flags & row.style) flags.text |= row.text;
  return flags;
}

int32_t WM_STYLE_SET::get_padded_text_width(IMAGE* surface, const char* text) const {
  const int32_t unit = ::get_border_width(shading_type);
  int32_t w = (border_left_gap == UNSET ? unit : border_left_gap) +
              (border_right_gap == UNSET ? unit : border_right_gap);
  if (text && surface)
    w += surface->get_text_width(font_id, font_x_sz, static_cast<int16_t>(font_y_sz), text);
  return w;
}
