#pragma once
// Shared by the tests of gzip data: the system's gzip program and zlib's
// own gzip decoding, as independent readers and writers of what the
// program stores.
#include <zlib.h>

#include <string>

namespace gzip_test_support {

constexpr const char* kGzip = "/usr/bin/gzip";

// Inflates one whole gzip member with zlib (window bits 15 + 16: gzip
// wrapper); false unless the member ends exactly where the bytes do.
inline bool zlib_gunzip(const std::string& member, std::string& out) {
  z_stream strm{};
  if (inflateInit2(&strm, 15 + 16) != Z_OK) return false;
  strm.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
  strm.avail_in = static_cast<uInt>(member.size());
  char chunk[65536];
  int result = Z_OK;
  while (result == Z_OK) {
    strm.next_out = reinterpret_cast<Bytef*>(chunk);
    strm.avail_out = sizeof chunk;
    result = inflate(&strm, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - strm.avail_out);
  }
  bool ok = result == Z_STREAM_END && strm.avail_in == 0;
  inflateEnd(&strm);
  return ok;
}

}  // namespace gzip_test_support
