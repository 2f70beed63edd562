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

// One piece on its way from the reading thread through an inflating one to
// the writing one: its stored bytes where they are deflated, its package
// bytes (none for an empty piece) and the progress after it.
struct PIECE {
  std::unique_ptr<uint8_t[]> stored;  // chunk size; deflated pieces only
  std::unique_ptr<uint8_t[]> bytes;   // the inflated limit
  uint32_t stored_length = 0;
  bool deflated = false;
  uint32_t size = 0;  // package bytes in bytes
  int32_t percent = 0;
  bool inflated = false;  // bytes ready to be written (thread hand-over only)
};

// Reads the pieces in order up to the end of the source and checks each:
// its fields against the limits and, in the checked forms, its check, which
// carries on from the piece before it. A piece is read into a PIECE only
// once the one before it passed, so nothing behind damage is ever inflated.
class PIECE_READER {
public:
  PIECE_READER(DATA_DEVICE& source, const HEADER& header)
      : source(source),
        header(header),
        data_length(source.bytes_left()),
        checked(header.form == PAYLOAD_FORM_CHECKED || header.form == PAYLOAD_FORM_BOUND),
        bound(header.form == PAYLOAD_FORM_BOUND),
        chain(header.check),
        remaining(data_length) {}

  bool ready() const { return data_length >= 0; }
  // Whether any piece may be deflated.
  bool may_inflate() const { return checked || header.form == 1; }

  // The next piece into piece; false at the end of the pieces, with
  // damaged set when one was damaged.
  bool next(PIECE& piece) {
    if (remaining <= 0) return false;
    damaged = !read_piece(piece);
    if (damaged) return false;
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
    // Stored bytes go straight to the package bytes, deflated ones are
    // inflated from there once checked.
    piece.deflated = flag == 1;
    uint8_t* stored = piece.deflated ? piece.stored.get() : piece.bytes.get();
    const auto count = static_cast<int32_t>(length);
    if (length > 0 && source.read(stored, count) != count) return false;
    remaining -= length;
    done += length;
    if (checked) {
      const uint32_t check =
          payload_check(fields, 5, stored, static_cast<uint32_t>(length), bound ? chain : 0);
      if (payload_u32(fields + 5) != check) return false;
      chain = check;
    }
    piece.stored_length = piece.size = static_cast<uint32_t>(length);
    return true;
  }

  DATA_DEVICE& source;
  const HEADER& header;
  const int64_t data_length;
  const bool checked, bound;
  uint32_t chain;  // the check that the next piece's carries on (bound form)
  int64_t remaining;
  int64_t done = 0;  // stored bytes read
};

// A checked piece's package bytes from its stored ones. Each deflated piece
// is one zlib stream; bytes behind its end are left. One that would inflate
// beyond the limit, or to nothing, fails.
bool inflate(PIECE& piece, libdeflate_decompressor* decompressor, uint32_t limit) {
  if (!piece.deflated || piece.stored_length == 0) return true;
  size_t size = 0;
  if (libdeflate_zlib_decompress(decompressor, piece.stored.get(), piece.stored_length,
                                 piece.bytes.get(), limit, &size) != LIBDEFLATE_SUCCESS ||
      size == 0)
    return false;
  piece.size = static_cast<uint32_t>(size);
  return true;
}

// Writes the pieces in order and keeps the rules that need their package
// sizes: only the last piece may be shorter than the chunk size, and all
// together make the package length (checked forms) or at least one byte.
class PIECE_WRITER {
public:
  PIECE_WRITER(DATA_DEVICE& destination, const HEADER& header, PAYLOAD_OBSERVER* observer)
      : destination(destination), header(header), observer(observer) {}

  bool write(const PIECE& piece) {
    if (piece.size > 0 && short_piece_seen) return false;
    if (piece.size > 0 && piece.size < header.chunk_size) short_piece_seen = true;
    const auto size = static_cast<int32_t>(piece.size);
    if (size > 0 && destination.write(piece.bytes.get(), size) != size) return false;
    written += piece.size;
    if (observer) observer->progress(piece.percent);
    return true;
  }
  bool whole() const {
    const bool checked = header.form == PAYLOAD_FORM_CHECKED || header.form == PAYLOAD_FORM_BOUND;
    return written > 0 && (!checked || written == header.package_length);
  }

private:
  DATA_DEVICE& destination;
  const HEADER& header;
  PAYLOAD_OBSERVER* observer;
  int64_t written = 0;
  bool short_piece_seen = false;
};

// The pieces in flight, each at the place of its number modulo their count:
// the reading thread fills them in turn, the inflating threads take them in
// turn, the writing thread writes them in turn and gives them back. Their
// count is fixed, so memory stays a few pieces whatever the payload's size.
struct HAND_OVER {
  std::mutex mutex;
  // Each thread waits on its own: the inflating ones for a piece read, the
  // writing one for a piece inflated, the reading one for a piece given
  // back; a stop or the end wakes them all.
  std::condition_variable piece_read, piece_inflated, piece_given_back;
  uint32_t read = 0;     // pieces read and checked
  uint32_t claimed = 0;  // pieces taken by an inflating thread
  uint32_t written = 0;  // pieces written and given back
  bool reader_done = false;
  // Damage, a failed inflate or a failed write: every thread stops, and
  // nothing more is written.
  bool stopped = false;
  std::vector<PIECE> pieces;

  void wake_all() {
    piece_read.notify_all();
    piece_inflated.notify_all();
    piece_given_back.notify_all();
  }
};

// The reading thread's work: fills the pieces in turn until the end, damage,
// or a stop.
void read_pieces(PIECE_READER& reader, HAND_OVER& hand_over) {
  const auto count = static_cast<uint32_t>(hand_over.pieces.size());
  for (uint32_t n = 0;; ++n) {
    {
      std::unique_lock<std::mutex> lock(hand_over.mutex);
      hand_over.piece_given_back.wait(
          lock, [&] { return n - hand_over.written < count || hand_over.stopped; });
      if (hand_over.stopped) return;
    }
    const bool more = reader.next(hand_over.pieces[n % count]);
    {
      const std::lock_guard<std::mutex> lock(hand_over.mutex);
      if (more) hand_over.read = n + 1;
      hand_over.reader_done = !more;
      if (reader.damaged) hand_over.stopped = true;
    }
    if (!more) {
      hand_over.wake_all();
      return;
    }
    hand_over.piece_read.notify_one();
  }
}

// An inflating thread's work: takes the next piece read, inflates it, until
// all are taken or a stop.
void inflate_pieces(HAND_OVER& hand_over, libdeflate_decompressor* decompressor, uint32_t limit) {
  const auto count = static_cast<uint32_t>(hand_over.pieces.size());
  for (;;) {
    uint32_t n = 0;
    {
      std::unique_lock<std::mutex> lock(hand_over.mutex);
      hand_over.piece_read.wait(lock, [&] {
        return hand_over.claimed < hand_over.read || hand_over.reader_done || hand_over.stopped;
      });
      if (hand_over.stopped || hand_over.claimed == hand_over.read) return;
      n = hand_over.claimed++;
    }
    PIECE& piece = hand_over.pieces[n % count];
    const bool inflated = inflate(piece, decompressor, limit);
    {
      const std::lock_guard<std::mutex> lock(hand_over.mutex);
      piece.inflated = true;
      if (!inflated) hand_over.stopped = true;
    }
    if (!inflated) {
      hand_over.wake_all();
      return;
    }
    hand_over.piece_inflated.notify_one();
  }
}

struct DECOMPRESSOR_FREE {
  void operator()(libdeflate_decompressor* decompressor) const {
    libdeflate_free_decompressor(decompressor);
  }
};
using DECOMPRESSOR = std::unique_ptr<libdeflate_decompressor, DECOMPRESSOR_FREE>;

// What the pieces in flight may take together, beyond the least two.
constexpr uint64_t kInFlightBudget = 96u << 20;

// The package bytes, piece by piece, to the end of the source. One thread
// reads and checks the pieces in order, a few others inflate them side by
// side, and this one writes them in order (and tells the observer, which
// may draw), so that reading, inflating and writing all overlap.
bool unpack_pieces(DATA_DEVICE& source, DATA_DEVICE& destination, const HEADER& header,
                   PAYLOAD_OBSERVER* observer) {
  PIECE_READER reader(source, header);
  if (!reader.ready()) return false;
  PIECE_WRITER writer(destination, header, observer);
  // A piece may inflate to a fifth more than the chunk size.
  const uint32_t limit = header.chunk_size + header.chunk_size / 5;
  const auto inflaters = static_cast<uint32_t>(
      std::clamp(static_cast<int>(std::thread::hardware_concurrency()) - 1, 1, 4));
  std::vector<DECOMPRESSOR> decompressors(inflaters);
  HAND_OVER hand_over;
  // Two pieces a thread keep every inflating thread busy with small pieces;
  // large ones are held to what the budget allows (two at the least, one
  // being written while the next is read), so that an installer built with
  // large pieces still starts on a machine with little memory.
  const uint64_t piece_bytes = uint64_t{limit} + (reader.may_inflate() ? header.chunk_size : 0);
  hand_over.pieces.resize(static_cast<size_t>(
      std::clamp<uint64_t>(kInFlightBudget / piece_bytes, 2, uint64_t{2} * inflaters)));
  for (uint32_t n = 0; n < inflaters; ++n) {
    if (reader.may_inflate()) decompressors[n].reset(libdeflate_alloc_decompressor());
    if (reader.may_inflate() && !decompressors[n]) return false;
  }
  for (PIECE& piece : hand_over.pieces) {
    piece.bytes.reset(new (std::nothrow) uint8_t[limit]);
    if (reader.may_inflate()) piece.stored.reset(new (std::nothrow) uint8_t[header.chunk_size]);
    if (!piece.bytes || (reader.may_inflate() && !piece.stored)) return false;
  }

  std::vector<std::thread> threads;
  threads.reserve(inflaters + 1);
  const auto start = [&threads](auto&&... arguments) {
    try {
      threads.emplace_back(arguments...);
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  };
  const auto stop_all = [&] {
    {
      const std::lock_guard<std::mutex> lock(hand_over.mutex);
      hand_over.stopped = true;
    }
    hand_over.wake_all();
    for (std::thread& thread : threads) thread.join();
    threads.clear();
  };
  uint32_t started = 0;
  while (started < inflaters &&
         start(inflate_pieces, std::ref(hand_over), decompressors[started].get(), limit))
    ++started;
  if (started == 0 || !start(read_pieces, std::ref(reader), std::ref(hand_over))) {
    // Without a reading thread and one to inflate, the pieces are read,
    // inflated and written in turn on this one; none was read yet.
    stop_all();
    PIECE& piece = hand_over.pieces[0];
    while (reader.next(piece))
      if (!inflate(piece, decompressors[0].get(), limit) || !writer.write(piece)) return false;
    return !reader.damaged && writer.whole();
  }

  const auto count = static_cast<uint32_t>(hand_over.pieces.size());
  for (uint32_t n = 0;; ++n) {
    PIECE& piece = hand_over.pieces[n % count];
    {
      std::unique_lock<std::mutex> lock(hand_over.mutex);
      hand_over.piece_inflated.wait(lock, [&] {
        return hand_over.stopped || (hand_over.read > n && piece.inflated) ||
               (hand_over.reader_done && hand_over.read <= n);
      });
      if (hand_over.stopped || hand_over.read <= n) break;
    }
    const bool written = writer.write(piece);
    {
      const std::lock_guard<std::mutex> lock(hand_over.mutex);
      piece.inflated = false;
      hand_over.written = n + 1;
      if (!written) hand_over.stopped = true;
    }
    if (!written) break;
    hand_over.piece_given_back.notify_one();
  }
  bool stopped = false;
  {
    const std::lock_guard<std::mutex> lock(hand_over.mutex);
    stopped = hand_over.stopped;
  }
  stop_all();
  return !stopped && writer.whole();
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
