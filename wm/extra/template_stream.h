#pragma once
// The shared pieces of the template stream: the version being read (every
// record reader consults it), texts as a u32 length and bytes into new[]
// buffers, the fixed 2048-byte path field, and the guard that keeps a count
// read from the stream from allocating more records than bytes remain.
#include <cstdint>

#include "data_device.h"

constexpr uint16_t TEMPLATE_STREAM_VERSION = 26;  // the layout the writers produce
constexpr int TEMPLATE_PATH_SIZE = 2048;

// Set by the store's load before the body is read; writers ignore it.
extern uint16_t template_read_version;
// When 0, image and font records read from a stream leave their picture and
// font unfetched (for readers of untrusted bytes that must not touch disk).
extern uint8_t template_fetch_resources;

// Frees *out, then reads a string: length 0 gives null; a length beyond the
// bytes that remain fails before anything is allocated.
bool template_read_string(DATA_DEVICE* device, char** out);
// An absent or empty text writes length 0.
bool template_write_string(DATA_DEVICE* device, const char* text);
// The whole field; the text is written zero-filled after its terminator and
// always read back terminated.
bool template_read_path(DATA_DEVICE* device, char* field);
bool template_write_path(DATA_DEVICE* device, const char* field);
// A folder stored as a block (older layouts): its path text becomes the field.
bool template_read_folder_block(DATA_DEVICE* device, char* field);
// True when count records of at least min_bytes each can still follow;
// otherwise sets the device's error byte.
bool template_count_fits(DATA_DEVICE* device, uint32_t count, uint32_t min_bytes);
// Keeps the buffer when the text is equal, else replaces it by a copy (null
// for a null text).
void template_set_text(char*& field, const char* text);
