// PNG pictures through libpng. All bytes pass through the DATA_DEVICE
// (custom read and write functions), so a gzip member or a file inside an
// archive reads the same as a plain file. libpng reports errors by a long
// jump; the functions it can jump out of hold no objects with destructors.
#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstring>

#include "data_file.h"
#include "debug_stream.h"
#include "file_services.h"
#include "folder.h"
#include "image.h"

static_assert(std::endian::native == std::endian::little,
              "pixels are read and written as B, G, R, A bytes, which is 0xAARRGGBB "
              "only on a little-endian host");

namespace {

constexpr uint8_t kSignatureBytes = 4;
// libpng checks the whole gamma chain against this; a file of 1 / 2.2 on a
// screen of 2.2 is left alone.
constexpr double kScreenGamma = 2.2;
constexpr double kDefaultFileGamma = 0.45455;

void log_library_message(const char* kind, const char* message) {
  DEBUG_STREAM& stream = platform_debug_stream();
  if (stream.has_output()) stream.printf("PNG %s: %s", kind, message ? message : "");
}

[[noreturn]] void jump_on_error(png_structp png, png_const_charp message) {
  log_library_message("error", message);
  png_longjmp(png, 1);
}

void log_warning(png_structp, png_const_charp message) { log_library_message("warning", message); }

void read_from_device(png_structp png, png_bytep data, size_t length) {
  DATA_DEVICE* device = static_cast<DATA_DEVICE*>(png_get_io_ptr(png));
  if (length > INT32_MAX ||
      device->read(data, static_cast<int32_t>(length)) != static_cast<int32_t>(length)) {
    device->error = 1;
    png_error(png, "the file ends early");
  }
}

void write_to_device(png_structp png, png_bytep data, size_t length) {
  DATA_DEVICE* device = static_cast<DATA_DEVICE*>(png_get_io_ptr(png));
  if (length > INT32_MAX ||
      device->write(data, static_cast<int32_t>(length)) != static_cast<int32_t>(length)) {
    device->error = 1;
    png_error(png, "write failed");
  }
}

void flush_nothing(png_structp) {}

// Everything after the signature. Called only under the long-jump guard:
// libpng may jump out of any call here, so it holds nothing with a
// destructor.
bool read_png_body(png_structp png, png_infop info, IMAGE& image) {
  png_set_sig_bytes(png, kSignatureBytes);
  // libpng itself then refuses larger headers before allocating anything.
  png_set_user_limits(png, IMAGE_MAX_SIZE, IMAGE_MAX_SIZE);
  // Only the gamma chunks matter beside the critical ones and tRNS. Every
  // other chunk is skipped unread: libpng would otherwise allocate whatever
  // a text or profile chunk's length field claims before reading it.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  static constexpr png_byte kChunksUsed[] = "gAMA\0sRGB";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kChunksUsed, 2);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr, nullptr);
  if (width < 1 || height < 1 || width > IMAGE_MAX_SIZE || height > IMAGE_MAX_SIZE) return false;

  png_set_strip_16(png);
  png_set_packing(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  // Every kind of file ends as four bytes per pixel.
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if ((colour_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);

  double file_gamma = kDefaultFileGamma;
  if (!png_get_valid(png, info, PNG_INFO_sRGB)) {
    double stored = 0;
    if (png_get_gAMA(png, info, &stored) && stored > 0) file_gamma = stored;
  }
  png_set_gamma(png, kScreenGamma, file_gamma);

  png_set_swap(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  if (png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8 ||
      png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4)
    return false;

  image.try_create(static_cast<int16_t>(width), static_cast<int16_t>(height));
  // A fixed image keeps its own size; rows must never run past its buffer.
  if (!image.pixels || image.width != static_cast<int16_t>(width) ||
      image.height != static_cast<int16_t>(height))
    return false;

  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 row = 0; row < height; ++row) {
      uint32_t* line = image.pixels + static_cast<size_t>(row) * static_cast<size_t>(image.stride);
      png_read_row(png, reinterpret_cast<png_bytep>(line), nullptr);
    }
  }
  png_read_end(png, nullptr);
  return true;
}

// The only function that sets the jump point; it has no local variables, so
// nothing here can be left stale by the jump.
bool guarded_read(png_structp png, png_infop info, IMAGE& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  return read_png_body(png, info, image);
}

bool read_png(DATA_DEVICE* device, IMAGE& image) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jump_on_error, log_warning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_set_read_fn(png, device, read_from_device);
  bool ok = guarded_read(png, info, image);
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

bool write_png_body(png_structp png, png_infop info, const IMAGE& image) {
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color_8 significant = {};
  significant.red = significant.green = significant.blue = significant.alpha = 8;
  png_set_sBIT(png, info, &significant);

  // libpng keeps pointers to these until png_write_info has run.
  static char kAuthorKey[] = "Author";
  static char kAuthorText[] = "VORN platform image library";
  static char kWebsiteKey[] = "Website";
  static char kWebsiteText[] = "https://vorn.example.org/";
  png_text text[2] = {};
  text[0].compression = PNG_TEXT_COMPRESSION_NONE;
  text[0].key = kAuthorKey;
  text[0].text = kAuthorText;
  text[0].text_length = sizeof(kAuthorText) - 1;
  text[1].compression = PNG_TEXT_COMPRESSION_NONE;
  text[1].key = kWebsiteKey;
  text[1].text = kWebsiteText;
  text[1].text_length = sizeof(kWebsiteText) - 1;
  png_set_text(png, info, text, 2);

  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t row = 0; row < image.height; ++row) {
    const uint32_t* line = image.pixels + static_cast<size_t>(row) * static_cast<size_t>(image.stride);
    png_write_row(png, reinterpret_cast<png_const_bytep>(line));
  }
  png_write_end(png, nullptr);
  return true;
}

bool guarded_write(png_structp png, png_infop info, const IMAGE& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  return write_png_body(png, info, image);
}

// A DATA_FILE holds written bytes in its buffer; push them out so that a
// failure shows now rather than only when the caller closes the file.
bool flush_if_file(DATA_DEVICE* device) {
  DATA_FILE* file = dynamic_cast<DATA_FILE*>(device);
  return !file || file->flush();
}

}  // namespace

bool IMAGE::load_png(DATA_DEVICE* device) {
  bool ok = false;
  if (device) {
    // The signature is checked before libpng is started.
    uint8_t signature[kSignatureBytes] = {};
    bool have = true;
    for (uint8_t k = 0; k < kSignatureBytes && have; ++k) have = device->read_u8(signature[k]);
    ok = have && png_sig_cmp(signature, 0, kSignatureBytes) == 0 && read_png(device, *this);
  }
  if (!ok) create(0, 0);
  return ok;
}

bool IMAGE::save_png(DATA_DEVICE* device) const {
  if (!device || !pixels || width < 1 || height < 1) return false;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jump_on_error, log_warning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  png_set_write_fn(png, device, write_to_device, flush_nothing);
  bool ok = guarded_write(png, info, *this);
  png_destroy_write_struct(&png, &info);
  return flush_if_file(device) && ok;
}

bool IMAGE::load_png_file(const FOLDER& folder, const char* name, bool skip_exists_test) {
  bool ok = false;
  if (name && *name && (skip_exists_test || file_exists(folder, name))) {
    DATA_FILE* file = folder.open_data_file(name, 0, 0, false);
    if (file) {
      ok = load_png(file);
      FOLDER::close_data_file(file);
    }
  }
  if (!ok) create(0, 0);
  return ok;
}
