#include "template_folders.h"

#include <cstring>

#include "colour.h"
#include "config_file.h"
#include "file_services.h"
#include "folder.h"
#include "wm_ptm_app_info.h"

const FOLDER* template_scan_folder = nullptr;
uint8_t template_font_scan_top = 1;
uint8_t template_style_set_rewrite = 0;

namespace {

// Keeps the scan folder for the scan's lifetime and gives the outer one back.
class SCAN_BASE {
public:
  explicit SCAN_BASE(const FOLDER& folder) : saved(template_scan_folder) {
    template_scan_folder = &folder;
  }
  ~SCAN_BASE() { template_scan_folder = saved; }
  SCAN_BASE(const SCAN_BASE&) = delete;
  SCAN_BASE& operator=(const SCAN_BASE&) = delete;

private:
  const FOLDER* saved;
};

// Each entry of the folder whose name ends with the pattern, sub-folders
// included, in alphabetical order.
template <typename EACH>
void for_each_listed(const FOLDER& folder, const char* pattern, EACH each) {
  FOLDER_LIST* list = list_folder(folder, pattern, false, 0, false);
  if (!list) return;
  FOLDER_LIST_ENTRY entry;
  while (list_folder_filtered(list, &entry)) each(entry);
  free_folder_list(list);
}

// The listed sub-folder, entered without creating it. A symbolic link is
// not followed: a link back up the tree would make the scan endless.
bool enter_sub_folder(const FOLDER_LIST_ENTRY& entry, FOLDER* sub) {
  *sub = entry.folder;
  return make_folder(sub, entry.name, false) && is_real_directory(sub->path);
}

// The scan folder as a $-variable path text, else its absolute path.
void scan_folder_text(char* out, size_t size) {
  if (!template_scan_folder) return;
  if (template_scan_folder->get_path_text(out, size, nullptr)) return;
  snprintf(out, size, "%s", template_scan_folder->path);
}

using ENTRY_SCAN = void (*)(const FOLDER_LIST_ENTRY& entry, intptr_t user);

void scan_config_files(const FOLDER& folder, ENTRY_SCAN each, intptr_t user) {
  SCAN_BASE base(folder);
  for_each_listed(folder, ".cfg", [&](const FOLDER_LIST_ENTRY& entry) { each(entry, user); });
  if (WM_PTM_APP_INFO* store = WM_PTM_APP_INFO::registered()) store->loaded = 1;
}

void scan_config_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user, ENTRY_SCAN self,
                       CONFIG_CALLBACK callback) {
  if (entry.info.is_directory) {
    FOLDER sub;
    if (enter_sub_folder(entry, &sub)) scan_config_files(sub, self, user);
    return;
  }
  CONFIG_FILE config;
  config.init(entry.name, true);
  WM_PTM_APP_INFO::progress();
  config.for_each_entry(entry.folder, callback, user);
}

uint8_t font_for_name(const char* name, intptr_t store) {
  const uint32_t id = reinterpret_cast<WM_PTM_APP_INFO*>(store)->font_id_for_name(name);
  return id < 255 ? static_cast<uint8_t>(id) : 255;
}

// The name a rewritten style set gives its font: the one reading it back
// looks up, so that the file keeps its meaning.
const char* font_name_for_id(uint8_t id, intptr_t store) {
  if (id == 255) return nullptr;
  for (const auto& font : reinterpret_cast<WM_PTM_APP_INFO*>(store)->fonts)
    if (font->font_id == id) return font->name;
  return nullptr;
}

}  // namespace

void add_colour_from_config(const char* key, const char* value, intptr_t) {
  WM_PTM_APP_INFO* store = WM_PTM_APP_INFO::registered();
  WM_PTM_COLOUR_INFO* colour = store ? store->add_colour() : nullptr;
  if (!colour) return;
  colour->set_name(key);
  colour_from_string(&colour->colour, value);
}

void add_image_from_config(const char* key, const char* value, intptr_t) {
  WM_PTM_APP_INFO* store = WM_PTM_APP_INFO::registered();
  WM_PTM_IMAGE_INFO* image = store ? store->add_image() : nullptr;
  if (!image) return;
  image->set_name(key);
  scan_folder_text(image->folder, sizeof image->folder);
  image->set_file_name(value);
  image->load_image();
}

void add_constant_from_config(const char* key, const char* value, intptr_t) {
  WM_PTM_APP_INFO* store = WM_PTM_APP_INFO::registered();
  WM_PTM_CONSTANT_INFO* constant = store ? store->add_constant() : nullptr;
  if (!constant) return;
  constant->set_name(key);
  constant->value.set_from_string(PARAMETER::VALUE, value);
}

void scan_colour_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user) {
  scan_config_entry(entry, user, scan_colour_entry, add_colour_from_config);
}
void scan_image_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user) {
  scan_config_entry(entry, user, scan_image_entry, add_image_from_config);
}
void scan_constant_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user) {
  scan_config_entry(entry, user, scan_constant_entry, add_constant_from_config);
}

void scan_colours(intptr_t user, const FOLDER& folder) {
  scan_config_files(folder, scan_colour_entry, user);
}
void scan_images(intptr_t user, const FOLDER& folder) {
  scan_config_files(folder, scan_image_entry, user);
}
void scan_constants(intptr_t user, const FOLDER& folder) {
  scan_config_files(folder, scan_constant_entry, user);
}

void scan_style_sets(WM_PTM_APP_INFO* store, const FOLDER& folder, uint8_t rewrite) {
  if (!store) return;
  template_style_set_rewrite = rewrite;
  SCAN_BASE base(folder);
  for_each_listed(folder, ".ss",
                  [&](const FOLDER_LIST_ENTRY& entry) { scan_style_set_entry(entry, store); });
  store->loaded = 1;
}

void scan_style_set_entry(const FOLDER_LIST_ENTRY& entry, WM_PTM_APP_INFO* store) {
  if (entry.info.is_directory) {
    FOLDER sub;
    if (enter_sub_folder(entry, &sub)) scan_style_sets(store, sub, template_style_set_rewrite);
    return;
  }
  WM_PTM_APP_INFO::progress();
  WM_STYLE_SET* style = store->add_style_set();
  if (!style) return;
  CONFIG_FILE config;
  static_cast<FOLDER&>(config) = entry.folder;
  config.init(entry.name, true);
  const intptr_t context = reinterpret_cast<intptr_t>(store);
  if (!style->read_config(config, font_for_name, context, &entry.folder)) {
    // A file that does not describe a whole style is skipped, not kept
    // half-read under a made-up name.
    store->remove_style_set(static_cast<int32_t>(store->style_sets.size()) - 1);
    return;
  }
  // The rewrite goes into the file that was read, through the
  // configuration file's own replace-when-complete writing.
  if (template_style_set_rewrite)
    style->write_config(config, font_name_for_id, context, &entry.folder);
}

void WM_PTM_APP_INFO::scan_fonts(const FOLDER& folder) {
  const uint8_t outermost = template_font_scan_top;
  template_font_scan_top = 0;
  SCAN_BASE base(folder);
  for_each_listed(folder, ".ttf", [this](const FOLDER_LIST_ENTRY& entry) { scan_font_entry(entry); });
  // The ".ttf" pass has entered the sub-folders and scanned both kinds.
  for_each_listed(folder, ".otf", [this](const FOLDER_LIST_ENTRY& entry) {
    if (!entry.info.is_directory) scan_font_entry(entry);
  });
  template_font_scan_top = outermost;
  if (outermost) {
    sort_fonts();
    for (const auto& font : fonts) font->load_font();
    loaded = 1;
  }
}

void WM_PTM_APP_INFO::scan_font_entry(const FOLDER_LIST_ENTRY& entry) {
  if (entry.info.is_directory) {
    FOLDER sub;
    if (enter_sub_folder(entry, &sub)) scan_fonts(sub);
    return;
  }
  WM_PTM_APP_INFO::progress();
  WM_PTM_FONT_INFO* font = add_font();
  if (!font) return;
  font->set_file_name(entry.name);
  const size_t length = strlen(entry.name);
  char name[sizeof entry.name];
  snprintf(name, sizeof name, "%.*s", static_cast<int>(length > 4 ? length - 4 : 0), entry.name);
  font->set_name(name);
  scan_folder_text(font->folder, sizeof font->folder);
}
