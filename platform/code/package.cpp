#include "package.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "data_file.h"
#include "debug_stream.h"
#include "file_services.h"
#include "package_data_file.h"
#include "package_store.h"
#include "package_text_file.h"
#include "replace_file.h"

// The archive's file operations: storing, extracting and opening stored
// files; the stored form itself is the block store's.

namespace {

// Sources are read through a buffer of this size; whole blocks bypass it.
constexpr int32_t kSourceBuffer = 65536;
// Extracted bytes are written in pieces of at most this size.
constexpr size_t kOutputBuffer = 262144;
constexpr const char* kNameLengths = "stored names hold 1 to 2047 bytes";

void note(const char* text, int line) {
  DEBUG_STREAM& stream = platform_debug_stream();
  if (stream.has_output()) stream.write("code/package", line, text, true);
}

// Whether a name stays inside the folder it is joined onto.
bool stays_inside(const char* name) {
  if (!name || !*name || name[0] == '/') return false;
  const char* part = name;
  while (*part) {
    const char* end = strchr(part, '/');
    size_t length = end ? static_cast<size_t>(end - part) : strlen(part);
    if (length == 2 && part[0] == '.' && part[1] == '.') return false;
    if (!end) break;
    part = end + 1;
  }
  return true;
}

void delete_entry(void* entry, intptr_t) { delete static_cast<PACKAGE_FILE_RECORD*>(entry); }

}  // namespace

// ---- PACKAGE ---------------------------------------------------------------

PACKAGE::PACKAGE(const FOLDER& where, const char* file_name, bool create, int32_t block_size,
                 bool keep, bool read_only_flag)
    : entries(1024, 0), open_copies(10, 0) {
  entries.delete_callback = delete_entry;
  folder = where;
  name.set(file_name ? file_name : "");
  keep_list = keep ? 1 : 0;
  read_only = read_only_flag ? 1 : 0;
  if (!file_name || !*file_name) {
    package_failure(kErrorMissing, "", __LINE__);
    return;
  }
  if (!PACKAGE_STORE::open(*this, create, block_size)) {
    // Closed for good: every later operation reports 4109.
    PACKAGE_STORE::close(*this);
    return;
  }
  report_success();
}

PACKAGE::~PACKAGE() {
  for (int32_t i = 0; i < open_copies.count; i++)
    static_cast<PACKAGE_COPY*>(open_copies.data[i])->package = nullptr;
  if (file) {
    if (keep_list && !read_only) flush();
    if (!FOLDER::close_data_file(file) && !read_only)
      package_failure(kErrorWrite, PACKAGE_STORE::shown(*this), __LINE__);
  }
  PACKAGE_STORE::close(*this);
}

bool PACKAGE::find_file(const char* stored_name, PACKAGE_FILE_RECORD& record) {
  if (!file) {
    package_failure(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (!stored_name) return false;
  return PACKAGE_STORE::lookup(*this, stored_name, record) == PACKAGE_STORE::FOUND;
}

bool PACKAGE::has_file(const char* stored_name) {
  PACKAGE_FILE_RECORD record;
  return find_file(stored_name, record);
}

bool PACKAGE::extract(const FOLDER& target, const char* output_name, const char* stored_name,
                      PACKAGE_PROGRESS progress, intptr_t user, int32_t permissions,
                      const FOLDER_HOLD* held) {
  if (!file) {
    package_failure(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (!output_name || !*output_name) {
    package_failure(kErrorOutput, "", __LINE__);
    return false;
  }
  if (!stays_inside(output_name)) {
    package_failure(kErrorOutput, output_name, __LINE__,
                    "names may not be absolute or contain \"..\"");
    return false;
  }
  const char* wanted = stored_name ? stored_name : output_name;
  PACKAGE_FILE_RECORD record;
  int found = PACKAGE_STORE::lookup(*this, wanted, record);
  if (found == PACKAGE_STORE::BROKEN) return false;
  if (found == PACKAGE_STORE::NOT_FOUND) {
    package_failure(kErrorNotFound, output_name, __LINE__);
    return false;
  }

  // The bytes go to a new name beside the target first.
  FILE_REPLACEMENT output;
  if (!output.begin(target, output_name, permissions < 0 ? FILE_REPLACEMENT::PERMISSIONS_DEFAULT : permissions,
                    held)) {
    package_failure(kErrorOutput, output_name, __LINE__, strerror(output.error));
    return false;
  }
  // Blocks may be small: their bytes are gathered and written in large
  // pieces, a small file in one.
  const size_t capacity = std::min<size_t>(record.size, kOutputBuffer);
  std::unique_ptr<uint8_t[]> gathered(capacity ? new (std::nothrow) uint8_t[capacity] : nullptr);
  if (capacity && !gathered) {
    package_failure(kErrorMemory, nullptr, __LINE__);
    return false;
  }
  size_t filled = 0;
  auto write_gathered = [&] {
    const bool written = filled == 0 || output.write(gathered.get(), filled);
    filled = 0;
    return written;
  };
  bool ok = PACKAGE_STORE::read_blocks(
      *this, record, [&](const uint8_t* bytes, uint32_t count, uint32_t done) {
        if (progress) progress(this, done, record.size, user);
        if (filled + count > capacity && !write_gathered()) return false;
        if (count >= capacity) return output.write(bytes, count);
        memcpy(gathered.get() + filled, bytes, count);
        filled += count;
        return true;
      });
  if (ok) ok = write_gathered();
  if (ok && !output.commit()) {
    bool renaming = output.failed_step == FILE_REPLACEMENT::STEP::RENAME;
    package_failure(renaming ? kErrorOutput : kErrorWrite, output_name, __LINE__,
                    strerror(output.error));
    ok = false;
  } else if (!ok && output.failed_step == FILE_REPLACEMENT::STEP::WRITE) {
    package_failure(kErrorWrite, output_name, __LINE__, strerror(output.error));
  }
  if (!ok) return false;
  report_success();
  return true;
}

bool PACKAGE::add_file(const FOLDER& source_folder, const char* source_name,
                       const char* stored_name, bool replace, PACKAGE_PROGRESS progress,
                       intptr_t user) {
  if (!file) {
    package_failure(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (read_only) {
    package_failure(kErrorWrite, PACKAGE_STORE::shown(*this), __LINE__,
                    "the package was opened read-only");
    return false;
  }
  if (!source_name || !*source_name) {
    package_failure(kErrorSource, "", __LINE__);
    return false;
  }
  const char* stored = stored_name ? stored_name : source_name;
  size_t stored_length = strlen(stored);
  if (stored_length == 0 || stored_length > MAX_NAME_LENGTH) {
    package_failure(kErrorOutput, stored, __LINE__, kNameLengths);
    return false;
  }
  DATA_FILE* source = new (std::nothrow) DATA_FILE(kSourceBuffer);
  if (!source) {
    package_failure(kErrorMemory, nullptr, __LINE__);
    return false;
  }
  if (!source->open(source_folder, source_name, 0, 0, false)) {
    delete source;
    package_failure(kErrorSource, source_name, __LINE__);
    return false;
  }

  PACKAGE_FILE_RECORD record;
  int found = PACKAGE_STORE::lookup(*this, stored, record);
  bool ok = found != PACKAGE_STORE::BROKEN;
  if (ok && found == PACKAGE_STORE::FOUND && !replace) {
    FOLDER::close_data_file(source);
    package_failure(kErrorOutput, stored, __LINE__, "a stored file of that name exists");
    return false;
  }
  if (ok) {
    ok = found == PACKAGE_STORE::FOUND ? PACKAGE_STORE::free_blocks(*this, record)
                                       : PACKAGE_STORE::append_record(*this, stored, record);
  }
  // The size goes in first: a store that breaks off shows as a damaged
  // file (its blocks end early), never as a shorter one.
  const uint32_t total = source->get_size();
  if (ok) {
    record.size = total;
    ok = PACKAGE_STORE::update_record(*this, record);
  }

  uint32_t done = 0;
  if (ok)
    ok = PACKAGE_STORE::write_blocks(
        *this, record, [&](uint8_t* bytes, uint32_t capacity, uint32_t& count, bool& end) {
          int32_t got = source->read(bytes, static_cast<int32_t>(capacity));
          if (got < 0) got = 0;
          if (got == 0 && !source->is_eof()) {
            package_failure(kErrorRead, source_name, __LINE__);
            return false;
          }
          count = static_cast<uint32_t>(got);
          if (count > 0) {
            done += count;
            if (progress) progress(this, done, total, user);
          }
          end = source->is_eof();
          return true;
        });
  FOLDER::close_data_file(source);

  // A source that changed size while it was read is recorded as stored.
  if (ok && done != record.size) {
    record.size = done;
    ok = PACKAGE_STORE::update_record(*this, record);
  }
  if (!file->flush()) {
    if (ok) package_failure(kErrorWrite, PACKAGE_STORE::shown(*this), __LINE__);
    ok = false;
  }
  if (!ok) return false;
  report_success();
  return true;
}

bool PACKAGE::flush() {
  if (!file) {
    package_failure(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  return read_only || PACKAGE_STORE::flush(*this);
}

// ---- copies in $TEMP -------------------------------------------------------

bool PACKAGE::prepare_copy(PACKAGE_COPY& copy, const char* stored_name, uint32_t mode) {
  if (!stored_name || !*stored_name || strlen(stored_name) > MAX_NAME_LENGTH) {
    package_failure(kErrorOutput, stored_name, __LINE__, kNameLengths);
    return false;
  }
  snprintf(copy.stored_name, sizeof copy.stored_name, "%s", stored_name);
  PACKAGE_FILE_RECORD record;
  int found = PACKAGE_STORE::lookup(*this, stored_name, record);
  if (found == PACKAGE_STORE::BROKEN) return false;
  if (found == PACKAGE_STORE::NOT_FOUND && mode == 0) {
    package_failure(kErrorNotFound, stored_name, __LINE__);
    return false;
  }
  if (!copy.temporary_folder.set("$TEMP", true)) {
    package_failure(kErrorOutput, "$TEMP", __LINE__);
    return false;
  }
  // A name nobody else can have made first, even in a shared folder.
  FOLDER& temp = copy.temporary_folder;
  bool made = false;
  for (int attempt = 0; attempt < 64 && !made; attempt++) {
    if (!temp.make_unique_file_name(copy.temporary_name, sizeof copy.temporary_name, ".tmp")) break;
    NEW_FILE result = create_new_file(temp, copy.temporary_name, 0600);
    made = result == NEW_FILE::CREATED;
    if (result == NEW_FILE::FAILED) break;
  }
  if (!made) {
    copy.temporary_name[0] = '\0';
    package_failure(kErrorOutput, stored_name, __LINE__);
    return false;
  }
  if (found == PACKAGE_STORE::FOUND && !extract(temp, copy.temporary_name, stored_name)) {
    remove_file(temp, copy.temporary_name);
    copy.temporary_name[0] = '\0';
    return false;
  }
  return true;
}

bool PACKAGE::store_copy(PACKAGE_COPY& copy, bool written_cleanly) {
  PACKAGE* package = copy.package;
  if (package) package->forget_copy(&copy);
  copy.package = nullptr;
  if (!copy.temporary_name[0]) return true;
  bool stored = false;
  if (copy.read_only) {
    stored = true;
  } else if (!written_cleanly) {
    package_failure(kErrorWrite, copy.temporary_name, __LINE__,
                    "the temporary copy could not be written");
  } else if (!package) {
    package_failure(kErrorClosed, nullptr, __LINE__);
  } else {
    stored = package->add_file(copy.temporary_folder, copy.temporary_name, copy.stored_name, true);
  }
  if (stored) {
    remove_file(copy.temporary_folder, copy.temporary_name);
  } else {
    // The new content is not lost: it stays in $TEMP for the rest of the run.
    std::string text = std::string("The new content of ") + copy.stored_name + " was kept in " +
                       copy.temporary_folder.path + "/" + copy.temporary_name + ".";
    note(text.c_str(), __LINE__);
  }
  copy.temporary_name[0] = '\0';
  return stored;
}

void PACKAGE::forget_copy(PACKAGE_COPY* copy) {
  for (int32_t i = 0; i < open_copies.count; i++) {
    if (open_copies.data[i] == copy) {
      open_copies.remove_swap(i);
      return;
    }
  }
}

template <class COPY, class OPEN, class CLOSE>
COPY* PACKAGE::open_copy(const char* stored_name, uint32_t mode, OPEN open, CLOSE close) {
  if (!file) {
    package_failure(kErrorClosed, nullptr, __LINE__);
    return nullptr;
  }
  if (mode > 2) return nullptr;
  if (mode != 0 && read_only) {
    package_failure(kErrorWrite, PACKAGE_STORE::shown(*this), __LINE__,
                    "the package was opened read-only");
    return nullptr;
  }
  COPY* copy = new (std::nothrow) COPY();
  if (!copy) {
    package_failure(kErrorMemory, nullptr, __LINE__);
    return nullptr;
  }
  if (!prepare_copy(*copy, stored_name, mode)) {
    delete copy;
    return nullptr;
  }
  if (!open(*copy)) {
    package_failure(kErrorOutput, copy->temporary_name, __LINE__);
    remove_file(copy->temporary_folder, copy->temporary_name);
    delete copy;
    return nullptr;
  }
  if (!open_copies.add(static_cast<PACKAGE_COPY*>(copy))) {
    package_failure(kErrorMemory, nullptr, __LINE__);
    close(*copy);
    remove_file(copy->temporary_folder, copy->temporary_name);
    delete copy;
    return nullptr;
  }
  copy->package = this;
  copy->read_only = mode == 0 ? 1 : 0;
  return copy;
}

PACKAGE_DATA_FILE* PACKAGE::open_file(const char* stored_name, uint32_t mode, uint8_t order) {
  return open_copy<PACKAGE_DATA_FILE>(
      stored_name, mode,
      [&](PACKAGE_DATA_FILE& data) {
        return data.open(data.temporary_folder, data.temporary_name, mode, order, false);
      },
      [](PACKAGE_DATA_FILE& data) { data.DATA_FILE::close(); });
}

PACKAGE_TEXT_FILE* PACKAGE::open_text_file(const char* stored_name, uint32_t mode, bool utf16) {
  return open_copy<PACKAGE_TEXT_FILE>(
      stored_name, mode,
      [&](PACKAGE_TEXT_FILE& text) {
        return text.open(text.temporary_folder, text.temporary_name, mode, utf16);
      },
      [](PACKAGE_TEXT_FILE& text) { text.TEXT_FILE::close(); });
}

bool PACKAGE::close_text_file(PACKAGE_TEXT_FILE*& text) {
  if (!text) return true;
  bool ok = text->finish();
  delete text;
  text = nullptr;
  return ok;
}
