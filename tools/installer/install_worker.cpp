// The install worker: one step of the install run per frame, so that the
// installing page keeps drawing between files. Step 0 prepares the install
// folder and the log, each following step installs one file record, the step
// after the last file makes the shortcuts and the one after that finishes.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "database.h"
#include "desktop.h"
#include "file_services.h"
#include "install_folder_rule.h"
#include "install_log.h"
#include "install_page.h"
#include "platform.h"
#include "text_convert.h"
#include "wm_kinds.h"
#include "wm_screen_object.h"

namespace {

constexpr uint32_t IDLE_WAIT_MS = 50;  // the frame loop's normal pause

const DATABASE_INSTALLATION& chosen_installation(const DATABASE& data) {
  static const DATABASE_INSTALLATION none;
  const DATABASE_INSTALLATION* chosen = data.chosen_installation_data();
  return chosen ? *chosen : none;
}

// Where and why a folder cannot be used, for the path error.
struct FOLDER_PROBLEM {
  std::string folder, reason;
  bool unsafe = false;  // another user could choose where it leads
};

FOLDER_PROBLEM problem_of(const PATH_FAILURE& failure) {
  return {failure.folder, failure.reason(), failure.kind != PATH_FAILURE::KIND::SYSTEM};
}

// Reaches and holds the folder a path text names: the variable's own
// folder as the path service finds it (making it by its own rules where
// asked), then every missing folder below it, each made on its parent's
// descriptor; nothing on the way is reached through another user's link.
// from, when the folder lies in its folder, is where the walk begins. An
// empty text is base itself.
bool reach_folder(const char* text, const FOLDER* base, bool create_variable_folder, bool no_fallback,
                  const FOLDER_HOLD* from, FOLDER& folder, FOLDER_HOLD& hold, FOLDER_PROBLEM& problem) {
  if (!text[0] && !base) {
    problem = {text, "no folder is given"};
    return false;
  }
  FOLDER start;
  std::string rest;
  FOLDER_HOLD::clear_last_failure();
  const char* unusable = text[0] ? install_folder_problem(text) : nullptr;
  if (!text[0]) {
    start = *base;
  } else if (unusable) {
    problem = {text, unusable};
    return false;
  } else {
    const char* slash = strchr(text, '/');
    const std::string variable(text, slash ? static_cast<size_t>(slash - text) : strlen(text));
    rest = slash ? slash : "";
    // A variable's folder that could not be made says where it stopped.
    if (!start.set_path(variable.c_str(), false, base, create_variable_folder, no_fallback)) {
      const PATH_FAILURE& failure = FOLDER_HOLD::last_failure();
      problem = failure.kind != PATH_FAILURE::KIND::NONE ? problem_of(failure)
                                                         : FOLDER_PROBLEM{variable, strerror(ENOENT)};
      return false;
    }
  }
  // The folders below the variable's, without "." and empty components.
  std::string path = start.path;
  for (const char* part = rest.c_str(); *part;) {
    const char* slash = strchr(part, '/');
    const std::string name(part, slash ? static_cast<size_t>(slash - part) : strlen(part));
    part += name.size() + (slash ? 1 : 0);
    if (name.empty() || name == ".") continue;
    if (path.back() != '/') path += '/';
    path += name;
  }
  FOLDER_HOLD start_hold;
  if (!folder.set_absolute(path.c_str())) {
    problem = {path, strerror(ENAMETOOLONG)};
    return false;
  }
  const bool reached = start_hold.reach(start, FOLDER_HOLD::MAKE::NOTHING, from) &&
                       hold.reach(folder, FOLDER_HOLD::MAKE::MISSING, &start_hold);
  if (!reached) problem = problem_of(start_hold.holding() ? hold.failure() : start_hold.failure());
  return reached;
}

// A folder from a path text of the data, missing folders created. An empty
// text is the install folder itself.
bool set_data_folder(FOLDER& folder, const char* text, const FOLDER& install, bool create_variable_folder,
                     bool no_fallback) {
  if (!text[0]) {
    folder = install;
    return true;
  }
  if (!acceptable_data_path(text)) return false;
  return folder.set_path(text, true, &install, create_variable_folder, no_fallback);
}

// Where a shortcut's target or icon lies: only a path the record gives, and
// only when it resolves.
bool set_shortcut_folder(FOLDER& folder, const DATABASE& data, const char* system_text, const char* text,
                         const FOLDER& install) {
  const bool system = system_text[0] && data.use_system_paths;
  if (!system && !text[0]) return false;
  return set_data_folder(folder, system ? system_text : text, install, system, false);
}

// The absolute path without a trailing '/' ("/" for the root).
std::string folder_text(const FOLDER& folder) {
  std::string text = folder.path;
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::string file_path(const FOLDER& folder, const char* name) {
  std::string text = folder_text(folder);
  if (text != "/") text += '/';
  return text + name;
}

// A path text of the data with the file's name.
std::string text_with_name(const char* destination, const char* name) {
  std::string text = destination;
  if (text.empty() || text.back() != '/') text += '/';
  return text + name;
}

// The file's place as the page shows it: the path text with the variable
// that begins it left out.
std::string status_text(const char* destination, const char* name) {
  std::string text = text_with_name(destination, name);
  if (text[0] == '$') text.erase(0, text.find('/'));
  return text;
}

// One name in the destination folder, not a path of its own.
bool plain_file_name(const char* name) {
  return name[0] && !strchr(name, '/') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

// Where a file goes, told from what the data says when the folder cannot
// be made: the resolved path when the text may be resolved, else the text.
std::string intended_path(const char* destination, const char* name) {
  if (acceptable_data_path(destination))
    if (const char* resolved = resolve_path_text(destination, name)) return resolved;
  return text_with_name(destination, name);
}

// One line of the log as it is stored (the data's texts in the system's
// text, the file system's names as they are) and as a terminal shows it
// (all UTF-8: the data's texts converted, names from the file system left
// alone). Every line of the log is made here, so this is where the control
// characters of what goes into it are escaped: none splits a line, forges
// one or reaches a terminal that shows the log as a command.
struct LOG_LINE {
  // The worker's own words (their line ends stay) and names from the file
  // system.
  LOG_LINE& name(const std::string& bytes) {
    const std::string escaped = escape_control_characters(bytes, KEEP_LINE_LAYOUT);
    stored += escaped;
    shown += escaped;
    return *this;
  }
  // A text of the data, in the system's text: its characters are judged
  // as they will be shown (a byte 0x9B is a C1 control in Latin-1).
  LOG_LINE& text(const char* system_text) {
    const std::string escaped = escape_control_characters(system_text_to_utf8(system_text));
    stored += utf8_to_system_text(escaped.data(), escaped.size());
    shown += escaped;
    return *this;
  }
  std::string stored, shown;
};

std::string count_of(int32_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

class INSTALL_WORKER {
public:
  INSTALL_WORKER(DATABASE& data, INSTALL_RUN& run, INSTALL_PAGE* page) : data(data), run(run), page(page) {}

  void prepare();
  void install_file();
  void make_shortcuts();
  void finish();
  void interrupt();

private:
  void progress(int32_t percent, const char* text) {
    if (page) page->set_progress(percent, text);
  }
  // A name from the file system, in the system's text for the page.
  void progress_on(int32_t percent, const std::string& path) {
    if (page) page->set_progress(percent, utf8_to_system_text(path.data(), path.size()).c_str());
  }
  void path_error(const FOLDER_PROBLEM& problem) {
    run.halted = 1;
    if (page) page->report_path_error(problem.folder.c_str(), problem.reason.c_str());
  }
  void copy_error(const char* path) {
    if (page) page->ask_on_copy_error(path);
  }
  // Appends the line to the log (in one write, nothing held back, so that
  // what was written stays whatever happens later) and shows it to the
  // page.
  void write(const LOG_LINE& line);
  void write(const std::string& ascii) { write(LOG_LINE().name(ascii)); }
  bool set_install_folder(FOLDER& install, FOLDER_PROBLEM& problem);
  bool set_destination(const char* text, bool system, FOLDER& folder);
  void settle_folders();
  void shortcut(const DATABASE_SHORTCUT& record, const FOLDER& install);

  DATABASE& data;
  INSTALL_RUN& run;
  INSTALL_PAGE* page;
};

void INSTALL_WORKER::write(const LOG_LINE& line) {
  if (!run.log_made || !run.log.append(line.stored) || !page) return;
  const std::string& text = line.shown;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t stop = end == std::string::npos ? text.size() : end + 1;
    page->logged(text.substr(start, stop - start).c_str());
    start = stop;
  }
}

// The install folder becomes the base path, so that "$APP" and "$app" in
// every later path mean it. "$app" first names the application to the path
// service, which "$SYSAPP" is made from.
bool INSTALL_WORKER::set_install_folder(FOLDER& install, FOLDER_PROBLEM& problem) {
  install.set_path("$app");
  set_base_path(install, data.application.app_string);
  const bool ok = data.use_system_paths
                      ? reach_folder("$SYSAPP", nullptr, true, true, nullptr, install, run.install_hold, problem)
                      : reach_folder(data.install_folder, nullptr, true, false, nullptr, install, run.install_hold,
                                     problem);
  if (ok) set_base_path(install, data.application.app_string);
  return ok;
}

// Files of one folder follow each other in the data: the folder is
// reached (and made) once for all of them, and held open while they are
// written into it.
bool INSTALL_WORKER::set_destination(const char* text, bool system, FOLDER& folder) {
  const std::string key = std::string(system ? "1" : "0") + text;
  if (!run.destination_known || run.destination != key) {
    run.destination_hold.release();
    FOLDER install;  // "$APP", which the base path makes the install folder
    FOLDER_PROBLEM problem;
    if (!reach_folder(text, &install, system, false, &run.install_hold, run.destination_folder, run.destination_hold,
                      problem)) {
      run.destination_failed = problem.folder;
      run.destination_reason = problem.reason;
      run.destination_unsafe = problem.unsafe ? 1 : 0;
    }
    // The folders made on the way that have bits of their own take them
    // once everything is in.
    const std::string above = std::string(run.install_hold.held_path()) + "/";
    for (const FOLDER_HOLD::MADE_FOLDER& made : run.destination_hold.made()) {
      if (made.path.compare(0, above.size(), above) != 0) continue;
      const auto mode = data.folder_modes.find(made.path.substr(above.size()));
      if (mode != data.folder_modes.end()) run.made_folders.push_back({made, mode->second});
    }
    run.destination = key;
    run.destination_known = 1;
  }
  folder = run.destination_folder;
  return run.destination_hold.holding();
}

void INSTALL_WORKER::prepare() {
  set_idle_wait(0);
  run.errors = 0;
  run.installed = 0;
  run.halted = 0;
  run.complete = 0;
  run.log_made = 0;
  run.log.close();
  run.destination_known = 0;
  run.destination_hold.release();
  run.made_folders.clear();
  const DATABASE_INSTALLATION& installation = chosen_installation(data);
  if (!data.system_information().system_folders || !installation.allow_system_paths) data.use_system_paths = 0;
  run.step_count = static_cast<int32_t>(installation.files.size()) + 1;
  // Read-only and never created: a missing package must not appear as an
  // empty one, and read-only media must work.
  if (!data.package || !data.package->is_open()) {
    data.package = std::make_unique<PACKAGE>(data.pack_folder, "installer.pkg", false, -1, false, true);
    if (!data.package->is_open()) data.package.reset();
  }
  run.step = 1;
  progress(0, data.current_text(INSTALLING_STRING));

  FOLDER install;
  FOLDER_PROBLEM problem;
  if (!set_install_folder(install, problem)) {
    path_error(problem);
    return;
  }
  FOLDER log_folder;
  FOLDER_HOLD log_hold;
  const bool system_log = data.log.system_dest_path_from_inst_loc[0] && data.use_system_paths;
  const bool log_ok = system_log ? reach_folder(data.log.system_dest_path_from_inst_loc, &install, true, true,
                                                &run.install_hold, log_folder, log_hold, problem)
                                 : reach_folder(data.log.dest_path_from_inst_loc, &install, false, false,
                                                &run.install_hold, log_folder, log_hold, problem);
  if (!log_ok) {
    path_error(problem);
    return;
  }
  if (!run.log.start(log_folder, log_hold)) {
    copy_error(run.log.path().c_str());
    return;
  }
  run.log_made = 1;
  const DATABASE_LANGUAGE* language = data.current_language_data();
  write(LOG_LINE().name("Installed Files\n---------------\n\nLanguage: ").text(language ? language->name : "").name("\n"));
  write("Settings: " + std::to_string(data.settings_value) + " " + (data.use_system_paths ? "1" : "0") + " " +
        data.install_folder + "\n");
  // The installer's own words, ending with their own line feed.
  write(LOG_LINE().name(data.desktop_check_message).name("\n"));
}

void INSTALL_WORKER::install_file() {
  const int32_t s = run.step;
  const std::vector<DATABASE_FILE>& files = chosen_installation(data).files;
  // Records that went away during the run (new data loaded) are passed over.
  if (static_cast<size_t>(s - 1) >= files.size()) {
    ++run.step;
    return;
  }
  const DATABASE_FILE& record = files[static_cast<size_t>(s - 1)];
  if (!record.packed_name[0] || !data.match_platform(record.platform)) {
    ++run.step;
    return;
  }
  const bool system = record.system_dest_path_from_inst_loc[0] && data.use_system_paths;
  const char* destination = system ? record.system_dest_path_from_inst_loc : record.dest_path_from_inst_loc;
  FOLDER folder;
  const bool folder_ok = set_destination(destination, system, folder);
  const char* name = record.dest_name[0] ? record.dest_name : record.src_name;
  // A record without a file name stands for its destination folder alone
  // (one that holds no files): making that folder is its whole step.
  const bool folder_only = !name[0];
  progress_on(s * 100 / run.step_count, status_text(destination, name));
  const std::string path = !folder_ok    ? intended_path(destination, name)
                           : folder_only ? folder_text(folder)
                                         : file_path(folder, name);

  enum { INSTALLED, SKIPPED, FAILED } outcome = INSTALLED;
  if (!folder_ok || (!folder_only && !plain_file_name(name))) {
    outcome = FAILED;
  } else if (!folder_only && (record.overwrite == 1 || record.overwrite == 2)) {
    // Only a regular file in the held folder is one that exists: a link
    // there is not followed (what it leads to is none of the log's
    // business) and, like anything else at the name, is replaced.
    uint32_t modified = 0;
    if (run.destination_hold.regular_file_time(name, modified) &&
        !(record.overwrite == 1 && static_cast<uint32_t>(data.time_stamp) > modified))
      outcome = SKIPPED;
  }
  // A folder was made when its destination was set. A file's bits (its
  // source's, where the data gives them) are set on the new file before it
  // takes its name; a set-id file is never writable by others.
  int32_t mode = record.permissions >= 0 ? record.permissions : 0755;
  if (record.switch_user) mode = (mode & ~(S_IWGRP | S_IWOTH)) | S_ISUID | S_ISGID;
  if (outcome == INSTALLED && !folder_only &&
      !(data.package &&
        data.package->extract(folder, name, record.packed_name, nullptr, 0, mode, &run.destination_hold)))
    outcome = FAILED;
  if (outcome == INSTALLED && !folder_only) ++run.installed;

  if (outcome == FAILED) {
    ++run.errors;
    write(quoted(path.c_str()) + " failed to unpack (" + record.packed_name + ")\n");
  } else {
    write((outcome == SKIPPED ? "Skipped " : "Installed ") + quoted(path.c_str()) + "\n");
  }
  ++run.step;
  // A folder that another user could lead elsewhere stops the run: the
  // files that would follow it cannot go where the data says either.
  if (!folder_ok && run.destination_unsafe)
    path_error({run.destination_failed, run.destination_reason, true});
  else if (outcome == FAILED)
    copy_error(path.c_str());
}

// A link or menu entry that cannot be made is worth a line, not an error:
// the files it would point at are installed.
void INSTALL_WORKER::shortcut(const DATABASE_SHORTCUT& record, const FOLDER& install) {
  const SYSTEM_INFO& info = data.system_information();
  const bool desktop = !record.menu_section[0];
  if (desktop ? !(data.desktop_shortcut && info.desktop_icons) : !(data.menu_shortcut && info.desktop_menu))
    return;
  FOLDER desktop_folder;
  if (desktop && !get_desktop_folder(&desktop_folder)) {
    write(LOG_LINE().name("Desktop link \"").text(record.name).name("\" skipped: there is no desktop folder\n"));
    return;
  }
  FOLDER target, icon;
  const bool has_target = set_shortcut_folder(target, data, record.system_target_path_from_inst_loc,
                                              record.target_path_from_inst_loc, install);
  const bool has_icon = set_shortcut_folder(icon, data, record.system_icon_path_from_inst_loc,
                                            record.icon_path_from_inst_loc, install);
  const FOLDER* target_folder = has_target ? &target : nullptr;
  const FOLDER* icon_folder = has_icon ? &icon : nullptr;
  // Every folder field is quoted, the word for no folder too.
  const std::string target_text = quoted(has_target ? folder_text(target).c_str() : "null");
  const std::string icon_text = quoted(has_icon ? folder_text(icon).c_str() : "null");
  LOG_LINE line;
  line.name(desktop ? "create_desktop_shortcut( " : "create_os_menu_shortcut( ")
      .name(std::to_string(record.kind) + ", " + quoted(record.target) + ", " + quoted(record.arguments) + ", \"")
      .text(record.name)
      .name("\", ");
  int made;
  if (desktop) {
    progress(100, data.current_text(INSTALLING_DESKTOP_SHORTCUT));
    made = create_desktop_shortcut(record.kind, record.target, record.arguments, record.name, icon_folder,
                                   record.icon_filename, target_folder);
  } else {
    progress(100, data.current_text(INSTALLING_MENU_SHORTCUT));
    made = create_os_menu_shortcut(record.kind, record.target, record.arguments, record.name, record.menu_section,
                                   icon_folder, record.icon_filename, target_folder);
    line.name("\"").text(record.menu_section).name("\", ");
  }
  write(line.name(icon_text + ", " + quoted(record.icon_filename) + ", " + target_text + " );\n"));
  if (!made)
    write(LOG_LINE()
              .name(desktop ? "Warning: desktop link \"" : "Warning: menu entry \"")
              .text(record.name)
              .name("\" could not be made\n"));
}

// The folders the run made take their sources' bits now that all their
// contents are in (a folder without write bits can still be filled), the
// innermost first, so that each is reached before the one above it
// changes. Each is reached again from the install folder and must be the
// very folder made; a folder that was there before keeps its own bits.
void INSTALL_WORKER::settle_folders() {
  for (auto each = run.made_folders.rbegin(); each != run.made_folders.rend(); ++each) {
    FOLDER folder;
    FOLDER_HOLD hold;
    if (folder.set_absolute(each->folder.path.c_str()) &&
        hold.reach(folder, FOLDER_HOLD::MAKE::NOTHING, &run.install_hold) &&
        hold.set_made_folder_mode(each->folder, each->mode))
      continue;
    ++run.errors;
    char bits[8];
    snprintf(bits, sizeof bits, "%04o", static_cast<unsigned>(each->mode));
    write(quoted(each->folder.path.c_str()) + " could not take its bits (" + bits + ")\n");
  }
  run.made_folders.clear();
}

void INSTALL_WORKER::make_shortcuts() {
  run.destination_hold.release();
  settle_folders();
  const FOLDER install;
  for (const DATABASE_SHORTCUT& record : chosen_installation(data).shortcuts)
    if (data.match_platform(record.platform)) shortcut(record, install);
  ++run.step;
}

void INSTALL_WORKER::finish() {
  clear_base_path();
  if (page) page->install_finished();
  progress(100, data.current_text(COMPLETE));
  ++run.step;
  run.complete = 1;
  run.install_hold.release();
  write(run.errors ? "Installation completed with " + std::to_string(run.errors) + " errors.\n"
                   : std::string("Installation completed without any errors.\n"));
  run.log.close();
  set_idle_wait(IDLE_WAIT_MS);
}

void INSTALL_WORKER::interrupt() {
  run.destination_hold.release();
  settle_folders();
  write("Installation interrupted: " + count_of(run.installed, "file", "files") + " installed.\n");
  run.log.close();
  run.install_hold.release();
  // "$APP" and "$TEMP" get their own meaning back.
  clear_base_path();
  set_idle_wait(IDLE_WAIT_MS);
  run.step = 0;
  run.halted = 0;
}

}  // namespace

void DATABASE::interrupt_install(INSTALL_PAGE* page) {
  if (install_run.step != 0 && !install_run.complete) INSTALL_WORKER(*this, install_run, page).interrupt();
}

void DATABASE::install_step(INSTALL_PAGE* page) {
  // An open question holds the run, even under a tooltip or another overlay.
  if (page && WM_SCREEN_OBJECT::find_top_overlay(wm_kind::CONFIRM)) return;
  INSTALL_RUN& run = install_run;
  if (current_page != WIZARD_PAGE_INSTALLING) {
    interrupt_install(page);
    run.step = 0;
    run.halted = 0;
    return;
  }
  if (run.halted) return;
  INSTALL_WORKER worker(*this, run, page);
  if (run.step == 0)
    worker.prepare();
  else if (run.step < run.step_count)
    worker.install_file();
  else if (run.step == run.step_count)
    worker.make_shortcuts();
  else if (run.step == run.step_count + 1)
    worker.finish();
}

int32_t DATABASE::install_error_count() const { return install_run.errors; }

bool DATABASE::install_complete() const { return install_run.complete != 0; }

bool DATABASE::install_succeeded() const {
  return install_run.complete && install_run.log_made && install_run.errors == 0;
}
