// Unpacking the payload: every length is checked against the chunk size and
// the bytes that remain before it is used, and every chunk must inflate to
// one piece of at least the chunk size (the last may be shorter) and at
// most a fifth more, so damaged data stops the unpack instead of reaching
// the package.
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "data_file.h"
#include "file_services.h"
#include "image_cache.h"
#include "payload.h"
#include "skin_frame.h"

namespace {

// A write that failed, told by the errno it left.
PAYLOAD_FAILURE write_failure() {
  return errno == ENOSPC || errno == EDQUOT ? PAYLOAD_FAILURE::NO_ROOM : PAYLOAD_FAILURE::WRITE;
}

bool read_splash(DATA_DEVICE& source, PAYLOAD_SPLASH& splash) {
  if (!source.read_object(wm_image_cache()) || !source.read_object(splash.image) ||
      !source.read_u16(splash.bar_x) || !source.read_u16(splash.bar_y) ||
      !source.read_u16(splash.bar_width) || !source.read_u16(splash.bar_height) ||
      !source.read_object(splash.title))
    return false;
  // The bar's pictures come with the cache read above, not from files at
  // the folders of the machine that built the installer.
  const uint8_t look_up = skin_load_flags;
  skin_load_flags = IMAGE_CACHE_FIND_ONLY;
  const bool read = source.read_object(splash.bar_style);
  skin_load_flags = look_up;
  return read;
}

// Each chunk is one zlib stream of its own, so several inflate at once,
// each in its own pair of buffers: the chunk size, and a fifth more for
// what it inflates to. The lanes' buffers together stay within this budget
// (one lane at least), so the package is never held in memory whole.
constexpr uint64_t kLaneBudget = 16u << 20;
constexpr unsigned kMostLanes = 4;

struct LANE {
  std::unique_ptr<uint8_t[]> input, output;
  int32_t length = 0;  // the stored chunk's bytes
  uLongf size = 0;     // what it inflated to
  int result = Z_OK;
};

// A chunk read, in the order of the payload: its lane (-1 for an empty
// chunk) and the chunk bytes read up to its end.
struct READ_CHUNK {
  int lane;
  int64_t done;
};

// Bytes behind the end of a chunk's stream are left, as uncompress leaves
// them.
void inflate(LANE& lane, uLongf limit) {
  lane.size = limit;
  lane.result = uncompress(lane.output.get(), &lane.size, lane.input.get(), static_cast<uLong>(lane.length));
}

// The first lanes inflate at once, the first here and the others on threads
// of their own (here too when no thread can be started).
void inflate_lanes(std::vector<LANE>& lanes, size_t used, uLongf limit) {
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < used; ++i) {
    try {
      helpers.emplace_back(inflate, std::ref(lanes[i]), limit);
    } catch (const std::system_error&) {
      inflate(lanes[i], limit);
    }
  }
  if (used > 0) inflate(lanes[0], limit);
  for (std::thread& helper : helpers) helper.join();
}

// As many lanes as the cores and the budget allow, as far as memory allows.
std::vector<LANE> make_lanes(uint32_t chunk_size, bool compressed, uLongf inflated_limit) {
  const uint64_t per_lane = chunk_size + (compressed ? inflated_limit : 0);
  const uint64_t wanted = compressed ? std::clamp<uint64_t>(std::thread::hardware_concurrency(), 1, kMostLanes) : 1;
  const uint64_t count = std::clamp<uint64_t>(kLaneBudget / per_lane, 1, wanted);
  std::vector<LANE> lanes;
  for (uint64_t i = 0; i < count; ++i) {
    LANE lane;
    lane.input.reset(new (std::nothrow) uint8_t[chunk_size]);
    if (compressed) lane.output.reset(new (std::nothrow) uint8_t[inflated_limit]);
    if (!lane.input || (compressed && !lane.output)) break;
    lanes.push_back(std::move(lane));
  }
  return lanes;
}

// The package bytes, chunk by chunk, to the end of the source.
bool unpack_chunks(DATA_DEVICE& source, DATA_DEVICE& destination, uint32_t chunk_size,
                   bool compressed, PAYLOAD_OBSERVER* observer) {
  const int64_t data_length = source.bytes_left();
  if (data_length < 0) return false;
  // A piece may inflate to a fifth more than the chunk size.
  const uLongf inflated_limit = chunk_size + chunk_size / 5;
  std::vector<LANE> lanes = make_lanes(chunk_size, compressed, inflated_limit);
  if (lanes.empty()) return false;

  int64_t remaining = data_length;
  int64_t done = 0;
  bool short_piece_seen = false;
  std::vector<READ_CHUNK> chunks;
  while (remaining > 0) {
    // Chunks are read until each lane holds one or the data ends.
    chunks.clear();
    size_t used = 0;
    while (remaining > 0 && used < lanes.size()) {
      int32_t length = 0;
      if (remaining < 4 || !source.read_i32(length)) return false;
      remaining -= 4;
      if (length <= 0) {
        chunks.push_back({-1, done});
        continue;
      }
      if (static_cast<uint32_t>(length) > chunk_size || length > remaining) return false;
      LANE& lane = lanes[used];
      if (source.read(lane.input.get(), length) != length) return false;
      lane.length = length;
      remaining -= length;
      done += length;
      chunks.push_back({static_cast<int>(used++), done});
    }
    if (compressed) inflate_lanes(lanes, used, inflated_limit);
    // In the payload's order: the pieces' checks, the writes and the
    // progress, after each chunk (the empty ones too).
    for (const READ_CHUNK& chunk : chunks) {
      if (chunk.lane >= 0) {
        const LANE& lane = lanes[static_cast<size_t>(chunk.lane)];
        if (compressed && lane.result != Z_OK) return false;
        const uint8_t* piece = compressed ? lane.output.get() : lane.input.get();
        const auto size = static_cast<int32_t>(compressed ? lane.size : static_cast<uLongf>(lane.length));
        // Only the last piece may be short.
        if (size == 0 || short_piece_seen) return false;
        if (static_cast<uint32_t>(size) < chunk_size) short_piece_seen = true;
        if (destination.write(piece, size) != size) return false;
      }
      if (observer) observer->progress(static_cast<int32_t>(chunk.done * 100 / data_length));
    }
  }
  return done > 0;
}

}  // namespace

bool unpack_payload(DATA_DEVICE& source, uint32_t payload_offset, DATA_DEVICE& destination,
                    PAYLOAD_OBSERVER* observer) {
  if (payload_offset < 1 || payload_offset > INT32_MAX) return false;
  if (!source.seek(static_cast<int32_t>(payload_offset - 1), false)) return false;
  uint8_t splash_flag = 0;
  if (!source.read_u8(splash_flag)) return false;
  std::unique_ptr<PAYLOAD_SPLASH> splash;
  if (splash_flag) {
    splash = std::make_unique<PAYLOAD_SPLASH>();
    if (!read_splash(source, *splash)) return false;
  }
  uint32_t chunk_size = 0;
  uint8_t compressed = 0;
  if (!source.read_u32(chunk_size) || !source.read_u8(compressed)) return false;
  if (chunk_size == 0 || chunk_size > PAYLOAD_MAX_CHUNK_SIZE) return false;
  if (observer) observer->header_read(splash.get(), chunk_size);
  splash.reset();
  return unpack_chunks(source, destination, chunk_size, compressed != 0, observer);
}

bool unpack_payload_file(const FOLDER& program_folder, const char* program_name,
                         uint32_t payload_offset, const FOLDER& folder, const char* name,
                         PAYLOAD_OBSERVER* observer, PAYLOAD_FAILURE* failure) {
  PAYLOAD_FAILURE why = PAYLOAD_FAILURE::DAMAGED;
  DATA_FILE* source = program_folder.open_data_file(program_name, 0, 255);
  DATA_FILE* package = source ? folder.open_data_file(name, 1, 255) : nullptr;
  if (source && !package) why = write_failure();
  bool ok = package && unpack_payload(*source, payload_offset, *package, observer);
  if (package && !ok && package->write_failed()) why = write_failure();
  if (source) FOLDER::close_data_file(source);
  if (package && !FOLDER::close_data_file(package) && ok) {
    why = write_failure();
    ok = false;
  }
  if (!ok) remove_file(folder, name);
  if (failure) *failure = ok ? PAYLOAD_FAILURE::NONE : why;
  return ok;
}
