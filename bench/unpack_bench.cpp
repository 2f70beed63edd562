// Unpacking a 200 MB compressed payload (1 MiB chunks) from a file into
// installer.pkg, next to the plain reference on the same payload file:
// fread of each chunk, zlib uncompress, fwrite. The aim is unpacking at no
// less than 0.9 times the reference's speed. The files live in a private
// folder under /tmp that is removed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "file_services.h"
#include "folder.h"
#include "payload.h"

namespace {

constexpr size_t kPackageSize = 200u << 20;
constexpr uint32_t kChunk = 1u << 20;
std::string root;
FOLDER folder;

void put_be32(FILE* file, uint32_t value) {
  const unsigned char b[4] = {static_cast<unsigned char>(value >> 24),
                              static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value)};
  fwrite(b, 1, 4, file);
}

// The program file: the ELF magic's first byte, then a payload without
// splash record whose chunks hold text-like bytes (words picked by a fixed
// sequence, about 3:1 in deflate), each deflated at speed level 1 so that
// making them stays short.
bool prepare() {
  if (!root.empty()) return true;
  char made[] = "/tmp/vorn_unpack_bench_XXXXXX";
  if (!mkdtemp(made) || !folder.set_absolute(made)) return false;
  root = made;
  static const char* words[] = {"install ", "package ", "folder ", "file ", "window ",
                                "skin ",    "chunk ",   "data ",   "link ", "menu\n",
                                "payload ", "wizard ",  "the ",    "a ",    "of "};
  FILE* file = fopen((root + "/program").c_str(), "wb");
  if (!file) return false;
  fputc(0x7F, file);
  fputc(0, file);
  put_be32(file, kChunk);
  fputc(1, file);
  std::string piece;
  std::vector<unsigned char> packed(compressBound(kChunk));
  uint32_t x = 12345;
  for (size_t done = 0; done < kPackageSize; done += kChunk) {
    piece.clear();
    while (piece.size() < kChunk) {
      x = x * 1103515245u + 12345u;
      piece += words[(x >> 16) % 15];
      if ((x & 0xFF) == 0) piece += std::to_string(x);
    }
    piece.resize(kChunk);
    uLongf size = packed.size();
    compress2(packed.data(), &size, reinterpret_cast<const Bytef*>(piece.data()), kChunk, 1);
    put_be32(file, static_cast<uint32_t>(size));
    fwrite(packed.data(), 1, size, file);
  }
  return fclose(file) == 0;
}

void BM_UnpackPayload(benchmark::State& state) {
  if (!prepare()) state.SkipWithError("no payload");
  for (auto _ : state) {
    if (!unpack_payload_file(folder, "program", 1, folder, "installer.pkg", nullptr))
      state.SkipWithError("unpack failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPackageSize));
}

bool read_be32(FILE* file, uint32_t& value) {
  unsigned char b[4];
  if (fread(b, 1, 4, file) != 4) return false;
  value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  return true;
}

void BM_ReferenceUncompress(benchmark::State& state) {
  if (!prepare()) state.SkipWithError("no payload");
  std::vector<unsigned char> in(kChunk), out(kChunk);
  for (auto _ : state) {
    FILE* source = fopen((root + "/program").c_str(), "rb");
    FILE* target = fopen((root + "/reference.pkg").c_str(), "wb");
    fseek(source, 2 + 4 + 1, SEEK_SET);  // magic byte, splash flag, chunk size, flag
    fputc(0, target);
    uint32_t length = 0;
    while (read_be32(source, length)) {
      if (fread(in.data(), 1, length, source) != length) break;
      uLongf size = kChunk;
      uncompress(out.data(), &size, in.data(), length);
      fwrite(out.data(), 1, size, target);
    }
    fclose(source);
    fclose(target);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPackageSize));
}

// Wall-clock time: the writes count as much as the inflating.
BENCHMARK(BM_ReferenceUncompress)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UnpackPayload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReferenceUncompress)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_UnpackPayload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

struct CLEANUP {
  ~CLEANUP() {
    if (!root.empty()) remove_folder_contents(root.c_str()), rmdir(root.c_str());
  }
} cleanup;

}  // namespace
