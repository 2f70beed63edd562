// Writing the payload: the package file is read piece by piece (without its
// order byte); each piece is stored deflated into one zlib stream where that
// makes it shorter, else as it is, behind its flag, length and check.
#include <libdeflate.h>

#include <memory>
#include <new>

#include "data_file.h"
#include "image_cache.h"
#include "payload.h"

namespace {

// Measured on installer.pkg of a tree of 5,000 small text files, of
// /usr/include and of a 200 MB tree of mixed files: level 10 deflates 4 to
// 6 % smaller than zlib's best level and within 0.3 % of level 12, in half
// the time of level 12; only the builder pays for it.
constexpr int kLevel = 10;

using FORM = PAYLOAD_OPTIONS::FORM;

// Passes writes on to another device and keeps the CRC-32 of every byte
// written, for the header's check over the splash record.
class CHECKED_WRITES : public DATA_DEVICE {
public:
  explicit CHECKED_WRITES(DATA_DEVICE& to) : to(to) { swap = to.swap; }
  uint32_t tell() override { return to.tell(); }
  // A stored object that moved back would leave the CRC behind its bytes.
  bool seek(int32_t, bool) override { return false; }
  int32_t read(void*, int32_t) override { return 0; }
  int32_t write(const void* buffer, int32_t count) override {
    const int32_t written = to.write(buffer, count);
    if (written > 0) crc = libdeflate_crc32(crc, buffer, static_cast<size_t>(written));
    return written;
  }
  uint32_t crc = 0;

private:
  DATA_DEVICE& to;
};

bool write_splash(DATA_DEVICE& device, PAYLOAD_SPLASH& splash) {
  return device.write_object(wm_image_cache()) && device.write_object(splash.image) &&
         device.write_u16(splash.bar_x) && device.write_u16(splash.bar_y) &&
         device.write_u16(splash.bar_width) && device.write_u16(splash.bar_height) &&
         device.write_object(splash.title) && device.write_object(splash.bar_style);
}

// One piece of the checked forms: flag, stored length, check, bytes. The
// check is carried on from chain, which then holds it (the bound form), or
// starts anew (chain null).
bool write_piece(DATA_DEVICE& device, uint8_t flag, const uint8_t* bytes, uint32_t size,
                 uint32_t* chain) {
  uint8_t fields[PAYLOAD_PIECE_FIELDS];
  fields[0] = flag;
  put_payload_u32(fields + 1, size);
  const uint32_t check = payload_check(fields, 5, bytes, size, chain ? *chain : 0);
  if (chain) *chain = check;
  put_payload_u32(fields + 5, check);
  return device.write(fields, PAYLOAD_PIECE_FIELDS) == PAYLOAD_PIECE_FIELDS &&
         device.write(bytes, static_cast<int32_t>(size)) == static_cast<int32_t>(size);
}

// One chunk of the old form: length, bytes.
bool write_old_chunk(DATA_DEVICE& device, const uint8_t* bytes, uint32_t size) {
  uint8_t length[4];
  put_payload_u32(length, size);
  return device.write(length, 4) == 4 &&
         device.write(bytes, static_cast<int32_t>(size)) == static_cast<int32_t>(size);
}

// The header fields from the chunk size on, behind the bytes whose CRC-32
// is splash_crc; chain is set to the header's check.
bool write_header(DATA_DEVICE& device, const PAYLOAD_OPTIONS& options, int64_t package_length,
                  uint32_t splash_crc, uint32_t& chain) {
  uint8_t fields[PAYLOAD_HEADER_FIELDS];
  put_payload_u32(fields, options.chunk_size);
  if (options.form == FORM::FLAGGED) {
    fields[4] = options.compressed ? 1 : 0;
    return device.write(fields, 5) == 5;
  }
  if (package_length < 0 || package_length > UINT32_MAX) return false;
  const bool bound = options.form == FORM::BOUND;
  fields[4] = bound ? PAYLOAD_FORM_BOUND : PAYLOAD_FORM_CHECKED;
  put_payload_u32(fields + 5, static_cast<uint32_t>(package_length));
  chain = payload_check(fields, 9, nullptr, 0, bound ? splash_crc : 0);
  put_payload_u32(fields + 9, chain);
  return device.write(fields, PAYLOAD_HEADER_FIELDS) == PAYLOAD_HEADER_FIELDS;
}

}  // namespace

bool write_payload(DATA_DEVICE& device, const FOLDER& folder, const char* package_name,
                   const PAYLOAD_OPTIONS& options) {
  const uint32_t chunk_size = options.chunk_size;
  if (chunk_size == 0 || chunk_size > PAYLOAD_MAX_CHUNK_SIZE) return false;
  CHECKED_WRITES splash_record(device);
  if (!splash_record.write_u8(options.splash ? 1 : 0)) return false;
  if (options.splash && !write_splash(splash_record, *options.splash)) return false;
  const bool old_form = options.form == FORM::FLAGGED;
  uint32_t chain = 0;
  uint32_t* const chained = options.form == FORM::BOUND ? &chain : nullptr;

  // Read without the order byte's meaning: the byte is skipped, not used.
  DATA_FILE* package = folder.open_data_file(package_name, 0, 0);
  if (!package) return false;
  libdeflate_compressor* compressor =
      options.compressed ? libdeflate_alloc_compressor(kLevel) : nullptr;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[chunk_size]);
  // A deflated piece is never longer than the chunk size, and in the
  // checked form shorter than the piece itself.
  std::unique_ptr<uint8_t[]> packed(options.compressed ? new (std::nothrow) uint8_t[chunk_size]
                                                       : nullptr);
  bool ok = piece && (!options.compressed || (compressor && packed)) && package->seek(1, false) &&
            write_header(device, options, package->bytes_left(), splash_record.crc, chain);
  for (int32_t index = 0; ok; ++index) {
    const int32_t size = package->read(piece.get(), static_cast<int32_t>(chunk_size));
    if (size <= 0) break;
    if (index == options.empty_chunk_at)
      ok = old_form ? write_old_chunk(device, nullptr, 0) : write_piece(device, 0, nullptr, 0, chained);
    if (!ok) break;
    const auto piece_size = static_cast<size_t>(size);
    // 0: the piece does not deflate into the room given.
    const size_t packed_size =
        options.compressed ? libdeflate_zlib_compress(compressor, piece.get(), piece_size, packed.get(),
                                                      old_form ? chunk_size : piece_size - 1)
                           : 0;
    const bool deflated = packed_size > 0;
    const uint8_t* stored = deflated ? packed.get() : piece.get();
    const auto stored_size = static_cast<uint32_t>(deflated ? packed_size : piece_size);
    // The old form's one flag holds for every piece.
    ok = old_form ? (deflated || !options.compressed) && write_old_chunk(device, stored, stored_size)
                  : write_piece(device, deflated ? 1 : 0, stored, stored_size, chained);
  }
  libdeflate_free_compressor(compressor);
  FOLDER::close_data_file(package);
  return ok;
}
