// libFuzzer target: bytes as a stored style set and as a ".ss" style file.
// The input up to the first "#SS\n" is a binary record, read from a data
// file (once as little-, once as big-endian data); a record that reads must
// write back in a form that reads and writes again to the same bytes. The
// rest is the text of a style file, read without and with a base folder; a
// style that reads completely is written out and read back. Pictures are looked up in the image cache only, never
// loaded from disk; everything happens in a private folder removed at exit.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config_file.h"
#include "data_file.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "image_cache.h"
#include "skin_frame.h"
#include "wm_style_set.h"

namespace {

std::string private_root;
FOLDER work;  // the record files and the style files

void remove_private_root() {
  remove_temporary_folder();
  if (!private_root.empty()) {
    remove_folder_contents(private_root.c_str());
    rmdir(private_root.c_str());
  }
}

int silent_box(const char*, const char*) { return 2; }

bool set_up() {
  char made[] = "/tmp/vorn_style_set_fuzz_XXXXXX";
  if (!mkdtemp(made)) return false;
  private_root = made;
  atexit(remove_private_root);
  for (const char* sub : {"/home", "/work", "/work/sub"})
    if (mkdir((private_root + sub).c_str(), 0700) != 0) return false;
  set_home_folder_override((private_root + "/home").c_str());
  set_system_root_override((private_root + "/home").c_str());
  set_message_box_handler(silent_box);
  skin_load_flags = IMAGE_CACHE_FIND_ONLY;
  return work.set_absolute((private_root + "/work").c_str());
}

bool write_bytes(const char* name, const void* data, size_t size) {
  FILE* file = fopen((private_root + "/work/" + name).c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

std::string file_bytes(const char* name) {
  std::string bytes;
  FILE* file = fopen((private_root + "/work/" + name).c_str(), "rb");
  if (!file) return bytes;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

bool read_record(WM_STYLE_SET& style, const char* name, uint8_t order) {
  DATA_FILE* file = work.open_data_file(name, 0, order, false);
  if (!file) return false;
  bool ok = style.get_from_data_device(file);
  FOLDER::close_data_file(file);
  return ok;
}

bool write_record(WM_STYLE_SET& style, const char* name, uint8_t order) {
  DATA_FILE* file = work.open_data_file(name, 1, order, false);
  if (!file) return false;
  bool ok = style.put_to_data_device(file);
  return FOLDER::close_data_file(file) && ok;
}

void exercise_record(uint8_t order) {
  WM_STYLE_SET style;
  if (!read_record(style, "record", order)) return;
  if (!write_record(style, "first", order)) abort();
  const std::string first = file_bytes("first");
  const size_t texts = (style.image_filename ? strlen(style.image_filename) : 0) +
                       (style.name ? strlen(style.name) : 0);
  if (first.size() != 2169 + texts) abort();
  WM_STYLE_SET again;
  if (!read_record(again, "first", order) || !write_record(again, "second", order)) abort();
  if (file_bytes("second") != first) abort();
}

uint8_t font_by_name(const char* name, intptr_t) { return static_cast<uint8_t>(strlen(name)); }
const char* name_of_font(uint8_t id, intptr_t) { return id == 3 ? "Sans" : nullptr; }

// Rewriting a style file costs one file replacement per key, so only styles
// that read completely are written out and read back.
void exercise_style_file(const FOLDER& base) {
  CONFIG_FILE input;
  input.init("input.ss", true);
  input.set_absolute(work.path);
  WM_STYLE_SET style;
  style.read_config(input, font_by_name, 0, nullptr);
  if (!style.read_config(input, font_by_name, 0, &base)) return;
  CONFIG_FILE output;
  output.init("output.ss", true);
  output.set_absolute(work.path);
  unlink((private_root + "/work/output.ss").c_str());
  if (!style.write_config(output, name_of_font, 0, &base)) return;
  WM_STYLE_SET again;
  again.read_config(output, font_by_name, 0, &base);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = set_up();
  if (!ready) abort();
  const char* text = static_cast<const char*>(memmem(data, size, "#SS\n", 4));
  const size_t record_size = text ? static_cast<size_t>(reinterpret_cast<const uint8_t*>(text) - data) : size;
  if (!write_bytes("record", data, record_size)) return 0;
  exercise_record(0);
  exercise_record(1);
  if (!text) return 0;
  if (!write_bytes("input.ss", text + 4, size - record_size - 4)) return 0;
  FOLDER sub;
  sub.set_absolute((private_root + "/work/sub").c_str());
  exercise_style_file(sub);
  return 0;
}
