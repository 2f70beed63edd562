// Choosing the package's block size and the payload's chunk size.
#include "packing_choice.h"

#include <string>
#include <unordered_set>

#include "database.h"
#include "database_look.h"
#include "file_services.h"
#include "font.h"

namespace {

// Every block carries its next link and its used count.
constexpr uint64_t kBlockFields = 8;
// What one more block costs beyond its fields, in bytes: its two fields
// break deflate's matches in the payload, and a reader walks it. Measured
// on a tree of 5,000 small text files, on /usr/include and on a 200 MB
// tree of mixed files (each with the fonts): with 64 the files take at
// most 1.23 times their bytes in installer.pkg and deflate within 6 % of a
// shell archive; with 128 the small files take 1.28 times their bytes,
// and with no charge they deflate 2 % larger.
constexpr uint64_t kBlockCharge = 64;
constexpr uint32_t kSmallestBlock = 16;
constexpr uint32_t kLargestBlock = 1048576;

// Measured on the same trees: pieces of 64 KiB deflate 5 % worse than
// pieces of 1 MiB, and pieces of 4 MiB only 0.2 % better, while the
// unpacker's two buffers grow with the piece.
constexpr uint32_t kChunkSize = 1048576;

uint64_t blocks_for(uint64_t size, uint64_t block) {
  return size == 0 ? 1 : (size + block - 1) / block;
}

uint64_t file_size(const char* folder_path, const char* name) {
  FOLDER folder;
  FILE_INFO info{};
  return folder.set_absolute(folder_path) && get_file_info(folder, name, &info) &&
                 !info.is_directory
             ? info.size
             : 0;
}

}  // namespace

PACKING_CHOICE choose_packing(const std::vector<uint64_t>& file_sizes) {
  PACKING_CHOICE choice;
  choice.chunk_size = kChunkSize;
  choice.block_size = kSmallestBlock;
  uint64_t best = UINT64_MAX;
  // Steps of about 6 %, on multiples of 16.
  for (uint32_t block = kSmallestBlock; block <= kLargestBlock;
       block = (block + block / 16 + 16) & ~15u) {
    uint64_t cost = 0;
    for (uint64_t size : file_sizes)
      cost += blocks_for(size, block) * (block + kBlockFields + kBlockCharge);
    if (cost < best) {
      best = cost;
      choice.block_size = block;
    }
  }
  return choice;
}

PACKING_CHOICE choose_packing(const DATABASE& data) {
  std::vector<uint64_t> sizes;
  std::unordered_set<std::string> packed;
  for (const DATABASE_INSTALLATION& installation : data.installations)
    for (const DATABASE_FILE& file : installation.files)
      if (packed.insert(file.packed_name).second)
        sizes.push_back(file_size(file.src_path_from_xml, file.src_name));
  for (uint8_t slot : fonts_of_look(data))
    if (packed.insert(get_builtin_font_file(slot)).second)
      sizes.push_back(file_size(get_system_font_folder(), get_builtin_font_file(slot)));
  return choose_packing(sizes);
}
