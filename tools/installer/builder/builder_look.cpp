#include "builder_look.h"

#include <algorithm>
#include <set>
#include <vector>

#include "font.h"
#include "install_dialog.h"
#include "skin_loader.h"
#include "wm_dialog.h"
#include "wm_manager.h"

namespace {

// One style of the wizard: text and face, and the pair for what is marked
// (a filled bar, a chosen item). 0 leaves a colour unset: the face under it
// shows.
struct BUILDER_STYLE {
  WM_STYLE_SET DATABASE::*style;
  COLOUR fg, bg, highlight, highlight_text;
  uint32_t drawing_flags;
  uint16_t shading_flags = 255;  // edges and rounded corners; 15: square corners
};

constexpr COLOUR kInk = 0xFF101010;
constexpr COLOUR kPaper = 0xFFFFFFFF;
constexpr COLOUR kPanel = 0xFFE8E8E8;
constexpr COLOUR kMark = 0xFF1F6FD0;  // filled bars, chosen items
constexpr uint32_t kSunken = SSF_DRAW_BORDER | SSF_INDENT_BORDER;
constexpr uint16_t kSquare = 15;

constexpr BUILDER_STYLE kBuilderStyles[] = {
    {&DATABASE::options_style, kInk, kPanel, kMark, kPaper, SSF_DRAW_BORDER, kSquare},
    {&DATABASE::text_win_title_style, kInk, 0, 0, 0, 0},
    // Text pages read from their top left corner.
    {&DATABASE::text_win_text_style, kInk, kPaper, kMark, kPaper,
     kSunken | SSF_LEFT_JUSTIFY_TEXT | SSF_TOP_ALIGN_TEXT, kSquare},
    {&DATABASE::text_style, kInk, 0, 0, 0, SSF_LEFT_JUSTIFY_TEXT},
    {&DATABASE::check_box_style, kInk, kPaper, kMark, kPaper, SSF_DRAW_BORDER},
    // The percentage goes over the fill and the empty part alike: dark text
    // between a light track and a middle blue reads on both.
    {&DATABASE::progress_bar_style, kInk, 0xFFF0F0F0, 0xFF3C9BE0, kInk, SSF_DRAW_BORDER},
    {&DATABASE::progress_bar_script_style, kInk, 0, 0, 0, 0},
    {&DATABASE::scrollbar_style, kInk, 0xFFC8C8C8, kMark, kPaper, SSF_DRAW_BORDER},
    {&DATABASE::menu_button_style, kInk, kPaper, kMark, kPaper, SSF_DRAW_BORDER},
    {&DATABASE::menu_dropdown_style, kInk, kPaper, kMark, kPaper, SSF_DRAW_BORDER},
    {&DATABASE::menu_item_style, kInk, kPaper, kMark, kPaper, SSF_LEFT_JUSTIFY_TEXT},
    {&DATABASE::menu_alt_item_style, kInk, 0xFFF0F0F0, kMark, kPaper, SSF_LEFT_JUSTIFY_TEXT},
};

}  // namespace

void set_builder_look(DATABASE& data) {
  // The quit question in proportion to the wizard, room for a sentence or
  // two and its buttons; the stored default is a 200 by 150 box.
  data.exit.width = static_cast<int16_t>(std::max(data.dialog.width * 3 / 4, 200));
  data.exit.height = static_cast<int16_t>(std::max(data.dialog.height / 2, 150));
  for (const BUILDER_STYLE& each : kBuilderStyles) {
    WM_STYLE_SET& style = data.*each.style;
    style.fg_colour = each.fg;
    style.bg_colour = each.bg;
    style.highlight_colour = each.highlight;
    style.highlight_text_colour = each.highlight_text;
    style.active_colour = each.highlight;
    style.active_text_colour = each.highlight_text;
    style.drawing_flags = each.drawing_flags;
    style.shading_flags = each.shading_flags;
  }
}

bool load_builder_skin(DATABASE& data, const std::string& folder) {
  // The skin loader takes a folder in its "$" form, never a bare path.
  FOLDER skin;
  char stored[FOLDER_PATH_SIZE];
  if (!skin.set_absolute(folder.c_str()) || !skin.get_path_text(stored, sizeof stored, nullptr) ||
      !load_skin(data, stored))
    return false;
  if (data.background_image.load(skin, "background")) data.background.speed = 0;
  return true;
}

void warn_about_cut_button_texts(const DATABASE& data, const std::function<int(size_t, int)>& line_of,
                                 FILE* out) {
  // The rows the wizard's pages show: Quit or About, Previous or Disagree,
  // and Forward or the word of its page.
  static constexpr LANGUAGE_KEY kRows[][3] = {{QUIT, PREVIOUS, FORWARD},
                                              {ABOUT, PREVIOUS, FINISH},
                                              {QUIT, DISAGREE, AGREE},
                                              {QUIT, PREVIOUS, INSTALL},
                                              {QUIT, PREVIOUS, FINISH}};
  if (!FONT::is_initialised()) FONT::init();
  // The wizard's dialog in this look: its client area holds the row.
  WM_DIALOG dialog(0, 0, data.dialog.width, data.dialog.height, "", nullptr, nullptr, nullptr, nullptr);
  IMAGE* surface = WM_SCREEN_OBJECT::drawing_surface();
  for (const DATABASE_LANGUAGE& texts : data.languages) {
    const auto language = static_cast<size_t>(&texts - data.languages.data());
    std::set<int> told;
    for (const auto& row : kRows) {
      std::vector<int32_t> wanted;
      for (const LANGUAGE_KEY key : row)
        wanted.push_back(dialog.button_style.get_padded_text_width(surface, texts.texts[key]));
      const std::vector<int32_t> widths = share_button_row(wanted, dialog.get_client()->width, data.dialog.button_gap);
      for (size_t i = 0; i < widths.size(); ++i) {
        // An empty text has nothing to cut, however narrow its button.
        const bool empty = texts.texts[row[i]][0] == '\0';
        if (widths[i] >= wanted[i] || empty || !told.insert(row[i]).second) continue;
        fprintf(out,
                "make_installer: line %d: %s: warning: the text does not fit its button (it needs %d pixels, the "
                "button row of a %d pixel wide dialog leaves it %d): the installer shows it cut, ending in "
                "an ellipsis\n",
                line_of(language, row[i]), LANGUAGE_KEY_NAMES[row[i]], wanted[i], data.dialog.width, widths[i]);
      }
    }
  }
}
