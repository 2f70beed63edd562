// Whole installs through -a: make_installer builds a real installer from
// files made here, and the installer runs as a throwaway unprivileged user
// whose home (from the password entry) lies in the test's scratch folder,
// so the desktop link and the menu entry land in folders the test owns.
// Creating the user needs root; elsewhere the tests are skipped.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data_file.h"
#include "file_services.h"
#include "folder.h"
#include "package.h"
#include "payload.h"
#include "test_support.h"

namespace {

const std::string kInstallerDir = TEST_BIN_DIR "/../tools/installer";

// Whether the text holds the line whole.
bool has_line(const std::string& text, const std::string& line) {
  return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

// Bytes that differ from file to file: 64 printable values, which deflate
// a little, or all 256, which do not deflate at all.
std::string file_bytes(uint32_t seed, size_t size, bool compressible) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(compressible ? (generator() & 0x3F) + ' ' : generator());
  return bytes;
}

// Every regular file below root, as paths relative to it.
std::set<std::string> files_below(const std::string& root) {
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.insert(entry.path().lexically_relative(root).string());
  return files;
}

mode_t mode_of(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A user made for one test and removed with it, also when the test fails.
class THROWAWAY_USER {
public:
  explicit THROWAWAY_USER(const std::string& home) {
    name = "vornai" + std::to_string(getpid());
    // What a crashed earlier run of the same process number left behind.
    if (getpwnam(name.c_str())) test_support::run_program({"/usr/sbin/userdel", name});
    const test_support::RunResult made = test_support::run_program(
        {"/usr/sbin/useradd", "-M", "-U", "-d", home, "-s", "/usr/sbin/nologin", name});
    const passwd* entry = made.exit_code == 0 ? getpwnam(name.c_str()) : nullptr;
    if (!entry) {
      error = "useradd failed: " + made.err;
      return;
    }
    uid = entry->pw_uid;
    gid = entry->pw_gid;
    this->home = home;
    mkdir(home.c_str(), 0755);
    own(home);
  }
  ~THROWAWAY_USER() {
    if (error.empty()) test_support::run_program({"/usr/sbin/userdel", name});
  }
  THROWAWAY_USER(const THROWAWAY_USER&) = delete;
  THROWAWAY_USER& operator=(const THROWAWAY_USER&) = delete;

  void own(const std::string& path) const {
    if (chown(path.c_str(), uid, gid) != 0) ADD_FAILURE() << "chown " << path;
  }

  std::string name, home, error;
  uid_t uid = 0;
  gid_t gid = 0;
};

struct RUN {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;
};

// Runs "program -a" (and the further arguments) as the user, in the
// user's home, without a display. With interrupt_on, SIGINT is sent once a
// line beginning with that text has been printed. With read_only_tmp the
// run sees a read-only /tmp (in a mount namespace of its own), which
// covers the home and whatever else lies below it.
RUN run_automatic(const THROWAWAY_USER& user, const std::string& program,
                  const std::string& interrupt_on = "", std::vector<std::string> arguments = {},
                  const std::vector<std::string>& extra_env = {}, bool read_only_tmp = false,
                  rlim_t largest_file = RLIM_INFINITY) {
  RUN run;
  int out[2];
  if (pipe(out) != 0) return run;
  std::vector<std::string> env = {"HOME=" + user.home, "PATH=/usr/sbin:/usr/bin:/sbin:/bin",
                                  "USER=" + user.name, "LOGNAME=" + user.name};
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
    if (const char* value = getenv(name)) env.push_back(std::string(name) + "=" + value);
  // Everything the child needs is made before the fork: it only switches
  // user and starts the program.
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  arguments.insert(arguments.begin(), {program, "-a"});
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (chdir(user.home.c_str()) != 0) _exit(126);
    if (read_only_tmp &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount("tmpfs", "/tmp", "tmpfs", MS_RDONLY, "size=4k") != 0))
      _exit(125);
    if (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0) _exit(126);
    // A write past the limit then fails with EFBIG instead of ending the run.
    const rlimit limit = {largest_file, largest_file};
    if (largest_file != RLIM_INFINITY && (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0))
      _exit(125);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  bool interrupted = false;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    run.out.append(buffer, static_cast<size_t>(n));
    if (!interrupt_on.empty() && !interrupted &&
        (run.out.rfind(interrupt_on, 0) == 0 ||
         run.out.find("\n" + interrupt_on) != std::string::npos)) {
      kill(pid, SIGINT);
      interrupted = true;
    }
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

class AutomaticInstall : public ::testing::Test {
protected:
  void SetUp() override {
    if (geteuid() != 0)
      GTEST_SKIP() << "a throwaway user for the install can only be made as root";
    // The user must reach the installer and the target through it.
    ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
    user = std::make_unique<THROWAWAY_USER>(scratch.file("home"));
    ASSERT_TRUE(user->error.empty()) << user->error;
    target = scratch.file("target");
    mkdir(scratch.file("source").c_str(), 0755);
    mkdir(files().c_str(), 0755);
  }

  std::string files() const { return scratch.file("source/files"); }

  // A file to install, with its bytes remembered.
  void add_file(const std::string& relative, size_t size, bool compressible = true) {
    const size_t slash = relative.rfind('/');
    if (slash != std::string::npos)
      mkdir((files() + "/" + relative.substr(0, slash)).c_str(), 0755);
    sources[relative] = file_bytes(static_cast<uint32_t>(sources.size() + 1), size, compressible);
    ASSERT_TRUE(test_support::write_file(files() + "/" + relative, sources[relative]));
  }

  // Builds the installer from the description's lines (after the common
  // ones) and returns its path.
  std::string build(const std::string& extra_lines, std::string* builder_errors = nullptr,
                    const std::string& output = "setup") {
    const std::string description =
        "app = Tools\ninstallation = Standard | $ROOT1" + target +
        "\nfiles = files\ntime_stamp = 1000000000\nlanguage = English\n" + extra_lines;
    EXPECT_TRUE(test_support::write_file(scratch.file("source/installer.txt"), description));
    const std::string program = scratch.file(output);
    const test_support::RunResult made = test_support::run_program(
        {kInstallerDir + "/make_installer", scratch.file("source/installer.txt"),
         kInstallerDir + "/setup", program});
    EXPECT_EQ(made.exit_code, 0) << made.err;
    if (builder_errors) *builder_errors = made.err;
    return program;
  }

  // Something already in the target before the install, with a time.
  void place_in_target(const std::string& relative, const std::string& bytes, time_t when) {
    const std::string path = target + "/" + relative;
    ASSERT_TRUE(test_support::write_file(path, bytes));
    user->own(path);
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  // What every log begins with, and what the console shows before it.
  std::string log_head() const {
    return "Installed Files\n---------------\n\nLanguage: English\nSettings: 0 0 $ROOT1" + target + "\n\n";
  }
  static constexpr const char* kLoading = "Loading automatic pack...\nPacking data...\n";

  void make_target() {
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    user->own(target);
  }

  test_support::ScratchDir scratch;
  std::unique_ptr<THROWAWAY_USER> user;
  std::string target;
  std::map<std::string, std::string> sources;
};

TEST_F(AutomaticInstall, InstallsFilesLinksAndTheLogAndSucceeds) {
  add_file("bin/tool", 3000);
  add_file("bin/helper", 70000);
  add_file("docs/readme.txt", 500);
  add_file("keep.txt", 10);
  add_file("newer.txt", 20);
  add_file("older.txt", 30);
  add_file("windows.txt", 40);
  add_file("z M\xC3\xBCller \xC3\x9F.txt", 50);  // "z Müller ß.txt" in UTF-8, as file systems name it
  const std::string program = build(
      "file = bin/helper | switch_user\n"
      "file = keep.txt | overwrite 2\n"
      "file = newer.txt | overwrite 1\n"
      "file = older.txt | overwrite 1\n"
      "file = windows.txt | platform windows\n"
      "file = windows.txt | overwrite 0\n"  // keeps the platform of the line above
      "link = Read Me | docs/readme.txt | 3\n"
      "link = Tool | bin/tool | 1 | Applications/Tools\n");
  make_target();
  place_in_target("keep.txt", "mine", 2000000000);
  place_in_target("newer.txt", "mine too", 1000000000);  // as new as the data: kept
  place_in_target("older.txt", "old", 999999999);
  const std::string desktop = user->home + "/Desktop";
  ASSERT_EQ(mkdir(desktop.c_str(), 0755), 0);
  user->own(desktop);

  const RUN run = run_automatic(*user, program);
  EXPECT_EQ(run.status, 0) << run.out;

  for (const char* name : {"bin/tool", "bin/helper", "docs/readme.txt", "older.txt", "z M\xC3\xBCller \xC3\x9F.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(test_support::read_file(target + "/" + name) == sources[name]);
    // The source's bits; the set-user-id file also its set-id bits.
    const mode_t wanted = mode_of(files() + "/" + name) | (std::string(name) == "bin/helper" ? 06000 : 0);
    EXPECT_EQ(mode_of(target + "/" + name), wanted);
  }
  EXPECT_EQ(test_support::read_file(target + "/keep.txt"), "mine");
  EXPECT_EQ(test_support::read_file(target + "/newer.txt"), "mine too");
  EXPECT_FALSE(test_support::file_exists(target + "/windows.txt"));

  const std::string log =
      log_head() + "Installed \"" + target + "/bin/helper\"\n"
      "Installed \"" + target + "/bin/tool\"\n"
      "Installed \"" + target + "/docs/readme.txt\"\n"
      "Skipped \"" + target + "/keep.txt\"\n"
      "Skipped \"" + target + "/newer.txt\"\n"
      "Installed \"" + target + "/older.txt\"\n"
      "Installed \"" + target + "/z M\xC3\xBCller \xC3\x9F.txt\"\n"
      "create_desktop_shortcut( 3, \"docs/readme.txt\", \"\", \"Read Me\", \"null\", \"\", \"" +
      target + "\" );\n"
      "create_os_menu_shortcut( 1, \"bin/tool\", \"\", \"Tool\", \"Applications/Tools\", "
      "\"null\", \"\", \"" + target + "\" );\n"
      "Installation completed without any errors.\n";
  EXPECT_EQ(test_support::read_file(target + "/install_log.txt"), log);
  // The console shows the same lines as they are written, each name in
  // the terminal's UTF-8 once.
  EXPECT_EQ(run.out, kLoading + log + "Done\n");

  const std::string link = desktop + "/Read_Me.desktop";
  EXPECT_TRUE(has_line(test_support::read_file(link), "URL=" + target + "/docs/readme.txt"));
  EXPECT_EQ(test_support::desktop_validation_errors(link), std::vector<std::string>{});
  const std::string menu =
      test_support::read_file(user->home + "/.menu/local.Applications_Tools_Tool.desktop");
  EXPECT_NE(menu.find("section=\"Applications/Tools\" title=\"Tool\""), std::string::npos) << menu;
  EXPECT_NE(menu.find(target + "/bin/tool"), std::string::npos) << menu;
}

// Files that cannot be written are logged and counted, the run goes on
// with the rest, says "Done" and ends with a failure status; so does a run
// whose log cannot be made, and one whose whole target is unwritable; a
// target that cannot be made stops the run before any file.
TEST_F(AutomaticInstall, UnwritableTargetsAreReportedAndFail) {
  add_file("a.txt", 100);
  add_file("locked/b.txt", 100);
  add_file("locked/c.txt", 100);
  // The message carries a title change and a C1 control: the console shows
  // them escaped.
  const std::string program = build("PATH_ERROR_MSG = Cannot install\x1b]0;owned\x07 into %s.\xc2\x9b" "2J\n");
  make_target();
  ASSERT_EQ(mkdir((target + "/locked").c_str(), 0555), 0);  // root's, not the user's

  // Every step is walked; the console adds each failed file's message
  // (this data's is empty: the path alone).
  RUN run = run_automatic(*user, program);
  EXPECT_NE(run.status, 0);
  const std::string installed = "Installed \"" + target + "/a.txt\"\n";
  const std::string failed[] = {"\"" + target + "/locked/b.txt\" failed to unpack (files/locked/b.txt)\n",
                                "\"" + target + "/locked/c.txt\" failed to unpack (files/locked/c.txt)\n"};
  const std::string errors = "Installation completed with 2 errors.\n";
  EXPECT_EQ(test_support::read_file(target + "/install_log.txt"),
            log_head() + installed + failed[0] + failed[1] + errors);
  EXPECT_EQ(run.out, kLoading + log_head() + installed + failed[0] + target + "/locked/b.txt\n" + failed[1] +
                         target + "/locked/c.txt\n" + errors + "Done\n");
  EXPECT_TRUE(test_support::read_file(target + "/a.txt") == sources["a.txt"]);

  // Only the log cannot be made: the files install, the run still fails.
  ASSERT_EQ(rename((target + "/install_log.txt").c_str(), scratch.file("old_log").c_str()), 0);
  ASSERT_EQ(mkdir((target + "/install_log.txt").c_str(), 0555), 0);
  ASSERT_EQ(unlink((target + "/a.txt").c_str()), 0);
  run = run_automatic(*user, program);
  EXPECT_NE(run.status, 0);
  const std::string unwritable = target + "/locked/b.txt\n" + target + "/locked/c.txt\nDone\n";
  EXPECT_EQ(run.out, kLoading + target + "/install_log.txt\n" + unwritable);
  EXPECT_TRUE(test_support::read_file(target + "/a.txt") == sources["a.txt"]);

  ASSERT_EQ(chmod(target.c_str(), 0555), 0);
  ASSERT_EQ(chown(target.c_str(), 0, 0), 0);
  ASSERT_EQ(unlink((target + "/a.txt").c_str()), 0);
  run = run_automatic(*user, program);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.out, kLoading + target + "/install_log.txt\n" + target + "/a.txt\n" + unwritable);
  EXPECT_FALSE(test_support::file_exists(target + "/a.txt"));

  // An install folder that cannot be made (the scratch folder is root's)
  // stops the run at once with the data's message about it, then the
  // folder and the system's reason.
  test_support::run_program({"/bin/rm", "-rf", target});
  run = run_automatic(*user, program);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.out, kLoading + std::string("Cannot install\\x1b]0;owned\\x07 into ") + target + ".\\u009b2J\n" +
                         target + ": Permission denied\n");
  EXPECT_FALSE(test_support::file_exists(target));
}

// A link that another user planted in the target stops the run there:
// what was installed before stays, nothing reaches where the link leads,
// the console names the folder and why, the log says how far the run got
// and the status says that it failed.
TEST_F(AutomaticInstall, AnotherUsersLinkInTheTargetStopsTheRun) {
  add_file("a.txt", 10);
  add_file("sub/b.txt", 20);
  const std::string program = build("");
  make_target();
  const std::string victim = scratch.file("victim");
  ASSERT_EQ(mkdir(victim.c_str(), 0777), 0);
  ASSERT_EQ(symlink(victim.c_str(), (target + "/sub").c_str()), 0);
  ASSERT_EQ(lchown((target + "/sub").c_str(), 65534, 65534), 0);

  const RUN run = run_automatic(*user, program);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(std::filesystem::is_empty(victim));
  EXPECT_TRUE(test_support::read_file(target + "/a.txt") == sources["a.txt"]);
  const std::string installed = log_head() + "Installed \"" + target + "/a.txt\"\n\"" + target +
                                "/sub/b.txt\" failed to unpack (files/sub/b.txt)\n";
  const std::string interrupted = "Installation interrupted: 1 file installed.\n";
  EXPECT_EQ(test_support::read_file(target + "/install_log.txt"), installed + interrupted);
  EXPECT_EQ(run.out, kLoading + installed + target + "/sub: unsafe link: it belongs to user 65534\n" + interrupted);
}

// Pieces of the package that do not shrink are stored as they are, beside
// the deflated others; the installer installs both.
TEST_F(AutomaticInstall, AnIncompressiblePackageIsStoredAsItIsAndInstalls) {
  add_file("picture.png", 200000, false);
  add_file("notes.txt", 1000);
  std::string builder_errors;
  // Pieces smaller than the picture, so that one holds nothing else.
  const std::string program = build("chunk_size = 65536\n", &builder_errors);
  // Nothing but the warnings about the wizard's texts, which this
  // description leaves empty.
  std::istringstream said(builder_errors);
  for (std::string line; std::getline(said, line);)
    EXPECT_EQ(line.rfind("make_installer: warning: ", 0), 0u) << line;
  make_target();

  const RUN run = run_automatic(*user, program);
  EXPECT_EQ(run.status, 0) << run.out;
  for (const auto& [name, bytes] : sources)
    EXPECT_TRUE(test_support::read_file(target + "/" + name) == bytes) << name;
}

// The installer that program is, as builders made it before they chose
// the layout from the files: 64 KiB blocks and 64 KiB pieces. Made in
// folder, from the package the program carries; false on any failure.
bool repack_as_before(const std::string& program, const std::string& folder_path,
                      const std::string& result) {
  FOLDER folder, program_folder;
  const size_t slash = program.rfind('/');
  if (!folder.set_absolute(folder_path.c_str()) ||
      !program_folder.set_absolute(program.substr(0, slash).c_str()))
    return false;
  const PAYLOAD_INFO payload = payload_offset_of(program.c_str());
  if (!payload.present || !unpack_payload_file(program_folder, program.substr(slash + 1).c_str(),
                                               payload.offset, folder, "now.pkg", nullptr))
    return false;
  {
    PACKAGE now(folder, "now.pkg", false, -1, true, true);
    PACKAGE before(folder, "installer.pkg", true, 65536, true, false);
    if (!now.is_open() || !before.is_open() || now.header.block_size == 65536) return false;
    for (PACKAGE_FILE_RECORD* entry = now.list_head; entry; entry = entry->next_entry)
      if (!now.extract(folder, "piece", entry->name.get_text()) ||
          !before.add_file(folder, "piece", entry->name.get_text()))
        return false;
    if (!before.flush()) return false;
  }
  DATA_FILE* chunks = folder.open_data_file("payload.bin", 1, 1);
  if (!chunks) return false;
  PAYLOAD_OPTIONS options;
  options.chunk_size = 65536;
  options.form = PAYLOAD_OPTIONS::FORM::FLAGGED;  // as the payload was then
  const bool written = write_payload(*chunks, folder, "installer.pkg", options);
  if (!FOLDER::close_data_file(chunks) || !written) return false;
  const std::string bytes = test_support::read_file(kInstallerDir + "/setup") +
                            test_support::read_file(folder_path + "/payload.bin");
  return test_support::write_file(result, bytes) && chmod(result.c_str(), 0755) == 0;
}

// The layout is stored in the installer file, so installers made before
// it was chosen from the files still install, byte for byte.
TEST_F(AutomaticInstall, InstallersMadeBeforeTheLayoutWasChosenStillInstall) {
  add_file("bin/tool", 70000);
  add_file("small.txt", 10);
  add_file("empty.txt", 0);
  for (int i = 0; i < 40; ++i) add_file("many/f" + std::to_string(i), 300 + 37 * i);
  const std::string now = build("");
  const std::string before = scratch.file("setup_before");
  ASSERT_EQ(mkdir(scratch.file("before").c_str(), 0700), 0);
  ASSERT_TRUE(repack_as_before(now, scratch.file("before"), before));

  for (const std::string& program : {now, before}) {
    SCOPED_TRACE(program);
    test_support::run_program({"/bin/rm", "-rf", target});
    make_target();
    const RUN run = run_automatic(*user, program);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(files_below(target).size(), sources.size() + 1);  // and the log
    for (const auto& [name, bytes] : sources)
      EXPECT_TRUE(test_support::read_file(target + "/" + name) == bytes) << name;
  }
}

// SIGINT while files are being written: the file in hand is finished, the
// run stops with "Aborted" and a failure status, every file that is there
// is whole, and the log's last line says that the run was interrupted.
TEST_F(AutomaticInstall, AnInterruptStopsBetweenFiles) {
  constexpr int kFiles = 400;
  for (int i = 0; i < kFiles; ++i) add_file("many/f" + std::to_string(1000 + i), 20000);
  const std::string program = build("");
  make_target();

  const RUN run = run_automatic(*user, program, "Installed ");
  EXPECT_NE(run.status, 0);
  const std::set<std::string> present = files_below(target);
  EXPECT_LT(present.size(), static_cast<size_t>(kFiles));
  const std::string log = test_support::read_file(target + "/install_log.txt");
  const size_t installed = present.size() - 1;  // less the log
  EXPECT_EQ(log.substr(log.rfind('\n', log.size() - 2) + 1), "Installation interrupted: " + std::to_string(installed) +
                                                              (installed == 1 ? " file" : " files") + " installed.\n");
  // The console shows every line the log got, in the same order, and then
  // "Aborted".
  EXPECT_EQ(run.out, kLoading + log + "Aborted\n");
  for (const std::string& name : present) {
    if (name == "install_log.txt") continue;
    SCOPED_TRACE(name);
    ASSERT_EQ(sources.count(name), 1u);  // no temporary name left behind
    EXPECT_TRUE(test_support::read_file(target + "/" + name) == sources[name]);
  }
}

// -x names where the data is, also for an installer that carries data of
// its own; where there is none the run fails. Without a desktop folder
// the link is left out with a line and the run still succeeds.
TEST_F(AutomaticInstall, AnExplicitDataFolderWinsAndNoDesktopIsNoError) {
  add_file("own.txt", 10);
  const std::string program = build("");
  ASSERT_EQ(unlink((files() + "/own.txt").c_str()), 0);
  sources.clear();
  add_file("other.txt", 20);
  const std::string other_program = build("link = Other | other.txt | 3\n", nullptr, "setup-other");
  const std::string other = scratch.file("other"), empty = scratch.file("empty");
  for (const std::string& folder : {other, empty}) ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  FOLDER from, to;
  ASSERT_TRUE(from.set_absolute(scratch.path().c_str()));
  ASSERT_TRUE(to.set_absolute(other.c_str()));
  const PAYLOAD_INFO payload = payload_offset_of(other_program.c_str());
  ASSERT_TRUE(payload.present);
  ASSERT_TRUE(unpack_payload_file(from, "setup-other", payload.offset, to, "installer.pkg", nullptr));
  ASSERT_EQ(chmod((other + "/installer.pkg").c_str(), 0644), 0);
  user->own(other);  // the installer could remove it: it must not

  RUN run = run_automatic(*user, program, "", {"-x", empty + "/installer.xml"});
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.out, "Loading automatic pack...\nERROR: unable to load data\nNo installation data found!\n"
                     "Make sure you have got all required files.\n" + empty + "/installer.pkg could not be loaded.\n");
  EXPECT_FALSE(test_support::file_exists(target));

  make_target();
  run = run_automatic(*user, program, "", {"-x", other + "/installer.xml"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(test_support::read_file(target + "/other.txt") == sources["other.txt"]);
  EXPECT_FALSE(test_support::file_exists(target + "/own.txt"));
  EXPECT_TRUE(test_support::file_exists(other + "/installer.pkg"));
  const std::string log = log_head() + "Installed \"" + target + "/other.txt\"\n" +
                          "Desktop link \"Other\" skipped: there is no desktop folder\n"
                          "Installation completed without any errors.\n";
  EXPECT_EQ(test_support::read_file(target + "/install_log.txt"), log);
  EXPECT_EQ(run.out, kLoading + log + "Done\n");
}

// A TMPDIR that cannot hold the temporary folder is named with the
// reason and passed over for /tmp (the user's home has no tmp folder);
// where no folder can hold it, each one tried is named.
TEST_F(AutomaticInstall, AnUnusableTmpdirIsNamedAndPassedOver) {
  add_file("a.txt", 100);
  const std::string program = build("");
  make_target();
  const std::string missing = scratch.file("missing"), locked = scratch.file("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);  // root's
  // The installer lies outside the /tmp a run may be given.
  const std::string outside = "/dev/shm/vorn_setup_" + std::to_string(getpid());
  ASSERT_TRUE(test_support::write_file(outside, test_support::read_file(program)));
  ASSERT_EQ(chmod(outside.c_str(), 0755), 0);
  const struct {
    std::string tmpdir;
    bool read_only_tmp;
    bool installs;
    std::vector<std::string> lines;
  } rows[] = {
      {missing, false, true,
       {"The temporary folder could not be made in:", missing + " (TMPDIR): No such file or directory"}},
      {locked, false, true,
       {"The temporary folder could not be made in:", locked + " (TMPDIR): Permission denied"}},
      {missing, true, false,
       {"No temporary folder could be made!", missing + " (TMPDIR): No such file or directory",
        "/tmp: Read-only file system",
        "Set TMPDIR to a folder you may write to and start the installer again."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.tmpdir + (row.read_only_tmp ? " read-only /tmp" : ""));
    const RUN run = run_automatic(*user, outside, "", {}, {"TMPDIR=" + row.tmpdir}, row.read_only_tmp);
    EXPECT_EQ(run.status == 0, row.installs) << run.out;
    for (const std::string& line : row.lines) EXPECT_TRUE(has_line(run.out, line)) << line << "\n" << run.out;
    EXPECT_EQ(run.out.find("\nIt is /tmp/vorn_setup_") != std::string::npos, row.installs) << run.out;
  }
  unlink(outside.c_str());
  EXPECT_TRUE(test_support::read_file(target + "/a.txt") == sources["a.txt"]);
}

// An installer file cut short says so, and so does a temporary folder
// without room for the data or one that refuses a write for another
// reason (a file larger than the user may write), naming the folder
// ($TMPDIR, as the user's home has no tmp folder).
TEST_F(AutomaticInstall, DamagedInstallersAndAFullTemporaryFolderAreToldApart) {
  add_file("big.bin", 300000, false);
  const std::string program = build("");
  const std::string cut = scratch.file("cut-setup");
  const std::string bytes = test_support::read_file(program);
  ASSERT_TRUE(test_support::write_file(cut, bytes.substr(0, bytes.size() - 1000)));
  ASSERT_EQ(chmod(cut.c_str(), 0755), 0);
  RUN run = run_automatic(*user, cut);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.out, "Loading automatic pack...\nERROR: unable to load data\n"
                     "The installer file is incomplete or damaged!\n" + cut +
                         " ends early or holds data that cannot be read.\nGet a complete copy of the installer.\n");

  const std::string limited = scratch.file("limited");
  ASSERT_EQ(mkdir(limited.c_str(), 0777), 0);
  ASSERT_EQ(chmod(limited.c_str(), 01777), 0);
  run = run_automatic(*user, program, "", {}, {"TMPDIR=" + limited}, false, 100000);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(has_line(run.out, "The installation data could not be unpacked!")) << run.out;
  const size_t said = run.out.find("\nWriting to the temporary folder " + limited + "/setup-");
  ASSERT_NE(said, std::string::npos) << run.out;
  EXPECT_EQ(run.out.substr(run.out.find('\n', said + 1) - 8), " failed.\n");

  const std::string small = scratch.file("small");
  ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k,mode=1777") != 0)
    GTEST_SKIP() << "no small file system can be mounted here";
  run = run_automatic(*user, program, "", {}, {"TMPDIR=" + small});
  umount(small.c_str());
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(has_line(run.out, "There is not enough room in the temporary folder!")) << run.out;
  EXPECT_NE(run.out.find("needs more free space in " + small + "/setup-"), std::string::npos) << run.out;
}

}  // namespace
