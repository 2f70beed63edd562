// The browser: its layout, the listing of a folder or of the drives, the
// answers of its rows, buttons, drop-down and name dialog, and the result.
#include "wm_file_select.h"

#include <algorithm>
#include <cstring>

#include "errors.h"
#include "file_services.h"
#include "rect.h"
#include "screen.h"
#include "text_convert.h"
#include "text_fit.h"
#include "timing.h"
#include "wm_button.h"
#include "wm_floating_menu.h"
#include "wm_grid.h"
#include "wm_image.h"
#include "wm_kinds.h"
#include "wm_menu.h"
#include "wm_script.h"
#include "wm_text_edit.h"
#include "wm_text_edit_dialog.h"

namespace {

constexpr const char* kIconNames[WM_FILE_SELECT::ICON_COUNT] = {
    "disk",      "disk-cdrom", "disk-floppy",   "disk-network", "disk-linux",
    "disk-unix", "disk-mac",   "disk-os2",      "disk-dos",     "disk-windows",
    "parent_folder", "file",   "folder"};

// The browser has a title line from the start, empty until set_mode names
// the mode: a dialog makes one only for a text.
constexpr const char* kNoTitleYet = " ";

int16_t size_or(int16_t v, int16_t fallback) { return v == -1 ? fallback : v; }

bool ends_with(const std::string& text, const char* tail) {
  const size_t n = strlen(tail);
  return n <= text.size() && text.compare(text.size() - n, n, tail) == 0;
}

// Row picture: a copy of the icon, sized by the cell it is put in.
WM_IMAGE* icon_cell(const IMAGE& picture, uintptr_t word, uintptr_t browser, uintptr_t value) {
  auto* image = new WM_IMAGE(0, 0, 0, 0, true, WM_FILE_SELECT::on_cell, word, browser,
                             image_click::ON_RELEASE);
  if (picture.width > 0) image->image.copy(picture);
  image->value_word = value;
  return image;
}

}  // namespace

// ---- Icons -----------------------------------------------------------------

IMAGE& WM_FILE_SELECT::icon(int which) {
  static IMAGE icons[ICON_COUNT];
  return icons[std::clamp(which, 0, ICON_COUNT - 1)];
}

const char* WM_FILE_SELECT::icon_name(int which) {
  return which >= 0 && which < ICON_COUNT ? kIconNames[which] : "";
}

void WM_FILE_SELECT::set_icon(int which, const IMAGE& source) {
  if (which < 0 || which >= ICON_COUNT) return;
  if (source.width > 0 && source.height > 0) icon(which).copy(source);
  else icon(which).init(-1, -1);
}

void WM_FILE_SELECT::load_missing_icons() {
  FOLDER icons;
  if (!icons.set("$ICONDATA")) return;
  for (int i = 0; i < ICON_COUNT; ++i)
    if (icon(i).width <= 0) icon(i).load(icons, kIconNames[i]);
}

// ---- Names -----------------------------------------------------------------

std::string WM_FILE_SELECT::readable_name(const char* bytes) {
  std::u32string shown;
  const auto* at = reinterpret_cast<const uint8_t*>(bytes);
  for (size_t left = bytes ? strlen(bytes) : 0; left > 0;) {
    uint32_t c = 0;
    size_t used = utf8_decode(at, left, c);
    if (used == 0) {
      used = 1;
      c = '?';
    }
    // Control characters and bytes that are no UTF-8 are shown as "?";
    // characters above 255 go into the system's code runs.
    if (c < 32 || (c >= 127 && c < 160)) c = '?';
    shown += static_cast<char32_t>(c);
    at += used;
    left -= used;
  }
  return system_text_of(shown.data(), shown.size());
}

std::string WM_FILE_SELECT::current_name() const {
  const char* typed = name_field ? name_field->get_text() : "";
  if (!typed) typed = "";
  if (shown_name == typed) return picked_name;
  return system_text_to_utf8(typed);
}

void WM_FILE_SELECT::set_name(const std::string& bytes) {
  picked_name = bytes;
  shown_name = readable_name(bytes.c_str());
  name_field->set_text(shown_name.c_str());
  // The field may refuse characters: what it shows is what stands for the
  // picked name.
  shown_name = name_field->get_text() ? name_field->get_text() : "";
}

void WM_FILE_SELECT::clear_name_if_picking() {
  if (mode == MODE_EXISTING_FILE) set_name("");
}

// ---- Construction ----------------------------------------------------------

WM_FILE_SELECT::WM_FILE_SELECT(int16_t nx, int16_t ny, int16_t w, int16_t h,
                               const WM_STYLE_SET* menu_style, const WM_STYLE_SET* popup_style,
                               const WM_STYLE_SET* edit_style_in, const WM_STYLE_SET* list_style,
                               const WM_STYLE_SET* scrollbar_style, bool is_visible,
                               WM_CALLBACK callback, uintptr_t word, const char* ok_text,
                               const char* cancel_text, const char* new_folder_text,
                               const WM_STYLE_SET* item_style_a, const WM_STYLE_SET* item_style_b)
    : WM_DIALOG(nx, ny, size_or(w, DEFAULT_WIDTH), size_or(h, DEFAULT_HEIGHT), kNoTitleYet, nullptr,
                nullptr, nullptr, nullptr) {
  build(menu_style, popup_style, edit_style_in, list_style, scrollbar_style, is_visible, callback,
        word, ok_text, cancel_text, new_folder_text, item_style_a, item_style_b);
}

WM_FILE_SELECT::WM_FILE_SELECT(int16_t nx, int16_t ny, bool is_visible, WM_CALLBACK callback,
                               uintptr_t word, const char* ok_text, const char* cancel_text,
                               const char* new_folder_text)
    : WM_DIALOG(nx, ny, DEFAULT_WIDTH, DEFAULT_HEIGHT, kNoTitleYet, nullptr, nullptr, nullptr,
                nullptr) {
  WM_STYLE_SET edit(button_style);
  edit.set_image_filename(nullptr);
  edit.drawing_flags |= SSF_DRAW_BORDER | SSF_INDENT_BORDER;
  WM_STYLE_SET listing(edit);
  listing.drawing_flags = SSF_DRAW_BORDER | SSF_INDENT_BORDER | SSF_LEFT_JUSTIFY_TEXT;
  listing.border_left_gap = listing.border_right_gap = WM_STYLE_SET::UNSET;
  listing.border_top_gap = listing.border_bottom_gap = WM_STYLE_SET::UNSET;
  build(&button_style, &body_style, &edit, &listing, &button_style, is_visible, callback, word,
        ok_text, cancel_text, new_folder_text, nullptr, nullptr);
}

void WM_FILE_SELECT::build(const WM_STYLE_SET* menu_style, const WM_STYLE_SET* popup_style,
                           const WM_STYLE_SET* edit_style_in, const WM_STYLE_SET* list_style,
                           const WM_STYLE_SET* scrollbar_style, bool is_visible,
                           WM_CALLBACK callback, uintptr_t word, const char* ok_text,
                           const char* cancel_text, const char* new_folder_text,
                           const WM_STYLE_SET* item_style_a, const WM_STYLE_SET* item_style_b) {
  invalidate();
  if (!is_visible) hide(false, false);
  {
    int32_t w = width, h = height, nx = get_x(), ny = get_y();
    const uint16_t screen = screen_of_point(nx, ny);
    const int32_t sw = get_screen_width(screen), sh = get_screen_height(screen);
    if (sw > 0 && w > sw) {
      w = sw;
      nx = 0;
    }
    if (sh > 0 && h > sh) {
      h = sh;
      ny = 0;
    }
    if (w != width || h != height) {
      set_size(static_cast<uint16_t>(w), static_cast<uint16_t>(h), true);
      set_position(to_i16(nx), to_i16(ny));
    }
  }
  set_text("");
  action_callback = callback;
  action_word_1 = word;
  my_computer_text.set("My Computer");
  new_folder_title.set("New Folder");
  new_folder_prompt.set("Enter new folder name");
  bad_name_text.set("A folder cannot have this name.");
  name_taken_text.set("Something of this name is here already.");
  cannot_make_text.set("No folder can be made here: this folder cannot be written to.");
  if (edit_style_in) edit_style.copy(*edit_style_in);
  load_missing_icons();

  const WM_STYLE_SET& b = body_style;
  const int32_t cw = int32_t{width} - b.border_left_gap - b.border_right_gap - b.cell_left_gap -
                     b.cell_right_gap;
  const int32_t ch = int32_t{height} - get_client_top() - b.border_bottom_gap - b.cell_bottom_gap;
  const auto self = reinterpret_cast<uintptr_t>(this);

  auto make_button = [&](const char* text, const char* fallback, WORD id) {
    auto* button = new WM_BUTTON(0, 0, -1, -1, &button_style, text ? text : fallback, nullptr,
                                 on_cell, id, self, button_event::RELEASE);
    button->selectable = 1;
    return button;
  };
  new_folder_button = make_button(new_folder_text, "New Folder", WORD_NEW_FOLDER);
  ok_button = make_button(ok_text, "OK", WORD_OK);
  cancel_button = make_button(cancel_text, "Cancel", WORD_CANCEL);
  const int32_t g = new_folder_button->height / 2;
  const int32_t button_y = ch - 2 * g;
  new_folder_button->set_position(to_i16(g), to_i16(button_y));
  ok_button->set_position(to_i16(cw - g - ok_button->width), to_i16(button_y));
  cancel_button->set_position(to_i16(cw - 2 * g - ok_button->width - cancel_button->width),
                              to_i16(button_y));

  location_menu = new WM_MENU(0, 0, -1, -1, "", MENU_DIRECTION::BELOW, menu_style, popup_style,
                              item_style_a, item_style_b, nullptr, nullptr, nullptr, nullptr,
                              nullptr);
  // The drop-down is a stop of its own: "This computer" and the drives are
  // reached by keys too.
  location_menu->selectable = 1;
  location_menu->draw_flags |= button_flag::ELLIPSIS;
  IMAGE* s = drawing_surface();
  text_line_height = static_cast<int16_t>(s ? s->font_height : 0);
  // The accents over capitals stand above a line's cell: the message and
  // the path keep that room above their text.
  const int32_t accents = accent_room(s, {}, 0);
  label_height = to_i16(text_line_height + accents);
  const int32_t l = std::max<int32_t>(location_menu->height, text_line_height);
  margin = to_i16(g);

  // The message, the "Look in:" line and the path are laid out by lay_out,
  // once their texts are known.
  auto label = [&](const char* text) {
    auto* made = new WM_SCRIPT(0, 0, -1, to_i16(label_height - 1), text, 255, WM_STYLE_SET::UNSET,
                               WM_STYLE_SET::UNSET, b.fg_colour, COLOUR_INVISIBLE);
    made->left_gap = made->right_gap = made->top_gap = made->bottom_gap = 0;
    made->text_flags = script_flag::LEFT_JUSTIFY;
    return made;
  };
  message_label = label("");
  message_label->text_flags |= script_flag::TOP_ALIGN;
  location_label = label("Location:");
  location_label->right_gap = static_cast<uint16_t>(g / 2);  // a margin before the drop-down
  path_label = label("");
  message_label->top_gap = path_label->top_gap = static_cast<uint16_t>(accents);

  name_field = new WM_TEXT_EDIT(to_i16(g), 0, static_cast<uint16_t>(std::max(1, cw - 2 * g)),
                                NAME_MAX_LENGTH, "", &edit_style, on_cell, WORD_NAME_CHANGED,
                                self);
  name_field->set_position(to_i16(g), to_i16(button_y - 2 * g - name_field->height));
  name_field->notify_on_change = 1;

  WM_STYLE_SET list_look;
  if (list_style) list_look.copy(*list_style);
  int32_t row_h = l;
  for (int i : {ICON_DISK_WINDOWS, ICON_PARENT_FOLDER, ICON_FILE, ICON_FOLDER})
    row_h = std::max<int32_t>(row_h, icon(i).height);
  icon_column = to_i16(row_h);
  // Icon column as wide as a row is high; the texts' columns are fitted to
  // each listing.
  const int16_t list_widths[4] = {to_i16(-row_h), 4, 2, 5};
  list = new WM_GRID(to_i16(g), to_i16(l + 2 * g), to_i16(cw - g),
                     to_i16(name_field->y - g), 4, list_widths, &list_look, scrollbar_style);
  if (!list_look.visible) list->hide(false, true);
  // Large folders list whole, as far as a row number fits selected_row.
  list->row_limit = INT16_MAX;
  if (row_h <= 0) row_h = list->default_row_height;
  const uint16_t spacing = list_look.y_spacing == WM_STYLE_SET::UNSET ? 0 : list_look.y_spacing;
  list->default_row_height = std::max<int32_t>(row_h - spacing, 1);
  list->line_step = std::max<int32_t>(list->default_row_height / 2, 1);
  list->keyboard_navigation = 1;  // Up and Down go from row to row

  for (WM_SCREEN_OBJECT* o : std::initializer_list<WM_SCREEN_OBJECT*>{message_label, location_label,
                                                                      location_menu, path_label})
    add_child(o, true);
  add_child(name_field, true);
  add_child(list, true);
  add_child(ok_button, true);
  add_child(cancel_button, true);
  add_child(new_folder_button, true);
  // Laid out now for a first paint before the first listing; each listing
  // lays it out again for the texts it then has.
  lay_out();
  leaves_once_closed = 1;
  default_focus = ok_button;
  escape_button = cancel_button;
  kind |= wm_kind::FILE_SELECT;
  notify_created();
}

WM_FILE_SELECT::~WM_FILE_SELECT() {
  if (name_dialog_open()) {
    name_dialog->value_word = 0;
    name_dialog->close(true);
  }
  name_dialog = nullptr;
}

bool WM_FILE_SELECT::name_dialog_open() const {
  if (!name_dialog) return false;
  const auto& open = overlays();
  return std::find(open.begin(), open.end(), name_dialog) != open.end();
}

// ---- Modes and result ------------------------------------------------------

void WM_FILE_SELECT::set_mode(uint8_t new_mode, const FOLDER* start, const char* name,
                              const char* ext) {
  mode = new_mode;
  extension.set(ext ? ext : "");
  at_my_computer = 0;
  if (start) folder = *start;
  switch (mode) {
    case MODE_EXISTING_FILE:
      set_name(name ? name : "");
      name_field->enabled = 0;
      new_folder_button->set_enabled(false);
      set_text("Select a File");
      message_label->set_text("Select an exsiting file.", false);
      break;
    case MODE_NEW_FILE:
      set_name(name ? name : "");
      name_field->enabled = 1;
      new_folder_button->set_enabled(true);
      set_text("Select a New File");
      message_label->set_text("Select a new or exsiting file.", false);
      break;
    default:
      set_name("");
      name_field->enabled = 0;
      new_folder_button->set_enabled(true);
      set_text("Select a Folder");
      message_label->set_text("Select an exsiting folder.", false);
      break;
  }
  // Choosing a folder needs no name: the list takes the field's room.
  if (mode == MODE_FOLDER) name_field->hide(false, false);
  else name_field->show();
  needs_refresh = 1;
}

bool WM_FILE_SELECT::get_result(FOLDER* out, char* name, size_t name_size) {
  std::string result = current_name();
  if (mode == MODE_FOLDER) {
    if (name && name_size > 0) name[0] = '\0';
    FOLDER shown = folder;
    if (!result.empty() && !make_folder(&shown, result.c_str(), false)) return false;
    if (out) *out = shown;
    return true;
  }
  if (mode == MODE_NEW_FILE) {
    if (!name) return false;
    const char* ext = extension.get_text() ? extension.get_text() : "";
    if (!ends_with(result, ext)) result += ext;
  }
  if (name) {
    if (result.size() >= name_size) {
      set_last_error(ERROR_RESULT_TOO_LONG, result.c_str());
      return false;
    }
    memcpy(name, result.c_str(), result.size() + 1);
  }
  if (out) *out = folder;
  return true;
}

// ---- Listing ---------------------------------------------------------------

int32_t WM_FILE_SELECT::process() {
  if (needs_refresh) {
    needs_refresh = 0;
    refresh();
  }
  return WM_DIALOG::process();
}

// Top down: the message whole (on more lines when it needs them), "Look
// in:" whole with the drop-down taking the rest of its line, the shown
// folder's path, then the list in all the height that is left above the
// name field (or, without one, above the buttons) at the bottom.
void WM_FILE_SELECT::lay_out() {
  const WM_SCREEN_OBJECT* c = get_client();
  const int32_t cx = c->x, cy = c->y;
  const int32_t inner = std::max(1, int32_t{c->width} - 2 * margin);
  const int32_t half = margin / 2;
  auto place = [&](WM_SCREEN_OBJECT* o, int32_t ox, int32_t oy, int32_t w, int32_t h) {
    o->set_size(static_cast<uint16_t>(std::max(w, 1)), static_cast<uint16_t>(std::max(h, 1)), false);
    o->set_position(to_i16(cx + ox), to_i16(cy + oy));
  };
  const int32_t buttons_top = c->height - 2 * margin;
  place(ok_button, c->width - margin - ok_button->width, buttons_top, ok_button->width, ok_button->height);
  place(cancel_button, ok_button->x - cx - margin - cancel_button->width, buttons_top, cancel_button->width,
        cancel_button->height);
  place(new_folder_button, margin, buttons_top, new_folder_button->width, new_folder_button->height);
  const int32_t field_top = buttons_top - 2 * margin - name_field->height;
  place(name_field, margin, field_top, inner, name_field->height);

  int32_t y = margin;
  message_label->text_flags &= ~script_flag::WRAP;
  place(message_label, margin, y, inner, label_height);
  const int32_t message_h = message_label->wrap_to_width();
  place(message_label, margin, y, inner, message_h);
  y += message_h + half;

  const char* label = location_label->text.get_type() == PARAMETER::TEXT
                          ? location_label->text.get_text(PARAMETER::VALUE)
                          : "";
  IMAGE* s = drawing_surface();
  const int32_t label_w =
      std::min(inner / 2, (s && label ? s->get_text_width(location_label->font, location_label->font_width,
                                                         static_cast<int16_t>(location_label->font_height), label)
                                      : 0) +
                              location_label->left_gap + location_label->right_gap + 1);
  const int32_t line_h = std::max<int32_t>(location_menu->height, text_line_height);
  place(location_label, margin, y, label_w, line_h);
  place(location_menu, margin + label_w, y + (line_h - location_menu->height) / 2, inner - label_w,
        location_menu->height);
  y += line_h + half;

  place(path_label, margin, y, inner, label_height);
  y += label_height + half;

  const int32_t bottom = (name_field->visible ? field_top : buttons_top) - margin;
  place(list, margin, y, inner, bottom - y);
}

// The shown folder's whole path, or the drives' name; middle-shortened when
// it is too long, so that its start and its own folder stay in view.
void WM_FILE_SELECT::show_path(const char* text) {
  const std::string whole = readable_name(text);
  const std::string shown = fit_text_middle(
      drawing_surface(), {path_label->font, path_label->font_width, static_cast<int16_t>(path_label->font_height)},
      whole.c_str(), path_label->width);
  path_label->set_text(shown.c_str(), false);
}

// What the size and time columns need for their longest texts (1 for a
// column without any), a text cell's gaps included.
WM_FILE_SELECT::COLUMN_NEEDS WM_FILE_SELECT::measure_columns(const std::vector<LISTED>& entries) const {
  IMAGE* s = drawing_surface();
  const WM_STYLE_SET& look = list->style;
  COLUMN_NEEDS need;
  for (const LISTED& e : entries) {
    const std::string* texts[2] = {&e.size, &e.time};
    for (int k = 0; k < 2; ++k)
      if (s && !texts[k]->empty())
        need.width[k] = std::max(need.width[k], s->get_text_width(look.font_id, look.font_x_sz,
                                                                  static_cast<int16_t>(look.font_y_sz),
                                                                  texts[k]->c_str()));
  }
  // A text cell keeps its border's width on both sides of its text.
  const int32_t cell_gaps = 2 * ::get_border_width(1) + 1;
  for (int32_t& w : need.width) w = w > 0 ? w + cell_gaps : 1;
  return need;
}

// The list's width for its texts: without the icon column and the room a
// scroll bar takes.
int32_t WM_FILE_SELECT::text_room() const {
  const WM_STYLE_SET& look = list->style;
  return int32_t{list->width} - look.border_left_gap - look.border_right_gap - icon_column -
         look.grid_scrollbar_width;
}

// A browser too small for MIN_LIST_ROWS rows, or for the size and time
// columns beside names half as wide as they, grows within the view and is
// laid out again: the size it was given is where it starts.
void WM_FILE_SELECT::grow_for(const COLUMN_NEEDS& need) {
  const WM_STYLE_SET& look = list->style;
  const int32_t rows_h = MIN_LIST_ROWS * (list->default_row_height + look.y_spacing) +
                         look.border_top_gap + look.border_bottom_gap;
  const int32_t missing_h = std::max(0, rows_h - int32_t{list->height});
  const int32_t missing_w = std::max(0, (need.width[0] + need.width[1]) * 3 / 2 - text_room());
  if (missing_h == 0 && missing_w == 0) return;
  grow_to(int32_t{width} + missing_w, int32_t{height} + missing_h);
  lay_out();
}

// The size and time columns take what they need, at most two thirds of the
// text room between them (cut with an ellipsis beyond that); the names have the
// rest, and only they give way to the scroll bar.
void WM_FILE_SELECT::fit_columns(const COLUMN_NEEDS& need) {
  const int32_t room = std::max(2, text_room() * 2 / 3);
  int32_t want[2] = {need.width[0], need.width[1]};
  const int32_t total = want[0] + want[1];
  if (total > room)
    for (int32_t& w : want) w = std::max<int32_t>(1, w * room / total);
  const int16_t widths[4] = {to_i16(-icon_column), 1, to_i16(-want[0]), to_i16(-want[1])};
  list->set_column_widths(4, widths);
}

void WM_FILE_SELECT::refresh() {
  // A row that had the focus goes with the old list: the keyboard carries
  // on at the first entry of the new one (else at "..").
  int32_t focused_column = 0, focused_row = 0;
  const bool focus_in_list = list->find_focused_cell(&focused_column, &focused_row, true);
  const std::vector<LISTED> entries = at_my_computer ? std::vector<LISTED>{} : read_folder();
  const COLUMN_NEEDS need = measure_columns(entries);
  lay_out();
  grow_for(need);
  fit_columns(need);
  location_menu->get_popup()->clear_items();
  list->clear(true);
  row_names.clear();
  selected_row = -1;
  row_count = 0;
  if (at_my_computer) list_drives();
  else list_folder_rows(entries);
  update_ok();
  if (list->visible) list->show();
  if (focus_in_list) {
    const int32_t first_entry = at_my_computer || row_count < 2 ? 0 : 1;
    if (WM_SCREEN_OBJECT* cell = list->get_cell(1, first_entry)) cell->set_focus();
  }
}

void WM_FILE_SELECT::add_level_item(const char* name) {
  // The pop-up keeps an item's value word for itself: an item's levels are
  // its row, the last row being the drives.
  location_menu->get_popup()->add_item(name, on_cell, WORD_LEVEL,
                                       reinterpret_cast<uintptr_t>(this), false);
}

void WM_FILE_SELECT::add_row(const IMAGE& picture, const std::string& name, const char* size,
                             const char* time, uintptr_t word, uintptr_t value) {
  const auto self = reinterpret_cast<uintptr_t>(this);
  const int32_t row = row_count;
  const COLOUR text_colour = body_style.fg_colour;
  WM_IMAGE* picture_cell = icon_cell(picture, word, self, value);
  if (!list->set_cell(0, row, picture_cell)) delete picture_cell;
  const std::string shown = readable_name(name.c_str());
  const char* texts[3] = {shown.c_str(), size, time};
  const uint32_t justify[3] = {button_flag::LEFT_JUSTIFY, button_flag::RIGHT_JUSTIFY,
                               button_flag::LEFT_JUSTIFY};
  for (int column = 0; column < 3; ++column) {
    if (!texts[column]) continue;
    WM_BUTTON* cell = list->add_check_box_cell(column + 1, row, texts[column], &text_colour,
                                               nullptr, justify[column] | button_flag::ELLIPSIS,
                                               on_cell, word, self, button_event::RELEASE);
    if (!cell) continue;
    cell->value_word = value;
    cell->selectable = column == 0 ? 1 : 0;  // the name stands for its row in the Tab order
  }
  row_names.push_back(name);
  ++row_count;
}

// Folders first, then files, filtered by the mode and the extension.
std::vector<WM_FILE_SELECT::LISTED> WM_FILE_SELECT::read_folder() const {
  std::vector<LISTED> entries;
  const char* ext = extension.get_text() ? extension.get_text() : "";
  for (const bool folders : {true, false}) {
    if (!folders && mode == MODE_FOLDER) break;
    FOLDER_LIST* listing = list_folder(folder, nullptr, show_hidden != 0, 0, false);
    if (!listing) break;  // unreadable or gone: the parent row alone
    FOLDER_LIST_ENTRY entry;
    while (list_folder_filtered(listing, &entry)) {
      if ((entry.info.is_directory != 0) != folders) continue;
      std::string name = entry.name;
      if (!folders && !ends_with(name, ext)) continue;
      // Sizes are shown from the whole 64-bit size.
      entries.push_back({std::move(name), folders ? "" : size_to_text(entry), time_to_text(entry.info), folders});
    }
    free_folder_list(listing);
  }
  return entries;
}

void WM_FILE_SELECT::list_folder_rows(const std::vector<LISTED>& entries) {
  new_folder_button->set_enabled(mode != MODE_EXISTING_FILE);
  const std::string here = readable_name(get_folder_name(folder));
  location_menu->set_text(here.c_str(), false);
  FOLDER level = folder;
  do {
    add_level_item(readable_name(get_folder_name(level)).c_str());
  } while (folder_up(&level));
  add_level_item(my_computer_text.get_text() ? my_computer_text.get_text() : "");
  show_path(folder.path);

  FOLDER parent = folder;
  const uintptr_t parent_value = folder_up(&parent) ? 1 : TO_DRIVES;
  add_row(icon(ICON_PARENT_FOLDER), "..", nullptr, nullptr, WORD_LEVEL, parent_value);
  // The value word of a row is its row number.
  const std::string wanted = current_name();
  for (const LISTED& e : entries) {
    const int32_t row = row_count;
    add_row(icon(e.folder ? ICON_FOLDER : ICON_FILE), e.name, e.size.c_str(), e.time.c_str(),
            e.folder ? WORD_FOLDER_ROW : WORD_FILE_ROW, static_cast<uintptr_t>(row));
    if (!e.folder && !wanted.empty() && e.name == wanted) {
      selected_row = static_cast<int16_t>(row);
      mark_row(list, row, true);
    }
  }
}

void WM_FILE_SELECT::list_drives() {
  new_folder_button->set_enabled(false);
  const char* top = my_computer_text.get_text() ? my_computer_text.get_text() : "";
  location_menu->set_text(top, false);
  show_path(top);
  add_level_item(top);
  for (int i = 0; i < get_drive_count(); ++i) {
    const int type = get_drive_type(i);
    const IMAGE& own = icon(std::clamp(type, 0, static_cast<int>(ICON_DISK_WINDOWS)));
    const char* name = get_drive_name(i);
    add_row(own.width > 0 ? own : icon(ICON_DISK), name ? name : "", nullptr, nullptr, WORD_DRIVE,
            static_cast<uintptr_t>(i));
  }
}

void WM_FILE_SELECT::update_ok() {
  const char* typed = name_field->get_text();
  const bool has_name = typed && *typed;
  if (mode == MODE_FOLDER) ok_button->set_enabled(!at_my_computer);
  else ok_button->set_enabled(!at_my_computer && has_name);
}

void WM_FILE_SELECT::mark_row(WM_GRID* grid, int32_t row, bool mark) {
  WM_GRID_ROW* r = grid ? grid->get_row(row) : nullptr;
  if (!r) return;
  if ((r->selected != 0) != mark && grid->visible) grid->show();
  r->selected = mark ? 1 : 0;
}

// ---- Answers ---------------------------------------------------------------

int32_t WM_FILE_SELECT::on_cell(WM_SCREEN_OBJECT* object, uintptr_t word, uintptr_t browser) {
  if (!object) return 0;
  // The name dialog answers with its outcome in word 2; it carries the
  // browser in its value word (0 once the browser is gone).
  if (word == WORD_NEW_FOLDER && (object->kind & wm_kind::TEXT_EDIT_DIALOG)) {
    auto* dialog = static_cast<WM_TEXT_EDIT_DIALOG*>(object);
    auto* owner = reinterpret_cast<WM_FILE_SELECT*>(dialog->value_word);
    if (owner) return owner->on_name_dialog(dialog);
    dialog->close(true);
    return 0;
  }
  auto* self = reinterpret_cast<WM_FILE_SELECT*>(browser);
  if (!self) return 0;
  const bool moves = word == WORD_LEVEL || word == WORD_DRIVE || word == WORD_FOLDER_ROW;
  if (moves || word == WORD_FILE_ROW) {
    // A row clicked twice enters on the first click; the second would
    // land on whatever row of the new list lies under the pointer.
    const uint32_t now = get_time_ms();
    if (self->folder_changed_at != 0 && now - self->folder_changed_at < DOUBLE_CLICK_MS) return 0;
    if (moves) self->folder_changed_at = now == 0 ? 1 : now;
  }
  uintptr_t value = object->value_word;
  if (word == WORD_LEVEL) {
    const WM_FLOATING_MENU* popup = self->location_menu->get_popup();
    const int32_t row = popup->find_row(object);
    if (row >= 0)
      value = row == popup->get_item_count() - 1 ? TO_DRIVES : static_cast<uintptr_t>(row);
  }
  switch (word) {
    case WORD_OK:
    case WORD_CANCEL:
      self->action_word_2 = word == WORD_OK ? 1 : 0;
      return self->fire_callback(true);
    case WORD_NEW_FOLDER:
      self->open_name_dialog();
      return 0;
    case WORD_LEVEL:
      self->clear_name_if_picking();
      if (value == TO_DRIVES) {
        self->at_my_computer = 1;
      } else {
        for (uintptr_t i = 0; i < value && folder_up(&self->folder); ++i) {
        }
      }
      self->needs_refresh = 1;
      return 0;
    case WORD_DRIVE:
      self->clear_name_if_picking();
      if (get_drive_path(&self->folder, static_cast<int>(value))) self->at_my_computer = 0;
      self->needs_refresh = 1;
      return 0;
    case WORD_FOLDER_ROW:
      self->clear_name_if_picking();
      if (value < self->row_names.size()) {
        const std::string& name = self->row_names[value];
        if (name != "." && name != "..") make_folder(&self->folder, name.c_str(), false);
      }
      self->needs_refresh = 1;
      return 0;
    case WORD_FILE_ROW:
      if (value >= self->row_names.size()) return 0;
      self->set_name(self->row_names[value]);
      if (self->selected_row >= 0) mark_row(self->list, self->selected_row, false);
      self->selected_row = static_cast<int16_t>(value);
      mark_row(self->list, static_cast<int32_t>(value), true);
      self->update_ok();
      return 0;
    case WORD_NAME_CHANGED:
      if (self->mode == MODE_EXISTING_FILE || self->mode == MODE_NEW_FILE) self->update_ok();
      return 0;
    default:
      return 0;
  }
}

void WM_FILE_SELECT::open_name_dialog() {
  if (name_dialog_open()) return;
  const bool over = new_folder_at_dialog != 0;
  // Two lines for the prompt, which also tells why a name was refused.
  auto* dialog = new WM_TEXT_EDIT_DIALOG(
      over ? get_x() : -1, over ? get_y() : -1, over ? static_cast<int16_t>(width) : -1,
      over ? static_cast<int16_t>(height) : -1, 2, &edit_style, true, on_cell, WORD_NEW_FOLDER,
      ok_button->get_text(), cancel_button->get_text(), kNoTitleYet, NAME_MAX_LENGTH);
  dialog->prompt->text_flags |= script_flag::WRAP;
  dialog->value_word = reinterpret_cast<uintptr_t>(this);
  add_overlay(dialog, false);
  dialog->ok->set_icon_image(ok_button->icon);
  dialog->cancel->set_icon_image(cancel_button->icon);
  dialog->prompt->set_text(new_folder_prompt.get_text() ? new_folder_prompt.get_text() : "", false);
  dialog->set_text(new_folder_title.get_text() ? new_folder_title.get_text() : "");
  dialog->entry->filter = WM_TEXT_EDIT::filter_file_name;
  name_dialog = dialog;
}

const VORN_STRING* WM_FILE_SELECT::make_new_folder(const std::string& name) {
  // "." and ".." would only move about, a "/" would reach elsewhere.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    return &bad_name_text;
  if (make_folder(&folder, name.c_str(), true)) return nullptr;
  char path[FOLDER_PATH_SIZE];
  if (!join_path(path, sizeof path, folder.path, name.c_str())) return &bad_name_text;  // too long
  return path_entry(path) == PATH_ENTRY::PRESENT ? &name_taken_text : &cannot_make_text;
}

int32_t WM_FILE_SELECT::on_name_dialog(WM_TEXT_EDIT_DIALOG* dialog) {
  if (dialog->action_word_2 == 1) {
    const char* typed = dialog->entry->get_text();
    // New names are UTF-8 on disk.
    if (const VORN_STRING* why = make_new_folder(system_text_to_utf8(typed ? typed : ""))) {
      // The dialog stays with the typed name and says why.
      dialog->prompt->set_text(why->get_text() ? why->get_text() : "", false);
      return 0;
    }
    if (mode == MODE_EXISTING_FILE) set_name("");
    needs_refresh = 1;
  }
  if (name_dialog == dialog) name_dialog = nullptr;
  dialog->close(true);
  return 0;
}
