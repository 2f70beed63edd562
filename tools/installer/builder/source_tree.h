#pragma once
// What the builder finds in a folder of files to install: every regular
// file and every folder that holds nothing, hidden names included, each by
// its path below the folder. The installer's data has no records for
// symbolic links, so a link is never followed on its own: it is refused,
// or, when the preparer asks for it, one that stays inside the folder is
// stored as a copy of what it points to.
#include <cstdint>
#include <string>
#include <vector>

enum class LINK_RULE : uint8_t { REFUSE, COPY_INSIDE };

struct SOURCE_ITEM {
  std::string relative;  // below the walked folder, names joined by '/'
  std::string folder;    // absolute folder of the bytes (a copied link's target's)
  std::string name;      // the bytes' name in folder; empty: a folder that holds nothing
  uint16_t mode = 0;     // the bytes' (or the folder's) permission bits
};

// What the links stored as copies added: a linked folder brings all it holds.
struct LINK_COPIES {
  uint32_t links = 0;  // symbolic links followed
  uint32_t files = 0;  // files stored through them
  uint64_t bytes = 0;  // those files' bytes
};

// The items in name order. Every entry that cannot be packed (a link
// under the rule, another kind of entry, an unreadable folder) adds one
// line naming it to problems; the walk goes on, so all are told at once.
// folders, when given, gets every folder below root (empty ones too, a
// linked one stored as a copy with its target's bits), name empty.
// It stops once it has found most items: a tree too large for the
// installer is known without walking all of it.
std::vector<SOURCE_ITEM> walk_source_tree(const std::string& root, LINK_RULE rule,
                                          std::vector<std::string>& problems,
                                          LINK_COPIES* copies = nullptr,
                                          std::vector<SOURCE_ITEM>* folders = nullptr,
                                          size_t most = SIZE_MAX);

// The files and folders that others than their owner may write to (a
// group or world write bit), which an install as root keeps, each named
// with its bits ("doc (0777)"), in name order.
std::vector<std::string> writable_by_others(const std::vector<SOURCE_ITEM>& items,
                                            const std::vector<SOURCE_ITEM>& folders);
