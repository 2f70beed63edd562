#include "patch_builder.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "errors.h"
#include "file_services.h"
#include "folder_hold.h"
#include "install_log.h"
#include "package.h"
#include "package_data_file.h"
#include "patch_xml.h"
#include "replace_file.h"
#include "string_utils.h"
#include "text_convert.h"

namespace {

void say(const std::string& text) { console_print(text.c_str()); }

bool same_text(const char* a, const char* b) { return strcmp(a ? a : "", b ? b : "") == 0; }

// The first field of an installation type that a patch cannot change, or
// null when none differs.
const char* changed_installation_field(const DATABASE_INSTALLATION& a,
                                       const DATABASE_INSTALLATION& b) {
  if (!same_text(a.name, b.name)) return "name";
  if (!same_text(a.default_path, b.default_path)) return "default_path";
  if (a.allow_system_paths != b.allow_system_paths) return "allow_system_paths";
  if (!same_text(a.uninstaller_name, b.uninstaller_name)) return "uninstaller_name";
  if (!same_text(a.uninstaller_filename, b.uninstaller_filename)) return "uninstaller_filename";
  if (!same_text(a.uninstaller_path, b.uninstaller_path)) return "uninstaller_path";
  if (!same_text(a.uninstaller_syspath, b.uninstaller_syspath)) return "uninstaller_syspath";
  return nullptr;
}

// Whether two records describe the same installed file; where it is
// stored in the package does not count.
bool same_description(const DATABASE_FILE& a, const DATABASE_FILE& b) {
  return same_text(a.src_name, b.src_name) &&
         same_text(a.src_path_from_xml, b.src_path_from_xml) &&
         same_text(a.dest_path_from_inst_loc, b.dest_path_from_inst_loc) &&
         same_text(a.platform.get_text(), b.platform.get_text()) &&
         same_text(a.dest_name, b.dest_name) &&
         same_text(a.system_dest_path_from_inst_loc, b.system_dest_path_from_inst_loc) &&
         a.stamp == b.stamp && a.switch_user == b.switch_user && a.overwrite == b.overwrite;
}

bool same_contents(DATA_FILE& a, DATA_FILE& b) {
  char left[1024], right[1024];
  for (;;) {
    const int32_t got_left = a.read(left, sizeof left);
    const int32_t got_right = b.read(right, sizeof right);
    if (got_left != got_right) return false;
    if (got_left <= 0) return true;
    if (memcmp(left, right, static_cast<size_t>(got_left)) != 0) return false;
  }
}

std::string where(const DATABASE_FILE& file) {
  return std::string(file.src_path_from_xml) + "/" + file.src_name;
}

enum class COMPARED { SAME, DIFFERENT, FAILED };

// The stored entries of two matched records, read raw: no byte of either
// is taken for a byte-order mark.
COMPARED compare_entries(DATABASE& older, const DATABASE_FILE& a, DATABASE& newer,
                         const DATABASE_FILE& b) {
  DATA_FILE* left = older.package->open_file(a.packed_name, 0, 0);
  if (!left) {
    say(format_text("\t\tUnable to open file in db1 (%s)\n", a.packed_name));
    return COMPARED::FAILED;
  }
  DATA_FILE* right = newer.package->open_file(b.packed_name, 0, 0);
  if (!right) {
    FOLDER::close_data_file(left);
    say(format_text("\t\tUnable to open file in db2 (%s)\n", b.packed_name));
    return COMPARED::FAILED;
  }
  const bool same = same_contents(*left, *right);
  FOLDER::close_data_file(left);
  FOLDER::close_data_file(right);
  return same ? COMPARED::SAME : COMPARED::DIFFERENT;
}

// One installation type: the changed and deleted files in the older
// build's order, then the added ones in the newer build's order.
bool compare_installation(DATABASE& older, DATABASE& newer, size_t index, PATCH_XML& xml) {
  const DATABASE_INSTALLATION& one = older.installations[index];
  const DATABASE_INSTALLATION& two = newer.installations[index];
  say(format_text("Installation (%zu)\n", index));
  xml.begin_installation(one);
  if (const char* field = changed_installation_field(one, two)) {
    say(format_text("\tInstallation %s changed - not supported by patching system\n", field));
    return false;
  }
  say("\tShortcuts are ignored by patching system\n");
  std::vector<uint8_t> matched(two.files.size(), 0);
  for (const DATABASE_FILE& a : one.files) {
    bool found = false;
    for (size_t j = 0; j < two.files.size() && !found; ++j) {
      const DATABASE_FILE& b = two.files[j];
      if (!same_description(a, b)) continue;
      if (matched[j]) {
        say(format_text("\t\tFound same file twice! (%s)\n", where(a).c_str()));
        return false;
      }
      if (!a.packed_name[0]) {
        say(format_text("\t\tWarning: blank packed name in d1 (%s)\n", where(a).c_str()));
        continue;
      }
      if (!b.packed_name[0]) {
        say(format_text("\t\tWarning: blank packed name in d2 (%s)\n", where(b).c_str()));
        continue;
      }
      const COMPARED result = compare_entries(older, a, newer, b);
      if (result == COMPARED::FAILED) return false;
      if (result == COMPARED::DIFFERENT) {
        xml.changed_file(a);
        say(format_text("\t\tFile changed - %s\n", where(a).c_str()));
      }
      matched[j] = 1;
      found = true;
    }
    if (!found && a.packed_name[0]) {
      xml.deleted_file(a);
      say(format_text("\t\tFile deleted - %s\n", where(a).c_str()));
    }
  }
  for (size_t j = 0; j < two.files.size(); ++j) {
    const DATABASE_FILE& b = two.files[j];
    if (matched[j] || !b.packed_name[0]) continue;
    xml.changed_file(b);
    say(format_text("\t\tFile added - %s\n", where(b).c_str()));
  }
  xml.end_installation();
  return true;
}

// Where a package path points: the deepest existing folder along the text
// (normally the package's own) and the name after its last '/'. Returns
// the full path it stands for, for messages.
std::string locate_package(const std::string& text, FOLDER& folder, std::string& name) {
  const size_t slash = text.rfind('/');
  name = slash == std::string::npos ? text : text.substr(slash + 1);
  FOLDER root;
  root.set_absolute("/");
  const bool absolute = !text.empty() && text[0] == '/';
  const std::string path = !text.empty() && text[0] == '$' ? text
                           : absolute                      ? "$HERE" + text
                                                           : "$HERE/" + text;
  // The walk stops at the first level that is no folder (the package's
  // own name) and keeps what it reached.
  folder.set_stored_path(path.c_str(), absolute ? &root : nullptr);
  if (absolute) return text;
  const char* full = resolve_path_text(path.c_str());
  return full ? full : text;
}

}  // namespace

bool build_patch(const char* argument) {
  // Both builds load into databases of their own, never the program's.
  auto older = std::make_unique<DATABASE>();
  auto newer = std::make_unique<DATABASE>();
  say("Creating File Differences\n-------------------------\n\n");
  if (!argument) {
    say("Files not supplied\n");
    return false;
  }
  const char* equals = strchr(argument, '=');
  if (!equals || !equals[1]) {
    say("Second file was not supplied\n");
    return false;
  }
  const std::string first(argument, equals);
  const std::string second(equals + 1);

  // Each build from its own folder.
  const auto load = [](DATABASE& data, const std::string& text, FOLDER& folder, bool is_first) {
    std::string name;
    const std::string full = locate_package(text, folder, name);
    data.pack_folder = folder;
    if (!data.load_package(name.c_str())) {
      // A FIFO, a folder or a device there is refused at once, by its kind.
      const char* kind = non_regular_kind(folder, name.c_str());
      say(format_text("Failed to load %s database (%s%s%s)\n", is_first ? "first" : "second",
                      shown_path(full.c_str()).c_str(), kind ? " is " : "", kind ? kind : ""));
      return false;
    }
    say(format_text("%s database (%s) was loaded ok...\n", is_first ? "First" : "Second",
                    shown_path(text.c_str()).c_str()));
    return true;
  };
  FOLDER first_folder, second_folder;
  if (!load(*older, first, first_folder, true) || !load(*newer, second, second_folder, false))
    return false;

  // patch.xml appears only when it is complete: a run that stops early
  // drops what it wrote. It is made in the folder reached without another
  // user's links, in place of whatever stood at its name (a pipe too: it
  // is never opened).
  FOLDER_HOLD held;
  FILE_REPLACEMENT out;
  if (!held.reach(first_folder) ||
      !out.begin(first_folder, "patch.xml", FILE_REPLACEMENT::PERMISSIONS_OF_TARGET, &held)) {
    const PATH_FAILURE& failure = held.failure();
    const std::string why = held.holding() ? shown_path(first_folder.path) + ": " + strerror(out.error)
                                           : shown_path(failure.folder.c_str()) + ": " + failure.reason();
    say("Failed to open patch file in " + shown_path(first_folder.path) + " (" + why + ")\n");
    return false;
  }
  PATCH_XML xml;
  xml.head(*older, *newer, second_folder);
  if (older->installations.size() != newer->installations.size()) {
    say("Unable to patch, differences are too big (install_sz differ)\n");
    return false;
  }
  for (size_t i = 0; i < older->installations.size(); ++i)
    if (!compare_installation(*older, *newer, i, xml)) return false;
  xml.finish(*older);
  const std::string text = system_text_to_utf8(xml.text().c_str());
  if (!out.write(text.data(), text.size()) || !out.commit()) {
    say("Failed to write patch file\n");
    return false;
  }
  say("\nDone\n-------------------------\n");
  return true;
}
