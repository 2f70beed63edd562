#pragma once
// The JPEG memory source: lets libjpeg decode a picture held in memory.
// IMAGE::load_jpeg_memory uses it; it stays private to the image code, so
// nothing outside depends on libjpeg's headers.
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

// Points the decompress object at length bytes from data (which must stay
// alive until decoding ends) and stores client in its client_data. When the
// data runs out the source warns once with JWRN_JPEG_EOF (level -1) and
// supplies an end-of-image marker, so a buffer cut short still decodes.
// The source record is made once per object, from its permanent pool.
void jpeg_memory_src(j_decompress_ptr cinfo, const uint8_t* data, uint32_t length, void* client);
