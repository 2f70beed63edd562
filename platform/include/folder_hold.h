#pragma once
// A folder held open while files are written into it, reached from the
// root down one component at a time, each opened relative to its parent's
// descriptor without following links, a missing one made on its parent's
// descriptor when asked. Writers given the hold (FILE_REPLACEMENT::begin)
// make and name their files relative to the open folder, so nothing
// swapped on the path meanwhile, before or after the folder was made, can
// lead them elsewhere. A replacement begun with a hold ends (commit or
// abandon) before the hold does.
//
// Another user cannot choose where the files go: a link on the path is
// followed only when it belongs to root or to this process's user and lies
// in a folder no other user may write to (so a root-made /opt -> /data/opt
// is followed), a folder that belongs to another user and lies in a
// folder others may write to (a shared 1777 folder) is refused, and so is
// root's (or this user's) own folder in a folder where others may rename
// what lies in it (writable by others without the sticky bit, or another
// user's): one of its siblings could have been put in its place. A folder
// this process made is known by what it is, not by its name, and stays
// trusted there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "folder.h"

// Why a folder could not be reached, and where the walk stopped.
struct PATH_FAILURE {
  enum class KIND : uint8_t {
    NONE,
    SYSTEM,        // the system refused; error holds its errno
    UNSAFE_LINK,   // a link of another user, or in a folder others may write to
    UNSAFE_OWNER,  // another user's folder in a folder others may write to
    UNSAFE_PARENT,  // a trusted folder in a folder where others may rename it
  };
  KIND kind = KIND::NONE;
  int error = 0;
  // The link's or folder's owner, for the unsafe kinds; UNSAFE_PARENT:
  // the parent's owner when that is another user, else 0.
  uint32_t owner = 0;
  bool open_parent = false;  // UNSAFE_LINK: the link's owner is trusted, its folder is not
  std::string folder;        // the folder (or link) where the walk stopped
  // The reason in words: the system's text, or what makes the path unsafe.
  std::string reason() const;
};

class FOLDER_HOLD {
public:
  // What a reach may make: nothing, only the folder itself (its parent
  // must exist), or every missing folder on the way.
  enum class MAKE : uint8_t { NOTHING, LAST, MISSING };

  FOLDER_HOLD() = default;
  // Holds the existing folder; nothing when it cannot be reached.
  explicit FOLDER_HOLD(const FOLDER& folder);
  ~FOLDER_HOLD();
  FOLDER_HOLD(const FOLDER_HOLD&) = delete;
  FOLDER_HOLD& operator=(const FOLDER_HOLD&) = delete;

  // Lets go of what was held and reaches the folder at the absolute path
  // of folder. from, when it holds a folder that the path lies in, is
  // where the walk begins: only the components below it are walked (and
  // made). False when the folder cannot be reached; failure() says why.
  bool reach(const FOLDER& folder, MAKE make = MAKE::NOTHING, const FOLDER_HOLD* from = nullptr);
  void release();

  // reach, for a folder the program looks for on its own rather than one
  // it was told (a data folder found on the way up from the program, a
  // parent for its temporary folder), which is taken only when no other
  // user can choose what it holds: it and every folder it lies in belong
  // to root or this process's user, and each of them that others may
  // write to has the sticky bit. False with why (when given) naming the
  // folder that fails and the reason; last_failure() is left as it was.
  bool reach_trusted(const FOLDER& folder, std::string* why = nullptr);

  bool holding() const { return descriptor >= 0; }
  // The open folder when this holds the folder at path (its first length
  // bytes, without a trailing '/'); -1 otherwise.
  int descriptor_for(const char* path, size_t length) const;
  // A folder a walk made: where, and what it is (so that a later hold can
  // tell it is still that folder and not one put at its name).
  struct MADE_FOLDER {
    std::string path;
    uint64_t device = 0, inode = 0;
  };
  // The folders the last reach made, outermost first (also when it failed
  // further on).
  const std::vector<MADE_FOLDER>& made() const { return made_folders; }
  // Gives the held folder these permission bits (07777) when it is the
  // folder made; false (errno set) when it is another or they cannot be set.
  bool set_made_folder_mode(const MADE_FOLDER& folder, uint32_t mode) const;
  // Whether a regular file has the name in the held folder, the name not
  // followed (a link, a folder or anything else is no file); its
  // modification time in calendar seconds.
  bool regular_file_time(const char* name, uint32_t& modified) const;
  // The held folder's descriptor (O_PATH: a way in, not readable), or -1.
  int held_descriptor() const { return descriptor; }
  // The path that the last successful reach was asked for ("" when none),
  // without a trailing '/' ("/" for the root).
  const char* held_path() const { return path; }
  const PATH_FAILURE& failure() const { return failed; }

  // The failure of the last reach in this process that failed, also of a
  // hold that is gone (folders made through FOLDER take holds of their own).
  static const PATH_FAILURE& last_failure();
  static void clear_last_failure();

private:
  bool fail(PATH_FAILURE::KIND kind, int error, const std::string& folder, uint32_t owner = 0,
            bool open_parent = false);

  int descriptor = -1;
  size_t length = 0;
  char path[FOLDER_PATH_SIZE] = {};  // without a trailing '/', but "/"
  // Owner and mode of the held folder, for walks that begin here.
  uint32_t held_owner = 0;
  uint32_t held_mode = 0;
  PATH_FAILURE failed;
  std::vector<MADE_FOLDER> made_folders;
};
