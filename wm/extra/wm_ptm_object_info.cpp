#include "wm_ptm_object_info.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <set>
#include <unordered_map>

#include "string_utils.h"
#include "template_lists.h"
#include "template_stream.h"
#include "wm_ptm_app_info.h"
#include "wm_style_set.h"

namespace {
// type, two names, three words, the rectangle, the style byte, the text,
// the style index, the tooltip, two bytes, the children's count: no object
// of any version is shorter.
constexpr uint32_t kSmallestObject = 4 + 4 + 12 + 4 + 8 + 1 + 4 + 4 + 4 + 2 + 4;
// The oldest layouts: type, shading, three words, the visible byte, the
// rectangle and the children's count.
constexpr uint32_t kSmallestLegacyObject = 4 + 4 + 12 + 1 + 8 + 4;
constexpr int kDeepestNesting = 64;

// Kinds stored as u32 before version 12.
uint8_t old_kind(uint32_t stored) { return stored == 0 ? 1 : stored == 1 ? 2 : 3; }
// Type codes stored before version 13.
uint32_t old_type(uint32_t stored) { return stored == 2 ? 2 : stored == 4 ? 8 : 16; }

struct FLAG_MAP {
  uint32_t from, to;
};
// Old text-object flags to style-set drawing flags.
constexpr FLAG_MAP kOldTextFlags[] = {
    {0x1, 0x3},     {0x2, 0x5},     {0x4, 0x40},    {0x8, 0x80},    {0x40, 0x20},   {0x80, 0x8},
    {0x100, 0x10},  {0x800, 0x400}, {0x1000, 0x800}, {0x2000, 0x2000}, {0x4000, 0x4000}, {0x8000, 0x8000}};
// Old button flags to drawing flags, and to extended flags.
constexpr FLAG_MAP kOldButtonFlags[] = {
    {0x1, 0x40},        {0x2, 0x80},        {0x100, 0x20},      {0x400, 0x8},
    {0x800, 0x10},      {0x1000, 0x1},      {0x8000, 0x400},    {0x10000, 0x800},
    {0x20000, 0x2000},  {0x40000, 0x4000},  {0x80000, 0x8000},  {0x100000, 0x10000},
    {0x200000, 0x20000}, {0x400000, 0x40000}, {0x800000, 0x80000}};
constexpr FLAG_MAP kOldButtonExtended[] = {{0x10, 0x4}, {0x20, 0x8}, {0x40, 0x10}, {0x80, 0x20}};
constexpr uint32_t kOldShadowBorder = 0x200;
constexpr uint32_t kButtonNameKept = 255;

template <size_t N>
uint32_t map_flags(uint32_t old, const FLAG_MAP (&map)[N]) {
  uint32_t flags = 0;
  for (const FLAG_MAP& bit : map)
    if (old & bit.from) flags |= bit.to;
  return flags;
}

bool read_font_fields(DATA_DEVICE* device, WM_STYLE_SET& style) {
  return template_read_version < 6 || (device->read_u8(style.font_id) && device->read_u16(style.font_x_sz) &&
                                       device->read_u16(style.font_y_sz));
}

// The button's image base name: a length, at most 255 bytes kept, the rest
// skipped; its pictures live in the program data's "buttons" folder.
bool read_button_image(DATA_DEVICE* device, WM_STYLE_SET& style) {
  uint32_t length = 0;
  if (!device->read_u32(length) || !template_count_fits(device, length, 1)) return false;
  char kept[kButtonNameKept + 1] = {};
  uint32_t keep = length < kButtonNameKept ? length : kButtonNameKept;
  if (keep && device->read(kept, static_cast<int32_t>(keep)) != static_cast<int32_t>(keep)) return false;
  char skipped[64];
  for (uint32_t left = length - keep; left > 0;) {
    int32_t step = static_cast<int32_t>(left < sizeof skipped ? left : sizeof skipped);
    if (device->read(skipped, step) != step) return false;
    left -= static_cast<uint32_t>(step);
  }
  if (keep) {
    style.set_image_filename(kept);
    snprintf(style.image_path, sizeof style.image_path, "%s", "$APPDATA/buttons");
  }
  return true;
}

bool read_kind(DATA_DEVICE* device, uint8_t& kind) {
  if (template_read_version >= 12) return device->read_u8(kind);
  uint32_t stored = 0;
  if (!device->read_u32(stored)) return false;
  kind = old_kind(stored);
  return true;
}
}  // namespace

WM_PTM_OBJECT_INFO::WM_PTM_OBJECT_INFO() {}

WM_PTM_OBJECT_INFO::~WM_PTM_OBJECT_INFO() {
  forget_built_objects();
  free_texts();
  delete own_style;
}

namespace {
// The live objects built from each template that built any, wherever they
// are (in an area, an overlay, a dialog not shown yet, an application's own
// tree): a template that goes reaches exactly its own, and an object that
// goes leaves its template's list. Never destroyed, so that objects going
// at the program's end still find it.
std::unordered_map<const void*, std::vector<WM_SCREEN_OBJECT*>>& built_objects() {
  static auto* lists = new std::unordered_map<const void*, std::vector<WM_SCREEN_OBJECT*>>();
  return *lists;
}

void leave_template(WM_SCREEN_OBJECT* object) {
  auto found = built_objects().find(object->template_record);
  if (found == built_objects().end()) return;
  std::vector<WM_SCREEN_OBJECT*>& list = found->second;
  // Trees are torn down from their last child, so the newest go first.
  auto it = std::find(list.rbegin(), list.rend(), object);
  if (it == list.rend()) return;
  *it = list.back();
  list.pop_back();
  if (list.empty()) built_objects().erase(found);
}
}  // namespace

void WM_PTM_OBJECT_INFO::note_built(WM_SCREEN_OBJECT* object) {
  // An object that a custom hook hands out again changes its template.
  leave_template(object);
  object->template_record = this;
  built_objects()[this].push_back(object);
  WM_SCREEN_OBJECT::template_object_gone = leave_template;
}

void WM_PTM_OBJECT_INFO::forget_built_objects() const {
  auto found = built_objects().find(this);
  if (found == built_objects().end()) return;
  for (WM_SCREEN_OBJECT* object : found->second) object->template_record = nullptr;
  built_objects().erase(found);
}

void WM_PTM_OBJECT_INFO::free_texts() {
  for (char** field : {&action_name, &control_name, &text, &tooltip, &column_widths}) {
    delete[] *field;
    *field = nullptr;
  }
}

void WM_PTM_OBJECT_INFO::reset() {
  free_texts();
  delete_style();
  children.clear();
  not_built = 0;
  type = 0;
  user_word_1 = user_word_2 = 0;
  control_id = 0;
  x = y = 0;
  width = height = 0xFFFF;
  style = nullptr;
  extra_word = 0;
  enabled = 1;
  button_kind = 2;
  hotkey = 0;
  image_mode = 2;
  image_visible = 1;
  image = nullptr;
  row_height = 20;
  column_count = 1;
  cell_style = nullptr;
  cell_row = cell_column = 0xFFFF;
}

void WM_PTM_OBJECT_INFO::set_text(const char* value) { template_set_text(text, value); }
void WM_PTM_OBJECT_INFO::set_tooltip(const char* value) { template_set_text(tooltip, value); }
void WM_PTM_OBJECT_INFO::set_column_widths(const char* value) { template_set_text(column_widths, value); }

bool WM_PTM_OBJECT_INFO::ensure_style() {
  if (!own_style) own_style = new (std::nothrow) WM_STYLE_SET();
  return own_style != nullptr;
}

void WM_PTM_OBJECT_INFO::delete_style() {
  delete own_style;
  own_style = nullptr;
}

void WM_PTM_OBJECT_INFO::copy_values(const WM_PTM_OBJECT_INFO& source) {
  not_built = source.not_built;
  type = source.type;
  user_word_1 = source.user_word_1;
  user_word_2 = source.user_word_2;
  control_id = source.control_id;
  x = source.x;
  y = source.y;
  width = source.width;
  height = source.height;
  style = source.style;
  extra_word = source.extra_word;
  enabled = source.enabled;
  button_kind = source.button_kind;
  hotkey = source.hotkey;
  image_mode = source.image_mode;
  image_visible = source.image_visible;
  image = source.image;
  row_height = source.row_height;
  column_count = source.column_count;
  cell_style = source.cell_style;
  cell_row = source.cell_row;
  cell_column = source.cell_column;
}

std::unique_ptr<WM_PTM_OBJECT_INFO>* WM_PTM_OBJECT_INFO::slot_of(const WM_PTM_OBJECT_INFO& t) {
  for (auto& child : children) {
    if (!child) continue;  // taken out by a move just now
    if (child.get() == &t) return &child;
    if (auto* found = child->slot_of(t)) return found;
  }
  return nullptr;
}

bool WM_PTM_OBJECT_INFO::holds(const WM_PTM_OBJECT_INFO& t) const {
  for (const auto& child : children)
    if (child && (child.get() == &t || child->holds(t))) return true;
  return false;
}

void WM_PTM_OBJECT_INFO::copy_from(const WM_PTM_OBJECT_INFO& source) {
  if (&source == this) return;
  // The reset below deletes a source inside this tree, and a source around
  // this one would be copied while it changes: both go through a copy.
  if (holds(source) || source.holds(*this)) {
    WM_PTM_OBJECT_INFO kept;
    kept.copy_from(source);
    copy_from(kept);
    return;
  }
  reset();
  copy_values(source);
  template_set_text(action_name, source.action_name);
  template_set_text(control_name, source.control_name);
  if (source.own_style && ensure_style()) own_style->copy(*source.own_style);
  set_text(source.text);
  name.set(source.name.get_text());
  set_tooltip(source.tooltip);
  set_column_widths(source.column_widths);
  if (!template_make_records(children, source.get_child_count())) return;
  for (size_t i = 0; i < children.size(); i++) children[i]->copy_from(*source.children[i]);
}

void WM_PTM_OBJECT_INFO::move_from(WM_PTM_OBJECT_INFO& source) {
  // A template cannot take over a tree that holds it.
  if (&source == this || source.holds(*this)) return;
  if (std::unique_ptr<WM_PTM_OBJECT_INFO>* slot = slot_of(source)) {
    // The source is taken out of this tree first, so that the reset below
    // does not delete it; it goes once it has given everything up.
    const std::unique_ptr<WM_PTM_OBJECT_INFO> taken = std::move(*slot);
    move_from(*taken);
    return;
  }
  reset();
  for (auto [mine, theirs] : {std::pair{&action_name, &source.action_name}, {&control_name, &source.control_name},
                              {&text, &source.text}, {&tooltip, &source.tooltip},
                              {&column_widths, &source.column_widths}}) {
    *mine = *theirs;
    *theirs = nullptr;
  }
  own_style = source.own_style;
  source.own_style = nullptr;
  children.swap(source.children);
  name.set(source.name.get_text());
  source.name.set(nullptr);
  copy_values(source);
  source.reset();
}

bool WM_PTM_OBJECT_INFO::set_child_count(int32_t n) { return template_make_records(children, n); }
bool WM_PTM_OBJECT_INFO::add_child(uint32_t child_type) { return add_object_template(children, child_type); }
bool WM_PTM_OBJECT_INFO::remove_child(int32_t i) { return template_remove_record(children, i); }

char* WM_PTM_OBJECT_INFO::make_identifier(const char* name, const char* prefix) {
  size_t prefix_length = strlen(prefix);
  bool has_prefix = strnicmp(name, prefix, static_cast<int>(prefix_length)) == 0;
  size_t length = strlen(name);
  char* made = new (std::nothrow) char[(has_prefix ? 0 : prefix_length) + length + 1];
  if (!made) return nullptr;
  char* out = made;
  if (!has_prefix) out = stpcpy(made, prefix);
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    *out++ = isalnum(c) ? static_cast<char>(toupper(c)) : '_';
  }
  *out = '\0';
  return made;
}

namespace {
bool same_name(const char* a, const char* b) { return a && b && strcmp(a, b) == 0; }

void for_each_template(const WM_PTM_OBJECT_INFO& object,
                       const std::function<void(const WM_PTM_OBJECT_INFO&)>& visit) {
  visit(object);
  for (int32_t i = 0; i < object.get_child_count(); i++) for_each_template(*object.get_child(i), visit);
}
}  // namespace

void WM_PTM_OBJECT_INFO::set_identifiers(const char* action_text, const char* control_text,
                                         const std::vector<const TEMPLATE_LIST*>& scope) {
  delete[] action_name;
  delete[] control_name;
  action_name = action_text && *action_text ? make_identifier(action_text, "AID_") : nullptr;
  control_name = control_text && *control_text ? make_identifier(control_text, "CID_") : nullptr;
  user_word_1 = 0;
  control_id = 0;
  std::set<uintptr_t> used;
  auto visit = [&](const WM_PTM_OBJECT_INFO& other) {
    if (&other == this) return;
    if (other.action_name && other.user_word_1) used.insert(other.user_word_1);
    if (other.control_name && other.control_id) used.insert(other.control_id);
    for (const char* mine : {static_cast<const char*>(action_name), static_cast<const char*>(control_name)}) {
      if (!mine) continue;
      uintptr_t shared = same_name(other.action_name, mine) ? other.user_word_1
                         : same_name(other.control_name, mine) ? other.control_id : 0;
      if (!shared) continue;
      if (mine == action_name) user_word_1 = shared;
      else control_id = static_cast<uint32_t>(shared);
    }
  };
  for (const TEMPLATE_LIST* list : scope)
    for (const auto& root : *list) for_each_template(*root, visit);
  uintptr_t n = 1;
  if (!user_word_1 && action_name) {
    while (used.count(n)) n++;
    user_word_1 = n;
  }
  if (!control_id && control_name) {
    while (used.count(n) || n == user_word_1) n++;
    control_id = static_cast<uint32_t>(n);
  }
}

uint32_t WM_PTM_OBJECT_INFO::find_identifier_value(const WM_PTM_OBJECT_INFO& object, const char* name,
                                                   const WM_PTM_OBJECT_INFO* exclude) {
  uint32_t found = 0;
  for_each_template(object, [&](const WM_PTM_OBJECT_INFO& t) {
    if (found || &t == exclude) return;
    if (same_name(t.action_name, name) && t.user_word_1) found = static_cast<uint32_t>(t.user_word_1);
    else if (same_name(t.control_name, name) && t.control_id) found = t.control_id;
  });
  return found;
}

const char* WM_PTM_OBJECT_INFO::find_identifier_name(const WM_PTM_OBJECT_INFO& object, uint32_t number,
                                                     const WM_PTM_OBJECT_INFO* exclude) {
  const char* found = nullptr;
  for_each_template(object, [&](const WM_PTM_OBJECT_INFO& t) {
    if (found || &t == exclude) return;
    if (t.action_name && t.user_word_1 == number) found = t.action_name;
    else if (t.control_name && t.control_id == number) found = t.control_name;
  });
  return found;
}

bool WM_PTM_OBJECT_INFO::get_from_data_device(DATA_DEVICE* device) {
  reset();
  name.set(nullptr);
  bool ok = read_body(device);
  if (!ok) device->error = 1;
  return ok;
}

bool WM_PTM_OBJECT_INFO::read_rect(DATA_DEVICE* device) {
  uint16_t rect[4];
  for (uint16_t& part : rect)
    if (!device->read_u16(part)) return false;
  x = static_cast<int16_t>(rect[0]);
  y = static_cast<int16_t>(rect[1]);
  width = rect[2];
  height = rect[3];
  return true;
}

bool WM_PTM_OBJECT_INFO::read_body(DATA_DEVICE* device) {
  const uint16_t v = template_read_version;
  if (v <= 7) return read_legacy(device);
  uint32_t word = 0;
  if (v >= 22 && !device->read_u8(not_built)) return false;
  if (!device->read_u32(type)) return false;
  if (v <= 12) type = old_type(type);
  if (!template_read_string(device, &action_name)) return false;
  if (!device->read_u32(word)) return false;
  user_word_1 = word;
  if (!device->read_u32(word)) return false;
  user_word_2 = word;
  if (!template_read_string(device, &control_name) || !device->read_u32(control_id) ||
      !read_rect(device))
    return false;
  if (v >= 11 && v <= 17 && !device->read_u32(word)) return false;
  uint8_t has_style = 0;
  if (!device->read_u8(has_style)) return false;
  if (has_style) {
    if (!ensure_style() || !device->read_object(*own_style)) return false;
  }
  if (!template_read_string(device, &text)) return false;
  if (v >= 26) {
    if (!device->read_object(name)) return false;
  } else {
    name.set(text);
  }
  int32_t index = -1;
  if (!device->read_i32(index)) return false;
  style = WM_PTM_APP_INFO::style_set_reference(index);
  if (v >= 21 && !device->read_u32(extra_word)) return false;
  if (!template_read_string(device, &tooltip) || !device->read_u8(enabled)) return false;
  if (!read_kind(device, button_kind)) return false;
  if (v >= 19) {
    uint8_t has_hotkey = 0;
    if (!device->read_u8(has_hotkey)) return false;
    if (has_hotkey) {
      if (!device->read_u32(word)) return false;
      hotkey = word;
    }
  }
  if (!read_kind(device, image_mode) || !device->read_u8(image_visible)) return false;
  if (v >= 17) {
    if (!device->read_i32(index)) return false;
    image = WM_PTM_APP_INFO::image_reference(index);
  }
  if (v >= 21) {
    if (!device->read_u16(row_height) || !device->read_u16(column_count) ||
        !template_read_string(device, &column_widths) || !device->read_i32(index))
      return false;
    cell_style = WM_PTM_APP_INFO::style_set_reference(index);
  }
  if (v >= 20 && (!device->read_u16(cell_row) || !device->read_u16(cell_column))) return false;
  return read_object_templates(device, children);
}

bool WM_PTM_OBJECT_INFO::read_legacy(DATA_DEVICE* device) {
  const uint16_t v = template_read_version;
  // The oldest layouts kept every object's look in the object itself.
  if (!ensure_style()) return false;
  WM_STYLE_SET& look = *own_style;
  uint32_t word = 0;
  if (!device->read_u32(type)) return false;
  type = old_type(type);
  if (!device->read_u32(look.shading_type) || !device->read_u32(word)) return false;
  user_word_1 = word;
  if (!device->read_u32(word)) return false;
  user_word_2 = word;
  if (!device->read_u32(control_id) || !device->read_u8(look.visible) || !read_rect(device))
    return false;
  if (v >= 2 && (!template_read_string(device, &action_name) || !template_read_string(device, &control_name)))
    return false;
  if (type == 16) {
    uint16_t old_flags = 0;
    if (!template_read_string(device, &text) || !device->read_u32(look.bg_colour) ||
        !device->read_u32(look.fg_colour) || !device->read_u32(look.fading_colour) ||
        !device->read_u16(old_flags) || !device->read_u16(look.shading_flags) ||
        !read_font_fields(device, look))
      return false;
    look.drawing_flags = map_flags(old_flags, kOldTextFlags);
    look.extended_flags = 0;
  } else if (type == 2) {
    uint32_t old_flags = 0;
    uint16_t short_flags = 0;
    uint8_t ignored = 0, hotkey_bit = 0;
    if (!template_read_string(device, &text) || (v == 7 && !template_read_string(device, &tooltip)) ||
        !device->read_u32(look.bg_colour) || !device->read_u32(look.fg_colour) ||
        !device->read_u32(look.fading_colour) || !device->read_u32(look.active_colour) ||
        !device->read_u32(look.highlight_colour) || !device->read_u32(look.highlight_text_colour) ||
        !device->read_u32(word))
      return false;
    if (v <= 4 ? !device->read_u16(short_flags) : !device->read_u32(old_flags)) return false;
    if (v <= 4) old_flags = short_flags;
    if (!device->read_u16(look.shading_flags) || !device->read_u8(ignored) || !device->read_u8(hotkey_bit))
      return false;
    if (v >= 3 && !read_button_image(device, look)) return false;
    if (v >= 4 && !device->read_u8(enabled)) return false;
    if (!read_font_fields(device, look)) return false;
    old_flags &= ~0x6000u;
    look.drawing_flags = map_flags(old_flags, kOldButtonFlags);
    if (old_flags & kOldShadowBorder)
      look.drawing_flags |= static_cast<int16_t>(look.shading_flags) < 0 ? 0x3 : 0x5;
    look.extended_flags = (hotkey_bit ? 0x2 : 0) | map_flags(old_flags, kOldButtonExtended);
  }
  name.set(text);
  return read_object_templates(device, children);
}

bool WM_PTM_OBJECT_INFO::put_to_data_device(DATA_DEVICE* device) {
  bool ok = device->write_u8(not_built) && device->write_u32(type) &&
            template_write_string(device, action_name) &&
            device->write_u32(static_cast<uint32_t>(user_word_1)) &&
            device->write_u32(static_cast<uint32_t>(user_word_2)) &&
            template_write_string(device, control_name) && device->write_u32(control_id) &&
            device->write_u16(static_cast<uint16_t>(x)) && device->write_u16(static_cast<uint16_t>(y)) &&
            device->write_u16(width) && device->write_u16(height) &&
            device->write_u8(own_style ? 1 : 0) && (!own_style || device->write_object(*own_style)) &&
            template_write_string(device, text) && device->write_object(name) &&
            device->write_i32(WM_PTM_APP_INFO::style_set_index(style)) &&
            device->write_u32(extra_word) && template_write_string(device, tooltip) &&
            device->write_u8(enabled) && device->write_u8(button_kind) &&
            device->write_u8(hotkey ? 1 : 0) &&
            (!hotkey || device->write_u32(static_cast<uint32_t>(hotkey))) &&
            device->write_u8(image_mode) && device->write_u8(image_visible) &&
            device->write_i32(WM_PTM_APP_INFO::image_index(image)) &&
            device->write_u16(row_height) && device->write_u16(column_count) &&
            template_write_string(device, column_widths) &&
            device->write_i32(WM_PTM_APP_INFO::style_set_index(cell_style)) &&
            device->write_u16(cell_row) && device->write_u16(cell_column) &&
            template_write_records(device, children);
  if (!ok) device->error = 1;
  return ok;
}

bool add_object_template(std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>>& list, uint32_t type) {
  WM_PTM_OBJECT_INFO* made = new (std::nothrow) WM_PTM_OBJECT_INFO();
  if (!made) return false;
  made->type = type;
  made->name.set("Object ");
  made->name.append_int(static_cast<int32_t>(list.size()) + 1);
  list.emplace_back(made);
  return true;
}

bool read_object_templates(DATA_DEVICE* device,
                           std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>>& list) {
  // Children nest by recursion; a stream nesting deeper than any skin
  // would is refused before it can exhaust the stack.
  static int depth = 0;
  list.clear();
  uint32_t count = 0;
  if (!device->read_u32(count) || !template_count_fits(device, count,
                                  template_read_version <= 7 ? kSmallestLegacyObject : kSmallestObject))
    return false;
  if (count > 0 && depth >= kDeepestNesting) {
    device->error = 1;
    return false;
  }
  if (!template_make_records(list, static_cast<int32_t>(count))) {
    device->error = 1;
    return false;
  }
  depth++;
  bool ok = true;
  for (auto& item : list)
    if (!(ok = device->read_object(*item))) break;
  depth--;
  return ok;
}
