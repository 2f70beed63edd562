// Unpacking a 200 MB payload (1 MiB pieces) from a file into installer.pkg,
// each beside a plain reference on the same payload file in the same run:
// deflated pieces against fread of each piece, zlib uncompress and fwrite
// (the aim: no less than 0.9 times its speed); stored pieces against fread
// and fwrite, which checks nothing (for information: what the check costs).
// Ratios are printed at the end, of wall-clock time (what a user waits) and
// of CPU time (the work done, which a busy machine disturbs less). The
// files live in a private folder under $BENCH_DIR (default /tmp) that is
// removed at the end; run it once on a disk and once in memory (/dev/shm).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_ratio_reporter.h"
#include "file_services.h"
#include "folder.h"
#include "payload.h"

namespace {

constexpr size_t kPackageSize = 200u << 20;
constexpr uint32_t kChunk = 1u << 20;
constexpr long kPiecesStart = 1 + 1 + PAYLOAD_HEADER_FIELDS;  // the ELF magic's byte, splash flag
std::string root;
FOLDER folder;

bool write_fields(FILE* file, const uint8_t* fields, size_t count) {
  return fwrite(fields, 1, count, file) == count;
}

// A program file: the ELF magic's first byte, then a payload without
// splash record whose pieces hold text-like bytes (words picked by a fixed
// sequence, about 3:1 in deflate), each deflated at speed level 1 so that
// making them stays short, or stored as they are.
bool make_program(const char* name, bool deflate) {
  static const char* words[] = {"install ", "package ", "folder ", "file ", "window ",
                                "skin ",    "chunk ",   "data ",   "link ", "menu\n",
                                "payload ", "wizard ",  "the ",    "a ",    "of "};
  FILE* file = fopen((root + "/" + name).c_str(), "wb");
  if (!file) return false;
  fputc(0x7F, file);
  fputc(0, file);
  uint8_t header[PAYLOAD_HEADER_FIELDS];
  put_payload_u32(header, kChunk);
  header[4] = PAYLOAD_FORM_BOUND;
  put_payload_u32(header + 5, kPackageSize);
  // Each check carries on from the one before it, the header's from the
  // splash flag.
  const uint8_t splash_flag = 0;
  uint32_t chain = payload_check(&splash_flag, 1, header, 9);
  put_payload_u32(header + 9, chain);
  bool ok = write_fields(file, header, sizeof header);
  std::string piece;
  std::vector<unsigned char> packed(compressBound(kChunk));
  uint32_t x = 12345;
  for (size_t done = 0; ok && done < kPackageSize; done += kChunk) {
    piece.clear();
    while (piece.size() < kChunk) {
      x = x * 1103515245u + 12345u;
      piece += words[(x >> 16) % 15];
      if ((x & 0xFF) == 0) piece += std::to_string(x);
    }
    piece.resize(kChunk);
    const auto* bytes = reinterpret_cast<const uint8_t*>(piece.data());
    uLongf size = kChunk;
    if (deflate) {
      size = packed.size();
      compress2(packed.data(), &size, bytes, kChunk, 1);
      bytes = packed.data();
    }
    uint8_t fields[PAYLOAD_PIECE_FIELDS];
    fields[0] = deflate ? 1 : 0;
    put_payload_u32(fields + 1, static_cast<uint32_t>(size));
    chain = payload_check(fields, 5, bytes, static_cast<uint32_t>(size), chain);
    put_payload_u32(fields + 5, chain);
    ok = write_fields(file, fields, sizeof fields) && fwrite(bytes, 1, size, file) == size;
  }
  return fclose(file) == 0 && ok;
}

bool prepare() {
  if (!root.empty()) return true;
  const char* parent = getenv("BENCH_DIR");
  std::string pattern = std::string(parent && *parent ? parent : "/tmp") + "/vorn_unpack_bench_XXXXXX";
  if (!mkdtemp(pattern.data()) || !folder.set_absolute(pattern.c_str())) return false;
  root = pattern;
  return make_program("deflated", true) && make_program("stored", false);
}

void unpack(benchmark::State& state, const char* program) {
  if (!prepare()) state.SkipWithError("no payload");
  for (auto _ : state) {
    if (!unpack_payload_file(folder, program, 1, folder, "installer.pkg", nullptr))
      state.SkipWithError("unpack failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPackageSize));
}

// The plain way: each piece read and, when deflated, inflated by zlib,
// then written; no checks compared.
void reference(benchmark::State& state, const char* program, bool deflated) {
  if (!prepare()) state.SkipWithError("no payload");
  std::vector<unsigned char> in(kChunk), out(kChunk);
  for (auto _ : state) {
    FILE* source = fopen((root + "/" + program).c_str(), "rb");
    FILE* target = fopen((root + "/reference.pkg").c_str(), "wb");
    fseek(source, kPiecesStart, SEEK_SET);
    fputc(0, target);
    uint8_t fields[PAYLOAD_PIECE_FIELDS];
    while (fread(fields, 1, sizeof fields, source) == sizeof fields) {
      const uint32_t length = payload_u32(fields + 1);
      if (fread(in.data(), 1, length, source) != length) break;
      if (deflated) {
        uLongf size = kChunk;
        uncompress(out.data(), &size, in.data(), length);
        fwrite(out.data(), 1, size, target);
      } else {
        fwrite(in.data(), 1, length, target);
      }
    }
    fclose(source);
    fclose(target);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPackageSize));
}

void BM_ReferenceUncompress(benchmark::State& state) { reference(state, "deflated", true); }
void BM_UnpackDeflated(benchmark::State& state) { unpack(state, "deflated"); }
void BM_ReferenceCopy(benchmark::State& state) { reference(state, "stored", false); }
void BM_UnpackStored(benchmark::State& state) { unpack(state, "stored"); }

// Wall-clock time: the writes count as much as the inflating. CPU time is
// the whole process's, the unpacker's reading thread included. The median of
// seven runs of each goes into the ratios; the runs of all four are
// interleaved at random, so that a change in the machine's load falls on
// the reference as much as on the unpacker.
BENCHMARK(BM_ReferenceUncompress)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_UnpackDeflated)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReferenceCopy)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_UnpackStored)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->MeasureProcessCPUTime()->UseRealTime();

struct CLEANUP {
  ~CLEANUP() {
    if (!root.empty()) remove_folder_contents(root.c_str()), rmdir(root.c_str());
  }
} cleanup;

}  // namespace

int main(int argc, char** argv) {
  // Interleaved unless the command line says otherwise (a later flag wins).
  std::vector<char*> arguments(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave);
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
  RATIO_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const struct {
    const char* what;
    const char* reference;
    const char* unpacker;
  } pairs[] = {{"deflated pieces / uncompress and write (target at least 0.9)", "BM_ReferenceUncompress",
                "BM_UnpackDeflated"},
               {"stored pieces / uncompress and write", "BM_ReferenceUncompress", "BM_UnpackStored"},
               {"stored pieces / a copy that checks nothing", "BM_ReferenceCopy", "BM_UnpackStored"}};
  printf("in %s, speed ratios of wall-clock and of CPU time:\n", root.c_str());
  for (const auto& pair : pairs) {
    double plain = 0, unpacking = 0, plain_cpu = 0, unpacking_cpu = 0;
    if (reporter.time_of(pair.reference, &plain) && reporter.time_of(pair.unpacker, &unpacking) &&
        reporter.cpu_time_of(pair.reference, &plain_cpu) &&
        reporter.cpu_time_of(pair.unpacker, &unpacking_cpu) && unpacking > 0 && unpacking_cpu > 0)
      printf("  %s: %.3f, %.3f\n", pair.what, plain / unpacking, plain_cpu / unpacking_cpu);
  }
  benchmark::Shutdown();
  return 0;
}
