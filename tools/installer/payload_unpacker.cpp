// Unpacking the payload: the header's check is compared before the splash
// is shown and every piece's check before its bytes are used, every length
// is checked against the chunk size and the bytes that remain, and every
// piece must inflate to at least the chunk size (the last may be shorter)
// and at most a fifth more, so damaged data stops the unpack instead of
// reaching the package.
#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

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

// The header fields behind the splash record.
struct HEADER {
  uint32_t chunk_size = 0;
  // PAYLOAD_FORM_BOUND or PAYLOAD_FORM_CHECKED, or the old form's flag for
  // all pieces
  uint8_t form = 0;
  uint32_t package_length = 0;  // checked forms only
  uint32_t check = 0;           // the header's check, which the bound form's pieces carry on
};

// The CRC-32 of the source's bytes from offset from up to offset to, read
// again; the position is left at to.
bool crc_of(DATA_DEVICE& source, uint32_t from, uint32_t to, uint32_t& crc) {
  if (from > to || to > INT32_MAX || !source.seek(static_cast<int32_t>(from), false)) return false;
  uint8_t buffer[65536];
  crc = 0;
  for (uint32_t left = to - from; left > 0;) {
    const auto count = static_cast<int32_t>(std::min<uint32_t>(left, sizeof buffer));
    if (source.read(buffer, count) != count) return false;
    crc = payload_check(nullptr, 0, buffer, static_cast<uint32_t>(count), crc);
    left -= static_cast<uint32_t>(count);
  }
  return true;
}

// The header of the payload that starts at device offset start. The bound
// form's check is compared with the bytes read again from the start, so
// that the splash record read before it counts too.
bool read_header(DATA_DEVICE& source, uint32_t start, HEADER& header) {
  uint8_t fields[PAYLOAD_HEADER_FIELDS];
  if (source.read(fields, 5) != 5) return false;
  header.chunk_size = payload_u32(fields);
  header.form = fields[4];
  if (header.chunk_size == 0 || header.chunk_size > PAYLOAD_MAX_CHUNK_SIZE) return false;
  if (header.form == 0 || header.form == 1) return true;
  if (header.form != PAYLOAD_FORM_CHECKED && header.form != PAYLOAD_FORM_BOUND) return false;
  if (source.read(fields + 5, 8) != 8) return false;
  header.package_length = payload_u32(fields + 5);
  header.check = payload_u32(fields + 9);
  if (header.form == PAYLOAD_FORM_CHECKED)
    return header.check == payload_check(fields, 9, nullptr, 0);
  const uint32_t pieces_at = source.tell();
  uint32_t crc = 0;
  return pieces_at >= 4 && crc_of(source, start, pieces_at - 4, crc) && crc == header.check &&
         source.seek(static_cast<int32_t>(pieces_at), false);
}

// One piece on its way from the reading thread to the writing one: its
// package bytes (none for an empty piece) and the progress after it.
struct PIECE {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t size = 0;
  int32_t percent = 0;
};

// Reads the pieces in order up to the end of the source, checks each and
// inflates it where it is deflated: everything the unpack does but the
// writing. A piece of a checked form is checked before it is inflated or
// handed on.
class PIECE_READER {
public:
  PIECE_READER(DATA_DEVICE& source, const HEADER& header)
      : source(source),
        header(header),
        data_length(source.bytes_left()),
        checked(header.form == PAYLOAD_FORM_CHECKED || header.form == PAYLOAD_FORM_BOUND),
        bound(header.form == PAYLOAD_FORM_BOUND),
        chain(header.check),
        // A piece may inflate to a fifth more than the chunk size.
        inflated_limit(header.chunk_size + header.chunk_size / 5),
        remaining(data_length) {
    if (checked || header.form == 1) {
      input.reset(new (std::nothrow) uint8_t[header.chunk_size]);
      decompressor = libdeflate_alloc_decompressor();
    }
  }
  ~PIECE_READER() { libdeflate_free_decompressor(decompressor); }
  PIECE_READER(const PIECE_READER&) = delete;
  PIECE_READER& operator=(const PIECE_READER&) = delete;

  bool ready() const {
    const bool may_inflate = checked || header.form == 1;
    return data_length >= 0 && (!may_inflate || (input && decompressor));
  }
  // The room each piece's bytes need.
  uint32_t piece_room() const { return inflated_limit; }

  // The next piece into piece, whose bytes have piece_room(); false at the
  // end of the pieces, with damaged set when they were not all whole.
  bool next(PIECE& piece) {
    if (remaining <= 0) {
      damaged = !(written > 0 && (!checked || written == header.package_length));
      return false;
    }
    damaged = !read_piece(piece);
    if (damaged) return false;
    written += piece.size;
    piece.percent = static_cast<int32_t>(done * 100 / data_length);
    return true;
  }

  bool damaged = false;

private:
  bool read_piece(PIECE& piece) {
    const uint32_t field_count = checked ? PAYLOAD_PIECE_FIELDS : 4;
    uint8_t fields[PAYLOAD_PIECE_FIELDS];
    if (remaining < field_count ||
        source.read(fields, static_cast<int32_t>(field_count)) != static_cast<int32_t>(field_count))
      return false;
    remaining -= field_count;
    const uint8_t flag = checked ? fields[0] : header.form;
    // The old form steps over a negative length as over an empty piece.
    const int64_t length = checked ? int64_t{payload_u32(fields + 1)}
                                   : std::max(int32_t{0}, static_cast<int32_t>(payload_u32(fields)));
    if (flag > 1 || length > header.chunk_size || length > remaining) return false;
    // Stored bytes go straight to the piece, deflated ones are inflated
    // there once checked.
    uint8_t* stored = flag == 1 ? input.get() : piece.bytes.get();
    const auto count = static_cast<int32_t>(length);
    if (length > 0 && (short_piece_seen || source.read(stored, count) != count)) return false;
    remaining -= length;
    done += length;
    if (checked) {
      const uint32_t check =
          payload_check(fields, 5, stored, static_cast<uint32_t>(length), bound ? chain : 0);
      if (payload_u32(fields + 5) != check) return false;
      chain = check;
    }
    size_t size = static_cast<size_t>(length);
    // Each deflated piece is one zlib stream; bytes behind its end are
    // left. One that would inflate beyond the limit fails.
    if (length > 0 && flag == 1 &&
        libdeflate_zlib_decompress(decompressor, stored, size, piece.bytes.get(), inflated_limit,
                                   &size) != LIBDEFLATE_SUCCESS)
      return false;
    if (length > 0 && size == 0) return false;
    if (size > 0 && size < header.chunk_size) short_piece_seen = true;
    piece.size = static_cast<uint32_t>(size);
    return true;
  }

  DATA_DEVICE& source;
  const HEADER& header;
  const int64_t data_length;
  const bool checked, bound;
  uint32_t chain;  // the check that the next piece's carries on (bound form)
  const uint32_t inflated_limit;
  std::unique_ptr<uint8_t[]> input;
  libdeflate_decompressor* decompressor = nullptr;
  int64_t remaining;
  int64_t done = 0;  // stored bytes read
  int64_t written = 0;
  bool short_piece_seen = false;
};

// Pieces in flight: the reading thread fills them in turn, the writing
// thread writes them in the same turn and gives them back. No more than
// this many are held at once, so memory stays a few pieces whatever the
// payload's size.
constexpr uint32_t kPiecesInFlight = 3;

struct HAND_OVER {
  std::mutex mutex;
  std::condition_variable changed;
  uint32_t read = 0;     // pieces handed to the writer
  uint32_t written = 0;  // pieces given back by the writer
  bool reader_done = false;
  bool damaged = false;  // the reader found damage: nothing more is written
  bool writer_stopped = false;
  PIECE pieces[kPiecesInFlight];
};

// The reading thread's work: fills the pieces in turn until the end, damage,
// or the writer stops.
void read_pieces(PIECE_READER& reader, HAND_OVER& hand_over) {
  for (uint32_t n = 0;; ++n) {
    {
      std::unique_lock<std::mutex> lock(hand_over.mutex);
      hand_over.changed.wait(lock, [&] {
        return n - hand_over.written < kPiecesInFlight || hand_over.writer_stopped;
      });
      if (hand_over.writer_stopped) return;
    }
    const bool more = reader.next(hand_over.pieces[n % kPiecesInFlight]);
    {
      const std::lock_guard<std::mutex> lock(hand_over.mutex);
      if (more) hand_over.read = n + 1;
      hand_over.reader_done = !more;
      hand_over.damaged = reader.damaged;
    }
    hand_over.changed.notify_all();
    if (!more) return;
  }
}

bool write_piece(DATA_DEVICE& destination, const PIECE& piece, PAYLOAD_OBSERVER* observer) {
  const auto size = static_cast<int32_t>(piece.size);
  if (size > 0 && destination.write(piece.bytes.get(), size) != size) return false;
  if (observer) observer->progress(piece.percent);
  return true;
}

// The package bytes, piece by piece, to the end of the source. One thread
// reads, checks and inflates the pieces while this one writes them (and
// tells the observer, which may draw), so inflating and writing overlap.
bool unpack_pieces(DATA_DEVICE& source, DATA_DEVICE& destination, const HEADER& header,
                   PAYLOAD_OBSERVER* observer) {
  PIECE_READER reader(source, header);
  if (!reader.ready()) return false;
  HAND_OVER hand_over;
  for (PIECE& piece : hand_over.pieces) {
    piece.bytes.reset(new (std::nothrow) uint8_t[reader.piece_room()]);
    if (!piece.bytes) return false;
  }
  std::thread reading;
  try {
    reading = std::thread(read_pieces, std::ref(reader), std::ref(hand_over));
  } catch (const std::system_error&) {
    // No thread to be had: the pieces are read and written in turn.
    PIECE& piece = hand_over.pieces[0];
    while (reader.next(piece))
      if (!write_piece(destination, piece, observer)) return false;
    return !reader.damaged;
  }
  bool written = true;
  for (uint32_t n = 0;; ++n) {
    {
      std::unique_lock<std::mutex> lock(hand_over.mutex);
      hand_over.changed.wait(lock, [&] { return hand_over.read > n || hand_over.reader_done; });
      if (hand_over.damaged || hand_over.read <= n) break;
    }
    written = write_piece(destination, hand_over.pieces[n % kPiecesInFlight], observer);
    {
      const std::lock_guard<std::mutex> lock(hand_over.mutex);
      hand_over.written = n + 1;
      hand_over.writer_stopped = !written;
    }
    hand_over.changed.notify_all();
    if (!written) break;
  }
  reading.join();
  return written && !reader.damaged;
}

}  // namespace

uint32_t payload_check(const uint8_t* fields, uint32_t field_count, const uint8_t* bytes,
                       uint32_t size, uint32_t from) {
  // A null buffer is answered with the starting value, not the CRC so far.
  uint32_t crc = from;
  if (field_count > 0) crc = libdeflate_crc32(crc, fields, field_count);
  if (size > 0) crc = libdeflate_crc32(crc, bytes, size);
  return crc;
}

bool unpack_payload(DATA_DEVICE& source, uint32_t payload_offset, DATA_DEVICE& destination,
                    PAYLOAD_OBSERVER* observer) {
  if (payload_offset < 1 || payload_offset > INT32_MAX) return false;
  const uint32_t start = payload_offset - 1;
  if (!source.seek(static_cast<int32_t>(start), false)) return false;
  uint8_t splash_flag = 0;
  if (!source.read_u8(splash_flag)) return false;
  std::unique_ptr<PAYLOAD_SPLASH> splash;
  if (splash_flag) {
    splash = std::make_unique<PAYLOAD_SPLASH>();
    if (!read_splash(source, *splash)) return false;
  }
  HEADER header;
  if (!read_header(source, start, header)) return false;
  if (observer) observer->header_read(splash.get(), header.chunk_size);
  splash.reset();
  return unpack_pieces(source, destination, header, observer);
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
