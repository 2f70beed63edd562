// Writes a few small valid archives, made by the archive code itself, into
// the folder given on the command line: the fuzzer's seed corpus.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "package.h"
#include "seed_maker.h"

namespace {

std::string pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; i++) bytes[i] = static_cast<char>((i * 31 + seed * 7) ^ (i >> 3));
  return bytes;
}

bool write_seeds(FOLDER& seeds, const std::string& folder) {
  auto source = [&](const char* name, const std::string& bytes) {
    return write_bytes(folder + "/" + name, bytes);
  };
  bool ok = source("src_a", pattern(100, 1)) && source("src_b", pattern(37, 2)) &&
            source("src_c", pattern(5, 3)) && source("src_empty", "");
  if (!ok) return false;

  {
    PACKAGE empty(seeds, "seed_empty.pkg", true, 16, false, false);
    ok = empty.is_open();
  }
  {
    PACKAGE package(seeds, "seed_files.pkg", true, 32, false, false);
    ok = ok && package.add_file(seeds, "src_a", "a") && package.add_file(seeds, "src_b", "b") &&
         package.add_file(seeds, "src_empty", "empty");
  }
  {
    // Replacements leave blocks on the free list.
    PACKAGE package(seeds, "seed_free.pkg", true, 24, false, false);
    ok = ok && package.add_file(seeds, "src_a", "a") && package.add_file(seeds, "src_b", "b") &&
         package.add_file(seeds, "src_c", "a", true);
  }
  {
    PACKAGE package(seeds, "seed_kept.pkg", true, 48, true, false);
    ok = ok && package.add_file(seeds, "src_b", "dir/b") && package.add_file(seeds, "src_a", "a") &&
         package.add_file(seeds, "src_c", "dir/b", true);
  }
  for (const char* name : {"src_a", "src_b", "src_c", "src_empty"}) remove_file(seeds, name);
  if (!ok) fprintf(stderr, "%s\n", get_last_error_text());
  return ok;
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
