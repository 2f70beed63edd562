#pragma once
// The permission bits each installed file takes from its source. The file
// records of database.bin have no room for them, so they travel beside it
// in installer.pkg, in an entry whose name no installed file can have (it
// begins with '/'): an order byte, a u32 count, then for each packed name
// (a string) its bits (u16, 0777 at most). A name that ends in '/' is a
// folder's path below the install folder (an empty folder's record has
// that packed name). An installer whose package has no such entry makes
// its files 0755, and folders without bits there are made as the umask
// says.
#include <cstdint>

class DATABASE;
class PACKAGE;

constexpr char FILE_MODES_NAME[] = "/file_modes";

// Stores the bits of every record that has them and of every folder of
// data.folder_modes, each name once.
bool write_file_modes(PACKAGE& package, const DATABASE& data);
// Gives every record of every installation the bits its packed name has
// in the entry, and data.folder_modes the folders' bits. True when the
// package has no entry or all of it was read; false (and no record
// changed) when the entry is damaged.
bool read_file_modes(PACKAGE& package, DATABASE& data);
