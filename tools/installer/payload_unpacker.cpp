// Unpacking the payload: every length is checked against the chunk size and
// the bytes that remain before it is used, and every chunk must inflate to
// one piece of at least the chunk size (the last may be shorter) and at
// most a fifth more, so damaged data stops the unpack instead of reaching
// the package.
#include <zlib.h>

#include <cerrno>
#include <memory>
#include <new>

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

// The package bytes, chunk by chunk, to the end of the source.
bool unpack_chunks(DATA_DEVICE& source, DATA_DEVICE& destination, uint32_t chunk_size,
                   bool compressed, PAYLOAD_OBSERVER* observer) {
  const int64_t data_length = source.bytes_left();
  if (data_length < 0) return false;
  // A piece may inflate to a fifth more than the chunk size.
  const uint32_t inflated_limit = chunk_size + chunk_size / 5;
  std::unique_ptr<uint8_t[]> input(new (std::nothrow) uint8_t[chunk_size]);
  std::unique_ptr<uint8_t[]> output(compressed ? new (std::nothrow) uint8_t[inflated_limit]
                                               : nullptr);
  if (!input || (compressed && !output)) return false;

  int64_t remaining = data_length;
  int64_t done = 0;
  bool short_piece_seen = false;
  while (remaining > 0) {
    int32_t length = 0;
    if (remaining < 4 || !source.read_i32(length)) return false;
    remaining -= 4;
    if (length > 0) {
      if (static_cast<uint32_t>(length) > chunk_size || length > remaining) return false;
      if (short_piece_seen) return false;  // only the last piece may be short
      if (source.read(input.get(), length) != length) return false;
      remaining -= length;
      done += length;
      const uint8_t* piece = input.get();
      size_t piece_size = static_cast<size_t>(length);
      if (compressed) {
        // Each chunk is one zlib stream; bytes behind its end are left.
        uLongf inflated = inflated_limit;
        if (uncompress(output.get(), &inflated, input.get(), static_cast<uLong>(length)) != Z_OK)
          return false;
        piece = output.get();
        piece_size = inflated;
      }
      if (piece_size == 0) return false;
      if (piece_size < chunk_size) short_piece_seen = true;
      const auto count = static_cast<int32_t>(piece_size);
      if (destination.write(piece, count) != count) return false;
    }
    if (observer) observer->progress(static_cast<int32_t>(done * 100 / data_length));
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
