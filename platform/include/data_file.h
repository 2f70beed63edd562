#pragma once
// The general data device: a buffered stdio file, optionally one gzip
// member, optionally led by one byte-order byte whose value becomes the swap
// flag when the file is opened. Opened and closed through
// FOLDER::open_data_file and FOLDER::close_data_file.
#include <cstdint>
#include <cstdio>

#include "data_device.h"
#include "folder.h"
#include "vorn_string.h"

struct GZ_MEMBER;  // a gzip member on an open stdio stream

class DATA_FILE : public DATA_DEVICE {
public:
  static constexpr int32_t DEFAULT_BUFFER_SIZE = 524288;
  static constexpr int32_t MIN_BUFFER_SIZE = 1024;
  static constexpr int32_t MAX_BUFFER_SIZE = 52428800;

  // buffer_size -1 takes the default size; others are clamped to the limits.
  explicit DATA_FILE(int32_t buffer_size = -1);

  // The size files made with -1 get (FOLDER::open_data_file and package
  // copies among them); DEFAULT_BUFFER_SIZE until changed, clamped to the
  // limits when stored. Files already made keep their buffers.
  static void set_default_buffer_size(int32_t size);
  static int32_t get_default_buffer_size();
  ~DATA_FILE() override;
  DATA_FILE(const DATA_FILE&) = delete;
  DATA_FILE& operator=(const DATA_FILE&) = delete;

  // mode 0 read, 1 write, 2 update; order 255 = the file starts with the
  // byte-order byte, 0..254 = no such byte and that value is the swap flag.
  bool open(const FOLDER& folder, const char* name, uint32_t mode, uint8_t order, bool gzip);

  uint32_t tell() override;
  bool seek(int32_t offset, bool from_end) override;
  int32_t read(void* buffer, int32_t count) override;
  int32_t write(const void* buffer, int32_t count) override;

  // Writes pending bytes and leaves the stdio stream at the caller's
  // position (also after reading), so another library can take it over.
  // False once any write to the file has failed.
  bool flush();
  // Flushes, finishes a gzip member and closes the stream; false when any
  // write failed or the close failed. Safe to call on a closed file.
  // Virtual so that files kept elsewhere (inside an archive) can report
  // storing themselves back.
  virtual bool close();

  // -1 while a gzip member has not been read to its end.
  int64_t bytes_left() override;
  uint32_t get_size();
  bool is_eof();
  bool is_open() const { return file != nullptr; }
  bool write_failed() const { return write_error != 0; }
  FILE* get_stream() const { return file; }

  uint8_t* buffer = nullptr;
  int32_t cursor = 0;
  int32_t valid = 0;
  int32_t buffer_size = 0;
  uint32_t mode = 0;
  FILE* file = nullptr;
  uint8_t has_order_byte = 0;
  uint8_t dirty = 0;
  GZ_MEMBER* gzip = nullptr;
  FOLDER folder;
  VORN_STRING name;
  uint32_t end = 0;    // largest known file position, order byte included
  uint32_t start = 0;  // file position of buffer byte 0, order byte included
  int16_t pool_slot = -1;
  uint8_t write_error = 0;  // sticky: a write to the file failed

private:
  bool flush_buffer();
  bool seek_stream(uint32_t position, uint8_t direction);
  int32_t read_stream(uint32_t position, void* out, int32_t count);
  int32_t write_stream(uint32_t position, const void* in, int32_t count);
  uint32_t known_end() const;

  int64_t stream_pos = -1;  // where the stdio stream or gzip member stands; -1 unknown
  uint8_t last_direction = 0;  // 0 positioned, 1 read, 2 written since then
  uint8_t member_end_known = 0;  // a gzip member has been read to its end
};

// Sets up the process-wide pool of reusable file buffers with count slots;
// 0 releases it (files still holding a pool buffer keep it as their own).
void set_buffer_pool(int16_t count);
