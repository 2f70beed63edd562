#include "data_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "errors.h"
#include "file_services.h"
#include "gz_member.h"

namespace {

constexpr uint16_t kReadFromWriteFile = 0x0E;
constexpr uint16_t kWriteToReadFile = 0x0F;
constexpr uint16_t kNoCacheMemory = 0x15;

constexpr uint8_t kOrderByteFollows = 255;
constexpr uint32_t kLastPosition = 0xFFFFFFFF;  // positions are u32; nothing lies beyond

constexpr uint8_t kPositioned = 0;
constexpr uint8_t kReading = 1;
constexpr uint8_t kWriting = 2;

// The process-wide pool of reusable file buffers. A slot whose user is set
// is lent to that file.
struct POOL_SLOT {
  uint8_t* buffer;
  int32_t size;
  DATA_FILE* user;
};
POOL_SLOT* pool = nullptr;
int16_t pool_count = 0;

int32_t default_buffer_size = DATA_FILE::DEFAULT_BUFFER_SIZE;

// Length of the open file, or false when it cannot be told or is too large
// for u32 positions.
bool stream_length(FILE* file, uint32_t& length) {
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  off_t size = ftello(file);
  if (size < 0 || static_cast<uint64_t>(size) > kLastPosition) return false;
  length = static_cast<uint32_t>(size);
  return true;
}

}  // namespace

void set_buffer_pool(int16_t count) {
  for (int16_t i = 0; i < pool_count; i++) {
    if (pool[i].user) {
      pool[i].user->pool_slot = -1;  // the file keeps the buffer as its own
    } else {
      free(pool[i].buffer);
    }
  }
  free(pool);
  pool = nullptr;
  pool_count = 0;
  if (count < 1) return;
  pool = static_cast<POOL_SLOT*>(calloc(static_cast<size_t>(count), sizeof(POOL_SLOT)));
  if (pool) pool_count = count;
}

void DATA_FILE::set_default_buffer_size(int32_t size) {
  default_buffer_size = std::clamp(size, MIN_BUFFER_SIZE, MAX_BUFFER_SIZE);
}

int32_t DATA_FILE::get_default_buffer_size() { return default_buffer_size; }

DATA_FILE::DATA_FILE(int32_t size) {
  if (size == -1) size = default_buffer_size;
  buffer_size = std::clamp(size, MIN_BUFFER_SIZE, MAX_BUFFER_SIZE);

  for (int16_t i = 0; i < pool_count && !buffer; i++) {
    POOL_SLOT& slot = pool[i];
    if (slot.buffer && !slot.user && slot.size >= buffer_size) {
      slot.user = this;
      buffer = slot.buffer;
      pool_slot = i;
    }
  }
  for (int16_t i = 0; i < pool_count && !buffer; i++) {
    POOL_SLOT& slot = pool[i];
    if (!slot.buffer) {
      slot.buffer = static_cast<uint8_t*>(malloc(static_cast<size_t>(buffer_size)));
      if (!slot.buffer) break;
      slot.size = buffer_size;
      slot.user = this;
      buffer = slot.buffer;
      pool_slot = i;
    }
  }
  if (!buffer) {
    buffer = static_cast<uint8_t*>(malloc(static_cast<size_t>(buffer_size)));
    pool_slot = -1;
  }
  if (!buffer) report_error(kNoCacheMemory);
}

DATA_FILE::~DATA_FILE() {
  close();
  if (pool_slot >= 0 && pool_slot < pool_count && pool[pool_slot].user == this) {
    pool[pool_slot].user = nullptr;
  } else {
    free(buffer);
  }
}

bool DATA_FILE::open(const FOLDER& where, const char* file_name, uint32_t open_mode, uint8_t order,
                     bool use_gzip) {
  if (file || !file_name || !*file_name || open_mode > 2) return false;
  // A member cannot be read and rewritten in place.
  if (use_gzip && open_mode == 2) return false;
  static const char* const kFileModes[] = {"rb", "wb", "r+b"};
  FILE* stream = open_file(where, file_name, kFileModes[open_mode]);
  if (!stream) return false;
  if (open_mode == 2 && is_write_only(stream)) {
    // A missing file is created for writing only; now that it exists it is
    // opened again for update, so that what is written can be read back.
    FILE* update = open_file(where, file_name, kFileModes[open_mode]);
    if (!update) {
      close_file(stream);
      return false;
    }
    close_file(stream);
    stream = update;
  }

  GZ_MEMBER* member = nullptr;
  uint8_t first = 0;
  uint32_t length = 0;
  uint8_t new_swap = 0;
  bool ok = true;
  if (order == kOrderByteFollows) {
    if (open_mode == 1) {
      // A created file always gets the byte 0.
      if (use_gzip) {
        member = gzopen_file(stream, "wb");
        ok = member && gz_write(member, &first, 1) == 1;
      } else {
        ok = fwrite(&first, 1, 1, stream) == 1 && fflush(stream) == 0;
      }
      length = 1;
    } else if (open_mode == 2) {
      if (fread(&first, 1, 1, stream) == 1) {
        new_swap = first;
        ok = stream_length(stream, length);
      } else {
        ok = !ferror(stream) && fseeko(stream, 0, SEEK_SET) == 0 &&
             fwrite(&first, 1, 1, stream) == 1 && fflush(stream) == 0;
        length = 1;
      }
    } else if (use_gzip) {
      member = gzopen_file(stream, "rb");
      ok = member != nullptr;
      if (ok && gz_read(member, &first, 1) == 1) new_swap = first;
      // A damaged or cut header means there is no member to read.
      if (ok && gz_error(member) < 0) ok = false;
      length = 1;
    } else {
      ok = stream_length(stream, length) && fseeko(stream, 0, SEEK_SET) == 0;
      if (ok && fread(&first, 1, 1, stream) == 1) new_swap = first;
    }
    start = open_mode == 0 ? 1 : length;
    end = length;
  } else {
    // No order byte: the value itself is the swap flag and no member is used.
    new_swap = order;
    if (open_mode != 1) ok = stream_length(stream, length);
    start = open_mode == 2 ? length : 0;
    end = open_mode == 1 ? 0 : length;
  }
  if (!ok) {
    if (member) gz_destroy(member);
    discard_file(stream);
    start = end = 0;
    return false;
  }

  file = stream;
  gzip = member;
  mode = open_mode;
  swap = new_swap;
  has_order_byte = order == kOrderByteFollows;
  error = 0;
  write_error = 0;
  cursor = valid = 0;
  dirty = 0;
  folder = where;
  name.set(file_name);
  // The stdio stream is repositioned before its first transfer; a member
  // stands just behind the order byte.
  stream_pos = member ? gz_tell(member) : -1;
  last_direction = kPositioned;
  member_end_known = 0;
  return true;
}

uint32_t DATA_FILE::known_end() const {
  uint32_t buffered = start + static_cast<uint32_t>(valid);
  return std::max(end, buffered);
}

bool DATA_FILE::seek_stream(uint32_t position, uint8_t direction) {
  if (gzip) {
    if (stream_pos == position) return true;
    int64_t reached = gz_seek(gzip, position, SEEK_SET);
    stream_pos = gz_tell(gzip);
    return reached == position;
  }
  // Update streams need a positioning call whenever the direction changes.
  if (stream_pos == position && (last_direction == direction || last_direction == kPositioned))
    return true;
  if (fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) {
    stream_pos = -1;
    return false;
  }
  stream_pos = position;
  last_direction = kPositioned;
  return true;
}

int32_t DATA_FILE::read_stream(uint32_t position, void* out, int32_t count) {
  if (!seek_stream(position, kReading)) return 0;
  int32_t got = 0;
  if (gzip) {
    int32_t result = gz_read(gzip, out, static_cast<uint32_t>(count));
    got = result < 0 ? 0 : result;
    if (gz_eof(gzip)) member_end_known = 1;
  } else {
    got = static_cast<int32_t>(fread(out, 1, static_cast<size_t>(count), file));
    last_direction = kReading;
  }
  stream_pos = static_cast<int64_t>(position) + got;
  end = std::max(end, position + static_cast<uint32_t>(got));
  return got;
}

int32_t DATA_FILE::write_stream(uint32_t position, const void* in, int32_t count) {
  if (!seek_stream(position, kWriting)) {
    write_error = 1;
    return 0;
  }
  int32_t put = 0;
  if (gzip) {
    int32_t result = gz_write(gzip, in, static_cast<uint32_t>(count));
    put = result < 0 ? 0 : result;
  } else {
    put = static_cast<int32_t>(fwrite(in, 1, static_cast<size_t>(count), file));
    last_direction = kWriting;
    // Push the bytes out now, so that a full disk shows here and not only
    // when the stream is closed; after a failure none of them count.
    if (fflush(file) != 0) put = 0;
  }
  if (put != count) write_error = 1;
  stream_pos = static_cast<int64_t>(position) + put;
  end = std::max(end, position + static_cast<uint32_t>(put));
  return put;
}

bool DATA_FILE::flush_buffer() {
  if (dirty && valid > 0) write_stream(start, buffer, valid);
  start += static_cast<uint32_t>(cursor);
  cursor = 0;
  valid = 0;
  dirty = 0;
  return !write_error;
}

uint32_t DATA_FILE::tell() {
  uint32_t position = start + static_cast<uint32_t>(cursor);
  return has_order_byte && position > 0 ? position - 1 : position;
}

bool DATA_FILE::seek(int32_t offset, bool from_end) {
  if (!file) return false;
  int64_t order_bytes = has_order_byte ? 1 : 0;
  int64_t target = offset;
  if (from_end) target += static_cast<int64_t>(known_end()) - order_bytes;
  if (target < 0) return false;
  int64_t file_target = target + order_bytes;
  if (file_target > kLastPosition) return false;
  uint32_t position = static_cast<uint32_t>(file_target);

  if (position == start + static_cast<uint32_t>(cursor)) return true;
  if (position >= start && position <= start + static_cast<uint32_t>(valid)) {
    cursor = static_cast<int32_t>(position - start);
    return true;
  }
  flush_buffer();
  if (gzip) {
    if (!seek_stream(position, kPositioned)) return false;
  } else {
    if (fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) {
      stream_pos = -1;
      return false;
    }
    stream_pos = position;
    last_direction = kPositioned;
  }
  start = position;
  return true;
}

int32_t DATA_FILE::read(void* out_buffer, int32_t count) {
  if (!file) return 0;
  if (mode != 0 && mode != 2) report_error(kReadFromWriteFile);
  if (!out_buffer || count < 1) return 0;
  uint8_t* out = static_cast<uint8_t*>(out_buffer);
  int32_t done = 0;
  for (;;) {
    int32_t ready = std::min(valid - cursor, count - done);
    if (ready > 0) {
      memcpy(out + done, buffer + cursor, static_cast<size_t>(ready));
      cursor += ready;
      done += ready;
    }
    if (done == count) return done;

    flush_buffer();  // the buffer is used up: start now stands at the caller's position
    uint32_t room = kLastPosition - start;
    if (room == 0) return done;
    int32_t wanted = count - done;
    if (wanted >= buffer_size) {
      // Large blocks go straight into the caller's memory.
      int32_t direct = static_cast<uint32_t>(wanted) > room ? static_cast<int32_t>(room) : wanted;
      int32_t got = read_stream(start, out + done, direct);
      start += static_cast<uint32_t>(got);
      return done + got;
    }
    int32_t block = static_cast<uint32_t>(buffer_size) > room ? static_cast<int32_t>(room) : buffer_size;
    int32_t got = read_stream(start, buffer, block);
    if (got <= 0) return done;
    valid = got;
  }
}

int32_t DATA_FILE::write(const void* in_buffer, int32_t count) {
  if (!file || !in_buffer || count < 1) return 0;
  if (mode != 1 && mode != 2) report_error(kWriteToReadFile);
  if (write_error) return 0;  // the file is already incomplete
  uint32_t room = kLastPosition - (start + static_cast<uint32_t>(cursor));
  if (static_cast<uint32_t>(count) > room) count = static_cast<int32_t>(room);
  if (count < 1) return 0;

  if (static_cast<int64_t>(cursor) + count < buffer_size) {
    memcpy(buffer + cursor, in_buffer, static_cast<size_t>(count));
    cursor += count;
    valid = std::max(valid, cursor);
    dirty = 1;
    return count;
  }
  if (!flush_buffer()) return 0;
  if (count < buffer_size) {
    memcpy(buffer, in_buffer, static_cast<size_t>(count));
    cursor = valid = count;
    dirty = 1;
    return count;
  }
  int32_t put = write_stream(start, in_buffer, count);
  start += static_cast<uint32_t>(put);
  return put;
}

bool DATA_FILE::flush() {
  if (!file) return !write_error;
  flush_buffer();
  if (!gzip) {
    // Leave the stream at the caller's position for whoever takes it over;
    // it may move it, so the next transfer positions it again.
    if (fseeko(file, static_cast<off_t>(start), SEEK_SET) != 0 && mode != 0) write_error = 1;
    stream_pos = -1;
    last_direction = kPositioned;
  }
  return !write_error;
}

bool DATA_FILE::close() {
  if (!file) return true;
  if (mode != 0) flush_buffer();
  if (gzip) {
    int result = gzclose_keep_file(gzip);
    if (mode != 0 && result != Z_OK) write_error = 1;
    gzip = nullptr;
  }
  // A file written anew that lost data leaves the earlier one in place.
  if (mode != 0 && write_error) discard_file(file);
  else if (!close_file(file) && mode != 0) write_error = 1;
  file = nullptr;
  cursor = valid = 0;
  dirty = 0;
  start = end = 0;
  stream_pos = -1;
  last_direction = kPositioned;
  return mode == 0 || !write_error;
}

int64_t DATA_FILE::bytes_left() {
  // A member being read shows its end only once it has been read to it;
  // until then any figure would understate what is there.
  if (gzip && mode == 0 && !member_end_known) return -1;
  return DATA_DEVICE::bytes_left();
}

uint32_t DATA_FILE::get_size() {
  if (!file) return 0;
  uint32_t size = known_end();
  return has_order_byte && size > 0 ? size - 1 : size;
}

bool DATA_FILE::is_eof() {
  if (!file) return true;
  if (cursor < valid) return false;
  if (gzip) return gz_eof(gzip);
  // A plain file's length is known, so the end shows before a read fails.
  return start + static_cast<uint32_t>(cursor) >= end;
}

DATA_FILE* FOLDER::open_data_file(const char* file_name, uint32_t open_mode, uint8_t order,
                                  bool use_gzip) const {
  DATA_FILE* data_file = new (std::nothrow) DATA_FILE();
  if (!data_file) return nullptr;
  if (!data_file->open(*this, file_name, open_mode, order, use_gzip)) {
    delete data_file;
    return nullptr;
  }
  return data_file;
}

bool FOLDER::close_data_file(DATA_FILE*& data_file) {
  if (!data_file) return true;
  bool ok = data_file->close();
  delete data_file;
  data_file = nullptr;
  return ok;
}

bool close_data_file(DATA_FILE*& data_file) { return FOLDER::close_data_file(data_file); }
