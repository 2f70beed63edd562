#pragma once
// The installation data carried behind the installer's program file: an
// optional splash record, the chunk size, a compressed flag and the package
// bytes cut into chunks. All integers are big-endian. The writer serves the
// builder; the unpacker turns the chunks back into installer.pkg.
#include <cstdint>

#include "data_device.h"
#include "folder.h"
#include "image.h"
#include "vorn_string.h"
#include "wm_style_set.h"

// The largest chunk size a payload may declare (the largest data-file buffer).
constexpr uint32_t PAYLOAD_MAX_CHUNK_SIZE = 52428800;

// What the splash window shows while the chunks are unpacked; it travels
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
  bool compressed = true;
  // A zero-length chunk is written before chunk number empty_chunk_at (for
  // tests of readers that must step over one); -1 writes none.
  int32_t empty_chunk_at = -1;
  PAYLOAD_SPLASH* splash = nullptr;  // null: splash flag 0
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
  // After every chunk, the empty ones too: chunk bytes done x 100 / bytes
  // after the header (length fields included, so 100 is never reached).
  virtual void progress(int32_t percent) { (void)percent; }
};

// Reads the payload that starts at file offset payload_offset of the
// program file open as source (a data file read with its order byte, so the
// device position is the offset minus one; any device positioned that way
// will do) and writes the package bytes to destination. False when the
// payload is damaged in any way: a chunk size of 0 or above the limit, a
// chunk longer than the chunk size or than what remains, a chunk that does
// not inflate or inflates to more than the chunk size plus a fifth, a piece
// after one shorter than the chunk size, a short read, or no package bytes
// at all; also when a write fails.
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
