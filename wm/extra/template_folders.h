#pragma once
// Filling the template store from a skin's folders: every ".cfg" key below
// a folder becomes a named colour, image or constant of the registered
// store, every ".ss" file one style set. Sub-folders are scanned in turn
// (symbolic links to folders are not followed); fonts are scanned by the
// store itself and must come first, so that style sets find them by name.
#include <cstdint>

class FOLDER;
class WM_PTM_APP_INFO;
struct FOLDER_LIST_ENTRY;

// The folder whose files are being read; each scan sets it and puts the
// previous one back when it ends. Null outside a scan.
extern const FOLDER* template_scan_folder;
// Set while no font scan runs: the outermost scan sorts and loads the fonts.
extern uint8_t template_font_scan_top;
// Whether style sets are written back into the file they were read from
// (their keys in the store's form, font names for font numbers).
extern uint8_t template_style_set_rewrite;

// Each sets the registered store's `loaded`; `user` only reaches the key
// callbacks, which do not use it.
void scan_colours(intptr_t user, const FOLDER& folder);
void scan_images(intptr_t user, const FOLDER& folder);
void scan_constants(intptr_t user, const FOLDER& folder);
void scan_style_sets(WM_PTM_APP_INFO* store, const FOLDER& folder, uint8_t rewrite);

// One listing entry each: a sub-folder is scanned, a file read.
void scan_colour_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user);
void scan_image_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user);
void scan_constant_entry(const FOLDER_LIST_ENTRY& entry, intptr_t user);
void scan_style_set_entry(const FOLDER_LIST_ENTRY& entry, WM_PTM_APP_INFO* store);

// ".cfg" key callbacks: one record of the registered store per key, named
// by the key (nothing without a store).
void add_colour_from_config(const char* key, const char* value, intptr_t user);
void add_image_from_config(const char* key, const char* value, intptr_t user);
void add_constant_from_config(const char* key, const char* value, intptr_t user);
