#pragma once
// How the builder lays out installer.pkg and cuts it into the payload,
// chosen from the files that go into it. Both figures travel in the stored
// forms (the archive's header, the payload's header), so every installer
// reads what a builder chose.
#include <cstdint>
#include <vector>

class DATABASE;

struct PACKING_CHOICE {
  uint32_t block_size = 0;  // the archive's data bytes per block
  uint32_t chunk_size = 0;  // the payload's piece of the package
};

// The block size that keeps the archive closest to the files' own bytes
// (each file takes whole blocks of block size + 8 bytes, an empty file
// one), with a small charge per block for the work of walking it; and the
// chunk size, which does not depend on the files.
PACKING_CHOICE choose_packing(const std::vector<uint64_t>& file_sizes);

// The same for what the builder packs for data: every installation's files
// (each packed name once) and the fonts its look draws with. A file that cannot be
// looked at counts as empty.
PACKING_CHOICE choose_packing(const DATABASE& data);
