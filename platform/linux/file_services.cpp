#include "file_services.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

#include "folder_hold.h"
#include "platform.h"
#include "replace_file.h"

extern char** environ;

struct FOLDER_LIST {
  struct dirent** names = nullptr;  // from scandir, "." and ".." left out
  int count = 0;
  int cursor = 0;  // next entry to look at
  uint8_t show_hidden = 0;
  char pattern[256] = {};  // empty: every entry passes
  uint32_t match_mode = 0;
  FOLDER folder;
  uint8_t filter_folders = 0;  // 0: folders pass every pattern
};

namespace {

constexpr size_t kPathSize = FOLDER_PATH_SIZE;
constexpr size_t kNameSize = 256;
constexpr const char* kDefaultApplicationName = "VORN Application";
constexpr const char* kMountsFile = "/proc/mounts";

// Plain, constant-initialised state: FOLDER objects built during static
// initialisation elsewhere may already need the home and program folders.
char home_override[kPathSize];
bool home_override_set = false;
char home_cache[kPathSize];
bool home_cached = false;
char system_root[kPathSize];  // "" when no override is set
char mounts_override[kPathSize];
bool mounts_override_set = false;
char program_file[kPathSize];
int program_file_state = 0;  // 0 not read yet, 1 read, -1 unreadable

bool copy_text(char* output, size_t output_size, const char* text) {
  size_t length = strlen(text);
  if (length >= output_size) return false;
  memcpy(output, text, length + 1);
  return true;
}

// Length of path without one trailing "/" (the root keeps its "/").
size_t trimmed_length(const char* path) {
  size_t length = strlen(path);
  if (length > 1 && path[length - 1] == '/') --length;
  return length;
}

bool same_folder_text(const char* a, const char* b) {
  size_t length = trimmed_length(a);
  return length == trimmed_length(b) && strncmp(a, b, length) == 0;
}

// Length of prefix when path lies in the folder prefix (path equal to it
// or continuing with "/"); 0 otherwise. The root matches every absolute
// path with length 1.
size_t folder_prefix_length(const char* path, const char* prefix) {
  size_t length = strlen(prefix);
  while (length > 0 && prefix[length - 1] == '/') --length;
  if (length == 0) return path[0] == '/' ? 1 : 0;
  if (strncmp(path, prefix, length) != 0) return 0;
  return path[length] == '\0' || path[length] == '/' ? length : 0;
}

bool read_program_file() {
  if (program_file_state == 0) {
    ssize_t length = readlink("/proc/self/exe", program_file, kPathSize);
    // A full buffer may hold a cut path: refuse it rather than use it.
    if (length > 0 && static_cast<size_t>(length) < kPathSize && program_file[0] == '/') {
      program_file[length] = '\0';
      program_file_state = 1;
    } else {
      program_file[0] = '\0';
      program_file_state = -1;
    }
  }
  return program_file_state == 1;
}

bool lower_equal(const char* a, const char* b, size_t n, bool ignore_case) {
  if (!ignore_case) return memcmp(a, b, n) == 0;
  for (size_t i = 0; i < n; ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool name_matches(const char* name, const char* pattern, uint32_t mode) {
  if (mode > 7) mode = 0;
  bool ignore_case = (mode & 1) != 0;
  size_t name_length = strlen(name);
  size_t pattern_length = strlen(pattern);
  switch (mode >> 1) {
    case 0:
      return name_length >= pattern_length &&
             lower_equal(name + name_length - pattern_length, pattern, pattern_length, ignore_case);
    case 1:
      return name_length >= pattern_length && lower_equal(name, pattern, pattern_length, ignore_case);
    case 2:
      for (size_t i = 0; i + pattern_length <= name_length; ++i)
        if (lower_equal(name + i, pattern, pattern_length, ignore_case)) return true;
      return false;
    default:
      return name_length == pattern_length && lower_equal(name, pattern, pattern_length, ignore_case);
  }
}

void fill_info(FILE_INFO* info, const char* name, const struct stat& st) {
  info->is_directory = S_ISDIR(st.st_mode) ? 1 : 0;
  info->hidden = name[0] == '.' ? 1 : 0;
  info->owner_rwx = static_cast<uint16_t>(st.st_mode & 0700);
  info->size = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size));
  info->modified = static_cast<uint32_t>(st.st_mtime);
}

int skip_dot_entries(const struct dirent* entry) {
  return strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0;
}

// One /proc/mounts line, mount point and device unescaped.
struct MOUNT {
  std::string device;
  std::string mount_point;
  std::string type;
};

// /proc/mounts writes blanks, tabs, newlines and backslashes in names as
// "\" and three octal digits.
std::string unescape_mount_field(const char* text, size_t length) {
  std::string result;
  result.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const char* d = text + i + 1;
    if (text[i] == '\\' && i + 3 < length && d[0] >= '0' && d[0] <= '3' && d[1] >= '0' &&
        d[1] <= '7' && d[2] >= '0' && d[2] <= '7') {
      result.push_back(static_cast<char>((d[0] - '0') * 64 + (d[1] - '0') * 8 + (d[2] - '0')));
      i += 3;
      continue;
    }
    result.push_back(text[i]);
  }
  return result;
}

// The file systems that count as drives, with their drive types.
struct FILE_SYSTEM_TYPE {
  const char* name;
  int type;
};
constexpr FILE_SYSTEM_TYPE kFileSystems[] = {
    {"ext", 4},   {"ext2", 4},  {"ext3", 4},  {"ext4", 4},  {"btrfs", 4},  {"iso9660", 1},
    {"nfs", 3},   {"nfs4", 3},  {"smbfs", 3}, {"cifs", 3},  {"sysv", 5},   {"xfs", 5},
    {"hfs", 6},   {"hpfs", 7},  {"msdos", 8}, {"umsdos", 8}, {"vfat", 8},  {"ntfs", 9}};

const FILE_SYSTEM_TYPE* find_file_system(const std::string& name) {
  for (const FILE_SYSTEM_TYPE& row : kFileSystems)
    if (name == row.name) return &row;
  return nullptr;
}

// The drives from number 2 on: known file systems in mount order, leaving
// out the home folder and the root. False when the mount table cannot be
// read.
bool read_drives(std::vector<MOUNT>& drives) {
  drives.clear();
  FILE* file = fopen(mounts_override_set ? mounts_override : kMountsFile, "re");
  if (!file) return false;
  const char* home = get_home_folder();
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t length;
  while ((length = getline(&line, &capacity, file)) > 0) {
    if (line[length - 1] == '\n') line[--length] = '\0';
    const char* fields[3];
    size_t sizes[3];
    const char* cursor = line;
    int found = 0;
    for (; found < 3 && cursor; ++found) {
      const char* blank = strchr(cursor, ' ');
      fields[found] = cursor;
      sizes[found] = blank ? static_cast<size_t>(blank - cursor) : strlen(cursor);
      cursor = blank ? blank + 1 : nullptr;
    }
    if (found < 3) continue;
    MOUNT mount{unescape_mount_field(fields[0], sizes[0]), unescape_mount_field(fields[1], sizes[1]),
                unescape_mount_field(fields[2], sizes[2])};
    if (!find_file_system(mount.type)) continue;
    if (mount.mount_point.empty() || mount.mount_point == "/") continue;
    if (same_folder_text(mount.mount_point.c_str(), home)) continue;
    drives.push_back(std::move(mount));
  }
  free(line);
  fclose(file);
  return true;
}

bool has_dot_dot_component(const char* name) {
  for (const char* part = name; part;) {
    const char* slash = strchr(part, '/');
    size_t length = slash ? static_cast<size_t>(slash - part) : strlen(part);
    if ((length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.'))
      return true;
    part = slash ? slash + 1 : nullptr;
  }
  return false;
}

std::string temporary_folder_failures;

// The folder made and opened on the held parent under leaf, whose last six
// characters ("XXXXXX") are replaced as mkdtemp does, readable; -1 with
// errno set when it cannot be made.
int make_held_folder(int parent, char* leaf) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  char* suffix = leaf + strlen(leaf) - 6;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    uint8_t random[6];
    if (getentropy(random, sizeof random) != 0) return -1;
    for (size_t i = 0; i < sizeof random; ++i) suffix[i] = kLetters[random[i] % (sizeof kLetters - 1)];
    if (mkdirat(parent, leaf, 0700) == 0)
      return openat(parent, leaf, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

// Once per run: under ~/tmp when it exists, else under $TMPDIR when it is
// set, else under /tmp. The parent is reached without another user's
// links and only where no other user can swap the folder out of it
// (FOLDER_HOLD::reach_trusted); the folder is made on the parent's
// descriptor and held open from then on, so that whatever later takes its
// path is never used. A parent that cannot hold it is passed over for the
// next one and noted with its reason.
bool make_temporary_folder(FOLDER* folder, const char* application_name) {
  const char* made_before = get_temporary_folder_path();
  struct stat st;
  if (made_before[0] && lstat(made_before, &st) == 0 && S_ISDIR(st.st_mode))
    return folder->set_absolute(made_before);

  // Leaf "<app>-XXXXXX", within the 255 bytes a name may have.
  constexpr size_t kSuffix = 7;
  char leaf[kNameSize];
  size_t length = strnlen(application_name, sizeof leaf - 1 - kSuffix);
  for (size_t i = 0; i < length; ++i) leaf[i] = application_name[i] == '/' ? '-' : application_name[i];
  memcpy(leaf + length, "-XXXXXX", kSuffix + 1);

  char home_tmp[kPathSize];
  const bool home_has_tmp =
      join_path(home_tmp, sizeof home_tmp, get_home_folder(), "tmp") && is_directory(home_tmp);
  const char* chosen = getenv("TMPDIR");
  const struct {
    const char* parent;  // null: not to be tried
    const char* label;
  } parents[] = {{home_has_tmp ? home_tmp : nullptr, ""},
                 {chosen && *chosen ? chosen : nullptr, " (TMPDIR)"},
                 {system_path("/tmp"), ""}};
  temporary_folder_failures.clear();
  for (const auto& each : parents) {
    if (!each.parent) continue;
    std::string reason = "not an absolute path";
    char made[kPathSize];
    FOLDER parent;
    FOLDER_HOLD held;
    if (each.parent[0] == '/') {
      reason = strerror(ENAMETOOLONG);  // the reason when the name does not fit
      if (join_path(made, sizeof made, each.parent, leaf) && parent.set_absolute(each.parent) &&
          held.reach_trusted(parent, &reason)) {
        char* made_leaf = made + strlen(made) - strlen(leaf);
        const int parent_fd = fcntl(held.held_descriptor(), F_DUPFD_CLOEXEC, 0);
        const int made_fd = parent_fd >= 0 ? make_held_folder(parent_fd, made_leaf) : -1;
        if (made_fd >= 0) {
          if (!folder->set_absolute(made)) {
            unlinkat(parent_fd, made_leaf, AT_REMOVEDIR);
            close(made_fd);
            close(parent_fd);
            return false;
          }
          record_held_temporary_folder(made, made_fd, parent_fd, made_leaf);
          return true;
        }
        reason = strerror(errno);
        if (parent_fd >= 0) close(parent_fd);
      }
    }
    if (!temporary_folder_failures.empty()) temporary_folder_failures += '\n';
    temporary_folder_failures += std::string(each.parent) + each.label + ": " + reason;
  }
  return false;
}

}  // namespace

bool join_path(char* output, size_t output_size, const char* folder, const char* name) {
  if (!output || !folder) return false;
  if (!name) name = "";
  size_t folder_length = strlen(folder);
  size_t name_length = strlen(name);
  bool slash = folder_length == 0 || folder[folder_length - 1] != '/';
  size_t total = folder_length + (slash ? 1 : 0) + name_length;
  if (total >= output_size) return false;
  memmove(output, folder, folder_length);
  if (slash) output[folder_length] = '/';
  memcpy(output + folder_length + (slash ? 1 : 0), name, name_length);
  output[total] = '\0';
  return true;
}

const char* make_path(const FOLDER& folder, const char* name) {
  static char buffer[kPathSize];
  if (!name) name = "";
  size_t folder_length = strnlen(folder.path, sizeof folder.path);
  if (folder_length > 0 && folder.path[folder_length - 1] == '/') --folder_length;
  size_t name_length = strlen(name);
  if (folder_length + 1 + name_length >= sizeof buffer) return nullptr;
  memcpy(buffer, folder.path, folder_length);
  buffer[folder_length] = '/';
  memcpy(buffer + folder_length + 1, name, name_length + 1);
  return buffer;
}

bool file_exists(const FOLDER& folder, const char* name, bool assume) {
  if (assume) return true;
  if (!name || !*name) return false;
  char path[kPathSize];
  if (!join_path(path, sizeof path, folder.path, name)) return false;
  // A FIFO answers at once instead of waiting for a writer.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool copy_file(const FOLDER& source, const char* source_name, const FOLDER& target,
               const char* target_name) {
  if (!source_name || !*source_name || !target_name || !*target_name) return false;
  char from[kPathSize];
  if (!join_path(from, sizeof from, source.path, source_name)) return false;

  int in = open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    return false;
  }
  // The target is either the old file or the whole new one, never a
  // half-written mix.
  FILE_REPLACEMENT out;
  if (!out.begin(target, target_name, static_cast<int32_t>(st.st_mode & 0777))) {
    close(in);
    return false;
  }
  std::vector<char> buffer(65536);
  bool ok = true;
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    if (!out.write(buffer.data(), static_cast<size_t>(got))) {
      ok = false;
      break;
    }
  }
  close(in);
  if (!ok) {
    out.abandon();
    return false;
  }
  return out.commit();
}

const char* get_home_folder() {
  if (home_override_set) return home_override;
  if (!home_cached) {
    const char* found = nullptr;
    if (struct passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0])
      found = entry->pw_dir;
    if (!found || strlen(found) >= kPathSize) found = getenv("HOME");
    if (!found || !*found || strlen(found) >= kPathSize) found = "/";
    size_t length = trimmed_length(found);
    memcpy(home_cache, found, length);
    home_cache[length] = '\0';
    home_cached = true;
  }
  return home_cache;
}

bool get_file_info(const FOLDER& folder, const char* name, FILE_INFO* info) {
  if (!name || !info) return false;
  char path[kPathSize];
  struct stat st;
  if (!join_path(path, sizeof path, folder.path, name) || stat(path, &st) != 0) return false;
  fill_info(info, name, st);
  return true;
}

bool is_directory(const char* path) {
  struct stat st;
  return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool get_program_path(FOLDER* folder, char* name, size_t name_size) {
  if (read_program_file()) {
    const char* slash = strrchr(program_file, '/');
    size_t folder_length = slash == program_file ? 1 : static_cast<size_t>(slash - program_file);
    if (folder) {
      char path[kPathSize];
      memcpy(path, program_file, folder_length);
      path[folder_length] = '\0';
      folder->set_absolute(path);
    }
    if (name && name_size > 0 && !copy_text(name, name_size, slash + 1)) {
      name[0] = '\0';
      return false;
    }
    return true;
  }
  if (folder) folder->set_absolute(get_home_folder());
  if (name && name_size > 0) {
    size_t length = strnlen(kDefaultApplicationName, name_size - 1);
    memcpy(name, kDefaultApplicationName, length);
    name[length] = '\0';
  }
  return false;
}

bool chmod_file(const FOLDER& folder, const char* name, uint32_t mode) {
  char path[kPathSize];
  if (!name || !join_path(path, sizeof path, folder.path, name)) return false;
  return fchmodat(AT_FDCWD, path, static_cast<mode_t>(mode), AT_SYMLINK_NOFOLLOW) == 0;
}

bool run_program(const FOLDER& folder, const char* name) {
  char path[kPathSize];
  struct stat st;
  if (!name || !*name || !join_path(path, sizeof path, folder.path, name) || stat(path, &st) != 0)
    return false;
  chmod(path, (st.st_mode & 07777) | 0111);
  char* fallback_argv[] = {path, nullptr};
  char** argv = get_saved_argv() ? get_saved_argv() : fallback_argv;
  char** envp = get_saved_envp() ? get_saved_envp() : environ;
  execve(path, argv, envp);
  return false;
}

namespace {

// The "w" streams of open_file with the replacements they finish. Never
// destroyed: files are still closed by static destructors at exit.
struct OPEN_REPLACEMENTS {
  struct ENTRY {
    FILE* stream;
    std::unique_ptr<FILE_REPLACEMENT> replacement;
  };
  std::mutex lock;
  std::vector<ENTRY> entries;
};

OPEN_REPLACEMENTS& open_replacements() {
  static OPEN_REPLACEMENTS* registry = new OPEN_REPLACEMENTS;
  return *registry;
}

std::unique_ptr<FILE_REPLACEMENT> take_replacement(FILE* file) {
  OPEN_REPLACEMENTS& open = open_replacements();
  std::lock_guard<std::mutex> hold(open.lock);
  for (size_t i = 0; i < open.entries.size(); ++i) {
    if (open.entries[i].stream != file) continue;
    std::unique_ptr<FILE_REPLACEMENT> found = std::move(open.entries[i].replacement);
    open.entries.erase(open.entries.begin() + static_cast<std::ptrdiff_t>(i));
    return found;
  }
  return nullptr;
}

FILE* stream_of(int fd, const char* mode) {
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, mode);
  if (!file) close(fd);
  return file;
}

// Reads and updates take regular files only: a FIFO would wait for ever
// for a writer, and a folder or a device holds no file's bytes. Opened
// without blocking and checked on the descriptor, so that what is checked
// is what is read; errno is EISDIR for a folder and EINVAL for the rest.
int open_regular(int at, const char* path, int flags) {
  const int fd = openat(at, path, flags | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  int code = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  if (code == 0) {
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) code = errno;
  }
  if (code == 0) return fd;
  close(fd);
  errno = code;
  return -1;
}

// Where a name in folder is looked up: in this run's temporary folder
// through the descriptor held since its making (whatever has taken its
// path since), elsewhere by the full path.
struct LOOKUP {
  int at;
  const char* name;
};

LOOKUP look_up(const FOLDER& folder, const char* name, const char* path) {
  const int held = strchr(name, '/') ? -1 : temporary_folder_descriptor_for(folder.path, strlen(folder.path));
  return held >= 0 ? LOOKUP{held, name} : LOOKUP{AT_FDCWD, path};
}

// "w" modes: a fresh file that close_file renames over the target.
FILE* open_replacement(const FOLDER& folder, const char* name, const char* path, const char* mode) {
  struct stat st;
  const LOOKUP where = look_up(folder, name, path);
  if (fstatat(where.at, where.name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      (S_ISDIR(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return nullptr;
    }
    // A device cannot be replaced: it is what is written to. A pipe or a
    // socket is replaced like a file: opening it could wait for ever.
    const int access = strchr(mode, '+') ? O_RDWR : O_WRONLY;
    return stream_of(openat(where.at, where.name, access | O_TRUNC | O_NOFOLLOW | O_CLOEXEC), mode);
  }
  auto replacement = std::make_unique<FILE_REPLACEMENT>();
  if (!replacement->begin(folder, name, FILE_REPLACEMENT::PERMISSIONS_OF_TARGET)) {
    errno = replacement->error;
    return nullptr;
  }
  FILE* file = replacement->stream(mode);
  if (!file) return nullptr;  // the replacement is abandoned
  OPEN_REPLACEMENTS& open = open_replacements();
  std::lock_guard<std::mutex> hold(open.lock);
  open.entries.push_back({file, std::move(replacement)});
  return file;
}

}  // namespace

bool close_file(FILE* file) {
  if (!file) return false;
  if (std::unique_ptr<FILE_REPLACEMENT> replacement = take_replacement(file))
    return replacement->commit();
  return fclose(file) == 0;
}

void discard_file(FILE* file) {
  if (!file) return;
  if (std::unique_ptr<FILE_REPLACEMENT> replacement = take_replacement(file)) {
    replacement->abandon();
    return;
  }
  fclose(file);
}

FILE* open_file(const FOLDER& folder, const char* name, const char* mode) {
  if (!name || !*name || !mode || !*mode) return nullptr;
  char path[kPathSize];
  if (!join_path(path, sizeof path, folder.path, name)) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  const bool update = strchr(mode, '+') != nullptr;
  const LOOKUP where = look_up(folder, name, path);
  switch (mode[0]) {
    case 'w':
      return open_replacement(folder, name, path, mode);
    case 'a':
      return stream_of(openat(where.at, where.name,
                              (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0666),
                       mode);
    case 'r':
      break;
    default:
      errno = EINVAL;
      return nullptr;
  }
  if (!update) return stream_of(open_regular(where.at, where.name, O_RDONLY), mode);
  int fd = open_regular(where.at, where.name, O_RDWR | O_NOFOLLOW);
  if (fd >= 0 || errno != ENOENT) return stream_of(fd, mode);

  // Only a missing file is created for update; an existing file that could
  // not be opened is never truncated.
  const char* create_mode = strchr(mode, 'b') ? "wb" : "w";
  fd = openat(where.at, where.name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    // Made by someone else in the meantime: open it as asked instead.
    return errno == EEXIST ? stream_of(open_regular(where.at, where.name, O_RDWR | O_NOFOLLOW), mode) : nullptr;
  }
  return stream_of(fd, create_mode);
}

bool rename_file(const FOLDER& folder, const char* name, const FOLDER& target,
                 const char* target_name) {
  if (!name || !*name) return false;
  if (!target_name) target_name = name;
  char from[kPathSize], to[kPathSize];
  if (!join_path(from, sizeof from, folder.path, name) ||
      !join_path(to, sizeof to, target.path, target_name))
    return false;
  return rename(from, to) == 0;
}

bool remove_file(const FOLDER& folder, const char* name) {
  char path[kPathSize];
  if (!name || !*name || !join_path(path, sizeof path, folder.path, name)) return false;
  // As remove(): a file, else an empty folder.
  const LOOKUP where = look_up(folder, name, path);
  return unlinkat(where.at, where.name, 0) == 0 ||
         ((errno == EISDIR || errno == EPERM) && unlinkat(where.at, where.name, AT_REMOVEDIR) == 0);
}

bool remove_folder(const FOLDER& folder, const char* name, bool empty_first) {
  char path[kPathSize];
  struct stat st;
  if (!name || !*name || !join_path(path, sizeof path, folder.path, name) || lstat(path, &st) != 0)
    return false;
  if (S_ISLNK(st.st_mode)) return unlink(path) == 0;
  if (empty_first && !remove_folder_contents(path)) return false;
  return rmdir(path) == 0;
}

bool make_folder(FOLDER* folder, const char* name, bool create) {
  char path[kPathSize];
  if (!folder || !name || !*name || !join_path(path, sizeof path, folder->path, name)) return false;
  if (is_directory(path)) return folder->set_absolute(path);
  // Made on its parent's descriptor, never through another user's link.
  FOLDER made;
  FOLDER_HOLD hold;
  return create && made.set_absolute(path) && hold.reach(made, FOLDER_HOLD::MAKE::LAST) &&
         folder->set_absolute(path);
}

bool set_folder_if_directory(FOLDER* folder, const char* path) {
  return folder && is_directory(path) && folder->set_absolute(path);
}

bool folder_up(FOLDER* folder) {
  if (!folder) return false;
  char path[kPathSize];
  size_t length = strlen(folder->path);
  if (length > 0 && folder->path[length - 1] == '/') --length;
  if (length == 0) return false;
  memcpy(path, folder->path, length);
  path[length] = '\0';
  if (same_folder_text(path, get_home_folder())) return false;
  char* slash = strrchr(path, '/');
  if (!slash) return false;
  if (slash == path) slash[1] = '\0';
  else *slash = '\0';
  return is_directory(path) && folder->set_absolute(path);
}

bool same_path(const FOLDER& a, const FOLDER& b) {
  return strcmp(a.path, b.path) == 0;
}

const char* get_folder_name(const FOLDER& folder) {
  static char name[kPathSize];
  if (same_folder_text(folder.path, get_home_folder())) return "Home";
  size_t length = trimmed_length(folder.path);
  if (length == 0 || (length == 1 && folder.path[0] == '/')) return "File System";
  size_t start = length;
  while (start > 0 && folder.path[start - 1] != '/') --start;
  memcpy(name, folder.path + start, length - start);
  name[length - start] = '\0';
  return name;
}

FOLDER_LIST* list_folder(const FOLDER& folder, const char* pattern, bool show_hidden,
                         uint32_t match_mode, bool filter_folders) {
  if (!pattern) pattern = "";
  if (strlen(pattern) >= kNameSize) return nullptr;
  struct dirent** names = nullptr;
  int count = scandir(folder.path, &names, skip_dot_entries, alphasort);
  if (count <= 0) {
    free(names);
    return nullptr;
  }
  FOLDER_LIST* list = new FOLDER_LIST;
  list->names = names;
  list->count = count;
  list->show_hidden = show_hidden ? 1 : 0;
  memcpy(list->pattern, pattern, strlen(pattern) + 1);
  list->match_mode = match_mode;
  list->folder = folder;
  list->filter_folders = filter_folders ? 1 : 0;
  return list;
}

bool list_folder_filtered(FOLDER_LIST* list, FOLDER_LIST_ENTRY* entry) {
  if (!list || !entry) return false;
  while (list->cursor < list->count) {
    const char* name = list->names[list->cursor++]->d_name;
    if (name[0] == '.' && !list->show_hidden) continue;
    char path[kPathSize];
    struct stat st;
    if (!join_path(path, sizeof path, list->folder.path, name) || stat(path, &st) != 0) continue;
    bool passes_unfiltered = S_ISDIR(st.st_mode) && !list->filter_folders;
    if (list->pattern[0] && !passes_unfiltered && !name_matches(name, list->pattern, list->match_mode))
      continue;
    copy_text(entry->name, sizeof entry->name, name);
    entry->folder = list->folder;
    fill_info(&entry->info, name, st);
    entry->whole_size = static_cast<uint64_t>(st.st_size);
    return true;
  }
  return false;
}

void free_folder_list(FOLDER_LIST* list) {
  if (!list) return;
  for (int i = 0; i < list->count; ++i) free(list->names[i]);
  free(list->names);
  delete list;
}

// ---- What portable folder and data-file code asks of the file system.

bool is_real_directory(const char* path) {
  struct stat st;
  return path && lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

PATH_ENTRY path_entry(const char* path) {
  struct stat st;
  if (path && lstat(path, &st) == 0) return PATH_ENTRY::PRESENT;
  return path && errno == ENOENT ? PATH_ENTRY::ABSENT : PATH_ENTRY::UNKNOWN;
}

bool is_write_only(FILE* stream) {
  return stream && (fcntl(fileno(stream), F_GETFL) & O_ACCMODE) == O_WRONLY;
}

int get_drive_count() {
  std::vector<MOUNT> drives;
  read_drives(drives);
  return 2 + static_cast<int>(drives.size());
}

bool get_drive_path(FOLDER* folder, int drive) {
  if (!folder || drive < 0) return false;
  if (drive == 0) return folder->set_absolute(get_home_folder());
  if (drive == 1) return folder->set_absolute("/");
  std::vector<MOUNT> drives;
  if (!read_drives(drives) || static_cast<size_t>(drive - 2) >= drives.size()) return false;
  return folder->set_absolute(drives[drive - 2].mount_point.c_str());
}

const char* get_drive_name(int drive) {
  static char name[kPathSize];
  if (drive == 0) return "Home";
  if (drive == 1) return "File System";
  std::vector<MOUNT> drives;
  if (drive < 0 || !read_drives(drives) || static_cast<size_t>(drive - 2) >= drives.size())
    return nullptr;
  return copy_text(name, sizeof name, drives[drive - 2].mount_point.c_str()) ? name : nullptr;
}

int get_drive_of_folder(const FOLDER& folder) {
  // The deepest folder that holds the path wins, and only whole
  // components count: "/media/usb" does not hold "/media/usb2".
  int best = 1;
  size_t best_length = folder_prefix_length(folder.path, get_home_folder());
  if (best_length > 0) best = 0;
  std::vector<MOUNT> drives;
  read_drives(drives);
  for (size_t i = 0; i < drives.size(); ++i) {
    size_t length = folder_prefix_length(folder.path, drives[i].mount_point.c_str());
    if (length > best_length) {
      best_length = length;
      best = static_cast<int>(i) + 2;
    }
  }
  return best;
}

int get_drive_type(int drive) {
  if (drive == 0 || drive == 1) return 4;
  std::vector<MOUNT> drives;
  if (drive < 0 || !read_drives(drives) || static_cast<size_t>(drive - 2) >= drives.size()) return 0;
  const MOUNT& mount = drives[drive - 2];
  if (mount.device.rfind("/dev/cdrom", 0) == 0) return 1;
  if (mount.device.rfind("/dev/floppy", 0) == 0 || mount.device.rfind("/dev/fd", 0) == 0) return 2;
  const FILE_SYSTEM_TYPE* file_system = find_file_system(mount.type);
  return file_system ? file_system->type : 0;
}

namespace {

// The program's name for the standard folders; false when there is none
// usable as a folder name (it may not climb out of its parent).
bool standard_name(char* name, size_t size, const char* application_name) {
  if (application_name) {
    if (!copy_text(name, size, application_name)) return false;
  } else {
    get_program_path(nullptr, name, size);
  }
  return name[0] && !has_dot_dot_component(name);
}

// The root, the folder made under it and the whole path of a standard
// folder of types 1 to 6.
bool standard_path_parts(int type, const char* name, char* root_copy, char* leaf, char* path) {
  static const char* const kSubFolders[] = {"bin", "data", "custdata"};
  const char* sub_folder = kSubFolders[(type - 1) % 3];
  const char* root;
  if (type <= 3) {
    root = get_home_folder();
    leaf[0] = '.';
    memcpy(leaf + 1, name, strlen(name) + 1);
  } else {
    root = system_path("/opt");
    if (!root) return false;
    memcpy(leaf, name, strlen(name) + 1);
  }
  char middle[kPathSize];
  return copy_text(root_copy, kPathSize, root) && join_path(middle, sizeof middle, root_copy, leaf) &&
         join_path(path, kPathSize, middle, sub_folder);
}

}  // namespace

bool standard_folder_path(char* path, size_t size, int type, const char* application_name) {
  char name[kNameSize], root_copy[kPathSize], leaf[kNameSize + 1], full[kPathSize];
  if (type < 1 || type > 6 || !standard_name(name, sizeof name, application_name) ||
      !standard_path_parts(type, name, root_copy, leaf, full))
    return false;
  return copy_text(path, size, full);
}

bool get_standard_folder(FOLDER* folder, int type, const char* application_name, bool create) {
  if (!folder || type < 0 || type > 7) return false;
  if (type == 0) {
    get_program_path(folder, nullptr, 0);  // the home folder when unreadable
    return true;
  }
  char name[kNameSize];
  if (!standard_name(name, sizeof name, application_name)) return false;
  if (type == 7) return make_temporary_folder(folder, name);

  char root_copy[kPathSize], leaf[kNameSize + 1], path[kPathSize];
  if (!standard_path_parts(type, name, root_copy, leaf, path)) return false;
  const char* sub_folder = strrchr(path, '/') + 1;

  if (!is_directory(path)) {
    if (!create) return false;
    FOLDER base;
    if (!base.set_absolute(root_copy)) return false;
    std::string relative = std::string("$HERE/") + leaf + "/" + sub_folder;
    FOLDER made = base;
    if (!made.set_path(relative.c_str(), true, &base)) return false;
    if (type == 5 || type == 6) {
      const FOLDER_HOLD hold(made);
      const int fd = hold.holding() ? openat(hold.held_descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
      if (fd >= 0) {
        fchmod(fd, 01777);
        close(fd);
      }
    }
  }
  if (!folder->set_absolute(path)) return false;

  if (type == 3) {
    // A visible way to the settings from the user's Documents folder.
    char documents[kPathSize], link[kPathSize];
    if (join_path(documents, sizeof documents, get_home_folder(), "Documents") &&
        is_directory(documents)) {
      char link_name[kNameSize];
      size_t length = strlen(name);
      for (size_t i = 0; i <= length; ++i) link_name[i] = name[i] == '/' ? '-' : name[i];
      struct stat st;
      if (join_path(link, sizeof link, documents, link_name) && lstat(link, &st) != 0 &&
          errno == ENOENT && symlink(path, link) == 0)
        folder->set_absolute(link);
    }
  }
  return true;
}

PAYLOAD_INFO payload_offset_of(const char* path) {
  PAYLOAD_INFO info{false, 0};
  int fd = path ? open(path, O_RDONLY | O_CLOEXEC) : -1;
  if (fd < 0) return info;
  unsigned char header[64];
  struct stat st;
  bool ok = pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header) &&
            memcmp(header, "\x7f" "ELF", 4) == 0 && header[4] == 2 /* 64-bit */ &&
            (header[5] == 1 || header[5] == 2) && fstat(fd, &st) == 0;
  if (ok) {
    bool big_endian = header[5] == 2;
    auto field = [big_endian](const unsigned char* bytes, int size) {
      uint64_t value = 0;
      for (int i = 0; i < size; ++i) value |= static_cast<uint64_t>(bytes[big_endian ? size - 1 - i : i]) << (8 * i);
      return value;
    };
    uint64_t table = field(header + 0x28, 8);
    uint64_t entry_size = field(header + 0x3A, 2);
    uint64_t entries = field(header + 0x3C, 2);
    if (table != 0 && entries == 0 && entry_size >= 0x28) {
      // Extended numbering: the count sits in the first entry's sh_size.
      unsigned char first[0x28];
      if (pread(fd, first, sizeof first, static_cast<off_t>(table)) == static_cast<ssize_t>(sizeof first))
        entries = field(first + 0x20, 8);
    }
    if (table != 0 && entries <= 0xFFFFFFFFu) {
      uint64_t table_size = entries * entry_size;
      uint64_t end = table + table_size;
      if (end >= table && end <= 0xFFFFFFFFu) {
        info.offset = static_cast<uint32_t>(end);
        info.present = static_cast<uint64_t>(st.st_size) > end;
      }
    }
  }
  close(fd);
  return info;
}

PAYLOAD_INFO payload_offset() {
  return payload_offset_of("/proc/self/exe");
}

const char* get_temporary_folder_failures() { return temporary_folder_failures.c_str(); }

void set_home_folder_override(const char* path) {
  home_override_set = path && copy_text(home_override, sizeof home_override, path);
  if (home_override_set) home_override[trimmed_length(home_override)] = '\0';
}

void set_system_root_override(const char* path) {
  // Room is kept for the fixed paths that go behind the root.
  if (!path || strlen(path) >= kPathSize - 256) {
    system_root[0] = '\0';
    return;
  }
  memcpy(system_root, path, strlen(path) + 1);
  system_root[trimmed_length(system_root)] = '\0';
  if (strcmp(system_root, "/") == 0) system_root[0] = '\0';
}

const char* system_path(const char* fixed_path) {
  static char buffers[4][kPathSize];
  static int next = 0;
  if (!fixed_path) return nullptr;
  char* buffer = buffers[next];
  next = (next + 1) % 4;
  size_t root_length = strlen(system_root);
  size_t length = strlen(fixed_path);
  if (root_length + length >= kPathSize) return nullptr;
  memcpy(buffer, system_root, root_length);
  memcpy(buffer + root_length, fixed_path, length + 1);
  return buffer;
}

void set_mounts_file_override(const char* path) {
  mounts_override_set = path && copy_text(mounts_override, sizeof mounts_override, path);
}

namespace {
void (*file_step_hook)(FILE_STEP, const char*) = nullptr;
}  // namespace

void set_file_step_hook(void (*hook)(FILE_STEP, const char*)) { file_step_hook = hook; }

void note_file_step(FILE_STEP step, const char* path) {
  if (file_step_hook) file_step_hook(step, path);
}

// ---- Narrow services for the archive and the configuration files ---------

FILE_KIND get_file_kind(const FOLDER& folder, const char* name) {
  char path[kPathSize];
  struct stat st;
  if (!name || !join_path(path, sizeof path, folder.path, name)) return FILE_KIND::UNKNOWN;
  if (stat(path, &st) != 0) return errno == ENOENT ? FILE_KIND::MISSING : FILE_KIND::UNKNOWN;
  if (S_ISREG(st.st_mode)) return FILE_KIND::REGULAR;
  return S_ISDIR(st.st_mode) ? FILE_KIND::DIRECTORY : FILE_KIND::OTHER;
}

const char* non_regular_kind(const FOLDER& folder, const char* name) {
  char path[kPathSize];
  struct stat st;
  if (!name || !join_path(path, sizeof path, folder.path, name) || stat(path, &st) != 0) return nullptr;
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  if (S_ISCHR(st.st_mode)) return "a character device";
  if (S_ISBLK(st.st_mode)) return "a block device";
  return nullptr;
}

NEW_FILE create_new_file(const FOLDER& folder, const char* name, uint32_t permissions) {
  char path[kPathSize];
  if (!name || !*name || !join_path(path, sizeof path, folder.path, name)) return NEW_FILE::FAILED;
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(permissions));
  if (fd < 0) return errno == EEXIST ? NEW_FILE::EXISTS : NEW_FILE::FAILED;
  close(fd);
  return NEW_FILE::CREATED;
}
