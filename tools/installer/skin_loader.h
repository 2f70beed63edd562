#pragma once
// The installer's skin: a folder of style-set files in groups, icons and
// dialog_effects.cfg, read into the DATABASE and the toolkit's dialog
// defaults, and the packed skin block that carries the same look without
// the folder (no magic, length or version: reader and writer match field
// for field).
#include <cstdint>

#include "data_device.h"
#include "database.h"
#include "folder.h"

// False, changing nothing, when the skin folder (a variable path text such
// as "$APPDATA/kiv") does not exist. Missing groups, files and icons leave
// their destinations as the style-set and image loaders leave them.
bool load_skin(DATABASE& data, const char* path);

// True when the whole block went through; a failed read keeps what was
// read before the failing record.
bool write_skin(DATABASE& data, DATA_DEVICE* device);
bool read_skin(DATABASE& data, DATA_DEVICE* device);

// The drive, parent-folder, file and folder icons become the folder
// browser's, each re-made at the icon's size.
void copy_browser_icons(const DATABASE& data);

// Reads a block carried, after one order byte, in the data behind the
// executable at program_path; false without such data or when the block
// does not read.
bool load_packed_skin(DATABASE& data, const char* program_path);

// The command-line skin mode: the skin in "$APPDATA/kiv" packed into
// file_name in folder. 0 on success; otherwise a message on the console,
// no file left behind, and 1.
int write_packed_skin_file(DATABASE& data, const FOLDER& folder, const char* file_name);
