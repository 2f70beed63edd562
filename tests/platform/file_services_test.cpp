#include "file_services.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstring>
#include <elf.h>
#include <filesystem>
#include <map>
#include <pwd.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <tuple>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "append_file.h"
#include "data_file.h"
#include "errors.h"
#include "folder_hold.h"
#include "platform.h"
#include "replace_file.h"
#include "picture_compare.h"
#include "test_support.h"
#include "text_file.h"

namespace ts = test_support;

// While set, naming a file through its descriptor is refused, as on a file system without it.
static bool links_refused = false;
extern "C" int linkat(int from, const char* name, int at, const char* to, int flags) {
  if (links_refused) return errno = EPERM, -1;
  return static_cast<int>(syscall(SYS_linkat, from, name, at, to, flags));
}

namespace {

FOLDER folder_at(const std::string& path) {
  FOLDER folder;
  EXPECT_TRUE(folder.set_absolute(path.c_str()));
  return folder;
}

// The text written into the named file through open_file in that mode; false when any step fails.
bool write_through(const FOLDER& folder, const char* name, const char* mode, const char* text) {
  FILE* file = open_file(folder, name, mode);
  return file && fputs(text, file) >= 0 && close_file(file);
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

size_t open_descriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

bool is_link(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The names in a folder, sorted.
std::vector<std::string> names_in(const std::string& folder) {
  FOLDER_LIST* list = list_folder(folder_at(folder), nullptr, true, 0, true);
  std::vector<std::string> names;
  FOLDER_LIST_ENTRY entry;
  while (list_folder_filtered(list, &entry)) names.push_back(entry.name);
  free_folder_list(list);
  std::sort(names.begin(), names.end());
  return names;
}

std::string self_path() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  buffer[length > 0 ? length : 0] = '\0';
  return buffer;
}

// Home, system root and mount table all point into one scratch folder.
class FileServicesTest : public ::testing::Test {
protected:
  void SetUp() override {
    set_message_box_handler(message_box_to_stderr);
    home = scratch.file("home");
    root = scratch.file("root");
    work = scratch.file("work");
    for (const std::string& dir : {home, root, root + "/opt", root + "/tmp", work})
      ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    set_home_folder_override(home.c_str());
    set_system_root_override(root.c_str());
    mounts = scratch.file("mounts");
    ASSERT_TRUE(ts::write_file(mounts, "/dev/root / ext4 rw 0 0\nproc /proc proc rw 0 0\n"));
    set_mounts_file_override(mounts.c_str());
    env.set("TMPDIR", std::nullopt);
  }
  void TearDown() override {
    remove_temporary_folder();
    set_home_folder_override(nullptr);
    set_system_root_override(nullptr);
    set_mounts_file_override(nullptr);
  }

  ts::ScratchDir scratch;
  ts::EnvironmentGuard env;
  std::string home, root, work, mounts;
};

TEST_F(FileServicesTest, JoinsPathsWithExactlyOneSlash) {
  char out[32];
  for (auto [folder, joined] : {std::pair{"/a", "/a/b"}, {"/a/", "/a/b"}, {"/", "/b"}}) {
    ASSERT_TRUE(join_path(out, sizeof out, folder, "b"));
    EXPECT_STREQ(out, joined);
  }

  for (auto [folder, name, made] : {std::tuple<const char*, const char*, const char*>{"/a/", "b", "/a/b"},
                                    {"/a", "b", "/a/b"}, {"/a", nullptr, "/a/"}, {"", nullptr, "/"}})
    EXPECT_STREQ(make_path(folder_at(folder), name), made) << folder;
  const std::string fits(FOLDER_PATH_SIZE - 4, 'n');  // "/a/" and the terminator take the rest
  EXPECT_STREQ(make_path(folder_at("/a"), fits.c_str()), ("/a/" + fits).c_str());
  EXPECT_EQ(make_path(folder_at("/a"), (fits + "n").c_str()), nullptr);

  // Joins that do not fit fail.
  char short_out[8];
  EXPECT_TRUE(join_path(short_out, sizeof short_out, "/abc", "de"));  // 7 characters and the end
  EXPECT_FALSE(join_path(short_out, sizeof short_out, "/abc", "def"));
  std::string long_folder(FOLDER_PATH_SIZE - 2, 'x');
  FOLDER folder = folder_at("/" + long_folder.substr(1));
  EXPECT_EQ(make_path(folder, "name"), nullptr);
  EXPECT_EQ(open_file(folder, "name", "wb"), nullptr);
  EXPECT_FALSE(make_folder(&folder, "name", true));
}

TEST_F(FileServicesTest, OpenForUpdateCreatesOnlyMissingFiles) {
  FOLDER folder = folder_at(work);
  EXPECT_TRUE(write_through(folder, "new.bin", "r+b", "abc"));
  EXPECT_EQ(ts::read_file(work + "/new.bin"), "abc");

  // An existing file is opened for update, not truncated.
  FILE* file = open_file(folder, "new.bin", "r+");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(fgetc(file), 'a');
  EXPECT_TRUE(close_file(file));
  EXPECT_EQ(ts::read_file(work + "/new.bin"), "abc");

  // Failures other than a missing file create nothing.
  ASSERT_EQ(mkdir((work + "/dir").c_str(), 0755), 0);
  for (auto [at, name, mode] : {std::tuple{work, "dir", "r+b"}, {work + "/new.bin", "below", "r+b"},
                                 {work, "missing", "rb"}, {work, "", "wb"}, {work, "x", ""}})
    EXPECT_EQ(open_file(folder_at(at), name, mode), nullptr) << name << " " << mode;
  EXPECT_FALSE(ts::file_exists(work + "/missing"));
  EXPECT_FALSE(close_file(nullptr));

  // A file made only where nothing has the name yet.
  const size_t descriptors = open_descriptors();
  for (auto [name, result] : {std::pair{"made.bin", NEW_FILE::CREATED}, {"made.bin", NEW_FILE::EXISTS},
                              {"dir", NEW_FILE::EXISTS}, {"", NEW_FILE::FAILED}, {nullptr, NEW_FILE::FAILED},
                              {"no/such", NEW_FILE::FAILED}})
    EXPECT_EQ(create_new_file(folder, name, 0600), result) << name;
  EXPECT_EQ(mode_of(work + "/made.bin"), 0600u);
  {  // a held append goes on at the end, and lets go of the file when done
    APPEND_FILE held;
    ASSERT_TRUE(held.open(folder, "new.bin"));
    EXPECT_TRUE(held.append("de", 2) && held.append("f", 1));
    // A descriptor handed over replaces the one held, which is let go.
    EXPECT_TRUE(held.adopt(::open((work + "/made.bin").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)));
    EXPECT_TRUE(held.append("m", 1));
    EXPECT_FALSE(held.adopt(-1));
    EXPECT_FALSE(held.append("x", 1));
    EXPECT_FALSE(held.close());
  }
  EXPECT_EQ(ts::read_file(work + "/made.bin"), "m");
  // Also as descriptor 0, in a program started with its standard input closed (a file found there too);
  // a descriptor open only for reading refuses the append at once.
  EXPECT_EXIT(
      {
        close(0);
        alarm(20);  // an append that never ends fails the test
        APPEND_FILE held;
        _exit(file_exists(folder, "made.bin") && held.open(folder, "new.bin") && held.append("g", 1) && held.close() &&
              held.adopt(::open((work + "/made.bin").c_str(), O_RDONLY | O_CLOEXEC)) && !held.append("x", 1) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ts::read_file(work + "/new.bin"), "abcdefg");
  EXPECT_EQ(open_descriptors(), descriptors);

  // Reading and updating take a regular file only, and say what else is
  // there at once: a FIFO is not waited on.
  ASSERT_EQ(mkfifo((work + "/fifo").c_str(), 0600), 0);
  const struct {
    const char* name;
    const char* mode;
    int error;
    const char* kind;
  } refused[] = {{"fifo", "r+b", EINVAL, "a FIFO"}, {"fifo", "rb", EINVAL, "a FIFO"},
                 {"dir", "r", EISDIR, "a folder"}, {"dir", "r+", EISDIR, "a folder"}};
  for (const auto& row : refused) {
    SCOPED_TRACE(std::string(row.name) + " " + row.mode);
    errno = 0;
    EXPECT_EQ(open_file(folder, row.name, row.mode), nullptr);
    EXPECT_EQ(errno, row.error);
    EXPECT_STREQ(non_regular_kind(folder, row.name), row.kind);
  }
  EXPECT_EQ(non_regular_kind(folder, "new.bin"), nullptr);
  EXPECT_EQ(non_regular_kind(folder, "missing"), nullptr);

  // What is at a name, asked before writing there: links are followed
  // only where the question says so.
  ASSERT_EQ(symlink((work + "/dir").c_str(), (work + "/to_dir").c_str()), 0);
  const struct {
    const char* name;
    FILE_KIND kind;
    bool real_directory;
    PATH_ENTRY entry;
  } kinds[] = {{"new.bin", FILE_KIND::REGULAR, false, PATH_ENTRY::PRESENT},
               {"dir", FILE_KIND::DIRECTORY, true, PATH_ENTRY::PRESENT},
               {"to_dir", FILE_KIND::DIRECTORY, false, PATH_ENTRY::PRESENT},
               {"fifo", FILE_KIND::OTHER, false, PATH_ENTRY::PRESENT},
               {"missing", FILE_KIND::MISSING, false, PATH_ENTRY::ABSENT},
               {"new.bin/x", FILE_KIND::UNKNOWN, false, PATH_ENTRY::UNKNOWN}};
  for (const auto& row : kinds) {
    const std::string path = work + "/" + row.name;
    EXPECT_EQ(get_file_kind(folder, row.name), row.kind) << row.name;
    EXPECT_EQ(is_real_directory(path.c_str()), row.real_directory) << row.name;
    EXPECT_EQ(path_entry(path.c_str()), row.entry) << row.name;
  }
  for (const char* mode : {"wb", "rb", "r+b", "ab"}) {
    FILE* file = open_file(folder, "new.bin", mode);
    EXPECT_EQ(is_write_only(file), mode[0] != 'r') << mode;
    EXPECT_TRUE(close_file(file)) << mode;
  }
  EXPECT_FALSE(is_write_only(nullptr));
}

// Every way the platform writes a file, with a link planted at the name,
// to a file or to nothing: the link's target keeps its bytes and mode (or
// is not made), and a file written anew takes the link's place.
TEST_F(FileServicesTest, WritersNeverFollowALinkAtTheName) {
  const FOLDER folder = folder_at(work);
  struct WRITER {
    const char* name;
    bool (*write)(const FOLDER& folder);
    bool replaces;  // a new file stands at the name afterwards
  } writers[] = {
      {"open_file w", [](const FOLDER& f) { return write_through(f, "planted", "wb", "new"); }, true},
      {"data file", [](const FOLDER& f) {
         DATA_FILE* file = f.open_data_file("planted", 1, 0);
         return file && file->write("new", 3) == 3 && FOLDER::close_data_file(file);
       }, true},
      {"text file", [](const FOLDER& f) {
         TEXT_FILE* file = f.open_text_file("planted", 1);
         return file && file->write_string("new") && FOLDER::close_text_file(file);
       }, true},
      {"copy", [](const FOLDER& f) { return copy_file(f, "source", f, "planted"); }, true},
      {"open_file a", [](const FOLDER& f) { return open_file(f, "planted", "ab") != nullptr; }, false},
      {"open_file r+", [](const FOLDER& f) { return open_file(f, "planted", "r+b") != nullptr; }, false},
      {"held append", [](const FOLDER& f) {
         APPEND_FILE file;
         return file.open(f, "planted") || file.append("new", 3);
       }, false},
      {"chmod", [](const FOLDER& f) { return chmod_file(f, "planted", 06777); }, false},
  };
  const std::string victim = scratch.file("victim"), nowhere = scratch.file("nowhere");
  ASSERT_TRUE(ts::write_file(work + "/source", "new"));
  for (const WRITER& writer : writers) {
    for (const std::string& target : {victim, nowhere}) {
      SCOPED_TRACE(std::string(writer.name) + " to " + target);
      ASSERT_TRUE(ts::write_file(victim, "precious"));
      ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
      unlink((work + "/planted").c_str());
      ASSERT_EQ(symlink(target.c_str(), (work + "/planted").c_str()), 0);
      EXPECT_EQ(writer.write(folder), writer.replaces);
      EXPECT_EQ(ts::read_file(victim), "precious");
      EXPECT_EQ(mode_of(victim), 0600u);
      EXPECT_FALSE(ts::file_exists(nowhere));
      EXPECT_EQ(is_link(work + "/planted"), !writer.replaces);
      if (writer.replaces) {
        EXPECT_EQ(ts::read_file(work + "/planted"), "new");
      }
      // No fresh file is left beside it; a link to nothing is not listed.
      std::vector<std::string> left = {"source"};
      if (writer.replaces || target == victim) left.insert(left.begin(), "planted");
      EXPECT_EQ(names_in(work), left);
    }
  }
}

// Both ways of making the fresh file (unnamed where the file system can,
// and under a hidden name) give the new bytes with exactly the bits asked
// for, whatever the umask took, in place of a file or a link at the name
// (whose target stays as it was), and leave nothing else behind. Only a
// named fresh file shows in the folder before the commit, as does the
// process's first unnamed one, which is named at once.
TEST_F(FileServicesTest, ReplacementsEitherWayTakeTheNameWholeWithTheirBits) {
  const int probe = open(work.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  const bool unnamed_possible = probe >= 0;
  if (probe >= 0) close(probe);
  enum STANDING { NOTHING, OLD_FILE, LINK, DANGLING_LINK };
  struct ROW {
    STANDING standing;
    int32_t asked;
    mode_t umask_bits;
    mode_t wanted;
  } rows[] = {
      {NOTHING, 0755, 022, 0755},         {NOTHING, 0755, 077, 0755},
      {NOTHING, 06755, 022, 06755},       {OLD_FILE, 0600, 0, 0600},
      {LINK, 0777, 0, 0777},              {DANGLING_LINK, 0644, 022, 0644},
      {NOTHING, FILE_REPLACEMENT::PERMISSIONS_DEFAULT, 027, 0640}, {NOTHING, 0, 022, 0},
  };
  const std::string victim = scratch.file("victim");
  const mode_t before = umask(022);
  for (const bool unnamed : {false, true}) {
    FILE_REPLACEMENT::allow_unnamed_files(unnamed);
    bool first = true;
    for (const ROW& row : rows) {
      SCOPED_TRACE(testing::Message() << (unnamed ? "unnamed " : "named ") << row.standing << " "
                                      << std::oct << row.asked << " under umask " << row.umask_bits);
      unlink((work + "/made").c_str());
      ASSERT_TRUE(ts::write_file(victim, "precious"));
      ASSERT_EQ(chmod(victim.c_str(), 0600), 0);
      const std::string link_to = row.standing == LINK ? victim : work + "/nowhere";
      if (row.standing == OLD_FILE) {
        ASSERT_TRUE(ts::write_file(work + "/made", "old"));
      } else if (row.standing != NOTHING) {
        ASSERT_EQ(symlink(link_to.c_str(), (work + "/made").c_str()), 0);
      }
      const std::vector<std::string> standing = names_in(work);
      umask(row.umask_bits);
      FILE_REPLACEMENT file;
      ASSERT_TRUE(file.begin(folder_at(work), "made", row.asked));
      const bool shown = names_in(work) != standing;
      if (unnamed_possible) {
        EXPECT_EQ(shown, !unnamed || first);
      }
      first = false;
      EXPECT_TRUE(file.write("new", 3) && file.commit());
      umask(022);
      EXPECT_EQ(std::tuple(mode_of(work + "/made"), ts::read_file(work + "/made"), is_link(work + "/made"),
                           ts::read_file(victim), mode_of(victim), ts::file_exists(work + "/nowhere")),
                std::tuple(row.wanted, "new", false, "precious", 0600u, false));
      EXPECT_EQ(names_in(work), std::vector<std::string>{"made"});
    }
  }
  // A folder at the name refuses the file, and what was made for it goes.
  ASSERT_EQ(mkdir((work + "/folder").c_str(), 0755), 0);
  for (const bool unnamed : {true, false}) {  // the rows above left unnamed files allowed and tried
    if (!unnamed) FILE_REPLACEMENT::allow_unnamed_files(false);
    FILE_REPLACEMENT file;
    ASSERT_TRUE(file.begin(folder_at(work), "folder", 0644));
    EXPECT_FALSE(file.write("new", 3) && file.commit());
    EXPECT_EQ(std::pair(file.failed_step, file.error), std::pair(FILE_REPLACEMENT::STEP::RENAME, EISDIR));
    EXPECT_EQ(names_in(work), (std::vector<std::string>{"folder", "made"})) << unnamed;
  }
  links_refused = true;  // where the unnamed file cannot be named, a named one takes the name
  FILE_REPLACEMENT::allow_unnamed_files(true);
  FILE_REPLACEMENT named;
  EXPECT_TRUE(named.begin(folder_at(work), "made", 0644) && named.write("named", 5) && named.commit());
  EXPECT_EQ(ts::read_file(work + "/made"), "named");
  links_refused = false;
  FILE_REPLACEMENT::allow_unnamed_files(true);
  umask(before);

  // With standard input closed the fresh file, unnamed or named, may be descriptor 0; a check
  // of the folders above one (whatever its depth) leaves descriptor 0 free.
  EXPECT_EXIT(
      {
        close(0);
        for (const std::string& path : {work, scratch.path()}) FOLDER_HOLD().reach_trusted(folder_at(path));
        for (const char* name : {"unnamed", "named"}) {
          FILE_REPLACEMENT::allow_unnamed_files(name[0] == 'u');
          const bool free = fcntl(0, F_GETFD) == -1;
          FILE_REPLACEMENT zero;
          FILE* stream = zero.begin(folder_at(work), name, 0644) ? zero.stream("wb") : nullptr;
          if (!free || !stream || fputs(name, stream) < 0 || !zero.commit() || ts::read_file(work + "/" + name) != name)
            _exit(1);
        }
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");

  FILE_REPLACEMENT unbegun;  // nothing to write to: each step fails, the first is named
  EXPECT_FALSE(unbegun.write("x", 1));
  EXPECT_FALSE(unbegun.commit());
  EXPECT_EQ(unbegun.failed_step, FILE_REPLACEMENT::STEP::WRITE);
  EXPECT_EQ(unbegun.error, EBADF);
}

// Replacements given a held folder go into that folder, also once its
// path leads elsewhere (the folder moved, a link in its place), and still
// replace a link at the name; those not given it follow the path.
TEST_F(FileServicesTest, AHeldFolderTakesTheReplacementsMadeInIt) {
  const std::string victim = scratch.file("victim");
  ASSERT_TRUE(ts::write_file(victim, "precious"));
  for (const bool unnamed : {false, true}) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    FILE_REPLACEMENT::allow_unnamed_files(unnamed);
    const std::string held = work + (unnamed ? "/held_u" : "/held_n");
    const std::string moved = held + "_moved", elsewhere = held + "_elsewhere";
    ASSERT_EQ(mkdir(held.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    auto replace = [&](const char* name, const char* bytes, const FOLDER_HOLD* hold) {
      FILE_REPLACEMENT file;
      return file.begin(folder_at(held), name, 0644, hold) && file.write(bytes, strlen(bytes)) &&
             file.commit();
    };
    {
      FOLDER_HOLD hold(folder_at(held + "/"));
      ASSERT_TRUE(hold.holding());
      EXPECT_TRUE(replace("one", "1", &hold));
      ASSERT_EQ(rename(held.c_str(), moved.c_str()), 0);
      ASSERT_EQ(symlink(elsewhere.c_str(), held.c_str()), 0);
      ASSERT_EQ(symlink(victim.c_str(), (moved + "/two").c_str()), 0);
      EXPECT_TRUE(replace("two", "2", &hold));
      EXPECT_TRUE(replace("three", "3", nullptr));
      // The folder whose path begins the held one's is not the held one.
      FILE_REPLACEMENT above;
      EXPECT_TRUE(above.begin(folder_at(work), "four", 0644, &hold) && above.write("4", 1) && above.commit());
    }
    EXPECT_EQ(ts::read_file(work + "/four"), "4");
    EXPECT_EQ(names_in(moved), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(ts::read_file(moved + "/one"), "1");
    EXPECT_EQ(ts::read_file(moved + "/two"), "2");
    EXPECT_FALSE(is_link(moved + "/two"));
    EXPECT_EQ(mode_of(moved + "/two"), 0644u);
    EXPECT_EQ(names_in(elsewhere), std::vector<std::string>{"three"});
    EXPECT_EQ(ts::read_file(victim), "precious");
  }
  FILE_REPLACEMENT::allow_unnamed_files(true);
}

// The step hook (the installer keeps its undo list from it) hears of each
// folder made and each file put in place under its name, once, when it
// happened: not of a folder that was there, nor of a file given up.
TEST_F(FileServicesTest, StepHookHearsOfMadeFoldersAndNamedFiles) {
  static std::vector<std::pair<FILE_STEP, std::string>> steps;
  steps.clear();
  set_file_step_hook([](FILE_STEP step, const char* path) { steps.emplace_back(step, path); });
  FOLDER folder = folder_at(work);
  EXPECT_TRUE(make_folder(&folder, "new", true));
  folder = folder_at(work);
  EXPECT_TRUE(make_folder(&folder, "new", true));
  {
    FILE_REPLACEMENT named, dropped;
    ASSERT_TRUE(named.begin(folder_at(work), "named", 0644));
    EXPECT_TRUE(named.write("x", 1) && named.commit());
    ASSERT_TRUE(dropped.begin(folder_at(work), "dropped", 0644));
  }
  set_file_step_hook(nullptr);
  EXPECT_EQ(steps, (std::vector<std::pair<FILE_STEP, std::string>>{{FILE_STEP::FOLDER_MADE, work + "/new"},
                                                                    {FILE_STEP::FILE_NAMED, work + "/named"}}));
}

// A hold walks to its folder one component at a time: root's links in a
// folder only root may write to are followed, with absolute or relative
// targets (".." in them too), another user's folder in such a folder (a
// home) is entered, LAST makes only the folder itself, and a failure names
// where the walk stopped and the system's reason. Root's own folder where
// others may rename it (no sticky bit, or another user's folder) is
// refused, unless this process made it. What is written through the hold
// lands where the walk really went.
// A folder this process made is trusted where others may rename entries;
// one put at its name after it was removed is not, even at its inode.
TEST_F(FileServicesTest, AFolderAtTheInodeOfARemovedMadeOneIsNotTakenForIt) {
  ASSERT_EQ(mkdir((work + "/open").c_str(), 0777), 0);
  ASSERT_EQ(chmod((work + "/open").c_str(), 0777), 0);
  FOLDER_HOLD hold;
  std::map<uint64_t, std::string> made;  // path by inode
  for (int i = 0; i < 64; ++i) {
    const std::string path = work + "/open/made" + std::to_string(i);
    ASSERT_TRUE(hold.reach(folder_at(path), FOLDER_HOLD::MAKE::LAST));
    ASSERT_EQ(hold.made().size(), 1u);
    made[hold.made()[0].inode] = path;
    ASSERT_TRUE(hold.reach(folder_at(path)));  // still the folder made
  }
  hold.release();
  // Freed inodes go to later folders and files, the lowest free one of a
  // group first: folders made and kept here come to one of these, unless
  // other processes take them all meanwhile.
  for (const auto& [inode, path] : made) ASSERT_EQ(rmdir(path.c_str()), 0);
  std::string gone;
  struct stat st {};
  for (int i = 0; i < 5000 && gone.empty(); ++i) {
    const std::string probe = work + "/open/" + std::to_string(i);
    ASSERT_TRUE(mkdir(probe.c_str(), 0755) == 0 && stat(probe.c_str(), &st) == 0);
    if (made.count(st.st_ino)) {
      gone = made[st.st_ino];
      ASSERT_EQ(rename(probe.c_str(), gone.c_str()), 0);
    }
  }
  if (gone.empty()) GTEST_SKIP() << "this file system gave none of the inodes to a new folder";
  EXPECT_FALSE(hold.reach(folder_at(gone)));
  EXPECT_EQ(hold.failure().folder + ": " + hold.failure().reason(),
            gone + ": unsafe folder: it lies in a folder that other users may write to without the sticky bit");
}

TEST_F(FileServicesTest, AHoldFollowsOnlySafeLinksAndSaysWhereItStopped) {
  for (const char* folder : {"/real", "/sub", "/home_of_other", "/home_of_other/roots", "/open", "/open/sibling",
                             "/sticky", "/sticky/kept"})
    ASSERT_EQ(mkdir((work + folder).c_str(), 0755), 0);
  ASSERT_EQ(chown((work + "/home_of_other").c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod((work + "/open").c_str(), 0777), 0);
  ASSERT_EQ(chmod((work + "/sticky").c_str(), 01777), 0);
  ASSERT_EQ(symlink((work + "/real").c_str(), (work + "/open/link").c_str()), 0);
  ASSERT_EQ(symlink((work + "/real").c_str(), (work + "/theirs").c_str()), 0);
  ASSERT_EQ(lchown((work + "/theirs").c_str(), 65534, 65534), 0);
  ASSERT_EQ(symlink((work + "/real").c_str(), (work + "/absolute").c_str()), 0);
  ASSERT_EQ(symlink("sub/../real", (work + "/relative").c_str()), 0);
  ASSERT_EQ(symlink("sub/../../work/real", (work + "/up_and_back").c_str()), 0);
  ASSERT_EQ(symlink("loop", (work + "/loop").c_str()), 0);
  ASSERT_EQ(symlink(".", (work + "/here").c_str()), 0);  // the shortest target there is
  ASSERT_TRUE(ts::write_file(work + "/file", "not a folder"));
  ASSERT_EQ(symlink(std::string(3000, 'n').c_str(), (work + "/long").c_str()), 0);
  ASSERT_EQ(symlink("chain0", (work + "/over").c_str()), 0);  // and one more
  for (int i = 0; i < 40; ++i)  // as many links in a row as the system follows
    ASSERT_EQ(symlink(i < 39 ? ("chain" + std::to_string(i + 1)).c_str() : "real",
                      (work + "/chain" + std::to_string(i)).c_str()),
              0);
  const struct {
    std::string path;
    FOLDER_HOLD::MAKE make;
    std::string lands;  // where the file written through the hold is, or the failure
  } rows[] = {
      {"/absolute/x/y", FOLDER_HOLD::MAKE::MISSING, work + "/real/x/y/f"},
      {"/relative", FOLDER_HOLD::MAKE::NOTHING, work + "/real/f"},
      {"/up_and_back", FOLDER_HOLD::MAKE::NOTHING, work + "/real/f"},
      {"/here/real", FOLDER_HOLD::MAKE::NOTHING, work + "/real/f"},
      {"/chain0", FOLDER_HOLD::MAKE::NOTHING, work + "/real/f"},
      {"/over", FOLDER_HOLD::MAKE::NOTHING, work + "/chain39: Too many levels of symbolic links"},
      {"/home_of_other/mine", FOLDER_HOLD::MAKE::LAST, work + "/home_of_other/mine/f"},
      {"/a/b", FOLDER_HOLD::MAKE::LAST, work + "/a: No such file or directory"},
      {"/file/x", FOLDER_HOLD::MAKE::MISSING, work + "/file: Not a directory"},
      {"/loop/x", FOLDER_HOLD::MAKE::NOTHING, work + "/loop: Too many levels of symbolic links"},
      {"/long/x", FOLDER_HOLD::MAKE::NOTHING, work + "/long: File name too long"},
      {"/open/sibling", FOLDER_HOLD::MAKE::NOTHING,
       work + "/open/sibling: unsafe folder: it lies in a folder that other users may write to without the sticky bit"},
      {"/home_of_other/roots", FOLDER_HOLD::MAKE::NOTHING,
       work + "/home_of_other/roots: unsafe folder: it lies in a folder that belongs to user 65534"},
      {"/sticky/kept", FOLDER_HOLD::MAKE::NOTHING, work + "/sticky/kept/f"},
      {"/open/link", FOLDER_HOLD::MAKE::NOTHING, work + "/open/link: unsafe link: it lies in a folder that other users may write to"},
      {"/theirs/x", FOLDER_HOLD::MAKE::MISSING, work + "/theirs: unsafe link: it belongs to user 65534"},
      {"/open/new/deeper", FOLDER_HOLD::MAKE::MISSING, work + "/open/new/deeper/f"},
      {"/open/new", FOLDER_HOLD::MAKE::NOTHING, work + "/open/new/f"},  // made by an earlier walk
  };
  const size_t descriptors = open_descriptors();
  {
    FOLDER_HOLD hold;  // each reach lets go of what the one before held
    for (const auto& row : rows) {
      SCOPED_TRACE(row.path);
      const FOLDER folder = folder_at(work + row.path);
      if (!hold.reach(folder, row.make)) {
        EXPECT_FALSE(hold.holding());
        EXPECT_STREQ(hold.held_path(), "");
        EXPECT_EQ(hold.failure().folder + ": " + hold.failure().reason(), row.lands);
        EXPECT_EQ(hold.failure().error != 0, hold.failure().kind == PATH_FAILURE::KIND::SYSTEM);  // errno only
        continue;
      }
      FILE_REPLACEMENT file;
      ASSERT_TRUE(file.begin(folder, "f", 0644, &hold) && file.write("x", 1) && file.commit());
      EXPECT_EQ(ts::read_file(row.lands), "x");
      EXPECT_STREQ(hold.held_path(), (work + row.path).c_str());
    }
    EXPECT_EXIT(  // the same walks with standard input closed: a folder held may be descriptor 0
        {
          close(0);
          for (const auto& row : rows)
            if (FOLDER_HOLD().reach(folder_at(work + row.path), row.make) != (row.lands.back() == 'f')) _exit(1);
          FOLDER_HOLD zero;  // a folder held as 0 takes its bits as the folder made, and is written in where it has moved
          FILE_REPLACEMENT file;
          const std::string was = work + "/open/new";
          struct stat made {};
          const bool held = zero.reach(folder_at(was), FOLDER_HOLD::MAKE::NOTHING, &hold) && zero.held_descriptor() == 0 &&
                            stat(was.c_str(), &made) == 0 &&
                            zero.set_made_folder_mode((FOLDER_HOLD::MADE_FOLDER{was, made.st_dev, made.st_ino}), 0701) &&
                            mode_of(was) == 0701u;
          _exit(held && rename(was.c_str(), (was + "-moved").c_str()) == 0 && file.begin(folder_at(was), "g", 0644, &zero) &&
                file.write("0", 1) && file.commit() && ts::read_file(was + "-moved/g") == "0" ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(hold.reach(folder_at("relative/x")));  // only absolute paths are walked
    EXPECT_EQ(hold.failure().folder, "relative/x");
    ASSERT_TRUE(hold.reach(folder_at("//")));  // the root, however many slashes name it
    EXPECT_STREQ(hold.held_path(), "/");
    // A walk that begins at a held folder does not walk its path again:
    // the folder is reached where it has moved.
    ASSERT_TRUE(hold.reach(folder_at(work + "/real")));
    ASSERT_EQ(rename((work + "/real").c_str(), (work + "/moved").c_str()), 0);
    FOLDER_HOLD below;
    EXPECT_TRUE(below.reach(folder_at(work + "/real/new"), FOLDER_HOLD::MAKE::LAST, &hold));
    EXPECT_TRUE(ts::file_exists(work + "/moved/new"));
  }
  EXPECT_EQ(open_descriptors(), descriptors);
  EXPECT_FALSE(ts::file_exists(work + "/a"));
  // An unsafe folder at the longest path a folder holds is the one asked for: only the reason is given.
  std::string longest = work;
  while (longest.size() + 201 < FOLDER_PATH_SIZE - 2) longest += "/" + std::string(200, 'd');
  longest += "/" + std::string(FOLDER_PATH_SIZE - 2 - longest.size(), 'e');
  std::filesystem::create_directories(longest);
  ASSERT_EQ(chmod(longest.c_str(), 0777), 0);
  std::string why;
  EXPECT_FALSE(FOLDER_HOLD().reach_trusted(folder_at(longest), &why));
  EXPECT_EQ(why, "unsafe folder: other users may write to it and it has no sticky bit");

  // Bits go to the held folder only as the folder made, never to another.
  FOLDER_HOLD making;
  ASSERT_TRUE(making.reach(folder_at(work + "/m1/m2"), FOLDER_HOLD::MAKE::MISSING));
  ASSERT_EQ(making.made().size(), 2u);
  EXPECT_EQ(making.made()[1].path, work + "/m1/m2");
  EXPECT_TRUE(making.set_made_folder_mode(making.made()[1], 02750));
  EXPECT_EQ(mode_of(work + "/m1/m2"), 02750u);
  EXPECT_FALSE(making.set_made_folder_mode(making.made()[0], 0700));
  EXPECT_EQ(errno, ESTALE);
  EXPECT_EQ(mode_of(work + "/m1/m2"), 02750u);
}

TEST_F(FileServicesTest, WriteOnlyFileThatCannotBeReadIsNotTruncated) {
  // As an ordinary user a file of mode 0200 opens for writing but not for
  // update; it must keep its bytes.
  ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(work.c_str(), 0777), 0);
  std::string file = work + "/locked";
  ASSERT_TRUE(ts::write_file(file, "precious"));
  ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(file.c_str(), 0200), 0);
  EXPECT_EXIT(
      {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        FILE* opened = open_file(folder_at(work), "locked", "r+b");
        _exit(opened ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ts::read_file(file), "precious");
}

TEST_F(FileServicesTest, CopyKeepsBytesAndPermissionBitsAndReplacesTheTarget) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>(i * 7));
  std::string odd_name = "a \"b\" $(touch pwned) `x`'y'";
  ASSERT_TRUE(ts::write_file(work + "/" + odd_name, bytes));
  ASSERT_EQ(chmod((work + "/" + odd_name).c_str(), 0751), 0);
  ASSERT_EQ(mkdir((work + "/out").c_str(), 0755), 0);
  ASSERT_TRUE(ts::write_file(work + "/out/copy", "old"));

  EXPECT_TRUE(copy_file(folder_at(work), odd_name.c_str(), folder_at(work + "/out"), "copy"));
  EXPECT_EQ(ts::read_file(work + "/out/copy"), bytes);
  EXPECT_EQ(mode_of(work + "/out/copy"), 0751u);
  EXPECT_FALSE(ts::file_exists("pwned"));
  EXPECT_FALSE(ts::file_exists(work + "/pwned"));
  for (const std::string small : {"", "1"}) {  // the smallest files copy too, an old EINTR left in errno or not
    ASSERT_TRUE(ts::write_file(work + "/small", small));
    alarm(20), errno = EINTR;  // a copy that never ends fails the test
    EXPECT_TRUE(copy_file(folder_at(work), "small", folder_at(work + "/out"), "copy"));
    EXPECT_EQ(ts::read_file(work + "/out/copy"), small);
  }
  alarm(0);

  EXPECT_EQ(names_in(work + "/out"), std::vector<std::string>{"copy"});  // nothing else
}

[[noreturn]] void copy_under_size_limit(const std::string& work, bool unnamed, bool stream) {
  FILE_REPLACEMENT::allow_unnamed_files(unnamed);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max = 4096;
  setrlimit(RLIMIT_FSIZE, &limit);
  // Through a stream the large write fails at once, leaving nothing to flush.
  const std::string big(100000, 'x');
  FILE* file = stream ? open_file(folder_at(work), "target", "wb") : nullptr;
  if (stream) _exit(file && fwrite(big.data(), 1, big.size(), file) < big.size() && !close_file(file) ? 0 : 1);
  _exit(copy_file(folder_at(work), "big", folder_at(work), "target") ? 1 : 0);
}

TEST_F(FileServicesTest, FailedCopyLeavesTheTargetAsItWas) {
  ASSERT_TRUE(ts::write_file(work + "/target", "old"));
  const FOLDER here = folder_at(work);
  EXPECT_EQ((std::vector<bool>{copy_file(here, "missing", here, "target"), copy_file(here, nullptr, here, "target"),
                               copy_file(here, "target", here, ""), copy_file(here, "target", here, nullptr)}), std::vector<bool>(4, false));
  ASSERT_EQ(mkdir((work + "/dir").c_str(), 0755), 0);
  EXPECT_FALSE(copy_file(folder_at(work), "dir", folder_at(work), "target"));
  EXPECT_EQ(ts::read_file(work + "/target"), "old");

  // A write that fails half-way (file size limit) leaves no half copy,
  // whichever way the fresh file was made and written.
  ASSERT_TRUE(ts::write_file(work + "/big", std::string(100000, 'x')));
  for (const auto& [unnamed, stream] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    EXPECT_EXIT(copy_under_size_limit(work, unnamed, stream), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ts::read_file(work + "/target"), "old");
    EXPECT_EQ(names_in(work), (std::vector<std::string>{"big", "dir", "target"}));
  }
}

TEST_F(FileServicesTest, RenameRemoveAndExistence) {
  FOLDER folder = folder_at(work);
  ASSERT_TRUE(ts::write_file(work + "/a", "1"));
  EXPECT_TRUE(file_exists(folder, "a"));
  EXPECT_FALSE(file_exists(folder, "b"));
  EXPECT_TRUE(file_exists(folder, "b", true));
  EXPECT_FALSE(file_exists(folder, nullptr));

  ASSERT_EQ(mkdir((work + "/sub").c_str(), 0755), 0);
  EXPECT_TRUE(rename_file(folder, "a", folder_at(work + "/sub")));
  EXPECT_TRUE(ts::file_exists(work + "/sub/a"));
  EXPECT_TRUE(rename_file(folder_at(work + "/sub"), "a", folder, "c"));
  EXPECT_EQ(ts::read_file(work + "/c"), "1");
  EXPECT_FALSE(rename_file(folder, nullptr, folder, "d"));
  EXPECT_FALSE(rename_file(folder, "missing", folder, "d"));

  EXPECT_TRUE(remove_file(folder, "c"));
  EXPECT_FALSE(remove_file(folder, "c"));
  EXPECT_FALSE(ts::file_exists(work + "/c"));
  // As remove(): a folder goes once it is empty.
  ASSERT_TRUE(ts::write_file(work + "/sub/kept", "2"));
  EXPECT_FALSE(remove_file(folder, "sub"));
  EXPECT_TRUE(remove_file(folder_at(work + "/sub"), "kept"));
  EXPECT_TRUE(remove_file(folder, "sub"));
  EXPECT_FALSE(ts::file_exists(work + "/sub"));
}

TEST_F(FileServicesTest, FileInfoAndChmod) {
  FOLDER folder = folder_at(work);
  ASSERT_TRUE(ts::write_file(work + "/.hidden", "12345"));
  ASSERT_TRUE(chmod_file(folder, ".hidden", 0640));
  EXPECT_EQ(mode_of(work + "/.hidden"), 0640u);
  struct stat st;
  ASSERT_EQ(stat((work + "/.hidden").c_str(), &st), 0);

  FILE_INFO info;
  ASSERT_TRUE(get_file_info(folder, ".hidden", &info));
  EXPECT_EQ(std::tuple(info.is_directory, info.hidden, info.owner_rwx, info.size, info.modified),
            std::tuple(0, 1, 0600, 5u, static_cast<uint32_t>(st.st_mtime)));
  ASSERT_TRUE(get_file_info(folder_at(scratch.path()), "work", &info));
  EXPECT_EQ(info.is_directory, 1);
  EXPECT_EQ(info.hidden, 0);
  EXPECT_EQ((std::vector<bool>{get_file_info(folder, "missing", &info), get_file_info(folder, nullptr, &info),
                               get_file_info(folder, ".hidden", nullptr), chmod_file(folder, "missing", 0600)}),
            std::vector<bool>(4, false));

  EXPECT_TRUE(is_directory(work.c_str()));
  EXPECT_FALSE(is_directory((work + "/.hidden").c_str()));
  EXPECT_FALSE(is_directory(nullptr));
}

TEST_F(FileServicesTest, FourGibibyteFileSizeWrapsInFileInfo) {
  int fd = open((work + "/sparse").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, (1ll << 32) + 5), 0);
  close(fd);
  FILE_INFO info;
  ASSERT_TRUE(get_file_info(folder_at(work), "sparse", &info));
  EXPECT_EQ(info.size, 5u);
}

TEST_F(FileServicesTest, RemovingAFolderNeverFollowsLinks) {
  std::string outside = work + "/outside";
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  ASSERT_TRUE(ts::write_file(outside + "/keep", "k"));
  ASSERT_TRUE(ts::write_file(work + "/keep_file", "f"));

  // Any depth goes, far more levels than the walk keeps open, with side
  // branches, hidden files (the last "..x") and links on the way left unfollowed.
  std::string doomed = work + "/doomed";
  ASSERT_EQ(mkdir(doomed.c_str(), 0755), 0);
  ASSERT_EQ(symlink((work + "/keep_file").c_str(), (doomed + "/to_file").c_str()), 0);
  int fd = open(doomed.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int level = 0; level < 600; ++level) {
    ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
    if (level % 200 == 0 || level == 599) {
      ASSERT_EQ(mkdirat(fd, "side", 0755), 0);
      ASSERT_EQ(symlinkat(outside.c_str(), fd, "to_dir"), 0);
      const int file = openat(fd, level == 599 ? "..x" : ".hidden", O_CREAT | O_WRONLY, 0644);
      ASSERT_GE(file, 0);
      close(file);
    }
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    ASSERT_GE(fd = next, 0);
  }
  close(fd);

  const size_t descriptors = open_descriptors();
  EXPECT_FALSE(remove_folder(folder_at(work), "doomed", false));  // not empty
  ASSERT_EQ(mkdir((work + "/empty").c_str(), 0755), 0);
  EXPECT_TRUE(remove_folder(folder_at(work), "empty", false));
  EXPECT_FALSE(ts::file_exists(work + "/empty"));
  EXPECT_TRUE(remove_folder(folder_at(work), "doomed", true));
  EXPECT_FALSE(ts::file_exists(doomed));
  EXPECT_EQ(ts::read_file(outside + "/keep"), "k");
  EXPECT_EQ(ts::read_file(work + "/keep_file"), "f");

  // A link in place of the folder goes, its target stays whole.
  ASSERT_EQ(symlink(outside.c_str(), (work + "/link").c_str()), 0);
  EXPECT_TRUE(remove_folder(folder_at(work), "link", true));
  EXPECT_FALSE(ts::file_exists(work + "/link"));
  EXPECT_EQ(ts::read_file(outside + "/keep"), "k");

  // Without standard input the folder opens as descriptor 0: still emptied.
  ASSERT_EQ(mkdir((work + "/full").c_str(), 0755), 0);
  ASSERT_TRUE(ts::write_file(work + "/full/f", "x"));
  const int input = dup(0);
  close(0);
  const bool emptied = remove_folder_contents((work + "/full").c_str());
  dup2(input, 0);
  close(input);
  EXPECT_TRUE(emptied && names_in(work + "/full").empty());
  EXPECT_FALSE(remove_folder_contents((work + "/keep_file").c_str()));
  EXPECT_FALSE(remove_folder(folder_at(work), "missing", true));
  EXPECT_EQ(open_descriptors(), descriptors);
}

// A folder that cannot be emptied (one the walk may not write in, as a
// user other than its owner's would find it) keeps what it holds, is
// entered once and no more, and the answer says that something stayed;
// full folders listed before and after it still go.
TEST_F(FileServicesTest, RemovingContentsGoesOnPastAFolderThatCannotBeEmptied) {
  const std::string tree = work + "/tree";
  ASSERT_EQ(mkdir(tree.c_str(), 0755), 0);
  for (const char* name : {"a", "b", "c", "locked", "d", "e", "f"}) {
    ASSERT_EQ(mkdir((tree + "/" + name).c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tree + "/" + name + "/sub").c_str(), 0755), 0);
    ASSERT_TRUE(ts::write_file(tree + "/" + name + "/sub/file", name));
  }
  ASSERT_EQ(chmod((tree + "/locked/sub").c_str(), 0555), 0);
  // Write permission binds root too once it is root in a user namespace
  // of its own only.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(20);  // a walk that goes round forever fails the test, not the run
    if (unshare(CLONE_NEWUSER) != 0) _exit(2);
    _exit(remove_folder_contents(tree.c_str()) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "no user namespace here (unshare refused)";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(names_in(tree), std::vector<std::string>{"locked"});
  EXPECT_EQ(ts::read_file(tree + "/locked/sub/file"), "locked");
  ASSERT_EQ(chmod((tree + "/locked/sub").c_str(), 0755), 0);
}

TEST_F(FileServicesTest, MakeFolderAndSetIfDirectory) {
  FOLDER folder = folder_at(work);
  EXPECT_FALSE(make_folder(&folder, "new", false));
  EXPECT_STREQ(folder.path, work.c_str());
  EXPECT_TRUE(make_folder(&folder, "new", true));
  EXPECT_EQ(std::string(folder.path), work + "/new");
  EXPECT_EQ(mode_of(work + "/new") & 0700, 0700u);
  FOLDER again = folder_at(work);
  EXPECT_TRUE(make_folder(&again, "new", false));
  EXPECT_TRUE(same_path(folder, again));
  EXPECT_FALSE(make_folder(&again, nullptr, true));

  FOLDER other = folder_at(work);
  EXPECT_FALSE(set_folder_if_directory(&other, (work + "/missing").c_str()));
  EXPECT_STREQ(other.path, work.c_str());
  EXPECT_TRUE(set_folder_if_directory(&other, (work + "/new").c_str()));
  EXPECT_TRUE(same_path(other, folder));
}

TEST_F(FileServicesTest, FolderUpStopsAtHomeAndRoot) {
  // Each row: where the folder starts, whether it goes up, where it is then.
  for (const auto& [from, up, to] : {std::tuple{home, false, home}, {home + "/", false, ""}, {work + "/", true, scratch.path()},
                                     {"/tmp", true, "/"}, {"/", false, ""}, {"", false, ""}}) {
    FOLDER folder = folder_at(from);
    EXPECT_EQ(folder_up(&folder), up) << from;
    EXPECT_TRUE(to.empty() || folder.path == to) << from << " went to " << folder.path;
  }
}

TEST_F(FileServicesTest, FolderNames) {
  for (const auto& [path, name] : {std::pair{home, "Home"}, {home + "/", "Home"}, {"/", "File System"},
                                   {"", "File System"}, {"/usr/lib/", "lib"}, {"/usr", "usr"}})
    EXPECT_STREQ(get_folder_name(folder_at(path)), name) << path;
}

class FolderListTest : public FileServicesTest {
protected:
  void SetUp() override {
    FileServicesTest::SetUp();
    for (const char* name : {"a.png", "B.PNG", "c.txt", "shot.png.bak", ".h.png", "png"})
      ASSERT_TRUE(ts::write_file(work + "/" + name, "x"));
    ASSERT_EQ(mkdir((work + "/sub").c_str(), 0755), 0);
  }
};

// Each pattern, match mode (bit 0 ignores case; then 0 ending, 1 start, 2
// anywhere, 3 whole name; more than 7 is 0), hidden names shown or not,
// folders filtered or not: the entries in the order listed, folders with
// "/", files with their size.
TEST_F(FolderListTest, MatchModes) {
  const std::string longest(255, 'p');
  const struct {
    const char* pattern;
    uint32_t mode;
    bool hidden, filter;
  } rows[] = {{".png", 1, false, false}, {".png", 1, false, true}, {".png", 1, true, true}, {nullptr, 0, true, false},
              {"", 7, false, true},      {".png", 0, false, true}, {"png", 0, false, true}, {"png", 2, false, true},
              {"b", 3, false, true},     {".png", 4, false, true}, {"bak", 4, false, true}, {".png", 5, false, true},
              {"png", 6, false, true},   {"b.png", 7, false, true}, {"b.png", 6, false, true}, {"shot.png.bakx", 4, false, true},
              {".png", 8, false, true},  {".png", 99, false, true}, {longest.c_str(), 0, true, false}, {"png", 4, false, true}};
  std::string text;
  for (const auto& row : rows) {
    const std::string pattern = !row.pattern ? "(none)" : strlen(row.pattern) > 20 ? std::to_string(strlen(row.pattern)) + " letters" : row.pattern;
    text += "'" + pattern + "' mode " + std::to_string(row.mode) + (row.hidden ? " hidden" : "") +
            (row.filter ? " filtered" : "") + ":";
    FOLDER_LIST* list = list_folder(folder_at(work), row.pattern, row.hidden, row.mode, row.filter);
    FOLDER_LIST_ENTRY entry;
    while (list_folder_filtered(list, &entry)) {
      EXPECT_STREQ(entry.folder.path, work.c_str());
      text += std::string(" ") + entry.name + (entry.info.is_directory ? "/" : "(" + std::to_string(entry.info.size) + ")") +
              (entry.info.hidden ? " hidden" : "");
    }
    free_folder_list(list);
    text += "\n";
  }
  EXPECT_TRUE(ts::text_matches_reference("platform", "folder_list_patterns", text));
}

TEST_F(FolderListTest, ListingGivesSortedEntriesWithInfoAndNeverDots) {
  FOLDER_LIST* list = list_folder(folder_at(work), nullptr, true, 0, false);
  ASSERT_NE(list, nullptr);
  FOLDER_LIST_ENTRY entry;
  std::vector<std::string> order;
  while (list_folder_filtered(list, &entry)) {
    order.push_back(entry.name);
    EXPECT_EQ(entry.info.is_directory, order.back() == "sub" ? 1 : 0);
    EXPECT_EQ(entry.info.hidden, order.back()[0] == '.' ? 1 : 0);
  }
  EXPECT_FALSE(list_folder_filtered(list, &entry));
  free_folder_list(list);
  std::vector<std::string> sorted = order;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return strcoll(a.c_str(), b.c_str()) < 0;
  });
  EXPECT_EQ(order, sorted);
  EXPECT_EQ(std::count(order.begin(), order.end(), "."), 0);
  EXPECT_EQ(std::count(order.begin(), order.end(), ".."), 0);

  // An entry that cannot be looked at (a link to nothing) is left out.
  ASSERT_EQ(symlink((work + "/nowhere").c_str(), (work + "/sub/dangling").c_str()), 0);
  list = list_folder(folder_at(work + "/sub"), nullptr, true, 0, false);
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list_folder_filtered(list, &entry));
  free_folder_list(list);
  ASSERT_EQ(unlink((work + "/sub/dangling").c_str()), 0);

  EXPECT_EQ(list_folder(folder_at(work + "/sub"), nullptr, true, 0, false), nullptr);  // empty
  EXPECT_EQ(list_folder(folder_at(work + "/missing"), nullptr, true, 0, false), nullptr);
  EXPECT_EQ(list_folder(folder_at(work), std::string(256, 'p').c_str(), true, 0, false), nullptr);
  EXPECT_FALSE(list_folder_filtered(nullptr, &entry));
  free_folder_list(nullptr);
}

// Every drive a caller can ask for, one line each (name, path, type), from
// a table with each known file system, the devices that say CD or floppy,
// names escaped as the kernel writes them (octal 000-377 only, three digits
// whole), and the root, the home folder and unknown file systems left out;
// then which drive holds a folder: whole components only, the deepest
// holder wins.
TEST_F(FileServicesTest, DrivesFromTheMountTable) {
  std::string table =
      "/dev/root / ext4 rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/usb vfat rw 0 0\n"
      "/dev/sdc1 /media/usb2 ntfs rw 0 0\n"
      "/dev/cdrom0 /media/cd hfs ro 0 0\n"  // the device, not the file system, says CD
      "/dev/fd0 /media/floppy msdos rw 0 0\n"
      "/dev/floppy1 /media/fl ext4 rw 0 0\n"
      "/dev/sdd1 " + home + " ext4 rw 0 0\n"
      "server:/x /mnt/net nfs4 rw 0 0\n"
      "/dev/sde1 /media/my\\040disk btrfs rw 0 0\n"
      "/dev/sdf1 /srv/old xfs rw 0 0\n"
      "/dev/sdg1 /srv/mac hfs rw 0 0\n"
      "/dev/sdh1 /srv/os2 hpfs rw 0 0\n"
      "/dev/sdi1 /srv/cd2 iso9660 rw 0 0\n"
      "/dev/sdj1 /srv/ext\\063 ext3 rw 0 0\n"  // an escape at the very end too
      "tmpfs /tmp tmpfs rw 0 0\n"
      "/dev/sdk1 /f/ext ext rw 0 0\n/dev/sdk2 /f/ext2 ext2 rw 0 0\nserver:/y /f/nfs nfs rw 0 0\n"
      "//s/smb /f/smbfs smbfs rw 0 0\n//s/cifs /f/cifs cifs rw 0 0\n/dev/sdk3 /f/sysv sysv rw 0 0\n"
      "/dev/sdk5 /f/ext4 ext4 rw 0 0\n/dev/sdk6 /f/short\\06 ext2 rw 0 0\nshort line\n"
      "/dev/sdk4 /f/umsdos\\101\\070\\177\\377\\400\\080\\008 umsdos rw 0 0\n";
  ASSERT_TRUE(ts::write_file(mounts, table));

  // Bytes outside printable ASCII as \xNN; the home folder (a scratch path) as HOME.
  auto shown = [&](const char* text) {
    if (!text) return std::string("(none)");
    std::string out = strncmp(text, home.c_str(), home.size()) == 0 ? "HOME" : "";
    for (const char* c = text + (out.empty() ? 0 : home.size()); *c; ++c) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, *c < ' ' || *c > '~' ? "\\x%02X" : "%c", static_cast<unsigned char>(*c));
      out += escaped;
    }
    return out;
  };
  const int count = get_drive_count();
  std::string text = "count " + std::to_string(count) + "\n";
  for (int drive = -1; drive <= count; ++drive) {
    FOLDER folder;
    const bool has_path = get_drive_path(&folder, drive);
    text += std::to_string(drive) + ": " + shown(get_drive_name(drive)) + " | " +
            shown(has_path ? folder.path : nullptr) + " | type " + std::to_string(get_drive_type(drive)) + "\n";
  }
  text += "INT_MAX: type " + std::to_string(get_drive_type(INT_MAX)) + "\n";
  for (const std::string& path : std::vector<std::string>{"/media/usb2/x", "/media/usb/x", "/media/usb", "/media/usbx",
                                  "/media/my disk/a", home + "/docs", home + "x", "/tmp/x", "/f/ext4/a/b"})
    text += shown(path.c_str()) + " is on drive " + std::to_string(get_drive_of_folder(folder_at(path))) + "\n";
  EXPECT_FALSE(get_drive_path(nullptr, 0));
  EXPECT_TRUE(ts::text_matches_reference("platform", "mount_table_drives", text));
}

TEST_F(FileServicesTest, OneFileSystemGivesTwoDrives) {
  EXPECT_EQ(get_drive_count(), 2);
  EXPECT_EQ(get_drive_name(2), nullptr);

  set_mounts_file_override((scratch.path() + "/no_such_table").c_str());
  EXPECT_EQ(get_drive_count(), 2);
  EXPECT_EQ(get_drive_type(2), 0);
  EXPECT_EQ(get_drive_of_folder(folder_at("/media/usb")), 1);
  EXPECT_EQ(get_drive_of_folder(folder_at(home + "/a")), 0);
  set_home_folder_override("/");  // a home at the root holds every folder
  EXPECT_EQ(get_drive_of_folder(folder_at("/media/usb")), 0);

  set_mounts_file_override(nullptr);  // the real table has at least "/" and home
  EXPECT_GE(get_drive_count(), 2);
}

TEST_F(FileServicesTest, ProgramPathAndFolder) {
  std::string self = self_path();
  size_t slash = self.rfind('/');
  // Without /proc the home folder and a default name stand in, and the answer says so (in a
  // fresh run of this test, where nothing asked before; exit 2: /proc cannot be hidden here).
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/proc", "tmpfs", 0, nullptr) != 0) _exit(2);
        FOLDER folder;
        char name[64];
        _exit(!get_program_path(&folder, name, sizeof name) && std::string(name) == "VORN Application" &&
                      std::string(folder.path) == home ? 0 : 1);
      },
      [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) % 2 == 0; }, "");
  GTEST_FLAG_SET(death_test_style, style);
  FOLDER folder;
  char name[256];
  ASSERT_TRUE(get_program_path(&folder, name, sizeof name));
  EXPECT_EQ(std::string(folder.path), self.substr(0, slash));
  EXPECT_EQ(std::string(name), self.substr(slash + 1));
  char no_room[4] = "xyz";
  EXPECT_TRUE(get_program_path(nullptr, no_room, 0));
  EXPECT_STREQ(no_room, "xyz");
  EXPECT_FALSE(get_program_path(nullptr, no_room, sizeof no_room));  // the name is longer: none
  EXPECT_STREQ(no_room, "");

  FOLDER standard;
  ASSERT_TRUE(get_standard_folder(&standard, 0, nullptr, false));
  EXPECT_TRUE(same_path(standard, folder));
}

TEST_F(FileServicesTest, HomeFolderAndSystemPathsComeFromTheOverrides) {
  EXPECT_EQ(std::string(get_home_folder()), home);
  set_home_folder_override((home + "/").c_str());
  EXPECT_EQ(std::string(get_home_folder()), home);
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where the home is looked up anew
  const std::string too_long = "/" + std::string(FOLDER_PATH_SIZE - 1, 'h');  // no room left for its terminator
  for (const char* value : {"", static_cast<const char*>(nullptr), too_long.c_str()})  // a user with no password entry (only root can become one), HOME empty, missing or too long: the root
    if (geteuid() == 0) { EXPECT_EXIT({ set_home_folder_override(nullptr); value ? setenv("HOME", value, 1) : unsetenv("HOME");
                  if (setuid(54321) == 0) fputs(get_home_folder(), stderr); exit(0); }, testing::ExitedWithCode(0), "^/$"); }
  set_home_folder_override(nullptr);
  EXPECT_NE(std::string(get_home_folder()), home);
  EXPECT_EQ(get_home_folder()[0], '/');

  EXPECT_EQ(std::string(system_path("/opt")), root + "/opt");
  set_system_root_override(nullptr);
  EXPECT_STREQ(system_path("/opt"), "/opt");
  EXPECT_EQ(system_path(nullptr), nullptr);
}

// User folders (1 to 3) under the home, system folders (4 to 6) under
// /opt, made only when asked; the system's data folders are open to all
// users but sticky, so that none replaces another's files.
TEST_F(FileServicesTest, StandardFoldersAreMadeOnlyWhenAsked) {
  const char* sub[] = {"bin", "data", "custdata"};
  char planned[PATH_MAX];
  for (int type = 1; type <= 6; ++type) {
    FOLDER folder = folder_at(work);
    const std::string expected = (type <= 3 ? home + "/.app/" : root + "/opt/app/") + sub[(type - 1) % 3];
    EXPECT_FALSE(standard_folder_path(planned, expected.size(), type, "app")) << type;  // no room for the end
    EXPECT_TRUE(standard_folder_path(planned, expected.size() + 1, type, "app")) << type;
    EXPECT_EQ(std::string(planned), expected);
    EXPECT_FALSE(get_standard_folder(&folder, type, "app", false)) << type;
    EXPECT_STREQ(folder.path, work.c_str());
    EXPECT_TRUE(get_standard_folder(&folder, type, "app", true)) << type;
    EXPECT_EQ(std::string(folder.path), expected);
    EXPECT_TRUE(is_directory(expected.c_str()));
    EXPECT_TRUE(get_standard_folder(&folder, type, "app", false)) << type;
    if (type >= 5) {
      EXPECT_EQ(mode_of(expected), 01777u);
    }
  }
  EXPECT_FALSE(get_standard_folder(nullptr, 4, "app", true));
  FOLDER folder;
  EXPECT_FALSE(get_standard_folder(&folder, 8, "app", true));
  for (int type : {0, 7}) EXPECT_FALSE(standard_folder_path(planned, sizeof planned, type, "app")) << type;
  // Only a "." or ".." part could lead out of the folder; other dots are letters.
  for (const auto& [name, taken] : {std::pair{"..", false}, {"a/../..", false}, {"", false}, {".", false},
                                    {"./a", false}, {"a/..", false}, {"a", true}, {"ab", true}, {".a", true},
                                    {"a.", true}, {"a.b", true}, {"..a", true}, {"...", true}})
    EXPECT_EQ(get_standard_folder(&folder, 5, name, true), taken) << name;
  EXPECT_FALSE(ts::file_exists(root + "/data"));
}

TEST_F(FileServicesTest, SettingsFolderGetsALinkInDocuments) {
  ASSERT_EQ(mkdir((home + "/Documents").c_str(), 0755), 0);
  FOLDER folder;
  ASSERT_TRUE(get_standard_folder(&folder, 3, "my/app", true));
  std::string link = home + "/Documents/my-app";
  EXPECT_EQ(std::string(folder.path), link);
  ASSERT_TRUE(is_link(link));
  char target[PATH_MAX] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), home + "/.my/app/custdata");

  ASSERT_TRUE(get_standard_folder(&folder, 3, "my/app", true));
  EXPECT_EQ(std::string(folder.path), home + "/.my/app/custdata");
}

TEST_F(FileServicesTest, TemporaryFolderIsPrivateAndMadeOncePerRun) {
  EXPECT_STREQ(get_temporary_folder_path(), "");
  FOLDER folder;
  ASSERT_TRUE(get_standard_folder(&folder, 7, "app", false));
  std::string made = folder.path;
  EXPECT_EQ(made.rfind(root + "/tmp/app-", 0), 0u) << made;
  EXPECT_EQ(made.size(), root.size() + strlen("/tmp/app-XXXXXX"));
  EXPECT_EQ(mode_of(made), 0700u);
  EXPECT_EQ(std::string(get_temporary_folder_path()), made);

  FOLDER again;
  ASSERT_TRUE(get_standard_folder(&again, 7, "app", false));
  EXPECT_EQ(std::string(again.path), made);

  // Removal takes the folder and what is in it, but not what links point at.
  ASSERT_TRUE(ts::write_file(work + "/keep", "k"));
  ASSERT_EQ(symlink(work.c_str(), (made + "/to_work").c_str()), 0);
  ASSERT_EQ(mkdir((made + "/sub").c_str(), 0755), 0);
  ASSERT_TRUE(ts::write_file(made + "/sub/file", "f"));
  remove_temporary_folder();
  EXPECT_FALSE(ts::file_exists(made));
  EXPECT_EQ(ts::read_file(work + "/keep"), "k");
  EXPECT_STREQ(get_temporary_folder_path(), "");
  remove_temporary_folder();  // nothing recorded: nothing happens

  // Each of the six letters after "app-" is drawn from all of A-Z, a-z and
  // 0-9 every time (2000 folders leave one out with odds below 1e-11).
  std::set<char> seen[6];
  for (int k = 0; k < 2000; ++k) {
    ASSERT_TRUE(get_standard_folder(&folder, 7, "app", false));
    const std::string suffix = std::string(folder.path).substr(root.size() + strlen("/tmp/app-"));
    ASSERT_EQ(suffix.size(), 6u) << suffix;
    for (size_t i = 0; i < 6; ++i) seen[i].insert(suffix[i]);
    remove_temporary_folder();
  }
  for (const std::set<char>& letters : seen)
    EXPECT_EQ(std::string(letters.begin(), letters.end()), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

  // One replaced by a link is left alone, and so is what the link points at.
  ASSERT_TRUE(get_standard_folder(&folder, 7, "app", false));
  made = folder.path;
  ASSERT_EQ(rmdir(made.c_str()), 0);
  ASSERT_EQ(symlink(work.c_str(), made.c_str()), 0);
  remove_temporary_folder();
  EXPECT_TRUE(is_link(made));
  EXPECT_EQ(ts::read_file(work + "/keep"), "k");
  unlink(made.c_str());
}

// The parent of the temporary folder: ~/tmp when it exists, else $TMPDIR
// when it is set, else /tmp. One that cannot hold it, or that another
// user could swap it out of, is passed over and named with the reason;
// when none can, nothing is made.
TEST_F(FileServicesTest, TemporaryFolderPrefersTheHomeTmpFolderThenTmpdir) {
  const std::string chosen = scratch.file("chosen"), file = scratch.file("file");
  const std::string theirs = scratch.file("theirs"), open = scratch.file("open"), sticky = scratch.file("sticky");
  for (const auto& [folder, user, mode] : {std::tuple{chosen, 0, 0755}, {theirs, 65534, 0755}, {open, 0, 0777},
                                           {sticky, 0, 01777}, {theirs + "/sub", 0, 0755}}) {
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(chown(folder.c_str(), user, user), 0);
    ASSERT_EQ(chmod(folder.c_str(), mode), 0);
  }
  ASSERT_TRUE(ts::write_file(file, "not a folder"));
  struct CASE {
    std::string tmpdir;
    bool home_tmp;
    bool system_tmp;
    std::string parent;  // "": none
    std::string failures;
    uid_t home_tmp_owner = 0;
  } cases[] = {
      {"", false, true, root + "/tmp", ""},
      {"relative", false, true, root + "/tmp", "relative (TMPDIR): not an absolute path"},
      {"/no/such/folder", false, true, root + "/tmp", "/no/such/folder (TMPDIR): No such file or directory"},
      {file.c_str(), false, true, root + "/tmp", file + " (TMPDIR): Not a directory"},
      {chosen.c_str(), false, true, chosen, ""},
      {"/no/such/folder", false, false, "",
       "/no/such/folder (TMPDIR): No such file or directory\n" + root + "/tmp: No such file or directory"},
      {chosen.c_str(), true, false, home + "/tmp", ""},
      {theirs, false, true, root + "/tmp", theirs + " (TMPDIR): unsafe folder: it belongs to user 65534"},
      {theirs + "/sub", false, true, root + "/tmp",
       theirs + "/sub (TMPDIR): unsafe folder: it lies in a folder that belongs to user 65534"},
      {open, false, true, root + "/tmp",
       open + " (TMPDIR): unsafe folder: other users may write to it and it has no sticky bit"},
      {sticky, false, true, sticky, ""},
      {chosen, true, true, chosen, home + "/tmp: unsafe folder: it belongs to user 65534", 65534},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.tmpdir);
    env.set("TMPDIR", c.tmpdir);
    rmdir((home + "/tmp").c_str());
    if (c.home_tmp) {
      ASSERT_EQ(mkdir((home + "/tmp").c_str(), 0755), 0);
      ASSERT_EQ(chown((home + "/tmp").c_str(), c.home_tmp_owner, 0), 0);
    }
    if (c.system_tmp) mkdir((root + "/tmp").c_str(), 0755);
    if (!c.system_tmp) rmdir((root + "/tmp").c_str());
    EXPECT_EXIT(  // also with standard input closed, where the parent may be reached as descriptor 0
        {
          close(0);
          FOLDER made;
          const bool ok = get_standard_folder(&made, 7, "a/b", false) == !c.parent.empty();
          remove_temporary_folder();
          _exit(ok && get_temporary_folder_failures() == c.failures ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    FOLDER folder;
    EXPECT_EQ(get_standard_folder(&folder, 7, "a/b", false), !c.parent.empty());
    if (!c.parent.empty()) {
      EXPECT_EQ(std::string(folder.path).rfind(c.parent + "/a-b-", 0), 0u) << folder.path;
    }
    EXPECT_EQ(get_temporary_folder_failures(), c.failures);
    EXPECT_STREQ(get_temporary_folder_path(), c.parent.empty() ? "" : folder.path);
    remove_temporary_folder();
  }
}

// The temporary folder is held from its making: files are written, read
// and removed in it, and it is emptied, through the folder itself, not
// whatever has taken its path since.
TEST_F(FileServicesTest, TheTemporaryFolderIsUsedThroughTheFolderItself) {
  FOLDER folder;
  ASSERT_TRUE(get_standard_folder(&folder, 7, "app", false));
  const std::string made = folder.path, moved = root + "/tmp/moved";
  ASSERT_EQ(rename(made.c_str(), moved.c_str()), 0);
  ASSERT_EQ(mkdir(made.c_str(), 0755), 0);
  ASSERT_TRUE(ts::write_file(made + "/planted", "theirs"));

  EXPECT_TRUE(write_through(folder, "installer.pkg", "wb", "package"));
  EXPECT_EQ(ts::read_file(moved + "/installer.pkg"), "package");
  char read[16] = {};
  FILE* file = open_file(folder, "installer.pkg", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(fread(read, 1, sizeof read, file), 7u);
  EXPECT_TRUE(close_file(file));
  EXPECT_EQ(open_file(folder, "planted", "rb"), nullptr);
  EXPECT_TRUE(remove_file(folder, "installer.pkg"));
  EXPECT_FALSE(ts::file_exists(moved + "/installer.pkg"));
  EXPECT_FALSE(remove_file(folder, "planted"));

  ASSERT_TRUE(ts::write_file(moved + "/left", "l"));
  remove_temporary_folder();
  EXPECT_FALSE(ts::file_exists(moved + "/left"));
  EXPECT_EQ(ts::read_file(made + "/planted"), "theirs");
}

TEST_F(FileServicesTest, ProgramShutdownRemovesTheTemporaryFolder) {
  const std::string app = std::string(TEST_BIN_DIR) + "/apps/temp_folder_app";
  const std::vector<std::string> env = {"VORN_TEST_HOME=" + home, "VORN_TEST_ROOT=" + root};
  for (const char* how : {"--normal", "--fatal"}) {
    ts::RunResult run = ts::run_program({app, how}, env);
    EXPECT_EQ(run.exit_code, strcmp(how, "--fatal") == 0 ? 255 : 0) << run.out << run.err;
    std::string made = run.out.substr(0, run.out.find('\n'));
    EXPECT_EQ(made.rfind(root + "/tmp/temp_folder_app-", 0), 0u) << run.out;
    EXPECT_FALSE(ts::file_exists(made)) << how;
  }
  // A program that sets no override has the user's own home folder.
  ts::RunResult run = ts::run_program({app}, {"VORN_TEST_ROOT=" + root});
  const passwd* user = getpwuid(getuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), std::string(user->pw_dir) + "\n") << run.err;
}

TEST_F(FileServicesTest, CaseInsensitiveComparisons) {
  // Latin-1 bytes sort above ASCII; a count n <= 0 compares one character.
  for (auto [a, b, want] : {std::tuple{"abc", "ABC", 0}, {"abc", "ABD", -1}, {"abd", "ABC", 1}, {"ab", "abc", -1},
                            {"\xe9", "a", 1}, {"a", "\xe9", -1}})
    EXPECT_EQ(stricmp(a, b), want) << a << " " << b;
  for (auto [a, b, n, want] : {std::tuple{"abcX", "ABCy", 3, 0}, {"abcX", "ABCy", 4, -1}, {"ab", "ab", 10, 0},
                               {"xa", "Xb", 0, 0}, {"xa", "yb", -5, -1}, {"Ab", "aA", 2, 1}})
    EXPECT_EQ(strnicmp(a, b, n), want) << a << " " << b << " " << n;
}

Elf64_Ehdr elf_header_of(const std::string& path) {
  Elf64_Ehdr header = {};
  std::string bytes = ts::read_file(path);
  memcpy(&header, bytes.data(), std::min(bytes.size(), sizeof header));
  return header;
}

TEST_F(FileServicesTest, PayloadStartsAfterTheSectionHeaderTable) {
  std::string copy = scratch.file("program");
  std::string image = ts::read_file(self_path());
  ASSERT_TRUE(ts::write_file(copy, image));
  Elf64_Ehdr header = elf_header_of(copy);
  uint64_t end = header.e_shoff + static_cast<uint64_t>(header.e_shnum) * header.e_shentsize;

  PAYLOAD_INFO plain = payload_offset_of(copy.c_str());
  EXPECT_FALSE(plain.present);
  EXPECT_EQ(plain.offset, end);
  EXPECT_EQ(payload_offset().present, false);

  ASSERT_TRUE(ts::write_file(copy, image + "PAYLOAD DATA"));
  PAYLOAD_INFO carried = payload_offset_of(copy.c_str());
  ASSERT_TRUE(carried.present);
  EXPECT_EQ(carried.offset, end);
  EXPECT_EQ(ts::read_file(copy).substr(carried.offset), "PAYLOAD DATA");
}

// A bare 64-bit ELF header (no program) with the section header table at
// table_offset; the multi-byte fields in the given byte order.
std::string elf_header(bool big_endian, uint64_t table_offset, uint16_t entry_size, uint16_t entries) {
  std::string bytes = std::string("\x7f" "ELF\x02", 5) + (big_endian ? '\x02' : '\x01');
  bytes.resize(64, '\0');
  auto put = [&](size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
      bytes[at + (big_endian ? size - 1 - i : i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(0x28, table_offset, 8);
  put(0x3A, entry_size, 2);
  put(0x3C, entries, 2);
  return bytes;
}

// Headers of either byte order; more sections than the header's 16-bit
// count holds (the count is then the first section header's size field);
// no table, a table ending beyond 4 GiB or past the file's end, and files
// that are no ELF image: no payload.
TEST_F(FileServicesTest, PayloadOffsetOfEveryKindOfHeader) {
  std::string big = elf_header(true, 0x100, 64, 3);  // the table ends at 0x1C0
  big.resize(0x1C0, '\0');
  std::string many = elf_header(false, 0x40, 64, 0);
  many.resize(0x40 + 64, '\0');
  for (int i = 0; i < 8; ++i) many[0x40 + 0x20 + i] = static_cast<char>((70000ull >> (8 * i)) & 0xFF);
  const struct {
    const char* name;
    std::string bytes;
    bool present;
    uint64_t offset;  // 0: not looked at
  } rows[] = {
      {"big", big + "DATA", true, 0x1C0},
      {"many", many, false, 0x40u + 70000u * 64u},
      {"none", elf_header(false, 0, 0, 0) + "DATA", false, 0},
      {"lying", elf_header(false, 0xFFFFFFF0u, 64, 1) + "DATA", false, 0},
      {"last", elf_header(false, 0xFFFFFFBFu, 64, 1) + "DATA", false, 0xFFFFFFFFu},  // ends at 4 GiB - 1
      {"text", std::string(200, 'x'), false, 0},
      {"short", "\x7f" "ELF\x02", false, 0},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(ts::write_file(scratch.file(row.name), row.bytes));
    const PAYLOAD_INFO info = payload_offset_of(scratch.file(row.name).c_str());
    EXPECT_EQ(info.present, row.present) << row.name;
    if (row.offset) {
      EXPECT_EQ(info.offset, row.offset) << row.name;
    }
  }
  EXPECT_FALSE(payload_offset_of(scratch.file("missing").c_str()).present);
  EXPECT_FALSE(payload_offset_of(nullptr).present);
}

[[noreturn]] void run_script(const std::string& work) {
  static char arg0[] = "script.sh";
  static char arg1[] = "with-argument";
  static char* argv[] = {arg0, arg1, nullptr};
  save_arguments(argv, environ);
  run_program(folder_at(work), "script.sh");
  _exit(1);
}

TEST_F(FileServicesTest, RunProgramMakesTheFileExecutableAndReplacesTheProcess) {
  std::string script = work + "/script.sh";
  ASSERT_TRUE(ts::write_file(script, "#!/bin/sh\necho \"ran $1\"\nexit 7\n"));
  ASSERT_EQ(chmod(script.c_str(), 0600), 0);
  EXPECT_EXIT(run_script(work), ::testing::ExitedWithCode(7), "");
  EXPECT_EQ(mode_of(script), 0711u);
  EXPECT_FALSE(run_program(folder_at(work), "missing"));
  ASSERT_EQ(mkdir((work + "/folder").c_str(), 0755), 0);
  EXPECT_FALSE(run_program(folder_at(work), "folder"));  // there, but nothing the system can start
}

}  // namespace
