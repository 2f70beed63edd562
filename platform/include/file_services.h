#pragma once
// The Linux side of files and folders: path joins, opening, copying,
// renaming and removing files, folder listings with filters, drives from
// /proc/mounts, the standard folders, the program's own path and the data
// carried behind its executable image.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "folder.h"
#include "string_utils.h"  // stricmp, strnicmp

struct FILE_INFO {
  uint8_t is_directory;
  uint8_t hidden;      // the name begins with "."
  uint16_t owner_rwx;  // mode & 0700
  uint32_t size;       // bytes, modulo 2^32
  uint32_t modified;   // calendar seconds
};

// One entry handed out by list_folder_filtered.
struct FOLDER_LIST_ENTRY {
  char name[256];
  FOLDER folder;
  FILE_INFO info;
  uint64_t whole_size;  // the size before it is cut to 32 bits
};

struct FOLDER_LIST;  // a folder listing in progress

bool file_exists(const FOLDER& folder, const char* name, bool assume = false);
// In-process copy through a temporary name in the target folder, keeping
// the source's permission bits; the target is replaced only when complete.
bool copy_file(const FOLDER& source, const char* source_name, const FOLDER& target,
               const char* target_name);
const char* get_home_folder();
bool get_file_info(const FOLDER& folder, const char* name, FILE_INFO* info);
bool is_directory(const char* path);
// Joined path in a static buffer; null when it does not fit.
const char* make_path(const FOLDER& folder, const char* name);
// Joins folder and name with one "/" into output; false when it does not fit.
bool join_path(char* output, size_t output_size, const char* folder, const char* name);
bool get_program_path(FOLDER* folder, char* name, size_t name_size);
// Never through a symbolic link: a link at the name fails.
bool chmod_file(const FOLDER& folder, const char* name, uint32_t mode);
// Replaces the process with the program (returns only on failure).
bool run_program(const FOLDER& folder, const char* name);
// Writing never follows a symbolic link at the name. "w" modes write a
// fresh file beside the target (FILE_REPLACEMENT) that close_file renames
// over it, keeping the old file's permission bits; a device at the name is
// written in place, a pipe or socket replaced (never opened). "a" modes append, "r+" modes update, both
// refusing a link; "r+b"/"r+" create the file only when it does not
// exist. Reading ("r", "rb") may follow links. "r" modes take only a
// regular file (checked on the descriptor, opened without blocking, so
// that a FIFO is refused at once): EISDIR for a folder, EINVAL otherwise.
FILE* open_file(const FOLDER& folder, const char* name, const char* mode);
// Every stream from open_file ends here (or in discard_file): a "w" file
// takes the target's place only when all of it was written.
bool close_file(FILE* file);
// Closes the stream; a "w" file is dropped and the target stays as it was.
void discard_file(FILE* file);
bool rename_file(const FOLDER& folder, const char* name, const FOLDER& target,
                 const char* target_name = nullptr);
bool remove_file(const FOLDER& folder, const char* name);
// A symbolic link in place of the folder is unlinked, never descended into.
bool remove_folder(const FOLDER& folder, const char* name, bool empty_first);
// Removes everything inside the directory at path (hidden entries too),
// unlinking symbolic links instead of following them; the directory itself
// stays. False when path is not a real directory or anything stayed behind.
bool remove_folder_contents(const char* path);
// With create, a missing folder is made on its parent's descriptor, which
// is reached without following another user's links (FOLDER_HOLD); the
// parent must exist.
bool make_folder(FOLDER* folder, const char* name, bool create);
bool set_folder_if_directory(FOLDER* folder, const char* path);
bool folder_up(FOLDER* folder);
bool same_path(const FOLDER& a, const FOLDER& b);
const char* get_folder_name(const FOLDER& folder);

// Match modes: 0 ends with, 2 begins with, 4 contains, 6 equals; +1 ignores
// case. "." and ".." are never listed.
FOLDER_LIST* list_folder(const FOLDER& folder, const char* pattern, bool show_hidden,
                         uint32_t match_mode, bool filter_folders);
bool list_folder_filtered(FOLDER_LIST* list, FOLDER_LIST_ENTRY* entry);
// size_to_text of the entry's whole 64-bit size.
const char* size_to_text(const FOLDER_LIST_ENTRY& entry);
void free_folder_list(FOLDER_LIST* list);

// ---- What portable folder and data-file code asks of the file system.
// Whether a real directory stands at path; a link to one does not count.
bool is_real_directory(const char* path);
// Whether anything stands at path, a link counted as itself (never
// followed); UNKNOWN when the question cannot be answered.
enum class PATH_ENTRY { ABSENT, PRESENT, UNKNOWN };
PATH_ENTRY path_entry(const char* path);
// Whether the stream can only be written (open_file creates a missing file
// that was asked for update that way).
bool is_write_only(FILE* stream);

// Drive 0 is the home folder, 1 the root, 2 and up known mounts. Types:
// 0 disk, 1 cdrom, 2 floppy, 3 network, 4 linux, 5 unix, 6 mac, 7 os2,
// 8 dos, 9 windows.
int get_drive_count();
bool get_drive_path(FOLDER* folder, int drive);
const char* get_drive_name(int drive);
int get_drive_of_folder(const FOLDER& folder);
int get_drive_type(int drive);

// Types: 0 program folder, 1 user application, 2 user data, 3 user
// settings, 4 system application, 5 system data, 6 system settings,
// 7 this run's private temporary folder. 5 and 6 are made open to every
// user with the sticky bit (1777), so that no one replaces another's
// files there. 7 is made under ~/tmp when that exists, else under
// $TMPDIR when it is set, else under /tmp, and held open from its making;
// a folder it cannot be made in, or one another user could swap it out
// of (FOLDER_HOLD::reach_trusted), is passed over for the next.
bool get_standard_folder(FOLDER* folder, int type, const char* application_name, bool create);
// The absolute path of a standard folder of types 1 to 6, whether it exists
// yet or not: where get_standard_folder would make it.
bool standard_folder_path(char* path, size_t size, int type, const char* application_name);

// This run's temporary folder, "" until one was made; removed (never
// following links) at shutdown, at exit(), by the fatal exit and by a close
// signal that ends the program early. The removal is async-signal-safe.
const char* get_temporary_folder_path();
// The folders the last attempt to make it passed over, a line each:
// "<folder>: <the reason>", $TMPDIR's marked " (TMPDIR)"; "" when
// the first one it tried served.
const char* get_temporary_folder_failures();
void remove_temporary_folder();
// Called by the standard-folder query when it has made the folder.
void record_temporary_folder(const char* path);
// The same for a folder held open since it was made: folder_fd (readable)
// becomes this run's, with parent_fd (the folder it was made in) and its
// name there. Files named in it are then made, opened and removed
// through folder_fd, and the removal empties it through folder_fd and
// takes its name away only while that still names the same folder.
void record_held_temporary_folder(const char* path, int folder_fd, int parent_fd, const char* leaf);
// The held temporary folder's descriptor when path's first length bytes
// name it; -1 otherwise (also for a folder recorded by its path alone).
int temporary_folder_descriptor_for(const char* path, size_t length);


// Whether the program file carries data behind its executable image, and
// the file offset where that data begins (the end of the ELF section
// header table).
struct PAYLOAD_INFO {
  bool present;
  uint32_t offset;
};
PAYLOAD_INFO payload_offset();             // of this program's own file
PAYLOAD_INFO payload_offset_of(const char* path);  // of any 64-bit ELF file

// Test seams. The home folder otherwise comes from the password database;
// the system root is put in front of every fixed system path the platform
// writes under (/opt, /tmp, /usr/lib/menu). Null restores the real ones.
void set_home_folder_override(const char* path);
void set_system_root_override(const char* path);
// The fixed path under the root override, in one of a few rotating static
// buffers; null when it does not fit.
const char* system_path(const char* fixed_path);
// Drives are read from this file instead of /proc/mounts; null restores it.
void set_mounts_file_override(const char* path);
// Called with the path of every folder a FOLDER_HOLD walk has just made
// (before the walk opens it) and of every file a FILE_REPLACEMENT has just
// put at its name (before its writer goes on), so that a test can swap
// something in at that very moment; null removes it.
enum class FILE_STEP : uint8_t { FOLDER_MADE, FILE_NAMED };
void set_file_step_hook(void (*hook)(FILE_STEP step, const char* path));
void note_file_step(FILE_STEP step, const char* path);

// ---- Narrow services for the archive and the configuration files ---------

// What a name in a folder is (links followed). UNKNOWN: it cannot be told
// (the name does not fit, or the look-up failed for another reason than
// the name being absent).
enum class FILE_KIND : uint8_t { MISSING, REGULAR, DIRECTORY, OTHER, UNKNOWN };
FILE_KIND get_file_kind(const FOLDER& folder, const char* name);

// What stands at a name (links followed) that reading refuses because it
// is not a regular file, in words: "a folder", "a FIFO", "a socket", "a
// character device" or "a block device"; null for a regular file, for
// nothing there and when it cannot be told.
const char* non_regular_kind(const FOLDER& folder, const char* name);

// Makes a new empty file that did not exist before (exclusive create) with
// the given permission bits less the umask.
enum class NEW_FILE : uint8_t { CREATED, EXISTS, FAILED };
NEW_FILE create_new_file(const FOLDER& folder, const char* name, uint32_t permissions);
