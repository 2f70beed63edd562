#include "source_tree.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "file_services.h"
#include "folder_entries.h"

namespace {

bool inside(const std::string& path, const std::string& folder) {
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

struct WALK {
  LINK_RULE rule;
  std::string real_root;
  // Real paths of the folders being walked, outermost first: a link back to
  // one of them would be copied into itself without end.
  std::vector<std::string> open_folders;
  std::vector<SOURCE_ITEM> items, folders;
  std::vector<std::string>& problems;
  LINK_COPIES copies;
  uint32_t links_open;  // links the walk has gone through to where it is
  size_t most;          // items enough to stop at

  void walk(const std::string& path, const std::string& relative, uint16_t mode);
  void follow_link(const std::string& path, const std::string& relative, const DISK_ENTRY& link);
  void add_file(const std::string& relative, const std::string& folder, const DISK_ENTRY& entry,
                const std::string& name);
};

std::string joined(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

void WALK::walk(const std::string& path, const std::string& relative, uint16_t mode) {
  FOLDER folder;
  std::vector<DISK_ENTRY> entries;
  if (!folder.set_absolute(path.c_str()) || !list_folder_entries(folder, entries)) {
    problems.push_back("cannot read the folder " + (relative.empty() ? path : relative));
    return;
  }
  if (!relative.empty()) folders.push_back({relative, path, "", mode});
  if (entries.empty() && !relative.empty()) {
    items.push_back({relative, path, "", mode});
    return;
  }
  open_folders.push_back(path);
  for (const DISK_ENTRY& entry : entries) {
    if (items.size() >= most) break;
    const std::string below = relative.empty() ? entry.name : relative + "/" + entry.name;
    switch (entry.kind) {
      case ENTRY_KIND::REGULAR: add_file(below, path, entry, entry.name); break;
      case ENTRY_KIND::DIRECTORY: walk(joined(path, entry.name), below, entry.mode); break;
      case ENTRY_KIND::LINK: follow_link(joined(path, entry.name), below, entry); break;
      case ENTRY_KIND::OTHER:
        problems.push_back(below + " is neither a file nor a folder (a device, pipe or socket)");
        break;
    }
  }
  open_folders.pop_back();
}

void WALK::add_file(const std::string& relative, const std::string& folder, const DISK_ENTRY& entry,
                    const std::string& name) {
  items.push_back({relative, folder, name, entry.mode});
  if (links_open == 0) return;
  ++copies.files;
  copies.bytes += entry.size;
}

void WALK::follow_link(const std::string& path, const std::string& relative, const DISK_ENTRY& link) {
  if (rule == LINK_RULE::REFUSE) {
    problems.push_back(relative +
                       " is a symbolic link; the installer stores no links (\"links = copy\" stores "
                       "a link that stays inside the folder as a copy of what it points to)");
    return;
  }
  std::string target;
  if (!resolve_path(path, target)) {
    problems.push_back(relative + " is a symbolic link that leads nowhere or loops");
    return;
  }
  if (!inside(target, real_root)) {
    problems.push_back(relative + " is a symbolic link to " + target + ", outside the folder");
    return;
  }
  if (is_real_directory(target.c_str())) {
    for (const std::string& open : open_folders)
      if (inside(open, target)) {
        problems.push_back(relative + " is a symbolic link to a folder that holds it (a loop)");
        return;
      }
    ++copies.links;
    ++links_open;
    walk(target, relative, link.mode);
    --links_open;
    return;
  }
  const size_t slash = target.rfind('/');
  FOLDER holder;
  if (!holder.set_absolute(slash == 0 ? "/" : target.substr(0, slash).c_str()) ||
      get_file_kind(holder, target.c_str() + slash + 1) != FILE_KIND::REGULAR) {
    problems.push_back(relative + " is a symbolic link to neither a file nor a folder");
    return;
  }
  ++copies.links;
  ++links_open;
  add_file(relative, holder.path, link, target.substr(slash + 1));
  --links_open;
}

}  // namespace

std::vector<SOURCE_ITEM> walk_source_tree(const std::string& root, LINK_RULE rule,
                                          std::vector<std::string>& problems, LINK_COPIES* copies,
                                          std::vector<SOURCE_ITEM>* folders, size_t most) {
  WALK walk{rule, "", {}, {}, {}, problems, {}, 0, most};
  if (!resolve_path(root, walk.real_root)) {
    problems.push_back("no folder " + root);
    return {};
  }
  walk.walk(walk.real_root, "", 0);
  if (copies) *copies = walk.copies;
  if (folders) *folders = std::move(walk.folders);
  return std::move(walk.items);
}

std::vector<std::string> writable_by_others(const std::vector<SOURCE_ITEM>& items,
                                            const std::vector<SOURCE_ITEM>& folders) {
  std::vector<std::pair<std::string, uint16_t>> found;
  for (const std::vector<SOURCE_ITEM>* list : {&items, &folders})
    for (const SOURCE_ITEM& item : *list)
      // An empty folder is among the folders too.
      if ((item.mode & (S_IWGRP | S_IWOTH)) && (list == &folders || !item.name.empty()))
        found.emplace_back(item.relative, item.mode);
  std::sort(found.begin(), found.end());
  std::vector<std::string> named;
  for (const auto& [relative, mode] : found) {
    char bits[16];
    snprintf(bits, sizeof bits, " (%04o)", static_cast<unsigned>(mode & 07777));
    named.push_back(relative + bits);
  }
  return named;
}
