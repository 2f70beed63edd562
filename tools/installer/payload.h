#pragma once
// The installation data carried behind the installer's program file: an
// optional splash record, then the package bytes cut into pieces. The
// writer serves the builder; the unpacker turns the pieces back into
// installer.pkg. All integers are big-endian. From the payload's start:
//
//   u8   splash flag; when it is not 0 the splash record follows: the image
//        cache, the image, the bar's x, y, width and height (u16 each), the
//        title and the bar's style set, each in its own stored form
//   u32  chunk size: the package bytes of one piece (the last may hold fewer)
//   u8   form: PAYLOAD_FORM_BOUND
//   u32  package length: the bytes all pieces unpack to together
//   u32  CRC-32 of every byte from the payload's start (the splash flag) up
//        to this check
//   the pieces, up to the end of the file, each:
//     u8   1: deflated into one zlib stream; 0: stored as it is
//     u32  stored length, at most the chunk size
//     u32  the CRC-32 carried on from the check before it (the header's for
//          the first piece) over the flag, the stored length and the stored
//          bytes
//     the stored bytes
//
// Every check is so the CRC-32 of all bytes in front of it, the checks
// themselves left out: a piece is bound to its place and to everything
// before it, so pieces swapped or copied over one another, a piece left
// out and a changed byte in the splash record are all found, and the last
// piece's check vouches for the whole payload before the package is used.
//
// Two earlier forms are still read; the form byte tells them apart.
// PAYLOAD_FORM_CHECKED has the same fields, but its header check covers
// only the nine bytes from the chunk size on and each piece's check only
// its own flag, length and bytes. Installers built before pieces carried
// their own flag and check have, in place of the form and what follows it,
// one flag for all pieces (0 stored, 1 deflated) and the pieces to the end
// of the file, each a u32 length and its bytes (zero-length pieces are
// stepped over).
#include <cstdint>

#include "data_device.h"
#include "folder.h"
#include "image.h"
#include "vorn_string.h"
#include "wm_style_set.h"

// The largest chunk size a payload may declare (the largest data-file buffer).
constexpr uint32_t PAYLOAD_MAX_CHUNK_SIZE = 52428800;

// The form bytes of payloads whose pieces each carry a flag and a check:
// bound to their places (what the builder writes) and not (installers of
// the earlier form). Each is at least two bits away from the others and
// from the oldest form's flags, so that one damaged bit cannot turn it into
// them.
constexpr uint8_t PAYLOAD_FORM_BOUND = 0x44;
constexpr uint8_t PAYLOAD_FORM_CHECKED = 0x43;

// The checked form's fixed fields as bytes: its header fields from the
// chunk size on, and the fields in front of each piece's stored bytes.
constexpr uint32_t PAYLOAD_HEADER_FIELDS = 13;
constexpr uint32_t PAYLOAD_PIECE_FIELDS = 9;

// Big-endian u32 fields, put into and taken from those bytes.
inline void put_payload_u32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}
inline uint32_t payload_u32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The CRC-32 of the fields before a check and of the bytes after them
// (none for the header), carried on from the CRC-32 from (0 starts anew).
uint32_t payload_check(const uint8_t* fields, uint32_t field_count, const uint8_t* bytes,
                       uint32_t size, uint32_t from = 0);

// What the splash window shows while the pieces are unpacked; it travels
// with the toolkit's image cache in front of it.
struct PAYLOAD_SPLASH {
  IMAGE image;
  uint16_t bar_x = 0, bar_y = 0, bar_width = 0, bar_height = 0;
  VORN_STRING title;
  WM_STYLE_SET bar_style;
};

// How the builder cuts the package.
struct PAYLOAD_OPTIONS {
  uint32_t chunk_size = 0;  // 0: not chosen yet, which write_payload refuses
  // Pieces are deflated where that makes them shorter; false stores all as
  // they are.
  bool compressed = true;
  // A zero-length piece is written before piece number empty_chunk_at (for
  // tests of readers that must step over one); -1 writes none.
  int32_t empty_chunk_at = -1;
  PAYLOAD_SPLASH* splash = nullptr;  // null: splash flag 0
  // The form written: the builder's, or for tests that the reader still
  // takes them the earlier ones. FLAGGED is the form of installers built
  // before pieces carried checks: one flag for all pieces, which fails
  // when compressed is set and a piece does not deflate into the chunk
  // size.
  enum class FORM : uint8_t { BOUND, CHECKED, FLAGGED };
  FORM form = FORM::BOUND;
};

// Writes the payload for the package file in folder (a data file with its
// one order byte, which the payload leaves out). device must have swap set.
bool write_payload(DATA_DEVICE& device, const FOLDER& folder, const char* package_name,
                   const PAYLOAD_OPTIONS& options);

// Told about the unpacking as it goes.
class PAYLOAD_OBSERVER {
public:
  virtual ~PAYLOAD_OBSERVER() = default;
  // Once the header is read; splash is null with splash flag 0 and only
  // valid during the call.
  virtual void header_read(PAYLOAD_SPLASH* splash, uint32_t chunk_size) {
    (void)splash;
    (void)chunk_size;
  }
  // After every piece, the empty ones too: stored bytes done x 100 / bytes
  // after the header (the pieces' own fields included, so 100 is never
  // reached).
  virtual void progress(int32_t percent) { (void)percent; }
};

// Reads the payload that starts at file offset payload_offset of the
// program file open as source (a data file read with its order byte, so the
// device position is the offset minus one; any device positioned that way
// will do) and writes the package bytes to destination. False when the
// payload is damaged in any way: a header or piece whose check does not
// match (in the bound form the splash record is checked with the header
// before the observer hears of either), an unknown form or piece flag, a chunk size of 0 or above the
// limit, a piece longer than the chunk size or than what remains, a piece
// that does not inflate or inflates to more than the chunk size plus a
// fifth, a piece after one shorter than the chunk size, a short read, no
// package bytes at all or other than the header's package length; also
// when a write fails. Every piece is checked before its bytes are used.
// After the header, one thread reads and checks the pieces in order and a
// few others inflate them side by side, a few pieces ahead of the writes;
// destination is written in order and the observer told only on the
// caller's thread.
bool unpack_payload(DATA_DEVICE& source, uint32_t payload_offset, DATA_DEVICE& destination,
                    PAYLOAD_OBSERVER* observer);

// Why an unpack failed: the payload is cut short or damaged, the folder
// it unpacks into has no room left, or writing there failed otherwise.
enum class PAYLOAD_FAILURE : uint8_t { NONE, DAMAGED, NO_ROOM, WRITE };

// unpack_payload from the program file into a new data file with its order
// byte (name in folder). A failed unpack leaves no file behind and, when
// asked, says why.
bool unpack_payload_file(const FOLDER& program_folder, const char* program_name,
                         uint32_t payload_offset, const FOLDER& folder, const char* name,
                         PAYLOAD_OBSERVER* observer, PAYLOAD_FAILURE* failure = nullptr);
