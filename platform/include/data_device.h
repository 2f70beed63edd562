#pragma once
// Every stored object reads and writes itself through a DATA_DEVICE, a byte
// stream with a position. The stream operations give every stored format
// the same conventions: integers little-endian on the stream (byte-reversed
// when the device's swap flag is set, i.e. for big-endian data), strings as
// a u32 length and the bytes without a terminator.
#include <cstdint>

class DATA_DEVICE;

// Base of every serialisable class.
class DATA_DEVICE_CLIENT {
public:
  virtual ~DATA_DEVICE_CLIENT() = default;
  virtual bool get_from_data_device(DATA_DEVICE* device) = 0;
  virtual bool put_to_data_device(DATA_DEVICE* device) = 0;

protected:
  DATA_DEVICE_CLIENT() = default;
  DATA_DEVICE_CLIENT(const DATA_DEVICE_CLIENT&) = default;
  DATA_DEVICE_CLIENT& operator=(const DATA_DEVICE_CLIENT&) = default;
};

class DATA_DEVICE {
public:
  virtual ~DATA_DEVICE() = default;

  // Position as callers see it (a file's byte-order byte never counts).
  virtual uint32_t tell() = 0;
  // Moves to offset, counted from the end when from_end is set.
  virtual bool seek(int32_t offset, bool from_end) = 0;
  // Bytes actually moved; short at the end of the data or on an error.
  virtual int32_t read(void* buffer, int32_t count) = 0;
  virtual int32_t write(const void* buffer, int32_t count) = 0;

  // Each sets error to 1 when the transfer moved fewer bytes than asked,
  // else 0, and returns !error. On failure the output is left unchanged.
  bool read_u8(uint8_t& value);
  bool read_u16(uint16_t& value);
  bool read_u32(uint32_t& value);
  bool read_i32(int32_t& value);
  bool read_u64(uint64_t& value);  // one 8-byte unit, all 8 bytes reversed by swap
  bool write_u8(uint8_t value);
  bool write_u16(uint16_t value);
  bool write_u32(uint32_t value);
  bool write_i32(int32_t value);
  bool write_u64(uint64_t value);

  // A null text writes length 0.
  bool write_string(const char* text);
  // Copies at most size - 1 bytes and terminates them; the rest of a longer
  // string is skipped. Fails for size < 1, a length of 2^31 or more, or a
  // string that ends early.
  bool read_string(char* buffer, int32_t size);
  // The length bytes that follow, terminated, in a new[] buffer; null when
  // length is 2^31 or more or the bytes are not all there. Where the device
  // cannot tell what remains, the buffer grows with what arrives, so a false
  // length costs memory in step with the data rather than up front.
  char* read_text(uint32_t length);

  // Bytes between the position and the end, or -1 when the device cannot
  // tell (a gzip member before it has been read to its end).
  virtual int64_t bytes_left();

  // error = the client's own result, inverted.
  bool read_object(DATA_DEVICE_CLIENT& client);
  bool write_object(DATA_DEVICE_CLIENT& client);

  uint8_t error = 0;  // 1 when the last stream operation failed
  uint8_t swap = 0;   // 1: multi-byte integers are big-endian on the stream

protected:
  DATA_DEVICE() = default;
};
