// Extracting every file of two archives, each next to copying the same
// bytes from a tree of plain files with a read/write loop and with "cp -r":
// 256 files of 1 MiB (default block size) and 20,000 files of 4 KiB (block
// size 4096). Everything lives in a private folder under /tmp that is
// removed at the end. The aim is extraction at no less than 0.8 times the
// speed of the plain copy.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "file_services.h"
#include "folder.h"
#include "package.h"

extern char** environ;

namespace {

struct SET {
  const char* label;
  int files;
  size_t file_size;
  int32_t block_size;
  std::vector<std::string> names;
};

SET sets[] = {{"large", 256, 1 << 20, -1, {}}, {"small", 20000, 4096, 4096, {}}};
std::string root;

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}
void remove_tree(const std::string& path) {
  nftw(path.c_str(), remove_entry, 32, FTW_DEPTH | FTW_PHYS);
}

std::string payload(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

FOLDER folder_at(const std::string& path) {
  FOLDER folder;
  folder.set_absolute(path.c_str());
  return folder;
}

// The source tree and the archive made from it.
bool prepare(SET& set) {
  std::string tree = root + "/" + set.label;
  if (mkdir(tree.c_str(), 0700) != 0) return false;
  FOLDER source = folder_at(tree);
  FOLDER archives = folder_at(root);
  PACKAGE package(archives, (std::string(set.label) + ".pkg").c_str(), true, set.block_size, false,
                  false);
  if (!package.is_open()) return false;
  for (int i = 0; i < set.files; i++) {
    char name[32];
    snprintf(name, sizeof name, "file_%05d.bin", i);
    set.names.push_back(name);
    FILE* file = fopen((tree + "/" + name).c_str(), "wb");
    std::string bytes = payload(set.file_size, static_cast<uint32_t>(i));
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0)
      return false;
    if (!package.add_file(source, name)) return false;
  }
  return true;
}

std::string fresh_output() {
  std::string out = root + "/out";
  remove_tree(out);
  mkdir(out.c_str(), 0700);
  return out;
}

void report(benchmark::State& state, const SET& set) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(set.files * set.file_size));
  state.SetItemsProcessed(state.iterations() * set.files);
}

void BM_Extract(benchmark::State& state) {
  SET& set = sets[state.range(0)];
  FOLDER archives = folder_at(root);
  for (auto _ : state) {
    state.PauseTiming();
    FOLDER out = folder_at(fresh_output());
    state.ResumeTiming();
    // Opened as the installer opens it to install.
    PACKAGE package(archives, (std::string(set.label) + ".pkg").c_str(), true, -1, false, false);
    for (const std::string& name : set.names) {
      if (!package.extract(out, name.c_str())) {
        state.SkipWithError("extraction failed");
        return;
      }
    }
  }
  report(state, set);
}

bool copy_file_plain(const std::string& from, const std::string& to, std::vector<char>& buffer) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool ok = out >= 0;
  for (ssize_t got; ok && (got = read(in, buffer.data(), buffer.size())) > 0;)
    ok = write(out, buffer.data(), static_cast<size_t>(got)) == got;
  close(in);
  return (out < 0 || close(out) == 0) && ok;
}

void BM_PlainCopy(benchmark::State& state) {
  SET& set = sets[state.range(0)];
  std::string tree = root + "/" + set.label;
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    state.PauseTiming();
    std::string out = fresh_output();
    state.ResumeTiming();
    for (const std::string& name : set.names) {
      if (!copy_file_plain(tree + "/" + name, out + "/" + name, buffer)) {
        state.SkipWithError("copy failed");
        return;
      }
    }
  }
  report(state, set);
}

void BM_CpRecursive(benchmark::State& state) {
  SET& set = sets[state.range(0)];
  std::string tree = root + "/" + set.label;
  for (auto _ : state) {
    state.PauseTiming();
    std::string out = fresh_output() + "/tree";
    state.ResumeTiming();
    char* argv[] = {const_cast<char*>("cp"), const_cast<char*>("-r"), tree.data(), out.data(),
                    nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("cp -r failed");
      return;
    }
  }
  report(state, set);
}

BENCHMARK(BM_Extract)->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpRecursive)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  char made[] = "/tmp/vorn_package_bench_XXXXXX";
  if (!mkdtemp(made)) return 1;
  root = made;
  set_home_folder_override(root.c_str());  // nothing reaches the real home
  bool ready = true;
  for (SET& set : sets) ready = ready && prepare(set);
  if (ready) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  } else {
    fprintf(stderr, "could not prepare the archives in %s\n", root.c_str());
  }
  remove_tree(root);
  return ready ? 0 : 1;
}
