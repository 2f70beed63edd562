#include "package.h"

#include "package_data_file.h"
#include "package_text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "debug_stream.h"
#include "errors.h"
#include "file_services.h"

namespace {

constexpr uint16_t kErrorReopen = 4101;
constexpr uint16_t kErrorCreate = 4102;
constexpr uint16_t kErrorRead = 4103;
constexpr uint16_t kErrorWrite = 4104;
constexpr uint16_t kErrorNotPackage = 4105;
constexpr uint16_t kErrorVersion = 4106;
constexpr uint16_t kErrorMemory = 4107;
constexpr uint16_t kErrorMissing = 4108;
constexpr uint16_t kErrorClosed = 4109;
constexpr uint16_t kErrorSource = 4110;
constexpr uint16_t kErrorOutput = 4111;
constexpr uint16_t kErrorNotFound = 4112;

constexpr char kMagic[8] = {'V', 'O', 'R', 'N', 'P', 'K', 'G', '\0'};
constexpr uint16_t kVersion = 1;
constexpr uint32_t kHeaderFieldsAt = 10;
constexpr uint32_t kRecordFields = 16;     // first, last, next, size
constexpr uint32_t kDirectoryFields = 20;  // first, last, three reserved words
constexpr uint32_t kBlockFields = 8;       // next before the data, used behind it
// Positions are u32 and the file carries the order byte in front of them,
// so nothing may end beyond this package position.
constexpr uint64_t kArchiveLimit = 0xFFFFFFFEull;
// Records are small and lie far apart between their blocks: a modest
// buffer keeps record walks cheap, and whole blocks bypass it anyway.
constexpr int32_t kArchiveBuffer = 65536;
// Past this many names the look-up table is dropped and records are walked.
constexpr size_t kIndexLimit = size_t{1} << 20;
constexpr uint8_t kOrderByte = 255;
constexpr const char* kNameLengths = "stored names hold 1 to 2047 bytes";

uint32_t get_u32(const uint8_t* bytes, bool swap) {
  if (swap)
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
  return (uint32_t{bytes[3]} << 24) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[1]} << 8) |
         bytes[0];
}

void put_u32(uint8_t* bytes, uint32_t value, bool swap) {
  for (int i = 0; i < 4; i++) {
    uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    bytes[swap ? 3 - i : i] = byte;
  }
}

// Sets the last error and, when the platform stream has output, also
// writes the text there with the reason behind it.
void report(uint16_t code, const char* argument, int line, const char* detail = nullptr) {
  set_last_error(code, argument ? argument : "");
  DEBUG_STREAM& stream = platform_debug_stream();
  if (!stream.has_output()) return;
  const char* text = get_error_text(code, argument);
  if (!detail) {
    stream.write("code/package", line, text, true);
    return;
  }
  char message[1600];
  snprintf(message, sizeof message, "%s (%s)", text, detail);
  stream.write("code/package", line, message, true);
}

void note(const char* text, int line) {
  DEBUG_STREAM& stream = platform_debug_stream();
  if (stream.has_output()) stream.write("code/package", line, text, true);
}

bool write_all(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    ssize_t put = ::write(fd, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<size_t>(put);
  }
  return true;
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

// Makes a new empty file that no one else holds: name_for gives candidate
// names (relative to folder), O_EXCL makes sure the one taken is new.
template <typename NAMER>
int create_exclusive(const FOLDER& folder, char* name, size_t name_size, mode_t mode,
                     NAMER name_for) {
  for (int attempt = 0; attempt < 64; attempt++) {
    if (!name_for(name, name_size)) return -1;
    char path[FOLDER_PATH_SIZE];
    if (!join_path(path, sizeof path, folder.path, name)) return -1;
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool remove_path(const FOLDER& folder, const char* name) {
  char path[FOLDER_PATH_SIZE];
  return join_path(path, sizeof path, folder.path, name) && unlink(path) == 0;
}

// A hidden name beside the extracted file (prefix: its sub-folder part).
// The seed differs between processes; O_EXCL settles any clash.
bool extraction_name(const char* prefix, char* out, size_t out_size) {
  static uint32_t seed = 0;
  static uint32_t counter = 0;
  if (!seed)
    seed =
        (static_cast<uint32_t>(getpid()) * 2654435761u ^ static_cast<uint32_t>(time(nullptr))) | 1;
  int n = snprintf(out, out_size, "%s.vorn-pkg-%08X", prefix, seed ^ (++counter * 40503u));
  return n > 0 && static_cast<size_t>(n) < out_size;
}

}  // namespace

struct PACKAGE_INDEX {
  struct PLACE {
    uint32_t position;
    PACKAGE_FILE_RECORD* entry;  // kept list only
  };
  std::unordered_map<std::string, PLACE> names;
};

// Reading and writing the stored form. Every position that comes from the
// file is checked before it is used, every write is checked, and a walk
// along a chain is bounded by what the file can hold.
struct PACKAGE_IO {
  enum : int { FOUND = 1, NOT_FOUND = 0, BROKEN = -1 };

  static const char* shown(PACKAGE& p) { return p.name.get_text() ? p.name.get_text() : ""; }
  static uint32_t size(PACKAGE& p) { return p.file->get_size(); }
  static bool swapped(PACKAGE& p) { return p.file->swap != 0; }

  static bool broken(PACKAGE& p, int line, const char* detail) {
    report(kErrorRead, shown(p), line, detail);
    return false;
  }
  static bool write_failed(PACKAGE& p, int line, const char* detail = nullptr) {
    report(kErrorWrite, shown(p), line, detail);
    return false;
  }

  // DATA_FILE::seek takes a signed offset; positions in the upper half are
  // reached from the end, which is never more than 2 GiB away from them.
  static bool seek_to(PACKAGE& p, uint32_t position) {
    if (position <= 0x7FFFFFFFu) return p.file->seek(static_cast<int32_t>(position), false);
    int64_t from_end = static_cast<int64_t>(position) - size(p);
    if (from_end < INT32_MIN || from_end > INT32_MAX) return false;
    return p.file->seek(static_cast<int32_t>(from_end), true);
  }

  static bool read_at(PACKAGE& p, uint32_t position, void* bytes, uint32_t count) {
    return seek_to(p, position) &&
           p.file->read(bytes, static_cast<int32_t>(count)) == static_cast<int32_t>(count);
  }

  static bool read_u32_at(PACKAGE& p, uint32_t position, uint32_t& value) {
    uint8_t bytes[4];
    if (!read_at(p, position, bytes, 4)) return false;
    value = get_u32(bytes, swapped(p));
    return true;
  }

  static bool write_at(PACKAGE& p, uint32_t position, const void* bytes, uint32_t count) {
    if (p.read_only || static_cast<uint64_t>(position) + count > kArchiveLimit ||
        position < kHeaderFieldsAt)
      return false;
    return seek_to(p, position) &&
           p.file->write(bytes, static_cast<int32_t>(count)) == static_cast<int32_t>(count);
  }

  static bool write_u32_at(PACKAGE& p, uint32_t position, uint32_t value) {
    uint8_t bytes[4];
    put_u32(bytes, value, swapped(p));
    // Links and fields are only ever written behind the header.
    return position >= PACKAGE::HEADER_SIZE && write_at(p, position, bytes, 4);
  }

  static bool block_fits(PACKAGE& p, uint32_t position) {
    return position >= PACKAGE::HEADER_SIZE &&
           static_cast<uint64_t>(position) + p.header.block_size + kBlockFields <= size(p);
  }
  static bool record_fits(PACKAGE& p, uint32_t position, uint32_t fields) {
    return position >= PACKAGE::HEADER_SIZE &&
           static_cast<uint64_t>(position) + 4 + fields <= size(p);
  }
  // Both 0, or both inside the file.
  static bool block_pair_fits(PACKAGE& p, uint32_t first, uint32_t last) {
    if (first == 0 || last == 0) return first == last;
    return block_fits(p, first) && block_fits(p, last);
  }

  // Position where n more bytes can be appended, or false (4104) when the
  // archive would outgrow its 32-bit positions.
  static bool reserve_end(PACKAGE& p, uint64_t count, uint32_t& position) {
    position = size(p);
    if (position + count > kArchiveLimit)
      return write_failed(p, __LINE__, "the archive would grow past 4 GiB");
    return true;
  }

  // ---- header and directory ------------------------------------------

  static bool write_header(PACKAGE& p) {
    uint8_t bytes[16];
    put_u32(bytes, p.header.block_size, swapped(p));
    put_u32(bytes + 4, p.header.directory, swapped(p));
    put_u32(bytes + 8, p.header.first_free, swapped(p));
    put_u32(bytes + 12, p.header.last_free, swapped(p));
    if (!write_at(p, p.header.position, bytes, sizeof bytes)) return write_failed(p, __LINE__);
    return true;
  }

  static bool write_directory_fields(PACKAGE& p) {
    uint8_t bytes[kDirectoryFields] = {};
    put_u32(bytes, p.directory.first_file, swapped(p));
    put_u32(bytes + 4, p.directory.last_file, swapped(p));
    uint32_t at = p.directory.position + 4 + p.directory.name_length;
    if (p.directory.position < PACKAGE::HEADER_SIZE || !write_at(p, at, bytes, sizeof bytes))
      return write_failed(p, __LINE__);
    return true;
  }

  static bool read_header(PACKAGE& p) {
    uint8_t magic[8];
    if (!read_at(p, 0, magic, sizeof magic)) return broken(p, __LINE__, "no header");
    if (memcmp(magic, kMagic, 7) != 0) {
      report(kErrorNotPackage, shown(p), __LINE__);
      return false;
    }
    uint16_t version = 0;
    if (!p.file->read_u16(version)) return broken(p, __LINE__, "no version");
    if (version > kVersion) {
      report(kErrorVersion, shown(p), __LINE__);
      return false;
    }
    uint8_t fields[16];
    if (!read_at(p, kHeaderFieldsAt, fields, sizeof fields))
      return broken(p, __LINE__, "header cut short");
    p.header.position = kHeaderFieldsAt;
    p.header.block_size = get_u32(fields, swapped(p));
    p.header.directory = get_u32(fields + 4, swapped(p));
    p.header.first_free = get_u32(fields + 8, swapped(p));
    p.header.last_free = get_u32(fields + 12, swapped(p));
    if (p.header.block_size == 0 || p.header.block_size > PACKAGE::MAX_BLOCK_SIZE) {
      report(kErrorNotPackage, shown(p), __LINE__, "block size 0 or above 50 MiB");
      return false;
    }
    if (!block_pair_fits(p, p.header.first_free, p.header.last_free))
      return broken(p, __LINE__, "free list outside the archive");
    return read_directory(p);
  }

  // What read_named_record says when a record lies outside the file, names
  // more bytes than the file holds, or ends early.
  struct NAMED_RECORD_ERRORS {
    const char* outside;
    const char* too_long;
    const char* cut_short;
  };

  // Reads a record made of a u32 name length, the name and field_count
  // bytes of fields at position, checking every size against the archive.
  static bool read_named_record(PACKAGE& p, uint32_t position,
                                char (&text)[PACKAGE::MAX_NAME_LENGTH + 1], uint8_t* fields,
                                uint32_t field_count, uint32_t& length,
                                const NAMED_RECORD_ERRORS& errors) {
    if (!record_fits(p, position, field_count) || !read_u32_at(p, position, length))
      return broken(p, __LINE__, errors.outside);
    if (length > PACKAGE::MAX_NAME_LENGTH ||
        static_cast<uint64_t>(position) + 4 + length + field_count > size(p))
      return broken(p, __LINE__, errors.too_long);
    if (p.file->read(text, static_cast<int32_t>(length)) != static_cast<int32_t>(length) ||
        p.file->read(fields, static_cast<int32_t>(field_count)) != static_cast<int32_t>(field_count))
      return broken(p, __LINE__, errors.cut_short);
    text[length] = '\0';
    return true;
  }

  static bool read_directory(PACKAGE& p) {
    uint32_t at = p.header.directory;
    uint32_t length = 0;
    char text[PACKAGE::MAX_NAME_LENGTH + 1];
    uint8_t fields[kDirectoryFields];
    static constexpr NAMED_RECORD_ERRORS kErrors = {"directory outside the archive",
                                                     "directory name longer than the archive allows",
                                                     "directory cut short"};
    if (!read_named_record(p, at, text, fields, kDirectoryFields, length, kErrors)) return false;
    p.directory.position = at;
    p.directory.name_length = length;
    if (!p.directory.name.set(text)) {
      report(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    p.directory.first_file = get_u32(fields, swapped(p));
    p.directory.last_file = get_u32(fields + 4, swapped(p));
    for (int i = 0; i < 3; i++) p.directory.reserved[i] = get_u32(fields + 8 + 4 * i, swapped(p));
    uint32_t first = p.directory.first_file, last = p.directory.last_file;
    if ((first == 0) != (last == 0) || (first != 0 && (!record_fits(p, first, kRecordFields) ||
                                                       !record_fits(p, last, kRecordFields))))
      return broken(p, __LINE__, "file records outside the archive");
    return true;
  }

  // ---- opening and creating ------------------------------------------

  static bool open_archive(PACKAGE& p, uint32_t mode) {
    DATA_FILE* data = new (std::nothrow) DATA_FILE(kArchiveBuffer);
    if (!data) {
      report(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    if (!data->open(p.folder, shown(p), mode, kOrderByte, false)) {
      delete data;
      return false;
    }
    p.file = data;
    return true;
  }

  static void close_archive(PACKAGE& p) {
    if (p.file) FOLDER::close_data_file(p.file);
  }

  static bool create(PACKAGE& p, int32_t block_size) {
    if (!open_archive(p, 1)) {
      report(kErrorCreate, shown(p), __LINE__);
      return false;
    }
    uint32_t data_size =
        block_size < 1 ? PACKAGE::DEFAULT_BLOCK_SIZE : static_cast<uint32_t>(block_size);
    if (data_size > PACKAGE::MAX_BLOCK_SIZE) data_size = PACKAGE::MAX_BLOCK_SIZE;
    if (p.file->write(kMagic, sizeof kMagic) != static_cast<int32_t>(sizeof kMagic) ||
        !p.file->write_u16(kVersion))
      return write_failed(p, __LINE__);
    p.header = PACKAGE_HEADER();
    p.header.position = p.file->tell();
    p.header.block_size = data_size;
    if (!write_header(p)) return false;
    p.header.directory = p.file->tell();
    if (!write_header(p)) return false;

    static const char kRoot[] = "root";
    p.directory.position = p.header.directory;
    p.directory.name_length = sizeof kRoot - 1;
    p.directory.first_file = p.directory.last_file = 0;
    if (!p.directory.name.set(kRoot)) {
      report(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    uint8_t record[4 + sizeof kRoot - 1 + kDirectoryFields] = {};
    put_u32(record, p.directory.name_length, swapped(p));
    memcpy(record + 4, kRoot, p.directory.name_length);
    if (!write_at(p, p.directory.position, record, sizeof record)) return write_failed(p, __LINE__);
    bool closed = FOLDER::close_data_file(p.file);
    if (!closed) return write_failed(p, __LINE__);
    if (!open_archive(p, 2)) {
      report(kErrorReopen, shown(p), __LINE__);
      return false;
    }
    return read_header(p);
  }

  static bool open(PACKAGE& p, bool create_missing, int32_t block_size) {
    if (open_archive(p, 0)) {
      // The header is checked before the file is opened for writing, so
      // that a file that is no package is never touched.
      if (!read_header(p)) return false;
      if (!p.read_only) {
        close_archive(p);
        if (!open_archive(p, 2)) {
          report(kErrorReopen, shown(p), __LINE__);
          return false;
        }
        if (!read_header(p)) return false;
      }
    } else {
      char path[FOLDER_PATH_SIZE];
      struct stat st;
      if (!join_path(path, sizeof path, p.folder.path, shown(p)) || stat(path, &st) == 0 ||
          errno != ENOENT) {
        // There but unreadable: never replaced by an empty archive.
        return broken(p, __LINE__, "the file cannot be opened");
      }
      if (!create_missing) {
        report(kErrorMissing, shown(p), __LINE__);
        return false;
      }
      p.read_only = 0;
      if (!create(p, block_size)) {
        // Nothing was there before: leave nothing half-made behind.
        close_archive(p);
        remove_path(p.folder, shown(p));
        return false;
      }
    }
    return !p.keep_list || load_entries(p);
  }

  // ---- file records ---------------------------------------------------

  // Reads the record at position; name receives the exact stored bytes.
  static bool read_record(PACKAGE& p, uint32_t position, PACKAGE_FILE_RECORD& record,
                          std::string* name = nullptr) {
    uint32_t length = 0;
    char text[PACKAGE::MAX_NAME_LENGTH + 1];
    uint8_t fields[kRecordFields];
    static constexpr NAMED_RECORD_ERRORS kErrors = {"file record outside the archive",
                                                     "file name longer than the archive allows",
                                                     "file record cut short"};
    if (!read_named_record(p, position, text, fields, kRecordFields, length, kErrors)) return false;
    record.position = position;
    record.name_length = length;
    record.first_block = get_u32(fields, swapped(p));
    record.last_block = get_u32(fields + 4, swapped(p));
    record.next_file = get_u32(fields + 8, swapped(p));
    record.size = get_u32(fields + 12, swapped(p));
    record.next_entry = nullptr;
    record.kept = nullptr;
    record.dirty = 0;
    // Block positions are checked where they are used, so that one damaged
    // file does not hide the others.
    // Records are appended in the order they are chained, so a chain that
    // does not move forward is broken (and could not end).
    if (record.next_file != 0 && record.next_file <= position)
      return broken(p, __LINE__, "file record chain runs backwards");
    if (!record.name.set(text)) {
      report(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    if (name) name->assign(text, length);
    return true;
  }

  static bool write_record_fields(PACKAGE& p, const PACKAGE_FILE_RECORD& record) {
    uint8_t fields[kRecordFields];
    put_u32(fields, record.first_block, swapped(p));
    put_u32(fields + 4, record.last_block, swapped(p));
    put_u32(fields + 8, record.next_file, swapped(p));
    put_u32(fields + 12, record.size, swapped(p));
    if (record.position < PACKAGE::HEADER_SIZE ||
        !write_at(p, record.position + 4 + record.name_length, fields, sizeof fields))
      return write_failed(p, __LINE__);
    return true;
  }

  // Kept entry: changed in memory; otherwise written through.
  static bool update_record(PACKAGE& p, PACKAGE_FILE_RECORD& record) {
    if (!record.kept) return write_record_fields(p, record);
    PACKAGE_FILE_RECORD& entry = *record.kept;
    entry.first_block = record.first_block;
    entry.last_block = record.last_block;
    entry.size = record.size;  // the link to the next entry is the list's own
    entry.dirty = 1;
    return true;
  }

  // Calls visit for each record from the directory's first; stops when it
  // answers true. The chain moves strictly forward, so it ends by itself.
  // A walk to the end notes the chain's last record.
  template <typename VISIT>
  static int walk(PACKAGE& p, VISIT visit) {
    uint32_t at = p.directory.first_file;
    uint32_t previous = 0;
    PACKAGE_FILE_RECORD record;
    std::string name;
    while (at != 0) {
      if (!read_record(p, at, record, &name)) return BROKEN;
      if (visit(record, name)) return FOUND;
      previous = at;
      at = record.next_file;
    }
    p.tail_record = previous;
    return NOT_FOUND;
  }

  static bool index_name(PACKAGE& p, const std::string& name, uint32_t position,
                         PACKAGE_FILE_RECORD* entry) {
    if (!p.index) return true;
    if (p.index->names.size() >= kIndexLimit) {
      delete p.index;
      p.index = nullptr;
      p.index_disabled = 1;
      return true;
    }
    try {
      p.index->names.emplace(name,
                             PACKAGE_INDEX::PLACE{position, entry});  // the first keeps its place
    } catch (const std::bad_alloc&) {
      delete p.index;
      p.index = nullptr;
      p.index_disabled = 1;
    }
    return true;
  }

  static bool build_index(PACKAGE& p) {
    p.index = new (std::nothrow) PACKAGE_INDEX;
    if (!p.index) {
      p.index_disabled = 1;
      return true;
    }
    int result = walk(p, [&p](PACKAGE_FILE_RECORD& record, const std::string& name) {
      index_name(p, name, record.position, nullptr);
      return false;
    });
    if (result == BROKEN) {
      delete p.index;
      p.index = nullptr;
      return false;
    }
    return true;
  }

  static bool load_entries(PACKAGE& p) {
    p.index = new (std::nothrow) PACKAGE_INDEX;
    if (!p.index) p.index_disabled = 1;
    bool out_of_memory = false;
    int result =
        walk(p, [&p, &out_of_memory](PACKAGE_FILE_RECORD& record, const std::string& name) {
          PACKAGE_FILE_RECORD* entry = new (std::nothrow) PACKAGE_FILE_RECORD(record);
          if (!entry || !p.entries.add(entry)) {
            delete entry;
            out_of_memory = true;
            return true;
          }
          if (p.list_tail)
            p.list_tail->next_entry = entry;
          else
            p.list_head = entry;
          p.list_tail = entry;
          index_name(p, name, record.position, entry);
          return false;
        });
    if (out_of_memory) {
      report(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    return result != BROKEN;
  }

  // FOUND with the record, NOT_FOUND, or BROKEN with the error reported.
  static int lookup(PACKAGE& p, const char* wanted, PACKAGE_FILE_RECORD& record) {
    std::string key(wanted);
    if (p.keep_list) {
      PACKAGE_FILE_RECORD* entry = nullptr;
      if (p.index) {
        auto place = p.index->names.find(key);
        if (place != p.index->names.end()) entry = place->second.entry;
      } else {
        for (PACKAGE_FILE_RECORD* e = p.list_head; e && !entry; e = e->next_entry)
          if (e->name_length == key.size() && e->name.get_text() && key == e->name.get_text())
            entry = e;
      }
      if (!entry) return NOT_FOUND;
      record = *entry;
      record.next_entry = nullptr;
      record.kept = entry;
      return FOUND;
    }
    if (!p.index && !p.index_disabled && !build_index(p)) return BROKEN;
    if (p.index) {
      auto place = p.index->names.find(key);
      if (place == p.index->names.end()) return NOT_FOUND;
      return read_record(p, place->second.position, record) ? FOUND : BROKEN;
    }
    return walk(p, [&](PACKAGE_FILE_RECORD& found, const std::string& name) {
      if (name != key) return false;
      record = found;
      return true;
    });
  }

  static bool append_record(PACKAGE& p, const char* stored, PACKAGE_FILE_RECORD& record) {
    uint32_t length = static_cast<uint32_t>(strlen(stored));
    uint32_t at = 0;
    if (!reserve_end(p, 4ull + length + kRecordFields, at)) return false;
    uint8_t bytes[4 + PACKAGE::MAX_NAME_LENGTH + kRecordFields] = {};
    put_u32(bytes, length, swapped(p));
    memcpy(bytes + 4, stored, length);
    // On the disk before anything points at it.
    if (!write_at(p, at, bytes, 4 + length + kRecordFields) || !p.file->flush())
      return write_failed(p, __LINE__);

    record = PACKAGE_FILE_RECORD();
    record.position = at;
    record.name_length = length;
    if (!record.name.set(stored)) {
      report(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    PACKAGE_FILE_RECORD* entry = nullptr;
    if (p.keep_list) {
      entry = new (std::nothrow) PACKAGE_FILE_RECORD(record);
      if (!entry || !p.entries.add(entry)) {
        delete entry;
        report(kErrorMemory, nullptr, __LINE__);
        return false;
      }
      if (p.list_tail) {
        p.list_tail->next_file = at;
        p.list_tail->next_entry = entry;
        p.list_tail->dirty = 1;
      } else {
        p.list_head = entry;
      }
      p.list_tail = entry;
      record.kept = entry;
    } else if (p.tail_record != 0) {
      // Link the chain's last record to the new one.
      uint32_t last = p.tail_record;
      uint32_t last_length = 0;
      if (!record_fits(p, last, kRecordFields) || !read_u32_at(p, last, last_length) ||
          last_length > PACKAGE::MAX_NAME_LENGTH ||
          static_cast<uint64_t>(last) + 4 + last_length + kRecordFields > size(p))
        return broken(p, __LINE__, "last file record outside the archive");
      if (!write_u32_at(p, last + 4 + last_length + 8, at)) return write_failed(p, __LINE__);
    }
    p.tail_record = at;
    p.directory.last_file = at;
    if (p.directory.first_file == 0) p.directory.first_file = at;
    if (!p.keep_list && !write_directory_fields(p)) return false;
    index_name(p, std::string(stored, length), at, entry);
    return true;
  }

  // ---- blocks ---------------------------------------------------------

  // Chooses where the next block goes: the first free block, else a new
  // one at the end (which the caller writes at once). Without the kept list
  // the header is rewritten before the block is used, so that a block is
  // never both free and in use on the disk.
  static bool choose_block(PACKAGE& p, uint32_t& at) {
    if (p.header.first_free == 0)
      return reserve_end(p, uint64_t{p.header.block_size} + kBlockFields, at);
    at = p.header.first_free;
    uint32_t next = 0;
    if (!block_fits(p, at) || !read_u32_at(p, at, next))
      return broken(p, __LINE__, "free block outside the archive");
    if (at == p.header.last_free || next == 0) {
      p.header.first_free = p.header.last_free = 0;
    } else {
      if (!block_fits(p, next)) return broken(p, __LINE__, "free list leaves the archive");
      p.header.first_free = next;
    }
    return p.keep_list || write_header(p);
  }

  // Makes a written block the file's last one and updates the record. The
  // link goes on the disk only after the block itself, and the record
  // after the link, so that the record never names a block that is not
  // there.
  static bool link_block(PACKAGE& p, PACKAGE_FILE_RECORD& record, uint32_t at) {
    if (record.last_block != 0 && !write_u32_at(p, record.last_block, at))
      return write_failed(p, __LINE__);
    if (record.first_block == 0) record.first_block = at;
    record.last_block = at;
    return update_record(p, record);
  }

  // Puts the file's chain at the end of the free list and empties the
  // record.
  static bool free_blocks(PACKAGE& p, PACKAGE_FILE_RECORD& record) {
    if (!block_pair_fits(p, record.first_block, record.last_block))
      return broken(p, __LINE__, "data blocks outside the archive");
    if (record.first_block == 0) return true;  // an empty file has no chain to give
    if (p.header.first_free == 0) {
      p.header.first_free = record.first_block;
    } else if (!write_u32_at(p, p.header.last_free, record.first_block)) {
      return write_failed(p, __LINE__);
    }
    p.header.last_free = record.last_block;
    record.first_block = record.last_block = 0;
    if (!p.keep_list && !write_header(p)) return false;
    return update_record(p, record);
  }

  static bool ensure_block_buffer(PACKAGE& p) {
    if (p.block_buffer) return true;
    p.block_buffer = static_cast<uint8_t*>(malloc(size_t{p.header.block_size} + kBlockFields));
    if (p.block_buffer) return true;
    report(kErrorMemory, nullptr, __LINE__);
    return false;
  }
};

// ---- PACKAGE ---------------------------------------------------------------

namespace {
void delete_entry(void* entry, intptr_t) {
  delete static_cast<PACKAGE_FILE_RECORD*>(entry);
}
}  // namespace

PACKAGE::PACKAGE(const FOLDER& where, const char* file_name, bool create, int32_t block_size,
                 bool keep, bool read_only_flag)
    : entries(1024, 0), open_copies(10, 0) {
  entries.delete_callback = delete_entry;
  folder = where;
  name.set(file_name ? file_name : "");
  keep_list = keep ? 1 : 0;
  read_only = read_only_flag ? 1 : 0;
  if (!file_name || !*file_name) {
    report(kErrorMissing, "", __LINE__);
    return;
  }
  if (!PACKAGE_IO::open(*this, create, block_size)) {
    // Closed for good: every later operation reports 4109.
    PACKAGE_IO::close_archive(*this);
    entries.remove_all();
    list_head = list_tail = nullptr;
    delete index;
    index = nullptr;
    return;
  }
  set_last_error(0, "");
}

PACKAGE::~PACKAGE() {
  for (int32_t i = 0; i < open_copies.count; i++)
    static_cast<PACKAGE_COPY*>(open_copies.data[i])->package = nullptr;
  if (file) {
    if (keep_list && !read_only) flush();
    if (!FOLDER::close_data_file(file) && !read_only)
      report(kErrorWrite, PACKAGE_IO::shown(*this), __LINE__);
  }
  entries.remove_all();
  delete index;
  free(block_buffer);
}

bool PACKAGE::find_file(const char* stored_name, PACKAGE_FILE_RECORD& record) {
  if (!file) {
    report(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (!stored_name) return false;
  return PACKAGE_IO::lookup(*this, stored_name, record) == PACKAGE_IO::FOUND;
}

bool PACKAGE::has_file(const char* stored_name) {
  PACKAGE_FILE_RECORD record;
  return find_file(stored_name, record);
}

bool PACKAGE::extract(const FOLDER& target, const char* output_name, const char* stored_name,
                      PACKAGE_PROGRESS progress, intptr_t user) {
  if (!file) {
    report(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (!output_name || !*output_name) {
    report(kErrorOutput, "", __LINE__);
    return false;
  }
  if (!stays_inside(output_name)) {
    report(kErrorOutput, output_name, __LINE__, "names may not be absolute or contain \"..\"");
    return false;
  }
  const char* wanted = stored_name ? stored_name : output_name;
  PACKAGE_FILE_RECORD record;
  int found = PACKAGE_IO::lookup(*this, wanted, record);
  if (found == PACKAGE_IO::BROKEN) return false;
  if (found == PACKAGE_IO::NOT_FOUND) {
    report(kErrorNotFound, output_name, __LINE__);
    return false;
  }

  // The bytes go to a new name beside the target first.
  const char* slash = strrchr(output_name, '/');
  std::string prefix(output_name, slash ? static_cast<size_t>(slash - output_name + 1) : 0);
  char temporary[FOLDER_PATH_SIZE];
  int fd = create_exclusive(target, temporary, sizeof temporary, 0666,
                            [&prefix](char* out, size_t out_size) {
                              return extraction_name(prefix.c_str(), out, out_size);
                            });
  if (fd < 0) {
    report(kErrorOutput, output_name, __LINE__);
    return false;
  }

  const uint32_t block_size = header.block_size;
  const bool swap = file->swap != 0;
  // A chain holds at most the blocks the file has room for, and at most
  // one more than its size needs (a trailing block may be empty).
  uint64_t cap = PACKAGE_IO::size(*this) / (uint64_t{block_size} + kBlockFields) + 1;
  uint64_t needed = uint64_t{record.size} / block_size + 2;
  if (needed < cap) cap = needed;

  bool ok = true;
  uint32_t done = 0;
  uint32_t at = record.first_block;
  for (uint64_t steps = 0; ok && at != 0; steps++) {
    if (steps >= cap) {
      ok = PACKAGE_IO::broken(*this, __LINE__, "block chain longer than the stored file");
      break;
    }
    if (!PACKAGE_IO::block_fits(*this, at)) {
      ok = PACKAGE_IO::broken(*this, __LINE__, "data block outside the archive");
      break;
    }
    // Made only once a whole block is known to be there, so that a lying
    // header cannot ask for a large buffer.
    if (!PACKAGE_IO::ensure_block_buffer(*this)) {
      ok = false;
      break;
    }
    if (!PACKAGE_IO::read_at(*this, at, block_buffer, block_size + kBlockFields)) {
      ok = PACKAGE_IO::broken(*this, __LINE__, "data block cut short");
      break;
    }
    uint32_t next = get_u32(block_buffer, swap);
    uint32_t used = get_u32(block_buffer + 4 + block_size, swap);
    if (used > block_size) {
      ok = PACKAGE_IO::broken(*this, __LINE__, "block holds more than the block size");
      break;
    }
    if (used > record.size - done) {
      ok = PACKAGE_IO::broken(*this, __LINE__, "blocks hold more than the stored file's size");
      break;
    }
    if (used > 0) {
      done += used;
      if (progress) progress(this, done, record.size, user);
      if (!write_all(fd, block_buffer + 4, used)) {
        report(kErrorWrite, output_name, __LINE__, strerror(errno));
        ok = false;
        break;
      }
    }
    // The record's last block ends the chain, whatever follows it.
    if (at == record.last_block) break;
    at = next;
  }
  if (ok && done != record.size)
    ok = PACKAGE_IO::broken(*this, __LINE__, "blocks end before the stored file's size");
  if (close(fd) != 0 && ok) {
    report(kErrorWrite, output_name, __LINE__, strerror(errno));
    ok = false;
  }
  if (ok) {
    char from[FOLDER_PATH_SIZE], to[FOLDER_PATH_SIZE];
    if (!join_path(from, sizeof from, target.path, temporary) ||
        !join_path(to, sizeof to, target.path, output_name) || rename(from, to) != 0) {
      report(kErrorOutput, output_name, __LINE__);
      ok = false;
    }
  }
  if (!ok) {
    remove_path(target, temporary);
    return false;
  }
  set_last_error(0, "");
  return true;
}

bool PACKAGE::add_file(const FOLDER& source_folder, const char* source_name,
                       const char* stored_name, bool replace, PACKAGE_PROGRESS progress,
                       intptr_t user) {
  if (!file) {
    report(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (read_only) {
    report(kErrorWrite, PACKAGE_IO::shown(*this), __LINE__, "the package was opened read-only");
    return false;
  }
  if (!source_name || !*source_name) {
    report(kErrorSource, "", __LINE__);
    return false;
  }
  const char* stored = stored_name ? stored_name : source_name;
  size_t stored_length = strlen(stored);
  if (stored_length == 0 || stored_length > MAX_NAME_LENGTH) {
    report(kErrorOutput, stored, __LINE__, kNameLengths);
    return false;
  }
  DATA_FILE* source = new (std::nothrow) DATA_FILE(kArchiveBuffer);
  if (!source) {
    report(kErrorMemory, nullptr, __LINE__);
    return false;
  }
  if (!source->open(source_folder, source_name, 0, 0, false)) {
    delete source;
    report(kErrorSource, source_name, __LINE__);
    return false;
  }

  PACKAGE_FILE_RECORD record;
  int found = PACKAGE_IO::lookup(*this, stored, record);
  bool ok = found != PACKAGE_IO::BROKEN;
  if (ok && found == PACKAGE_IO::FOUND && !replace) {
    FOLDER::close_data_file(source);
    report(kErrorOutput, stored, __LINE__, "a stored file of that name exists");
    return false;
  }
  if (ok) {
    ok = found == PACKAGE_IO::FOUND ? PACKAGE_IO::free_blocks(*this, record)
                                    : PACKAGE_IO::append_record(*this, stored, record);
  }
  // The size goes in first: a store that breaks off shows as a damaged
  // file (its blocks end early), never as a shorter one.
  const uint32_t total = source->get_size();
  if (ok) {
    record.size = total;
    ok = PACKAGE_IO::update_record(*this, record) && PACKAGE_IO::ensure_block_buffer(*this);
  }

  const uint32_t block_size = header.block_size;
  const bool swap = file->swap != 0;
  uint32_t done = 0;
  // Blocks handed out by the free list. A damaged list that comes back on
  // itself would hand one out twice, and the file would lose its data
  // while the store reported success.
  std::unordered_set<uint32_t> reused;
  while (ok) {
    int32_t got = source->read(block_buffer + 4, static_cast<int32_t>(block_size));
    if (got < 0) got = 0;
    if (got == 0 && !source->is_eof()) {
      report(kErrorRead, source_name, __LINE__);
      ok = false;
      break;
    }
    uint32_t count = static_cast<uint32_t>(got);
    if (count > 0) {
      done += count;
      if (progress) progress(this, done, total, user);
    }
    memset(block_buffer + 4 + count, 0, block_size - count);
    put_u32(block_buffer, 0, swap);
    put_u32(block_buffer + 4 + block_size, count, swap);
    uint32_t at = 0;
    const bool from_free_list = header.first_free != 0;
    if (!PACKAGE_IO::choose_block(*this, at)) {
      ok = false;
      break;
    }
    if (from_free_list) {
      bool fresh = false;
      try {
        fresh = reused.insert(at).second;
      } catch (const std::bad_alloc&) {
        report(kErrorMemory, nullptr, __LINE__);
        ok = false;
        break;
      }
      if (!fresh) {
        ok = PACKAGE_IO::broken(*this, __LINE__, "the free list runs in a circle");
        break;
      }
    }
    // The block is on the disk before the chain and the record name it.
    if (!PACKAGE_IO::write_at(*this, at, block_buffer, block_size + kBlockFields) ||
        !file->flush()) {
      ok = PACKAGE_IO::write_failed(*this, __LINE__);
      break;
    }
    if (!PACKAGE_IO::link_block(*this, record, at)) {
      ok = false;
      break;
    }
    // An empty source still gets its one block: the end shows only after
    // the first read.
    if (source->is_eof()) break;
  }
  FOLDER::close_data_file(source);

  // A source that changed size while it was read is recorded as stored.
  if (ok && done != record.size) {
    record.size = done;
    ok = PACKAGE_IO::update_record(*this, record);
  }
  if (!file->flush()) {
    if (ok) PACKAGE_IO::write_failed(*this, __LINE__);
    ok = false;
  }
  if (!ok) return false;
  set_last_error(0, "");
  return true;
}

bool PACKAGE::flush() {
  if (!file) {
    report(kErrorClosed, nullptr, __LINE__);
    return false;
  }
  if (read_only) return true;
  bool ok = PACKAGE_IO::write_header(*this) && PACKAGE_IO::write_directory_fields(*this);
  if (keep_list) {
    for (PACKAGE_FILE_RECORD* entry = list_head; entry && ok; entry = entry->next_entry) {
      if (!entry->dirty) continue;
      ok = PACKAGE_IO::write_record_fields(*this, *entry);
      if (ok) entry->dirty = 0;
    }
  }
  if (!file->flush()) {
    if (ok) PACKAGE_IO::write_failed(*this, __LINE__);
    ok = false;
  }
  return ok;
}

// ---- copies in $TEMP -------------------------------------------------------

bool PACKAGE::prepare_copy(PACKAGE_COPY& copy, const char* stored_name, uint32_t mode) {
  if (!stored_name || !*stored_name || strlen(stored_name) > MAX_NAME_LENGTH) {
    report(kErrorOutput, stored_name, __LINE__, kNameLengths);
    return false;
  }
  snprintf(copy.stored_name, sizeof copy.stored_name, "%s", stored_name);
  PACKAGE_FILE_RECORD record;
  int found = PACKAGE_IO::lookup(*this, stored_name, record);
  if (found == PACKAGE_IO::BROKEN) return false;
  if (found == PACKAGE_IO::NOT_FOUND && mode == 0) {
    report(kErrorNotFound, stored_name, __LINE__);
    return false;
  }
  if (!copy.temporary_folder.set("$TEMP", true)) {
    report(kErrorOutput, "$TEMP", __LINE__);
    return false;
  }
  // A name nobody else can have made first, even in a shared folder.
  FOLDER& temp = copy.temporary_folder;
  int fd = create_exclusive(temp, copy.temporary_name, sizeof copy.temporary_name, 0600,
                            [&temp](char* out, size_t out_size) {
                              return temp.make_unique_file_name(out, out_size, ".tmp");
                            });
  if (fd < 0) {
    copy.temporary_name[0] = '\0';
    report(kErrorOutput, stored_name, __LINE__);
    return false;
  }
  close(fd);
  if (found == PACKAGE_IO::FOUND && !extract(temp, copy.temporary_name, stored_name)) {
    remove_path(temp, copy.temporary_name);
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
    report(kErrorWrite, copy.temporary_name, __LINE__, "the temporary copy could not be written");
  } else if (!package) {
    report(kErrorClosed, nullptr, __LINE__);
  } else {
    stored = package->add_file(copy.temporary_folder, copy.temporary_name, copy.stored_name, true);
  }
  if (stored) {
    remove_path(copy.temporary_folder, copy.temporary_name);
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
    report(kErrorClosed, nullptr, __LINE__);
    return nullptr;
  }
  if (mode > 2) return nullptr;
  if (mode != 0 && read_only) {
    report(kErrorWrite, PACKAGE_IO::shown(*this), __LINE__, "the package was opened read-only");
    return nullptr;
  }
  COPY* copy = new (std::nothrow) COPY();
  if (!copy) {
    report(kErrorMemory, nullptr, __LINE__);
    return nullptr;
  }
  if (!prepare_copy(*copy, stored_name, mode)) {
    delete copy;
    return nullptr;
  }
  if (!open(*copy)) {
    report(kErrorOutput, copy->temporary_name, __LINE__);
    remove_path(copy->temporary_folder, copy->temporary_name);
    delete copy;
    return nullptr;
  }
  if (!open_copies.add(static_cast<PACKAGE_COPY*>(copy))) {
    report(kErrorMemory, nullptr, __LINE__);
    close(*copy);
    remove_path(copy->temporary_folder, copy->temporary_name);
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
