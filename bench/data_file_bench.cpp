// Reading and writing a 64 MiB data file in 4 KiB transfers and in
// transfers of the whole default buffer, each next to a plain fread/fwrite
// loop moving the same bytes, in a private folder under /tmp.
#include <benchmark/benchmark.h>
#include <ftw.h>
#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data_file.h"
#include "folder.h"

namespace {

constexpr int64_t kFileSize = 64 << 20;
constexpr int64_t kSmall = 4096;
constexpr int64_t kWhole = DATA_FILE::DEFAULT_BUFFER_SIZE;

std::string scratch_path;
FOLDER* scratch_folder = nullptr;  // made in main, after static set-up

std::vector<char> payload(size_t size) {
  std::vector<char> out(size);
  uint32_t seed = 1;
  for (char& c : out) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

void report(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_DataFileWrite(benchmark::State& state) {
  const int32_t chunk = static_cast<int32_t>(state.range(0));
  std::vector<char> data = payload(static_cast<size_t>(chunk));
  for (auto _ : state) {
    DATA_FILE* file = scratch_folder->open_data_file("data_write.bin", 1, 0);
    if (!file) {
      state.SkipWithError("open failed");
      return;
    }
    for (int64_t done = 0; done < kFileSize; done += chunk) file->write(data.data(), chunk);
    if (!FOLDER::close_data_file(file)) state.SkipWithError("write failed");
  }
  report(state);
}

void BM_StdioWrite(benchmark::State& state) {
  const size_t chunk = static_cast<size_t>(state.range(0));
  std::vector<char> data = payload(chunk);
  std::string path = scratch_path + "/stdio_write.bin";
  for (auto _ : state) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
      state.SkipWithError("open failed");
      return;
    }
    for (int64_t done = 0; done < kFileSize; done += static_cast<int64_t>(chunk))
      fwrite(data.data(), 1, chunk, file);
    if (fclose(file) != 0) state.SkipWithError("write failed");
  }
  report(state);
}

// The file both readers read, written once.
bool make_read_file() {
  static bool made = false;
  if (made) return true;
  std::vector<char> data = payload(static_cast<size_t>(kWhole));
  FILE* file = fopen((scratch_path + "/read.bin").c_str(), "wb");
  if (!file) return false;
  for (int64_t done = 0; done < kFileSize; done += kWhole) fwrite(data.data(), 1, data.size(), file);
  made = fclose(file) == 0;
  return made;
}

void BM_DataFileRead(benchmark::State& state) {
  const int32_t chunk = static_cast<int32_t>(state.range(0));
  if (!make_read_file()) {
    state.SkipWithError("no input file");
    return;
  }
  std::vector<char> data(static_cast<size_t>(chunk));
  for (auto _ : state) {
    DATA_FILE* file = scratch_folder->open_data_file("read.bin", 0, 0);
    if (!file) {
      state.SkipWithError("open failed");
      return;
    }
    int64_t total = 0;
    for (int32_t n; (n = file->read(data.data(), chunk)) > 0;) total += n;
    FOLDER::close_data_file(file);
    if (total != kFileSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(data.data());
  }
  report(state);
}

void BM_StdioRead(benchmark::State& state) {
  const size_t chunk = static_cast<size_t>(state.range(0));
  if (!make_read_file()) {
    state.SkipWithError("no input file");
    return;
  }
  std::vector<char> data(chunk);
  std::string path = scratch_path + "/read.bin";
  for (auto _ : state) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
      state.SkipWithError("open failed");
      return;
    }
    int64_t total = 0;
    for (size_t n; (n = fread(data.data(), 1, chunk, file)) > 0;) total += static_cast<int64_t>(n);
    fclose(file);
    if (total != kFileSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(data.data());
  }
  report(state);
}

BENCHMARK(BM_DataFileWrite)->Arg(kSmall)->Arg(kWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioWrite)->Arg(kSmall)->Arg(kWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataFileRead)->Arg(kSmall)->Arg(kWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioRead)->Arg(kSmall)->Arg(kWhole)->Unit(benchmark::kMillisecond);

int remove_entry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

}  // namespace

int main(int argc, char** argv) {
  char folder_template[] = "/tmp/vorn_data_bench_XXXXXX";
  if (!mkdtemp(folder_template)) {
    perror("mkdtemp");
    return 1;
  }
  scratch_path = folder_template;
  int status = 0;
  FOLDER folder;
  scratch_folder = &folder;
  if (!folder.set_absolute(scratch_path.c_str())) {
    fprintf(stderr, "cannot use %s\n", scratch_path.c_str());
    status = 1;
  } else {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  nftw(scratch_path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  return status;
}
