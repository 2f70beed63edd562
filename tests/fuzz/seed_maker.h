#pragma once
// The command line of every seed maker here: one argument, the folder the
// seeds go into. run_seed_maker checks it, opens the folder and runs the
// maker's writer: 2 for a wrong command line, 1 when the folder or the
// writer fails, 0 when every seed was written. write_bytes writes (or
// appends to) one plain file.
#include <cstdio>
#include <string>

#include "folder.h"

inline bool write_bytes(const std::string& path, const std::string& bytes, bool append = false) {
  FILE* file = fopen(path.c_str(), append ? "ab" : "wb");
  if (!file) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

using SEED_WRITER = bool (*)(FOLDER& seeds, const std::string& path);

inline int run_seed_maker(int argc, char** argv, SEED_WRITER write) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s SEED_FOLDER\n", argv[0]);
    return 2;
  }
  FOLDER seeds;
  if (!seeds.set_absolute(argv[1])) return 1;
  return write(seeds, argv[1]) ? 0 : 1;
}
