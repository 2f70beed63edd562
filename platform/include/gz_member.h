#pragma once
// One gzip member read or written on a stdio stream that somebody else owns:
// the member starts at the stream's current position and closing it leaves
// the stream open (and, after reading, standing just behind the member), so
// a member can sit in the middle of other data.
#include <cstdint>
#include <cstdio>

struct GZ_MEMBER;

// Mode letters: "r" read; "w" or "a" write; a digit 0-9 the compression
// level; "f" filtered, "h" Huffman-only strategy; other letters ("b") go
// into the fopen mode. With a stream the path is not used and nothing is
// opened; without one the path is opened and the member owns that file.
// Null when the mode has no direction or nothing could be set up. A read
// member on data that is not gzip reads it unchanged.
GZ_MEMBER* gz_open(const char* path, const char* mode, FILE* stream);
GZ_MEMBER* gzopen_file(FILE* stream, const char* mode);

// Finishes a write member (rest of the data, CRC-32 and length as two
// little-endian u32), flushes the stream and frees the member; a read
// member puts the stream back behind the bytes it used. Never closes the
// stream. Z_OK (0) or the member's error.
int gzclose_keep_file(GZ_MEMBER* member);
// Frees the member without finishing it; returns its last error (Z_OK, or a
// negative zlib code).
int gz_destroy(GZ_MEMBER* member);

// Uncompressed bytes moved, or -1 on an error (wrong direction, corrupt or
// truncated data, a failed write). A read returns 0 at the member's end.
int32_t gz_read(GZ_MEMBER* member, void* buffer, uint32_t count);
int32_t gz_write(GZ_MEMBER* member, const void* buffer, uint32_t count);
// Moves to an uncompressed position (whence SEEK_SET or SEEK_CUR). Reading
// may go back (the member is inflated again from its start); writing only
// forward, filling with zeros. The new position, or -1.
int64_t gz_seek(GZ_MEMBER* member, int64_t offset, int whence);
int64_t gz_tell(GZ_MEMBER* member);
// Reading: true once all of the member's data has been delivered (or it
// failed). Always false for a write member.
bool gz_eof(GZ_MEMBER* member);
// The member's last error (Z_OK, Z_STREAM_END, or a negative zlib code).
int gz_error(GZ_MEMBER* member);
