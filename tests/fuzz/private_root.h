#pragma once
// A fuzz target's private folder under /tmp, made once with the asked-for
// sub-folders and removed (with the temporary folder) at exit. It stands
// in for the home folder and the system root, so that no path variable in
// a fuzzed input reaches the real ones; message boxes answer at once.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "errors.h"
#include "file_services.h"

namespace fuzz_support {

inline std::string& private_root() {
  static std::string root;
  return root;
}

inline void remove_private_root() {
  remove_temporary_folder();
  if (!private_root().empty()) {
    remove_folder_contents(private_root().c_str());
    rmdir(private_root().c_str());
  }
}

inline int silent_box(const char*, const char*) { return 2; }

// "/home" and then each of subs (paths below the root, in order) are made;
// false when any of it fails.
inline bool make_private_root(const char* target, std::initializer_list<const char*> subs = {}) {
  std::string made = std::string("/tmp/vorn_") + target + "_fuzz_XXXXXX";
  if (!mkdtemp(made.data())) return false;
  private_root() = made;
  atexit(remove_private_root);
  if (mkdir((made + "/home").c_str(), 0700) != 0) return false;
  for (const char* sub : subs)
    if (mkdir((made + sub).c_str(), 0700) != 0) return false;
  set_home_folder_override((made + "/home").c_str());
  set_system_root_override((made + "/home").c_str());
  set_message_box_handler(silent_box);
  return true;
}

}  // namespace fuzz_support
