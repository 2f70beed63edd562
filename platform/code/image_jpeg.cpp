// JPEG pictures through libjpeg: decoding from a DATA_DEVICE or from memory
// (with an optional target size reached by nearest-neighbour stretching
// while decoding) and encoding with a quality and optional progression.
// libjpeg reports errors through the error manager, whose exit routine long
// jumps back; the functions it can jump out of hold no objects with
// destructors, and the jump point's function has no local variables.
#include "image_jpeg.h"

#include <jerror.h>

#include <bit>
#include <csetjmp>
#include <cstring>

#include "data_file.h"
#include "debug_stream.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"

static_assert(std::endian::native == std::endian::little, "pixels are handled as host u32s");

namespace {

constexpr size_t kDeviceBufferSize = 4096;
// Hostile progressive files can hold thousands of scans, each costing a pass
// over the whole picture; real files have a few dozen at most.
constexpr int kMostScans = 500;

// The error manager with its jump point.
struct JPEG_ERRORS {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void log_message(j_common_ptr cinfo) {
  DEBUG_STREAM& stream = platform_debug_stream();
  if (!stream.has_output()) return;
  char text[JMSG_LENGTH_MAX] = {};
  (*cinfo->err->format_message)(cinfo, text);
  stream.printf("JPEG: %s", text);
}

[[noreturn]] void jump_on_error(j_common_ptr cinfo) {
  log_message(cinfo);
  longjmp(reinterpret_cast<JPEG_ERRORS*>(cinfo->err)->jump, 1);
}

// Warnings do not stop decoding: data that ends early still gives a
// picture, the part it does not code filled by the library. Only the first
// warning is logged.
void note_message(j_common_ptr cinfo, int level) {
  jpeg_error_mgr* err = cinfo->err;
  if (level >= 0) return;  // trace messages
  if (err->num_warnings == 0) (*err->output_message)(cinfo);
  err->num_warnings++;
}

void use_error_manager(JPEG_ERRORS& errors, jpeg_error_mgr*& err) {
  err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jump_on_error;
  errors.manager.emit_message = note_message;
  errors.manager.output_message = log_message;
}

void limit_scans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  j_decompress_ptr decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decompress->input_scan_number > kMostScans) {
    DEBUG_STREAM& stream = platform_debug_stream();
    if (stream.has_output()) stream.printf("JPEG: more than %d scans", kMostScans);
    longjmp(reinterpret_cast<JPEG_ERRORS*>(cinfo->err)->jump, 1);
  }
}

// ---- Memory source

void source_nothing(j_decompress_ptr) {}

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// The data has run out: warn and end the stream with an end-of-image marker.
boolean supply_end_of_image(j_decompress_ptr cinfo) {
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}

void skip_memory_input(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (static_cast<unsigned long>(count) < src->bytes_in_buffer) {
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
  } else {
    supply_end_of_image(cinfo);
  }
}

// ---- Device source and destination

struct DEVICE_SOURCE {
  jpeg_source_mgr manager;
  DATA_DEVICE* device;
  bool started;  // some bytes came from the device
  bool at_end;   // the device is used up and the end marker was supplied
  JOCTET buffer[kDeviceBufferSize];
};

boolean fill_from_device(j_decompress_ptr cinfo) {
  DEVICE_SOURCE* src = reinterpret_cast<DEVICE_SOURCE*>(cinfo->src);
  int32_t got = src->at_end ? 0 : src->device->read(src->buffer, static_cast<int32_t>(kDeviceBufferSize));
  if (got <= 0) {
    if (!src->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    src->at_end = true;
    return supply_end_of_image(cinfo);
  }
  src->started = true;
  src->manager.next_input_byte = src->buffer;
  src->manager.bytes_in_buffer = static_cast<size_t>(got);
  return TRUE;
}

void skip_device_input(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  DEVICE_SOURCE* src = reinterpret_cast<DEVICE_SOURCE*>(cinfo->src);
  while (static_cast<unsigned long>(count) > src->manager.bytes_in_buffer) {
    count -= static_cast<long>(src->manager.bytes_in_buffer);
    src->manager.bytes_in_buffer = 0;
    fill_from_device(cinfo);
    if (src->at_end) return;  // the end marker stays to be read
  }
  src->manager.next_input_byte += count;
  src->manager.bytes_in_buffer -= static_cast<size_t>(count);
}

// Hands back what was read ahead, so that the device stands just behind the
// picture for whatever the file holds next.
void end_device_source(j_decompress_ptr cinfo) {
  DEVICE_SOURCE* src = reinterpret_cast<DEVICE_SOURCE*>(cinfo->src);
  if (src->at_end || src->manager.bytes_in_buffer == 0) return;
  uint32_t position = src->device->tell();
  if (position >= src->manager.bytes_in_buffer &&
      position - src->manager.bytes_in_buffer <= static_cast<uint32_t>(INT32_MAX))
    src->device->seek(static_cast<int32_t>(position - src->manager.bytes_in_buffer), false);
}

void device_source(j_decompress_ptr cinfo, DATA_DEVICE* device) {
  DEVICE_SOURCE* src = static_cast<DEVICE_SOURCE*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(DEVICE_SOURCE)));
  src->manager.init_source = source_nothing;
  src->manager.fill_input_buffer = fill_from_device;
  src->manager.skip_input_data = skip_device_input;
  src->manager.resync_to_restart = jpeg_resync_to_restart;
  src->manager.term_source = end_device_source;
  src->manager.next_input_byte = nullptr;
  src->manager.bytes_in_buffer = 0;
  src->device = device;
  src->started = false;
  src->at_end = false;
  cinfo->src = &src->manager;
}

struct DEVICE_DESTINATION {
  jpeg_destination_mgr manager;
  DATA_DEVICE* device;
  JOCTET buffer[kDeviceBufferSize];
};

void start_destination(j_compress_ptr cinfo) {
  DEVICE_DESTINATION* dest = reinterpret_cast<DEVICE_DESTINATION*>(cinfo->dest);
  dest->manager.next_output_byte = dest->buffer;
  dest->manager.free_in_buffer = kDeviceBufferSize;
}

void write_bytes(j_compress_ptr cinfo, size_t count) {
  DEVICE_DESTINATION* dest = reinterpret_cast<DEVICE_DESTINATION*>(cinfo->dest);
  if (count == 0) return;
  if (dest->device->write(dest->buffer, static_cast<int32_t>(count)) != static_cast<int32_t>(count)) {
    dest->device->error = 1;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

boolean empty_destination(j_compress_ptr cinfo) {
  write_bytes(cinfo, kDeviceBufferSize);
  start_destination(cinfo);
  return TRUE;
}

void end_destination(j_compress_ptr cinfo) {
  write_bytes(cinfo, kDeviceBufferSize - cinfo->dest->free_in_buffer);
}

void device_destination(j_compress_ptr cinfo, DATA_DEVICE* device) {
  DEVICE_DESTINATION* dest = static_cast<DEVICE_DESTINATION*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(DEVICE_DESTINATION)));
  dest->manager.init_destination = start_destination;
  dest->manager.empty_output_buffer = empty_destination;
  dest->manager.term_destination = end_destination;
  dest->device = device;
  cinfo->dest = &dest->manager;
}

// ---- Decoding

struct JPEG_INPUT {
  DATA_DEVICE* device;  // else the memory below
  const uint8_t* data;
  uint32_t length;
};

struct JPEG_READER {
  jpeg_decompress_struct cinfo;
  JPEG_ERRORS errors;
  jpeg_progress_mgr progress;
};

// Coded bytes the source still holds behind the headers read so far; -1
// when the device cannot tell.
int64_t coded_bytes_left(j_decompress_ptr cinfo, const JPEG_INPUT& input) {
  const jpeg_source_mgr* src = cinfo->src;
  if (src->next_input_byte == kEndOfImage) return 0;  // ran dry already
  int64_t left = static_cast<int64_t>(src->bytes_in_buffer);
  if (input.device && !reinterpret_cast<const DEVICE_SOURCE*>(src)->at_end) {
    int64_t rest = input.device->bytes_left();
    if (rest < 0) return -1;
    left += rest;
  }
  return left;
}

// Every 8 x 8 block of every component costs at least one bit of coded data
// (a valid file codes each block's DC value, and the shortest Huffman code
// is one bit). A frame that claims more blocks than the rest of the data
// could code is refused before its picture is allocated: a few hundred
// bytes must not claim 32000 x 32000 pixels to be decoded from nothing.
// Arithmetic coding can go below one bit per block on flat pictures; those
// are refused too, the price of the guard. Data cut short within what it
// could hold still decodes. A device that cannot tell its length (a gzip
// member not yet read to its end) is not checked.
bool data_can_code_frame(j_decompress_ptr cinfo, const JPEG_INPUT& input) {
  int64_t left = coded_bytes_left(cinfo, input);
  if (left < 0) return true;
  uint64_t blocks = 0;
  for (int c = 0; c < cinfo->num_components; ++c)
    blocks += static_cast<uint64_t>(cinfo->comp_info[c].width_in_blocks) *
              cinfo->comp_info[c].height_in_blocks;
  return (blocks + 7) / 8 <= static_cast<uint64_t>(left);
}

uint32_t to_pixel(const JSAMPLE* sample, int components) {
  uint32_t r = sample[0], g = sample[0], b = sample[0];
  if (components == 3) {
    g = sample[1];
    b = sample[2];
  }
  return 0xFF000000u | r << 16 | g << 8 | b;
}

// Source column i lands in target column (target - 1) x i / (source - 1);
// skipped columns repeat the pixel to their left, and a source one pixel
// wide fills the whole row.
void put_row(const JSAMPLE* samples, int components, int32_t source_width, uint32_t* out,
             int32_t target_width) {
  if (source_width == target_width) {
    for (int32_t i = 0; i < source_width; ++i) out[i] = to_pixel(samples + i * components, components);
    return;
  }
  int32_t last = -1;
  for (int32_t i = 0; i < source_width; ++i) {
    int32_t t = source_width > 1
                    ? static_cast<int32_t>(static_cast<int64_t>(target_width - 1) * i / (source_width - 1))
                    : 0;
    if (t <= last) continue;
    for (int32_t c = last + 1; c < t; ++c) out[c] = out[last];
    out[t] = to_pixel(samples + i * components, components);
    last = t;
  }
  for (int32_t c = last + 1; c < target_width; ++c) out[c] = out[last];
}

// Everything between creating and destroying the decompress object. Called
// only under the jump guard: nothing here has a destructor.
bool read_jpeg_body(JPEG_READER& reader, const JPEG_INPUT& input, IMAGE& image, int16_t w,
                    int16_t h) {
  j_decompress_ptr cinfo = &reader.cinfo;
  jpeg_create_decompress(cinfo);
  reader.progress.progress_monitor = limit_scans;
  cinfo->progress = &reader.progress;
  if (input.device)
    device_source(cinfo, input.device);
  else
    jpeg_memory_src(cinfo, input.data, input.length, nullptr);

  jpeg_read_header(cinfo, TRUE);
  // Four-component pictures would need a colour conversion of their own.
  if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) return false;
  jpeg_calc_output_dimensions(cinfo);
  int32_t source_width = static_cast<int32_t>(cinfo->output_width);
  int32_t source_height = static_cast<int32_t>(cinfo->output_height);
  int components = cinfo->output_components;
  if (cinfo->output_width < 1 || cinfo->output_height < 1 || cinfo->output_width > IMAGE_MAX_SIZE ||
      cinfo->output_height > IMAGE_MAX_SIZE || (components != 1 && components != 3) ||
      !data_can_code_frame(cinfo, input))
    return false;

  int32_t target_width = w < 1 ? source_width : w;
  int32_t target_height = h < 1 ? source_height : h;
  if (target_width > IMAGE_MAX_SIZE || target_height > IMAGE_MAX_SIZE) return false;
  image.try_create(static_cast<int16_t>(target_width), static_cast<int16_t>(target_height));
  if (!image.pixels || image.width != target_width || image.height != target_height) return false;

  jpeg_start_decompress(cinfo);
  if (static_cast<int32_t>(cinfo->output_width) != source_width ||
      static_cast<int32_t>(cinfo->output_height) != source_height ||
      cinfo->output_components != components)
    return false;
  JSAMPARRAY samples = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                   cinfo->output_width * components, 1);

  size_t stride = static_cast<size_t>(image.stride);
  size_t row_bytes = static_cast<size_t>(target_width) * sizeof(uint32_t);
  int32_t last = -1;
  while (cinfo->output_scanline < cinfo->output_height) {
    int32_t s = static_cast<int32_t>(cinfo->output_scanline);
    if (jpeg_read_scanlines(cinfo, samples, 1) != 1) return false;
    int32_t t = s;
    if (source_height != target_height) {
      t = source_height > 1 ? static_cast<int32_t>(static_cast<int64_t>(target_height - 1) * s /
                                                   (source_height - 1))
                            : 0;
    }
    if (t <= last) continue;
    for (int32_t r = last + 1; r < t; ++r)
      memcpy(image.pixels + r * stride, image.pixels + last * stride, row_bytes);
    put_row(samples[0], components, source_width, image.pixels + t * stride, target_width);
    last = t;
  }
  for (int32_t r = last + 1; r < target_height; ++r)
    memcpy(image.pixels + r * stride, image.pixels + last * stride, row_bytes);
  jpeg_finish_decompress(cinfo);
  return true;
}

bool guarded_read(JPEG_READER& reader, const JPEG_INPUT& input, IMAGE& image, int16_t w, int16_t h) {
  if (setjmp(reader.errors.jump)) return false;
  return read_jpeg_body(reader, input, image, w, h);
}

bool read_jpeg(const JPEG_INPUT& input, IMAGE& image, int16_t w, int16_t h) {
  JPEG_READER reader;
  memset(&reader, 0, sizeof(reader));
  use_error_manager(reader.errors, reader.cinfo.err);
  bool ok = guarded_read(reader, input, image, w, h);
  jpeg_destroy_decompress(&reader.cinfo);
  return ok;
}

// ---- Encoding

struct JPEG_WRITER {
  jpeg_compress_struct cinfo;
  JPEG_ERRORS errors;
};

bool write_jpeg_body(JPEG_WRITER& writer, DATA_DEVICE* device, const IMAGE& image, uint8_t quality,
                     bool progressive) {
  j_compress_ptr cinfo = &writer.cinfo;
  jpeg_create_compress(cinfo);
  device_destination(cinfo, device);
  cinfo->image_width = static_cast<JDIMENSION>(image.width);
  cinfo->image_height = static_cast<JDIMENSION>(image.height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  JSAMPARRAY samples = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                   cinfo->image_width * 3, 1);
  for (int32_t row = 0; row < image.height; ++row) {
    const uint32_t* line = image.pixels + static_cast<size_t>(row) * static_cast<size_t>(image.stride);
    JSAMPLE* out = samples[0];
    for (int32_t i = 0; i < image.width; ++i, out += 3) {
      out[0] = static_cast<JSAMPLE>(line[i] >> 16);
      out[1] = static_cast<JSAMPLE>(line[i] >> 8);
      out[2] = static_cast<JSAMPLE>(line[i]);
    }
    jpeg_write_scanlines(cinfo, samples, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

bool guarded_write(JPEG_WRITER& writer, DATA_DEVICE* device, const IMAGE& image, uint8_t quality,
                   bool progressive) {
  if (setjmp(writer.errors.jump)) return false;
  return write_jpeg_body(writer, device, image, quality, progressive);
}

bool flush_if_file(DATA_DEVICE* device) {
  DATA_FILE* file = dynamic_cast<DATA_FILE*>(device);
  return !file || file->flush();
}

}  // namespace

void jpeg_memory_src(j_decompress_ptr cinfo, const uint8_t* data, uint32_t length, void* client) {
  if (!cinfo->src) {
    cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(jpeg_source_mgr)));
  }
  jpeg_source_mgr* src = cinfo->src;
  src->init_source = source_nothing;
  src->fill_input_buffer = supply_end_of_image;
  src->skip_input_data = skip_memory_input;
  src->resync_to_restart = jpeg_resync_to_restart;
  src->term_source = source_nothing;
  src->next_input_byte = data;
  src->bytes_in_buffer = length;
  cinfo->client_data = client;
}

bool IMAGE::load_jpeg(DATA_DEVICE* device, int16_t w, int16_t h) {
  bool ok = device && read_jpeg(JPEG_INPUT{device, nullptr, 0}, *this, w, h);
  if (!ok) create(0, 0);
  return ok;
}

bool IMAGE::load_jpeg_memory(const uint8_t* data, int32_t length, int16_t w, int16_t h) {
  bool ok = data && length >= 1 &&
            read_jpeg(JPEG_INPUT{nullptr, data, static_cast<uint32_t>(length)}, *this, w, h);
  if (!ok) create(0, 0);
  return ok;
}

bool IMAGE::save_jpeg(DATA_DEVICE* device, uint8_t quality, bool progressive) const {
  if (quality > 100 || !device || !pixels || width < 1 || height < 1) return false;
  JPEG_WRITER writer;
  memset(&writer, 0, sizeof(writer));
  use_error_manager(writer.errors, writer.cinfo.err);
  bool ok = guarded_write(writer, device, *this, quality, progressive);
  jpeg_destroy_compress(&writer.cinfo);
  return flush_if_file(device) && ok;
}

bool IMAGE::load_jpeg_file(const FOLDER& folder, const char* name, int16_t w, int16_t h,
                           bool skip_exists_test) {
  bool ok = false;
  if (name && *name && (skip_exists_test || file_exists(folder, name))) {
    DATA_FILE* file = folder.open_data_file(name, 0, 0, false);
    if (file) {
      ok = load_jpeg(file, w, h);
      FOLDER::close_data_file(file);
    }
  }
  if (!ok) create(0, 0);
  return ok;
}
