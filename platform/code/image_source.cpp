// An image as C source text: the array form that IMAGE::create_from_array
// reads, declared as "static INT_U8 <name>[<size>]", so that pictures can
// be built into the program.
#include <cstdio>
#include <string>

#include "image.h"
#include "text_file.h"

namespace {

void append_byte(std::string& text, uint32_t byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  char hex[4] = {'0', 'x', kDigits[(byte >> 4) & 15], kDigits[byte & 15]};
  text.append(hex, 4);
}

}  // namespace

bool IMAGE::write_c_array(TEXT_FILE* file, const char* array_name) const {
  if (!file || !array_name || !*array_name) return false;
  int32_t w = pixels ? width : 0, h = pixels ? height : 0;
  long size = static_cast<long>(w) * h * 4 + 5;
  // The name goes through as text of its own, never into a format and never
  // cut.
  bool ok = file->write_string("static INT_U8 ") && file->write_string(array_name) &&
            file->printf("[%ld] =\n{\n\t", size);

  std::string text;
  uint32_t header[5] = {1, static_cast<uint32_t>(w) >> 8 & 0xFF, static_cast<uint32_t>(w) & 0xFF,
                        static_cast<uint32_t>(h) >> 8 & 0xFF, static_cast<uint32_t>(h) & 0xFF};
  for (int k = 0; k < 5; ++k) {
    if (k) text += ',';
    append_byte(text, header[k]);
  }
  ok = ok && file->write_string(text.c_str());

  for (int32_t row = 0; row < h && ok; ++row) {
    const uint32_t* line = pixels + static_cast<size_t>(row) * static_cast<size_t>(stride);
    text.assign(",\n\t");
    for (int32_t i = 0; i < w; ++i) {
      uint32_t p = line[i];
      if (i) text += ',';
      append_byte(text, p & 0xFF);  // blue, green, red, alpha: the u32 in little-endian order
      text += ',';
      append_byte(text, p >> 8 & 0xFF);
      text += ',';
      append_byte(text, p >> 16 & 0xFF);
      text += ',';
      append_byte(text, p >> 24);
    }
    ok = file->write_string(text.c_str());
  }
  ok = ok && file->write_string("\n};\n");

  // Push the text out, so that a full disk shows here and not only when the
  // caller closes the file.
  if (file->file && fflush(file->file) != 0) file->write_error = 1;
  return ok && !file->write_error;
}
