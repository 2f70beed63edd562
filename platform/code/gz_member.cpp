#include "gz_member.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uInt kBufferSize = 16384;
// Deflate, no flags, no time stamp, no extra flags, OS 3 (Unix).
constexpr uint8_t kHeader[10] = {31, 139, 8, 0, 0, 0, 0, 0, 0, 3};
constexpr int kMemLevel = 8;

// Header flag bits.
constexpr int kHeaderCrc = 0x02;
constexpr int kExtraField = 0x04;
constexpr int kOriginalName = 0x08;
constexpr int kComment = 0x10;
constexpr int kReserved = 0xE0;

}  // namespace

struct GZ_MEMBER {
  FILE* file = nullptr;
  bool own_file = false;  // opened by gz_open from a path
  bool writing = false;
  z_stream strm{};
  bool strm_ready = false;
  uint8_t* in_buffer = nullptr;   // reading
  uint8_t* out_buffer = nullptr;  // writing
  int z_err = Z_OK;
  bool z_eof = false;         // the stream gave no more input
  bool transparent = false;   // the data is not gzip and is read unchanged
  bool pending_magic = false; // a lone first magic byte still to deliver
  uLong crc = 0;
  uint64_t position = 0;      // uncompressed bytes delivered or accepted
  int64_t member_start = -1;  // stream offset of the header; -1 unknown
};

namespace {

bool fill_input(GZ_MEMBER* m) {
  size_t n = fread(m->in_buffer, 1, kBufferSize, m->file);
  if (n == 0) {
    m->z_eof = true;
    if (ferror(m->file)) m->z_err = Z_ERRNO;
    return false;
  }
  m->strm.next_in = m->in_buffer;
  m->strm.avail_in = static_cast<uInt>(n);
  return true;
}

// Next input byte, or -1 at the end of the stream.
int get_byte(GZ_MEMBER* m) {
  if (m->strm.avail_in == 0 && (m->z_eof || !fill_input(m))) return -1;
  m->strm.avail_in--;
  return *m->strm.next_in++;
}

// The byte just taken by get_byte goes back into the input buffer.
void unget_byte(GZ_MEMBER* m) {
  m->strm.avail_in++;
  m->strm.next_in--;
}

// Reads the gzip header (RFC 1952) at the start of the member. Data that
// does not begin with the magic bytes is read unchanged.
void check_header(GZ_MEMBER* m) {
  int c = get_byte(m);
  if (c != kHeader[0]) {
    if (c == -1) {
      if (m->z_err == Z_OK) m->z_err = Z_STREAM_END;  // nothing at all
      return;
    }
    unget_byte(m);
    m->transparent = true;
    return;
  }
  c = get_byte(m);
  if (c != kHeader[1]) {
    if (c != -1) unget_byte(m);
    m->pending_magic = true;
    m->transparent = true;
    return;
  }
  int method = get_byte(m);
  int flags = get_byte(m);
  if (method != Z_DEFLATED || flags == -1 || (flags & kReserved) != 0) {
    m->z_err = Z_DATA_ERROR;
    return;
  }
  for (int i = 0; i < 6; i++) get_byte(m);  // time, extra flags, OS
  if (flags & kExtraField) {
    int low = get_byte(m);
    int high = get_byte(m);
    if (low != -1 && high != -1) {
      for (int length = low | (high << 8); length > 0 && get_byte(m) != -1; length--) {
      }
    }
  }
  if (flags & kOriginalName) {
    for (int b = get_byte(m); b > 0; b = get_byte(m)) {
    }
  }
  if (flags & kComment) {
    for (int b = get_byte(m); b > 0; b = get_byte(m)) {
    }
  }
  if (flags & kHeaderCrc) {
    get_byte(m);
    get_byte(m);
  }
  if (m->z_err == Z_OK && m->z_eof) m->z_err = Z_DATA_ERROR;
}

bool get_u32_le(GZ_MEMBER* m, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; i++) {
    int c = get_byte(m);
    if (c == -1) return false;
    value |= static_cast<uint32_t>(c) << (8 * i);
  }
  return true;
}

void put_u32_le(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; i++) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Checks the CRC-32 and the length (modulo 2^32) behind the compressed data.
void check_trailer(GZ_MEMBER* m) {
  uint32_t crc = 0;
  uint32_t length = 0;
  if (!get_u32_le(m, crc) || !get_u32_le(m, length) || crc != static_cast<uint32_t>(m->crc) ||
      length != static_cast<uint32_t>(m->position)) {
    m->z_err = Z_DATA_ERROR;
    return;
  }
  m->z_err = Z_STREAM_END;
}

bool write_out(GZ_MEMBER* m) {
  size_t have = kBufferSize - m->strm.avail_out;
  if (have > 0 && fwrite(m->out_buffer, 1, have, m->file) != have) {
    m->z_err = Z_ERRNO;
    return false;
  }
  m->strm.next_out = m->out_buffer;
  m->strm.avail_out = kBufferSize;
  return true;
}

// Back to the member's first byte, ready to read it again.
bool rewind_member(GZ_MEMBER* m) {
  if (m->member_start < 0 || fseeko(m->file, m->member_start, SEEK_SET) != 0) return false;
  if (inflateReset(&m->strm) != Z_OK) return false;
  m->strm.avail_in = 0;
  m->strm.next_in = m->in_buffer;
  m->z_err = Z_OK;
  m->z_eof = false;
  m->transparent = false;
  m->pending_magic = false;
  m->crc = crc32(0L, Z_NULL, 0);
  m->position = 0;
  check_header(m);
  return true;
}

int32_t read_transparent(GZ_MEMBER* m, uint8_t* out, uint32_t count) {
  uint32_t done = 0;
  if (m->pending_magic) {
    out[done++] = kHeader[0];
    m->pending_magic = false;
  }
  uint32_t from_buffer = count - done < m->strm.avail_in ? count - done : m->strm.avail_in;
  if (from_buffer > 0) {
    memcpy(out + done, m->strm.next_in, from_buffer);
    m->strm.next_in += from_buffer;
    m->strm.avail_in -= from_buffer;
    done += from_buffer;
  }
  if (done < count && !m->z_eof) {
    size_t n = fread(out + done, 1, count - done, m->file);
    if (n < count - done) {
      m->z_eof = true;
      if (ferror(m->file)) m->z_err = Z_ERRNO;
    }
    done += static_cast<uint32_t>(n);
  }
  m->position += done;
  if (done == 0 && m->z_err < 0) return -1;
  return static_cast<int32_t>(done);
}

}  // namespace

GZ_MEMBER* gz_open(const char* path, const char* mode, FILE* stream) {
  if (!mode) return nullptr;
  int level = Z_DEFAULT_COMPRESSION;
  int strategy = Z_DEFAULT_STRATEGY;
  char direction = 0;
  char file_mode[16];
  size_t used = 0;
  for (const char* p = mode; *p; p++) {
    char c = *p;
    if (c == 'r' || c == 'w' || c == 'a') direction = c;
    if (c >= '0' && c <= '9') {
      level = c - '0';
    } else if (c == 'f') {
      strategy = Z_FILTERED;
    } else if (c == 'h') {
      strategy = Z_HUFFMAN_ONLY;
    } else if (used + 1 < sizeof file_mode) {
      file_mode[used++] = c;
    }
  }
  file_mode[used] = '\0';
  if (!direction) return nullptr;

  FILE* file = stream;
  if (!file) {
    if (!path || !*path) return nullptr;
    file = fopen(path, file_mode);
    if (!file) return nullptr;
  }

  GZ_MEMBER* m = new (std::nothrow) GZ_MEMBER;
  if (!m) {
    if (!stream) fclose(file);
    return nullptr;
  }
  m->file = file;
  m->own_file = stream == nullptr;
  m->writing = direction != 'r';
  m->crc = crc32(0L, Z_NULL, 0);
  off_t where = ftello(file);
  m->member_start = where < 0 ? -1 : static_cast<int64_t>(where);

  if (m->writing) {
    m->out_buffer = static_cast<uint8_t*>(malloc(kBufferSize));
    if (!m->out_buffer ||
        deflateInit2(&m->strm, level, Z_DEFLATED, -MAX_WBITS, kMemLevel, strategy) != Z_OK) {
      gz_destroy(m);
      return nullptr;
    }
    m->strm_ready = true;
    m->strm.next_out = m->out_buffer;
    m->strm.avail_out = kBufferSize;
    if (fwrite(kHeader, 1, sizeof kHeader, file) != sizeof kHeader) {
      gz_destroy(m);
      return nullptr;
    }
  } else {
    m->in_buffer = static_cast<uint8_t*>(malloc(kBufferSize));
    if (!m->in_buffer || inflateInit2(&m->strm, -MAX_WBITS) != Z_OK) {
      gz_destroy(m);
      return nullptr;
    }
    m->strm_ready = true;
    m->strm.next_in = m->in_buffer;
    m->strm.avail_in = 0;
    check_header(m);
  }
  return m;
}

GZ_MEMBER* gzopen_file(FILE* stream, const char* mode) {
  if (!stream) return nullptr;
  return gz_open("", mode, stream);
}

int32_t gz_read(GZ_MEMBER* m, void* buffer, uint32_t count) {
  if (!m || m->writing || !buffer || count > INT32_MAX) return -1;
  if (m->z_err < 0) return -1;
  if (m->z_err == Z_STREAM_END || count == 0) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  if (m->transparent) return read_transparent(m, out, count);

  m->strm.next_out = out;
  m->strm.avail_out = count;
  int result = Z_OK;
  while (m->strm.avail_out > 0) {
    if (m->strm.avail_in == 0 && !fill_input(m)) {
      if (m->z_err == Z_OK) m->z_err = Z_DATA_ERROR;  // the member ends early
      break;
    }
    result = inflate(&m->strm, Z_NO_FLUSH);
    if (result == Z_STREAM_END) break;
    if (result != Z_OK) {
      m->z_err = result == Z_MEM_ERROR ? Z_MEM_ERROR : Z_DATA_ERROR;
      break;
    }
  }
  uint32_t produced = count - m->strm.avail_out;
  m->crc = crc32(m->crc, out, produced);
  m->position += produced;
  if (result == Z_STREAM_END) check_trailer(m);
  if (produced == 0 && m->z_err < 0) return -1;
  return static_cast<int32_t>(produced);
}

int32_t gz_write(GZ_MEMBER* m, const void* buffer, uint32_t count) {
  if (!m || !m->writing || !buffer || count > INT32_MAX || m->z_err != Z_OK) return -1;
  m->strm.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  m->strm.avail_in = count;
  while (m->strm.avail_in > 0) {
    if (m->strm.avail_out == 0 && !write_out(m)) break;
    int result = deflate(&m->strm, Z_NO_FLUSH);
    if (result != Z_OK) {
      m->z_err = result;
      break;
    }
  }
  uint32_t consumed = count - m->strm.avail_in;
  m->strm.avail_in = 0;
  m->crc = crc32(m->crc, static_cast<const Bytef*>(buffer), consumed);
  m->position += consumed;
  if (consumed == 0 && m->z_err != Z_OK) return -1;
  return static_cast<int32_t>(consumed);
}

int64_t gz_seek(GZ_MEMBER* m, int64_t offset, int whence) {
  if (!m) return -1;
  if (whence == SEEK_CUR) {
    offset += static_cast<int64_t>(m->position);
  } else if (whence != SEEK_SET) {
    return -1;
  }
  if (offset < 0) return -1;
  uint64_t target = static_cast<uint64_t>(offset);
  uint8_t scratch[4096];

  if (m->writing) {
    if (target < m->position) return -1;
    memset(scratch, 0, sizeof scratch);
    while (m->position < target) {
      uint64_t left = target - m->position;
      uint32_t n = left < sizeof scratch ? static_cast<uint32_t>(left) : sizeof scratch;
      if (gz_write(m, scratch, n) != static_cast<int32_t>(n)) return -1;
    }
    return static_cast<int64_t>(m->position);
  }

  if (target < m->position && !rewind_member(m)) return -1;
  while (m->position < target) {
    uint64_t left = target - m->position;
    uint32_t n = left < sizeof scratch ? static_cast<uint32_t>(left) : sizeof scratch;
    if (gz_read(m, scratch, n) <= 0) return -1;
  }
  return static_cast<int64_t>(m->position);
}

int64_t gz_tell(GZ_MEMBER* m) { return m ? static_cast<int64_t>(m->position) : -1; }

bool gz_eof(GZ_MEMBER* m) {
  if (!m || m->writing) return false;
  if (m->z_err != Z_OK) return true;
  return m->transparent && m->z_eof && m->strm.avail_in == 0 && !m->pending_magic;
}

int gz_error(GZ_MEMBER* m) { return m ? m->z_err : Z_STREAM_ERROR; }

int gzclose_keep_file(GZ_MEMBER* m) {
  if (!m) return Z_STREAM_ERROR;
  if (m->writing) {
    if (m->z_err == Z_OK) {
      m->strm.next_in = nullptr;
      m->strm.avail_in = 0;
      for (;;) {
        int result = deflate(&m->strm, Z_FINISH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
          m->z_err = result;
          break;
        }
        if (!write_out(m) || result == Z_STREAM_END) break;
      }
    }
    if (m->z_err == Z_OK) {
      uint8_t trailer[8];
      put_u32_le(trailer, static_cast<uint32_t>(m->crc));
      put_u32_le(trailer + 4, static_cast<uint32_t>(m->position));
      if (fwrite(trailer, 1, sizeof trailer, m->file) != sizeof trailer) m->z_err = Z_ERRNO;
    }
    if (fflush(m->file) != 0 && m->z_err == Z_OK) m->z_err = Z_ERRNO;
  } else {
    // The stream read ahead; put it back behind the bytes the member used.
    off_t unused = static_cast<off_t>(m->strm.avail_in) + (m->pending_magic ? 1 : 0);
    if (unused > 0) fseeko(m->file, -unused, SEEK_CUR);
  }
  return gz_destroy(m);
}

int gz_destroy(GZ_MEMBER* m) {
  if (!m) return Z_STREAM_ERROR;
  if (m->strm_ready) {
    if (m->writing) {
      deflateEnd(&m->strm);
    } else {
      inflateEnd(&m->strm);
    }
  }
  free(m->in_buffer);
  free(m->out_buffer);
  if (m->own_file) fclose(m->file);
  int error = m->z_err < 0 ? m->z_err : Z_OK;
  delete m;
  return error;
}
