#include "install_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "database.h"
#include "file_services.h"
#include "folder.h"
#include "install_log.h"
#include "platform.h"
#include "quit_confirm.h"
#include "text_convert.h"
#include "text_fit.h"
#include "window.h"
#include "wizard.h"
#include "wm_button.h"
#include "wm_check_box.h"
#include "wm_confirm.h"
#include "wm_grid.h"
#include "wm_kinds.h"
#include "wm_progress_bar.h"
#include "wm_script.h"
#include "wm_text_win.h"

WM_GRID* option_grid = nullptr;
WM_BUTTON* folder_button = nullptr;
WM_BUTTON* browse_button = nullptr;

namespace {

int16_t i16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }

LANGUAGE_KEY title_key(int32_t page) {
  static const LANGUAGE_KEY keys[] = {PACK_DATA_TITLE,     PACK_LOG_TITLE,     LANGUAGE_KEY_COUNT,
                                      SELECT_LANGUAGE,     LICENCE_TITLE,      RELEASE_NOTES_TITLE,
                                      INSTALL_TYPE_TITLE,  SELECT_OPTIONS_TITLE, INSTALLING_TITLE,
                                      README_TITLE};
  return page >= 0 && page < 10 ? keys[page] : LANGUAGE_KEY_COUNT;
}

const char* page_title(int32_t page) {
  const LANGUAGE_KEY key = title_key(page);
  return key == LANGUAGE_KEY_COUNT ? "" : wizard_text(key);
}

WM_BUTTON* make_button(const WM_STYLE_SET* style, LANGUAGE_KEY text, LANGUAGE_KEY hint, uintptr_t id,
                       const IMAGE& icon) {
  WM_BUTTON* b = new WM_BUTTON(0, 0, -1, -1, style, wizard_text(text), wizard_text(hint), on_wizard_button,
                               id, 0, button_event::PRESS | button_event::RELEASE);
  b->selectable = 1;
  give_button_icon(b, icon);
  return b;
}

// Overlays go to the wizard's root; without one (no wizard running) the
// dialog is dropped.
void show_overlay(WM_DIALOG* dialog) {
  if (WM_MANAGER* root = wizard_root())
    root->add_overlay(dialog, false);
  else
    delete dialog;
}

}  // namespace

const char* wizard_text(LANGUAGE_KEY key) { return installer_database().current_text(key); }

void relabel_button(WM_BUTTON* button, const char* text, const char* tooltip, const IMAGE& icon) {
  button->set_text(text, false);
  WM_STYLE_SET measure;
  measure.font_id = button->font;
  measure.font_x_sz = button->font_width;
  measure.font_y_sz = button->font_height;
  measure.border_left_gap = button->left_gap;
  measure.border_right_gap = button->right_gap;
  const int32_t w = measure.get_padded_text_width(button->drawing_surface(), text);
  button->set_size(static_cast<uint16_t>(std::max(w, 1)), button->height, false);
  button->set_tooltip(tooltip);
  give_button_icon(button, icon);
}

void show_install_folder(WM_BUTTON* button, bool system_folders) {
  if (!button) return;
  const DATABASE& data = installer_database();
  std::string shown;
  if (system_folders) {
    shown = wizard_text(SELECT_OPTIONS_SYSPATHS_SELECTED);
  } else {
    // Paths are UTF-8 on disk; a variable names the folder it will have.
    const char* real = resolve_path_text(data.install_folder);
    shown = real ? utf8_to_system_text(real, strlen(real)) : data.install_folder;
    const int32_t room = int32_t{button->width} - button->left_gap - button->right_gap;
    shown = fit_text_middle(button->drawing_surface(),
                            {button->font, button->font_width, static_cast<int16_t>(button->font_height)},
                            shown.c_str(), room);
  }
  button->set_text(shown.c_str(), false);
  if (button->visible) button->invalidate();
}

void give_button_icon(WM_BUTTON* button, const IMAGE& icon) {
  if (icon.width > 0) button->set_icon_image(icon);
}

void disable_button(WM_BUTTON* button) {
  if (button->enabled) button->set_enabled(false);
}

void enable_when(WM_BUTTON* button, bool on) {
  if (on)
    button->set_enabled(true);
  else
    disable_button(button);
}

INSTALL_DIALOG::INSTALL_DIALOG(int16_t x, int16_t y)
    : WM_DIALOG(x, y, installer_database().dialog.width, installer_database().dialog.height,
                page_title(installer_database().current_page), nullptr, nullptr, nullptr,
                &default_dialog_effects()) {
  DATABASE& data = installer_database();
  const int32_t page = data.current_page;
  // The grids and folder buttons of an earlier page are gone with it.
  option_grid = nullptr;
  folder_button = browse_button = nullptr;
  invalidate();
  draggable = data.dialog.can_drag;
  quit_button = make_button(&button_style, QUIT, QUIT_HINT, 1, data.icons[ICON_QUIT]);
  forward_button = make_button(&button_style, FORWARD, FORWARD_HINT, 100, data.icons[ICON_FORW]);
  previous_button = make_button(&button_style, PREVIOUS, PREVIOUS_HINT, 100, data.icons[ICON_PREV]);
  add_child(quit_button, true);
  add_child(forward_button, true);
  add_child(previous_button, true);

  const uintptr_t next = static_cast<uintptr_t>(data.get_next_page());
  const uintptr_t previous = static_cast<uintptr_t>(data.get_previous_page());
  forward_button->action_word_2 = next;
  previous_button->action_word_2 = previous;

  // The buttons take their page's words first; the content is laid out
  // above their row.
  switch (page) {
    case WIZARD_PAGE_PACK_DATA:
    case WIZARD_PAGE_LANGUAGE:
      disable_button(previous_button);
      disable_button(forward_button);
      break;
    case WIZARD_PAGE_PACK_LOG:
    case WIZARD_PAGE_README:
      disable_button(previous_button);
      relabel_button(forward_button, wizard_text(FINISH), wizard_text(FINISH_HINT), data.icons[ICON_FINISH]);
      relabel_button(quit_button, wizard_text(ABOUT), wizard_text(ABOUT_HINT), data.icons[ICON_ABOUT]);
      quit_button->action_word_1 = 8;
      break;
    case WIZARD_PAGE_LICENCE:
      relabel_button(previous_button, wizard_text(DISAGREE), wizard_text(DISAGREE_HINT), data.icons[ICON_DISAGREE]);
      previous_button->action_word_2 = WIZARD_PAGE_FINISH;
      relabel_button(forward_button, wizard_text(AGREE), wizard_text(AGREE_HINT), data.icons[ICON_AGREE]);
      break;
    case WIZARD_PAGE_RELEASE_NOTES:
      disable_button(previous_button);
      break;
    case WIZARD_PAGE_INSTALL_TYPE:
      enable_when(previous_button, previous == WIZARD_PAGE_RELEASE_NOTES);
      break;
    case WIZARD_PAGE_OPTIONS:
      enable_when(previous_button,
                  previous == WIZARD_PAGE_INSTALL_TYPE || previous == WIZARD_PAGE_RELEASE_NOTES);
      relabel_button(forward_button, wizard_text(INSTALL), wizard_text(INSTALL_HINT), data.icons[ICON_INSTALL]);
      if (data.patch.do_check) enable_when(forward_button, data.find_previous_installation());
      break;
    case WIZARD_PAGE_INSTALLING:
      disable_button(previous_button);
      disable_button(forward_button);
      if (next == WIZARD_PAGE_FINISH) {
        relabel_button(forward_button, wizard_text(FINISH), wizard_text(FINISH_HINT), data.icons[ICON_FINISH]);
      }
      break;
    default:
      break;
  }
  lay_out_buttons();

  const int16_t w = static_cast<int16_t>(get_client()->width);
  const int16_t h = static_cast<int16_t>(get_client()->height);
  const int16_t cw = i16(w - 1);
  const int16_t ch = i16(h - forward_button->height - data.dialog.button_gap);
  switch (page) {
    case WIZARD_PAGE_PACK_DATA:
    case WIZARD_PAGE_INSTALLING:
      add_progress(w, ch);
      break;
    case WIZARD_PAGE_PACK_LOG:
    case WIZARD_PAGE_LICENCE:
    case WIZARD_PAGE_RELEASE_NOTES:
    case WIZARD_PAGE_README:
      add_text_window(page, cw, ch);
      break;
    case WIZARD_PAGE_LANGUAGE:
    case WIZARD_PAGE_INSTALL_TYPE:
      add_choice_grid(page, cw, ch);
      break;
    case WIZARD_PAGE_OPTIONS:
      add_options_grid(cw, ch);
      check_screen_size();
      break;
    default:
      break;
  }

  // Return alone walks the usual way: forward, or on the language page the
  // language in use.
  if (forward_button->enabled) {
    default_focus = forward_button;
  } else if (page == WIZARD_PAGE_LANGUAGE && option_grid) {
    default_focus = option_grid->get_cell(0, data.current_language);
  }
}

std::vector<int32_t> share_button_row(const std::vector<int32_t>& wanted, int32_t row_width, int32_t gap) {
  std::vector<size_t> order(wanted.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return wanted[a] < wanted[b]; });
  // The narrowest first: each takes what it wants up to an even share of
  // what is left, which leaves the wider ones more.
  std::vector<int32_t> widths(wanted.size());
  int32_t left = row_width - gap * (static_cast<int32_t>(wanted.size()) - 1);
  for (size_t k = 0; k < order.size(); ++k) {
    const int32_t share = left / static_cast<int32_t>(order.size() - k);
    widths[order[k]] = std::max(1, std::min(wanted[order[k]], share));
    left -= widths[order[k]];
  }
  return widths;
}

// Quit at the bottom left, Forward at the bottom right and Previous left of
// it, button_gap apart, whatever their texts: the dialog keeps its size and
// place. A row too wide for it is shared out, and a text wider than its
// button ends in an ellipsis.
void INSTALL_DIALOG::lay_out_buttons() {
  const int32_t gap = installer_database().dialog.button_gap;
  WM_BUTTON* const row[3] = {quit_button, previous_button, forward_button};
  std::vector<int32_t> wanted;
  for (const WM_BUTTON* b : row)
    wanted.push_back(b->left_gap + b->right_gap +
                     drawing_surface()->get_text_width(b->font, b->font_width,
                                                       static_cast<int16_t>(b->font_height), b->get_text()));
  const int32_t w = get_client()->width, h = get_client()->height;
  const std::vector<int32_t> widths = share_button_row(wanted, w, gap);
  for (size_t i = 0; i < widths.size(); ++i) {
    row[i]->draw_flags |= button_flag::ELLIPSIS;
    row[i]->set_size(static_cast<uint16_t>(std::clamp(widths[i], 1, 65535)), row[i]->height, false);
  }
  // Children move in screen coordinates once added.
  const int32_t cx = get_client()->x, cy = get_client()->y;
  const int32_t fy = h - quit_button->height;
  quit_button->set_position(i16(cx), i16(cy + fy));
  const int32_t fx = w - forward_button->width;
  forward_button->set_position(i16(cx + fx), i16(cy + fy));
  previous_button->set_position(i16(cx + fx - gap - previous_button->width), i16(cy + fy));
}

void INSTALL_DIALOG::add_text_window(int32_t page, int16_t cw, int16_t ch) {
  DATABASE& data = installer_database();
  const DATABASE_LANGUAGE* language = data.current_language_data();
  int32_t capacity = 250;
  const char* kind = nullptr;
  if (page == WIZARD_PAGE_PACK_LOG) {
    capacity = data.total_file_count >= 16383 ? 32766 : std::max(2 * data.total_file_count, 250);
  } else if (page == WIZARD_PAGE_LICENCE) {
    kind = "licence";
  } else if (page == WIZARD_PAGE_RELEASE_NOTES) {
    kind = "release_notes";
    capacity = language ? language->release_notes.lines : 0;
  } else {
    kind = "readme";
    capacity = language ? language->readme.lines : 0;
  }
  WM_TEXT_WIN* window = new WM_TEXT_WIN(0, 0, cw, ch, &data.text_win_text_style, &data.scrollbar_style,
                                        static_cast<uint16_t>(std::clamp(capacity, 0, 32766)), false,
                                        nullptr, 0, 0);
  add_child(window, true);
  window->keep_at_top = 1;
  const COLOUR colour = data.text_win_text_style.fg_colour;
  if (!kind) {
    char name[64];
    snprintf(name, sizeof name, "%s.errlog", "installer.pkg");
    window->load_text_file(data.pack_folder, name, &colour);
    return;
  }
  if (!data.package || !data.package->is_open()) return;
  const std::string stored = text_page_name(kind, data.current_language);
  // A unique name in this run's own temporary folder, so that two
  // installers running at once never read each other's text.
  FOLDER temporary;
  char name[FOLDER_PATH_SIZE];
  if (!temporary.set("$TEMP", true) || !temporary.make_unique_file_name(name, sizeof name, ".txt"))
    return;
  // The page shows its whole text from the first line, however long.
  if (data.package->extract(temporary, name, stored.c_str()))
    window->load_text_file(temporary, name, &colour, true);
  remove_file(temporary, name);
}

void INSTALL_DIALOG::add_choice_grid(int32_t page, int16_t cw, int16_t ch) {
  DATABASE& data = installer_database();
  const bool languages = page == WIZARD_PAGE_LANGUAGE;
  const size_t count = languages ? data.languages.size() : data.installations.size();
  WM_GRID* grid = new WM_GRID(0, 0, cw, ch, 1, nullptr, &data.options_style, &data.grid_style);
  option_grid = grid;
  grid->keyboard_navigation = 1;  // Up and Down go from choice to choice
  const uintptr_t next = static_cast<uintptr_t>(data.get_next_page());
  const int32_t spacing = data.options_style.y_spacing == WM_STYLE_SET::UNSET ? 0 : data.options_style.y_spacing;
  int32_t widest = 0;
  for (size_t i = 0; i < count; ++i) {
    WM_SCREEN_OBJECT* cell;
    if (languages) {
      // The cell's value word carries the language it chooses.
      cell = new WM_BUTTON(0, 0, -1, -1, &button_style, data.languages[i].texts[LANGUAGE_TITLE], nullptr,
                           on_wizard_button, 3, next, button_event::RELEASE);
      cell->value_word = i;
      cell->selectable = 1;
    } else {
      const DATABASE_LANGUAGE* language = data.current_language_data();
      const char* label =
          language && i < language->installation_strings.size() ? language->installation_strings[i].data()
                                                                 : data.installations[i].name;
      WM_CHECK_BOX* box = new WM_CHECK_BOX(0, 0, &data.check_box_style, label, on_wizard_button, 2, i);
      box->set_checked(static_cast<int16_t>(i) == data.chosen_installation);
      cell = box;
    }
    const int32_t row_height = cell->get_height() + spacing;
    if (!grid->set_cell(0, static_cast<int32_t>(i), cell)) {
      delete cell;
      continue;
    }
    grid->set_row_height(static_cast<int32_t>(i), row_height);
    widest = std::max<int32_t>(widest, cell->get_width());
  }
  // The grid's own frame and row spacing, as it lays its rows out: a grid
  // of a few choices shows them all, without a scroll bar, and every choice lies wholly
  // in view, so Tab reaches it.
  const WM_STYLE_SET& frame = grid->style;
  const int32_t gw = std::min<int32_t>(widest + frame.border_left_gap + frame.border_right_gap, cw + 1);
  const int32_t gh =
      std::min<int32_t>(grid->get_content_height() + frame.border_top_gap + frame.border_bottom_gap, ch + 1);
  grid->set_size(static_cast<uint16_t>(std::max(gw, 1)), static_cast<uint16_t>(std::max(gh, 1)), true);
  add_child(grid, true);
  grid->set_position(i16(get_client()->x + (cw + 1 - gw) / 2), i16(get_client()->y + (ch + 1 - gh) / 2));
}

void INSTALL_DIALOG::add_options_grid(int16_t cw, int16_t ch) {
  DATABASE& data = installer_database();
  const SYSTEM_INFO& info = data.system_information();
  WM_GRID* grid = new WM_GRID(0, 0, cw, ch, 1, nullptr, &data.options_style, &data.grid_style);
  add_child(grid, true);
  option_grid = grid;
  folder_button = browse_button = nullptr;
  const int32_t r = std::max<int32_t>(grid->default_row_height,
                                      WM_GRID::get_row_height(data.options_style, &data.text_win_title_style));
  const int32_t small = r / 3;
  const int32_t large = r + (r - r / 3) * 3 / 5;
  const int16_t four[] = {2, 11, 1, 2};
  const int16_t three[] = {2, 11, 1};
  const int16_t one[] = {1};
  const uintptr_t self = reinterpret_cast<uintptr_t>(this);
  const DATABASE_INSTALLATION* chosen = data.chosen_installation_data();

  // A question row, as tall as the title style needs (the title style may
  // be taller than the grid's rows) or, for a question wider than the
  // page, as its lines need, followed by a small empty spacer row.
  // Returns the width of the page's rows.
  auto question = [&](int32_t row, const char* text) {
    int32_t height = r, row_width = grid->width;
    if (WM_SCRIPT* cell = grid->add_text_cell(0, row, text, &data.text_win_title_style)) {
      height = std::max<int32_t>(r, cell->wrap_to_width());
      row_width = cell->width;
    }
    grid->set_row_height(row, height);
    grid->add_text_cell(0, row + 1, "", &data.text_win_title_style);
    grid->set_row_height(row + 1, small);
    return row_width;
  };
  question(0, wizard_text(SELECT_OPTIONS_LOCATION_QUESTION));
  grid->set_column_widths(4, four);

  const bool system_box = info.system_folders && chosen && chosen->allow_system_paths;
  int32_t folder_row = 2;
  if (system_box) {
    WM_CHECK_BOX* box = new WM_CHECK_BOX(0, 0, &data.check_box_style, wizard_text(SELECT_OPTIONS_USE_SYSTEM_PATHS),
                                         on_wizard_button, 4, self);
    box->set_checked(data.use_system_paths != 0);
    if (!grid->set_cell(1, 2, box)) delete box;
    grid->set_row_height(2, large);
    folder_row = 3;
  }
  folder_button = grid->add_button_cell(1, folder_row, "", &data.text_win_text_style, on_wizard_button, 5,
                                        self, button_event::PRESS | button_event::RELEASE);
  show_install_folder(folder_button, system_box && data.use_system_paths);
  browse_button = grid->add_button_cell(2, folder_row, "...", &button_style, on_wizard_button, 5, self,
                                        button_event::PRESS | button_event::RELEASE);
  grid->set_row_height(folder_row, large);
  for (WM_BUTTON* b : {folder_button, browse_button})
    if (b) b->selectable = 1;
  if (system_box) {
    for (WM_BUTTON* b : {folder_button, browse_button})
      if (b) enable_when(b, !data.use_system_paths);
  }
  grid->add_text_cell(0, folder_row + 1, "", &data.text_win_title_style);
  grid->set_row_height(folder_row + 1, small);
  int32_t row = folder_row + 2;

  if (data.patch.do_check) {
    grid->set_column_widths(1, one);
    question(row, wizard_text(PATCH_MSG));
    row += 2;
  }
  const bool desktop = info.desktop_icons && chosen && chosen->has_desktop_shortcut;
  const bool menu = info.desktop_menu && chosen && chosen->has_menu_shortcut;
  if (desktop || menu) {
    grid->set_column_widths(1, one);
    const int32_t page_w = question(row, wizard_text(SELECT_OPTIONS_SHORTCUT_QUESTION));
    std::vector<WM_CHECK_BOX*> boxes;
    auto make_box = [&](LANGUAGE_KEY key, uintptr_t id, uint8_t checked) {
      WM_CHECK_BOX* box = new WM_CHECK_BOX(0, 0, &data.check_box_style, wizard_text(key), on_wizard_button, id, 0);
      box->set_checked(checked != 0);
      boxes.push_back(box);
    };
    if (desktop) make_box(SELECT_OPTIONS_DESKTOP_SHORTCUT, 6, data.desktop_shortcut);
    if (menu) make_box(SELECT_OPTIONS_MENU_SHORTCUT, 7, data.menu_shortcut);
    // The boxes stand indented by two fourteenths of the page; labels too
    // long for that move them left, so that every label shows whole.
    int32_t widest = 0;
    for (const WM_CHECK_BOX* box : boxes) widest = std::max<int32_t>(widest, box->width);
    if (widest * 14 <= page_w * 11) {
      grid->set_column_widths(3, three);
    } else {
      const int16_t indent[2] = {i16(-std::max<int32_t>((page_w - widest) / 2, 1)), 1};
      grid->set_column_widths(2, indent);
    }
    int32_t box_row = row + 2;
    for (WM_CHECK_BOX* box : boxes) {
      if (!grid->set_cell(1, box_row, box)) delete box;
      grid->set_row_height(box_row, large);
      ++box_row;
    }
  }
}

void INSTALL_DIALOG::add_progress(int16_t w, int16_t ch) {
  DATABASE& data = installer_database();
  const WM_STYLE_SET& s = data.progress_bar_style;
  const int32_t border = ::get_border_width(s.shading_type);
  auto gap = [&](uint16_t v) { return v == WM_STYLE_SET::UNSET ? border : int32_t{v}; };
  const int32_t font_h = s.font_y_sz == WM_STYLE_SET::UNSET ? drawing_surface()->font_height : int32_t{s.font_y_sz};
  const int32_t line = gap(s.border_top_gap) + gap(s.border_bottom_gap) + font_h +
                       (s.y_spacing == WM_STYLE_SET::UNSET ? 0 : s.y_spacing);
  progress_bar = new WM_PROGRESS_BAR(0, i16(ch / 2), static_cast<uint16_t>(w), static_cast<uint16_t>(line), "",
                                     100, &s);
  progress_bar->animation_x_rate = static_cast<int16_t>(data.progress_bar_animation_x_rate);
  progress_bar->animation_y_rate = static_cast<int16_t>(data.progress_bar_animation_y_rate);
  progress_bar->animation_update_rate = data.progress_bar_animation_update_rate;
  add_child(progress_bar, true);
  file_label = new WM_SCRIPT(0, 0, i16(w - 2), -1, &data.progress_bar_script_style, "");
  add_child(file_label, true);
  file_label->set_position(get_client()->x, i16(progress_bar->y - file_label->height));
}

const char* INSTALL_DIALOG::shown_text(const DATABASE& data, const char* text, char* buffer, size_t size) {
  if (!text || text[0] != '/') return text ? text : "";
  if (!data.show_filenames && !data.show_filepaths) return data.current_text(INITIALIZING_STRING);
  // The worker hands paths over in the system's text already.
  const size_t length = data.show_filenames ? strlen(text) : static_cast<size_t>(strrchr(text, '/') - text + 1);
  std::string shown(text, length);
  system_text_cut(shown, size - 1);
  snprintf(buffer, size, "%s", shown.c_str());
  return buffer;
}

void INSTALL_DIALOG::set_progress(int32_t percent, const char* text) {
  if (!progress_bar) return;
  DATABASE& data = installer_database();
  char buffer[FOLDER_PATH_SIZE];
  // A path wider than the line gives way in its middle: the file's own
  // name at its end stays in view.
  const std::string fitted = fit_text_middle(
      file_label->drawing_surface(),
      {file_label->font, file_label->font_width, static_cast<int16_t>(file_label->font_height)},
      shown_text(data, text, buffer, sizeof buffer), int32_t{file_label->width} - file_label->left_gap - file_label->right_gap);
  const char* shown = fitted.c_str();
  const char* now = file_label->text.get_text(PARAMETER::VALUE);
  if (percent == progress_bar->value && now && strcmp(now, shown) == 0) return;
  if (percent >= 0 && percent <= progress_bar->total) {
    progress_bar->value = percent;
    progress_bar->redraw_now();
    swap_screens(screen_of_point(progress_bar->x, progress_bar->y));
    progress_bar->update_and_poll();
  }
  file_label->set_text(shown, false);
  file_label->redraw_now();
  swap_screens(screen_of_point(x, y));
  platform_update();
}

void INSTALL_DIALOG::update_buttons() {
  DATABASE& data = installer_database();
  if (data.get_next_page() == WIZARD_PAGE_FINISH) {
    quit_button->set_text(wizard_text(ABOUT), false);
    const int32_t w = button_style.get_padded_text_width(drawing_surface(), wizard_text(ABOUT));
    quit_button->set_size(static_cast<uint16_t>(std::max(w, 1)), quit_button->height, false);
    quit_button->set_tooltip(wizard_text(ABOUT_HINT));
    quit_button->action_word_1 = 8;
    give_button_icon(quit_button, data.icons[ICON_ABOUT]);
  } else {
    disable_button(quit_button);
  }
  if (!forward_button->enabled) forward_button->set_enabled(true);
  lay_out_buttons();
  forward_button->set_focus();  // on, as every page goes on
}

// The install worker's questions: the message as plain text, the ERROR
// group's dragging, and the skin's icons: yes and no on a question's two
// buttons, no on the single button that leads back.
static void show_install_error(WM_CONFIRM* dialog, const char* message) {
  DATABASE& data = installer_database();
  add_message_text(dialog, message, &WM_DIALOG::default_text_colour);
  if (dialog->message_window) dialog->message_window->text_flags = 0;
  dialog->draggable = data.error.can_drag;
  if (!dialog->second_button) {
    if (dialog->first_button) give_button_icon(dialog->first_button, data.icons[ICON_NO]);
  } else if (data.icons[ICON_YES].width > 0) {
    if (dialog->first_button) give_button_icon(dialog->first_button, data.icons[ICON_YES]);
    give_button_icon(dialog->second_button, data.icons[ICON_NO]);
  }
  dialog->fit_to_texts();
  show_overlay(dialog);
}

void INSTALL_DIALOG::ask_on_copy_error(const char* path) {
  DATABASE& data = installer_database();
  const WM_CONFIRM::BUTTON_ACTION carry_on{on_wizard_button, 101, 0};
  const WM_CONFIRM::BUTTON_ACTION leave{on_wizard_button, 100, static_cast<uintptr_t>(data.get_previous_page())};
  WM_CONFIRM* ask = new WM_CONFIRM(data.error.width, data.error.height, wizard_text(COPY_ERROR_TITLE),
                                   wizard_text(COPY_ERROR_YES), wizard_text(COPY_ERROR_NO), true, carry_on, leave,
                                   data.error.x, data.error.y, false, 100, nullptr);
  show_install_error(ask, message_with_path(wizard_text(COPY_ERROR_MSG), shown_path(path).c_str()).c_str());
}

void INSTALL_DIALOG::report_path_error(const char* folder, const char* reason) {
  DATABASE& data = installer_database();
  const WM_CONFIRM::BUTTON_ACTION back{on_wizard_button, 100, static_cast<uintptr_t>(data.get_previous_page())};
  WM_CONFIRM* error = new WM_CONFIRM(data.error.width, data.error.height, wizard_text(PATH_ERROR_TITLE),
                                     wizard_text(PATH_ERROR_BUTTON), nullptr, true, back, back, data.error.x,
                                     data.error.y, true, 100, nullptr);
  show_install_error(error, path_error_text(wizard_text(PATH_ERROR_MSG), shown_path(folder).c_str(), reason).c_str());
}

void INSTALL_DIALOG::check_screen_size() {
  DATABASE& data = installer_database();
  if (data.desktop_size_checked) return;
  data.desktop_size_checked = 1;
  const int32_t need_w = data.check_desktop_size.width, need_h = data.check_desktop_size.height;
  if (need_w == -1 || need_h == -1) return;
  const int32_t have_w = get_desktop_width(), have_h = get_desktop_height();
  if (have_w >= need_w && have_h >= need_h) return;
  snprintf(data.desktop_check_message, sizeof data.desktop_check_message,
           "ERROR: screen %dx%d does not meet minimum requirement of %dx%d\n", have_w, have_h, need_w, need_h);
  WM_CONFIRM* warning = new WM_CONFIRM(data.exit.width, data.exit.height, wizard_text(CHECK_DESKTOP_FAILED_TITLE),
                                       true, on_wizard_button, 9, data.exit.x, data.exit.y, false, 20, nullptr);
  if (warning->message_window) {
    const COLOUR colour = body_style.fg_colour;
    warning->message_window->add_text(wizard_text(CHECK_DESKTOP_FAILED), nullptr, &colour, true, true);
    warning->message_window->text_flags = 0;
  }
  warning->draggable = data.exit.can_drag;
  if (warning->first_button)
    relabel_button(warning->first_button, wizard_text(QUIT_YES), nullptr, data.icons[ICON_YES]);
  if (warning->second_button) {
    relabel_button(warning->second_button, wizard_text(QUIT_NO), nullptr, data.icons[ICON_NO]);
    warning->default_focus = warning->second_button;  // going on, as for the quit question
  }
  warning->fit_to_texts();
  show_overlay(warning);
}
