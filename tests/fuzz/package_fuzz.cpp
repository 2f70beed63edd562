// libFuzzer target: any bytes as a package archive. Opens them (read-only,
// with and without the kept list, and for update), looks names up, lists the
// kept records, extracts every file, reads one through a package data file
// and replaces one. Everything happens in a private folder that is removed
// at exit; the home folder (and so "$TEMP") points into it as well.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data_file.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "package.h"
#include "package_data_file.h"

namespace {

std::string private_root;
FOLDER archive_folder;  // holds the archive and a small source file
FOLDER output_folder;   // extraction target, emptied after every input

void remove_private_root() {
  remove_temporary_folder();
  if (!private_root.empty()) {
    remove_folder_contents(private_root.c_str());
    rmdir(private_root.c_str());
  }
}

int silent_box(const char*, const char*) {
  return 2;
}

bool set_up() {
  char made[] = "/tmp/vorn_package_fuzz_XXXXXX";
  if (!mkdtemp(made)) return false;
  private_root = made;
  atexit(remove_private_root);
  for (const char* sub : {"/home", "/home/tmp", "/archive", "/output"})
    if (mkdir((private_root + sub).c_str(), 0700) != 0) return false;
  set_home_folder_override((private_root + "/home").c_str());
  set_system_root_override((private_root + "/home").c_str());
  set_message_box_handler(silent_box);
  FILE* source = fopen((private_root + "/archive/source").c_str(), "wb");
  if (!source || fputs("replacement bytes", source) < 0 || fclose(source) != 0) return false;
  return archive_folder.set_absolute((private_root + "/archive").c_str()) &&
         output_folder.set_absolute((private_root + "/output").c_str());
}

bool write_input(const uint8_t* data, size_t size) {
  FILE* file = fopen((private_root + "/archive/input.pkg").c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

int32_t progress(PACKAGE*, uint32_t done, uint32_t total, intptr_t) {
  if (done > total) abort();  // extraction never reports more than the record's size
  return 0;
}

void exercise(bool keep_list, bool read_only) {
  PACKAGE package(archive_folder, "input.pkg", false, -1, keep_list, read_only);
  if (!package.is_open()) return;
  package.has_file("root");
  package.has_file("");
  const bool small_blocks = package.header.block_size <= 65536;
  if (keep_list) {
    int listed = 0;
    for (PACKAGE_FILE_RECORD* entry = package.list_head; entry && listed < 32;
         entry = entry->next_entry, listed++) {
      const char* name = entry->name.get_text();
      if (!name) continue;
      package.extract(output_folder, "out", name, progress, 0);
      if (listed == 0) {
        DATA_FILE* file = package.open_file(name, 0, 255);
        if (file) {
          char bytes[64];
          while (file->read(bytes, sizeof bytes) > 0) {
          }
          FOLDER::close_data_file(file);
        }
        if (!read_only && small_blocks) package.add_file(archive_folder, "source", name, true);
      }
    }
  } else {
    PACKAGE_FILE_RECORD record;
    package.find_file("a", record);
    package.extract(output_folder, "out", "a", progress, 0);
    if (!read_only && small_blocks) {
      package.add_file(archive_folder, "source", "a", true);
      package.extract(output_folder, "out", "a", progress, 0);
    }
  }
  remove_folder_contents(output_folder.path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = set_up();
  if (!ready) abort();
  if (!write_input(data, size)) return 0;
  exercise(false, true);
  exercise(true, true);
  exercise(false, false);
  if (!write_input(data, size)) return 0;
  exercise(true, false);
  return 0;
}
